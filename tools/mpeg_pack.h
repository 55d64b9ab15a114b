// The headers of MPEG program-stream packs as they begin a sector of a
// stream file (or any stretch of a dump): the pack start code, the system
// clock, the navigation packet that starts a VOBU. No dependency beyond the
// C++ library, so that the dump scanner's fuzz target builds them alone.
#ifndef VRMANGR_TOOLS_MPEG_PACK_H
#define VRMANGR_TOOLS_MPEG_PACK_H

#include <cstddef>
#include <cstdint>

namespace tool {

// The SCR (its 90 kHz base) of a pack header (n bytes of it) whose marker
// bits are all set; false for a malformed one.
bool ReadClock(const unsigned char* p, size_t n, uint64_t* scr);
// The sector (n bytes of it) begins with an MPEG pack header (00 00 01 BA).
bool IsPackHeader(const unsigned char* p, size_t n);
// The pack carries a navigation packet (private stream 2) and so starts a
// VOBU: the packets behind the pack header (MPEG-2: 14 bytes and its
// stuffing; MPEG-1: 12 bytes) are walked by their lengths.
bool CarriesNavigation(const unsigned char* p, size_t n);

}  // namespace tool

#endif
