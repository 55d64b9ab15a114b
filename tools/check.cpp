// `vrmangr check` and `vrmangr repair`.
//
// The management file and its backup are each judged on their own: a copy
// of one of them is opened through the public Open in a scratch directory
// that holds nothing else (besides empty stream files, so that Open does not
// stop at their absence and never touches the disc's real ones). The tables
// it loads then give the sizes the stream files must have.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "tables/CM_AVFIT.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CS_AVFIT.h"
#include "tables/CS_VOGI.h"
#include "tables/CVMGI_MAT.h"

namespace fs = std::filesystem;

namespace tool {
namespace {

const char kDvdVrId[] = "DVD_RTR_VMG0";

bool ReadWholeFile(const std::string& path, std::vector<char>* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes bytes as path: a new file beside it, forced to disc and renamed
// over it, so a crash leaves either the old or the new file.
bool WriteFileSafely(const std::string& path, const std::vector<char>& bytes) {
    const std::string temp = path + ".new";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// A scratch directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vrmangr-check-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data())) m_path = buffer.data();
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// What one management file (the IFO or the BUP) says.
struct Verdict {
    std::string name;  // VR_MANGR.IFO or VR_MANGR.BUP
    bool present = false;
    bool valid = false;
    std::vector<char> bytes;
    std::vector<std::string> findings;  // about this file
    DWORD movieSectors = 0;  // stream lengths the tables describe
    DWORD stillSectors = 0;
    int recordings = 0;
};

// The sector behind the last still-picture group: each VOG's pictures lie
// from its start sector one after another, each its video part and then its
// original audio part (S_VOB_ENT types 0x40 and 0xC0 carry audio).
DWORD StillSectors(VMG_MODEL* model) {
    if (!model->pS_AVFIT || !model->pS_AVFIT->pS_AVFI) return 0;
    DWORD end = 0;
    for (S_VOGI& record : model->pS_AVFIT->pS_AVFI->vogi) {
        CS_VOGI vog(&record);
        DWORD at = vog.fnGet_dwS_VOG_SA();
        for (DWORD i = 0; i < vog.m_cS_VOB_Ns; ++i) {
            const BYTE p = static_cast<BYTE>(i);
            at += vog.fnGet_c1_V_PART_SZ(p);
            const BYTE type = vog.fnGet_c1_S_VOB_ENT_TY(p) & 0xC0;
            if (type == 0x40 || type == 0xC0) at += vog.fnGet_wOA_PART_SZ(p);
        }
        if (at > end) end = at;
    }
    return end;
}

// The tables in file order, with their start addresses and sizes as the
// loader found them; each must lie behind the previous one and inside the
// file.
void CheckTableBounds(CVR_MANGR* m, Verdict& v) {
    static const char* const kNames[] = {"RTR_VMGI", "M_AVFIT", "S_AVFIT", "ORG_PGCI", "UD_PGCIT", "TXTDT_MG", "MNFIT"};
    const uint64_t fileSize = v.bytes.size();
    uint64_t previousEnd = 0;
    const char* previous = nullptr;
    for (int t = 0; t < CVR_MANGR::kTableCount; ++t) {
        const uint64_t size = m->m_dwTableSize[t];
        if (size == 0) continue;
        const uint64_t start = t == 0 ? 0 : m->m_dwSA[t - 1];
        if (start + size > fileSize) {
            v.findings.push_back(v.name + ": " + kNames[t] + " (bytes " + std::to_string(start) + ".." +
                                 std::to_string(start + size) + ") runs past the end of the file (" +
                                 std::to_string(fileSize) + " bytes).");
        }
        if (previous && start < previousEnd) {
            v.findings.push_back(v.name + ": " + kNames[t] + " starts at byte " + std::to_string(start) +
                                 ", inside " + previous + " (which ends at " + std::to_string(previousEnd) + ").");
        }
        previousEnd = start + size;
        previous = kNames[t];
    }
    if (m->m_pModel && m->m_pModel->pRTR_VMGI && m->m_pModel->pRTR_VMGI->pVMGI_MAT) {
        CVMGI_MAT mat(m->m_pModel->pRTR_VMGI->pVMGI_MAT.get());
        const uint64_t vmgiEnd = uint64_t{mat.fnGet_dwVMGI_EA()} + 1;
        if (vmgiEnd != m->m_dwTableSize[CVR_MANGR::kRTR_VMGI]) {
            v.findings.push_back(v.name + ": VMGI_EA says RTR_VMGI is " + std::to_string(vmgiEnd) +
                                 " bytes long, but it holds " +
                                 std::to_string(m->m_dwTableSize[CVR_MANGR::kRTR_VMGI]) + ".");
        }
        const uint64_t areaEnd = uint64_t{mat.fnGet_dwRTR_VMG_EA()} + 1;
        if (areaEnd < previousEnd || areaEnd > fileSize) {
            v.findings.push_back(v.name + ": RTR_VMG_EA (" + std::to_string(areaEnd - 1) +
                                 ") does not cover the tables (which end at byte " + std::to_string(previousEnd) +
                                 ") inside the file (" + std::to_string(fileSize) + " bytes).");
        }
    }
}

Verdict Judge(const std::string& dir, const char* name) {
    Verdict v;
    v.name = name;
    const std::string path = InDir(dir, name);
    if (!fs::exists(path)) {
        v.findings.push_back(v.name + " is missing.");
        return v;
    }
    v.present = true;
    if (!ReadWholeFile(path, &v.bytes)) {
        v.findings.push_back(v.name + " cannot be read.");
        return v;
    }
    if (v.bytes.size() < 12 || std::memcmp(v.bytes.data(), kDvdVrId, 12) != 0) {
        v.findings.push_back(v.name + " does not begin with the identifier " + kDvdVrId + ".");
        return v;
    }
    ScratchDir scratch;
    if (scratch.Path().empty() || !WriteFileSafely(InDir(scratch.Path(), kIfo), v.bytes) ||
        !WriteFileSafely(InDir(scratch.Path(), kMovieVro), {}) || !WriteFileSafely(InDir(scratch.Path(), kStillVro), {})) {
        v.findings.push_back(v.name + " could not be copied to a scratch directory to be checked.");
        return v;
    }
    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, scratch.Path().c_str())) {
        v.findings.push_back(v.name + " does not load: a count, size or address of its tables points outside the "
                                      "file or into another table.");
        fnVR_MANGREnd(h);
        return v;
    }
    CVR_MANGR* m = static_cast<CVR_MANGR*>(h);
    v.valid = true;
    CheckTableBounds(m, v);
    if (m->m_pM_AVFIT) v.movieSectors = m->m_pM_AVFIT->fnGet_dwTotalVOBISize();
    v.stillSectors = StillSectors(m->m_pModel);
    DVDPGCINFO cells{};
    if (fnVR_GetOPGCInfo(h, &cells, 1)) v.recordings = static_cast<int>(cells.dwCount);
    fnVR_MANGREnd(h);
    return v;
}

long long SizeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

void CheckStream(const std::string& dir, const char* name, DWORD sectors, std::vector<std::string>& findings) {
    const long long expected = static_cast<long long>(sectors) * 2048;
    const long long actual = SizeOf(InDir(dir, name));
    if (actual < 0) {
        if (expected > 0) findings.push_back(std::string(name) + " is missing; the tables describe " +
                                             std::to_string(expected) + " bytes of it.");
        return;
    }
    if (actual < expected) {
        findings.push_back(std::string(name) + " is " + std::to_string(actual) + " bytes long, shorter than the " +
                           std::to_string(expected) + " bytes the tables describe: recorded data is missing.");
    } else if (actual > expected) {
        findings.push_back(std::string(name) + " is " + std::to_string(actual) + " bytes long, longer than the " +
                           std::to_string(expected) + " bytes the tables describe.");
    }
}

bool OneDirectory(const Args& args, std::string* dir, int* status) {
    if (args.words.size() != 1 || (!args.words[0].empty() && args.words[0][0] == '-')) {
        *status = UsageError(args.command, "expects one directory.");
        return false;
    }
    *dir = args.words[0];
    std::error_code ec;
    if (!fs::is_directory(*dir, ec)) {
        *status = Fail(*dir + " is not a directory.");
        return false;
    }
    return true;
}

}  // namespace

int RunCheck(const Args& args) {
    std::string dir;
    int status = kOk;
    if (!OneDirectory(args, &dir, &status)) return status;
    const Verdict ifo = Judge(dir, kIfo);
    const Verdict bup = Judge(dir, kBup);
    if (!ifo.present && !bup.present) return Fail(dir + " holds no DVD-VR disc: " + kIfo + " and " + kBup + " are missing.");

    std::vector<std::string> findings = ifo.findings;
    findings.insert(findings.end(), bup.findings.begin(), bup.findings.end());
    if (ifo.valid && bup.valid && ifo.bytes != bup.bytes) {
        findings.push_back(std::string(kIfo) + " and " + kBup + " differ; they must be identical.");
    }
    const Verdict* tables = ifo.valid ? &ifo : bup.valid ? &bup : nullptr;
    if (tables) {
        CheckStream(dir, kMovieVro, tables->movieSectors, findings);
        CheckStream(dir, kStillVro, tables->stillSectors, findings);
    }
    if (findings.empty()) {
        const int cells = tables ? tables->recordings : 0;
        std::printf("%s: no problems found (%s and %s valid and identical, %d cell%s, stream files complete).\n",
                    dir.c_str(), kIfo, kBup, cells, cells == 1 ? "" : "s");
        return kOk;
    }
    std::printf("%s: %zu problem%s found:\n", dir.c_str(), findings.size(), findings.size() == 1 ? "" : "s");
    for (const std::string& f : findings) std::printf("  - %s\n", f.c_str());
    if (!ifo.valid || !bup.valid || ifo.bytes != bup.bytes) {
        if (tables) std::printf("'vrmangr repair %s' restores the damaged copy from the valid one.\n", dir.c_str());
    }
    return Fail(dir + " failed the check.");
}

int RunRepair(const Args& args) {
    std::string dir;
    int status = kOk;
    if (!OneDirectory(args, &dir, &status)) return status;
    const Verdict ifo = Judge(dir, kIfo);
    const Verdict bup = Judge(dir, kBup);
    if (!ifo.present && !bup.present) return Fail(dir + " holds no DVD-VR disc: " + kIfo + " and " + kBup + " are missing.");
    if (!ifo.valid && !bup.valid) {
        return Fail("neither " + InDir(dir, kIfo) + " nor its backup " + kBup + " is valid, so there is nothing to restore from.");
    }
    const bool ifoWhole = ifo.valid && ifo.findings.empty();
    const bool bupWhole = bup.valid && bup.findings.empty();
    if (ifoWhole && bupWhole && ifo.bytes == bup.bytes) {
        std::printf("%s: %s and %s are valid and identical; nothing to repair.\n", dir.c_str(), kIfo, kBup);
        return kOk;
    }
    // The IFO wins when it is valid: a save writes it before the backup.
    const Verdict& from = ifo.valid ? ifo : bup;
    const char* to = ifo.valid ? kBup : kIfo;
    if (!WriteFileSafely(InDir(dir, to), from.bytes)) return Fail(InDir(dir, to) + " could not be written.");
    std::printf("%s: %s restored from %s.\n", dir.c_str(), to, from.name.c_str());
    return kOk;
}

}  // namespace tool
