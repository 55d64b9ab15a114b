#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/Recording.h"
#include "support/TableIO.h"
#include "tables/CM_AVFIT.h"
#include "tables/seg.h"

namespace {

// Slot 0 of a scratch table filled from the recording.
struct Attributes {
    WORD vAtr;
    BYTE aAtr0[3];
};

Attributes AttributesOf(const VR_MPEGFILE_INFO& info) {
    M_AVFIT record;
    record.sti.assign(60, 0xFF);
    CM_AVFIT t(&record);
    EXPECT_EQ(t.fnSet_M_VOB_STI_Data(0, &info), 1);
    EXPECT_EQ(t.fnGet_c1_AST_Ns(0), 1);
    EXPECT_EQ(t.fnGet_c1_SPST_Ns(0), 0);
    BYTE rest[48];
    t.fnGet_c48_SP_PLT(0, rest);
    EXPECT_EQ(rest[47], 0);
    Attributes a{t.fnGet_wV_ATR(0), {}};
    t.fnGet_c3_A_ATR0(0, a.aAtr0);
    return a;
}

}  // namespace

TEST(CM_AVFIT, NewTableIsEightBytes) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    ASSERT_EQ(t.fnNew(), 1);
    EXPECT_EQ(t.fndwSize(), 8u);
    EXPECT_EQ(Serialise(t), (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(t.fnGet_dwTotalVOBISize(), 0u);
    Recording r = UniformRecording();
    EXPECT_EQ(CM_AVFIT(BYTE{0}).fnADD_Program(&r.info), 0);
}

TEST(CM_AVFIT, EncodesStreamAttributes) {
    Recording r = UniformRecording();
    VR_MPEGFILE_INFO info = r.info;
    const struct {
        DWORD coding, mode, rate;
        BYTE expected[3];
    } audio[] = {
        {0x400000, 0, 224, {0x40, 0x01, 0x08}},  // MPEG-1 stereo 224 kbit/s
        {0, 0, 192, {0x00, 0xC0, 0x07}},  // AC-3 192 kbit/s
        {0x800000, 0, 0, {0x80, 0x01, 0x0E}},  // linear PCM stereo
        {0x800000, 3, 0, {0x80, 0x00, 0x0D}},  // linear PCM mono
        {0x400000, 0, 448, {0x40, 0x01, 0x00}},  // 448 kbit/s exists for AC-3 only
        {0, 0, 448, {0x00, 0xC0, 0x0C}},
        {0x400000, 2, 64, {0x40, 0x09, 0x01}},  // dual mono
        {0x600000, 0, 224, {0x60, 0x00, 0x00}},  // MPEG-2 with extension: no channel or rate code
        {0x123456, 0, 224, {0x00, 0x00, 0x00}},
    };
    for (const auto& a : audio) {
        info.dwAudioCodingBits = a.coding;
        info.dwAudioMode = a.mode;
        info.dwAudioBitrate = a.rate;
        const Attributes got = AttributesOf(info);
        EXPECT_EQ(std::memcmp(got.aAtr0, a.expected, 3), 0) << std::hex << a.coding << " " << a.rate;
    }
    // A recording without audio describes no audio stream.
    VR_MPEGFILE_INFO silent = r.info;
    silent.dwSampleRate = silent.dwAudioBitrate = silent.dwAudioCodingBits = silent.dwAudioMode = 0;
    M_AVFIT record;
    record.sti.assign(60, 0xFF);
    CM_AVFIT t(&record);
    ASSERT_EQ(t.fnSet_M_VOB_STI_Data(0, &silent), 1);
    EXPECT_EQ(t.fnGet_c1_AST_Ns(0), 0);
    BYTE none[3] = {0xEE, 0xEE, 0xEE};
    t.fnGet_c3_A_ATR0(0, none);
    EXPECT_EQ(none[0] | none[1] | none[2], 0);

    const struct {
        DWORD mpeg2, rate;
        BYTE aspect;
        DWORD width, height;
        WORD expected;
    } video[] = {
        {1, 29970, 2, 720, 480, 0x4000},
        {1, 25000, 3, 720, 576, 0x5400},
        {0, 29970, 2, 352, 240, 0x0018},
        {0, 29970, 2, 640, 480, 0x0018},
        {0, 25000, 2, 352, 576, 0x1010},
        {1, 29970, 2, 704, 480, 0x4008},
        {1, 29970, 2, 544, 480, 0x4020},
        {1, 29970, 2, 480, 480, 0x4028},
    };
    for (const auto& v : video) {
        info.dwMpeg2 = v.mpeg2;
        info.dwFrameRate = v.rate;
        info.bAspectRatio = v.aspect;
        info.dwWidth = v.width;
        info.dwHeight = v.height;
        EXPECT_EQ(AttributesOf(info).vAtr, v.expected) << v.width << "x" << v.height;
    }
}

TEST(CM_AVFIT, DecodesStreamAttributes) {
    M_AVFIT record;
    record.sti.assign(2 * 60, 0);
    CM_AVFIT t(&record);
    Recording r = UniformRecording();
    r.info.dwFrameRate = 29970;
    r.info.dwWidth = 640;  // code 3, decoded as 352 × 240
    r.info.bAspectRatio = 3;
    r.info.dwAudioBitrate = 448;  // MPEG-1: code 0
    t.fnSet_M_VOB_STI_Data(0, &r.info);
    seg s{};
    ASSERT_EQ(t.fnGet_CellInfoFromM_VOB_STI(1, &s), 1);
    EXPECT_EQ(s.dwMpegVersion, 2u);
    EXPECT_EQ(s.dwFrameRate, 29970u);
    EXPECT_EQ(s.dwWidth, 352u);
    EXPECT_EQ(s.dwHeight, 240u);
    EXPECT_EQ(s.dwWide, 1u);
    EXPECT_EQ(s.dwAudioLayer, 2u);
    EXPECT_EQ(s.dwChannels, 2u);
    EXPECT_EQ(s.dwAudioMode, 0u);
    EXPECT_EQ(s.dwAudioBitrate, 0u);

    // A loaded table may hold codes the encoder never makes: resolution 7
    // leaves the size alone, bit-rate codes above 14 decode as 0 kbit/s,
    // single-channel linear PCM at 768 kbit/s.
    const BYTE lpcmMono[3] = {0x80, 0x00, 0x0D};
    t.fnSet_c3_A_ATR0(0, lpcmMono, 3);
    t.fnSet_wV_ATR(0, 0x1038);
    s.dwWidth = 1;
    s.dwHeight = 2;
    ASSERT_EQ(t.fnGet_CellInfoFromM_VOB_STI(1, &s), 1);
    EXPECT_EQ(s.dwWidth, 1u);
    EXPECT_EQ(s.dwHeight, 2u);
    EXPECT_EQ(s.dwFrameRate, 25000u);
    EXPECT_EQ(s.dwAudioCoding, 4u);
    EXPECT_EQ(s.dwChannels, 1u);
    EXPECT_EQ(s.dwAudioMode, 3u);
    EXPECT_EQ(s.dwAudioBitrate, 768u);
    const BYTE beyond[3] = {0x80, 0x09, 0x0F};
    t.fnSet_c3_A_ATR0(0, beyond, 3);
    t.fnGet_CellInfoFromM_VOB_STI(1, &s);
    EXPECT_EQ(s.dwAudioBitrate, 0u);
    EXPECT_EQ(s.dwChannels, 2u);
    EXPECT_EQ(s.dwAudioMode, 2u);

    EXPECT_EQ(t.fnGet_CellInfoFromM_VOB_STI(0, &s), 0);
    EXPECT_EQ(t.fnGet_CellInfoFromM_VOB_STI(3, &s), 0) << "no such record";
}

TEST(CM_AVFIT, IdenticalRecordingsShareStreamInformation) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    t.fnNew();
    Recording a = UniformRecording(4, 100);
    Recording b = UniformRecording(2, 250);
    Recording c = UniformRecording(3, 10);
    c.info.dwAudioBitrate = 192;
    ASSERT_EQ(t.fnADD_Program(&a.info), 1);
    EXPECT_EQ(a.info.dwVOBStartAddr, 0u);
    ASSERT_EQ(t.fnADD_Program(&b.info), 1);
    EXPECT_EQ(b.info.dwVOBStartAddr, 400u) << "behind the first VOB";
    EXPECT_EQ(t.fnGet_c1_M_VOB_STI_Ns(), 1);
    ASSERT_EQ(t.fnADD_Program(&c.info), 1);
    EXPECT_EQ(c.info.dwVOBStartAddr, 900u);
    EXPECT_EQ(t.fnGet_c1_M_AVFI_Ns(), 1);
    EXPECT_EQ(t.fnGet_c1_M_VOB_STI_Ns(), 2);
    EXPECT_EQ(t.fnGet_dwTotalVOBISize(), 930u);
    CM_AVFI avfi(record.pM_AVFI.get(), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(1), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(2), 1);
    EXPECT_EQ(avfi.fnGet_iTH_VOBI_M_VOB_STIN(3), 2);
    EXPECT_EQ(record.sti.size(), 3u * 60) << "two records and the spare slot";

    // A recording without its VOBU table is refused before anything changes.
    Recording broken = UniformRecording();
    broken.info.pVOBUTable = nullptr;
    broken.info.dwAudioBitrate = 64;
    EXPECT_EQ(t.fnADD_Program(&broken.info), 0);
    EXPECT_EQ(t.fnADD_Program(nullptr), 0);
    EXPECT_EQ(t.fnGet_c1_M_VOB_STI_Ns(), 2);
    EXPECT_EQ(avfi.fnGet_wM_VOBI_SRP_Ns(), 3);
}

TEST(CM_AVFIT, StopsAtSixtyFiveStreamInformationRecords) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    t.fnNew();
    std::vector<Recording> recordings;
    // 66 distinct attribute sets: 2 video codings × 3 widths × 11 bit rates.
    const DWORD widths[3] = {720, 704, 544};
    const DWORD rates[11] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    for (DWORD k = 0; k < 66; ++k) {
        Recording r = UniformRecording(1, 10);
        r.info.dwMpeg2 = k % 2;
        r.info.dwWidth = widths[(k / 2) % 3];
        r.info.dwAudioBitrate = rates[k / 6];
        recordings.push_back(r);
    }
    for (DWORD k = 0; k < 65; ++k) {
        Recording& r = recordings[k];
        r.info.pVOBUTable = r.table.data();
        ASSERT_EQ(t.fnADD_Program(&r.info), 1) << k;
    }
    EXPECT_EQ(t.fnGet_c1_M_VOB_STI_Ns(), 65);
    EXPECT_NE(t.fnGet_wV_ATR(64), 0);
    EXPECT_EQ(record.sti.size(), 66u * 60);
    EXPECT_EQ(t.fnGet_wV_ATR(65), 0) << "getters answer indexes 0..64 only";
    EXPECT_EQ(t.fnSet_wV_ATR(66, 1), 0) << "no slot 66";

    const std::vector<BYTE> before = Serialise(t);
    Recording& extra = recordings[65];
    extra.info.pVOBUTable = extra.table.data();
    EXPECT_EQ(t.fnADD_M_VOB_STI(&extra.info), 0);
    EXPECT_EQ(t.fnADD_Program(&extra.info), 0);
    EXPECT_EQ(Serialise(t), before) << "nothing added";

    // A recording equal to an existing record still registers.
    Recording again = UniformRecording(1, 10);
    again.info.dwMpeg2 = 0;
    again.info.dwAudioBitrate = 64;
    EXPECT_EQ(t.fnADD_Program(&again.info), 1);
    EXPECT_EQ(CM_AVFI(record.pM_AVFI.get(), 0).fnGet_iTH_VOBI_M_VOB_STIN(66), 1);
}

TEST(CM_AVFIT, ReportsARangeOfAVob) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    t.fnNew();
    const __int64 start = 90000 * 300;  // 1 s
    Recording r = UniformRecording(4, 100, start);  // 48 frames, 400 sectors
    Recording second = UniformRecording(2, 100, 0);
    second.info.dwFrameRate = 29970;
    t.fnADD_Program(&r.info);
    t.fnADD_Program(&second.info);
    const __int64 end = start + 48 * kFrame625;

    seg s{};
    s.reserved_348[0] = 0x5A;
    ASSERT_EQ(t.fnGet_iTH_VOBI_Info(1, &s, start, end, 0, 0), 1);
    EXPECT_EQ(s.dwSRPN, 1u);
    EXPECT_EQ(s.dwFrameNs, 48u);
    EXPECT_EQ(s.dwDuration, 1920u);
    EXPECT_EQ(s.dwAudioSamples, 92160u);
    EXPECT_EQ(s.llStartPos, 0);
    EXPECT_EQ(s.llEndPos, 400 * 2048);
    EXPECT_EQ(s.dwHeadSize, 200u * 2048);
    EXPECT_EQ(s.dwSkipFrames, 0u);
    EXPECT_EQ(s.reserved_348[0], 0x5A) << "the caller's bytes are left alone";

    // A frame window inside the range narrows it: frames 18..30.
    ASSERT_EQ(t.fnGet_iTH_VOBI_Info(1, &s, start, end, 18, 30), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    EXPECT_EQ(s.dwDuration, 480u);
    EXPECT_EQ(s.llStartPos, 100 * 2048);
    EXPECT_EQ(s.dwSkipFrames, 6u);
    EXPECT_EQ(s.llEndPos, 300 * 2048);
    // A window reaching past the range is ignored.
    ASSERT_EQ(t.fnGet_iTH_VOBI_Info(1, &s, start, end, 18, 49), 1);
    EXPECT_EQ(s.dwFrameNs, 48u);

    // 525/60: one frame is 33.3667 ms, rounded to 33; a range whose start
    // lies behind its end has no positions.
    const __int64 frame525 = 900900;
    ASSERT_EQ(t.fnGet_iTH_VOBI_Info(2, &s, frame525, 2 * frame525, 0, 0), 1);
    EXPECT_EQ(s.dwFrameRate, 29970u);
    EXPECT_EQ(s.dwFrameNs, 1u);
    EXPECT_EQ(s.dwDuration, 33u);
    EXPECT_EQ(s.dwAudioSamples, 1584u);
    EXPECT_EQ(s.llStartPos, 400 * 2048);
    ASSERT_EQ(t.fnGet_iTH_VOBI_Info(2, &s, 2 * frame525, frame525, 0, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 0u);
    EXPECT_EQ(s.llStartPos, 0);
    EXPECT_EQ(s.llEndPos, 0);
    EXPECT_EQ(s.dwHeadSize, 0u);

    EXPECT_EQ(t.fnGet_iTH_VOBI_Info(0, &s, 0, 0, 0, 0), 0);
    EXPECT_EQ(t.fnGet_iTH_VOBI_Info(3, &s, 0, 0, 0, 0), 0);
}

TEST(CM_AVFIT, RoundTripsThroughAFile) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    t.fnNew();
    record.header[0] = 0x12;  // reserved bytes are kept as found
    Recording a = UniformRecording(30, 321, 1234567);
    Recording b = UniformRecording(7, 99);
    b.info.dwAudioCodingBits = 0;
    t.fnADD_Program(&a.info);
    t.fnADD_Program(&b.info);
    t.fnADD_Program(&a.info);
    const std::vector<BYTE> bytes = Serialise(t);
    EXPECT_EQ(t.fnGet_dw_M_AVFIT_EA(), bytes.size() - 1);

    BytesFile file(bytes, 300);
    M_AVFIT loaded;
    CM_AVFIT loader(&file.buffer, &loaded, 300);
    EXPECT_EQ(loader.fndwLoad_M_AVFIT_From_File(), bytes.size());
    EXPECT_EQ(loader.fndwSize(), bytes.size());
    EXPECT_EQ(loader.m_bM_VOB_STI_Ns, 2);
    EXPECT_FALSE(file.buffer.ReadFailed());
    CM_AVFIT again(&loaded);
    EXPECT_EQ(Serialise(again), bytes);
    EXPECT_EQ(again.fnGet_dwTotalVOBISize(), 30u * 321 * 2 + 7 * 99);

    // The loaded table takes further recordings like a built one.
    Recording c = UniformRecording(1, 5);
    ASSERT_EQ(again.fnADD_Program(&c.info), 1);
    EXPECT_EQ(c.info.dwVOBStartAddr, 30u * 321 * 2 + 7 * 99);
    EXPECT_EQ(again.fnGet_c1_M_VOB_STI_Ns(), 2);
}

TEST(CM_AVFIT, LoaderStopsAtTheHeaderOrOutsideTheFile) {
    // No recordings: nothing behind the header is read, even with a count.
    BytesFile empty({0, 0, 0, 5, 0, 0, 0, 7});
    M_AVFIT record;
    CM_AVFIT loader(&empty.buffer, &record, 0);
    loader.m_dwSize = 77;
    EXPECT_EQ(loader.fndwLoad_M_AVFIT_From_File(), 0u);
    EXPECT_FALSE(empty.buffer.ReadFailed());
    EXPECT_EQ(loader.m_dwSize, 77u) << "the size is left as it was";
    EXPECT_EQ(record.header[3], 5);

    const std::vector<BYTE> oneSti = [] {
        std::vector<BYTE> b = {0, 0, 1, 1, 0, 0, 0, 0};
        b.resize(8 + 60, 0);
        return b;
    }();
    std::vector<BYTE> farAvfi = oneSti;
    farAvfi.insert(farAvfi.end(), {0, 1, 0x7F, 0, 0, 0});  // M_VOBI_SA far behind the end
    const struct {
        const char* what;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"header cut short", {0, 0, 1}},
        {"M_VOB_STI beyond the file", {0, 0, 1, 0xFF, 0, 0, 0, 0, 1, 2, 3}},
        {"M_AVFI missing", oneSti},
        {"M_VOBI beyond the file", farAvfi},
    };
    for (const auto& c : cases) {
        BytesFile file(c.bytes);
        M_AVFIT bad;
        EXPECT_EQ(CM_AVFIT(&file.buffer, &bad, 0).fndwLoad_M_AVFIT_From_File(), 0u) << c.what;
        EXPECT_TRUE(file.buffer.ReadFailed()) << c.what;
        EXPECT_TRUE(bad.sti.empty()) << c.what;
        EXPECT_EQ(bad.pM_AVFI, nullptr) << c.what;
    }
}

TEST(CM_AVFIT, FreeAllDataReleasesTheWholeTree) {
    M_AVFIT* record = new M_AVFIT;
    CM_AVFIT t(record);
    t.fnNew();
    Recording r = UniformRecording();
    t.fnADD_Program(&r.info);
    t.fnFreeAllData();  // LeakSanitizer checks that nothing is left
    EXPECT_EQ(t.fnCheckValid(), 0);
    EXPECT_EQ(t.fnGet_c1_M_VOB_STI_Ns(), 0);
    t.fnFreeAllData();
}

// Found by fuzzing: a table that counts recordings but no attribute record
// was written without its M_AVFI, so what was written did not load again.
TEST(CM_AVFIT, WhatIsWrittenLoadsBackWhateverTheCounts) {
    const std::vector<std::vector<BYTE>> inputs = {
        {0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04},  // M_AVFI_Ns set, no M_VOB_STI
    };
    for (const auto& input : inputs) {
        BytesFile file(input);
        M_AVFIT loaded;
        ASSERT_NE(CM_AVFIT(&file.buffer, &loaded, 0).fndwLoad_M_AVFIT_From_File(), 0u);
        const std::vector<BYTE> bytes = Serialise(CM_AVFIT(&loaded));
        BytesFile again(bytes);
        M_AVFIT reloaded;
        CM_AVFIT(&again.buffer, &reloaded, 0).fndwLoad_M_AVFIT_From_File();
        EXPECT_FALSE(again.buffer.ReadFailed());
        EXPECT_EQ(Serialise(CM_AVFIT(&reloaded)), bytes);
    }
    // Attribute records without recordings are not read, so not written.
    M_AVFIT table;
    CM_AVFIT t(&table);
    t.fnNew();
    t.fnSet_c1_M_VOB_STI_Ns(1);
    EXPECT_EQ(Serialise(t).size(), 8u);
}
