#include "api/CVR_MANGR.h"

#include <cstring>
#include <new>

#include "io/CBuffer.h"

CVR_MANGR::CVR_MANGR()
    : m_szDir{},
      m_pBuffer(nullptr),
      m_dwStillTm(0),
      m_cCurUDPGCN(0),
      m_pModel(nullptr),
      m_dwLastError(0),
      m_dwSA{},
      m_dwTableSize{},
      m_pRTR_VMGI(nullptr),
      m_pM_AVFIT(nullptr),
      m_pS_AVFIT(nullptr),
      m_pORG_PGCI(nullptr),
      m_pUD_PGCIT(nullptr),
      m_pTXTDT_MG(nullptr),
      m_pMNFIT(nullptr),
      m_pMovie(nullptr),
      m_pStill(nullptr) {
    m_pBuffer = new (std::nothrow) CBuffer();
    m_pModel = new (std::nothrow) VMG_MODEL();
    m_pMovie = new (std::nothrow) CVR_MOVIE(1);
    m_pStill = new (std::nothrow) CVR_STILL(0);
}

CVR_MANGR::~CVR_MANGR() {
    ReleaseTables();
    delete m_pBuffer;
    m_pBuffer = nullptr;
    delete m_pModel;
    m_pModel = nullptr;
    delete m_pMovie;
    m_pMovie = nullptr;
    delete m_pStill;
    m_pStill = nullptr;
}

CVR_MANGR& CVR_MANGR::operator=(const CVR_MANGR& other) {
    if (this == &other) return *this;
    std::memcpy(m_szDir, other.m_szDir, sizeof m_szDir);
    m_pBuffer = other.m_pBuffer;
    m_dwStillTm = other.m_dwStillTm;
    m_cCurUDPGCN = other.m_cCurUDPGCN;
    m_pModel = other.m_pModel;
    m_dwLastError = other.m_dwLastError;
    std::memcpy(m_dwSA, other.m_dwSA, sizeof m_dwSA);
    std::memcpy(m_dwTableSize, other.m_dwTableSize, sizeof m_dwTableSize);
    m_pRTR_VMGI = other.m_pRTR_VMGI;
    m_pM_AVFIT = other.m_pM_AVFIT;
    m_pS_AVFIT = other.m_pS_AVFIT;
    m_pORG_PGCI = other.m_pORG_PGCI;
    m_pUD_PGCIT = other.m_pUD_PGCIT;
    m_pTXTDT_MG = other.m_pTXTDT_MG;
    m_pMNFIT = other.m_pMNFIT;
    m_pMovie = other.m_pMovie;
    m_pStill = other.m_pStill;
    m_bOverEarlierDisc = other.m_bOverEarlierDisc;
    return *this;
}
