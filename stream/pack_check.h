// Checking recorded MPEG data for damage as it is read: a recording in a
// stream file is a program stream of 2048-byte packs, so every sector of it
// begins with a pack header (00 00 01 BA, its marker bits set), and the
// system clock (SCR) of the packs of one VOBU runs on without going back or
// leaping. Zeroed or overwritten sectors, a sector lost or inserted, data
// of another kind: each shows as sectors that break one of these rules.
//
// A library addition, part of the public C++ interface (vrmangr.h includes
// it): the deep check of a directory (CheckOptions::deep, VR_CHECK_DEEP)
// reads every recorded sector through it, and a caller that copies
// recordings out of a stream file checks them as it copies.
#ifndef VRMANGR_STREAM_PACK_CHECK_H
#define VRMANGR_STREAM_PACK_CHECK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace vrm {

// The pack headers of MPEG program streams as they begin a sector of a
// stream file (or any stretch of a dump). p points at n bytes of the
// sector.
//
// The SCR (its 90 kHz base) of a pack header whose marker bits are all set;
// false for a malformed one.
VRMANGR_API bool ReadPackClock(const unsigned char* p, size_t n, uint64_t* scr);
// The sector begins with an MPEG pack header (00 00 01 BA).
VRMANGR_API bool IsPackHeader(const unsigned char* p, size_t n);
// The pack carries a navigation packet (private stream 2) and so starts a
// VOBU: the packets behind the pack header (MPEG-2: 14 bytes and its
// stuffing; MPEG-1: 12 bytes) are walked by their lengths.
VRMANGR_API bool CarriesNavigation(const unsigned char* p, size_t n);

// A run of damaged sectors of one byte range, in bytes of its file.
struct DamagedRun {
    std::string file;  // the stream file (as the range names it)
    uint64_t start = 0, end = 0;  // [start, end) in the stream file
    std::string why;  // "no MPEG pack header where one belongs", ...
    bool unreadable = false;  // the medium could not give the sectors (set by the reader)
    double seconds = 0;  // how far into the range it lies, by the clock of the packs before it
    // The run widened to the VOBUs that hold it (from the navigation pack
    // before it to the next one, or the range's ends): what a copy that
    // leaves damage out omits.
    uint64_t vobuStart = 0, vobuEnd = 0;
};

// Checks the sectors of one byte range of a stream file, fed in order.
class VRMANGR_API PackCheck {
public:
    // A new range [start, end) of file: its clock starts afresh. (In
    // VR_STILL.VRO only the pack headers are checked.)
    // units: the byte offsets where the time map places VOBUs in it (may be
    // null or empty): in a recording divided by navigation packs each of
    // them, and no other sector, must carry one.
    void Begin(const std::string& file, uint64_t start, uint64_t end, const std::vector<uint64_t>* units = nullptr);
    // The next n bytes of the range, at file offset `at` (a sector boundary;
    // n a multiple of 2048 but for the range's last sector).
    void Feed(const unsigned char* data, size_t n, uint64_t at);
    // Closes the range; its damaged runs, in file order.
    std::vector<DamagedRun> End();

private:
    void Damage(uint64_t sector, const char* why);
    std::string m_file;
    bool m_clock = true;  // the clock's continuity is checked
    std::vector<uint64_t> m_units;
    bool m_navigated = false;  // a navigation pack was met in the range
    uint64_t m_start = 0, m_end = 0;
    bool m_haveClock = false;
    uint64_t m_firstScr = 0, m_lastScr = 0;
    uint64_t m_lastVobuStart = 0;  // file offset of the last navigation pack
    std::vector<DamagedRun> m_runs;
    std::vector<size_t> m_open;  // runs whose VOBU end is not known yet
};

// Reads [start, end) of the open file fd into the check, in blocks of 1 MB
// (a buffer of the calling thread's own). stop (may be null) is asked
// before each block; when it returns true the read ends early and the
// result is true (the caller knows why it stopped). A file that ends early
// is fed as far as it goes. False with errno set when it cannot be read.
VRMANGR_API bool CheckFileRange(int fd, uint64_t start, uint64_t end, PackCheck& check, bool (*stop)() = nullptr);

// "bytes A..B of VR_MOVIE.VRO (about 0:01:02.5 into it) are damaged: why";
// the file named by its last component.
VRMANGR_API std::string DamageText(const DamagedRun& run);

}  // namespace vrm

#endif
