// CRTR_VMGI: accessor of RTR_VMGI, the head of VR_MANGR.IFO: the 512-byte
// VMGI_MAT followed directly by the play list search pointer table PL_SRPT.
// Its serialised size is 520 + 146 x the number of playlists.
#ifndef VRMANGR_TABLES_CRTR_VMGI_H
#define VRMANGR_TABLES_CRTR_VMGI_H

#include <memory>
#include <string>

#include "platform/types.h"
#include "tables/CPL_SRPT.h"
#include "tables/CVMGI_MAT.h"

class CBuffer;
namespace vrm {
class ByteWriter;
}

struct RTR_VMGI {
    std::unique_ptr<VMGI_MAT> pVMGI_MAT;
    std::unique_ptr<PL_SRPT> pPL_SRPT;
};

class VRMANGR_API CRTR_VMGI {
public:
    CRTR_VMGI();
    explicit CRTR_VMGI(RTR_VMGI* model);
    CRTR_VMGI(CBuffer* buffer, RTR_VMGI* model, DWORD offset);
    CRTR_VMGI(const CRTR_VMGI&) = default;
    CRTR_VMGI& operator=(const CRTR_VMGI&) = default;

    // Drops both parts of the model; 0 without a model.
    int fnSetZero();
    // A new head: VMGI_MAT with the values of a new file and an empty
    // PL_SRPT. The size becomes 520.
    int fnNew();
    int fnCheckValid() const { return m_pModel ? 1 : 0; }
    // Loads VMGI_MAT and PL_SRPT from the file offset; returns the bytes
    // loaded, or 0 (with the buffer's read failure marked) when the file
    // ends inside them. The identifier is not checked here.
    DWORD fndwLoad_RTR_VMGI_From_File();
    // Writes VMGI_MAT at offset `at` of the writer and PL_SRPT behind it;
    // returns 520 + 146 x PL_SRP_Ns (0, writing nothing, for an incomplete
    // model).
    DWORD fnWrite(vrm::ByteWriter& w, uint64_t at);
    // fnWrite into out; returns its size (0 for a null out).
    DWORD fnReadData(BYTE* out);
    DWORD fndwSize() const { return m_dwSize; }
    // Bytes fnReadData writes for the head as it is now.
    DWORD fndwDataSize() const;
    // Releases the whole model, the RTR_VMGI record included, and unbinds.
    void fnFreeAllData();
    // Appends the head of the management file: VMGI_MAT and PL_SRPT, each
    // under its name with its records two spaces further in.
    void fnDump(std::string& out, const std::string& indent) const;

    RTR_VMGI* m_pModel;
    CBuffer* m_pBuffer;
    DWORD m_dwSize;
    DWORD m_dwOffset;
};

#endif
