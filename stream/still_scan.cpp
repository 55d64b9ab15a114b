// The scan that finds still pictures in a still stream file without tables:
// one pass that divides the stream at each picture start, then the still
// analysis of each picture where it lies, joining neighbours into groups.
#include "stream/still_scan.h"

#include <algorithm>
#include <string>

#include "stream/scan_common.h"

namespace vrm {

namespace {

using scan::Cancelled;
using scan::IsVideoStart;
using scan::Malformed;
using scan::Stretch;

constexpr DWORD kMaxGroupPictures = 255;  // S_VOB_Ns is 8 bits

// The split pass: the stream divided at every picture start (one piece of
// kind VR_FOUND_STILLS per picture), the damaged stretches between, and the
// unused ones (sectors of zeros, which end the picture in front of them).
class PictureSplitter {
public:
    PictureSplitter(std::vector<ScanPiece>* pieces, uint64_t base) : m_pieces(pieces), m_base(base) {}

    bool Run(PackReader& reader, uint64_t packs, AnalysisProgress& progress, AnalysisError* error) {
        PsPack pack;
        for (;;) {
            AnalysisError bad;
            const int r = reader.Next(&pack, &bad);
            if (r == 0) break;
            if (r < 0 && bad.code != VRO_ERR_BAD_STREAM) {
                *error = bad;
                return false;
            }
            const uint64_t index = pack.index;  // also of a pack that does not parse
            if (!progress.Advance(std::min(index + 1, packs))) return Cancelled(error);
            if (r < 0 && pack.zeroed) {
                if (m_state != State::Unused) EndAt(index), m_start = index;
                m_state = State::Unused;
                continue;
            }
            if (m_state == State::Unused) EndAt(index);
            if (r < 0) {
                // The picture holding the bad pack is lost with it.
                if (m_state != State::Damaged) {
                    if (m_state == State::Start) m_start = index;
                    m_damageWhy = Malformed(bad, m_base + index);
                    m_state = State::Damaged;
                }
                continue;
            }
            if (pack.ended && reader.Packs() == pack.index) {
                // A program end code in place of a pack header.
                EndAt(pack.index);
                Add(VR_FOUND_DAMAGED, pack.index, pack.index + 1, "a program end code in place of a pack");
                reader.Seek(pack.index + 1);
                continue;
            }
            Take(pack);
            if (pack.ended) {  // the end code closes the picture; reading goes on behind it
                EndAt(pack.index + 1);
                reader.Seek(pack.index + 1);
            }
        }
        EndAt(packs);
        return true;
    }

private:
    enum class State { Start, Picture, Damaged, Unused };

    void Add(DWORD kind, uint64_t first, uint64_t end, const std::string& text) {
        scan::AddPiece(m_pieces, m_base, kind, first, end, text);
    }

    // Whatever is open ends in front of pack `end`.
    void EndAt(uint64_t end) {
        if (m_state == State::Picture) Add(VR_FOUND_STILLS, m_start, end, "");
        if (m_state == State::Damaged) Add(VR_FOUND_DAMAGED, m_start, end, m_damageWhy);
        if (m_state == State::Unused) Add(VR_FOUND_UNUSED, m_start, end, scan::kUnusedText);
        m_state = State::Start;
    }

    void Take(const PsPack& pack) {
        bool navigation = false, videoStart = false, video = false;
        for (const PsPacket& p : pack.packets) {
            navigation = navigation || p.id == kPrivateStream2;
            videoStart = videoStart || IsVideoStart(p);
            video = video || (p.id == kVideoFirst && p.size > 0);
        }
        // A navigation pack begins a picture, and so does a sequence header
        // that does not follow one; anything that parses begins one behind
        // a stretch that held none, which the analysis then judges.
        const bool begins = m_state == State::Start || ((navigation || videoStart) && m_pictureVideo);
        if (m_state == State::Damaged && !navigation && !videoStart) return;
        if (begins || m_state == State::Damaged) {
            EndAt(pack.index);
            m_state = State::Picture;
            m_start = pack.index;
            m_pictureVideo = false;
        }
        m_pictureVideo = m_pictureVideo || video;
    }

    std::vector<ScanPiece>* m_pieces;
    uint64_t m_base;
    State m_state = State::Start;
    uint64_t m_start = 0;  // the picture's or the damaged stretch's first pack
    bool m_pictureVideo = false;  // the open picture has video data
    std::string m_damageWhy;
};

// Why a picture cannot join a group of the first picture's attributes
// (audio: of the group's first picture with audio); null when it can.
const char* Differs(const StillRange& group, const StillRange& picture) {
    const VR_MPEGFILE_INFO& a = group.info;
    const VR_MPEGFILE_INFO& b = picture.info;
    if (a.dwWidth != b.dwWidth || a.dwHeight != b.dwHeight) return "the picture size changes";
    if (a.bAspectRatio != b.bAspectRatio) return "the aspect ratio changes";
    if (a.dwFrameRate != b.dwFrameRate) return "the frame rate changes";
    if (a.dwMpeg2 != b.dwMpeg2) return "the video coding changes";
    if (group.audioKey < 0 || picture.audioKey < 0) return nullptr;
    if (group.audioKey != picture.audioKey || a.dwAudioCodingBits != b.dwAudioCodingBits ||
        a.dwSampleRate != b.dwSampleRate || a.dwAudioMode != b.dwAudioMode || a.dwAudioChannels != b.dwAudioChannels ||
        a.dwAudioBitrate != b.dwAudioBitrate)
        return "the audio changes";
    return nullptr;
}

// Collects the found stretches: groups of pictures and damaged stretches.
class Grouper {
public:
    explicit Grouper(std::vector<VR_FOUND_STRETCH>* found) : m_found(found) {}

    // A damaged or unused stretch: it ends the open group.
    void Other(DWORD kind, uint64_t first, uint64_t sectors, const std::string& why) {
        Close(kind == VR_FOUND_UNUSED ? "unused sectors" : "damaged data");
        scan::Append(m_found, Stretch(kind, first, sectors, why));
    }

    void Picture(uint64_t first, uint64_t sectors, const StillRange& picture) {
        if (m_open) {
            const char* change = Differs(m_group, picture);
            if (!change && m_pictures + picture.info.dwFrameNs > kMaxGroupPictures) {
                change = "a group holds at most 255 pictures";
            }
            if (change) Close(change);
        }
        if (!m_open) {
            m_open = true;
            m_first = first;
            m_sectors = 0;
            m_pictures = 0;
            m_group = picture;
        } else if (m_group.audioKey < 0 && picture.audioKey >= 0) {
            // The group's audio: that of its first picture with audio.
            VR_MPEGFILE_INFO& g = m_group.info;
            const VR_MPEGFILE_INFO& p = picture.info;
            m_group.audioKey = picture.audioKey;
            g.dwAudioCodingBits = p.dwAudioCodingBits;
            g.dwSampleRate = p.dwSampleRate;
            g.dwAudioMode = p.dwAudioMode;
            g.dwAudioChannels = p.dwAudioChannels;
            g.dwAudioBitrate = p.dwAudioBitrate;
        }
        m_sectors += sectors;
        m_pictures += picture.info.dwFrameNs;
    }

    void Close(const char* why) {
        if (!m_open) return;
        m_open = false;
        VR_FOUND_STRETCH s = Stretch(VR_FOUND_STILLS, m_first, m_sectors, why);
        scan::Describe(&s, m_group.info);
        s.dwFrames = m_pictures;
        m_found->push_back(s);
    }

private:
    std::vector<VR_FOUND_STRETCH>* m_found;
    bool m_open = false;
    uint64_t m_first = 0, m_sectors = 0;
    DWORD m_pictures = 0;
    StillRange m_group;
};

}  // namespace

bool ScanStillStream(const char* path, uint64_t firstSector, ProgressCallback cb, void* context,
                     std::vector<VR_FOUND_STRETCH>* found, AnalysisError* error) {
    uint64_t whole = 0, tail = 0;
    if (!scan::Measure(path, &whole, &tail, error)) return false;
    const uint64_t packs = whole > firstSector ? whole - firstSector : 0;
    // Progress: the split reads every pack, the analyses read the pictures
    // again.
    scan::ProgressPart part{cb, context, 0, 2 * packs};
    std::vector<ScanPiece> pieces;
    if (packs > 0) {
        PackReader reader;
        if (!reader.OpenRange(path, firstSector, packs, error)) return false;
        AnalysisProgress progress(part.Callback(), &part, packs);
        if (!progress.Advance(0)) return Cancelled(error);
        PictureSplitter splitter(&pieces, firstSector);
        if (!splitter.Run(reader, packs, progress, error)) return false;
    }
    found->clear();
    Grouper groups(found);
    part.before = packs;
    for (const ScanPiece& piece : pieces) {
        if (piece.kind != VR_FOUND_STILLS) {
            groups.Other(piece.kind, piece.first, piece.sectors, piece.text);
        } else {
            StillRange picture;
            AnalysisError why;
            if (AnalyseStillRange(path, piece.first, piece.sectors, part.Callback(), &part, &picture, &why)) {
                groups.Picture(piece.first, piece.sectors, picture);
            } else if (scan::Fatal(why)) {
                *error = why;
                return false;
            } else {
                groups.Other(VR_FOUND_DAMAGED, piece.first, piece.sectors, "holds no still picture: it " + why.reason);
            }
        }
        part.before += piece.sectors;
    }
    groups.Close("the end of the stream");
    if (tail != 0 && whole >= firstSector) scan::AddPartialSector(found, whole, tail);
    return part.Finish(error);
}

}  // namespace vrm
