// The flat query functions: thin forwarders to CVR_MANGR's query members.
#include <cstring>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"

using vrm::FlatCall;

int fnVR_GetPLCount(void* handle) {
    return FlatCall(handle, VRO_OK, "", [&](CVR_MANGR& m) { return m.fnGetPLCount(); });
}

int fnVR_GetPLInfo(void* handle, int pl, DVDPGCINFO* info, int mode) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLInfo(pl, info, mode); });
}

int fnVR_GetOPGCInfo(void* handle, DVDPGCINFO* info, int mode) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCInfo(info, mode); });
}

int fnVR_GetOPGCPGInfo(void* handle, int pg, DVDPGINFO* info, int mode) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCPGInfo(pg, info, mode); });
}

int fnVR_GetOPGCCellInfo(void* handle, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCCellInfo(pg, cell, s, firstFrame, lastFrame); });
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int ep) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCCellNsofEntryPt(ep); });
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int pg, int cell, int ep) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCCellNsofEntryPt(pg, cell, ep); });
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int ep, seg* s, int follow) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCEntryPtInfo(ep, s, follow); });
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int pg, int cell, int ep, seg* s, int follow) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetOPGCEntryPtInfo(pg, cell, ep, s, follow); });
}

int fnVR_GetPLCellInfo(void* handle, int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLCellInfo(pl, cell, s, firstFrame, lastFrame); });
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int ep) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLCellNsofEntryPt(pl, ep); });
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int cell, int ep) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLCellNsofEntryPt(pl, cell, ep); });
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int ep, seg* s, int follow) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLEntryPtInfo(pl, ep, s, follow); });
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int cell, int ep, seg* s, int follow) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "No such program, playlist, cell or entry point.",
                    [&](CVR_MANGR& m) { return m.fnGetPLEntryPtInfo(pl, cell, ep, s, follow); });
}

DWORD fnVR_GetTableDump(void* handle, char* out, DWORD size) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.", [&](CVR_MANGR& m) -> DWORD {
        std::string text;
        if (!m.fnDumpTables(&text) || text.size() >= 0xFFFFFFFFu) return 0;
        const DWORD needed = static_cast<DWORD>(text.size() + 1);
        if (out && size >= needed) std::memcpy(out, text.c_str(), needed);
        return needed;
    });
}
