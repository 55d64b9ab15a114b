// `vrmangr title`: sets the title of a program of the original chain or of a
// playlist, written in the disc's character set as recorders write it.
#include <string>
#include <vector>

#include "cli.h"

namespace tool {

int RunTitle(const Args& args) {
    std::vector<std::string> words, programs, playlists;
    const char* const kNumber = "a number from 1 to 255";
    int status = kOk;
    if (!ParseOptions(args, {{"--program", nullptr, kNumber, &programs}, {"--playlist", nullptr, kNumber, &playlists}},
                      &words, &status))
        return status;
    if (programs.size() + playlists.size() != 1) return UsageError(args.command, "takes one --program or --playlist.");
    const bool program = !programs.empty();
    long n = 0;
    if (!ParseNumber(program ? programs[0] : playlists[0], 1, 255, &n)) {
        return UsageError(args.command, std::string(program ? "--program" : "--playlist") + " needs " + kNumber + ".");
    }
    if (words.size() != 2) return UsageError(args.command, "expects a directory and a title.");
    const std::string& dir = words[0];
    const std::string what = (program ? "program " : "playlist ") + std::to_string(n);

    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    void* h = disc.Handle();
    DVDPGCINFO chain{};
    const long count =
        program ? (fnVR_GetOPGCInfo(h, &chain, 2) ? static_cast<long>(chain.dwCount) : 0) : fnVR_GetPLCount(h);
    if (n > count) {
        return Fail(dir + " has " + Count(count, program ? "program" : "playlist", program ? "programs" : "playlists") +
                    "; there is no " + what + ".");
    }
    const int ok = program ? fnVR_SetProgramTitle(h, static_cast<int>(n), words[1].c_str())
                           : fnVR_SetPLTitle(h, static_cast<int>(n), words[1].c_str());
    if (!ok) return Fail(dir + ", " + what + ": " + Reason(h, "the title was refused."));
    return disc.Save() ? kOk : kFailed;
}

}  // namespace tool
