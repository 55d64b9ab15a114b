#include "io/CBuffer.h"

#include <new>
#include <string>

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
    m_reader.Rebind(m_view.Data(), m_dwFileSize);
    return 0;
}

DWORD CBuffer::Load(const vrm::DiscFiles& files, const char* name) {
    Close();
    const std::string local = files.LocalPath(name);
    if (!local.empty()) return Open(local.c_str(), kRead);
    const int64_t size = files.Size(name);
    if (size < 0 || static_cast<uint64_t>(size) > kLargestLoaded) return kOpenFailed;
    try {
        m_loaded.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        return kOpenFailed;
    }
    if (size > 0 && files.ReadAt(name, 0, m_loaded.data(), m_loaded.size()) != size) {
        Close();
        return kOpenFailed;
    }
    m_bLoaded = true;
    m_dwFileSize = static_cast<DWORD>(size);
    m_reader.Rebind(m_loaded.empty() ? nullptr : m_loaded.data(), m_dwFileSize);
    return 0;
}

void CBuffer::Close() {
    m_loaded.clear();
    m_loaded.shrink_to_fit();
    m_bLoaded = false;
    m_view.Unmap();
    m_file.Close();
    m_dwFileSize = 0;
    m_reader.Rebind(nullptr, 0);
}
