#include "edit/ProgramCells.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "io/be.h"
#include "io/codecs.h"
#include "io/units.h"
#include "manager/CVR_MANGR.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CTMAPI.h"
#include "tables/seg.h"

namespace vrm::programs {

namespace {

std::array<BYTE, 6> ptm6(__int64 t) {
    std::array<BYTE, 6> ptm{};
    PtmFrom27MHz(t, ptm.data());
    return ptm;
}

}  // namespace

Cells TakeCells(const PGCI& chain) {
    const size_t n = std::min<size_t>(be_load<WORD>(chain.header + PGCI_HEADER::At::CI_SRP_Ns), chain.ci.size());
    Cells cells(n);
    for (size_t i = 0; i < n; ++i) {
        cells[i].ci = chain.ci[i];
        cells[i].origin = static_cast<int>(i);
    }
    return cells;
}

void PutCells(PGCI& chain, const Cells& cells) {
    chain.ci.clear();
    for (const WorkCell& c : cells) chain.ci.push_back(c.ci);
    chain.ciSrp.assign(cells.size() * PGCI::kSRPSize, 0);
    be_store<WORD>(chain.header + PGCI_HEADER::At::CI_SRP_Ns, static_cast<WORD>(cells.size()));
}

bool IsMovie(const CI& c) { return CCI::fnGet_CI_TYPE(c.header[M_CI_HEADER::At::C_TY]) == CI::kMovie; }

WORD Recording(const CI& c) { return be_load<WORD>(c.header + M_CI_HEADER::At::M_VOBI_SRPN); }

void SetRecording(CI& c, WORD n) { be_store<WORD>(c.header + M_CI_HEADER::At::M_VOBI_SRPN, n); }

__int64 CellStart(const CI& c) { return static_cast<__int64>(PtmTo27MHz(c.header + M_CI_HEADER::At::C_V_S_PTM)); }

__int64 CellEnd(const CI& c) { return static_cast<__int64>(PtmTo27MHz(c.header + M_CI_HEADER::At::C_V_E_PTM)); }

std::vector<__int64> EntryTimes(const CI& c) {
    std::vector<__int64> times;
    CCI cell(const_cast<CI*>(&c));
    for (WORD i = 0; i < cell.fnGet_wC_EPI_Ns(); ++i) times.push_back(cell.fnGet_ll_EP_PTS(i));
    return times;
}

WorkCell Piece(const WorkCell& c, __int64 from, __int64 to, __int64 carryFrom) {
    WorkCell piece = c;
    CCI cell(&piece.ci);
    const __int64 end = CellEnd(c.ci);
    BYTE ptm[6];
    PtmFrom27MHz(from, ptm);
    cell.fnSet_c6_C_V_S_PTM(ptm, 6);
    PtmFrom27MHz(to, ptm);
    cell.fnSet_c6_C_V_E_PTM(ptm, 6);
    // The last entry point of the stretch cut off in front moves to where
    // the piece starts, so that the segment it began keeps its mark.
    int carried = -1;
    for (WORD i = 0; i < cell.fnGet_wC_EPI_Ns(); ++i) {
        const __int64 t = cell.fnGet_ll_EP_PTS(i);
        if (t >= carryFrom && t < from) carried = i;
        if (t == from) carried = -1;
    }
    if (carried >= 0) cell.fnSet_c6_EP_PTM(static_cast<WORD>(carried), ptm6(from).data(), 6);
    for (WORD i = cell.fnGet_wC_EPI_Ns(); i > 0; --i) {
        const __int64 t = cell.fnGet_ll_EP_PTS(static_cast<WORD>(i - 1));
        if (t < from || t > to || (t == to && to != end)) cell.fnDEL_Movie_Entry_Point(i);
    }
    piece.changed = c.changed || from != CellStart(c.ci) || to != end ||
                    cell.fnGet_wC_EPI_Ns() != CCI(const_cast<CI*>(&c.ci)).fnGet_wC_EPI_Ns();
    return piece;
}

bool EntryPointAtStart(CI& c, const BYTE* like) {
    CCI cell(&c);
    const __int64 start = CellStart(c);
    if (cell.fnGet_wC_EPI_Ns() > 0 && cell.fnGet_ll_EP_PTS(0) == start) return true;
    BYTE ptm[6];
    PtmFrom27MHz(start, ptm);
    const bool text = like && CCI::fnGet_M_C_EPI_TYPE(like[M_C_EPI::At::EP_TY]);
    if (!cell.fnADD_Movie_Entry_Point(0, ptm, text ? like + M_C_EPI::At::PRM_TXTI : nullptr)) return false;
    if (like) cell.fnSet_c1_EP_TY(0, like[M_C_EPI::At::EP_TY]);
    return true;
}

std::vector<Program> TakePrograms(const PGCI& chain) {
    const size_t n = std::min<size_t>(chain.header[PGCI_HEADER::At::PG_Ns], chain.pgi.size() / PGCI::kPGISize);
    std::vector<Program> programs(n);
    for (size_t i = 0; i < n; ++i) {
        const BYTE* at = chain.pgi.data() + i * PGCI::kPGISize;
        programs[i].record.assign(at, at + PGCI::kPGISize);
        programs[i].cells = be_load<WORD>(at + PGI::At::C_Ns);
        programs[i].origin = static_cast<int>(i);
    }
    return programs;
}

void PutPrograms(PGCI& chain, const std::vector<Program>& programs) {
    chain.pgi.clear();
    for (const Program& p : programs) {
        const size_t at = chain.pgi.size();
        chain.pgi.insert(chain.pgi.end(), p.record.begin(), p.record.end());
        be_store<WORD>(chain.pgi.data() + at + PGI::At::C_Ns, p.cells);
    }
    chain.header[PGCI_HEADER::At::PG_Ns] = static_cast<BYTE>(programs.size());
}

size_t FirstCell(const std::vector<Program>& programs, size_t pg) {
    size_t first = 0;
    for (size_t i = 0; i < pg && i < programs.size(); ++i) first += programs[i].cells;
    return first;
}

void FollowPicture(BYTE* record, size_t cnAt, size_t ptAt, const Cells& cells, size_t first, size_t count,
                   size_t oldFirst, size_t oldCount) {
    const WORD cn = vrm::be_load<WORD>(record + cnAt);
    if (NamesNoCell(cn) || count == 0) return;
    const bool global = cn - 1u >= oldFirst && cn - 1u < oldFirst + oldCount;
    if (!global && cn > oldCount) return;
    const int origin = static_cast<int>(global ? cn - 1u : oldFirst + cn - 1u);
    const __int64 pict = static_cast<__int64>(PtmTo27MHz(record + ptAt));
    size_t chosen = first;
    bool found = false;
    for (size_t k = first; k < first + count; ++k) {
        if (cells[k].origin != origin) continue;
        if (!found || (IsMovie(cells[k].ci) && pict >= CellStart(cells[k].ci) && pict <= CellEnd(cells[k].ci))) {
            chosen = k;
            found = true;
        }
    }
    const WORD now = static_cast<WORD>(global ? chosen + 1 : chosen - first + 1);
    const CI& c = cells[chosen].ci;
    if (now == cn && found && (!IsMovie(c) || (pict >= CellStart(c) && pict <= CellEnd(c)))) return;
    vrm::be_store<WORD>(record + cnAt, now);
    if (IsMovie(c) && (pict < CellStart(c) || pict > CellEnd(c) || !found)) {
        PtmFrom27MHz(CellStart(c), record + ptAt);
    }
}

bool Units::Span(__int64 from, __int64 to, size_t* first, size_t* last) const {
    const size_t n = Count();
    if (n == 0 || frame == 0) return false;
    // Whole frames from the VOB's start, counted in fields, as the byte
    // ranges of a stretch are found.
    auto fieldsTo = [&](__int64 t) { return t <= start ? DWORD{0} : static_cast<DWORD>((t - start) / frame * 2); };
    const DWORD s = fieldsTo(from);
    const DWORD e = fieldsTo(to);
    *first = n - 1;
    *last = n - 1;
    bool found = false;
    for (size_t k = 0; k < n; ++k) {
        if (!found && s < fields[k + 1]) {
            *first = k;
            found = true;
        }
        if (e <= fields[k + 1]) {
            *last = std::max(k, *first);
            return true;
        }
    }
    return true;
}

bool UnitsOf(CVR_MANGR& m, WORD n, Units* out) {
    M_AVFIT* table = m.m_pModel ? m.m_pModel->pM_AVFIT : nullptr;
    if (!table || !table->pM_AVFI || n == 0 || n > table->pM_AVFI->vobi.size()) return false;
    const M_VOBI& vob = table->pM_AVFI->vobi[n - 1u];
    if (!vob.pTMAPI) return false;
    seg info{};
    if (!CM_AVFIT(table).fnGet_CellInfoFromM_VOB_STI(CM_VOBI(const_cast<M_VOBI*>(&vob)).fnGet_c1_M_VOB_STIN(), &info))
        return false;
    Units u;
    u.frame = TicksPerFrame(info.dwFrameRate);
    if (u.frame == 0) return false;
    u.field = u.frame / 2;
    u.start = CM_VOBI(const_cast<M_VOBI*>(&vob)).fnGet_ll_VOB_V_S_PTS();
    const CTMAPI map(vob.pTMAPI.get());
    u.address = map.fnGet_dwADR_OFS();
    u.fields.push_back(0);
    u.sectors.push_back(0);
    for (DWORD i = 0; i < map.m_dwVOBU_ENT_Ns && map.fnGet_iTH_VOBU_ENT_Address(i); ++i) {
        u.fields.push_back(u.fields.back() + map.fnGet_bVOBU_PB_TM(i));
        u.sectors.push_back(u.sectors.back() + map.fnGet_wVOBU_SZ(i));
    }
    *out = std::move(u);
    return true;
}

CutPoint Snap(const Units& units, const CI& c, __int64 t) {
    const __int64 start = CellStart(c);
    const __int64 end = CellEnd(c);
    CutPoint best{start, start};
    auto consider = [&](CutPoint p) {
        if (std::llabs(p.end - t) < std::llabs(best.end - t)) best = p;
    };
    consider({end, end});
    for (size_t k = 1; k < units.Count(); ++k) {
        const CutPoint p{units.EndAt(k), units.StartAt(k)};
        if (p.end > start && p.start < end) consider(p);
    }
    return best;
}

}  // namespace vrm::programs
