// CS_AVFIT: accessor of S_AVFIT, the still AV file information table of
// VR_MANGR.IFO, which describes the still-picture stream file VR_STILL.VRO:
//
//   header          8 bytes
//   S_VOB_STI x n   the attributes of the pictures and their original audio
//   S_AVFI          the VOGs (CS_AVFI)
//   S_AA_STI x m    the attributes of additional audio } only when
//   S_AAFI          the additional audio (CS_AAFI)     } S_AAFI_Ns != 0
//
// Everything behind the header is present only once a still picture exists
// (S_AVFI_Ns != 0). Addresses inside the S_AVFI and the S_AAFI count from
// the table's first byte. Each VOG names the S_VOB_STI of its pictures by a
// 1-based number; still files with equal attributes share one S_VOB_STI.
#ifndef VRMANGR_TABLES_CS_AVFIT_H
#define VRMANGR_TABLES_CS_AVFIT_H

#include <memory>
#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CS_AAFI.h"
#include "tables/CS_AVFI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// S_AVFI_Ns and S_AAFI_Ns are 0 or 1: whether the S_AVFI and the S_AAFI
// are present. S_AVFIT_EA is the table's length minus 1.
#define VRM_FIELDS_S_AVFIT_HEADER(F, C)                                        \
    F(C, U8, S_AVFI_Ns, 0, 1, fnGet_c1_S_AVFI_Ns, fnSet_c1_S_AVFI_Ns)          \
    F(C, U8, S_AAFI_Ns, 1, 1, fnGet_c1_S_AAFI_Ns, fnSet_c1_S_AAFI_Ns)          \
    F(C, U8, S_VOB_STI_Ns, 2, 1, fnGet_c1_S_VOB_STI_Ns, fnSet_c1_S_VOB_STI_Ns) \
    F(C, U8, S_AA_STI_Ns, 3, 1, fnGet_c1_S_AA_STI_Ns, fnSet_c1_S_AA_STI_Ns)    \
    F(C, U32, S_AVFIT_EA, 4, 4, fnGet_dw_S_AVFIT_EA, fnSet_dw_S_AVFIT_EA)
VRM_LAYOUT(S_AVFIT_HEADER, VRM_FIELDS_S_AVFIT_HEADER, 8);

// S_VOB_STI: the video attributes of still pictures (vrm::VideoAttributes),
// those of their original audio (the 16-bit form of vrm::AudioAttributes,
// 0 for pictures without audio), and the sub-picture palette.
#define VRM_FIELDS_S_VOB_STI(F, C)                        \
    F(C, U16, V_ATR, 0, 2, fnGet_wV_ATR, fnSet_wV_ATR)    \
    F(C, U16, OA_ATR, 2, 2, fnGet_wOA_ATR, fnSet_wOA_ATR) \
    F(C, RSV, reserved4, 4, 2, _, _)                      \
    F(C, BYTES, SP_PLT, 6, 48, fnGet_c48_SP_PLT, fnSet_c48_SP_PLT)
VRM_LAYOUT(S_VOB_STI, VRM_FIELDS_S_VOB_STI, 54);

// S_AA_STI: the attributes of additional audio (the 16-bit form of
// vrm::AudioAttributes).
#define VRM_FIELDS_S_AA_STI(F, C) F(C, U16, AA_ATR, 0, 2, fnGet_wAA_ATR, fnSet_wAA_ATR)
VRM_LAYOUT(S_AA_STI, VRM_FIELDS_S_AA_STI, 2);

// The header as on disc, then the sub-records. The S_VOB_STI array always
// holds one slot more than S_VOB_STI_Ns once it exists: new attributes are
// built in that spare slot and kept when no existing record matches. The
// loader gives the S_AA_STI array a spare slot too.
struct S_AVFIT {
    static constexpr DWORD kHeaderSize = S_AVFIT_HEADER::kSize;
    static constexpr DWORD kStiSize = S_VOB_STI::kSize;
    static constexpr DWORD kAaStiSize = S_AA_STI::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> sti;
    std::unique_ptr<S_AVFI> pS_AVFI;
    std::vector<BYTE> aaSti;
    std::unique_ptr<S_AAFI> pS_AAFI;
};

class VRMANGR_API CS_AVFIT {
public:
    // The attribute getters answer for record indexes 0..kMaxGetIndex only,
    // so the table never grows beyond kMaxStiRecords S_VOB_STI records.
    static constexpr BYTE kMaxGetIndex = 64;
    static constexpr BYTE kMaxStiRecords = kMaxGetIndex + 1;

    // Binds nothing; the count arguments are not used.
    explicit CS_AVFIT(BYTE unusedSti = 0, BYTE unusedAaSti = 0);
    explicit CS_AVFIT(S_AVFIT* record);
    CS_AVFIT(CBuffer* buffer, S_AVFIT* record, DWORD start);
    ~CS_AVFIT() = default;
    CS_AVFIT(const CS_AVFIT&) = default;
    CS_AVFIT& operator=(const CS_AVFIT&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // A table without still pictures: all counts 0, S_AVFIT_EA 7, size 8.
    int fnNew();
    // Zeroes the header and drops every sub-record; 0 without a record.
    int fnSetZero();
    // The size recorded by fnNew or the last load.
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnWrite writes for the table as it is now.
    DWORD fndwDataSize() const;
    // Writes the table at offset `at` of w and sets S_AVFIT_EA to its length
    // - 1; returns the length, 0 without a record. Counts raised by hand
    // beyond the records held are written with zero records.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; returns the length,
    // 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Appends the header and, as the serialiser writes them, the S_VOB_STI,
    // the S_AVFI, the S_AA_STI and the S_AAFI.
    void fnDump(std::string& out, const std::string& indent) const;
    // Loads the table at the start address; returns the bytes loaded, or 0
    // with the buffer's read failure marked and the record left empty when
    // any part lies outside the file or the parts together exceed the
    // file's size.
    DWORD fndwLoad_S_AVFIT_From_File();
    // Releases every sub-record and the S_AVFIT record itself, and unbinds.
    void fnFreeAllData();

    // Registers one analysed still file: its attributes (shared with an
    // equal S_VOB_STI or added) and one VOG. 0, and nothing changes, without
    // a record or info, for more than 255 pictures or pictures without a
    // picture table, when the table holds 65535 VOGs, or when new attributes
    // would exceed kMaxStiRecords. recorded: the VOG's recording time (UTC;
    // null: the current time).
    int fnADD_Program(const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr);
    // The 1-based number of the S_VOB_STI that describes info, added when
    // none matches; 0 (nothing added) without a record or info, or when an
    // addition would exceed kMaxStiRecords.
    BYTE fnADD_S_VOB_STI(const VR_MPEGFILE_INFO* info);
    // Builds the attributes of info in slot n and returns the number (1..n)
    // of the first of the n records equal to it in all 54 bytes, or 0.
    BYTE fnFindSameS_VOB_STI(BYTE n, const VR_MPEGFILE_INFO* info);
    // Rebuilds slot i (0-based, any slot the array holds, the spare one
    // included) from info; 0 when there is no slot i or no info.
    int fnSet_S_VOB_STI_Data(BYTE i, const VR_MPEGFILE_INFO* info);
    // FIRST_VOB_REC_TM of VOG vogi (1-based) to out; 0 without an S_AVFI or
    // for a vogi out of range.
    int fnGet_iTH_VOGI_REC_TM(WORD vogi, BYTE* out) const;
    // Decodes S_VOB_STI number stin into the attribute fields of s; 0 (s
    // unchanged) for a null s or a stin that names no record.
    int fnGet_CellInfoFromS_VOB_STI(BYTE stin, seg* s) const;
    // Fills s for VOG vogi as one still picture shown stillTm seconds; 0 (s
    // unchanged) without an S_AVFI, for a vogi out of range, or when the VOG
    // names no existing S_VOB_STI.
    int fnGet_iTH_VOGI_Info(WORD vogi, seg* s, BYTE stillTm) const;

    // ---- Removing VOGs and attribute records (CS_AVFIT_edit.cpp) ----
    // VOGs are numbered from 1 in table order (S_VOGI_SRP_Ns of them),
    // S_VOB_STI and S_AA_STI records and additional-audio groups from 1.
    // Every operation returns 1 on success and 0, with the table unchanged,
    // when it refuses. The still cells of the program chains name VOGs by
    // number: the caller brings them in line after a removal.
    //
    // Removes VOG n; later VOGs move down one number. A picture with
    // additional audio names a group of the S_AAFI (S_AAGI_SRPN) and an
    // entry in it: the groups that only VOG n's pictures name go with it
    // (later groups move down, and the pictures left name them by their new
    // numbers); a group another VOG's picture also names stays whole, as do
    // the S_AA_STI records (see fnDEL_S_AA_STI). The S_VOB_STI it named
    // stays (see fnDEL_S_VOB_STI). Without its last VOG the table is the
    // one fnNew makes, with neither attribute records nor additional audio.
    // 0 for n out of range.
    int fnDEL_VOG(WORD n);
    // Removes S_VOB_STI number stin; VOGs naming a later record name it by
    // its new number, and the spare slot stays behind the records. Without
    // its last record a table without VOGs and additional audio is the one
    // fnNew makes. 0 for stin out of range or named by a VOG.
    int fnDEL_S_VOB_STI(BYTE stin);
    // Removes S_AA_STI number stin likewise, for the additional-audio
    // groups that name them. Without its last record a table without
    // groups has no additional-audio part any more (S_AAFI_Ns 0). 0 for
    // stin out of range (or a table without additional audio) or named by a
    // group.
    int fnDEL_S_AA_STI(BYTE stin);
    // ---- end of removing ----

    VRM_ACCESSORS(VRM_FIELDS_S_AVFIT_HEADER, Header)
    // Slot i of the arrays (whatever the counts say), or nullptr.
    BYTE* fnGet_iTH_S_VOB_STI_Address(BYTE i) const { return StiSlot(i); }
    BYTE* fnGet_iTH_S_AA_STI_Address(BYTE i) const { return AaStiSlot(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_VOB_STI, BYTE, ReadSti, Sti)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_AA_STI, BYTE, ReadAaSti, AaSti)

    S_AVFIT* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    BYTE m_cS_VOB_STI_Ns;  // cached by the binding constructor, the loader and the adds
    BYTE m_cS_AA_STI_Ns;  // cached by the binding constructor and the loader
    DWORD m_dwStart;

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    BYTE* StiSlot(BYTE i) const;
    BYTE* AaStiSlot(BYTE i) const;
    // Records that lie below their count, and those the getters answer for.
    BYTE* Sti(BYTE i) const { return i < fnGet_c1_S_VOB_STI_Ns() ? StiSlot(i) : nullptr; }
    BYTE* AaSti(BYTE i) const { return i < fnGet_c1_S_AA_STI_Ns() ? AaStiSlot(i) : nullptr; }
    BYTE* ReadSti(BYTE i) const { return i <= kMaxGetIndex ? Sti(i) : nullptr; }
    BYTE* ReadAaSti(BYTE i) const { return i <= kMaxGetIndex ? AaSti(i) : nullptr; }
    void ReleaseSubRecords();
    // Back to the table fnNew makes, every sub-record released.
    void Empty();
};

#endif
