// Shared pieces of the stream tests: synthetic streams written to files,
// the usual group of pictures, the records as the analysers report them,
// and the refusals.
#ifndef VRMANGR_TESTS_STREAM_FIXTURES_H
#define VRMANGR_TESTS_STREAM_FIXTURES_H

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "stream/CVRO_DATA.h"
#include "support/Ints.h"
#include "support/ProgramStream.h"
#include "support/TempDir.h"

constexpr size_t kSector = 2048;
constexpr int64_t kPts0 = 90000;  // the first picture is shown at 1 s

// A record's stream attributes: frame rate, width, height, aspect code,
// MPEG-2, video bit/s, sampling rate, audio mode, audio kbit/s, audio coding.
using Attributes = std::array<DWORD, 10>;
inline Attributes AttributesOf(const VR_MPEGFILE_INFO& i) {
    return {i.dwFrameRate,    i.dwWidth,      i.dwHeight,    i.bAspectRatio,   i.dwMpeg2,
            i.dwVideoBitrate, i.dwSampleRate, i.dwAudioMode, i.dwAudioBitrate, i.dwAudioCodingBits};
}

// A movie record's VOBU table, closing element included, as {sector, frames,
// first reference picture sectors} per VOBU.
using Vobus = std::vector<std::array<DWORD, 3>>;
inline void ExpectVobus(const VR_MPEGFILE_INFO& i, const Vobus& expected) {
    ASSERT_EQ(i.dwVOBUNs + 1, expected.size());
    Vobus got;
    for (DWORD k = 0; k <= i.dwVOBUNs; ++k) {
        const VR_VOBU_ELEMENT& e = i.pVOBUTable[k];
        got.push_back({e.dwVOBUAddr, e.bVOBUFrames, e.b1stRefSz});
    }
    EXPECT_EQ(got, expected);
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

// The source's packs in the given order.
inline ps::Bytes PacksOf(const ps::Bytes& source, const std::vector<size_t>& packs) {
    ps::Bytes out;
    for (size_t p : packs)
        out.insert(out.end(), source.begin() + long(p * kSector), source.begin() + long((p + 1) * kSector));
    return out;
}

// One group of pictures in coded order: sequence headers, GOP header, an I
// picture of iBytes, then `pFrames` P pictures of pBytes, all with a PTS.
// Returns the piece holding the headers and the I picture.
inline size_t QueueGop(ps::Muxer& m, const ps::VideoParams& v, int64_t firstPts, int pFrames, size_t iBytes = 5000,
                       size_t pBytes = 1000) {
    const int64_t frame = v.rateCode == 3 ? 3600 : 3003;
    const size_t head =
        m.Video(ps::Cat({ps::SequenceHeaders(v), ps::GroupHeader(), ps::Picture(ps::I, 0, iBytes, v.mpeg2)}), firstPts);
    for (int k = 1; k <= pFrames; ++k) {
        m.Video(ps::Picture(ps::P, unsigned(k), pBytes, v.mpeg2), firstPts + k * frame);
    }
    return head;
}

// A committed sample of tests/data.
inline std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

// A stream an analyser must refuse, with the error code and a word of the
// reason; deep when the fault lies behind the first sequence header, where
// a quick check does not look.
struct Refusal {
    const char* name;
    ps::Bytes bytes;
    DWORD code;
    const char* says;
    bool deep = false;
};

// `analyse` refuses the file with the case's code and a detail of the form
// "<path> <reason>."; the record and the analysed file name stay those of
// the last good analysis.
template <class Analyse>
void ExpectRefused(CVRO_DATA& vro, const Refusal& r, const std::string& path, Analyse analyse) {
    const VR_MPEGFILE_INFO before = vro.m_MpegFileInfo;
    const std::string analysed = vro.fnGetAnalysedFileName();
    EXPECT_EQ(analyse(path.c_str()), 0);
    const std::string detail = vro.fnGetLastErrorDetail();
    EXPECT_EQ(vro.m_dwLastError, r.code) << detail;
    EXPECT_EQ(detail.rfind(path + " ", 0), 0u) << detail;
    EXPECT_NE(detail.find(r.says), std::string::npos) << detail;
    EXPECT_EQ(detail.back(), '.');
    EXPECT_EQ(std::memcmp(&before, &vro.m_MpegFileInfo, sizeof before), 0);
    EXPECT_EQ(vro.fnGetAnalysedFileName(), analysed);
}

// A call's result and the error the stream object was left with.
inline Ints After(const CVRO_DATA& vro, int result) { return Ints({result, vro.m_dwLastError}); }

#endif
