// What `vrmangr check` and `vrmangr repair` find in a recording directory:
// each management file judged on its own, the stream files as they are, the
// stream extents each copy's tables describe, and the leftovers of an
// interrupted save. Reading a directory writes nothing into it.
#ifndef VRMANGR_TOOLS_CHECK_DISC_H
#define VRMANGR_TOOLS_CHECK_DISC_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli.h"

namespace tool {

// A stream file of the directory as found.
struct StreamFile {
    const char* name = nullptr;  // VR_MOVIE.VRO or VR_STILL.VRO
    bool present = false;
    uint64_t bytes = 0;
};

// One stream file as one copy's tables describe it, measured against the
// file found in the directory.
struct StreamView {
    VR_STREAM_USE use{};
    std::vector<VR_STREAM_EXTENT> extents;  // every VOB or VOG, by start sector
    std::vector<VR_EXTENT_PAIR> overlaps;  // recordings that share sectors
    std::vector<VR_SECTOR_RUN> gaps;  // unused sectors before the last recording
    std::vector<WORD> beyondEnd;  // recordings that end behind the end of the file
    uint64_t RecordedEndBytes() const { return uint64_t{use.dwRecordedEnd} * kSectorBytes; }
    // Recorded bytes behind the end of the file.
    uint64_t MissingBytes() const { return static_cast<uint64_t>(use.llMissingBytes); }
    uint64_t RecordedSectors() const;
    bool Fits() const { return use.llMissingBytes == 0; }
    // It lies inside the file and no two recordings share sectors.
    bool Holds() const { return Fits() && overlaps.empty(); }
};

class LoadedCopy;

// What one management file (VR_MANGR.IFO or VR_MANGR.BUP) says.
struct CopyVerdict {
    std::string name;  // VR_MANGR.IFO or VR_MANGR.BUP
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
    std::shared_ptr<LoadedCopy> loaded;  // the tables, for the deep check
    bool unjudged = false;  // no scratch directory could be made for it

    bool Consistent() const { return loads && violations.empty(); }
    // Every recording lies inside its stream file, none sharing sectors.
    bool Holds() const { return loads && movie.Holds() && still.Holds(); }
    bool Good() const { return Consistent() && Holds(); }
    uint64_t RecordedSectors() const { return movie.RecordedSectors() + still.RecordedSectors(); }
    // The handle the copy is open in; null when it does not load.
    void* Handle() const;
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

    // The copy a disc is read from, as Open chooses it: the IFO when it is
    // consistent and its recordings lie inside the stream files without
    // sharing sectors, else the BUP when it is; failing both, the one that
    // loads, the IFO first. nullptr when neither loads.
    const CopyVerdict* Current() const;
    // The copy other than c.
    const CopyVerdict& Other(const CopyVerdict& c) const { return &c == &ifo ? bup : ifo; }
    // The sector behind the last recording of the stream in either copy
    // that loads: data behind it belongs to no recording.
    uint64_t DescribedEndBytes(bool still) const;
    // Bytes of the stream file behind every recording either copy describes.
    uint64_t TrailingBytes(bool still) const;
    // A copy could not be judged: no scratch directory under $TMPDIR.
    bool Unjudged() const { return ifo.unjudged || bup.unjudged; }
};

// Reads and judges everything; changes nothing in dir.
DiscState ReadDisc(const std::string& dir);

// What a scan finds in a stream file from byte `from` (a sector boundary)
// to its end: recordings (of VR_MOVIE.VRO), groups of still pictures (of
// VR_STILL.VRO) and the stretches between them that hold neither. Reads
// only. False when the file cannot be scanned or Ctrl-C was pressed.
bool ScanBehind(const std::string& path, bool still, uint64_t from, std::vector<VR_FOUND_STRETCH>* found);
bool HoldsRecording(const VR_FOUND_STRETCH& s);
// "bytes A..B" (B behind the last byte).
std::string ByteSpan(uint64_t a, uint64_t b);
// Where a stretch a scan found lies, "bytes A..B".
std::string FoundSpan(const VR_FOUND_STRETCH& s);
// What a recording or still group a scan found is: "a recording of
// 0:00:02.000", "2 still pictures".
std::string FoundWhat(const VR_FOUND_STRETCH& s);
// Bytes [from, to) of the file at path read (at most their first 8 MB) for
// MPEG pack headers at positions off the sector boundaries: the number of
// bytes into its sectors at which packs begin (1 to 2047) when they do so
// again and again, as in a stream whose first bytes are missing; 0
// otherwise.
long MisalignedPacks(const std::string& path, uint64_t from, uint64_t to);

// The data of a stream file behind the last recording either copy of the
// tables describes: first what the scratch copy of an interrupted save
// describes (its own append, cut short by the interruption), then what a
// scan of the rest finds. Repair may remove what holds no recording; a
// recording stays unless the user asks for it to go.
struct Undescribed {
    uint64_t start = 0, end = 0;  // the described end and the file's length
    uint64_t explainedEnd = 0;  // [start, explainedEnd): an interrupted save's own data
    std::string explainedBy;  // the scratch copy that describes it
    bool scanned = true;  // false: the rest could not be scanned (then all of it is kept)
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
// The same scan for a disc open in handle h (dir its directory): what
// lies behind the highest end its tables describe in VR_MOVIE.VRO (still
// false) or VR_STILL.VRO, with progress. False after a failure or Ctrl-C,
// which it has reported (*status the exit status).
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
