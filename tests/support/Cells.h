// Minimal VOB and VOG information records for building cells in tests.
#ifndef VRMANGR_TESTS_CELLS_H
#define VRMANGR_TESTS_CELLS_H

#include <vector>

#include "support/TableIO.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CS_VOGI.h"

constexpr __int64 kSecond = 27000000;

// A movie VOB whose video runs from start to end (27 MHz counts).
struct Vob {
    M_VOBI record{};
    Vob(__int64 start, __int64 end) {
        CM_VOBI v(&record);
        v.fnSet_c6_VOB_V_S_PTM(Ptm(start).data(), 6);
        v.fnSet_c6_VOB_V_E_PTM(Ptm(end).data(), 6);
    }
};

// A still VOG of the given number of pictures.
struct Vog {
    S_VOGI record{};
    explicit Vog(BYTE pictures) { CS_VOGI(&record).fnSet_c1_S_VOB_Ns(pictures); }
};

// Appends a movie cell of VOB vob from start to end with entry points at the
// given times (27 MHz counts).
inline bool AppendCell(PGCI& record, WORD vob, __int64 start, __int64 end, const std::vector<__int64>& entries) {
    CPGCI chain(&record);
    if (!chain.fnADD_UD_Movie_Cell(Ptm(start).data(), Ptm(end).data(), vob, -1)) return false;
    const WORD c = chain.fnGet_wCI_SRP_Ns();
    for (size_t i = 0; i < entries.size(); ++i)
        if (!chain.fnADD_Movie_Entry_Point(c, static_cast<WORD>(i), Ptm(entries[i]).data(), nullptr)) return false;
    return true;
}

#endif
