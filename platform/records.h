/* The records of the library's interface, each declared once, in C. The C
 * interface (vrmangr_c.h) uses them by these names; the C++ interface gives
 * them its own (SYSTEMTIME, seg, DVDPGCINFO, DVDPGINFO, VR_STATUS, ...) as
 * typedefs of the same types, so that no record is copied or converted
 * between the two. The Python package's structures are generated from this
 * file (bindings/python/gen_records.py). */
#ifndef VRMANGR_PLATFORM_RECORDS_H
#define VRMANGR_PLATFORM_RECORDS_H

#include <stdint.h>

/* A calendar date and time, UTC (SYSTEMTIME). */
typedef struct vrm_time {
    uint16_t wYear;
    uint16_t wMonth;  // 1..12
    uint16_t wDayOfWeek;  // 0 = Sunday
    uint16_t wDay;  // 1..31
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
} vrm_time;

/* One segment of a program chain: a cell or an entry point's stretch (seg). */
typedef struct vrm_seg {
    char szFileName[260];  // the file that holds the segment's bytes
    uint32_t dwSRPN;  // 1-based number of the VOB (movie cell) or VOG (still cell)
    uint32_t dwEntryPtNs;  // entry points of the cell (cell queries only)
    uint32_t dwCellType;  // 0 movie cell, 1 still-picture cell
    uint32_t dwSkipFrames;  // frames from the first VOBU read to the segment's start
    // The length of the segment: video frames (a still cell: its pictures)
    // and milliseconds. The first record of a segment that runs on into
    // continuation cells gives the whole segment's; each continuation record
    // gives its own cell's part.
    uint32_t dwFrameNs;
    uint32_t dwDuration;
    uint32_t dwWide;  // 1 for 16:9, 0 for 4:3
    uint32_t dwAST_Ns;  // audio streams
    uint32_t dwSPST_Ns;  // sub-picture streams
    uint32_t dwAudioCoding;  // 0 AC-3, 2 MPEG-1, 3 MPEG-2 with extension, 4 linear PCM
    uint32_t dwFrameRate;  // frames per 1000 s: 29970 or 25000
    uint32_t dwWidth;
    uint32_t dwHeight;
    uint32_t dwVideoBitrate;  // as reported by the stream library
    uint32_t dwSampleRate;  // audio sampling frequency in Hz (48000)
    uint32_t dwChannels;
    uint32_t dwAudioLayer;  // 2 for MPEG-1 audio, else 0
    uint32_t dwAudioMode;  // 0 stereo, 2 dual channel, 3 single channel
    uint32_t dwAudioBitrate;  // kbit/s
    uint32_t dwVideoFrames;  // same value as dwFrameNs
    uint32_t dwAudioSamples;  // audio samples of the segment (as dwFrameNs)
    uint32_t dwMpegVersion;  // 0 MPEG-1 video, 2 MPEG-2
    uint8_t reserved_348[36];  // the caller's; never written by the library
    // The segment's bytes in szFileName: from the VOBU that holds its first
    // frame (a still segment: its first picture) to behind the VOBU that
    // holds its last (its last picture). Of this cell only; continuation
    // records give the bytes of the next cells.
    int64_t llStartPos;
    int64_t llEndPos;  // byte position behind the segment's last VOBU
    uint32_t dwHeadSize;  // bytes of the first VOBU plus the one after it
    uint32_t dwHasNext;  // 1 when the segment continues in pNext
    uint32_t dwNextNs;  // continuation records chained behind this one
    struct vrm_seg* pNext;  // the continuation record (the next cell's segment), or NULL
    uint8_t reserved_tail[56];  // the caller's; never written by the library
} vrm_seg;

/* A program chain: the original chain or a playlist (DVDPGCINFO). */
typedef struct vrm_pgc_info {
    uint32_t dwContentTy;  // 0 movie cells only, 1 still-picture cells only (or no cell), 2 both
    uint32_t dwYear;  // recording (or playlist creation) time, wall-clock time of the disc's zone (TM_ZONE)
    uint32_t dwMonth;
    uint32_t dwDay;
    uint32_t dwHour;
    uint32_t dwMinute;
    uint32_t dwSecond;
    uint32_t dwDuration;  // milliseconds
    uint32_t dwCount;  // entry points, cells or programs, by the query's mode
    char szPrmText[128];  // the primary text, PRM_TXTI
    uint8_t reserved_164[52];  // the caller's
} vrm_pgc_info;

/* A program of the original chain with its first entry point's segment
 * (DVDPGINFO). */
typedef struct vrm_pg_info {
    uint32_t dwContentTy;
    uint32_t dwYear;
    uint32_t dwMonth;
    uint32_t dwDay;
    uint32_t dwHour;
    uint32_t dwMinute;
    uint32_t dwSecond;
    uint32_t dwDuration;
    uint32_t dwCount;
    char szPrmText[128];
    uint8_t reserved_164[52];
    vrm_seg EntrySeg;
} vrm_pg_info;

/* Why the handle's last call failed (VR_STATUS). */
typedef struct vrm_status {
    uint32_t dwCode;
    // What llAt counts: VR_STATUS_NOWHERE (0), VR_STATUS_BYTE_OFFSET (1) a
    // byte offset in the file the sentence names, VR_STATUS_ITEM (2) the
    // number of the item it names.
    uint32_t dwWhere;
    int64_t llAt;
    char szText[512];  // NUL-terminated UTF-8, cut at a character boundary
} vrm_status;

typedef struct vrm_open_state {
    uint32_t dwOpenedCopy;  // the copy the tables come from: 0 VR_MANGR.IFO, 1 VR_MANGR.BUP
    uint32_t dwOtherCopy;  // VR_COPY_*; while VR_COPY_DIFFERS, Save refuses (VRO_ERR_COPIES_DIFFER)
    uint32_t dwFindings;  // the number of sentences fnVR_GetOpenFinding gives
} vrm_open_state;

typedef struct vrm_open_finding {
    uint32_t dwCopy;  // the copy it is about: 0 VR_MANGR.IFO, 1 VR_MANGR.BUP
    uint32_t dwKind;  // VR_FINDING_*
    // The sentence without the copy's name in front: "cannot be read.",
    // "does not load: ..." (VR_FINDING_COPY) or "ORG_PGCI: ..."
    // (VR_FINDING_TABLES). NUL-terminated UTF-8, cut at a character boundary.
    char szText[512];
} vrm_open_finding;

typedef struct vrm_disc_facts {
    char szIdentifier[13];  // VMG_ID, NUL-terminated: "DVD_RTR_VMG0"
    uint8_t cStillTime;  // STILL_TM, seconds
    uint8_t cCharacterSet;  // CHRS
    uint8_t reserved_15;
    uint16_t wVersion;  // VERN
    uint16_t wTimeZone;  // TM_ZONE as recorded: 0x1000 plus the offset from UTC in minutes
    uint32_t dwVmgiEnd;  // VMGI_EA: the last byte of RTR_VMGI
    uint32_t dwManagementEnd;  // RTR_VMG_EA: the last byte of the management area
} vrm_disc_facts;

typedef struct vrm_protection {
    uint16_t wCPSI;  // CPSI as recorded (0: none)
    uint8_t cTitleKey;  // 1 when ETKI holds a key (a byte other than 0)
    uint8_t cProtected;  // pg 0: the disc carries either; pg n: program n is protected
    uint32_t dwPrograms;  // pg 0: the protected programs of the original chain
} vrm_protection;

typedef struct vrm_table_place {
    char szName[12];  // the table's name, NUL-terminated
    uint32_t dwStart;  // its start address: a byte offset in the management file
    uint32_t dwSize;  // the bytes it was loaded from; 0 for a table the disc does not have
} vrm_table_place;

typedef struct vrm_extent_pair {
    uint16_t wFirst;
    uint16_t wSecond;
} vrm_extent_pair;

/* The four files of a disc read from elsewhere than a directory, by name
 * (VR_DISC_FILES): size (-1 when missing) and positioned read (the number
 * of bytes read, fewer only at the end; -1 when they cannot be read). */
typedef struct vrm_disc_files {
    void* pContext;  // handed to both functions
    // The length in bytes of the named file; -1 when it is not there.
    int64_t (*pfnSize)(void* context, const char* name);
    // Reads up to n bytes of the named file at offset into data: the number
    // read (fewer only at the file's end), or -1 when they cannot be read.
    int64_t (*pfnRead)(void* context, const char* name, uint64_t offset, void* data, uint32_t n);
} vrm_disc_files;

typedef struct vrm_stream_extent {
    uint16_t wNumber;
    uint32_t dwStart;  // first sector
    uint32_t dwSectors;
} vrm_stream_extent;

typedef struct vrm_sector_run {
    uint32_t dwStart;
    uint32_t dwSectors;
} vrm_sector_run;

typedef struct vrm_stream_use {
    uint32_t dwExtents;  // recordings: VOBs of VR_MOVIE.VRO or VOGs of VR_STILL.VRO
    uint32_t dwOverlaps;  // pairs of recordings that share sectors
    uint32_t dwGaps;  // runs of sectors before the highest recording end that no recording uses
    uint32_t dwRecordedEnd;  // the sector behind the highest recording end
    uint32_t dwFilePresent;  // 1 when the stream file exists
    uint32_t reserved_20;
    int64_t llFileBytes;  // its length (0 when missing)
    int64_t llTrailingBytes;  // its bytes behind the highest recording end
    int64_t llMissingBytes;  // recorded bytes behind the end of the file
} vrm_stream_use;

typedef struct vrm_program_edit {
    int64_t llFrom;  // where it cut: 27 MHz ticks of play time from the program's start (0: delete, combine)
    int64_t llTo;  // the end of the erased stretch (llFrom for a division)
    uint32_t dwRecordingsRemoved;  // VOBs and VOGs no cell plays any more, gone from the tables
    uint32_t dwRecordingsShortened;  // VOBs shortened or split to what is still played
    uint32_t dwSectorsFreed;  // sectors of the stream files no recording covers any more
    uint32_t dwPlaylistsChanged;  // playlists that lost cells or parts of cells
    uint32_t dwPlaylistsDeleted;  // playlists left empty, deleted
    uint32_t reserved_36;
    uint8_t cPlaylists[100];  // per playlist as numbered before: 0 unchanged, 1 changed, 2 deleted
    uint8_t reserved_140[4];
} vrm_program_edit;

typedef struct vrm_released_space {
    int64_t llMovieBytes;  // bytes of VR_MOVIE.VRO given back
    int64_t llStillBytes;  // bytes of VR_STILL.VRO given back
    // Bytes that stay in the files, unused, because their file system cannot
    // punch holes: not an error, the save stands.
    int64_t llMovieUnsupported;
    int64_t llStillUnsupported;
    // Runs that could not be given back for another reason (an I/O error)
    // and their bytes: they stay unused in the file; the save stands.
    uint32_t dwFailedRuns;
    uint32_t reserved_36;
    int64_t llFailedBytes;
} vrm_released_space;

typedef struct vrm_found_stretch {
    uint32_t dwKind;  // VR_FOUND_RECORDING, VR_FOUND_STILLS, VR_FOUND_DAMAGED or VR_FOUND_UNUSED
    uint32_t dwFirstSector;  // where it begins in the stream file
    uint32_t dwSectors;  // whole sectors it spans (a recording: its VOB's size)
    uint32_t reserved_12;
    int64_t llFirstByte;  // dwFirstSector x 2048
    // Its bytes: whole sectors, and for a stretch at the end of the file
    // the partial sector behind them.
    int64_t llBytes;
    // A recording's attributes as its analysis gives them (see
    // VR_MPEGFILE_INFO): frames per 1000 s, picture size, aspect ratio code,
    // MPEG-2 flag, audio coding bits, sampling rate, channels, bit rate
    // (kbit/s), and its length in video frames (a group of still pictures:
    // its picture count). 0 for a damaged stretch.
    uint32_t dwFrameRate, dwWidth, dwHeight, dwAspectRatio, dwMpeg2;
    uint32_t dwAudioCodingBits, dwSampleRate, dwAudioChannels, dwAudioBitrate;
    uint32_t dwFrames;
    // A recording or group: what ends it ("the end of the file", "a program
    // end code", "the clock jumps back by 1.96 s", "the picture size
    // changes", ...). A damaged stretch: why it holds no recording.
    // NUL-terminated.
    char szText[200];
} vrm_found_stretch;

typedef struct vrm_character_set {
    uint8_t cCode;  // CHRS of VMGI_MAT: 0x00 ASCII, 0x11 ISO 8859-1, 0x12 Shift-JIS
    // 1 for those three; 0 for any other code, whose texts the getters
    // below read as ISO 8859-1 (worth a note to the user) and into which
    // the setters write nothing.
    uint8_t cKnown;
    uint8_t reserved_2[2];
    char szName[32];  // "ASCII", "ISO 8859-1", "Shift-JIS" or "unknown", NUL-terminated
} vrm_character_set;

/* What the last check of a directory found, as a whole (VR_CHECK_SUMMARY). */
typedef struct vrm_check_summary {
    uint32_t dwFindings;  // the findings fnVR_GetCheckFinding gives
    uint32_t dwDamage;  // of them, VR_CHECK_DAMAGE: the disc failed the check when not 0
    uint32_t dwWarnings;  // of them, VR_CHECK_WARNING
    uint32_t dwReadFrom;  // the copy the disc is read from: 0 VR_MANGR.IFO, 1 VR_MANGR.BUP, 2 neither loads
    uint32_t dwIdentical;  // 1 when both copies are present and byte-identical
    uint32_t dwCells;  // cells of the original chain of the copy read from
    uint32_t dwLeftovers;  // 1 when a repair would remove leftovers of an interrupted save
    uint32_t dwRestoreFrom;  // the copy a repair would restore the other from: 0 IFO, 1 BUP, 2 none
    int64_t llFreeBytes;  // unused stream bytes between recordings that read as zeros (space an edit gave back)
    char szRestoreWhy[512];  // why that copy is kept, a clause; NUL-terminated UTF-8
} vrm_check_summary;

/* One finding of a check (VR_CHECK_FINDING). */
typedef struct vrm_check_finding {
    uint32_t dwSeverity;  // VR_CHECK_DAMAGE, VR_CHECK_WARNING or VR_CHECK_NOTE
    uint32_t dwKind;  // VR_CHECK_COPY, ...: what it is about
    uint32_t dwHasRange;  // 1 when llStart and llEnd name bytes of szFile
    uint32_t reserved_12;
    int64_t llStart;  // bytes [llStart, llEnd) of szFile
    int64_t llEnd;
    char szFile[64];  // the file it concerns by its name in the directory; "" for the disc as a whole
    char szText[2048];  // one sentence; NUL-terminated UTF-8, cut at a character boundary
} vrm_check_finding;

/* One thing a repair did or, with a dry run, would do (VR_REPAIR_ACTION). */
typedef struct vrm_repair_action {
    uint32_t dwKind;  // VR_REPAIR_RESTORE, ...
    uint32_t dwDone;  // 1 when it changed the directory
    uint32_t dwHasRange;  // 1 when llStart and llEnd name bytes of szFile
    uint32_t reserved_12;
    int64_t llStart;
    int64_t llEnd;
    char szFile[64];
    char szText[2048];
} vrm_repair_action;

#endif
