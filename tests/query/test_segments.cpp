// Cells and entry-point segments: stream attributes, frame windows, where
// the bytes are (queued source file or stream file), continuation records,
// and numbers that name nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "query_disc.h"
#include "tables/CTMAPI.h"

namespace {

seg Zeroed() {
    seg s;
    std::memset(&s, 0, sizeof s);
    return s;
}

TEST(CellQuery, QueuedDataIsInTheSourceFileAndSavedDataInTheStreamFile) {
    QueryDisc disc;
    Recording first = UniformRecording(4, 100, kStart);
    Recording second = MakeRecording({{12, 50}, {12, 50}, {12, 50}}, 25000, 0, kStart);
    disc.AddMovie(first, "first.mpg", 15000);
    const std::string source = disc.AddMovie(second, "second.mpg", 20000);

    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_EQ(s.dwSRPN, 2u);
    EXPECT_EQ(s.dwCellType, 0u);
    EXPECT_EQ(s.dwEntryPtNs, 1u);
    EXPECT_EQ(s.dwFrameNs, 36u);
    EXPECT_EQ(s.dwDuration, 1440u);
    EXPECT_EQ(s.dwFrameRate, 25000u);
    EXPECT_EQ(s.dwVideoBitrate, 8000000u);
    EXPECT_STREQ(s.szFileName, source.c_str());
    EXPECT_EQ(s.llStartPos, 0);  // the second file's first byte
    EXPECT_EQ(s.llEndPos, 150 * 2048);
    EXPECT_EQ(s.dwHasNext, 0u);

    ASSERT_EQ(fnVR_MANGRSave(disc.m, nullptr), 1);
    s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_STREQ(s.szFileName, disc.m->m_pMovie->fnGetStreamPath());
    EXPECT_EQ(s.llStartPos, 400 * 2048);  // behind the first recording's 400 sectors
    EXPECT_EQ(s.llEndPos, 550 * 2048);
    EXPECT_EQ(s.dwVideoBitrate, 8000000u);
}

TEST(CellQuery, AFrameWindowNarrowsTheCell) {
    QueryDisc disc;
    Recording r = UniformRecording(4, 100, kStart);
    disc.AddMovie(r, "a.mpg", 15000);
    seg s = Zeroed();
    ASSERT_EQ(fnVR_GetOPGCCellInfo(disc.m, 1, 1, &s, 10, 40), 1);
    EXPECT_EQ(s.dwFrameNs, 30u);
    EXPECT_EQ(s.dwDuration, 1200u);
    // The byte length is the one of the stream range the table found.
    seg raw = Zeroed();
    ASSERT_EQ(CM_AVFIT(disc.Model().pM_AVFIT).fnGet_iTH_VOBI_Info(1, &raw, kStart, kStart + 4 * kVobu, 10, 40), 1);
    EXPECT_GT(raw.llEndPos, raw.llStartPos);
    EXPECT_EQ(s.llEndPos - s.llStartPos, raw.llEndPos - raw.llStartPos);
    EXPECT_EQ(s.dwVideoBitrate, 6000000u);
}

TEST(CellQuery, StillCellIsOnePictureShownForTheStillTime) {
    QueryDisc disc;
    const std::string source = disc.AddStill({2, 3}, "stills.vob");
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 1, &s, 0, 0), 1);
    EXPECT_EQ(s.dwCellType, 1u);
    EXPECT_EQ(s.dwSRPN, 1u);
    EXPECT_EQ(s.dwDuration, 3000u);  // STILL_TM of a new disc is 3 s
    EXPECT_STREQ(s.szFileName, source.c_str());
    EXPECT_EQ(s.llStartPos, 0);
    EXPECT_EQ(s.llEndPos, 2 * 2048);
}

TEST(CellQuery, NumbersThatNameNoCellGiveZero) {
    QueryDisc disc;
    Recording r = UniformRecording(4, 100, kStart);
    disc.AddMovie(r, "a.mpg", 15000);
    seg s = Zeroed();
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(0, 1, &s, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(1, 0, &s, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(2, 1, &s, 0, 0), 0);  // one program only
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(257, 1, &s, 0, 0), 0);  // not program 257 mod 256
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(1, 65537, &s, 0, 0), 0);  // nor cell 65537 mod 65536
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(-1, 1, &s, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(1, 1, nullptr, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetCellInfo(nullptr, 1, 1, &s, 0, 0), 0);
}

// The original chain made of the three cells A, B, C of
// AddContinuationCells, in one program.
class ContinuationChain : public ::testing::Test {
protected:
    void SetUp() override {
        disc.AddMovie(recording, "a.mpg", 15000, false);
        AddContinuationCells(disc.Original());
        CPGCI chain(disc.Original());
        disc.Model().pORG_PGCI->pgi.assign(PGCI::kPGISize, 0);
        chain.fnSet_c1_PG_Ns(1);
        chain.fnSet_wC_Ns(0, 3);
    }
    QueryDisc disc;
    Recording recording = UniformRecording(8, 10, kStart);
};

TEST_F(ContinuationChain, CellCountsOfSegments) {
    EXPECT_EQ(disc.m->fnGetOPGCCellNsofEntryPt(1), 3u);  // A, B and C's first part
    EXPECT_EQ(disc.m->fnGetOPGCCellNsofEntryPt(2), 1u);  // within C
    EXPECT_EQ(disc.m->fnGetOPGCCellNsofEntryPt(0), 1u);  // A before its entry point
    EXPECT_EQ(disc.m->fnGetOPGCCellNsofEntryPt(1, 2, 0), 2u);  // B whole, then C's first part
    EXPECT_EQ(fnVR_GetOPGCCellNsofEntryPt(disc.m, 1, 1, 1), 3u);
    // Nothing to count: a failed query counts its own cell.
    EXPECT_EQ(disc.m->fnGetOPGCCellNsofEntryPt(3), 1u);
}

TEST_F(ContinuationChain, CallerChainedRecordsAreFilledAsFarAsTheyReach) {
    seg head = Zeroed(), second = Zeroed(), third = Zeroed();
    head.pNext = &second;
    second.pNext = &third;
    second.dwHasNext = 7;  // left over from an earlier query
    ASSERT_EQ(fnVR_GetOPGCEntryPtInfo(disc.m, 1, &head, 1), 1);
    EXPECT_EQ(head.dwHasNext, 1u);
    EXPECT_EQ(head.dwNextNs, 2u);
    EXPECT_EQ(second.dwHasNext, 1u);
    EXPECT_EQ(second.dwNextNs, 1u);
    EXPECT_EQ(third.dwHasNext, 0u);
    EXPECT_EQ(third.dwNextNs, 0u);
    EXPECT_EQ(head.dwFrameNs, 36u);
    EXPECT_EQ(second.dwFrameNs, 24u);
    EXPECT_EQ(third.dwFrameNs, 24u);  // C up to its entry point
    // VOBUs of 10 sectors. A piece that starts on a VOBU boundary is read
    // from the VOBU before it, whose 12 frames are skipped.
    EXPECT_EQ(head.llStartPos, 0);
    EXPECT_EQ(head.llEndPos, 30 * 2048);
    EXPECT_EQ(second.llStartPos, 20 * 2048);
    EXPECT_EQ(second.dwSkipFrames, 12u);
    EXPECT_EQ(second.llEndPos, 50 * 2048);
    EXPECT_EQ(third.llStartPos, 40 * 2048);
    EXPECT_EQ(third.llEndPos, 70 * 2048);

    // One record behind the head: it is filled and says the segment goes on.
    seg only = Zeroed(), next = Zeroed();
    only.pNext = &next;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 1, 1, &only, 1), 1);
    EXPECT_EQ(only.dwNextNs, 1u);
    EXPECT_EQ(next.dwHasNext, 1u);
    EXPECT_EQ(next.dwNextNs, 0u);
}

TEST_F(ContinuationChain, WithoutFollowThePointerIsNotTouched) {
    seg s = Zeroed();
    seg* const untouched = reinterpret_cast<seg*>(&s.reserved_tail);
    s.pNext = untouched;
    s.dwNextNs = 5;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 0), 1);
    EXPECT_EQ(s.pNext, untouched);
    EXPECT_EQ(s.dwHasNext, 0u);
    EXPECT_EQ(s.dwNextNs, 0u);
    EXPECT_EQ(s.dwFrameNs, 36u);
}

TEST_F(ContinuationChain, AllocatedRecordsAreReleasedByTheCaller) {
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetEntryPtInfo(disc.Original(), -1, -1, 1, &s, 1, 1), 1);
    ASSERT_NE(s.pNext, nullptr);
    ASSERT_NE(s.pNext->pNext, nullptr);
    EXPECT_EQ(s.dwNextNs, 2u);
    EXPECT_EQ(s.pNext->pNext->dwHasNext, 0u);
    EXPECT_EQ(s.pNext->pNext->llEndPos, 70 * 2048);
    fnReleaseSegChain(&s);  // the sanitizer run reports anything left
    EXPECT_EQ(s.pNext, nullptr);
    EXPECT_EQ(s.dwHasNext, 0u);
}

TEST_F(ContinuationChain, AddressesThatNameNoSegmentGiveZero) {
    seg s = Zeroed();
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(3, &s, 0), 0);  // two entry points
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(65537, &s, 0), 0);  // not entry point 1
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(-2, &s, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 1, 2, &s, 0), 0);  // A has one entry point
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 4, 0, &s, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(-1, 1, 1, &s, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(2, -1, 1, &s, 0), 0);  // no program 2
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, -1, 3, &s, 0), 0);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(0, 1, 1, &s, 0), 0);
    // Program-relative and cell-relative forms of the same segment.
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, -1, 2, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 3, 1, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    EXPECT_EQ(s.llStartPos, 60 * 2048);
    EXPECT_EQ(s.llEndPos, 80 * 2048);
}

TEST(EntryPointQuery, BeyondTheEntryPointsOfAStillChainGivesZero) {
    QueryDisc disc;
    disc.AddStill({2}, "stills.vob");
    seg s = Zeroed();
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 1), 1);
    EXPECT_EQ(s.dwCellType, 1u);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(2, &s, 1), 0);
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 1, 2, &s, 1), 0);
}

TEST(EntryPointQuery, PositionsBeyondFourGigabytesAreKept) {
    QueryDisc disc;
    // 2200 VOBUs of 1000 sectors: 4.5 GB, no two VOBU boundaries 4 GB apart.
    Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(2200, {BYTE{12}, 1000}), 25000, 0, kStart);
    ASSERT_EQ(disc.m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
    AddCell(disc.Original(), 1, kStart, kStart + 2200 * kVobu, {kStart, kStart + 2150 * kVobu});
    disc.m->m_pMovie->m_dwVROSize = 2200 * 1000;  // as if saved
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(2, &s, 0), 1);
    EXPECT_STREQ(s.szFileName, disc.m->m_pMovie->fnGetStreamPath());
    EXPECT_EQ(s.llStartPos, 2149LL * 1000 * 2048);  // read from the VOBU before, skipping it
    EXPECT_EQ(s.dwSkipFrames, 12u);
    EXPECT_EQ(s.llEndPos, 2200LL * 1000 * 2048);
    EXPECT_EQ(s.dwFrameNs, 50u * 12);
}

TEST(EntryPointQuery, AmbiguousPositionsAreNotGuessed) {
    QueryDisc disc;
    // VOBUs of 512 sectors: boundaries 4096 VOBUs apart share their low 32
    // bits, so the start of the VOB could also be 4 GB further on.
    Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(4100, {BYTE{12}, 512}), 25000, 0, kStart);
    ASSERT_EQ(disc.m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
    AddCell(disc.Original(), 1, kStart, kStart + 4100 * kVobu, {kStart, kStart + 10 * kVobu});
    disc.m->m_pMovie->m_dwVROSize = 4100 * 512;
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 120u);  // the attributes are still there
    EXPECT_STREQ(s.szFileName, "");
    EXPECT_EQ(s.llStartPos, 0);
    EXPECT_EQ(s.llEndPos, 0);
    EXPECT_EQ(s.dwHeadSize, 0u);
    EXPECT_EQ(s.dwSkipFrames, 0u);
}

}  // namespace
