// Cells and entry-point segments: stream attributes, frame windows, where
// the bytes are (queued source file or stream file), continuation records,
// and numbers that name nothing.
#include <gtest/gtest.h>

#include <array>
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
    Disc disc;
    Recording first = UniformRecording(4, 100, kStart);
    Recording second = MakeRecording({{12, 50}, {12, 50}, {12, 50}}, 25000, 0, kStart);
    disc.AddMovie(first);
    const std::string source = disc.AddMovie(second, true, 20000);

    seg s = Zeroed();
    // The bytes: the second file from its first byte.
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_EQ(Ints({s.dwSRPN, s.dwCellType, s.dwEntryPtNs, s.dwFrameNs, s.dwDuration, s.dwFrameRate, s.dwVideoBitrate,
                    s.llStartPos, s.llEndPos, s.dwHasNext}),
              Ints({2, 0, 1, 36, 1440, 25000, 8000000, 0, 150 * 2048, 0}));
    EXPECT_STREQ(s.szFileName, source.c_str());
    // Saved: the stream file, behind the first recording's 400 sectors.
    ASSERT_EQ(fnVR_MANGRSave(disc.m, nullptr), 1);
    s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_STREQ(s.szFileName, disc.m->m_pMovie->fnGetStreamPath());
    EXPECT_EQ(Ints({s.llStartPos, s.llEndPos, s.dwVideoBitrate}), Ints({400 * 2048, 550 * 2048, 8000000}));
}

TEST(CellQuery, AFrameWindowNarrowsTheCell) {
    Disc disc;
    Recording r = UniformRecording(4, 100, kStart);
    disc.AddMovie(r);
    seg s = Zeroed();
    ASSERT_EQ(fnVR_GetOPGCCellInfo(disc.m, 1, 1, &s, 10, 40), 1);
    EXPECT_EQ(Ints({s.dwFrameNs, s.dwDuration}), Ints({30, 1200}));
    // The byte length is the one of the stream range the table found.
    seg raw = Zeroed();
    ASSERT_EQ(CM_AVFIT(disc.Model().pM_AVFIT).fnGet_iTH_VOBI_Info(1, &raw, kStart, kStart + 4 * kVobu, 10, 40), 1);
    EXPECT_GT(raw.llEndPos, raw.llStartPos);
    EXPECT_EQ(s.llEndPos - s.llStartPos, raw.llEndPos - raw.llStartPos);
    EXPECT_EQ(s.dwVideoBitrate, 6000000u);
}

TEST(CellQuery, AStillCellIsOnePictureShownForTheStillTime) {
    Disc disc;
    const std::string source = disc.AddStill({2, 3});
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 1, &s, 0, 0), 1);
    // Shown for STILL_TM, 3 s on a new disc.
    EXPECT_EQ(Ints({s.dwCellType, s.dwSRPN, s.dwDuration, s.llStartPos, s.llEndPos}), Ints({1, 1, 3000, 0, 2 * 2048}));
    EXPECT_STREQ(s.szFileName, source.c_str());
    // Its one entry point, and none beyond.
    s = Zeroed();
    EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 1), 1);
    EXPECT_EQ(s.dwCellType, 1u);
    EXPECT_EQ(Ints({disc.m->fnGetOPGCEntryPtInfo(2, &s, 1), disc.m->fnGetOPGCEntryPtInfo(1, 1, 2, &s, 1)}), Ints(2, 0));
}

// The original chain made of the three cells A, B, C of
// AddContinuationCells, in one program.
class ContinuationChain : public ::testing::Test {
protected:
    void SetUp() override {
        disc.AddMovie(recording, false);
        AddContinuationCells(disc.Original());
        CPGCI chain(disc.Original());
        disc.Model().pORG_PGCI->pgi.assign(PGCI::kPGISize, 0);
        chain.fnSet_c1_PG_Ns(1);
        chain.fnSet_wC_Ns(0, 3);
    }
    Disc disc;
    Recording recording = UniformRecording(8, 10, kStart);
};

TEST_F(ContinuationChain, CellCountsOfSegments) {
    // Entry point 1: A, B and C's first part; 2: within C; 0: A before its
    // entry point; from B: B whole, then C's first part. Nothing to count
    // (entry point 3): a failed query counts its own cell.
    EXPECT_EQ(Ints({disc.m->fnGetOPGCCellNsofEntryPt(1), disc.m->fnGetOPGCCellNsofEntryPt(2),
                    disc.m->fnGetOPGCCellNsofEntryPt(0), disc.m->fnGetOPGCCellNsofEntryPt(1, 2, 0),
                    fnVR_GetOPGCCellNsofEntryPt(disc.m, 1, 1, 1), disc.m->fnGetOPGCCellNsofEntryPt(3)}),
              Ints({3, 1, 1, 2, 3, 1}));
}

TEST_F(ContinuationChain, CallerChainedRecordsAreFilledAsFarAsTheyReach) {
    seg head = Zeroed(), second = Zeroed(), third = Zeroed();
    head.pNext = &second;
    second.pNext = &third;
    second.dwHasNext = 7;  // left over from an earlier query
    ASSERT_EQ(fnVR_GetOPGCEntryPtInfo(disc.m, 1, &head, 1), 1);
    // {has next, next count, frames, start, end, skipped frames} of A, B and
    // C up to its entry point. VOBUs of 10 sectors: a piece that starts on a
    // VOBU boundary is read from the VOBU before it, whose 12 frames are
    // skipped.
    auto of = [](const seg& x) {
        return Ints({x.dwHasNext, x.dwNextNs, x.dwFrameNs, x.llStartPos / 2048, x.llEndPos / 2048, x.dwSkipFrames});
    };
    EXPECT_EQ(of(head), Ints({1, 2, 36, 0, 30, 0}));
    EXPECT_EQ(of(second), Ints({1, 1, 24, 20, 50, 12}));
    EXPECT_EQ(of(third), Ints({0, 0, 24, 40, 70, 12}));

    // One record behind the head: it is filled and says the segment goes on.
    seg only = Zeroed(), next = Zeroed();
    only.pNext = &next;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 1, 1, &only, 1), 1);
    EXPECT_EQ(Ints({only.dwNextNs, next.dwHasNext, next.dwNextNs}), Ints({1, 1, 0}));
}

TEST_F(ContinuationChain, WithoutFollowThePointerIsNotTouched) {
    seg s = Zeroed();
    seg* const untouched = reinterpret_cast<seg*>(&s.reserved_tail);
    s.pNext = untouched;
    s.dwNextNs = 5;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 0), 1);
    EXPECT_EQ(s.pNext, untouched);
    EXPECT_EQ(Ints({s.dwHasNext, s.dwNextNs, s.dwFrameNs}), Ints({0, 0, 36}));
}

TEST_F(ContinuationChain, AllocatedRecordsAreReleasedByTheCaller) {
    seg s = Zeroed();
    ASSERT_EQ(disc.m->fnGetEntryPtInfo(disc.Original(), -1, -1, 1, &s, 1, 1), 1);
    ASSERT_NE(s.pNext, nullptr);
    ASSERT_NE(s.pNext->pNext, nullptr);
    EXPECT_EQ(Ints({s.dwNextNs, s.pNext->pNext->dwHasNext, s.pNext->pNext->llEndPos}), Ints({2, 0, 70 * 2048}));
    fnReleaseSegChain(&s);  // the sanitizer run reports anything left
    EXPECT_TRUE(s.pNext == nullptr && s.dwHasNext == 0);
}

TEST_F(ContinuationChain, AddressesThatNameNoCellOrSegmentGiveZero) {
    seg s = Zeroed();
    // One program of three cells: neither program 257 (mod 256) nor cell
    // 65537 (mod 65536) is one of them.
    for (const auto& [pg, cell] : {std::pair{0, 1}, {1, 0}, {1, 4}, {2, 1}, {257, 1}, {1, 65537}, {-1, 1}}) {
        EXPECT_EQ(disc.m->fnGetOPGCCellInfo(pg, cell, &s, 0, 0), 0) << pg << " " << cell;
    }
    EXPECT_EQ(disc.m->fnGetOPGCCellInfo(1, 1, nullptr, 0, 0), 0);
    EXPECT_EQ(disc.m->fnGetCellInfo(nullptr, 1, 1, &s, 0, 0), 0);
    // Two entry points, not 3 nor 65537 (mod 65536 it is 1).
    EXPECT_EQ(Ints({disc.m->fnGetOPGCEntryPtInfo(3, &s, 0), disc.m->fnGetOPGCEntryPtInfo(65537, &s, 0),
                    disc.m->fnGetOPGCEntryPtInfo(-2, &s, 0)}),
              Ints(3, 0));
    // A has one entry point, there is no cell 4 and no program 2.
    for (const auto& [pg, cell, ep] : {std::array{1, 1, 2}, {1, 4, 0}, {-1, 1, 1}, {2, -1, 1}, {1, -1, 3}, {0, 1, 1}}) {
        EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(pg, cell, ep, &s, 0), 0) << pg << " " << cell << " " << ep;
    }
    // Program-relative and cell-relative forms of the same segment.
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, -1, 2, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 3, 1, &s, 0), 1);
    EXPECT_EQ(Ints({s.dwFrameNs, s.llStartPos, s.llEndPos}), Ints({12, 60 * 2048, 80 * 2048}));
}

// Positions past 4 GB are widened from the time map's 32-bit positions;
// where two VOBU boundaries share their low 32 bits they are not guessed.
TEST(EntryPointQuery, PositionsBeyondFourGigabytes) {
    const struct {
        const char* what;
        DWORD vobus, sectors, secondEntry;  // VOBUs of `sectors`; the second entry point at that VOBU
        int query;
        Ints expected;  // start, skipped frames, end, frames
        bool named;
    } cases[] = {
        // 4.5 GB, no two VOBU boundaries 4 GB apart; read from the VOBU
        // before, skipping it.
        {"kept", 2200, 1000, 2150, 2, {2149LL * 1000 * 2048, 12, 2200LL * 1000 * 2048, 50 * 12}, true},
        // Boundaries 4096 VOBUs apart share their low 32 bits: the segment
        // (VOBUs 0 and 1) could also lie 4 GB further on, at VOBUs 4096 and
        // 4097; the frames are still known.
        {"ambiguous", 4100, 512, 2, 1, {0, 0, 0, 24}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Disc disc;
        Recording r =
            MakeRecording(std::vector<std::pair<BYTE, DWORD>>(c.vobus, {BYTE{12}, c.sectors}), 25000, 0, kStart);
        ASSERT_EQ(disc.m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
        AddCell(disc.Original(), 1, kStart, kStart + c.vobus * kVobu, {kStart, kStart + c.secondEntry * kVobu});
        disc.m->m_pMovie->m_dwVROSize = c.vobus * c.sectors;  // as if saved
        seg s = Zeroed();
        ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(c.query, &s, 0), 1);
        EXPECT_STREQ(s.szFileName, c.named ? disc.m->m_pMovie->fnGetStreamPath() : "");
        EXPECT_EQ(Ints({s.llStartPos, s.dwSkipFrames, s.llEndPos, s.dwFrameNs}), c.expected);
        EXPECT_EQ(s.dwHeadSize == 0, !c.named);
    }
}

}  // namespace
