// Output files of the commands that write media (extract): "-" for stdout,
// devices and FIFOs written directly, regular files written beside their
// target and renamed into place only when complete, never over an existing
// file unless asked. Copying byte ranges of the stream files into them,
// with the kernel's copy offload where both ends allow it.
#ifndef VRMANGR_TOOLS_OUTPUT_H
#define VRMANGR_TOOLS_OUTPUT_H

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <vrmangr.h>

struct stat;

namespace tool {

class DiscSource;

// The files of the disc being read, which no output may ever be: its four
// files and their temporary files, compared by device and inode (so that no
// spelling of a path gets through: "..", a symbolic link to the file or to
// the directory, a hard link, /proc/self/cwd) and, for names that do not
// exist yet, by name in the disc's directory.
class DiscFiles {
public:
    explicit DiscFiles(const std::string& dir);
    // The sentence refusing path as an output, or "" when path is none of
    // the disc's files.
    std::string Refusal(const std::string& path) const;
    // The sentence refusing the disc's own directory as the directory of
    // outputs (-d), or "".
    std::string DirectoryRefusal(const std::string& directory) const;
    // The sentence refusing standard output when it is one of the disc's
    // files (a shell's >> into it), or "".
    std::string StdoutRefusal() const;

private:
    struct Id {
        std::pair<unsigned long long, unsigned long long> id;  // device, inode
        std::string name;
    };
    std::string m_dir;
    bool m_haveDir = false;
    Id m_dirId;
    std::vector<Id> m_files;
    // The refusal of the file stat describes as `path`, when it is one of
    // the disc's files.
    std::string RefusalOf(const struct stat& st, const std::string& path) const;
};

// An output being written. Open, write, then Commit; destroying it without
// Commit (a failure, Ctrl-C) removes what was written of a regular file and
// leaves its target as it was.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens path for writing. "-" is stdout (refused when stdout is a
    // terminal); a device, FIFO or socket (also through a symbolic link) is
    // written directly; a regular file is written to a temporary file beside
    // it ("<name>.part-XXXXXX"), and an existing one is refused unless
    // force. Never one of the disc's files (see DiscFiles), with or without
    // force. Prints the sentence and returns false on failure.
    bool Open(const std::string& path, bool force, const DiscFiles& disc);
    int Descriptor() const { return m_fd; }
    // Writes into a temporary file that Commit renames: copy offload works.
    bool Regular() const { return !m_temp.empty(); }
    const std::string& Name() const { return m_name; }
    // Writes size bytes at the output's end. Prints the sentence and returns
    // false on failure.
    bool Write(const void* data, size_t size);
    // Finishes the output: closes it and renames the temporary file over the
    // target, its modification time `when` (seconds since 1970, UTC) where
    // given (the recording's), else the time of writing. Prints the
    // sentence and returns false on failure.
    bool Commit(const time_t* when = nullptr);

private:
    void Abort();
    int m_fd = -1;
    bool m_close = false;  // the descriptor is ours (not stdout)
    std::string m_name;  // as the user gave it, for messages
    std::string m_target;  // the regular file the temporary file becomes
    std::string m_temp;
};

// A byte range [start, end) of a stream file.
struct ByteRange {
    std::string file;
    long long start = 0;
    long long end = 0;
    // Byte offsets in the range where the time map places VOBUs (a movie
    // cell's), for the damage check; empty when not known.
    std::vector<uint64_t> units;
    // How long each of those VOBUs plays, in video fields (the time map's).
    std::vector<DWORD> fields;
    // The image or drive the file is read from (by its last component);
    // null for a file of a directory, read by its path.
    DiscSource* source = nullptr;
};
// Reads the ranges from the disc's image or drive (source; null: they are
// files of a directory).
void ReadFrom(std::vector<ByteRange>* ranges, DiscSource* source);

// The range of a cell or segment record, with the VOBU starts and playing
// times its VOB's time map gives inside it (movie cells).
ByteRange RangeOf(void* handle, const seg& s);

// Checks that every range lies inside its file (before anything is written).
// On failure prints a sentence naming the file and where it ends, and
// returns false.
bool CheckRanges(const std::vector<ByteRange>& ranges, const std::string& what);
// The ranges cut to what their files hold (extract writes the part of a
// recording that is there): each stretch behind a file's end goes into
// *missing as a clause ("program 2: bytes A..B of VR_MOVIE.VRO are missing
// (the file ends at byte A)"). False, with the sentence printed, for a range
// the disc gives no bytes for, a file that cannot be read, or nothing there
// at all.
bool ClipToFiles(std::vector<ByteRange>* ranges, const std::string& what, std::vector<std::string>* missing);

// A text of the disc (UTF-8) made fit for a file name: '/', '\\', control
// characters and U+FFFD (bytes the disc's character set did not decode)
// become '_', other characters stay as they are; runs of spaces as one, no
// leading dot or space, at most maxBytes bytes, cut between characters.
std::string FileNameText(const std::string& utf8, size_t maxBytes = 64);

// Result of copying.
enum class CopyResult { kDone, kFailed, kInterrupted };

// Appends the ranges, in order, to out. progress(done, total) is called
// between chunks of a few megabytes. Stops at the first read or write error
// (printing one sentence) or when Ctrl-C was pressed. With damage, every
// sector is checked as it is copied (see vrm::PackCheck) and the damaged runs
// are added to it; they are copied as they are.
CopyResult CopyRanges(const std::vector<ByteRange>& ranges, OutputFile& out,
                      const std::function<void(uint64_t, uint64_t)>& progress,
                      std::vector<vrm::DamagedRun>* damage = nullptr);

// Reads the ranges and checks them for damage (see vrm::PackCheck) without
// copying: the damaged runs go to *damage. False, with a sentence, when a
// file cannot be read; Interrupted() tells of Ctrl-C.
bool FindDamage(const std::vector<ByteRange>& ranges, std::vector<vrm::DamagedRun>* damage);
// The ranges without the VOBUs that hold damage (--skip-damaged).
std::vector<ByteRange> WithoutDamage(const std::vector<ByteRange>& ranges, const std::vector<vrm::DamagedRun>& damage);
// Prints one sentence per damaged run of `what` ("program 2"): as warnings
// when they were left out (skipped), else as errors ending in `kept` (what
// the output holds of them); kFailed when there is damage that was not left
// out, kOk otherwise.
int ReportDamage(const std::string& what, const std::vector<vrm::DamagedRun>& damage, bool skipped,
                 const char* kept = "they were copied as they are",
                 const char* keptUnreadable = "zeros stand in their place");

// The file name `--all` gives program (playlist) n under the name template
// (extract's fields), with extension (".mpg") behind it; width is that of
// the largest number. False, with a sentence, for a bad template.
bool AllFileName(void* handle, bool playlist, int n, size_t width, const std::string& pattern, const char* extension,
                 std::string* name, std::string* error);

}  // namespace tool

#endif
