// Shared pieces of the editing tests. Program chains are written and read as
// text in seconds: "5-20[10] 20-40[20,30]" is two movie cells, the first
// from 5 s to 20 s with an entry point at 10 s, the second with entry points
// at 20 s and 30 s. Times that are not whole seconds show as milliseconds
// ("45.5"). A still cell shows as "S<group>[<picture>...]".
#ifndef VRMANGR_TESTS_EDIT_FIXTURES_H
#define VRMANGR_TESTS_EDIT_FIXTURES_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Cells.h"
#include "support/Ints.h"
#include "support/Recording.h"
#include "support/TempDir.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CUD_PGCIT.h"

inline std::string Seconds(__int64 t) {
    if (t % kSecond == 0) return std::to_string(t / kSecond);
    const __int64 ms = t * 1000 / kSecond;
    std::string frac = std::to_string(ms % 1000);
    frac.insert(0, 3 - frac.size(), '0');
    while (frac.back() == '0') frac.pop_back();
    return std::to_string(ms / 1000) + "." + frac;
}

inline std::string Describe(PGCI& record) {
    CPGCI chain(&record);
    std::string text;
    for (WORD i = 0; i < chain.fnGet_wCI_SRP_Ns(); ++i) {
        CI* cell = chain.Cell(i);
        if (!cell) return text + " <missing cell>";
        CCI c(cell);
        if (!text.empty()) text += ' ';
        if (c.fnGet_CI_TYPE() == CI::kStill) {
            text += "S" + std::to_string(c.fnGet_wS_VOGI_SRPN()) + "[";
            for (WORD e = 0; e < c.fnGet_wC_EPI_Ns(); ++e)
                text += (e ? "," : "") + std::to_string(c.fnGet_c1_S_VOB_ENTN(e));
        } else {
            text += Seconds(c.fnGet_ll_C_V_S_PTS()) + "-" + Seconds(c.fnGet_ll_C_V_E_PTS()) + "[";
            for (WORD e = 0; e < c.fnGet_wC_EPI_Ns(); ++e) text += (e ? "," : "") + Seconds(c.fnGet_ll_EP_PTS(e));
        }
        text += "]";
    }
    return text;
}

// A new disc in a scratch directory whose recordings are registered through
// the tables directly (without the stream library).
struct Disc {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());

    Disc() { EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1); }
    ~Disc() { fnVR_MANGREnd(m); }
    Disc(const Disc&) = delete;
    Disc& operator=(const Disc&) = delete;
    operator void*() const { return m; }
    VMG_MODEL& Model() const { return *m->m_pModel; }

    // A recording whose video runs `seconds` from `start` (VOBUs of one
    // second at 25 frames per second, or of 15 frames at 29.97), registered
    // as a cell of the original chain with an entry point at its start.
    void AddMovie(__int64 start, DWORD seconds, DWORD frameRate = 25000) {
        const BYTE frames = frameRate == 25000 ? 25 : 15;
        Recording r = MakeRecording(std::vector<std::pair<BYTE, DWORD>>(seconds, {frames, 50}), frameRate, 0, start);
        ASSERT_EQ(m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
        M_AVFI& files = *Model().pM_AVFIT->pM_AVFI;
        ASSERT_EQ(m->m_pORG_PGCI->fnADD_Movie_Program(&files.vobi.back(), static_cast<WORD>(files.vobi.size())), 1);
    }

    // A still-picture group of two pictures, as a cell of the original chain.
    void AddStill() {
        Recording still = TwoStillPictures();
        ASSERT_EQ(m->m_pS_AVFIT->fnADD_Program(&still.info), 1);
        S_AVFI& groups = *Model().pS_AVFIT->pS_AVFI;
        ASSERT_EQ(m->m_pORG_PGCI->fnADD_Still_Pic_Program(&groups.vogi.back(), static_cast<WORD>(groups.vogi.size())),
                  1);
    }

    std::string Original() const { return Describe(*Model().pORG_PGCI); }
    // `result` of an edit: it succeeded and left user-defined chain `pgcn`
    // (0: the original chain) as `chain`.
    void Leaves(int result, const std::string& chain, BYTE pgcn = 1) const {
        EXPECT_EQ(result, 1) << chain;
        EXPECT_EQ(pgcn ? Chain(pgcn) : Original(), chain);
    }
    std::string Chain(BYTE pgcn) const {
        UD_PGCIT* table = Model().pUD_PGCIT;
        if (!table || pgcn == 0 || pgcn > CUD_PGCIT(table).fnGet_c1_UD_PGCI_SRP_Ns()) return "<no chain>";
        return Describe(table->pgci[pgcn - 1u]);
    }
    BYTE Chains() const { return Model().pUD_PGCIT ? CUD_PGCIT(Model().pUD_PGCIT).fnGet_c1_UD_PGCI_SRP_Ns() : 0; }
    CPL_SRPT Playlists() const { return CPL_SRPT(Model().pRTR_VMGI->pPL_SRPT.get()); }
    // The chain each playlist names, "1 3 2".
    std::string Names() const {
        CPL_SRPT list = Playlists();
        std::string text;
        for (BYTE i = 0; i < list.fnGet_c1_PL_SRP_Ns(); ++i)
            text += (i ? " " : "") + std::to_string(list.fnGet_c1_PGCN(i));
        return text;
    }
};

#endif
