// Audio of a chain made one coding: each cell's audio decoded (whatever it
// is: AC-3, MPEG audio, LPCM), resampled to 48 kHz in the output's channel
// layout and encoded as AC-3 or AAC with libavcodec. Used when the cells
// differ in audio or the caller asks for another coding.
#ifndef VRMANGR_EXPORT_AUDIO_TRANSCODE_H
#define VRMANGR_EXPORT_AUDIO_TRANSCODE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace vrexport {

class AudioTranscoder {
public:
    AudioTranscoder();
    ~AudioTranscoder();
    AudioTranscoder(const AudioTranscoder&) = delete;
    AudioTranscoder& operator=(const AudioTranscoder&) = delete;

    // The encoder of `codec` (AC-3 or AAC) for `channels` channels (2, or 6
    // for 5.1) at 48 kHz; its parameters go into out. False with *error.
    bool Open(AVCodecID codec, int channels, AVCodecParameters* out, std::string* error);
    // Takes every encoded packet (time stamps in 90 kHz); <0 a write error.
    typedef std::function<int(AVPacket*)> Writer;
    // A new cell whose audio has the parameters in (null: a cell without
    // audio): its decoder. What is left of the cell before (less than a
    // frame) is padded with silence and written first. False with *error.
    bool StartCell(const AVCodecParameters* in, const Writer& write, std::string* error);
    // Decodes one packet of the cell, which plays at `pts` (90 kHz, output
    // time), and hands every encoded packet to write. A packet the decoder
    // refuses is left out. <0: a write error.
    int Feed(const AVPacket* packet, int64_t pts, const Writer& write);
    // The rest, padded to a whole frame, and the encoder's delay.
    int Finish(const Writer& write);

private:
    struct State;
    std::unique_ptr<State> m;
};

}  // namespace vrexport

#endif
