// The scan of what lies behind the described end of a stream file, for
// `adopt`, `extract --undescribed` and `recover`, and the words they name
// what it found with; and the check of a disc image or a drive. The check
// and repair of a directory are the library's (fnVR_CheckDisc,
// fnVR_RepairDisc).
#ifndef VRMANGR_TOOLS_CHECK_DISC_H
#define VRMANGR_TOOLS_CHECK_DISC_H

#include <cstdint>
#include <string>
#include <vector>

#include "cli.h"

namespace tool {

// What a scan finds in a stream file from byte `from` (a sector boundary)
// to its end: recordings (of VR_MOVIE.VRO), groups of still pictures (of
// VR_STILL.VRO) and the stretches between them that hold neither. Reads
// only. False when the file cannot be scanned or Ctrl-C was pressed.
bool ScanBehind(const std::string& path, bool still, uint64_t from, std::vector<VR_FOUND_STRETCH>* found);
// A found stretch in words, as the library's check gives it: "bytes A..B",
// "a recording of 0:00:02.000", "2 still pictures".
using vrm::ByteSpan;
using vrm::FoundSpan;
using vrm::FoundWhat;
using vrm::HoldsRecording;

// The scan for a disc open in handle h (dir its directory): what lies
// behind the highest end its tables describe in VR_MOVIE.VRO (still false)
// or VR_STILL.VRO, with progress. False after a failure or Ctrl-C, which it
// has reported (*status the exit status).
bool FindUndescribedOf(void* h, const std::string& dir, bool still, std::vector<VR_FOUND_STRETCH>* found, int* status);

// check of a disc image or a drive (with a ddrescue map of it when map is
// not empty): the management files as opening judged them, every block of
// the four files read, each unreadable range named with the programs it
// hits; --deep checks every recording's sectors for damage too. The exit
// status, the report printed.
int CheckImage(const std::string& path, const std::string& map, bool deep);

// "VOB 3" or "VOG 3".
std::string RecordingName(bool still, WORD number);

}  // namespace tool

#endif
