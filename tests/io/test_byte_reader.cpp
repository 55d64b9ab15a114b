#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "io/ByteReader.h"
#include "io/ByteWriter.h"
#include "support/Ints.h"

using vrm::ByteReader;
using vrm::ByteWriter;

TEST(ByteReader, ReadsBigEndianInsideTheBlock) {
    const uint8_t data[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x11};
    ByteReader r(data, sizeof data);
    EXPECT_EQ(Ints({r.U8(0), r.U16(1), r.U32(2), r.Bits(0, 4, 8), r.Bits(0, 0, 32), r.Bits(8, 7, 1), r.Ok()}),
              Ints({0x12, 0x3456, 0x56789ABC, 0x23, 0x12345678, 1, 1}));
    EXPECT_EQ(r.U64(1), 0x3456789ABCDEF011ull);
}

TEST(ByteReader, MissesReadZeroAndTheFirstOneIsRemembered) {
    const uint8_t data[] = {1, 2, 3, 4};
    ByteReader r(data, sizeof data);
    uint8_t dst[4] = {9, 9, 9, 9};
    // The first failure is kept; later reads inside the block still work.
    EXPECT_EQ(Ints({r.U32(1), r.Ok(), r.U16(3), r.U8(3), r.Bytes(2, dst, 3), dst[0]}), Ints({0, 0, 0, 4, 0, 9}));
    EXPECT_EQ(r.FailOffset(), 1u);
    // Counts that would wrap a 64-bit or 32-bit sum are misses, not hits;
    // an empty range at the end is inside.
    EXPECT_EQ(Ints({r.Has(2, UINT64_MAX), r.Has(UINT64_MAX, 2), r.Has(4, 0)}), Ints({0, 0, 1}));
    EXPECT_EQ(r.Span(0, 0x100000000ull), nullptr);
    // A bit field of more than 32 bits, and one that needs two bytes at the
    // last byte, are misses.
    for (const auto& [bit, count] : {std::pair{1u, 32u}, {6u, 4u}}) {
        ByteReader bits(data, sizeof data);
        EXPECT_EQ(Ints({bits.Bits(3, bit, count), bits.Ok()}), Ints(2, 0)) << bit << " " << count;
    }
    ByteReader empty(nullptr, 100);
    EXPECT_EQ(Ints({static_cast<long long>(empty.Size()), empty.U8(0), empty.Ok()}), Ints(3, 0)) << "a null block";
}

TEST(ByteWriter, WritesBigEndianAndRefusesOverflow) {
    std::vector<uint8_t> buf(8, 0xEE);
    ByteWriter w(buf.data(), buf.size());
    EXPECT_EQ(Ints({w.U16(0, 0x0102), w.U32(2, 0x03040506), w.U8(6, 7), w.U16(7, 0xFFFF), w.Ok(),
                    w.Bytes(1, "abcdefgh", 8), w.Fill(8, 0, 0)}),
              Ints({1, 1, 1, 0, 0, 0, 1}));
    EXPECT_EQ(w.FailOffset(), 7u);
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 0xEE}));
}
