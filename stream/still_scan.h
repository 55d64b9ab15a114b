// Finding still pictures in a still stream file that no management file
// describes: a scan divides a stretch of VR_STILL.VRO into its pictures
// (each a VOBU: a navigation pack, one intra picture, optional audio) and
// the damaged stretches between them, and joins neighbouring pictures into
// the still-picture groups a disc can record.
#ifndef VRMANGR_STREAM_STILL_SCAN_H
#define VRMANGR_STREAM_STILL_SCAN_H

#include <cstdint>
#include <vector>

#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "stream/analysis.h"
#include "stream/recording_scan.h"

namespace vrm {

// A stretch of a still stream analysed as one still VOG where it lies.
struct StillRange {
    VR_MPEGFILE_INFO info{};  // pVOBUTable not set
    std::vector<VR_VOBU_ELEMENT> table;  // per picture, addresses from the range's start
    int audioKey = -1;  // the audio stream the pictures carry (AudioStreamKey), -1 none
};

// Analyses packs [first, first + packs) of the file at path as one still
// VOG, as CVR_STILL::fnCheckAppendVOB analyses a file of its own, and
// refuses it unless the packs already lie in the VOG's layout (each
// picture's video and navigation packs, then its audio packs, nothing
// else), so that its picture table describes the sectors where they are.
// Progress (phase VRO_PROGRESS_ANALYSE) over the range's packs.
bool AnalyseStillRange(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                       StillRange* out, AnalysisError* error);

// The scan of packs from `firstSector` to the end of the still stream file
// at path. A picture begins at a navigation pack, or, in a stream without
// them, at a video packet that begins with a sequence header; a pack that
// does not parse loses the picture that holds it, and the stream is
// skipped to the next picture start (a damaged stretch). Each picture is
// analysed where it lies; one the analysis refuses is a damaged stretch
// that says why. Neighbouring pictures join one group (VR_FOUND_STILLS)
// while their attributes agree (picture size, aspect ratio, frame rate,
// MPEG-1 or -2, and the audio stream and its attributes; a picture without
// audio fits any group) and the group holds fewer than 255 pictures; the
// group's text says what ended it. A partial sector at the file's end is a
// damaged stretch of its own (unless it is a lone program end code).
// Progress runs over the split and the analyses. false only when the file
// cannot be read or the callback cancels.
bool ScanStillStream(const char* path, uint64_t firstSector, ProgressCallback cb, void* context,
                     std::vector<VR_FOUND_STRETCH>* found, AnalysisError* error);

}  // namespace vrm

#endif
