// What lies behind the last recording the tables describe: the part an
// interrupted save appended (which its scratch copy of the tables
// describes), recordings and still pictures a scan finds, and data that
// holds neither.
#include <algorithm>
#include <cstring>
#include <fstream>

#include "check/disc_state.h"
#include "io/errors.h"
#include "stream/analysis.h"
#include "stream/recording_scan.h"
#include "stream/still_scan.h"

namespace vrm {
namespace {

// What a scan finds in a stream file from byte `from` (a sector boundary)
// to its end. False when it cannot be scanned (*cancelled when progress
// stopped it).
bool ScanBehind(const DiscState& d, const std::string& path, bool still, uint64_t from,
                std::vector<VR_FOUND_STRETCH>* found, bool* cancelled) {
    found->clear();
    AnalysisError error;
    const uint64_t first = from / kCheckSector;
    const bool scanned = still ? ScanStillStream(path.c_str(), first, d.progress, d.context, found, &error)
                               : ScanMovieStream(path.c_str(), first, d.progress, d.context, found, &error);
    *cancelled = !scanned && error.code == VRO_ERR_CANCELLED;
    if (!scanned) found->clear();
    return scanned;
}

}  // namespace

long MisalignedPacks(const std::string& path, uint64_t from, uint64_t to) {
    std::ifstream in(path, std::ios::binary);
    if (!in || to <= from) return 0;
    const uint64_t n = std::min<uint64_t>(to - from, 8 << 20);
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    in.seekg(static_cast<std::streamoff>(from));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<size_t>(in.gcount()));
    std::vector<long> at(kCheckSector, 0);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xBA)
            ++at[(from + i) % kCheckSector];
    }
    const long best = static_cast<long>(std::max_element(at.begin() + 1, at.end()) - at.begin());
    // Packs of 2048 bytes: in a stream cut short at its front nearly every
    // sector holds one, all at the same place; stray start codes do not line
    // up like that.
    const long sectors = static_cast<long>(bytes.size() / kCheckSector);
    return at[static_cast<size_t>(best)] >= std::max<long>(4, sectors / 2) && at[static_cast<size_t>(best)] > 4 * at[0]
               ? best
               : 0;
}

uint64_t Undescribed::KeepEnd() const {
    if (!scanned || misaligned) return end;
    uint64_t keep = start;
    for (const VR_FOUND_STRETCH& s : found) {
        if (HoldsRecording(s)) keep = std::max(keep, static_cast<uint64_t>(s.llFirstByte + s.llBytes));
    }
    return keep;
}

long Undescribed::Recordings() const {
    return static_cast<long>(std::count_if(found.begin(), found.end(), HoldsRecording));
}

Undescribed FindUndescribed(const DiscState& d, bool still) {
    Undescribed u;
    const StreamFile& file = d.File(still);
    u.start = d.DescribedEndBytes(still);
    u.end = file.present ? std::max(file.bytes, u.start) : u.start;
    u.explainedEnd = u.start;
    if (u.end == u.start) return u;
    // A save writes both management files aside before it appends: the
    // scratch copy of one that was interrupted describes what it appended.
    for (const TempFile& t : d.tempFiles) {
        if (t.name.compare(0, std::strlen(kIfoName), kIfoName) != 0 &&
            t.name.compare(0, std::strlen(kBupName), kBupName) != 0)
            continue;
        const CopyVerdict v = JudgeCopy(d, t.name);
        if (!v.loads) continue;
        const uint64_t end = std::min(u.end, v.View(still).RecordedEndBytes());
        if (end > u.explainedEnd) {
            u.explainedEnd = end;
            u.explainedBy = t.name;
        }
    }
    const std::string path = d.PathOf(file.name);
    if (u.explainedEnd < u.end && u.end - u.explainedEnd >= kCheckSector)
        u.scanned = ScanBehind(d, path, still, u.explainedEnd, &u.found, &u.cancelled);
    if (u.scanned && u.Recordings() == 0) u.misaligned = MisalignedPacks(path, u.explainedEnd, u.end);
    return u;
}

}  // namespace vrm
