/* A C99 client of the C interface: a new disc with one recording and a
 * playlist that plays it, saved, opened again and queried; a refused edit
 * gives the library's code and sentence. Arguments: a recording, and an
 * empty directory for the disc. */
#include <stdio.h>
#include <string.h>

#include <vrmangr/vrmangr_c.h>

static int failures = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

int main(int argc, char** argv) {
    void* h;
    vrm_pgc_info pl;
    vrm_seg s;
    vrm_status status;
    size_t name;
    if (argc != 3) return 2;

    h = vrm_MANGRBegin();
    check(h != NULL, "a handle");
    check(vrm_MANGRNew(h, argv[2]) && vrm_AddMpegFile(h, argv[1], NULL), "a new disc with the recording");
    check(vrm_AddPL(h) && vrm_AddPLEntryPt(h, 1, 0, 1) && vrm_SetPLTitle(h, 1, "Holiday"), "a playlist");
    check(vrm_MANGRSave(h, NULL), "the save");
    vrm_MANGREnd(h);

    h = vrm_MANGRBegin();
    check(vrm_MANGROpen(h, argv[2]) && vrm_GetPLCount(h) == 1, "the saved disc has one playlist");
    memset(&pl, 0, sizeof pl);
    check(vrm_GetPLInfo(h, 1, &pl, 0), "the playlist's info");
    check(pl.dwContentTy == VRM_CONTENT_MOVIE, "the playlist is typed movie");
    check(pl.dwCount == 1 && pl.dwDuration > 0, "one entry point with a duration");
    memset(&s, 0, sizeof s);
    check(vrm_GetPLEntryPtInfo(h, 1, 1, &s, 0), "the entry point's segment");
    name = strlen(s.szFileName);
    check(name >= 12 && strcmp(s.szFileName + name - 12, "VR_MOVIE.VRO") == 0, "its bytes are in VR_MOVIE.VRO");
    check(s.llEndPos > s.llStartPos && s.dwCellType == VRM_CONTENT_MOVIE, "a movie segment with bytes");

    check(!vrm_DelPL(h, 9) && vrm_MANGRGetLastStatus(h, &status), "a playlist that does not exist is refused");
    check(status.dwCode == VRM_ERR_NO_SUCH_ITEM && strstr(status.szText, "playlist 9") != NULL,
          "the refusal names the playlist");
    vrm_MANGREnd(h);
    check(!vrm_GetPLCount(NULL) && !vrm_MANGRGetLastStatus(NULL, &status), "a null handle is refused");

    printf("%s\n", failures ? "c client failed" : "c client ok");
    return failures ? 1 : 0;
}
