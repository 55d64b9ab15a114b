// program DIR delete|erase|divide|combine: editing the recordings as a
// recorder does, program by program. The edit is made in memory first; what
// it removes is printed, and a delete or an erase asks before it is saved
// (--yes answers for a script). Nothing is written unless it is saved.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "info.h"

namespace tool {
namespace {

struct Action {
    const char* name;
    size_t operands;  // after N
    bool removes;  // asks before it saves
};
const Action kActions[] = {
    {"delete", 0, true},
    {"erase", 2, true},
    {"divide", 1, false},
    {"combine", 0, false},
};

// "program 2 "Trip"" or "program 2".
std::string Named(const char* what, int n, const std::string& title) {
    std::string s = std::string(what) + " " + std::to_string(n);
    return title.empty() ? s : s + " \"" + title + "\"";
}

// "Playlist 1 "News"" or "Playlists 1 and 3" and the verb's form.
std::string Playlists(const std::vector<std::string>& names, const char* one, const char* many) {
    if (names.size() == 1) return "Playlist " + names[0] + " " + one;
    std::vector<std::string> numbers;
    for (const std::string& name : names) numbers.push_back(name.substr(0, name.find(' ')));
    return "Playlists " + Join(numbers) + " " + many;
}

// What the edit does to the recordings, the playlists and the stream.
void Report(const DiscInfo& before, const VR_PROGRAM_EDIT& edit) {
    std::vector<std::string> changed, deleted;
    for (const Playlist& pl : before.playlists) {
        const BYTE state = pl.number >= 1 && pl.number <= 100 ? edit.cPlaylists[pl.number - 1] : 0;
        const std::string title = pl.title.empty() ? pl.label : pl.title;
        const std::string name = std::to_string(pl.number) + (title.empty() ? "" : " \"" + title + "\"");
        if (state == 1) changed.push_back(name);
        if (state == 2) deleted.push_back(name);
    }
    std::vector<std::string> recordings;
    if (edit.dwRecordingsRemoved)
        recordings.push_back(Count(edit.dwRecordingsRemoved, "recording", "recordings") + " removed");
    if (edit.dwRecordingsShortened)
        recordings.push_back(Count(edit.dwRecordingsShortened, "recording", "recordings") + " shortened");
    if (!recordings.empty()) {
        std::printf("%s; %s of the stream no longer played.\n", Join(recordings).c_str(),
                    HumanBytes(uint64_t{edit.dwSectorsFreed} * kSectorBytes).c_str());
    }
    if (!changed.empty()) std::printf("%s what the edit removes.\n", Playlists(changed, "loses", "lose").c_str());
    if (!deleted.empty()) {
        std::printf("%s nothing else: deleted.\n", Playlists(deleted, "plays", "play").c_str());
    }
}

// Whether to go on with an edit that removes video: --yes, or a "y" typed
// on a terminal. A script without a terminal is refused (*status).
bool Confirmed(const Args& args, const std::string& action, bool yes, int* status) {
    if (yes) return true;
    if (isatty(STDIN_FILENO) != 1) {
        *status =
            UsageError(args.command, action + " removes video; without a terminal to ask on, give --yes to go on.");
        return false;
    }
    std::fprintf(stderr, "Go on? [y/N] ");
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer) || (answer != "y" && answer != "Y" && answer != "yes")) {
        *status = Fail("nothing was changed.");
        return false;
    }
    return true;
}

// Runs the edit on the handle; false with the reason printed.
bool Edit(void* h, const std::string& action, int pg, long long a, long long b, VR_PROGRAM_EDIT* edit) {
    if (action == "delete") return fnVR_DelProgram(h, pg, edit) != 0;
    if (action == "erase") return fnVR_EraseProgramPart(h, pg, a, b, edit) != 0;
    if (action == "divide") return fnVR_DevideProgram(h, pg, a, edit) != 0;
    return fnVR_CombineProgram(h, pg, edit) != 0;
}

// What will happen, in one line before the details.
void Announce(const std::string& action, const DiscInfo& before, int pg, const VR_PROGRAM_EDIT& edit, bool asking) {
    const char* is = asking ? "will be" : "is";
    const Program& p = before.programs[static_cast<size_t>(pg - 1)];
    const std::string name = Named("Program", pg, p.title.empty() ? p.label : p.title);
    if (action == "delete") {
        std::printf("%s (%s) %s deleted with its recordings.\n", name.c_str(), FormatTime(p.duration).c_str(), is);
    } else if (action == "erase") {
        std::printf("%s: %s to %s %s erased (%s; cut where the video can be cut).\n", name.c_str(),
                    FormatTime(edit.llFrom).c_str(), FormatTime(edit.llTo).c_str(), is,
                    FormatTime(edit.llTo - edit.llFrom).c_str());
    } else if (action == "divide") {
        std::printf("%s is divided at %s: programs %d (%s) and %d (%s).\n", name.c_str(),
                    FormatTime(edit.llFrom).c_str(), pg, FormatTime(edit.llFrom).c_str(), pg + 1,
                    FormatTime(p.duration - edit.llFrom).c_str());
    } else {
        const Program& next = before.programs[static_cast<size_t>(pg)];
        std::printf("%s and %s become program %d (%s).\n", name.c_str(),
                    Named("program", pg + 1, next.title.empty() ? next.label : next.title).c_str(), pg,
                    FormatTime(p.duration + next.duration).c_str());
    }
}

// What the save gave back to the file system of the stream space the edit
// left unplayed.
void ReportReleased(void* h, const std::string& dir) {
    VR_RELEASED_SPACE r{};
    if (!fnVR_GetReleasedSpace(h, &r)) return;
    const uint64_t released = static_cast<uint64_t>(r.llMovieBytes + r.llStillBytes);
    const uint64_t kept = static_cast<uint64_t>(r.llMovieUnsupported + r.llStillUnsupported);
    if (released) std::printf("%s given back to the file system.\n", HumanBytes(released).c_str());
    if (kept) {
        std::printf(
            "%s stay in the stream files, unplayed: the file system of %s cannot give back space inside a "
            "file.\n",
            HumanBytes(kept).c_str(), dir.c_str());
    }
    if (r.dwFailedRuns) {
        std::fprintf(stderr, "vrmangr: warning: %s could not be given back (%s); they stay unplayed.\n",
                     HumanBytes(static_cast<uint64_t>(r.llFailedBytes)).c_str(),
                     Count(r.dwFailedRuns, "run of sectors", "runs of sectors").c_str());
    }
}

}  // namespace

int RunProgram(const Args& args) {
    std::vector<std::string> yes;
    std::vector<std::string> w;
    int status = kOk;
    if (!ParseOptions(args, {{"--yes", "-y", nullptr, &yes}}, &w, &status)) return status;
    if (w.size() < 2) return UsageError(args.command, "expects a directory, an action and a program number.");
    const std::string& dir = w[0];
    const std::string& action = w[1];
    const Action* shape = nullptr;
    for (const Action& a : kActions) {
        if (action == a.name) shape = &a;
    }
    if (!shape)
        return UsageError(args.command, "unknown action '" + action + "'; use delete, erase, divide or combine.");
    if (w.size() != 3 + shape->operands) {
        return UsageError(args.command, action + (shape->operands == 0   ? " takes a program number N."
                                                  : shape->operands == 1 ? " takes N and a time AT."
                                                                         : " takes N, FROM and TO."));
    }
    long pg = 0;
    if (!NumberArg(args, w[2], "N", 1, &pg, &status)) return status;
    long long times[2] = {0, 0};
    for (size_t i = 0; i < shape->operands; ++i) {
        if (!ParsePlayTime(w[3 + i], &times[i])) {
            return UsageError(args.command, "'" + w[3 + i] + "' is no time: give H:MM:SS[.fff], M:SS or seconds.");
        }
    }
    if (action == "erase" && times[1] <= times[0]) return UsageError(args.command, "FROM must come before TO.");

    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    void* h = disc.Handle();
    const DiscInfo before = Describe(h);
    const int n = static_cast<int>(pg);
    VR_PROGRAM_EDIT edit{};
    if (!Edit(h, action, n, times[0], times[1], &edit)) return FailEdit(h, dir, "the edit was refused.");
    Announce(action, before, n, edit, shape->removes && yes.empty());
    Report(before, edit);
    if (shape->removes && !Confirmed(args, action, !yes.empty(), &status)) return status;
    if (!disc.Save()) return kFailed;
    ReportReleased(h, dir);
    return kOk;
}

}  // namespace tool
