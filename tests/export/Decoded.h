// Decoding an exported or authored file with FFmpeg's libraries, to compare
// the pictures it shows with its source's.
#ifndef VRMANGR_TESTS_EXPORT_DECODED_H
#define VRMANGR_TESTS_EXPORT_DECODED_H

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

// Decodes the best stream of a type of a file: each frame goes to
// onFrame(frame, stream) in the order the decoder gives them; *errors (when
// given) counts packets the decoder refused or failed on. Time stamps are
// generated where the file has none (MPEG-PS) when genpts says so.
template <class OnFrame>
bool DecodeStream(const std::string& path, AVMediaType type, bool genpts, OnFrame onFrame, int* errors = nullptr) {
    AVFormatContext* f = avformat_alloc_context();
    if (genpts) f->flags |= AVFMT_FLAG_GENPTS;
    if (avformat_open_input(&f, path.c_str(), nullptr, nullptr) < 0) return false;
    avformat_find_stream_info(f, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(f, type, -1, -1, &codec, 0);
    AVCodecContext* c = stream >= 0 ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* p = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const bool opened = c && avcodec_parameters_to_context(c, f->streams[stream]->codecpar) >= 0 &&
                        avcodec_open2(c, codec, nullptr) >= 0;
    const auto drain = [&] {
        int rc;
        while ((rc = avcodec_receive_frame(c, frame)) >= 0) onFrame(frame, f->streams[stream]);
        if (rc != AVERROR(EAGAIN) && rc != AVERROR_EOF && errors) ++*errors;
    };
    while (opened && av_read_frame(f, p) >= 0) {
        // Pictures an MP4 edit hides come marked to be decoded, not shown.
        if (p->stream_index == stream) {
            if (avcodec_send_packet(c, p) < 0 && errors) ++*errors;
            drain();
        }
        av_packet_unref(p);
    }
    if (opened) {
        avcodec_send_packet(c, nullptr);
        drain();
    }
    av_frame_free(&frame);
    av_packet_free(&p);
    avcodec_free_context(&c);
    avformat_close_input(&f);
    return opened;
}

// The pictures of a file as a decoder shows them: presentation time (90 kHz,
// read with generated times so that MPEG-PS frames without one get theirs)
// and a hash of the picture; errors counts packets the decoder refused and
// pictures it marked damaged.
struct Shown {
    std::vector<int64_t> times;
    std::vector<uint64_t> hashes;
    int errors = 0;
};

inline Shown Decode(const std::string& path) {
    Shown shown;
    std::map<int64_t, uint64_t> byTime;
    DecodeStream(
        path, AVMEDIA_TYPE_VIDEO, true,
        [&](const AVFrame* frame, const AVStream* st) {
            uint64_t h = 1469598103934665603ull;  // FNV-1a over the luma
            for (int row = 0; row < frame->height; ++row)
                for (int x = 0; x < frame->width; ++x)
                    h = (h ^ frame->data[0][row * frame->linesize[0] + x]) * 1099511628211ull;
            if (frame->decode_error_flags || (frame->flags & AV_FRAME_FLAG_CORRUPT)) ++shown.errors;
            const int64_t t = av_rescale_q(frame->best_effort_timestamp, st->time_base, {1, 90000});
            if (!byTime.emplace(t, h).second) ++shown.errors;  // two pictures at one time
        },
        &shown.errors);
    for (const auto& [t, h] : byTime) {
        shown.times.push_back(t);
        shown.hashes.push_back(h);
    }
    return shown;
}

// The source frame each shown picture is (-1: none of them).
inline std::vector<int> SourceFrames(const Shown& out, const Shown& source) {
    std::vector<int> frames;
    for (uint64_t h : out.hashes) {
        const auto it = std::find(source.hashes.begin(), source.hashes.end(), h);
        frames.push_back(it == source.hashes.end() ? -1 : static_cast<int>(it - source.hashes.begin()));
    }
    return frames;
}

inline std::vector<int> Range(int from, int to) {  // [from, to)
    std::vector<int> r;
    for (int i = from; i < to; ++i) r.push_back(i);
    return r;
}

#endif
