// `vrmangr recover SOURCE -d DIR`: recordings found in a dump of any medium
// (an image, a drive, a recorder's hard disk, an unfinalized disc, a
// DVD_RTAV directory's stream file) at any byte offset, put in order by
// their clock, and written as a new disc: their packs one after another
// into DIR's VR_MOVIE.VRO, which the in-place recovery then divides into
// recordings and registers. Recordings of the other TV system go to a disc
// of their own (DIR-525 or DIR-625). SOURCE is only read.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli.h"
#include "disc_source.h"
#include "dump_scan.h"
#include "info.h"
#include "output.h"

namespace tool {
namespace {

namespace fs = std::filesystem;

// The source as one stretch of bytes: a file or a drive, or the movie
// stream file of a directory.
class Dump {
public:
    ~Dump() {
        if (m_fd >= 0) close(m_fd);
    }
    bool Open(const std::string& source) {
        m_path = IsDirectory(source) ? InDir(source, kMovieVro) : source;
        if (IsDirectory(source) && !Exists(m_path))
            return Fail(source + " is a directory without " + kMovieVro + ": there is nothing to scan."), false;
        m_fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0) return Fail(m_path + " cannot be opened: " + std::strerror(errno) + "."), false;
        struct stat st {};
        if (fstat(m_fd, &st) != 0) return Fail(m_path + " cannot be read: " + std::strerror(errno) + "."), false;
        if (S_ISBLK(st.st_mode)) {
            m_size = BlockDeviceBytes(m_path);
            if (m_size == 0) return Fail(m_path + " does not tell its size."), false;
        } else if (S_ISREG(st.st_mode)) {
            m_size = static_cast<uint64_t>(st.st_size);
            m_mtime = st.st_mtime;
        } else {
            return Fail(m_path + " is neither a file, a drive nor a directory."), false;
        }
        if (m_size == 0) return Fail(m_path + " is empty: there is nothing to scan."), false;
        return true;
    }
    int64_t Read(uint64_t offset, void* buf, size_t n) const {
        size_t done = 0;
        while (done < n) {
            const ssize_t got =
                pread(m_fd, static_cast<char*>(buf) + done, n - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return done ? static_cast<int64_t>(done) : -1;
            if (got == 0) break;
            done += static_cast<size_t>(got);
        }
        return static_cast<int64_t>(done);
    }
    const std::string& Path() const { return m_path; }
    uint64_t Size() const { return m_size; }
    const time_t* Mtime() const { return m_mtime ? &m_mtime : nullptr; }

private:
    std::string m_path;
    int m_fd = -1;
    uint64_t m_size = 0;
    time_t m_mtime = 0;
};

std::string Span(uint64_t a, uint64_t b) { return "bytes " + std::to_string(a) + ".." + std::to_string(b); }

// One disc to write: the chains of one TV system.
struct Target {
    std::string dir;
    std::string system;
    std::vector<size_t> chains;
};

// Writes the packs of the target's chains of one kind (stills: still
// pictures), in order, as dir's VR_MOVIE.VRO or VR_STILL.VRO (a new file,
// dated as the source; none when there are no such chains). False, with a
// sentence, on failure or Ctrl-C.
bool WriteStream(const Dump& dump, const std::vector<PackRun>& runs, const Assembly& a, const Target& t, bool stills,
                 const std::string& dir, const DiscFiles& source) {
    std::vector<size_t> pieces;
    for (size_t c : t.chains)
        if (runs[a.chains[c][0]].stills == stills) pieces.insert(pieces.end(), a.chains[c].begin(), a.chains[c].end());
    if (pieces.empty()) return true;
    const std::string path = InDir(dir, stills ? kStillVro : kMovieVro);
    OutputFile out;
    if (!out.Open(path, false, source)) return false;
    uint64_t total = 0, done = 0;
    for (size_t r : pieces) total += runs[r].packs * 2048;
    std::vector<char> buffer(4 << 20);
    ProgressLabel("writing " + path);
    for (size_t r : pieces) {
        for (uint64_t at = runs[r].at; at < runs[r].End();) {
            if (Interrupted()) return ProgressDone(), Fail("cancelled; nothing was written to " + dir + "."), false;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), runs[r].End() - at));
            const int64_t got = dump.Read(at, buffer.data(), want);
            if (got != static_cast<int64_t>(want)) {
                ProgressDone();
                return Fail(dump.Path() + " cannot be read at byte " + std::to_string(at) + " any more."), false;
            }
            if (!out.Write(buffer.data(), want)) return ProgressDone(), false;
            at += want;
            done += want;
            Progress(nullptr, 0, static_cast<DWORD>(done >> 10), static_cast<DWORD>(total >> 10), 0);
        }
    }
    ProgressDone();
    return out.Commit(dump.Mtime());
}

// A management file's bytes as the only file of a disc, for opening it.
struct ManagementBytes {
    std::vector<char> bytes;
    static __int64 Size(void* c, const char* name) {
        return std::strcmp(name, kIfo) == 0 ? static_cast<__int64>(static_cast<ManagementBytes*>(c)->bytes.size()) : -1;
    }
    static __int64 Read(void* c, const char* name, uint64_t offset, void* data, DWORD n) {
        const std::vector<char>& b = static_cast<ManagementBytes*>(c)->bytes;
        if (std::strcmp(name, kIfo) != 0) return -1;
        if (offset >= b.size()) return 0;
        const size_t k = std::min<size_t>(n, b.size() - static_cast<size_t>(offset));
        std::memcpy(data, b.data() + offset, k);
        return static_cast<__int64>(k);
    }
};

// A recording that a surviving management file describes: its VOB's
// length and VOBU starts (sectors from its first), and what its program
// was called.
struct KnownVob {
    DWORD sectors = 0;
    std::vector<DWORD> units;
    RecoveredNaming naming;
    size_t file = 0;  // the management file (Survivors' index) that describes it
    WORD vob = 0;  // its number there
};

// An entry point's stretch as a playlist cell plays it: the VOB, and the
// frames from the VOB's start to the stretch's first and how many.
struct Stretch {
    WORD vob = 0;
    DWORD start = 0, frames = 0;
    bool operator==(const Stretch& o) const { return vob == o.vob && start == o.start && frames == o.frames; }
};

// A playlist that a surviving management file describes.
struct KnownPlaylist {
    size_t file = 0;
    int number = 0;
    std::string title;
    std::vector<Stretch> stretches;  // in playing order
};

// Where the VOBs of VR_MOVIE.VRO of the disc open in h lie.
std::vector<VR_STREAM_EXTENT> MovieExtents(void* h) {
    VR_STREAM_USE use{};
    fnVR_GetStreamUse(h, 0, &use, nullptr, 0, nullptr, 0, nullptr, 0);
    std::vector<VR_STREAM_EXTENT> extents(use.dwExtents);
    fnVR_GetStreamUse(h, 0, &use, extents.data(), use.dwExtents, nullptr, 0, nullptr, 0);
    return extents;
}

// Where the VOBUs of the VOB that lies at e begin, in sectors from its
// first: with its length, what tells a recording apart.
std::vector<DWORD> UnitsOf(void* h, const VR_STREAM_EXTENT& e) {
    std::vector<__int64> starts(fnVR_GetUnitStarts(h, 0, e.wNumber, nullptr, 0));
    fnVR_GetUnitStarts(h, 0, e.wNumber, starts.data(), static_cast<DWORD>(starts.size()));
    std::vector<DWORD> units;
    for (__int64 u : starts) units.push_back(static_cast<DWORD>(u - e.dwStart));
    return units;
}

// The frame of its VOB at which a segment starts: the fields of the VOBUs
// in front of its first, halved, and the frames it skips in that one.
// False when its first VOBU is none of the VOB's.
bool StartFrame(void* h, const seg& s, DWORD* frame) {
    const int vob = static_cast<int>(s.dwSRPN);
    std::vector<__int64> starts(fnVR_GetUnitStarts(h, 0, vob, nullptr, 0));
    fnVR_GetUnitStarts(h, 0, vob, starts.data(), static_cast<DWORD>(starts.size()));
    std::vector<DWORD> fields(starts.size());
    fnVR_GetUnitFields(h, vob, fields.data(), static_cast<DWORD>(fields.size()));
    uint64_t before = 0;
    for (size_t i = 0; i < starts.size(); ++i) {
        if (starts[i] * 2048 == s.llStartPos) {
            *frame = static_cast<DWORD>(before / 2) + s.dwSkipFrames;
            return true;
        }
        before += fields[i];
    }
    return false;
}

// The stretches of the playlists' cells of a disc open in h: each entry
// point's own cell part (playlists whose segments run on into further
// cells are left out).
std::vector<KnownPlaylist> PlaylistsOf(void* h, const DiscInfo& d, size_t file) {
    std::vector<KnownPlaylist> lists;
    for (const Playlist& l : d.playlists) {
        KnownPlaylist k;
        k.file = file;
        k.number = l.number;
        k.title = l.title;
        bool whole = !l.cells.empty();
        for (const Cell& c : l.cells) {
            for (const Segment& e : c.entryPoints) {
                Stretch st;
                st.vob = static_cast<WORD>(e.s.dwSRPN);
                st.frames = e.s.dwFrameNs;
                whole = whole && e.continuation.empty() && e.s.dwCellType == 0 && StartFrame(h, e.s, &st.start);
                k.stretches.push_back(st);
            }
        }
        if (whole) lists.push_back(k);
    }
    return lists;
}

// The management files found in the dump (identical copies once) and the
// recordings of one-cell programs they describe.
struct Survivors {
    std::vector<KnownVob> vobs;
    std::vector<KnownPlaylist> playlists;
};
// A program's recordings (VOBs), in the order its cells play them, each
// with the cells that play it.
using Recordings = std::vector<std::pair<WORD, std::vector<const Cell*>>>;
Recordings RecordingsOf(const Program& p) {
    Recordings recordings;
    for (const Cell& c : p.cells) {
        if (c.s.dwCellType != 0) continue;
        const WORD vob = static_cast<WORD>(c.s.dwSRPN);
        auto it = std::find_if(recordings.begin(), recordings.end(),
                               [&](const std::pair<WORD, std::vector<const Cell*>>& r) { return r.first == vob; });
        if (it == recordings.end()) it = recordings.insert(recordings.end(), {vob, {}});
        it->second.push_back(&c);
    }
    return recordings;
}

// The program's recording time in UTC; false when it has none.
bool RecordingTime(const Program& p, WORD zone, SYSTEMTIME* out) {
    const DWORD date[6] = {p.info.dwYear, p.info.dwMonth,  p.info.dwDay,
                           p.info.dwHour, p.info.dwMinute, p.info.dwSecond};
    time_t when = 0;
    tm parts{};
    if (!DiscInstant(date, zone, &when) || !gmtime_r(&when, &parts)) return false;
    *out = SYSTEMTIME{static_cast<WORD>(parts.tm_year + 1900), static_cast<WORD>(parts.tm_mon + 1),
                      static_cast<WORD>(parts.tm_wday),        static_cast<WORD>(parts.tm_mday),
                      static_cast<WORD>(parts.tm_hour),        static_cast<WORD>(parts.tm_min),
                      static_cast<WORD>(parts.tm_sec),         0};
    return true;
}

// The chapters of a recording: where each entry point of its cells begins
// in the VOB (the recovered program starts at the VOB's start), in order,
// each once.
std::vector<DWORD> ChapterFrames(void* h, const std::vector<const Cell*>& cells) {
    std::vector<DWORD> chapters;
    for (const Cell* c : cells) {
        for (const Segment& e : c->entryPoints) {
            DWORD frame = 0;
            if (StartFrame(h, e.s, &frame) && frame > 0) chapters.push_back(frame);
        }
    }
    std::sort(chapters.begin(), chapters.end());
    chapters.erase(std::unique(chapters.begin(), chapters.end()), chapters.end());
    return chapters;
}

// The recordings of program p of the management file `file` (at byte at of
// the dump, open in h), as the recovery can know them again.
void AddProgramVobs(void* h, const DiscInfo& d, const Program& p, const std::vector<VR_STREAM_EXTENT>& extents,
                    size_t file, uint64_t at, std::vector<KnownVob>* vobs) {
    const Recordings recordings = RecordingsOf(p);
    for (size_t n = 0; n < recordings.size(); ++n) {
        const WORD vob = recordings[n].first;
        const auto extent =
            std::find_if(extents.begin(), extents.end(), [&](const VR_STREAM_EXTENT& e) { return e.wNumber == vob; });
        if (extent == extents.end()) continue;
        KnownVob k;
        k.file = file;
        k.vob = vob;
        k.sectors = extent->dwSectors;
        k.units = UnitsOf(h, *extent);
        // A program of several recordings: each its title, numbered.
        const std::string part = recordings.size() > 1 ? " (" + std::to_string(n + 1) + ")" : "";
        k.naming.title = p.title.empty() ? "" : p.title + part;
        k.naming.dated = RecordingTime(p, d.timeZone, &k.naming.when);
        k.naming.chapters = ChapterFrames(h, recordings[n].second);
        k.naming.from = "program " + std::to_string(p.number) + part + " (\"" + p.title +
                        "\") of the management file at byte " + std::to_string(at);
        vobs->push_back(k);
    }
}

Survivors FindSurvivors(const Dump& dump, const std::vector<uint64_t>& found, bool quiet) {
    constexpr size_t kLargest = 0x20000;  // a management file's length as writers make it
    constexpr size_t kMostCopies = 64;
    Survivors known;
    std::vector<std::vector<char>> seen;
    for (uint64_t at : found) {
        if (seen.size() >= kMostCopies) break;
        ManagementBytes m;
        m.bytes.resize(static_cast<size_t>(std::min<uint64_t>(kLargest, dump.Size() - at)));
        if (dump.Read(at, m.bytes.data(), m.bytes.size()) != static_cast<int64_t>(m.bytes.size())) continue;
        if (std::find(seen.begin(), seen.end(), m.bytes) != seen.end()) continue;
        seen.push_back(m.bytes);
        void* h = fnVR_MANGRBegin();
        const VR_DISC_FILES files{&m, &ManagementBytes::Size, &ManagementBytes::Read};
        const std::string where = dump.Path() + "@" + std::to_string(at);
        if (!h || !fnVR_MANGROpenFiles(h, &files, where.c_str())) {
            if (!quiet)
                std::printf("  the management file at byte %llu does not load\n", static_cast<unsigned long long>(at));
            fnVR_MANGREnd(h);
            continue;
        }
        const DiscInfo d = Describe(h);
        const std::vector<VR_STREAM_EXTENT> extents = MovieExtents(h);
        for (const Program& p : d.programs) AddProgramVobs(h, d, p, extents, seen.size() - 1, at, &known.vobs);
        for (KnownPlaylist& l : PlaylistsOf(h, d, seen.size() - 1)) known.playlists.push_back(l);
        if (!quiet) {
            std::printf("  the management file at byte %llu describes %s\n", static_cast<unsigned long long>(at),
                        Count(static_cast<long>(d.programs.size()), "program", "programs").c_str());
        }
        fnVR_MANGREnd(h);
    }
    return known;
}

// The playlists that surviving management files describe, made again on
// the recovered disc in dir wherever every stretch they play came back
// (its VOB matched by length and VOBU starts, an entry point of the same
// frames there), and saved. kOk, or kFailed with the sentence printed.
int RestorePlaylists(const std::string& dir, const Survivors& known, bool quiet) {
    if (known.playlists.empty()) return kOk;
    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    void* h = disc.Handle();
    const DiscInfo d = Describe(h);
    // Each surviving description (file, VOB) of a recovered VOB.
    std::map<std::pair<size_t, WORD>, WORD> recovered;
    for (const VR_STREAM_EXTENT& e : MovieExtents(h)) {
        const std::vector<DWORD> units = UnitsOf(h, e);
        for (const KnownVob& k : known.vobs)
            if (k.sectors == e.dwSectors && k.units == units) recovered[{k.file, k.vob}] = e.wNumber;
    }
    // The recovered chain's entry points by the stretch each plays.
    std::vector<std::pair<Stretch, int>> points;
    for (const Program& p : d.programs) {
        for (const Cell& c : p.cells) {
            for (const Segment& e : c.entryPoints) {
                Stretch st{static_cast<WORD>(e.s.dwSRPN), 0, e.s.dwFrameNs};
                if (c.s.dwCellType == 0 && StartFrame(h, e.s, &st.start)) points.emplace_back(st, e.number);
            }
        }
    }
    std::vector<std::pair<std::string, std::vector<int>>> made;
    for (const KnownPlaylist& l : known.playlists) {
        std::vector<int> numbers;
        for (Stretch st : l.stretches) {
            const auto vob = recovered.find({l.file, st.vob});
            if (vob == recovered.end()) break;
            st.vob = vob->second;
            const auto point = std::find_if(points.begin(), points.end(),
                                            [&](const std::pair<Stretch, int>& x) { return x.first == st; });
            if (point == points.end()) break;
            numbers.push_back(point->second);
        }
        if (numbers.size() != l.stretches.size()) {
            if (!quiet)
                std::printf("playlist %d (\"%s\") is not restored: not all it plays came back\n", l.number,
                            l.title.c_str());
            continue;
        }
        // The same playlist in another copy of the management file: once.
        if (std::find(made.begin(), made.end(), std::make_pair(l.title, numbers)) != made.end()) continue;
        if (!fnVR_AddPL(h)) break;
        const int pl = fnVR_GetPLCount(h);
        for (size_t i = 0; i < numbers.size(); ++i) fnVR_AddPLEntryPt(h, pl, static_cast<int>(i), numbers[i]);
        if (!l.title.empty()) fnVR_SetPLTitle(h, pl, l.title.c_str());
        made.emplace_back(l.title, numbers);
        if (!quiet) std::printf("playlist %d (\"%s\") restored as playlist %d\n", l.number, l.title.c_str(), pl);
    }
    if (made.empty()) return kOk;
    return disc.Save() ? kOk : kFailed;
}

// The surviving description of the recording in sectors [first, first +
// sectors) of the stream file at path: a VOB of the same length whose
// every VOBU start holds a navigation pack there.
bool Match(const std::vector<KnownVob>& known, const std::string& path, DWORD first, DWORD sectors,
           RecoveredNaming* naming) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char pack[2048];
    const KnownVob* match = nullptr;
    for (const KnownVob& k : known) {
        if (k.sectors != sectors || k.units.empty() || k.units[0] != 0) continue;
        const bool all = std::all_of(k.units.begin(), k.units.end(), [&](DWORD u) {
            const off_t at = static_cast<off_t>(uint64_t{first} + u) * 2048;
            return u < sectors && pread(fd, pack, sizeof pack, at) == static_cast<ssize_t>(sizeof pack) &&
                   vrm::CarriesNavigation(pack, sizeof pack);
        });
        if (all) {
            match = &k;
            break;
        }
    }
    close(fd);
    if (match) *naming = match->naming;
    return match != nullptr;
}

// The chains by TV system: the first recording's system makes dir, the
// other goes beside it.
std::vector<Target> TargetsBySystem(const std::vector<PackRun>& runs, const Assembly& a, const std::string& dir) {
    std::vector<Target> targets;
    for (size_t c = 0; c < a.chains.size(); ++c) {
        std::string system;
        for (size_t r : a.chains[c])
            if (system.empty() && SystemOf(runs[r].frameRate)) system = std::to_string(SystemOf(runs[r].frameRate));
        auto it = std::find_if(targets.begin(), targets.end(), [&](const Target& t) {
            return t.system == system || system.empty() || t.system.empty();
        });
        if (it == targets.end()) {
            targets.push_back({targets.empty() ? dir : dir + "-" + system, system, {}});
            it = targets.end() - 1;
        }
        if (it->system.empty()) it->system = system;
        it->chains.push_back(c);
    }
    return targets;
}

// Outputs are new: never a disc's directory, never the source. kOk, or the
// failure reported.
int CheckTargets(const std::vector<Target>& targets, const DiscFiles& sourceFiles) {
    for (const Target& t : targets) {
        for (const char* name : kDiscFiles) {
            if (Exists(InDir(t.dir, name)))
                return Fail(t.dir + " already holds " + name + "; recover writes into a directory that holds no disc.");
        }
        const std::string refusal = sourceFiles.DirectoryRefusal(t.dir);
        if (!refusal.empty()) return Fail(refusal);
    }
    return kOk;
}

// What holds no packs (noise, zeros, file system, other data): the first
// few stretches and how many bytes they hold together.
void PrintWithoutPacks(const std::vector<PackRun>& runs, uint64_t size) {
    std::vector<std::pair<uint64_t, uint64_t>> held;
    for (const PackRun& r : runs) held.emplace_back(r.at, r.End());
    std::sort(held.begin(), held.end());
    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    uint64_t end = 0;
    for (const auto& h : held) {
        if (h.first > end) gaps.emplace_back(end, h.first);
        end = std::max(end, h.second);
    }
    if (size > end) gaps.emplace_back(end, size);
    uint64_t bytes = 0;
    for (const auto& g : gaps) bytes += g.second - g.first;
    if (gaps.empty()) return;
    constexpr size_t kShown = 10;
    std::string shown;
    for (size_t i = 0; i < gaps.size() && i < kShown; ++i)
        shown += (i ? ", " : "") + Span(gaps[i].first, gaps[i].second);
    if (gaps.size() > kShown) shown += ", and " + std::to_string(gaps.size() - kShown) + " more";
    std::printf("  left out: %llu bytes that hold no MPEG packs (%s)\n", static_cast<unsigned long long>(bytes),
                shown.c_str());
}

// What the scan of the dump found: each recording with the runs it is made
// of and the directory it goes into, then what is left out.
void PrintScan(const Dump& dump, const std::vector<PackRun>& runs, const Assembly& a,
               const std::vector<Target>& targets, uint64_t unreadable) {
    std::printf("%s: %s found in %s\n", dump.Path().c_str(),
                Count(static_cast<long>(a.chains.size()), "recording", "recordings").c_str(),
                Count(static_cast<long>(runs.size()), "run of packs", "runs of packs").c_str());
    for (size_t c = 0; c < a.chains.size(); ++c) {
        std::string pieces;
        uint64_t packs = 0;
        for (size_t r : a.chains[c]) {
            pieces += (pieces.empty() ? "" : ", then ") + Span(runs[r].at, runs[r].End());
            packs += runs[r].packs;
        }
        const Target& t = *std::find_if(targets.begin(), targets.end(), [&](const Target& x) {
            return std::find(x.chains.begin(), x.chains.end(), c) != x.chains.end();
        });
        std::printf("  %s %zu: %s (%s), %s lines, into %s\n",
                    runs[a.chains[c][0]].stills ? "still pictures" : "recording", c + 1, pieces.c_str(),
                    Count(static_cast<long>(packs), "pack", "packs").c_str(),
                    t.system.empty() ? "unknown" : t.system.c_str(), t.dir.c_str());
    }
    for (const auto& d : a.duplicates) {
        std::printf("  left out: %s repeat %s\n", Span(runs[d.first].at, runs[d.first].End()).c_str(),
                    Span(runs[d.second].at, runs[d.second].End()).c_str());
    }
    PrintWithoutPacks(runs, dump.Size());
    if (unreadable) std::printf("  %llu bytes could not be read\n", static_cast<unsigned long long>(unreadable));
}

// What the scan of a dump found and what recovers it.
struct DumpRecovery {
    const Dump& dump;
    const std::vector<PackRun>& runs;
    const Assembly& a;
    const DiscFiles& sourceFiles;
    const Survivors& survivors;
    const RecoveredNamer& namer;
    bool files, quiet;
};

// Makes the directory the disc of target t is recovered in: t's own, or
// with --files a scratch directory inside it. False, with the failure
// reported.
bool MakeDiscDirectory(const Target& t, bool files, std::string* disc) {
    *disc = t.dir;
    if (files) {
        if (!IsDirectory(t.dir) && mkdir(t.dir.c_str(), 0777) != 0)
            return Fail(t.dir + " is not a directory and cannot be made one: " + std::strerror(errno) + "."), false;
        std::string pattern = InDir(t.dir, ".recover-XXXXXX");
        if (!mkdtemp(&pattern[0])) return Fail("no scratch directory can be made in " + t.dir + "."), false;
        *disc = pattern;
    } else if (!IsDirectory(t.dir) && mkdir(t.dir.c_str(), 0777) != 0) {
        return Fail(t.dir + " is not a directory and cannot be made one: " + std::strerror(errno) + "."), false;
    }
    return true;
}

// Writes target t's stream files, recovers the disc from them and restores
// its playlists; with --files the disc is made in a scratch directory
// inside t's, and its programs become the files. kOk, or the exit status of
// the failure (reported).
int RecoverTarget(const DumpRecovery& r, const Target& t) {
    std::string disc;
    if (!MakeDiscDirectory(t, r.files, &disc)) return kFailed;
    const auto cleanup = [&] {
        std::error_code ec;
        if (r.files) fs::remove_all(disc, ec);
    };
    const auto removeStreams = [&] {
        if (!r.files) {
            std::remove(InDir(disc, kMovieVro).c_str());
            std::remove(InDir(disc, kStillVro).c_str());
        }
        cleanup();
    };
    if (!WriteStream(r.dump, r.runs, r.a, t, false, disc, r.sourceFiles) ||
        !WriteStream(r.dump, r.runs, r.a, t, true, disc, r.sourceFiles)) {
        return removeStreams(), kFailed;
    }
    const int recovered = RecoverInPlace(disc, false, false, r.quiet || r.files, r.namer);
    if (recovered != kOk) return removeStreams(), recovered;
    if (!r.files) return RestorePlaylists(disc, r.survivors, r.quiet);
    Args extract;
    extract.command = "extract";
    extract.words = {disc, "--all", "-d", t.dir};
    extract.quiet = r.quiet;
    const int written = RunExtract(extract);
    cleanup();
    return written;
}

}  // namespace

int RecoverDump(const std::string& source, const std::string& dir, bool files, bool dry, bool quiet) {
    Dump dump;
    if (!dump.Open(source)) return kFailed;
    std::vector<PackRun> runs;
    std::vector<uint64_t> management;
    uint64_t unreadable = 0;
    ProgressLabel("scanning " + dump.Path());
    const bool scanned =
        ScanDump([&](uint64_t at, void* buf, size_t n) { return dump.Read(at, buf, n); }, dump.Size(),
                 [](uint64_t done, uint64_t total) {
                     Progress(nullptr, 0, static_cast<DWORD>(done >> 20), static_cast<DWORD>(total >> 20), 0);
                     return !Interrupted();
                 },
                 &runs, &unreadable, &management);
    ProgressDone();
    if (!scanned) return Fail("cancelled while scanning " + dump.Path() + "; nothing was written."), kInterrupted;
    if (runs.empty())
        return Fail(dump.Path() + " holds no MPEG program stream of 2048-byte packs; nothing was written.");
    const Assembly a = AssembleRuns(runs);

    const std::vector<Target> targets = TargetsBySystem(runs, a, dir);
    const DiscFiles sourceFiles(IsDirectory(source) ? source : dump.Path());
    const int usable = CheckTargets(targets, sourceFiles);
    if (usable != kOk) return usable;
    if (!quiet || dry) PrintScan(dump, runs, a, targets, unreadable);
    // Titles, dates and chapters from management files that survived.
    const Survivors survivors = FindSurvivors(dump, management, quiet && !dry);
    const std::vector<KnownVob>& known = survivors.vobs;
    const RecoveredNamer namer = [&known](const std::string& path, DWORD first, DWORD sectors,
                                          RecoveredNaming* naming) {
        return Match(known, path, first, sectors, naming);
    };
    if (dry) return kOk;
    const DumpRecovery recovery{dump, runs, a, sourceFiles, survivors, namer, files, quiet};
    for (const Target& t : targets) {
        const int status = RecoverTarget(recovery, t);
        if (status != kOk) return status;
    }
    return kOk;
}

}  // namespace tool
