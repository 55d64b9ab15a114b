// Files and read-only memory maps over POSIX open/mmap: the floor under the
// byte buffer that reads and writes the management file and under the stream
// files. Both classes own their resource and release it when destroyed.
#ifndef VRMANGR_PLATFORM_FILE_H
#define VRMANGR_PLATFORM_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

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
    // Creates a new, empty file beside target, named "<target>.tmp-XXXXXX"
    // with six characters that no other file of the directory has, so that
    // no two processes (or objects) ever write the same scratch file. It is
    // open for reading and writing, with the permissions of any newly
    // created file (0666 less the umask). *path receives its name. Counts
    // as a writable open for the fault hook.
    bool CreateBeside(const std::string& target, std::string* path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    bool Writable() const { return m_writable; }
    int Descriptor() const { return m_fd; }

    // Current size in bytes, or -1 when no file is open or it cannot be read.
    int64_t Size() const;
    // Writes n bytes at the absolute offset, retrying short writes; returns
    // the number of bytes that reached the file (n on success).
    size_t WriteAt(uint64_t offset, const void* data, size_t n);
    // Copies n bytes of source from offset `from` into this file at offset
    // `at` inside the kernel (copy_file_range: no copy through user memory,
    // and a clone where the file system can share blocks), retrying short
    // copies. Returns the number of bytes copied; less than n when the
    // source ends early (Error() then 0) or a call fails (Error() set;
    // ENOSYS, EXDEV, EOPNOTSUPP or EINVAL when the kernel cannot copy
    // between these two files, and the caller copies through memory).
    size_t CopyFrom(const File& source, uint64_t from, uint64_t at, size_t n);
    // Moves the file pointer to the absolute offset.
    bool Seek(uint64_t offset);
    // Reads up to n bytes at the absolute offset, retrying short reads until n
    // bytes or the end of the file; returns the number read (less than n only
    // at the end of the file), or -1 on a read error.
    int64_t ReadAt(uint64_t offset, void* data, size_t n) const;
    // Sets the file's length: cuts it, or extends it with zero bytes.
    bool Truncate(uint64_t length);
    // Forces the file's data and length to the storage device.
    bool Sync();
    // Reserves storage for length bytes from offset on without changing the
    // file's length (fallocate with FALLOC_FL_KEEP_SIZE), so that writing
    // them later cannot meet a full disk. True when reserved, or when the
    // file system offers no reservation (nothing is then known in advance);
    // false with Error() ENOSPC (or EDQUOT) when the space is not there.
    // Counts as a write for the fault hook ("reserve").
    bool Reserve(uint64_t offset, uint64_t length);
    // Gives the storage of length bytes from offset on back to the file
    // system, the file's length unchanged (fallocate with
    // FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE): they read as zeros from
    // then on. False with Error() EOPNOTSUPP when the file system cannot do
    // it (the bytes are then as they were), else with the errno of the
    // failure. Counts as a write for the fault hook ("punch").
    bool PunchHole(uint64_t offset, uint64_t length);
    // Makes length bytes from offset on read as zeros: a hole punched where
    // the file system can, else zeros written over them.
    bool ZeroRange(uint64_t offset, uint64_t length);
    // Whether length bytes from offset on all read as zeros, the holes of a
    // sparse file skipped without reading (lseek SEEK_DATA / SEEK_HOLE; a
    // file system without them reads every byte). Bytes behind the end of
    // the file are not there and do not count as zeros. False, with
    // Error() set, when the file cannot be read.
    bool ReadsAsZeros(uint64_t offset, uint64_t length, bool* zeros) const;
    // errno of the last failed call on this object (0 when none failed).
    int Error() const { return m_error; }

private:
    // fallocate with mode over length bytes from offset, asking the fault
    // hook as `operation` first: 0, or the errno of the failure (also kept
    // in m_error).
    int Allocate(int mode, uint64_t offset, uint64_t length, const char* operation);

    int m_fd = -1;
    bool m_writable = false;
    mutable int m_error = 0;
};

// What a path names, without opening it.
enum class PathKind {
    Missing,  // nothing (or an unreachable path)
    RegularFile,
    Other,  // a directory, a device, ...
};
// Reports the kind of path; for a regular file its size in bytes goes to
// *size when size is not null.
PathKind ProbePath(const char* path, int64_t* size);

// Renames from over to (atomically replacing an existing file), then forces
// the directory entry of to to the storage device.
bool ReplaceFile(const char* from, const char* to);

// Removes a file; true when it is gone (also when it was missing).
bool RemoveFile(const char* path);

// Bytes an unprivileged writer may still use on the file system holding
// path (statvfs); -1 when it cannot be asked.
int64_t FreeBytes(const char* path);

// Fault injection for tests. While a hook is set it is asked before every
// operation that changes the file system (a writable open, a write, a cut, a
// sync, a rename, a removal) and the operation fails with the errno the hook
// returns; 0 lets it go ahead. A test may also end the process from the hook
// to stand for a crash at that point. This and the clock are the only
// process-wide test hooks.
using FaultHook = int (*)(void* context, const char* operation);
void SetFaultHook(FaultHook hook, void* context);

// An advisory lock on a directory: flock on a descriptor of the directory
// itself, so taking it creates no file (readers leave the directory as they
// found it, also on read-only media). Shared locks coexist; an exclusive
// lock excludes every other lock, also one taken through another descriptor
// of the same process. The lock goes with the object, and with the process
// when it ends in any way (the kernel releases it). A child made by fork
// shares the descriptor, and so the lock, until it exits or executes
// another program.
class DirectoryLock {
public:
    enum class Kind { Shared, Exclusive };

    DirectoryLock() = default;
    ~DirectoryLock() { Release(); }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;
    DirectoryLock(DirectoryLock&& other) noexcept;
    DirectoryLock& operator=(DirectoryLock&& other) noexcept;

    // Takes the lock on dir, releasing one this object held. While another
    // holder's lock conflicts it tries again every few milliseconds until
    // waitMs have passed (0: one try). False when it is not held: Error()
    // is EWOULDBLOCK when a conflicting lock stayed, else the errno of
    // opening dir or of flock.
    bool Acquire(const char* dir, Kind kind, unsigned waitMs);
    void Release();
    bool Held() const { return m_fd >= 0; }
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
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
