// Editing the cells and entry points of one program chain.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fixtures.h"
#include "platform/clock.h"
#include "support/Time.h"

namespace {

// A chain built from its text.
struct Chain {
    PGCI record{};
    CPGCI pgci{&record};
    explicit Chain(const std::string& text = "") {
        pgci.fnNew();
        EXPECT_TRUE(Build(record, text)) << text;
    }
    std::string Text() { return Describe(record); }
};

// Cell 3 continues the segment of entry point 30 s whole, cell 4 up to its
// entry point at 52 s. Global entry points: 1 s, 3 s, 10 s, 20 s, 30 s, 52 s.
const char* const kBase = "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52]";

// Inserts an entry point `seconds` after global entry point n.
int Insert(CPGCI& p, WORD n, double seconds) {
    return p.fnADD_Movie_Entry_Point(n, static_cast<__int64>(seconds * kSecond), nullptr);
}

}  // namespace

// One edit on a fresh chain (kBase unless the case names another): the
// chain it leaves, or, refused, the chain unchanged. Every chain keeps one
// record per cell and writes exactly the size it reports.
TEST(ChainEdit, OneEditAndTheChainItLeaves) {
    const struct {
        const char* what;
        std::function<int(CPGCI&)> edit;
        const char* after;  // nullptr: refused, nothing changes
        const char* before = kBase;
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
        {"the only entry point: the cell and its continuation go",
         [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(1, 1); }, "", "0-5[1] 5-9[]"},
        {"an entry point at the cell's start leaves no video before it",
         [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 1); }, "0-5[1] 20-40[20]", "0-5[1] 5-40[5,20]"},
        {"divide the first cell at its first entry point", [](CPGCI& p) { return p.fnDevideCell(1, 0); },
         "1-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52]"},
        {"combine in a cell", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(2, 1, 2, 2); },
         "0-5[1,3] 5-40[10,30] 40-50[] 50-60[52]"},
        {"combine across", [](CPGCI& p) { return p.fnCombine_EntryPoint(2, 4); },
         "0-5[1,3] 5-40[30] 40-50[] 50-60[52]"},
        {"combine wide", [](CPGCI& p) { return p.fnCombine_EntryPoint(5, 6); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[]"},
        {"combine one with itself", [](CPGCI& p) { return p.fnCombine_EntryPoint(3, 3); }, kBase},
        {"insert 15 s after entry point 5", [](CPGCI& p) { return Insert(p, 5, 15); },
         "0-5[1,3] 5-40[10,20,30] 40-50[45] 50-60[52]"},
        {"insert within the cell", [](CPGCI& p) { return Insert(p, 3, 5); },
         "0-5[1,3] 5-40[10,15,20,30] 40-50[] 50-60[52]"},
        {"insert at the entry point itself, right after it",
         [](CPGCI& p) { return Insert(p, 3, 5) && Insert(p, 3, 0); },
         "0-5[1,3] 5-40[10,10,15,20,30] 40-50[] 50-60[52]"},
        {"insert across the whole of cell 3", [](CPGCI& p) { return Insert(p, 5, 21); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[51,52]"},
        {"insert at the end", [](CPGCI& p) { return Insert(p, 6, 8); }, "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52,60]"},
        {"insert at a time after a global entry point",
         [](CPGCI& p) { return p.fnADD_Movie_Entry_Point(WORD{3}, Ptm(12 * kSecond).data(), nullptr); },
         "0-5[1,3] 5-40[10,12,20,30] 40-50[] 50-60[52]"},
        {"an insert stops before a later cell's first entry point", [](CPGCI& p) { return Insert(p, 1, 14.5); },
         "0-40[30] 40-50[44.5,45]", "0-40[30] 40-50[45]"},
        // A duplicate has entry points of its own.
        {"duplicate, delete in the copy, delete the first cell",
         [](CPGCI& p) {
             return p.fnDuplicateCell(2) && CCI(p.Cell(2)).fnDEL_Movie_Entry_Point(2) && p.fnDEL_UD_Cell(1);
         },
         "5-40[10,20,30] 5-40[10,30] 40-50[] 50-60[52]"},
        {"a still cell's entry point goes with the cell", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(WORD{2}); },
         "0-5[1] 5-9[6]", "0-5[1] S4[1] 5-9[6]"},

        // Refused.
        {"an insert at a later cell's first entry point", [](CPGCI& p) { return Insert(p, 1, 15); }, nullptr,
         "0-40[30] 40-50[45]"},
        {"an insert past the entry point at 20 s", [](CPGCI& p) { return Insert(p, 3, 11); }, nullptr},
        {"an insert reaching cell 4's entry point", [](CPGCI& p) { return Insert(p, 5, 22); }, nullptr},
        {"an insert past the last cell", [](CPGCI& p) { return Insert(p, 6, 9); }, nullptr},
        {"insert after entry point 0", [](CPGCI& p) { return Insert(p, 0, 1); }, nullptr},
        {"insert after entry point 7", [](CPGCI& p) { return Insert(p, 7, 1); }, nullptr},
        {"insert before the entry point", [](CPGCI& p) { return Insert(p, 3, -1); }, nullptr},
        {"insert at a time outside the cell",
         [](CPGCI& p) { return p.fnADD_Movie_Entry_Point(WORD{3}, Ptm(45 * kSecond).data(), nullptr); }, nullptr},
        {"insert at a time after entry point 0",
         [](CPGCI& p) { return p.fnADD_Movie_Entry_Point(WORD{0}, Ptm(0).data(), nullptr); }, nullptr},
        {"insert at a time after entry point 8",
         [](CPGCI& p) { return p.fnADD_Movie_Entry_Point(WORD{8}, Ptm(0).data(), nullptr); }, nullptr},
        {"divide cell 0", [](CPGCI& p) { return p.fnDevideCell(0, 0); }, nullptr},
        {"divide cell 5", [](CPGCI& p) { return p.fnDevideCell(5, 0); }, nullptr},
        {"divide at entry point 4 of 3", [](CPGCI& p) { return p.fnDevideCell(2, 3); }, nullptr},
        {"divide a cell without entry points", [](CPGCI& p) { return p.fnDevideCell(3, 0); }, nullptr},
        {"delete entry point 0 of a cell", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 0); }, nullptr},
        {"delete entry point 4 of 3", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 4); }, nullptr},
        {"delete in a cell without", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(3, 1); }, nullptr},
        {"delete in cell 0", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(0, 1); }, nullptr},
        {"delete in cell 5", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(5, 1); }, nullptr},
        {"delete entry point 0", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(WORD{0}); }, nullptr},
        {"delete entry point 7", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(WORD{7}); }, nullptr},
        {"combine from cell 0", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(0, 0, 2, 1); }, nullptr},
        {"combine backwards", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(2, 0, 1, 1); }, nullptr},
        {"combine from entry point 3 of 2", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(1, 3, 2, 1); },
         nullptr},
        {"combine to entry point 4 of 3", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(1, 1, 2, 4); }, nullptr},
        {"combine to cell 5", [](CPGCI& p) { return p.fnCombine_UD_Cell_EntryPoint(1, 1, 5, 0); }, nullptr},
        {"combine from entry point 0", [](CPGCI& p) { return p.fnCombine_EntryPoint(0, 2); }, nullptr},
        {"combine to entry point 7", [](CPGCI& p) { return p.fnCombine_EntryPoint(1, 7); }, nullptr},
        {"combine backwards across cells", [](CPGCI& p) { return p.fnCombine_EntryPoint(4, 2); }, nullptr},
        {"duplicate cell 0", [](CPGCI& p) { return p.fnDuplicateCell(0); }, nullptr},
        {"duplicate cell 5", [](CPGCI& p) { return p.fnDuplicateCell(5); }, nullptr},
        {"delete cell 0", [](CPGCI& p) { return p.fnDEL_UD_Cell(0); }, nullptr},
        {"delete cell 5", [](CPGCI& p) { return p.fnDEL_UD_Cell(5); }, nullptr},
        {"delete in an empty chain", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(WORD{1}); }, nullptr, ""},
        {"combine in an empty chain", [](CPGCI& p) { return p.fnCombine_EntryPoint(1, 1); }, nullptr, ""},
        {"insert in an empty chain", [](CPGCI& p) { return Insert(p, 1, 0); }, nullptr, ""},
        {"delete a cell of an empty chain", [](CPGCI& p) { return p.fnDEL_UD_Cell(1); }, nullptr, ""},
        {"divide a still cell", [](CPGCI& p) { return p.fnDevideCell(2, 0); }, nullptr, "0-5[1] S4[1] 5-9[6]"},
        {"combine across a still cell", [](CPGCI& p) { return p.fnCombine_EntryPoint(1, 3); }, nullptr,
         "0-5[1] S4[1] 5-9[6]"},
        {"delete a still entry point in a movie cell", [](CPGCI& p) { return p.fnDEL_Still_Pic_Entry_Point(1, 1); },
         nullptr, "0-5[1] S4[1] 5-9[6]"},
        {"an insert's walk stops at a still cell", [](CPGCI& p) { return Insert(p, 1, 6); }, nullptr,
         "0-5[1] S4[1] 5-9[6]"},
        {"no movie entry point in a still cell", [](CPGCI& p) { return Insert(p, 2, 0); }, nullptr,
         "0-5[1] S4[1] 5-9[6]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Chain chain(c.before);
        ASSERT_EQ(chain.Text(), c.before);
        EXPECT_EQ(c.edit(chain.pgci), c.after ? 1 : 0);
        EXPECT_EQ(chain.Text(), c.after ? c.after : c.before);
        EXPECT_EQ(chain.record.ci.size(), chain.pgci.fnGet_wCI_SRP_Ns());
        Serialise(chain.pgci);
    }
}

TEST(ChainEdit, AFullChainRefusesTheEditsThatNeedAnotherCell) {
    Chain c;
    for (DWORD i = 0; i < CPGCI::kMaxCells; ++i)
        ASSERT_TRUE(AppendCell(c.record, 1, 0, 10 * kSecond, {kSecond, 2 * kSecond, 3 * kSecond}));
    EXPECT_EQ(Ints({c.pgci.fnDevideCell(2, 1), c.pgci.fnDEL_Movie_Entry_Point(2, 2), c.pgci.fnDuplicateCell(2),
                    c.pgci.fnGet_wCI_SRP_Ns(), CCI(c.pgci.Cell(1)).fnGet_wC_EPI_Ns()}),
              Ints({0, 0, 0, CPGCI::kMaxCells, 3}));
    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(2, 3), 1) << "the last one needs no new cell";
}

TEST(ChainEdit, ProgramsFollowTheirCells) {
    vrm::ScopedTestClock day1(MakeTime(2004, 3, 1, 12, 0, 0), 0);
    Chain c;
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

TEST(ChainEdit, UserChainTableForwardsToItsChains) {
    UD_PGCIT table{};
    CUD_PGCIT ud(&table);
    ud.fnNew();
    ASSERT_EQ(ud.fnADD_UD_PGCI(), 1);
    ASSERT_TRUE(Build(table.pgci[0], "0-40[10,20,30]"));
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
