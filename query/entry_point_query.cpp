// The entry-point queries: the segment of an entry point, followed on through
// continuation cells, and the number of cells a segment spans.
#include <algorithm>
#include <cstdint>
#include <new>

#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "query/records.h"
#include "tables/CCI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"

namespace {

// Fills s for the segment (pg, cell, ep) of chain. Returns the global number
// of the segment's cell, or 0 when the address names no segment; *more says
// whether the segment runs on into the next cell.
int QuerySegment(CVR_MANGR& m, CPGCI& chain, int pg, int cell, int ep, seg* s, bool* more) {
    *more = false;
    if (!vrm::query::SegmentExists(chain, pg, cell, ep)) return 0;
    BYTE type = 0, next = 0;
    WORD srpn = 0;
    __int64 start = 0, end = 0;
    const int number = chain.fnGetEntryPointInfo(pg, cell, static_cast<WORD>(ep), &type, &srpn, &start, &end, &next);
    if (number == 0) return 0;
    if (CCI::fnGet_CI_TYPE(type) == CI::kMovie) {
        // Without a movie table the attributes stay unfilled, but the
        // segment is still followed.
        if (m.m_pModel->pM_AVFIT) vrm::query::FillMovieSegment(m, srpn, start, end, 0, 0, s);
        *more = next != 0;
    } else if (m.m_pModel->pS_AVFIT) {
        BYTE first = 1, last = 1;
        vrm::query::StillPictures(chain, pg, cell, ep, &first, &last);
        vrm::query::FillStillSegment(m, srpn, first, last, s);
    }
    return number;
}

// The length of a segment that runs on into continuation cells is the whole
// segment's: each continuation cell's part (its segment 0) is added to the
// first record's frames, duration and audio samples.
void AddContinuationLength(CVR_MANGR& m, CPGCI& chain, int number, seg* s) {
    M_AVFIT* table = m.m_pModel->pM_AVFIT;
    if (!table) return;
    uint64_t frames = s->dwFrameNs, ms = s->dwDuration, samples = s->dwAudioSamples;
    BYTE more = 1;
    // The cell number rises with every step, so the walk ends within the
    // chain's cells.
    while (more) {
        BYTE type = 0;
        WORD srpn = 0;
        __int64 start = 0, end = 0;
        more = 0;
        number = chain.fnGetEntryPointInfo(1, number + 1, 0, &type, &srpn, &start, &end, &more);
        seg part{};
        if (number == 0 || CCI::fnGet_CI_TYPE(type) != CI::kMovie ||
            !CM_AVFIT(table).fnGet_iTH_VOBI_Info(srpn, &part, start, end, 0, 0))
            break;
        frames += part.dwFrameNs;
        ms += part.dwDuration;
        samples += part.dwAudioSamples;
    }
    const auto narrow = [](uint64_t v) { return static_cast<DWORD>(std::min<uint64_t>(v, 0xFFFFFFFFu)); };
    s->dwFrameNs = s->dwVideoFrames = narrow(frames);
    s->dwDuration = narrow(ms);
    s->dwAudioSamples = narrow(samples);
}

}  // namespace

int CVR_MANGR::fnGetEntryPtInfo(PGCI* chain, int pg, int cell, int ep, seg* s, int alloc, int follow) {
    if (!chain || !s || !m_pModel) return 0;
    CPGCI pgci(chain);
    bool more = false;
    int number = QuerySegment(*this, pgci, pg, cell, ep, s, &more);
    if (number == 0) return 0;
    s->dwHasNext = 0;
    s->dwNextNs = 0;
    if (more) AddContinuationLength(*this, pgci, number, s);
    if (!more || !follow) return 1;

    // The segment goes on with the first segment (entry point 0) of each
    // following continuation cell, one record per cell. The cell number
    // rises with every record, so the chain ends within the chain's cells.
    DWORD behind = 0;
    seg* current = s;
    while (more) {
        current->dwHasNext = 1;
        seg* next = nullptr;
        if (alloc) {
            next = new (std::nothrow) seg{};
            current->pNext = next;
        } else {
            next = current->pNext;
            if (next) {
                next->dwHasNext = 0;
                next->dwNextNs = 0;
            }
        }
        if (!next) break;
        ++behind;
        number = QuerySegment(*this, pgci, 1, number + 1, 0, next, &more);
        if (number == 0) break;
        current = next;
    }
    // Each record counts the records chained behind it.
    seg* record = s;
    for (DWORD k = behind; record; --k) {
        record->dwNextNs = k;
        if (k == 0) break;
        record = record->pNext;
    }
    return 1;
}

DWORD CVR_MANGR::fnGetCellNsofEntryPt(PGCI* chain, int pg, int cell, int ep) {
    seg probe{};
    fnGetEntryPtInfo(chain, pg, cell, ep, &probe, 1, 1);
    const DWORD cells = probe.dwNextNs + 1;
    fnReleaseSegChain(&probe);
    return cells;
}
