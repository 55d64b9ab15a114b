// Headers of coded frames: MPEG video pictures and GOPs, MPEG audio and
// AC-3 frame lengths.
#include "export/mpeg_frames.h"

namespace vrexport {
namespace {

// The offset of the next start code 00 00 01 xx at or after `from` whose xx
// is `code`, stopping at the picture start code; size when there is none.
size_t FindStartCode(const uint8_t* data, size_t size, size_t from, uint8_t code) {
    for (size_t i = from; i + 3 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        if (data[i + 3] == code) return i;
        if (data[i + 3] == 0x00) break;  // a picture: nothing of the kind in front of it
    }
    return size;
}

}  // namespace

Picture InspectPicture(const uint8_t* data, size_t size) {
    Picture p;
    const size_t gop = FindStartCode(data, size, 0, 0xB8);
    if (gop + 8 <= size) {
        p.gop = true;
        p.gopAt = gop;
        p.closedGop = (data[gop + 7] & 0x40) != 0;
        p.brokenLink = (data[gop + 7] & 0x20) != 0;
    }
    const size_t at = FindStartCode(data, size, p.gop ? p.gopAt + 4 : 0, 0x00);
    if (at + 6 > size) return p;
    p.pictureAt = at;
    p.temporalReference = (data[at + 4] << 2) | (data[at + 5] >> 6);
    const int type = (data[at + 5] >> 3) & 7;
    p.type = type >= Picture::kI && type <= Picture::kB ? type : Picture::kNone;
    return p;
}

void SetTemporalReference(uint8_t* data, const Picture& p, int temporalReference) {
    if (p.type == Picture::kNone) return;
    const unsigned tr = static_cast<unsigned>(temporalReference) & 0x3FF;
    data[p.pictureAt + 4] = static_cast<uint8_t>(tr >> 2);
    data[p.pictureAt + 5] = static_cast<uint8_t>((data[p.pictureAt + 5] & 0x3F) | ((tr & 3) << 6));
}

void CloseGop(uint8_t* data, const Picture& p) {
    if (p.gop) data[p.gopAt + 7] = static_cast<uint8_t>((data[p.gopAt + 7] | 0x40) & ~0x20);
}

std::vector<bool> PicturesWithoutReference(const std::vector<Picture>& gop) {
    std::vector<bool> drop(gop.size(), false);
    if (gop.empty() || !gop[0].gop || (gop[0].closedGop && !gop[0].brokenLink)) return drop;
    bool afterI = false;
    for (size_t i = 0; i < gop.size(); ++i) {
        if (gop[i].type == Picture::kI && !afterI) {
            afterI = true;
        } else if (gop[i].type == Picture::kB && afterI) {
            drop[i] = true;
        } else if (gop[i].type != Picture::kNone && afterI) {
            break;  // the next reference picture: the B-pictures behind it refer to this GOP
        }
    }
    return drop;
}

size_t AudioFrameBytes(AudioCoding coding, const uint8_t* d, size_t size) {
    if (coding == AudioCoding::kAc3) {
        // syncword 0B77, CRC, then fscod (2 bits) and frmsizecod (6 bits):
        // the frame's length in 16-bit words at each sampling rate.
        static const uint16_t k48[19] = {64,  80,  96,  112, 128, 160, 192,  224,  256, 320,
                                         384, 448, 512, 640, 768, 896, 1024, 1152, 1280};
        static const uint16_t k44[19] = {69,  87,  104, 121, 139, 174, 208,  243,  278, 348,
                                         417, 487, 557, 696, 835, 975, 1114, 1253, 1393};
        if (size < 5 || d[0] != 0x0B || d[1] != 0x77) return 0;
        const int fscod = d[4] >> 6, code = d[4] & 0x3F;
        if (fscod == 3 || code > 37) return 0;
        const size_t words = fscod == 0   ? k48[code / 2]
                             : fscod == 1 ? k44[code / 2] + (code & 1)
                                          : k48[code / 2] * 3 / 2;  // 32 kHz
        return words * 2;
    }
    // MPEG audio: sync (11 bits), version, layer, protection, bit rate
    // index, sampling rate index, padding.
    static const uint16_t kRates[2][3][15] = {{{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                               {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                               {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                              {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                               {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                               {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const uint32_t kSampling[3] = {44100, 48000, 32000};
    if (size < 4 || d[0] != 0xFF || (d[1] & 0xE0) != 0xE0) return 0;
    const int version = (d[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = 4 - ((d[1] >> 1) & 3);  // 1, 2 or 3
    const int rateIndex = d[2] >> 4, samplingIndex = (d[2] >> 2) & 3, padding = (d[2] >> 1) & 1;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || samplingIndex == 3) return 0;
    const uint32_t bitRate = kRates[version == 3 ? 0 : 1][layer - 1][rateIndex] * 1000u;
    const uint32_t sampling = kSampling[samplingIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    if (layer == 1) return (12 * bitRate / sampling + static_cast<uint32_t>(padding)) * 4;
    const uint32_t perFrame = layer == 3 && version != 3 ? 72 : 144;
    return perFrame * bitRate / sampling + static_cast<uint32_t>(padding);
}

}  // namespace vrexport
