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
    EXPECT_EQ(Ints({r.U32(1), r.Ok()}), Ints({0, 0}));
    EXPECT_EQ(r.FailOffset(), 1u);
    // The first failure is kept; later reads inside the block still work.
    EXPECT_EQ(Ints({r.U16(3), r.U8(3)}), Ints({0, 4}));
    EXPECT_EQ(r.FailOffset(), 1u);

    uint8_t dst[4] = {9, 9, 9, 9};
    ByteReader r2(data, sizeof data);
    EXPECT_FALSE(r2.Bytes(2, dst, 3));
    EXPECT_EQ(dst[0], 9) << "a miss copies nothing";
    // Counts that would wrap a 64-bit or 32-bit sum are misses, not hits;
    // an empty range at the end is inside.
    EXPECT_EQ(Ints({r2.Has(2, UINT64_MAX), r2.Has(UINT64_MAX, 2), r2.Has(4, 0)}), Ints({0, 0, 1}));
    EXPECT_EQ(r2.Span(0, 0x100000000ull), nullptr);
    // A bit field of more than 32 bits or none at all is refused.
    ByteReader r3(data, sizeof data);
    EXPECT_EQ(r3.Bits(0, 1, 32), 0u);
    EXPECT_FALSE(r3.Ok());
    // A field that needs two bytes at the last byte is a miss.
    ByteReader r4(data, sizeof data);
    EXPECT_EQ(r4.Bits(3, 6, 4), 0u);
    EXPECT_FALSE(r4.Ok());
    // A null block holds nothing.
    ByteReader empty(nullptr, 100);
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_EQ(Ints({empty.U8(0), empty.Ok()}), Ints(2, 0));
}

TEST(ByteWriter, WritesBigEndianAndRefusesOverflow) {
    std::vector<uint8_t> buf(8, 0xEE);
    ByteWriter w(buf.data(), buf.size());
    EXPECT_EQ(Ints({w.U16(0, 0x0102), w.U32(2, 0x03040506), w.U8(6, 7), w.U16(7, 0xFFFF), w.Ok()}),
              Ints({1, 1, 1, 0, 0}));
    EXPECT_EQ(w.FailOffset(), 7u);
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 0xEE}));
    EXPECT_TRUE(w.Fill(7, 0, 1));
    EXPECT_FALSE(w.Bytes(1, "abcdefgh", 8));
    // Bytes written by the writer read back through the reader.
    ByteReader r(buf.data(), buf.size());
    EXPECT_EQ(r.U32(2), 0x03040506u);
}
