// The C interface (vrmangr_c.h): each vrm_ function calls its fnVR_
// counterpart, inside a Guard, so that no exception crosses into C. The C records are declared apart from the C++ ones
// (so that the C header needs none of the C++ header's names), with the same bytes: checked field by field below, and
// copied in and out around each call, so no object is reached through a record type it does not have.
#include "api/vrmangr_c.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "api/flat_call.h"
#include "api/vrmangr.h"

namespace {

// The C record C and the C++ record P have the same size, and field f the
// same offset and width in both.
#define VRM_SAME_SIZE(C, P) static_assert(sizeof(C) == sizeof(P), #C " and " #P " differ in size")
#define VRM_SAME_FIELD(C, P, f) \
    static_assert(offsetof(C, f) == offsetof(P, f) && sizeof(C::f) == sizeof(P::f), #C "." #f " differs from " #P)

VRM_SAME_SIZE(vrm_time, SYSTEMTIME);
VRM_SAME_FIELD(vrm_time, SYSTEMTIME, wYear);
VRM_SAME_FIELD(vrm_time, SYSTEMTIME, wDay);
VRM_SAME_FIELD(vrm_time, SYSTEMTIME, wMilliseconds);

VRM_SAME_SIZE(vrm_seg, seg);
VRM_SAME_FIELD(vrm_seg, seg, szFileName);
VRM_SAME_FIELD(vrm_seg, seg, dwSRPN);
VRM_SAME_FIELD(vrm_seg, seg, dwFrameNs);
VRM_SAME_FIELD(vrm_seg, seg, dwAudioCoding);
VRM_SAME_FIELD(vrm_seg, seg, dwMpegVersion);
VRM_SAME_FIELD(vrm_seg, seg, reserved_348);
VRM_SAME_FIELD(vrm_seg, seg, llStartPos);
VRM_SAME_FIELD(vrm_seg, seg, llEndPos);
VRM_SAME_FIELD(vrm_seg, seg, dwHeadSize);
VRM_SAME_FIELD(vrm_seg, seg, dwHasNext);
VRM_SAME_FIELD(vrm_seg, seg, dwNextNs);
VRM_SAME_FIELD(vrm_seg, seg, pNext);
VRM_SAME_FIELD(vrm_seg, seg, reserved_tail);

VRM_SAME_SIZE(vrm_pgc_info, DVDPGCINFO);
VRM_SAME_FIELD(vrm_pgc_info, DVDPGCINFO, dwCount);
VRM_SAME_FIELD(vrm_pgc_info, DVDPGCINFO, szPrmText);
VRM_SAME_FIELD(vrm_pgc_info, DVDPGCINFO, reserved_164);
VRM_SAME_SIZE(vrm_pg_info, DVDPGINFO);
VRM_SAME_FIELD(vrm_pg_info, DVDPGINFO, szPrmText);
VRM_SAME_FIELD(vrm_pg_info, DVDPGINFO, EntrySeg);

VRM_SAME_SIZE(vrm_disc_files, VR_DISC_FILES);
VRM_SAME_FIELD(vrm_disc_files, VR_DISC_FILES, pContext);
VRM_SAME_FIELD(vrm_disc_files, VR_DISC_FILES, pfnSize);
VRM_SAME_FIELD(vrm_disc_files, VR_DISC_FILES, pfnRead);
VRM_SAME_SIZE(vrm_status, VR_STATUS);
VRM_SAME_FIELD(vrm_status, VR_STATUS, dwWhere);
VRM_SAME_FIELD(vrm_status, VR_STATUS, llAt);
VRM_SAME_FIELD(vrm_status, VR_STATUS, szText);
VRM_SAME_SIZE(vrm_open_state, VR_OPEN_STATE);
VRM_SAME_FIELD(vrm_open_state, VR_OPEN_STATE, dwFindings);
VRM_SAME_SIZE(vrm_open_finding, VR_OPEN_FINDING);
VRM_SAME_FIELD(vrm_open_finding, VR_OPEN_FINDING, szText);
VRM_SAME_SIZE(vrm_disc_facts, VR_DISC_FACTS);
VRM_SAME_FIELD(vrm_disc_facts, VR_DISC_FACTS, cStillTime);
VRM_SAME_FIELD(vrm_disc_facts, VR_DISC_FACTS, wVersion);
VRM_SAME_FIELD(vrm_disc_facts, VR_DISC_FACTS, wTimeZone);
VRM_SAME_FIELD(vrm_disc_facts, VR_DISC_FACTS, dwVmgiEnd);
VRM_SAME_FIELD(vrm_disc_facts, VR_DISC_FACTS, dwManagementEnd);
VRM_SAME_SIZE(vrm_protection, VR_PROTECTION);
VRM_SAME_FIELD(vrm_protection, VR_PROTECTION, cProtected);
VRM_SAME_FIELD(vrm_protection, VR_PROTECTION, dwPrograms);
VRM_SAME_SIZE(vrm_table_place, VR_TABLE_PLACE);
VRM_SAME_FIELD(vrm_table_place, VR_TABLE_PLACE, dwStart);
VRM_SAME_FIELD(vrm_table_place, VR_TABLE_PLACE, dwSize);
VRM_SAME_SIZE(vrm_extent_pair, VR_EXTENT_PAIR);
VRM_SAME_FIELD(vrm_extent_pair, VR_EXTENT_PAIR, wSecond);
VRM_SAME_SIZE(vrm_stream_extent, VR_STREAM_EXTENT);
VRM_SAME_FIELD(vrm_stream_extent, VR_STREAM_EXTENT, dwStart);
VRM_SAME_FIELD(vrm_stream_extent, VR_STREAM_EXTENT, dwSectors);
VRM_SAME_SIZE(vrm_sector_run, VR_SECTOR_RUN);
VRM_SAME_FIELD(vrm_sector_run, VR_SECTOR_RUN, dwSectors);
VRM_SAME_SIZE(vrm_stream_use, VR_STREAM_USE);
VRM_SAME_FIELD(vrm_stream_use, VR_STREAM_USE, reserved_20);
VRM_SAME_FIELD(vrm_stream_use, VR_STREAM_USE, llFileBytes);
VRM_SAME_FIELD(vrm_stream_use, VR_STREAM_USE, llMissingBytes);
VRM_SAME_SIZE(vrm_program_edit, VR_PROGRAM_EDIT);
VRM_SAME_FIELD(vrm_program_edit, VR_PROGRAM_EDIT, llTo);
VRM_SAME_FIELD(vrm_program_edit, VR_PROGRAM_EDIT, dwPlaylistsDeleted);
VRM_SAME_FIELD(vrm_program_edit, VR_PROGRAM_EDIT, cPlaylists);
VRM_SAME_FIELD(vrm_program_edit, VR_PROGRAM_EDIT, reserved_140);
VRM_SAME_SIZE(vrm_released_space, VR_RELEASED_SPACE);
VRM_SAME_FIELD(vrm_released_space, VR_RELEASED_SPACE, llStillUnsupported);
VRM_SAME_FIELD(vrm_released_space, VR_RELEASED_SPACE, dwFailedRuns);
VRM_SAME_FIELD(vrm_released_space, VR_RELEASED_SPACE, llFailedBytes);
VRM_SAME_SIZE(vrm_found_stretch, VR_FOUND_STRETCH);
VRM_SAME_FIELD(vrm_found_stretch, VR_FOUND_STRETCH, llFirstByte);
VRM_SAME_FIELD(vrm_found_stretch, VR_FOUND_STRETCH, llBytes);
VRM_SAME_FIELD(vrm_found_stretch, VR_FOUND_STRETCH, dwFrameRate);
VRM_SAME_FIELD(vrm_found_stretch, VR_FOUND_STRETCH, dwFrames);
VRM_SAME_FIELD(vrm_found_stretch, VR_FOUND_STRETCH, szText);
VRM_SAME_SIZE(vrm_character_set, VR_CHARACTER_SET);
VRM_SAME_FIELD(vrm_character_set, VR_CHARACTER_SET, cKnown);
VRM_SAME_FIELD(vrm_character_set, VR_CHARACTER_SET, szName);

// The C constants have the values of the C++ ones (compared as numbers:
// they are enumerators of different types).
constexpr bool Same(long long c, long long cpp) { return c == cpp; }
static_assert(Same(VRM_ERR_BAD_ARGUMENT, VRO_ERR_BAD_ARGUMENT) && Same(VRM_ERR_STREAM_SHORT, VRO_ERR_STREAM_SHORT) &&
                  Same(VRM_ERR_CANCELLED, VRO_ERR_CANCELLED) &&
                  Same(VRM_ERR_NOT_PROGRAM_STREAM, VRO_ERR_NOT_PROGRAM_STREAM) &&
                  Same(VRM_ERR_TV_SYSTEM, VRO_ERR_TV_SYSTEM) && Same(VRM_ERR_COPIES_DIFFER, VRO_ERR_COPIES_DIFFER) &&
                  Same(VRM_ERR_LOCKED, VRO_ERR_LOCKED) && Same(VRM_ERR_EDIT_REFUSED, VRO_ERR_EDIT_REFUSED) &&
                  Same(VRM_ERR_PICTURE_SIZE, VRO_ERR_PICTURE_SIZE) && Same(VRM_ERR_READ_ONLY, VRO_ERR_READ_ONLY) &&
                  Same(VRM_ERR_PLACE_IN_USE, VRO_ERR_PLACE_IN_USE) && Same(VRM_ERR_INTERNAL, VRO_ERR_INTERNAL),
              "error codes");
static_assert(Same(VRM_PROGRESS_ANALYSE, VRO_PROGRESS_ANALYSE) && Same(VRM_PROGRESS_APPEND, VRO_PROGRESS_APPEND),
              "phases");
static_assert(Same(VRM_STATUS_ITEM, VR_STATUS_ITEM) && Same(VRM_COPY_DIFFERS, VR_COPY_DIFFERS) &&
                  Same(VRM_FINDING_TABLES, VR_FINDING_TABLES) && Same(VRM_FOUND_DAMAGED, VR_FOUND_DAMAGED) &&
                  Same(VRM_FOUND_STILLS, VR_FOUND_STILLS) && Same(VRM_FOUND_UNUSED, VR_FOUND_UNUSED) &&
                  Same(VRM_TABLE_COUNT, VR_TABLE_COUNT),
              "constants");

// ProgressCallback and vrm_progress differ only in the calling-convention
// keyword, which is empty here.
ProgressCallback Progress(vrm_progress cb) { return cb; }

// Calls fn with a C++ copy of the caller's record (nullptr for none) and
// copies the result back.
template <class P, class C, class Fn>
int Through(C* out, Fn fn) {
    if (!out) return fn(static_cast<P*>(nullptr));
    P record;
    std::memcpy(static_cast<void*>(&record), out, sizeof record);
    const int result = fn(&record);
    std::memcpy(out, &record, sizeof record);
    return result;
}

// The same for a segment record and the continuation records the caller
// chained behind it through pNext: a C++ chain mirrors the C one, and each
// record comes back with the caller's own pNext.
template <class Fn>
int ThroughSegs(vrm_seg* s, Fn fn) {
    if (!s) return fn(static_cast<seg*>(nullptr));
    std::vector<vrm_seg*> chain;
    for (vrm_seg* c = s; c && chain.size() <= 0xFFFF; c = c->pNext) chain.push_back(c);
    std::vector<seg> mirror(chain.size());
    for (size_t i = 0; i < chain.size(); ++i) {
        std::memcpy(static_cast<void*>(&mirror[i]), chain[i], sizeof(seg));
        mirror[i].pNext = i + 1 < chain.size() ? &mirror[i + 1] : nullptr;
    }
    const int result = fn(mirror.data());
    for (size_t i = 0; i < chain.size(); ++i) {
        vrm_seg* next = chain[i]->pNext;
        std::memcpy(chain[i], &mirror[i], sizeof(seg));
        chain[i]->pNext = next;
    }
    return result;
}

// vrm_GetStreamUse: the arrays are filled as C++ records and copied out
// element for element (each C element type has the bytes of its C++ one),
// as many as there are, at most as many as the caller has room for: the
// caller's counts do not size an allocation.
int StreamUse(void* h, int still, vrm_stream_use* use, vrm_stream_extent* extents, uint32_t maxExtents,
              vrm_extent_pair* overlaps, uint32_t maxOverlaps, vrm_sector_run* gaps, uint32_t maxGaps) {
    VR_STREAM_USE counts{};
    fnVR_GetStreamUse(h, still, &counts, nullptr, 0, nullptr, 0, nullptr, 0);
    std::vector<VR_STREAM_EXTENT> e(extents ? std::min<uint32_t>(maxExtents, counts.dwExtents) : 0);
    std::vector<VR_EXTENT_PAIR> o(overlaps ? std::min<uint32_t>(maxOverlaps, counts.dwOverlaps) : 0);
    std::vector<VR_SECTOR_RUN> g(gaps ? std::min<uint32_t>(maxGaps, counts.dwGaps) : 0);
    const int result = Through<VR_STREAM_USE>(use, [&](VR_STREAM_USE* p) {
        return fnVR_GetStreamUse(h, still, p, e.empty() ? nullptr : e.data(), static_cast<DWORD>(e.size()),
                                 o.empty() ? nullptr : o.data(), static_cast<DWORD>(o.size()),
                                 g.empty() ? nullptr : g.data(), static_cast<DWORD>(g.size()));
    });
    if (!e.empty()) std::memcpy(extents, e.data(), e.size() * sizeof e[0]);
    if (!o.empty()) std::memcpy(overlaps, o.data(), o.size() * sizeof o[0]);
    if (!g.empty()) std::memcpy(gaps, g.data(), g.size() * sizeof g[0]);
    return result;
}

}  // namespace

extern "C" {

void* vrm_MANGRBegin(void) {
    return vrm::Guard(nullptr, [&]() -> void* { return fnVR_MANGRBegin(); });
}
void vrm_MANGREnd(void* h) { fnVR_MANGREnd(h); }
int vrm_MANGRNew(void* h, const char* dir) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRNew(h, dir); });
}
int vrm_MANGROpen(void* h, const char* dir) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGROpen(h, dir); });
}
int vrm_MANGROpenFiles(void* h, const vrm_disc_files* files, const char* location) {
    return vrm::Guard(h, [&]() -> int {
        if (!files) return fnVR_MANGROpenFiles(h, nullptr, location);
        VR_DISC_FILES record;
        std::memcpy(static_cast<void*>(&record), files, sizeof record);
        return fnVR_MANGROpenFiles(h, &record, location);
    });
}
int vrm_MANGRSave(void* h, vrm_progress cb) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRSave(h, Progress(cb)); });
}
uint32_t vrm_MANGRGetLastError(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_MANGRGetLastError(h); });
}
int vrm_MANGRGetLastStatus(void* h, vrm_status* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_STATUS>(out, [&](VR_STATUS* p) { return fnVR_MANGRGetLastStatus(h, p); });
    });
}
int vrm_MANGRLock(void* h, const char* dir, int exclusive, uint32_t waitMs) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRLock(h, dir, exclusive, waitMs); });
}
int vrm_MANGRUnlock(void* h) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRUnlock(h); });
}
uint32_t vrm_GetDVDVRPathType(const char* dir) {
    return vrm::Guard(nullptr, [&]() -> uint32_t { return fnGetDVDVRPathType(dir); });
}

int vrm_AddMpegFile(void* h, const char* fileName, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddMpegFile(h, fileName, Progress(progress)); });
}
int vrm_AddStillFile(void* h, const char* fileName) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddStillFile(h, fileName); });
}
int vrm_StartNewProgram(void* h) {
    return vrm::Guard(h, [&]() -> int { return fnVR_StartNewProgram(h); });
}
int vrm_SetRecordingTime(void* h, const vrm_time* utc) {
    return vrm::Guard(h, [&]() -> int {
        if (!utc) return fnVR_SetRecordingTime(h, nullptr);
        SYSTEMTIME time;
        std::memcpy(&time, utc, sizeof time);
        return fnVR_SetRecordingTime(h, &time);
    });
}

int vrm_ScanStreamFile(void* h, const char* path, uint32_t firstSector, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_ScanStreamFile(h, path, firstSector, Progress(progress)); });
}
uint32_t vrm_GetFoundCount(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetFoundCount(h); });
}
int vrm_GetFound(void* h, uint32_t index, vrm_found_stretch* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_FOUND_STRETCH>(out, [&](VR_FOUND_STRETCH* p) { return fnVR_GetFound(h, index, p); });
    });
}
int vrm_AddRecordedRange(void* h, uint32_t firstSector, uint32_t sectors, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddRecordedRange(h, firstSector, sectors, Progress(progress)); });
}
int vrm_ScanStillStreamFile(void* h, const char* path, uint32_t firstSector, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_ScanStillStreamFile(h, path, firstSector, Progress(progress)); });
}
int vrm_AddRecordedStillRange(void* h, uint32_t firstSector, uint32_t sectors, vrm_progress progress) {
    return vrm::Guard(h,
                      [&]() -> int { return fnVR_AddRecordedStillRange(h, firstSector, sectors, Progress(progress)); });
}

int vrm_GetPLCount(void* h) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetPLCount(h); });
}
int vrm_GetPLInfo(void* h, int pl, vrm_pgc_info* info, int mode) {
    return vrm::Guard(h, [&]() -> int {
        return Through<DVDPGCINFO>(info, [&](DVDPGCINFO* p) { return fnVR_GetPLInfo(h, pl, p, mode); });
    });
}
int vrm_GetOPGCInfo(void* h, vrm_pgc_info* info, int mode) {
    return vrm::Guard(h, [&]() -> int {
        return Through<DVDPGCINFO>(info, [&](DVDPGCINFO* p) { return fnVR_GetOPGCInfo(h, p, mode); });
    });
}
int vrm_GetOPGCPGInfo(void* h, int pg, vrm_pg_info* info, int mode) {
    return vrm::Guard(h, [&]() -> int {
        return Through<DVDPGINFO>(info, [&](DVDPGINFO* p) { return fnVR_GetOPGCPGInfo(h, pg, p, mode); });
    });
}
int vrm_GetOPGCCellInfo(void* h, int pg, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame) {
    return vrm::Guard(h, [&]() -> int {
        return ThroughSegs(s, [&](seg* p) { return fnVR_GetOPGCCellInfo(h, pg, cell, p, firstFrame, lastFrame); });
    });
}
uint32_t vrm_GetOPGCCellNsofEntryPt(void* h, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetOPGCCellNsofEntryPt(h, ep); });
}
uint32_t vrm_GetOPGCCellNsofEntryPtInCell(void* h, int pg, int cell, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetOPGCCellNsofEntryPt(h, pg, cell, ep); });
}
int vrm_GetOPGCEntryPtInfo(void* h, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(
        h, [&]() -> int { return ThroughSegs(s, [&](seg* p) { return fnVR_GetOPGCEntryPtInfo(h, ep, p, follow); }); });
}
int vrm_GetOPGCEntryPtInfoInCell(void* h, int pg, int cell, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int {
        return ThroughSegs(s, [&](seg* p) { return fnVR_GetOPGCEntryPtInfo(h, pg, cell, ep, p, follow); });
    });
}
int vrm_GetPLCellInfo(void* h, int pl, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame) {
    return vrm::Guard(h, [&]() -> int {
        return ThroughSegs(s, [&](seg* p) { return fnVR_GetPLCellInfo(h, pl, cell, p, firstFrame, lastFrame); });
    });
}
uint32_t vrm_GetPLCellNsofEntryPt(void* h, int pl, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLCellNsofEntryPt(h, pl, ep); });
}
uint32_t vrm_GetPLCellNsofEntryPtInCell(void* h, int pl, int cell, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLCellNsofEntryPt(h, pl, cell, ep); });
}
int vrm_GetPLEntryPtInfo(void* h, int pl, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int {
        return ThroughSegs(s, [&](seg* p) { return fnVR_GetPLEntryPtInfo(h, pl, ep, p, follow); });
    });
}
int vrm_GetPLEntryPtInfoInCell(void* h, int pl, int cell, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int {
        return ThroughSegs(s, [&](seg* p) { return fnVR_GetPLEntryPtInfo(h, pl, cell, ep, p, follow); });
    });
}
uint32_t vrm_GetTableDump(void* h, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetTableDump(h, out, size); });
}

int vrm_AddPL(void* h) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddPL(h); });
}
int vrm_DelPL(void* h, int pl) {
    return vrm::Guard(h, [&]() -> int { return fnVR_DelPL(h, pl); });
}
int vrm_DevideOPGCEntryPt(void* h, int ep, uint32_t frames) {
    return vrm::Guard(h, [&]() -> int { return fnVR_DevideOPGCEntryPt(h, ep, frames); });
}
int vrm_CombineOPGCEntryPt(void* h, int epFirst, int epLast) {
    return vrm::Guard(h, [&]() -> int { return fnVR_CombineOPGCEntryPt(h, epFirst, epLast); });
}
int vrm_AddPLEntryPt(void* h, int pl, int after, int ep) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddPLEntryPt(h, pl, after, ep); });
}
int vrm_AddPLEntryPtInCell(void* h, int pl, int after, int pg, int cell, int ep) {
    return vrm::Guard(h, [&]() -> int { return fnVR_AddPLEntryPt(h, pl, after, pg, cell, ep); });
}
int vrm_DelPLEntryPt(void* h, int pl, int ep) {
    return vrm::Guard(h, [&]() -> int { return fnVR_DelPLEntryPt(h, pl, ep); });
}
int vrm_DelProgram(void* h, int pg, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_PROGRAM_EDIT>(out, [&](VR_PROGRAM_EDIT* p) { return fnVR_DelProgram(h, pg, p); });
    });
}
int vrm_EraseProgramPart(void* h, int pg, int64_t from, int64_t to, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_PROGRAM_EDIT>(out,
                                        [&](VR_PROGRAM_EDIT* p) { return fnVR_EraseProgramPart(h, pg, from, to, p); });
    });
}
int vrm_DevideProgram(void* h, int pg, int64_t at, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_PROGRAM_EDIT>(out, [&](VR_PROGRAM_EDIT* p) { return fnVR_DevideProgram(h, pg, at, p); });
    });
}
int vrm_CombineProgram(void* h, int pg, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_PROGRAM_EDIT>(out, [&](VR_PROGRAM_EDIT* p) { return fnVR_CombineProgram(h, pg, p); });
    });
}
int vrm_MovePLEntryPt(void* h, int pl, int epFrom, int epTo) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MovePLEntryPt(h, pl, epFrom, epTo); });
}
int vrm_DevidePLEntryPt(void* h, int pl, int ep, uint32_t frames) {
    return vrm::Guard(h, [&]() -> int { return fnVR_DevidePLEntryPt(h, pl, ep, frames); });
}
int vrm_CombinePLEntryPt(void* h, int pl, int epFirst, int epLast) {
    return vrm::Guard(h, [&]() -> int { return fnVR_CombinePLEntryPt(h, pl, epFirst, epLast); });
}

int vrm_GetOpenState(void* h, vrm_open_state* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_OPEN_STATE>(out, [&](VR_OPEN_STATE* p) { return fnVR_GetOpenState(h, p); });
    });
}
int vrm_GetOpenFinding(void* h, uint32_t index, vrm_open_finding* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_OPEN_FINDING>(out, [&](VR_OPEN_FINDING* p) { return fnVR_GetOpenFinding(h, index, p); });
    });
}
int vrm_GetDiscFacts(void* h, vrm_disc_facts* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_DISC_FACTS>(out, [&](VR_DISC_FACTS* p) { return fnVR_GetDiscFacts(h, p); });
    });
}
int vrm_GetProtection(void* h, int pg, vrm_protection* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_PROTECTION>(out, [&](VR_PROTECTION* p) { return fnVR_GetProtection(h, pg, p); });
    });
}
int vrm_GetTablePlace(void* h, int table, vrm_table_place* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_TABLE_PLACE>(out, [&](VR_TABLE_PLACE* p) { return fnVR_GetTablePlace(h, table, p); });
    });
}
int vrm_GetStreamUse(void* h, int still, vrm_stream_use* use, vrm_stream_extent* extents, uint32_t maxExtents,
                     vrm_extent_pair* overlaps, uint32_t maxOverlaps, vrm_sector_run* gaps, uint32_t maxGaps) {
    return vrm::Guard(h, [&]() -> int {
        return StreamUse(h, still, use, extents, maxExtents, overlaps, maxOverlaps, gaps, maxGaps);
    });
}
int vrm_ReleaseStreamSectors(void* h, int still, uint32_t first, uint32_t count) {
    return vrm::Guard(h, [&]() -> int { return fnVR_ReleaseStreamSectors(h, still, first, count); });
}
int vrm_GetReleasedSpace(void* h, vrm_released_space* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_RELEASED_SPACE>(out, [&](VR_RELEASED_SPACE* p) { return fnVR_GetReleasedSpace(h, p); });
    });
}
uint32_t vrm_GetUnitStarts(void* h, int still, int number, int64_t* starts, uint32_t max) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetUnitStarts(h, still, number, starts, max); });
}
uint32_t vrm_GetUnitFields(void* h, int number, uint32_t* fields, uint32_t max) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetUnitFields(h, number, fields, max); });
}
int vrm_SetPLText(void* h, int pl, const char* text) {
    return vrm::Guard(h, [&]() -> int { return fnVR_SetPLText(h, pl, text); });
}
int vrm_SetPLTypeFromCells(void* h, int pl) {
    return vrm::Guard(h, [&]() -> int { return fnVR_SetPLTypeFromCells(h, pl); });
}
int vrm_GetCharacterSet(void* h, vrm_character_set* out) {
    return vrm::Guard(h, [&]() -> int {
        return Through<VR_CHARACTER_SET>(out, [&](VR_CHARACTER_SET* p) { return fnVR_GetCharacterSet(h, p); });
    });
}
uint32_t vrm_GetProgramLabel(void* h, int pg, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetProgramLabel(h, pg, out, size); });
}
uint32_t vrm_GetProgramTitle(void* h, int pg, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetProgramTitle(h, pg, out, size); });
}
uint32_t vrm_GetPLLabel(void* h, int pl, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLLabel(h, pl, out, size); });
}
uint32_t vrm_GetPLTitle(void* h, int pl, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLTitle(h, pl, out, size); });
}
uint32_t vrm_GetProgramItemText(void* h, int pg, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetProgramItemText(h, pg, out, size); });
}
uint32_t vrm_GetPLItemText(void* h, int pl, char* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLItemText(h, pl, out, size); });
}
uint32_t vrm_GetProgramItemBytes(void* h, int pg, uint8_t* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetProgramItemBytes(h, pg, out, size); });
}
uint32_t vrm_GetPLItemBytes(void* h, int pl, uint8_t* out, uint32_t size) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLItemBytes(h, pl, out, size); });
}
int vrm_SetProgramTitle(void* h, int pg, const char* utf8) {
    return vrm::Guard(h, [&]() -> int { return fnVR_SetProgramTitle(h, pg, utf8); });
}
int vrm_SetPLTitle(void* h, int pl, const char* utf8) {
    return vrm::Guard(h, [&]() -> int { return fnVR_SetPLTitle(h, pl, utf8); });
}
int vrm_SetCharacterSet(void* h, uint8_t chrs) {
    return vrm::Guard(h, [&]() -> int { return fnVR_SetCharacterSet(h, chrs); });
}

}  // extern "C"
