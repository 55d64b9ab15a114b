// Edit lists of an MP4 file as libavformat's muxer leaves it: the muxer
// writes one edit per track at most, so that a chain whose cells start or
// end inside a VOBU would play the frames around each cell. RewriteEdits
// puts one edit per cell into the video and audio tracks instead, each
// showing the cell from its first frame to its last; the frames around
// them stay in the file, for decoding.
#ifndef VRMANGR_EXPORT_MP4_EDITS_H
#define VRMANGR_EXPORT_MP4_EDITS_H

#include <cstdint>
#include <string>
#include <vector>

namespace vrexport {

// Times in 90 kHz units.
struct Edit {
    int64_t mediaTime = 0;  // the cell's first frame, from the track's first decoding time
    int64_t duration = 0;  // the cell's length
};

struct TrackEdits {
    char handler[5] = "";  // "vide" or "soun": the track of that kind gets the edits
    std::vector<Edit> edits;
};

// Rewrites the edit lists of the finished MP4 file open in fd (its movie box
// last, as the muxer writes it without "faststart") and the durations of the
// movie and of the edited tracks. false when the file is not laid out so or
// cannot be read or written, with *error a sentence to follow its name
// ("cannot be finished: ...").
bool RewriteEdits(int fd, const std::vector<TrackEdits>& tracks, std::string* error);

}  // namespace vrexport

#endif
