#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "tables/CMNFIT.h"
#include "tables/CTXTDT_MG.h"

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

TEST(TXTDT_MG, TextsArePackedInPointerOrder) {
    TwoTexts t;
    const std::vector<BYTE> bytes = Serialise(t.table);
    const std::vector<BYTE> expected = {0x12, 0, 0, 2,   0,   0,   0,   23,  0,   16,  0,   5,
                                        0,    21, 0, 3,  'h', 'e', 'l', 'l', 'o', 'a', 'b', 'c'};
    EXPECT_EQ(bytes, expected);

    BytesFile file(bytes, 100);
    TXTDT_MG loaded{};
    CTXTDT_MG l(&file.buffer, &loaded, 100);
    ASSERT_EQ(l.fndwLoad_TXTDT_MG_From_File(), 24u);
    EXPECT_FALSE(file.buffer.ReadFailed());
    EXPECT_EQ(Serialise(l), bytes);
    BYTE out[8] = {};
    ASSERT_EQ(l.fnGet_IT_TXT(1, out), 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out)), "abc");

    BytesFile empty({0x11, 0, 0, 0, 0, 0, 0, 0});
    CTXTDT_MG e(&empty.buffer, &loaded, 0);
    ASSERT_EQ(e.fndwLoad_TXTDT_MG_From_File(), 8u);
    EXPECT_EQ(Serialise(e), (std::vector<BYTE>{0x11, 0, 0, 0, 0, 0, 0, 7}));
}

TEST(TXTDT_MG, TextAccessorsStayInsideTheBlock) {
    TwoTexts t;
    BYTE out[8];
    EXPECT_EQ(t.table.fnGet_IT_TXT(0, out), 0) << "start address 99 lies outside the block";
    Serialise(t.table);
    EXPECT_EQ(t.table.fnGet_IT_TXT(2, out), 0) << "no third pointer";
    const BYTE xyz[4] = {'x', 'y', 'z', 'w'};
    EXPECT_EQ(t.table.fnSet_IT_TXT(1, xyz, 4), 0) << "a text never grows";
    ASSERT_EQ(t.table.fnSet_IT_TXT(1, xyz, 2), 1);
    EXPECT_EQ(t.model.text, Text("helloxyc"));

    // Sizes and counts raised by hand: the missing bytes are written as
    // zeros, and the accessors refuse texts beyond the block.
    t.table.fnSet_wIT_TXT_SZ(1, 6);
    const std::vector<BYTE> bytes = Serialise(t.table);
    ASSERT_EQ(bytes.size(), 8u + 8 + 11);
    EXPECT_EQ(std::vector<BYTE>(bytes.end() - 3, bytes.end()), (std::vector<BYTE>{0, 0, 0}));
    EXPECT_EQ(t.table.fnGet_IT_TXT(1, out), 0);
    t.table.fnSet_wIT_TXT_SRP_Ns(3);
    EXPECT_EQ(Serialise(t.table).size(), 8u + 12 + 11);

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

TEST(TXTDT_MG, GarbledTablesFailToLoad) {
    TwoTexts t;
    const std::vector<BYTE> bytes = Serialise(t.table);
    std::vector<BYTE> shortHeader(bytes.begin(), bytes.begin() + 7);
    std::vector<BYTE> manyPointers = bytes;
    vrm::be_store<uint16_t>(manyPointers.data() + 2, 0xFFFF);
    std::vector<BYTE> longText = bytes;
    vrm::be_store<uint16_t>(longText.data() + 14, 0xFFFF);
    std::vector<BYTE> cut(bytes.begin(), bytes.end() - 1);
    for (const auto& garbled : {shortHeader, manyPointers, longText, cut}) {
        BytesFile file(garbled, 4);
        TXTDT_MG loaded{};
        EXPECT_EQ(CTXTDT_MG(&file.buffer, &loaded, 4).fndwLoad_TXTDT_MG_From_File(), 0u);
        EXPECT_TRUE(file.buffer.ReadFailed());
    }
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

}  // namespace

TEST(MNFIT, OneRecordRoundTrip) {
    Table t({Record('M', std::vector<BYTE>(10, 0xD7))});
    const std::vector<BYTE> bytes = Serialise(t.table);
    ASSERT_EQ(bytes.size(), 87u);
    EXPECT_EQ(t.table.fnGet_wMNFI_SA(0), 40);
    EXPECT_EQ(t.table.fnGet_dwMNFIT_EA(), 86u);
    EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 6, bytes.begin() + 38), std::vector<BYTE>(32, 'M'));
    EXPECT_EQ(bytes[72], 0x10);
    EXPECT_EQ(bytes[77], 0xD7);

    BytesFile file(bytes, 50);
    MNFIT loaded{};
    CMNFIT l(&file.buffer, &loaded, 50);
    ASSERT_EQ(l.fndwLoad_MNFIT_From_File(), 87u);
    EXPECT_EQ(l.fnGet_MNFI_DT_Len(0), 10);
    EXPECT_EQ(loaded.records.at(0).data.size(), 10u);
    EXPECT_EQ(Serialise(l), bytes);

    // An empty table keeps its LAST_MNF_ID.
    std::vector<BYTE> empty(38, 0);
    vrm::be_store<uint32_t>(empty.data() + 2, 37);
    std::memset(empty.data() + 6, 'Z', 32);
    BytesFile none(empty);
    CMNFIT e(&none.buffer, &loaded, 0);
    ASSERT_EQ(e.fndwLoad_MNFIT_From_File(), 38u);
    EXPECT_EQ(Serialise(e), empty);
}

TEST(MNFIT, DataLengthsComeFromTheAddresses) {
    // Records at 42 and 100 in a table ending at 150.
    std::vector<BYTE> bytes(151, 0);
    vrm::be_store<uint16_t>(bytes.data(), 2);
    vrm::be_store<uint32_t>(bytes.data() + 2, 150);
    std::memset(bytes.data() + 6, 'B', 32);  // LAST_MNF_ID
    vrm::be_store<uint16_t>(bytes.data() + 38, 42);
    vrm::be_store<uint16_t>(bytes.data() + 40, 100);
    std::memset(bytes.data() + 42, 'A', 32);
    std::memset(bytes.data() + 79, 0xA1, 21);
    std::memset(bytes.data() + 100, 'B', 32);
    std::memset(bytes.data() + 137, 0xB1, 14);

    BytesFile file(bytes, 3);
    MNFIT loaded{};
    CMNFIT l(&file.buffer, &loaded, 3);
    ASSERT_EQ(l.fndwLoad_MNFIT_From_File(), 151u);
    EXPECT_EQ(l.fnGet_MNFI_DT_Len(0), 21);
    EXPECT_EQ(l.fnGet_MNFI_DT_Len(1), 14);
    BYTE data[21] = {};
    ASSERT_EQ(l.fnGet_pMNFI_DT(1, data), 1);
    EXPECT_EQ(data[13], 0xB1);
    EXPECT_EQ(data[14], 0) << "only the record's own 14 bytes";
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
}

TEST(MNFIT, GarbledTablesFailToLoad) {
    Table t({Record('A', std::vector<BYTE>(5, 1)), Record('B', std::vector<BYTE>(9, 2))});
    const std::vector<BYTE> bytes = Serialise(t.table);
    std::vector<BYTE> shortHeader(bytes.begin(), bytes.begin() + 37);
    std::vector<BYTE> manyRecords = bytes;
    vrm::be_store<uint16_t>(manyRecords.data(), 0xFFFF);
    std::vector<BYTE> farRecord = bytes;
    vrm::be_store<uint16_t>(farRecord.data() + 40, 0xFFF0);
    std::vector<BYTE> farEnd = bytes;
    vrm::be_store<uint32_t>(farEnd.data() + 2, 0x0000FFF0);
    std::vector<BYTE> cut(bytes.begin(), bytes.end() - 1);
    // Many records at one address whose wrapped lengths each cover most of
    // the file: what the table loads cannot exceed the file.
    std::vector<BYTE> overlap(70000, 0);
    vrm::be_store<uint16_t>(overlap.data(), 1000);
    vrm::be_store<uint32_t>(overlap.data() + 2, 69999);
    for (int i = 0; i < 1000; ++i) vrm::be_store<uint16_t>(overlap.data() + 38 + 2 * i, 2038);

    for (const auto& garbled : {shortHeader, manyRecords, farRecord, farEnd, cut, overlap}) {
        BytesFile file(garbled, 6);
        MNFIT loaded{};
        EXPECT_EQ(CMNFIT(&file.buffer, &loaded, 6).fndwLoad_MNFIT_From_File(), 0u);
        EXPECT_TRUE(file.buffer.ReadFailed());
    }

    MNFIT* heap = new MNFIT{};
    CMNFIT owner(heap);
    heap->records.push_back(Record('Q', std::vector<BYTE>(4, 9)));
    owner.fnFreeAllData();  // LeakSanitizer checks that nothing is left
    EXPECT_EQ(owner.m_pModel, nullptr);
    BYTE out[38];
    EXPECT_EQ(owner.fnReadData(out), 0u);
    EXPECT_EQ(owner.fnGet_c32_LAST_MNF_ID(out), 0);
}
