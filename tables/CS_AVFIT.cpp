#include "tables/CS_AVFIT.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "io/CBuffer.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "tables/seg.h"

namespace {

// Copies `count` records of `size` bytes from `records` to out, writing
// zeros for records the array does not hold; returns the bytes written.
DWORD CopyRecords(BYTE* out, const std::vector<BYTE>& records, DWORD count, DWORD size) {
    const size_t body = size_t{size} * count;
    const size_t have = std::min(body, records.size());
    if (have) std::memcpy(out, records.data(), have);
    std::memset(out + have, 0, body - have);
    return static_cast<DWORD>(body);
}

// V_ATR resolution bits (code x 8) of a picture width and height: 720, 704,
// 352 full height, 352 half height, 544 and 480 pixels wide. Anything else
// is taken as half-height 352.
WORD ResolutionBits(DWORD width, DWORD height) {
    switch (width) {
        case 720: return 0x00;
        case 704: return 0x08;
        case 544: return 0x20;
        case 480: return 0x28;
        case 352: return height == 480 || height == 576 ? 0x10 : 0x18;
        default: return 0x18;
    }
}

// OA_ATR of the original audio: coding mode in bits 15..13, 11 in bits 7..6
// for AC-3, the channel code in bits 3..0 (MPEG-1 audio and linear PCM
// only). Worked on the 24-bit value the stream library reports, then
// shifted down a byte.
WORD AudioAttributes(const VR_MPEGFILE_INFO& info) {
    if (info.dwSampleRate == 0 || info.dwAudioBitrate == 0) return 0;
    DWORD v = 0;
    switch (info.dwAudioCodingBits) {
        case 0: v = 0x00C000; break;
        case 0x400000:
        case 0x600000:
        case 0x800000: v = info.dwAudioCodingBits; break;
        default: v = 0; break;
    }
    if (info.dwAudioCodingBits == 0x400000 || info.dwAudioCodingBits == 0x800000) {
        if (info.dwAudioMode <= 1) {
            v += 0x100;  // stereo, joint stereo: 2 channels
        } else if (info.dwAudioMode == 2) {
            v += 0x900;  // dual channel
        }
    }
    return static_cast<WORD>(v >> 8);
}

}  // namespace

CS_AVFIT::CS_AVFIT(BYTE, BYTE)
    : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_cS_VOB_STI_Ns(0), m_cS_AA_STI_Ns(0), m_dwStart(0) {}

CS_AVFIT::CS_AVFIT(S_AVFIT* record)
    : m_pRecord(record),
      m_pBuffer(nullptr),
      m_dwSize(0),
      m_cS_VOB_STI_Ns(fnGet_c1_S_VOB_STI_Ns()),
      m_cS_AA_STI_Ns(fnGet_c1_S_AA_STI_Ns()),
      m_dwStart(0) {}

CS_AVFIT::CS_AVFIT(CBuffer* buffer, S_AVFIT* record, DWORD start)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_cS_VOB_STI_Ns(0), m_cS_AA_STI_Ns(0), m_dwStart(start) {}

BYTE* CS_AVFIT::StiSlot(BYTE i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->sti, S_AVFIT::kStiSize, i) : nullptr;
}

BYTE* CS_AVFIT::AaStiSlot(BYTE i) const {
    return m_pRecord ? vrm::EntryAt(m_pRecord->aaSti, S_AVFIT::kAaStiSize, i) : nullptr;
}

void CS_AVFIT::ReleaseSubRecords() {
    std::vector<BYTE>().swap(m_pRecord->sti);
    std::vector<BYTE>().swap(m_pRecord->aaSti);
    if (m_pRecord->pS_AVFI) CS_AVFI(m_pRecord->pS_AVFI.get(), 0).fnFreeAllData();
    m_pRecord->pS_AVFI.reset();
    if (m_pRecord->pS_AAFI) CS_AAFI(m_pRecord->pS_AAFI.get(), 0).fnFreeAllData();
    m_pRecord->pS_AAFI.reset();
}

int CS_AVFIT::fnNew() {
    if (!m_pRecord) return 0;
    fnSet_c1_S_AVFI_Ns(0);
    fnSet_c1_S_AAFI_Ns(0);
    fnSet_c1_S_VOB_STI_Ns(0);
    fnSet_c1_S_AA_STI_Ns(0);
    fnSet_dw_S_AVFIT_EA(7);
    m_cS_VOB_STI_Ns = 0;
    m_cS_AA_STI_Ns = 0;
    m_dwSize = S_AVFIT::kHeaderSize;
    return 1;
}

int CS_AVFIT::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->header, 0, S_AVFIT::kHeaderSize);
    ReleaseSubRecords();
    return 1;
}

void CS_AVFIT::fnFreeAllData() {
    if (!m_pRecord) return;
    ReleaseSubRecords();
    delete m_pRecord;
    m_pRecord = nullptr;
}

DWORD CS_AVFIT::fndwLoad_S_AVFIT_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    fnSetZero();
    m_dwSize = 0;
    m_cS_VOB_STI_Ns = 0;
    m_cS_AA_STI_Ns = 0;

    vrm::ByteReader reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    const uint64_t fileSize = reader.Size();
    auto fail = [&](uint64_t offset) -> DWORD {
        m_pBuffer->MarkReadFailure(offset);
        fnSetZero();
        m_cS_VOB_STI_Ns = 0;
        m_cS_AA_STI_Ns = 0;
        return 0;
    };
    if (!reader.Bytes(start, m_pRecord->header, S_AVFIT::kHeaderSize)) return fail(reader.FailOffset());
    uint64_t size = S_AVFIT::kHeaderSize;
    m_cS_VOB_STI_Ns = fnGet_c1_S_VOB_STI_Ns();
    m_cS_AA_STI_Ns = fnGet_c1_S_AA_STI_Ns();
    if (fnGet_c1_S_AVFI_Ns() == 0) {
        m_dwSize = static_cast<DWORD>(size);
        return m_dwSize;
    }

    const uint64_t stiBytes = uint64_t{S_AVFIT::kStiSize} * m_cS_VOB_STI_Ns;
    const BYTE* sti = reader.Span(start + size, stiBytes);
    if (!sti) return fail(reader.FailOffset());
    m_pRecord->sti.assign(size_t{S_AVFIT::kStiSize} * (m_cS_VOB_STI_Ns + 1u), 0);  // with the spare slot
    std::copy(sti, sti + stiBytes, m_pRecord->sti.begin());
    size += stiBytes;

    m_pRecord->pS_AVFI.reset(new (std::nothrow) S_AVFI{});
    if (!m_pRecord->pS_AVFI) return fail(start + size);
    const uint64_t avfiAt = start + size;
    if (avfiAt > 0xFFFFFFFFu) return fail(avfiAt);
    const DWORD avfiSize =
        CS_AVFI(m_pBuffer, m_pRecord->pS_AVFI.get(), static_cast<DWORD>(avfiAt), m_dwStart).fndwLoad_S_AVFI_From_File();
    if (!avfiSize) return fail(avfiAt);
    size += avfiSize;
    if (size > fileSize) return fail(avfiAt);

    if (fnGet_c1_S_AAFI_Ns() != 0) {
        const uint64_t aaStiBytes = uint64_t{S_AVFIT::kAaStiSize} * m_cS_AA_STI_Ns;
        const BYTE* aaSti = reader.Span(start + size, aaStiBytes);
        if (!aaSti) return fail(reader.FailOffset());
        m_pRecord->aaSti.assign(size_t{S_AVFIT::kAaStiSize} * (m_cS_AA_STI_Ns + 1u), 0);
        std::copy(aaSti, aaSti + aaStiBytes, m_pRecord->aaSti.begin());
        size += aaStiBytes;

        m_pRecord->pS_AAFI.reset(new (std::nothrow) S_AAFI{});
        if (!m_pRecord->pS_AAFI) return fail(start + size);
        const uint64_t aafiAt = start + size;
        if (aafiAt > 0xFFFFFFFFu) return fail(aafiAt);
        const DWORD aafiSize = CS_AAFI(m_pBuffer, m_pRecord->pS_AAFI.get(), static_cast<DWORD>(aafiAt), m_dwStart)
                                   .fndwLoad_S_AAFI_From_File();
        if (!aafiSize) return fail(aafiAt);
        size += aafiSize;
        // The VOGs and the groups may not together copy more than the file.
        if (size > fileSize) return fail(aafiAt);
    }
    m_dwSize = static_cast<DWORD>(size);
    return m_dwSize;
}

DWORD CS_AVFIT::fndwDataSize() const {
    if (!m_pRecord) return 0;
    DWORD size = S_AVFIT::kHeaderSize;
    if (fnGet_c1_S_AVFI_Ns() == 0) return size;
    size += S_AVFIT::kStiSize * DWORD{fnGet_c1_S_VOB_STI_Ns()};
    size += m_pRecord->pS_AVFI ? CS_AVFI(m_pRecord->pS_AVFI.get(), 0).fndwDataSize() : S_AVFI::kHeaderSize;
    if (fnGet_c1_S_AAFI_Ns() != 0) {
        size += S_AVFIT::kAaStiSize * DWORD{fnGet_c1_S_AA_STI_Ns()};
        size += m_pRecord->pS_AAFI ? CS_AAFI(m_pRecord->pS_AAFI.get(), 0).fndwDataSize() : S_AAFI::kHeaderSize;
    }
    return size;
}

DWORD CS_AVFIT::fnReadData(BYTE* out) {
    if (!out || !m_pRecord) return 0;
    DWORD pos = S_AVFIT::kHeaderSize;
    // The still picture part, and the additional audio that can only come
    // with it: the loader reads nothing behind the header without stills.
    if (fnGet_c1_S_AVFI_Ns() != 0) {
        pos += CopyRecords(out + pos, m_pRecord->sti, fnGet_c1_S_VOB_STI_Ns(), S_AVFIT::kStiSize);
        if (m_pRecord->pS_AVFI) {
            pos += CS_AVFI(m_pRecord->pS_AVFI.get(), pos).fnReadData(out + pos);
        } else {
            std::memset(out + pos, 0, S_AVFI::kHeaderSize);  // no VOG
            pos += S_AVFI::kHeaderSize;
        }
        if (fnGet_c1_S_AAFI_Ns() != 0) {
            pos += CopyRecords(out + pos, m_pRecord->aaSti, fnGet_c1_S_AA_STI_Ns(), S_AVFIT::kAaStiSize);
            if (m_pRecord->pS_AAFI) {
                pos += CS_AAFI(m_pRecord->pS_AAFI.get(), pos).fnReadData(out + pos);
            } else {
                std::memset(out + pos, 0, S_AAFI::kHeaderSize);  // no group
                pos += S_AAFI::kHeaderSize;
            }
        }
    }
    fnSet_dw_S_AVFIT_EA(pos - 1);
    std::memcpy(out, m_pRecord->header, S_AVFIT::kHeaderSize);
    return pos;
}

int CS_AVFIT::fnSet_S_VOB_STI_Data(BYTE i, const VR_MPEGFILE_INFO* info) {
    BYTE* record = StiSlot(i);
    if (!record || !info) return 0;
    std::memset(record, 0, S_AVFIT::kStiSize);
    WORD video = ResolutionBits(info->dwWidth, info->dwHeight);
    if (info->dwMpeg2 != 0) video = static_cast<WORD>(video + 0x4000);
    if (info->dwFrameRate == 25000) video = static_cast<WORD>(video + 0x1000);
    if (info->bAspectRatio != 2) video = static_cast<WORD>(video + 0x0400);
    vrm::SetField<WORD>(record, 0, video);
    vrm::SetField<WORD>(record, 2, AudioAttributes(*info));
    return 1;
}

BYTE CS_AVFIT::fnFindSameS_VOB_STI(BYTE n, const VR_MPEGFILE_INFO* info) {
    if (!fnSet_S_VOB_STI_Data(n, info)) return 0;
    const BYTE* candidate = StiSlot(n);
    for (BYTE k = 0; k < n; ++k) {
        if (std::memcmp(StiSlot(k), candidate, S_AVFIT::kStiSize) == 0) return static_cast<BYTE>(k + 1);
    }
    return 0;
}

BYTE CS_AVFIT::fnADD_S_VOB_STI(const VR_MPEGFILE_INFO* info) {
    if (!m_pRecord || !info) return 0;
    if (fnGet_c1_S_AVFI_Ns() == 0) {
        // The first still file: a fresh array with its record and a spare slot.
        m_pRecord->sti.assign(size_t{S_AVFIT::kStiSize} * 2, 0);
        fnSet_S_VOB_STI_Data(0, info);
        fnSet_c1_S_AVFI_Ns(1);
        fnSet_c1_S_VOB_STI_Ns(1);
        m_cS_VOB_STI_Ns = 1;
        return 1;
    }
    const BYTE n = fnGet_c1_S_VOB_STI_Ns();
    // A count set by hand may have left no spare slot: make one.
    if (m_pRecord->sti.size() < size_t{S_AVFIT::kStiSize} * (n + 1u)) {
        m_pRecord->sti.resize(size_t{S_AVFIT::kStiSize} * (n + 1u), 0);
    }
    const BYTE same = fnFindSameS_VOB_STI(n, info);
    if (same) return same;
    if (n >= kMaxStiRecords) return 0;
    // Keep the candidate in the spare slot as record n + 1 and add a new
    // zeroed spare slot behind it.
    m_pRecord->sti.resize(size_t{S_AVFIT::kStiSize} * (n + 1u));
    m_pRecord->sti.resize(size_t{S_AVFIT::kStiSize} * (n + 2u), 0);
    fnSet_c1_S_AVFI_Ns(1);
    fnSet_c1_S_VOB_STI_Ns(static_cast<BYTE>(n + 1));
    m_cS_VOB_STI_Ns = static_cast<BYTE>(n + 1);
    return static_cast<BYTE>(n + 1);
}

int CS_AVFIT::fnADD_Program(const VR_MPEGFILE_INFO* info) {
    if (!m_pRecord || !info) return 0;
    const BYTE had = fnGet_c1_S_AVFI_Ns();
    // Refuse what the VOG cannot hold before anything changes.
    if (info->dwFrameNs > CS_VOGI::kMaxPictures) return 0;
    if (info->dwFrameNs != 0 && !info->pVOBUTable) return 0;
    if (had != 0 && m_pRecord->pS_AVFI && CS_AVFI(m_pRecord->pS_AVFI.get(), 0).fnGet_wS_VOGI_SRP_Ns() == 0xFFFF) {
        return 0;
    }

    const BYTE stin = fnADD_S_VOB_STI(info);
    if (!stin) return 0;
    if (!m_pRecord->pS_AVFI) {
        m_pRecord->pS_AVFI.reset(new (std::nothrow) S_AVFI{});
        if (!m_pRecord->pS_AVFI) return 0;
    }
    CS_AVFI avfi(m_pRecord->pS_AVFI.get(), 0);
    if (had == 0) avfi.fnNew();
    return avfi.fnADD_VOGI(stin, info);
}

int CS_AVFIT::fnGet_iTH_VOGI_REC_TM(WORD vogi, BYTE* out) const {
    if (!m_pRecord || !m_pRecord->pS_AVFI) return 0;
    return CS_AVFI(m_pRecord->pS_AVFI.get(), 0).fnGet_iTH_VOGI_REC_TM(vogi, out);
}

int CS_AVFIT::fnGet_CellInfoFromS_VOB_STI(BYTE stin, seg* s) const {
    if (!s || stin == 0) return 0;
    const BYTE* record = Sti(static_cast<BYTE>(stin - 1));
    if (!record) return 0;
    const WORD video = vrm::GetField<WORD>(record, 0);
    const WORD audio = vrm::GetField<WORD>(record, 2);

    s->dwMpegVersion = (video >> 14) == 0 ? 0 : 2;
    const bool pal = ((video >> 12) & 3) != 0;
    s->dwFrameRate = pal ? 25000 : 29970;
    const DWORD full = pal ? 576 : 480;
    static const DWORD kWidths[6] = {720, 704, 352, 352, 544, 480};
    const unsigned code = (video >> 3) & 7;
    if (code < 6) {
        s->dwWidth = kWidths[code];
        s->dwHeight = code == 3 ? full / 2 : full;
    }
    s->dwWide = ((video >> 10) & 3) == 1 ? 1 : 0;
    s->dwAST_Ns = 0;
    s->dwSPST_Ns = 0;
    if (audio != 0) {
        s->dwAudioCoding = audio >> 13;
        s->dwAudioLayer = s->dwAudioCoding == 2 ? 2 : 0;
        s->dwSampleRate = 48000;
        const DWORD channels = audio & 0xF;
        if (channels == 0) {
            s->dwChannels = 1;
            s->dwAudioMode = 3;
        } else if (channels == 9) {
            s->dwChannels = 2;
            s->dwAudioMode = 2;
        } else {
            s->dwChannels = channels + 1;
            s->dwAudioMode = 0;
        }
    }
    return 1;
}

int CS_AVFIT::fnGet_iTH_VOGI_Info(WORD vogi, seg* s, BYTE stillTm) const {
    if (!s || !m_pRecord || !m_pRecord->pS_AVFI) return 0;
    const CS_AVFI avfi(m_pRecord->pS_AVFI.get(), 0);
    const BYTE stin = avfi.fnGet_iTH_VOGI_S_VOB_STIN(vogi);
    if (stin == 0 || !Sti(static_cast<BYTE>(stin - 1))) return 0;
    DWORD a = 0;
    DWORD b = 0;
    if (!avfi.fnGet_iTH_VOGI_StartPosAndEndPos(vogi, &a, &b)) return 0;

    s->dwSRPN = vogi;
    s->dwCellType = 1;
    fnGet_CellInfoFromS_VOB_STI(stin, s);
    s->dwFrameNs = 1;
    s->dwVideoFrames = 1;
    s->dwAudioSamples = 0;
    s->dwDuration = DWORD{stillTm} * 1000;
    s->dwSkipFrames = 0;
    s->llStartPos = static_cast<__int64>(a);
    s->llEndPos = static_cast<__int64>(b);
    s->dwHeadSize = b - a;
    return 1;
}
