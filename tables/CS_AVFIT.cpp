#include "tables/CS_AVFIT.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "stream/VR_MPEGFILE_INFO.h"
#include "tables/attributes.h"
#include "tables/seg.h"

namespace {

// Appends `count` records of the layout from `records`, numbered from 1,
// zero records for those the array does not hold.
template <class Layout>
void DumpRecords(const char* name, const std::vector<BYTE>& records, DWORD count, const std::string& indent,
                 std::string& out) {
    for (DWORD i = 0; i < count; ++i) {
        const size_t at = size_t{Layout::kSize} * i;
        vrm::DumpEntry<Layout>(name, i + 1u, at + Layout::kSize <= records.size() ? records.data() + at : nullptr,
                               indent, out);
    }
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

    vrm::ByteReader& reader = m_pBuffer->Reader();
    const uint64_t start = m_dwStart;
    const uint64_t fileSize = reader.Size();
    auto fail = [&](uint64_t offset) -> DWORD {
        reader.Fail(offset);
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

DWORD CS_AVFIT::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    DWORD pos = S_AVFIT::kHeaderSize;
    // The still picture part, and the additional audio that can only come
    // with it: the loader reads nothing behind the header without stills.
    if (fnGet_c1_S_AVFI_Ns() != 0) {
        pos += static_cast<DWORD>(
            w.BytesOrZeros(at + pos, m_pRecord->sti, DWORD{fnGet_c1_S_VOB_STI_Ns()} * S_AVFIT::kStiSize));
        if (m_pRecord->pS_AVFI) {
            pos += CS_AVFI(m_pRecord->pS_AVFI.get(), pos).fnWrite(w, at + pos);
        } else {
            w.Fill(at + pos, 0, S_AVFI::kHeaderSize);  // no VOG
            pos += S_AVFI::kHeaderSize;
        }
        if (fnGet_c1_S_AAFI_Ns() != 0) {
            pos += static_cast<DWORD>(
                w.BytesOrZeros(at + pos, m_pRecord->aaSti, DWORD{fnGet_c1_S_AA_STI_Ns()} * S_AVFIT::kAaStiSize));
            if (m_pRecord->pS_AAFI) {
                pos += CS_AAFI(m_pRecord->pS_AAFI.get(), pos).fnWrite(w, at + pos);
            } else {
                w.Fill(at + pos, 0, S_AAFI::kHeaderSize);  // no group
                pos += S_AAFI::kHeaderSize;
            }
        }
    }
    fnSet_dw_S_AVFIT_EA(pos - 1);
    w.Bytes(at, m_pRecord->header, S_AVFIT::kHeaderSize);
    return pos;
}

DWORD CS_AVFIT::fnReadData(BYTE* out) {
    if (!m_pRecord) return 0;
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CS_AVFIT::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<S_AVFIT_HEADER>(m_pRecord->header, indent, out);
    if (fnGet_c1_S_AVFI_Ns() == 0) return;
    const std::string inner = indent + "  ";
    DumpRecords<S_VOB_STI>("S_VOB_STI", m_pRecord->sti, fnGet_c1_S_VOB_STI_Ns(), indent, out);
    S_AVFI noVog{};
    out += indent + "S_AVFI:\n";
    CS_AVFI(m_pRecord->pS_AVFI ? m_pRecord->pS_AVFI.get() : &noVog, 0).fnDump(out, inner);
    if (fnGet_c1_S_AAFI_Ns() == 0) return;
    DumpRecords<S_AA_STI>("S_AA_STI", m_pRecord->aaSti, fnGet_c1_S_AA_STI_Ns(), indent, out);
    S_AAFI noGroup{};
    out += indent + "S_AAFI:\n";
    CS_AAFI(m_pRecord->pS_AAFI ? m_pRecord->pS_AAFI.get() : &noGroup, 0).fnDump(out, inner);
}

int CS_AVFIT::fnSet_S_VOB_STI_Data(BYTE i, const VR_MPEGFILE_INFO* info) {
    BYTE* record = StiSlot(i);
    if (!record || !info) return 0;
    std::memset(record, 0, S_AVFIT::kStiSize);
    vrm::SetField<WORD>(record, S_VOB_STI::At::V_ATR, vrm::VideoAttributes::Of(*info).Pack());
    // Original audio is described only when its rate and bit rate are
    // known; the bit rate itself has no place in the 16-bit form.
    const bool audio = info->dwSampleRate != 0 && info->dwAudioBitrate != 0;
    vrm::SetField<WORD>(record, S_VOB_STI::At::OA_ATR, audio ? vrm::AudioAttributes::Of(*info).PackShort() : 0);
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

int CS_AVFIT::fnADD_Program(const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded) {
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
    return avfi.fnADD_VOGI(stin, info, recorded);
}

int CS_AVFIT::fnGet_iTH_VOGI_REC_TM(WORD vogi, BYTE* out) const {
    if (!m_pRecord || !m_pRecord->pS_AVFI) return 0;
    return CS_AVFI(m_pRecord->pS_AVFI.get(), 0).fnGet_iTH_VOGI_REC_TM(vogi, out);
}

int CS_AVFIT::fnGet_CellInfoFromS_VOB_STI(BYTE stin, seg* s) const {
    if (!s || stin == 0) return 0;
    const BYTE* record = Sti(static_cast<BYTE>(stin - 1));
    if (!record) return 0;
    const vrm::VideoAttributes video = vrm::VideoAttributes::Unpack(vrm::GetField<WORD>(record, S_VOB_STI::At::V_ATR));
    const WORD audioBits = vrm::GetField<WORD>(record, S_VOB_STI::At::OA_ATR);

    s->dwMpegVersion = video.compression == 0 ? 0 : 2;
    s->dwFrameRate = video.FrameRate();
    video.PictureSize(&s->dwWidth, &s->dwHeight);  // codes 6 and 7 leave the size
    s->dwWide = video.Wide() ? 1 : 0;
    s->dwAST_Ns = 0;
    s->dwSPST_Ns = 0;
    // Pictures without audio leave the audio fields as they are.
    if (audioBits != 0) {
        const vrm::AudioAttributes audio = vrm::AudioAttributes::UnpackShort(audioBits);
        s->dwAudioCoding = audio.coding;
        s->dwAudioLayer = audio.coding == vrm::AudioAttributes::kMPEG1 ? 2 : 0;
        s->dwSampleRate = 48000;
        s->dwChannels = audio.ChannelCount();
        s->dwAudioMode = audio.AudioMode();
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
