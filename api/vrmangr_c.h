/* vrmangr's C interface: the flat functions of vrmangr.h with C linkage, for
 * C99 callers and for foreign-function loaders (Python's ctypes and the
 * like). The header stands alone: it includes only <stdint.h>, the error
 * codes (platform/error_codes.h) and the records (platform/records.h), and
 * defines nothing but names that begin with vrm_ or VRM_, so it coexists
 * with a caller's own DWORD, BYTE, SYSTEMTIME or __stdcall, and with
 * vrmangr.h in one C++ translation unit.
 *
 * Naming: fnVR_Xxx is vrm_Xxx here, with the same arguments in the same
 * order and the same result (0 on failure; a null handle is refused without
 * harm). Where vrmangr.h has two forms of a name, the one that names an
 * entry point of one cell (pg, cell, ep, or pl, cell, ep) ends in InCell:
 * vrm_GetOPGCEntryPtInfo(h, ep, ...) and vrm_GetOPGCEntryPtInfoInCell(h, pg,
 * cell, ep, ...). fnGetDVDVRPathType is vrm_GetDVDVRPathType;
 * fnReleaseSegChain has no C form, as the queries here fill only records
 * the caller chained through pNext and allocate none. The records are
 * declared once, in platform/records.h, by these vrm_ names; vrmangr.h
 * names the same types seg (vrm_seg), DVDPGCINFO (vrm_pgc_info), VR_STATUS
 * (vrm_status) and so on. What each function does is described in
 * vrmangr.h. */
#ifndef VRMANGR_API_VRMANGR_C_H
#define VRMANGR_API_VRMANGR_C_H

#include <stdint.h>

#include "platform/error_codes.h"
#include "platform/records.h"

#if defined(_WIN32)
#define VRM_C_API
#else
#define VRM_C_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Constants ---- */

/* Error codes (vrm_MANGRGetLastError, vrm_status.dwCode): VRM_OK and
 * VRM_ERR_..., listed with their numbers and sentences in error_codes.h. */
enum {
#define VRM_C_ERROR_CODE(name, number, sentence) VRM_##name = number,
    VRM_ERROR_CODES(VRM_C_ERROR_CODE)
#undef VRM_C_ERROR_CODE
};
/* The phase a progress callback reports. */
enum { VRM_PROGRESS_ANALYSE = 1, VRM_PROGRESS_APPEND = 2 };
/* vrm_status.dwWhere: what llAt counts. */
enum { VRM_STATUS_NOWHERE = 0, VRM_STATUS_BYTE_OFFSET = 1, VRM_STATUS_ITEM = 2 };
/* vrm_open_state.dwOtherCopy. */
enum { VRM_COPY_SAME = 0, VRM_COPY_MISSING = 1, VRM_COPY_DAMAGED = 2, VRM_COPY_DIFFERS = 3 };
/* vrm_open_finding.dwKind. */
enum { VRM_FINDING_COPY = 0, VRM_FINDING_TABLES = 1 };
/* vrm_found_stretch.dwKind. */
enum { VRM_FOUND_RECORDING = 1, VRM_FOUND_DAMAGED = 2, VRM_FOUND_STILLS = 3, VRM_FOUND_UNUSED = 4 };
/* Tables of the management file (vrm_GetTablePlace). */
enum { VRM_TABLE_COUNT = 7 };
/* vrm_pgc_info.dwContentTy and seg.dwCellType. */
enum { VRM_CONTENT_MOVIE = 0, VRM_CONTENT_STILL = 1, VRM_CONTENT_MIXED = 2 };
/* Character sets of the disc's texts (vrm_SetCharacterSet). */
enum { VRM_CHRS_ASCII = 0x00, VRM_CHRS_LATIN1 = 0x11, VRM_CHRS_SHIFT_JIS = 0x12 };
/* vrm_CheckDisc's flags; vrm_check_finding.dwSeverity and .dwKind. */
enum { VRM_CHECK_EVERY_UNIT = 1, VRM_CHECK_DEEP = 2 };
enum { VRM_CHECK_DAMAGE = 0, VRM_CHECK_WARNING = 1, VRM_CHECK_NOTE = 2 };
enum {
    VRM_CHECK_COPY = 0,
    VRM_CHECK_TABLES = 1,
    VRM_CHECK_COPIES_DIFFER = 2,
    VRM_CHECK_MISSING_DATA = 3,
    VRM_CHECK_OVERLAP = 4,
    VRM_CHECK_UNUSED = 5,
    VRM_CHECK_PLACEMENT = 6,
    VRM_CHECK_DATE = 7,
    VRM_CHECK_TRAILING = 8,
    VRM_CHECK_UNDESCRIBED = 9,
    VRM_CHECK_TEMP_FILE = 10,
    VRM_CHECK_BUSY = 11,
    VRM_CHECK_DIFFERENCE = 12,
    VRM_CHECK_REFUSAL = 13,
    VRM_CHECK_DAMAGED_SECTORS = 14
};
/* vrm_RepairDisc's flags; vrm_repair_action.dwKind. */
enum { VRM_REPAIR_DRY_RUN = 1, VRM_REPAIR_FROM_IFO = 2, VRM_REPAIR_FROM_BUP = 4, VRM_REPAIR_DISCARD_UNDESCRIBED = 8 };
enum {
    VRM_REPAIR_RESTORE = 0,
    VRM_REPAIR_TRIM = 1,
    VRM_REPAIR_REMOVE = 2,
    VRM_REPAIR_KEPT = 3,
    VRM_REPAIR_DIFFERENCE = 4,
    VRM_REPAIR_NOTHING = 5
};
/* What vrm_GetDVDVRPathType finds in a directory. */
enum { VRM_PATH_NONE = 0, VRM_PATH_DVD_VR = 1, VRM_PATH_DVD_VIDEO = 2 };

/* ---- Records ---- */

/* Progress of an analysis or append: (context, phase, done, total, file);
 * 0 cancels (ProgressCallback). */
typedef int (*vrm_progress)(void* context, uint32_t phase, uint32_t done, uint32_t total, uint32_t file);

/* ---- The handle ---- */

VRM_C_API void* vrm_MANGRBegin(void);
VRM_C_API void vrm_MANGREnd(void* handle);
VRM_C_API int vrm_MANGRNew(void* handle, const char* dir);
VRM_C_API int vrm_MANGROpen(void* handle, const char* dir);
VRM_C_API int vrm_MANGROpenFiles(void* handle, const vrm_disc_files* files, const char* location);
VRM_C_API int vrm_MANGRSave(void* handle, vrm_progress cb);
VRM_C_API uint32_t vrm_MANGRGetLastError(void* handle);
VRM_C_API int vrm_MANGRGetLastStatus(void* handle, vrm_status* out);
VRM_C_API int vrm_MANGRLock(void* handle, const char* dir, int exclusive, uint32_t waitMs);
VRM_C_API int vrm_MANGRUnlock(void* handle);
VRM_C_API uint32_t vrm_GetDVDVRPathType(const char* dir);

/* ---- Registering recordings and still pictures ---- */

VRM_C_API int vrm_AddMpegFile(void* handle, const char* fileName, vrm_progress progress);
VRM_C_API int vrm_AddStillFile(void* handle, const char* fileName);
VRM_C_API int vrm_StartNewProgram(void* handle);
VRM_C_API int vrm_SetRecordingTime(void* handle, const vrm_time* utc);

/* ---- Recovery ---- */

VRM_C_API int vrm_ScanStreamFile(void* handle, const char* path, uint32_t firstSector, vrm_progress progress);
VRM_C_API uint32_t vrm_GetFoundCount(void* handle);
VRM_C_API int vrm_GetFound(void* handle, uint32_t index, vrm_found_stretch* out);
VRM_C_API int vrm_ScanStillStreamFile(void* handle, const char* path, uint32_t firstSector, vrm_progress progress);
VRM_C_API int vrm_AddRecordedRange(void* handle, uint32_t firstSector, uint32_t sectors, vrm_progress progress);
VRM_C_API int vrm_AddRecordedStillRange(void* handle, uint32_t firstSector, uint32_t sectors, vrm_progress progress);

/* ---- Queries ---- */

VRM_C_API int vrm_GetPLCount(void* handle);
VRM_C_API int vrm_GetPLInfo(void* handle, int pl, vrm_pgc_info* info, int mode);
VRM_C_API int vrm_GetOPGCInfo(void* handle, vrm_pgc_info* info, int mode);
VRM_C_API int vrm_GetOPGCPGInfo(void* handle, int pg, vrm_pg_info* info, int mode);
VRM_C_API int vrm_GetOPGCCellInfo(void* handle, int pg, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame);
VRM_C_API uint32_t vrm_GetOPGCCellNsofEntryPt(void* handle, int ep);
VRM_C_API uint32_t vrm_GetOPGCCellNsofEntryPtInCell(void* handle, int pg, int cell, int ep);
VRM_C_API int vrm_GetOPGCEntryPtInfo(void* handle, int ep, vrm_seg* s, int follow);
VRM_C_API int vrm_GetOPGCEntryPtInfoInCell(void* handle, int pg, int cell, int ep, vrm_seg* s, int follow);
VRM_C_API int vrm_GetPLCellInfo(void* handle, int pl, int cell, vrm_seg* s, uint32_t firstFrame, uint32_t lastFrame);
VRM_C_API uint32_t vrm_GetPLCellNsofEntryPt(void* handle, int pl, int ep);
VRM_C_API uint32_t vrm_GetPLCellNsofEntryPtInCell(void* handle, int pl, int cell, int ep);
VRM_C_API int vrm_GetPLEntryPtInfo(void* handle, int pl, int ep, vrm_seg* s, int follow);
VRM_C_API int vrm_GetPLEntryPtInfoInCell(void* handle, int pl, int cell, int ep, vrm_seg* s, int follow);
VRM_C_API uint32_t vrm_GetTableDump(void* handle, char* out, uint32_t size);

/* ---- Editing ---- */

VRM_C_API int vrm_AddPL(void* handle);
VRM_C_API int vrm_DelPL(void* handle, int pl);
VRM_C_API int vrm_DevideOPGCEntryPt(void* handle, int ep, uint32_t frames);
VRM_C_API int vrm_CombineOPGCEntryPt(void* handle, int epFirst, int epLast);
VRM_C_API int vrm_AddPLEntryPt(void* handle, int pl, int after, int ep);
VRM_C_API int vrm_AddPLEntryPtInCell(void* handle, int pl, int after, int pg, int cell, int ep);
VRM_C_API int vrm_DelPLEntryPt(void* handle, int pl, int ep);
VRM_C_API int vrm_MovePLEntryPt(void* handle, int pl, int epFrom, int epTo);
VRM_C_API int vrm_DevidePLEntryPt(void* handle, int pl, int ep, uint32_t frames);
VRM_C_API int vrm_CombinePLEntryPt(void* handle, int pl, int epFirst, int epLast);
VRM_C_API int vrm_DelProgram(void* handle, int pg, vrm_program_edit* out);
VRM_C_API int vrm_EraseProgramPart(void* handle, int pg, int64_t from, int64_t to, vrm_program_edit* out);
VRM_C_API int vrm_DevideProgram(void* handle, int pg, int64_t at, vrm_program_edit* out);
VRM_C_API int vrm_CombineProgram(void* handle, int pg, vrm_program_edit* out);

/* ---- Disc facts and titles ---- */

VRM_C_API int vrm_GetOpenState(void* handle, vrm_open_state* out);
VRM_C_API int vrm_GetOpenFinding(void* handle, uint32_t index, vrm_open_finding* out);
VRM_C_API int vrm_GetDiscFacts(void* handle, vrm_disc_facts* out);
VRM_C_API int vrm_GetProtection(void* handle, int pg, vrm_protection* out);
VRM_C_API int vrm_GetTablePlace(void* handle, int table, vrm_table_place* out);
VRM_C_API int vrm_GetStreamUse(void* handle, int still, vrm_stream_use* use, vrm_stream_extent* extents,
                               uint32_t maxExtents, vrm_extent_pair* overlaps, uint32_t maxOverlaps,
                               vrm_sector_run* gaps, uint32_t maxGaps);
VRM_C_API int vrm_ReleaseStreamSectors(void* handle, int still, uint32_t first, uint32_t count);
VRM_C_API int vrm_GetReleasedSpace(void* handle, vrm_released_space* out);
VRM_C_API uint32_t vrm_GetUnitStarts(void* handle, int still, int number, int64_t* starts, uint32_t max);
VRM_C_API uint32_t vrm_GetUnitFields(void* handle, int number, uint32_t* fields, uint32_t max);
VRM_C_API int vrm_SetPLText(void* handle, int pl, const char* text);
VRM_C_API int vrm_SetPLTypeFromCells(void* handle, int pl);
VRM_C_API int vrm_GetCharacterSet(void* handle, vrm_character_set* out);
VRM_C_API uint32_t vrm_GetProgramLabel(void* handle, int pg, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetProgramTitle(void* handle, int pg, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetPLLabel(void* handle, int pl, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetPLTitle(void* handle, int pl, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetProgramItemText(void* handle, int pg, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetPLItemText(void* handle, int pl, char* out, uint32_t size);
VRM_C_API uint32_t vrm_GetProgramItemBytes(void* handle, int pg, uint8_t* out, uint32_t size);
VRM_C_API uint32_t vrm_GetPLItemBytes(void* handle, int pl, uint8_t* out, uint32_t size);
VRM_C_API int vrm_SetProgramTitle(void* handle, int pg, const char* utf8);
VRM_C_API int vrm_SetPLTitle(void* handle, int pl, const char* utf8);
VRM_C_API int vrm_SetCharacterSet(void* handle, uint8_t chrs);

/* ---- Checking and repairing a recording directory ---- */

VRM_C_API int vrm_CheckDisc(void* handle, const char* dir, uint32_t flags, vrm_progress progress);
VRM_C_API int vrm_GetCheckSummary(void* handle, vrm_check_summary* out);
VRM_C_API uint32_t vrm_GetCheckFindingCount(void* handle);
VRM_C_API int vrm_GetCheckFinding(void* handle, uint32_t index, vrm_check_finding* out);
VRM_C_API uint32_t vrm_GetCheckExtents(void* handle, int still, vrm_stream_extent* out, uint32_t max);
VRM_C_API int vrm_RepairDisc(void* handle, const char* dir, uint32_t flags, vrm_progress progress);
VRM_C_API uint32_t vrm_GetRepairActionCount(void* handle);
VRM_C_API int vrm_GetRepairAction(void* handle, uint32_t index, vrm_repair_action* out);
VRM_C_API uint32_t vrm_FindMisalignedPacks(void* handle, const char* path, int64_t from, int64_t to);

#ifdef __cplusplus
}
#endif

#endif
