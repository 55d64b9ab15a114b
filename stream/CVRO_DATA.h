// The stream library: the objects that own the stream files VR_MOVIE.VRO and
// VR_STILL.VRO of a recording directory. The manager holds one CVR_MOVIE and
// one CVR_STILL, and reads three of their data members directly: the record
// of the file analysed last, the movie stream's size in sectors and the
// error code of the last failure.
//
// A stream object keeps a logical end (m_dwVROSize): the number of 2048-byte
// sectors of the stream file that belong to the disc. Files registered since
// the last save wait in a queue; they are placed back to back from the
// logical end, in queue order, and written there by fnAppendVOBListToVRO,
// but for files queued at a place of their own below the logical end
// (fnAddVOBToListAt: sectors no recording uses that read as zeros), which
// are written into that place.
// Bytes of the stream file behind the logical end (an earlier disc's data in
// a directory started anew, a partial sector) are never read as stream data
// and are replaced or cut at the next append. See docs/stream.md.
#ifndef VRMANGR_STREAM_CVRO_DATA_H
#define VRMANGR_STREAM_CVRO_DATA_H

#include <memory>
#include <string>
#include <vector>

#include "io/errors.h"
#include "platform/types.h"
#include "stream/VR_MPEGFILE_INFO.h"

namespace vrm {
class DiscFiles;
}

namespace vrm {
class File;
struct AnalysisError;
}  // namespace vrm

// Modes of fnInit.
enum : DWORD {
    VRO_INIT_OPEN = 0x80000000,  // the stream file must exist
    VRO_INIT_NEW = 0x40000000,  // a new disc; the file is created when missing
};

// First argument after the context of the progress callback: what is being
// done. The analyser reports VRO_PROGRESS_ANALYSE, the append
// VRO_PROGRESS_APPEND.
enum : DWORD {
    VRO_PROGRESS_ANALYSE = 1,
    VRO_PROGRESS_APPEND = 2,
};

// ProgressCallback contract (both operations that report progress):
//   cb(context, phase, done, total, file)
//   context  the stream object doing the work (CVRO_DATA*);
//   phase    VRO_PROGRESS_ANALYSE or VRO_PROGRESS_APPEND;
//   done     2048-byte sectors processed so far in this operation;
//   total    sectors the whole operation processes (done <= total);
//   file     1-based number of the queued file being worked on (1 while
//            analysing a single file).
// The append calls it once with done = 0 before writing and after every
// copied block (at most 2 MB apart); the last call has done = total and comes
// before the append commits, so cancelling there still changes nothing.
// A result of 0 cancels: the operation fails with VRO_ERR_CANCELLED and
// leaves the stream file and the queue as they were. Any other result goes on.

class VRMANGR_API CVRO_DATA {
public:
    // isMovie is 1 for the movie stream, 0 for the still-picture stream.
    explicit CVRO_DATA(int isMovie);
    ~CVRO_DATA();
    CVRO_DATA(const CVRO_DATA&) = delete;
    CVRO_DATA& operator=(const CVRO_DATA&) = delete;

    // Binds the object to <dir>/VR_MOVIE.VRO (movie) or <dir>/VR_STILL.VRO
    // (still) and empties the queue. VRO_INIT_OPEN requires the file and sets
    // the logical end to its size in whole sectors; VRO_INIT_NEW creates the
    // file when missing and sets the logical end to 0: an existing file's
    // contents then belong to an earlier disc and are replaced at the next
    // append. Relative directories are taken from the current directory.
    // 1 on success, 0 on failure. An Open that finds no file returns 0 but
    // leaves the object bound to an empty stream, so a disc without this
    // stream can be saved and its first queued file creates the file.
    int fnInit(const char* dir, DWORD mode);
    // Binds the object, for reading only, to the stream file among files (a
    // disc read from an image or a drive), as fnInit with VRO_INIT_OPEN
    // does: its length is asked of files, and it is named by files'
    // PathOf. Nothing can be queued or appended (VRO_ERR_READ_ONLY).
    int fnInitFiles(std::shared_ptr<const vrm::DiscFiles> files);
    // The stream file's length in bytes now, or -1 when it is not there.
    int64_t fnGetStreamFileSize() const;

    // Names the file that m_MpegFileInfo describes. The analyser sets it with
    // the record; fnAddVOBToList queues this name. Relative names are made
    // absolute against the current directory.
    void fnSetAnalysedFileName(const char* path);
    const char* fnGetAnalysedFileName() const { return m_strFileName.c_str(); }

    // Queues the analysed file (the name set above) for the next append,
    // with the size the record describes: for a movie the VOB's
    // pVOBUTable[dwVOBUNs].dwVOBUAddr sectors, for a still file the VOG's
    // pVOBUTable[dwFrameNs].dwVOBUAddr sectors; the first that many sectors
    // of the file are copied. A still file analysed by
    // CVR_STILL::fnCheckAppendVOB and queued with this object's record is
    // copied in its still VOB layout instead (the analysed packs in order). The still object writes the VOG's start
    // sector (logical end + sectors already queued) into info->dwVOBStartAddr; the movie object leaves the record
    // alone, its VOB lands at the same place. The record must describe the file from its first sector: addresses start
    // at 0 and rise. 1 when queued, 0 otherwise (nothing queued).
    int fnAddVOBToList(VR_MPEGFILE_INFO* info);

    // Queues the analysed file, as fnAddVOBToList does, to be written into
    // sectors [sector, sector + its size) of the stream file instead of
    // behind the logical end: a place below the logical end that no
    // recording of the disc uses and that reads as zeros (the caller knows
    // the recordings; this object checks the zeros again before it writes,
    // and refuses a place that does not lie below the logical end or meets
    // another file queued in place). The stream file keeps its length. A
    // movie record only. 1 when queued, 0 otherwise (nothing queued).
    int fnAddVOBToListAt(VR_MPEGFILE_INFO* info, DWORD sector);
    // Whether sectors [first, first + count) lie in the stream file and
    // read as nothing but zeros (never written, or given back): 1 when they
    // do, 0 when any byte is not zero, a sector is missing or the file
    // cannot be read.
    int fnSectorsReadAsZeros(DWORD first, DWORD count) const;

    // Gives sectors [first, first + count) of the stream file back to the
    // file system: sectors the disc's saved tables no longer use (the
    // caller has checked that). A run that begins at the logical end and
    // reaches the end of the file is cut off; any other is made a hole
    // (fallocate punching, the file's length unchanged), which reads as
    // zeros. Sectors behind the end of the file are not there to give.
    // *released gains the bytes given back; *unsupported the bytes a file
    // system without hole punching keeps (not an error). Refused while
    // files are queued. 1 on success (also when the file system cannot
    // punch holes), 0 with the error set when the file cannot be changed.
    int fnReleaseSectors(DWORD first, DWORD count, uint64_t* released, uint64_t* unsupported);

    // Takes the file queued last off the queue again (a registration that
    // failed after queueing). 1 when one was removed, 0 on an empty queue.
    int fnRemoveLastVOBFromList();

    // Writes every queued file at the logical end in queue order, makes the
    // stream file end exactly behind the last one, forces it to disk, empties
    // the queue and advances the logical end. With an empty queue it only
    // cuts a stale tail. On any failure (unreadable or short source, write
    // error, disk full, cancel) the stream file's recorded data and the
    // logical end stay as they were, the queue is kept for a retry, and
    // m_dwLastError says why. cb may be null. 1 on success, 0 on failure.
    int fnAppendVOBListToVRO(ProgressCallback cb);

    // Takes back the last append (a save that fails after its streams were
    // written): the stream file is cut to the length it had before, and the
    // logical end and the queue are as they were before it. 1 when done, and
    // when nothing was appended since the last fnKeepAppend; 0 when the
    // append cannot be taken back (it replaced the whole file, or the cut
    // failed; m_dwLastError says why).
    int fnUndoAppend();
    // The last append stays for good (its save completed).
    void fnKeepAppend();

    // The first half of an append that replaces a stream file holding data
    // the disc does not record (nothing recorded, file not empty: the stream
    // of an earlier disc in the same directory). With files queued in that
    // case, writes them to a file beside the stream file (its name with
    // ".tmp-" and six characters no other file has) and forces it to disk,
    // leaving the stream file alone; the next
    // fnAppendVOBListToVRO only renames the staged file over the stream
    // file. In every other case does nothing. This lets a caller retire what
    // describes the old data between writing the new data and giving up the
    // old. A change of the queue, fnInit, fnDiscardStaged and destruction
    // remove the staged file. 1 on success (also when nothing needed
    // staging), 0 on failure, with the guarantees of fnAppendVOBListToVRO.
    int fnStageVOBList(ProgressCallback cb);
    // Removes the staged file, if any.
    void fnDiscardStaged();

    // Sets the logical end to the sector behind the highest recording the
    // disc's tables describe, without touching the file: where the next
    // queued file goes. Data of the file behind it is not the disc's (the
    // rest of an interrupted save) and makes the next append refuse
    // (VRO_ERR_TRAILING_DATA) rather than write over or behind it. When the
    // file holds fewer whole sectors, recorded data is missing: the logical
    // end becomes the file's whole sectors and the result is 0
    // (VRO_ERR_STREAM_SHORT). Refused while files are queued.
    int fnSetRecordedEnd(DWORD sectors);
    // The stream file already holds the first `sectors` sectors the disc
    // records from now on (a recording registered where it lies, as a
    // recovery finds it): the logical end grows to them, nothing is queued
    // or copied, and the file's data is this disc's, never replaced as an
    // earlier disc's. Refused while files are queued and when the file
    // holds fewer whole sectors.
    int fnAdoptRecorded(DWORD sectors);

    // Cuts the stream (file and logical end) to the given number of sectors.
    // Refused past the logical end and while files are queued. When the file
    // itself cannot be cut the logical end is cut all the same (the rest is
    // replaced at the next append) and the result is 0.
    int fnSetEndOfFile(DWORD sectors);

    // Maps a byte position of the stream (sector x 2048) to the file that
    // holds it: below the logical end the stream file itself (position
    // returned unchanged); inside a queued file that file and the offset in
    // it; below the recorded end the tables set (fnSetRecordedEnd) where the
    // file has lost its data, the stream file too. Otherwise -1 and name
    // "". name, when not null, receives the full
    // path, cut to at most 259 bytes and a terminating zero (260 in all). The
    // third argument is not used.
    __int64 fnGetAppendedFileNameAndAddress(__int64 pos, char* name, __int64* unused);

    // The video bit rate in bit/s of the first MPEG video sequence header at
    // or after the byte position, searched in the file that holds the
    // position within 1 MB and not past that file's stream data: 400 x
    // bit_rate_value, with the sequence extension's bit_rate_extension as the
    // upper bits when an MPEG-2 extension follows. 0 when none is found. The
    // second argument is not used.
    DWORD fnGetVideoBitrate(__int64 pos, const char* unused);

    // A sentence describing an error code; never null (vrm::ErrorText).
    static const char* fnGetErrorText(DWORD code);
    // The last failure in more detail (with the file it concerns); "" when
    // nothing failed yet.
    const char* fnGetLastErrorDetail() const { return m_strErrorDetail.c_str(); }

    // Full path of the stream file; "" before fnInit.
    const char* fnGetStreamPath() const { return m_strStreamPath.c_str(); }
    // Number of files queued.
    DWORD fnGetQueuedFileNs() const { return static_cast<DWORD>(m_Queue.size()); }
    // Sector behind the last file queued behind the logical end: where the
    // next such file would start, and the logical end after the next append.
    DWORD fnGetQueuedEnd() const;
    // Sectors the next append writes: every queued file, placed or not.
    uint64_t fnGetQueuedSectors() const;

    // The file analysed last.
    VR_MPEGFILE_INFO m_MpegFileInfo;
    // Logical end of the stream in 2048-byte sectors: the size of the stream
    // as the disc records it (see above).
    DWORD m_dwVROSize;
    // Error code (VRO_ERROR) of the last failed stream operation; 0 after
    // construction, left unchanged by successes.
    DWORD m_dwLastError;
    // 1 for the movie stream, 0 for the still stream.
    int m_bMovie;

    // A run of whole sectors of a source file.
    struct SectorRun {
        DWORD first;  // first sector in the source
        DWORD count;
    };

    // A queued file without a place of its own: it goes behind the logical
    // end.
    static constexpr DWORD kAppended = 0xFFFFFFFF;

    // One file waiting for the next append: its first `sectors` sectors are
    // copied to the stream, or, when runs are given, those runs in order
    // (a still file rearranged into the still VOB layout); behind the
    // logical end, or from sector `place` on.
    struct QueuedFile {
        std::string path;
        DWORD sectors;
        std::vector<SectorRun> runs;
        DWORD place = kAppended;
        // Its place holds what a failed append of this object wrote there
        // and could not clear: the retry writes over it.
        bool placeOwnData = false;
    };

protected:
    int Fail(DWORD code, const std::string& file);
    // Records an analysis failure: the code and a sentence naming the file
    // and the reason. Returns 0.
    int FailAnalysis(const vrm::AnalysisError& error, const char* file);
    // Keeps a successful movie analysis of `file` as the analysed record
    // (its VOBU table taken from *table). Returns 1.
    int KeepMovieAnalysis(const char* file, const VR_MPEGFILE_INFO& info, std::vector<VR_VOBU_ELEMENT>* table);

public:
    // Records a failure the manager found with a file while registering it
    // (the file does not fit the disc): the code, and as detail
    // "<file> <reason>.". Returns 0, the result of the failed call.
    int fnSetError(DWORD code, const char* file, const char* reason);

protected:
    // The table m_MpegFileInfo.pVOBUTable points into (VOBUs of a movie,
    // pictures of a still file, each with the closing element).
    std::vector<VR_VOBU_ELEMENT> m_Table;
    // Still files: the source sectors that make up the still VOG in the
    // order they are written (each picture's video part, then its audio
    // part), for the file analysed last. fnAddVOBToList queues them with
    // that file; empty for movies and after fnSetAnalysedFileName.
    std::vector<SectorRun> m_AnalysedRuns;

private:
    // Byte offset in the queued file q of byte `offset` of its data in the
    // stream, and the end of the run holding it.
    static uint64_t SourceOffset(const QueuedFile& q, uint64_t offset, uint64_t* runEnd);
    // Index of the queued file holding the byte position, with the position's
    // offset in it and the end of its data; -1 when none does.
    long FindQueued(__int64 pos, uint64_t* offset, uint64_t* end) const;
    // Size in sectors of the VOB or VOG the record describes; 0 when the
    // record cannot describe one.
    DWORD RecordSectors(const VR_MPEGFILE_INFO& info) const;
    // Copies every queued file into target: those with a place of their own
    // there, the others back to back from byte offset at on; 1 on success,
    // else 0 with the error set (target then holds partial data).
    int CopyQueue(vrm::File& target, uint64_t at, ProgressCallback cb);
    // Queues the analysed file, behind the logical end (place kAppended) or
    // in place.
    int Queue(VR_MPEGFILE_INFO* info, DWORD place);
    // Makes the places of the files queued in place read as zeros again (a
    // failed or taken back append); false when one could not be (it is then
    // marked as holding this object's own data).
    static bool ClearPlaces(vrm::File& file, std::vector<QueuedFile>& queue);
    // Refuses an append that would misplace data: a stream file that is not
    // a regular file or is shorter than the recorded data, and, with files
    // queued, a source that is missing or shorter than what is copied from
    // it. *physical receives the stream file's size (0 when missing).
    int CheckBeforeAppend(uint64_t* physical);
    // Whether the queue replaces stream data the disc does not record (an
    // earlier disc's stream, physical bytes long): such a file is written
    // aside and renamed into place, never overwritten in place.
    bool ReplacesEarlierData(uint64_t physical) const {
        return m_bNewDisc && !m_Queue.empty() && m_dwVROSize == 0 && physical > 0;
    }
    // Writes the queue to a new staging file and forces it to disk; on
    // failure removes it again.
    int WriteStaged(ProgressCallback cb);
    // A new disc's first save with nothing queued, over an earlier disc's
    // stream: the stream file is cut to nothing.
    int EmptyEarlierStream();
    // Appends the queue to the stream file in place (physical: its size):
    // the space reserved first, then the data copied, cut to its new end
    // and forced to disk; a failure takes it all back. The append can then
    // be undone.
    int AppendInPlace(uint64_t physical, ProgressCallback cb);
    // The staged file takes the stream file's place; the stream then ends
    // at sector newSectors.
    int TakeStaged(DWORD newSectors);
    // Forgets the stream file, the queue and what was staged (fnInit and
    // fnInitFiles start so).
    void Unbind();
    // The stream file's name in its directory: VR_MOVIE.VRO or VR_STILL.VRO.
    const char* StreamName() const { return m_bMovie ? "VR_MOVIE.VRO" : "VR_STILL.VRO"; }

    bool m_bInitialised;
    // Bound by VRO_INIT_NEW and not appended to since: the stream file's
    // bytes belong to an earlier disc and the first append replaces them.
    bool m_bNewDisc = false;
    // The stream file's length when the object was bound to it (or after
    // its last append): data behind the logical end up to here is not this
    // object's to write over.
    uint64_t m_qwBoundLength = 0;
    // The recorded end the manager set from its tables, in sectors, also
    // where the file holds less (its data is then missing from the logical
    // end on): positions up to it still name the stream file.
    DWORD m_dwTablesEnd = 0;
    // The queue is written to the staging file, complete and on disk.
    bool m_bStaged = false;
    // The staging file's generated name while m_bStaged.
    std::string m_strStagingPath;
    std::string m_strStreamPath;
    // The files the stream was bound to by fnInitFiles; null for a directory.
    std::shared_ptr<const vrm::DiscFiles> m_pFiles;
    std::string m_strFileName;
    std::string m_strErrorDetail;
    std::vector<QueuedFile> m_Queue;
    // What fnUndoAppend needs to take the last append back.
    struct AppendUndo {
        enum State { kNothing, kUndoable, kFinal } state = kNothing;
        DWORD vroSize = 0;  // logical end before the append
        uint64_t boundLength = 0;
        uint64_t length = 0;  // the file's length before the append
        bool newDisc = false;
        std::vector<QueuedFile> queue;
    } m_Undo;
};

// The movie stream VR_MOVIE.VRO.
class VRMANGR_API CVR_MOVIE : public CVRO_DATA {
public:
    explicit CVR_MOVIE(int isMovie = 1) : CVRO_DATA(isMovie) {}

    // Analyses an MPEG program stream of 2048-byte packs as a movie VOB and,
    // on success, fills m_MpegFileInfo and its VOBU table and names the file
    // for fnAddVOBToList. quickCheck 1 reads only as far as the first
    // sequence header and fills the video fields (frame rate, size, aspect
    // ratio, MPEG-2 flag, bit rate) without a VOBU table. progress follows
    // the callback contract above (phase VRO_PROGRESS_ANALYSE); a 0 result
    // cancels. 1 on success; 0 with m_dwLastError and the detail set, the
    // record, the table and the queue unchanged. See docs/stream.md.
    int fnCheckAppendVOB(const char* file, ProgressCallback progress, DWORD quickCheck);
    // Analyses sectors [firstSector, firstSector + sectors) of this object's
    // own stream file as one movie VOB, as fnCheckAppendVOB analyses a file
    // (VOBU addresses count from firstSector). For registering a recording
    // that already lies in the stream (fnAdoptRecorded); the record is not
    // for fnAddVOBToList. 1 on success; 0 with the error set.
    int fnCheckRecordedRange(DWORD firstSector, DWORD sectors, ProgressCallback progress);
};

// The still-picture stream VR_STILL.VRO.
class VRMANGR_API CVR_STILL : public CVRO_DATA {
public:
    explicit CVR_STILL(int isMovie = 0) : CVRO_DATA(isMovie) {}

    // Analyses an MPEG program stream of 1 to 255 intra pictures, each
    // optionally followed by audio, as one still VOG and, on success, fills
    // m_MpegFileInfo with its picture table (the layout the append writes:
    // per picture its video part, then its audio part) and names the file
    // for fnAddVOBToList. 1 on success; 0 with m_dwLastError and the detail
    // set, everything else unchanged.
    int fnCheckAppendVOB(const char* file);
    // Analyses sectors [firstSector, firstSector + sectors) of this object's
    // own stream file as one still VOG, as fnCheckAppendVOB analyses a file
    // (picture addresses count from firstSector); refused unless the packs
    // already lie in the VOG's layout. For registering pictures that
    // already lie in the stream (fnAdoptRecorded); the record is not for
    // fnAddVOBToList. progress as for a movie analysis. 1 on success; 0
    // with the error set.
    int fnCheckRecordedRange(DWORD firstSector, DWORD sectors, ProgressCallback progress);
};

#endif
