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

VRM_BITS_CHECK(VRM_BITS_V_ATR, 16);
VRM_BITS_CHECK(VRM_BITS_A_ATR, 24);
VRM_BITS_CHECK(VRM_BITS_VOBU_ENT, 24);

VideoAttributes VideoAttributes::Unpack(WORD v) {
    VideoAttributes out;
    VRM_BITS_V_ATR(VRM_BITS_UNPACK)
    return out;
}

WORD VideoAttributes::Pack() const {
    const VideoAttributes& in = *this;
    return static_cast<WORD>(0 VRM_BITS_V_ATR(VRM_BITS_PACK));
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
    AudioAttributes out;
    VRM_BITS_A_ATR(VRM_BITS_UNPACK)
    return out;
}

DWORD AudioAttributes::Pack() const {
    const AudioAttributes& in = *this;
    return 0 VRM_BITS_A_ATR(VRM_BITS_PACK);
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
    const DWORD v = DWORD{in[0]} << 16 | DWORD{in[1]} << 8 | in[2];
    VobuEntry out;
    VRM_BITS_VOBU_ENT(VRM_BITS_UNPACK)
    return out;
}

void VobuEntry::Pack(BYTE out[3]) const {
    VobuEntry in = *this;
    in.playbackFields = static_cast<BYTE>(std::min<unsigned>(playbackFields, kMaxPlaybackFields));
    in.sectors = static_cast<WORD>(std::min<unsigned>(sectors, kMaxSectors));
    const DWORD v = 0 VRM_BITS_VOBU_ENT(VRM_BITS_PACK);
    out[0] = static_cast<BYTE>(v >> 16);
    out[1] = static_cast<BYTE>(v >> 8);
    out[2] = static_cast<BYTE>(v);
}

}  // namespace vrm
