// DiscFiles: the four files of a disc (VR_MANGR.IFO, VR_MANGR.BUP,
// VR_MOVIE.VRO, VR_STILL.VRO) where they are read from, by name: their
// sizes and positioned reads. A directory is one place; a caller may give
// another (the UDF file system of a disc image or a drive, read without
// mounting it) through the same three questions. Opening a disc reads its
// management files and the stream files' lengths through it.
#ifndef VRMANGR_PLATFORM_DISC_FILES_H
#define VRMANGR_PLATFORM_DISC_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vrm {

class DiscFiles {
public:
    // Size() of a name that is not there, and of one that names something
    // other than a file (a directory, a device).
    static constexpr int64_t kMissing = -1;
    static constexpr int64_t kNotAFile = -2;

    virtual ~DiscFiles() = default;
    // The length in bytes of the named file, or kMissing / kNotAFile.
    virtual int64_t Size(const char* name) const = 0;
    // Reads up to n bytes at offset: the number read (fewer only at the
    // file's end), or -1 when the file or the medium cannot give them.
    virtual int64_t ReadAt(const char* name, uint64_t offset, void* data, size_t n) const = 0;
    // How the named file is called in messages and in the stream records
    // (szFileName): a path for a directory, "disc.iso:/DVD_RTAV/..." for an
    // image.
    virtual std::string PathOf(const char* name) const = 0;
    // The path the file can be opened and mapped at, when it is a file of a
    // directory; "" when it lies elsewhere.
    virtual std::string LocalPath(const char* /*name*/) const { return ""; }
};

// The files of a directory.
class DirectoryFiles final : public DiscFiles {
public:
    explicit DirectoryFiles(std::string dir) : m_dir(std::move(dir)) {}
    int64_t Size(const char* name) const override;
    int64_t ReadAt(const char* name, uint64_t offset, void* data, size_t n) const override;
    std::string PathOf(const char* name) const override;
    std::string LocalPath(const char* name) const override { return PathOf(name); }

private:
    std::string m_dir;
};

}  // namespace vrm

#endif
