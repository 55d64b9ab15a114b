// CM_VOBI: accessor of M_VOBI, the information about one recorded video
// object (VOB) inside M_AVFI, the last part of the movie AV file information
// table M_AVFIT.
//
// On disc an M_VOBI is a 23-byte general part (type flags, recording time,
// the number of the M_VOB_STI describing its streams, first and last video
// presentation times), then the 12-byte seamless block SMLI when VOB_TY bit 7
// is set, then the 16-byte audio gap block AGAPI when any of VOB_TY bits 6..3
// is set, then the VOB's time map TMAPI. In memory both optional blocks
// always sit at their offsets of the full 51-byte layout, present or not.
#ifndef VRMANGR_TABLES_CM_VOBI_H
#define VRMANGR_TABLES_CM_VOBI_H

#include <memory>

#include "io/fields.h"
#include "platform/types.h"
#include "tables/CTMAPI.h"

class CBuffer;
struct VR_MPEGFILE_INFO;

struct M_VOBI {
    static constexpr DWORD kSize = 51;  // with both optional blocks
    static constexpr DWORD kGeneralSize = 23;  // VOB_TY .. reserved
    static constexpr DWORD kSMLI = 23;  // VOB_FIRST_SCR, PREV_VOB_LAST_SCR
    static constexpr DWORD kSMLISize = 12;
    static constexpr DWORD kAGAPI = 35;  // VOB_A_STP_PTM, VOB_A_GAP_LEN1/2
    static constexpr DWORD kAGAPISize = 16;
    BYTE bytes[kSize] = {};
    std::unique_ptr<TMAPI> pTMAPI;  // the time map; null when none is attached
};
static_assert(sizeof(M_VOBI::bytes) == M_VOBI::kSize, "M_VOBI is 51 bytes with both optional blocks");
static_assert(M_VOBI::kSMLI + M_VOBI::kSMLISize == M_VOBI::kAGAPI, "AGAPI follows SMLI");
static_assert(M_VOBI::kAGAPI + M_VOBI::kAGAPISize == M_VOBI::kSize, "AGAPI ends the record");

class VRMANGR_API CM_VOBI {
public:
    CM_VOBI();
    explicit CM_VOBI(M_VOBI* record);
    // Loading form: the M_VOBI lies at file offset `start` of the buffer.
    CM_VOBI(CBuffer* buffer, M_VOBI* record, DWORD start);
    ~CM_VOBI();
    CM_VOBI(const CM_VOBI&) = default;
    CM_VOBI& operator=(const CM_VOBI&) = default;

    int fnCheckValid() const { return m_pM_VOBI ? 1 : 0; }
    // Zeroes the 51 bytes and drops the time map.
    int fnSetZero();
    // Time-map size + 51, whatever VOB_TY says about the optional blocks.
    DWORD fndwSize() const { return m_dwTMAPISize + M_VOBI::kSize; }
    // The length fnReadData writes; 0 without a record.
    DWORD fndwDataSize() const;
    // 1 when VOB_TY bit 7 (SMLI) / any of bits 6..3 (AGAPI) is set.
    int fnbHasSMLI() const { return (fnGet_wVOB_TY() & 0x0080) ? 1 : 0; }
    int fnbHasAGAPI() const { return (fnGet_wVOB_TY() & 0x0078) ? 1 : 0; }
    // Loads the record and its time map; returns the bytes loaded, or 0 (the
    // buffer's read failure marked, the record emptied) when any part lies
    // outside the file.
    DWORD fndwLoad_M_VOBI_From_File();
    // Writes the general part, the optional blocks VOB_TY names and the time
    // map; returns fndwDataSize(), or 0 for a null out.
    DWORD fnReadData(BYTE* out) const;
    // Drops the time map; the M_VOBI stays.
    void fnFreeAllData();
    // Fills the zeroed record of a new recording: VOB_TY 0, the current UTC
    // time, M_VOB_STIN stin, the video start and end times, and a new time
    // map. 0 without a record, for a null info, or when the info's VOBU
    // table is missing (the record is then left unchanged).
    int fnADD_VOBI(BYTE stin, const VR_MPEGFILE_INFO* info);
    // Translates the time range [start, end] of the VOB (27 MHz counts) into
    // byte positions in the movie stream file; see the source.
    int fnGet_StartPosAndEndPos(DWORD* startPos, DWORD* endPos, DWORD* headSize, DWORD* skipFrames, WORD system,
                                __int64 start, __int64 end) const;
    // The VOB's size in sectors (the sum of its VOBU sizes); 0 without a
    // record or time map.
    DWORD fnGet_dwTotal_TMAPI_Size() const;

    VRM_SCALAR_FIELD(WORD, fnGet_wVOB_TY, fnSet_wVOB_TY, Record, 0)
    VRM_BYTES_FIELD(fnGet_c5_VOB_REC_TM, fnSet_c5_VOB_REC_TM, Record, 2, 5)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_VOB_REC_TM_SUB, fnSet_c1_VOB_REC_TM_SUB, Record, 7)
    VRM_SCALAR_FIELD(BYTE, fnGet_c1_M_VOB_STIN, fnSet_c1_M_VOB_STIN, Record, 8)
    VRM_BYTES_FIELD(fnGet_c6_VOB_V_S_PTM, fnSet_c6_VOB_V_S_PTM, Record, 9, 6)
    VRM_BYTES_FIELD(fnGet_c6_VOB_V_E_PTM, fnSet_c6_VOB_V_E_PTM, Record, 15, 6)
    // The two presentation times as 27 MHz counts.
    __int64 fnGet_ll_VOB_V_S_PTS() const;
    __int64 fnGet_ll_VOB_V_E_PTS() const;
    VRM_BYTES_FIELD(fnGet_c6_VOB_FIRST_SCR, fnSet_c6_VOB_FIRST_SCR, Record, 23, 6)
    VRM_BYTES_FIELD(fnGet_c6_PREV_VOB_LAST_SCR, fnSet_c6_PREV_VOB_LAST_SCR, Record, 29, 6)
    VRM_BYTES_FIELD(fnGet_c12_VOB_A_STP_PTM, fnSet_c12_VOB_A_STP_PTM, Record, 35, 12)
    VRM_SCALAR_FIELD(WORD, fnGet_wVOB_A_GAP_LEN1, fnSet_wVOB_A_GAP_LEN1, Record, 47)
    VRM_SCALAR_FIELD(WORD, fnGet_wVOB_A_GAP_LEN2, fnSet_wVOB_A_GAP_LEN2, Record, 49)

    M_VOBI* m_pM_VOBI;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;  // bytes loaded
    DWORD m_dwTMAPISize;  // bytes of the time map, as loaded or built
    BYTE m_bOwner;  // when set, the destructor releases the record
    DWORD m_dwStart;
    DWORD m_dwCursor;  // running file offset during a load

private:
    BYTE* Record() const { return m_pM_VOBI ? m_pM_VOBI->bytes : nullptr; }
};

#endif
