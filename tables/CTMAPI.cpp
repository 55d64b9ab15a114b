#include "tables/CTMAPI.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "stream/VR_MPEGFILE_INFO.h"

namespace vrm {
bool VOBUTableUsable(const VR_MPEGFILE_INFO* info) {
    return info && (info->pVOBUTable || (info->dwVOBUNs & 0xFFFF) == 0);
}
}  // namespace vrm

CTMAPI::CTMAPI(WORD, WORD)
    : m_pTMAPI(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_dwTM_ENT_Ns(0), m_dwVOBU_ENT_Ns(0), m_dwStart(0) {}

CTMAPI::CTMAPI(TMAPI* record)
    : m_pTMAPI(record), m_pBuffer(nullptr), m_dwSize(0), m_dwTM_ENT_Ns(0), m_dwVOBU_ENT_Ns(0), m_dwStart(0) {
    m_dwTM_ENT_Ns = fnGet_wTM_ENT_Ns();
    m_dwVOBU_ENT_Ns = fnGet_wVOBU_ENT_Ns();
}

CTMAPI::CTMAPI(CBuffer* buffer, TMAPI* record, DWORD start)
    : m_pTMAPI(record), m_pBuffer(buffer), m_dwSize(0), m_dwTM_ENT_Ns(0), m_dwVOBU_ENT_Ns(0), m_dwStart(start) {}

BYTE* CTMAPI::fnGet_iTH_TM_ENT_Address(DWORD i) const {
    return m_pTMAPI ? vrm::EntryAt(m_pTMAPI->tmEntries, TMAPI::kTmEntSize, i) : nullptr;
}

BYTE* CTMAPI::fnGet_iTH_VOBU_ENT_Address(DWORD i) const {
    return m_pTMAPI ? vrm::EntryAt(m_pTMAPI->vobuEntries, TMAPI::kVobuEntSize, i) : nullptr;
}

vrm::VobuEntry CTMAPI::Vobu(DWORD i) const {
    const BYTE* entry = fnGet_iTH_VOBU_ENT_Address(i);
    return entry ? vrm::VobuEntry::Unpack(entry) : vrm::VobuEntry{};
}

int CTMAPI::fnSetZero() {
    if (!m_pTMAPI) return 0;
    std::memset(m_pTMAPI->header, 0, TMAPI::kHeaderSize);
    std::vector<BYTE>& tm = m_pTMAPI->tmEntries;
    std::vector<BYTE>& vobu = m_pTMAPI->vobuEntries;
    std::fill_n(tm.begin(), std::min<uint64_t>(uint64_t{m_dwTM_ENT_Ns} * TMAPI::kTmEntSize, tm.size()), BYTE{0});
    std::fill_n(vobu.begin(), std::min<uint64_t>(uint64_t{m_dwVOBU_ENT_Ns} * TMAPI::kVobuEntSize, vobu.size()),
                BYTE{0});
    return 1;
}

DWORD CTMAPI::fndwSize() {
    if (!m_pTMAPI) return 0;
    m_dwSize = TMAPI::kHeaderSize + TMAPI::kTmEntSize * m_dwTM_ENT_Ns + TMAPI::kVobuEntSize * m_dwVOBU_ENT_Ns;
    return m_dwSize;
}

DWORD CTMAPI::fndwDataSize() const {
    if (!m_pTMAPI) return 0;
    return TMAPI::kHeaderSize + TMAPI::kTmEntSize * DWORD{fnGet_wTM_ENT_Ns()} +
           TMAPI::kVobuEntSize * DWORD{fnGet_wVOBU_ENT_Ns()};
}

DWORD CTMAPI::fndwLoad_TMAPI_From_File() {
    if (!m_pTMAPI || !m_pBuffer) return 0;
    *m_pTMAPI = TMAPI{};
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    bool loaded = reader.Bytes(start, m_pTMAPI->header, TMAPI::kHeaderSize);
    if (loaded) {
        m_dwTM_ENT_Ns = fnGet_wTM_ENT_Ns();
        m_dwVOBU_ENT_Ns = fnGet_wVOBU_ENT_Ns();
        const uint64_t tmBytes = uint64_t{m_dwTM_ENT_Ns} * TMAPI::kTmEntSize;
        const uint64_t vobuBytes = uint64_t{m_dwVOBU_ENT_Ns} * TMAPI::kVobuEntSize;
        const uint64_t tmAt = start + TMAPI::kHeaderSize;
        // Both arrays are checked against the file before anything is
        // allocated for them.
        loaded = reader.Require(tmAt, tmBytes) && reader.Require(tmAt + tmBytes, vobuBytes);
        if (loaded) {
            m_pTMAPI->tmEntries.resize(tmBytes);
            m_pTMAPI->vobuEntries.resize(vobuBytes);
            reader.Bytes(tmAt, m_pTMAPI->tmEntries.data(), tmBytes);
            reader.Bytes(tmAt + tmBytes, m_pTMAPI->vobuEntries.data(), vobuBytes);
        }
    }
    if (!loaded) {
        *m_pTMAPI = TMAPI{};
        m_dwTM_ENT_Ns = m_dwVOBU_ENT_Ns = 0;
        return 0;
    }
    m_dwSize = fndwDataSize();
    return m_dwSize;
}

DWORD CTMAPI::fnWrite(vrm::ByteWriter& w, uint64_t at) const {
    if (!m_pTMAPI) return 0;
    w.Bytes(at, m_pTMAPI->header, TMAPI::kHeaderSize);
    // The counts come from the header: a time entry in the spare slot is not
    // written, and entries the arrays lack are written as zeros so that the
    // length always matches the header.
    const std::vector<BYTE>* arrays[2] = {&m_pTMAPI->tmEntries, &m_pTMAPI->vobuEntries};
    const uint64_t bytes[2] = {uint64_t{fnGet_wTM_ENT_Ns()} * TMAPI::kTmEntSize,
                               uint64_t{fnGet_wVOBU_ENT_Ns()} * TMAPI::kVobuEntSize};
    uint64_t pos = at + TMAPI::kHeaderSize;
    for (int k = 0; k < 2; ++k) {
        pos += w.BytesOrZeros(pos, *arrays[k], bytes[k]);
    }
    return fndwDataSize();
}

DWORD CTMAPI::fnReadData(BYTE* out) const {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CTMAPI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pTMAPI) return;
    vrm::DumpRecord<TMAPI_HEADER>(m_pTMAPI->header, indent, out);
    for (DWORD i = 0; i < fnGet_wTM_ENT_Ns() && fnGet_iTH_TM_ENT_Address(i); ++i) {
        out += indent + "TM_ENT " + std::to_string(i + 1) + "\n";
        vrm::DumpRecord<TM_ENT>(fnGet_iTH_TM_ENT_Address(i), indent + "  ", out);
    }
    for (DWORD i = 0; i < fnGet_wVOBU_ENT_Ns() && fnGet_iTH_VOBU_ENT_Address(i); ++i) {
        const vrm::VobuEntry e = Vobu(i);
        out += indent + "VOBU_ENT " + std::to_string(i + 1) + ": 1STREF_SZ = " + std::to_string(e.firstRefSize) +
               ", VOBU_PB_TM = " + std::to_string(e.playbackFields) + ", VOBU_SZ = " + std::to_string(e.sectors) + "\n";
    }
}

int CTMAPI::fnSet_c3_VOBU_Entry(DWORD i, BYTE firstRef, BYTE pbTm, WORD size) {
    BYTE* entry = fnGet_iTH_VOBU_ENT_Address(i);
    if (!entry) return 0;
    vrm::VobuEntry e;
    e.firstRefSize = firstRef;
    e.playbackFields = pbTm;
    e.sectors = size;
    e.Pack(entry);  // clamps both bit fields
    return 1;
}

DWORD CTMAPI::fnGet_dwTotal_VOBU_ENT_Size() const {
    DWORD total = 0;
    for (DWORD i = 0; i < m_dwVOBU_ENT_Ns; ++i) {
        if (!fnGet_iTH_VOBU_ENT_Address(i)) break;
        total += fnGet_wVOBU_SZ(i);
    }
    return total;
}

// Builds the map of a newly analysed recording:
//  - ADR_OFS is the VOB's start sector, which the movie table stored in
//    dwVOBStartAddr just before.
//  - Each VOBU gets an entry from the stream library's VOBU table; its size
//    is the distance to the next element's address (the table has one
//    closing element behind the last VOBU).
//  - The time entries follow from the frame count and the VOBUs' playback
//    times and addresses (MarkTimeEntries).
int CTMAPI::fnADD_TMAPI(const VR_MPEGFILE_INFO* info) {
    if (!m_pTMAPI || !info) return 0;
    const bool usable = vrm::VOBUTableUsable(info);
    const WORD vobuEntNs = usable ? static_cast<WORD>(info->dwVOBUNs & 0xFFFF) : 0;
    fnSet_wVOBU_ENT_Ns(vobuEntNs);
    fnSet_wTM_OFS(0);
    fnSet_dwADR_OFS(info->dwVOBStartAddr);
    m_pTMAPI->vobuEntries.assign(size_t{vobuEntNs} * TMAPI::kVobuEntSize, 0);
    m_dwVOBU_ENT_Ns = vobuEntNs;
    if (!usable) {
        fnSet_wTM_ENT_Ns(0);
        m_pTMAPI->tmEntries.clear();
        m_dwTM_ENT_Ns = 0;
        return 0;
    }
    std::vector<VobuTime> times(vobuEntNs);
    for (DWORD i = 0; i < vobuEntNs; ++i) {
        const VR_VOBU_ELEMENT& e = info->pVOBUTable[i];
        const VR_VOBU_ELEMENT& next = info->pVOBUTable[i + 1];
        const BYTE fields = static_cast<BYTE>(2u * e.bVOBUFrames);  // kept in 8 bits
        // A VOBU of more than 1023 sectors is stored as 1023 (the field's
        // maximum), whatever the distance's upper bits.
        const DWORD sectors = std::min<DWORD>(next.dwVOBUAddr - e.dwVOBUAddr, vrm::VobuEntry::kMaxSectors);
        fnSet_c3_VOBU_Entry(i, e.b1stRefSz, fields, static_cast<WORD>(sectors));
        times[i] = {fields, e.dwVOBUAddr};
    }
    MarkTimeEntries(info->dwFrameRate == 25000, info->dwFrameNs, times);
    return 1;
}

// The time entries of a VOB of `frames` video frames made of the given
// VOBUs:
//  - TM_ENT_Ns is ceil(frames × c) truncated to 16 bits, with c = 0.004 for
//    625/50 and the double nearest to 1/300 for 525/60. That constant lies
//    slightly above 1/300, so a 525/60 frame count that is a multiple of 300
//    can give one entry more than the quotient (2100 frames give 8); the
//    product is a double, rounded before the ceiling.
//  - A time entry marks the VOB's start and then every 10 seconds of
//    playback (500 fields at 625/50, 600 at 525/60): the VOBU that holds the
//    boundary, the fields from its start to the boundary, and its address.
//    At most one boundary is marked per VOBU.
// There is room for TM_ENT_Ns + 1 time entries (the last one spare, never
// saved). Playback times that add up to more than the frame count would give
// more boundaries than that; the surplus boundaries are dropped.
void CTMAPI::MarkTimeEntries(bool pal, DWORD frames, const std::vector<VobuTime>& vobus) {
    const double perFrame = pal ? 0.004 : 0.0033333333333333335;
    const double product = static_cast<double>(frames) * perFrame;
    const WORD tmEntNs = static_cast<WORD>(static_cast<uint64_t>(std::ceil(product)) & 0xFFFF);
    fnSet_wTM_ENT_Ns(tmEntNs);
    m_pTMAPI->tmEntries.assign((size_t{tmEntNs} + 1) * TMAPI::kTmEntSize, 0);
    m_dwTM_ENT_Ns = tmEntNs;

    const DWORD unit = pal ? 500 : 600;  // 10 seconds in video fields
    const DWORD slots = DWORD{tmEntNs} + 1;
    DWORD acc = 0;
    DWORD t = 0;
    auto mark = [&](DWORD vobuEntn, BYTE tmDiff, DWORD vobuAdr) {
        if (t >= slots) return;  // a surplus boundary: dropped
        fnSet_wVOBU_ENTN(t, static_cast<WORD>(vobuEntn));
        fnSet_c1_TM_DIFF(t, tmDiff);
        fnSet_dwVOBU_ADR(t, vobuAdr);
        ++t;
    };
    for (DWORD i = 0; i < vobus.size(); ++i) {
        const BYTE fields = vobus[i].fields;
        acc += fields;
        if (i == 0) mark(1, 0, 0);  // the VOB's start
        if ((acc & 0xFFFF) >= unit) {
            mark(i + 1, static_cast<BYTE>(fields + unit - acc), vobus[i].address);
            acc -= unit;
        }
    }
}

// The kept VOBUs lie from the first one's start: ADR_OFS moves forward by
// the dropped VOBUs in front, and each kept VOBU's address counts from the
// new start. The frame count is half the kept fields, rounded up, so that
// every 10-second boundary of the kept playback has its entry.
int CTMAPI::fnTrim_VOBU_ENT(DWORD first, DWORD count, WORD system) {
    if (!m_pTMAPI || count == 0) return 0;
    const DWORD held =
        std::min<DWORD>(fnGet_wVOBU_ENT_Ns(), static_cast<DWORD>(m_pTMAPI->vobuEntries.size() / TMAPI::kVobuEntSize));
    if (first >= held || count > held - first) return 0;
    DWORD head = 0;  // sectors in front of the first kept VOBU
    for (DWORD i = 0; i < first; ++i) head += fnGet_wVOBU_SZ(i);
    std::vector<VobuTime> times(count);
    DWORD address = 0;
    uint64_t fields = 0;
    for (DWORD i = 0; i < count; ++i) {
        times[i] = {fnGet_bVOBU_PB_TM(first + i), address};
        address += fnGet_wVOBU_SZ(first + i);
        fields += times[i].fields;
    }
    std::vector<BYTE>& vobu = m_pTMAPI->vobuEntries;
    const auto kept = vobu.begin() + static_cast<std::ptrdiff_t>(size_t{first} * TMAPI::kVobuEntSize);
    std::vector<BYTE>(kept, kept + static_cast<std::ptrdiff_t>(size_t{count} * TMAPI::kVobuEntSize)).swap(vobu);
    fnSet_wVOBU_ENT_Ns(static_cast<WORD>(count));
    m_dwVOBU_ENT_Ns = count;
    fnSet_wTM_OFS(0);
    fnSet_dwADR_OFS(fnGet_dwADR_OFS() + head);
    MarkTimeEntries(system != 0, static_cast<DWORD>((fields + 1) / 2), times);
    return 1;
}
