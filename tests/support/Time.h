// A SYSTEMTIME from its calendar fields, for tests.
#ifndef VRMANGR_TESTS_TIME_H
#define VRMANGR_TESTS_TIME_H

#include "platform/types.h"

inline SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0) {
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

#endif
