#include "tables/CPL_SRPT.h"

#include <algorithm>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/codecs.h"
#include "platform/clock.h"
#include "tables/CPGCI.h"
#include "tables/CUD_PGCIT.h"

CPL_SRPT::CPL_SRPT(BYTE)
    : m_pModel(nullptr), m_dwOwns(0), m_pBuffer(nullptr), m_dwOffset(0), m_cPL_SRP_Ns(0), m_dwPL_SRPT_EA(0) {}

CPL_SRPT::CPL_SRPT(PL_SRPT* model)
    : m_pModel(model),
      m_dwOwns(0),
      m_pBuffer(nullptr),
      m_dwOffset(0),
      m_cPL_SRP_Ns(fnGet_c1_PL_SRP_Ns()),
      m_dwPL_SRPT_EA(fnGet_dwPL_SRPT_EA()) {}

CPL_SRPT::CPL_SRPT(CBuffer* buffer, PL_SRPT* model, DWORD offset)
    : m_pModel(model), m_dwOwns(0), m_pBuffer(buffer), m_dwOffset(offset), m_cPL_SRP_Ns(0), m_dwPL_SRPT_EA(0) {}

CPL_SRPT::~CPL_SRPT() {
    if (m_dwOwns) delete m_pModel;
}

BYTE* CPL_SRPT::Entry(BYTE i) const {
    return m_pModel ? vrm::EntryAt(m_pModel->entries, PL_SRPT::kEntrySize, i) : nullptr;
}

int CPL_SRPT::fnSetZero() {
    if (!m_pModel) return 0;
    std::memset(m_pModel->header, 0, sizeof m_pModel->header);
    m_pModel->entries.clear();
    return 1;
}

int CPL_SRPT::fnNew() {
    if (!m_pModel) return 0;
    fnSet_c1_PL_SRP_Ns(0);
    fnSet_dwPL_SRPT_EA(7);
    m_cPL_SRP_Ns = 0;
    return 1;
}

DWORD CPL_SRPT::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pModel) return 0;
    const DWORD n = fnGet_c1_PL_SRP_Ns();
    const DWORD body = PL_SRPT::kEntrySize * n;
    w.BytesOrZeros(at + PL_SRPT::kHeaderSize, m_pModel->entries, body);
    const DWORD size = PL_SRPT::kHeaderSize + body;
    fnSet_dwPL_SRPT_EA(size - 1);
    w.Bytes(at, m_pModel->header, PL_SRPT::kHeaderSize);
    return size;
}

DWORD CPL_SRPT::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

DWORD CPL_SRPT::fnLoad_PL_SRPT_From_File() {
    if (!m_pModel || !m_pBuffer) return 0;
    fnSetZero();
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t at = m_dwOffset;
    if (!reader.Bytes(at, m_pModel->header, PL_SRPT::kHeaderSize)) return 0;
    m_cPL_SRP_Ns = fnGet_c1_PL_SRP_Ns();
    m_dwPL_SRPT_EA = fnGet_dwPL_SRPT_EA();
    const uint64_t body = uint64_t{PL_SRPT::kEntrySize} * m_cPL_SRP_Ns;
    const BYTE* src = reader.Span(at + PL_SRPT::kHeaderSize, body);
    if (!src) return 0;
    m_pModel->entries.assign(src, src + body);
    return static_cast<DWORD>(PL_SRPT::kHeaderSize + body);
}

void CPL_SRPT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pModel) return;
    vrm::DumpRecord<PL_SRPT_HEADER>(m_pModel->header, indent, out);
    const BYTE n = fnGet_c1_PL_SRP_Ns();
    for (BYTE i = 0; i < n; ++i) vrm::DumpEntry<PL_SRP>("PL_SRP", i + 1u, Entry(i), indent, out);
}

int CPL_SRPT::fnADD_PlayList_Pointer(PGCI* pgci, BYTE pgcn, const SYSTEMTIME* created) {
    if (!pgci) return 0;
    return AddPointer(CPGCI(pgci).fnGetPGCI_TY(0, 0, 0), pgcn, created);
}

int CPL_SRPT::fnSet_PL_TY(PGCI* pgci, BYTE i) {
    if (!pgci) return 0;
    return fnSet_c1_PL_TY(i, CPGCI(pgci).fnGetPGCI_TY(0, 0, 0));
}

int CPL_SRPT::fnUpdate_PlayList(UD_PGCIT* ud, BYTE i) {
    if (!ud || i >= fnGet_c1_PL_SRP_Ns()) return 0;
    const BYTE* entry = Entry(i);
    if (!entry) return 0;
    const BYTE pgcn = vrm::GetField<BYTE>(entry, PL_SRP::At::PGCN);
    if (pgcn == 0 || pgcn > ud->pgci.size() || pgcn > CUD_PGCIT(ud).fnGet_c1_UD_PGCI_SRP_Ns()) return 0;
    return fnSet_PL_TY(&ud->pgci[pgcn - 1u], i);
}

int CPL_SRPT::AddPointer(BYTE plTy, BYTE pgcn, const SYSTEMTIME* created) {
    if (!m_pModel) return 0;
    const BYTE n = fnGet_c1_PL_SRP_Ns();
    if (n >= kMaxEntries) return 0;
    // The new entry goes behind the n counted ones; bytes left behind by
    // earlier deletes are dropped.
    m_pModel->entries.resize(size_t{PL_SRPT::kEntrySize} * n);
    m_pModel->entries.resize(size_t{PL_SRPT::kEntrySize} * (n + 1u), 0);
    fnSet_c1_PL_TY(n, plTy);
    fnSet_c1_PGCN(n, pgcn);

    const SYSTEMTIME now = vrm::GivenTimeOrNow(created);
    BYTE stamp[5];
    PackRecTm(&now, stamp);
    fnSet_c5_PL_CREATE_TM(n, stamp, sizeof stamp);
    char text[128] = {};
    FormatDateText(&now, text, 1);
    fnSet_c128_PRM_TXTI(n, reinterpret_cast<const BYTE*>(text), sizeof text);
    fnSet_wIT_TXT_SRPN(n, 0);
    fnSet_wCN(n, 1);

    fnSet_c1_PL_SRP_Ns(static_cast<BYTE>(n + 1));
    m_cPL_SRP_Ns = static_cast<BYTE>(n + 1);
    return 1;
}

int CPL_SRPT::fnDEL_PlayList_Pointer(BYTE n) {
    if (!m_pModel) return 0;
    const BYTE count = fnGet_c1_PL_SRP_Ns();
    if (n == 0 || n > count) return 0;
    if (count == 1) {
        m_pModel->entries.clear();
    } else {
        // A count raised by hand beyond the entries held: the missing ones
        // are zero, as they would be written.
        const size_t needed = size_t{PL_SRPT::kEntrySize} * count;
        if (m_pModel->entries.size() < needed) m_pModel->entries.resize(needed, 0);
        for (BYTE i = n; i < count; ++i) {
            BYTE* entry = Entry(i);
            vrm::SetField<BYTE>(entry, PL_SRP::At::PGCN,
                                static_cast<BYTE>(vrm::GetField<BYTE>(entry, PL_SRP::At::PGCN) - 1));
        }
        BYTE* base = m_pModel->entries.data();
        std::memmove(base + size_t{PL_SRPT::kEntrySize} * (n - 1u), base + size_t{PL_SRPT::kEntrySize} * n,
                     size_t{PL_SRPT::kEntrySize} * (count - n));
    }
    fnSet_c1_PL_SRP_Ns(static_cast<BYTE>(count - 1));
    m_cPL_SRP_Ns = static_cast<BYTE>(count - 1);
    return 1;
}
