// Program chains: cells (CI), the original chain PGCI, and the table of
// user-defined chains UD_PGCIT.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Cells.h"
#include "support/Time.h"
#include "tables/CPGCI.h"
#include "tables/CUD_PGCIT.h"
#include "tables/TableTests.h"

namespace {

const BYTE kText[128] = {'h', 'i'};

const LoadAt kCell = Loader<CI, CCI>(&CCI::fndwLoad_CI_From_File);
const LoadAt kChain = Loader<PGCI, CPGCI>(&CPGCI::fndwLoad_PGCI_From_File);
const LoadAt kUserChains = Loader<UD_PGCIT, CUD_PGCIT>(&CUD_PGCIT::fndwLoad_UD_PGCIT_From_File);
// Tables lie this far into their file (a UD_PGCIT at 0 means none).
constexpr DWORD kAt = 8;

// An original chain built the way recordings are registered.
struct Chain {
    PGCI record{};
    CPGCI pgci{&record};
    std::vector<std::unique_ptr<Vob>> vobs;
    Chain() { pgci.fnNew(); }
    int AddMovie(__int64 start, __int64 end) {
        vobs.emplace_back(new Vob(start, end));
        return pgci.fnADD_Movie_Program(&vobs.back()->record, static_cast<WORD>(vobs.size()));
    }
};

}  // namespace

TEST(Chains, LoadersTakeWhatTheSaveGivesAndRefuseWhatPassesTheFile) {
    // A movie cell: entry points at 0 and, with a text that EP_TY 0x80
    // announces (bit 7 or 6), at 1 s; a still cell, an entry point with text.
    Vob vob(0, 10 * kSecond);
    Vog vog(5);
    CI movieCell{}, stillCell{};
    CCI m(&movieCell), s(&stillCell);
    m.fnADD_Movie_CI(&vob.record, 1);
    m.fnADD_Movie_Entry_Point(0, Ptm(0).data(), nullptr);
    m.fnADD_Movie_Entry_Point(1, Ptm(kSecond).data(), kText);
    m.fnSet_c1_EP_TY(1, 0x80);
    s.fnADD_Still_Pic_CI(&vog.record, 3);
    s.fnADD_Still_Pic_Entry_Point(1, 2, kText);
    // One program of two movie cells (an entry point with text), a still
    // cell and a cell without entry point in front; a reserved byte set.
    Chain chain;
    chain.AddMovie(0, 10 * kSecond);
    chain.AddMovie(kSecond, 20 * kSecond);
    chain.pgci.fnADD_Movie_Entry_Point(2, 1, Ptm(5 * kSecond).data(), kText);
    chain.pgci.fnADD_UD_Still_Pic_Cell(&vog.record, 1, -1);
    chain.pgci.fnADD_UD_Movie_Cell(Ptm(0).data(), Ptm(kSecond).data(), 1, 0);
    chain.record.header[0] = 0x5A;
    // User chains: chain k of 1..3 has k movie cells, each with an entry
    // point at its start (so that a load adds none); chain 4 no cell, chain
    // 5 a still cell then a movie cell; an entry point with text; the
    // reserved byte set.
    UD_PGCIT ud{};
    CUD_PGCIT t(&ud);
    t.fnNew();
    for (BYTE k = 1; k <= 5; ++k) {
        t.fnADD_UD_PGCI();
        for (WORD c = 1; k <= 3 && c <= k; ++c) {
            t.fnADD_Movie_Cell(k, &vob.record, 1);
            t.fnADD_Movie_Cell_EntryPoint(k, c, 0, Ptm(0).data(), nullptr);
        }
    }
    t.fnADD_Still_Pic_Cell(5, &vog.record, 1);
    t.fnADD_Movie_Cell(5, &vob.record, 1);
    t.fnADD_Movie_Cell_EntryPoint(2, 2, 1, Ptm(kSecond).data(), kText);
    ud.header[0] = 0x5A;
    PGCI noCell{};
    CPGCI(&noCell).fnNew();
    UD_PGCIT noChain{};
    const std::vector<BYTE> movie = Serialise(m), still = Serialise(s), pgc = Serialise(chain.pgci),
                            table = Serialise(t);
    // Texts lie behind EP_PTM or S_VOB_ENTN; an entry point without text is
    // written without it.
    ASSERT_EQ(movie.size(), 18u + 7 + 135);
    ASSERT_EQ(still.size(), 8u + 2 + 130);
    EXPECT_EQ(Ints({movie[4], movie[5], movie[25], movie[32], movie[33]}), Ints({0, 2, 0x80, 'h', 'i'}));
    EXPECT_EQ(Head(still, 14), (std::vector<BYTE>{0, 0x20, 0, 3, 0, 2, 1, 5, 0, 1, 0x40, 2, 'h', 'i'}));
    EXPECT_EQ(Serialise(CPGCI(&noCell)), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(Serialise(CUD_PGCIT(&noChain)), (std::vector<BYTE>{0, 0, 0, 0, 0, 5}));
    // The user chains' header (reserved byte, count, end address), five
    // search pointers, and chain 1 where the first one says.
    const std::vector<BYTE> c1 = Serialise(CPGCI(&ud.pgci[0])), c2 = Serialise(CPGCI(&ud.pgci[1]));
    EXPECT_EQ(Head(table, 10), With(With({0x5A, 5, 0, 0, 0, 0, 0, 0, 0, 0}, 2, table.size() - 1, 4), 6, 26, 4));
    EXPECT_EQ(Bytes(table.data() + 26, c1.size()), c1);
    // Chain 2's bytes before chain 1's.
    std::vector<BYTE> swapped = Head(table, 26);
    swapped.insert(swapped.end(), c2.begin(), c2.end());
    swapped.insert(swapped.end(), c1.begin(), c1.end());
    swapped.insert(swapped.end(), table.begin() + static_cast<long>(26 + c1.size() + c2.size()), table.end());
    m.fnDEL_All_Movie_Entry_Point();
    for (int i = 0; i < 200; ++i) m.fnADD_Movie_Entry_Point(0, Ptm(0).data(), kText);
    ExpectRows({
        {"movie cell", kCell, movie, true, kAt},
        {"still cell", kCell, still, true, kAt},
        {"empty chain", kChain, Serialise(CPGCI(&noCell)), true, kAt},
        {"original chain", kChain, pgc, true, kAt},
        {"no user chain", kUserChains, Serialise(CUD_PGCIT(&noChain)), true, kAt},
        {"user chains", kUserChains, table, true, kAt},
        // The load follows each search pointer, the save packs the chains in
        // order again.
        {"chains out of order", kUserChains, With(With(swapped, 6, 26 + c2.size(), 4), 10, 26, 4), true, kAt, 0, table},
        {"entry points without texts pass the end", kCell, Head(movie, 18 + 2 * 7 - 1), false, kAt},
        {"a text cut short", kCell, Head(movie, movie.size() - 1), false, kAt},
        // One program, so cell 2's address is at 4 + 142 + 4.
        {"a cell far away", kChain, With(pgc, 4 + 142 + 4, 0xFF), false, kAt},
        {"0xFF04 cells", kChain, With(pgc, 2, 0xFF), false, kAt},
        {"255 programs", kChain, With(pgc, 1, 0xFF), false, kAt},
        // What a table loads can never exceed the file.
        {"1000 pointers at one large cell", kChain, SamePointers({0, 0, 0x03, 0xE8}, 1000, 4 + 4 * 1000, Serialise(m)),
         false, kAt},
        {"a header cut short", kUserChains, Head(table, 5), false, kAt},
        {"the last chain cut short", kUserChains, Head(table, table.size() - 1), false, kAt},
        {"255 chains", kUserChains, With(table, 1, 0xFF), false, kAt},
        {"a chain beyond the file", kUserChains, With(table, 10, 0xFFFFFFF0u, 4), false, kAt},
        {"a chain at the end", kUserChains, With(table, 10, table.size() - 3, 4), false, kAt},
    });
    // A start address of 0 means no table: the record is left as it was.
    BytesFile file(table);
    EXPECT_EQ(CUD_PGCIT(&file.buffer, &ud, 0).fndwLoad_UD_PGCIT_From_File(), 0u);
    EXPECT_EQ(t.fnGet_CI_SRP_Ns(3), 3u);
}

// Every record of the tree as written: search pointers after the
// serialisation, the movie cell's text because EP_TY announces it, the still
// cell's own fields.
TEST(Chains, DumpShowsEveryRecordAsWritten) {
    UD_PGCIT record{};
    CUD_PGCIT table(&record);
    table.fnNew();
    table.fnADD_UD_PGCI();
    Vob vob(0, kSecond);
    Vog vog(2);
    table.fnADD_Movie_Cell(1, &vob.record, 1);
    table.fnADD_Movie_Cell_EntryPoint(1, 1, 0, Ptm(0).data(), kText);
    table.fnADD_Still_Pic_Cell(1, &vog.record, 1);
    Serialise(table);
    std::string out;
    table.fnDump(out, "");
    EXPECT_EQ(out,
              "UD_PGCI_SRP_Ns = 1\nUD_PGCIT_EA = 184\nUD_PGCI_SRP 1:\n  UD_PGCI_SA = 10\nUD_PGCI 1:\n  PG_Ns = 0\n"
              "  CI_SRP_Ns = 2\n  CI_SRP 1:\n    CI_SA = 12\n  CI_SRP 2:\n    CI_SA = 165\n"
              "  CI 1:\n    C_TY = 0\n    M_VOBI_SRPN = 1\n    C_EPI_Ns = 1\n    C_V_S_PTM = 00 00 00 00 00 00\n"
              "    C_V_E_PTM = 00 01 5F 90 00 00\n    M_C_EPI 1:\n      EP_TY = 64\n      EP_PTM = 00 00 00 00 00 00\n"
              "      PRM_TXTI = 68 69 ...\n  CI 2:\n    C_TY = 32\n    S_VOGI_SRPN = 1\n    C_EPI_Ns = 1\n"
              "    S_S_VOB_ENTN = 1\n    E_S_VOB_ENTN = 2\n    S_C_EPI 1:\n      EP_TY = 0\n      S_VOB_ENTN = 1\n");
}

// A loaded original chain without entry points gets one at the start of
// the first cell of every program (here programs of 3 and 2 cells).
TEST(PGCI, FirstCellOfEveryProgramGetsAnEntryPoint) {
    PGCI record{};
    CPGCI p(&record);
    p.fnNew();
    record.pgi.assign(2 * PGCI::kPGISize, 0);
    p.fnSet_c1_PG_Ns(2);
    p.fnSet_wC_Ns(0, 3);
    p.fnSet_wC_Ns(1, 2);
    Vob vob(0, kSecond);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(p.fnADD_UD_Movie_Cell(&vob.record, 1, -1), 1);
    EXPECT_EQ(p.fnAdd_C_EPI_To_First_Cell_of_Every_PG(), 2u);
    EXPECT_EQ(Ints({p.fnGetEntryPtNo(1, 1), p.fnGetEntryPtNo(1, 2), p.fnGetEntryPtNo(2, 1),
                    p.fnGetTotalEntryPointNs(0, 0, 0)}),
              Ints({1, 0, 1, 2}));
}

TEST(PGCI, StopsAtAHundredProgramsAndTwoThousandCells) {
    Chain chain;
    // One recording a day (a year apart): a program each.
    for (int day = 0; day < 100; ++day) {
        vrm::ScopedTestClock clock(MakeTime(static_cast<WORD>(1990 + day), 1, 1), 0);
        ASSERT_EQ(chain.AddMovie(0, kSecond), 1) << day;
    }
    {
        vrm::ScopedTestClock clock(MakeTime(2030, 1, 1), 0);
        EXPECT_EQ(chain.AddMovie(0, kSecond), 0) << "a 101st program";
    }
    EXPECT_EQ(Ints({chain.pgci.fnGet_c1_PG_Ns(), chain.pgci.fnGet_wCI_SRP_Ns()}), Ints({100, 100}));
    PGCI ud{};
    CPGCI u(&ud);
    u.fnNew();
    Vob vob(0, kSecond);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(u.fnADD_UD_Movie_Cell(&vob.record, 1, -1), 1);
    EXPECT_EQ(Ints({u.fnADD_UD_Movie_Cell(&vob.record, 1, -1), u.fnGet_wCI_SRP_Ns(), u.fnGet_dwCI_SA(2000)}),
              Ints({0, 2000, 0}));
}
