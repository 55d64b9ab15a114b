// `vrmangr check --deep`: every sector of every recording read and checked
// for a pack header (and, in the movie stream, a clock that runs on; see
// PackCheck), and one sector read at each place the tables say a
// recording, a VOBU or a still picture begins. There the stream holds a
// pack header (00 00 01 BA); zeros or other data do not. A program stream
// has a pack header in every sector, though, so the stream of another
// recording passes that test: but a recording divided by navigation packs
// (its first VOBU begins with one) has one at the start of every VOBU, and
// another recording's VOBUs begin elsewhere. The reads follow the stream in
// rising order, one per VOBU, so a stream of gigabytes takes a few ten
// thousand reads.
#include "check_deep.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "packs.h"

namespace tool {
namespace {

const size_t kSector = kSectorBytes;
// Findings printed per recording before the rest are only counted.
const long kShownPerRecording = 3;

// A stream file opened for reading only.
class StreamReader {
public:
    explicit StreamReader(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~StreamReader() {
        if (m_fd >= 0) ::close(m_fd);
    }
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;
    bool IsOpen() const { return m_fd >= 0; }
    // Reads the sector into m_sector; the bytes read (fewer at the end of
    // the file, 0 behind it).
    size_t Read(uint64_t sector) {
        size_t done = 0;
        while (done < kSector) {
            const ssize_t n =
                ::pread(m_fd, m_sector + done, kSector - done, static_cast<off_t>(sector * kSector + done));
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
    const BYTE* Sector() const { return m_sector; }

private:
    int m_fd;
    BYTE m_sector[kSector];
};

// The findings about one recording: the first few, then how many more.
class RecordingFindings {
public:
    RecordingFindings(std::vector<std::string>* out, std::string prefix, long* total = nullptr)
        : m_out(out), m_prefix(std::move(prefix)), m_total(total) {}
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
        if (m_total) ++*m_total;
        if (++m_count <= kShownPerRecording) m_out->push_back(m_prefix + text);
    }

private:
    std::vector<std::string>* m_out;
    std::string m_prefix;
    long* m_total;
    long m_count = 0;
};

// Counts the places read, for the progress bar, and asks it whether Ctrl-C
// was pressed.
class Tally {
public:
    explicit Tally(uint64_t total) : m_total(total) {}
    bool Step() {
        ++m_done;
        return Progress(nullptr, 0, Scaled(m_done), Scaled(m_total), 1) != 0;
    }

private:
    // The callback counts in 32 bits.
    DWORD Scaled(uint64_t n) const {
        return m_total > 0xFFFFFFFFu ? static_cast<DWORD>(n >> 16) : static_cast<DWORD>(n);
    }
    uint64_t m_total;
    uint64_t m_done = 0;
};

// The units a quick check reads of a recording of n: the first, the middle
// and the last. Data inserted into or cut out of a stream file moves every
// recording behind the place, so their units no longer begin where the
// tables say: three reads per recording find that.
bool Sampled(size_t i, size_t n) { return i == 0 || i == n / 2 || i + 1 == n; }

// Where the units (VOBUs or pictures) of each recording of one stream
// begin, in table order.
std::vector<std::vector<__int64>> UnitStarts(void* h, bool still) {
    std::vector<std::vector<__int64>> starts;
    VR_STREAM_USE use{};
    if (!fnVR_GetStreamUse(h, still ? 1 : 0, &use, nullptr, 0, nullptr, 0, nullptr, 0)) return starts;
    for (DWORD n = 1; n <= use.dwExtents; ++n) {
        const int number = static_cast<int>(n);
        std::vector<__int64> units(fnVR_GetUnitStarts(h, still ? 1 : 0, number, nullptr, 0));
        fnVR_GetUnitStarts(h, still ? 1 : 0, number, units.data(), static_cast<DWORD>(units.size()));
        starts.push_back(std::move(units));
    }
    return starts;
}

// Each VOB's VOBUs: the first begins with a pack header at ADR_OFS, every
// other where the time map places it, with a navigation pack when the
// first one has one.
bool CheckMovie(const DiscState& disc, const std::vector<std::vector<__int64>>& vobs, Tally& tally,
                std::vector<std::string>* problems, long* total = nullptr, bool sampled = false) {
    StreamReader stream(InDir(disc.dir, kMovieVro));
    if (!stream.IsOpen()) return true;  // a missing stream is the coverage check's finding
    for (size_t v = 0; v < vobs.size(); ++v) {
        RecordingFindings findings(
            problems, std::string(kMovieVro) + ": " + RecordingName(false, static_cast<WORD>(v + 1)), total);
        bool navigation = false;
        for (size_t i = 0; i < vobs[v].size(); ++i) {
            if (sampled && !Sampled(i, vobs[v].size())) continue;
            if (!tally.Step()) return false;
            const uint64_t sector = static_cast<uint64_t>(vobs[v][i]);
            const size_t n = stream.Read(sector);
            if (n == 0) continue;
            const BYTE* p = stream.Sector();
            if (i == 0) {
                navigation = CarriesNavigation(p, n);
                if (!IsPackHeader(p, n)) {
                    findings.Add(" does not begin with an MPEG pack header at its start sector " +
                                 std::to_string(sector) + " (ADR_OFS of its time map).");
                }
            } else if (!IsPackHeader(p, n)) {
                findings.Add(": VOBU " + std::to_string(i + 1) + " does not begin with an MPEG pack header at sector " +
                             std::to_string(sector) + ", where its time map places it.");
            } else if (navigation && !CarriesNavigation(p, n)) {
                findings.Add(": VOBU " + std::to_string(i + 1) + " at sector " + std::to_string(sector) +
                             " holds no navigation pack, though the VOB's first VOBU begins with one.");
            }
        }
    }
    return true;
}

// Each VOG's pictures, from S_VOG_SA on, begin with a pack header.
bool CheckStills(const DiscState& disc, const std::vector<std::vector<__int64>>& vogs, Tally& tally,
                 std::vector<std::string>* problems, long* total = nullptr, bool sampled = false) {
    StreamReader stream(InDir(disc.dir, kStillVro));
    if (!stream.IsOpen()) return true;
    for (size_t g = 0; g < vogs.size(); ++g) {
        RecordingFindings findings(
            problems, std::string(kStillVro) + ": " + RecordingName(true, static_cast<WORD>(g + 1)), total);
        for (size_t i = 0; i < vogs[g].size(); ++i) {
            if (sampled && !Sampled(i, vogs[g].size())) continue;
            if (!tally.Step()) return false;
            const uint64_t sector = static_cast<uint64_t>(vogs[g][i]);
            const size_t n = stream.Read(sector);
            if (n == 0 || IsPackHeader(stream.Sector(), n)) continue;
            if (i == 0) {
                findings.Add(" does not begin with an MPEG pack header at its start sector " + std::to_string(sector) +
                             " (S_VOG_SA).");
            } else {
                findings.Add(": picture " + std::to_string(i + 1) +
                             " does not begin with an MPEG pack header at sector " + std::to_string(sector) + ".");
            }
        }
    }
    return true;
}

// Every sector of every recording, where the tables place it: a pack header
// in each, and (in VR_MOVIE.VRO) a clock that runs on within each VOBU.
bool CheckEverySector(const DiscState& disc, const CopyVerdict& copy, std::vector<std::string>* problems) {
    uint64_t total = 0;
    for (bool still : {false, true})
        for (const VR_STREAM_EXTENT& e : (still ? copy.still : copy.movie).extents) total += e.dwSectors;
    uint64_t done = 0;
    for (bool still : {false, true}) {
        const std::string path = InDir(disc.dir, still ? kStillVro : kMovieVro);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;  // a missing stream is the coverage check's finding
        PackCheck check;
        for (const VR_STREAM_EXTENT& e : (still ? copy.still : copy.movie).extents) {
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

bool DeepCheck(const DiscState& disc, const CopyVerdict& copy, std::vector<std::string>* problems) {
    void* h = copy.Handle();
    if (!h) return true;
    const std::vector<std::vector<__int64>> vobs = UnitStarts(h, false), vogs = UnitStarts(h, true);
    uint64_t total = 0;
    for (const auto* recordings : {&vobs, &vogs}) {
        for (const std::vector<__int64>& units : *recordings) total += units.size();
    }
    Tally tally(total);
    ProgressLabel("reading the streams of " + disc.dir);
    bool done = CheckMovie(disc, vobs, tally, problems) && CheckStills(disc, vogs, tally, problems);
    ProgressDone();
    if (!done) return false;
    ProgressLabel("reading every sector of the recordings of " + disc.dir);
    done = CheckEverySector(disc, copy, problems);
    ProgressDone();
    return done;
}

long PlacementFindings(const DiscState& disc, const CopyVerdict& copy) {
    void* h = copy.Handle();
    if (!h) return 0;
    const std::vector<std::vector<__int64>> vobs = UnitStarts(h, false), vogs = UnitStarts(h, true);
    uint64_t units = 0;
    for (const auto* recordings : {&vobs, &vogs}) {
        for (const std::vector<__int64>& u : *recordings) units += u.size();
    }
    Tally tally(units);
    std::vector<std::string> ignored;
    long total = 0;
    CheckMovie(disc, vobs, tally, &ignored, &total) && CheckStills(disc, vogs, tally, &ignored, &total);
    return total;
}

bool QuickPlacementCheck(const DiscState& disc, const CopyVerdict& copy, std::vector<std::string>* problems) {
    void* h = copy.Handle();
    if (!h) return true;
    const std::vector<std::vector<__int64>> vobs = UnitStarts(h, false), vogs = UnitStarts(h, true);
    Tally tally(3 * (vobs.size() + vogs.size()));
    return CheckMovie(disc, vobs, tally, problems, nullptr, true) &&
           CheckStills(disc, vogs, tally, problems, nullptr, true);
}

}  // namespace tool
