// Shared pieces of the analyser tests: writing a synthetic stream to a file
// and building the usual groups of pictures.
#ifndef VRMANGR_TESTS_STREAM_ANALYSER_FIXTURES_H
#define VRMANGR_TESTS_STREAM_ANALYSER_FIXTURES_H

#include <array>
#include <string>
#include <vector>

#include "stream/CVRO_DATA.h"
#include "support/ProgramStream.h"
#include "support/TempDir.h"

constexpr int64_t kPts0 = 90000;  // the first picture is shown at 1 s

// A record's stream attributes: frame rate, width, height, aspect code,
// MPEG-2, video bit/s, sampling rate, audio mode, audio kbit/s, audio coding.
using Attributes = std::array<DWORD, 10>;
inline Attributes AttributesOf(const VR_MPEGFILE_INFO& i) {
    return {i.dwFrameRate,    i.dwWidth,      i.dwHeight,     i.bAspectRatio,   i.dwMpeg2,
            i.dwVideoBitrate, i.dwSampleRate, i.dwAudioMode,  i.dwAudioBitrate, i.dwAudioCodingBits};
}

// A still record's picture table, closing element included, as {sector,
// video sectors, audio sectors, audio frames} per picture.
using Layout = std::vector<std::array<DWORD, 4>>;
inline Layout LayoutOf(const VR_MPEGFILE_INFO& i) {
    Layout out;
    for (DWORD k = 0; k <= i.dwFrameNs; ++k) {
        const VR_VOBU_ELEMENT& e = i.pVOBUTable[k];
        out.push_back({e.dwVOBUAddr, e.b1stRefSz, e.dwAudioPartSz, e.dwAudioFrames});
    }
    return out;
}

inline std::string WriteStream(const TempDir& dir, const std::string& name, const ps::Bytes& bytes) {
    const std::string path = dir.File(name);
    WriteWholeFile(path, bytes);
    return path;
}

// One group of pictures in coded order: sequence headers, GOP header, an I
// picture of iBytes, then `pFrames` P pictures of pBytes, all with a PTS.
// Returns the piece holding the headers and the I picture.
inline size_t QueueGop(ps::Muxer& m, const ps::VideoParams& v, int64_t firstPts, int pFrames, size_t iBytes = 5000,
                       size_t pBytes = 1000) {
    const int64_t frame = v.rateCode == 3 ? 3600 : 3003;
    const size_t head = m.Video(
        ps::Cat({ps::SequenceHeaders(v), ps::GroupHeader(), ps::Picture(ps::I, 0, iBytes, v.mpeg2)}), firstPts);
    for (int k = 1; k <= pFrames; ++k) {
        m.Video(ps::Picture(ps::P, unsigned(k), pBytes, v.mpeg2), firstPts + k * frame);
    }
    return head;
}

#endif
