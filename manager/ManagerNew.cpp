// A new, empty disc.
#include <new>

#include "io/CBuffer.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerFiles.h"
#include "manager/ManagerTables.h"
#include "platform/file.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"

namespace {

// Makes the record of table t and its accessor, and fills them with the
// values of a new file.
template <CVR_MANGR::Table t>
bool NewTable(CVR_MANGR& m) {
    auto* accessor = vrm::NewRecord<t>(m) ? vrm::Bound<t>(m) : nullptr;
    if (!accessor) return false;
    accessor->fnSetZero();
    return accessor->fnNew() != 0;
}

}  // namespace

int CVR_MANGR::NewTables() {
    if (!m_pModel) return 0;
    return NewTable<kRTR_VMGI>(*this) && NewTable<kM_AVFIT>(*this) && NewTable<kS_AVFIT>(*this) &&
           NewTable<kORG_PGCI>(*this);
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
