// The flat interface's copy protection: what VMGI_MAT records of CPRM
// (CPSI, ETKI), and which programs' recordings are written encrypted, as
// their packs say (PES_scrambling_control). Read only; the fields stay as
// they were found through every save.
#include <algorithm>
#include <string>
#include <vector>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "platform/file.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CVMGI_MAT.h"

using vrm::FlatCall;

namespace {

// Whether the first PES packet of program pg's first cell that carries the
// MPEG-2 PES header is scrambled: its recordings were written encrypted
// (CPRM) and cannot be played without a licensed key. The first 16 packs of
// the cell are looked at; a cell that cannot be read counts as not
// scrambled.
bool Scrambled(CVR_MANGR& m, int pg) {
    seg s{};
    if (!m.fnGetOPGCCellInfo(pg, 1, &s, 0, 0) || s.llEndPos <= s.llStartPos) return false;
    vrm::File file;
    if (!file.Open(s.szFileName, vrm::File::Mode::ReadExisting)) return false;
    constexpr size_t kPack = 2048;
    const int64_t bytes = std::min<int64_t>(s.llEndPos - s.llStartPos, 16 * int64_t(kPack));
    std::vector<BYTE> packs(static_cast<size_t>(bytes));
    const int64_t got = file.ReadAt(static_cast<uint64_t>(s.llStartPos), packs.data(), packs.size());
    for (int64_t at = 0; at + int64_t(kPack) <= got; at += kPack) {
        const BYTE* p = packs.data() + at;
        // An MPEG-2 pack header: 14 bytes and its stuffing.
        if (p[0] != 0 || p[1] != 0 || p[2] != 1 || p[3] != 0xBA || (p[4] & 0xC0) != 0x40) continue;
        for (size_t pos = 14 + (p[13] & 7); pos + 9 <= kPack;) {
            if (p[pos] != 0 || p[pos + 1] != 0 || p[pos + 2] != 1) break;
            const BYTE id = p[pos + 3];
            const bool pes = id == 0xBD || (id >= 0xC0 && id <= 0xEF);
            if (pes && (p[pos + 6] & 0xC0) == 0x80) return (p[pos + 6] & 0x30) != 0;
            pos += 6 + ((size_t(p[pos + 4]) << 8) | p[pos + 5]);
        }
    }
    return false;
}

}  // namespace

int fnVR_GetProtection(void* handle, int pg, VR_PROTECTION* out) {
    const std::string why = pg == 0 ? "No disc is open." : "There is no program " + std::to_string(pg) + ".";
    return FlatCall(handle, pg == 0 ? VRO_ERR_NOT_INITIALISED : VRO_ERR_NO_SUCH_ITEM, why, [&](CVR_MANGR& m) {
        if (!out || !m.m_pModel || !m.m_pModel->pRTR_VMGI || !m.m_pModel->pORG_PGCI) return 0;
        const CPGCI chain(m.m_pModel->pORG_PGCI);
        const int programs = chain.fnGet_c1_PG_Ns();
        if (pg < 0 || pg > programs) return 0;
        const CVMGI_MAT mat(m.m_pModel->pRTR_VMGI->pVMGI_MAT.get());
        *out = VR_PROTECTION{};
        out->wCPSI = mat.fnGet_wCPSI();
        BYTE key[VMGI_MAT_LAYOUT::At::CPSI - VMGI_MAT_LAYOUT::At::ETKI] = {};
        mat.fnGet_c12_ETKI(key);
        for (BYTE b : key) out->cTitleKey |= b != 0 ? 1 : 0;
        for (int p = 1; pg == 0 && p <= programs; ++p) out->dwPrograms += Scrambled(m, p) ? 1 : 0;
        out->cProtected = pg == 0 ? (out->wCPSI != 0 || out->cTitleKey) : Scrambled(m, pg) ? 1 : 0;
        return 1;
    });
}
