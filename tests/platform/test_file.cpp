#include <gtest/gtest.h>

#include <cstring>

#include "platform/file.h"
#include "support/TempDir.h"

using vrm::File;
using vrm::MappedView;

TEST(File, OpenModesAndRefusals) {
    TempDir dir;
    File f;
    EXPECT_FALSE(f.Open(dir.File("missing").c_str(), File::Mode::ReadExisting));
    EXPECT_FALSE(f.Open(dir.Path().c_str(), File::Mode::ReadExisting)) << "a directory is not a file";
    EXPECT_FALSE(f.Open(nullptr, File::Mode::ReadExisting));
    EXPECT_FALSE(f.Open("", File::Mode::ReadWriteAlways));

    ASSERT_TRUE(f.Open(dir.File("new").c_str(), File::Mode::ReadWriteAlways));
    EXPECT_EQ(f.Size(), 0);
    EXPECT_EQ(f.WriteAt(4, "abcd", 4), 4u);
    EXPECT_EQ(f.Size(), 8);
    f.Close();
    EXPECT_EQ(f.Size(), -1);

    ASSERT_TRUE(f.Open(dir.File("new").c_str(), File::Mode::ReadExisting));
    EXPECT_EQ(f.WriteAt(0, "x", 1), 0u) << "read-only files take no writes";
    MappedView view;
    ASSERT_TRUE(view.Map(f, 8));
    EXPECT_EQ(std::memcmp(view.Data(), "\0\0\0\0abcd", 8), 0);
    EXPECT_FALSE(view.Map(f, 0)) << "an empty range cannot be mapped";
    EXPECT_EQ(view.Data(), nullptr);
}

TEST(File, MoveTransfersTheDescriptor) {
    TempDir dir;
    File a;
    ASSERT_TRUE(a.Open(dir.File("f").c_str(), File::Mode::ReadWriteAlways));
    File b(std::move(a));
    EXPECT_FALSE(a.IsOpen());
    EXPECT_TRUE(b.IsOpen());
    EXPECT_EQ(b.WriteAt(0, "z", 1), 1u);
}

TEST(File, ReadAtTruncateAndSync) {
    TempDir dir;
    File f;
    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadWriteAlways));
    ASSERT_EQ(f.WriteAt(0, "0123456789", 10), 10u);
    char buf[16] = {};
    EXPECT_EQ(f.ReadAt(2, buf, 4), 4);
    EXPECT_EQ(std::memcmp(buf, "2345", 4), 0);
    EXPECT_EQ(f.ReadAt(8, buf, 16), 2) << "short only at the end of the file";
    EXPECT_EQ(f.ReadAt(20, buf, 4), 0);

    EXPECT_TRUE(f.Truncate(3));
    EXPECT_EQ(f.Size(), 3);
    EXPECT_TRUE(f.Truncate(6));
    EXPECT_EQ(f.ReadAt(0, buf, 6), 6);
    EXPECT_EQ(std::memcmp(buf, "012\0\0\0", 6), 0) << "extension reads as zeros";
    EXPECT_TRUE(f.Sync());

    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadExisting));
    EXPECT_FALSE(f.Truncate(0)) << "read-only files cannot be cut";
    EXPECT_NE(f.Error(), 0);
    f.Close();
    EXPECT_EQ(f.ReadAt(0, buf, 1), -1);
    EXPECT_FALSE(f.Sync());
}

TEST(File, ProbeReplaceAndRemove) {
    TempDir dir;
    int64_t size = -1;
    EXPECT_EQ(vrm::ProbePath(dir.File("none").c_str(), &size), vrm::PathKind::Missing);
    EXPECT_EQ(vrm::ProbePath(dir.Path().c_str(), nullptr), vrm::PathKind::Other);
    EXPECT_EQ(vrm::ProbePath(nullptr, nullptr), vrm::PathKind::Missing);
    WriteWholeFile(dir.File("a"), {1, 2, 3});
    WriteWholeFile(dir.File("b"), {9});
    EXPECT_EQ(vrm::ProbePath(dir.File("a").c_str(), &size), vrm::PathKind::RegularFile);
    EXPECT_EQ(size, 3);

    EXPECT_TRUE(vrm::ReplaceFile(dir.File("a").c_str(), dir.File("b").c_str()));
    EXPECT_EQ(vrm::ProbePath(dir.File("a").c_str(), nullptr), vrm::PathKind::Missing);
    EXPECT_EQ(ReadWholeFile(dir.File("b")), (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_FALSE(vrm::ReplaceFile(dir.File("a").c_str(), dir.File("b").c_str()));

    EXPECT_TRUE(vrm::RemoveFile(dir.File("b").c_str()));
    EXPECT_TRUE(vrm::RemoveFile(dir.File("b").c_str())) << "already gone counts as removed";
    EXPECT_FALSE(vrm::RemoveFile(dir.Path().c_str()));
}
