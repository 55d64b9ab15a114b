#include "dump_scan.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include <vrmangr.h>

namespace tool {
namespace {

constexpr uint64_t kPack = 2048;
constexpr size_t kWindow = 4 << 20;
constexpr uint64_t kSkip = 32768;  // past a stretch that cannot be read
// A run follows another whose last clock lies at most this far (1 s in
// 90 kHz ticks) before its first.
constexpr uint64_t kLargestGap = 90000;

// An MPEG-2 pack header with its marker bits set and a packet start code
// behind its stuffing: a pack of a DVD program stream.
bool IsPack(const unsigned char* p, uint64_t* scr) {
    if (!vrm::IsPackHeader(p, kPack) || (p[4] & 0xC0) != 0x40 || !vrm::ReadPackClock(p, kPack, scr)) return false;
    const size_t q = 14 + (p[13] & 7u);
    return p[q] == 0 && p[q + 1] == 0 && p[q + 2] == 1 && p[q + 3] >= 0xB9;
}

// The start code 00 00 01 `code` in the pack: the offset of its first byte
// behind it, or 0.
size_t Find(const unsigned char* p, unsigned char code) {
    for (size_t at = 3; at < kPack;) {
        const void* hit = std::memchr(p + at, code, kPack - at);
        if (!hit) return 0;
        const size_t i = static_cast<size_t>(static_cast<const unsigned char*>(hit) - p);
        if (p[i - 3] == 0 && p[i - 2] == 0 && p[i - 1] == 1) return i + 1;
        at = i + 1;
    }
    return 0;
}

// Whether a run holds still pictures, told pack by pack: every VOBU holds
// one picture (a movie's hold a dozen or more).
class StillTest {
public:
    void Pack(const unsigned char* p, bool navigation) {
        if (m_moving) return;
        if (navigation) {
            if (m_units && m_pictures != 1) m_moving = true;
            m_units = true;
            m_pictures = 0;
        }
        static const unsigned char kPicture[4] = {0, 0, 1, 0};
        for (const unsigned char* at = p; at < p + kPack;) {
            const void* hit = memmem(at, static_cast<size_t>(p + kPack - at), kPicture, sizeof kPicture);
            if (!hit) break;
            ++m_pictures;
            at = static_cast<const unsigned char*>(hit) + sizeof kPicture;
        }
    }
    bool Stills() const { return m_units && !m_moving && m_pictures <= 1; }

private:
    bool m_units = false;  // a navigation pack was met
    bool m_moving = false;  // a VOBU held more than one picture
    int m_pictures = 0;  // in the VOBU being read
};

uint64_t Hash(const unsigned char* p) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < kPack; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The dump's bytes through a window of kWindow bytes.
class Window {
public:
    Window(const DumpReader& read, uint64_t size, std::vector<uint64_t>* management)
        : m_read(read), m_size(size), m_buf(kWindow), m_management(management) {}
    // Bytes [pos, pos + need) in memory, or null when they lie past the end
    // or cannot be read (*failed then).
    const unsigned char* At(uint64_t pos, size_t need, bool* failed) {
        *failed = false;
        if (pos + need > m_size) return nullptr;
        if (pos < m_base || pos + need > m_base + m_len) {
            m_base = pos;
            const int64_t got =
                m_read(pos, m_buf.data(), static_cast<size_t>(std::min<uint64_t>(kWindow, m_size - pos)));
            m_len = got > 0 ? static_cast<size_t>(got) : 0;
            FindManagementFiles();
            if (got < 0 || m_len < need) {
                *failed = got < 0;
                m_len = 0;
                return nullptr;
            }
        }
        return m_buf.data() + (pos - m_base);
    }
    // How many bytes from pos on are in memory (after At(pos, ...)).
    size_t Held(uint64_t pos) const { return pos >= m_base && pos < m_base + m_len ? m_base + m_len - pos : 0; }

private:
    // The sectors of what was read that begin a management file, each once
    // (windows overlap).
    void FindManagementFiles() {
        static const char kId[] = "DVD_RTR_VMG0";
        for (uint64_t at = (m_base + kPack - 1) / kPack * kPack; at + 12 <= m_base + m_len; at += kPack) {
            if (at + 12 <= m_searched || std::memcmp(m_buf.data() + (at - m_base), kId, 12) != 0) continue;
            m_management->push_back(at);
        }
        m_searched = std::max(m_searched, m_base + m_len);
    }

    const DumpReader& m_read;
    uint64_t m_size;
    std::vector<unsigned char> m_buf;
    std::vector<uint64_t>* m_management;
    uint64_t m_searched = 0;  // sectors below this were searched
    uint64_t m_base = 0;
    size_t m_len = 0;
};

}  // namespace

int SystemOf(int frameRate) { return frameRate == 3 ? 625 : frameRate == 4 || frameRate == 5 ? 525 : 0; }

namespace {

// One pass over a dump: runs of packs are followed pack by pack; between
// them the bytes are searched for the next pack start.
class DumpScan {
public:
    DumpScan(const DumpReader& read, uint64_t size, std::vector<PackRun>* runs, uint64_t* unreadable,
             std::vector<uint64_t>* management)
        : m_window(read, size, management), m_size(size), m_runs(runs), m_unreadable(unreadable) {}

    // Scans the whole dump; false when progress asked it to stop.
    bool Run(const std::function<bool(uint64_t, uint64_t)>& progress);

private:
    // In a run: takes the pack at the position into it; false when there is
    // none there (*failed: the read failed).
    bool TakePack(bool* failed);
    // The pack at the position brings another TV system: the run before it
    // ends, and a recording of its own begins, from the VOBU that brings it
    // (or this pack, without one).
    void SplitSystem(const unsigned char* p, uint64_t scr);
    // Outside a run: steps on towards the next pack start (failed: the read
    // at the position failed already); false at the end of the dump.
    bool Search(bool failed);
    void Close();

    Window m_window;
    uint64_t m_size;
    std::vector<PackRun>* m_runs;
    uint64_t* m_unreadable;
    uint64_t m_pos = 0;
    bool m_inRun = false;
    PackRun m_run;
    // The run as it stood before its last navigation pack, with that pack's
    // place, clock and hash.
    PackRun m_nav;
    StillTest m_still;
};

void DumpScan::Close() {
    m_run.stills = m_still.Stills();
    if (m_inRun) m_runs->push_back(m_run);
    m_inRun = false;
}

void DumpScan::SplitSystem(const unsigned char* p, uint64_t scr) {
    const bool atUnit = m_nav.at > m_run.at;
    PackRun before = m_run;
    PackRun after;
    after.at = atUnit ? m_nav.at : m_pos;
    after.firstScr = atUnit ? m_nav.firstScr : scr;
    after.firstPackHash = atUnit ? m_nav.firstPackHash : Hash(p);
    before.packs = (after.at - m_run.at) / kPack;
    if (atUnit) {
        before.lastScr = m_nav.lastScr;
        before.endCode = m_nav.endCode;
    }
    after.packs = m_run.packs - before.packs;
    after.lastScr = m_run.lastScr;
    before.stills = m_still.Stills();
    m_runs->push_back(before);
    m_run = after;
    m_nav = PackRun{};
    m_still = StillTest{};
}

bool DumpScan::TakePack(bool* failed) {
    uint64_t scr = 0;
    const unsigned char* p = m_window.At(m_pos, kPack, failed);
    if (!p || !IsPack(p, &scr)) return false;
    const bool navigation = vrm::CarriesNavigation(p, kPack);
    if (navigation) {
        // Where a recording of another TV system would begin.
        m_nav = m_run;
        m_nav.at = m_pos;
        m_nav.firstScr = scr;
        m_nav.firstPackHash = Hash(p);
    }
    const size_t seq = Find(p, 0xB3);
    const int rate = seq && seq + 3 < kPack ? p[seq + 3] & 0x0F : 0;
    if (rate && m_run.frameRate && SystemOf(rate) != SystemOf(m_run.frameRate)) SplitSystem(p, scr);
    m_still.Pack(p, navigation);
    if (m_run.frameRate == 0) m_run.frameRate = rate;
    m_run.lastScr = scr;
    m_run.endCode = Find(p, 0xB9) != 0;
    ++m_run.packs;
    m_pos += kPack;
    return true;
}

bool DumpScan::Search(bool failed) {
    const unsigned char* p = failed ? nullptr : m_window.At(m_pos, std::min<uint64_t>(4, m_size - m_pos), &failed);
    if (!p) {
        if (!failed) return false;  // fewer than 4 bytes left
        // A stretch the medium cannot give: counted, and stepped over.
        const uint64_t step = std::min(kSkip, m_size - m_pos);
        *m_unreadable += step;
        m_pos += step;
        return true;
    }
    const size_t held = m_window.Held(m_pos);
    const void* hit = held > 3 ? std::memchr(p + 3, 0xBA, held - 3) : nullptr;
    if (!hit) {
        // Nothing in what is held: on from its last three bytes.
        m_pos += held > 3 ? held - 3 : 1;
        return true;
    }
    const uint64_t candidate = m_pos + static_cast<uint64_t>(static_cast<const unsigned char*>(hit) - p) - 3;
    uint64_t scr = 0;
    const unsigned char* c = m_window.At(candidate, kPack, &failed);
    if (!c || !IsPack(c, &scr)) {
        m_pos = candidate + 1;
        return true;
    }
    m_run = PackRun{};
    m_nav = PackRun{};
    m_still = StillTest{};
    m_run.at = candidate;
    m_run.firstScr = scr;
    m_run.firstPackHash = Hash(c);
    m_inRun = true;
    m_pos = candidate;
    return true;
}

bool DumpScan::Run(const std::function<bool(uint64_t, uint64_t)>& progress) {
    uint64_t reported = 0;
    while (m_pos < m_size) {
        if (m_pos - reported >= kWindow) {
            if (!progress(m_pos, m_size)) return false;
            reported = m_pos;
        }
        bool failed = false;
        if (m_inRun) {
            if (TakePack(&failed)) continue;
            Close();
            if (!failed) continue;  // the search goes on from here
        }
        if (!Search(failed)) break;
    }
    Close();
    return true;
}

}  // namespace

bool ScanDump(const DumpReader& read, uint64_t size, const std::function<bool(uint64_t, uint64_t)>& progress,
              std::vector<PackRun>* runs, uint64_t* unreadable, std::vector<uint64_t>* management) {
    DumpScan scan(read, size, runs, unreadable, management);
    return scan.Run(progress);
}

Assembly AssembleRuns(const std::vector<PackRun>& runs) {
    Assembly a;
    const size_t n = runs.size();
    std::vector<bool> duplicate(n, false);
    std::map<std::tuple<uint64_t, uint64_t, uint64_t, uint64_t>, size_t> seen;
    for (size_t i = 0; i < n; ++i) {
        const PackRun& r = runs[i];
        const auto key = std::make_tuple(r.firstPackHash, r.packs, r.firstScr, r.lastScr);
        const auto it = seen.find(key);
        if (it != seen.end()) {
            duplicate[i] = true;
            a.duplicates.emplace_back(i, it->second);
        } else {
            seen.emplace(key, i);
        }
    }
    // Candidate links, nearest first: p's last clock shortly before r's first.
    std::vector<size_t> byLast;
    for (size_t i = 0; i < n; ++i)
        if (!duplicate[i] && !runs[i].endCode) byLast.push_back(i);
    std::sort(byLast.begin(), byLast.end(), [&](size_t x, size_t y) { return runs[x].lastScr < runs[y].lastScr; });
    struct Link {
        uint64_t gap;
        size_t from, to;
    };
    std::vector<Link> links;
    for (size_t r = 0; r < n; ++r) {
        if (duplicate[r]) continue;
        const uint64_t first = runs[r].firstScr;
        auto it = std::lower_bound(byLast.begin(), byLast.end(), first > kLargestGap ? first - kLargestGap : 0,
                                   [&](size_t x, uint64_t v) { return runs[x].lastScr < v; });
        for (; it != byLast.end() && runs[*it].lastScr < first; ++it) {
            const size_t p = *it;
            const bool sameSystem =
                runs[p].frameRate == 0 || runs[r].frameRate == 0 || runs[p].frameRate == runs[r].frameRate;
            if (p != r && sameSystem && runs[p].stills == runs[r].stills)
                links.push_back({first - runs[p].lastScr, p, r});
        }
    }
    std::sort(links.begin(), links.end(), [](const Link& x, const Link& y) {
        return std::tie(x.gap, x.from, x.to) < std::tie(y.gap, y.from, y.to);
    });
    const size_t none = n;
    std::vector<size_t> next(n, none), prev(n, none);
    for (const Link& l : links) {
        if (next[l.from] != none || prev[l.to] != none) continue;
        // Never a cycle (a run whose clock runs back inside it).
        size_t head = l.from;
        while (prev[head] != none && head != l.to) head = prev[head];
        if (head == l.to) continue;
        next[l.from] = l.to;
        prev[l.to] = l.from;
    }
    for (size_t i = 0; i < n; ++i) {
        if (duplicate[i] || prev[i] != none) continue;
        std::vector<size_t> chain;
        for (size_t k = i; k != none; k = next[k]) chain.push_back(k);
        a.chains.push_back(chain);
    }
    return a;
}

}  // namespace tool
