// `vrmangr check` and `vrmangr repair`.
//
// check reads the directory (check_disc.h) and reports, as problems (exit
// 1): a management file that is missing, does not load or whose tables
// disagree with each other; an IFO and a BUP that differ; recordings that
// share sectors or run past the end of their stream file; with --deep,
// recordings that do not begin where the tables say (check_deep.h). As
// warnings (exit 0): sectors between recordings that none uses, and the
// leftovers of an interrupted save (temporary files, data behind the last
// recording). It writes nothing into the directory.
//
// repair restores the copy that should be kept over the other and removes
// the leftovers; it never replaces a copy that describes more recorded data
// with one that describes less unless --from names the copy to keep.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "check_deep.h"
#include "check_disc.h"
#include "cli.h"

namespace fs = std::filesystem;

namespace tool {
namespace {

// Inconsistencies printed per copy, and overlaps and gaps per stream,
// before the rest are only counted.
const size_t kShownViolations = 10;
const size_t kShownPairs = 5;

std::string Bytes(uint64_t n) { return Count(static_cast<long long>(n), "byte", "bytes"); }
std::string Sectors(uint64_t n) { return Count(static_cast<long long>(n), "sector", "sectors"); }

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

const StreamFile& FileOf(const DiscState& d, bool still) { return still ? d.still : d.movie; }
const StreamView& ViewOf(const CopyVerdict& c, bool still) { return still ? c.still : c.movie; }

// ---- Which copy is restored over which ----

struct TablePlan {
    const CopyVerdict* from = nullptr;  // its bytes replace those of `to`
    const CopyVerdict* to = nullptr;
    std::string why;  // why `from` is kept, when that is not plain
    std::string refusal;  // why nothing can be restored although the copies need it
    // Where two whole copies differ that the stream files cannot settle,
    // side by side (printed before the refusal).
    std::vector<std::string> differences;
};

// The fields in which the tables of two copies differ, from the dump of
// every field: "ORG_PGCI / CI 1 / EP_PTM: VR_MANGR.IFO 00 .. | VR_MANGR.BUP
// 00 ..", at most kShown of them; a table whose records were added or
// removed in one copy is named as such.
std::vector<std::string> FieldDifferences(const CopyVerdict& a, const CopyVerdict& b) {
    constexpr size_t kShown = 12;
    const auto dump = [](const CopyVerdict& c) {
        std::vector<std::string> lines;
        const DWORD size = fnVR_GetTableDump(c.Handle(), nullptr, 0);
        std::string text(size, '\0');
        if (size && fnVR_GetTableDump(c.Handle(), &text[0], size) == size) {
            text.resize(std::strlen(text.c_str()));
            size_t at = 0;
            for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
                lines.push_back(text.substr(at, end - at));
        }
        return lines;
    };
    const std::vector<std::string> x = dump(a), y = dump(b);
    std::vector<std::string> out;
    if (x.size() != y.size()) {
        out.push_back(a.name + " holds " + Count(static_cast<long long>(x.size()), "field", "fields") + " of tables, " +
                      b.name + " " + std::to_string(y.size()) + ": records were added or removed in one of them.");
    }
    // The headers of the records around a line ("ORG_PGCI", "  CI 1"), by
    // indentation.
    std::vector<std::string> path;
    size_t differing = 0;
    for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
        const std::string& line = x[i];
        const size_t indent = line.find_first_not_of(' ');
        const size_t depth = indent == std::string::npos ? 0 : indent / 2;
        if (!line.empty() && line.back() == ':') {
            path.resize(std::min(path.size(), depth));
            path.push_back(line.substr(indent, line.size() - indent - 1));
            continue;
        }
        if (line == y[i]) continue;
        if (++differing > kShown) continue;
        std::string where;
        for (size_t k = 0; k < std::min(path.size(), depth); ++k) where += path[k] + " / ";
        const size_t eq = line.find(" = "), eqY = y[i].find(" = ");
        const std::string field = line.substr(indent == std::string::npos ? 0 : indent, eq - indent);
        out.push_back(where + field + ": " + a.name + " " + (eq == std::string::npos ? line : line.substr(eq + 3)) +
                      " | " + b.name + " " + (eqY == std::string::npos ? y[i] : y[i].substr(eqY + 3)));
    }
    if (differing > kShown)
        out.push_back("and " + Count(static_cast<long long>(differing - kShown), "more field", "more fields") + ".");
    return out;
}

// An interrupted save writes both copies aside before it renames either: a
// scratch copy whose bytes are those of one copy marks it as the newer
// state. nullptr when no scratch copy tells.
const CopyVerdict* NewerBySave(const DiscState& d, std::string* scratch) {
    for (const TempFile& t : d.tempFiles) {
        std::ifstream in(InDir(d.dir, t.name.c_str()), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (const CopyVerdict* c : {&d.ifo, &d.bup}) {
            if (!bytes.empty() && bytes == c->bytes && d.Other(*c).bytes != bytes) {
                *scratch = t.name;
                return c;
            }
        }
    }
    return nullptr;
}

// Of two whole copies that describe the same recorded data but differ: the
// one the evidence supports (the scratch copy of an interrupted save, or
// the addresses of VOBUs and pictures checked against the stream files),
// else a refusal that lists the differences.
void PlanByEvidence(const DiscState& d, TablePlan& plan) {
    std::string scratch;
    if (const CopyVerdict* newer = NewerBySave(d, &scratch)) {
        plan.from = newer;
        plan.why = "an interrupted save left " + scratch + ", which holds the same tables: " + newer->name +
                   " is the newer state";
        return;
    }
    const long ifoMisplaced = PlacementFindings(d, d.ifo), bupMisplaced = PlacementFindings(d, d.bup);
    if (ifoMisplaced != bupMisplaced) {
        plan.from = ifoMisplaced < bupMisplaced ? &d.ifo : &d.bup;
        const CopyVerdict& other = d.Other(*plan.from);
        const long wrong = std::max(ifoMisplaced, bupMisplaced);
        plan.why =
            other.name + " places " + Count(wrong, "VOBU or picture", "VOBUs or pictures") +
            " where the stream files hold none, " + plan.from->name + " " +
            (std::min(ifoMisplaced, bupMisplaced) == 0 ? "none" : std::to_string(std::min(ifoMisplaced, bupMisplaced)));
        return;
    }
    plan.differences = FieldDifferences(d.ifo, d.bup);
    plan.refusal = std::string(kIfo) + " and " + kBup +
                   " are both whole and describe the same recorded data, but differ where the stream files cannot "
                   "tell which is right; 'vrmangr repair " +
                   d.dir + " --from ifo' (or --from bup) keeps the one you choose.";
}

std::string DataOf(const CopyVerdict& c) { return Sectors(c.RecordedSectors()) + " of recordings"; }

// Why the recordings of a copy that loads do not fit the stream files.
std::string WhyNotHeld(const CopyVerdict& c) {
    for (bool still : {false, true}) {
        const StreamView& v = ViewOf(c, still);
        const char* name = still ? kStillVro : kMovieVro;
        if (!v.Fits()) return c.name + " describes recordings that run past the end of " + name;
        if (!v.Holds()) return c.name + " describes recordings that share sectors of " + name;
    }
    return "the table addresses of " + c.name + " are out of order";
}

// Which copy to keep. A copy Open refuses (it does not load, or its tables
// disagree) never wins over one it takes. Of two it takes, the one whose
// recordings the stream files hold wins, then the one that describes more
// recorded data, then the IFO, which a save writes first.
TablePlan PlanTables(const DiscState& d, const CopyVerdict* forced) {
    TablePlan plan;
    if (d.identical && d.ifo.loads) {
        if (!d.ifo.Consistent()) {
            plan.refusal = std::string(kIfo) + " and " + kBup +
                           " are identical, with the same faults, so there is no whole copy to restore from.";
        }
        return plan;
    }
    const CopyVerdict& a = d.ifo;
    const CopyVerdict& b = d.bup;
    auto larger = [](const CopyVerdict& x, const CopyVerdict& y) -> const CopyVerdict& {
        return y.RecordedSectors() > x.RecordedSectors() ? y : x;
    };
    if (forced) {
        if (!forced->loads) {
            plan.refusal = "cannot restore from " + forced->name + ": it " + forced->damage + ".";
        } else {
            plan.from = forced;
            plan.why = "as --from asks";
        }
    } else if (a.Good() && b.Good() && a.RecordedSectors() != b.RecordedSectors()) {
        plan.from = &larger(a, b);
        const CopyVerdict& other = d.Other(*plan.from);
        plan.why = plan.from->name + " describes more recorded data: " + DataOf(*plan.from) + " against " +
                   std::to_string(other.RecordedSectors());
    } else if (a.Good() && b.Good()) {
        PlanByEvidence(d, plan);
    } else if (a.Good() || b.Good()) {
        const CopyVerdict& kept = a.Good() ? a : b;
        const CopyVerdict& other = d.Other(kept);
        if (other.loads && other.Holds() && other.RecordedSectors() > kept.RecordedSectors()) {
            plan.refusal = other.name + " describes more recorded data (" + DataOf(other) + ", " + kept.name + " " +
                           DataOf(kept) + ") but " + WhyNotHeld(other) + "; 'vrmangr repair " + d.dir + " --from " +
                           (&kept == &a ? "ifo" : "bup") + "' restores " + other.name + " from " + kept.name +
                           " all the same.";
        } else {
            plan.from = &kept;
            if (!other.loads) {
                plan.why = other.name + " " + other.damage;
            } else {
                plan.why = WhyNotHeld(other) + (other.RecordedSectors() > kept.RecordedSectors()
                                                    ? ", though it describes more recorded data"
                                                    : "");
            }
        }
    } else if (a.loads && b.loads) {
        // Recorded data is missing whichever copy is kept.
        plan.from = &larger(a, b);
        plan.why = "neither copy's recordings lie whole and apart in the stream files; " + plan.from->name +
                   " describes " + DataOf(*plan.from);
    } else if (a.loads || b.loads) {
        plan.from = a.loads ? &a : &b;
        const CopyVerdict& other = d.Other(*plan.from);
        plan.why = other.name + " " + other.damage;
    } else {
        plan.refusal = "neither " + InDir(d.dir, kIfo) + " nor its backup " + kBup +
                       " is whole and consistent, so there is nothing to restore from.";
    }
    if (plan.from) plan.to = &d.Other(*plan.from);
    return plan;
}

// ---- check ----

struct Report {
    std::vector<std::string> problems;
    std::vector<std::string> warnings;
    bool leftovers = false;
    uint64_t freeSectors = 0;  // between recordings, reading as zeros: space an edit gave back
};

// Whether bytes [offset, offset + length) of the file at path read as zeros:
// holes are skipped without reading, the data between them is read.
bool ReadsAsZeros(const std::string& path, uint64_t offset, uint64_t length) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<char> buffer(1 << 20);
    const uint64_t end = offset + length;
    bool zeros = true;
    for (uint64_t at = offset; zeros && at < end;) {
        const off_t data = lseek(fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0 || static_cast<uint64_t>(data) >= end) break;  // a hole to the end (or past the file)
        const off_t hole = lseek(fd, data, SEEK_HOLE);
        const uint64_t stop = std::min<uint64_t>(end, hole < 0 ? end : static_cast<uint64_t>(hole));
        for (at = static_cast<uint64_t>(data); zeros && at < stop;) {
            const ssize_t n =
                pread(fd, buffer.data(), std::min<uint64_t>(buffer.size(), stop - at), static_cast<off_t>(at));
            if (n <= 0) {
                zeros = false;
                break;
            }
            zeros = std::all_of(buffer.data(), buffer.data() + n, [](char c) { return c == 0; });
            at += static_cast<uint64_t>(n);
        }
    }
    close(fd);
    return zeros;
}

void ReportCopies(const DiscState& d, Report& r) {
    std::vector<const CopyVerdict*> copies = {&d.ifo};
    if (!d.identical) copies.push_back(&d.bup);
    for (const CopyVerdict* c : copies) {
        const std::string label = d.identical ? std::string(kIfo) + " (and the identical " + kBup + ")" : c->name;
        if (!c->loads && c->violations.empty()) {
            r.problems.push_back(label + " " + c->damage + ".");
            continue;
        }
        for (size_t i = 0; i < c->violations.size() && i < kShownViolations; ++i) {
            r.problems.push_back(label + ": " + c->violations[i]);
        }
        if (c->violations.size() > kShownViolations) {
            r.problems.push_back(label + ": and " + std::to_string(c->violations.size() - kShownViolations) +
                                 " more inconsistencies.");
        }
    }
    if (d.identical || !d.ifo.loads || !d.bup.loads) return;
    // Both load but differ: how.
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
    std::string text = std::string(kIfo) + " and " + kBup + " both load but differ";
    if (how.empty()) {
        text += " in their contents; " + Join(same) + " agree";
    } else {
        text += " (IFO / BUP): " + Join(how) + (same.empty() ? "" : "; " + Join(same) + " agree");
    }
    const uint64_t ifoData = d.ifo.RecordedSectors(), bupData = d.bup.RecordedSectors();
    if (ifoData != bupData) {
        text += ". " + std::string(ifoData > bupData ? kIfo : kBup) + " describes more recorded data";
    } else {
        text += ". Both describe the same recorded data";
    }
    if (const CopyVerdict* current = d.Current()) text += "; the disc is read from " + current->name;
    r.problems.push_back(text + ".");
}

void ReportStream(const DiscState& d, const CopyVerdict& current, bool still, Report& r) {
    const StreamFile& file = FileOf(d, still);
    const StreamView& view = ViewOf(current, still);
    const std::string name = file.name;
    if (!view.Fits()) {
        const std::string whose = "(" + ListRecordings(still, view.beyondEnd) + ")";
        if (!file.present) {
            r.problems.push_back(name + " is missing; the recordings of " + current.name + " need " +
                                 Bytes(view.RecordedEndBytes()) + " of it " + whose + ".");
        } else {
            r.problems.push_back(name + " is " + Bytes(file.bytes) + " long, shorter than the " +
                                 Bytes(view.RecordedEndBytes()) + " its recordings reach: " +
                                 Bytes(view.MissingBytes()) + " of recorded data are missing " + whose + ".");
        }
    }
    std::map<WORD, const VR_STREAM_EXTENT*> byNumber;
    for (const VR_STREAM_EXTENT& e : view.extents) byNumber[e.wNumber] = &e;
    auto place = [&](WORD n) {
        const auto it = byNumber.find(n);
        std::string text = RecordingName(still, n);
        if (it != byNumber.end()) {
            text += " (" + SectorRun(it->second->dwStart, it->second->dwSectors) + ")";
        }
        return text;
    };
    for (size_t i = 0; i < view.overlaps.size() && i < kShownPairs; ++i) {
        r.problems.push_back(name + ": " + place(view.overlaps[i].wFirst) + " and " + place(view.overlaps[i].wSecond) +
                             " share sectors.");
    }
    if (view.overlaps.size() > kShownPairs) {
        r.problems.push_back(name + ": and " + std::to_string(view.overlaps.size() - kShownPairs) +
                             " more pairs of recordings share sectors.");
    }
    uint64_t unshownSectors = 0;
    size_t shown = 0;
    for (const VR_SECTOR_RUN& g : view.gaps) {
        // Sectors that read as zeros hold nothing: the space a delete or an
        // erase gave back (or that was never written), which an add reuses.
        if (file.present && ReadsAsZeros(InDir(d.dir, file.name), uint64_t{g.dwStart} * kSectorBytes,
                                         uint64_t{g.dwSectors} * kSectorBytes)) {
            r.freeSectors += g.dwSectors;
            continue;
        }
        if (shown++ >= kShownPairs) {
            unshownSectors += g.dwSectors;
            continue;
        }
        r.warnings.push_back(name + ": " + SectorRun(g.dwStart, g.dwSectors) + " (" + Sectors(g.dwSectors) +
                             ") lie before the last recording but belong to none.");
    }
    if (shown > kShownPairs) {
        r.warnings.push_back(name + ": and " + std::to_string(shown - kShownPairs) + " more unused runs (" +
                             Sectors(unshownSectors) + ").");
    }
}

// Whether repair removes the data behind the last recording of a stream:
// only when the kept tables' recordings lie whole and apart inside it, and
// both copies load (a copy that does not may have described that data).
// Otherwise *why says why it stays.
bool TrailingRemovable(const DiscState& d, const CopyVerdict* kept, bool still, std::string* why) {
    if (!kept || !ViewOf(*kept, still).Holds()) {
        *why = "repair leaves it while the recordings of the stream are not whole and apart";
        return false;
    }
    if (!d.ifo.loads || !d.bup.loads) {
        const CopyVerdict& unread = d.ifo.loads ? d.bup : d.ifo;
        *why = "it may belong to a recording only " + unread.name + " described, which " + unread.damage;
        return false;
    }
    return true;
}

// What one stretch behind the last described recording holds, for check.
std::string StretchText(const DiscState& d, const VR_FOUND_STRETCH& s) {
    if (s.dwKind == VR_FOUND_RECORDING) {
        return FoundWhat(s) + " at " + FoundSpan(s) + " that the tables do not describe: 'vrmangr adopt " + d.dir +
               "' registers it";
    }
    if (s.dwKind == VR_FOUND_STILLS) {
        return FoundWhat(s) + " at " + FoundSpan(s) + " that the tables do not describe: 'vrmangr adopt " + d.dir +
               "' registers them";
    }
    return FoundSpan(s) + " hold no recording (" + std::string(s.szText) + ")";
}

void ReportLeftovers(const DiscState& d, const CopyVerdict* kept, Report& r) {
    for (bool still : {false, true}) {
        const uint64_t trailing = d.TrailingBytes(still);
        if (trailing == 0) continue;
        const std::string name = FileOf(d, still).name;
        const std::string head = name + " holds " + Bytes(trailing) +
                                 " behind its last recording (which ends at byte " +
                                 std::to_string(d.DescribedEndBytes(still)) + ")";
        std::string why;
        if (!TrailingRemovable(d, kept, still, &why)) {
            r.warnings.push_back(head + "; " + why + ".");
            continue;
        }
        const Undescribed u = FindUndescribed(d, still);
        if (!u.scanned) {
            r.warnings.push_back(head +
                                 "; it could not be read to tell whether it holds recordings, so repair keeps it.");
            continue;
        }
        const uint64_t keep = u.KeepEnd();
        if (u.misaligned) {
            r.warnings.push_back(head + ": MPEG packs that begin " + std::to_string(u.misaligned) +
                                 " bytes into their sectors (a recording whose first bytes are missing?); kept, and "
                                 "'vrmangr extract " +
                                 d.dir + " --undescribed -d DIR' writes it out.");
            continue;
        }
        if (u.explainedEnd == u.start && keep == u.start) {
            // Nothing in it is a recording.
            r.leftovers = true;
            r.warnings.push_back(head + ": a leftover of an interrupted save.");
            continue;
        }
        if (u.explainedEnd > u.start) {
            r.warnings.push_back(name + ": " + ByteSpan(u.start, u.explainedEnd) +
                                 " are the part an interrupted save wrote (" + u.explainedBy + " describes it)" +
                                 (keep > u.explainedEnd ? "; kept while recordings follow." : ": a leftover."));
            if (keep <= u.explainedEnd) r.leftovers = true;
        }
        for (const VR_FOUND_STRETCH& s : u.found) {
            const bool behind = static_cast<uint64_t>(s.llFirstByte) >= keep;
            if (!HoldsRecording(s) && behind) r.leftovers = true;
            r.warnings.push_back(name + ": " + StretchText(d, s) +
                                 (HoldsRecording(s) ? "."
                                  : behind          ? ": a leftover."
                                                    : "; kept while recordings follow."));
        }
    }
    for (const TempFile& t : d.tempFiles) {
        r.leftovers = true;
        r.warnings.push_back(t.name + " (" + Bytes(t.bytes) + ") is a leftover of an interrupted save.");
    }
}

// A recording (or creation) time that names no moment: a month, day, hour,
// minute or second out of range. All zeros is no time at all, as some
// recorders leave it.
bool NamesNoMoment(DWORD year, DWORD month, DWORD day, DWORD hour, DWORD minute, DWORD second) {
    if (year == 0 && month == 0 && day == 0 && hour == 0 && minute == 0 && second == 0) return false;
    static const DWORD kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return true;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day > (month == 2 && !leap ? 28 : kDays[month - 1]);
}

// The recording times of the programs and the creation times of the
// playlists that are no dates: info shows them as the disc holds them, and
// a program that sorts or names files by them goes wrong.
void ReportDates(const CopyVerdict& copy, Report& r) {
    void* h = copy.Handle();
    if (!h) return;
    const auto check = [&r](const std::string& what, const auto& i) {
        if (!NamesNoMoment(i.dwYear, i.dwMonth, i.dwDay, i.dwHour, i.dwMinute, i.dwSecond)) return;
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(i.dwYear), unsigned(i.dwMonth),
                      unsigned(i.dwDay), unsigned(i.dwHour), unsigned(i.dwMinute), unsigned(i.dwSecond));
        r.warnings.push_back(what + text + " is not a date.");
    };
    DVDPGCINFO chain{};
    fnVR_GetOPGCInfo(h, &chain, 2);
    for (DWORD p = 1; p <= chain.dwCount; ++p) {
        DVDPGINFO info{};
        if (fnVR_GetOPGCPGInfo(h, static_cast<int>(p), &info, 0))
            check("program " + std::to_string(p) + ": its recording time ", info);
    }
    const int playlists = fnVR_GetPLCount(h);
    for (int pl = 1; pl <= playlists; ++pl) {
        DVDPGCINFO info{};
        if (fnVR_GetPLInfo(h, pl, &info, 0)) check("playlist " + std::to_string(pl) + ": its creation time ", info);
    }
}

bool ParseDir(const Args& args, const std::vector<std::string>& words, std::string* dir, int* status) {
    if (words.size() != 1) {
        *status = UsageError(args.command, "expects one directory.");
        return false;
    }
    *dir = words[0];
    if (!IsDirectory(*dir)) {
        *status = Fail(*dir + " is not a directory.");
        return false;
    }
    return true;
}

// Reads dir for check and repair; false, with the sentence printed, when it
// holds no disc or its management files cannot be judged.
bool ReadDiscOrFail(const std::string& dir, DiscState* d) {
    *d = ReadDisc(dir);
    if (!d->ifo.present && !d->bup.present && !d->tempFiles.empty()) {
        // A save (or a recovery) that was killed before it renamed its first
        // management file into place: its scratch files are all there is.
        std::string names;
        for (const TempFile& t : d->tempFiles) names += (names.empty() ? "" : ", ") + t.name;
        return Fail(dir + " holds no DVD-VR disc: " + kIfo + " and " + kBup + " are missing, and " + names +
                    (d->tempFiles.size() == 1 ? " is a leftover" : " are leftovers") +
                    " of an interrupted save; 'vrmangr recover " + dir +
                    "' rebuilds the disc from its stream files and removes them."),
               false;
    }
    if (!d->ifo.present && !d->bup.present) return FailNoDisc(dir), false;
    if (d->Unjudged()) {
        return Fail("no scratch directory can be made under $TMPDIR (or /tmp) to judge the management files of " + dir +
                    "."),
               false;
    }
    return true;
}

// ---- repair ----

// Writes bytes as path: a unique temporary file beside it
// (<name>.tmp-XXXXXX), forced to disc and renamed over it, so a crash
// leaves the old or the new file, and no two processes share a temporary
// file. The file keeps the mode of the one it replaces.
bool WriteFileSafely(const std::string& path, const std::vector<char>& bytes) {
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return false;
    const std::string temp = name.data();
    struct stat st {};
    const mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    bool ok = fchmod(fd, mode) == 0;
    for (size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    // The rename itself reaches the disc with the directory.
    const std::string dir = fs::path(path).parent_path().string();
    const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

// Cuts the stream file to `length` bytes and forces the cut to disc.
bool CutStream(const std::string& path, uint64_t length) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::ftruncate(fd, static_cast<off_t>(length)) == 0 && ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// One repair of the disc in dir as read into d: what it does, or with
// --dry-run would do.
struct Repair {
    const std::string& dir;
    const DiscState& d;
    bool dry, discard;
    bool changed = false;  // something was (or would be) changed

    std::string Said(const std::string& done, const std::string& would) const { return dry ? would : done; }
};

// Writes the good copy of the tables over the other; kOk, or the failure
// reported. What only the replaced copy described stays in the streams,
// for now: each stream behind what the good copy describes is named.
int RestoreCopy(Repair& r, const TablePlan& plan) {
    const std::string target = InDir(r.dir, plan.to->name.c_str());
    if (!r.dry && !WriteFileSafely(target, plan.from->bytes)) return Fail(target + " could not be written.");
    std::printf("%s: %s %s from %s (%s).\n", r.dir.c_str(), plan.to->name.c_str(),
                r.Said("restored", "would be restored").c_str(), plan.from->name.c_str(), plan.why.c_str());
    r.changed = true;
    for (bool still : {false, true}) {
        const uint64_t keptEnd = ViewOf(*plan.from, still).RecordedEndBytes();
        const StreamFile& file = FileOf(r.d, still);
        if (!plan.to->loads || ViewOf(*plan.to, still).RecordedEndBytes() <= keptEnd || file.bytes <= keptEnd) continue;
        std::printf(
            "%s: the recordings only %s described stay in %s behind byte %llu; 'vrmangr adopt %s' registers "
            "them again, 'vrmangr repair %s --discard-undescribed' removes them.\n",
            r.dir.c_str(), plan.to->name.c_str(), file.name, static_cast<unsigned long long>(keptEnd), r.dir.c_str(),
            r.dir.c_str());
    }
    return kOk;
}

// Says why the trailing bytes of the stream (or some of them) stay.
void SayTrailingKept(const Repair& r, const StreamFile& file, uint64_t trailing, const Undescribed& u, uint64_t end) {
    const long recordings = u.Recordings();
    if (u.misaligned && !r.discard) {
        std::printf(
            "%s: the %s behind the last recording of %s are kept: they hold MPEG packs that begin %ld "
            "bytes into their sectors.\n",
            r.dir.c_str(), Bytes(trailing).c_str(), file.name, u.misaligned);
    } else if (!u.scanned) {
        std::printf(
            "%s: the %s behind the last recording of %s are kept: they could not be read to tell "
            "whether they hold recordings.\n",
            r.dir.c_str(), Bytes(trailing).c_str(), file.name);
    } else if (recordings && !r.discard) {
        std::printf(
            "%s: %s behind the last recording of %s that the tables do not describe %s kept (%s); "
            "'vrmangr adopt %s' registers them, 'vrmangr repair %s --discard-undescribed' removes "
            "them.\n",
            r.dir.c_str(), Count(recordings, "recording", "recordings").c_str(), file.name,
            recordings == 1 ? "is" : "are", ByteSpan(u.start, end).c_str(), r.dir.c_str(), r.dir.c_str());
    }
}

// Data behind the last recording that either copy describes belongs to
// none: what holds no recording goes, a recording stays unless the user
// asks for it to go. kOk, or the failure reported.
int TrimTrailing(Repair& r, const CopyVerdict* kept, bool still) {
    const uint64_t trailing = r.d.TrailingBytes(still);
    if (trailing == 0) return kOk;
    const StreamFile& file = FileOf(r.d, still);
    std::string why;
    if (!TrailingRemovable(r.d, kept, still, &why)) {
        std::printf("%s: the %s behind the last recording of %s are kept: %s.\n", r.dir.c_str(),
                    Bytes(trailing).c_str(), file.name, why.c_str());
        return kOk;
    }
    const Undescribed u = FindUndescribed(r.d, still);
    if (Interrupted()) return Fail("cancelled while reading " + InDir(r.dir, file.name) + "; nothing was changed.");
    const long recordings = u.Recordings();
    const uint64_t end = r.discard && u.scanned ? u.start : u.KeepEnd();
    if (end < file.bytes) {
        if (!r.dry && !CutStream(InDir(r.dir, file.name), end))
            return Fail(InDir(r.dir, file.name) + " could not be cut.");
        std::printf("%s: %s the %s behind %s of %s (it %s at byte %llu)%s.\n", r.dir.c_str(),
                    r.Said("removed", "would remove").c_str(), Bytes(file.bytes - end).c_str(),
                    end == u.start ? "the last recording" : "the last recording the tables do not describe", file.name,
                    r.Said("now ends", "would end").c_str(), static_cast<unsigned long long>(end),
                    (r.discard && recordings ? ", with " + Count(recordings, "recording", "recordings") +
                                                   " the tables did not describe, as --discard-undescribed asks"
                                             : std::string())
                        .c_str());
        r.changed = true;
    }
    SayTrailingKept(r, file, trailing, u, end);
    return kOk;
}

// Removes the leftovers of interrupted saves; kOk, or the failure reported.
int RemoveTempFiles(Repair& r) {
    for (const TempFile& t : r.d.tempFiles) {
        if (!r.dry && std::remove(InDir(r.dir, t.name.c_str()).c_str()) != 0)
            return Fail(InDir(r.dir, t.name.c_str()) + " could not be removed.");
        std::printf("%s: %s %s, a leftover of an interrupted save.\n", r.dir.c_str(),
                    r.Said("removed", "would remove").c_str(), t.name.c_str());
        r.changed = true;
    }
    return kOk;
}

}  // namespace

int RunCheck(const Args& args) {
    std::vector<std::string> words, deepOption, maps;
    std::string dir;
    int status = kOk;
    if (!ParseOptions(args,
                      {{"--deep", nullptr, nullptr, &deepOption}, {"--map", nullptr, "a ddrescue map file", &maps}},
                      &words, &status))
        return status;
    const bool deep = !deepOption.empty();
    // A disc image or a drive (or an image with its map) is read through
    // its UDF file system.
    if (words.size() == 1 && (!maps.empty() || (Exists(words[0]) && !IsDirectory(words[0]))))
        return CheckImage(words[0], maps.empty() ? "" : maps.back(), deep);
    if (!ParseDir(args, words, &dir, &status)) return status;
    // The reader's lock while the directory is read, so that a save is not
    // met half-done; a writer that keeps it longer (a long add) is not
    // waited for.
    DiscLock lock;
    lock.Take(dir, Access::Read);
    DiscState d;
    const bool read = ReadDiscOrFail(dir, &d);
    lock.Release();
    if (!read) return kFailed;

    Report r;
    if (lock.WriterActive()) {
        r.warnings.push_back("another vrmangr process is changing " + dir +
                             "; what it is writing may show as leftovers until it has finished.");
    }
    ReportCopies(d, r);
    const CopyVerdict* current = d.Current();
    if (current) {
        ReportStream(d, *current, false, r);
        ReportStream(d, *current, true, r);
        ReportDates(*current, r);
        // Without --deep, three units of each recording are read where the
        // tables place them.
        if (deep ? !DeepCheck(d, *current, &r.problems) : !QuickPlacementCheck(d, *current, &r.problems)) {
            return Fail("cancelled while reading the stream files of " + dir + "; nothing was changed.");
        }
    }
    const TablePlan plan = PlanTables(d, nullptr);
    ReportLeftovers(d, plan.from ? plan.from : current, r);

    if (r.problems.empty() && r.warnings.empty()) {
        const long cells = current ? current->cells : 0;
        const std::string free =
            r.freeSectors ? ", " + HumanBytes(r.freeSectors * kSectorBytes) + " free between recordings" : "";
        std::printf("%s: no problems found (%s and %s valid and identical, %s, stream files complete%s%s).\n",
                    dir.c_str(), kIfo, kBup, Count(cells, "cell", "cells").c_str(), free.c_str(),
                    deep ? ", every sector of every recording read where its tables place it" : "");
        return kOk;
    }
    if (r.problems.empty()) {
        std::printf("%s: %s:\n", dir.c_str(),
                    Count(static_cast<long>(r.warnings.size()), "warning", "warnings").c_str());
    } else {
        std::printf("%s: %s found:\n", dir.c_str(),
                    Count(static_cast<long>(r.problems.size()), "problem", "problems").c_str());
    }
    for (const std::string& p : r.problems) std::printf("  - %s\n", p.c_str());
    for (const std::string& w : r.warnings) std::printf("  - warning: %s\n", w.c_str());
    if (plan.from) {
        std::printf("'vrmangr repair %s' restores %s from %s (%s).\n", dir.c_str(), plan.to->name.c_str(),
                    plan.from->name.c_str(), plan.why.c_str());
    } else if (!plan.refusal.empty() && !d.identical) {
        for (const std::string& line : plan.differences) std::printf("  %s\n", line.c_str());
        std::printf("%s\n", plan.refusal.c_str());
    }
    if (r.leftovers) std::printf("'vrmangr repair %s' removes the leftovers.\n", dir.c_str());
    if (r.problems.empty()) return kOk;
    return Fail(dir + " failed the check.");
}

int RunRepair(const Args& args) {
    std::vector<std::string> words, fromOption, discardOption, dryOption;
    std::string dir;
    int status = kOk;
    if (!ParseOptions(args,
                      {{"--from", nullptr, "ifo or bup", &fromOption},
                       {"--discard-undescribed", nullptr, nullptr, &discardOption},
                       {"--dry-run", nullptr, nullptr, &dryOption}},
                      &words, &status))
        return status;
    const bool discard = !discardOption.empty(), dry = !dryOption.empty();
    const std::string from = fromOption.empty() ? "" : fromOption.back();
    if (!fromOption.empty() && from != "ifo" && from != "bup") {
        return UsageError(args.command, "--from takes ifo or bup, not '" + from + "'.");
    }
    if (!ParseDir(args, words, &dir, &status)) return status;
    // The writer's lock from before the directory is read until the end: no
    // save runs meanwhile, and no temporary file removed is still in use.
    DiscLock lock;
    DiscState d;
    if (!lock.Take(dir) || !ReadDiscOrFail(dir, &d)) return kFailed;

    const CopyVerdict* forced = from.empty() ? nullptr : from == "ifo" ? &d.ifo : &d.bup;
    const TablePlan plan = PlanTables(d, forced);
    // What no copy of the tables can mend is refused before anything is
    // changed: a repair either leaves a sound disc or the disc as it was.
    if (!plan.refusal.empty()) {
        for (const std::string& line : plan.differences) std::printf("%s: %s\n", dir.c_str(), line.c_str());
        return Fail(plan.refusal);
    }
    const CopyVerdict* kept = plan.from ? plan.from : d.Current();
    if (kept && !kept->Holds()) {
        return Fail("what is wrong with " + dir +
                    " (recorded data missing from a stream file, or recordings that share sectors) is beyond repair; "
                    "'vrmangr check " +
                    dir + "' lists it.");
    }
    Repair r{dir, d, dry, discard};
    if (plan.from && (status = RestoreCopy(r, plan)) != kOk) return status;
    for (bool still : {false, true}) {
        if ((status = TrimTrailing(r, kept, still)) != kOk) return status;
    }
    if ((status = RemoveTempFiles(r)) != kOk) return status;
    if (!r.changed) {
        std::printf("%s: %s and %s are valid and identical; nothing to repair.\n", dir.c_str(), kIfo, kBup);
    }
    return kOk;
}

}  // namespace tool
