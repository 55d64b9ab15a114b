#include "tables/CUD_PGCIT.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/PointedRecords.h"
#include "io/codecs.h"

CUD_PGCIT::CUD_PGCIT(BYTE)
    : m_pRecord(nullptr),
      m_pBuffer(nullptr),
      m_dwSize(0),
      m_cUD_PGCI_SRP_Ns(0),
      m_cCurrentUD_PGCI_Num(0),
      m_dwStart(0) {}

CUD_PGCIT::CUD_PGCIT(UD_PGCIT* record)
    : m_pRecord(record), m_pBuffer(nullptr), m_dwSize(0), m_cUD_PGCI_SRP_Ns(0), m_cCurrentUD_PGCI_Num(0), m_dwStart(0) {
    m_cUD_PGCI_SRP_Ns = fnGet_c1_UD_PGCI_SRP_Ns();
}

CUD_PGCIT::CUD_PGCIT(CBuffer* buffer, UD_PGCIT* record, DWORD start)
    : m_pRecord(record),
      m_pBuffer(buffer),
      m_dwSize(0),
      m_cUD_PGCI_SRP_Ns(0),
      m_cCurrentUD_PGCI_Num(0),
      m_dwStart(start) {}

BYTE* CUD_PGCIT::SearchPointer(BYTE i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->srp, UD_PGCIT::kSRPSize, i) : nullptr;
}

PGCI* CUD_PGCIT::Chain(BYTE num) const {
    if (!m_pRecord || num == 0 || num > fnGet_c1_UD_PGCI_SRP_Ns() || num > m_pRecord->pgci.size()) return nullptr;
    return &m_pRecord->pgci[num - 1u];
}

void CUD_PGCIT::Reserve(DWORD n) {
    if (m_pRecord->srp.size() < size_t{UD_PGCIT::kSRPSize} * n)
        m_pRecord->srp.resize(size_t{UD_PGCIT::kSRPSize} * n, 0);
    if (m_pRecord->pgci.size() < n) m_pRecord->pgci.resize(n);
}

int CUD_PGCIT::fnNew() {
    if (!m_pRecord) return 0;
    m_pRecord->header[UD_PGCIT_HEADER::At::reserved0] = 0;
    fnSet_c1_UD_PGCI_SRP_Ns(0);
    m_pRecord->srp.clear();
    m_pRecord->pgci.clear();
    m_cUD_PGCI_SRP_Ns = 0;
    m_dwSize = UD_PGCIT::kHeaderSize;
    return 1;
}

int CUD_PGCIT::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, sizeof m_pRecord->header);
    const size_t srpBytes = std::min(size_t{UD_PGCIT::kSRPSize} * m_cUD_PGCI_SRP_Ns, m_pRecord->srp.size());
    std::fill(m_pRecord->srp.begin(), m_pRecord->srp.begin() + static_cast<std::ptrdiff_t>(srpBytes), BYTE{0});
    const size_t chains = std::min<size_t>(m_cUD_PGCI_SRP_Ns, m_pRecord->pgci.size());
    for (size_t i = 0; i < chains; ++i) m_pRecord->pgci[i] = PGCI{};
    return 1;
}

DWORD CUD_PGCIT::fndwDataSize() const {
    if (!m_pRecord) return 0;
    return vrm::PointedRecordsSize(UD_PGCIT::kHeaderSize, fnGet_c1_UD_PGCI_SRP_Ns(), PGCI::kHeaderSize, m_pRecord->pgci,
                                   [](const PGCI& chain) { return CPGCI(const_cast<PGCI*>(&chain)).fndwDataSize(); });
}

DWORD CUD_PGCIT::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    const BYTE n = fnGet_c1_UD_PGCI_SRP_Ns();
    m_cUD_PGCI_SRP_Ns = n;
    // Chains the array lacks (a count raised by hand) are written as empty
    // chains; the pointers count from the table's first byte.
    const DWORD length = vrm::WritePointedRecords(
        w, at, UD_PGCIT::kHeaderSize, n, 0, PGCI::kHeaderSize, m_pRecord->srp, m_pRecord->pgci,
        [](PGCI& chain, vrm::ByteWriter& to, uint64_t offset) { return CPGCI(&chain).fnWrite(to, offset); });
    fnSet_dwUD_PGCIT_EA(length - 1);
    w.Bytes(at, m_pRecord->header, UD_PGCIT::kHeaderSize);
    return length;
}

DWORD CUD_PGCIT::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CUD_PGCIT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<UD_PGCIT_HEADER>(m_pRecord->header, indent, out);
    const BYTE n = fnGet_c1_UD_PGCI_SRP_Ns();
    for (BYTE i = 0; i < n; ++i) vrm::DumpEntry<UD_PGCI_SRP>("UD_PGCI_SRP", i + 1u, SearchPointer(i), indent, out);
    for (BYTE i = 0; i < n; ++i) {
        vrm::DumpHeading("UD_PGCI", i + 1u, indent, out);
        PGCI empty{};
        CPGCI(i < m_pRecord->pgci.size() ? &m_pRecord->pgci[i] : &empty).fnDump(out, indent + "  ");
    }
}

void CUD_PGCIT::AddFirstEntryPoint(PGCI* chain) {
    CPGCI pgci(chain);
    if (pgci.fnGetEntryPtNo(1, 1) != 0) return;
    BYTE type = 0;
    WORD srpn = 0;
    __int64 start = 0;
    if (!pgci.fnGetCellInfo(1, 1, &type, &srpn, &start, nullptr)) return;
    if (CCI::fnGet_CI_TYPE(type) != CI::kMovie) return;
    BYTE ptm[6];
    if (!PtmFrom27MHz(start, ptm)) return;
    pgci.fnADD_Movie_Entry_Point(1, 0, ptm, nullptr);
}

DWORD CUD_PGCIT::fndwLoad_UD_PGCIT_From_File() {
    if (!m_pRecord || !m_pBuffer || m_dwStart == 0) return 0;
    std::memset(m_pRecord->header, 0, sizeof m_pRecord->header);
    m_pRecord->srp.clear();
    m_pRecord->pgci.clear();
    m_cUD_PGCI_SRP_Ns = 0;
    m_dwSize = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    if (!reader.Bytes(m_dwStart, m_pRecord->header, UD_PGCIT::kHeaderSize)) return 0;
    const BYTE n = fnGet_c1_UD_PGCI_SRP_Ns();
    m_cUD_PGCI_SRP_Ns = n;
    // The pointers count from the table's first byte.
    const uint64_t size =
        vrm::LoadPointedRecords(*m_pBuffer, m_dwStart, UD_PGCIT::kHeaderSize, n, m_dwStart, PGCI::kHeaderSize,
                                m_pRecord->srp, m_pRecord->pgci, [this](PGCI& chain, DWORD at) {
                                    const DWORD consumed = CPGCI(m_pBuffer, &chain, at).fndwLoad_PGCI_From_File();
                                    if (consumed) AddFirstEntryPoint(&chain);
                                    return consumed;
                                });
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

void CUD_PGCIT::fnFreeAllData() {
    if (!m_pRecord) return;
    m_pRecord->srp.clear();
    for (PGCI& chain : m_pRecord->pgci) CPGCI(&chain).fnFreeAllData(0);
    m_pRecord->pgci.clear();
    delete m_pRecord;
    m_pRecord = nullptr;
}

int CUD_PGCIT::fnADD_UD_PGCI() {
    if (!m_pRecord) return 0;
    const BYTE n = fnGet_c1_UD_PGCI_SRP_Ns();
    if (n >= kMaxChains) return 0;
    // The new chain goes behind the n counted ones; entries left behind by
    // earlier deletes are dropped.
    m_pRecord->srp.resize(size_t{UD_PGCIT::kSRPSize} * n);
    m_pRecord->srp.resize(size_t{UD_PGCIT::kSRPSize} * (n + 1u), 0);
    m_pRecord->pgci.resize(n);
    m_pRecord->pgci.emplace_back();
    CPGCI(&m_pRecord->pgci.back()).fnNew();
    fnSet_c1_UD_PGCI_SRP_Ns(static_cast<BYTE>(n + 1));
    m_cUD_PGCI_SRP_Ns = static_cast<BYTE>(n + 1);
    return 1;
}

int CUD_PGCIT::fnDEL_UD_PGCI(BYTE num) {
    if (!m_pRecord) return 0;
    const BYTE n = fnGet_c1_UD_PGCI_SRP_Ns();
    if (num == 0 || num > n) return 0;
    Reserve(n);
    CPGCI(&m_pRecord->pgci[num - 1u]).fnFreeAllData(0);
    if (n == 1) {
        m_pRecord->srp.clear();
        m_pRecord->pgci.clear();
    } else {
        std::vector<PGCI>& chains = m_pRecord->pgci;
        std::move(chains.begin() + num, chains.begin() + n, chains.begin() + (num - 1));
        chains[n - 1u] = PGCI{};
        BYTE* srp = m_pRecord->srp.data();
        std::memmove(srp + size_t{UD_PGCIT::kSRPSize} * (num - 1u), srp + size_t{UD_PGCIT::kSRPSize} * num,
                     size_t{UD_PGCIT::kSRPSize} * (n - num));
    }
    fnSet_c1_UD_PGCI_SRP_Ns(static_cast<BYTE>(n - 1));
    m_cUD_PGCI_SRP_Ns = static_cast<BYTE>(n - 1);
    return 1;
}

int CUD_PGCIT::fnADD_Movie_Cell(BYTE num, M_VOBI* vobi, WORD vobiNo) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnADD_UD_Movie_Cell(vobi, vobiNo, -1) ? 1 : 0;
}

int CUD_PGCIT::fnADD_UD_Movie_Cell(BYTE num, const BYTE* startPtm, const BYTE* endPtm, WORD vobiNo, int pos) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnADD_UD_Movie_Cell(startPtm, endPtm, vobiNo, pos) ? 1 : 0;
}

int CUD_PGCIT::fnADD_Still_Pic_Cell(BYTE num, S_VOGI* vogi, WORD vogiNo) {
    PGCI* chain = Chain(num);
    if (!chain) return 0;
    return CPGCI(chain).fnADD_UD_Still_Pic_Cell(vogi, vogiNo, -1) ? 1 : 0;
}

int CUD_PGCIT::fnADD_Movie_Cell_EntryPoint(BYTE num, WORD c, WORD pos, const BYTE* ptm, const BYTE* text) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnADD_Movie_Entry_Point(c, pos, ptm, text) ? 1 : 0;
}

// ---- Cell and entry-point edits of one chain ----

int CUD_PGCIT::fnDEL_Movie_Cell(BYTE num, WORD cell) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnDEL_UD_Cell(cell) ? 1 : 0;
}

int CUD_PGCIT::fnADD_Movie_Cell_EntryPoint(BYTE num, WORD n, const BYTE* ptm, const BYTE* text) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnADD_Movie_Entry_Point(n, ptm, text) ? 1 : 0;
}

int CUD_PGCIT::fnADD_Movie_Cell_EntryPoint(BYTE num, WORD n, __int64 offset, const BYTE* text) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnADD_Movie_Entry_Point(n, offset, text) ? 1 : 0;
}

int CUD_PGCIT::fnDEL_Movie_Entry_Point(BYTE num, WORD cell, WORD e) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnDEL_Movie_Entry_Point(cell, e) ? 1 : 0;
}

int CUD_PGCIT::fnDEL_Movie_Entry_Point(BYTE num, WORD n) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnDEL_Movie_Entry_Point(n) ? 1 : 0;
}

int CUD_PGCIT::fnCombine_UD_Cell_EntryPoint(BYTE num, WORD c1, WORD e1, WORD c2, WORD e2) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnCombine_UD_Cell_EntryPoint(c1, e1, c2, e2) ? 1 : 0;
}

int CUD_PGCIT::fnCombine_EntryPoint(BYTE num, WORD nFirst, WORD nLast) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnCombine_EntryPoint(nFirst, nLast) ? 1 : 0;
}

// ---- end of cell and entry-point edits ----

int CUD_PGCIT::fnTranslateAddress(BYTE num, int pg, int cell, WORD ep, WORD* cellIndex, WORD* epInCell) {
    PGCI* chain = Chain(num);
    return chain && CPGCI(chain).fnTranslateAddress(pg, cell, ep, cellIndex, epInCell) ? 1 : 0;
}

DWORD CUD_PGCIT::fnGetPGCIDuration(BYTE num, BYTE stillTm, int cells, int inRange, int first, int last) {
    PGCI* chain = Chain(num);
    if (!chain) return 0;
    CPGCI pgci(chain);
    return cells == 0 ? pgci.fnGetTotalEntryPTDuration(stillTm, inRange, first, last)
                      : pgci.fnGetTotalCellDuration(stillTm, inRange, first, last);
}

DWORD CUD_PGCIT::fnGetTotalEntryPointNs(BYTE num, int inRange, int first, int last) {
    PGCI* chain = Chain(num);
    return chain ? CPGCI(chain).fnGetTotalEntryPointNs(inRange, first, last) : 0;
}

DWORD CUD_PGCIT::fnGet_CI_SRP_Ns(BYTE num) {
    PGCI* chain = Chain(num);
    return chain ? CPGCI(chain).fnGet_wCI_SRP_Ns() : 0;
}
