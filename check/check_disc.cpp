// The check of a recording directory, as findings. Damage (the check
// fails): a management file that is missing, does not load or whose tables
// disagree with each other; an IFO and a BUP that differ; recordings that
// share sectors, run past the end of their stream file or do not begin
// where the tables say, and (the deep check) sectors of a recording that
// hold no sound MPEG pack. Warnings: sectors between recordings that none uses
// and that hold data, dates that are none, and the leftovers of an
// interrupted save (temporary files, data behind the last recording).
#include <algorithm>
#include <map>

#include "check/check.h"
#include "check/disc_state.h"
#include "check/placement.h"
#include "check/plan.h"
#include "io/errors.h"
#include "platform/file.h"

namespace vrm {

size_t CheckReport::Count(Severity severity) const {
    size_t n = 0;
    for (const CheckFinding& f : findings) n += f.severity == severity ? 1 : 0;
    return n;
}

namespace {

// Inconsistencies named per copy, and overlaps and gaps per stream, before
// the rest are only counted.
const size_t kShownViolations = 10;
const size_t kShownPairs = 5;

std::string Bytes(uint64_t n) { return vrm::Count(static_cast<long long>(n), "byte", "bytes"); }
std::string Sectors(uint64_t n) { return vrm::Count(static_cast<long long>(n), "sector", "sectors"); }

// `count` sectors from `first`, both ends named: "sector 7", "sectors 7 to 9".
std::string SectorRun(uint64_t first, uint64_t count) {
    if (count <= 1) return "sector " + std::to_string(first);
    return "sectors " + std::to_string(first) + " to " + std::to_string(first + count - 1);
}

// "VOB 1, VOB 2 and VOB 3"; beyond five, "VOB 1, ..., VOB 5 and 7 more".
std::string ListRecordings(bool still, const std::vector<WORD>& numbers) {
    std::string text;
    const size_t shown = std::min<size_t>(numbers.size(), 5);
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0) text += (i + 1 == numbers.size()) ? " and " : ", ";
        text += RecordingName(still, numbers[i]);
    }
    if (numbers.size() > shown) text += " and " + std::to_string(numbers.size() - shown) + " more";
    return text;
}

// Collects the findings of one check.
struct Findings {
    CheckReport& report;

    CheckFinding& Add(Severity severity, FindingKind kind, const std::string& file, std::string text) {
        CheckFinding f;
        f.severity = severity;
        f.kind = kind;
        f.file = file;
        f.text = std::move(text);
        report.findings.push_back(std::move(f));
        return report.findings.back();
    }
    void AddRanged(Severity severity, FindingKind kind, const std::string& file, uint64_t start, uint64_t end,
                   std::string text) {
        CheckFinding& f = Add(severity, kind, file, std::move(text));
        f.hasRange = true;
        f.start = start;
        f.end = end;
    }
};

void ReportCopyFaults(const DiscState& d, Findings& out) {
    std::vector<const CopyVerdict*> copies = {&d.ifo};
    if (!d.identical) copies.push_back(&d.bup);
    for (const CopyVerdict* c : copies) {
        const std::string label =
            d.identical ? std::string(kIfoName) + " (and the identical " + kBupName + ")" : c->name;
        if (!c->loads && c->violations.empty()) {
            out.Add(Severity::kDamage, FindingKind::kCopy, c->name, label + " " + c->damage + ".");
            continue;
        }
        for (size_t i = 0; i < c->violations.size() && i < kShownViolations; ++i) {
            out.Add(Severity::kDamage, FindingKind::kTables, c->name, label + ": " + c->violations[i]);
        }
        if (c->violations.size() > kShownViolations) {
            out.Add(
                Severity::kDamage, FindingKind::kTables, c->name,
                label + ": and " + std::to_string(c->violations.size() - kShownViolations) + " more inconsistencies.");
        }
    }
}

// Both copies load but differ: how.
void ReportDifference(const DiscState& d, Findings& out) {
    struct Quantity {
        const char* what;
        uint64_t ifo, bup;
    };
    const Quantity quantities[] = {
        {"recordings", static_cast<uint64_t>(d.ifo.recordings), static_cast<uint64_t>(d.bup.recordings)},
        {"programs", static_cast<uint64_t>(d.ifo.programs), static_cast<uint64_t>(d.bup.programs)},
        {"playlists", static_cast<uint64_t>(d.ifo.playlists), static_cast<uint64_t>(d.bup.playlists)},
        {"recorded sectors", d.ifo.RecordedSectors(), d.bup.RecordedSectors()},
        {"file size", d.ifo.bytes.size(), d.bup.bytes.size()},
    };
    std::vector<std::string> how, same;
    for (const Quantity& q : quantities) {
        if (q.ifo != q.bup) {
            how.push_back(std::string(q.what) + " " + std::to_string(q.ifo) + " / " + std::to_string(q.bup));
        } else {
            same.push_back(std::string(q.what) + " " + std::to_string(q.ifo));
        }
    }
    std::string text = std::string(kIfoName) + " and " + kBupName + " both load but differ";
    if (how.empty()) {
        text += " in their contents; " + Join(same) + " agree";
    } else {
        text += " (IFO / BUP): " + Join(how) + (same.empty() ? "" : "; " + Join(same) + " agree");
    }
    const uint64_t ifoData = d.ifo.RecordedSectors(), bupData = d.bup.RecordedSectors();
    if (ifoData != bupData) {
        text += ". " + std::string(ifoData > bupData ? kIfoName : kBupName) + " describes more recorded data";
    } else {
        text += ". Both describe the same recorded data";
    }
    if (const CopyVerdict* current = d.Current()) text += "; the disc is read from " + current->name;
    out.Add(Severity::kDamage, FindingKind::kCopiesDiffer, "", text + ".");
}

void ReportMissing(const StreamFile& file, const CopyVerdict& current, const StreamView& view, bool still,
                   Findings& out) {
    const std::string whose = "(" + ListRecordings(still, view.beyondEnd) + ")";
    const std::string name = file.name;
    const uint64_t size = file.present ? file.bytes : 0;
    if (!file.present) {
        out.AddRanged(Severity::kDamage, FindingKind::kMissingData, name, 0, view.RecordedEndBytes(),
                      name + " is missing; the recordings of " + current.name + " need " +
                          Bytes(view.RecordedEndBytes()) + " of it " + whose + ".");
    } else {
        out.AddRanged(Severity::kDamage, FindingKind::kMissingData, name, size, view.RecordedEndBytes(),
                      name + " is " + Bytes(file.bytes) + " long, shorter than the " + Bytes(view.RecordedEndBytes()) +
                          " its recordings reach: " + Bytes(view.use.qwMissingBytes) +
                          " of recorded data are missing " + whose + ".");
    }
}

void ReportOverlaps(const StreamView& view, bool still, const std::string& name, Findings& out) {
    std::map<WORD, const VR_STREAM_EXTENT*> byNumber;
    for (const VR_STREAM_EXTENT& e : view.use.extents) byNumber[e.wNumber] = &e;
    auto place = [&](WORD n) {
        const auto it = byNumber.find(n);
        std::string text = RecordingName(still, n);
        if (it != byNumber.end()) text += " (" + SectorRun(it->second->dwStart, it->second->dwSectors) + ")";
        return text;
    };
    auto bytes = [&](WORD n, bool end) -> uint64_t {
        const auto it = byNumber.find(n);
        if (it == byNumber.end()) return 0;
        return (uint64_t{it->second->dwStart} + (end ? it->second->dwSectors : 0)) * kCheckSector;
    };
    for (size_t i = 0; i < view.use.overlaps.size() && i < kShownPairs; ++i) {
        const WORD a = view.use.overlaps[i].first, b = view.use.overlaps[i].second;
        out.AddRanged(Severity::kDamage, FindingKind::kOverlap, name, std::max(bytes(a, false), bytes(b, false)),
                      std::min(bytes(a, true), bytes(b, true)),
                      name + ": " + place(a) + " and " + place(b) + " share sectors.");
    }
    if (view.use.overlaps.size() > kShownPairs) {
        out.Add(Severity::kDamage, FindingKind::kOverlap, name,
                name + ": and " + std::to_string(view.use.overlaps.size() - kShownPairs) +
                    " more pairs of recordings share sectors.");
    }
}

// Runs of sectors before the last recording that none uses: those that
// read as zeros hold nothing (the space a delete or an erase gave back, or
// that was never written, which an add reuses); the others are warnings.
void ReportGaps(const DiscState& d, const StreamFile& file, const StreamView& view, Findings& out) {
    File stream;
    const bool open = file.present && stream.Open(d.PathOf(file.name).c_str(), File::Mode::ReadExisting);
    const std::string name = file.name;
    uint64_t unshownSectors = 0;
    size_t shown = 0;
    for (const VR_SECTOR_RUN& g : view.use.gaps) {
        const uint64_t start = uint64_t{g.dwStart} * kCheckSector, length = uint64_t{g.dwSectors} * kCheckSector;
        // Sectors behind the end of the file hold nothing either.
        bool zeros = file.present && start >= file.bytes;
        if (!zeros && open) {
            bool read = false;
            zeros = stream.ReadsAsZeros(start, std::min(length, file.bytes - start), &read) && read;
        }
        if (zeros) {
            out.report.freeBytes += length;
            continue;
        }
        if (shown++ >= kShownPairs) {
            unshownSectors += g.dwSectors;
            continue;
        }
        out.AddRanged(Severity::kWarning, FindingKind::kUnused, name, start, start + length,
                      name + ": " + SectorRun(g.dwStart, g.dwSectors) + " (" + Sectors(g.dwSectors) +
                          ") lie before the last recording but belong to none.");
    }
    if (shown > kShownPairs) {
        out.Add(Severity::kWarning, FindingKind::kUnused, name,
                name + ": and " + std::to_string(shown - kShownPairs) + " more unused runs (" +
                    Sectors(unshownSectors) + ").");
    }
}

void ReportStream(const DiscState& d, const CopyVerdict& current, bool still, Findings& out) {
    const StreamFile& file = d.File(still);
    const StreamView& view = current.View(still);
    if (!view.Fits()) ReportMissing(file, current, view, still, out);
    ReportOverlaps(view, still, file.name, out);
    ReportGaps(d, file, view, out);
}

}  // namespace

// Defined with the leftovers (leftovers.cpp): false when progress cancelled
// the scan.
bool ReportLeftovers(const DiscState& d, const CopyVerdict* kept, CheckReport& report);
void ReportDates(const CopyVerdict& copy, CheckReport& report);

namespace {

// The notes on what a repair would do, from the plan.
void ReportPlan(const DiscState& d, const TablePlan& plan, CheckReport& report) {
    Findings out{report};
    if (plan.from) {
        report.restoreFrom = plan.from == &d.ifo ? kIfoCopy : kBupCopy;
        report.restoreWhy = plan.why;
    } else if (!plan.refusal.empty() && !d.identical) {
        for (const std::string& line : plan.differences) out.Add(Severity::kNote, FindingKind::kDifference, "", line);
        out.Add(Severity::kNote, FindingKind::kRefusal, "", plan.refusal);
    }
}

bool Cancelled(const std::string& dir, Status* status) {
    status->Set(VRO_ERR_CANCELLED, "cancelled while reading the stream files of " + dir + "; nothing was changed.");
    return false;
}

}  // namespace

bool CheckDisc(const std::string& dir, const CheckOptions& options, ProgressCallback progress, void* context,
               CheckReport* out, Status* status) {
    *out = CheckReport{};
    // The reader's lock while the management files are read, so that a save
    // is not met half-done; a writer that keeps it longer (a long add) is
    // not waited for.
    DiscState d;
    d.progress = progress;
    d.context = context;
    CVR_MANGR lock;
    const bool busy =
        !lock.fnLockDirectory(dir.c_str(), 0, options.lockWaitMs) && lock.fnGetLastStatus().code == VRO_ERR_LOCKED;
    const bool read = ReadDisc(dir, &d, status);
    lock.fnUnlockDirectory();
    if (!read) return false;

    Findings findings{*out};
    if (busy) {
        findings.Add(Severity::kWarning, FindingKind::kBusy, "",
                     "another vrmangr process is changing " + dir +
                         "; what it is writing may show as leftovers until it has finished.");
    }
    ReportCopyFaults(d, findings);
    if (!d.identical && d.ifo.loads && d.bup.loads) ReportDifference(d, findings);
    out->identical = d.identical;
    const CopyVerdict* current = d.Current();
    if (current) {
        out->readFrom = current == &d.ifo ? kIfoCopy : kBupCopy;
        out->cells = current->cells;
        for (bool still : {false, true}) {
            out->extents[still] = current->View(still).use.extents;
            ReportStream(d, *current, still, findings);
        }
        ReportDates(*current, *out);
        if (!CheckPlacement(d, *current, options.everyUnit, &out->findings)) return Cancelled(dir, status);
        if (options.deep && !CheckSectors(d, out->extents, &out->findings)) return Cancelled(dir, status);
    }
    const TablePlan plan = PlanTables(d, nullptr);
    if (plan.cancelled) return Cancelled(dir, status);
    if (!ReportLeftovers(d, plan.from ? plan.from : current, *out)) return Cancelled(dir, status);
    ReportPlan(d, plan, *out);
    return true;
}

}  // namespace vrm
