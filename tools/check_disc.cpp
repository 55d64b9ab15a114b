// The scan behind the described end of a stream file, for the commands
// that find, write out or register what the tables do not describe.
#include "check_disc.h"

namespace tool {

std::string RecordingName(bool still, WORD number) {
    return std::string(still ? "VOG " : "VOB ") + std::to_string(number);
}

bool ScanBehind(const std::string& path, bool still, uint64_t from, std::vector<VR_FOUND_STRETCH>* found) {
    found->clear();
    void* h = fnVR_MANGRBegin();
    const DWORD first = static_cast<DWORD>(from / kSectorBytes);
    const int scanned = h && (still ? fnVR_ScanStillStreamFile(h, path.c_str(), first, Progress)
                                    : fnVR_ScanStreamFile(h, path.c_str(), first, Progress));
    if (scanned) {
        found->resize(fnVR_GetFoundCount(h));
        for (DWORD i = 0; i < found->size(); ++i) fnVR_GetFound(h, i, &(*found)[i]);
    }
    fnVR_MANGREnd(h);
    return scanned && !Interrupted();
}

// The undescribed stretches of one stream of the open disc: behind the
// highest end its tables describe. False after a failure it has reported.
bool FindUndescribedOf(void* h, const std::string& dir, bool still, std::vector<VR_FOUND_STRETCH>* found, int* status) {
    found->clear();
    VR_STREAM_USE use{};
    if (!fnVR_GetStreamUse(h, still ? 1 : 0, &use, nullptr, 0, nullptr, 0, nullptr, 0) || !use.dwFilePresent)
        return true;
    const uint64_t end = uint64_t{use.dwRecordedEnd} * kSectorBytes;
    if (static_cast<uint64_t>(use.llFileBytes) < end + kSectorBytes) return true;
    const std::string path = InDir(dir, still ? kStillVro : kMovieVro);
    ProgressLabel("scanning " + std::string(still ? kStillVro : kMovieVro));
    const bool scanned = ScanBehind(path, still, end, found);
    ProgressDone();
    if (scanned) return true;
    *status = Interrupted() ? Fail("cancelled while scanning " + path + "; " + dir + " was left as it was.")
                            : Fail(path + " could not be scanned; nothing was changed.");
    return false;
}

}  // namespace tool
