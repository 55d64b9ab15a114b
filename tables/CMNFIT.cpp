#include "tables/CMNFIT.h"

#include <algorithm>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"

CMNFIT::CMNFIT(WORD) : m_pModel(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wMNFI_Ns(0), m_dwOffset(0) {}

CMNFIT::CMNFIT(MNFIT* model) : m_pModel(model), m_pBuffer(nullptr), m_dwSize(0), m_wMNFI_Ns(0), m_dwOffset(0) {
    m_wMNFI_Ns = fnGet_wMNFI_Ns();
}

CMNFIT::CMNFIT(CBuffer* buffer, MNFIT* model, DWORD offset)
    : m_pModel(model), m_pBuffer(buffer), m_dwSize(0), m_wMNFI_Ns(0), m_dwOffset(offset) {}

BYTE* CMNFIT::SearchPointer(WORD i) const {
    return m_pModel ? vrm::EntryAt(m_pModel->srp, MNFIT::kSRPSize, i) : nullptr;
}

BYTE* CMNFIT::Record(WORD i) const {
    if (!m_pModel || i >= m_pModel->records.size()) return nullptr;
    return m_pModel->records[i].fixed;
}

std::vector<BYTE>* CMNFIT::Data(WORD i) const {
    if (!m_pModel || i >= m_pModel->records.size() || m_pModel->records[i].data.empty()) return nullptr;
    return &m_pModel->records[i].data;
}

WORD CMNFIT::fnGet_MNFI_DT_Len(WORD i) const {
    const WORD last = static_cast<WORD>(fnGet_wMNFI_Ns() - 1);
    // MNFIT_EA is the table's last byte, one short of its end.
    if (i == last) return static_cast<WORD>(fnGet_dwMNFIT_EA() - fnGet_wMNFI_SA(i) - (MNFI::kFixedSize - 1));
    return static_cast<WORD>(fnGet_wMNFI_SA(static_cast<WORD>(i + 1)) - fnGet_wMNFI_SA(i) - MNFI::kFixedSize);
}

int CMNFIT::fnGet_pMNFI_DT(WORD i, BYTE* out) const {
    const std::vector<BYTE>* data = Data(i);
    if (!out || !data) return 0;
    const WORD len = fnGet_MNFI_DT_Len(i);
    // Addresses edited by hand may promise more than the record holds.
    if (len > data->size()) return 0;
    std::memcpy(out, data->data(), len);
    return 1;
}

int CMNFIT::fnSet_pMNFI_DT(WORD i, const BYTE* src, DWORD len) {
    std::vector<BYTE>* data = Data(i);
    if (!src || !data || len > data->size()) return 0;
    std::memcpy(data->data(), src, len);
    return 1;
}

int CMNFIT::fnSetZero() {
    if (!m_pModel) return 0;
    std::memset(m_pModel->header, 0, sizeof m_pModel->header);
    const size_t srpBytes = std::min(size_t{MNFIT::kSRPSize} * m_wMNFI_Ns, m_pModel->srp.size());
    std::fill(m_pModel->srp.begin(), m_pModel->srp.begin() + static_cast<std::ptrdiff_t>(srpBytes), BYTE{0});
    const size_t records = std::min<size_t>(m_wMNFI_Ns, m_pModel->records.size());
    for (size_t i = 0; i < records; ++i) m_pModel->records[i] = MNFI{};
    return 1;
}

int CMNFIT::fnNew() {
    if (!m_pModel) return 0;
    fnSet_wMNFI_Ns(0);
    m_pModel->srp.clear();
    m_pModel->records.clear();
    m_wMNFI_Ns = 0;
    return 1;
}

DWORD CMNFIT::fndwDataSize() const {
    if (!m_pModel) return 0;
    const WORD n = fnGet_wMNFI_Ns();
    size_t size = MNFIT::kHeaderSize + size_t{MNFIT::kSRPSize} * n;
    for (WORD i = 0; i < n; ++i) {
        size += MNFI::kFixedSize;
        if (i < m_pModel->records.size()) size += m_pModel->records[i].data.size();
    }
    return static_cast<DWORD>(size);
}

DWORD CMNFIT::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pModel) return 0;
    const WORD n = fnGet_wMNFI_Ns();
    m_wMNFI_Ns = n;
    DWORD size = MNFIT::kHeaderSize;
    if (n > 0) {
        // A count raised by hand beyond the pointers held: the missing
        // records are written empty, their fixed bytes zero and no data.
        if (m_pModel->srp.size() < size_t{MNFIT::kSRPSize} * n) m_pModel->srp.resize(size_t{MNFIT::kSRPSize} * n, 0);
        size += MNFIT::kSRPSize * n;
        for (WORD i = 0; i < n; ++i) {
            // MNFI_SA is 16 bits: in a table beyond 64 KB the later records
            // keep only the low bits of their start.
            fnSet_wMNFI_SA(i, static_cast<WORD>(size));
            if (i < m_pModel->records.size()) {
                const MNFI& record = m_pModel->records[i];
                w.Bytes(at + size, record.fixed, MNFI::kFixedSize);
                w.Bytes(at + size + MNFI::kFixedSize, record.data.data(), record.data.size());
                size += static_cast<DWORD>(MNFI::kFixedSize + record.data.size());
            } else {
                w.Fill(at + size, 0, MNFI::kFixedSize);
                size += MNFI::kFixedSize;
            }
        }
        w.Bytes(at + MNFIT::kHeaderSize, m_pModel->srp.data(), size_t{MNFIT::kSRPSize} * n);
    }
    fnSet_dwMNFIT_EA(size - 1);
    if (n > 0) {
        BYTE id[32];
        if (fnGet_c32_MNF_ID(static_cast<WORD>(n - 1), id)) fnSet_c32_LAST_MNF_ID(id, sizeof id);
    }
    w.Bytes(at, m_pModel->header, MNFIT::kHeaderSize);
    return size;
}

DWORD CMNFIT::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CMNFIT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pModel) return;
    vrm::DumpRecord<MNFIT_HEADER>(m_pModel->header, indent, out);
    // Records the arrays lack are written as zeros without data.
    static const BYTE kMissing[MNFI::kFixedSize] = {};
    const std::string inner = indent + "  ";
    const WORD n = fnGet_wMNFI_Ns();
    for (WORD i = 0; i < n; ++i) {
        vrm::DumpHeading("MNFI", i + 1u, indent, out);
        const BYTE* srp = SearchPointer(i);
        const BYTE* fixed = Record(i);
        vrm::DumpRecord<MNFI_SRP>(srp ? srp : kMissing, inner, out);
        vrm::DumpRecord<MNFI_FIXED>(fixed ? fixed : kMissing, inner, out);
        const size_t data = fixed ? m_pModel->records[i].data.size() : 0;
        out += inner + "MNFI_DT = " + std::to_string(data) + " bytes\n";
    }
}

DWORD CMNFIT::fndwLoad_MNFIT_From_File() {
    if (!m_pModel || !m_pBuffer) return 0;
    std::memset(m_pModel->header, 0, sizeof m_pModel->header);
    m_pModel->srp.clear();
    m_pModel->records.clear();
    m_wMNFI_Ns = 0;
    m_dwSize = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t at = m_dwOffset;
    // Marks the reader failed at a value read that points outside the file.
    auto fail = [&](uint64_t offset) {
        reader.Fail(offset);
        return DWORD{0};
    };
    if (!reader.Bytes(at, m_pModel->header, MNFIT::kHeaderSize)) return 0;
    uint64_t size = MNFIT::kHeaderSize;
    const WORD n = fnGet_wMNFI_Ns();
    m_wMNFI_Ns = n;
    if (n > 0) {
        const uint64_t srpBytes = uint64_t{MNFIT::kSRPSize} * n;
        const BYTE* srp = reader.Span(at + size, srpBytes);
        if (!srp) return 0;
        m_pModel->srp.assign(srp, srp + srpBytes);
        size += srpBytes;
        // Every record takes at least its fixed bytes of the file.
        if (size + uint64_t{MNFI::kFixedSize} * n > reader.Size()) return fail(at + size);
        m_pModel->records.resize(n);
        for (WORD i = 0; i < n; ++i) {
            MNFI& record = m_pModel->records[i];
            const uint64_t start = at + fnGet_wMNFI_SA(i);
            if (!reader.Bytes(start, record.fixed, MNFI::kFixedSize)) return 0;
            size += MNFI::kFixedSize;
            const WORD len = fnGet_MNFI_DT_Len(i);
            const BYTE* data = reader.Span(start + MNFI::kFixedSize, len);
            if (!data) return 0;
            record.data.assign(data, data + len);
            size += len;
            // Records may overlap on a garbled disc; what the table loads can
            // never exceed the file itself.
            if (size > reader.Size()) return fail(start);
        }
    }
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

void CMNFIT::fnFreeAllData() {
    if (!m_pModel) return;
    m_pModel->srp.clear();
    m_pModel->records.clear();
    delete m_pModel;
    m_pModel = nullptr;
}
