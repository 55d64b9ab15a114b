// Editing the cells and entry points of one program chain.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fixtures.h"
#include "platform/clock.h"
#include "support/EditScript.h"
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

// One edit on a fresh chain (kBase unless the case names another) and the
// chain it leaves. Every chain keeps one record per cell and writes exactly
// the size it reports. (Combines within a cell, and inserts and deletes by
// global number, are also what the manager's edits below do.)
TEST(ChainEdit, OneEditAndTheChainItLeaves) {
    const struct {
        const char* what;
        std::function<int(CPGCI&)> edit;
        const char* after;
        const char* before = kBase;
    } cases[] = {
        {"divide cell 2 at its second entry point", [](CPGCI& p) { return p.fnDevideCell(2, 1); },
         "0-5[1,3] 5-20[10] 20-40[20,30] 40-50[] 50-60[52]"},
        {"delete a middle entry point: 20 s to 30 s is gone", [](CPGCI& p) { return p.fnDEL_Movie_Entry_Point(2, 2); },
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
        {"combine across cells", [](CPGCI& p) { return p.fnCombine_EntryPoint(5, 6); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[]"},
        {"insert 15 s after entry point 5", [](CPGCI& p) { return Insert(p, 5, 15); },
         "0-5[1,3] 5-40[10,20,30] 40-50[45] 50-60[52]"},
        // An entry point on another one or on the end of the video would
        // make an empty segment.
        {"insert within the cell; on the entry point itself is refused",
         [](CPGCI& p) { return Insert(p, 3, 5) && !Insert(p, 3, 0) && !Insert(p, 3, 5); },
         "0-5[1,3] 5-40[10,15,20,30] 40-50[] 50-60[52]"},
        {"insert across the whole of cell 3", [](CPGCI& p) { return Insert(p, 5, 21); },
         "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[51,52]"},
        {"insert just before the end; at the end is refused",
         [](CPGCI& p) { return !Insert(p, 6, 8) && Insert(p, 6, 7); }, "0-5[1,3] 5-40[10,20,30] 40-50[] 50-60[52,59]"},
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Chain chain(c.before);
        ASSERT_EQ(chain.Text(), c.before);
        EXPECT_EQ(c.edit(chain.pgci), 1);
        EXPECT_EQ(chain.Text(), c.after);
        EXPECT_EQ(chain.record.ci.size(), chain.pgci.fnGet_wCI_SRP_Ns());
        Serialise(chain.pgci);
    }
}

// Edits that name nothing or cannot be made are refused and change nothing.
TEST(ChainEdit, RefusedEditsChangeNothing) {
    Chain base(kBase);
    CPGCI& p = base.pgci;
    // Inserts: past the entry point at 20 s, reaching cell 4's entry point,
    // past the last cell, after entry points 0 and 7 (as every edit by global
    // number finds its entry point), before the entry point, at a time
    // outside the cell.
    EXPECT_EQ(Ints({Insert(p, 3, 11), Insert(p, 5, 22), Insert(p, 6, 9), Insert(p, 0, 1), Insert(p, 7, 1),
                    Insert(p, 3, -1), p.fnADD_Movie_Entry_Point(WORD{3}, Ptm(45 * kSecond).data(), nullptr)}),
              Ints(7, 0));
    // Divide, delete, duplicate cells 0 and 5, entry points a cell does not
    // have, and a cell without entry points.
    EXPECT_EQ(Ints({p.fnDevideCell(0, 0), p.fnDevideCell(5, 0), p.fnDevideCell(2, 3), p.fnDevideCell(3, 0),
                    p.fnDEL_Movie_Entry_Point(2, 0), p.fnDEL_Movie_Entry_Point(2, 4), p.fnDEL_Movie_Entry_Point(3, 1),
                    p.fnDEL_Movie_Entry_Point(0, 1), p.fnDEL_Movie_Entry_Point(5, 1), p.fnDuplicateCell(0),
                    p.fnDuplicateCell(5), p.fnDEL_UD_Cell(0), p.fnDEL_UD_Cell(5)}),
              Ints(13, 0));
    // Combines from cell 0, backwards, from entry point 3 of 2, to entry
    // point 4 of 3, to cell 5; backwards across cells.
    EXPECT_EQ(Ints({p.fnCombine_UD_Cell_EntryPoint(0, 0, 2, 1), p.fnCombine_UD_Cell_EntryPoint(2, 0, 1, 1),
                    p.fnCombine_UD_Cell_EntryPoint(1, 3, 2, 1), p.fnCombine_UD_Cell_EntryPoint(1, 1, 2, 4),
                    p.fnCombine_UD_Cell_EntryPoint(1, 1, 5, 0), p.fnCombine_EntryPoint(4, 2)}),
              Ints(6, 0));
    // Inserts at a position whose neighbours the time does not lie between:
    // entry points keep the order of the video.
    EXPECT_EQ(Ints({p.fnADD_Movie_Entry_Point(WORD{2}, WORD{1}, Ptm(25 * kSecond).data(), nullptr),
                    p.fnADD_Movie_Entry_Point(WORD{2}, WORD{0}, Ptm(12 * kSecond).data(), nullptr),
                    p.fnADD_Movie_Entry_Point(WORD{2}, WORD{3}, Ptm(29 * kSecond).data(), nullptr)}),
              Ints(3, 0));
    EXPECT_EQ(base.Text(), kBase);

    // An insert at a later cell's first entry point.
    Chain later("0-40[30] 40-50[45]");
    EXPECT_EQ(Insert(later.pgci, 1, 15), 0);
    EXPECT_EQ(later.Text(), "0-40[30] 40-50[45]");
    Chain empty;
    EXPECT_EQ(Ints({empty.pgci.fnDEL_Movie_Entry_Point(WORD{1}), empty.pgci.fnCombine_EntryPoint(1, 1),
                    Insert(empty.pgci, 1, 0), empty.pgci.fnDEL_UD_Cell(1)}),
              Ints(4, 0));
    // Still cells: not divided, not combined across, no movie entry point
    // in them, and an insert's walk stops at one.
    Chain still("0-5[1] S4[1] 5-9[6]");
    EXPECT_EQ(Ints({still.pgci.fnDevideCell(2, 0), still.pgci.fnCombine_EntryPoint(1, 3),
                    still.pgci.fnDEL_Still_Pic_Entry_Point(1, 1), Insert(still.pgci, 1, 6), Insert(still.pgci, 2, 0)}),
              Ints(5, 0));
    EXPECT_EQ(Ints({still.Text() == "0-5[1] S4[1] 5-9[6]", empty.Text() == ""}), Ints({1, 1}));
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

// A cell that an edit divides stays in its program; a program that loses
// its only cell goes, with its program information.
TEST(ChainEdit, ProgramsFollowTheirCells) {
    Chain c;
    Vob first(0, 10 * kSecond), second(0, 20 * kSecond);
    // Recordings of different days make two programs.
    for (WORD day : {WORD{1}, WORD{2}}) {
        vrm::ScopedTestClock clock(MakeTime(2004, 3, day, 12, 0, 0), 0);
        ASSERT_EQ(c.pgci.fnADD_Movie_Program(day == 1 ? &first.record : &second.record, day), 1);
    }
    ASSERT_EQ(c.pgci.fnADD_Movie_Entry_Point(2, 1, Ptm(5 * kSecond).data(), nullptr), 1);
    ASSERT_EQ(c.pgci.fnADD_Movie_Entry_Point(2, 2, Ptm(10 * kSecond).data(), nullptr), 1);
    ASSERT_EQ(c.Text(), "0-10[0] 0-20[0,5,10]");

    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(2, 2), 1);
    EXPECT_EQ(c.Text(), "0-10[0] 0-5[0] 10-20[10]");
    EXPECT_EQ(Ints({c.pgci.fnGet_wC_Ns(0), c.pgci.fnGet_wC_Ns(1), c.pgci.fnGetPGEntryPointNs(2)}), Ints({1, 2, 2}))
        << "the new cell stays in program 2";

    ASSERT_EQ(c.pgci.fnDEL_Movie_Entry_Point(WORD{1}), 1);
    EXPECT_EQ(c.Text(), "0-5[0] 10-20[10]");
    EXPECT_EQ(Ints({c.pgci.fnGet_c1_PG_Ns(), c.pgci.fnGet_wC_Ns(0)}), Ints({1, 2}));
    EXPECT_EQ(Serialise(c.pgci).size(), 4u + 142 + 2 * 4 + 2 * 25);
}

// Call sequences of the editing fuzzer after which a save succeeded and the
// next open refused both copies (an entry point outside its cell): every
// call now keeps the tables consistent or is refused, and the disc saves and
// opens again.
TEST(ChainEdit, FuzzedCallSequencesKeepTheDiscOpenable) {
    const auto sample = [](const char* name) {
        return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
    };
    const std::vector<std::vector<uint8_t>> scripts = {
        // Divide entry point 1 at 12 frames; an entry point at 64.25 frames
        // inserted in front of it; delete entry point 1 of cell 1.
        {0x02, 0x01, 0x0c, 0x00, 0x0a, 0x01, 0x01, 0x01, 0x01, 0x26, 0x0c, 0x01, 0x01},
        // An entry point at 64 frames inserted before the first of playlist
        // 1's cell 1; that cell's entry point 1 copied into the playlist.
        {0x17, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x05, 0x01, 0x01, 0x01, 0x01, 0x01},
    };
    for (const auto& bytes : scripts) {
        TempDir dir;
        ASSERT_TRUE(MakeEditScriptDisc(dir.Path(), sample));
        CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
        ASSERT_EQ(fnVR_MANGROpen(m, dir.Path().c_str()), 1);
        EditScript script(bytes.data(), bytes.size());
        for (int call = 1; script.More(); ++call) {
            const int operation = ApplyEditCall(m, script, sample);
            std::vector<std::string> findings;
            EXPECT_EQ(m->fnCheckConsistency(&findings), 1)
                << "call " << call << " (operation " << operation << "): " << (findings.empty() ? "" : findings[0]);
        }
        EXPECT_EQ(fnVR_MANGRSave(m, nullptr), 1);
        fnVR_MANGREnd(m);
        void* again = fnVR_MANGRBegin();
        EXPECT_EQ(fnVR_MANGROpen(again, dir.Path().c_str()), 1);
        fnVR_MANGREnd(again);
    }
}
