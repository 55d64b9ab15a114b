// CCI: accessor of one cell (CI) of a program chain. A movie cell plays one
// stretch of a movie VOB, from a start to an end presentation time; a
// still-picture cell plays a run of the still pictures of one VOG. Each cell
// carries its entry points: for a movie cell a presentation time inside the
// cell, for a still cell a still VOB entry number; either may carry a
// 128-byte text.
//
// On disc a cell is its header (M_CI_HEADER or S_CI_HEADER) followed by its
// C_EPI_Ns entry points (M_C_EPI or S_C_EPI), each without its PRM_TXTI
// unless EP_TY has bit 7 or 6 set.
#ifndef VRMANGR_TABLES_CCI_H
#define VRMANGR_TABLES_CCI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"

class CBuffer;
struct M_VOBI;
struct S_VOGI;
namespace vrm {
class ByteWriter;
}

// A movie cell's header. C_TY has bits 7..5 clear; M_VOBI_SRPN is the VOB
// (1-based) it plays from C_V_S_PTM to C_V_E_PTM.
#define VRM_FIELDS_M_CI_HEADER(F, C)                                     \
    F(C, RSV, reserved0, 0, 1, _, _)                                     \
    F(C, U8, C_TY, 1, 1, fnGet_c1_C_TY, fnSet_c1_C_TY)                   \
    F(C, U16, M_VOBI_SRPN, 2, 2, fnGet_wM_VOBI_SRPN, fnSet_wM_VOBI_SRPN) \
    F(C, U16, C_EPI_Ns, 4, 2, fnGet_wC_EPI_Ns, fnSet_wC_EPI_Ns)          \
    F(C, BYTES, C_V_S_PTM, 6, 6, fnGet_c6_C_V_S_PTM, fnSet_c6_C_V_S_PTM) \
    F(C, BYTES, C_V_E_PTM, 12, 6, fnGet_c6_C_V_E_PTM, fnSet_c6_C_V_E_PTM)
VRM_LAYOUT(M_CI_HEADER, VRM_FIELDS_M_CI_HEADER, 18);

// A still-picture cell's header: VOG S_VOGI_SRPN (1-based), its pictures
// S_S_VOB_ENTN to E_S_VOB_ENTN (1-based).
#define VRM_FIELDS_S_CI_HEADER(F, C)                                           \
    F(C, RSV, reserved0, 0, 1, _, _)                                           \
    F(C, U8, C_TY, 1, 1, fnGet_c1_C_TY, fnSet_c1_C_TY)                         \
    F(C, U16, S_VOGI_SRPN, 2, 2, fnGet_wS_VOGI_SRPN, fnSet_wS_VOGI_SRPN)       \
    F(C, U16, C_EPI_Ns, 4, 2, fnGet_wC_EPI_Ns, fnSet_wC_EPI_Ns)                \
    F(C, U8, S_S_VOB_ENTN, 6, 1, fnGet_c1_S_S_VOB_ENTN, fnSet_c1_S_S_VOB_ENTN) \
    F(C, U8, E_S_VOB_ENTN, 7, 1, fnGet_c1_E_S_VOB_ENTN, fnSet_c1_E_S_VOB_ENTN)
VRM_LAYOUT(S_CI_HEADER, VRM_FIELDS_S_CI_HEADER, 8);

// A movie entry point: EP_TY (bit 7 or 6 set: PRM_TXTI follows), the time
// EP_PTM, and the text.
#define VRM_FIELDS_M_C_EPI(F, C)                                \
    F(C, U8, EP_TY, 0, 1, fnGet_c1_EP_TY, fnSet_c1_EP_TY)       \
    F(C, BYTES, EP_PTM, 1, 6, fnGet_c6_EP_PTM, fnSet_c6_EP_PTM) \
    F(C, BYTES, PRM_TXTI, 7, 128, fnGet_c128_PRM_TXTI, fnSet_c128_PRM_TXTI)
VRM_LAYOUT(M_C_EPI, VRM_FIELDS_M_C_EPI, 135);

// A still entry point: EP_TY as above, the picture S_VOB_ENTN (1-based) and
// the text.
#define VRM_FIELDS_S_C_EPI(F, C)                                         \
    F(C, U8, EP_TY, 0, 1, fnGet_c1_EP_TY, fnSet_c1_EP_TY)                \
    F(C, U8, S_VOB_ENTN, 1, 1, fnGet_c1_S_VOB_ENTN, fnSet_c1_S_VOB_ENTN) \
    F(C, BYTES, PRM_TXTI, 2, 128, fnGet_c128_PRM_TXTI, fnSet_c128_PRM_TXTI)
VRM_LAYOUT(S_C_EPI, VRM_FIELDS_S_C_EPI, 130);
static_assert(S_C_EPI::kSize - S_C_EPI::At::PRM_TXTI == M_C_EPI::kSize - M_C_EPI::At::PRM_TXTI,
              "both kinds of entry point carry the same text");

// The bases of the cell accessors. Both headers lie in one block, so the
// still header's own fields are read there too; EP_TY answers for entry
// points of either kind, EP_PTM for movie and S_VOB_ENTN for still ones
// only, and PRM_TXTI for either at its kind's offset.
#define VRM_S_CI_HEADER_reserved0(...)
#define VRM_S_CI_HEADER_C_TY(...)
#define VRM_S_CI_HEADER_S_VOGI_SRPN(...) VRM_ACC(Header, __VA_ARGS__)
#define VRM_S_CI_HEADER_C_EPI_Ns(...)
#define VRM_S_CI_HEADER_S_S_VOB_ENTN(...) VRM_ACC(Header, __VA_ARGS__)
#define VRM_S_CI_HEADER_E_S_VOB_ENTN(...) VRM_ACC(Header, __VA_ARGS__)
#define VRM_M_C_EPI_EP_TY(...) VRM_EACC((WORD, Entry, Entry), __VA_ARGS__)
#define VRM_M_C_EPI_EP_PTM(...) VRM_EACC((WORD, MovieEntry, MovieEntry), __VA_ARGS__)
#define VRM_M_C_EPI_PRM_TXTI(Kind, Name, Offset, Width, Get, Set) \
    VRM_ENTRY_BYTES_FIELD_GS(WORD, Get, Set, EntryText, EntryText, 0, Width)
#define VRM_S_C_EPI_EP_TY(...)
#define VRM_S_C_EPI_S_VOB_ENTN(...) VRM_EACC((WORD, StillEntry, StillEntry), __VA_ARGS__)
#define VRM_S_C_EPI_PRM_TXTI(...)

// One cell. The header holds the movie header, or the still header in its
// first bytes. Entry points are kept as whole records with room for the
// text whether or not they have one (M_C_EPI or S_C_EPI). A single delete
// does not shrink the array, so it may hold more records than C_EPI_Ns
// counts.
struct CI {
    static constexpr DWORD kMovieHeaderSize = M_CI_HEADER::kSize;
    static constexpr DWORD kStillHeaderSize = S_CI_HEADER::kSize;
    static constexpr DWORD kMovieEntrySize = M_C_EPI::kSize;
    static constexpr DWORD kStillEntrySize = S_C_EPI::kSize;
    static constexpr DWORD kTextSize = M_C_EPI::kSize - M_C_EPI::At::PRM_TXTI;
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
    // The EP_TY of a new entry point with text.
    static constexpr BYTE kTextEntry = 0x40;

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
    // Writes the cell at offset `at` of the writer; returns its length.
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // Writes the cell; returns fndwDataSize(), or 0 for a null out.
    DWORD fnReadData(BYTE* out);
    // Appends the header's fields, then each entry point as written.
    void fnDump(std::string& out, const std::string& indent) const;
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
    // the end). 0 when its time lies outside the cell (both ends allowed),
    // before the entry point in front of pos or after the one behind it
    // (entry points keep the order of the video), or the cell already has
    // kMaxEntryPoints.
    int fnADD_Movie_Entry_Point(WORD pos, const BYTE* ptm, const BYTE* text);
    // Inserts a still entry point naming picture entn at position pos; 0 when
    // pos is past the end or the cell is full.
    int fnADD_Still_Pic_Entry_Point(WORD pos, BYTE entn, const BYTE* text);
    // Deletes movie entry point i (1-based).
    int fnDEL_Movie_Entry_Point(WORD i);
    void fnDEL_All_Movie_Entry_Point();
    void fnDEL_All_Still_Pic_Entry_Point();
    // The pictures (1-based, first..last of its VOG) that entry point e of a
    // still cell shows, up to the next entry point's picture or the cell's
    // last picture; e = 0 is the whole cell. Numbers outside the cell's
    // S_S_VOB_ENTN..E_S_VOB_ENTN are held to it. 0 for a movie cell or an
    // entry point the cell does not have.
    int fnGetStillPictures(WORD e, BYTE* first, BYTE* last) const;
    BYTE fnGet_CI_TYPE() const { return m_cType; }
    int fnSet_CI_TYPE(BYTE v);

    VRM_ACCESSORS(VRM_FIELDS_M_CI_HEADER, Header)
    VRM_ACCESSORS_BY_NAME(VRM_FIELDS_S_CI_HEADER, VRM_S_CI_HEADER_)
    __int64 fnGet_ll_C_V_S_PTS() const { return PtsAt(Header(), M_CI_HEADER::At::C_V_S_PTM); }
    __int64 fnGet_ll_C_V_E_PTS() const { return PtsAt(Header(), M_CI_HEADER::At::C_V_E_PTM); }
    VRM_ACCESSORS_BY_NAME(VRM_FIELDS_M_C_EPI, VRM_M_C_EPI_)
    VRM_ACCESSORS_BY_NAME(VRM_FIELDS_S_C_EPI, VRM_S_C_EPI_)
    __int64 fnGet_ll_EP_PTS(WORD i) const { return PtsAt(MovieEntry(i), M_C_EPI::At::EP_PTM); }
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
    DWORD HeaderSize() const { return m_cType ? CI::kStillHeaderSize : CI::kMovieHeaderSize; }
    // An entry point's record as kept, and on disc without its text.
    DWORD EntrySize() const { return m_cType ? CI::kStillEntrySize : CI::kMovieEntrySize; }
    DWORD PlainEntrySize() const { return m_cType ? S_C_EPI::At::PRM_TXTI : M_C_EPI::At::PRM_TXTI; }
    // The bytes entry point i takes on disc (an entry the array lacks is
    // written without text).
    DWORD EntryBytes(WORD i) const { return fnGet_M_C_EPI_TYPE(fnGet_c1_EP_TY(i)) ? EntrySize() : PlainEntrySize(); }
    BYTE* Entry(WORD i) const;
    BYTE* MovieEntry(WORD i) const { return m_cType == CI::kMovie ? Entry(i) : nullptr; }
    BYTE* StillEntry(WORD i) const { return m_cType == CI::kStill ? Entry(i) : nullptr; }
    // The PRM_TXTI of entry point i, at its kind's offset.
    BYTE* EntryText(WORD i) const;
    static __int64 PtsAt(const BYTE* base, DWORD offset);
    // Opens a cleared record at pos among n.
    void InsertEntry(WORD pos, WORD n);
};

#endif
