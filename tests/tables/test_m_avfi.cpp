#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Recording.h"
#include "support/TableIO.h"
#include "support/Time.h"
#include "tables/CM_AVFI.h"

namespace {

// An M_VOBI as on disc: 23 general bytes with VOB_TY, the optional blocks,
// and an empty time map at ADR_OFS 0x1234.
std::vector<BYTE> VobiBytes(WORD vobTy, const std::vector<BYTE>& optional) {
    std::vector<BYTE> b(23);
    for (size_t i = 2; i < b.size(); ++i) b[i] = static_cast<BYTE>(i);
    b[0] = static_cast<BYTE>(vobTy >> 8);
    b[1] = static_cast<BYTE>(vobTy);
    b.insert(b.end(), optional.begin(), optional.end());
    const std::vector<BYTE> map = {0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34};
    b.insert(b.end(), map.begin(), map.end());
    return b;
}

std::vector<BYTE> Pattern(size_t n, BYTE from) {
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(from + i);
    return v;
}

}  // namespace

TEST(CM_VOBI, NewRecordTakesClockTimesAndTimeMap) {
    vrm::ScopedTestClock clock(MakeTime(2004, 2, 29, 23, 59, 58), 0);
    Recording r = MakeRecording({{12, 100}, {12, 200}}, 25000, 50, 27000000);
    M_VOBI record;
    CM_VOBI vobi(&record);
    ASSERT_EQ(vobi.fnADD_VOBI(3, &r.info), 1);
    EXPECT_EQ(vobi.fnGet_wVOB_TY(), 0);
    BYTE recTm[5], expected[5];
    const SYSTEMTIME t = MakeTime(2004, 2, 29, 23, 59, 58);
    PackRecTm(&t, expected);
    vobi.fnGet_c5_VOB_REC_TM(recTm);
    EXPECT_EQ(std::memcmp(recTm, expected, 5), 0);
    EXPECT_EQ(vobi.fnGet_c1_M_VOB_STIN(), 3);
    EXPECT_EQ(vobi.fnGet_ll_VOB_V_S_PTS(), 27000000);
    EXPECT_EQ(vobi.fnGet_ll_VOB_V_E_PTS(), 27000000 + 24 * kFrame625);
    EXPECT_EQ(vobi.fnGet_dwTotal_TMAPI_Size(), 300u);
    const DWORD mapSize = 10 + 7 * 1 + 3 * 2;
    EXPECT_EQ(vobi.fndwSize(), 51 + mapSize) << "both optional blocks counted, whatever VOB_TY says";
    EXPECT_EQ(Serialise(vobi).size(), 23 + mapSize);

    Recording broken = r;
    broken.info.pVOBUTable = nullptr;
    M_VOBI untouched;
    EXPECT_EQ(CM_VOBI(&untouched).fnADD_VOBI(1, &broken.info), 0);
    EXPECT_EQ(untouched.pTMAPI, nullptr);
}

TEST(CM_VOBI, OptionalBlocksLoadAtTheirOffsetsAndWriteBackCompact) {
    const struct {
        WORD vobTy;
        size_t smli, agapi;
    } cases[] = {{0x0008, 0, 16}, {0x0080, 12, 0}, {0x00C0, 12, 16}, {0x0000, 0, 0}};
    for (const auto& c : cases) {
        const std::vector<BYTE> optional = Pattern(c.smli + c.agapi, 0xA0);
        const std::vector<BYTE> disc = VobiBytes(c.vobTy, optional);
        BytesFile file(disc, 5);
        M_VOBI record;
        CM_VOBI loader(&file.buffer, &record, 5);
        ASSERT_EQ(loader.fndwLoad_M_VOBI_From_File(), disc.size()) << c.vobTy;
        EXPECT_EQ(loader.m_dwTMAPISize, 10u);
        // In memory the AGAPI bytes always sit at offset 35, SMLI at 23.
        if (c.agapi) {
            EXPECT_EQ(std::memcmp(record.bytes + 35, optional.data() + c.smli, 16), 0) << c.vobTy;
            EXPECT_EQ(CM_VOBI(&record).fnGet_wVOB_A_GAP_LEN2(), (optional[c.smli + 14] << 8) | optional[c.smli + 15]);
        }
        if (c.smli) {
            EXPECT_EQ(std::memcmp(record.bytes + 23, optional.data(), 12), 0) << c.vobTy;
        } else {
            EXPECT_EQ(record.bytes[23], 0) << c.vobTy;
        }
        CM_VOBI writer(&record);
        EXPECT_EQ(Serialise(writer), disc) << c.vobTy;
    }

    // The same M_VOBI cut inside its AGAPI block or its time map.
    const std::vector<BYTE> disc = VobiBytes(0x0008, Pattern(16, 1));
    for (size_t cut : {size_t{22}, size_t{30}, disc.size() - 1}) {
        BytesFile file(std::vector<BYTE>(disc.begin(), disc.begin() + static_cast<std::ptrdiff_t>(cut)));
        M_VOBI record;
        EXPECT_EQ(CM_VOBI(&file.buffer, &record, 0).fndwLoad_M_VOBI_From_File(), 0u) << cut;
        EXPECT_TRUE(file.buffer.ReadFailed()) << cut;
        EXPECT_EQ(record.pTMAPI, nullptr) << cut;
    }
}

TEST(CM_VOBI, StartAndEndPositionsWalkTheTimeMap) {
    // Four VOBUs of 12 frames (24 fields), 100..400 sectors, VOB at sector 10.
    const __int64 vobStart = 27000000;
    Recording r = MakeRecording({{12, 100}, {12, 200}, {12, 300}, {12, 400}}, 25000, 10, vobStart);
    M_VOBI record;
    CM_VOBI vobi(&record);
    ASSERT_EQ(vobi.fnADD_VOBI(1, &r.info), 1);
    const WORD pal = 0x1000;
    DWORD s = 0, e = 0, head = 0, skip = 99;
    auto at = [&](int frames) { return vobStart + frames * kFrame625; };

    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, 0, 0), 1);
    EXPECT_EQ(s, 10u * 2048);
    EXPECT_EQ(e, 1010u * 2048);
    EXPECT_EQ(head, 100u * 2048);
    EXPECT_EQ(skip, 0u);

    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(0), at(20)), 1);
    EXPECT_EQ(s, 10u * 2048) << "the VOB's start is the first VOBU";
    EXPECT_EQ(skip, 0u);
    EXPECT_EQ(head, 300u * 2048) << "the first VOBU and the next";
    EXPECT_EQ(e, 310u * 2048) << "the byte behind VOBU 2, which holds frame 20";

    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(30), at(1000)), 1);
    EXPECT_EQ(s, 310u * 2048);
    EXPECT_EQ(skip, 6u) << "frame 30 is 6 frames into VOBU 3";
    EXPECT_EQ(head, 700u * 2048);
    EXPECT_EQ(e, 1010u * 2048) << "an end past the last VOBU is the byte behind the VOB";

    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(47), at(48)), 1);
    EXPECT_EQ(s, 610u * 2048);
    EXPECT_EQ(skip, 11u - 3) << "near the end of the last VOBU, 3 frames fewer";
    EXPECT_EQ(head, 400u * 2048);

    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(-1), at(10)), 1);
    EXPECT_EQ(s, 0xFFFFFFFFu) << "a start before the VOB is never reached";
    EXPECT_EQ(e, 110u * 2048);

    EXPECT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(10), at(5)), 0);
    EXPECT_EQ(vobi.fnGet_StartPosAndEndPos(nullptr, &e, &head, &skip, pal, at(0), at(5)), 0);

    // The video ends 12 frames after the last VOBU: a range in that gap
    // falls back on the last VOBU.
    BYTE ptm[6];
    PtmFrom27MHz(at(60), ptm);
    vobi.fnSet_c6_VOB_V_E_PTM(ptm, 6);
    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, pal, at(55), at(58)), 1);
    EXPECT_EQ(e, 1010u * 2048);
    EXPECT_EQ(s, 610u * 2048);
    EXPECT_EQ(skip, 10u);
    EXPECT_EQ(head, 400u * 2048);
}

TEST(CM_VOBI, PositionEdgeCases) {
    DWORD s = 0, e = 0, head = 0, skip = 0;
    // A last VOBU of 2 frames: backing off 3 frames stops at its first frame
    // instead of wrapping around.
    Recording shortTail = MakeRecording({{12, 100}, {2, 10}}, 25000, 0, 0);
    M_VOBI record;
    CM_VOBI vobi(&record);
    vobi.fnADD_VOBI(1, &shortTail.info);
    ASSERT_EQ(vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, 0x1000, 13 * kFrame625, 14 * kFrame625), 1);
    EXPECT_EQ(s, 100u * 2048);
    EXPECT_EQ(skip, 0u);

    // A time map without VOBU entries: the whole VOB is its start sector,
    // any other range fails and writes nothing.
    Recording empty = MakeRecording({}, 25000, 77, 0);
    M_VOBI emptyRecord;
    CM_VOBI emptyVobi(&emptyRecord);
    emptyVobi.fnADD_VOBI(1, &empty.info);
    ASSERT_EQ(emptyVobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, 0, 0, 0), 1);
    EXPECT_EQ(s, 77u * 2048);
    EXPECT_EQ(e, 77u * 2048);
    EXPECT_EQ(head, 0u);
    s = 5;
    EXPECT_EQ(emptyVobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, 0, 0, 1000), 0);
    EXPECT_EQ(s, 5u);

    // Without a time map.
    emptyVobi.fnFreeAllData();
    EXPECT_EQ(emptyVobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, 0, 0, 0), 0);
    EXPECT_EQ(emptyVobi.fnGet_dwTotal_TMAPI_Size(), 0u);
}

TEST(CM_AVFI, VobsLieBackToBackAndNumberFromOne) {
    M_AVFI record;
    CM_AVFI avfi(&record, 68);
    avfi.fnNew();
    Recording first = MakeRecording({{12, 600}, {12, 400}}, 25000, 0);
    Recording second = MakeRecording({{12, 500}}, 25000, 1000);
    ASSERT_EQ(avfi.fnADD_VOB(1, &first.info), 1);
    EXPECT_EQ(avfi.fnGet_dwTotalVOBISize(), 1000u);
    ASSERT_EQ(avfi.fnADD_VOB(2, &second.info), 1);
    EXPECT_EQ(avfi.fnGet_wM_VOBI_SRP_Ns(), 2);
    EXPECT_EQ(avfi.fnGet_dwTotalVOBISize(), 1500u);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(0), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(1), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(2), 2);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(3), 0);

    // Search pointers are offsets from M_AVFIT: base 68 + 2 + 4 × 2 first.
    const std::vector<BYTE> bytes = Serialise(avfi);
    EXPECT_EQ(avfi.fnGet_dwM_VOBI_SA(0), 78u);
    EXPECT_EQ(avfi.fnGet_dwM_VOBI_SA(1), 78u + 23 + 10 + 7 + 6);
    EXPECT_EQ(avfi.fnGet_dwM_VOBI_SA(2), 0u) << "no third pointer";
    EXPECT_EQ(bytes[2 + 4 + 3], 78 + 46);

    // The count is 16 bits: a full table takes no further VOB.
    avfi.fnSet_wM_VOBI_SRP_Ns(0xFFFF);
    EXPECT_EQ(avfi.fnADD_VOB(1, &first.info), 0);
    EXPECT_EQ(record.vobi.size(), 2u);
    EXPECT_EQ(avfi.fnGet_wM_VOBI_SRP_Ns(), 0xFFFF);
    EXPECT_EQ(avfi.fndwDataSize(), 0u) << "a count beyond the records cannot be written";
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(3), 0) << "nor read";
}

TEST(CM_AVFI, RoundTripsThroughAFile) {
    M_AVFI built;
    CM_AVFI avfi(&built, 68);
    avfi.fnNew();
    Recording a = MakeRecording({{12, 600}, {13, 400}, {7, 3}}, 25000, 0, 123456789);
    Recording b = MakeRecording({{12, 500}}, 25000, 1003);
    avfi.fnADD_VOB(1, &a.info);
    avfi.fnADD_VOB(1, &b.info);
    CM_VOBI(&built.vobi[1]).fnSet_wVOB_TY(0x0088);  // with SMLI and AGAPI
    CM_VOBI(&built.vobi[1]).fnSet_wVOB_A_GAP_LEN1(0xBEEF);
    const std::vector<BYTE> bytes = Serialise(avfi);

    // M_AVFIT at file offset 100, M_AVFI 68 bytes into it.
    BytesFile file(bytes, 168);
    M_AVFI loaded;
    CM_AVFI loader(&file.buffer, &loaded, 168, 100);
    EXPECT_EQ(loader.fndwLoad_M_AVFI_From_File(), bytes.size());
    EXPECT_EQ(loader.fndwSize(), bytes.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
    CM_AVFI again(&loaded, 68);
    EXPECT_EQ(Serialise(again), bytes);
    EXPECT_EQ(again.fnGet_iTH_VOBI_StartPTS(1), 123456789);
    EXPECT_EQ(CM_VOBI(&loaded.vobi[1]).fnGet_wVOB_A_GAP_LEN1(), 0xBEEF);
}

TEST(CM_AVFI, LoaderRefusesCountsAndAddressesBeyondTheFile) {
    // One valid M_VOBI with a time map of 3000 VOBU entries at offset 6.
    std::vector<BYTE> vobi = VobiBytes(0, {});
    vobi[23 + 2] = 3000 >> 8;
    vobi[23 + 3] = 3000 & 0xFF;
    vobi.resize(vobi.size() + 9000, 0x11);
    auto table = [&](WORD m, const std::vector<DWORD>& sas) {
        std::vector<BYTE> b = {static_cast<BYTE>(m >> 8), static_cast<BYTE>(m)};
        for (DWORD sa : sas) {
            for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<BYTE>(sa >> shift));
        }
        b.insert(b.end(), vobi.begin(), vobi.end());
        return b;
    };
    const DWORD at = 6;  // the M_VOBI behind header and one pointer
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        DWORD base;
    };
    const Case cases[] = {
        {"count beyond the file", table(0xFFFF, {at}), 0},
        {"address beyond the file", table(1, {0x00100000}), 0},
        {"address plus base beyond 32 bits", table(1, {0xFFFFFFF0u}), 0x100},
        {"two pointers to one large M_VOBI", table(2, {at + 4, at + 4}), 0},
        {"header cut short", {0}, 0},
    };
    for (const Case& c : cases) {
        BytesFile file(c.bytes);
        M_AVFI record;
        EXPECT_EQ(CM_AVFI(&file.buffer, &record, 0, c.base).fndwLoad_M_AVFI_From_File(), 0u) << c.what;
        EXPECT_TRUE(file.buffer.ReadFailed()) << c.what;
        EXPECT_TRUE(record.vobi.empty() && record.srp.empty()) << c.what;
    }

    // The same file with one pointer loads.
    BytesFile file(table(1, {at}));
    M_AVFI record;
    EXPECT_EQ(CM_AVFI(&file.buffer, &record, 0, 0).fndwLoad_M_AVFI_From_File(), 6u + vobi.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
}
