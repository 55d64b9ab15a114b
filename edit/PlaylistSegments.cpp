// Copying segments into a playlist's chain: the segment of an entry point of
// the original chain (add), or of the chain itself (move). A copy is made of
// new cells that name the same VOBs and times as the source, so the source
// never changes with the copy, nor the copy with the source.
#include <vector>

#include "edit/EditAccess.h"
#include "io/codecs.h"
#include "manager/CVR_MANGR.h"
#include "tables/CPGCI.h"
#include "tables/CS_VOGI.h"

namespace {

// One cell of a copied segment: a stretch of a movie VOB, or a whole still
// cell (pictures 1..pictures of a VOG).
struct Piece {
    bool still = false;
    WORD srpn = 0;
    BYTE pictures = 0;
    BYTE start[6] = {};
    BYTE end[6] = {};
};

bool MoviePiece(WORD vob, const BYTE start[6], const BYTE end[6], std::vector<Piece>* out) {
    Piece p;
    p.srpn = vob;
    for (int i = 0; i < 6; ++i) {
        p.start[i] = start[i];
        p.end[i] = end[i];
    }
    if (PtmTo27MHz(p.end) < PtmTo27MHz(p.start)) return false;
    out->push_back(p);
    return true;
}

// The cells of the segment of entry point e of cell index s: from the entry
// point to the next one, or for the cell's last entry point to the cell's
// end and on through the continuation cells up to the first entry point of
// a later cell. false when there is no such entry point or its times do not
// make a stretch of video.
bool CollectSegment(CPGCI& chain, WORD s, WORD e, std::vector<Piece>* out) {
    CI* record = chain.Cell(s);
    if (!record) return false;
    CCI cell(record);
    const WORD n = cell.fnGet_wC_EPI_Ns();
    if (e == 0 || e > n) return false;
    if (cell.fnGet_CI_TYPE() == CI::kStill) {
        Piece p;
        p.still = true;
        p.srpn = cell.fnGet_wS_VOGI_SRPN();
        p.pictures = cell.fnGet_c1_E_S_VOB_ENTN();
        out->push_back(p);
        return true;
    }
    BYTE start[6], end[6];
    cell.fnGet_c6_EP_PTM(static_cast<WORD>(e - 1), start);
    if (e < n)
        cell.fnGet_c6_EP_PTM(e, end);
    else
        cell.fnGet_c6_C_V_E_PTM(end);
    const __int64 from = static_cast<__int64>(PtmTo27MHz(start));
    if (from < cell.fnGet_ll_C_V_S_PTS() || !MoviePiece(cell.fnGet_wM_VOBI_SRPN(), start, end, out)) return false;
    if (e < n) return true;
    for (DWORD next = s + 2u; next <= chain.fnGet_wCI_SRP_Ns() && chain.fnbHaveNextCell(static_cast<WORD>(next));
         ++next) {
        CCI more(chain.Cell(next - 1));
        more.fnGet_c6_C_V_S_PTM(start);
        const bool last = more.fnGet_wC_EPI_Ns() > 0;
        if (last)
            more.fnGet_c6_EP_PTM(0, end);
        else
            more.fnGet_c6_C_V_E_PTM(end);
        if (!MoviePiece(more.fnGet_wM_VOBI_SRPN(), start, end, out)) return false;
        if (last) break;
    }
    return true;
}

// The 0-based cell position right after the segment of global entry point
// `after` of chain (0: the front), dividing the cell where that segment ends
// when it ends inside a cell. -1, with nothing changed, when `after` names
// no entry point or the division fails.
int ChoosePlace(CPGCI& chain, int after) {
    if (after == 0) return 0;
    WORD d = 0, k = 0;
    if (!vrm::FitsWord(after) || !chain.fnLocateEntryPoint(static_cast<WORD>(after), &d, &k)) return -1;
    CCI cell(chain.Cell(d - 1u));
    if (cell.fnGet_CI_TYPE() == CI::kStill) return d;
    if (k == cell.fnGet_wC_EPI_Ns()) {
        // A cell's last segment runs on through the continuation cells, and
        // ends at the first entry point of one of them.
        while (chain.fnbHaveNextCell(static_cast<WORD>(d + 1))) {
            ++d;
            k = 0;
            if (CCI(chain.Cell(d - 1u)).fnGet_wC_EPI_Ns() > 0) break;
        }
    }
    if (k < CCI(chain.Cell(d - 1u)).fnGet_wC_EPI_Ns() && !chain.fnDevideCell(d, k)) return -1;
    return d;
}

// Inserts the pieces as new cells from position `at` on; the first gets an
// entry point at its start.
bool InsertPieces(CPGCI& chain, int at, const std::vector<Piece>& pieces) {
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        const int pos = at + static_cast<int>(i);
        if (p.still) {
            S_VOGI group{};
            CS_VOGI(&group).fnSet_c1_S_VOB_Ns(p.pictures);
            if (!chain.fnADD_UD_Still_Pic_Cell(&group, p.srpn, pos)) return false;
            continue;
        }
        if (!chain.fnADD_UD_Movie_Cell(p.start, p.end, p.srpn, pos)) return false;
        if (i == 0 && !chain.fnADD_Movie_Entry_Point(static_cast<WORD>(pos + 1), 0, p.start, nullptr)) return false;
    }
    return true;
}

// Room for `cells` more cells in the chain.
bool HasRoom(const CPGCI& chain, size_t cells) { return chain.fnGet_wCI_SRP_Ns() + cells <= CPGCI::kMaxCells; }

}  // namespace

int CVR_MANGR::fnADDUDEntryPoint(BYTE pgcn, int after, int pg, int cell, int ep) {
    PGCI* record = vrm::UserChain(*this, pgcn);
    CPGCI* original = vrm::OriginalChain(*this);
    if (!record || !original || !vrm::FitsWord(ep)) return 0;
    WORD s = 0, e = 0;
    if (!original->fnTranslateAddress(pg, cell, static_cast<WORD>(ep), &s, &e) || e == 0) return 0;
    std::vector<Piece> pieces;
    if (!CollectSegment(*original, s, e, &pieces)) return 0;
    CPGCI chain(record);
    // The pieces, and one more for dividing the cell they go into.
    if (!HasRoom(chain, pieces.size() + 1)) return 0;
    const int at = ChoosePlace(chain, after);
    if (at < 0) return 0;
    return InsertPieces(chain, at, pieces) ? 1 : 0;
}

int CVR_MANGR::fnMoveUDEntryPt(BYTE pgcn, int nFrom, int nTo) {
    PGCI* record = vrm::UserChain(*this, pgcn);
    if (!record || !vrm::FitsWord(nFrom) || !vrm::FitsWord(nTo)) return 0;
    CPGCI chain(record);
    WORD c = 0, e = 0;
    if (!chain.fnLocateEntryPoint(static_cast<WORD>(nFrom), &c, &e)) return 0;
    if (nTo != 0 && !chain.fnLocateEntryPoint(static_cast<WORD>(nTo), nullptr, nullptr)) return 0;
    // The copy lands right after the segment of nTo. When that is before the
    // source, the source's entry point is one number further on afterwards.
    const int old = nFrom < nTo ? nFrom : nFrom + 1;
    if (!vrm::FitsWord(old)) return 0;
    // Everything about the source is read before the chain changes.
    std::vector<Piece> pieces;
    if (!CollectSegment(chain, static_cast<WORD>(c - 1), e, &pieces)) return 0;
    // The pieces, one cell for dividing at the destination and one for
    // cutting the source's cell in two.
    if (!HasRoom(chain, pieces.size() + 2)) return 0;
    const int at = ChoosePlace(chain, nTo);
    if (at < 0 || !InsertPieces(chain, at, pieces)) return 0;
    return chain.fnDEL_Movie_Entry_Point(static_cast<WORD>(old)) ? 1 : 0;
}
