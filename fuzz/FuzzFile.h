// The fuzz input as a file the library can map: an anonymous in-memory file
// reached through its /proc path.
#ifndef VRMANGR_FUZZ_FUZZFILE_H
#define VRMANGR_FUZZ_FUZZFILE_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FuzzFile {
public:
    FuzzFile(const uint8_t* data, size_t size) {
        m_fd = memfd_create("fuzz", MFD_CLOEXEC);
        if (m_fd < 0) return;
        size_t done = 0;
        while (done < size) {
            const ssize_t n = write(m_fd, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~FuzzFile() {
        if (m_fd >= 0) close(m_fd);
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;
    const char* Path() const { return m_path.c_str(); }
    bool Ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::string m_path;
};

#endif
