// CS_AAGI: accessor of one S_AAGI, an additional-audio group of the still
// additional audio file information S_AAFI (at the end of S_AVFIT). A group
// names the S_AA_STI that describes its audio, where the audio starts in
// VR_STILL.VRO, and lists its audio entries AA_ENT. Still pictures point at a
// group by its 1-based number and at an entry in it.
#ifndef VRMANGR_TABLES_CS_AAGI_H
#define VRMANGR_TABLES_CS_AAGI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

// The general part of a group: its entry count, the 1-based S_AA_STI number
// of its audio, and the audio's start sector in VR_STILL.VRO.
#define VRM_FIELDS_S_AAGI_GI(F, C)                                    \
    F(C, U8, AA_ENT_Ns, 0, 1, fnGet_c1_AA_ENT_Ns, fnSet_c1_AA_ENT_Ns) \
    F(C, U8, S_AA_STIN, 1, 1, fnGet_c1_S_AA_STIN, fnSet_c1_S_AA_STIN) \
    F(C, U32, S_AAG_SA, 2, 4, fnGet_dwS_AAG_SA, fnSet_dwS_AAG_SA)
VRM_LAYOUT(S_AAGI_GI, VRM_FIELDS_S_AAGI_GI, 6);

// AA_ENT: one piece of additional audio, its type, its size in sectors and
// its playback time.
#define VRM_FIELDS_AA_ENT(F, C)                                       \
    F(C, U8, AA_TY, 0, 1, fnGet_c1_AA_TY, fnSet_c1_AA_TY)             \
    F(C, U16, AA_PART_SZ, 1, 2, fnGet_wAA_PART_SZ, fnSet_wAA_PART_SZ) \
    F(C, U16, AA_PART_PB_TM, 3, 2, fnGet_wAA_PART_PB_TM, fnSet_wAA_PART_PB_TM)
VRM_LAYOUT(AA_ENT, VRM_FIELDS_AA_ENT, 5);

// The general part, then AA_ENT_Ns entries, both as on disc.
struct S_AAGI {
    static constexpr DWORD kGeneralSize = S_AAGI_GI::kSize;
    static constexpr DWORD kEntrySize = AA_ENT::kSize;
    BYTE general[kGeneralSize];
    std::vector<BYTE> entries;
};

class VRMANGR_API CS_AAGI {
public:
    // Binds nothing; the count argument is not used.
    explicit CS_AAGI(BYTE unused = 64);
    explicit CS_AAGI(S_AAGI* record);
    CS_AAGI(CBuffer* buffer, S_AAGI* record, DWORD start);
    ~CS_AAGI() = default;
    CS_AAGI(const CS_AAGI&) = default;
    CS_AAGI& operator=(const CS_AAGI&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // Zeroes the general part and the first (cached count) entries; 0
    // without a record.
    int fnSetZero();
    // 6 + 5 x the cached entry count; also recorded as the size.
    DWORD fndwSize();
    // Reads the group at the start address: the general part, then AA_ENT_Ns
    // entries. Returns the bytes read, or 0 (with the buffer's read failure
    // marked and the record left empty) when the group passes the end of the
    // file.
    DWORD fndwLoad_S_AAGI_From_File();
    // Bytes fnWrite writes now: 6 + 5 x AA_ENT_Ns.
    DWORD fndwDataSize() const;
    // Writes the group at offset `at` of w as its loader reads it: the
    // general part and AA_ENT_Ns entries (entries the record does not hold
    // are written as zeros). Returns the length, 0 without a record.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; returns the length,
    // 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Appends the general part and the entries, one field a line.
    void fnDump(std::string& out, const std::string& indent) const;

    // Entry i, or nullptr when the record holds no entry i.
    BYTE* fnGet_iTH_AA_ENT_Address(BYTE i) const { return Slot(i); }

    VRM_ACCESSORS(VRM_FIELDS_S_AAGI_GI, General)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_AA_ENT, BYTE, Entry, Entry)

    S_AAGI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    BYTE m_cAA_ENT_Ns;  // cached by the binding constructor and the loader
    DWORD m_dwStart;

private:
    BYTE* General() const { return m_pRecord ? m_pRecord->general : nullptr; }
    // Entry i of the array, whatever the count says.
    BYTE* Slot(BYTE i) const;
    // Entry i when it also lies below the current AA_ENT_Ns.
    BYTE* Entry(BYTE i) const { return i < fnGet_c1_AA_ENT_Ns() ? Slot(i) : nullptr; }
};

#endif
