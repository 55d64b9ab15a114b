// Shared pieces of the vrmangr command-line tool: messages and exit codes,
// argument parsing, the progress bar and Ctrl-C, and Disc, a handle of the
// flat interface bound to one recording directory.
//
// The tool is a client of the public interface only: <vrmangr.h> and the
// exported classes of the installed headers.
#ifndef VRMANGR_TOOLS_CLI_H
#define VRMANGR_TOOLS_CLI_H

#include <string>
#include <vector>

#include <vrmangr.h>

namespace tool {

// Exit codes.
enum { kOk = 0, kFailed = 1, kUsage = 2 };

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

// "1 cell", "2 cells".
std::string Count(long n, const char* one, const char* many);

// Parses a decimal number in [min, max]; false for anything else.
bool ParseNumber(const std::string& text, long min, long max, long* value);

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

private:
    void* m_handle;
};

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
    // asks for first. Nothing is written before Save.
    bool Open(const std::string& dir, Access access);
    // Write or New got past the lock: the exclusive lock is held (or the
    // directory offers no locks at all).
    bool Locked() const { return m_locked; }
    bool AddRecording(const std::string& file);
    bool AddStill(const std::string& file);
    bool Save();

    void* Handle() const { return m_handle; }
    // The manager behind the handle (the handle points at it), for the few
    // things the flat functions do not reach.
    CVR_MANGR* Manager() const { return static_cast<CVR_MANGR*>(m_handle); }
    const std::string& Dir() const { return m_dir; }

private:
    void* m_handle;
    std::string m_dir;
    bool m_locked = false;
};

// What a path names (following symbolic links); false when it cannot be
// looked at.
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
bool Exists(const std::string& path);

// The management and stream file names inside a recording directory.
extern const char* const kIfo;
extern const char* const kBup;
extern const char* const kMovieVro;
extern const char* const kStillVro;
std::string InDir(const std::string& dir, const char* name);

// Subcommands implemented outside main.cpp.
int RunInfo(const Args& args);
int RunCheck(const Args& args);
int RunRepair(const Args& args);
int RunExtract(const Args& args);

}  // namespace tool

#endif
