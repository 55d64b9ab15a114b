#include "tables/CS_AAFI.h"

#include <algorithm>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/PointedRecords.h"

CS_AAFI::CS_AAFI(WORD)
    : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wS_AAGI_SRP_Ns(0), m_dwStart(0), m_dwBase(0) {}

CS_AAFI::CS_AAFI(S_AAFI* record, DWORD base)
    : m_pRecord(record),
      m_pBuffer(nullptr),
      m_dwSize(0),
      m_wS_AAGI_SRP_Ns(fnGet_wS_AAGI_SRP_Ns()),
      m_dwStart(0),
      m_dwBase(base) {}

CS_AAFI::CS_AAFI(CBuffer* buffer, S_AAFI* record, DWORD start, DWORD base)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_wS_AAGI_SRP_Ns(0), m_dwStart(start), m_dwBase(base) {}

BYTE* CS_AAFI::Slot(WORD i) const { return m_pRecord ? vrm::EntryAt(m_pRecord->srp, S_AAFI::kSrpSize, i) : nullptr; }

int CS_AAFI::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, S_AAFI::kHeaderSize);
    const size_t pointers = std::min(size_t{S_AAFI::kSrpSize} * m_wS_AAGI_SRP_Ns, m_pRecord->srp.size());
    std::fill_n(m_pRecord->srp.begin(), pointers, BYTE{0});
    const size_t groups = std::min(size_t{m_wS_AAGI_SRP_Ns}, m_pRecord->groups.size());
    for (size_t i = 0; i < groups; ++i) m_pRecord->groups[i] = S_AAGI{};
    return 1;
}

void CS_AAFI::Clear() {
    std::memset(m_pRecord->header, 0, S_AAFI::kHeaderSize);
    fnFreeAllData();
}

void CS_AAFI::fnFreeAllData() {
    if (!m_pRecord) return;
    std::vector<BYTE>().swap(m_pRecord->srp);
    std::vector<S_AAGI>().swap(m_pRecord->groups);
}

DWORD CS_AAFI::fndwLoad_S_AAFI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    Clear();
    m_dwSize = 0;
    m_wS_AAGI_SRP_Ns = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    if (!reader.Bytes(m_dwStart, m_pRecord->header, S_AAFI::kHeaderSize)) {
        Clear();
        return 0;
    }
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    const uint64_t size = vrm::LoadPointedRecords(
        *m_pBuffer, m_dwStart, S_AAFI::kHeaderSize, n, m_dwBase, S_AAGI::kGeneralSize, m_pRecord->srp,
        m_pRecord->groups,
        [this](S_AAGI& group, DWORD at) { return CS_AAGI(m_pBuffer, &group, at).fndwLoad_S_AAGI_From_File(); });
    if (!size) {
        Clear();
        return 0;
    }
    m_wS_AAGI_SRP_Ns = n;
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CS_AAFI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    return vrm::PointedRecordsSize(
        S_AAFI::kHeaderSize, fnGet_wS_AAGI_SRP_Ns(), S_AAGI::kGeneralSize, m_pRecord->groups,
        [](const S_AAGI& group) { return CS_AAGI(const_cast<S_AAGI*>(&group)).fndwDataSize(); });
}

DWORD CS_AAFI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    m_wS_AAGI_SRP_Ns = n;
    w.Bytes(at, m_pRecord->header, S_AAFI::kHeaderSize);
    return vrm::WritePointedRecords(
        w, at, S_AAFI::kHeaderSize, n, m_dwBase, S_AAGI::kGeneralSize, m_pRecord->srp, m_pRecord->groups,
        [](S_AAGI& group, vrm::ByteWriter& to, uint64_t offset) { return CS_AAGI(&group).fnWrite(to, offset); });
}

DWORD CS_AAFI::fnReadData(BYTE* out) {
    if (!m_pRecord) return 0;
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CS_AAFI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<S_AAFI_HEADER>(m_pRecord->header, indent, out);
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    for (WORD i = 0; i < n; ++i) vrm::DumpEntry<S_AAGI_SRP>("S_AAGI_SRP", i + 1u, Pointer(i), indent, out);
    for (WORD i = 0; i < n; ++i) {
        vrm::DumpHeading("S_AAGI", i + 1u, indent, out);
        S_AAGI empty{};
        S_AAGI* group = i < m_pRecord->groups.size() ? &m_pRecord->groups[i] : &empty;
        CS_AAGI(group).fnDump(out, indent + "  ");
    }
}
