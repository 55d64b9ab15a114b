// Still AV file information: S_AVFI and its VOGs (S_VOGI).
#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "support/TableIO.h"
#include "support/Time.h"
#include "tables/CS_AVFI.h"

namespace {

// A still file as the stream library reports it: pictures[i] is element i
// of the picture table, and one element follows the last picture.
struct StillFile {
    std::vector<VR_VOBU_ELEMENT> pictures;
    VR_MPEGFILE_INFO info{};
    StillFile(std::vector<VR_VOBU_ELEMENT> table, DWORD startSector) : pictures(std::move(table)) {
        info.dwFrameRate = 29970;
        info.dwSampleRate = 48000;
        info.dwFrameNs = static_cast<DWORD>(pictures.size() - 1);
        info.dwVOBStartAddr = startSector;
        info.pVOBUTable = pictures.data();
    }
};

VR_VOBU_ELEMENT Picture(DWORD addr, BYTE videoSize = 0, DWORD audioSize = 0, DWORD audioFrames = 0) {
    return VR_VOBU_ELEMENT{addr, videoSize, 0, audioSize, audioFrames};
}

// 2003-07-04 15:09:30 UTC as a REC_TM.
const BYTE kRecTm[5] = {0x1F, 0x4D, 0xC8, 0xF2, 0x5E};

// An S_AVFI holding one VOG with one entry of each type (0x00, 0x40, 0x80,
// 0xC0), placed 30 bytes into the S_AVFIT.
const std::vector<BYTE> kFourTypes = {
    0x00, 0x01,              // S_VOGI_SRP_Ns
    0x00, 0x00, 0x00, 36,    // S_VOGI_SA: 30 + 6
    4, 2,                    // S_VOB_Ns, S_VOB_STIN
    0x1F, 0x4D, 0xC8, 0xF2, 0x5E, 0x1F, 0x4D, 0xC8, 0xF2, 0x5F,
    0x00, 0x00, 0x01, 0x00,  // S_VOG_SA
    0xAB, 0xCD,              // kept as loaded
    0x00, 3,                               // type 0x00
    0x40, 4, 0x00, 0x10, 0x00, 0x8F,       // type 0x40
    0x80, 5, 0x00, 0x02, 0x03,             // type 0x80: S_AAGI_SRPN 2, AA_ENTN 3
    0xC0, 6, 0x00, 0x11, 0x00, 0x22, 0x00, 0x01, 0x04,  // type 0xC0
};
constexpr DWORD kBase = 200;
constexpr DWORD kAvfiOffset = 30;

std::vector<BYTE> FileWith(const std::vector<BYTE>& avfi, size_t tail = 32) {
    std::vector<BYTE> file(kBase + kAvfiOffset + avfi.size() + tail, 0xEE);
    std::copy(avfi.begin(), avfi.end(), file.begin() + kBase + kAvfiOffset);
    return file;
}

DWORD Load(BytesFile& f, S_AVFI& record) {
    return CS_AVFI(&f.buffer, &record, kBase + kAvfiOffset, kBase).fndwLoad_S_AVFI_From_File();
}

}  // namespace

TEST(S_AVFI, OnePictureWithoutAudio) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    // The picture size comes from the low bytes of the addresses, which wrap.
    StillFile file({Picture(0x1FE), Picture(0x201)}, 10);
    S_AVFI record{};
    CS_AVFI avfi(&record, 40);
    avfi.fnNew();
    ASSERT_EQ(avfi.fnADD_VOGI(1, &file.info), 1);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 1);

    const std::vector<BYTE> bytes = Serialise(avfi);
    ASSERT_EQ(bytes.size(), 26u);
    EXPECT_EQ(avfi.fnGet_dwS_VOGI_SA(0), 46u) << "the S_AVFI's offset in the S_AVFIT + 6";
    const std::vector<BYTE> expected = {0x00, 0x01, 0, 0, 0, 46, 1, 1, 0x1F, 0x4D, 0xC8, 0xF2, 0x5E,
                                        0x1F, 0x4D, 0xC8, 0xF2, 0x5E, 0, 0, 0, 10, 0, 0, 0x00, 3};
    EXPECT_EQ(bytes, expected) << "both recording times carry all five bytes";
    EXPECT_EQ(CS_VOGI(&record.vogi[0]).fndwDataSize(), 20u);

    DWORD start = 0;
    DWORD end = 0;
    ASSERT_EQ(avfi.fnGet_iTH_VOGI_StartPosAndEndPos(1, &start, &end), 1);
    EXPECT_EQ(start, 20480u);
    EXPECT_EQ(end, 26624u);
    BYTE tm[5] = {};
    ASSERT_EQ(avfi.fnGet_iTH_VOGI_REC_TM(1, tm), 1);
    EXPECT_EQ(std::memcmp(tm, kRecTm, 5), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(1), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(0), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(2), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_REC_TM(2, tm), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_StartPosAndEndPos(0, &start, &end), 0);
}

TEST(S_AVFI, PicturesWithAudioGetSixByteEntries) {
    // 100 audio frames at 48000 Hz are 2.4 s: 143.856 fields at 29.97 frames/s.
    StillFile file({Picture(0, 7, 0x12345, 100), Picture(0, 0, 0, 0), Picture(9)}, 0);
    S_AVFI record{};
    CS_AVFI avfi(&record, 0);
    avfi.fnNew();
    ASSERT_EQ(avfi.fnADD_VOGI(3, &file.info), 1);
    CS_VOGI vog(&record.vogi[0]);
    EXPECT_EQ(vog.fnGet_c1_S_VOB_ENT_TY(0), 0x40);
    EXPECT_EQ(record.vogi[0].entries[S_VOGI::kTagOffset], 0x40);
    EXPECT_EQ(vog.fnGet_c1_V_PART_SZ(0), 7);
    EXPECT_EQ(vog.fnGet_wOA_PART_SZ(0), 0x2345) << "low 16 bits of the audio size";
    EXPECT_EQ(vog.fnGet_wOA_PART_PB_TM(0), 143);
    EXPECT_EQ(vog.fnGet_c1_S_VOB_ENT_TY(1), 0x00);
    EXPECT_EQ(vog.fnGet_c1_V_PART_SZ(1), 9);
    EXPECT_EQ(vog.fndwDataSize(), 18u + 6 + 2);

    // 625/50, and a sampling rate of 0 gives no playback time rather than a
    // division by zero.
    StillFile pal({Picture(0, 1, 4, 100), Picture(1)}, 0);
    pal.info.dwFrameRate = 25000;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[1]).fnGet_wOA_PART_PB_TM(0), 120);
    pal.info.dwSampleRate = 0;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[2]).fnGet_wOA_PART_PB_TM(0), 0);
    // A huge duration keeps the low 16 bits of the truncated value.
    pal.pictures[0].dwAudioFrames = 0xFFFFFFFF;
    pal.info.dwSampleRate = 1;
    pal.info.dwFrameRate = 0xFFFFFFFF;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 4);
}

TEST(S_AVFI, AllFourEntryTypesLoadAndSaveByteForByte) {
    BytesFile f(FileWith(kFourTypes));
    S_AVFI record{};
    ASSERT_EQ(Load(f, record), kFourTypes.size());
    EXPECT_FALSE(f.buffer.ReadFailed());

    CS_VOGI vog(&record.vogi[0]);
    EXPECT_EQ(vog.fndwSize(), 0u) << "a binding accessor has loaded nothing";
    const BYTE tags[4] = {0x00, 0x40, 0x80, 0xC0};
    for (BYTE i = 0; i < 4; ++i) EXPECT_EQ(record.vogi[0].entries[10u * i + 9], tags[i]);
    EXPECT_EQ(vog.fnGet_wS_AAGI_SRPN(2), 2) << "type 0x80: bytes 2-3";
    EXPECT_EQ(vog.fnGet_c1_AA_ENTN(2), 3) << "type 0x80: byte 4";
    EXPECT_EQ(vog.fnGet_wOA_PART_PB_TM(3), 0x22);
    EXPECT_EQ(vog.fnGet_wS_AAGI_SRPN(3), 1) << "type 0xC0: bytes 6-7";
    EXPECT_EQ(vog.fnGet_c1_AA_ENTN(3), 4) << "type 0xC0: byte 8";
    BYTE last[5] = {};
    ASSERT_EQ(vog.fnGet_c5_LAST_VOB_REC_TM(last), 1);
    EXPECT_EQ(last[4], 0x5F);

    CS_AVFI avfi(&record, kAvfiOffset);
    EXPECT_EQ(Serialise(avfi), kFourTypes);

    // The serialiser goes by each entry's own type byte, not by the tag.
    vog.fnSet_c1_S_VOB_ENT_TY(3, 0x00);
    EXPECT_EQ(avfi.fndwDataSize(), kFourTypes.size() - 7);
    EXPECT_EQ(Serialise(avfi).size(), kFourTypes.size() - 7);
}

TEST(S_AVFI, OutOfFileCountsAndAddressesFail) {
    struct Case {
        const char* what;
        std::vector<BYTE> avfi;
        size_t tail;
    };
    std::vector<BYTE> manyPictures = kFourTypes;
    manyPictures[6] = 255;
    std::vector<BYTE> vogPastEnd = kFourTypes;
    vogPastEnd[4] = 0x7F;
    std::vector<BYTE> vogWraps = kFourTypes;
    vogWraps[2] = 0xFF;
    vogWraps[3] = 0xFF;
    vogWraps[4] = 0xFF;
    std::vector<BYTE> manyVogs = kFourTypes;
    manyVogs[0] = 0xFF;
    std::vector<BYTE> lastEntryCut(kFourTypes.begin(), kFourTypes.end() - 1);
    const std::vector<Case> cases = {
        {"255 pictures in a short file", manyPictures, 0},
        {"VOG address past the end", vogPastEnd, 32},
        {"VOG address wraps 32 bits", vogWraps, 32},
        {"search pointers past the end", manyVogs, 32},
        {"last entry cut", lastEntryCut, 0},
        {"general part cut", std::vector<BYTE>(kFourTypes.begin(), kFourTypes.begin() + 20), 0},
        {"header cut", {0x00}, 0},
    };
    for (const Case& c : cases) {
        BytesFile f(FileWith(c.avfi, c.tail));
        S_AVFI record{};
        EXPECT_EQ(Load(f, record), 0u) << c.what;
        EXPECT_TRUE(f.buffer.ReadFailed()) << c.what;
        EXPECT_TRUE(record.vogi.empty() && record.srp.empty()) << c.what;
    }

    // Many search pointers naming one VOG: each is valid, the copies are not.
    const WORD n = 1000;
    std::vector<BYTE> shared = {static_cast<BYTE>(n >> 8), static_cast<BYTE>(n)};
    const DWORD vogAt = kAvfiOffset + 2 + 4u * n;
    for (WORD i = 0; i < n; ++i) shared.insert(shared.end(), {0, 0, static_cast<BYTE>(vogAt >> 8), static_cast<BYTE>(vogAt)});
    shared.insert(shared.end(), kFourTypes.begin() + 6, kFourTypes.end());
    BytesFile f(FileWith(shared, 0));
    S_AVFI record{};
    EXPECT_EQ(Load(f, record), 0u);
    EXPECT_TRUE(f.buffer.ReadFailed());
}

TEST(S_AVFI, AddsThatCannotBeRepresentedChangeNothing) {
    std::vector<VR_VOBU_ELEMENT> table(257);
    for (DWORD i = 0; i < table.size(); ++i) table[i] = Picture(i);
    StillFile big(table, 0);
    ASSERT_EQ(big.info.dwFrameNs, 256u);
    S_AVFI record{};
    CS_AVFI avfi(&record, 0);
    avfi.fnNew();
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 0) << "S_VOB_Ns is one byte";
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 0);
    EXPECT_TRUE(record.vogi.empty());
    big.info.dwFrameNs = 255;
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[0]).fnGet_c1_S_VOB_Ns(), 255);

    StillFile noTable({Picture(0), Picture(1)}, 0);
    noTable.info.pVOBUTable = nullptr;
    EXPECT_EQ(avfi.fnADD_VOGI(1, &noTable.info), 0);
    EXPECT_EQ(avfi.fnADD_VOGI(1, nullptr), 0);
    avfi.fnSet_wS_VOGI_SRP_Ns(0xFFFF);
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 0) << "S_VOGI_SRP_Ns is 16 bits";
    EXPECT_EQ(record.vogi.size(), 1u);
}

TEST(S_AVFI, AccessorsStayInsideTheRecord) {
    CS_AVFI unbound;
    CS_VOGI noVog;
    EXPECT_EQ(unbound.fnCheckValid(), 0);
    EXPECT_EQ(unbound.fnNew(), 0);
    EXPECT_EQ(unbound.fnGet_wS_VOGI_SRP_Ns(), 0);
    EXPECT_EQ(unbound.fnADD_VOGI(1, nullptr), 0);
    EXPECT_EQ(unbound.fnReadData(nullptr), 0u);
    EXPECT_EQ(noVog.fnSet_c1_S_VOB_STIN(1), 0);
    EXPECT_EQ(noVog.fnSetZero(), 0);
    EXPECT_EQ(noVog.fnGet_S_VOB_ENT_TYPE(0xDF), 0xC0);

    S_VOGI record{};
    CS_VOGI vog(&record);
    StillFile file({Picture(0), Picture(2), Picture(4)}, 0);
    ASSERT_EQ(vog.fnADD_VOGI(1, &file.info), 1);
    EXPECT_EQ(vog.fnSet_c1_V_PART_SZ(2, 9), 0) << "beyond S_VOB_Ns";
    EXPECT_EQ(vog.fnSet_bThisType(2, 0x80), 0);
    const BYTE five[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(vog.fnSet_c5_FIRST_VOB_REC_TM(five, 6), 0);
    EXPECT_EQ(vog.fnSet_c5_FIRST_VOB_REC_TM(nullptr, 5), 0);
    // A count raised by hand reaches no entry that is not held, and the
    // missing entries are written as 2-byte zero entries.
    vog.fnSet_c1_S_VOB_Ns(4);
    EXPECT_EQ(vog.fnSet_c1_V_PART_SZ(3, 9), 0);
    EXPECT_EQ(vog.fnGet_wS_AAGI_SRPN(3), 0);
    EXPECT_EQ(Serialise(vog).size(), 18u + 4 * 2);

    // fnSetZero drops the entries with the general part.
    ASSERT_EQ(vog.fnSetZero(), 1);
    EXPECT_TRUE(record.entries.empty());
    EXPECT_EQ(vog.fnGet_c1_S_VOB_Ns(), 0);
}
