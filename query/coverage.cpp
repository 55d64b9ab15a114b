// Stream coverage: the sectors each VOB and VOG occupies, from its own start
// sector and size.
#include "query/coverage.h"

#include <algorithm>

#include "api/VMG_MODEL.h"
#include "io/units.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CM_VOBI.h"
#include "tables/CS_AVFI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CTMAPI.h"

namespace {

using vrm::kSectorBytes;

// The VOBs: the time map's ADR_OFS is a VOB's first sector, the sum of its
// VOBU sizes its length.
void MovieExtents(const VMG_MODEL& model, std::vector<VR_STREAM_EXTENT>& out) {
    if (!model.pM_AVFIT || !model.pM_AVFIT->pM_AVFI) return;
    M_AVFI& avfi = *model.pM_AVFIT->pM_AVFI;
    const size_t n = std::min<size_t>(CM_AVFI(&avfi, 0).fnGet_wM_VOBI_SRP_Ns(), avfi.vobi.size());
    for (size_t i = 0; i < n; ++i) {
        M_VOBI& vob = avfi.vobi[i];
        const DWORD start = vob.pTMAPI ? CTMAPI(vob.pTMAPI.get()).fnGet_dwADR_OFS() : 0;
        out.push_back({static_cast<WORD>(i + 1), start, CM_VOBI(&vob).fnGet_dwTotal_TMAPI_Size()});
    }
}

// The VOGs: from S_VOG_SA, each picture's video part and, for pictures
// with original audio (entry types 0x40 and 0xC0), its audio part.
void StillExtents(const VMG_MODEL& model, std::vector<VR_STREAM_EXTENT>& out) {
    if (!model.pS_AVFIT || !model.pS_AVFIT->pS_AVFI) return;
    S_AVFI& avfi = *model.pS_AVFIT->pS_AVFI;
    const size_t n = std::min<size_t>(CS_AVFI(&avfi, 0).fnGet_wS_VOGI_SRP_Ns(), avfi.vogi.size());
    for (size_t i = 0; i < n; ++i) {
        CS_VOGI vog(&avfi.vogi[i]);
        uint64_t sectors = 0;
        for (DWORD p = 0; p < vog.m_cS_VOB_Ns; ++p) sectors += vog.fnGetPictureSectors(static_cast<BYTE>(p));
        out.push_back({static_cast<WORD>(i + 1), vog.fnGet_dwS_VOG_SA(), static_cast<DWORD>(sectors)});
    }
}

uint64_t EndOf(const VR_STREAM_EXTENT& e) { return uint64_t{e.dwStart} + e.dwSectors; }

}  // namespace

namespace vrm {

VR_STREAM_COVERAGE ComputeCoverage(const VMG_MODEL& model, bool still, bool present, uint64_t fileBytes) {
    VR_STREAM_COVERAGE c;
    if (still) {
        StillExtents(model, c.extents);
    } else {
        MovieExtents(model, c.extents);
    }
    std::stable_sort(c.extents.begin(), c.extents.end(),
                     [](const VR_STREAM_EXTENT& a, const VR_STREAM_EXTENT& b) { return a.dwStart < b.dwStart; });
    // One sweep in start order: an extent that starts before the highest
    // end met so far shares sectors with the extent that reaches it.
    uint64_t end = 0;
    const VR_STREAM_EXTENT* reaching = nullptr;
    for (const VR_STREAM_EXTENT& e : c.extents) {
        if (e.dwSectors == 0) continue;
        if (e.dwStart < end) {
            c.overlaps.emplace_back(reaching->wNumber, e.wNumber);
        } else if (e.dwStart > end) {
            c.gaps.push_back({static_cast<DWORD>(end), static_cast<DWORD>(e.dwStart - end)});
        }
        if (EndOf(e) > end) {
            end = EndOf(e);
            reaching = &e;
        }
    }
    c.dwRecordedEnd = static_cast<DWORD>(std::min<uint64_t>(end, 0xFFFFFFFFu));
    c.bFilePresent = present;
    c.qwFileBytes = present ? fileBytes : 0;
    const uint64_t recordedBytes = end * kSectorBytes;
    if (c.qwFileBytes > recordedBytes) c.qwTrailingBytes = c.qwFileBytes - recordedBytes;
    // Recorded bytes behind the end of the file, each counted once where
    // recordings overlap; unused sectors between them are not recorded.
    uint64_t reach = c.qwFileBytes;
    for (const VR_STREAM_EXTENT& e : c.extents) {
        const uint64_t from = uint64_t{e.dwStart} * kSectorBytes, to = EndOf(e) * kSectorBytes;
        if (to > reach) {
            c.qwMissingBytes += to - std::max(from, reach);
            reach = to;
        }
    }
    return c;
}

DWORD RecordedEnd(const VMG_MODEL& model, bool still) {
    std::vector<VR_STREAM_EXTENT> extents;
    if (still) {
        StillExtents(model, extents);
    } else {
        MovieExtents(model, extents);
    }
    uint64_t end = 0;
    for (const VR_STREAM_EXTENT& e : extents) end = std::max(end, EndOf(e));
    return static_cast<DWORD>(std::min<uint64_t>(end, 0xFFFFFFFFu));
}

}  // namespace vrm
