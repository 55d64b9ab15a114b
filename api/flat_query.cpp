// The flat query functions: thin forwarders to CVR_MANGR's query members.
#include "api/vrmangr.h"

namespace {

CVR_MANGR* Manager(void* handle) { return static_cast<CVR_MANGR*>(handle); }

}  // namespace

int fnVR_GetPLCount(void* handle) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLCount();
}

int fnVR_GetPLInfo(void* handle, int pl, DVDPGCINFO* info, int mode) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLInfo(pl, info, mode);
}

int fnVR_GetOPGCInfo(void* handle, DVDPGCINFO* info, int mode) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCInfo(info, mode);
}

int fnVR_GetOPGCPGInfo(void* handle, int pg, DVDPGINFO* info, int mode) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCPGInfo(pg, info, mode);
}

int fnVR_GetOPGCCellInfo(void* handle, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCCellInfo(pg, cell, s, firstFrame, lastFrame);
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCCellNsofEntryPt(ep);
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int pg, int cell, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCCellNsofEntryPt(pg, cell, ep);
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int ep, seg* s, int follow) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCEntryPtInfo(ep, s, follow);
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int pg, int cell, int ep, seg* s, int follow) {
    if (!handle) return 0;
    return Manager(handle)->fnGetOPGCEntryPtInfo(pg, cell, ep, s, follow);
}

int fnVR_GetPLCellInfo(void* handle, int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLCellInfo(pl, cell, s, firstFrame, lastFrame);
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLCellNsofEntryPt(pl, ep);
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int cell, int ep) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLCellNsofEntryPt(pl, cell, ep);
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int ep, seg* s, int follow) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLEntryPtInfo(pl, ep, s, follow);
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int cell, int ep, seg* s, int follow) {
    if (!handle) return 0;
    return Manager(handle)->fnGetPLEntryPtInfo(pl, cell, ep, s, follow);
}
