// CVMGI_MAT: accessor of VMGI_MAT, the 512-byte management table at the very
// start of VR_MANGR.IFO. It identifies the file ("DVD_RTR_VMG0"), gives the
// end addresses of the management area and of RTR_VMGI, the start addresses
// of every other table, and a few disc-wide settings (time zone, still
// time, character set, resume marker, representative picture and name).
// All addresses are byte offsets from the start of the file.
#ifndef VRMANGR_TABLES_CVMGI_MAT_H
#define VRMANGR_TABLES_CVMGI_MAT_H

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;

// The table's bytes exactly as on disc.
struct VMGI_MAT {
    static constexpr DWORD kSize = 512;
    BYTE bytes[kSize];
};
static_assert(sizeof(VMGI_MAT) == VMGI_MAT::kSize, "VMGI_MAT is 512 bytes on disc");

// The identifier of a DVD-VR management file.
extern const char kVMG_ID[13];

class VRMANGR_API CVMGI_MAT {
public:
    // Offsets of the two 15-byte sub-blocks that share one layout:
    // PGCN (1), PGN (1), CN (2), a PTM position (6), a REC_TM time (5).
    static constexpr DWORD kRSM_MRKI = 68;
    static constexpr DWORD kDISC_REP_PICTI = 83;

    CVMGI_MAT();
    explicit CVMGI_MAT(VMGI_MAT* block);
    CVMGI_MAT(CBuffer* buffer, VMGI_MAT* block, DWORD offset);
    ~CVMGI_MAT();
    CVMGI_MAT(const CVMGI_MAT&) = default;
    CVMGI_MAT& operator=(const CVMGI_MAT&) = default;

    // Zeroes the 512 bytes; 0 without a block.
    int fnSetZero();
    // The values of a new file (on a zeroed block): identifier, version
    // 0x0011, the local time zone, still time 3, character set 0x12, resume
    // marker and representative picture all 0xFF.
    int fnNew();
    int fnCheckValid() const { return m_pBlock ? 1 : 0; }
    DWORD fndwSize() const { return VMGI_MAT::kSize; }
    DWORD fndwDataSize() const { return m_pBlock ? VMGI_MAT::kSize : 0; }
    // Copies the 512 bytes to out; returns 512, or 0 for a null out.
    DWORD fnReadData(BYTE* out) const;
    // Reads the 512 bytes at the file offset; returns 512, or 0 (and marks
    // the buffer's read failure) when the file is too short.
    DWORD fnLoad_VMGI_MAT_From_File();

    // Field accessors. Numeric values are host order; byte arrays raw.
    int fnGet_c12_VMG_ID(BYTE* out) const { return vrm::GetFieldBytes(Block(), 0, 12, out); }
    // Stores "DVD_RTR_VMG0".
    int fnSet_c12_VMG_ID();
    VRM_SCALAR_FIELD(DWORD, fnGet_dwRTR_VMG_EA, fnSet_dwRTR_VMG_EA, Block, 12)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwVMGI_EA, fnSet_dwVMGI_EA, Block, 28)
    VRM_SCALAR_FIELD(WORD, fnGet_wVERN, fnSet_wVERN, Block, 32)
    VRM_SCALAR_GETTER(WORD, fnGet_wTM_ZONE, Block, 64)
    // type 0x1000 takes the local standard offset from UTC in minutes in
    // place of `offset`; the field becomes the low 16 bits of type + offset.
    int fnSet_wTM_ZONE(WORD type, WORD offset);
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_STILL_TM, fnSet_c1_STILL_TM, Block, 66)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_CHRS, fnSet_c1_CHRS, Block, 67)
    VRM_BYTES_FIELD(fnGet_c15_RSM_MRKI, fnSet_c15_RSM_MRKI, Block, kRSM_MRKI, 15)
    VRM_SCALAR_GETTER(BYTE, fnGet_c1_PGCN_RSM_MRKI, ResumeMarker, 0)
    VRM_SCALAR_GETTER(BYTE, fnGet_c1_PGN_RSM_MRKI, ResumeMarker, 1)
    VRM_SCALAR_GETTER(WORD, fnGet_wCN_RSM_MRKI, ResumeMarker, 2)
    VRM_BYTES_GETTER(fnGet_c6_MRK_PT_RSM_MRKI, ResumeMarker, 4, 6)
    VRM_BYTES_GETTER(fnGet_c5_MRK_TM_RSM_MRKI, ResumeMarker, 10, 5)
    VRM_BYTES_FIELD(fnGet_c15_DISC_REP_PICTI, fnSet_c15_DISC_REP_PICTI, Block, kDISC_REP_PICTI, 15)
    VRM_SCALAR_GETTER(BYTE, fnGet_c1_PGCN_DISC_REP_PICTI, RepresentativePicture, 0)
    VRM_SCALAR_GETTER(BYTE, fnGet_c1_PGN_DISC_REP_PICTI, RepresentativePicture, 1)
    VRM_SCALAR_GETTER(WORD, fnGet_wCN_DISC_REP_PICTI, RepresentativePicture, 2)
    VRM_BYTES_GETTER(fnGet_c6_PICT_PT_DISC_REP_PICTI, RepresentativePicture, 4, 6)
    VRM_BYTES_GETTER(fnGet_c5_DISC_REP_PICT_CREATE_TM_DISC_REP_PICTI, RepresentativePicture, 10, 5)
    VRM_BYTES_FIELD(fnGet_c128_DISC_REP_NM, fnSet_c128_DISC_REP_NM, Block, 98, 128)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwM_AVFIT_SA, fnSet_dwM_AVFIT_SA, Block, 256)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwS_AVFIT_SA, fnSet_dwS_AVFIT_SA, Block, 260)
    VRM_BYTES_FIELD(fnGet_c12_ETKI, fnSet_c12_ETKI, Block, 264, 12)
    VRM_SCALAR_GETTER(WORD, fnGet_wCPSI, Block, 276)
    // Stores a + b.
    int fnSet_wCPSI(WORD a, WORD b) { return vrm::SetField<WORD>(Block(), 276, static_cast<WORD>(a + b)); }
    VRM_SCALAR_FIELD(DWORD, fnGet_dwORG_PGCI_SA, fnSet_dwORG_PGCI_SA, Block, 304)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwUD_PGCIT_SA, fnSet_dwUD_PGCIT_SA, Block, 308)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwTXTDT_MG_SA, fnSet_dwTXTDT_MG_SA, Block, 352)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwMNFIT_SA, fnSet_dwMNFIT_SA, Block, 356)

    VMGI_MAT* m_pBlock;
    BYTE* m_pRSM_MRKI;  // m_pBlock + 68
    BYTE* m_pDISC_REP_PICTI;  // m_pBlock + 83
    DWORD m_dwOwns;  // when set, the destructor frees the block
    CBuffer* m_pBuffer;
    DWORD m_dwOffset;

private:
    BYTE* Block() const { return m_pBlock ? m_pBlock->bytes : nullptr; }
    BYTE* ResumeMarker() const { return m_pBlock ? m_pRSM_MRKI : nullptr; }
    BYTE* RepresentativePicture() const { return m_pBlock ? m_pDISC_REP_PICTI : nullptr; }
};

#endif
