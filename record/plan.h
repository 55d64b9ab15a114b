// Registering an analysed recording on a disc, in two steps: a plan that
// decides everything and changes nothing, then a commit that applies it and
// cannot fail after a good plan. So a refused recording leaves the tables
// and the stream queue exactly as they were, without an undo.
#ifndef VRMANGR_RECORD_PLAN_H
#define VRMANGR_RECORD_PLAN_H

#include <string>

#include "io/status.h"
#include "manager/VMG_MODEL.h"
#include "manager/coverage.h"
#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"

namespace vrm {

struct RecordingPlan {
    bool still = false;
    // The sector of its stream file the recording starts at: behind the
    // highest end of the recordings of the same kind. The one place where
    // it is decided, for movies and stills alike.
    DWORD startSector = 0;
};

// Refuses (false, with why) a movie recording whose TV system differs from
// the disc's recordings. Needs only the first part of an analysis, so a
// recording of the wrong system is refused before the whole file is read.
bool CheckTvSystem(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, const std::string& file, Status* why);

// Plans the registration of the analysed recording `info` of `file`: the
// TV system (movies), the tables' limits (recordings, stream-attribute
// records, pictures per group, cells and programs of the original chain),
// the stream file (no recordings sharing sectors; it ends where the
// recordings do, which is where the stream queue puts the file:
// `queuedEnd`), and the start sector. newProgram: the recording opens a
// program of its own (see CVR_MANGR::fnStartNewProgram); recorded: when it
// was made (UTC; null: now), which decides whether it may join the last
// program. Changes nothing. False with why when the disc cannot take the
// recording.
bool PlanRecording(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, bool still, bool newProgram,
                   const SYSTEMTIME* recorded, const std::string& file, const VR_STREAM_COVERAGE& coverage,
                   DWORD queuedEnd, RecordingPlan* plan, Status* why);

// Whether t is a date and time a recording can carry: years 1900 to 9999,
// months, days (of that month), hours, minutes and seconds in range.
bool ValidRecordingTime(const SYSTEMTIME& t);

}  // namespace vrm

#endif
