// Test helper of the tool tests: changes disc files in ways the tool never
// would.
//   helper damage FILE OFFSET HEXBYTES   overwrites bytes at OFFSET (e.g. 7fffff00)
//   helper damage FILE truncate SIZE     cuts the file to SIZE bytes
//   helper playlists DIR COUNT CELLS     appends COUNT playlists, each holding
//                                        CELLS copies of entry point 1 of the
//                                        original chain, and saves (through
//                                        the library: faster than one tool run
//                                        per cell)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <vrmangr.h>

namespace {

int Damage(const std::string& file, const std::string& at, const std::string& hex) {
    if (at == "truncate") return truncate(file.c_str(), std::atol(hex.c_str())) == 0 ? 0 : 1;
    std::FILE* f = std::fopen(file.c_str(), "r+b");
    if (!f || std::fseek(f, std::atol(at.c_str()), SEEK_SET) != 0) return 1;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        if (std::fputc(static_cast<int>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)), f) == EOF) return 1;
    }
    return std::fclose(f) == 0 ? 0 : 1;
}

int Playlists(const char* dir, int count, int cells) {
    void* h = fnVR_MANGRBegin();
    bool ok = fnVR_MANGROpen(h, dir) != 0;
    for (int p = 0; ok && p < count; ++p) {
        ok = fnVR_AddPL(h) != 0;
        const int pl = fnVR_GetPLCount(h);
        for (int c = 0; ok && c < cells; ++c) ok = fnVR_AddPLEntryPt(h, pl, c, 1) != 0;
    }
    ok = ok && fnVR_MANGRSave(h, nullptr) != 0;
    fnVR_MANGREnd(h);
    if (!ok) std::fprintf(stderr, "helper: %s could not be filled\n", dir);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 5 ? argv[1] : "";
    if (command == "damage") return Damage(argv[2], argv[3], argv[4]);
    if (command == "playlists") return Playlists(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr,
                 "usage: helper damage FILE OFFSET HEXBYTES | damage FILE truncate SIZE | "
                 "playlists DIR COUNT CELLS\n");
    return 2;
}
