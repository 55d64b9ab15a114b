#include <gtest/gtest.h>

#include "io/CBuffer.h"
#include "support/Ints.h"
#include "support/TempDir.h"

// Only read/write creates a missing file; empty, it has no view and every
// read misses. The reader never leaves the file, and its misses set one
// sticky mark that keeps the first offset until cleared.
TEST(CBufferTest, OpensTheFileAndReadsOnlyInsideIt) {
    TempDir dir;
    const std::string path = dir.File("f");
    CBuffer b;
    EXPECT_EQ(b.Open(path.c_str(), CBuffer::kRead), CBuffer::kOpenFailed);
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kReadWrite), 0u);
    EXPECT_EQ(Ints({b.FileSize(), b.View() != nullptr, b.Reader().U8(0), b.ReadFailed()}), Ints({0, 0, 0, 1}));

    b.ClearReadFailure();
    WriteWholeFile(path, {0x12, 0x34, 0x56, 0x78, 5, 6});
    ASSERT_EQ(b.Open(path.c_str(), CBuffer::kRead), 0u);
    vrm::ByteReader& reader = b.Reader();
    EXPECT_EQ(Ints({b.ReadFailed(), b.FileSize(), reader.U16(2), reader.U8(1), b.ReadFailed()}),
              Ints({0, 6, 0x5678, 0x34, 0}));
    EXPECT_EQ(Ints({reader.U16(5), b.ReadFailed(), static_cast<long long>(b.ReadFailOffset())}), Ints({0, 1, 5}));
    reader.U32(0xFFFFFFF0u);
    EXPECT_EQ(b.ReadFailOffset(), 5u) << "the first failure is kept";
    b.ClearReadFailure();
    b.Close();
    EXPECT_EQ(Ints({b.IsOpen(), b.FileSize(), b.Reader().U8(0), b.ReadFailed()}), Ints({0, 0, 0, 1}));
}
