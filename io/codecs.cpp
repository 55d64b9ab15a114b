#include "io/codecs.h"

#include <cstdio>
#include <cstring>

#include "io/ByteReader.h"
#include "io/be.h"

int PackRecTm(const SYSTEMTIME* t, BYTE out[5]) {
    if (!t || !out) return 0;
    const unsigned year = t->wYear, month = t->wMonth, day = t->wDay;
    const unsigned hour = t->wHour, minute = t->wMinute, second = t->wSecond;
    out[0] = static_cast<BYTE>(year >> 6);
    out[1] = static_cast<BYTE>(((year & 0x3F) << 2) + (month >> 2));
    out[2] = static_cast<BYTE>(((month & 0x3) << 6) + (day << 1) + (hour >> 4));
    out[3] = static_cast<BYTE>(((hour & 0xF) << 4) + (minute >> 2));
    out[4] = static_cast<BYTE>(((minute & 0x3) << 6) + second);
    return 1;
}

int UnpackRecTm(const BYTE in[5], DWORD out[6]) {
    if (!in || !out) return 0;
    const uint64_t v = vrm::be_load_n(in, 5);
    out[0] = static_cast<DWORD>((v >> 26) & 0x3FFF);
    out[1] = static_cast<DWORD>((v >> 22) & 0xF);
    out[2] = static_cast<DWORD>((v >> 17) & 0x1F);
    out[3] = static_cast<DWORD>((v >> 12) & 0x1F);
    out[4] = static_cast<DWORD>((v >> 6) & 0x3F);
    out[5] = static_cast<DWORD>(v & 0x3F);
    return 1;
}

int PtmFrom27MHz(__int64 count, BYTE out[6]) {
    if (!out) return 0;
    const __int64 base = count / 300;
    const __int64 ext = count % 300;
    vrm::be_store<uint32_t>(out, static_cast<uint32_t>(static_cast<uint64_t>(base)));
    vrm::be_store<uint16_t>(out + 4, static_cast<uint16_t>(static_cast<uint64_t>(ext)));
    return 1;
}

uint64_t PtmTo27MHz(const BYTE in[6]) {
    if (!in) return 0;
    return uint64_t{vrm::be_load<uint32_t>(in)} * 300 + vrm::be_load<uint16_t>(in + 4);
}

namespace {

// Writes the decimal digits of v at buf[at] with a terminating NUL, inside the
// first `room` bytes of buf; returns the number of digits written.
size_t PutDecimal(char* buf, size_t room, size_t at, unsigned v) {
    if (at >= room) return 0;
    int n = std::snprintf(buf + at, room - at, "%u", v);
    if (n < 0) return 0;
    size_t len = static_cast<size_t>(n);
    return len < room - at ? len : room - at - 1;
}

// Reads a decimal number the way strtol does (leading white space, a sign,
// digits) from text[at] without passing `end`. False when the text ends
// before `at`.
bool ParseDecimal(const char* text, size_t end, size_t at, long long* out) {
    if (at >= end) return false;
    size_t i = at;
    while (i < end && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
        if (v < 1000000000LL) v = v * 10 + (text[i] - '0');
        ++i;
    }
    *out = negative ? -v : v;
    return true;
}

}  // namespace

int FormatDateText(const SYSTEMTIME* t, char buf[128], int withTime) {
    if (!t || !buf) return 0;
    // Everything is composed in the first half and copied to the second.
    const size_t room = 64;
    PutDecimal(buf, room, 0, t->wYear);
    buf[4] = '/';
    if (t->wMonth < 10) {
        buf[5] = ' ';
        PutDecimal(buf, room, 6, t->wMonth);
    } else {
        PutDecimal(buf, room, 5, t->wMonth);
    }
    buf[7] = '/';
    if (t->wDay < 10) {
        buf[8] = ' ';
        PutDecimal(buf, room, 9, t->wDay);
    } else {
        PutDecimal(buf, room, 8, t->wDay);
    }
    if (withTime) {
        buf[12] = 'M';
        buf[11] = t->wHour > 12 ? 'P' : 'A';
        const unsigned hour = t->wHour > 12 ? t->wHour - 12u : t->wHour;
        size_t at = 14 + PutDecimal(buf, room, 14, hour);
        buf[at++] = ':';
        PutDecimal(buf, room, at, t->wMinute);
    }
    std::memcpy(buf + 64, buf, 64);
    return 1;
}

int DateTextMatches(const char* text, const SYSTEMTIME* date, size_t textSize) {
    if (!text || !date) return 0;
    const size_t end = strnlen(text, textSize);
    long long year, month, day;
    if (!ParseDecimal(text, end, 0, &year) || !ParseDecimal(text, end, 5, &month) || !ParseDecimal(text, end, 8, &day))
        return 0;
    return year == date->wYear && month == date->wMonth && day == date->wDay ? 1 : 0;
}
