#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Cells.h"
#include "support/Time.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CS_VOGI.h"

TEST(CI, SerialisedSizes) {
    Vob vob(0, 10 * kSecond);
    CI cell{};
    CCI c(&cell);
    ASSERT_EQ(c.fnADD_Movie_CI(&vob.record, 1), 1);
    EXPECT_EQ(Serialise(c).size(), 18u);
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(0).data(), nullptr), 1);
    EXPECT_EQ(Serialise(c).size(), 25u);
    BYTE text[128];
    std::memset(text, 'x', sizeof text);
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(1, Ptm(kSecond).data(), text), 1);
    EXPECT_EQ(Serialise(c).size(), 25u + 135);

    Vog vog(5);
    CI still{};
    CCI s(&still);
    ASSERT_EQ(s.fnADD_Still_Pic_CI(&vog.record, 3), 1);
    const std::vector<BYTE> expected = {0x00, 0x20, 0x00, 0x03, 0x00, 0x01, 0x01, 0x05, 0x00, 0x01};
    EXPECT_EQ(Serialise(s), expected);
}

TEST(CI, EntryPointInsertAndDelete) {
    Vob vob(100, 100 + 10 * kSecond);
    CI cell{};
    CCI c(&cell);
    c.fnADD_Movie_CI(&vob.record, 1);
    EXPECT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(99).data(), nullptr), 0) << "before the cell";
    EXPECT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100 + 10 * kSecond + 1).data(), nullptr), 0) << "past the end";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100 + 10 * kSecond).data(), nullptr), 1) << "the end itself";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(0, Ptm(100).data(), nullptr), 1);
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(7, Ptm(200).data(), nullptr), 1) << "appended";
    ASSERT_EQ(c.fnADD_Movie_Entry_Point(3, Ptm(200).data(), nullptr), 1) << "same time kept";
    ASSERT_EQ(c.fnGet_wC_EPI_Ns(), 4);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(0), 100);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(1), 100 + 10 * kSecond);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(2), 200);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(3), 200);

    EXPECT_EQ(c.fnDEL_Movie_Entry_Point(0), 0);
    EXPECT_EQ(c.fnDEL_Movie_Entry_Point(5), 0);
    ASSERT_EQ(c.fnDEL_Movie_Entry_Point(2), 1);
    EXPECT_EQ(c.fnGet_wC_EPI_Ns(), 3);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(0), 100);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(1), 200);
    EXPECT_EQ(c.fnGet_ll_EP_PTS(2), 200);
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

TEST(CI, LoadTakesAnyHighTypeBitAsText) {
    Vob vob(0, kSecond);
    CI cell{};
    CCI c(&cell);
    c.fnADD_Movie_CI(&vob.record, 2);
    BYTE text[128] = {'h', 'i'};
    c.fnADD_Movie_Entry_Point(0, Ptm(0).data(), text);
    c.fnADD_Movie_Entry_Point(1, Ptm(5).data(), nullptr);
    c.fnSet_c1_EP_TY(0, 0x80);
    std::vector<BYTE> bytes = Serialise(c);
    ASSERT_EQ(bytes.size(), 18u + 135 + 7);
    BytesFile file(bytes);
    CI loaded{};
    CCI l(&file.buffer, &loaded, 0);
    ASSERT_EQ(l.fndwLoad_CI_From_File(), bytes.size());
    EXPECT_EQ(Serialise(l), bytes);
    BYTE back[128];
    l.fnGet_c128_PRM_TXTI(0, back);
    EXPECT_EQ(back[1], 'i');

    // Entry points that run past the end of the file.
    bytes.resize(bytes.size() - 1);
    BytesFile cut(bytes);
    CI broken{};
    EXPECT_EQ(CCI(&cut.buffer, &broken, 0).fndwLoad_CI_From_File(), 0u);
    EXPECT_TRUE(cut.buffer.ReadFailed());
}

namespace {

// An original chain built the way recordings are registered.
struct Chain {
    PGCI record{};
    CPGCI pgci{&record};
    std::vector<Vob*> vobs;
    Chain() { pgci.fnNew(); }
    ~Chain() {
        for (Vob* v : vobs) delete v;
    }
    int AddMovie(__int64 start, __int64 end) {
        vobs.push_back(new Vob(start, end));
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
    ASSERT_EQ(chain.AddMovie(0, 10 * kSecond), 1);
    std::vector<BYTE> bytes = Serialise(chain.pgci);
    ASSERT_EQ(bytes.size(), 175u);
    EXPECT_EQ(chain.pgci.fnGet_dwCI_SA(0), 150u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 4 + 4)), "2003/ 7/ 4");
    EXPECT_EQ(chain.pgci.fnGet_wCN(0), 1);

    ASSERT_EQ(chain.AddMovie(0, 5 * kSecond), 1);
    EXPECT_EQ(chain.pgci.fnGet_c1_PG_Ns(), 1);
    EXPECT_EQ(chain.pgci.fnGet_wC_Ns(0), 2);
    {
        vrm::ScopedTestClock day2(MakeTime(2003, 7, 5, 9, 0, 0), 0);
        ASSERT_EQ(chain.AddMovie(0, 3 * kSecond), 1);
    }
    EXPECT_EQ(chain.pgci.fnGet_c1_PG_Ns(), 2);
    EXPECT_EQ(chain.pgci.fnGet_wC_Ns(1), 1);
    EXPECT_EQ(chain.pgci.fnGet_wCN(1), 3);
    BYTE text[128];
    chain.pgci.fnGet_c128_PRM_TXTI(1, text);
    EXPECT_STREQ(reinterpret_cast<const char*>(text), "2003/ 7/ 5");
    EXPECT_EQ(chain.pgci.fnGetPGDuration(1, 3), 15000u);
    EXPECT_EQ(chain.pgci.fnGetPGEntryPointNs(2), 1u);

    Vog vog(4);
    ASSERT_EQ(chain.pgci.fnADD_Still_Pic_Program(&vog.record, 1), 1);
    EXPECT_EQ(chain.pgci.fnGet_c1_PG_Ns(), 3);
    BYTE pict[6];
    chain.pgci.fnGet_c6_PICT_PT(2, pict);
    EXPECT_EQ(pict[0], 1);
    EXPECT_EQ(chain.pgci.fnGetPG_TY(3), 0x10);
    EXPECT_EQ(chain.pgci.fnGetPGCI_TY(0, 0, 0), 0x20);
    EXPECT_EQ(chain.pgci.fnGetPGCI_TY(1, 1, 3), 0);
    EXPECT_EQ(chain.pgci.fnGetTotalCellDuration(3, 0, 0, 0), 18000u + 3000u);
    EXPECT_EQ(chain.pgci.fnADD_Movie_Program(nullptr, 1), 0);
}

TEST(PGCI, RoundTripIsByteForByte) {
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

    BytesFile file(bytes);
    PGCI loaded{};
    CPGCI l(&file.buffer, &loaded, 0);
    ASSERT_EQ(l.fndwLoad_PGCI_From_File(), bytes.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
    EXPECT_EQ(Serialise(l), bytes);
}

TEST(PGCI, GarbledChainsFailToLoad) {
    Chain chain;
    chain.AddMovie(0, 10 * kSecond);
    chain.AddMovie(0, 10 * kSecond);
    const std::vector<BYTE> bytes = Serialise(chain.pgci);

    std::vector<BYTE> farCell = bytes;
    farCell[4 + 142 + 4] = 0xFF;  // cell 2's address far beyond the file
    std::vector<BYTE> manyCells = bytes;
    manyCells[2] = 0xFF;  // CI_SRP_Ns 0xFF02

    std::vector<BYTE> manyPrograms = bytes;
    manyPrograms[1] = 0xFF;
    for (const auto& garbled : {farCell, manyCells, manyPrograms}) {
        BytesFile file(garbled);
        PGCI loaded{};
        EXPECT_EQ(CPGCI(&file.buffer, &loaded, 0).fndwLoad_PGCI_From_File(), 0u);
        EXPECT_TRUE(file.buffer.ReadFailed());
    }

    // Many search pointers naming the same large cell: what the chain loads
    // cannot exceed the file.
    CI big{};
    Vob vob(0, kSecond);
    CCI b(&big);
    b.fnADD_Movie_CI(&vob.record, 1);
    BYTE text[128] = {};
    for (int i = 0; i < 200; ++i) b.fnADD_Movie_Entry_Point(0, Ptm(0).data(), text);
    std::vector<BYTE> shared(4 + 4 * 1000, 0);
    vrm::be_store<uint16_t>(shared.data() + 2, 1000);
    for (int i = 0; i < 1000; ++i) vrm::be_store<uint32_t>(shared.data() + 4 + 4 * i, 4 + 4 * 1000);
    const std::vector<BYTE> cellBytes = Serialise(b);
    shared.insert(shared.end(), cellBytes.begin(), cellBytes.end());
    BytesFile file(shared);
    PGCI loaded{};
    EXPECT_EQ(CPGCI(&file.buffer, &loaded, 0).fndwLoad_PGCI_From_File(), 0u);
}

TEST(PGCI, Addressing) {
    // Cells with 2 and 4 entry points.
    Chain chain;
    chain.AddMovie(0, 10 * kSecond);
    chain.AddMovie(0, 10 * kSecond);
    chain.pgci.fnADD_Movie_Entry_Point(1, 1, Ptm(kSecond).data(), nullptr);
    for (int i = 1; i <= 3; ++i) chain.pgci.fnADD_Movie_Entry_Point(2, 9, Ptm(i * kSecond).data(), nullptr);
    WORD cell = 99, ep = 99;
    ASSERT_EQ(chain.pgci.fnTranslateAddress(-1, -1, 3, &cell, &ep), 1);
    EXPECT_EQ(cell, 1);
    EXPECT_EQ(ep, 1);
    ASSERT_EQ(chain.pgci.fnTranslateAddress(-1, -1, 7, &cell, &ep), 1);
    EXPECT_EQ(cell, 0);
    EXPECT_EQ(ep, 7);
    EXPECT_EQ(chain.pgci.fnTranslateAddress(-1, 2, 1, &cell, &ep), 0);

    __int64 start = 0, end = 0;
    BYTE type = 9, hasNext = 9;
    WORD srpn = 0;
    EXPECT_EQ(chain.pgci.fnGetEntryPointInfo(-1, -1, 2, &type, &srpn, &start, &end, &hasNext), 1);
    EXPECT_EQ(start, kSecond);
    EXPECT_EQ(end, 10 * kSecond);
    EXPECT_EQ(hasNext, 0) << "cell 2 starts with an entry point";
    EXPECT_EQ(chain.pgci.fnGetEntryPointInfo(-1, -1, 4, &type, &srpn, &start, &end, &hasNext), 2);
    EXPECT_EQ(srpn, 2);
    EXPECT_EQ(start, kSecond);
    EXPECT_EQ(end, 2 * kSecond);
    EXPECT_EQ(chain.pgci.fnGetEntryPointInfo(-1, -1, 9, &type, &srpn, &start, &end, &hasNext), 0);
    EXPECT_EQ(chain.pgci.fnGetTotalEntryPointNs(0, 0, 0), 6u);
    EXPECT_EQ(chain.pgci.fnGetTotalEntryPTDuration(3, 0, 0, 0), 20000u);
    EXPECT_EQ(chain.pgci.fnGetTotalEntryPTDuration(3, 1, 3, 4), 2000u);
    EXPECT_EQ(chain.pgci.fnGetTotalEntryPTDuration(3, 1, 3, 7), 0u);

    // Programs of 3 and 2 cells.
    PGCI two{};
    CPGCI p(&two);
    p.fnNew();
    two.pgi.assign(2 * 142, 0);
    p.fnSet_c1_PG_Ns(2);
    p.fnSet_wC_Ns(0, 3);
    p.fnSet_wC_Ns(1, 2);
    Vob vob(0, kSecond);
    for (int i = 0; i < 5; ++i) p.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    ASSERT_EQ(p.fnTranslateAddress(2, 1, 5, &cell, &ep), 1);
    EXPECT_EQ(cell, 3);
    EXPECT_EQ(ep, 5);
    EXPECT_EQ(p.fnTranslateAddress(2, 3, 0, &cell, &ep), 0) << "program 2 has two cells, the chain five";
    EXPECT_EQ(p.fnADD_UD_Movie_Cell(&vob.record, 1, 7), 0);
    EXPECT_EQ(p.fnADD_UD_Movie_Cell(&vob.record, 1, -2), 0);
    EXPECT_EQ(p.fnGetCellInfo(2, 2, &type, &srpn, &start, &end), 1);
    EXPECT_EQ(p.fnGetCellInfo(2, 6, &type, &srpn, &start, &end), 0);
    // The first cell of every program gets an entry point at its start.
    EXPECT_EQ(p.fnAdd_C_EPI_To_First_Cell_of_Every_PG(), 2u);
    EXPECT_EQ(p.fnGetEntryPtNo(1, 1), 1);
    EXPECT_EQ(p.fnGetEntryPtNo(2, 1), 1);
    EXPECT_EQ(p.fnGetEntryPtNo(1, 2), 0);
}

TEST(PGCI, ContinuationCells) {
    Chain chain;
    chain.AddMovie(0, 10 * kSecond);
    Vob vob(0, 10 * kSecond);
    chain.pgci.fnADD_UD_Movie_Cell(&vob.record, 1, -1);  // no entry point: continues
    chain.pgci.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    chain.pgci.fnADD_Movie_Entry_Point(3, 0, Ptm(kSecond * 4 / 10).data(), nullptr);
    chain.pgci.fnADD_UD_Movie_Cell(&vob.record, 1, -1);
    chain.pgci.fnADD_Movie_Entry_Point(4, 0, Ptm(kSecond * 6 / 10).data(), nullptr);
    EXPECT_EQ(chain.pgci.fnbHaveNextCell(2), 1);
    EXPECT_EQ(chain.pgci.fnbHaveNextCell(3), 0) << "first entry point 0.4 s in";
    EXPECT_EQ(chain.pgci.fnbHaveNextCell(4), 1) << "first entry point 0.6 s in";
    EXPECT_EQ(chain.pgci.fnbHaveNextCell(5), 0);
    EXPECT_EQ(chain.pgci.fnbHaveNextCell(0), 0);
    // Entry point 1's segment runs through cell 2 whole and stops at cell 3.
    EXPECT_EQ(chain.pgci.fnGetTotalEntryPTDuration(0, 1, 1, 1), 20000u);
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
