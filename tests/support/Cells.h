// Minimal VOB and VOG information records for building cells in tests.
#ifndef VRMANGR_TESTS_CELLS_H
#define VRMANGR_TESTS_CELLS_H

#include "support/TableIO.h"
#include "tables/CM_VOBI.h"
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

#endif
