#include "stream/CVRO_DATA.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/disc_files.h"
#include "platform/file.h"
#include "stream/analysis.h"
#include "stream/mpeg_bitrate.h"
#include "stream/vro_common.h"

using vrm::kSectorBytes;

namespace {

// An absolute form of path: relative paths are joined to the current
// directory; nothing is resolved or normalised.
std::string Absolute(const char* path) {
    std::string result;
    if (path[0] != '/') {
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd) {
            result = cwd;
            std::free(cwd);
            if (result.empty() || result.back() != '/') result += '/';
        }
    }
    result += path;
    return result;
}

// Copies text into a caller's buffer of kNameBuffer bytes, cut at a
// character boundary of UTF-8 text when it does not fit.
void CopyName(char* name, const std::string& text) {
    if (!name) return;
    size_t n = text.size();
    if (n > vrm::kNameBuffer - 1) {
        n = vrm::kNameBuffer - 1;
        // Do not leave the first bytes of a multi-byte character behind.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(name, text.data(), n);
    name[n] = '\0';
}

}  // namespace

CVRO_DATA::CVRO_DATA(int isMovie)
    : m_MpegFileInfo{}, m_dwVROSize(0), m_dwLastError(0), m_bMovie(isMovie), m_bInitialised(false) {}

CVRO_DATA::~CVRO_DATA() { fnDiscardStaged(); }

int CVRO_DATA::Fail(DWORD code, const std::string& file) {
    m_dwLastError = code;
    try {
        // The file goes inside the sentence, before its full stop.
        m_strErrorDetail = fnGetErrorText(code);
        if (!file.empty()) {
            const bool stop = !m_strErrorDetail.empty() && m_strErrorDetail.back() == '.';
            if (stop) m_strErrorDetail.pop_back();
            m_strErrorDetail += " (" + file + ")" + (stop ? "." : "");
        }
    } catch (...) {
        m_strErrorDetail.clear();
    }
    return 0;
}

void CVRO_DATA::Unbind() {
    fnDiscardStaged();
    m_bInitialised = false;
    m_dwVROSize = 0;
    m_qwBoundLength = 0;
    m_dwTablesEnd = 0;
    m_bNewDisc = false;
    m_Queue.clear();
    m_Undo = AppendUndo{};
    m_strStreamPath.clear();
    m_pFiles.reset();
}

int CVRO_DATA::fnInit(const char* dir, DWORD mode) {
    Unbind();
    if (!dir || !*dir || (mode != VRO_INIT_OPEN && mode != VRO_INIT_NEW)) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    try {
        std::string path = Absolute(dir);
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (path != "/") path += '/';
        path += StreamName();

        int64_t size = 0;
        const vrm::PathKind kind = vrm::ProbePath(path.c_str(), &size);
        if (kind == vrm::PathKind::Other) return Fail(VRO_ERR_STREAM_MISSING, path);
        if (mode == VRO_INIT_OPEN && kind == vrm::PathKind::Missing) {
            // Refused, but bound to an empty stream: a disc without this
            // stream file can still be saved, and its first file creates it.
            m_strStreamPath = std::move(path);
            m_bInitialised = true;
            return Fail(VRO_ERR_STREAM_MISSING, m_strStreamPath);
        }
        if (mode == VRO_INIT_OPEN) {
            // Until the manager sets the recorded end from its tables, the
            // disc's data is the file's whole sectors.
            vrm::File file;
            if (!file.Open(path.c_str(), vrm::File::Mode::ReadExisting)) return Fail(VRO_ERR_STREAM_MISSING, path);
            size = file.Size();
            if (size < 0) return Fail(VRO_ERR_STREAM_MISSING, path);
            const uint64_t sectors = static_cast<uint64_t>(size) / kSectorBytes;
            if (sectors > vrm::kMaxSectors) return Fail(VRO_ERR_STREAM_TOO_LARGE, path);
            m_dwVROSize = static_cast<DWORD>(sectors);
            m_qwBoundLength = static_cast<uint64_t>(size);
        } else if (kind == vrm::PathKind::Missing) {
            vrm::File file;
            if (!file.Open(path.c_str(), vrm::File::Mode::ReadWriteAlways)) return Fail(VRO_ERR_STREAM_CREATE, path);
        }
        // A new disc: an existing file keeps its bytes until the next append
        // replaces them, so an unsaved New leaves the old disc intact.
        m_bNewDisc = mode == VRO_INIT_NEW;
        if (m_bNewDisc && kind == vrm::PathKind::RegularFile) m_qwBoundLength = static_cast<uint64_t>(size);
        m_strStreamPath = std::move(path);
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, "");
    }
    m_bInitialised = true;
    return 1;
}

int CVRO_DATA::fnInitFiles(std::shared_ptr<const vrm::DiscFiles> files) {
    Unbind();
    if (!files) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    try {
        const char* name = StreamName();
        std::string path = files->PathOf(name);
        const int64_t size = files->Size(name);
        if (size == vrm::DiscFiles::kNotAFile) return Fail(VRO_ERR_STREAM_MISSING, path);
        m_strStreamPath = std::move(path);
        m_pFiles = std::move(files);
        m_bInitialised = true;
        // A missing file leaves the object bound to an empty stream, as an
        // Open of a directory does.
        if (size < 0) return Fail(VRO_ERR_STREAM_MISSING, m_strStreamPath);
        const uint64_t sectors = static_cast<uint64_t>(size) / kSectorBytes;
        if (sectors > vrm::kMaxSectors) {
            m_bInitialised = false;
            return Fail(VRO_ERR_STREAM_TOO_LARGE, m_strStreamPath);
        }
        m_dwVROSize = static_cast<DWORD>(sectors);
        m_qwBoundLength = static_cast<uint64_t>(size);
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, "");
    }
    return 1;
}

int64_t CVRO_DATA::fnGetStreamFileSize() const {
    if (m_pFiles) {
        const int64_t size = m_pFiles->Size(StreamName());
        return size < 0 ? -1 : size;
    }
    int64_t size = 0;
    if (m_strStreamPath.empty() || vrm::ProbePath(m_strStreamPath.c_str(), &size) != vrm::PathKind::RegularFile)
        return -1;
    return size;
}

int CVRO_DATA::FailAnalysis(const vrm::AnalysisError& error, const char* file) {
    m_dwLastError = error.code;
    try {
        m_strErrorDetail = std::string(file ? file : "") + " " + error.reason + ".";
    } catch (...) {
        m_strErrorDetail.clear();
    }
    return 0;
}

int CVRO_DATA::fnSetError(DWORD code, const char* file, const char* reason) {
    vrm::AnalysisError error;
    error.code = code;
    try {
        error.reason = reason ? reason : "";
    } catch (...) {
    }
    return FailAnalysis(error, file);
}

void CVRO_DATA::fnSetAnalysedFileName(const char* path) {
    m_AnalysedRuns.clear();
    try {
        if (!path || !*path) {
            m_strFileName.clear();
        } else {
            m_strFileName = Absolute(path);
        }
    } catch (...) {
        m_strFileName.clear();  // queueing then fails with VRO_ERR_NO_SOURCE_NAME
    }
}

DWORD CVRO_DATA::RecordSectors(const VR_MPEGFILE_INFO& info) const {
    const VR_VOBU_ELEMENT* table = info.pVOBUTable;
    if (!table) return 0;
    if (m_bMovie) {
        // The movie tables keep 16 bits of the VOBU count.
        const DWORD n = info.dwVOBUNs;
        if (n == 0 || n > 0xFFFF || table[0].dwVOBUAddr != 0) return 0;
        for (DWORD i = 0; i < n; ++i) {
            if (table[i + 1].dwVOBUAddr <= table[i].dwVOBUAddr) return 0;
        }
        return table[n].dwVOBUAddr;
    }
    // Still: the picture count becomes an 8-bit count. Picture i occupies
    // [addr(i), addr(i + 1)); with audio that is its video part then its
    // audio part, without audio its video part alone, whose size the tables
    // keep in 8 bits.
    const DWORD k = info.dwFrameNs;
    if (k == 0 || k > 255 || table[0].dwVOBUAddr != 0) return 0;
    for (DWORD i = 0; i < k; ++i) {
        const VR_VOBU_ELEMENT& e = table[i];
        if (table[i + 1].dwVOBUAddr <= e.dwVOBUAddr) return 0;
        const DWORD span = table[i + 1].dwVOBUAddr - e.dwVOBUAddr;
        if (e.dwAudioPartSz == 0) {
            if (span > 255) return 0;
        } else if (e.dwAudioPartSz > 0xFFFF || e.b1stRefSz == 0 || e.b1stRefSz + uint64_t(e.dwAudioPartSz) != span) {
            return 0;
        }
    }
    return table[k].dwVOBUAddr;
}

int CVRO_DATA::fnSetRecordedEnd(DWORD sectors) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (!m_Queue.empty()) return Fail(VRO_ERR_QUEUE_NOT_EMPTY, m_strStreamPath);
    const int64_t size = fnGetStreamFileSize();
    m_qwBoundLength = size > 0 ? static_cast<uint64_t>(size) : 0;
    m_dwTablesEnd = sectors;
    const uint64_t whole = m_qwBoundLength / kSectorBytes;
    if (sectors > whole) {
        // Recorded data is missing: the logical end stays at the data there
        // is, below the recorded end, where no new recording can go.
        m_dwVROSize = static_cast<DWORD>(whole);
        return Fail(VRO_ERR_STREAM_SHORT, m_strStreamPath);
    }
    m_dwVROSize = sectors;
    return 1;
}

int CVRO_DATA::fnAdoptRecorded(DWORD sectors) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (!m_Queue.empty()) return Fail(VRO_ERR_QUEUE_NOT_EMPTY, m_strStreamPath);
    if (m_pFiles) return Fail(VRO_ERR_READ_ONLY, m_strStreamPath);
    const int64_t size = fnGetStreamFileSize();
    if (size < 0 || static_cast<uint64_t>(size) / kSectorBytes < sectors) {
        return Fail(VRO_ERR_STREAM_SHORT, m_strStreamPath);
    }
    m_dwVROSize = std::max(m_dwVROSize, sectors);
    m_qwBoundLength = std::max<uint64_t>(m_qwBoundLength, static_cast<uint64_t>(size));
    m_bNewDisc = false;
    return 1;
}

DWORD CVRO_DATA::fnGetQueuedEnd() const {
    uint64_t end = m_dwVROSize;
    for (const QueuedFile& q : m_Queue) {
        if (q.place == kAppended) end += q.sectors;
    }
    return static_cast<DWORD>(end);  // fnAddVOBToList keeps it below 2^32
}

uint64_t CVRO_DATA::fnGetQueuedSectors() const {
    uint64_t sectors = 0;
    for (const QueuedFile& q : m_Queue) sectors += q.sectors;
    return sectors;
}

int CVRO_DATA::fnAddVOBToList(VR_MPEGFILE_INFO* info) { return Queue(info, kAppended); }

int CVRO_DATA::fnAddVOBToListAt(VR_MPEGFILE_INFO* info, DWORD sector) {
    if (!m_bMovie || sector == kAppended) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    return Queue(info, sector);
}

int CVRO_DATA::Queue(VR_MPEGFILE_INFO* info, DWORD place) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (!info) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    if (m_pFiles) return Fail(VRO_ERR_READ_ONLY, m_strStreamPath);
    if (m_strFileName.empty()) return Fail(VRO_ERR_NO_SOURCE_NAME, "");
    const DWORD sectors = RecordSectors(*info);
    if (sectors == 0) return Fail(VRO_ERR_BAD_RECORD, m_strFileName);
    const DWORD start = place == kAppended ? fnGetQueuedEnd() : place;
    if (uint64_t(start) + sectors > vrm::kMaxSectors) return Fail(VRO_ERR_STREAM_TOO_LARGE, m_strFileName);
    if (place != kAppended) {
        // In place: inside the data the disc records, and apart from every
        // other file queued in place.
        if (uint64_t{place} + sectors > m_dwVROSize) return Fail(VRO_ERR_BEYOND_END, m_strStreamPath);
        for (const QueuedFile& q : m_Queue) {
            if (q.place != kAppended && place < uint64_t{q.place} + q.sectors && q.place < uint64_t{place} + sectors)
                return Fail(VRO_ERR_OVERLAP, m_strStreamPath);
        }
    }
    try {
        QueuedFile q{m_strFileName, sectors, {}, place};
        // A still file analysed here is written in its still VOB layout.
        if (!m_bMovie && info == &m_MpegFileInfo && !m_AnalysedRuns.empty()) {
            uint64_t total = 0;
            for (const SectorRun& r : m_AnalysedRuns) total += r.count;
            if (total != sectors) return Fail(VRO_ERR_BAD_RECORD, m_strFileName);
            q.runs = m_AnalysedRuns;
        }
        m_Queue.push_back(std::move(q));
        fnDiscardStaged();
    } catch (...) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, m_strFileName);
    }
    if (!m_bMovie) info->dwVOBStartAddr = start;
    return 1;
}

int CVRO_DATA::fnRemoveLastVOBFromList() {
    if (m_Queue.empty()) return 0;
    fnDiscardStaged();
    m_Queue.pop_back();
    return 1;
}

int CVRO_DATA::fnSetEndOfFile(DWORD sectors) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    // Queued files are placed from the logical end on; the still records
    // already carry those places.
    if (!m_Queue.empty()) return Fail(VRO_ERR_QUEUE_NOT_EMPTY, m_strStreamPath);
    if (sectors > m_dwVROSize) return Fail(VRO_ERR_BEYOND_END, m_strStreamPath);
    if (m_pFiles) return Fail(VRO_ERR_READ_ONLY, m_strStreamPath);
    m_dwVROSize = sectors;
    vrm::File file;
    if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadExisting)) {
        return Fail(VRO_ERR_STREAM_MISSING, m_strStreamPath);
    }
    const int64_t size = file.Size();
    const uint64_t end = uint64_t(sectors) * kSectorBytes;
    if (size < 0) return Fail(VRO_ERR_STREAM_MISSING, m_strStreamPath);
    // Never lengthen the file: that would invent stream data.
    if (static_cast<uint64_t>(size) < end) return Fail(VRO_ERR_STREAM_SHORT, m_strStreamPath);
    if (static_cast<uint64_t>(size) == end) return 1;
    if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadWriteAlways) || !file.Truncate(end) || !file.Sync()) {
        return Fail(VRO_ERR_TRUNCATE, m_strStreamPath);
    }
    return 1;
}

uint64_t CVRO_DATA::SourceOffset(const QueuedFile& q, uint64_t offset, uint64_t* runEnd) {
    if (q.runs.empty()) {
        *runEnd = uint64_t(q.sectors) * kSectorBytes;
        return offset;
    }
    uint64_t start = 0;
    for (const SectorRun& r : q.runs) {
        const uint64_t bytes = uint64_t(r.count) * kSectorBytes;
        if (offset - start < bytes) {
            *runEnd = (uint64_t(r.first) + r.count) * kSectorBytes;
            return uint64_t(r.first) * kSectorBytes + (offset - start);
        }
        start += bytes;
    }
    *runEnd = 0;
    return 0;
}

long CVRO_DATA::FindQueued(__int64 pos, uint64_t* offset, uint64_t* end) const {
    if (pos < 0) return -1;
    const uint64_t p = static_cast<uint64_t>(pos);
    uint64_t appended = uint64_t(m_dwVROSize) * kSectorBytes;
    for (size_t i = 0; i < m_Queue.size(); ++i) {
        const QueuedFile& q = m_Queue[i];
        const uint64_t bytes = uint64_t(q.sectors) * kSectorBytes;
        const uint64_t start = q.place == kAppended ? appended : uint64_t(q.place) * kSectorBytes;
        if (q.place == kAppended) appended += bytes;
        if (p >= start && p - start < bytes) {
            *offset = p - start;
            *end = bytes;
            return static_cast<long>(i);
        }
    }
    return -1;
}

__int64 CVRO_DATA::fnGetAppendedFileNameAndAddress(__int64 pos, char* name, __int64* /*unused*/) {
    if (name) name[0] = '\0';
    if (!m_bInitialised || pos < 0) return -1;
    uint64_t offset = 0, end = 0;
    const long i = FindQueued(pos, &offset, &end);
    if (i < 0) {
        // The stream file's own data, or recorded data the file has lost:
        // still the stream file's bytes.
        const uint64_t recorded = uint64_t(std::max(m_dwVROSize, m_dwTablesEnd)) * kSectorBytes;
        if (static_cast<uint64_t>(pos) >= recorded) return -1;
        CopyName(name, m_strStreamPath);
        return pos;
    }
    const QueuedFile& q = m_Queue[static_cast<size_t>(i)];
    CopyName(name, q.path);
    uint64_t runEnd = 0;
    return static_cast<__int64>(SourceOffset(q, offset, &runEnd));
}

DWORD CVRO_DATA::fnGetVideoBitrate(__int64 pos, const char* /*unused*/) {
    if (!m_bInitialised || pos < 0) return 0;
    const uint64_t recorded = uint64_t(m_dwVROSize) * kSectorBytes;
    vrm::File file;
    uint64_t offset = 0, end = 0;
    const long i = FindQueued(pos, &offset, &end);
    if (i < 0 && static_cast<uint64_t>(pos) < recorded && m_pFiles) {
        const char* name = StreamName();
        const vrm::DiscFiles& files = *m_pFiles;
        return vrm::ScanVideoBitrate([&](uint64_t at, void* data, size_t n) { return files.ReadAt(name, at, data, n); },
                                     static_cast<uint64_t>(pos), recorded);
    }
    if (i < 0 && static_cast<uint64_t>(pos) < recorded) {
        if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadExisting)) return 0;
        return vrm::ScanVideoBitrate(file, static_cast<uint64_t>(pos), recorded);
    }
    if (i < 0) return 0;
    const QueuedFile& q = m_Queue[static_cast<size_t>(i)];
    if (!file.Open(q.path.c_str(), vrm::File::Mode::ReadExisting)) return 0;
    uint64_t runEnd = 0;
    const uint64_t at = SourceOffset(q, offset, &runEnd);
    return vrm::ScanVideoBitrate(file, at, runEnd);
}

const char* CVRO_DATA::fnGetErrorText(DWORD code) { return vrm::ErrorText(code); }
