// Reading a recording directory for `check` and `repair`.
//
// Each management file is judged on its own: a copy of it is opened through
// the public Open in a scratch directory under $TMPDIR that holds nothing
// else but sparse stand-ins of the stream files, as long as the real ones,
// so that Open sees the directory's stream lengths without being able to
// touch a byte of the real streams. The tables it loads give the stream
// extents of every VOB and VOG, which are then measured against the real
// stream files.
#include "check_disc.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace tool {

// A scratch directory under $TMPDIR.
std::string ScratchPrefix() {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/vrmangr-check-";
}

// One management file opened on its own in a scratch directory. The handle
// is released before the directory is removed.
class LoadedCopy {
public:
    LoadedCopy() : m_handle(nullptr) {}
    ~LoadedCopy() { fnVR_MANGREnd(m_handle); }
    LoadedCopy(const LoadedCopy&) = delete;
    LoadedCopy& operator=(const LoadedCopy&) = delete;

    // Opens bytes as the management file of a directory whose stream files
    // are movieBytes and stillBytes long. On failure *findings receives what
    // Open found, about the scratch copy (VR_MANGR.IFO, the only one there);
    // false with no findings when the scratch directory could not be made.
    bool Load(const std::vector<char>& bytes, uint64_t movieBytes, uint64_t stillBytes,
              std::vector<VR_OPEN_FINDING>* findings) {
        if (m_scratch.Path().empty() || !WriteFile(kIfo, bytes.data(), bytes.size(), 0) ||
            !WriteFile(kMovieVro, nullptr, 0, movieBytes) || !WriteFile(kStillVro, nullptr, 0, stillBytes))
            return false;
        m_ready = true;
        m_handle = fnVR_MANGRBegin();
        if (fnVR_MANGROpen(m_handle, m_scratch.Path().c_str())) return true;
        VR_OPEN_STATE state{};
        fnVR_GetOpenState(m_handle, &state);
        findings->resize(state.dwFindings);
        for (DWORD i = 0; i < state.dwFindings; ++i) fnVR_GetOpenFinding(m_handle, i, &(*findings)[i]);
        fnVR_MANGREnd(m_handle);
        m_handle = nullptr;
        return false;
    }
    void* Handle() const { return m_handle; }
    // The scratch directory and its files were made.
    bool Ready() const { return m_ready; }

private:
    // Writes a file of the scratch directory: the given bytes, or a sparse
    // file of `length` bytes.
    bool WriteFile(const char* name, const char* data, size_t size, uint64_t length) {
        const std::string path = InDir(m_scratch.Path(), name);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return false;
        bool ok = true;
        for (size_t done = 0; ok && done < size;) {
            const ssize_t n = ::write(fd, data + done, size - done);
            ok = n > 0;
            if (ok) done += static_cast<size_t>(n);
        }
        if (ok && length > 0) ok = ::ftruncate(fd, static_cast<off_t>(length)) == 0;
        return ::close(fd) == 0 && ok;
    }

    ScratchDir m_scratch{ScratchPrefix()};  // destroyed after the handle
    void* m_handle;
    bool m_ready = false;
};

void* CopyVerdict::Handle() const { return loaded ? loaded->Handle() : nullptr; }

uint64_t StreamView::RecordedSectors() const {
    uint64_t sum = 0;
    for (const VR_STREAM_EXTENT& e : extents) sum += e.dwSectors;
    return sum;
}

std::string RecordingName(bool still, WORD number) {
    return std::string(still ? "VOG " : "VOB ") + std::to_string(number);
}

namespace {

const char kDvdVrId[] = "DVD_RTR_VMG0";
// Longer files are not read (the library does not open them either).
const uintmax_t kLargestManagementFile = uintmax_t{1} << 30;
// RTR_VMG_EA as the format's writers set it, whatever the file's length.
const DWORD kFixedVmgEa = 0x1FFFF;

bool ReadWholeFile(const std::string& path, std::vector<char>* bytes) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    bytes->resize(static_cast<size_t>(size));
    in.seekg(0);
    return in.read(bytes->data(), size).gcount() == size;
}

StreamFile ProbeStream(const std::string& dir, const char* name) {
    StreamFile f;
    f.name = name;
    const long long size = RegularFileSize(InDir(dir, name));
    f.present = size >= 0;
    f.bytes = f.present ? static_cast<uint64_t>(size) : 0;
    return f;
}

// The tables in file order, with their start addresses and sizes as the
// loader found them: each lies behind the previous one and inside the
// file, and the end addresses of VMGI_MAT agree with them.
void CheckTableBounds(void* h, CopyVerdict& v) {
    const uint64_t fileSize = v.bytes.size();
    uint64_t previousEnd = 0;
    std::string previous;
    VR_TABLE_PLACE head{};
    for (int t = 0; t < VR_TABLE_COUNT; ++t) {
        VR_TABLE_PLACE place{};
        if (!fnVR_GetTablePlace(h, t, &place)) return;
        if (t == 0) head = place;
        const uint64_t start = place.dwStart, size = place.dwSize;
        if (size == 0) continue;
        const std::string name = place.szName;
        if (start + size > fileSize) {
            v.violations.push_back(name + " (bytes " + std::to_string(start) + ".." + std::to_string(start + size) +
                                   ") runs past the end of the file (" + std::to_string(fileSize) + " bytes).");
        }
        if (!previous.empty() && start < previousEnd) {
            v.violations.push_back(name + " starts at byte " + std::to_string(start) + ", inside " + previous +
                                   " (which ends at " + std::to_string(previousEnd) + ").");
        }
        previousEnd = std::max(previousEnd, start + size);
        previous = name;
    }
    VR_DISC_FACTS facts{};
    if (!fnVR_GetDiscFacts(h, &facts)) return;
    const uint64_t vmgiEnd = uint64_t{facts.dwVmgiEnd} + 1;
    if (vmgiEnd != head.dwSize) {
        v.violations.push_back("VMGI_EA says RTR_VMGI is " + std::to_string(vmgiEnd) + " bytes long, but it holds " +
                               std::to_string(head.dwSize) + ".");
    }
    // RTR_VMG_EA is 0x1FFFF in files of any length (also beyond 128 KB);
    // any other value must cover the tables and lie inside the file.
    const DWORD ea = facts.dwManagementEnd;
    const uint64_t areaEnd = uint64_t{ea} + 1;
    if (ea != kFixedVmgEa && (areaEnd < previousEnd || areaEnd > fileSize)) {
        v.violations.push_back("RTR_VMG_EA (" + std::to_string(ea) + ") is neither 131071 nor covers the tables " +
                               "(which end at byte " + std::to_string(previousEnd) + ") inside the file (" +
                               std::to_string(fileSize) + " bytes).");
    }
}

// The use of one stream by a copy's tables, measured against the stream
// file found in the directory.
StreamView Measure(void* h, bool still, const StreamFile& file, CopyVerdict& v) {
    StreamView view;
    const int s = still ? 1 : 0;
    if (!fnVR_GetStreamUse(h, s, &view.use, nullptr, 0, nullptr, 0, nullptr, 0)) {
        v.violations.push_back(std::string("the extents of the ") + (still ? "VOGs" : "VOBs") +
                               " in the stream cannot be worked out.");
        return StreamView{};
    }
    view.extents.resize(view.use.dwExtents);
    view.overlaps.resize(view.use.dwOverlaps);
    view.gaps.resize(view.use.dwGaps);
    fnVR_GetStreamUse(h, s, &view.use, view.extents.data(), view.use.dwExtents, view.overlaps.data(),
                      view.use.dwOverlaps, view.gaps.data(), view.use.dwGaps);
    // The scratch stream files are as long as the real ones, so the missing
    // bytes are those of the real files.
    const uint64_t size = file.present ? file.bytes : 0;
    for (const VR_STREAM_EXTENT& e : view.extents) {
        if ((uint64_t{e.dwStart} + e.dwSectors) * kSectorBytes > size) view.beyondEnd.push_back(e.wNumber);
    }
    return view;
}

// Open's findings about a scratch copy that it refused: the disagreements
// of its tables become the copy's violations; otherwise the first finding
// says why it does not load.
void Explain(const std::vector<VR_OPEN_FINDING>& findings, CopyVerdict& v) {
    for (const VR_OPEN_FINDING& f : findings) {
        if (f.dwKind == VR_FINDING_TABLES) v.violations.push_back(f.szText);
    }
    if (!v.violations.empty()) {
        v.damage = "has tables that disagree with each other";
        return;
    }
    for (const VR_OPEN_FINDING& f : findings) {
        v.damage = f.szText;
        if (!v.damage.empty() && v.damage.back() == '.') v.damage.pop_back();
        if (!v.damage.empty()) return;
    }
    v.damage = "does not load: a count, size or address of its tables points outside the file or into another table";
}

CopyVerdict Judge(const std::string& dir, const char* name, const StreamFile& movie, const StreamFile& still) {
    CopyVerdict v;
    v.name = name;
    const std::string path = InDir(dir, name);
    if (!Exists(path)) {
        v.damage = "is missing";
        return v;
    }
    v.present = true;
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kLargestManagementFile) {
        v.damage = "is " + std::to_string(size) + " bytes long, too long for a management file";
        return v;
    }
    if (ec || !ReadWholeFile(path, &v.bytes)) {
        v.damage = "cannot be read";
        return v;
    }
    if (v.bytes.size() < 12 || std::memcmp(v.bytes.data(), kDvdVrId, 12) != 0) {
        v.damage = std::string("does not begin with the identifier ") + kDvdVrId;
        return v;
    }
    // A missing stream file is stood in for by an empty one: Open needs the
    // stream files of the recordings it lists, and what is missing is
    // measured here against the real file.
    auto copy = std::make_shared<LoadedCopy>();
    std::vector<VR_OPEN_FINDING> findings;
    if (!copy->Load(v.bytes, movie.bytes, still.bytes, &findings)) {
        if (!copy->Ready()) {
            v.damage = "could not be copied to a scratch directory to be checked";
            v.unjudged = true;
        } else {
            Explain(findings, v);
        }
        return v;
    }
    v.loads = true;
    v.loaded = copy;
    void* h = copy->Handle();
    CheckTableBounds(h, v);
    v.movie = Measure(h, false, movie, v);
    v.still = Measure(h, true, still, v);
    v.recordings = static_cast<long>(v.movie.extents.size() + v.still.extents.size());
    DVDPGCINFO info{};
    if (fnVR_GetOPGCInfo(h, &info, 2)) v.programs = static_cast<long>(info.dwCount);
    info = DVDPGCINFO{};
    if (fnVR_GetOPGCInfo(h, &info, 1)) v.cells = static_cast<long>(info.dwCount);
    v.playlists = fnVR_GetPLCount(h);
    return v;
}

std::vector<TempFile> FindTempFiles(const std::string& dir) {
    std::vector<TempFile> found;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code sec;
        if (!IsTempFileName(name) || !it->is_regular_file(sec) || it->is_symlink(sec)) continue;
        TempFile t;
        t.name = name;
        t.bytes = static_cast<uint64_t>(fs::file_size(it->path(), sec));
        found.push_back(t);
    }
    std::sort(found.begin(), found.end(), [](const TempFile& a, const TempFile& b) { return a.name < b.name; });
    return found;
}

}  // namespace

const CopyVerdict* DiscState::Current() const {
    if (ifo.Good()) return &ifo;
    if (bup.Good()) return &bup;
    if (ifo.loads) return &ifo;
    if (bup.loads) return &bup;
    return nullptr;
}

uint64_t DiscState::DescribedEndBytes(bool inStill) const {
    uint64_t end = 0;
    for (const CopyVerdict* c : {&ifo, &bup}) {
        if (c->loads) end = std::max(end, (inStill ? c->still : c->movie).RecordedEndBytes());
    }
    return end;
}

uint64_t DiscState::TrailingBytes(bool inStill) const {
    const StreamFile& file = inStill ? still : movie;
    if (!ifo.loads && !bup.loads) return 0;  // nothing says where the recordings end
    const uint64_t end = DescribedEndBytes(inStill);
    return file.present && file.bytes > end ? file.bytes - end : 0;
}

bool ScanBehind(const std::string& path, bool still, uint64_t from, std::vector<VR_FOUND_STRETCH>* found) {
    found->clear();
    void* h = fnVR_MANGRBegin();
    const DWORD first = static_cast<DWORD>(from / kSectorBytes);
    const int scanned = h && (still ? fnVR_ScanStillStreamFile(h, path.c_str(), first, Progress)
                                    : fnVR_ScanStreamFile(h, path.c_str(), first, Progress));
    if (scanned) {
        found->resize(fnVR_GetFoundCount(h));
        for (DWORD i = 0; i < found->size(); ++i) fnVR_GetFound(h, i, &(*found)[i]);
    }
    fnVR_MANGREnd(h);
    return scanned && !Interrupted();
}

bool HoldsRecording(const VR_FOUND_STRETCH& s) { return s.dwKind == VR_FOUND_RECORDING || s.dwKind == VR_FOUND_STILLS; }

long MisalignedPacks(const std::string& path, uint64_t from, uint64_t to) {
    std::ifstream in(path, std::ios::binary);
    if (!in || to <= from) return 0;
    const uint64_t n = std::min<uint64_t>(to - from, 8 << 20);
    std::vector<unsigned char> bytes(static_cast<size_t>(n));
    in.seekg(static_cast<std::streamoff>(from));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(n));
    bytes.resize(static_cast<size_t>(in.gcount()));
    std::vector<long> at(kSectorBytes, 0);
    for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xBA)
            ++at[(from + i) % kSectorBytes];
    }
    const long best = static_cast<long>(std::max_element(at.begin() + 1, at.end()) - at.begin());
    // Packs of 2048 bytes: in a stream cut short at its front nearly every
    // sector holds one, all at the same place; stray start codes do not line
    // up like that.
    const long sectors = static_cast<long>(bytes.size() / kSectorBytes);
    return at[static_cast<size_t>(best)] >= std::max<long>(4, sectors / 2) && at[static_cast<size_t>(best)] > 4 * at[0]
               ? best
               : 0;
}

std::string ByteSpan(uint64_t a, uint64_t b) { return "bytes " + std::to_string(a) + ".." + std::to_string(b); }

std::string FoundSpan(const VR_FOUND_STRETCH& s) {
    return ByteSpan(static_cast<uint64_t>(s.llFirstByte), static_cast<uint64_t>(s.llFirstByte + s.llBytes));
}

std::string FoundWhat(const VR_FOUND_STRETCH& s) {
    if (s.dwKind == VR_FOUND_STILLS) return Count(s.dwFrames, "still picture", "still pictures");
    return "a recording of " + FrameTime(s.dwFrames, s.dwFrameRate);
}

uint64_t Undescribed::KeepEnd() const {
    if (!scanned || misaligned) return end;
    uint64_t keep = start;
    for (const VR_FOUND_STRETCH& s : found) {
        if (HoldsRecording(s)) keep = std::max(keep, static_cast<uint64_t>(s.llFirstByte + s.llBytes));
    }
    return keep;
}

long Undescribed::Recordings() const {
    return static_cast<long>(std::count_if(found.begin(), found.end(), HoldsRecording));
}

// The undescribed stretches of one stream of the open disc: behind the
// highest end its tables describe. False after a failure it has reported.
bool FindUndescribedOf(void* h, const std::string& dir, bool still, std::vector<VR_FOUND_STRETCH>* found, int* status) {
    found->clear();
    VR_STREAM_USE use{};
    if (!fnVR_GetStreamUse(h, still ? 1 : 0, &use, nullptr, 0, nullptr, 0, nullptr, 0) || !use.dwFilePresent)
        return true;
    const uint64_t end = uint64_t{use.dwRecordedEnd} * kSectorBytes;
    if (static_cast<uint64_t>(use.llFileBytes) < end + kSectorBytes) return true;
    const std::string path = InDir(dir, still ? kStillVro : kMovieVro);
    ProgressLabel("scanning " + std::string(still ? kStillVro : kMovieVro));
    const bool scanned = ScanBehind(path, still, end, found);
    ProgressDone();
    if (scanned) return true;
    *status = Interrupted() ? Fail("cancelled while scanning " + path + "; " + dir + " was left as it was.")
                            : Fail(path + " could not be scanned; nothing was changed.");
    return false;
}

Undescribed FindUndescribed(const DiscState& d, bool still) {
    Undescribed u;
    const StreamFile& file = still ? d.still : d.movie;
    u.start = d.DescribedEndBytes(still);
    u.end = file.present ? std::max(file.bytes, u.start) : u.start;
    u.explainedEnd = u.start;
    if (u.end == u.start) return u;
    // A save writes both management files aside before it appends: the
    // scratch copy of one that was interrupted describes what it appended.
    for (const TempFile& t : d.tempFiles) {
        if (t.name.compare(0, std::strlen(kIfo), kIfo) != 0 && t.name.compare(0, std::strlen(kBup), kBup) != 0)
            continue;
        const CopyVerdict v = Judge(d.dir, t.name.c_str(), d.movie, d.still);
        if (!v.loads) continue;
        const uint64_t end = std::min(u.end, (still ? v.still : v.movie).RecordedEndBytes());
        if (end > u.explainedEnd) {
            u.explainedEnd = end;
            u.explainedBy = t.name;
        }
    }
    if (u.explainedEnd < u.end && u.end - u.explainedEnd >= kSectorBytes)
        u.scanned = ScanBehind(InDir(d.dir, file.name), still, u.explainedEnd, &u.found);
    if (u.scanned && u.Recordings() == 0)
        u.misaligned = MisalignedPacks(InDir(d.dir, file.name), u.explainedEnd, u.end);
    return u;
}

DiscState ReadDisc(const std::string& dir) {
    DiscState d;
    d.dir = dir;
    d.movie = ProbeStream(dir, kMovieVro);
    d.still = ProbeStream(dir, kStillVro);
    d.ifo = Judge(dir, kIfo, d.movie, d.still);
    std::vector<char> bupBytes;
    std::error_code ec;
    const std::string bup = InDir(dir, kBup);
    d.identical = d.ifo.present && !d.ifo.bytes.empty() && fs::file_size(bup, ec) == d.ifo.bytes.size() && !ec &&
                  ReadWholeFile(bup, &bupBytes) && bupBytes == d.ifo.bytes;
    if (d.identical) {
        // The same bytes load the same way: judged once.
        d.bup = d.ifo;
        d.bup.name = kBup;
    } else {
        d.bup = Judge(dir, kBup, d.movie, d.still);
    }
    d.tempFiles = FindTempFiles(dir);
    return d;
}

}  // namespace tool
