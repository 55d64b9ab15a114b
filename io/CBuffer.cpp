#include "io/CBuffer.h"

#include <cstring>
#include <new>

CBuffer::CBuffer() = default;

CBuffer::~CBuffer() { Close(); }

DWORD CBuffer::Open(const char* fileName, DWORD mode) {
    Close();
    const auto how = mode == kRead ? vrm::File::Mode::ReadExisting : vrm::File::Mode::ReadWriteAlways;
    if (!m_file.Open(fileName, how)) return kOpenFailed;
    const int64_t size = m_file.Size();
    if (size < 0 || (size > 0 && !m_view.Map(m_file, static_cast<uint64_t>(size)))) {
        m_file.Close();
        return kOpenFailed;
    }
    // A file of 4 GiB or more keeps a non-zero 32-bit size, so it can never
    // be taken for a new, empty file.
    m_dwFileSize = size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<DWORD>(size);
    m_dwUpperBound = m_dwFileSize;
    m_dwLowerBound = 0;
    m_llFileSize = size;
    m_reader.Rebind(m_view.Data(), m_dwUpperBound);
    return 0;
}

void CBuffer::Close() {
    m_view.Unmap();
    m_file.Close();
    m_dwFileSize = 0;
    m_dwUpperBound = 0;
    m_dwLowerBound = 0;
    m_llFileSize = 0;
    m_reader.Rebind(nullptr, 0);
    m_dwStageFill = 0;
    m_qwWritePos = 0;
}

DWORD CBuffer::Read(void* destination, DWORD n) {
    if (!InBounds()) {
        MarkReadFailure(m_dwCursor);
        return 0;
    }
    if (uint64_t{m_dwCursor} + n > m_dwUpperBound) {
        MarkReadFailure(m_dwCursor);
        return m_dwCursor;
    }
    if (n == 0) return 0;
    if (!destination) return 0;
    std::memcpy(destination, m_view.Data() + m_dwCursor, n);
    return n;
}

DWORD CBuffer::ReadBits(DWORD byteOffset, DWORD bitOffset, DWORD bitCount) {
    const uint64_t at = uint64_t{m_dwCursor} + byteOffset;
    if (bitOffset > 32 || bitCount > 32 || !InBounds()) {
        MarkReadFailure(at);
        return 0;
    }
    return m_reader.Bits(at, bitOffset, bitCount);
}

bool CBuffer::Flush() {
    if (m_dwStageFill == 0) return true;
    const size_t written = m_file.WriteAt(m_qwWritePos, m_stage.get(), m_dwStageFill);
    if (written < m_dwStageFill) return false;
    m_qwWritePos += written;
    m_dwStageFill = 0;
    return true;
}

int CBuffer::Write(const void* data, DWORD n) {
    if (n == 0) {
        m_dwStageFill = 0;
        m_qwWritePos = 0;
        return 1;
    }
    const bool flushRequest = n == kFlush;
    if (!flushRequest && !data) return 0;
    if (flushRequest || uint64_t{m_dwStageFill} + n >= kStageSize) {
        if (!Flush()) return 0;
        if (flushRequest) return 1;
    }
    if (n >= kStageSize) {
        // Too large for the stage: straight to the file.
        if (m_file.WriteAt(m_qwWritePos, data, n) < n) return 0;
        m_qwWritePos += n;
        return 1;
    }
    if (!m_stage) {
        m_stage.reset(new (std::nothrow) BYTE[kStageSize]);
        if (!m_stage) return 0;
    }
    std::memcpy(m_stage.get() + m_dwStageFill, data, n);
    m_dwStageFill += n;
    return 1;
}

int CBuffer::SetFilePos(DWORD offset) { return m_file.Seek(offset) ? 1 : 0; }
