// CVR_STILL::fnCheckAppendVOB on synthetic still-picture streams: the
// picture table, the audio that belongs to each picture, the still VOB
// layout written at append, and the refusals.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "analyser_fixtures.h"
#include "stream/CVRO_DATA.h"

namespace {

using ps::Bytes;

const ps::VideoParams kPal;

// A still picture (headers and an intra picture of `bytes`), beginning in a
// pack of its own. Returns the packs it took.
std::vector<size_t> StillPicture(ps::Muxer& m, size_t bytes, int64_t pts, unsigned type = ps::I) {
    m.FlushVideo();
    const size_t first = m.Packs();
    m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(type, 0, bytes)}), pts);
    m.FlushVideo();
    std::vector<size_t> packs;
    for (size_t p = first; p < m.Packs(); ++p) packs.push_back(p);
    return packs;
}

std::vector<VR_VOBU_ELEMENT> Table(const CVR_STILL& s) {
    const VR_MPEGFILE_INFO& i = s.m_MpegFileInfo;
    return std::vector<VR_VOBU_ELEMENT>(i.pVOBUTable, i.pVOBUTable + i.dwFrameNs + 1);
}

// The source's packs in the given order.
Bytes PacksOf(const Bytes& source, const std::vector<size_t>& packs) {
    Bytes out;
    for (size_t p : packs) out.insert(out.end(), source.begin() + long(p * 2048), source.begin() + long((p + 1) * 2048));
    return out;
}

}  // namespace

TEST(StillAnalyser, PicturesWithoutAudio) {
    TempDir dir;
    ps::Muxer m;
    const auto first = StillPicture(m, 5000, kPts0);  // 3 packs
    const auto second = StillPicture(m, 1000, kPts0 + 3600);  // 1 pack
    CVR_STILL still;
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "two.mpg", m.Out()).c_str()), 1)
        << still.fnGetLastErrorDetail();
    const VR_MPEGFILE_INFO& i = still.m_MpegFileInfo;
    EXPECT_EQ(i.dwFrameNs, 2u);
    EXPECT_EQ(i.dwFrameRate, 25000u);
    EXPECT_EQ(i.dwWidth, 720u);
    EXPECT_EQ(i.dwHeight, 576u);
    EXPECT_EQ(i.dwMpeg2, 1u);
    EXPECT_EQ(i.bAspectRatio, 2);
    EXPECT_EQ(i.dwSampleRate, 0u);
    EXPECT_EQ(i.dwAudioBitrate, 0u);
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(second.size(), 1u);
    // The closing element lies behind the last picture.
    EXPECT_EQ(LayoutOf(still.m_MpegFileInfo), (Layout{{0, 3, 0, 0}, {3, 1, 0, 0}, {4, 0, 0, 0}}));
}

TEST(StillAnalyser, AudioBelongsToThePictureBeforeItAndFollowsItsVideo) {
    TempDir dir;
    ps::Muxer m;
    // Picture 1: a navigation pack, video interleaved with audio (two MPEG
    // audio frames per pack), a padding pack that is left out, another
    // stream's audio that is left out too.
    m.NavPack();
    m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 2500)}), kPts0);
    m.FlushVideo();  // packs 1, 2
    m.Audio(0xC0, ps::Cat({ps::Mp2Frame(), ps::Mp2Frame()}), kPts0);  // 3
    m.Video(Bytes(3000, 0x55));  // the rest of picture 1: packs 4, 5
    m.FlushVideo();
    m.Audio(0xC0, ps::Cat({ps::Mp2Frame(), ps::Mp2Frame()}));  // 6
    m.Padding();  // 7
    m.Audio(0xC1, ps::Mp2Frame());  // 8
    m.Audio(0xC0, ps::Mp2Frame());  // 9
    // Picture 2 without audio; picture 3 with one frame.
    const auto second = StillPicture(m, 3000, kPts0 + 5 * 3600);  // 10, 11
    const auto third = StillPicture(m, 100, kPts0 + 6 * 3600);  // 12
    m.Audio(0xC0, ps::Mp2Frame());  // 13
    ASSERT_EQ(second, (std::vector<size_t>{10, 11}));
    ASSERT_EQ(third, (std::vector<size_t>{12}));
    const Bytes source = m.Out();
    const std::string path = WriteStream(dir, "audio.mpg", source);

    CVR_STILL still;
    ASSERT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    ASSERT_EQ(still.fnCheckAppendVOB(path.c_str()), 1) << still.fnGetLastErrorDetail();
    const VR_MPEGFILE_INFO& i = still.m_MpegFileInfo;
    EXPECT_EQ(i.dwFrameNs, 3u);
    EXPECT_EQ(i.dwSampleRate, 48000u);
    EXPECT_EQ(i.dwAudioBitrate, 224u);
    EXPECT_EQ(i.dwAudioMode, 0u);
    EXPECT_EQ(i.dwAudioCodingBits, 0x400000u);
    // Picture 1: the navigation pack and four video packs, three of audio.
    EXPECT_EQ(LayoutOf(still.m_MpegFileInfo), (Layout{{0, 5, 3, 5}, {8, 2, 0, 0}, {10, 1, 1, 1}, {12, 0, 0, 0}}));

    // VR_STILL.VRO receives exactly that layout, behind what is queued.
    ASSERT_EQ(still.fnAddVOBToList(&still.m_MpegFileInfo), 1);
    EXPECT_EQ(i.dwVOBStartAddr, 0u);
    char name[260];
    EXPECT_EQ(still.fnGetAppendedFileNameAndAddress(5 * 2048 + 7, name, nullptr), 3 * 2048 + 7)
        << "the VOG's sector 5 is the source's pack 3, picture 1's first audio";
    EXPECT_EQ(still.fnGetVideoBitrate(8 * 2048, nullptr), 8000000u) << "picture 2 begins with a sequence header";
    ASSERT_EQ(still.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_STILL.VRO")), PacksOf(source, {0, 1, 2, 4, 5, 3, 6, 9, 10, 11, 12, 13}));

    // A second file lands behind the first.
    ps::Muxer m2;
    StillPicture(m2, 100, kPts0);
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "one.mpg", m2.Out()).c_str()), 1);
    ASSERT_EQ(still.fnAddVOBToList(&still.m_MpegFileInfo), 1);
    EXPECT_EQ(still.m_MpegFileInfo.dwVOBStartAddr, 12u);
}

TEST(StillAnalyser, AudioFramesOfAc3AndLpcmCountIn1152SampleFrames) {
    TempDir dir;
    ps::Muxer ac3;
    StillPicture(ac3, 100, kPts0);
    for (int k = 0; k < 3; ++k) ac3.Audio(0xBD, ps::Ac3Payload(0x80, 2, ps::Cat({ps::Ac3Frame(), ps::Ac3Frame()})));
    CVR_STILL still;
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "ac3.mpg", ac3.Out()).c_str()), 1);
    EXPECT_EQ(still.m_MpegFileInfo.dwAudioCodingBits, 0u);
    EXPECT_EQ(Table(still)[0].dwAudioPartSz, 3u);
    EXPECT_EQ(Table(still)[0].dwAudioFrames, 8u) << "6 x 1536 samples";

    ps::Muxer lpcm;
    StillPicture(lpcm, 100, kPts0);
    for (int k = 0; k < 6; ++k) lpcm.Audio(0xBD, ps::LpcmPayload(0xA0, 1920));  // 480 stereo samples each
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "lpcm.mpg", lpcm.Out()).c_str()), 1);
    EXPECT_EQ(still.m_MpegFileInfo.dwAudioCodingBits, 0x800000u);
    EXPECT_EQ(still.m_MpegFileInfo.dwAudioBitrate, 1536u);
    EXPECT_EQ(Table(still)[0].dwAudioFrames, 3u) << "2880 samples, rounded";
}

TEST(StillAnalyser, FieldCodedStillIsOnePicture) {
    TempDir dir;
    ps::Muxer m;
    m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 2000, true, 1),
                     ps::Picture(ps::P, 0, 2000, true, 2)}),
            kPts0);
    StillPicture(m, 100, kPts0 + 3600);
    CVR_STILL still;
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "fields.mpg", m.Out()).c_str()), 1)
        << still.fnGetLastErrorDetail();
    EXPECT_EQ(still.m_MpegFileInfo.dwFrameNs, 2u);
}

TEST(StillAnalyser, Refusals) {
    TempDir dir;
    struct Case {
        const char* name;
        Bytes bytes;
        DWORD code;
        const char* says;
    };
    std::vector<Case> cases;
    {
        ps::Muxer m;
        StillPicture(m, 100, kPts0);
        StillPicture(m, 100, kPts0, ps::P);
        cases.push_back({"predicted picture", m.Out(), VRO_ERR_STILL_PICTURES, "picture 2 that is not an intra"});
    }
    {
        ps::Muxer m;
        m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 100)}), kPts0);
        m.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 100)}));
        cases.push_back({"shared pack", m.Out(), VRO_ERR_STILL_PICTURES, "pack of its own"});
    }
    {
        ps::Muxer m;
        for (int k = 0; k < 256; ++k) StillPicture(m, 100, kPts0 + k * 3600);
        cases.push_back({"256 pictures", m.Out(), VRO_ERR_STILL_PICTURES, "more than 255"});
    }
    {
        ps::Muxer m;
        StillPicture(m, 256 * 2048, kPts0);
        cases.push_back({"large picture", m.Out(), VRO_ERR_STILL_PICTURES, "at most 255 sectors"});
    }
    {
        ps::Muxer m;
        StillPicture(m, 100, kPts0);
        ps::Packet video{0xE0, ps::Picture(ps::I, 0, 100)};
        ps::Packet audio{0xC0, ps::Mp2Frame(64)};
        m.Pack({video, audio});
        cases.push_back({"mixed pack", m.Out(), VRO_ERR_STILL_PICTURES, "both video and audio"});
    }
    {
        ps::Muxer m;
        m.Audio(0xC0, ps::Mp2Frame());
        cases.push_back({"no video", m.Out(), VRO_ERR_NO_VIDEO, "no MPEG video"});
    }
    {
        ps::Muxer m;
        m.Video(ps::SequenceHeaders(kPal));
        cases.push_back({"no picture", m.Out(), VRO_ERR_NO_VIDEO, "no pictures"});
    }
    {
        ps::Muxer m(false, 2324);
        StillPicture(m, 100, kPts0);
        cases.push_back({"vcd", m.Out(), VRO_ERR_PACK_SIZE, "2324"});
    }

    CVR_STILL still;
    ASSERT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    ps::Muxer good;
    StillPicture(good, 100, kPts0);
    const std::string goodPath = WriteStream(dir, "good.mpg", good.Out());
    ASSERT_EQ(still.fnCheckAppendVOB(goodPath.c_str()), 1);
    const VR_MPEGFILE_INFO before = still.m_MpegFileInfo;
    for (const Case& c : cases) {
        const std::string path = WriteStream(dir, "bad.mpg", c.bytes);
        EXPECT_EQ(still.fnCheckAppendVOB(path.c_str()), 0) << c.name;
        EXPECT_EQ(still.m_dwLastError, c.code) << c.name << ": " << still.fnGetLastErrorDetail();
        const std::string detail = still.fnGetLastErrorDetail();
        EXPECT_EQ(detail.rfind(path + " ", 0), 0u) << detail;
        EXPECT_NE(detail.find(c.says), std::string::npos) << c.name << ": " << detail;
        EXPECT_EQ(std::memcmp(&before, &still.m_MpegFileInfo, sizeof before), 0) << c.name;
    }
    EXPECT_EQ(still.fnGetQueuedFileNs(), 0u);
    // The last good analysis still queues with its own layout.
    ASSERT_EQ(still.fnAddVOBToList(&still.m_MpegFileInfo), 1);
    ASSERT_EQ(still.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_STILL.VRO")), good.Out());
}
