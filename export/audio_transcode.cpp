// Audio made one coding: decode, resample, encode (audio_transcode.h).
#include "export/audio_transcode.h"

#include "export/av_ptr.h"

#include <algorithm>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace vrexport {

namespace {

constexpr int kRate = 48000;

struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

}  // namespace

struct AudioTranscoder::State {
    CodecPtr encoder, decoder;
    std::unique_ptr<SwrContext, SwrFree> resampler;
    std::unique_ptr<AVAudioFifo, FifoFree> fifo;
    FramePtr decoded, frame;
    PacketPtr packet;
    int64_t clock = 0;  // the output time of the fifo's first sample, in samples
    bool cellTimed = false;  // the cell's first frame has set the clock

    // Encodes whole frames from the fifo (and, with pad, the rest filled
    // with silence); with flush, the encoder's own delay too.
    int Encode(bool pad, bool flush, const Writer& write) {
        const int size = encoder->frame_size > 0 ? encoder->frame_size : 1024;
        while (av_audio_fifo_size(fifo.get()) >= size || (pad && av_audio_fifo_size(fifo.get()) > 0)) {
            av_frame_unref(frame.get());
            frame->nb_samples = size;
            frame->format = encoder->sample_fmt;
            frame->sample_rate = kRate;
            if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 ||
                av_frame_get_buffer(frame.get(), 0) < 0)
                return AVERROR(ENOMEM);
            av_samples_set_silence(frame->data, 0, size, encoder->ch_layout.nb_channels, encoder->sample_fmt);
            const int got = av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), size);
            if (got < 0) return got;
            frame->pts = clock;
            clock += size;
            const int rc = Send(frame.get(), write);
            if (rc < 0) return rc;
        }
        return flush ? Send(nullptr, write) : 0;
    }

    int Send(const AVFrame* f, const Writer& write) {
        int rc = avcodec_send_frame(encoder.get(), f);
        if (rc < 0 && rc != AVERROR_EOF) return rc;
        while ((rc = avcodec_receive_packet(encoder.get(), packet.get())) >= 0) {
            av_packet_rescale_ts(packet.get(), encoder->time_base, AVRational{1, 90000});
            const int w = write(packet.get());
            av_packet_unref(packet.get());
            if (w < 0) return w;
        }
        return rc == AVERROR(EAGAIN) || rc == AVERROR_EOF ? 0 : rc;
    }
};

AudioTranscoder::AudioTranscoder() : m(new State) {}
AudioTranscoder::~AudioTranscoder() = default;

bool AudioTranscoder::Open(AVCodecID codec, int channels, AVCodecParameters* out, std::string* error) {
    const AVCodec* encoder = avcodec_find_encoder(codec);
    m->encoder.reset(encoder ? avcodec_alloc_context3(encoder) : nullptr);
    m->decoded.reset(av_frame_alloc());
    m->frame.reset(av_frame_alloc());
    m->packet.reset(av_packet_alloc());
    if (!m->encoder || !m->decoded || !m->frame || !m->packet) {
        *error = std::string("this FFmpeg offers no ") + avcodec_get_name(codec) + " encoder.";
        return false;
    }
    AVCodecContext* e = m->encoder.get();
    e->sample_rate = kRate;
    av_channel_layout_default(&e->ch_layout, channels >= 6 ? 6 : 2);
    e->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    const bool surround = e->ch_layout.nb_channels > 2;
    e->bit_rate = codec == AV_CODEC_ID_AC3 ? (surround ? 448000 : 192000) : (surround ? 384000 : 160000);
    e->time_base = AVRational{1, kRate};
    if (avcodec_open2(e, encoder, nullptr) < 0 || avcodec_parameters_from_context(out, e) < 0) {
        *error = std::string("the ") + avcodec_get_name(codec) + " encoder cannot be opened.";
        return false;
    }
    m->fifo.reset(av_audio_fifo_alloc(e->sample_fmt, e->ch_layout.nb_channels, 4 * kRate));
    if (!m->fifo) return *error = "out of memory.", false;
    return true;
}

bool AudioTranscoder::StartCell(const AVCodecParameters* in, const Writer& write, std::string* error) {
    if (m->Encode(true, false, write) < 0) return *error = "could not be written.", false;
    m->resampler.reset();
    m->decoder.reset();
    m->cellTimed = false;
    if (!in) return true;
    m->decoder = OpenDecoder(in);
    if (!m->decoder) {
        *error = std::string("the ") + avcodec_get_name(in->codec_id) + " audio of a cell cannot be decoded.";
        return false;
    }
    return true;
}

int AudioTranscoder::Feed(const AVPacket* packet, int64_t pts, const Writer& write) {
    if (!m->decoder) return 0;
    if (avcodec_send_packet(m->decoder.get(), packet) < 0) return 0;  // left out, as a player would
    AVFrame* d = m->decoded.get();
    while (avcodec_receive_frame(m->decoder.get(), d) >= 0) {
        if (!m->resampler) {
            SwrContext* s = nullptr;
            if (swr_alloc_set_opts2(&s, &m->encoder->ch_layout, m->encoder->sample_fmt, kRate, &d->ch_layout,
                                    static_cast<AVSampleFormat>(d->format), d->sample_rate, 0, nullptr) < 0 ||
                swr_init(s) < 0) {
                swr_free(&s);
                av_frame_unref(d);
                return AVERROR(EINVAL);
            }
            m->resampler.reset(s);
        }
        if (!m->cellTimed) {
            // The cell's sound starts where its first frame plays; what the
            // cell before left in the fifo was written out at its start.
            m->cellTimed = true;
            if (av_audio_fifo_size(m->fifo.get()) == 0) m->clock = std::max(m->clock, av_rescale(pts, kRate, 90000));
        }
        const int room = swr_get_out_samples(m->resampler.get(), d->nb_samples);
        uint8_t** converted = nullptr;
        if (room <= 0 || av_samples_alloc_array_and_samples(&converted, nullptr, m->encoder->ch_layout.nb_channels,
                                                            room, m->encoder->sample_fmt, 0) < 0) {
            av_frame_unref(d);
            return AVERROR(ENOMEM);
        }
        const int got = swr_convert(m->resampler.get(), converted, room, const_cast<const uint8_t**>(d->extended_data),
                                    d->nb_samples);
        const int stored = got > 0 ? av_audio_fifo_write(m->fifo.get(), reinterpret_cast<void**>(converted), got) : 0;
        av_freep(&converted[0]);
        av_freep(&converted);
        av_frame_unref(d);
        if (stored < 0) return stored;
        const int rc = m->Encode(false, false, write);
        if (rc < 0) return rc;
    }
    return 0;
}

int AudioTranscoder::Finish(const Writer& write) { return m->Encode(true, true, write); }

}  // namespace vrexport
