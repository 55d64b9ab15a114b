// One sector read at each place the tables say a recording, a VOBU or a
// still picture begins. The reads follow the stream in rising order, one per
// VOBU, so a stream of gigabytes takes a few ten thousand reads.
#include "check/placement.h"

#include "platform/file.h"
#include "query/unit_starts.h"
#include "stream/CVRO_DATA.h"
#include "stream/pack_check.h"

namespace vrm {

RecordingFindings::~RecordingFindings() {
    if (m_count > kShownPerRecording && m_out) {
        Push(false, 0, 0,
             m_prefix + ": and " + Count(m_count - kShownPerRecording, "more place", "more places") +
                 " where it does not hold what its tables say.");
    }
}

void RecordingFindings::Add(uint64_t start, uint64_t end, const std::string& text) {
    ++*m_total;
    if (++m_count <= kShownPerRecording && m_out) Push(true, start, end, m_prefix + text);
}

void RecordingFindings::Push(bool ranged, uint64_t start, uint64_t end, std::string text) {
    CheckFinding f;
    f.kind = m_kind;
    f.file = m_file;
    f.hasRange = ranged;
    f.start = start;
    f.end = end;
    f.text = std::move(text);
    m_out->push_back(std::move(f));
}

namespace {

// The units a sampled check reads of a recording of n: the first, the
// middle and the last. Data inserted into or cut out of a stream file moves
// every recording behind the place, so their units no longer begin where
// the tables say: three reads per recording find that.
bool Sampled(size_t i, size_t n) { return i == 0 || i == n / 2 || i + 1 == n; }

// One stream's recordings, read unit by unit.
struct StreamPass {
    const DiscState& disc;
    bool still;
    bool everyUnit;
    std::vector<CheckFinding>* out;  // null: only counted
    long* total;
    uint64_t* done;
    uint64_t all;

    bool Step() {
        ++*done;
        const DWORD scale = all > 0xFFFFFFFFu ? 16 : 0;  // the callback counts in 32 bits
        return !disc.progress || disc.progress(disc.context, VRO_PROGRESS_ANALYSE, static_cast<DWORD>(*done >> scale),
                                               static_cast<DWORD>(all >> scale), 1) != 0;
    }
    // A finding about unit i (from 0) of a recording at sector, whose first
    // unit carries a navigation pack when navigation is set; none when
    // the sector holds what the tables say.
    std::string Judge(size_t i, uint64_t sector, const BYTE* p, size_t n, bool navigation) const;
    bool Run(const std::vector<std::vector<uint64_t>>& recordings);
};

std::string StreamPass::Judge(size_t i, uint64_t sector, const BYTE* p, size_t n, bool navigation) const {
    const std::string at = std::to_string(sector);
    if (still) {
        if (IsPackHeader(p, n)) return "";
        if (i == 0) return " does not begin with an MPEG pack header at its start sector " + at + " (S_VOG_SA).";
        return ": picture " + std::to_string(i + 1) + " does not begin with an MPEG pack header at sector " + at + ".";
    }
    if (i == 0 && !IsPackHeader(p, n))
        return " does not begin with an MPEG pack header at its start sector " + at + " (ADR_OFS of its time map).";
    if (i == 0) return "";
    const std::string vobu = ": VOBU " + std::to_string(i + 1);
    if (!IsPackHeader(p, n))
        return vobu + " does not begin with an MPEG pack header at sector " + at + ", where its time map places it.";
    if (navigation && !CarriesNavigation(p, n))
        return vobu + " at sector " + at + " holds no navigation pack, though the VOB's first VOBU begins with one.";
    return "";
}

bool StreamPass::Run(const std::vector<std::vector<uint64_t>>& recordings) {
    const char* name = still ? kStillName : kMovieName;
    File stream;
    if (!stream.Open(disc.PathOf(name).c_str(), File::Mode::ReadExisting))
        return true;  // a missing stream is the coverage check's finding
    BYTE sector[kCheckSector];
    for (size_t r = 0; r < recordings.size(); ++r) {
        RecordingFindings findings(out, FindingKind::kPlacement, name,
                                   std::string(name) + ": " + RecordingName(still, static_cast<WORD>(r + 1)), total);
        bool navigation = false;
        const std::vector<uint64_t>& units = recordings[r];
        for (size_t i = 0; i < units.size(); ++i) {
            if (!everyUnit && !Sampled(i, units.size())) continue;
            if (!Step()) return false;
            const int64_t n = stream.ReadAt(units[i] * kCheckSector, sector, sizeof sector);
            if (n <= 0) continue;
            if (i == 0) navigation = CarriesNavigation(sector, static_cast<size_t>(n));
            const std::string text = Judge(i, units[i], sector, static_cast<size_t>(n), navigation);
            if (!text.empty()) findings.Add(units[i] * kCheckSector, (units[i] + 1) * kCheckSector, text);
        }
    }
    return true;
}

// Where the units of each recording of one stream begin, in table order.
std::vector<std::vector<uint64_t>> AllUnitStarts(const CopyVerdict& copy, bool still) {
    std::vector<std::vector<uint64_t>> starts;
    const CVR_MANGR* m = copy.Tables();
    if (!m || !m->m_pModel) return starts;
    for (size_t n = 0; n < copy.View(still).use.extents.size(); ++n)
        starts.push_back(UnitStarts(*m->m_pModel, still, n));
    return starts;
}

bool Pass(const DiscState& disc, const CopyVerdict& copy, bool everyUnit, std::vector<CheckFinding>* out, long* total) {
    const std::vector<std::vector<uint64_t>> vobs = AllUnitStarts(copy, false), vogs = AllUnitStarts(copy, true);
    uint64_t all = 0, done = 0;
    for (const auto* recordings : {&vobs, &vogs}) {
        for (const std::vector<uint64_t>& units : *recordings) all += everyUnit ? units.size() : 3;
    }
    StreamPass movie{disc, false, everyUnit, out, total, &done, all};
    StreamPass stills{disc, true, everyUnit, out, total, &done, all};
    return movie.Run(vobs) && stills.Run(vogs);
}

}  // namespace

bool CheckPlacement(const DiscState& disc, const CopyVerdict& copy, bool everyUnit,
                    std::vector<CheckFinding>* findings) {
    long total = 0;
    return !copy.Tables() || Pass(disc, copy, everyUnit, findings, &total);
}

long PlacementFindings(const DiscState& disc, const CopyVerdict& copy) {
    long total = 0;
    if (copy.Tables() && !Pass(disc, copy, true, nullptr, &total)) return -1;
    return total;
}

}  // namespace vrm
