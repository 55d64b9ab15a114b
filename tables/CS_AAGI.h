// CS_AAGI: accessor of one S_AAGI, an additional-audio group of the still
// additional audio file information S_AAFI (at the end of S_AVFIT). A group
// names the S_AA_STI that describes its audio, where the audio starts in
// VR_STILL.VRO, and lists its audio entries AA_ENT. Still pictures point at a
// group by its 1-based number and at an entry in it.
#ifndef VRMANGR_TABLES_CS_AAGI_H
#define VRMANGR_TABLES_CS_AAGI_H

#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;

// General part as on disc: AA_ENT_Ns (1), S_AA_STIN (1), S_AAG_SA (4). Then
// AA_ENT_Ns entries of 5 bytes as on disc: AA_TY (1), AA_PART_SZ (2),
// AA_PART_PB_TM (2).
struct S_AAGI {
    static constexpr DWORD kGeneralSize = 6;
    static constexpr DWORD kEntrySize = 5;
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
    // Bytes fnReadData writes now: 6 + 5 x AA_ENT_Ns.
    DWORD fndwDataSize() const;
    // Writes the group as its loader reads it: the general part and
    // AA_ENT_Ns entries (entries the record does not hold are written as
    // zeros). Returns the length, 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);

    // Entry i, or nullptr when the record holds no entry i.
    BYTE* fnGet_iTH_AA_ENT_Address(BYTE i) const { return Slot(i); }

    VRM_SCALAR_FIELD(BYTE, fnGet_c1_AA_ENT_Ns, fnSet_c1_AA_ENT_Ns, General, 0)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_S_AA_STIN, fnSet_c1_S_AA_STIN, General, 1)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwS_AAG_SA, fnSet_dwS_AAG_SA, General, 2)
    VRM_ENTRY_SCALAR_FIELD(BYTE, BYTE, fnGet_c1_AA_TY, fnSet_c1_AA_TY, Entry, 0)
    VRM_ENTRY_SCALAR_FIELD(WORD, BYTE, fnGet_wAA_PART_SZ, fnSet_wAA_PART_SZ, Entry, 1)
    VRM_ENTRY_SCALAR_FIELD(WORD, BYTE, fnGet_wAA_PART_PB_TM, fnSet_wAA_PART_PB_TM, Entry, 3)

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
