// Still additional audio: S_AAFI and its groups S_AAGI.
#include <gtest/gtest.h>

#include <algorithm>

#include <vector>

#include "support/TableIO.h"
#include "tables/CS_AAFI.h"

namespace {

// The S_AVFIT starts at kBase in the file and the S_AAFI kAafiOffset bytes
// into it; the rest of the file is filler that must never be taken for data.
constexpr DWORD kBase = 100;
constexpr DWORD kAafiOffset = 40;

// One group of two entries: 2 + 4 + 6 + 10 = 22 bytes.
const std::vector<BYTE> kOneGroup = {
    0x00, 0x01,                          // S_AAGI_SRP_Ns
    0x00, 0x00, 0x00, 46,                // S_AAGI_SA: kAafiOffset + 6, from the S_AVFIT
    0x02, 0x01, 0x00, 0x00, 0x12, 0x34,  // AA_ENT_Ns, S_AA_STIN, S_AAG_SA
    0x00, 0x01, 0x02, 0x03, 0x04,        // AA_ENT 1
    0x40, 0x05, 0x06, 0x07, 0x08,        // AA_ENT 2
};

std::vector<BYTE> FileWith(const std::vector<BYTE>& aafi, size_t tail = 64) {
    std::vector<BYTE> file(kBase + kAafiOffset + aafi.size() + tail, 0xEE);
    std::copy(aafi.begin(), aafi.end(), file.begin() + kBase + kAafiOffset);
    return file;
}

DWORD Load(BytesFile& f, S_AAFI& record) {
    return CS_AAFI(&f.buffer, &record, kBase + kAafiOffset, kBase).fndwLoad_S_AAFI_From_File();
}

}  // namespace

TEST(S_AAFI, LoadsGroupsAddressedFromTheTableStart) {
    BytesFile f(FileWith(kOneGroup));
    S_AAFI record{};
    ASSERT_EQ(Load(f, record), 22u);
    EXPECT_FALSE(f.buffer.ReadFailed());

    CS_AAFI aafi(&record, kAafiOffset);
    EXPECT_EQ(aafi.fnGet_wS_AAGI_SRP_Ns(), 1);
    EXPECT_EQ(aafi.fnGet_dwS_AAGI_SA(0), 46u);
    ASSERT_EQ(record.groups.size(), 1u);
    CS_AAGI group(&record.groups[0]);
    EXPECT_EQ(group.fndwSize(), 16u);
    EXPECT_EQ(group.fnGet_c1_S_AA_STIN(), 1);
    EXPECT_EQ(group.fnGet_dwS_AAG_SA(), 0x1234u);
    EXPECT_EQ(group.fnGet_c1_AA_TY(1), 0x40);
    EXPECT_EQ(group.fnGet_wAA_PART_SZ(0), 0x0102);
    EXPECT_EQ(group.fnGet_wAA_PART_PB_TM(1), 0x0708) << "bytes 8-9 of the entry array";

    // Two groups, the second without entries, serialise back byte for byte.
    std::vector<BYTE> two = {0x00, 0x02, 0, 0, 0, 50, 0, 0, 0, 66};
    two.insert(two.end(), kOneGroup.begin() + 6, kOneGroup.end());
    two.insert(two.end(), {0x00, 0x02, 0xAA, 0xBB, 0xCC, 0xDD});
    BytesFile f2(FileWith(two));
    S_AAFI both{};
    ASSERT_EQ(Load(f2, both), two.size());
    EXPECT_EQ(Serialise(CS_AAFI(&both, kAafiOffset)), two);
    EXPECT_EQ(CS_AAFI(&both, kAafiOffset).fnReadData(nullptr), 0u);
}

TEST(S_AAFI, OutOfFileCountsAndAddressesFail) {
    struct Case {
        const char* what;
        std::vector<BYTE> aafi;
        size_t tail;
    };
    std::vector<BYTE> entriesPastEnd = kOneGroup;
    entriesPastEnd[6] = 0xFF;  // 255 entries of 5 bytes
    std::vector<BYTE> groupPastEnd = kOneGroup;
    groupPastEnd[4] = 0x40;  // S_AAGI_SA 0x4000 + 46
    std::vector<BYTE> groupWraps = kOneGroup;
    groupWraps[2] = groupWraps[3] = groupWraps[4] = groupWraps[5] = 0xFF;  // base + SA passes 2^32
    std::vector<BYTE> pointersPastEnd = kOneGroup;
    pointersPastEnd[0] = 0xFF;  // 65281 search pointers
    const std::vector<Case> cases = {
        {"entries past the end", entriesPastEnd, 0},
        {"group address past the end", groupPastEnd, 64},
        {"group address wraps 32 bits", groupWraps, 64},
        {"search pointers past the end", pointersPastEnd, 64},
        {"header cut", {0x00}, 0},
        {"search pointer cut", {0x00, 0x01, 0x00, 0x00}, 0},
    };
    for (const Case& c : cases) {
        BytesFile f(FileWith(c.aafi, c.tail));
        S_AAFI record{};
        EXPECT_EQ(Load(f, record), 0u) << c.what;
        EXPECT_TRUE(f.buffer.ReadFailed()) << c.what;
        EXPECT_TRUE(record.groups.empty() && record.srp.empty()) << c.what;
        EXPECT_EQ(CS_AAFI(&record, 0).fnGet_wS_AAGI_SRP_Ns(), 0) << c.what;
    }
}

TEST(S_AAFI, OverlappingGroupsCannotCopyMoreThanTheFile) {
    // 400 search pointers all naming one group of 255 entries: each pointer
    // is valid, but the copies would take 400 x 1281 bytes from a 3 KB file.
    const WORD n = 400;
    const DWORD groupAt = kAafiOffset + 2 + 4u * n;
    std::vector<BYTE> aafi = {static_cast<BYTE>(n >> 8), static_cast<BYTE>(n)};
    for (WORD i = 0; i < n; ++i) aafi.insert(aafi.end(), {0, 0, static_cast<BYTE>(groupAt >> 8), static_cast<BYTE>(groupAt)});
    aafi.insert(aafi.end(), {0xFF, 1, 0, 0, 0, 0});
    aafi.insert(aafi.end(), 255 * 5, 0x11);
    BytesFile f(FileWith(aafi, 0));
    S_AAFI record{};
    EXPECT_EQ(Load(f, record), 0u);
    EXPECT_TRUE(f.buffer.ReadFailed());
    EXPECT_TRUE(record.groups.empty());
}

TEST(S_AAFI, AccessorsStayInsideTheRecord) {
    CS_AAFI unbound;
    EXPECT_EQ(unbound.fnCheckValid(), 0);
    EXPECT_EQ(unbound.fnGet_wS_AAGI_SRP_Ns(), 0);
    EXPECT_EQ(unbound.fnSet_wS_AAGI_SRP_Ns(3), 0);
    EXPECT_EQ(unbound.fnSetZero(), 0);
    EXPECT_EQ(unbound.fndwLoad_S_AAFI_From_File(), 0u);
    CS_AAGI noGroup;
    EXPECT_EQ(noGroup.fnGet_c1_AA_TY(0), 0);
    EXPECT_EQ(noGroup.fnSet_dwS_AAG_SA(1), 0);

    BytesFile f(FileWith(kOneGroup));
    S_AAFI record{};
    ASSERT_EQ(Load(f, record), 22u);
    CS_AAFI aafi(&record, 0);
    EXPECT_EQ(aafi.fnGet_iTH_S_AAGI_SRP_Address(1), nullptr);
    // A count raised by hand reaches no pointer that is not held.
    aafi.fnSet_wS_AAGI_SRP_Ns(5);
    EXPECT_EQ(aafi.fnSet_dwS_AAGI_SA(3, 7), 0);
    EXPECT_EQ(aafi.fnGet_dwS_AAGI_SA(3), 0u);
    // ... and is written with empty groups, exactly as long as reported.
    EXPECT_EQ(Serialise(aafi).size(), 2u + 20 + 16 + 4 * 6);

    CS_AAGI group(&record.groups[0]);
    EXPECT_EQ(group.fnSet_wAA_PART_SZ(2, 9), 0) << "entry index beyond AA_ENT_Ns";
    EXPECT_EQ(group.fnGet_iTH_AA_ENT_Address(2), nullptr);
    group.fnSet_c1_AA_ENT_Ns(200);
    EXPECT_EQ(group.fnSet_wAA_PART_SZ(2, 9), 0) << "entry index beyond the entries held";
    group.fnSet_c1_AA_ENT_Ns(2);
    ASSERT_EQ(group.fnSet_wAA_PART_SZ(1, 0xBEEF), 1);
    EXPECT_EQ(record.groups[0].entries[6], 0xBE);

    ASSERT_EQ(group.fnSetZero(), 1);
    EXPECT_EQ(group.fnGet_wAA_PART_SZ(1), 0);  // the count is zero too now
    EXPECT_EQ(record.groups[0].entries[6], 0);
    aafi.fnFreeAllData();
    EXPECT_TRUE(record.srp.empty());
    EXPECT_TRUE(record.groups.empty());
}
