// The flat interface's disc facts and playlist titles: what Open found of
// the two management files, the head of the file and where its tables lie,
// what the recordings use of the stream files and where their units begin,
// and the text and type of a playlist. Read over the manager's members and
// the tables' accessors; nothing here changes a disc except the two setters.
#include <algorithm>
#include <cstring>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "query/unit_starts.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CUD_PGCIT.h"
#include "tables/CVMGI_MAT.h"

using vrm::CopyText;
using vrm::FlatCall;

namespace {

VMGI_MAT* Head(const CVR_MANGR& m) {
    return m.m_pModel && m.m_pModel->pRTR_VMGI ? m.m_pModel->pRTR_VMGI->pVMGI_MAT.get() : nullptr;
}

PL_SRPT* PlaylistPointers(const CVR_MANGR& m) {
    return m.m_pModel && m.m_pModel->pRTR_VMGI ? m.m_pModel->pRTR_VMGI->pPL_SRPT.get() : nullptr;
}

// The search pointer of playlist pl (1-based) as an accessor's index; 0 with
// the status set when there is none.
int PlaylistIndex(CVR_MANGR& m, int pl, BYTE* index) {
    if (!PlaylistPointers(m) || pl < 1 || pl > m.fnGetPLCount()) {
        return m.fnFail(VRO_ERR_NO_SUCH_ITEM, "There is no playlist " + std::to_string(pl) + ".", vrm::Status::kItem,
                        pl > 0 ? static_cast<uint64_t>(pl) : 0);
    }
    *index = static_cast<BYTE>(pl - 1);
    return 1;
}

std::string NoDisc() { return "No disc is open."; }

// The counts and sizes of a stream's coverage in the caller's record.
void FillStreamUse(const VR_STREAM_COVERAGE& c, VR_STREAM_USE* use) {
    *use = VR_STREAM_USE{};
    use->dwExtents = static_cast<DWORD>(c.extents.size());
    use->dwOverlaps = static_cast<DWORD>(c.overlaps.size());
    use->dwGaps = static_cast<DWORD>(c.gaps.size());
    use->dwRecordedEnd = c.dwRecordedEnd;
    use->dwFilePresent = c.bFilePresent ? 1 : 0;
    use->llFileBytes = static_cast<__int64>(c.qwFileBytes);
    use->llTrailingBytes = static_cast<__int64>(c.qwTrailingBytes);
    use->llMissingBytes = static_cast<__int64>(c.qwMissingBytes);
}

}  // namespace

int fnVR_GetOpenState(void* handle, VR_OPEN_STATE* out) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No record to fill was given.", [&](CVR_MANGR& m) {
        if (!out) return 0;
        *out = VR_OPEN_STATE{};
        out->dwOpenedCopy = static_cast<DWORD>(m.fnGetOpenedCopy());
        out->dwOtherCopy = static_cast<DWORD>(m.fnGetOtherCopyState());
        out->dwFindings = static_cast<DWORD>(m.fnGetOpenFindings().size());
        return 1;
    });
}

int fnVR_GetOpenFinding(void* handle, DWORD index, VR_OPEN_FINDING* out) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "There is no finding " + std::to_string(index) + " of the last Open.",
                    [&](CVR_MANGR& m) {
                        const auto& findings = m.fnGetOpenFindingDetails();
                        if (!out || index >= findings.size()) return 0;
                        *out = VR_OPEN_FINDING{};
                        out->dwCopy = static_cast<DWORD>(findings[index].copy);
                        out->dwKind =
                            findings[index].kind == CVR_MANGR::kFindingTables ? VR_FINDING_TABLES : VR_FINDING_COPY;
                        const std::string& text = findings[index].text;
                        CopyText(text, out->szText, sizeof out->szText);
                        return 1;
                    });
}

int fnVR_GetDiscFacts(void* handle, VR_DISC_FACTS* out) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, NoDisc(), [&](CVR_MANGR& m) {
        if (!out || !Head(m)) return 0;
        const CVMGI_MAT mat(Head(m));
        *out = VR_DISC_FACTS{};
        mat.fnGet_c12_VMG_ID(reinterpret_cast<BYTE*>(out->szIdentifier));
        out->cStillTime = mat.fnGet_c1_STILL_TM();
        out->cCharacterSet = mat.fnGet_c1_CHRS();
        out->wVersion = mat.fnGet_wVERN();
        out->wTimeZone = mat.fnGet_wTM_ZONE();
        out->dwVmgiEnd = mat.fnGet_dwVMGI_EA();
        out->dwManagementEnd = mat.fnGet_dwRTR_VMG_EA();
        return 1;
    });
}

int fnVR_GetTablePlace(void* handle, int table, VR_TABLE_PLACE* out) {
    static const char* const kNames[VR_TABLE_COUNT] = {"RTR_VMGI", "M_AVFIT",  "S_AVFIT", "ORG_PGCI",
                                                       "UD_PGCIT", "TXTDT_MG", "MNFIT"};
    static_assert(int{VR_TABLE_COUNT} == int{CVR_MANGR::kTableCount}, "one place per table of the manager");
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "There is no table " + std::to_string(table) + ".",
                    [&](CVR_MANGR& m) {
                        if (!out || table < 0 || table >= VR_TABLE_COUNT || !Head(m)) return 0;
                        *out = VR_TABLE_PLACE{};
                        CopyText(kNames[table], out->szName, sizeof out->szName);
                        // RTR_VMGI begins the file; m_dwSA holds the others' start
                        // addresses in file order.
                        out->dwStart = table == CVR_MANGR::kRTR_VMGI ? 0 : m.m_dwSA[table - CVR_MANGR::kM_AVFIT];
                        out->dwSize = m.m_dwTableSize[table];
                        return 1;
                    });
}

int fnVR_GetStreamUse(void* handle, int still, VR_STREAM_USE* use, VR_STREAM_EXTENT* extents, DWORD maxExtents,
                      VR_EXTENT_PAIR* overlaps, DWORD maxOverlaps, VR_SECTOR_RUN* gaps, DWORD maxGaps) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, NoDisc(), [&](CVR_MANGR& m) {
        VR_STREAM_COVERAGE c;
        if (!use || (maxExtents && !extents) || (maxOverlaps && !overlaps) || (maxGaps && !gaps)) {
            return m.fnFail(VRO_ERR_BAD_ARGUMENT, "A record to fill is missing.");
        }
        if (!m.fnGetStreamCoverage(still ? 1 : 0, &c)) return 0;
        FillStreamUse(c, use);
        std::copy_n(c.extents.begin(), std::min<size_t>(maxExtents, c.extents.size()), extents);
        for (size_t i = 0; i < maxOverlaps && i < c.overlaps.size(); ++i) {
            overlaps[i] = VR_EXTENT_PAIR{c.overlaps[i].first, c.overlaps[i].second};
        }
        std::copy_n(c.gaps.begin(), std::min<size_t>(maxGaps, c.gaps.size()), gaps);
        return 1;
    });
}

DWORD fnVR_GetUnitStarts(void* handle, int still, int number, __int64* starts, DWORD max) {
    return FlatCall(
        handle, VRO_ERR_NO_SUCH_ITEM,
        std::string(still ? "VOG " : "VOB ") + std::to_string(number) + " does not exist or holds no units.",
        [&](CVR_MANGR& m) -> DWORD {
            if (!m.m_pModel || number < 1 || (max && !starts)) return 0;
            const std::vector<uint64_t> units =
                vrm::UnitStarts(*m.m_pModel, still != 0, static_cast<size_t>(number) - 1);
            for (size_t i = 0; i < units.size() && i < max; ++i) starts[i] = static_cast<__int64>(units[i]);
            return static_cast<DWORD>(units.size());
        });
}

DWORD fnVR_GetUnitFields(void* handle, int number, DWORD* fields, DWORD max) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM,
                    "VOB " + std::to_string(number) + " does not exist or has no time map.",
                    [&](CVR_MANGR& m) -> DWORD {
                        if (!m.m_pModel || number < 1 || (max && !fields)) return 0;
                        M_AVFIT* table = m.m_pModel->pM_AVFIT;
                        const size_t n = static_cast<size_t>(number) - 1;
                        if (!table || !table->pM_AVFI || n >= table->pM_AVFI->vobi.size()) return 0;
                        TMAPI* record = table->pM_AVFI->vobi[n].pTMAPI.get();
                        if (!record) return 0;
                        const CTMAPI map(record);
                        DWORD count = 0;
                        for (; count < map.m_dwVOBU_ENT_Ns && map.fnGet_iTH_VOBU_ENT_Address(count); ++count) {
                            if (count < max) fields[count] = map.fnGet_bVOBU_PB_TM(count);
                        }
                        return count;
                    });
}

int fnVR_SetPLText(void* handle, int pl, const char* text) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "The text of playlist " + std::to_string(pl) + " cannot be set.",
                    [&](CVR_MANGR& m) {
                        BYTE index = 0;
                        if (!PlaylistIndex(m, pl, &index)) return 0;
                        const size_t length = text ? std::strlen(text) : 0;
                        if (!text || length > 63) {
                            return m.fnFail(VRO_ERR_BAD_ARGUMENT, "A playlist's text holds at most 63 bytes, not " +
                                                                      std::to_string(length) + ".");
                        }
                        BYTE block[128] = {};
                        std::memcpy(block, text, length);
                        std::memcpy(block + 64, text, length);
                        CPL_SRPT pointers(PlaylistPointers(m));
                        return pointers.fnSet_c128_PRM_TXTI(index, block, sizeof block) == 1 ? 1 : 0;
                    });
}

int fnVR_SetPLTypeFromCells(void* handle, int pl) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "Playlist " + std::to_string(pl) + " names no chain.",
                    [&](CVR_MANGR& m) {
                        BYTE index = 0;
                        if (!PlaylistIndex(m, pl, &index) || !m.m_pModel->pUD_PGCIT) return 0;
                        CPL_SRPT pointers(PlaylistPointers(m));
                        return pointers.fnUpdate_PlayList(m.m_pModel->pUD_PGCIT, index);
                    });
}
