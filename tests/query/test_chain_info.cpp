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
            disc.AddMovie(first, "a.mpg", 15000);
        }
        vrm::ScopedTestClock clock(day2, 0);
        disc.AddMovie(second, "b.mpg", 15000);
        disc.AddStill({2}, "stills.vob");
    }
    SYSTEMTIME day1 = MakeTime(2021, 3, 4, 5, 6, 7);
    SYSTEMTIME day2 = MakeTime(2021, 3, 5, 23, 58, 59);
    QueryDisc disc;
    Recording first = UniformRecording(4, 100, kStart);  // 48 frames, 1920 ms
    Recording second = UniformRecording(2, 100, kStart);  // 24 frames, 960 ms
};

TEST_F(TwoDays, OriginalChainByMode) {
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    ASSERT_EQ(fnVR_GetOPGCInfo(disc.m, &info, 0), 1);
    EXPECT_EQ(info.dwCount, 3u);  // entry points
    EXPECT_EQ(info.dwDuration, 1920u + 960u + 3000u);
    EXPECT_EQ(info.dwContentTy, 2u);  // movie and still cells
    EXPECT_EQ(info.dwYear, 2021u);
    EXPECT_EQ(info.dwMonth, 3u);
    EXPECT_EQ(info.dwDay, 4u);
    EXPECT_EQ(info.dwHour, 5u);
    EXPECT_EQ(info.dwMinute, 6u);
    EXPECT_EQ(info.dwSecond, 7u);
    EXPECT_EQ(info.szPrmText[0], 0);
    EXPECT_EQ(info.reserved_164[0], 0xAB);  // the caller's

    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 1), 1);
    EXPECT_EQ(info.dwCount, 3u);  // cells
    EXPECT_EQ(info.dwDuration, 1920u + 960u + 3000u);
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 2), 1);
    EXPECT_EQ(info.dwCount, 2u);  // programs
}

TEST_F(TwoDays, ProgramsWithTheirTextDateAndFirstSegment) {
    DVDPGINFO info = Filled<DVDPGINFO>();
    ASSERT_EQ(fnVR_GetOPGCPGInfo(disc.m, 2, &info, 0), 1);
    EXPECT_EQ(info.dwCount, 2u);  // the recording's and the still group's entry points
    EXPECT_EQ(info.dwDuration, 960u + 3000u);
    EXPECT_EQ(info.dwContentTy, 2u);
    EXPECT_EQ(info.dwDay, 5u);
    EXPECT_EQ(info.dwHour, 23u);
    EXPECT_EQ(info.dwSecond, 59u);
    EXPECT_EQ(std::string(info.szPrmText), DateText(day2));
    EXPECT_EQ(info.EntrySeg.dwSRPN, 2u);  // this program's own first entry point
    EXPECT_EQ(info.EntrySeg.dwFrameNs, 24u);
    EXPECT_EQ(info.EntrySeg.reserved_tail[0], 0);  // the record is zeroed first

    ASSERT_EQ(disc.m->fnGetOPGCPGInfo(1, &info, 1), 1);
    EXPECT_EQ(info.dwCount, 1u);  // cells
    EXPECT_EQ(info.dwContentTy, 0u);
    EXPECT_EQ(std::string(info.szPrmText), DateText(day1));
    EXPECT_EQ(info.EntrySeg.dwSRPN, 1u);

    EXPECT_EQ(disc.m->fnGetOPGCPGInfo(3, &info, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCPGInfo(0, &info, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCPGInfo(257, &info, 0), 0);
}

TEST(ChainInfo, EmptyAndStillOnlyChains) {
    QueryDisc disc;
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 0), 1);
    EXPECT_EQ(info.dwContentTy, 0u);
    EXPECT_EQ(info.dwYear, 0u);
    EXPECT_EQ(info.reserved_164[51], 0);  // zeroed as a whole
    DVDPGINFO program = Filled<DVDPGINFO>();
    EXPECT_EQ(disc.m->fnGetOPGCPGInfo(1, &program, 0), 0);
    EXPECT_EQ(program.dwCount, 0u);
    EXPECT_EQ(program.EntrySeg.dwSRPN, 0u);

    disc.AddStill({2, 2}, "stills.vob");
    ASSERT_EQ(disc.m->fnGetOPGCInfo(&info, 1), 1);
    EXPECT_EQ(info.dwContentTy, 1u);
    EXPECT_EQ(info.dwDuration, 3000u);
}

TEST(ChainInfo, MissingTablesGiveZero) {
    CVR_MANGR m;  // never bound to a disc
    DVDPGCINFO info{};
    seg s{};
    EXPECT_EQ(m.fnGetOPGCInfo(&info, 0), 0);
    EXPECT_EQ(m.fnGetOPGCEntryPtInfo(1, &s, 0), 0);
    EXPECT_EQ(m.fnGetOPGCCellNsofEntryPt(1), 0u);
    EXPECT_EQ(m.fnGetPLCount(), 0);
}

// A recording and one playlist over its VOB, made on a fixed day.
class OnePlaylist : public ::testing::Test {
protected:
    void SetUp() override {
        vrm::ScopedTestClock clock(MakeTime(2022, 11, 12, 13, 14, 15), 0);
        disc.AddMovie(recording, "a.mpg", 15000);
        chain = disc.AddPlaylist();
        AddContinuationCells(chain);
    }
    QueryDisc disc;
    Recording recording = UniformRecording(8, 10, kStart);
    PGCI* chain = nullptr;
};

TEST_F(OnePlaylist, PlaylistInformation) {
    EXPECT_EQ(fnVR_GetPLCount(disc.m), 1);
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    ASSERT_EQ(fnVR_GetPLInfo(disc.m, 1, &info, 0), 1);
    EXPECT_EQ(info.dwCount, 2u);  // entry points
    EXPECT_EQ(info.dwDuration, 3840u);  // the entry points cover the whole chain
    EXPECT_EQ(info.dwYear, 2022u);
    EXPECT_EQ(info.dwMonth, 11u);
    EXPECT_EQ(info.dwSecond, 15u);
    BYTE text[128];
    CPL_SRPT(disc.Model().pRTR_VMGI->pPL_SRPT.get()).fnGet_c128_PRM_TXTI(0, text);
    EXPECT_EQ(std::memcmp(info.szPrmText, text, 128), 0);
    EXPECT_EQ(info.reserved_164[0], 0xAB);
    ASSERT_EQ(disc.m->fnGetPLInfo(1, &info, 1), 1);
    EXPECT_EQ(info.dwCount, 3u);  // cells
    EXPECT_EQ(info.dwDuration, 3840u);
}

TEST_F(OnePlaylist, CellsAndSegmentsOfThePlaylist) {
    seg s{};
    ASSERT_EQ(fnVR_GetPLCellInfo(disc.m, 1, 2, &s, 0, 0), 1);
    EXPECT_EQ(s.dwEntryPtNs, 0u);
    EXPECT_EQ(s.dwFrameNs, 24u);
    EXPECT_EQ(s.llEndPos - s.llStartPos, 30 * 2048);  // from the VOBU before B
    EXPECT_EQ(fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1), 3u);
    EXPECT_EQ(fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1, 1), 3u);
    EXPECT_EQ(fnVR_GetPLCellNsofEntryPt(disc.m, 1, 3, 1), 1u);
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

TEST(FlatQueries, NullHandleGivesZero) {
    DVDPGCINFO info{};
    DVDPGINFO program{};
    seg s{};
    EXPECT_EQ(fnVR_GetPLCount(nullptr), 0);
    EXPECT_EQ(fnVR_GetPLInfo(nullptr, 1, &info, 0), 0);
    EXPECT_EQ(fnVR_GetOPGCInfo(nullptr, &info, 0), 0);
    EXPECT_EQ(fnVR_GetOPGCPGInfo(nullptr, 1, &program, 0), 0);
    EXPECT_EQ(fnVR_GetOPGCCellInfo(nullptr, 1, 1, &s, 0, 0), 0);
    EXPECT_EQ(fnVR_GetOPGCCellNsofEntryPt(nullptr, 1), 0u);
    EXPECT_EQ(fnVR_GetOPGCCellNsofEntryPt(nullptr, 1, 1, 1), 0u);
    EXPECT_EQ(fnVR_GetOPGCEntryPtInfo(nullptr, 1, &s, 0), 0);
    EXPECT_EQ(fnVR_GetOPGCEntryPtInfo(nullptr, 1, 1, 1, &s, 0), 0);
    EXPECT_EQ(fnVR_GetPLCellInfo(nullptr, 1, 1, &s, 0, 0), 0);
    EXPECT_EQ(fnVR_GetPLCellNsofEntryPt(nullptr, 1, 1), 0u);
    EXPECT_EQ(fnVR_GetPLCellNsofEntryPt(nullptr, 1, 1, 1), 0u);
    EXPECT_EQ(fnVR_GetPLEntryPtInfo(nullptr, 1, 1, &s, 0), 0);
    EXPECT_EQ(fnVR_GetPLEntryPtInfo(nullptr, 1, 1, 1, &s, 0), 0);
}

}  // namespace
