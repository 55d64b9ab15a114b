#include "date.h"

#include <sys/stat.h>

#include <ctime>

namespace tool {

namespace {

// Reads exactly n decimal digits at text[*at].
bool Digits(const std::string& text, size_t* at, size_t n, int* value) {
    if (*at + n > text.size()) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        const char c = text[*at + i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    *at += n;
    *value = v;
    return true;
}

bool Take(const std::string& text, size_t* at, const char* one_of) {
    if (*at >= text.size()) return false;
    for (const char* c = one_of; *c; ++c) {
        if (text[*at] == *c) {
            ++*at;
            return true;
        }
    }
    return false;
}

bool Leap(long long year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysIn(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && Leap(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and
// back.
long long DaysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

SYSTEMTIME FromEpochSeconds(long long seconds) {
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1;
    const long long m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2);
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(y);
    t.wMonth = static_cast<WORD>(m);
    t.wDay = static_cast<WORD>(d);
    t.wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    t.wHour = static_cast<WORD>(rest / 3600);
    t.wMinute = static_cast<WORD>(rest / 60 % 60);
    t.wSecond = static_cast<WORD>(rest % 60);
    return t;
}

bool InRange(const SYSTEMTIME& t) { return t.wYear >= 1900 && t.wYear <= 9999; }

}  // namespace

bool ParseIsoTime(const std::string& text, SYSTEMTIME* utc) {
    size_t at = 0;
    int year = 0, month = 0, day = 0, hour = 12, minute = 0, second = 0;
    if (!Digits(text, &at, 4, &year) || !Take(text, &at, "-") || !Digits(text, &at, 2, &month) ||
        !Take(text, &at, "-") || !Digits(text, &at, 2, &day)) {
        return false;
    }
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month)) return false;
    const bool dateOnly = at == text.size();
    if (!dateOnly) {
        if (!Take(text, &at, "Tt ") || !Digits(text, &at, 2, &hour) || !Take(text, &at, ":") ||
            !Digits(text, &at, 2, &minute)) {
            return false;
        }
        if (Take(text, &at, ":")) {
            if (!Digits(text, &at, 2, &second)) return false;
            if (Take(text, &at, ".,")) {
                int digit = 0;
                if (!Digits(text, &at, 1, &digit)) return false;
                while (Digits(text, &at, 1, &digit)) {
                }
            }
        }
        if (hour > 23 || minute > 59 || second > 59) return false;
    }
    // The zone, as minutes east of UTC.
    bool zoned = false;
    int offset = 0;
    if (!dateOnly && at < text.size()) {
        zoned = true;
        if (!Take(text, &at, "Zz")) {
            const bool west = text[at] == '-';
            int zh = 0, zm = 0;
            if (!Take(text, &at, "+-") || !Digits(text, &at, 2, &zh)) return false;
            if (at < text.size()) {
                Take(text, &at, ":");
                if (!Digits(text, &at, 2, &zm)) return false;
            }
            if (zh > 23 || zm > 59) return false;
            offset = (west ? -1 : 1) * (zh * 60 + zm);
        }
        if (at != text.size()) return false;
    }

    long long seconds = 0;
    if (zoned) {
        seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600LL + minute * 60LL + second - offset * 60LL;
    } else {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;  // whatever daylight saving the zone had then
        const std::time_t t = std::mktime(&local);
        if (t == static_cast<std::time_t>(-1)) return false;
        seconds = static_cast<long long>(t);
    }
    const SYSTEMTIME result = FromEpochSeconds(seconds);
    if (!InRange(result)) return false;
    *utc = result;
    return true;
}

bool RecordingDate::Parse(const std::string& when) {
    if (when == "mtime") {
        m_given = m_mtime = true;
        return true;
    }
    if (!ParseIsoTime(when, &m_time)) return false;
    m_given = true;
    m_mtime = false;
    return true;
}

bool RecordingDate::For(const std::string& file, SYSTEMTIME* utc) const {
    if (!m_mtime) {
        *utc = m_time;
        return true;
    }
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) return false;
    *utc = FromEpochSeconds(static_cast<long long>(st.st_mtime));
    return true;
}

}  // namespace tool
