#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "io/codecs.h"
#include "support/Cells.h"
#include "support/TempDir.h"
#include "tables/CM_VOBI.h"
#include "tables/CS_VOGI.h"
#include "tables/CUD_PGCIT.h"

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
            for (int c = 1; c <= k; ++c) {
                EXPECT_EQ(table.fnADD_Movie_Cell(static_cast<BYTE>(k), &vob.record, 1), 1);
                EXPECT_EQ(table.fnADD_Movie_Cell_EntryPoint(static_cast<BYTE>(k), static_cast<WORD>(c), 0,
                                                            Ptm(0).data(), nullptr),
                          1);
            }
        }
    }
};

}  // namespace

TEST(UD_PGCIT, EmptyTableAndOneChain) {
    UD_PGCIT record{};
    CUD_PGCIT table(&record);
    EXPECT_EQ(Serialise(table), (std::vector<BYTE>{0, 0, 0, 0, 0, 5}));
    Vob vob(0, 10 * kSecond);
    table.fnNew();
    ASSERT_EQ(table.fnADD_UD_PGCI(), 1);
    ASSERT_EQ(table.fnADD_Movie_Cell(1, &vob.record, 1), 1);
    CPGCI pgci(&record.pgci[0]);
    const std::vector<BYTE> chain = Serialise(pgci);
    const size_t L = chain.size();
    const std::vector<BYTE> bytes = Serialise(table);
    ASSERT_EQ(bytes.size(), 10 + L);
    EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 10),
              (std::vector<BYTE>{0, 1, 0, 0, 0, static_cast<BYTE>(9 + L), 0, 0, 0, 10}));
    EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 10, bytes.end()), chain);
}

TEST(UD_PGCIT, RoundTripIsByteForByte) {
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

    BytesFile file(bytes, 300);
    UD_PGCIT loaded{};
    CUD_PGCIT l(&file.buffer, &loaded, 300);
    ASSERT_EQ(l.fndwLoad_UD_PGCIT_From_File(), bytes.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
    EXPECT_EQ(Serialise(l), bytes);

    // A start address of 0 means no table: the record is left as it was.
    CUD_PGCIT none(&file.buffer, &loaded, 0);
    EXPECT_EQ(none.fndwLoad_UD_PGCIT_From_File(), 0u);
    EXPECT_EQ(l.fnGet_CI_SRP_Ns(3), 3u);
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
        BytesFile file(bytes, 16);
        UD_PGCIT loaded{};
        CUD_PGCIT l(&file.buffer, &loaded, 16);
        ASSERT_EQ(l.fndwLoad_UD_PGCIT_From_File(), bytes.size()) << "the size of the bytes read";
        EXPECT_EQ(l.fnGetTotalEntryPointNs(1, 0, 0, 0), 1u) << pass;
        EXPECT_EQ(CCI(&loaded.pgci[0].ci[0]).fnGet_ll_EP_PTS(0), 2 * kSecond);
        const std::vector<BYTE> saved = Serialise(l);
        EXPECT_EQ(saved.size(), bytes.size() + (pass == 0 ? 7 : 0));
        bytes = saved;
    }
}

TEST(UD_PGCIT, LoadFollowsEachSearchPointerAndSaveRepacks) {
    Table t(2);
    const std::vector<BYTE> packed = Serialise(t.table);
    CPGCI one(&t.record.pgci[0]), two(&t.record.pgci[1]);
    const std::vector<BYTE> c1 = Serialise(one), c2 = Serialise(two);
    // Chain 2's bytes placed before chain 1's.
    std::vector<BYTE> swapped(packed.begin(), packed.begin() + 14);
    swapped.insert(swapped.end(), c2.begin(), c2.end());
    swapped.insert(swapped.end(), c1.begin(), c1.end());
    vrm::be_store<uint32_t>(swapped.data() + 6, static_cast<uint32_t>(14 + c2.size()));
    vrm::be_store<uint32_t>(swapped.data() + 10, 14);

    BytesFile file(swapped, 4);
    UD_PGCIT loaded{};
    CUD_PGCIT l(&file.buffer, &loaded, 4);
    ASSERT_EQ(l.fndwLoad_UD_PGCIT_From_File(), swapped.size());
    EXPECT_EQ(l.fnGet_CI_SRP_Ns(2), 2u);
    EXPECT_EQ(Serialise(l), packed);
}

TEST(UD_PGCIT, AddAndDeleteChains) {
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
}

TEST(UD_PGCIT, ChainNumbersAndIndexesAreChecked) {
    Table t(2);
    S_VOGI vogi{};
    const std::vector<BYTE> ptm = Ptm(kSecond);
    const std::vector<BYTE> before = Serialise(t.table);
    for (BYTE bad : {BYTE{0}, BYTE{3}}) {
        EXPECT_EQ(t.table.fnADD_Movie_Cell(bad, &t.vob.record, 1), 0);
        EXPECT_EQ(t.table.fnADD_UD_Movie_Cell(bad, ptm.data(), ptm.data(), 1, -1), 0);
        EXPECT_EQ(t.table.fnADD_Still_Pic_Cell(bad, &vogi, 1), 0);
        EXPECT_EQ(t.table.fnADD_Movie_Cell_EntryPoint(bad, 1, 0, ptm.data(), nullptr), 0);
        EXPECT_EQ(t.table.fnGet_CI_SRP_Ns(bad), 0u);
    }
    EXPECT_EQ(Serialise(t.table), before);

    // Forwarded to the chain, with its results.
    EXPECT_EQ(t.table.fnADD_UD_Movie_Cell(2, Ptm(0).data(), Ptm(3 * kSecond).data(), 1, 0), 1);
    EXPECT_EQ(t.table.fnADD_UD_Movie_Cell(2, ptm.data(), ptm.data(), 1, 9), 0);
    EXPECT_EQ(t.table.fnADD_Still_Pic_Cell(2, nullptr, 1), 0) << "the chain refuses a missing VOG";
    EXPECT_EQ(t.table.fnADD_Movie_Cell_EntryPoint(2, 2, 1, Ptm(11 * kSecond).data(), nullptr), 0);
    EXPECT_EQ(t.table.fnADD_Movie_Cell_EntryPoint(2, 2, 1, ptm.data(), nullptr), 1);
    WORD cell = 0, ep = 0;
    ASSERT_EQ(t.table.fnTranslateAddress(2, -1, -1, 2, &cell, &ep), 1);
    EXPECT_EQ(cell, 1);
    EXPECT_EQ(ep, 2);
    EXPECT_EQ(t.table.fnGetPGCIDuration(2, 3, 1, 0, 0, 0), 23000u) << "cells";
    EXPECT_EQ(t.table.fnGetPGCIDuration(2, 3, 0, 1, 2, 2), 9000u) << "entry point 2's segment";
    EXPECT_EQ(t.table.fnGetTotalEntryPointNs(2, 1, 2, 3), 3u);

    // Indexed accessors stay inside the arrays; a count raised by hand names
    // chains written as empty ones.
    EXPECT_EQ(t.table.fnSet_dwUD_PGCI_SA(2, 1), 0);
    t.table.fnSet_c1_UD_PGCI_SRP_Ns(3);
    EXPECT_EQ(t.table.fnGet_CI_SRP_Ns(3), 0u);
    const std::vector<BYTE> bytes = Serialise(t.table);
    EXPECT_EQ(std::vector<BYTE>(bytes.end() - 4, bytes.end()), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(t.table.fnDEL_UD_PGCI(3), 1);

    CUD_PGCIT unbound;
    BYTE out[8];
    EXPECT_EQ(unbound.fnADD_UD_PGCI(), 0);
    EXPECT_EQ(unbound.fnReadData(out), 0u);
    EXPECT_EQ(unbound.fnGet_CI_SRP_Ns(1), 0u);
}

TEST(UD_PGCIT, GarbledTablesFailToLoad) {
    Table t(2);
    const std::vector<BYTE> bytes = Serialise(t.table);
    std::vector<BYTE> shortHeader(bytes.begin(), bytes.begin() + 5);
    std::vector<BYTE> manyChains = bytes;
    manyChains[1] = 0xFF;
    std::vector<BYTE> farChain = bytes;
    vrm::be_store<uint32_t>(farChain.data() + 10, 0xFFFFFFF0u);
    std::vector<BYTE> chainPastEnd = bytes;
    vrm::be_store<uint32_t>(chainPastEnd.data() + 10, static_cast<uint32_t>(bytes.size() - 3));
    std::vector<BYTE> cut(bytes.begin(), bytes.end() - 1);

    // 255 search pointers naming one large chain: what the table loads
    // cannot exceed the file.
    PGCI big{};
    CPGCI b(&big);
    for (int i = 0; i < 40; ++i) b.fnADD_UD_Movie_Cell(&t.vob.record, 1, -1);
    const std::vector<BYTE> chain = Serialise(b);
    std::vector<BYTE> shared(6 + 4 * 255, 0);
    shared[1] = 255;
    for (int i = 0; i < 255; ++i) vrm::be_store<uint32_t>(shared.data() + 6 + 4 * i, 6 + 4 * 255);
    shared.insert(shared.end(), chain.begin(), chain.end());

    for (const auto& garbled : {shortHeader, manyChains, farChain, chainPastEnd, cut, shared}) {
        BytesFile file(garbled, 8);
        UD_PGCIT loaded{};
        EXPECT_EQ(CUD_PGCIT(&file.buffer, &loaded, 8).fndwLoad_UD_PGCIT_From_File(), 0u);
        EXPECT_TRUE(file.buffer.ReadFailed());
    }
}
