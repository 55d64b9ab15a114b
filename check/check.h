// Checking and repairing a recording directory: what is wrong with its two
// management files, its stream files and the leftovers of interrupted
// saves, returned as findings (each with its severity, its kind, the file
// it concerns, a byte range where there is one, and one sentence); and the
// repair of what can be mended without touching a recording: the good copy
// of the management file restored over the other, temporary files removed,
// data behind the last recording that holds none cut off.
//
// The flat interface hands these on (fnVR_CheckDisc, fnVR_RepairDisc); the
// tool prints them.
#ifndef VRMANGR_CHECK_CHECK_H
#define VRMANGR_CHECK_CHECK_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/status.h"
#include "platform/types.h"
#include "stream/stream_extents.h"

namespace vrm {

// How much a finding matters. The values are those of the flat interface
// (VR_CHECK_DAMAGE, ...).
enum class Severity : DWORD {
    kDamage = 0,  // the disc is damaged: the check fails
    kWarning = 1,  // worth knowing (leftovers, unused sectors, a date that is none); the disc is sound
    kNote = 2,  // detail behind another finding (the fields in which two copies differ)
};

// What a finding is about (VR_CHECK_COPY, ...).
enum class FindingKind : DWORD {
    kCopy = 0,  // a management file is missing, unreadable or does not load
    kTables = 1,  // a disagreement between the tables of one copy, or their addresses out of order
    kCopiesDiffer = 2,  // both copies load but hold different bytes
    kMissingData = 3,  // recorded data behind the end of a stream file (range: the bytes missing)
    kOverlap = 4,  // two recordings share sectors (range: the shared bytes)
    kUnused = 5,  // sectors before the last recording that none uses and that hold data (range)
    kPlacement = 6,  // a recording, VOBU or picture does not begin where the tables place it (range: that sector)
    kDate = 7,  // a recording or creation time that names no moment
    kTrailing = 8,  // data behind the last recording that holds no recording (range)
    kUndescribed = 9,  // a recording or still pictures behind the last recording the tables describe (range)
    kTempFile = 10,  // a temporary file of an interrupted save (file: its name; range: its bytes)
    kBusy = 11,  // another process was changing the directory while it was read
    kDifference = 12,  // a field in which two whole copies differ (note)
    kRefusal = 13,  // why repair cannot choose between the copies by itself (note)
    // A run of sectors of a recording that holds no sound MPEG pack (no pack
    // header, a malformed one, a clock that runs back or leaps, a navigation
    // pack out of place); found by the deep check (range: the run's bytes)
    kDamagedSectors = 14,
};

struct CheckFinding {
    Severity severity = Severity::kDamage;
    FindingKind kind = FindingKind::kCopy;
    // The file it concerns by its name in the directory ("VR_MANGR.IFO",
    // "VR_MOVIE.VRO", "VR_MANGR.IFO.tmp-Ab12Cd"); empty for the disc as a
    // whole.
    std::string file;
    bool hasRange = false;
    uint64_t start = 0, end = 0;  // bytes [start, end) of file, when hasRange
    std::string text;  // one sentence
};

struct CheckOptions {
    // Every VOBU and still picture read where the tables place it; without,
    // the first, middle and last unit of each recording.
    bool everyUnit = false;
    // Every sector of every recording of the copy read from read and
    // checked for damage (see PackCheck): a kDamagedSectors finding per
    // damaged run, after the other damage.
    bool deep = false;
    // How long to wait for a writer's lock on the directory before reading
    // without the shared lock (a kBusy warning then says so).
    DWORD lockWaitMs = 2000;
};

// Which copy of the management file: 0 VR_MANGR.IFO, 1 VR_MANGR.BUP.
enum : int { kNoCopy = -1, kIfoCopy = 0, kBupCopy = 1 };

struct CheckReport {
    std::vector<CheckFinding> findings;  // damage and warnings in the order found, then notes
    int readFrom = kNoCopy;  // the copy the disc is read from (as Open chooses it); kNoCopy when neither loads
    bool identical = false;  // both copies present and byte-identical
    long cells = 0;  // cells of the original chain of the copy read from
    uint64_t freeBytes = 0;  // between recordings, reading as zeros: space an edit gave back
    bool leftovers = false;  // repair would remove leftovers of an interrupted save
    int restoreFrom = kNoCopy;  // the copy repair would restore the other from; kNoCopy when none
    std::string restoreWhy;  // why that copy is kept, a clause ("VR_MANGR.IFO is missing")
    // The recordings of the copy read from: VOBs of VR_MOVIE.VRO [0] and
    // VOGs of VR_STILL.VRO [1], by start sector.
    std::vector<VR_STREAM_EXTENT> extents[2];

    size_t Count(Severity severity) const;
};

// Reads dir (a recording directory) and judges it; writes nothing. The
// reader's lock is held while the management files are read. progress
// (may be null) reports the reads of the stream files (phase
// VRO_PROGRESS_ANALYSE; the deep check's read of every sector follows as a
// pass of its own, counting sixteens of sectors) and cancels them when it
// returns 0. False, with
// *status saying why (in one sentence), when dir is no directory or holds
// no disc, when the management files cannot be judged (no scratch
// directory under $TMPDIR), or when progress cancelled; a damaged disc is
// a report, not a failure.
bool CheckDisc(const std::string& dir, const CheckOptions& options, ProgressCallback progress, void* context,
               CheckReport* out, Status* status);

// What a repair did (or, with a dry run, would do).
enum class RepairKind : DWORD {
    kRestore = 0,  // a copy of the management file written over the other (file: the one replaced)
    kTrim = 1,  // bytes behind the last recording cut off (file, range: the bytes removed)
    kRemove = 2,  // a temporary file of an interrupted save removed (file)
    kKept = 3,  // data left in place on purpose, and why (file, range where known)
    kDifference = 4,  // a field in which the copies differ, behind a refusal to choose
    kNothing = 5,  // nothing needed repair
};

struct RepairAction {
    RepairKind kind = RepairKind::kNothing;
    bool done = false;  // changed the directory (false for a dry run and for kKept, kDifference, kNothing)
    std::string file;
    bool hasRange = false;
    uint64_t start = 0, end = 0;
    std::string text;  // one sentence
};

struct RepairOptions {
    bool dryRun = false;  // decide everything, change nothing
    int from = kNoCopy;  // the copy to keep, whatever the evidence (kIfoCopy or kBupCopy)
    // Recordings found behind the last described one go too, with the data
    // around them; otherwise they stay.
    bool discardUndescribed = false;
    DWORD lockWaitMs = 1000;  // for the writer's lock, held throughout
};

struct RepairReport {
    std::vector<RepairAction> actions;  // in the order done
    bool Changed() const;  // something was (or would be) changed
};

// Restores the copy that should be kept over the other, cuts the data
// behind the last recording that holds no recording, removes the temporary
// files of interrupted saves. A copy that describes more recorded data is
// never replaced by one that describes less unless options.from asks, and
// nothing that holds a recording is cut unless discardUndescribed asks.
// What no copy can mend (both damaged, recorded data missing, recordings
// sharing sectors, two whole copies the stream files cannot tell apart) is
// refused before anything is changed. False, with *status saying why, when
// refused or when a step fails (the actions done before it stay in *out).
bool RepairDisc(const std::string& dir, const RepairOptions& options, ProgressCallback progress, void* context,
                RepairReport* out, Status* status);

}  // namespace vrm

#endif
