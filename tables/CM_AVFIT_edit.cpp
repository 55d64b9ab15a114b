// Shrinking, splitting and removing the VOBs of the movie table, and
// removing an attribute record that no VOB names any more: the table steps
// of deleting a program, erasing part of a recording and reclaiming its
// stream space. Each operation checks everything and prepares what it
// allocates before it changes the table, so that a refusal leaves it as it
// was.
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "io/PointedRecords.h"
#include "tables/CM_AVFIT.h"
#include "tables/attributes.h"
#include "tables/named_records.h"

namespace {

// A VOB of its own: the record's bytes and a copy of its time map.
M_VOBI CopyOf(const M_VOBI& vob) {
    M_VOBI copy;
    std::memcpy(copy.bytes, vob.bytes, M_VOBI::kSize);
    if (vob.pTMAPI) copy.pTMAPI = std::make_unique<TMAPI>(*vob.pTMAPI);
    return copy;
}

// The number of VOBU entries the VOB's time map counts; 0 without one.
DWORD VobuCount(const M_VOBI& vob) { return vob.pTMAPI ? CTMAPI(vob.pTMAPI.get()).fnGet_wVOBU_ENT_Ns() : 0; }

}  // namespace

M_VOBI* CM_AVFIT::Vob(WORD n) const {
    if (!m_pM_AVFIT || !m_pM_AVFIT->pM_AVFI) return nullptr;
    return CM_AVFI(m_pM_AVFIT->pM_AVFI.get(), 0).fnGet_iTH_VOBI(n);
}

bool CM_AVFIT::TvSystemOf(M_VOBI* vob, WORD* system) const {
    const BYTE stin = CM_VOBI(vob).fnGet_c1_M_VOB_STIN();
    if (stin == 0 || stin > fnGet_c1_M_VOB_STI_Ns() || !Sti(static_cast<WORD>(stin - 1))) return false;
    *system = vrm::VideoAttributes::Unpack(fnGet_wV_ATR(static_cast<WORD>(stin - 1))).Is625() ? 1 : 0;
    return true;
}

void CM_AVFIT::Empty() {
    m_pM_AVFIT->pM_AVFI.reset();
    std::vector<BYTE>().swap(m_pM_AVFIT->sti);
    fnSet_c1_M_AVFI_Ns(0);
    fnSet_c1_M_VOB_STI_Ns(0);
    fnSet_dw_M_AVFIT_EA(M_AVFIT::kHeaderSize - 1);
    m_bM_VOB_STI_Ns = 0;
}

int CM_AVFIT::fnTrim_VOB(WORD n, DWORD first, DWORD count) {
    M_VOBI* vob = Vob(n);
    WORD system = 0;
    if (!vob || !TvSystemOf(vob, &system)) return 0;
    const DWORD vobus = VobuCount(*vob);
    if (!CM_VOBI(vob).fnTrim_VOBU(first, count, system)) return 0;
    // The next VOB's SMLI names the last SCR of this one, which went with
    // the VOBUs behind.
    M_VOBI* next = Vob(static_cast<WORD>(n + 1));
    if (first + count < vobus && next) CM_VOBI(next).fnDrop_SMLI();
    return 1;
}

int CM_AVFIT::fnSplit_VOB(WORD n, DWORD at) {
    M_VOBI* vob = Vob(n);
    WORD system = 0;
    if (!vob || !TvSystemOf(vob, &system)) return 0;
    M_AVFI& avfi = *m_pM_AVFIT->pM_AVFI;
    CM_AVFI table(&avfi, 0);
    const WORD m = table.fnGet_wM_VOBI_SRP_Ns();
    const DWORD vobus = VobuCount(*vob);
    if (m >= CM_AVFI::kMaxVOBs || at == 0 || at >= vobus) return 0;
    // Both parts are made aside; the table changes only once they exist.
    M_VOBI head = CopyOf(*vob);
    M_VOBI rest = CopyOf(*vob);
    if (!CM_VOBI(&head).fnTrim_VOBU(0, at, system) || !CM_VOBI(&rest).fnTrim_VOBU(at, vobus - at, system)) return 0;
    // Inserting moves records that cannot throw while moving: a failed
    // insertion leaves the array as it was. The search pointers are
    // recomputed by the next serialisation.
    avfi.vobi.insert(avfi.vobi.begin() + n, std::move(rest));
    avfi.vobi[n - 1u] = std::move(head);
    table.fnSet_wM_VOBI_SRP_Ns(static_cast<WORD>(m + 1u));
    return 1;
}

int CM_AVFIT::fnDEL_VOB(WORD n) {
    if (!Vob(n)) return 0;
    M_AVFI& avfi = *m_pM_AVFIT->pM_AVFI;
    CM_AVFI table(&avfi, 0);
    const WORD m = table.fnGet_wM_VOBI_SRP_Ns();
    if (m == 1) {
        Empty();
        return 1;
    }
    vrm::ErasePointedRecord(avfi.srp, avfi.vobi, n - 1u);
    table.fnSet_wM_VOBI_SRP_Ns(static_cast<WORD>(m - 1u));
    // The VOB that followed: its SMLI joined it to the VOB just removed.
    if (M_VOBI* next = Vob(n)) CM_VOBI(next).fnDrop_SMLI();
    return 1;
}

int CM_AVFIT::fnDEL_M_VOB_STI(BYTE stin) {
    if (!m_pM_AVFIT) return 0;
    std::vector<BYTE*> names;
    for (WORD v = 1; M_VOBI* vob = Vob(v); ++v) {
        names.push_back(vob->bytes + M_VOBI_GI::At::M_VOB_STIN);
        if (v == 0xFFFF) break;
    }
    BYTE* count = m_pM_AVFIT->header + M_AVFIT_HEADER::At::M_VOB_STI_Ns;
    if (!vrm::RemoveNamedRecord(m_pM_AVFIT->sti, M_AVFIT::kStiSize, count, stin, names)) return 0;
    m_bM_VOB_STI_Ns = *count;
    if (*count == 0 && names.empty()) Empty();
    return 1;
}
