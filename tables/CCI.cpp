#include "tables/CCI.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "io/ByteWriter.h"
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
    return e ? e + (m_cType ? S_C_EPI::At::PRM_TXTI : M_C_EPI::At::PRM_TXTI) : nullptr;
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

int CCI::fnGetStillPictures(WORD e, BYTE* first, BYTE* last) const {
    if (!m_pRecord || m_cType != CI::kStill || !first || !last) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (e > n) return 0;
    const BYTE cellFirst = std::max<BYTE>(fnGet_c1_S_S_VOB_ENTN(), 1);
    const BYTE cellLast = std::max(fnGet_c1_E_S_VOB_ENTN(), cellFirst);
    const auto inCell = [&](int picture) {
        return static_cast<BYTE>(std::min<int>(std::max<int>(picture, cellFirst), cellLast));
    };
    *first = e == 0 ? cellFirst : inCell(fnGet_c1_S_VOB_ENTN(static_cast<WORD>(e - 1)));
    *last = e == 0 || e == n ? cellLast : inCell(fnGet_c1_S_VOB_ENTN(e) - 1);
    if (*last < *first) *last = *first;
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
    const WORD n = fnGet_wC_EPI_Ns();
    DWORD size = HeaderSize();
    for (WORD i = 0; i < n; ++i) size += EntryBytes(i);
    return size;
}

DWORD CCI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    DWORD length = HeaderSize();
    w.Bytes(at, m_pRecord->header, length);
    m_wC_EPI_Ns = fnGet_wC_EPI_Ns();
    for (WORD i = 0; i < m_wC_EPI_Ns; ++i) {
        const BYTE* e = Entry(i);
        const DWORD n = EntryBytes(i);
        // A count raised by hand beyond the records held: written as entry
        // points without text at time zero, as the size says.
        if (e)
            w.Bytes(at + length, e, n);
        else
            w.Fill(at + length, 0, n);
        length += n;
    }
    return length;
}

DWORD CCI::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CCI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    if (m_cType)
        vrm::DumpRecord<S_CI_HEADER>(m_pRecord->header, indent, out);
    else
        vrm::DumpRecord<M_CI_HEADER>(m_pRecord->header, indent, out);
    // PRM_TXTI is the last field of an entry point, shown only when the
    // entry point has it on disc.
    static const BYTE kMissing[M_C_EPI::kSize] = {};
    const vrm::FieldDesc* fields = m_cType ? S_C_EPI::kFields : M_C_EPI::kFields;
    const size_t withText = m_cType ? std::size(S_C_EPI::kFields) : std::size(M_C_EPI::kFields);
    const WORD n = fnGet_wC_EPI_Ns();
    for (WORD i = 0; i < n; ++i) {
        vrm::DumpHeading(m_cType ? "S_C_EPI" : "M_C_EPI", i + 1u, indent, out);
        const BYTE* e = Entry(i);
        const bool text = fnGet_M_C_EPI_TYPE(fnGet_c1_EP_TY(i)) != 0;
        vrm::DumpFields(fields, text ? withText : withText - 1, e ? e : kMissing, indent + "  ", out);
    }
}

DWORD CCI::fndwLoad_CI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    fnSetZero();
    vrm::ByteReader& reader = m_pBuffer->Reader();
    uint64_t pos = m_dwStart;
    const BYTE type = fnGet_CI_TYPE(reader.U8(pos + M_CI_HEADER::At::C_TY));
    const DWORD headerSize = type ? CI::kStillHeaderSize : CI::kMovieHeaderSize;
    if (!reader.Bytes(pos, m_pRecord->header, headerSize)) return 0;
    m_cType = type;
    m_pRecord->cellType = type;
    pos += headerSize;
    m_wC_EPI_Ns = fnGet_wC_EPI_Ns();
    // Every entry point takes at least its size without text in the file:
    // check that much before reserving memory for all of them.
    if (!reader.Require(pos, uint64_t{PlainEntrySize()} * m_wC_EPI_Ns)) return 0;
    m_pRecord->entryPoints.assign(size_t{EntrySize()} * m_wC_EPI_Ns, 0);
    for (WORD i = 0; i < m_wC_EPI_Ns; ++i) {
        const DWORD n = fnGet_M_C_EPI_TYPE(reader.U8(pos + M_C_EPI::At::EP_TY)) ? EntrySize() : PlainEntrySize();
        if (!reader.Bytes(pos, Entry(i), n)) return 0;
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

void CCI::InsertEntry(WORD pos, WORD n) {
    std::vector<BYTE>& records = m_pRecord->entryPoints;
    const size_t size = EntrySize();
    // Records past the count (left by deletes) are dropped first.
    records.resize(size * n, 0);
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(size * pos), size, BYTE{0});
    fnSet_wC_EPI_Ns(static_cast<WORD>(n + 1));
    m_wC_EPI_Ns = static_cast<WORD>(n + 1);
}

int CCI::fnADD_Movie_Entry_Point(WORD pos, const BYTE* ptm, const BYTE* text) {
    if (!m_pRecord || !ptm || m_cType != CI::kMovie) return 0;
    const __int64 t = static_cast<__int64>(PtmTo27MHz(ptm));
    if (t < fnGet_ll_C_V_S_PTS() || t > fnGet_ll_C_V_E_PTS()) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (n >= kMaxEntryPoints) return 0;
    if (pos > n) pos = n;
    // Entry points follow the video in time: each segment runs from its entry
    // point to the next, and cutting or deleting a segment relies on that
    // order. A time before the entry point in front of pos, or after the one
    // behind it, is refused.
    if ((pos > 0 && t < fnGet_ll_EP_PTS(static_cast<WORD>(pos - 1))) || (pos < n && t > fnGet_ll_EP_PTS(pos))) return 0;
    InsertEntry(pos, n);
    fnSet_c6_EP_PTM(pos, ptm, 6);
    if (text) {
        fnSet_c1_EP_TY(pos, kTextEntry);
        fnSet_c128_PRM_TXTI(pos, text, CI::kTextSize);
    }
    return 1;
}

int CCI::fnADD_Still_Pic_Entry_Point(WORD pos, BYTE entn, const BYTE* text) {
    if (!m_pRecord || m_cType != CI::kStill) return 0;
    const WORD n = fnGet_wC_EPI_Ns();
    if (n >= kMaxEntryPoints) return 0;
    if (n != 0 && pos > n) return 0;
    if (n == 0) pos = 0;
    InsertEntry(pos, n);
    fnSet_c1_S_VOB_ENTN(pos, entn);
    if (text) {
        fnSet_c1_EP_TY(pos, kTextEntry);
        fnSet_c128_PRM_TXTI(pos, text, CI::kTextSize);
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
