// CVR_STILL::fnCheckAppendVOB on synthetic still-picture streams: the
// picture table, the audio that belongs to each picture, the still VOB
// layout written at append, and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"

namespace {

using ps::Bytes;

const ps::VideoParams kPal;

// Headers and an intra picture of `bytes` (or two field pictures of `bytes`
// each), beginning in a pack of its own. Returns the packs it took.
std::vector<size_t> StillPicture(ps::Muxer& m, size_t bytes, int64_t pts, unsigned type = ps::I, bool fields = false) {
    m.FlushVideo();
    const size_t first = m.Packs();
    const Bytes head = ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader()});
    m.Video(fields ? ps::Cat({head, ps::Picture(type, 0, bytes, true, 1), ps::Picture(ps::P, 0, bytes, true, 2)})
                   : ps::Cat({head, ps::Picture(type, 0, bytes)}),
            pts);
    m.FlushVideo();
    std::vector<size_t> packs;
    for (size_t p = first; p < m.Packs(); ++p) packs.push_back(p);
    return packs;
}

}  // namespace

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
    // Picture 2 coded as two fields, without audio; picture 3 with one frame.
    ASSERT_EQ(StillPicture(m, 2000, kPts0 + 5 * 3600, ps::I, true), (std::vector<size_t>{10, 11}));
    ASSERT_EQ(StillPicture(m, 100, kPts0 + 6 * 3600), (std::vector<size_t>{12}));
    m.Audio(0xC0, ps::Mp2Frame());  // 13
    const Bytes source = m.Out();

    CVR_STILL still;
    ASSERT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "audio.mpg", source).c_str()), 1) << still.fnGetLastErrorDetail();
    const VR_MPEGFILE_INFO& i = still.m_MpegFileInfo;
    EXPECT_EQ(i.dwFrameNs, 3u);
    EXPECT_EQ(AttributesOf(i), (Attributes{25000, 720, 576, 2, 1, 8000000, 48000, 0, 224, 0x400000}));
    // Picture 1: the navigation pack and four video packs, three of audio.
    EXPECT_EQ(LayoutOf(i), (Layout{{0, 5, 3, 5}, {8, 2, 0, 0}, {10, 1, 1, 1}, {12, 0, 0, 0}}));

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
    EXPECT_EQ(LayoutOf(i), (Layout{{0, 1, 0, 0}, {1, 0, 0, 0}})) << "the closing element behind the picture";
    EXPECT_EQ(AttributesOf(i), (Attributes{25000, 720, 576, 2, 1, 8000000, 0, 0, 0, 0})) << "no audio";
    ASSERT_EQ(still.fnAddVOBToList(&still.m_MpegFileInfo), 1);
    EXPECT_EQ(still.m_MpegFileInfo.dwVOBStartAddr, 12u);
}

TEST(StillAnalyser, Refusals) {
    TempDir dir;
    ps::Muxer predicted, shared, many, large, mixed, noVideo, noPicture, lowRate;
    StillPicture(predicted, 100, kPts0);
    StillPicture(predicted, 100, kPts0, ps::P);
    shared.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 100)}), kPts0);
    shared.Video(ps::Cat({ps::SequenceHeaders(kPal), ps::GroupHeader(), ps::Picture(ps::I, 0, 100)}));
    for (int k = 0; k < 256; ++k) StillPicture(many, 100, kPts0 + k * 3600);
    StillPicture(large, 256 * 2048, kPts0);
    StillPicture(mixed, 100, kPts0);
    mixed.Pack({ps::Packet{0xE0, ps::Picture(ps::I, 0, 100)}, ps::Packet{0xC0, ps::Mp2Frame(64)}});
    noVideo.Audio(0xC0, ps::Mp2Frame());
    noPicture.Video(ps::SequenceHeaders(kPal));
    StillPicture(lowRate, 100, kPts0);
    lowRate.Audio(0xC0, ps::Mp2Frame(64, 24000, 0, false));
    const Refusal cases[] = {
        {"predicted picture", predicted.Out(), VRO_ERR_STILL_PICTURES, "picture 2 that is not an intra"},
        {"shared pack", shared.Out(), VRO_ERR_STILL_PICTURES, "pack of its own"},
        {"256 pictures", many.Out(), VRO_ERR_STILL_PICTURES, "more than 255"},
        {"large picture", large.Out(), VRO_ERR_STILL_PICTURES, "at most 255 sectors"},
        {"mixed pack", mixed.Out(), VRO_ERR_STILL_PICTURES, "both video and audio"},
        {"no video", noVideo.Out(), VRO_ERR_NO_VIDEO, "no MPEG video"},
        {"no picture", noPicture.Out(), VRO_ERR_NO_VIDEO, "no pictures"},
        {"24 kHz audio", lowRate.Out(), VRO_ERR_AUDIO, "48 kHz"},
    };

    CVR_STILL still;
    ASSERT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    ps::Muxer good;
    StillPicture(good, 100, kPts0);
    ASSERT_EQ(still.fnCheckAppendVOB(WriteStream(dir, "good.mpg", good.Out()).c_str()), 1);
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(still, c, WriteStream(dir, "bad.mpg", c.bytes),
                      [&](const char* p) { return still.fnCheckAppendVOB(p); });
    }
    EXPECT_EQ(still.fnGetQueuedFileNs(), 0u);
    // The last good analysis still queues with its own layout.
    ASSERT_EQ(still.fnAddVOBToList(&still.m_MpegFileInfo), 1);
    ASSERT_EQ(still.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_STILL.VRO")), good.Out());
}
