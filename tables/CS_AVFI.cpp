#include "tables/CS_AVFI.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/PointedRecords.h"
#include "io/units.h"

CS_AVFI::CS_AVFI(WORD)
    : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wS_VOGI_SRP_Ns(0), m_dwStart(0), m_dwBase(0) {}

CS_AVFI::CS_AVFI(S_AVFI* record, DWORD base)
    : m_pRecord(record),
      m_pBuffer(nullptr),
      m_dwSize(0),
      m_wS_VOGI_SRP_Ns(fnGet_wS_VOGI_SRP_Ns()),
      m_dwStart(0),
      m_dwBase(base) {}

CS_AVFI::CS_AVFI(CBuffer* buffer, S_AVFI* record, DWORD start, DWORD base)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_wS_VOGI_SRP_Ns(0), m_dwStart(start), m_dwBase(base) {}

BYTE* CS_AVFI::Slot(WORD i) const { return m_pRecord ? vrm::EntryAt(m_pRecord->srp, S_AVFI::kSrpSize, i) : nullptr; }

S_VOGI* CS_AVFI::fnGet_iTH_VOGI(WORD vogi) const {
    if (!m_pRecord || vogi == 0 || vogi > fnGet_wS_VOGI_SRP_Ns() || vogi > m_pRecord->vogi.size()) return nullptr;
    return &m_pRecord->vogi[vogi - 1u];
}

int CS_AVFI::fnNew() {
    if (!m_pRecord) return 0;
    fnSet_wS_VOGI_SRP_Ns(0);
    m_wS_VOGI_SRP_Ns = 0;
    return 1;
}

int CS_AVFI::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, S_AVFI::kHeaderSize);
    const size_t pointers = std::min(size_t{S_AVFI::kSrpSize} * m_wS_VOGI_SRP_Ns, m_pRecord->srp.size());
    std::fill_n(m_pRecord->srp.begin(), pointers, BYTE{0});
    const size_t vogs = std::min(size_t{m_wS_VOGI_SRP_Ns}, m_pRecord->vogi.size());
    for (size_t i = 0; i < vogs; ++i) m_pRecord->vogi[i] = S_VOGI{};
    return 1;
}

void CS_AVFI::fnFreeAllData() {
    if (!m_pRecord) return;
    std::vector<BYTE>().swap(m_pRecord->srp);
    std::vector<S_VOGI>().swap(m_pRecord->vogi);
}

void CS_AVFI::Clear() {
    std::memset(m_pRecord->header, 0, S_AVFI::kHeaderSize);
    fnFreeAllData();
}

DWORD CS_AVFI::fndwLoad_S_AVFI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    Clear();
    m_dwSize = 0;
    m_wS_VOGI_SRP_Ns = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    if (!reader.Bytes(m_dwStart, m_pRecord->header, S_AVFI::kHeaderSize)) {
        Clear();
        return 0;
    }
    const WORD n = fnGet_wS_VOGI_SRP_Ns();
    const uint64_t size = vrm::LoadPointedRecords(
        *m_pBuffer, m_dwStart, S_AVFI::kHeaderSize, n, m_dwBase, S_VOGI::kGeneralSize, m_pRecord->srp, m_pRecord->vogi,
        [this](S_VOGI& vog, DWORD at) { return CS_VOGI(m_pBuffer, &vog, at).fndwLoad_S_VOGI_From_File(); });
    if (!size) {
        Clear();
        return 0;
    }
    m_wS_VOGI_SRP_Ns = n;
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CS_AVFI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    return vrm::PointedRecordsSize(S_AVFI::kHeaderSize, fnGet_wS_VOGI_SRP_Ns(), S_VOGI::kGeneralSize, m_pRecord->vogi,
                                   [](const S_VOGI& vog) { return CS_VOGI(const_cast<S_VOGI*>(&vog)).fndwDataSize(); });
}

DWORD CS_AVFI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    const WORD n = fnGet_wS_VOGI_SRP_Ns();
    m_wS_VOGI_SRP_Ns = n;
    w.Bytes(at, m_pRecord->header, S_AVFI::kHeaderSize);
    return vrm::WritePointedRecords(
        w, at, S_AVFI::kHeaderSize, n, m_dwBase, S_VOGI::kGeneralSize, m_pRecord->srp, m_pRecord->vogi,
        [](S_VOGI& vog, vrm::ByteWriter& to, uint64_t offset) { return CS_VOGI(&vog).fnWrite(to, offset); });
}

DWORD CS_AVFI::fnReadData(BYTE* out) {
    if (!m_pRecord) return 0;
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CS_AVFI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<S_AVFI_HEADER>(m_pRecord->header, indent, out);
    const WORD n = fnGet_wS_VOGI_SRP_Ns();
    for (WORD i = 0; i < n; ++i) vrm::DumpEntry<S_VOGI_SRP>("S_VOGI_SRP", i + 1u, Pointer(i), indent, out);
    for (WORD i = 0; i < n; ++i) {
        vrm::DumpHeading("S_VOGI", i + 1u, indent, out);
        S_VOGI empty{};
        CS_VOGI(i < m_pRecord->vogi.size() ? &m_pRecord->vogi[i] : &empty).fnDump(out, indent + "  ");
    }
}

int CS_AVFI::fnADD_VOGI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded) {
    if (!m_pRecord) return 0;
    const WORD n = fnGet_wS_VOGI_SRP_Ns();
    if (n == 0xFFFF) return 0;
    // Build the new VOG aside first, so that a refused one changes nothing.
    S_VOGI added{};
    if (!CS_VOGI(&added).fnADD_VOGI(stin, info, recorded)) return 0;
    // The search pointers are recomputed by the next serialisation.
    m_pRecord->srp.assign(size_t{S_AVFI::kSrpSize} * (n + 1u), 0);
    m_pRecord->vogi.resize(n);
    m_pRecord->vogi.push_back(std::move(added));
    fnSet_wS_VOGI_SRP_Ns(static_cast<WORD>(n + 1));
    m_wS_VOGI_SRP_Ns = static_cast<WORD>(n + 1);
    return 1;
}

int CS_AVFI::fnGet_iTH_VOGI_REC_TM(WORD vogi, BYTE* out) const {
    S_VOGI* record = fnGet_iTH_VOGI(vogi);
    if (!record) return 0;
    return CS_VOGI(record).fnGet_c5_FIRST_VOB_REC_TM(out);
}

BYTE CS_AVFI::fnGet_iTH_VOGI_S_VOB_STIN(WORD vogi) const {
    S_VOGI* record = fnGet_iTH_VOGI(vogi);
    return record ? CS_VOGI(record).fnGet_c1_S_VOB_STIN() : 0;
}

int CS_AVFI::fnGet_iTH_VOGI_StartPosAndEndPos(WORD vogi, DWORD* start, DWORD* end) const {
    S_VOGI* record = fnGet_iTH_VOGI(vogi);
    if (!record || !start || !end) return 0;
    const CS_VOGI vog(record);
    // 32-bit byte positions, as the format's callers take them.
    const DWORD sector = static_cast<DWORD>(vrm::kSectorBytes);
    *start = vog.fnGet_dwS_VOG_SA() * sector;
    *end = *start + sector * DWORD{vog.fnGet_c1_V_PART_SZ(0)};
    return 1;
}
