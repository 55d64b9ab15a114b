// The scan that finds recordings in a movie stream file without tables:
// one pass that divides the stream where one recording ends and the next
// begins, then the movie analysis of each recording where it lies.
#include "stream/recording_scan.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "stream/audio_es.h"
#include "stream/scan_common.h"

namespace vrm {

namespace {

using scan::IsVideoStart;
using scan::Malformed;

constexpr int64_t kSecond = 90000;  // 90 kHz
constexpr int64_t kClockWrap = int64_t(1) << 33;

// b - a on a 33-bit clock, as the shorter way round.
int64_t ClockDelta(int64_t a, int64_t b) {
    int64_t d = (b - a) % kClockWrap;
    if (d < 0) d += kClockWrap;
    return d >= kClockWrap / 2 ? d - kClockWrap : d;
}

std::string Jump(const char* clock, int64_t delta) {
    char text[96];
    std::snprintf(text, sizeof text, "the %s jumps %s by %.2f s", clock, delta < 0 ? "back" : "forward",
                  double(delta < 0 ? -delta : delta) / double(kSecond));
    return text;
}

// The split pass. Pack numbers are those of the range read.
class Splitter {
public:
    Splitter(std::vector<ScanPiece>* pieces, uint64_t base) : m_pieces(pieces), m_base(base) {}
    bool Run(PackReader& reader, uint64_t packs, AnalysisProgress& progress, AnalysisError* error);

private:
    enum class State { Start, Recording, Damaged, Unused };
    // Ends an unused or damaged stretch in front of pack `end`.
    void CloseStretch(uint64_t end);
    void Begin(uint64_t pack);
    void Close(uint64_t end, const std::string& why);
    void Add(DWORD kind, uint64_t first, uint64_t end, const std::string& text);
    // A split at `at` (a VOBU start behind the recording's start, else
    // nothing): the recording ends there, the next begins there.
    bool SplitAt(uint64_t at, const std::string& why);
    // Looks at one pack of the recording; false when it split the recording
    // (the reader must go back to m_rewind).
    bool Take(const PsPack& pack);
    bool TakeVideo(const PsPack& pack, const PsPacket& packet);

    std::vector<ScanPiece>* m_pieces;
    uint64_t m_base;
    State m_state = State::Start;
    uint64_t m_start = 0;  // the recording's or the damaged stretch's first pack
    uint64_t m_rewind = 0;
    std::string m_damageWhy;
    // The recording's clocks, format and audio stream.
    bool m_haveScr = false, m_havePts = false, m_haveFormat = false;
    int64_t m_scr = 0, m_maxPts = 0;
    SequenceHeader m_format;
    int m_audioKey = -1;
    // VOBUs: where the current one and the one before began; whether the
    // current one carried the recording's audio stream or another.
    bool m_navSeen = false;
    uint64_t m_vobu = 0, m_prevVobu = 0;
    bool m_vobuOwnAudio = false, m_vobuOtherAudio = false;
    VideoScanner m_scanner;
};

void Splitter::Add(DWORD kind, uint64_t first, uint64_t end, const std::string& text) {
    scan::AddPiece(m_pieces, m_base, kind, first, end, text);
}

void Splitter::Begin(uint64_t pack) {
    m_state = State::Recording;
    m_start = m_vobu = m_prevVobu = pack;
    m_haveScr = m_havePts = m_haveFormat = false;
    m_audioKey = -1;
    m_vobuOwnAudio = m_vobuOtherAudio = false;
    m_scanner = VideoScanner();
}

void Splitter::CloseStretch(uint64_t end) {
    if (m_state == State::Damaged) Add(VR_FOUND_DAMAGED, m_start, end, m_damageWhy);
    if (m_state == State::Unused) Add(VR_FOUND_UNUSED, m_start, end, scan::kUnusedText);
    if (m_state == State::Damaged || m_state == State::Unused) m_state = State::Start;
}

void Splitter::Close(uint64_t end, const std::string& why) {
    Add(VR_FOUND_RECORDING, m_start, end, why);
    m_state = State::Start;
}

bool Splitter::SplitAt(uint64_t at, const std::string& why) {
    if (at <= m_start) return true;  // nothing in front of it: the recording goes on
    Close(at, why);
    Begin(at);
    m_rewind = at;
    return false;
}

bool Splitter::TakeVideo(const PsPack& pack, const PsPacket& packet) {
    if (packet.hasPts) {
        if (m_havePts) {
            const int64_t d = ClockDelta(m_maxPts, packet.pts);
            // Pictures come in coding order: a little back is normal.
            if (d < -kSecond || d > kSecond) {
                return SplitAt(m_vobu > m_start ? m_vobu : pack.index, Jump("video clock", d));
            }
            if (d > 0) m_maxPts = packet.pts;
        } else {
            m_havePts = true;
            m_maxPts = packet.pts;
        }
    }
    m_scanner.Feed(packet.data, packet.size, pack.index);
    VideoStartCode sc;
    while (m_scanner.Next(&sc)) {
        if (sc.code != kSequenceHeader) continue;
        SequenceHeader h;
        if (!ParseSequenceHeaderFields(sc.bytes, sc.size, &h)) continue;
        if (!m_haveFormat) {
            m_haveFormat = true;
            m_format = h;
            continue;
        }
        const char* change = h.width != m_format.width || h.height != m_format.height ? "the picture size changes"
                             : h.aspect != m_format.aspect                            ? "the aspect ratio changes"
                             : h.frameRateCode != m_format.frameRateCode              ? "the frame rate changes"
                                                                                      : nullptr;
        if (!change) continue;
        // The VOBU that holds the new sequence header begins the next
        // recording.
        const uint64_t at = !m_navSeen ? sc.pack : m_vobu <= sc.pack ? m_vobu : m_prevVobu;
        return SplitAt(at > m_start ? at : sc.pack, change);
    }
    return true;
}

bool Splitter::Take(const PsPack& pack) {
    if (m_haveScr && pack.index > m_start) {
        const int64_t d = ClockDelta(m_scr, pack.scr);
        if (d < -kSecond || d > kSecond) return SplitAt(pack.index, Jump("system clock", d));
    }
    m_haveScr = true;
    m_scr = pack.scr;
    for (const PsPacket& packet : pack.packets) {
        if (packet.id == kPrivateStream2) {
            m_navSeen = true;
            if (pack.index > m_vobu) {
                // The VOBU that ends here carried only another audio stream
                // than the recording's: the audio coding changed with it.
                if (m_vobuOtherAudio && !m_vobuOwnAudio && !SplitAt(m_vobu, "the audio stream changes")) return false;
                m_prevVobu = m_vobu;
                m_vobu = pack.index;
                m_vobuOwnAudio = m_vobuOtherAudio = false;
            }
        } else if (packet.id == kVideoFirst && packet.size > 0) {
            if (!TakeVideo(pack, packet)) return false;
        } else {
            const int key = AudioStreamKey(packet);
            if (key < 0) continue;
            if (m_audioKey < 0) m_audioKey = key;
            (key == m_audioKey ? m_vobuOwnAudio : m_vobuOtherAudio) = true;
        }
    }
    return true;
}

bool Splitter::Run(PackReader& reader, uint64_t packs, AnalysisProgress& progress, AnalysisError* error) {
    PsPack pack;
    uint64_t next = 0;  // the pack the reader hands out next
    while (next < packs) {
        AnalysisError bad;
        const int r = reader.Next(&pack, &bad);
        if (r == 0 || (r > 0 && pack.ended && pack.index >= reader.Packs())) {
            // A program end code: the recording ends behind the pack that
            // holds it; an end code in place of a pack header ends it in
            // front of that sector, which holds nothing.
            const uint64_t end = reader.Packs();
            if (m_state == State::Recording) Close(end, "a program end code");
            CloseStretch(end);
            next = end < packs && pack.index == end && pack.ended ? end + 1 : end;
            if (next > end) Add(VR_FOUND_DAMAGED, end, next, "a program end code in place of a pack");
            reader.Seek(next);
            continue;
        }
        if (r < 0 && bad.code != VRO_ERR_BAD_STREAM) {
            *error = bad;
            return false;
        }
        next = pack.index + 1;
        if (!progress.Advance(next)) return scan::Cancelled(error);
        if (r < 0 && pack.zeroed) {
            // Unused sectors: the recording in front of them ends whole.
            if (m_state == State::Recording) Close(pack.index, "unused sectors");
            if (m_state == State::Damaged) CloseStretch(pack.index);
            if (m_state != State::Unused) m_start = pack.index;
            m_state = State::Unused;
            continue;
        }
        if (m_state == State::Unused) CloseStretch(pack.index);
        if (r < 0) {
            if (m_state == State::Recording) {
                // The VOBU holding the bad pack is lost with it.
                Close(m_vobu, "damaged data");
                m_start = std::max(m_start, m_vobu);
                m_damageWhy = Malformed(bad, m_base + pack.index);
            } else if (m_state == State::Start) {
                m_start = pack.index;
                m_damageWhy = Malformed(bad, m_base + pack.index);
            }
            m_state = State::Damaged;
            continue;
        }
        if (m_state == State::Damaged) {
            bool resumes = false;
            for (const PsPacket& p : pack.packets) resumes = resumes || p.id == kPrivateStream2 || IsVideoStart(p);
            if (!resumes) continue;
            Add(VR_FOUND_DAMAGED, m_start, pack.index, m_damageWhy);
            m_state = State::Start;
        }
        if (m_state == State::Start) Begin(pack.index);
        if (!Take(pack)) {
            reader.Seek(m_rewind);
            next = m_rewind;
        }
    }
    if (m_state == State::Recording) Close(packs, "the end of the stream");
    CloseStretch(packs);
    return true;
}

}  // namespace

bool SplitMovieStream(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                      std::vector<ScanPiece>* pieces, AnalysisError* error) {
    PackReader reader;
    if (!reader.OpenRange(path, first, packs, error)) return false;
    AnalysisProgress progress(cb, context, packs);
    if (!progress.Advance(0)) return scan::Cancelled(error);
    pieces->clear();
    Splitter splitter(pieces, first);
    return splitter.Run(reader, packs, progress, error);
}

bool ScanMovieStream(const char* path, uint64_t firstSector, ProgressCallback cb, void* context,
                     std::vector<VR_FOUND_STRETCH>* found, AnalysisError* error) {
    uint64_t whole = 0, tail = 0;
    if (!scan::Measure(path, &whole, &tail, error)) return false;
    const uint64_t packs = whole > firstSector ? whole - firstSector : 0;
    // Progress: the split reads every pack, the analyses read the
    // recordings again.
    scan::ProgressPart part{cb, context, 0, 2 * packs};
    std::vector<ScanPiece> pieces;
    if (packs > 0 && !SplitMovieStream(path, firstSector, packs, part.Callback(), &part, &pieces, error)) return false;
    found->clear();
    part.before = packs;
    for (const ScanPiece& piece : pieces) {
        VR_FOUND_STRETCH s = scan::Stretch(piece.kind, piece.first, piece.sectors, piece.text);
        if (piece.kind == VR_FOUND_RECORDING) {
            VR_MPEGFILE_INFO info{};
            std::vector<VR_VOBU_ELEMENT> table;
            AnalysisError why;
            if (AnalyseMovieRange(path, piece.first, piece.sectors, part.Callback(), &part, &info, &table, &why)) {
                scan::Describe(&s, info);
                s.dwFrames = info.dwFrameNs;
            } else if (scan::Fatal(why)) {
                *error = why;
                return false;
            } else {
                s = scan::Stretch(VR_FOUND_DAMAGED, piece.first, piece.sectors, "holds no recording: it " + why.reason);
            }
        }
        part.before += piece.sectors;
        scan::Append(found, s);
    }
    if (tail != 0 && whole >= firstSector) scan::AddPartialSector(found, whole, tail);
    return part.Finish(error);
}

bool HoldsRecording(const VR_FOUND_STRETCH& s) { return s.dwKind == VR_FOUND_RECORDING || s.dwKind == VR_FOUND_STILLS; }

std::string ByteSpan(uint64_t a, uint64_t b) { return "bytes " + std::to_string(a) + ".." + std::to_string(b); }

std::string FoundSpan(const VR_FOUND_STRETCH& s) {
    return ByteSpan(static_cast<uint64_t>(s.llFirstByte), static_cast<uint64_t>(s.llFirstByte + s.llBytes));
}

std::string FrameTime(DWORD frames, DWORD frameRate) {
    const unsigned long long ms = frameRate ? 1000000ull * frames / frameRate : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

std::string FoundWhat(const VR_FOUND_STRETCH& s) {
    if (s.dwKind == VR_FOUND_STILLS)
        return std::to_string(s.dwFrames) + (s.dwFrames == 1 ? " still picture" : " still pictures");
    return "a recording of " + FrameTime(s.dwFrames, s.dwFrameRate);
}

}  // namespace vrm
