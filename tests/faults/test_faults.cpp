// Failures of the file system and of source files during add and save: the
// call reports the failure, the directory stays a valid disc (it opens from
// its management file alone and from its backup alone, with stream files as
// long as the tables say), and a later save succeeds. Last, a process that
// dies at any operation of a save.
//
// The tests run as root in CI, and root ignores permission bits: a read-only
// directory does not stop its writes, and a file with mode 000 stays
// readable. Those conditions are therefore produced through the fault hook
// (EACCES for every change of the file system) or by a real condition root
// cannot get around (a source path that names a directory).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

fs::path Sample(const char* name) { return fs::path(__FILE__).parent_path().parent_path() / "data" / name; }

const char kIfo[] = "VR_MANGR.IFO";
const char kBup[] = "VR_MANGR.BUP";
const char kMovie[] = "VR_MOVIE.VRO";
const char kStill[] = "VR_STILL.VRO";

uintmax_t SizeOf(const fs::path& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// A disc as it is on disc: the management file and the stream sizes its
// tables describe.
struct DiscState {
    Bytes ifo;
    uintmax_t movie = 0, still = 0;
};

DiscState StateOf(const fs::path& dir) {
    return {ReadWholeFile((dir / kIfo).string()), SizeOf(dir / kMovie), SizeOf(dir / kStill)};
}

// Opens the disc from one management file of dir alone, in a scratch copy,
// through the public interface; returns which of the states it is (-1 for
// none, or when it does not open whole).
int OpenedState(const fs::path& dir, const char* keep, const std::vector<DiscState>& states) {
    TempDir scratch;
    for (const char* name : {kMovie, kStill})
        if (fs::exists(dir / name)) fs::copy_file(dir / name, scratch.Path() / name);
    fs::copy_file(dir / keep, scratch.Path() / keep);
    const Bytes bytes = ReadWholeFile((scratch.Path() / keep).string());
    void* h = fnVR_MANGRBegin();
    const int opened = fnVR_MANGROpen(h, scratch.Path().c_str());
    const DWORD error = fnVR_MANGRGetLastError(h);
    const DWORD recorded = opened ? static_cast<CVR_MANGR*>(h)->m_pM_AVFIT->fnGet_dwTotalVOBISize() : 0;
    fnVR_MANGREnd(h);
    if (!opened || error != 0) return -1;
    // No recorded data may be missing; data behind it (an append whose cut
    // back failed too) is left for repair.
    if (SizeOf(scratch.Path() / kMovie) < uintmax_t{recorded} * 2048) return -1;
    for (size_t i = 0; i < states.size(); ++i) {
        if (bytes != states[i].ifo) continue;
        if (SizeOf(scratch.Path() / kMovie) < states[i].movie || SizeOf(scratch.Path() / kStill) < states[i].still)
            return -1;
        return static_cast<int>(i);
    }
    return -1;
}

// Both management files open, each as one of the states, and no scratch
// file is left behind.
void ExpectValid(const fs::path& dir, const std::vector<DiscState>& states, const std::string& when) {
    for (const char* name : {kIfo, kBup}) EXPECT_GE(OpenedState(dir, name, states), 0) << name << " " << when;
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path() << " " << when;
}

// The directory holds exactly the state: both management files, and streams
// of its lengths.
void ExpectState(const fs::path& dir, const DiscState& state, const std::string& when = "") {
    EXPECT_EQ(StateOf(dir).ifo, state.ifo) << when;
    EXPECT_EQ(ReadWholeFile((dir / kBup).string()), state.ifo) << when;
    EXPECT_EQ(SizeOf(dir / kMovie), state.movie) << when;
    EXPECT_EQ(SizeOf(dir / kStill), state.still) << when;
}

// The scene of every test: a saved disc with one recording, opened, with a
// second recording and a still-picture group added from copies of the
// samples in the test's directory (so that a test can damage them).
struct Scene {
    vrm::ScopedTestClock clock{MakeTime(2026, 12, 6, 10, 0, 0), 0};
    TempDir root;
    fs::path dir = root.Path() / "disc";
    fs::path movie = root.Path() / "movie.vob", still = root.Path() / "still.vob";
    void* h = nullptr;
    DiscState before;

    Scene() {
        fs::create_directories(dir);
        fs::copy_file(Sample("pal_mpeg2_lpcm_16x9.vob"), movie);
        fs::copy_file(Sample("still_pal_2pictures.vob"), still);
        h = fnVR_MANGRBegin();
        EXPECT_EQ(fnVR_MANGRNew(h, dir.c_str()), 1);
        EXPECT_EQ(fnVR_AddMpegFile(h, Sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr), 1);
        EXPECT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        fnVR_MANGREnd(h);
        before = StateOf(dir);
        h = fnVR_MANGRBegin();
        EXPECT_EQ(fnVR_MANGROpen(h, dir.c_str()), 1);
    }
    ~Scene() {
        vrm::SetFaultHook(nullptr, nullptr);
        fnVR_MANGREnd(h);
    }
    CVR_MANGR& M() const { return *static_cast<CVR_MANGR*>(h); }
    void AddBoth() {
        ASSERT_EQ(fnVR_AddMpegFile(h, movie.c_str(), nullptr), 1) << M().m_pMovie->fnGetLastErrorDetail();
        ASSERT_EQ(M().fnADD_Still_Pic_Program(still.c_str()), 1) << M().m_pStill->fnGetLastErrorDetail();
    }
};

int CountOperations(void* context, const char*) {
    ++*static_cast<int*>(context);
    return 0;
}

// Lets `allowed` operations through, then fails every later one with the
// errno: a disk that fills up, or a device that starts failing. Removing a
// file still works (it frees space), so the save can clean up after itself.
struct FailFrom {
    int allowed;
    int error;
    static int Hook(void* context, const char* operation) {
        auto* f = static_cast<FailFrom*>(context);
        if (f->allowed-- > 0 || std::strcmp(operation, "remove") == 0) return 0;
        return f->error;
    }
};

// The save of a scene made by `make`, undisturbed: the number of file-system
// operations it makes, and the state it reaches.
template <class Make>
DiscState CountedSave(Make make, int& operations) {
    auto s = make();
    vrm::SetFaultHook(CountOperations, &operations);
    EXPECT_EQ(fnVR_MANGRSave(s->h, nullptr), 1);
    vrm::SetFaultHook(nullptr, nullptr);
    const DiscState after = StateOf(s->dir);
    ExpectValid(s->dir, {after}, "after an undisturbed save");
    return after;
}

// For every operation k of that save, with ENOSPC (disk full) and EIO: k and
// every later operation fail. The save reports it, the directory holds one
// of `states`, and a retry reaches `after`.
template <class Make>
void FailFromEveryOperation(Make make, int operations, const std::vector<DiscState>& states, const DiscState& after) {
    for (int error : {ENOSPC, EIO}) {
        for (int failAt = 0; failAt < operations; ++failAt) {
            const std::string when = std::string(std::strerror(error)) + " from operation " + std::to_string(failAt);
            auto s = make();
            FailFrom fault{failAt, error};
            vrm::SetFaultHook(FailFrom::Hook, &fault);
            EXPECT_EQ(fnVR_MANGRSave(s->h, nullptr), 0) << when;
            vrm::SetFaultHook(nullptr, nullptr);
            ExpectValid(s->dir, states, when);
            ASSERT_EQ(fnVR_MANGRSave(s->h, nullptr), 1) << when;
            ExpectState(s->dir, after, when);
        }
    }
}

}  // namespace

TEST(SaveFaults, AFailureAtAnyOperationLeavesAValidDiscAndARetrySucceeds) {
    auto make = [] {
        auto s = std::make_unique<Scene>();
        s->AddBoth();
        return s;
    };
    int operations = 0;
    const DiscState after = CountedSave(make, operations), before = Scene().before;
    ASSERT_GT(after.movie, before.movie);
    ASSERT_GT(after.still, before.still);
    ASSERT_GE(operations, 10) << "two streams and two management files";
    FailFromEveryOperation(make, operations, {before, after}, after);
}

// New over a directory that holds a disc: the first save gives up the
// earlier disc. At no point may a management file describe stream data that
// is not there; between the earlier and the new disc the directory may hold
// an empty one.
TEST(SaveFaults, NewOverAnEarlierDiscIsValidAtAnyFailure) {
    // The management file of an empty disc, made at the same clock.
    DiscState empty;
    {
        vrm::ScopedTestClock clock{MakeTime(2026, 12, 6, 10, 0, 0), 0};
        TempDir blank;
        void* h = fnVR_MANGRBegin();
        ASSERT_EQ(fnVR_MANGRNew(h, blank.Path().c_str()), 1);
        ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        fnVR_MANGREnd(h);
        empty = StateOf(blank.Path());
    }
    // The earlier disc holds two recordings and still pictures; the new one
    // a shorter recording, without still pictures (its still stream is
    // emptied) or with them (both streams are written aside first).
    struct Earlier : Scene {
        DiscState earlier;
        explicit Earlier(bool stills) {
            AddBoth();
            EXPECT_EQ(fnVR_MANGRSave(h, nullptr), 1);
            earlier = StateOf(dir);
            EXPECT_EQ(fnVR_MANGRNew(h, dir.c_str()), 1);
            EXPECT_EQ(fnVR_AddMpegFile(h, Sample("ntsc_mpeg2_ac3_16x9.vob").c_str(), nullptr), 1);
            if (stills) {
                EXPECT_EQ(M().fnADD_Still_Pic_Program(still.c_str()), 1);
            }
        }
    };
    for (bool stills : {false, true}) {
        SCOPED_TRACE(stills ? "new disc with still pictures" : "new disc without still pictures");
        auto make = [stills] { return std::make_unique<Earlier>(stills); };
        int operations = 0;
        const DiscState after = CountedSave(make, operations);
        // A cancelled save keeps the earlier disc whole.
        Earlier s(stills);
        ASSERT_LT(after.movie, s.earlier.movie);
        ASSERT_EQ(after.still > 0, stills);
        EXPECT_EQ(fnVR_MANGRSave(s.h, [](void*, DWORD, DWORD, DWORD, DWORD) { return 0; }), 0);
        EXPECT_EQ(fnVR_MANGRGetLastError(s.h), DWORD{VRO_ERR_CANCELLED});
        ExpectState(s.dir, s.earlier);
        ExpectValid(s.dir, {s.earlier}, "after a cancel");
        FailFromEveryOperation(make, operations, {s.earlier, empty, after}, after);
    }
}

// A save that fails for a reason the user can remove reports that reason,
// leaves the disc exactly as it was, and succeeds once the reason is gone.
TEST(SaveFaults, AFailedSaveSaysWhyChangesNothingAndCanBeRetried) {
    static int error = 0;
    const struct {
        const char* what;
        DWORD code;
        std::function<void(Scene&)> cause, undo;
    } cases[] = {
        {"disk full in the movie stream", VRO_ERR_DISK_FULL,
         [](Scene&) {
             error = ENOSPC;
             vrm::SetFaultHook([](void*, const char* op) { return std::strcmp(op, "write") == 0 ? error : 0; },
                               nullptr);
         },
         [](Scene&) { vrm::SetFaultHook(nullptr, nullptr); }},
        // The real condition (effective for users other than root), and what
        // such a user meets, also under root: every change refused.
        {"read-only directory", VRO_ERR_STREAM_CREATE,
         [](Scene& s) {
             ASSERT_EQ(chmod(s.dir.c_str(), 0555), 0);
             error = EACCES;
             vrm::SetFaultHook([](void*, const char*) { return error; }, nullptr);
         },
         [](Scene& s) {
             vrm::SetFaultHook(nullptr, nullptr);
             ASSERT_EQ(chmod(s.dir.c_str(), 0755), 0);
         }},
        {"a source that became unreadable after the add", VRO_ERR_SOURCE_OPEN,
         [](Scene& s) {
             fs::rename(s.movie, s.root.Path() / "kept.vob");
             fs::create_directories(s.movie);
         },
         [](Scene& s) {
             fs::remove(s.movie);
             fs::rename(s.root.Path() / "kept.vob", s.movie);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        s.AddBoth();
        c.cause(s);
        EXPECT_EQ(fnVR_MANGRSave(s.h, nullptr), 0);
        c.undo(s);
        EXPECT_EQ(fnVR_MANGRGetLastError(s.h), c.code);
        ExpectState(s.dir, s.before);
        ExpectValid(s.dir, {s.before}, "after the failure");
        EXPECT_EQ(fnVR_MANGRSave(s.h, nullptr), 1);
        ExpectValid(s.dir, {StateOf(s.dir)}, "after the retry");
    }
}

TEST(AddFaults, AnUnreadableSourceIsRefusedAtAdd) {
    // A path that cannot be read as a file (as root, chmod 000 would not
    // stop the read; a directory does).
    Scene s;
    const fs::path unreadable = s.root.Path() / "unreadable.vob";
    fs::create_directories(unreadable);
    EXPECT_EQ(fnVR_AddMpegFile(s.h, unreadable.c_str(), nullptr), 0);
    EXPECT_EQ(s.M().m_pMovie->m_dwLastError, DWORD{VRO_ERR_SOURCE_OPEN});
    EXPECT_EQ(s.M().m_pMovie->fnGetQueuedFileNs(), 0u);
    EXPECT_EQ(s.M().fnADD_Still_Pic_Program(unreadable.c_str()), 0);
}

namespace {

// Opens the disc, adds one playlist (with its chain) and saves: the change
// whose save is interrupted.
int AddPlaylistAndSave(const fs::path& dir) {
    void* h = fnVR_MANGRBegin();
    const int ok = fnVR_MANGROpen(h, dir.c_str()) && fnVR_AddPL(h) && fnVR_MANGRSave(h, nullptr);
    fnVR_MANGREnd(h);
    return ok;
}

void CopyDirectory(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(from)) fs::copy_file(entry.path(), to / entry.path().filename());
}

}  // namespace

// A save interrupted at any point leaves a disc that opens, in its old or
// its new state, and the management file and its backup each hold one of
// the two whole.
TEST(SaveCrash, OpenAlwaysFindsTheOldOrTheNewDisc) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 12, 0, 0), 0);
    TempDir root;
    const fs::path old = root.Path() / "old", done = root.Path() / "new", disc = root.Path() / "disc";
    fs::create_directories(old);
    void* h = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGRNew(h, old.c_str()), 1);
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    fnVR_MANGREnd(h);
    ASSERT_EQ(AddPlaylistAndSave(old), 1);
    const Bytes oldIfo = ReadWholeFile((old / kIfo).string());

    // The whole save once, counting the file system operations it makes.
    CopyDirectory(old, done);
    int operations = 0;
    vrm::SetFaultHook(CountOperations, &operations);
    ASSERT_EQ(AddPlaylistAndSave(done), 1);
    vrm::SetFaultHook(nullptr, nullptr);
    const Bytes newIfo = ReadWholeFile((done / kIfo).string());
    ASSERT_NE(newIfo, oldIfo);
    ASSERT_GT(operations, 4) << "a save opens, writes, syncs and renames two files";

    for (int crashAt = 0; crashAt <= operations; ++crashAt) {
        CopyDirectory(old, disc);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The process ends at the operation the countdown reaches.
            int countdown = crashAt;
            vrm::SetFaultHook(
                [](void* left, const char*) {
                    if ((*static_cast<int*>(left))-- == 0) _exit(0);
                    return 0;
                },
                &countdown);
            AddPlaylistAndSave(disc);
            _exit(0);
        }
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        h = fnVR_MANGRBegin();
        const int playlists = fnVR_MANGROpen(h, disc.c_str()) ? fnVR_GetPLCount(h) : -1;
        fnVR_MANGREnd(h);
        EXPECT_TRUE(playlists == 1 || playlists == 2) << "crash at operation " << crashAt << ": " << playlists;
        for (const char* name : {kIfo, kBup}) {
            const Bytes now = ReadWholeFile((disc / name).string());
            EXPECT_TRUE(now == oldIfo || now == newIfo) << name << " after a crash at operation " << crashAt;
        }
    }
}
