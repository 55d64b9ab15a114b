// CUD_PGCIT: accessor of UD_PGCIT, the table of user-defined program chains.
// Each playlist plays one of these chains; its search pointer in PL_SRPT
// names the chain by its number (PGCN), counted from 1 in table order. The
// table follows the original chain ORG_PGCI in VR_MANGR.IFO; a new file has
// none until the first playlist is made.
//
// On disc: the header UD_PGCIT_HEADER, UD_PGCI_SRP_Ns search pointers
// UD_PGCI_SRP, then the chains in the PGCI layout, back to back in number
// order. An empty table is its header alone with UD_PGCIT_EA = 5.
//
// Operations on one chain take its number (1-based) and forward to a
// temporary CPGCI accessor over that chain's record.
#ifndef VRMANGR_TABLES_CUD_PGCIT_H
#define VRMANGR_TABLES_CUD_PGCIT_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CPGCI.h"

class CBuffer;
struct M_VOBI;
struct S_VOGI;

// UD_PGCIT_EA is the table's length minus 1.
#define VRM_FIELDS_UD_PGCIT_HEADER(F, C)                                             \
    F(C, RSV, reserved0, 0, 1, _, _)                                                 \
    F(C, U8, UD_PGCI_SRP_Ns, 1, 1, fnGet_c1_UD_PGCI_SRP_Ns, fnSet_c1_UD_PGCI_SRP_Ns) \
    F(C, U32, UD_PGCIT_EA, 2, 4, fnGet_dwUD_PGCIT_EA, fnSet_dwUD_PGCIT_EA)
VRM_LAYOUT(UD_PGCIT_HEADER, VRM_FIELDS_UD_PGCIT_HEADER, 6);

// UD_PGCI_SA: the chain's byte offset from the table's first byte.
#define VRM_FIELDS_UD_PGCI_SRP(F, C) F(C, U32, UD_PGCI_SA, 0, 4, fnGet_dwUD_PGCI_SA, fnSet_dwUD_PGCI_SA)
VRM_LAYOUT(UD_PGCI_SRP, VRM_FIELDS_UD_PGCI_SRP, 4);

// The header as on disc; the search pointers as on disc (current only after
// a load or a save); one PGCI record per chain, chain 1 first. A delete moves
// the later entries down without shrinking the arrays (both are emptied when
// the last chain goes), so they may hold more entries than the count covers.
struct UD_PGCIT {
    static constexpr DWORD kHeaderSize = UD_PGCIT_HEADER::kSize;
    static constexpr DWORD kSRPSize = UD_PGCI_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> srp;
    std::vector<PGCI> pgci;
};

class VRMANGR_API CUD_PGCIT {
public:
    // Every chain is played by a playlist, and PL_SRPT holds at most 100
    // playlists: the table never grows beyond that many chains (which also
    // keeps the one-byte count from wrapping).
    static constexpr BYTE kMaxChains = 100;

    explicit CUD_PGCIT(BYTE unused = 64);
    explicit CUD_PGCIT(UD_PGCIT* record);
    CUD_PGCIT(CBuffer* buffer, UD_PGCIT* record, DWORD start);
    CUD_PGCIT(const CUD_PGCIT&) = default;
    CUD_PGCIT& operator=(const CUD_PGCIT&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // An empty table: reserved byte and count 0, no chain; size 6.
    int fnNew();
    // Zeroes the header and empties the first (cached count) chains and
    // search pointers; nothing else is released.
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the table as it is now.
    DWORD fndwDataSize() const;
    // Writes the table at offset `at` of the writer, recomputing every search
    // pointer and the end address; returns its length.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // Writes the table; returns fndwDataSize(), or 0 for a null out. The
    // caller's buffer must hold fndwDataSize() bytes.
    DWORD fnReadData(BYTE* out);
    // Appends the header's fields, then each search pointer and chain as
    // written.
    void fnDump(std::string& out, const std::string& indent) const;
    // Loads the table at the start address and gives every chain whose first
    // cell is a movie cell without entry point an entry point at that cell's
    // start. Returns the bytes loaded; 0 when the start address is 0 (the
    // file has no such table; nothing is touched), and 0 with the buffer's
    // read failure marked when a count or address points outside the file.
    DWORD fndwLoad_UD_PGCIT_From_File();
    // Releases every chain and the UD_PGCIT record itself, which must have
    // been allocated with new; the accessor is then unbound.
    void fnFreeAllData();
    // Appends an empty chain (number n + 1); 0 when the table already holds
    // kMaxChains chains.
    int fnADD_UD_PGCI();
    // Deletes chain num; later chains take the next lower number. 0 when num
    // is 0 or above the count. PL_SRPT is not touched.
    int fnDEL_UD_PGCI(BYTE num);
    // The chain the manager works on; no operation here reads it.
    void fnSetCurrentUD_PGCI_Num(BYTE num) { m_cCurrentUD_PGCI_Num = num; }

    // Operations on chain num (1..UD_PGCI_SRP_Ns); each returns 0 for a
    // chain number out of range.
    // Appends a movie cell over the whole VOB.
    int fnADD_Movie_Cell(BYTE num, M_VOBI* vobi, WORD vobiNo);
    // Inserts a movie cell from startPtm to endPtm at 0-based position pos
    // (-1 appends).
    int fnADD_UD_Movie_Cell(BYTE num, const BYTE* startPtm, const BYTE* endPtm, WORD vobiNo, int pos);
    // Appends a still-picture cell; 0 when the chain refuses it (no VOG, a
    // full chain).
    int fnADD_Still_Pic_Cell(BYTE num, S_VOGI* vogi, WORD vogiNo);
    // Inserts an entry point into cell c (1-based) at position pos.
    int fnADD_Movie_Cell_EntryPoint(BYTE num, WORD c, WORD pos, const BYTE* ptm, const BYTE* text);
    // ---- Cell and entry-point edits of chain num (CPGCI editing) ----
    int fnDEL_Movie_Cell(BYTE num, WORD cell);
    // Inserts an entry point right after global entry point n.
    int fnADD_Movie_Cell_EntryPoint(BYTE num, WORD n, const BYTE* ptm, const BYTE* text);
    // Inserts an entry point offset ticks after global entry point n.
    int fnADD_Movie_Cell_EntryPoint(BYTE num, WORD n, __int64 offset, const BYTE* text);
    int fnDEL_Movie_Entry_Point(BYTE num, WORD cell, WORD e);
    int fnDEL_Movie_Entry_Point(BYTE num, WORD n);
    int fnCombine_UD_Cell_EntryPoint(BYTE num, WORD c1, WORD e1, WORD c2, WORD e2);
    int fnCombine_EntryPoint(BYTE num, WORD nFirst, WORD nLast);
    // ---- end of cell and entry-point edits ----
    int fnTranslateAddress(BYTE num, int pg, int cell, WORD ep, WORD* cellIndex, WORD* epInCell);
    // Milliseconds of entry points (cells = 0) or of cells a..b, or of all
    // of them when inRange is 0; still pictures count stillTm seconds.
    DWORD fnGetPGCIDuration(BYTE num, BYTE stillTm, int cells, int inRange, int first, int last);
    DWORD fnGetTotalEntryPointNs(BYTE num, int inRange, int first, int last);
    // The chain's cell count.
    DWORD fnGet_CI_SRP_Ns(BYTE num);

    VRM_ACCESSORS(VRM_FIELDS_UD_PGCIT_HEADER, Header)
    // Search pointer i (0-based), or nullptr when the array has no entry i.
    BYTE* fnGet_iTH_UD_PGCI_SRP_Address(BYTE i) const { return SearchPointer(i); }
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_UD_PGCI_SRP, BYTE, SearchPointer, SearchPointer)

    UD_PGCIT* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    BYTE m_cUD_PGCI_SRP_Ns;  // cached chain count
    BYTE m_cCurrentUD_PGCI_Num;
    DWORD m_dwStart;

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    BYTE* SearchPointer(BYTE i) const;
    // The record of chain num (1-based), or nullptr when num is 0, above the
    // count or beyond the chains held.
    PGCI* Chain(BYTE num) const;
    // Makes both arrays hold at least n entries, so that a count raised by
    // hand names chains that exist (empty ones).
    void Reserve(DWORD n);
    // Gives a freshly loaded chain an entry point at the start of its first
    // cell when that is a movie cell without one.
    static void AddFirstEntryPoint(PGCI* chain);
};

#endif
