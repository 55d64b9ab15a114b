// Cross-table consistency of a loaded disc. Each loader checks its own
// table's bounds; what it cannot see is whether the tables agree with each
// other: a program that counts more cells than its chain holds, a cell that
// names a VOB that does not exist or plays outside it, an entry point
// outside its cell, a time map that points past its VOB. A disc that fails here is damaged, whatever its bytes
// look like one by one.
#include <algorithm>
#include <string>

#include "manager/VMG_MODEL.h"
#include "manager/consistency.h"
#include "manager/coverage.h"
#include "tables/CCI.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CTMAPI.h"
#include "tables/CUD_PGCIT.h"

namespace {

// Collects findings, at most kShown per table, with a count of the rest.
class Findings {
public:
    explicit Findings(std::vector<std::string>* out) : m_out(out) {}
    void Add(const std::string& table, const std::string& sentence) {
        ++m_total;
        if (m_table != table) Flush(table);
        if (++m_inTable <= kShown && m_out) m_out->push_back(table + ": " + sentence);
    }
    // Closes the current table's list.
    void Flush(const std::string& next = "") {
        if (m_inTable > kShown && m_out) {
            m_out->push_back(m_table + ": and " + std::to_string(m_inTable - kShown) + " more like these.");
        }
        m_table = next;
        m_inTable = 0;
    }
    bool None() const { return m_total == 0; }

private:
    static constexpr size_t kShown = 8;
    std::vector<std::string>* m_out;
    std::string m_table;
    size_t m_inTable = 0;
    size_t m_total = 0;
};

std::string N(uint64_t n) { return std::to_string(n); }

struct Recordings {
    std::vector<M_VOBI>* vobs = nullptr;
    size_t vobCount = 0;
    std::vector<S_VOGI>* vogs = nullptr;
    size_t vogCount = 0;
};

Recordings RecordingsOf(const VMG_MODEL& model) {
    Recordings r;
    if (model.pM_AVFIT && model.pM_AVFIT->pM_AVFI) {
        M_AVFI& avfi = *model.pM_AVFIT->pM_AVFI;
        r.vobs = &avfi.vobi;
        r.vobCount = std::min<size_t>(CM_AVFI(&avfi, 0).fnGet_wM_VOBI_SRP_Ns(), avfi.vobi.size());
    }
    if (model.pS_AVFIT && model.pS_AVFIT->pS_AVFI) {
        S_AVFI& avfi = *model.pS_AVFIT->pS_AVFI;
        r.vogs = &avfi.vogi;
        r.vogCount = std::min<size_t>(CS_AVFI(&avfi, 0).fnGet_wS_VOGI_SRP_Ns(), avfi.vogi.size());
    }
    return r;
}

// VOBs: stream attributes that exist, a video start not after the end, and
// a time map whose VOBU entries and time entries stay inside the VOB.
void CheckVobs(const VMG_MODEL& model, const Recordings& r, Findings& f) {
    const std::string table = "M_AVFIT";
    const DWORD attributes = CM_AVFIT(model.pM_AVFIT).fnGet_c1_M_VOB_STI_Ns();
    for (size_t i = 0; i < r.vobCount; ++i) {
        M_VOBI& record = (*r.vobs)[i];
        CM_VOBI vob(&record);
        const std::string name = "VOB " + N(i + 1);
        const BYTE stin = vob.fnGet_c1_M_VOB_STIN();
        if (stin == 0 || stin > attributes) {
            f.Add(table, name + " names stream attributes " + N(stin) + " of " + N(attributes) + ".");
        }
        if (vob.fnGet_ll_VOB_V_S_PTS() > vob.fnGet_ll_VOB_V_E_PTS()) f.Add(table, name + " ends before it starts.");
        if (!record.pTMAPI) {
            f.Add(table, name + " has no time map.");
            continue;
        }
        CTMAPI map(record.pTMAPI.get());
        const DWORD vobus = map.fnGet_wVOBU_ENT_Ns();
        if (vobus == 0 || record.pTMAPI->vobuEntries.size() < size_t{vobus} * TMAPI::kVobuEntSize) {
            f.Add(table, name + " has a time map without its " + N(vobus) + " VOBU entries.");
            continue;
        }
        const DWORD sectors = map.fnGet_dwTotal_VOBU_ENT_Size();
        const DWORD times = std::min<DWORD>(map.fnGet_wTM_ENT_Ns(),
                                            static_cast<DWORD>(record.pTMAPI->tmEntries.size() / TMAPI::kTmEntSize));
        for (DWORD t = 0; t < times; ++t) {
            if (map.fnGet_wVOBU_ENTN(t) > vobus || (map.fnGet_wVOBU_ENTN(t) && map.fnGet_dwVOBU_ADR(t) >= sectors)) {
                f.Add(table, name + ": time entry " + N(t + 1) + " points at VOBU " + N(map.fnGet_wVOBU_ENTN(t)) +
                                 ", sector " + N(map.fnGet_dwVOBU_ADR(t)) + ", outside the VOB's " + N(vobus) +
                                 " VOBUs and " + N(sectors) + " sectors.");
                break;
            }
        }
    }
    f.Flush();
}

// The cells of one chain: each names an existing VOB or VOG and plays
// inside it, and its entry points lie inside the cell.
void CheckCells(PGCI* chain, const std::string& table, const Recordings& r, Findings& f) {
    CPGCI accessor(chain);
    const DWORD cells = accessor.fnGet_wCI_SRP_Ns();
    if (chain->ci.size() < cells) {
        f.Add(table, "counts " + N(cells) + " cells but holds " + N(chain->ci.size()) + ".");
        return;
    }
    for (DWORD c = 0; c < cells; ++c) {
        CCI cell(&chain->ci[c]);
        const std::string name = "cell " + N(c + 1);
        const DWORD points = cell.fnGet_wC_EPI_Ns();
        const DWORD entrySize = cell.fnGet_CI_TYPE() ? CI::kStillEntrySize : CI::kMovieEntrySize;
        if (chain->ci[c].entryPoints.size() < size_t{points} * entrySize) {
            f.Add(table, name + " counts " + N(points) + " entry points but holds fewer.");
            continue;
        }
        if (cell.fnGet_CI_TYPE() == CI::kMovie) {
            const WORD n = cell.fnGet_wM_VOBI_SRPN();
            if (n == 0 || n > r.vobCount) {
                f.Add(table, name + " plays VOB " + N(n) + ", but the disc has " + N(r.vobCount) + ".");
                continue;
            }
            CM_VOBI vob(&(*r.vobs)[n - 1u]);
            const __int64 start = cell.fnGet_ll_C_V_S_PTS(), end = cell.fnGet_ll_C_V_E_PTS();
            if (start > end || start < vob.fnGet_ll_VOB_V_S_PTS() || end > vob.fnGet_ll_VOB_V_E_PTS()) {
                f.Add(table, name + " plays outside VOB " + N(n) + ".");
                continue;
            }
            for (DWORD e = 0; e < points; ++e) {
                const __int64 at = cell.fnGet_ll_EP_PTS(static_cast<WORD>(e));
                if (at < start || at > end) {
                    f.Add(table, name + ": entry point " + N(e + 1) + " lies outside the cell.");
                    break;
                }
            }
        } else {
            const WORD n = cell.fnGet_wS_VOGI_SRPN();
            if (n == 0 || n > r.vogCount) {
                f.Add(table, name + " shows VOG " + N(n) + ", but the disc has " + N(r.vogCount) + ".");
                continue;
            }
            const DWORD pictures = CS_VOGI(&(*r.vogs)[n - 1u]).m_cS_VOB_Ns;
            const DWORD first = cell.fnGet_c1_S_S_VOB_ENTN(), last = cell.fnGet_c1_E_S_VOB_ENTN();
            if (first == 0 || first > last || last > pictures) {
                f.Add(table, name + " shows pictures " + N(first) + " to " + N(last) + " of VOG " + N(n) +
                                 ", which has " + N(pictures) + ".");
                continue;
            }
            for (DWORD e = 0; e < points; ++e) {
                const DWORD at = cell.fnGet_c1_S_VOB_ENTN(static_cast<WORD>(e));
                if (at < first || at > last) {
                    f.Add(table, name + ": entry point " + N(e + 1) + " lies outside the cell.");
                    break;
                }
            }
        }
    }
}

// The programs of a chain count exactly its cells, each at least one.
void CheckPrograms(PGCI* chain, const std::string& table, Findings& f) {
    CPGCI accessor(chain);
    const DWORD programs = accessor.fnGet_c1_PG_Ns();
    const DWORD cells = accessor.fnGet_wCI_SRP_Ns();
    if (programs == 0) return;
    DWORD total = 0;
    for (DWORD p = 0; p < programs; ++p) {
        const DWORD n = accessor.fnGet_wC_Ns(static_cast<BYTE>(p));
        if (n == 0) f.Add(table, "program " + N(p + 1) + " has no cell.");
        total += n;
    }
    if (total != cells) {
        const std::string counted = programs == 1 ? "its program counts " : "its " + N(programs) + " programs count ";
        f.Add(table, counted + N(total) + " cells, but the chain holds " + N(cells) + ".");
    }
}

}  // namespace

namespace vrm {

bool CheckConsistency(const VMG_MODEL& model, std::vector<std::string>* findings) {
    Findings f(findings);
    const Recordings r = RecordingsOf(model);
    if (model.pM_AVFIT) CheckVobs(model, r, f);
    if (model.pORG_PGCI) {
        CheckPrograms(model.pORG_PGCI, "ORG_PGCI", f);
        CheckCells(model.pORG_PGCI, "ORG_PGCI", r, f);
        f.Flush();
    }
    // A playlist whose chain is gone is not checked here: the member that
    // deletes a chain leaves the playlists to the caller, and every query
    // of such a playlist answers 0.
    if (model.pUD_PGCIT) {
        UD_PGCIT& table = *model.pUD_PGCIT;
        const DWORD chains =
            std::min<DWORD>(CUD_PGCIT(&table).fnGet_c1_UD_PGCI_SRP_Ns(), static_cast<DWORD>(table.pgci.size()));
        for (DWORD i = 0; i < chains; ++i) {
            const std::string name = "UD_PGCI " + N(i + 1);
            CheckPrograms(&table.pgci[i], name, f);
            CheckCells(&table.pgci[i], name, r, f);
            f.Flush();
        }
    }
    return f.None();
}

}  // namespace vrm
