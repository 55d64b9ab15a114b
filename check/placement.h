// Whether the recordings begin where the tables say: one sector read at each
// place a recording, a VOBU or a still picture begins. There the stream
// holds an MPEG pack header (00 00 01 BA); zeros or other data do not. A
// program stream has a pack header in every sector, though, so the stream of
// another recording passes that test: but a recording divided by navigation
// packs (its first VOBU begins with one) has one at the start of every
// VOBU, and another recording's VOBUs begin elsewhere.
#ifndef VRMANGR_CHECK_PLACEMENT_H
#define VRMANGR_CHECK_PLACEMENT_H

#include <vector>

#include "check/check.h"
#include "check/disc_state.h"

namespace vrm {

// Reads, for the tables of `copy`, the start of every unit (everyUnit) or
// of the first, middle and last unit of each recording, which finds data
// inserted into or cut out of a stream file. Sectors behind the end of a
// stream file are left to the coverage check. Appends a few findings per
// recording, then a count. False when progress cancelled.
bool CheckPlacement(const DiscState& disc, const CopyVerdict& copy, bool everyUnit,
                    std::vector<CheckFinding>* findings);

// How many places the tables of `copy` put a recording, a VOBU or a still
// picture where the stream holds no such start: the evidence that tells a
// copy whose addresses are right from one whose are not. -1 when progress
// cancelled.
long PlacementFindings(const DiscState& disc, const CopyVerdict& copy);

}  // namespace vrm

#endif
