// A menu page: composed as one YUV picture (the entries' first pictures
// scaled into their boxes, arrows drawn, names set by libavfilter's drawtext
// with a font fontconfig finds), encoded as a still of MPEG-2 video with
// silent AC-3 in DVD-Video's program stream; the buttons' outlines as PNG.
#include "export/menu.h"

#include "export/av_ptr.h"
#include "export/cell_decode.h"
#include "export/video_transcode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswscale/swscale.h>
}

namespace vrexport {
namespace {

struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
struct OutputFree {
    void operator()(AVFormatContext* f) const {
        avio_closep(&f->pb);
        avformat_free_context(f);
    }
};

// The page's colours: a dark blue background, white arrows and names, the
// outlines of a highlighted (yellow) and a selected (orange) button.
constexpr uint8_t kBackground[3] = {42, 143, 122};  // Y, Cb, Cr
constexpr uint8_t kWhite[3] = {235, 128, 128};
constexpr uint8_t kHighlight[4] = {255, 210, 0, 255};  // RGBA
constexpr uint8_t kSelect[4] = {255, 90, 40, 255};
constexpr int kOutline = 4;  // pixels

// Seconds of still the page is encoded as (the authoring program holds its
// last picture).
constexpr int kFrames625 = 15, kFrames525 = 18;

FramePtr NewFrame(int width, int height, AVPixelFormat format) {
    FramePtr f(av_frame_alloc());
    if (!f) return f;
    f->width = width;
    f->height = height;
    f->format = format;
    if (av_frame_get_buffer(f.get(), 0) < 0) f.reset();
    return f;
}

// Paints r of a YUV 4:2:0 picture (even corners) in colour c.
void Fill(AVFrame* f, const Rect& r, const uint8_t c[3]) {
    for (int y = r.y0; y < r.y1; ++y) std::memset(f->data[0] + y * f->linesize[0] + r.x0, c[0], r.x1 - r.x0);
    for (int p = 1; p < 3; ++p) {
        for (int y = r.y0 / 2; y < r.y1 / 2; ++y)
            std::memset(f->data[p] + y * f->linesize[p] + r.x0 / 2, c[p], (r.x1 - r.x0) / 2);
    }
}

// A triangle pointing left or right inside the button r.
void Arrow(AVFrame* f, Rect r, bool right) {
    r = {r.x0 + 12, r.y0 + 8, r.x1 - 12, r.y1 - 8};
    const int h = r.y1 - r.y0, w = r.x1 - r.x0;
    for (int y = 0; y < h; ++y) {
        const int reach = (w * (h - std::abs(2 * y - h))) / h / 2 * 2;
        const Rect row =
            right ? Rect{r.x0, r.y0 + y, r.x0 + reach, r.y0 + y + 1} : Rect{r.x1 - reach, r.y0 + y, r.x1, r.y0 + y + 1};
        for (int x = row.x0; x < row.x1; ++x) f->data[0][row.y0 * f->linesize[0] + x] = kWhite[0];
    }
}

// The first picture of the entry's first cell, or null when it has none.
Result FirstPicture(const MenuEntry& e, const ProgressFn& progress, FramePtr* picture, std::string* error) {
    if (!e.plan || e.plan->cells.empty()) return Result::kDone;
    uint64_t done = 0;
    const Cell& cell = e.plan->cells[0];
    const Result r = DecodeCell(
        *e.plan, cell, &done, static_cast<uint64_t>(cell.end - cell.start), progress,
        [&](const AVFrame* f) {
            picture->reset(av_frame_clone(f));
            return false;
        },
        error);
    return r == Result::kWriteFailed ? Result::kDone : r;
}

// Scales the picture into r of the page.
bool Place(AVFrame* page, const AVFrame* picture, const Rect& r) {
    const ScalerPtr scaler(sws_getContext(picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                          r.x1 - r.x0, r.y1 - r.y0, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                          nullptr));
    if (!scaler) return false;
    uint8_t* planes[4] = {page->data[0] + r.y0 * page->linesize[0] + r.x0,
                          page->data[1] + r.y0 / 2 * page->linesize[1] + r.x0 / 2,
                          page->data[2] + r.y0 / 2 * page->linesize[2] + r.x0 / 2, nullptr};
    sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, page->linesize);
    return true;
}

// The name as one line that fits its box: at most 15 characters and an ellipsis, the rest
// cut off with an ellipsis.
std::string FitName(const std::string& name) {
    size_t chars = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if ((static_cast<unsigned char>(name[i]) & 0xC0) == 0x80) continue;
        if (++chars == 16) return name.substr(0, i) + "\u2026";
    }
    return name;
}

// The font pattern for fontconfig: a sans-serif face, one that covers
// Japanese or Korean for names written in them.
std::string FontFor(const std::string& name) {
    for (size_t i = 0; i + 2 < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if ((c & 0xF0) != 0xE0) continue;
        const unsigned code = (c & 0x0F) << 12 | (name[i + 1] & 0x3F) << 6 | (name[i + 2] & 0x3F);
        if (code >= 0xAC00 && code <= 0xD7AF) return "Sans:lang=ko";
        if (code >= 0x3040 && code <= 0x9FFF) return "Sans:lang=ja";
    }
    return "Sans";
}

// Sets each entry's name below its box with drawtext: the page with names,
// or null when drawtext or a font is missing.
FramePtr DrawNames(const MenuPage& page, AVFrame* picture) {
    const AVFilter* text = avfilter_get_by_name("drawtext");
    std::unique_ptr<AVFilterGraph, GraphFree> graph(avfilter_graph_alloc());
    if (!text || !graph) return nullptr;
    char args[160];
    std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=%s", picture->width,
                  picture->height, static_cast<int>(AV_PIX_FMT_YUV420P), page.ntsc ? "8/9" : "16/15");
    AVFilterContext *in = nullptr, *out = nullptr;
    if (avfilter_graph_create_filter(&in, avfilter_get_by_name("buffer"), "in", args, nullptr, graph.get()) < 0 ||
        avfilter_graph_create_filter(&out, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph.get()) <
            0)
        return nullptr;
    AVFilterContext* last = in;
    const int size = page.ntsc ? 18 : 22;
    for (size_t i = 0; i < page.entries.size(); ++i) {
        const std::string& name = page.entries[i].name;
        if (name.empty()) continue;
        const Rect r = MenuEntrySlot(page.ntsc, i, page.entries[i].wide).name;
        AVFilterContext* t = avfilter_graph_alloc_filter(graph.get(), text, nullptr);
        const std::string x = std::to_string(r.x0) + "+(" + std::to_string(r.x1 - r.x0) + "-text_w)/2";
        const std::string y = std::to_string(r.y0 + (r.y1 - r.y0 - size) / 2);
        if (!t || av_opt_set(t, "text", FitName(name).c_str(), AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "font", FontFor(name).c_str(), AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "expansion", "none", AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "fontsize", std::to_string(size).c_str(), AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "fontcolor", "white", AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "x", x.c_str(), AV_OPT_SEARCH_CHILDREN) < 0 ||
            av_opt_set(t, "y", y.c_str(), AV_OPT_SEARCH_CHILDREN) < 0 || avfilter_init_str(t, nullptr) < 0 ||
            avfilter_link(last, 0, t, 0) < 0)
            return nullptr;
        last = t;
    }
    FramePtr named(av_frame_alloc());
    if (!named || avfilter_link(last, 0, out, 0) < 0 || avfilter_graph_config(graph.get(), nullptr) < 0 ||
        av_buffersrc_add_frame_flags(in, picture, AV_BUFFERSRC_FLAG_KEEP_REF) < 0 ||
        av_buffersink_get_frame(out, named.get()) < 0)
        return nullptr;
    return named;
}

// The page's picture: background, entries, arrows; *named as for
// MakeMenuPage.
Result Compose(const MenuPage& page, const ProgressFn& progress, FramePtr* composed, bool* named, std::string* error) {
    FramePtr f = NewFrame(kMenuWidth, MenuHeight(page.ntsc), AV_PIX_FMT_YUV420P);
    if (!f) return *error = "out of memory.", Result::kFailed;
    Fill(f.get(), {0, 0, f->width, f->height}, kBackground);
    for (size_t i = 0; i < page.entries.size(); ++i) {
        const MenuSlot slot = MenuEntrySlot(page.ntsc, i, page.entries[i].wide);
        FramePtr picture;
        const Result r = FirstPicture(page.entries[i], progress, &picture, error);
        if (r != Result::kDone) return r;
        constexpr uint8_t kBlack[3] = {16, 128, 128};
        Fill(f.get(), slot.picture, kBlack);
        if (picture && !Place(f.get(), picture.get(), slot.picture)) return *error = "out of memory.", Result::kFailed;
    }
    if (page.previous) Arrow(f.get(), MenuArrow(page.ntsc, false), false);
    if (page.next) Arrow(f.get(), MenuArrow(page.ntsc, true), true);
    FramePtr withNames = DrawNames(page, f.get());
    *named = withNames != nullptr;
    *composed = withNames ? std::move(withNames) : std::move(f);
    return Result::kDone;
}

// The encoder of the still's silence: AC-3 stereo.
CodecPtr AudioEncoder() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AC3);
    CodecPtr c(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!c) return c;
    c->sample_rate = 48000;
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&c->ch_layout, 2);
    c->bit_rate = 192000;
    c->time_base = AVRational{1, 48000};
    if (avcodec_open2(c.get(), codec, nullptr) < 0) c.reset();
    return c;
}

// Encodes f (null: the end) and writes what comes out into stream s.
bool Encode(AVCodecContext* c, const AVFrame* f, AVFormatContext* out, int s) {
    PacketPtr p(av_packet_alloc());
    if (!p || avcodec_send_frame(c, f) < 0) return false;
    while (avcodec_receive_packet(c, p.get()) >= 0) {
        av_packet_rescale_ts(p.get(), c->time_base, out->streams[s]->time_base);
        p->stream_index = s;
        if (av_interleaved_write_frame(out, p.get()) < 0) return false;
    }
    return true;
}

// The picture as a still of kFrames, with as much silence, into path.
bool EncodeStill(const AVFrame* picture, bool ntsc, const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "dvd", path.c_str()) < 0 || !raw) return false;
    std::unique_ptr<AVFormatContext, OutputFree> out(raw);
    // 4:3 pages; one GOP of reference pictures only.
    CodecPtr video = OpenDvdVideoEncoder(
        kMenuWidth, MenuHeight(ntsc), ntsc ? AVRational{30000, 1001} : AVRational{25, 1}, AVRational{4, 3}, 0, false);
    CodecPtr audio = AudioEncoder();
    FramePtr still(av_frame_clone(picture)), silence(av_frame_alloc());
    if (!video || !audio || !still || !silence) return false;
    for (AVCodecContext* c : {video.get(), audio.get()}) {
        AVStream* s = avformat_new_stream(out.get(), nullptr);
        if (!s || avcodec_parameters_from_context(s->codecpar, c) < 0) return false;
        s->time_base = c->time_base;
    }
    silence->nb_samples = audio->frame_size;
    silence->format = audio->sample_fmt;
    silence->sample_rate = audio->sample_rate;
    if (av_channel_layout_copy(&silence->ch_layout, &audio->ch_layout) < 0 ||
        av_frame_get_buffer(silence.get(), 0) < 0 ||
        av_samples_set_silence(silence->data, 0, silence->nb_samples, audio->ch_layout.nb_channels, audio->sample_fmt) <
            0 ||
        avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(out.get(), nullptr) < 0)
        return false;
    const int frames = ntsc ? kFrames525 : kFrames625;
    for (int i = 0; i < frames; ++i) {
        if (av_frame_make_writable(still.get()) < 0) return false;
        still->pts = i;
        if (!Encode(video.get(), still.get(), out.get(), 0)) return false;
    }
    const int64_t samples = av_rescale_q(frames, video->time_base, audio->time_base);
    for (int64_t t = 0; t < samples; t += silence->nb_samples) {
        silence->pts = t;
        if (!Encode(audio.get(), silence.get(), out.get(), 1)) return false;
    }
    return Encode(video.get(), nullptr, out.get(), 0) && Encode(audio.get(), nullptr, out.get(), 1) &&
           av_write_trailer(out.get()) == 0;
}

// The buttons' outlines in one colour on a transparent page, as PNG.
bool WriteOutlines(const std::vector<Rect>& buttons, bool ntsc, const uint8_t colour[4], const std::string& path) {
    FramePtr f = NewFrame(kMenuWidth, MenuHeight(ntsc), AV_PIX_FMT_RGBA);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_PNG);
    CodecPtr c(codec ? avcodec_alloc_context3(codec) : nullptr);
    PacketPtr p(av_packet_alloc());
    if (!f || !c || !p) return false;
    for (int y = 0; y < f->height; ++y) std::memset(f->data[0] + y * f->linesize[0], 0, f->width * 4);
    for (const Rect& b : buttons) {
        for (int y = b.y0; y < b.y1; ++y) {
            for (int x = b.x0; x < b.x1; ++x) {
                const bool edge =
                    y < b.y0 + kOutline || y >= b.y1 - kOutline || x < b.x0 + kOutline || x >= b.x1 - kOutline;
                if (edge) std::memcpy(f->data[0] + y * f->linesize[0] + 4 * x, colour, 4);
            }
        }
    }
    c->width = f->width;
    c->height = f->height;
    c->pix_fmt = AV_PIX_FMT_RGBA;
    c->time_base = AVRational{1, 25};
    if (avcodec_open2(c.get(), codec, nullptr) < 0 || avcodec_send_frame(c.get(), f.get()) < 0 ||
        avcodec_receive_packet(c.get(), p.get()) < 0)
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(p->data, 1, p->size, file) == static_cast<size_t>(p->size);
    return std::fclose(file) == 0 && written;
}

}  // namespace

Result MakeMenuPage(const MenuPage& page, const MenuFiles& files, const ProgressFn& progress, bool* named,
                    std::string* error) {
    av_log_set_level(AV_LOG_QUIET);
    FramePtr picture;
    const Result r = Compose(page, progress, &picture, named, error);
    if (r != Result::kDone) return r;
    if (!EncodeStill(picture.get(), page.ntsc, files.video))
        return *error = "the menu's picture cannot be encoded as MPEG-2 with this FFmpeg.", Result::kFailed;
    const std::vector<Rect> buttons = MenuButtons(page);
    if (!WriteOutlines(buttons, page.ntsc, kHighlight, files.highlight) ||
        !WriteOutlines(buttons, page.ntsc, kSelect, files.select))
        return *error = "the menu's buttons cannot be written as PNG.", Result::kWriteFailed;
    return Result::kDone;
}

}  // namespace vrexport
