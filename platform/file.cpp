#include "platform/file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace vrm {

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_writable(std::exchange(other.m_writable, false)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_writable = std::exchange(other.m_writable, false);
    }
    return *this;
}

bool File::Open(const char* path, Mode mode) {
    Close();
    if (!path || !*path) return false;
    const bool write = mode == Mode::ReadWriteAlways;
    int flags = O_CLOEXEC | (write ? (O_RDWR | O_CREAT) : O_RDONLY);
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_writable = write;
    return true;
}

void File::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_writable = false;
}

int64_t File::Size() const {
    if (m_fd < 0) return -1;
    struct stat st {};
    if (fstat(m_fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

size_t File::WriteAt(uint64_t offset, const void* data, size_t n) {
    if (m_fd < 0 || !m_writable || (n && !data)) return 0;
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::pwrite(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) break;
        done += static_cast<size_t>(w);
    }
    return done;
}

bool File::Seek(uint64_t offset) {
    if (m_fd < 0) return false;
    return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool MappedView::Map(const File& file, uint64_t size) {
    Unmap();
    if (!file.IsOpen() || size == 0 || size > SIZE_MAX) return false;
    int prot = PROT_READ | (file.Writable() ? PROT_WRITE : 0);
    void* p = ::mmap(nullptr, static_cast<size_t>(size), prot, MAP_SHARED, file.Descriptor(), 0);
    if (p == MAP_FAILED) return false;
    m_data = static_cast<BYTE*>(p);
    m_size = size;
    return true;
}

void MappedView::Unmap() {
    if (m_data) ::munmap(m_data, static_cast<size_t>(m_size));
    m_data = nullptr;
    m_size = 0;
}

}  // namespace vrm
