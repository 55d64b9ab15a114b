// The flat query functions: thin forwarders to CVR_MANGR's query members.
#include <cstring>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"

using vrm::FlatCall;

namespace {

// What a query names: a playlist (0 for the original chain), a program of
// the original chain, a cell and an entry point (0 where it names none).
struct Item {
    int pl, pg, cell, ep;
};

std::string N(long n) { return std::to_string(n); }

// The first number of the item the disc lacks, in a sentence that says how
// many there are; the general sentence when each of them is there.
std::string Missing(CVR_MANGR& m, const Item& item) {
    DVDPGCINFO chain{};
    const std::string where = item.pl ? "Playlist " + N(item.pl) : "The original chain";
    if (item.pl) {
        const int count = m.fnGetPLCount();
        if (item.pl < 1 || item.pl > count)
            return "There is no playlist " + N(item.pl) + " (the disc has " + N(count) + ").";
    }
    const auto count = [&](int mode) {
        chain.dwCount = 0;
        if (item.pl ? m.fnGetPLInfo(item.pl, &chain, mode) : m.fnGetOPGCInfo(&chain, mode)) return long{chain.dwCount};
        return 0L;
    };
    if (item.pg) {
        const long programs = count(2);
        if (item.pg < 1 || item.pg > programs)
            return "There is no program " + N(item.pg) + " (the disc has " + N(programs) + ").";
        DVDPGINFO program{};
        const long cells = m.fnGetOPGCPGInfo(item.pg, &program, 1) ? long{program.dwCount} : 0;
        if (item.cell && (item.cell < 1 || item.cell > cells))
            return "Program " + N(item.pg) + " has no cell " + N(item.cell) + " (it has " + N(cells) + ").";
    } else if (item.cell) {
        const long cells = count(1);
        if (item.cell < 1 || item.cell > cells)
            return where + " has no cell " + N(item.cell) + " (it has " + N(cells) + ").";
    }
    if (item.ep && !item.cell) {
        const long points = count(0);
        if (item.ep < 1 || item.ep > points)
            return where + " has no entry point " + N(item.ep) + " (it has " + N(points) + ").";
    }
    if (item.ep) return "That cell has no entry point " + N(item.ep) + ".";
    return "No such program, playlist, cell or entry point.";
}

// A query of the item: when it fails without saying why, the status names
// what the disc lacks.
template <class Op>
auto Query(void* handle, const Item& item, Op&& op) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM, "", [&](CVR_MANGR& m) {
        const auto result = op(m);
        if (!result && !m.fnGetLastStatus().Failed()) {
            std::string why = Missing(m, item);
            m.m_status.Clear();
            m.fnFail(VRO_ERR_NO_SUCH_ITEM, std::move(why), vrm::Status::kItem,
                     static_cast<uint64_t>(item.ep     ? item.ep
                                           : item.cell ? item.cell
                                           : item.pg   ? item.pg
                                                       : item.pl));
        }
        return result;
    });
}

}  // namespace

int fnVR_GetPLCount(void* handle) {
    return FlatCall(handle, VRO_OK, "", [&](CVR_MANGR& m) { return m.fnGetPLCount(); });
}

int fnVR_GetPLInfo(void* handle, int pl, DVDPGCINFO* info, int mode) {
    return Query(handle, {pl, 0, 0, 0}, [&](CVR_MANGR& m) { return m.fnGetPLInfo(pl, info, mode); });
}

int fnVR_GetOPGCInfo(void* handle, DVDPGCINFO* info, int mode) {
    return Query(handle, {0, 0, 0, 0}, [&](CVR_MANGR& m) { return m.fnGetOPGCInfo(info, mode); });
}

int fnVR_GetOPGCPGInfo(void* handle, int pg, DVDPGINFO* info, int mode) {
    return Query(handle, {0, pg, 0, 0}, [&](CVR_MANGR& m) { return m.fnGetOPGCPGInfo(pg, info, mode); });
}

int fnVR_GetOPGCCellInfo(void* handle, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    return Query(handle, {0, pg, cell, 0},
                 [&](CVR_MANGR& m) { return m.fnGetOPGCCellInfo(pg, cell, s, firstFrame, lastFrame); });
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int ep) {
    return Query(handle, {0, 0, 0, ep}, [&](CVR_MANGR& m) { return m.fnGetOPGCCellNsofEntryPt(ep); });
}

DWORD fnVR_GetOPGCCellNsofEntryPt(void* handle, int pg, int cell, int ep) {
    return Query(handle, {0, pg, cell, ep}, [&](CVR_MANGR& m) { return m.fnGetOPGCCellNsofEntryPt(pg, cell, ep); });
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int ep, seg* s, int follow) {
    return Query(handle, {0, 0, 0, ep}, [&](CVR_MANGR& m) { return m.fnGetOPGCEntryPtInfo(ep, s, follow); });
}

int fnVR_GetOPGCEntryPtInfo(void* handle, int pg, int cell, int ep, seg* s, int follow) {
    return Query(handle, {0, pg, cell, ep},
                 [&](CVR_MANGR& m) { return m.fnGetOPGCEntryPtInfo(pg, cell, ep, s, follow); });
}

int fnVR_GetPLCellInfo(void* handle, int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    return Query(handle, {pl, 0, cell, 0},
                 [&](CVR_MANGR& m) { return m.fnGetPLCellInfo(pl, cell, s, firstFrame, lastFrame); });
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int ep) {
    return Query(handle, {pl, 0, 0, ep}, [&](CVR_MANGR& m) { return m.fnGetPLCellNsofEntryPt(pl, ep); });
}

DWORD fnVR_GetPLCellNsofEntryPt(void* handle, int pl, int cell, int ep) {
    return Query(handle, {pl, 0, cell, ep}, [&](CVR_MANGR& m) { return m.fnGetPLCellNsofEntryPt(pl, cell, ep); });
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int ep, seg* s, int follow) {
    return Query(handle, {pl, 0, 0, ep}, [&](CVR_MANGR& m) { return m.fnGetPLEntryPtInfo(pl, ep, s, follow); });
}

int fnVR_GetPLEntryPtInfo(void* handle, int pl, int cell, int ep, seg* s, int follow) {
    return Query(handle, {pl, 0, cell, ep},
                 [&](CVR_MANGR& m) { return m.fnGetPLEntryPtInfo(pl, cell, ep, s, follow); });
}

DWORD fnVR_GetTableDump(void* handle, char* out, DWORD size) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.", [&](CVR_MANGR& m) -> DWORD {
        std::string text;
        if (!m.fnDumpTables(&text) || text.size() >= 0xFFFFFFFFu) return 0;
        const DWORD needed = static_cast<DWORD>(text.size() + 1);
        if (out && size >= needed) std::memcpy(out, text.c_str(), needed);
        return needed;
    });
}
