#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace vrm {

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_writable(std::exchange(other.m_writable, false)),
      m_error(std::exchange(other.m_error, 0)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_writable = std::exchange(other.m_writable, false);
        m_error = std::exchange(other.m_error, 0);
    }
    return *this;
}

namespace {

struct FaultInjection {
    FaultHook hook = nullptr;
    void* context = nullptr;
};

FaultInjection& Faults() {
    static FaultInjection faults;
    return faults;
}

// The errno an injected fault gives the operation, or 0.
int InjectedFault(const char* operation) {
    const FaultInjection& f = Faults();
    return f.hook ? f.hook(f.context, operation) : 0;
}

}  // namespace

void SetFaultHook(FaultHook hook, void* context) {
    Faults().hook = hook;
    Faults().context = context;
}

bool File::Open(const char* path, Mode mode) {
    Close();
    if (!path || !*path) return false;
    const bool write = mode == Mode::ReadWriteAlways;
    if (write) {
        if (const int fault = InjectedFault("open")) {
            m_error = fault;
            return false;
        }
    }
    int flags = O_CLOEXEC | (write ? (O_RDWR | O_CREAT) : O_RDONLY);
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        m_error = errno ? errno : EINVAL;
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_writable = write;
    m_error = 0;
    return true;
}

bool File::CreateBeside(const std::string& target, std::string* path) {
    Close();
    if (target.empty() || !path) {
        m_error = EINVAL;
        return false;
    }
    if (const int fault = InjectedFault("open")) {
        m_error = fault;
        return false;
    }
    // A name of six random letters and digits, made with O_EXCL so that no
    // two processes share it; created 0666 like any new file, so the
    // process's umask applies.
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string name;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        name = target + ".tmp-";
        for (int i = 0; i < 6; ++i) name += kLetters[pick(random)];
        do {
            fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    m_fd = fd;
    m_writable = true;
    m_error = 0;
    *path = std::move(name);
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
    if (const int fault = InjectedFault("write")) {
        m_error = fault;
        return 0;
    }
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        ssize_t w = ::pwrite(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) m_error = errno;
        if (w == 0) m_error = ENOSPC;
        if (w <= 0) break;
        done += static_cast<size_t>(w);
    }
    return done;
}

size_t File::CopyFrom(const File& source, uint64_t from, uint64_t at, size_t n) {
    m_error = 0;
    if (m_fd < 0 || !m_writable || source.m_fd < 0) {
        m_error = EBADF;
        return 0;
    }
    if (const int fault = InjectedFault("write")) {
        m_error = fault;
        return 0;
    }
#if defined(__linux__)
    size_t done = 0;
    while (done < n) {
        loff_t in = static_cast<loff_t>(from + done), out = static_cast<loff_t>(at + done);
        const ssize_t c = ::copy_file_range(source.m_fd, &in, m_fd, &out, n - done, 0);
        if (c < 0 && errno == EINTR) continue;
        if (c < 0) m_error = errno;
        if (c <= 0) break;  // an error, or the end of the source
        done += static_cast<size_t>(c);
    }
    return done;
#else
    (void)from, (void)at, (void)n;
    m_error = ENOSYS;
    return 0;
#endif
}

bool File::Seek(uint64_t offset) {
    if (m_fd < 0) return false;
    return ::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t File::ReadAt(uint64_t offset, void* data, size_t n) const {
    if (m_fd < 0 || (n && !data)) {
        m_error = EBADF;
        return -1;
    }
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(m_fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            m_error = errno;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<size_t>(r);
    }
    return static_cast<int64_t>(done);
}

bool File::Truncate(uint64_t length) {
    if (m_fd < 0 || !m_writable) {
        m_error = EBADF;
        return false;
    }
    if (const int fault = InjectedFault("truncate")) {
        m_error = fault;
        return false;
    }
    int rc;
    do {
        rc = ::ftruncate(m_fd, static_cast<off_t>(length));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) m_error = errno;
    return rc == 0;
}

bool File::Sync() {
    if (m_fd < 0) {
        m_error = EBADF;
        return false;
    }
    if (const int fault = InjectedFault("sync")) {
        m_error = fault;
        return false;
    }
    int rc;
    do {
        rc = ::fsync(m_fd);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) m_error = errno;
    return rc == 0;
}

int File::Allocate(int mode, uint64_t offset, uint64_t length, const char* operation) {
    if (m_fd < 0 || !m_writable) return m_error = EBADF;
    if (length == 0) return 0;
    if (const int fault = InjectedFault(operation)) return m_error = fault;
    int rc;
    do {
        rc = ::fallocate(m_fd, mode, static_cast<off_t>(offset), static_cast<off_t>(length));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : m_error = errno;
}

bool File::Reserve(uint64_t offset, uint64_t length) {
    const int error = Allocate(FALLOC_FL_KEEP_SIZE, offset, length, "reserve");
    // A file system without reservation: the writes find out.
    return error == 0 || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
}

bool File::PunchHole(uint64_t offset, uint64_t length) {
    const int error = Allocate(FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, offset, length, "punch");
    // No hole punching on this file system (or this kernel).
    if (error == ENOSYS) m_error = EOPNOTSUPP;
    return error == 0;
}

bool File::ZeroRange(uint64_t offset, uint64_t length) {
    if (PunchHole(offset, length)) return true;
    if (m_error != EOPNOTSUPP) return false;
    static const BYTE kZeros[64 * 1024] = {};
    for (uint64_t done = 0; done < length;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(sizeof kZeros, length - done));
        if (WriteAt(offset + done, kZeros, n) != n) return false;
        done += n;
    }
    return true;
}

bool File::ReadsAsZeros(uint64_t offset, uint64_t length, bool* zeros) const {
    *zeros = false;
    const int64_t size = Size();
    if (size < 0) {
        m_error = EBADF;
        return false;
    }
    const uint64_t end = offset + length;
    if (end < offset || end > static_cast<uint64_t>(size)) return true;  // not all there
    std::vector<BYTE> block;
    for (uint64_t at = offset; at < end;) {
        // The next data at or behind `at`, and the hole behind it; without
        // SEEK_DATA the whole rest is data.
        off_t data = ::lseek(m_fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 && errno == ENXIO) break;  // nothing but a hole up to the end of the file
        if (data < 0) data = static_cast<off_t>(at);
        if (static_cast<uint64_t>(data) >= end) break;
        off_t hole = ::lseek(m_fd, data, SEEK_HOLE);
        if (hole < 0 || static_cast<uint64_t>(hole) > end) hole = static_cast<off_t>(end);
        if (block.empty()) block.resize(1024 * 1024);
        for (uint64_t from = static_cast<uint64_t>(data); from < static_cast<uint64_t>(hole);) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), static_cast<uint64_t>(hole) - from));
            if (ReadAt(from, block.data(), n) != static_cast<int64_t>(n)) return false;
            if (std::any_of(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n), [](BYTE b) { return b; }))
                return true;
            from += n;
        }
        at = static_cast<uint64_t>(hole);
    }
    *zeros = true;
    return true;
}

int64_t FreeBytes(const char* path) {
    struct statvfs fs {};
    if (!path || ::statvfs(path, &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

PathKind ProbePath(const char* path, int64_t* size) {
    if (size) *size = 0;
    if (!path || !*path) return PathKind::Missing;
    struct stat st {};
    if (::stat(path, &st) != 0) return PathKind::Missing;
    if (!S_ISREG(st.st_mode)) return PathKind::Other;
    if (size) *size = static_cast<int64_t>(st.st_size);
    return PathKind::RegularFile;
}

bool ReplaceFile(const char* from, const char* to) {
    if (!from || !*from || !to || !*to) return false;
    if (const int fault = InjectedFault("rename")) {
        errno = fault;
        return false;
    }
    if (::rename(from, to) != 0) return false;
    // The rename lives in the directory: sync it so the new name survives a
    // crash. A directory that cannot be synced (some file systems refuse)
    // does not undo the rename.
    try {
        std::string dir(to);
        const size_t slash = dir.find_last_of('/');
        if (slash == std::string::npos) {
            dir = ".";
        } else {
            dir.resize(slash == 0 ? 1 : slash);
        }
        int fd;
        do {
            fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    } catch (...) {
        // Out of memory for the directory name: the rename itself stands.
    }
    return true;
}

bool RemoveFile(const char* path) {
    if (!path || !*path) return false;
    if (const int fault = InjectedFault("remove")) {
        errno = fault;
        return false;
    }
    return ::unlink(path) == 0 || errno == ENOENT;
}

DirectoryLock::DirectoryLock(DirectoryLock&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_error(std::exchange(other.m_error, 0)) {}

DirectoryLock& DirectoryLock::operator=(DirectoryLock&& other) noexcept {
    if (this != &other) {
        Release();
        m_fd = std::exchange(other.m_fd, -1);
        m_error = std::exchange(other.m_error, 0);
    }
    return *this;
}

bool DirectoryLock::Acquire(const char* dir, Kind kind, unsigned waitMs) {
    using Clock = std::chrono::steady_clock;
    Release();
    m_error = 0;
    if (!dir || !*dir) {
        m_error = EINVAL;
        return false;
    }
    int fd;
    do {
        fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    // Polled rather than blocking, so that the wait is bounded: short
    // pauses at first (a reader's open takes milliseconds), longer later.
    const int operation = (kind == Kind::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    std::chrono::milliseconds pause(2);
    for (;;) {
        if (::flock(fd, operation) == 0) {
            m_fd = fd;
            return true;
        }
        const int error = errno;
        if (error == EINTR) continue;
        const Clock::time_point now = Clock::now();
        if (error != EWOULDBLOCK || now >= deadline) {
            m_error = error;
            break;
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(25));
    }
    ::close(fd);
    return false;
}

void DirectoryLock::Release() {
    // Closing the only descriptor of the open directory releases its lock.
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
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
