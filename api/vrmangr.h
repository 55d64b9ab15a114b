// vrmangr: create, open, edit and save the management information of DVD-VR
// recording directories (VR_MANGR.IFO and its backup VR_MANGR.BUP).
//
// The flat interface: every function takes the handle made by
// fnVR_MANGRBegin as its first argument and returns 0 on failure (every
// function given a null handle returns 0 and touches nothing). The classes
// behind the handle are exported too, with all their members.
//
// Calling order: fnVR_MANGRBegin; fnVR_MANGRNew or fnVR_MANGROpen; adds,
// edits and queries; fnVR_MANGRSave; fnVR_MANGREnd.
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
// Opens the disc in dir: VR_MANGR.IFO, or VR_MANGR.BUP when the IFO is
// missing or damaged. 0 when neither is a valid management file.
VRMANGR_API int fnVR_MANGROpen(void* handle, const char* dir);
// Appends the recordings added since the last save to the stream files and
// writes VR_MANGR.IFO and VR_MANGR.BUP. cb reports the append's progress and
// may be NULL.
VRMANGR_API int fnVR_MANGRSave(void* handle, ProgressCallback cb);
// The stream library's error code of the handle's last failed save of the
// movie stream; 0 when there was none (and for a null handle).
VRMANGR_API DWORD fnVR_MANGRGetLastError(void* handle);

// ---- Registering recordings and still pictures ----

// ---- Queries ----

// ---- Editing ----

#endif
