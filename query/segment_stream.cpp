// Stream information of a segment: attributes and durations from the movie
// or still table, and where the segment's bytes are. The tables give byte
// positions in the stream file (VR_MOVIE.VRO or VR_STILL.VRO, where the data
// of recordings added since the last save will land); the stream object
// knows whether those bytes are already in the stream file or still in the
// source file waiting to be appended, and reads the video bit rate there.
#include <cstdint>

#include "io/units.h"
#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "tables/CCI.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CTMAPI.h"
#include "tables/CVMGI_MAT.h"
#include "tables/seg.h"

namespace vrm::query {

namespace {

using vrm::kSectorBytes;
// What the movie table reports as start position when its time map never
// reached the start time; no VOBU starts there (positions are whole sectors).
constexpr DWORD kNoPosition = 0xFFFFFFFF;

// The bytes of the segment are unknown.
void ClearPositions(seg* s) {
    s->szFileName[0] = '\0';
    s->dwVideoBitrate = 0;
    s->llStartPos = 0;
    s->llEndPos = 0;
    s->dwHeadSize = 0;
    s->dwSkipFrames = 0;
}

// [start, end) are byte positions of the stream; the segment's record gets
// the file that holds them, the positions within it, and the bit rate of the
// video there.
void MapToFile(CVRO_DATA* stream, uint64_t start, uint64_t end, seg* s) {
    if (!stream || end < start || start > static_cast<uint64_t>(INT64_MAX)) {
        ClearPositions(s);
        return;
    }
    const __int64 streamPos = static_cast<__int64>(start);
    s->dwVideoBitrate = stream->fnGetVideoBitrate(streamPos, nullptr);
    const __int64 filePos = stream->fnGetAppendedFileNameAndAddress(streamPos, s->szFileName, nullptr);
    s->szFileName[sizeof s->szFileName - 1] = '\0';
    if (filePos < 0) {
        ClearPositions(s);
        return;
    }
    s->llStartPos = filePos;
    s->llEndPos = filePos + static_cast<__int64>(end - start);
}

}  // namespace

BYTE StillTime(const CVR_MANGR& m) {
    const RTR_VMGI* head = m.m_pModel ? m.m_pModel->pRTR_VMGI : nullptr;
    if (!head || !head->pVMGI_MAT) return 0;
    return CVMGI_MAT(head->pVMGI_MAT.get()).fnGet_c1_STILL_TM();
}

void FillMovieSegment(CVR_MANGR& m, WORD vobi, __int64 start, __int64 end, DWORD firstFrame, DWORD lastFrame, seg* s) {
    M_AVFIT* table = m.m_pModel->pM_AVFIT;
    if (!CM_AVFIT(table).fnGet_iTH_VOBI_Info(vobi, s, start, end, firstFrame, lastFrame)) {
        ClearPositions(s);
        return;
    }
    // The table reports 0 for both positions when it has no such VOB or its
    // time map cannot place the range; a real segment holds at least one VOBU.
    const uint64_t from = static_cast<uint64_t>(s->llStartPos), to = static_cast<uint64_t>(s->llEndPos);
    if (s->llStartPos == kNoPosition || to <= from) {
        ClearPositions(s);
        return;
    }
    MapToFile(m.m_pMovie, from, to, s);
}

void FillStillSegment(CVR_MANGR& m, WORD vogi, BYTE first, BYTE last, seg* s) {
    S_AVFIT* table = m.m_pModel->pS_AVFIT;
    if (!CS_AVFIT(table).fnGet_iTH_VOGI_Info(vogi, s, StillTime(m))) {
        ClearPositions(s);
        return;
    }
    S_VOGI* vog = table->pS_AVFI ? CS_AVFI(table->pS_AVFI.get(), 0).fnGet_iTH_VOGI(vogi) : nullptr;
    const CS_VOGI pictures(vog);
    if (!vog || first == 0 || last < first || last > pictures.m_cS_VOB_Ns) {
        ClearPositions(s);
        return;
    }
    // The table reports the VOG's first picture in 32 bits; the pictures
    // lie one behind the other from the VOG's start sector.
    uint64_t from = pictures.fnGet_dwS_VOG_SA(), to = 0;
    for (BYTE i = 0; i + 1 < first; ++i) from += pictures.fnGetPictureSectors(i);
    to = from;
    for (BYTE i = static_cast<BYTE>(first - 1); i < last; ++i) to += pictures.fnGetPictureSectors(i);
    const DWORD count = DWORD{last} - first + 1;
    s->dwFrameNs = count;
    s->dwVideoFrames = count;
    s->dwDuration = count * StillTime(m) * 1000u;
    s->dwHeadSize = DWORD{pictures.fnGet_c1_V_PART_SZ(static_cast<BYTE>(first - 1))} * static_cast<DWORD>(kSectorBytes);
    MapToFile(m.m_pStill, from * kSectorBytes, to * kSectorBytes, s);
}

bool StillPictures(CPGCI& chain, int pg, int cell, int ep, BYTE* first, BYTE* last) {
    WORD index = 0, e = 0;
    if (ep < 0 || ep > 0xFFFF || !chain.fnTranslateAddress(pg, cell, static_cast<WORD>(ep), &index, &e)) return false;
    CI* record = chain.Cell(index);
    return record && CCI(record).fnGetStillPictures(e, first, last);
}

}  // namespace vrm::query
