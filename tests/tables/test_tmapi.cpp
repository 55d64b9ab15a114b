#include <gtest/gtest.h>

#include <vector>

#include "support/Recording.h"
#include "support/TableIO.h"
#include "tables/CTMAPI.h"

TEST(CTMAPI, Builds625LineMapWithSpareBoundary) {
    // 250 frames: 20 VOBUs of 12 frames, then one of 10. The 500-field
    // boundary falls in VOBU 21 (fields 480..499): it is built into the
    // spare slot, which is not written.
    std::vector<std::pair<BYTE, DWORD>> vobus(20, {12, 100});
    vobus.push_back({10, 40});
    Recording r = MakeRecording(vobus, 25000, 777);
    TMAPI record;
    CTMAPI map(&record);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(map.fnGet_wTM_ENT_Ns(), 1);
    EXPECT_EQ(map.fnGet_wVOBU_ENT_Ns(), 21);
    EXPECT_EQ(map.fnGet_wVOBU_ENTN(1), 21);
    EXPECT_EQ(map.fnGet_c1_TM_DIFF(1), 20);
    EXPECT_EQ(map.fnGet_dwVOBU_ADR(1), 2000u);
    EXPECT_EQ(map.fnGet_iTH_TM_ENT_Address(2), nullptr) << "one spare slot only";
    EXPECT_EQ(map.fnGet_dwTotal_VOBU_ENT_Size(), 2040u);

    const std::vector<BYTE> bytes = Serialise(map);
    ASSERT_EQ(bytes.size(), 10u + 7 + 3 * 21);
    const std::vector<BYTE> head = {0, 1, 0, 21, 0, 0, 0, 0, 0x03, 0x09, 0, 1, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(bytes.begin(), bytes.begin() + 17), head);
}

TEST(CTMAPI, Builds525LineMapAndCountsEntriesWithTheDoubleConstant) {
    // 301 frames: 20 VOBUs of 15 frames and one of 1; the 600-field
    // boundary is the end of VOBU 20, and both entries are written.
    std::vector<std::pair<BYTE, DWORD>> vobus(20, {15, 300});
    vobus.push_back({1, 5});
    Recording r = MakeRecording(vobus, 29970);
    TMAPI record;
    CTMAPI map(&record);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(map.fnGet_wTM_ENT_Ns(), 2);
    EXPECT_EQ(map.fnGet_wVOBU_ENTN(1), 20);
    EXPECT_EQ(map.fnGet_c1_TM_DIFF(1), 30);
    EXPECT_EQ(map.fnGet_dwVOBU_ADR(1), 19u * 300);
    EXPECT_EQ(Serialise(map).size(), 10u + 7 * 2 + 3 * 21);

    // A VOBU of 15 frames is 30 fields; 300 sectors is 01 2C in the low
    // 10 bits.
    BYTE entry[3];
    ASSERT_EQ(map.fnGet_c3_VOBU_Entry(0, entry), 1);
    EXPECT_EQ(entry[1], (30 << 2) | 0x01);
    EXPECT_EQ(entry[2], 0x2C);

    // The entry count: 2100 frames at 525/60 give 8 (the constant lies just
    // above 1/300), multiples of 250 at 625/50 exactly the quotient.
    const struct {
        DWORD rate, frames;
        WORD expected;
    } counts[] = {{29970, 2100, 8}, {29970, 299, 1}, {29970, 0, 0}, {25000, 2500, 10}, {25000, 251, 2}};
    for (const auto& c : counts) {
        Recording empty = MakeRecording({}, c.rate);
        empty.info.dwFrameNs = c.frames;
        TMAPI rec;
        CTMAPI m(&rec);
        m.fnADD_TMAPI(&empty.info);
        EXPECT_EQ(m.fnGet_wTM_ENT_Ns(), c.expected) << c.rate << " " << c.frames;
    }
}

TEST(CTMAPI, BuilderStaysInsideItsArraysAndBitFields) {
    // Playback times far beyond the frame count: only TM_ENT_Ns + 1 entries
    // exist, the surplus boundaries are dropped (ASan checks the writes).
    std::vector<std::pair<BYTE, DWORD>> vobus(200, {30, 10});
    Recording r = MakeRecording(vobus, 25000);
    r.info.dwFrameNs = 10;
    TMAPI record;
    CTMAPI map(&record);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(map.fnGet_wTM_ENT_Ns(), 1);
    EXPECT_EQ(record.tmEntries.size(), 2u * 7);
    EXPECT_EQ(map.fnGet_wVOBU_ENTN(1), 9) << "the first boundary keeps the spare slot";

    // A VOBU of 40 frames (80 fields) and one of 5000 sectors are clamped to
    // 63 fields and 1023 sectors; the first reference size is untouched.
    Recording big = MakeRecording({{40, 5000}, {10, 1023}}, 29970);
    TMAPI bigRecord;
    CTMAPI bigMap(&bigRecord);
    ASSERT_EQ(bigMap.fnADD_TMAPI(&big.info), 1);
    EXPECT_EQ(bigMap.fnGet_bVOBU_PB_TM(0), 63);
    EXPECT_EQ(bigMap.fnGet_wVOBU_SZ(0), 1023);
    EXPECT_EQ(bigMap.fnGet_b1STREF_SZ(0), 0);
    EXPECT_EQ(bigMap.fnGet_wVOBU_SZ(1), 1023);
    EXPECT_EQ(bigMap.fnSet_c3_VOBU_Entry(1, 0xAB, 200, 0xFFFF), 1);
    BYTE entry[3];
    bigMap.fnGet_c3_VOBU_Entry(1, entry);
    EXPECT_EQ(entry[0], 0xAB);
    EXPECT_EQ(entry[1], 0xFF);
    EXPECT_EQ(entry[2], 0xFF);

    // No VOBU table but a VOBU count: no entries, failure.
    Recording none = MakeRecording({{12, 10}}, 25000);
    none.info.pVOBUTable = nullptr;
    TMAPI noneRecord;
    CTMAPI noneMap(&noneRecord);
    EXPECT_EQ(noneMap.fnADD_TMAPI(&none.info), 0);
    EXPECT_EQ(noneMap.fnGet_wVOBU_ENT_Ns(), 0);
    EXPECT_EQ(noneMap.fnGet_dwTotal_VOBU_ENT_Size(), 0u);
    EXPECT_EQ(Serialise(noneMap).size(), 10u);
}

TEST(CTMAPI, AccessorsRefuseMissingRecordsAndEntries) {
    BYTE out[3] = {};
    EXPECT_EQ(CTMAPI().fnReadData(out), 0u);
    EXPECT_EQ(CTMAPI().fnSet_dwADR_OFS(5), 0);

    Recording r = MakeRecording({{12, 10}, {12, 10}}, 25000);
    TMAPI record;
    CTMAPI map(&record);
    map.fnADD_TMAPI(&r.info);
    EXPECT_EQ(map.fnSet_wVOBU_ENTN(2, 7), 0) << "beyond the spare slot";
    EXPECT_EQ(map.fnSet_c3_VOBU_Entry(2, 1, 1, 1), 0);
    EXPECT_EQ(map.fnGet_wVOBU_SZ(0xFFFFFFFFu), 0);

    // A count raised by hand beyond the arrays serialises as zero entries,
    // still exactly as long as the header says.
    map.fnSet_wVOBU_ENT_Ns(5);
    const std::vector<BYTE> bytes = Serialise(map);
    EXPECT_EQ(bytes.size(), 10u + 7 + 3 * 5);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(map.fnGet_dwTotal_VOBU_ENT_Size(), 20u) << "only the entries that exist count";
}

TEST(CTMAPI, RoundTripsThroughAFile) {
    std::vector<std::pair<BYTE, DWORD>> vobus(50, {15, 321});
    Recording r = MakeRecording(vobus, 29970, 4096);
    TMAPI built;
    CTMAPI map(&built);
    map.fnADD_TMAPI(&r.info);
    const std::vector<BYTE> bytes = Serialise(map);

    BytesFile file(bytes, 7);  // the map starts at offset 7
    TMAPI loaded;
    CTMAPI loader(&file.buffer, &loaded, 7);
    EXPECT_EQ(loader.fndwLoad_TMAPI_From_File(), bytes.size());
    EXPECT_EQ(loader.fndwSize(), bytes.size());
    EXPECT_EQ(Serialise(CTMAPI(&loaded)), bytes);
    EXPECT_FALSE(file.buffer.ReadFailed());
    EXPECT_EQ(CTMAPI(&loaded).fnGet_dwTotal_VOBU_ENT_Size(), 50u * 321);
}

TEST(CTMAPI, LoaderRefusesCountsAndOffsetsBeyondTheFile) {
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        DWORD start;
    };
    const Case cases[] = {
        {"header cut short", {0, 0, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"time entries beyond the end", {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}, 0},
        {"VOBU entries beyond the end", {0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 1, 2, 3}, 0},
        {"start beyond the end", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0xFFFFFFF0u},
    };
    for (const Case& c : cases) {
        BytesFile file(c.bytes);
        TMAPI record;
        record.vobuEntries.assign(30, 0xAA);  // the loader replaces whatever was there
        EXPECT_EQ(CTMAPI(&file.buffer, &record, c.start).fndwLoad_TMAPI_From_File(), 0u) << c.what;
        EXPECT_TRUE(file.buffer.ReadFailed()) << c.what;
        EXPECT_TRUE(record.tmEntries.empty() && record.vobuEntries.empty()) << c.what;
        EXPECT_EQ(CTMAPI(&record).fnGet_wVOBU_ENT_Ns(), 0) << c.what;
    }
}
