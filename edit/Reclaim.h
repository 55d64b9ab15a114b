// Giving back what the original chain no longer plays (see Reclaim.cpp).
#ifndef VRMANGR_EDIT_RECLAIM_H
#define VRMANGR_EDIT_RECLAIM_H

#include <vector>

#include "edit/ProgramCells.h"

namespace vrm::programs {

struct Outcome {
    DWORD removed = 0;  // VOBs and VOGs that went
    DWORD shortened = 0;  // VOBs shortened or split
    // Per playlist as numbered before: 0 unchanged, 1 lost cells or parts
    // of cells, 2 left empty and deleted.
    std::vector<BYTE> playlists;
};

// The original chain's cells are now what the model holds, `before` what
// it held: the playlists, VOBs, VOGs and stream attributes follow. False
// only when the VOBs to be split would be more than the table can number
// (then nothing has changed).
bool Reclaim(CVR_MANGR& m, const Cells& before, Outcome* out);

}  // namespace vrm::programs

#endif
