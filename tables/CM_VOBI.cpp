#include "tables/CM_VOBI.h"

#include <algorithm>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/codecs.h"
#include "io/units.h"
#include "platform/clock.h"
#include "stream/VR_MPEGFILE_INFO.h"

namespace {

// Positions in the movie stream are kept in 32 bits.
constexpr DWORD kSectorBytes = static_cast<DWORD>(vrm::kSectorBytes);

// A PTM: a 32-bit count of the 90 kHz clock and the remainder on the 27 MHz
// clock; the latest time it holds.
constexpr DWORD kPtmSize = 6;
constexpr __int64 kMaxPtmTicks = __int64{0xFFFFFFFF} * 300 + 299;

// The optional blocks that VOB_TY says are on disc, as one stretch of the
// in-memory record: SMLI and AGAPI, SMLI only, AGAPI only, or nothing.
struct OptionalStretch {
    DWORD offset;
    DWORD length;
};

OptionalStretch OptionalBlocks(WORD vobTy) {
    const bool smli = (vobTy & M_VOBI::kVobTySMLI) != 0;
    const bool agapi = (vobTy & M_VOBI::kVobTyAGAPI) != 0;
    if (smli && agapi) return {M_VOBI::kSMLI, SMLI::kSize + AGAPI::kSize};
    if (smli) return {M_VOBI::kSMLI, SMLI::kSize};
    if (agapi) return {M_VOBI::kAGAPI, AGAPI::kSize};
    return {M_VOBI::kSMLI, 0};
}

// Video fields (two per frame) from `base` to `t`, both 27 MHz counts, in
// whole frames truncated toward zero. The result is used as a 32-bit
// unsigned number, so a time before `base` becomes a huge count.
DWORD FieldsFrom(__int64 t, __int64 base, __int64 frame) {
    const __int64 diff = static_cast<__int64>(static_cast<uint64_t>(t) - static_cast<uint64_t>(base));
    return static_cast<DWORD>(static_cast<uint64_t>((diff / frame) * 2));
}

}  // namespace

CM_VOBI::CM_VOBI()
    : m_pM_VOBI(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_dwTMAPISize(0), m_dwStart(0), m_dwCursor(0) {}

CM_VOBI::CM_VOBI(M_VOBI* record)
    : m_pM_VOBI(record), m_pBuffer(nullptr), m_dwSize(0), m_dwTMAPISize(0), m_dwStart(0), m_dwCursor(0) {}

CM_VOBI::CM_VOBI(CBuffer* buffer, M_VOBI* record, DWORD start)
    : m_pM_VOBI(record), m_pBuffer(buffer), m_dwSize(0), m_dwTMAPISize(0), m_dwStart(start), m_dwCursor(0) {}

int CM_VOBI::fnSetZero() {
    if (!m_pM_VOBI) return 0;
    std::memset(m_pM_VOBI->bytes, 0, M_VOBI::kSize);
    m_pM_VOBI->pTMAPI.reset();
    return 1;
}

DWORD CM_VOBI::fndwDataSize() const {
    if (!m_pM_VOBI) return 0;
    const DWORD map = m_pM_VOBI->pTMAPI ? CTMAPI(m_pM_VOBI->pTMAPI.get()).fndwDataSize() : 0;
    return M_VOBI::kGeneralSize + OptionalBlocks(fnGet_wVOB_TY()).length + map;
}

DWORD CM_VOBI::fndwLoad_M_VOBI_From_File() {
    if (!m_pM_VOBI || !m_pBuffer) return 0;
    *m_pM_VOBI = M_VOBI{};
    m_dwTMAPISize = 0;
    m_dwSize = 0;
    m_dwCursor = m_dwStart;
    vrm::ByteReader& reader = m_pBuffer->Reader();
    DWORD mapSize = 0;
    if (reader.Bytes(m_dwCursor, m_pM_VOBI->bytes, M_VOBI::kGeneralSize)) {
        m_dwCursor += M_VOBI::kGeneralSize;  // inside the file, so no wrap
        const OptionalStretch blocks = OptionalBlocks(fnGet_wVOB_TY());
        if (reader.Bytes(m_dwCursor, m_pM_VOBI->bytes + blocks.offset, blocks.length)) {
            m_dwCursor += blocks.length;
            m_pM_VOBI->pTMAPI = std::make_unique<TMAPI>();
            mapSize = CTMAPI(m_pBuffer, m_pM_VOBI->pTMAPI.get(), m_dwCursor).fndwLoad_TMAPI_From_File();
        }
    }
    if (mapSize == 0) {  // a time map is at least its 10-byte header
        *m_pM_VOBI = M_VOBI{};
        return 0;
    }
    m_dwTMAPISize = mapSize;
    m_dwSize = m_dwCursor - m_dwStart + mapSize;
    return m_dwSize;
}

DWORD CM_VOBI::fnWrite(vrm::ByteWriter& w, uint64_t at) const {
    if (!m_pM_VOBI) return 0;
    w.Bytes(at, m_pM_VOBI->bytes, M_VOBI::kGeneralSize);
    DWORD length = M_VOBI::kGeneralSize;
    const OptionalStretch blocks = OptionalBlocks(fnGet_wVOB_TY());
    w.Bytes(at + length, m_pM_VOBI->bytes + blocks.offset, blocks.length);
    length += blocks.length;
    if (m_pM_VOBI->pTMAPI) length += CTMAPI(m_pM_VOBI->pTMAPI.get()).fnWrite(w, at + length);
    return length;
}

DWORD CM_VOBI::fnReadData(BYTE* out) const {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CM_VOBI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pM_VOBI) return;
    vrm::DumpRecord<M_VOBI_GI>(m_pM_VOBI->bytes, indent, out);
    const std::string inner = indent + "  ";
    if (fnbHasSMLI()) {
        out += indent + "SMLI\n";
        vrm::DumpRecord<SMLI>(Smli(), inner, out);
    }
    if (fnbHasAGAPI()) {
        out += indent + "AGAPI\n";
        vrm::DumpRecord<AGAPI>(Agapi(), inner, out);
    }
    if (m_pM_VOBI->pTMAPI) {
        out += indent + "TMAPI\n";
        CTMAPI(m_pM_VOBI->pTMAPI.get()).fnDump(out, inner);
    }
}

void CM_VOBI::fnFreeAllData() {
    if (m_pM_VOBI) m_pM_VOBI->pTMAPI.reset();
}

int CM_VOBI::fnADD_VOBI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded) {
    if (!m_pM_VOBI || !vrm::VOBUTableUsable(info)) return 0;
    fnSet_wVOB_TY(0);  // neither SMLI nor AGAPI
    const SYSTEMTIME now = vrm::GivenTimeOrNow(recorded);
    BYTE recTm[5];
    PackRecTm(&now, recTm);
    fnSet_c5_VOB_REC_TM(recTm, sizeof recTm);
    fnSet_c1_VOB_REC_TM_SUB(0);
    fnSet_c1_M_VOB_STIN(stin);
    BYTE ptm[6];
    PtmFrom27MHz(info->llVideoStartPTS, ptm);
    fnSet_c6_VOB_V_S_PTM(ptm, sizeof ptm);
    PtmFrom27MHz(info->llVideoEndPTS, ptm);
    fnSet_c6_VOB_V_E_PTM(ptm, sizeof ptm);
    std::memset(Smli(), 0, SMLI::kSize);
    std::memset(Agapi(), 0, AGAPI::kSize);

    m_pM_VOBI->pTMAPI = std::make_unique<TMAPI>();
    CTMAPI map(m_pM_VOBI->pTMAPI.get());
    map.fnADD_TMAPI(info);
    m_dwTMAPISize = map.fndwSize();
    return 1;
}

int CM_VOBI::fnTrim_VOBU(DWORD first, DWORD count, WORD system) {
    if (!m_pM_VOBI || !m_pM_VOBI->pTMAPI) return 0;
    // The map is trimmed aside and put in place once nothing can fail.
    TMAPI trimmed = *m_pM_VOBI->pTMAPI;
    if (!CTMAPI(&trimmed).fnTrim_VOBU_ENT(first, count, system)) return 0;
    const CTMAPI map(m_pM_VOBI->pTMAPI.get());
    const DWORD vobus = map.fnGet_wVOBU_ENT_Ns();
    uint64_t head = 0, tail = 0;  // fields dropped in front and behind
    for (DWORD i = 0; i < first; ++i) head += map.fnGet_bVOBU_PB_TM(i);
    for (DWORD i = first + count; i < vobus; ++i) tail += map.fnGet_bVOBU_PB_TM(i);
    const __int64 field = (system == 0 ? vrm::kTicksPerFrame525 : vrm::kTicksPerFrame625) / 2;
    const __int64 oldStart = fnGet_ll_VOB_V_S_PTS(), oldEnd = fnGet_ll_VOB_V_E_PTS();
    const __int64 start = oldStart + static_cast<__int64>(head) * field;
    const __int64 end = std::max(start, oldEnd - static_cast<__int64>(tail) * field);
    if (start > kMaxPtmTicks) return 0;
    // An audio stop time that is no longer inside the kept video.
    bool stopsBehind = false;
    if (first + count < vobus) {
        for (DWORD at = AGAPI::At::VOB_A_STP_PTM; at < AGAPI::At::VOB_A_GAP_LEN1; at += kPtmSize) {
            stopsBehind = stopsBehind || static_cast<__int64>(PtmTo27MHz(Agapi() + at)) >= end;
        }
    }

    *m_pM_VOBI->pTMAPI = std::move(trimmed);
    m_dwTMAPISize = CTMAPI(m_pM_VOBI->pTMAPI.get()).fndwDataSize();
    // Written only when changed: a loaded PTM need not be in the form the
    // encoder gives.
    BYTE ptm[kPtmSize];
    if (start != oldStart) {
        PtmFrom27MHz(start, ptm);
        fnSet_c6_VOB_V_S_PTM(ptm, kPtmSize);
    }
    if (end != oldEnd) {
        PtmFrom27MHz(end, ptm);
        fnSet_c6_VOB_V_E_PTM(ptm, kPtmSize);
    }
    if (first > 0) {
        fnDrop_SMLI();
        fnDrop_AGAPI();
    } else if (stopsBehind) {
        fnDrop_AGAPI();
    }
    return 1;
}

int CM_VOBI::fnDrop_SMLI() {
    if (!m_pM_VOBI) return 0;
    fnSet_wVOB_TY(static_cast<WORD>(fnGet_wVOB_TY() & ~M_VOBI::kVobTySMLI));
    std::memset(Smli(), 0, SMLI::kSize);
    return 1;
}

int CM_VOBI::fnDrop_AGAPI() {
    if (!m_pM_VOBI) return 0;
    fnSet_wVOB_TY(static_cast<WORD>(fnGet_wVOB_TY() & ~M_VOBI::kVobTyAGAPI));
    std::memset(Agapi(), 0, AGAPI::kSize);
    return 1;
}

__int64 CM_VOBI::fnGet_ll_VOB_V_S_PTS() const {
    return m_pM_VOBI ? static_cast<__int64>(PtmTo27MHz(Record() + M_VOBI_GI::At::VOB_V_S_PTM)) : 0;
}

__int64 CM_VOBI::fnGet_ll_VOB_V_E_PTS() const {
    return m_pM_VOBI ? static_cast<__int64>(PtmTo27MHz(Record() + M_VOBI_GI::At::VOB_V_E_PTM)) : 0;
}

DWORD CM_VOBI::fnGet_dwTotal_TMAPI_Size() const {
    if (!m_pM_VOBI || !m_pM_VOBI->pTMAPI) return 0;
    return CTMAPI(m_pM_VOBI->pTMAPI.get()).fnGet_dwTotal_VOBU_ENT_Size();
}

// Positions are byte offsets in the movie stream file (sectors × 2048, in
// 64 bits; the 32-bit form gives their low 32 bits), ADR_OFS being the VOB's
// first sector. `system` 0 is
// 525/60 (900900 ticks per frame), anything else 625/50 (1080000).
//
//  - start = end = 0: the whole VOB, skipFrames 0.
//  - Otherwise the end is clamped to the VOB's video end, both times become
//    field counts from the VOB's video start, and the VOBUs are walked in
//    playback order. The VOBU that holds the start field (a start on a VOBU
//    boundary is the later VOBU's first field) gives startPos, headSize (that VOBU and the next one, which a player
//    reads before it can show the start) and skipFrames (frames from the
//    VOBU's start to the start time; in the last VOBU, within 6 fields of
//    its end, 3 frames fewer, so that a few frames remain to show). The VOBU
//    that reaches the end field gives endPos, the byte behind it.
//  - An end behind the last VOBU gives the byte behind the VOB; when the
//    start was not reached either, the last VOBU stands for it.
//  - A start before the VOB's video start is never reached: startPos stays
//    kNoPosition (0xFFFFFFFF in the 32-bit form) unless the end also lies
//    behind the last VOBU.
// Fails (0, nothing written) without a record, for a null out pointer, for
// start > end, without a time map, and, apart from the whole-VOB case, for a
// time map without VOBU entries.
int CM_VOBI::fnGet_StartPosAndEndPos64(uint64_t* startPos, uint64_t* endPos, DWORD* headSize, DWORD* skipFrames,
                                       WORD system, __int64 start, __int64 end) const {
    if (!m_pM_VOBI || !startPos || !endPos || !headSize || !skipFrames) return 0;
    if (start > end || !m_pM_VOBI->pTMAPI) return 0;
    const CTMAPI map(m_pM_VOBI->pTMAPI.get());
    const uint64_t adrOfs = map.fnGet_dwADR_OFS();
    const uint64_t total = map.fnGet_dwTotal_VOBU_ENT_Size();
    DWORD n = 0;  // VOBU entries present in the array
    while (n < map.m_dwVOBU_ENT_Ns && map.fnGet_iTH_VOBU_ENT_Address(n)) ++n;

    if (start == 0 && end == 0) {
        *startPos = adrOfs * kSectorBytes;
        *endPos = (adrOfs + total) * kSectorBytes;
        *headSize = DWORD{map.fnGet_wVOBU_SZ(0)} * kSectorBytes;
        *skipFrames = 0;
        return 1;
    }
    if (n == 0) return 0;

    const __int64 frame = system == 0 ? vrm::kTicksPerFrame525 : vrm::kTicksPerFrame625;
    const __int64 vobStart = fnGet_ll_VOB_V_S_PTS();
    const __int64 vobEnd = fnGet_ll_VOB_V_E_PTS();
    if (end > vobEnd) end = vobEnd;
    const DWORD startF = FieldsFrom(start, vobStart, frame);
    const DWORD endF = FieldsFrom(end, vobStart, frame);

    *startPos = kNoPosition;
    *headSize = 0;
    *skipFrames = 0;
    bool startFound = false;
    bool endFound = false;
    DWORD acc = 0;  // fields up to the end of VOBU i
    uint64_t sec = 0;  // sectors before VOBU i
    for (DWORD i = 0; i < n; ++i) {
        const DWORD pbTm = map.fnGet_bVOBU_PB_TM(i);
        const DWORD size = map.fnGet_wVOBU_SZ(i);
        const bool last = i + 1 == n;
        acc += pbTm;
        // The VOBU holding the start field: a start on a VOBU boundary is
        // the next VOBU's first field, not behind the end of this one.
        if (!startFound && startF < acc) {
            startFound = true;
            *startPos = (adrOfs + sec) * kSectorBytes;
            *headSize = (size + (last ? 0 : map.fnGet_wVOBU_SZ(i + 1))) * kSectorBytes;
            const DWORD toEnd = acc - startF;  // fields from the start time to the VOBU's end
            DWORD skip = (pbTm - toEnd) / 2;
            // Backing off 3 frames stops at the VOBU's first frame.
            if (last && toEnd < 6) skip = skip >= 3 ? skip - 3 : 0;
            *skipFrames = skip;
        }
        if (endF <= acc) {
            *endPos = (adrOfs + sec + size) * kSectorBytes;
            endFound = true;
            break;
        }
        sec += size;
    }
    if (!endFound) {
        *endPos = (adrOfs + total) * kSectorBytes;
        if (!startFound) {
            const DWORD k = n - 1;
            const DWORD size = map.fnGet_wVOBU_SZ(k);
            const int fields = static_cast<int>(map.fnGet_bVOBU_PB_TM(k)) - 4;
            *startPos = *endPos - uint64_t{size} * kSectorBytes;
            *skipFrames = fields > 0 ? static_cast<DWORD>(fields / 2) : 0;
            *headSize = size * kSectorBytes;
        }
    }
    return 1;
}

int CM_VOBI::fnGet_StartPosAndEndPos(DWORD* startPos, DWORD* endPos, DWORD* headSize, DWORD* skipFrames, WORD system,
                                     __int64 start, __int64 end) const {
    if (!startPos || !endPos) return 0;
    uint64_t from = 0, to = 0;
    if (!fnGet_StartPosAndEndPos64(&from, &to, headSize, skipFrames, system, start, end)) return 0;
    // The 32-bit forms: the low 32 bits of each position.
    *startPos = from == kNoPosition ? 0xFFFFFFFFu : static_cast<DWORD>(from);
    *endPos = static_cast<DWORD>(to);
    return 1;
}
