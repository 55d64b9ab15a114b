// What `vrmangr info` reports about a disc, gathered once through the query
// functions and then printed as text or as JSON (docs/json.md).
#ifndef VRMANGR_TOOLS_INFO_H
#define VRMANGR_TOOLS_INFO_H

#include <string>
#include <vector>

#include "cli.h"

namespace tool {

// 27 MHz clock ticks.
typedef long long Ticks;

struct Segment {
    int number = 0;  // global entry-point number of the chain
    Ticks start = 0;  // from the start of the chain
    Ticks duration = 0;  // the whole segment's, continuation cells included
    seg s{};  // its part in its own cell
    // The cells without an entry point that the segment runs on into: the
    // part in each, in chain order (the cells behind the segment's own).
    std::vector<seg> continuation;
};

struct Cell {
    int number = 0;  // global cell number of the chain
    Ticks start = 0;
    Ticks duration = 0;
    seg s{};  // attributes and byte range of the whole cell
    std::vector<Segment> entryPoints;
};

struct Program {
    int number = 0;
    DVDPGCINFO info{};  // type, recording date, text, duration
    std::string label, title;  // the two halves of the text, decoded (UTF-8)
    std::string item;  // the item text it names in TXTDT_MG, decoded; "" for maker data
    std::string itemData;  // that item's bytes in hex when they are no text (a maker's record)
    bool protectedContent = false;  // copy-protected (CPRM) recordings
    Ticks start = 0;
    Ticks duration = 0;
    std::vector<Cell> cells;
};

struct Playlist {
    int number = 0;
    DVDPGCINFO info{};  // type, creation date, text
    std::string label, title, item, itemData;  // as for Program
    Ticks duration = 0;
    std::vector<Cell> cells;
};

// The offset from UTC in minutes of the zone a disc's TM_ZONE names (0x1000
// plus the offset, -12:00 to +14:00); false for a value that names none.
// The disc's times are wall-clock times of that zone.
bool ZoneMinutes(WORD zone, int* minutes);
// The instant (seconds since 1970, UTC) of a date as the disc keeps it:
// {year, month, day, hour, minute, second}, wall-clock time of the zone
// TM_ZONE names (taken as UTC where it names none). False for no date.
bool DiscInstant(const DWORD date[6], WORD zone, time_t* out);
// The disc's TM_ZONE (0 when no disc is open).
WORD DiscZone(void* handle);

struct DiscInfo {
    std::string identifier;
    WORD version = 0;
    WORD timeZone = 0;
    BYTE stillTime = 0;
    BYTE characterSet = 0;
    std::string characterSetName;  // "Shift-JIS", ...; "unknown" for a code the library does not know
    bool characterSetKnown = true;  // false: texts were read as ISO 8859-1
    long long movieBytes = -1;  // size of the stream file, -1 when missing
    long long stillBytes = -1;
    uint64_t usedBytes = 0;  // the four files, in whole sectors
    uint64_t mediumBytes = 0;  // the medium's recordable bytes; 0 when not asked
    VR_PROTECTION protection{};  // CPRM data of the disc and its protected programs
    DVDPGCINFO original{};
    Ticks originalDuration = 0;
    int originalCells = 0;
    int originalEntryPoints = 0;
    std::vector<Program> programs;
    std::vector<Playlist> playlists;
};

// Gathers everything about the open disc.
DiscInfo Describe(Disc& disc);
// The same for the disc open in a handle, without the stream files'
// lengths (-1).
DiscInfo Describe(void* handle);

// Formats ticks as h:mm:ss.mmm.
std::string FormatTime(Ticks t);
// The NUL-terminated first half of a PRM_TXTI block as UTF-8 (bytes that are
// not UTF-8 are taken as Latin-1): JSON's `text`, kept as it always was.
std::string PrimaryText(const char* text128);
// The label or title of program (playlist) n as the library decodes it from
// the disc's character set; "" for none.
std::string ProgramText(void* handle, int n, bool title);
std::string PlaylistText(void* handle, int n, bool title);

void PrintText(const DiscInfo& d, const std::string& dir);
void PrintJson(const DiscInfo& d);

}  // namespace tool

#endif
