// Which copy is restored over which.
#include "check/plan.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "check/placement.h"
#include "io/errors.h"

namespace vrm {
namespace {

std::string Sectors(uint64_t n) { return Count(static_cast<long long>(n), "sector", "sectors"); }

std::vector<std::string> DumpLines(const CopyVerdict& c) {
    std::vector<std::string> lines;
    std::string text;
    CVR_MANGR* m = c.Tables();
    if (!m || !m->fnDumpTables(&text)) return lines;
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

// The fields in which the tables of two copies differ, from the dump of
// every field: "ORG_PGCI / CI 1 / EP_PTM: VR_MANGR.IFO 00 .. | VR_MANGR.BUP
// 00 ..", at most kShown of them; a table whose records were added or
// removed in one copy is named as such.
std::vector<std::string> FieldDifferences(const CopyVerdict& a, const CopyVerdict& b) {
    constexpr size_t kShown = 12;
    const std::vector<std::string> x = DumpLines(a), y = DumpLines(b);
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
        std::ifstream in(d.PathOf(t.name), std::ios::binary);
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
    const long ifoMisplaced = PlacementFindings(d, d.ifo);
    const long bupMisplaced = ifoMisplaced < 0 ? -1 : PlacementFindings(d, d.bup);
    if (bupMisplaced < 0) {
        plan.cancelled = true;
        return;
    }
    if (ifoMisplaced != bupMisplaced) {
        plan.from = ifoMisplaced < bupMisplaced ? &d.ifo : &d.bup;
        const CopyVerdict& other = d.Other(*plan.from);
        const long wrong = std::max(ifoMisplaced, bupMisplaced), right = std::min(ifoMisplaced, bupMisplaced);
        plan.why = other.name + " places " + Count(wrong, "VOBU or picture", "VOBUs or pictures") +
                   " where the stream files hold none, " + plan.from->name + " " +
                   (right == 0 ? "none" : std::to_string(right));
        return;
    }
    plan.differences = FieldDifferences(d.ifo, d.bup);
    plan.refusalCode = VRO_ERR_COPIES_DIFFER;
    plan.refusal = std::string(kIfoName) + " and " + kBupName +
                   " are both whole and describe the same recorded data, but differ where the stream files cannot "
                   "tell which is right; 'vrmangr repair " +
                   d.dir + " --from ifo' (or --from bup) keeps the one you choose.";
}

std::string DataOf(const CopyVerdict& c) { return Sectors(c.RecordedSectors()) + " of recordings"; }

// Why the recordings of a copy that loads do not fit the stream files.
std::string WhyNotHeld(const CopyVerdict& c) {
    for (bool still : {false, true}) {
        const StreamView& v = c.View(still);
        const char* name = still ? kStillName : kMovieName;
        if (!v.Fits()) return c.name + " describes recordings that run past the end of " + name;
        if (!v.Holds()) return c.name + " describes recordings that share sectors of " + name;
    }
    return "the table addresses of " + c.name + " are out of order";
}

// One copy is good, the other is not: the good one is kept, unless the
// other describes more recorded data that the streams hold.
void PlanFromGood(const DiscState& d, const CopyVerdict& kept, TablePlan& plan) {
    const CopyVerdict& other = d.Other(kept);
    if (other.loads && other.Holds() && other.RecordedSectors() > kept.RecordedSectors()) {
        plan.refusalCode = VRO_ERR_COPIES_DIFFER;
        plan.refusal = other.name + " describes more recorded data (" + DataOf(other) + ", " + kept.name + " " +
                       DataOf(kept) + ") but " + WhyNotHeld(other) + "; 'vrmangr repair " + d.dir + " --from " +
                       (&kept == &d.ifo ? "ifo" : "bup") + "' restores " + other.name + " from " + kept.name +
                       " all the same.";
        return;
    }
    plan.from = &kept;
    if (!other.loads) {
        plan.why = other.name + " " + other.damage;
    } else {
        plan.why = WhyNotHeld(other) +
                   (other.RecordedSectors() > kept.RecordedSectors() ? ", though it describes more recorded data" : "");
    }
}

const CopyVerdict& Larger(const CopyVerdict& x, const CopyVerdict& y) {
    return y.RecordedSectors() > x.RecordedSectors() ? y : x;
}

}  // namespace

TablePlan PlanTables(const DiscState& d, const CopyVerdict* forced) {
    TablePlan plan;
    const CopyVerdict& a = d.ifo;
    const CopyVerdict& b = d.bup;
    if (d.identical && a.loads) {
        if (!a.Consistent()) {
            plan.refusalCode = VRO_ERR_DAMAGED;
            plan.refusal = std::string(kIfoName) + " and " + kBupName +
                           " are identical, with the same faults, so there is no whole copy to restore from.";
        }
        return plan;
    }
    if (forced && !forced->loads) {
        plan.refusalCode = VRO_ERR_DAMAGED;
        plan.refusal = "cannot restore from " + forced->name + ": it " + forced->damage + ".";
    } else if (forced) {
        plan.from = forced;
        plan.why = "as --from asks";
    } else if (a.Good() && b.Good() && a.RecordedSectors() != b.RecordedSectors()) {
        plan.from = &Larger(a, b);
        plan.why = plan.from->name + " describes more recorded data: " + DataOf(*plan.from) + " against " +
                   std::to_string(d.Other(*plan.from).RecordedSectors());
    } else if (a.Good() && b.Good()) {
        PlanByEvidence(d, plan);
    } else if (a.Good() || b.Good()) {
        PlanFromGood(d, a.Good() ? a : b, plan);
    } else if (a.loads && b.loads) {
        // Recorded data is missing whichever copy is kept.
        plan.from = &Larger(a, b);
        plan.why = "neither copy's recordings lie whole and apart in the stream files; " + plan.from->name +
                   " describes " + DataOf(*plan.from);
    } else if (a.loads || b.loads) {
        plan.from = a.loads ? &a : &b;
        const CopyVerdict& other = d.Other(*plan.from);
        plan.why = other.name + " " + other.damage;
    } else {
        plan.refusalCode = VRO_ERR_DAMAGED;
        plan.refusal = "neither " + d.PathOf(kIfoName) + " nor its backup " + kBupName +
                       " is whole and consistent, so there is nothing to restore from.";
    }
    if (plan.from) plan.to = &d.Other(*plan.from);
    return plan;
}

bool TrailingRemovable(const DiscState& d, const CopyVerdict* kept, bool still, std::string* why) {
    if (!kept || !kept->View(still).Holds()) {
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

}  // namespace vrm
