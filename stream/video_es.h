// Scans an MPEG-1/MPEG-2 video elementary stream, handed over in pieces (the
// payloads of the video PES packets), for start codes, and delivers each
// start code with the bytes that follow it and the packs it lies in.
// Slice start codes are skipped.
#ifndef VRMANGR_STREAM_VIDEO_ES_H
#define VRMANGR_STREAM_VIDEO_ES_H

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/types.h"

namespace vrm {

// Video start codes the analysers act on.
enum : BYTE {
    kPictureStart = 0x00,
    kSequenceHeader = 0xB3,
    kExtensionStart = 0xB5,
    kSequenceEnd = 0xB7,
    kGroupStart = 0xB8,
    // Slice start codes, which the scanner does not deliver.
    kSliceFirst = 0x01,
    kSliceLast = 0xAF,
};

// One start code (00 00 01 code) of the video stream.
struct VideoStartCode {
    BYTE code = 0;
    BYTE bytes[8] = {};  // the bytes behind the code
    size_t size = 0;  // how many of them the stream holds (at most 8)
    uint64_t pack = 0;  // pack holding the first byte of 00 00 01
    // Pack holding the last byte before the start code (the end of whatever
    // it terminates); hasBefore is false at the start of the stream.
    uint64_t packBefore = 0;
    bool hasBefore = false;
    uint64_t offset = 0;  // position of 00 00 01 in the elementary stream
};

class VideoScanner {
public:
    // Appends the next piece of the elementary stream, which lies in `pack`.
    void Feed(const BYTE* data, size_t size, uint64_t pack);
    // The stream has ended: every start code found can be taken.
    void Finish() { m_finished = true; }
    // Takes the next start code in stream order once its bytes are known;
    // false when none is ready.
    bool Next(VideoStartCode* out);
    // Bytes fed so far.
    uint64_t Offset() const { return m_offset; }

private:
    struct Pending {
        VideoStartCode sc;
        size_t need;  // bytes still to collect behind the code
    };
    void Found(BYTE code, uint64_t pack, bool hasBefore, uint64_t before, uint64_t offset, const BYTE* rest,
               size_t restSize);

    std::deque<Pending> m_found;
    BYTE m_hist[4] = {};  // the last bytes fed, oldest first
    uint64_t m_histPack[4] = {};
    size_t m_histSize = 0;
    uint64_t m_offset = 0;
    bool m_finished = false;
};

// Fields of a sequence header (the 8 bytes behind 00 00 01 B3).
struct SequenceHeader {
    DWORD width = 0, height = 0;
    BYTE aspect = 0;  // aspect_ratio_information
    BYTE frameRateCode = 0;
    DWORD bitRateValue = 0;  // units of 400 bit/s
};
bool ParseSequenceHeaderFields(const BYTE* b, size_t size, SequenceHeader* out);

// The extensions behind 00 00 01 B5 that the analysers read.
struct SequenceExtension {
    DWORD widthExt = 0, heightExt = 0;  // the upper 2 bits of each size
    DWORD bitRateExt = 0;  // upper 12 bits of the bit rate
    BYTE frameRateN = 0, frameRateD = 0;
};
// 1: a sequence extension; 2: a picture coding extension (*structure gets
// picture_structure: 1 top field, 2 bottom field, 3 frame); 0 other.
int ParseExtension(const BYTE* b, size_t size, SequenceExtension* seq, BYTE* structure);

// picture_coding_type (1 I, 2 P, 3 B, 4 D) and temporal_reference of a
// picture header; false when too short.
bool ParsePictureHeader(const BYTE* b, size_t size, BYTE* type, DWORD* temporalReference);

}  // namespace vrm

#endif
