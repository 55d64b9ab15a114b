// CVR_MANGR: one DVD-VR recording directory under management. It holds the
// management file VR_MANGR.IFO as a tree of tables (VMG_MODEL), the buffer
// the file is mapped and written through, and the stream objects of
// VR_MOVIE.VRO and VR_STILL.VRO. A handle of the flat interface points at
// one of these objects.
#ifndef VRMANGR_API_CVR_MANGR_H
#define VRMANGR_API_CVR_MANGR_H

#include "api/VMG_MODEL.h"
#include "platform/types.h"
#include "stream/CVRO_DATA.h"

class CBuffer;
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
};

#endif
