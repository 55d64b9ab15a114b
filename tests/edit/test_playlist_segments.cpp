// Copying, moving, dividing, deleting and combining the segments of a
// playlist. (That a playlist survives a save and an open is what every
// editing command of the tool tests shows.)
#include <gtest/gtest.h>

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

// A copy behind a segment that ends inside a cell divides the cell; moves
// inside one cell and with continuation cells.
TEST(PlaylistSegments, AddAndMoveInsideACellAndWithContinuations) {
    Edited inside;
    ASSERT_EQ(inside.m->fnADD_UD_PGCI_MovieScene(1), 1);
    ASSERT_EQ(inside.m->fnADD_UD_Cell_EntryPoint(1, 1, 0, __int64{11 * kSecond}, nullptr), 1);
    inside.Leaves(inside.m->fnADD_UD_Cell_EntryPoint(1, WORD{1}, __int64{31 * kSecond}, nullptr), "1-49[11,31]");
    inside.Leaves(fnVR_AddPLEntryPt(inside, 1, 1, 3), "1-31[11] 21-31[21] 31-49[31]");

    Edited disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    for (WORD i = 0; i < 4; ++i)
        ASSERT_EQ(disc.m->fnADD_UD_Cell_EntryPoint(1, 1, i, __int64{(1 + 10 * i) * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.Chain(1), "1-49[1,11,21,31]");
    // Backwards inside the cell, and back.
    disc.Leaves(fnVR_MovePLEntryPt(disc, 1, 3, 1), "1-11[1] 21-31[21] 11-21[11] 31-49[31]");
    disc.Leaves(fnVR_MovePLEntryPt(disc, 1, 2, 3), "1-11[1] 11-21[11] 21-31[21] 31-49[31]");
    // No entry point 5 or 0 to move, none 5 to move behind, no playlist 2.
    EXPECT_EQ(Ints({fnVR_MovePLEntryPt(disc, 1, 5, 1), fnVR_MovePLEntryPt(disc, 1, 0, 1),
                    fnVR_MovePLEntryPt(disc, 1, 1, 5), fnVR_MovePLEntryPt(disc, 2, 1, 2)}),
              Ints(4, 0));
    EXPECT_EQ(disc.Chain(1), "1-11[1] 11-21[11] 21-31[21] 31-49[31]");

    Edited more;
    ASSERT_EQ(fnVR_AddPLEntryPt(more, 1, 0, 5), 1);
    more.Leaves(fnVR_AddPLEntryPt(more, 1, 1, 2), "41-49[41] 0-10[] 0-2[] 11-21[11]");
    more.Leaves(fnVR_MovePLEntryPt(more, 1, 1, 2), "11-21[11] 41-49[41] 0-10[] 0-2[]");
    more.Leaves(fnVR_MovePLEntryPt(more, 1, 2, 0), "41-49[41] 0-10[] 0-2[] 11-21[11]");
}
