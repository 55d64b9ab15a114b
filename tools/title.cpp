// `vrmangr title`: sets the title of a program of the original chain or of a
// playlist, written in the disc's character set as recorders write it.
// `vrmangr charset`: converts the disc's texts to another character set.
#include <algorithm>
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
    if (!ok) {
        std::string why = Reason(h, "the title was refused.");
        // Most accented letters are missing from Shift-JIS, the set of the
        // discs vrmangr makes: say how to change it.
        VR_CHARACTER_SET set{};
        const std::string& text = words[1];
        const bool nonAscii = std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
        if (nonAscii && fnVR_GetCharacterSet(h, &set) && set.cCode != 0x11 && !why.empty() && why.back() == '.') {
            why.back() = ';';
            why += " 'vrmangr charset " + dir + " latin1' converts the disc's texts to ISO 8859-1.";
        }
        return Fail(dir + ", " + what + ": " + why);
    }
    return disc.Save() ? kOk : kFailed;
}

int RunCharset(const Args& args) {
    std::vector<std::string> words;
    int status = kOk;
    if (!ParseOptions(args, {}, &words, &status)) return status;
    if (words.size() != 2) return UsageError(args.command, "expects a directory and ascii, latin1 or sjis.");
    const std::string& dir = words[0];
    const std::string& name = words[1];
    BYTE code = 0;
    if (name == "ascii") {
        code = 0x00;
    } else if (name == "latin1" || name == "iso-8859-1") {
        code = 0x11;
    } else if (name == "sjis" || name == "shift-jis") {
        code = 0x12;
    } else {
        return UsageError(args.command, "knows ascii, latin1 and sjis, not '" + name + "'.");
    }
    Disc disc;
    if (!disc.Open(dir, Access::Write)) return kFailed;
    void* h = disc.Handle();
    if (!fnVR_SetCharacterSet(h, code)) return Fail(dir + ": " + Reason(h, "the character set was not changed."));
    return disc.Save() ? kOk : kFailed;
}

}  // namespace tool
