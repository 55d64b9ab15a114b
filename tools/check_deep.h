// `vrmangr check --deep`: every sector of every recording read where the
// tables place it, checked for damage.
#ifndef VRMANGR_TOOLS_CHECK_DEEP_H
#define VRMANGR_TOOLS_CHECK_DEEP_H

#include <string>
#include <vector>

#include "cli.h"

namespace tool {

// Reads every sector of the recordings of the copy the last check of
// handle h read dir from (fnVR_GetCheckExtents) and checks each for a pack
// header (and, in VR_MOVIE.VRO, a clock that runs on; see PackCheck).
// Appends one sentence per damaged run (at most a few per recording, then
// a count). Sectors behind the end of a stream file are left to the
// library's check. False when Ctrl-C stopped it.
bool DeepCheck(void* h, const std::string& dir, std::vector<std::string>* problems);

}  // namespace tool

#endif
