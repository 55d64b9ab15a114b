// What the editing of recordings shares: a chain's cells taken out of the
// table to be cut, joined and put back (each remembering the cell it came
// from, so that the numbers that name cells elsewhere can follow), the
// program records, and the VOBU boundaries of a VOB, the places where the
// video can be cut.
#ifndef VRMANGR_EDIT_PROGRAMCELLS_H
#define VRMANGR_EDIT_PROGRAMCELLS_H

#include <vector>

#include "platform/types.h"
#include "tables/CCI.h"

class CVR_MANGR;
struct PGCI;
struct M_VOBI;

namespace vrm::programs {

// A cell being edited: its record, the 0-based index of the cell it comes
// from in the chain before the edit (-1: none), and whether its times or
// entry points differ from that cell's.
struct WorkCell {
    CI ci;
    int origin = -1;
    bool changed = false;
};
using Cells = std::vector<WorkCell>;

// The cells of a chain, each its own origin; and the chain given cells
// (CI_SRP_Ns follows; the search pointers are recomputed by the save).
Cells TakeCells(const PGCI& chain);
void PutCells(PGCI& chain, const Cells& cells);

// Cell fields.
bool IsMovie(const CI& c);
WORD Recording(const CI& c);  // M_VOBI_SRPN or S_VOGI_SRPN
void SetRecording(CI& c, WORD n);
__int64 CellStart(const CI& c);
__int64 CellEnd(const CI& c);
// The cell's entry-point times, in order.
std::vector<__int64> EntryTimes(const CI& c);
// A copy of movie cell c from `from` to `to`, with the entry points that lie
// in [from, to) (and, when `to` is the cell's own end, those at its end).
// The last entry point in [carryFrom, from), the stretch cut off in front
// of the piece, moves to `from` when none lies there.
WorkCell Piece(const WorkCell& c, __int64 from, __int64 to, __int64 carryFrom);
// Gives movie cell c an entry point at its start when it has none there:
// EP_TY and text of `like` (an entry-point record of the cell's kind;
// null: none). False when the cell is full.
bool EntryPointAtStart(CI& c, const BYTE* like);

// Program records of the original chain: the cells they count.
struct Program {
    std::vector<BYTE> record;  // the PGI as on disc
    WORD cells = 0;
    int origin = -1;  // 0-based program it comes from
};
std::vector<Program> TakePrograms(const PGCI& chain);
void PutPrograms(PGCI& chain, const std::vector<Program>& programs);
// The 0-based index of program pg's (0-based) first cell.
size_t FirstCell(const std::vector<Program>& programs, size_t pg);

// The VOBU boundaries of a VOB: fields[k] video fields from the VOB's start
// to the start of VOBU k (fields[n] is its end), sectors[k] the sectors
// before it.
struct Units {
    __int64 start = 0;  // VOB_V_S_PTM
    __int64 field = 0;  // ticks of one video field
    __int64 frame = 0;
    DWORD address = 0;  // ADR_OFS
    std::vector<DWORD> fields;
    std::vector<DWORD> sectors;
    size_t Count() const { return fields.empty() ? 0 : fields.size() - 1; }
    // Boundary k as the end of what lies before it, and as the start of
    // what follows: the same time unless the boundary falls between the two
    // fields of a frame (the start then takes the next whole frame, which
    // the stream's placing of times reads as the next VOBU).
    __int64 EndAt(size_t k) const { return start + static_cast<__int64>(fields[k]) * field; }
    __int64 StartAt(size_t k) const { return start + static_cast<__int64>((fields[k] + 1) / 2) * frame; }
    // The VOBUs [first, last] that play [from, to], as the stream's byte
    // ranges are found for it; false when the VOB has none.
    bool Span(__int64 from, __int64 to, size_t* first, size_t* last) const;
};
// The boundaries of VOB n (1-based); false when there is no such VOB, no
// time map or no TV system.
bool UnitsOf(CVR_MANGR& m, WORD n, Units* out);

// A point at which a movie cell can be cut: a VOBU boundary inside it or
// one of its ends. `end` is where the part before it ends, `start` where the
// part after it begins.
struct CutPoint {
    __int64 end = 0;
    __int64 start = 0;
};
// The cut point of cell c nearest to time t.
CutPoint Snap(const Units& units, const CI& c, __int64 t);

// "none" as the numbers that name a cell (CN) hold it.
inline bool NamesNoCell(WORD cn) { return cn == 0 || cn == 0xFFFF; }

// A picture named by a cell number and a time in the record at `record`
// (a program's CN and PICT_PT, global or counted in the program; a
// playlist's): the cell number follows the cell to where `cells` holds it
// (the program's cells: `count` from `first`, `oldCount` from `oldFirst`
// before the edit); when that cell is gone, or no longer holds the time, the
// first cell and its start. "None" stays none.
void FollowPicture(BYTE* record, size_t cnAt, size_t ptAt, const Cells& cells, size_t first, size_t count,
                   size_t oldFirst, size_t oldCount);

}  // namespace vrm::programs

#endif
