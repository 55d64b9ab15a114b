// Finding MPEG program-stream recordings in a raw dump of any medium (a
// recorder's hard disk, an unfinalized disc, an image whose file system is
// gone): runs of 2048-byte packs found at any byte offset, then put in
// order into recordings by their system clock, wherever the pieces lie.
#ifndef VRMANGR_TOOLS_DUMP_SCAN_H
#define VRMANGR_TOOLS_DUMP_SCAN_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tool {

// Packs one after another, 2048 bytes each, at a byte offset of the dump.
struct PackRun {
    uint64_t at = 0;  // byte offset of the first pack
    uint64_t packs = 0;
    uint64_t firstScr = 0, lastScr = 0;  // the clock (90 kHz) of its first and last pack
    bool endCode = false;  // its last pack holds a program end code
    // The video's frame rate code of the first sequence header in the run
    // (3: 25 Hz, the 625-line system; 4: 29.97 Hz, 525 lines); 0 when none
    // was seen.
    int frameRate = 0;
    uint64_t firstPackHash = 0;  // of its first pack's bytes, to tell copies apart
    // Still pictures: every VOBU of the run (from one navigation pack to the
    // next) holds exactly one picture.
    bool stills = false;
    uint64_t End() const { return at + packs * 2048; }
};

// The TV system of a frame rate code: 625 lines (3, 25 Hz) or 525 (4 or 5,
// 29.97 or 30 Hz); 0 for another code.
int SystemOf(int frameRate);

// Reads n bytes at offset into buf: the number read (fewer at the end), -1
// on a read error (the stretch is passed over, counted as unreadable).
using DumpReader = std::function<int64_t(uint64_t offset, void* buf, size_t n)>;

// Scans [0, size) of the dump for pack runs: a search for the pack start
// code (00 00 01 BA, found by memchr of its last byte), a pack header whose
// marker bits are set and whose clock reads, and a packet start code
// behind it; a run goes on while the next 2048 bytes start with such a
// pack. Bounded work per byte; memory does not grow with the dump (a 4 MB
// window). progress(done, size) between windows; false from it stops the
// scan (and ScanDump returns false). *unreadable counts bytes that could not
// be read. Each 2048-byte sector of the dump that begins with a management
// file's identifier ("DVD_RTR_VMG0") has its offset added to *management.
bool ScanDump(const DumpReader& read, uint64_t size, const std::function<bool(uint64_t, uint64_t)>& progress,
              std::vector<PackRun>* runs, uint64_t* unreadable, std::vector<uint64_t>* management);

// Recordings put together from runs: runs[i] of each chain in playing
// order. A run continues the run whose last clock it follows by at most a
// second (the nearest such run, of the same TV system, not ended by a
// program end code, of the same kind: movie or still pictures); runs with
// the same bytes as an earlier one are duplicates, listed apart and left
// out.
struct Assembly {
    std::vector<std::vector<size_t>> chains;  // indices into the runs, in order; chains in dump order
    std::vector<std::pair<size_t, size_t>> duplicates;  // (duplicate run, the run it repeats)
};
Assembly AssembleRuns(const std::vector<PackRun>& runs);

}  // namespace tool

#endif
