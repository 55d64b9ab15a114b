// Pieces shared by the query tests: the time of the recordings' VOBUs, and a
// segment that runs on through continuation cells.
#ifndef VRMANGR_TESTS_QUERY_DISC_H
#define VRMANGR_TESTS_QUERY_DISC_H

#include <gtest/gtest.h>

#include <vector>

#include "support/Disc.h"
#include "tables/CCI.h"

constexpr __int64 kVobu = 12 * kFrame625;  // one VOBU of UniformRecording
constexpr __int64 kStart = 27000000;  // video start of the recordings

inline void AddCell(PGCI* chain, WORD vob, __int64 start, __int64 end, const std::vector<__int64>& entryPoints) {
    ASSERT_TRUE(AppendCell(*chain, vob, start, end, entryPoints));
}

// Three cells over one VOB of eight VOBUs from kStart: A (VOBUs 0-2, entry
// point at its start), B (VOBUs 3-4, none: a continuation cell) and C (VOBUs
// 5-7, entry point at VOBU 7: a continuation cell, since that lies more than
// half a second after its start). Entry point 1 runs from A through B into
// C's first part; entry point 2 is C's last VOBU.
inline void AddContinuationCells(PGCI* chain) {
    AddCell(chain, 1, kStart, kStart + 3 * kVobu, {kStart});
    AddCell(chain, 1, kStart + 3 * kVobu, kStart + 5 * kVobu, {});
    AddCell(chain, 1, kStart + 5 * kVobu, kStart + 8 * kVobu, {kStart + 7 * kVobu});
}

#endif
