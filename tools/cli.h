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

// A handle of the flat interface. Each member prints its own error sentence
// (naming the file concerned) and returns false on failure.
class Disc {
public:
    Disc();
    ~Disc();
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;

    bool Open(const std::string& dir);
    bool New(const std::string& dir);
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
};

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
