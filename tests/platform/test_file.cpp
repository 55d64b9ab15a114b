#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/file.h"
#include "support/Ints.h"
#include "support/TempDir.h"

using vrm::DirectoryLock;
using vrm::File;
using vrm::MappedView;

TEST(File, OpenReadWriteTruncateAndMove) {
    TempDir dir;
    File f;
    // A directory is not a file.
    EXPECT_EQ(Ints({f.Open(dir.File("missing").c_str(), File::Mode::ReadExisting),
                    f.Open(dir.Path().c_str(), File::Mode::ReadExisting), f.Open(nullptr, File::Mode::ReadExisting),
                    f.Open("", File::Mode::ReadWriteAlways)}),
              Ints(4, 0));

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
    // A move hands the descriptor over.
    File b(std::move(f));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(b.IsOpen());
    EXPECT_EQ(b.Size(), 8);

    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadWriteAlways));
    ASSERT_EQ(f.WriteAt(0, "0123456789", 10), 10u);
    char buf[16] = {};
    EXPECT_EQ(f.ReadAt(2, buf, 4), 4);
    EXPECT_EQ(std::memcmp(buf, "2345", 4), 0);
    // Short only at the end of the file.
    EXPECT_EQ(Ints({f.ReadAt(8, buf, 16), f.ReadAt(20, buf, 4)}), Ints({2, 0}));
    EXPECT_EQ(Ints({f.Truncate(3), f.Size(), f.Truncate(6), f.ReadAt(0, buf, 6), f.Sync()}), Ints({1, 3, 1, 6, 1}));
    EXPECT_EQ(std::memcmp(buf, "012\0\0\0", 6), 0) << "extension reads as zeros";

    ASSERT_TRUE(f.Open(dir.File("f").c_str(), File::Mode::ReadExisting));
    EXPECT_FALSE(f.Truncate(0)) << "read-only files cannot be cut";
    EXPECT_NE(f.Error(), 0);
    f.Close();
    EXPECT_EQ(Ints({f.ReadAt(0, buf, 1), f.Sync()}), Ints({-1, 0}));
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

    // Already gone counts as removed; a directory is not removed.
    EXPECT_EQ(Ints({vrm::RemoveFile(dir.File("b").c_str()), vrm::RemoveFile(dir.File("b").c_str()),
                    vrm::RemoveFile(dir.Path().c_str())}),
              Ints({1, 1, 0}));
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
    EXPECT_EQ(a.WriteAt(0, "ab", 2), 2u);
    EXPECT_EQ(a.Size(), 2);
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
    EXPECT_FALSE(c.CreateBeside(dir.File("no-such-dir/x"), &pathC));
    EXPECT_EQ(c.Error(), ENOENT);
}

namespace {

// Runs body in a child process and returns its exit status (-1 when it did
// not exit normally). body returns the status.
template <class Body>
int InChild(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

TEST(DirectoryLock, SharedLocksCoexistAndExcludeWritersAcrossProcesses) {
    TempDir dir;
    const char* d = dir.Path().c_str();
    DirectoryLock reader;
    ASSERT_TRUE(reader.Acquire(d, DirectoryLock::Kind::Shared, 0));
    // Another process: a second reader gets in, a writer does not, neither
    // at once nor after a bounded wait.
    EXPECT_EQ(InChild([d] {
                  DirectoryLock r, w;
                  if (!r.Acquire(d, DirectoryLock::Kind::Shared, 0)) return 1;
                  r.Release();
                  if (w.Acquire(d, DirectoryLock::Kind::Exclusive, 0) || w.Error() != EWOULDBLOCK) return 2;
                  if (w.Acquire(d, DirectoryLock::Kind::Exclusive, 100) || w.Error() != EWOULDBLOCK) return 3;
                  return 0;
              }),
              0);
    // Two locks of one process conflict like two processes.
    DirectoryLock writer;
    EXPECT_FALSE(writer.Acquire(d, DirectoryLock::Kind::Exclusive, 0));
    reader.Release();
    ASSERT_TRUE(writer.Acquire(d, DirectoryLock::Kind::Exclusive, 0));
    EXPECT_EQ(InChild([d] {
                  DirectoryLock r;
                  return r.Acquire(d, DirectoryLock::Kind::Shared, 50) ? 1 : r.Error() == EWOULDBLOCK ? 0 : 2;
              }),
              0);
    // Moved, the lock stays held; it goes with its last owner.
    DirectoryLock moved(std::move(writer));
    EXPECT_FALSE(writer.Held());
    EXPECT_TRUE(moved.Held());
    moved = DirectoryLock();
    EXPECT_TRUE(reader.Acquire(d, DirectoryLock::Kind::Shared, 0));
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "locking creates no file";
}

TEST(DirectoryLock, AWaitingWriterGetsTheLockWhenTheHolderLetsGo) {
    TempDir dir;
    const char* d = dir.Path().c_str();
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    DirectoryLock lock;
    char c = 0;
    // A child waiting (up to 10 s) gets the lock once this process lets go.
    // It is forked while nothing is locked: a child shares the descriptors,
    // and so the locks, its parent holds when it is made.
    const pid_t waiter = ::fork();
    if (waiter == 0) {
        ::alarm(30);
        if (::read(ready[0], &c, 1) != 1) ::_exit(1);
        DirectoryLock w;
        ::_exit(w.Acquire(d, DirectoryLock::Kind::Exclusive, 10000) ? 0 : 2);
    }
    ASSERT_GT(waiter, 0);
    ASSERT_TRUE(lock.Acquire(d, DirectoryLock::Kind::Exclusive, 0));
    ASSERT_EQ(::write(ready[1], "w", 1), 1);
    ::usleep(50 * 1000);
    lock.Release();
    int status = 0;
    ASSERT_EQ(::waitpid(waiter, &status, 0), waiter);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_EQ(Ints({lock.Acquire(dir.File("missing").c_str(), DirectoryLock::Kind::Shared, 0), lock.Error()}),
              Ints({0, ENOENT}));
    WriteWholeFile(dir.File("file"), {1});
    EXPECT_EQ(Ints({lock.Acquire(dir.File("file").c_str(), DirectoryLock::Kind::Shared, 0), lock.Error()}),
              Ints({0, ENOTDIR}));
    EXPECT_FALSE(lock.Acquire(nullptr, DirectoryLock::Kind::Shared, 0));
}
