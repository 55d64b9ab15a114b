// A disc with content in every table of the management file, built in
// memory through the tables (no MPEG analysis needed).
#ifndef VRMANGR_TESTS_DISCS_H
#define VRMANGR_TESTS_DISCS_H

#include <cstring>
#include <vector>

#include "manager/CVR_MANGR.h"
#include "manager/ManagerTables.h"
#include "support/Recording.h"
#include "support/TableIO.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AAFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"

// Gives the handle's disc content in every table: a recording, still
// pictures with additional audio, two playlists with their chains, item
// texts and manufacturer information.
inline bool FillEveryTable(CVR_MANGR& m) {
    VMG_MODEL& model = *m.m_pModel;
    Recording movie = UniformRecording(4, 100, 27000000);
    if (!(m.m_pM_AVFIT->fnADD_Program(&movie.info))) return false;
    if (!(m.m_pORG_PGCI->fnADD_Movie_Program(&model.pM_AVFIT->pM_AVFI->vobi[0], 1))) return false;

    Recording still = TwoStillPictures();
    if (!(m.m_pS_AVFIT->fnADD_Program(&still.info))) return false;
    if (!(m.m_pORG_PGCI->fnADD_Still_Pic_Program(&model.pS_AVFIT->pS_AVFI->vogi[0], 1))) return false;
    // Additional audio for the second picture.
    CS_VOGI vog(&model.pS_AVFIT->pS_AVFI->vogi[0]);
    vog.fnSet_c1_S_VOB_ENT_TY(1, 0x80);
    vog.fnSet_bThisType(1, 0x80);
    vog.fnSet_wS_AAGI_SRPN(1, 1);
    vog.fnSet_c1_AA_ENTN(1, 1);
    m.m_pS_AVFIT->fnSet_c1_S_AAFI_Ns(1);
    m.m_pS_AVFIT->fnSet_c1_S_AA_STI_Ns(1);
    model.pS_AVFIT->aaSti = {0x40, 0x01, 0, 0};
    model.pS_AVFIT->pS_AAFI.reset(new S_AAFI{});
    CS_AAFI(model.pS_AVFIT->pS_AAFI.get(), 0).fnSet_wS_AAGI_SRP_Ns(1);
    model.pS_AVFIT->pS_AAFI->groups.resize(1);
    model.pS_AVFIT->pS_AAFI->groups[0].general[0] = 1;
    model.pS_AVFIT->pS_AAFI->groups[0].general[1] = 1;
    model.pS_AVFIT->pS_AAFI->groups[0].entries = {0x40, 0x12, 0x34, 0x56, 0x78};

    vrm::NewRecord<CVR_MANGR::kUD_PGCIT>(m);
    vrm::Bound<CVR_MANGR::kUD_PGCIT>(m);
    m.m_pUD_PGCIT->fnNew();
    CPL_SRPT playlists(model.pRTR_VMGI->pPL_SRPT.get());
    for (BYTE chain = 1; chain <= 2; ++chain) {
        if (!(m.m_pUD_PGCIT->fnADD_UD_PGCI())) return false;
        if (!(m.m_pUD_PGCIT->fnADD_Movie_Cell(chain, &model.pM_AVFIT->pM_AVFI->vobi[0], 1))) return false;
        // With an entry point, so that loading adds none.
        if (!(m.m_pUD_PGCIT->fnADD_Movie_Cell_EntryPoint(chain, 1, 0, Ptm(27000000).data(), nullptr))) return false;
        if (!(playlists.fnADD_PlayList_Pointer(&model.pUD_PGCIT->pgci[chain - 1u], chain))) return false;
    }

    vrm::NewRecord<CVR_MANGR::kTXTDT_MG>(m);
    vrm::Bound<CVR_MANGR::kTXTDT_MG>(m);
    m.m_pTXTDT_MG->fnNew(0x12);
    m.m_pTXTDT_MG->fnSet_wIT_TXT_SRP_Ns(1);
    model.pTXTDT_MG->srp.assign(4, 0);
    m.m_pTXTDT_MG->fnSet_wIT_TXT_SZ(0, 5);
    model.pTXTDT_MG->text = {'h', 'e', 'l', 'l', 'o'};

    vrm::NewRecord<CVR_MANGR::kMNFIT>(m);
    vrm::Bound<CVR_MANGR::kMNFIT>(m);
    m.m_pMNFIT->fnSet_wMNFI_Ns(1);
    model.pMNFIT->srp.assign(2, 0);
    MNFI maker{};
    std::memset(maker.fixed, 'M', 32);
    maker.data = std::vector<BYTE>(12, 0xD7);
    model.pMNFIT->records = {maker};
    return true;
}

#endif
