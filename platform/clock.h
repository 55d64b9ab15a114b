// The system clock as the library sees it: the current UTC date and time for
// every time stamp it writes (recording times, playlist dates, program date
// texts), and the local standard offset from UTC for the time zone of a new
// management file.
//
// Tests pin both to fixed values with SetTestClock; that hook is the only
// process-wide state of the library.
#ifndef VRMANGR_PLATFORM_CLOCK_H
#define VRMANGR_PLATFORM_CLOCK_H

#include "platform/types.h"

namespace vrm {

// Current UTC date and time (or the test clock's, when one is set).
void GetSystemTime(SYSTEMTIME* out);
// The given time, or the current one when none is given.
inline SYSTEMTIME GivenTimeOrNow(const SYSTEMTIME* given) {
    SYSTEMTIME t{};
    if (given) {
        t = *given;
    } else {
        GetSystemTime(&t);
    }
    return t;
}

// Local standard time minus UTC, in minutes: +540 nine hours east of UTC,
// -300 five hours west. Daylight saving is not included, matching the "bias"
// a recorder stores as its zone.
int LocalUtcOffsetMinutes();

// t moved by `minutes` (across days, months and years).
SYSTEMTIME AddMinutes(const SYSTEMTIME& t, int minutes);

// The offset from UTC, in minutes, of the times a disc holds, from its
// TM_ZONE: recorders write 0x1000 plus the offset (0x121C nine hours east,
// 0x0ED4 five hours west), and every recording, playlist and program date
// on the disc is wall-clock time of that zone. False for a value that names
// no offset of the earth's zones (-12:00 to +14:00), whose times are of an
// unknown zone.
bool ZoneOffsetMinutes(WORD tmZone, int* minutes);

// Fixes the clock at `utc` and the zone at `offsetMinutes` until cleared.
void SetTestClock(const SYSTEMTIME& utc, int offsetMinutes);
void ClearTestClock();

// Sets a test clock for the lifetime of the object, then clears it.
class ScopedTestClock {
public:
    ScopedTestClock(const SYSTEMTIME& utc, int offsetMinutes) { SetTestClock(utc, offsetMinutes); }
    ~ScopedTestClock() { ClearTestClock(); }
    ScopedTestClock(const ScopedTestClock&) = delete;
    ScopedTestClock& operator=(const ScopedTestClock&) = delete;
};

}  // namespace vrm

#endif
