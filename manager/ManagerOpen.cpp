// Opening a disc: loading and judging both VR_MANGR.IFO and its backup,
// using the good one, and classifying directories. Opening only reads.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "manager/CVR_MANGR.h"
#include "manager/ManagerFiles.h"
#include "manager/ManagerTables.h"
#include "manager/coverage.h"
#include "platform/disc_files.h"
#include "platform/file.h"
#include "tables/CMNFIT.h"
#include "tables/CM_AVFIT.h"
#include "tables/CPGCI.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CTXTDT_MG.h"
#include "tables/CUD_PGCIT.h"

namespace {

// The loader pattern of every table: a new loading accessor over the record
// at the table's start address replaces the manager's accessor of that
// table, and loads.
template <CVR_MANGR::Table t, class Accessor = typename vrm::TableAt<t>::Accessor>
DWORD LoadTable(CVR_MANGR& m, CBuffer* buffer, typename vrm::TableAt<t>::Record* record, DWORD (Accessor::*load)()) {
    vrm::SetAccessor<t>(m, nullptr);
    if (!buffer || !record) return 0;
    const DWORD start = t == CVR_MANGR::kRTR_VMGI ? 0 : m.m_dwSA[t - CVR_MANGR::kM_AVFIT];
    Accessor* accessor =
        vrm::SetAccessor<t>(m, std::unique_ptr<Accessor>(new (std::nothrow) Accessor(buffer, record, start)));
    return accessor ? (accessor->*load)() : 0;
}

// Whether the file at path (in a fresh buffer) starts with the identifier.
bool StartsWith(const std::string& path, const char* id, bool* present) {
    CBuffer buffer;
    *present = buffer.Open(path.c_str(), CBuffer::kRead) == 0 && buffer.FileSize() > 0;
    char head[12];
    return *present && buffer.Reader().Bytes(0, head, sizeof head) && std::memcmp(head, id, sizeof head) == 0;
}

}  // namespace

DWORD CVR_MANGR::fndwLoad_RTR_VMGI_From_File(CBuffer* buffer, RTR_VMGI* record) {
    return LoadTable<kRTR_VMGI>(*this, buffer, record, &CRTR_VMGI::fndwLoad_RTR_VMGI_From_File);
}

DWORD CVR_MANGR::fndwLoad_M_AVFIT_From_File(CBuffer* buffer, M_AVFIT* record) {
    return LoadTable<kM_AVFIT>(*this, buffer, record, &CM_AVFIT::fndwLoad_M_AVFIT_From_File);
}

DWORD CVR_MANGR::fndwLoad_S_AVFIT_From_File(CBuffer* buffer, S_AVFIT* record) {
    return LoadTable<kS_AVFIT>(*this, buffer, record, &CS_AVFIT::fndwLoad_S_AVFIT_From_File);
}

DWORD CVR_MANGR::fndwLoad_ORG_PGCI_From_File(CBuffer* buffer, PGCI* record) {
    const DWORD size = LoadTable<kORG_PGCI>(*this, buffer, record, &CPGCI::fndwLoad_PGCI_From_File);
    // A chain without any entry point gets one at the start of the first
    // cell of every program, so that every program can be played from its
    // start. The save measures the chain again.
    if (size && m_pORG_PGCI->fnGetTotalEntryPointNs(0, 0, 0) == 0) m_pORG_PGCI->fnAdd_C_EPI_To_First_Cell_of_Every_PG();
    return size;
}

DWORD CVR_MANGR::fndwLoad_UD_PGCIT_From_File(CBuffer* buffer, UD_PGCIT* record) {
    return LoadTable<kUD_PGCIT>(*this, buffer, record, &CUD_PGCIT::fndwLoad_UD_PGCIT_From_File);
}

DWORD CVR_MANGR::fndwLoad_TXTDT_MG_From_File(CBuffer* buffer, TXTDT_MG* record) {
    return LoadTable<kTXTDT_MG>(*this, buffer, record, &CTXTDT_MG::fndwLoad_TXTDT_MG_From_File);
}

DWORD CVR_MANGR::fndwLoad_MNFIT_From_File(CBuffer* buffer, MNFIT* record) {
    return LoadTable<kMNFIT>(*this, buffer, record, &CMNFIT::fndwLoad_MNFIT_From_File);
}

namespace {

// One table of the management file as Open loads it, in file order.
struct TableStep {
    const char* name;
    CVR_MANGR::Table table;
    // The file may lack the table: its start address is then 0.
    bool optional;
    // The movie and still tables load as 0 bytes when they hold nothing.
    bool mayBeEmpty;
    // Loads the table from the open file (making its model record first
    // where the table is optional) and returns the size it loaded.
    DWORD (*load)(CVR_MANGR& m, VMG_MODEL& model);
};

const TableStep kTableSteps[] = {
    {"RTR_VMGI", CVR_MANGR::kRTR_VMGI, false, false,
     [](CVR_MANGR& m, VMG_MODEL& model) { return m.fndwLoad_RTR_VMGI_From_File(m.m_pBuffer, model.pRTR_VMGI); }},
    {"M_AVFIT", CVR_MANGR::kM_AVFIT, false, true,
     [](CVR_MANGR& m, VMG_MODEL& model) { return m.fndwLoad_M_AVFIT_From_File(m.m_pBuffer, model.pM_AVFIT); }},
    {"S_AVFIT", CVR_MANGR::kS_AVFIT, false, true,
     [](CVR_MANGR& m, VMG_MODEL& model) { return m.fndwLoad_S_AVFIT_From_File(m.m_pBuffer, model.pS_AVFIT); }},
    {"ORG_PGCI", CVR_MANGR::kORG_PGCI, false, false,
     [](CVR_MANGR& m, VMG_MODEL& model) { return m.fndwLoad_ORG_PGCI_From_File(m.m_pBuffer, model.pORG_PGCI); }},
    {"UD_PGCIT", CVR_MANGR::kUD_PGCIT, true, false,
     [](CVR_MANGR& m, VMG_MODEL& model) -> DWORD {
         return vrm::NewRecord<CVR_MANGR::kUD_PGCIT>(m) ? m.fndwLoad_UD_PGCIT_From_File(m.m_pBuffer, model.pUD_PGCIT)
                                                        : 0;
     }},
    {"TXTDT_MG", CVR_MANGR::kTXTDT_MG, true, false,
     [](CVR_MANGR& m, VMG_MODEL& model) -> DWORD {
         return vrm::NewRecord<CVR_MANGR::kTXTDT_MG>(m) ? m.fndwLoad_TXTDT_MG_From_File(m.m_pBuffer, model.pTXTDT_MG)
                                                        : 0;
     }},
    {"MNFIT", CVR_MANGR::kMNFIT, true, false,
     [](CVR_MANGR& m, VMG_MODEL& model) -> DWORD {
         return vrm::NewRecord<CVR_MANGR::kMNFIT>(m) ? m.fndwLoad_MNFIT_From_File(m.m_pBuffer, model.pMNFIT) : 0;
     }},
};

// Loads each table in file order; a table that does not load names itself
// and the byte the buffer's reader failed at. 1 when all loaded.
int LoadTables(CVR_MANGR& m) {
    CBuffer* buffer = m.m_pBuffer;
    for (const TableStep& step : kTableSteps) {
        if (step.optional && m.m_dwSA[step.table - CVR_MANGR::kM_AVFIT] == 0) continue;
        const DWORD size = step.load(m, *m.m_pModel);
        m.m_dwTableSize[step.table] = size;
        if (buffer->ReadFailed()) {
            return m.fnFail(VRO_ERR_DAMAGED,
                            std::string("a count or address of its table ") + step.name +
                                " points outside the file (byte " + std::to_string(buffer->ReadFailOffset()) + ")",
                            vrm::Status::kByteOffset, buffer->ReadFailOffset());
        }
        if (!size && !step.mayBeEmpty)
            return m.fnFail(VRO_ERR_DAMAGED, std::string("its table ") + step.name + " does not load");
    }
    return 1;
}

// The bytes a loaded table takes in the file, and how far its header lets
// it reach.
struct Extent {
    const char* name;
    uint64_t start, length, declared;
};

// Every loaded table's extent, in file order.
std::vector<Extent> LoadedExtents(const CVR_MANGR& m) {
    const DWORD* size = m.m_dwTableSize;
    const DWORD* sa = m.m_dwSA;
    std::vector<Extent> extents = {{"RTR_VMGI", 0, size[CVR_MANGR::kRTR_VMGI], size[CVR_MANGR::kRTR_VMGI]}};
    // Tables without recordings load only their 8-byte header.
    const DWORD movieSize = std::max<DWORD>(size[CVR_MANGR::kM_AVFIT], 8);
    const DWORD stillSize = std::max<DWORD>(size[CVR_MANGR::kS_AVFIT], 8);
    extents.push_back(
        {"M_AVFIT", sa[CVR_MANGR::kSA_M_AVFIT], movieSize, uint64_t{m.m_pM_AVFIT->fnGet_dw_M_AVFIT_EA()} + 1});
    extents.push_back(
        {"S_AVFIT", sa[CVR_MANGR::kSA_S_AVFIT], stillSize, uint64_t{m.m_pS_AVFIT->fnGet_dw_S_AVFIT_EA()} + 1});
    extents.push_back(
        {"ORG_PGCI", sa[CVR_MANGR::kSA_ORG_PGCI], size[CVR_MANGR::kORG_PGCI], size[CVR_MANGR::kORG_PGCI]});
    if (m.m_pUD_PGCIT)
        extents.push_back({"UD_PGCIT", sa[CVR_MANGR::kSA_UD_PGCIT], size[CVR_MANGR::kUD_PGCIT],
                           uint64_t{m.m_pUD_PGCIT->fnGet_dwUD_PGCIT_EA()} + 1});
    if (m.m_pTXTDT_MG)
        extents.push_back({"TXTDT_MG", sa[CVR_MANGR::kSA_TXTDT_MG], size[CVR_MANGR::kTXTDT_MG],
                           uint64_t{m.m_pTXTDT_MG->fnGet_dwTXTDT_MG_EA()} + 1});
    if (m.m_pMNFIT)
        extents.push_back(
            {"MNFIT", sa[CVR_MANGR::kSA_MNFIT], size[CVR_MANGR::kMNFIT], uint64_t{m.m_pMNFIT->fnGet_dwMNFIT_EA()} + 1});
    std::sort(extents.begin(), extents.end(), [](const Extent& a, const Extent& b) { return a.start < b.start; });
    return extents;
}

// Each table lies within the extent its header declares, and no two tables
// (nor a table and the head) share bytes: a count raised by damage shows as
// a table that grows into its neighbour. 1 when they all fit.
int CheckExtents(CVR_MANGR& m) {
    VMG_MODEL& model = *m.m_pModel;
    CVMGI_MAT mat(model.pRTR_VMGI->pVMGI_MAT.get());
    CPL_SRPT playlists(model.pRTR_VMGI->pPL_SRPT.get());
    const DWORD head = m.m_dwTableSize[CVR_MANGR::kRTR_VMGI];
    if (head > uint64_t{mat.fnGet_dwVMGI_EA()} + 1 ||
        head - VMGI_MAT::kSize > uint64_t{playlists.fnGet_dwPL_SRPT_EA()} + 1)
        return m.fnFail(VRO_ERR_DAMAGED, "its playlist table runs past the end its header declares");
    const std::vector<Extent> extents = LoadedExtents(m);
    for (size_t i = 0; i < extents.size(); ++i) {
        const Extent& e = extents[i];
        const uint64_t end = e.start + e.length;
        if (e.length > e.declared) {
            return m.fnFail(VRO_ERR_DAMAGED,
                            std::string("its table ") + e.name + " runs past the end its header declares (byte " +
                                std::to_string(e.start + e.declared) + ")",
                            vrm::Status::kByteOffset, e.start + e.declared);
        }
        const uint64_t limit = i + 1 < extents.size() ? extents[i + 1].start : m.m_pBuffer->FileSize();
        if (end > limit) {
            return m.fnFail(VRO_ERR_DAMAGED,
                            std::string("its table ") + e.name +
                                (i + 1 < extents.size() ? std::string(" runs into table ") + extents[i + 1].name
                                                        : std::string(" runs past the end of the file")) +
                                " (byte " + std::to_string(limit) + ")",
                            vrm::Status::kByteOffset, limit);
        }
    }
    return 1;
}

}  // namespace

int CVR_MANGR::LoadOpenFile() {
    CBuffer* buffer = m_pBuffer;
    if (!buffer || !m_pModel) return fnFail(VRO_ERR_OUT_OF_MEMORY, "out of memory");
    if (buffer->FileSize() == 0) return fnFail(VRO_ERR_DAMAGED, "the file is empty");
    buffer->ClearReadFailure();
    if (!ReadFileHead()) {
        return fnFail(VRO_ERR_DAMAGED, "it does not begin with the identifier of a DVD-VR management file",
                      vrm::Status::kByteOffset, 0);
    }
    if (!vrm::NewRecord<kRTR_VMGI>(*this) || !vrm::NewRecord<kM_AVFIT>(*this) || !vrm::NewRecord<kS_AVFIT>(*this) ||
        !vrm::NewRecord<kORG_PGCI>(*this))
        return fnFail(VRO_ERR_OUT_OF_MEMORY, "out of memory");
    if (!LoadTables(*this)) return 0;
    if (!m_pM_AVFIT || !m_pS_AVFIT) return fnFail(VRO_ERR_OUT_OF_MEMORY, "out of memory");
    return CheckExtents(*this);
}

namespace {

// One of the two management files as Open judged it.
struct Candidate {
    const char* name = nullptr;
    bool present = false;
    bool good = false;  // loads and its tables agree with each other
    bool fits = false;  // its recordings lie inside the stream files, none overlapping
};

// Whether two open management files hold the same bytes.
bool SameBytes(const CBuffer& a, const CBuffer& b) {
    return a.FileSize() == b.FileSize() && a.View() && b.View() && std::memcmp(a.View(), b.View(), a.FileSize()) == 0;
}

// What Open found of the two copies: each sentence alone with the copy it
// is about, and with the copy's name in front.
struct CopyFindings {
    std::vector<std::string> sentences;
    std::vector<CVR_MANGR::OpenFinding> details;

    void Add(int copy, int kind, const std::string& text) {
        const char* name = copy == 0 ? vrm::kIfoName : vrm::kBupName;
        details.push_back({copy, kind, text});
        sentences.push_back(std::string(name) + (kind == CVR_MANGR::kFindingTables ? ": " : " ") + text);
    }
};

// The IFO unless only the BUP is good, or both are and only the BUP's
// recordings lie inside the stream files; -1 when neither is good.
int ChooseCopy(const Candidate (&copies)[2]) {
    if (copies[0].good && (!copies[1].good || copies[0].fits || !copies[1].fits)) return 0;
    return copies[1].good ? 1 : -1;
}

// The state (CVR_MANGR::CopyState) of the copy not used, whose loaded
// file is in otherBuffer, beside the one used.
int OtherCopyState(const Candidate& other, const CBuffer& used, const CBuffer& otherBuffer) {
    if (!other.present) return CVR_MANGR::kCopyMissing;
    if (!other.good) return CVR_MANGR::kCopyDamaged;
    return SameBytes(used, otherBuffer) ? CVR_MANGR::kCopySame : CVR_MANGR::kCopyDiffers;
}

// The failure of an Open that found neither copy good: the IFO's reason
// first, as it is the file a reader looks at.
int FailNoGoodCopy(CVR_MANGR& m, const std::unique_ptr<CVR_MANGR> (&loaded)[2],
                   const std::vector<std::string>& findings) {
    for (int i = 0; i < 2; ++i) {
        const vrm::Status& why = loaded[i]->fnGetLastStatus();
        if (why.Failed()) return m.fnFail(why.code, findings.empty() ? why.text : findings.front(), why.where, why.at);
    }
    return m.fnFail(VRO_ERR_DAMAGED,
                    findings.empty() ? std::string("No DVD-VR management file is there.") : findings.front());
}

// The stream objects place new recordings behind the highest recorded end;
// data of the files behind it is left alone (an append refuses to write
// over it). A movie stream shorter than the recordings the tables describe
// has lost data, and a stream file recordings need may be gone altogether:
// the disc opens all the same (its tables are whole) and the coverage of
// the stream files tells the loss (fnGetStreamCoverage). No recording can
// be added behind such a gap: the append checks that the stream holds the
// recorded data.
void SetRecordedEnds(CVR_MANGR& opened) {
    opened.m_pMovie->fnSetRecordedEnd(vrm::RecordedEnd(*opened.m_pModel, false));
    opened.m_pStill->fnSetRecordedEnd(vrm::RecordedEnd(*opened.m_pModel, true));
}

}  // namespace

bool CVR_MANGR::StreamsHoldRecordings() {
    for (int still = 0; still < 2; ++still) {
        VR_STREAM_COVERAGE c;
        if (!fnGetStreamCoverage(still, &c) || c.qwMissingBytes || !c.overlaps.empty()) return false;
    }
    return true;
}

int CVR_MANGR::fnRTR_VMG_Load_Table_From_File(const char* dir) { return LoadCopies(dir, nullptr); }

int CVR_MANGR::fnOpenFiles(std::shared_ptr<const vrm::DiscFiles> files, const char* location) {
    if (!files || !location || !*location) return fnFail(VRO_ERR_BAD_ARGUMENT, "No disc files were given.");
    return LoadCopies(location, std::move(files));
}

int CVR_MANGR::LoadCopies(const char* dir, std::shared_ptr<const vrm::DiscFiles> given) {
    // Each copy is loaded aside; the one used then takes the handle's place,
    // so a failure leaves the handle as it was. Nothing here writes.
    CopyFindings found;
    Candidate copies[2];
    copies[0].name = vrm::kIfoName;
    copies[1].name = vrm::kBupName;
    std::unique_ptr<CVR_MANGR> loaded[2];
    for (int i = 0; i < 2; ++i) {
        Candidate& copy = copies[i];
        loaded[i].reset(new (std::nothrow) CVR_MANGR());
        CVR_MANGR* m = loaded[i].get();
        if (!m || !m->m_pBuffer || !m->m_pModel || !m->SetDirectory(dir)) return 0;
        m->m_pFiles = given;
        const vrm::DirectoryFiles local(m->m_szDir);
        const vrm::DiscFiles& files = given ? *given : static_cast<const vrm::DiscFiles&>(local);
        copy.present = files.Size(copy.name) != vrm::DiscFiles::kMissing;
        if (!copy.present) continue;
        if (m->m_pBuffer->Load(files, copy.name) != 0) {
            found.Add(i, kFindingCopy, "cannot be read.");
            continue;
        }
        if (!m->LoadOpenFile()) {
            found.Add(i, kFindingCopy, "does not load: " + m->fnGetLastStatus().text + ".");
            continue;
        }
        std::vector<std::string> disagreements;
        if (!m->fnCheckConsistency(&disagreements)) {
            for (const std::string& d : disagreements) found.Add(i, kFindingTables, d);
            continue;
        }
        if (!m->InitStreams(CBuffer::kRead)) {
            found.Add(i, kFindingCopy, "lists recordings, but their stream file is missing.");
            // A stream file that is not there (rather than one that cannot
            // be opened) leaves the tables listable: the copy is used, its
            // recordings count as missing data.
            copy.good = *m->m_pMovie->fnGetStreamPath() && *m->m_pStill->fnGetStreamPath();
            continue;
        }
        copy.good = true;
        copy.fits = m->StreamsHoldRecordings();
        if (!copy.fits) {
            found.Add(i, kFindingCopy, "describes recordings that are missing from the stream files or share sectors.");
        }
    }

    const int use = ChooseCopy(copies);
    m_OpenFindings = found.sentences;
    m_OpenFindingDetails = found.details;
    if (use < 0) return FailNoGoodCopy(*this, loaded, found.sentences);
    CVR_MANGR& opened = *loaded[use];
    opened.m_nOpenedCopy = use;
    opened.m_nOtherCopy = OtherCopyState(copies[1 - use], *opened.m_pBuffer, *loaded[1 - use]->m_pBuffer);
    opened.m_OpenFindings = std::move(found.sentences);
    opened.m_OpenFindingDetails = std::move(found.details);
    SetRecordedEnds(opened);
    AdoptFileState(opened);
    return 1;
}

int CVR_MANGR::fnRTR_VMG_Open(const char* dir) {
    if (!dir) return 0;
    return fnRTR_VMG_Load_Table_From_File(dir);
}

DWORD fnGetDVDVRPathType(const char* dir) {
    if (!dir) return 0;
    bool present = false;
    const bool dvdVr = StartsWith(vrm::InDirectory(dir, vrm::kIfoName), vrm::kDvdVrId, &present);
    if (present) return dvdVr ? 1 : 0;
    return StartsWith(vrm::InDirectory(dir, vrm::kVideoTsName), vrm::kDvdVideoId, &present) ? 2 : 0;
}
