// Locking between runs of the built tool: first writers on a disc locked
// through the library are refused and change nothing. Then two writers and
// a reader on one disc at the same time. Each writer makes a playlist of its own and edits it 50
// times (new, 48 segments, a title); an edit refused because the other
// holds the disc (exit 1 and the lock sentence) is run again. Meanwhile
// `info` runs in a loop. At the end every edit reported as done is present
// exactly once (so no edit was lost and no refused one took effect), every
// `info` succeeded without a word on stderr (it never met a save half-done),
// `check` passes and the directory holds the four files of a disc only.
//
// Usage: tool_test_concurrency TOOL DATA_DIR
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <vrmangr.h>

#include "support/TempDir.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string g_tool;
std::atomic<int> g_failures{0};

void Failure(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++g_failures;
}

struct Result {
    int exit = -1;  // -1 when it did not exit normally (killed, timed out)
    std::string out, err;
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs the tool with args, its output in files named after `scratch`;
// killed after 20 s.
Result Run(const std::vector<std::string>& args, const std::string& scratch) {
    std::vector<char*> argv{const_cast<char*>(g_tool.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string outPath = scratch + ".out", errPath = scratch + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, g_tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Result r;
    if (spawned != 0) return r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) r.exit = WEXITSTATUS(status);
    r.out = Slurp(outPath);
    r.err = Slurp(errPath);
    return r;
}

// What a writer prints when another process holds the disc.
std::string LockedSentence(const std::string& dir) {
    return "vrmangr: " + dir + " is being changed by another vrmangr process; try again when it has finished.\n";
}

// One writer: runs each edit until it is done, again while the disc is
// refused as locked, and gives up on any other failure.
struct Writer {
    std::string disc, scratch, name;
    int refused = 0;
    int pl = 0;  // the number of its playlist
    int done = 0;  // segments added

    bool Edit(const std::vector<std::string>& args, Result* result) {
        const std::string locked = LockedSentence(disc);
        for (int attempt = 0; attempt < 100; ++attempt) {
            *result = Run(args, scratch);
            if (result->exit == 0) return true;
            if (result->exit != 1 || result->err != locked) break;
            ++refused;
        }
        Failure(name + ": " + args[0] + " " + args[2] + " exited " + std::to_string(result->exit) + ": " +
                result->err);
        return false;
    }

    void Loop() {
        Result r;
        if (!Edit({"playlist", disc, "new"}, &r)) return;
        pl = std::atoi(r.out.c_str());
        if (pl < 1) return Failure(name + ": playlist new printed '" + r.out + "'");
        for (; done < 48; ++done) {
            if (!Edit({"playlist", disc, "add", std::to_string(pl), std::to_string(done), "1"}, &r)) return;
        }
        Edit({"playlist", disc, "title", std::to_string(pl), name}, &r);
    }
};

// The name and bytes of every file in the directory.
std::vector<std::string> Contents(const fs::path& dir) {
    std::vector<std::string> all;
    for (const auto& entry : fs::directory_iterator(dir)) {
        all.push_back(entry.path().filename().string() + "\n" + Slurp(entry.path().string()));
    }
    std::sort(all.begin(), all.end());
    return all;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TOOL DATA_DIR\n", argv[0]);
        return 2;
    }
    g_tool = argv[1];
    const std::string data = argv[2];
    TempDir root;
    const std::string disc = root.File("disc");
    const std::string scratch = root.File("run");
    Result r = Run({"create", disc, data + "/pal_mpeg2_mp2_4x3.vob", "--quiet"}, scratch);
    if (r.exit != 0) {
        std::fprintf(stderr, "create failed: %s", r.err.c_str());
        return 1;
    }

    // A lock held through the library: writers are refused with the
    // sentence and change nothing (create writes nothing into an empty
    // directory either); a reader waits a little, then reads without it.
    const std::string empty = root.File("empty");
    fs::create_directory(empty);
    void* holder = fnVR_MANGRBegin();
    void* other = fnVR_MANGRBegin();
    if (fnVR_MANGRLock(holder, "", 1, 0) || fnVR_MANGRGetLastError(holder) != VRO_ERR_BAD_ARGUMENT ||
        fnVR_MANGRLock(nullptr, disc.c_str(), 1, 0) || !fnVR_MANGRLock(other, disc.c_str(), 0, 0) ||
        fnVR_MANGRLock(holder, disc.c_str(), 1, 20) || fnVR_MANGRGetLastError(holder) != VRO_ERR_LOCKED ||
        !fnVR_MANGRUnlock(other) || !fnVR_MANGRLock(holder, disc.c_str(), 1, 0) ||
        !fnVR_MANGRLock(other, empty.c_str(), 1, 0)) {
        Failure("fnVR_MANGRLock does not keep its contract");
    }
    const std::vector<std::string> unlocked = Contents(disc);
    for (const auto& [dir, args] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {disc, {"playlist", disc, "new"}},
             {disc, {"add", disc, data + "/pal_mpeg2_mp2_4x3.vob"}},
             {empty, {"create", empty, data + "/pal_mpeg2_mp2_4x3.vob"}}}) {
        r = Run(args, scratch);
        if (r.exit != 1 || r.err != LockedSentence(dir)) {
            Failure(args[0] + " on a locked disc exited " + std::to_string(r.exit) + ": " + r.err);
        }
    }
    r = Run({"info", disc}, scratch);
    if (r.exit != 0) Failure("info on a locked disc exited " + std::to_string(r.exit) + ": " + r.err);
    if (Contents(disc) != unlocked || !fs::is_empty(empty)) Failure("a refused writer changed the disc");
    fnVR_MANGREnd(holder);
    fnVR_MANGREnd(other);

    Writer a{disc, root.File("a"), "Writer A"}, b{disc, root.File("b"), "Writer B"};
    std::atomic<bool> writing{true};
    int reads = 0;
    std::thread reader([&] {
        while (writing) {
            const Result info = Run({"info", disc}, root.File("reader"));
            ++reads;
            if (info.exit != 0 || !info.err.empty()) {
                Failure("info exited " + std::to_string(info.exit) + " while the writers ran: " + info.err);
            }
        }
    });
    std::thread ta([&] { a.Loop(); }), tb([&] { b.Loop(); });
    ta.join();
    tb.join();
    writing = false;
    reader.join();
    std::printf("%d reads; edits refused while the other wrote: A %d, B %d\n", reads, a.refused, b.refused);

    // Both playlists whole: every segment added once, the title set.
    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, disc.c_str())) {
        Failure("the disc does not open after the writers");
    } else {
        const int count = fnVR_GetPLCount(h);
        if (count != 2) Failure("the disc has " + std::to_string(count) + " playlists, not 2");
        if (a.pl == b.pl) Failure("both writers were told playlist " + std::to_string(a.pl));
        for (const Writer* w : {&a, &b}) {
            DVDPGCINFO info{};
            if (!fnVR_GetPLInfo(h, w->pl, &info, 0)) {
                Failure(w->name + "'s playlist " + std::to_string(w->pl) + " is missing");
                continue;
            }
            if (info.dwCount != 48) {
                Failure(w->name + "'s playlist has " + std::to_string(info.dwCount) + " entry points, not 48");
            }
            if (w->name != info.szPrmText) Failure(w->name + "'s playlist is titled '" + info.szPrmText + "'");
        }
    }
    fnVR_MANGREnd(h);

    // No leftovers, and a reader changes nothing.
    const std::set<std::string> expected{"VR_MANGR.IFO", "VR_MANGR.BUP", "VR_MOVIE.VRO", "VR_STILL.VRO"};
    std::set<std::string> present;
    for (const auto& entry : fs::directory_iterator(disc)) present.insert(entry.path().filename().string());
    if (present != expected) Failure("the disc directory holds other files than the four of a disc");
    const std::vector<std::string> before = Contents(disc);
    for (const char* command : {"info", "check"}) {
        r = Run({command, disc}, scratch);
        if (r.exit != 0) Failure(std::string(command) + " exited " + std::to_string(r.exit) + ": " + r.err + r.out);
    }
    if (Contents(disc) != before) Failure("info or check changed the disc");
    if (g_failures == 0) std::printf("passed\n");
    return g_failures == 0 ? 0 : 1;
}
