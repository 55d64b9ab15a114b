// The flat interface of recovery: finding the recordings a movie stream
// file, or the still pictures a still stream file, holds without tables, and
// registering one where it lies.
#include <new>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "stream/still_scan.h"

using vrm::FlatCall;

namespace {

int Scan(void* handle, const char* path, DWORD firstSector, ProgressCallback progress, bool still) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No stream file was named.", [&](CVR_MANGR& m) {
        m.m_Found.clear();
        if (!path || !*path) return 0;
        try {
            vrm::AnalysisError error;
            if (still ? vrm::ScanStillStream(path, firstSector, progress, handle, &m.m_Found, &error)
                      : vrm::ScanMovieStream(path, firstSector, progress, handle, &m.m_Found, &error))
                return 1;
            m.m_Found.clear();
            return m.fnFail(error.code, std::string(path) + " " + error.reason + ".");
        } catch (const std::bad_alloc&) {
            m.m_Found.clear();
            return m.fnFail(VRO_ERR_OUT_OF_MEMORY, std::string(path) + " cannot be scanned for lack of memory.");
        }
    });
}

}  // namespace

int fnVR_ScanStreamFile(void* handle, const char* path, DWORD firstSector, ProgressCallback progress) {
    return Scan(handle, path, firstSector, progress, false);
}

int fnVR_ScanStillStreamFile(void* handle, const char* path, DWORD firstSector, ProgressCallback progress) {
    return Scan(handle, path, firstSector, progress, true);
}

DWORD fnVR_GetFoundCount(void* handle) {
    if (!handle) return 0;
    return static_cast<DWORD>(vrm::Manager(handle)->m_Found.size());
}

int fnVR_GetFound(void* handle, DWORD index, VR_FOUND_STRETCH* out) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "There is no such stretch.", [&](CVR_MANGR& m) {
        if (!out || index >= m.m_Found.size()) return 0;
        *out = m.m_Found[index];
        return 1;
    });
}

int fnVR_AddRecordedRange(void* handle, DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "The recording could not be added.",
                    [&](CVR_MANGR& m) { return m.fnADD_Recorded_Range(firstSector, sectors, progress); });
}

int fnVR_AddRecordedStillRange(void* handle, DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "The still pictures could not be added.",
                    [&](CVR_MANGR& m) { return m.fnADD_Recorded_Still_Range(firstSector, sectors, progress); });
}
