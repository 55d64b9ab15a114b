// Video of a chain encoded anew as DVD-Video's MPEG-2: each cell's pictures
// decoded, scaled to the output's picture size and encoded with libavcodec's
// MPEG-2 encoder in closed GOPs no longer than DVD-Video allows (15 pictures
// at 25 Hz, 18 at 29.97 Hz), within its bit rate and VBV buffer. Used when
// DVD-VR recorded a picture size DVD-Video does not hold (544 or 480 wide).
//
// Every decoded picture becomes one encoded picture shown at the time it
// was given: the output has the source's pictures and timing, only their
// coding differs.
#ifndef VRMANGR_EXPORT_VIDEO_TRANSCODE_H
#define VRMANGR_EXPORT_VIDEO_TRANSCODE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "export/av_ptr.h"

namespace vrexport {

// An MPEG-2 encoder as DVD-Video takes it, opened: pictures of width x
// height at `rate`, shown at `aspect` (signalled by the sample aspect), in
// closed GOPs of at most 15 pictures (25 Hz) or 18 (29.97 Hz) with bFrames
// B-pictures between reference pictures, at 6 Mbit/s on average and 9 at
// the most with DVD-Video's VBV buffer. Null when this FFmpeg cannot open
// one. Titles encoded anew and menu pages use it.
CodecPtr OpenDvdVideoEncoder(int width, int height, AVRational rate, AVRational aspect, int bFrames, bool interlaced);

class VideoTranscoder {
public:
    struct Settings {
        int width = 720, height = 576;  // of the output's pictures
        AVRational rate{25, 1};  // pictures per second: 25 or 30000/1001
        AVRational aspect{4, 3};  // display aspect, signalled by the sample aspect
        bool interlaced = true;  // the source's pictures are frames of two fields
        // Output times (90 kHz) at which a GOP must begin, rising: chapters.
        std::vector<int64_t> gopStarts;
    };

    VideoTranscoder();
    ~VideoTranscoder();
    VideoTranscoder(const VideoTranscoder&) = delete;
    VideoTranscoder& operator=(const VideoTranscoder&) = delete;

    // The encoder; its parameters go into out. False with *error.
    bool Open(const Settings& settings, AVCodecParameters* out, std::string* error);
    // Takes every encoded packet (time stamps in 90 kHz); <0 a write error.
    typedef std::function<int(AVPacket*)> Writer;
    // A new cell whose video has the parameters in: the pictures the cell
    // before still holds are encoded first, then its decoder is opened. The
    // cell's first picture begins a GOP. False with *error.
    bool StartCell(const AVCodecParameters* in, const Writer& write, std::string* error);
    // Decodes one coded picture of the cell, to be shown at `pts` (90 kHz,
    // output time), and encodes what the decoder gives. A picture the
    // decoder refuses is left out. <0: a write error.
    int Feed(const AVPacket* packet, int64_t pts, const Writer& write);
    // The last cell's pictures, and the encoder's delay.
    int Finish(const Writer& write);

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace vrexport

#endif
