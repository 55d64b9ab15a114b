// The unused space of a stream file: whether sectors hold nothing (a place
// for a new recording), and giving back the sectors the disc no longer uses.
#include <algorithm>
#include <cerrno>

#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/vro_common.h"

using vrm::kSectorBytes;

int CVRO_DATA::fnSectorsReadAsZeros(DWORD first, DWORD count) const {
    if (!m_bInitialised || m_pFiles || count == 0) return 0;
    vrm::File file;
    bool zeros = false;
    if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadExisting) ||
        !file.ReadsAsZeros(uint64_t(first) * kSectorBytes, uint64_t(count) * kSectorBytes, &zeros)) {
        return 0;
    }
    return zeros ? 1 : 0;
}

int CVRO_DATA::fnReleaseSectors(DWORD first, DWORD count, uint64_t* released, uint64_t* unsupported) {
    if (!m_bInitialised) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (!released || !unsupported) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    if (m_pFiles) return Fail(VRO_ERR_READ_ONLY, m_strStreamPath);
    // A queued file may be placed in these sectors.
    if (!m_Queue.empty()) return Fail(VRO_ERR_QUEUE_NOT_EMPTY, m_strStreamPath);
    if (count == 0 || vrm::ProbePath(m_strStreamPath.c_str(), nullptr) != vrm::PathKind::RegularFile) return 1;
    vrm::File file;
    if (!file.Open(m_strStreamPath.c_str(), vrm::File::Mode::ReadWriteAlways)) {
        return Fail(VRO_ERR_STREAM_CREATE, m_strStreamPath);
    }
    const int64_t size = file.Size();
    if (size < 0) return Fail(VRO_ERR_STREAM_MISSING, m_strStreamPath);
    const uint64_t length = static_cast<uint64_t>(size);
    const uint64_t from = uint64_t(first) * kSectorBytes;
    const uint64_t to = std::min(uint64_t(first + uint64_t{count}) * kSectorBytes, length);
    if (to <= from) return 1;
    // Sectors from the logical end to the last whole sector of the file
    // belong to no recording: the file ends before them (with the partial
    // sector behind them, which holds none either).
    if (first == m_dwVROSize && to >= length / kSectorBytes * kSectorBytes) {
        if (!file.Truncate(from) || !file.Sync()) return Fail(VRO_ERR_TRUNCATE, m_strStreamPath);
        m_qwBoundLength = std::min(m_qwBoundLength, from);
        *released += length - from;
        return 1;
    }
    if (!file.PunchHole(from, to - from)) {
        if (file.Error() != EOPNOTSUPP) return Fail(VRO_ERR_WRITE, m_strStreamPath);
        *unsupported += to - from;
        return 1;
    }
    if (!file.Sync()) return Fail(VRO_ERR_SYNC, m_strStreamPath);
    *released += to - from;
    return 1;
}
