// A long recording made of copies of a short one, each copy's clock moved
// on by the length of the ones before it: the pack clock (SCR) and the
// PTS/DTS of every PES packet. Joined without this, the time stamps would
// jump back at each joint, which an add refuses as two recordings in one
// file. For MPEG-2 program streams of 2048-byte packs.
#ifndef VRMANGR_TESTS_RESTAMP_H
#define VRMANGR_TESTS_RESTAMP_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace ps {

// Adds `ticks` (90 kHz) to the 33-bit time of a 5-byte PTS/DTS field or of
// the SCR base of an MPEG-2 pack header; the marker bits stay.
inline void AddToTime(unsigned char* p, int64_t ticks, bool scr) {
    uint64_t t;
    if (scr) {
        t = (uint64_t(p[0] & 0x38) << 27) | (uint64_t(p[0] & 0x03) << 28) | (uint64_t(p[1]) << 20) |
            (uint64_t(p[2] & 0xF8) << 12) | (uint64_t(p[2] & 0x03) << 13) | (uint64_t(p[3]) << 5) | (p[4] >> 3);
    } else {
        t = (uint64_t(p[0] & 0x0E) << 29) | (uint64_t(p[1]) << 22) | (uint64_t(p[2] >> 1) << 15) |
            (uint64_t(p[3]) << 7) | (p[4] >> 1);
    }
    t = (t + uint64_t(ticks)) & ((uint64_t(1) << 33) - 1);
    if (scr) {
        p[0] = static_cast<unsigned char>((p[0] & 0xC4) | ((t >> 27) & 0x38) | ((t >> 28) & 0x03));
        p[1] = static_cast<unsigned char>(t >> 20);
        p[2] = static_cast<unsigned char>((p[2] & 0x04) | ((t >> 12) & 0xF8) | ((t >> 13) & 0x03));
        p[3] = static_cast<unsigned char>(t >> 5);
        p[4] = static_cast<unsigned char>((p[4] & 0x07) | ((t & 0x1F) << 3));
    } else {
        p[0] = static_cast<unsigned char>((p[0] & 0xF1) | ((t >> 29) & 0x0E));
        p[1] = static_cast<unsigned char>(t >> 22);
        p[2] = static_cast<unsigned char>((p[2] & 0x01) | ((t >> 14) & 0xFE));
        p[3] = static_cast<unsigned char>(t >> 7);
        p[4] = static_cast<unsigned char>((p[4] & 0x01) | ((t << 1) & 0xFE));
    }
}

// Moves the clock of a program stream on by `ticks`.
inline void MoveClock(std::string& stream, int64_t ticks) {
    for (size_t pack = 0; pack + 2048 <= stream.size(); pack += 2048) {
        auto* p = reinterpret_cast<unsigned char*>(&stream[pack]);
        if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] != 0xBA || (p[4] & 0xC0) != 0x40) continue;
        AddToTime(p + 4, ticks, true);
        for (size_t at = 14 + (p[13] & 7); at + 6 <= 2048;) {
            const unsigned char* q = p + at;
            if (q[0] != 0 || q[1] != 0 || q[2] != 1) break;
            const unsigned char id = q[3];
            const bool pes = id == 0xBD || (id >= 0xC0 && id <= 0xEF);
            if (pes && at + 14 <= 2048 && (q[6] & 0xC0) == 0x80) {
                const unsigned flags = q[7] >> 6;
                if (flags & 2) AddToTime(p + at + 9, ticks, false);
                if (flags == 3 && at + 19 <= 2048) AddToTime(p + at + 14, ticks, false);
            }
            at += 6 + ((size_t(q[4]) << 8) | q[5]);
        }
    }
}

// `copies` copies of `sample`, copy k's clock moved on by k * `length`.
inline std::string Restamped(const std::string& sample, int copies, int64_t length) {
    std::string out;
    out.reserve(sample.size() * size_t(copies));
    for (int k = 0; k < copies; ++k) {
        std::string copy = sample;
        MoveClock(copy, int64_t(k) * length);
        out += copy;
    }
    return out;
}

}  // namespace ps

#endif
