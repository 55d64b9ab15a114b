#include "tables/CM_AVFI.h"

#include <algorithm>
#include <string>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/PointedRecords.h"
#include "stream/VR_MPEGFILE_INFO.h"

CM_AVFI::CM_AVFI(WORD)
    : m_pM_AVFI(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_dwStart(0), m_dwBase(0) {}

CM_AVFI::CM_AVFI(M_AVFI* record, DWORD base)
    : m_pM_AVFI(record), m_pBuffer(nullptr), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_dwStart(0), m_dwBase(base) {
    m_wM_VOBI_SRP_Ns = fnGet_wM_VOBI_SRP_Ns();
}

CM_AVFI::CM_AVFI(CBuffer* buffer, M_AVFI* record, DWORD start, DWORD base)
    : m_pM_AVFI(record), m_pBuffer(buffer), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_dwStart(start), m_dwBase(base) {}

BYTE* CM_AVFI::fnGet_iTH_M_VOBI_SRP_Address(WORD i) const {
    return m_pM_AVFI ? vrm::EntryAt(m_pM_AVFI->srp, M_AVFI::kSrpSize, i) : nullptr;
}

M_VOBI* CM_AVFI::Vob(WORD n) const {
    if (!m_pM_AVFI || n == 0 || n > fnGet_wM_VOBI_SRP_Ns() || n > m_pM_AVFI->vobi.size()) return nullptr;
    return &m_pM_AVFI->vobi[n - 1u];
}

int CM_AVFI::fnSetZero() {
    if (!m_pM_AVFI) return 0;
    *m_pM_AVFI = M_AVFI{};
    return 1;
}

int CM_AVFI::fnNew() { return fnSet_wM_VOBI_SRP_Ns(0); }

DWORD CM_AVFI::fndwDataSize() const {
    if (!m_pM_AVFI) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m > m_pM_AVFI->vobi.size()) return 0;  // nothing is written for missing VOBs
    return vrm::PointedRecordsSize(M_AVFI::kHeaderSize, m, 0, m_pM_AVFI->vobi,
                                   [](const M_VOBI& vob) { return CM_VOBI(const_cast<M_VOBI*>(&vob)).fndwDataSize(); });
}

DWORD CM_AVFI::fndwLoad_M_AVFI_From_File() {
    if (!m_pM_AVFI || !m_pBuffer) return 0;
    *m_pM_AVFI = M_AVFI{};
    m_dwSize = 0;
    m_wM_VOBI_SRP_Ns = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    if (!reader.Bytes(m_dwStart, m_pM_AVFI->header, M_AVFI::kHeaderSize)) return 0;
    const uint64_t size = vrm::LoadPointedRecords(
        *m_pBuffer, m_dwStart, M_AVFI::kHeaderSize, fnGet_wM_VOBI_SRP_Ns(), m_dwBase, M_VOBI::kGeneralSize,
        m_pM_AVFI->srp, m_pM_AVFI->vobi,
        [this](M_VOBI& vob, DWORD at) { return CM_VOBI(m_pBuffer, &vob, at).fndwLoad_M_VOBI_From_File(); });
    if (!size) {
        *m_pM_AVFI = M_AVFI{};
        return 0;
    }
    m_wM_VOBI_SRP_Ns = fnGet_wM_VOBI_SRP_Ns();
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CM_AVFI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pM_AVFI) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m > m_pM_AVFI->vobi.size()) return 0;  // nothing to write for the missing VOBs
    m_wM_VOBI_SRP_Ns = m;
    w.Bytes(at, m_pM_AVFI->header, M_AVFI::kHeaderSize);
    return vrm::WritePointedRecords(
        w, at, M_AVFI::kHeaderSize, m, m_dwBase, 0, m_pM_AVFI->srp, m_pM_AVFI->vobi,
        [](M_VOBI& vob, vrm::ByteWriter& to, uint64_t pos) { return CM_VOBI(&vob).fnWrite(to, pos); });
}

DWORD CM_AVFI::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CM_AVFI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pM_AVFI) return;
    vrm::DumpRecord<M_AVFI_HEADER>(m_pM_AVFI->header, indent, out);
    const std::string inner = indent + "  ";
    for (WORD i = 0; i < fnGet_wM_VOBI_SRP_Ns() && fnGet_iTH_M_VOBI_SRP_Address(i); ++i) {
        out += indent + "M_VOBI_SRP " + std::to_string(i + 1) + "\n";
        vrm::DumpRecord<M_VOBI_SRP>(fnGet_iTH_M_VOBI_SRP_Address(i), inner, out);
    }
    for (WORD n = 1; M_VOBI* vob = Vob(n); ++n) {
        out += indent + "M_VOBI " + std::to_string(n) + "\n";
        CM_VOBI(vob).fnDump(out, inner);
        if (n == 0xFFFF) break;
    }
}

void CM_AVFI::fnFreeAllData() {
    if (!m_pM_AVFI) return;
    std::vector<BYTE>().swap(m_pM_AVFI->srp);
    std::vector<M_VOBI>().swap(m_pM_AVFI->vobi);
}

int CM_AVFI::fnADD_VOB(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded) {
    if (!m_pM_AVFI || !vrm::VOBUTableUsable(info)) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m >= kMaxVOBs) return 0;
    // The search pointers are recomputed by the next serialisation.
    m_pM_AVFI->srp.assign(size_t{m + 1u} * M_AVFI::kSrpSize, 0);
    m_pM_AVFI->vobi.resize(m);
    m_pM_AVFI->vobi.emplace_back();
    CM_VOBI(&m_pM_AVFI->vobi.back()).fnADD_VOBI(stin, info, recorded);
    fnSet_wM_VOBI_SRP_Ns(static_cast<WORD>(m + 1u));
    m_wM_VOBI_SRP_Ns = static_cast<WORD>(m + 1u);
    return 1;
}

int CM_AVFI::fnGet_iTH_VOBI_REC_TM(WORD n, BYTE* out5) const {
    M_VOBI* vob = Vob(n);
    return vob ? CM_VOBI(vob).fnGet_c5_VOB_REC_TM(out5) : 0;
}

BYTE CM_AVFI::fnGet_iTH_VOBI_M_VOB_STIN(WORD n) const {
    M_VOBI* vob = Vob(n);
    return vob ? CM_VOBI(vob).fnGet_c1_M_VOB_STIN() : 0;
}

__int64 CM_AVFI::fnGet_iTH_VOBI_StartPTS(WORD n) const {
    M_VOBI* vob = Vob(n);
    return vob ? CM_VOBI(vob).fnGet_ll_VOB_V_S_PTS() : 0;
}

int CM_AVFI::fnGet_iTH_VOBI_StartPosAndEndPos(WORD n, DWORD* startPos, DWORD* endPos, DWORD* headSize,
                                              DWORD* skipFrames, WORD system, __int64 start, __int64 end) const {
    M_VOBI* vob = Vob(n);
    if (!vob) return 0;
    return CM_VOBI(vob).fnGet_StartPosAndEndPos(startPos, endPos, headSize, skipFrames, system, start, end);
}

DWORD CM_AVFI::fnGet_dwRecordedEnd() const {
    uint64_t end = 0;
    for (WORD n = 1; M_VOBI* vob = Vob(n); ++n) {
        const DWORD start = vob->pTMAPI ? CTMAPI(vob->pTMAPI.get()).fnGet_dwADR_OFS() : 0;
        end = std::max<uint64_t>(end, uint64_t{start} + CM_VOBI(vob).fnGet_dwTotal_TMAPI_Size());
        if (n == 0xFFFF) break;
    }
    return static_cast<DWORD>(std::min<uint64_t>(end, 0xFFFFFFFFu));
}

DWORD CM_AVFI::fnGet_dwTotalVOBISize() const {
    M_VOBI* first = Vob(1);
    if (!first) return 0;
    DWORD sectors = first->pTMAPI ? CTMAPI(first->pTMAPI.get()).fnGet_dwADR_OFS() : 0;
    for (WORD n = 1; M_VOBI* vob = Vob(n); ++n) {
        sectors += CM_VOBI(vob).fnGet_dwTotal_TMAPI_Size();
        if (n == 0xFFFF) break;
    }
    return sectors;
}
