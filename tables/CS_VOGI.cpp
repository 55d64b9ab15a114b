#include "tables/CS_VOGI.h"

#include <cmath>
#include <cstring>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/codecs.h"
#include "platform/clock.h"
#include "stream/VR_MPEGFILE_INFO.h"

namespace vrm {

DWORD S_VOB_ENT_Length(BYTE ty) {
    return S_VOB_ENT_V::kSize + (ty & kEntryOriginalAudio ? S_VOB_ENT_OA::kSize : 0) +
           (ty & kEntryAdditionalAudio ? S_VOB_ENT_AA::kSize : 0);
}

}  // namespace vrm

namespace {

// Playback time of a picture's audio in video fields: the audio's duration
// in seconds (frames of 1152 samples at the sampling rate) times twice the
// frame rate, evaluated left to right in floating point and truncated toward
// zero; the field keeps the low 16 bits. Without a sampling rate the
// duration is unknown and counts as 0.
WORD AudioFields(DWORD audioFrames, DWORD sampleRate, DWORD frameRate) {
    if (sampleRate == 0) return 0;
    const double fields = audioFrames * 1152.0 / sampleRate * frameRate * 0.002;
    if (!std::isfinite(fields) || fields < 1.0) return 0;
    // fmod of an integral double by 65536 is exact, so this is the low 16
    // bits of the truncated value however large it is.
    return static_cast<WORD>(std::fmod(std::trunc(fields), 65536.0));
}

}  // namespace

CS_VOGI::CS_VOGI(BYTE) : m_pRecord(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_dwStart(0), m_cS_VOB_Ns(0) {}

CS_VOGI::CS_VOGI(S_VOGI* record)
    : m_pRecord(record), m_pBuffer(nullptr), m_dwSize(0), m_dwStart(0), m_cS_VOB_Ns(fnGet_c1_S_VOB_Ns()) {}

CS_VOGI::CS_VOGI(CBuffer* buffer, S_VOGI* record, DWORD start)
    : m_pRecord(record), m_pBuffer(buffer), m_dwSize(0), m_dwStart(start), m_cS_VOB_Ns(0) {}

BYTE* CS_VOGI::Entry(BYTE i) const {
    if (!m_pRecord || i >= fnGet_c1_S_VOB_Ns()) return nullptr;
    const size_t at = size_t{S_VOGI::kEntrySize} * i;
    if (at + S_VOGI::kEntrySize > m_pRecord->entries.size()) return nullptr;
    return m_pRecord->entries.data() + at;
}

BYTE* CS_VOGI::OriginalAudio(BYTE i) const {
    BYTE* entry = Entry(i);
    return entry ? entry + S_VOB_ENT_V::kSize : nullptr;
}

BYTE* CS_VOGI::AdditionalAudio(BYTE i) const {
    BYTE* entry = Entry(i);
    if (!entry) return nullptr;
    return entry + S_VOB_ENT_V::kSize +
           (entry[S_VOGI::kTagOffset] == vrm::kEntryAdditionalAudio ? 0 : S_VOB_ENT_OA::kSize);
}

int CS_VOGI::fnSetZero() {
    if (!m_pRecord) return 0;
    std::memset(m_pRecord->general, 0, S_VOGI::kGeneralSize);
    std::vector<BYTE>().swap(m_pRecord->entries);
    return 1;
}

DWORD CS_VOGI::fndwLoad_S_VOGI_From_File() {
    if (!m_pRecord || !m_pBuffer) return 0;
    fnSetZero();
    m_dwSize = 0;
    m_cS_VOB_Ns = 0;

    vrm::ByteReader& reader = m_pBuffer->Reader();
    auto fail = [&]() -> DWORD {
        fnSetZero();
        return 0;
    };
    uint64_t pos = m_dwStart;
    if (!reader.Bytes(pos, m_pRecord->general, S_VOGI::kGeneralSize)) return fail();
    pos += S_VOGI::kGeneralSize;
    const BYTE k = fnGet_c1_S_VOB_Ns();
    // Every entry holds at least its video part: refuse a count the file
    // cannot hold before allocating for it.
    if (!reader.Require(pos, uint64_t{S_VOB_ENT_V::kSize} * k)) return fail();
    m_pRecord->entries.assign(size_t{S_VOGI::kEntrySize} * k, 0);
    for (BYTE i = 0; i < k; ++i) {
        BYTE* entry = m_pRecord->entries.data() + size_t{S_VOGI::kEntrySize} * i;
        const BYTE ty = reader.U8(pos + S_VOB_ENT_V::At::S_VOB_ENT_TY);
        const DWORD length = vrm::S_VOB_ENT_Length(ty);
        if (!reader.Bytes(pos, entry, length)) return fail();
        entry[S_VOGI::kTagOffset] = fnGet_S_VOB_ENT_TYPE(ty);
        pos += length;
    }
    m_cS_VOB_Ns = k;
    m_dwSize = static_cast<DWORD>(pos - m_dwStart);
    return m_dwSize;
}

DWORD CS_VOGI::fnGetPictureSectors(BYTE i) const {
    if (!Entry(i)) return 0;
    const bool audio = (fnGet_c1_S_VOB_ENT_TY(i) & vrm::kEntryOriginalAudio) != 0;
    return DWORD{fnGet_c1_V_PART_SZ(i)} + (audio ? fnGet_wOA_PART_SZ(i) : 0u);
}

DWORD CS_VOGI::fndwDataSize() const {
    if (!m_pRecord) return 0;
    const BYTE k = fnGet_c1_S_VOB_Ns();
    DWORD size = S_VOGI::kGeneralSize;
    for (BYTE i = 0; i < k; ++i) {
        const BYTE* entry = Entry(i);
        size += entry ? vrm::S_VOB_ENT_Length(entry[S_VOB_ENT_V::At::S_VOB_ENT_TY]) : S_VOB_ENT_V::kSize;
    }
    return size;
}

DWORD CS_VOGI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pRecord) return 0;
    w.Bytes(at, m_pRecord->general, S_VOGI::kGeneralSize);
    DWORD pos = S_VOGI::kGeneralSize;
    const BYTE k = fnGet_c1_S_VOB_Ns();
    for (BYTE i = 0; i < k; ++i) {
        const BYTE* entry = Entry(i);
        if (entry) {
            const DWORD length = vrm::S_VOB_ENT_Length(entry[S_VOB_ENT_V::At::S_VOB_ENT_TY]);
            w.Bytes(at + pos, entry, length);
            pos += length;
        } else {
            w.Fill(at + pos, 0, S_VOB_ENT_V::kSize);
            pos += S_VOB_ENT_V::kSize;
        }
    }
    return pos;
}

DWORD CS_VOGI::fnReadData(BYTE* out) {
    if (!m_pRecord) return 0;
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

void CS_VOGI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pRecord) return;
    vrm::DumpRecord<S_VOGI_GI>(m_pRecord->general, indent, out);
    static const BYTE kZero[S_VOGI::kEntrySize] = {};
    const std::string inner = indent + "  ";
    for (BYTE i = 0; i < fnGet_c1_S_VOB_Ns(); ++i) {
        const BYTE* entry = Entry(i) ? Entry(i) : kZero;
        const BYTE ty = entry[S_VOB_ENT_V::At::S_VOB_ENT_TY];
        vrm::DumpHeading("S_VOB_ENT", i + 1u, indent, out);
        // The parts in the order and at the places the entry has on disc.
        const BYTE* part = entry;
        vrm::DumpRecord<S_VOB_ENT_V>(part, inner, out);
        part += S_VOB_ENT_V::kSize;
        if (ty & vrm::kEntryOriginalAudio) {
            vrm::DumpRecord<S_VOB_ENT_OA>(part, inner, out);
            part += S_VOB_ENT_OA::kSize;
        }
        if (ty & vrm::kEntryAdditionalAudio) vrm::DumpRecord<S_VOB_ENT_AA>(part, inner, out);
    }
}

int CS_VOGI::fnADD_VOGI(BYTE stin, const VR_MPEGFILE_INFO* info, const SYSTEMTIME* recorded) {
    if (!m_pRecord || !info || info->dwFrameNs > kMaxPictures) return 0;
    const BYTE k = static_cast<BYTE>(info->dwFrameNs);
    const VR_VOBU_ELEMENT* table = info->pVOBUTable;
    if (k && !table) return 0;

    fnSet_c1_S_VOB_Ns(k);
    fnSet_c1_S_VOB_STIN(stin);
    const SYSTEMTIME when = vrm::GivenTimeOrNow(recorded);
    BYTE recTm[5];
    PackRecTm(&when, recTm);
    fnSet_c5_FIRST_VOB_REC_TM(recTm, sizeof recTm);
    fnSet_c5_LAST_VOB_REC_TM(recTm, sizeof recTm);
    fnSet_dwS_VOG_SA(info->dwVOBStartAddr);

    m_pRecord->entries.assign(size_t{S_VOGI::kEntrySize} * k, 0);
    for (BYTE i = 0; i < k; ++i) {
        const VR_VOBU_ELEMENT& e = table[i];
        if (e.dwAudioPartSz == 0) {
            // A picture without audio: its size is the distance to the next
            // picture, counted in the low byte of the addresses.
            fnSet_bThisType(i, 0x00);
            fnSet_c1_S_VOB_ENT_TY(i, 0x00);
            fnSet_c1_V_PART_SZ(i, static_cast<BYTE>((table[i + 1].dwVOBUAddr & 0xFF) - (e.dwVOBUAddr & 0xFF)));
        } else {
            fnSet_bThisType(i, 0x40);
            fnSet_c1_S_VOB_ENT_TY(i, 0x40);
            fnSet_c1_V_PART_SZ(i, e.b1stRefSz);
            fnSet_wOA_PART_SZ(i, static_cast<WORD>(e.dwAudioPartSz));
            fnSet_wOA_PART_PB_TM(i, AudioFields(e.dwAudioFrames, info->dwSampleRate, info->dwFrameRate));
        }
    }
    m_cS_VOB_Ns = k;
    return 1;
}
