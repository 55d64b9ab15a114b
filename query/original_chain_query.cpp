// Queries on the original program chain, ORG_PGCI: the chain as a whole, its
// programs, and its cells and entry-point segments.
#include <cstring>

#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "query/records.h"
#include "tables/CPGCI.h"

int CVR_MANGR::fnGetOPGCInfo(DVDPGCINFO* info, int mode) {
    if (!info || !m_pModel || !m_pModel->pORG_PGCI) return 0;
    CPGCI chain(m_pModel->pORG_PGCI);
    const WORD cells = chain.fnGet_wCI_SRP_Ns();
    if (cells == 0) {
        std::memset(info, 0, sizeof *info);
        return 1;
    }
    const BYTE stillTm = vrm::query::StillTime(*this);
    if (mode == 0) {
        info->dwCount = chain.fnGetTotalEntryPointNs(0, 0, 0);
        info->dwDuration = chain.fnGetTotalEntryPTDuration(stillTm, 0, 0, 0);
    } else {
        info->dwCount = mode == 1 ? DWORD{cells} : DWORD{chain.fnGet_c1_PG_Ns()};
        info->dwDuration = chain.fnGetTotalCellDuration(stillTm, 0, 0, 0);
    }
    info->dwContentTy = vrm::query::ContentType(chain.fnGetPGCI_TY(0, 0, 0));
    DWORD date[6] = {};
    vrm::query::FirstCellRecordingTime(*this, chain, 1, date);
    vrm::query::PutDate(info, date);
    // The original chain has no text of its own.
    std::memset(info->szPrmText, 0, sizeof info->szPrmText);
    return 1;
}

int CVR_MANGR::fnGetOPGCPGInfo(int pg, DVDPGINFO* info, int mode) {
    if (!info || !m_pModel || !m_pModel->pORG_PGCI) return 0;
    std::memset(info, 0, sizeof *info);
    CPGCI chain(m_pModel->pORG_PGCI);
    if (chain.fnGet_wCI_SRP_Ns() == 0) return 0;
    if (pg < 1 || pg > chain.fnGet_c1_PG_Ns()) return 0;
    const BYTE program = static_cast<BYTE>(pg);
    const BYTE index = static_cast<BYTE>(pg - 1);
    const DWORD entryPoints = chain.fnGetPGEntryPointNs(program);
    info->dwCount = mode == 0 ? entryPoints : DWORD{chain.fnGet_wC_Ns(index)};
    info->dwDuration = chain.fnGetPGDuration(program, vrm::query::StillTime(*this));
    info->dwContentTy = vrm::query::ContentType(chain.fnGetPG_TY(program));
    chain.fnGet_c128_PRM_TXTI(index, reinterpret_cast<BYTE*>(info->szPrmText));
    DWORD date[6] = {};
    vrm::query::FirstCellRecordingTime(*this, chain, program, date);
    vrm::query::PutDate(info, date);
    // The segment of the program's own first entry point; counting from the
    // program's first cell would run on into a later program when this one
    // has none.
    if (entryPoints == 0) return 0;
    return fnGetOPGCEntryPtInfo(pg, -1, 1, &info->EntrySeg, 0) ? 1 : 0;
}

int CVR_MANGR::fnGetOPGCCellInfo(int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    if (!m_pModel || !m_pModel->pORG_PGCI) return 0;
    return fnGetCellInfo(m_pModel->pORG_PGCI, pg, cell, s, firstFrame, lastFrame);
}

int CVR_MANGR::fnGetOPGCEntryPtInfo(int pg, int cell, int ep, seg* s, int follow) {
    if (!m_pModel || !m_pModel->pORG_PGCI) return 0;
    return fnGetEntryPtInfo(m_pModel->pORG_PGCI, pg, cell, ep, s, 0, follow);
}

int CVR_MANGR::fnGetOPGCEntryPtInfo(int ep, seg* s, int follow) { return fnGetOPGCEntryPtInfo(-1, -1, ep, s, follow); }

DWORD CVR_MANGR::fnGetOPGCCellNsofEntryPt(int pg, int cell, int ep) {
    if (!m_pModel || !m_pModel->pORG_PGCI) return 0;
    return fnGetCellNsofEntryPt(m_pModel->pORG_PGCI, pg, cell, ep);
}

DWORD CVR_MANGR::fnGetOPGCCellNsofEntryPt(int ep) { return fnGetOPGCCellNsofEntryPt(-1, -1, ep); }
