// The format's units, in one place: the sector that addresses stream files,
// and the frame of each TV system on the 27 MHz clock of presentation times.
#ifndef VRMANGR_IO_UNITS_H
#define VRMANGR_IO_UNITS_H

#include <cstdint>

#include "platform/types.h"

namespace vrm {

// Stream files (and VOBUs, VOBs, VOGs in them) are addressed in sectors of
// this many bytes; MPEG program streams on a disc are packs of this size.
constexpr uint64_t kSectorBytes = 2048;

// One video frame in 27 MHz ticks: 625/50 at 25 frames/s, 525/60 at
// 30000/1001 frames/s.
constexpr int64_t kTicksPerFrame625 = 1080000;
constexpr int64_t kTicksPerFrame525 = 900900;

// The frame of a frame rate as the analysed-file record gives it (25000 for
// 625/50, anything else 525/60); 0 for an unknown rate of 0.
constexpr int64_t TicksPerFrame(DWORD frameRate) {
    return frameRate == 0 ? 0 : frameRate == 25000 ? kTicksPerFrame625 : kTicksPerFrame525;
}

}  // namespace vrm

#endif
