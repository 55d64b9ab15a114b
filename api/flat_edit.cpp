// The flat interface's editing functions: forwarders to CVR_MANGR that say
// which number names nothing, or which edit the tables refused.
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "edit/EditAccess.h"
#include "manager/ManagerTables.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

using vrm::FlatCall;

namespace {

std::string N(long long v) { return std::to_string(v); }

// Entry points of the original chain.
DWORD OriginalEntryPoints(CVR_MANGR& m) {
    return m.m_pModel && m.m_pModel->pORG_PGCI ? CPGCI(m.m_pModel->pORG_PGCI).fnGetTotalEntryPointNs(0, 0, 0) : 0;
}

// Entry points of playlist pl (which exists): counted in the chain it
// plays, without the durations a full query adds up.
DWORD PlaylistEntryPoints(CVR_MANGR& m, int pl) {
    if (!m.m_pModel || !m.m_pModel->pRTR_VMGI || !m.m_pModel->pUD_PGCIT) return 0;
    const BYTE pgcn = CPL_SRPT(m.m_pModel->pRTR_VMGI->pPL_SRPT.get()).fnGet_c1_PGCN(static_cast<BYTE>(pl - 1));
    return CUD_PGCIT(m.m_pModel->pUD_PGCIT).fnGetTotalEntryPointNs(pgcn, 0, 0, 0);
}

// 0 with the reason when the original chain has no entry point ep (0 is
// allowed where it means "before the first").
int NoOriginalEntryPoint(CVR_MANGR& m, long long ep, bool zeroAllowed = false) {
    const DWORD total = OriginalEntryPoints(m);
    if ((ep == 0 && zeroAllowed) || (ep >= 1 && ep <= total)) return 1;
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM,
                    "The original chain has no entry point " + N(ep) + " (it has " + N(total) + ").",
                    vrm::Status::kItem, static_cast<uint64_t>(ep));
}

int NoPlaylist(CVR_MANGR& m, long long pl) {
    const int count = m.fnGetPLCount();
    if (pl >= 1 && pl <= count) return 1;
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM, "There is no playlist " + N(pl) + " (the disc has " + N(count) + ").",
                    vrm::Status::kItem, static_cast<uint64_t>(pl));
}

int NoPlaylistEntryPoint(CVR_MANGR& m, int pl, long long ep, bool zeroAllowed = false) {
    if (!NoPlaylist(m, pl)) return 0;
    const DWORD total = PlaylistEntryPoints(m, pl);
    if ((ep == 0 && zeroAllowed) || (ep >= 1 && ep <= total)) return 1;
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM,
                    "Playlist " + N(pl) + " has no entry point " + N(ep) + " (it has " + N(total) + ").",
                    vrm::Status::kItem, static_cast<uint64_t>(ep));
}

// A new playlist over a new user-defined chain; 1 when made. A chain made
// for a playlist that cannot be made goes again, so that the disc is as it
// was.
int AddPlaylist(CVR_MANGR& m) {
    if (!m.m_pModel) return 0;
    const bool hadTable = m.m_pModel->pUD_PGCIT != nullptr;
    const BYTE current = m.m_cCurUDPGCN;
    if (!m.fnADD_UD_PGCI()) return 0;
    const BYTE chain = m.m_pUD_PGCIT->fnGet_c1_UD_PGCI_SRP_Ns();
    if (m.fnADD_PlayList(chain)) return 1;
    m.m_pUD_PGCIT->fnDEL_UD_PGCI(chain);
    m.m_pUD_PGCIT->fnSetCurrentUD_PGCI_Num(current);
    m.m_cCurUDPGCN = current;
    if (!hadTable) vrm::DropTable<CVR_MANGR::kUD_PGCIT>(m);
    return 0;
}

}  // namespace

int fnVR_AddPL(void* handle) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "The disc holds the most playlists it can.", AddPlaylist);
}

int fnVR_DelPL(void* handle, int pl) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "Playlist " + N(pl) + " could not be deleted.", [&](CVR_MANGR& m) {
        return NoPlaylist(m, pl) && vrm::FitsByte(pl) && m.fnDEL_PlayList(static_cast<BYTE>(pl));
    });
}

int fnVR_DevideOPGCEntryPt(void* handle, int ep, DWORD frames) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry point " + N(ep) + " of the original chain cannot be divided " + N(frames) +
                        " frames after its start: that is not inside its segment, or the chain holds the most "
                        "entry points it can.",
                    [&](CVR_MANGR& m) {
                        return NoOriginalEntryPoint(m, ep) && vrm::FitsWord(ep) &&
                               m.fnDevide_ORG_Cell_EntryPoint(static_cast<WORD>(ep), frames, nullptr);
                    });
}

int fnVR_CombineOPGCEntryPt(void* handle, int epFirst, int epLast) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry points " + N(epFirst) + " to " + N(epLast) +
                        " of the original chain cannot be combined (the second must follow the first, over movie "
                        "cells only).",
                    [&](CVR_MANGR& m) {
                        return NoOriginalEntryPoint(m, epFirst) && NoOriginalEntryPoint(m, epLast) &&
                               m.fnCombineOPGCEntryPoint(static_cast<WORD>(epFirst), static_cast<WORD>(epLast));
                    });
}

int fnVR_AddPLEntryPt(void* handle, int pl, int after, int ep) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "The segment of entry point " + N(ep) + " could not be added to playlist " + N(pl) +
                        " (the playlist holds the most cells it can).",
                    [&](CVR_MANGR& m) {
                        return NoPlaylistEntryPoint(m, pl, after, true) && NoOriginalEntryPoint(m, ep) &&
                               m.fnADDPLEntryPoint(pl, after, ep);
                    });
}

int fnVR_AddPLEntryPt(void* handle, int pl, int after, int pg, int cell, int ep) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry point " + N(ep) + " of program " + N(pg) + ", cell " + N(cell) +
                        " does not exist or could not be added to playlist " + N(pl) + ".",
                    [&](CVR_MANGR& m) {
                        return NoPlaylistEntryPoint(m, pl, after, true) && m.fnADDPLEntryPoint(pl, after, pg, cell, ep);
                    });
}

int fnVR_DelPLEntryPt(void* handle, int pl, int ep) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry point " + N(ep) + " of playlist " + N(pl) + " could not be deleted.",
                    [&](CVR_MANGR& m) { return NoPlaylistEntryPoint(m, pl, ep) && m.fnDELPLEntryPt(pl, ep); });
}

int fnVR_MovePLEntryPt(void* handle, int pl, int epFrom, int epTo) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry point " + N(epFrom) + " of playlist " + N(pl) + " could not be moved behind entry point " +
                        N(epTo) + ".",
                    [&](CVR_MANGR& m) {
                        return NoPlaylistEntryPoint(m, pl, epFrom) && NoPlaylistEntryPoint(m, pl, epTo, true) &&
                               m.fnMovePLEntryPt(pl, epFrom, epTo);
                    });
}

int fnVR_DevidePLEntryPt(void* handle, int pl, int ep, DWORD frames) {
    return FlatCall(
        handle, VRO_ERR_EDIT_REFUSED,
        // The division lies frames + 1 frames after the entry point.
        "Entry point " + N(ep) + " of playlist " + N(pl) + " cannot be divided " +
            std::to_string(uint64_t{frames} + 1) +
            " frames after its start: that is not inside its segment, or the playlist holds the most "
            "entry points it can.",
        [&](CVR_MANGR& m) { return NoPlaylistEntryPoint(m, pl, ep) && m.fnDevidePLEntryPt(pl, ep, frames); });
}

int fnVR_CombinePLEntryPt(void* handle, int pl, int epFirst, int epLast) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED,
                    "Entry points " + N(epFirst) + " to " + N(epLast) + " of playlist " + N(pl) +
                        " cannot be combined (the second must follow the first, over movie cells only).",
                    [&](CVR_MANGR& m) {
                        return NoPlaylistEntryPoint(m, pl, epFirst) && NoPlaylistEntryPoint(m, pl, epLast) &&
                               m.fnCombinePLEntryPoint(pl, static_cast<WORD>(epFirst), static_cast<WORD>(epLast));
                    });
}

namespace {

// The outcome of a program edit in the caller's record.
void FillProgramEdit(const vrm::ProgramEdit& edit, VR_PROGRAM_EDIT* out) {
    *out = VR_PROGRAM_EDIT{};
    out->llFrom = edit.from;
    out->llTo = edit.to;
    out->dwRecordingsRemoved = edit.removed;
    out->dwRecordingsShortened = edit.shortened;
    for (const auto* runs : {&edit.freedMovie, &edit.freedStill}) {
        for (const VR_SECTOR_RUN& r : *runs) out->dwSectorsFreed += r.dwSectors;
    }
    for (size_t i = 0; i < edit.playlists.size() && i < sizeof out->cPlaylists; ++i) {
        out->cPlaylists[i] = edit.playlists[i];
        out->dwPlaylistsChanged += edit.playlists[i] == 1 ? 1 : 0;
        out->dwPlaylistsDeleted += edit.playlists[i] == 2 ? 1 : 0;
    }
}

// Runs a program edit and turns its outcome into the caller's record.
template <class Op>
int ProgramEdit(void* handle, const std::string& why, VR_PROGRAM_EDIT* out, Op&& op) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, why, [&](CVR_MANGR& m) {
        vrm::ProgramEdit edit;
        if (!op(m, &edit)) return 0;
        if (out) FillProgramEdit(edit, out);
        return 1;
    });
}

}  // namespace

int fnVR_DelProgram(void* handle, int pg, VR_PROGRAM_EDIT* out) {
    return ProgramEdit(handle, "Program " + N(pg) + " could not be deleted.", out,
                       [&](CVR_MANGR& m, vrm::ProgramEdit* e) { return m.fnDEL_Program(pg, e); });
}

int fnVR_EraseProgramPart(void* handle, int pg, __int64 from, __int64 to, VR_PROGRAM_EDIT* out) {
    return ProgramEdit(handle, "That stretch of program " + N(pg) + " could not be erased.", out,
                       [&](CVR_MANGR& m, vrm::ProgramEdit* e) { return m.fnErase_Program_Part(pg, from, to, e); });
}

int fnVR_DevideProgram(void* handle, int pg, __int64 at, VR_PROGRAM_EDIT* out) {
    return ProgramEdit(handle, "Program " + N(pg) + " could not be divided there.", out,
                       [&](CVR_MANGR& m, vrm::ProgramEdit* e) { return m.fnDevide_Program(pg, at, e); });
}

int fnVR_CombineProgram(void* handle, int pg, VR_PROGRAM_EDIT* out) {
    return ProgramEdit(handle, "Programs " + N(pg) + " and " + N(pg + 1LL) + " could not be combined.", out,
                       [&](CVR_MANGR& m, vrm::ProgramEdit* e) { return m.fnCombine_Program(pg, e); });
}
