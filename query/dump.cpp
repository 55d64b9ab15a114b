// The management file's tables as text: every record's fields by name, in
// file order, from the tables as they are in memory (edits included).
#include <string>

#include "manager/CVR_MANGR.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"

namespace {

template <class Accessor, class Record>
void DumpTable(const char* name, Record* record, std::string& out) {
    if (!record) return;
    out += name;
    out += ":\n";
    Accessor(record).fnDump(out, "  ");
}

}  // namespace

int CVR_MANGR::fnDumpTables(std::string* out) {
    if (!out || !m_pModel || !m_pModel->pRTR_VMGI) return 0;
    out->clear();
    CRTR_VMGI(m_pModel->pRTR_VMGI).fnDump(*out, "");
    DumpTable<CM_AVFIT>("M_AVFIT", m_pModel->pM_AVFIT, *out);
    DumpTable<CS_AVFIT>("S_AVFIT", m_pModel->pS_AVFIT, *out);
    DumpTable<CPGCI>("ORG_PGCI", m_pModel->pORG_PGCI, *out);
    DumpTable<CUD_PGCIT>("UD_PGCIT", m_pModel->pUD_PGCIT, *out);
    DumpTable<CTXTDT_MG>("TXTDT_MG", m_pModel->pTXTDT_MG, *out);
    DumpTable<CMNFIT>("MNFIT", m_pModel->pMNFIT, *out);
    return 1;
}
