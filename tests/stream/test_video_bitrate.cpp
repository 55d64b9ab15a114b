// Video bit rate from MPEG sequence headers, in the stream file and in
// queued files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/mpeg_bitrate.h"
#include "stream_fixtures.h"
#include "support/ProgramStream.h"
#include "support/TempDir.h"

namespace {

using ps::Bytes;
using ps::Cat;

// Appends fields most significant bit first.
struct BitWriter {
    Bytes bytes;
    int used = 8;  // bits used in the last byte
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used == 8) {
                bytes.push_back(0);
                used = 0;
            }
            if ((value >> i) & 1) bytes.back() |= static_cast<unsigned char>(0x80 >> used);
            ++used;
        }
    }
};

// A sequence header: 720x576, 4:3, 25 frames/s, the given bit_rate_value,
// optionally with both quantiser matrices loaded.
Bytes SequenceHeader(uint32_t bitRateValue, bool matrices = false) {
    BitWriter w;
    w.Put(0x000001B3, 32);
    w.Put(720, 12);
    w.Put(576, 12);
    w.Put(2, 4);  // aspect ratio
    w.Put(3, 4);  // frame rate code
    w.Put(bitRateValue, 18);
    w.Put(1, 1);  // marker
    w.Put(112, 10);  // vbv_buffer_size_value
    w.Put(0, 1);  // constrained_parameters_flag
    // Each matrix holds bytes shaped like a sequence extension with the
    // largest bit_rate_extension: a parse that does not skip the matrices
    // reads a wrong rate.
    w.Put(matrices, 1);
    if (matrices) {
        w.Put(1, 1);  // the intra matrix starts one bit before a byte boundary
        w.Put(0x000001B5, 32);
        w.Put(0x1FFFFFFF, 32);
        for (int i = 0; i < 447; ++i) w.Put(1, 1);
    }
    w.Put(matrices, 1);
    if (matrices) {
        w.Put(0x000001B5, 32);
        w.Put(0x1FFFFFFF, 32);
        for (int i = 0; i < 56; ++i) w.Put(16, 8);
    }
    return w.bytes;
}

// An MPEG-2 sequence extension (main profile, main level, 4:2:0).
Bytes SequenceExtension(uint32_t bitRateExtension) {
    BitWriter w;
    w.Put(0x000001B5, 32);
    w.Put(1, 4);  // sequence extension
    w.Put(0x48, 8);  // profile and level
    w.Put(0, 1);  // progressive_sequence
    w.Put(1, 2);  // chroma 4:2:0
    w.Put(0, 2);
    w.Put(0, 2);
    w.Put(bitRateExtension, 12);
    w.Put(1, 1);  // marker
    w.Put(0, 8);  // vbv_buffer_size_extension
    w.Put(0, 1);
    w.Put(0, 2);
    w.Put(0, 5);
    return w.bytes;
}

const Bytes kGop = {0x00, 0x00, 0x01, 0xB8, 0x00, 0x08, 0x00, 0x00};

// File bytes: `before` filler bytes (no start codes), then `content`, then
// filler up to `total`.
Bytes Place(size_t before, const Bytes& content, size_t total) {
    Bytes out(before, 0xFF);
    out.insert(out.end(), content.begin(), content.end());
    if (out.size() < total) out.resize(total, 0xFF);
    return out;
}

DWORD ScanBytes(const TempDir& dir, const Bytes& bytes, uint64_t begin = 0) {
    const std::string path = dir.File("scan.bin");
    WriteWholeFile(path, bytes);
    vrm::File f;
    if (!f.Open(path.c_str(), vrm::File::Mode::ReadExisting)) return 0xFFFFFFFF;
    return vrm::ScanVideoBitrate(f, begin, bytes.size());
}

}  // namespace

TEST(VideoBitrate, Mpeg1HeaderGivesValueTimes400) {
    TempDir dir;
    EXPECT_EQ(ScanBytes(dir, Place(100, Cat({SequenceHeader(2875), kGop}), 4096)), 1150000u);
    // Matrices move the end of the header; a GOP follows, not an extension.
    EXPECT_EQ(ScanBytes(dir, Place(7, Cat({SequenceHeader(2875, true), kGop}), 4096)), 1150000u);
}

TEST(VideoBitrate, Mpeg2ExtensionSuppliesTheUpperBits) {
    TempDir dir;
    EXPECT_EQ(ScanBytes(dir, Place(0, Cat({SequenceHeader(24500), SequenceExtension(0), kGop}), 4096)), 9800000u);
    const DWORD expected = ((2u << 18) | 24500u) * 400u;
    EXPECT_EQ(ScanBytes(dir, Place(9, Cat({SequenceHeader(24500, true), SequenceExtension(2)}), 4096)), expected);
    // Zero stuffing between header and extension is allowed.
    EXPECT_EQ(ScanBytes(dir, Place(0, Cat({SequenceHeader(24500), Bytes(5, 0), SequenceExtension(2)}), 4096)),
              expected);
    // Rates beyond 32 bits saturate instead of wrapping.
    EXPECT_EQ(ScanBytes(dir, Place(0, Cat({SequenceHeader(0x3FFFF), SequenceExtension(0xFFF)}), 4096)), 0xFFFFFFFFu);
}

TEST(VideoBitrate, HeadersStraddlingAReadBoundary) {
    TempDir dir;
    const size_t block = vrm::kBitrateScanBlock;
    const Bytes mpeg2 = Cat({SequenceHeader(24500), SequenceExtension(2), kGop});
    const DWORD expected = ((2u << 18) | 24500u) * 400u;
    // The start code, the header's fields, and the extension in turn cross
    // the end of the first read.
    for (size_t cut : {2u, 9u, 14u, 18u}) {
        EXPECT_EQ(ScanBytes(dir, Place(block - cut, mpeg2, 2 * block)), expected) << "cut " << cut;
    }
    // And with a scan that starts part way into the file.
    EXPECT_EQ(ScanBytes(dir, Place(1000 + block - 3, mpeg2, 3 * block), 1000), expected);
}

TEST(VideoBitrate, NoneFoundOrOutOfReach) {
    TempDir dir;
    EXPECT_EQ(ScanBytes(dir, Bytes(8192, 0)), 0u);
    // A header before the start position is not "at or after" it.
    EXPECT_EQ(ScanBytes(dir, Place(10, SequenceHeader(2875), 8192), 100), 0u);
    // Beyond the 1 MB window.
    EXPECT_EQ(ScanBytes(dir, Place(vrm::kBitrateScanWindow + 10, SequenceHeader(2875), 0)), 0u);
    // A header cut off by the end of the data.
    const Bytes header = SequenceHeader(2875);
    EXPECT_EQ(ScanBytes(dir, Bytes(header.begin(), header.begin() + 10)), 0u);
    // A forbidden rate of 0 is skipped in favour of the next header.
    EXPECT_EQ(ScanBytes(dir, Place(0, Cat({SequenceHeader(0), kGop, SequenceHeader(2875), kGop}), 4096)), 1150000u);
}

TEST(VideoBitrate, ThroughTheStreamObject) {
    TempDir dir;
    // The stream file: sector 2 starts with an MPEG-1 header.
    Bytes stream = Place(2 * kSector, Cat({SequenceHeader(2875), kGop}), 4 * kSector);
    WriteWholeFile(dir.File("VR_MOVIE.VRO"), stream);
    // A queued file with an MPEG-2 header at its start.
    const std::string queued = dir.File("q.mpg");
    WriteWholeFile(queued, Place(0, Cat({SequenceHeader(24500), SequenceExtension(0)}), 2 * kSector));

    CVR_MOVIE movie;
    ASSERT_EQ(movie.fnInit(dir.Path().c_str(), VRO_INIT_OPEN), 1);
    MovieRecord rec({2});
    movie.fnSetAnalysedFileName(queued.c_str());
    ASSERT_EQ(movie.fnAddVOBToList(&rec.info), 1);

    EXPECT_EQ(movie.fnGetVideoBitrate(0, nullptr), 1150000u);
    EXPECT_EQ(movie.fnGetVideoBitrate(2 * kSector, nullptr), 1150000u);
    EXPECT_EQ(movie.fnGetVideoBitrate(3 * kSector, nullptr), 0u) << "the search stops at the recorded data's end";
    EXPECT_EQ(movie.fnGetVideoBitrate(4 * kSector, nullptr), 9800000u);
    EXPECT_EQ(movie.fnGetVideoBitrate(6 * kSector, nullptr), 0u);
    EXPECT_EQ(movie.fnGetVideoBitrate(-5, nullptr), 0u);

    // A new disc over this directory does not read the old stream.
    CVR_MOVIE fresh;
    ASSERT_EQ(fresh.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 1);
    EXPECT_EQ(fresh.fnGetVideoBitrate(2 * kSector, nullptr), 0u);
}
