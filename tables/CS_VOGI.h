// CS_VOGI: accessor of one S_VOGI, the information of a still-picture video
// object group (VOG) of VR_STILL.VRO. The library makes one VOG per
// registered still-picture file. An S_VOGI holds an 18-byte general part
// and one variable-length S_VOB_ENT per picture. An entry is its video part,
// then the original-audio part when bit 6 of S_VOB_ENT_TY is set, then the
// additional-audio part when bit 7 is set: 2, 6, 5 or 9 bytes for the types
// 0x00, 0x40, 0x80 and 0xC0.
#ifndef VRMANGR_TABLES_CS_VOGI_H
#define VRMANGR_TABLES_CS_VOGI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// The general part: the picture count, the 1-based S_VOB_STI number of the
// pictures, the recording times of the first and last picture, and the
// VOG's start sector in VR_STILL.VRO.
#define VRM_FIELDS_S_VOGI_GI(F, C)                                                            \
    F(C, U8, S_VOB_Ns, 0, 1, fnGet_c1_S_VOB_Ns, fnSet_c1_S_VOB_Ns)                            \
    F(C, U8, S_VOB_STIN, 1, 1, fnGet_c1_S_VOB_STIN, fnSet_c1_S_VOB_STIN)                      \
    F(C, BYTES, FIRST_VOB_REC_TM, 2, 5, fnGet_c5_FIRST_VOB_REC_TM, fnSet_c5_FIRST_VOB_REC_TM) \
    F(C, BYTES, LAST_VOB_REC_TM, 7, 5, fnGet_c5_LAST_VOB_REC_TM, fnSet_c5_LAST_VOB_REC_TM)    \
    F(C, U32, S_VOG_SA, 12, 4, fnGet_dwS_VOG_SA, fnSet_dwS_VOG_SA)                            \
    F(C, RSV, reserved16, 16, 2, _, _)
VRM_LAYOUT(S_VOGI_GI, VRM_FIELDS_S_VOGI_GI, 18);

// The video part of an S_VOB_ENT: the entry's type and the picture's size in
// sectors.
#define VRM_FIELDS_S_VOB_ENT_V(F, C)                                           \
    F(C, U8, S_VOB_ENT_TY, 0, 1, fnGet_c1_S_VOB_ENT_TY, fnSet_c1_S_VOB_ENT_TY) \
    F(C, U8, V_PART_SZ, 1, 1, fnGet_c1_V_PART_SZ, fnSet_c1_V_PART_SZ)
VRM_LAYOUT(S_VOB_ENT_V, VRM_FIELDS_S_VOB_ENT_V, 2);

// The original-audio part: its size in sectors and its playback time in
// video fields.
#define VRM_FIELDS_S_VOB_ENT_OA(F, C)                                 \
    F(C, U16, OA_PART_SZ, 0, 2, fnGet_wOA_PART_SZ, fnSet_wOA_PART_SZ) \
    F(C, U16, OA_PART_PB_TM, 2, 2, fnGet_wOA_PART_PB_TM, fnSet_wOA_PART_PB_TM)
VRM_LAYOUT(S_VOB_ENT_OA, VRM_FIELDS_S_VOB_ENT_OA, 4);

// The additional-audio part: the 1-based numbers of a group of the S_AAFI
// and of an entry in it.
#define VRM_FIELDS_S_VOB_ENT_AA(F, C)                                    \
    F(C, U16, S_AAGI_SRPN, 0, 2, fnGet_wS_AAGI_SRPN, fnSet_wS_AAGI_SRPN) \
    F(C, U8, AA_ENTN, 2, 1, fnGet_c1_AA_ENTN, fnSet_c1_AA_ENTN)
VRM_LAYOUT(S_VOB_ENT_AA, VRM_FIELDS_S_VOB_ENT_AA, 3);

namespace vrm {
// The bits of S_VOB_ENT_TY that say which parts follow the video part.
constexpr BYTE kEntryOriginalAudio = 0x40;
constexpr BYTE kEntryAdditionalAudio = 0x80;
}  // namespace vrm

// The general part as on disc. Entries in memory take kEntrySize bytes
// each: the entry as on disc from byte 0 (the rest zero), then at
// kTagOffset the entry's type tag (0x00, 0x40, 0x80 or 0xC0), which decides
// where the accessors find the additional-audio part.
struct S_VOGI {
    static constexpr DWORD kGeneralSize = S_VOGI_GI::kSize;
    static constexpr DWORD kTagOffset = S_VOB_ENT_V::kSize + S_VOB_ENT_OA::kSize + S_VOB_ENT_AA::kSize;
    static constexpr DWORD kEntrySize = kTagOffset + 1;
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
    // Bytes fnWrite writes now.
    DWORD fndwDataSize() const;
    // Writes at offset `at` of w the general part, then S_VOB_Ns entries,
    // each as long as the type bits of its own S_VOB_ENT_TY byte say (not its
    // tag). Entries the record does not hold are written as 2-byte zero
    // entries. Returns the length, 0 without a record.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; returns the length,
    // 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Appends the general part and the entries with the parts their type
    // bits give them.
    void fnDump(std::string& out, const std::string& indent) const;
    // Fills a cleared record for a still file: one entry per picture of the
    // stream library's picture table, S_VOB_STIN stin, `recorded` (UTC;
    // null: the current time) as both recording times. 0 (and nothing
    // changes) without a record or info, for more than kMaxPictures
    // pictures, or for pictures without a picture table.
    int fnADD_VOGI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr);
    // Sectors picture i (0-based) takes in VR_STILL.VRO: its video part, then
    // its original-audio part when its type has one. 0 without entry i.
    DWORD fnGetPictureSectors(BYTE i) const;
    // The type bits of an S_VOB_ENT_TY byte.
    BYTE fnGet_S_VOB_ENT_TYPE(BYTE ty) const { return static_cast<BYTE>(ty & 0xC0); }
    // Sets the type tag of entry i; 0 when there is no entry i.
    int fnSet_bThisType(BYTE i, BYTE tag) { return vrm::SetField<BYTE>(Entry(i), S_VOGI::kTagOffset, tag); }

    VRM_ACCESSORS(VRM_FIELDS_S_VOGI_GI, General)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_VOB_ENT_V, BYTE, Entry, Entry)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_VOB_ENT_OA, BYTE, OriginalAudio, OriginalAudio)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_VOB_ENT_AA, BYTE, AdditionalAudio, AdditionalAudio)

    S_VOGI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    DWORD m_dwStart;
    BYTE m_cS_VOB_Ns;  // cached by the binding constructor and the loader

private:
    BYTE* General() const { return m_pRecord ? m_pRecord->general : nullptr; }
    // Entry i when it lies below the current S_VOB_Ns and in the array.
    BYTE* Entry(BYTE i) const;
    // The parts of entry i behind its video part; the additional-audio part
    // follows the original-audio part in an entry that carries both (every
    // tag but 0x80).
    BYTE* OriginalAudio(BYTE i) const;
    BYTE* AdditionalAudio(BYTE i) const;
};

namespace vrm {
// On-disc length of an S_VOB_ENT of the given S_VOB_ENT_TY byte: 2, 6, 5 or 9.
DWORD S_VOB_ENT_Length(BYTE ty);
}  // namespace vrm

#endif
