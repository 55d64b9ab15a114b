// The still AV file information table S_AVFIT: attributes, registration of
// still files, queries, and whole-table round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/clock.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "support/TableIO.h"
#include "support/Time.h"
#include "tables/CS_AVFIT.h"
#include "tables/seg.h"

namespace {

// A still file of `pictures` pictures, without audio unless asked, 720 x 480
// MPEG-2 4:3 at 525/60.
struct StillFile {
    std::vector<VR_VOBU_ELEMENT> table;
    VR_MPEGFILE_INFO info{};
    explicit StillFile(DWORD pictures = 1, DWORD startSector = 0) {
        for (DWORD i = 0; i <= pictures; ++i) table.push_back(VR_VOBU_ELEMENT{3 * i, 0, 0, 0, 0});
        info.dwFrameRate = 29970;
        info.dwWidth = 720;
        info.dwHeight = 480;
        info.dwMpeg2 = 1;
        info.bAspectRatio = 2;
        info.dwFrameNs = pictures;
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
        for (DWORD i = 0; i + 1 < table.size(); ++i) {
            table[i].b1stRefSz = 2;
            table[i].dwAudioPartSz = 1;
            table[i].dwAudioFrames = 100;
        }
        return *this;
    }
};

// The video (V_ATR) or audio (OA_ATR) attributes a new record gets.
WORD Attr(const VR_MPEGFILE_INFO& info, bool audio = false) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    table.fnADD_S_VOB_STI(&info);
    return audio ? table.fnGet_wOA_ATR(0) : table.fnGet_wV_ATR(0);
}
WORD OA_ATR(const StillFile& file) { return Attr(file.info, true); }

// Loads an S_AVFIT that starts `at` bytes into a file; 0 on failure.
DWORD Load(BytesFile& f, S_AVFIT& record, DWORD at) {
    return CS_AVFIT(&f.buffer, &record, at).fndwLoad_S_AVFIT_From_File();
}

}  // namespace

TEST(S_AVFIT, ANewTableIsEightBytes) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    ASSERT_EQ(table.fnSetZero(), 1);
    ASSERT_EQ(table.fnNew(), 1);
    EXPECT_EQ(table.fndwSize(), 8u);
    const std::vector<BYTE> expected = {0, 0, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(Serialise(table), expected);
    EXPECT_EQ(table.fnReadData(nullptr), 0u);
    CS_AVFIT unbound;
    EXPECT_EQ(unbound.fnCheckValid(), 0);
    EXPECT_EQ(unbound.fnNew(), 0);
    EXPECT_EQ(unbound.fnSetZero(), 0);
    EXPECT_EQ(unbound.fnGet_dw_S_AVFIT_EA(), 0u);
    EXPECT_EQ(unbound.fnSet_c1_S_AVFI_Ns(1), 0);
    EXPECT_EQ(unbound.fnADD_Program(StillFile().Info()), 0);
}

TEST(S_AVFIT, StillFilesShareEqualAttributes) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    StillFile first(1, 10);
    ASSERT_EQ(table.fnADD_Program(&first.info), 1);
    EXPECT_EQ(table.fnGet_c1_S_AVFI_Ns(), 1);
    EXPECT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 1);
    StillFile second(2, 20);
    ASSERT_EQ(table.fnADD_Program(&second.info), 1);
    EXPECT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 1);
    StillFile third(1, 30);
    third.info.dwWidth = 704;
    ASSERT_EQ(table.fnADD_Program(&third.info), 1);
    EXPECT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 2);
    EXPECT_EQ(record.sti.size(), 3u * 54) << "a spare slot behind the last record";

    CS_AVFI avfi(record.pS_AVFI.get(), 0);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 3);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(1), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(2), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(3), 2);

    // Three records are written before the S_AVFI, whose addresses count
    // from the table's first byte: S_AVFI at 8 + 3 x 54 = 170.
    StillFile fourth(1, 40);
    fourth.info.dwWidth = 544;
    ASSERT_EQ(table.fnADD_Program(&fourth.info), 1);
    const std::vector<BYTE> bytes = Serialise(table);
    EXPECT_EQ(bytes[170], 0x00);
    EXPECT_EQ(bytes[171], 4) << "S_VOGI_SRP_Ns";
    EXPECT_EQ(avfi.fnGet_dwS_VOGI_SA(0), 170u + 2 + 16);
    EXPECT_EQ(bytes[170 + 2 + 16], 1) << "VOG 1's S_VOB_Ns where its pointer says";
    EXPECT_EQ(table.fnGet_wV_ATR(2), 0x4020);
    EXPECT_EQ(table.fnGet_dw_S_AVFIT_EA(), bytes.size() - 1);
}

TEST(S_AVFIT, PictureAttributes) {
    StillFile file;
    EXPECT_EQ(Attr(file.info), 0x4000);
    file.info.dwMpeg2 = 0;
    file.info.dwFrameRate = 25000;
    file.info.bAspectRatio = 3;
    EXPECT_EQ(Attr(file.info), 0x1400);
    const struct {
        DWORD width, height;
        WORD bits;
    } sizes[] = {{720, 576, 0x00}, {704, 576, 0x08}, {352, 576, 0x10}, {352, 480, 0x10},
                 {352, 288, 0x18}, {544, 576, 0x20}, {480, 576, 0x28}, {640, 480, 0x18}};
    for (const auto& size : sizes) {
        StillFile f;
        f.info.dwWidth = size.width;
        f.info.dwHeight = size.height;
        EXPECT_EQ(Attr(f.info) & 0x38, size.bits) << size.width << " x " << size.height;
    }

    EXPECT_EQ(OA_ATR(StillFile()), 0) << "no audio";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0, 0)), 0x00C0) << "AC-3";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x400000, 0)), 0x4001) << "MPEG stereo";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x400000, 1)), 0x4001) << "joint stereo";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x400000, 2)), 0x4009) << "dual channel";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x400000, 3)), 0x4000) << "single channel";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x800000, 0)), 0x8001) << "linear PCM stereo";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x600000, 0)), 0x6000) << "MPEG-2 with extension";
    EXPECT_EQ(OA_ATR(StillFile().WithAudio(0x200000, 0)), 0) << "unknown coding";
    StillFile noBitrate = StillFile().WithAudio(0x400000, 0);
    noBitrate.info.dwAudioBitrate = 0;
    EXPECT_EQ(OA_ATR(noBitrate), 0);
}

TEST(S_AVFIT, DecodingAttributesForCellQueries) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    StillFile pal352(1, 0);
    pal352.info.dwFrameRate = 25000;
    pal352.info.dwWidth = 352;
    pal352.info.dwHeight = 576;
    pal352.info.bAspectRatio = 3;
    pal352.WithAudio(0x400000, 2);
    StillFile odd(1, 0);
    odd.info.dwWidth = 640;
    odd.info.dwMpeg2 = 0;
    ASSERT_EQ(table.fnADD_S_VOB_STI(&pal352.info), 1);
    ASSERT_EQ(table.fnADD_S_VOB_STI(&odd.info), 2);

    seg s{};
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(1, &s), 1);
    EXPECT_EQ(s.dwMpegVersion, 2u);
    EXPECT_EQ(s.dwFrameRate, 25000u);
    EXPECT_EQ(s.dwWidth, 352u);
    EXPECT_EQ(s.dwHeight, 576u);
    EXPECT_EQ(s.dwWide, 1u);
    EXPECT_EQ(s.dwAudioCoding, 2u);
    EXPECT_EQ(s.dwAudioLayer, 2u);
    EXPECT_EQ(s.dwSampleRate, 48000u);
    EXPECT_EQ(s.dwChannels, 2u);
    EXPECT_EQ(s.dwAudioMode, 2u);

    // A file without audio leaves the audio fields as they were.
    s.dwAudioCoding = s.dwAudioLayer = s.dwSampleRate = s.dwChannels = s.dwAudioMode = 77;
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(s.dwMpegVersion, 0u);
    EXPECT_EQ(s.dwFrameRate, 29970u);
    EXPECT_EQ(s.dwWidth, 352u);
    EXPECT_EQ(s.dwHeight, 240u);
    EXPECT_EQ(s.dwWide, 0u);
    EXPECT_EQ(s.dwAudioCoding + s.dwAudioLayer + s.dwSampleRate + s.dwChannels + s.dwAudioMode, 5u * 77);

    // Stereo and single channel; resolution codes 6 and 7 leave the size.
    table.fnSet_wOA_ATR(1, 0x4001);
    table.fnSet_wV_ATR(1, 0x0030);
    s.dwWidth = s.dwHeight = 5;
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(s.dwChannels, 2u);
    EXPECT_EQ(s.dwAudioMode, 0u);
    EXPECT_EQ(s.dwWidth + s.dwHeight, 10u);
    table.fnSet_wOA_ATR(1, 0x00C0);
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(s.dwAudioCoding, 0u);
    EXPECT_EQ(s.dwChannels, 1u);
    EXPECT_EQ(s.dwAudioMode, 3u);

    EXPECT_EQ(table.fnGet_CellInfoFromS_VOB_STI(0, &s), 0);
    EXPECT_EQ(table.fnGet_CellInfoFromS_VOB_STI(3, &s), 0);
    EXPECT_EQ(table.fnGet_CellInfoFromS_VOB_STI(1, nullptr), 0);
}

TEST(S_AVFIT, QueryingAVog) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    seg s{};
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(1, &s, 3), 0) << "no S_AVFI yet";
    StillFile file(2, 10);  // the first picture is 3 sectors
    ASSERT_EQ(table.fnADD_Program(&file.info), 1);

    s.dwSkipFrames = s.dwAudioSamples = 99;
    ASSERT_EQ(table.fnGet_iTH_VOGI_Info(1, &s, 3), 1);
    EXPECT_EQ(s.dwSRPN, 1u);
    EXPECT_EQ(s.dwCellType, 1u);
    EXPECT_EQ(s.dwWidth, 720u);
    EXPECT_EQ(s.dwFrameNs, 1u);
    EXPECT_EQ(s.dwVideoFrames, 1u);
    EXPECT_EQ(s.dwAudioSamples, 0u);
    EXPECT_EQ(s.dwSkipFrames, 0u);
    EXPECT_EQ(s.dwDuration, 3000u);
    EXPECT_EQ(s.llStartPos, 20480);
    EXPECT_EQ(s.llEndPos, 26624);
    EXPECT_EQ(s.dwHeadSize, 6144u);

    seg untouched{};
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(0, &untouched, 3), 0);
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(2, &untouched, 3), 0);
    CS_VOGI(&record.pS_AVFI->vogi[0]).fnSet_c1_S_VOB_STIN(9);
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(1, &untouched, 3), 0) << "names no S_VOB_STI";
    EXPECT_EQ(untouched.dwSRPN, 0u);

    // Forwarded to the S_AVFI with the same VOG number.
    BYTE tm[5] = {};
    ASSERT_EQ(table.fnGet_iTH_VOGI_REC_TM(1, tm), 1);
    EXPECT_EQ(std::vector<BYTE>(tm, tm + 5), (std::vector<BYTE>{0x1F, 0x4D, 0xC8, 0xF2, 0x5E}));
    EXPECT_EQ(table.fnGet_iTH_VOGI_REC_TM(2, tm), 0);
}

TEST(S_AVFIT, AttributeRecordsStopWhereTheGettersEnd) {
    // Still file i gets an attribute set of its own for i < 84.
    auto distinct = [](DWORD i) {
        static const DWORD widths[6] = {720, 704, 352, 352, 544, 480};
        static const DWORD heights[6] = {480, 480, 480, 240, 480, 480};
        static const DWORD audio[7][2] = {{1, 0}, {0, 0}, {0x400000, 0}, {0x400000, 2},
                                          {0x400000, 3}, {0x800000, 0}, {0x600000, 0}};
        StillFile f(1, i);
        f.info.dwWidth = widths[i % 6];
        f.info.dwHeight = heights[i % 6];
        const DWORD* a = audio[(i / 6) % 7];
        if (a[0] != 1) f.WithAudio(a[0], a[1]);
        f.info.dwMpeg2 = (i / 42) & 1;
        return f;
    };
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    for (DWORD i = 0; i < CS_AVFIT::kMaxStiRecords; ++i) ASSERT_EQ(table.fnADD_Program(distinct(i).Info()), 1) << i;
    ASSERT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 65);
    EXPECT_EQ(table.fnGet_wV_ATR(64), 0x4020);
    EXPECT_EQ(table.fnADD_S_VOB_STI(distinct(65).Info()), 0);
    EXPECT_EQ(table.fnADD_Program(distinct(65).Info()), 0) << "a 66th record could not be read back";
    EXPECT_EQ(table.fnGet_c1_S_VOB_STI_Ns(), 65);
    EXPECT_EQ(CS_AVFI(record.pS_AVFI.get(), 0).fnGet_wS_VOGI_SRP_Ns(), 65);
    EXPECT_EQ(table.fnADD_Program(distinct(3).Info()), 1) << "existing attributes are still shared";
    EXPECT_EQ(CS_AVFI(record.pS_AVFI.get(), 0).fnGet_iTH_VOGI_S_VOB_STIN(66), 4);

    table.fnSet_c1_S_VOB_STI_Ns(66);
    record.sti.resize(67 * 54);
    EXPECT_EQ(table.fnGet_wV_ATR(65), 0) << "getters answer up to index 64";
    EXPECT_EQ(table.fnSet_wV_ATR(65, 1), 1);
    EXPECT_EQ(table.fnSet_wV_ATR(66, 1), 0) << "not below the count";
    EXPECT_EQ(table.fnSet_wAA_ATR(0, 1), 0) << "no S_AA_STI";
    BYTE palette[49] = {};
    EXPECT_EQ(table.fnSet_c48_SP_PLT(0, palette, 49), 0);
    EXPECT_EQ(table.fnGet_iTH_S_VOB_STI_Address(67), nullptr);

    StillFile tooMany(256);
    EXPECT_EQ(table.fnADD_Program(&tooMany.info), 0);
    EXPECT_EQ(table.fnADD_Program(nullptr), 0);
    EXPECT_EQ(CS_AVFI(record.pS_AVFI.get(), 0).fnGet_wS_VOGI_SRP_Ns(), 66);
}

// A table with every kind of content: three attribute sets, VOGs with
// entries of all four types, two S_AA_STI and an S_AAFI of two groups.
class S_AVFIT_Full : public ::testing::Test {
protected:
    void SetUp() override {
        vrm::ScopedTestClock clock(MakeTime(2004, 2, 29, 23, 59, 59), 0);
        CS_AVFIT table(&record);
        table.fnNew();
        StillFile a(4, 100);
        a.WithAudio(0x400000, 0);
        a.table[2].dwAudioPartSz = 0;
        a.table[3].dwAudioPartSz = 0;
        StillFile b(1, 200);
        b.info.dwWidth = 352;
        StillFile c(3, 300);
        c.WithAudio(0, 0);
        ASSERT_EQ(table.fnADD_Program(&a.info), 1);
        ASSERT_EQ(table.fnADD_Program(&b.info), 1);
        ASSERT_EQ(table.fnADD_Program(&c.info), 1);

        // Additional audio on pictures of the first VOG.
        CS_VOGI vog(&record.pS_AVFI->vogi[0]);
        vog.fnSet_c1_S_VOB_ENT_TY(1, 0xC0);
        vog.fnSet_bThisType(1, 0xC0);
        vog.fnSet_wS_AAGI_SRPN(1, 2);
        vog.fnSet_c1_AA_ENTN(1, 1);
        vog.fnSet_c1_S_VOB_ENT_TY(2, 0x80);
        vog.fnSet_bThisType(2, 0x80);
        vog.fnSet_wS_AAGI_SRPN(2, 1);
        vog.fnSet_c1_AA_ENTN(2, 3);

        table.fnSet_c1_S_AAFI_Ns(1);
        table.fnSet_c1_S_AA_STI_Ns(2);
        record.aaSti = {0x40, 0x01, 0x80, 0x09, 0, 0};
        record.pS_AAFI.reset(new S_AAFI{});
        S_AAFI& aafi = *record.pS_AAFI;
        CS_AAFI(&aafi, 0).fnSet_wS_AAGI_SRP_Ns(2);
        aafi.groups.resize(2);
        aafi.groups[0].general[0] = 3;
        aafi.groups[0].general[1] = 1;
        aafi.groups[0].entries = {1, 0, 2, 0, 3, 4, 0, 5, 0, 6, 7, 0, 8, 0, 9};
        aafi.groups[1].general[0] = 1;
        aafi.groups[1].general[1] = 2;
        aafi.groups[1].general[5] = 0x77;
        aafi.groups[1].entries = {0x40, 0x12, 0x34, 0x56, 0x78};
    }
    S_AVFIT record{};
};

TEST_F(S_AVFIT_Full, RoundTripIsByteForByte) {
    CS_AVFIT table(&record);
    const std::vector<BYTE> bytes = Serialise(table);
    // 8 + 3 x 54 + S_AVFI (2 + 12 + VOGs 18+6+9+5+2, 18+2, 18+3x6) + 2 x 2 +
    // S_AAFI (2 + 8 + 6+15 + 6+5).
    ASSERT_EQ(bytes.size(), 8u + 162 + (14 + 40 + 20 + 36) + 4 + (10 + 21 + 11));
    EXPECT_EQ(bytes[3], 2) << "S_AA_STI_Ns";

    // Placed inside a larger file at a start address, as in VR_MANGR.IFO.
    const DWORD at = 1000;
    std::vector<BYTE> file(at + bytes.size() + 100, 0xEE);
    std::copy(bytes.begin(), bytes.end(), file.begin() + at);
    BytesFile f(file);
    // Owned by the table from here: fnFreeAllData releases it at the end.
    S_AVFIT& loaded = *new S_AVFIT{};
    CS_AVFIT reader(&f.buffer, &loaded, at);
    ASSERT_EQ(reader.fndwLoad_S_AVFIT_From_File(), bytes.size());
    EXPECT_EQ(reader.fndwSize(), bytes.size());
    EXPECT_FALSE(f.buffer.ReadFailed());
    EXPECT_EQ(loaded.sti.size(), 4u * 54) << "spare slot";
    EXPECT_EQ(loaded.aaSti.size(), 3u * 2) << "spare slot";

    CS_AVFIT again(&loaded);
    EXPECT_EQ(Serialise(again), bytes);
    EXPECT_EQ(again.fnGet_wAA_ATR(1), 0x8009);
    CS_VOGI vog(&loaded.pS_AVFI->vogi[0]);
    EXPECT_EQ(vog.fnGet_wS_AAGI_SRPN(2), 1);
    EXPECT_EQ(vog.fnGet_c1_AA_ENTN(1), 1);
    CS_AAGI group(&loaded.pS_AAFI->groups[1]);
    EXPECT_EQ(group.fnGet_dwS_AAG_SA(), 0x77u);
    EXPECT_EQ(CS_AAFI(loaded.pS_AAFI.get(), 0).fnGet_dwS_AAGI_SA(1),
              bytes.size() - 11) << "from the S_AVFIT's first byte";

    // An edit after loading goes on from the loaded state.
    StillFile more(1, 400);
    more.WithAudio(0x400000, 0);
    ASSERT_EQ(again.fnADD_Program(&more.info), 1);
    EXPECT_EQ(again.fnGet_c1_S_VOB_STI_Ns(), 3) << "shares the first attribute set";
    EXPECT_EQ(Serialise(again).size(), bytes.size() + 4 + 24);

    again.fnFreeAllData();
    EXPECT_EQ(again.m_pRecord, nullptr);
}

TEST_F(S_AVFIT_Full, EveryTruncationFailsToLoad) {
    CS_AVFIT table(&record);
    const std::vector<BYTE> bytes = Serialise(table);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        BytesFile f(std::vector<BYTE>(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
        S_AVFIT loaded{};
        ASSERT_EQ(Load(f, loaded, 0), 0u) << "cut at " << cut;
        if (cut > 0) {
            EXPECT_TRUE(f.buffer.ReadFailed()) << "cut at " << cut;
        }
        EXPECT_EQ(loaded.pS_AVFI, nullptr);
        EXPECT_EQ(loaded.pS_AAFI, nullptr);
    }
}

TEST_F(S_AVFIT_Full, GarbledCountsAndAddressesFailToLoad) {
    CS_AVFIT table(&record);
    const std::vector<BYTE> bytes = Serialise(table);
    const size_t aafi = bytes.size() - (10 + 21 + 11);
    // S_VOB_STI_Ns, S_AA_STI_Ns, and the search pointer counts of S_AVFI and
    // S_AAFI (the loader must pass them the right base and end).
    for (size_t offset : {size_t{2}, size_t{3}, size_t{8 + 162}, aafi}) {
        std::vector<BYTE> garbled = bytes;
        garbled[offset] = 0xFF;
        BytesFile f(garbled);
        S_AVFIT loaded{};
        EXPECT_EQ(Load(f, loaded, 0), 0u) << offset;
        EXPECT_TRUE(f.buffer.ReadFailed()) << offset;
        EXPECT_TRUE(loaded.sti.empty()) << offset;
    }
    BytesFile f(bytes);
    S_AVFIT loaded{};
    EXPECT_EQ(Load(f, loaded, static_cast<DWORD>(bytes.size())), 0u) << "start at the end of the file";
    EXPECT_TRUE(f.buffer.ReadFailed());
}

TEST_F(S_AVFIT_Full, AdditionalAudioNeedsStillPictures) {
    // The loader reads nothing behind the header of a table without still
    // pictures, so the serialiser writes nothing there either.
    CS_AVFIT table(&record);
    table.fnSet_c1_S_AVFI_Ns(0);
    EXPECT_EQ(Serialise(table).size(), 8u);
    EXPECT_EQ(table.fnGet_dw_S_AVFIT_EA(), 7u);
    // Counts raised without the records behind them are written as zeros,
    // exactly as long as reported, and load back.
    table.fnSet_c1_S_AVFI_Ns(1);
    table.fnSet_c1_S_VOB_STI_Ns(5);
    table.fnSet_c1_S_AA_STI_Ns(7);
    record.pS_AAFI.reset();
    const std::vector<BYTE> bytes = Serialise(table);
    BytesFile f(bytes);
    S_AVFIT loaded{};
    EXPECT_EQ(Load(f, loaded, 0), bytes.size());
}
