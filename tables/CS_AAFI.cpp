#include "tables/CS_AAFI.h"

#include <algorithm>
#include <cstring>

#include "io/CBuffer.h"

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

BYTE* CS_AAFI::Slot(WORD i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->srp, S_AAFI::kSrpSize, i) : nullptr;
}

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

    vrm::ByteReader reader = m_pBuffer->Reader();
    const uint64_t at = m_dwStart;
    const uint64_t fileSize = reader.Size();
    auto fail = [&](uint64_t offset) -> DWORD {
        m_pBuffer->MarkReadFailure(offset);
        Clear();
        return 0;
    };
    if (!reader.Bytes(at, m_pRecord->header, S_AAFI::kHeaderSize)) return fail(reader.FailOffset());
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    const uint64_t pointerBytes = uint64_t{S_AAFI::kSrpSize} * n;
    const BYTE* src = reader.Span(at + S_AAFI::kHeaderSize, pointerBytes);
    if (!src) return fail(reader.FailOffset());
    m_pRecord->srp.assign(src, src + pointerBytes);
    uint64_t size = S_AAFI::kHeaderSize + pointerBytes;

    m_pRecord->groups.resize(n);
    for (WORD i = 0; i < n; ++i) {
        const uint64_t groupAt = uint64_t{m_dwBase} + fnGet_dwS_AAGI_SA(i);
        if (!reader.Has(groupAt, S_AAGI::kGeneralSize)) return fail(groupAt);
        CS_AAGI group(m_pBuffer, &m_pRecord->groups[i], static_cast<DWORD>(groupAt));
        const DWORD groupSize = group.fndwLoad_S_AAGI_From_File();
        if (!groupSize) return fail(groupAt);
        size += groupSize;
        // Groups may share bytes on disc; their copies may not add up to
        // more than the file holds.
        if (size > fileSize) return fail(groupAt);
    }
    m_wS_AAGI_SRP_Ns = n;
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CS_AAFI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    DWORD size = S_AAFI::kHeaderSize + S_AAFI::kSrpSize * DWORD{n};
    for (WORD i = 0; i < n; ++i) {
        if (i < m_pRecord->groups.size()) {
            size += CS_AAGI(&m_pRecord->groups[i]).fndwDataSize();
        } else {
            size += S_AAGI::kGeneralSize;
        }
    }
    return size;
}

DWORD CS_AAFI::fnReadData(BYTE* out) {
    if (!out || !m_pRecord) return 0;
    const WORD n = fnGet_wS_AAGI_SRP_Ns();
    m_wS_AAGI_SRP_Ns = n;
    if (m_pRecord->srp.size() < size_t{S_AAFI::kSrpSize} * n) m_pRecord->srp.resize(size_t{S_AAFI::kSrpSize} * n, 0);
    DWORD pos = S_AAFI::kHeaderSize + S_AAFI::kSrpSize * DWORD{n};
    for (WORD i = 0; i < n; ++i) {
        fnSet_dwS_AAGI_SA(i, m_dwBase + pos);
        if (i < m_pRecord->groups.size()) {
            pos += CS_AAGI(&m_pRecord->groups[i]).fnReadData(out + pos);
        } else {
            std::memset(out + pos, 0, S_AAGI::kGeneralSize);
            pos += S_AAGI::kGeneralSize;
        }
    }
    std::memcpy(out, m_pRecord->header, S_AAFI::kHeaderSize);
    if (n) std::memcpy(out + S_AAFI::kHeaderSize, m_pRecord->srp.data(), size_t{S_AAFI::kSrpSize} * n);
    return pos;
}
