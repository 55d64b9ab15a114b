// `vrmangr check --deep`: reads the stream files where the tables say the
// recordings begin.
#ifndef VRMANGR_TOOLS_CHECK_DEEP_H
#define VRMANGR_TOOLS_CHECK_DEEP_H

#include <string>
#include <vector>

#include "check_disc.h"

namespace tool {

// Verifies, for the tables of `copy`, that every movie VOB begins with an
// MPEG pack header at its start sector and every VOBU of its time map where
// the map says (and with a navigation pack when the VOB begins with one),
// and that every still VOG and each of its pictures begins with a pack
// header. Sectors behind the end of a stream file are left to the coverage
// check. Appends one sentence per finding to problems (at most a few per
// recording, then a count). False when Ctrl-C stopped it.
bool DeepCheck(const DiscState& disc, const CopyVerdict& copy, std::vector<std::string>* problems);

// The quick form for a plain check: the first, middle and last unit of each
// recording only (three reads each), which finds data inserted into or cut
// out of a stream file. False when Ctrl-C stopped it.
bool QuickPlacementCheck(const DiscState& disc, const CopyVerdict& copy, std::vector<std::string>* problems);

// How many places the tables of `copy` put a recording, a VOBU or a still
// picture where the stream holds no such start (the first part of the deep
// check: one sector read per VOBU or picture): the evidence that tells a
// copy whose addresses are right from one whose are not.
long PlacementFindings(const DiscState& disc, const CopyVerdict& copy);

}  // namespace tool

#endif
