#include "manager/CVR_MANGR.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

#include "io/CBuffer.h"
#include "manager/ManagerTables.h"
#include "platform/file.h"

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
      m_pStill(nullptr),
      m_pObjects(new (std::nothrow) vrm::ManagerObjects()) {
    if (!m_pObjects) return;
    vrm::ManagerObjects& own = *m_pObjects;
    own.buffer.reset(new (std::nothrow) CBuffer());
    own.model.reset(new (std::nothrow) VMG_MODEL());
    own.movie.reset(new (std::nothrow) CVR_MOVIE(1));
    own.still.reset(new (std::nothrow) CVR_STILL(0));
    vrm::ManagerTables::ShowOwned(*this);
}

CVR_MANGR::~CVR_MANGR() = default;

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
    vrm::ForEachTable([&](auto table) { table.AccessorIn(*this) = table.AccessorIn(other); });
    m_pMovie = other.m_pMovie;
    m_pStill = other.m_pStill;
    m_bOverEarlierDisc = other.m_bOverEarlierDisc;
    for (int still = 0; still < 2; ++still) m_PendingRelease[still] = other.m_PendingRelease[still];
    m_Released = other.m_Released;
    m_nOpenedCopy = other.m_nOpenedCopy;
    m_nOtherCopy = other.m_nOtherCopy;
    m_OpenFindings = other.m_OpenFindings;
    m_OpenFindingDetails = other.m_OpenFindingDetails;
    m_status = other.m_status;
    return *this;
}

int CVR_MANGR::fnFail(DWORD code, std::string text, DWORD where, uint64_t at) {
    if (!m_status.Failed()) m_status.Set(code, std::move(text), where, at);
    return 0;
}

int CVR_MANGR::fnFailFromStream(const CVRO_DATA* stream) {
    if (!stream || stream->m_dwLastError == VRO_OK) return 0;
    return fnFail(stream->m_dwLastError, stream->fnGetLastErrorDetail());
}

int CVR_MANGR::fnLockDirectory(const char* dir, int exclusive, DWORD waitMs) {
    // A new lock replaces the old one, which goes first: two descriptors of
    // one process conflict like two processes.
    m_pLock.reset();
    auto lock = std::unique_ptr<vrm::DirectoryLock>(new (std::nothrow) vrm::DirectoryLock());
    if (!lock) {
        m_dwLastError = VRO_ERR_OUT_OF_MEMORY;
        return fnFail(VRO_ERR_OUT_OF_MEMORY, "Out of memory.");
    }
    const auto kind = exclusive ? vrm::DirectoryLock::Kind::Exclusive : vrm::DirectoryLock::Kind::Shared;
    if (!lock->Acquire(dir, kind, waitMs)) {
        const std::string name = dir ? dir : "(none)";
        if (lock->Error() == EWOULDBLOCK) {
            m_dwLastError = VRO_ERR_LOCKED;
            return fnFail(VRO_ERR_LOCKED, name + " is being changed by another process.");
        }
        m_dwLastError = VRO_ERR_BAD_ARGUMENT;
        return fnFail(VRO_ERR_BAD_ARGUMENT, name + " cannot be locked: it is not a directory that offers locks.");
    }
    m_pLock = std::move(lock);
    return 1;
}

void CVR_MANGR::fnUnlockDirectory() { m_pLock.reset(); }
