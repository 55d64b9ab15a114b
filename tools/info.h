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
    Ticks duration = 0;
    seg s{};
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
    Ticks start = 0;
    Ticks duration = 0;
    std::vector<Cell> cells;
};

struct Playlist {
    int number = 0;
    DVDPGCINFO info{};  // type, creation date, text
    Ticks duration = 0;
    std::vector<Cell> cells;
};

struct DiscInfo {
    std::string identifier;
    WORD version = 0;
    WORD timeZone = 0;
    BYTE stillTime = 0;
    BYTE characterSet = 0;
    long long movieBytes = -1;  // size of the stream file, -1 when missing
    long long stillBytes = -1;
    DVDPGCINFO original{};
    Ticks originalDuration = 0;
    int originalCells = 0;
    int originalEntryPoints = 0;
    std::vector<Program> programs;
    std::vector<Playlist> playlists;
};

// Gathers everything about the open disc.
DiscInfo Describe(Disc& disc);

// Formats ticks as h:mm:ss.mmm.
std::string FormatTime(Ticks t);
// The NUL-terminated first half of a PRM_TXTI block as UTF-8 (bytes that are
// not UTF-8 are taken as Latin-1).
std::string PrimaryText(const char* text128);

void PrintText(const DiscInfo& d, const std::string& dir);
void PrintJson(const DiscInfo& d);

}  // namespace tool

#endif
