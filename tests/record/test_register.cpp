// Registering recorded MPEG files on a disc: the recording time of a
// registration. (Registering itself and its refusals are covered end to end
// by the tool's tests on the committed samples.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "io/codecs.h"
#include "platform/clock.h"
#include "support/Ints.h"
#include "support/TempDir.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"

namespace {

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

struct Disc {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    Disc() { EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1); }
    ~Disc() { fnVR_MANGREnd(m); }
    int Add(const char* sample) { return fnVR_AddMpegFile(m, Sample(sample).c_str(), nullptr); }
};

const char kPalMp2[] = "pal_mpeg2_mp2_4x3.vob";

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
