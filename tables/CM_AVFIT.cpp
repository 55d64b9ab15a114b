#include "tables/CM_AVFIT.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/be.h"
#include "io/units.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "tables/attributes.h"
#include "tables/seg.h"

namespace {

// base + frames × frame, or false when that does not fit a signed 64-bit
// count.
bool AddFrames(__int64 base, DWORD frames, __int64 frame, __int64* out) {
    const __int64 ticks = static_cast<__int64>(frames) * frame;  // below 2^53
    if (base > std::numeric_limits<__int64>::max() - ticks) return false;
    *out = base + ticks;
    return true;
}

}  // namespace

CM_AVFIT::CM_AVFIT(BYTE) : m_pM_AVFIT(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_bM_VOB_STI_Ns(0), m_dwStart(0) {}

CM_AVFIT::CM_AVFIT(M_AVFIT* record)
    : m_pM_AVFIT(record), m_pBuffer(nullptr), m_dwSize(0), m_bM_VOB_STI_Ns(0), m_dwStart(0) {
    m_bM_VOB_STI_Ns = fnGet_c1_M_VOB_STI_Ns();
}

CM_AVFIT::CM_AVFIT(CBuffer* buffer, M_AVFIT* record, DWORD start)
    : m_pM_AVFIT(record), m_pBuffer(buffer), m_dwSize(0), m_bM_VOB_STI_Ns(0), m_dwStart(start) {}

BYTE* CM_AVFIT::fnGet_iTH_M_VOB_STI_Address(WORD i) const {
    return m_pM_AVFIT ? vrm::EntryAt(m_pM_AVFIT->sti, M_AVFIT::kStiSize, i) : nullptr;
}

int CM_AVFIT::fnSetZero() {
    if (!m_pM_AVFIT) return 0;
    *m_pM_AVFIT = M_AVFIT{};
    return 1;
}

int CM_AVFIT::fnNew() {
    if (!m_pM_AVFIT) return 0;
    fnSet_c1_M_AVFI_Ns(0);
    fnSet_c1_M_VOB_STI_Ns(0);
    fnSet_dw_M_AVFIT_EA(M_AVFIT::kHeaderSize - 1);
    m_dwSize = M_AVFIT::kHeaderSize;
    return 1;
}

DWORD CM_AVFIT::fndwDataSize() const {
    if (!m_pM_AVFIT) return 0;
    // Written as the loader reads it: without recordings the header alone,
    // else the attribute records and M_AVFI (empty when there is none).
    if (fnGet_c1_M_AVFI_Ns() == 0) return M_AVFIT::kHeaderSize;
    const DWORD avfiAt = M_AVFIT::kHeaderSize + M_AVFIT::kStiSize * DWORD{fnGet_c1_M_VOB_STI_Ns()};
    M_AVFI* avfi = m_pM_AVFIT->pM_AVFI.get();
    return avfiAt + (avfi ? CM_AVFI(avfi, avfiAt).fndwDataSize() : M_AVFI::kHeaderSize);
}

DWORD CM_AVFIT::fndwLoad_M_AVFIT_From_File() {
    if (!m_pM_AVFIT || !m_pBuffer) return 0;
    *m_pM_AVFIT = M_AVFIT{};
    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    if (!reader.Bytes(start, m_pM_AVFIT->header, M_AVFIT::kHeaderSize)) return 0;
    if (fnGet_c1_M_AVFI_Ns() == 0) return 0;  // no recordings: nothing else to read

    const BYTE n = fnGet_c1_M_VOB_STI_Ns();
    m_bM_VOB_STI_Ns = n;
    const uint64_t stiBytes = uint64_t{n} * M_AVFIT::kStiSize;
    const uint64_t avfiAt = start + M_AVFIT::kHeaderSize + stiBytes;
    DWORD avfiSize = 0;
    if (reader.Require(start + M_AVFIT::kHeaderSize, stiBytes)) {
        m_pM_AVFIT->sti.resize(stiBytes + M_AVFIT::kStiSize);  // with the spare slot
        reader.Bytes(start + M_AVFIT::kHeaderSize, m_pM_AVFIT->sti.data(), stiBytes);
        // avfiAt is inside the file, whose size fits 32 bits.
        m_pM_AVFIT->pM_AVFI = std::make_unique<M_AVFI>();
        avfiSize = CM_AVFI(m_pBuffer, m_pM_AVFIT->pM_AVFI.get(), static_cast<DWORD>(avfiAt), m_dwStart)
                       .fndwLoad_M_AVFI_From_File();
    }
    if (avfiSize == 0) {  // M_AVFI is at least its 2-byte header
        *m_pM_AVFIT = M_AVFIT{};
        return 0;
    }
    m_dwSize = static_cast<DWORD>(M_AVFIT::kHeaderSize + stiBytes + avfiSize);
    return m_dwSize;
}

DWORD CM_AVFIT::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pM_AVFIT) return 0;
    DWORD length = M_AVFIT::kHeaderSize;
    // The loader reads the attribute records and M_AVFI only when
    // M_AVFI_Ns says recordings exist; they are written under the same rule,
    // so that every table written loads back as it was.
    if (fnGet_c1_M_AVFI_Ns() != 0) {
        // Records the array lacks (a count raised by hand) are written as
        // zeros, so the length always matches the count.
        length += static_cast<DWORD>(
            w.BytesOrZeros(at + length, m_pM_AVFIT->sti, DWORD{fnGet_c1_M_VOB_STI_Ns()} * M_AVFIT::kStiSize));
        const DWORD avfiAt = length;
        if (M_AVFI* avfi = m_pM_AVFIT->pM_AVFI.get()) {
            length += CM_AVFI(avfi, avfiAt).fnWrite(w, at + avfiAt);
        } else {
            w.Fill(at + avfiAt, 0, M_AVFI::kHeaderSize);  // no VOB
            length += M_AVFI::kHeaderSize;
        }
    }
    fnSet_dw_M_AVFIT_EA(length - 1);
    w.Bytes(at, m_pM_AVFIT->header, M_AVFIT::kHeaderSize);
    return length;
}

DWORD CM_AVFIT::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CM_AVFIT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pM_AVFIT) return;
    vrm::DumpRecord<M_AVFIT_HEADER>(m_pM_AVFIT->header, indent, out);
    const std::string inner = indent + "  ";
    for (WORD i = 0; i < fnGet_c1_M_VOB_STI_Ns() && fnGet_iTH_M_VOB_STI_Address(i); ++i) {
        out += indent + "M_VOB_STI " + std::to_string(i + 1) + "\n";
        vrm::DumpRecord<M_VOB_STI>(fnGet_iTH_M_VOB_STI_Address(i), inner, out);
    }
    if (M_AVFI* avfi = m_pM_AVFIT->pM_AVFI.get()) {
        out += indent + "M_AVFI\n";
        CM_AVFI(avfi, 0).fnDump(out, inner);
    }
}

void CM_AVFIT::fnFreeAllData() {
    if (!m_pM_AVFIT) return;
    if (m_pM_AVFIT->pM_AVFI) {
        CM_AVFI(m_pM_AVFIT->pM_AVFI.get(), 0).fnFreeAllData();
        m_pM_AVFIT->pM_AVFI.reset();
    }
    delete m_pM_AVFIT;
    m_pM_AVFIT = nullptr;
}

int CM_AVFIT::fnADD_Program(VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded, const DWORD* at) {
    if (!m_pM_AVFIT || !vrm::VOBUTableUsable(info)) return 0;
    std::unique_ptr<M_AVFI>& avfi = m_pM_AVFIT->pM_AVFI;
    const bool first = fnGet_c1_M_AVFI_Ns() == 0;
    // Refuse before anything changes when M_AVFI cannot count one more VOB.
    if (!first && avfi && CM_AVFI(avfi.get(), 0).fnGet_wM_VOBI_SRP_Ns() >= CM_AVFI::kMaxVOBs) return 0;
    const bool madeAvfi = !avfi;
    if (madeAvfi) avfi = std::make_unique<M_AVFI>();
    const BYTE stin = fnADD_M_VOB_STI(info);
    if (stin == 0) {
        if (madeAvfi) avfi.reset();
        return 0;
    }
    CM_AVFI table(avfi.get(), M_AVFIT::kHeaderSize + M_AVFIT::kStiSize * DWORD{fnGet_c1_M_VOB_STI_Ns()});
    if (first) {
        table.fnNew();
        info->dwVOBStartAddr = 0;
    } else {
        // Behind the highest VOB end: VOBs need not lie back to back, and a
        // new one must never land inside an earlier one.
        info->dwVOBStartAddr = table.fnGet_dwRecordedEnd();
    }
    if (at) info->dwVOBStartAddr = *at;
    table.fnADD_VOB(stin, info, recorded);  // cannot fail after the checks above
    return 1;
}

BYTE CM_AVFIT::fnADD_M_VOB_STI(const VR_MPEGFILE_INFO* info) {
    if (!m_pM_AVFIT || !info) return 0;
    std::vector<BYTE>& sti = m_pM_AVFIT->sti;
    if (fnGet_c1_M_AVFI_Ns() == 0) {
        sti.assign(2 * M_AVFIT::kStiSize, 0);  // the first record and the spare slot
        fnSet_M_VOB_STI_Data(0, info);
        fnSet_c1_M_AVFI_Ns(1);
        fnSet_c1_M_VOB_STI_Ns(1);
        return 1;
    }
    const BYTE n = fnGet_c1_M_VOB_STI_Ns();
    if (sti.size() < (size_t{n} + 1) * M_AVFIT::kStiSize) sti.resize((size_t{n} + 1) * M_AVFIT::kStiSize, 0);
    const BYTE same = fnFindSameM_VOB_STI(n, info);
    if (same != 0) return same;
    // The spare slot n now holds the new attributes; it becomes record n
    // unless that index is beyond what the getters answer.
    if (n > kMaxSTIIndex) return 0;
    sti.resize((size_t{n} + 2) * M_AVFIT::kStiSize, 0);
    fnSet_c1_M_AVFI_Ns(1);
    fnSet_c1_M_VOB_STI_Ns(static_cast<BYTE>(n + 1));
    return static_cast<BYTE>(n + 1);
}

BYTE CM_AVFIT::fnFindSameM_VOB_STI(BYTE n, const VR_MPEGFILE_INFO* info) {
    if (!fnSet_M_VOB_STI_Data(n, info)) return 0;
    const BYTE* candidate = fnGet_iTH_M_VOB_STI_Address(n);
    for (BYTE i = 0; i < n; ++i) {
        if (std::memcmp(fnGet_iTH_M_VOB_STI_Address(i), candidate, M_AVFIT::kStiSize) == 0) {
            return static_cast<BYTE>(i + 1);
        }
    }
    return 0;
}

int CM_AVFIT::fnSet_M_VOB_STI_Data(BYTE index, const VR_MPEGFILE_INFO* info) {
    BYTE* slot = fnGet_iTH_M_VOB_STI_Address(index);
    if (!slot || !info) return 0;
    // AST_Ns 1, SPST_Ns 0, A_ATR1 and the sub-picture palette zero. A
    // recording without audio has no audio stream to describe: AST_Ns 0 and
    // A_ATR0 zero (its coding bits would otherwise claim an AC-3 stream).
    std::memset(slot, 0, M_AVFIT::kStiSize);
    // Written through the slot: the spare slot may lie beyond the index the
    // field accessors answer.
    vrm::SetField<WORD>(slot, M_VOB_STI::At::V_ATR, vrm::VideoAttributes::Of(*info).Pack());
    const bool audio = info->dwSampleRate != 0 || info->dwAudioBitrate != 0;
    vrm::SetField<BYTE>(slot, M_VOB_STI::At::AST_Ns, audio ? 1 : 0);
    if (audio) vrm::be_store_n(slot + M_VOB_STI::At::A_ATR0, 3, vrm::AudioAttributes::Of(*info).Pack());
    return 1;
}

int CM_AVFIT::fnGet_CellInfoFromM_VOB_STI(BYTE stin, seg* s) const {
    if (!s || stin == 0 || !Sti(static_cast<WORD>(stin - 1))) return 0;
    const WORD i = static_cast<WORD>(stin - 1);
    const vrm::VideoAttributes video = vrm::VideoAttributes::Unpack(fnGet_wV_ATR(i));
    s->dwMpegVersion = video.compression == 0 ? 0 : 2;
    s->dwFrameRate = video.FrameRate();
    DWORD width = 0, height = 0;
    if (video.PictureSize(&width, &height)) {  // codes 6 and 7 are undefined: left as they were
        s->dwWidth = width;
        s->dwHeight = height;
    }
    s->dwWide = video.Wide() ? 1 : 0;
    s->dwAST_Ns = fnGet_c1_AST_Ns(i);
    s->dwSPST_Ns = fnGet_c1_SPST_Ns(i);

    BYTE a[3];
    fnGet_c3_A_ATR0(i, a);
    const vrm::AudioAttributes audio = vrm::AudioAttributes::Unpack(static_cast<DWORD>(vrm::be_load_n(a, sizeof a)));
    s->dwAudioCoding = audio.coding;
    s->dwAudioLayer = audio.coding == vrm::AudioAttributes::kMPEG1 ? 2 : 0;
    s->dwSampleRate = 48000;
    s->dwChannels = audio.ChannelCount();
    s->dwAudioMode = audio.AudioMode();
    // Codes above the table (only in a loaded table) decode as 0 kbit/s.
    s->dwAudioBitrate = audio.BitrateKbps();
    return 1;
}

// Reports VOB vobi's stream attributes and, for the time range, its frame
// count, duration in milliseconds, audio samples and stream-file positions.
// A frame window narrows the range to [start + firstFrame frames,
// start + lastFrame frames) when it lies inside it (firstFrame counts only
// when 0 < firstFrame < lastFrame; lastFrame 0 keeps the range's end).
// When the position lookup fails (a start behind the end, a VOB without a
// time map or without VOBU entries) the positions, head size and skipped
// frames are reported as 0; the other fields stay valid and the result is 1.
int CM_AVFIT::fnGet_iTH_VOBI_Info(WORD vobi, seg* s, __int64 start, __int64 end, DWORD firstFrame,
                                  DWORD lastFrame) const {
    if (!m_pM_AVFIT || !m_pM_AVFIT->pM_AVFI || !s) return 0;
    const CM_AVFI avfi(m_pM_AVFIT->pM_AVFI.get(), 0);
    const BYTE stin = avfi.fnGet_iTH_VOBI_M_VOB_STIN(vobi);
    if (stin == 0 || !fnGet_CellInfoFromM_VOB_STI(stin, s)) return 0;
    s->dwSRPN = vobi;
    s->dwCellType = 0;

    const __int64 frame = s->dwFrameRate == 29970 ? vrm::kTicksPerFrame525 : vrm::kTicksPerFrame625;
    __int64 windowStart = start;
    __int64 windowEnd = end;
    bool fits = true;
    if (firstFrame > 0 && firstFrame < lastFrame) fits = AddFrames(start, firstFrame, frame, &windowStart);
    if (fits && lastFrame > 0) fits = AddFrames(start, lastFrame, frame, &windowEnd);
    if (fits && windowStart < windowEnd && windowEnd <= end) {
        start = windowStart;
        end = windowEnd;
    }

    const uint64_t ticks = end > start ? static_cast<uint64_t>(end) - static_cast<uint64_t>(start) : 0;
    s->dwFrameNs = static_cast<DWORD>(ticks / static_cast<uint64_t>(frame));
    s->dwVideoFrames = s->dwFrameNs;
    s->dwDuration = static_cast<DWORD>(ticks / 27000 + (ticks % 27000 >= 13500 ? 1 : 0));  // ms, half up
    // The samples of the duration at the sampling rate, rounded half up.
    s->dwAudioSamples =
        static_cast<DWORD>(std::min<uint64_t>((uint64_t{s->dwSampleRate} * s->dwDuration + 500) / 1000, 0xFFFFFFFFu));

    uint64_t startPos = 0, endPos = 0;
    DWORD headSize = 0, skipFrames = 0;
    // The TV system as V_ATR carries it: 0 for 525/60.
    vrm::VideoAttributes tv;
    tv.tvSystem = s->dwFrameRate != 29970 ? vrm::VideoAttributes::k625 : 0;
    const WORD system = tv.Pack();
    M_VOBI* vob = avfi.fnGet_iTH_VOBI(vobi);
    if (!vob ||
        !CM_VOBI(vob).fnGet_StartPosAndEndPos64(&startPos, &endPos, &headSize, &skipFrames, system, start, end)) {
        startPos = endPos = headSize = skipFrames = 0;
    }
    // Positions in 64 bits; a start the time map does not reach stays
    // 0xFFFFFFFF, as in the 32-bit form.
    s->llStartPos = startPos == CM_VOBI::kNoPosition ? 0xFFFFFFFF : static_cast<__int64>(startPos);
    s->llEndPos = static_cast<__int64>(endPos);
    s->dwHeadSize = headSize;
    s->dwSkipFrames = skipFrames;
    return 1;
}

int CM_AVFIT::fnGet_iTH_VOBI_REC_TM(WORD vobi, BYTE* out5) const {
    if (!m_pM_AVFIT || !m_pM_AVFIT->pM_AVFI) return 0;
    return CM_AVFI(m_pM_AVFIT->pM_AVFI.get(), 0).fnGet_iTH_VOBI_REC_TM(vobi, out5);
}

DWORD CM_AVFIT::fnGet_dwTotalVOBISize() const {
    if (!m_pM_AVFIT || !m_pM_AVFIT->pM_AVFI) return 0;
    return CM_AVFI(m_pM_AVFIT->pM_AVFI.get(), 0).fnGet_dwTotalVOBISize();
}

DWORD CM_AVFIT::fnGet_dwRecordedEnd() const {
    if (!m_pM_AVFIT || !m_pM_AVFIT->pM_AVFI) return 0;
    return CM_AVFI(m_pM_AVFIT->pM_AVFI.get(), 0).fnGet_dwRecordedEnd();
}
