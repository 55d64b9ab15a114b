// CM_AVFI: accessor of M_AVFI, the movie AV file information at the end of
// the movie AV file information table M_AVFIT: the number of recorded video
// objects (VOBs), one search pointer per VOB, and the VOBs' M_VOBI records
// back to back behind the pointers, VOB 1 first. VOBs are numbered from 1 in
// table order; a movie cell names its VOB by that number.
#ifndef VRMANGR_TABLES_CM_AVFI_H
#define VRMANGR_TABLES_CM_AVFI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CM_VOBI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// M_VOBI_SRP_Ns: the number of VOBs, each with one search pointer.
#define VRM_FIELDS_M_AVFI_HEADER(F, C) F(C, U16, M_VOBI_SRP_Ns, 0, 2, fnGet_wM_VOBI_SRP_Ns, fnSet_wM_VOBI_SRP_Ns)
VRM_LAYOUT(M_AVFI_HEADER, VRM_FIELDS_M_AVFI_HEADER, 2);

// A search pointer: the byte offset of an M_VOBI from the first byte of
// M_AVFIT.
#define VRM_FIELDS_M_VOBI_SRP(F, C) F(C, U32, M_VOBI_SA, 0, 4, fnGet_dwM_VOBI_SA, fnSet_dwM_VOBI_SA)
VRM_LAYOUT(M_VOBI_SRP, VRM_FIELDS_M_VOBI_SRP, 4);

struct M_AVFI {
    static constexpr DWORD kHeaderSize = M_AVFI_HEADER::kSize;
    static constexpr DWORD kSrpSize = M_VOBI_SRP::kSize;
    BYTE header[kHeaderSize] = {};
    // The search pointers, 4 bytes each; current only after a load or a
    // serialisation.
    std::vector<BYTE> srp;
    std::vector<M_VOBI> vobi;  // VOB 1 first
};

class VRMANGR_API CM_AVFI {
public:
    // Binds nothing; the count is not used.
    explicit CM_AVFI(WORD count = 0);
    // `base` is the offset of M_AVFI from the first byte of M_AVFIT; the
    // serialiser adds it to compute every M_VOBI_SA.
    CM_AVFI(M_AVFI* record, DWORD base);
    // Loading form: M_AVFI lies at file offset `start`; `base` is the file
    // offset of M_AVFIT, to which every M_VOBI_SA is relative.
    CM_AVFI(CBuffer* buffer, M_AVFI* record, DWORD start, DWORD base);
    CM_AVFI(const CM_AVFI&) = default;
    CM_AVFI& operator=(const CM_AVFI&) = default;

    // The most VOBs the 16-bit M_VOBI_SRP_Ns can count.
    static constexpr DWORD kMaxVOBs = 0xFFFF;

    int fnCheckValid() const { return m_pM_AVFI ? 1 : 0; }
    // Zeroes the header and empties both arrays.
    int fnSetZero();
    // M_VOBI_SRP_Ns := 0.
    int fnNew();
    DWORD fndwSize() const { return m_dwSize; }
    // The length fnReadData writes; 0 without a record or when the count
    // names more VOBs than the record holds.
    DWORD fndwDataSize() const;
    // Loads M_AVFI and every M_VOBI; returns the bytes loaded. 0 (the
    // buffer's read failure marked, the record emptied) when a count or an
    // address points outside the file, or when the M_VOBI records together
    // would load more bytes than the file holds (search pointers that all
    // name one large M_VOBI).
    DWORD fndwLoad_M_AVFI_From_File();
    // Writes M_AVFI at offset `at` of the writer, recomputing the search
    // pointers; returns fndwDataSize().
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out, which holds fndwDataSize() bytes; 0 for a null out.
    DWORD fnReadData(BYTE* out);
    // Appends the header, the search pointers and every M_VOBI.
    void fnDump(std::string& out, const std::string& indent) const;
    // Releases the search pointers, every VOB's time map and the M_VOBI
    // records; the M_AVFI record stays.
    void fnFreeAllData();
    // Appends VOB m + 1 for a newly analysed recording whose streams are
    // described by M_VOB_STI number stin. 0, changing nothing, without a
    // record, for a null info or one without its VOBU table, and when the
    // table already holds kMaxVOBs VOBs. recorded: its recording time (UTC;
    // null: the current time).
    int fnADD_VOB(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr);
    // VOB n (1-based) queries; 0 when n is outside 1..m.
    int fnGet_iTH_VOBI_REC_TM(WORD n, BYTE* out5) const;
    BYTE fnGet_iTH_VOBI_M_VOB_STIN(WORD n) const;
    __int64 fnGet_iTH_VOBI_StartPTS(WORD n) const;
    int fnGet_iTH_VOBI_StartPosAndEndPos(WORD n, DWORD* startPos, DWORD* endPos, DWORD* headSize, DWORD* skipFrames,
                                         WORD system, __int64 start, __int64 end) const;
    // VOB n (1-based) itself, or nullptr when n is outside 1..m.
    M_VOBI* fnGet_iTH_VOBI(WORD n) const { return Vob(n); }
    // The sector of the movie stream file that follows the last VOB: VOB 1's
    // start sector plus the sizes of all VOBs, which lie back to back in
    // number order. 0 without a record or VOB.
    DWORD fnGet_dwTotalVOBISize() const;
    // The sector behind the highest VOB end (each VOB from its own start,
    // ADR_OFS): where a new VOB goes. Equal to the total for VOBs that lie
    // back to back.
    DWORD fnGet_dwRecordedEnd() const;

    VRM_ACCESSORS(VRM_FIELDS_M_AVFI_HEADER, Header)
    // Search pointer i (0-based), or nullptr outside the array.
    BYTE* fnGet_iTH_M_VOBI_SRP_Address(WORD i) const;
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_M_VOBI_SRP, WORD, fnGet_iTH_M_VOBI_SRP_Address, fnGet_iTH_M_VOBI_SRP_Address)

    M_AVFI* m_pM_AVFI;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;  // bytes loaded by the last load
    WORD m_wM_VOBI_SRP_Ns;  // cached VOB count
    DWORD m_dwStart;
    DWORD m_dwBase;

private:
    BYTE* Header() const { return m_pM_AVFI ? m_pM_AVFI->header : nullptr; }
    // VOB n (1-based), or nullptr when n is outside 1..m.
    M_VOBI* Vob(WORD n) const;
};

#endif
