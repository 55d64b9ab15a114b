#include "tables/CS_AAGI.h"

#include <algorithm>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"

CS_AAGI::CS_AAGI(BYTE) : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_cAA_ENT_Ns(0), m_dwStart(0) {}

CS_AAGI::CS_AAGI(S_AAGI* record)
    : m_pRecord(record), m_pBuffer(nullptr), m_dwSize(0), m_cAA_ENT_Ns(fnGet_c1_AA_ENT_Ns()), m_dwStart(0) {}

CS_AAGI::CS_AAGI(CBuffer* buffer, S_AAGI* record, DWORD start)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_cAA_ENT_Ns(0), m_dwStart(start) {}

BYTE* CS_AAGI::Slot(BYTE i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->entries, S_AAGI::kEntrySize, i) : nullptr;
}

int CS_AAGI::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->general, 0, S_AAGI::kGeneralSize);
    const size_t n = std::min(size_t{S_AAGI::kEntrySize} * m_cAA_ENT_Ns, m_pRecord->entries.size());
    std::fill_n(m_pRecord->entries.begin(), n, BYTE{0});
    return 1;
}

DWORD CS_AAGI::fndwSize() {
    m_dwSize = S_AAGI::kGeneralSize + S_AAGI::kEntrySize * DWORD{m_cAA_ENT_Ns};
    return m_dwSize;
}

DWORD CS_AAGI::fndwLoad_S_AAGI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    std::memset(m_pRecord->general, 0, S_AAGI::kGeneralSize);
    std::vector<BYTE>().swap(m_pRecord->entries);
    m_dwSize = 0;
    m_cAA_ENT_Ns = 0;

    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t at = m_dwStart;
    const BYTE* src = nullptr;
    if (reader.Bytes(at, m_pRecord->general, S_AAGI::kGeneralSize)) {
        src = reader.Span(at + S_AAGI::kGeneralSize, uint64_t{S_AAGI::kEntrySize} * fnGet_c1_AA_ENT_Ns());
    }
    if (!src) {
        std::memset(m_pRecord->general, 0, S_AAGI::kGeneralSize);
        return 0;
    }
    const BYTE k = fnGet_c1_AA_ENT_Ns();
    const size_t body = size_t{S_AAGI::kEntrySize} * k;
    m_pRecord->entries.assign(src, src + body);
    m_cAA_ENT_Ns = k;
    m_dwSize = static_cast<DWORD>(S_AAGI::kGeneralSize + body);
    return m_dwSize;
}

DWORD CS_AAGI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    return S_AAGI::kGeneralSize + S_AAGI::kEntrySize * DWORD{fnGet_c1_AA_ENT_Ns()};
}

DWORD CS_AAGI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    const BYTE k = fnGet_c1_AA_ENT_Ns();
    const size_t body = size_t{S_AAGI::kEntrySize} * k;
    w.Bytes(at, m_pRecord->general, S_AAGI::kGeneralSize);
    w.BytesOrZeros(at + S_AAGI::kGeneralSize, m_pRecord->entries, body);
    m_cAA_ENT_Ns = k;
    return static_cast<DWORD>(S_AAGI::kGeneralSize + body);
}

DWORD CS_AAGI::fnReadData(BYTE* out) {
    if (!m_pRecord) return 0;
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CS_AAGI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<S_AAGI_GI>(m_pRecord->general, indent, out);
    for (BYTE i = 0; i < fnGet_c1_AA_ENT_Ns(); ++i) vrm::DumpEntry<AA_ENT>("AA_ENT", i + 1u, Entry(i), indent, out);
}
