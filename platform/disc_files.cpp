#include "platform/disc_files.h"

#include "platform/file.h"

namespace vrm {

int64_t DirectoryFiles::Size(const char* name) const {
    int64_t size = 0;
    switch (ProbePath(PathOf(name).c_str(), &size)) {
        case PathKind::Missing: return kMissing;
        case PathKind::RegularFile: return size;
        default: return kNotAFile;
    }
}

int64_t DirectoryFiles::ReadAt(const char* name, uint64_t offset, void* data, size_t n) const {
    File file;
    if (!file.Open(PathOf(name).c_str(), File::Mode::ReadExisting)) return -1;
    return file.ReadAt(offset, data, n);
}

std::string DirectoryFiles::PathOf(const char* name) const {
    return m_dir.empty() || m_dir.back() != '/' ? m_dir + "/" + name : m_dir + name;
}

}  // namespace vrm
