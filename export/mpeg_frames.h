// What the export needs to know of the coded frames it carries across cell
// edges, read from their own headers: the picture header and GOP header of
// MPEG-1/2 video (ISO/IEC 13818-2 6.2.2.6, 6.2.3), and the frame header of
// MPEG audio and AC-3, whose length tells a whole frame from the part of one
// that a cell's last bytes cut off.
#ifndef VRMANGR_EXPORT_MPEG_FRAMES_H
#define VRMANGR_EXPORT_MPEG_FRAMES_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vrexport {

// One coded picture, as the demuxer hands it out (a packet starting with
// the headers in front of the picture: sequence, GOP).
struct Picture {
    enum Type { kNone = 0, kI = 1, kP = 2, kB = 3 };
    int type = kNone;  // kNone: no picture header found
    int temporalReference = 0;  // its place in display order within its GOP
    size_t pictureAt = 0;  // offset of the picture start code (00 00 01 00)
    bool gop = false;  // a GOP header comes before the picture
    size_t gopAt = 0;  // its offset
    bool closedGop = false, brokenLink = false;  // its flags
};

Picture InspectPicture(const uint8_t* data, size_t size);

// Rewrites the picture's temporal_reference in place.
void SetTemporalReference(uint8_t* data, const Picture& p, int temporalReference);
// Marks the GOP header in front of the picture closed (closed_gop 1,
// broken_link 0): no picture of the GOP predicts from the one before.
void CloseGop(uint8_t* data, const Picture& p);

// For the pictures of a cell's first GOP, in decoding order: the ones to
// leave out because they predict from a GOP the cell does not hold. In an
// open GOP (closed_gop 0) these are the B-pictures between its I-picture
// and the next reference picture: they come before the I-picture in display
// order and refer to the last reference picture of the previous GOP.
// (broken_link says the same of a GOP whose previous one was cut away.)
std::vector<bool> PicturesWithoutReference(const std::vector<Picture>& gop);

enum class AudioCoding { kMpeg, kAc3 };

// The length of the audio frame whose header begins data (MPEG audio
// layer I, II or III, or AC-3), in bytes; 0 when data does not begin with
// a valid header.
size_t AudioFrameBytes(AudioCoding coding, const uint8_t* data, size_t size);

}  // namespace vrexport

#endif
