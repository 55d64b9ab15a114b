// Which (program, cell, entry point) addresses name a segment of a chain.
#include "query/internal/query_support.h"
#include "tables/CCI.h"
#include "tables/CPGCI.h"

namespace vrm::query {

bool ProgramExists(const CPGCI& chain, int pg) { return pg == 1 || (pg > 1 && pg <= chain.fnGet_c1_PG_Ns()); }

DWORD FirstCellOfProgram(const CPGCI& chain, int pg) {
    DWORD first = 0;
    for (int p = 0; p + 1 < pg && p < 0xFF; ++p) first += chain.fnGet_wC_Ns(static_cast<BYTE>(p));
    return first;
}

bool SegmentExists(CPGCI& chain, int pg, int cell, int ep) {
    if (ep < 0 || ep > 0xFFFF) return false;
    const DWORD cells = chain.fnGet_wCI_SRP_Ns();
    if (cells == 0) return false;
    const DWORD number = static_cast<DWORD>(ep);
    if (pg == -1) return cell == -1 && number <= chain.fnGetTotalEntryPointNs(0, 0, 0);
    if (!ProgramExists(chain, pg)) return false;
    const DWORD first = FirstCellOfProgram(chain, pg);
    if (cell == -1) {
        return first < cells &&
               number <= chain.fnGetTotalEntryPointNs(1, static_cast<int>(first) + 1, static_cast<int>(cells));
    }
    if (cell < 1 || static_cast<DWORD>(cell) > cells) return false;
    const DWORD index = first + static_cast<DWORD>(cell) - 1;
    if (index >= cells) return false;
    CI* record = chain.Cell(index);
    return record && number <= CCI(record).fnGet_wC_EPI_Ns();
}

}  // namespace vrm::query
