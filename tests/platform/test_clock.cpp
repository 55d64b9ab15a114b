#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "support/Ints.h"
#include "support/Time.h"

namespace {

// Sets TZ for one test and restores it afterwards.
struct ScopedTz {
    std::optional<std::string> old;
    explicit ScopedTz(const char* tz) {
        if (const char* was = std::getenv("TZ")) old = was;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (old) setenv("TZ", old->c_str(), 1);
        if (!old) unsetenv("TZ");
        tzset();
    }
};

}  // namespace

TEST(Clock, TestClockPinsTimeAndZoneUntilCleared) {
    {
        vrm::ScopedTestClock pin(MakeTime(2003, 7, 4, 15, 9, 30), 540);
        SYSTEMTIME now{};
        vrm::GetSystemTime(&now);
        EXPECT_EQ(Ints({now.wYear, now.wMonth, now.wDay, now.wHour, now.wSecond, vrm::LocalUtcOffsetMinutes()}),
                  Ints({2003, 7, 4, 15, 30, 540}));
    }
    // Back on the system clock: it agrees with the C library's UTC time.
    SYSTEMTIME now{};
    vrm::GetSystemTime(&now);
    time_t t = time(nullptr);
    tm utc{};
    gmtime_r(&t, &utc);
    EXPECT_EQ(Ints({now.wYear, now.wMonth, now.wDayOfWeek}), Ints({utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_wday}));
    EXPECT_LT(now.wMilliseconds, 1000);
}

TEST(Clock, ZoneIsTheStandardOffsetFromUtc) {
    // Daylight saving time is not counted: five hours west all year.
    for (const auto& [zone, minutes] : {std::pair{"JST-9", 540}, {"EST5EDT,M3.2.0,M11.1.0", -300}, {"UTC0", 0}}) {
        ScopedTz tz(zone);
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), minutes) << zone;
    }
}
