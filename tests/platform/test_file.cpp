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
