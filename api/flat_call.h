// One call of the flat interface: the handle's status is cleared when the
// call starts and says why when it fails.
#ifndef VRMANGR_API_FLAT_CALL_H
#define VRMANGR_API_FLAT_CALL_H

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "manager/CVR_MANGR.h"

namespace vrm {

inline CVR_MANGR* Manager(void* handle) { return static_cast<CVR_MANGR*>(handle); }

// Copies text into a NUL-terminated field of `size` bytes, cut at a UTF-8
// character boundary when it does not fit.
inline void CopyText(const std::string& text, char* field, size_t size) {
    size_t n = std::min(text.size(), size - 1);
    while (n < text.size() && n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

// Runs f() and gives its result; an exception it throws (the library
// throws none of its own: this is memory, or a fault) ends the call instead,
// as a failure whose status says so (when there is a handle), so that
// nothing crosses the interface. Every call of the C interface runs in one.
template <class F>
auto Guard(void* handle, F&& f) noexcept -> decltype(f()) {
    DWORD code = VRO_ERR_INTERNAL;
    std::string why;
    try {
        return f();
    } catch (const std::bad_alloc&) {
        code = VRO_ERR_OUT_OF_MEMORY;
    } catch (const std::exception& e) {
        why = e.what();
    } catch (...) {
    }
    try {
        if (handle) {
            Manager(handle)->m_status.Clear();
            Manager(handle)->fnFail(code, code == VRO_ERR_OUT_OF_MEMORY
                                              ? "Out of memory."
                                              : std::string("The library failed in a way it does not foresee") +
                                                    (why.empty() ? "." : ": " + why + "."));
        }
    } catch (...) {
        // No memory left even for the sentence: the code says it.
        if (handle) Manager(handle)->m_status.code = code;
    }
    return decltype(f()){};
}

// Runs op(manager) for a handle, or gives 0 for a null one. When op fails
// (returns 0) without saying why, the status gets `code` and the sentence
// `why` as the reason; when it throws, as Guard says.
template <class Op>
auto FlatCall(void* handle, DWORD code, const std::string& why, Op&& op) -> decltype(op(*Manager(handle))) {
    if (!handle) return 0;
    CVR_MANGR& m = *Manager(handle);
    m.m_status.Clear();
    return Guard(handle, [&] {
        const auto result = op(m);
        if (!result) m.fnFail(code, why);
        return result;
    });
}

}  // namespace vrm

#endif
