#include "tables/CVMGI_MAT.h"

#include <cstring>

#include "io/CBuffer.h"
#include "platform/clock.h"

const char kVMG_ID[13] = "DVD_RTR_VMG0";

namespace {
BYTE* At(VMGI_MAT* block, DWORD offset) { return block ? block->bytes + offset : nullptr; }
}  // namespace

CVMGI_MAT::CVMGI_MAT()
    : m_pBlock(nullptr),
      m_pRSM_MRKI(nullptr),
      m_pDISC_REP_PICTI(nullptr),
      m_dwOwns(0),
      m_pBuffer(nullptr),
      m_dwOffset(0) {}

CVMGI_MAT::CVMGI_MAT(VMGI_MAT* block)
    : m_pBlock(block),
      m_pRSM_MRKI(At(block, kRSM_MRKI)),
      m_pDISC_REP_PICTI(At(block, kDISC_REP_PICTI)),
      m_dwOwns(0),
      m_pBuffer(nullptr),
      m_dwOffset(0) {}

CVMGI_MAT::CVMGI_MAT(CBuffer* buffer, VMGI_MAT* block, DWORD offset)
    : m_pBlock(block),
      m_pRSM_MRKI(At(block, kRSM_MRKI)),
      m_pDISC_REP_PICTI(At(block, kDISC_REP_PICTI)),
      m_dwOwns(0),
      m_pBuffer(buffer),
      m_dwOffset(offset) {}

CVMGI_MAT::~CVMGI_MAT() {
    if (m_dwOwns) delete m_pBlock;
}

int CVMGI_MAT::fnSetZero() {
    if (!m_pBlock) return 0;
    std::memset(m_pBlock->bytes, 0, VMGI_MAT::kSize);
    return 1;
}

int CVMGI_MAT::fnNew() {
    if (!m_pBlock) return 0;
    static const BYTE ff[15] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    static const BYTE zeros[128] = {};
    fnSet_c12_VMG_ID();
    fnSet_wVERN(0x11);
    fnSet_wTM_ZONE(0x1000, 0);
    fnSet_c1_STILL_TM(3);
    fnSet_c1_CHRS(0x12);
    fnSet_c15_RSM_MRKI(ff, 15);
    fnSet_c15_DISC_REP_PICTI(ff, 15);
    fnSet_c128_DISC_REP_NM(zeros, 128);
    fnSet_c12_ETKI(zeros, 12);
    fnSet_wCPSI(0, 0);
    return 1;
}

DWORD CVMGI_MAT::fnReadData(BYTE* out) const {
    if (!out || !m_pBlock) return 0;
    std::memcpy(out, m_pBlock->bytes, VMGI_MAT::kSize);
    return VMGI_MAT::kSize;
}

DWORD CVMGI_MAT::fnLoad_VMGI_MAT_From_File() {
    if (!m_pBlock || !m_pBuffer) return 0;
    vrm::ByteReader reader = m_pBuffer->Reader();
    if (!reader.Bytes(m_dwOffset, m_pBlock->bytes, VMGI_MAT::kSize)) {
        m_pBuffer->MarkReadFailure(reader.FailOffset());
        return 0;
    }
    return VMGI_MAT::kSize;
}

int CVMGI_MAT::fnSet_c12_VMG_ID() {
    return vrm::SetFieldBytes(Block(), 0, 12, reinterpret_cast<const BYTE*>(kVMG_ID), 12);
}

int CVMGI_MAT::fnSet_wTM_ZONE(WORD type, WORD offset) {
    int minutes = type == 0x1000 ? vrm::LocalUtcOffsetMinutes() : offset;
    return vrm::SetField<WORD>(Block(), 64, static_cast<WORD>(type + minutes));
}
