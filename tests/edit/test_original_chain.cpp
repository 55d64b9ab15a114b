// Entry points of the original chain through the manager.
#include <gtest/gtest.h>

#include "fixtures.h"

TEST(OriginalChain, DivideByFrames) {
    EditDisc disc;
    disc.AddMovie(kSecond, 30);
    disc.AddMovie(0, 20);
    ASSERT_EQ(disc.OriginalText(), "1-31[1] 0-20[0]");
    disc.Leaves(fnVR_DevideOPGCEntryPt(disc, 1, 250), "1-31[1,11] 0-20[0]", 0);  // 250 frames at 25 per second
    // 0 frames (on entry point 1) and 250 (on the one at 11 s) would make an
    // empty segment, 251 would pass the one at 11 s, 500 from entry point 2
    // reach the cell's end; 65537 is not entry point 1.
    EXPECT_EQ(Ints({fnVR_DevideOPGCEntryPt(disc, 1, 0), fnVR_DevideOPGCEntryPt(disc, 1, 250),
                    fnVR_DevideOPGCEntryPt(disc, 1, 251), fnVR_DevideOPGCEntryPt(disc, 2, 500),
                    fnVR_DevideOPGCEntryPt(disc, 9, 1), fnVR_DevideOPGCEntryPt(disc, 0, 1),
                    fnVR_DevideOPGCEntryPt(disc, 65536 + 1, 1)}),
              Ints(7, 0));
    EXPECT_EQ(disc.OriginalText(), "1-31[1,11] 0-20[0]");

    // A cell's last entry point: on into the next cell, which starts without
    // an entry point of its own.
    ASSERT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(1)).fnDEL_Movie_Entry_Point(1), 1);
    disc.Leaves(fnVR_DevideOPGCEntryPt(disc, 2, 25 * 25), "1-31[1,11] 0-20[5]", 0);
    EXPECT_EQ(disc.m->fnDevide_ORG_Cell_EntryPoint(3, 25 * 16, nullptr), 0) << "past the last cell";

    // Frames of a recording at 29.97 frames per second.
    disc.AddMovie(0, 20, 29970);
    ASSERT_EQ(disc.m->fnDevide_ORG_Cell_EntryPoint(4, 250, nullptr), 1);
    EXPECT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(2)).fnGet_ll_EP_PTS(1), 225225000);
}

TEST(OriginalChain, InsertDeleteCombine) {
    EditDisc disc;
    disc.AddMovie(0, 40);
    BYTE text[128] = {'a'};
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(1, 1, 10 * kSecond, text), 1);
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(WORD{2}, __int64{20 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(WORD{3}, __int64{30 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.OriginalText(), "0-40[0,10,20,30]");
    EXPECT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(0)).fnGet_c1_EP_TY(1), 0x40);
    EXPECT_EQ(Ints({disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, 41 * kSecond, nullptr),
                    disc.m->fnADD_ORG_Cell_EntryPoint(2, 0, 0, nullptr),
                    disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, -1, nullptr)}),
              Ints(3, 0));

    disc.Leaves(fnVR_CombineOPGCEntryPt(disc, 2, 2), "0-40[0,10,20,30]", 0);
    disc.Leaves(fnVR_CombineOPGCEntryPt(disc, 1, 3), "0-40[0,30]", 0);
    EXPECT_EQ(fnVR_CombineOPGCEntryPt(disc, 1, 3), 0);

    disc.Leaves(disc.m->fnDEL_ORG_Cell_EntryPoint(WORD{2}), "0-30[0]", 0);
    EXPECT_EQ(disc.m->m_pORG_PGCI->fnGet_wC_Ns(0), 1);
    disc.Leaves(disc.m->fnDEL_ORG_Cell_EntryPoint(1, 1), "", 0);
    EXPECT_EQ(disc.m->m_pORG_PGCI->fnGet_c1_PG_Ns(), 0) << "the program went with its last cell";
}

TEST(OriginalChain, NothingToEditOnANewDiscAnUnboundManagerOrANullHandle) {
    EditDisc disc;
    CVR_MANGR unbound;
    EXPECT_EQ(Ints({fnVR_DevideOPGCEntryPt(disc, 1, 0), fnVR_CombineOPGCEntryPt(disc, 1, 1),
                    disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, 0, nullptr),
                    disc.m->fnADD_ORG_Cell_EntryPoint(WORD{1}, __int64{0}, nullptr),
                    disc.m->fnDEL_ORG_Cell_EntryPoint(1, 1), disc.m->fnDEL_ORG_Cell_EntryPoint(WORD{1}),
                    unbound.fnDevide_ORG_Cell_EntryPoint(1, 0, nullptr), unbound.fnCombineOPGCEntryPoint(1, 1),
                    unbound.fnDEL_ORG_Cell_EntryPoint(WORD{1}), fnVR_AddPL(nullptr), fnVR_DelPLEntryPt(nullptr, 1, 1)}),
              Ints(11, 0));
}
