#include "mpeg_pack.h"

namespace tool {

// MPEG-2 headers begin their fifth byte with '01', MPEG-1 headers with
// '0010'.
bool ReadClock(const unsigned char* p, size_t n, uint64_t* scr) {
    if (n >= 14 && (p[4] & 0xC0) == 0x40) {
        if (!(p[4] & 0x04) || !(p[6] & 0x04) || !(p[8] & 0x04) || !(p[9] & 0x01) || (p[12] & 0x03) != 0x03)
            return false;
        *scr = uint64_t{(p[4] >> 3) & 7u} << 30 | uint64_t{p[4] & 3u} << 28 | uint64_t{p[5]} << 20 |
               uint64_t{(p[6] >> 3) & 0x1Fu} << 15 | uint64_t{p[6] & 3u} << 13 | uint64_t{p[7]} << 5 |
               ((p[8] >> 3) & 0x1Fu);
        return true;
    }
    if (n >= 12 && (p[4] & 0xF0) == 0x20) {
        if (!(p[4] & 1) || !(p[6] & 1) || !(p[8] & 1) || !(p[9] & 0x80) || !(p[11] & 1)) return false;
        *scr = uint64_t{(p[4] >> 1) & 7u} << 30 | uint64_t{p[5]} << 22 | (static_cast<uint64_t>(p[6]) >> 1) << 15 |
               uint64_t{p[7]} << 7 | (p[8] >> 1);
        return true;
    }
    return false;
}

bool IsPackHeader(const unsigned char* p, size_t n) {
    return n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA;
}

bool CarriesNavigation(const unsigned char* p, size_t n) {
    if (!IsPackHeader(p, n) || n < 14) return false;
    size_t at = 0;
    if ((p[4] & 0xC0) == 0x40) {
        at = 14 + (p[13] & 7u);
    } else if ((p[4] & 0xF0) == 0x20) {
        at = 12;
    } else {
        return false;
    }
    while (at + 6 <= n) {
        if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1) return false;
        const unsigned char id = p[at + 3];
        if (id == 0xBF) return true;
        if (id < 0xBB) return false;  // no packet: another start code, or the end code
        at += 6 + (size_t{p[at + 4]} << 8 | p[at + 5]);
    }
    return false;
}

}  // namespace tool
