// Owners of FFmpeg's objects: each freed by its own function when the
// owner goes; and a decoder opened into one.
#ifndef VRMANGR_EXPORT_AV_PTR_H
#define VRMANGR_EXPORT_AV_PTR_H

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

namespace vrexport {

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
typedef std::unique_ptr<AVCodecContext, CodecFree> CodecPtr;
typedef std::unique_ptr<AVFrame, FrameFree> FramePtr;
typedef std::unique_ptr<AVPacket, PacketFree> PacketPtr;
typedef std::unique_ptr<SwsContext, ScalerFree> ScalerPtr;

// A decoder of the stream `in` describes, opened; null when this FFmpeg
// cannot decode it.
inline CodecPtr OpenDecoder(const AVCodecParameters* in) {
    const AVCodec* codec = avcodec_find_decoder(in->codec_id);
    CodecPtr decoder(codec ? avcodec_alloc_context3(codec) : nullptr);
    if (!decoder || avcodec_parameters_to_context(decoder.get(), in) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0)
        decoder.reset();
    return decoder;
}

}  // namespace vrexport

#endif
