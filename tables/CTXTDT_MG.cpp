#include "tables/CTXTDT_MG.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"

CTXTDT_MG::CTXTDT_MG(WORD)
    : m_pModel(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wIT_TXT_SRP_Ns(0), m_dwOffset(0), m_dwTextSize(0) {}

CTXTDT_MG::CTXTDT_MG(TXTDT_MG* model)
    : m_pModel(model), m_pBuffer(nullptr), m_dwSize(0), m_wIT_TXT_SRP_Ns(0), m_dwOffset(0), m_dwTextSize(0) {
    m_wIT_TXT_SRP_Ns = fnGet_wIT_TXT_SRP_Ns();
}

CTXTDT_MG::CTXTDT_MG(CBuffer* buffer, TXTDT_MG* model, DWORD offset)
    : m_pModel(model), m_pBuffer(buffer), m_dwSize(0), m_wIT_TXT_SRP_Ns(0), m_dwOffset(offset), m_dwTextSize(0) {}

BYTE* CTXTDT_MG::SearchPointer(WORD i) const {
    return m_pModel ? vrm::EntryAt(m_pModel->srp, TXTDT_MG::kSRPSize, i) : nullptr;
}

BYTE* CTXTDT_MG::Text(WORD i) const {
    if (!m_pModel || m_pModel->text.empty() || !SearchPointer(i)) return nullptr;
    // The start address counts from the table's first byte; the block
    // starts right behind the search pointers.
    const int64_t at = int64_t{fnGet_wIT_TXT_SA(i)} -
                       (int64_t{TXTDT_MG::kHeaderSize} + int64_t{TXTDT_MG::kSRPSize} * fnGet_wIT_TXT_SRP_Ns());
    if (at < 0 || static_cast<uint64_t>(at) + fnGet_wIT_TXT_SZ(i) > m_pModel->text.size()) return nullptr;
    return m_pModel->text.data() + at;
}

int CTXTDT_MG::fnGet_IT_TXT(WORD i, BYTE* out) const {
    BYTE* text = Text(i);
    if (!out || !text) return 0;
    std::memcpy(out, text, fnGet_wIT_TXT_SZ(i));
    return 1;
}

int CTXTDT_MG::fnSet_IT_TXT(WORD i, const BYTE* src, DWORD len) {
    BYTE* text = Text(i);
    if (!src || !text || len > fnGet_wIT_TXT_SZ(i)) return 0;
    std::memcpy(text, src, len);
    return 1;
}

int CTXTDT_MG::fnSetZero() {
    if (!m_pModel) return 0;
    std::memset(m_pModel->header, 0, sizeof m_pModel->header);
    const size_t n = std::min(size_t{TXTDT_MG::kSRPSize} * m_wIT_TXT_SRP_Ns, m_pModel->srp.size());
    std::fill(m_pModel->srp.begin(), m_pModel->srp.begin() + static_cast<std::ptrdiff_t>(n), BYTE{0});
    return 1;
}

int CTXTDT_MG::fnNew(BYTE chrs) {
    if (!m_pModel) return 0;
    fnSet_c1_CHRS(chrs);
    m_pModel->header[TXTDT_MG_HEADER::At::reserved1] = 0;
    fnSet_wIT_TXT_SRP_Ns(0);
    m_pModel->srp.clear();
    m_pModel->text.clear();
    m_wIT_TXT_SRP_Ns = 0;
    return 1;
}

uint64_t CTXTDT_MG::SerialisedSize() const {
    const WORD n = fnGet_wIT_TXT_SRP_Ns();
    uint64_t size = TXTDT_MG::kHeaderSize + uint64_t{TXTDT_MG::kSRPSize} * n;
    for (WORD i = 0; i < n; ++i) size += fnGet_wIT_TXT_SZ(i);
    return size;
}

DWORD CTXTDT_MG::fndwDataSize() const {
    if (!m_pModel) return 0;
    const uint64_t size = SerialisedSize();
    return size > kMaxSize ? 0 : static_cast<DWORD>(size);
}

DWORD CTXTDT_MG::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pModel || SerialisedSize() > kMaxSize) return 0;
    const WORD n = fnGet_wIT_TXT_SRP_Ns();
    m_wIT_TXT_SRP_Ns = n;
    DWORD size = TXTDT_MG::kHeaderSize;
    if (n > 0) {
        // A count raised by hand beyond the pointers held: the missing ones
        // are empty texts.
        if (m_pModel->srp.size() < size_t{TXTDT_MG::kSRPSize} * n)
            m_pModel->srp.resize(size_t{TXTDT_MG::kSRPSize} * n, 0);
        size += TXTDT_MG::kSRPSize * n;
        const DWORD textStart = size;
        for (WORD i = 0; i < n; ++i) {
            // IT_TXT_SA is 16 bits: a table beyond 64 KB cannot address its
            // later texts, and they keep only the low bits of their start.
            fnSet_wIT_TXT_SA(i, static_cast<WORD>(size));
            size += fnGet_wIT_TXT_SZ(i);
        }
        w.Bytes(at + TXTDT_MG::kHeaderSize, m_pModel->srp.data(), size_t{TXTDT_MG::kSRPSize} * n);
        // Sizes raised by hand beyond the block are written as zero bytes.
        w.BytesOrZeros(at + textStart, m_pModel->text, size - textStart);
    }
    fnSet_dwTXTDT_MG_EA(size - 1);
    w.Bytes(at, m_pModel->header, TXTDT_MG::kHeaderSize);
    return size;
}

DWORD CTXTDT_MG::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CTXTDT_MG::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pModel) return;
    vrm::DumpRecord<TXTDT_MG_HEADER>(m_pModel->header, indent, out);
    const WORD n = fnGet_wIT_TXT_SRP_Ns();
    for (WORD i = 0; i < n; ++i) {
        vrm::DumpEntry<IT_TXT_SRP>("IT_TXT_SRP", i + 1u, SearchPointer(i), indent, out);
        const BYTE* text = Text(i);
        if (!text) continue;
        // Texts are short names; a long one is cut so that the dump stays
        // readable.
        const WORD size = fnGet_wIT_TXT_SZ(i);
        const WORD shown = std::min<WORD>(size, 64);
        out += indent + "  IT_TXT =";
        char hex[4];
        for (WORD b = 0; b < shown; ++b) {
            std::snprintf(hex, sizeof hex, " %02X", text[b]);
            out += hex;
        }
        out += shown < size ? " ...\n" : "\n";
    }
}

DWORD CTXTDT_MG::fndwLoad_TXTDT_MG_From_File() {
    if (!m_pModel || !m_pBuffer) return 0;
    std::memset(m_pModel->header, 0, sizeof m_pModel->header);
    m_pModel->srp.clear();
    m_pModel->text.clear();
    m_wIT_TXT_SRP_Ns = 0;
    m_dwTextSize = 0;
    m_dwSize = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t at = m_dwOffset;
    if (!reader.Bytes(at, m_pModel->header, TXTDT_MG::kHeaderSize)) return 0;
    uint64_t size = TXTDT_MG::kHeaderSize;
    const WORD n = fnGet_wIT_TXT_SRP_Ns();
    m_wIT_TXT_SRP_Ns = n;
    if (n > 0) {
        const uint64_t srpBytes = uint64_t{TXTDT_MG::kSRPSize} * n;
        const BYTE* srp = reader.Span(at + size, srpBytes);
        if (!srp) return 0;
        m_pModel->srp.assign(srp, srp + srpBytes);
        size += srpBytes;
        uint64_t total = 0;
        for (WORD i = 0; i < n; ++i) total += fnGet_wIT_TXT_SZ(i);
        if (total > 0) {
            const BYTE* text = reader.Span(at + size, total);
            if (!text) return 0;
            m_pModel->text.assign(text, text + total);
            m_dwTextSize = static_cast<DWORD>(total);
            size += total;
        }
    }
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

void CTXTDT_MG::fnFreeAllData() {
    if (!m_pModel) return;
    m_pModel->srp.clear();
    m_pModel->text.clear();
    delete m_pModel;
    m_pModel = nullptr;
}
