// Owners of FFmpeg's objects: each freed by its own function when the
// owner goes.
#ifndef VRMANGR_EXPORT_AV_PTR_H
#define VRMANGR_EXPORT_AV_PTR_H

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
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
typedef std::unique_ptr<AVCodecContext, CodecFree> CodecPtr;
typedef std::unique_ptr<AVFrame, FrameFree> FramePtr;
typedef std::unique_ptr<AVPacket, PacketFree> PacketPtr;

}  // namespace vrexport

#endif
