// vrmangr recover: rebuilds VR_MANGR.IFO and VR_MANGR.BUP from VR_MOVIE.VRO
// and VR_STILL.VRO when both are missing or unreadable. The library scans
// the movie stream for the recordings and the still stream for the groups of
// still pictures they hold; each becomes a program of its own, registered
// where it lies, and neither stream file is written (but for --realign, which
// cuts the rest of a broken first pack from the front of VR_MOVIE.VRO).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "check_disc.h"
#include "cli.h"

namespace tool {
namespace {

std::string Bytes(const VR_FOUND_STRETCH& s) { return FoundSpan(s); }

std::string Video(const VR_FOUND_STRETCH& s) {
    const char* aspect = s.dwAspectRatio == 2 ? "4:3" : s.dwAspectRatio == 4 ? "2.21:1" : "16:9";
    return std::string(s.dwMpeg2 ? "MPEG-2 " : "MPEG-1 ") + std::to_string(s.dwWidth) + "x" +
           std::to_string(s.dwHeight) + " " + aspect + (s.dwFrameRate == 25000 ? " 25 fps" : " 29.97 fps");
}

std::string Audio(const VR_FOUND_STRETCH& s) {
    if (s.dwSampleRate == 0) return "no audio";
    const char* coding = s.dwAudioCodingBits == 0 ? "AC-3" : s.dwAudioCodingBits == 0x800000 ? "LPCM" : "MPEG audio";
    return std::string(coding) + " " + std::to_string(s.dwSampleRate / 1000) + " kHz " +
           std::to_string(s.dwAudioChannels ? s.dwAudioChannels : 2) + " ch " + std::to_string(s.dwAudioBitrate) +
           " kbit/s";
}

std::string Utc(const SYSTEMTIME& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u UTC", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    return text;
}

std::string Damage(const VR_FOUND_STRETCH& s) {
    return Bytes(s) + " (" + std::to_string(s.llBytes) + " bytes), skipped: " + s.szText;
}

// A stretch a scan found that holds no recording: damaged data is named,
// unused sectors (zeros: never written, or given back) only with --dry-run.
void PrintNoRecording(const VR_FOUND_STRETCH& s, const char* stream, bool dry) {
    const std::string in = stream ? std::string(" in ") + stream : std::string();
    if (s.dwKind == VR_FOUND_UNUSED) {
        if (dry)
            std::printf("unused%s: %s (%lld bytes): %s\n", in.c_str(), Bytes(s).c_str(),
                        static_cast<long long>(s.llBytes), s.szText);
        return;
    }
    std::printf("damaged%s: %s\n", in.c_str(), Damage(s).c_str());
}

// One stream file of the directory and what its scan found.
struct Scanned {
    Scanned(const char* n, const std::string& dir) : name(n), path(InDir(dir, n)) {}
    const char* name;
    std::string path;
    long long bytes = 0;  // -1 when there is no such file
    std::vector<VR_FOUND_STRETCH> found;
    size_t kept = 0;  // recordings or still groups among them
    SYSTEMTIME when{};
    bool dated = false;
    std::string dateSource;
};

// Scans s with the handle (still: for still pictures); false after a
// failure, which it has reported (*status the exit status).
bool Scan(void* h, const std::string& dir, bool still, Scanned* s, int* status) {
    if (s->bytes <= 0) return true;
    ProgressLabel("scanning " + std::string(s->name));
    const int scanned = still ? fnVR_ScanStillStreamFile(h, s->path.c_str(), 0, Progress)
                              : fnVR_ScanStreamFile(h, s->path.c_str(), 0, Progress);
    ProgressDone();
    if (!scanned) {
        if (Interrupted() || ReasonCode(h) == VRO_ERR_CANCELLED) {
            *status = Fail("cancelled while scanning " + s->path + "; " + dir + " was left as it was.");
        } else {
            *status = Fail(Reason(h, s->path + " could not be scanned."));
        }
        return false;
    }
    s->found.resize(fnVR_GetFoundCount(h));
    for (DWORD i = 0; i < s->found.size(); ++i) {
        fnVR_GetFound(h, i, &s->found[i]);
        if (HoldsRecording(s->found[i])) ++s->kept;
    }
    // The streams carry no recording time that the scan reads, so
    // everything is dated by its stream file's modification time.
    RecordingDate mtime;
    mtime.Parse("mtime");
    s->dated = mtime.For(s->path, &s->when);
    s->dateSource = s->dated ? "modification time of " + std::string(s->name) + ", " + Utc(s->when)
                             : "none (the time of the recovery)";
    return true;
}

// Rewrites the stream file at path without its first `bytes` bytes: written
// aside, forced to disc and renamed over it. False, with a sentence, on
// failure (the file then stays as it was).
bool Realign(const std::string& path, long bytes) {
    const std::string temp = path + ".realign";
    std::ifstream in(path, std::ios::binary);
    in.seekg(bytes);
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!out.flush()) {
            std::remove(temp.c_str());
            return Fail(temp + " could not be written; " + path + " was left as it was."), false;
        }
    }
    const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!synced || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return Fail(path + " could not be replaced; it was left as it was."), false;
    }
    return true;
}

// Takes the writer's lock (a reader's for --dry-run) on dir and makes sure
// it holds no management file that loads; kOk, or the failure reported.
int LockUnloadable(void* h, const std::string& dir, bool dry) {
    // The writer's lock for the whole check-scan-save, as add takes it.
    if (!fnVR_MANGRLock(h, dir.c_str(), dry ? 0 : 1, 1000) && ReasonCode(h) == VRO_ERR_LOCKED) {
        return Fail(dir + " is being changed by another vrmangr process; try again when it has finished.");
    }
    if (HoldsDisc(dir) && fnVR_MANGROpen(h, dir.c_str())) {
        return Fail(dir +
                    " holds a management file that loads, so nothing was changed: recover only rebuilds a "
                    "missing or unreadable one ('vrmangr repair " +
                    dir + "' restores a damaged copy from the good one).");
    }
    return kOk;
}

// A stream whose first bytes are missing holds its packs off the sector
// boundaries, where a scan finds none: --realign cuts the rest of the broken
// first pack from its front, then scans again. False when the recovery ends
// here, with *status its exit status (--dry-run says what --realign would
// do and ends).
bool RealignMovie(void* h, const std::string& dir, bool dry, bool realignAsked, Scanned* movie, int* status) {
    const long misaligned = movie->kept == 0 && movie->bytes > 0
                                ? static_cast<long>(fnVR_FindMisalignedPacks(h, movie->path.c_str(), 0, movie->bytes))
                                : 0;
    if (!misaligned) return true;
    if (!realignAsked) {
        *status = Fail(
            "no recording begins at a sector boundary of " + movie->path + ", but its MPEG packs begin " +
            std::to_string(misaligned) + " bytes into their sectors (its first bytes are missing); 'vrmangr recover " +
            dir + " --realign' cuts those " + std::to_string(misaligned) + " bytes from its front, then recovers.");
        return false;
    }
    if (dry) {
        std::printf(
            "%s: the MPEG packs of %s begin %ld bytes into their sectors; --realign would cut those bytes "
            "from its front and scan it again (nothing was written).\n",
            dir.c_str(), kMovieVro, misaligned);
        *status = kOk;
        return false;
    }
    if (!Realign(movie->path, misaligned)) {
        *status = kFailed;
        return false;
    }
    std::printf("%s: cut the first %ld bytes (the rest of a broken pack) from %s.\n", dir.c_str(), misaligned,
                kMovieVro);
    movie->bytes = RegularFileSize(movie->path);
    return Scan(h, dir, false, movie, status);
}

// The failure when the scans found nothing to recover; kOk when they found
// something.
int FailNothingFound(const Scanned& movie, const Scanned& still) {
    if (movie.kept != 0 || still.kept != 0) return kOk;
    if (still.bytes <= 0) return Fail("no recording was found in " + movie.path + "; nothing was written.");
    if (movie.bytes <= 0) return Fail("no still picture was found in " + still.path + "; nothing was written.");
    return Fail("no recording was found in " + movie.path + " and no still picture in " + still.path +
                "; nothing was written.");
}

// --dry-run: what the scans found, and how each would be dated.
void PrintFound(const Scanned& movie, const Scanned& still) {
    size_t n = 0;
    for (const VR_FOUND_STRETCH& s : movie.found) {
        if (s.dwKind == VR_FOUND_RECORDING) {
            std::printf("recording %zu: %s (%u sectors), %s, %s, %s, end: %s; date: %s\n", ++n, Bytes(s).c_str(),
                        s.dwSectors, FrameTime(s.dwFrames, s.dwFrameRate).c_str(), Video(s).c_str(), Audio(s).c_str(),
                        s.szText, movie.dateSource.c_str());
        } else {
            PrintNoRecording(s, nullptr, true);
        }
    }
    n = 0;
    for (const VR_FOUND_STRETCH& s : still.found) {
        if (s.dwKind == VR_FOUND_STILLS) {
            std::printf("still pictures %zu: %s of %s (%u sectors), %s, %s, %s, end: %s; date: %s\n", ++n,
                        Bytes(s).c_str(), kStillVro, s.dwSectors, Count(s.dwFrames, "picture", "pictures").c_str(),
                        Video(s).c_str(), Audio(s).c_str(), s.szText, still.dateSource.c_str());
        } else {
            PrintNoRecording(s, kStillVro, true);
        }
    }
}

// Registers what the scans found on the new disc, each as a program of its
// own, named and dated by a management file that survived where the namer
// knows it.
class Registrar {
public:
    Registrar(void* h, const RecoveredNamer& namer, bool quiet) : h_(h), namer_(namer), quiet_(quiet) {}

    // Registers what one scan found, each as a program titled `title` N;
    // *added counts those the disc took. False after Ctrl-C.
    bool Add(const Scanned& scanned, bool stills, const char* what, const char* title, size_t* added);
    // How many recordings a surviving management file named and dated.
    size_t Described() const { return described_; }

private:
    // Registers the n-th stretch; 1 when it was added, 0 when the disc did
    // not take it (warned of), -1 after Ctrl-C.
    int AddOne(const Scanned& scanned, const VR_FOUND_STRETCH& s, size_t n, bool stills, const char* what,
               const char* title);
    // The chapters of the program just added as they were: its one entry
    // point divided where the others began.
    void RestoreChapters(const RecoveredNaming& naming);

    void* h_;
    const RecoveredNamer& namer_;
    bool quiet_;
    int programs_ = 0;
    size_t described_ = 0;  // named and dated by a management file that survived
};

bool Registrar::Add(const Scanned& scanned, bool stills, const char* what, const char* title, size_t* added) {
    size_t n = 0;
    for (const VR_FOUND_STRETCH& s : scanned.found) {
        if (!HoldsRecording(s)) continue;
        const int r = AddOne(scanned, s, ++n, stills, what, title);
        if (r < 0) return false;
        *added += static_cast<size_t>(r);
    }
    return true;
}

int Registrar::AddOne(const Scanned& scanned, const VR_FOUND_STRETCH& s, size_t n, bool stills, const char* what,
                      const char* title) {
    fnVR_StartNewProgram(h_);
    RecoveredNaming naming;
    const bool named = !stills && namer_ && namer_(scanned.path, s.dwFirstSector, s.dwSectors, &naming);
    if (named && naming.dated) {
        fnVR_SetRecordingTime(h_, &naming.when);
    } else if (scanned.dated) {
        fnVR_SetRecordingTime(h_, &scanned.when);
    }
    ProgressLabel("analysing " + std::string(what) + " " + std::to_string(n));
    const int ok = stills ? fnVR_AddRecordedStillRange(h_, s.dwFirstSector, s.dwSectors, Progress)
                          : fnVR_AddRecordedRange(h_, s.dwFirstSector, s.dwSectors, Progress);
    ProgressDone();
    if (Interrupted()) return -1;
    if (!ok) {
        std::fprintf(stderr, "vrmangr: warning: %s %zu (%s of %s) is not recovered: %s\n", what, n, Bytes(s).c_str(),
                     scanned.name, Reason(h_, "the disc cannot take it.").c_str());
        return 0;
    }
    // The mark of a recovered recording: its title, which info shows (the
    // one that survived, where one did).
    const std::string text = named && !naming.title.empty() ? naming.title : title + std::to_string(n);
    fnVR_SetProgramTitle(h_, ++programs_, text.c_str());
    if (named) {
        RestoreChapters(naming);
        ++described_;
        if (!quiet_) std::printf("recording %zu is %s\n", n, naming.from.c_str());
    }
    return 1;
}

void Registrar::RestoreChapters(const RecoveredNaming& naming) {
    DVDPGCINFO counts{};
    fnVR_GetOPGCInfo(h_, &counts, 0);
    int ep = static_cast<int>(counts.dwCount);
    DWORD from = 0;
    for (DWORD at : naming.chapters) {
        if (at > from && fnVR_DevideOPGCEntryPt(h_, ep, at - from)) {
            ++ep;
            from = at;
        }
    }
}

// Saves the new disc; kOk, or the failure reported (the caller removes what
// New made).
int SaveRecovered(void* h, const std::string& dir) {
    ProgressLabel("saving " + dir);
    const int saved = fnVR_MANGRSave(h, Progress);
    ProgressDone();
    if (saved) return kOk;
    if (Interrupted() || ReasonCode(h) == VRO_ERR_CANCELLED) {
        return Fail("cancelled while saving; " + dir + " was left as it was.");
    }
    return Fail(Reason(h, InDir(dir, kIfo) + " and " + kBup + " could not be written."));
}

// Scratch files that an interrupted save or recovery left beside the four
// files are leftovers once the disc is whole again.
void RemoveLeftovers(const std::string& dir) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kind;
        const std::string name = it->path().filename().string();
        if (IsTempFileName(name) && it->is_regular_file(kind) && !it->is_symlink(kind))
            std::filesystem::remove(it->path(), kind);
    }
}

// What was recovered into dir, and what the scans passed over.
void PrintRecovered(const std::string& dir, const Scanned& movie, const Scanned& still, size_t recordings,
                    size_t groups, size_t described) {
    std::string summary = "recovered ";
    if (movie.kept > 0) {
        const std::string dates = described == recordings ? std::string("the management file that survived")
                                  : described == 0        ? movie.dateSource
                                                          : movie.dateSource + "; " + std::to_string(described) +
                                                         " of them by the management file that survived";
        summary +=
            Count(long(recordings), "recording", "recordings") + " of " + kMovieVro + " (dated by " + dates + ")";
    }
    if (still.kept > 0) {
        summary += std::string(movie.kept > 0 ? " and " : "") + Count(long(groups), "still group", "still groups") +
                   " of " + kStillVro + " (dated by " + still.dateSource + ")";
    }
    std::printf("%s into %s\n", summary.c_str(), dir.c_str());
    for (const VR_FOUND_STRETCH& s : movie.found) {
        if (!HoldsRecording(s)) PrintNoRecording(s, nullptr, false);
    }
    for (const VR_FOUND_STRETCH& s : still.found) {
        if (!HoldsRecording(s)) PrintNoRecording(s, kStillVro, false);
    }
}

}  // namespace

int RunRecover(const Args& args) {
    std::vector<std::string> words, dryRun, realign, dirs, files;
    int status = kOk;
    if (!ParseOptions(args,
                      {{"--dry-run", nullptr, nullptr, &dryRun},
                       {"--realign", nullptr, nullptr, &realign},
                       {"-d", "--directory", "a directory", &dirs},
                       {"--files", nullptr, nullptr, &files}},
                      &words, &status))
        return status;
    if (words.size() != 1) return UsageError(args.command, "expects one directory (or a source with -d DIR).");
    if (!dirs.empty()) {
        if (!realign.empty()) return UsageError(args.command, "--realign goes with a directory recovered in place.");
        return RecoverDump(words[0], dirs.back(), !files.empty(), !dryRun.empty(), args.quiet);
    }
    if (!files.empty()) return UsageError(args.command, "--files goes with -d DIR.");
    return RecoverInPlace(words[0], !dryRun.empty(), !realign.empty(), args.quiet);
}

int RecoverInPlace(const std::string& dir, bool dry, bool realignAsked, bool quiet, const RecoveredNamer& namer) {
    int status = kOk;
    if (!IsDirectory(dir)) return Fail(dir + " is not a directory.");
    Scanned movie(kMovieVro, dir), still(kStillVro, dir);
    movie.bytes = IsRegularFile(movie.path) ? RegularFileSize(movie.path) : -1;
    still.bytes = IsRegularFile(still.path) ? RegularFileSize(still.path) : -1;
    // Still pictures alone are recovered too; a directory with neither
    // stream has nothing.
    if (movie.bytes < 0 && still.bytes <= 0) {
        return Fail(dir + " holds no " + kMovieVro + " and no still pictures, so there is nothing to recover.");
    }

    Disc disc;  // only its handle: recover binds it itself
    void* h = disc.Handle();
    if (!h) return Fail("out of memory.");
    if ((status = LockUnloadable(h, dir, dry)) != kOk) return status;
    if (!Scan(h, dir, false, &movie, &status) || !Scan(h, dir, true, &still, &status)) return status;
    if (!RealignMovie(h, dir, dry, realignAsked, &movie, &status)) return status;
    if ((status = FailNothingFound(movie, still)) != kOk) return status;
    if (dry) {
        PrintFound(movie, still);
        return kOk;
    }

    // From here on a second Ctrl-C waits until the new disc is saved or what
    // New made is removed again.
    const HoldInterrupts hold;
    // The files a failure removes again: those New creates.
    std::vector<std::string> made;
    for (const char* name : {kIfo, kBup, kMovieVro, kStillVro}) {
        if (!Exists(InDir(dir, name))) made.push_back(InDir(dir, name));
    }
    auto undo = [&made] {
        std::error_code ec;
        for (const std::string& f : made) std::filesystem::remove(f, ec);
        return kFailed;
    };
    if (!fnVR_MANGRNew(h, dir.c_str())) return Fail(Reason(h, "cannot start a new disc in " + dir + ".")), undo();
    Registrar registrar(h, namer, quiet);
    size_t recordings = 0, groups = 0;
    if (!registrar.Add(movie, false, "recording", "Recovered recording ", &recordings) ||
        !registrar.Add(still, true, "still group", "Recovered still pictures ", &groups)) {
        return Fail("cancelled; " + dir + " was left as it was."), undo();
    }
    if (recordings + groups == 0) {
        return Fail("none of the recordings or still pictures found in " + dir +
                    " could be recovered; nothing was written."),
               undo();
    }
    if (Interrupted()) return Fail("cancelled; " + dir + " was left as it was."), undo();
    if (SaveRecovered(h, dir) != kOk) return undo();
    RemoveLeftovers(dir);
    if (still.bytes > 0 && still.kept == 0) {
        std::fprintf(stderr, "vrmangr: warning: no still picture was found in %s; it was kept as it is\n",
                     still.path.c_str());
    }
    if (!quiet) PrintRecovered(dir, movie, still, recordings, groups, registrar.Described());
    return kOk;
}

}  // namespace tool
