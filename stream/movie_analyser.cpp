// CVR_MOVIE::fnCheckAppendVOB: analyses an MPEG program stream as one movie
// VOB. One pass over the file, pack by pack: the video stream 0xE0 gives the
// format, the pictures and their times; the first audio stream gives the
// audio attributes; navigation packs (private stream 2) or, in streams
// without them, sequence or GOP headers in front of intra pictures divide
// the file into VOBUs.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "stream/CVRO_DATA.h"
#include "stream/audio_es.h"
#include "stream/ps_reader.h"
#include "stream/recording_scan.h"
#include "stream/video_es.h"
#include "stream/video_format.h"
#include "stream/vro_common.h"

namespace vrm {

namespace {

// What the time map can describe of one VOBU.
constexpr DWORD kMaxVobuFrames = 31;
constexpr DWORD kMaxVobuSectors = 1023;
constexpr size_t kMaxVobus = 0xFFFF;
// The largest first-reference-picture size the time map keeps.
constexpr uint64_t kMaxFirstRef = 255;

// The VOBU table for one way of finding VOBU starts. Pictures are counted in
// the VOBU that holds their picture header; the first intra picture of each
// VOBU gives its first reference picture size.
class VobuBuilder {
public:
    // A VOBU begins at `pack`. The first VOBU always begins at sector 0,
    // so packs in front of the first start belong to it.
    void Start(uint64_t pack) {
        if (m_table.empty()) {
            Push(0);
        } else if (pack > m_table.back().dwVOBUAddr) {
            Push(pack);
        }
    }
    void PictureStart(uint64_t pack, bool intra) {
        m_current = VobuOf(pack);
        if (intra && !m_refDone[m_current]) {
            m_refDone[m_current] = true;
            m_refOpen = true;
            m_refVobu = m_current;
            m_refFields = 0;
        }
    }
    // The picture begun last ends in `lastPack`; it had `fields` fields.
    void PictureEnd(uint64_t lastPack, DWORD fields) {
        m_fields[m_current] += fields;
        if (!m_refOpen) return;
        // A reference picture coded as two fields ends with its second.
        m_refFields += fields;
        if (m_refFields < 2) return;
        const uint64_t start = m_table[m_refVobu].dwVOBUAddr;
        const uint64_t size = lastPack >= start ? lastPack - start + 1 : 1;
        m_table[m_refVobu].b1stRefSz = static_cast<BYTE>(std::min(size, kMaxFirstRef));
        m_refOpen = false;
    }
    // Closes the table behind the last of `packs` sectors and checks what
    // the time map can hold. *frames gets the number of video frames: the
    // sum over the VOBUs, so that the table and the total agree also when a
    // VOBU holds an odd number of field pictures (its lone field counts as a
    // frame).
    bool Close(uint64_t packs, DWORD* frames, AnalysisError* error) {
        if (m_table.empty()) Push(0);
        if (!CheckCount(error)) return false;
        uint64_t total = 0;
        for (size_t i = 0; i < m_table.size(); ++i) {
            const uint64_t next = i + 1 < m_table.size() ? m_table[i + 1].dwVOBUAddr : packs;
            const uint64_t sectors = next - m_table[i].dwVOBUAddr;
            const DWORD vobuFrames = (m_fields[i] + 1) / 2;
            const std::string which =
                "VOBU " + std::to_string(i + 1) + " (sector " + std::to_string(m_table[i].dwVOBUAddr) + ")";
            if (vobuFrames > kMaxVobuFrames) {
                error->code = VRO_ERR_VOBU_TOO_LONG;
                error->reason =
                    "has " + which + " of " + std::to_string(vobuFrames) + " frames; a VOBU can play at most 31 frames";
                return false;
            }
            if (sectors > kMaxVobuSectors) {
                error->code = VRO_ERR_VOBU_TOO_LARGE;
                error->reason = "has " + which + " of " + std::to_string(sectors) +
                                " sectors; a VOBU can span at most 1023 sectors";
                return false;
            }
            m_table[i].bVOBUFrames = static_cast<BYTE>(vobuFrames);
            total += vobuFrames;
        }
        m_table.push_back(VR_VOBU_ELEMENT{static_cast<DWORD>(packs), 0, 0, 0, 0});
        *frames = static_cast<DWORD>(total);
        return true;
    }
    std::vector<VR_VOBU_ELEMENT>& Table() { return m_table; }
    // Room for the VOBUs of a stream of `packs` packs: a VOBU spans at least
    // one pack, and the table never holds more than the format allows, so
    // the table is never copied while it grows. Only the part used takes
    // memory.
    void Reserve(uint64_t packs) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(packs, kMaxVobus) + 2);
        m_table.reserve(n);
        m_fields.reserve(n);
        m_refDone.reserve(n);
    }
    // False, with the error, once the stream has more VOBUs than a
    // recording can hold; the table stops growing there.
    bool CheckCount(AnalysisError* error) const {
        if (!m_overflow) return true;
        error->code = VRO_ERR_TOO_MANY_VOBUS;
        error->reason = "has more than 65535 VOBUs; a recording holds at most 65535";
        return false;
    }

private:
    void Push(uint64_t pack) {
        if (m_table.size() == kMaxVobus) {
            m_overflow = true;
            return;
        }
        m_table.push_back(VR_VOBU_ELEMENT{static_cast<DWORD>(pack), 0, 0, 0, 0});
        m_fields.push_back(0);
        m_refDone.push_back(false);
    }
    size_t VobuOf(uint64_t pack) {
        if (m_table.empty()) Push(0);
        size_t i = m_table.size() - 1;
        while (i > 0 && m_table[i].dwVOBUAddr > pack) --i;
        return i;
    }

    std::vector<VR_VOBU_ELEMENT> m_table;  // without the closing element until Close
    std::vector<DWORD> m_fields;  // video fields per VOBU
    std::vector<bool> m_refDone;
    bool m_overflow = false;  // a VOBU beyond the 65535th began
    size_t m_current = 0;  // VOBU of the picture begun last
    bool m_refOpen = false;  // a first reference picture has not ended yet
    size_t m_refVobu = 0;
    DWORD m_refFields = 0;
};

class MovieAnalyser {
public:
    MovieAnalyser(bool quick, ProgressCallback cb, void* context) : m_quick(quick), m_cb(cb), m_context(context) {}
    // Reads only packs [first, first + packs) of the file given to Run.
    void SetRange(uint64_t first, uint64_t packs) {
        m_range = true;
        m_first = first;
        m_count = packs;
    }
    bool Run(const char* path, VR_MPEGFILE_INFO* info, std::vector<VR_VOBU_ELEMENT>* table, AnalysisError* error);

private:
    bool OnStartCode(const VideoStartCode& sc, AnalysisError* error);
    void EndPicture(uint64_t lastPack);
    bool Drain(AnalysisError* error);
    // Opens the file (or its range) given to Run.
    bool Open(const char* path, PackReader& reader, AnalysisError* error);
    // Follows one pack: navigation packs begin VOBUs, the video goes to the
    // scanner (and its time stamps to the clock), the first audio stream's
    // format is probed.
    bool ReadPack(const PsPack& pack, AnalysisError* error);
    bool ReadAudio(const PsPacket& packet, AnalysisError* error);
    // After the last pack (not quick): the stream has pictures, and audio a
    // recording can carry.
    bool CheckPicturesAndAudio(AnalysisError* error);
    // The recording's start and end time from its time stamps (from 0 when
    // it has none); frames is its length in frames.
    bool FillTimes(DWORD frames, VR_MPEGFILE_INFO* result, AnalysisError* error);

    bool m_quick;
    bool m_range = false;
    uint64_t m_first = 0, m_count = 0;
    ProgressCallback m_cb;
    void* m_context;

    VideoScanner m_scanner;
    VideoFormat m_format;
    PictureClock m_clock;
    // VOBUs begun by navigation packs, and by sequence or group headers
    // before intra pictures (kept only while no navigation pack is seen).
    VobuBuilder m_nav, m_gop;
    bool m_navSeen = false;
    bool m_videoSeen = false;
    uint64_t m_lastVideoPack = 0;
    uint64_t m_pictures = 0;
    // A sequence or GOP header since the last picture: where a VOBU begins
    // when an intra picture follows.
    bool m_haveCandidate = false;
    uint64_t m_candidatePack = 0;
    bool m_pictureOpen = false;
    BYTE m_structure = 3;  // picture_structure of the open picture (3: frame)
    // The first audio stream, while its format is probed (not quick).
    FirstAudioStream m_audio;
    bool m_audioKnown = false;
};

void MovieAnalyser::EndPicture(uint64_t lastPack) {
    if (!m_pictureOpen) return;
    const DWORD fields = m_structure == 3 ? 2 : 1;
    m_nav.PictureEnd(lastPack, fields);
    if (!m_navSeen) m_gop.PictureEnd(lastPack, fields);
    m_pictureOpen = false;
}

bool MovieAnalyser::OnStartCode(const VideoStartCode& sc, AnalysisError* error) {
    if (!m_format.OnStartCode(sc, error)) return false;
    if (!m_format.HaveSequence()) return true;  // nothing counts before the first sequence header
    m_clock.SetFrame(m_format.FrameTicks());
    switch (sc.code) {
        case kSequenceHeader:
        case kGroupStart:
            EndPicture(sc.packBefore);
            if (!m_haveCandidate) {
                m_haveCandidate = true;
                m_candidatePack = sc.pack;
            }
            m_clock.OnGroup();
            break;
        case kSequenceEnd: EndPicture(sc.packBefore); break;
        case kExtensionStart: {
            SequenceExtension ext;
            BYTE structure = 3;
            if (m_pictureOpen && ParseExtension(sc.bytes, sc.size, &ext, &structure) == 2 && structure != 0) {
                m_structure = structure;
            }
            break;
        }
        case kPictureStart: {
            EndPicture(sc.packBefore);
            BYTE type = 0;
            DWORD tref = 0;
            if (!ParsePictureHeader(sc.bytes, sc.size, &type, &tref)) {
                error->code = VRO_ERR_BAD_STREAM;
                error->reason = "has a cut-off picture header in pack " + std::to_string(sc.pack);
                return false;
            }
            const bool intra = type == 1;
            if (intra && m_haveCandidate && !m_navSeen) m_gop.Start(m_candidatePack);
            m_haveCandidate = false;
            m_nav.PictureStart(sc.pack, intra);
            if (!m_navSeen) m_gop.PictureStart(sc.pack, intra);
            m_pictureOpen = true;
            m_structure = 3;
            m_clock.OnPicture(sc.offset, tref);
            int64_t back = 0;
            if (m_clock.JumpedBack(&back)) {
                // One recording's time runs on; a clock that starts again
                // would give the recording the length of its last part.
                error->code = VRO_ERR_BAD_STREAM;
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.2f", double(back) / 90000.0);
                error->reason = std::string("has time stamps that jump back by ") + seconds + " s at byte " +
                                std::to_string(sc.pack * kSectorBytes) + " (pack " + std::to_string(sc.pack) +
                                "), as where two recordings were joined; add each recording as a file of its own";
                return false;
            }
            ++m_pictures;
            break;
        }
        default: break;
    }
    return true;
}

bool MovieAnalyser::Drain(AnalysisError* error) {
    VideoStartCode sc;
    while (m_scanner.Next(&sc)) {
        if (!OnStartCode(sc, error)) return false;
        if (m_quick && m_format.Known()) return true;
    }
    return true;
}

bool MovieAnalyser::Open(const char* path, PackReader& reader, AnalysisError* error) {
    if (m_range ? !reader.OpenRange(path, m_first, m_count, error) : !reader.Open(path, error)) return false;
    if (reader.Packs() > kMaxSectors) {
        error->code = VRO_ERR_STREAM_TOO_LARGE;
        error->reason = "is larger than 4,294,967,295 sectors";
        return false;
    }
    if (!m_quick) {
        m_nav.Reserve(reader.Packs());
        m_gop.Reserve(reader.Packs());
    }
    return true;
}

bool MovieAnalyser::ReadAudio(const PsPacket& packet, AnalysisError* error) {
    if (!m_audio.Takes(packet)) return true;
    const int a = m_audio.probe->Feed(packet, &error->reason);
    if (a < 0) {
        error->code = VRO_ERR_AUDIO;
        return false;
    }
    m_audioKnown = a > 0;
    return true;
}

bool MovieAnalyser::ReadPack(const PsPack& pack, AnalysisError* error) {
    for (const PsPacket& packet : pack.packets) {
        if (packet.id == kPrivateStream2) {
            // Navigation packs divide the stream: the division by group
            // headers is no longer needed.
            if (!m_navSeen) m_gop = VobuBuilder();
            m_navSeen = true;
            m_nav.Start(pack.index);
        } else if (packet.id == kVideoFirst) {
            m_videoSeen = true;
            if (packet.size == 0) continue;
            m_lastVideoPack = pack.index;
            const uint64_t begin = m_scanner.Offset();
            if (packet.hasPts) m_clock.OnPacket(begin, begin + packet.size, packet.pts);
            m_scanner.Feed(packet.data, packet.size, pack.index);
        } else if (!m_quick && !m_audioKnown) {
            if (!ReadAudio(packet, error)) return false;
        }
    }
    return Drain(error);
}

bool MovieAnalyser::CheckPicturesAndAudio(AnalysisError* error) {
    if (m_pictures == 0) {
        error->code = VRO_ERR_NO_VIDEO;
        error->reason = "has no video pictures";
        return false;
    }
    if (m_audio.key >= 0 && !m_audioKnown) {
        error->code = VRO_ERR_AUDIO;
        error->reason = "has an audio stream without a recognisable frame header";
        return false;
    }
    // The stream attributes can describe 48 kHz audio only.
    if (m_audioKnown && m_audio.probe->Format().sampleRate != 48000) {
        error->code = VRO_ERR_AUDIO;
        error->reason = "has audio sampled at " + std::to_string(m_audio.probe->Format().sampleRate) +
                        " Hz, but a recording carries 48 kHz audio only";
        return false;
    }
    return true;
}

bool MovieAnalyser::FillTimes(DWORD frames, VR_MPEGFILE_INFO* result, AnalysisError* error) {
    int64_t first = 0, end = 0;
    const int64_t frame27 = m_format.FrameTicks() * 300;
    if (!m_clock.Range(&first, &end)) {  // no time stamps: the video runs from 0
        result->llVideoStartPTS = 0;
        result->llVideoEndPTS = int64_t(frames) * frame27;
        return true;
    }
    // The management file keeps the low 32 bits of the 90 kHz clock (PTM):
    // a recording whose clock passes a multiple of 2^32 ticks (13 h 15 min,
    // and the 33-bit wrap) would end before it starts.
    if ((first >> 32) != ((end - 1) >> 32)) {
        const int64_t turn = ((first >> 32) + 1) << 32;
        char at[48];
        std::snprintf(at, sizeof at, "%lld:%02lld:%02lld", static_cast<long long>(turn / 90000 / 3600),
                      static_cast<long long>(turn / 90000 / 60 % 60), static_cast<long long>(turn / 90000 % 60));
        error->code = VRO_ERR_BAD_STREAM;
        error->reason = std::string("has time stamps that pass ") + at +
                        " of the stream clock, where the 32-bit times of the management file turn over; "
                        "remux it with time stamps from 0 to add it";
        return false;
    }
    result->llVideoStartPTS = first * 300;
    result->llVideoEndPTS = end * 300;
    return true;
}

bool MovieAnalyser::Run(const char* path, VR_MPEGFILE_INFO* info, std::vector<VR_VOBU_ELEMENT>* table,
                        AnalysisError* error) {
    PackReader reader(m_quick ? 64 * 1024 : PackReader::kBlock);
    if (!Open(path, reader, error)) return false;
    AnalysisProgress progress(m_quick ? nullptr : m_cb, m_context, reader.Packs());
    auto cancelled = [error] {
        error->code = VRO_ERR_CANCELLED;
        error->reason = "was not analysed: the analysis was cancelled";
        return false;
    };
    if (!progress.Advance(0)) return cancelled();
    PsPack pack;
    for (;;) {
        const int r = reader.Next(&pack, error);
        if (r < 0) return false;
        if (r == 0) break;
        if (!ReadPack(pack, error)) return false;
        if (m_quick && m_format.Known()) break;
        // Navigation packs decide the VOBUs: too many is final.
        if (m_navSeen && !m_nav.CheckCount(error)) return false;
        if (!progress.Advance(pack.index + 1)) return cancelled();
    }
    m_scanner.Finish();
    if (!Drain(error)) return false;
    m_format.Finish();
    if (!m_format.HaveSequence()) {
        error->code = VRO_ERR_NO_VIDEO;
        error->reason = m_videoSeen ? "has no MPEG video sequence header" : "has no MPEG video stream (0xE0)";
        return false;
    }
    VR_MPEGFILE_INFO result{};
    m_format.Fill(&result);
    if (m_quick) {
        *info = result;
        table->clear();
        return true;
    }
    EndPicture(m_lastVideoPack);
    if (!CheckPicturesAndAudio(error)) return false;
    FillAudio(&result, m_audioKnown ? &m_audio.probe->Format() : nullptr);
    VobuBuilder& vobus = m_navSeen ? m_nav : m_gop;
    DWORD frames = 0;
    if (!vobus.Close(reader.Packs(), &frames, error)) return false;
    result.dwFrameNs = frames;
    result.dwVOBUNs = static_cast<DWORD>(vobus.Table().size() - 1);
    if (!FillTimes(frames, &result, error)) return false;
    if (!progress.Finish()) return cancelled();
    *info = result;
    table->swap(vobus.Table());
    return true;
}

}  // namespace

bool AnalyseMovieRange(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                       VR_MPEGFILE_INFO* info, std::vector<VR_VOBU_ELEMENT>* table, AnalysisError* error) {
    MovieAnalyser analyser(false, cb, context);
    analyser.SetRange(first, packs);
    return analyser.Run(path, info, table, error);
}

}  // namespace vrm

int CVR_MOVIE::fnCheckRecordedRange(DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    const std::string path = fnGetStreamPath();
    if (path.empty()) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (sectors == 0) return Fail(VRO_ERR_BAD_ARGUMENT, path);
    try {
        VR_MPEGFILE_INFO info{};
        std::vector<VR_VOBU_ELEMENT> table;
        vrm::AnalysisError error;
        const std::string at = path + " from sector " + std::to_string(firstSector);
        if (!vrm::AnalyseMovieRange(path.c_str(), firstSector, sectors, progress, static_cast<CVRO_DATA*>(this), &info,
                                    &table, &error)) {
            return FailAnalysis(error, at.c_str());
        }
        return KeepMovieAnalysis(path.c_str(), info, &table);
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, path);
    }
}

int CVRO_DATA::KeepMovieAnalysis(const char* file, const VR_MPEGFILE_INFO& info, std::vector<VR_VOBU_ELEMENT>* table) {
    fnSetAnalysedFileName(file);
    m_Table.swap(*table);
    m_MpegFileInfo = info;
    m_MpegFileInfo.pVOBUTable = m_Table.empty() ? nullptr : m_Table.data();
    return 1;
}

int CVR_MOVIE::fnCheckAppendVOB(const char* file, ProgressCallback progress, DWORD quickCheck) {
    if (!file || !*file) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    try {
        VR_MPEGFILE_INFO info{};
        std::vector<VR_VOBU_ELEMENT> table;
        vrm::AnalysisError error;
        vrm::MovieAnalyser analyser(quickCheck == 1, progress, static_cast<CVRO_DATA*>(this));
        if (!analyser.Run(file, &info, &table, &error)) return FailAnalysis(error, file);
        return KeepMovieAnalysis(file, info, &table);
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, file);
    }
}
