// The flat interface's editing functions: thin forwarders to CVR_MANGR.
#include "api/vrmangr.h"
#include "edit/EditAccess.h"
#include "tables/CUD_PGCIT.h"

namespace {

CVR_MANGR* Manager(void* handle) { return static_cast<CVR_MANGR*>(handle); }

}  // namespace

int fnVR_AddPL(void* handle) {
    CVR_MANGR* m = Manager(handle);
    if (!m || !m->m_pModel) return 0;
    const bool hadTable = m->m_pModel->pUD_PGCIT != nullptr;
    const BYTE current = m->m_cCurUDPGCN;
    if (!m->fnADD_UD_PGCI()) return 0;
    const BYTE chain = m->m_pUD_PGCIT->fnGet_c1_UD_PGCI_SRP_Ns();
    if (m->fnADD_PlayList(chain)) return 1;
    // No playlist for the chain: the chain goes again, so that the disc is
    // as it was.
    m->m_pUD_PGCIT->fnDEL_UD_PGCI(chain);
    m->m_pUD_PGCIT->fnSetCurrentUD_PGCI_Num(current);
    m->m_cCurUDPGCN = current;
    if (!hadTable) {
        m->m_pUD_PGCIT->fnFreeAllData();
        delete m->m_pUD_PGCIT;
        m->m_pUD_PGCIT = nullptr;
        m->m_pModel->pUD_PGCIT = nullptr;
    }
    return 0;
}

int fnVR_DelPL(void* handle, int pl) {
    if (!handle || !vrm::FitsByte(pl)) return 0;
    return Manager(handle)->fnDEL_PlayList(static_cast<BYTE>(pl));
}

int fnVR_DevideOPGCEntryPt(void* handle, int ep, DWORD frames) {
    if (!handle || !vrm::FitsWord(ep)) return 0;
    return Manager(handle)->fnDevide_ORG_Cell_EntryPoint(static_cast<WORD>(ep), frames, nullptr);
}

int fnVR_CombineOPGCEntryPt(void* handle, int epFirst, int epLast) {
    if (!handle || !vrm::FitsWord(epFirst) || !vrm::FitsWord(epLast)) return 0;
    return Manager(handle)->fnCombineOPGCEntryPoint(static_cast<WORD>(epFirst), static_cast<WORD>(epLast));
}

int fnVR_AddPLEntryPt(void* handle, int pl, int after, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnADDPLEntryPoint(pl, after, ep);
}

int fnVR_AddPLEntryPt(void* handle, int pl, int after, int pg, int cell, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnADDPLEntryPoint(pl, after, pg, cell, ep);
}

int fnVR_DelPLEntryPt(void* handle, int pl, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnDELPLEntryPt(pl, ep);
}

int fnVR_MovePLEntryPt(void* handle, int pl, int epFrom, int epTo) {
    if (!handle) return 0;
    return Manager(handle)->fnMovePLEntryPt(pl, epFrom, epTo);
}

int fnVR_DevidePLEntryPt(void* handle, int pl, int ep, DWORD frames) {
    if (!handle) return 0;
    return Manager(handle)->fnDevidePLEntryPt(pl, ep, frames);
}

int fnVR_CombinePLEntryPt(void* handle, int pl, int epFirst, int epLast) {
    if (!handle || !vrm::FitsWord(epFirst) || !vrm::FitsWord(epLast)) return 0;
    return Manager(handle)->fnCombinePLEntryPoint(pl, static_cast<WORD>(epFirst), static_cast<WORD>(epLast));
}
