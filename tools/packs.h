// Checking recorded MPEG data for damage as it is read: a recording in a
// stream file is a program stream of 2048-byte packs, so every sector of it
// begins with a pack header (00 00 01 BA, its marker bits set), and the
// system clock (SCR) of the packs of one VOBU runs on without going back or
// leaping. Zeroed or overwritten sectors, a sector lost or inserted, data
// of another kind: each shows as sectors that break one of these rules.
#ifndef VRMANGR_TOOLS_PACKS_H
#define VRMANGR_TOOLS_PACKS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mpeg_pack.h"

namespace tool {

// A run of damaged sectors of one byte range, in bytes of its file.
struct DamagedRun {
    std::string file;  // the stream file (as the range names it)
    uint64_t start = 0, end = 0;  // [start, end) in the stream file
    std::string why;  // "no MPEG pack header", ...
    bool unreadable = false;  // the medium could not give the sectors
    double seconds = 0;  // how far into the range it lies, by the clock of the packs before it
    // The run widened to the VOBUs that hold it (from the navigation pack
    // before it to the next one, or the range's ends): what --skip-damaged
    // leaves out.
    uint64_t vobuStart = 0, vobuEnd = 0;
};

// Checks the sectors of one byte range of a stream file, fed in order.
class PackCheck {
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

// Reads [start, end) of the open file fd into the check, in blocks. False
// with errno set when it cannot be read.
bool CheckFileRange(int fd, uint64_t start, uint64_t end, PackCheck& check);

// "bytes A..B of VR_MOVIE.VRO (about 0:01:02.5 into it) are damaged: why";
// the file named by its last component.
std::string DamageText(const DamagedRun& run);

}  // namespace tool

#endif
