// The cell query: one cell of any program chain as a seg.
#include "manager/CVR_MANGR.h"
#include "query/internal/query_support.h"
#include "query/records.h"
#include "tables/CCI.h"
#include "tables/CPGCI.h"

int CVR_MANGR::fnGetCellInfo(PGCI* chain, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame) {
    if (!chain || !s || !m_pModel) return 0;
    CPGCI pgci(chain);
    // The chain's accessors take 8-bit programs and 16-bit cells.
    if (!vrm::query::ProgramExists(pgci, pg) || cell < 1 || cell > 0xFFFF) return 0;
    const BYTE program = static_cast<BYTE>(pg);
    const WORD number = static_cast<WORD>(cell);
    BYTE type = 0;
    WORD srpn = 0;
    __int64 start = 0, end = 0;
    if (!pgci.fnGetCellInfo(program, number, &type, &srpn, &start, &end)) return 0;
    s->dwEntryPtNs = pgci.fnGetEntryPtNo(program, number);
    s->dwHasNext = 0;
    s->dwNextNs = 0;
    if (CCI::fnGet_CI_TYPE(type) == CI::kMovie) {
        if (m_pModel->pM_AVFIT) vrm::query::FillMovieSegment(*this, srpn, start, end, firstFrame, lastFrame, s);
    } else if (m_pModel->pS_AVFIT) {
        BYTE first = 1, last = 1;
        vrm::query::StillPictures(pgci, pg, cell, 0, &first, &last);
        vrm::query::FillStillSegment(*this, srpn, first, last, s);
    }
    return 1;
}
