// After the original chain lost video (a program deleted, a stretch erased):
// what no cell of the original chain plays any more leaves the disc. The
// playlists lose the cells, or the parts of cells, that play it; a VOB keeps
// only the VOBUs still played (shortened, or split in two where a stretch in
// its middle went), a VOB or VOG no longer played goes with its time map,
// and stream attributes no recording names any more go. The numbers of the
// VOBs and VOGs that remain are made dense again in every cell.
#include "edit/Reclaim.h"

#include <algorithm>
#include <map>
#include <set>

#include "edit/EditAccess.h"
#include "io/fields.h"
#include "manager/CVR_MANGR.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CS_AAFI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CUD_PGCIT.h"

namespace vrm::programs {

namespace {

struct Stretch {
    __int64 from;
    __int64 to;
    bool operator==(const Stretch& o) const { return from == o.from && to == o.to; }
};
// Per VOB, the stretches the original chain plays, in order and merged
// where they touch.
using Played = std::map<WORD, std::vector<Stretch>>;

Played PlayedStretches(const Cells& cells) {
    Played played;
    for (const WorkCell& c : cells) {
        if (IsMovie(c.ci)) played[Recording(c.ci)].push_back({CellStart(c.ci), CellEnd(c.ci)});
    }
    for (auto& [vob, stretches] : played) {
        std::sort(stretches.begin(), stretches.end(),
                  [](const Stretch& a, const Stretch& b) { return a.from < b.from; });
        std::vector<Stretch> merged;
        for (const Stretch& s : stretches) {
            if (!merged.empty() && s.from <= merged.back().to)
                merged.back().to = std::max(merged.back().to, s.to);
            else
                merged.push_back(s);
        }
        stretches = merged;
    }
    return played;
}

std::set<WORD> PlayedGroups(const Cells& cells) {
    std::set<WORD> groups;
    for (const WorkCell& c : cells) {
        if (!IsMovie(c.ci)) groups.insert(Recording(c.ci));
    }
    return groups;
}

// The VOBU runs [first, last] of a VOB that the stretches need.
using Runs = std::vector<std::pair<size_t, size_t>>;
Runs NeededRuns(const Units& units, const std::vector<Stretch>& stretches) {
    Runs runs;
    for (const Stretch& s : stretches) {
        size_t first = 0, last = 0;
        if (!units.Span(s.from, s.to, &first, &last)) continue;
        if (!runs.empty() && first <= runs.back().second + 1)
            runs.back().second = std::max(runs.back().second, last);
        else
            runs.emplace_back(first, last);
    }
    return runs;
}

// What becomes of each VOB whose played stretches changed: gone (no run),
// or the runs it keeps, each a VOB of its own, numbered from `numbers`.
struct VobFate {
    Units units;
    Runs runs;
    std::vector<WORD> numbers;
};

// The new number of the VOB that plays cell c (of old VOB v); 0 when none.
WORD NewVob(const std::map<WORD, VobFate>& fates, const std::vector<WORD>& shift, const CI& c) {
    const WORD v = Recording(c);
    auto it = fates.find(v);
    if (it == fates.end()) return v < shift.size() ? static_cast<WORD>(v - shift[v]) : v;
    const VobFate& f = it->second;
    size_t first = 0, last = 0;
    if (!f.units.Span(CellStart(c), CellEnd(c), &first, &last)) return 0;
    for (size_t j = 0; j < f.runs.size(); ++j) {
        if (first >= f.runs[j].first && first <= f.runs[j].second) return f.numbers[j];
    }
    return 0;
}

// Movie cell c cut to the stretches of its VOB that the original chain
// still plays; still cell c dropped when its VOG is gone.
void ClipCell(const WorkCell& c, const Played& played, const std::set<WORD>& changedVobs,
              const std::set<WORD>& goneGroups, Cells* out) {
    const WORD n = Recording(c.ci);
    if (!IsMovie(c.ci)) {
        if (!goneGroups.count(n)) out->push_back(c);
        return;
    }
    if (!changedVobs.count(n)) {
        out->push_back(c);
        return;
    }
    auto it = played.find(n);
    if (it == played.end()) return;
    const __int64 from = CellStart(c.ci), to = CellEnd(c.ci);
    __int64 carryFrom = from;
    for (const Stretch& s : it->second) {
        const __int64 a = std::max(from, s.from), b = std::min(to, s.to);
        if (a > b || (a == b && from != to)) continue;
        out->push_back(Piece(c, a, b, carryFrom));
        carryFrom = b;
    }
}

// Each user-defined chain clipped; per chain (1-based index - 1): whether
// it changed, whether it is left empty, and its cells then.
struct ChainChange {
    bool changed = false;
    bool empty = false;
    Cells before;
    Cells cells;
};
// False, planning nothing, when a chain would hold more cells than a chain
// can (a cell divided around a stretch that went).
bool ClipUserChains(CVR_MANGR& m, const Played& played, const std::set<WORD>& changedVobs,
                    const std::set<WORD>& goneGroups, std::vector<ChainChange>* changes) {
    CUD_PGCIT* table = UserChains(m);
    if (!table) return true;
    const BYTE count = table->fnGet_c1_UD_PGCI_SRP_Ns();
    for (BYTE i = 0; i < count && i < table->m_pRecord->pgci.size(); ++i) {
        ChainChange change;
        change.before = TakeCells(table->m_pRecord->pgci[i]);
        for (const WorkCell& c : change.before) ClipCell(c, played, changedVobs, goneGroups, &change.cells);
        change.changed =
            change.cells.size() != change.before.size() ||
            std::any_of(change.cells.begin(), change.cells.end(), [](const WorkCell& c) { return c.changed; });
        change.empty = change.cells.empty() && !change.before.empty();
        if (change.cells.size() > CPGCI::kMaxCells) return false;
        changes->push_back(std::move(change));
    }
    return true;
}

// The clipped chains into the table; each playlist that plays one names its
// picture in the cell that holds it now.
void PutUserChains(CVR_MANGR& m, const std::vector<ChainChange>& changes) {
    CUD_PGCIT* table = UserChains(m);
    PL_SRPT* pointers = Playlists(m);
    for (size_t i = 0; table && i < changes.size(); ++i) {
        const ChainChange& c = changes[i];
        if (!c.changed) continue;
        PutCells(table->m_pRecord->pgci[i], c.cells);
        const BYTE count = pointers ? CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns() : 0;
        for (BYTE pl = 0; pl < count; ++pl) {
            if (CPL_SRPT(pointers).fnGet_c1_PGCN(pl) != i + 1) continue;
            BYTE* record = vrm::EntryAt(pointers->entries, PL_SRP::kSize, pl);
            if (record)
                FollowPicture(record, PL_SRP::At::CN, PL_SRP::At::PICT_PT, c.cells, 0, c.cells.size(), 0,
                              c.before.size());
        }
    }
}

// Every cell of the original chain and of the user-defined chains: the new
// number of its VOB or VOG.
void Renumber(CVR_MANGR& m, const std::map<WORD, VobFate>& fates, const std::vector<WORD>& vobShift,
              const std::vector<WORD>& vogShift) {
    auto renumber = [&](PGCI& chain) {
        for (CI& c : chain.ci) {
            const WORD n = Recording(c);
            if (IsMovie(c))
                SetRecording(c, NewVob(fates, vobShift, c));
            else if (n < vogShift.size())
                SetRecording(c, static_cast<WORD>(n - vogShift[n]));
        }
    };
    renumber(*m.m_pModel->pORG_PGCI);
    if (CUD_PGCIT* table = UserChains(m)) {
        for (PGCI& chain : table->m_pRecord->pgci) renumber(chain);
    }
}

// The VOBs in number order: what each keeps, and the numbers they take.
// shift[v]: how many numbers VOB v (unchanged) moves down.
bool PlanVobs(CVR_MANGR& m, const Played& before, const Played& after, std::map<WORD, VobFate>* fates,
              std::vector<WORD>* shift, std::set<WORD>* changed, Outcome* out) {
    M_AVFIT* table = m.m_pModel->pM_AVFIT;
    const WORD count = table && table->pM_AVFI ? CM_AVFI(table->pM_AVFI.get(), 0).fnGet_wM_VOBI_SRP_Ns() : 0;
    shift->assign(size_t{count} + 1, 0);
    DWORD next = 1;
    for (WORD v = 1; v <= count; ++v) {
        const auto was = before.find(v), now = after.find(v);
        const bool same = was == before.end() || now == after.end() ? (was == before.end()) == (now == after.end())
                                                                    : was->second == now->second;
        VobFate fate;
        if (!same) changed->insert(v);
        if (same || !UnitsOf(m, v, &fate.units)) {
            (*shift)[v] = static_cast<WORD>(v - next);
            ++next;
            continue;
        }
        if (now != after.end()) fate.runs = NeededRuns(fate.units, now->second);
        const bool whole =
            fate.runs.size() == 1 && fate.runs[0].first == 0 && fate.runs[0].second + 1 == fate.units.Count();
        if (whole) {
            (*shift)[v] = static_cast<WORD>(v - next);
            ++next;
            continue;
        }
        for (size_t j = 0; j < fate.runs.size(); ++j) fate.numbers.push_back(static_cast<WORD>(next++));
        if (fate.runs.empty())
            ++out->removed;
        else
            ++out->shortened;
        (*fates)[v] = std::move(fate);
    }
    return next - 1 <= CM_AVFI::kMaxVOBs;
}

// The table operations, from the highest VOB down so that each leaves the
// numbers below it as they were.
bool ApplyVobs(CVR_MANGR& m, const std::map<WORD, VobFate>& fates) {
    CM_AVFIT table(m.m_pModel->pM_AVFIT);
    for (auto it = fates.rbegin(); it != fates.rend(); ++it) {
        const WORD v = it->first;
        const Runs& runs = it->second.runs;
        if (runs.empty()) {
            if (!table.fnDEL_VOB(v)) return false;
            continue;
        }
        for (size_t j = runs.size() - 1; j > 0; --j) {
            if (!table.fnSplit_VOB(v, static_cast<DWORD>(runs[j].first)) ||
                !table.fnTrim_VOB(static_cast<WORD>(v + 1), 0, static_cast<DWORD>(runs[j].second - runs[j].first + 1)))
                return false;
        }
        if (!table.fnTrim_VOB(v, static_cast<DWORD>(runs[0].first),
                              static_cast<DWORD>(runs[0].second - runs[0].first + 1)))
            return false;
    }
    return true;
}

// The VOGs the original chain played before and plays no more go, highest
// first; shift[g]: how many numbers VOG g moves down.
bool ApplyVogs(CVR_MANGR& m, const std::set<WORD>& gone, std::vector<WORD>* shift, Outcome* out) {
    S_AVFIT* record = m.m_pModel->pS_AVFIT;
    const WORD count = record && record->pS_AVFI ? CS_AVFI(record->pS_AVFI.get(), 0).fnGet_wS_VOGI_SRP_Ns() : 0;
    shift->assign(size_t{count} + 1, 0);
    WORD below = 0;
    for (WORD g = 1; g <= count; ++g) {
        (*shift)[g] = below;
        if (gone.count(g)) ++below;
    }
    CS_AVFIT table(record);
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) {
        if (!table.fnDEL_VOG(*it)) return false;
        ++out->removed;
    }
    return true;
}

std::set<BYTE> MovieAttributes(CVR_MANGR& m) {
    std::set<BYTE> used;
    if (m.m_pModel->pM_AVFIT && m.m_pModel->pM_AVFIT->pM_AVFI) {
        for (M_VOBI& v : m.m_pModel->pM_AVFIT->pM_AVFI->vobi) used.insert(CM_VOBI(&v).fnGet_c1_M_VOB_STIN());
    }
    return used;
}

std::set<BYTE> StillAttributes(CVR_MANGR& m) {
    std::set<BYTE> used;
    if (m.m_pModel->pS_AVFIT && m.m_pModel->pS_AVFIT->pS_AVFI) {
        const CS_AVFI groups(m.m_pModel->pS_AVFIT->pS_AVFI.get(), 0);
        for (WORD g = 1; g <= groups.fnGet_wS_VOGI_SRP_Ns(); ++g) used.insert(groups.fnGet_iTH_VOGI_S_VOB_STIN(g));
    }
    return used;
}

// The attributes of additional audio that the groups of S_AAFI name.
std::set<BYTE> AudioAttributes(CVR_MANGR& m) {
    std::set<BYTE> used;
    S_AAFI* audio = m.m_pModel->pS_AVFIT ? m.m_pModel->pS_AVFIT->pS_AAFI.get() : nullptr;
    if (!audio) return used;
    const WORD count = CS_AAFI(audio, 0).fnGet_wS_AAGI_SRP_Ns();
    for (WORD g = 0; g < count && g < audio->groups.size(); ++g)
        used.insert(audio->groups[g].general[S_AAGI_GI::At::S_AA_STIN]);
    return used;
}

struct Attributes {
    std::set<BYTE> movie, still, audio;
};
Attributes AttributesNamed(CVR_MANGR& m) { return {MovieAttributes(m), StillAttributes(m), AudioAttributes(m)}; }

// Stream attributes that recordings named before and none names now go,
// highest first.
void DropUnusedAttributes(CVR_MANGR& m, const Attributes& before) {
    const Attributes now = AttributesNamed(m);
    const auto drop = [](const std::set<BYTE>& was, const std::set<BYTE>& is, auto&& remove) {
        for (auto it = was.rbegin(); it != was.rend(); ++it) {
            if (!is.count(*it)) remove(*it);
        }
    };
    drop(before.movie, now.movie, [&](BYTE n) { CM_AVFIT(m.m_pModel->pM_AVFIT).fnDEL_M_VOB_STI(n); });
    drop(before.still, now.still, [&](BYTE n) { CS_AVFIT(m.m_pModel->pS_AVFIT).fnDEL_S_VOB_STI(n); });
    drop(before.audio, now.audio, [&](BYTE n) { CS_AVFIT(m.m_pModel->pS_AVFIT).fnDEL_S_AA_STI(n); });
}

// Playlists whose chain changed, and those left empty (deleted, highest
// first, so that the numbers below stay).
void UpdatePlaylists(CVR_MANGR& m, const std::vector<ChainChange>& chains, Outcome* out) {
    PL_SRPT* pointers = Playlists(m);
    const BYTE count = pointers ? CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns() : 0;
    out->playlists.assign(count, 0);
    for (BYTE pl = 1; pl <= count; ++pl) {
        const BYTE chain = CPL_SRPT(pointers).fnGet_c1_PGCN(static_cast<BYTE>(pl - 1));
        if (chain == 0 || chain > chains.size()) continue;
        const ChainChange& c = chains[chain - 1u];
        out->playlists[pl - 1u] = c.empty ? 2 : c.changed ? 1 : 0;
    }
    for (int pl = count; pl >= 1; --pl) {
        if (out->playlists[static_cast<size_t>(pl - 1)] == 2) m.fnDEL_PlayList(static_cast<BYTE>(pl));
    }
}

}  // namespace

bool Reclaim(CVR_MANGR& m, const Cells& before, Outcome* out) {
    if (!m.m_pModel || !m.m_pModel->pORG_PGCI) return false;
    const Cells after = TakeCells(*m.m_pModel->pORG_PGCI);
    const Played playedBefore = PlayedStretches(before), playedAfter = PlayedStretches(after);
    const std::set<WORD> groupsBefore = PlayedGroups(before), groupsAfter = PlayedGroups(after);
    std::set<WORD> goneGroups;
    std::set_difference(groupsBefore.begin(), groupsBefore.end(), groupsAfter.begin(), groupsAfter.end(),
                        std::inserter(goneGroups, goneGroups.end()));

    std::map<WORD, VobFate> fates;
    std::vector<WORD> vobShift, vogShift;
    std::set<WORD> changedVobs;
    if (!PlanVobs(m, playedBefore, playedAfter, &fates, &vobShift, &changedVobs, out)) return false;

    const Attributes attributes = AttributesNamed(m);
    std::vector<ChainChange> chains;
    if (!ClipUserChains(m, playedAfter, changedVobs, goneGroups, &chains)) return false;
    PutUserChains(m, chains);
    if (!ApplyVogs(m, goneGroups, &vogShift, out)) return false;
    Renumber(m, fates, vobShift, vogShift);
    if (!ApplyVobs(m, fates)) return false;
    DropUnusedAttributes(m, attributes);
    UpdatePlaylists(m, chains, out);
    return true;
}

}  // namespace vrm::programs
