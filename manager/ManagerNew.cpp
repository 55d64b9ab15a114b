// A new, empty disc.
#include <new>

#include "io/CBuffer.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerFiles.h"
#include "platform/file.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"

namespace {

// Makes the record of a table and its accessor, and fills them with the
// values of a new file.
template <class Accessor, class Record>
bool NewTable(Record*& record, Accessor*& accessor) {
    record = new (std::nothrow) Record();
    if (!record) return false;
    accessor = new (std::nothrow) Accessor(record);
    if (!accessor) return false;
    accessor->fnSetZero();
    return accessor->fnNew() != 0;
}

}  // namespace

int CVR_MANGR::NewTables() {
    if (!m_pModel) return 0;
    VMG_MODEL& model = *m_pModel;
    return NewTable(model.pRTR_VMGI, m_pRTR_VMGI) && NewTable(model.pM_AVFIT, m_pM_AVFIT) &&
           NewTable(model.pS_AVFIT, m_pS_AVFIT) && NewTable(model.pORG_PGCI, m_pORG_PGCI);
}

int CVR_MANGR::fnRTR_VMG_New(const char* dir) {
    // The new disc is built aside and only then takes the handle's place,
    // so a failure leaves the handle as it was.
    CVR_MANGR fresh;
    if (!fresh.m_pModel || !fresh.fnInit(dir, CBuffer::kReadWrite) || !fresh.NewTables()) return 0;
    // An earlier disc stays on disc until the first save.
    for (const char* name : {vrm::kIfoName, vrm::kBupName}) {
        int64_t size = 0;
        const std::string path = vrm::InDirectory(fresh.m_szDir, name);
        if (vrm::ProbePath(path.c_str(), &size) == vrm::PathKind::RegularFile && size > 0)
            fresh.m_bOverEarlierDisc = true;
    }
    AdoptFileState(fresh);
    return 1;
}
