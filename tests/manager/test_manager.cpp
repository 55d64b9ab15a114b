// The management file's life cycle through the manager: New, Save, Open
// and the backup.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "io/CBuffer.h"
#include "platform/clock.h"
#include "support/Disc.h"
#include "support/Discs.h"
#include "support/Ints.h"
#include "support/Recording.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CTMAPI.h"

namespace {

using Bytes = std::vector<unsigned char>;

DWORD At(const Bytes& b, size_t offset) { return vrm::be_load<uint32_t>(b.data() + offset); }

// A handle that ends with the test.
struct Handle {
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    ~Handle() { fnVR_MANGREnd(m); }
    operator void*() const { return m; }
};

// A directory with a saved disc holding two playlists, and the bytes of its
// management file.
struct SavedDisc {
    TempDir dir;
    Bytes ifo;
    SavedDisc() {
        Handle h;
        EXPECT_EQ(fnVR_MANGRNew(h, dir.Path().c_str()), 1);
        EXPECT_TRUE(FillEveryTable(*h.m));
        EXPECT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        ifo = ReadWholeFile(dir.File("VR_MANGR.IFO"));
    }
    std::string Ifo() const { return dir.File("VR_MANGR.IFO"); }
    std::string Bup() const { return dir.File("VR_MANGR.BUP"); }
    // Opens the directory on a fresh handle; the number of playlists found,
    // or -1 when the open fails.
    int Open() const {
        Handle h;
        return fnVR_MANGROpen(h, dir.Path().c_str()) ? fnVR_GetPLCount(h) : -1;
    }
};

}  // namespace

// (A management file beyond 128 KB, whose tables follow the head without
// zero fill, is the tool tests' check of a disc of three long playlists.)
TEST(Manager, NewThenSaveWritesTwoIdenticalFilesOf128K) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 10, 0, 0), 60);
    TempDir dir;
    Handle h;
    ASSERT_EQ(fnVR_MANGRNew(h, (dir.Path().string() + "/").c_str()), 1);
    struct stat st {};
    EXPECT_NE(stat(dir.File("VR_MANGR.IFO").c_str(), &st), 0) << "nothing is written before Save";
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    const Bytes ifo = ReadWholeFile(dir.File("VR_MANGR.IFO"));
    ASSERT_EQ(ifo.size(), 131072u);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MANGR.BUP")), ifo);
    EXPECT_EQ(std::string(ifo.begin(), ifo.begin() + 12), "DVD_RTR_VMG0");
    // RTR_VMG_EA, VMGI_EA, the start addresses of M_AVFIT, S_AVFIT,
    // ORG_PGCI, UD_PGCIT, TXTDT_MG and MNFIT, and TM_ZONE one hour east;
    // zeros up to the three tables at the end (the movie and still tables
    // with end address 7).
    EXPECT_EQ(Int(At(ifo, 12)), 0x1FFFF);
    EXPECT_EQ(Int(At(ifo, 28)), 519);
    EXPECT_EQ(Int(At(ifo, 256)), 131052);
    EXPECT_EQ(Int(At(ifo, 260)), 131060);
    EXPECT_EQ(Int(At(ifo, 304)), 131068);
    EXPECT_EQ(Int(At(ifo, 308)), 0);
    EXPECT_EQ(Int(At(ifo, 352)), 0);
    EXPECT_EQ(Int(At(ifo, 356)), 0);
    EXPECT_EQ(Int(ifo[64]), 0x10);
    EXPECT_EQ(Int(ifo[65]), 0x3C);
    for (size_t i = 520; i < 131052; ++i) ASSERT_EQ(ifo[i], 0) << i;
    EXPECT_EQ(Bytes(ifo.begin() + 131052, ifo.end()),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0}));
    EXPECT_EQ(h.m->m_dwSize(), 520u + 8 + 8 + 4);
    EXPECT_EQ(fnGetDVDVRPathType(dir.Path().c_str()), 1u);
}

TEST(Manager, EveryTableOpensAndSavesBackByteForByte) {
    vrm::ScopedTestClock clock(MakeTime(2026, 12, 6, 10, 0, 0), 0);
    SavedDisc disc;
    for (size_t at : {308, 352, 356}) ASSERT_NE(At(disc.ifo, at), 0u) << "a table at " << at;
    Handle h;
    ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
    EXPECT_EQ(Ints({fnVR_GetPLCount(h), h.m->m_pS_AVFIT->fnGet_c1_S_AAFI_Ns()}), Ints({2, 1}));
    {
        // The assigned copy names the same tables and goes first; the
        // original still saves them whole.
        CVR_MANGR copy;
        copy = *h.m;
        EXPECT_TRUE(copy.m_pModel == h.m->m_pModel && copy.m_pBuffer == h.m->m_pBuffer &&
                    copy.m_pORG_PGCI == h.m->m_pORG_PGCI && copy.m_pMNFIT == h.m->m_pMNFIT &&
                    copy.m_pMovie == h.m->m_pMovie);
        std::string tables, copied;
        ASSERT_EQ(h.m->fnDumpTables(&tables), 1);
        ASSERT_EQ(copy.fnDumpTables(&copied), 1);
        EXPECT_EQ(copied, tables);
    }
    std::remove(disc.Ifo().c_str());
    std::remove(disc.Bup().c_str());
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    EXPECT_EQ(ReadWholeFile(disc.Ifo()), disc.ifo);
    EXPECT_EQ(ReadWholeFile(disc.Bup()), disc.ifo);
    // The other way round: the original goes first, and each releases only
    // what it owns.
    CVR_MANGR survivor;
    {
        CVR_MANGR opened;
        ASSERT_EQ(opened.fnRTR_VMG_Open(disc.dir.Path().c_str()), 1);
        survivor = opened;
    }
}

// A copy that does not load (wrong identifier, counts raised, cut at every
// table boundary) is passed over for the backup; with the backup damaged
// too, nothing opens and nothing changes.
TEST(Manager, OpenFallsBackToTheBackup) {
    SavedDisc disc;
    ASSERT_EQ(disc.Open(), 2);
    std::vector<std::pair<std::string, Bytes>> damaged = {
        {"empty", {}},
        {"wrong identifier", disc.ifo},
        {"playlist count inflated", disc.ifo},
        {"cell count inflated", disc.ifo},
        {"cut in the head", Bytes(disc.ifo.begin(), disc.ifo.begin() + 300)},
        {"cut by one", Bytes(disc.ifo.begin(), disc.ifo.end() - 1)},
    };
    damaged[1].second[3] = 'X';
    damaged[2].second[512 + 3] = 3;
    damaged[3].second[At(disc.ifo, 304) + 3] += 1;
    for (DWORD at : {256, 260, 304, 308, 352, 356}) {
        const size_t boundary = At(disc.ifo, at);
        damaged.push_back({"cut at " + std::to_string(boundary), Bytes(disc.ifo.begin(), disc.ifo.begin() + boundary)});
    }
    for (const auto& [what, bytes] : damaged) {
        WriteWholeFile(disc.Ifo(), bytes);
        EXPECT_EQ(disc.Open(), 2) << what << ": opened from the backup";
    }
    std::remove(disc.Ifo().c_str());
    EXPECT_EQ(disc.Open(), 2) << "missing IFO";
    for (const auto& [what, bytes] : damaged) {
        WriteWholeFile(disc.Ifo(), bytes);
        WriteWholeFile(disc.Bup(), damaged[2].second);
        EXPECT_EQ(disc.Open(), -1) << what;
        EXPECT_EQ(ReadWholeFile(disc.Ifo()), bytes) << what;
        EXPECT_EQ(ReadWholeFile(disc.Bup()), damaged[2].second) << what;
    }
}

namespace {

// A disc of movie recordings saved through the tables alone, 400 sectors
// each (a stream file of the recorded size is written beside it); a
// recorder that deleted a recording may leave sectors unused before the
// second one.
struct RecordedDisc {
    TempDir dir;
    std::string Path(const char* name) const { return dir.File(name); }
    explicit RecordedDisc(int recordings, DWORD gapBeforeSecond = 0) {
        Handle h;
        EXPECT_EQ(fnVR_MANGRNew(h, dir.Path().c_str()), 1);
        for (int i = 0; i < recordings; ++i) {
            Recording movie = UniformRecording(4, 100);
            EXPECT_EQ(h.m->m_pM_AVFIT->fnADD_Program(&movie.info), 1);
            M_VOBI& vob = h.m->m_pModel->pM_AVFIT->pM_AVFI->vobi.back();
            CTMAPI map(vob.pTMAPI.get());
            if (i == 1) map.fnSet_dwADR_OFS(map.fnGet_dwADR_OFS() + gapBeforeSecond);
            EXPECT_EQ(h.m->m_pORG_PGCI->fnADD_Movie_Program(&vob, static_cast<WORD>(i + 1)), 1);
        }
        EXPECT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        WriteWholeFile(Path("VR_MOVIE.VRO"), Bytes((400u * recordings + gapBeforeSecond) * 2048, 0x47));
    }
};

}  // namespace

TEST(Manager, OpenChangesNoFileAndNewRecordingsGoBehindTheHighestEnd) {
    RecordedDisc disc(3, 274);
    const std::string stream = disc.Path("VR_MOVIE.VRO");
    for (size_t sectors : {1300, 1000}) {  // data behind the recordings, then recorded data missing
        WriteWholeFile(stream, Bytes(sectors * 2048, 0x47));
        const Bytes ifo = ReadWholeFile(disc.Path("VR_MANGR.IFO"));
        Handle h;
        ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
        EXPECT_EQ(fnVR_MANGRGetLastError(h), 0u) << "an Open that succeeds leaves no error; the coverage tells";
        VR_STREAM_COVERAGE c;
        ASSERT_EQ(h.m->fnGetStreamCoverage(0, &c), 1);
        ASSERT_EQ(Ints({static_cast<long long>(c.extents.size()), static_cast<long long>(c.gaps.size())}),
                  Ints({3, 1}));
        EXPECT_EQ(Int(c.extents[1].dwStart), 674);
        EXPECT_EQ(Int(c.gaps[0].dwStart), 400);
        EXPECT_EQ(Int(c.gaps[0].dwSectors), 274);
        EXPECT_EQ(Int(c.overlaps.size() > 0), 0);
        EXPECT_EQ(Int(c.dwRecordedEnd), 1474);
        EXPECT_EQ(Int(static_cast<long long>(c.qwMissingBytes)),
                  sectors < 1474 ? (1474 - static_cast<long long>(sectors)) * 2048 : 0);
        ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1) << "an edit saves over any stream";
        EXPECT_EQ(ReadWholeFile(stream).size(), sectors * 2048) << "nothing is cut";
        EXPECT_EQ(ReadWholeFile(disc.Path("VR_MANGR.IFO")), ifo);
    }
    // A new VOB starts behind the highest end, not behind the sum of sizes.
    WriteWholeFile(stream, Bytes(1474 * 2048, 0x47));
    Handle h;
    ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
    Recording movie = UniformRecording(4, 100);
    ASSERT_EQ(h.m->m_pM_AVFIT->fnADD_Program(&movie.info), 1);
    EXPECT_EQ(Ints({h.m->m_pMovie->fnGetQueuedEnd(), movie.info.dwVOBStartAddr}), Ints({1474, 1474}));
}

TEST(Manager, OpenUsesTheGoodCopyAndSaveNeverOverwritesAnotherState) {
    RecordedDisc disc(1);
    const Bytes one = ReadWholeFile(disc.Path("VR_MANGR.IFO"));
    {
        Handle h;  // a second recording: the IFO of one recording is now stale
        ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
        Recording movie = UniformRecording(4, 100);
        ASSERT_EQ(h.m->m_pM_AVFIT->fnADD_Program(&movie.info), 1);
        ASSERT_EQ(h.m->m_pORG_PGCI->fnADD_Movie_Program(&h.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[1], 2), 1);
        ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    }
    const Bytes two = ReadWholeFile(disc.Path("VR_MANGR.BUP"));
    WriteWholeFile(disc.Path("VR_MOVIE.VRO"), Bytes(800 * 2048, 0x47));
    WriteWholeFile(disc.Path("VR_MANGR.IFO"), one);
    {
        // Both copies good and inside the stream: the IFO is used, and no
        // save may write one state over the other.
        Handle h;
        ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
        EXPECT_EQ(Ints({h.m->fnGetOpenedCopy(), h.m->fnGetOtherCopyState(), fnVR_MANGRSave(h, nullptr),
                        fnVR_MANGRGetLastError(h)}),
                  Ints({0, CVR_MANGR::kCopyDiffers, 0, VRO_ERR_COPIES_DIFFER}));
        EXPECT_EQ(ReadWholeFile(disc.Path("VR_MANGR.BUP")), two);
    }
    // Only the BUP's recordings lie inside the stream: the BUP is used.
    WriteWholeFile(disc.Path("VR_MANGR.IFO"), two);
    WriteWholeFile(disc.Path("VR_MANGR.BUP"), one);
    WriteWholeFile(disc.Path("VR_MOVIE.VRO"), Bytes(400 * 2048, 0x47));
    {
        Handle h;
        ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
        EXPECT_EQ(h.m->fnGetOpenedCopy(), 1);
        EXPECT_FALSE(h.m->fnGetOpenFindings().empty());
    }
    // A program counting 0x8000 cells loads but is inconsistent: damaged,
    // never used, and the good copy is saved over it.
    Bytes inflated = one;
    const DWORD chain = At(inflated, 304);
    inflated[chain + 4 + 2] = 0x80;
    inflated[chain + 4 + 3] = 0x00;
    WriteWholeFile(disc.Path("VR_MANGR.IFO"), inflated);
    Handle h;
    ASSERT_EQ(fnVR_MANGROpen(h, disc.dir.Path().c_str()), 1);
    EXPECT_EQ(Ints({h.m->fnGetOpenedCopy(), h.m->fnGetOtherCopyState()}), Ints({1, CVR_MANGR::kCopyDamaged}));
    ASSERT_FALSE(h.m->fnGetOpenFindings().empty());
    EXPECT_NE(h.m->fnGetOpenFindings()[0].find("ORG_PGCI"), std::string::npos) << h.m->fnGetOpenFindings()[0];
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    EXPECT_EQ(ReadWholeFile(disc.Path("VR_MANGR.IFO")), one);
}

// Tables that contradict each other (made by hand: an entry point moved past
// its cell's end) are not saved, since the next Open would refuse them: the
// save names what is wrong and leaves both management files and the stream
// as they were, with a recording queued too.
TEST(Manager, SaveRefusesTablesThatOpenWouldRefuse) {
    Disc disc;
    disc.AddMovie(0, 10);
    ASSERT_EQ(fnVR_MANGRSave(disc, nullptr), 1);
    const Bytes ifo = ReadWholeFile(disc.dir.File("VR_MANGR.IFO"));
    const size_t movieBytes = ReadWholeFile(disc.dir.File("VR_MOVIE.VRO")).size();
    disc.AddMovie(0, 5);
    CCI cell(&disc.Original()->ci[0]);
    cell.fnSet_c6_EP_PTM(0, Ptm(30 * kSecond).data(), 6);

    EXPECT_EQ(fnVR_MANGRSave(disc, nullptr), 0);
    VR_STATUS status{};
    fnVR_MANGRGetLastStatus(disc, &status);
    EXPECT_EQ(status.dwCode, DWORD{VRO_ERR_DAMAGED});
    EXPECT_STREQ(status.szText,
                 "The tables contradict each other, so nothing was saved: ORG_PGCI: cell 1: entry point 1 lies "
                 "outside the cell.");
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MANGR.IFO")), ifo);
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MANGR.BUP")), ifo);
    EXPECT_EQ(ReadWholeFile(disc.dir.File("VR_MOVIE.VRO")).size(), movieBytes);

    cell.fnSet_c6_EP_PTM(0, Ptm(0).data(), 6);
    EXPECT_EQ(fnVR_MANGRSave(disc, nullptr), 1) << "mended, the same model saves";
    EXPECT_GT(ReadWholeFile(disc.dir.File("VR_MOVIE.VRO")).size(), movieBytes);
}
