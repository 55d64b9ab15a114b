// Reading a recording directory for the check and the repair.
//
// Each management file is judged on its own: a copy of it is opened in a
// scratch directory under $TMPDIR that holds nothing else but sparse
// stand-ins of the stream files, as long as the real ones, so that Open sees
// the directory's stream lengths without being able to touch a byte of the
// real streams. The tables it loads give the stream extents of every VOB and
// VOG, which are then measured against the real stream files.
#include "check/disc_state.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "io/errors.h"
#include "platform/file.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CVMGI_MAT.h"

namespace fs = std::filesystem;

namespace vrm {

namespace {

std::string InDir(const std::string& dir, const std::string& name) {
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

// Writes a file of the scratch directory: the given bytes, or a sparse file
// of `length` bytes.
bool WriteScratchFile(const std::string& path, const char* data, size_t size, uint64_t length) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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

}  // namespace

// One management file opened on its own in a scratch directory. The tables
// are released before the directory is removed.
class LoadedCopy {
public:
    LoadedCopy() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vrmangr-check-XXXXXX";
        if (::mkdtemp(&pattern[0])) m_scratch = pattern;
    }
    ~LoadedCopy() {
        m_tables.reset();
        std::error_code ec;
        if (!m_scratch.empty()) fs::remove_all(m_scratch, ec);
    }
    LoadedCopy(const LoadedCopy&) = delete;
    LoadedCopy& operator=(const LoadedCopy&) = delete;

    // Opens bytes as the management file of a directory whose stream files
    // are movieBytes and stillBytes long. On failure *findings receives what
    // Open found, about the scratch copy (VR_MANGR.IFO, the only one there);
    // false with no findings when the scratch directory could not be made.
    bool Load(const std::vector<char>& bytes, uint64_t movieBytes, uint64_t stillBytes,
              std::vector<CVR_MANGR::OpenFinding>* findings) {
        if (m_scratch.empty() || !WriteScratchFile(InDir(m_scratch, kIfoName), bytes.data(), bytes.size(), 0) ||
            !WriteScratchFile(InDir(m_scratch, kMovieName), nullptr, 0, movieBytes) ||
            !WriteScratchFile(InDir(m_scratch, kStillName), nullptr, 0, stillBytes))
            return false;
        m_ready = true;
        m_tables.reset(new CVR_MANGR());
        if (m_tables->fnRTR_VMG_Open(m_scratch.c_str())) return true;
        *findings = m_tables->fnGetOpenFindingDetails();
        m_tables.reset();
        return false;
    }
    CVR_MANGR* Tables() const { return m_tables.get(); }
    // The scratch directory and its files were made.
    bool Ready() const { return m_ready; }

private:
    std::string m_scratch;
    std::unique_ptr<CVR_MANGR> m_tables;
    bool m_ready = false;
};

CVR_MANGR* CopyVerdict::Tables() const { return loaded ? loaded->Tables() : nullptr; }

uint64_t StreamView::RecordedSectors() const {
    uint64_t sum = 0;
    for (const VR_STREAM_EXTENT& e : use.extents) sum += e.dwSectors;
    return sum;
}

std::string RecordingName(bool still, WORD number) {
    return std::string(still ? "VOG " : "VOB ") + std::to_string(number);
}

std::string Count(long long n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Join(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

namespace {

const char kDvdVrId[] = "DVD_RTR_VMG0";
// Longer files are not read (the library does not open them either).
const uintmax_t kLargestManagementFile = uintmax_t{1} << 30;
// RTR_VMG_EA as the format's writers set it, whatever the file's length.
const DWORD kFixedVmgEa = 0x1FFFF;
const char* const kTableNames[CVR_MANGR::kTableCount] = {"RTR_VMGI", "M_AVFIT",  "S_AVFIT", "ORG_PGCI",
                                                         "UD_PGCIT", "TXTDT_MG", "MNFIT"};

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
    int64_t size = 0;
    f.present = ProbePath(InDir(dir, name).c_str(), &size) == PathKind::RegularFile;
    f.bytes = f.present ? static_cast<uint64_t>(size) : 0;
    return f;
}

// The tables in file order, with their start addresses and sizes as the
// loader found them: each lies behind the previous one and inside the
// file, and the end addresses of VMGI_MAT agree with them.
void CheckTableBounds(const CVR_MANGR& m, CopyVerdict& v) {
    const VMGI_MAT* head = m.m_pModel && m.m_pModel->pRTR_VMGI ? m.m_pModel->pRTR_VMGI->pVMGI_MAT.get() : nullptr;
    if (!head) return;
    const uint64_t fileSize = v.bytes.size();
    uint64_t previousEnd = 0;
    std::string previous;
    for (int t = 0; t < CVR_MANGR::kTableCount; ++t) {
        const uint64_t start = t == CVR_MANGR::kRTR_VMGI ? 0 : m.m_dwSA[t - CVR_MANGR::kM_AVFIT];
        const uint64_t size = m.m_dwTableSize[t];
        if (size == 0) continue;
        const std::string name = kTableNames[t];
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
    const CVMGI_MAT mat(const_cast<VMGI_MAT*>(head));
    const uint64_t vmgiEnd = uint64_t{mat.fnGet_dwVMGI_EA()} + 1;
    if (vmgiEnd != m.m_dwTableSize[CVR_MANGR::kRTR_VMGI]) {
        v.violations.push_back("VMGI_EA says RTR_VMGI is " + std::to_string(vmgiEnd) + " bytes long, but it holds " +
                               std::to_string(m.m_dwTableSize[CVR_MANGR::kRTR_VMGI]) + ".");
    }
    // RTR_VMG_EA is 0x1FFFF in files of any length (also beyond 128 KB);
    // any other value must cover the tables and lie inside the file.
    const DWORD ea = mat.fnGet_dwRTR_VMG_EA();
    const uint64_t areaEnd = uint64_t{ea} + 1;
    if (ea != kFixedVmgEa && (areaEnd < previousEnd || areaEnd > fileSize)) {
        v.violations.push_back("RTR_VMG_EA (" + std::to_string(ea) + ") is neither 131071 nor covers the tables " +
                               "(which end at byte " + std::to_string(previousEnd) + ") inside the file (" +
                               std::to_string(fileSize) + " bytes).");
    }
}

// The use of one stream by a copy's tables, measured against the stream
// file found in the directory.
StreamView Measure(CVR_MANGR& m, bool still, const StreamFile& file, CopyVerdict& v) {
    StreamView view;
    if (!m.fnGetStreamCoverage(still ? 1 : 0, &view.use)) {
        v.violations.push_back(std::string("the extents of the ") + (still ? "VOGs" : "VOBs") +
                               " in the stream cannot be worked out.");
        return StreamView{};
    }
    // The scratch stream files are as long as the real ones, so the missing
    // bytes are those of the real files.
    const uint64_t size = file.present ? file.bytes : 0;
    for (const VR_STREAM_EXTENT& e : view.use.extents) {
        if ((uint64_t{e.dwStart} + e.dwSectors) * kCheckSector > size) view.beyondEnd.push_back(e.wNumber);
    }
    return view;
}

// Open's findings about a scratch copy that it refused: the disagreements
// of its tables become the copy's violations; otherwise the first finding
// says why it does not load.
void Explain(const std::vector<CVR_MANGR::OpenFinding>& findings, CopyVerdict& v) {
    for (const CVR_MANGR::OpenFinding& f : findings) {
        if (f.kind == CVR_MANGR::kFindingTables) v.violations.push_back(f.text);
    }
    if (!v.violations.empty()) {
        v.damage = "has tables that disagree with each other";
        return;
    }
    for (const CVR_MANGR::OpenFinding& f : findings) {
        v.damage = f.text;
        if (!v.damage.empty() && v.damage.back() == '.') v.damage.pop_back();
        if (!v.damage.empty()) return;
    }
    v.damage = "does not load: a count, size or address of its table points outside the file or into another table";
}

// The copy's bytes, or why there are none to load.
bool ReadCopy(const std::string& path, CopyVerdict& v) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        v.damage = "is missing";
        return false;
    }
    v.present = true;
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kLargestManagementFile) {
        v.damage = "is " + std::to_string(size) + " bytes long, too long for a management file";
        return false;
    }
    if (ec || !ReadWholeFile(path, &v.bytes)) {
        v.damage = "cannot be read";
        return false;
    }
    if (v.bytes.size() < 12 || std::memcmp(v.bytes.data(), kDvdVrId, 12) != 0) {
        v.damage = std::string("does not begin with the identifier ") + kDvdVrId;
        return false;
    }
    return true;
}

CopyVerdict Judge(const std::string& dir, const std::string& name, const StreamFile& movie, const StreamFile& still) {
    CopyVerdict v;
    v.name = name;
    if (!ReadCopy(InDir(dir, name), v)) return v;
    // A missing stream file is stood in for by an empty one: Open needs the
    // stream files of the recordings it lists, and what is missing is
    // measured here against the real file.
    auto copy = std::make_shared<LoadedCopy>();
    std::vector<CVR_MANGR::OpenFinding> findings;
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
    CVR_MANGR& m = *copy->Tables();
    CheckTableBounds(m, v);
    v.movie = Measure(m, false, movie, v);
    v.still = Measure(m, true, still, v);
    v.recordings = static_cast<long>(v.movie.use.extents.size() + v.still.use.extents.size());
    DVDPGCINFO info{};
    if (m.fnGetOPGCInfo(&info, 2)) v.programs = static_cast<long>(info.dwCount);
    info = DVDPGCINFO{};
    if (m.fnGetOPGCInfo(&info, 1)) v.cells = static_cast<long>(info.dwCount);
    v.playlists = m.fnGetPLCount();
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

CopyVerdict JudgeCopy(const DiscState& d, const std::string& name) { return Judge(d.dir, name, d.movie, d.still); }

const CopyVerdict* DiscState::Current() const {
    if (ifo.Good()) return &ifo;
    if (bup.Good()) return &bup;
    if (ifo.loads) return &ifo;
    if (bup.loads) return &bup;
    return nullptr;
}

std::string DiscState::PathOf(const std::string& name) const { return InDir(dir, name); }

uint64_t DiscState::DescribedEndBytes(bool inStill) const {
    uint64_t end = 0;
    for (const CopyVerdict* c : {&ifo, &bup}) {
        if (c->loads) end = std::max(end, c->View(inStill).RecordedEndBytes());
    }
    return end;
}

uint64_t DiscState::TrailingBytes(bool inStill) const {
    const StreamFile& file = File(inStill);
    if (!ifo.loads && !bup.loads) return 0;  // nothing says where the recordings end
    const uint64_t end = DescribedEndBytes(inStill);
    return file.present && file.bytes > end ? file.bytes - end : 0;
}

// Reads both copies; the temporary files beside them; whether dir holds a
// disc at all.
bool ReadDisc(const std::string& dir, DiscState* d, Status* status) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        status->Set(VRO_ERR_BAD_ARGUMENT, dir + " is not a directory.");
        return false;
    }
    d->dir = dir;
    d->movie = ProbeStream(dir, kMovieName);
    d->still = ProbeStream(dir, kStillName);
    d->ifo = Judge(dir, kIfoName, d->movie, d->still);
    std::vector<char> bupBytes;
    const std::string bup = InDir(dir, kBupName);
    d->identical = d->ifo.present && !d->ifo.bytes.empty() && fs::file_size(bup, ec) == d->ifo.bytes.size() && !ec &&
                   ReadWholeFile(bup, &bupBytes) && bupBytes == d->ifo.bytes;
    if (d->identical) {
        // The same bytes load the same way: judged once.
        d->bup = d->ifo;
        d->bup.name = kBupName;
    } else {
        d->bup = Judge(dir, kBupName, d->movie, d->still);
    }
    d->tempFiles = FindTempFiles(dir);
    if (!d->ifo.present && !d->bup.present && !d->tempFiles.empty()) {
        // A save (or a recovery) that was killed before it renamed its first
        // management file into place: its scratch files are all there is.
        std::string names;
        for (const TempFile& t : d->tempFiles) names += (names.empty() ? "" : ", ") + t.name;
        status->Set(VRO_ERR_DAMAGED, dir + " holds no DVD-VR disc: " + kIfoName + " and " + kBupName +
                                         " are missing, and " + names +
                                         (d->tempFiles.size() == 1 ? " is a leftover" : " are leftovers") +
                                         " of an interrupted save; 'vrmangr recover " + dir +
                                         "' rebuilds the disc from its stream files and removes them.");
        return false;
    }
    if (!d->ifo.present && !d->bup.present) {
        status->Set(VRO_ERR_DAMAGED, dir + " holds no DVD-VR disc: " + kIfoName + " and " + kBupName + " are missing.");
        return false;
    }
    if (d->ifo.unjudged || d->bup.unjudged) {
        status->Set(
            VRO_ERR_WRITE,
            "no scratch directory can be made under $TMPDIR (or /tmp) to judge the management files of " + dir + ".");
        return false;
    }
    return true;
}

}  // namespace vrm
