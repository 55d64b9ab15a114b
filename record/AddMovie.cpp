// Registering a recorded MPEG file as a movie recording of the disc.
#include <new>

#include "api/CVR_MANGR.h"
#include "record/Snapshot.h"

int CVR_MANGR::fnADD_Movie_Program(const char* fileName, ProgressCallback progress) {
    if (!fileName || !m_pModel || !m_pModel->pM_AVFIT || !m_pModel->pORG_PGCI || !m_pMovie) return 0;
    VMG_MODEL& model = *m_pModel;
    if (!m_pM_AVFIT) m_pM_AVFIT = new (std::nothrow) CM_AVFIT(model.pM_AVFIT);
    if (!m_pORG_PGCI) m_pORG_PGCI = new (std::nothrow) CPGCI(model.pORG_PGCI);
    if (!m_pM_AVFIT || !m_pORG_PGCI) return 0;
    CVR_MOVIE& movie = *m_pMovie;
    VR_MPEGFILE_INFO& info = movie.m_MpegFileInfo;

    // Every recording of a disc shares the TV system of the first one.
    if (m_pM_AVFIT->fnGet_c1_M_VOB_STI_Ns() != 0) {
        if (!movie.fnCheckAppendVOB(fileName, nullptr, 1)) return 0;
        const WORD system = (m_pM_AVFIT->fnGet_wV_ATR(0) >> 12) & 3;  // 0: 525/60, 1: 625/50
        if (system != (info.dwFrameRate == 25000 ? 1 : 0)) {
            return movie.fnSetError(VRO_ERR_TV_SYSTEM, fileName,
                                    system ? "is a 525/60 recording, but the disc holds 625/50 recordings"
                                           : "is a 625/50 recording, but the disc holds 525/60 recordings");
        }
    }
    if (!movie.fnCheckAppendVOB(fileName, progress, 0)) return 0;

    // The new VOB is queued behind the stream's recorded data and the
    // tables place it behind the highest VOB end: both must be the same
    // sector, or its bytes would land where its time map does not say.
    VR_STREAM_COVERAGE coverage;
    if (!fnGetStreamCoverage(0, &coverage) || !coverage.overlaps.empty())
        return movie.fnSetError(VRO_ERR_OVERLAP, fileName,
                                "cannot be added: recordings of the disc share sectors of the movie stream file");
    if (m_pM_AVFIT->fnGet_dwRecordedEnd() != movie.fnGetQueuedEnd())
        return movie.fnSetError(VRO_ERR_STREAM_SHORT, fileName,
                                "cannot be added: the movie stream file does not end where the recordings do");

    // All or nothing: a failure after queueing takes the file off the queue
    // and puts the tables back as they were.
    vrm::Snapshot<M_AVFIT, CM_AVFIT> movies(model.pM_AVFIT, m_pM_AVFIT);
    vrm::Snapshot<PGCI, CPGCI> original(model.pORG_PGCI, m_pORG_PGCI);
    if (!movie.fnAddVOBToList(&info)) return 0;
    bool added = m_pM_AVFIT->fnADD_Program(&info) != 0;
    if (added) {
        M_AVFI& avfi = *model.pM_AVFIT->pM_AVFI;
        const WORD m = CM_AVFI(&avfi, 0).fnGet_wM_VOBI_SRP_Ns();
        added = m != 0 && m <= avfi.vobi.size() && m_pORG_PGCI->fnADD_Movie_Program(&avfi.vobi[m - 1u], m) != 0;
    }
    if (!added) {
        movies.Restore();
        original.Restore();
        movie.fnRemoveLastVOBFromList();
        return 0;
    }
    return 1;
}
