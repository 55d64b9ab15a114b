// The unused space of a stream file: sectors an edit gave up are given back
// only by a save that wrote both management files, and never where a
// recording of the saved tables lies; a new recording goes into the first
// run of unused sectors that reads as zeros and is large enough.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "platform/file.h"
#include "support/Ints.h"
#include "support/PiecedDisc.h"

namespace {

const long long kSector = 2048;
const char kMp2[] = "pal_mpeg2_mp2_4x3.vob";  // 149 sectors
const char kLpcm[] = "pal_mpeg2_lpcm_16x9.vob";  // 312 sectors

struct Opened {
    void* h = fnVR_MANGRBegin();
    explicit Opened(const PiecedDisc& disc) { EXPECT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1); }
    ~Opened() { fnVR_MANGREnd(h); }
    VR_RELEASED_SPACE Released() const {
        VR_RELEASED_SPACE r{};
        EXPECT_EQ(fnVR_GetReleasedSpace(h, &r), 1);
        return r;
    }
};

// The next data at or after offset (-1: none) and the next hole at or
// after it, in the stream file.
Ints DataAndHole(const PiecedDisc& disc, long long offset) {
    const int fd = open(disc.Path("VR_MOVIE.VRO").c_str(), O_RDONLY | O_CLOEXEC);
    const off_t data = lseek(fd, offset, SEEK_DATA), hole = lseek(fd, offset, SEEK_HOLE);
    close(fd);
    return Ints({data, hole});
}

// The last (done, total) an append reported.
DWORD g_progress[2];
int LastProgress(void*, DWORD phase, DWORD done, DWORD total, DWORD) {
    if (phase == VRO_PROGRESS_APPEND) g_progress[0] = done, g_progress[1] = total;
    return 1;
}

// "" when the two streams hold the same bytes, else where they differ
// first (megabytes of bytes make a poor failure message).
std::string Difference(const std::string& got, const std::string& want) {
    if (got == want) return "";
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    return std::to_string(got.size()) + " bytes, expected " + std::to_string(want.size()) + "; first difference at " +
           std::to_string(at);
}

int FailPunch(void* error, const char* operation) {
    return std::strcmp(operation, "punch") == 0 ? *static_cast<int*>(error) : 0;
}

// LPCM recording (312 sectors, 4096-byte aligned), 2048 sectors (4 MB) of
// other data no recording uses, MP2 recording (149 sectors).
PiecedDisc DiscWithUnusedData() {
    return PiecedDisc(
        {{SampleBytes(kLpcm), true}, {std::string(2048 * 2048, '\xA5'), false}, {SampleBytes(kMp2), true}});
}

}  // namespace

// Runs that reach into the recordings on both sides, and one inside a
// recording: the save gives back exactly the 2048 sectors between them (a
// hole, the file's length kept), the recordings read as before, and the
// next save gives back nothing more.
TEST(StreamSpace, ASaveGivesBackThePendingRunsLessWhatRecordingsUse) {
    PiecedDisc disc = DiscWithUnusedData();
    Opened o(disc);
    ASSERT_EQ(Ints({fnVR_ReleaseStreamSectors(o.h, 0, 200, 2248), fnVR_ReleaseStreamSectors(o.h, 0, 2400, 50),
                    fnVR_ReleaseStreamSectors(o.h, 0, 0xFFFFFF00u, 0x100)}),
              Ints({1, 1, 0}));
    EXPECT_EQ(Difference(disc.Stream(), disc.stream), "") << "nothing is given back before the save";
    ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
    const VR_RELEASED_SPACE r = o.Released();
    if (r.llMovieUnsupported) GTEST_SKIP() << "this file system punches no holes";
    EXPECT_EQ(Ints({r.llMovieBytes, r.llStillBytes, r.dwFailedRuns}), Ints({2048 * kSector, 0, 0}));
    std::string expected = disc.stream;
    expected.replace(312 * kSector, 2048 * kSector, 2048 * kSector, '\0');
    EXPECT_EQ(Difference(disc.Stream(), expected), "");
    EXPECT_EQ(DataAndHole(disc, 0), Ints({0, 312 * kSector}));
    EXPECT_EQ(DataAndHole(disc, 312 * kSector), Ints({2360 * kSector, 312 * kSector}));

    ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
    EXPECT_EQ(o.Released().llMovieBytes, 0) << "the list went with the save that gave it back";
}

// A handle ended without saving, and a save that fails, give back nothing;
// the retry of that save does. A file system without hole punching keeps
// the sectors and the save stands; another failure is counted.
TEST(StreamSpace, NothingIsGivenBackWithoutASaveThatWroteBothFiles) {
    PiecedDisc disc = DiscWithUnusedData();
    {
        Opened o(disc);
        ASSERT_EQ(fnVR_ReleaseStreamSectors(o.h, 0, 312, 2048), 1);
    }
    EXPECT_EQ(Difference(disc.Stream(), disc.stream), "") << "ended without a save";
    const std::vector<unsigned char> ifo = disc.Ifo();

    for (const int error : {EOPNOTSUPP, EIO}) {
        Opened o(disc);
        ASSERT_EQ(fnVR_ReleaseStreamSectors(o.h, 0, 312, 2048), 1);
        int failure = error;
        vrm::SetFaultHook(FailPunch, &failure);
        const int saved = fnVR_MANGRSave(o.h, nullptr);
        vrm::SetFaultHook(nullptr, nullptr);
        const VR_RELEASED_SPACE r = o.Released();
        EXPECT_EQ(Ints({saved, r.llMovieBytes, r.llMovieUnsupported, r.dwFailedRuns, r.llFailedBytes}),
                  error == EOPNOTSUPP ? Ints({1, 0, 2048 * kSector, 0, 0}) : Ints({1, 0, 0, 1, 2048 * kSector}));
        EXPECT_EQ(Difference(disc.Stream(), disc.stream), "");
    }

    Opened o(disc);
    ASSERT_EQ(fnVR_ReleaseStreamSectors(o.h, 0, 312, 2048), 1);
    vrm::SetFaultHook([](void*, const char* operation) { return std::strcmp(operation, "rename") == 0 ? EIO : 0; },
                      nullptr);
    const int failed = fnVR_MANGRSave(o.h, nullptr);
    vrm::SetFaultHook(nullptr, nullptr);
    EXPECT_EQ(Ints({failed, o.Released().llMovieBytes}), Ints({0, 0}));
    EXPECT_EQ(Difference(disc.Stream(), disc.stream), "");
    EXPECT_EQ(disc.Ifo(), ifo);
    ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
    const VR_RELEASED_SPACE r = o.Released();
    EXPECT_EQ(r.llMovieBytes + r.llMovieUnsupported, 2048 * kSector) << "the retry gives them back";
}

// Sectors behind the last recording (left by a recording deleted from the
// end) are cut off rather than punched: the file ends where the
// recordings do, and the next add appends there.
TEST(StreamSpace, SectorsBehindTheLastRecordingAreCutOff) {
    PiecedDisc disc({{SampleBytes(kLpcm), true}, {std::string(100 * 2048, '\xA5'), false}});
    Opened o(disc);
    ASSERT_EQ(fnVR_ReleaseStreamSectors(o.h, 0, 312, 100), 1);
    ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
    EXPECT_EQ(o.Released().llMovieBytes, 100 * kSector);
    EXPECT_EQ(Difference(disc.Stream(), disc.stream.substr(0, 312 * 2048)), "");
    ASSERT_EQ(fnVR_AddMpegFile(o.h, SamplePath(kMp2).c_str(), nullptr), 1);
    ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
    EXPECT_EQ(VobStart(o.h, 2), 312);
    EXPECT_EQ(Difference(disc.Stream(), disc.stream.substr(0, 312 * 2048) + SampleBytes(kMp2)), "");
}

// Unused runs of 100 zero sectors (too small for the 149 of the MP2
// sample), of 300 that hold one byte other than zero, and of 400 zero
// sectors (a hole given back, or written zeros): three adds before one save
// take sectors 1073 and 1222 of the last run (each its own place) and the
// end of the stream (the 102 left are too few). Before the save the new
// cells' bytes are those of the source files; the save writes each where
// its VOB says, the file grows by the third alone, and progress counts all
// three.
TEST(StreamSpace, AnAddGoesIntoTheFirstZeroedRunLargeEnoughForIt) {
    std::string marked(300 * 2048, '\0');
    marked[150 * 2048 + 7] = 1;
    const std::string lpcm = SampleBytes(kLpcm), mp2 = SampleBytes(kMp2);
    for (const bool hole : {false, true}) {
        SCOPED_TRACE(hole ? "a hole given back" : "zeros written");
        PiecedDisc disc({{lpcm, true},
                         {std::string(100 * 2048, '\0'), false},
                         {lpcm, true},
                         {marked, false},
                         {mp2, true},
                         {std::string(400 * 2048, hole ? '\xA5' : '\0'), false},
                         {mp2, true}});
        ASSERT_EQ(disc.starts, std::vector<DWORD>({0, 412, 1024, 1573}));
        Opened o(disc);
        if (hole) {
            ASSERT_EQ(fnVR_ReleaseStreamSectors(o.h, 0, 1173, 400), 1);
            ASSERT_EQ(fnVR_MANGRSave(o.h, nullptr), 1);
        }
        for (int i = 0; i < 3; ++i) ASSERT_EQ(fnVR_AddMpegFile(o.h, SamplePath(kMp2).c_str(), nullptr), 1);
        EXPECT_EQ(Ints({VobStart(o.h, 5), VobStart(o.h, 6), VobStart(o.h, 7)}), Ints({1173, 1322, 1722}));
        seg cell{};
        ASSERT_EQ(fnVR_GetOPGCEntryPtInfo(o.h, 6, &cell, 0), 1);  // VOB 6's cell
        EXPECT_EQ(std::string(cell.szFileName), SamplePath(kMp2)) << "an unsaved recording is read from its file";
        EXPECT_EQ(Ints({cell.llStartPos, cell.llEndPos}), Ints({0, 149 * kSector}));

        ASSERT_EQ(fnVR_MANGRSave(o.h, LastProgress), 1);
        EXPECT_EQ(Ints({g_progress[0], g_progress[1]}), Ints({3 * 149, 3 * 149}));
        std::string expected = disc.stream;
        expected.replace(1173 * 2048, 400 * 2048, 400 * 2048, '\0');
        expected.replace(1173 * 2048, 149 * 2048, mp2);
        expected.replace(1322 * 2048, 149 * 2048, mp2);
        expected += mp2;
        EXPECT_EQ(Difference(disc.Stream(), expected), "");
    }
}

// A save cancelled after the recording was written into its place leaves
// the place reading as zeros again and the management files as they were;
// data that turns up in the place before the save (a recording someone can
// still recover) is never written over: the save is refused.
TEST(StreamSpace, AFailedSaveLeavesThePlaceAsItWasAndDataFoundThereStays) {
    PiecedDisc disc({{SampleBytes(kLpcm), true}, {std::string(400 * 2048, '\0'), false}, {SampleBytes(kMp2), true}});
    const std::vector<unsigned char> ifo = disc.Ifo();
    Opened o(disc);
    ASSERT_EQ(fnVR_AddMpegFile(o.h, SamplePath(kMp2).c_str(), nullptr), 1);
    ASSERT_EQ(VobStart(o.h, 3), 312);
    const auto cancelWhenWritten = [](void*, DWORD phase, DWORD done, DWORD, DWORD) {
        return phase == VRO_PROGRESS_APPEND && done > 0 ? 0 : 1;
    };
    EXPECT_EQ(Ints({fnVR_MANGRSave(o.h, cancelWhenWritten), fnVR_MANGRGetLastError(o.h)}),
              Ints({0, VRO_ERR_CANCELLED}));
    EXPECT_EQ(Difference(disc.Stream(), disc.stream), "");
    EXPECT_EQ(disc.Ifo(), ifo);

    std::string found = disc.stream;
    found[400 * 2048] = 0x47;
    WriteWholeFile(disc.Path("VR_MOVIE.VRO"), std::vector<unsigned char>(found.begin(), found.end()));
    VR_STATUS status{};
    EXPECT_EQ(fnVR_MANGRSave(o.h, nullptr), 0);
    fnVR_MANGRGetLastStatus(o.h, &status);
    EXPECT_EQ(status.dwCode, DWORD{VRO_ERR_PLACE_IN_USE}) << status.szText;
    EXPECT_EQ(Difference(disc.Stream(), found), "");
    EXPECT_EQ(disc.Ifo(), ifo);
}
