// Video encoded anew as DVD-Video's MPEG-2: decode, scale, encode
// (video_transcode.h).
#include "export/video_transcode.h"

#include "export/av_ptr.h"

extern "C" {
#include <libavutil/mathematics.h>
}

namespace vrexport {

namespace {

// A rate within DVD-Video's 9.8 Mbit/s for video that leaves room, in its
// 10.08 Mbit/s program stream, for up to 448 kbit/s of audio and the packs'
// own headers; the average is well below it.
constexpr int64_t kMaxBitRate = 9000000;
constexpr int64_t kBitRate = 6000000;
// DVD-Video's VBV buffer: 224 KiB.
constexpr int kVbvBits = 1835008;

}  // namespace

CodecPtr OpenDvdVideoEncoder(int width, int height, AVRational rate, AVRational aspect, int bFrames, bool interlaced) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG2VIDEO);
    CodecPtr e(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!e) return e;
    e->width = width;
    e->height = height;
    e->pix_fmt = AV_PIX_FMT_YUV420P;
    e->framerate = rate;
    e->time_base = av_inv_q(rate);
    av_reduce(&e->sample_aspect_ratio.num, &e->sample_aspect_ratio.den, static_cast<int64_t>(aspect.num) * height,
              static_cast<int64_t>(aspect.den) * width, 255);
    e->gop_size = rate.num == 25 * rate.den ? 15 : 18;
    e->max_b_frames = bFrames;
    e->flags |= AV_CODEC_FLAG_CLOSED_GOP;
    if (interlaced) e->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    e->bit_rate = kBitRate;
    e->rc_max_rate = kMaxBitRate;
    e->rc_buffer_size = kVbvBits;
    e->rc_initial_buffer_occupancy = kVbvBits * 3 / 4;
    // The encoder's scene-change detection would begin GOPs of its own,
    // which it cannot do while keeping them closed.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "sc_threshold", "1000000000", 0);
    const int rc = avcodec_open2(e.get(), codec, &options);
    av_dict_free(&options);
    if (rc < 0) e.reset();
    return e;
}

struct VideoTranscoder::State {
    Settings settings;
    CodecPtr encoder, decoder;
    ScalerPtr scaler;
    FramePtr decoded;
    PacketPtr packet;
    int64_t frame90 = 3600;  // one picture's time in 90 kHz
    // The output time of each picture handed to the encoder, which counts
    // them in its own time base (one a picture).
    std::vector<int64_t> times;
    size_t nextGop = 0;  // the first of settings.gopStarts not yet begun
    bool cellStart = false;  // the next picture is the cell's first

    // A time of the encoder's count as 90 kHz output time; a decoding time
    // ahead of the first picture (B-pictures' delay) goes back by pictures.
    int64_t OutputTime(int64_t count) const {
        if (count >= 0 && static_cast<size_t>(count) < times.size()) return times[static_cast<size_t>(count)];
        if (count < 0) return times.front() + count * frame90;
        return times.back() + (count - static_cast<int64_t>(times.size()) + 1) * frame90;
    }

    // Whether the picture shown at t must begin a GOP: the cell's first, or
    // the first at or behind a chapter's time.
    bool BeginsGop(int64_t t) {
        bool begins = cellStart;
        cellStart = false;
        const std::vector<int64_t>& starts = settings.gopStarts;
        while (nextGop < starts.size() && starts[nextGop] <= t) {
            begins = true;
            ++nextGop;
        }
        return begins;
    }

    // Scales the decoded picture d to the output's size and encodes it.
    int Encode(const AVFrame* d, const Writer& write) {
        const int64_t t = d->pts != AV_NOPTS_VALUE ? d->pts : d->best_effort_timestamp;
        if (t == AV_NOPTS_VALUE) return 0;
        const Settings& s = settings;
        scaler.reset(sws_getCachedContext(scaler.release(), d->width, d->height, static_cast<AVPixelFormat>(d->format),
                                          s.width, s.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr,
                                          nullptr));
        FramePtr f(av_frame_alloc());
        if (!scaler || !f) return AVERROR(ENOMEM);
        f->width = s.width;
        f->height = s.height;
        f->format = AV_PIX_FMT_YUV420P;
        // The picture's own properties (its fields' order among them), but
        // not its coding type: the encoder takes a type given as forced.
        if (av_frame_get_buffer(f.get(), 0) < 0 || av_frame_copy_props(f.get(), d) < 0) return AVERROR(ENOMEM);
        sws_scale(scaler.get(), d->data, d->linesize, 0, d->height, f->data, f->linesize);
        f->pict_type = BeginsGop(t) ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        f->pts = static_cast<int64_t>(times.size());
        times.push_back(t);
        return Send(f.get(), write);
    }

    int Send(const AVFrame* f, const Writer& write) {
        int rc = avcodec_send_frame(encoder.get(), f);
        if (rc < 0 && rc != AVERROR_EOF) return rc;
        while ((rc = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
            packet->pts = OutputTime(packet->pts);
            packet->dts = OutputTime(packet->dts);
            packet->duration = frame90;
            const int w = write(packet.get());
            av_packet_unref(packet.get());
            if (w < 0) return w;
        }
        return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? 0 : rc;
    }

    // Encodes every picture the decoder has ready; with flush, all it holds.
    int Drain(bool flush, const Writer& write) {
        if (!decoder) return 0;
        if (flush) avcodec_send_packet(decoder.get(), nullptr);
        while (avcodec_receive_frame(decoder.get(), decoded.get()) >= 0) {
            const int rc = Encode(decoded.get(), write);
            av_frame_unref(decoded.get());
            if (rc < 0) return rc;
        }
        return 0;
    }
};

VideoTranscoder::VideoTranscoder() : m(new State) {}
VideoTranscoder::~VideoTranscoder() = default;

bool VideoTranscoder::Open(const Settings& settings, AVCodecParameters* out, std::string* error) {
    m->settings = settings;
    m->encoder =
        OpenDvdVideoEncoder(settings.width, settings.height, settings.rate, settings.aspect, 2, settings.interlaced);
    m->decoded.reset(av_frame_alloc());
    m->packet.reset(av_packet_alloc());
    if (!m->encoder || !m->decoded || !m->packet || avcodec_parameters_from_context(out, m->encoder.get()) < 0)
        return *error = "the MPEG-2 video encoder cannot be opened.", false;
    m->frame90 = av_rescale_q(1, m->encoder->time_base, AVRational{1, 90000});
    return true;
}

bool VideoTranscoder::StartCell(const AVCodecParameters* in, const Writer& write, std::string* error) {
    if (m->Drain(true, write) < 0) return *error = "could not be written.", false;
    m->cellStart = true;
    m->decoder = OpenDecoder(in);
    if (!m->decoder) {
        *error = std::string("the ") + avcodec_get_name(in->codec_id) + " video of a cell cannot be decoded.";
        return false;
    }
    return true;
}

int VideoTranscoder::Feed(const AVPacket* packet, int64_t pts, const Writer& write) {
    if (!m->decoder) return 0;
    PacketPtr in(av_packet_clone(packet));
    if (!in) return AVERROR(ENOMEM);
    // The decoder hands each picture out with the time its packet had.
    in->pts = pts;
    in->dts = AV_NOPTS_VALUE;
    if (avcodec_send_packet(m->decoder.get(), in.get()) < 0) return 0;  // left out, as a player would
    return m->Drain(false, write);
}

int VideoTranscoder::Finish(const Writer& write) {
    const int rc = m->Drain(true, write);
    return rc < 0 ? rc : m->Send(nullptr, write);
}

}  // namespace vrexport
