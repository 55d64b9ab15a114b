#include "tables/attributes.h"

#include <algorithm>

#include "stream/VR_MPEGFILE_INFO.h"

namespace vrm {

namespace {

// Audio bit rates in kbit/s by bit-rate code.
constexpr DWORD kBitrates[15] = {0, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 768, 1536};
constexpr DWORD kBitrateCodes = sizeof kBitrates / sizeof kBitrates[0];

// The coding the stream library reports, already at bits 23..21.
constexpr DWORD kCodingBitsAC3 = 0;
constexpr DWORD kCodingBitsMPEG1 = 0x400000;
constexpr DWORD kCodingBitsMPEG2Ext = 0x600000;
constexpr DWORD kCodingBitsLPCM = 0x800000;

}  // namespace

VideoAttributes VideoAttributes::Unpack(WORD v) {
    VideoAttributes a;
    a.compression = static_cast<BYTE>(v >> 14 & 3);
    a.tvSystem = static_cast<BYTE>(v >> 12 & 3);
    a.aspect = static_cast<BYTE>(v >> 10 & 3);
    a.unused6 = static_cast<BYTE>(v >> 6 & 0xF);
    a.resolution = static_cast<BYTE>(v >> 3 & 7);
    a.unused0 = static_cast<BYTE>(v & 7);
    return a;
}

WORD VideoAttributes::Pack() const {
    return static_cast<WORD>((compression & 3u) << 14 | (tvSystem & 3u) << 12 | (aspect & 3u) << 10 |
                             (unused6 & 0xFu) << 6 | (resolution & 7u) << 3 | (unused0 & 7u));
}

VideoAttributes VideoAttributes::Of(const VR_MPEGFILE_INFO& info) {
    VideoAttributes a;
    a.compression = info.dwMpeg2 ? kMPEG2 : 0;
    a.tvSystem = info.dwFrameRate == 25000 ? k625 : 0;
    a.aspect = info.bAspectRatio != 2 ? kWide : 0;
    switch (info.dwWidth) {
        case 720: a.resolution = 0; break;
        case 704: a.resolution = 1; break;
        case 544: a.resolution = 4; break;
        case 480: a.resolution = 5; break;
        case 352: a.resolution = info.dwHeight == 480 || info.dwHeight == 576 ? 2 : 3; break;
        default: a.resolution = 3; break;
    }
    return a;
}

bool VideoAttributes::PictureSize(DWORD* width, DWORD* height) const {
    static const DWORD kWidths[6] = {720, 704, 352, 352, 544, 480};
    if (resolution >= 6) return false;
    const DWORD full = Is625() ? 576 : 480;
    *width = kWidths[resolution];
    *height = resolution == 3 ? full / 2 : full;
    return true;
}

AudioAttributes AudioAttributes::Unpack(DWORD v) {
    AudioAttributes a;
    a.coding = static_cast<BYTE>(v >> 21 & 7);
    a.flags = static_cast<BYTE>(v >> 16 & 0x1F);
    a.quantization = static_cast<BYTE>(v >> 14 & 3);
    a.sampling = static_cast<BYTE>(v >> 12 & 3);
    a.channels = static_cast<BYTE>(v >> 8 & 0xF);
    a.bitrate = static_cast<BYTE>(v & 0xFF);
    return a;
}

DWORD AudioAttributes::Pack() const {
    return (coding & 7u) << 21 | (flags & 0x1Fu) << 16 | (quantization & 3u) << 14 | (sampling & 3u) << 12 |
           (channels & 0xFu) << 8 | bitrate;
}

AudioAttributes AudioAttributes::Of(const VR_MPEGFILE_INFO& info) {
    const DWORD coding = info.dwAudioCodingBits;
    AudioAttributes a;
    if (coding == kCodingBitsAC3) {
        a.coding = kAC3;
        a.quantization = 3;  // AC-3 carries dynamic range control
    } else if (coding == kCodingBitsMPEG1 || coding == kCodingBitsMPEG2Ext || coding == kCodingBitsLPCM) {
        a.coding = static_cast<BYTE>(coding >> 21);
    } else {
        return a;  // a coding the format has no code for
    }
    a.flags = kRecorderFlags;
    // Analyses that give only the mode: one channel in single-channel mode,
    // two otherwise.
    const DWORD channels = info.dwAudioChannels != 0 ? info.dwAudioChannels : info.dwAudioMode == 3 ? 1 : 2;
    a.channels = ChannelCode(channels, info.dwAudioMode);
    if (coding == kCodingBitsAC3 || coding == kCodingBitsMPEG1) {
        // 448 kbit/s exists for AC-3 only; any rate not in the table is 0.
        const DWORD top = coding == kCodingBitsAC3 ? 12 : 11;
        for (DWORD code = 1; code <= top; ++code) {
            if (kBitrates[code] == info.dwAudioBitrate) {
                a.bitrate = static_cast<BYTE>(code);
                break;
            }
        }
    } else if (coding == kCodingBitsLPCM) {
        a.bitrate = info.dwAudioMode == 3 ? 13 : 14;  // 768 kbit/s mono, 1536 stereo
    }
    return a;
}

BYTE AudioAttributes::ChannelCode(DWORD channels, DWORD mode) {
    if (mode == 2 && channels == 2) return kDualMono;
    if (channels == 0) return 0;
    return static_cast<BYTE>(std::min<DWORD>(channels - 1, kMaxChannelCode));
}

DWORD AudioAttributes::ChannelCount() const {
    if (channels == 0) return 1;
    if (channels == kDualMono) return 2;
    return DWORD{channels} + 1;
}

DWORD AudioAttributes::AudioMode() const {
    if (channels == 0) return 3;
    if (channels == kDualMono) return 2;
    return 0;
}

DWORD AudioAttributes::BitrateKbps() const { return bitrate < kBitrateCodes ? kBitrates[bitrate] : 0; }

VobuEntry VobuEntry::Unpack(const BYTE in[3]) {
    VobuEntry e;
    e.firstRefSize = in[0];
    e.playbackFields = static_cast<BYTE>(in[1] >> 2);
    e.sectors = static_cast<WORD>((in[1] & 3u) << 8 | in[2]);
    return e;
}

void VobuEntry::Pack(BYTE out[3]) const {
    const unsigned fields = std::min<unsigned>(playbackFields, kMaxPlaybackFields);
    const unsigned size = std::min<unsigned>(sectors, kMaxSectors);
    out[0] = firstRefSize;
    out[1] = static_cast<BYTE>(fields << 2 | size >> 8);
    out[2] = static_cast<BYTE>(size & 0xFF);
}

}  // namespace vrm
