// Stream coverage: the sectors each VOB and VOG occupies, from its own start
// sector and size.
#include "manager/coverage.h"

#include <algorithm>

#include "io/units.h"
#include "manager/VMG_MODEL.h"
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

// Sorts runs by start and joins those that overlap or touch; empty runs go.
std::vector<VR_SECTOR_RUN> Merged(std::vector<VR_SECTOR_RUN> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const VR_SECTOR_RUN& a, const VR_SECTOR_RUN& b) { return a.dwStart < b.dwStart; });
    std::vector<VR_SECTOR_RUN> out;
    for (const VR_SECTOR_RUN& r : runs) {
        if (r.dwSectors == 0) continue;
        const uint64_t end = uint64_t{r.dwStart} + r.dwSectors;
        if (!out.empty() && r.dwStart <= uint64_t{out.back().dwStart} + out.back().dwSectors) {
            const uint64_t reach = std::max(uint64_t{out.back().dwStart} + out.back().dwSectors, end);
            out.back().dwSectors = static_cast<DWORD>(std::min<uint64_t>(reach - out.back().dwStart, 0xFFFFFFFFu));
            continue;
        }
        out.push_back(r);
    }
    return out;
}

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

std::vector<VR_SECTOR_RUN> SubtractRuns(std::vector<VR_SECTOR_RUN> runs, std::vector<VR_SECTOR_RUN> minus) {
    runs = Merged(std::move(runs));
    minus = Merged(std::move(minus));
    std::vector<VR_SECTOR_RUN> out;
    size_t m = 0;
    for (const VR_SECTOR_RUN& r : runs) {
        uint64_t at = r.dwStart;
        const uint64_t end = uint64_t{r.dwStart} + r.dwSectors;
        // Runs of minus that end before this one cannot meet a later one.
        while (m < minus.size() && uint64_t{minus[m].dwStart} + minus[m].dwSectors <= at) ++m;
        for (size_t k = m; k < minus.size() && minus[k].dwStart < end; ++k) {
            if (minus[k].dwStart > at)
                out.push_back({static_cast<DWORD>(at), static_cast<DWORD>(minus[k].dwStart - at)});
            at = std::max<uint64_t>(at, uint64_t{minus[k].dwStart} + minus[k].dwSectors);
        }
        if (at < end) out.push_back({static_cast<DWORD>(at), static_cast<DWORD>(end - at)});
    }
    return out;
}

std::vector<VR_SECTOR_RUN> ExtentRuns(const VR_STREAM_COVERAGE& coverage) {
    std::vector<VR_SECTOR_RUN> runs;
    for (const VR_STREAM_EXTENT& e : coverage.extents) runs.push_back({e.dwStart, e.dwSectors});
    return runs;
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
