// CPGCI: accessor of a program chain (PGCI): an ordered list of cells
// grouped into programs. The management file holds one original chain,
// ORG_PGCI, with a cell for every recording in recording order and its
// programs grouped by recording date, and one user-defined chain (without
// programs) per playlist.
//
// On disc: the header PGCI_HEADER, PG_Ns program records PGI, CI_SRP_Ns
// search pointers CI_SRP, then the cells back to back.
//
// Addressing: programs and cells are numbered from 1. A cell is named by
// its number within a program (program p, cell k stands for global cell k
// plus the cells of programs 1..p-1) or by its global number. Entry points
// are numbered from 1 within a cell, or globally from 1 through all cells
// in order. The part of a cell before its first entry point is entry point
// 0 of that cell.
//
// The segment of an entry point runs from it to the next entry point of its
// cell, or for a cell's last entry point to the cell's end and on through
// the continuation cells that follow: movie cells with no entry point, or
// whose first entry point lies half a second or more after their start.
#ifndef VRMANGR_TABLES_CPGCI_H
#define VRMANGR_TABLES_CPGCI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CCI.h"

class CBuffer;
struct M_VOBI;
struct S_VOGI;

// PG_Ns is 0 in user-defined chains.
#define VRM_FIELDS_PGCI_HEADER(F, C)                      \
    F(C, RSV, reserved0, 0, 1, _, _)                      \
    F(C, U8, PG_Ns, 1, 1, fnGet_c1_PG_Ns, fnSet_c1_PG_Ns) \
    F(C, U16, CI_SRP_Ns, 2, 2, fnGet_wCI_SRP_Ns, fnSet_wCI_SRP_Ns)
VRM_LAYOUT(PGCI_HEADER, VRM_FIELDS_PGCI_HEADER, 4);

// A program: the next C_Ns cells of the chain. PRM_TXTI is its text (the
// recording date for a new program), IT_TXT_SRPN its item text in TXTDT_MG
// (0 for none), and cell CN at time PICT_PT its representative picture
// (recorders leave CN 0 or 0xFFFF for none). PG_TY is 0 in programs the
// library makes; what recorders put there is kept as found.
#define VRM_FIELDS_PGI(F, C)                                                \
    F(C, RSV, reserved0, 0, 1, _, _)                                        \
    F(C, U8, PG_TY, 1, 1, fnGet_c1_PG_TY, fnSet_c1_PG_TY)                   \
    F(C, U16, C_Ns, 2, 2, fnGet_wC_Ns, fnSet_wC_Ns)                         \
    F(C, BYTES, PRM_TXTI, 4, 128, fnGet_c128_PRM_TXTI, fnSet_c128_PRM_TXTI) \
    F(C, U16, IT_TXT_SRPN, 132, 2, fnGet_wIT_TXT_SRPN, fnSet_wIT_TXT_SRPN)  \
    F(C, U16, CN, 134, 2, fnGet_wCN, fnSet_wCN)                             \
    F(C, BYTES, PICT_PT, 136, 6, fnGet_c6_PICT_PT, fnSet_c6_PICT_PT)
VRM_LAYOUT(PGI, VRM_FIELDS_PGI, 142);

// CI_SA: the cell's byte offset from the chain's first byte.
#define VRM_FIELDS_CI_SRP(F, C) F(C, U32, CI_SA, 0, 4, fnGet_dwCI_SA, fnSet_dwCI_SA)
VRM_LAYOUT(CI_SRP, VRM_FIELDS_CI_SRP, 4);

// The bases of the program accessors: every getter answers programs 0..99;
// the setters of PG_TY, C_Ns, PRM_TXTI and PICT_PT reach every program
// record held, those of IT_TXT_SRPN and CN programs 0..99 only.
#define VRM_PGI_reserved0(...)
#define VRM_PGI_PG_TY(...) VRM_EACC((BYTE, ReadProgram, Program), __VA_ARGS__)
#define VRM_PGI_C_Ns(...) VRM_EACC((BYTE, ReadProgram, Program), __VA_ARGS__)
#define VRM_PGI_PRM_TXTI(...) VRM_EACC((BYTE, ReadProgram, Program), __VA_ARGS__)
#define VRM_PGI_IT_TXT_SRPN(...) VRM_EACC((BYTE, ReadProgram, ReadProgram), __VA_ARGS__)
#define VRM_PGI_CN(...) VRM_EACC((BYTE, ReadProgram, ReadProgram), __VA_ARGS__)
#define VRM_PGI_PICT_PT(...) VRM_EACC((BYTE, ReadProgram, Program), __VA_ARGS__)

struct PGCI {
    static constexpr DWORD kHeaderSize = PGCI_HEADER::kSize;
    static constexpr DWORD kPGISize = PGI::kSize;
    static constexpr DWORD kSRPSize = CI_SRP::kSize;
    BYTE header[kHeaderSize];
    std::vector<BYTE> pgi;  // PG_Ns program records, as on disc
    std::vector<BYTE> ciSrp;  // CI_SRP_Ns search pointers; current only after a load or a save
    std::vector<CI> ci;  // CI_SRP_Ns cells, cell 1 first
};

class VRMANGR_API CPGCI {
public:
    // The program accessors answer for indexes 0..99 and the search-pointer
    // accessors for 0..1999, so a chain never grows beyond 100 programs or
    // 2000 cells.
    static constexpr DWORD kMaxPrograms = 100;
    static constexpr DWORD kMaxCells = 2000;

    explicit CPGCI(BYTE unused = 0, WORD unused2 = 0);
    explicit CPGCI(PGCI* record);
    CPGCI(CBuffer* buffer, PGCI* record, DWORD start);
    CPGCI(const CPGCI&) = default;
    CPGCI& operator=(const CPGCI&) = default;

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // An empty chain: no program, no cell; size 4.
    int fnNew();
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the chain as it is now.
    DWORD fndwDataSize() const;
    // Writes the chain at offset `at` of the writer, recomputing every cell's
    // search pointer; returns its length.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // Writes the chain; returns fndwDataSize(), or 0 for a null out.
    DWORD fnReadData(BYTE* out);
    // Appends the header's fields, then each program, search pointer and
    // cell as written.
    void fnDump(std::string& out, const std::string& indent) const;
    // Loads the chain at the start address; returns the bytes consumed, or 0
    // (with the buffer's read failure marked) when a count or cell address
    // points outside the file.
    DWORD fndwLoad_PGCI_From_File();
    // Releases programs, cells and their entry points, and with withRecord
    // the PGCI record itself (the accessor is then unbound). The header
    // counts are left as they were.
    void fnFreeAllData(int withRecord);

    // Appends a movie cell over VOB vobiNo to the original chain with an
    // entry point at its start. The cell joins the last program when that
    // program's date text is the recording's date (UTC), else (and always
    // with newProgram) opens a new program. recorded: when the recording was
    // made (UTC); null: now. 0 when vobi is null or the chain is full.
    int fnADD_Movie_Program(M_VOBI* vobi, WORD vobiNo, bool newProgram = false, const SYSTEMTIME* recorded = nullptr);
    // The same for a still-picture cell over all pictures of VOG vogiNo.
    int fnADD_Still_Pic_Program(S_VOGI* vogi, WORD vogiNo, bool newProgram = false,
                                const SYSTEMTIME* recorded = nullptr);
    // Whether a recording made at `recorded` (UTC; null: now) would join the
    // last program (its date text is that date).
    bool fnJoinsLastProgram(const SYSTEMTIME* recorded = nullptr);
    // Fills program record pg (0-based) for a program that starts with cell
    // cn: the recording's date (`recorded`, UTC; null: today's) as its
    // text, its picture at the VOB's start (still programs: 01 00 00 00 00
    // 00).
    int fnSetNewMoviePGIData(BYTE pg, M_VOBI* vobi, WORD cn, const SYSTEMTIME* recorded = nullptr);
    int fnSetNewStillPicPGIData(BYTE pg, S_VOGI* vogi, WORD cn, const SYSTEMTIME* recorded = nullptr);
    // Gives the first cell of every program an entry point at its start;
    // returns PG_Ns, or 0 when an insert fails.
    DWORD fnAdd_C_EPI_To_First_Cell_of_Every_PG();
    // Inserts a movie cell over the whole VOB (or from startPtm to endPtm)
    // at 0-based cell position pos (-1 appends), without entry point.
    int fnADD_UD_Movie_Cell(M_VOBI* vobi, WORD vobiNo, int pos);
    int fnADD_UD_Movie_Cell(const BYTE* startPtm, const BYTE* endPtm, WORD vobiNo, int pos);
    // Inserts a still-picture cell (with its entry point at picture 1).
    int fnADD_UD_Still_Pic_Cell(S_VOGI* vogi, WORD vogiNo, int pos);
    // Inserts an entry point into movie cell c (global, 1-based) at position
    // pos; the time must lie within the cell.
    int fnADD_Movie_Entry_Point(WORD c, WORD pos, const BYTE* ptm, const BYTE* text);

    // ---- Editing cells and entry points (CPGCI_edit.cpp) ----
    // Cells are numbered globally from 1, entry points within a cell from 1,
    // n is a global entry-point number (1..the chain's total). Every
    // operation returns 1 on success and 0, with the chain unchanged, on
    // failure. On a chain with programs a duplicated cell stays in its
    // program and a deleted cell leaves it; a program left without cells is
    // removed.
    //
    // Inserts an entry point right after global entry point n, in n's cell;
    // the time must lie within that cell.
    int fnADD_Movie_Entry_Point(WORD n, const BYTE* ptm, const BYTE* text);
    // Inserts an entry point offset ticks (> 0) after global entry point n,
    // following the video across the ends of cells. 0 when the time would
    // reach the next entry point or the end of the last cell (an empty
    // segment), or reach a still cell.
    int fnADD_Movie_Entry_Point(WORD n, __int64 offset, const BYTE* text);
    // Deletes entry point e of cell c together with the video of its
    // segment (for a cell's last entry point, on through the continuation
    // cells). Deleting the entry point of a still cell deletes the cell.
    int fnDEL_Movie_Entry_Point(WORD c, WORD e);
    int fnDEL_Movie_Entry_Point(WORD n);
    // Deletes still-picture cell c (e is not used).
    int fnDEL_Still_Pic_Entry_Point(WORD c, WORD e);
    // Deletes cell c with its entry points.
    int fnDEL_UD_Cell(WORD c);
    // Inserts a copy of cell c, with its own entry points, right after it.
    int fnDuplicateCell(WORD c);
    // Splits movie cell c at its entry point e + 1 (e 0-based, below the
    // cell's count). A first part left without entry point is dropped when
    // it is the chain's first cell or holds no video (as for the deletes).
    int fnDevideCell(WORD c, WORD e);
    // Removes the entry points after e1 of cell c1 up to and including e2 of
    // cell c2 (movie cells only); entry point e1 then starts a segment that
    // runs to the first entry point left after e2.
    int fnCombine_UD_Cell_EntryPoint(WORD c1, WORD e1, WORD c2, WORD e2);
    int fnCombine_EntryPoint(WORD nFirst, WORD nLast);
    // Global entry point n as (cell, entry point within it); 0 when n is 0
    // or beyond the chain's total.
    int fnLocateEntryPoint(WORD n, WORD* cell, WORD* e);
    // ---- end of editing ----

    // Queries; times are 27 MHz counts, durations milliseconds.
    int fnGetCellInfo(BYTE pg, WORD cell, BYTE* type, WORD* srpn, __int64* start, __int64* end);
    WORD fnGetEntryPtNo(BYTE pg, WORD cell);
    int fnTranslateAddress(int pg, int cell, WORD ep, WORD* cellIndex, WORD* epInCell);
    // The segment of an entry point; returns the global number of its cell
    // (0 when there is no such entry point).
    int fnGetEntryPointInfo(int pg, int cell, WORD ep, BYTE* type, WORD* srpn, __int64* start, __int64* end,
                            BYTE* hasNext);
    int fnbHaveNextCell(WORD cell);
    // 0 for movie cells only, 0x20 for movie and still cells, 0x10 for still
    // cells only or no cell.
    BYTE fnGetPGCI_TY(int inRange, int first, int last);
    BYTE fnGetPG_TY(BYTE pg);
    DWORD fnGetTotalCellDuration(BYTE stillTm, int inRange, int first, int last);
    DWORD fnGetPGDuration(BYTE pg, BYTE stillTm);
    DWORD fnGetTotalEntryPTDuration(BYTE stillTm, int inRange, int first, int last);
    DWORD fnGetTotalEntryPointNs(int inRange, int first, int last);
    DWORD fnGetPGEntryPointNs(BYTE pg);

    VRM_ACCESSORS(VRM_FIELDS_PGCI_HEADER, Header)
    BYTE* fnGet_iTH_PGI_Address(BYTE i) const { return Program(i); }
    BYTE* fnGet_iTH_CI_SRP_Address(WORD i) const { return SearchPointer(i); }
    VRM_ACCESSORS_BY_NAME(VRM_FIELDS_PGI, VRM_PGI_)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_CI_SRP, WORD, ReachableSearchPointer, ReachableSearchPointer)

    // Cell i (0-based), or nullptr.
    CI* Cell(DWORD i) const;

    PGCI* m_pRecord;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    BYTE m_cPG_Ns;  // cached program count
    WORD m_wCI_SRP_Ns;  // cached cell count
    DWORD m_dwStart;

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    BYTE* Program(BYTE i) const;
    BYTE* ReadProgram(BYTE i) const { return i < kMaxPrograms ? Program(i) : nullptr; }
    BYTE* SearchPointer(WORD i) const;
    BYTE* ReachableSearchPointer(WORD i) const { return i < kMaxCells ? SearchPointer(i) : nullptr; }
    WORD CellCount() const { return fnGet_wCI_SRP_Ns(); }
    // The global cells first..last of a query: all cells when inRange is 0,
    // else as given; false when last lies beyond the chain.
    bool CellRange(int inRange, int* first, int* last) const;
    // Global 0-based index of the first cell of program pg (1-based).
    DWORD FirstCellOfProgram(DWORD pg) const;
    // Inserts a zeroed cell at 0-based position pos of c cells.
    CI* InsertCell(WORD pos, WORD c);
    int AddProgramCell(M_VOBI* vobi, S_VOGI* vogi, WORD number, bool newProgram, const SYSTEMTIME* recorded);
    // A new program of one cell: the recording's date (null: today's) as
    // its text, cell cn as its representative picture at pictPt.
    int FillNewProgram(BYTE pg, WORD cn, const BYTE pictPt[6], const SYSTEMTIME* recorded);
    // Adds up the positive duration of one segment piece.
    static DWORD Milliseconds(__int64 start, __int64 end);
};

#endif
