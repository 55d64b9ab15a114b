#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"

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
