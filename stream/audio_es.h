// Audio of an MPEG program stream as a recording describes it: MPEG audio
// (streams 0xC0-0xC7), AC-3 (private stream 1, substreams 0x80-0x87) and
// linear PCM (private stream 1, substreams 0xA0-0xA7).
#ifndef VRMANGR_STREAM_AUDIO_ES_H
#define VRMANGR_STREAM_AUDIO_ES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/types.h"
#include "stream/ps_reader.h"

namespace vrm {

// Audio coding modes at their place in the audio attribute (bits 23..21).
enum : DWORD {
    kAudioAc3 = 0,
    kAudioMpeg1 = 0x400000,
    kAudioMpeg2 = 0x600000,
    kAudioLpcm = 0x800000,
};

struct AudioFormat {
    DWORD codingBits = 0;
    DWORD sampleRate = 0;  // Hz
    // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel (the MPEG
    // audio header's mode; AC-3 and LPCM are mapped onto it).
    DWORD mode = 0;
    DWORD bitrate = 0;  // kbit/s
    DWORD channels = 0;
    DWORD bitsPerSample = 0;  // LPCM
    DWORD samplesPerFrame = 0;  // MPEG audio and AC-3
};

// The audio stream of a packet: the stream id for MPEG audio, 0x100 + the
// substream number for AC-3 and LPCM; -1 for anything else.
int AudioStreamKey(const PsPacket& packet);

// Finds the format of one audio stream from the payloads of its packets.
class AudioProbe {
public:
    explicit AudioProbe(int key) : m_key(key) {}
    // Looks at one packet of the stream. 1 when the format is known, 0 when
    // more data is needed, -1 when the audio cannot be recorded
    // (*reason says why).
    int Feed(const PsPacket& packet, std::string* reason);
    const AudioFormat& Format() const { return m_format; }

private:
    int m_key;
    std::vector<BYTE> m_bytes;  // the stream's payload until a header is found
    AudioFormat m_format;
};

// The first audio stream of a program stream, the one an analysis keeps:
// its key (-1 until an audio packet is seen) and the probe of its format,
// made on its first packet.
struct FirstAudioStream {
    int key = -1;
    std::unique_ptr<AudioProbe> probe;
    // Whether the packet belongs to that stream (the first audio packet seen
    // makes its stream the one).
    bool Takes(const PsPacket& packet);
};

// Counts the samples of an audio stream, packet by packet, from its format:
// MPEG audio by walking the frame headers, AC-3 by the frame count of the
// private stream 1 header, LPCM by the payload size.
class AudioSampleCounter {
public:
    AudioSampleCounter(int key, const AudioFormat& format) : m_key(key), m_format(format) {}
    // Samples of the frames that begin in this packet.
    uint64_t Feed(const PsPacket& packet);

private:
    int m_key;
    AudioFormat m_format;
    size_t m_skip = 0;  // bytes of the current MPEG audio frame still to pass
    BYTE m_header[4] = {};
    size_t m_have = 0;
};

// Parses a 4-byte MPEG audio frame header. 1: valid (*format, *frameBytes
// filled); 0: not a header; -1: a header of audio that cannot be recorded
// (*reason says why).
int ParseMpegAudioHeader(const BYTE* h, AudioFormat* format, size_t* frameBytes, std::string* reason);

}  // namespace vrm

#endif
