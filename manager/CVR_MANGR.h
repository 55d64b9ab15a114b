// CVR_MANGR: one DVD-VR recording directory under management. It holds the
// management file VR_MANGR.IFO as a tree of tables (VMG_MODEL), the buffer
// the file is mapped and written through, and the stream objects of
// VR_MOVIE.VRO and VR_STILL.VRO. A handle of the flat interface points at
// one of these objects.
#ifndef VRMANGR_MANAGER_CVR_MANGR_H
#define VRMANGR_MANAGER_CVR_MANGR_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "io/TextCodec.h"
#include "io/status.h"
#include "manager/VMG_MODEL.h"
#include "platform/types.h"
#include "stream/CVRO_DATA.h"
#include "stream/recording_scan.h"
#include "stream/stream_extents.h"

class CBuffer;
namespace vrm {
class DirectoryLock;
struct ManagerObjects;
struct ManagerTables;

// What an edit of the original chain's programs did (fnDEL_Program,
// fnErase_Program_Part, fnDevide_Program, fnCombine_Program).
struct ProgramEdit {
    // Where it cut, in 27 MHz ticks of play time from the program's start
    // (as the program was before the edit): the erased stretch, or the
    // point of a division (both the same); 0 for a delete or a combine.
    __int64 from = 0;
    __int64 to = 0;
    DWORD removed = 0;  // VOBs and VOGs no cell plays any more, gone from the tables
    DWORD shortened = 0;  // VOBs shortened or split to what is still played
    // Per playlist as numbered before the edit: 0 unchanged, 1 lost cells or
    // parts of cells, 2 left empty and deleted.
    std::vector<BYTE> playlists;
    // Sectors of VR_MOVIE.VRO and VR_STILL.VRO that no recording covers any
    // more.
    std::vector<VR_SECTOR_RUN> freedMovie;
    std::vector<VR_SECTOR_RUN> freedStill;
};
}  // namespace vrm
struct RTR_VMGI;
class CRTR_VMGI;
class CM_AVFIT;
class CS_AVFIT;
class CPGCI;
class CUD_PGCIT;
class CTXTDT_MG;
class CMNFIT;

class VRMANGR_API CVR_MANGR {
public:
    // Builds an empty manager: a closed buffer, a zeroed model root, and the
    // movie and still stream objects. Any of them is null when its
    // allocation failed.
    CVR_MANGR();
    // Releases what the object owns: every table (record and accessor), the
    // buffer, the model root, and the movie and still stream objects.
    ~CVR_MANGR();
    // Shallow copy: afterwards both objects refer to the same buffer, model,
    // tables and stream objects, which stay owned by other; this object
    // keeps (and releases when it goes) what it owned before. Either may be
    // destroyed first, but this object may be used only while other lives
    // and is not changed.
    CVR_MANGR& operator=(const CVR_MANGR& other);
    // Copy construction would share ownership the same way; it is not offered.
    CVR_MANGR(const CVR_MANGR&) = delete;

    // Tables of the management file, in file order; index into m_dwTableSize.
    enum Table { kRTR_VMGI, kM_AVFIT, kS_AVFIT, kORG_PGCI, kUD_PGCIT, kTXTDT_MG, kMNFIT, kTableCount };
    // The management area is at least this long: shorter tables are followed
    // by zeros up to it.
    static constexpr DWORD kManagementAreaSize = 0x20000;
    // Longest directory path, terminator included.
    static constexpr size_t kMaxDir = 260;

    // Binds the handle to the directory dir: remembers it (without a
    // trailing '/'), opens VR_MANGR.IFO (or, failing that, VR_MANGR.BUP),
    // checks its identifier and readies the stream files. mode is
    // CBuffer::kReadWrite for New (a missing or empty management file is a
    // new disc) and CBuffer::kRead for Open. 1 on success.
    int fnInit(const char* dir, DWORD mode);
    // A new, empty disc in dir: VMGI_MAT with the values of a new file, no
    // playlist, no recording, an empty original chain. Nothing reaches the
    // disc before Save. An earlier model of the handle is released.
    int fnRTR_VMG_New(const char* dir);
    // Places the tables: each start address (0 for an absent table) and the
    // end addresses, from the table sizes.
    int fnGenerateEndAddressToVMGI_MAT();
    // Appends the queued recordings to the stream files, then writes
    // VR_MANGR.IFO and its identical backup VR_MANGR.BUP. Each is written as
    // a new file, forced to disc and renamed over the old one, so a crash at
    // any point leaves at least one of them whole. Once both are in place,
    // the sectors edits gave up (fnRelease_Stream_Sectors) are given back.
    // 1 on success.
    int fnRTR_VMG_Save(ProgressCallback cb);
    // The length of the tables together (the file without its zero fill).
    DWORD m_dwSize();
    // Opens the disc in dir, reading only: no file is created, changed or
    // cut. Both VR_MANGR.IFO and VR_MANGR.BUP are loaded and checked across
    // their tables (fnCheckConsistency); a copy that does not load or is
    // inconsistent is damaged and never used. Of two good copies the one
    // whose recordings lie inside the stream files without overlapping is
    // used, the IFO when both (or neither) do. 0 (and the handle as it was)
    // when neither copy is good; fnGetOpenFindings then says why.
    int fnRTR_VMG_Open(const char* dir);
    int fnRTR_VMG_Load_Table_From_File(const char* dir);
    // Opens, as fnRTR_VMG_Open does, the disc whose four files files gives
    // (the UDF file system of a disc image or a drive, say); location names
    // it in messages. The disc is read only: adds, and a save, are refused
    // with VRO_ERR_READ_ONLY. files is kept until the next Open, New or
    // destruction.
    int fnOpenFiles(std::shared_ptr<const vrm::DiscFiles> files, const char* location);
    // The disc was opened from files other than a directory: it is read only.
    bool fnIsReadOnly() const { return m_pFiles != nullptr; }
    // An advisory lock on the recording directory dir for this object, held
    // until fnUnlockDirectory, the next lock or destruction (see
    // fnVR_MANGRLock for the contract with other processes). exclusive != 0
    // for a writer, 0 for a reader; waitMs bounds the wait while another
    // holder's lock conflicts. 1 when held; 0 with m_dwLastError
    // VRO_ERR_LOCKED when a conflicting lock stayed, VRO_ERR_BAD_ARGUMENT
    // when dir cannot be opened as a directory or offers no locks.
    int fnLockDirectory(const char* dir, int exclusive, DWORD waitMs);
    void fnUnlockDirectory();
    // Table loaders over the open file at the start addresses read by
    // fnInit; each replaces the manager's accessor of its table and returns
    // the size it loaded.
    DWORD fndwLoad_RTR_VMGI_From_File(CBuffer* buffer, RTR_VMGI* record);
    DWORD fndwLoad_M_AVFIT_From_File(CBuffer* buffer, M_AVFIT* record);
    DWORD fndwLoad_S_AVFIT_From_File(CBuffer* buffer, S_AVFIT* record);
    DWORD fndwLoad_ORG_PGCI_From_File(CBuffer* buffer, PGCI* record);
    DWORD fndwLoad_UD_PGCIT_From_File(CBuffer* buffer, UD_PGCIT* record);
    DWORD fndwLoad_TXTDT_MG_From_File(CBuffer* buffer, TXTDT_MG* record);
    DWORD fndwLoad_MNFIT_From_File(CBuffer* buffer, MNFIT* record);

    // The recording directory given to New or Open, without a trailing '/'.
    char m_szDir[260];
    // The management file currently open.
    CBuffer* m_pBuffer;
    // STILL_TM of the file, read at open.
    DWORD m_dwStillTm;
    // Number of the user-defined program chain selected for playlist
    // editing; 0 means none.
    BYTE m_cCurUDPGCN;
    VMG_MODEL* m_pModel;
    // Error code of the stream library's last failure to append the movie
    // objects at save; 0 until such a failure.
    DWORD m_dwLastError;
    // Start addresses read at open, of the tables behind RTR_VMGI in file
    // order (the order of Table from kM_AVFIT on).
    enum StartAddress {
        kSA_M_AVFIT,
        kSA_S_AVFIT,
        kSA_ORG_PGCI,
        kSA_UD_PGCIT,
        kSA_TXTDT_MG,
        kSA_MNFIT,
        kStartAddressCount
    };
    static_assert(kStartAddressCount == kTableCount - kM_AVFIT && kSA_MNFIT == kMNFIT - kM_AVFIT,
                  "a start address for each table behind RTR_VMGI, in the same order");
    DWORD m_dwSA[kStartAddressCount];
    // Serialised size of each table in file order; 0 for an absent table.
    DWORD m_dwTableSize[kTableCount];
    CRTR_VMGI* m_pRTR_VMGI;
    CM_AVFIT* m_pM_AVFIT;
    CS_AVFIT* m_pS_AVFIT;
    CPGCI* m_pORG_PGCI;
    CUD_PGCIT* m_pUD_PGCIT;
    CTXTDT_MG* m_pTXTDT_MG;
    CMNFIT* m_pMNFIT;
    CVR_MOVIE* m_pMovie;
    CVR_STILL* m_pStill;

    // ---- Giving back unused stream space (addition) ----
    // What the last save gave back of the stream files.
    struct ReleasedSpace {
        uint64_t released[2] = {};  // bytes given back: [0] VR_MOVIE.VRO, [1] VR_STILL.VRO
        // Bytes left in the file because its file system cannot punch holes
        // (no error: they stay as unused sectors).
        uint64_t unsupported[2] = {};
        DWORD failedRuns = 0;  // runs that could not be given back for another reason
        uint64_t failedBytes = 0;
    };
    // An edit has left sectors [first, first + count) of VR_MOVIE.VRO (still
    // 0) or VR_STILL.VRO (still 1) unplayed: the next save that writes both
    // management files gives them back to the file system (a hole punched,
    // or the file cut where they end it), but never a sector a recording of
    // the tables it saved uses. Nothing happens to them before that save,
    // nor when the handle ends without one. Edits call it with their
    // changes. 0 for a run past 2^32 sectors, or without a disc.
    int fnRelease_Stream_Sectors(int still, DWORD first, DWORD count);
    // What the last save gave back (all zero after a save that failed).
    const ReleasedSpace& fnGetReleasedSpace() const { return m_Released; }

    // ---- Why the last call failed (addition) ----
    // The flat interface clears it when a call starts; whatever refuses the
    // call fills it in (see fnVR_MANGRGetLastStatus).
    const vrm::Status& fnGetLastStatus() const { return m_status; }
    // Records why the current call fails and returns 0, so that a refusal
    // reads `return fnFail(...)`. The first reason given stays.
    int fnFail(DWORD code, std::string text, DWORD where = vrm::Status::kNowhere, uint64_t at = 0);
    // Records the stream object's last failure: its code and its sentence.
    int fnFailFromStream(const CVRO_DATA* stream);
    vrm::Status m_status;

    // ---- Safety of the recorded data (additions) ----
    // What Open found of the two management files.
    enum CopyState {
        kCopySame,  // the other copy holds the same bytes (or the disc is new)
        kCopyMissing,  // the other copy is missing
        kCopyDamaged,  // the other copy does not load or is inconsistent
        kCopyDiffers,  // the other copy is good but describes another state of the disc
    };
    // The copy the tables were loaded from: 0 VR_MANGR.IFO, 1 VR_MANGR.BUP.
    int fnGetOpenedCopy() const { return m_nOpenedCopy; }
    // The state of the other copy (CopyState). While it is kCopyDiffers,
    // Save refuses (VRO_ERR_COPIES_DIFFER): one copy would overwrite a
    // good other state of the disc; the tool's repair decides which to keep.
    int fnGetOtherCopyState() const { return m_nOtherCopy; }
    // Sentences about each copy from the last Open (why a copy was not
    // used: it does not load, which tables disagree, recordings outside the
    // stream files); empty when both copies were good.
    const std::vector<std::string>& fnGetOpenFindings() const { return m_OpenFindings; }
    // The same findings with the copy each is about (0 VR_MANGR.IFO, 1
    // VR_MANGR.BUP) and its kind, the sentence without the copy's name.
    enum FindingKind { kFindingCopy, kFindingTables };
    struct OpenFinding {
        int copy;
        int kind;  // FindingKind: the copy as a whole, or one disagreement of its tables
        std::string text;
    };
    const std::vector<OpenFinding>& fnGetOpenFindingDetails() const { return m_OpenFindingDetails; }
    // Checks the loaded tables against each other: the programs count the
    // chain's cells, every cell names an existing VOB or VOG and plays
    // inside it, entry points lie inside their cells, time maps inside their
    // VOBs. Appends one sentence per
    // violation (table and item; findings may be null) and returns 1 when
    // there is none.
    int fnCheckConsistency(std::vector<std::string>* findings);
    // The sectors each VOB (still 0) or VOG (still 1) occupies in its stream
    // file, with overlaps, gaps, data behind the last recording and
    // recordings beyond the end of the file. 1 on success.
    int fnGetStreamCoverage(int still, VR_STREAM_COVERAGE* out);

    // ---- Registering recordings and still pictures (record/) ----
    // Registers a recorded MPEG program stream as a movie recording: the
    // stream library analyses it (reporting through progress) and queues it
    // for the next save, placed in unused sectors between the recordings
    // where they read as zeros and are enough (FindFreeGap), else behind the
    // last one; the tables gain its stream attributes, its VOB with
    // a time map, and a cell of the original chain with an entry point at
    // its start. The file must have the TV system of the disc's first
    // recording. All or nothing: 0 leaves tables and queue as they were, and
    // the status (fnGetLastStatus) says why.
    int fnADD_Movie_Program(const char* fileName, ProgressCallback progress);
    // Registers a file of still pictures as a still-picture group with one
    // cell of the original chain; all or nothing, as above.
    int fnADD_Still_Pic_Program(const char* fileName);
    // Registers the recording that already lies in sectors [firstSector,
    // firstSector + sectors) of the disc's VR_MOVIE.VRO (as a recovery
    // finds it), at or behind the end of the last recording: analysed
    // there, added to the tables as fnADD_Movie_Program adds a file, and
    // nothing is copied at the save (the stream file stays as it is; so
    // does VR_STILL.VRO, which a new disc would otherwise replace). All or
    // nothing, as above.
    int fnADD_Recorded_Range(DWORD firstSector, DWORD sectors, ProgressCallback progress);
    // Registers the still pictures that already lie in sectors [firstSector,
    // firstSector + sectors) of the disc's VR_STILL.VRO as one still-picture
    // group (1 to 255 pictures, in the group's layout), at or behind the end
    // of the last group: analysed there, added as fnADD_Still_Pic_Program
    // adds a file, and nothing is copied at the save (both stream files stay
    // as they are). All or nothing, as above.
    int fnADD_Recorded_Still_Range(DWORD firstSector, DWORD sectors, ProgressCallback progress);
    // What the last scan of a stream file found, in file order.
    std::vector<VR_FOUND_STRETCH> m_Found;
    // What the last check of a directory found (fnVR_CheckDisc: its summary,
    // its findings, the VOBs [0] and VOGs [1] of the copy read from) and
    // what the last repair did (fnVR_RepairDisc), as the flat interface
    // gives them; the check floor above fills them.
    vrm_check_summary m_CheckSummary{};
    std::vector<vrm_check_finding> m_CheckFindings;
    std::vector<VR_STREAM_EXTENT> m_CheckExtents[2];
    std::vector<vrm_repair_action> m_RepairActions;
    // The next recording or still-picture file registered opens a program
    // of its own, even when the last program is of the same day (which it
    // would join otherwise). Holds for one registration. 0 without a disc.
    int fnStartNewProgram();
    // The next recording or still-picture file registered was made at utc
    // (UTC, as the disc keeps every time; the disc's time zone field is not
    // applied): its VOB_REC_TM or the VOG's recording times, and the date
    // text of the program it opens, take that time instead of the current
    // one, and it joins the last program only when that program is of the
    // same day. Holds for one registration (one that succeeds); null sets
    // back the current time. 0 without a disc, or for a time outside the
    // calendar or the years 1900 to 9999.
    int fnSetRecordingTime(const SYSTEMTIME* utc);
    // utc (the current time when null) as the wall-clock time of the disc's
    // zone (its TM_ZONE), the way every time on the disc is kept; unchanged
    // when the zone is unknown or no disc is open.
    SYSTEMTIME fnDiscTime(const SYSTEMTIME* utc) const;

    // The tables as they are in memory, in file order: each table's name,
    // then every field of its records by name, one per line (numbers in
    // decimal, byte arrays in hexadecimal). 0 without a disc.
    int fnDumpTables(std::string* out);

    // ---- Queries for a caller's user interface (query/) ----
    // The records seg, DVDPGCINFO and DVDPGINFO are defined in
    // query/records.h. Numbers are 1-based; -1 for pg and cell addresses a
    // segment by its entry point's number over the whole chain (pg -1) or
    // counted from program pg's first cell (cell -1). Entry point 0 of a cell
    // is the part before its first entry point. Numbers that name nothing
    // give 0.
    //
    // Cell (pg, cell) of chain: stream attributes, duration, entry-point
    // count and where its bytes are (file and byte positions in it).
    // firstFrame < lastFrame narrows a movie cell to that frame window.
    int fnGetCellInfo(PGCI* chain, int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame);
    // The segment (pg, cell, ep) of chain. With follow != 0 a segment that
    // runs on into continuation cells fills one continuation record per
    // further cell, chained through pNext: with alloc != 0 they are
    // allocated (s->pNext is overwritten; release them with
    // fnReleaseSegChain), with alloc = 0 the records already chained behind
    // s are used, as far as they reach. s->dwNextNs counts them.
    int fnGetEntryPtInfo(PGCI* chain, int pg, int cell, int ep, seg* s, int alloc, int follow);
    // The number of cells the segment (pg, cell, ep) spans; 1 also when
    // there is no such segment.
    DWORD fnGetCellNsofEntryPt(PGCI* chain, int pg, int cell, int ep);
    // The original chain. mode 0 counts entry points and sums their
    // segments' durations, 1 counts cells, any other programs (both with
    // cell durations).
    int fnGetOPGCInfo(DVDPGCINFO* info, int mode);
    // Program pg of the original chain; mode 0 counts its entry points, any
    // other its cells. EntrySeg is the segment of the program's first entry
    // point, and the result 0 when there is none.
    int fnGetOPGCPGInfo(int pg, DVDPGINFO* info, int mode);
    int fnGetOPGCCellInfo(int pg, int cell, seg* s, DWORD firstFrame, DWORD lastFrame);
    int fnGetOPGCEntryPtInfo(int pg, int cell, int ep, seg* s, int follow);
    int fnGetOPGCEntryPtInfo(int ep, seg* s, int follow);
    DWORD fnGetOPGCCellNsofEntryPt(int pg, int cell, int ep);
    DWORD fnGetOPGCCellNsofEntryPt(int ep);
    // Playlists are numbered 1..fnGetPLCount(); each has one program.
    int fnGetPLCount();
    int fnGetPLInfo(int pl, DVDPGCINFO* info, int mode);
    int fnGetPLCellInfo(int pl, int cell, seg* s, DWORD firstFrame, DWORD lastFrame);
    int fnGetPLEntryPtInfo(int pl, int cell, int ep, seg* s, int follow);
    int fnGetPLEntryPtInfo(int pl, int ep, seg* s, int follow);
    // 0 for a playlist that does not exist.
    DWORD fnGetPLCellNsofEntryPt(int pl, int cell, int ep);
    DWORD fnGetPLCellNsofEntryPt(int pl, int ep);

    // ---- Editing the original chain and the playlists (edit/) ----
    // Numbers are 1-based (cells and entry points of a chain globally, or
    // entry points within a given cell); insert positions 0-based; times
    // 27 MHz counts; texts 128-byte PRM_TXTI blocks or NULL. Every operation
    // returns 1 on success and 0, changing nothing, on failure.
    //
    // The original chain. The deletes remove the video of the entry point's
    // segment; the programs keep the cells of their own recordings, and a
    // program left without cells is removed. An inserted entry point must
    // lie in its cell and between the entry points around it.
    int fnADD_ORG_Cell_EntryPoint(WORD cell, WORD pos, __int64 time, const BYTE* text);
    int fnADD_ORG_Cell_EntryPoint(WORD n, __int64 time, const BYTE* text);
    int fnDEL_ORG_Cell_EntryPoint(WORD cell, WORD e);
    int fnDEL_ORG_Cell_EntryPoint(WORD n);
    // A new entry point `frames` video frames after entry point n, in the
    // video that follows it (across cell ends); 0 when that would pass the
    // next entry point.
    int fnDevide_ORG_Cell_EntryPoint(WORD n, DWORD frames, const BYTE* text);
    // Removes the entry points after nFirst up to and including nLast.
    int fnCombineOPGCEntryPoint(WORD nFirst, WORD nLast);

    // User-defined chains and playlists. A playlist is a user-defined chain
    // and a search pointer in PL_SRPT naming it by number (PGCN).
    // Appends an empty chain (making UD_PGCIT when the disc has none) and
    // makes it the current one.
    int fnADD_UD_PGCI();
    // Makes chain num current; 0 means none.
    int fnSelect_UD_PGCI(BYTE num);
    // Deletes chain num; later chains move down one number. The current
    // chain keeps naming the same chain (none when it was num). PL_SRPT is
    // not touched: playlists go with fnDEL_PlayList.
    int fnDEL_UD_PGCI(BYTE num);
    // Appends to the current chain a cell over the whole of movie VOB vobiNo
    // (making chain 1 when the disc has no user-defined chain).
    int fnADD_UD_PGCI_MovieScene(WORD vobiNo);
    int fnDEL_UD_Movie_Cell(BYTE num, WORD cell);
    // Appends a playlist played by chain num.
    int fnADD_PlayList(BYTE num);
    // Deletes playlist pl, and its chain when no other playlist plays it;
    // every playlist keeps playing the chain it played.
    int fnDEL_PlayList(BYTE pl);

    // Playlist segments, by playlist number. ep and n are global entry-point
    // numbers; after = 0 places a new segment first.
    // Copies the segment of entry point ep of the original chain (or of
    // entry point ep of cell (pg, cell), or counted from program pg's first
    // cell with cell -1) into playlist pl right after its entry point after.
    int fnADDPLEntryPoint(int pl, int after, int ep);
    int fnADDPLEntryPoint(int pl, int after, int pg, int cell, int ep);
    int fnDELPLEntryPt(int pl, int n);
    // Moves the segment of entry point nFrom to right after entry point nTo.
    int fnMovePLEntryPt(int pl, int nFrom, int nTo);
    int fnCombinePLEntryPoint(int pl, WORD nFirst, WORD nLast);
    // A new entry point frames + 1 video frames after entry point n.
    int fnDevidePLEntryPt(int pl, int n, DWORD frames);

    // The same by user-defined chain number.
    int fnADDUDEntryPoint(BYTE pgcn, int after, int pg, int cell, int ep);
    int fnMoveUDEntryPt(BYTE pgcn, int nFrom, int nTo);
    int fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD cell, WORD pos, __int64 time, const BYTE* text);
    int fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD n, __int64 time, const BYTE* text);
    int fnADD_UD_Cell_EntryPoint(BYTE pgcn, WORD n, DWORD frames, const BYTE* text);
    int fnDEL_UD_Cell_EntryPoint(BYTE pgcn, WORD n);
    int fnDEL_UD_Cell_EntryPoint(BYTE pgcn, WORD cell, WORD e);
    int fnCombine_UD_Cell_EntryPoint(BYTE pgcn, WORD c1, WORD e1, WORD c2, WORD e2);
    int fnCombine_UD_EntryPoint(BYTE pgcn, WORD nFirst, WORD nLast);

    // ---- Editing the recordings, program by program (addition) ----
    // Programs of the original chain are numbered from 1; times are 27 MHz
    // ticks of play time counted from the program's start (the sum of its
    // cells' lengths). Each edit changes the tables in memory only (Save
    // writes them); what no cell of the original chain plays any more
    // leaves the disc: playlist cells lose what they played of it, VOBs are
    // shortened or split to what is still played (each VOB starts at its
    // own sector, so the others stay where they are), VOBs, VOGs and stream
    // attributes no longer used go, and the VOB and VOG numbers of every
    // cell are made dense again. A playlist left empty is deleted. The
    // programs' and playlists' pictures follow their cells; the disc's
    // resume marker and representative picture name none afterwards. out
    // (may be null) says what changed. 0, changing nothing, with the status
    // saying why: no such program, recordings added since the last save
    // still waiting for it, and as each says.
    //
    // Program pg goes with its cells, and its recordings with them.
    int fnDEL_Program(int pg, vrm::ProgramEdit* out);
    // The stretch [from, to) of program pg is no longer played: its ends move
    // to the nearest VOBU boundary (or cell end) and a cell loses the part
    // inside it (divided in two around a stretch in its middle). Entry
    // points inside go; the last of them moves to the stretch's end. Refused
    // for a program of still pictures, a stretch that would leave the
    // program empty, and one inside a single VOBU.
    int fnErase_Program_Part(int pg, __int64 from, __int64 to, vrm::ProgramEdit* out);
    // Program pg becomes two at `at` (moved to the nearest VOBU boundary or
    // cell end; the cell there divided in two): the second program, which
    // begins with an entry point, is a copy of the first's record, its
    // title marked " (2)". Refused for a program of still pictures and at
    // its start or end.
    int fnDevide_Program(int pg, __int64 at, vrm::ProgramEdit* out);
    // Programs pg and pg + 1 become one, their cells in order (where the
    // first's last cell and the second's first play one VOB on from each
    // other, as after a divide, one cell again); the first's record stays.
    // Refused for the last program.
    int fnCombine_Program(int pg, vrm::ProgramEdit* out);

    // ---- Titles: the primary texts of programs and playlists (addition) ----
    // PRM_TXTI holds a label in its first half and the title in its second,
    // both in the disc's character set (CHRS of VMGI_MAT; io/TextCodec.h).
    // CHRS of VMGI_MAT; 0 without a disc.
    BYTE fnGetCharacterSet();
    // The text of program pg (1-based) of the original chain, or of
    // playlist pl, decoded to UTF-8. 0 when there is no such program or
    // playlist.
    int fnGetPGPrimaryText(int pg, vrm::PrimaryText* out);
    int fnGetPLPrimaryText(int pl, vrm::PrimaryText* out);
    // The item text (TXTDT_MG) that program pg or playlist pl names by its
    // IT_TXT_SRPN, decoded by the table's CHRS; empty when it names none.
    // 0 when there is no such program or playlist.
    int fnGetPGItemText(int pg, vrm::DecodedText* out);
    int fnGetPLItemText(int pl, vrm::DecodedText* out);
    // The bytes of the item text that program pg (playlist pl) names, as
    // the text data manager holds them (empty when it names none).
    int fnGetPGItemBytes(int pg, std::vector<BYTE>* out);
    int fnGetPLItemBytes(int pl, std::vector<BYTE>* out);
    // Writes a UTF-8 title as recorders do (vrm::EncodePrimaryText): the
    // title in the disc's set in the second half, an ASCII label made of
    // it in the first. 0, changing nothing, with the status saying why,
    // when there is no such program or playlist or the set cannot hold the
    // title in 63 bytes.
    int fnSetPGTitle(int pg, const char* utf8);
    int fnSetPLTitle(int pl, const char* utf8);
    // Converts the primary texts of every program and playlist to character
    // set chrs (a known one) and makes it the disc's: a half of ASCII bytes
    // stays as it is (the same in each set), any other is decoded from the
    // old set and encoded in the new. 0, changing nothing, when the code is
    // unknown or a half cannot be converted (bytes that are no character of
    // the old set, a character the new one lacks, more than 63 bytes).
    int fnSetCharacterSet(BYTE chrs);

private:
    friend struct vrm::ManagerTables;
    // What this object owns; the public pointer fields name it (see
    // manager/ManagerTables.h).
    std::unique_ptr<vrm::ManagerObjects> m_pObjects;
    // The lock of fnLockDirectory; null while none is held. It belongs to
    // this object and is not shared by the shallow copy.
    std::unique_ptr<vrm::DirectoryLock> m_pLock;
    // The management files in the directory belong to an earlier disc: a
    // New over a directory that held one, not saved since. The first save
    // then retires them before it gives up the earlier disc's stream data.
    bool m_bOverEarlierDisc = false;
    // Sector runs of each stream file ([0] movie, [1] still) that edits gave
    // up since the last save, given back after the next one.
    std::vector<VR_SECTOR_RUN> m_PendingRelease[2];
    ReleasedSpace m_Released;
    // Gives back the pending runs less what the saved tables use, and
    // empties the list: after both management files were written.
    void ReleasePendingSectors();
    // fnStartNewProgram was called: the next registration opens a program.
    bool m_bNewProgram = false;
    // fnSetRecordingTime was given a time for the next registration.
    bool m_bRecordingTime = false;
    SYSTEMTIME m_RecordingTime{};
    // What Open found (see fnGetOpenedCopy).
    int m_nOpenedCopy = 0;
    int m_nOtherCopy = kCopySame;
    std::vector<std::string> m_OpenFindings;
    std::vector<OpenFinding> m_OpenFindingDetails;
    // Where the open disc's files were read from, when not its directory.
    std::shared_ptr<const vrm::DiscFiles> m_pFiles;
    // Loads both copies from files, as fnRTR_VMG_Load_Table_From_File does
    // from the directory dir (files null: the directory's own).
    int LoadCopies(const char* dir, std::shared_ptr<const vrm::DiscFiles> files);
    // Makes the tables of a new, empty disc in this object's model.
    int NewTables();
    // Writes the management files of an empty disc in place of an earlier
    // disc's, so that the directory stays valid whatever stream data it is
    // left with.
    int RetireEarlierDisc();
    // Releases every table (record and accessor) and empties the model's
    // slots, the accessors and the table sizes.
    void ReleaseTables();
    // Takes over the file state of other (buffer, model, accessors, sizes,
    // start addresses, still time), releasing this handle's own; other is
    // left empty.
    void AdoptFileState(CVR_MANGR& other);
    // Reads the still time and the start addresses from the open file and
    // loads every table into this object; 0 when the file is not a whole,
    // valid management file.
    int LoadOpenFile();
    // Checks the identifier of the open management file and reads its still
    // time and table start addresses; 0 when it is not a DVD-VR file.
    int ReadFileHead();
    // Whether every VOB and VOG lies inside its stream file and no two
    // share sectors.
    bool StreamsHoldRecordings();
    // Registers the recording the movie (still: the still) object has just
    // analysed: plans it, then queues it and adds it to the tables.
    // inPlace: the recording or still group lies in the stream at that
    // sector already (fnADD_Recorded_Range, fnADD_Recorded_Still_Range): it
    // is adopted, not queued.
    int RegisterAnalysed(bool still, const char* fileName, const DWORD* inPlace = nullptr);
    // Where a new movie recording of `sectors` sectors can go inside the
    // recorded stream: the first run of sectors of VR_MOVIE.VRO, before the
    // highest recording end, that no VOB uses, no edit gave up since the
    // last save (the saved tables may still play it), that is large enough
    // and reads as zeros (given back, or never written: a run holding data
    // may be a recording someone can still recover). 1 with *start its first
    // sector; 0 when there is none (the recording goes behind the end).
    int FindFreeGap(DWORD sectors, DWORD* start);
    // fnADD_Recorded_Range or, with still, fnADD_Recorded_Still_Range.
    int AddRecorded(bool still, DWORD firstSector, DWORD sectors, ProgressCallback progress);
    // Readies the stream files for the directory after a New or an Open.
    int InitStreams(DWORD mode);
    // Whether the disc may be saved: a whole model, not read from an image
    // or a drive, no other copy of another state, tables that agree. 0 with
    // the reason when not.
    int CheckSavable();
    // Copies dir into m_szDir without one trailing '/'; 0 when it does not
    // fit.
    int SetDirectory(const char* dir);
};

// What a directory holds: 1 a DVD-VR directory (VR_MANGR.IFO with the
// identifier "DVD_RTR_VMG0"), 2 a DVD-Video directory (VIDEO_TS.IFO with
// "DVDVIDEO-VMG"), 0 neither.
VRMANGR_API DWORD fnGetDVDVRPathType(const char* dir);

namespace vrm {
// A temporary file of an interrupted save beside one of the disc's four
// files: <final name>.tmp-XXXXXX (six letters or digits, as a save makes
// it), or <final name>.new of older versions.
VRMANGR_API bool IsTempFileName(const std::string& name);
}  // namespace vrm

#endif
