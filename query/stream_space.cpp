// The unused space of the manager's stream files: the sectors edits gave up,
// given back after a save, and the places between recordings where a new
// recording can go.
#include <new>
#include <string>
#include <vector>

#include "io/units.h"
#include "manager/CVR_MANGR.h"
#include "manager/coverage.h"

int CVR_MANGR::fnRelease_Stream_Sectors(int still, DWORD first, DWORD count) {
    if (!m_pModel) return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    if (uint64_t{first} + count > 0xFFFFFFFFu) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, "Sectors " + std::to_string(first) + " and the " + std::to_string(count) +
                                                " behind it pass the end of a stream file's addresses.");
    }
    if (count == 0) return 1;
    try {
        m_PendingRelease[still ? 1 : 0].push_back({first, count});
    } catch (const std::bad_alloc&) {
        return fnFail(VRO_ERR_OUT_OF_MEMORY, "Out of memory.");
    }
    return 1;
}

void CVR_MANGR::ReleasePendingSectors() {
    for (int still = 0; still < 2; ++still) {
        std::vector<VR_SECTOR_RUN>& pending = m_PendingRelease[still];
        CVRO_DATA* stream = still ? static_cast<CVRO_DATA*>(m_pStill) : static_cast<CVRO_DATA*>(m_pMovie);
        VR_STREAM_COVERAGE coverage;
        if (pending.empty() || !stream || !fnGetStreamCoverage(still, &coverage)) continue;
        // The tables just saved are the disc now: the stream's logical end
        // is their highest recording end (the recordings edits removed from
        // its end no longer count), and what any recording of them uses
        // stays, whatever the edits said.
        stream->fnSetRecordedEnd(coverage.dwRecordedEnd);
        for (const VR_SECTOR_RUN& run : vrm::SubtractRuns(pending, vrm::ExtentRuns(coverage))) {
            if (!stream->fnReleaseSectors(run.dwStart, run.dwSectors, &m_Released.released[still],
                                          &m_Released.unsupported[still])) {
                ++m_Released.failedRuns;
                m_Released.failedBytes += uint64_t{run.dwSectors} * vrm::kSectorBytes;
            }
        }
        pending.clear();
    }
}

int CVR_MANGR::FindFreeGap(DWORD sectors, DWORD* start) {
    VR_STREAM_COVERAGE coverage;
    if (!m_pMovie || sectors == 0 || !fnGetStreamCoverage(0, &coverage)) return 0;
    for (const VR_SECTOR_RUN& gap : vrm::SubtractRuns(coverage.gaps, m_PendingRelease[0])) {
        if (gap.dwSectors >= sectors && m_pMovie->fnSectorsReadAsZeros(gap.dwStart, gap.dwSectors)) {
            *start = gap.dwStart;
            return 1;
        }
    }
    return 0;
}
