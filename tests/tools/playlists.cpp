// Test helper of the tool tests: fills a disc with large playlists through
// the library, faster than one tool run per cell.
//   playlists DIR COUNT CELLS   appends COUNT playlists, each holding CELLS
//                               copies of entry point 1 of the original
//                               chain, and saves
#include <cstdio>
#include <cstdlib>

#include <vrmangr.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: playlists DIR COUNT CELLS\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    const int cells = std::atoi(argv[3]);
    void* h = fnVR_MANGRBegin();
    bool ok = fnVR_MANGROpen(h, argv[1]) != 0;
    for (int p = 0; ok && p < count; ++p) {
        ok = fnVR_AddPL(h) != 0;
        const int pl = fnVR_GetPLCount(h);
        for (int c = 0; ok && c < cells; ++c) ok = fnVR_AddPLEntryPt(h, pl, c, 1) != 0;
    }
    ok = ok && fnVR_MANGRSave(h, nullptr) != 0;
    fnVR_MANGREnd(h);
    if (!ok) std::fprintf(stderr, "playlists: %s could not be filled\n", argv[1]);
    return ok ? 0 : 1;
}
