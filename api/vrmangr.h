// vrmangr: create, open, edit and save the management information of DVD-VR
// recording directories (VR_MANGR.IFO and its backup VR_MANGR.BUP).
//
// The flat interface: every function takes the handle made by
// fnVR_MANGRBegin as its first argument and returns 0 on failure (every
// function given a null handle returns 0 and touches nothing). The classes
// behind the handle are exported too, with all their members.
//
// Calling order: fnVR_MANGRBegin; fnVR_MANGRLock (see there); fnVR_MANGRNew
// or fnVR_MANGROpen; adds, edits and queries; fnVR_MANGRSave; fnVR_MANGREnd.
//
// A caller that has Win32-style names of its own (BYTE, WORD, DWORD,
// __int64, SYSTEMTIME, as windows.h or a port of it defines them) defines
// VRMANGR_NO_WIN32_TYPES before this header (windows.h's _WINDEF_ does the
// same): the library's headers then call their types vrm_byte, vrm_word,
// vrm_dword, vrm_int64 and vrm_systemtime, and leave the caller's names as
// they were. __stdcall is defined (empty) only when the caller has none. A C
// caller, or one that wants no C++ names at all, includes vrmangr_c.h.
#ifndef VRMANGR_API_VRMANGR_H
#define VRMANGR_API_VRMANGR_H

#if defined(VRMANGR_NO_WIN32_TYPES) || defined(_WINDEF_)
#define VRMANGR_OWN_TYPE_NAMES 1
#pragma push_macro("BYTE")
#pragma push_macro("WORD")
#pragma push_macro("DWORD")
#pragma push_macro("__int64")
#pragma push_macro("SYSTEMTIME")
#undef BYTE
#undef WORD
#undef DWORD
#undef __int64
#undef SYSTEMTIME
#define BYTE vrm_byte
#define WORD vrm_word
#define DWORD vrm_dword
#define __int64 vrm_int64
#define SYSTEMTIME vrm_systemtime
#endif

#include "manager/CVR_MANGR.h"
#include "platform/types.h"

// A new handle, or NULL when memory runs out.
VRMANGR_API void* fnVR_MANGRBegin(void);
// Releases the handle and everything it holds; nothing for NULL.
VRMANGR_API void fnVR_MANGREnd(void* handle);
// Binds the handle to a new, empty disc in the directory dir (an existing
// directory; a trailing '/' is ignored). Nothing is written before Save.
VRMANGR_API int fnVR_MANGRNew(void* handle, const char* dir);
// Opens the disc in dir, reading only (no file is created, changed or cut):
// both VR_MANGR.IFO and VR_MANGR.BUP are loaded and checked across their
// tables, and a good one is used (see CVR_MANGR::fnRTR_VMG_Open and
// fnGetOpenFindings). 0 when neither is a good management file.
VRMANGR_API int fnVR_MANGROpen(void* handle, const char* dir);
// The four files of a disc read from somewhere other than a directory (the
// UDF file system of a disc image or a drive, say), by their names
// "VR_MANGR.IFO", "VR_MANGR.BUP", "VR_MOVIE.VRO" and "VR_STILL.VRO".
typedef vrm_disc_files VR_DISC_FILES;
// Opens, as fnVR_MANGROpen does, the disc whose files *files gives, naming
// it location in messages; the stream files are named "<location>/
// VR_MOVIE.VRO" and "<location>/VR_STILL.VRO" in segment records. The
// management files and the stream files' lengths are read through files,
// whose context must stay valid while the handle holds this disc. The disc
// is read only: adds and saves are refused with VRO_ERR_READ_ONLY.
VRMANGR_API int fnVR_MANGROpenFiles(void* handle, const VR_DISC_FILES* files, const char* location);
// Appends the recordings added since the last save to the stream files (or
// writes them into the unused sectors they were placed in), then writes
// VR_MANGR.IFO and VR_MANGR.BUP, and only then gives back the sectors edits
// gave up (fnVR_ReleaseStreamSectors). cb reports the append's progress and
// may be NULL. Refused (nothing written) while the two management files
// describe different states of the disc (VRO_ERR_COPIES_DIFFER), and when a
// stream file holds data behind its last recording that the disc does not
// describe (VRO_ERR_TRAILING_DATA, in the stream object): that data is never
// written over or appended behind (nor is data found in the unused sectors
// a recording was placed in: VRO_ERR_PLACE_IN_USE). With no recording added
// and nothing to give back the stream files are not touched.
VRMANGR_API int fnVR_MANGRSave(void* handle, ProgressCallback cb);
// The stream library's error code of the handle's last failed save of the
// movie stream, of a refused save (VRO_ERR_COPIES_DIFFER) or of a lock
// (VRO_ERR_LOCKED); 0 when there was none (and for a null handle). An Open
// that succeeds leaves none, also when it found recorded data missing:
// fnVR_GetStreamUse tells that loss (a stream file not present while
// recordings need it, recorded bytes beyond its end).
VRMANGR_API DWORD fnVR_MANGRGetLastError(void* handle);
// Why the handle's last call failed: the code (a VRO_ERR_* value, 0 after a
// call that succeeded), where the fault lies, and one sentence for a person
// that names the file, item or limit concerned. Every function of the flat
// interface sets it: cleared when it starts, filled in when it fails.
typedef vrm_status VR_STATUS;
enum { VR_STATUS_NOWHERE = 0, VR_STATUS_BYTE_OFFSET = 1, VR_STATUS_ITEM = 2 };
// Copies the status of the handle's last call; 0 for a null handle or out.
VRMANGR_API int fnVR_MANGRGetLastStatus(void* handle, VR_STATUS* out);
// An advisory lock on the recording directory dir (flock on the directory
// itself: no file is created, and it works on read-only media), held by the
// handle until fnVR_MANGRUnlock, the handle's next lock or fnVR_MANGREnd,
// and released by the system when the process ends in any way. exclusive
// != 0 takes the writer's lock, which excludes every other lock; 0 a
// reader's, which only excludes a writer's. While another handle or
// process holds a conflicting lock the call tries again until waitMs
// milliseconds have passed (0: a single try). 1 when the lock is held; 0
// when it is not, with fnVR_MANGRGetLastError VRO_ERR_LOCKED when a
// conflicting lock stayed, VRO_ERR_BAD_ARGUMENT when dir cannot be opened
// as a directory or offers no locks.
//
// The library saves each file whole (written aside, then renamed over the
// old one), but IFO and BUP are two files, and the save of one process does
// not know the edits of another. So, between processes that lock:
// - A caller that saves takes the exclusive lock before New or Open and
//   keeps it until after Save: the whole read-modify-write is one step; no
//   other writer saves over its changes, no reader loads them half-saved.
// - A caller that only reads may take the shared lock around Open, so that
//   it never loads a save half-done (the IFO written, the BUP not yet), and
//   should release it right after Open: the tables are in memory then, and
//   a writer waiting for the lock is not held up.
// Locks are advisory: a process that does not lock is not stopped.
VRMANGR_API int fnVR_MANGRLock(void* handle, const char* dir, int exclusive, DWORD waitMs);
// Releases the handle's lock; 1 also when it held none.
VRMANGR_API int fnVR_MANGRUnlock(void* handle);

// ---- Registering recordings and still pictures ----

// Registers a recorded MPEG file as a new recording of the disc (see
// CVR_MANGR::fnADD_Movie_Program); progress reports the analysis and may be
// NULL. The file is copied into VR_MOVIE.VRO at the next Save: into the
// first run of sectors between the recordings that no recording uses, that
// reads as zeros (given back, see fnVR_ReleaseStreamSectors, or never
// written) and is large enough for it, else behind the last recording.
VRMANGR_API int fnVR_AddMpegFile(void* handle, const char* fileName, ProgressCallback progress);
// Registers a file of still pictures (an MPEG program stream of single
// pictures) as a still-picture group with one cell of the original chain;
// copied into VR_STILL.VRO at the next Save.
VRMANGR_API int fnVR_AddStillFile(void* handle, const char* fileName);
// The next recording or still-picture file registered opens a program of
// its own, as a recorder makes one program (title) per recording; without
// it a recording joins the last program when both are of the same day (in
// the disc's time zone). Holds for the next registration only. 0 without a
// disc.
VRMANGR_API int fnVR_StartNewProgram(void* handle);
// The next registration (fnVR_AddMpegFile or fnVR_AddStillFile) is of a
// recording made at utc (UTC): its recording time and, when it opens a
// program, that program's date text, instead of the current time. Every
// time the library writes is kept as the disc keeps its times: wall-clock
// time of the zone its TM_ZONE names (0x1000 plus the offset in minutes; a
// new disc takes the machine's standard offset), utc moved by that offset
// (as it is when TM_ZONE names no offset). It joins
// the last program only when both are of that day. For a file recorded long
// before it is added. Holds for the next registration that succeeds only;
// NULL means the current time. 0 without a disc or for an invalid date and
// time (years 1900 to 9999).
VRMANGR_API int fnVR_SetRecordingTime(void* handle, const SYSTEMTIME* utc);

// ---- Recovery: recordings a stream file holds without tables ----

// Scans VR_MOVIE.VRO (or any movie stream file) at path from sector
// firstSector to its end for the recordings it holds (see
// vrm::ScanMovieStream): where one recording ends and the next begins (a
// program end code, a clock that jumps by more than a second, another
// picture size, aspect ratio, frame rate or audio stream), the damaged
// stretches between them (packs that do not parse, up to the next VOBU
// start) and the unused ones (VR_FOUND_UNUSED: sectors of nothing but zero
// bytes, never written or given back, which end the recording in front of
// them). Reads only; needs no disc. The handle keeps the result for
// fnVR_GetFoundCount and fnVR_GetFound until the next scan. progress
// reports both passes (phase VRO_PROGRESS_ANALYSE) and may be NULL. 1 when
// the scan ran (also when it found nothing), 0 when the file cannot be
// read or the scan was cancelled.
VRMANGR_API int fnVR_ScanStreamFile(void* handle, const char* path, DWORD firstSector, ProgressCallback progress);
// Scans VR_STILL.VRO (or any still stream file) at path from sector
// firstSector to its end for the still pictures it holds (see
// vrm::ScanStillStream): each picture (a navigation pack, one intra picture,
// its audio) is analysed where it lies, and neighbouring pictures of the
// same attributes form groups of at most 255 (VR_FOUND_STILLS, dwFrames the
// picture count); packs that do not parse and pictures the analysis
// refuses are damaged stretches (VR_FOUND_DAMAGED), skipped to the next
// picture start; sectors of zeros are unused (VR_FOUND_UNUSED). Otherwise
// as fnVR_ScanStreamFile.
VRMANGR_API int fnVR_ScanStillStreamFile(void* handle, const char* path, DWORD firstSector, ProgressCallback progress);
// The number of stretches the last scan found, recordings and damaged.
VRMANGR_API DWORD fnVR_GetFoundCount(void* handle);
// Stretch index (0-based, in file order) of the last scan.
VRMANGR_API int fnVR_GetFound(void* handle, DWORD index, VR_FOUND_STRETCH* out);
// Registers the recording that lies in sectors [firstSector, firstSector +
// sectors) of the disc's VR_MOVIE.VRO as a new recording (see
// CVR_MANGR::fnADD_Recorded_Range), at or behind the end of the last
// recording; fnVR_StartNewProgram and fnVR_SetRecordingTime apply as for
// fnVR_AddMpegFile. Nothing is copied at Save: the stream file stays as it
// is. Refused while added files wait for the save.
VRMANGR_API int fnVR_AddRecordedRange(void* handle, DWORD firstSector, DWORD sectors, ProgressCallback progress);
// Registers the still pictures that lie in sectors [firstSector,
// firstSector + sectors) of the disc's VR_STILL.VRO (a group a still scan
// found) as a new still-picture group with a cell of its own (see
// CVR_MANGR::fnADD_Recorded_Still_Range), at or behind the end of the last
// group; fnVR_StartNewProgram and fnVR_SetRecordingTime apply as for a
// still-picture file. The packs must lie in the group's layout already
// (each picture's video, then its audio). Nothing is copied at Save.
// Refused while added still files wait for the save.
VRMANGR_API int fnVR_AddRecordedStillRange(void* handle, DWORD firstSector, DWORD sectors, ProgressCallback progress);

// ---- Queries ----

// The query records seg, DVDPGCINFO and DVDPGINFO, which the caller
// allocates (see the members of CVR_MANGR for the numbering).
#include "query/records.h"

// Number of playlists.
VRMANGR_API int fnVR_GetPLCount(void* handle);
// Playlist pl (1-based): type, creation time, text; mode 0 counts entry
// points, any other cells, with their durations.
VRMANGR_API int fnVR_GetPLInfo(void* handle, int pl, DVDPGCINFO* info, int mode);
// The original chain; mode 0 entry points, 1 cells, any other programs.
VRMANGR_API int fnVR_GetOPGCInfo(void* handle, DVDPGCINFO* info, int mode);
// Program pg of the original chain, with the segment of its first entry
// point.
VRMANGR_API int fnVR_GetOPGCPGInfo(void* handle, int pg, DVDPGINFO* info, int mode);
// Cell `cell` of program pg, narrowed to frames firstFrame..lastFrame when
// firstFrame < lastFrame.
VRMANGR_API int fnVR_GetOPGCCellInfo(void* handle, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame);
// Cells spanned by the segment of entry point ep of the whole chain, or by
// segment ep of cell (pg, cell).
VRMANGR_API DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int ep);
VRMANGR_API DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int pg, int cell, int ep);
// The segment of entry point ep of the whole chain, or segment ep of cell
// (pg, cell). With follow != 0 the continuation records the caller chained
// behind s through pNext (pNext NULL ends the chain) are filled too.
VRMANGR_API int fnVR_GetOPGCEntryPtInfo(void* handle, int ep, seg* s, int follow);
VRMANGR_API int fnVR_GetOPGCEntryPtInfo(void* handle, int pg, int cell, int ep, seg* s, int follow);
// The same for playlist pl.
VRMANGR_API int fnVR_GetPLCellInfo(void* handle, int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame);
VRMANGR_API DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int ep);
VRMANGR_API DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int cell, int ep);
VRMANGR_API int fnVR_GetPLEntryPtInfo(void* handle, int pl, int ep, seg* s, int follow);
VRMANGR_API int fnVR_GetPLEntryPtInfo(void* handle, int pl, int cell, int ep, seg* s, int follow);

// The disc's tables as text, every field of every record by name (see
// CVR_MANGR::fnDumpTables), NUL-terminated, into out when size is large
// enough. Returns the size the text needs with its NUL (copying nothing
// when size is smaller), 0 without a disc.
VRMANGR_API DWORD fnVR_GetTableDump(void* handle, char* out, DWORD size);

// ---- Editing ----

// Entry points are numbered 1, 2, ... through the whole chain (the original
// chain or a playlist's); a number the narrower member type cannot hold
// names nothing and gives 0.
//
// A new, empty playlist, appended as the last one. 0 (and nothing added)
// when the disc already has the most playlists it can hold.
VRMANGR_API int fnVR_AddPL(void* handle);
// Deletes playlist pl; the later ones move down one number.
VRMANGR_API int fnVR_DelPL(void* handle, int pl);
// A new entry point of the original chain `frames` video frames after entry
// point ep (0: at the same time, right after it).
VRMANGR_API int fnVR_DevideOPGCEntryPt(void* handle, int ep, DWORD frames);
// Removes the original chain's entry points after epFirst up to and
// including epLast, so that epFirst's segment runs on over theirs.
VRMANGR_API int fnVR_CombineOPGCEntryPt(void* handle, int epFirst, int epLast);
// Copies the segment of the original chain's entry point ep (or of entry
// point ep of cell `cell` of program pg) into playlist pl, right after the
// playlist's entry point after (0: first).
VRMANGR_API int fnVR_AddPLEntryPt(void* handle, int pl, int after, int ep);
VRMANGR_API int fnVR_AddPLEntryPt(void* handle, int pl, int after, int pg, int cell, int ep);
// Deletes entry point ep of playlist pl with its segment.
VRMANGR_API int fnVR_DelPLEntryPt(void* handle, int pl, int ep);
// Moves the segment of entry point epFrom of playlist pl to right after its
// entry point epTo (0: first).
VRMANGR_API int fnVR_MovePLEntryPt(void* handle, int pl, int epFrom, int epTo);
// A new entry point of playlist pl frames + 1 video frames after entry point
// ep.
VRMANGR_API int fnVR_DevidePLEntryPt(void* handle, int pl, int ep, DWORD frames);
// Removes playlist pl's entry points after epFirst up to and including
// epLast.
VRMANGR_API int fnVR_CombinePLEntryPt(void* handle, int pl, int epFirst, int epLast);

// ---- Editing the recordings, program by program ----

// What an edit of programs did.
typedef vrm_program_edit VR_PROGRAM_EDIT;
// Programs are numbered from 1 as fnVR_GetOPGCPGInfo numbers them; times
// are 27 MHz ticks of play time from the program's start (the sum of its
// cells' lengths, as the program's duration counts them). Each edit changes
// the tables in memory (Save writes them; nothing is written before) and
// fills out (may be NULL) with what it did; what no cell of the original
// chain plays any more leaves the disc: playlist cells lose what they
// played of it (a playlist left empty is deleted), VOBs are shortened or
// split to the VOBUs still played, recordings and stream attributes no
// longer used go, and VOB and VOG numbers stay dense from 1. The disc's
// resume marker and representative picture name nothing afterwards. 0,
// changing nothing, with the status saying why (VRO_ERR_NO_SUCH_ITEM,
// VRO_ERR_BAD_ARGUMENT, VRO_ERR_EDIT_REFUSED; VRO_ERR_QUEUE_NOT_EMPTY while
// added recordings wait for Save).
//
// Program pg goes, and its recordings with it.
VRMANGR_API int fnVR_DelProgram(void* handle, int pg, VR_PROGRAM_EDIT* out);
// The stretch [from, to) of program pg is no longer played. Both ends move
// to the nearest point the video can be cut at (a VOBU boundary, about every
// half second, or a cell's end); out gives them. A cell loses the part
// inside the stretch (divided in two around a stretch in its middle);
// entry points inside go, the last of them moving to the stretch's end.
// Refused for a program of still pictures, a stretch that would leave the
// program empty (delete it instead), and one inside a single VOBU. A `to`
// past the program's end means its end.
VRMANGR_API int fnVR_EraseProgramPart(void* handle, int pg, __int64 from, __int64 to, VR_PROGRAM_EDIT* out);
// Program pg becomes two at `at` (moved as the ends of an erase are; out
// gives where): the second program begins with an entry point and copies
// the first's record (date, texts), its title marked " (2)". Refused for a
// program of still pictures and at its start or end.
VRMANGR_API int fnVR_DevideProgram(void* handle, int pg, __int64 at, VR_PROGRAM_EDIT* out);
// Programs pg and pg + 1 become one, their cells in order; the first's
// record (title, date) stays. Refused for the last program.
VRMANGR_API int fnVR_CombineProgram(void* handle, int pg, VR_PROGRAM_EDIT* out);

// ---- Disc facts and titles for tools ----

// What the handle's last Open found of the two management files.
enum {
    VR_COPY_SAME = 0,  // the other copy holds the same bytes (also after New and after Save)
    VR_COPY_MISSING = 1,  // the other copy is missing
    VR_COPY_DAMAGED = 2,  // the other copy does not load, or its tables disagree with each other
    VR_COPY_DIFFERS = 3,  // the other copy is good but describes another state of the disc
};
typedef vrm_open_state VR_OPEN_STATE;
// What the last Open found: which copy it used and the state of the other
// (meaningful after an Open that succeeded), and how many findings it made
// (also after one that failed). 0 for a null handle or out.
VRMANGR_API int fnVR_GetOpenState(void* handle, VR_OPEN_STATE* out);

enum {
    VR_FINDING_COPY = 0,  // why the copy as a whole was not used
    VR_FINDING_TABLES = 1,  // one disagreement between the copy's tables
};
typedef vrm_open_finding VR_OPEN_FINDING;
// Finding `index` (0-based, below VR_OPEN_STATE.dwFindings) of the last
// Open: why a copy was not used (it cannot be read, does not load, which of
// its tables disagree, its recordings lie outside the stream files). 0 when
// there is no such finding.
VRMANGR_API int fnVR_GetOpenFinding(void* handle, DWORD index, VR_OPEN_FINDING* out);

// The head of the management file (VMGI_MAT).
typedef vrm_disc_facts VR_DISC_FACTS;
// The head of the disc's management file. 0 when no disc is open.
VRMANGR_API int fnVR_GetDiscFacts(void* handle, VR_DISC_FACTS* out);

// Copy protection (CPRM): on the disc, VMGI_MAT's CPSI (copy protection
// system information) and ETKI (the encrypted title key), as the management
// file records them; on a program, whether its recordings are written
// encrypted, as their packs say (the PES_scrambling_control of the first
// PES packets of its first cell, read from the stream file). Protected
// recordings cannot be played without a licensed key; the library does not
// decrypt them, and every save writes these fields as they were found.
typedef vrm_protection VR_PROTECTION;
// The disc's protection (pg 0) or that of program pg of the original chain.
// 0 when no disc is open or there is no program pg.
VRMANGR_API int fnVR_GetProtection(void* handle, int pg, VR_PROTECTION* out);

// The tables of the management file in file order: RTR_VMGI, M_AVFIT,
// S_AVFIT, ORG_PGCI, UD_PGCIT, TXTDT_MG, MNFIT.
enum { VR_TABLE_COUNT = 7 };
typedef vrm_table_place VR_TABLE_PLACE;
// Where table `table` (0 to VR_TABLE_COUNT - 1) lies in the management file
// the handle read at Open (or wrote at its last Save). 0 for another
// number, or when no disc is open.
VRMANGR_API int fnVR_GetTablePlace(void* handle, int table, VR_TABLE_PLACE* out);

// Two recordings (VOB or VOG numbers) that share sectors of a stream file.
typedef vrm_extent_pair VR_EXTENT_PAIR;
typedef vrm_stream_use VR_STREAM_USE;
// What the recordings use of VR_MOVIE.VRO (still 0) or VR_STILL.VRO (still
// 1), each taken from its own start sector and size, measured against the
// stream file in the handle's directory. use gets the counts; the first
// maxExtents recordings (by start sector), maxOverlaps overlapping pairs
// and maxGaps unused runs go into the arrays, which may be NULL when their
// max is 0. 0 when no disc is open.
VRMANGR_API int fnVR_GetStreamUse(void* handle, int still, VR_STREAM_USE* use, VR_STREAM_EXTENT* extents,
                                  DWORD maxExtents, VR_EXTENT_PAIR* overlaps, DWORD maxOverlaps, VR_SECTOR_RUN* gaps,
                                  DWORD maxGaps);

// ---- Checking and repairing a recording directory ----

// The check of recorded MPEG data for damage as it is read (vrm::PackCheck,
// vrm::IsPackHeader, vrm::DamageText, ...): a library addition beside the
// flat functions, which the deep check uses and a caller that copies
// recordings out of a stream file can use as it copies.
#include "stream/pack_check.h"

// Checks the recording directory dir without opening it in the handle (the
// handle's disc, if any, stays as it was) and without writing anything:
// each of VR_MANGR.IFO and VR_MANGR.BUP judged on its own (present, loads,
// its tables agree, its recordings lie whole and apart in the stream
// files), whether the two differ, recordings that do not begin where the
// tables place them (one sector read at the first, middle and last unit of
// each recording; at every VOBU and picture with VR_CHECK_EVERY_UNIT),
// unused sectors between recordings, dates that are none, and the
// leftovers of interrupted saves (temporary files; data behind the last
// recording, scanned for recordings). VR_CHECK_DEEP also reads every sector
// of every recording of the copy the disc is read from and names each run
// of damaged sectors (no pack header, a malformed one, a system clock that
// runs back or leaps within a VOBU in VR_MOVIE.VRO) as a
// VR_CHECK_DAMAGED_SECTORS finding with its byte range, after the other
// damage (a few per recording, then one that counts the rest); see
// vrm::PackCheck. The reader's lock is taken while the management files
// are read (another writer is waited for 2 s, then a VR_CHECK_BUSY warning
// says so). progress (may be NULL; called with the handle as context)
// reports the reads of the stream files (the deep read as a pass of its
// own, in sixteens of sectors) and cancels them by returning 0. 1 when the
// check ran, also on a damaged disc: the findings say what is wrong. 0,
// keeping no findings, when dir is not a directory or holds no disc
// (VRO_ERR_BAD_ARGUMENT, VRO_ERR_DAMAGED), the management files cannot be
// judged (no scratch directory under $TMPDIR: VRO_ERR_WRITE), or progress
// cancelled (VRO_ERR_CANCELLED); the status says why in one sentence.
enum { VR_CHECK_EVERY_UNIT = 1, VR_CHECK_DEEP = 2 };
VRMANGR_API int fnVR_CheckDisc(void* handle, const char* dir, DWORD flags, ProgressCallback progress);
typedef vrm_check_summary VR_CHECK_SUMMARY;
// The last check as a whole (all zero, copies 2, before the first). 0 for
// a null handle or out.
VRMANGR_API int fnVR_GetCheckSummary(void* handle, VR_CHECK_SUMMARY* out);
// How much a finding matters.
enum {
    VR_CHECK_DAMAGE = 0,  // the disc is damaged: it fails the check
    VR_CHECK_WARNING = 1,  // worth knowing; the disc is sound
    VR_CHECK_NOTE = 2,  // detail behind another finding
};
// What a finding is about; the file and the byte range it names.
enum {
    VR_CHECK_COPY = 0,  // a management file is missing, unreadable or does not load (file: it)
    VR_CHECK_TABLES = 1,  // a disagreement of one copy's tables (file: the copy)
    VR_CHECK_COPIES_DIFFER = 2,  // both copies load but differ
    VR_CHECK_MISSING_DATA = 3,  // recorded data behind the end of a stream file (range: the bytes missing)
    VR_CHECK_OVERLAP = 4,  // two recordings share sectors (range: the shared bytes)
    VR_CHECK_UNUSED = 5,  // sectors before the last recording that none uses and that hold data (range)
    VR_CHECK_PLACEMENT = 6,  // a recording, VOBU or picture does not begin where its tables say (range: the sector)
    VR_CHECK_DATE = 7,  // a recording or creation time that names no moment
    VR_CHECK_TRAILING = 8,  // data behind the last recording that holds none (range)
    VR_CHECK_UNDESCRIBED = 9,  // a recording or still pictures the tables do not describe (range)
    VR_CHECK_TEMP_FILE = 10,  // a temporary file of an interrupted save (file; range: its bytes)
    VR_CHECK_BUSY = 11,  // another process was changing the directory while it was read
    VR_CHECK_DIFFERENCE = 12,  // a field in which two whole copies differ (a note)
    VR_CHECK_REFUSAL = 13,  // why a repair cannot choose between the copies by itself (a note)
    VR_CHECK_DAMAGED_SECTORS = 14,  // recorded sectors that hold no sound MPEG pack (VR_CHECK_DEEP; range: them)
};
typedef vrm_check_finding VR_CHECK_FINDING;
// The number of findings of the last check (0 for a null handle).
VRMANGR_API DWORD fnVR_GetCheckFindingCount(void* handle);
// Finding `index` (0-based) of the last check: damage and warnings in the
// order found, then the notes. 0 when there is no such finding.
VRMANGR_API int fnVR_GetCheckFinding(void* handle, DWORD index, VR_CHECK_FINDING* out);
// The VOBs of VR_MOVIE.VRO (still 0) or the VOGs of VR_STILL.VRO (still 1)
// of the copy the last check read the disc from, by start sector: the
// first max go into out (NULL when max is 0); returns how many there are.
VRMANGR_API DWORD fnVR_GetCheckExtents(void* handle, int still, VR_STREAM_EXTENT* out, DWORD max);

// Repairs the recording directory dir (without opening it in the handle):
// restores the copy of the management file that should be kept over the
// other, cuts the data behind the last recording that holds no recording
// (the part an interrupted save wrote, zeros, noise) and removes the
// temporary files of interrupted saves. The copy kept is one Open takes
// over one it refuses; of two it takes, the one whose recordings the stream
// files hold, then the one that describes more recorded data, then the one
// the stream files (or the scratch copy of an interrupted save) bear out.
// VR_REPAIR_FROM_IFO or _BUP keeps that copy whatever the evidence;
// VR_REPAIR_DISCARD_UNDESCRIBED cuts recordings found behind the last
// described one too (they stay otherwise); VR_REPAIR_DRY_RUN decides
// everything and changes nothing. The writer's lock is held throughout
// (VRO_ERR_LOCKED when another process holds it for 1 s). What no copy can
// mend is refused before anything is changed (0 with the status's
// sentence): both copies damaged (VRO_ERR_DAMAGED), two whole copies the
// stream files cannot tell apart (VRO_ERR_COPIES_DIFFER; the differing
// fields are VR_REPAIR_DIFFERENCE actions), recorded data missing from a
// stream file (VRO_ERR_STREAM_SHORT), recordings sharing sectors
// (VRO_ERR_OVERLAP). A step that fails (VRO_ERR_WRITE, VRO_ERR_TRUNCATE,
// VRO_ERR_CANCELLED) ends the repair; the actions done before it stay
// listed. progress as for fnVR_CheckDisc.
enum {
    VR_REPAIR_DRY_RUN = 1,
    VR_REPAIR_FROM_IFO = 2,
    VR_REPAIR_FROM_BUP = 4,
    VR_REPAIR_DISCARD_UNDESCRIBED = 8,
};
VRMANGR_API int fnVR_RepairDisc(void* handle, const char* dir, DWORD flags, ProgressCallback progress);
// What an action of a repair is.
enum {
    VR_REPAIR_RESTORE = 0,  // a copy of the management file written over the other (file: the one replaced)
    VR_REPAIR_TRIM = 1,  // bytes behind the last recording cut off (file, range: the bytes removed)
    VR_REPAIR_REMOVE = 2,  // a temporary file removed (file)
    VR_REPAIR_KEPT = 3,  // data left in place on purpose, and why (file, range)
    VR_REPAIR_DIFFERENCE = 4,  // a field in which the copies differ, behind a refusal
    VR_REPAIR_NOTHING = 5,  // nothing needed repair
};
typedef vrm_repair_action VR_REPAIR_ACTION;
// The number of actions of the last repair (0 for a null handle).
VRMANGR_API DWORD fnVR_GetRepairActionCount(void* handle);
// Action `index` (0-based) of the last repair, in the order done. 0 when
// there is no such action.
VRMANGR_API int fnVR_GetRepairAction(void* handle, DWORD index, VR_REPAIR_ACTION* out);
// Bytes [from, to) of the file at path (at most their first 8 MB) read for
// MPEG pack headers off the sector boundaries: how many bytes into their
// 2048-byte sectors packs begin (1 to 2047) when they do so again and
// again, as in a stream whose first bytes are missing; 0 otherwise (and
// when the file cannot be read).
VRMANGR_API DWORD fnVR_FindMisalignedPacks(void* handle, const char* path, __int64 from, __int64 to);

// ---- Giving back unused stream space ----

// An edit (deleting a recording, shortening one) has left sectors [first,
// first + count) of VR_MOVIE.VRO (still 0) or VR_STILL.VRO (still 1)
// unplayed (see CVR_MANGR::fnRelease_Stream_Sectors). The next Save that
// writes both management files gives them back to the file system, and
// only then: a hole is punched (the file keeps its length, the sectors read
// as zeros, and a recording added later may be written there), or, where
// they end the file behind the last recording, the file is cut before them.
// A sector that a recording of the saved tables uses is never given back,
// whatever was asked. A handle ended without Save gives back nothing. 0 for
// a run past the last sector a stream file can have, or without a disc.
VRMANGR_API int fnVR_ReleaseStreamSectors(void* handle, int still, DWORD first, DWORD count);
typedef vrm_released_space VR_RELEASED_SPACE;
// What the handle's last Save gave back (all zero after a Save that failed,
// or gave back nothing). 0 for a null handle or out.
VRMANGR_API int fnVR_GetReleasedSpace(void* handle, VR_RELEASED_SPACE* out);

// Where the units of a recording begin in its stream file, in sectors: for
// VOB `number` of VR_MOVIE.VRO (still 0) each VOBU of its time map (ADR_OFS,
// then behind each VOBU_SZ); for VOG `number` of VR_STILL.VRO (still 1)
// each picture (S_VOG_SA, then behind each picture's video part and its
// original audio part). Numbers count from 1 in table order. The first max
// go into starts (NULL when max is 0); returns how many there are: 0 when
// there is no such recording, or it has no time map or no picture.
VRMANGR_API DWORD fnVR_GetUnitStarts(void* handle, int still, int number, __int64* starts, DWORD max);
// How long each VOBU of VOB `number` of VR_MOVIE.VRO plays, in video fields
// (its time map's VOBU_PB_TM; a frame is two fields), in the order of
// fnVR_GetUnitStarts. The first max go into fields (NULL when max is 0);
// returns how many VOBUs there are: 0 when there is no such VOB or it has no
// time map.
VRMANGR_API DWORD fnVR_GetUnitFields(void* handle, int number, DWORD* fields, DWORD max);

// Sets the text of playlist pl (PRM_TXTI of its search pointer): text, of
// at most 63 bytes, in both 64-byte halves, the rest zeros. 0 when pl names
// no playlist or the text is longer.
VRMANGR_API int fnVR_SetPLText(void* handle, int pl, const char* text);
// Sets the type of playlist pl (PL_TY: movie, still pictures or both) from
// the cells its chain holds now; the playlist edits leave it as it was when
// the playlist was made. 0 when pl names no playlist or its chain is
// missing.
VRMANGR_API int fnVR_SetPLTypeFromCells(void* handle, int pl);

// ---- Titles of programs and playlists ----

// The text of a program or playlist (its 128-byte PRM_TXTI) is two 64-byte
// halves in the disc's character set (CHRS): recorders keep a short ASCII
// label in the first and the title in the second.
typedef vrm_character_set VR_CHARACTER_SET;
// The character set of the disc's texts. 0 when no disc is open.
VRMANGR_API int fnVR_GetCharacterSet(void* handle, VR_CHARACTER_SET* out);
// The label (first half) or title (second half) of program pg of the
// original chain or of playlist pl, as NUL-terminated UTF-8 into out when
// size is large enough: read up to the half's first NUL (or all 64 bytes),
// trailing spaces dropped, bytes that are no character of the set shown as
// U+FFFD. A half of spaces or zeros is no text: "". Returns the size the
// text needs with its NUL (copying nothing when size is smaller; out may
// then be NULL), 0 when there is no such program or playlist.
VRMANGR_API DWORD fnVR_GetProgramLabel(void* handle, int pg, char* out, DWORD size);
VRMANGR_API DWORD fnVR_GetProgramTitle(void* handle, int pg, char* out, DWORD size);
VRMANGR_API DWORD fnVR_GetPLLabel(void* handle, int pl, char* out, DWORD size);
VRMANGR_API DWORD fnVR_GetPLTitle(void* handle, int pl, char* out, DWORD size);
// The item text that program pg or playlist pl names (IT_TXT_SRPN, an
// entry of the text data manager TXTDT_MG, which some recorders fill and
// this library keeps but never writes), decoded by that table's character
// set, as the label and title getters give theirs: "" when it names none.
VRMANGR_API DWORD fnVR_GetProgramItemText(void* handle, int pg, char* out, DWORD size);
VRMANGR_API DWORD fnVR_GetPLItemText(void* handle, int pl, char* out, DWORD size);
// The bytes of that item text as the text data manager holds them: the
// first `size` go into out (NULL when size is 0); returns how many there
// are (0 when it names none, and for no such program or playlist). Some
// recorders keep their own binary records there, which no character set
// decodes.
VRMANGR_API DWORD fnVR_GetProgramItemBytes(void* handle, int pg, BYTE* out, DWORD size);
VRMANGR_API DWORD fnVR_GetPLItemBytes(void* handle, int pl, BYTE* out, DWORD size);
// Sets the title of program pg or playlist pl from UTF-8 text, as
// recorders write it: the title in the disc's character set in the second
// half, and in the first a readable ASCII label made from it (accents
// dropped, other characters outside ASCII as '?', cut to 63 bytes; no
// label when not one ASCII letter or digit would remain), zeros elsewhere.
// "" clears both halves. 0, changing nothing, when there is no such program
// or playlist (VRO_ERR_NO_SUCH_ITEM), or the title is not UTF-8, holds a
// control character or a character the set lacks, takes more than 63 bytes
// in the set, or the set is unknown (VRO_ERR_BAD_ARGUMENT); the status
// (fnVR_MANGRGetLastStatus) names the character or the length. Unlike
// fnVR_SetPLText, which copies the bytes given into both halves.
VRMANGR_API int fnVR_SetProgramTitle(void* handle, int pg, const char* utf8);
VRMANGR_API int fnVR_SetPLTitle(void* handle, int pl, const char* utf8);
// Makes chrs (0x00 ASCII, 0x11 ISO 8859-1 or 0x12 Shift-JIS) the disc's
// character set, converting the labels and titles of every program and
// playlist to it: a half of ASCII bytes stays as it is, any other is
// decoded from the old set and encoded in the new. A disc made by the
// library has Shift-JIS, which lacks most accented letters; a title such as
// "Köln" needs ISO 8859-1. 0, changing nothing, when the code is unknown or
// a text cannot be converted (VRO_ERR_BAD_ARGUMENT, the status saying
// which).
VRMANGR_API int fnVR_SetCharacterSet(void* handle, BYTE chrs);

// ---- Entry-point texts (for exports that name chapters) ----

// The text of entry point ep (numbered through the chain) of playlist pl,
// or of the original chain for pl 0: the title half of the PRM_TXTI its
// EP_TY says it carries, else the label half, decoded to NUL-terminated
// UTF-8 as the program titles are, into out when size is large enough.
// Returns the size the text needs with its NUL ("" and 1 for an entry
// point without text; out may be NULL to ask), 0 when there is no such
// entry point.
VRMANGR_API DWORD fnVR_GetEntryPtText(void* handle, int pl, int ep, char* out, DWORD size);

#ifdef VRMANGR_OWN_TYPE_NAMES
#undef VRMANGR_OWN_TYPE_NAMES
#pragma pop_macro("BYTE")
#pragma pop_macro("WORD")
#pragma pop_macro("DWORD")
#pragma pop_macro("__int64")
#pragma pop_macro("SYSTEMTIME")
#endif

#endif
