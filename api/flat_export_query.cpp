// The flat interface's entry-point texts: the PRM_TXTI an entry point
// carries when its EP_TY says so, decoded as the program and playlist
// titles are; what an export names its chapters by.
#include <cstring>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "io/TextCodec.h"
#include "tables/CCI.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CUD_PGCIT.h"

namespace {

// The chain of playlist pl (through its search pointer's PGCN), or the
// original chain for 0; nullptr when there is none.
PGCI* ChainOf(const VMG_MODEL* model, int pl) {
    if (!model) return nullptr;
    if (pl == 0) return model->pORG_PGCI;
    if (pl < 1 || pl > 0xFF || !model->pRTR_VMGI || !model->pRTR_VMGI->pPL_SRPT || !model->pUD_PGCIT) return nullptr;
    CPL_SRPT pointers(model->pRTR_VMGI->pPL_SRPT.get());
    if (pl > pointers.fnGet_c1_PL_SRP_Ns()) return nullptr;
    const BYTE pgcn = pointers.fnGet_c1_PGCN(static_cast<BYTE>(pl - 1));
    UD_PGCIT* table = model->pUD_PGCIT;
    if (pgcn == 0 || pgcn > CUD_PGCIT(table).fnGet_c1_UD_PGCI_SRP_Ns() || pgcn > table->pgci.size()) return nullptr;
    return &table->pgci[pgcn - 1u];
}

// The text of entry point i of the cell (empty when its EP_TY says it
// carries none): its title, else its label.
std::string TextOf(const CCI& cell, WORD i, BYTE characterSet) {
    BYTE block[vrm::kPrimaryTextSize] = {};
    if (!CCI::fnGet_M_C_EPI_TYPE(cell.fnGet_c1_EP_TY(i)) || !cell.fnGet_c128_PRM_TXTI(i, block)) return "";
    const vrm::PrimaryText decoded = vrm::DecodePrimaryText(characterSet, block);
    return decoded.title.utf8.empty() ? decoded.label.utf8 : decoded.title.utf8;
}

// Copies the text of entry point ep of playlist pl (0: the original chain),
// with its terminator, into out when it has room; the room it needs, 0
// when there is no such entry point.
DWORD EntryPointText(CVR_MANGR& m, int pl, int ep, char* out, DWORD size) {
    PGCI* chain = ChainOf(m.m_pModel, pl);
    if (!chain || ep < 1) return 0;
    CPGCI cells(chain);
    DWORD left = static_cast<DWORD>(ep);
    for (DWORD c = 0; c < cells.fnGet_wCI_SRP_Ns(); ++c) {
        CI* record = cells.Cell(c);
        if (!record) return 0;
        CCI cell(record);
        const DWORD n = cell.fnGet_wC_EPI_Ns();
        if (left > n) {
            left -= n;
            continue;
        }
        const std::string text = TextOf(cell, static_cast<WORD>(left - 1), m.fnGetCharacterSet());
        const DWORD needed = static_cast<DWORD>(text.size() + 1);
        if (out && size >= needed) std::memcpy(out, text.c_str(), needed);
        return needed;
    }
    return 0;
}

}  // namespace

DWORD fnVR_GetEntryPtText(void* handle, int pl, int ep, char* out, DWORD size) {
    return vrm::FlatCall(
        handle, VRO_ERR_NO_SUCH_ITEM,
        "There is no entry point " + std::to_string(ep) + (pl ? " of playlist " + std::to_string(pl) : "") + ".",
        [&](CVR_MANGR& m) { return EntryPointText(m, pl, ep, out, size); });
}
