#include "tables/CM_AVFI.h"

#include <algorithm>
#include <cstring>

#include "io/CBuffer.h"
#include "stream/VR_MPEGFILE_INFO.h"

CM_AVFI::CM_AVFI(WORD)
    : m_pM_AVFI(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_bOwner(0), m_dwStart(0), m_dwBase(0) {}

CM_AVFI::CM_AVFI(M_AVFI* record, DWORD base)
    : m_pM_AVFI(record), m_pBuffer(nullptr), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_bOwner(0), m_dwStart(0), m_dwBase(base) {
    m_wM_VOBI_SRP_Ns = fnGet_wM_VOBI_SRP_Ns();
}

CM_AVFI::CM_AVFI(CBuffer* buffer, M_AVFI* record, DWORD start, DWORD base)
    : m_pM_AVFI(record), m_pBuffer(buffer), m_dwSize(0), m_wM_VOBI_SRP_Ns(0), m_bOwner(0), m_dwStart(start), m_dwBase(base) {}

CM_AVFI::~CM_AVFI() {
    if (m_bOwner) delete m_pM_AVFI;
}

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

int CM_AVFI::fnNew() {
    return fnSet_wM_VOBI_SRP_Ns(0);
}

DWORD CM_AVFI::fndwDataSize() const {
    if (!m_pM_AVFI) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m > m_pM_AVFI->vobi.size()) return 0;
    DWORD length = M_AVFI::kHeaderSize;
    if (m == 0) return length;
    length += M_AVFI::kSrpSize * m;
    for (WORD i = 0; i < m; ++i) length += CM_VOBI(&m_pM_AVFI->vobi[i]).fndwDataSize();
    return length;
}

DWORD CM_AVFI::fndwLoad_M_AVFI_From_File() {
    if (!m_pM_AVFI || !m_pBuffer) return 0;
    *m_pM_AVFI = M_AVFI{};
    m_dwSize = 0;
    m_wM_VOBI_SRP_Ns = 0;
    vrm::ByteReader reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    uint64_t size = 0;
    bool ok = reader.Bytes(start, m_pM_AVFI->header, M_AVFI::kHeaderSize);
    if (ok) {
        const WORD m = fnGet_wM_VOBI_SRP_Ns();
        const uint64_t srpBytes = uint64_t{m} * M_AVFI::kSrpSize;
        // The search pointers must lie inside the file before the VOB
        // records are allocated; that also bounds m by the file size.
        ok = reader.Require(start + M_AVFI::kHeaderSize, srpBytes);
        if (ok) {
            m_pM_AVFI->srp.resize(srpBytes);
            reader.Bytes(start + M_AVFI::kHeaderSize, m_pM_AVFI->srp.data(), srpBytes);
            m_pM_AVFI->vobi.resize(m);
            size = M_AVFI::kHeaderSize + srpBytes;
        }
        for (WORD i = 0; ok && i < m; ++i) {
            const uint64_t at = uint64_t{fnGet_dwM_VOBI_SA(i)} + m_dwBase;
            if (at > 0xFFFFFFFFu) {
                reader.Fail(at);
                ok = false;
                break;
            }
            const DWORD got = CM_VOBI(m_pBuffer, &m_pM_AVFI->vobi[i], static_cast<DWORD>(at)).fndwLoad_M_VOBI_From_File();
            size += got;
            if (got == 0) {
                ok = false;  // the M_VOBI loader has marked the buffer
            } else if (size > reader.Size()) {
                // The VOB records of one file are disjoint parts of it; more
                // bytes than the file holds means pointers that share records.
                reader.Fail(at);
                ok = false;
            }
        }
    }
    if (!reader.Ok()) m_pBuffer->MarkReadFailure(reader.FailOffset());
    if (!ok) {
        *m_pM_AVFI = M_AVFI{};
        return 0;
    }
    m_wM_VOBI_SRP_Ns = fnGet_wM_VOBI_SRP_Ns();
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CM_AVFI::fnReadData(BYTE* out) {
    if (!out || !m_pM_AVFI) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m > m_pM_AVFI->vobi.size()) return 0;  // nothing to write for the missing VOBs
    m_wM_VOBI_SRP_Ns = m;
    std::memcpy(out, m_pM_AVFI->header, M_AVFI::kHeaderSize);
    DWORD length = M_AVFI::kHeaderSize;
    if (m > 0) {
        const size_t srpBytes = size_t{m} * M_AVFI::kSrpSize;
        m_pM_AVFI->srp.resize(srpBytes);
        length += static_cast<DWORD>(srpBytes);
        for (WORD i = 0; i < m; ++i) {
            fnSet_dwM_VOBI_SA(i, m_dwBase + length);
            length += CM_VOBI(&m_pM_AVFI->vobi[i]).fnReadData(out + length);
        }
        std::memcpy(out + M_AVFI::kHeaderSize, m_pM_AVFI->srp.data(), srpBytes);
    }
    return length;
}

void CM_AVFI::fnFreeAllData() {
    if (!m_pM_AVFI) return;
    std::vector<BYTE>().swap(m_pM_AVFI->srp);
    std::vector<M_VOBI>().swap(m_pM_AVFI->vobi);
}

int CM_AVFI::fnADD_VOB(BYTE stin, const VR_MPEGFILE_INFO* info) {
    if (!m_pM_AVFI || !vrm::VOBUTableUsable(info)) return 0;
    const WORD m = fnGet_wM_VOBI_SRP_Ns();
    if (m >= kMaxVOBs) return 0;
    // The search pointers are recomputed by the next serialisation.
    m_pM_AVFI->srp.assign(size_t{m + 1u} * M_AVFI::kSrpSize, 0);
    m_pM_AVFI->vobi.resize(m);
    m_pM_AVFI->vobi.emplace_back();
    CM_VOBI(&m_pM_AVFI->vobi.back()).fnADD_VOBI(stin, info);
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
