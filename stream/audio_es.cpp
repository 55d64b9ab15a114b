#include "stream/audio_es.h"

#include <algorithm>

namespace vrm {

namespace {

// Bytes of a stream's payload searched for its first header.
constexpr size_t kProbeLimit = 64 * 1024;

// MPEG audio bit rates in kbit/s by [lsf][layer - 1][index].
constexpr DWORD kMpegRates[2][3][15] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr DWORD kMpegSampleRates[3] = {44100, 48000, 32000};

// AC-3 bit rates in kbit/s by frmsizecod / 2.
constexpr DWORD kAc3Rates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                 192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr DWORD kAc3SampleRates[3] = {48000, 44100, 32000};

// Private stream 1 audio: substream number, frame count, first access unit
// pointer (2 bytes); LPCM adds 3 bytes of format.
constexpr size_t kPrivateHeader = 4;
constexpr size_t kLpcmHeader = 7;

bool IsAc3(int key) { return key >= 0x180 && key <= 0x187; }
bool IsLpcm(int key) { return key >= 0x1A0 && key <= 0x1A7; }

// AC-3 syncinfo and bsi up to lfeon at h (sync word 0B 77 first; 8 bytes).
bool ParseAc3(const BYTE* h, AudioFormat* f, std::string* reason) {
    const int fscod = h[4] >> 6;
    const int frmsizecod = h[4] & 0x3F;
    if (fscod == 3 || frmsizecod >= 38) {
        *reason = "has an AC-3 frame header with a reserved sampling rate or frame size";
        return false;
    }
    f->codingBits = kAudioAc3;
    f->sampleRate = kAc3SampleRates[fscod];
    f->bitrate = kAc3Rates[frmsizecod / 2];
    f->samplesPerFrame = 1536;
    // Byte 5 is bsid and bsmod; byte 6 starts with acmod: 0 two independent
    // channels (1+1, dual mono), 1 one channel, 2 stereo, more: 3 to 5
    // full-range channels. Behind it come cmixlev (when there are three
    // front channels), surmixlev (with surround channels), dsurmod (stereo),
    // each 2 bits, and then lfeon, the low-frequency effects channel.
    const unsigned bits = unsigned{h[6]} << 8 | h[7];
    const unsigned acmod = bits >> 13;
    unsigned at = 3;  // bits of `bits` read so far
    if ((acmod & 1) && acmod != 1) at += 2;
    if (acmod & 4) at += 2;
    if (acmod == 2) at += 2;
    const unsigned lfeon = bits >> (15 - at) & 1;
    static constexpr DWORD kChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
    f->channels = kChannels[acmod] + lfeon;
    f->mode = acmod == 0 ? 2u : acmod == 1 ? 3u : 0u;
    return true;
}

}  // namespace

int AudioStreamKey(const PsPacket& p) {
    if (p.id >= kMpegAudioFirst && p.id <= kMpegAudioLast) return p.id;
    if (p.id == kPrivateStream1 && p.size >= 1) {
        const int key = 0x100 | p.data[0];
        if (IsAc3(key) || IsLpcm(key)) return key;
    }
    return -1;
}

bool FirstAudioStream::Takes(const PsPacket& packet) {
    const int k = AudioStreamKey(packet);
    if (k < 0 || (key >= 0 && k != key)) return false;
    if (key < 0) {
        key = k;
        probe = std::make_unique<AudioProbe>(k);
    }
    return true;
}

int ParseMpegAudioHeader(const BYTE* h, AudioFormat* f, size_t* frameBytes, std::string* reason) {
    if (h[0] != 0xFF || (h[1] & 0xF0) != 0xF0) return 0;
    const bool mpeg1 = (h[1] >> 3) & 1;
    const int layer = 4 - ((h[1] >> 1) & 3);  // 4 is reserved
    const int rateIndex = h[2] >> 4;
    const int srIndex = (h[2] >> 2) & 3;
    if (layer == 4 || rateIndex == 15 || srIndex == 3) return 0;
    if (layer == 3) {
        *reason = "carries MPEG audio layer III, which a recording cannot hold";
        return -1;
    }
    if (rateIndex == 0) {
        *reason = "carries free-format MPEG audio, whose bit rate cannot be recorded";
        return -1;
    }
    f->codingBits = mpeg1 ? kAudioMpeg1 : kAudioMpeg2;
    f->sampleRate = kMpegSampleRates[srIndex] / (mpeg1 ? 1 : 2);
    f->bitrate = kMpegRates[mpeg1 ? 0 : 1][layer - 1][rateIndex];
    f->mode = h[3] >> 6;
    f->channels = f->mode == 3 ? 1 : 2;
    f->samplesPerFrame = layer == 1 ? 384 : 1152;
    const size_t padding = (h[2] >> 1) & 1;
    if (layer == 1) {
        *frameBytes = (12000 * size_t(f->bitrate) / f->sampleRate + padding) * 4;
    } else {
        *frameBytes = 144000 * size_t(f->bitrate) / f->sampleRate + padding;
    }
    return 1;
}

int AudioProbe::Feed(const PsPacket& p, std::string* reason) {
    if (IsLpcm(m_key)) {
        if (p.size < kLpcmHeader) return 0;
        // Byte 5: quantization word length (2 bits: 16, 20, 24), sampling
        // frequency (2 bits: 48 or 96 kHz), reserved, channels - 1 (3 bits).
        const BYTE b = p.data[5];
        const int quant = b >> 6;
        const int rate = (b >> 4) & 3;
        if (quant == 3 || rate > 1) {
            *reason = "has linear PCM audio with a reserved sample size or sampling rate";
            return -1;
        }
        m_format.codingBits = kAudioLpcm;
        m_format.sampleRate = rate ? 96000 : 48000;
        m_format.bitsPerSample = 16 + 4 * DWORD(quant);
        m_format.channels = (b & 7) + 1u;
        m_format.mode = m_format.channels == 1 ? 3u : 0u;
        m_format.bitrate = m_format.sampleRate * m_format.bitsPerSample * m_format.channels / 1000;
        return 1;
    }
    const size_t skip = IsAc3(m_key) ? kPrivateHeader : 0;
    if (p.size > skip && m_bytes.size() < kProbeLimit) m_bytes.insert(m_bytes.end(), p.data + skip, p.data + p.size);
    // An AC-3 header is read up to its eighth byte (lfeon), an MPEG audio
    // header is 4 bytes.
    const size_t need = IsAc3(m_key) ? 8 : 7;
    for (size_t i = 0; i + need <= m_bytes.size(); ++i) {
        const BYTE* h = m_bytes.data() + i;
        if (IsAc3(m_key)) {
            if (h[0] != 0x0B || h[1] != 0x77) continue;
            return ParseAc3(h, &m_format, reason) ? 1 : -1;
        }
        size_t frameBytes = 0;
        const int r = ParseMpegAudioHeader(h, &m_format, &frameBytes, reason);
        if (r != 0) return r;
    }
    if (m_bytes.size() >= kProbeLimit) {
        *reason = "has an audio stream without a recognisable frame header";
        return -1;
    }
    return 0;
}

uint64_t AudioSampleCounter::Feed(const PsPacket& p) {
    if (IsLpcm(m_key)) {
        if (p.size <= kLpcmHeader) return 0;
        const uint64_t bits = uint64_t(p.size - kLpcmHeader) * 8;
        return bits / (uint64_t(m_format.channels) * m_format.bitsPerSample);
    }
    if (IsAc3(m_key)) return p.size >= 2 ? uint64_t(p.data[1]) * 1536 : 0;
    // MPEG audio: pass each frame by the length its header gives.
    uint64_t samples = 0;
    const BYTE* d = p.data;
    size_t n = p.size;
    while (n > 0) {
        if (m_skip > 0) {
            const size_t take = std::min(m_skip, n);
            m_skip -= take;
            d += take;
            n -= take;
            continue;
        }
        m_header[m_have++] = *d++;
        --n;
        if (m_have < 4) continue;
        AudioFormat f;
        size_t frameBytes = 0;
        std::string ignored;
        if (ParseMpegAudioHeader(m_header, &f, &frameBytes, &ignored) == 1 && frameBytes > 4) {
            samples += f.samplesPerFrame;
            m_skip = frameBytes - 4;
            m_have = 0;
        } else {  // lost: look for the sync one byte further on
            m_header[0] = m_header[1];
            m_header[1] = m_header[2];
            m_header[2] = m_header[3];
            m_have = 3;
        }
    }
    return samples;
}

}  // namespace vrm
