// CVR_MOVIE::fnCheckAppendVOB on synthetic program streams: every field of
// the record, the VOBU rules, the audio kinds, the refusals and progress.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fixtures.h"

namespace {

using ps::Bytes;

const ps::VideoParams kPal;  // MPEG-2, 720 x 576, 4:3, 25 frames/s, 8 Mbit/s

// VideoParams are {width, height, aspect code, frame rate code (3: 25, 4:
// 29.97 frames/s), MPEG-2, bit rate / 400}.
const ps::VideoParams kNtsc{720, 480, 2, 4};

// A stream of `gops` groups of pFrames + 1 pictures, each behind a
// navigation pack when `nav`, each followed by one pack of two MPEG audio
// frames.
struct GopStream {
    ps::Muxer m;
    bool nav;
    std::vector<size_t> heads;  // the piece holding each group's I picture
    std::vector<size_t> starts;  // each group's first pack
    GopStream(int gops, bool withNav, const ps::VideoParams& v = kPal, int pFrames = 11) : m(v.mpeg2), nav(withNav) {
        const int64_t frame = v.rateCode == 3 ? 3600 : 3003;
        for (int g = 0; g < gops; ++g) {
            if (nav) m.NavPack();
            starts.push_back(m.Packs());
            heads.push_back(QueueGop(m, v, kPts0 + g * (pFrames + 1) * frame, pFrames));
            m.FlushVideo();
            m.Audio(0xC0, ps::Cat({ps::Mp2Frame(), ps::Mp2Frame()}), kPts0 + g * 43200);
        }
    }
    // One VOBU per group, from its navigation pack or its first pack; the
    // first reference picture ends with the group's I picture.
    Vobus Groups(DWORD frames) {
        Vobus t;
        for (size_t g = 0; g < starts.size(); ++g) {
            const DWORD at = DWORD(starts[g] - (nav ? 1 : 0));
            t.push_back({at, frames, DWORD(m.UnitAt(heads[g]).lastPack - at + 1)});
        }
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

TEST(MovieAnalyser, GopHeadersStartVobusWithoutNavigationPacks) {
    const ps::VideoParams mpeg1{352, 240, 12, 4, false, 2875};  // aspect 12: pixels of 4:3 525-line pictures
    const struct {
        ps::VideoParams video;
        Attributes attributes;
        int64_t frame;  // 90 kHz
    } cases[] = {{kPal, {25000, 720, 576, 2, 1, 8000000, 48000, 0, 224, 0x400000}, 3600},
                 {mpeg1, {29970, 352, 240, 2, 0, 1150000, 48000, 0, 224, 0x400000}, 3003}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.video.mpeg2 ? "MPEG-2" : "MPEG-1 system stream");
        GopStream s(3, false, c.video);
        Movie a;
        ASSERT_EQ(a.Check(s.m.Out()), 1) << a.Detail();
        const VR_MPEGFILE_INFO& i = a.Info();
        EXPECT_EQ(AttributesOf(i), c.attributes);
        EXPECT_EQ(i.dwFrameNs, 36u);
        EXPECT_EQ(i.llVideoStartPTS, kPts0 * 300);
        EXPECT_EQ(i.llVideoEndPTS, (kPts0 + 36 * c.frame) * 300) << "last picture + one frame";
        Vobus expected = s.Groups(12);
        expected.push_back({DWORD(s.m.Packs()), 0, 0});  // the closing element: the file's sector count
        ExpectVobus(i, expected);
        EXPECT_EQ(std::string(a.movie.fnGetAnalysedFileName()), a.path);
        EXPECT_EQ(i.dwVOBStartAddr, 0u);
    }
}

TEST(MovieAnalyser, EachNavigationPackStartsAVobu) {
    GopStream s(4, true, kNtsc, 14);
    // A navigation pack inside a group also starts a VOBU: 10 + 5 frames,
    // the second without an intra picture.
    const int64_t base = kPts0 + 4 * 15 * 3003;
    s.m.NavPack();
    const DWORD nav = DWORD(s.m.Packs() - 1);
    const size_t head = QueueGop(s.m, kNtsc, base, 9);
    s.m.NavPack();
    const DWORD nav2 = DWORD(s.m.Packs() - 1);
    for (int k = 10; k < 15; ++k) s.m.Video(ps::Picture(ps::P, unsigned(k), 800), base + k * 3003);
    s.m.End();  // the program end code behind the last pack is allowed
    Movie a;
    ASSERT_EQ(a.Check(s.m.Out()), 1) << a.Detail();
    const VR_MPEGFILE_INFO& i = a.Info();
    EXPECT_EQ(i.dwFrameRate, 29970u);
    EXPECT_EQ(i.dwHeight, 480u);
    EXPECT_EQ(i.dwFrameNs, 75u);
    EXPECT_EQ(i.llVideoEndPTS - i.llVideoStartPTS, 75 * 900900LL);
    Vobus expected = s.Groups(15);
    expected.push_back({nav, 10, DWORD(s.m.UnitAt(head).lastPack - nav + 1)});
    expected.push_back({nav2, 5, 0});
    expected.push_back({DWORD(s.m.Packs()), 0, 0});
    ExpectVobus(i, expected);
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
    // one frame.
    const size_t second = m.Video(ps::Cat({ps::GroupHeader(), ps::Picture(ps::I, 0, 3000, true, 1)}), kPts0 + 4 * 3600);
    const size_t secondField = m.Video(ps::Picture(ps::P, 0, 3000, true, 2));
    m.Video(ps::Picture(ps::P, 1, 900), kPts0 + 5 * 3600);
    Movie a;
    ASSERT_EQ(a.Check(m.Out()), 1) << a.Detail();
    EXPECT_EQ(a.Info().dwFrameNs, 8u);
    EXPECT_EQ(a.Info().llVideoStartPTS, (kPts0 - 2 * 3600) * 300);
    EXPECT_EQ(a.Info().llVideoEndPTS, (kPts0 + 6 * 3600) * 300);
    // The second VOBU's reference picture ends with its second field.
    const DWORD at = DWORD(m.UnitAt(second).firstPack);
    ExpectVobus(a.Info(), {{0, 6, DWORD(m.UnitAt(first).lastPack + 1)},
                           {at, 2, DWORD(m.UnitAt(secondField).lastPack - at + 1)},
                           {DWORD(m.Packs()), 0, 0}});

    // Found by fuzzing: a VOBU ending on a lone field picture counted it as
    // a frame, but the total rounded it away, so the VOBU table described
    // more frames than the recording.
    ps::Muxer lone;
    lone.NavPack();
    lone.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}), kPts0);
    lone.Video(ps::Picture(ps::P, 1, 900, true, 1));  // a top field without its bottom field
    lone.NavPack();
    lone.Video(ps::Cat({ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}), kPts0 + 2 * 3600);
    ASSERT_EQ(a.Check(lone.Out()), 1) << a.Detail();
    ASSERT_EQ(a.Info().dwVOBUNs, 2u);
    EXPECT_EQ(a.Info().pVOBUTable[0].bVOBUFrames, 2);
    EXPECT_EQ(a.Info().pVOBUTable[1].bVOBUFrames, 1);
    EXPECT_EQ(a.Info().dwFrameNs, 3u) << "the sum of the VOBUs' frames";
}

TEST(MovieAnalyser, PtsWrapsMissingTimesAndSplitStartCodes) {
    Movie a;
    ps::Muxer wrap;
    QueueGop(wrap, kPal, (int64_t(1) << 33) - 3600 * 6, 11);  // passes the 33-bit wrap after 6 frames
    ASSERT_EQ(a.Check(wrap.Out()), 1);
    EXPECT_EQ(a.Info().llVideoEndPTS - a.Info().llVideoStartPTS, 12 * 1080000LL);

    ps::Muxer none;
    none.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}));
    none.Video(ps::Picture(ps::P, 1, 900));
    ASSERT_EQ(a.Check(none.Out()), 1);
    EXPECT_EQ(a.Info().llVideoStartPTS, 0);
    EXPECT_EQ(a.Info().llVideoEndPTS, 2 * 1080000LL);

    // The first pack's payload ends inside the start code of the P picture:
    // its 00 00 in one packet, 01 00 in the next; the I picture ends there.
    ps::Muxer split;
    const Bytes head = ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader()});
    const size_t iBytes = split.VideoCapacity(true) - head.size() - 2;
    const size_t i = split.Video(ps::Cat({head, ps::Picture(ps::I, 0, iBytes)}), kPts0);
    split.Video(ps::Picture(ps::P, 1, 1000));
    ASSERT_EQ(a.Check(split.Out()), 1);
    EXPECT_EQ(a.Info().dwFrameNs, 2u);
    EXPECT_EQ(split.UnitAt(i).lastPack, 0u);
    EXPECT_EQ(a.Info().pVOBUTable[0].b1stRefSz, 1) << "ends in pack 0, though its terminating start code begins there";
}

TEST(MovieAnalyser, AspectRatios) {
    Movie a;
    // Recorded aspect codes: MPEG-2 codes stay, square pixels and MPEG-1
    // pixel shapes become 4:3 (2) or 16:9 (3).
    struct Case {
        bool mpeg2;
        unsigned width, height, code;
        int recorded;
    };
    for (const Case& c : {Case{true, 720, 576, 3, 3}, Case{true, 720, 480, 4, 4}, Case{true, 720, 576, 1, 2},
                          Case{true, 1024, 576, 1, 3}, Case{false, 352, 288, 8, 2}, Case{false, 720, 576, 3, 3},
                          Case{false, 352, 288, 1, 2}}) {
        ps::Muxer m(c.mpeg2);
        QueueGop(m, ps::VideoParams{c.width, c.height, c.code, 3, c.mpeg2}, kPts0, 1);
        ASSERT_EQ(a.Check(m.Out()), 1);
        EXPECT_EQ(a.Info().bAspectRatio, c.recorded) << c.mpeg2 << " " << c.width << " code " << c.code;
    }
}

TEST(MovieAnalyser, AudioOfEachKind) {
    struct Case {
        const char* name;
        uint8_t id;  // 0: no audio
        Bytes payload;
        DWORD rate, mode, kbps, coding;
    };
    const Case cases[] = {
        {"mp2 joint", 0xC0, ps::Mp2Frame(192, 48000, 1), 48000, 1, 192, 0x400000},
        {"mp2 dual", 0xC3, ps::Mp2Frame(384, 48000, 2), 48000, 2, 384, 0x400000},
        {"mp2 mono", 0xC0, ps::Mp2Frame(64, 48000, 3), 48000, 3, 64, 0x400000},
        {"mp1", 0xC0, Bytes{0xFF, 0xFF, 0xE4, 0x00, 0, 0, 0, 0}, 48000, 0, 448, 0x400000},
        {"ac3 stereo", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(192, 2)), 48000, 0, 192, 0},
        {"ac3 mono 448", 0xBD, ps::Ac3Payload(0x81, 1, ps::Ac3Frame(448, 1)), 48000, 3, 448, 0},
        {"ac3 1+1", 0xBD, ps::Ac3Payload(0x80, 1, ps::Ac3Frame(384, 0)), 48000, 2, 384, 0},
        {"lpcm stereo", 0xBD, ps::LpcmPayload(0xA0, 1920), 48000, 0, 1536, 0x800000},
        {"lpcm mono 24", 0xBD, ps::LpcmPayload(0xA1, 1920, 24, 48000, 1), 48000, 3, 1152, 0x800000},
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
                  (Attributes{25000, 720, 576, 2, 1, 8000000, c.rate, c.mode, c.kbps, c.coding}));
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

struct Probe : CVR_MOVIE {
    std::vector<std::vector<DWORD>> calls;
    size_t cancelAt = SIZE_MAX;
};

int __stdcall Report(void* context, DWORD phase, DWORD done, DWORD total, DWORD file) {
    auto* self = static_cast<Probe*>(static_cast<CVRO_DATA*>(context));
    self->calls.push_back({phase, done, total, file});
    return self->calls.size() - 1 == self->cancelAt ? 0 : 1;
}

}  // namespace

TEST(MovieAnalyser, ProgressCancelAndTheAnalysedFileAppendedWhole) {
    TempDir dir;
    GopStream s(60, true);
    s.m.End();
    const std::string path = WriteStream(dir, "long.vob", s.m.Out());
    const DWORD packs = DWORD(s.m.Packs());
    ASSERT_GT(packs, 400u);
    Probe p;
    ASSERT_EQ(p.fnCheckAppendVOB(path.c_str(), Report, 0), 1);
    ASSERT_GE(p.calls.size(), 101u);
    EXPECT_EQ(p.calls.front(), (std::vector<DWORD>{VRO_PROGRESS_ANALYSE, 0, packs, 1}));
    EXPECT_EQ(p.calls.back(), (std::vector<DWORD>{VRO_PROGRESS_ANALYSE, packs, packs, 1}));
    for (size_t k = 1; k < p.calls.size(); ++k) {
        EXPECT_LE(p.calls[k][1] - p.calls[k - 1][1], packs / 100) << "at least every 1%";
        EXPECT_GE(p.calls[k][1], p.calls[k - 1][1]);
    }

    // Cancelling fails the call; the record and the queue stay as they were.
    TempDir vrdir;
    ASSERT_EQ(p.fnInit(vrdir.Path().c_str(), VRO_INIT_NEW), 1);
    ASSERT_EQ(p.fnAddVOBToList(&p.m_MpegFileInfo), 1);
    const VR_MPEGFILE_INFO before = p.m_MpegFileInfo;
    ps::Muxer other;
    QueueGop(other, kNtsc, kPts0, 3);
    p.calls.clear();
    p.cancelAt = 1;
    EXPECT_EQ(After(p, p.fnCheckAppendVOB(WriteStream(dir, "other.mpg", other.Out()).c_str(), Report, 0)),
              Ints({0, VRO_ERR_CANCELLED}));
    EXPECT_EQ(std::memcmp(&before, &p.m_MpegFileInfo, sizeof before), 0);
    EXPECT_EQ(p.fnGetQueuedFileNs(), 1u);
    EXPECT_EQ(std::string(p.fnGetAnalysedFileName()), path);

    // The queued file lands whole in the stream file, without the end code.
    ASSERT_EQ(p.fnAppendVOBListToVRO(nullptr), 1);
    Bytes expected = s.m.Out();
    expected.resize(expected.size() - 4);
    EXPECT_EQ(ReadWholeFile(vrdir.File("VR_MOVIE.VRO")), expected);
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
    for (unsigned code : {1u, 2u, 5u, 6u, 7u, 8u})
        r.push_back({"frame rate", WithVideo({720, 576, 2, code}), VRO_ERR_FRAME_RATE, "frames per second"});
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

TEST(MovieAnalyser, BadInputIsRefusedAndChangesNothing) {
    TempDir dir;
    Probe a;
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
    EXPECT_EQ(std::string(a.fnGetAnalysedFileName()), dir.File("good.mpg"));
    EXPECT_EQ(After(a, a.fnCheckAppendVOB(dir.File("missing.mpg").c_str(), nullptr, 0)),
              Ints({0, VRO_ERR_SOURCE_OPEN}));
    EXPECT_EQ(After(a, a.fnCheckAppendVOB(nullptr, nullptr, 0)), Ints({0, VRO_ERR_BAD_ARGUMENT}));
    EXPECT_EQ(a.fnGetQueuedFileNs(), 0u);
    // The good file still queues with the record it left.
    EXPECT_EQ(a.fnAddVOBToList(&a.m_MpegFileInfo), 1);
}

TEST(MovieAnalyser, AtMost65535Vobus) {
    // One group behind a navigation pack, then navigation packs alone until
    // the stream has exactly 65535 VOBUs; one more is refused, early and
    // without the table growing past the limit.
    TempDir dir;
    GopStream s(1, true);
    const ps::Bytes head = s.m.Out();
    s.m.NavPack();
    const ps::Bytes nav(s.m.Out().end() - 2048, s.m.Out().end());
    const std::string path = dir.File("vobus.vob");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.data()), std::streamsize(head.size()));
        ps::Bytes navs;
        for (int k = 0; k < 1024; ++k) ps::Append(navs, nav);
        for (int k = 0; k < 65534 / 1024; ++k) out.write(reinterpret_cast<const char*>(navs.data()), 1024 * 2048);
        for (int k = 0; k < 65534 % 1024; ++k) out.write(reinterpret_cast<const char*>(nav.data()), 2048);
    }
    CVR_MOVIE a;
    ASSERT_EQ(a.fnCheckAppendVOB(path.c_str(), nullptr, 0), 1) << a.fnGetLastErrorDetail();
    EXPECT_EQ(Ints({a.m_MpegFileInfo.dwVOBUNs, a.m_MpegFileInfo.dwFrameNs}), Ints({65535, 12}));
    std::ofstream(path, std::ios::binary | std::ios::app).write(reinterpret_cast<const char*>(nav.data()), 2048);
    CVR_MOVIE b;
    EXPECT_EQ(After(b, b.fnCheckAppendVOB(path.c_str(), nullptr, 0)), Ints({0, VRO_ERR_TOO_MANY_VOBUS}));
    EXPECT_NE(std::string(b.fnGetLastErrorDetail()).find("65535"), std::string::npos);
}
