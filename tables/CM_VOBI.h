// CM_VOBI: accessor of M_VOBI, the information about one recorded video
// object (VOB) inside M_AVFI, the last part of the movie AV file information
// table M_AVFIT.
//
// On disc an M_VOBI is its general part M_VOBI_GI, then the seamless block
// SMLI when VOB_TY says so, then the audio gap block AGAPI when VOB_TY says
// so, then the VOB's time map TMAPI. In memory both optional blocks always
// sit behind the general part, present or not.
#ifndef VRMANGR_TABLES_CM_VOBI_H
#define VRMANGR_TABLES_CM_VOBI_H

#include <memory>
#include <string>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CTMAPI.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}
struct VR_MPEGFILE_INFO;

// VOB_TY bit 7 says SMLI is on disc, any of bits 6..3 that AGAPI is.
// VOB_REC_TM is the recording time (see PackRecTm); M_VOB_STIN the 1-based
// number of the M_VOB_STI that describes the VOB's streams; the two PTMs
// the first and last video presentation times.
#define VRM_FIELDS_M_VOBI_GI(F, C)                                                   \
    F(C, U16, VOB_TY, 0, 2, fnGet_wVOB_TY, fnSet_wVOB_TY)                            \
    F(C, BYTES, VOB_REC_TM, 2, 5, fnGet_c5_VOB_REC_TM, fnSet_c5_VOB_REC_TM)          \
    F(C, U8, VOB_REC_TM_SUB, 7, 1, fnGet_c1_VOB_REC_TM_SUB, fnSet_c1_VOB_REC_TM_SUB) \
    F(C, U8, M_VOB_STIN, 8, 1, fnGet_c1_M_VOB_STIN, fnSet_c1_M_VOB_STIN)             \
    F(C, BYTES, VOB_V_S_PTM, 9, 6, fnGet_c6_VOB_V_S_PTM, fnSet_c6_VOB_V_S_PTM)       \
    F(C, BYTES, VOB_V_E_PTM, 15, 6, fnGet_c6_VOB_V_E_PTM, fnSet_c6_VOB_V_E_PTM)      \
    F(C, RSV, reserved21, 21, 2, _, _)
VRM_LAYOUT(M_VOBI_GI, VRM_FIELDS_M_VOBI_GI, 23);

// SMLI: the VOB's first SCR and the last SCR of the VOB before it.
#define VRM_FIELDS_SMLI(F, C)                                                        \
    F(C, BYTES, VOB_FIRST_SCR, 0, 6, fnGet_c6_VOB_FIRST_SCR, fnSet_c6_VOB_FIRST_SCR) \
    F(C, BYTES, PREV_VOB_LAST_SCR, 6, 6, fnGet_c6_PREV_VOB_LAST_SCR, fnSet_c6_PREV_VOB_LAST_SCR)
VRM_LAYOUT(SMLI, VRM_FIELDS_SMLI, 12);

// AGAPI: where the audio stops and the lengths of the two audio gaps.
#define VRM_FIELDS_AGAPI(F, C)                                                          \
    F(C, BYTES, VOB_A_STP_PTM, 0, 12, fnGet_c12_VOB_A_STP_PTM, fnSet_c12_VOB_A_STP_PTM) \
    F(C, U16, VOB_A_GAP_LEN1, 12, 2, fnGet_wVOB_A_GAP_LEN1, fnSet_wVOB_A_GAP_LEN1)      \
    F(C, U16, VOB_A_GAP_LEN2, 14, 2, fnGet_wVOB_A_GAP_LEN2, fnSet_wVOB_A_GAP_LEN2)
VRM_LAYOUT(AGAPI, VRM_FIELDS_AGAPI, 16);

struct M_VOBI {
    static constexpr WORD kVobTySMLI = 0x0080;
    static constexpr WORD kVobTyAGAPI = 0x0078;
    static constexpr DWORD kGeneralSize = M_VOBI_GI::kSize;
    static constexpr DWORD kSMLI = kGeneralSize;  // offsets in bytes
    static constexpr DWORD kAGAPI = kSMLI + SMLI::kSize;
    static constexpr DWORD kSize = kAGAPI + AGAPI::kSize;  // with both optional blocks
    BYTE bytes[kSize] = {};
    std::unique_ptr<TMAPI> pTMAPI;  // the time map; null when none is attached
};

class VRMANGR_API CM_VOBI {
public:
    CM_VOBI();
    explicit CM_VOBI(M_VOBI* record);
    // Loading form: the M_VOBI lies at file offset `start` of the buffer.
    CM_VOBI(CBuffer* buffer, M_VOBI* record, DWORD start);
    CM_VOBI(const CM_VOBI&) = default;
    CM_VOBI& operator=(const CM_VOBI&) = default;

    int fnCheckValid() const { return m_pM_VOBI ? 1 : 0; }
    // Zeroes the general part and both optional blocks and drops the time
    // map.
    int fnSetZero();
    // Time-map size + M_VOBI::kSize, whatever VOB_TY says about the optional
    // blocks.
    DWORD fndwSize() const { return m_dwTMAPISize + M_VOBI::kSize; }
    // The length fnReadData writes; 0 without a record.
    DWORD fndwDataSize() const;
    // 1 when VOB_TY bit 7 (SMLI) / any of bits 6..3 (AGAPI) is set.
    int fnbHasSMLI() const { return (fnGet_wVOB_TY() & M_VOBI::kVobTySMLI) ? 1 : 0; }
    int fnbHasAGAPI() const { return (fnGet_wVOB_TY() & M_VOBI::kVobTyAGAPI) ? 1 : 0; }
    // Loads the record and its time map; returns the bytes loaded, or 0 (the
    // buffer's read failure marked, the record emptied) when any part lies
    // outside the file.
    DWORD fndwLoad_M_VOBI_From_File();
    // Writes the general part, the optional blocks VOB_TY names and the time
    // map at offset `at` of the writer; returns fndwDataSize().
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at) const;
    // fnWrite into out, which holds fndwDataSize() bytes; 0 for a null out.
    DWORD fnReadData(BYTE* out) const;
    // Appends the general part, the optional blocks VOB_TY names and the
    // time map.
    void fnDump(std::string& out, const std::string& indent) const;
    // Drops the time map; the M_VOBI stays.
    void fnFreeAllData();
    // Fills the zeroed record of a new recording: VOB_TY 0, its recording
    // time (`recorded`, UTC; null: the current time), M_VOB_STIN stin, the
    // video start and end times, and a new time map. 0 without a record, for
    // a null info, or when the info's VOBU table is missing (the record is
    // then left unchanged).
    int fnADD_VOBI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded = nullptr);
    // Keeps only VOBUs first .. first + count - 1 (0-based) of the VOB: the
    // time map as CTMAPI::fnTrim_VOBU_ENT makes it, VOB_V_S_PTM later by the
    // playback time of the VOBUs dropped in front and VOB_V_E_PTM earlier by
    // that of the VOBUs dropped behind (so the video ends as far behind the
    // kept VOBUs' playback as it did behind all of them; never before the
    // start). `system` is the TV system that gives a field's length (0 for
    // 525/60, anything else 625/50). SMLI tells how the VOB's first VOBU
    // joins the VOB before it and AGAPI where its audio stops: both are
    // dropped (fnDrop_SMLI, fnDrop_AGAPI) when VOBUs in front go, and AGAPI
    // also when VOBUs behind go and an audio stop time lies at or behind the
    // new video end. The rest of the record stays. Keeping every VOBU
    // changes no byte. 0, changing nothing, without a record or time map,
    // for count 0, for a range beyond the VOBU entries, or when the new
    // start does not fit a PTM.
    int fnTrim_VOBU(DWORD first, DWORD count, WORD system);
    // Clears the VOB_TY bit that announces SMLI and zeroes the block; 0
    // without a record.
    int fnDrop_SMLI();
    // Clears the VOB_TY bits that announce AGAPI and zeroes the block; 0
    // without a record.
    int fnDrop_AGAPI();
    // Translates the time range [start, end] of the VOB (27 MHz counts) into
    // byte positions in the movie stream file: *startPos the start
    // of the VOBU that holds the start (a start on a VOBU boundary is the
    // next VOBU's), *endPos the end of the VOBU that holds the end (an end
    // on a boundary is the earlier VOBU's), each time counted in whole
    // frames from VOB_V_S_PTM in the TV system's frame length (system: V_ATR
    // with the TV system bit). *headSize is the first VOBU's bytes and the
    // next one's, *skipFrames the frames of the first VOBU before the start.
    // start = end = 0 gives the whole VOB. 0 for a null pointer, start after
    // end, no time map, or no VOBU entry.
    int fnGet_StartPosAndEndPos(DWORD* startPos, DWORD* endPos, DWORD* headSize, DWORD* skipFrames, WORD system,
                                __int64 start, __int64 end) const;
    // The same with the positions in 64 bits, exact beyond 4 GB of stream;
    // *startPos is kNoPosition where the 32-bit form gives 0xFFFFFFFF.
    static constexpr uint64_t kNoPosition = UINT64_MAX;
    int fnGet_StartPosAndEndPos64(uint64_t* startPos, uint64_t* endPos, DWORD* headSize, DWORD* skipFrames, WORD system,
                                  __int64 start, __int64 end) const;
    // The VOB's size in sectors (the sum of its VOBU sizes); 0 without a
    // record or time map.
    DWORD fnGet_dwTotal_TMAPI_Size() const;

    VRM_ACCESSORS(VRM_FIELDS_M_VOBI_GI, Record)
    VRM_ACCESSORS(VRM_FIELDS_SMLI, Smli)
    VRM_ACCESSORS(VRM_FIELDS_AGAPI, Agapi)
    // The two presentation times as 27 MHz counts.
    __int64 fnGet_ll_VOB_V_S_PTS() const;
    __int64 fnGet_ll_VOB_V_E_PTS() const;

    M_VOBI* m_pM_VOBI;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;  // bytes loaded
    DWORD m_dwTMAPISize;  // bytes of the time map, as loaded or built
    DWORD m_dwStart;
    DWORD m_dwCursor;  // running file offset during a load

private:
    BYTE* Record() const { return m_pM_VOBI ? m_pM_VOBI->bytes : nullptr; }
    BYTE* Smli() const { return m_pM_VOBI ? m_pM_VOBI->bytes + M_VOBI::kSMLI : nullptr; }
    BYTE* Agapi() const { return m_pM_VOBI ? m_pM_VOBI->bytes + M_VOBI::kAGAPI : nullptr; }
};

#endif
