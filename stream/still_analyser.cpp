// CVR_STILL::fnCheckAppendVOB: analyses an MPEG program stream of still
// pictures as one still VOG. Each picture is an intra picture (with the
// sequence and GOP headers in front of it) that begins in a pack of its
// own; the audio packs up to the next picture belong to it. The VOG written
// to VR_STILL.VRO holds, per picture, its video part (the packs of its video
// and navigation data) and then its audio part (its audio packs), both in
// whole source packs; packs of other streams and padding are left out.
#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "stream/CVRO_DATA.h"
#include "stream/audio_es.h"
#include "stream/ps_reader.h"
#include "stream/still_scan.h"
#include "stream/video_es.h"
#include "stream/video_format.h"

namespace vrm {

namespace {

constexpr size_t kMaxPictures = 255;
constexpr DWORD kMaxVideoPart = 255;  // V_PART_SZ is 8 bits
constexpr DWORD kMaxAudioPart = 0xFFFF;  // OA_PART_SZ is 16 bits
constexpr uint64_t kSamplesPerAudioFrame = 1152;

enum PackKind : BYTE { kOther, kVideo, kNavigation, kAudio };

struct StillLayout {
    VR_MPEGFILE_INFO info{};
    std::vector<VR_VOBU_ELEMENT> table;
    std::vector<CVRO_DATA::SectorRun> runs;
    int audioKey = -1;
};

void AddRun(std::vector<CVRO_DATA::SectorRun>* runs, uint64_t pack) {
    if (!runs->empty() && uint64_t(runs->back().first) + runs->back().count == pack) {
        ++runs->back().count;
    } else {
        runs->push_back(CVRO_DATA::SectorRun{static_cast<DWORD>(pack), 1});
    }
}

bool Refuse(AnalysisError* error, DWORD code, const std::string& reason) {
    error->code = code;
    error->reason = reason;
    return false;
}

// Merges runs that meet across parts.
void MergeRuns(std::vector<CVRO_DATA::SectorRun>* runs) {
    std::vector<CVRO_DATA::SectorRun> merged;
    for (const CVRO_DATA::SectorRun& r : *runs) {
        if (!merged.empty() && uint64_t(merged.back().first) + merged.back().count == r.first) {
            merged.back().count += r.count;
        } else {
            merged.push_back(r);
        }
    }
    runs->swap(merged);
}

// One pass over the packs of a still VOG: sorts each pack by what it
// carries, counts the audio samples of each audio pack and finds the first
// pack of each picture from the video start codes; then lays the pictures
// out.
class StillAnalysis {
public:
    explicit StillAnalysis(AnalysisError* error) : error_(error) {}

    // Sorts one pack and follows the start codes its video completes.
    bool ReadPack(const PsPack& pack);
    // After the last pack: the start codes still held, then whether the
    // stream is one a still VOG can be made of.
    bool Finish();
    // Lays the pictures out into out.
    bool Lay(StillLayout* out);

private:
    // What one pack carries.
    struct PackContent {
        bool video = false, navigation = false, audio = false;
        uint64_t samples = 0;
    };

    // An audio packet of the pack: the first audio stream seen is the one
    // kept; its format is probed, then its samples counted.
    bool ReadAudio(const PsPacket& packet, PackContent* content);
    bool DrainStartCodes();
    bool OnStartCode(const VideoStartCode& sc);
    bool OnPictureStart(const VideoStartCode& sc);
    bool LayPicture(size_t i, DWORD* addr, size_t* audioIndex, StillLayout* out);

    AnalysisError* error_;
    VideoScanner scanner_;
    VideoFormat format_;
    std::vector<BYTE> kinds_;  // per pack
    std::vector<uint64_t> samples_;  // per audio pack, in order
    std::vector<uint64_t> starts_;  // first pack of each picture
    FirstAudioStream audio_;
    std::unique_ptr<AudioSampleCounter> counter_;
    bool videoSeen_ = false;
    // The first header of the next picture (sequence, GOP or picture header).
    bool haveFirst_ = false;
    VideoStartCode first_;
    BYTE structure_ = 3;
    bool pictureOpen_ = false;
};

bool StillAnalysis::OnStartCode(const VideoStartCode& sc) {
    if (!format_.OnStartCode(sc, error_)) return false;
    if (sc.code == kExtensionStart && pictureOpen_) {
        SequenceExtension ext;
        BYTE s = 3;
        if (ParseExtension(sc.bytes, sc.size, &ext, &s) == 2 && s != 0) structure_ = s;
        return true;
    }
    if (sc.code == kSequenceHeader || sc.code == kGroupStart) {
        pictureOpen_ = false;
        if (!haveFirst_) {
            haveFirst_ = true;
            first_ = sc;
        }
        return true;
    }
    if (sc.code != kPictureStart) return true;
    if (pictureOpen_ && structure_ != 3 && !haveFirst_) {
        // The second field of the field-coded picture begun last.
        pictureOpen_ = false;
        return true;
    }
    return OnPictureStart(sc);
}

bool StillAnalysis::OnPictureStart(const VideoStartCode& sc) {
    BYTE type = 0;
    DWORD tref = 0;
    if (!ParsePictureHeader(sc.bytes, sc.size, &type, &tref)) {
        return Refuse(error_, VRO_ERR_BAD_STREAM, "has a cut-off picture header in pack " + std::to_string(sc.pack));
    }
    const std::string number = std::to_string(starts_.size() + 1);
    if (type != 1) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES,
                      "has picture " + number + " that is not an intra picture, so it is not a still picture");
    }
    const VideoStartCode& head = haveFirst_ ? first_ : sc;
    haveFirst_ = false;
    if (head.hasBefore && head.packBefore == head.pack) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES,
                      "has picture " + number + " beginning inside pack " + std::to_string(head.pack) +
                          " behind the previous picture; each still picture must begin in a pack of its own");
    }
    if (starts_.size() == kMaxPictures) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES, "has more than 255 pictures");
    }
    starts_.push_back(head.pack);
    pictureOpen_ = true;
    structure_ = 3;
    return true;
}

bool StillAnalysis::DrainStartCodes() {
    VideoStartCode sc;
    while (scanner_.Next(&sc)) {
        if (!OnStartCode(sc)) return false;
    }
    return true;
}

bool StillAnalysis::ReadAudio(const PsPacket& packet, PackContent* content) {
    if (!audio_.Takes(packet)) return true;
    content->audio = true;
    if (!counter_) {
        const int a = audio_.probe->Feed(packet, &error_->reason);
        if (a < 0) {
            error_->code = VRO_ERR_AUDIO;
            return false;
        }
        if (a > 0) counter_ = std::make_unique<AudioSampleCounter>(audio_.key, audio_.probe->Format());
    }
    if (counter_) content->samples += counter_->Feed(packet);
    return true;
}

bool StillAnalysis::ReadPack(const PsPack& pack) {
    PackContent content;
    for (const PsPacket& packet : pack.packets) {
        if (packet.id == kPrivateStream2) {
            content.navigation = true;
        } else if (packet.id == kVideoFirst) {
            content.video = true;
            if (packet.size) {
                videoSeen_ = true;
                scanner_.Feed(packet.data, packet.size, pack.index);
            }
        } else if (!ReadAudio(packet, &content)) {
            return false;
        }
    }
    if (content.video && content.audio) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES,
                      "has pack " + std::to_string(pack.index) +
                          " carrying both video and audio, which a still picture cannot split");
    }
    kinds_.push_back(content.video ? kVideo : content.audio ? kAudio : content.navigation ? kNavigation : kOther);
    if (content.audio) samples_.push_back(content.samples);
    return DrainStartCodes();
}

bool StillAnalysis::Finish() {
    scanner_.Finish();
    if (!DrainStartCodes()) return false;
    format_.Finish();
    if (!format_.HaveSequence()) {
        return Refuse(error_, VRO_ERR_NO_VIDEO,
                      videoSeen_ ? "has no MPEG video sequence header" : "has no MPEG video stream (0xE0)");
    }
    if (starts_.empty()) return Refuse(error_, VRO_ERR_NO_VIDEO, "has no pictures");
    if (audio_.key >= 0 && !counter_) {
        return Refuse(error_, VRO_ERR_AUDIO, "has an audio stream without a recognisable frame header");
    }
    // The stream attributes can describe 48 kHz audio only.
    if (counter_ && audio_.probe->Format().sampleRate != 48000) {
        return Refuse(error_, VRO_ERR_AUDIO,
                      "has audio sampled at " + std::to_string(audio_.probe->Format().sampleRate) +
                          " Hz, but a still picture carries 48 kHz audio only");
    }
    return true;
}

// Picture i runs from its first pack up to the next picture's first pack
// (the first picture from pack 0): its video and navigation packs make its
// video part, its audio packs its audio part.
bool StillAnalysis::LayPicture(size_t i, DWORD* addr, size_t* audioIndex, StillLayout* out) {
    const uint64_t begin = i == 0 ? 0 : starts_[i];
    const uint64_t end = i + 1 < starts_.size() ? starts_[i + 1] : kinds_.size();
    std::vector<CVRO_DATA::SectorRun> video, audio;
    DWORD videoPart = 0, audioPart = 0;
    uint64_t pictureSamples = 0;
    for (uint64_t p = begin; p < end; ++p) {
        if (kinds_[p] == kVideo || kinds_[p] == kNavigation) {
            AddRun(&video, p);
            ++videoPart;
        } else if (kinds_[p] == kAudio) {
            AddRun(&audio, p);
            ++audioPart;
            pictureSamples += samples_[(*audioIndex)++];
        }
    }
    const std::string number = std::to_string(i + 1);
    if (videoPart > kMaxVideoPart) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES,
                      "has picture " + number + " of " + std::to_string(videoPart) +
                          " sectors; a still picture can span at most 255 sectors");
    }
    if (audioPart > kMaxAudioPart) {
        return Refuse(error_, VRO_ERR_STILL_PICTURES,
                      "has " + std::to_string(audioPart) + " sectors of audio for picture " + number +
                          "; at most 65535 can be recorded");
    }
    VR_VOBU_ELEMENT e{};
    e.dwVOBUAddr = *addr;
    e.b1stRefSz = static_cast<BYTE>(videoPart);
    e.dwAudioPartSz = audioPart;
    e.dwAudioFrames = static_cast<DWORD>((pictureSamples + kSamplesPerAudioFrame / 2) / kSamplesPerAudioFrame);
    out->table.push_back(e);
    out->runs.insert(out->runs.end(), video.begin(), video.end());
    out->runs.insert(out->runs.end(), audio.begin(), audio.end());
    *addr += videoPart + audioPart;
    return true;
}

bool StillAnalysis::Lay(StillLayout* out) {
    // A picture begins with the navigation packs right in front of its
    // headers.
    for (size_t i = 1; i < starts_.size(); ++i) {
        while (starts_[i] > starts_[i - 1] + 1 && kinds_[starts_[i] - 1] == kNavigation) --starts_[i];
    }
    // Lay the pictures out: packs in front of the first picture belong to
    // it, and each picture runs up to the next one's first pack.
    format_.Fill(&out->info);
    FillAudio(&out->info, counter_ ? &audio_.probe->Format() : nullptr);
    size_t audioIndex = 0;
    DWORD addr = 0;
    for (size_t i = 0; i < starts_.size(); ++i) {
        if (!LayPicture(i, &addr, &audioIndex, out)) return false;
    }
    out->table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
    MergeRuns(&out->runs);
    out->info.dwFrameNs = static_cast<DWORD>(starts_.size());
    out->audioKey = audio_.key;
    return true;
}

// Analyses the packs the reader hands out (a whole file, or a range of a
// stream file) as one still VOG.
// progress, when not null, hears of every pack read.
bool AnalyseStill(PackReader& reader, StillLayout* out, AnalysisError* error, AnalysisProgress* progress = nullptr) {
    if (reader.Packs() > 0xFFFFFFFFu) return Refuse(error, VRO_ERR_STREAM_TOO_LARGE, "is too large");
    StillAnalysis analysis(error);
    PsPack pack;
    for (;;) {
        const int r = reader.Next(&pack, error);
        if (r < 0) return false;
        if (r == 0) break;
        if (progress && !progress->Advance(pack.index + 1)) {
            return Refuse(error, VRO_ERR_CANCELLED, "was not analysed: the analysis was cancelled");
        }
        if (!analysis.ReadPack(pack)) return false;
    }
    return analysis.Finish() && analysis.Lay(out);
}

}  // namespace

bool AnalyseStillRange(const char* path, uint64_t first, uint64_t packs, ProgressCallback cb, void* context,
                       StillRange* out, AnalysisError* error) {
    PackReader reader;
    if (!reader.OpenRange(path, first, packs, error)) return false;
    StillLayout layout;
    AnalysisProgress progress(cb, context, packs);
    if (!progress.Advance(0) || !AnalyseStill(reader, &layout, error, &progress) || !progress.Finish()) {
        if (error->code == 0) Refuse(error, VRO_ERR_CANCELLED, "was not analysed: the analysis was cancelled");
        return false;
    }
    // Registered where they lie, the packs must be the VOG's layout already:
    // each picture's video part, then its audio part, and nothing else.
    if (layout.runs.size() != 1 || layout.runs[0].first != 0 || layout.runs[0].count != packs) {
        return Refuse(error, VRO_ERR_STILL_PICTURES,
                      "holds packs that are no part of a still picture where they lie (padding, another stream, or "
                      "audio in front of its picture's video)");
    }
    out->info = layout.info;
    out->table.swap(layout.table);
    out->audioKey = layout.audioKey;
    return true;
}

}  // namespace vrm

int CVR_STILL::fnCheckAppendVOB(const char* file) {
    if (!file || !*file) return Fail(VRO_ERR_BAD_ARGUMENT, "");
    try {
        vrm::StillLayout layout;
        vrm::AnalysisError error;
        vrm::PackReader reader;
        if (!reader.Open(file, &error) || !vrm::AnalyseStill(reader, &layout, &error)) {
            return FailAnalysis(error, file);
        }
        fnSetAnalysedFileName(file);
        m_Table.swap(layout.table);
        m_AnalysedRuns.swap(layout.runs);
        m_MpegFileInfo = layout.info;
        m_MpegFileInfo.pVOBUTable = m_Table.data();
        return 1;
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, file);
    }
}

int CVR_STILL::fnCheckRecordedRange(DWORD firstSector, DWORD sectors, ProgressCallback progress) {
    const std::string path = fnGetStreamPath();
    if (path.empty()) return Fail(VRO_ERR_NOT_INITIALISED, "");
    if (sectors == 0) return Fail(VRO_ERR_BAD_ARGUMENT, path);
    try {
        vrm::StillRange range;
        vrm::AnalysisError error;
        const std::string at = path + " from sector " + std::to_string(firstSector);
        if (!vrm::AnalyseStillRange(path.c_str(), firstSector, sectors, progress, static_cast<CVRO_DATA*>(this), &range,
                                    &error)) {
            return FailAnalysis(error, at.c_str());
        }
        fnSetAnalysedFileName(path.c_str());  // also forgets the runs of a source file
        m_Table.swap(range.table);
        m_MpegFileInfo = range.info;
        m_MpegFileInfo.pVOBUTable = m_Table.data();
        return 1;
    } catch (const std::bad_alloc&) {
        return Fail(VRO_ERR_OUT_OF_MEMORY, path);
    }
}
