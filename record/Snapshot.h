// Deep copies of the tables a registration changes, so that a registration
// that fails halfway can put them back as they were.
#ifndef VRMANGR_RECORD_SNAPSHOT_H
#define VRMANGR_RECORD_SNAPSHOT_H

#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CS_AVFIT.h"

namespace vrm {

inline M_VOBI CopyOf(const M_VOBI& vob) {
    M_VOBI copy;
    std::memcpy(copy.bytes, vob.bytes, sizeof copy.bytes);
    if (vob.pTMAPI) copy.pTMAPI.reset(new TMAPI(*vob.pTMAPI));
    return copy;
}

inline M_AVFIT CopyOf(const M_AVFIT& table) {
    M_AVFIT copy;
    std::memcpy(copy.header, table.header, sizeof copy.header);
    copy.sti = table.sti;
    if (table.pM_AVFI) {
        copy.pM_AVFI.reset(new M_AVFI);
        std::memcpy(copy.pM_AVFI->header, table.pM_AVFI->header, sizeof copy.pM_AVFI->header);
        copy.pM_AVFI->srp = table.pM_AVFI->srp;
        copy.pM_AVFI->vobi.reserve(table.pM_AVFI->vobi.size());
        for (const M_VOBI& vob : table.pM_AVFI->vobi) copy.pM_AVFI->vobi.push_back(CopyOf(vob));
    }
    return copy;
}

inline S_AVFIT CopyOf(const S_AVFIT& table) {
    S_AVFIT copy;
    std::memcpy(copy.header, table.header, sizeof copy.header);
    copy.sti = table.sti;
    copy.aaSti = table.aaSti;
    if (table.pS_AVFI) copy.pS_AVFI.reset(new S_AVFI(*table.pS_AVFI));
    if (table.pS_AAFI) copy.pS_AAFI.reset(new S_AAFI(*table.pS_AAFI));
    return copy;
}

// A program chain copies as it is.
inline PGCI CopyOf(const PGCI& chain) { return chain; }

// A table record and its accessor as they were when taken; Restore puts both
// back.
template <class Record, class Accessor>
class Snapshot {
public:
    Snapshot(Record* record, Accessor* accessor) : m_record(record), m_accessor(accessor) {
        if (record) m_copy.reset(new Record(CopyOf(*record)));
        if (accessor) m_accessorCopy.emplace(*accessor);
    }
    void Restore() {
        if (m_record && m_copy) *m_record = std::move(*m_copy);
        if (m_accessor && m_accessorCopy) *m_accessor = *m_accessorCopy;
    }

private:
    Record* m_record;
    Accessor* m_accessor;
    std::unique_ptr<Record> m_copy;
    std::optional<Accessor> m_accessorCopy;
};

}  // namespace vrm

#endif
