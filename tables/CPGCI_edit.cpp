// Editing a program chain: inserting entry points, deleting an entry point
// with the video of its segment, combining runs of entry points, and
// dividing, duplicating and deleting cells.
//
// The programs of a chain (only the original chain has any) partition its
// cells in order. A duplicated cell joins the program of the cell it copies
// and a deleted cell leaves its program, so every program keeps covering
// the cells that came from its own recordings; a program whose last cell
// goes is removed.
#include <cstring>
#include <utility>
#include <vector>

#include "io/codecs.h"
#include "io/fields.h"
#include "tables/CPGCI.h"

namespace {

constexpr size_t kPGISize = PGCI::kPGISize;

// C_Ns of program p (0-based) for every program record the chain holds (the
// getter answers programs 0..99 only); 0 for one it lacks.
WORD CellsOfProgram(const CPGCI& chain, BYTE p) {
    return vrm::GetField<WORD>(chain.fnGet_iTH_PGI_Address(p), PGI::At::C_Ns);
}

// The program (0-based) that holds cell index i, or -1 when the programs do
// not reach that far.
int ProgramOfCell(const CPGCI& chain, DWORD i) {
    const BYTE programs = chain.fnGet_c1_PG_Ns();
    DWORD first = 0;
    for (BYTE p = 0; p < programs; ++p) {
        if (!chain.fnGet_iTH_PGI_Address(p)) return -1;
        first += CellsOfProgram(chain, p);
        if (i < first) return p;
    }
    return -1;
}

// Cell index i has been copied into a new cell right after it.
void CountCopiedCell(CPGCI& chain, DWORD i) {
    const int p = ProgramOfCell(chain, i);
    if (p < 0) return;
    const BYTE program = static_cast<BYTE>(p);
    chain.fnSet_wC_Ns(program, static_cast<WORD>(CellsOfProgram(chain, program) + 1));
}

// Cell index i is about to be deleted.
void UncountDeletedCell(CPGCI& chain, DWORD i) {
    const int p = ProgramOfCell(chain, i);
    if (p < 0) return;
    const BYTE program = static_cast<BYTE>(p);
    const WORD left = static_cast<WORD>(CellsOfProgram(chain, program) - 1);
    if (left > 0) {
        chain.fnSet_wC_Ns(program, left);
        return;
    }
    std::vector<BYTE>& programs = chain.m_pRecord->pgi;
    const auto at = programs.begin() + static_cast<std::ptrdiff_t>(kPGISize * static_cast<size_t>(p));
    programs.erase(at, at + static_cast<std::ptrdiff_t>(kPGISize));
    const BYTE count = static_cast<BYTE>(chain.fnGet_c1_PG_Ns() - 1);
    chain.fnSet_c1_PG_Ns(count);
    chain.m_cPG_Ns = count;
}

bool Within(const CCI& cell, __int64 t) { return t >= cell.fnGet_ll_C_V_S_PTS() && t <= cell.fnGet_ll_C_V_E_PTS(); }

// Deletes entry points last..keep+1 of a cell, leaving 1..keep.
void KeepFirstEntryPoints(CCI& cell, WORD keep) {
    for (WORD i = cell.fnGet_wC_EPI_Ns(); i > keep; --i) cell.fnDEL_Movie_Entry_Point(i);
}

void DropFirstEntryPoints(CCI& cell, WORD count) {
    for (WORD i = 0; i < count; ++i) cell.fnDEL_Movie_Entry_Point(1);
}

// The first part a (cell c) of a cell cut in two, when it has kept no
// entry point: on the chain's first cell it belongs to no segment, and a
// part without video carries nothing; either is removed.
void DropIfNothingLeft(CPGCI& chain, const CCI& a, WORD c) {
    if (a.fnGet_wC_EPI_Ns() != 0) return;
    if (c == 1 || a.fnGet_ll_C_V_S_PTS() >= a.fnGet_ll_C_V_E_PTS()) chain.fnDEL_UD_Cell(c);
}

}  // namespace

int CPGCI::fnLocateEntryPoint(WORD n, WORD* cell, WORD* e) {
    if (!m_pRecord || n == 0 || n > fnGetTotalEntryPointNs(0, 0, 0)) return 0;
    WORD index = 0, number = 0;
    if (!fnTranslateAddress(-1, -1, n, &index, &number) || number == 0) return 0;
    if (cell) *cell = static_cast<WORD>(index + 1);
    if (e) *e = number;
    return 1;
}

int CPGCI::fnADD_Movie_Entry_Point(WORD n, const BYTE* ptm, const BYTE* text) {
    WORD c = 0, e = 0;
    if (!fnLocateEntryPoint(n, &c, &e)) return 0;
    return fnADD_Movie_Entry_Point(c, e, ptm, text);
}

int CPGCI::fnADD_Movie_Entry_Point(WORD n, __int64 offset, const BYTE* text) {
    WORD c = 0, e = 0;
    // Every segment keeps at least one tick of video: a new entry point on
    // entry point n itself, on the next one or on the end of the video
    // would make an empty one.
    if (offset <= 0 || !fnLocateEntryPoint(n, &c, &e)) return 0;
    CI* record = Cell(c - 1u);
    if (!record) return 0;
    CCI x(record);
    if (x.fnGet_CI_TYPE() != CI::kMovie || e > x.fnGet_wC_EPI_Ns()) return 0;
    const __int64 from = x.fnGet_ll_EP_PTS(static_cast<WORD>(e - 1));
    BYTE ptm[6];
    if (e < x.fnGet_wC_EPI_Ns()) {
        // Within the segment: the new entry point must not pass the next one.
        const __int64 next = x.fnGet_ll_EP_PTS(e);
        if (offset >= next - from || !PtmFrom27MHz(from + offset, ptm)) return 0;
        return fnADD_Movie_Entry_Point(c, e, ptm, text);
    }
    const __int64 left = x.fnGet_ll_C_V_E_PTS() - from;
    if (offset < left) {
        if (!PtmFrom27MHz(from + offset, ptm)) return 0;
        return fnADD_Movie_Entry_Point(c, e, ptm, text);
    }
    // The time lies beyond the cell: follow the video into the cells after it.
    __int64 rem = offset - left;
    for (WORD y = static_cast<WORD>(c + 1); y <= CellCount(); ++y) {
        CI* next = Cell(y - 1u);
        if (!next) return 0;
        CCI cell(next);
        if (cell.fnGet_CI_TYPE() != CI::kMovie) return 0;
        const __int64 start = cell.fnGet_ll_C_V_S_PTS();
        if (cell.fnGet_wC_EPI_Ns() > 0) {
            // The video reaches this cell's own entry points: the new one would
            // have to pass them.
            if (rem >= cell.fnGet_ll_EP_PTS(0) - start || !PtmFrom27MHz(start + rem, ptm)) return 0;
            return fnADD_Movie_Entry_Point(y, 0, ptm, text);
        }
        const __int64 length = cell.fnGet_ll_C_V_E_PTS() - start;
        if (rem < length) {
            if (!PtmFrom27MHz(start + rem, ptm)) return 0;
            return fnADD_Movie_Entry_Point(y, 0, ptm, text);
        }
        rem -= length > 0 ? length : 0;
    }
    return 0;
}

int CPGCI::fnDEL_UD_Cell(WORD c) {
    const WORD count = CellCount();
    if (!m_pRecord || c == 0 || c > count || !Cell(c - 1u)) return 0;
    UncountDeletedCell(*this, c - 1u);
    std::vector<CI>& cells = m_pRecord->ci;
    if (cells.size() > count) cells.resize(count);
    cells.erase(cells.begin() + (c - 1));
    std::vector<BYTE>& srp = m_pRecord->ciSrp;
    if (srp.size() >= size_t{PGCI::kSRPSize} * c) {
        const auto at = srp.begin() + static_cast<std::ptrdiff_t>(size_t{PGCI::kSRPSize} * (c - 1u));
        srp.erase(at, at + PGCI::kSRPSize);
    }
    srp.resize(size_t{PGCI::kSRPSize} * (count - 1u));
    if (count == 1) {
        cells.clear();
        srp.clear();
    }
    fnSet_wCI_SRP_Ns(static_cast<WORD>(count - 1));
    m_wCI_SRP_Ns = static_cast<WORD>(count - 1);
    return 1;
}

int CPGCI::fnDuplicateCell(WORD c) {
    const WORD count = CellCount();
    if (!m_pRecord || c == 0 || c > count || count >= kMaxCells) return 0;
    CI* source = Cell(c - 1u);
    if (!source) return 0;
    // A copy of the record holds its own copy of the entry points.
    CI copy = *source;
    CI* added = InsertCell(c, count);
    *added = std::move(copy);
    CountCopiedCell(*this, c - 1u);
    return 1;
}

int CPGCI::fnDevideCell(WORD c, WORD e) {
    if (!m_pRecord || c == 0 || c > CellCount()) return 0;
    CI* record = Cell(c - 1u);
    if (!record) return 0;
    CCI x(record);
    // The split falls at entry point e + 1, which must exist and lie within
    // the cell.
    if (x.fnGet_CI_TYPE() != CI::kMovie || e >= x.fnGet_wC_EPI_Ns() || !Within(x, x.fnGet_ll_EP_PTS(e))) return 0;
    BYTE at[6];
    x.fnGet_c6_EP_PTM(e, at);
    if (!fnDuplicateCell(c)) return 0;
    CCI a(Cell(c - 1u));
    a.fnSet_c6_C_V_E_PTM(at, 6);
    KeepFirstEntryPoints(a, e);
    CCI b(Cell(c));
    b.fnSet_c6_C_V_S_PTM(at, 6);
    DropFirstEntryPoints(b, e);
    DropIfNothingLeft(*this, a, c);
    return 1;
}

int CPGCI::fnDEL_Still_Pic_Entry_Point(WORD c, WORD) {
    if (!m_pRecord || c == 0 || c > CellCount()) return 0;
    CI* record = Cell(c - 1u);
    if (!record || CCI(record).fnGet_CI_TYPE() != CI::kStill) return 0;
    return fnDEL_UD_Cell(c);
}

int CPGCI::fnDEL_Movie_Entry_Point(WORD c, WORD e) {
    if (!m_pRecord || c == 0 || c > CellCount()) return 0;
    CI* record = Cell(c - 1u);
    if (!record) return 0;
    CCI x(record);
    const WORD n = x.fnGet_wC_EPI_Ns();
    if (e == 0 || e > n) return 0;
    if (x.fnGet_CI_TYPE() != CI::kMovie) return fnDEL_Still_Pic_Entry_Point(c, e);
    BYTE from[6];
    x.fnGet_c6_EP_PTM(static_cast<WORD>(e - 1), from);
    if (!Within(x, x.fnGet_ll_EP_PTS(static_cast<WORD>(e - 1)))) return 0;

    if (e < n) {
        // A middle entry point: the cell is cut in two around its segment.
        BYTE to[6];
        x.fnGet_c6_EP_PTM(e, to);
        if (!Within(x, x.fnGet_ll_EP_PTS(e)) || !fnDuplicateCell(c)) return 0;
        CCI a(Cell(c - 1u));
        KeepFirstEntryPoints(a, static_cast<WORD>(e - 1));
        a.fnSet_c6_C_V_E_PTM(from, 6);
        CCI b(Cell(c));
        b.fnSet_c6_C_V_S_PTM(to, 6);
        DropFirstEntryPoints(b, e);
        DropIfNothingLeft(*this, a, c);
        return 1;
    }

    // The cell's last entry point: its segment runs on through the
    // continuation cells that follow, up to the first entry point of a
    // later cell.
    WORD last = 0;
    for (WORD i = static_cast<WORD>(c + 1); i <= CellCount() && fnbHaveNextCell(i); ++i) {
        last = i;
        if (CCI(Cell(i - 1u)).fnGet_wC_EPI_Ns() > 0) break;
    }
    for (WORD i = last; last != 0 && i > c; --i) {
        CCI y(Cell(i - 1u));
        if (y.fnGet_wC_EPI_Ns() == 0) {
            fnDEL_UD_Cell(i);
        } else if (Within(y, y.fnGet_ll_EP_PTS(0))) {
            BYTE first[6];
            y.fnGet_c6_EP_PTM(0, first);
            y.fnSet_c6_C_V_S_PTM(first, 6);
        }
    }

    CCI cell(Cell(c - 1u));
    if (n > 1 || (c > 1 && cell.fnGet_ll_C_V_S_PTS() < cell.fnGet_ll_EP_PTS(0))) {
        // The cell ends where the segment began; what lies before it stays
        // (for a cell's only entry point it belongs to the segment before).
        cell.fnSet_c6_C_V_E_PTM(from, 6);
        cell.fnDEL_Movie_Entry_Point(e);
        return 1;
    }
    fnDEL_UD_Cell(c);
    return 1;
}

int CPGCI::fnDEL_Movie_Entry_Point(WORD n) {
    WORD c = 0, e = 0;
    if (!fnLocateEntryPoint(n, &c, &e)) return 0;
    return fnDEL_Movie_Entry_Point(c, e);
}

int CPGCI::fnCombine_UD_Cell_EntryPoint(WORD c1, WORD e1, WORD c2, WORD e2) {
    if (!m_pRecord || c2 > CellCount() || c1 == 0 || c1 > c2) return 0;
    // Every check runs before anything changes.
    for (WORD i = c1; i <= c2; ++i) {
        CI* record = Cell(i - 1u);
        if (!record || CCI(record).fnGet_CI_TYPE() != CI::kMovie) return 0;
    }
    CCI first(Cell(c1 - 1u));
    CCI last(Cell(c2 - 1u));
    if (e1 > first.fnGet_wC_EPI_Ns() || e2 > last.fnGet_wC_EPI_Ns()) return 0;

    if (c1 == c2) {
        for (WORD k = e1; k < e2; ++k) first.fnDEL_Movie_Entry_Point(static_cast<WORD>(e1 + 1));
        return 1;
    }
    KeepFirstEntryPoints(first, e1);
    for (WORD i = static_cast<WORD>(c1 + 1); i < c2; ++i) CCI(Cell(i - 1u)).fnDEL_All_Movie_Entry_Point();
    DropFirstEntryPoints(last, e2);
    return 1;
}

int CPGCI::fnCombine_EntryPoint(WORD nFirst, WORD nLast) {
    WORD c1 = 0, e1 = 0, c2 = 0, e2 = 0;
    if (!fnLocateEntryPoint(nFirst, &c1, &e1) || !fnLocateEntryPoint(nLast, &c2, &e2)) return 0;
    return fnCombine_UD_Cell_EntryPoint(c1, e1, c2, e2);
}
