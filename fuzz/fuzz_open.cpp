// Opening a directory whose management file is the fuzz input: the open
// changes no file, and either refuses it or loads a disc that saves, opens
// again and saves to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "fuzz/FuzzScratch.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Scratch() {
    static const fs::path dir = [] {
        const fs::path d = FuzzScratch("open");
        fs::create_directories(d / "in");
        return d;
    }();
    return dir;
}

// Read in one piece: byte-wise stream iteration dominates an instrumented run.
std::vector<char> Read(const fs::path& path) {
    std::error_code ec;
    std::vector<char> bytes(static_cast<size_t>(fs::file_size(path, ec)));
    if (ec) return {};
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path dir = Scratch() / "in";
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
    {
        std::ofstream ifo(dir / "VR_MANGR.IFO", std::ios::binary);
        ifo.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        // Empty stream files, so that a disc that lists recordings opens.
        std::ofstream movie(dir / "VR_MOVIE.VRO"), still(dir / "VR_STILL.VRO");
    }
    void* h = fnVR_MANGRBegin();
    const int opened = fnVR_MANGROpen(h, dir.c_str());
    // Opening only reads: the management file is as written, the stream
    // files are still empty and nothing was added beside them.
    if (Read(dir / "VR_MANGR.IFO") != std::vector<char>(data, data + size)) abort();
    if (fs::file_size(dir / "VR_MOVIE.VRO") != 0 || fs::file_size(dir / "VR_STILL.VRO") != 0) abort();
    if (std::distance(fs::directory_iterator(dir), fs::directory_iterator()) != 3) abort();
    if (opened) {
        // Every program's and playlist's label and title decode, whatever
        // bytes and character set the file holds, to at most three bytes of
        // UTF-8 per byte of their 64-byte half.
        char text[256];
        DVDPGCINFO chain{};
        const int programs = fnVR_GetOPGCInfo(h, &chain, 2) ? static_cast<int>(chain.dwCount) : 0;
        for (int n = 1; n <= programs; ++n) {
            if (fnVR_GetProgramLabel(h, n, text, sizeof text) > sizeof text) abort();
            if (fnVR_GetProgramTitle(h, n, text, sizeof text) > sizeof text) abort();
        }
        for (int n = 1; n <= fnVR_GetPLCount(h); ++n) {
            if (fnVR_GetPLLabel(h, n, text, sizeof text) > sizeof text) abort();
            if (fnVR_GetPLTitle(h, n, text, sizeof text) > sizeof text) abort();
        }
        // Whatever opened is a disc: it saves, opens again from what it saved
        // and saves to the same bytes.
        if (!fnVR_MANGRSave(h, nullptr)) abort();
        const std::vector<char> saved = Read(dir / "VR_MANGR.IFO");
        void* again = fnVR_MANGRBegin();
        if (!fnVR_MANGROpen(again, dir.c_str()) || !fnVR_MANGRSave(again, nullptr)) abort();
        if (Read(dir / "VR_MANGR.IFO") != saved) abort();
        fnVR_MANGREnd(again);
    }
    fnVR_MANGREnd(h);
    return 0;
}
