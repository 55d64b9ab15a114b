// Editing the recordings as a recorder does, program by program of the
// original chain: delete a program with its recordings, erase a stretch of
// one, divide one in two, combine two. Each changes the tables in memory
// only; what no cell plays any more leaves the disc (Reclaim.cpp), and the
// numbers that name cells (the programs' and playlists' pictures, the
// disc's markers) follow the cells they named.
#include <algorithm>
#include <string>

#include "edit/EditAccess.h"
#include "edit/ProgramCells.h"
#include "edit/Reclaim.h"
#include "io/TextCodec.h"
#include "io/be.h"
#include "io/codecs.h"
#include "manager/CVR_MANGR.h"
#include "manager/coverage.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CVMGI_MAT.h"

using namespace vrm::programs;

namespace {

std::string N(long long v) { return std::to_string(v); }

// Where program pg's cells lie in play time: at[k] is the time from the
// program's start at which its cell k begins (at[count] its length).
struct Timeline {
    size_t first = 0;
    size_t count = 0;
    std::vector<__int64> at;
    bool still = false;
};

Timeline TimelineOf(const Cells& cells, const std::vector<Program>& programs, size_t pg) {
    Timeline t;
    t.first = FirstCell(programs, pg);
    t.count = programs[pg].cells;
    t.at.push_back(0);
    for (size_t k = 0; k < t.count; ++k) {
        const CI& c = cells[t.first + k].ci;
        if (!IsMovie(c)) t.still = true;
        const __int64 d = IsMovie(c) ? std::max<__int64>(0, CellEnd(c) - CellStart(c)) : 0;
        t.at.push_back(t.at.back() + d);
    }
    return t;
}

// The cell (index within the program) that plays time t: at a boundary
// between two cells the later one, or with `ending` the earlier one.
size_t CellAt(const Timeline& t, __int64 time, bool ending) {
    for (size_t k = 0; k < t.count; ++k) {
        if (ending ? time <= t.at[k + 1] : time < t.at[k + 1]) return k;
    }
    return t.count - 1;
}

// Time t of the program as a cut point of its cell k: the VOBU boundary (or
// cell end) nearest to it; *play gets that point in play time.
bool SnapPlay(CVR_MANGR& m, const Cells& cells, const Timeline& t, size_t k, __int64 time, CutPoint* cut,
              __int64* play) {
    const CI& c = cells[t.first + k].ci;
    Units units;
    if (!UnitsOf(m, Recording(c), &units)) return false;
    *cut = Snap(units, c, CellStart(c) + (time - t.at[k]));
    *play = t.at[k] + (cut->end - CellStart(c));
    return true;
}

// The sectors the recordings of the movie (still) stream cover now.
std::vector<VR_SECTOR_RUN> Covered(CVR_MANGR& m, bool still) {
    return vrm::ExtentRuns(vrm::ComputeCoverage(*m.m_pModel, still, false, 0));
}

// The state every operation starts from.
struct Edit {
    CVR_MANGR& m;
    PGCI& chain;
    PGCI saved;
    Cells before;
    std::vector<Program> programs;
    std::vector<VR_SECTOR_RUN> movie;  // the recordings' sectors
    std::vector<VR_SECTOR_RUN> still;
    explicit Edit(CVR_MANGR& manager)
        : m(manager),
          chain(*manager.m_pModel->pORG_PGCI),
          saved(chain),
          before(TakeCells(chain)),
          programs(TakePrograms(chain)),
          movie(Covered(manager, false)),
          still(Covered(manager, true)) {}
};

// The disc's resume marker and representative picture name nothing after
// an edit that renumbers cells.
void ClearMarkers(CVR_MANGR& m) {
    RTR_VMGI* head = m.m_pModel->pRTR_VMGI;
    if (!head || !head->pVMGI_MAT) return;
    for (size_t at : {size_t{VMGI_MAT_LAYOUT::At::RSM_MRKI}, size_t{VMGI_MAT_LAYOUT::At::DISC_REP_PICTI}}) {
        BYTE* marker = head->pVMGI_MAT->bytes + at;
        if (marker[RSM_MRKI::At::PGCN] == 0xFF || NamesNoCell(vrm::be_load<WORD>(marker + RSM_MRKI::At::CN))) continue;
        std::fill(marker, marker + RSM_MRKI::kSize, BYTE{0xFF});
    }
}

// Puts the edited cells and programs into the chain; then the programs'
// pictures, the markers and, when video went, the rest of the disc follow.
int Commit(Edit& e, const Cells& cells, std::vector<Program>& programs, vrm::ProgramEdit* out) {
    if (programs.size() > CPGCI::kMaxPrograms || cells.size() > CPGCI::kMaxCells) {
        return e.m.fnFail(VRO_ERR_EDIT_REFUSED, "The original chain holds the most programs or cells it can (" +
                                                    N(CPGCI::kMaxPrograms) + " programs, " + N(CPGCI::kMaxCells) +
                                                    " cells).");
    }
    const std::vector<Program> old = TakePrograms(e.saved);
    size_t first = 0;
    for (Program& p : programs) {
        if (p.origin >= 0) {
            FollowPicture(p.record.data(), PGI::At::CN, PGI::At::PICT_PT, cells, first, p.cells,
                          FirstCell(old, static_cast<size_t>(p.origin)), old[static_cast<size_t>(p.origin)].cells);
        }
        first += p.cells;
    }
    PutCells(e.chain, cells);
    PutPrograms(e.chain, programs);
    Outcome outcome;
    if (!Reclaim(e.m, e.before, &outcome)) {
        e.chain = e.saved;
        return e.m.fnFail(VRO_ERR_EDIT_REFUSED,
                          "A playlist or the movie table cannot hold the cells or VOBs the edit would leave.");
    }
    ClearMarkers(e.m);
    const std::vector<VR_SECTOR_RUN> movie = vrm::SubtractRuns(e.movie, Covered(e.m, false));
    const std::vector<VR_SECTOR_RUN> still = vrm::SubtractRuns(e.still, Covered(e.m, true));
    // Given back to the file system once a save has written the tables that
    // no longer use them.
    for (const VR_SECTOR_RUN& r : movie) e.m.fnRelease_Stream_Sectors(0, r.dwStart, r.dwSectors);
    for (const VR_SECTOR_RUN& r : still) e.m.fnRelease_Stream_Sectors(1, r.dwStart, r.dwSectors);
    if (out) {
        *out = vrm::ProgramEdit{};
        out->removed = outcome.removed;
        out->shortened = outcome.shortened;
        out->playlists = outcome.playlists;
        out->freedMovie = movie;
        out->freedStill = still;
    }
    return 1;
}

int NoProgram(CVR_MANGR& m, int pg, size_t count) {
    return m.fnFail(VRO_ERR_NO_SUCH_ITEM, "There is no program " + N(pg) + " (the disc has " + N(count) + ").",
                    vrm::Status::kItem, static_cast<uint64_t>(pg));
}

bool Editable(CVR_MANGR& m) {
    if (!m.m_pModel || !m.m_pModel->pORG_PGCI) {
        m.fnFail(VRO_ERR_NOT_INITIALISED, "No disc is open.");
        return false;
    }
    if ((m.m_pMovie && m.m_pMovie->fnGetQueuedFileNs()) || (m.m_pStill && m.m_pStill->fnGetQueuedFileNs())) {
        m.fnFail(VRO_ERR_QUEUE_NOT_EMPTY,
                 "Recordings added since the last save must be saved before programs are edited.");
        return false;
    }
    return true;
}

}  // namespace

int CVR_MANGR::fnDEL_Program(int pg, vrm::ProgramEdit* out) {
    if (!Editable(*this)) return 0;
    Edit e(*this);
    if (pg < 1 || static_cast<size_t>(pg) > e.programs.size()) return NoProgram(*this, pg, e.programs.size());
    const size_t p = static_cast<size_t>(pg - 1);
    const size_t first = FirstCell(e.programs, p);
    Cells cells = e.before;
    cells.erase(cells.begin() + static_cast<long>(first),
                cells.begin() + static_cast<long>(std::min(cells.size(), first + e.programs[p].cells)));
    e.programs.erase(e.programs.begin() + static_cast<long>(p));
    return Commit(e, cells, e.programs, out);
}

int CVR_MANGR::fnCombine_Program(int pg, vrm::ProgramEdit* out) {
    if (!Editable(*this)) return 0;
    Edit e(*this);
    const size_t count = e.programs.size();
    if (pg < 1 || static_cast<size_t>(pg) > count) return NoProgram(*this, pg, count);
    if (static_cast<size_t>(pg) == count) {
        return fnFail(VRO_ERR_EDIT_REFUSED,
                      "Program " + N(pg) + " is the last one: there is no next program to combine it with.",
                      vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    const size_t p = static_cast<size_t>(pg - 1);
    Cells cells = e.before;
    // Where the first program's last cell and the second's first play one
    // VOB on from each other (a program divided before), they are one cell
    // again.
    const size_t junction = FirstCell(e.programs, p + 1);
    if (junction > 0 && junction < cells.size() && e.programs[p].cells > 0 && e.programs[p + 1].cells > 0) {
        CI& a = cells[junction - 1].ci;
        const CI& b = cells[junction].ci;
        if (IsMovie(a) && IsMovie(b) && Recording(a) == Recording(b) && CellEnd(a) == CellStart(b)) {
            WorkCell joined = Piece(cells[junction - 1], CellStart(a), CellEnd(b), CellStart(a));
            CCI to(&joined.ci);
            CCI from(const_cast<CI*>(&b));
            for (WORD i = 0; i < from.fnGet_wC_EPI_Ns(); ++i) {
                const BYTE* ep = from.fnGet_iTH_M_C_EPI_Add(i);
                const bool text = CCI::fnGet_M_C_EPI_TYPE(ep[M_C_EPI::At::EP_TY]);
                to.fnADD_Movie_Entry_Point(to.fnGet_wC_EPI_Ns(), ep + M_C_EPI::At::EP_PTM,
                                           text ? ep + M_C_EPI::At::PRM_TXTI : nullptr);
                to.fnSet_c1_EP_TY(static_cast<WORD>(to.fnGet_wC_EPI_Ns() - 1), ep[M_C_EPI::At::EP_TY]);
            }
            joined.changed = true;
            cells[junction - 1] = joined;
            cells.erase(cells.begin() + static_cast<long>(junction));
            --e.programs[p + 1].cells;
        }
    }
    e.programs[p].cells = static_cast<WORD>(e.programs[p].cells + e.programs[p + 1].cells);
    e.programs.erase(e.programs.begin() + static_cast<long>(p + 1));
    return Commit(e, cells, e.programs, out);
}

namespace {

// Refuses a program of still pictures for the edits that cut video.
bool CanCut(CVR_MANGR& m, const Timeline& t, int pg) {
    if (!t.still) return true;
    m.fnFail(VRO_ERR_EDIT_REFUSED,
             "Program " + N(pg) + " holds still pictures, which cannot be cut; it can be deleted as a whole.",
             vrm::Status::kItem, static_cast<uint64_t>(pg));
    return false;
}

// Program pg of an edit that cuts its video: its index *p and where its
// cells lie; false with the reason given.
bool CutProgram(CVR_MANGR& m, const Edit& e, int pg, size_t* p, Timeline* t) {
    if (pg < 1 || static_cast<size_t>(pg) > e.programs.size()) {
        NoProgram(m, pg, e.programs.size());
        return false;
    }
    *p = static_cast<size_t>(pg - 1);
    *t = TimelineOf(e.before, e.programs, *p);
    return CanCut(m, *t, pg);
}

// The second program of a divide: titled as the first with " (2)".
void TitleSecond(CVR_MANGR& m, int pg) {
    vrm::PrimaryText text;
    if (!m.fnGetPGPrimaryText(pg, &text)) return;
    std::string title = text.title.utf8.empty() ? text.label.utf8 : text.title.utf8;
    const std::string mark = title.empty() ? "(2)" : " (2)";
    // A title at the most the set holds gives up its end for the mark.
    while (!m.fnSetPGTitle(pg, (title + mark).c_str()) && !title.empty()) {
        do {
            title.pop_back();
        } while (!title.empty() && (static_cast<unsigned char>(title.back()) & 0xC0) == 0x80);
        if (!title.empty() && (static_cast<unsigned char>(title.back()) & 0x80)) title.pop_back();
    }
    m.m_status.Clear();
}

// An entry point less than one VOBU before a cut in the middle of cell c
// would leave the first program a chapter of a few frames: it leaves the
// first part (`left`) and its record is returned, to begin the second
// program. Not the entry point at the start of the program.
std::vector<BYTE> Sliver(CVR_MANGR& m, const WorkCell& c, WorkCell& left, const CutPoint& cut, bool first) {
    Units units;
    if (!UnitsOf(m, Recording(c.ci), &units)) return {};
    __int64 from = cut.end;
    for (size_t k = 1; k <= units.Count(); ++k) {
        if (units.EndAt(k) == cut.end) from = units.EndAt(k - 1);
    }
    if (first) from = std::max(from, CellStart(c.ci) + 1);
    const std::vector<__int64> times = EntryTimes(left.ci);
    for (size_t i = times.size(); i > 0; --i) {
        if (times[i - 1] < from) break;
        CCI cell(&left.ci);
        const BYTE* record = cell.fnGet_iTH_M_C_EPI_Add(static_cast<WORD>(i - 1));
        std::vector<BYTE> copy(record, record + CI::kMovieEntrySize);
        cell.fnDEL_Movie_Entry_Point(static_cast<WORD>(i));
        return copy;
    }
    return {};
}

}  // namespace

int CVR_MANGR::fnDevide_Program(int pg, __int64 at, vrm::ProgramEdit* out) {
    if (!Editable(*this)) return 0;
    Edit e(*this);
    size_t p = 0;
    Timeline t;
    if (!CutProgram(*this, e, pg, &p, &t)) return 0;
    const __int64 length = t.at[t.count];
    if (at <= 0 || at >= length) {
        return fnFail(VRO_ERR_BAD_ARGUMENT,
                      "Program " + N(pg) + " cannot be divided at its start or end, nor outside it.",
                      vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    const size_t k = CellAt(t, at, false);
    CutPoint cut;
    __int64 play = 0;
    if (!SnapPlay(*this, e.before, t, k, at, &cut, &play))
        return fnFail(VRO_ERR_DAMAGED, "The recording has no time map.");
    if (play <= 0 || play >= length) {
        return fnFail(
            VRO_ERR_EDIT_REFUSED,
            "Program " + N(pg) + " has no point at which the video can be cut between its start and that time.",
            vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    Cells cells = e.before;
    const size_t index = t.first + k;
    const WorkCell& c = e.before[index];
    size_t second = index;  // the first cell of the second program
    std::vector<BYTE> carried;  // an entry point that moves to the cut
    if (cut.end > CellStart(c.ci) && cut.end < CellEnd(c.ci)) {
        cells[index] = Piece(c, CellStart(c.ci), cut.end, CellStart(c.ci));
        cells.insert(cells.begin() + static_cast<long>(index + 1), Piece(c, cut.start, CellEnd(c.ci), cut.start));
        second = index + 1;
        carried = Sliver(*this, c, cells[index], cut, index == t.first);
    } else if (cut.end == CellEnd(c.ci)) {
        second = index + 1;
    }
    // The second program begins with an entry point, as every program does.
    if (!EntryPointAtStart(cells[second].ci, carried.empty() ? nullptr : carried.data())) {
        return fnFail(VRO_ERR_EDIT_REFUSED, "The cell at that time holds the most entry points a cell can.");
    }
    cells[second].changed = true;
    Program two = e.programs[p];
    e.programs[p].cells = static_cast<WORD>(second - t.first);
    two.cells = static_cast<WORD>(t.first + t.count + (cells.size() - e.before.size()) - second);
    e.programs.insert(e.programs.begin() + static_cast<long>(p + 1), two);
    if (!Commit(e, cells, e.programs, out)) return 0;
    TitleSecond(*this, pg + 1);
    if (out) out->from = out->to = play;
    return 1;
}

int CVR_MANGR::fnErase_Program_Part(int pg, __int64 from, __int64 to, vrm::ProgramEdit* out) {
    if (!Editable(*this)) return 0;
    Edit e(*this);
    size_t p = 0;
    Timeline t;
    if (!CutProgram(*this, e, pg, &p, &t)) return 0;
    const __int64 length = t.at[t.count];
    to = std::min(to, length);
    if (from < 0 || from >= to) {
        return fnFail(VRO_ERR_BAD_ARGUMENT,
                      "The stretch to erase must begin before it ends, inside program " + N(pg) + ".",
                      vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    const size_t ka = CellAt(t, from, false), kb = CellAt(t, to, true);
    CutPoint a, b;
    __int64 playA = 0, playB = 0;
    if (!SnapPlay(*this, e.before, t, ka, from, &a, &playA) || !SnapPlay(*this, e.before, t, kb, to, &b, &playB)) {
        return fnFail(VRO_ERR_DAMAGED, "The recording has no time map.");
    }
    if (playA >= playB) {
        return fnFail(
            VRO_ERR_EDIT_REFUSED,
            "The stretch lies inside one unit of the video (about half a second), the least that can be erased.",
            vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    if (playA <= 0 && playB >= length) {
        return fnFail(VRO_ERR_EDIT_REFUSED,
                      "Erasing that stretch would leave program " + N(pg) + " empty: delete the program instead.",
                      vrm::Status::kItem, static_cast<uint64_t>(pg));
    }
    Cells cells(e.before.begin(), e.before.begin() + static_cast<long>(t.first));
    for (size_t k = 0; k < t.count; ++k) {
        const WorkCell& c = e.before[t.first + k];
        const __int64 s = CellStart(c.ci), end = CellEnd(c.ci);
        const __int64 cutFrom = k < ka ? end : k == ka ? a.end : s;  // where the erased part of this cell begins
        const __int64 cutTo = k > kb ? s : k == kb ? b.start : end;  // and ends
        if (cutFrom >= cutTo) {
            cells.push_back(c);
            continue;
        }
        if (cutFrom > s) cells.push_back(Piece(c, s, cutFrom, s));
        if (cutTo < end) cells.push_back(Piece(c, cutTo, end, cutFrom));
    }
    cells.insert(cells.end(), e.before.begin() + static_cast<long>(t.first + t.count), e.before.end());
    e.programs[p].cells = static_cast<WORD>(cells.size() - (e.before.size() - t.count));
    if (!Commit(e, cells, e.programs, out)) return 0;
    if (out) {
        out->from = playA;
        out->to = playB;
    }
    return 1;
}
