// The deep check: every sector of every recording read where the tables of
// the copy the disc is read from place it, and checked for a pack header
// (and, in the movie stream, a clock that runs on; see PackCheck). The
// placement check has read the start of every VOBU and still picture
// before; this finds damage inside them.
#include <algorithm>

#include "check/placement.h"
#include "platform/file.h"
#include "stream/pack_check.h"

namespace vrm {
namespace {

// The stream is read in slices of this many bytes between the progress
// reports (where a cancel is noticed).
constexpr uint64_t kSlice = 32 << 20;

// Sectors read so far against all, reported in sixteens (the callback
// counts in 32 bits).
struct SectorProgress {
    const DiscState& disc;
    uint64_t done = 0, all = 0;

    bool Step(uint64_t sectors) {
        done += sectors;
        return !disc.progress || disc.progress(disc.context, VRO_PROGRESS_ANALYSE, static_cast<DWORD>(done >> 4),
                                               static_cast<DWORD>(all >> 4), 1) != 0;
    }
};

// One recording of the stream file open in fd, at path.
bool CheckRecording(int fd, const std::string& path, const VR_STREAM_EXTENT& e, bool still, SectorProgress& progress,
                    std::vector<CheckFinding>* findings) {
    const char* name = still ? kStillName : kMovieName;
    long total = 0;
    RecordingFindings found(findings, FindingKind::kDamagedSectors, name,
                            std::string(name) + ": " + RecordingName(still, e.wNumber), &total);
    const uint64_t start = uint64_t{e.dwStart} * kCheckSector, end = start + uint64_t{e.dwSectors} * kCheckSector;
    PackCheck check;
    check.Begin(path, start, end);
    for (uint64_t at = start; at < end; at += kSlice) {
        const uint64_t to = std::min(end, at + kSlice);
        // A read error ends the file's data early, as its end does: the
        // coverage check names what is missing.
        CheckFileRange(fd, at, to, check);
        if (!progress.Step((to - at) / kCheckSector)) return false;
    }
    for (const DamagedRun& run : check.End()) found.Add(run.start, run.end, ": " + DamageText(run) + ".");
    return true;
}

}  // namespace

bool CheckSectors(const DiscState& disc, const std::vector<VR_STREAM_EXTENT> (&extents)[2],
                  std::vector<CheckFinding>* findings) {
    SectorProgress progress{disc};
    for (bool still : {false, true})
        for (const VR_STREAM_EXTENT& e : extents[still]) progress.all += e.dwSectors;
    for (bool still : {false, true}) {
        const std::string path = disc.PathOf(still ? kStillName : kMovieName);
        File file;
        if (!file.Open(path.c_str(), File::Mode::ReadExisting))
            continue;  // a missing stream is the coverage check's finding
        for (const VR_STREAM_EXTENT& e : extents[still])
            if (!CheckRecording(file.Descriptor(), path, e, still, progress, findings)) return false;
    }
    return true;
}

}  // namespace vrm
