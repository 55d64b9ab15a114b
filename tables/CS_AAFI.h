// CS_AAFI: accessor of S_AAFI, the still additional audio file information.
// It closes the still AV file information table S_AVFIT, behind the S_AA_STI
// records, and lists the additional-audio groups (S_AAGI) that still
// pictures can carry besides their original audio: a 2-byte group count,
// one 4-byte search pointer per group, then the groups. The search pointers
// are byte offsets from the first byte of the S_AVFIT, not of the S_AAFI.
#ifndef VRMANGR_TABLES_CS_AAFI_H
#define VRMANGR_TABLES_CS_AAFI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CS_AAGI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

// The header: the number of groups.
#define VRM_FIELDS_S_AAFI_HEADER(F, C) F(C, U16, S_AAGI_SRP_Ns, 0, 2, fnGet_wS_AAGI_SRP_Ns, fnSet_wS_AAGI_SRP_Ns)
VRM_LAYOUT(S_AAFI_HEADER, VRM_FIELDS_S_AAFI_HEADER, 2);

// A search pointer: the group's address, in bytes from the S_AVFIT's start.
#define VRM_FIELDS_S_AAGI_SRP(F, C) F(C, U32, S_AAGI_SA, 0, 4, fnGet_dwS_AAGI_SA, fnSet_dwS_AAGI_SA)
VRM_LAYOUT(S_AAGI_SRP, VRM_FIELDS_S_AAGI_SRP, 4);

// The header and the search pointers as on disc, then one S_AAGI per search
// pointer, group 1 first.
struct S_AAFI {
    static constexpr DWORD kHeaderSize = S_AAFI_HEADER::kSize;
    static constexpr DWORD kSrpSize = S_AAGI_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<S_AAGI> groups;
};

class VRMANGR_API CS_AAFI {
public:
    // Binds nothing; the count argument is not used.
    explicit CS_AAFI(WORD unused = 999);
    // base: the S_AAFI's own offset inside the S_AVFIT, from which the
    // serialiser computes the search pointers (0 when only reading fields).
    CS_AAFI(S_AAFI* record, DWORD base);
    // start: file address of the S_AAFI; base: file address of the S_AVFIT.
    CS_AAFI(CBuffer* buffer, S_AAFI* record, DWORD start, DWORD base);
    ~CS_AAFI() = default;
    CS_AAFI(const CS_AAFI&) = default;
    CS_AAFI& operator=(const CS_AAFI&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // Zeroes the header and the first (cached count) search pointers and
    // groups; 0 without a record.
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Reads the header, the search pointers and every group (each at base +
    // its S_AAGI_SA). Returns the sum of the parts read, whatever gaps the
    // search pointers leave, or 0 with the buffer's read failure marked and
    // the record left empty when a part lies outside the file or the parts
    // together exceed the file's size (overlapping groups).
    DWORD fndwLoad_S_AAFI_From_File();
    // Releases the search pointers and the groups with their entries (not
    // the S_AAFI record, which belongs to the S_AVFIT).
    void fnFreeAllData();
    // Bytes fnWrite writes now.
    DWORD fndwDataSize() const;
    // Writes the S_AAFI at offset `at` of w in the layout its loader reads:
    // header, search pointers, then the S_AAGI_SRP_Ns groups back to back in
    // number order, each search pointer set to base + the group's position.
    // Groups the record does not hold are written as empty (zero) groups.
    // Returns the length, 0 without a record.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; returns the length,
    // 0 for a null out or no record.
    DWORD fnReadData(BYTE* out);
    // Appends the header, the search pointers and the groups.
    void fnDump(std::string& out, const std::string& indent) const;

    VRM_ACCESSORS(VRM_FIELDS_S_AAFI_HEADER, Header)
    // Search pointer i, or nullptr when the array holds no pointer i.
    BYTE* fnGet_iTH_S_AAGI_SRP_Address(WORD i) const { return Slot(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_S_AAGI_SRP, WORD, Pointer, Pointer)

    S_AAFI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    WORD m_wS_AAGI_SRP_Ns;  // cached by the binding constructor and the loader
    DWORD m_dwStart;
    DWORD m_dwBase;

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    BYTE* Slot(WORD i) const;
    BYTE* Pointer(WORD i) const { return i < fnGet_wS_AAGI_SRP_Ns() ? Slot(i) : nullptr; }
    void Clear();
};

#endif
