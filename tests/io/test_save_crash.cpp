// A save interrupted at any point leaves a disc that opens, in its old or
// its new state, and the management file and its backup each hold one of
// the two whole.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

// Opens the disc, adds one playlist (with its chain) and saves: the change
// whose save is interrupted.
int AddPlaylistAndSave(const std::string& dir) {
    void* h = fnVR_MANGRBegin();
    auto* m = static_cast<CVR_MANGR*>(h);
    int ok = fnVR_MANGROpen(h, dir.c_str());
    if (ok) {
        VMG_MODEL& model = *m->m_pModel;
        if (!model.pUD_PGCIT) {
            model.pUD_PGCIT = new UD_PGCIT{};
            m->m_pUD_PGCIT = new CUD_PGCIT(model.pUD_PGCIT);
            m->m_pUD_PGCIT->fnNew();
        }
        m->m_pUD_PGCIT->fnADD_UD_PGCI();
        const BYTE n = m->m_pUD_PGCIT->fnGet_c1_UD_PGCI_SRP_Ns();
        CPL_SRPT(model.pRTR_VMGI->pPL_SRPT.get()).fnADD_PlayList_Pointer(&model.pUD_PGCIT->pgci[n - 1u], n);
        ok = fnVR_MANGRSave(h, nullptr);
    }
    fnVR_MANGREnd(h);
    return ok;
}

int Playlists(const std::string& dir) {
    void* h = fnVR_MANGRBegin();
    int n = -1;
    if (fnVR_MANGROpen(h, dir.c_str()))
        n = CPL_SRPT(static_cast<CVR_MANGR*>(h)->m_pModel->pRTR_VMGI->pPL_SRPT.get()).fnGet_c1_PL_SRP_Ns();
    fnVR_MANGREnd(h);
    return n;
}

void CopyDirectory(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    for (const auto& entry : fs::directory_iterator(from)) fs::copy_file(entry.path(), to / entry.path().filename());
}

}  // namespace

TEST(SaveCrash, OpenAlwaysFindsTheOldOrTheNewDisc) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 12, 0, 0), 0);
    TempDir root;
    const fs::path old = root.Path() / "old";
    fs::create_directories(old);
    {
        void* h = fnVR_MANGRBegin();
        ASSERT_EQ(fnVR_MANGRNew(h, old.c_str()), 1);
        ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        fnVR_MANGREnd(h);
    }
    ASSERT_EQ(AddPlaylistAndSave(old.string()), 1);
    const Bytes oldIfo = ReadWholeFile((old / "VR_MANGR.IFO").string());

    // The whole save once, counting the file system operations it makes.
    const fs::path done = root.Path() / "new";
    CopyDirectory(old, done);
    int operations = 0;
    vrm::SetFaultHook([](void* count, const char*) { ++*static_cast<int*>(count); return 0; }, &operations);
    ASSERT_EQ(AddPlaylistAndSave(done.string()), 1);
    vrm::SetFaultHook(nullptr, nullptr);
    const Bytes newIfo = ReadWholeFile((done / "VR_MANGR.IFO").string());
    ASSERT_NE(newIfo, oldIfo);
    ASSERT_GT(operations, 4) << "a save opens, writes, syncs and renames two files";

    const fs::path disc = root.Path() / "disc";
    for (int crashAt = 0; crashAt <= operations; ++crashAt) {
        CopyDirectory(old, disc);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The process ends at the operation the countdown reaches.
            int countdown = crashAt;
            vrm::SetFaultHook(
                [](void* left, const char*) {
                    if ((*static_cast<int*>(left))-- == 0) _exit(0);
                    return 0;
                },
                &countdown);
            AddPlaylistAndSave(disc.string());
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const int n = Playlists(disc.string());
        EXPECT_TRUE(n == 1 || n == 2) << "crash at operation " << crashAt << ": " << n << " playlists";
        for (const char* name : {"VR_MANGR.IFO", "VR_MANGR.BUP"}) {
            const Bytes now = ReadWholeFile((disc / name).string());
            EXPECT_TRUE(now == oldIfo || now == newIfo) << name << " after a crash at operation " << crashAt;
        }
    }
}
