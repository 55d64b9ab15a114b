// The head of the management file (RTR_VMGI: VMGI_MAT and the playlist
// search pointers PL_SRPT), the text table TXTDT_MG and the manufacturer
// table MNFIT.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Time.h"
#include "tables/CMNFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"
#include "tables/TableTests.h"

TEST(RTR_VMGI, ANewHeadIs520BytesOfKnownValuesAndRoundTrips) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 540);
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    ASSERT_EQ(head.fnNew(), 1);
    EXPECT_EQ(head.fndwSize(), 520u);
    // VERN 0x0011; TM_ZONE 0x1000 + 540, STILL_TM 3, CHRS 0x12; RSM_MRKI and
    // DISC_REP_PICTI all 0xFF; PL_SRPT_EA 7 of an empty table.
    std::vector<BYTE> expected = With(With(std::vector<BYTE>(520, 0), 32, 0x0011, 2), 64, 0x121C0312, 4);
    std::memcpy(expected.data(), "DVD_RTR_VMG0", 12);
    std::fill(expected.begin() + 68, expected.begin() + 98, 0xFF);
    expected[519] = 7;
    EXPECT_EQ(Serialise(head), expected);
    // Set fields, a reserved byte and playlists survive a round trip.
    CVMGI_MAT mat(model.pVMGI_MAT.get());
    mat.fnSet_dwM_AVFIT_SA(0x2000);
    mat.fnSet_dwS_AVFIT_SA(0x3000);
    mat.fnSet_c128_DISC_REP_NM(reinterpret_cast<const BYTE*>("holiday"), 7);
    model.pVMGI_MAT->bytes[400] = 0x5A;  // a reserved byte survives too
    CPL_SRPT pl(model.pPL_SRPT.get());
    pl.AddPointer(0x20, 1);
    pl.AddPointer(0x00, 2);
    const std::vector<BYTE> bytes = Serialise(head);
    ASSERT_EQ(bytes.size(), 520u + 2 * 146);
    RTR_VMGI loaded;
    ExpectLoads(bytes, [&](CBuffer* b) { return CRTR_VMGI(b, &loaded, 0).fndwLoad_RTR_VMGI_From_File(); });
    EXPECT_EQ(Serialise(CRTR_VMGI(&loaded)), bytes);
    EXPECT_EQ(CPL_SRPT(loaded.pPL_SRPT.get()).fnGet_c1_PL_TY(0), 0x20);
    // A count that claims more entries than the file holds, and cuts.
    std::vector<std::vector<BYTE>> inputs = {With(bytes, 512 + 3, 0xFF)};
    for (size_t cut : {size_t{1}, size_t{100}, size_t{511}, size_t{515}, bytes.size() - 1})
        inputs.push_back(Head(bytes, cut));
    for (const auto& input : inputs) {
        SCOPED_TRACE(input.size());
        RTR_VMGI bad;
        ExpectRefused(input, [&](CBuffer* b) { return CRTR_VMGI(b, &bad, 0).fndwLoad_RTR_VMGI_From_File(); });
    }
}

TEST(VMGI_MAT, TimeZoneAndFieldRules) {
    VMGI_MAT block{};
    CVMGI_MAT mat(&block);
    {
        vrm::ScopedTestClock clock(MakeTime(2003, 1, 1, 0, 0, 0), -300);
        mat.fnSet_wTM_ZONE(0x1000, 0);
        EXPECT_EQ(mat.fnGet_wTM_ZONE(), 0x0ED4);
        mat.fnSet_wTM_ZONE(0x0000, 60);
        EXPECT_EQ(mat.fnGet_wTM_ZONE(), 0x003C) << "no zone lookup for other types";
    }
    const BYTE src[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(mat.fnSet_c15_RSM_MRKI(src, 16), 0);
    EXPECT_EQ(mat.fnSet_c15_RSM_MRKI(nullptr, 3), 0);
    EXPECT_EQ(block.bytes[68], 0) << "a refused set leaves the field";
    ASSERT_EQ(mat.fnSet_c15_RSM_MRKI(src, 15), 1);
    EXPECT_EQ(Ints({mat.fnGet_c1_PGCN_RSM_MRKI(), mat.fnGet_c1_PGN_RSM_MRKI(), mat.fnGet_wCN_RSM_MRKI()}),
              Ints({1, 2, 0x0304}));
    BYTE pt[6], tm[5];
    ASSERT_EQ(mat.fnGet_c6_MRK_PT_RSM_MRKI(pt), 1);
    EXPECT_EQ(Bytes(pt, 6), Bytes(src + 4, 6));
    ASSERT_EQ(mat.fnGet_c5_MRK_TM_RSM_MRKI(tm), 1);
    EXPECT_EQ(Bytes(tm, 5), Bytes(src + 10, 5));
    std::memset(block.bytes + 98, 0xAB, 128);
    ASSERT_EQ(mat.fnSet_c128_DISC_REP_NM(src, 5), 1);
    EXPECT_EQ(Bytes(block.bytes + 98, 6), (std::vector<BYTE>{1, 2, 3, 4, 5, 0xAB})) << "a short copy leaves the rest";
    block.bytes[85] = 0x01;
    block.bytes[86] = 0x02;
    EXPECT_EQ(mat.fnGet_wCN_DISC_REP_PICTI(), 0x0102);
    mat.fnSet_wCPSI(0x10, 0x20);
    EXPECT_EQ(mat.fnGet_wCPSI(), 0x30);
    mat.fnSet_dwORG_PGCI_SA(0x01020304);
    EXPECT_EQ(Bytes(block.bytes + 304, 4), (std::vector<BYTE>{1, 2, 3, 4}));
    CVMGI_MAT unbound;
    EXPECT_EQ(Ints({unbound.fnCheckValid(), unbound.fnGet_dwMNFIT_SA(), unbound.fnSet_dwMNFIT_SA(5),
                    unbound.fnGet_wCN_RSM_MRKI(), unbound.fnSetZero()}),
              Ints(5, 0));
}

TEST(PL_SRPT, AddWritesAStampedEntryAndDeleteMovesLaterOnesDown) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    EXPECT_EQ(Serialise(table), (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 7}));
    ASSERT_EQ(table.AddPointer(0x10, 1), 1);
    EXPECT_EQ(table.fndwSize(), 154u);
    const std::vector<BYTE> out = Serialise(table);
    EXPECT_EQ(table.fnGet_dwPL_SRPT_EA(), 153u);
    const BYTE* e = out.data() + 8;
    EXPECT_EQ(Bytes(e, 8), (std::vector<BYTE>{0, 0x10, 1, 0x1F, 0x4D, 0xC8, 0xF2, 0x5E}))
        << "PL_TY, PGCN, the creation time";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e + 8)), "2003/ 7/ 4");
    EXPECT_EQ(Bytes(e + 8, 64), Bytes(e + 72, 64)) << "both halves of PRM_TXTI";
    EXPECT_EQ(Bytes(e + 136, 10), (std::vector<BYTE>{0, 0, 0, 1, 0, 0, 0, 0, 0, 0})) << "IT_TXT_SRPN, CN, PICT_PT";
    for (BYTE g = 2; g <= 3; ++g) ASSERT_EQ(table.AddPointer(0, g), 1);
    table.fnSet_wCN(2, 77);
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(0), 0);
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(4), 0);
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(2), 1);
    // Playlist 3's chain is now chain 2, and entry 3 moved to index 1.
    EXPECT_EQ(Ints({table.fnGet_c1_PL_SRP_Ns(), table.fnGet_c1_PGCN(0), table.fnGet_c1_PGCN(1), table.fnGet_wCN(1)}),
              Ints({2, 1, 2, 77}));
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(1), 1);
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(1), 1);
    EXPECT_EQ(table.fnGet_c1_PL_SRP_Ns(), 0);
    EXPECT_TRUE(model.entries.empty());
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(1), 0);
}

TEST(PL_SRPT, PlaylistTypesComeFromTheNamedChainAndStopAtAHundred) {
    UD_PGCIT ud{};
    CUD_PGCIT chains(&ud);
    chains.fnNew();
    ASSERT_EQ(chains.fnADD_UD_PGCI(), 1);
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    EXPECT_EQ(table.fnADD_PlayList_Pointer(nullptr, 1), 0);
    EXPECT_EQ(table.fnSet_PL_TY(nullptr, 0), 0);
    ASSERT_EQ(table.fnADD_PlayList_Pointer(&ud.pgci[0], 1), 1);
    EXPECT_EQ(table.fnGet_c1_PL_TY(0), 0x10) << "a chain without movie cells";
    // A count raised by hand is serialised with zero entries, as long as reported.
    table.fnSet_c1_PL_SRP_Ns(3);
    const std::vector<BYTE> out = Serialise(table);
    ASSERT_EQ(out.size(), 8u + 3 * 146);
    EXPECT_EQ(out.back(), 0) << "missing entries are written as zeros";
    table.fnSet_c1_PL_SRP_Ns(1);
    ASSERT_EQ(table.AddPointer(0x77, 1), 1);
    ASSERT_EQ(table.AddPointer(0x77, 2), 1);
    EXPECT_EQ(table.fnUpdate_PlayList(&ud, 3), 0) << "one past the last entry";
    EXPECT_EQ(table.fnUpdate_PlayList(&ud, 2), 0) << "names a chain that does not exist";
    EXPECT_EQ(table.fnGet_c1_PL_TY(2), 0x77);
    ASSERT_EQ(table.fnUpdate_PlayList(&ud, 1), 1);
    EXPECT_EQ(table.fnGet_c1_PL_TY(1), 0x10) << "an empty chain";
    // No more than a hundred playlists; indexed accessors never reach past
    // the entries held.
    for (int i = 3; i < 100; ++i) ASSERT_EQ(table.AddPointer(0, static_cast<BYTE>(i + 1)), 1);
    EXPECT_EQ(
        Ints({table.fnGet_c1_PGCN(99), table.AddPointer(0, 101), table.fnGet_c1_PL_SRP_Ns(),
              static_cast<long long>(model.entries.size()), table.fnGet_c1_PGCN(100), table.fnSet_c1_PGCN(100, 5)}),
        Ints({100, 0, 100, 100 * 146, 0, 0}));
    EXPECT_EQ(table.fnGet_iTH_PL_SRP_Address(100), nullptr);
}

namespace {

std::vector<BYTE> Text(const char* s) { return std::vector<BYTE>(s, s + std::strlen(s)); }
// Two texts, "hello" and "abc", whose start addresses hold stale values.
struct TwoTexts {
    TXTDT_MG model{};
    CTXTDT_MG table{&model};
    TwoTexts() {
        table.fnNew(0x12);
        table.fnSet_wIT_TXT_SRP_Ns(2);
        model.srp.assign(8, 0);
        table.fnSet_wIT_TXT_SA(0, 99);
        table.fnSet_wIT_TXT_SZ(0, 5);
        table.fnSet_wIT_TXT_SA(1, 7);
        table.fnSet_wIT_TXT_SZ(1, 3);
        model.text = Text("helloabc");
    }
};

}  // namespace

TEST(TXTDT_MG, TextsArePackedLoadBackAndStayInsideTheBlock) {
    TwoTexts t;
    const std::vector<BYTE> bytes = Serialise(t.table);
    const std::vector<BYTE> expected = {0x12, 0,  0, 2, 0,   0,   0,   23,  0,   16,  0,   5,
                                        0,    21, 0, 3, 'h', 'e', 'l', 'l', 'o', 'a', 'b', 'c'};
    EXPECT_EQ(bytes, expected);
    TXTDT_MG loaded{};
    ExpectLoads(
        bytes, [&](CBuffer* b) { return CTXTDT_MG(b, &loaded, 100).fndwLoad_TXTDT_MG_From_File(); }, 100);
    CTXTDT_MG l(&loaded);
    EXPECT_EQ(Serialise(l), bytes);
    BYTE out[8] = {};
    ASSERT_EQ(l.fnGet_IT_TXT(1, out), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "abc");
    const std::vector<BYTE> empty = {0x11, 0, 0, 0, 0, 0, 0, 7};
    ExpectLoads(empty, [&](CBuffer* b) { return CTXTDT_MG(b, &loaded, 0).fndwLoad_TXTDT_MG_From_File(); });
    EXPECT_EQ(Serialise(l), empty);
    // A short header, 0xFFFF pointers, a text of 0xFFFF bytes, a cut text.
    for (const auto& garbled :
         {Head(bytes, 7), With(bytes, 2, 0xFFFF, 2), With(bytes, 14, 0xFFFF, 2), Head(bytes, bytes.size() - 1)}) {
        TXTDT_MG bad{};
        ExpectRefused(
            garbled, [&](CBuffer* b) { return CTXTDT_MG(b, &bad, 4).fndwLoad_TXTDT_MG_From_File(); }, 4);
    }
    // Texts stay inside the block; start address 99 lies outside it.
    TwoTexts u;
    EXPECT_EQ(u.table.fnGet_IT_TXT(0, out), 0);
    Serialise(u.table);
    EXPECT_EQ(u.table.fnGet_IT_TXT(2, out), 0) << "no third pointer";
    const BYTE xyz[4] = {'x', 'y', 'z', 'w'};
    EXPECT_EQ(u.table.fnSet_IT_TXT(1, xyz, 4), 0) << "a text never grows";
    ASSERT_EQ(u.table.fnSet_IT_TXT(1, xyz, 2), 1);
    EXPECT_EQ(u.model.text, Text("helloxyc"));
    // Sizes and counts raised by hand: the missing bytes are written as
    // zeros, and the accessors refuse texts beyond the block.
    u.table.fnSet_wIT_TXT_SZ(1, 6);
    const std::vector<BYTE> raised = Serialise(u.table);
    ASSERT_EQ(raised.size(), 8u + 8 + 11);
    EXPECT_EQ(std::vector<BYTE>(raised.end() - 3, raised.end()), (std::vector<BYTE>{0, 0, 0}));
    EXPECT_EQ(u.table.fnGet_IT_TXT(1, out), 0);
    u.table.fnSet_wIT_TXT_SRP_Ns(3);
    EXPECT_EQ(Serialise(u.table).size(), 8u + 12 + 11);
    TXTDT_MG* heap = new TXTDT_MG{};
    CTXTDT_MG table(heap);
    heap->text = Text("abc");
    table.fnFreeAllData();  // LeakSanitizer checks that nothing is left
    EXPECT_EQ(table.m_pModel, nullptr);
    EXPECT_EQ(table.fnSet_IT_TXT(0, xyz, 1), 0);
    EXPECT_EQ(table.fnReadData(out), 0u);
    CTXTDT_MG owner(new TXTDT_MG{});
    owner.m_cOwns = 1;  // the destructor frees the model
}

namespace {

// A manufacturer record: identifier, recording time and data.
MNFI Record(char id, const std::vector<BYTE>& data) {
    MNFI r{};
    std::memset(r.fixed, id, 32);
    for (int i = 0; i < 5; ++i) r.fixed[32 + i] = static_cast<BYTE>(0x10 + i);
    r.data = data;
    return r;
}

// A table holding the given records, built in memory.
struct Table {
    MNFIT model{};
    CMNFIT table{&model};
    explicit Table(const std::vector<MNFI>& records) {
        table.fnSet_wMNFI_Ns(static_cast<WORD>(records.size()));
        model.srp.assign(2 * records.size(), 0);
        model.records = records;
    }
};

DWORD LoadMnfit(CBuffer* buffer, MNFIT& into, DWORD at) { return CMNFIT(buffer, &into, at).fndwLoad_MNFIT_From_File(); }

}  // namespace

TEST(MNFIT, RoundTripsAndGarbledTablesFailToLoad) {
    Table t({Record('M', std::vector<BYTE>(10, 0xD7))});
    const std::vector<BYTE> bytes = Serialise(t.table);
    ASSERT_EQ(bytes.size(), 87u);
    EXPECT_EQ(Ints({t.table.fnGet_wMNFI_SA(0), t.table.fnGet_dwMNFIT_EA()}), Ints({40, 86}));
    EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 6, bytes.begin() + 38), std::vector<BYTE>(32, 'M'));
    EXPECT_EQ(Ints({bytes[72], bytes[77]}), Ints({0x10, 0xD7}));
    MNFIT loaded{};
    ExpectLoads(
        bytes, [&](CBuffer* b) { return LoadMnfit(b, loaded, 50); }, 50);
    CMNFIT l(&loaded);
    EXPECT_EQ(l.fnGet_MNFI_DT_Len(0), 10);
    EXPECT_EQ(loaded.records.at(0).data.size(), 10u);
    EXPECT_EQ(Serialise(l), bytes);
    // An empty table keeps its LAST_MNF_ID.
    std::vector<BYTE> empty = With(std::vector<BYTE>(38, 'Z'), 0, 37, 6);
    ExpectLoads(empty, [&](CBuffer* b) { return LoadMnfit(b, loaded, 0); });
    EXPECT_EQ(Serialise(l), empty);
    const std::vector<BYTE> two =
        Serialise(Table({Record('A', std::vector<BYTE>(5, 1)), Record('B', std::vector<BYTE>(9, 2))}).table);
    // Many records at one address whose wrapped lengths each cover most of
    // the file: what the table loads cannot exceed the file.
    std::vector<BYTE> overlap = With(With(std::vector<BYTE>(70000, 0), 0, 1000, 2), 2, 69999, 4);
    for (int i = 0; i < 1000; ++i) overlap = With(std::move(overlap), 38 + 2 * i, 2038, 2);
    for (const auto& garbled : {Head(two, 37), With(two, 0, 0xFFFF, 2), With(two, 40, 0xFFF0, 2),
                                With(two, 2, 0xFFF0, 4), Head(two, two.size() - 1), overlap}) {
        MNFIT bad{};
        ExpectRefused(
            garbled, [&](CBuffer* b) { return LoadMnfit(b, bad, 6); }, 6);
    }
}

TEST(MNFIT, DataLengthsComeFromTheAddresses) {
    // Records at 42 and 100 in a table ending at 150.
    std::vector<BYTE> bytes = With(With(std::vector<BYTE>(151, 0), 0, 2, 2), 2, 150, 4);
    bytes = With(With(bytes, 38, 42, 2), 40, 100, 2);
    std::memset(bytes.data() + 6, 'B', 32);  // LAST_MNF_ID
    std::memset(bytes.data() + 42, 'A', 32);
    std::memset(bytes.data() + 79, 0xA1, 21);
    std::memset(bytes.data() + 100, 'B', 32);
    std::memset(bytes.data() + 137, 0xB1, 14);
    MNFIT loaded{};
    ExpectLoads(
        bytes, [&](CBuffer* b) { return LoadMnfit(b, loaded, 3); }, 3);
    CMNFIT l(&loaded);
    EXPECT_EQ(Ints({l.fnGet_MNFI_DT_Len(0), l.fnGet_MNFI_DT_Len(1)}), Ints({21, 14}));
    BYTE data[21] = {};
    ASSERT_EQ(l.fnGet_pMNFI_DT(1, data), 1);
    EXPECT_EQ(Ints({data[13], data[14]}), Ints({0xB1, 0})) << "only the record's own 14 bytes";
    EXPECT_EQ(Serialise(l), bytes);
    // The data block never grows, and addresses edited by hand that promise
    // more than a record holds are refused.
    const BYTE src[15] = {1, 2, 3};
    EXPECT_EQ(l.fnSet_pMNFI_DT(1, src, 15), 0);
    EXPECT_EQ(l.fnSet_pMNFI_DT(2, src, 1), 0);
    ASSERT_EQ(l.fnSet_pMNFI_DT(1, src, 3), 1);
    EXPECT_EQ(loaded.records[1].data[2], 3);
    l.fnSet_dwMNFIT_EA(200);
    EXPECT_EQ(l.fnGet_pMNFI_DT(1, data), 0);
    EXPECT_EQ(l.fnSet_c5_MNFI_REC_TM(2, src, 5), 0);
    // A count raised by hand: the missing record is written empty.
    l.fnSet_wMNFI_Ns(3);
    EXPECT_EQ(Serialise(l).size(), 151u + 2 + 37);
    MNFIT* heap = new MNFIT{};
    CMNFIT owner(heap);
    heap->records.push_back(Record('Q', std::vector<BYTE>(4, 9)));
    owner.fnFreeAllData();  // LeakSanitizer checks that nothing is left
    EXPECT_EQ(owner.m_pModel, nullptr);
    BYTE out[38];
    EXPECT_EQ(Ints({owner.fnReadData(out), owner.fnGet_c32_LAST_MNF_ID(out)}), Ints({0, 0}));
}
