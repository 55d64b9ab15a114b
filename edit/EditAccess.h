// What the editing operations of the manager share: its accessors of the
// original chain and of the user-defined chains (made on first use), the
// play list search pointers, and the length of a video frame.
#ifndef VRMANGR_EDIT_EDITACCESS_H
#define VRMANGR_EDIT_EDITACCESS_H

#include "platform/types.h"

class CVR_MANGR;
class CPGCI;
class CUD_PGCIT;
struct PGCI;
struct PL_SRPT;

namespace vrm {

// The manager's accessor of the original chain; nullptr when the model has
// no original chain (or the accessor cannot be made).
CPGCI* OriginalChain(CVR_MANGR& m);
// The manager's accessor of UD_PGCIT, bound to the model's record; nullptr
// when the model has none.
CUD_PGCIT* UserChains(CVR_MANGR& m);
// The record of user-defined chain pgcn (1-based), or nullptr.
PGCI* UserChain(CVR_MANGR& m, BYTE pgcn);
// The play list search pointers, or nullptr.
PL_SRPT* Playlists(CVR_MANGR& m);
// The chain that plays playlist pl (1-based): the PGCN of its search
// pointer, or 0 when there is no such playlist or no user-defined chain.
BYTE PlaylistChain(CVR_MANGR& m, int pl);
// 27 MHz ticks of one frame at the frame rate a query reports (frames per
// 1000 s): 1,080,000 at 25000, 900,900 at any other rate; 0 when the query
// reported none.
__int64 FrameTicks(DWORD frameRate);
// The 6-byte PTM of a time; false for a negative time, which a PTM cannot
// hold.
bool PtmOfTime(__int64 time, BYTE ptm[6]);

// Numbers a caller passes as int that the chain operations take as 16 or 8
// bits: a value that does not fit names nothing (rather than another
// number).
inline bool FitsWord(int v) { return v >= 0 && v <= 0xFFFF; }
inline bool FitsByte(int v) { return v >= 0 && v <= 0xFF; }

}  // namespace vrm

#endif
