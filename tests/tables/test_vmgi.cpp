// The head of the management file (RTR_VMGI: VMGI_MAT and the playlist
// search pointers PL_SRPT), the text table TXTDT_MG and the manufacturer
// table MNFIT.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/Time.h"
#include "tables/CMNFIT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CTXTDT_MG.h"
#include "tables/TableTests.h"

namespace {

const LoadAt kHead = Loader<RTR_VMGI, CRTR_VMGI>(&CRTR_VMGI::fndwLoad_RTR_VMGI_From_File);
const LoadAt kTexts = Loader<TXTDT_MG, CTXTDT_MG>(&CTXTDT_MG::fndwLoad_TXTDT_MG_From_File);
const LoadAt kMaker = Loader<MNFIT, CMNFIT>(&CMNFIT::fndwLoad_MNFIT_From_File);

// A new head with a start address, a name, a reserved byte and two
// playlists.
std::vector<BYTE> EditedHead() {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 540);
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    head.fnNew();
    CVMGI_MAT mat(model.pVMGI_MAT.get());
    mat.fnSet_dwM_AVFIT_SA(0x2000);
    mat.fnSet_c128_DISC_REP_NM(reinterpret_cast<const BYTE*>("holiday"), 7);
    model.pVMGI_MAT->bytes[400] = 0x5A;
    CPL_SRPT(model.pPL_SRPT.get()).AddPointer(0x20, 1);
    CPL_SRPT(model.pPL_SRPT.get()).AddPointer(0x00, 2);
    return Serialise(head);
}

// Two texts, "hello" and "abc", packed behind their pointers.
const std::vector<BYTE> kTwoTexts = {0x12, 0,  0, 2, 0,   0,   0,   23,  0,   16,  0,   5,
                                     0,    21, 0, 3, 'h', 'e', 'l', 'l', 'o', 'a', 'b', 'c'};

// Maker records 'A' at 42 (21 bytes of data) and 'B' at 100 (14) in a table
// ending at 150.
std::vector<BYTE> TwoMakerRecords() {
    std::vector<BYTE> bytes =
        With(With(With(With(std::vector<BYTE>(151, 0), 0, 2, 2), 2, 150, 4), 38, 42, 2), 40, 100, 2);
    std::memset(bytes.data() + 6, 'B', 32);  // LAST_MNF_ID
    std::memset(bytes.data() + 42, 'A', 32);
    std::memset(bytes.data() + 79, 0xA1, 21);
    std::memset(bytes.data() + 100, 'B', 32);
    std::memset(bytes.data() + 137, 0xB1, 14);
    return bytes;
}

}  // namespace

// Every table loads the bytes it writes and writes back what it loaded; a
// garbled or cut table is refused with the buffer's read failure marked.
TEST(VmgiTables, LoadsRoundTripAndGarbledTablesAreRefused) {
    const std::vector<BYTE> head = EditedHead(), maker = TwoMakerRecords();
    // Many records at one address whose wrapped lengths each cover most of
    // the file: what the table loads cannot exceed the file.
    std::vector<BYTE> overlap = With(With(std::vector<BYTE>(70000, 0), 0, 1000, 2), 2, 69999, 4);
    for (int i = 0; i < 1000; ++i) overlap = With(std::move(overlap), 38 + 2 * i, 2038, 2);
    ExpectRows({
        {"head with playlists", kHead, head, true, 0},
        {"two texts", kTexts, kTwoTexts, true, 100},
        {"no text", kTexts, {0x11, 0, 0, 0, 0, 0, 0, 7}, true, 0},
        {"maker records at their addresses", kMaker, maker, true, 3},
        {"no maker record, LAST_MNF_ID kept", kMaker, With(std::vector<BYTE>(38, 'Z'), 0, 37, 6), true, 0},
        {"more playlists than the file holds", kHead, With(head, 512 + 3, 0xFF), false, 0},
        {"head cut in VMGI_MAT", kHead, Head(head, 100), false, 0},
        {"head cut in PL_SRPT's header", kHead, Head(head, 515), false, 0},
        {"short text header", kTexts, Head(kTwoTexts, 7), false, 4},
        {"0xFFFF text pointers", kTexts, With(kTwoTexts, 2, 0xFFFF, 2), false, 4},
        {"cut text", kTexts, Head(kTwoTexts, kTwoTexts.size() - 1), false, 4},
        {"short maker header", kMaker, Head(maker, 37), false, 6},
        {"0xFFFF maker records", kMaker, With(maker, 0, 0xFFFF, 2), false, 6},
        {"a record beyond the file", kMaker, With(maker, 40, 0xFFF0, 2), false, 6},
        {"an end beyond the file", kMaker, With(maker, 2, 0xFFF0, 4), false, 6},
        {"overlapping maker records", kMaker, overlap, false, 6},
    });
}

TEST(VMGI_MAT, ANewHeadHoldsKnownValuesAndTheMarkersReadTheirOwnBytes) {
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    {
        vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 540);
        ASSERT_EQ(head.fnNew(), 1);
    }
    // VERN 0x0011; TM_ZONE 0x1000 + 540, STILL_TM 3, CHRS 0x12; RSM_MRKI and
    // DISC_REP_PICTI all 0xFF; PL_SRPT_EA 7 of an empty table.
    std::vector<BYTE> expected = With(With(std::vector<BYTE>(520, 0), 32, 0x0011, 2), 64, 0x121C0312, 4);
    std::memcpy(expected.data(), "DVD_RTR_VMG0", 12);
    std::memset(expected.data() + 68, 0xFF, 30);
    expected[519] = 7;
    EXPECT_EQ(Serialise(head), expected);

    CVMGI_MAT mat(model.pVMGI_MAT.get());
    {
        vrm::ScopedTestClock clock(MakeTime(2003, 1, 1), -300);
        mat.fnSet_wTM_ZONE(0x1000, 0);
        EXPECT_EQ(mat.fnGet_wTM_ZONE(), 0x0ED4) << "west of UTC";
    }
    mat.fnSet_wTM_ZONE(0x0000, 60);
    EXPECT_EQ(mat.fnGet_wTM_ZONE(), 60) << "no zone lookup for other types";
    // The markers' parts read from the marker each is part of.
    BYTE marker[15], picture[15];
    for (int i = 0; i < 15; ++i) marker[i] = static_cast<BYTE>(1 + i), picture[i] = static_cast<BYTE>(101 + i);
    ASSERT_EQ(mat.fnSet_c15_RSM_MRKI(marker, 15) + mat.fnSet_c15_DISC_REP_PICTI(picture, 15), 2);
    const BYTE* bytes = model.pVMGI_MAT->bytes;
    EXPECT_EQ(Int(bytes[68]), 1);
    EXPECT_EQ(Int(bytes[83]), 101);
    EXPECT_EQ(Int(mat.fnGet_c1_PGCN_RSM_MRKI()), 1);
    EXPECT_EQ(Int(mat.fnGet_wCN_RSM_MRKI()), 0x0304);
    EXPECT_EQ(Int(mat.fnGet_c1_PGN_DISC_REP_PICTI()), 102);
    EXPECT_EQ(Int(mat.fnGet_wCN_DISC_REP_PICTI()), 0x6768);
}

TEST(PL_SRPT, AddWritesAStampedEntryAndDeleteMovesLaterOnesDown) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    ASSERT_EQ(table.AddPointer(0x10, 1), 1);
    const std::vector<BYTE> out = Serialise(table);
    ASSERT_EQ(Ints({static_cast<long long>(out.size()), table.fnGet_dwPL_SRPT_EA()}), Ints({154, 153}));
    // PL_TY, PGCN, the creation time, both halves of PRM_TXTI, IT_TXT_SRPN,
    // CN, PICT_PT.
    const BYTE* e = out.data() + 8;
    EXPECT_EQ(Bytes(e, 8), (std::vector<BYTE>{0, 0x10, 1, 0x1F, 0x4D, 0xC8, 0xF2, 0x5E}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e + 8)), "2003/ 7/ 4");
    EXPECT_EQ(Bytes(e + 8, 64), Bytes(e + 72, 64));
    EXPECT_EQ(Bytes(e + 136, 10), (std::vector<BYTE>{0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    for (BYTE g = 2; g <= 3; ++g) ASSERT_EQ(table.AddPointer(0, g), 1);
    table.fnSet_wCN(2, 77);
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(0) + table.fnDEL_PlayList_Pointer(4), 0);
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(2), 1);
    // Playlist 3's chain is now chain 2, and entry 3 moved to index 1.
    EXPECT_EQ(Ints({table.fnGet_c1_PL_SRP_Ns(), table.fnGet_c1_PGCN(0), table.fnGet_c1_PGCN(1), table.fnGet_wCN(1)}),
              Ints({2, 1, 2, 77}));
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(1) + table.fnDEL_PlayList_Pointer(1), 2);
    EXPECT_EQ(Serialise(table), (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 7}));
}

TEST(TXTDT_MG, TextsStayInsideTheBlockAndRaisedSizesAreWrittenAsZeros) {
    TXTDT_MG model{};
    CTXTDT_MG table(&model);
    table.fnNew(0x12);
    table.fnSet_wIT_TXT_SRP_Ns(2);
    model.srp = {0, 99, 0, 5, 0, 7, 0, 3};  // stale start addresses
    model.text = {'h', 'e', 'l', 'l', 'o', 'a', 'b', 'c'};
    BYTE out[8] = {};
    EXPECT_EQ(table.fnGet_IT_TXT(0, out), 0) << "start address 99 lies outside the block";
    EXPECT_EQ(Serialise(table), kTwoTexts) << "packed, the addresses rewritten";
    ASSERT_EQ(table.fnGet_IT_TXT(1, out), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "abc");
    EXPECT_EQ(table.fnGet_IT_TXT(2, out), 0) << "no third pointer";
    const BYTE xyz[4] = {'x', 'y', 'z', 'w'};
    EXPECT_EQ(table.fnSet_IT_TXT(1, xyz, 4), 0) << "a text never grows";
    ASSERT_EQ(table.fnSet_IT_TXT(1, xyz, 2), 1);
    EXPECT_EQ(model.text, (std::vector<BYTE>{'h', 'e', 'l', 'l', 'o', 'x', 'y', 'c'}));
    table.fnSet_wIT_TXT_SZ(1, 6);
    const std::vector<BYTE> raised = Serialise(table);
    EXPECT_EQ(Bytes(raised.data() + 21, 6), (std::vector<BYTE>{'x', 'y', 'c', 0, 0, 0}));
    EXPECT_EQ(table.fnGet_IT_TXT(1, out), 0);
    table.fnSet_wIT_TXT_SRP_Ns(3);
    EXPECT_EQ(Serialise(table).size(), 8u + 12 + 11);
}

TEST(MNFIT, WritingRewritesTheAddressesAndDataLengthsComeFromThem) {
    MNFIT model{};
    model.records = {MNFI{}, MNFI{}};
    std::memset(model.records[1].fixed, 'M', MNFI::kFixedSize);
    model.records[1].data.assign(10, 0xD7);
    CMNFIT written(&model);
    written.fnSet_wMNFI_Ns(2);
    const std::vector<BYTE> bytes = Serialise(written);
    // MNFI_SA, MNFIT_EA, LAST_MNF_ID, the record and its data.
    EXPECT_EQ(Ints({written.fnGet_wMNFI_SA(1), written.fnGet_dwMNFIT_EA(), bytes[37], bytes[79], bytes[116]}),
              Ints({79, 125, 'M', 'M', 0xD7}));
    MNFIT loaded{};
    BytesFile file(TwoMakerRecords());
    CMNFIT l(&file.buffer, &loaded, 0);
    ASSERT_EQ(l.fndwLoad_MNFIT_From_File(), 151u);
    EXPECT_EQ(Ints({l.fnGet_MNFI_DT_Len(0), l.fnGet_MNFI_DT_Len(1)}), Ints({21, 14}));
    BYTE data[21] = {};
    ASSERT_EQ(l.fnGet_pMNFI_DT(1, data), 1);
    EXPECT_EQ(Ints({data[13], data[14]}), Ints({0xB1, 0})) << "only the record's own 14 bytes";
    // The data block never grows, and addresses edited by hand that promise
    // more than a record holds are refused.
    const BYTE src[15] = {1, 2, 3};
    EXPECT_EQ(l.fnSet_pMNFI_DT(1, src, 15) + l.fnSet_pMNFI_DT(2, src, 1), 0);
    ASSERT_EQ(l.fnSet_pMNFI_DT(1, src, 3), 1);
    EXPECT_EQ(loaded.records[1].data[2], 3);
    l.fnSet_dwMNFIT_EA(200);
    EXPECT_EQ(l.fnGet_pMNFI_DT(1, data), 0);
    l.fnSet_wMNFI_Ns(3);
    EXPECT_EQ(Serialise(l).size(), 151u + 2 + 37) << "a count raised by hand: the missing record is written empty";
}
