// The records the queries for a caller's user interface fill: DVDPGCINFO for
// a program chain (the original chain or a playlist), DVDPGINFO for one
// program of the original chain, and seg (tables/seg.h) for a cell or for the
// segment of an entry point. The caller allocates them; the library writes
// none of the reserved bytes unless a query says it zeroes the whole record.
// The records are declared in platform/records.h (vrm_pgc_info,
// vrm_pg_info); these are their C++ names (platform/types.h).
#ifndef VRMANGR_QUERY_RECORDS_H
#define VRMANGR_QUERY_RECORDS_H

#include <cstddef>

#include "platform/types.h"
#include "tables/seg.h"

// One program of the original chain: the fields of DVDPGCINFO, then the
// segment of the program's first entry point.

static_assert(offsetof(DVDPGCINFO, szPrmText) == 36, "DVDPGCINFO layout");
static_assert(sizeof(DVDPGCINFO) == 216, "DVDPGCINFO layout");
static_assert(offsetof(DVDPGINFO, szPrmText) == offsetof(DVDPGCINFO, szPrmText), "DVDPGINFO layout");
static_assert(offsetof(DVDPGINFO, EntrySeg) == sizeof(DVDPGCINFO), "DVDPGINFO layout");

// Releases the continuation records chained behind s: following pNext from
// every record whose dwHasNext is set, each record behind s is deleted. s
// itself belongs to the caller and stays, with dwHasNext, dwNextNs and pNext
// cleared. Only for chains that CVR_MANGR::fnGetEntryPtInfo allocated (alloc
// != 0); a caller that builds its own chain (alloc = 0) releases it itself.
// Nothing for a null s.
VRMANGR_API void fnReleaseSegChain(seg* s);

#endif
