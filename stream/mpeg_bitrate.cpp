#include "stream/mpeg_bitrate.h"

#include <algorithm>
#include <vector>

namespace vrm {

namespace {

// Bytes of stuffing searched behind a sequence header for the start code
// that follows it.
constexpr size_t kExtensionSearch = 256;
// A sequence extension: start code, then bit_rate_extension within the
// next four bytes.
constexpr size_t kExtensionBytes = 8;

DWORD Clamp(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(v); }

}  // namespace

SeqHeaderParse ParseSequenceHeader(const BYTE* d, size_t size, bool final, DWORD* bitRate) {
    // Fixed part: start code, horizontal_size (12), vertical_size (12),
    // aspect_ratio_information (4), frame_rate_code (4), bit_rate_value (18),
    // marker_bit, vbv_buffer_size_value (10), constrained_parameters_flag,
    // load_intra_quantiser_matrix, then load_non_intra_quantiser_matrix,
    // each load flag followed by its 64-byte matrix when set.
    if (size < 12) return final ? SeqHeaderParse::Invalid : SeqHeaderParse::NeedMore;
    const uint32_t value =
        (static_cast<uint32_t>(d[8]) << 10) | (static_cast<uint32_t>(d[9]) << 2) | (static_cast<uint32_t>(d[10]) >> 6);
    const bool marker = (d[10] >> 5) & 1;
    if (value == 0 || !marker) return SeqHeaderParse::Invalid;

    size_t length = 12;
    bool loadNonIntra;
    if ((d[11] >> 1) & 1) {
        // The intra matrix starts at the last bit of byte 11, so the
        // non-intra flag is the last bit of byte 75.
        length += 64;
        if (size < length) return final ? SeqHeaderParse::Invalid : SeqHeaderParse::NeedMore;
        loadNonIntra = d[75] & 1;
    } else {
        loadNonIntra = d[11] & 1;
    }
    if (loadNonIntra) length += 64;
    if (size < length) return final ? SeqHeaderParse::Invalid : SeqHeaderParse::NeedMore;

    uint64_t rate = static_cast<uint64_t>(value);
    // The next start code, behind zero stuffing, is the MPEG-2 sequence
    // extension when there is one.
    for (size_t k = length; k < length + kExtensionSearch; ++k) {
        if (k + 3 > size) {
            if (!final) return SeqHeaderParse::NeedMore;
            break;
        }
        if (d[k] != 0 || d[k + 1] != 0 || d[k + 2] != 1) continue;
        if (k + kExtensionBytes > size) {
            if (!final) return SeqHeaderParse::NeedMore;
            break;
        }
        if (d[k + 3] == 0xB5 && (d[k + 4] >> 4) == 1) {
            // extension_start_code_identifier (4), profile_and_level (8),
            // progressive_sequence, chroma_format (2), horizontal and
            // vertical size extensions (2 + 2): 19 bits, then
            // bit_rate_extension (12).
            const uint32_t bits = (static_cast<uint32_t>(d[k + 4]) << 24) | (static_cast<uint32_t>(d[k + 5]) << 16) |
                                  (static_cast<uint32_t>(d[k + 6]) << 8) | static_cast<uint32_t>(d[k + 7]);
            const uint32_t extension = (bits >> 1) & 0xFFF;
            rate |= static_cast<uint64_t>(extension) << 18;
        }
        break;
    }
    *bitRate = Clamp(rate * 400);
    return SeqHeaderParse::Found;
}

DWORD ScanVideoBitrate(const File& file, uint64_t begin, uint64_t end) {
    if (!file.IsOpen()) return 0;
    return ScanVideoBitrate([&](uint64_t at, void* data, size_t n) { return file.ReadAt(at, data, n); }, begin, end);
}

DWORD ScanVideoBitrate(const std::function<int64_t(uint64_t, void*, size_t)>& read, uint64_t begin, uint64_t end) {
    if (end <= begin) return 0;
    end = std::min(end, begin + kBitrateScanWindow);
    try {
        std::vector<BYTE> buf;
        buf.reserve(kBitrateScanBlock + 1024);
        uint64_t next = begin;  // file offset of the next read
        size_t i = 0;  // scan position in buf
        for (;;) {
            const bool final = next >= end;
            for (; i + 4 <= buf.size(); ++i) {
                if (buf[i] != 0 || buf[i + 1] != 0 || buf[i + 2] != 1 || buf[i + 3] != 0xB3) continue;
                DWORD rate = 0;
                const SeqHeaderParse r = ParseSequenceHeader(buf.data() + i, buf.size() - i, final, &rate);
                if (r == SeqHeaderParse::Found) return rate;
                if (r == SeqHeaderParse::NeedMore) break;
            }
            if (final) return 0;
            // Keep what may begin a start code or holds an incomplete header.
            if (i + 4 > buf.size()) i = buf.size() >= 3 ? buf.size() - 3 : 0;
            buf.erase(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(i));
            i = 0;
            const size_t want = static_cast<size_t>(std::min<uint64_t>(kBitrateScanBlock, end - next));
            const size_t have = buf.size();
            buf.resize(have + want);
            const int64_t got = read(next, buf.data() + have, want);
            if (got < 0) return 0;
            buf.resize(have + static_cast<size_t>(got));
            next += static_cast<uint64_t>(got);
            if (static_cast<size_t>(got) < want) end = next;  // the file ends early
        }
    } catch (...) {
        return 0;
    }
}

}  // namespace vrm
