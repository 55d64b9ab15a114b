// Writing the management file: the table layout, and the save that writes
// VR_MANGR.IFO and its backup VR_MANGR.BUP.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "io/CBuffer.h"
#include "io/units.h"
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

namespace {

// A copy of the management file written aside (<name>.tmp-XXXXXX), whole
// and on disc, that replaces its target only when Commit is called: the
// save writes both copies before it renames either, so a full disk or a
// failed write leaves both files as they were. Destroyed uncommitted, the
// scratch file is removed.
class AsideFile {
public:
    ~AsideFile() {
        if (!m_scratch.empty()) vrm::RemoveFile(m_scratch.c_str());
    }
    // Writes bytes beside path and forces them to disc; false with *error
    // the errno of the failure.
    bool Write(const std::string& path, const std::vector<BYTE>& bytes, int* error) {
        m_target = path;
        vrm::File file;
        if (!file.CreateBeside(path, &m_scratch)) {
            *error = file.Error();
            return false;
        }
        const bool written = file.WriteAt(0, bytes.data(), bytes.size()) == bytes.size() && file.Sync();
        if (!written) *error = file.Error();
        return written;
    }
    // Renames the scratch file over the target.
    bool Commit(int* error) {
        errno = 0;
        if (!vrm::ReplaceFile(m_scratch.c_str(), m_target.c_str())) {
            *error = errno;
            return false;
        }
        m_scratch.clear();
        return true;
    }

private:
    std::string m_target, m_scratch;
};

// Serialises a table into the image at its start address; false when it
// does not write the size it reported.
template <class Accessor>
bool Place(Accessor* accessor, DWORD size, DWORD start, std::vector<BYTE>& image) {
    if (!size) return true;
    if (!accessor || uint64_t{start} + size > image.size()) return false;
    return accessor->fnReadData(image.data() + start) == size;
}

template <class Accessor>
DWORD DataSize(Accessor* accessor) {
    return accessor ? accessor->fndwDataSize() : 0;
}

}  // namespace

DWORD CVR_MANGR::m_dwSize() {
    DWORD total = 0;
    for (DWORD size : m_dwTableSize) total += size;
    return total;
}

int CVR_MANGR::fnGenerateEndAddressToVMGI_MAT() {
    if (!m_pModel || !m_pModel->pRTR_VMGI) return 1;
    CVMGI_MAT mat(m_pModel->pRTR_VMGI->pVMGI_MAT.get());
    const DWORD total = m_dwSize();
    DWORD end = total > kManagementAreaSize ? total : kManagementAreaSize;
    // From the end of the file backwards: the tables follow each other with
    // no gap and end the management area; absent tables get address 0.
    int (CVMGI_MAT::*const setters[6])(DWORD) = {&CVMGI_MAT::fnSet_dwM_AVFIT_SA,  &CVMGI_MAT::fnSet_dwS_AVFIT_SA,
                                                 &CVMGI_MAT::fnSet_dwORG_PGCI_SA, &CVMGI_MAT::fnSet_dwUD_PGCIT_SA,
                                                 &CVMGI_MAT::fnSet_dwTXTDT_MG_SA, &CVMGI_MAT::fnSet_dwMNFIT_SA};
    for (int table = kMNFIT; table >= kM_AVFIT; --table) {
        const DWORD size = m_dwTableSize[table];
        if (size) end -= size;
        (mat.*setters[table - 1])(size ? end : 0);
    }
    mat.fnSet_dwVMGI_EA(m_dwTableSize[kRTR_VMGI] - 1);
    mat.fnSet_dwRTR_VMG_EA(kManagementAreaSize - 1);
    return 1;
}

namespace {

// Lays the tables out (sizes, start addresses in VMGI_MAT) and serialises
// them into one image of the management file: each table at its start
// address, zeros between. false when a required table is missing or the
// file would not fit 32-bit addresses.
bool BuildImage(CVR_MANGR& m, std::vector<BYTE>& image) {
    DWORD* sizes = m.m_dwTableSize;
    vrm::ForEachTable([&](auto table) { sizes[table.index] = DataSize(vrm::Bound<decltype(table)::index>(m)); });
    // The head, both AV file tables and the original chain are always there.
    for (int table = CVR_MANGR::kRTR_VMGI; table <= CVR_MANGR::kORG_PGCI; ++table)
        if (!sizes[table]) return false;
    uint64_t total = 0;
    for (int table = 0; table < CVR_MANGR::kTableCount; ++table) total += sizes[table];
    if (total > 0xFFFFFFFFu) return false;
    m.fnGenerateEndAddressToVMGI_MAT();

    const DWORD area = CVR_MANGR::kManagementAreaSize;
    image.assign(total > area ? static_cast<size_t>(total) : area, 0);
    CVMGI_MAT mat(m.m_pModel->pRTR_VMGI->pVMGI_MAT.get());
    const DWORD starts[CVR_MANGR::kTableCount] = {0,
                                                  mat.fnGet_dwM_AVFIT_SA(),
                                                  mat.fnGet_dwS_AVFIT_SA(),
                                                  mat.fnGet_dwORG_PGCI_SA(),
                                                  mat.fnGet_dwUD_PGCIT_SA(),
                                                  mat.fnGet_dwTXTDT_MG_SA(),
                                                  mat.fnGet_dwMNFIT_SA()};
    bool placed = true;
    vrm::ForEachTable([&](auto table) {
        placed = placed && Place(table.AccessorIn(m), sizes[table.index], starts[table.index], image);
    });
    return placed;
}

// Both files written aside, then renamed one after the other: at every
// moment each name holds a whole management file, old or new.
bool WriteManagementFiles(const char* dir, const std::vector<BYTE>& image) {
    AsideFile ifo, bup;
    int error = 0;
    return ifo.Write(vrm::InDirectory(dir, vrm::kIfoName), image, &error) &&
           bup.Write(vrm::InDirectory(dir, vrm::kBupName), image, &error) && ifo.Commit(&error) && bup.Commit(&error);
}

std::string Megabytes(uint64_t bytes) {
    const uint64_t tenths = (bytes + 104857) / 104858;  // rounded up, 0.1 MB at least
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

}  // namespace

int CVR_MANGR::RetireEarlierDisc() {
    CVR_MANGR blank;
    std::vector<BYTE> image;
    if (!blank.NewTables() || !BuildImage(blank, image)) return 0;
    return WriteManagementFiles(m_szDir, image) ? 1 : 0;
}

namespace {

// A save that found the disk full, when `needed` bytes in all were to be
// written: how much more space it needs. Everything written is taken back
// by then: what is free is what the save may use.
int FailNoSpace(CVR_MANGR& m, uint64_t needed) {
    const std::string dir = m.m_szDir;
    const int64_t free = vrm::FreeBytes(m.m_szDir);
    std::string sentence = "There is no space left on the device holding " + dir + ": ";
    if (free >= 0 && static_cast<uint64_t>(free) < needed) {
        sentence += Megabytes(needed - static_cast<uint64_t>(free)) + " more are needed";
    } else {
        sentence += "the save needs " + Megabytes(needed);
    }
    return m.fnFail(VRO_ERR_DISK_FULL, sentence + "; nothing was changed.");
}

// The failure of writing the management files aside (errno error).
int FailWriteAside(CVR_MANGR& m, uint64_t needed, int error) {
    if (error == ENOSPC || error == EDQUOT) return FailNoSpace(m, needed);
    return m.fnFail(VRO_ERR_WRITE, std::string("VR_MANGR.IFO and VR_MANGR.BUP could not be written in ") + m.m_szDir +
                                       (error ? " (" + std::string(std::strerror(error)) + ")." : std::string(".")));
}

// The failure of a stream's append (its file cut back already).
int FailStream(CVR_MANGR& m, CVRO_DATA* stream, uint64_t needed) {
    m.m_dwLastError = stream->m_dwLastError;
    if (stream->m_dwLastError == VRO_ERR_DISK_FULL) return FailNoSpace(m, needed);
    return m.fnFailFromStream(stream);
}

// The stream data goes before the management files: they must never
// describe recordings that are not in the stream files. A failure takes
// back what was appended, so that the directory is as it was. 1 when both
// streams were appended.
int AppendStreams(CVR_MANGR& m, ProgressCallback cb, uint64_t needed) {
    if (!m.m_pMovie->fnAppendVOBListToVRO(cb)) {
        m.m_pStill->fnDiscardStaged();
        return FailStream(m, m.m_pMovie, needed);
    }
    if (!m.m_pStill->fnAppendVOBListToVRO(nullptr)) {
        m.m_pMovie->fnUndoAppend();
        return FailStream(m, m.m_pStill, needed);
    }
    return 1;
}

// The start addresses of the tables as the saved file holds them.
void KeepSavedStartAddresses(CVR_MANGR& m) {
    CVMGI_MAT mat(m.m_pModel->pRTR_VMGI->pVMGI_MAT.get());
    const DWORD written[6] = {mat.fnGet_dwM_AVFIT_SA(),  mat.fnGet_dwS_AVFIT_SA(),  mat.fnGet_dwORG_PGCI_SA(),
                              mat.fnGet_dwUD_PGCIT_SA(), mat.fnGet_dwTXTDT_MG_SA(), mat.fnGet_dwMNFIT_SA()};
    std::copy(written, written + 6, m.m_dwSA);
}

}  // namespace

int CVR_MANGR::CheckSavable() {
    if (!m_pModel || !m_pMovie || !m_pStill || !m_szDir[0]) return 0;
    if (!m_pModel->pRTR_VMGI || !m_pModel->pM_AVFIT || !m_pModel->pS_AVFIT || !m_pModel->pORG_PGCI) return 0;
    if (m_pFiles) {
        m_dwLastError = VRO_ERR_READ_ONLY;
        return fnFail(VRO_ERR_READ_ONLY,
                      std::string(m_szDir) + " is read from an image or a drive; it is never changed.");
    }
    // The other management file describes another state of the disc that
    // may hold recordings this one lacks: writing both from this one would
    // lose it. Which one to keep is the user's choice (the tool's repair).
    if (m_nOtherCopy == kCopyDiffers) {
        m_dwLastError = VRO_ERR_COPIES_DIFFER;
        return fnFail(VRO_ERR_COPIES_DIFFER, vrm::ErrorText(VRO_ERR_COPIES_DIFFER));
    }
    // A model whose tables contradict each other (a cell outside its VOB,
    // an entry point outside its cell, programs that do not count the
    // chain's cells) would be refused by the next Open: nothing is written,
    // neither the streams nor either management file.
    std::vector<std::string> findings;
    if (!fnCheckConsistency(&findings)) {
        return fnFail(VRO_ERR_DAMAGED, "The tables contradict each other, so nothing was saved: " +
                                           (findings.empty() ? std::string("(no detail)") : findings.front()));
    }
    return 1;
}

int CVR_MANGR::fnRTR_VMG_Save(ProgressCallback cb) {
    m_Released = ReleasedSpace{};
    if (!CheckSavable()) return 0;
    std::vector<BYTE> image;
    if (!BuildImage(*this, image)) {
        return fnFail(VRO_ERR_EDIT_REFUSED, "The tables do not fit a management file (more than 0x1FFFF bytes?).");
    }
    const uint64_t needed = 2 * uint64_t{image.size()} +
                            (m_pMovie->fnGetQueuedSectors() + m_pStill->fnGetQueuedSectors()) * vrm::kSectorBytes;

    // Both management files are written aside first: a disk too full for
    // them, or any failed write, stops the save before the streams change.
    AsideFile ifo, bup;
    int error = 0;
    if (!ifo.Write(vrm::InDirectory(m_szDir, vrm::kIfoName), image, &error) ||
        !bup.Write(vrm::InDirectory(m_szDir, vrm::kBupName), image, &error)) {
        return FailWriteAside(*this, needed, error);
    }

    if (m_bOverEarlierDisc) {
        // The directory still holds an earlier disc, whose management files
        // describe the stream data there. New stream data is written aside
        // first (a failure or cancel leaves the earlier disc whole); then
        // the management files become an empty disc, valid over any stream
        // data; only then is the earlier stream data given up.
        if (!m_pMovie->fnStageVOBList(cb)) {
            m_dwLastError = m_pMovie->m_dwLastError;
            return fnFailFromStream(m_pMovie);
        }
        if (!m_pStill->fnStageVOBList(nullptr) || !RetireEarlierDisc()) {
            fnFailFromStream(m_pStill);
            m_pMovie->fnDiscardStaged();
            m_pStill->fnDiscardStaged();
            return fnFail(VRO_ERR_WRITE, "The management files of the earlier disc could not be replaced.");
        }
        m_bOverEarlierDisc = false;
    }

    if (!AppendStreams(*this, cb, needed)) return 0;

    // The renames: the IFO's is the save's point of no return; should the
    // BUP's fail after it, the new IFO describes the streams as they are
    // now, and the failure is reported (repair makes the BUP agree).
    if (!ifo.Commit(&error)) {
        m_pMovie->fnUndoAppend();
        m_pStill->fnUndoAppend();
        return fnFail(VRO_ERR_WRITE, std::string("VR_MANGR.IFO could not be replaced in ") + m_szDir + " (" +
                                         std::strerror(error) + "); nothing was changed.");
    }
    m_pMovie->fnKeepAppend();
    m_pStill->fnKeepAppend();
    const bool bupWritten = bup.Commit(&error);
    KeepSavedStartAddresses(*this);
    m_nOpenedCopy = 0;
    // A BUP that could not be replaced is only older: a retry of this
    // handle writes both again.
    m_nOtherCopy = kCopySame;

    // The buffer now maps the file just written.
    if (m_pBuffer) m_pBuffer->Open(vrm::InDirectory(m_szDir, vrm::kIfoName).c_str(), CBuffer::kRead);
    if (!bupWritten) {
        return fnFail(VRO_ERR_WRITE, std::string("VR_MANGR.IFO was saved, but VR_MANGR.BUP could not be replaced in ") +
                                         m_szDir + " (" + std::strerror(error) + ").");
    }
    // Only now, with neither management file describing them any more, do
    // the sectors edits gave up go; a crash before this leaves them unused
    // in the stream, and giving them back never fails the save.
    ReleasePendingSectors();
    return 1;
}
