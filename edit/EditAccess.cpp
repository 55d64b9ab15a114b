#include "edit/EditAccess.h"

#include "io/codecs.h"
#include "io/units.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerTables.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

namespace vrm {

CPGCI* OriginalChain(CVR_MANGR& m) { return Bound<CVR_MANGR::kORG_PGCI>(m); }

CUD_PGCIT* UserChains(CVR_MANGR& m) { return Bound<CVR_MANGR::kUD_PGCIT>(m); }

PGCI* UserChain(CVR_MANGR& m, BYTE pgcn) {
    CUD_PGCIT* table = UserChains(m);
    if (!table || pgcn == 0 || pgcn > table->fnGet_c1_UD_PGCI_SRP_Ns() || pgcn > table->m_pRecord->pgci.size())
        return nullptr;
    return &table->m_pRecord->pgci[pgcn - 1u];
}

PL_SRPT* Playlists(CVR_MANGR& m) {
    if (!m.m_pModel || !m.m_pModel->pRTR_VMGI) return nullptr;
    return m.m_pModel->pRTR_VMGI->pPL_SRPT.get();
}

BYTE PlaylistChain(CVR_MANGR& m, int pl) {
    PL_SRPT* record = Playlists(m);
    if (!record || !m.m_pModel->pUD_PGCIT) return 0;
    CPL_SRPT list(record);
    if (pl < 1 || pl > list.fnGet_c1_PL_SRP_Ns()) return 0;
    return list.fnGet_c1_PGCN(static_cast<BYTE>(pl - 1));
}

__int64 FrameTicks(DWORD frameRate) { return vrm::TicksPerFrame(frameRate); }

bool PtmOfTime(__int64 time, BYTE ptm[6]) { return time >= 0 && PtmFrom27MHz(time, ptm); }

}  // namespace vrm
