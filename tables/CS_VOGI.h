// CS_VOGI: accessor of one S_VOGI, the information of a still-picture video
// object group (VOG) of VR_STILL.VRO. The library makes one VOG per
// registered still-picture file. An S_VOGI holds an 18-byte general part
// (picture count, the S_VOB_STI number, the recording times of the first and
// last picture, the VOG's start sector) and one variable-length S_VOB_ENT
// per picture, whose type bits (7..6 of its first byte) give its length:
//
//   0x00  2 bytes  S_VOB_ENT_TY, V_PART_SZ
//   0x40  6 bytes  ... OA_PART_SZ (2), OA_PART_PB_TM (2)
//   0x80  5 bytes  S_VOB_ENT_TY, V_PART_SZ, S_AAGI_SRPN (2), AA_ENTN (1)
//   0xC0  9 bytes  ... OA_PART_SZ, OA_PART_PB_TM, S_AAGI_SRPN, AA_ENTN
//
// V_PART_SZ and OA_PART_SZ are sizes in sectors, OA_PART_PB_TM the audio's
// playback time in video fields; S_AAGI_SRPN and AA_ENTN name an
// additional-audio group (S_AAFI) and an entry in it.
#ifndef VRMANGR_TABLES_CS_VOGI_H
#define VRMANGR_TABLES_CS_VOGI_H

#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
struct VR_MPEGFILE_INFO;

// General part as on disc: S_VOB_Ns (1), S_VOB_STIN (1), FIRST_VOB_REC_TM
// (5), LAST_VOB_REC_TM (5), S_VOG_SA (4), two bytes kept as loaded. Entries
// in memory take kEntrySize bytes each: bytes 0..8 the entry as on disc (2,
// 6, 5 or 9 bytes used, the rest zero), byte 9 the entry's type tag (0x00,
// 0x40, 0x80 or 0xC0).
struct S_VOGI {
    static constexpr DWORD kGeneralSize = 18;
    static constexpr DWORD kEntrySize = 10;
    static constexpr DWORD kTagOffset = 9;
    BYTE general[kGeneralSize];
    std::vector<BYTE> entries;
};

class VRMANGR_API CS_VOGI {
public:
    // A VOG holds at most this many pictures: S_VOB_Ns is one byte.
    static constexpr DWORD kMaxPictures = 255;

    // Binds nothing; the count argument is not used.
    explicit CS_VOGI(BYTE unused = 64);
    explicit CS_VOGI(S_VOGI* record);
    CS_VOGI(CBuffer* buffer, S_VOGI* record, DWORD start);
    ~CS_VOGI() = default;
    CS_VOGI(const CS_VOGI&) = default;
    CS_VOGI& operator=(const CS_VOGI&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // Zeroes the general part and drops the entries; 0 without a record.
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Reads the general part and S_VOB_Ns entries, each as long as its type
    // says. Returns the bytes read, or 0 (read failure marked, record left
    // empty) when the VOG passes the end of the file.
    DWORD fndwLoad_S_VOGI_From_File();
    // Bytes fnReadData writes now.
    DWORD fndwDataSize() const;
    // Writes the general part, then S_VOB_Ns entries, each as long as the
    // type bits of its own S_VOB_ENT_TY byte say (not its tag). Entries the
    // record does not hold are written as 2-byte zero entries. Returns the
    // length, 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Fills a cleared record for a still file: one entry per picture of the
    // stream library's picture table, S_VOB_STIN stin, the current UTC time
    // as both recording times. 0 (and nothing changes) without a record or
    // info, for more than kMaxPictures pictures, or for pictures without a
    // picture table.
    int fnADD_VOGI(BYTE stin, const VR_MPEGFILE_INFO* info);
    // The type bits of an S_VOB_ENT_TY byte.
    BYTE fnGet_S_VOB_ENT_TYPE(BYTE ty) const { return static_cast<BYTE>(ty & 0xC0); }
    // Sets the type tag of entry i; 0 when there is no entry i.
    int fnSet_bThisType(BYTE i, BYTE tag) { return vrm::SetField<BYTE>(Entry(i), S_VOGI::kTagOffset, tag); }

    VRM_SCALAR_FIELD(BYTE, fnGet_c1_S_VOB_Ns, fnSet_c1_S_VOB_Ns, General, 0)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_S_VOB_STIN, fnSet_c1_S_VOB_STIN, General, 1)
    VRM_BYTES_FIELD(fnGet_c5_FIRST_VOB_REC_TM, fnSet_c5_FIRST_VOB_REC_TM, General, 2, 5)
    VRM_BYTES_FIELD(fnGet_c5_LAST_VOB_REC_TM, fnSet_c5_LAST_VOB_REC_TM, General, 7, 5)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwS_VOG_SA, fnSet_dwS_VOG_SA, General, 12)
    VRM_ENTRY_SCALAR_FIELD(BYTE, BYTE, fnGet_c1_S_VOB_ENT_TY, fnSet_c1_S_VOB_ENT_TY, Entry, 0)
    VRM_ENTRY_SCALAR_FIELD(BYTE, BYTE, fnGet_c1_V_PART_SZ, fnSet_c1_V_PART_SZ, Entry, 1)
    VRM_ENTRY_SCALAR_FIELD(WORD, BYTE, fnGet_wOA_PART_SZ, fnSet_wOA_PART_SZ, Entry, 2)
    VRM_ENTRY_SCALAR_FIELD(WORD, BYTE, fnGet_wOA_PART_PB_TM, fnSet_wOA_PART_PB_TM, Entry, 4)
    // The additional-audio fields sit 4 bytes further in an entry that also
    // carries original audio (every tag but 0x80).
    VRM_ENTRY_SCALAR_FIELD(WORD, BYTE, fnGet_wS_AAGI_SRPN, fnSet_wS_AAGI_SRPN, AdditionalAudio, 2)
    VRM_ENTRY_SCALAR_FIELD(BYTE, BYTE, fnGet_c1_AA_ENTN, fnSet_c1_AA_ENTN, AdditionalAudio, 4)

    S_VOGI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    DWORD m_dwStart;
    BYTE m_cS_VOB_Ns;  // cached by the binding constructor and the loader

private:
    BYTE* General() const { return m_pRecord ? m_pRecord->general : nullptr; }
    // Entry i when it lies below the current S_VOB_Ns and in the array.
    BYTE* Entry(BYTE i) const;
    BYTE* AdditionalAudio(BYTE i) const;
};

namespace vrm {
// On-disc length of an S_VOB_ENT of the given S_VOB_ENT_TY byte: 2, 6, 5 or 9.
DWORD S_VOB_ENT_Length(BYTE ty);
}  // namespace vrm

#endif
