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

// A start code's offset, code, pack, hasBefore, packBefore and the bytes
// behind it.
using Found = std::tuple<uint64_t, BYTE, uint64_t, bool, uint64_t, std::vector<BYTE>>;

}  // namespace

TEST(VideoScanner, FindsWhatAByteByByteSearchFinds) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 300; ++round) {
        // Mostly noise without zeros, with start codes (slice and other),
        // zero runs and lone zeros planted densely.
        std::vector<BYTE> s(static_cast<size_t>(random() % 400));
        for (BYTE& b : s) b = static_cast<BYTE>(1 + random() % 255);
        for (size_t k = 0; k < s.size(); ++k) {
            const auto what = random() % 12;
            if (what == 0) s[k] = 0;
            if (what == 1 && k + 4 <= s.size()) {
                static const BYTE codes[] = {0x00, 0x01, 0x2A, 0xAF, 0xB3, 0xB5, 0xB7, 0xB8};
                s[k] = 0, s[k + 1] = 0, s[k + 2] = 1, s[k + 3] = codes[random() % sizeof codes];
            }
            if (what == 2)
                for (size_t z = k; z < s.size() && z < k + 1 + random() % 5; ++z) s[z] = 0;
        }
        // Pieces of 0 to 40 bytes, each in its own pack, with some packs
        // holding several pieces; what the scanner finds as it is fed.
        std::vector<uint64_t> packOf(s.size());
        std::vector<Found> found;
        vrm::VideoScanner scanner;
        vrm::VideoStartCode c;
        auto drain = [&] {
            while (scanner.Next(&c))
                found.emplace_back(c.offset, c.code, c.pack, c.hasBefore, c.packBefore,
                                   std::vector<BYTE>(c.bytes, c.bytes + c.size));
        };
        uint64_t pack = 0;
        for (size_t at = 0; at < s.size();) {
            const size_t size = std::min<size_t>(s.size() - at, random() % 41);
            std::fill(packOf.begin() + long(at), packOf.begin() + long(at + size), pack);
            scanner.Feed(s.data() + at, size, pack);
            drain();
            if (random() % 3) ++pack;
            at += size;
        }
        scanner.Finish();
        drain();
        // Every non-slice start code of the whole stream.
        std::vector<Found> expected;
        for (size_t i = 0; i + 3 < s.size(); ++i) {
            if (s[i] != 0 || s[i + 1] != 0 || s[i + 2] != 1) continue;
            if (s[i + 3] >= vrm::kSliceFirst && s[i + 3] <= vrm::kSliceLast) continue;
            const size_t end = std::min(s.size(), i + 4 + sizeof(c.bytes));
            expected.emplace_back(i, s[i + 3], packOf[i], i > 0, packOf[i > 0 ? i - 1 : i],
                                  std::vector<BYTE>(s.begin() + long(i + 4), s.begin() + long(end)));
        }
        ASSERT_EQ(found, expected) << "round " << round;
    }
}
