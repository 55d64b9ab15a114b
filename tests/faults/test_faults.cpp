// Failures of the file system and of source files during a save: the call
// reports the failure, the directory stays a valid disc (it opens from its
// management file alone and from its backup alone, with stream files as long
// as the tables say), and a later save succeeds. (A process killed during a
// save is the tool tests' Safety.Kill.)
//
// The tests run as root in CI, and root ignores permission bits: a read-only
// directory and an unreadable source are therefore produced through the
// fault hook (EACCES for every change of the file system) and by a source
// path that names a directory.
#include <gtest/gtest.h>

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
#include "support/PiecedDisc.h"
#include "support/Restamp.h"
#include "support/TempDir.h"
#include "support/Time.h"

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

DiscState StateOf(const fs::path& dir, const char* ifo = kIfo) {
    return {ReadWholeFile((dir / ifo).string()), SizeOf(dir / kMovie), SizeOf(dir / kStill)};
}

// Opens the disc from one management file of dir alone, in a scratch copy,
// through the public interface; which of the states it is: its bytes, and
// stream files at least as long as that state's (data behind them, from an
// append whose cut back failed too, is left for repair). -1 for none, or
// when it does not open whole.
int OpenedState(const fs::path& dir, const char* keep, const std::vector<DiscState>& states) {
    TempDir scratch;
    for (const char* name : {kMovie, kStill, keep})
        if (fs::exists(dir / name)) fs::copy_file(dir / name, scratch.Path() / name);
    void* h = fnVR_MANGRBegin();
    const bool opened = fnVR_MANGROpen(h, scratch.Path().c_str()) && fnVR_MANGRGetLastError(h) == 0;
    fnVR_MANGREnd(h);
    const DiscState found = StateOf(scratch.Path(), keep);
    for (size_t i = 0; opened && i < states.size(); ++i)
        if (found.ifo == states[i].ifo && found.movie >= states[i].movie && found.still >= states[i].still)
            return static_cast<int>(i);
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
    for (const char* name : {kIfo, kBup}) {
        const DiscState now = StateOf(dir, name);
        EXPECT_TRUE(now.ifo == state.ifo && now.movie == state.movie && now.still == state.still)
            << name << " " << when;
    }
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

// The save of a scene made by `make`, undisturbed: the number of file-system
// operations it makes, and the state it reaches.
template <class Make>
DiscState CountedSave(Make make, int& operations) {
    auto s = make();
    vrm::SetFaultHook(
        [](void* count, const char*) {
            ++*static_cast<int*>(count);
            return 0;
        },
        &operations);
    EXPECT_EQ(fnVR_MANGRSave(s->h, nullptr), 1);
    vrm::SetFaultHook(nullptr, nullptr);
    const DiscState after = StateOf(s->dir);
    ExpectValid(s->dir, {after}, "after an undisturbed save");
    return after;
}

// For every operation k of that save: k and every later operation fail
// (a disk that fills up; removing a file still works, so the save can clean
// up after itself). The save reports it, the directory holds one of
// `states`, and a retry reaches `after`.
template <class Make>
void FailFromEveryOperation(Make make, int operations, const std::vector<DiscState>& states, const DiscState& after) {
    for (int failAt = 0; failAt < operations; ++failAt) {
        const std::string when = "failing from operation " + std::to_string(failAt);
        auto s = make();
        int allowed = failAt;
        vrm::SetFaultHook(
            [](void* left, const char* op) {
                return (*static_cast<int*>(left))-- > 0 || std::strcmp(op, "remove") == 0 ? 0 : ENOSPC;
            },
            &allowed);
        EXPECT_EQ(fnVR_MANGRSave(s->h, nullptr), 0) << when;
        vrm::SetFaultHook(nullptr, nullptr);
        ExpectValid(s->dir, states, when);
        ASSERT_EQ(fnVR_MANGRSave(s->h, nullptr), 1) << when;
        ExpectState(s->dir, after, when);
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

// A disk that fills up: from operation k of the save on, every write and
// every reservation fails with ENOSPC, while renames, cuts and removals
// still work, as on a real full disk. For an add of a recording and still
// pictures, and for an edit that writes only the management files, every
// save that fails leaves the directory exactly as it was (both management
// files, both stream lengths, no scratch file), says how much space it
// needs, and a retry succeeds.
TEST(SaveFaults, AFullDiskLeavesTheDirectoryExactlyAsItWas) {
    const std::function<std::unique_ptr<Scene>()> makes[] = {[] {
                                                                 auto s = std::make_unique<Scene>();
                                                                 s->AddBoth();
                                                                 return s;
                                                             },
                                                             [] {
                                                                 auto s = std::make_unique<Scene>();
                                                                 EXPECT_EQ(fnVR_AddPL(s->h), 1);
                                                                 return s;
                                                             }};
    for (const auto& make : makes) {
        int operations = 0;
        const DiscState after = CountedSave(make, operations);
        int failures = 0;
        for (int failAt = 0; failAt < operations; ++failAt) {
            const std::string when = "the disk full from operation " + std::to_string(failAt);
            auto s = make();
            int left = failAt;
            vrm::SetFaultHook(
                [](void* count, const char* op) {
                    const bool fills = std::strcmp(op, "write") == 0 || std::strcmp(op, "reserve") == 0;
                    return (*static_cast<int*>(count))-- > 0 || !fills ? 0 : ENOSPC;
                },
                &left);
            const int saved = fnVR_MANGRSave(s->h, nullptr);
            vrm::SetFaultHook(nullptr, nullptr);
            if (saved) {
                ExpectState(s->dir, after, when + " (after the last write)");
                continue;
            }
            ++failures;
            VR_STATUS status{};
            fnVR_MANGRGetLastStatus(s->h, &status);
            EXPECT_EQ(status.dwCode, DWORD{VRO_ERR_DISK_FULL}) << when << ": " << status.szText;
            EXPECT_NE(
                std::string(status.szText).find("There is no space left on the device holding " + s->dir.string()),
                std::string::npos)
                << when << ": " << status.szText;
            ExpectState(s->dir, s->before, when);
            ExpectValid(s->dir, {s->before}, when);
            ASSERT_EQ(fnVR_MANGRSave(s->h, nullptr), 1) << when;
            ExpectState(s->dir, after, when);
        }
        EXPECT_GE(failures, 2) << "both management files are written";
    }
}

namespace {

// The stream's writes since it reserved its space; -1 before.
int g_streamWrites = -1;

// Ends the process at the second block the save writes into the stream
// file, as a crash would: after the first 2 MB of a recording were written.
int CrashAtSecondStreamWrite(void*, const char* operation) {
    if (std::strcmp(operation, "reserve") == 0) g_streamWrites = 0;
    if (g_streamWrites >= 0 && std::strcmp(operation, "write") == 0 && ++g_streamWrites == 2) _exit(9);
    return 0;
}

}  // namespace

// A crash while a recording of 5 MB is written into 3000 unused sectors
// that read as zeros between two recordings: the management files are the
// old ones, under which those sectors are unused; both recordings read as
// before; the disc opens with both copies good and nothing missing; and the
// part the crash left there is not written over by a later add.
TEST(SaveFaults, ACrashWhileWritingBetweenRecordingsLeavesTheOldDisc) {
    TempDir root;
    const std::string mp2 = SampleBytes("pal_mpeg2_mp2_4x3.vob"), lpcm = SampleBytes("pal_mpeg2_lpcm_16x9.vob");
    const std::string big = ps::Restamped(lpcm, 8, 2 * 90000), bigPath = root.File("big.mpg");
    WriteWholeFile(bigPath, Bytes(big.begin(), big.end()));
    PiecedDisc disc({{mp2, true}, {std::string(3000 * 2048, '\0'), false}, {lpcm, true}});
    const Bytes ifo = disc.Ifo();

    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        void* h = fnVR_MANGRBegin();
        if (!fnVR_MANGROpen(h, disc.dir.Path().c_str()) || !fnVR_AddMpegFile(h, bigPath.c_str(), nullptr) ||
            VobStart(h, 3) != 149)
            _exit(2);
        vrm::SetFaultHook(CrashAtSecondStreamWrite, nullptr);
        fnVR_MANGRSave(h, nullptr);
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 9) << "the child ended with status " << status;

    EXPECT_EQ(ReadWholeFile(disc.Path(kIfo)), ifo);
    EXPECT_EQ(ReadWholeFile(disc.Path(kBup)), ifo);
    const std::string now = disc.Stream();
    ASSERT_EQ(now.size(), disc.stream.size());
    EXPECT_TRUE(now.compare(0, mp2.size(), mp2) == 0 && now.compare(3149 * 2048, lpcm.size(), lpcm) == 0)
        << "a recording changed";
    EXPECT_TRUE(now.compare(149 * 2048, 1024 * 2048, big, 0, 1024 * 2048) == 0) << "the crash came after 2 MB";

    void* h = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
    VR_OPEN_STATE state{};
    VR_STREAM_USE use{};
    ASSERT_EQ(fnVR_GetOpenState(h, &state) && fnVR_GetStreamUse(h, 0, &use, nullptr, 0, nullptr, 0, nullptr, 0), 1);
    EXPECT_EQ(std::vector<long long>({state.dwOtherCopy, state.dwFindings, use.dwExtents, use.dwGaps, use.dwOverlaps,
                                      use.llMissingBytes, use.llTrailingBytes}),
              std::vector<long long>({VR_COPY_SAME, 0, 2, 1, 0, 0, 0}));
    ASSERT_EQ(fnVR_AddMpegFile(h, SamplePath("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr), 1);
    EXPECT_EQ(VobStart(h, 3), 3461) << "behind the last recording";
    fnVR_MANGREnd(h);
}
