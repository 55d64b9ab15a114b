// Files and read-only memory maps over POSIX open/mmap: the floor under the
// byte buffer that reads and writes the management file. Both classes own
// their resource and release it when destroyed.
#ifndef VRMANGR_PLATFORM_FILE_H
#define VRMANGR_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>

#include "platform/types.h"

namespace vrm {

class File {
public:
    enum class Mode {
        ReadExisting,  // read only; fails when the file is missing
        ReadWriteAlways,  // read and write; creates the file when missing
    };

    File() = default;
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens a regular file; anything else (a directory, a device) fails.
    bool Open(const char* path, Mode mode);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool Writable() const { return m_writable; }
    int Descriptor() const { return m_fd; }

    // Current size in bytes, or -1 when no file is open or it cannot be read.
    int64_t Size() const;
    // Writes n bytes at the absolute offset, retrying short writes; returns
    // the number of bytes that reached the file (n on success).
    size_t WriteAt(uint64_t offset, const void* data, size_t n);
    // Moves the file pointer to the absolute offset.
    bool Seek(uint64_t offset);

private:
    int m_fd = -1;
    bool m_writable = false;
};

class MappedView {
public:
    MappedView() = default;
    ~MappedView() { Unmap(); }
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    // Maps the first `size` bytes of the file (size > 0), shared with the
    // file, writable when the file was opened for writing.
    bool Map(const File& file, uint64_t size);
    void Unmap();
    const BYTE* Data() const { return m_data; }
    uint64_t Size() const { return m_size; }

private:
    BYTE* m_data = nullptr;
    uint64_t m_size = 0;
};

}  // namespace vrm

#endif
