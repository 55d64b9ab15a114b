#include "stream/video_format.h"

#include <algorithm>
#include <string>

#include "stream/CVRO_DATA.h"

namespace vrm {

namespace {

const char* RateName(BYTE code) {
    static const char* const kNames[9] = {"an unknown", "23.976", "24", "25", "29.97", "30", "50", "59.94", "60"};
    return code < 9 ? kNames[code] : kNames[0];
}

// Pictures of one group waiting for a time; a group this long without any
// PTS has no times at all.
constexpr size_t kMaxWaiting = 4096;

}  // namespace

bool RecordableSize(DWORD width, DWORD height, bool is625) {
    const DWORD full = is625 ? 576 : 480;
    if (width == 352 && height == full / 2) return true;
    return height == full && (width == 720 || width == 704 || width == 544 || width == 480 || width == 352);
}

bool VideoFormat::OnStartCode(const VideoStartCode& sc, AnalysisError* error) {
    if (m_waitExtension && sc.code != kSequenceHeader) {
        BYTE structure = 0;
        SequenceExtension ext;
        m_mpeg2 = sc.code == kExtensionStart && ParseExtension(sc.bytes, sc.size, &ext, &structure) == 1;
        if (m_mpeg2 && m_seq.aspect == 4) {
            error->code = VRO_ERR_PICTURE_SIZE;
            error->reason = "has 2.21:1 pictures; a recording is 4:3 or 16:9";
            return false;
        }
        if (m_mpeg2) {
            m_ext = ext;
            if (ext.frameRateN != 0 || ext.frameRateD != 0) {
                error->code = VRO_ERR_FRAME_RATE;
                error->reason = "has a modified frame rate; only 25 and 29.97 frames per second can be recorded";
                return false;
            }
        }
        m_mpeg2Known = true;
        m_waitExtension = false;
    }
    if (sc.code != kSequenceHeader) return true;
    SequenceHeader seq;
    if (!ParseSequenceHeaderFields(sc.bytes, sc.size, &seq)) {
        error->code = VRO_ERR_BAD_STREAM;
        error->reason = "has a cut-off sequence header in pack " + std::to_string(sc.pack);
        return false;
    }
    if (!m_haveSequence) {
        if (seq.frameRateCode != 3 && seq.frameRateCode != 4) {
            error->code = VRO_ERR_FRAME_RATE;
            error->reason = std::string("has video at ") + RateName(seq.frameRateCode) +
                            " frames per second; only 25 (625/50) and 29.97 (525/60) can be recorded";
            return false;
        }
        if (seq.width == 0 || seq.height == 0) {
            error->code = VRO_ERR_BAD_STREAM;
            error->reason = "has a sequence header without a picture size";
            return false;
        }
        if (!RecordableSize(seq.width, seq.height, seq.frameRateCode == 3)) {
            error->code = VRO_ERR_PICTURE_SIZE;
            error->reason = "has pictures of " + std::to_string(seq.width) + "x" + std::to_string(seq.height) +
                            "; a recording at " + (seq.frameRateCode == 3 ? "25" : "29.97") +
                            " frames per second holds 720, 704, 544, 480 or 352 pixels by " +
                            (seq.frameRateCode == 3 ? "576, or 352x288" : "480, or 352x240");
            return false;
        }
        m_seq = seq;
        m_haveSequence = true;
        m_waitExtension = true;
        return true;
    }
    if (seq.width != m_seq.width || seq.height != m_seq.height || seq.frameRateCode != m_seq.frameRateCode) {
        error->code = VRO_ERR_BAD_STREAM;
        error->reason = "changes its picture size or frame rate in pack " + std::to_string(sc.pack);
        return false;
    }
    return true;
}

void VideoFormat::Finish() {
    if (m_haveSequence && !m_mpeg2Known) {
        m_mpeg2 = false;
        m_mpeg2Known = true;
        m_waitExtension = false;
    }
}

DWORD VideoFormat::FrameRate() const { return m_seq.frameRateCode == 3 ? 25000 : 29970; }

int64_t VideoFormat::FrameTicks() const { return m_seq.frameRateCode == 3 ? 3600 : 3003; }

void VideoFormat::Fill(VR_MPEGFILE_INFO* info) const {
    const DWORD width = m_seq.width | (m_mpeg2 ? m_ext.widthExt << 12 : 0);
    const DWORD height = m_seq.height | (m_mpeg2 ? m_ext.heightExt << 12 : 0);
    info->dwFrameRate = FrameRate();
    info->dwWidth = width;
    info->dwHeight = height;
    info->dwMpeg2 = m_mpeg2 ? 1 : 0;
    info->bAspectRatio = RecordedAspectRatio(m_mpeg2, m_seq.aspect, width, height);
    const uint64_t value = m_seq.bitRateValue | (m_mpeg2 ? uint64_t(m_ext.bitRateExt) << 18 : 0);
    info->dwVideoBitrate = static_cast<DWORD>(std::min<uint64_t>(value * 400, 0xFFFFFFFFu));
}

BYTE RecordedAspectRatio(bool mpeg2, BYTE code, DWORD width, DWORD height) {
    if (mpeg2 && code >= 2 && code <= 4) return code;
    // Pixel height / width of the MPEG-1 codes 1 to 14.
    static constexpr double kPel[15] = {1.0,    1.0,    0.6735, 0.7031, 0.7615, 0.8055, 0.8437, 0.8935,
                                        0.9157, 0.9815, 1.0255, 1.0695, 1.0950, 1.1575, 1.2015};
    const double pel = !mpeg2 && code >= 1 && code <= 14 ? kPel[code] : 1.0;
    const double display = height ? double(width) / (double(height) * pel) : 0.0;
    // Halfway between 4:3 and 16:9.
    return display < (4.0 / 3.0 + 16.0 / 9.0) / 2 ? 2 : 3;
}

void FillAudio(VR_MPEGFILE_INFO* info, const AudioFormat* f) {
    info->dwSampleRate = f ? f->sampleRate : 0;
    info->dwAudioMode = f ? f->mode : 0;
    info->dwAudioBitrate = f ? f->bitrate : 0;
    info->dwAudioCodingBits = f ? f->codingBits : 0;
    info->dwAudioChannels = f ? f->channels : 0;
}

int64_t PictureClock::Unwrap(int64_t pts) {
    constexpr int64_t kWrap = int64_t(1) << 33;
    if (!m_haveLast) {
        m_haveLast = true;
        m_lastRaw = m_lastUnwrapped = pts;
        return pts;
    }
    int64_t diff = (pts - m_lastRaw) % kWrap;
    if (diff < 0) diff += kWrap;
    if (diff >= kWrap / 2) diff -= kWrap;
    m_lastRaw = pts;
    m_lastUnwrapped += diff;
    return m_lastUnwrapped;
}

void PictureClock::OnPacket(uint64_t begin, uint64_t end, int64_t pts) {
    if (begin < end) m_stamps.push_back(Stamp{begin, end, Unwrap(pts)});
}

void PictureClock::OnGroup() {
    m_haveBase = false;
    m_waiting.clear();
}

void PictureClock::Seen(int64_t t) {
    if (!m_haveTime) {
        m_min = m_max = t;
        m_haveTime = true;
    }
    // Pictures are presented out of coding order by a few frames only.
    constexpr int64_t kSecond = 90000;
    if (!m_jumped && t < m_max - kSecond) {
        m_jumped = m_jumpedNow = true;
        m_back = m_max - t;
    }
    m_min = std::min(m_min, t);
    m_max = std::max(m_max, t);
}

void PictureClock::OnPicture(uint64_t offset, DWORD tref) {
    m_jumpedNow = false;
    while (!m_stamps.empty() && m_stamps.front().end <= offset) m_stamps.pop_front();
    if (!m_stamps.empty() && m_stamps.front().begin <= offset) {
        m_base = m_stamps.front().pts - int64_t(tref) * m_frame;
        m_stamps.pop_front();
        if (!m_haveBase) {
            for (DWORD w : m_waiting) Seen(m_base + int64_t(w) * m_frame);
            m_waiting.clear();
        }
        m_haveBase = true;
    }
    if (m_haveBase) {
        Seen(m_base + int64_t(tref) * m_frame);
    } else if (m_waiting.size() < kMaxWaiting) {
        m_waiting.push_back(tref);
    }
}

bool PictureClock::Range(int64_t* first, int64_t* end) const {
    if (!m_haveTime) return false;
    *first = m_min;
    *end = m_max + m_frame;
    return true;
}

}  // namespace vrm
