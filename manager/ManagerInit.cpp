// Binding a handle to a recording directory: the directory name, the
// management file it opens, the stream files, and handing a handle's whole
// file state from one manager object to another.
#include <algorithm>
#include <cstring>
#include <utility>

#include "io/CBuffer.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerFiles.h"
#include "manager/ManagerTables.h"
#include "platform/file.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"
#include "tables/CVMGI_MAT.h"

void vrm::ManagerTables::ShowOwned(CVR_MANGR& m) {
    ManagerObjects* own = m.m_pObjects.get();
    m.m_pBuffer = own ? own->buffer.get() : nullptr;
    m.m_pModel = own ? own->model.get() : nullptr;
    m.m_pMovie = own ? own->movie.get() : nullptr;
    m.m_pStill = own ? own->still.get() : nullptr;
    // The record slots travel with the model root; the accessors are the
    // handle's fields.
    ForEachTable([&](auto table) {
        using Table = decltype(table);
        table.AccessorIn(m) = own ? std::get<Table::index>(own->tables).accessor.get() : nullptr;
    });
}

void CVR_MANGR::ReleaseTables() {
    if (m_pObjects && m_pModel) vrm::ForEachTable([&](auto table) { vrm::DropTable<decltype(table)::index>(*this); });
    std::memset(m_dwTableSize, 0, sizeof m_dwTableSize);
}

void CVR_MANGR::AdoptFileState(CVR_MANGR& other) {
    std::swap(m_szDir, other.m_szDir);
    std::swap(m_pObjects, other.m_pObjects);
    vrm::ManagerTables::ShowOwned(*this);
    vrm::ManagerTables::ShowOwned(other);
    std::swap(m_dwStillTm, other.m_dwStillTm);
    std::swap(m_dwSA, other.m_dwSA);
    std::swap(m_dwTableSize, other.m_dwTableSize);
    std::swap(m_bOverEarlierDisc, other.m_bOverEarlierDisc);
    // Runs an edit of the earlier disc gave up are not this disc's.
    std::swap(m_PendingRelease, other.m_PendingRelease);
    std::swap(m_Released, other.m_Released);
    std::swap(m_nOpenedCopy, other.m_nOpenedCopy);
    std::swap(m_nOtherCopy, other.m_nOtherCopy);
    std::swap(m_OpenFindings, other.m_OpenFindings);
    std::swap(m_OpenFindingDetails, other.m_OpenFindingDetails);
    std::swap(m_pFiles, other.m_pFiles);
    // A chain selected on the earlier disc names nothing on this one.
    m_cCurUDPGCN = 0;
}

int CVR_MANGR::SetDirectory(const char* dir) {
    if (!dir || !*dir) return 0;
    size_t n = std::strlen(dir);
    if (n > 1 && dir[n - 1] == '/') --n;
    if (n >= kMaxDir) return 0;
    std::memcpy(m_szDir, dir, n);
    m_szDir[n] = '\0';
    return 1;
}

int CVR_MANGR::InitStreams(DWORD mode) {
    if (!m_pMovie || !m_pStill || !m_pBuffer) return 0;
    if (mode != CBuffer::kRead) {
        // A new disc: both stream files are made ready for writing.
        if (!m_pMovie->fnInit(m_szDir, VRO_INIT_NEW)) return 0;
        return m_pStill->fnInit(m_szDir, VRO_INIT_NEW) ? 1 : 0;
    }
    // An existing disc needs the stream files it records; the others are
    // readied when present.
    vrm::ByteReader file = m_pBuffer->Reader();
    // Both are readied either way: a missing file leaves its object bound
    // to an empty stream, so that the disc can still be listed.
    const bool movies = file.U8(uint64_t{m_dwSA[kSA_M_AVFIT]} + 2) != 0;  // M_AVFI_Ns
    const bool stills = file.U8(m_dwSA[kSA_S_AVFIT]) != 0;  // S_AVFI_Ns
    const bool movieReady =
        (m_pFiles ? m_pMovie->fnInitFiles(m_pFiles) : m_pMovie->fnInit(m_szDir, VRO_INIT_OPEN)) || !movies;
    const bool stillReady =
        (m_pFiles ? m_pStill->fnInitFiles(m_pFiles) : m_pStill->fnInit(m_szDir, VRO_INIT_OPEN)) || !stills;
    return movieReady && stillReady ? 1 : 0;
}

int CVR_MANGR::fnInit(const char* dir, DWORD mode) {
    if (!m_pBuffer || !SetDirectory(dir)) return 0;
    const std::string ifo = vrm::InDirectory(m_szDir, vrm::kIfoName);
    const std::string bup = vrm::InDirectory(m_szDir, vrm::kBupName);
    const bool creating = mode != CBuffer::kRead;
    m_pBuffer->Close();
    // A new disc does not create its management file before the first save;
    // a missing one simply means an empty directory.
    const bool missing = vrm::ProbePath(ifo.c_str(), nullptr) == vrm::PathKind::Missing;
    if (!(creating && missing) && m_pBuffer->Open(ifo.c_str(), CBuffer::kRead) != 0 &&
        m_pBuffer->Open(bup.c_str(), CBuffer::kRead) != 0)
        return 0;
    if (m_pBuffer->FileSize() == 0) return creating ? InitStreams(mode) : 0;

    return ReadFileHead() ? InitStreams(mode) : 0;
}

int CVR_MANGR::ReadFileHead() {
    vrm::ByteReader& file = m_pBuffer->Reader();
    using At = VMGI_MAT_LAYOUT::At;
    char id[12];
    if (!file.Bytes(At::VMG_ID, id, sizeof id) || std::memcmp(id, vrm::kDvdVrId, sizeof id) != 0) return 0;
    m_dwStillTm = file.U8(At::STILL_TM);
    const uint32_t starts[6] = {At::M_AVFIT_SA,  At::S_AVFIT_SA,  At::ORG_PGCI_SA,
                                At::UD_PGCIT_SA, At::TXTDT_MG_SA, At::MNFIT_SA};
    for (int i = 0; i < kStartAddressCount; ++i) m_dwSA[i] = file.U32(starts[i]);
    return file.Ok() ? 1 : 0;
}

bool vrm::IsTempFileName(const std::string& name) {
    for (const char* finalName : {kIfoName, kBupName, kMovieName, kStillName}) {
        const std::string base = finalName;
        if (name.compare(0, base.size(), base) != 0) continue;
        const std::string rest = name.substr(base.size());
        if (rest == ".new") return true;
        if (rest.size() == 11 && rest.compare(0, 5, ".tmp-") == 0 &&
            std::all_of(rest.begin() + 5, rest.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            }))
            return true;
    }
    return false;
}
