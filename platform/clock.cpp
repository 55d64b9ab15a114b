#include "platform/clock.h"

#include <sys/time.h>
#include <ctime>

namespace vrm {
namespace {

struct TestClock {
    bool active = false;
    SYSTEMTIME utc{};
    int offsetMinutes = 0;
};

TestClock& testClock() {
    static TestClock clock;
    return clock;
}

}  // namespace

void GetSystemTime(SYSTEMTIME* out) {
    if (!out) return;
    const TestClock& tc = testClock();
    if (tc.active) {
        *out = tc.utc;
        return;
    }
    timeval tv{};
    gettimeofday(&tv, nullptr);
    time_t secs = tv.tv_sec;
    tm parts{};
    gmtime_r(&secs, &parts);
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    out->wSecond = static_cast<WORD>(parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(tv.tv_usec / 1000);
}

int LocalUtcOffsetMinutes() {
    const TestClock& tc = testClock();
    if (tc.active) return tc.offsetMinutes;
    tzset();
    // `timezone` is seconds west of UTC for standard time.
    return static_cast<int>(-timezone / 60);
}

SYSTEMTIME AddMinutes(const SYSTEMTIME& t, int minutes) {
    tm parts{};
    parts.tm_year = t.wYear - 1900;
    parts.tm_mon = t.wMonth - 1;
    parts.tm_mday = t.wDay;
    parts.tm_hour = t.wHour;
    parts.tm_min = t.wMinute + minutes;
    parts.tm_sec = t.wSecond;
    const time_t secs = timegm(&parts);
    tm out{};
    gmtime_r(&secs, &out);
    SYSTEMTIME r = t;
    r.wYear = static_cast<WORD>(out.tm_year + 1900);
    r.wMonth = static_cast<WORD>(out.tm_mon + 1);
    r.wDayOfWeek = static_cast<WORD>(out.tm_wday);
    r.wDay = static_cast<WORD>(out.tm_mday);
    r.wHour = static_cast<WORD>(out.tm_hour);
    r.wMinute = static_cast<WORD>(out.tm_min);
    r.wSecond = static_cast<WORD>(out.tm_sec);
    return r;
}

bool ZoneOffsetMinutes(WORD tmZone, int* minutes) {
    const int offset = static_cast<int>(tmZone) - 0x1000;
    if (offset < -12 * 60 || offset > 14 * 60) return false;
    *minutes = offset;
    return true;
}

void SetTestClock(const SYSTEMTIME& utc, int offsetMinutes) {
    TestClock& tc = testClock();
    tc.active = true;
    tc.utc = utc;
    tc.offsetMinutes = offsetMinutes;
}

void ClearTestClock() { testClock() = TestClock{}; }

}  // namespace vrm
