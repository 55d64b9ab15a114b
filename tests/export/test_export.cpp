// `vrmangr export` read back with libavformat: durations, chapters, time
// stamps, title, date and aspect in MKV, MP4 and MPEG-PS, and in MP4 the
// exact first frame of a chain that starts inside a VOBU. The discs are made
// with the tool from the committed samples; what is expected follows from
// how they are made (each sample recording is 50 frames at 25 frames/s).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "export/Decoded.h"
#include "export/menu.h"
#include "export/mpeg_frames.h"
#include "platform/clock.h"
#include "support/TempDir.h"
#include "tables/CCI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace {

const std::string kTool = VRMANGR_TOOL;
const std::string kSample = std::string(VRMANGR_DATA) + "/pal_mpeg2_mp2_4x3.vob";
constexpr double kFrame = 0.04;  // seconds, 625/50

int Tool(const std::string& args) { return std::system((kTool + " " + args + " >/dev/null 2>&1").c_str()); }

// What an exported file holds, as libavformat reads it.
struct Readback {
    bool opened = false;
    double start = 0, duration = 0;  // seconds
    std::vector<std::pair<double, std::string>> chapters;  // start (s), title
    std::map<std::string, std::string> metadata;
    AVRational sar{0, 1};  // of the video stream, as the container says
    bool monotonic = true;  // each stream's decoding time stamps rise (over the frames shown)
    int aspectCode = 0;  // aspect_ratio_information of the first sequence header
};

Readback Read(const std::string& path) {
    Readback r;
    AVFormatContext* f = nullptr;
    if (avformat_open_input(&f, path.c_str(), nullptr, nullptr) < 0) return r;
    r.opened = avformat_find_stream_info(f, nullptr) >= 0;
    r.start = f->start_time == AV_NOPTS_VALUE ? 0 : static_cast<double>(f->start_time) / 1e6;
    r.duration = static_cast<double>(f->duration) / 1e6;
    for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(f->metadata, "", e, AV_DICT_IGNORE_SUFFIX));)
        r.metadata[e->key] = e->value;
    for (unsigned i = 0; i < f->nb_chapters; ++i) {
        const AVChapter* c = f->chapters[i];
        const AVDictionaryEntry* t = av_dict_get(c->metadata, "title", nullptr, 0);
        r.chapters.emplace_back(static_cast<double>(c->start) * av_q2d(c->time_base), t ? t->value : "");
    }
    const int video = av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video >= 0) r.sar = f->streams[video]->sample_aspect_ratio;
    std::vector<int64_t> last(f->nb_streams, INT64_MIN);
    AVPacket* p = av_packet_alloc();
    while (av_read_frame(f, p) >= 0) {
        const size_t s = static_cast<size_t>(p->stream_index);
        // Behind an MP4 edit, the demuxer hands out the frames the edit
        // hides, marked to be dropped after decoding, at the times of the
        // frames they lead to.
        if (p->dts != AV_NOPTS_VALUE && !(p->flags & AV_PKT_FLAG_DISCARD)) {
            if (p->dts <= last[s]) r.monotonic = false;
            last[s] = p->dts;
        }
        if (p->stream_index == video && !r.aspectCode) {
            for (int i = 0; i + 7 < p->size; ++i) {
                if (p->data[i] == 0 && p->data[i + 1] == 0 && p->data[i + 2] == 1 && p->data[i + 3] == 0xB3) {
                    r.aspectCode = p->data[i + 7] >> 4;
                    break;
                }
            }
        }
        av_packet_unref(p);
    }
    av_packet_free(&p);
    avformat_close_input(&f);
    return r;
}

// The luma of frame `index` (0 for the first) in presentation order, from
// the first frame at time 0 or later (an edit list's hidden frames come
// before it).
std::vector<uint8_t> Picture(const std::string& path, int index) {
    // Frames by presentation time, so that B-frame reordering does not matter.
    std::map<int64_t, std::vector<uint8_t>> frames;
    DecodeStream(path, AVMEDIA_TYPE_VIDEO, false, [&](const AVFrame* frame, const AVStream*) {
        std::vector<uint8_t> y;
        for (int row = 0; row < frame->height; ++row)
            y.insert(y.end(), frame->data[0] + row * frame->linesize[0],
                     frame->data[0] + row * frame->linesize[0] + frame->width);
        frames[frame->best_effort_timestamp] = y;
    });
    auto frame0 = frames.lower_bound(0);
    std::vector<uint8_t> luma;
    if (index < std::distance(frame0, frames.end())) luma = std::next(frame0, index)->second;
    return luma;
}

// Three recordings of the 4:3 sample, each a program; entry point 1 divided
// 20 frames in, inside a VOBU. Playlist 1 reorders cells across recordings:
// entry point 4 (recording 3), 3 (recording 2), 1 (frames 0-19 of
// recording 1); playlist 2 starts inside a VOBU: entry point 2 (frames
// 20-49 of recording 1), then 3; playlist 3 plays entry point 3, then 2.
class Export : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        av_log_set_level(AV_LOG_QUIET);
        dir = new TempDir;
        disc = dir->File("disc");
        const std::string s = "'" + kSample + "'";
        ASSERT_EQ(Tool("create '" + disc + "' " + s + " " + s + " " + s), 0);
        for (const char* edit :
             {"chapters '%' divide 1 20", "playlist '%' new", "playlist '%' add 1 0 4", "playlist '%' add 1 1 3",
              "playlist '%' add 1 2 1", "playlist '%' new", "playlist '%' add 2 0 2", "playlist '%' add 2 1 3",
              "playlist '%' new", "playlist '%' add 3 0 3", "playlist '%' add 3 1 2",
              "title '%' --program 2 'Evening news'", "playlist '%' title 2 Holiday"}) {
            std::string command = edit;
            command.replace(command.find('%'), 1, disc);
            ASSERT_EQ(Tool(command), 0) << command;
        }
        // Entry point 2 gets a text (EP_TY with PRM_TXTI), as recorders
        // name chapters; the tool gives none.
        void* h = fnVR_MANGRBegin();
        ASSERT_TRUE(fnVR_MANGRLock(h, disc.c_str(), 1, 0) && fnVR_MANGROpen(h, disc.c_str()));
        CCI first(CPGCI(static_cast<CVR_MANGR*>(h)->m_pModel->pORG_PGCI).Cell(0));
        BYTE text[128] = "Kickoff";
        ASSERT_TRUE(first.fnSet_c1_EP_TY(1, static_cast<BYTE>(first.fnGet_c1_EP_TY(1) | 0x40)) &&
                    first.fnSet_c128_PRM_TXTI(1, text, sizeof text));
        ASSERT_TRUE(fnVR_MANGRSave(h, nullptr));
        seg s1{};
        ASSERT_TRUE(fnVR_GetPLCellInfo(h, 2, 1, &s1, 0, 0));
        lead = s1.dwSkipFrames;
        DVDPGINFO pg{};
        ASSERT_TRUE(fnVR_GetOPGCPGInfo(h, 2, &pg, 1));
        char date[32];
        std::snprintf(date, sizeof date, "%04u-%02u-%02uT%02u:%02u:%02u", unsigned(pg.dwYear), unsigned(pg.dwMonth),
                      unsigned(pg.dwDay), unsigned(pg.dwHour), unsigned(pg.dwMinute), unsigned(pg.dwSecond));
        recorded = date;
        fnVR_MANGREnd(h);
    }
    static void TearDownTestSuite() { delete dir; }

    static std::string Out(const std::string& args, const std::string& name) {
        const std::string path = dir->File(name);
        EXPECT_EQ(Tool("export '" + disc + "' " + args + " -o '" + path + "' --force"), 0) << args << " " << name;
        return path;
    }

    static TempDir* dir;
    static std::string disc, recorded;
    static DWORD lead;  // frames of playlist 2's first VOBU before its first frame
};
TempDir* Export::dir = nullptr;
std::string Export::disc, Export::recorded;
DWORD Export::lead = 0;

// Chapters at the starts (seconds), named "Chapter N" unless names says.
void ExpectChapters(const Readback& r, const std::vector<double>& starts, std::vector<std::string> names = {}) {
    ASSERT_EQ(r.chapters.size(), starts.size());
    names.resize(starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_NEAR(r.chapters[i].first - r.start, starts[i], kFrame) << "chapter " << i + 1;
        EXPECT_EQ(r.chapters[i].second, names[i].empty() ? "Chapter " + std::to_string(i + 1) : names[i]);
    }
}

TEST_F(Export, DurationsChaptersAndTimeStamps) {
    ASSERT_GT(lead, 0u) << "playlist 2 should start inside a VOBU";
    const double l = lead * kFrame;
    for (const char* ext : {"mkv", "mp4", "mpg"}) {
        SCOPED_TRACE(ext);
        const bool mp4 = std::string(ext) == "mp4", ps = std::string(ext) == "mpg";
        const Readback p1 = Read(Out("--program 1", std::string("p1.") + ext));
        const Readback l1 = Read(Out("--playlist 1", std::string("l1.") + ext));
        const Readback l2 = Read(Out("--playlist 2", std::string("l2.") + ext));
        const Readback l3 = Read(Out("--playlist 3", std::string("l3.") + ext));
        ASSERT_TRUE(p1.opened && l1.opened && l2.opened && l3.opened);
        EXPECT_NEAR(p1.duration, 50 * kFrame, kFrame);
        EXPECT_NEAR(l1.duration, 120 * kFrame, kFrame);
        // MP4 hides the lead frames in its edit lists; the others play them.
        EXPECT_NEAR(l2.duration, 80 * kFrame + (mp4 ? 0 : l), kFrame);
        EXPECT_NEAR(l3.duration, 80 * kFrame + (mp4 ? 0 : l), kFrame);
        EXPECT_TRUE(p1.monotonic && l1.monotonic && l2.monotonic && l3.monotonic);
        if (ps) continue;  // a program stream has no chapters or titles
        EXPECT_NEAR(p1.start, 0, kFrame);
        ExpectChapters(p1, {0, 20 * kFrame}, {"", "Kickoff"});
        ExpectChapters(l1, {0, 50 * kFrame, 100 * kFrame});
        ExpectChapters(l2, {mp4 ? 0 : l, 30 * kFrame + (mp4 ? 0 : l)});
        ExpectChapters(l3, {0, 50 * kFrame + (mp4 ? 0 : l)});
    }
}

TEST_F(Export, TitleDateAndAspect) {
    for (const char* ext : {"mkv", "mp4"}) {
        SCOPED_TRACE(ext);
        Readback p2 = Read(Out("--program 2", std::string("p2.") + ext));
        EXPECT_EQ(p2.metadata["title"], "Evening news");
        EXPECT_EQ(p2.metadata["creation_time"].substr(0, 19), recorded);
        EXPECT_EQ(Read(Out("--playlist 2", std::string("t2.") + ext)).metadata["title"], "Holiday");
        // A 4:3 recording keeps its own aspect.
        EXPECT_TRUE(p2.sar.num == 0 || av_cmp_q(p2.sar, AVRational{16, 15}) == 0);
    }

    // A disc that says 16:9 for a recording whose sequence header says 4:3:
    // the container signals 16:9, the video stays as recorded.
    TempDir wide;
    const std::string d = wide.File("disc");
    ASSERT_EQ(Tool("create '" + d + "' '" + kSample + "'"), 0);
    void* h = fnVR_MANGRBegin();
    ASSERT_TRUE(fnVR_MANGRLock(h, d.c_str(), 1, 0) && fnVR_MANGROpen(h, d.c_str()));
    CM_AVFIT* avfit = static_cast<CVR_MANGR*>(h)->m_pM_AVFIT;
    avfit->fnSet_wV_ATR(0, static_cast<WORD>(avfit->fnGet_wV_ATR(0) | 0x0400));
    ASSERT_TRUE(fnVR_MANGRSave(h, nullptr));
    fnVR_MANGREnd(h);
    for (const char* ext : {"mkv", "mp4"}) {
        SCOPED_TRACE(ext);
        const std::string out = wide.File(std::string("w.") + ext);
        ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "'"), 0);
        const Readback r = Read(out);
        EXPECT_EQ(av_cmp_q(r.sar, AVRational{64, 45}), 0) << r.sar.num << "/" << r.sar.den;  // 720x576 at 16:9
        EXPECT_EQ(r.aspectCode, 2);  // the sequence header still says 4:3
    }
}

// Each cell plays exactly its frames in MP4: from a first frame inside a
// VOBU, first in the chain (playlist 2) or later (playlist 3), to a last
// frame inside one (playlist 1 ends with frames 0-19 of recording 1).
TEST_F(Export, Mp4PlaysEachCellFromItsFirstFrameToItsLast) {
    const std::vector<uint8_t> frame20 = Picture(kSample, 20), frame19 = Picture(kSample, 19);
    ASSERT_FALSE(frame20.empty() || frame19.empty());
    const std::string l2 = Out("--playlist 2", "first.mp4"), l3 = Out("--playlist 3", "later.mp4"),
                      l1 = Out("--playlist 1", "end.mp4");
    EXPECT_TRUE(Picture(l2, 0) == frame20) << "playlist 2 does not start with frame 20 of the recording";
    EXPECT_FALSE(Picture(l2, 0) == Picture(kSample, 20 - static_cast<int>(lead)));
    EXPECT_TRUE(Picture(l3, 50) == frame20) << "playlist 3's second cell does not start with frame 20";
    EXPECT_TRUE(Picture(l3, 49) == Picture(kSample, 49));
    EXPECT_TRUE(Picture(l1, 119) == frame19) << "playlist 1 does not end with frame 19";
    EXPECT_TRUE(Picture(l1, 120).empty());
}

// --skip-damaged: a VOBU with three zeroed sectors is left out, the rest
// plays on without a hole (its frames, its sound, its times from the time
// map), and the chapter inside the left-out VOBU moves to what follows it.
// Damage in the first VOBU and in the second (where chapter 2 lies).
TEST(ExportDamage, SkipDamagedLeavesTheDamagedVobuOutAndKeepsEveryOtherFrame) {
    av_log_set_level(AV_LOG_QUIET);
    for (int damaged = 0; damaged < 2; ++damaged) {
        SCOPED_TRACE("damage in VOBU " + std::to_string(damaged + 1));
        TempDir dir;
        const std::string d = dir.File("disc");
        ASSERT_EQ(Tool("create '" + d + "' '" + kSample + "'"), 0);
        ASSERT_EQ(Tool("chapters '" + d + "' divide 1 20"), 0);
        // The VOBUs' starts and lengths (frames) as the time map gives them.
        void* h = fnVR_MANGRBegin();
        ASSERT_TRUE(fnVR_MANGRLock(h, d.c_str(), 0, 0) && fnVR_MANGROpen(h, d.c_str()));
        __int64 starts[8] = {};
        DWORD fields[8] = {};
        ASSERT_EQ(fnVR_GetUnitStarts(h, 0, 1, starts, 8), 4u);
        ASSERT_EQ(fnVR_GetUnitFields(h, 1, fields, 8), 4u);
        fnVR_MANGREnd(h);
        int first = 0;  // the damaged VOBU's first frame
        for (int i = 0; i < damaged; ++i) first += static_cast<int>(fields[i] / 2);
        const int left = static_cast<int>(fields[damaged] / 2);
        ASSERT_TRUE(first <= 20 || damaged == 0);
        {
            std::fstream vro(d + "/VR_MOVIE.VRO", std::ios::in | std::ios::out | std::ios::binary);
            vro.seekp((starts[damaged] + 1) * 2048);
            const std::string zeros(3 * 2048, '\0');
            vro.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
            ASSERT_TRUE(vro.good());
        }
        // Output frame i is source frame i before the hole and i + left
        // behind it; the two frames after the hole may lean on the frames
        // left out (an open GOP), the others must be the source's.
        const auto source = [&](int i) { return i < first ? i : i + left; };
        const int kept = 50 - left;
        const double chapter2 = 20 < first ? 20 : 20 < first + left ? first : 20 - left;
        for (const char* ext : {"mkv", "mp4", "mpg"}) {
            SCOPED_TRACE(ext);
            const std::string out = dir.File(std::string("out.") + ext);
            EXPECT_NE(Tool("export '" + d + "' --program 1 -o '" + out + "'"), 0);
            ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "' --skip-damaged --force"), 0);
            const Readback r = Read(out);
            ASSERT_TRUE(r.opened);
            EXPECT_TRUE(r.monotonic);
            EXPECT_NEAR(r.duration, kept * kFrame, kFrame);
            for (int i : {first - 1, first + 3, first + 8, kept - 1}) {
                if (i < 0) continue;
                EXPECT_TRUE(Picture(out, i) == Picture(kSample, source(i))) << "frame " << i;
            }
            EXPECT_TRUE(Picture(out, kept).empty());
            if (std::string(ext) != "mpg") ExpectChapters(r, {0, chapter2 * kFrame});
        }
    }
}

// ---- Decoded content: every frame, every sample ----

std::vector<int16_t> Samples(const std::string& path, int* errors);

// A recording with B-frames, open GOPs and frames without a presentation
// time (100 frames), chapters at frames 30 and 77. Program 1 plays it
// whole; playlist 1 frames 30-76 (both ends inside open GOPs); playlist 2
// frames 77-99, then 0-29. MP4 shows exactly the cells' frames. MKV and
// MPEG-PS start each cell at its VOBU's first frame that decodes (its I
// frame: the open GOP's leading B-frames refer to a GOP the cell does not
// hold) and end it where its last frames still decode (B-frames that would
// refer to a frame behind the cell go); no frame is shown twice, none
// against a wrong reference, and the shown times rise. Every audio packet
// decodes.
TEST(ExportDecodes, EveryFrameOfTheCellsAsTheSourceShowsIt) {
    av_log_set_level(AV_LOG_QUIET);
    const std::string sample = std::string(VRMANGR_DATA) + "/pal_mpeg2_bframes_cif.vob";
    const Shown source = Decode(sample);
    ASSERT_EQ(source.hashes.size(), 100u);
    ASSERT_EQ(source.errors, 0);
    TempDir dir;
    const std::string d = dir.File("disc");
    for (const std::string& command :
         {"create '" + d + "' '" + sample + "'", "chapters '" + d + "' divide 1 30", "chapters '" + d + "' divide 2 47",
          "playlist '" + d + "' new", "playlist '" + d + "' add 1 0 2", "playlist '" + d + "' new",
          "playlist '" + d + "' add 2 0 3", "playlist '" + d + "' add 2 1 1"})
        ASSERT_EQ(Tool(command), 0) << command;
    struct Chain {
        const char* args;
        std::vector<std::vector<int>> cells;  // the source frames of each cell
    };
    const Chain chains[] = {{"--program 1", {Range(0, 100)}},
                            {"--playlist 1", {Range(30, 77)}},
                            {"--playlist 2", {Range(77, 100), Range(0, 30)}}};
    for (const char* ext : {"mp4", "mkv", "mpg"}) {
        for (const Chain& chain : chains) {
            SCOPED_TRACE(std::string(ext) + " " + chain.args);
            const std::string out = dir.File(std::string("out.") + ext);
            ASSERT_EQ(Tool("export '" + d + "' " + chain.args + " -o '" + out + "' --force"), 0);
            const Shown shown = Decode(out);
            EXPECT_EQ(shown.errors, 0);
            // No part of an audio frame that a cell's edge cut off.
            int audioErrors = 0;
            Samples(out, &audioErrors);
            EXPECT_EQ(audioErrors, 0);
            const std::vector<int> frames = SourceFrames(shown, source);
            EXPECT_EQ(std::count(frames.begin(), frames.end(), -1), 0) << "pictures the source does not show";
            for (size_t i = 1; i < shown.times.size(); ++i) EXPECT_GT(shown.times[i], shown.times[i - 1]);
            if (std::string(ext) == "mp4") {
                std::vector<int> expected;
                for (const auto& cell : chain.cells) expected.insert(expected.end(), cell.begin(), cell.end());
                EXPECT_EQ(frames, expected);
                // Every frame one frame after the one before: a constant
                // rate needs no frame doubled or dropped.
                for (size_t i = 1; i < shown.times.size(); ++i)
                    EXPECT_EQ(shown.times[i] - shown.times[i - 1], 3600) << "after picture " << i - 1;
                continue;
            }
            // Each cell: a run of consecutive source frames from at most a
            // VOBU before its first frame to at most two before its end.
            size_t at = 0;
            for (const auto& cell : chain.cells) {
                ASSERT_LT(at, frames.size());
                const int first = frames[at];
                EXPECT_LE(first, cell.front());
                EXPECT_GE(first, cell.front() - 12);
                int last = first;
                while (at + 1 < frames.size() && frames[at + 1] == last + 1) last = frames[++at];
                ++at;
                EXPECT_GE(last, cell.back() - 2);
                EXPECT_LE(last, cell.back());
            }
            EXPECT_EQ(at, frames.size());
            if (chain.cells.size() == 1 && chain.cells[0].front() == 0) {
                EXPECT_EQ(frames, chain.cells[0]);
                for (size_t i = 1; i < shown.times.size(); ++i)
                    EXPECT_EQ(shown.times[i] - shown.times[i - 1], 3600) << "after picture " << i - 1;
            }
        }
    }
}

// The audio samples of a file as 16-bit interleaved PCM (zeros for codings
// that do not decode to it); *errors counts the packets the decoder refused.
// A 30 s recording with 10.08 s to 15.84 s erased (cut at VOBU boundaries):
// in each container the program shows the source's frames 0-251 and
// 396-749, never one of the erased stretch, and lasts what info says,
// 24.24 s.
TEST(ExportDecodes, AnErasedStretchIsGoneAndTheDurationIsInfos) {
    av_log_set_level(AV_LOG_QUIET);
    const std::string sample = std::string(VRMANGR_DATA) + "/pal_cif_30s.vob";
    const Shown source = Decode(sample);
    ASSERT_EQ(source.hashes.size(), 750u);
    TempDir dir;
    const std::string d = dir.File("disc");
    ASSERT_EQ(Tool("create '" + d + "' '" + sample + "'"), 0);
    ASSERT_EQ(Tool("program '" + d + "' erase 1 10 16 --yes"), 0);
    std::vector<int> kept = Range(0, 252);
    const std::vector<int> after = Range(396, 750);
    kept.insert(kept.end(), after.begin(), after.end());
    for (const char* ext : {"mp4", "mkv"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir.File(std::string("out.") + ext);
        ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "' --force"), 0);
        const std::vector<int> frames = SourceFrames(Decode(out), source);
        EXPECT_EQ(frames, kept);
        EXPECT_NEAR(Read(out).duration, 24.24, kFrame);
    }
}

std::vector<int16_t> Samples(const std::string& path, int* errors) {
    std::vector<int16_t> samples;
    DecodeStream(
        path, AVMEDIA_TYPE_AUDIO, false,
        [&](const AVFrame* frame, const AVStream*) {
            // 16-bit LPCM decodes to S16; other codings are only counted.
            const size_t n = static_cast<size_t>(frame->nb_samples * frame->ch_layout.nb_channels);
            const auto* s16 = reinterpret_cast<const int16_t*>(frame->data[0]);
            if (frame->format == AV_SAMPLE_FMT_S16)
                samples.insert(samples.end(), s16, s16 + n);
            else
                samples.resize(samples.size() + n);
        },
        errors);
    return samples;
}

// LPCM goes into MKV as PCM: the samples are the source's, from the first
// on, for the program's two seconds (the last LPCM packet begins behind the
// last picture and is the next cell's time).
TEST(ExportDecodes, LpcmInMkvHasTheSourcesSamples) {
    av_log_set_level(AV_LOG_QUIET);
    const std::string sample = std::string(VRMANGR_DATA) + "/pal_mpeg2_lpcm_16x9.vob";
    TempDir dir;
    const std::string d = dir.File("disc"), out = dir.File("lpcm.mkv");
    ASSERT_EQ(Tool("create '" + d + "' '" + sample + "'"), 0);
    ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "'"), 0);
    const std::vector<int16_t> source = Samples(sample, nullptr), exported = Samples(out, nullptr);
    ASSERT_EQ(source.size(), 2u * 96000u);
    EXPECT_GT(exported.size(), 2u * 95000u);
    ASSERT_LE(exported.size(), source.size());
    EXPECT_TRUE(std::equal(exported.begin(), exported.end(), source.begin())) << "the samples differ";
}

// The edit list entries (duration, media time) of each track of an MP4.
std::vector<std::vector<std::pair<uint64_t, int64_t>>> EditLists(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto load = [&](size_t at, int n) {
        uint64_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 8 | static_cast<uint8_t>(d[at + static_cast<size_t>(i)]);
        return v;
    };
    std::vector<std::vector<std::pair<uint64_t, int64_t>>> lists;
    for (size_t at = d.find("elst"); at != std::string::npos && at + 12 <= d.size(); at = d.find("elst", at + 4)) {
        const bool wide = d[at + 4] == 1;
        const uint64_t n = load(at + 8, 4);
        lists.emplace_back();
        size_t p = at + 12;
        for (uint64_t i = 0; i < n && p + (wide ? 20 : 12) <= d.size(); ++i, p += wide ? 20 : 12) {
            const uint64_t duration = load(p, wide ? 8 : 4);
            const uint64_t media = load(p + (wide ? 8 : 4), wide ? 8 : 4);
            lists.back().emplace_back(
                duration, wide ? static_cast<int64_t>(media) : static_cast<int64_t>(static_cast<int32_t>(media)));
        }
    }
    return lists;
}

// MP4 edit lists: audio that starts behind the first picture (MPEG audio
// by 14 ms, AC-3 by 27 ms) begins with an empty edit (media time -1), and
// no edit has another negative media time.
TEST(ExportDecodes, Mp4EditListsHoldNoNegativeMediaTime) {
    av_log_set_level(AV_LOG_QUIET);
    for (const char* name : {"pal_mpeg2_mp2_4x3.vob", "ntsc_mpeg2_ac3_16x9.vob"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        const std::string d = dir.File("disc"), out = dir.File("out.mp4");
        ASSERT_EQ(Tool("create '" + d + "' '" + std::string(VRMANGR_DATA) + "/" + name + "'"), 0);
        ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "'"), 0);
        const auto lists = EditLists(out);
        ASSERT_GE(lists.size(), 2u);
        bool emptyFirst = false;
        for (const auto& list : lists) {
            ASSERT_FALSE(list.empty());
            for (const auto& [duration, media] : list) EXPECT_GE(media, -1);
            EXPECT_NE(list.back().second, -1) << "an edit list ends with an empty edit";
            emptyFirst = emptyFirst || (list.size() == 2 && list[0].second == -1 && list[0].first > 0);
        }
        EXPECT_TRUE(emptyFirst) << "the audio track does not begin with an empty edit";
    }
}

// A cell that ends inside a recording cuts its last audio frame: the part
// is left out, so that every audio packet of the output decodes.
TEST(ExportDecodes, AudioFramesCutByACellEdgeAreLeftOut) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), s = "'" + kSample + "'";
    for (const std::string& command :
         {"create '" + d + "' " + s + " " + s, "chapters '" + d + "' divide 1 20", "playlist '" + d + "' new",
          "playlist '" + d + "' add 1 0 1", "playlist '" + d + "' add 1 1 3"})
        ASSERT_EQ(Tool(command), 0) << command;
    for (const char* ext : {"mkv", "mpg", "mp4"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir.File(std::string("cut.") + ext);
        ASSERT_EQ(Tool("export '" + d + "' --playlist 1 -o '" + out + "'"), 0);
        int errors = 0;
        EXPECT_GT(Samples(out, &errors).size(), 2u * 48000u * 2u);  // 20 frames and 2 s of stereo
        EXPECT_EQ(errors, 0);
    }
}

// Frame lengths from the headers: MPEG audio layer II at 48 kHz (224 and
// 128 kbit/s, with padding), layer III of MPEG-2 at 24 kHz, AC-3 at 48 and
// 44.1 kHz; no length for what is no header.
TEST(ExportDecodes, AudioFrameLengthsFromTheirHeaders) {
    using vrexport::AudioCoding;
    using vrexport::AudioFrameBytes;
    const uint8_t mp2_224[] = {0xFF, 0xFD, 0xB4, 0x00}, mp2_128_padded[] = {0xFF, 0xFD, 0x86, 0x00},
                  mp3_v2_64[] = {0xFF, 0xF3, 0x84, 0x00}, ac3_48_192[] = {0x0B, 0x77, 0, 0, 0x14},
                  ac3_44_192[] = {0x0B, 0x77, 0, 0, 0x55}, ac3_48_448[] = {0x0B, 0x77, 0, 0, 0x1E},
                  noise[] = {0x12, 0x34, 0x56, 0x78, 0x9A};
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kMpeg, mp2_224, 4), 672u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kMpeg, mp2_128_padded, 4), 385u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kMpeg, mp3_v2_64, 4), 192u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kAc3, ac3_48_192, 5), 768u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kAc3, ac3_44_192, 5), 836u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kAc3, ac3_48_448, 5), 1792u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kMpeg, noise, 5), 0u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kAc3, noise, 5), 0u);
    EXPECT_EQ(AudioFrameBytes(AudioCoding::kAc3, ac3_48_192, 4), 0u);
}

// The disc keeps wall-clock times of its zone: a recording made at 13:32:07
// UTC on a disc nine hours east (22:32:07 there) is exported with the UTC
// instant as its creation time.
TEST(ExportDecodes, CreationTimeIsTheUtcInstantOfTheDiscsLocalTime) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), out = dir.File("east.mkv");
    {
        vrm::ScopedTestClock clock(SYSTEMTIME{2019, 10, 3, 30, 13, 32, 7, 0}, 540);
        std::filesystem::create_directories(d);
        void* h = fnVR_MANGRBegin();
        ASSERT_TRUE(fnVR_MANGRNew(h, d.c_str()) && fnVR_AddMpegFile(h, kSample.c_str(), nullptr) &&
                    fnVR_MANGRSave(h, nullptr));
        DVDPGINFO pg{};
        ASSERT_TRUE(fnVR_GetOPGCPGInfo(h, 1, &pg, 1));
        EXPECT_EQ(pg.dwHour, 22u) << "the disc keeps the zone's wall-clock time";
        fnVR_MANGREnd(h);
    }
    ASSERT_EQ(Tool("export '" + d + "' --program 1 -o '" + out + "'"), 0);
    EXPECT_EQ(Read(out).metadata["creation_time"].substr(0, 19), "2019-10-30T13:32:07");
    // The file itself is dated by the recording's instant.
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1572442327) << "2019-10-30 13:32:07 UTC";
}

// A playlist whose cells differ in audio (AC-3 mono, then MPEG audio
// stereo) gets one audio track, transcoded (AC-3; in MP4 AAC): it decodes
// without an error, lasts the three seconds, and both cells' tones are in
// it. --audio copy refuses such a playlist.
TEST(ExportDecodes, MixedAudioIsTranscodedToOneTrack) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc");
    const std::string mono = "'" + std::string(VRMANGR_DATA) + "/pal_mpeg2_ac3mono_4x3.vob'";
    for (const std::string& command : {"create '" + d + "' " + mono + " '" + kSample + "'", "playlist '" + d + "' new",
                                       "playlist '" + d + "' add 1 0 1", "playlist '" + d + "' add 1 1 2"})
        ASSERT_EQ(Tool(command), 0) << command;
    for (const char* ext : {"mkv", "mp4", "mpg"}) {
        SCOPED_TRACE(ext);
        const std::string out = dir.File(std::string("mixed.") + ext);
        ASSERT_EQ(Tool("export '" + d + "' --playlist 1 -o '" + out + "'"), 0);
        // The first channel's samples, by output time.
        std::vector<float> left;
        std::string codec;
        int errors = 0;
        DecodeStream(
            out, AVMEDIA_TYPE_AUDIO, false,
            [&](const AVFrame* f, const AVStream* st) {
                codec = avcodec_get_name(st->codecpar->codec_id);
                if (f->format != AV_SAMPLE_FMT_FLTP) return;
                const auto* x = reinterpret_cast<const float*>(f->data[0]);
                left.insert(left.end(), x, x + f->nb_samples);
            },
            &errors);
        EXPECT_EQ(errors, 0);
        EXPECT_EQ(codec, std::string(ext) == "mp4" ? "aac" : "ac3");
        EXPECT_NEAR(static_cast<double>(left.size()) / 48000, 3.0, 0.1);
        const auto rms = [&](double from, double to) {
            double sum = 0;
            size_t n = 0;
            const size_t end = std::min(left.size(), static_cast<size_t>(to * 48000));
            for (size_t i = static_cast<size_t>(from * 48000); i < end; ++i, ++n)
                sum += static_cast<double>(left[i]) * left[i];
            return n ? std::sqrt(sum / static_cast<double>(n)) : 0.0;
        };
        EXPECT_GT(rms(0.2, 0.8), 0.05) << "the AC-3 cell's tone is missing";
        EXPECT_GT(rms(1.2, 2.8), 0.05) << "the MPEG audio cell's tone is missing";
    }
    EXPECT_NE(Tool("export '" + d + "' --playlist 1 -o '" + dir.File("copy.mkv") + "' --audio copy"), 0);
}

// Still pictures export as images, one per picture, at the display aspect
// with square pixels (768x576 for 4:3 625-line pictures): under --all beside
// the movie, named by the template; to JPEG by the name's extension. The
// second picture of the sample is SMPTE colour bars: its first bar light
// grey, its second yellow.
TEST(ExportDecodes, StillProgramsBecomeImages) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string d = dir.File("disc"), all = dir.File("all");
    const std::string still = std::string(VRMANGR_DATA) + "/still_pal_2pictures.vob";
    ASSERT_EQ(Tool("create '" + d + "' '" + kSample + "' --still '" + still + "'"), 0);
    ASSERT_EQ(Tool("export '" + d + "' --all -d '" + all + "' --name '{chain}{n}'"), 0);
    EXPECT_TRUE(Read(all + "/program01.mkv").opened);
    struct Pixel {
        int r, g, b;
    };
    const auto pixels = [](const std::string& path, int* width, int* height, std::vector<Pixel>* at) {
        return DecodeStream(path, AVMEDIA_TYPE_VIDEO, false, [&](const AVFrame* f, const AVStream*) {
            *width = f->width;
            *height = f->height;
            if (f->format != AV_PIX_FMT_RGB24) return;
            for (int x : {50, 160}) {
                const uint8_t* p = f->data[0] + 100 * f->linesize[0] + 3 * x;
                at->push_back({p[0], p[1], p[2]});
            }
        });
    };
    int w = 0, h = 0;
    std::vector<Pixel> bars;
    ASSERT_TRUE(pixels(all + "/program02-02.png", &w, &h, &bars));
    EXPECT_EQ(w, 768);
    EXPECT_EQ(h, 576);
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_TRUE(bars[0].r > 150 && std::abs(bars[0].r - bars[0].b) < 20) << "the first bar is not grey";
    EXPECT_TRUE(bars[1].r > 150 && bars[1].g > 150 && bars[1].b < 60) << "the second bar is not yellow";
    std::vector<Pixel> first;
    ASSERT_TRUE(pixels(all + "/program02-01.png", &w, &h, &first));
    EXPECT_FALSE(first.size() == 2 && first[1].b < 60 && first[1].r > 150) << "picture 1 is picture 2 again";
    EXPECT_FALSE(std::filesystem::exists(all + "/program02-03.png"));
    // One program to JPEG.
    ASSERT_EQ(Tool("export '" + d + "' --program 2 -o '" + dir.File("pic.jpg") + "'"), 0);
    std::vector<Pixel> none;
    ASSERT_TRUE(pixels(dir.File("pic-02.jpg"), &w, &h, &none));
    EXPECT_EQ(w, 768);
}

}  // namespace

// Ctrl-C at any read of a cell (the progress function says stop): every
// path of the module that reads cells stops with kCancelled and nothing
// else, also while the demuxer is still identifying the cell's streams.
TEST(ExportDecodes, CancellingAtAnyReadStopsCleanly) {
    av_log_set_level(AV_LOG_QUIET);
    TempDir dir;
    const std::string file = std::string(VRMANGR_DATA) + "/pal_cif_12s.vob";
    vrexport::Plan plan;
    plan.container = vrexport::Container::kDvdVideo;
    plan.cells.push_back({file, 0, static_cast<int64_t>(std::filesystem::file_size(file)), 0, 12 * 90000});
    vrexport::MenuPage page;
    page.entries.push_back({&plan, "A", false});
    const vrexport::MenuFiles files{dir.File("m.mpg"), dir.File("h.png"), dir.File("s.png")};
    for (int stopAt = 1; stopAt <= 6; ++stopAt) {
        SCOPED_TRACE("stopped at read " + std::to_string(stopAt));
        int reads = 0;
        const vrexport::ProgressFn stop = [&](uint64_t, uint64_t) { return ++reads < stopAt; };
        std::string error;
        bool named = false;
        EXPECT_EQ(vrexport::MakeMenuPage(page, files, stop, &named, &error), vrexport::Result::kCancelled);
        reads = 0;
        const int fd = open(dir.File("t.vob").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(vrexport::Export(plan, fd, stop, &error), vrexport::Result::kCancelled);
        close(fd);
    }
}
