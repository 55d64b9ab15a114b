// Registering recorded MPEG files on the disc: the stream library analyses
// the file, a plan decides whether and where the disc takes it (changing
// nothing), and the commit queues it and adds it to the tables.
#include "io/invariant.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerTables.h"
#include "platform/clock.h"
#include "record/plan.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CVMGI_MAT.h"

int CVR_MANGR::fnADD_Movie_Program(const char* fileName, ProgressCallback progress) {
    if (!fileName || !*fileName) return fnFail(VRO_ERR_BAD_ARGUMENT, "No file was named.");
    if (!m_pModel || !m_pModel->pM_AVFIT || !m_pModel->pORG_PGCI || !m_pMovie || !vrm::Bound<kM_AVFIT>(*this) ||
        !vrm::Bound<kORG_PGCI>(*this)) {
        return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    }
    CVR_MOVIE& movie = *m_pMovie;
    // A recording of another TV system than the disc's is refused after a
    // quick look, before the whole file is read.
    if (m_pM_AVFIT->fnGet_c1_M_VOB_STI_Ns() != 0) {
        if (!movie.fnCheckAppendVOB(fileName, nullptr, 1)) return fnFailFromStream(&movie);
        vrm::Status why;
        if (!vrm::CheckTvSystem(*m_pModel, movie.m_MpegFileInfo, fileName, &why)) {
            return fnFail(why.code, why.text);
        }
    }
    if (!movie.fnCheckAppendVOB(fileName, progress, 0)) return fnFailFromStream(&movie);
    return RegisterAnalysed(false, fileName);
}

int CVR_MANGR::fnADD_Still_Pic_Program(const char* fileName) {
    if (!fileName || !*fileName) return fnFail(VRO_ERR_BAD_ARGUMENT, "No file was named.");
    if (!m_pModel || !m_pModel->pS_AVFIT || !m_pModel->pORG_PGCI || !m_pStill || !vrm::Bound<kS_AVFIT>(*this) ||
        !vrm::Bound<kORG_PGCI>(*this)) {
        return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    }
    if (!m_pStill->fnCheckAppendVOB(fileName)) return fnFailFromStream(m_pStill);
    return RegisterAnalysed(true, fileName);
}

int CVR_MANGR::fnADD_Recorded_Range(DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    return AddRecorded(false, firstSector, sectors, progress);
}

int CVR_MANGR::fnADD_Recorded_Still_Range(DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    return AddRecorded(true, firstSector, sectors, progress);
}

int CVR_MANGR::AddRecorded(bool still, DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    const bool bound = still ? vrm::Bound<kS_AVFIT>(*this) != nullptr : vrm::Bound<kM_AVFIT>(*this) != nullptr;
    if (!bound || !m_pMovie || !m_pStill || !vrm::Bound<kORG_PGCI>(*this)) {
        return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    }
    CVRO_DATA& stream = still ? static_cast<CVRO_DATA&>(*m_pStill) : static_cast<CVRO_DATA&>(*m_pMovie);
    CVRO_DATA& other = still ? static_cast<CVRO_DATA&>(*m_pMovie) : static_cast<CVRO_DATA&>(*m_pStill);
    const char* what = still ? "still pictures" : "recordings";
    const std::string where = std::string(stream.fnGetStreamPath()) + " from sector " + std::to_string(firstSector);
    if (sectors == 0 || uint64_t{firstSector} + sectors > 0xFFFFFFFFu) {
        return fnFail(VRO_ERR_BAD_ARGUMENT,
                      "The sectors " + where + " name no " + (still ? "still pictures." : "recording."));
    }
    if (stream.fnGetQueuedFileNs() != 0) {
        return fnFail(VRO_ERR_QUEUE_NOT_EMPTY, where + " cannot be added while " + what + " wait to be copied.");
    }
    const int checked = still ? m_pStill->fnCheckRecordedRange(firstSector, sectors, progress)
                              : m_pMovie->fnCheckRecordedRange(firstSector, sectors, progress);
    if (!checked) return fnFailFromStream(&stream);
    if (!RegisterAnalysed(still, where.c_str(), &firstSector)) return 0;
    // The other stream file of the directory is this disc's too, as it is:
    // a new disc would otherwise replace it as an earlier disc's at the save.
    if (other.fnGetQueuedFileNs() == 0) other.fnAdoptRecorded(0);
    return 1;
}

int CVR_MANGR::RegisterAnalysed(bool still, const char* fileName, const DWORD* inPlace) {
    CVRO_DATA& stream = still ? static_cast<CVRO_DATA&>(*m_pStill) : static_cast<CVRO_DATA&>(*m_pMovie);
    // The analysed recording; its VOBU or picture table belongs to the
    // stream object until its next analysis.
    VR_MPEGFILE_INFO& info = stream.m_MpegFileInfo;

    VR_STREAM_COVERAGE coverage;
    if (!fnGetStreamCoverage(still ? 1 : 0, &coverage)) return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    vrm::RecordingPlan plan;
    vrm::Status why;
    // Recording times and date texts are the wall-clock time of the disc's
    // zone, as a recorder writes them.
    const SYSTEMTIME when = fnDiscTime(m_bRecordingTime ? &m_RecordingTime : nullptr);
    const SYSTEMTIME* recorded = &when;
    // A recording that lies in the stream already goes where it lies, at
    // or behind the last recording; the queue is not involved.
    const DWORD queuedEnd = inPlace ? vrm::RecordedEnd(*m_pModel, still) : stream.fnGetQueuedEnd();
    if (!vrm::PlanRecording(*m_pModel, info, still, m_bNewProgram, recorded, fileName, coverage, queuedEnd, &plan,
                            &why)) {
        return fnFail(why.code, why.text);
    }
    const DWORD sectors =
        info.pVOBUTable ? info.pVOBUTable[still ? info.dwFrameNs & 0xFF : info.dwVOBUNs & 0xFFFF].dwVOBUAddr : 0;
    if (inPlace) {
        if (*inPlace < plan.startSector) {
            return fnFail(VRO_ERR_OVERLAP,
                          std::string(fileName) + " lies before the end of the disc's last recording.");
        }
        plan.startSector = *inPlace;
    }
    // A movie recording goes into unused sectors between the recordings
    // where they hold nothing and it fits, as a recorder reuses the space of
    // what was deleted; still pictures go behind the last group.
    DWORD gap = 0;
    const bool inGap = !inPlace && !still && FindFreeGap(sectors, &gap);
    if (inGap) plan.startSector = gap;

    // Commit: the queue first (the one step that may still fail, for want
    // of memory, or for a stream shorter than the recording), then the
    // tables, which the plan has checked.
    const int queued = inPlace ? stream.fnAdoptRecorded(*inPlace + sectors)
                       : inGap ? m_pMovie->fnAddVOBToListAt(&info, gap)
                               : stream.fnAddVOBToList(&info);
    if (!queued) return fnFailFromStream(&stream);
    info.dwVOBStartAddr = plan.startSector;
    bool added = false;
    if (still) {
        added = m_pS_AVFIT->fnADD_Program(&info, recorded) != 0 && m_pModel->pS_AVFIT->pS_AVFI;
        if (added) {
            S_AVFI& avfi = *m_pModel->pS_AVFIT->pS_AVFI;
            const WORD v = CS_AVFI(&avfi, 0).fnGet_wS_VOGI_SRP_Ns();
            added = v != 0 && v <= avfi.vogi.size() &&
                    m_pORG_PGCI->fnADD_Still_Pic_Program(&avfi.vogi[v - 1u], v, m_bNewProgram, recorded);
        }
    } else {
        added = m_pM_AVFIT->fnADD_Program(&info, recorded, inPlace || inGap ? &plan.startSector : nullptr) != 0 &&
                m_pModel->pM_AVFIT->pM_AVFI;
        if (added) {
            M_AVFI& avfi = *m_pModel->pM_AVFIT->pM_AVFI;
            const WORD m = CM_AVFI(&avfi, 0).fnGet_wM_VOBI_SRP_Ns();
            added = m != 0 && m <= avfi.vobi.size() &&
                    m_pORG_PGCI->fnADD_Movie_Program(&avfi.vobi[m - 1u], m, m_bNewProgram, recorded);
        }
    }
    VRM_INVARIANT(added, "a recording the plan accepted was refused by the tables");
    VRM_INVARIANT(info.dwVOBStartAddr == plan.startSector, "the tables placed a recording elsewhere than planned");
    if (!added) {
        if (!inPlace) stream.fnRemoveLastVOBFromList();
        return fnFail(VRO_ERR_EDIT_REFUSED, std::string(fileName) + " could not be added to the disc's tables.");
    }
    m_bNewProgram = false;
    m_bRecordingTime = false;
    return 1;
}

int CVR_MANGR::fnStartNewProgram() {
    if (!m_pModel || !m_pModel->pORG_PGCI) return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    m_bNewProgram = true;
    return 1;
}

SYSTEMTIME CVR_MANGR::fnDiscTime(const SYSTEMTIME* utc) const {
    const SYSTEMTIME now = vrm::GivenTimeOrNow(utc);
    const VMGI_MAT* mat = m_pModel && m_pModel->pRTR_VMGI ? m_pModel->pRTR_VMGI->pVMGI_MAT.get() : nullptr;
    int minutes = 0;
    if (!mat || !vrm::ZoneOffsetMinutes(CVMGI_MAT(const_cast<VMGI_MAT*>(mat)).fnGet_wTM_ZONE(), &minutes)) return now;
    return vrm::AddMinutes(now, minutes);
}

int CVR_MANGR::fnSetRecordingTime(const SYSTEMTIME* utc) {
    if (!m_pModel || !m_pModel->pORG_PGCI) return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    if (utc && !vrm::ValidRecordingTime(*utc)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, "The recording time is not a valid date and time between 1900 and 9999.");
    }
    m_bRecordingTime = utc != nullptr;
    if (utc) m_RecordingTime = *utc;
    return 1;
}
