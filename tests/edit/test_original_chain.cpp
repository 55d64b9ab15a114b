// Entry points of the original chain through the manager.
#include <gtest/gtest.h>

#include "Disc.h"

TEST(OriginalChain, DivideByFrames) {
    Disc disc;
    disc.AddMovie(kSecond, 30);
    disc.AddMovie(0, 20);
    ASSERT_EQ(disc.Original(), "1-31[1] 0-20[0]");
    ASSERT_EQ(fnVR_DevideOPGCEntryPt(disc, 1, 250), 1);
    EXPECT_EQ(disc.Original(), "1-31[1,11] 0-20[0]") << "250 frames at 25 per second";
    ASSERT_EQ(fnVR_DevideOPGCEntryPt(disc, 1, 0), 1);
    EXPECT_EQ(disc.Original(), "1-31[1,1,11] 0-20[0]") << "0 frames: at the same time";
    EXPECT_EQ(fnVR_DevideOPGCEntryPt(disc, 2, 251), 0) << "would pass the entry point at 11 s";
    EXPECT_EQ(fnVR_DevideOPGCEntryPt(disc, 9, 1), 0);
    EXPECT_EQ(fnVR_DevideOPGCEntryPt(disc, 0, 1), 0);
    EXPECT_EQ(fnVR_DevideOPGCEntryPt(disc, 65536 + 1, 1), 0) << "not entry point 1";

    // A cell's last entry point: on into the next cell, which starts without
    // an entry point of its own.
    ASSERT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(1)).fnDEL_Movie_Entry_Point(1), 1);
    ASSERT_EQ(fnVR_DevideOPGCEntryPt(disc, 3, 25 * 25), 1);
    EXPECT_EQ(disc.Original(), "1-31[1,1,11] 0-20[5]");
    EXPECT_EQ(disc.m->fnDevide_ORG_Cell_EntryPoint(4, 25 * 16, nullptr), 0) << "past the last cell";
}

TEST(OriginalChain, FramesAt2997) {
    Disc disc;
    disc.AddMovie(0, 20, 29970);
    ASSERT_EQ(disc.m->fnDevide_ORG_Cell_EntryPoint(1, 250, nullptr), 1);
    EXPECT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(0)).fnGet_ll_EP_PTS(1), 225225000);
}

TEST(OriginalChain, InsertDeleteCombine) {
    Disc disc;
    disc.AddMovie(0, 40);
    BYTE text[128] = {'a'};
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(1, 1, 10 * kSecond, text), 1);
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(WORD{2}, __int64{20 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(WORD{3}, __int64{30 * kSecond}, nullptr), 1);
    ASSERT_EQ(disc.Original(), "0-40[0,10,20,30]");
    EXPECT_EQ(CCI(disc.m->m_pORG_PGCI->Cell(0)).fnGet_c1_EP_TY(1), 0x40);
    EXPECT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, 41 * kSecond, nullptr), 0);
    EXPECT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(2, 0, 0, nullptr), 0);
    EXPECT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, -1, nullptr), 0);

    ASSERT_EQ(fnVR_CombineOPGCEntryPt(disc, 2, 2), 1);
    EXPECT_EQ(disc.Original(), "0-40[0,10,20,30]");
    ASSERT_EQ(fnVR_CombineOPGCEntryPt(disc, 1, 3), 1);
    EXPECT_EQ(disc.Original(), "0-40[0,30]");
    EXPECT_EQ(fnVR_CombineOPGCEntryPt(disc, 1, 3), 0);

    ASSERT_EQ(disc.m->fnDEL_ORG_Cell_EntryPoint(WORD{2}), 1);
    EXPECT_EQ(disc.Original(), "0-30[0]");
    EXPECT_EQ(disc.m->m_pORG_PGCI->fnGet_wC_Ns(0), 1);
    ASSERT_EQ(disc.m->fnDEL_ORG_Cell_EntryPoint(1, 1), 1);
    EXPECT_EQ(disc.Original(), "");
    EXPECT_EQ(disc.m->m_pORG_PGCI->fnGet_c1_PG_Ns(), 0) << "the program went with its last cell";
}

TEST(OriginalChain, NothingToEditOnANewDisc) {
    Disc disc;
    EXPECT_EQ(fnVR_DevideOPGCEntryPt(disc, 1, 0), 0);
    EXPECT_EQ(fnVR_CombineOPGCEntryPt(disc, 1, 1), 0);
    EXPECT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(1, 0, 0, nullptr), 0);
    EXPECT_EQ(disc.m->fnADD_ORG_Cell_EntryPoint(WORD{1}, __int64{0}, nullptr), 0);
    EXPECT_EQ(disc.m->fnDEL_ORG_Cell_EntryPoint(1, 1), 0);
    EXPECT_EQ(disc.m->fnDEL_ORG_Cell_EntryPoint(WORD{1}), 0);

    CVR_MANGR unbound;
    EXPECT_EQ(unbound.fnDevide_ORG_Cell_EntryPoint(1, 0, nullptr), 0);
    EXPECT_EQ(unbound.fnCombineOPGCEntryPoint(1, 1), 0);
    EXPECT_EQ(unbound.fnDEL_ORG_Cell_EntryPoint(WORD{1}), 0);
}
