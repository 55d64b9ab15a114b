// Constants shared by the stream library's sources.
#ifndef VRMANGR_STREAM_VRO_COMMON_H
#define VRMANGR_STREAM_VRO_COMMON_H

#include <cstddef>
#include <cstdint>

#include "io/units.h"

namespace vrm {
// Sector counts and addresses are 32-bit.
constexpr uint64_t kMaxSectors = 0xFFFFFFFFu;
// Size of a caller's file-name buffer, terminating zero included.
constexpr size_t kNameBuffer = 260;
// Stream data is copied in blocks of this many bytes (a whole number of
// sectors); progress is reported after each.
constexpr size_t kCopyBlock = 2 * 1024 * 1024;

}  // namespace vrm

#endif
