// Output files and range copying of the commands that write media.
#include "output.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "cli.h"
#include "disc_source.h"

namespace fs = std::filesystem;

namespace tool {
namespace {

std::string Error() { return std::strerror(errno); }

// The mode a new file gets: 0666 less the umask (mkstemp makes 0600).
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::string Upper(std::string text) {
    for (char& ch : text)
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    return text;
}

// The directory a path's last component lies in ("." for a bare name).
std::string Parent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : p.substr(0, slash);
}

// What names a file whatever the path: its device and inode.
std::pair<unsigned long long, unsigned long long> IdOf(const struct stat& st) {
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
}

// A temporary file of one of the four files, their names in any case (a
// disc on a file system that ignores case answers to either).
bool IsTempFileOfDisc(const std::string& name) {
    for (const char* own : {kIfo, kBup, kMovieVro, kStillVro}) {
        const size_t n = std::strlen(own);
        if (name.size() > n && Upper(name.substr(0, n)) == own && IsTempFileName(own + name.substr(n))) return true;
    }
    return false;
}

}  // namespace

DiscFiles::DiscFiles(const std::string& dir) : m_dir(dir) {
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        // A disc image or a drive: the one file of the disc.
        m_files.push_back(Id{IdOf(st), ""});
        return;
    }
    if (stat(dir.c_str(), &st) == 0) {
        m_haveDir = true;
        m_dirId = Id{IdOf(st), dir};
    }
    std::vector<std::string> names = {kIfo, kBup, kMovieVro, kStillVro};
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (IsTempFileOfDisc(name)) names.push_back(name);
    }
    for (const std::string& name : names) {
        const std::string path = InDir(dir, name.c_str());
        if (stat(path.c_str(), &st) == 0) m_files.push_back(Id{IdOf(st), name});
    }
}

std::string DiscFiles::RefusalOf(const struct stat& st, const std::string& path) const {
    for (const Id& file : m_files) {
        if (file.id == IdOf(st) && file.name.empty())
            return path + " is the image the disc is read from; an output never replaces the disc it reads.";
        if (file.id == IdOf(st)) {
            return path + " is " + file.name + " of the disc in " + m_dir +
                   "; an output never replaces a file of the disc it reads.";
        }
    }
    return "";
}

std::string DiscFiles::Refusal(const std::string& path) const {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        const std::string refusal = RefusalOf(st, path);
        if (!refusal.empty()) return refusal;
    }
    // A name of the disc's files (or of their temporary files) in its
    // directory, whether or not it exists yet: written, it would become part
    // of the disc.
    struct stat parent {};
    if (!m_haveDir || stat(Parent(path).c_str(), &parent) != 0 || IdOf(parent) != m_dirId.id) return "";
    const std::string name = Upper(BaseName(path));
    for (const char* own : {kIfo, kBup, kMovieVro, kStillVro}) {
        if (name == own) {
            return path + " is " + own + " of the disc in " + m_dir +
                   "; an output never replaces a file of the disc it reads.";
        }
    }
    if (IsTempFileOfDisc(BaseName(path))) {
        return path + " names a temporary file of the disc in " + m_dir +
               "; an output never replaces a file of the disc it reads.";
    }
    return "";
}

std::string DiscFiles::DirectoryRefusal(const std::string& directory) const {
    struct stat st {};
    if (!m_haveDir || stat(directory.c_str(), &st) != 0 || IdOf(st) != m_dirId.id) return "";
    return directory + " is the directory of the disc being read; give a directory outside the disc.";
}

std::string DiscFiles::StdoutRefusal() const {
    struct stat st {};
    if (fstat(STDOUT_FILENO, &st) != 0) return "";
    return RefusalOf(st, "standard output");
}

OutputFile::~OutputFile() { Abort(); }

void OutputFile::Abort() {
    if (m_fd >= 0 && m_close) close(m_fd);
    m_fd = -1;
    if (!m_temp.empty()) unlink(m_temp.c_str());
    m_temp.clear();
}

bool OutputFile::Open(const std::string& path, bool force, const DiscFiles& disc) {
    // A write beyond the file size limit (ulimit -f) fails with EFBIG and is
    // reported like any other, instead of ending the tool by a signal.
    std::signal(SIGXFSZ, SIG_IGN);
    m_name = path == "-" ? "standard output" : path;
    const std::string refusal = path == "-" ? disc.StdoutRefusal() : disc.Refusal(path);
    if (!refusal.empty()) return Fail(refusal), false;
    if (path == "-") {
        if (isatty(STDOUT_FILENO) == 1) {
            return Fail("will not write MPEG data to a terminal; redirect standard output or give -o FILE."), false;
        }
        m_fd = STDOUT_FILENO;
        return true;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return Fail(path + " is a directory; give a file name."), false;
        if (!S_ISREG(st.st_mode)) {
            // A device, FIFO or socket: written as it is, never replaced.
            m_fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (m_fd < 0) return Fail(path + " cannot be opened for writing: " + Error() + "."), false;
            m_close = true;
            return true;
        }
        if (!force) return Fail(path + " exists; give --force to replace it."), false;
        // Through a symbolic link the file it names is replaced, not the link.
        char* real = realpath(path.c_str(), nullptr);
        if (!real) return Fail(path + " cannot be resolved: " + Error() + "."), false;
        m_target = real;
        std::free(real);
    } else {
        struct stat link {};
        if (lstat(path.c_str(), &link) == 0) return Fail(path + " is a symbolic link to a missing file."), false;
        m_target = path;
    }
    std::string temp = m_target + ".part-XXXXXX";
    m_fd = mkstemp(&temp[0]);
    if (m_fd < 0) return Fail(path + " cannot be created: " + Error() + "."), false;
    m_close = true;
    m_temp = temp;
    fchmod(m_fd, NewFileMode());
    return true;
}

bool OutputFile::Write(const void* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(m_fd, static_cast<const char*>(data) + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(m_name + " could not be written: " + Error() + "."), false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::Commit(const time_t* when) {
    if (m_fd < 0) return false;
    const bool owned = m_close;
    const int fd = m_fd;
    if (when && !m_temp.empty()) {
        // Dated as the recording: file managers sort it by when it was made.
        const timespec times[2] = {{*when, 0}, {*when, 0}};
        futimens(fd, times);
    }
    m_fd = -1;
    m_close = false;
    if (owned && close(fd) != 0) {
        Fail(m_name + " could not be written: " + Error() + ".");
        if (!m_temp.empty()) unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    if (m_temp.empty()) return true;
    if (rename(m_temp.c_str(), m_target.c_str()) != 0) {
        Fail(m_name + " could not be put in place: " + Error() + ".");
        unlink(m_temp.c_str());
        m_temp.clear();
        return false;
    }
    m_temp.clear();
    return true;
}

std::string FileNameText(const std::string& utf8, size_t maxBytes) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (utf8.compare(i, kReplacement.size(), kReplacement) == 0) {
            out += '_';
            i += kReplacement.size() - 1;
            continue;
        }
        const bool control = c < 0x20 || c == 0x7F ||
                             (c == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) < 0xA0);
        if (control) {
            out += '_';
            if (c == 0xC2) ++i;  // a C1 control character is two bytes
            continue;
        }
        const char k = (c == '/' || c == '\\') ? '_' : static_cast<char>(c);
        if (k == ' ' && (out.empty() || out.back() == ' ')) continue;
        if (k == '.' && out.empty()) continue;
        out += k;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '.')) out.pop_back();
    if (out.size() > maxBytes) {
        size_t n = maxBytes;
        while (n > 0 && (static_cast<unsigned char>(out[n]) & 0xC0) == 0x80) --n;
        out.resize(n);
    }
    return out;
}

void ReadFrom(std::vector<ByteRange>* ranges, DiscSource* source) {
    for (ByteRange& r : *ranges) r.source = source;
}

namespace {

// The length of the range's file: false (errno set) when it cannot be
// looked at; *present false when it is not there.
bool LengthOf(const ByteRange& r, long long* size, bool* present) {
    if (r.source) {
        *size = r.source->Size(BaseName(r.file).c_str());
        *present = *size >= 0;
        *size = std::max(*size, 0LL);
        return true;
    }
    struct stat st {};
    *present = stat(r.file.c_str(), &st) == 0;
    *size = *present ? static_cast<long long>(st.st_size) : 0;
    return *present || errno == ENOENT;
}

}  // namespace

bool ClipToFiles(std::vector<ByteRange>* ranges, const std::string& what, std::vector<std::string>* missing) {
    std::vector<ByteRange> held;
    for (const ByteRange& r : *ranges) {
        if (r.file.empty() || r.start < 0 || r.end <= r.start) {
            return Fail("the disc gives no byte range for a part of " + what + "; nothing was extracted."), false;
        }
        long long size = 0;
        bool present = false;
        if (!LengthOf(r, &size, &present)) {
            return Fail(r.file + " cannot be read: " + Error() + "; nothing was extracted."), false;
        }
        if (size < r.end) {
            const long long from = std::max(r.start, size);
            missing->push_back(what + ": bytes " + std::to_string(from) + ".." + std::to_string(r.end) + " of " +
                               BaseName(r.file) + " are missing (" +
                               (present ? "the file ends at byte " + std::to_string(size) : "the file is missing") +
                               ")");
        }
        if (size <= r.start) continue;
        ByteRange kept = r;
        kept.end = std::min(r.end, size);
        held.push_back(kept);
    }
    if (held.empty()) {
        return Fail(missing->empty() ? what + " holds no video; nothing was extracted."
                                     : missing->front() + "; nothing of it is there, nothing was extracted."),
               false;
    }
    *ranges = std::move(held);
    return true;
}

bool CheckRanges(const std::vector<ByteRange>& ranges, const std::string& what) {
    for (const ByteRange& r : ranges) {
        if (r.file.empty() || r.start < 0 || r.end <= r.start) {
            return Fail("the disc gives no byte range for a part of " + what + "; nothing was extracted."), false;
        }
        long long size = 0;
        bool present = false;
        if (!LengthOf(r, &size, &present) || !present) {
            return Fail(r.file + " cannot be read: " + (r.source ? std::string("it is not there") : Error()) +
                        "; nothing was extracted."),
                   false;
        }
        if (size < r.end) {
            return Fail(r.file + " ends at byte " + std::to_string(size) + ", before byte " + std::to_string(r.end) +
                        " where " + what + " ends; nothing was extracted."),
                   false;
        }
    }
    return true;
}

namespace {

// The damage check of one chunk, on a thread of its own.
class ChunkChecker {
public:
    ~ChunkChecker() { Join(); }
    void Start(int fd, uint64_t from, uint64_t to, vrm::PackCheck& check) {
        m_thread = std::thread(
            [this, fd, from, to, &check] { m_read = vrm::CheckFileRange(fd, from, to, check, Interrupted); });
    }
    // Waits for the check started last; false when it could not read.
    bool Join() {
        if (m_thread.joinable()) m_thread.join();
        const bool read = m_read;
        m_read = true;
        return read;
    }

private:
    std::thread m_thread;
    bool m_read = true;
};

// Copies [start, end) of a file of an image or drive: blocks it cannot give
// are written as zeros and named in *bad (an error when bad is null).
CopyResult CopyFromSource(const ByteRange& r, OutputFile& out, uint64_t* done, uint64_t total,
                          const std::function<void(uint64_t, uint64_t)>& progress, vrm::PackCheck* check,
                          std::vector<Unreadable>* bad) {
    const std::string name = BaseName(r.file);
    // Two buffers: while one is written and checked (the check on a thread
    // of its own), the next chunk is read into the other.
    constexpr size_t kChunk = 8 << 20;
    std::vector<char> first(kChunk), second(kChunk);
    char* buffers[2] = {first.data(), second.data()};
    std::thread checking;
    const auto join = [&] {
        if (checking.joinable()) checking.join();
    };
    CopyResult result = CopyResult::kDone;
    int k = 0;
    for (uint64_t pos = static_cast<uint64_t>(r.start); pos < static_cast<uint64_t>(r.end); k ^= 1) {
        if (Interrupted()) {
            result = CopyResult::kInterrupted;
            break;
        }
        char* data = buffers[k];
        const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, r.end - pos));
        // Bytes that lie in one piece of an image file are written from its
        // mapping: one copy, as the kernel makes for a directory's file
        // (whose copy_file_range of an image would meet unaligned pages).
        uint64_t at = 0;
        const uint64_t piece = r.source->Place(name.c_str(), pos, want, &at);
        if (piece > 0) {
            const unsigned char* bytes = r.source->Mapped(at);
            join();
            if (check) checking = std::thread([check, bytes, piece, pos] { check->Feed(bytes, piece, pos); });
            if (!out.Write(bytes, piece)) {
                result = CopyResult::kFailed;
                break;
            }
            pos += piece;
            *done += piece;
            progress(*done, total);
            continue;
        }
        const int64_t got = r.source->ReadAt(name.c_str(), pos, data, want, bad);
        if (got < 0) {
            Fail(r.file + " cannot be read at byte " + std::to_string(pos) + ".");
            result = CopyResult::kFailed;
            break;
        }
        if (got == 0) {
            Fail(r.file + " ends at byte " + std::to_string(pos) + ", before the range to extract ends.");
            result = CopyResult::kFailed;
            break;
        }
        join();  // the check of the chunk before, which used the other buffer
        if (check) {
            checking = std::thread([check, data, got, pos] {
                check->Feed(reinterpret_cast<const unsigned char*>(data), static_cast<size_t>(got), pos);
            });
        }
        if (!out.Write(data, static_cast<size_t>(got))) {
            result = CopyResult::kFailed;
            break;
        }
        pos += static_cast<uint64_t>(got);
        *done += static_cast<uint64_t>(got);
        progress(*done, total);
    }
    join();
    return result;
}

// The damage check's runs of one range with the stretches the medium could
// not give (zeros stand in them): a run that meets one is named for it, and
// one the check did not see becomes a run of its own.
void AddUnreadable(const ByteRange& r, const std::vector<Unreadable>& bad, std::vector<vrm::DamagedRun>* runs) {
    const std::string why = "the sectors could not be read from " + (r.source ? r.source->What() : r.file);
    for (const Unreadable& u : bad) {
        bool named = false;
        for (vrm::DamagedRun& run : *runs) {
            if (run.start < u.end && run.end > u.start) {
                run.why = why;
                run.unreadable = true;
                named = true;
            }
        }
        if (named) continue;
        vrm::DamagedRun run;
        run.file = r.file;
        run.start = run.vobuStart = u.start;
        run.end = run.vobuEnd = u.end;
        run.why = why;
        run.unreadable = true;
        runs->push_back(run);
    }
    std::sort(runs->begin(), runs->end(),
              [](const vrm::DamagedRun& a, const vrm::DamagedRun& b) { return a.start < b.start; });
}

// The copy of one range of a file to the output, chunk by chunk: by the
// kernel (offload) where the files allow it, else read and written; each
// chunk checked on a thread of its own where there is a check.
class RangeCopy {
public:
    RangeCopy(const ByteRange& r, OutputFile& out, int in, uint64_t* done, uint64_t total, bool* offload,
              std::vector<char>& buffer, const std::function<void(uint64_t, uint64_t)>& progress, vrm::PackCheck* check)
        : m_r(r),
          m_out(out),
          m_in(in),
          m_done(done),
          m_total(total),
          m_offload(offload),
          m_buffer(buffer),
          m_progress(progress),
          m_check(check),
          m_pos(r.start),
          m_checkedTo(r.start) {}

    CopyResult Run();

private:
    // Starts the check of the chunk of `want` bytes at the position, once
    // the check of the chunk before is finished; false to stop the copy.
    bool CheckChunk(size_t want);
    // One step of the kernel's copy; false to stop the copy.
    bool Offload(size_t want);
    // One chunk read and written; false to stop the copy.
    bool ReadAndWrite(size_t want);
    void Failed(const std::string& sentence) {
        Fail(sentence);
        m_result = CopyResult::kFailed;
    }
    void ReadError() { Failed(m_r.file + " cannot be read at byte " + std::to_string(m_pos) + ": " + Error() + "."); }
    void WriteError() { Failed(m_out.Name() + " could not be written: " + Error() + "."); }
    void ShortFile() {
        Failed(m_r.file + " ends at byte " + std::to_string(m_pos) + ", before the range to extract ends.");
    }
    void Copied(uint64_t bytes) {
        *m_done += bytes;
        m_progress(*m_done, m_total);
    }

    const ByteRange& m_r;
    OutputFile& m_out;
    const int m_in;
    uint64_t* m_done;
    const uint64_t m_total;
    bool* m_offload;
    std::vector<char>& m_buffer;
    const std::function<void(uint64_t, uint64_t)>& m_progress;
    vrm::PackCheck* m_check;
    off_t m_pos;
    off_t m_checkedTo;
    ChunkChecker m_checker;
    CopyResult m_result = CopyResult::kDone;
};

bool RangeCopy::CheckChunk(size_t want) {
    // Each chunk is checked on a thread of its own while it is copied (the
    // two read the same pages of the page cache; on a machine of two cores
    // the check costs next to no time). The check of the chunk before is
    // finished first: the checks run in order.
    if (!m_check || m_pos < m_checkedTo) return true;
    if (!m_checker.Join()) {
        ReadError();
        return false;
    }
    m_checker.Start(m_in, static_cast<uint64_t>(m_pos), static_cast<uint64_t>(m_pos) + want, *m_check);
    m_checkedTo = m_pos + static_cast<off_t>(want);
    return true;
}

bool RangeCopy::Offload(size_t want) {
    // Regular output: copy_file_range (shares or copies blocks in the
    // kernel); a pipe or device: sendfile. Both move the input offset.
    const int outFd = m_out.Descriptor();
    const ssize_t n =
        m_out.Regular() ? copy_file_range(m_in, &m_pos, outFd, nullptr, want, 0) : sendfile(outFd, m_in, &m_pos, want);
    if (n > 0) {
        Copied(static_cast<uint64_t>(n));
        return true;
    }
    if (n == 0) {
        ShortFile();
        return false;
    }
    if (errno == EINTR) return true;  // the loop head sees Ctrl-C
    if (errno == EINVAL || errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP || errno == EBADF) {
        *m_offload = false;  // not for these files: read and write
        return true;
    }
    if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT || errno == EPIPE) {
        WriteError();
    } else {
        Failed("copying " + m_r.file + " from byte " + std::to_string(m_pos) + " to " + m_out.Name() +
               " failed: " + Error() + ".");
    }
    return false;
}

bool RangeCopy::ReadAndWrite(size_t want) {
    const size_t chunk = std::min(want, m_buffer.size());
    const ssize_t got = pread(m_in, m_buffer.data(), chunk, m_pos);
    if (got < 0 && errno == EINTR) return true;
    if (got < 0) {
        ReadError();
        return false;
    }
    if (got == 0) {
        ShortFile();
        return false;
    }
    // A failed or interrupted write ends the copy at the loop head.
    for (ssize_t written = 0; written < got;) {
        const ssize_t n = write(m_out.Descriptor(), m_buffer.data() + written, static_cast<size_t>(got - written));
        if (n < 0 && errno == EINTR && !Interrupted()) continue;
        if (n < 0 && errno == EINTR) {
            m_result = CopyResult::kInterrupted;
            break;
        }
        if (n <= 0) {
            WriteError();
            break;
        }
        written += n;
    }
    m_pos += got;
    Copied(static_cast<uint64_t>(got));
    return true;
}

CopyResult RangeCopy::Run() {
    constexpr long long kChunk = 8 << 20;
    while (m_result == CopyResult::kDone && m_pos < m_r.end) {
        if (Interrupted()) {
            m_result = CopyResult::kInterrupted;
            break;
        }
        const size_t want = static_cast<size_t>(std::min<long long>(kChunk, m_r.end - m_pos));
        if (!CheckChunk(want)) break;
        if (*m_offload ? !Offload(want) : !ReadAndWrite(want)) break;
    }
    if (!m_checker.Join() && m_result == CopyResult::kDone) ReadError();
    return m_result;
}

// Copies [start, end) of one file; *done counts the bytes written so far.
CopyResult CopyRange(const ByteRange& r, OutputFile& out, uint64_t* done, uint64_t total, bool* offload,
                     std::vector<char>& buffer, const std::function<void(uint64_t, uint64_t)>& progress,
                     vrm::PackCheck* check) {
    const int in = open(r.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Fail(r.file + " cannot be opened: " + Error() + "."), CopyResult::kFailed;
    posix_fadvise(in, r.start, r.end - r.start, POSIX_FADV_SEQUENTIAL);
    const CopyResult result = RangeCopy(r, out, in, done, total, offload, buffer, progress, check).Run();
    close(in);
    return result;
}

}  // namespace

CopyResult CopyRanges(const std::vector<ByteRange>& ranges, OutputFile& out,
                      const std::function<void(uint64_t, uint64_t)>& progress, std::vector<vrm::DamagedRun>* damage) {
    uint64_t total = 0, done = 0;
    for (const ByteRange& r : ranges) total += static_cast<uint64_t>(r.end - r.start);
    std::vector<char> buffer(1 << 20);
    bool offload = true;
    vrm::PackCheck check;
    for (const ByteRange& r : ranges) {
        check.Begin(r.file, static_cast<uint64_t>(r.start), static_cast<uint64_t>(r.end), &r.units);
        std::vector<Unreadable> bad;
        const CopyResult result =
            r.source
                ? CopyFromSource(r, out, &done, total, progress, damage ? &check : nullptr, damage ? &bad : nullptr)
                : CopyRange(r, out, &done, total, &offload, buffer, progress, damage ? &check : nullptr);
        if (result != CopyResult::kDone) return result;
        if (damage) {
            std::vector<vrm::DamagedRun> runs = check.End();
            AddUnreadable(r, bad, &runs);
            for (vrm::DamagedRun& run : runs) damage->push_back(std::move(run));
        }
    }
    return CopyResult::kDone;
}

ByteRange RangeOf(void* handle, const seg& s) {
    ByteRange r{s.szFileName, s.llStartPos, s.llEndPos, {}, {}};
    if (s.dwCellType != 0) return r;
    const int vob = static_cast<int>(s.dwSRPN);
    std::vector<__int64> starts(fnVR_GetUnitStarts(handle, 0, vob, nullptr, 0));
    fnVR_GetUnitStarts(handle, 0, vob, starts.data(), static_cast<DWORD>(starts.size()));
    std::vector<DWORD> fields(starts.size());
    fnVR_GetUnitFields(handle, vob, fields.data(), static_cast<DWORD>(fields.size()));
    for (size_t i = 0; i < starts.size(); ++i) {
        const long long at = starts[i] * 2048;
        if (at < r.start || at >= r.end) continue;
        r.units.push_back(static_cast<uint64_t>(at));
        r.fields.push_back(fields[i]);
    }
    return r;
}

bool FindDamage(const std::vector<ByteRange>& ranges, std::vector<vrm::DamagedRun>* damage) {
    vrm::PackCheck check;
    std::vector<char> buffer;
    for (const ByteRange& r : ranges) {
        if (r.source) {
            // Read through the image: what it cannot give is damage.
            check.Begin(r.file, static_cast<uint64_t>(r.start), static_cast<uint64_t>(r.end), &r.units);
            std::vector<Unreadable> bad;
            buffer.resize(1 << 20);
            for (uint64_t pos = static_cast<uint64_t>(r.start); pos < static_cast<uint64_t>(r.end);) {
                if (Interrupted()) return true;
                const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), r.end - pos));
                const int64_t got = r.source->ReadAt(BaseName(r.file).c_str(), pos, buffer.data(), want, &bad);
                if (got <= 0) return Fail(r.file + " cannot be read at byte " + std::to_string(pos) + "."), false;
                check.Feed(reinterpret_cast<const unsigned char*>(buffer.data()), static_cast<size_t>(got), pos);
                pos += static_cast<uint64_t>(got);
            }
            std::vector<vrm::DamagedRun> runs = check.End();
            AddUnreadable(r, bad, &runs);
            for (vrm::DamagedRun& run : runs) damage->push_back(std::move(run));
            continue;
        }
        const int fd = open(r.file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail(r.file + " cannot be opened: " + Error() + "."), false;
        check.Begin(r.file, static_cast<uint64_t>(r.start), static_cast<uint64_t>(r.end), &r.units);
        const bool read =
            vrm::CheckFileRange(fd, static_cast<uint64_t>(r.start), static_cast<uint64_t>(r.end), check, Interrupted);
        const int error = errno;
        close(fd);
        if (!read) return Fail(r.file + " cannot be read: " + std::strerror(error) + "."), false;
        for (vrm::DamagedRun& run : check.End()) damage->push_back(std::move(run));
        if (Interrupted()) return true;
    }
    return true;
}

std::vector<ByteRange> WithoutDamage(const std::vector<ByteRange>& ranges, const std::vector<vrm::DamagedRun>& damage) {
    std::vector<ByteRange> kept;
    for (const ByteRange& r : ranges) {
        long long from = r.start;
        for (const vrm::DamagedRun& run : damage) {
            const long long a = static_cast<long long>(run.vobuStart), b = static_cast<long long>(run.vobuEnd);
            if (run.file != r.file || b <= from || a >= r.end) continue;
            if (a > from) kept.push_back(ByteRange{r.file, from, a, {}, {}, r.source});
            from = std::max(from, b);
        }
        if (from < r.end) kept.push_back(ByteRange{r.file, from, r.end, {}, {}, r.source});
    }
    return kept;
}

int ReportDamage(const std::string& what, const std::vector<vrm::DamagedRun>& damage, bool skipped, const char* kept,
                 const char* keptUnreadable) {
    // A stream damaged all over names its first runs and counts the rest.
    constexpr size_t kShown = 10;
    for (size_t i = 0; i < damage.size() && i < kShown; ++i) {
        if (skipped) {
            std::fprintf(stderr, "vrmangr: warning: %s: left out bytes %llu..%llu; %s.\n", what.c_str(),
                         static_cast<unsigned long long>(damage[i].vobuStart),
                         static_cast<unsigned long long>(damage[i].vobuEnd), vrm::DamageText(damage[i]).c_str());
        } else {
            std::fprintf(stderr, "vrmangr: %s: %s; %s.\n", what.c_str(), vrm::DamageText(damage[i]).c_str(),
                         damage[i].unreadable ? keptUnreadable : kept);
        }
    }
    if (damage.size() > kShown) {
        std::fprintf(stderr, "vrmangr: %s: and %zu more damaged stretches.\n", what.c_str(), damage.size() - kShown);
    }
    return damage.empty() || skipped ? kOk : kFailed;
}

}  // namespace tool
