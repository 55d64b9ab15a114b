// CCI: accessor of one cell (CI) of a program chain. A movie cell plays one
// stretch of a movie VOB, from a start to an end presentation time; a
// still-picture cell plays a run of the still pictures of one VOG. Each cell
// carries its entry points: for a movie cell a presentation time inside the
// cell, for a still cell a still VOB entry number; either may carry a
// 128-byte text.
//
// On disc a movie cell is an 18-byte header (reserved, C_TY, M_VOBI_SRPN,
// C_EPI_Ns, C_V_S_PTM, C_V_E_PTM) followed by its entry points of 7 bytes
// (EP_TY, EP_PTM) or 135 with text; a still cell is an 8-byte header
// (reserved, C_TY, S_VOGI_SRPN, C_EPI_Ns, S_S_VOB_ENTN, E_S_VOB_ENTN)
// followed by entry points of 2 bytes (EP_TY, S_VOB_ENTN) or 130 with text.
// An entry point has text when EP_TY has bit 7 or 6 set.
#ifndef VRMANGR_TABLES_CCI_H
#define VRMANGR_TABLES_CCI_H

#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
struct M_VOBI;
struct S_VOGI;

// One cell. The header holds the movie header, or the still header in its
// first 8 bytes. Entry points are kept as fixed-size records with room for
// the text whether or not they have one: kMovieEntrySize bytes (EP_TY,
// EP_PTM, PRM_TXTI) or kStillEntrySize bytes (EP_TY, S_VOB_ENTN, PRM_TXTI).
// A single delete does not shrink the array, so it may hold more records
// than C_EPI_Ns counts.
struct CI {
    static constexpr DWORD kMovieHeaderSize = 18;
    static constexpr DWORD kStillHeaderSize = 8;
    static constexpr DWORD kMovieEntrySize = 135;
    static constexpr DWORD kStillEntrySize = 130;
    static constexpr BYTE kMovie = 0;
    static constexpr BYTE kStill = 0x20;

    BYTE header[kMovieHeaderSize];
    std::vector<BYTE> entryPoints;
    BYTE cellType;  // kMovie or kStill, refreshed from C_TY by every accessor
};

class VRMANGR_API CCI {
public:
    // Entry points per cell: C_EPI_Ns is 16 bits.
    static constexpr DWORD kMaxEntryPoints = 0xFFFF;
    // Entry points that lie this many 27 MHz ticks (half a second) or more
    // after the start of a cell leave room for a continuation of the
    // previous cell's last segment.
    static constexpr __int64 kContinuationGap = 13500000;

    explicit CCI(WORD unused = 999, BYTE unused2 = 0);
    explicit CCI(CI* record);
    CCI(CBuffer* buffer, CI* record, DWORD start);
    CCI(const CCI&) = default;
    CCI& operator=(const CCI&) = default;

    // 0x20 when any of bits 7..5 is set (a still-picture cell), else 0.
    static BYTE fnGet_CI_TYPE(BYTE v) { return (v & 0xE0) ? 0x20 : 0; }
    // 0x40 when bit 7 or 6 is set (an entry point with text), else 0.
    static BYTE fnGet_M_C_EPI_TYPE(BYTE v) { return (v & 0xC0) ? 0x40 : 0; }
    static BYTE fnGet_S_C_EPI_TYPE(BYTE v) { return (v & 0xC0) ? 0x40 : 0; }

    int fnCheckValid() const { return m_pRecord ? 1 : 0; }
    // Zeroes the header and cell type and drops the entry points.
    int fnSetZero();
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the cell as it is now.
    DWORD fndwDataSize() const;
    // Writes the cell; returns its length (0 for a null out).
    DWORD fnReadData(BYTE* out);
    // Loads the cell at the start offset; returns the bytes consumed, or 0
    // (with the buffer's read failure marked) when the cell passes the end of
    // the file.
    DWORD fndwLoad_CI_From_File();

    // Makes a zeroed record a movie cell over the whole of VOB vobiNo, with no
    // entry point yet.
    int fnADD_Movie_CI(M_VOBI* vobi, WORD vobiNo);
    // Makes a zeroed record a still-picture cell over all pictures of VOG
    // vogiNo, with one entry point at picture 1.
    int fnADD_Still_Pic_CI(S_VOGI* vogi, WORD vogiNo);
    // Inserts a movie entry point at position pos (appended when pos is past
    // the end). 0 when its time lies outside the cell (both ends allowed) or
    // the cell already has kMaxEntryPoints.
    int fnADD_Movie_Entry_Point(WORD pos, const BYTE* ptm, const BYTE* text);
    // Inserts a still entry point naming picture entn at position pos; 0 when
    // pos is past the end or the cell is full.
    int fnADD_Still_Pic_Entry_Point(WORD pos, BYTE entn, const BYTE* text);
    // Deletes movie entry point i (1-based).
    int fnDEL_Movie_Entry_Point(WORD i);
    void fnDEL_All_Movie_Entry_Point();
    void fnDEL_All_Still_Pic_Entry_Point();
    BYTE fnGet_CI_TYPE() const { return m_cType; }
    int fnSet_CI_TYPE(BYTE v);

    VRM_SCALAR_FIELD(BYTE, fnGet_c1_C_TY, fnSet_c1_C_TY, Header, 1)
    VRM_SCALAR_FIELD(WORD, fnGet_wM_VOBI_SRPN, fnSet_wM_VOBI_SRPN, Header, 2)
    VRM_SCALAR_FIELD(WORD, fnGet_wS_VOGI_SRPN, fnSet_wS_VOGI_SRPN, Header, 2)
    VRM_SCALAR_FIELD(WORD, fnGet_wC_EPI_Ns, fnSet_wC_EPI_Ns, Header, 4)
    VRM_BYTES_FIELD(fnGet_c6_C_V_S_PTM, fnSet_c6_C_V_S_PTM, Header, 6, 6)
    VRM_BYTES_FIELD(fnGet_c6_C_V_E_PTM, fnSet_c6_C_V_E_PTM, Header, 12, 6)
    __int64 fnGet_ll_C_V_S_PTS() const { return PtsAt(Header(), 6); }
    __int64 fnGet_ll_C_V_E_PTS() const { return PtsAt(Header(), 12); }
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_S_S_VOB_ENTN, fnSet_c1_S_S_VOB_ENTN, Header, 6)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_E_S_VOB_ENTN, fnSet_c1_E_S_VOB_ENTN, Header, 7)
    VRM_ENTRY_SCALAR_FIELD(BYTE, WORD, fnGet_c1_EP_TY, fnSet_c1_EP_TY, Entry, 0)
    VRM_ENTRY_BYTES_FIELD(WORD, fnGet_c6_EP_PTM, fnSet_c6_EP_PTM, MovieEntry, 1, 6)
    __int64 fnGet_ll_EP_PTS(WORD i) const { return PtsAt(MovieEntry(i), 1); }
    VRM_ENTRY_SCALAR_FIELD(BYTE, WORD, fnGet_c1_S_VOB_ENTN, fnSet_c1_S_VOB_ENTN, StillEntry, 1)
    VRM_ENTRY_BYTES_FIELD(WORD, fnGet_c128_PRM_TXTI, fnSet_c128_PRM_TXTI, EntryText, 0, 128)
    // Record i of the cell's kind, or nullptr when the cell holds no record i.
    BYTE* fnGet_iTH_M_C_EPI_Add(WORD i) const { return MovieEntry(i); }
    BYTE* fnGet_iTH_S_C_EPI_Add(WORD i) const { return StillEntry(i); }

    CI* m_pRecord;
    BYTE m_cType;  // CI::kMovie or CI::kStill
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    DWORD m_dwStart;
    WORD m_wC_EPI_Ns;  // cached entry-point count

private:
    BYTE* Header() const { return m_pRecord ? m_pRecord->header : nullptr; }
    DWORD EntrySize() const { return m_cType ? CI::kStillEntrySize : CI::kMovieEntrySize; }
    BYTE* Entry(WORD i) const;
    BYTE* MovieEntry(WORD i) const { return m_cType == CI::kMovie ? Entry(i) : nullptr; }
    BYTE* StillEntry(WORD i) const { return m_cType == CI::kStill ? Entry(i) : nullptr; }
    BYTE* EntryText(WORD i) const;
    static __int64 PtsAt(const BYTE* base, DWORD offset);
    // Opens a cleared record at pos among n and returns it.
    BYTE* InsertEntry(WORD pos, WORD n);
};

#endif
