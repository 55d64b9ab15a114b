// Which copy of the management file a repair restores over which, and why;
// or why it cannot choose.
#ifndef VRMANGR_CHECK_PLAN_H
#define VRMANGR_CHECK_PLAN_H

#include <string>
#include <vector>

#include "check/disc_state.h"

namespace vrm {

struct TablePlan {
    const CopyVerdict* from = nullptr;  // its bytes replace those of `to`
    const CopyVerdict* to = nullptr;
    std::string why;  // why `from` is kept, when that is not plain
    std::string refusal;  // why nothing can be restored although the copies need it
    DWORD refusalCode = 0;  // the VRO_ERR_* code of the refusal
    // Where two whole copies differ that the stream files cannot settle,
    // side by side (shown before the refusal).
    std::vector<std::string> differences;
    bool cancelled = false;  // progress stopped the reading of the evidence
};

// Which copy to keep. A copy Open refuses (it does not load, or its tables
// disagree) never wins over one it takes. Of two it takes, the one whose
// recordings the stream files hold wins, then the one that describes more
// recorded data, then the one the evidence supports. forced (may be null)
// names the copy the caller asks to keep.
TablePlan PlanTables(const DiscState& d, const CopyVerdict* forced);

// Whether repair removes the data behind the last recording of a stream:
// only when the kept tables' recordings lie whole and apart inside it, and
// both copies load (a copy that does not may have described that data).
// Otherwise *why says why it stays.
bool TrailingRemovable(const DiscState& d, const CopyVerdict* kept, bool still, std::string* why);

}  // namespace vrm

#endif
