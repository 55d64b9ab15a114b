// The still tables: S_AVFIT with its attribute records, the S_AVFI with its
// VOGs (S_VOGI), and the additional audio S_AAFI with its groups (S_AAGI).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

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

// 2003-07-04 15:09:30 UTC as a REC_TM.
const std::vector<BYTE> kRecTm = {0x1F, 0x4D, 0xC8, 0xF2, 0x5E};
// A sub-table placed `offset` bytes into a table that starts at file offset
// `base`; the rest of the file is filler that must never be taken for data.
std::vector<BYTE> FileWith(const std::vector<BYTE>& part, DWORD base, DWORD offset, size_t tail) {
    std::vector<BYTE> file(base + offset + part.size() + tail, 0xEE);
    std::copy(part.begin(), part.end(), file.begin() + base + offset);
    return file;
}

// The video (V_ATR) and audio (OA_ATR) attributes a new record gets.
Ints Attr(const StillFile& file) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    table.fnADD_S_VOB_STI(&file.info);
    return Ints({table.fnGet_wV_ATR(0), table.fnGet_wOA_ATR(0)});
}

}  // namespace

TEST(S_AVFIT, StillFilesShareEqualAttributesAndAreQueried) {
    vrm::ScopedTestClock clock(MakeTime(2003, 7, 4, 15, 9, 30), 0);
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    seg s{};
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(1, &s, 3), 0) << "no S_AVFI yet";
    Ints stiNs;
    for (DWORD width : {720, 720, 704, 544}) {
        const DWORD n = static_cast<DWORD>(stiNs.size());
        StillFile file(1 + n % 2, 10 * (n + 1));
        file.info.dwWidth = width;
        ASSERT_EQ(table.fnADD_Program(&file.info), 1);
        stiNs.push_back(table.fnGet_c1_S_VOB_STI_Ns());
    }
    EXPECT_EQ(stiNs, Ints({1, 1, 2, 3}));
    EXPECT_EQ(table.fnGet_c1_S_AVFI_Ns(), 1);
    EXPECT_EQ(record.sti.size(), 4u * 54) << "a spare slot behind the last record";
    CS_AVFI avfi(record.pS_AVFI.get(), 0);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 4);
    EXPECT_EQ(Ints({avfi.fnGet_iTH_VOGI_S_VOB_STIN(1), avfi.fnGet_iTH_VOGI_S_VOB_STIN(2),
                    avfi.fnGet_iTH_VOGI_S_VOB_STIN(3), avfi.fnGet_iTH_VOGI_S_VOB_STIN(4)}),
              Ints({1, 1, 2, 3}));
    // Three records are written before the S_AVFI, whose addresses count
    // from the table's first byte: S_AVFI at 8 + 3 x 54 = 170.
    const std::vector<BYTE> bytes = Serialise(table);
    EXPECT_EQ(Ints({bytes[170], bytes[171]}), Ints({0, 4})) << "S_VOGI_SRP_Ns";
    EXPECT_EQ(avfi.fnGet_dwS_VOGI_SA(0), 170u + 2 + 16);
    EXPECT_EQ(bytes[170 + 2 + 16], 1) << "VOG 1's S_VOB_Ns where its pointer says";
    EXPECT_EQ(table.fnGet_wV_ATR(2), 0x4020);
    EXPECT_EQ(table.fnGet_dw_S_AVFIT_EA(), bytes.size() - 1);
    // VOG 1: one picture of 3 sectors at sector 10, shown 3 s.
    s.dwSkipFrames = s.dwAudioSamples = 99;
    ASSERT_EQ(table.fnGet_iTH_VOGI_Info(1, &s, 3), 1);
    EXPECT_EQ(Ints({s.dwSRPN, s.dwCellType, s.dwWidth, s.dwFrameNs, s.dwVideoFrames, s.dwAudioSamples, s.dwSkipFrames,
                    s.dwDuration, s.llStartPos, s.llEndPos, s.dwHeadSize}),
              Ints({1, 1, 720, 1, 1, 0, 0, 3000, 10 * 2048, 13 * 2048, 3 * 2048}));
    // The recording time is forwarded to the S_AVFI with the same VOG number.
    BYTE tm[5] = {};
    ASSERT_EQ(table.fnGet_iTH_VOGI_REC_TM(1, tm), 1);
    EXPECT_EQ(Bytes(tm, 5), kRecTm);
    EXPECT_EQ(table.fnGet_iTH_VOGI_REC_TM(5, tm), 0);
    seg untouched{};
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(0, &untouched, 3), 0);
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(5, &untouched, 3), 0);
    CS_VOGI(&record.pS_AVFI->vogi[0]).fnSet_c1_S_VOB_STIN(9);
    EXPECT_EQ(table.fnGet_iTH_VOGI_Info(1, &untouched, 3), 0) << "names no S_VOB_STI";
    EXPECT_EQ(untouched.dwSRPN, 0u);
}

TEST(S_AVFIT, PictureAttributes) {
    StillFile file;
    EXPECT_EQ(Attr(file), Ints({0x4000, 0})) << "no audio";
    file.info.dwMpeg2 = 0;
    file.info.dwFrameRate = 25000;
    file.info.bAspectRatio = 3;
    EXPECT_EQ(Attr(file)[0], 0x1400);
    const struct {
        DWORD width, height;
        WORD bits;
    } sizes[] = {{720, 576, 0x00}, {704, 576, 0x08}, {352, 576, 0x10}, {352, 480, 0x10},
                 {352, 288, 0x18}, {544, 576, 0x20}, {480, 576, 0x28}, {640, 480, 0x18}};
    for (const auto& size : sizes) {
        StillFile f;
        f.info.dwWidth = size.width;
        f.info.dwHeight = size.height;
        EXPECT_EQ(Attr(f)[0] & 0x38, size.bits) << size.width << " x " << size.height;
    }
    const struct {
        DWORD coding, mode;
        WORD oaAtr;
        const char* what;
    } audio[] = {
        {0, 0, 0x00C0, "AC-3"},
        {0x400000, 0, 0x4001, "MPEG stereo"},
        {0x400000, 1, 0x4001, "joint stereo"},
        {0x400000, 2, 0x4009, "dual channel"},
        {0x400000, 3, 0x4000, "single channel"},
        {0x800000, 0, 0x8001, "linear PCM stereo"},
        {0x600000, 0, 0x6000, "MPEG-2 with extension"},
        {0x200000, 0, 0, "unknown coding"},
    };
    for (const auto& a : audio) EXPECT_EQ(Attr(StillFile().WithAudio(a.coding, a.mode))[1], a.oaAtr) << a.what;
    StillFile noBitrate = StillFile().WithAudio(0x400000, 0);
    noBitrate.info.dwAudioBitrate = 0;
    EXPECT_EQ(Attr(noBitrate)[1], 0);
}

TEST(S_AVFIT, DecodingAttributesForCellQueries) {
    S_AVFIT record{};
    CS_AVFIT table(&record);
    table.fnNew();
    StillFile pal352;
    pal352.info.dwFrameRate = 25000;
    pal352.info.dwWidth = 352;
    pal352.info.dwHeight = 576;
    pal352.info.bAspectRatio = 3;
    pal352.WithAudio(0x400000, 2);
    StillFile odd;
    odd.info.dwWidth = 640;
    odd.info.dwMpeg2 = 0;
    ASSERT_EQ(table.fnADD_S_VOB_STI(&pal352.info), 1);
    ASSERT_EQ(table.fnADD_S_VOB_STI(&odd.info), 2);
    seg s{};
    auto video = [&] { return Ints({s.dwMpegVersion, s.dwFrameRate, s.dwWidth, s.dwHeight, s.dwWide}); };
    auto audio = [&] { return Ints({s.dwAudioCoding, s.dwAudioLayer, s.dwSampleRate, s.dwChannels, s.dwAudioMode}); };
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(1, &s), 1);
    EXPECT_EQ(video(), Ints({2, 25000, 352, 576, 1}));
    EXPECT_EQ(audio(), Ints({2, 2, 48000, 2, 2}));
    // A file without audio leaves the audio fields as they were.
    s.dwAudioCoding = s.dwAudioLayer = s.dwSampleRate = s.dwChannels = s.dwAudioMode = 77;
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(video(), Ints({0, 29970, 352, 240, 0}));
    EXPECT_EQ(audio(), Ints(5, 77));
    // Stereo and single channel; resolution codes 6 and 7 leave the size.
    table.fnSet_wOA_ATR(1, 0x4001);
    table.fnSet_wV_ATR(1, 0x0030);
    s.dwWidth = s.dwHeight = 5;
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(Ints({s.dwChannels, s.dwAudioMode, s.dwWidth, s.dwHeight}), Ints({2, 0, 5, 5}));
    table.fnSet_wOA_ATR(1, 0x00C0);
    ASSERT_EQ(table.fnGet_CellInfoFromS_VOB_STI(2, &s), 1);
    EXPECT_EQ(Ints({s.dwAudioCoding, s.dwChannels, s.dwAudioMode}), Ints({0, 1, 3}));
    EXPECT_EQ(Ints({table.fnGet_CellInfoFromS_VOB_STI(0, &s), table.fnGet_CellInfoFromS_VOB_STI(3, &s),
                    table.fnGet_CellInfoFromS_VOB_STI(1, nullptr)}),
              Ints(3, 0));
}

TEST(S_AVFIT, AttributeRecordsStopWhereTheGettersEnd) {
    // Still file i gets an attribute set of its own for i < 84.
    auto distinct = [](DWORD i) {
        static const DWORD widths[6] = {720, 704, 352, 352, 544, 480};
        static const DWORD heights[6] = {480, 480, 480, 240, 480, 480};
        static const DWORD audio[7][2] = {{1, 0},        {0, 0},        {0x400000, 0}, {0x400000, 2},
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
    CS_AVFI avfi(record.pS_AVFI.get(), 0);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 65);
    EXPECT_EQ(table.fnADD_Program(distinct(3).Info()), 1) << "existing attributes are still shared";
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_S_VOB_STIN(66), 4);
    // With a count raised by hand: getters answer up to index 64, setters
    // below the count; there is no S_AA_STI, and a palette is 48 bytes.
    table.fnSet_c1_S_VOB_STI_Ns(66);
    record.sti.resize(67 * 54);
    BYTE palette[49] = {};
    EXPECT_EQ(Ints({table.fnGet_wV_ATR(65), table.fnSet_wV_ATR(65, 1), table.fnSet_wV_ATR(66, 1),
                    table.fnSet_wAA_ATR(0, 1), table.fnSet_c48_SP_PLT(0, palette, 49)}),
              Ints({0, 1, 0, 0, 0}));
    EXPECT_EQ(table.fnGet_iTH_S_VOB_STI_Address(67), nullptr);
    StillFile tooMany(256);
    EXPECT_EQ(Ints({table.fnADD_Program(&tooMany.info), table.fnADD_Program(nullptr), avfi.fnGet_wS_VOGI_SRP_Ns()}),
              Ints({0, 0, 66}));
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
        for (StillFile* f : {&a, &b, &c}) ASSERT_EQ(table.fnADD_Program(&f->info), 1);
        // Additional audio on pictures of the first VOG.
        CS_VOGI vog(&record.pS_AVFI->vogi[0]);
        for (const auto& e : {std::array<BYTE, 4>{1, 0xC0, 2, 1}, std::array<BYTE, 4>{2, 0x80, 1, 3}}) {
            vog.fnSet_c1_S_VOB_ENT_TY(e[0], e[1]);
            vog.fnSet_bThisType(e[0], e[1]);
            vog.fnSet_wS_AAGI_SRPN(e[0], e[2]);  // group e[2], entry e[3]
            vog.fnSet_c1_AA_ENTN(e[0], e[3]);
        }
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
        bytes = Serialise(table);
    }
    DWORD Load(const std::vector<BYTE>& file, S_AVFIT& into, DWORD at) {
        BytesFile f(file);
        const DWORD n = CS_AVFIT(&f.buffer, &into, at).fndwLoad_S_AVFIT_From_File();
        failed = f.buffer.ReadFailed();
        return n;
    }
    S_AVFIT record{};
    std::vector<BYTE> bytes;
    bool failed = false;
};

TEST_F(S_AVFIT_Full, RoundTripIsByteForByte) {
    // 8 + 3 x 54 + S_AVFI (2 + 12 + VOGs 18+6+9+5+2, 18+2, 18+3x6) + 2 x 2 +
    // S_AAFI (2 + 8 + 6+15 + 6+5).
    ASSERT_EQ(bytes.size(), 8u + 162 + (14 + 40 + 20 + 36) + 4 + (10 + 21 + 11));
    EXPECT_EQ(bytes[3], 2) << "S_AA_STI_Ns";
    // Placed inside a larger file at a start address, as in VR_MANGR.IFO.
    // Owned by the table from here: fnFreeAllData releases it at the end.
    S_AVFIT& loaded = *new S_AVFIT{};
    BytesFile f(FileWith(bytes, 1000, 0, 100));
    CS_AVFIT reader(&f.buffer, &loaded, 1000);
    ASSERT_EQ(reader.fndwLoad_S_AVFIT_From_File(), bytes.size());
    EXPECT_EQ(reader.fndwSize(), bytes.size());
    EXPECT_FALSE(f.buffer.ReadFailed());
    EXPECT_EQ(loaded.sti.size(), 4u * 54) << "spare slot";
    EXPECT_EQ(loaded.aaSti.size(), 3u * 2) << "spare slot";
    CS_AVFIT again(&loaded);
    EXPECT_EQ(Serialise(again), bytes);
    EXPECT_EQ(again.fnGet_wAA_ATR(1), 0x8009);
    CS_VOGI vog(&loaded.pS_AVFI->vogi[0]);
    EXPECT_EQ(Ints({vog.fnGet_wS_AAGI_SRPN(2), vog.fnGet_c1_AA_ENTN(1)}), Ints({1, 1}));
    EXPECT_EQ(CS_AAGI(&loaded.pS_AAFI->groups[1]).fnGet_dwS_AAG_SA(), 0x77u);
    EXPECT_EQ(CS_AAFI(loaded.pS_AAFI.get(), 0).fnGet_dwS_AAGI_SA(1), bytes.size() - 11)
        << "from the S_AVFIT's first byte";
    // An edit after loading goes on from the loaded state.
    StillFile more(1, 400);
    more.WithAudio(0x400000, 0);
    ASSERT_EQ(again.fnADD_Program(&more.info), 1);
    EXPECT_EQ(again.fnGet_c1_S_VOB_STI_Ns(), 3) << "shares the first attribute set";
    EXPECT_EQ(Serialise(again).size(), bytes.size() + 4 + 24);
    again.fnFreeAllData();
    EXPECT_EQ(again.m_pRecord, nullptr);
}

TEST_F(S_AVFIT_Full, TruncatedOrGarbledTablesFailToLoad) {
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        S_AVFIT loaded{};
        ASSERT_EQ(Load(Head(bytes, cut), loaded, 0), 0u) << "cut at " << cut;
        EXPECT_TRUE(failed || cut == 0) << "cut at " << cut;
        EXPECT_TRUE(loaded.pS_AVFI == nullptr && loaded.pS_AAFI == nullptr) << "cut at " << cut;
    }
    // S_VOB_STI_Ns, S_AA_STI_Ns, and the search pointer counts of S_AVFI and
    // S_AAFI (the loader must pass them the right base and end).
    for (size_t offset : {size_t{2}, size_t{3}, size_t{8 + 162}, bytes.size() - (10 + 21 + 11)}) {
        S_AVFIT loaded{};
        EXPECT_EQ(Load(With(bytes, offset, 0xFF), loaded, 0), 0u) << offset;
        EXPECT_TRUE(failed) << offset;
        EXPECT_TRUE(loaded.sti.empty()) << offset;
    }
    S_AVFIT loaded{};
    EXPECT_EQ(Load(bytes, loaded, static_cast<DWORD>(bytes.size())), 0u) << "start at the end of the file";
    EXPECT_TRUE(failed);
}

TEST_F(S_AVFIT_Full, TablesWithoutStillPicturesAreEightBytes) {
    S_AVFIT fresh{};
    CS_AVFIT empty(&fresh);
    ASSERT_EQ(empty.fnSetZero(), 1);
    ASSERT_EQ(empty.fnNew(), 1);
    EXPECT_EQ(empty.fndwSize(), 8u);
    EXPECT_EQ(Serialise(empty), (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 7}));
    EXPECT_EQ(empty.fnReadData(nullptr), 0u);
    CS_AVFIT unbound;
    StillFile file;
    EXPECT_EQ(Ints({unbound.fnCheckValid(), unbound.fnNew(), unbound.fnSetZero(), unbound.fnGet_dw_S_AVFIT_EA(),
                    unbound.fnSet_c1_S_AVFI_Ns(1), unbound.fnADD_Program(&file.info)}),
              Ints(6, 0));
    // The loader reads nothing behind the header of a table without still
    // pictures, so the serialiser writes nothing there either, additional
    // audio or not.
    CS_AVFIT table(&record);
    table.fnSet_c1_S_AVFI_Ns(0);
    EXPECT_EQ(Serialise(table), (std::vector<BYTE>{0, 1, 3, 2, 0, 0, 0, 7}));
    // Counts raised without the records behind them are written as zeros,
    // exactly as long as reported, and load back.
    table.fnSet_c1_S_AVFI_Ns(1);
    table.fnSet_c1_S_VOB_STI_Ns(5);
    table.fnSet_c1_S_AA_STI_Ns(7);
    record.pS_AAFI.reset();
    const std::vector<BYTE> raised = Serialise(table);
    S_AVFIT loaded{};
    EXPECT_EQ(Load(raised, loaded, 0), raised.size());
}

namespace {

// An S_AVFI holding one VOG with one entry of each type (0x00, 0x40, 0x80,
// 0xC0), placed kAvfiOffset bytes into an S_AVFIT at file offset kAvfiBase.
constexpr DWORD kAvfiBase = 200;
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

DWORD LoadAvfi(CBuffer* buffer, S_AVFI& record) {
    return CS_AVFI(buffer, &record, kAvfiBase + kAvfiOffset, kAvfiBase).fndwLoad_S_AVFI_From_File();
}

}  // namespace

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
    EXPECT_EQ(avfi.fnGet_dwS_VOGI_SA(0), 46u);
    EXPECT_EQ(CS_VOGI(&record.vogi[0]).fndwDataSize(), 20u);
    DWORD start = 0, end = 0;
    ASSERT_EQ(avfi.fnGet_iTH_VOGI_StartPosAndEndPos(1, &start, &end), 1);
    EXPECT_EQ(Ints({start, end}), Ints({10 * 2048, 13 * 2048}));
    BYTE tm[5] = {};
    ASSERT_EQ(avfi.fnGet_iTH_VOGI_REC_TM(1, tm), 1);
    EXPECT_EQ(Bytes(tm, 5), kRecTm);
    // 100 audio frames at 48000 Hz are 2.4 s: 143.856 fields at 29.97
    // frames/s; the audio size keeps its low 16 bits.
    StillFile audio({Picture(0, 7, 0x12345, 100), Picture(0, 0, 0, 0), Picture(9)}, 0);
    audio.info.dwSampleRate = 48000;
    ASSERT_EQ(avfi.fnADD_VOGI(3, &audio.info), 1);
    CS_VOGI vog(&record.vogi[1]);
    EXPECT_EQ(record.vogi[1].entries[S_VOGI::kTagOffset], 0x40);
    EXPECT_EQ(Ints({vog.fnGet_c1_S_VOB_ENT_TY(0), vog.fnGet_c1_V_PART_SZ(0), vog.fnGet_wOA_PART_SZ(0),
                    vog.fnGet_wOA_PART_PB_TM(0), vog.fnGet_c1_S_VOB_ENT_TY(1), vog.fnGet_c1_V_PART_SZ(1)}),
              Ints({0x40, 7, 0x2345, 143, 0x00, 9}));
    EXPECT_EQ(vog.fndwDataSize(), 18u + 6 + 2);
    // 625/50, and a sampling rate of 0 gives no playback time rather than a
    // division by zero.
    StillFile pal({Picture(0, 1, 4, 100), Picture(1)}, 0);
    pal.info.dwFrameRate = 25000;
    pal.info.dwSampleRate = 48000;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[2]).fnGet_wOA_PART_PB_TM(0), 120);
    pal.info.dwSampleRate = 0;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(CS_VOGI(&record.vogi[3]).fnGet_wOA_PART_PB_TM(0), 0);
    // A huge duration keeps the low 16 bits of the truncated value.
    pal.table[0].dwAudioFrames = 0xFFFFFFFF;
    pal.info.dwSampleRate = 1;
    pal.info.dwFrameRate = 0xFFFFFFFF;
    ASSERT_EQ(avfi.fnADD_VOGI(1, &pal.info), 1);
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 5);
    EXPECT_EQ(Ints({avfi.fnGet_iTH_VOGI_S_VOB_STIN(0), avfi.fnGet_iTH_VOGI_S_VOB_STIN(1),
                    avfi.fnGet_iTH_VOGI_S_VOB_STIN(2), avfi.fnGet_iTH_VOGI_S_VOB_STIN(6)}),
              Ints({0, 1, 3, 0}));
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_REC_TM(6, tm), 0);
    EXPECT_EQ(avfi.fnGet_iTH_VOGI_StartPosAndEndPos(0, &start, &end), 0);
}

TEST(S_AVFI, AllFourEntryTypesRoundTripAndOutOfFileInputFails) {
    S_AVFI record{};
    BytesFile f(FileWith(kFourTypes, kAvfiBase, kAvfiOffset, 32));
    ASSERT_EQ(LoadAvfi(&f.buffer, record), kFourTypes.size());
    EXPECT_FALSE(f.buffer.ReadFailed());
    CS_VOGI vog(&record.vogi[0]);
    EXPECT_EQ(vog.fndwSize(), 0u) << "a binding accessor has loaded nothing";
    for (BYTE i = 0; i < 4; ++i) EXPECT_EQ(record.vogi[0].entries[10u * i + 9], 0x40 * i);
    // Type 0x80: SRPN in bytes 2-3, ENTN in byte 4; type 0xC0: in bytes 6-7 and 8.
    EXPECT_EQ(Ints({vog.fnGet_wS_AAGI_SRPN(2), vog.fnGet_c1_AA_ENTN(2), vog.fnGet_wOA_PART_PB_TM(3),
                    vog.fnGet_wS_AAGI_SRPN(3), vog.fnGet_c1_AA_ENTN(3)}),
              Ints({2, 3, 0x22, 1, 4}));
    BYTE last[5] = {};
    ASSERT_EQ(vog.fnGet_c5_LAST_VOB_REC_TM(last), 1);
    EXPECT_EQ(last[4], 0x5F);
    CS_AVFI avfi(&record, kAvfiOffset);
    EXPECT_EQ(Serialise(avfi), kFourTypes);
    // The serialiser goes by each entry's own type byte, not by the tag.
    vog.fnSet_c1_S_VOB_ENT_TY(3, 0x00);
    EXPECT_EQ(avfi.fndwDataSize(), kFourTypes.size() - 7);
    EXPECT_EQ(Serialise(avfi).size(), kFourTypes.size() - 7);
    const std::vector<BYTE>& b = kFourTypes;
    // Many search pointers naming one VOG: each is valid, the copies are not.
    const std::vector<BYTE> shared =
        SamePointers({0x03, 0xE8}, 1000, kAvfiOffset + 2 + 4 * 1000, std::vector<BYTE>(b.begin() + 6, b.end()));
    const struct {
        const char* what;
        std::vector<BYTE> avfi;
        size_t tail;
    } cases[] = {
        {"255 pictures in a short file", With(b, 6, 255), 0},
        {"VOG address past the end", With(b, 4, 0x7F), 32},
        {"VOG address wraps 32 bits", With(b, 2, 0xFFFFFF, 3), 32},
        {"search pointers past the end", With(b, 0, 0xFF), 32},
        {"last entry cut", Head(b, b.size() - 1), 0},
        {"general part cut", Head(b, 20), 0},
        {"header cut", {0x00}, 0},
        {"pointers sharing one VOG", shared, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        S_AVFI r{};
        ExpectRefused(FileWith(c.avfi, kAvfiBase, kAvfiOffset, c.tail), [&](CBuffer* in) { return LoadAvfi(in, r); });
        EXPECT_TRUE(r.vogi.empty() && r.srp.empty());
    }
}

TEST(S_AVFI, AddsThatCannotBeRepresentedChangeNothingAndAccessorsStayInside) {
    StillFile big(Pictures(256), 0);
    S_AVFI record{};
    CS_AVFI avfi(&record, 0);
    avfi.fnNew();
    EXPECT_EQ(avfi.fnADD_VOGI(1, &big.info), 0) << "S_VOB_Ns is one byte";
    EXPECT_EQ(avfi.fnGet_wS_VOGI_SRP_Ns(), 0);
    EXPECT_TRUE(record.vogi.empty());
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
    CS_AVFI unbound;
    CS_VOGI noVog;
    EXPECT_EQ(
        Ints({unbound.fnCheckValid(), unbound.fnNew(), unbound.fnGet_wS_VOGI_SRP_Ns(), unbound.fnADD_VOGI(1, nullptr),
              unbound.fnReadData(nullptr), noVog.fnSet_c1_S_VOB_STIN(1), noVog.fnSetZero()}),
        Ints(7, 0));
    EXPECT_EQ(noVog.fnGet_S_VOB_ENT_TYPE(0xDF), 0xC0);
    S_VOGI vogi{};
    CS_VOGI vog(&vogi);
    StillFile file(2);
    ASSERT_EQ(vog.fnADD_VOGI(1, &file.info), 1);
    EXPECT_EQ(vog.fnSet_c1_V_PART_SZ(2, 9), 0) << "beyond S_VOB_Ns";
    EXPECT_EQ(vog.fnSet_bThisType(2, 0x80), 0);
    const BYTE five[5] = {1, 2, 3, 4, 5};
    EXPECT_EQ(vog.fnSet_c5_FIRST_VOB_REC_TM(five, 6), 0);
    EXPECT_EQ(vog.fnSet_c5_FIRST_VOB_REC_TM(nullptr, 5), 0);
    // A count raised by hand reaches no entry that is not held, and the
    // missing entries are written as 2-byte zero entries.
    vog.fnSet_c1_S_VOB_Ns(4);
    EXPECT_EQ(Ints({vog.fnSet_c1_V_PART_SZ(3, 9), vog.fnGet_wS_AAGI_SRPN(3)}), Ints(2, 0));
    EXPECT_EQ(Serialise(vog).size(), 18u + 4 * 2);
    // fnSetZero drops the entries with the general part.
    ASSERT_EQ(vog.fnSetZero(), 1);
    EXPECT_TRUE(vogi.entries.empty());
    EXPECT_EQ(vog.fnGet_c1_S_VOB_Ns(), 0);
}

namespace {

// An S_AAFI kAafiOffset bytes into an S_AVFIT at file offset kAafiBase.
constexpr DWORD kAafiBase = 100;
constexpr DWORD kAafiOffset = 40;
// One group of two entries: 2 + 4 + 6 + 10 = 22 bytes.
const std::vector<BYTE> kOneGroup = {
    0x00, 0x01,  // S_AAGI_SRP_Ns
    0x00, 0x00, 0x00, 46,  // S_AAGI_SA: kAafiOffset + 6, from the S_AVFIT
    0x02, 0x01, 0x00, 0x00, 0x12, 0x34,  // AA_ENT_Ns, S_AA_STIN, S_AAG_SA
    0x00, 0x01, 0x02, 0x03, 0x04,  // AA_ENT 1
    0x40, 0x05, 0x06, 0x07, 0x08,  // AA_ENT 2
};

DWORD LoadAafi(const std::vector<BYTE>& aafi, S_AAFI& record, size_t tail = 64) {
    BytesFile f(FileWith(aafi, kAafiBase, kAafiOffset, tail));
    const DWORD n = CS_AAFI(&f.buffer, &record, kAafiBase + kAafiOffset, kAafiBase).fndwLoad_S_AAFI_From_File();
    EXPECT_EQ(f.buffer.ReadFailed(), n == 0);
    return n;
}

}  // namespace

TEST(S_AAFI, LoadsGroupsAddressedFromTheTableStartAndRefusesBadInput) {
    S_AAFI record{};
    ASSERT_EQ(LoadAafi(kOneGroup, record), 22u);
    CS_AAFI aafi(&record, kAafiOffset);
    EXPECT_EQ(Ints({aafi.fnGet_wS_AAGI_SRP_Ns(), aafi.fnGet_dwS_AAGI_SA(0)}), Ints({1, 46}));
    ASSERT_EQ(record.groups.size(), 1u);
    CS_AAGI group(&record.groups[0]);
    // AA_PART_PB_TM: bytes 8-9 of the entry array.
    EXPECT_EQ(Ints({group.fndwSize(), group.fnGet_c1_S_AA_STIN(), group.fnGet_dwS_AAG_SA(), group.fnGet_c1_AA_TY(1),
                    group.fnGet_wAA_PART_SZ(0), group.fnGet_wAA_PART_PB_TM(1)}),
              Ints({16, 1, 0x1234, 0x40, 0x0102, 0x0708}));
    CS_AAFI unbound;
    CS_AAGI noGroup;
    EXPECT_EQ(Ints({unbound.fnCheckValid(), unbound.fnGet_wS_AAGI_SRP_Ns(), unbound.fnSet_wS_AAGI_SRP_Ns(3),
                    unbound.fnSetZero(), unbound.fndwLoad_S_AAFI_From_File(), noGroup.fnGet_c1_AA_TY(0),
                    noGroup.fnSet_dwS_AAG_SA(1)}),
              Ints(7, 0));
    EXPECT_EQ(aafi.fnGet_iTH_S_AAGI_SRP_Address(1), nullptr);
    // A count raised by hand reaches no pointer that is not held ...
    aafi.fnSet_wS_AAGI_SRP_Ns(5);
    EXPECT_EQ(aafi.fnSet_dwS_AAGI_SA(3, 7), 0);
    EXPECT_EQ(aafi.fnGet_dwS_AAGI_SA(3), 0u);
    // ... and is written with empty groups, exactly as long as reported.
    EXPECT_EQ(Serialise(aafi).size(), 2u + 20 + 16 + 4 * 6);
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
    EXPECT_TRUE(record.srp.empty() && record.groups.empty());
    // Two groups, the second without entries, serialise back byte for byte.
    std::vector<BYTE> two = {0x00, 0x02, 0, 0, 0, 50, 0, 0, 0, 66};
    two.insert(two.end(), kOneGroup.begin() + 6, kOneGroup.end());
    two.insert(two.end(), {0x00, 0x02, 0xAA, 0xBB, 0xCC, 0xDD});
    S_AAFI both{};
    ASSERT_EQ(LoadAafi(two, both), two.size());
    EXPECT_EQ(Serialise(CS_AAFI(&both, kAafiOffset)), two);
    EXPECT_EQ(CS_AAFI(&both, kAafiOffset).fnReadData(nullptr), 0u);
    const std::vector<BYTE>& b = kOneGroup;
    // 400 search pointers all naming one group of 255 entries: each pointer
    // is valid, but the copies would take 400 x 1281 bytes from a 3 KB file.
    const std::vector<BYTE> big = With(std::vector<BYTE>(6 + 255 * 5, 0x11), 0, 0xFF0100000000, 6);
    const struct {
        const char* what;
        std::vector<BYTE> aafi;
        size_t tail;
    } cases[] = {
        {"255 entries of 5 bytes past the end", With(b, 6, 0xFF), 0},
        {"group address 0x4000 + 46 past the end", With(b, 4, 0x40), 64},
        {"group address plus base wraps 32 bits", With(b, 2, 0xFFFFFFFF, 4), 64},
        {"65281 search pointers past the end", With(b, 0, 0xFF), 64},
        {"header cut", {0x00}, 0},
        {"search pointer cut", {0x00, 0x01, 0x00, 0x00}, 0},
        {"overlapping groups", SamePointers({0x01, 0x90}, 400, kAafiOffset + 2 + 4 * 400, big), 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        S_AAFI r{};
        EXPECT_EQ(LoadAafi(c.aafi, r, c.tail), 0u);
        EXPECT_TRUE(r.groups.empty() && r.srp.empty());
        EXPECT_EQ(CS_AAFI(&r, 0).fnGet_wS_AAGI_SRP_Ns(), 0);
    }
}
