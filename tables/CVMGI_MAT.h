// CVMGI_MAT: accessor of VMGI_MAT, the 512-byte management table at the very
// start of VR_MANGR.IFO. It identifies the file ("DVD_RTR_VMG0"), gives the
// end addresses of the management area and of RTR_VMGI, the start addresses
// of every other table, and a few disc-wide settings (time zone, still
// time, character set, resume marker, representative picture and name).
// All addresses are byte offsets from the start of the file.
#ifndef VRMANGR_TABLES_CVMGI_MAT_H
#define VRMANGR_TABLES_CVMGI_MAT_H

#include <string>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

// RSM_MRKI, the resume marker: where playback stopped last (program chain,
// program, cell, the PTM position in it) and when (a REC_TM time). The
// library reads it and never changes its parts, only the whole.
#define VRM_FIELDS_RSM_MRKI(F, C)                             \
    F(C, U8_RO, PGCN, 0, 1, fnGet_c1_PGCN_RSM_MRKI, _)        \
    F(C, U8_RO, PGN, 1, 1, fnGet_c1_PGN_RSM_MRKI, _)          \
    F(C, U16_RO, CN, 2, 2, fnGet_wCN_RSM_MRKI, _)             \
    F(C, BYTES_RO, MRK_PT, 4, 6, fnGet_c6_MRK_PT_RSM_MRKI, _) \
    F(C, BYTES_RO, MRK_TM, 10, 5, fnGet_c5_MRK_TM_RSM_MRKI, _)
VRM_LAYOUT(RSM_MRKI, VRM_FIELDS_RSM_MRKI, 15);

// DISC_REP_PICTI, the disc's representative picture: the same layout, a
// picture position and the time the picture was chosen.
#define VRM_FIELDS_DISC_REP_PICTI(F, C)                               \
    F(C, U8_RO, PGCN, 0, 1, fnGet_c1_PGCN_DISC_REP_PICTI, _)          \
    F(C, U8_RO, PGN, 1, 1, fnGet_c1_PGN_DISC_REP_PICTI, _)            \
    F(C, U16_RO, CN, 2, 2, fnGet_wCN_DISC_REP_PICTI, _)               \
    F(C, BYTES_RO, PICT_PT, 4, 6, fnGet_c6_PICT_PT_DISC_REP_PICTI, _) \
    F(C, BYTES_RO, DISC_REP_PICT_CREATE_TM, 10, 5, fnGet_c5_DISC_REP_PICT_CREATE_TM_DISC_REP_PICTI, _)
VRM_LAYOUT(DISC_REP_PICTI, VRM_FIELDS_DISC_REP_PICTI, 15);

// VMG_ID and TM_ZONE and CPSI have setters of their own (below). TM_ZONE is
// the time zone of every recorded time; STILL_TM the seconds a still picture
// shows; CHRS the character set of the texts; ETKI and CPSI copy-protection
// data, kept as found.
#define VRM_FIELDS_VMGI_MAT(F, C)                                                                              \
    F(C, BYTES_RO, VMG_ID, 0, 12, fnGet_c12_VMG_ID, _)                                                         \
    F(C, U32, RTR_VMG_EA, 12, 4, fnGet_dwRTR_VMG_EA, fnSet_dwRTR_VMG_EA)                                       \
    F(C, RSV, reserved16, 16, 12, _, _)                                                                        \
    F(C, U32, VMGI_EA, 28, 4, fnGet_dwVMGI_EA, fnSet_dwVMGI_EA)                                                \
    F(C, U16, VERN, 32, 2, fnGet_wVERN, fnSet_wVERN)                                                           \
    F(C, RSV, reserved34, 34, 30, _, _)                                                                        \
    F(C, U16_RO, TM_ZONE, 64, 2, fnGet_wTM_ZONE, _)                                                            \
    F(C, U8, STILL_TM, 66, 1, fnGet_c1_STILL_TM, fnSet_c1_STILL_TM)                                            \
    F(C, U8, CHRS, 67, 1, fnGet_c1_CHRS, fnSet_c1_CHRS)                                                        \
    F(C, BYTES, RSM_MRKI, 68, RSM_MRKI::kSize, fnGet_c15_RSM_MRKI, fnSet_c15_RSM_MRKI)                         \
    F(C, BYTES, DISC_REP_PICTI, 83, DISC_REP_PICTI::kSize, fnGet_c15_DISC_REP_PICTI, fnSet_c15_DISC_REP_PICTI) \
    F(C, BYTES, DISC_REP_NM, 98, 128, fnGet_c128_DISC_REP_NM, fnSet_c128_DISC_REP_NM)                          \
    F(C, RSV, reserved226, 226, 30, _, _)                                                                      \
    F(C, U32, M_AVFIT_SA, 256, 4, fnGet_dwM_AVFIT_SA, fnSet_dwM_AVFIT_SA)                                      \
    F(C, U32, S_AVFIT_SA, 260, 4, fnGet_dwS_AVFIT_SA, fnSet_dwS_AVFIT_SA)                                      \
    F(C, BYTES, ETKI, 264, 12, fnGet_c12_ETKI, fnSet_c12_ETKI)                                                 \
    F(C, U16_RO, CPSI, 276, 2, fnGet_wCPSI, _)                                                                 \
    F(C, RSV, reserved278, 278, 26, _, _)                                                                      \
    F(C, U32, ORG_PGCI_SA, 304, 4, fnGet_dwORG_PGCI_SA, fnSet_dwORG_PGCI_SA)                                   \
    F(C, U32, UD_PGCIT_SA, 308, 4, fnGet_dwUD_PGCIT_SA, fnSet_dwUD_PGCIT_SA)                                   \
    F(C, RSV, reserved312, 312, 40, _, _)                                                                      \
    F(C, U32, TXTDT_MG_SA, 352, 4, fnGet_dwTXTDT_MG_SA, fnSet_dwTXTDT_MG_SA)                                   \
    F(C, U32, MNFIT_SA, 356, 4, fnGet_dwMNFIT_SA, fnSet_dwMNFIT_SA)                                            \
    F(C, RSV, reserved360, 360, 152, _, _)
VRM_LAYOUT(VMGI_MAT_LAYOUT, VRM_FIELDS_VMGI_MAT, 512);

// The table's bytes exactly as on disc.
struct VMGI_MAT {
    static constexpr DWORD kSize = VMGI_MAT_LAYOUT::kSize;
    BYTE bytes[kSize];
};

// The identifier of a DVD-VR management file.
extern const char kVMG_ID[13];

class VRMANGR_API CVMGI_MAT {
public:
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
    // Writes the 512 bytes at offset `at` of the writer; returns 512, or 0
    // (writing nothing) without a block.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at) const;
    // Copies the 512 bytes to out; returns 512, or 0 for a null out.
    DWORD fnReadData(BYTE* out) const;
    // Reads the 512 bytes at the file offset; returns 512, or 0 (and marks
    // the buffer's read failure) when the file is too short.
    DWORD fnLoad_VMGI_MAT_From_File();
    // Appends the fields, then the resume marker's and the representative
    // picture's parts under their names.
    void fnDump(std::string& out, const std::string& indent) const;

    // Field accessors. Numeric values are host order; byte arrays raw.
    VRM_ACCESSORS(VRM_FIELDS_VMGI_MAT, Block)
    // Stores "DVD_RTR_VMG0".
    int fnSet_c12_VMG_ID();
    // type 0x1000 takes the local standard offset from UTC in minutes in
    // place of `offset`; the field becomes the low 16 bits of type + offset.
    int fnSet_wTM_ZONE(WORD type, WORD offset);
    // Stores a + b.
    int fnSet_wCPSI(WORD a, WORD b);
    VRM_ACCESSORS(VRM_FIELDS_RSM_MRKI, ResumeMarker)
    VRM_ACCESSORS(VRM_FIELDS_DISC_REP_PICTI, RepresentativePicture)

    VMGI_MAT* m_pBlock;
    DWORD m_dwOwns;  // when set, the destructor frees the block
    CBuffer* m_pBuffer;
    DWORD m_dwOffset;

private:
    BYTE* Block() const { return m_pBlock ? m_pBlock->bytes : nullptr; }
    BYTE* ResumeMarker() const { return m_pBlock ? m_pBlock->bytes + VMGI_MAT_LAYOUT::At::RSM_MRKI : nullptr; }
    BYTE* RepresentativePicture() const {
        return m_pBlock ? m_pBlock->bytes + VMGI_MAT_LAYOUT::At::DISC_REP_PICTI : nullptr;
    }
};

#endif
