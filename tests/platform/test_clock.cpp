#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"
#include "support/Ints.h"
#include "support/Time.h"

// The pinned clock is what every other test sets; once cleared, the system
// clock agrees with the C library's UTC time.
TEST(Clock, TestClockIsClearedBackToTheSystemClock) {
    { vrm::ScopedTestClock pin(MakeTime(2003, 7, 4, 15, 9, 30), 540); }
    SYSTEMTIME now{};
    vrm::GetSystemTime(&now);
    time_t t = time(nullptr);
    tm utc{};
    gmtime_r(&t, &utc);
    EXPECT_EQ(Ints({now.wYear, now.wMonth, now.wDayOfWeek}), Ints({utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_wday}));
    EXPECT_LT(now.wMilliseconds, 1000);
}

TEST(Clock, ZoneIsTheStandardOffsetFromUtc) {
    const char* was = std::getenv("TZ");
    const std::string old = was ? was : "";
    // Daylight saving time is not counted: five hours west all year.
    for (const auto& [zone, minutes] : {std::pair{"JST-9", 540}, {"EST5EDT,M3.2.0,M11.1.0", -300}, {"UTC0", 0}}) {
        setenv("TZ", zone, 1);
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), minutes) << zone;
    }
    if (was) setenv("TZ", old.c_str(), 1);
    if (!was) unsetenv("TZ");
    tzset();
}
