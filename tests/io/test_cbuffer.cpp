#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "io/CBuffer.h"
#include "support/Ints.h"
#include "support/TempDir.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes Pattern(size_t n, unsigned seed) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 31 + seed) & 0xFF);
    return v;
}

// A buffer on file "f" of a scratch directory.
struct CBufferTest : ::testing::Test {
    TempDir dir;
    const std::string path = dir.File("f");
    CBuffer b;
};

}  // namespace

// Read and ReadBits never leave the view, and their misses (and the
// buffer's own reader's, through which the table loaders read) set one
// sticky read-failure mark that keeps the first offset.
TEST_F(CBufferTest, ReadsStayInsideTheFileAndShareTheReadFailureMark) {
    // Only read/write creates a missing file; empty, it has no view, so
    // every field is outside.
    EXPECT_EQ(b.Open(path.c_str(), CBuffer::kRead), CBuffer::kOpenFailed);
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    EXPECT_EQ(Ints({b.FileSize(), b.View() != nullptr, b.ReadBits(0, 0, 8), b.ReadFailed()}), Ints({0, 0, 0, 1}));
    b.ClearReadFailure();
    WriteWholeFile(path, {0x12, 0x34, 0x56, 0x78, 5, 6});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    unsigned char dst[8] = {};
    b.Seek(2);
    EXPECT_EQ(Ints({b.Read(dst, 4), dst[0], dst[3], b.Cursor(), b.ReadFailed()}), Ints({4, 0x56, 6, 2, 0}));
    std::memset(dst, 0xAA, sizeof dst);
    b.Seek(3);
    // Past the end: the cursor value, nothing copied.
    EXPECT_EQ(Ints({b.Read(dst, 4), dst[0], b.ReadFailed(), static_cast<long long>(b.ReadFailOffset())}),
              Ints({3, 0xAA, 1, 3}));
    b.ClearReadFailure();
    b.Seek(7);
    EXPECT_EQ(Ints({b.InBounds(), b.Read(dst, 1), b.ReadFailed()}), Ints({0, 0, 1})) << "cursor out of bounds";
    b.Seek(6);
    EXPECT_EQ(Ints({b.InBounds(), b.Read(dst, 0xFFFFFFFFu)}), Ints({1, 6})) << "a huge count does not wrap around";

    b.ClearReadFailure();
    b.Seek(0);
    EXPECT_EQ(Ints({b.ReadBits(0, 0, 32), b.ReadBits(1, 4, 8), b.ReadBits(3, 4, 4), b.ReadFailed()}),
              Ints({0x12345678, 0x45, 0x8, 0}));
    EXPECT_EQ(Ints({b.ReadBits(4, 0, 32), b.ReadFailed(), static_cast<long long>(b.ReadFailOffset())}),
              Ints({0, 1, 4}));
    b.ClearReadFailure();
    EXPECT_EQ(Ints({b.ReadBits(0xFFFFFFFFu, 0, 8), b.ReadFailed()}), Ints({0, 1}));
    b.ClearReadFailure();
    EXPECT_EQ(Ints({b.ReadBits(0, 8, 32), b.ReadFailed()}), Ints({0, 1})) << "a field wider than 32 bits";

    b.ClearReadFailure();
    vrm::ByteReader& reader = b.Reader();
    EXPECT_EQ(Ints({reader.U16(2), b.ReadFailed(), reader.U16(5), b.ReadFailed()}), Ints({0x5678, 0, 0, 1}));
    b.MarkReadFailure(1);
    EXPECT_EQ(reader.FailOffset(), 5u) << "the first failure is kept";
}

// Writes are staged until flushed; a reset restarts at offset 0 over the
// old bytes; a write that exactly fills the stage flushes it first, and a
// megabyte or more goes straight to the file.
TEST_F(CBufferTest, WritesAreStagedUntilFlushed) {
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    ASSERT_EQ(b.Write(nullptr, 0), 1);
    ASSERT_EQ(b.Write("hel", 3) + b.Write("lo", 2), 2);
    EXPECT_EQ(ReadWholeFile(path).size(), 0u) << "nothing reaches the file before a flush";
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1);
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1) << "an empty stage";
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'h', 'e', 'l', 'l', 'o'}));
    ASSERT_EQ(b.Write("zz", 2) + b.Write(nullptr, 0) + b.Write("HE", 2) + b.Write(nullptr, CBuffer::kFlush), 4);
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'H', 'E', 'l', 'l', 'o'}));
    EXPECT_EQ(b.Write(nullptr, 3), 0) << "a null source with a real length";

    b.Write(nullptr, 0);
    const Bytes first = Pattern(1000, 1), second = Pattern(CBuffer::kStageSize - 1000, 2);
    const Bytes big = Pattern(CBuffer::kStageSize + 12345, 4);
    ASSERT_EQ(b.Write(first.data(), 1000), 1);
    ASSERT_EQ(b.Write(second.data(), static_cast<DWORD>(second.size())), 1);
    EXPECT_EQ(ReadWholeFile(path), first);
    ASSERT_EQ(b.Write(big.data(), static_cast<DWORD>(big.size())), 1);
    EXPECT_EQ(b.StagedBytes(), 0u);
    Bytes all = first;
    all.insert(all.end(), second.begin(), second.end());
    all.insert(all.end(), big.begin(), big.end());
    EXPECT_EQ(ReadWholeFile(path), all);
}

TEST_F(CBufferTest, FailedFlushKeepsTheStagedBytes) {
    WriteWholeFile(path, {1, 2, 3});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    ASSERT_EQ(b.Write("xy", 2), 1) << "staging needs no writable file";
    EXPECT_EQ(Ints({b.Write(nullptr, CBuffer::kFlush), b.StagedBytes(), static_cast<long long>(b.WritePosition())}),
              Ints({0, 2, 0}))
        << "the file is read-only";
    EXPECT_EQ(ReadWholeFile(path), (Bytes{1, 2, 3}));
    CBuffer closed;
    EXPECT_EQ(Ints({b.SetFilePos(0), closed.SetFilePos(0)}), Ints({1, 0}));
}
