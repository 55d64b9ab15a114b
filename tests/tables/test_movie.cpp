// The movie tables: M_AVFIT, its M_AVFI with one M_VOBI per VOB, and the
// VOBs' time maps TMAPI.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Recording.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"
#include "tables/TableTests.h"
#include "tables/attributes.h"
#include "tables/seg.h"

namespace {

constexpr long long S = 2048;  // bytes per sector

std::vector<BYTE> Pattern(size_t n, BYTE from) {
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<BYTE>(from + i);
    return v;
}

// An M_VOBI as on disc: 23 general bytes with VOB_TY, the optional blocks,
// and an empty time map at ADR_OFS 0x1234.
std::vector<BYTE> VobiBytes(WORD vobTy, const std::vector<BYTE>& optional) {
    std::vector<BYTE> b = With(Pattern(23, 0), 0, vobTy, 2);
    b.insert(b.end(), optional.begin(), optional.end());
    b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34});
    return b;
}

// The loaders; an M_AVFI's addresses count from the M_AVFIT at `base`.
Loaded LoadMap(CBuffer* b, DWORD at) {
    TMAPI r;
    r.vobuEntries.assign(30, 0xAA);  // the loader replaces whatever was there
    const DWORD n = CTMAPI(b, &r, at).fndwLoad_TMAPI_From_File();
    return {n, Serialise(CTMAPI(&r)),
            r.tmEntries.empty() && r.vobuEntries.empty() && CTMAPI(&r).fnGet_wVOBU_ENT_Ns() == 0};
}
const LoadAt kVobi =
    Loader<M_VOBI, CM_VOBI>(&CM_VOBI::fndwLoad_M_VOBI_From_File, [](const M_VOBI& r) { return !r.pTMAPI; });
LoadAt Avfi(DWORD base) {
    return [base](CBuffer* b, DWORD at) {
        M_AVFI r;
        const DWORD n = CM_AVFI(b, &r, at, base).fndwLoad_M_AVFI_From_File();
        return Loaded{n, Serialise(CM_AVFI(&r, at - base)), r.vobi.empty() && r.srp.empty()};
    };
}
const LoadAt kAvfit = Loader<M_AVFIT, CM_AVFIT>(&CM_AVFIT::fndwLoad_M_AVFIT_From_File,
                                                [](const M_AVFIT& r) { return r.sti.empty() && !r.pM_AVFI; });

// {result, start, end, head size, skipped frames} for a time range of the
// VOB at 625/50; 7 marks what was not written.
Ints Positions(const CM_VOBI& vobi, __int64 from, __int64 to) {
    DWORD s = 7, e = 7, head = 7, skip = 7;
    const int ok = vobi.fnGet_StartPosAndEndPos(&s, &e, &head, &skip, 0x1000, from, to);
    return Ints({ok, s, e, head, skip});
}

}  // namespace

TEST(MovieTables, LoadersTakeWhatTheyWriteAndRefuseWhatLiesOutsideTheFile) {
    Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(50, {15, 321}), 29970, 4096);
    TMAPI map;
    CTMAPI(&map).fnADD_TMAPI(&r.info);
    // Two VOBs of an M_AVFI 68 bytes into its M_AVFIT, the second with SMLI
    // and AGAPI.
    M_AVFI twoVobs;
    CM_AVFI avfi2(&twoVobs, 68);
    avfi2.fnNew();
    Recording first = MakeRecording({{12, 600}, {12, 400}}, 25000, 0, 123456789);
    Recording second = MakeRecording({{12, 500}}, 25000, 1000);
    ASSERT_EQ(avfi2.fnADD_VOB(1, &first.info) + avfi2.fnADD_VOB(2, &second.info), 2);
    CM_VOBI(&twoVobs.vobi[1]).fnSet_wVOB_TY(0x0088);
    CM_VOBI(&twoVobs.vobi[1]).fnSet_wVOB_A_GAP_LEN1(0xBEEF);
    // Three recordings, the first two alike, and a reserved header byte set.
    M_AVFIT threeRecordings;
    CM_AVFIT three(&threeRecordings);
    three.fnNew();
    threeRecordings.header[0] = 0x12;
    Recording a = UniformRecording(4, 100, 1234567), b = UniformRecording(2, 250), c = UniformRecording(3, 10);
    c.info.dwAudioBitrate = 192;
    for (Recording* x : {&a, &b, &c}) ASSERT_EQ(three.fnADD_Program(&x->info), 1);
    // M_VOBI_SRP_Ns m and n search pointers that all name `to`, then an
    // M_VOBI with a time map of 3000 VOBU entries.
    std::vector<BYTE> vobi = With(VobiBytes(0, {}), 23 + 2, 3000, 2);
    vobi.resize(vobi.size() + 9000, 0x11);
    auto avfi = [&](WORD m, size_t n, DWORD to) { return SamePointers(With({0, 0}, 0, m, 2), n, to, vobi); };
    const std::vector<BYTE> agapi = VobiBytes(0x0008, Pattern(16, 0xA0));
    const std::vector<BYTE> oneSti = With(std::vector<BYTE>(8 + 60, 0), 2, 0x0101, 2);
    std::vector<BYTE> farAvfi = oneSti;  // then an M_AVFI whose M_VOBI_SA lies far behind the end
    farAvfi.insert(farAvfi.end(), {0, 1, 0x7F, 0, 0, 0});
    ExpectRows({
        {"built time map", LoadMap, Serialise(CTMAPI(&map)), true, 7},
        {"M_VOBI with AGAPI", kVobi, agapi, true, 5},
        {"M_VOBI with SMLI", kVobi, VobiBytes(0x0080, Pattern(12, 0xA0)), true, 5},
        {"M_VOBI with both", kVobi, VobiBytes(0x00C0, Pattern(28, 0xA0)), true, 5},
        {"M_VOBI with neither", kVobi, VobiBytes(0, {}), true, 0},
        {"two VOBs", Avfi(100), Serialise(CM_AVFI(&twoVobs, 68)), true, 168},
        {"one large VOB", Avfi(0), avfi(1, 1, 6), true, 0},
        {"three recordings", kAvfit, Serialise(CM_AVFIT(&threeRecordings)), true, 300},
        // Found by fuzzing: recordings counted (M_AVFI_Ns) but no attribute
        // record; M_AVFI must still be written, or the table does not load.
        {"no attribute record", kAvfit, {0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 9, 0, 0}, true, 0},
        {"TMAPI header cut short", LoadMap, {0, 0, 0, 0, 0, 0, 0, 0, 0}, false, 0},
        {"time entries beyond the end", LoadMap, {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}, false, 0},
        {"VOBU entries beyond the end", LoadMap, {0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 1, 2, 3}, false, 0},
        {"M_VOBI cut in its general part", kVobi, Head(agapi, 22), false, 0},
        {"M_VOBI cut in AGAPI", kVobi, Head(agapi, 30), false, 0},
        {"M_VOBI cut in its time map", kVobi, Head(agapi, agapi.size() - 1), false, 0},
        {"VOB count beyond the file", Avfi(0), avfi(0xFFFF, 1, 6), false, 0},
        {"M_VOBI_SA beyond the file", Avfi(0), avfi(1, 1, 0x00100000), false, 0},
        {"M_VOBI_SA plus base beyond 32 bits", Avfi(0x100), avfi(1, 1, 0xFFFFFFF0u), false, 0},
        {"two pointers to one large M_VOBI", Avfi(0), avfi(2, 2, 10), false, 0},
        {"M_AVFI header cut short", Avfi(0), {0}, false, 0},
        {"M_AVFIT header cut short", kAvfit, {0, 0, 1}, false, 0},
        {"M_VOB_STI beyond the file", kAvfit, {0, 0, 1, 0xFF, 0, 0, 0, 0, 1, 2, 3}, false, 0},
        {"M_AVFI missing", kAvfit, oneSti, false, 0},
        {"M_VOBI beyond the file", kAvfit, farAvfi, false, 0},
    });
    // AGAPI alone on disc still sits behind SMLI's place in memory.
    BytesFile file(agapi);
    M_VOBI record;
    CM_VOBI loader(&file.buffer, &record, 0);
    ASSERT_EQ(loader.fndwLoad_M_VOBI_From_File(), agapi.size());
    EXPECT_EQ(Ints({loader.fnGet_wVOB_A_GAP_LEN2(), record.bytes[M_VOBI::kSMLI], loader.m_dwTMAPISize}),
              Ints({0xAEAF, 0, 10}));
}

TEST(CM_VOBI, NewRecordAndItsPositionsWalkTheTimeMap) {
    // Four VOBUs of 12 frames (24 fields), 100..400 sectors, VOB at sector 10.
    const __int64 vobStart = 27000000;
    Recording r = MakeRecording({{12, 100}, {12, 200}, {12, 300}, {12, 400}}, 25000, 10, vobStart);
    M_VOBI record;
    CM_VOBI vobi(&record);
    ASSERT_EQ(vobi.fnADD_VOBI(3, &r.info), 1);
    EXPECT_EQ(Ints({vobi.fnGet_wVOB_TY(), vobi.fnGet_c1_M_VOB_STIN(), vobi.fnGet_ll_VOB_V_S_PTS(),
                    vobi.fnGet_ll_VOB_V_E_PTS(), vobi.fnGet_dwTotal_TMAPI_Size()}),
              Ints({0, 3, vobStart, vobStart + 48 * kFrame625, 1000}));
    const DWORD mapSize = 10 + 7 * 1 + 3 * 4;
    EXPECT_EQ(vobi.fndwSize(), 51 + mapSize) << "both optional blocks counted, whatever VOB_TY says";
    EXPECT_EQ(Serialise(vobi).size(), 23 + mapSize);
    // {result, start, end, head size, skipped frames} for time ranges.
    auto at = [&](int frames) { return vobStart + frames * kFrame625; };
    const struct {
        __int64 from, to;
        Ints expected;
        const char* why;
    } cases[] = {
        {0, 0, {1, 10 * S, 1010 * S, 100 * S, 0}, "the whole VOB"},
        {at(0), at(20), {1, 10 * S, 310 * S, 300 * S, 0}, "frame 20 in VOBU 2: the head is VOBUs 1 and 2"},
        {at(30), at(1000), {1, 310 * S, 1010 * S, 700 * S, 6}, "6 frames into VOBU 3; an end past the last VOBU"},
        {at(47), at(48), {1, 610 * S, 1010 * S, 400 * S, 11 - 3}, "near the end of the last VOBU, 3 frames fewer"},
        {at(-1), at(10), {1, 0xFFFFFFFF, 110 * S, 0, 0}, "a start before the VOB is never reached"},
        {at(10), at(5), {0, 7, 7, 7, 7}, "start behind end"},
    };
    for (const auto& c : cases) EXPECT_EQ(Positions(vobi, c.from, c.to), c.expected) << c.why;
    DWORD e = 0, head = 0, skip = 0;
    EXPECT_EQ(vobi.fnGet_StartPosAndEndPos(nullptr, &e, &head, &skip, 0x1000, at(0), at(5)), 0);
    // The video ends 12 frames after the last VOBU: a range in that gap
    // falls back on the last VOBU.
    vobi.fnSet_c6_VOB_V_E_PTM(Ptm(at(60)).data(), 6);
    EXPECT_EQ(Positions(vobi, at(55), at(58)), Ints({1, 610 * S, 1010 * S, 400 * S, 10}));
    // A last VOBU of 2 frames: backing off 3 frames stops at its first frame
    // instead of wrapping around.
    r = MakeRecording({{12, 100}, {2, 10}}, 25000, 0, 0);
    ASSERT_EQ(vobi.fnADD_VOBI(1, &r.info), 1);
    EXPECT_EQ(Positions(vobi, 13 * kFrame625, 14 * kFrame625), Ints({1, 100 * S, 110 * S, 10 * S, 0}));
    // A time map without VOBU entries: the whole VOB is its start sector,
    // any other range fails and writes nothing.
    r = MakeRecording({}, 25000, 77, 0);
    ASSERT_EQ(vobi.fnADD_VOBI(1, &r.info), 1);
    EXPECT_EQ(Positions(vobi, 0, 0), Ints({1, 77 * S, 77 * S, 0, 0}));
    EXPECT_EQ(Positions(vobi, 0, 1000), Ints({0, 7, 7, 7, 7}));
}

namespace {

// V_ATR, AST_Ns and A_ATR0 of slot 0 of a scratch table filled from info.
Ints AttributesOf(const VR_MPEGFILE_INFO& info) {
    M_AVFIT record;
    record.sti.assign(60, 0xFF);
    CM_AVFIT t(&record);
    EXPECT_EQ(t.fnSet_M_VOB_STI_Data(0, &info), 1);
    std::vector<BYTE> a(3, 0xEE), rest(48, 0xEE);
    t.fnGet_c3_A_ATR0(0, a.data());
    t.fnGet_c48_SP_PLT(0, rest.data());
    EXPECT_EQ(Ints({t.fnGet_c1_SPST_Ns(0), rest[47]}), Ints({0, 0}));
    // Decoded again: the channels and mode a query reports.
    t.fnSet_c1_M_VOB_STI_Ns(1);
    seg s{};
    EXPECT_EQ(t.fnGet_CellInfoFromM_VOB_STI(1, &s), 1);
    return Ints({t.fnGet_wV_ATR(0), t.fnGet_c1_AST_Ns(0), a[0], a[1], a[2], s.dwChannels, s.dwAudioMode});
}

}  // namespace

// Every value of V_ATR, A_ATR (every seventh) and VOBU_ENT unpacks and
// packs back as it was, and fields lie where the format puts them.
TEST(Attributes, EveryValuePacksBackAndFieldsLieInPlace) {
    for (DWORD v = 0; v <= 0xFFFF; ++v) ASSERT_EQ(vrm::VideoAttributes::Unpack(static_cast<WORD>(v)).Pack(), v);
    for (DWORD v = 0; v <= 0xFFFFFF; v += 7) {
        ASSERT_EQ(vrm::AudioAttributes::Unpack(v).Pack(), v);
        const BYTE in[3] = {static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v)};
        BYTE out[3] = {};
        vrm::VobuEntry::Unpack(in).Pack(out);
        ASSERT_EQ(std::memcmp(in, out, 3), 0) << v;
    }
    const vrm::VideoAttributes video = vrm::VideoAttributes::Unpack(0x5420);  // MPEG-2, 625/50, 16:9, 544 wide
    EXPECT_EQ(Ints({video.compression, video.tvSystem, video.aspect, video.resolution}), Ints({1, 1, 1, 4}));
    const vrm::AudioAttributes audio = vrm::AudioAttributes::Unpack(0x81010E);  // LPCM stereo
    EXPECT_EQ(Ints({audio.coding, audio.flags, audio.channels, audio.bitrate}), Ints({4, 1, 1, 14}));
    const BYTE entry[3] = {0x20, 0x31, 0x2C};
    const vrm::VobuEntry vobu = vrm::VobuEntry::Unpack(entry);
    EXPECT_EQ(Ints({vobu.firstRefSize, vobu.playbackFields, vobu.sectors}), Ints({32, 12, 300}));
}

TEST(CM_AVFIT, EncodesStreamAttributes) {
    Recording r = UniformRecording();
    VR_MPEGFILE_INFO info = r.info;
    // Expected: AST_Ns, A_ATR0, then the channels and mode decoded again.
    // Channels 0: an analysis that gives only the mode.
    const struct {
        DWORD coding, mode, channels, rate;
        Ints expected;
    } audio[] = {
        {0, 0, 2, 256, {1, 0x01, 0xC1, 0x09, 2, 0}},  // AC-3 stereo 256 kbit/s, as a recorder writes it
        {0, 3, 1, 192, {1, 0x01, 0xC0, 0x07, 1, 3}},  // AC-3 mono
        {0, 0, 6, 448, {1, 0x01, 0xC5, 0x0C, 6, 0}},  // AC-3 5.1
        {0, 2, 2, 192, {1, 0x01, 0xC9, 0x07, 2, 2}},  // AC-3 1+1: dual mono
        {0x400000, 0, 2, 224, {1, 0x41, 0x01, 0x08, 2, 0}},  // MPEG-1 stereo 224 kbit/s
        {0x400000, 1, 0, 224, {1, 0x41, 0x01, 0x08, 2, 0}},  // joint stereo
        {0x400000, 2, 0, 64, {1, 0x41, 0x09, 0x01, 2, 2}},  // dual channel: dual mono
        {0x400000, 3, 1, 128, {1, 0x41, 0x00, 0x05, 1, 3}},  // single channel
        {0x400000, 0, 2, 448, {1, 0x41, 0x01, 0x00, 2, 0}},  // 448 kbit/s exists for AC-3 only
        {0x800000, 0, 2, 0, {1, 0x81, 0x01, 0x0E, 2, 0}},  // linear PCM stereo
        {0x800000, 3, 1, 0, {1, 0x81, 0x00, 0x0D, 1, 3}},  // linear PCM mono
        {0x800000, 0, 12, 0, {1, 0x81, 0x07, 0x0E, 8, 0}},  // beyond eight channels: the highest code
        {0x600000, 0, 2, 224, {1, 0x61, 0x01, 0x00, 2, 0}},  // MPEG-2 with extension: no rate code
        {0x123456, 0, 2, 224, {1, 0x00, 0x00, 0x00, 1, 3}},  // no code: decodes as mono
        {0, 0, 0, 0, {0, 0, 0, 0, 1, 3}},  // no audio (sampling rate 0 too): no audio stream
    };
    for (const auto& a : audio) {
        info.dwAudioCodingBits = a.coding;
        info.dwAudioMode = a.mode;
        info.dwAudioChannels = a.channels;
        info.dwAudioBitrate = a.rate;
        info.dwSampleRate = a.expected[0] ? 48000 : 0;
        const Ints got = AttributesOf(info);
        EXPECT_EQ(Ints(got.begin() + 1, got.end()), a.expected) << std::hex << a.coding << " " << a.rate;
    }
    const struct {
        DWORD mpeg2, rate;
        BYTE aspect;
        DWORD width, height;
        WORD expected;
    } video[] = {
        {1, 29970, 2, 720, 480, 0x4000}, {1, 25000, 3, 720, 576, 0x5400}, {0, 29970, 2, 352, 240, 0x0018},
        {0, 29970, 2, 640, 480, 0x0018}, {0, 25000, 2, 352, 576, 0x1010}, {1, 29970, 2, 704, 480, 0x4008},
        {1, 29970, 2, 544, 480, 0x4020}, {1, 29970, 2, 480, 480, 0x4028},
    };
    info = r.info;
    for (const auto& v : video) {
        info.dwMpeg2 = v.mpeg2;
        info.dwFrameRate = v.rate;
        info.bAspectRatio = v.aspect;
        info.dwWidth = v.width;
        info.dwHeight = v.height;
        EXPECT_EQ(AttributesOf(info)[0], v.expected) << v.width << "x" << v.height;
    }
}

TEST(CM_AVFIT, StopsAtSixtyFiveStreamInformationRecords) {
    M_AVFIT record;
    CM_AVFIT t(&record);
    t.fnNew();
    // 66 distinct attribute sets: 2 video codings × 3 widths × 11 bit rates.
    const DWORD widths[3] = {720, 704, 544};
    const DWORD rates[11] = {64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    auto distinct = [&](DWORD k) {
        Recording r = UniformRecording(1, 10);
        r.info.dwMpeg2 = k % 2;
        r.info.dwWidth = widths[(k / 2) % 3];
        r.info.dwAudioBitrate = rates[k / 6];
        return r;
    };
    for (DWORD k = 0; k < 65; ++k) {
        Recording r = distinct(k);
        ASSERT_EQ(t.fnADD_Program(&r.info), 1) << k;
    }
    // Getters answer indexes 0..64 only; there is no slot 66.
    EXPECT_EQ(Ints({t.fnGet_c1_M_VOB_STI_Ns(), static_cast<long long>(record.sti.size()), t.fnGet_wV_ATR(65),
                    t.fnSet_wV_ATR(66, 1)}),
              Ints({65, 66 * 60, 0, 0}));
    const std::vector<BYTE> before = Serialise(t);
    Recording extra = distinct(65);
    EXPECT_EQ(Ints({t.fnADD_M_VOB_STI(&extra.info), t.fnADD_Program(&extra.info)}), Ints(2, 0));
    EXPECT_EQ(Serialise(t), before) << "nothing added";
    // A recording equal to an existing record still registers.
    Recording again = distinct(0);
    EXPECT_EQ(t.fnADD_Program(&again.info), 1);
    EXPECT_EQ(CM_AVFI(record.pM_AVFI.get(), 0).fnGet_iTH_VOBI_M_VOB_STIN(66), 1);
}

TEST(CTMAPI, BuildsMapsOfBothSystems) {
    // 625/50, 250 frames: 20 VOBUs of 12 frames, then one of 10. The
    // 500-field boundary falls in VOBU 21 (fields 480..499): it is built into
    // the spare slot, which is not written.
    std::vector<std::pair<BYTE, DWORD>> vobus(20, {12, 100});
    vobus.push_back({10, 40});
    Recording r = MakeRecording(vobus, 25000, 777);
    TMAPI record;
    CTMAPI map(&record);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(Int(map.fnGet_wTM_ENT_Ns()), 1);
    EXPECT_EQ(Int(map.fnGet_wVOBU_ENT_Ns()), 21);
    EXPECT_EQ(Int(map.fnGet_wVOBU_ENTN(1)), 21);
    EXPECT_EQ(Int(map.fnGet_c1_TM_DIFF(1)), 20);
    EXPECT_EQ(Int(map.fnGet_dwVOBU_ADR(1)), 2000);
    EXPECT_EQ(Int(map.fnGet_dwTotal_VOBU_ENT_Size()), 2040);
    EXPECT_EQ(map.fnGet_iTH_TM_ENT_Address(2), nullptr) << "one spare slot only";
    std::vector<BYTE> bytes = Serialise(map);
    ASSERT_EQ(bytes.size(), 10u + 7 + 3 * 21);
    EXPECT_EQ(Head(bytes, 17), (std::vector<BYTE>{0, 1, 0, 21, 0, 0, 0, 0, 0x03, 0x09, 0, 1, 0, 0, 0, 0, 0}));
    // 525/60, 301 frames: 20 VOBUs of 15 frames and one of 1; the 600-field
    // boundary is the end of VOBU 20, and both entries are written.
    vobus.assign(20, {15, 300});
    vobus.push_back({1, 5});
    r = MakeRecording(vobus, 29970);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(Ints({map.fnGet_wTM_ENT_Ns(), map.fnGet_wVOBU_ENTN(1), map.fnGet_c1_TM_DIFF(1), map.fnGet_dwVOBU_ADR(1)}),
              Ints({2, 20, 30, 19 * 300}));
    bytes = Serialise(map);
    EXPECT_EQ(bytes.size(), 10u + 7 * 2 + 3 * 21);
    // A VOBU of 15 frames is 30 fields; 300 sectors is 01 2C in the low 10 bits.
    EXPECT_EQ(Bytes(bytes.data() + 24, 3), (std::vector<BYTE>{0, (30 << 2) | 0x01, 0x2C}));
    // The entry count: 2100 frames at 525/60 give 8 (the constant lies just
    // above 1/300), multiples of 250 at 625/50 exactly the quotient.
    const struct {
        DWORD rate, frames;
        WORD expected;
    } counts[] = {{29970, 2100, 8}, {29970, 299, 1}, {29970, 0, 0}, {25000, 2500, 10}, {25000, 251, 2}};
    for (const auto& c : counts) {
        r = MakeRecording({}, c.rate);
        r.info.dwFrameNs = c.frames;
        map.fnADD_TMAPI(&r.info);
        EXPECT_EQ(map.fnGet_wTM_ENT_Ns(), c.expected) << c.rate << " " << c.frames;
    }
}

TEST(CTMAPI, BuilderStaysInsideItsArraysAndBitFields) {
    // Playback times far beyond the frame count: only TM_ENT_Ns + 1 entries
    // exist, the surplus boundaries are dropped (ASan checks the writes).
    Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(200, {30, 10}), 25000);
    r.info.dwFrameNs = 10;
    TMAPI record;
    CTMAPI map(&record);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(Ints({map.fnGet_wTM_ENT_Ns(), static_cast<long long>(record.tmEntries.size())}), Ints({1, 2 * 7}));
    EXPECT_EQ(map.fnGet_wVOBU_ENTN(1), 9) << "the first boundary keeps the spare slot";
    // A VOBU of 40 frames (80 fields) and one of 5000 sectors are clamped to
    // 63 fields and 1023 sectors; the first reference size is untouched.
    r = MakeRecording({{40, 5000}, {10, 1023}}, 29970);
    ASSERT_EQ(map.fnADD_TMAPI(&r.info), 1);
    EXPECT_EQ(Ints({map.fnGet_bVOBU_PB_TM(0), map.fnGet_wVOBU_SZ(0), map.fnGet_b1STREF_SZ(0), map.fnGet_wVOBU_SZ(1)}),
              Ints({63, 1023, 0, 1023}));
    EXPECT_EQ(Ints({map.fnSet_wVOBU_ENTN(2, 7), map.fnSet_c3_VOBU_Entry(2, 1, 1, 1), map.fnGet_wVOBU_SZ(0xFFFFFFFFu)}),
              Ints(3, 0))
        << "beyond the spare slot and the VOBU entries";
    // A count raised by hand beyond the arrays serialises as zero entries,
    // still exactly as long as the header says.
    map.fnSet_wVOBU_ENT_Ns(5);
    const std::vector<BYTE> bytes = Serialise(map);
    EXPECT_EQ(bytes.size(), 10u + 7 + 3 * 5);
    EXPECT_EQ(bytes.back(), 0);
    EXPECT_EQ(map.fnGet_dwTotal_VOBU_ENT_Size(), 2046u) << "only the entries that exist count";
}
