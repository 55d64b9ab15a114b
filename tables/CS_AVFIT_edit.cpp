// Removing the VOGs of the still table, with the additional audio only they
// use, and removing attribute records that nothing names any more: the
// table steps of deleting still pictures and reclaiming their stream space.
// Each operation checks everything and prepares what it allocates before it
// changes the table, so that a refusal leaves it as it was.
#include <vector>

#include "io/PointedRecords.h"
#include "tables/CS_AVFIT.h"
#include "tables/named_records.h"

namespace {

// The records the table counts and holds.
template <class Record>
size_t Held(WORD count, const std::vector<Record>& records) {
    return count < records.size() ? count : records.size();
}

// The one-byte attribute number at offset `at` of the general part of each
// record the table counts and holds.
template <class Record>
std::vector<BYTE*> NumbersIn(std::vector<Record>& records, WORD count, size_t at) {
    std::vector<BYTE*> numbers;
    for (size_t i = 0; i < Held(count, records); ++i) numbers.push_back(records[i].general + at);
    return numbers;
}

// The S_VOB_STIN of each VOG, the S_AA_STIN of each additional-audio group.
std::vector<BYTE*> AttributeNumbers(S_AVFI* avfi) {
    if (!avfi) return {};
    return NumbersIn(avfi->vogi, CS_AVFI(avfi, 0).fnGet_wS_VOGI_SRP_Ns(), S_VOGI_GI::At::S_VOB_STIN);
}
std::vector<BYTE*> AttributeNumbers(S_AAFI* aafi) {
    if (!aafi) return {};
    return NumbersIn(aafi->groups, CS_AAFI(aafi, 0).fnGet_wS_AAGI_SRP_Ns(), S_AAGI_GI::At::S_AA_STIN);
}

// Calls f(picture accessor, i) for each picture i of the VOG that carries
// additional audio.
template <class F>
void ForEachAdditionalAudio(S_VOGI& vog, F f) {
    CS_VOGI pictures(&vog);
    const DWORD n = pictures.fnGet_c1_S_VOB_Ns();
    for (DWORD i = 0; i < n; ++i) {
        const BYTE picture = static_cast<BYTE>(i);
        if (pictures.fnGet_c1_S_VOB_ENT_TY(picture) & vrm::kEntryAdditionalAudio) f(pictures, picture);
    }
}

}  // namespace

void CS_AVFIT::Empty() {
    ReleaseSubRecords();
    fnSet_c1_S_AVFI_Ns(0);
    fnSet_c1_S_AAFI_Ns(0);
    fnSet_c1_S_VOB_STI_Ns(0);
    fnSet_c1_S_AA_STI_Ns(0);
    fnSet_dw_S_AVFIT_EA(S_AVFIT::kHeaderSize - 1);
    m_cS_VOB_STI_Ns = 0;
    m_cS_AA_STI_Ns = 0;
}

int CS_AVFIT::fnDEL_VOG(WORD n) {
    if (!m_pRecord || !m_pRecord->pS_AVFI) return 0;
    S_AVFI& avfi = *m_pRecord->pS_AVFI;
    CS_AVFI vogs(&avfi, 0);
    if (!vogs.fnGet_iTH_VOGI(n)) return 0;
    const WORD m = vogs.fnGet_wS_VOGI_SRP_Ns();
    if (m == 1) {
        Empty();
        return 1;
    }
    // The groups VOG n's pictures name, and those other VOGs' pictures name.
    S_AAFI* aafi = fnGet_c1_S_AAFI_Ns() != 0 ? m_pRecord->pS_AAFI.get() : nullptr;
    const WORD groups = aafi ? CS_AAFI(aafi, 0).fnGet_wS_AAGI_SRP_Ns() : 0;
    std::vector<bool> mine(groups), others(groups);
    for (size_t v = 0; v < Held(m, avfi.vogi); ++v) {
        std::vector<bool>& named = v + 1 == n ? mine : others;
        ForEachAdditionalAudio(avfi.vogi[v], [&](const CS_VOGI& pictures, BYTE i) {
            const WORD g = pictures.fnGet_wS_AAGI_SRPN(i);
            if (g >= 1 && g <= groups) named[g - 1u] = true;
        });
    }
    // The new number of each group (0 for one that goes). A group the count
    // names but the array lacks is written as an empty group: it stays.
    const size_t held = aafi ? Held(groups, aafi->groups) : 0;
    std::vector<WORD> renumbered(groups, 0);
    WORD kept = 0;
    for (size_t g = 0; g < groups; ++g) {
        if (g >= held || !mine[g] || others[g]) renumbered[g] = ++kept;
    }

    vrm::ErasePointedRecord(avfi.srp, avfi.vogi, n - 1u);
    vogs.fnSet_wS_VOGI_SRP_Ns(static_cast<WORD>(m - 1u));
    if (kept == groups) return 1;
    for (size_t g = held; g-- > 0;) {
        if (renumbered[g] == 0) vrm::ErasePointedRecord(aafi->srp, aafi->groups, g);
    }
    CS_AAFI(aafi, 0).fnSet_wS_AAGI_SRP_Ns(kept);
    for (size_t v = 0; v < Held(static_cast<WORD>(m - 1u), avfi.vogi); ++v) {
        ForEachAdditionalAudio(avfi.vogi[v], [&](CS_VOGI& pictures, BYTE i) {
            const WORD g = pictures.fnGet_wS_AAGI_SRPN(i);
            if (g >= 1 && g <= groups) pictures.fnSet_wS_AAGI_SRPN(i, renumbered[g - 1u]);
        });
    }
    return 1;
}

int CS_AVFIT::fnDEL_S_VOB_STI(BYTE stin) {
    if (!m_pRecord) return 0;
    const std::vector<BYTE*> names = AttributeNumbers(m_pRecord->pS_AVFI.get());
    BYTE* count = m_pRecord->header + S_AVFIT_HEADER::At::S_VOB_STI_Ns;
    if (!vrm::RemoveNamedRecord(m_pRecord->sti, S_AVFIT::kStiSize, count, stin, names)) return 0;
    m_cS_VOB_STI_Ns = *count;
    if (*count == 0 && names.empty() && fnGet_c1_S_AAFI_Ns() == 0) Empty();
    return 1;
}

int CS_AVFIT::fnDEL_S_AA_STI(BYTE stin) {
    if (!m_pRecord || fnGet_c1_S_AAFI_Ns() == 0) return 0;
    const std::vector<BYTE*> names = AttributeNumbers(m_pRecord->pS_AAFI.get());
    BYTE* count = m_pRecord->header + S_AVFIT_HEADER::At::S_AA_STI_Ns;
    if (!vrm::RemoveNamedRecord(m_pRecord->aaSti, S_AVFIT::kAaStiSize, count, stin, names)) return 0;
    m_cS_AA_STI_Ns = *count;
    if (*count == 0 && CS_AAFI(m_pRecord->pS_AAFI.get(), 0).fnGet_wS_AAGI_SRP_Ns() == 0) {
        // No additional audio left: the part goes, as in a table that never had any.
        m_pRecord->pS_AAFI.reset();
        std::vector<BYTE>().swap(m_pRecord->aaSti);
        fnSet_c1_S_AAFI_Ns(0);
    }
    return 1;
}
