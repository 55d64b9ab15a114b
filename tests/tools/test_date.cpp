// The --date parser of the tool: the ISO 8601 forms it takes, the UTC time
// each gives, and what it refuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "date.h"
#include "support/Ints.h"

namespace {

// Sets the local zone (a POSIX TZ string) for the lifetime of the object.
class ScopedZone {
public:
    explicit ScopedZone(const char* tz) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedZone() {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

Ints Fields(const SYSTEMTIME& t) { return Ints({t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}); }

}  // namespace

TEST(DateOption, IsoTimesInUtc) {
    // Local time: central European, summer time from the last Sunday of
    // March to the last Sunday of October.
    const ScopedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const struct {
        const char* text;
        Ints utc;
    } accepted[] = {
        {"2019-05-04T18:30:00Z", {2019, 5, 4, 18, 30, 0}},
        {"2019-05-04T18:30:00+02:00", {2019, 5, 4, 16, 30, 0}},
        {"2019-05-04t18:30-0530", {2019, 5, 5, 0, 0, 0}},
        {"2019-05-04T01:30+03", {2019, 5, 3, 22, 30, 0}},
        {"2019-12-31T23:30-01:00", {2020, 1, 1, 0, 30, 0}},
        {"2020-02-29T23:59:59.999z", {2020, 2, 29, 23, 59, 59}},
        {"2019-05-04 18:30", {2019, 5, 4, 16, 30, 0}},  // local summer time
        {"2019-01-04 18:30:15", {2019, 1, 4, 17, 30, 15}},  // local winter time
        {"2019-05-04", {2019, 5, 4, 10, 0, 0}},  // noon local time
    };
    for (const auto& a : accepted) {
        SYSTEMTIME t{};
        ASSERT_TRUE(tool::ParseIsoTime(a.text, &t)) << a.text;
        EXPECT_EQ(Fields(t), a.utc) << a.text;
    }
    const char* refused[] = {"",
                             "yesterday",
                             "2019-5-4",
                             "2019-05-04T",
                             "2019-05-04T18",
                             "2019-05-04T18:3",
                             "2019-05-04T24:00",
                             "2019-05-04T18:60",
                             "2019-05-04T18:30:60",
                             "2019-05-04T18:30:00.",
                             "2019-02-29",
                             "2019-04-31",
                             "2019-13-01",
                             "1899-12-31T12:00Z",
                             "9999-12-31T23:00-02:00",
                             "2019-05-04Z",
                             "2019-05-04T18:30Z junk",
                             "2019-05-04T18:30+2",
                             "2019-05-04T18:30+02:",
                             "2019-05-04T18:30+24:00",
                             "2019-05-04_18:30"};
    for (const char* text : refused) {
        SYSTEMTIME t = {1, 2, 3, 4, 5, 6, 7, 8};
        EXPECT_FALSE(tool::ParseIsoTime(text, &t)) << text;
        EXPECT_EQ(Fields(t), Ints({1, 2, 4, 5, 6, 7})) << "left as it was: " << text;
    }
    tool::RecordingDate date;
    EXPECT_FALSE(date.Parse("today"));
    EXPECT_FALSE(date.Given());
    ASSERT_TRUE(date.Parse("mtime"));
    SYSTEMTIME t{};
    EXPECT_FALSE(date.For("/no/such/file", &t));
}
