// What the scans of a movie and of a still stream file without tables
// share: measuring the file, the found stretches, the reasons they give, and
// progress over their two passes (the split, then the analyses).
#ifndef VRMANGR_STREAM_SCAN_COMMON_H
#define VRMANGR_STREAM_SCAN_COMMON_H

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/ps_reader.h"
#include "stream/recording_scan.h"
#include "stream/video_es.h"
#include "stream/vro_common.h"

namespace vrm {
namespace scan {

// "sector 12 does not parse (stray bytes)": the reader's reason, with the
// sector counted in the stream file.
inline std::string Malformed(const AnalysisError& bad, uint64_t sector) {
    const size_t open = bad.reason.find('(');
    return "sector " + std::to_string(sector) + " does not parse" +
           (open == std::string::npos ? std::string() : " " + bad.reason.substr(open));
}

// A video packet that begins with a sequence header: where a stream without
// navigation packs starts a VOBU or a still picture.
inline bool IsVideoStart(const PsPacket& p) {
    return p.id == kVideoFirst && p.size >= 4 && p.data[0] == 0 && p.data[1] == 0 && p.data[2] == 1 &&
           p.data[3] == kSequenceHeader;
}

inline bool Cancelled(AnalysisError* error) {
    error->code = VRO_ERR_CANCELLED;
    error->reason = "was not scanned: the scan was cancelled";
    return false;
}

// An analysis failure that ends the scan, rather than making the stretch
// analysed a damaged one.
inline bool Fatal(const AnalysisError& why) {
    return why.code == VRO_ERR_CANCELLED || why.code == VRO_ERR_OUT_OF_MEMORY || why.code == VRO_ERR_SOURCE_READ;
}

// A found stretch of `kind` over sectors [first, first + sectors), saying
// `text` (cut to its field).
inline VR_FOUND_STRETCH Stretch(DWORD kind, uint64_t first, uint64_t sectors, const std::string& text) {
    VR_FOUND_STRETCH s{};
    s.dwKind = kind;
    s.dwFirstSector = static_cast<DWORD>(first);
    s.dwSectors = static_cast<DWORD>(sectors);
    s.llFirstByte = static_cast<__int64>(first * kSectorBytes);
    s.llBytes = static_cast<__int64>(sectors * kSectorBytes);
    const size_t n = std::min(text.size(), sizeof s.szText - 1);
    std::memcpy(s.szText, text.data(), n);
    s.szText[n] = '\0';
    return s;
}

// The attributes of a recording or still group as its analysis gives them.
inline void Describe(VR_FOUND_STRETCH* s, const VR_MPEGFILE_INFO& info) {
    s->dwFrameRate = info.dwFrameRate;
    s->dwWidth = info.dwWidth;
    s->dwHeight = info.dwHeight;
    s->dwAspectRatio = info.bAspectRatio;
    s->dwMpeg2 = info.dwMpeg2;
    s->dwAudioCodingBits = info.dwAudioCodingBits;
    s->dwSampleRate = info.dwSampleRate;
    s->dwAudioChannels = info.dwAudioChannels;
    s->dwAudioBitrate = info.dwAudioBitrate;
}

// What an unused stretch holds.
constexpr char kUnusedText[] = "nothing but zero bytes (never written, or given back)";

// Stretches of these kinds join one of the same kind right in front.
inline bool Joins(DWORD kind) { return kind == VR_FOUND_DAMAGED || kind == VR_FOUND_UNUSED; }

// Appends the piece of packs [first, end) of a split pass whose packs count
// from sector `base`; a damaged or unused piece right behind one of its
// kind joins it.
inline void AddPiece(std::vector<ScanPiece>* pieces, uint64_t base, DWORD kind, uint64_t first, uint64_t end,
                     const std::string& text) {
    if (end <= first) return;
    if (Joins(kind) && !pieces->empty() && pieces->back().kind == kind &&
        pieces->back().first + pieces->back().sectors == base + first) {
        pieces->back().sectors += end - first;
        return;
    }
    ScanPiece piece;
    piece.kind = kind;
    piece.first = base + first;
    piece.sectors = end - first;
    piece.text = text;
    pieces->push_back(piece);
}

// Appends s; a damaged or unused stretch right behind one of its kind joins
// it.
inline void Append(std::vector<VR_FOUND_STRETCH>* found, const VR_FOUND_STRETCH& s) {
    if (Joins(s.dwKind) && !found->empty() && found->back().dwKind == s.dwKind &&
        uint64_t{found->back().dwFirstSector} + found->back().dwSectors == s.dwFirstSector) {
        found->back().dwSectors += s.dwSectors;
        found->back().llBytes += s.llBytes;
        return;
    }
    found->push_back(s);
}

// The stream file's whole sectors, and the bytes of a partial sector behind
// them: 0 when there is none or when it is a lone program end code, which
// closes a stream. false, with error, when the file cannot be opened or has
// more sectors than a stream file may.
inline bool Measure(const char* path, uint64_t* whole, uint64_t* tail, AnalysisError* error) {
    File file;
    if (!file.Open(path, File::Mode::ReadExisting) || file.Size() < 0) {
        error->code = VRO_ERR_SOURCE_OPEN;
        error->reason = "cannot be opened for reading";
        return false;
    }
    const uint64_t size = uint64_t(file.Size());
    *whole = size / kSectorBytes;
    *tail = size % kSectorBytes;
    if (*tail == 4) {
        BYTE code[4] = {};
        if (file.ReadAt(size - 4, code, 4) == 4 && code[0] == 0 && code[1] == 0 && code[2] == 1 &&
            code[3] == kStreamEnd)
            *tail = 0;
    }
    if (*whole > kMaxSectors) {
        error->code = VRO_ERR_STREAM_TOO_LARGE;
        error->reason = "is larger than 4,294,967,295 sectors";
        return false;
    }
    return true;
}

// The partial sector of `tail` bytes behind `whole` sectors, as a damaged
// stretch.
inline void AddPartialSector(std::vector<VR_FOUND_STRETCH>* found, uint64_t whole, uint64_t tail) {
    VR_FOUND_STRETCH s = Stretch(VR_FOUND_DAMAGED, whole, 0, "a partial sector at the end of the file");
    s.llBytes = static_cast<__int64>(tail);
    found->push_back(s);
}

// Reports the progress of one part of the scan (a pass, an analysis) as
// part of the whole: both passes over `packs`.
struct ProgressPart {
    ProgressCallback cb;
    void* context;
    uint64_t before, total;
    static int Report(void* self, DWORD phase, DWORD done, DWORD, DWORD file) {
        const ProgressPart& p = *static_cast<ProgressPart*>(self);
        const uint64_t all = std::min<uint64_t>(p.before + done, p.total);
        return p.cb(p.context, phase, static_cast<DWORD>(std::min<uint64_t>(all, kMaxSectors)),
                    static_cast<DWORD>(std::min<uint64_t>(p.total, kMaxSectors)), file);
    }
    ProgressCallback Callback() const { return cb ? Report : nullptr; }
    // The last report, at the end of both passes; false when it cancels.
    bool Finish(AnalysisError* error) const {
        const DWORD all = static_cast<DWORD>(std::min<uint64_t>(total, kMaxSectors));
        if (cb && total > 0 && !cb(context, VRO_PROGRESS_ANALYSE, all, all, 1)) return Cancelled(error);
        return true;
    }
};

}  // namespace scan
}  // namespace vrm

#endif
