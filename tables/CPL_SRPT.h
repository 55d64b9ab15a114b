// CPL_SRPT: accessor of PL_SRPT, the table of play list search pointers. It
// follows the 512-byte VMGI_MAT inside RTR_VMGI: an 8-byte header, then one
// 146-byte PL_SRP per playlist, naming the user-defined program chain that
// plays it, its creation time, its name text and a representative picture.
#ifndef VRMANGR_TABLES_CPL_SRPT_H
#define VRMANGR_TABLES_CPL_SRPT_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct PGCI;
struct UD_PGCIT;

// PL_SRPT_EA is the table's size minus 1.
#define VRM_FIELDS_PL_SRPT_HEADER(F, C)                               \
    F(C, RSV, reserved0, 0, 3, _, _)                                  \
    F(C, U8, PL_SRP_Ns, 3, 1, fnGet_c1_PL_SRP_Ns, fnSet_c1_PL_SRP_Ns) \
    F(C, U32, PL_SRPT_EA, 4, 4, fnGet_dwPL_SRPT_EA, fnSet_dwPL_SRPT_EA)
VRM_LAYOUT(PL_SRPT_HEADER, VRM_FIELDS_PL_SRPT_HEADER, 8);

// PL_SRP, one playlist: its type (PL_TY: 0 movie cells only, 0x10 still
// pictures only, 0x20 both), the number of the user-defined chain that plays
// it, its creation time (REC_TM), its name text (PRM_TXTI, two 64-byte
// halves), the number of its item text in TXTDT_MG (0 for none), and the
// representative picture: cell CN of the chain at time PICT_PT.
#define VRM_FIELDS_PL_SRP(F, C)                                                   \
    F(C, RSV, reserved0, 0, 1, _, _)                                              \
    F(C, U8, PL_TY, 1, 1, fnGet_c1_PL_TY, fnSet_c1_PL_TY)                         \
    F(C, U8, PGCN, 2, 1, fnGet_c1_PGCN, fnSet_c1_PGCN)                            \
    F(C, BYTES, PL_CREATE_TM, 3, 5, fnGet_c5_PL_CREATE_TM, fnSet_c5_PL_CREATE_TM) \
    F(C, BYTES, PRM_TXTI, 8, 128, fnGet_c128_PRM_TXTI, fnSet_c128_PRM_TXTI)       \
    F(C, U16, IT_TXT_SRPN, 136, 2, fnGet_wIT_TXT_SRPN, fnSet_wIT_TXT_SRPN)        \
    F(C, U16, CN, 138, 2, fnGet_wCN, fnSet_wCN)                                   \
    F(C, BYTES, PICT_PT, 140, 6, fnGet_c6_PICT_PT, fnSet_c6_PICT_PT)
VRM_LAYOUT(PL_SRP, VRM_FIELDS_PL_SRP, 146);

// The header and PL_SRP_Ns entries, as on disc. The entry array is not
// shrunk by a delete (only emptied when the last playlist goes), so it may
// hold more bytes than the count covers.
struct PL_SRPT {
    static constexpr DWORD kHeaderSize = PL_SRPT_HEADER::kSize;
    static constexpr DWORD kEntrySize = PL_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> entries;
};

class VRMANGR_API CPL_SRPT {
public:
    // Getters answer for entry indexes 0..kMaxGetIndex only, and the table
    // never grows beyond kMaxEntries playlists.
    static constexpr BYTE kMaxGetIndex = 99;
    static constexpr BYTE kMaxEntries = 100;

    explicit CPL_SRPT(BYTE unused = 0);
    explicit CPL_SRPT(PL_SRPT* model);
    CPL_SRPT(CBuffer* buffer, PL_SRPT* model, DWORD offset);
    ~CPL_SRPT();
    CPL_SRPT(const CPL_SRPT&) = default;
    CPL_SRPT& operator=(const CPL_SRPT&) = default;

    // Zeroes the header and empties the entries; 0 without a model.
    int fnSetZero();
    // An empty table: no pointers, end address 7.
    int fnNew();
    int fnCheckValid() const { return m_pModel ? 1 : 0; }
    // 8 + 146 x the cached count.
    DWORD fndwSize() const { return PL_SRPT::kHeaderSize + PL_SRPT::kEntrySize * DWORD{m_cPL_SRP_Ns}; }
    // Bytes fnReadData writes: 8 + 146 x PL_SRP_Ns.
    DWORD fndwDataSize() const {
        return m_pModel ? PL_SRPT::kHeaderSize + PL_SRPT::kEntrySize * DWORD{fnGet_c1_PL_SRP_Ns()} : 0;
    }
    // Writes the header and PL_SRP_Ns entries at offset `at` of the writer,
    // with PL_SRPT_EA set to the size minus 1; returns the size (0, writing
    // nothing, without a model).
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out; returns the size (0 for a null out).
    DWORD fnReadData(BYTE* out);
    // Reads the table at the file offset; returns its size, or 0 (with the
    // buffer's read failure marked) when the entries pass the end of the file.
    DWORD fnLoad_PL_SRPT_From_File();
    // Appends a search pointer for the playlist played by user-defined chain
    // pgcn (whose record is pgci); see AddPointer. 0 for a null pgci.
    int fnADD_PlayList_Pointer(PGCI* pgci, BYTE pgcn, const SYSTEMTIME* created = nullptr);
    // PL_TY of entry i := the cell-type summary of the chain: 0 movie cells
    // only, 0x10 still pictures only, 0x20 both.
    int fnSet_PL_TY(PGCI* pgci, BYTE i);
    // Refreshes PL_TY of entry i from the chain it names in ud. 0 when there
    // is no entry i or it names no chain of ud.
    int fnUpdate_PlayList(UD_PGCIT* ud, BYTE i);
    // Appends a search pointer for the playlist played by user-defined chain
    // pgcn, of playlist type plTy: created at `created` (the disc's
    // wall-clock time; the clock's current time when null), its name text
    // the creation date and time in both halves, cell 1 as representative
    // picture, no item text. 0 (and nothing changes) when the table already
    // holds kMaxEntries playlists.
    int AddPointer(BYTE plTy, BYTE pgcn, const SYSTEMTIME* created = nullptr);
    // Deletes playlist n (1-based): later entries move down one place and
    // their PGCN drops by one, since the deleted playlist's chain goes too.
    // 0 when n is 0 or above the count.
    int fnDEL_PlayList_Pointer(BYTE n);
    // Appends the header's fields and each counted entry held, numbered
    // from 1, its fields two spaces further in.
    void fnDump(std::string& out, const std::string& indent) const;

    VRM_ACCESSORS(VRM_FIELDS_PL_SRPT_HEADER, Header)
    // Entry i, or nullptr when the array has no entry i.
    BYTE* fnGet_iTH_PL_SRP_Address(BYTE i) const { return Entry(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_PL_SRP, BYTE, ReadEntry, Entry)

    PL_SRPT* m_pModel;
    DWORD m_dwOwns;  // when set, the destructor frees the model
    CBuffer* m_pBuffer;
    DWORD m_dwOffset;
    BYTE m_cPL_SRP_Ns;  // cached count
    DWORD m_dwPL_SRPT_EA;  // cached end address

private:
    BYTE* Header() const { return m_pModel ? m_pModel->header : nullptr; }
    BYTE* Entry(BYTE i) const;
    BYTE* ReadEntry(BYTE i) const { return i <= kMaxGetIndex ? Entry(i) : nullptr; }
};

#endif
