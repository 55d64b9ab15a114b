#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/clock.h"

namespace {

SYSTEMTIME Fixed() {
    SYSTEMTIME t{};
    t.wYear = 2003;
    t.wMonth = 7;
    t.wDay = 4;
    t.wHour = 15;
    t.wMinute = 9;
    t.wSecond = 30;
    return t;
}

// Sets TZ for one test and restores it afterwards.
class ScopedTz {
public:
    explicit ScopedTz(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTz() {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

}  // namespace

TEST(Clock, TestClockPinsTimeAndZoneUntilCleared) {
    {
        vrm::ScopedTestClock pin(Fixed(), 540);
        SYSTEMTIME now{};
        vrm::GetSystemTime(&now);
        EXPECT_EQ(now.wYear, 2003);
        EXPECT_EQ(now.wMonth, 7);
        EXPECT_EQ(now.wDay, 4);
        EXPECT_EQ(now.wHour, 15);
        EXPECT_EQ(now.wSecond, 30);
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), 540);
    }
    // Back on the system clock: it agrees with the C library's UTC time.
    SYSTEMTIME now{};
    vrm::GetSystemTime(&now);
    time_t t = time(nullptr);
    tm utc{};
    gmtime_r(&t, &utc);
    EXPECT_EQ(now.wYear, utc.tm_year + 1900);
    EXPECT_EQ(now.wMonth, utc.tm_mon + 1);
    EXPECT_EQ(now.wDayOfWeek, utc.tm_wday);
    EXPECT_LT(now.wMilliseconds, 1000);
}

TEST(Clock, ZoneIsTheStandardOffsetFromUtc) {
    {
        ScopedTz tz("JST-9");
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), 540);
    }
    {
        // Daylight saving time is not counted: five hours west all year.
        ScopedTz tz("EST5EDT,M3.2.0,M11.1.0");
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), -300);
    }
    {
        ScopedTz tz("UTC0");
        EXPECT_EQ(vrm::LocalUtcOffsetMinutes(), 0);
    }
}
