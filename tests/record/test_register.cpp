// Registering recorded MPEG files on a disc: the refusals, which must leave
// the queue and the tables as they were. (Registering itself is covered
// end to end by the tool's tests on the committed samples.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Ints.h"
#include "support/TableIO.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

struct Disc {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    Disc() { EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1); }
    ~Disc() { fnVR_MANGREnd(m); }
    int Add(const char* sample) { return fnVR_AddMpegFile(m, Sample(sample).c_str(), nullptr); }
    // Everything the tables hold, as they would be saved.
    Bytes Tables() const {
        Bytes all = Serialise(*m->m_pM_AVFIT);
        const Bytes chain = Serialise(*m->m_pORG_PGCI);
        all.insert(all.end(), chain.begin(), chain.end());
        return all;
    }
};

const char kPalMp2[] = "pal_mpeg2_mp2_4x3.vob";

}  // namespace

// Each refusal names the file and its reason and leaves the queue and the
// tables as they were: a file of another TV system, of other packs, a
// missing one, and one the full original chain has no cell for.
TEST(RegisterMovie, RefusalsChangeNothing) {
    Disc disc;
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    const struct {
        std::string file;
        DWORD error;
    } refused[] = {
        {Sample("ntsc_mpeg2_ac3_16x9.vob"), VRO_ERR_TV_SYSTEM},
        {Sample("pal_vcd.mpg"), VRO_ERR_PACK_SIZE},
        {disc.dir.File("missing.mpg"), VRO_ERR_SOURCE_OPEN},
        {Sample(kPalMp2), VRO_ERR_EDIT_REFUSED},
    };
    for (const auto& r : refused) {
        if (r.error == VRO_ERR_EDIT_REFUSED) {
            CPGCI& chain = *disc.m->m_pORG_PGCI;
            M_VOBI& vob = disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[0];
            while (chain.fnGet_wCI_SRP_Ns() < CPGCI::kMaxCells) ASSERT_EQ(chain.fnADD_UD_Movie_Cell(&vob, 1, -1), 1);
        }
        const Bytes tables = disc.Tables();
        VR_STATUS status{};
        EXPECT_EQ(fnVR_AddMpegFile(disc.m, r.file.c_str(), nullptr), 0) << r.file;
        ASSERT_EQ(fnVR_MANGRGetLastStatus(disc.m, &status), 1);
        EXPECT_EQ(status.dwCode, r.error) << r.file << ": " << status.szText;
        EXPECT_NE(std::string(status.szText).find(r.file), std::string::npos) << "names the file";
        EXPECT_EQ(Ints({disc.m->m_pMovie->fnGetQueuedFileNs(),
                        static_cast<long long>(disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi.size())}),
                  Ints({1, 1}))
            << r.file;
        EXPECT_EQ(disc.Tables(), tables) << r.file;
    }
    EXPECT_EQ(
        Ints({fnVR_AddMpegFile(nullptr, Sample(kPalMp2).c_str(), nullptr), fnVR_AddMpegFile(disc.m, nullptr, nullptr)}),
        Ints(2, 0));
}

namespace {

// Year, month, day, hour, minute, second of a REC_TM.
Ints RecTm(const BYTE recTm[5]) {
    DWORD t[6] = {};
    UnpackRecTm(recTm, t);
    return Ints(t, t + 6);
}

}  // namespace

// A recording time given for the next registration lands in its VOB (or
// VOG) and in the date text of the program it opens, decides whether it
// joins the last program, and holds for that one registration only; a
// refused registration does not use it up.
TEST(RegisterMovie, RecordingTimeHoldsForOneRegistration) {
    const vrm::ScopedTestClock clock(MakeTime(2026, 1, 2, 3, 4, 5), 0);
    Disc disc;
    const SYSTEMTIME evening = MakeTime(2019, 5, 4, 16, 30, 0), night = MakeTime(2019, 5, 4, 23, 59, 59);
    CPGCI& chain = *disc.m->m_pORG_PGCI;
    auto vob = [&](size_t i) {
        BYTE t[5];
        CM_VOBI(&disc.m->m_pModel->pM_AVFIT->pM_AVFI->vobi[i]).fnGet_c5_VOB_REC_TM(t);
        return RecTm(t);
    };
    auto label = [&](BYTE pg) {
        BYTE text[128];
        chain.fnGet_c128_PRM_TXTI(pg, text);
        return std::string(reinterpret_cast<const char*>(text));
    };

    ASSERT_EQ(fnVR_SetRecordingTime(disc.m, &evening), 1);
    EXPECT_EQ(fnVR_AddMpegFile(disc.m, disc.dir.File("missing.mpg").c_str(), nullptr), 0);
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    ASSERT_EQ(fnVR_SetRecordingTime(disc.m, &night), 1);
    ASSERT_EQ(disc.Add(kPalMp2), 1);  // the same day: joins program 1
    ASSERT_EQ(disc.Add(kPalMp2), 1);  // now again: a program of today
    ASSERT_EQ(fnVR_SetRecordingTime(disc.m, &evening), 1);
    ASSERT_EQ(fnVR_SetRecordingTime(disc.m, nullptr), 1);  // back to now: joins program 2
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    EXPECT_EQ(vob(0), Ints({2019, 5, 4, 16, 30, 0}));
    EXPECT_EQ(vob(1), Ints({2019, 5, 4, 23, 59, 59}));
    EXPECT_EQ(vob(2), Ints({2026, 1, 2, 3, 4, 5}));
    EXPECT_EQ(vob(3), Ints({2026, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Ints({chain.fnGet_c1_PG_Ns(), chain.fnGet_wC_Ns(0), chain.fnGet_wC_Ns(1)}), Ints({2, 2, 2}));
    EXPECT_EQ(label(0), "2019/ 5/ 4");
    EXPECT_EQ(label(1), "2026/ 1/ 2");

    // Still pictures: both recording times of the VOG.
    ASSERT_EQ(fnVR_SetRecordingTime(disc.m, &evening), 1);
    ASSERT_EQ(fnVR_AddStillFile(disc.m, Sample("still_pal_2pictures.vob").c_str()), 1);
    BYTE first[5], last[5];
    CS_VOGI vog(&disc.m->m_pModel->pS_AVFIT->pS_AVFI->vogi[0]);
    vog.fnGet_c5_FIRST_VOB_REC_TM(first);
    vog.fnGet_c5_LAST_VOB_REC_TM(last);
    EXPECT_EQ(RecTm(first), Ints({2019, 5, 4, 16, 30, 0}));
    EXPECT_EQ(RecTm(last), RecTm(first));
    EXPECT_EQ(Ints({chain.fnGet_c1_PG_Ns()}), Ints({3}));
    EXPECT_EQ(label(2), "2019/ 5/ 4");

    // Times outside the calendar are refused and change nothing.
    for (const SYSTEMTIME& bad : {MakeTime(2019, 13, 1), MakeTime(2019, 2, 29), MakeTime(1899, 12, 31),
                                  MakeTime(2019, 5, 4, 24), MakeTime(2019, 5, 4, 0, 60)}) {
        EXPECT_EQ(fnVR_SetRecordingTime(disc.m, &bad), 0) << bad.wYear << "-" << bad.wMonth;
        VR_STATUS status{};
        ASSERT_EQ(fnVR_MANGRGetLastStatus(disc.m, &status), 1);
        EXPECT_EQ(status.dwCode, DWORD{VRO_ERR_BAD_ARGUMENT});
    }
    ASSERT_EQ(fnVR_StartNewProgram(disc.m), 1);
    ASSERT_EQ(disc.Add(kPalMp2), 1);
    EXPECT_EQ(vob(4), Ints({2026, 1, 2, 3, 4, 5}));
    EXPECT_EQ(fnVR_SetRecordingTime(nullptr, &evening), 0);
}
