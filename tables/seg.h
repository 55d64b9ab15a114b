// seg: what the cell and entry-point queries report about one segment of a
// program chain (a movie or still-picture cell, or the stretch of video that
// belongs to one entry point). The caller allocates it; the movie and still
// tables fill its stream attributes, durations and stream-file positions,
// and the manager adds the file name, bit rate and continuation records.
//
// The record is declared in platform/records.h (vrm_seg); seg is its C++
// name. Fields keep the order and widths of the record as callers know it. The
// host's natural alignment is kept, so on a 64-bit host `pNext` (and the
// bytes after it) sit 4 bytes later than on a 32-bit one; every field before
// `pNext` has the same offset everywhere (checked below).
#ifndef VRMANGR_TABLES_SEG_H
#define VRMANGR_TABLES_SEG_H

#include <cstddef>

#include "platform/types.h"

static_assert(offsetof(seg, dwSRPN) == 260, "seg layout");
static_assert(offsetof(seg, dwMpegVersion) == 344, "seg layout");
static_assert(offsetof(seg, reserved_348) == 348, "seg layout");
static_assert(offsetof(seg, llStartPos) == 384, "seg layout");
static_assert(offsetof(seg, dwNextNs) == 408, "seg layout");

#endif
