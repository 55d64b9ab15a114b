#include "tables/CRTR_VMGI.h"

#include <new>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"

CRTR_VMGI::CRTR_VMGI() : m_pModel(nullptr), m_pBuffer(nullptr), m_dwSize(0), m_dwOffset(0) {}

CRTR_VMGI::CRTR_VMGI(RTR_VMGI* model) : m_pModel(model), m_pBuffer(nullptr), m_dwSize(0), m_dwOffset(0) {}

CRTR_VMGI::CRTR_VMGI(CBuffer* buffer, RTR_VMGI* model, DWORD offset)
    : m_pModel(model), m_pBuffer(buffer), m_dwSize(0), m_dwOffset(offset) {}

int CRTR_VMGI::fnSetZero() {
    if (!m_pModel) return 0;
    m_pModel->pVMGI_MAT.reset();
    m_pModel->pPL_SRPT.reset();
    return 1;
}

int CRTR_VMGI::fnNew() {
    if (!m_pModel) return 0;
    m_pModel->pVMGI_MAT.reset(new (std::nothrow) VMGI_MAT());
    m_pModel->pPL_SRPT.reset(new (std::nothrow) PL_SRPT());
    if (!m_pModel->pVMGI_MAT || !m_pModel->pPL_SRPT) return 0;
    CVMGI_MAT mat(m_pModel->pVMGI_MAT.get());
    mat.fnSetZero();
    mat.fnNew();
    CPL_SRPT pl(m_pModel->pPL_SRPT.get());
    pl.fnSetZero();
    pl.fnNew();
    m_dwSize = VMGI_MAT::kSize + pl.fndwSize();
    return 1;
}

DWORD CRTR_VMGI::fndwLoad_RTR_VMGI_From_File() {
    if (!m_pModel || !m_pBuffer) return 0;
    m_pModel->pVMGI_MAT.reset(new (std::nothrow) VMGI_MAT());
    m_pModel->pPL_SRPT.reset(new (std::nothrow) PL_SRPT());
    if (!m_pModel->pVMGI_MAT || !m_pModel->pPL_SRPT) return 0;
    m_dwSize = 0;
    CVMGI_MAT mat(m_pBuffer, m_pModel->pVMGI_MAT.get(), m_dwOffset);
    if (!mat.fnLoad_VMGI_MAT_From_File()) return 0;
    m_dwSize += VMGI_MAT::kSize;
    CPL_SRPT pl(m_pBuffer, m_pModel->pPL_SRPT.get(), m_dwOffset + m_dwSize);
    const DWORD plSize = pl.fnLoad_PL_SRPT_From_File();
    if (!plSize) return 0;
    m_dwSize += plSize;
    return m_dwSize;
}

DWORD CRTR_VMGI::fnWrite(vrm::ByteWriter& w, uint64_t at) {
    if (!m_pModel || !m_pModel->pVMGI_MAT || !m_pModel->pPL_SRPT) return 0;
    CVMGI_MAT(m_pModel->pVMGI_MAT.get()).fnWrite(w, at);
    return VMGI_MAT::kSize + CPL_SRPT(m_pModel->pPL_SRPT.get()).fnWrite(w, at + VMGI_MAT::kSize);
}

DWORD CRTR_VMGI::fnReadData(BYTE* out) {
    return vrm::WriteExactly(out, fndwDataSize(), [&](vrm::ByteWriter& w) { fnWrite(w, 0); });
}

DWORD CRTR_VMGI::fndwDataSize() const {
    if (!m_pModel || !m_pModel->pVMGI_MAT || !m_pModel->pPL_SRPT) return 0;
    return VMGI_MAT::kSize + CPL_SRPT(m_pModel->pPL_SRPT.get()).fndwDataSize();
}

void CRTR_VMGI::fnFreeAllData() {
    delete m_pModel;
    m_pModel = nullptr;
}

void CRTR_VMGI::fnDump(std::string& out, const std::string& indent) const {
    if (!m_pModel || !m_pModel->pVMGI_MAT) return;
    const CVMGI_MAT mat(m_pModel->pVMGI_MAT.get());
    out += indent + "VMGI_MAT:\n";
    mat.fnDump(out, indent + "  ");
    if (m_pModel->pPL_SRPT) {
        out += indent + "PL_SRPT:\n";
        CPL_SRPT(m_pModel->pPL_SRPT.get()).fnDump(out, indent + "  ");
    }
}
