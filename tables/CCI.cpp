#include "tables/CCI.h"

#include <algorithm>
#include <cstring>

#include "io/CBuffer.h"
#include "io/codecs.h"
#include "tables/CM_VOBI.h"
#include "tables/CS_VOGI.h"

CCI::CCI(WORD, BYTE) : m_pRecord(nullptr), m_cType(0), m_pBuffer(nullptr), m_dwSize(0), m_dwStart(0), m_wC_EPI_Ns(0) {}

CCI::CCI(CI* record) : m_pRecord(record), m_cType(0), m_pBuffer(nullptr), m_dwSize(0), m_dwStart(0), m_wC_EPI_Ns(0) {
    if (!record) return;
    m_wC_EPI_Ns = fnGet_wC_EPI_Ns();
    m_cType = fnGet_CI_TYPE(fnGet_c1_C_TY());
    record->cellType = m_cType;
}

CCI::CCI(CBuffer* buffer, CI* record, DWORD start)
    : m_pRecord(record), m_cType(0), m_pBuffer(buffer), m_dwSize(0), m_dwStart(start), m_wC_EPI_Ns(0) {}

BYTE* CCI::Entry(WORD i) const { return m_pRecord ? vrm::EntryAt(m_pRecord->entryPoints, EntrySize(), i) : nullptr; }

BYTE* CCI::EntryText(WORD i) const {
    BYTE* e = Entry(i);
    return e ? e + (m_cType ? 2 : 7) : nullptr;
}

__int64 CCI::PtsAt(const BYTE* base, DWORD offset) {
    return base ? static_cast<__int64>(PtmTo27MHz(base + offset)) : 0;
}

int CCI::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, sizeof m_pRecord->header);
    m_pRecord->entryPoints.clear();
    m_pRecord->cellType = 0;
    return 1;
}

int CCI::fnSet_CI_TYPE(BYTE v) {
    if (!m_pRecord) return 0;
    m_cType = fnGet_CI_TYPE(v);
    m_pRecord->cellType = m_cType;
    return 1;
}

DWORD CCI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    const DWORD n = fnGet_wC_EPI_Ns();
    DWORD size = m_cType ? CI::kStillHeaderSize : CI::kMovieHeaderSize;
    const DWORD plain = m_cType ? 2 : 7;
    for (WORD i = 0; i < n; ++i) {
        const BYTE* e = Entry(i);
        size += (e && fnGet_M_C_EPI_TYPE(e[0])) ? EntrySize() : plain;
    }
    return size;
}

DWORD CCI::fnReadData(BYTE* out) {
    if (!out || !m_pRecord) return 0;
    DWORD length = m_cType ? CI::kStillHeaderSize : CI::kMovieHeaderSize;
    std::memcpy(out, m_pRecord->header, length);
    m_wC_EPI_Ns = fnGet_wC_EPI_Ns();
    const DWORD plain = m_cType ? 2 : 7;
    for (WORD i = 0; i < m_wC_EPI_Ns; ++i) {
        const BYTE* e = Entry(i);
        if (!e) {
            // A count raised by hand beyond the records held: written as
            // entry points without text at time zero, as the size says.
            std::memset(out + length, 0, plain);
            length += plain;
            continue;
        }
        const DWORD n = fnGet_M_C_EPI_TYPE(e[0]) ? EntrySize() : plain;
        std::memcpy(out + length, e, n);
        length += n;
    }
    return length;
}

DWORD CCI::fndwLoad_CI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    fnSetZero();
    vrm::ByteReader reader = m_pBuffer->Reader();
    uint64_t pos = m_dwStart;
    const BYTE type = fnGet_CI_TYPE(reader.U8(pos + 1));
    const DWORD headerSize = type ? CI::kStillHeaderSize : CI::kMovieHeaderSize;
    if (!reader.Bytes(pos, m_pRecord->header, headerSize)) {
        m_pBuffer->MarkReadFailure(reader.FailOffset());
        return 0;
    }
    m_cType = type;
    m_pRecord->cellType = type;
    pos += headerSize;
    m_wC_EPI_Ns = fnGet_wC_EPI_Ns();
    const DWORD plain = type ? 2 : 7;
    // Every entry point takes at least `plain` bytes of the file: check that
    // much before reserving memory for all of them.
    if (!reader.Require(pos, uint64_t{plain} * m_wC_EPI_Ns)) {
        m_pBuffer->MarkReadFailure(reader.FailOffset());
        return 0;
    }
    m_pRecord->entryPoints.assign(size_t{EntrySize()} * m_wC_EPI_Ns, 0);
    for (WORD i = 0; i < m_wC_EPI_Ns; ++i) {
        BYTE* e = Entry(i);
        const DWORD n = fnGet_M_C_EPI_TYPE(reader.U8(pos)) ? EntrySize() : plain;
        if (!reader.Bytes(pos, e, n)) {
            m_pBuffer->MarkReadFailure(reader.FailOffset());
            return 0;
        }
        pos += n;
    }
    m_dwSize = static_cast<DWORD>(pos - m_dwStart);
    return m_dwSize;
}

int CCI::fnADD_Movie_CI(M_VOBI* vobi, WORD vobiNo) {
    if (!m_pRecord || !vobi) return 0;
    fnSet_CI_TYPE(CI::kMovie);
    fnSet_c1_C_TY(0);
    fnSet_wM_VOBI_SRPN(vobiNo);
    fnSet_wC_EPI_Ns(0);
    m_wC_EPI_Ns = 0;
    CM_VOBI vob(vobi);
    BYTE ptm[6];
    vob.fnGet_c6_VOB_V_S_PTM(ptm);
    fnSet_c6_C_V_S_PTM(ptm, 6);
    vob.fnGet_c6_VOB_V_E_PTM(ptm);
    fnSet_c6_C_V_E_PTM(ptm, 6);
    return 1;
}

int CCI::fnADD_Still_Pic_CI(S_VOGI* vogi, WORD vogiNo) {
    if (!m_pRecord || !vogi) return 0;
    fnSet_CI_TYPE(CI::kStill);
    fnSet_c1_C_TY(CI::kStill);
    fnSet_wS_VOGI_SRPN(vogiNo);
    fnSet_wC_EPI_Ns(0);
    m_wC_EPI_Ns = 0;
    fnSet_c1_S_S_VOB_ENTN(1);
    fnSet_c1_E_S_VOB_ENTN(CS_VOGI(vogi).fnGet_c1_S_VOB_Ns());
    fnADD_Still_Pic_Entry_Point(0, 1, nullptr);
    return 1;
}

BYTE* CCI::InsertEntry(WORD pos, WORD n) {
    std::vector<BYTE>& records = m_pRecord->entryPoints;
    const size_t size = EntrySize();
    // Records past the count (left by deletes) are dropped first.
    records.resize(size * n, 0);
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(size * pos), size, BYTE{0});
    fnSet_wC_EPI_Ns(static_cast<WORD>(n + 1));
    m_wC_EPI_Ns = static_cast<WORD>(n + 1);
    return records.data() + size * pos;
}

int CCI::fnADD_Movie_Entry_Point(WORD pos, const BYTE* ptm, const BYTE* text) {
    if (!m_pRecord || !ptm || m_cType != CI::kMovie) return 0;
    const __int64 t = static_cast<__int64>(PtmTo27MHz(ptm));
    if (t < fnGet_ll_C_V_S_PTS() || t > fnGet_ll_C_V_E_PTS()) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (n >= kMaxEntryPoints) return 0;
    if (pos > n) pos = n;
    BYTE* e = InsertEntry(pos, n);
    std::memcpy(e + 1, ptm, 6);
    if (text) {
        e[0] = 0x40;
        std::memcpy(e + 7, text, 128);
    }
    return 1;
}

int CCI::fnADD_Still_Pic_Entry_Point(WORD pos, BYTE entn, const BYTE* text) {
    if (!m_pRecord || m_cType != CI::kStill) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (n >= kMaxEntryPoints) return 0;
    if (n != 0 && pos > n) return 0;
    if (n == 0) pos = 0;
    BYTE* e = InsertEntry(pos, n);
    e[1] = entn;
    if (text) {
        e[0] = 0x40;
        std::memcpy(e + 2, text, 128);
    }
    return 1;
}

int CCI::fnDEL_Movie_Entry_Point(WORD i) {
    if (!m_pRecord) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (n == 0 || i == 0 || i > n) return 0;
    std::vector<BYTE>& records = m_pRecord->entryPoints;
    const size_t size = EntrySize();
    if (n == 1) {
        records.clear();
    } else {
        records.resize(std::max(records.size(), size * n), 0);
        std::memmove(records.data() + size * (i - 1u), records.data() + size * i, size * (n - i));
    }
    fnSet_wC_EPI_Ns(static_cast<WORD>(n - 1));
    m_wC_EPI_Ns = static_cast<WORD>(n - 1);
    return 1;
}

void CCI::fnDEL_All_Movie_Entry_Point() {
    if (!m_pRecord || fnGet_wC_EPI_Ns() == 0 || m_pRecord->entryPoints.empty()) return;
    m_pRecord->entryPoints.clear();
    fnSet_wC_EPI_Ns(0);
    m_wC_EPI_Ns = 0;
}

void CCI::fnDEL_All_Still_Pic_Entry_Point() { fnDEL_All_Movie_Entry_Point(); }
