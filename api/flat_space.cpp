// The flat interface's unused stream space: the sectors an edit gave up, and
// what the last save gave back of them.
#include "api/flat_call.h"
#include "api/vrmangr.h"

using vrm::FlatCall;

int fnVR_ReleaseStreamSectors(void* handle, int still, DWORD first, DWORD count) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.",
                    [&](CVR_MANGR& m) { return m.fnRelease_Stream_Sectors(still, first, count); });
}

int fnVR_GetReleasedSpace(void* handle, VR_RELEASED_SPACE* out) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No record to fill was given.", [&](CVR_MANGR& m) {
        if (!out) return 0;
        const CVR_MANGR::ReleasedSpace& r = m.fnGetReleasedSpace();
        *out = VR_RELEASED_SPACE{};
        out->llMovieBytes = static_cast<__int64>(r.released[0]);
        out->llStillBytes = static_cast<__int64>(r.released[1]);
        out->llMovieUnsupported = static_cast<__int64>(r.unsupported[0]);
        out->llStillUnsupported = static_cast<__int64>(r.unsupported[1]);
        out->dwFailedRuns = r.failedRuns;
        out->llFailedBytes = static_cast<__int64>(r.failedBytes);
        return 1;
    });
}
