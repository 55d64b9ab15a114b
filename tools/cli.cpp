// Messages, argument parsing, progress and Ctrl-C, and the Disc handle of
// the vrmangr tool.
#include "cli.h"
#include "disc_source.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tool {

namespace fs = std::filesystem;

const char* const kIfo = "VR_MANGR.IFO";
const char* const kBup = "VR_MANGR.BUP";
const char* const kMovieVro = "VR_MOVIE.VRO";
const char* const kStillVro = "VR_STILL.VRO";

std::string InDir(const std::string& dir, const char* name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int Fail(const std::string& sentence) {
    std::fprintf(stderr, "vrmangr: %s\n", sentence.c_str());
    return kFailed;
}

int UsageError(const std::string& command, const std::string& sentence) {
    if (command.empty()) {
        std::fprintf(stderr, "vrmangr: %s\nTry 'vrmangr --help'.\n", sentence.c_str());
    } else {
        std::fprintf(stderr, "vrmangr %s: %s\nTry 'vrmangr %s --help'.\n", command.c_str(), sentence.c_str(),
                     command.c_str());
    }
    return kUsage;
}

std::string DiscDirectory(const std::string& named) {
    std::error_code ec;
    const fs::path path(named);
    const std::string base = path.filename().string();
    const auto upper = [](std::string t) {
        for (char& c : t) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return t;
    };
    // The management file or its backup names its directory.
    if (fs::is_regular_file(path, ec) && (upper(base) == kIfo || upper(base) == kBup)) {
        const fs::path parent = path.parent_path();
        return parent.empty() ? "." : parent.string();
    }
    // The disc's root: its recordings are in DVD_RTAV (as recorders name it,
    // in any case), unless the directory holds them itself.
    if (!fs::is_directory(path, ec) || fs::exists(path / kIfo, ec) || fs::exists(path / kBup, ec) ||
        fs::exists(path / kMovieVro, ec))
        return named;
    for (const auto& entry : fs::directory_iterator(path, ec)) {
        if (upper(entry.path().filename().string()) == "DVD_RTAV" && entry.is_directory(ec))
            return (path / entry.path().filename()).string();
    }
    return named;
}

bool ParseOptions(const Args& args, const std::vector<Option>& options, std::vector<std::string>* operands,
                  int* status) {
    const size_t first = operands->size();
    const std::vector<std::string>& w = args.words;
    for (size_t i = 0; i < w.size(); ++i) {
        const Option* option = nullptr;
        for (const Option& o : options) {
            if (w[i] == o.name || (o.alias && w[i] == o.alias)) option = &o;
        }
        if (!option && !w[i].empty() && w[i][0] == '-') {
            *status = UsageError(args.command, "unknown option " + w[i] + ".");
            return false;
        }
        if (!option) {
            operands->push_back(w[i]);
        } else if (!option->needs) {
            option->given->emplace_back();
        } else if (i + 1 == w.size()) {
            *status = UsageError(args.command, w[i] + " needs " + option->needs + ".");
            return false;
        } else {
            option->given->push_back(w[++i]);
        }
    }
    // Every command names the disc first.
    if (operands->size() > first) (*operands)[first] = DiscDirectory((*operands)[first]);
    return true;
}

std::string Count(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool ParseNumber(const std::string& text, long min, long max, long* value) {
    if (text.empty() || text.size() > 10) return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v < min || v > max) return false;
    *value = v;
    return true;
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

ScratchDir::ScratchDir(const std::string& prefix) {
    std::string pattern = prefix + "XXXXXX";
    if (mkdtemp(&pattern[0])) m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}

bool NumberArg(const Args& args, const std::string& text, const char* what, long min, long* value, int* status) {
    if (ParseNumber(text, min, 65535, value)) return true;
    *status = UsageError(args.command, std::string(what) + " must be a number from " + std::to_string(min) +
                                           " to 65535, not '" + text + "'.");
    return false;
}

int FailEdit(void* h, const std::string& dir, const std::string& fallback) {
    const std::string why = Reason(h, "");
    return Fail(why.empty() ? fallback : dir + ": " + why);
}

bool ParsePlayTime(const std::string& text, long long* ticks) {
    // [[H:]MM:]SS[.fff]: up to three fields, the last with up to three
    // decimals; each field before it a whole number, minutes and seconds
    // below 60 where a larger field precedes them.
    long long fields[3] = {0, 0, 0};
    int count = 0;
    long long millis = 0;
    size_t i = 0;
    while (true) {
        if (count == 3 || i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        long long v = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            if (v > 100000000) return false;
            v = v * 10 + (text[i] - '0');
        }
        fields[count++] = v;
        if (i == text.size()) break;
        if (text[i] == ':') {
            ++i;
            continue;
        }
        if (text[i] != '.') return false;
        int digits = 0;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 3; ++i, ++digits)
            millis = millis * 10 + (text[i] - '0');
        if (digits == 0 || i != text.size()) return false;
        for (; digits < 3; ++digits) millis *= 10;
        break;
    }
    for (int k = 1; k < count; ++k) {
        if (fields[k] >= 60) return false;
    }
    long long seconds = 0;
    for (int k = 0; k < count; ++k) seconds = seconds * 60 + fields[k];
    *ticks = (seconds * 1000 + millis) * 27000;
    return true;
}

// ---- Progress and Ctrl-C ----
//
// The tool's only mutable globals: the flag the SIGINT handler sets, and
// what the progress bar has drawn. The library's callback carries no user
// pointer (its context is the stream object), so the callback reads these.
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
// How many HoldInterrupts live: while one does, a second Ctrl-C is held.
volatile std::sig_atomic_t g_holds = 0;

struct ProgressState {
    bool enabled = false;
    bool drawn = false;
    std::string label;
    int lastPermille = -1;
};
ProgressState g_progress;

// The first Ctrl-C asks the running operation to stop (it puts the
// directory back as it was); a second one ends the tool at once, unless a
// save or a create is under way: then it waits for that to finish or undo.
extern "C" void OnInterrupt(int) {
    if (g_interrupted && g_holds == 0) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    g_interrupted = 1;
}

}  // namespace

void SetupProgress(bool quiet) {
    g_progress.enabled = !quiet && isatty(STDERR_FILENO) == 1;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

HoldInterrupts::HoldInterrupts() { g_holds = g_holds + 1; }

HoldInterrupts::~HoldInterrupts() {
    g_holds = g_holds - 1;
    // A second Ctrl-C held meanwhile is not repeated: the first one already
    // cancels, and the command ends with exit 130.
}

void ProgressLabel(const std::string& label) {
    g_progress.label = label;
    g_progress.lastPermille = -1;
}

void ProgressDone() {
    if (g_progress.drawn) std::fputc('\n', stderr);
    g_progress.drawn = false;
    g_progress.lastPermille = -1;
}

bool Interrupted() { return g_interrupted != 0; }

int Progress(void* /*context*/, DWORD phase, DWORD done, DWORD total, DWORD file) {
    if (g_interrupted) return 0;
    if (!g_progress.enabled) return 1;
    // A reader may report more than it announced (a demuxer reading ahead
    // of a range): the bar stays full.
    const int permille = total ? static_cast<int>(std::min<uint64_t>(uint64_t{done} * 1000 / total, 1000)) : 1000;
    if (permille == g_progress.lastPermille) return 1;
    g_progress.lastPermille = permille;
    std::string label = g_progress.label;
    // Of a save, only the append of the movie recordings reports progress.
    if (phase == VRO_PROGRESS_APPEND)
        label = std::string("writing ") + kMovieVro + " (file " + std::to_string(file) + ")";
    // One line fitted to the terminal's width (less one column, so that the
    // cursor never wraps): the label, the bar, the percentage.
    struct winsize size {};
    const int columns = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const size_t avail = static_cast<size_t>(std::max(columns - 1, 12));
    const size_t labelWidth = std::min(label.size(), std::max<size_t>(8, std::min<size_t>(40, avail / 2)));
    if (label.size() > labelWidth) label = "..." + label.substr(label.size() - (labelWidth - 3));
    const int barWidth = std::min(30, static_cast<int>(avail) - static_cast<int>(labelWidth) - 8);
    std::string line = label;
    if (barWidth >= 5) {
        const int filled = permille * barWidth / 1000;
        line += " [" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(barWidth - filled), '-') + "]";
    }
    char percent[16];
    std::snprintf(percent, sizeof percent, " %3d%%", permille / 10);
    line += percent;
    if (line.size() > avail) line.resize(avail);
    line.resize(avail, ' ');
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    g_progress.drawn = true;
    return 1;
}

// ---- Disc ----

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

long long RegularFileSize(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return static_cast<long long>(st.st_size);
}

bool HoldsDisc(const std::string& dir) { return Exists(InDir(dir, kIfo)) || Exists(InDir(dir, kBup)); }

int FailNoDisc(const std::string& dir) {
    return Fail(dir + " holds no DVD-VR disc: " + kIfo + " and " + kBup + " are missing.");
}

int FailHoldsDisc(const std::string& dir) {
    return Fail(dir + " already holds a DVD-VR disc; 'vrmangr add' adds to it.");
}

std::string Reason(void* handle, const std::string& fallback) {
    VR_STATUS status{};
    if (!fnVR_MANGRGetLastStatus(handle, &status) || status.dwCode == 0 || !status.szText[0]) return fallback;
    return status.szText;
}

DWORD ReasonCode(void* handle) {
    VR_STATUS status{};
    return fnVR_MANGRGetLastStatus(handle, &status) ? status.dwCode : 0;
}

namespace {

// A writer waits this long for the lock: readers hold it only while they
// open, which takes a fraction of it.
constexpr DWORD kWriterWaitMs = 1000;
// A reader waits longer, enough for an edit to be saved; a writer adding
// recordings may hold the lock for minutes, and the reader goes on without.
constexpr DWORD kReaderWaitMs = 2000;

// Takes the exclusive lock on dir for the handle. False, with the sentence
// printed, when another process holds a lock on dir; a directory that
// offers no locks at all (a file system without them) is written without.
bool LockForWriting(void* handle, const std::string& dir) {
    if (fnVR_MANGRLock(handle, dir.c_str(), 1, kWriterWaitMs)) return true;
    if (ReasonCode(handle) != VRO_ERR_LOCKED) return true;
    Fail(dir + " is being changed by another vrmangr process; try again when it has finished.");
    return false;
}

// The first thing the last Open found wrong, as a clause: "VR_MANGR.IFO
// does not load: ...", "VR_MANGR.BUP: ORG_PGCI ..."; empty when it found
// nothing.
std::string FirstFinding(void* handle) {
    VR_OPEN_FINDING finding{};
    if (!fnVR_GetOpenFinding(handle, 0, &finding)) return "";
    std::string text = std::string(finding.dwCopy == 0 ? kIfo : kBup) +
                       (finding.dwKind == VR_FINDING_TABLES ? ": " : " ") + finding.szText;
    if (text.back() == '.') text.pop_back();
    return text;
}

// The files of an image or drive, for the library.
__int64 SourceSize(void* context, const char* name) { return static_cast<DiscSource*>(context)->Size(name); }
__int64 SourceRead(void* context, const char* name, uint64_t offset, void* data, DWORD n) {
    // A management file with a block that cannot be read is damaged (the
    // other copy serves); the library reads nothing else.
    return static_cast<DiscSource*>(context)->ReadAt(name, offset, data, n, nullptr);
}

// What the open disc's other management file is: false (said) when it
// differs and the disc is to be written; a warning when it is damaged or
// missing and matters.
bool CheckOtherCopy(void* handle, const std::string& dir, bool writing) {
    VR_OPEN_STATE state{};
    fnVR_GetOpenState(handle, &state);
    const char* used = state.dwOpenedCopy == 0 ? kIfo : kBup;
    const char* other = state.dwOpenedCopy == 0 ? kBup : kIfo;
    switch (state.dwOtherCopy) {
        case VR_COPY_DIFFERS:
            // Either copy may hold recordings the other lacks: nothing is saved
            // over one of them before the user has chosen.
            if (writing) {
                return Fail(InDir(dir, kIfo) + " and " + kBup +
                            " describe different states of the disc; 'vrmangr check " + dir +
                            "' shows how, and 'vrmangr repair " + dir + "' makes them agree before it can be changed."),
                       false;
            }
            std::fprintf(stderr,
                         "vrmangr: warning: %s and %s of %s describe different states of the disc; read from %s "
                         "('vrmangr check' shows how they differ).\n",
                         kIfo, kBup, dir.c_str(), used);
            break;
        case VR_COPY_DAMAGED:
        case VR_COPY_MISSING:
            if (state.dwOpenedCopy == 1 || !writing) {
                std::fprintf(stderr, "vrmangr: warning: %s of %s is %s; read from %s%s.\n", other, dir.c_str(),
                             state.dwOtherCopy == VR_COPY_MISSING ? "missing" : "damaged", used,
                             writing ? " (the save writes both again)" : " ('vrmangr repair' restores it)");
            }
            break;
        default: break;
    }
    return true;
}

// What the recordings lack of the stream files: a file gone, or the movie
// file shorter than its recordings. False (said) when a file is gone and
// the disc is to be written; else a warning.
bool CheckStreamFiles(void* handle, const std::string& dir, bool writing) {
    std::string missing;
    bool movieShort = false;
    for (int still = 0; still < 2; ++still) {
        VR_STREAM_USE use{};
        if (!fnVR_GetStreamUse(handle, still, &use, nullptr, 0, nullptr, 0, nullptr, 0)) continue;
        if (!use.dwFilePresent && use.dwRecordedEnd > 0)
            missing += std::string(missing.empty() ? "" : " and ") + (still ? kStillVro : kMovieVro);
        else if (!still && use.llMissingBytes > 0)
            movieShort = true;
    }
    if (!missing.empty()) {
        // The tables are whole: the disc lists, and what is there can be
        // read; nothing is changed while its recordings' file is gone.
        if (writing) {
            return Fail(dir + " cannot be changed: " + missing +
                        ", which holds its recordings, is missing (info and extract still read what is there)."),
                   false;
        }
        std::fprintf(stderr, "vrmangr: warning: %s of %s is missing: its recordings are listed but cannot be read.\n",
                     missing.c_str(), dir.c_str());
    }
    if (movieShort) {
        std::fprintf(stderr, "vrmangr: warning: %s is shorter than the recordings it should hold.\n",
                     InDir(dir, kMovieVro).c_str());
    }
    return true;
}

// Recordings that share sectors: at least one of them plays another's
// data. The disc opens all the same (its recordings can be read, and the
// damaged one deleted), but not without a word.
void WarnOfOverlaps(void* handle, const std::string& dir) {
    for (int still = 0; still < 2; ++still) {
        VR_STREAM_USE use{};
        VR_EXTENT_PAIR pair{};
        if (!fnVR_GetStreamUse(handle, still, &use, nullptr, 0, &pair, 1, nullptr, 0) || use.dwOverlaps == 0) continue;
        const std::string more =
            use.dwOverlaps > 1 ? " (and " + Count(use.dwOverlaps - 1, "more pair", "more pairs") + ")" : "";
        std::fprintf(stderr,
                     "vrmangr: warning: %s %u and %u of %s share sectors of %s%s; 'vrmangr check %s' shows where.\n",
                     still ? "VOGs" : "VOBs", unsigned{pair.wFirst}, unsigned{pair.wSecond}, dir.c_str(),
                     still ? kStillVro : kMovieVro, more.c_str(), dir.c_str());
    }
}

// Opens the disc of the directory dir through the handle; source: of the
// image or drive dir.
bool OpenExisting(void* handle, const std::string& dir, bool writing, DiscSource* source = nullptr) {
    if (!source && !HoldsDisc(dir)) return FailNoDisc(dir), false;
    if (source && source->Size(kIfo) < 0 && source->Size(kBup) < 0) {
        return Fail(dir + " holds no DVD-VR disc: its DVD_RTAV folder lacks " + kIfo + " and " + kBup + "."), false;
    }
    const VR_DISC_FILES files{source, &SourceSize, &SourceRead};
    const std::string location = dir + ":/DVD_RTAV";
    if (!(source ? fnVR_MANGROpenFiles(handle, &files, location.c_str()) : fnVR_MANGROpen(handle, dir.c_str()))) {
        // The first reason the library gave, and where to see them all.
        const std::string why = Reason(handle, "damaged, or a stream file is missing");
        std::string first = FirstFinding(handle);
        if (first.empty()) first = why;
        if (first.back() == '.') first.pop_back();
        return Fail(dir + " cannot be opened (" + first + "); 'vrmangr check " + dir + "' lists what is wrong."), false;
    }
    if (!CheckOtherCopy(handle, dir, writing) || !CheckStreamFiles(handle, dir, writing)) return false;
    WarnOfOverlaps(handle, dir);
    return true;
}

}  // namespace

DiscLock::DiscLock() : m_handle(fnVR_MANGRBegin()) {}

DiscLock::~DiscLock() { fnVR_MANGREnd(m_handle); }

bool DiscLock::Take(const std::string& dir, Access access) {
    if (!m_handle) return Fail("out of memory."), false;
    if (access != Access::Read) return LockForWriting(m_handle, dir);
    m_writerActive = !fnVR_MANGRLock(m_handle, dir.c_str(), 0, kReaderWaitMs) && ReasonCode(m_handle) == VRO_ERR_LOCKED;
    return true;
}

void DiscLock::Release() { fnVR_MANGRUnlock(m_handle); }

Disc::Disc() : m_handle(fnVR_MANGRBegin()) {}

Disc::~Disc() { fnVR_MANGREnd(m_handle); }

bool Disc::Open(const std::string& dir, Access access, const std::string& map) {
    m_dir = dir;
    if (!m_handle) return Fail("out of memory."), false;
    if (!Exists(dir)) return Fail(dir + " does not exist."), false;
    if (!IsDirectory(dir) || !map.empty()) {
        if (access != Access::Read) {
            return Fail(dir +
                        " is not a directory; vrmangr reads disc images and drives but never changes them ('vrmangr "
                        "copy " +
                        dir + " DIR' makes a directory of its disc that can be changed)."),
                   false;
        }
        m_source.reset(new DiscSource);
        return m_source->Open(dir, map) && OpenExisting(m_handle, dir, false, m_source.get());
    }
    if (access == Access::Read) {
        // The shared lock only keeps the open from meeting a save half-done.
        const bool locked = fnVR_MANGRLock(m_handle, dir.c_str(), 0, kReaderWaitMs);
        const bool opened = OpenExisting(m_handle, dir, false);
        if (locked) fnVR_MANGRUnlock(m_handle);
        return opened;
    }
    if (!LockForWriting(m_handle, dir)) return false;
    m_locked = true;
    if (access == Access::Write) return OpenExisting(m_handle, dir, true);
    // Under the lock: another create may have saved a disc here meanwhile.
    if (HoldsDisc(dir)) return FailHoldsDisc(dir), false;
    if (!fnVR_MANGRNew(m_handle, dir.c_str()))
        return Fail(Reason(m_handle, "cannot start a new disc in " + dir + ".")), false;
    m_new = true;
    return true;
}

namespace {

// The media --medium names, and their recordable bytes.
const struct {
    const char* name;
    uint64_t bytes;
} kMedia[] = {{"4.7", kDefaultMediumBytes},
              {"9.4", 2 * kDefaultMediumBytes},
              {"2.6", 1270000ull * 2048},
              {"8.5", 4173824ull * 2048}};

// Bytes in the whole 2048-byte sectors they take (nothing for -1).
uint64_t InSectors(long long bytes) { return bytes > 0 ? (static_cast<uint64_t>(bytes) + 2047) / 2048 * 2048 : 0; }

}  // namespace

bool ParseMedium(const std::string& text, uint64_t* bytes) {
    for (const auto& m : kMedia) {
        if (text == m.name || text == std::string(m.name) + "G" || text == std::string(m.name) + "GB") {
            *bytes = m.bytes;
            return true;
        }
    }
    if (text.empty() || text.size() > 15 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    *bytes = std::stoull(text);
    return *bytes > 0;
}

std::string HumanBytes(uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000000)
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1e9);
    else if (bytes >= 1000000)
        std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
    else
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>((bytes + 999) / 1000));
    return text;
}

uint64_t Disc::UsedBytes() const {
    uint64_t used = 0;
    for (const char* name : {kIfo, kBup, kMovieVro, kStillVro}) {
        used += InSectors(FileSize(name));
    }
    return used;
}

bool ParseMediumOption(const Args& args, const std::vector<std::string>& values, uint64_t* bytes, int* status) {
    *bytes = kDefaultMediumBytes;
    if (values.empty() || ParseMedium(values.back(), bytes)) return true;
    *status = UsageError(args.command, "--medium takes 4.7, 9.4, 2.6, 8.5 or a number of bytes.");
    return false;
}

std::string MediumText(uint64_t bytes) {
    for (const auto& m : kMedia)
        if (bytes == m.bytes) return std::string("the ") + m.name + " GB medium";
    return "a medium of " + std::to_string(bytes) + " bytes";
}

uint64_t BlockDeviceBytes(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    uint64_t bytes = 0;
    if (ioctl(fd, BLKGETSIZE64, &bytes) != 0) bytes = 0;
    close(fd);
    return bytes;
}

bool Disc::Fits(const std::string& file) {
    // A new disc replaces the stream files of an earlier one, and its save
    // writes both management files (128 KB each, as the library writes them).
    const uint64_t used = m_added + (m_new ? 2 * 131072 : UsedBytes());
    const uint64_t need = InSectors(RegularFileSize(file));
    if (used + need <= m_medium) {
        m_added += need;
        return true;
    }
    const auto mb = HumanBytes;
    const uint64_t left = used < m_medium ? m_medium - used : 0;
    return Fail(file + " does not fit on " + MediumText(m_medium) + ": it needs " + mb(need) + ", " +
                mb(used + need - m_medium) + " more than the " + mb(left) + " left (--medium names a larger one)."),
           false;
}

long long Disc::FileSize(const char* name) const {
    return m_source ? m_source->Size(name) : RegularFileSize(InDir(m_dir, name));
}

bool Disc::DateFile(const std::string& file) {
    if (!m_date.Given()) return true;
    SYSTEMTIME utc{};
    if (!m_date.For(file, &utc)) return Fail("cannot read the modification time of " + file + "."), false;
    if (fnVR_SetRecordingTime(m_handle, &utc)) return true;
    return Fail("the modification time of " + file + " lies outside the years 1900 to 9999 a disc can record."), false;
}

bool Disc::AddRecording(const std::string& file) {
    if (!IsRegularFile(file)) return Fail(file + " does not exist or is not a file."), false;
    if (!Fits(file)) return false;
    if (!DateFile(file)) return false;
    ProgressLabel("analysing " + BaseName(file));
    if (!m_joinDay) fnVR_StartNewProgram(m_handle);
    const int ok = fnVR_AddMpegFile(m_handle, file.c_str(), Progress);
    ProgressDone();
    m_addedMovies = m_addedMovies || ok;
    if (ok) return true;
    if (Interrupted()) return Fail("cancelled while analysing " + file + "; " + m_dir + " was left as it was."), false;
    return Fail(Reason(m_handle, file + " could not be added to " + m_dir + ".")), false;
}

bool Disc::AddStill(const std::string& file) {
    if (!IsRegularFile(file)) return Fail(file + " does not exist or is not a file."), false;
    if (!Fits(file)) return false;
    if (!DateFile(file)) return false;
    if (!m_joinDay) fnVR_StartNewProgram(m_handle);
    if (fnVR_AddStillFile(m_handle, file.c_str())) return true;
    return Fail(Reason(m_handle, file + " could not be added to " + m_dir + ".")), false;
}

bool Disc::Save() {
    if (Interrupted()) return Fail("cancelled; " + m_dir + " was left as it was."), false;
    const HoldInterrupts hold;
    ProgressLabel("saving " + m_dir);
    const int ok = fnVR_MANGRSave(m_handle, Progress);
    ProgressDone();
    if (ok) return true;
    const DWORD code = ReasonCode(m_handle);
    if (Interrupted() || code == VRO_ERR_CANCELLED) {
        return Fail("cancelled while saving; " + m_dir + " was left as it was."), false;
    }
    const std::string why = Reason(m_handle, InDir(m_dir, kIfo) + " and " + kBup + " could not be written.");
    if (code == VRO_ERR_TRAILING_DATA) {
        // The save appends the movie recordings first: it is their stream
        // that refused when there were any.
        return Fail(InDir(m_dir, m_addedMovies ? kMovieVro : kStillVro) +
                    " holds data behind its last recording that the disc does not describe, so nothing was saved; "
                    "'vrmangr check " +
                    m_dir + "' tells what it is, 'vrmangr adopt " + m_dir +
                    "' registers the recordings there and "
                    "'vrmangr repair " +
                    m_dir + "' removes what holds none."),
               false;
    }
    if (code == VRO_ERR_COPIES_DIFFER) {
        return Fail(InDir(m_dir, kIfo) + " and " + kBup + " describe different states of the disc; 'vrmangr repair " +
                    m_dir + "' makes them agree."),
               false;
    }
    return Fail(why), false;
}

}  // namespace tool
