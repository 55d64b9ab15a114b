// vrm::ScanVideoBitrate: the video bit rate from the first MPEG sequence
// header in reach (through the stream objects: test_vro_files.cpp).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures.h"
#include "platform/file.h"
#include "stream/mpeg_bitrate.h"

namespace {

using ps::Bytes;
using ps::Cat;

// A sequence header: 720x576, 4:3, 25 frames/s, the given bit_rate_value,
// optionally with the intra and (unless !nonIntra) the non-intra quantiser
// matrix loaded. Each matrix holds bytes shaped like a sequence extension
// with the largest bit_rate_extension: a parse that does not skip the
// matrices reads a wrong rate.
Bytes SequenceHeader(uint32_t bitRateValue, bool matrices = false, bool nonIntra = true) {
    ps::BitWriter w;
    w.Put(0x1B3, 32).Put(720, 12).Put(576, 12).Put(2, 4).Put(3, 4).Put(bitRateValue, 18).Put(1, 1).Put(112, 10);
    w.Put(0, 1).Put(matrices, 1);  // constrained_parameters_flag, load_intra_quantiser_matrix
    if (matrices) {
        w.Put(1, 1).Put(0x1B5, 32).Put(0x1FFFFFFF, 32);  // starts one bit before a byte boundary
        for (int i = 0; i < 447; ++i) w.Put(1, 1);
    }
    w.Put(matrices && nonIntra, 1);
    if (matrices && nonIntra) {
        w.Put(0x1B5, 32).Put(0x1FFFFFFF, 32);
        for (int i = 0; i < 56; ++i) w.Put(16, 8);
    }
    return w.bytes;
}

// An MPEG-2 sequence extension carrying the upper 12 bits of the rate.
Bytes SequenceExtension(uint32_t bitRateExtension) {
    ps::VideoParams v;
    v.bitRate400 = bitRateExtension << 18;
    return ps::SequenceExtension(v);
}

const Bytes kGop = ps::GroupHeader(false);

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

TEST(VideoBitrate, FromTheFirstSequenceHeaderInReach) {
    TempDir dir;
    const size_t block = vrm::kBitrateScanBlock;
    const Bytes mpeg1 = Cat({SequenceHeader(2875), kGop});
    const Bytes mpeg2 = Cat({SequenceHeader(24500), SequenceExtension(2), kGop});
    const DWORD extended = ((2u << 18) | 24500u) * 400u;
    const struct {
        const char* what;
        Bytes bytes;
        uint64_t begin;
        DWORD rate;
    } cases[] = {
        {"MPEG-1: the value times 400", Place(100, mpeg1, 4096), 0, 1150000},
        {"matrices move the end of the header; a GOP follows, not an extension",
         Place(7, Cat({SequenceHeader(2875, true), kGop}), 4096), 0, 1150000},
        {"the extension supplies the upper bits",
         Place(9, Cat({SequenceHeader(24500, true), SequenceExtension(2)}), 4096), 0, extended},
        {"the non-intra flag lies behind the intra matrix",
         Place(0, Cat({SequenceHeader(24500, true, false), SequenceExtension(2)}), 4096), 0, extended},
        {"zero stuffing between header and extension",
         Place(0, Cat({SequenceHeader(24500), Bytes(5, 0), SequenceExtension(2)}), 4096), 0, extended},
        {"rates beyond 32 bits saturate instead of wrapping",
         Place(0, Cat({SequenceHeader(0x3FFFF), SequenceExtension(0xFFF)}), 4096), 0, 0xFFFFFFFFu},
        {"the first read ends 3 bytes into a scan that starts part way into the file",
         Place(1000 + block - 3, mpeg2, 3 * block), 1000, extended},
        {"none", Bytes(8192, 0), 0, 0},
        {"a header before the start position", Place(10, mpeg1, 8192), 100, 0},
        {"beyond the 1 MB window", Place(vrm::kBitrateScanWindow + 10, mpeg1, 0), 0, 0},
        {"a header cut off by the end of the data", Bytes(mpeg1.begin(), mpeg1.begin() + 10), 0, 0},
        {"a forbidden rate of 0 is skipped for the next header",
         Place(0, Cat({SequenceHeader(0), kGop, SequenceHeader(2875), kGop}), 4096), 0, 1150000},
    };
    for (const auto& c : cases) EXPECT_EQ(ScanBytes(dir, c.bytes, c.begin), c.rate) << c.what;
    // The start code, the header's fields, and the extension in turn cross
    // the end of the first read.
    for (size_t cut : {2, 9, 14, 18}) EXPECT_EQ(ScanBytes(dir, Place(block - cut, mpeg2, 2 * block)), extended) << cut;
}
