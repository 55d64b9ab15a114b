// Field codecs of the management file: the 5-byte recording time REC_TM,
// the 6-byte presentation time PTM, and the date text of programs and
// playlists. (Bit fields are read and written by the attribute value types,
// io/bit_fields.h.)
#ifndef VRMANGR_IO_CODECS_H
#define VRMANGR_IO_CODECS_H

#include <cstddef>

#include "platform/types.h"

// REC_TM: year 14 bits, month 4, day 5, hour 5, minute 6, second 6, most
// significant bit first in 5 bytes. Excess high bits of a field are lost.
int PackRecTm(const SYSTEMTIME* t, BYTE out[5]);
// Year, month, day, hour, minute, second.
int UnpackRecTm(const BYTE in[5], DWORD out[6]);

// PTM: a 32-bit count of the 90 kHz clock and a 16-bit extension (0..299) in
// 27 MHz ticks, both big-endian. The library's times are 27 MHz counts.
int PtmFrom27MHz(__int64 count, BYTE out[6]);
uint64_t PtmTo27MHz(const BYTE in[6]);

// The date text of a program or playlist in a 128-byte buffer the caller has
// zero-filled: "2003/ 7/ 4" at offsets 0..9 and its NUL at 10; with time,
// "AM" or "PM" at 11..12 and the hour and minute ("3:9") from offset 14.
// The first 64 bytes are repeated at 64..127.
int FormatDateText(const SYSTEMTIME* t, char buf[128], int withTime);

// 1 when the decimal numbers at offsets 0, 5 and 8 of the text (leading
// blanks skipped) are the year, month and day of the date. The text is read
// up to its first NUL or `textSize` bytes, whichever comes first; a number
// that would start beyond that end does not match.
int DateTextMatches(const char* text, const SYSTEMTIME* date, size_t textSize = 128);

#endif
