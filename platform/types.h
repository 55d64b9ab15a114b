// Fixed-width integer types and small structures of the DVD-VR management
// library's interface. The widths are those of the on-disc format and of the
// original 32-bit interface, not of the host: DWORD is always 32 bits.
#ifndef VRMANGR_PLATFORM_TYPES_H
#define VRMANGR_PLATFORM_TYPES_H

#include <cstdint>

#include "platform/export.h"
#include "platform/records.h"

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
typedef vrm_time SYSTEMTIME;

// The records the queries fill (platform/records.h), by the names of the
// C++ interface: a segment of a program chain (tables/seg.h), a program
// chain and a program of the original chain (query/records.h).
typedef vrm_seg seg;
typedef vrm_pgc_info DVDPGCINFO;
typedef vrm_pg_info DVDPGINFO;

// Progress report handed to the stream library when it analyses or appends
// movie files. The management library never calls it itself: the stream
// library fills the arguments and decides what the result means.
typedef int(__stdcall* ProgressCallback)(void* context, DWORD a, DWORD b, DWORD c, DWORD d);

#endif
