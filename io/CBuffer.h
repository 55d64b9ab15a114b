// CBuffer: the management file as the library reads and writes it.
//
// Reading: Open maps the whole file; table loaders read their bytes from the
// mapped view at an absolute offset (Seek, then Read or ReadBits, or through
// Reader(), the bounds-checked big-endian reader over the view).
//
// Writing: Write appends sequentially through a 1 MB staging area that
// belongs to this buffer alone. Nothing reaches the file until the stage is
// flushed, which happens when the stage would fill up and on the explicit
// flush request Write(NULL, 0xFFFFFFFF). Every save starts a file with the
// reset Write(NULL, 0) and ends it with the flush request. The file is never
// truncated: bytes past the last write keep their old values.
#ifndef VRMANGR_IO_CBUFFER_H
#define VRMANGR_IO_CBUFFER_H

#include <cstdint>
#include <memory>

#include "io/ByteReader.h"
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
    // Size of the staging area; a Write that would fill it flushes first.
    static constexpr DWORD kStageSize = 0x100000u;
    // Write(NULL, kFlush) writes the staged bytes out.
    static constexpr DWORD kFlush = 0xFFFFFFFFu;

    CBuffer();
    ~CBuffer();
    CBuffer(const CBuffer&) = delete;
    CBuffer& operator=(const CBuffer&) = delete;

    // Opens and maps the file; returns 0 or kOpenFailed. An empty file opens
    // with size 0 and no view: the caller takes it for a new file. Opening
    // closes whatever the buffer had open; the cursor keeps its value.
    DWORD Open(const char* fileName, DWORD mode);
    // Unmaps the view, closes the file and discards staged bytes.
    void Close();

    void Seek(DWORD offset) { m_dwCursor = offset; }
    DWORD Cursor() const { return m_dwCursor; }
    // 1 when lower bound <= cursor <= upper bound.
    int InBounds() const { return m_dwLowerBound <= m_dwCursor && m_dwCursor <= m_dwUpperBound ? 1 : 0; }

    // Copies n bytes from the cursor (which does not move) and returns n.
    // With the cursor out of bounds it returns 0; when the n bytes would pass
    // the end it returns the cursor value. In both cases nothing is copied
    // and the read-failure mark is set.
    DWORD Read(void* destination, DWORD n);

    // A big-endian bit field at cursor + byteOffset: bitOffset bits from the
    // most significant bit, bitCount bits wide (at most 32 together). A field
    // that is not wholly inside the file reads as 0 and sets the read-failure
    // mark.
    DWORD ReadBits(DWORD byteOffset, DWORD bitOffset, DWORD bitCount);

    // Staged sequential write; see the class comment. Returns 1, or 0 when the
    // file took fewer bytes than were flushed (the staged bytes then stay).
    // Write(data, 0) resets: the stage is emptied and writing restarts at
    // offset 0. A single write of kStageSize bytes or more goes straight to
    // the file after the stage has been flushed.
    int Write(const void* data, DWORD n);

    // Sets the file pointer to the offset; 0 when no file is open.
    int SetFilePos(DWORD offset);

    // Size of the file at open (saturated to 32 bits; 0 marks a new file).
    DWORD FileSize() const { return m_dwFileSize; }
    __int64 FileSize64() const { return m_llFileSize; }
    DWORD UpperBound() const { return m_dwUpperBound; }
    DWORD LowerBound() const { return m_dwLowerBound; }
    const BYTE* View() const { return m_view.Data(); }
    bool IsOpen() const { return m_file.IsOpen(); }
    // File offset at which the next flush writes, and the bytes staged.
    uint64_t WritePosition() const { return m_qwWritePos; }
    DWORD StagedBytes() const { return m_dwStageFill; }

    // The bounds-checked reader over the whole mapped file. It is the
    // buffer's own: table loaders read through it, and its sticky failure is
    // the buffer's read-failure mark.
    vrm::ByteReader& Reader() { return m_reader; }

    // Sticky mark of every read (Read, ReadBits and the reader): set by the
    // first request that fell outside the file, with the file offset it
    // asked for.
    bool ReadFailed() const { return !m_reader.Ok(); }
    uint64_t ReadFailOffset() const { return m_reader.FailOffset(); }
    void ClearReadFailure() { m_reader.ClearFailure(); }
    // Sets the mark (keeping the first offset). Table loaders call it when a
    // count or address they read points outside the file, so that whoever
    // opened the file can refuse it after loading.
    void MarkReadFailure(uint64_t offset) { m_reader.Fail(offset); }

private:
    bool Flush();

    uint64_t m_qwWritePos = 0;
    DWORD m_dwFileSize = 0;
    vrm::File m_file;
    vrm::MappedView m_view;
    DWORD m_dwStageFill = 0;
    DWORD m_dwUpperBound = 0;
    DWORD m_dwLowerBound = 0;
    __int64 m_llFileSize = 0;
    DWORD m_dwCursor = 0;
    std::unique_ptr<BYTE[]> m_stage;
    vrm::ByteReader m_reader;
};

#endif
