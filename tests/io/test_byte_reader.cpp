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
    EXPECT_EQ(Int(r.U8(0)), 0x12);
    EXPECT_EQ(Int(r.U16(1)), 0x3456);
    EXPECT_EQ(Int(r.U32(2)), 0x56789ABC);
    EXPECT_EQ(Int(r.Ok()), 1);
    EXPECT_EQ(r.U64(1), 0x3456789ABCDEF011ull);
}

TEST(ByteReader, MissesReadZeroAndTheFirstOneIsRemembered) {
    const uint8_t data[] = {1, 2, 3, 4};
    ByteReader r(data, sizeof data);
    uint8_t dst[4] = {9, 9, 9, 9};
    // The first failure is kept; later reads inside the block still work.
    EXPECT_EQ(Int(r.U32(1)), 0);
    EXPECT_EQ(Int(r.Ok()), 0);
    EXPECT_EQ(Int(r.U16(3)), 0);
    EXPECT_EQ(Int(r.U8(3)), 4);
    EXPECT_EQ(Int(r.Bytes(2, dst, 3)), 0);
    EXPECT_EQ(Int(dst[0]), 9);
    EXPECT_EQ(r.FailOffset(), 1u);
    // Counts that would wrap a 64-bit or 32-bit sum are misses, not hits;
    // an empty range at the end is inside.
    EXPECT_EQ(Ints({r.Has(2, UINT64_MAX), r.Has(UINT64_MAX, 2), r.Has(4, 0)}), Ints({0, 0, 1}));
    EXPECT_EQ(r.Span(0, 0x100000000ull), nullptr);
    ByteReader empty(nullptr, 100);
    EXPECT_EQ(Ints({static_cast<long long>(empty.Size()), empty.U8(0), empty.Ok()}), Ints(3, 0)) << "a null block";
}

TEST(ByteWriter, WritesBigEndianAndRefusesOverflow) {
    std::vector<uint8_t> buf(8, 0xEE);
    ByteWriter w(buf.data(), buf.size());
    EXPECT_EQ(Int(w.U16(0, 0x0102)), 1);
    EXPECT_EQ(Int(w.U32(2, 0x03040506)), 1);
    EXPECT_EQ(Int(w.U8(6, 7)), 1);
    EXPECT_EQ(Int(w.U16(7, 0xFFFF)), 0);
    EXPECT_EQ(Int(w.Ok()), 0);
    EXPECT_EQ(Int(w.Bytes(1, "abcdefgh", 8)), 0);
    EXPECT_EQ(Int(w.Fill(8, 0, 0)), 1);
    EXPECT_EQ(w.FailOffset(), 7u);
    EXPECT_EQ(buf, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 0xEE}));
}
