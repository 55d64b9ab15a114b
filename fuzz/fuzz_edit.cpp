// A byte-driven sequence of editing, registration and query calls on a
// loaded disc, then a save: whatever the calls did, every save succeeds, the
// saved directory opens again with the same playlists, and from then on
// open and save reach a fixed point (the same management file each time).
//
// The disc: every table filled (tests/support/Discs.h), two recordings and a
// still-picture group registered from the committed samples. Its management
// file is kept in memory and written back before every input; the stream
// files are sparse files of the recorded length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "fuzz/FuzzScratch.h"
#include "support/Discs.h"
#include "support/EditScript.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<char>;

Bytes Read(const fs::path& path) {
    std::error_code ec;
    Bytes bytes(static_cast<size_t>(fs::file_size(path, ec)));
    if (ec) return {};
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void Write(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Sample(const char* name) { return (fs::path(VRMANGR_SOURCE_DIR) / "tests" / "data" / name).string(); }

struct BaseDisc {
    Bytes ifo;
    uintmax_t movieBytes = 0, stillBytes = 0;
};

// Builds the disc once per process.
const BaseDisc& Base() {
    static const BaseDisc base = [] {
        BaseDisc b;
        const fs::path dir = FuzzScratch("edit") / "base";
        if (!MakeEditScriptDisc(dir, Sample)) abort();
        b.ifo = Read(dir / "VR_MANGR.IFO");
        b.movieBytes = fs::file_size(dir / "VR_MOVIE.VRO");
        b.stillBytes = fs::file_size(dir / "VR_STILL.VRO");
        return b;
    }();
    return base;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const BaseDisc& base = Base();
    const fs::path dir = FuzzScratch("edit") / "work";
    fs::create_directories(dir);
    Write(dir / "VR_MANGR.IFO", base.ifo);
    Write(dir / "VR_MANGR.BUP", base.ifo);
    for (const char* name : {"VR_MOVIE.VRO", "VR_STILL.VRO"}) std::ofstream(dir / name, std::ios::trunc).close();
    fs::resize_file(dir / "VR_MOVIE.VRO", base.movieBytes);
    fs::resize_file(dir / "VR_STILL.VRO", base.stillBytes);

    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, dir.c_str())) abort();
    EditScript script(data, size);
    auto* m = static_cast<CVR_MANGR*>(h);
    // Every call keeps the tables consistent (or is refused): a finding
    // names the call that broke them.
    for (int calls = 0; script.More() && calls < 64; ++calls) {
        const int operation = ApplyEditCall(m, script, Sample);
        std::vector<std::string> findings;
        if (!m->fnCheckConsistency(&findings)) {
            std::fprintf(stderr, "call %d (operation %d) left the tables inconsistent:\n", calls + 1, operation);
            for (const std::string& f : findings) std::fprintf(stderr, "  %s\n", f.c_str());
            abort();
        }
    }
    if (!fnVR_MANGRSave(h, nullptr)) abort();
    const int playlists = fnVR_GetPLCount(h);
    fnVR_MANGREnd(h);

    // The saved directory opens with the same playlists and saves. Loading
    // may complete the disc once (a user-defined chain whose first movie
    // cell has no entry point gains one), so the fixed point is checked on
    // the second round: open, save, open, save gives the same bytes.
    if (Read(dir / "VR_MANGR.BUP") != Read(dir / "VR_MANGR.IFO")) abort();
    Bytes saved;
    for (int round = 0; round < 2; ++round) {
        void* again = fnVR_MANGRBegin();
        if (!fnVR_MANGROpen(again, dir.c_str())) {
            for (const std::string& f : static_cast<CVR_MANGR*>(again)->fnGetOpenFindings())
                std::fprintf(stderr, "%s\n", f.c_str());
            abort();
        }
        if (fnVR_GetPLCount(again) != playlists) abort();
        DVDPGCINFO info{};
        fnVR_GetOPGCInfo(again, &info, 0);
        if (!fnVR_MANGRSave(again, nullptr)) abort();
        fnVR_MANGREnd(again);
        if (round == 0)
            saved = Read(dir / "VR_MANGR.IFO");
        else if (Read(dir / "VR_MANGR.IFO") != saved)
            abort();
    }
    return 0;
}
