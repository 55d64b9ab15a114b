// CS_AVFI: accessor of S_AVFI, the still AV file information inside the
// still AV file information table S_AVFIT (behind its S_VOB_STI records). It
// lists the still-picture video object groups (VOGs) of VR_STILL.VRO: a
// 2-byte VOG count, one 4-byte search pointer per VOG, then the S_VOGI
// records back to back in number order. The search pointers are byte
// offsets from the first byte of the S_AVFIT, not of the S_AVFI.
#ifndef VRMANGR_TABLES_CS_AVFI_H
#define VRMANGR_TABLES_CS_AVFI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CS_VOGI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// The header: the number of VOGs.
#define VRM_FIELDS_S_AVFI_HEADER(F, C) F(C, U16, S_VOGI_SRP_Ns, 0, 2, fnGet_wS_VOGI_SRP_Ns, fnSet_wS_VOGI_SRP_Ns)
VRM_LAYOUT(S_AVFI_HEADER, VRM_FIELDS_S_AVFI_HEADER, 2);

// A search pointer: the VOG's address, in bytes from the S_AVFIT's start.
#define VRM_FIELDS_S_VOGI_SRP(F, C) F(C, U32, S_VOGI_SA, 0, 4, fnGet_dwS_VOGI_SA, fnSet_dwS_VOGI_SA)
VRM_LAYOUT(S_VOGI_SRP, VRM_FIELDS_S_VOGI_SRP, 4);

// The header and the search pointers as on disc, then one S_VOGI per search
// pointer, VOG 1 first.
struct S_AVFI {
    static constexpr DWORD kHeaderSize = S_AVFI_HEADER::kSize;
    static constexpr DWORD kSrpSize = S_VOGI_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<S_VOGI> vogi;
};

class VRMANGR_API CS_AVFI {
public:
    // Binds nothing; the count argument is not used.
    explicit CS_AVFI(WORD unused = 999);
    // base: the S_AVFI's own offset inside the S_AVFIT, from which the
    // serialiser computes the search pointers (0 when only editing).
    CS_AVFI(S_AVFI* record, DWORD base);
    // start: file address of the S_AVFI; base: file address of the S_AVFIT.
    CS_AVFI(CBuffer* buffer, S_AVFI* record, DWORD start, DWORD base);
    ~CS_AVFI() = default;
    CS_AVFI(const CS_AVFI&) = default;
    CS_AVFI& operator=(const CS_AVFI&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // No VOG yet: S_VOGI_SRP_Ns := 0.
    int fnNew();
    // Zeroes the header and the first (cached count) search pointers and
    // VOGs; 0 without a record.
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Reads the header, the search pointers and every VOG (each at base +
    // its S_VOGI_SA). Returns the sum of the parts read, or 0 with the
    // buffer's read failure marked and the record left empty when a part lies
    // outside the file or the parts together exceed the file's size
    // (overlapping VOGs).
    DWORD fndwLoad_S_AVFI_From_File();
    // Bytes fnWrite writes now.
    DWORD fndwDataSize() const;
    // Writes the header, the search pointers and the VOGs back to back from
    // offset `at` of w, setting S_VOGI_SA i to base + the VOG's position.
    // VOGs the record does not hold are written as empty 18-byte general
    // parts. Returns the length, 0 without a record.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; returns the length,
    // 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Appends the header, the search pointers and the VOGs.
    void fnDump(std::string& out, const std::string& indent) const;
    // Appends one VOG built from info (CS_VOGI::fnADD_VOGI). 0, and nothing
    // changes, without a record, when the table already holds 65535 VOGs, or
    // when the VOG cannot be built from info. recorded: its recording time
    // (UTC; null: the current time).
    int fnADD_VOGI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr);
    // Releases the search pointers and the VOGs with their entries (not the
    // S_AVFI record, which belongs to the S_AVFIT).
    void fnFreeAllData();

    // VOG vogi (1-based, up to S_VOGI_SRP_Ns): its FIRST_VOB_REC_TM (5 bytes)
    // to out; 0 when vogi is out of range or out is null.
    int fnGet_iTH_VOGI_REC_TM(WORD vogi, BYTE* out) const;
    // Its S_VOB_STIN; 0 when vogi is out of range.
    BYTE fnGet_iTH_VOGI_S_VOB_STIN(WORD vogi) const;
    // Byte positions in VR_STILL.VRO (32-bit): start := S_VOG_SA x 2048,
    // end := start + 2048 x V_PART_SZ of the VOG's first picture. 0 when
    // vogi is out of range or an output is null.
    int fnGet_iTH_VOGI_StartPosAndEndPos(WORD vogi, DWORD* start, DWORD* end) const;
    // S_VOGI record vogi (1-based), or nullptr.
    S_VOGI* fnGet_iTH_VOGI(WORD vogi) const;

    VRM_ACCESSORS(VRM_FIELDS_S_AVFI_HEADER, Header)
    // Search pointer i, or nullptr when the array holds no pointer i.
    BYTE* fnGet_iTH_S_VOGI_SRP_Address(WORD i) const { return Slot(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_VOGI_SRP, WORD, Pointer, Pointer)

    S_AVFI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    WORD m_wS_VOGI_SRP_Ns;  // as last read by a constructor, the loader or the serialiser
    DWORD m_dwStart;
    DWORD m_dwBase;

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    BYTE* Slot(WORD i) const;
    BYTE* Pointer(WORD i) const { return i < fnGet_wS_VOGI_SRP_Ns() ? Slot(i) : nullptr; }
    void Clear();
};

#endif
