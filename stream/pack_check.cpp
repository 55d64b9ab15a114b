// Checking recorded MPEG data for damage as it is read.
#include "stream/pack_check.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace vrm {
namespace {

constexpr size_t kSector = 2048;
// The clock of the packs of one VOBU (at most 31 frames) never leaps this
// far (2 s in 90 kHz ticks) from one pack to the next.
constexpr uint64_t kLargestStep = 180000;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// MPEG-2 headers begin their fifth byte with '01', MPEG-1 headers with
// '0010'.
bool ReadPackClock(const unsigned char* p, size_t n, uint64_t* scr) {
    if (n >= 14 && (p[4] & 0xC0) == 0x40) {
        if (!(p[4] & 0x04) || !(p[6] & 0x04) || !(p[8] & 0x04) || !(p[9] & 0x01) || (p[12] & 0x03) != 0x03)
            return false;
        *scr = uint64_t{(p[4] >> 3) & 7u} << 30 | uint64_t{p[4] & 3u} << 28 | uint64_t{p[5]} << 20 |
               uint64_t{(p[6] >> 3) & 0x1Fu} << 15 | uint64_t{p[6] & 3u} << 13 | uint64_t{p[7]} << 5 |
               ((p[8] >> 3) & 0x1Fu);
        return true;
    }
    if (n >= 12 && (p[4] & 0xF0) == 0x20) {
        if (!(p[4] & 1) || !(p[6] & 1) || !(p[8] & 1) || !(p[9] & 0x80) || !(p[11] & 1)) return false;
        *scr = uint64_t{(p[4] >> 1) & 7u} << 30 | uint64_t{p[5]} << 22 | (static_cast<uint64_t>(p[6]) >> 1) << 15 |
               uint64_t{p[7]} << 7 | (p[8] >> 1);
        return true;
    }
    return false;
}

bool IsPackHeader(const unsigned char* p, size_t n) {
    return n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA;
}

bool CarriesNavigation(const unsigned char* p, size_t n) {
    if (!IsPackHeader(p, n) || n < 14) return false;
    size_t at = 0;
    if ((p[4] & 0xC0) == 0x40) {
        at = 14 + (p[13] & 7u);
    } else if ((p[4] & 0xF0) == 0x20) {
        at = 12;
    } else {
        return false;
    }
    while (at + 6 <= n) {
        if (p[at] != 0 || p[at + 1] != 0 || p[at + 2] != 1) return false;
        const unsigned char id = p[at + 3];
        if (id == 0xBF) return true;
        if (id < 0xBB) return false;  // no packet: another start code, or the end code
        at += 6 + (size_t{p[at + 4]} << 8 | p[at + 5]);
    }
    return false;
}

void PackCheck::Begin(const std::string& file, uint64_t start, uint64_t end, const std::vector<uint64_t>* units) {
    m_file = file;
    m_units = units ? *units : std::vector<uint64_t>();
    m_navigated = false;
    // The pictures of a still-picture group each bring a clock of their
    // own, their audio parts too: only the movie stream's clock runs on.
    m_clock = BaseName(file) != "VR_STILL.VRO";
    m_start = start;
    m_end = end;
    m_haveClock = false;
    m_firstScr = m_lastScr = 0;
    m_lastVobuStart = start;
    m_runs.clear();
    m_open.clear();
}

void PackCheck::Damage(uint64_t sector, const char* why) {
    const uint64_t end = std::min<uint64_t>(sector + kSector, m_end);
    if (!m_runs.empty() && m_runs.back().end == sector && m_runs.back().why == why) {
        m_runs.back().end = end;
        return;
    }
    DamagedRun run;
    run.file = m_file;
    run.start = sector;
    run.end = end;
    run.why = why;
    run.seconds = m_haveClock ? static_cast<double>(m_lastScr - m_firstScr) / 90000.0 : 0;
    run.vobuStart = m_lastVobuStart;
    run.vobuEnd = m_end;
    m_open.push_back(m_runs.size());
    m_runs.push_back(run);
}

void PackCheck::Feed(const unsigned char* data, size_t n, uint64_t at) {
    for (size_t o = 0; o < n; o += kSector) {
        const unsigned char* p = data + o;
        const size_t bytes = std::min(kSector, n - o);
        const uint64_t sector = at + o;
        uint64_t scr = 0;
        if (!IsPackHeader(p, bytes)) {
            Damage(sector, "no MPEG pack header where one belongs");
            continue;
        }
        if (!ReadPackClock(p, bytes, &scr)) {
            Damage(sector, "a malformed MPEG pack header");
            continue;
        }
        const bool vobuStart = CarriesNavigation(p, bytes);
        if (!m_units.empty()) {
            // Where the time map places the VOBUs: another recording's
            // packs, or data moved, carry their navigation packs elsewhere.
            // A recording carries navigation packs at every VOBU or at none:
            // from the first one met on, they must all be where the map says.
            const bool placed = std::binary_search(m_units.begin(), m_units.end(), sector);
            m_navigated = m_navigated || vobuStart;
            if (m_navigated && placed && !vobuStart) {
                Damage(sector, "no navigation pack where the time map places a VOBU");
                continue;
            }
            if (m_navigated && !placed && vobuStart) {
                Damage(sector, "a navigation pack where the time map places no VOBU");
                continue;
            }
        }
        if (vobuStart) {
            // The VOBUs of the runs found so far end here.
            for (size_t i : m_open) m_runs[i].vobuEnd = sector;
            m_open.clear();
            m_lastVobuStart = sector;
        } else if (m_clock && m_haveClock && (scr < m_lastScr || scr - m_lastScr > kLargestStep)) {
            Damage(sector, scr < m_lastScr ? "the system clock runs back" : "the system clock leaps ahead");
            continue;
        }
        if (!m_haveClock) m_firstScr = scr;
        m_haveClock = true;
        m_lastScr = scr;
    }
}

std::vector<DamagedRun> PackCheck::End() {
    for (size_t i : m_open) m_runs[i].vobuEnd = m_end;
    m_open.clear();
    return std::move(m_runs);
}

bool CheckFileRange(int fd, uint64_t start, uint64_t end, PackCheck& check, bool (*stop)()) {
    // Read in blocks of 1 MB into a buffer of the thread's own: a read costs
    // less than mapping and unmapping the pages (which a copy that follows
    // finds in the page cache).
    constexpr size_t kBlock = 1 << 20;
    thread_local std::vector<unsigned char> buffer(kBlock);
    for (uint64_t pos = start; pos < end;) {
        if (stop && stop()) return true;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, end - pos));
        size_t got = 0;
        while (got < n) {
            const ssize_t r = pread(fd, buffer.data() + got, n - got, static_cast<off_t>(pos + got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return false;
            if (r == 0) break;
            got += static_cast<size_t>(r);
        }
        check.Feed(buffer.data(), got, pos);
        if (got < n) return true;  // the file ends early: the copy says so
        pos += n;
    }
    return true;
}

std::string DamageText(const DamagedRun& run) {
    const unsigned long long tenths = static_cast<unsigned long long>(run.seconds * 10);
    char when[48];
    std::snprintf(when, sizeof when, "%llu:%02llu:%02llu.%llu", tenths / 36000, tenths / 600 % 60, tenths / 10 % 60,
                  tenths % 10);
    return "bytes " + std::to_string(run.start) + ".." + std::to_string(run.end) + " of " + BaseName(run.file) +
           " (about " + when + " into it) are damaged: " + run.why;
}

}  // namespace vrm
