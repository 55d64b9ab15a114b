// Finding recordings in a movie stream file that no management file
// describes: a scan divides a stretch of VR_MOVIE.VRO into the recordings
// it holds and the damaged stretches between them, then analyses each
// recording where it lies, as an added file would be analysed.
#ifndef VRMANGR_STREAM_RECORDING_SCAN_H
#define VRMANGR_STREAM_RECORDING_SCAN_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"
#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "stream/analysis.h"

// What a scan found: a recording, a group of still pictures (a scan of a
// still stream file), a stretch that holds neither, or unused sectors:
// nothing but zero bytes, as sectors never written or given back read.
enum { VR_FOUND_RECORDING = 1, VR_FOUND_DAMAGED = 2, VR_FOUND_STILLS = 3, VR_FOUND_UNUSED = 4 };
typedef vrm_found_stretch VR_FOUND_STRETCH;

namespace vrm {

// One stretch while the scan divides the stream, before the analysis.
struct ScanPiece {
    DWORD kind = VR_FOUND_DAMAGED;
    uint64_t first = 0;  // sector
    uint64_t sectors = 0;
    std::string text;
};

// Divides packs [first, first + packs) of the stream file at path, reading
// each once (and the VOBU in front of a split again), into recordings and
// damaged stretches, in file order and without gaps. A recording ends
//  - at a program end code;
//  - where the system clock (SCR) of the packs or the time stamps (PTS) of
//    the video jump back or forward by more than a second (two recordings
//    joined end to end);
//  - where a sequence header changes the picture size, aspect ratio or
//    frame rate, or the VOBUs carry another audio stream than the
//    recording's (another coding): at the start of the VOBU that brings the
//    change;
//  - in front of the VOBU holding a pack that does not parse: the damaged
//    stretch runs from that VOBU's start to the next pack that parses and
//    starts a VOBU (a navigation pack; in a stream without them, a video
//    packet beginning with a sequence header);
//  - in front of a sector of nothing but zero bytes: such sectors are
//    unused (never written, or given back), not damage, and the recording
//    before them keeps all it has.
// Packs that do not begin a recording where one is expected (the stream
// starts with noise) are a damaged stretch too. Memory does not grow with
// the stream. false only when the file cannot be read or the callback
// cancels (error says why).
bool SplitMovieStream(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                      std::vector<ScanPiece>* pieces, AnalysisError* error);

// Analyses packs [first, first + packs) of the file at path as one movie
// VOB, exactly as CVR_MOVIE::fnCheckAppendVOB analyses a file of its own
// (addresses in the table count from `first`). Progress as there.
bool AnalyseMovieRange(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                       VR_MPEGFILE_INFO* info, std::vector<VR_VOBU_ELEMENT>* table, AnalysisError* error);

// The whole scan of packs from `firstSector` to the end of the stream file
// at path: the split, then the analysis of each recording found; a
// recording whose analysis fails becomes a damaged stretch that says why.
// A partial sector at the file's end is a damaged stretch of its own
// (unless it is a lone program end code). Progress runs over both passes.
bool ScanMovieStream(const char* path, uint64_t firstSector, ProgressCallback cb, void* context,
                     std::vector<VR_FOUND_STRETCH>* found, AnalysisError* error);

// ---- A found stretch in words, as the check's findings and the tool's
// messages give it (public: vrmangr.h includes this header) ----
// It holds a recording or still pictures (not damage, not unused sectors).
VRMANGR_API bool HoldsRecording(const VR_FOUND_STRETCH& s);
// "bytes A..B" (B behind the last byte).
VRMANGR_API std::string ByteSpan(uint64_t a, uint64_t b);
// Where the stretch lies, "bytes A..B".
VRMANGR_API std::string FoundSpan(const VR_FOUND_STRETCH& s);
// The playing time of `frames` video frames at frameRate frames per 1000 s,
// "H:MM:SS.mmm".
VRMANGR_API std::string FrameTime(DWORD frames, DWORD frameRate);
// What a recording or still group is: "a recording of 0:00:02.000", "2
// still pictures".
VRMANGR_API std::string FoundWhat(const VR_FOUND_STRETCH& s);

}  // namespace vrm

#endif
