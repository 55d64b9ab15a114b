// The four files of a disc where they are read from: a DVD_RTAV directory,
// or the UDF file system of a disc image or a block device, read without
// mounting (libudfread, which follows every extent of a fragmented file).
// Files are read in 2048-byte blocks; a block the medium cannot give is
// reported, never passed off as data.
#ifndef VRMANGR_TOOLS_DISC_SOURCE_H
#define VRMANGR_TOOLS_DISC_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rescue_map.h"

namespace tool {

// The four files of a disc, by name.
extern const char* const kDiscFiles[4];

// Bytes [start, end) of one of the four files that the medium could not
// give.
struct Unreadable {
    std::string file;  // its name: VR_MOVIE.VRO, ...
    uint64_t start = 0, end = 0;
};

class DiscSource {
public:
    DiscSource();
    ~DiscSource();
    DiscSource(const DiscSource&) = delete;
    DiscSource& operator=(const DiscSource&) = delete;

    // A directory holding the disc's files (or its DVD_RTAV folder), or an
    // image or device holding a UDF file system with /DVD_RTAV. False, with
    // one sentence printed, for anything else.
    // With a ddrescue map (mapPath not empty; images only), the sectors it
    // does not mark finished are unreadable.
    bool Open(const std::string& path, const std::string& mapPath = "");
    // "the image disc.iso", "the directory D", for messages.
    const std::string& What() const { return m_what; }
    // A directory source's directory of files; "" for an image.
    const std::string& Directory() const { return m_dir; }
    // The size of one of the four files; -1 when it is not there.
    int64_t Size(const char* name) const;
    // Reads blocks [block, block + count) of the file into buf: how many
    // were read, from the first on (fewer where the medium could not give
    // the next one); the last block of a file may be short of 2048 bytes.
    uint32_t Read(const char* name, uint64_t block, void* buf, uint32_t count);
    // Reads up to n bytes of the file at offset: the number read (fewer
    // only at the file's end), -1 when the file is not there. Blocks the
    // medium cannot give are zeros in buf and their byte ranges join *bad;
    // after 16 unreadable blocks in a row the next 15 are not tried (a
    // damaged stretch of a drive, whose every failed read takes long). With
    // bad null, an unreadable block fails the read (-1).
    int64_t ReadAt(const char* name, uint64_t offset, void* buf, size_t n, std::vector<Unreadable>* bad);
    // Where bytes from offset on (a block's start; at most n) of the file
    // lie in a regular image file in one piece that the image holds and the
    // map, if any, marks read: their byte offset in the image goes to *at,
    // and their number is returned (0 when there are none, and for a
    // directory or a drive). Mapped(*at) then gives them.
    uint64_t Place(const char* name, uint64_t offset, uint64_t n, uint64_t* at) const;
    // The image's bytes from byte `at` on, mapped for reading; null for a
    // directory or a drive.
    const unsigned char* Mapped(uint64_t at) const;
    // An image or a drive, rather than a directory.
    bool IsImage() const { return m_image != nullptr; }

    struct Image;

private:
    std::string m_what;
    std::string m_dir;  // a directory source: where its files are
    std::unique_ptr<Image> m_image;  // an image or device source
    std::unique_ptr<RescueMap> m_map;  // which of the image's sectors were read
    uint32_t m_failures = 0;  // unreadable blocks in a row, for ReadAt's skipping
    std::unique_ptr<char[]> m_block;  // ReadAt's staging of whole blocks
    uint64_t m_blockBytes = 0;
};

// What a disc image or a drive holds, for `type`: "DVD-VR", "DVD-Video" or
// "neither"; "" when path is no image (the sentence printed).
std::string ImageHolds(const std::string& path);

}  // namespace tool

#endif
