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
#ifndef VRMANGR_API_VRMANGR_H
#define VRMANGR_API_VRMANGR_H

#include "api/CVR_MANGR.h"
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
// Appends the recordings added since the last save to the stream files and
// writes VR_MANGR.IFO and VR_MANGR.BUP. cb reports the append's progress and
// may be NULL. Refused (nothing written) while the two management files
// describe different states of the disc (VRO_ERR_COPIES_DIFFER), and when a
// stream file holds data behind its last recording that the disc does not
// describe (VRO_ERR_TRAILING_DATA, in the stream object): that data is never
// written over or appended behind. With no recording added the stream files
// are not touched.
VRMANGR_API int fnVR_MANGRSave(void* handle, ProgressCallback cb);
// The stream library's error code of the handle's last failed save of the
// movie stream, of a refused save (VRO_ERR_COPIES_DIFFER), of a lock
// (VRO_ERR_LOCKED), or VRO_ERR_STREAM_SHORT after an Open that found
// recorded data missing; 0 when there was none (and for a null handle).
VRMANGR_API DWORD fnVR_MANGRGetLastError(void* handle);
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
// NULL. The file is copied into VR_MOVIE.VRO at the next Save.
VRMANGR_API int fnVR_AddMpegFile(void* handle, const char* fileName, ProgressCallback progress);

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

#endif
