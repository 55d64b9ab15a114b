// Finds the video bit rate in an MPEG video elementary stream or program
// stream: the first sequence header (start code 00 00 01 B3) at or after a
// position, and the MPEG-2 sequence extension (00 00 01 B5, extension id 1)
// that follows it.
#ifndef VRMANGR_STREAM_MPEG_BITRATE_H
#define VRMANGR_STREAM_MPEG_BITRATE_H

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/file.h"
#include "platform/types.h"

namespace vrm {

// The scan reads this many bytes at a time; a header may straddle two reads.
constexpr size_t kBitrateScanBlock = 64 * 1024;
// How far past the start position the scan looks.
constexpr uint64_t kBitrateScanWindow = 1024 * 1024;

// Outcome of parsing a sequence header whose start code begins at data[0].
enum class SeqHeaderParse {
    Found,  // *bitRate holds the rate in bit/s
    NeedMore,  // the header or its extension may lie beyond size bytes
    Invalid,  // not a usable header (bit_rate_value 0 or marker bit clear)
};

// Parses a sequence header (and the extension that may follow it) held in
// data[0, size). final says no more bytes follow: a missing extension then
// means MPEG-1, and a truncated header Invalid.
SeqHeaderParse ParseSequenceHeader(const BYTE* data, size_t size, bool final, DWORD* bitRate);

// Scans the bytes [begin, end) of the file in kBitrateScanBlock reads for
// the first usable sequence header; its bit rate in bit/s, or 0 when none.
DWORD ScanVideoBitrate(const File& file, uint64_t begin, uint64_t end);
// The same over bytes that read(offset, data, n) gives (the number read,
// fewer only at the end; -1 when they cannot be read).
DWORD ScanVideoBitrate(const std::function<int64_t(uint64_t, void*, size_t)>& read, uint64_t begin, uint64_t end);

}  // namespace vrm

#endif
