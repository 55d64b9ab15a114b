// `vrmangr check --deep`: every sector of every recording read and checked
// for a pack header (and, in the movie stream, a clock that runs on; see
// PackCheck), where the tables of the copy the library's check read the
// disc from place it. (The library's check has read the start of every
// VOBU and still picture before.)
#include "check_deep.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "check_disc.h"
#include "packs.h"

namespace tool {
namespace {

const uint64_t kSector = kSectorBytes;
// Findings printed per recording before the rest are only counted.
const long kShownPerRecording = 3;

// The findings about one recording: the first few, then how many more.
class RecordingFindings {
public:
    RecordingFindings(std::vector<std::string>* out, std::string prefix) : m_out(out), m_prefix(std::move(prefix)) {}
    ~RecordingFindings() {
        if (m_count > kShownPerRecording) {
            m_out->push_back(m_prefix + ": and " + Count(m_count - kShownPerRecording, "more place", "more places") +
                             " where it does not hold what its tables say.");
        }
    }
    RecordingFindings(const RecordingFindings&) = delete;
    RecordingFindings& operator=(const RecordingFindings&) = delete;
    // text follows the prefix ("VR_MOVIE.VRO: VOB 2").
    void Add(const std::string& text) {
        if (++m_count <= kShownPerRecording) m_out->push_back(m_prefix + text);
    }

private:
    std::vector<std::string>* m_out;
    std::string m_prefix;
    long m_count = 0;
};

// The VOBs (still false) or VOGs of the copy the last check read.
std::vector<VR_STREAM_EXTENT> Extents(void* h, bool still) {
    std::vector<VR_STREAM_EXTENT> extents(fnVR_GetCheckExtents(h, still ? 1 : 0, nullptr, 0));
    fnVR_GetCheckExtents(h, still ? 1 : 0, extents.data(), static_cast<DWORD>(extents.size()));
    return extents;
}

// Every sector of every recording, where the tables place it: a pack header
// in each, and (in VR_MOVIE.VRO) a clock that runs on within each VOBU.
bool CheckEverySector(void* h, const std::string& dir, std::vector<std::string>* problems) {
    const std::vector<VR_STREAM_EXTENT> extents[2] = {Extents(h, false), Extents(h, true)};
    uint64_t total = 0;
    for (bool still : {false, true})
        for (const VR_STREAM_EXTENT& e : extents[still]) total += e.dwSectors;
    uint64_t done = 0;
    for (bool still : {false, true}) {
        const std::string path = InDir(dir, still ? kStillVro : kMovieVro);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;  // a missing stream is the coverage check's finding
        PackCheck check;
        for (const VR_STREAM_EXTENT& e : extents[still]) {
            RecordingFindings findings(
                problems, std::string(still ? kStillVro : kMovieVro) + ": " + RecordingName(still, e.wNumber));
            const uint64_t start = uint64_t{e.dwStart} * kSector, end = start + uint64_t{e.dwSectors} * kSector;
            check.Begin(path, start, end);
            // In slices, for the progress bar and Ctrl-C.
            constexpr uint64_t kSlice = 32 << 20;
            for (uint64_t at = start; at < end; at += kSlice) {
                const uint64_t to = std::min(end, at + kSlice);
                CheckFileRange(fd, at, to, check);
                done += (to - at) / kSector;
                if (!Progress(nullptr, 0, static_cast<DWORD>(done >> 4), static_cast<DWORD>(total >> 4), 1)) {
                    ::close(fd);
                    return false;
                }
            }
            for (const DamagedRun& run : check.End()) findings.Add(": " + DamageText(run) + ".");
        }
        ::close(fd);
    }
    return true;
}

}  // namespace

bool DeepCheck(void* h, const std::string& dir, std::vector<std::string>* problems) {
    ProgressLabel("reading every sector of the recordings of " + dir);
    const bool done = CheckEverySector(h, dir, problems);
    ProgressDone();
    return done;
}

}  // namespace tool
