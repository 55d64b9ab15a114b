// Titles of programs and playlists: the PRM_TXTI of a program record of the
// original chain (PGI) or of a play list search pointer (PL_SRP), read and
// written in the disc's character set.
#include <algorithm>
#include <string>
#include <vector>

#include "edit/EditAccess.h"
#include "io/be.h"
#include "manager/CVR_MANGR.h"
#include "tables/CPGCI.h"
#include "tables/CPL_SRPT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CVMGI_MAT.h"

namespace {

// The record (PGI) of program pg (1-based) of the original chain; nullptr
// when there is none. Reaches every program record, also those beyond the
// 100 that the field getters answer for.
BYTE* ProgramRecord(CVR_MANGR& m, int pg) {
    if (!m.m_pModel || !m.m_pModel->pORG_PGCI) return nullptr;
    const CPGCI chain(m.m_pModel->pORG_PGCI);
    if (pg < 1 || pg > chain.fnGet_c1_PG_Ns()) return nullptr;
    return chain.fnGet_iTH_PGI_Address(static_cast<BYTE>(pg - 1));
}

BYTE* ProgramText(CVR_MANGR& m, int pg) {
    BYTE* record = ProgramRecord(m, pg);
    return record ? record + PGI::At::PRM_TXTI : nullptr;
}

// Item text n (an IT_TXT_SRPN: 1-based, 0 for none) of the text data
// manager, decoded by the table's own CHRS; no text when the disc has no
// such item.
// The bytes of item text n (1-based) of the text data manager; empty for
// none.
std::vector<BYTE> ItemBytes(CVR_MANGR& m, WORD n) {
    if (n == 0 || !m.m_pModel || !m.m_pModel->pTXTDT_MG) return {};
    const CTXTDT_MG texts(m.m_pModel->pTXTDT_MG);
    if (n > texts.fnGet_wIT_TXT_SRP_Ns()) return {};
    std::vector<BYTE> bytes(size_t{texts.fnGet_wIT_TXT_SZ(n - 1)} + 1);
    if (!texts.fnGet_IT_TXT(n - 1, bytes.data())) return {};
    bytes.pop_back();
    return bytes;
}

vrm::DecodedText ItemText(CVR_MANGR& m, WORD n) {
    const std::vector<BYTE> bytes = ItemBytes(m, n);
    if (bytes.empty()) return {};
    return vrm::DecodeText(CTXTDT_MG(m.m_pModel->pTXTDT_MG).fnGet_c1_CHRS(), bytes.data(), bytes.size());
}

// The index of playlist pl's search pointer; false when there is none.
bool PlaylistIndex(CVR_MANGR& m, int pl, BYTE* index) {
    PL_SRPT* pointers = vrm::Playlists(m);
    if (!pointers || pl < 1 || pl > CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns()) return false;
    *index = static_cast<BYTE>(pl - 1);
    return true;
}

// One 64-byte half in set `to`: its own bytes when they are ASCII (the same
// in every set), else decoded from `from` and encoded in `to`. False with
// why when it cannot be.
bool ConvertHalf(BYTE from, BYTE to, const BYTE* in, BYTE* out, std::string* why) {
    const size_t half = vrm::kPrimaryTextHalf;
    if (std::all_of(in, in + half, [](BYTE b) { return b < 0x80; })) {
        std::copy(in, in + half, out);
        return true;
    }
    const vrm::DecodedText text = vrm::DecodeText(from, in, half);
    if (text.unknownSet || text.replaced) {
        *why = "it holds bytes that are no characters of the disc's character set";
        return false;
    }
    std::string bytes;
    if (!vrm::EncodeText(to, text.utf8, half - 1, &bytes, why)) {
        // The codec speaks of the disc's set; here it is the new one.
        const std::string disc = ", the disc's character set.";
        if (why->size() >= disc.size() && why->compare(why->size() - disc.size(), disc.size(), disc) == 0)
            why->erase(why->size() - disc.size());
        return false;
    }
    std::fill(out, out + half, BYTE{0});
    std::copy(bytes.begin(), bytes.end(), out);
    return true;
}

bool ConvertText(BYTE from, BYTE to, const BYTE* in, BYTE* out, std::string* why) {
    const size_t half = vrm::kPrimaryTextHalf;
    return ConvertHalf(from, to, in, out, why) && ConvertHalf(from, to, in + half, out + half, why);
}

int NoSuch(CVR_MANGR& m, const char* what, int n) {
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM, std::string("There is no ") + what + " " + std::to_string(n) + ".",
                    vrm::Status::kItem, n > 0 ? static_cast<uint64_t>(n) : 0);
}

}  // namespace

BYTE CVR_MANGR::fnGetCharacterSet() {
    if (!m_pModel || !m_pModel->pRTR_VMGI || !m_pModel->pRTR_VMGI->pVMGI_MAT) return 0;
    return CVMGI_MAT(m_pModel->pRTR_VMGI->pVMGI_MAT.get()).fnGet_c1_CHRS();
}

int CVR_MANGR::fnGetPGPrimaryText(int pg, vrm::PrimaryText* out) {
    const BYTE* text = ProgramText(*this, pg);
    if (!out) return 0;
    if (!text) return NoSuch(*this, "program", pg);
    *out = vrm::DecodePrimaryText(fnGetCharacterSet(), text);
    return 1;
}

int CVR_MANGR::fnGetPLPrimaryText(int pl, vrm::PrimaryText* out) {
    BYTE index = 0;
    if (!out) return 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    BYTE block[vrm::kPrimaryTextSize] = {};
    if (!CPL_SRPT(vrm::Playlists(*this)).fnGet_c128_PRM_TXTI(index, block)) return NoSuch(*this, "playlist", pl);
    *out = vrm::DecodePrimaryText(fnGetCharacterSet(), block);
    return 1;
}

int CVR_MANGR::fnGetPGItemText(int pg, vrm::DecodedText* out) {
    const BYTE* record = ProgramRecord(*this, pg);
    if (!out) return 0;
    if (!record) return NoSuch(*this, "program", pg);
    *out = ItemText(*this, vrm::be_load<uint16_t>(record + PGI::At::IT_TXT_SRPN));
    return 1;
}

int CVR_MANGR::fnGetPLItemText(int pl, vrm::DecodedText* out) {
    BYTE index = 0;
    if (!out) return 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    *out = ItemText(*this, CPL_SRPT(vrm::Playlists(*this)).fnGet_wIT_TXT_SRPN(index));
    return 1;
}

int CVR_MANGR::fnGetPGItemBytes(int pg, std::vector<BYTE>* out) {
    const BYTE* record = ProgramRecord(*this, pg);
    if (!out) return 0;
    if (!record) return NoSuch(*this, "program", pg);
    *out = ItemBytes(*this, vrm::be_load<uint16_t>(record + PGI::At::IT_TXT_SRPN));
    return 1;
}

int CVR_MANGR::fnGetPLItemBytes(int pl, std::vector<BYTE>* out) {
    BYTE index = 0;
    if (!out) return 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    *out = ItemBytes(*this, CPL_SRPT(vrm::Playlists(*this)).fnGet_wIT_TXT_SRPN(index));
    return 1;
}

int CVR_MANGR::fnSetPGTitle(int pg, const char* utf8) {
    BYTE* text = ProgramText(*this, pg);
    if (!text) return NoSuch(*this, "program", pg);
    BYTE block[vrm::kPrimaryTextSize];
    std::string why;
    if (!utf8 || !vrm::EncodePrimaryText(fnGetCharacterSet(), utf8, block, &why)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, utf8 ? why : "No title was given.");
    }
    std::copy(block, block + sizeof block, text);
    return 1;
}

int CVR_MANGR::fnSetPLTitle(int pl, const char* utf8) {
    BYTE index = 0;
    if (!PlaylistIndex(*this, pl, &index)) return NoSuch(*this, "playlist", pl);
    BYTE block[vrm::kPrimaryTextSize];
    std::string why;
    if (!utf8 || !vrm::EncodePrimaryText(fnGetCharacterSet(), utf8, block, &why)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT, utf8 ? why : "No title was given.");
    }
    return CPL_SRPT(vrm::Playlists(*this)).fnSet_c128_PRM_TXTI(index, block, sizeof block) == 1 ? 1 : 0;
}

int CVR_MANGR::fnSetCharacterSet(BYTE chrs) {
    if (!m_pModel || !m_pModel->pRTR_VMGI || !m_pModel->pRTR_VMGI->pVMGI_MAT || !m_pModel->pORG_PGCI) {
        return fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
    }
    if (!vrm::CharacterSetName(chrs)) {
        return fnFail(VRO_ERR_BAD_ARGUMENT,
                      "Character set code " + std::to_string(chrs) + " is not one this library knows.");
    }
    const BYTE from = fnGetCharacterSet();
    // Every text is converted first; only when all can be are they written.
    struct Converted {
        BYTE* program;  // the program's PRM_TXTI, or null for playlist `index`
        BYTE index;
        BYTE bytes[vrm::kPrimaryTextSize];
    };
    std::vector<Converted> texts;
    std::string why;
    const int programs = CPGCI(m_pModel->pORG_PGCI).fnGet_c1_PG_Ns();
    for (int pg = 1; pg <= programs; ++pg) {
        Converted c{ProgramText(*this, pg), 0, {}};
        if (c.program && !ConvertText(from, chrs, c.program, c.bytes, &why)) {
            return fnFail(VRO_ERR_BAD_ARGUMENT,
                          "The text of program " + std::to_string(pg) + " cannot be converted: " + why + ".");
        }
        if (c.program) texts.push_back(c);
    }
    PL_SRPT* pointers = vrm::Playlists(*this);
    const int playlists = pointers ? CPL_SRPT(pointers).fnGet_c1_PL_SRP_Ns() : 0;
    for (int pl = 1; pl <= playlists; ++pl) {
        Converted c{nullptr, static_cast<BYTE>(pl - 1), {}};
        BYTE block[vrm::kPrimaryTextSize] = {};
        if (!CPL_SRPT(pointers).fnGet_c128_PRM_TXTI(c.index, block)) continue;
        if (!ConvertText(from, chrs, block, c.bytes, &why)) {
            return fnFail(VRO_ERR_BAD_ARGUMENT,
                          "The text of playlist " + std::to_string(pl) + " cannot be converted: " + why + ".");
        }
        texts.push_back(c);
    }
    for (const Converted& c : texts) {
        if (c.program) {
            std::copy(c.bytes, c.bytes + sizeof c.bytes, c.program);
        } else {
            CPL_SRPT(pointers).fnSet_c128_PRM_TXTI(c.index, c.bytes, sizeof c.bytes);
        }
    }
    CVMGI_MAT(m_pModel->pRTR_VMGI->pVMGI_MAT.get()).fnSet_c1_CHRS(chrs);
    return 1;
}
