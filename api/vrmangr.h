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
// The stream library's error code of the handle's last failed save of the
// movie stream; 0 when there was none (and for a null handle).
VRMANGR_API DWORD fnVR_MANGRGetLastError(void* handle);

#endif
