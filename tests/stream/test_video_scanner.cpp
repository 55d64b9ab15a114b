// The video start-code scanner against a byte-by-byte search of the same
// stream, fed in pieces of every size so that start codes fall on every
// seam and on every position of the scanner's wide search.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "stream/video_es.h"

namespace {

using vrm::VideoStartCode;

struct Piece {
    size_t begin, size;
    uint64_t pack;
};

// A start code's fields: offset, code, pack, hasBefore, packBefore and the
// bytes behind it.
using Found = std::tuple<uint64_t, BYTE, uint64_t, bool, uint64_t, std::vector<BYTE>>;

// Every non-slice start code of the whole stream, with the packs of the
// pieces that hold its first byte and the byte before it.
std::vector<Found> Expected(const std::vector<BYTE>& s, const std::vector<Piece>& pieces) {
    std::vector<uint64_t> packOf(s.size());
    for (const Piece& p : pieces)
        for (size_t k = 0; k < p.size; ++k) packOf[p.begin + k] = p.pack;
    std::vector<Found> out;
    for (size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
        const BYTE code = s[i + 3];
        if (code >= vrm::kSliceFirst && code <= vrm::kSliceLast) continue;
        const size_t end = std::min(s.size(), i + 4 + sizeof(VideoStartCode::bytes));
        out.emplace_back(i, code, packOf[i], i > 0, packOf[i > 0 ? i - 1 : i],
                         std::vector<BYTE>(s.begin() + long(i + 4), s.begin() + long(end)));
    }
    return out;
}

std::vector<Found> Scanned(const std::vector<BYTE>& s, const std::vector<Piece>& pieces) {
    vrm::VideoScanner scanner;
    std::vector<Found> out;
    VideoStartCode c;
    auto drain = [&] {
        while (scanner.Next(&c))
            out.emplace_back(c.offset, c.code, c.pack, c.hasBefore, c.packBefore,
                             std::vector<BYTE>(c.bytes, c.bytes + c.size));
    };
    for (const Piece& p : pieces) {
        scanner.Feed(s.data() + p.begin, p.size, p.pack);
        drain();
    }
    scanner.Finish();
    drain();
    return out;
}

}  // namespace

TEST(VideoScanner, FindsWhatAByteByByteSearchFinds) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        // Mostly noise without zeros, with start codes (slice and other),
        // zero runs and lone zeros planted densely.
        std::vector<BYTE> s(static_cast<size_t>(random() % 400));
        for (BYTE& b : s) b = static_cast<BYTE>(1 + random() % 255);
        for (size_t k = 0; k < s.size(); ++k) {
            switch (random() % 12) {
                case 0: s[k] = 0; break;
                case 1:
                    if (k + 4 <= s.size()) {
                        static const BYTE codes[] = {0x00, 0x01, 0x2A, 0xAF, 0xB3, 0xB5, 0xB7, 0xB8};
                        const BYTE code = codes[random() % sizeof codes];
                        s[k] = 0, s[k + 1] = 0, s[k + 2] = 1, s[k + 3] = code;
                    }
                    break;
                case 2:
                    for (size_t z = k; z < s.size() && z < k + 1 + random() % 5; ++z) s[z] = 0;
                    break;
                default: break;
            }
        }
        // Pieces of 0 to 40 bytes, each in its own pack, with some packs
        // holding several pieces.
        std::vector<Piece> pieces;
        uint64_t pack = 0;
        for (size_t at = 0; at < s.size();) {
            const size_t size = std::min<size_t>(s.size() - at, random() % 41);
            pieces.push_back({at, size, pack});
            if (random() % 3) ++pack;
            at += size;
        }
        EXPECT_EQ(Scanned(s, pieces), Expected(s, pieces)) << "round " << round;
        if (HasFailure()) return;
    }
}
