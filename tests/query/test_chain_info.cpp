// Summaries of the original chain, its programs and the playlists, and the
// playlist forms of the cell and entry-point queries.
#include <gtest/gtest.h>

#include <cstring>

#include "io/codecs.h"
#include "platform/clock.h"
#include "query_disc.h"
#include "support/Time.h"

namespace {

template <class T>
T Filled() {
    T v;
    std::memset(&v, 0xAB, sizeof v);
    return v;
}

// The date text a program gets on the given day.
std::string DateText(const SYSTEMTIME& t) {
    char text[128] = {};
    FormatDateText(&t, text, 0);
    return text;
}

// Two recordings on different days (two programs) and a still group on the
// second day.
class TwoDays : public ::testing::Test {
protected:
    void SetUp() override {
        {
            vrm::ScopedTestClock clock(day1, 0);
            disc.AddMovie(first);
        }
        vrm::ScopedTestClock clock(day2, 0);
        disc.AddMovie(second);
        disc.AddStill({2});
    }
    SYSTEMTIME day1 = MakeTime(2021, 3, 4, 5, 6, 7);
    SYSTEMTIME day2 = MakeTime(2021, 3, 5, 23, 58, 59);
    Disc disc;
    Recording first = UniformRecording(4, 100, kStart);  // 48 frames, 1920 ms
    Recording second = UniformRecording(2, 100, kStart);  // 24 frames, 960 ms
};

TEST_F(TwoDays, OriginalChainByMode) {
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    // Mode 0 counts entry points, 1 cells, 2 programs; content type 2 is
    // movie and still cells; the bytes behind the text stay the caller's.
    ASSERT_EQ(fnVR_GetOPGCInfo(disc.m, &info, 0), 1);
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration, info.dwContentTy, info.dwYear, info.dwMonth, info.dwDay, info.dwHour,
                    info.dwMinute, info.dwSecond, info.szPrmText[0], info.reserved_164[0]}),
              Ints({3, 1920 + 960 + 3000, 2, 2021, 3, 4, 5, 6, 7, 0, 0xAB}));
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 1), 1);
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration}), Ints({3, 1920 + 960 + 3000}));
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 2), 1);
    EXPECT_EQ(info.dwCount, 2u);
}

TEST_F(TwoDays, ProgramsWithTheirTextDateAndFirstSegment) {
    DVDPGINFO info = Filled<DVDPGINFO>();
    // Program 2: the recording's and the still group's entry points; its
    // segment record is its own first entry point's, zeroed first.
    ASSERT_EQ(fnVR_GetOPGCPGInfo(disc.m, 2, &info, 0), 1);
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration, info.dwContentTy, info.dwDay, info.dwHour, info.dwSecond,
                    info.EntrySeg.dwSRPN, info.EntrySeg.dwFrameNs, info.EntrySeg.reserved_tail[0]}),
              Ints({2, 960 + 3000, 2, 5, 23, 59, 2, 24, 0}));
    EXPECT_EQ(std::string(info.szPrmText), DateText(day2));
    ASSERT_EQ(disc.m->fnGetOPGCPGInfo(1, &info, 1), 1);  // counting cells
    EXPECT_EQ(Ints({info.dwCount, info.dwContentTy, info.EntrySeg.dwSRPN}), Ints({1, 0, 1}));
    EXPECT_EQ(std::string(info.szPrmText), DateText(day1));
    EXPECT_EQ(Ints({disc.m->fnGetOPGCPGInfo(3, &info, 0), disc.m->fnGetOPGCPGInfo(0, &info, 0),
                    disc.m->fnGetOPGCPGInfo(257, &info, 0)}),
              Ints(3, 0));
}

TEST(ChainInfo, EmptyAndStillOnlyChains) {
    Disc disc;
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 0), 1);
    // Zeroed as a whole.
    EXPECT_EQ(Ints({info.dwContentTy, info.dwYear, info.reserved_164[51]}), Ints(3, 0));
    DVDPGINFO program = Filled<DVDPGINFO>();
    EXPECT_EQ(disc.m->fnGetOPGCPGInfo(1, &program, 0), 0);
    EXPECT_EQ(Ints({program.dwCount, program.EntrySeg.dwSRPN}), Ints(2, 0));
    disc.AddStill({2, 2});
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 1), 1);
    EXPECT_EQ(Ints({info.dwContentTy, info.dwDuration}), Ints({1, 3000}));
}

// A recording and one playlist over its VOB, made on a fixed day.
class OnePlaylist : public ::testing::Test {
protected:
    void SetUp() override {
        vrm::ScopedTestClock clock(MakeTime(2022, 11, 12, 13, 14, 15), 0);
        disc.AddMovie(recording);
        chain = disc.AddPlaylist();
        AddContinuationCells(chain);
    }
    Disc disc;
    Recording recording = UniformRecording(8, 10, kStart);
    PGCI* chain = nullptr;
};

TEST_F(OnePlaylist, PlaylistInformation) {
    EXPECT_EQ(fnVR_GetPLCount(disc.m), 1);
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    // Two entry points, covering the whole chain.
    ASSERT_EQ(fnVR_GetPLInfo(disc.m, 1, &info, 0), 1);
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration, info.dwYear, info.dwMonth, info.dwSecond, info.reserved_164[0]}),
              Ints({2, 3840, 2022, 11, 15, 0xAB}));
    BYTE text[128];
    CPL_SRPT(disc.Model().pRTR_VMGI->pPL_SRPT.get()).fnGet_c128_PRM_TXTI(0, text);
    EXPECT_EQ(std::memcmp(info.szPrmText, text, 128), 0);
    ASSERT_EQ(disc.m->fnGetPLInfo(1, &info, 1), 1);  // counting cells
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration}), Ints({3, 3840}));
}

TEST_F(OnePlaylist, CellsAndSegmentsOfThePlaylist) {
    seg s{};
    ASSERT_EQ(fnVR_GetPLCellInfo(disc.m, 1, 2, &s, 0, 0), 1);
    // B, read from the VOBU before it.
    EXPECT_EQ(Ints({s.dwEntryPtNs, s.dwFrameNs, s.llEndPos - s.llStartPos}), Ints({0, 24, 30 * 2048}));
    EXPECT_EQ(Ints({fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1), fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1, 1),
                    fnVR_GetPLCellNsofEntryPt(disc.m, 1, 3, 1)}),
              Ints({3, 3, 1}));
    ASSERT_EQ(fnVR_GetPLEntryPtInfo(disc.m, 1, 2, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    ASSERT_EQ(fnVR_GetPLEntryPtInfo(disc.m, 1, 3, 0, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 24u);
}

TEST_F(OnePlaylist, PlaylistsThatDoNotExistGiveZero) {
    DVDPGCINFO info{};
    seg s{};
    for (int pl : {0, 2, -1, 257}) {
        EXPECT_EQ(disc.m->fnGetPLInfo(pl, &info, 0), 0) << pl;
        EXPECT_EQ(disc.m->fnGetPLCellInfo(pl, 1, &s, 0, 0), 0) << pl;
        EXPECT_EQ(disc.m->fnGetPLEntryPtInfo(pl, 1, 1, &s, 0), 0) << pl;
        EXPECT_EQ(disc.m->fnGetPLEntryPtInfo(pl, 1, &s, 0), 0) << pl;
        EXPECT_EQ(disc.m->fnGetPLCellNsofEntryPt(pl, 1, 1), 0u) << pl;
        EXPECT_EQ(disc.m->fnGetPLCellNsofEntryPt(pl, 1), 0u) << pl;
    }
    // A pointer that names no chain.
    CPL_SRPT(disc.Model().pRTR_VMGI->pPL_SRPT.get()).fnSet_c1_PGCN(0, 9);
    EXPECT_EQ(disc.m->fnGetPLCellInfo(1, 1, &s, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetPLCellNsofEntryPt(1, 1), 0u);
}

// A null handle, and a manager never bound to a disc (it has no tables).
TEST(FlatQueries, NoDiscGivesZero) {
    DVDPGCINFO info{};
    DVDPGINFO program{};
    seg s{};
    CVR_MANGR m;
    EXPECT_EQ(Ints({m.fnGetOPGCInfo(&info, 0), m.fnGetOPGCEntryPtInfo(1, &s, 0), m.fnGetOPGCCellNsofEntryPt(1),
                    m.fnGetPLCount()}),
              Ints(4, 0));
    EXPECT_EQ(Ints({fnVR_GetPLCount(nullptr), fnVR_GetPLInfo(nullptr, 1, &info, 0), fnVR_GetOPGCInfo(nullptr, &info, 0),
                    fnVR_GetOPGCPGInfo(nullptr, 1, &program, 0), fnVR_GetOPGCCellInfo(nullptr, 1, 1, &s, 0, 0),
                    fnVR_GetOPGCCellNsofEntryPt(nullptr, 1), fnVR_GetOPGCCellNsofEntryPt(nullptr, 1, 1, 1),
                    fnVR_GetOPGCEntryPtInfo(nullptr, 1, &s, 0), fnVR_GetOPGCEntryPtInfo(nullptr, 1, 1, 1, &s, 0),
                    fnVR_GetPLCellInfo(nullptr, 1, 1, &s, 0, 0), fnVR_GetPLCellNsofEntryPt(nullptr, 1, 1),
                    fnVR_GetPLCellNsofEntryPt(nullptr, 1, 1, 1), fnVR_GetPLEntryPtInfo(nullptr, 1, 1, &s, 0),
                    fnVR_GetPLEntryPtInfo(nullptr, 1, 1, 1, &s, 0)}),
              Ints(14, 0));
}

}  // namespace
