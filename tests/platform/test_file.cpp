#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file.h"
#include "support/Ints.h"
#include "support/TempDir.h"

using vrm::DirectoryLock;
using vrm::File;
using vrm::MappedView;

// Reads, writes and truncation themselves are exercised by the stream tests;
// here what only File decides: what it refuses, short reads, the mapping and
// the hand-over of the descriptor.
TEST(File, RefusalsShortReadsMappingAndMove) {
    TempDir dir;
    File f;
    EXPECT_EQ(Ints({f.Open(dir.File("missing").c_str(), File::Mode::ReadExisting),
                    f.Open(dir.Path().c_str(), File::Mode::ReadExisting), f.Open(nullptr, File::Mode::ReadExisting),
                    f.Open("", File::Mode::ReadWriteAlways)}),
              Ints(4, 0))
        << "a directory is not a file";
    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadWriteAlways));
    ASSERT_EQ(f.WriteAt(2, "23456789", 8), 8u);
    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadExisting));
    char buf[16] = {};
    // Short only at the end of the file; read-only files take no writes.
    EXPECT_EQ(
        Ints({f.ReadAt(8, buf, 16), f.ReadAt(20, buf, 4), static_cast<long long>(f.WriteAt(0, "x", 1)), f.Truncate(0)}),
        Ints({2, 0, 0, 0}));
    MappedView view;
    ASSERT_TRUE(view.Map(f, 10));
    EXPECT_EQ(std::memcmp(view.Data(),
                          "\0\0"
                          "23456789",
                          10),
              0);
    EXPECT_FALSE(view.Map(f, 0)) << "an empty range cannot be mapped";
    EXPECT_EQ(view.Data(), nullptr);
    File b(std::move(f));
    EXPECT_EQ(Ints({f.IsOpen(), b.IsOpen(), b.Size(), f.ReadAt(0, buf, 1), f.Sync()}), Ints({0, 1, 10, -1, 0}));
}

TEST(File, CreateBesideMakesAFileOfItsOwnWithNormalPermissions) {
    TempDir dir;
    const std::string target = dir.File("VR_MANGR.IFO");
    const mode_t oldMask = ::umask(027);
    File a, b;
    std::string pathA, pathB;
    ASSERT_TRUE(a.CreateBeside(target, &pathA));
    ASSERT_TRUE(b.CreateBeside(target, &pathB));
    ::umask(oldMask);
    EXPECT_NE(pathA, pathB) << "every call gets a name of its own";
    for (const std::string& p : {pathA, pathB}) {
        EXPECT_EQ(p.rfind(target + ".tmp-", 0), 0u) << p;
        EXPECT_EQ(p.size(), target.size() + 11) << p;
        struct stat st {};
        ASSERT_EQ(::stat(p.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << "0666 less the umask, not mkstemp's 0600";
    }
    EXPECT_TRUE(a.Writable());
    EXPECT_EQ(vrm::ProbePath(target.c_str(), nullptr), vrm::PathKind::Missing) << "the target is not touched";

    // The creation is a change of the file system: the fault hook can refuse it.
    vrm::SetFaultHook([](void*, const char* operation) { return std::strcmp(operation, "open") == 0 ? EROFS : 0; },
                      nullptr);
    File c;
    std::string pathC = "unchanged";
    EXPECT_FALSE(c.CreateBeside(target, &pathC));
    vrm::SetFaultHook(nullptr, nullptr);
    EXPECT_EQ(c.Error(), EROFS);
    EXPECT_EQ(pathC, "unchanged");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

// Separate locks conflict like separate processes (which the tool tests'
// concurrent runs show): readers share, a writer is excluded, at once or
// after a bounded wait, and a moved lock stays held until its last owner
// lets go.
TEST(DirectoryLock, SharedLocksCoexistAndExcludeWriters) {
    TempDir dir;
    const char* d = dir.Path().c_str();
    using Kind = DirectoryLock::Kind;
    DirectoryLock reader, second, writer;
    EXPECT_EQ(Int(reader.Acquire(d, Kind::Shared, 0)), 1);
    EXPECT_EQ(Int(second.Acquire(d, Kind::Shared, 0)), 1);
    EXPECT_EQ(Int(writer.Acquire(d, Kind::Exclusive, 0)), 0);
    EXPECT_EQ(Int(writer.Error() == EWOULDBLOCK), 1);
    EXPECT_EQ(Int(writer.Acquire(d, Kind::Exclusive, 100)), 0);
    EXPECT_EQ(Int(writer.Error() == EWOULDBLOCK), 1);
    reader.Release();
    second.Release();
    ASSERT_TRUE(writer.Acquire(d, Kind::Exclusive, 0));
    DirectoryLock moved(std::move(writer));
    EXPECT_EQ(Ints({writer.Held(), moved.Held(), reader.Acquire(d, Kind::Shared, 0)}), Ints({0, 1, 0}));
    moved = DirectoryLock();
    EXPECT_TRUE(reader.Acquire(d, Kind::Shared, 0));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "locking creates no file";
    EXPECT_EQ(Ints({reader.Acquire(dir.File("missing").c_str(), Kind::Shared, 0), reader.Error()}), Ints({0, ENOENT}));
}

namespace {

int PunchUnsupported(void*, const char* operation) { return std::strcmp(operation, "punch") == 0 ? EOPNOTSUPP : 0; }

}  // namespace

// A hole punched in the middle of data keeps the file's length and reads
// as zeros; ReadsAsZeros tells it, and zeros written, from data (one byte is
// enough) and counts bytes behind the end as missing; without hole
// punching ZeroRange writes the zeros itself.
TEST(File, HolesReadAsZerosAndZeroRangeWorksWithoutThem) {
    TempDir dir;
    const uint64_t mb = 1024 * 1024;
    File f;
    ASSERT_TRUE(f.Open(dir.File("stream").c_str(), File::Mode::ReadWriteAlways));
    const std::string data(3 * mb, '\x47');
    ASSERT_EQ(f.WriteAt(0, data.data(), data.size()), data.size());
    const auto readsAsZeros = [&](uint64_t offset, uint64_t length) {
        bool zeros = false;
        return f.ReadsAsZeros(offset, length, &zeros) ? int(zeros) : -1;
    };
    EXPECT_EQ(readsAsZeros(mb, mb), 0);
    if (!f.PunchHole(mb, mb)) {
        ASSERT_EQ(f.Error(), EOPNOTSUPP);
        GTEST_SKIP() << "this file system punches no holes";
    }
    EXPECT_EQ(Ints({f.Size(), lseek(f.Descriptor(), 0, SEEK_HOLE), lseek(f.Descriptor(), mb, SEEK_DATA)}),
              Ints({3 * mb, mb, 2 * mb}));
    ASSERT_EQ(f.WriteAt(2 * mb, std::string(mb / 2, '\0').data(), mb / 2), mb / 2);
    EXPECT_EQ(Ints({readsAsZeros(mb, mb + mb / 2), readsAsZeros(mb - 1, 2), readsAsZeros(3 * mb - 1, 2)}),
              Ints({1, 0, 0}));
    ASSERT_EQ(f.WriteAt(mb + 4096, "\x01", 1), 1u);
    EXPECT_EQ(readsAsZeros(mb, mb), 0);

    vrm::SetFaultHook(PunchUnsupported, nullptr);
    const bool punched = f.PunchHole(0, 4096);
    const int error = f.Error();
    const bool zeroed = f.ZeroRange(0, 4096);
    vrm::SetFaultHook(nullptr, nullptr);
    EXPECT_EQ(Ints({punched, error == EOPNOTSUPP, zeroed, readsAsZeros(0, 4096), readsAsZeros(4096, 1)}),
              Ints({0, 1, 1, 1, 0}));
}
