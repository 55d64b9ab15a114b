// Shared pieces of the editing tests. Program chains are written and read as
// text in seconds: "5-20[10] 20-40[20,30]" is two movie cells, the first
// from 5 s to 20 s with an entry point at 10 s, the second with entry points
// at 20 s and 30 s. Times that are not whole seconds show as milliseconds
// ("45.5"). A still cell shows as "S<group>[<picture>...]".
#ifndef VRMANGR_TESTS_EDIT_FIXTURES_H
#define VRMANGR_TESTS_EDIT_FIXTURES_H

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/Disc.h"

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

// Appends the cells of a chain's text to the chain: movie cells of VOB 1,
// still cells of a group of three pictures.
inline bool Build(PGCI& record, const std::string& text) {
    const auto ticks = [](const std::string& s) { return std::llround(std::stod(s) * kSecond); };
    std::istringstream in(text);
    for (std::string cell; in >> cell;) {
        if (cell[0] == 'S') {
            Vog vog(3);
            if (!CPGCI(&record).fnADD_UD_Still_Pic_Cell(&vog.record, WORD(std::stoi(cell.substr(1))), -1)) return false;
            continue;
        }
        const size_t dash = cell.find('-', 1), open = cell.find('[');
        std::vector<__int64> entries;
        for (size_t at = open + 1; cell[at] != ']';) {
            const size_t end = cell.find_first_of(",]", at);
            entries.push_back(ticks(cell.substr(at, end - at)));
            at = cell[end] == ',' ? end + 1 : end;
        }
        if (!AppendCell(record, 1, ticks(cell.substr(0, dash)), ticks(cell.substr(dash + 1, open - dash - 1)), entries))
            return false;
    }
    return true;
}

// A disc to edit, with the chains shown as text.
struct EditDisc : Disc {
    std::string OriginalText() const { return Describe(*Original()); }
    // `result` of an edit: it succeeded and left user-defined chain `pgcn`
    // (0: the original chain) as `chain`.
    void Leaves(int result, const std::string& chain, BYTE pgcn = 1) const {
        EXPECT_EQ(result, 1) << chain;
        EXPECT_EQ(pgcn ? Chain(pgcn) : OriginalText(), chain);
    }
    std::string Chain(BYTE pgcn) const {
        UD_PGCIT* table = Model().pUD_PGCIT;
        if (!table || pgcn == 0 || pgcn > CUD_PGCIT(table).fnGet_c1_UD_PGCI_SRP_Ns()) return "<no chain>";
        return Describe(table->pgci[pgcn - 1u]);
    }
    BYTE Chains() const { return Model().pUD_PGCIT ? CUD_PGCIT(Model().pUD_PGCIT).fnGet_c1_UD_PGCI_SRP_Ns() : 0; }
    // The chain each playlist names, "1 3 2".
    std::string Names() const {
        CPL_SRPT list = Playlists();
        std::string text;
        for (BYTE i = 0; i < list.fnGet_c1_PL_SRP_Ns(); ++i)
            text += (i ? " " : "") + std::to_string(list.fnGet_c1_PGCN(i));
        return text;
    }
};

#endif
