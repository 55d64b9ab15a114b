#include "record/plan.h"

#include <cstring>
#include <vector>

#include "io/codecs.h"
#include "platform/clock.h"
#include "stream/CVRO_DATA.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CTMAPI.h"
#include "tables/attributes.h"

namespace vrm {

namespace {

std::string N(uint64_t v) { return std::to_string(v); }

bool Refuse(Status* why, DWORD code, const std::string& text) {
    if (why) why->Set(code, text);
    return false;
}

// Whether the attribute records (count of them, each `size` bytes in
// `records`) hold one equal to `candidate`.
bool HoldsRecord(const std::vector<BYTE>& records, DWORD count, DWORD size, const BYTE* candidate) {
    for (DWORD i = 0; i < count && size_t{size} * (i + 1) <= records.size(); ++i) {
        if (std::memcmp(records.data() + size_t{size} * i, candidate, size) == 0) return true;
    }
    return false;
}

// The original chain can take one more cell: below its cell limit, and
// with room for a program unless the cell joins the last one (whose date
// text is the recording's date, and no new program was asked for).
bool ChainTakesCell(const VMG_MODEL& model, bool newProgram, const SYSTEMTIME* recorded, Status* why) {
    CPGCI chain(model.pORG_PGCI);
    if (chain.fnGet_wCI_SRP_Ns() >= CPGCI::kMaxCells) {
        return Refuse(why, VRO_ERR_EDIT_REFUSED,
                      "the original chain holds the most cells it can (" + N(CPGCI::kMaxCells) + ")");
    }
    if (chain.fnGet_c1_PG_Ns() < CPGCI::kMaxPrograms || (!newProgram && chain.fnJoinsLastProgram(recorded)))
        return true;
    return Refuse(why, VRO_ERR_EDIT_REFUSED,
                  "the disc holds the most programs it can (" + N(CPGCI::kMaxPrograms) + ")");
}

bool PlanMovie(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, Status* why) {
    if (!VOBUTableUsable(&info)) return Refuse(why, VRO_ERR_BAD_RECORD, vrm::ErrorText(VRO_ERR_BAD_RECORD));
    CM_AVFIT movies(model.pM_AVFIT);
    if (movies.fnGet_c1_M_AVFI_Ns() == 0) return true;  // the first recording
    const M_AVFI* avfi = model.pM_AVFIT->pM_AVFI.get();
    if (avfi && CM_AVFI(const_cast<M_AVFI*>(avfi), 0).fnGet_wM_VOBI_SRP_Ns() >= CM_AVFI::kMaxVOBs) {
        return Refuse(why, VRO_ERR_EDIT_REFUSED,
                      "the disc holds the most recordings it can (" + N(CM_AVFI::kMaxVOBs) + ")");
    }
    // A new attribute record is possible below the limit; at it, the
    // recording must share one that exists. The candidate is built by the
    // table itself, in a scratch table.
    const BYTE records = movies.fnGet_c1_M_VOB_STI_Ns();
    if (records <= CM_AVFIT::kMaxSTIIndex) return true;
    M_AVFIT scratch;
    scratch.sti.assign(M_AVFIT::kStiSize, 0);
    CM_AVFIT(&scratch).fnSet_M_VOB_STI_Data(0, &info);
    if (HoldsRecord(model.pM_AVFIT->sti, records, M_AVFIT::kStiSize, scratch.sti.data())) return true;
    return Refuse(why, VRO_ERR_EDIT_REFUSED,
                  "its stream attributes differ from those of every recording, and the disc holds the most "
                  "attribute records it can (" +
                      N(CM_AVFIT::kMaxSTIIndex + 1u) + ")");
}

bool PlanStill(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, Status* why) {
    if (info.dwFrameNs > CS_VOGI::kMaxPictures) {
        return Refuse(why, VRO_ERR_STILL_PICTURES,
                      "it holds " + N(info.dwFrameNs) + " pictures; a still-picture group holds at most " +
                          N(CS_VOGI::kMaxPictures));
    }
    if (info.dwFrameNs != 0 && !info.pVOBUTable) {
        return Refuse(why, VRO_ERR_BAD_RECORD, vrm::ErrorText(VRO_ERR_BAD_RECORD));
    }
    CS_AVFIT stills(model.pS_AVFIT);
    if (stills.fnGet_c1_S_AVFI_Ns() == 0) return true;  // the first still file
    const S_AVFI* avfi = model.pS_AVFIT->pS_AVFI.get();
    if (avfi && CS_AVFI(const_cast<S_AVFI*>(avfi), 0).fnGet_wS_VOGI_SRP_Ns() >= 0xFFFF) {
        return Refuse(why, VRO_ERR_EDIT_REFUSED, "the disc holds the most still-picture groups it can (65535)");
    }
    const BYTE records = stills.fnGet_c1_S_VOB_STI_Ns();
    if (records < CS_AVFIT::kMaxStiRecords) return true;
    S_AVFIT scratch;
    scratch.sti.assign(S_AVFIT::kStiSize, 0);
    CS_AVFIT scratchTable(&scratch);
    scratchTable.fnSet_c1_S_VOB_STI_Ns(1);
    scratchTable.fnSet_S_VOB_STI_Data(0, &info);
    if (HoldsRecord(model.pS_AVFIT->sti, records, S_AVFIT::kStiSize, scratch.sti.data())) return true;
    return Refuse(why, VRO_ERR_EDIT_REFUSED,
                  "its stream attributes differ from those of every still-picture group, and the disc holds the most "
                  "attribute records it can (" +
                      N(CS_AVFIT::kMaxStiRecords) + ")");
}

}  // namespace

bool CheckTvSystem(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, const std::string& file, Status* why) {
    if (!model.pM_AVFIT) return true;
    CM_AVFIT movies(model.pM_AVFIT);
    if (movies.fnGet_c1_M_VOB_STI_Ns() == 0) return true;
    const bool disc625 = VideoAttributes::Unpack(movies.fnGet_wV_ATR(0)).Is625();
    if (disc625 == (info.dwFrameRate == 25000)) return true;
    return Refuse(why, VRO_ERR_TV_SYSTEM,
                  file + (disc625 ? " is a 525/60 recording, but the disc holds 625/50 recordings."
                                  : " is a 625/50 recording, but the disc holds 525/60 recordings."));
}

bool ValidRecordingTime(const SYSTEMTIME& t) {
    static const WORD kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.wYear < 1900 || t.wYear > 9999 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1) return false;
    const bool leap = (t.wYear % 4 == 0 && t.wYear % 100 != 0) || t.wYear % 400 == 0;
    const WORD days = t.wMonth == 2 && !leap ? 28 : kDays[t.wMonth - 1];
    return t.wDay <= days && t.wHour < 24 && t.wMinute < 60 && t.wSecond < 60;
}

bool PlanRecording(const VMG_MODEL& model, const VR_MPEGFILE_INFO& info, bool still, bool newProgram,
                   const SYSTEMTIME* recorded, const std::string& file, const VR_STREAM_COVERAGE& coverage,
                   DWORD queuedEnd, RecordingPlan* plan, Status* why) {
    if (!model.pORG_PGCI || (still ? !model.pS_AVFIT : !model.pM_AVFIT)) {
        return Refuse(why, VRO_ERR_NOT_INITIALISED, "The disc's tables are not loaded.");
    }
    const char* stream = still ? "still" : "movie";
    if (!still && !CheckTvSystem(model, info, file, why)) return false;
    Status reason;
    if (!(still ? PlanStill(model, info, &reason) : PlanMovie(model, info, &reason)) ||
        !ChainTakesCell(model, newProgram, recorded, &reason)) {
        return Refuse(why, reason.code, file + " cannot be added: " + reason.text + ".");
    }
    // The stream queue puts the file behind the stream's recorded data, the
    // tables behind the highest recording: both must be the same sector, or
    // its bytes would land where its tables do not say.
    if (!coverage.overlaps.empty()) {
        return Refuse(
            why, VRO_ERR_OVERLAP,
            file + " cannot be added: recordings of the disc share sectors of the " + stream + " stream file.");
    }
    const DWORD start = RecordedEnd(model, still);
    if (start != queuedEnd) {
        return Refuse(why, VRO_ERR_STREAM_SHORT,
                      file + " cannot be added: the " + stream + " stream file does not end where the " +
                          (still ? "pictures" : "recordings") + " do.");
    }
    plan->still = still;
    plan->startSector = start;
    return true;
}

}  // namespace vrm
