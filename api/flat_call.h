// One call of the flat interface: the handle's status is cleared when the
// call starts and says why when it fails.
#ifndef VRMANGR_API_FLAT_CALL_H
#define VRMANGR_API_FLAT_CALL_H

#include <string>

#include "manager/CVR_MANGR.h"

namespace vrm {

inline CVR_MANGR* Manager(void* handle) { return static_cast<CVR_MANGR*>(handle); }

// Runs op(manager) for a handle, or gives 0 for a null one. When op fails
// (returns 0) without saying why, the status gets `code` and the sentence
// `why` as the reason.
template <class Op>
auto FlatCall(void* handle, DWORD code, const std::string& why, Op&& op) -> decltype(op(*Manager(handle))) {
    if (!handle) return 0;
    CVR_MANGR& m = *Manager(handle);
    m.m_status.Clear();
    const auto result = op(m);
    if (!result) m.fnFail(code, why);
    return result;
}

}  // namespace vrm

#endif
