// User-defined chains: adding, selecting and deleting them, and adding or
// deleting whole movie cells.
#include "edit/EditAccess.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerTables.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CUD_PGCIT.h"

int CVR_MANGR::fnADD_UD_PGCI() {
    if (!m_pModel) return 0;
    if (!m_pModel->pUD_PGCIT) {
        UD_PGCIT* record = vrm::NewRecord<kUD_PGCIT>(*this);
        if (!record) return 0;
        CUD_PGCIT(record).fnNew();
    }
    CUD_PGCIT* table = vrm::UserChains(*this);
    if (!table || !table->fnADD_UD_PGCI()) return 0;
    m_cCurUDPGCN = table->fnGet_c1_UD_PGCI_SRP_Ns();
    table->fnSetCurrentUD_PGCI_Num(m_cCurUDPGCN);
    return 1;
}

int CVR_MANGR::fnSelect_UD_PGCI(BYTE num) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    const BYTE count = table ? table->fnGet_c1_UD_PGCI_SRP_Ns() : 0;
    if (num > count) return 0;
    m_cCurUDPGCN = num;
    if (table) table->fnSetCurrentUD_PGCI_Num(num);
    return 1;
}

int CVR_MANGR::fnDEL_UD_PGCI(BYTE num) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    if (!table || !table->fnDEL_UD_PGCI(num)) return 0;
    // The current chain keeps its identity: later chains moved down one.
    if (m_cCurUDPGCN == num)
        m_cCurUDPGCN = 0;
    else if (m_cCurUDPGCN > num)
        --m_cCurUDPGCN;
    table->fnSetCurrentUD_PGCI_Num(m_cCurUDPGCN);
    return 1;
}

int CVR_MANGR::fnADD_UD_PGCI_MovieScene(WORD vobiNo) {
    if (!m_pModel || !m_pModel->pM_AVFIT || !m_pModel->pM_AVFIT->pM_AVFI) return 0;
    M_AVFI* files = m_pModel->pM_AVFIT->pM_AVFI.get();
    const WORD count = CM_AVFI(files, 0).fnGet_wM_VOBI_SRP_Ns();
    if (vobiNo == 0 || vobiNo > count || vobiNo > files->vobi.size()) return 0;
    if (!m_pModel->pUD_PGCIT && !fnADD_UD_PGCI()) return 0;
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table && table->fnADD_Movie_Cell(m_cCurUDPGCN, &files->vobi[vobiNo - 1u], vobiNo) ? 1 : 0;
}

int CVR_MANGR::fnDEL_UD_Movie_Cell(BYTE num, WORD cell) {
    CUD_PGCIT* table = vrm::UserChains(*this);
    return table && table->fnDEL_Movie_Cell(num, cell) ? 1 : 0;
}
