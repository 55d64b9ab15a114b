// The flat interface's titles: the label and title of programs and
// playlists as UTF-8, and the setters that write a title as recorders do.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "api/flat_call.h"
#include "api/vrmangr.h"

using vrm::FlatCall;

namespace {

// Copies text with its NUL into out when size allows; the size it needs.
DWORD PutText(const std::string& text, char* out, DWORD size) {
    const DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (out && size >= needed) std::memcpy(out, text.c_str(), needed);
    return needed;
}

enum class Text { kLabel, kTitle, kItem };

// The label (first half), title (second half) or item text of program or
// playlist n.
DWORD GetText(void* handle, bool playlist, int n, Text which, char* out, DWORD size) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM,
                    std::string("There is no ") + (playlist ? "playlist " : "program ") + std::to_string(n) + ".",
                    [&](CVR_MANGR& m) -> DWORD {
                        if (which == Text::kItem) {
                            vrm::DecodedText item;
                            if (!(playlist ? m.fnGetPLItemText(n, &item) : m.fnGetPGItemText(n, &item))) return 0;
                            return PutText(item.utf8, out, size);
                        }
                        vrm::PrimaryText text;
                        if (!(playlist ? m.fnGetPLPrimaryText(n, &text) : m.fnGetPGPrimaryText(n, &text))) return 0;
                        return PutText(which == Text::kLabel ? text.label.utf8 : text.title.utf8, out, size);
                    });
}

}  // namespace

int fnVR_GetCharacterSet(void* handle, VR_CHARACTER_SET* out) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.", [&](CVR_MANGR& m) {
        if (!out || !m.m_pModel || !m.m_pModel->pRTR_VMGI) return 0;
        *out = VR_CHARACTER_SET{};
        out->cCode = m.fnGetCharacterSet();
        const char* name = vrm::CharacterSetName(out->cCode);
        out->cKnown = name ? 1 : 0;
        std::strncpy(out->szName, name ? name : "unknown", sizeof out->szName - 1);
        return 1;
    });
}

DWORD fnVR_GetProgramLabel(void* handle, int pg, char* out, DWORD size) {
    return GetText(handle, false, pg, Text::kLabel, out, size);
}

DWORD fnVR_GetProgramTitle(void* handle, int pg, char* out, DWORD size) {
    return GetText(handle, false, pg, Text::kTitle, out, size);
}

DWORD fnVR_GetPLLabel(void* handle, int pl, char* out, DWORD size) {
    return GetText(handle, true, pl, Text::kLabel, out, size);
}

DWORD fnVR_GetPLTitle(void* handle, int pl, char* out, DWORD size) {
    return GetText(handle, true, pl, Text::kTitle, out, size);
}

DWORD fnVR_GetProgramItemText(void* handle, int pg, char* out, DWORD size) {
    return GetText(handle, false, pg, Text::kItem, out, size);
}

DWORD fnVR_GetPLItemText(void* handle, int pl, char* out, DWORD size) {
    return GetText(handle, true, pl, Text::kItem, out, size);
}

namespace {

// The item text bytes of program or playlist n: as many as fit into out,
// the count of all.
DWORD GetItemBytes(void* handle, bool playlist, int n, BYTE* out, DWORD size) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM,
                    std::string("There is no ") + (playlist ? "playlist " : "program ") + std::to_string(n) + ".",
                    [&](CVR_MANGR& m) -> DWORD {
                        std::vector<BYTE> bytes;
                        if (!(playlist ? m.fnGetPLItemBytes(n, &bytes) : m.fnGetPGItemBytes(n, &bytes))) return 0;
                        if (out) std::memcpy(out, bytes.data(), std::min<size_t>(size, bytes.size()));
                        return static_cast<DWORD>(bytes.size());
                    });
}

}  // namespace

DWORD fnVR_GetProgramItemBytes(void* handle, int pg, BYTE* out, DWORD size) {
    return GetItemBytes(handle, false, pg, out, size);
}

DWORD fnVR_GetPLItemBytes(void* handle, int pl, BYTE* out, DWORD size) {
    return GetItemBytes(handle, true, pl, out, size);
}

int fnVR_SetProgramTitle(void* handle, int pg, const char* utf8) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "The title of program " + std::to_string(pg) + " cannot be set.",
                    [&](CVR_MANGR& m) { return m.fnSetPGTitle(pg, utf8); });
}

int fnVR_SetPLTitle(void* handle, int pl, const char* utf8) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "The title of playlist " + std::to_string(pl) + " cannot be set.",
                    [&](CVR_MANGR& m) { return m.fnSetPLTitle(pl, utf8); });
}

int fnVR_SetCharacterSet(void* handle, BYTE chrs) {
    return FlatCall(handle, VRO_ERR_EDIT_REFUSED, "The character set cannot be changed.",
                    [&](CVR_MANGR& m) { return m.fnSetCharacterSet(chrs); });
}
