// The C interface (vrmangr_c.h): each vrm_ function calls its fnVR_
// counterpart inside a Guard, so that no exception crosses into C. The
// records are the same types in both (platform/records.h), handed on as they
// are.
#include "api/vrmangr_c.h"

#include "api/flat_call.h"
#include "api/vrmangr.h"

namespace {

// The C constants have the values of the C++ ones (compared as numbers:
// they are enumerators of different types). The error codes are made from
// one list (platform/error_codes.h).
constexpr bool Same(long long c, long long cpp) { return c == cpp; }
static_assert(Same(VRM_PROGRESS_ANALYSE, VRO_PROGRESS_ANALYSE) && Same(VRM_PROGRESS_APPEND, VRO_PROGRESS_APPEND),
              "phases");
// Each C constant VRM_<name> against its C++ form VR_<name>.
#define VRM_SAME_AS_CXX(name) static_assert(Same(VRM_##name, VR_##name), "VRM_" #name " differs from VR_" #name);
VRM_SAME_AS_CXX(STATUS_NOWHERE)
VRM_SAME_AS_CXX(STATUS_BYTE_OFFSET)
VRM_SAME_AS_CXX(STATUS_ITEM)
VRM_SAME_AS_CXX(COPY_SAME)
VRM_SAME_AS_CXX(COPY_MISSING)
VRM_SAME_AS_CXX(COPY_DAMAGED)
VRM_SAME_AS_CXX(COPY_DIFFERS)
VRM_SAME_AS_CXX(FINDING_COPY)
VRM_SAME_AS_CXX(FINDING_TABLES)
VRM_SAME_AS_CXX(FOUND_RECORDING)
VRM_SAME_AS_CXX(FOUND_DAMAGED)
VRM_SAME_AS_CXX(FOUND_STILLS)
VRM_SAME_AS_CXX(FOUND_UNUSED)
VRM_SAME_AS_CXX(TABLE_COUNT)
VRM_SAME_AS_CXX(CHECK_EVERY_UNIT)
VRM_SAME_AS_CXX(CHECK_DEEP)
VRM_SAME_AS_CXX(CHECK_DAMAGE)
VRM_SAME_AS_CXX(CHECK_WARNING)
VRM_SAME_AS_CXX(CHECK_NOTE)
VRM_SAME_AS_CXX(CHECK_COPY)
VRM_SAME_AS_CXX(CHECK_TABLES)
VRM_SAME_AS_CXX(CHECK_COPIES_DIFFER)
VRM_SAME_AS_CXX(CHECK_MISSING_DATA)
VRM_SAME_AS_CXX(CHECK_OVERLAP)
VRM_SAME_AS_CXX(CHECK_UNUSED)
VRM_SAME_AS_CXX(CHECK_PLACEMENT)
VRM_SAME_AS_CXX(CHECK_DATE)
VRM_SAME_AS_CXX(CHECK_TRAILING)
VRM_SAME_AS_CXX(CHECK_UNDESCRIBED)
VRM_SAME_AS_CXX(CHECK_TEMP_FILE)
VRM_SAME_AS_CXX(CHECK_BUSY)
VRM_SAME_AS_CXX(CHECK_DIFFERENCE)
VRM_SAME_AS_CXX(CHECK_REFUSAL)
VRM_SAME_AS_CXX(CHECK_DAMAGED_SECTORS)
VRM_SAME_AS_CXX(REPAIR_DRY_RUN)
VRM_SAME_AS_CXX(REPAIR_FROM_IFO)
VRM_SAME_AS_CXX(REPAIR_FROM_BUP)
VRM_SAME_AS_CXX(REPAIR_DISCARD_UNDESCRIBED)
VRM_SAME_AS_CXX(REPAIR_RESTORE)
VRM_SAME_AS_CXX(REPAIR_TRIM)
VRM_SAME_AS_CXX(REPAIR_REMOVE)
VRM_SAME_AS_CXX(REPAIR_KEPT)
VRM_SAME_AS_CXX(REPAIR_DIFFERENCE)
VRM_SAME_AS_CXX(REPAIR_NOTHING)

// ProgressCallback and vrm_progress differ only in the calling-convention
// keyword, which is empty here.
ProgressCallback Progress(vrm_progress cb) { return cb; }

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
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGROpenFiles(h, files, location); });
}
int vrm_MANGRSave(void* h, vrm_progress cb) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRSave(h, Progress(cb)); });
}
uint32_t vrm_MANGRGetLastError(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_MANGRGetLastError(h); });
}
int vrm_MANGRGetLastStatus(void* h, vrm_status* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_MANGRGetLastStatus(h, out); });
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
    return vrm::Guard(h, [&]() -> int { return fnVR_SetRecordingTime(h, utc); });
}

int vrm_ScanStreamFile(void* h, const char* path, uint32_t firstSector, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_ScanStreamFile(h, path, firstSector, Progress(progress)); });
}
uint32_t vrm_GetFoundCount(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetFoundCount(h); });
}
int vrm_GetFound(void* h, uint32_t index, vrm_found_stretch* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetFound(h, index, out); });
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
    return vrm::Guard(h, [&]() -> int { return fnVR_GetPLInfo(h, pl, info, mode); });
}
int vrm_GetOPGCInfo(void* h, vrm_pgc_info* info, int mode) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOPGCInfo(h, info, mode); });
}
int vrm_GetOPGCPGInfo(void* h, int pg, vrm_pg_info* info, int mode) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOPGCPGInfo(h, pg, info, mode); });
}
int vrm_GetOPGCCellInfo(void* h, int pg, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOPGCCellInfo(h, pg, cell, s, firstFrame, lastFrame); });
}
uint32_t vrm_GetOPGCCellNsofEntryPt(void* h, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetOPGCCellNsofEntryPt(h, ep); });
}
uint32_t vrm_GetOPGCCellNsofEntryPtInCell(void* h, int pg, int cell, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetOPGCCellNsofEntryPt(h, pg, cell, ep); });
}
int vrm_GetOPGCEntryPtInfo(void* h, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOPGCEntryPtInfo(h, ep, s, follow); });
}
int vrm_GetOPGCEntryPtInfoInCell(void* h, int pg, int cell, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOPGCEntryPtInfo(h, pg, cell, ep, s, follow); });
}
int vrm_GetPLCellInfo(void* h, int pl, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetPLCellInfo(h, pl, cell, s, firstFrame, lastFrame); });
}
uint32_t vrm_GetPLCellNsofEntryPt(void* h, int pl, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLCellNsofEntryPt(h, pl, ep); });
}
uint32_t vrm_GetPLCellNsofEntryPtInCell(void* h, int pl, int cell, int ep) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetPLCellNsofEntryPt(h, pl, cell, ep); });
}
int vrm_GetPLEntryPtInfo(void* h, int pl, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetPLEntryPtInfo(h, pl, ep, s, follow); });
}
int vrm_GetPLEntryPtInfoInCell(void* h, int pl, int cell, int ep, vrm_seg* s, int follow) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetPLEntryPtInfo(h, pl, cell, ep, s, follow); });
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
    return vrm::Guard(h, [&]() -> int { return fnVR_DelProgram(h, pg, out); });
}
int vrm_EraseProgramPart(void* h, int pg, int64_t from, int64_t to, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_EraseProgramPart(h, pg, from, to, out); });
}
int vrm_DevideProgram(void* h, int pg, int64_t at, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_DevideProgram(h, pg, at, out); });
}
int vrm_CombineProgram(void* h, int pg, vrm_program_edit* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_CombineProgram(h, pg, out); });
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
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOpenState(h, out); });
}
int vrm_GetOpenFinding(void* h, uint32_t index, vrm_open_finding* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetOpenFinding(h, index, out); });
}
int vrm_GetDiscFacts(void* h, vrm_disc_facts* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetDiscFacts(h, out); });
}
int vrm_GetProtection(void* h, int pg, vrm_protection* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetProtection(h, pg, out); });
}
int vrm_GetTablePlace(void* h, int table, vrm_table_place* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetTablePlace(h, table, out); });
}
int vrm_GetStreamUse(void* h, int still, vrm_stream_use* use, vrm_stream_extent* extents, uint32_t maxExtents,
                     vrm_extent_pair* overlaps, uint32_t maxOverlaps, vrm_sector_run* gaps, uint32_t maxGaps) {
    return vrm::Guard(h, [&]() -> int {
        return fnVR_GetStreamUse(h, still, use, extents, maxExtents, overlaps, maxOverlaps, gaps, maxGaps);
    });
}
int vrm_ReleaseStreamSectors(void* h, int still, uint32_t first, uint32_t count) {
    return vrm::Guard(h, [&]() -> int { return fnVR_ReleaseStreamSectors(h, still, first, count); });
}
int vrm_GetReleasedSpace(void* h, vrm_released_space* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetReleasedSpace(h, out); });
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
    return vrm::Guard(h, [&]() -> int { return fnVR_GetCharacterSet(h, out); });
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

int vrm_CheckDisc(void* h, const char* dir, uint32_t flags, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_CheckDisc(h, dir, flags, Progress(progress)); });
}
int vrm_GetCheckSummary(void* h, vrm_check_summary* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetCheckSummary(h, out); });
}
uint32_t vrm_GetCheckFindingCount(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetCheckFindingCount(h); });
}
int vrm_GetCheckFinding(void* h, uint32_t index, vrm_check_finding* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetCheckFinding(h, index, out); });
}
uint32_t vrm_GetCheckExtents(void* h, int still, vrm_stream_extent* out, uint32_t max) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetCheckExtents(h, still, out, max); });
}
int vrm_RepairDisc(void* h, const char* dir, uint32_t flags, vrm_progress progress) {
    return vrm::Guard(h, [&]() -> int { return fnVR_RepairDisc(h, dir, flags, Progress(progress)); });
}
uint32_t vrm_GetRepairActionCount(void* h) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_GetRepairActionCount(h); });
}
int vrm_GetRepairAction(void* h, uint32_t index, vrm_repair_action* out) {
    return vrm::Guard(h, [&]() -> int { return fnVR_GetRepairAction(h, index, out); });
}
uint32_t vrm_FindMisalignedPacks(void* h, const char* path, int64_t from, int64_t to) {
    return vrm::Guard(h, [&]() -> uint32_t { return fnVR_FindMisalignedPacks(h, path, from, to); });
}

}  // extern "C"
