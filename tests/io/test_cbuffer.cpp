#include <gtest/gtest.h>

#include <sys/stat.h>

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

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A buffer on file "f" of a scratch directory.
struct CBufferTest : ::testing::Test {
    TempDir dir;
    const std::string path = dir.File("f");
    CBuffer b;
};

}  // namespace

TEST_F(CBufferTest, OpenMissingFile) {
    EXPECT_EQ(b.Open(path.c_str(), CBuffer::kRead), CBuffer::kOpenFailed);
    EXPECT_FALSE(b.IsOpen());
    // The same object opens again: read/write creates the file empty.
    EXPECT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    EXPECT_EQ(b.FileSize(), 0u);
    EXPECT_EQ(b.View(), nullptr);
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    // A directory is not a management file.
    EXPECT_EQ(b.Open(dir.Path().c_str(), CBuffer::kRead), CBuffer::kOpenFailed);
    EXPECT_EQ(b.Open(nullptr, CBuffer::kRead), CBuffer::kOpenFailed);
}

TEST_F(CBufferTest, ReadStaysInsideTheFile) {
    WriteWholeFile(path, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    EXPECT_EQ(Ints({b.FileSize(), b.FileSize64(), b.UpperBound()}), Ints(3, 6));

    unsigned char dst[8] = {};
    b.Seek(2);
    EXPECT_EQ(b.Read(dst, 4), 4u);
    EXPECT_EQ(std::memcmp(dst, "\3\4\5\6", 4), 0);
    EXPECT_EQ(Ints({b.Cursor(), b.ReadFailed()}), Ints({2, 0})) << "the cursor does not move";

    std::memset(dst, 0xAA, sizeof dst);
    b.Seek(3);
    EXPECT_EQ(b.Read(dst, 4), 3u) << "past the end: the cursor value";
    EXPECT_EQ(Ints({dst[0], b.ReadFailed()}), Ints({0xAA, 1})) << "and nothing copied";
    EXPECT_EQ(b.ReadFailOffset(), 3u);

    b.ClearReadFailure();
    b.Seek(7);
    EXPECT_EQ(b.InBounds(), 0);
    EXPECT_EQ(b.Read(dst, 1), 0u) << "cursor out of bounds";
    EXPECT_TRUE(b.ReadFailed());
    b.Seek(6);
    EXPECT_EQ(b.InBounds(), 1) << "the end itself is in bounds";
    EXPECT_EQ(b.Read(dst, 0xFFFFFFFFu), 6u) << "a huge count does not wrap around";
}

// ReadBits and the buffer's own reader (through which the table loaders
// read) never leave the view, and their misses set the buffer's sticky
// read-failure mark, which keeps the first offset.
TEST_F(CBufferTest, ReadBitsAndTheReaderShareTheReadFailureMark) {
    WriteWholeFile(path, {0x12, 0x34, 0x56, 0x78});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    b.Seek(0);
    EXPECT_EQ(Ints({b.ReadBits(0, 0, 32), b.ReadBits(1, 4, 8), b.ReadBits(3, 4, 4), b.ReadFailed()}),
              Ints({0x12345678, 0x45, 0x8, 0}));
    b.Seek(2);
    EXPECT_EQ(Ints({b.ReadBits(0, 0, 32), b.ReadFailed()}), Ints({0, 1})) << "four bytes from offset 2 pass the end";
    EXPECT_EQ(b.ReadFailOffset(), 2u);
    b.ClearReadFailure();
    b.Seek(0);
    EXPECT_EQ(b.ReadBits(0xFFFFFFFFu, 0, 8), 0u);
    EXPECT_TRUE(b.ReadFailed());
    b.ClearReadFailure();
    EXPECT_EQ(b.ReadBits(0, 8, 32), 0u) << "a field wider than 32 bits";
    EXPECT_TRUE(b.ReadFailed());

    b.ClearReadFailure();
    vrm::ByteReader& reader = b.Reader();
    ASSERT_EQ(&reader, &b.Reader()) << "the buffer's own reader, not a copy";
    EXPECT_EQ(Ints({static_cast<long long>(reader.Size()), reader.U16(2), b.ReadFailed()}), Ints({4, 0x5678, 0}));
    EXPECT_EQ(reader.U16(3), 0u);
    EXPECT_TRUE(b.ReadFailed());
    EXPECT_EQ(b.ReadFailOffset(), 3u);
    b.MarkReadFailure(1);
    EXPECT_EQ(reader.FailOffset(), 3u) << "the first failure is kept";
    b.ClearReadFailure();
    EXPECT_TRUE(reader.Ok());

    // An empty file has no view: every field is outside.
    CBuffer e;
    ASSERT_EQ(e.Open(dir.File("empty").c_str(), CBuffer::kReadWrite), 0u);
    EXPECT_EQ(Ints({e.ReadBits(0, 0, 8), e.ReadFailed(), static_cast<long long>(e.Reader().Size())}), Ints({0, 1, 0}));
}

TEST_F(CBufferTest, WritesAreStagedUntilFlushedEachBufferItsOwn) {
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    CBuffer other;
    const std::string bup = dir.File("VR_MANGR.BUP");
    ASSERT_EQ(other.Open(bup.c_str(), CBuffer::kReadWrite), 0u);
    ASSERT_EQ(b.Write(nullptr, 0), 1);
    ASSERT_EQ(other.Write(nullptr, 0), 1);
    ASSERT_EQ(b.Write("hel", 3), 1);
    ASSERT_EQ(other.Write("bb", 2), 1);
    ASSERT_EQ(b.Write("lo", 2), 1);
    EXPECT_EQ(ReadWholeFile(path).size(), 0u) << "nothing reaches the file before a flush";
    EXPECT_EQ(b.StagedBytes(), 5u);
    ASSERT_EQ(other.Write(nullptr, CBuffer::kFlush), 1);
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1);
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_EQ(ReadWholeFile(bup), (Bytes{'b', 'b'}));
    EXPECT_EQ(b.WritePosition(), 5u);

    // The flush request with an empty stage writes nothing and succeeds.
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1);
    EXPECT_EQ(ReadWholeFile(path).size(), 5u);

    // A reset discards staged bytes and restarts at offset 0; the tail of a
    // longer file stays.
    ASSERT_EQ(b.Write("zz", 2), 1);
    ASSERT_EQ(b.Write(nullptr, 0), 1);
    ASSERT_EQ(b.Write("HE", 2), 1);
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1);
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'H', 'E', 'l', 'l', 'o'}));

    // A null source with a real length is refused.
    EXPECT_EQ(b.Write(nullptr, 3), 0);
}

TEST_F(CBufferTest, TheStageFlushesBeforeItWouldFillAndLargeWritesGoStraightThrough) {
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    b.Write(nullptr, 0);
    const Bytes first = Pattern(1000, 1), second = Pattern(CBuffer::kStageSize - 1000, 2);
    const Bytes big = Pattern(CBuffer::kStageSize + 12345, 4), tail = Pattern(7, 5);
    ASSERT_EQ(b.Write(first.data(), 1000), 1);
    // Exactly filling the stage flushes the first bytes, then stages these.
    ASSERT_EQ(b.Write(second.data(), static_cast<DWORD>(second.size())), 1);
    EXPECT_EQ(ReadWholeFile(path), first);
    EXPECT_EQ(b.StagedBytes(), second.size());
    // A megabyte or more goes to the file behind the staged bytes.
    ASSERT_EQ(b.Write(big.data(), static_cast<DWORD>(big.size())), 1);
    EXPECT_EQ(b.StagedBytes(), 0u);
    EXPECT_EQ(ReadWholeFile(path), Cat({first, second, big}));
    ASSERT_EQ(b.Write(tail.data(), 7), 1);
    ASSERT_EQ(b.Write(nullptr, CBuffer::kFlush), 1);
    EXPECT_EQ(ReadWholeFile(path), Cat({first, second, big, tail}));
}

TEST_F(CBufferTest, FailedFlushKeepsTheStagedBytes) {
    WriteWholeFile(path, {1, 2, 3});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    b.Write(nullptr, 0);
    ASSERT_EQ(b.Write("xy", 2), 1) << "staging needs no writable file";
    EXPECT_EQ(Ints({b.Write(nullptr, CBuffer::kFlush), b.StagedBytes()}), Ints({0, 2})) << "the file is read-only";
    EXPECT_EQ(b.WritePosition(), 0u);
    EXPECT_EQ(ReadWholeFile(path), (Bytes{1, 2, 3}));
    CBuffer closed;
    EXPECT_EQ(Ints({b.SetFilePos(0), closed.SetFilePos(0)}), Ints({1, 0}));
}
