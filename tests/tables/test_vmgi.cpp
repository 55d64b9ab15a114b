#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "platform/clock.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"


TEST(RTR_VMGI, ANewHeadIs520BytesOfKnownValues) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 540);
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    ASSERT_EQ(head.fnNew(), 1);
    EXPECT_EQ(head.fndwSize(), 520u);
    const std::vector<BYTE> bytes = Serialise(head);
    ASSERT_EQ(bytes.size(), 520u);

    std::vector<BYTE> expected(520, 0);
    std::memcpy(expected.data(), "DVD_RTR_VMG0", 12);
    expected[33] = 0x11;  // VERN
    expected[64] = 0x12;  // TM_ZONE 0x1000 + 540
    expected[65] = 0x1C;
    expected[66] = 3;  // STILL_TM
    expected[67] = 0x12;  // CHRS
    for (int i = 68; i < 98; ++i) expected[i] = 0xFF;  // RSM_MRKI, DISC_REP_PICTI
    expected[519] = 7;  // PL_SRPT_EA of an empty table
    EXPECT_EQ(bytes, expected);
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
    EXPECT_EQ(mat.fnGet_c1_PGCN_RSM_MRKI(), 1);
    EXPECT_EQ(mat.fnGet_c1_PGN_RSM_MRKI(), 2);
    EXPECT_EQ(mat.fnGet_wCN_RSM_MRKI(), 0x0304);
    BYTE pt[6];
    ASSERT_EQ(mat.fnGet_c6_MRK_PT_RSM_MRKI(pt), 1);
    EXPECT_EQ(std::memcmp(pt, src + 4, 6), 0);
    BYTE tm[5];
    ASSERT_EQ(mat.fnGet_c5_MRK_TM_RSM_MRKI(tm), 1);
    EXPECT_EQ(std::memcmp(tm, src + 10, 5), 0);

    std::memset(block.bytes + 98, 0xAB, 128);
    ASSERT_EQ(mat.fnSet_c128_DISC_REP_NM(src, 5), 1);
    EXPECT_EQ(std::memcmp(block.bytes + 98, src, 5), 0);
    EXPECT_EQ(block.bytes[103], 0xAB) << "a short copy leaves the rest";

    block.bytes[85] = 0x01;
    block.bytes[86] = 0x02;
    EXPECT_EQ(mat.fnGet_wCN_DISC_REP_PICTI(), 0x0102);
    mat.fnSet_wCPSI(0x10, 0x20);
    EXPECT_EQ(mat.fnGet_wCPSI(), 0x30);
    mat.fnSet_dwORG_PGCI_SA(0x01020304);
    EXPECT_EQ(block.bytes[304], 0x01);
    EXPECT_EQ(block.bytes[307], 0x04);
    EXPECT_EQ(mat.fnGet_dwORG_PGCI_SA(), 0x01020304u);

    CVMGI_MAT unbound;
    EXPECT_EQ(unbound.fnCheckValid(), 0);
    EXPECT_EQ(unbound.fnGet_dwMNFIT_SA(), 0u);
    EXPECT_EQ(unbound.fnSet_dwMNFIT_SA(5), 0);
    EXPECT_EQ(unbound.fnGet_wCN_RSM_MRKI(), 0);
    EXPECT_EQ(unbound.fnSetZero(), 0);
}

TEST(PL_SRPT, AddWritesAStampedEntry) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    BYTE out[8 + 146];
    ASSERT_EQ(table.fnReadData(out), 8u);
    const BYTE empty[8] = {0, 0, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(std::memcmp(out, empty, 8), 0);

    ASSERT_EQ(table.AddPointer(0x10, 1), 1);
    EXPECT_EQ(table.fndwSize(), 154u);
    ASSERT_EQ(table.fnReadData(out), 154u);
    EXPECT_EQ(table.fnGet_dwPL_SRPT_EA(), 153u);
    const BYTE* e = out + 8;
    EXPECT_EQ(e[1], 0x10);  // PL_TY
    EXPECT_EQ(e[2], 1);  // PGCN
    const BYTE created[5] = {0x1F, 0x4D, 0xC8, 0xF2, 0x5E};
    EXPECT_EQ(std::memcmp(e + 3, created, 5), 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e + 8)), "2003/ 7/ 4");
    EXPECT_EQ(std::memcmp(e + 8, e + 72, 64), 0) << "both halves of PRM_TXTI";
    EXPECT_EQ(table.fnGet_wIT_TXT_SRPN(0), 0);
    EXPECT_EQ(table.fnGet_wCN(0), 1);
    const BYTE zero6[6] = {};
    EXPECT_EQ(std::memcmp(e + 140, zero6, 6), 0);
}

TEST(PL_SRPT, DeleteMovesLaterEntriesDown) {
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    for (BYTE g = 1; g <= 3; ++g) ASSERT_EQ(table.AddPointer(0, g), 1);
    table.fnSet_wCN(2, 77);
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(0), 0);
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(4), 0);
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(2), 1);
    EXPECT_EQ(table.fnGet_c1_PL_SRP_Ns(), 2);
    EXPECT_EQ(table.fnGet_c1_PGCN(0), 1);
    EXPECT_EQ(table.fnGet_c1_PGCN(1), 2) << "playlist 3's chain is now chain 2";
    EXPECT_EQ(table.fnGet_wCN(1), 77) << "entry 3 moved to index 1";
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(1), 1);
    ASSERT_EQ(table.fnDEL_PlayList_Pointer(1), 1);
    EXPECT_EQ(table.fnGet_c1_PL_SRP_Ns(), 0);
    EXPECT_TRUE(model.entries.empty());
    EXPECT_EQ(table.fnDEL_PlayList_Pointer(1), 0);
}

TEST(PL_SRPT, NoMoreThanAHundredPlaylists) {
    PL_SRPT model{};
    CPL_SRPT table(&model);
    table.fnNew();
    for (int i = 0; i < 100; ++i) ASSERT_EQ(table.AddPointer(0, static_cast<BYTE>(i + 1)), 1);
    EXPECT_EQ(table.fnGet_c1_PGCN(99), 100);
    EXPECT_EQ(table.AddPointer(0, 101), 0);
    EXPECT_EQ(table.fnGet_c1_PL_SRP_Ns(), 100);
    EXPECT_EQ(model.entries.size(), 100u * 146);
    // Indexed accessors never reach past the entries held.
    EXPECT_EQ(table.fnGet_c1_PGCN(100), 0);
    EXPECT_EQ(table.fnSet_c1_PGCN(100, 5), 0);
    EXPECT_EQ(table.fnGet_iTH_PL_SRP_Address(100), nullptr);
}

TEST(RTR_VMGI, RoundTripIsByteForByte) {
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    head.fnNew();
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

    BytesFile file(bytes);
    RTR_VMGI loaded;
    ASSERT_EQ(CRTR_VMGI(&file.buffer, &loaded, 0).fndwLoad_RTR_VMGI_From_File(), bytes.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
    EXPECT_EQ(Serialise(CRTR_VMGI(&loaded)), bytes);
    EXPECT_EQ(CPL_SRPT(loaded.pPL_SRPT.get()).fnGet_c1_PL_TY(0), 0x20);
}

TEST(RTR_VMGI, TruncatedFilesFailToLoad) {
    RTR_VMGI model;
    CRTR_VMGI head(&model);
    head.fnNew();
    CPL_SRPT pl(model.pPL_SRPT.get());
    pl.AddPointer(0, 1);
    const std::vector<BYTE> bytes = Serialise(head);

    std::vector<BYTE> garbled = bytes;
    garbled[512 + 3] = 0xFF;  // a count that claims more entries than the file holds
    std::vector<std::vector<BYTE>> inputs = {garbled};
    for (size_t cut : {size_t{1}, size_t{100}, size_t{511}, size_t{515}, bytes.size() - 1})
        inputs.emplace_back(bytes.begin(), bytes.begin() + static_cast<long>(cut));
    for (const auto& input : inputs) {
        BytesFile file(input);
        RTR_VMGI loaded;
        EXPECT_EQ(CRTR_VMGI(&file.buffer, &loaded, 0).fndwLoad_RTR_VMGI_From_File(), 0u) << input.size();
        EXPECT_TRUE(file.buffer.ReadFailed()) << input.size();
    }
}

TEST(PL_SRPT, PlaylistTypeComesFromTheNamedChain) {
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
    std::vector<BYTE> out(8 + 3 * 146, 0xCC);
    ASSERT_EQ(table.fnReadData(out.data()), out.size());
    EXPECT_EQ(out.back(), 0) << "missing entries are written as zeros";
    table.fnSet_c1_PL_SRP_Ns(1);

    ASSERT_EQ(table.AddPointer(0x77, 1), 1);
    ASSERT_EQ(table.AddPointer(0x77, 2), 1);
    EXPECT_EQ(table.fnUpdate_PlayList(&ud, 3), 0) << "one past the last entry";
    EXPECT_EQ(table.fnUpdate_PlayList(&ud, 2), 0) << "names a chain that does not exist";
    EXPECT_EQ(table.fnGet_c1_PL_TY(2), 0x77);
    ASSERT_EQ(table.fnUpdate_PlayList(&ud, 1), 1);
    EXPECT_EQ(table.fnGet_c1_PL_TY(1), 0x10) << "an empty chain";
}
