// The video start-code scanner against a byte-by-byte search of the same
// stream, fed in pieces of every size so that start codes fall on every
// seam and on every position of the scanner's wide search.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "stream/video_es.h"

namespace {

using vrm::VideoStartCode;

struct Piece {
    size_t begin, size;
    uint64_t pack;
};

// Every non-slice start code of the whole stream, with the packs of the
// pieces that hold its first byte and the byte before it.
std::vector<VideoStartCode> Expected(const std::vector<BYTE>& s, const std::vector<Piece>& pieces) {
    std::vector<uint64_t> packOf(s.size());
    for (const Piece& p : pieces)
        for (size_t k = 0; k < p.size; ++k) packOf[p.begin + k] = p.pack;
    std::vector<VideoStartCode> out;
    for (size_t i = 0; i + 3 < s.size(); ++i) {
        if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
        const BYTE code = s[i + 3];
        if (code >= vrm::kSliceFirst && code <= vrm::kSliceLast) continue;
        VideoStartCode sc;
        sc.code = code;
        sc.offset = i;
        sc.pack = packOf[i];
        sc.hasBefore = i > 0;
        sc.packBefore = i > 0 ? packOf[i - 1] : sc.pack;
        for (size_t k = i + 4; k < s.size() && sc.size < sizeof sc.bytes; ++k) sc.bytes[sc.size++] = s[k];
        out.push_back(sc);
    }
    return out;
}

std::vector<VideoStartCode> Scanned(const std::vector<BYTE>& s, const std::vector<Piece>& pieces) {
    vrm::VideoScanner scanner;
    std::vector<VideoStartCode> out;
    VideoStartCode sc;
    for (const Piece& p : pieces) {
        scanner.Feed(s.data() + p.begin, p.size, p.pack);
        while (scanner.Next(&sc)) out.push_back(sc);
    }
    scanner.Finish();
    while (scanner.Next(&sc)) out.push_back(sc);
    return out;
}

void ExpectSame(const std::vector<VideoStartCode>& got, const std::vector<VideoStartCode>& want, int round) {
    ASSERT_EQ(got.size(), want.size()) << "round " << round;
    for (size_t k = 0; k < got.size(); ++k) {
        const VideoStartCode &g = got[k], &w = want[k];
        EXPECT_EQ(g.offset, w.offset) << "round " << round << " code " << k;
        EXPECT_EQ(g.code, w.code) << "at " << w.offset;
        EXPECT_EQ(g.pack, w.pack) << "at " << w.offset;
        EXPECT_EQ(g.hasBefore, w.hasBefore) << "at " << w.offset;
        EXPECT_EQ(g.packBefore, w.packBefore) << "at " << w.offset;
        ASSERT_EQ(g.size, w.size) << "at " << w.offset;
        EXPECT_EQ(std::vector<BYTE>(g.bytes, g.bytes + g.size), std::vector<BYTE>(w.bytes, w.bytes + w.size))
            << "at " << w.offset;
        if (::testing::Test::HasFailure()) return;
    }
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
        ExpectSame(Scanned(s, pieces), Expected(s, pieces), round);
        if (HasFailure()) return;
    }
}
