// CVR_MANGR: one DVD-VR recording directory under management. It holds the
// management file VR_MANGR.IFO as a tree of tables (VMG_MODEL), the buffer
// the file is mapped and written through, and the stream objects of
// VR_MOVIE.VRO and VR_STILL.VRO. A handle of the flat interface points at
// one of these objects.
#ifndef VRMANGR_API_CVR_MANGR_H
#define VRMANGR_API_CVR_MANGR_H

#include <cstddef>

#include "api/VMG_MODEL.h"
#include "platform/types.h"
#include "stream/CVRO_DATA.h"

class CBuffer;
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
    // movie and still stream objects. Any of the three is null when its
    // allocation failed.
    CVR_MANGR();
    // Releases every table (model data first, then its accessor), the
    // buffer, the model root, and the movie and still stream objects.
    ~CVR_MANGR();
    // Shallow copy: afterwards both objects refer to the same buffer, model
    // and stream objects, and only one of them may be destroyed.
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
    // any point leaves at least one of them whole. 1 on success.
    int fnRTR_VMG_Save(ProgressCallback cb);
    // The length of the tables together (the file without its zero fill).
    DWORD m_dwSize();
    // Opens the disc in dir: every table of VR_MANGR.IFO, or of VR_MANGR.BUP
    // when the IFO is missing or damaged. 0 (and the handle as it was) when
    // neither holds a whole, valid management file.
    int fnRTR_VMG_Open(const char* dir);
    int fnRTR_VMG_Load_Table_From_File(const char* dir);
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
    // Start addresses read at open: M_AVFIT, S_AVFIT, ORG_PGCI, UD_PGCIT,
    // TXTDT_MG, MNFIT.
    DWORD m_dwSA[6];
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

    // ---- Registering recordings and still pictures (record/) ----

    // ---- Queries for a caller's user interface (query/) ----

    // ---- Editing the original chain and the playlists (edit/) ----

private:
    // Releases every table (model data, then accessor) and empties the
    // model's slots, the accessors and the table sizes.
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
    // Readies the stream files for the directory after a New or an Open.
    int InitStreams(DWORD mode);
    // Copies dir into m_szDir without one trailing '/'; 0 when it does not
    // fit.
    int SetDirectory(const char* dir);
};

// What a directory holds: 1 a DVD-VR directory (VR_MANGR.IFO with the
// identifier "DVD_RTR_VMG0"), 2 a DVD-Video directory (VIDEO_TS.IFO with
// "DVDVIDEO-VMG"), 0 neither.
VRMANGR_API DWORD fnGetDVDVRPathType(const char* dir);

#endif
