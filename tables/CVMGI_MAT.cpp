#include "tables/CVMGI_MAT.h"

#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "platform/clock.h"

const char kVMG_ID[13] = "DVD_RTR_VMG0";

CVMGI_MAT::CVMGI_MAT() : m_pBlock(nullptr), m_dwOwns(0), m_pBuffer(nullptr), m_dwOffset(0) {}

CVMGI_MAT::CVMGI_MAT(VMGI_MAT* block) : m_pBlock(block), m_dwOwns(0), m_pBuffer(nullptr), m_dwOffset(0) {}

CVMGI_MAT::CVMGI_MAT(CBuffer* buffer, VMGI_MAT* block, DWORD offset)
    : m_pBlock(block), m_dwOwns(0), m_pBuffer(buffer), m_dwOffset(offset) {}

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
    static const BYTE ff[RSM_MRKI::kSize] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    static_assert(RSM_MRKI::kSize == DISC_REP_PICTI::kSize, "both markers are filled from one array");
    static const BYTE zeros[128] = {};
    fnSet_c12_VMG_ID();
    fnSet_wVERN(0x11);
    fnSet_wTM_ZONE(0x1000, 0);
    fnSet_c1_STILL_TM(3);
    fnSet_c1_CHRS(0x12);
    fnSet_c15_RSM_MRKI(ff, sizeof ff);
    fnSet_c15_DISC_REP_PICTI(ff, sizeof ff);
    fnSet_c128_DISC_REP_NM(zeros, 128);
    fnSet_c12_ETKI(zeros, 12);
    fnSet_wCPSI(0, 0);
    return 1;
}

DWORD CVMGI_MAT::fnWrite(vrm::ByteWriter& w, uint64_t at) const {
    if (!m_pBlock) return 0;
    w.Bytes(at, m_pBlock->bytes, VMGI_MAT::kSize);
    return VMGI_MAT::kSize;
}

DWORD CVMGI_MAT::fnReadData(BYTE* out) const {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

DWORD CVMGI_MAT::fnLoad_VMGI_MAT_From_File() {
    if (!m_pBlock || !m_pBuffer) return 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    return reader.Bytes(m_dwOffset, m_pBlock->bytes, VMGI_MAT::kSize) ? VMGI_MAT::kSize : 0;
}

void CVMGI_MAT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pBlock) return;
    vrm::DumpRecord<VMGI_MAT_LAYOUT>(m_pBlock->bytes, indent, out);
    out += indent + "RSM_MRKI:\n";
    vrm::DumpRecord<RSM_MRKI>(ResumeMarker(), indent + "  ", out);
    out += indent + "DISC_REP_PICTI:\n";
    vrm::DumpRecord<DISC_REP_PICTI>(RepresentativePicture(), indent + "  ", out);
}

int CVMGI_MAT::fnSet_c12_VMG_ID() {
    constexpr DWORD length = sizeof kVMG_ID - 1;  // without the terminating zero
    return vrm::SetFieldBytes(Block(), VMGI_MAT_LAYOUT::At::VMG_ID, length, reinterpret_cast<const BYTE*>(kVMG_ID),
                              length);
}

int CVMGI_MAT::fnSet_wTM_ZONE(WORD type, WORD offset) {
    int minutes = type == 0x1000 ? vrm::LocalUtcOffsetMinutes() : offset;
    return vrm::SetField<WORD>(Block(), VMGI_MAT_LAYOUT::At::TM_ZONE, static_cast<WORD>(type + minutes));
}

int CVMGI_MAT::fnSet_wCPSI(WORD a, WORD b) {
    return vrm::SetField<WORD>(Block(), VMGI_MAT_LAYOUT::At::CPSI, static_cast<WORD>(a + b));
}
