// seg: what the cell and entry-point queries report about one segment of a
// program chain (a movie or still-picture cell, or the stretch of video that
// belongs to one entry point). The caller allocates it; the movie and still
// tables fill its stream attributes, durations and stream-file positions,
// and the manager adds the file name, bit rate and continuation records.
//
// Fields keep the order and widths of the record as callers know it. The
// host's natural alignment is kept, so on a 64-bit host `pNext` (and the
// bytes after it) sit 4 bytes later than on a 32-bit one; every field before
// `pNext` has the same offset everywhere (checked below).
#ifndef VRMANGR_TABLES_SEG_H
#define VRMANGR_TABLES_SEG_H

#include <cstddef>

#include "platform/types.h"

struct seg {
    char szFileName[260];  // the file that holds the segment's bytes
    DWORD dwSRPN;  // 1-based number of the VOB (movie cell) or VOG (still cell)
    DWORD dwEntryPtNs;  // entry points of the cell (cell queries only)
    DWORD dwCellType;  // 0 movie cell, 1 still-picture cell
    DWORD dwSkipFrames;  // frames from the first VOBU read to the segment's start
    // The length of the segment: video frames (a still cell: its pictures)
    // and milliseconds. The first record of a segment that runs on into
    // continuation cells gives the whole segment's; each continuation record
    // gives its own cell's part.
    DWORD dwFrameNs;
    DWORD dwDuration;
    DWORD dwWide;  // 1 for 16:9, 0 for 4:3
    DWORD dwAST_Ns;  // audio streams
    DWORD dwSPST_Ns;  // sub-picture streams
    DWORD dwAudioCoding;  // 0 AC-3, 2 MPEG-1, 3 MPEG-2 with extension, 4 linear PCM
    DWORD dwFrameRate;  // frames per 1000 s: 29970 or 25000
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwVideoBitrate;  // as reported by the stream library
    DWORD dwSampleRate;  // audio sampling frequency in Hz (48000)
    DWORD dwChannels;
    DWORD dwAudioLayer;  // 2 for MPEG-1 audio, else 0
    DWORD dwAudioMode;  // 0 stereo, 2 dual channel, 3 single channel
    DWORD dwAudioBitrate;  // kbit/s
    DWORD dwVideoFrames;  // same value as dwFrameNs
    DWORD dwAudioSamples;  // audio samples of the segment (as dwFrameNs)
    DWORD dwMpegVersion;  // 0 MPEG-1 video, 2 MPEG-2
    BYTE reserved_348[36];  // the caller's; never written by the library
    // The segment's bytes in szFileName: from the VOBU that holds its first
    // frame (a still segment: its first picture) to behind the VOBU that
    // holds its last (its last picture). Of this cell only; continuation
    // records give the bytes of the next cells.
    __int64 llStartPos;
    __int64 llEndPos;  // byte position behind the segment's last VOBU
    DWORD dwHeadSize;  // bytes of the first VOBU plus the one after it
    DWORD dwHasNext;  // 1 when the segment continues in pNext
    DWORD dwNextNs;  // continuation records chained behind this one
    seg* pNext;  // the continuation record (the next cell's segment), or NULL
    BYTE reserved_tail[56];  // the caller's; never written by the library
};

static_assert(offsetof(seg, dwSRPN) == 260, "seg layout");
static_assert(offsetof(seg, dwMpegVersion) == 344, "seg layout");
static_assert(offsetof(seg, reserved_348) == 348, "seg layout");
static_assert(offsetof(seg, llStartPos) == 384, "seg layout");
static_assert(offsetof(seg, dwNextNs) == 408, "seg layout");

#endif
