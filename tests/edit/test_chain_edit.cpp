// Editing the cells and entry points of one program chain.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fixtures.h"
#include "platform/clock.h"
#include "support/Time.h"

namespace {

// 0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52]: cell 3 continues the segment of
// entry point 30 s whole, cell 4 up to its entry point at 52 s. Global entry
// points: 1 s, 3 s, 10 s, 20 s, 30 s, 52 s.
struct Chain {
    PGCI record{};
    CPGCI pgci{&record};
    explicit Chain(bool build = true) {
        pgci.fnNew();
        if (!build) return;
        EXPECT_TRUE(AppendCell(record, 1, 0, 5 * kSecond, {kSecond, 3 * kSecond}));
        EXPECT_TRUE(AppendCell(record, 1, 5 * kSecond, 40 * kSecond, {10 * kSecond, 20 * kSecond, 30 * kSecond}));
        EXPECT_TRUE(AppendCell(record, 1, 40 * kSecond, 50 * kSecond, {}));
        EXPECT_TRUE(AppendCell(record, 2, 50 * kSecond, 60 * kSecond, {52 * kSecond}));
    }
    std::string Text() { return Describe(record); }
};

const char* const kBase = "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52]";

}  // namespace

// One edit each on a fresh kBase chain, and the chain it leaves.
TEST(ChainEdit, OneEditOnTheBaseChain) {
    auto at = [](double seconds) { return static_cast<__int64>(seconds * kSecond); };
    const struct {
        const char* what;
        std::function<int(CPGCI&)> edit;
        const char* after;
    } cases[] = {
        {"divide cell 2 at its second entry point", [](CPGCI& p) { return p.fnDevideCell(2, 1); },
         "0-5[1,3] 5-20[10] 20-40[20,30] 40-50[] 50-60[52]"},
        {"delete a middle entry point: 20 s to 30 s is gone", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 2); },
         "0-5[1,3] 5-20[10] 30-40[30] 40-50[] 50-60[52]"},
        {"the same by global number", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(WORD{4}); },
         "0-5[1,3] 5-20[10] 30-40[30] 40-50[] 50-60[52]"},
        {"a cell's last entry point trims its continuation", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 3); },
         "0-5[1,3] 5-30[10,20] 52-60[52]"},
        {"a later cell's only entry point: the part before it stays",
         [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(4, 1); }, "0-5[1,3] 5-40[10,20,30] 40-50[] 50-52[]"},
        {"the first cell loses what lies before its first entry point",
         [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(1, 1); }, "3-5[3] 5-40[10,20,30] 40-50[] 50-60[52]"},
        {"cell 2 continues the segment of 3 s up to 10 s", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(1, 2); },
         "0-3[1] 10-40[10,20,30] 40-50[] 50-60[52]"},
        {"divide the first cell at its first entry point", [](CPGCI& p) { return p.fnDevideCell(1, 0); },
         "1-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52]"},
        {"combine in a cell", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(2, 1, 2, 2); },
         "0-5[1,3] 5-40[10,30] 40-50[] 50-60[52]"},
        {"combine across", [](CPGCI& p) { return p.fnCombine_EntryPoint(2, 4); },
         "0-5[1,3] 5-40[30] 40-50[] 50-60[52]"},
        {"combine wide", [](CPGCI& p) { return p.fnCombine_EntryPoint(5, 6); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[]"},
        {"combine one with itself", [](CPGCI& p) { return p.fnCombine_EntryPoint(3, 3); }, kBase},
        {"insert 15 s after entry point 5", [&](CPGCI& p) { return p.fnADD_Movie_Entry_Point(5, at(15), nullptr); },
         "0-5[1,3] 5-40[10,20,30] 40-50[45] 50-60[52]"},
        {"insert within the cell", [&](CPGCI& p) { return p.fnADD_Movie_Entry_Point(3, at(5), nullptr); },
         "0-5[1,3] 5-40[10,15,20,30] 40-50[] 50-60[52]"},
        {"insert across the whole of cell 3", [&](CPGCI& p) { return p.fnADD_Movie_Entry_Point(5, at(21), nullptr); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[51,52]"},
        {"insert at the end", [&](CPGCI& p) { return p.fnADD_Movie_Entry_Point(6, at(8), nullptr); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52,60]"},
        {"insert at a time after a global entry point",
         [](CPGCI& p) { return p.fnADD_Movie_Entry_Point(WORD{3}, Ptm(12 * kSecond).data(), nullptr); },
         "0-5[1,3] 5-40[10,12,20,30] 40-50[] 50-60[52]"},
    };
    for (const auto& c : cases) {
        Chain chain;
        ASSERT_EQ(chain.Text(), kBase);
        EXPECT_EQ(c.edit(chain.pgci), 1) << c.what;
        EXPECT_EQ(chain.Text(), c.after) << c.what;
    }
    // Zero: at the entry point itself, right after it.
    Chain within;
    ASSERT_EQ(within.pgci.fnADD_Movie_Entry_Point(3, at(5), nullptr), 1);
    ASSERT_EQ(within.pgci.fnADD_Movie_Entry_Point(3, at(0), nullptr), 1);
    EXPECT_EQ(within.Text(), "0-5[1,3] 5-40[10,10,15,20,30] 40-50[] 50-60[52]");
}

TEST(ChainEdit, InsertAtATimeOffsetStopsAtLaterEntryPoints) {
    // A later cell whose first entry point lies at or before the time.
    Chain blocked(false);
    auto insert = [&](WORD n, double seconds) {
        return blocked.pgci.fnADD_Movie_Entry_Point(n, static_cast<__int64>(seconds * kSecond), nullptr);
    };
    ASSERT_TRUE(AppendCell(blocked.record, 1, 0, 40 * kSecond, {30 * kSecond}));
    ASSERT_TRUE(AppendCell(blocked.record, 1, 40 * kSecond, 50 * kSecond, {45 * kSecond}));
    EXPECT_EQ(insert(1, 15), 0);
    ASSERT_EQ(insert(1, 14.5), 1);
    EXPECT_EQ(blocked.Text(), "0-40[30] 40-50[44.5,45]");
}

TEST(ChainEdit, ADuplicateHasItsOwnEntryPoints) {
    Chain c;
    ASSERT_EQ(c.pgci.fnDuplicateCell(2), 1);
    EXPECT_EQ(c.Text(), "0-5[1,3] 5-40[10,20,30] 5-40[10,20,30] 40-50[] 50-60[52]");
    ASSERT_EQ(CCI(c.pgci.Cell(2)).fnDEL_Movie_Entry_Point(2), 1);
    EXPECT_EQ(c.Text(), "0-5[1,3] 5-40[10,20,30] 5-40[10,30] 40-50[] 50-60[52]");
    ASSERT_EQ(c.pgci.fnDEL_UD_Cell(1), 1);
    EXPECT_EQ(c.Text(), "5-40[10,20,30] 5-40[10,30] 40-50[] 50-60[52]");
    EXPECT_EQ(Serialise(c.pgci).size(), c.pgci.fndwDataSize());
}

TEST(ChainEdit, StillCells) {
    Chain c(false);
    Vog vog(3);
    ASSERT_TRUE(AppendCell(c.record, 1, 0, 5 * kSecond, {kSecond}));
    ASSERT_EQ(c.pgci.fnADD_UD_Still_Pic_Cell(&vog.record, 4, -1), 1);
    ASSERT_TRUE(AppendCell(c.record, 1, 5 * kSecond, 9 * kSecond, {6 * kSecond}));
    const std::string before = c.Text();
    ASSERT_EQ(before, "0-5[1] S4[1] 5-9[6]");
    EXPECT_EQ(c.pgci.fnDevideCell(2, 0), 0);
    EXPECT_EQ(c.pgci.fnCombine_EntryPoint(1, 3), 0) << "across a still cell";
    EXPECT_EQ(c.pgci.fnDEL_Still_Pic_Entry_Point(1, 1), 0) << "a movie cell";
    EXPECT_EQ(c.pgci.fnADD_Movie_Entry_Point(1, 6 * kSecond, nullptr), 0) << "the walk stops at a still cell";
    EXPECT_EQ(c.pgci.fnADD_Movie_Entry_Point(2, __int64{0}, nullptr), 0) << "no movie entry point in a still cell";
    EXPECT_EQ(c.Text(), before);
    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(WORD{2}), 1);
    EXPECT_EQ(c.Text(), "0-5[1] 5-9[6]");
}

TEST(ChainEdit, RefusedCallsChangeNothing) {
    Chain c;
    CPGCI& p = c.pgci;
    auto insert = [&](WORD n, double seconds) {
        return p.fnADD_Movie_Entry_Point(n, static_cast<__int64>(seconds * kSecond), nullptr);
    };
    // Evaluated in order, each on the chain the calls before it left.
    const int results[] = {
        insert(3, 11),  // would pass the entry point at 20 s
        insert(5, 22),  // would reach cell 4's entry point
        insert(6, 9),  // past the last cell
        insert(0, 1),
        insert(7, 1),
        insert(3, -1),
        p.fnADD_Movie_Entry_Point(WORD{3}, Ptm(45 * kSecond).data(), nullptr),  // outside the cell
        p.fnADD_Movie_Entry_Point(WORD{0}, Ptm(0).data(), nullptr),
        p.fnADD_Movie_Entry_Point(WORD{8}, Ptm(0).data(), nullptr),
        p.fnDevideCell(0, 0),
        p.fnDevideCell(5, 0),
        p.fnDevideCell(2, 3),  // no entry point 4 to split at
        p.fnDevideCell(3, 0),  // no entry point at all
        p.fnDEL_Movie_Entry_Point(2, 0),
        p.fnDEL_Movie_Entry_Point(2, 4),
        p.fnDEL_Movie_Entry_Point(3, 1),
        p.fnDEL_Movie_Entry_Point(0, 1),
        p.fnDEL_Movie_Entry_Point(5, 1),
        p.fnDEL_Movie_Entry_Point(WORD{0}),
        p.fnDEL_Movie_Entry_Point(WORD{7}),
        p.fnCombine_UD_Cell_EntryPoint(0, 0, 2, 1),
        p.fnCombine_UD_Cell_EntryPoint(2, 0, 1, 1),
        p.fnCombine_UD_Cell_EntryPoint(1, 3, 2, 1),
        p.fnCombine_UD_Cell_EntryPoint(1, 1, 2, 4),
        p.fnCombine_UD_Cell_EntryPoint(1, 1, 5, 0),
        p.fnCombine_EntryPoint(0, 2),
        p.fnCombine_EntryPoint(1, 7),
        p.fnCombine_EntryPoint(4, 2),  // backwards across cells
        p.fnDuplicateCell(0),
        p.fnDuplicateCell(5),
        p.fnDEL_UD_Cell(0),
        p.fnDEL_UD_Cell(5),
    };
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], 0) << "call " << i;
    EXPECT_EQ(c.Text(), kBase);

    Chain empty(false);
    const int onEmpty[] = {empty.pgci.fnDEL_Movie_Entry_Point(WORD{1}), empty.pgci.fnCombine_EntryPoint(1, 1),
                           empty.pgci.fnADD_Movie_Entry_Point(WORD{1}, __int64{0}, nullptr),
                           empty.pgci.fnDEL_UD_Cell(1)};
    for (int r : onEmpty) EXPECT_EQ(r, 0);
}

TEST(ChainEdit, AFullChainRefusesTheEditsThatNeedAnotherCell) {
    Chain c(false);
    for (DWORD i = 0; i < CPGCI::kMaxCells; ++i)
        ASSERT_TRUE(AppendCell(c.record, 1, 0, 10 * kSecond, {kSecond, 2 * kSecond, 3 * kSecond}));
    EXPECT_EQ(Ints({c.pgci.fnDevideCell(2, 1), c.pgci.fnDEL_Movie_Entry_Point(2, 2), c.pgci.fnDuplicateCell(2),
                    c.pgci.fnGet_wCI_SRP_Ns(), CCI(c.pgci.Cell(1)).fnGet_wC_EPI_Ns()}),
              Ints({0, 0, 0, CPGCI::kMaxCells, 3}));
    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(2, 3), 1) << "the last one needs no new cell";
}

TEST(ChainEdit, ProgramsFollowTheirCells) {
    vrm::ScopedTestClock day1(MakeTime(2004, 3, 1, 12, 0, 0), 0);
    Chain c(false);
    Vob first(0, 10 * kSecond), second(0, 20 * kSecond);
    ASSERT_EQ(c.pgci.fnADD_Movie_Program(&first.record, 1), 1);
    {
        vrm::ScopedTestClock day2(MakeTime(2004, 3, 2, 12, 0, 0), 0);
        ASSERT_EQ(c.pgci.fnADD_Movie_Program(&second.record, 2), 1);
    }
    ASSERT_EQ(c.pgci.fnADD_Movie_Entry_Point(2, 1, Ptm(5 * kSecond).data(), nullptr), 1);
    ASSERT_EQ(c.pgci.fnADD_Movie_Entry_Point(2, 2, Ptm(10 * kSecond).data(), nullptr), 1);
    ASSERT_EQ(c.Text(), "0-10[0] 0-20[0,5,10]");

    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(2, 2), 1);
    EXPECT_EQ(c.Text(), "0-10[0] 0-5[0] 10-20[10]");
    EXPECT_EQ(Ints({c.pgci.fnGet_wC_Ns(0), c.pgci.fnGet_wC_Ns(1), c.pgci.fnGetPGEntryPointNs(2)}), Ints({1, 2, 2}))
        << "the new cell stays in program 2";

    // Program 1 loses its only cell and goes.
    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(WORD{1}), 1);
    EXPECT_EQ(c.Text(), "0-5[0] 10-20[10]");
    ASSERT_EQ(c.pgci.fnGet_c1_PG_Ns(), 1);
    EXPECT_EQ(c.pgci.fnGet_wC_Ns(0), 2);
    BYTE text[128];
    c.pgci.fnGet_c128_PRM_TXTI(0, text);
    EXPECT_STREQ(reinterpret_cast<const char*>(text), "2004/ 3/ 2");
    EXPECT_EQ(Serialise(c.pgci).size(), 4u + 142 + 2 * 4 + 2 * 25);
}

TEST(ChainEdit, CutsThatLeaveNoVideoTakeTheCell) {
    // The only entry point: the cell and its continuation go.
    Chain only(false);
    ASSERT_TRUE(AppendCell(only.record, 1, 0, 5 * kSecond, {kSecond}));
    ASSERT_TRUE(AppendCell(only.record, 1, 5 * kSecond, 9 * kSecond, {}));
    ASSERT_EQ(only.pgci.fnDEL_Movie_Entry_Point(1, 1), 1);
    EXPECT_EQ(only.Text(), "");
    EXPECT_TRUE(only.record.ci.empty());
    EXPECT_EQ(only.pgci.fnDEL_Movie_Entry_Point(WORD{1}), 0);
    // An entry point at the cell's start leaves no video before it.
    Chain c(false);
    ASSERT_TRUE(AppendCell(c.record, 1, 0, 5 * kSecond, {kSecond}));
    ASSERT_TRUE(AppendCell(c.record, 1, 5 * kSecond, 40 * kSecond, {5 * kSecond, 20 * kSecond}));
    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(2, 1), 1);
    EXPECT_EQ(c.Text(), "0-5[1] 20-40[20]");
}

TEST(ChainEdit, UserChainTableForwardsToItsChains) {
    UD_PGCIT table{};
    CUD_PGCIT ud(&table);
    ud.fnNew();
    ASSERT_EQ(ud.fnADD_UD_PGCI(), 1);
    ASSERT_TRUE(AppendCell(table.pgci[0], 1, 0, 40 * kSecond, {10 * kSecond, 20 * kSecond, 30 * kSecond}));
    for (BYTE bad : {BYTE{0}, BYTE{2}}) {
        EXPECT_EQ(
            Ints({ud.fnDEL_Movie_Cell(bad, 1), ud.fnADD_Movie_Cell_EntryPoint(bad, 1, Ptm(kSecond).data(), nullptr),
                  ud.fnADD_Movie_Cell_EntryPoint(bad, 1, __int64{kSecond}, nullptr),
                  ud.fnDEL_Movie_Entry_Point(bad, 1, 1), ud.fnDEL_Movie_Entry_Point(bad, WORD{1}),
                  ud.fnCombine_UD_Cell_EntryPoint(bad, 1, 1, 1, 2), ud.fnCombine_EntryPoint(bad, 1, 2)}),
            Ints(7, 0))
            << int{bad};
    }
    ASSERT_EQ(ud.fnADD_Movie_Cell_EntryPoint(1, 1, __int64{5 * kSecond}, nullptr), 1);
    ASSERT_EQ(ud.fnADD_Movie_Cell_EntryPoint(1, 4, Ptm(35 * kSecond).data(), nullptr), 1);
    EXPECT_EQ(Describe(table.pgci[0]), "0-40[10,15,20,30,35]");
    ASSERT_EQ(ud.fnCombine_EntryPoint(1, 1, 2), 1);
    ASSERT_EQ(ud.fnCombine_UD_Cell_EntryPoint(1, 1, 3, 1, 4), 1);
    EXPECT_EQ(Describe(table.pgci[0]), "0-40[10,20,30]");
    ASSERT_EQ(ud.fnDEL_Movie_Entry_Point(1, WORD{2}), 1);
    ASSERT_EQ(ud.fnDEL_Movie_Entry_Point(1, 2, 1), 1);
    EXPECT_EQ(Describe(table.pgci[0]), "0-20[10]") << "a cell that starts at its only entry point goes whole";
    EXPECT_EQ(ud.fnDEL_Movie_Cell(1, 2), 0);
    ASSERT_EQ(ud.fnDEL_Movie_Cell(1, 1), 1);
    EXPECT_EQ(Describe(table.pgci[0]), "");
}
