// Program chains: cells (CI), the original chain PGCI, and the table of
// user-defined chains UD_PGCIT.
#include <gtest/gtest.h>

#include <iterator>
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

TEST(CI, MovieAndStillCellsSerialiseAndLoad) {
    Vob vob(0, 10 * kSecond);
    CI cell{};
    CCI c(&cell);
    ASSERT_EQ(c.fnADD_Movie_CI(&vob.record, 1), 1);
    EXPECT_EQ(Serialise(c).size(), 18u);
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(0).data(), nullptr), 1);
    EXPECT_EQ(Serialise(c).size(), 25u);
    BYTE text[128] = {'h', 'i'};
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(1, Ptm(kSecond).data(), text), 1);
    // Any high bit of the type means the entry carries a text.
    c.fnSet_c1_EP_TY(1, 0x80);
    const std::vector<BYTE> bytes = Serialise(c);
    ASSERT_EQ(bytes.size(), 25u + 135);
    CI loaded{};
    ExpectLoads(bytes, [&](CBuffer* b) { return CCI(b, &loaded, 0).fndwLoad_CI_From_File(); });
    CCI l(&loaded);
    EXPECT_EQ(Serialise(l), bytes);
    BYTE back[128];
    l.fnGet_c128_PRM_TXTI(1, back);
    EXPECT_EQ(back[1], 'i');
    // Entry points that run past the end of the file: fewer bytes than the
    // count needs even without texts, or a text cut short.
    for (size_t cut : {size_t{18 + 2 * 7 - 1}, bytes.size() - 1}) {
        CI broken{};
        ExpectRefused(Head(bytes, cut), [&](CBuffer* b) { return CCI(b, &broken, 0).fndwLoad_CI_From_File(); });
    }
    Vog vog(5);
    CI still{};
    CCI s(&still);
    ASSERT_EQ(s.fnADD_Still_Pic_CI(&vog.record, 3), 1);
    EXPECT_EQ(Serialise(s), (std::vector<BYTE>{0x00, 0x20, 0x00, 0x03, 0x00, 0x01, 0x01, 0x05, 0x00, 0x01}));
}

TEST(CI, EntryPointInsertAndDelete) {
    Vob vob(100, 100 + 10 * kSecond);
    CI cell{};
    CCI c(&cell);
    c.fnADD_Movie_CI(&vob.record, 1);
    auto times = [&] {
        Ints v;
        for (WORD i = 0; i < c.fnGet_wC_EPI_Ns(); ++i) v.push_back(c.fnGet_ll_EP_PTS(i));
        return v;
    };
    EXPECT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(99).data(), nullptr), 0) << "before the cell";
    EXPECT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100 + 10 * kSecond + 1).data(), nullptr), 0) << "past the end";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100 + 10 * kSecond).data(), nullptr), 1) << "the end itself";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100).data(), nullptr), 1);
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(7, Ptm(200).data(), nullptr), 1) << "appended";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(3, Ptm(200).data(), nullptr), 1) << "same time kept";
    EXPECT_EQ(times(), Ints({100, 100 + 10 * kSecond, 200, 200}));
    EXPECT_EQ(c.fnDEL_Movie_Entry_Point(0), 0);
    EXPECT_EQ(c.fnDEL_Movie_Entry_Point(5), 0);
    ASSERT_EQ(c.fnDEL_Movie_Entry_Point(2), 1);
    EXPECT_EQ(times(), Ints({100, 200, 200}));
    c.fnDEL_Movie_Entry_Point(1);
    c.fnDEL_Movie_Entry_Point(1);
    ASSERT_EQ(c.fnDEL_Movie_Entry_Point(1), 1);
    EXPECT_TRUE(cell.entryPoints.empty()) << "the last delete releases the array";
    EXPECT_EQ(c.fnDEL_Movie_Entry_Point(1), 0);
    // Indexed accessors stay inside the records held.
    EXPECT_EQ(c.fnGet_c1_EP_TY(0), 0);
    EXPECT_EQ(c.fnSet_c1_EP_TY(0, 0x40), 0);
    // Still cells: no clamping of the position.
    Vog vog(3);
    CI still{};
    CCI s(&still);
    s.fnADD_Still_Pic_CI(&vog.record, 1);
    EXPECT_EQ(s.fnADD_Still_Pic_Entry_Point(2, 2, nullptr), 0);
    EXPECT_EQ(s.fnADD_Still_Pic_Entry_Point(1, 2, nullptr), 1);
    EXPECT_EQ(s.fnGet_c1_S_VOB_ENTN(1), 2);
    EXPECT_EQ(s.fnADD_Movie_Entry_Point(0, Ptm(0).data(), nullptr), 0) << "no movie entry in a still cell";
}

namespace {

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

TEST(PGCI, BuildingTheOriginalChain) {
    PGCI empty{};
    CPGCI e(&empty);
    e.fnNew();
    EXPECT_EQ(Serialise(e), (std::vector<BYTE>{0, 0, 0, 0}));
    vrm::ScopedTestClock day1(MakeTime(2003, 7, 4, 10, 0, 0), 0);
    Chain chain;
    CPGCI& p = chain.pgci;
    ASSERT_EQ(chain.AddMovie(0, 10 * kSecond), 1);
    std::vector<BYTE> bytes = Serialise(p);
    ASSERT_EQ(bytes.size(), 175u);
    EXPECT_EQ(p.fnGet_dwCI_SA(0), 150u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 4 + 4)), "2003/ 7/ 4");
    EXPECT_EQ(p.fnGet_wCN(0), 1);
    // A recording of the same day joins the program, one of the next day
    // starts a new one.
    ASSERT_EQ(chain.AddMovie(0, 5 * kSecond), 1);
    EXPECT_EQ(Ints({p.fnGet_c1_PG_Ns(), p.fnGet_wC_Ns(0)}), Ints({1, 2}));
    {
        vrm::ScopedTestClock day2(MakeTime(2003, 7, 5, 9, 0, 0), 0);
        ASSERT_EQ(chain.AddMovie(0, 3 * kSecond), 1);
    }
    EXPECT_EQ(Ints({p.fnGet_c1_PG_Ns(), p.fnGet_wC_Ns(1), p.fnGet_wCN(1)}), Ints({2, 1, 3}));
    BYTE text[128];
    p.fnGet_c128_PRM_TXTI(1, text);
    EXPECT_STREQ(reinterpret_cast<const char*>(text), "2003/ 7/ 5");
    EXPECT_EQ(p.fnGetPGDuration(1, 3), 15000u);
    EXPECT_EQ(p.fnGetPGEntryPointNs(2), 1u);
    Vog vog(4);
    ASSERT_EQ(p.fnADD_Still_Pic_Program(&vog.record, 1), 1);
    BYTE pict[6] = {};
    p.fnGet_c6_PICT_PT(2, pict);
    EXPECT_EQ(Ints({p.fnGet_c1_PG_Ns(), pict[0], p.fnGetPG_TY(3), p.fnGetPGCI_TY(0, 0, 0), p.fnGetPGCI_TY(1, 1, 3),
                    p.fnGetTotalCellDuration(3, 0, 0, 0), p.fnADD_Movie_Program(nullptr, 1)}),
              Ints({3, 1, 0x10, 0x20, 0, 18000 + 3000, 0}));
}

TEST(PGCI, RoundTripIsByteForByteAndGarbledChainsFail) {
    Chain chain;
    chain.AddMovie(0, 10 * kSecond);
    chain.AddMovie(kSecond, 20 * kSecond);
    BYTE text[128] = {'a'};
    chain.pgci.fnADD_Movie_Entry_Point(2, 1, Ptm(5 * kSecond).data(), text);
    Vog vog(2);
    chain.pgci.fnADD_UD_Still_Pic_Cell(&vog.record, 1, -1);
    chain.pgci.fnADD_UD_Movie_Cell(Ptm(0).data(), Ptm(kSecond).data(), 1, 0);
    chain.record.header[0] = 0x5A;  // reserved bytes are kept
    const std::vector<BYTE> bytes = Serialise(chain.pgci);
    PGCI loaded{};
    ExpectLoads(bytes, [&](CBuffer* b) { return CPGCI(b, &loaded, 0).fndwLoad_PGCI_From_File(); });
    EXPECT_EQ(Serialise(CPGCI(&loaded)), bytes);
    // One program, so cell 2's address is at 4 + 142 + 4: far away; 0xFF04
    // cells; 255 programs. Many search pointers naming the same large cell:
    // what the chain loads cannot exceed the file.
    CI big{};
    Vob vob(0, kSecond);
    CCI b(&big);
    b.fnADD_Movie_CI(&vob.record, 1);
    for (int i = 0; i < 200; ++i) b.fnADD_Movie_Entry_Point(0, Ptm(0).data(), text);
    const std::vector<BYTE> garbled[] = {With(bytes, 4 + 142 + 4, 0xFF), With(bytes, 2, 0xFF), With(bytes, 1, 0xFF),
                                         SamePointers({0, 0, 0x03, 0xE8}, 1000, 4 + 4 * 1000, Serialise(b))};
    for (size_t i = 0; i < std::size(garbled); ++i) {
        SCOPED_TRACE(i);
        PGCI bad{};
        ExpectRefused(garbled[i], [&](CBuffer* buffer) { return CPGCI(buffer, &bad, 0).fndwLoad_PGCI_From_File(); });
    }
}

TEST(PGCI, Addressing) {
    // Cells with 2 and 4 entry points.
    Chain chain;
    CPGCI& p = chain.pgci;
    chain.AddMovie(0, 10 * kSecond);
    chain.AddMovie(0, 10 * kSecond);
    p.fnADD_Movie_Entry_Point(1, 1, Ptm(kSecond).data(), nullptr);
    for (int i = 1; i <= 3; ++i) p.fnADD_Movie_Entry_Point(2, 9, Ptm(i * kSecond).data(), nullptr);
    WORD cell = 99, ep = 99;
    ASSERT_EQ(p.fnTranslateAddress(-1, -1, 3, &cell, &ep), 1);
    EXPECT_EQ(Ints({cell, ep}), Ints({1, 1}));
    ASSERT_EQ(p.fnTranslateAddress(-1, -1, 7, &cell, &ep), 1);
    EXPECT_EQ(Ints({cell, ep}), Ints({0, 7}));
    EXPECT_EQ(p.fnTranslateAddress(-1, 2, 1, &cell, &ep), 0);
    __int64 start = 0, end = 0;
    BYTE type = 9, hasNext = 9;
    WORD srpn = 0;
    EXPECT_EQ(p.fnGetEntryPointInfo(-1, -1, 2, &type, &srpn, &start, &end, &hasNext), 1);
    EXPECT_EQ(Ints({start, end, hasNext}), Ints({kSecond, 10 * kSecond, 0})) << "cell 2 starts with an entry point";
    EXPECT_EQ(p.fnGetEntryPointInfo(-1, -1, 4, &type, &srpn, &start, &end, &hasNext), 2);
    EXPECT_EQ(Ints({srpn, start, end}), Ints({2, kSecond, 2 * kSecond}));
    EXPECT_EQ(p.fnGetEntryPointInfo(-1, -1, 9, &type, &srpn, &start, &end, &hasNext), 0);
    EXPECT_EQ(p.fnGetTotalEntryPointNs(0, 0, 0), 6u);
    EXPECT_EQ(Ints({p.fnGetTotalEntryPTDuration(3, 0, 0, 0), p.fnGetTotalEntryPTDuration(3, 1, 3, 4),
                    p.fnGetTotalEntryPTDuration(3, 1, 3, 7)}),
              Ints({20000, 2000, 0}));
    // Programs of 3 and 2 cells.
    PGCI two{};
    CPGCI q(&two);
    q.fnNew();
    two.pgi.assign(2 * 142, 0);
    q.fnSet_c1_PG_Ns(2);
    q.fnSet_wC_Ns(0, 3);
    q.fnSet_wC_Ns(1, 2);
    Vob vob(0, kSecond);
    for (int i = 0; i < 5; ++i) q.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    ASSERT_EQ(q.fnTranslateAddress(2, 1, 5, &cell, &ep), 1);
    EXPECT_EQ(Ints({cell, ep}), Ints({3, 5}));
    EXPECT_EQ(q.fnTranslateAddress(2, 3, 0, &cell, &ep), 0) << "program 2 has two cells, the chain five";
    EXPECT_EQ(
        Ints({q.fnADD_UD_Movie_Cell(&vob.record, 1, 7), q.fnADD_UD_Movie_Cell(&vob.record, 1, -2),
              q.fnGetCellInfo(2, 2, &type, &srpn, &start, &end), q.fnGetCellInfo(2, 6, &type, &srpn, &start, &end)}),
        Ints({0, 0, 1, 0}));
    // The first cell of every program gets an entry point at its start.
    EXPECT_EQ(q.fnAdd_C_EPI_To_First_Cell_of_Every_PG(), 2u);
    EXPECT_EQ(Ints({q.fnGetEntryPtNo(1, 1), q.fnGetEntryPtNo(2, 1), q.fnGetEntryPtNo(1, 2)}), Ints({1, 1, 0}));
}

TEST(PGCI, ContinuationCells) {
    Chain chain;
    CPGCI& p = chain.pgci;
    chain.AddMovie(0, 10 * kSecond);
    Vob vob(0, 10 * kSecond);
    p.fnADD_UD_Movie_Cell(&vob.record, 1, -1);  // no entry point: continues
    p.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    p.fnADD_Movie_Entry_Point(3, 0, Ptm(kSecond * 4 / 10).data(), nullptr);
    p.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    p.fnADD_Movie_Entry_Point(4, 0, Ptm(kSecond * 6 / 10).data(), nullptr);
    // Cell 3's first entry point is 0.4 s in, cell 4's 0.6 s.
    EXPECT_EQ(Ints({p.fnbHaveNextCell(0), p.fnbHaveNextCell(2), p.fnbHaveNextCell(3), p.fnbHaveNextCell(4),
                    p.fnbHaveNextCell(5)}),
              Ints({0, 1, 0, 1, 0}));
    // Entry point 1's segment runs through cell 2 whole and stops at cell 3.
    EXPECT_EQ(p.fnGetTotalEntryPTDuration(0, 1, 1, 1), 20000u);
}

TEST(PGCI, LimitsAreEnforcedWithoutChange) {
    Chain chain;
    // One recording a day (a year apart): a program each.
    for (int day = 0; day < 100; ++day) {
        vrm::ScopedTestClock clock(MakeTime(static_cast<WORD>(1990 + day), 1, 1), 0);
        ASSERT_EQ(chain.AddMovie(0, kSecond), 1) << day;
    }
    ASSERT_EQ(chain.pgci.fnGet_c1_PG_Ns(), 100);
    {
        vrm::ScopedTestClock clock(MakeTime(2030, 1, 1), 0);
        EXPECT_EQ(chain.AddMovie(0, kSecond), 0) << "a 101st program";
    }
    EXPECT_EQ(chain.pgci.fnGet_wCI_SRP_Ns(), 100);
    PGCI ud{};
    CPGCI u(&ud);
    u.fnNew();
    Vob vob(0, kSecond);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(u.fnADD_UD_Movie_Cell(&vob.record, 1, -1), 1);
    EXPECT_EQ(u.fnADD_UD_Movie_Cell(&vob.record, 1, -1), 0);
    EXPECT_EQ(u.fnGet_wCI_SRP_Ns(), 2000);
    EXPECT_EQ(u.fnGet_dwCI_SA(2000), 0u);
}

namespace {

// A table of user-defined chains; chain k gets k movie cells, each with an
// entry point at its start, so that a load adds nothing.
struct Table {
    UD_PGCIT record{};
    CUD_PGCIT table{&record};
    Vob vob{0, 10 * kSecond};
    explicit Table(int chains) {
        table.fnNew();
        for (int k = 1; k <= chains; ++k) {
            EXPECT_EQ(table.fnADD_UD_PGCI(), 1);
            const BYTE chain = static_cast<BYTE>(k);
            for (WORD c = 1; c <= k; ++c) {
                EXPECT_EQ(table.fnADD_Movie_Cell(chain, &vob.record, 1), 1);
                EXPECT_EQ(table.fnADD_Movie_Cell_EntryPoint(chain, c, 0, Ptm(0).data(), nullptr), 1);
            }
        }
    }
};

DWORD LoadTable(CBuffer* buffer, UD_PGCIT& into, DWORD at) {
    return CUD_PGCIT(buffer, &into, at).fndwLoad_UD_PGCIT_From_File();
}

}  // namespace

TEST(UD_PGCIT, RoundTripsAndGarbledTablesFail) {
    UD_PGCIT none{};
    EXPECT_EQ(Serialise(CUD_PGCIT(&none)), (std::vector<BYTE>{0, 0, 0, 0, 0, 5}));
    Table t(3);
    t.table.fnADD_UD_PGCI();  // chain 4: no cell
    S_VOGI vogi{};
    CS_VOGI(&vogi).fnSet_c1_S_VOB_Ns(3);
    t.table.fnADD_UD_PGCI();  // chain 5 starts with a still cell
    ASSERT_EQ(t.table.fnADD_Still_Pic_Cell(5, &vogi, 1), 1);
    ASSERT_EQ(t.table.fnADD_Movie_Cell(5, &t.vob.record, 1), 1);
    BYTE text[128] = {'x'};
    ASSERT_EQ(t.table.fnADD_Movie_Cell_EntryPoint(2, 2, 1, Ptm(kSecond).data(), text), 1);
    t.record.header[0] = 0x5A;  // the reserved byte is kept
    const std::vector<BYTE> bytes = Serialise(t.table);
    // The header (reserved byte, count, end address), five search pointers,
    // and chain 1 where the first one says.
    const std::vector<BYTE> c1 = Serialise(CPGCI(&t.record.pgci[0])), c2 = Serialise(CPGCI(&t.record.pgci[1]));
    EXPECT_EQ(Head(bytes, 10), With(With({0x5A, 5, 0, 0, 0, 0, 0, 0, 0, 0}, 2, bytes.size() - 1, 4), 6, 26, 4));
    EXPECT_EQ(Bytes(bytes.data() + 26, c1.size()), c1);
    UD_PGCIT loaded{};
    ExpectLoads(
        bytes, [&](CBuffer* b) { return LoadTable(b, loaded, 300); }, 300);
    CUD_PGCIT l(&loaded);
    EXPECT_EQ(Serialise(l), bytes);
    // A start address of 0 means no table: the record is left as it was.
    BytesFile file(bytes);
    EXPECT_EQ(LoadTable(&file.buffer, loaded, 0), 0u);
    EXPECT_EQ(l.fnGet_CI_SRP_Ns(3), 3u);
    // With chain 2's bytes before chain 1's the load follows each search
    // pointer, and the save packs the chains in order again.
    std::vector<BYTE> swapped = Head(bytes, 26);
    swapped.insert(swapped.end(), c2.begin(), c2.end());
    swapped.insert(swapped.end(), c1.begin(), c1.end());
    swapped.insert(swapped.end(), bytes.begin() + static_cast<long>(26 + c1.size() + c2.size()), bytes.end());
    UD_PGCIT reloaded{};
    ExpectLoads(
        With(With(swapped, 6, 26 + c2.size(), 4), 10, 26, 4), [&](CBuffer* b) { return LoadTable(b, reloaded, 4); }, 4);
    EXPECT_EQ(CUD_PGCIT(&reloaded).fnGet_CI_SRP_Ns(2), 2u);
    EXPECT_EQ(Serialise(CUD_PGCIT(&reloaded)), bytes);
    // 255 search pointers naming one large chain: what the table loads
    // cannot exceed the file.
    PGCI big{};
    CPGCI b(&big);
    for (int i = 0; i < 40; ++i) b.fnADD_UD_Movie_Cell(&t.vob.record, 1, -1);
    const std::vector<BYTE> garbled[] = {Head(bytes, 5),
                                         Head(bytes, bytes.size() - 1),
                                         With(bytes, 1, 0xFF),
                                         With(bytes, 10, 0xFFFFFFF0u, 4),
                                         With(bytes, 10, bytes.size() - 3, 4),
                                         SamePointers({0, 255, 0, 0, 0, 0}, 255, 6 + 4 * 255, Serialise(b))};
    for (size_t i = 0; i < std::size(garbled); ++i) {
        SCOPED_TRACE(i);
        UD_PGCIT bad{};
        ExpectRefused(
            garbled[i], [&](CBuffer* buffer) { return LoadTable(buffer, bad, 8); }, 8);
    }
}

TEST(UD_PGCIT, LoadGivesAFirstMovieCellAnEntryPointOnce) {
    UD_PGCIT record{};
    CUD_PGCIT table(&record);
    Vob vob(2 * kSecond, 10 * kSecond);
    table.fnADD_UD_PGCI();
    table.fnADD_Movie_Cell(1, &vob.record, 1);
    table.fnADD_Movie_Cell(1, &vob.record, 1);
    table.fnADD_UD_PGCI();  // no cell
    std::vector<BYTE> bytes = Serialise(table);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        UD_PGCIT loaded{};
        ExpectLoads(
            bytes, [&](CBuffer* b) { return LoadTable(b, loaded, 16); }, 16);
        CUD_PGCIT l(&loaded);
        EXPECT_EQ(l.fnGetTotalEntryPointNs(1, 0, 0, 0), 1u);
        EXPECT_EQ(CCI(&loaded.pgci[0].ci[0]).fnGet_ll_EP_PTS(0), 2 * kSecond);
        const std::vector<BYTE> saved = Serialise(l);
        EXPECT_EQ(saved.size(), bytes.size() + (pass == 0 ? 7 : 0));
        bytes = saved;
    }
}

TEST(UD_PGCIT, AddDeleteAndChainNumberChecks) {
    Table t(3);
    Serialise(t.table);
    const DWORD sa3 = t.table.fnGet_dwUD_PGCI_SA(2);
    EXPECT_EQ(t.table.fnDEL_UD_PGCI(0), 0);
    EXPECT_EQ(t.table.fnDEL_UD_PGCI(4), 0);
    ASSERT_EQ(t.table.fnDEL_UD_PGCI(2), 1);
    EXPECT_EQ(t.table.fnGet_c1_UD_PGCI_SRP_Ns(), 2);
    EXPECT_EQ(t.table.fnGet_CI_SRP_Ns(2), 3u) << "old chain 3 is chain 2 now";
    EXPECT_EQ(t.table.fnGet_dwUD_PGCI_SA(1), sa3) << "its search pointer moved down too";
    EXPECT_EQ(t.record.pgci.size(), 3u) << "arrays are not shrunk";
    t.table.fnDEL_UD_PGCI(1);
    ASSERT_EQ(t.table.fnDEL_UD_PGCI(1), 1);
    EXPECT_TRUE(t.record.pgci.empty() && t.record.srp.empty()) << "the last delete releases both arrays";
    ASSERT_EQ(t.table.fnADD_UD_PGCI(), 1);
    EXPECT_EQ(t.record.pgci.size(), 1u);
    EXPECT_EQ(t.table.fnGet_CI_SRP_Ns(1), 0u);
    // The one-byte count never wraps: the table stops at 100 chains.
    for (int i = 1; i < 100; ++i) ASSERT_EQ(t.table.fnADD_UD_PGCI(), 1) << i;
    EXPECT_EQ(t.table.fnADD_UD_PGCI(), 0);
    EXPECT_EQ(t.table.fnGet_c1_UD_PGCI_SRP_Ns(), 100);
    EXPECT_EQ(t.record.pgci.size(), 100u);
    UD_PGCIT* heap = new UD_PGCIT{};
    CUD_PGCIT owner(heap);
    owner.fnADD_UD_PGCI();
    owner.fnADD_Movie_Cell(1, &t.vob.record, 1);
    owner.fnFreeAllData();  // LeakSanitizer checks that nothing is left
    EXPECT_EQ(owner.m_pRecord, nullptr);
    // Chain numbers outside 1..2 are refused and change nothing.
    Table v(2);
    S_VOGI vogi{};
    const std::vector<BYTE> ptm = Ptm(kSecond);
    const std::vector<BYTE> before = Serialise(v.table);
    for (BYTE bad : {BYTE{0}, BYTE{3}}) {
        EXPECT_EQ(
            Ints({v.table.fnADD_Movie_Cell(bad, &v.vob.record, 1),
                  v.table.fnADD_UD_Movie_Cell(bad, ptm.data(), ptm.data(), 1, -1),
                  v.table.fnADD_Still_Pic_Cell(bad, &vogi, 1),
                  v.table.fnADD_Movie_Cell_EntryPoint(bad, 1, 0, ptm.data(), nullptr), v.table.fnGet_CI_SRP_Ns(bad)}),
            Ints(5, 0));
    }
    EXPECT_EQ(Serialise(v.table), before);
    // Forwarded to the chain, with its results.
    EXPECT_EQ(v.table.fnADD_UD_Movie_Cell(2, Ptm(0).data(), Ptm(3 * kSecond).data(), 1, 0), 1);
    EXPECT_EQ(v.table.fnADD_UD_Movie_Cell(2, ptm.data(), ptm.data(), 1, 9), 0);
    EXPECT_EQ(v.table.fnADD_Still_Pic_Cell(2, nullptr, 1), 0) << "the chain refuses a missing VOG";
    EXPECT_EQ(v.table.fnADD_Movie_Cell_EntryPoint(2, 2, 1, Ptm(11 * kSecond).data(), nullptr), 0);
    EXPECT_EQ(v.table.fnADD_Movie_Cell_EntryPoint(2, 2, 1, ptm.data(), nullptr), 1);
    WORD cell = 0, ep = 0;
    ASSERT_EQ(v.table.fnTranslateAddress(2, -1, -1, 2, &cell, &ep), 1);
    EXPECT_EQ(Ints({cell, ep}), Ints({1, 2}));
    EXPECT_EQ(v.table.fnGetPGCIDuration(2, 3, 1, 0, 0, 0), 23000u) << "cells";
    EXPECT_EQ(v.table.fnGetPGCIDuration(2, 3, 0, 1, 2, 2), 9000u) << "entry point 2's segment";
    EXPECT_EQ(v.table.fnGetTotalEntryPointNs(2, 1, 2, 3), 3u);
    // Indexed accessors stay inside the arrays; a count raised by hand names
    // chains written as empty ones.
    EXPECT_EQ(v.table.fnSet_dwUD_PGCI_SA(2, 1), 0);
    v.table.fnSet_c1_UD_PGCI_SRP_Ns(3);
    EXPECT_EQ(v.table.fnGet_CI_SRP_Ns(3), 0u);
    const std::vector<BYTE> bytes = Serialise(v.table);
    EXPECT_EQ(std::vector<BYTE>(bytes.end() - 4, bytes.end()), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(v.table.fnDEL_UD_PGCI(3), 1);
    CUD_PGCIT unbound;
    BYTE out[8];
    EXPECT_EQ(Ints({unbound.fnADD_UD_PGCI(), unbound.fnReadData(out), unbound.fnGet_CI_SRP_Ns(1)}), Ints(3, 0));
}
