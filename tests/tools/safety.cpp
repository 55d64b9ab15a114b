// Safety of the vrmangr tool on damaged and interrupted discs: black-box
// runs of the built tool on the committed samples. Mutations: seeded damage
// of the management files. Kill: saving commands SIGKILLed midway. Readers:
// reading commands on discs with gaps, stale or half-written files, and
// read-only. Concurrency: two writers and a reader on one disc. What each
// must hold is said at its TEST.
//
// Usage: tool_test_safety TOOL DATA_DIR [SEEDS] [gtest options]; one seed
// alone, its scratch discs kept: VRMANGR_SAFETY_SEED=N. Also the scripts'
// helper: damage FILE OFFSET HEXBYTES | damage FILE truncate SIZE |
// playlists DIR COUNT CELLS | splice OUT PIECES SEED (see Damage, Playlists
// and Splice).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "api/vrmangr.h"
#include "support/Restamp.h"
#include "support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;
using Args = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

namespace {

std::string g_tool, g_mp2, g_lpcm, g_still;  // the tool and three samples
int g_seeds = 100;

const char* const kFour[] = {"VR_MANGR.IFO", "VR_MANGR.BUP", "VR_MOVIE.VRO", "VR_STILL.VRO"};
const size_t kMaxOutput = 64 * 1024;  // more than this from one command is a flood
const int kTimeoutMs = 15000;

struct Result {
    int exit = -1, signal = 0;  // exit -1: a signal ended it or it timed out
    bool timedOut = false;
    size_t bytes = 0;  // stdout and stderr together
    std::string out, err;  // the first kMaxOutput bytes of each
};

// Runs the tool to its end, keeping its output; SIGKILLed after killMs, or
// when it has not ended within kTimeoutMs (which is a time-out). Each of
// interruptsMs (rising) sends it a SIGINT, as Ctrl-C does, that long after
// the start.
Result RunTool(Args args, int killMs = -1, std::vector<int> interruptsMs = {}) {
    args.insert(args.begin(), g_tool);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) std::abort();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = -1;
    if (posix_spawn(&pid, g_tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) std::abort();
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    Result r;
    const auto started = Clock::now();
    const auto deadline = started + std::chrono::milliseconds(killMs < 0 ? kTimeoutMs : killMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&r.out, &r.err};
    size_t interrupts = 0;
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {  // poll skips a closed (negative) one
        const auto now = Clock::now();
        while (interrupts < interruptsMs.size() &&
               now >= started + std::chrono::milliseconds(interruptsMs[interrupts])) {
            kill(pid, SIGINT);
            ++interrupts;
        }
        auto wake = deadline;
        if (interrupts < interruptsMs.size())
            wake = std::min(wake, started + std::chrono::milliseconds(interruptsMs[interrupts]));
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        if (left <= 0) {
            r.timedOut = killMs < 0;
            kill(pid, SIGKILL);
            break;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
        if (poll(fds, 2, static_cast<int>(std::max<long long>(wait, 0))) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buffer[8192];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                r.bytes += static_cast<size_t>(n);
                texts[i]->append(buffer, std::min(kMaxOutput - std::min(kMaxOutput, texts[i]->size()), size_t(n)));
                continue;
            }
            close(fds[i].fd);
            fds[i].fd = -1;
        }
    }
    for (const pollfd& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && !r.timedOut) r.exit = WEXITSTATUS(status);
    if (WIFSIGNALED(status) && !r.timedOut) r.signal = WTERMSIG(status);
    return r;
}

Args On(Args args, const fs::path& disc) {
    args.insert(args.begin() + 1, disc.string());
    return args;
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) << path;
}

// What a disc directory holds: every entry with a hash of its bytes, which
// a command that only reads must leave as they were, and the management
// files' bytes.
struct State {
    std::map<std::string, size_t> files;
    std::string ifo, bup;
    size_t Of(int i) const { return files.count(kFour[i]) ? files.at(kFour[i]) : 0; }  // 0: missing
    bool SameStreams(const State& o) const { return Of(2) == o.Of(2) && Of(3) == o.Of(3); }
    bool Same(const State& o) const { return SameStreams(o) && ifo == o.ifo && bup == o.bup; }
};

State Snap(const fs::path& dir) {
    State s;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string(), bytes = Read(e.path());
        s.files[name] = std::hash<std::string>{}(bytes) | 1;
        if (name == kFour[0]) s.ifo = bytes;
        if (name == kFour[1]) s.bup = bytes;
    }
    return s;
}

void CopyDisc(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const auto& e : fs::directory_iterator(from)) {
        fs::copy_file(e.path(), to / e.path().filename(), fs::copy_options::overwrite_existing);
    }
}

// Runs the commands of a script on a disc being built (commands split at
// ';', words at spaces; the disc goes behind the command's name, and MP2,
// LPCM and STILL stand for the samples); every one must succeed.
void Build(const fs::path& disc, const std::string& script) {
    std::istringstream commands(script);
    for (std::string command; std::getline(commands, command, ';');) {
        std::istringstream words(command);
        Args args;
        for (std::string w; words >> w;)
            args.push_back(w == "MP2" ? g_mp2 : w == "LPCM" ? g_lpcm : w == "STILL" ? g_still : w);
        const Result r = RunTool(On(args, disc));
        ASSERT_EQ(r.exit, 0) << "vrmangr " << command << " while building the disc: " << r.err << r.out;
    }
}

// Failed properties, each reported with its first three examples only, so
// that a broken behaviour does not flood the log. Workers of the campaign
// add to one object.
struct Findings {
    std::mutex mutex;
    std::map<std::string, int> counts;
    void Add(const std::string& property, const std::string& example) {
        std::lock_guard<std::mutex> lock(mutex);
        if (++counts[property] <= 3) ADD_FAILURE() << property << ": " << example;
    }
};

std::string Excerpt(const std::string& text) {
    std::string line = text.substr(0, text.find('\n', text.find('\n') + 1));
    return "\"" + (line.size() > 300 ? line.substr(0, 300) + "..." : line) + "\"";
}

// What every run must be: ended by itself, in time, with bounded output, no
// sanitizer report, exit 0 or 1, and one sentence on stderr when it failed.
// False when it was not.
bool Sane(const Result& r, const std::string& command, const std::string& where, Findings& f) {
    const bool sanitizer =
        r.err.find("Sanitizer") != std::string::npos || r.err.find("runtime error:") != std::string::npos;
    const bool sentence = r.err.rfind("vrmangr", 0) == 0 && std::count(r.err.begin(), r.err.end(), '\n') <= 8;
    const char* problem = r.timedOut                 ? "did not end in time"
                          : r.signal                 ? "was ended by a signal"
                          : r.bytes > kMaxOutput     ? "printed more than 64 KB"
                          : sanitizer                ? "drew a sanitizer report"
                          : r.exit > 1               ? "exited with a status other than 0 or 1"
                          : r.exit == 1 && !sentence ? "failed without one sentence on stderr"
                                                     : nullptr;
    if (problem)
        f.Add(command + " " + problem, where + " (signal " + std::to_string(r.signal) + "): " + Excerpt(r.err));
    return !problem;
}

// A command that only reads dir: it must be sane and leave every file of
// dir (and the listing) as it was.
Result Reading(const Args& args, const fs::path& dir, const std::string& where, Findings& f) {
    const auto before = Snap(dir).files;
    const Result r = RunTool(args);
    const std::string command = args[0] + (args.back() == "--json" || args.back() == "--deep" ? " " + args.back() : "");
    Sane(r, command, where, f);
    if (Snap(dir).files != before) f.Add(command + " changed the disc", where);
    return r;
}

// repair on dir, then check: both sane, and check passes after a repair
// that succeeded. repair's result.
Result RepairAndCheck(const fs::path& dir, const std::string& where, Findings& f) {
    const Result repair = RunTool({"repair", dir.string()});
    if (Sane(repair, "repair", where, f) && repair.exit == 0) {
        const Result again = RunTool({"check", dir.string()});
        if (Sane(again, "check", where, f) && again.exit != 0)
            f.Add("check fails after a repair that succeeded", where + ": " + Excerpt(again.out));
    }
    return repair;
}

// The first "bytes A..B" line of the text info that does not lie inside
// the stream file of its cell and does not say so ("missing"); empty when
// all do.
std::string RangeBeyondStream(const std::string& info, const fs::path& dir) {
    std::error_code ec;
    const uint64_t sizes[2] = {fs::file_size(dir / kFour[2], ec), fs::file_size(dir / kFour[3], ec)};
    std::istringstream lines(info);
    int file = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.find(kFour[2]) != std::string::npos) file = 0;
        if (line.find(kFour[3]) != std::string::npos) file = 1;
        const size_t b = line.find("bytes ");
        unsigned long long first = 0, last = 0;
        if (b == std::string::npos || std::sscanf(line.c_str() + b, "bytes %llu..%llu", &first, &last) != 2) continue;
        if (line.find("(missing") != std::string::npos) continue;
        if (first > last || last > sizes[file]) return line;
    }
    return "";
}

// Its sequence is fixed by the standard: the same seeds make the same
// mutations everywhere.
using Rng = std::mt19937_64;
size_t Below(Rng& rng, size_t n) { return static_cast<size_t>(rng() % n); }

uint32_t Be(const std::string& b, size_t off, size_t width) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v = v << 8 | static_cast<unsigned char>(b[off + i]);
    return v;
}

std::string Hex(uint64_t v) {
    std::ostringstream text;
    text << "0x" << std::hex << v;
    return text.str();
}

// 1 to 3 mutations of bytes, mostly inside the tables: RTR_VMGI's first
// 600 bytes (VMGI_MAT and the playlist search pointers) and the run from
// the lowest start address of M_AVFIT, S_AVFIT, ORG_PGCI and UD_PGCIT
// (VMGI_MAT bytes 256, 260, 304, 308) to the file's end; anywhere now and
// then. Each is a flipped bit, 0x00, 0xFF, a random byte, or a 16-bit
// big-endian count set to 0x8000, 0xFFFF or one more. Returns what it did
// (offset, old -> new value).
std::string Mutate(std::string& bytes, const std::string& pristine, Rng& rng, const char* name) {
    const size_t size = pristine.size(), head = 600;
    size_t tail = size;
    for (size_t off : {256, 260, 304, 308}) {
        const uint32_t sa = off + 4 <= size ? Be(pristine, off, 4) : 0;
        if (sa > head && sa < tail) tail = sa;
    }
    const std::string before = bytes;
    std::string log;
    const size_t count = 1 + Below(rng, 3);
    for (size_t m = 0; m < count || bytes == before; ++m) {
        size_t off = 0;
        if (Below(rng, 10) == 0) {
            off = Below(rng, size);  // anywhere, now and then
        } else if ((off = Below(rng, head + (size - tail))) >= head) {
            off += tail - head;
        }
        const size_t kind = Below(rng, 5), width = kind == 4 ? 2 : 1;
        if (width == 2) off = std::min(off & ~size_t{1}, size - 2);
        const uint32_t old = Be(bytes, off, width), counts[3] = {0x8000, 0xFFFF, (old + 1) & 0xFFFF};
        const uint32_t v = kind == 0   ? old ^ (1u << Below(rng, 8))
                           : kind == 1 ? 0x00
                           : kind == 2 ? 0xFF
                           : kind == 3 ? static_cast<uint32_t>(rng() & 0xFF)
                                       : counts[Below(rng, 3)];
        for (size_t i = 0; i < width; ++i) bytes[off + i] = static_cast<char>(v >> (8 * (width - 1 - i)));
        log += std::string(log.empty() ? "" : ", ") + name + "@" + Hex(off) + " " + Hex(old) + "->" + Hex(v);
    }
    return log;
}

// The problems (not the warnings) a check lists, one per line.
std::set<std::string> Problems(const std::string& check) {
    std::set<std::string> problems;
    std::istringstream lines(check);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  - ", 0) == 0 && line.rfind("  - warning", 0) != 0) problems.insert(line);
    }
    return problems;
}

struct Campaign {
    fs::path pristineDir;
    State pristine;
    Args edits[2];  // the edit's arguments after DISC
    std::atomic<int> accepted{0}, repaired{0}, saved{0};
};

void RunSeed(Campaign& c, uint64_t seed, const fs::path& work, Findings& f) {
    Rng rng(seed);
    std::string ifo = c.pristine.ifo, bup = c.pristine.bup;
    std::string what = "seed " + std::to_string(seed) + " [" + Mutate(ifo, c.pristine.ifo, rng, "IFO");
    const bool bupIntact = Below(rng, 3) != 0;
    if (!bupIntact) what += ", " + Mutate(bup, c.pristine.ifo, rng, "BUP");
    what += "]";
    const fs::path a = work / "read", b = work / "edit";
    for (const fs::path& dir : {a, b}) {
        CopyDisc(c.pristineDir, dir);
        Write(dir / kFour[0], ifo);
        Write(dir / kFour[1], bup);
    }
    const State mutated = Snap(a);

    // Reading commands change nothing.
    const std::string out = (work / "extracted.mpg").string();
    const Result info = Reading({"info", a.string()}, a, what, f), check = Reading({"check", a.string()}, a, what, f);
    Reading({"info", a.string(), "--json"}, a, what, f);
    Reading({"extract", a.string(), "--program", "1", "-o", out}, a, what, f);
    fs::remove(out);
    if (bupIntact && info.exit != 0)
        f.Add("info refused a disc whose backup is intact", what + ": " + Excerpt(info.err));
    if (info.exit == 0) {
        ++c.accepted;
        const std::string beyond = RangeBeyondStream(info.out, a);
        if (!beyond.empty()) f.Add("info lists bytes beyond the stream file", what + ": " + beyond);
    }
    if (check.exit == 0 && ifo != bup) f.Add("check passed differing IFO and BUP", what);

    // An accepted disc passes check, or repair mends it or refuses.
    if (info.exit == 0 && check.exit != 0) {
        const Result repair = RepairAndCheck(a, what, f);
        const State now = Snap(a);
        if (repair.exit == 0) {
            ++c.repaired;
            if (bupIntact && !now.SameStreams(mutated)) f.Add("repair changed a stream file", what);
            // An intact backup is never overwritten by a mutated IFO: the
            // stream files bear the backup out, or the repair refuses.
            if (bupIntact && now.bup != c.pristine.bup) f.Add("repair overwrote the intact backup", what);
        } else if (now.files != mutated.files) {
            f.Add("a failed repair changed the disc", what);
        }
    }

    // An edit saves a sound disc or changes nothing; never a stream file.
    const int e = static_cast<int>(seed % 2);
    const Args args = On(c.edits[e], b);
    const Result edit = RunTool(args);
    const std::string command = args[0] + " " + args[2];
    Sane(edit, command, what, f);
    const State after = Snap(b);
    if (!after.SameStreams(mutated)) f.Add(command + " changed a stream file", what);
    if (edit.exit != 0) {
        if (after.files != mutated.files)
            f.Add("a failed " + command + " changed the disc", what + ": " + Excerpt(edit.err));
        return;
    }
    ++c.saved;
    // The save writes tables that agree with each other and with the other
    // copy; what is wrong with the recordings themselves (data missing,
    // sectors shared) may stay, but nothing may be added to it.
    const Result checked = RunTool({"check", b.string()});
    const std::set<std::string> before = Problems(check.out);
    for (const std::string& p : Problems(checked.out)) {
        if (!before.count(p) || p.find("VR_MANGR") != std::string::npos)
            f.Add(command + " saved a disc that fails check", what + ": \"" + p + "\"");
    }
}

// Seeded byte mutations of VR_MANGR.IFO (and for a third of the seeds of
// VR_MANGR.BUP too, differently), mostly inside the tables. Reading commands
// change no file and stay bounded; an edit either saves a disc that passes
// `check` (but for what was wrong with its recordings before) or fails
// without changing a byte;
// every disc `info` accepts passes `check`, or `repair` mends it or refuses
// without changing a byte.
TEST(Safety, Mutations) {
    TempDir tmp;
    Campaign c;
    c.pristineDir = tmp.Path() / "pristine";
    // Movies, stills, divided entry points and two titled playlists.
    ASSERT_NO_FATAL_FAILURE(Build(c.pristineDir,
                                  "create MP2 LPCM --still STILL; add MP2; chapters divide 1 20; chapters divide 3 10; "
                                  "playlist new; playlist new; playlist add 1 0 1; playlist add 1 1 3; "
                                  "playlist add 2 0 2; playlist title 1 Holiday; playlist title 2 News; check"));
    c.pristine = Snap(c.pristineDir);
    ASSERT_GT(c.pristine.ifo.size(), 4096u);
    c.edits[0] = {"playlist", "title", "1", "Mutated"};
    c.edits[1] = {"chapters", "divide", "1", "5"};

    // Four workers, each on every fourth seed; one seed alone has its
    // scratch discs kept.
    const char* only = std::getenv("VRMANGR_SAFETY_SEED");
    const int first = only ? std::atoi(only) : 0, end = only ? first + 1 : g_seeds;
    Findings f;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int seed = first + w; seed < end; seed += 4) {
                const fs::path work = (only ? fs::temp_directory_path() : tmp.Path()) / ("seed" + std::to_string(seed));
                fs::remove_all(work);
                RunSeed(c, static_cast<uint64_t>(seed), work, f);
                if (!only) fs::remove_all(work);
                if (only) std::printf("seed %d kept in %s (read/, edit/)\n", seed, work.c_str());
            }
        });
    }
    for (std::thread& w : workers) w.join();
    std::printf("%d seeds: info accepted %d, repair mended %d, the edit saved %d\n", end - first, c.accepted.load(),
                c.repaired.load(), c.saved.load());
    EXPECT_TRUE(only || (c.accepted > 0 && c.saved > 0)) << "no disc accepted or no edit saved: a campaign of nothing";
}

// A saving command SIGKILLed at spread moments of its run.
struct Killed {
    std::string label;
    Args args;  // after DISC
    int trials;  // kill moments per normal duration
};

// The new tables over streams whose freed sectors were not given back yet.
const char* const kNewUnreleased = "new, space not yet given back";

// "old", "new" or what else the disc holds; leftovers gets the entries
// check must name. A save replaces whole files, so the new state is the
// reference's streams under one new IFO, identical to the BUP (its dates
// may differ from the reference's).
std::string Kind(const State& old, const State& made, const State& s, std::vector<std::string>& leftovers) {
    for (const auto& [name, hash] : s.files) {
        if (!old.files.count(name) && !made.files.count(name)) leftovers.push_back(name);
    }
    if (!leftovers.empty()) return "leftover files";
    if (s.Same(old)) return "old";
    if (s.SameStreams(made) && s.ifo == s.bup && s.ifo != old.ifo && s.ifo.size() == made.ifo.size()) return "new";
    // An edit that left stream sectors unplayed gives them back after its
    // save: killed in between, the new tables stand over the old streams.
    if (s.SameStreams(old) && s.ifo == s.bup && s.ifo != old.ifo && s.ifo.size() == made.ifo.size())
        return kNewUnreleased;
    // Stream data behind the old tables.
    for (int i = 2; i < 4 && s.ifo == old.ifo && s.bup == old.bup; ++i) {
        if (s.Of(i) != old.Of(i)) leftovers.push_back(kFour[i]);
    }
    return "a mix of old and new";
}

// add (a recording of 15 MB), add-still and editing saves SIGKILLed at
// moments spread over their run: the disc still opens, check
// names what is left over (and does not call it "no problems"), and after
// repair the four files are the old or the new state (for the program
// edits, possibly the new tables before the sectors they freed were given
// back: unplayed data, never lost played data).
TEST(Safety, Kill) {
    TempDir tmp;
    const fs::path base = tmp.Path() / "base";
    ASSERT_NO_FATAL_FAILURE(Build(base, "create MP2 --still STILL; add LPCM; playlist new; playlist add 1 0 1"));
    const State old = Snap(base);
    // A large recording: the LPCM sample (2 s) 24 times over, its clock
    // running on.
    const std::string big = ps::Restamped(Read(g_lpcm), 24, 2 * 90000);
    ASSERT_NO_FATAL_FAILURE(Write(tmp.Path() / "big.mpg", big));
    Killed commands[] = {{"add", {"add", (tmp.Path() / "big.mpg").string()}, 24},
                         {"add-still", {"add-still", g_still}, 6},
                         {"playlist new", {"playlist", "new"}, 6},
                         {"chapters divide", {"chapters", "divide", "1", "20"}, 6},
                         {"program divide", {"program", "divide", "1", "1"}, 6},
                         {"program erase", {"program", "erase", "1", "0.5", "1.5", "--yes"}, 6},
                         {"program delete", {"program", "delete", "3", "--yes"}, 6}};
    Rng rng(42);
    Findings f;
    for (const Killed& k : commands) {
        // Uninterrupted runs: the new state and the normal duration (the
        // shorter of two).
        State reference;
        double seconds = 1e9;
        for (int run = 0; run < 2; ++run) {
            const fs::path made = tmp.Path() / "made";
            fs::remove_all(made);
            CopyDisc(base, made);
            const auto start = Clock::now();
            const Result r = RunTool(On(k.args, made));
            seconds = std::min(seconds, std::chrono::duration<double>(Clock::now() - start).count());
            ASSERT_EQ(r.exit, 0) << k.label << " on the disc: " << r.err;
            reference = Snap(made);
        }
        std::map<std::string, int> outcomes;
        // Kill moments `trials` to the normal duration from the start on,
        // and on until a run ends by itself (however long it takes now).
        for (int i = 0, ended = 0; (i < k.trials || !ended) && i < 2 * k.trials; ++i) {
            const fs::path dir = tmp.Path() / "trial";
            fs::remove_all(dir);
            CopyDisc(base, dir);
            const double delay = seconds * (i + static_cast<double>(Below(rng, 1000)) / 1000) / k.trials;
            const Result run = RunTool(On(k.args, dir), static_cast<int>(delay * 1000));
            ended = run.signal == 0;
            const std::string where = k.label + " killed after " + std::to_string(static_cast<int>(delay * 1000)) +
                                      " ms (" + (ended ? "it had ended" : "mid-run") + ")";
            const State killed = Snap(dir);
            // check sees the disc as the kill left it; neither it nor info
            // changes a byte.
            const std::string check = Reading({"check", dir.string()}, dir, where, f).out;
            const Result info = Reading({"info", dir.string()}, dir, where, f);
            if (!info.timedOut && !info.signal && info.exit != 0)
                f.Add("the disc does not open after a kill", where + ": " + Excerpt(info.err));
            const Result repair = RepairAndCheck(dir, where, f);
            if (!repair.timedOut && !repair.signal && repair.exit != 0)
                f.Add("repair fails after a kill", where + ": " + Excerpt(repair.err));

            std::vector<std::string> leftovers, remaining;
            const std::string before = Kind(old, reference, killed, leftovers);
            const std::string after = Kind(old, reference, Snap(dir), remaining);
            ++outcomes[before + " -> " + after];
            for (const std::string& name : leftovers) {
                if (check.find(name) == std::string::npos) f.Add("check does not name the leftover " + name, where);
            }
            const auto whole = [](const std::string& kind) {
                return kind == "old" || kind == "new" || kind == kNewUnreleased;
            };
            if (!whole(before) && check.find("no problems") != std::string::npos)
                f.Add("check says \"no problems\" though the kill left " + before, where + ": " + Excerpt(check));
            if (!whole(after)) {
                f.Add("after repair the disc is neither the old nor the new state but " + after,
                      where + ", check after the kill: " + Excerpt(check));
            }
        }
        std::printf("%s (%d ms), state after the kill -> after repair:", k.label.c_str(), int(seconds * 1000));
        for (const auto& [outcome, n] : outcomes) std::printf(" %s %d", outcome.c_str(), n);
        std::printf("\n");
    }
}

// Ctrl-C (once, or twice 30 ms apart) at moments spread over create, add
// and recover of a 15 MB recording: each ends with exit 130 and the
// directory exactly as it was, or (Ctrl-C after the save) with exit 0 and
// the new disc; a second Ctrl-C outside a save or a create may end the
// tool, which then leaves the old disc or, once the save is done, the new
// one, never a mix.
TEST(Safety, Interrupt) {
    TempDir tmp;
    const fs::path base = tmp.Path() / "base", lost = tmp.Path() / "lost";
    ASSERT_NO_FATAL_FAILURE(Build(base, "create MP2 --still STILL"));
    const std::string big = ps::Restamped(Read(g_lpcm), 24, 2 * 90000);
    ASSERT_NO_FATAL_FAILURE(Write(tmp.Path() / "big.mpg", big));
    // A disc whose management files are lost: recover finds its recordings.
    ASSERT_NO_FATAL_FAILURE(Build(lost, "create MP2; add " + (tmp.Path() / "big.mpg").string()));
    fs::remove(lost / kFour[0]);
    fs::remove(lost / kFour[1]);
    const std::string bigFile = (tmp.Path() / "big.mpg").string();
    const struct {
        std::string label;
        fs::path from;  // the disc copied before each run; empty: none (create)
        Args args;  // after DISC
    } commands[] = {{"create", {}, {"create", bigFile, "--still", g_still}},
                    {"add", base, {"add", bigFile}},
                    {"recover", lost, {"recover"}}};
    Findings f;
    for (const auto& c : commands) {
        const fs::path dir = tmp.Path() / "run";
        const auto prepare = [&] {
            fs::remove_all(dir);
            if (!c.from.empty()) CopyDisc(c.from, dir);
        };
        prepare();
        const State old = Snap(dir);
        const auto start = Clock::now();
        ASSERT_EQ(RunTool(On(c.args, dir)).exit, 0) << c.label;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const State made = Snap(dir);
        std::map<std::string, int> outcomes;
        for (int i = 0; i < 12; ++i) {
            prepare();
            const int at = static_cast<int>(ms * (i / 2) / 5);
            const bool twice = i % 2 == 1;
            const Result r = RunTool(On(c.args, dir), -1, twice ? std::vector<int>{at, at + 30} : std::vector<int>{at});
            const std::string where = c.label + " interrupted " + (twice ? "twice " : "") + "after " +
                                      std::to_string(at) + " ms (exit " + std::to_string(r.exit) + ", signal " +
                                      std::to_string(r.signal) + ")";
            std::vector<std::string> leftovers;
            const State now = Snap(dir);
            const std::string kind = c.from.empty() && now.files.empty() ? "old" : Kind(old, made, now, leftovers);
            ++outcomes[std::to_string(r.exit) + " " + kind];
            if (r.timedOut) f.Add("an interrupted run did not end", where);
            if (r.exit == 130) {
                if (kind != "old") f.Add("an interrupted run changed the directory", where + ": " + kind);
                if (r.err.find("cancelled") == std::string::npos)
                    f.Add("an interrupted run did not say it was cancelled", where + ": " + Excerpt(r.err));
            } else if (r.signal == SIGINT) {
                // A second Ctrl-C outside a save ends the tool: before the
                // save nothing was written, after it the new disc is whole.
                if (kind != "old" && kind != "new") f.Add("a second Ctrl-C left " + kind, where);
            } else if (r.exit == 0) {
                if (kind != "new") f.Add("a run that succeeded did not leave the new disc", where + ": " + kind);
            } else {
                f.Add("an interrupted run exited with another status than 130", where + ": " + Excerpt(r.err));
            }
        }
        std::printf("%s (%d ms), exit and state:", c.label.c_str(), int(ms));
        for (const auto& [outcome, n] : outcomes) std::printf(" %s %d", outcome.c_str(), n);
        std::printf("\n");
    }
}

// Every command that saves, run on a small file system filled to leave
// from nothing to more than it needs: it succeeds with the new disc, or
// fails with exit 1, a sentence that says space is missing, and the
// directory exactly as it was. Needs a tmpfs of its own (root); elsewhere
// the library's fault-injection test of a full disk stands for it.
TEST(Safety, FullDisk) {
    TempDir tmp;
    const fs::path mnt = tmp.Path() / "small";
    fs::create_directory(mnt);
    if (geteuid() != 0 || mount("vrmangr-full", mnt.c_str(), "tmpfs", 0, "size=6m") != 0)
        GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        fs::path at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{mnt};
    const fs::path base = tmp.Path() / "base";
    ASSERT_NO_FATAL_FAILURE(Build(base, "create MP2 --still STILL; playlist new; playlist add 1 0 1"));
    const State old = Snap(base);
    const Killed commands[] = {{"add", {"add", g_lpcm}, 0},
                               {"add-still", {"add-still", g_still}, 0},
                               {"playlist new", {"playlist", "new"}, 0},
                               {"title", {"title", "--program", "1", "Holiday"}, 0},
                               {"charset", {"charset", "latin1"}, 0},
                               {"chapters divide", {"chapters", "divide", "1", "20"}, 0}};
    Findings f;
    const fs::path dir = mnt / "disc", filler = mnt / "filler";
    for (const Killed& c : commands) {
        fs::remove_all(dir);
        CopyDisc(base, dir);
        ASSERT_EQ(RunTool(On(c.args, dir)).exit, 0) << c.label;
        const State made = Snap(dir);
        std::map<std::string, int> outcomes;
        // Free space from 0 to 1.2 MB (the add needs about 1 MB).
        for (uintmax_t free = 0; free <= 1200 * 1024; free += 48 * 1024) {
            fs::remove_all(dir);
            fs::remove(filler);
            CopyDisc(base, dir);
            const uintmax_t available = fs::space(mnt).available;
            if (available > free) {
                std::ofstream out(filler, std::ios::binary);
                const std::string block(64 * 1024, '\0');
                for (uintmax_t left = available - free; left > 0;) {
                    const size_t n = static_cast<size_t>(std::min<uintmax_t>(left, block.size()));
                    out.write(block.data(), static_cast<std::streamsize>(n));
                    left -= n;
                }
            }
            const Result r = RunTool(On(c.args, dir));
            fs::remove(filler);
            const std::string where = c.label + " with " + std::to_string(free / 1024) + " KB free";
            std::vector<std::string> leftovers;
            const std::string kind = Kind(old, made, Snap(dir), leftovers);
            ++outcomes[std::to_string(r.exit) + " " + kind];
            Sane(r, c.label, where, f);
            if (r.exit == 0 && kind != "new") f.Add("a save that succeeded left " + kind, where);
            if (r.exit == 1 && kind != "old") f.Add("a save that failed changed the directory: " + kind, where);
            if (r.exit == 1 && r.err.find("no space left") == std::string::npos)
                f.Add("a full disk is not named as such", where + ": " + Excerpt(r.err));
        }
        std::printf("%s, exit and state:", c.label.c_str());
        for (const auto& [outcome, n] : outcomes) std::printf(" %s %d", outcome.c_str(), n);
        std::printf("\n");
    }
}

// Gives a disc the shape a recorder leaves after deleting a recording: VOB
// `first` and every later VOB move `sectors` sectors back, that many sectors
// of 0xA5 (no pack header) going into VR_MOVIE.VRO before the VOB's data
// and the moved VOBs' ADR_OFS rising by as much in both management files.
// ADR_OFS is found in its time map's header: VOBU_ENT_Ns, TM_OFS (2 bytes
// each), then ADR_OFS.
bool MakeGap(const fs::path& dir, int first, DWORD sectors) {
    void* h = fnVR_MANGRBegin();
    std::vector<std::pair<DWORD, __int64>> vobs;  // VOBU count, ADR_OFS
    __int64 start = 0;
    const bool opened = fnVR_MANGROpen(h, dir.c_str());
    for (DWORD n = 0; opened && (n = fnVR_GetUnitStarts(h, 0, first++, &start, 1)) != 0;) vobs.emplace_back(n, start);
    fnVR_MANGREnd(h);
    std::string ifo = Read(dir / kFour[0]), stream = Read(dir / kFour[2]);
    if (vobs.empty() || uint64_t(vobs[0].second) * 2048 > stream.size()) return false;
    for (const auto& [count, adr] : vobs) {
        size_t at = 0;
        while (at + 8 <= ifo.size() && (Be(ifo, at, 2) != count || Be(ifo, at + 4, 4) != uint64_t(adr))) ++at;
        if (at + 8 > ifo.size()) return false;
        for (int i = 0; i < 4; ++i) ifo[at + 4 + i] = static_cast<char>((uint64_t(adr) + sectors) >> (24 - 8 * i));
    }
    Write(dir / kFour[2], stream.insert(size_t(vobs[0].second) * 2048, std::string(size_t{sectors} * 2048, '\xA5')));
    Write(dir / kFour[0], ifo);
    Write(dir / kFour[1], ifo);
    return true;
}

// A disc as the readers must see it: check's exit status and a number its
// report must hold, and what each entry point of the original chain
// extracts, in chain order.
struct Variant {
    std::string name;
    int checkExit;
    std::string checkSays;
    std::vector<std::string> entries;
};

// info, info --json, check, check --deep, type, and extract of every entry
// point and every program, to `out` outside the disc: each exits as it
// should and changes no file.
void ReadAll(const fs::path& disc, const Variant& v, const fs::path& out, const std::string& where, Findings& f) {
    const std::string d = disc.string(), o = out.string();
    auto reader = [&](const Args& args, int exit) {
        const Result r = Reading(args, disc, where, f);
        EXPECT_EQ(r.exit, exit) << where << ": " << args[0] << " " << args.back() << ": " << r.err
                                << r.out.substr(0, 1000);
        return r;
    };
    const Result info = reader({"info", d}, 0);
    reader({"info", d, "--json"}, 0);
    for (const Args& args : {Args{"check", d}, Args{"check", d, "--deep"}}) {
        const Result check = reader(args, v.checkExit);
        EXPECT_NE(check.out.find(v.checkSays), std::string::npos) << where << ": " << args.back() << ": " << check.out;
    }
    EXPECT_EQ(reader({"type", d}, 0).out, "DVD-VR\n") << where;
    std::smatch m;
    const std::regex chain(R"(Original chain: (\d+) programs?, \d+ cells?, (\d+) entry points?)");
    ASSERT_TRUE(std::regex_search(info.out, m, chain)) << where << ": " << info.out;
    ASSERT_EQ(std::stoul(m[2]), v.entries.size()) << where << ": entry points";
    std::string all[2];  // what the entry points and the programs extract
    for (int program = 0; program < 2; ++program) {
        for (size_t n = 1; n <= (program ? std::stoul(m[1]) : v.entries.size()); ++n) {
            fs::remove(out);
            reader({"extract", d, program ? "--program" : "--entry", std::to_string(n), "-o", o}, 0);
            const std::string bytes = Read(out);
            EXPECT_TRUE(program || bytes == v.entries[n - 1])
                << where << ": entry point " << n << " extracts " << bytes.size() << " bytes, not the "
                << v.entries[n - 1].size() << " of its recording";
            all[program] += bytes;
        }
    }
    EXPECT_TRUE(all[1] == all[0]) << where << ": the programs extract " << all[1].size()
                                  << " bytes, their entry points " << all[0].size();
}

// Takes write permission from every entry of a tree (chmod -R a-w), or
// gives it back to the owner.
void Protect(const fs::path& root, bool writable) {
    using p = fs::perms;
    const p w = writable ? p::owner_write : p::owner_write | p::group_write | p::others_write;
    const fs::perm_options how = writable ? fs::perm_options::add : fs::perm_options::remove;
    std::error_code ec;
    fs::permissions(root, w, how, ec);
    for (const auto& e : fs::recursive_directory_iterator(root, ec)) fs::permissions(e.path(), w, how, ec);
}

// info, check (also --deep), type and extract on a disc with unused
// sectors between its recordings, with an IFO older than its BUP, after an
// add killed while appending, and on read-only copies of these change no
// file and extract every recording as it was made; add on the disc with
// gaps goes behind its highest recording.
TEST(Safety, Readers) {
    TempDir tmp;
    const fs::path plain = tmp.Path() / "plain", out = tmp.Path() / "out.mpg", rw = tmp.Path() / "rw";
    ASSERT_NO_FATAL_FAILURE(Build(plain, "create MP2 LPCM --still STILL"));
    const std::string ifoBeforeAdd = Read(plain / kFour[0]);
    ASSERT_NO_FATAL_FAILURE(Build(plain, "add MP2; extract --entry 3 -o " + out.string()));
    // A movie recording extracts as the file it was made from; the still
    // picture as it did from the disc the tool made.
    const std::string m = Read(g_mp2), l = Read(g_lpcm), s = Read(out);
    ASSERT_EQ(s.compare(0, 4, std::string("\0\0\1\xBA", 4)), 0) << "the still picture extracts no pack";
    const std::vector<Variant> variants = {
        {"plain", 0, "no problems", {m, l, s, m}},
        {"gaps", 0, "274 sectors", {m, l, s, m}},  // VOB 2 and 3 274 sectors behind VOB 1's end
        {"stale", 1, "differ", {m, l, s}},  // the IFO of before the add, the BUP of after
        // An add killed after appending 100 sectors, its scratch tables gone:
        // the partial recording is named as one.
        {"killed", 0, "a recording of 0:00:01.160 at bytes 1249280..1454080", {m, l, s, m}},
    };
    for (const Variant& v : variants) CopyDisc(plain, rw / v.name);
    ASSERT_TRUE(MakeGap(rw / "gaps", 2, 274));
    ASSERT_NO_FATAL_FAILURE(Write(rw / "stale" / kFour[0], ifoBeforeAdd));
    ASSERT_NO_FATAL_FAILURE(Write(rw / "killed" / kFour[2], Read(plain / kFour[2]) + l.substr(0, 100 * 2048)));
    Findings f;
    for (const Variant& v : variants) ReadAll(rw / v.name, v, out, v.name, f);

    // The same on read-only copies: write permission taken away and, where
    // the system lets us (as root, whom permissions do not stop), a
    // read-only bind mount of them. Nothing fails merely for that.
    const fs::path ro = tmp.Path() / "ro", mnt = tmp.Path() / "mnt";
    for (const Variant& v : variants) CopyDisc(rw / v.name, ro / v.name);
    Protect(ro, false);
    const std::shared_ptr<void> undo(nullptr, [&](void*) {
        umount2(mnt.c_str(), MNT_DETACH);
        Protect(ro, true);
    });
    const bool mounted = geteuid() == 0 && fs::create_directory(mnt) &&
                         mount(ro.c_str(), mnt.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                         mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    std::printf("read-only copies: %s%s\n", mounted ? "read-only bind mount" : "write permission removed",
                access((mounted ? mnt : ro).c_str(), W_OK) != 0 ? "" : " (not enforced for this user)");
    for (const Variant& v : variants) ReadAll((mounted ? mnt : ro) / v.name, v, out, v.name + " (read-only)", f);

    // add on the disc with gaps goes behind VOB 3, the highest end, and
    // every recording, the new one too, extracts as it was made.
    CopyDisc(rw / "gaps", tmp.Path() / "added");
    ASSERT_NO_FATAL_FAILURE(Build(tmp.Path() / "added", "add LPCM"));
    ReadAll(tmp.Path() / "added", {"added", 0, "274 sectors", {m, l, s, m, l}}, out, "gaps after add", f);
}

// What a writer prints when another process holds the disc.
std::string LockedSentence(const std::string& dir) {
    return "vrmangr: " + dir + " is being changed by another vrmangr process; try again when it has finished.\n";
}

// One writer: makes a playlist of its own and edits it 50 times (new, 48
// segments, a title); an edit refused because the other holds the disc
// (exit 1 and the lock sentence) is run again. The playlist's number, 0
// when an edit failed.
int Writer(const std::string& disc, const std::string& name) {
    std::string pl;
    for (int done = -1; done <= 48; ++done) {
        const Args args = done < 0    ? Args{"playlist", disc, "new"}
                          : done < 48 ? Args{"playlist", disc, "add", pl, std::to_string(done), "1"}
                                      : Args{"playlist", disc, "title", pl, name};
        Result r;
        for (int attempt = 0; attempt < 100 && (r = RunTool(args)).exit == 1 && r.err == LockedSentence(disc);)
            ++attempt;
        if (r.exit != 0)
            ADD_FAILURE() << name << ": " << args[0] << " " << args[2] << " exited " << r.exit << ": " << r.err;
        if (r.exit != 0) return 0;
        if (done < 0) pl = std::to_string(std::atoi(r.out.c_str()));
    }
    return std::stoi(pl);
}

// Writers meeting a lock held through the library are refused and change
// nothing; then two writers of 50 edits each and a reader loop on one disc:
// every edit of both is present exactly once, every read succeeds silently,
// and check passes.
TEST(Safety, Concurrency) {
    TempDir root;
    const std::string disc = root.File("disc"), empty = root.File("empty"), mp2 = g_mp2;
    ASSERT_EQ(RunTool({"create", disc, mp2}).exit, 0);

    // A lock held through the library: writers are refused with the
    // sentence and change nothing (create writes nothing into an empty
    // directory either); a reader waits a little, then reads without it.
    fs::create_directory(empty);
    void* holder = fnVR_MANGRBegin();
    void* other = fnVR_MANGRBegin();
    EXPECT_FALSE(fnVR_MANGRLock(holder, "", 1, 0) || fnVR_MANGRGetLastError(holder) != VRO_ERR_BAD_ARGUMENT ||
                 fnVR_MANGRLock(nullptr, disc.c_str(), 1, 0) || !fnVR_MANGRLock(other, disc.c_str(), 0, 0) ||
                 fnVR_MANGRLock(holder, disc.c_str(), 1, 20) || fnVR_MANGRGetLastError(holder) != VRO_ERR_LOCKED ||
                 !fnVR_MANGRUnlock(other) || !fnVR_MANGRLock(holder, disc.c_str(), 1, 0) ||
                 !fnVR_MANGRLock(other, empty.c_str(), 1, 0))
        << "fnVR_MANGRLock does not keep its contract";
    const State unlocked = Snap(disc);
    for (const auto& [dir, args] : std::vector<std::pair<std::string, Args>>{
             {disc, {"playlist", disc, "new"}}, {disc, {"add", disc, mp2}}, {empty, {"create", empty, mp2}}}) {
        const Result r = RunTool(args);
        EXPECT_EQ(r.exit, 1) << args[0] << " on a locked disc: " << r.err;
        EXPECT_EQ(r.err, LockedSentence(dir)) << args[0] << " on a locked disc";
    }
    const Result locked = RunTool({"info", disc});
    EXPECT_EQ(locked.exit, 0) << "info on a locked disc: " << locked.err;
    EXPECT_TRUE(Snap(disc).files == unlocked.files && fs::is_empty(empty)) << "a refused writer changed the disc";
    fnVR_MANGREnd(holder);
    fnVR_MANGREnd(other);

    // Two writers and a reader at the same time.
    std::atomic<bool> writing{true};
    std::thread reader([&] {
        while (writing) {
            const Result info = RunTool({"info", disc});
            EXPECT_TRUE(info.exit == 0 && info.err.empty())
                << "info exited " << info.exit << " while the writers ran: " << info.err;
        }
    });
    const std::string names[2] = {"Writer A", "Writer B"};
    int pl[2] = {0, 0};
    std::thread a([&] { pl[0] = Writer(disc, names[0]); }), b([&] { pl[1] = Writer(disc, names[1]); });
    a.join();
    b.join();
    writing = false;
    reader.join();

    // Both playlists whole: every segment added once, the title set; no
    // leftovers, and a reader changes nothing.
    void* h = fnVR_MANGRBegin();
    EXPECT_TRUE(fnVR_MANGROpen(h, disc.c_str())) << "the disc does not open after the writers";
    EXPECT_EQ(fnVR_GetPLCount(h), 2);
    EXPECT_NE(pl[0], pl[1]) << "both writers were told the same playlist";
    for (int w = 0; w < 2; ++w) {
        DVDPGCINFO info{};
        EXPECT_TRUE(fnVR_GetPLInfo(h, pl[w], &info, 0)) << names[w] << "'s playlist " << pl[w] << " is missing";
        EXPECT_EQ(info.dwCount, 48u) << names[w] << "'s playlist: entry points";
        EXPECT_EQ(names[w], info.szPrmText);
    }
    fnVR_MANGREnd(h);
    EXPECT_EQ(Snap(disc).files.size(), 4u) << "leftovers of the writers";
    Findings f;
    for (const char* command : {"info", "check"}) {
        const Result r = Reading({command, disc}, disc, "after the writers", f);
        EXPECT_EQ(r.exit, 0) << command << ": " << r.err << r.out;
    }
}

// Overwrites bytes of file at `at` with the hex bytes, or cuts it to `hex`
// bytes when at is "truncate".
int Damage(const std::string& file, const std::string& at, const std::string& hex) {
    if (at == "truncate") return truncate(file.c_str(), std::atol(hex.c_str())) == 0 ? 0 : 1;
    std::fstream f(file, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(std::atol(at.c_str()));
    for (size_t i = 0; i + 1 < hex.size(); i += 2) f.put(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return f.flush() ? 0 : 1;
}

// Inserts `count` bytes of 0x5A into file at `at` (data that is no pack).
int Insert(const std::string& file, long at, long count) {
    std::string bytes = Read(file);
    if (at < 0 || static_cast<size_t>(at) > bytes.size()) return 1;
    bytes.insert(static_cast<size_t>(at), static_cast<size_t>(count), '\x5A');
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    return out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush() ? 0 : 1;
}

// Writes out as the pieces, in order (a dump of a medium for recover):
// "noise:N" (N seeded random bytes), "zeros:N", "file:PATH:OFFSET:LENGTH"
// (LENGTH -1: to the file's end), separated by commas.
int Splice(const std::string& out, const std::string& pieces, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    std::stringstream list(pieces);
    for (std::string piece; std::getline(list, piece, ',');) {
        const size_t colon = piece.find(':');
        const std::string kind = piece.substr(0, colon), rest = piece.substr(colon + 1);
        if (kind == "noise") {
            for (long i = 0; i < std::atol(rest.c_str()); ++i) bytes += static_cast<char>(random() & 0xFF);
        } else if (kind == "zeros") {
            bytes.append(static_cast<size_t>(std::atol(rest.c_str())), '\0');
        } else if (kind == "file") {
            const size_t b = rest.rfind(':'), a = rest.rfind(':', b - 1);
            const std::string data = Read(rest.substr(0, a));
            const size_t from = static_cast<size_t>(std::atol(rest.substr(a + 1, b - a - 1).c_str()));
            const long length = std::atol(rest.substr(b + 1).c_str());
            if (from > data.size()) return 1;
            bytes += data.substr(from, length < 0 ? std::string::npos : static_cast<size_t>(length));
        } else {
            return 1;
        }
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    return file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush() ? 0 : 1;
}

// Appends count playlists, each of `cells` copies of entry point 1 of the
// original chain, and saves: faster than one tool run per cell.
int Playlists(const char* dir, int count, int cells) {
    void* h = fnVR_MANGRBegin();
    bool ok = fnVR_MANGROpen(h, dir) != 0;
    for (int p = 0; ok && p < count; ++p) {
        ok = fnVR_AddPL(h) != 0;
        for (int c = 0; ok && c < cells; ++c) ok = fnVR_AddPLEntryPt(h, fnVR_GetPLCount(h), c, 1) != 0;
    }
    ok = ok && fnVR_MANGRSave(h, nullptr) != 0;
    fnVR_MANGREnd(h);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 5 ? argv[1] : "";
    if (command == "damage") return Damage(argv[2], argv[3], argv[4]);
    if (command == "insert") return Insert(argv[2], std::atol(argv[3]), std::atol(argv[4]));
    if (command == "splice") return Splice(argv[2], argv[3], static_cast<unsigned>(std::atol(argv[4])));
    if (command == "playlists") return Playlists(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tool_test_safety TOOL DATA_DIR [SEEDS] [gtest options]\n");
        return 2;
    }
    g_tool = argv[1];
    g_mp2 = std::string(argv[2]) + "/pal_mpeg2_mp2_4x3.vob";
    g_lpcm = std::string(argv[2]) + "/pal_mpeg2_lpcm_16x9.vob";
    g_still = std::string(argv[2]) + "/still_pal_2pictures.vob";
    if (argc > 3) g_seeds = std::atoi(argv[3]);
    return RUN_ALL_TESTS();
}
