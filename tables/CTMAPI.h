// CTMAPI: accessor of TMAPI, the time map that ends every movie VOB
// information (M_VOBI) of the movie AV file information table M_AVFIT.
//
// The map records the VOB's start sector in the movie stream file
// (ADR_OFS), one VOBU entry per video object unit (first reference picture
// size, playback time in video fields, size in sectors) and time entries
// that mark, every 10 seconds of playback, which VOBU holds that instant.
// On disc: the header, TM_ENT_Ns time entries, then VOBU_ENT_Ns VOBU
// entries (3 bytes each, packed and unpacked by vrm::VobuEntry).
#ifndef VRMANGR_TABLES_CTMAPI_H
#define VRMANGR_TABLES_CTMAPI_H

#include <string>
#include <vector>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/attributes.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// TM_OFS is 0 in maps built here; ADR_OFS is the VOB's first sector in the
// movie stream file.
#define VRM_FIELDS_TMAPI_HEADER(F, C)                                    \
    F(C, U16, TM_ENT_Ns, 0, 2, fnGet_wTM_ENT_Ns, fnSet_wTM_ENT_Ns)       \
    F(C, U16, VOBU_ENT_Ns, 2, 2, fnGet_wVOBU_ENT_Ns, fnSet_wVOBU_ENT_Ns) \
    F(C, U16, TM_OFS, 4, 2, fnGet_wTM_OFS, fnSet_wTM_OFS)                \
    F(C, U32, ADR_OFS, 6, 4, fnGet_dwADR_OFS, fnSet_dwADR_OFS)
VRM_LAYOUT(TMAPI_HEADER, VRM_FIELDS_TMAPI_HEADER, 10);

// A time entry: the VOBU (1-based VOBU_ENTN) that holds a 10-second
// boundary, the fields from that VOBU's start to the boundary (TM_DIFF), and
// the VOBU's address in sectors from the VOB's start (VOBU_ADR).
#define VRM_FIELDS_TM_ENT(F, C)                                    \
    F(C, U16, VOBU_ENTN, 0, 2, fnGet_wVOBU_ENTN, fnSet_wVOBU_ENTN) \
    F(C, U8, TM_DIFF, 2, 1, fnGet_c1_TM_DIFF, fnSet_c1_TM_DIFF)    \
    F(C, U32, VOBU_ADR, 3, 4, fnGet_dwVOBU_ADR, fnSet_dwVOBU_ADR)
VRM_LAYOUT(TM_ENT, VRM_FIELDS_TM_ENT, 7);

// The map's bytes exactly as on disc. The entry arrays hold whole entries;
// a map built by fnADD_TMAPI or trimmed by fnTrim_VOBU_ENT has one spare
// time entry behind the TM_ENT_Ns written ones (a boundary that falls into
// it is kept but never saved).
struct TMAPI {
    static constexpr DWORD kHeaderSize = TMAPI_HEADER::kSize;
    static constexpr DWORD kTmEntSize = TM_ENT::kSize;
    static constexpr DWORD kVobuEntSize = 3;  // VOBU_ENT, see vrm::VobuEntry
    BYTE header[kHeaderSize] = {};
    std::vector<BYTE> tmEntries;  // time entries, 7 bytes each
    std::vector<BYTE> vobuEntries;  // VOBU entries, 3 bytes each
};

namespace vrm {
// True when the analysed file's VOBU table can be read: a non-zero VOBU
// count needs a table (of count + 1 elements).
bool VOBUTableUsable(const VR_MPEGFILE_INFO* info);
}  // namespace vrm

class VRMANGR_API CTMAPI {
public:
    // The two counts are not used; the form binds nothing.
    explicit CTMAPI(WORD tmEntries = 30, WORD vobuEntries = 500);
    // Binds the map and caches both counts from its header.
    explicit CTMAPI(TMAPI* record);
    // Loading form: the map lies at file offset `start` of the buffer.
    CTMAPI(CBuffer* buffer, TMAPI* record, DWORD start);
    CTMAPI(const CTMAPI&) = default;
    CTMAPI& operator=(const CTMAPI&) = default;

    int fnCheckValid() const { return m_pTMAPI ? 1 : 0; }
    // Zeroes the header and the first (cached count) entries of both arrays.
    int fnSetZero();
    // 10 + 7 × cached time entries + 3 × cached VOBU entries; also stored as
    // the size field.
    DWORD fndwSize();
    // The length fnReadData writes: 10 + 7 × TM_ENT_Ns + 3 × VOBU_ENT_Ns of
    // the header; 0 without a record.
    DWORD fndwDataSize() const;
    // Loads the map at the start offset and returns its length; 0 (with the
    // buffer's read failure marked and the record emptied) when the header
    // or either entry array lies outside the file.
    DWORD fndwLoad_TMAPI_From_File();
    // Writes the header and the TM_ENT_Ns and VOBU_ENT_Ns entries the header
    // counts (entries missing from the arrays are written as zeros) at
    // offset `at` of the writer; returns fndwDataSize().
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at) const;
    // fnWrite into out, which holds fndwDataSize() bytes; 0 for a null out.
    DWORD fnReadData(BYTE* out) const;
    // Appends the header, the time entries and the VOBU entries, one line
    // per field or VOBU entry.
    void fnDump(std::string& out, const std::string& indent) const;
    // Builds the map of a newly analysed recording on a zeroed record; see
    // the source for the rules. 0 without a record, for a null info, or when
    // the info has VOBUs but no VOBU table (the map then stays empty).
    int fnADD_TMAPI(const VR_MPEGFILE_INFO* info);
    // Keeps only VOBU entries first .. first + count - 1 (0-based): the map
    // then is the one fnADD_TMAPI builds for a recording of exactly those
    // VOBUs. ADR_OFS moves forward by the sectors of the VOBUs dropped in
    // front, the VOBU entries stay as they are, and the time entries are
    // made anew (TM_OFS 0). `system` is the TV system: 0 for 525/60,
    // anything else 625/50. 0, changing nothing, without a record, for count
    // 0, or for a range beyond VOBU_ENT_Ns or the entries the array holds.
    // Allocates; on a failed allocation the map may be half changed, so
    // callers that must stay unchanged work on a copy.
    int fnTrim_VOBU_ENT(DWORD first, DWORD count, WORD system);
    // The VOB's size in sectors: the sum of VOBU_SZ over the VOBU entries.
    DWORD fnGet_dwTotal_VOBU_ENT_Size() const;
    // Entry i, or nullptr when there is no record or i is outside the array.
    BYTE* fnGet_iTH_TM_ENT_Address(DWORD i) const;
    BYTE* fnGet_iTH_VOBU_ENT_Address(DWORD i) const;

    VRM_ACCESSORS(VRM_FIELDS_TMAPI_HEADER, Header)
    VRM_ENTRY_ACCESSORS(VRM_FIELDS_TM_ENT, DWORD, fnGet_iTH_TM_ENT_Address, fnGet_iTH_TM_ENT_Address)

    // The 3 raw bytes of VOBU entry i.
    int fnGet_c3_VOBU_Entry(DWORD i, BYTE* out3) const {
        return vrm::GetFieldBytes(fnGet_iTH_VOBU_ENT_Address(i), 0, TMAPI::kVobuEntSize, out3);
    }
    // Packs VOBU entry i. A playback time above 63 fields or a size above
    // 1023 sectors does not fit its bit field; it is stored as the field's
    // maximum so that it cannot spill into the neighbouring field.
    int fnSet_c3_VOBU_Entry(DWORD i, BYTE firstRef, BYTE pbTm, WORD size);
    // The fields of VOBU entry i; 0 when there is no such entry.
    BYTE fnGet_b1STREF_SZ(DWORD i) const { return Vobu(i).firstRefSize; }
    BYTE fnGet_bVOBU_PB_TM(DWORD i) const { return Vobu(i).playbackFields; }
    WORD fnGet_wVOBU_SZ(DWORD i) const { return Vobu(i).sectors; }

    TMAPI* m_pTMAPI;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    DWORD m_dwTM_ENT_Ns;  // cached time-entry count
    DWORD m_dwVOBU_ENT_Ns;  // cached VOBU-entry count
    DWORD m_dwStart;

private:
    // One VOBU as the time entries see it: its playback time in video
    // fields and its address in sectors from the VOB's start.
    struct VobuTime {
        BYTE fields;
        DWORD address;
    };
    // Sets TM_ENT_Ns and the time entries of a VOB of `frames` frames made of
    // these VOBUs, as every map of this library gets them: TM_ENT_Ns is
    // frames / 250 (625/50) or frames / 300 (525/60), rounded up; the first
    // entry names VOBU 1 at the VOB's start, and each VOBU in which another
    // 10 seconds of playback (500 or 600 fields) are reached gets an entry
    // with its number, its address and TM_DIFF, the fields from its start to
    // that instant. A boundary beyond TM_ENT_Ns + 1 entries is dropped.
    void MarkTimeEntries(bool pal, DWORD frames, const std::vector<VobuTime>& vobus);
    BYTE* Header() const { return m_pTMAPI ? m_pTMAPI->header : nullptr; }
    // VOBU entry i unpacked; all zero when there is no such entry.
    vrm::VobuEntry Vobu(DWORD i) const;
};

#endif
