// A recording directory as the check reads it: each management file judged
// on its own, the stream files as they are, the stream extents each copy's
// tables describe, the leftovers of an interrupted save, and what lies
// behind the last recording either copy describes. Reading writes nothing
// into the directory.
#ifndef VRMANGR_CHECK_DISC_STATE_H
#define VRMANGR_CHECK_DISC_STATE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "manager/CVR_MANGR.h"
#include "manager/ManagerFiles.h"
#include "stream/stream_extents.h"

namespace vrm {

constexpr uint64_t kCheckSector = 2048;

// A stream file of the directory as found.
struct StreamFile {
    const char* name = nullptr;  // VR_MOVIE.VRO or VR_STILL.VRO
    bool present = false;
    uint64_t bytes = 0;
};

// One stream file as one copy's tables describe it, measured against the
// file found in the directory.
struct StreamView {
    VR_STREAM_COVERAGE use;
    std::vector<WORD> beyondEnd;  // recordings that end behind the end of the file
    uint64_t RecordedEndBytes() const { return uint64_t{use.dwRecordedEnd} * kCheckSector; }
    uint64_t RecordedSectors() const;
    bool Fits() const { return use.qwMissingBytes == 0; }
    // It lies inside the file and no two recordings share sectors.
    bool Holds() const { return Fits() && use.overlaps.empty(); }
};

class LoadedCopy;

// What one management file (VR_MANGR.IFO or VR_MANGR.BUP) says.
struct CopyVerdict {
    std::string name;
    bool present = false;
    // Open takes it: a whole management file whose tables agree with each
    // other. Open refuses any other copy.
    bool loads = false;
    std::vector<char> bytes;
    std::string damage;  // why it does not load, to follow its name: "is missing"
    // Tables that disagree with each other (why Open refused the copy), or
    // table addresses out of order in a copy that loads: one sentence each.
    std::vector<std::string> violations;
    StreamView movie, still;
    long recordings = 0;  // VOBs and VOGs
    long programs = 0;
    long cells = 0;
    long playlists = 0;
    std::shared_ptr<LoadedCopy> loaded;
    bool unjudged = false;  // no scratch directory could be made for it

    bool Consistent() const { return loads && violations.empty(); }
    // Every recording lies inside its stream file, none sharing sectors.
    bool Holds() const { return loads && movie.Holds() && still.Holds(); }
    bool Good() const { return Consistent() && Holds(); }
    uint64_t RecordedSectors() const { return movie.RecordedSectors() + still.RecordedSectors(); }
    const StreamView& View(bool inStill) const { return inStill ? still : movie; }
    // The tables the copy loaded into; null when it does not load.
    CVR_MANGR* Tables() const;
};

// A temporary file of an interrupted save beside the management or stream
// files: <final name>.tmp-XXXXXX, or <final name>.new of older versions.
struct TempFile {
    std::string name;
    uint64_t bytes = 0;
};

struct DiscState {
    std::string dir;
    StreamFile movie, still;
    CopyVerdict ifo, bup;
    bool identical = false;  // both present and byte-identical
    std::vector<TempFile> tempFiles;
    ProgressCallback progress = nullptr;
    void* context = nullptr;

    // The copy a disc is read from, as Open chooses it: the IFO when it is
    // consistent and its recordings lie inside the stream files without
    // sharing sectors, else the BUP when it is; failing both, the one that
    // loads, the IFO first. nullptr when neither loads.
    const CopyVerdict* Current() const;
    const CopyVerdict& Other(const CopyVerdict& c) const { return &c == &ifo ? bup : ifo; }
    const StreamFile& File(bool inStill) const { return inStill ? still : movie; }
    std::string PathOf(const std::string& name) const;
    // The end of the last recording of the stream in either copy that
    // loads: data behind it belongs to no recording.
    uint64_t DescribedEndBytes(bool inStill) const;
    // Bytes of the stream file behind every recording either copy describes.
    uint64_t TrailingBytes(bool inStill) const;
};

// Judges the management file `name` of d's directory on its own (the
// scratch copy of an interrupted save, say), against d's stream files.
CopyVerdict JudgeCopy(const DiscState& d, const std::string& name);

// Reads and judges everything; changes nothing in dir. False, with *status
// saying why, when dir holds no disc or a copy cannot be judged.
bool ReadDisc(const std::string& dir, DiscState* d, Status* status);

// The data of a stream file behind the last recording either copy of the
// tables describes: first what the scratch copy of an interrupted save
// describes (its own append, cut short by the interruption), then what a
// scan of the rest finds.
struct Undescribed {
    uint64_t start = 0, end = 0;  // the described end and the file's length
    uint64_t explainedEnd = 0;  // [start, explainedEnd): an interrupted save's own data
    std::string explainedBy;  // the scratch copy that describes it
    bool scanned = true;  // false: the rest could not be scanned (then all of it is kept)
    bool cancelled = false;  // the progress callback stopped the scan
    // The rest holds no recording at sector boundaries, but MPEG packs that
    // begin this many bytes into their sectors (then all of it is kept).
    long misaligned = 0;
    std::vector<VR_FOUND_STRETCH> found;  // the rest, in file order
    // The end of the last stretch that holds a recording or still pictures
    // (the whole stretch when it could not be scanned); start when none.
    uint64_t KeepEnd() const;
    long Recordings() const;
};
Undescribed FindUndescribed(const DiscState& d, bool still);

// Bytes [from, to) of the file at path read (at most their first 8 MB) for
// MPEG pack headers off the sector boundaries: the number of bytes into
// its sectors at which packs begin (1 to 2047) when they do so again and
// again, as in a stream whose first bytes are missing; 0 otherwise.
long MisalignedPacks(const std::string& path, uint64_t from, uint64_t to);

// Words of the findings.
// (A found stretch in words: FoundWhat, FoundSpan, stream/recording_scan.h.)
std::string Count(long long n, const char* one, const char* many);
std::string Join(const std::vector<std::string>& items);
std::string RecordingName(bool still, WORD number);  // "VOB 3", "VOG 3"

}  // namespace vrm

#endif
