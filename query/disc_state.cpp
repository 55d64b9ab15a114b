// The manager's view of its recorded data: cross-table consistency and the
// coverage of the stream files.
#include "manager/CVR_MANGR.h"
#include "manager/consistency.h"
#include "manager/coverage.h"

int CVR_MANGR::fnCheckConsistency(std::vector<std::string>* findings) {
    if (!m_pModel) return 0;
    return vrm::CheckConsistency(*m_pModel, findings) ? 1 : 0;
}

int CVR_MANGR::fnGetStreamCoverage(int still, VR_STREAM_COVERAGE* out) {
    if (!out || !m_pModel) return 0;
    CVRO_DATA* stream = still ? static_cast<CVRO_DATA*>(m_pStill) : static_cast<CVRO_DATA*>(m_pMovie);
    const int64_t size = stream ? stream->fnGetStreamFileSize() : -1;
    const bool present = size >= 0;
    *out = vrm::ComputeCoverage(*m_pModel, still != 0, present, present ? static_cast<uint64_t>(size) : 0);
    return 1;
}
