// Editing the recordings program by program, on discs made from the
// committed samples: what delete, erase, divide and combine leave in the
// original chain, the playlists, the movie table and the numbers that name
// cells, and that a refused edit changes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "edit/fixtures.h"
#include "io/be.h"
#include "support/EditScript.h"
#include "support/TempDir.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTMAPI.h"
#include "tables/CUD_PGCIT.h"
#include "tables/CVMGI_MAT.h"

namespace {

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

// A disc of the samples, a program each, saved and opened again.
struct Recorded {
    TempDir dir;
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    explicit Recorded(const std::vector<const char*>& samples) {
        EXPECT_EQ(fnVR_MANGRNew(m, dir.Path().c_str()), 1);
        for (const char* s : samples) {
            EXPECT_TRUE(fnVR_StartNewProgram(m) && fnVR_AddMpegFile(m, Sample(s).c_str(), nullptr)) << s;
        }
        EXPECT_EQ(fnVR_MANGRSave(m, nullptr), 1);
    }
    ~Recorded() { fnVR_MANGREnd(m); }
    Recorded(const Recorded&) = delete;
    Recorded& operator=(const Recorded&) = delete;

    VMG_MODEL& Model() const { return *m->m_pModel; }
    std::string Chain() const { return Describe(*Model().pORG_PGCI); }
    std::string Playlist(BYTE pgcn) const { return Describe(Model().pUD_PGCIT->pgci[pgcn - 1u]); }
    // The VOB each cell of a chain names.
    static std::vector<int> Vobs(const PGCI& chain) {
        std::vector<int> vobs;
        for (const CI& c : chain.ci) vobs.push_back(vrm::be_load<WORD>(c.header + M_CI_HEADER::At::M_VOBI_SRPN));
        return vobs;
    }
    std::vector<int> Programs() const {
        std::vector<int> cells;
        const CPGCI chain(Model().pORG_PGCI);
        for (BYTE p = 0; p < chain.fnGet_c1_PG_Ns(); ++p) cells.push_back(chain.fnGet_wC_Ns(p));
        return cells;
    }
    WORD VobCount() const { return CM_AVFI(Model().pM_AVFIT->pM_AVFI.get(), 0).fnGet_wM_VOBI_SRP_Ns(); }
    bool Consistent() const {
        std::vector<std::string> findings;
        const bool ok = m->fnCheckConsistency(&findings) == 1;
        for (const std::string& f : findings) ADD_FAILURE() << f;
        return ok;
    }
    std::string Dump() const {
        std::vector<char> text(1 << 22);
        const DWORD n = fnVR_GetTableDump(m, text.data(), static_cast<DWORD>(text.size()));
        return std::string(text.data(), n);
    }
};

constexpr const char* kTwelve = "pal_cif_12s.vob";
constexpr const char* kThirty = "pal_cif_30s.vob";
constexpr const char* kPal = "pal_mpeg2_mp2_4x3.vob";
constexpr const char* kLpcm = "pal_mpeg2_lpcm_16x9.vob";
constexpr __int64 kTicks = 27000000;

// A playlist that plays a stretch reaching into the erased one loses that
// part: its cell is cut at the same VOBU boundaries; the VOB is split in
// two around the erased VOBUs, each part a VOB of its own, and the cells
// after it name the VOBs one number higher. The playlist's picture follows
// its cell.
TEST(Programs, EraseInTheMiddleSplitsTheVobAndCutsThePlaylist) {
    Recorded d({kThirty, kPal});
    ASSERT_TRUE(fnVR_AddPL(d.m) && fnVR_AddPLEntryPt(d.m, 1, 0, 1) && fnVR_AddPLEntryPt(d.m, 1, 1, 2));
    const __int64 vobStart = CM_VOBI(&d.Model().pM_AVFIT->pM_AVFI->vobi[0]).fnGet_ll_VOB_V_S_PTS();
    // The playlist's picture lies in its second cell.
    BYTE* pointer = d.Model().pRTR_VMGI->pPL_SRPT->entries.data();
    vrm::be_store<WORD>(pointer + PL_SRP::At::CN, 2);
    VR_PROGRAM_EDIT e{};
    ASSERT_EQ(fnVR_EraseProgramPart(d.m, 1, 10 * kTicks, 16 * kTicks, &e), 1);
    EXPECT_EQ(vrm::be_load<WORD>(pointer + PL_SRP::At::CN), 3);
    EXPECT_EQ(std::vector<__int64>({e.llFrom, e.llTo}), std::vector<__int64>({272160000, 427680000}));
    EXPECT_EQ(std::vector<DWORD>({e.dwRecordingsRemoved, e.dwRecordingsShortened, e.dwPlaylistsChanged}),
              std::vector<DWORD>({0, 1, 1}));
    EXPECT_GT(e.dwSectorsFreed, 0u);
    EXPECT_EQ(d.Programs(), std::vector<int>({2, 1}));
    EXPECT_EQ(d.VobCount(), 3);
    EXPECT_EQ(Recorded::Vobs(*d.Model().pORG_PGCI), std::vector<int>({1, 2, 3}));
    EXPECT_EQ(Recorded::Vobs(d.Model().pUD_PGCIT->pgci[0]), std::vector<int>({1, 2, 3}));
    // The second part of the VOB starts where its first kept VOBU starts.
    const CM_VOBI second(&d.Model().pM_AVFIT->pM_AVFI->vobi[1]);
    EXPECT_EQ(second.fnGet_ll_VOB_V_S_PTS(), vobStart + e.llTo);
    EXPECT_EQ(d.Chain(), d.Playlist(1));
    EXPECT_TRUE(d.Consistent());
    ASSERT_EQ(fnVR_MANGRSave(d.m, nullptr), 1);
}

// Delete: the program's VOB goes with the stream attributes only it used,
// later VOBs move down in every chain, a playlist left empty is deleted and
// one that played more loses the cell.
TEST(Programs, DeleteRenumbersVobsAttributesAndPlaylists) {
    Recorded d({kPal, kLpcm, kPal});
    ASSERT_EQ(d.Model().pM_AVFIT->header[M_AVFIT_HEADER::At::M_VOB_STI_Ns], 2);
    ASSERT_TRUE(fnVR_AddPL(d.m) && fnVR_AddPLEntryPt(d.m, 1, 0, 2) && fnVR_AddPLEntryPt(d.m, 1, 1, 3));
    ASSERT_TRUE(fnVR_AddPL(d.m) && fnVR_AddPLEntryPt(d.m, 2, 0, 2));
    ASSERT_TRUE(fnVR_AddPL(d.m) && fnVR_AddPLEntryPt(d.m, 3, 0, 1));
    VR_PROGRAM_EDIT e{};
    ASSERT_EQ(fnVR_DelProgram(d.m, 2, &e), 1);
    EXPECT_EQ(std::vector<int>(e.cPlaylists, e.cPlaylists + 4), std::vector<int>({1, 2, 0, 0}));
    EXPECT_EQ(std::vector<DWORD>({e.dwRecordingsRemoved, e.dwPlaylistsChanged, e.dwPlaylistsDeleted, e.dwSectorsFreed}),
              std::vector<DWORD>({1, 1, 1, 638976 / 2048}));
    EXPECT_EQ(d.VobCount(), 2);
    EXPECT_EQ(d.Model().pM_AVFIT->header[M_AVFIT_HEADER::At::M_VOB_STI_Ns], 1);
    EXPECT_EQ(Recorded::Vobs(*d.Model().pORG_PGCI), std::vector<int>({1, 2}));
    EXPECT_EQ(fnVR_GetPLCount(d.m), 2);
    // The playlist that played programs 2 and 3 plays the third one's VOB,
    // now VOB 2; the one that played program 1 still does.
    EXPECT_EQ(Recorded::Vobs(d.Model().pUD_PGCIT->pgci[0]), std::vector<int>({2}));
    EXPECT_EQ(Recorded::Vobs(d.Model().pUD_PGCIT->pgci[1]), std::vector<int>({1}));
    EXPECT_TRUE(d.Consistent());
    // The last program of a disc: nothing recorded is left.
    ASSERT_TRUE(fnVR_DelProgram(d.m, 2, nullptr) && fnVR_DelProgram(d.m, 1, nullptr));
    EXPECT_EQ(d.Model().pM_AVFIT->header[M_AVFIT_HEADER::At::M_AVFI_Ns], 0);
    EXPECT_EQ(fnVR_GetPLCount(d.m), 0);
    EXPECT_TRUE(d.Consistent());
    ASSERT_EQ(fnVR_MANGRSave(d.m, nullptr), 1);
}

// The numbers that name a cell follow it: a program's picture (CN, global,
// and PICT_PT) moves with its cell; the disc's resume marker names nothing.
TEST(Programs, PicturesFollowTheirCellsAndTheMarkersNameNothing) {
    Recorded d({kPal, kPal, kPal});
    BYTE* third = d.Model().pORG_PGCI->pgi.data() + 2 * PGI::kSize;
    const std::vector<BYTE> picture(third + PGI::At::PICT_PT, third + PGI::At::PICT_PT + 6);
    vrm::be_store<WORD>(third + PGI::At::CN, 3);
    BYTE* mat = d.Model().pRTR_VMGI->pVMGI_MAT->bytes;
    BYTE* marker = mat + VMGI_MAT_LAYOUT::At::RSM_MRKI;
    marker[RSM_MRKI::At::PGCN] = 0;
    marker[RSM_MRKI::At::PGN] = 3;
    vrm::be_store<WORD>(marker + RSM_MRKI::At::CN, 3);
    ASSERT_EQ(fnVR_DelProgram(d.m, 1, nullptr), 1);
    const BYTE* now = d.Model().pORG_PGCI->pgi.data() + PGI::kSize;
    EXPECT_EQ(vrm::be_load<WORD>(now + PGI::At::CN), 2);
    EXPECT_EQ(std::vector<BYTE>(now + PGI::At::PICT_PT, now + PGI::At::PICT_PT + 6), picture);
    EXPECT_EQ(std::vector<BYTE>(marker, marker + RSM_MRKI::kSize), std::vector<BYTE>(RSM_MRKI::kSize, 0xFF));
    EXPECT_TRUE(d.Consistent());
}

// Divide makes a copy of the program's record titled " (2)" (a title too
// long for it gives up its end); combine makes one cell of the two again,
// and the chain is the one before the divide, but for the entry point that
// began the second program.
TEST(Programs, DivideThenCombineGivesTheProgramBack) {
    Recorded d({kTwelve});
    ASSERT_EQ(fnVR_SetProgramTitle(d.m, 1, std::string(63, 'x').c_str()), 1);
    const std::string before = d.Chain();
    VR_PROGRAM_EDIT e{};
    ASSERT_EQ(fnVR_DevideProgram(d.m, 1, 5 * kTicks, &e), 1);
    EXPECT_EQ(e.llFrom, 4800 * kTicks / 1000);
    EXPECT_EQ(d.Programs(), std::vector<int>({1, 1}));
    char title[80] = {};
    fnVR_GetProgramTitle(d.m, 2, title, sizeof title);
    EXPECT_EQ(std::string(title), std::string(59, 'x') + " (2)");
    EXPECT_TRUE(d.Consistent());
    ASSERT_EQ(fnVR_CombineProgram(d.m, 1, &e), 1);
    EXPECT_EQ(d.Programs(), std::vector<int>({1}));
    const std::string after = d.Chain();
    EXPECT_EQ(after.substr(0, after.find(',')), before.substr(0, before.find(']')));
    EXPECT_EQ(d.VobCount(), 1);
    EXPECT_TRUE(d.Consistent());
}

// A disc with content in every table (still pictures with additional
// audio, playlists, texts, maker data): its programs deleted one by one from
// the last (all recorded on one day, they are one program), each delete
// leaves the tables consistent, and at the end nothing
// recorded is left: no VOB, no VOG, no additional audio, no playlist.
TEST(Programs, DeletingEveryProgramEmptiesTheRecordingTables) {
    TempDir dir;
    ASSERT_TRUE(MakeEditScriptDisc(dir.Path(), Sample));
    CVR_MANGR* m = static_cast<CVR_MANGR*>(fnVR_MANGRBegin());
    ASSERT_EQ(fnVR_MANGROpen(m, dir.Path().c_str()), 1);
    DVDPGCINFO chain{};
    ASSERT_TRUE(fnVR_GetOPGCInfo(m, &chain, 2));
    ASSERT_GE(chain.dwCount, 1u);
    for (int pg = static_cast<int>(chain.dwCount); pg >= 1; --pg) {
        ASSERT_EQ(fnVR_DelProgram(m, pg, nullptr), 1) << pg;
        std::vector<std::string> findings;
        EXPECT_EQ(m->fnCheckConsistency(&findings), 1) << pg << ": " << (findings.empty() ? "" : findings[0]);
    }
    const BYTE* movie = m->m_pModel->pM_AVFIT->header;
    const BYTE* still = m->m_pModel->pS_AVFIT->header;
    EXPECT_EQ(std::vector<int>({movie[M_AVFIT_HEADER::At::M_AVFI_Ns], movie[M_AVFIT_HEADER::At::M_VOB_STI_Ns],
                                still[S_AVFIT_HEADER::At::S_AVFI_Ns], still[S_AVFIT_HEADER::At::S_AAFI_Ns],
                                still[S_AVFIT_HEADER::At::S_VOB_STI_Ns], still[S_AVFIT_HEADER::At::S_AA_STI_Ns],
                                fnVR_GetPLCount(m)}),
              std::vector<int>({0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(fnVR_MANGRSave(m, nullptr), 1);
    fnVR_MANGREnd(m);
}

// Refused edits say why and change nothing.
TEST(Programs, RefusalsChangeNothing) {
    Recorded d({kPal, kPal});
    ASSERT_TRUE(fnVR_StartNewProgram(d.m) && fnVR_AddStillFile(d.m, Sample("still_pal_2pictures.vob").c_str()));
    ASSERT_EQ(fnVR_MANGRSave(d.m, nullptr), 1);
    const std::string tables = d.Dump();
    // The code of the refusal, or -1 when the call succeeded.
    const auto refusal = [&](int result) {
        VR_STATUS status{};
        fnVR_MANGRGetLastStatus(d.m, &status);
        return result ? -1 : static_cast<int>(status.dwCode);
    };
    const std::vector<int> codes = {
        refusal(fnVR_DelProgram(d.m, 0, nullptr)),
        refusal(fnVR_DelProgram(d.m, 4, nullptr)),
        refusal(fnVR_EraseProgramPart(d.m, 1, 1 * kTicks, 1 * kTicks, nullptr)),
        refusal(fnVR_EraseProgramPart(d.m, 1, 0, 2 * kTicks, nullptr)),
        refusal(fnVR_EraseProgramPart(d.m, 1, kTicks, kTicks + kTicks / 10, nullptr)),
        refusal(fnVR_EraseProgramPart(d.m, 3, 0, kTicks, nullptr)),
        refusal(fnVR_DevideProgram(d.m, 1, 0, nullptr)),
        refusal(fnVR_DevideProgram(d.m, 1, 2 * kTicks, nullptr)),
        refusal(fnVR_DevideProgram(d.m, 3, kTicks, nullptr)),
        refusal(fnVR_CombineProgram(d.m, 3, nullptr)),
    };
    EXPECT_EQ(codes,
              std::vector<int>({VRO_ERR_NO_SUCH_ITEM, VRO_ERR_NO_SUCH_ITEM, VRO_ERR_BAD_ARGUMENT, VRO_ERR_EDIT_REFUSED,
                                VRO_ERR_EDIT_REFUSED, VRO_ERR_EDIT_REFUSED, VRO_ERR_BAD_ARGUMENT, VRO_ERR_BAD_ARGUMENT,
                                VRO_ERR_EDIT_REFUSED, VRO_ERR_EDIT_REFUSED}));
    EXPECT_EQ(d.Dump(), tables);
    // While a recording waits for the save, programs are not edited.
    ASSERT_EQ(fnVR_AddMpegFile(d.m, Sample(kPal).c_str(), nullptr), 1);
    EXPECT_EQ(refusal(fnVR_CombineProgram(d.m, 1, nullptr)), VRO_ERR_QUEUE_NOT_EMPTY);
}

}  // namespace
