// The flat handle interface: thin forwarders to CVR_MANGR.
#include <new>

#include "api/vrmangr.h"

namespace {

CVR_MANGR* Manager(void* handle) { return static_cast<CVR_MANGR*>(handle); }

}  // namespace

void* fnVR_MANGRBegin(void) { return new (std::nothrow) CVR_MANGR(); }

void fnVR_MANGREnd(void* handle) { delete Manager(handle); }

DWORD fnVR_MANGRGetLastError(void* handle) {
    if (!handle) return 0;
    return Manager(handle)->m_dwLastError;
}

int fnVR_MANGRNew(void* handle, const char* dir) {
    if (!handle) return 0;
    return Manager(handle)->fnRTR_VMG_New(dir);
}

int fnVR_MANGROpen(void* handle, const char* dir) {
    if (!handle) return 0;
    return Manager(handle)->fnRTR_VMG_Open(dir);
}

int fnVR_MANGRSave(void* handle, ProgressCallback cb) {
    if (!handle) return 0;
    return Manager(handle)->fnRTR_VMG_Save(cb);
}

int fnVR_MANGRLock(void* handle, const char* dir, int exclusive, DWORD waitMs) {
    if (!handle) return 0;
    return Manager(handle)->fnLockDirectory(dir, exclusive, waitMs);
}

int fnVR_MANGRUnlock(void* handle) {
    if (!handle) return 0;
    Manager(handle)->fnUnlockDirectory();
    return 1;
}

int fnVR_AddMpegFile(void* handle, const char* fileName, ProgressCallback progress) {
    if (!handle) return 0;
    return Manager(handle)->fnADD_Movie_Program(fileName, progress);
}
