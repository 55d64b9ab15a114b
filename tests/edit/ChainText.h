// Program chains written and read as text in seconds, for editing tests:
// "5-20[10] 20-40[20,30]" is two movie cells, the first from 5 s to 20 s
// with an entry point at 10 s, the second with entry points at 20 s and
// 30 s. Times that are not whole seconds show as milliseconds ("45.5").
// A still cell shows as "S<group>[<picture>...]".
#ifndef VRMANGR_TESTS_EDIT_CHAINTEXT_H
#define VRMANGR_TESTS_EDIT_CHAINTEXT_H

#include <string>
#include <vector>

#include "support/Cells.h"
#include "tables/CPGCI.h"

inline std::string Seconds(__int64 t) {
    if (t % kSecond == 0) return std::to_string(t / kSecond);
    const __int64 ms = t * 1000 / kSecond;
    std::string frac = std::to_string(ms % 1000);
    frac.insert(0, 3 - frac.size(), '0');
    while (frac.back() == '0') frac.pop_back();
    return std::to_string(ms / 1000) + "." + frac;
}

inline std::string Describe(PGCI& record) {
    CPGCI chain(&record);
    std::string text;
    for (WORD i = 0; i < chain.fnGet_wCI_SRP_Ns(); ++i) {
        CI* cell = chain.Cell(i);
        if (!cell) return text + " <missing cell>";
        CCI c(cell);
        if (!text.empty()) text += ' ';
        if (c.fnGet_CI_TYPE() == CI::kStill) {
            text += "S" + std::to_string(c.fnGet_wS_VOGI_SRPN()) + "[";
            for (WORD e = 0; e < c.fnGet_wC_EPI_Ns(); ++e)
                text += (e ? "," : "") + std::to_string(c.fnGet_c1_S_VOB_ENTN(e));
        } else {
            text += Seconds(c.fnGet_ll_C_V_S_PTS()) + "-" + Seconds(c.fnGet_ll_C_V_E_PTS()) + "[";
            for (WORD e = 0; e < c.fnGet_wC_EPI_Ns(); ++e) text += (e ? "," : "") + Seconds(c.fnGet_ll_EP_PTS(e));
        }
        text += "]";
    }
    return text;
}

#endif
