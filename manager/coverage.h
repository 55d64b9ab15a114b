// What the recordings of a disc use of its stream files: every VOB of
// VR_MOVIE.VRO and every still-picture group (VOG) of VR_STILL.VRO as a run
// of 2048-byte sectors, taken from each one's own start sector and size
// (recordings need not lie back to back: a recorder that deletes a
// recording may leave its sectors unused), with the overlaps, the unused
// gaps between them, and how the stream file's length compares with the
// highest recorded end.
#ifndef VRMANGR_MANAGER_COVERAGE_H
#define VRMANGR_MANAGER_COVERAGE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"
#include "stream/stream_extents.h"

struct VMG_MODEL;

namespace vrm {

// The coverage of the movie (still = false) or still stream by the
// recordings the model describes, against a stream file of fileBytes bytes
// (present = false for a missing file).
VR_STREAM_COVERAGE ComputeCoverage(const VMG_MODEL& model, bool still, bool present, uint64_t fileBytes);

// The sector behind the highest recording end of the movie or still
// stream: where the next recording goes.
DWORD RecordedEnd(const VMG_MODEL& model, bool still);

// The sectors of runs that none of minus covers, as runs in sector order
// (overlapping or touching runs of either list taken together).
std::vector<VR_SECTOR_RUN> SubtractRuns(std::vector<VR_SECTOR_RUN> runs, std::vector<VR_SECTOR_RUN> minus);

// The extents of a coverage as runs of sectors.
std::vector<VR_SECTOR_RUN> ExtentRuns(const VR_STREAM_COVERAGE& coverage);

}  // namespace vrm

#endif
