// Writes the seed inputs of the fuzz targets into a directory:
//   make_seeds DIR  ->  DIR/open/*.ifo (whole management files) and
//                       DIR/tables/* (single tables at offset 0).
// The seeds are generated rather than kept in the repository, so they always
// follow the current serialisers.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/Discs.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::vector<BYTE>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<BYTE> Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <class Accessor>
std::vector<BYTE> Bytes(Accessor* accessor, size_t lead = 0) {
    std::vector<BYTE> out(lead + accessor->fndwDataSize());
    accessor->fnReadData(out.data() + lead);
    return out;
}

// Saves a disc into dir and copies its management file to seed.
bool SaveDisc(const fs::path& dir, bool full, const fs::path& seed, const fs::path& tables) {
    fs::create_directories(dir);
    void* h = fnVR_MANGRBegin();
    auto* m = static_cast<CVR_MANGR*>(h);
    bool ok = fnVR_MANGRNew(h, dir.c_str()) && (!full || FillEveryTable(*m)) && fnVR_MANGRSave(h, nullptr);
    if (ok) {
        Write(seed, Read(dir / "VR_MANGR.IFO"));
        if (full) {
            Write(tables / "rtr_vmgi", Bytes(m->m_pRTR_VMGI));
            Write(tables / "m_avfit", Bytes(m->m_pM_AVFIT));
            Write(tables / "s_avfit", Bytes(m->m_pS_AVFIT));
            Write(tables / "org_pgci", Bytes(m->m_pORG_PGCI));
            Write(tables / "ud_pgcit", Bytes(m->m_pUD_PGCIT, 1));
            Write(tables / "txtdt_mg", Bytes(m->m_pTXTDT_MG));
            Write(tables / "mnfit", Bytes(m->m_pMNFIT));
        }
    }
    fnVR_MANGREnd(h);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path open = root / "open", tables = root / "tables", work = root / "work";
    fs::create_directories(open);
    fs::create_directories(tables);
    const bool ok = SaveDisc(work / "empty", false, open / "empty.ifo", tables) &&
                    SaveDisc(work / "full", true, open / "full.ifo", tables);
    fs::remove_all(work);
    if (!ok) std::fprintf(stderr, "make_seeds: could not build the seed discs\n");
    return ok ? 0 : 1;
}
