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

namespace {

// The frame rate of the disc's recordings, from the first cell that has one
// (0 when it has none).
DWORD DiscFrameRate(void* h, DWORD cells) {
    DWORD rate = 0;
    for (DWORD c = 1; rate == 0 && c <= cells; ++c) {
        seg cell{};
        if (fnVR_GetOPGCCellInfo(h, static_cast<int>(c), 1, &cell, 0, 0)) rate = cell.dwFrameRate;
    }
    return rate;
}

// The recordings behind the last one of the disc in dir, registered (or
// with --dry-run, named) one by one, each a program of its own.
class Adoption {
public:
    Adoption(void* h, const std::string& dir, bool dry) : m_h(h), m_dir(dir), m_dry(dry) {
        DVDPGCINFO chain{};
        fnVR_GetOPGCInfo(h, &chain, 2);
        m_programs = static_cast<int>(chain.dwCount);
        m_discRate = DiscFrameRate(h, chain.dwCount);
    }

    // Adopts what was found in one stream file (still: VR_STILL.VRO), dated
    // when; false after Ctrl-C (said).
    bool Stream(const std::vector<VR_FOUND_STRETCH>& found, bool still, const SYSTEMTIME* when);
    long Adopted() const { return m_adopted; }
    long Kept() const { return m_kept; }

private:
    // --dry-run: what would become of the stretch.
    void Preview(const VR_FOUND_STRETCH& s, const char* name, bool still);
    // Registers the stretch where it lies; false after Ctrl-C.
    bool Register(const VR_FOUND_STRETCH& s, const char* name, bool still, const SYSTEMTIME* when);

    void* m_h;
    const std::string& m_dir;
    bool m_dry;
    int m_programs = 0;
    DWORD m_discRate = 0;
    long m_adopted = 0, m_kept = 0;
};

bool Adoption::Stream(const std::vector<VR_FOUND_STRETCH>& found, bool still, const SYSTEMTIME* when) {
    const char* name = still ? kStillVro : kMovieVro;
    for (const VR_FOUND_STRETCH& s : found) {
        if (!HoldsRecording(s)) continue;
        if (m_dry) {
            Preview(s, name, still);
        } else if (!Register(s, name, still, when)) {
            return false;
        }
    }
    return true;
}

void Adoption::Preview(const VR_FOUND_STRETCH& s, const char* name, bool still) {
    // A recording of the other TV system is what a disc most often cannot
    // take.
    if (!still && m_discRate && s.dwFrameRate != m_discRate) {
        std::printf("%s: %s at %s of %s would be kept where it is: it is a %s recording on a %s disc.\n", m_dir.c_str(),
                    FoundWhat(s).c_str(), FoundSpan(s).c_str(), name, s.dwFrameRate == 25000 ? "625/50" : "525/60",
                    m_discRate == 25000 ? "625/50" : "525/60");
        ++m_kept;
        return;
    }
    std::printf("%s: %s at %s of %s would become program %d.\n", m_dir.c_str(), FoundWhat(s).c_str(),
                FoundSpan(s).c_str(), name, m_programs + 1);
    ++m_programs;
    ++m_adopted;
}

bool Adoption::Register(const VR_FOUND_STRETCH& s, const char* name, bool still, const SYSTEMTIME* when) {
    fnVR_StartNewProgram(m_h);
    if (when) fnVR_SetRecordingTime(m_h, when);
    ProgressLabel("analysing " + FoundWhat(s));
    const int ok = still ? fnVR_AddRecordedStillRange(m_h, s.dwFirstSector, s.dwSectors, Progress)
                         : fnVR_AddRecordedRange(m_h, s.dwFirstSector, s.dwSectors, Progress);
    ProgressDone();
    if (Interrupted()) return Fail("cancelled; " + m_dir + " was left as it was."), false;
    if (!ok) {
        // It stays where it is; extract --undescribed copies it out.
        std::string why = Reason(m_h, "the disc cannot take it");
        if (!why.empty() && why.back() == '.') why.pop_back();
        std::fprintf(stderr,
                     "vrmangr: warning: %s at %s of %s is kept where it is but not registered (%s); "
                     "'vrmangr extract %s --undescribed -d DIR' writes it to a file.\n",
                     FoundWhat(s).c_str(), FoundSpan(s).c_str(), name, why.c_str(), m_dir.c_str());
        ++m_kept;
        return true;
    }
    ++m_programs;
    ++m_adopted;
    const std::string title =
        std::string(still ? "Recovered still pictures " : "Recovered recording ") + std::to_string(m_programs);
    fnVR_SetProgramTitle(m_h, m_programs, title.c_str());
    std::printf("%s: %s at %s of %s is program %d, \"%s\".\n", m_dir.c_str(), FoundWhat(s).c_str(),
                FoundSpan(s).c_str(), name, m_programs, title.c_str());
    return true;
}

}  // namespace

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
    Adoption adoption(h, dir, dry);
    for (int still = 0; still < 2; ++still) {
        SYSTEMTIME when{};
        const bool dated = mtime.For(InDir(dir, still ? kStillVro : kMovieVro), &when);
        if (!adoption.Stream(found[still], still != 0, dated ? &when : nullptr)) return kFailed;
    }
    if (adoption.Adopted() == 0) {
        if (adoption.Kept() > 0)
            return Fail("none of the recordings behind the last one of " + dir + " could be registered.");
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
