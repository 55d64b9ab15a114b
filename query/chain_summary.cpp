// What a chain or program summary reports besides counts and durations: its
// content type and the recording time of its first cell.
#include "io/codecs.h"
#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "tables/CCI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFIT.h"

namespace vrm::query {

DWORD ContentType(BYTE type) {
    if (type == 0x00) return 0;
    return type == 0x10 ? 1 : 2;
}

bool FirstCellRecordingTime(const CVR_MANGR& m, CPGCI& chain, BYTE pg, DWORD out[6]) {
    BYTE type = 0;
    WORD srpn = 0;
    if (!m.m_pModel || !chain.fnGetCellInfo(pg, 1, &type, &srpn, nullptr, nullptr)) return false;
    BYTE recTm[5] = {};
    if (CCI::fnGet_CI_TYPE(type) == CI::kMovie) {
        M_AVFIT* movies = m.m_pModel->pM_AVFIT;
        if (!movies || !CM_AVFIT(movies).fnGet_iTH_VOBI_REC_TM(srpn, recTm)) return false;
    } else {
        S_AVFIT* stills = m.m_pModel->pS_AVFIT;
        if (!stills || !CS_AVFIT(stills).fnGet_iTH_VOGI_REC_TM(srpn, recTm)) return false;
    }
    return UnpackRecTm(recTm, out) != 0;
}

}  // namespace vrm::query
