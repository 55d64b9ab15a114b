// Copying, moving, dividing, deleting and combining the segments of a
// playlist; and a playlist that survives a save and an open.
#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "fixtures.h"

namespace {

// Original chain: recording 1 from 1 s to 49 s with entry points at 1, 11,
// 21, 31 and 41 s; recording 2 (0-10 s) without entry point, continuing
// the segment of 41 s; recording 3 (0-10 s) whose entry point at 2 s ends
// it. Playlist 1 is empty.
struct Edited : EditDisc {
    Edited() {
        AddMovie(kSecond, 48);
        AddMovie(0, 10);
        AddMovie(0, 10);
        for (WORD i = 1; i <= 4; ++i) EXPECT_EQ(m->fnADD_ORG_Cell_EntryPoint(1, i, (1 + 10 * i) * kSecond, nullptr), 1);
        CCI second(m->m_pORG_PGCI->Cell(1));
        second.fnDEL_Movie_Entry_Point(1);
        CCI third(m->m_pORG_PGCI->Cell(2));
        third.fnDEL_Movie_Entry_Point(1);
        EXPECT_EQ(m->fnADD_ORG_Cell_EntryPoint(3, 0, 2 * kSecond, nullptr), 1);
        EXPECT_EQ(OriginalText(), kOriginal);
        EXPECT_EQ(fnVR_AddPL(m), 1);
    }
    static constexpr const char* kOriginal = "1-49[1,11,21,31,41] 0-10[] 0-10[2]";
};

}  // namespace

TEST(PlaylistSegments, AddMiddleAndLastEntryPointsAndStillPictures) {
    Edited disc;
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 0, 3), "21-31[21]");
    // The last entry point of its cell: the rest of the cell, all of the
    // continuation cell and the part of the next one before its entry point.
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 1, 5), "21-31[21] 41-49[41] 0-10[] 0-2[]");
    // After a segment with continuation cells: behind them.
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 2, 1), "21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1]");
    // Recording 3's entry point; then one by program and cell.
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 0, 6), "2-10[2] 21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1]");
    const char* const all = "2-10[2] 21-31[21] 41-49[41] 0-10[] 0-2[] 1-11[1] 11-21[11]";
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 4, 1, 1, 2), all);

    const int refused[] = {
        fnVR_AddPLEntryPt(disc, 1, 6, 7),  // no entry point 7 in the original
        fnVR_AddPLEntryPt(disc, 1, 6, 0),       fnVR_AddPLEntryPt(disc, 1, 6, 1, 1, 6),
        fnVR_AddPLEntryPt(disc, 1, 6, 1, 4, 1),  // no cell 4
        fnVR_AddPLEntryPt(disc, 1, 6, 1, 3, 0), fnVR_AddPLEntryPt(disc, 1, 7, 1),  // the playlist has 6 entry points
        fnVR_AddPLEntryPt(disc, 2, 0, 1),       fnVR_AddPLEntryPt(disc, 0, 0, 1),
    };
    for (int r : refused) EXPECT_EQ(r, 0);
    EXPECT_EQ(disc.Chain(1), all);
    EXPECT_EQ(disc.OriginalText(), Edited::kOriginal);

    // A still picture cell (entry point 7 of the original), and a segment
    // behind it.
    disc.AddStill({2, 2});
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 0, 7), std::string("S1[1] ") + all);
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 1, 1), std::string("S1[1] 1-11[1] ") + all);
    disc.Leaves(fnVR_DelPLEntryPt(disc, 1, 1), std::string("1-11[1] ") + all);
}

TEST(PlaylistSegments, AddInsideACellDividesIt) {
    Edited disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, 1, 0, __int64{11 * kSecond}, nullptr), 1);
    disc.Leaves(disc.m->fnADD_UD_Cell_EntryPoint(1, WORD{1}, __int64{31 * kSecond}, nullptr), "1-49[11,31]");
    disc.Leaves(fnVR_AddPLEntryPt(disc, 1, 1, 3), "1-31[11] 21-31[21] 31-49[31]");
}

TEST(PlaylistSegments, DivideDeleteCombine) {
    Edited disc;
    ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, 0, 2), 1);
    disc.Leaves(fnVR_DevidePLEntryPt(disc, 1, 1, 0), "11-21[11,11.04]");  // one frame after
    disc.Leaves(fnVR_DevidePLEntryPt(disc, 1, 2, 124), "11-21[11,11.04,16.04]");
    // 125 frames on would pass the playlist's video.
    EXPECT_EQ(Ints({fnVR_DevidePLEntryPt(disc, 1, 3, 125), fnVR_DevidePLEntryPt(disc, 1, 4, 0),
                    fnVR_DevidePLEntryPt(disc, 2, 1, 0)}),
              Ints(3, 0));
    disc.Leaves(fnVR_CombinePLEntryPt(disc, 1, 1, 2), "11-21[11,16.04]");
    EXPECT_EQ(fnVR_CombinePLEntryPt(disc, 1, 1, 65536 + 2), 0);
    // The first cell loses what came before.
    disc.Leaves(fnVR_DelPLEntryPt(disc, 1, 1), "16.04-21[16.04]");
    EXPECT_EQ(Ints({fnVR_DelPLEntryPt(disc, 1, 2), fnVR_DelPLEntryPt(disc, 1, 65536 + 1)}), Ints(2, 0));
    EXPECT_EQ(disc.Chain(1), "16.04-21[16.04]");
    EXPECT_EQ(disc.OriginalText(), Edited::kOriginal);
}

TEST(PlaylistSegments, Move) {
    const char* const four = "1-11[1] 11-21[11] 21-31[21] 31-41[31]";
    const struct {
        std::vector<std::pair<int, int>> moves;  // {from, to}: behind entry point `to`, 0 to the front
        const char* after;
    } cases[] = {
        {{{1, 3}}, "11-21[11] 21-31[21] 1-11[1] 31-41[31]"},
        {{{4, 1}}, "1-11[1] 31-41[31] 11-21[11] 21-31[21]"},
        {{{4, 1}, {2, 0}}, "31-41[31] 1-11[1] 11-21[11] 21-31[21]"},
        {{{2, 2}}, four},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        Edited disc;
        for (int ep = 1; ep <= 4; ++ep) ASSERT_EQ(fnVR_AddPLEntryPt(disc, 1, ep - 1, ep), 1);
        ASSERT_EQ(disc.Chain(1), four);
        for (const auto& [from, to] : c.moves) ASSERT_EQ(fnVR_MovePLEntryPt(disc, 1, from, to), 1);
        EXPECT_EQ(disc.Chain(1), c.after);
        const int refused[] = {fnVR_MovePLEntryPt(disc, 1, 5, 1), fnVR_MovePLEntryPt(disc, 1, 0, 1),
                               fnVR_MovePLEntryPt(disc, 1, 1, 5), fnVR_MovePLEntryPt(disc, 2, 1, 2)};
        for (int r : refused) EXPECT_EQ(r, 0);
        EXPECT_EQ(disc.Chain(1), c.after);
    }
}

TEST(PlaylistSegments, MoveWithinOneCellAndWithContinuations) {
    Edited disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    for (WORD i = 0; i < 4; ++i)
        ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, 1, i, __int64{(1 + 10 * i) * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.Chain(1), "1-49[1,11,21,31]");
    // Backwards inside the cell, and back.
    disc.Leaves(fnVR_MovePLEntryPt(disc, 1, 3, 1), "1-11[1] 21-31[21] 11-21[11] 31-49[31]");
    disc.Leaves(fnVR_MovePLEntryPt(disc, 1, 2, 3), "1-11[1] 11-21[11] 21-31[21] 31-49[31]");

    Edited more;
    ASSERT_EQ(fnVR_AddPLEntryPt(more, 1, 0, 5), 1);
    more.Leaves(fnVR_AddPLEntryPt(more, 1, 1, 2), "41-49[41] 0-10[] 0-2[] 11-21[11]");
    more.Leaves(fnVR_MovePLEntryPt(more, 1, 1, 2), "11-21[11] 41-49[41] 0-10[] 0-2[]");
    more.Leaves(fnVR_MovePLEntryPt(more, 1, 2, 0), "41-49[41] 0-10[] 0-2[] 11-21[11]");
}

namespace {

// {search pointer, duration, frames, start, end}.
using Shown = std::array<__int64, 5>;

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
    Edited disc;
    const std::vector<BYTE> original = Serialise(CPGCI(disc.Model().pORG_PGCI));
    const int edits[] = {fnVR_AddPLEntryPt(disc, 1, 0, 2),     fnVR_AddPLEntryPt(disc, 1, 1, 5),
                         fnVR_AddPLEntryPt(disc, 1, 2, 4),     fnVR_MovePLEntryPt(disc, 1, 3, 0),
                         fnVR_DevidePLEntryPt(disc, 1, 2, 49), fnVR_CombinePLEntryPt(disc, 1, 3, 4)};
    for (int r : edits) ASSERT_EQ(r, 1);
    const std::string chain = disc.Chain(1);
    ASSERT_EQ(chain, "31-41[31] 11-21[11,13] 41-49[] 0-10[] 0-2[]");
    EXPECT_EQ(Serialise(CPGCI(disc.Model().pORG_PGCI)), original) << "playlist edits leave the original alone";
    const std::vector<Shown> before = Segments(disc);
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(before.back()[1], (10 + 2 + 21 - 13 + 8 + 10 + 2) * 1000) << "with the continuation cells";
    ASSERT_EQ(fnVR_MANGRSave(disc, nullptr), 1);

    EditDisc reopened;
    ASSERT_EQ(fnVR_MANGROpen(reopened, disc.dir.Path().c_str()), 1);
    EXPECT_EQ(reopened.Chain(1), chain);
    EXPECT_EQ(reopened.OriginalText(), Edited::kOriginal);
    EXPECT_EQ(Segments(reopened), before);
}
