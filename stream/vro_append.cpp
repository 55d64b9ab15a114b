// Appending the queue of a stream object to its stream file.
//
// The data recorded in the stream file (its first m_dwVROSize sectors) is
// never touched, and neither is data behind it: an append refuses to write
// over or behind whole sectors the disc does not record. Queued files go
// behind the recorded data, or into the unused sectors they were placed in
// (which must still read as zeros); when anything fails the file is cut
// back to the length it had, those places read as zeros again, and the
// queue stays for a retry. With nothing queued the file is not touched at
// all.
//
// A stream file that holds bytes although nothing is recorded in it (a
// directory started anew over an earlier disc) is not overwritten in place:
// the new stream is written to a sibling file and renamed over it once it is
// complete and on disk, so a failed or cancelled save leaves the earlier
// disc's stream whole. A caller that must retire what describes the earlier
// disc before its stream goes can stage the new stream first
// (fnStageVOBList) and let the append rename it later.
#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <utility>

#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/vro_common.h"

using vrm::kSectorBytes;

namespace {

DWORD WriteErrorCode(int error) { return error == ENOSPC || error == EDQUOT ? VRO_ERR_DISK_FULL : VRO_ERR_WRITE; }

}  // namespace

int CVRO_DATA::CopyQueue(vrm::File& target, uint64_t at, ProgressCallback cb) {
    // The kernel copies until it cannot (no support between these files, an
    // error, a short source); from then on blocks go through memory, which
    // also tells a failing source from a failing target.
    bool offload = true;
    std::unique_ptr<BYTE[]> buffer;
    const DWORD total = static_cast<DWORD>(fnGetQueuedSectors());
    DWORD done = 0;
    if (cb && !cb(this, VRO_PROGRESS_APPEND, 0, total, 1)) return Fail(VRO_ERR_CANCELLED, "");
    uint64_t appended = at;
    for (size_t i = 0; i < m_Queue.size(); ++i) {
        const QueuedFile& q = m_Queue[i];
        at = q.place == kAppended ? appended : uint64_t(q.place) * kSectorBytes;
        if (q.place == kAppended) appended += uint64_t(q.sectors) * kSectorBytes;
        vrm::File source;
        if (!source.Open(q.path.c_str(), vrm::File::Mode::ReadExisting)) return Fail(VRO_ERR_SOURCE_OPEN, q.path);
        const uint64_t bytes = uint64_t(q.sectors) * kSectorBytes;
        for (uint64_t offset = 0; offset < bytes;) {
            // A block never crosses the end of a run of the source.
            uint64_t runEnd = 0;
            const uint64_t from = SourceOffset(q, offset, &runEnd);
            const size_t n = static_cast<size_t>(std::min<uint64_t>({vrm::kCopyBlock, bytes - offset, runEnd - from}));
            size_t copied = 0;
            if (offload) {
                copied = target.CopyFrom(source, from, at, n);
                if (copied < n) offload = false;
            }
            if (copied < n) {
                if (!buffer) buffer.reset(new (std::nothrow) BYTE[vrm::kCopyBlock]);
                if (!buffer) return Fail(VRO_ERR_OUT_OF_MEMORY, "");
                const size_t rest = n - copied;
                const int64_t got = source.ReadAt(from + copied, buffer.get(), rest);
                if (got < 0) return Fail(VRO_ERR_SOURCE_READ, q.path);
                if (static_cast<size_t>(got) < rest) return Fail(VRO_ERR_SOURCE_SHORT, q.path);
                if (target.WriteAt(at + copied, buffer.get(), rest) != rest) {
                    return Fail(WriteErrorCode(target.Error()), m_strStreamPath);
                }
            }
            at += n;
            offset += n;
            done += static_cast<DWORD>(n / kSectorBytes);
            if (cb && !cb(this, VRO_PROGRESS_APPEND, done, total, static_cast<DWORD>(i + 1))) {
                return Fail(VRO_ERR_CANCELLED, "");
            }
        }
    }
    return 1;
}

int CVRO_DATA::CheckBeforeAppend(uint64_t* physical) {
    const std::string& path = m_strStreamPath;
    if (m_pFiles) return Fail(VRO_ERR_READ_ONLY, path);
    const uint64_t oldEnd = uint64_t(m_dwVROSize) * kSectorBytes;
    int64_t size = 0;
    const vrm::PathKind kind = vrm::ProbePath(path.c_str(), &size);
    if (kind == vrm::PathKind::Other) return Fail(VRO_ERR_STREAM_MISSING, path);
    *physical = kind == vrm::PathKind::RegularFile ? static_cast<uint64_t>(size) : 0;
    // Data the disc records has gone missing: appending behind it would
    // put every new file at the wrong place.
    if (*physical < oldEnd) return Fail(VRO_ERR_STREAM_SHORT, path);
    // Whole sectors behind the recorded data are not the disc's, but may be
    // someone's: the rest of an interrupted save, or recordings of tables
    // that were lost. They are neither written over nor appended behind
    // (repair removes them once the user has seen them). A partial sector
    // holds no recording and is written over. An earlier disc's stream,
    // replaced as a whole by a new disc's first append, is the exception.
    // Only data that was there when the disc was bound counts: what a
    // failed append of this object left behind (its cut back failed too) is
    // its own and is written over by the retry.
    const uint64_t foreign = std::min(*physical, m_qwBoundLength);
    if (!m_Queue.empty() && foreign > oldEnd && foreign - oldEnd >= kSectorBytes && !ReplacesEarlierData(*physical)) {
        return Fail(VRO_ERR_TRAILING_DATA, path);
    }
    // Refuse a missing or short source before anything is written.
    for (const QueuedFile& q : m_Queue) {
        vrm::File source;
        if (!source.Open(q.path.c_str(), vrm::File::Mode::ReadExisting)) return Fail(VRO_ERR_SOURCE_OPEN, q.path);
        const int64_t have = source.Size();
        uint64_t need = uint64_t(q.sectors) * kSectorBytes;
        for (const SectorRun& r : q.runs) need = std::max(need, (uint64_t(r.first) + r.count) * kSectorBytes);
        if (have < 0 || static_cast<uint64_t>(have) < need) return Fail(VRO_ERR_SOURCE_SHORT, q.path);
    }
    // A place in the recorded data is written only while it holds nothing:
    // data found there since (a recording someone can still recover) is
    // never written over.
    for (const QueuedFile& q : m_Queue) {
        if (q.place != kAppended && !q.placeOwnData && !fnSectorsReadAsZeros(q.place, q.sectors))
            return Fail(VRO_ERR_PLACE_IN_USE, path);
    }
    return 1;
}

bool CVRO_DATA::ClearPlaces(vrm::File& file, std::vector<QueuedFile>& queue) {
    bool cleared = true;
    for (QueuedFile& q : queue) {
        if (q.place == kAppended) continue;
        q.placeOwnData = !file.ZeroRange(uint64_t(q.place) * kSectorBytes, uint64_t(q.sectors) * kSectorBytes);
        cleared = cleared && !q.placeOwnData;
    }
    return cleared;
}

int CVRO_DATA::WriteStaged(ProgressCallback cb) {
    // A name of its own (VR_MOVIE.VRO.tmp-XXXXXX): no other process or
    // object stages into the same file.
    std::string staging;
    vrm::File file;
    if (!file.CreateBeside(m_strStreamPath, &staging)) return Fail(VRO_ERR_STREAM_CREATE, m_strStreamPath);
    int ok = CopyQueue(file, 0, cb);
    if (ok && !file.Sync()) ok = Fail(VRO_ERR_SYNC, staging);
    file.Close();
    if (!ok) {
        vrm::RemoveFile(staging.c_str());
        return 0;
    }
    m_strStagingPath = std::move(staging);
    m_bStaged = true;
    return 1;
}

void CVRO_DATA::fnDiscardStaged() {
    if (!m_bStaged) return;
    m_bStaged = false;
    vrm::RemoveFile(m_strStagingPath.c_str());
    m_strStagingPath.clear();
}

int CVRO_DATA::fnStageVOBList(ProgressCallback cb) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (m_bStaged) return 1;
    try {
        uint64_t physical = 0;
        if (!CheckBeforeAppend(&physical)) return 0;
        return ReplacesEarlierData(physical) ? WriteStaged(cb) : 1;
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, "");
    }
}

int CVRO_DATA::EmptyEarlierStream() {
    const std::string& path = m_strStreamPath;
    m_Undo = AppendUndo{};
    m_Undo.state = AppendUndo::kFinal;
    vrm::File file;
    if (!file.Open(path.c_str(), vrm::File::Mode::ReadWriteAlways)) return Fail(VRO_ERR_STREAM_CREATE, path);
    if (!file.Truncate(0) || !file.Sync()) return Fail(VRO_ERR_TRUNCATE, path);
    m_qwBoundLength = 0;
    m_bNewDisc = false;
    return 1;
}

int CVRO_DATA::AppendInPlace(uint64_t physical, ProgressCallback cb) {
    const std::string& path = m_strStreamPath;
    const uint64_t oldEnd = uint64_t(m_dwVROSize) * kSectorBytes;
    const DWORD newSectors = fnGetQueuedEnd();
    vrm::File file;
    if (!file.Open(path.c_str(), vrm::File::Mode::ReadWriteAlways)) return Fail(VRO_ERR_STREAM_CREATE, path);
    const uint64_t newEnd = uint64_t(newSectors) * kSectorBytes;
    const uint64_t before = std::max(oldEnd, std::min(physical, m_qwBoundLength));
    // The space first: a disk too full for the recordings is found before a
    // byte is written (a place in the recorded data may be a hole, which
    // takes space when written).
    bool reserved = file.Reserve(oldEnd, newEnd - oldEnd);
    for (const QueuedFile& q : m_Queue) {
        if (reserved && q.place != kAppended) {
            reserved = file.Reserve(uint64_t(q.place) * kSectorBytes, uint64_t(q.sectors) * kSectorBytes);
        }
    }
    if (!reserved) {
        const int error = file.Error();
        ClearPlaces(file, m_Queue);
        return Fail(WriteErrorCode(error), path);
    }
    int ok = CopyQueue(file, oldEnd, cb);
    if (ok && !file.Truncate(newEnd)) ok = Fail(VRO_ERR_TRUNCATE, path);
    if (ok && !file.Sync()) ok = Fail(VRO_ERR_SYNC, path);
    if (!ok) {
        // Back to the length the file had, and the places written in hold
        // nothing again; the error of the failure stands.
        file.Truncate(before);
        ClearPlaces(file, m_Queue);
        file.Sync();
        return 0;
    }
    m_Undo = AppendUndo{AppendUndo::kUndoable, m_dwVROSize, m_qwBoundLength, before, m_bNewDisc, std::move(m_Queue)};
    m_dwVROSize = newSectors;
    m_qwBoundLength = newEnd;
    m_bNewDisc = false;
    m_Queue.clear();
    return 1;
}

int CVRO_DATA::TakeStaged(DWORD newSectors) {
    if (!vrm::ReplaceFile(m_strStagingPath.c_str(), m_strStreamPath.c_str())) {
        fnDiscardStaged();
        return Fail(VRO_ERR_SYNC, m_strStreamPath);
    }
    m_bStaged = false;
    m_strStagingPath.clear();
    m_Undo = AppendUndo{};
    m_Undo.state = AppendUndo::kFinal;
    m_dwVROSize = newSectors;
    m_bNewDisc = false;
    m_Queue.clear();
    return 1;
}

int CVRO_DATA::fnAppendVOBListToVRO(ProgressCallback cb) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    try {
        const DWORD newSectors = fnGetQueuedEnd();
        if (!m_bStaged) {
            uint64_t physical = 0;
            if (!CheckBeforeAppend(&physical)) return 0;
            if (m_Queue.empty()) {
                // Nothing to write: the stream file is left exactly as it
                // is, but for a new disc's first save over an earlier
                // disc's stream, which the new, empty stream replaces.
                if (!m_bNewDisc || physical == 0) return 1;
                return EmptyEarlierStream();
            }
            // A stream file that holds an earlier disc's data is replaced
            // whole, never overwritten in place.
            if (!ReplacesEarlierData(physical)) return AppendInPlace(physical, cb);
            if (!WriteStaged(cb)) return 0;
        }
        return TakeStaged(newSectors);
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, "");
    }
}

int CVRO_DATA::fnUndoAppend() {
    if (m_Undo.state == AppendUndo::kNothing) return 1;
    if (m_Undo.state == AppendUndo::kFinal) return Fail(VRO_ERR_TRUNCATE, m_strStreamPath);
    vrm::File file;
    if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadWriteAlways) || !file.Truncate(m_Undo.length)) {
        return Fail(VRO_ERR_TRUNCATE, m_strStreamPath);
    }
    // A place that cannot be cleared holds an unplayed copy of part of a
    // recording, which the retry writes over.
    ClearPlaces(file, m_Undo.queue);
    file.Sync();
    m_dwVROSize = m_Undo.vroSize;
    m_qwBoundLength = m_Undo.boundLength;
    m_bNewDisc = m_Undo.newDisc;
    m_Queue = std::move(m_Undo.queue);
    m_Undo = AppendUndo{};
    return 1;
}

void CVRO_DATA::fnKeepAppend() { m_Undo = AppendUndo{}; }
