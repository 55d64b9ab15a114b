// CTXTDT_MG: accessor of TXTDT_MG, the text data manager: the item texts
// that playlists and programs refer to by IT_TXT_SRPN, all in one character
// set. The table is optional (TXTDT_MG_SA is 0 when the file has none); the
// library never creates one, it only loads it and writes it back.
//
// On disc: an 8-byte header (CHRS, reserved, IT_TXT_SRP_Ns, TXTDT_MG_EA =
// table size - 1), IT_TXT_SRP_Ns search pointers of 4 bytes (IT_TXT_SA, the
// text's start from the table's first byte, and IT_TXT_SZ, its length), then
// the texts packed in search-pointer order. An empty table is 8 bytes.
#ifndef VRMANGR_TABLES_CTXTDT_MG_H
#define VRMANGR_TABLES_CTXTDT_MG_H

#include <cstdint>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;

// The header and search pointers as on disc, and all texts as one block in
// search-pointer order. The block never grows through the accessor.
struct TXTDT_MG {
    static constexpr DWORD kHeaderSize = 8;
    static constexpr DWORD kSRPSize = 4;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<BYTE> text;
};
static_assert(sizeof(TXTDT_MG::header) == TXTDT_MG::kHeaderSize, "the TXTDT_MG header is 8 bytes on disc");

class VRMANGR_API CTXTDT_MG {
public:
    // Text sizes are numbers a caller may raise by hand; a table whose sizes
    // add up beyond what a DWORD counts is not written (size 0).
    static constexpr uint64_t kMaxSize = 0xFFFFFFFFu;

    explicit CTXTDT_MG(WORD unused = 0);
    explicit CTXTDT_MG(TXTDT_MG* model);
    CTXTDT_MG(CBuffer* buffer, TXTDT_MG* model, DWORD offset);
    ~CTXTDT_MG();
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
    // Writes the table with the texts packed in search-pointer order: every
    // IT_TXT_SA and TXTDT_MG_EA is rewritten. Returns the size (0 for a null
    // out); the caller's buffer must hold fndwDataSize() bytes.
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

    VRM_SCALAR_FIELD(BYTE, fnGet_c1_CHRS, fnSet_c1_CHRS, Header, 0)
    VRM_SCALAR_FIELD(WORD, fnGet_wIT_TXT_SRP_Ns, fnSet_wIT_TXT_SRP_Ns, Header, 2)
    VRM_SCALAR_FIELD(DWORD, fnGet_dwTXTDT_MG_EA, fnSet_dwTXTDT_MG_EA, Header, 4)
    // Search pointer i (0-based), or nullptr when the array has no entry i.
    BYTE* fnGet_iTH_IT_TXT_SRP_Address(WORD i) const { return SearchPointer(i); }
    VRM_ENTRY_SCALAR_FIELD(WORD, WORD, fnGet_wIT_TXT_SA, fnSet_wIT_TXT_SA, SearchPointer, 0)
    VRM_ENTRY_SCALAR_FIELD(WORD, WORD, fnGet_wIT_TXT_SZ, fnSet_wIT_TXT_SZ, SearchPointer, 2)
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
    BYTE m_cOwns;  // when set, the destructor frees the model
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
