// Copying, moving, dividing, deleting and combining the segments of a
// playlist; and a playlist that survives a save and an open.
#include <gtest/gtest.h>

#include <vector>

#include "Disc.h"

namespace {

// Original chain: recording 1 from 1 s to 49 s with entry points at 1, 11,
// 21, 31 and 41 s; recording 2 (0-10 s) without entry point, continuing
// the segment of 41 s; recording 3 (0-10 s) whose entry point at 2 s ends
// it. Playlist 1 is empty.
struct Edited : Disc {
    Edited() {
        AddMovie(kSecond, 48);
        AddMovie(0, 10);
        AddMovie(0, 10);
        for (WORD i = 1; i <= 4; ++i)
            EXPECT_EQ(m->fnADD_ORG_Cell_EntryPoint(1, i, (1 + 10 * i) * kSecond, nullptr), 1);
        CCI second(m->m_pORG_PGCI->Cell(1));
        second.fnDEL_Movie_Entry_Point(1);
        CCI third(m->m_pORG_PGCI->Cell(2));
        third.fnDEL_Movie_Entry_Point(1);
        EXPECT_EQ(m->fnADD_ORG_Cell_EntryPoint(3, 0, 2 * kSecond, nullptr), 1);
        EXPECT_EQ(Original(), kOriginal);
        EXPECT_EQ(fnVR_AddPL(m), 1);
    }
    static constexpr const char* kOriginal = "1-49[1,11,21,31,41] 0-10[] 0-10[2]";
};

}  // namespace

TEST(PlaylistSegments, AddMiddleAndLastEntryPoints) {
    Edited disc;
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 3), 1);
    EXPECT_EQ(disc.Chain(1), "21-31[21]");
    // The last entry point of its cell: the rest of the cell, all of the
    // continuation cell and the part of the next one before its entry point.
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 1, 5), 1);
    EXPECT_EQ(disc.Chain(1), "21-31[21] 41-49[41] 0-10[] 0-2[]");
    // After a segment with continuation cells: behind them.
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 2, 1), 1);
    EXPECT_EQ(disc.Chain(1), "21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1]");
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 6), 1) << "recording 3's entry point";
    EXPECT_EQ(disc.Chain(1), "2-10[2] 21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1]");
    // By program and cell.
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 4, 1, 1, 2), 1);
    EXPECT_EQ(disc.Chain(1), "2-10[2] 21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1] 11-21[11]");

    const std::string before = disc.Chain(1);
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 6, 7), 0) << "no entry point 7 in the original";
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 6, 0), 0);
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 6, 1, 1, 6), 0);
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 6, 1, 4, 1), 0) << "no cell 4";
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 6, 1, 3, 0), 0);
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 1, 7, 1), 0) << "the playlist has 6 entry points";
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 2, 0, 1), 0);
    EXPECT_EQ(fnVR_AddPLEntryPt(disc, 0, 0, 1), 0);
    EXPECT_EQ(disc.Chain(1), before);
    EXPECT_EQ(disc.Original(), Edited::kOriginal);
}

TEST(PlaylistSegments, AddInsideACellDividesIt) {
    Edited disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, 1, 0, __int64{11 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, WORD{1}, __int64{31 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.Chain(1), "1-49[11,31]");
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 1, 3), 1);
    EXPECT_EQ(disc.Chain(1), "1-31[11] 21-31[21] 31-49[31]");
}

TEST(PlaylistSegments, AddAStillPicture) {
    Edited disc;
    disc.AddStill();
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 7), 1);
    EXPECT_EQ(disc.Chain(1), "S1[1]");
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 1, 1), 1);
    EXPECT_EQ(disc.Chain(1), "S1[1] 1-11[1]");
    ASSERT_EQ(fnVR_DelPLEntryPt(disc, 1, 1), 1);
    EXPECT_EQ(disc.Chain(1), "1-11[1]");
}

TEST(PlaylistSegments, DivideDeleteCombine) {
    Edited disc;
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 2), 1);
    ASSERT_EQ(fnVR_DevidePLEntryPt(disc, 1, 1, 0), 1);
    EXPECT_EQ(disc.Chain(1), "11-21[11,11.04]") << "one frame after";
    ASSERT_EQ(fnVR_DevidePLEntryPt(disc, 1, 2, 124), 1);
    EXPECT_EQ(disc.Chain(1), "11-21[11,11.04,16.04]");
    EXPECT_EQ(fnVR_DevidePLEntryPt(disc, 1, 3, 125), 0) << "past the playlist's video";
    EXPECT_EQ(fnVR_DevidePLEntryPt(disc, 1, 4, 0), 0);
    EXPECT_EQ(fnVR_DevidePLEntryPt(disc, 2, 1, 0), 0);

    ASSERT_EQ(fnVR_CombinePLEntryPt(disc, 1, 1, 2), 1);
    EXPECT_EQ(disc.Chain(1), "11-21[11,16.04]");
    EXPECT_EQ(fnVR_CombinePLEntryPt(disc, 1, 1, 65536 + 2), 0);
    ASSERT_EQ(fnVR_DelPLEntryPt(disc, 1, 1), 1);
    EXPECT_EQ(disc.Chain(1), "16.04-21[16.04]") << "the first cell loses what came before";
    EXPECT_EQ(fnVR_DelPLEntryPt(disc, 1, 2), 0);
    EXPECT_EQ(fnVR_DelPLEntryPt(disc, 1, 65536 + 1), 0);
    EXPECT_EQ(disc.Original(), Edited::kOriginal);
}

TEST(PlaylistSegments, Move) {
    auto playlist = [](Disc& disc) {
        for (int ep = 1; ep <= 4; ++ep) ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, ep - 1, ep), 1);
        ASSERT_EQ(disc.Chain(1), "1-11[1] 11-21[11] 21-31[21] 31-41[31]");
    };
    Edited later;
    playlist(later);
    ASSERT_EQ(fnVR_MovePLEntryPt(later, 1, 1, 3), 1);
    EXPECT_EQ(later.Chain(1), "11-21[11] 21-31[21] 1-11[1] 31-41[31]");

    Edited earlier;
    playlist(earlier);
    ASSERT_EQ(fnVR_MovePLEntryPt(earlier, 1, 4, 1), 1);
    EXPECT_EQ(earlier.Chain(1), "1-11[1] 31-41[31] 11-21[11] 21-31[21]");
    ASSERT_EQ(fnVR_MovePLEntryPt(earlier, 1, 2, 0), 1);
    EXPECT_EQ(earlier.Chain(1), "31-41[31] 1-11[1] 11-21[11] 21-31[21]");

    Edited itself;
    playlist(itself);
    ASSERT_EQ(fnVR_MovePLEntryPt(itself, 1, 2, 2), 1);
    EXPECT_EQ(itself.Chain(1), "1-11[1] 11-21[11] 21-31[21] 31-41[31]");

    EXPECT_EQ(fnVR_MovePLEntryPt(itself, 1, 5, 1), 0);
    EXPECT_EQ(fnVR_MovePLEntryPt(itself, 1, 0, 1), 0);
    EXPECT_EQ(fnVR_MovePLEntryPt(itself, 1, 1, 5), 0);
    EXPECT_EQ(fnVR_MovePLEntryPt(itself, 2, 1, 2), 0);
    EXPECT_EQ(itself.Chain(1), "1-11[1] 11-21[11] 21-31[21] 31-41[31]");
}

TEST(PlaylistSegments, MoveWithinOneCellAndWithContinuations) {
    Edited disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    for (WORD i = 0; i < 4; ++i)
        ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, 1, i, __int64{(1 + 10 * i) * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.Chain(1), "1-49[1,11,21,31]");
    ASSERT_EQ(fnVR_MovePLEntryPt(disc, 1, 3, 1), 1) << "backwards inside the cell";
    EXPECT_EQ(disc.Chain(1), "1-11[1] 21-31[21] 11-21[11] 31-49[31]");
    ASSERT_EQ(fnVR_MovePLEntryPt(disc, 1, 2, 3), 1);
    EXPECT_EQ(disc.Chain(1), "1-11[1] 11-21[11] 21-31[21] 31-49[31]");

    Edited more;
    ASSERT_EQ(fnVR_AddPLEntryPt(more, 1, 0, 5), 1);
    ASSERT_EQ(fnVR_AddPLEntryPt(more, 1, 1, 2), 1);
    ASSERT_EQ(more.Chain(1), "41-49[41] 0-10[] 0-2[] 11-21[11]");
    ASSERT_EQ(fnVR_MovePLEntryPt(more, 1, 1, 2), 1);
    EXPECT_EQ(more.Chain(1), "11-21[11] 41-49[41] 0-10[] 0-2[]");
    ASSERT_EQ(fnVR_MovePLEntryPt(more, 1, 2, 0), 1);
    EXPECT_EQ(more.Chain(1), "41-49[41] 0-10[] 0-2[] 11-21[11]");
}

namespace {

struct Shown {
    DWORD srpn, duration, frames;
    __int64 start, end;
    bool operator==(const Shown& o) const {
        return srpn == o.srpn && duration == o.duration && frames == o.frames && start == o.start && end == o.end;
    }
};

// What the queries report for every segment of playlist 1.
std::vector<Shown> Segments(void* h) {
    DVDPGCINFO info{};
    EXPECT_EQ(fnVR_GetPLInfo(h, 1, &info, 0), 1);
    std::vector<Shown> shown;
    for (DWORD ep = 1; ep <= info.dwCount; ++ep) {
        seg s{};
        EXPECT_EQ(fnVR_GetPLEntryPtInfo(h, 1, static_cast<int>(ep), &s, 0), 1);
        shown.push_back({s.dwSRPN, s.dwDuration, s.dwFrameNs, s.llStartPos, s.llEndPos});
    }
    shown.push_back({info.dwCount, info.dwDuration, 0, 0, 0});
    return shown;
}

}  // namespace

TEST(PlaylistSegments, APlaylistSurvivesSaveAndOpen) {
    std::vector<Shown> before;
    std::string chain;
    Edited disc;
    const std::vector<BYTE> original = Serialise(CPGCI(disc.Model().pORG_PGCI));
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 2), 1);
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 1, 5), 1);
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 2, 4), 1);
    ASSERT_EQ(fnVR_MovePLEntryPt(disc, 1, 3, 0), 1);
    ASSERT_EQ(fnVR_DevidePLEntryPt(disc, 1, 2, 49), 1);
    ASSERT_EQ(fnVR_CombinePLEntryPt(disc, 1, 3, 4), 1);
    chain = disc.Chain(1);
    ASSERT_EQ(chain, "31-41[31] 11-21[11,13] 41-49[] 0-10[] 0-2[]");
    EXPECT_EQ(Serialise(CPGCI(disc.Model().pORG_PGCI)), original) << "playlist edits leave the original alone";
    before = Segments(disc);
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(before.back().duration, (10 + 2 + 21 - 13 + 8 + 10 + 2) * 1000u) << "with the continuation cells";
    ASSERT_EQ(fnVR_MANGRSave(disc, nullptr), 1);

    Disc reopened;
    ASSERT_EQ(fnVR_MANGROpen(reopened, disc.dir.Path().c_str()), 1);
    EXPECT_EQ(reopened.Chain(1), chain);
    EXPECT_EQ(reopened.Original(), Edited::kOriginal);
    EXPECT_EQ(Segments(reopened), before);
}
