// Queries on playlists: each playlist search pointer of PL_SRPT names the
// user-defined chain of UD_PGCIT that plays it (its PGCN). A playlist's
// chain has no programs; its cells are addressed as program 1.
#include "io/codecs.h"
#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "query/records.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

namespace {

PL_SRPT* Pointers(const VMG_MODEL* model) {
    if (!model || !model->pRTR_VMGI) return nullptr;
    return model->pRTR_VMGI->pPL_SRPT.get();
}

// Whether playlist pl exists: 1..PL_SRP_Ns, and no more playlists than
// user-defined chains.
bool PlaylistExists(const VMG_MODEL* model, int pl) {
    PL_SRPT* pointers = Pointers(model);
    if (!pointers || !model->pUD_PGCIT || pl < 1) return false;
    return pl <= CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns() && pl <= CUD_PGCIT(model->pUD_PGCIT).fnGet_c1_UD_PGCI_SRP_Ns();
}

// The user-defined chain that plays playlist pl, or nullptr when there is no
// such playlist or its pointer names no chain.
PGCI* PlaylistChain(const VMG_MODEL* model, int pl) {
    if (!PlaylistExists(model, pl)) return nullptr;
    const BYTE pgcn = CPL_SRPT(Pointers(model)).fnGet_c1_PGCN(static_cast<BYTE>(pl - 1));
    UD_PGCIT* table = model->pUD_PGCIT;
    if (pgcn == 0 || pgcn > CUD_PGCIT(table).fnGet_c1_UD_PGCI_SRP_Ns() || pgcn > table->pgci.size()) return nullptr;
    return &table->pgci[pgcn - 1u];
}

}  // namespace

int CVR_MANGR::fnGetPLCount() {
    PL_SRPT* pointers = Pointers(m_pModel);
    return pointers ? CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns() : 0;
}

int CVR_MANGR::fnGetPLInfo(int pl, DVDPGCINFO* info, int mode) {
    if (!info || !PlaylistExists(m_pModel, pl)) return 0;
    const CPL_SRPT pointers(Pointers(m_pModel));
    const BYTE i = static_cast<BYTE>(pl - 1);
    info->dwContentTy = vrm::query::ContentType(pointers.fnGet_c1_PL_TY(i));
    BYTE created[5] = {};
    pointers.fnGet_c5_PL_CREATE_TM(i, created);
    DWORD date[6] = {};
    UnpackRecTm(created, date);
    vrm::query::PutDate(info, date);
    pointers.fnGet_c128_PRM_TXTI(i, reinterpret_cast<BYTE*>(info->szPrmText));

    CUD_PGCIT chains(m_pModel->pUD_PGCIT);
    const BYTE pgcn = pointers.fnGet_c1_PGCN(i);
    const BYTE stillTm = vrm::query::StillTime(*this);
    if (mode == 0) {
        info->dwCount = chains.fnGetTotalEntryPointNs(pgcn, 0, 0, 0);
        info->dwDuration = chains.fnGetPGCIDuration(pgcn, stillTm, 0, 0, 0, 0);
    } else {
        info->dwCount = chains.fnGet_CI_SRP_Ns(pgcn);
        info->dwDuration = chains.fnGetPGCIDuration(pgcn, stillTm, mode, 0, 0, 0);
    }
    return 1;
}

int CVR_MANGR::fnGetPLCellInfo(int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    PGCI* chain = PlaylistChain(m_pModel, pl);
    return chain ? fnGetCellInfo(chain, 1, cell, s, firstFrame, lastFrame) : 0;
}

int CVR_MANGR::fnGetPLEntryPtInfo(int pl, int cell, int ep, seg* s, int follow) {
    PGCI* chain = PlaylistChain(m_pModel, pl);
    return chain ? fnGetEntryPtInfo(chain, 1, cell, ep, s, 0, follow) : 0;
}

int CVR_MANGR::fnGetPLEntryPtInfo(int pl, int ep, seg* s, int follow) {
    PGCI* chain = PlaylistChain(m_pModel, pl);
    return chain ? fnGetEntryPtInfo(chain, -1, -1, ep, s, 0, follow) : 0;
}

DWORD CVR_MANGR::fnGetPLCellNsofEntryPt(int pl, int cell, int ep) {
    PGCI* chain = PlaylistChain(m_pModel, pl);
    return chain ? fnGetCellNsofEntryPt(chain, 1, cell, ep) : 0;
}

DWORD CVR_MANGR::fnGetPLCellNsofEntryPt(int pl, int ep) {
    PGCI* chain = PlaylistChain(m_pModel, pl);
    return chain ? fnGetCellNsofEntryPt(chain, -1, -1, ep) : 0;
}
