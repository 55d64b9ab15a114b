// CTXTDT_MG: accessor of TXTDT_MG, the text data manager: the item texts
// that playlists and programs refer to by IT_TXT_SRPN, all in one character
// set. The table is optional (TXTDT_MG_SA is 0 when the file has none); the
// library never creates one, it only loads it and writes it back.
//
// On disc: an 8-byte header, IT_TXT_SRP_Ns search pointers, then the texts
// packed in search-pointer order. An empty table is 8 bytes.
#ifndef VRMANGR_TABLES_CTXTDT_MG_H
#define VRMANGR_TABLES_CTXTDT_MG_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

// CHRS is the character set of every text; TXTDT_MG_EA the table's size
// minus 1.
#define VRM_FIELDS_TXTDT_MG_HEADER(F, C)                                       \
    F(C, U8, CHRS, 0, 1, fnGet_c1_CHRS, fnSet_c1_CHRS)                         \
    F(C, RSV, reserved1, 1, 1, _, _)                                           \
    F(C, U16, IT_TXT_SRP_Ns, 2, 2, fnGet_wIT_TXT_SRP_Ns, fnSet_wIT_TXT_SRP_Ns) \
    F(C, U32, TXTDT_MG_EA, 4, 4, fnGet_dwTXTDT_MG_EA, fnSet_dwTXTDT_MG_EA)
VRM_LAYOUT(TXTDT_MG_HEADER, VRM_FIELDS_TXTDT_MG_HEADER, 8);

// IT_TXT_SRP: a text's start from the table's first byte and its length.
#define VRM_FIELDS_IT_TXT_SRP(F, C)                                \
    F(C, U16, IT_TXT_SA, 0, 2, fnGet_wIT_TXT_SA, fnSet_wIT_TXT_SA) \
    F(C, U16, IT_TXT_SZ, 2, 2, fnGet_wIT_TXT_SZ, fnSet_wIT_TXT_SZ)
VRM_LAYOUT(IT_TXT_SRP, VRM_FIELDS_IT_TXT_SRP, 4);

// The header and search pointers as on disc, and all texts as one block in
// search-pointer order. The block never grows through the accessor.
struct TXTDT_MG {
    static constexpr DWORD kHeaderSize = TXTDT_MG_HEADER::kSize;
    static constexpr DWORD kSRPSize = IT_TXT_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<BYTE> text;
};

class VRMANGR_API CTXTDT_MG {
public:
    // Text sizes are numbers a caller may raise by hand; a table whose sizes
    // add up beyond what a DWORD counts is not written (size 0).
    static constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

    explicit CTXTDT_MG(WORD unused = 0);
    explicit CTXTDT_MG(TXTDT_MG* model);
    CTXTDT_MG(CBuffer* buffer, TXTDT_MG* model, DWORD offset);
    CTXTDT_MG(const CTXTDT_MG&) = default;
    CTXTDT_MG& operator=(const CTXTDT_MG&) = default;

    // Zeroes the header and the first (cached count) search pointers.
    int fnSetZero();
    // An empty table in character set chrs.
    int fnNew(BYTE chrs);
    int fnCheckValid() const { return m_pModel ? 1 : 0; }
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the table as it is now (0 when it would
    // not be written, see kMaxSize).
    DWORD fndwDataSize() const;
    // Writes the table at offset `at` of the writer with the texts packed in
    // search-pointer order: every IT_TXT_SA and TXTDT_MG_EA is rewritten.
    // Returns the size; 0, writing and changing nothing, when fndwDataSize()
    // is 0.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which must hold fndwDataSize() bytes; returns the
    // size (0 for a null out).
    DWORD fnReadData(BYTE* out);
    // Loads the table at the file offset. The texts are read as one block
    // right behind the search pointers, its length the sum of the IT_TXT_SZ;
    // the stored start addresses are not used for reading. Returns the size,
    // or 0 (with the buffer's read failure marked) when the table passes the
    // end of the file.
    DWORD fndwLoad_TXTDT_MG_From_File();
    // Releases the table, the TXTDT_MG record itself included (it must have
    // been allocated with new); the accessor is then unbound.
    void fnFreeAllData();
    // Appends the header's fields and each search pointer held, numbered
    // from 1, its fields and its text (in hexadecimal) two spaces further in.
    void fnDump(std::string& out, const std::string& indent) const;

    VRM_ACCESSORS(VRM_FIELDS_TXTDT_MG_HEADER, Header)
    // Search pointer i (0-based), or nullptr when the array has no entry i.
    BYTE* fnGet_iTH_IT_TXT_SRP_Address(WORD i) const { return SearchPointer(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_IT_TXT_SRP, WORD, SearchPointer, SearchPointer)
    // Text i lies in the block at IT_TXT_SA(i) - (8 + 4 x IT_TXT_SRP_Ns) and
    // is IT_TXT_SZ(i) bytes long. The getter copies all of it to out; the
    // setter overwrites its first len bytes (len at most IT_TXT_SZ(i): a
    // text's length cannot change here). Both return 0 for a null buffer or
    // when the text does not lie inside the block.
    int fnGet_IT_TXT(WORD i, BYTE* out) const;
    int fnSet_IT_TXT(WORD i, const BYTE* src, DWORD len);

    TXTDT_MG* m_pModel;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    WORD m_wIT_TXT_SRP_Ns;  // cached count
    DWORD m_dwOffset;
    DWORD m_dwTextSize;  // length of the text block read by the load

private:
    BYTE* Header() const { return m_pModel ? m_pModel->header : nullptr; }
    BYTE* SearchPointer(WORD i) const;
    uint64_t SerialisedSize() const;
    // Text i inside the block, or nullptr.
    BYTE* Text(WORD i) const;
};

#endif
