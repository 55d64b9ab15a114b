// Shared pieces of the vrmangr command-line tool: messages and exit codes,
// argument parsing, the progress bar and Ctrl-C, the directory's file names,
// and Disc, a handle of the flat interface bound to one recording directory.
//
// The tool is a client of the flat interface only (<vrmangr.h>): the
// library's handle functions and the records they fill. Why a call failed
// comes from the handle's status (fnVR_MANGRGetLastStatus).
#ifndef VRMANGR_TOOLS_CLI_H
#define VRMANGR_TOOLS_CLI_H

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <vrmangr.h>

#include "date.h"

namespace tool {

class DiscSource;

// Exit codes; kInterrupted after Ctrl-C, as shells report a SIGINT.
enum { kOk = 0, kFailed = 1, kUsage = 2, kInterrupted = 130 };

// Prints "vrmangr: <sentence>" on stderr; returns kFailed.
int Fail(const std::string& sentence);
// Prints "vrmangr <command>: <sentence>" and a pointer to the command's help
// on stderr; returns kUsage.
int UsageError(const std::string& command, const std::string& sentence);

// The arguments of one subcommand, with the options every subcommand knows
// (--help, --quiet) taken out.
struct Args {
    std::string command;
    std::vector<std::string> words;  // the remaining arguments, in order
    bool help = false;
    bool quiet = false;
};

// An option of a subcommand: a flag, or one that takes the next word as its
// value (it may be given more than once).
struct Option {
    const char* name;  // "--json"
    const char* alias;  // another spelling ("-o"), or nullptr
    const char* needs;  // what its value is ("a file"), or nullptr for a flag
    std::vector<std::string>* given;  // each value, in order; a flag adds "" each time
};
// The recording directory a user named as the disc: the directory itself,
// the disc's root holding it as DVD_RTAV, or its VR_MANGR.IFO or
// VR_MANGR.BUP (as the readers people know take it). Anything else as it
// was named.
std::string DiscDirectory(const std::string& named);
// Splits args.words into the options and the other words (operands), in
// order, the first operand (the disc) taken through DiscDirectory. False,
// with *status a usage error, for an unknown option or one that lacks its
// value.
bool ParseOptions(const Args& args, const std::vector<Option>& options, std::vector<std::string>* operands,
                  int* status);

// The playing time of `frames` video frames at frameRate frames per 1000 s,
// "H:MM:SS.mmm" (the library's).
using vrm::FrameTime;

// "a, b and c".
std::string Join(const std::vector<std::string>& items);

// A scratch directory prefix + six random characters (made by mkdtemp),
// removed with everything in it; Path() is "" when it could not be made.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// "1 cell", "2 cells".
std::string Count(long long n, const char* one, const char* many);

// Parses a decimal number in [min, max]; false for anything else.
bool ParseNumber(const std::string& text, long min, long max, long* value);
// ParseNumber for operand `what` of a command, 1 or min to 65535; false
// with *status the usage error printed.
bool NumberArg(const Args& args, const std::string& text, const char* what, long min, long* value, int* status);
// A play time H:MM:SS[.fff], M:SS[.fff] or seconds (SS[.fff], any number
// of them), as 27 MHz ticks; false for anything else.
bool ParsePlayTime(const std::string& text, long long* ticks);
// A refused edit of the disc in dir: the library's reason, or `fallback`
// when it gave none; returns kFailed.
int FailEdit(void* h, const std::string& dir, const std::string& fallback);

// The recordable bytes of a medium: a single-sided 4.7 GB disc (2,295,104
// sectors, the smallest of the DVD formats of that size) unless --medium
// names another: 4.7, 9.4 (a double-sided DVD-RAM), 2.6 (a first DVD-RAM),
// 8.5 (a double-layer disc), or a number of bytes.
constexpr uint64_t kDefaultMediumBytes = 4700372992ull;
bool ParseMedium(const std::string& text, uint64_t* bytes);
// "306 KB", "1.4 MB", "4.70 GB" (powers of 1000).
std::string HumanBytes(uint64_t bytes);
// "the 4.7 GB medium", "a medium of 1000000 bytes", for messages.
std::string MediumText(uint64_t bytes);
// The size of the block device at path; 0 when path names none.
uint64_t BlockDeviceBytes(const std::string& path);
// The medium --medium names (its last value), kDefaultMediumBytes without
// one; false, with the usage error printed (*status), when it names none.
bool ParseMediumOption(const Args& args, const std::vector<std::string>& values, uint64_t* bytes, int* status);

// Progress and cancelling. Progress() is the callback handed to the
// library: it draws a bar on stderr (only when stderr is a terminal and
// --quiet was not given) and returns 0, which cancels the operation, once
// Ctrl-C was pressed.
void SetupProgress(bool quiet);
void ProgressLabel(const std::string& label);
void ProgressDone();
int Progress(void* context, DWORD phase, DWORD done, DWORD total, DWORD file);
// Ctrl-C was pressed since the tool started.
bool Interrupted();
// While one lives (a save, a create, a recovery's save and its undo), a
// second Ctrl-C does not end the tool: the operation finishes, or puts the
// directory back as it was, first. Outside, a second Ctrl-C ends the tool
// at once.
class HoldInterrupts {
public:
    HoldInterrupts();
    ~HoldInterrupts();
    HoldInterrupts(const HoldInterrupts&) = delete;
    HoldInterrupts& operator=(const HoldInterrupts&) = delete;
};

// How a command uses a disc, which decides the lock it takes on the
// directory. Commands that save hold the exclusive lock for the whole
// read-modify-write, so two of them never interleave; a second one waits
// about a second (enough for a reader's open), then fails with a sentence
// naming the disc and changes nothing. Readers hold the shared lock only
// around the open, so that they never load a save half-done (IFO written,
// BUP not yet) and never hold up a writer; when a writer keeps the lock
// longer (a long add) they go on without it, as every save renames whole
// files.
enum class Access {
    Read,  // info, extract: the shared lock during the open only
    Write,  // commands that save: the exclusive lock from before the open on
    New,  // create: as Write, on a directory that holds no disc yet
};

// The lock on a recording directory for a command that reads or changes its
// files without a Disc (check, repair), held from Take to Release or
// destruction. The locks of two handles conflict also within one process:
// a command holds either a DiscLock or a Disc on a directory, never both.
class DiscLock {
public:
    DiscLock();
    ~DiscLock();
    DiscLock(const DiscLock&) = delete;
    DiscLock& operator=(const DiscLock&) = delete;

    // Takes the lock as a Disc opened with the access does. Write (and New):
    // on failure prints the sentence that another vrmangr process is
    // changing dir and returns false. Read: the shared lock, or none when a
    // writer keeps it too long; always true. A reader releases it as soon as
    // it has read the management files.
    bool Take(const std::string& dir, Access access = Access::Write);
    void Release();
    // A reader's Take met a writer that kept the lock: the directory may be
    // changing while it is read.
    bool WriterActive() const { return m_writerActive; }

private:
    void* m_handle;
    bool m_writerActive = false;
};

// The reason the handle's last call failed, as the library words it (one
// sentence naming the file or item), or `fallback` when it gave none.
std::string Reason(void* handle, const std::string& fallback);
// The VRO_ERR_* code of the handle's last call; 0 when it succeeded.
DWORD ReasonCode(void* handle);

// A handle of the flat interface. Each member prints its own error sentence
// (naming the file concerned) and returns false on failure.
class Disc {
public:
    Disc();
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    // Opens the disc in dir (Read, Write), or starts a new one there (New:
    // dir exists and holds no management file), taking the lock the access
    // asks for first. Nothing is written before Save. Read also takes a
    // disc image or a drive for dir (its UDF file system read without
    // mounting it), with a ddrescue map of the image when map is given.
    bool Open(const std::string& dir, Access access, const std::string& map = "");
    // Where a disc opened from an image reads its files; null for a
    // directory.
    DiscSource* Source() const { return m_source.get(); }
    // The length of one of the disc's four files; -1 when it is not there.
    long long FileSize(const char* name) const;
    // What the disc's four files take on a medium, in whole sectors.
    uint64_t UsedBytes() const;
    // Write or New got past the lock: the exclusive lock is held (or the
    // directory offers no locks at all).
    bool Locked() const { return m_locked; }
    // Each recording or still-picture file added opens a program of its own
    // (a recorder makes one program per recording), unless JoinDay was
    // called: then it joins the last program when both are of the same
    // day (in the disc's zone).
    void JoinDay() { m_joinDay = true; }
    // The recording time of each file added from now on (--date); without
    // it the library stamps the current time.
    void SetDate(const RecordingDate& date) { m_date = date; }
    // The medium's recordable bytes (default kDefaultMediumBytes): an add
    // that would make the disc's files larger is refused, naming how much is
    // missing.
    void SetMedium(uint64_t bytes) { m_medium = bytes; }
    bool AddRecording(const std::string& file);
    bool AddStill(const std::string& file);
    bool Save();

    void* Handle() const { return m_handle; }
    const std::string& Dir() const { return m_dir; }

private:
    void* m_handle;
    std::string m_dir;
    bool m_locked = false;
    bool m_addedMovies = false;  // movie recordings wait for the save
    bool m_joinDay = false;
    RecordingDate m_date;
    std::unique_ptr<DiscSource> m_source;  // an image's or drive's files
    uint64_t m_medium = kDefaultMediumBytes;
    uint64_t m_added = 0;  // bytes of the files added since the open, rounded to sectors
    bool m_new = false;  // a new disc: stream files there belong to an earlier one
    // False, with the sentence printed, when file would not fit on the
    // medium beside what the disc holds and what was added.
    bool Fits(const std::string& file);
    // Hands the library the recording time of file, when --date gave one.
    bool DateFile(const std::string& file);
};

// What a path names (following symbolic links); false when it cannot be
// looked at.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
bool Exists(const std::string& path);
// The length of a regular file; -1 when path names none.
long long RegularFileSize(const std::string& path);
// The last component of a path.
std::string BaseName(const std::string& path);

// The management and stream file names inside a recording directory.
extern const char* const kIfo;
extern const char* const kBup;
extern const char* const kMovieVro;
extern const char* const kStillVro;
std::string InDir(const std::string& dir, const char* name);
// A temporary file of an interrupted save beside one of the four files
// (the library's test).
using vrm::IsTempFileName;
// The stream files are addressed in sectors of this many bytes.
constexpr uint64_t kSectorBytes = 2048;

// Whether dir holds a management file (VR_MANGR.IFO or VR_MANGR.BUP).
bool HoldsDisc(const std::string& dir);
// Prints that dir holds no disc (neither management file); returns kFailed.
int FailNoDisc(const std::string& dir);
// Prints that dir already holds a disc, for the commands that make one;
// returns kFailed.
int FailHoldsDisc(const std::string& dir);

// Subcommands implemented outside main.cpp.
int RunInfo(const Args& args);
int RunCheck(const Args& args);
int RunRepair(const Args& args);
int RunExtract(const Args& args);
int RunExport(const Args& args);
int RunTitle(const Args& args);
int RunProgram(const Args& args);
int RunAuthor(const Args& args);
int RunRecover(const Args& args);
// What a recovered recording is titled, dated and divided by where a
// management file that survived describes it.
struct RecoveredNaming {
    std::string title;
    bool dated = false;
    SYSTEMTIME when{};  // UTC
    std::vector<DWORD> chapters;  // frames from its start where its entry points after the first begin
    std::string from;  // "program 2 of the management file at byte 690176", for the report
};
// Asked for each recording the in-place recovery found in the movie stream
// file at path (its sectors [first, first + sectors)); true when it filled
// in *naming.
using RecoveredNamer =
    std::function<bool(const std::string& path, DWORD first, DWORD sectors, RecoveredNaming* naming)>;
// recover DIR: the management files rebuilt from the stream files of dir.
int RecoverInPlace(const std::string& dir, bool dry, bool realign, bool quiet, const RecoveredNamer& namer = nullptr);
// recover SOURCE -d DIR: recordings found in any dump, written as a new disc
// in dir (with files: as MPEG files); see tools/recover_dump.cpp.
int RecoverDump(const std::string& source, const std::string& dir, bool files, bool dry, bool quiet);
int RunAdopt(const Args& args);
int RunCopy(const Args& args);
int RunCharset(const Args& args);

}  // namespace tool

#endif
