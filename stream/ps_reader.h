// Reads an MPEG program stream pack by pack: MPEG-1 (ISO 11172) or MPEG-2
// (ISO 13818-1) packs of exactly 2048 bytes, each a pack header followed by
// packets (system header, PES packets, padding) that fill it. The file is
// read sequentially in large blocks; only one block is held at a time.
#ifndef VRMANGR_STREAM_PS_READER_H
#define VRMANGR_STREAM_PS_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/file.h"
#include "platform/types.h"
#include "stream/analysis.h"

namespace vrm {

// Stream ids of the packets the analysers look at.
enum : BYTE {
    kStreamEnd = 0xB9,  // MPEG program end code (no length field)
    kSystemHeader = 0xBB,
    kPrivateStream1 = 0xBD,  // AC-3 (substreams 0x80-0x87), LPCM (0xA0-0xA7), ...
    kPaddingStream = 0xBE,
    kPrivateStream2 = 0xBF,  // navigation data: a pack carrying it starts a VOBU
    kMpegAudioFirst = 0xC0,
    kMpegAudioLast = 0xC7,
    kVideoFirst = 0xE0,
};

// One packet of a pack. For PES packets data/size are the payload behind
// the PES header; for private stream 1 the payload starts with the
// substream number.
struct PsPacket {
    BYTE id = 0;
    bool hasPts = false;
    int64_t pts = 0;  // 90 kHz, 33 bits as coded
    const BYTE* data = nullptr;
    size_t size = 0;
};

struct PsPack {
    uint64_t index = 0;  // sector number in the file
    bool mpeg2 = false;  // MPEG-2 pack header
    int64_t scr = 0;  // system clock reference base, 90 kHz, 33 bits as coded
    bool ended = false;  // a program end code closes this pack
    // Not a pack: a sector of nothing but zero bytes (never written, or
    // given back as a hole). Set with a -1 from PackReader::Next.
    bool zeroed = false;
    std::vector<PsPacket> packets;
};

class PackReader {
public:
    // Bytes read from the file at a time (a whole number of packs): small
    // enough that the block is still in the processor cache when it is
    // scanned.
    static constexpr size_t kBlock = 1024 * 1024;
    // block: bytes read at a time, at least 64 KB (a whole number of packs).
    explicit PackReader(size_t block = kBlock) : m_blockBytes(block) {}

    // Opens the file and checks that it can be an MPEG program stream of
    // 2048-byte packs: other containers (transport streams, MPEG-4 files,
    // elementary streams) and files that end inside a pack are refused.
    // A program end code (00 00 01 B9) behind the last pack is allowed.
    bool Open(const char* path, AnalysisError* error);
    // Opens `packs` packs of the file from pack `first` on as if they were a
    // file of their own (pack indices count from `first`), without looking
    // at what they hold: for a stretch of a stream file found by a scan.
    // Fails when the file is shorter.
    bool OpenRange(const char* path, uint64_t first, uint64_t packs, AnalysisError* error);
    // The next call of Next reads pack `index` (below Packs()); reading also
    // goes on behind a program end code. For a scan that backs up to a
    // split or reads on behind the end of one recording.
    void Seek(uint64_t index);
    // Number of whole packs of the file: the sectors a recording of it takes.
    uint64_t Packs() const { return m_packs; }
    // Reads the next pack. 1: *pack holds it (valid until the next call);
    // 0: no more packs; -1: the pack is malformed (*error says why).
    int Next(PsPack* pack, AnalysisError* error);
    // Reading stops at the first sequence header in a quick check: the
    // reader can also be stopped early by simply not calling Next again.

private:
    bool Fill(AnalysisError* error);
    bool ParsePack(const BYTE* p, uint64_t index, PsPack* pack, AnalysisError* error);

    size_t m_blockBytes;
    File m_file;
    uint64_t m_base = 0;  // the file's pack that is pack 0 of the range read
    uint64_t m_rangePacks = 0;  // packs of the range, also behind an end code
    uint64_t m_packs = 0;
    uint64_t m_nextPack = 0;  // index of the next pack to hand out
    std::unique_ptr<BYTE[]> m_block;
    uint64_t m_blockFirst = 0;  // index of the first pack in the block
    size_t m_blockPacks = 0;
    bool m_ended = false;  // a program end code was met
};

// The PES payload of a packet: parses the MPEG-1 or MPEG-2 PES header of
// stream id `id` in data[0, size) (the bytes behind the packet length).
// false when the header does not fit the packet.
bool ParsePesHeader(BYTE id, const BYTE* data, size_t size, PsPacket* out);

}  // namespace vrm

#endif
