// CVR_MOVIE::fnCheckAppendVOB on synthetic program streams: the record, the
// VOBU rules, the audio kinds, the refusals and progress.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fixtures.h"
#include "tables/attributes.h"

namespace {

using ps::Bytes;

const ps::VideoParams kPal;  // MPEG-2, 720 x 576, 4:3, 25 frames/s, 8 Mbit/s
const ps::VideoParams kNtsc{720, 480, 2, 4};  // {width, height, aspect code, frame rate code 4: 29.97}

// `gops` groups of 12 pictures, each behind a navigation pack when `nav`,
// each followed by a pack of two MPEG audio frames.
struct GopStream {
    ps::Muxer m;
    bool nav;
    std::vector<size_t> heads;  // the piece holding each group's I picture
    std::vector<size_t> starts;  // each group's first pack
    GopStream(int gops, bool withNav, const ps::VideoParams& v = kPal) : m(v.mpeg2), nav(withNav) {
        for (int g = 0; g < gops; ++g) {
            if (nav) m.NavPack();
            starts.push_back(m.Packs());
            heads.push_back(QueueGop(m, v, kPts0 + g * 12 * (v.rateCode == 3 ? 3600 : 3003), 11));
            m.FlushVideo();
            m.Audio(0xC0, ps::Cat({ps::Mp2Frame(), ps::Mp2Frame()}), kPts0 + g * 43200);
        }
    }
    // One VOBU per group of 12 frames, the closing element at the end; the
    // first reference picture ends with the group's I picture.
    Vobus Expected() {
        Vobus t;
        for (size_t g = 0; g < starts.size(); ++g) {
            const DWORD at = DWORD(starts[g] - (nav ? 1 : 0));
            t.push_back({at, 12, DWORD(m.UnitAt(heads[g]).lastPack - at + 1)});
        }
        t.push_back({DWORD(m.Packs()), 0, 0});
        return t;
    }
};

// Analyses bytes written to a scratch file.
struct Movie {
    TempDir dir;
    CVR_MOVIE movie;
    std::string path;
    int Check(const Bytes& bytes, DWORD quick = 0) {
        path = WriteStream(dir, "stream.mpg", bytes);
        return movie.fnCheckAppendVOB(path.c_str(), nullptr, quick);
    }
    const VR_MPEGFILE_INFO& Info() const { return movie.m_MpegFileInfo; }
    const char* Detail() const { return movie.fnGetLastErrorDetail(); }
};

}  // namespace

// Without navigation packs each group's headers start a VOBU. The recorded
// aspect code: MPEG-2 codes 2 to 4 stay; square pixels and MPEG-1 pixel
// shapes become 4:3 (2) or 16:9 (3) by the picture's shape.
TEST(MovieAnalyser, GopHeadersStartVobusAndAspectRatios) {
    const struct {
        ps::VideoParams video;  // {width, height, aspect code, frame rate code, MPEG-2, bit rate / 400}
        DWORD aspect;
    } cases[] = {
        {kPal, 2},
        {{352, 240, 12, 4, false, 2875}, 2},  // aspect 12: pixels of 4:3 525-line pictures
        {{720, 576, 1}, 2},
        {{544, 576, 1}, 2},
        {{352, 288, 8, 3, false}, 2},
        {{720, 576, 3, 3, false}, 3},
    };
    for (const auto& c : cases) {
        const ps::VideoParams& v = c.video;
        SCOPED_TRACE(std::string(v.mpeg2 ? "MPEG-2 " : "MPEG-1 ") + std::to_string(v.width) + " aspect " +
                     std::to_string(v.aspect));
        GopStream s(3, false, v);
        Movie a;
        ASSERT_EQ(a.Check(s.m.Out()), 1) << a.Detail();
        const VR_MPEGFILE_INFO& i = a.Info();
        const DWORD rate = v.rateCode == 3 ? 25000 : 29970;
        EXPECT_EQ(AttributesOf(i), (Attributes{rate, v.width, v.height, c.aspect, v.mpeg2, v.bitRate400 * 400, 48000, 0,
                                               224, 0x400000}));
        const int64_t frame = v.rateCode == 3 ? 3600 : 3003;  // 90 kHz
        EXPECT_EQ(Ints({i.dwFrameNs, i.llVideoStartPTS, i.llVideoEndPTS, i.dwVOBStartAddr}),
                  Ints({36, kPts0 * 300, (kPts0 + 36 * frame) * 300, 0}))
            << "the end is the last picture's time + one frame";
        ExpectVobus(i, s.Expected());
    }
}

TEST(MovieAnalyser, TimesFollowDisplayOrderAndFieldPicturesCountByFrames) {
    ps::Muxer m;
    // Coded I P B B B B with temporal references 2 5 0 1 3 4 (the first two
    // B pictures lead an open group): the first shown is the B with temporal
    // reference 0. Only the I picture carries a PTS; the others get theirs
    // from it.
    const size_t first =
        m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(false), ps::Picture(ps::I, 2, 3000)}), kPts0);
    m.Video(ps::Picture(ps::P, 5, 900));
    for (unsigned tref : {0u, 1u, 3u, 4u}) m.Video(ps::Picture(ps::B, tref, 300));
    // A second group coded as field pictures: an I field and a P field make
    // one frame, and the reference picture ends with the second field.
    const size_t second = m.Video(ps::Cat({ps::GroupHeader(), ps::Picture(ps::I, 0, 3000, true, 1)}), kPts0 + 4 * 3600);
    const size_t secondField = m.Video(ps::Picture(ps::P, 0, 3000, true, 2));
    m.Video(ps::Picture(ps::P, 1, 900), kPts0 + 5 * 3600);
    Movie a;
    ASSERT_EQ(a.Check(m.Out()), 1) << a.Detail();
    EXPECT_EQ(Ints({a.Info().dwFrameNs, a.Info().llVideoStartPTS, a.Info().llVideoEndPTS}),
              Ints({8, (kPts0 - 2 * 3600) * 300, (kPts0 + 6 * 3600) * 300}));
    const DWORD at = DWORD(m.UnitAt(second).firstPack);
    ExpectVobus(a.Info(), {{0, 6, DWORD(m.UnitAt(first).lastPack + 1)},
                           {at, 2, DWORD(m.UnitAt(secondField).lastPack - at + 1)},
                           {DWORD(m.Packs()), 0, 0}});

    // Each navigation pack starts a VOBU, also inside a group (the third
    // has no intra picture). Found by fuzzing: a VOBU ending on a lone field
    // picture counted it as a frame, but the total rounded it away.
    ps::Muxer nav;
    nav.NavPack();
    const size_t i1 =
        nav.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}), kPts0);
    nav.Video(ps::Picture(ps::P, 1, 900, true, 1));  // a top field without its bottom field
    nav.NavPack();
    const DWORD n2 = DWORD(nav.Packs() - 1);
    const size_t i2 = nav.Video(ps::Cat({ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}), kPts0 + 2 * 3600);
    nav.NavPack();
    const DWORD n3 = DWORD(nav.Packs() - 1);
    nav.Video(ps::Picture(ps::P, 1, 900), kPts0 + 3 * 3600);
    nav.End();  // the program end code behind the last pack is allowed
    ASSERT_EQ(a.Check(nav.Out()), 1) << a.Detail();
    EXPECT_EQ(a.Info().dwFrameNs, 4u) << "the sum of the VOBUs' frames";
    ExpectVobus(a.Info(), {{0, 2, DWORD(nav.UnitAt(i1).lastPack + 1)},
                           {n2, 1, DWORD(nav.UnitAt(i2).lastPack - n2 + 1)},
                           {n3, 1, 0},
                           {DWORD(nav.Packs()), 0, 0}});
}

// Times above 2^32 ticks are taken; times that pass a multiple of 2^32 (the
// 33-bit wrap too) are refused: the management file keeps 32 bits of them.
TEST(MovieAnalyser, PtsTurnsMissingTimesAndSplitStartCodes) {
    Movie a;
    ps::Muxer high;
    QueueGop(high, kPal, (int64_t(1) << 32) + 3600, 11);
    ASSERT_EQ(a.Check(high.Out()), 1) << a.Detail();
    EXPECT_EQ(a.Info().llVideoEndPTS - a.Info().llVideoStartPTS, 12 * 1080000LL);
    for (const int64_t turn : {int64_t(1) << 32, int64_t(1) << 33}) {
        ps::Muxer passing;
        QueueGop(passing, kPal, turn - 3600 * 6, 11);  // passes the turn after 6 frames
        EXPECT_EQ(a.Check(passing.Out()), 0);
        EXPECT_NE(std::string(a.Detail()).find(turn > (int64_t(1) << 32) ? "26:30:43" : "13:15:21"), std::string::npos)
            << a.Detail();
    }

    ps::Muxer none;
    none.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}));
    none.Video(ps::Picture(ps::P, 1, 900));
    ASSERT_EQ(a.Check(none.Out()), 1);
    EXPECT_EQ(Ints({a.Info().llVideoStartPTS, a.Info().llVideoEndPTS}), Ints({0, 2 * 1080000LL}));

    // The first pack's payload ends inside the start code of the P picture:
    // its 00 00 in one packet, 01 00 in the next; the I picture ends there.
    ps::Muxer split;
    const Bytes head = ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader()});
    const size_t i =
        split.Video(ps::Cat({head, ps::Picture(ps::I, 0, split.VideoCapacity(true) - head.size() - 2)}), kPts0);
    split.Video(ps::Picture(ps::P, 1, 1000));
    ASSERT_EQ(a.Check(split.Out()), 1);
    ASSERT_EQ(split.UnitAt(i).lastPack, 0u);
    EXPECT_EQ(Ints({a.Info().dwFrameNs, a.Info().pVOBUTable[0].b1stRefSz}), Ints({2, 1}));
}

TEST(MovieAnalyser, AudioOfEachKind) {
    struct Case {
        const char* name;
        uint8_t id;  // 0: no audio
        Bytes payload;
        DWORD mode, kbps, coding, channels;
    };
    const Case cases[] = {
        {"mp2 joint", 0xC0, ps::Mp2Frame(192, 48000, 1), 1, 192, 0x400000, 2},
        {"mp2 dual", 0xC3, ps::Mp2Frame(384, 48000, 2), 2, 384, 0x400000, 2},
        {"mp2 mono", 0xC0, ps::Mp2Frame(64, 48000, 3), 3, 64, 0x400000, 1},
        {"mp1", 0xC0, Bytes{0xFF, 0xFF, 0xE4, 0x00, 0, 0, 0, 0}, 0, 448, 0x400000, 2},
        {"ac3 stereo", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(192, 2)), 0, 192, 0, 2},
        {"ac3 mono 448", 0xBD, ps::Ac3Payload(0x81, 1, ps::Ac3Frame(448, 1)), 3, 448, 0, 1},
        {"ac3 1+1", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(384, 0)), 2, 384, 0, 2},
        {"ac3 5.1", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(448, 7, true)), 0, 448, 0, 6},
        {"ac3 3/2", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(448, 7)), 0, 448, 0, 5},
        {"ac3 2/0 + lfe", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(192, 2, true)), 0, 192, 0, 3},
        {"ac3 3/0 + lfe", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(192, 3, true)), 0, 192, 0, 4},
        {"ac3 2/1 + lfe", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(192, 4, true)), 0, 192, 0, 4},
        {"lpcm stereo", 0xBD, ps::LpcmPayload(0xA0, 1920), 0, 1536, 0x800000, 2},
        {"lpcm mono 24", 0xBD, ps::LpcmPayload(0xA1, 1920, 24, 48000, 1), 3, 1152, 0x800000, 1},
        {"lpcm 6 channels", 0xBD, ps::LpcmPayload(0xA0, 1920, 16, 48000, 6), 0, 4608, 0x800000, 6},
        {"silent", 0, {}, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ps::Muxer m;
        // Junk in front of the first MPEG audio frame is skipped.
        if (c.id) m.Audio(c.id, c.id == 0xBD ? c.payload : ps::Cat({Bytes{0x12, 0x34}, c.payload}), kPts0);
        QueueGop(m, kPal, kPts0, 2);
        if (c.id) m.Audio(0xC1, ps::Mp2Frame(32, 48000, 3), kPts0);  // a second stream is ignored
        Movie a;
        ASSERT_EQ(a.Check(m.Out()), 1) << a.Detail();
        EXPECT_EQ(AttributesOf(a.Info()),
                  (Attributes{25000, 720, 576, 2, 1, 8000000, c.id ? 48000u : 0u, c.mode, c.kbps, c.coding}));
        EXPECT_EQ(a.Info().dwAudioChannels, c.channels);
    }
}

TEST(MovieAnalyser, QuickCheckReadsOnlyToTheFirstSequenceHeader) {
    ps::Muxer m;
    QueueGop(m, kNtsc, kPts0, 3);
    Bytes bytes = m.Out();
    // Garbage far behind the first sequence header: the full analysis
    // refuses it, the quick check never gets there.
    bytes.resize(bytes.size() + 8 * 1024 * 1024, 0x00);
    Movie a;
    ASSERT_EQ(a.Check(bytes, 1), 1) << a.Detail();
    EXPECT_EQ(Ints({a.Info().dwFrameRate, a.Info().dwWidth, a.Info().dwMpeg2}), Ints({29970, 720, 1}));
    EXPECT_EQ(a.Info().pVOBUTable, nullptr);
    EXPECT_EQ(After(a.movie, a.movie.fnCheckAppendVOB(a.path.c_str(), nullptr, 0)), Ints({0, VRO_ERR_BAD_STREAM}));
}

namespace {

Bytes WithVideo(const ps::VideoParams& v, int pFrames = 2, size_t pBytes = 1000, size_t iBytes = 5000) {
    ps::Muxer m(v.mpeg2);
    QueueGop(m, v, kPts0, pFrames, iBytes, pBytes);
    return m.Out();
}

// A pack of audio in front of a group of three pictures.
Bytes WithAudio(uint8_t id, const Bytes& payload) {
    ps::Muxer m;
    m.Audio(id, payload);
    QueueGop(m, kPal, kPts0, 2);
    return m.Out();
}

std::vector<Refusal> Refusals() {
    std::vector<Refusal> r;
    r.push_back({"empty", {}, VRO_ERR_NOT_PROGRAM_STREAM, "empty"});
    Bytes ts(188 * 20, 0xFF);
    for (size_t i = 0; i < ts.size(); i += 188) ts[i] = 0x47;
    r.push_back({"transport stream", ts, VRO_ERR_NOT_PROGRAM_STREAM, "transport stream"});
    Bytes mp4{0, 0, 0, 0x20, 'f', 't', 'y', 'p', 'i', 's', 'o', 'm'};
    mp4.resize(4096);
    r.push_back({"mpeg-4", mp4, VRO_ERR_NOT_PROGRAM_STREAM, "MPEG-4"});
    Bytes es = ps::Cat({ps::SequenceHeaders(kPal), ps::Picture(ps::I, 0, 5000)});
    r.push_back({"elementary stream", es, VRO_ERR_NOT_PROGRAM_STREAM, "elementary"});
    r.push_back({"text", Bytes(5000, 'a'), VRO_ERR_NOT_PROGRAM_STREAM, "pack header"});
    // A video CD's 2324-byte packs, and an MPEG-1 system stream whose pack
    // headers come only every few 2048-byte packets.
    r.push_back({"vcd", ReadWholeFile(Sample("pal_vcd.mpg")), VRO_ERR_PACK_SIZE, "2324"});
    r.push_back({"system packs", ReadWholeFile(Sample("mpeg1_system_packs.mpg")), VRO_ERR_PACK_SIZE, "packs of"});
    Bytes cut = WithVideo(kPal, 3);
    cut.resize(cut.size() - 100);
    r.push_back({"truncated", cut, VRO_ERR_TRUNCATED, "ends inside pack"});
    cut.resize(1000);
    r.push_back({"first pack cut", cut, VRO_ERR_TRUNCATED, "inside pack 0"});
    ps::Muxer audioOnly;
    audioOnly.Audio(0xC0, ps::Mp2Frame());
    r.push_back({"no video", audioOnly.Out(), VRO_ERR_NO_VIDEO, "video stream"});
    ps::Muxer headerless;
    headerless.Video(ps::Picture(ps::I, 0, 3000));
    r.push_back({"no sequence header", headerless.Out(), VRO_ERR_NO_VIDEO, "sequence header"});
    ps::Muxer noPictures;
    noPictures.Video(ps::SequenceHeaders(kPal));
    r.push_back({"no pictures", noPictures.Out(), VRO_ERR_NO_VIDEO, "pictures", true});
    for (unsigned code : {1u, 2u, 5u, 8u})
        r.push_back({"frame rate", WithVideo({720, 576, 2, code}), VRO_ERR_FRAME_RATE, "frames per second"});
    // Sizes and shapes the video attributes cannot express.
    for (const ps::VideoParams& v : std::vector<ps::VideoParams>{
             {1280, 720}, {1920, 1080, 3, 4}, {640, 576}, {720, 288}, {720, 480}, {720, 576, 4}})
        r.push_back({"picture size", WithVideo(v), VRO_ERR_PICTURE_SIZE, v.aspect == 4 ? "2.21:1" : "352x"});
    ps::VideoParams modified;
    modified.frameRateN = 1;
    r.push_back({"frame rate extension", WithVideo(modified), VRO_ERR_FRAME_RATE, "modified"});
    r.push_back({"32 frames", WithVideo(kPal, 31, 100), VRO_ERR_VOBU_TOO_LONG, "32 frames", true});
    r.push_back({"1024 sectors", WithVideo(kPal, 20, 100, 1030 * 2048), VRO_ERR_VOBU_TOO_LARGE, "sectors", true});
    r.push_back({"layer III", WithAudio(0xC0, ps::Mp2Frame(128, 48000, 0, true, 3)), VRO_ERR_AUDIO, "layer III", true});
    Bytes ac3 = ps::Ac3Frame();
    ac3[4] = 0xC0;  // reserved sampling rate
    r.push_back({"ac-3 reserved rate", WithAudio(0xBD, ps::Ac3Payload(0x80, 1, ac3)), VRO_ERR_AUDIO, "AC-3", true});
    r.push_back({"no audio header", WithAudio(0xC0, Bytes(1500, 0x00)), VRO_ERR_AUDIO, "frame header", true});
    // The stream attributes describe 48 kHz audio only.
    r.push_back({"24 kHz", WithAudio(0xC0, ps::Mp2Frame(64, 24000, 0, false)), VRO_ERR_AUDIO, "48 kHz", true});
    r.push_back({"96 kHz", WithAudio(0xBD, ps::LpcmPayload(0xA1, 1920, 24, 96000, 1)), VRO_ERR_AUDIO, "48 kHz", true});
    ps::Muxer resized;
    QueueGop(resized, kPal, kPts0, 2);
    QueueGop(resized, {352, 576}, kPts0 + 3 * 3600, 2);
    r.push_back({"size change", resized.Out(), VRO_ERR_BAD_STREAM, "picture size", true});
    Bytes broken = WithVideo(kPal, 3);
    broken[2048 + 30] ^= 0xFF;  // a PES length in the second pack
    broken[2048 + 19] ^= 0x40;
    r.push_back({"broken pack", broken, VRO_ERR_BAD_STREAM, "pack 1", true});
    Bytes stray = WithVideo(kPal, 3);
    stray.insert(stray.end(), {0, 0, 1, 0xB9, 1, 2, 3});
    r.push_back({"bytes behind the end code", stray, VRO_ERR_TRUNCATED, "ends inside"});
    return r;
}

}  // namespace

// Each refusal (also by the quick check where the fault lies in front of
// the first sequence header) keeps the last good analysis, record and table.
TEST(MovieAnalyser, BadInputIsRefusedAndChangesNothing) {
    TempDir dir;
    CVR_MOVIE a;
    ASSERT_EQ(a.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    ASSERT_EQ(a.fnCheckAppendVOB(WriteStream(dir, "good.mpg", WithVideo(kPal, 3)).c_str(), nullptr, 0), 1);
    const VR_MPEGFILE_INFO& info = a.m_MpegFileInfo;
    const std::vector<VR_VOBU_ELEMENT> table(info.pVOBUTable, info.pVOBUTable + info.dwVOBUNs + 1);
    for (const Refusal& r : Refusals()) {
        SCOPED_TRACE(r.name);
        const std::string path = WriteStream(dir, "bad.mpg", r.bytes);
        for (DWORD quick = 0; quick <= (r.deep ? 0u : 1u); ++quick)
            ExpectRefused(a, r, path, [&](const char* p) { return a.fnCheckAppendVOB(p, nullptr, quick); });
    }
    EXPECT_EQ(std::memcmp(table.data(), info.pVOBUTable, table.size() * sizeof table[0]), 0);
    EXPECT_EQ(After(a, a.fnCheckAppendVOB(dir.File("missing.mpg").c_str(), nullptr, 0)),
              Ints({0, VRO_ERR_SOURCE_OPEN}));
    EXPECT_EQ(After(a, a.fnCheckAppendVOB(nullptr, nullptr, 0)), Ints({0, VRO_ERR_BAD_ARGUMENT}));
    EXPECT_EQ(a.fnGetQueuedFileNs(), 0u);
    EXPECT_EQ(a.fnAddVOBToList(&a.m_MpegFileInfo), 1) << "the good file still queues with the record it left";
}

// Every picture size the video attributes hold is accepted and comes back
// from the attributes as itself.
TEST(MovieAnalyser, EveryRecordableSizeKeepsItsSize) {
    for (unsigned rate : {3u, 4u}) {
        const unsigned full = rate == 3 ? 576 : 480;
        for (const auto& [width, height] : std::vector<std::pair<unsigned, unsigned>>{
                 {720, full}, {704, full}, {544, full}, {480, full}, {352, full}, {352, full / 2}}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            Movie a;
            ASSERT_EQ(a.Check(WithVideo({width, height, 2, rate})), 1) << a.Detail();
            DWORD w = 0, h = 0;
            ASSERT_TRUE(vrm::VideoAttributes::Of(a.Info()).PictureSize(&w, &h));
            EXPECT_EQ(Ints({a.Info().dwWidth, a.Info().dwHeight, w, h}), Ints({width, height, width, height}));
        }
    }
}
