// The analysers on program streams written by a real encoder (see
// tests/data/README.md). The expected values were obtained independently of
// the analyser when the samples were made: attributes, frame counts and start
// times with ffprobe; the sectors of the navigation packs (each starts a
// VOBU) and where the first intra picture behind each ends with a short
// script walking the packs; frames per VOBU from the encoder's GOP length.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <vector>

#include "fixtures.h"
#include "support/Restamp.h"

namespace {

struct MovieSample {
    const char* file;
    Attributes attributes;
    DWORD frames;
    __int64 startPts;  // 27 MHz
    Vobus vobus;  // at the navigation packs; the closing element at the file's end
};

const MovieSample kMovies[] = {
    {"pal_mpeg2_mp2_4x3.vob",
     {25000, 720, 576, 2, 1, 9000000, 48000, 0, 224, 0x400000},
     50,
     14580000,
     {{0, 15, 15}, {34, 15, 20}, {73, 15, 20}, {113, 5, 20}, {149, 0, 0}}},
    {"ntsc_mpeg2_ac3_16x9.vob",
     {29970, 720, 480, 3, 1, 9000000, 48000, 0, 192, 0},
     60,
     14400900,
     {{0, 18, 14}, {32, 18, 17}, {67, 18, 17}, {103, 6, 17}, {135, 0, 0}}},
    {"pal_mpeg2_lpcm_16x9.vob",
     {25000, 720, 576, 3, 1, 9000000, 48000, 0, 1536, 0x800000},
     50,
     14580000,
     {{0, 15, 15}, {34, 15, 20}, {111, 15, 22}, {201, 5, 21}, {312, 0, 0}}},
    // MPEG-1 video codes its bit rate as 0x3FFFF ("variable").
    {"ntsc_mpeg1_mp2_4x3.vob",
     {29970, 352, 240, 2, 0, 0x3FFFF * 400, 48000, 0, 224, 0x400000},
     60,
     14400900,
     {{0, 15, 7}, {14, 15, 8}, {31, 15, 8}, {50, 15, 8}, {79, 0, 0}}},
};

}  // namespace

TEST(RealSamples, MovieRecordsMatchTheEncodersStreams) {
    for (const MovieSample& s : kMovies) {
        SCOPED_TRACE(s.file);
        CVR_MOVIE movie;
        ASSERT_EQ(movie.fnCheckAppendVOB(Sample(s.file).c_str(), nullptr, 0), 1) << movie.fnGetLastErrorDetail();
        const VR_MPEGFILE_INFO& i = movie.m_MpegFileInfo;
        EXPECT_EQ(AttributesOf(i), s.attributes);
        const __int64 frame = s.attributes[0] == 25000 ? 1080000 : 900900;
        EXPECT_EQ(Ints({i.dwFrameNs, i.llVideoStartPTS, i.llVideoEndPTS}),
                  Ints({s.frames, s.startPts, s.startPts + s.frames * frame}));
        ExpectVobus(i, s.vobus);

        CVR_MOVIE quick;
        ASSERT_EQ(quick.fnCheckAppendVOB(Sample(s.file).c_str(), nullptr, 1), 1);
        EXPECT_EQ(AttributesOf(quick.m_MpegFileInfo)[1], s.attributes[1]) << "the width, from the sequence header";
    }
}

// Three copies of a recording joined as they are: the clock starts again at
// each joint, and the file is refused, naming the joint; with each copy's
// clock moved on, one recording three times as long.
TEST(RealSamples, JoinedRecordingsAreRefusedUnlessTheirClockRunsOn) {
    TempDir dir;
    for (const MovieSample& s : kMovies) {
        SCOPED_TRACE(s.file);
        std::ifstream in(Sample(s.file), std::ios::binary);
        const std::string one((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const __int64 frame = s.attributes[0] == 25000 ? 1080000 : 900900;
        const std::string j = one + one + one;
        const std::string joined = WriteStream(dir, "joined.mpg", ps::Bytes(j.begin(), j.end()));
        CVR_MOVIE movie;
        EXPECT_EQ(movie.fnCheckAppendVOB(joined.c_str(), nullptr, 0), 0);
        // The first picture of the second copy, in the pack behind the joint's.
        const std::string why = movie.fnGetLastErrorDetail();
        std::smatch m;
        ASSERT_TRUE(std::regex_search(why, m, std::regex("jump back by 1\\.9[0-9] s at byte ([0-9]+) "))) << why;
        EXPECT_EQ(std::stoul(m[1]), one.size() + 2048) << why;

        const std::string three = ps::Restamped(one, 3, s.frames * frame / 300);
        const std::string path = WriteStream(dir, "three.mpg", ps::Bytes(three.begin(), three.end()));
        ASSERT_EQ(movie.fnCheckAppendVOB(path.c_str(), nullptr, 0), 1) << movie.fnGetLastErrorDetail();
        const VR_MPEGFILE_INFO& i = movie.m_MpegFileInfo;
        EXPECT_EQ(Ints({i.dwFrameNs, i.dwVOBUNs, i.llVideoEndPTS}),
                  Ints({3 * s.frames, 3 * DWORD(s.vobus.size() - 1), s.startPts + 3 * s.frames * frame}));
    }
}
