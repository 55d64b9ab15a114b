// CBuffer: the management file as the library reads it. Open maps the
// whole file; table loaders read their bytes from the mapped view through
// Reader(), the bounds-checked big-endian reader over it, whose sticky
// failure is the buffer's read-failure mark. (A save writes each file anew
// beside the old one; it does not go through this buffer.)
#ifndef VRMANGR_IO_CBUFFER_H
#define VRMANGR_IO_CBUFFER_H

#include <cstdint>
#include <vector>

#include "io/ByteReader.h"
#include "platform/disc_files.h"
#include "platform/file.h"
#include "platform/types.h"

class CBuffer {
public:
    // Access modes of Open: read-only on an existing file, or read/write on
    // a file that is created when missing (any value other than kRead).
    static constexpr DWORD kRead = 0x80000000u;
    static constexpr DWORD kReadWrite = 0x40000000u;
    // The one failure result of Open.
    static constexpr DWORD kOpenFailed = 0x8007006Eu;

    CBuffer() = default;
    ~CBuffer() { Close(); }
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    // Opens and maps the file; returns 0 or kOpenFailed. An empty file opens
    // with size 0 and no view: the caller takes it for a new file. Opening
    // closes whatever the buffer had open.
    DWORD Open(const char* fileName, DWORD mode);
    // Opens the named file of a disc's files: mapped as Open does when it
    // is a file of a directory, else read whole into memory (a management
    // file longer than kLargestLoaded bytes is refused). 0 or kOpenFailed.
    DWORD Load(const vrm::DiscFiles& files, const char* name);
    static constexpr uint64_t kLargestLoaded = uint64_t{64} << 20;
    // Unmaps the view and closes the file.
    void Close();

    // Size of the file at open (saturated to 32 bits; 0 marks a new file),
    // which is also the end of what the reader reads.
    DWORD FileSize() const { return m_dwFileSize; }
    const BYTE* View() const { return m_loaded.empty() ? m_view.Data() : m_loaded.data(); }
    bool IsOpen() const { return m_file.IsOpen() || m_bLoaded; }

    // The bounds-checked reader over the whole mapped file. It is the
    // buffer's own: table loaders read through it.
    vrm::ByteReader& Reader() { return m_reader; }

    // Sticky mark of every read through the reader: set by the first request
    // that fell outside the file, with the file offset it asked for.
    bool ReadFailed() const { return !m_reader.Ok(); }
    uint64_t ReadFailOffset() const { return m_reader.FailOffset(); }
    void ClearReadFailure() { m_reader.ClearFailure(); }

private:
    DWORD m_dwFileSize = 0;
    vrm::File m_file;
    vrm::MappedView m_view;
    // A file read into memory rather than mapped.
    std::vector<BYTE> m_loaded;
    bool m_bLoaded = false;
    vrm::ByteReader m_reader;
};

#endif
