// Titles of programs and playlists: the PRM_TXTI of a program record of the
// original chain (PGI) or of a play list search pointer (PL_SRP), read and
// written in the disc's character set.
#include <algorithm>
#include <string>

#include "api/CVR_MANGR.h"
#include "edit/EditAccess.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CVMGI_MAT.h"

namespace {

// The PRM_TXTI of program pg (1-based) of the original chain; nullptr when
// there is none. Reaches every program record, also those beyond the 100
// that the field getters answer for.
BYTE* ProgramText(CVR_MANGR& m, int pg) {
    if (!m.m_pModel || !m.m_pModel->pORG_PGCI) return nullptr;
    const CPGCI chain(m.m_pModel->pORG_PGCI);
    if (pg < 1 || pg > chain.fnGet_c1_PG_Ns()) return nullptr;
    BYTE* record = chain.fnGet_iTH_PGI_Address(static_cast<BYTE>(pg - 1));
    return record ? record + PGI::At::PRM_TXTI : nullptr;
}

// The index of playlist pl's search pointer; false when there is none.
bool PlaylistIndex(CVR_MANGR& m, int pl, BYTE* index) {
    PL_SRPT* pointers = vrm::Playlists(m);
    if (!pointers || pl < 1 || pl > CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns()) return false;
    *index = static_cast<BYTE>(pl - 1);
    return true;
}

int NoSuch(CVR_MANGR& m, const char* what, int n) {
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM, std::string("There is no ") + what + " " + std::to_string(n) + ".",
                    vrm::Status::kItem, n > 0 ? static_cast<uint64_t>(n) : 0);
}

}  // namespace

BYTE CVR_MANGR::fnGetCharacterSet() {
    if (!m_pModel || !m_pModel->pRTR_VMGI || !m_pModel->pRTR_VMGI->pVMGI_MAT) return 0;
    return CVMGI_MAT(m_pModel->pRTR_VMGI->pVMGI_MAT.get()).fnGet_c1_CHRS();
}

int CVR_MANGR::fnGetPGPrimaryText(int pg, vrm::PrimaryText* out) {
    const BYTE* text = ProgramText(*this, pg);
    if (!out) return 0;
    if (!text) return NoSuch(*this, "program", pg);
    *out = vrm::DecodePrimaryText(fnGetCharacterSet(), text);
    return 1;
}

int CVR_MANGR::fnGetPLPrimaryText(int pl, vrm::PrimaryText* out) {
    BYTE index = 0;
    if (!out) return 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    BYTE block[vrm::kPrimaryTextSize] = {};
    if (!CPL_SRPT(vrm::Playlists(*this)).fnGet_c128_PRM_TXTI(index, block)) return NoSuch(*this, "playlist", pl);
    *out = vrm::DecodePrimaryText(fnGetCharacterSet(), block);
    return 1;
}

int CVR_MANGR::fnSetPGTitle(int pg, const char* utf8) {
    BYTE* text = ProgramText(*this, pg);
    if (!text) return NoSuch(*this, "program", pg);
    BYTE block[vrm::kPrimaryTextSize];
    std::string why;
    if (!utf8 || !vrm::EncodePrimaryText(fnGetCharacterSet(), utf8, block, &why)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, utf8 ? why : "No title was given.");
    }
    std::copy(block, block + sizeof block, text);
    return 1;
}

int CVR_MANGR::fnSetPLTitle(int pl, const char* utf8) {
    BYTE index = 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    BYTE block[vrm::kPrimaryTextSize];
    std::string why;
    if (!utf8 || !vrm::EncodePrimaryText(fnGetCharacterSet(), utf8, block, &why)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, utf8 ? why : "No title was given.");
    }
    return CPL_SRPT(vrm::Playlists(*this)).fnSet_c128_PRM_TXTI(index, block, sizeof block) == 1 ? 1 : 0;
}
