#include "query/unit_starts.h"

#include "manager/VMG_MODEL.h"
#include "tables/CM_AVFIT.h"
#include "tables/CS_AVFIT.h"

namespace vrm {
namespace {

std::vector<uint64_t> MovieUnits(const M_AVFIT* table, size_t n) {
    std::vector<uint64_t> starts;
    if (!table || !table->pM_AVFI || n >= table->pM_AVFI->vobi.size()) return starts;
    TMAPI* record = table->pM_AVFI->vobi[n].pTMAPI.get();
    if (!record) return starts;
    const CTMAPI map(record);
    uint64_t sector = map.fnGet_dwADR_OFS();
    for (DWORD i = 0; i < map.m_dwVOBU_ENT_Ns && map.fnGet_iTH_VOBU_ENT_Address(i); ++i) {
        starts.push_back(sector);
        sector += map.fnGet_wVOBU_SZ(i);
    }
    return starts;
}

std::vector<uint64_t> StillUnits(const S_AVFIT* table, size_t n) {
    std::vector<uint64_t> starts;
    if (!table || !table->pS_AVFI || n >= table->pS_AVFI->vogi.size()) return starts;
    const CS_VOGI vog(&table->pS_AVFI->vogi[n]);
    uint64_t sector = vog.fnGet_dwS_VOG_SA();
    for (DWORD i = 0; i < vog.m_cS_VOB_Ns; ++i) {
        starts.push_back(sector);
        sector += vog.fnGetPictureSectors(static_cast<BYTE>(i));
    }
    return starts;
}

}  // namespace

std::vector<uint64_t> UnitStarts(const VMG_MODEL& model, bool still, size_t n) {
    return still ? StillUnits(model.pS_AVFIT, n) : MovieUnits(model.pM_AVFIT, n);
}

}  // namespace vrm
