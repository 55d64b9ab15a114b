// Safety of the vrmangr tool on damaged and interrupted discs: black-box
// runs of the built tool on the committed samples. Mutations: seeded damage
// of the management files. Kill: saving commands SIGKILLed midway. Readers:
// reading commands on discs with gaps, stale or half-written files, and
// read-only. Concurrency: two writers and a reader on one disc. What each
// must hold is said at its TEST.
//
// Usage: tool_test_safety TOOL DATA_DIR [SEEDS] [gtest options]. One seed
// alone: VRMANGR_SAFETY_SEED=N (its scratch disc is kept and its path
// printed).
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
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "api/vrmangr.h"
#include "support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

namespace {

std::string g_tool, g_data;
int g_seeds = 100;

const char* const kFour[] = {"VR_MANGR.IFO", "VR_MANGR.BUP", "VR_MOVIE.VRO", "VR_STILL.VRO"};
const char kStill[] = "still_pal_2pictures.vob";
const size_t kMaxOutput = 64 * 1024;  // more than this from one command is a flood
const int kTimeoutMs = 15000;

std::string Sample(const char* name) { return g_data + "/" + name; }

// ---- Running the tool ----

struct Result {
    int exit = -1;  // -1 when a signal ended it or it timed out
    int signal = 0;
    bool timedOut = false;
    size_t bytes = 0;  // stdout and stderr together
    std::string out, err;  // the first kMaxOutput bytes of each
};

// Starts the tool with its stdout and stderr on the given descriptors
// (-1: /dev/null).
pid_t Start(Args args, int outFd = -1, int errFd = -1) {
    args.insert(args.begin(), g_tool);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const int fds[2] = {outFd, errFd};
    for (int i = 0; i < 2; ++i) {
        if (fds[i] >= 0) {
            posix_spawn_file_actions_adddup2(&actions, fds[i], i + 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, i + 1, "/dev/null", O_WRONLY, 0);
        }
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, g_tool.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Reap(pid_t pid, Result& r) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && !r.timedOut) r.exit = WEXITSTATUS(status);
    if (WIFSIGNALED(status) && !r.timedOut) r.signal = WTERMSIG(status);
}

// Runs the tool to its end (killed after kTimeoutMs), keeping its output.
Result RunTool(const Args& args) {
    Result r;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) std::abort();
    const pid_t pid = Start(args, out[1], err[1]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) std::abort();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&r.out, &r.err};
    for (int open = 2; open > 0;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            r.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[8192];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            r.bytes += static_cast<size_t>(n);
            texts[i]->append(buffer, std::min(kMaxOutput - std::min(kMaxOutput, texts[i]->size()), size_t(n)));
        }
    }
    for (pollfd& f : fds) {
        if (f.fd >= 0) close(f.fd);
    }
    Reap(pid, r);
    return r;
}

// ---- Disc states ----

std::string Read(const fs::path& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[1 << 16];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

void Write(const fs::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file) << path;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ASSERT_TRUE(std::fclose(file) == 0 && written) << path;
}

// What a disc directory holds: every entry with a hash of its bytes (the
// standard library's; 0 stands for a missing file), which a command that
// only reads must leave as it found them, and the management files' bytes.
struct State {
    std::map<std::string, uint64_t> files;
    std::string ifo, bup;
    uint64_t Of(int i) const { return files.count(kFour[i]) ? files.at(kFour[i]) : 0; }
    bool SameFiles(const State& o) const { return SameStreams(o) && Of(0) == o.Of(0) && Of(1) == o.Of(1); }
    bool SameStreams(const State& o) const { return Of(2) == o.Of(2) && Of(3) == o.Of(3); }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& f : files) names.insert(f.first);
        return names;
    }
};

State Snap(const fs::path& dir) {
    State s;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string(), bytes = Read(e.path());
        s.files[name] = std::hash<std::string_view>{}(bytes) | 1;
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

// Runs each command on a disc being built; every one must succeed.
void Build(const std::vector<Args>& commands) {
    for (const Args& args : commands) {
        const Result r = RunTool(args);
        ASSERT_EQ(r.exit, 0) << "vrmangr " << args[0] << " while building the disc: " << r.err << r.out;
    }
}

// ---- Findings ----

// Failed properties with how often and a few examples each; reported as one
// gtest failure per property, so a broken behaviour does not flood the log.
// Workers of the campaign add to one object.
class Findings {
public:
    void Add(const std::string& property, const std::string& example) {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& [count, examples] = m_entries[property];
        if (++count <= 3) examples.push_back(example);
    }
    void Report() const {
        for (const auto& [property, e] : m_entries) {
            std::string text = property + " (" + std::to_string(e.first) + " times), e.g.:";
            for (const std::string& x : e.second) text += "\n    " + x;
            ADD_FAILURE() << text;
        }
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::pair<int, std::vector<std::string>>> m_entries;
};

std::string Excerpt(const std::string& text) {
    std::string line = text.substr(0, text.find('\n', text.find('\n') + 1));
    return "\"" + (line.size() > 300 ? line.substr(0, 300) + "..." : line) + "\"";
}

// What every run must be: ended by itself, in time, with bounded output, no
// sanitizer report, exit 0 or 1, and one sentence on stderr when it failed.
// False when it was not.
bool Sane(const Result& r, const std::string& command, const std::string& where, Findings& f) {
    std::string problem;
    if (r.timedOut) {
        problem = "did not end within " + std::to_string(kTimeoutMs / 1000) + " s";
    } else if (r.signal) {
        problem = "was ended by signal " + std::to_string(r.signal);
    } else if (r.bytes > kMaxOutput) {
        problem = "printed more than " + std::to_string(kMaxOutput) + " bytes";
    } else if (r.err.find("Sanitizer") != std::string::npos || r.err.find("runtime error:") != std::string::npos) {
        problem = "drew a sanitizer report";
    } else if (r.exit != 0 && r.exit != 1) {
        problem = "exited with status " + std::to_string(r.exit);
    } else if (r.exit == 1 && (r.err.rfind("vrmangr", 0) != 0 || std::count(r.err.begin(), r.err.end(), '\n') > 8)) {
        problem = "failed without one sentence on stderr";
    }
    if (!problem.empty()) f.Add(command + " " + problem, where + ": " + Excerpt(r.err));
    return problem.empty();
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
        if (Sane(again, "check", where, f) && again.exit != 0) {
            f.Add("check fails after a repair that succeeded", where + ": " + Excerpt(again.out));
        }
    }
    return repair;
}

// Every "bytes A..B" of the text info lies inside the stream file of its
// cell. Empty when so, else the offending line.
std::string RangeBeyondStream(const std::string& info, const fs::path& dir) {
    std::error_code ec;
    const uint64_t sizes[2] = {fs::file_size(dir / kFour[2], ec), fs::file_size(dir / kFour[3], ec)};
    int file = 0;
    for (size_t at = 0; at < info.size();) {
        const size_t end = std::min(info.find('\n', at), info.size());
        const std::string line = info.substr(at, end - at);
        at = end + 1;
        if (line.find(kFour[2]) != std::string::npos) file = 0;
        if (line.find(kFour[3]) != std::string::npos) file = 1;
        const size_t b = line.find("bytes ");
        unsigned long long first = 0, last = 0;
        if (b == std::string::npos || std::sscanf(line.c_str() + b, "bytes %llu..%llu", &first, &last) != 2) continue;
        if (first > last || last > sizes[file]) return line;
    }
    return "";
}

// ---- Mutations ----

// splitmix64: the same sequence on every platform and library.
struct Rng {
    uint64_t state;
    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
};

uint32_t Be(const std::string& b, size_t off, size_t width) {
    uint32_t v = 0;
    for (size_t i = 0; i < width; ++i) v = v << 8 | static_cast<unsigned char>(b[off + i]);
    return v;
}

std::string Hex(uint64_t v) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(v));
    return text;
}

// Where the tables of a management file lie: RTR_VMGI from byte 0 (its
// first 600 bytes hold VMGI_MAT and the playlist search pointers), and the
// run from the lowest start address of M_AVFIT, S_AVFIT, ORG_PGCI and
// UD_PGCIT (VMGI_MAT bytes 256, 260, 304, 308) to the file's end.
struct Extents {
    size_t headEnd = 600, tailStart = 0, size = 0;
    explicit Extents(const std::string& ifo) : tailStart(ifo.size()), size(ifo.size()) {
        for (size_t off : {256, 260, 304, 308}) {
            const uint32_t sa = off + 4 <= size ? Be(ifo, off, 4) : 0;
            if (sa > headEnd && sa < tailStart) tailStart = sa;
        }
    }
    size_t Pick(Rng& rng) const {
        if (rng.Below(10) == 0) return rng.Below(size);  // anywhere, now and then
        const size_t k = rng.Below(headEnd + (size - tailStart));
        return k < headEnd ? k : tailStart + (k - headEnd);
    }
};

// 1 to 3 mutations of bytes: a flipped bit, 0x00, 0xFF, a random byte, or a
// 16-bit big-endian count set to 0x8000, 0xFFFF or one more. Returns what it
// did, for the report.
std::string Mutate(std::string& bytes, const Extents& where, Rng& rng, const char* name) {
    const std::string before = bytes;
    std::string log;
    const size_t count = 1 + rng.Below(3);
    for (size_t m = 0; m < count || bytes == before; ++m) {
        size_t off = where.Pick(rng);
        const size_t kind = rng.Below(5);
        auto& b = reinterpret_cast<unsigned char&>(bytes[off]);
        std::string what;
        if (kind == 0) {
            const int bit = static_cast<int>(rng.Below(8));
            b = static_cast<unsigned char>(b ^ (1u << bit));
            what = "bit " + std::to_string(bit) + " flipped";
        } else if (kind < 4) {
            b = kind == 1 ? 0x00 : kind == 2 ? 0xFF : static_cast<unsigned char>(rng.Next());
            what = "set to " + Hex(b);
        } else {
            off = std::min(off & ~size_t{1}, bytes.size() - 2);
            const uint32_t old = Be(bytes, off, 2), values[3] = {0x8000, 0xFFFF, (old + 1) & 0xFFFF};
            const uint32_t v = values[rng.Below(3)];
            bytes[off] = static_cast<char>(v >> 8);
            bytes[off + 1] = static_cast<char>(v & 0xFF);
            what = "16 bits " + Hex(old) + " set to " + Hex(v);
        }
        log += std::string(log.empty() ? "" : ", ") + name + "@" + Hex(off) + " " + what;
    }
    return log;
}

// ---- The mutation campaign ----

struct Campaign {
    fs::path pristineDir;
    State pristine;
    Args edits[2];  // the edit's arguments after DISC
    State edited[2];  // the pristine disc after each edit
};

struct Tally {
    std::atomic<int> accepted{0}, repaired{0}, edited{0}, savedFromMutated{0};
};

Args On(Args args, const fs::path& disc) {
    args.insert(args.begin() + 1, disc.string());
    return args;
}

void RunSeed(const Campaign& c, uint64_t seed, const fs::path& work, Findings& f, Tally& t) {
    Rng rng{seed * 0x2545F4914F6CDD1Dull + 1};
    std::string ifo = c.pristine.ifo, bup = c.pristine.bup;
    const Extents tables(c.pristine.ifo);
    std::string what = "seed " + std::to_string(seed) + " [" + Mutate(ifo, tables, rng, "IFO");
    const bool bupIntact = rng.Below(3) != 0;
    if (!bupIntact) what += ", " + Mutate(bup, tables, rng, "BUP");
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
        ++t.accepted;
        const std::string beyond = RangeBeyondStream(info.out, a);
        if (!beyond.empty()) f.Add("info lists bytes beyond the stream file", what + ": " + beyond);
    }
    if (check.exit == 0 && ifo != bup) f.Add("check passed differing IFO and BUP", what);

    // An accepted disc passes check, or repair mends it or refuses.
    if (info.exit == 0 && check.exit != 0) {
        const Result repair = RepairAndCheck(a, what, f);
        const State now = Snap(a);
        if (repair.exit == 0) {
            ++t.repaired;
            if (bupIntact && !now.SameStreams(mutated)) f.Add("repair changed a stream file", what);
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
    ++t.edited;
    if (bupIntact && after.bup != c.pristine.bup && after.bup != c.edited[e].bup) ++t.savedFromMutated;
    const Result checked = RunTool({"check", b.string()});
    if (checked.exit == 0) return;
    f.Add(command + " saved a disc that fails check",
          what + ": " + Excerpt(checked.out.substr(checked.out.find('\n') + 1)));
    // Worse: the intact backup replaced by a file that fails on its own.
    if (!bupIntact || after.bup == c.pristine.bup) return;
    const fs::path alone = work / "backup";
    CopyDisc(b, alone);
    Write(alone / kFour[0], after.bup);
    if (RunTool({"check", alone.string()}).exit != 0)
        f.Add(command + " replaced an intact backup by a failing one", what);
}

// Seeded byte mutations of VR_MANGR.IFO (and for a third of the seeds of
// VR_MANGR.BUP too, differently), mostly inside the tables. Reading commands
// change no file and stay bounded; an edit either saves a disc that passes
// `check` or fails without changing a byte; every disc `info` accepts
// passes `check`, or `repair` mends it or refuses.
TEST(Safety, Mutations) {
    // Scratch discs in memory when the system offers it (for this process
    // and the tool's own scratch files): the tool forces every file it saves
    // to disc, which a disk-backed /tmp makes slow. The kill test keeps the
    // disk, whose slow forced writes widen the moments between the files.
    const bool inMemory = !std::getenv("TMPDIR") && access("/dev/shm", W_OK) == 0;
    if (inMemory) setenv("TMPDIR", "/dev/shm", 1);
    const std::shared_ptr<void> unset(nullptr, [inMemory](void*) {
        if (inMemory) unsetenv("TMPDIR");
    });
    TempDir tmp;
    Campaign c;
    c.pristineDir = tmp.Path() / "pristine";
    // Movies, stills, divided entry points and two titled playlists.
    const std::string d = c.pristineDir.string();
    ASSERT_NO_FATAL_FAILURE(Build(
        {{"create", d, Sample("pal_mpeg2_mp2_4x3.vob"), Sample("pal_mpeg2_lpcm_16x9.vob"), "--still", Sample(kStill)},
         {"add", d, Sample("pal_mpeg2_mp2_4x3.vob")},
         {"chapters", d, "divide", "1", "20"},
         {"chapters", d, "divide", "3", "10"},
         {"playlist", d, "new"},
         {"playlist", d, "new"},
         {"playlist", d, "add", "1", "0", "1"},
         {"playlist", d, "add", "1", "1", "3"},
         {"playlist", d, "add", "2", "0", "2"},
         {"playlist", d, "title", "1", "Holiday"},
         {"playlist", d, "title", "2", "News"},
         {"check", d}}));
    c.pristine = Snap(c.pristineDir);
    ASSERT_GT(c.pristine.ifo.size(), 4096u);
    c.edits[0] = {"playlist", "title", "1", "Mutated"};
    c.edits[1] = {"chapters", "divide", "1", "5"};
    for (int e = 0; e < 2; ++e) {
        const fs::path dir = tmp.Path() / ("edited" + std::to_string(e));
        CopyDisc(c.pristineDir, dir);
        ASSERT_EQ(RunTool(On(c.edits[e], dir)).exit, 0) << c.edits[e][0] << " on the pristine disc";
        c.edited[e] = Snap(dir);
    }

    Findings f;
    Tally t;
    if (const char* only = std::getenv("VRMANGR_SAFETY_SEED")) {
        const fs::path keep = fs::temp_directory_path() / ("vrmangr-seed-" + std::string(only));
        fs::remove_all(keep);
        RunSeed(c, std::strtoull(only, nullptr, 10), keep, f, t);
        std::printf("seed %s: kept in %s (read/: after the reading commands and repair, edit/: after the edit)\n", only,
                    keep.c_str());
        return f.Report();
    }
    // Four workers, each on every fourth seed.
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&, w] {
            for (int seed = w; seed < g_seeds; seed += 4) {
                const fs::path work = tmp.Path() / ("seed" + std::to_string(seed));
                RunSeed(c, static_cast<uint64_t>(seed), work, f, t);
                std::error_code ec;
                fs::remove_all(work, ec);
            }
        });
    }
    for (std::thread& w : workers) w.join();
    std::printf(
        "%d seeds: info accepted %d, repair mended %d, the edit saved %d (%d of them from a mutated IFO "
        "over an intact backup)\n",
        g_seeds, t.accepted.load(), t.repaired.load(), t.edited.load(), t.savedFromMutated.load());
    f.Report();
}

// ---- The kill test ----

// A saving command SIGKILLed at spread moments of its normal duration.
struct Killed {
    std::string label;
    Args args;  // after DISC
    int trials;
    State reference;  // after an uninterrupted run
    std::set<std::string> allowed;  // entries a finished run leaves
    double seconds = 0;  // its normal duration
    std::vector<bool> timeBytes;  // bytes of the IFO that hold the time of the save
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The bytes that hold the time of the save (recording and playlist dates
// and their texts): every 5-byte neighbourhood of a byte in which two runs
// of the same command, made more than a second apart, differ.
std::vector<bool> TimeBytes(const std::string& a, const std::string& b) {
    std::vector<bool> mask(a.size(), false);
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (size_t k = i >= 4 ? i - 4 : 0; a[i] != b[i] && k <= i + 4 && k < mask.size(); ++k) mask[k] = true;
    }
    return mask;
}

// "old", "new" or what else the disc holds; leftovers gets the files check
// must name.
std::string Kind(const Killed& k, const State& old, const State& s, std::vector<std::string>& leftovers) {
    const std::set<std::string> names = s.Names();
    std::set_difference(names.begin(), names.end(), k.allowed.begin(), k.allowed.end(), std::back_inserter(leftovers));
    if (!leftovers.empty()) return "leftover files";
    if (s.SameFiles(old)) return "old";
    bool sameButTime = s.ifo.size() == k.reference.ifo.size() && s.ifo.size() == k.timeBytes.size();
    for (size_t i = 0; sameButTime && i < s.ifo.size(); ++i)
        sameButTime = s.ifo[i] == k.reference.ifo[i] || k.timeBytes[i];
    if (s.SameStreams(k.reference) && s.ifo == s.bup && sameButTime) return "new";
    // Stream data behind the old tables.
    for (int i = 2; i < 4 && s.ifo == old.ifo && s.bup == old.bup; ++i) {
        if (s.Of(i) != old.Of(i)) leftovers.push_back(kFour[i]);
    }
    return "a mix of old and new";
}

// add, add-still and editing saves SIGKILLed at moments spread over their
// normal duration: the disc still opens, check names what is left over (and
// does not call it "no problems"), and after repair the four files are the
// old or the new state.
TEST(Safety, Kill) {
    TempDir tmp;
    const fs::path base = tmp.Path() / "base";
    const std::string d = base.string(), lpcm = Sample("pal_mpeg2_lpcm_16x9.vob");
    ASSERT_NO_FATAL_FAILURE(Build({{"create", d, Sample("pal_mpeg2_mp2_4x3.vob"), "--still", Sample(kStill)},
                                   {"add", d, lpcm},
                                   {"playlist", d, "new"},
                                   {"playlist", d, "add", "1", "0", "1"}}));
    const State old = Snap(base);
    // A large recording: the LPCM sample 24 times over (its pack clock
    // restarts at each joint); should add refuse it, the sample added 24
    // times over.
    const fs::path big = tmp.Path() / "big.mpg", probe = tmp.Path() / "probe";
    std::string bytes;
    for (int i = 0; i < 24; ++i) bytes += Read(lpcm);
    Write(big, bytes);
    Args addBig = {"add", big.string()};
    CopyDisc(base, probe);
    if (RunTool(On(addBig, probe)).exit != 0) {
        addBig.assign(25, lpcm);
        addBig[0] = "add";
    }
    Killed commands[] = {
        {"add", addBig, 18, {}, {}, 0, {}},
        {"add-still", {"add-still", Sample(kStill)}, 6, {}, {}, 0, {}},
        {"playlist new", {"playlist", "new"}, 6, {}, {}, 0, {}},
        {"chapters divide", {"chapters", "divide", "1", "20"}, 6, {}, {}, 0, {}},
    };
    for (Killed& k : commands) {
        std::vector<double> times;
        for (int run = 0; run < 3; ++run) {
            const fs::path dir = tmp.Path() / ("reference-" + std::to_string(run));
            fs::remove_all(dir);
            CopyDisc(base, dir);
            const auto start = std::chrono::steady_clock::now();
            const Result r = RunTool(On(k.args, dir));
            times.push_back(Seconds(start));
            ASSERT_EQ(r.exit, 0) << k.label << " on the disc: " << r.err;
            if (run == 0) k.reference = Snap(dir);
        }
        std::sort(times.begin(), times.end());
        k.seconds = times[1];
        k.allowed = old.Names();
        for (const std::string& name : k.reference.Names()) k.allowed.insert(name);
    }
    const auto referencesMade = std::chrono::steady_clock::now();

    Rng rng{42};
    Findings f;
    struct Trial {
        const Killed* command;
        std::string where, check;  // check: what check printed after the kill
        State killed, repaired;
    };
    std::vector<Trial> trials;
    for (const Killed& k : commands) {
        for (int i = 0; i < k.trials; ++i) {
            const fs::path dir = tmp.Path() / ("trial-" + std::to_string(trials.size()));
            CopyDisc(base, dir);
            // Spread over the normal duration, a little beyond.
            const double delay = k.seconds * 1.1 * (i + static_cast<double>(rng.Below(1000)) / 1000) / k.trials;
            const pid_t pid = Start(On(k.args, dir));
            ASSERT_GT(pid, 0);
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
            kill(pid, SIGKILL);
            Result ended;
            Reap(pid, ended);
            Trial t{&k,
                    k.label + " killed after " + std::to_string(static_cast<int>(delay * 1000)) + " ms (" +
                        (ended.signal ? "mid-run" : "it had ended") + ")",
                    "",
                    Snap(dir),
                    {}};
            // check sees the disc as the kill left it; neither it nor info
            // changes a byte.
            t.check = Reading({"check", dir.string()}, dir, t.where, f).out;
            const Result info = Reading({"info", dir.string()}, dir, t.where, f);
            if (!info.timedOut && !info.signal && info.exit != 0) {
                f.Add("the disc does not open after a kill", t.where + ": " + Excerpt(info.err));
            }
            const Result repair = RepairAndCheck(dir, t.where, f);
            if (!repair.timedOut && !repair.signal && repair.exit != 0) {
                f.Add("repair fails after a kill", t.where + ": " + Excerpt(repair.err));
            }
            t.repaired = Snap(dir);
            trials.push_back(std::move(t));
            fs::remove_all(dir);
        }
    }

    // One more run of each command, more than a second after its reference
    // run, tells which bytes hold the time of the save.
    const double since = Seconds(referencesMade);
    if (since < 1.2) std::this_thread::sleep_for(std::chrono::duration<double>(1.2 - since));
    for (Killed& k : commands) {
        const fs::path dir = tmp.Path() / ("late-" + k.label);
        CopyDisc(base, dir);
        ASSERT_EQ(RunTool(On(k.args, dir)).exit, 0);
        k.timeBytes = TimeBytes(k.reference.ifo, Snap(dir).ifo);
    }

    std::map<std::string, std::map<std::string, int>> outcomes;
    for (const Trial& t : trials) {
        std::vector<std::string> leftovers, remaining;
        const std::string killed = Kind(*t.command, old, t.killed, leftovers);
        for (const std::string& name : leftovers) {
            if (t.check.find(name) == std::string::npos) f.Add("check does not name the leftover " + name, t.where);
        }
        const std::string repaired = Kind(*t.command, old, t.repaired, remaining);
        ++outcomes[t.command->label][killed + " -> " + repaired];
        if (killed != "old" && killed != "new" && t.check.find("no problems") != std::string::npos) {
            f.Add("check says \"no problems\" though the kill left " + killed, t.where + ": " + Excerpt(t.check));
        }
        if (repaired != "old" && repaired != "new") {
            f.Add("after repair the disc is neither the old nor the new state but " + repaired,
                  t.where + ", check after the kill: " + Excerpt(t.check));
        }
    }
    for (const Killed& k : commands) {
        std::printf("%s (%d ms), state after the kill -> after repair:", k.label.c_str(),
                    static_cast<int>(k.seconds * 1000));
        for (const auto& [outcome, n] : outcomes[k.label]) std::printf(" %s %d", outcome.c_str(), n);
        std::printf("\n");
    }
    f.Report();
}

// ---- Readers ----

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
    for (int n = first; opened; ++n) {
        const DWORD count = fnVR_GetUnitStarts(h, 0, n, &start, 1);
        if (count == 0) break;
        vobs.emplace_back(count, start);
    }
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

// One reading command of the Readers test: it exits with `exit`.
Result Reader(const Args& args, const fs::path& disc, int exit, const std::string& where, Findings& f) {
    const Result r = Reading(args, disc, where, f);
    EXPECT_EQ(r.exit, exit) << where << ": " << args[0] << " " << args.back() << ": " << r.err << r.out.substr(0, 1000);
    return r;
}

// info, info --json, check, check --deep, type, and extract of every entry
// point and every program, to `out` outside the disc.
void ReadAll(const fs::path& disc, const Variant& v, const fs::path& out, const std::string& where, Findings& f) {
    const std::string d = disc.string(), o = out.string();
    const Result info = Reader({"info", d}, disc, 0, where, f);
    Reader({"info", d, "--json"}, disc, 0, where, f);
    for (const Args& args : {Args{"check", d}, Args{"check", d, "--deep"}}) {
        const Result check = Reader(args, disc, v.checkExit, where, f);
        EXPECT_NE(check.out.find(v.checkSays), std::string::npos) << where << ": " << args.back() << ": " << check.out;
    }
    EXPECT_EQ(Reader({"type", d}, disc, 0, where, f).out, "DVD-VR\n") << where;
    std::smatch m;
    const std::regex chain(R"(Original chain: (\d+) programs?, \d+ cells?, (\d+) entry points?)");
    ASSERT_TRUE(std::regex_search(info.out, m, chain)) << where << ": " << info.out;
    ASSERT_EQ(std::stoul(m[2]), v.entries.size()) << where << ": entry points";
    std::string all[2];  // what the entry points and the programs extract
    for (int program = 0; program < 2; ++program) {
        const size_t count = program ? std::stoul(m[1]) : v.entries.size();
        for (size_t n = 1; n <= count; ++n) {
            fs::remove(out);
            Reader({"extract", d, program ? "--program" : "--entry", std::to_string(n), "-o", o}, disc, 0, where, f);
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

// A read-only tree: write permission taken from every entry, and where the
// system lets us a read-only bind mount of it. Undone when it goes.
struct ReadOnlyTree {
    fs::path root, mounted;
    // chmod -R a-w, or u+w to undo it.
    void Protect(bool writable) {
        const fs::perms w = writable ? fs::perms::owner_write
                                     : fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
        const fs::perm_options how = writable ? fs::perm_options::add : fs::perm_options::remove;
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(root, ec)) fs::permissions(e.path(), w, how, ec);
        fs::permissions(root, w, how, ec);
    }
    void Mount(const fs::path& at) {
        if (geteuid() != 0 || !fs::create_directory(at) ||
            mount(root.c_str(), at.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return;
        mounted = at;
        if (mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) Unmount();
    }
    void Unmount() {
        if (!mounted.empty()) umount2(mounted.c_str(), MNT_DETACH);
        mounted.clear();
    }
    ~ReadOnlyTree() {
        Unmount();
        Protect(true);
    }
};

// info, check (also --deep), type and extract on a disc with unused
// sectors between its recordings, with an IFO older than its BUP, after an
// add killed while appending, and on read-only copies of these change no
// file and extract every recording as it was made; add on the disc with
// gaps goes behind its highest recording.
TEST(Safety, Readers) {
    TempDir tmp;
    const fs::path plain = tmp.Path() / "plain", out = tmp.Path() / "out.mpg";
    const std::string mp2 = Sample("pal_mpeg2_mp2_4x3.vob"), lpcm = Sample("pal_mpeg2_lpcm_16x9.vob");
    ASSERT_NO_FATAL_FAILURE(Build({{"create", plain.string(), mp2, lpcm, "--still", Sample(kStill)}}));
    const std::string ifoBeforeAdd = Read(plain / kFour[0]);
    ASSERT_NO_FATAL_FAILURE(
        Build({{"add", plain.string(), mp2}, {"extract", plain.string(), "--entry", "3", "-o", out.string()}}));
    // A movie recording extracts as the file it was made from; the still
    // picture as it did from the disc the tool made.
    const std::string m = Read(mp2), l = Read(lpcm), s = Read(out);
    ASSERT_EQ(s.compare(0, 4, std::string("\0\0\1\xBA", 4)), 0) << "the still picture extracts no pack";

    const std::vector<std::string> all = {m, l, s, m};
    const std::vector<Variant> variants = {
        {"plain", 0, "no problems", all},
        // VOB 2 and 3 274 sectors behind VOB 1's end.
        {"gaps", 0, "274 sectors", all},
        // The IFO of before the add, the BUP of after.
        {"stale", 1, "differ", {m, l, s}},
        // An add killed after appending 100 sectors of a recording.
        {"killed", 0, "204800 bytes", all},
    };
    const fs::path rw = tmp.Path() / "rw";
    for (const Variant& v : variants) CopyDisc(plain, rw / v.name);
    ASSERT_TRUE(MakeGap(rw / "gaps", 2, 274));
    ASSERT_NO_FATAL_FAILURE(Write(rw / "stale" / kFour[0], ifoBeforeAdd));
    ASSERT_NO_FATAL_FAILURE(Write(rw / "killed" / kFour[2], Read(plain / kFour[2]) + l.substr(0, 100 * 2048)));

    Findings f;
    for (const Variant& v : variants) ReadAll(rw / v.name, v, out, v.name, f);

    // The same on read-only copies: nothing fails merely for that.
    ReadOnlyTree ro{tmp.Path() / "ro", {}};
    for (const Variant& v : variants) CopyDisc(rw / v.name, ro.root / v.name);
    ro.Protect(false);
    ro.Mount(tmp.Path() / "mnt");
    const fs::path base = ro.mounted.empty() ? ro.root : ro.mounted;
    const bool guarded = access(base.c_str(), W_OK) != 0;  // root passes permission checks
    std::printf("read-only copies: %s%s\n", ro.mounted.empty() ? "write permission removed" : "read-only bind mount",
                guarded ? "" : " (not enforced for this user)");
    for (const Variant& v : variants) ReadAll(base / v.name, v, out, v.name + " (read-only)", f);
    ro.Unmount();

    // add on the disc with gaps goes behind VOB 3, the highest end (which
    // is the stream file's end there), and every recording still extracts
    // as it was made.
    const fs::path added = tmp.Path() / "added";
    CopyDisc(rw / "gaps", added);
    const std::string stream = Read(added / kFour[2]);
    ASSERT_NO_FATAL_FAILURE(Build({{"add", added.string(), lpcm}}));
    void* h = fnVR_MANGRBegin();
    __int64 start = -1;
    EXPECT_TRUE(fnVR_MANGROpen(h, added.c_str()) && fnVR_GetUnitStarts(h, 0, 4, &start, 1));
    fnVR_MANGREnd(h);
    EXPECT_EQ(uint64_t(start) * 2048, stream.size()) << "VOB 4 does not begin at the end of the stream";
    EXPECT_TRUE(Read(added / kFour[2]).compare(0, stream.size(), stream) == 0) << "add changed recorded data";
    ReadAll(added, {"gaps after add", 0, "274 sectors", {m, l, s, m, l}}, out, "gaps after add", f);
    f.Report();
}

// ---- Concurrency ----

// What a writer prints when another process holds the disc.
std::string LockedSentence(const std::string& dir) {
    return "vrmangr: " + dir + " is being changed by another vrmangr process; try again when it has finished.\n";
}

// One writer: makes a playlist of its own and edits it 50 times (new, 48
// segments, a title). An edit refused because the other holds the disc
// (exit 1 and the lock sentence) is run again; any other failure ends it.
struct Writer {
    std::string disc, name;
    int refused = 0, pl = 0;  // pl: the number of its playlist

    bool Edit(const Args& args, Result& r) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            r = RunTool(args);
            if (r.exit == 0) return true;
            if (r.exit != 1 || r.err != LockedSentence(disc)) break;
            ++refused;
        }
        ADD_FAILURE() << name << ": " << args[0] << " " << args[2] << " exited " << r.exit << ": " << r.err;
        return false;
    }
    void Loop() {
        Result r;
        if (!Edit({"playlist", disc, "new"}, r)) return;
        pl = std::atoi(r.out.c_str());
        if (pl < 1) return ADD_FAILURE() << name << ": playlist new printed '" << r.out << "'";
        for (int done = 0; done < 48; ++done) {
            if (!Edit({"playlist", disc, "add", std::to_string(pl), std::to_string(done), "1"}, r)) return;
        }
        Edit({"playlist", disc, "title", std::to_string(pl), name}, r);
    }
};

// Writers meeting a lock held through the library are refused and change
// nothing; then two writers of 50 edits each and a reader loop on one disc:
// every edit of both is present exactly once, every read succeeds silently,
// and check passes.
TEST(Safety, Concurrency) {
    TempDir root;
    const std::string disc = root.File("disc"), empty = root.File("empty"), mp2 = Sample("pal_mpeg2_mp2_4x3.vob");
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
    Writer a{disc, "Writer A"}, b{disc, "Writer B"};
    std::atomic<bool> writing{true};
    int reads = 0;
    std::thread reader([&] {
        for (; writing; ++reads) {
            const Result info = RunTool({"info", disc});
            EXPECT_TRUE(info.exit == 0 && info.err.empty())
                << "info exited " << info.exit << " while the writers ran: " << info.err;
        }
    });
    std::thread ta([&] { a.Loop(); }), tb([&] { b.Loop(); });
    ta.join();
    tb.join();
    writing = false;
    reader.join();
    std::printf("%d reads; edits refused while the other wrote: A %d, B %d\n", reads, a.refused, b.refused);

    // Both playlists whole: every segment added once, the title set; no
    // leftovers, and a reader changes nothing.
    void* h = fnVR_MANGRBegin();
    EXPECT_TRUE(fnVR_MANGROpen(h, disc.c_str())) << "the disc does not open after the writers";
    EXPECT_EQ(fnVR_GetPLCount(h), 2);
    EXPECT_NE(a.pl, b.pl) << "both writers were told the same playlist";
    for (const Writer* w : {&a, &b}) {
        DVDPGCINFO info{};
        EXPECT_TRUE(fnVR_GetPLInfo(h, w->pl, &info, 0)) << w->name << "'s playlist " << w->pl << " is missing";
        EXPECT_EQ(info.dwCount, 48u) << w->name << "'s playlist: entry points";
        EXPECT_EQ(w->name, info.szPrmText);
    }
    fnVR_MANGREnd(h);
    EXPECT_EQ(Snap(disc).Names(), std::set<std::string>(std::begin(kFour), std::end(kFour)));
    Findings f;
    for (const char* command : {"info", "check"}) {
        const Result r = Reading({command, disc}, disc, "after the writers", f);
        EXPECT_EQ(r.exit, 0) << command << ": " << r.err << r.out;
    }
    f.Report();
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tool_test_safety TOOL DATA_DIR [SEEDS] [gtest options]\n");
        return 2;
    }
    g_tool = argv[1];
    g_data = argv[2];
    if (argc > 3) g_seeds = std::atoi(argv[3]);
    return RUN_ALL_TESTS();
}
