// The still tables: S_AVFIT with its attribute records, the S_AVFI with its
// VOGs (S_VOGI), and the additional audio S_AAFI with its groups (S_AAGI).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "manager/VMG_MODEL.h"
#include "manager/consistency.h"
#include "manager/coverage.h"
#include "platform/clock.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "support/Time.h"
#include "tables/CS_AVFIT.h"
#include "tables/TableTests.h"
#include "tables/seg.h"

namespace {

VR_VOBU_ELEMENT Picture(DWORD addr, BYTE videoSize = 0, DWORD audioSize = 0, DWORD audioFrames = 0) {
    return VR_VOBU_ELEMENT{addr, videoSize, 0, audioSize, audioFrames};
}

// Picture i at sector 3 × i, and the element behind the last picture.
std::vector<VR_VOBU_ELEMENT> Pictures(DWORD n) {
    std::vector<VR_VOBU_ELEMENT> table;
    for (DWORD i = 0; i <= n; ++i) table.push_back(Picture(3 * i));
    return table;
}

// A still file as the stream library reports it: element i of the picture
// table for picture i, one element behind the last picture; 720 x 480
// MPEG-2 4:3 at 525/60 without audio unless asked.
struct StillFile {
    std::vector<VR_VOBU_ELEMENT> table;
    VR_MPEGFILE_INFO info{};
    explicit StillFile(DWORD pictures = 1, DWORD startSector = 0) : StillFile(Pictures(pictures), startSector) {}
    StillFile(std::vector<VR_VOBU_ELEMENT> pictures, DWORD startSector) : table(std::move(pictures)) {
        info.dwFrameRate = 29970;
        info.dwWidth = 720;
        info.dwHeight = 480;
        info.dwMpeg2 = 1;
        info.bAspectRatio = 2;
        info.dwFrameNs = static_cast<DWORD>(table.size() - 1);
        info.dwVOBStartAddr = startSector;
        info.pVOBUTable = table.data();
    }
    // Copies point at their own picture table.
    StillFile(const StillFile& other) : table(other.table), info(other.info) { info.pVOBUTable = table.data(); }
    StillFile& operator=(const StillFile&) = delete;
    const VR_MPEGFILE_INFO* Info() const { return &info; }
    StillFile& WithAudio(DWORD coding, DWORD mode) {
        info.dwSampleRate = 48000;
        info.dwAudioBitrate = 192;
        info.dwAudioCodingBits = coding;
        info.dwAudioMode = mode;
        for (DWORD i = 0; i + 1 < table.size(); ++i) table[i] = Picture(table[i].dwVOBUAddr, 2, 1, 100);
        return *this;
    }
};

// The video (V_ATR) and audio (OA_ATR) attributes a new record gets.
Ints Attr(const StillFile& file) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    table.fnADD_S_VOB_STI(&file.info);
    return Ints({table.fnGet_wV_ATR(0), table.fnGet_wOA_ATR(0)});
}

// An S_AVFI holding one VOG with one entry of each type (0x00, 0x40, 0x80,
// 0xC0), kAvfiOffset bytes into its S_AVFIT.
constexpr DWORD kAvfiOffset = 30;
const std::vector<BYTE> kFourTypes = {
    0x00, 0x01,  // S_VOGI_SRP_Ns
    0x00, 0x00, 0x00, 36,  // S_VOGI_SA: 30 + 6
    4,    2,  // S_VOB_Ns, S_VOB_STIN
    0x1F, 0x4D, 0xC8, 0xF2, 0x5E, 0x1F, 0x4D, 0xC8, 0xF2, 0x5F, 0x00, 0x00, 0x01, 0x00,  // S_VOG_SA
    0xAB, 0xCD,  // kept as loaded
    0x00, 3,  // type 0x00
    0x40, 4,    0x00, 0x10, 0x00, 0x8F,  // type 0x40
    0x80, 5,    0x00, 0x02, 0x03,  // type 0x80: S_AAGI_SRPN 2, AA_ENTN 3
    0xC0, 6,    0x00, 0x11, 0x00, 0x22, 0x00, 0x01, 0x04,  // type 0xC0
};

// An S_AAFI kAafiOffset bytes into its S_AVFIT: two groups, the second
// without entries.
constexpr DWORD kAafiOffset = 40;
const std::vector<BYTE> kTwoGroups = {
    0x00, 0x02,  // S_AAGI_SRP_Ns
    0,    0,    0,    50,   0,    0,    0, 66,  // S_AAGI_SA: from the S_AVFIT's first byte
    0x02, 0x01, 0x00, 0x00, 0x12, 0x34,  // AA_ENT_Ns, S_AA_STIN, S_AAG_SA
    0x00, 0x01, 0x02, 0x03, 0x04,  // AA_ENT 1
    0x40, 0x05, 0x06, 0x07, 0x08,  // AA_ENT 2
    0x00, 0x02, 0xAA, 0xBB, 0xCC, 0xDD,  // group 2
};

// The loaders: an S_AVFI or S_AAFI lies kAvfiOffset or kAafiOffset bytes
// into the S_AVFIT its addresses count from.
const LoadAt kAvfit = Loader<S_AVFIT, CS_AVFIT>(&CS_AVFIT::fndwLoad_S_AVFIT_From_File, [](S_AVFIT& r) {
    return r.sti.empty() && !r.pS_AVFI && !r.pS_AAFI && CS_AVFIT(&r).fnGet_c1_S_VOB_STI_Ns() == 0;
});
Loaded LoadAvfi(CBuffer* b, DWORD at) {
    S_AVFI r{};
    const DWORD n = CS_AVFI(b, &r, at, at - kAvfiOffset).fndwLoad_S_AVFI_From_File();
    return {n, Serialise(CS_AVFI(&r, kAvfiOffset)),
            r.srp.empty() && r.vogi.empty() && CS_AVFI(&r, 0).fnGet_wS_VOGI_SRP_Ns() == 0};
}
S_AAFI Groups(CBuffer* b, DWORD at, DWORD* n) {
    S_AAFI r{};
    *n = CS_AAFI(b, &r, at, at - kAafiOffset).fndwLoad_S_AAFI_From_File();
    return r;
}
Loaded LoadAafi(CBuffer* b, DWORD at) {
    DWORD n = 0;
    S_AAFI r = Groups(b, at, &n);
    return {n, Serialise(CS_AAFI(&r, kAafiOffset)),
            r.srp.empty() && r.groups.empty() && CS_AAFI(&r, 0).fnGet_wS_AAGI_SRP_Ns() == 0};
}
// kTwoGroups as loaded.
S_AAFI TwoGroups() {
    BytesFile file(kTwoGroups, kAafiOffset);
    DWORD n = 0;
    return Groups(&file.buffer, kAafiOffset, &n);
}

// A table with every kind of content: three attribute sets, VOGs with
// entries of all four types, two S_AA_STI and the S_AAFI kTwoGroups. With
// raised counts, records it does not hold are written as zeros.
std::vector<BYTE> FullTable(bool raiseCounts = false) {
    vrm::ScopedTestClock clock(MakeTime(2004, 2, 29, 23, 59, 59), 0);
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    StillFile a(4, 100);
    a.WithAudio(0x400000, 0);
    a.table[2].dwAudioPartSz = a.table[3].dwAudioPartSz = 0;
    StillFile b(1, 200);
    b.info.dwWidth = 352;
    StillFile c(3, 300);
    c.WithAudio(0, 0);
    for (StillFile* f : {&a, &b, &c}) table.fnADD_Program(&f->info);
    // Additional audio on pictures of the first VOG.
    CS_VOGI vog(&record.pS_AVFI->vogi[0]);
    for (const auto& e : {std::array<BYTE, 4>{1, 0xC0, 2, 1}, std::array<BYTE, 4>{2, 0x80, 1, 3}}) {
        vog.fnSet_c1_S_VOB_ENT_TY(e[0], e[1]);
        vog.fnSet_bThisType(e[0], e[1]);
        vog.fnSet_wS_AAGI_SRPN(e[0], e[2]);  // group e[2], entry e[3]
        vog.fnSet_c1_AA_ENTN(e[0], e[3]);
    }
    table.fnSet_c1_S_AAFI_Ns(1);
    table.fnSet_c1_S_AA_STI_Ns(raiseCounts ? 7 : 2);
    record.aaSti = {0x40, 0x01, 0x80, 0x09, 0, 0};
    if (!raiseCounts) record.pS_AAFI.reset(new S_AAFI(TwoGroups()));
    if (raiseCounts) table.fnSet_c1_S_VOB_STI_Ns(5);
    return Serialise(table);
}

}  // namespace

// File offset of the S_AVFIT in the fixtures, behind filler.
constexpr DWORD kBase = 200;

TEST(StillTables, LoadedTablesAreWrittenBackAndDamagedOnesRefused) {
    const std::vector<BYTE> full = FullTable();
    const std::vector<BYTE>& v = kFourTypes;
    const std::vector<BYTE>& g = kTwoGroups;
    const DWORD avfi = kBase + kAvfiOffset, aafi = kBase + kAafiOffset;
    // Many search pointers naming one VOG, or one group of 255 entries: each
    // pointer is valid, but the copies would take more than the file.
    const std::vector<BYTE> sharedVog =
        SamePointers({0x03, 0xE8}, 1000, kAvfiOffset + 2 + 4 * 1000, std::vector<BYTE>(v.begin() + 6, v.end()));
    const std::vector<BYTE> sharedGroup = SamePointers({0x01, 0x90}, 400, kAafiOffset + 2 + 4 * 400,
                                                       With(std::vector<BYTE>(6 + 255 * 5, 0x11), 0, 0xFF01, 2));
    std::vector<Row> rows = {
        {"S_AVFIT without still pictures", kAvfit, {0, 0, 0, 0, 0, 0, 0, 7}, true, kBase, 32},
        {"S_AVFIT with every part", kAvfit, full, true, kBase, 32},
        {"S_AVFIT with counts raised by hand", kAvfit, FullTable(true), true, kBase, 32},
        {"S_AVFI with the four entry types", LoadAvfi, v, true, avfi, 32},
        {"S_AAFI with a group without entries", LoadAafi, g, true, aafi, 32},
        // The counts of the S_AVFIT and those of the S_AVFI and S_AAFI in it
        // (the loader must pass them the right base and end).
        {"S_VOB_STI_Ns", kAvfit, With(full, 2, 0xFF), false, kBase},
        {"S_AA_STI_Ns", kAvfit, With(full, 3, 0xFF), false, kBase},
        {"S_AVFIT at the end of the file", kAvfit, {}, false, kBase},
        {"255 pictures in a short file", LoadAvfi, With(v, 6, 255), false, avfi},
        {"VOG address past the end", LoadAvfi, With(v, 4, 0x7F), false, avfi, 32},
        {"VOG address wraps 32 bits", LoadAvfi, With(v, 2, 0xFFFFFF, 3), false, avfi, 32},
        {"VOG search pointers past the end", LoadAvfi, With(v, 0, 0xFF), false, avfi, 32},
        {"pointers sharing one VOG", LoadAvfi, sharedVog, false, avfi},
        {"255 entries of 5 bytes past the end", LoadAafi, With(g, 10, 0xFF), false, aafi},
        {"group address past the end", LoadAafi, With(g, 4, 0x40), false, aafi, 64},
        {"group address plus base wraps 32 bits", LoadAafi, With(g, 2, 0xFFFFFFFF, 4), false, aafi, 64},
        {"group search pointers past the end", LoadAafi, With(g, 0, 0xFF), false, aafi, 64},
        {"pointers sharing one group", LoadAafi, sharedGroup, false, aafi},
    };
    for (size_t cut = 1; cut < full.size(); ++cut) {
        rows.push_back({"S_AVFIT cut at " + std::to_string(cut), kAvfit, Head(full, cut), false, kBase});
    }
    ExpectRows(rows);
}

TEST(S_AVFIT, AttributesAreEncodedAndDecoded) {
    StillFile file;
    EXPECT_EQ(Attr(file), Ints({0x4000, 0})) << "no audio";
    file.info.dwMpeg2 = 0;
    file.info.dwFrameRate = 25000;
    file.info.bAspectRatio = 3;
    file.info.dwWidth = 352;
    EXPECT_EQ(Attr(file)[0], 0x1410) << "MPEG-1, 625/50, 16:9, 352 full height";
    const struct {
        DWORD coding, mode;
        WORD oaAtr;
    } audio[] = {{0, 0, 0x01C1},        {0x400000, 1, 0x4101}, {0x400000, 2, 0x4109}, {0x400000, 3, 0x4100},
                 {0x800000, 0, 0x8101}, {0x600000, 0, 0x6101}, {0x200000, 0, 0}};
    for (const auto& a : audio) EXPECT_EQ(Attr(StillFile().WithAudio(a.coding, a.mode))[1], a.oaAtr) << a.coding;
    // Audio of unknown rate or bit rate is not described.
    for (DWORD* unknown : {&file.info.dwAudioBitrate, &file.info.dwSampleRate}) {
        file.WithAudio(0x400000, 0);
        *unknown = 0;
        EXPECT_EQ(Attr(file)[1], 0);
    }

    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    StillFile odd;
    odd.info.dwWidth = 640;
    odd.info.dwMpeg2 = 0;
    ASSERT_EQ(table.fnADD_S_VOB_STI(&file.WithAudio(0x400000, 2).info), 1);
    ASSERT_EQ(table.fnADD_S_VOB_STI(&odd.info), 2);
    seg s{};
    auto video = [&] { return Ints({s.dwMpegVersion, s.dwFrameRate, s.dwWidth, s.dwHeight, s.dwWide}); };
    auto audioOf = [&] { return Ints({s.dwAudioCoding, s.dwAudioLayer, s.dwSampleRate, s.dwChannels, s.dwAudioMode}); };
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(1, &s), 1);
    EXPECT_EQ(video(), Ints({0, 25000, 352, 576, 1}));
    EXPECT_EQ(audioOf(), Ints({2, 2, 48000, 2, 2}));
    // A file without audio leaves the audio fields as they were.
    s.dwAudioCoding = s.dwAudioLayer = s.dwSampleRate = s.dwChannels = s.dwAudioMode = 77;
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(video(), Ints({0, 29970, 352, 240, 0}));
    EXPECT_EQ(audioOf(), Ints(5, 77));
    EXPECT_EQ(table.fnGet_CellInfoFromS_VOB_STI(3, &s), 0);
}

TEST(S_AVFIT, AttributeRecordsStopWhereTheGettersEnd) {
    // Still file i gets an attribute set of its own for i < 96.
    auto distinct = [](DWORD i) {
        StillFile f(1, i);
        f.info.dwWidth = std::array<DWORD, 4>{720, 704, 544, 480}[i & 3];
        f.info.dwMpeg2 = i >> 2 & 1;
        f.info.dwFrameRate = i & 8 ? 25000 : 29970;
        f.info.bAspectRatio = i & 16 ? 2 : 3;
        if (i & 32) f.WithAudio(0, 0);
        if (i & 64) f.WithAudio(0x400000, 0);
        return f;
    };
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    for (DWORD i = 0; i < CS_AVFIT::kMaxStiRecords; ++i) ASSERT_EQ(table.fnADD_Program(distinct(i).Info()), 1) << i;
    ASSERT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 65);
    EXPECT_EQ(table.fnGet_wV_ATR(64), 0x0400);
    EXPECT_EQ(table.fnADD_S_VOB_STI(distinct(65).Info()), 0);
    EXPECT_EQ(table.fnADD_Program(distinct(65).Info()), 0) << "a 66th record could not be read back";
    CS_AVFI avfi(record.pS_AVFI.get(), 0);
    EXPECT_EQ(Ints({table.fnGet_c1_S_VOB_STI_Ns(), avfi.fnGet_wS_VOGI_SRP_Ns()}), Ints({65, 65}));
    EXPECT_EQ(table.fnADD_Program(distinct(3).Info()), 1) << "existing attributes are still shared";
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(66), 4);
}

TEST(S_AVFIT, LoadedTablesKeepTheirPartsAndEditsGoOn) {
    const std::vector<BYTE> bytes = FullTable();
    // 8 + 3 x 54 + S_AVFI (2 + 12 + VOGs 18+6+9+5+2, 18+2, 18+3x6) + 2 x 2 +
    // S_AAFI.
    ASSERT_EQ(bytes.size(), 8u + 162 + (14 + 40 + 20 + 36) + 4 + kTwoGroups.size());
    BytesFile file(bytes);
    S_AVFIT loaded{};
    ASSERT_EQ(CS_AVFIT(&file.buffer, &loaded, 0).fndwLoad_S_AVFIT_From_File(), bytes.size());
    EXPECT_EQ(loaded.sti.size() + loaded.aaSti.size(), 4u * 54 + 3 * 2) << "spare slots";
    CS_AVFIT table(&loaded);
    CS_VOGI vog(&loaded.pS_AVFI->vogi[0]);
    EXPECT_EQ(Ints({table.fnGet_wAA_ATR(1), vog.fnGet_wS_AAGI_SRPN(2), vog.fnGet_c1_AA_ENTN(1),
                    CS_AAGI(&loaded.pS_AAFI->groups[1]).fnGet_dwS_AAG_SA(),
                    CS_AAFI(loaded.pS_AAFI.get(), 0).fnGet_dwS_AAGI_SA(1)}),
              Ints({0x8009, 1, 1, 0xAABBCCDD, static_cast<long long>(bytes.size() - 6)}));
    // An edit after loading goes on from the loaded state.
    StillFile more(1, 400);
    more.WithAudio(0x400000, 0);
    ASSERT_EQ(table.fnADD_Program(&more.info), 1);
    EXPECT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 3) << "shares the first attribute set";
    EXPECT_EQ(Serialise(table).size(), bytes.size() + 4 + 24);
    // The loader reads nothing behind the header of a table without still
    // pictures, so the serialiser writes nothing there either, additional
    // audio or not.
    table.fnSet_c1_S_AVFI_Ns(0);
    EXPECT_EQ(Serialise(table), (std::vector<BYTE>{0, 1, 3, 2, 0, 0, 0, 7}));
}

TEST(S_AVFI, NewVogsOfPicturesWithAndWithoutAudio) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    // The picture size comes from the low bytes of the addresses, which wrap.
    StillFile file({Picture(0x1FE), Picture(0x201)}, 10);
    S_AVFI record{};
    CS_AVFI avfi(&record, 40);
    avfi.fnNew();
    ASSERT_EQ(avfi.fnADD_VOGI(1, &file.info), 1);
    // Both recording times carry all five bytes; the VOG's address is the
    // S_AVFI's offset in the S_AVFIT + 6.
    EXPECT_EQ(Serialise(avfi), (std::vector<BYTE>{0x00, 0x01, 0,    0,    0,    46, 1, 1, 0x1F, 0x4D, 0xC8, 0xF2, 0x5E,
                                                  0x1F, 0x4D, 0xC8, 0xF2, 0x5E, 0,  0, 0, 10,   0,    0,    0x00, 3}));
    DWORD start = 0, end = 0;
    ASSERT_EQ(avfi.fnGet_iTH_VOGI_StartPosAndEndPos(1, &start, &end), 1);
    EXPECT_EQ(Ints({start, end}), Ints({10 * 2048, 13 * 2048}));
    // 100 audio frames at 48000 Hz are 2.4 s: 143.856 fields at 29.97
    // frames/s; the audio size keeps its low 16 bits.
    StillFile audio({Picture(0, 7, 0x12345, 100), Picture(0, 0, 0, 0), Picture(9)}, 0);
    audio.info.dwSampleRate = 48000;
    ASSERT_EQ(avfi.fnADD_VOGI(3, &audio.info), 1);
    CS_VOGI vog(&record.vogi[1]);
    EXPECT_EQ(record.vogi[1].entries[S_VOGI::kTagOffset], 0x40);
    EXPECT_EQ(Int(vog.fnGet_c1_S_VOB_ENT_TY(0)), 0x40);
    EXPECT_EQ(Int(vog.fnGet_c1_V_PART_SZ(0)), 7);
    EXPECT_EQ(Int(vog.fnGet_wOA_PART_SZ(0)), 0x2345);
    EXPECT_EQ(Int(vog.fnGet_wOA_PART_PB_TM(0)), 143);
    EXPECT_EQ(Int(vog.fnGet_c1_S_VOB_ENT_TY(1)), 0x00);
    EXPECT_EQ(Int(vog.fnGet_c1_V_PART_SZ(1)), 9);
    EXPECT_EQ(vog.fndwDataSize(), 18u + 6 + 2);
    // 625/50, and a sampling rate of 0 gives no playback time rather than a
    // division by zero.
    StillFile pal({Picture(0, 1, 4, 100), Picture(1)}, 0);
    pal.info.dwFrameRate = 25000;
    pal.info.dwSampleRate = 48000;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    pal.info.dwSampleRate = 0;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    // A huge duration keeps the low 16 bits of the truncated value.
    pal.table[0].dwAudioFrames = 0xFFFFFFFF;
    pal.info.dwSampleRate = 1;
    pal.info.dwFrameRate = 0xFFFFFFFF;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(Ints({CS_VOGI(&record.vogi[2]).fnGet_wOA_PART_PB_TM(0), CS_VOGI(&record.vogi[3]).fnGet_wOA_PART_PB_TM(0),
                    avfi.fnGet_wS_VOGI_SRP_Ns()}),
              Ints({120, 0, 5}));
    EXPECT_EQ(
        Ints({avfi.fnGet_iTH_VOGI_S_VOB_STIN(0), avfi.fnGet_iTH_VOGI_S_VOB_STIN(1), avfi.fnGet_iTH_VOGI_S_VOB_STIN(2),
              avfi.fnGet_iTH_VOGI_S_VOB_STIN(6), avfi.fnGet_iTH_VOGI_StartPosAndEndPos(0, &start, &end)}),
        Ints({0, 1, 3, 0, 0}));
}

TEST(S_AVFI, AddsThatCannotBeRepresentedChangeNothingAndAccessorsStayInside) {
    StillFile big(Pictures(256), 0);
    S_AVFI record{};
    CS_AVFI avfi(&record, 0);
    avfi.fnNew();
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 0) << "S_VOB_Ns is one byte";
    big.info.dwFrameNs = 255;
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[0]).fnGet_c1_S_VOB_Ns(), 255);
    StillFile noTable(1);
    noTable.info.pVOBUTable = nullptr;
    EXPECT_EQ(avfi.fnADD_VOGI(1, &noTable.info), 0);
    EXPECT_EQ(avfi.fnADD_VOGI(1, nullptr), 0);
    avfi.fnSet_wS_VOGI_SRP_Ns(0xFFFF);
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 0) << "S_VOGI_SRP_Ns is 16 bits";
    EXPECT_EQ(record.vogi.size(), 1u);
    S_VOGI vogi{};
    CS_VOGI vog(&vogi);
    StillFile file(2);
    ASSERT_EQ(vog.fnADD_VOGI(1, &file.info), 1);
    EXPECT_EQ(Ints({vog.fnSet_c1_V_PART_SZ(2, 9), vog.fnSet_bThisType(2, 0x80)}), Ints(2, 0)) << "beyond S_VOB_Ns";
    // A count raised by hand reaches no entry that is not held, and the
    // missing entries are written as 2-byte zero entries.
    vog.fnSet_c1_S_VOB_Ns(4);
    EXPECT_EQ(Ints({vog.fnSet_c1_V_PART_SZ(3, 9), vog.fnGet_wS_AAGI_SRPN(3), vog.fnSet_wOA_PART_SZ(3, 1)}), Ints(3, 0));
    EXPECT_EQ(Serialise(vog).size(), 18u + 4 * 2);
}

TEST(S_AAFI, GroupsAndEntriesWithinTheirCounts) {
    S_AAFI record = TwoGroups();
    CS_AAFI aafi(&record, kAafiOffset);
    CS_AAGI group(&record.groups[0]);
    // AA_PART_PB_TM: bytes 8-9 of the entry array.
    EXPECT_EQ(Int(aafi.fnGet_dwS_AAGI_SA(1)), 66);
    EXPECT_EQ(Int(group.fndwSize()), 16);
    EXPECT_EQ(Int(group.fnGet_c1_S_AA_STIN()), 1);
    EXPECT_EQ(Int(group.fnGet_dwS_AAG_SA()), 0x1234);
    EXPECT_EQ(Int(group.fnGet_c1_AA_TY(1)), 0x40);
    EXPECT_EQ(Int(group.fnGet_wAA_PART_SZ(0)), 0x0102);
    EXPECT_EQ(Int(group.fnGet_wAA_PART_PB_TM(1)), 0x0708);
    // A count raised by hand reaches no pointer that is not held, and is
    // written with empty groups, exactly as long as reported.
    aafi.fnSet_wS_AAGI_SRP_Ns(5);
    EXPECT_EQ(Ints({aafi.fnSet_dwS_AAGI_SA(3, 7), aafi.fnGet_dwS_AAGI_SA(3)}), Ints(2, 0));
    EXPECT_EQ(Serialise(aafi).size(), 2u + 20 + 16 + 6 + 3 * 6);
    EXPECT_EQ(Ints({group.fnSet_wAA_PART_SZ(2, 9), group.fnGet_iTH_AA_ENT_Address(2) != nullptr}), Ints(2, 0))
        << "entry index beyond AA_ENT_Ns";
    group.fnSet_c1_AA_ENT_Ns(200);
    EXPECT_EQ(group.fnSet_wAA_PART_SZ(2, 9), 0) << "entry index beyond the entries held";
    EXPECT_EQ(Serialise(group).size(), 6u + 200 * 5) << "entries not held are written as zeros";
    group.fnSet_c1_AA_ENT_Ns(2);
    ASSERT_EQ(group.fnSet_wAA_PART_SZ(1, 0xBEEF), 1);
    EXPECT_EQ(record.groups[0].entries[6], 0xBE);
}

namespace {

// FullTable loaded, with picture 1 of VOG 3 naming additional-audio group
// 2 too: VOG 1 alone names group 1.
struct Stills {
    S_AVFIT record{};
    CS_AVFIT table{&record};
    Stills() {
        const std::vector<BYTE> full = FullTable();
        BytesFile file(full);
        EXPECT_EQ(CS_AVFIT(&file.buffer, &record, 0).fndwLoad_S_AVFIT_From_File(), full.size());
        table = CS_AVFIT(&record);
        CS_VOGI vog(&record.pS_AVFI->vogi[2]);
        EXPECT_EQ(vog.fnSet_c1_S_VOB_ENT_TY(0, 0xC0) + vog.fnSet_bThisType(0, 0xC0) + vog.fnSet_wS_AAGI_SRPN(0, 2), 3);
    }
    CS_VOGI Vog(size_t n) { return CS_VOGI(&record.pS_AVFI->vogi.at(n - 1)); }
    std::vector<BYTE> VogBytes(size_t n) { return Serialise(Vog(n)); }
    Ints Counts() {
        const S_AAFI* aafi = record.pS_AAFI.get();
        return Ints({CS_AVFI(record.pS_AVFI.get(), 0).fnGet_wS_VOGI_SRP_Ns(), table.fnGet_c1_S_VOB_STI_Ns(),
                     table.fnGet_c1_S_AAFI_Ns(), table.fnGet_c1_S_AA_STI_Ns(),
                     aafi ? CS_AAFI(const_cast<S_AAFI*>(aafi), 0).fnGet_wS_AAGI_SRP_Ns() : -1});
    }
    // The bytes, checked to load back alike and to pass the disc's checks.
    std::vector<BYTE> Saved() {
        std::vector<std::string> findings;
        EXPECT_TRUE(
            vrm::CheckConsistency(VMG_MODEL{nullptr, nullptr, &record, nullptr, nullptr, nullptr, nullptr}, &findings));
        return RoundTrip(record, &CS_AVFIT::fndwLoad_S_AVFIT_From_File);
    }
};

}  // namespace

TEST(StillEdit, RemovedVOGsTakeTheAdditionalAudioOnlyTheyUse) {
    Stills s;
    const std::vector<BYTE> before = s.Saved(), vog2 = s.VogBytes(2);
    const std::vector<BYTE> group2 = Serialise(CS_AAGI(&s.record.pS_AAFI->groups.at(1)));
    EXPECT_EQ(Ints({s.table.fnDEL_VOG(0), s.table.fnDEL_VOG(4), s.table.fnDEL_S_VOB_STI(0), s.table.fnDEL_S_VOB_STI(3),
                    s.table.fnDEL_S_VOB_STI(4), s.table.fnDEL_S_AA_STI(1), s.table.fnDEL_S_AA_STI(3)}),
              Ints(7, 0))
        << "no such VOG or record, or a record still named";
    EXPECT_EQ(s.Saved(), before);

    // Group 1 goes with VOG 1; group 2, which VOG 3 names too, becomes 1.
    ASSERT_EQ(s.table.fnDEL_VOG(1), 1);
    EXPECT_EQ(s.Counts(), Ints({2, 3, 1, 2, 1}));
    EXPECT_EQ(Ints({s.VogBytes(1) == vog2, s.Vog(2).fnGet_wS_AAGI_SRPN(0)}), Ints({1, 1}));
    EXPECT_EQ(Serialise(CS_AAGI(&s.record.pS_AAFI->groups.at(0))), group2);
    s.Saved();
    // S_AA_STI 1 is named no more; the group named 2 names 1 now.
    EXPECT_EQ(s.table.fnDEL_S_AA_STI(2), 0);
    ASSERT_EQ(s.table.fnDEL_S_AA_STI(1), 1);
    EXPECT_EQ(Ints({CS_AAGI(&s.record.pS_AAFI->groups.at(0)).fnGet_c1_S_AA_STIN(), s.table.fnGet_wAA_ATR(0),
                    static_cast<long long>(s.record.aaSti.size())}),
              Ints({1, 0x8009, 2 * 2}));
    s.Saved();
    // Without its last group and attribute record the additional audio
    // part goes.
    ASSERT_EQ(s.table.fnDEL_VOG(2), 1);
    EXPECT_EQ(s.Counts(), Ints({1, 3, 1, 1, 0}));
    s.Saved();
    ASSERT_EQ(s.table.fnDEL_S_AA_STI(1), 1);
    EXPECT_EQ(s.Counts(), Ints({1, 3, 0, 0, -1}));
    s.Saved();
}

TEST(StillEdit, AttributeRecordsRenumberAndTheLastVOGLeavesTheEmptyTable) {
    Stills s;
    ASSERT_EQ(s.table.fnDEL_VOG(1), 1);  // VOGs naming S_VOB_STI 2 and 3 stay
    const std::vector<BYTE> sti3 = Bytes(s.table.fnGet_iTH_S_VOB_STI_Address(2), 54);
    ASSERT_EQ(s.table.fnDEL_S_VOB_STI(1), 1);
    EXPECT_EQ(Ints({s.Vog(1).fnGet_c1_S_VOB_STIN(), s.Vog(2).fnGet_c1_S_VOB_STIN(), s.table.fnGet_c1_S_VOB_STI_Ns(),
                    static_cast<long long>(s.record.sti.size())}),
              Ints({1, 2, 2, 3 * 54}))
        << "the records behind moved down, the spare slot behind them";
    EXPECT_EQ(Bytes(s.table.fnGet_iTH_S_VOB_STI_Address(1), 54), sti3);
    s.Saved();
    ASSERT_EQ(s.table.fnDEL_VOG(2) + s.table.fnDEL_VOG(1), 2);
    EXPECT_EQ(s.Saved(), std::vector<BYTE>({0, 0, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(Ints({s.record.pS_AVFI == nullptr, s.record.pS_AAFI == nullptr, s.record.sti.empty()}), Ints(3, 1));
}
