// Playlists and their user-defined chains.
#include <gtest/gtest.h>

#include "fixtures.h"

TEST(Playlists, AddTwiceThenDeleteTheFirst) {
    EditDisc disc;
    ASSERT_EQ(fnVR_AddPL(disc) + fnVR_AddPL(disc), 2);
    ASSERT_EQ(disc.Chains(), 2);
    EXPECT_EQ(disc.Names(), "1 2");
    EXPECT_EQ(disc.m->m_cCurUDPGCN, 2);
    // The second chain is told apart by a cell of its own.
    disc.AddMovie(0, 10);
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    ASSERT_EQ(disc.Chain(2), "0-10[]");

    ASSERT_EQ(fnVR_DelPL(disc, 1), 1);
    EXPECT_EQ(disc.Chains(), 1);
    EXPECT_EQ(disc.Names(), "1");
    EXPECT_EQ(disc.Chain(1), "0-10[]") << "the former chain 2";
    EXPECT_EQ(disc.m->m_cCurUDPGCN, 1) << "still the same chain";

    ASSERT_EQ(fnVR_DelPL(disc, 1), 1);
    ASSERT_NE(disc.Model().pUD_PGCIT, nullptr) << "the table stays, empty";
    EXPECT_EQ(Ints({disc.Chains(), disc.Playlists().fnGet_c1_PL_SRP_Ns(), disc.m->m_cCurUDPGCN, fnVR_DelPL(disc, 1)}),
              Ints(4, 0));
}

TEST(Playlists, ChainsAndSelection) {
    EditDisc disc;
    disc.AddMovie(0, 10);
    disc.AddMovie(0, 20);
    // Without a table: none may be selected, and there is no chain 1.
    EXPECT_EQ(Ints({disc.m->fnSelect_UD_PGCI(0), disc.m->fnSelect_UD_PGCI(1), disc.m->fnADD_PlayList(1),
                    disc.m->fnDEL_UD_PGCI(1), disc.m->fnDEL_UD_Movie_Cell(1, 1)}),
              Ints({1, 0, 0, 0, 0}));

    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(2), 1) << "makes chain 1";
    EXPECT_EQ(disc.Chain(1), "0-20[]");
    // No VOB 0 or 3, no chain 2.
    EXPECT_EQ(Ints({disc.m->m_cCurUDPGCN, disc.m->fnADD_UD_PGCI_MovieScene(0), disc.m->fnADD_UD_PGCI_MovieScene(3),
                    disc.m->fnADD_PlayList(2), disc.Playlists().fnGet_c1_PL_SRP_Ns()}),
              Ints({1, 0, 0, 0, 0}));

    ASSERT_EQ(disc.m->fnADD_UD_PGCI(), 1);
    ASSERT_EQ(disc.m->fnADD_UD_PGCI(), 1);
    EXPECT_EQ(disc.m->fnSelect_UD_PGCI(4), 0);
    EXPECT_EQ(disc.m->m_cCurUDPGCN, 3) << "kept";
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    EXPECT_EQ(disc.Chain(3), "0-10[]");
    // The current chain follows its chain when an earlier one goes.
    ASSERT_EQ(disc.m->fnDEL_UD_PGCI(1), 1);
    EXPECT_EQ(disc.m->m_cCurUDPGCN, 2);
    ASSERT_EQ(disc.m->fnADD_UD_PGCI_MovieScene(1), 1);
    EXPECT_EQ(disc.Chain(2), "0-10[] 0-10[]");
    ASSERT_EQ(disc.m->fnDEL_UD_Movie_Cell(2, 1), 1);
    EXPECT_EQ(disc.Chain(2), "0-10[]");
    EXPECT_EQ(Ints({disc.m->fnDEL_UD_Movie_Cell(2, 2), disc.m->fnDEL_UD_Movie_Cell(3, 1)}), Ints(2, 0));
}

TEST(Playlists, AnAddThatCannotFinishLeavesNothingBehind) {
    EditDisc disc;
    ASSERT_EQ(disc.m->fnADD_UD_PGCI(), 1);
    for (int i = 0; i < CPL_SRPT::kMaxEntries; ++i) ASSERT_EQ(disc.m->fnADD_PlayList(1), 1);
    ASSERT_EQ(disc.m->fnSelect_UD_PGCI(0), 1);
    EXPECT_EQ(fnVR_AddPL(disc), 0) << "no room for the playlist";
    EXPECT_EQ(disc.Chains(), 1) << "nor its chain";
    EXPECT_EQ(disc.m->m_cCurUDPGCN, 0);

    // Without a chain table before, there is none after.
    EditDisc other;
    for (int i = 0; i < CPL_SRPT::kMaxEntries; ++i) ASSERT_EQ(other.Playlists().AddPointer(0x10, 1), 1);
    EXPECT_EQ(fnVR_AddPL(other), 0);
    EXPECT_TRUE(other.Model().pUD_PGCIT == nullptr && other.m->m_pUD_PGCIT == nullptr);
}
