// Test helper of the tool tests: gives a disc the shape of one a recorder
// left after deleting a recording, through the library.
//   shape DIR gap VOB SECTORS   moves VOB and every later VOB SECTORS
//                               sectors back: that many sectors of 0xA5
//                               (no pack header) are inserted into
//                               VR_MOVIE.VRO before VOB's data, and the
//                               moved VOBs' ADR_OFS raised by SECTORS in
//                               VR_MANGR.IFO and VR_MANGR.BUP
// The stream is rewritten first, so that the saved tables never name data
// beyond its end.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <vrmangr.h>

#include "api/CVR_MANGR.h"
#include "tables/CM_AVFI.h"
#include "tables/CM_AVFIT.h"
#include "tables/CTMAPI.h"

namespace {

// The time map of VOB n (1-based) of the disc open in h; null when none.
TMAPI* TimeMap(void* h, unsigned n) {
    const VMG_MODEL* model = static_cast<CVR_MANGR*>(h)->m_pModel;
    if (!model || !model->pM_AVFIT || !model->pM_AVFIT->pM_AVFI) return nullptr;
    auto& vobs = model->pM_AVFIT->pM_AVFI->vobi;
    return n >= 1 && n <= vobs.size() ? vobs[n - 1].pTMAPI.get() : nullptr;
}

bool InsertSectors(const std::string& path, unsigned long long at, unsigned long long count) {
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (at * 2048 > bytes.size()) return false;
    bytes.insert(at * 2048, std::string(count * 2048, '\xA5'));
    const std::string temp = path + ".shape";
    std::ofstream out(temp, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out.good() && std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5 || std::string(argv[2]) != "gap") {
        std::fprintf(stderr, "usage: shape DIR gap VOB SECTORS\n");
        return 2;
    }
    const std::string dir = argv[1];
    const unsigned first = static_cast<unsigned>(std::atoi(argv[3]));
    const DWORD sectors = static_cast<DWORD>(std::atol(argv[4]));

    void* h = fnVR_MANGRBegin();
    TMAPI* map = fnVR_MANGROpen(h, dir.c_str()) ? TimeMap(h, first) : nullptr;
    const DWORD start = map ? CTMAPI(map).fnGet_dwADR_OFS() : 0;
    fnVR_MANGREnd(h);
    bool ok = map && InsertSectors(dir + "/VR_MOVIE.VRO", start, sectors);

    h = fnVR_MANGRBegin();
    ok = ok && fnVR_MANGROpen(h, dir.c_str());
    for (unsigned n = first; ok && (map = TimeMap(h, n)) != nullptr; ++n) {
        CTMAPI vob(map);
        vob.fnSet_dwADR_OFS(vob.fnGet_dwADR_OFS() + sectors);
    }
    ok = ok && fnVR_MANGRSave(h, nullptr);
    fnVR_MANGREnd(h);
    if (!ok) std::fprintf(stderr, "shape: the gap could not be made in %s\n", dir.c_str());
    return ok ? 0 : 1;
}
