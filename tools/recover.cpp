// vrmangr recover: rebuilds VR_MANGR.IFO and VR_MANGR.BUP from VR_MOVIE.VRO
// when both are missing or unreadable. The library scans the stream for the
// recordings it holds; each becomes a program of its own, registered where
// it lies, and the stream file is not written.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"

namespace tool {
namespace {

std::string Bytes(const VR_FOUND_STRETCH& s) {
    return "bytes " + std::to_string(s.llFirstByte) + "-" + std::to_string(s.llFirstByte + s.llBytes - 1);
}

std::string Length(DWORD frames, DWORD frameRate) {
    const unsigned long long ms = frameRate ? 1000000ull * frames / frameRate : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

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

}  // namespace

int RunRecover(const Args& args) {
    std::vector<std::string> words, dryRun;
    int status = kOk;
    if (!ParseOptions(args, {{"--dry-run", nullptr, nullptr, &dryRun}}, &words, &status)) return status;
    if (words.size() != 1) return UsageError(args.command, "expects one directory.");
    const std::string& dir = words[0];
    const bool dry = !dryRun.empty();
    if (!IsDirectory(dir)) return Fail(dir + " is not a directory.");
    const std::string movie = InDir(dir, kMovieVro);
    if (!IsRegularFile(movie)) return Fail(dir + " holds no " + kMovieVro + ", so there is nothing to recover.");

    Disc disc;  // only its handle: recover binds it itself
    void* h = disc.Handle();
    if (!h) return Fail("out of memory.");
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

    ProgressLabel("scanning " + std::string(kMovieVro));
    const int scanned = fnVR_ScanStreamFile(h, movie.c_str(), 0, Progress);
    ProgressDone();
    if (!scanned) {
        if (Interrupted() || ReasonCode(h) == VRO_ERR_CANCELLED) {
            return Fail("cancelled while scanning " + movie + "; " + dir + " was left as it was.");
        }
        return Fail(Reason(h, movie + " could not be scanned."));
    }
    std::vector<VR_FOUND_STRETCH> found(fnVR_GetFoundCount(h));
    size_t recordings = 0;
    for (DWORD i = 0; i < found.size(); ++i) {
        fnVR_GetFound(h, i, &found[i]);
        if (found[i].dwKind == VR_FOUND_RECORDING) ++recordings;
    }
    if (recordings == 0) return Fail("no recording was found in " + movie + "; nothing was written.");

    // The stream carries no recording time that the scan reads, so every
    // recording is dated by the stream file's modification time.
    RecordingDate mtime;
    mtime.Parse("mtime");
    SYSTEMTIME when{};
    const bool dated = mtime.For(movie, &when);
    const std::string dateSource =
        dated ? "modification time of " + std::string(kMovieVro) + ", " + Utc(when) : "none (the time of the recovery)";

    if (dry) {
        size_t n = 0;
        for (const VR_FOUND_STRETCH& s : found) {
            if (s.dwKind == VR_FOUND_RECORDING) {
                std::printf("recording %zu: %s (%u sectors), %s, %s, %s, end: %s; date: %s\n", ++n, Bytes(s).c_str(),
                            s.dwSectors, Length(s.dwFrames, s.dwFrameRate).c_str(), Video(s).c_str(), Audio(s).c_str(),
                            s.szText, dateSource.c_str());
            } else {
                std::printf("damaged: %s (%lld bytes), skipped: %s\n", Bytes(s).c_str(),
                            static_cast<long long>(s.llBytes), s.szText);
            }
        }
        return kOk;
    }

    // The files a failure removes again: those New creates.
    std::vector<std::string> made;
    for (const char* name : {kIfo, kBup, kStillVro}) {
        if (!Exists(InDir(dir, name))) made.push_back(InDir(dir, name));
    }
    auto undo = [&made] {
        std::error_code ec;
        for (const std::string& f : made) std::filesystem::remove(f, ec);
        return kFailed;
    };
    if (!fnVR_MANGRNew(h, dir.c_str())) return Fail(Reason(h, "cannot start a new disc in " + dir + ".")), undo();
    size_t added = 0, n = 0;
    for (const VR_FOUND_STRETCH& s : found) {
        if (s.dwKind != VR_FOUND_RECORDING) continue;
        ++n;
        fnVR_StartNewProgram(h);
        if (dated) fnVR_SetRecordingTime(h, &when);
        ProgressLabel("analysing recording " + std::to_string(n));
        const int ok = fnVR_AddRecordedRange(h, s.dwFirstSector, s.dwSectors, Progress);
        ProgressDone();
        if (Interrupted()) return Fail("cancelled; " + dir + " was left as it was."), undo();
        if (!ok) {
            std::fprintf(stderr, "vrmangr: warning: recording %zu (%s) is not recovered: %s\n", n, Bytes(s).c_str(),
                         Reason(h, "the disc cannot take it.").c_str());
            continue;
        }
        ++added;
        // The mark of a recovered recording: its title, which info shows.
        const std::string title = "Recovered recording " + std::to_string(n);
        fnVR_SetProgramTitle(h, static_cast<int>(added), title.c_str());
    }
    if (added == 0)
        return Fail("none of the recordings found in " + movie + " could be recovered; nothing was written."), undo();
    if (Interrupted()) return Fail("cancelled; " + dir + " was left as it was."), undo();
    ProgressLabel("saving " + dir);
    const int saved = fnVR_MANGRSave(h, Progress);
    ProgressDone();
    if (!saved) {
        if (Interrupted() || ReasonCode(h) == VRO_ERR_CANCELLED) {
            return Fail("cancelled while saving; " + dir + " was left as it was."), undo();
        }
        return Fail(Reason(h, InDir(dir, kIfo) + " and " + kBup + " could not be written.")), undo();
    }
    if (!args.quiet) {
        std::printf("recovered %s of %s into %s (dated by %s)\n", Count(long(added), "recording", "recordings").c_str(),
                    kMovieVro, dir.c_str(), dateSource.c_str());
        for (const VR_FOUND_STRETCH& s : found) {
            if (s.dwKind == VR_FOUND_DAMAGED) {
                std::printf("damaged: %s (%lld bytes), skipped: %s\n", Bytes(s).c_str(),
                            static_cast<long long>(s.llBytes), s.szText);
            }
        }
        const long long still = RegularFileSize(InDir(dir, kStillVro));
        if (still > 0) {
            std::printf("%s (%lld bytes) was kept as it is; its still pictures are not recovered\n", kStillVro, still);
        }
    }
    return kOk;
}

}  // namespace tool
