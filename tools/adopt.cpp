// `vrmangr adopt`: registers the recordings that lie in a disc's stream files
// behind the last one its tables describe (appended by hand, left by tables
// that were lost, or not taken by a recovery) where they lie, each a program
// of its own, as recover registers what it finds. The stream files are not
// written.
#include <cstdio>
#include <string>
#include <vector>

#include "check_disc.h"
#include "cli.h"

namespace tool {

int RunAdopt(const Args& args) {
    std::vector<std::string> words, dryRun;
    int status = kOk;
    if (!ParseOptions(args, {{"--dry-run", nullptr, nullptr, &dryRun}}, &words, &status)) return status;
    if (words.size() != 1) return UsageError(args.command, "expects one directory.");
    const std::string& dir = words[0];
    const bool dry = !dryRun.empty();
    Disc disc;
    if (!disc.Open(dir, dry ? Access::Read : Access::Write)) return kFailed;
    void* h = disc.Handle();

    std::vector<VR_FOUND_STRETCH> found[2];
    for (int still = 0; still < 2; ++still)
        if (!FindUndescribedOf(h, dir, still != 0, &found[still], &status)) return status;
    // Dated by their stream file's modification time, as recover dates what
    // it finds.
    RecordingDate mtime;
    mtime.Parse("mtime");
    DVDPGCINFO chain{};
    fnVR_GetOPGCInfo(h, &chain, 2);
    int programs = static_cast<int>(chain.dwCount);
    // The frame rate of the disc's recordings (0 when it has none).
    DWORD discRate = 0;
    for (DWORD c = 1; discRate == 0 && c <= chain.dwCount; ++c) {
        seg cell{};
        if (fnVR_GetOPGCCellInfo(h, static_cast<int>(c), 1, &cell, 0, 0)) discRate = cell.dwFrameRate;
    }
    long adopted = 0, kept = 0;
    for (int still = 0; still < 2; ++still) {
        const char* name = still ? kStillVro : kMovieVro;
        SYSTEMTIME when{};
        const bool dated = mtime.For(InDir(dir, name), &when);
        for (const VR_FOUND_STRETCH& s : found[still]) {
            if (!HoldsRecording(s)) continue;
            if (dry) {
                // A recording of the other TV system is what a disc most
                // often cannot take.
                if (!still && discRate && s.dwFrameRate != discRate) {
                    std::printf("%s: %s at %s of %s would be kept where it is: it is a %s recording on a %s disc.\n",
                                dir.c_str(), FoundWhat(s).c_str(), FoundSpan(s).c_str(), name,
                                s.dwFrameRate == 25000 ? "625/50" : "525/60", discRate == 25000 ? "625/50" : "525/60");
                    ++kept;
                    continue;
                }
                std::printf("%s: %s at %s of %s would become program %d.\n", dir.c_str(), FoundWhat(s).c_str(),
                            FoundSpan(s).c_str(), name, programs + 1);
                ++programs;
                ++adopted;
                continue;
            }
            fnVR_StartNewProgram(h);
            if (dated) fnVR_SetRecordingTime(h, &when);
            ProgressLabel("analysing " + FoundWhat(s));
            const int ok = still ? fnVR_AddRecordedStillRange(h, s.dwFirstSector, s.dwSectors, Progress)
                                 : fnVR_AddRecordedRange(h, s.dwFirstSector, s.dwSectors, Progress);
            ProgressDone();
            if (Interrupted()) return Fail("cancelled; " + dir + " was left as it was.");
            if (!ok) {
                // It stays where it is; extract --undescribed copies it out.
                std::string why = Reason(h, "the disc cannot take it");
                if (!why.empty() && why.back() == '.') why.pop_back();
                std::fprintf(stderr,
                             "vrmangr: warning: %s at %s of %s is kept where it is but not registered (%s); "
                             "'vrmangr extract %s --undescribed -d DIR' writes it to a file.\n",
                             FoundWhat(s).c_str(), FoundSpan(s).c_str(), name, why.c_str(), dir.c_str());
                ++kept;
                continue;
            }
            ++programs;
            ++adopted;
            const std::string title =
                std::string(still ? "Recovered still pictures " : "Recovered recording ") + std::to_string(programs);
            fnVR_SetProgramTitle(h, programs, title.c_str());
            std::printf("%s: %s at %s of %s is program %d, \"%s\".\n", dir.c_str(), FoundWhat(s).c_str(),
                        FoundSpan(s).c_str(), name, programs, title.c_str());
        }
    }
    if (adopted == 0) {
        if (kept > 0) return Fail("none of the recordings behind the last one of " + dir + " could be registered.");
        std::printf(
            "%s: the stream files hold no recording behind the last one the tables describe; nothing to "
            "adopt.\n",
            dir.c_str());
        return kOk;
    }
    if (dry) return kOk;
    return disc.Save() ? kOk : kFailed;
}

}  // namespace tool
