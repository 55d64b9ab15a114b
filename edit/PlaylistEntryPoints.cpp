// Entry points of playlists: the operations by playlist number, which find
// the chain that plays the playlist, and the inserts, deletes, divide and
// combines on a user-defined chain. After each edit by playlist number the
// playlist's type (PL_TY) follows the cells its chain holds.
#include "edit/EditAccess.h"
#include "manager/CVR_MANGR.h"
#include "query/records.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

namespace {

// PL_TY of playlist pl from its chain's cells (movie, still or both), once
// an edit of the chain succeeded; gives the edit's result.
int TypeFollowsCells(CVR_MANGR& m, int pl, int edited) {
    if (edited && m.m_pModel && m.m_pModel->pRTR_VMGI && m.m_pModel->pUD_PGCIT && pl >= 1 && pl <= 255) {
        CPL_SRPT(m.m_pModel->pRTR_VMGI->pPL_SRPT.get())
            .fnUpdate_PlayList(m.m_pModel->pUD_PGCIT, static_cast<BYTE>(pl - 1));
    }
    return edited;
}

}  // namespace

int CVR_MANGR::fnADDPLEntryPoint(int pl, int after, int ep) { return fnADDPLEntryPoint(pl, after, -1, -1, ep); }

int CVR_MANGR::fnADDPLEntryPoint(int pl, int after, int pg, int cell, int ep) {
    const BYTE pgcn = vrm::PlaylistChain(*this, pl);
    return TypeFollowsCells(*this, pl, pgcn ? fnADDUDEntryPoint(pgcn, after, pg, cell, ep) : 0);
}

int CVR_MANGR::fnDELPLEntryPt(int pl, int n) {
    const BYTE pgcn = vrm::PlaylistChain(*this, pl);
    if (!pgcn || !vrm::FitsWord(n)) return 0;
    return TypeFollowsCells(*this, pl, fnDEL_UD_Cell_EntryPoint(pgcn, static_cast<WORD>(n)));
}

int CVR_MANGR::fnMovePLEntryPt(int pl, int nFrom, int nTo) {
    const BYTE pgcn = vrm::PlaylistChain(*this, pl);
    return TypeFollowsCells(*this, pl, pgcn ? fnMoveUDEntryPt(pgcn, nFrom, nTo) : 0);
}

int CVR_MANGR::fnCombinePLEntryPoint(int pl, WORD nFirst, WORD nLast) {
    const BYTE pgcn = vrm::PlaylistChain(*this, pl);
    return TypeFollowsCells(*this, pl, pgcn ? fnCombine_UD_EntryPoint(pgcn, nFirst, nLast) : 0);
}

int CVR_MANGR::fnDevidePLEntryPt(int pl, int n, DWORD frames) {
    const BYTE pgcn = vrm::PlaylistChain(*this, pl);
    if (!pgcn || !vrm::FitsWord(n)) return 0;
    return TypeFollowsCells(*this, pl, fnADD_UD_Cell_EntryPoint(pgcn, static_cast<WORD>(n), frames, nullptr));
}

int CVR_MANGR::fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD cell, WORD pos, __int64 time, const BYTE* text) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    BYTE ptm[6];
    if (!table || !vrm::PtmOfTime(time, ptm)) return 0;
    return table->fnADD_Movie_Cell_EntryPoint(pgcn, cell, pos, ptm, text);
}

int CVR_MANGR::fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD n, __int64 time, const BYTE* text) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    BYTE ptm[6];
    if (!table || !vrm::PtmOfTime(time, ptm)) return 0;
    return table->fnADD_Movie_Cell_EntryPoint(pgcn, n, static_cast<const BYTE*>(ptm), text);
}

int CVR_MANGR::fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD n, DWORD frames, const BYTE* text) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    PGCI* chain = vrm::UserChain(*this, pgcn);
    if (!table || !chain || !CPGCI(chain).fnLocateEntryPoint(n, nullptr, nullptr)) return 0;
    // The frame length is that of the entry point's recording.
    seg info{};
    if (!fnGetEntryPtInfo(chain, -1, -1, n, &info, 0, 0)) return 0;
    const __int64 frame = vrm::FrameTicks(info.dwFrameRate);
    if (frame == 0) return 0;
    // A playlist entry point is divided one frame later than asked: 0 frames
    // places the new entry point on the frame after entry point n.
    const __int64 offset = (static_cast<__int64>(frames) + 1) * frame;
    return table->fnADD_Movie_Cell_EntryPoint(pgcn, n, offset, text);
}

int CVR_MANGR::fnDEL_UD_Cell_EntryPoint(BYTE pgcn, WORD n) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table ? table->fnDEL_Movie_Entry_Point(pgcn, n) : 0;
}

int CVR_MANGR::fnDEL_UD_Cell_EntryPoint(BYTE pgcn, WORD cell, WORD e) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table ? table->fnDEL_Movie_Entry_Point(pgcn, cell, e) : 0;
}

int CVR_MANGR::fnCombine_UD_Cell_EntryPoint(BYTE pgcn, WORD c1, WORD e1, WORD c2, WORD e2) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table ? table->fnCombine_UD_Cell_EntryPoint(pgcn, c1, e1, c2, e2) : 0;
}

int CVR_MANGR::fnCombine_UD_EntryPoint(BYTE pgcn, WORD nFirst, WORD nLast) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table ? table->fnCombine_EntryPoint(pgcn, nFirst, nLast) : 0;
}
