// Entry points of the original chain: inserts at a time or a number of
// frames after an entry point, deletes with the video of the segment, and
// combines.
#include "edit/EditAccess.h"
#include "manager/CVR_MANGR.h"
#include "query/records.h"
#include "tables/CPGCI.h"

int CVR_MANGR::fnADD_ORG_Cell_EntryPoint(WORD cell, WORD pos, __int64 time, const BYTE* text) {
    CPGCI* chain = vrm::OriginalChain(*this);
    BYTE ptm[6];
    if (!chain || !vrm::PtmOfTime(time, ptm)) return 0;
    return chain->fnADD_Movie_Entry_Point(cell, pos, ptm, text) > 0 ? 1 : 0;
}

int CVR_MANGR::fnADD_ORG_Cell_EntryPoint(WORD n, __int64 time, const BYTE* text) {
    CPGCI* chain = vrm::OriginalChain(*this);
    BYTE ptm[6];
    if (!chain || !vrm::PtmOfTime(time, ptm)) return 0;
    return chain->fnADD_Movie_Entry_Point(n, static_cast<const BYTE*>(ptm), text) > 0 ? 1 : 0;
}

int CVR_MANGR::fnDEL_ORG_Cell_EntryPoint(WORD cell, WORD e) {
    CPGCI* chain = vrm::OriginalChain(*this);
    return chain && chain->fnDEL_Movie_Entry_Point(cell, e) > 0 ? 1 : 0;
}

int CVR_MANGR::fnDEL_ORG_Cell_EntryPoint(WORD n) {
    CPGCI* chain = vrm::OriginalChain(*this);
    return chain && chain->fnDEL_Movie_Entry_Point(n) > 0 ? 1 : 0;
}

int CVR_MANGR::fnDevide_ORG_Cell_EntryPoint(WORD n, DWORD frames, const BYTE* text) {
    CPGCI* chain = vrm::OriginalChain(*this);
    if (!chain || !chain->fnLocateEntryPoint(n, nullptr, nullptr)) return 0;
    // The frame length is that of the entry point's recording.
    seg info{};
    if (!fnGetOPGCEntryPtInfo(n, &info, 0)) return 0;
    const __int64 frame = vrm::FrameTicks(info.dwFrameRate);
    if (frame == 0) return 0;
    const __int64 offset = static_cast<__int64>(frames) * frame;
    return chain->fnADD_Movie_Entry_Point(n, offset, text) > 0 ? 1 : 0;
}

int CVR_MANGR::fnCombineOPGCEntryPoint(WORD nFirst, WORD nLast) {
    if (!m_pModel || !m_pModel->pORG_PGCI) return 0;
    return CPGCI(m_pModel->pORG_PGCI).fnCombine_EntryPoint(nFirst, nLast) ? 1 : 0;
}
