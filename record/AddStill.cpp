// Registering a file of still pictures as a still-picture group of the disc.
#include <new>

#include "api/CVR_MANGR.h"
#include "record/Snapshot.h"
#include "tables/CS_AVFI.h"

int CVR_MANGR::fnADD_Still_Pic_Program(const char* fileName) {
    if (!fileName || !m_pModel || !m_pModel->pS_AVFIT || !m_pModel->pORG_PGCI || !m_pStill) return 0;
    VMG_MODEL& model = *m_pModel;
    if (!m_pS_AVFIT) m_pS_AVFIT = new (std::nothrow) CS_AVFIT(model.pS_AVFIT);
    if (!m_pORG_PGCI) m_pORG_PGCI = new (std::nothrow) CPGCI(model.pORG_PGCI);
    if (!m_pS_AVFIT || !m_pORG_PGCI) return 0;
    CVR_STILL& still = *m_pStill;
    VR_MPEGFILE_INFO& info = still.m_MpegFileInfo;
    if (!still.fnCheckAppendVOB(fileName)) return 0;
    // The new VOG goes behind the highest VOG end (the still object's
    // recorded end, set at open), never into an earlier one.
    VR_STREAM_COVERAGE coverage;
    if (!fnGetStreamCoverage(1, &coverage) || !coverage.overlaps.empty())
        return still.fnSetError(VRO_ERR_OVERLAP, fileName,
                                "cannot be added: recordings of the disc share sectors of the still stream file");
    if (vrm::RecordedEnd(model, true) != still.fnGetQueuedEnd())
        return still.fnSetError(VRO_ERR_STREAM_SHORT, fileName,
                                "cannot be added: the still stream file does not end where the pictures do");

    // All or nothing, as for movie recordings.
    vrm::Snapshot<S_AVFIT, CS_AVFIT> stills(model.pS_AVFIT, m_pS_AVFIT);
    vrm::Snapshot<PGCI, CPGCI> original(model.pORG_PGCI, m_pORG_PGCI);
    if (!still.fnAddVOBToList(&info)) return 0;
    bool added = m_pS_AVFIT->fnADD_Program(&info) != 0 && model.pS_AVFIT->pS_AVFI;
    if (added) {
        S_AVFI& avfi = *model.pS_AVFIT->pS_AVFI;
        const WORD v = CS_AVFI(&avfi, 0).fnGet_wS_VOGI_SRP_Ns();
        added = v != 0 && v <= avfi.vogi.size() && m_pORG_PGCI->fnADD_Still_Pic_Program(&avfi.vogi[v - 1u], v) != 0;
    }
    if (!added) {
        stills.Restore();
        original.Restore();
        still.fnRemoveLastVOBFromList();
        return 0;
    }
    return 1;
}
