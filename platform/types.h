// Fixed-width integer types and small structures of the DVD-VR management
// library's interface. The widths are those of the on-disc format and of the
// original 32-bit interface, not of the host: DWORD is always 32 bits.
#ifndef VRMANGR_PLATFORM_TYPES_H
#define VRMANGR_PLATFORM_TYPES_H

#include <cstdint>

#include "platform/export.h"

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
#ifndef _MSC_VER
typedef int64_t __int64;
#endif

// The interface keeps the calling-convention keyword of its callback type;
// on this platform there is only one convention.
#ifndef __stdcall
#define __stdcall
#endif

// A calendar date and time, as the system clock reports it (always UTC here).
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;  // 1..12
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;  // 1..31
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

// Progress report handed to the stream library when it analyses or appends
// movie files. The management library never calls it itself: the stream
// library fills the arguments and decides what the result means.
typedef int(__stdcall* ProgressCallback)(void* context, DWORD a, DWORD b, DWORD c, DWORD d);

#endif
