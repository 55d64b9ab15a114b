// The recording time the tool's --date option gives the files it adds: an
// ISO 8601 date and time, or each file's modification time. The disc keeps
// every time in UTC, so each is turned into UTC here.
#ifndef VRMANGR_TOOLS_DATE_H
#define VRMANGR_TOOLS_DATE_H

#include <string>

#include <vrmangr.h>

namespace tool {

// Parses an ISO 8601 time into UTC. Accepted: YYYY-MM-DD, then optionally
// 'T' or a blank, HH:MM, optionally :SS (and a fraction, dropped), then
// optionally a zone: Z, +HH:MM, +HHMM or +HH (or '-'). A time without a zone
// is local time; a date alone is noon local time, which is that same date in
// UTC for any zone within twelve hours of it. False for anything else,
// including dates the calendar lacks and years outside 1900 to 9999.
bool ParseIsoTime(const std::string& text, SYSTEMTIME* utc);

// What --date asked for: nothing (the current time), one time for every
// file, or each file's modification time.
class RecordingDate {
public:
    // Takes WHEN: "mtime" or an ISO 8601 time. False for anything else.
    bool Parse(const std::string& when);
    bool Given() const { return m_given; }
    // The time for file, in UTC; false when its modification time cannot
    // be read.
    bool For(const std::string& file, SYSTEMTIME* utc) const;

private:
    bool m_given = false;
    bool m_mtime = false;
    SYSTEMTIME m_time{};
};

}  // namespace tool

#endif
