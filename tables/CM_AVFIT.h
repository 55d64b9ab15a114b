// CM_AVFIT: accessor of M_AVFIT, the table of VR_MANGR.IFO that describes
// the movie stream file VR_MOVIE.VRO: the header and, once a recording
// exists, M_VOB_STI_Ns stream-information records and M_AVFI (see CM_AVFI).
// Each VOB names its M_VOB_STI by a 1-based number; recordings with
// identical attributes share one record.
#ifndef VRMANGR_TABLES_CM_AVFIT_H
#define VRMANGR_TABLES_CM_AVFIT_H

#include <memory>
#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CM_AVFI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// M_AVFI_Ns is 0 while no recording exists, 1 afterwards; M_AVFIT_EA is the
// table's length minus 1.
#define VRM_FIELDS_M_AVFIT_HEADER(F, C)                                        \
    F(C, RSV, reserved0, 0, 2, _, _)                                           \
    F(C, U8, M_AVFI_Ns, 2, 1, fnGet_c1_M_AVFI_Ns, fnSet_c1_M_AVFI_Ns)          \
    F(C, U8, M_VOB_STI_Ns, 3, 1, fnGet_c1_M_VOB_STI_Ns, fnSet_c1_M_VOB_STI_Ns) \
    F(C, U32, M_AVFIT_EA, 4, 4, fnGet_dw_M_AVFIT_EA, fnSet_dw_M_AVFIT_EA)
VRM_LAYOUT(M_AVFIT_HEADER, VRM_FIELDS_M_AVFIT_HEADER, 8);

// M_VOB_STI: the attributes of the video, of up to two audio streams, and
// the sub-picture palette.
#define VRM_FIELDS_M_VOB_STI(F, C)                              \
    F(C, U16, V_ATR, 0, 2, fnGet_wV_ATR, fnSet_wV_ATR)          \
    F(C, U8, AST_Ns, 2, 1, fnGet_c1_AST_Ns, fnSet_c1_AST_Ns)    \
    F(C, U8, SPST_Ns, 3, 1, fnGet_c1_SPST_Ns, fnSet_c1_SPST_Ns) \
    F(C, BYTES, A_ATR0, 4, 3, fnGet_c3_A_ATR0, fnSet_c3_A_ATR0) \
    F(C, BYTES, A_ATR1, 7, 3, fnGet_c3_A_ATR1, fnSet_c3_A_ATR1) \
    F(C, RSV, reserved10, 10, 2, _, _)                          \
    F(C, BYTES, SP_PLT, 12, 48, fnGet_c48_SP_PLT, fnSet_c48_SP_PLT)
VRM_LAYOUT(M_VOB_STI, VRM_FIELDS_M_VOB_STI, 60);

struct M_AVFIT {
    static constexpr DWORD kHeaderSize = M_AVFIT_HEADER::kSize;
    static constexpr DWORD kStiSize = M_VOB_STI::kSize;
    BYTE header[kHeaderSize] = {};
    // The M_VOB_STI records in disc order, followed by one spare slot: the
    // scratch record in which a new recording's attributes are built and
    // compared, and which becomes the new record when none matches.
    std::vector<BYTE> sti;
    std::unique_ptr<M_AVFI> pM_AVFI;  // null until a recording exists
};

class VRMANGR_API CM_AVFIT {
public:
    // Binds nothing; the argument is not used.
    explicit CM_AVFIT(BYTE unused);
    // Binds the record and caches M_VOB_STI_Ns.
    explicit CM_AVFIT(M_AVFIT* record);
    // Loading form: the table lies at file offset `start`.
    CM_AVFIT(CBuffer* buffer, M_AVFIT* record, DWORD start);
    CM_AVFIT(const CM_AVFIT&) = default;
    CM_AVFIT& operator=(const CM_AVFIT&) = default;

    // The getters of M_VOB_STI answer record indexes 0..kMaxSTIIndex only, so
    // at most kMaxSTIIndex + 1 distinct records are ever made.
    static constexpr WORD kMaxSTIIndex = 64;

    int fnCheckValid() const { return m_pM_AVFIT ? 1 : 0; }
    // Zeroes the header and drops the M_VOB_STI array and M_AVFI.
    int fnSetZero();
    // An empty table: M_AVFI_Ns 0, M_VOB_STI_Ns 0, M_AVFIT_EA 7, size 8.
    int fnNew();
    // The size recorded by fnNew or by the last load; edits do not change it.
    DWORD fndwSize() const { return m_dwSize; }
    // The length fnReadData writes now; 0 without a record.
    DWORD fndwDataSize() const;
    // Loads the table at the start offset; returns the bytes loaded. 0 for a
    // table without recordings (M_AVFI_Ns 0; nothing behind the header is
    // read) and, with the buffer's read failure marked and the record
    // emptied, when a count or address points outside the file.
    DWORD fndwLoad_M_AVFIT_From_File();
    // Writes the table at offset `at` of the writer (the attribute records
    // and M_AVFI only when M_AVFI_Ns != 0), storing the new M_AVFIT_EA;
    // returns fndwDataSize().
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; 0 for a null out.
    DWORD fnReadData(BYTE* out);
    // Appends the header, the M_VOB_STI records and M_AVFI.
    void fnDump(std::string& out, const std::string& indent) const;
    // Releases the whole tree and the M_AVFIT record itself; the accessor is
    // unbound afterwards.
    void fnFreeAllData();

    // Registers a newly analysed recording: finds or adds its M_VOB_STI,
    // stores in info->dwVOBStartAddr the sector just behind the last VOB
    // (0 for the first), and appends its VOB. 0, changing nothing, without a
    // record, for a null info or one without its VOBU table, when the table
    // holds the most VOBs M_AVFI can count, or when the recording would need
    // a stream-information record beyond index kMaxSTIIndex. recorded: the
    // VOB's recording time (UTC; null: the current time). at: the VOB's
    // start sector instead, for a recording registered where it already
    // lies in the stream (never below the end of the last VOB).
    int fnADD_Program(VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr, const DWORD* at = nullptr);
    // The M_VOB_STIN (1-based) describing the recording: an existing equal
    // record or a new one. 0, changing nothing, for a null info or when a
    // new record would lie beyond index kMaxSTIIndex.
    BYTE fnADD_M_VOB_STI(const VR_MPEGFILE_INFO* info);
    // Builds the recording's attributes in slot n (the spare slot) and
    // returns the number of the first of records 0..n-1 equal to it, or 0.
    BYTE fnFindSameM_VOB_STI(BYTE n, const VR_MPEGFILE_INFO* info);
    // Fills slot `index` with the recording's attributes; 0 without a record,
    // for a null info or an index outside the array.
    int fnSet_M_VOB_STI_Data(BYTE index, const VR_MPEGFILE_INFO* info);
    // Decodes M_VOB_STI number stin into the attribute fields of a seg.
    int fnGet_CellInfoFromM_VOB_STI(BYTE stin, seg* s) const;
    // Fills a seg for the time range [start, end] (27 MHz counts) of VOB
    // vobi (1-based): the attributes of its M_VOB_STI, dwSRPN, the frames and
    // milliseconds of the range (rounded half up) and its audio samples, and
    // the byte positions of CM_VOBI::fnGet_StartPosAndEndPos (all 0 when the
    // time map cannot place it). A window of frames firstFrame..lastFrame
    // from start (firstFrame < lastFrame, or lastFrame alone) narrows the
    // range when it lies inside it. 0 without a record or seg, or for a VOB
    // whose attributes are missing.
    int fnGet_iTH_VOBI_Info(WORD vobi, seg* s, __int64 start, __int64 end, DWORD firstFrame, DWORD lastFrame) const;
    int fnGet_iTH_VOBI_REC_TM(WORD vobi, BYTE* out5) const;
    // The first VOB's start plus the sizes of all VOBs; 0 without M_AVFI.
    DWORD fnGet_dwTotalVOBISize() const;
    // The sector behind the highest VOB end; 0 without M_AVFI.
    DWORD fnGet_dwRecordedEnd() const;

    // ---- Shrinking, splitting and removing VOBs (CM_AVFIT_edit.cpp) ----
    // VOBs are numbered from 1 in table order (M_VOBI_SRP_Ns of them),
    // M_VOB_STI records from 1. Every operation returns 1 on success and 0,
    // with the table unchanged, when it refuses. The cells of the program
    // chains name VOBs by number and times inside them: the caller brings
    // them in line after an operation. A VOB's video field is half a frame
    // of the TV system of the M_VOB_STI it names; a VOB that names none is
    // refused.
    //
    // VOB n keeps only its VOBUs first .. first + count - 1 (0-based
    // indexes of its time map), as CM_VOBI::fnTrim_VOBU makes it. When VOBUs
    // behind go, VOB n + 1 loses its SMLI, which holds the last SCR of VOB
    // n. 0 for n out of range, a VOB without time map, count 0, or first +
    // count beyond the VOBU count.
    int fnTrim_VOB(WORD n, DWORD first, DWORD count);
    // VOB n becomes two adjacent VOBs: n keeps VOBUs 0 .. at - 1 and a new
    // VOB n + 1 (later VOBs move up one number) holds VOBUs at .. the last,
    // with the same recording time and M_VOB_STIN; each is VOB n trimmed to
    // its VOBUs, so the new VOB has neither SMLI nor AGAPI. 0 for at 0 or
    // not below the VOBU count, n out of range, a VOB without time map, or
    // a table that already holds CM_AVFI::kMaxVOBs VOBs.
    int fnSplit_VOB(WORD n, DWORD at);
    // Removes VOB n with its time map; later VOBs move down one number, and
    // the VOB that followed it loses its SMLI (the VOB before it is another
    // one now). The M_VOB_STI it named stays (see fnDEL_M_VOB_STI). Without
    // its last VOB the table is the one fnNew makes: M_AVFI_Ns 0, no
    // M_VOB_STI, no M_AVFI (the reserved header bytes stay as they are). 0
    // for n out of range.
    int fnDEL_VOB(WORD n);
    // Removes M_VOB_STI number stin; VOBs naming a later record name it by
    // its new number, and the spare slot stays behind the records. Without
    // its last record a table without VOBs is the one fnNew makes. 0 for
    // stin out of range or named by a VOB.
    int fnDEL_M_VOB_STI(BYTE stin);
    // ---- end of shrinking, splitting and removing ----

    VRM_ACCESSORS(VRM_FIELDS_M_AVFIT_HEADER, Header)
    // Slot i of the array (records and spare slot), or nullptr outside it.
    BYTE* fnGet_iTH_M_VOB_STI_Address(WORD i) const;
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_M_VOB_STI, WORD, Sti, Sti)

    M_AVFIT* m_pM_AVFIT;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;  // as recorded by fnNew or the last load
    BYTE m_bM_VOB_STI_Ns;  // cached M_VOB_STI_Ns
    DWORD m_dwStart;

private:
    BYTE* Header() const { return m_pM_AVFIT ? m_pM_AVFIT->header : nullptr; }
    // VOB n (1-based), or nullptr when the table holds no VOB n.
    M_VOBI* Vob(WORD n) const;
    // The TV system of the M_VOB_STI the VOB names: 0 for 525/60, 1 for
    // 625/50; false when it names no record.
    bool TvSystemOf(M_VOBI* vob, WORD* system) const;
    // Back to the table fnNew makes: no M_AVFI and no M_VOB_STI.
    void Empty();
    // Record i for the field accessors: nullptr above kMaxSTIIndex or
    // outside the array.
    BYTE* Sti(WORD i) const { return i <= kMaxSTIIndex ? fnGet_iTH_M_VOB_STI_Address(i) : nullptr; }
};

#endif
