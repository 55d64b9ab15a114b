#include "tables/CPGCI.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/PointedRecords.h"
#include "io/codecs.h"
#include "platform/clock.h"
#include "tables/CM_VOBI.h"
#include "tables/CS_VOGI.h"

CPGCI::CPGCI(BYTE, WORD)
    : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_cPG_Ns(0), m_wCI_SRP_Ns(0), m_dwStart(0) {}

CPGCI::CPGCI(PGCI* record)
    : m_pRecord(record), m_pBuffer(nullptr), m_dwSize(0), m_cPG_Ns(0), m_wCI_SRP_Ns(0), m_dwStart(0) {
    m_cPG_Ns = fnGet_c1_PG_Ns();
    m_wCI_SRP_Ns = fnGet_wCI_SRP_Ns();
}

CPGCI::CPGCI(CBuffer* buffer, PGCI* record, DWORD start)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_cPG_Ns(0), m_wCI_SRP_Ns(0), m_dwStart(start) {}

BYTE* CPGCI::Program(BYTE i) const { return m_pRecord ? vrm::EntryAt(m_pRecord->pgi, PGCI::kPGISize, i) : nullptr; }

BYTE* CPGCI::SearchPointer(WORD i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->ciSrp, PGCI::kSRPSize, i) : nullptr;
}

CI* CPGCI::Cell(DWORD i) const {
    if (!m_pRecord || i >= CellCount() || i >= m_pRecord->ci.size()) return nullptr;
    return &m_pRecord->ci[i];
}

int CPGCI::fnNew() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, sizeof m_pRecord->header);
    m_pRecord->pgi.clear();
    m_pRecord->ciSrp.clear();
    m_pRecord->ci.clear();
    m_cPG_Ns = 0;
    m_wCI_SRP_Ns = 0;
    m_dwSize = PGCI::kHeaderSize;
    return 1;
}

int CPGCI::fnSetZero() {
    if (!m_pRecord) return 0;
    fnNew();
    return 1;
}

DWORD CPGCI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    return vrm::PointedRecordsSize(PGCI::kHeaderSize + PGCI::kPGISize * fnGet_c1_PG_Ns(), CellCount(),
                                   CI::kMovieHeaderSize, m_pRecord->ci,
                                   [](const CI& cell) { return CCI(const_cast<CI*>(&cell)).fndwDataSize(); });
}

DWORD CPGCI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    w.Bytes(at, m_pRecord->header, PGCI::kHeaderSize);
    const DWORD programBytes = PGCI::kPGISize * fnGet_c1_PG_Ns();
    w.BytesOrZeros(at + PGCI::kHeaderSize, m_pRecord->pgi, programBytes);
    const WORD c = CellCount();
    m_cPG_Ns = fnGet_c1_PG_Ns();
    m_wCI_SRP_Ns = c;
    if (c) m_pRecord->ciSrp.resize(size_t{PGCI::kSRPSize} * c, 0);
    // Cells are addressed from the start of the chain; a cell the array
    // lacks is written as an empty movie cell.
    return vrm::WritePointedRecords(
        w, at, PGCI::kHeaderSize + programBytes, c, 0, CI::kMovieHeaderSize, m_pRecord->ciSrp, m_pRecord->ci,
        [](CI& cell, vrm::ByteWriter& to, uint64_t offset) { return CCI(&cell).fnWrite(to, offset); });
}

DWORD CPGCI::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CPGCI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<PGCI_HEADER>(m_pRecord->header, indent, out);
    const BYTE programs = fnGet_c1_PG_Ns();
    for (BYTE p = 0; p < programs; ++p) vrm::DumpEntry<PGI>("PGI", p + 1u, Program(p), indent, out);
    const WORD cells = CellCount();
    for (WORD c = 0; c < cells; ++c) vrm::DumpEntry<CI_SRP>("CI_SRP", c + 1u, SearchPointer(c), indent, out);
    for (WORD c = 0; c < cells; ++c) {
        vrm::DumpHeading("CI", c + 1u, indent, out);
        CI empty{};
        CI* cell = Cell(c);
        CCI(cell ? cell : &empty).fnDump(out, indent + "  ");
    }
}

DWORD CPGCI::fndwLoad_PGCI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    fnNew();
    m_dwSize = 0;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    if (!reader.Bytes(start, m_pRecord->header, PGCI::kHeaderSize)) return 0;
    m_cPG_Ns = fnGet_c1_PG_Ns();
    m_wCI_SRP_Ns = fnGet_wCI_SRP_Ns();
    uint64_t size = PGCI::kHeaderSize;
    const uint64_t programBytes = uint64_t{PGCI::kPGISize} * m_cPG_Ns;
    const BYTE* programs = reader.Span(start + size, programBytes);
    if (!programs) return 0;
    m_pRecord->pgi.assign(programs, programs + programBytes);
    size += programBytes;
    const uint64_t loaded = vrm::LoadPointedRecords(
        *m_pBuffer, start, size, m_wCI_SRP_Ns, start, CI::kStillHeaderSize, m_pRecord->ciSrp, m_pRecord->ci,
        [this](CI& cell, DWORD at) { return CCI(m_pBuffer, &cell, at).fndwLoad_CI_From_File(); });
    m_dwSize = static_cast<DWORD>(loaded);
    return m_dwSize;
}

void CPGCI::fnFreeAllData(int withRecord) {
    if (!m_pRecord) return;
    m_pRecord->pgi.clear();
    m_pRecord->ci.clear();
    m_pRecord->ciSrp.clear();
    if (withRecord) {
        delete m_pRecord;
        m_pRecord = nullptr;
    }
}

DWORD CPGCI::FirstCellOfProgram(DWORD pg) const {
    DWORD first = 0;
    for (DWORD p = 0; p + 1 < pg && p < 0xFF; ++p) first += fnGet_wC_Ns(static_cast<BYTE>(p));
    return first;
}

CI* CPGCI::InsertCell(WORD pos, WORD c) {
    std::vector<CI>& cells = m_pRecord->ci;
    cells.resize(c);
    cells.insert(cells.begin() + pos, CI{});
    m_pRecord->ciSrp.resize(size_t{PGCI::kSRPSize} * (c + 1u), 0);
    fnSet_wCI_SRP_Ns(static_cast<WORD>(c + 1));
    m_wCI_SRP_Ns = static_cast<WORD>(c + 1);
    return &cells[pos];
}

bool CPGCI::fnJoinsLastProgram(const SYSTEMTIME* recorded) {
    const BYTE p = fnGet_c1_PG_Ns();
    if (!m_pRecord || p == 0) return false;
    const SYSTEMTIME now = vrm::GivenTimeOrNow(recorded);
    BYTE* last = Program(static_cast<BYTE>(p - 1));
    return last && DateTextMatches(reinterpret_cast<const char*>(last + PGI::At::PRM_TXTI), &now, CI::kTextSize);
}

int CPGCI::AddProgramCell(M_VOBI* vobi, S_VOGI* vogi, WORD number, bool newProgram, const SYSTEMTIME* recorded) {
    if (!m_pRecord || (!vobi && !vogi)) return 0;
    const WORD c = CellCount();
    if (c >= kMaxCells) return 0;
    const BYTE p = fnGet_c1_PG_Ns();
    const bool joinLast = !newProgram && fnJoinsLastProgram(recorded);
    if (!joinLast && p >= kMaxPrograms) return 0;

    if (joinLast) {
        const BYTE last = static_cast<BYTE>(p - 1);
        fnSet_wC_Ns(last, static_cast<WORD>(fnGet_wC_Ns(last) + 1));
    } else {
        m_pRecord->pgi.resize(size_t{PGCI::kPGISize} * p);
        m_pRecord->pgi.resize(size_t{PGCI::kPGISize} * (p + 1u), 0);
        fnSet_c1_PG_Ns(static_cast<BYTE>(p + 1));
        m_cPG_Ns = static_cast<BYTE>(p + 1);
        if (vobi)
            fnSetNewMoviePGIData(p, vobi, number, recorded);
        else
            fnSetNewStillPicPGIData(p, vogi, number, recorded);
    }

    CCI cell(InsertCell(c, c));
    if (vobi) {
        cell.fnADD_Movie_CI(vobi, number);
        BYTE ptm[6];
        CM_VOBI(vobi).fnGet_c6_VOB_V_S_PTM(ptm);
        cell.fnADD_Movie_Entry_Point(0, ptm, nullptr);
    } else {
        cell.fnADD_Still_Pic_CI(vogi, number);
    }
    return 1;
}

int CPGCI::fnADD_Movie_Program(M_VOBI* vobi, WORD vobiNo, bool newProgram, const SYSTEMTIME* recorded) {
    if (!vobi) return 0;
    return AddProgramCell(vobi, nullptr, vobiNo, newProgram, recorded);
}

int CPGCI::fnADD_Still_Pic_Program(S_VOGI* vogi, WORD vogiNo, bool newProgram, const SYSTEMTIME* recorded) {
    if (!vogi) return 0;
    return AddProgramCell(nullptr, vogi, vogiNo, newProgram, recorded);
}

int CPGCI::FillNewProgram(BYTE pg, WORD cn, const BYTE pictPt[6], const SYSTEMTIME* recorded) {
    if (!Program(pg)) return 0;
    fnSet_c1_PG_TY(pg, 0);
    fnSet_wC_Ns(pg, 1);
    // The program's date label is its first recording's date.
    const SYSTEMTIME now = vrm::GivenTimeOrNow(recorded);
    char text[128] = {};
    FormatDateText(&now, text, 0);
    fnSet_c128_PRM_TXTI(pg, reinterpret_cast<const BYTE*>(text), sizeof text);
    fnSet_wIT_TXT_SRPN(pg, 0);
    fnSet_wCN(pg, cn);
    fnSet_c6_PICT_PT(pg, pictPt, 6);
    return 1;
}

int CPGCI::fnSetNewMoviePGIData(BYTE pg, M_VOBI* vobi, WORD cn, const SYSTEMTIME* recorded) {
    if (!vobi) return 0;
    BYTE ptm[6];
    CM_VOBI(vobi).fnGet_c6_VOB_V_S_PTM(ptm);
    return FillNewProgram(pg, cn, ptm, recorded);
}

int CPGCI::fnSetNewStillPicPGIData(BYTE pg, S_VOGI* vogi, WORD cn, const SYSTEMTIME* recorded) {
    if (!vogi) return 0;
    static const BYTE stillPicture[6] = {0x01, 0, 0, 0, 0, 0};
    return FillNewProgram(pg, cn, stillPicture, recorded);
}

DWORD CPGCI::fnAdd_C_EPI_To_First_Cell_of_Every_PG() {
    if (!m_pRecord) return 0;
    const BYTE p = fnGet_c1_PG_Ns();
    DWORD base = 0;
    for (DWORD pg = 1; pg <= p; ++pg) {
        BYTE type = 0;
        WORD srpn = 0;
        __int64 start = 0;
        if (!fnGetCellInfo(static_cast<BYTE>(pg), 1, &type, &srpn, &start, nullptr)) continue;
        if (CCI::fnGet_CI_TYPE(type) == CI::kMovie) {
            BYTE ptm[6];
            if (!PtmFrom27MHz(start, ptm)) return 0;
            if (!fnADD_Movie_Entry_Point(static_cast<WORD>(base + 1), 0, ptm, nullptr)) return 0;
        }
        base += fnGet_wC_Ns(static_cast<BYTE>(pg - 1));
    }
    return p;
}

int CPGCI::fnADD_UD_Movie_Cell(M_VOBI* vobi, WORD vobiNo, int pos) {
    if (!m_pRecord || !vobi) return 0;
    const WORD c = CellCount();
    if (pos == -1) pos = c;
    if (pos < 0 || pos > c || c >= kMaxCells) return 0;
    return CCI(InsertCell(static_cast<WORD>(pos), c)).fnADD_Movie_CI(vobi, vobiNo);
}

int CPGCI::fnADD_UD_Movie_Cell(const BYTE* startPtm, const BYTE* endPtm, WORD vobiNo, int pos) {
    if (!startPtm || !endPtm) return 0;
    M_VOBI span{};
    CM_VOBI vob(&span);
    vob.fnSet_c6_VOB_V_S_PTM(startPtm, 6);
    vob.fnSet_c6_VOB_V_E_PTM(endPtm, 6);
    return fnADD_UD_Movie_Cell(&span, vobiNo, pos);
}

int CPGCI::fnADD_UD_Still_Pic_Cell(S_VOGI* vogi, WORD vogiNo, int pos) {
    if (!m_pRecord || !vogi) return 0;
    const WORD c = CellCount();
    if (pos == -1) pos = c;
    if (pos < 0 || pos > c || c >= kMaxCells) return 0;
    return CCI(InsertCell(static_cast<WORD>(pos), c)).fnADD_Still_Pic_CI(vogi, vogiNo);
}

int CPGCI::fnADD_Movie_Entry_Point(WORD c, WORD pos, const BYTE* ptm, const BYTE* text) {
    if (c == 0) return 0;
    CI* cell = Cell(c - 1u);
    if (!cell) return 0;
    CCI accessor(cell);
    if (accessor.fnGet_CI_TYPE() != CI::kMovie) return 0;
    return accessor.fnADD_Movie_Entry_Point(pos, ptm, text);
}

int CPGCI::fnGetCellInfo(BYTE pg, WORD cell, BYTE* type, WORD* srpn, __int64* start, __int64* end) {
    if (pg == 0 || cell == 0 || cell > CellCount()) return 0;
    CI* record = Cell(FirstCellOfProgram(pg) + cell - 1);
    if (!record) return 0;
    CCI accessor(record);
    const BYTE cellType = accessor.fnGet_c1_C_TY();
    if (type) *type = cellType;
    if (srpn) *srpn = cellType ? accessor.fnGet_wS_VOGI_SRPN() : accessor.fnGet_wM_VOBI_SRPN();
    if (accessor.fnGet_CI_TYPE() == CI::kMovie) {
        if (start) *start = accessor.fnGet_ll_C_V_S_PTS();
        if (end) *end = accessor.fnGet_ll_C_V_E_PTS();
    }
    return 1;
}

WORD CPGCI::fnGetEntryPtNo(BYTE pg, WORD cell) {
    if (pg == 0 || cell == 0 || cell > CellCount()) return 0;
    CI* record = Cell(FirstCellOfProgram(pg) + cell - 1);
    return record ? CCI(record).fnGet_wC_EPI_Ns() : 0;
}

int CPGCI::fnTranslateAddress(int pg, int cell, WORD ep, WORD* cellIndex, WORD* epInCell) {
    if (!m_pRecord) return 0;
    const DWORD c = CellCount();
    WORD index = 0, number = ep;
    if (pg == -1 || cell == -1) {
        if (pg == -1 && cell != -1) return 0;
        const DWORD first = pg == -1 ? 0 : FirstCellOfProgram(static_cast<DWORD>(std::max(pg, 0)));
        DWORD total = 0;
        bool reached = false;
        for (DWORD i = first; i < c; ++i) {
            CI* record = Cell(i);
            const DWORD here = record ? CCI(record).fnGet_wC_EPI_Ns() : 0;
            if (total + here >= ep) {
                index = static_cast<WORD>(i);
                number = static_cast<WORD>(ep - total);
                reached = true;
                break;
            }
            total += here;
        }
        if (!reached) {
            index = 0;
            // A whole-chain walk that found no entry point at all names none.
            number = (pg == -1 && total == 0) ? 0 : ep;
        }
    } else {
        if (pg < 1 || cell < 1 || static_cast<DWORD>(cell) > c) return 0;
        // Cell k of program pg lies behind the cells of the programs before
        // it; a number that lands beyond the chain names no cell.
        const DWORD global = FirstCellOfProgram(static_cast<DWORD>(pg)) + static_cast<DWORD>(cell) - 1;
        if (global >= c) return 0;
        index = static_cast<WORD>(global);
        number = ep;
    }
    if (cellIndex) *cellIndex = index;
    if (epInCell) *epInCell = number;
    return 1;
}

int CPGCI::fnbHaveNextCell(WORD cell) {
    if (cell == 0) return 0;
    CI* record = Cell(cell - 1u);
    if (!record) return 0;
    CCI accessor(record);
    if (accessor.fnGet_CI_TYPE() != CI::kMovie) return 0;
    if (accessor.fnGet_wC_EPI_Ns() == 0) return 1;
    return accessor.fnGet_ll_EP_PTS(0) - accessor.fnGet_ll_C_V_S_PTS() < CCI::kContinuationGap ? 0 : 1;
}

int CPGCI::fnGetEntryPointInfo(int pg, int cell, WORD ep, BYTE* type, WORD* srpn, __int64* start, __int64* end,
                               BYTE* hasNext) {
    WORD index = 0, e = 0;
    if (!fnTranslateAddress(pg, cell, ep, &index, &e)) return 0;
    CI* record = Cell(index);
    if (!record) return 0;
    CCI x(record);
    const BYTE cellType = x.fnGet_c1_C_TY();
    if (type) *type = cellType;
    if (srpn) *srpn = cellType ? x.fnGet_wS_VOGI_SRPN() : x.fnGet_wM_VOBI_SRPN();
    const int number = index + 1;
    if (x.fnGet_CI_TYPE() != CI::kMovie) return number;
    const WORD n = x.fnGet_wC_EPI_Ns();
    if (e > n) return 0;
    const WORD next = static_cast<WORD>(index + 2);
    if (e == 0) {
        if (start) *start = x.fnGet_ll_C_V_S_PTS();
        if (end) {
            if (n > 0) {
                *end = x.fnGet_ll_EP_PTS(0);
                if (hasNext) *hasNext = 0;
            } else {
                *end = x.fnGet_ll_C_V_E_PTS();
                if (hasNext) *hasNext = static_cast<BYTE>(fnbHaveNextCell(next));
            }
        }
    } else if (e < n) {
        if (start) *start = x.fnGet_ll_EP_PTS(static_cast<WORD>(e - 1));
        if (end) *end = x.fnGet_ll_EP_PTS(e);
        if (hasNext) *hasNext = 0;
    } else {
        if (start) *start = x.fnGet_ll_EP_PTS(static_cast<WORD>(e - 1));
        if (end) {
            *end = x.fnGet_ll_C_V_E_PTS();
            if (hasNext) *hasNext = static_cast<BYTE>(fnbHaveNextCell(next));
        }
    }
    return number;
}

bool CPGCI::CellRange(int inRange, int* first, int* last) const {
    const int c = CellCount();
    if (!inRange) {
        *first = 1;
        *last = c;
        return true;
    }
    return *last <= c;
}

BYTE CPGCI::fnGetPGCI_TY(int inRange, int first, int last) {
    if (!CellRange(inRange, &first, &last)) return 0;
    int movies = 0, stills = 0;
    for (int i = std::max(first, 1); i <= last; ++i) {
        CI* record = Cell(static_cast<DWORD>(i - 1));
        if (!record) continue;
        if (CCI::fnGet_CI_TYPE(CCI(record).fnGet_c1_C_TY()))
            ++stills;
        else
            ++movies;
    }
    if (movies == 0) return 0x10;
    return stills ? 0x20 : 0;
}

BYTE CPGCI::fnGetPG_TY(BYTE pg) {
    if (pg == 0 || pg > fnGet_c1_PG_Ns()) return 0;
    const int first = static_cast<int>(FirstCellOfProgram(pg)) + 1;
    return fnGetPGCI_TY(1, first, first + fnGet_wC_Ns(static_cast<BYTE>(pg - 1)) - 1);
}

namespace {

// A still segment (entry point e of the cell, 0 the whole cell) lasts its
// pictures' still times.
DWORD StillMilliseconds(const CCI& cell, WORD e, BYTE stillTm) {
    BYTE first = 0, last = 0;
    const DWORD pictures = cell.fnGetStillPictures(e, &first, &last) ? DWORD{last} - first + 1 : 1;
    return pictures * stillTm * 1000u;
}

}  // namespace

DWORD CPGCI::Milliseconds(__int64 start, __int64 end) {
    return end > start ? static_cast<DWORD>((end - start) / 27000) : 0;
}

DWORD CPGCI::fnGetTotalCellDuration(BYTE stillTm, int inRange, int first, int last) {
    if (!CellRange(inRange, &first, &last) || (inRange && first > last)) return 0;
    DWORD total = 0;
    for (int i = std::max(first, 1); i <= last; ++i) {
        CI* record = Cell(static_cast<DWORD>(i - 1));
        if (!record) continue;
        CCI cell(record);
        if (cell.fnGet_CI_TYPE() == CI::kMovie)
            total += Milliseconds(cell.fnGet_ll_C_V_S_PTS(), cell.fnGet_ll_C_V_E_PTS());
        else
            total += StillMilliseconds(cell, 0, stillTm);
    }
    return total;
}

DWORD CPGCI::fnGetPGDuration(BYTE pg, BYTE stillTm) {
    if (pg == 0 || pg > fnGet_c1_PG_Ns()) return 0;
    const int first = static_cast<int>(FirstCellOfProgram(pg)) + 1;
    return fnGetTotalCellDuration(stillTm, 1, first, first + fnGet_wC_Ns(static_cast<BYTE>(pg - 1)) - 1);
}

DWORD CPGCI::fnGetTotalEntryPTDuration(BYTE stillTm, int inRange, int first, int last) {
    const int total = static_cast<int>(fnGetTotalEntryPointNs(0, 0, 0));
    if (!inRange) {
        first = 1;
        last = total;
    } else if (last > total || first > last) {
        return 0;
    }
    DWORD sum = 0;
    for (int n = std::max(first, 1); n <= last; ++n) {
        BYTE type = 0, hasNext = 0;
        WORD srpn = 0;
        __int64 start = 0, end = 0;
        int cell = fnGetEntryPointInfo(-1, -1, static_cast<WORD>(n), &type, &srpn, &start, &end, &hasNext);
        if (!cell) continue;
        if (CCI::fnGet_CI_TYPE(type)) {
            WORD index = 0, e = 0;
            CI* record = fnTranslateAddress(-1, -1, static_cast<WORD>(n), &index, &e) ? Cell(index) : nullptr;
            sum += record ? StillMilliseconds(CCI(record), e, stillTm) : stillTm * 1000u;
            continue;
        }
        sum += Milliseconds(start, end);
        // The segment runs on through the continuation cells that follow.
        while (hasNext) {
            hasNext = 0;
            cell = fnGetEntryPointInfo(1, cell + 1, 0, &type, &srpn, &start, &end, &hasNext);
            if (!cell) break;
            sum += Milliseconds(start, end);
        }
    }
    return sum;
}

DWORD CPGCI::fnGetTotalEntryPointNs(int inRange, int first, int last) {
    if (!CellRange(inRange, &first, &last)) return 0;
    DWORD total = 0;
    for (int i = std::max(first, 1); i <= last; ++i) {
        CI* record = Cell(static_cast<DWORD>(i - 1));
        if (record) total += CCI(record).fnGet_wC_EPI_Ns();
    }
    return total;
}

DWORD CPGCI::fnGetPGEntryPointNs(BYTE pg) {
    if (pg == 0 || pg > fnGet_c1_PG_Ns()) return 0;
    const int first = static_cast<int>(FirstCellOfProgram(pg)) + 1;
    return fnGetTotalEntryPointNs(1, first, first + fnGet_wC_Ns(static_cast<BYTE>(pg - 1)) - 1);
}
