// The stream files as runs of 2048-byte sectors: each recording's extent
// (a VOB of VR_MOVIE.VRO, a still-picture group (VOG) of VR_STILL.VRO),
// and what the recordings a disc describes make of the file (the coverage
// the query floor computes).
#ifndef VRMANGR_STREAM_STREAM_EXTENTS_H
#define VRMANGR_STREAM_STREAM_EXTENTS_H

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/types.h"

// One recording: a VOB (movie stream) or a VOG (still stream), numbered
// from 1 in table order.
typedef vrm_stream_extent VR_STREAM_EXTENT;

typedef vrm_sector_run VR_SECTOR_RUN;

struct VR_STREAM_COVERAGE {
    std::vector<VR_STREAM_EXTENT> extents;  // every VOB or VOG, by start sector
    std::vector<std::pair<WORD, WORD>> overlaps;  // numbers of two recordings sharing sectors
    std::vector<VR_SECTOR_RUN> gaps;  // sectors below dwRecordedEnd that no recording uses
    DWORD dwRecordedEnd = 0;  // the sector behind the highest recording end
    bool bFilePresent = false;  // the stream file exists
    uint64_t qwFileBytes = 0;  // its length in bytes (0 when missing)
    uint64_t qwTrailingBytes = 0;  // bytes behind the highest recording end
    uint64_t qwMissingBytes = 0;  // recorded bytes beyond the end of the file (gaps not counted)
};

#endif
