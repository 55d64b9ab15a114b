// Pieces shared by the queries of CVR_MANGR: checking that a chain address
// names something, filling a seg from the movie or still tables and mapping
// its stream positions to a file, and summarising a chain. Internal to the
// library (not installed).
#ifndef VRMANGR_QUERY_INTERNAL_QUERY_SUPPORT_H
#define VRMANGR_QUERY_INTERNAL_QUERY_SUPPORT_H

#include "platform/types.h"

class CVR_MANGR;
class CPGCI;

namespace vrm::query {

// Addressing (see CVR_MANGR's query members). A chain without programs (a
// playlist's) answers for program 1 only.
bool ProgramExists(const CPGCI& chain, int pg);
// Global 0-based index of the first cell of program pg (1-based).
DWORD FirstCellOfProgram(const CPGCI& chain, int pg);
// Whether (pg, cell, ep) names a segment of the chain: a cell that exists
// and an entry point of it, or an entry-point count the walk over the chain
// (or from program pg on) reaches. The chain's own translation falls back to
// the first cell for counts it does not reach; this check keeps such numbers
// from naming a segment.
bool SegmentExists(CPGCI& chain, int pg, int cell, int ep);

// STILL_TM of VMGI_MAT (seconds a still picture is shown); 0 without it.
BYTE StillTime(const CVR_MANGR& m);

// Fill s for the time range [start, end] (27 MHz counts, narrowed by the
// frame window firstFrame..lastFrame) of VOB vobi, or for VOG vogi, from the
// movie or still table (which the model must hold), then turn its stream
// positions into the file that holds the bytes and the positions in that
// file, and read the video bit rate there. When the positions cannot be
// found, szFileName is empty and the positions, dwHeadSize and dwSkipFrames
// are 0.
void FillMovieSegment(CVR_MANGR& m, WORD vobi, __int64 start, __int64 end, DWORD firstFrame, DWORD lastFrame, seg* s);
// A still segment covers pictures first..last (1-based) of VOG vogi: its
// bytes run from the first one's start to the last one's end, it counts
// one frame per picture and lasts STILL_TM seconds per picture.
void FillStillSegment(CVR_MANGR& m, WORD vogi, BYTE first, BYTE last, seg* s);
// The pictures of segment (pg, cell, ep) of a still cell (ep 0: the whole
// cell); false when the address names no still cell.
bool StillPictures(CPGCI& chain, int pg, int cell, int ep, BYTE* first, BYTE* last);

// A chain's or program's type byte as a content type: 0x00 (movie cells
// only) 0, 0x10 (still pictures only, or no cell) 1, anything else 2.
DWORD ContentType(BYTE type);
// The recording time of the first cell of program pg (its VOB's VOB_REC_TM
// or its VOG's FIRST_VOB_REC_TM) as year, month, day, hour, minute, second;
// false when the cell or its time cannot be read.
bool FirstCellRecordingTime(const CVR_MANGR& m, CPGCI& chain, BYTE pg, DWORD out[6]);

// Stores year..second in the date fields of a DVDPGCINFO or DVDPGINFO.
template <class Info>
void PutDate(Info* info, const DWORD date[6]) {
    info->dwYear = date[0];
    info->dwMonth = date[1];
    info->dwDay = date[2];
    info->dwHour = date[3];
    info->dwMinute = date[4];
    info->dwSecond = date[5];
}

}  // namespace vrm::query

#endif
