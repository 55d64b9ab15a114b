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

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vrexport {

class VideoTranscoder {
public:
    struct Settings {
        int width = 720, height = 576;  // of the output's pictures
        AVRational rate{25, 1};  // pictures per second: 25 or 30000/1001
        AVRational aspect{4, 3};  // display aspect, signalled by the sample aspect
        bool interlaced = true;  // the source's pictures are frames of two fields
        int64_t maxBitRate = 9800000;  // bits per second, at the most
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
