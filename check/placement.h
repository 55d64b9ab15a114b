// Whether the recordings begin where the tables say: one sector read at each
// place a recording, a VOBU or a still picture begins. There the stream
// holds an MPEG pack header (00 00 01 BA); zeros or other data do not. A
// program stream has a pack header in every sector, though, so the stream of
// another recording passes that test: but a recording divided by navigation
// packs (its first VOBU begins with one) has one at the start of every
// VOBU, and another recording's VOBUs begin elsewhere.
#ifndef VRMANGR_CHECK_PLACEMENT_H
#define VRMANGR_CHECK_PLACEMENT_H

#include <string>
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

// Reads every sector of the recordings `extents` names (VOBs [0], VOGs [1],
// as CheckReport::extents) and checks each for a pack header and, in
// VR_MOVIE.VRO, a clock that runs on within each VOBU (see PackCheck).
// Appends a kDamagedSectors finding per damaged run (a few per recording,
// then a count). Sectors behind the end of a stream file are left to the
// coverage check. False when progress cancelled.
bool CheckSectors(const DiscState& disc, const std::vector<VR_STREAM_EXTENT> (&extents)[2],
                  std::vector<CheckFinding>* findings);

// The findings of one kind about one recording: the first few, then how
// many more (when destroyed).
class RecordingFindings {
public:
    // out null: only counted (in *total, as every finding is). prefix
    // begins each sentence: "VR_MOVIE.VRO: VOB 2".
    RecordingFindings(std::vector<CheckFinding>* out, FindingKind kind, const char* file, std::string prefix,
                      long* total)
        : m_out(out), m_kind(kind), m_file(file), m_prefix(std::move(prefix)), m_total(total) {}
    ~RecordingFindings();
    RecordingFindings(const RecordingFindings&) = delete;
    RecordingFindings& operator=(const RecordingFindings&) = delete;
    // A finding about bytes [start, end) of the file; text follows the prefix.
    void Add(uint64_t start, uint64_t end, const std::string& text);

private:
    static constexpr long kShownPerRecording = 3;
    void Push(bool ranged, uint64_t start, uint64_t end, std::string text);
    std::vector<CheckFinding>* m_out;
    FindingKind m_kind;
    const char* m_file;
    std::string m_prefix;
    long* m_total;
    long m_count = 0;
};

}  // namespace vrm

#endif
