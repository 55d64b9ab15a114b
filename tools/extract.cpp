// `vrmangr extract`: the MPEG bytes of a program, a playlist or an entry
// point's segment, or of every program (and playlist) at once, found through
// the query functions (the file and the byte range each cell or segment
// reports). A raw copy of whole VOBUs: nothing is re-multiplexed.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "check_disc.h"
#include "cli.h"
#include "info.h"
#include "output.h"

namespace tool {
namespace {

// What is extracted: its byte ranges, and what names its file under --all.
struct Part {
    std::string chain;  // "program" or "playlist"
    int number = 0;
    std::string what;  // "program 2", for messages
    std::string label, title;  // the two halves of its text, decoded (UTF-8)
    DWORD date[6] = {};  // year, month, day, hour, minute, second; 0 when unknown
    WORD zone = 0;  // the disc's TM_ZONE, whose wall-clock time the date is
    std::vector<ByteRange> ranges;

    Part() = default;
    Part(const char* kind, int n, const std::string& name) : chain(kind), number(n), what(name) {}
};

template <class Info>
void TakeInfo(void* h, const Info& info, Part* part) {
    part->zone = DiscZone(h);
    const DWORD date[6] = {info.dwYear, info.dwMonth, info.dwDay, info.dwHour, info.dwMinute, info.dwSecond};
    std::copy(date, date + 6, part->date);
}

Part ProgramPart(void* h, int program) {
    Part part{"program", program, "program " + std::to_string(program)};
    DVDPGINFO info{};
    if (!fnVR_GetOPGCPGInfo(h, program, &info, 1)) return part;
    TakeInfo(h, info, &part);
    part.label = ProgramText(h, program, false);
    part.title = ProgramText(h, program, true);
    for (DWORD c = 1; c <= info.dwCount; ++c) {
        seg s{};
        if (fnVR_GetOPGCCellInfo(h, program, static_cast<int>(c), &s, 0, 0)) part.ranges.push_back(RangeOf(h, s));
    }
    return part;
}

Part PlaylistPart(void* h, int playlist) {
    Part part{"playlist", playlist, "playlist " + std::to_string(playlist)};
    DVDPGCINFO info{};
    if (!fnVR_GetPLInfo(h, playlist, &info, 1)) return part;
    TakeInfo(h, info, &part);
    part.label = PlaylistText(h, playlist, false);
    part.title = PlaylistText(h, playlist, true);
    for (DWORD c = 1; c <= info.dwCount; ++c) {
        seg s{};
        if (fnVR_GetPLCellInfo(h, playlist, static_cast<int>(c), &s, 0, 0)) part.ranges.push_back(RangeOf(h, s));
    }
    return part;
}

// The segment of entry point ep of playlist pl (0: the original chain),
// followed on through the continuation cells it runs into.
Part EntryPart(void* h, int pl, int ep) {
    Part part{"entry", ep, "entry point " + std::to_string(ep) + (pl ? " of playlist " + std::to_string(pl) : "")};
    const DWORD cells = pl ? fnVR_GetPLCellNsofEntryPt(h, pl, ep) : fnVR_GetOPGCCellNsofEntryPt(h, ep);
    std::vector<seg> records(cells ? cells : 1);
    for (size_t i = 0; i + 1 < records.size(); ++i) records[i].pNext = &records[i + 1];
    const int found =
        pl ? fnVR_GetPLEntryPtInfo(h, pl, ep, &records[0], 1) : fnVR_GetOPGCEntryPtInfo(h, ep, &records[0], 1);
    if (!found) return part;
    for (const seg* s = &records[0]; s; s = s->dwHasNext ? s->pNext : nullptr) part.ranges.push_back(RangeOf(h, *s));
    return part;
}

// ---- File names of --all ----

// "YYYY/MM/DD" with blank-padded month and day, up to the first NUL.
bool IsDateLabel(const std::string& text) {
    const char* t = text.c_str();
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const auto padded = [&](const char* p) { return (p[0] == ' ' || digit(p[0])) && digit(p[1]); };
    return text.size() >= 10 && digit(t[0]) && digit(t[1]) && digit(t[2]) && digit(t[3]) && t[4] == '/' &&
           padded(t + 5) && t[7] == '/' && padded(t + 8) && t[10] == '\0';
}

std::string TwoDigits(DWORD n) { return (n < 10 ? "0" : "") + std::to_string(n); }

// The fields a template may name, for one part; n is its number padded to
// the width of the largest number.
bool Field(const std::string& name, const Part& part, size_t width, std::string* value) {
    const DWORD* d = part.date;
    if (name == "n") {
        *value = std::to_string(part.number);
        if (value->size() < width) value->insert(0, width - value->size(), '0');
    } else if (name == "chain") {
        *value = part.chain;
    } else if (name == "title" || name == "label") {
        // The texts as the library decodes them. A title that is only the
        // date label a new program gets ("2026/12/ 7") says nothing {date}
        // does not.
        const std::string& text = name == "title" ? part.title : part.label;
        *value = name == "title" && IsDateLabel(text) ? "" : FileNameText(text);
    } else if (name == "date") {
        *value = d[0] ? std::to_string(d[0]) + "-" + TwoDigits(d[1]) + "-" + TwoDigits(d[2]) : "";
    } else if (name == "time") {
        *value = d[0] ? TwoDigits(d[3]) + "-" + TwoDigits(d[4]) + "-" + TwoDigits(d[5]) : "";
    } else {
        return false;
    }
    return true;
}

bool IsSeparator(char c) { return c == '_' || c == '-' || c == ' ' || c == '.'; }

// Expands the template; a field that comes out empty takes the separator
// before it along ("{n}_{title}" with no title gives "01"). False, with a
// sentence, for an unknown field or an unclosed brace.
bool Expand(const std::string& pattern, const Part& part, size_t width, std::string* name, std::string* error) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '{') {
            out += pattern[i] == '/' ? '_' : pattern[i];
            continue;
        }
        const size_t close = pattern.find('}', i);
        if (close == std::string::npos) return *error = "the name template has a '{' without '}'.", false;
        std::string value;
        if (!Field(pattern.substr(i + 1, close - i - 1), part, width, &value)) {
            *error = "the name template names an unknown field {" + pattern.substr(i + 1, close - i - 1) +
                     "} (known: {n} {chain} {title} {label} {date} {time}).";
            return false;
        }
        if (value.empty() && !out.empty() && IsSeparator(out.back())) out.pop_back();
        out += value;
        i = close;
    }
    while (!out.empty() && IsSeparator(out.back())) out.pop_back();
    while (!out.empty() && out.front() == '.') out.erase(0, 1);
    if (out.empty()) out = part.chain + std::to_string(part.number);
    *name = out + ".mpg";
    return true;
}

constexpr const char* kDefaultTemplate = "{chain}{n}_{date}_{time}_{title}";

// ---- Writing ----

void ShowProgress(uint64_t done, uint64_t total) {
    // The bar takes 32-bit counts: whole kilobytes.
    Progress(nullptr, 0, static_cast<DWORD>(done >> 10), static_cast<DWORD>(total >> 10), 0);
}

// Writes part to output. kOk, kFailed or kInterrupted, the sentence printed.
// How a copy treats damage: every sector is checked as it is copied and
// damage is reported once the output is written whole (kReport); or the
// damaged VOBUs are found in a reading pass first, left out and named in
// warnings (kSkip); or nothing is checked (kCopy: data that is known to be
// no recording).
enum class Damage { kReport, kSkip, kCopy };

// Writes part to output. kOk, kFailed or kInterrupted, the sentence printed;
// *damaged tells that the output was written whole but holds damage.
int Write(const Part& part, const std::string& output, bool force, const DiscFiles& disc, Damage mode, bool* damaged) {
    *damaged = false;
    OutputFile out;
    if (!out.Open(output, force, disc)) return kFailed;
    std::vector<vrm::DamagedRun> damage;
    std::vector<ByteRange> ranges = part.ranges;
    const bool skipDamaged = mode == Damage::kSkip;
    if (skipDamaged) {
        ProgressLabel("checking " + part.what);
        const bool read = FindDamage(part.ranges, &damage);
        ProgressDone();
        if (!read) return kFailed;
        ranges = WithoutDamage(part.ranges, damage);
    }
    ProgressLabel("extracting " + part.what);
    const CopyResult result = CopyRanges(ranges, out, ShowProgress, mode == Damage::kReport ? &damage : nullptr);
    ProgressDone();
    if (result == CopyResult::kInterrupted) {
        Fail("cancelled; " + (out.Regular() ? out.Name() + " was not written."
                                            : "what was written to " + out.Name() + " is incomplete."));
        return kInterrupted;
    }
    if (result != CopyResult::kDone) return kFailed;
    time_t when = 0;
    if (!out.Commit(DiscInstant(part.date, part.zone, &when) ? &when : nullptr)) return kFailed;
    *damaged = ReportDamage(part.what, damage, skipDamaged) != kOk;
    return kOk;
}

// Names what the stream files lack of a part that was written as far as it
// is there; true when something was missing.
bool ReportMissing(const std::vector<std::string>& missing) {
    for (const std::string& clause : missing)
        std::fprintf(stderr, "vrmangr: %s; the output holds what is there.\n", clause.c_str());
    return !missing.empty();
}

// Writes each part into directory under its name. Everything is checked
// before the first byte is written: names on the disc, existing files
// (unless force), parts without video, ranges beyond their stream file.
int WriteParts(const std::vector<Part>& parts, const std::vector<std::string>& names, const std::string& dir,
               const std::string& directory, bool force, const DiscFiles& disc, bool quiet, Damage mode) {
    if (!IsDirectory(directory) && mkdir(directory.c_str(), 0777) != 0) {
        return Fail(directory + " is not a directory and cannot be made one.");
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string path = InDir(directory, names[i].c_str());
        const std::string refusal = disc.Refusal(path);
        if (!refusal.empty()) return Fail(refusal);
        if (!force && Exists(path)) return Fail(path + " exists; give --force to replace it. Nothing was extracted.");
        if (parts[i].ranges.empty())
            return Fail(parts[i].what + " of " + dir + " holds no video; nothing was extracted.");
    }
    // Each part as far as its files hold it (all of it on a healthy disc).
    std::vector<Part> held = parts;
    std::vector<std::vector<std::string>> missing(parts.size());
    for (size_t i = 0; i < parts.size(); ++i)
        if (!ClipToFiles(&held[i].ranges, held[i].what, &missing[i])) return kFailed;
    bool anyDamage = false;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string path = InDir(directory, names[i].c_str());
        bool damaged = false;
        const int status = Write(held[i], path, force, disc, mode, &damaged);
        if (status != kOk) {
            std::fprintf(stderr, "vrmangr: %s of %s %s written.\n", Count(i, "file", "files").c_str(),
                         std::to_string(parts.size()).c_str(), i == 1 ? "was" : "were");
            return status;
        }
        anyDamage = ReportMissing(missing[i]) || damaged || anyDamage;
        if (!quiet) std::printf("%s\n", path.c_str());
    }
    return anyDamage ? kFailed : kOk;
}

int ExtractAll(const Disc& d, const std::string& dir, bool playlists, const std::string& directory,
               const std::string& pattern, bool force, bool quiet, Damage mode) {
    void* h = d.Handle();
    const DiscFiles disc(dir);
    const std::string onDisc = disc.DirectoryRefusal(directory);
    if (!onDisc.empty()) return Fail(onDisc);
    std::vector<Part> parts;
    DVDPGCINFO chain{};
    fnVR_GetOPGCInfo(h, &chain, 2);
    for (DWORD p = 1; p <= chain.dwCount; ++p) parts.push_back(ProgramPart(h, static_cast<int>(p)));
    const int plCount = playlists ? fnVR_GetPLCount(h) : 0;
    for (int pl = 1; pl <= plCount; ++pl) parts.push_back(PlaylistPart(h, pl));
    if (parts.empty()) return Fail(dir + " holds no program" + (playlists ? " and no playlist." : "."));
    for (Part& part : parts) ReadFrom(&part.ranges, d.Source());

    const size_t width = std::max<size_t>(2, std::to_string(std::max<size_t>(chain.dwCount, plCount)).size());
    std::vector<std::string> names;
    for (const Part& part : parts) {
        std::string name, error;
        if (!Expand(pattern, part, width, &name, &error)) return UsageError("extract", error);
        // Names that a template makes alike get a number.
        const std::string stem = name.substr(0, name.size() - 4);
        for (int k = 2; std::find(names.begin(), names.end(), name) != names.end(); ++k)
            name = stem + "-" + std::to_string(k) + ".mpg";
        names.push_back(name);
    }
    return WriteParts(parts, names, dir, directory, force, disc, quiet, mode);
}

// --undescribed: each stretch behind the last recording the tables
// describe, in either stream file, into a file of its own in directory.
int ExtractUndescribed(void* h, const std::string& dir, const std::string& directory, bool force, bool quiet) {
    const DiscFiles disc(dir);
    const std::string onDisc = disc.DirectoryRefusal(directory);
    if (!onDisc.empty()) return Fail(onDisc);
    std::vector<Part> parts;
    std::vector<std::string> names;
    for (bool still : {false, true}) {
        std::vector<VR_FOUND_STRETCH> found;
        int status = kOk;
        if (!FindUndescribedOf(h, dir, still, &found, &status)) return status;
        const char* stream = still ? kStillVro : kMovieVro;
        for (const VR_FOUND_STRETCH& f : found) {
            if (f.dwKind == VR_FOUND_UNUSED) continue;  // zeros: nothing to write out
            const long long a = f.llFirstByte, b = f.llFirstByte + f.llBytes;
            Part part{"undescribed", static_cast<int>(parts.size() + 1), FoundSpan(f) + " of " + stream};
            part.ranges.push_back(ByteRange{InDir(dir, stream), a, b, {}, {}});
            parts.push_back(part);
            const char* kind = f.dwKind == VR_FOUND_RECORDING ? "recording"
                               : f.dwKind == VR_FOUND_STILLS  ? "stills"
                                                              : "damaged";
            names.push_back(std::string(still ? "still" : "movie") + "_" + std::to_string(a) + "-" + std::to_string(b) +
                            "_" + kind + ".mpg");
        }
    }
    if (parts.empty()) {
        if (!quiet)
            std::printf("%s: the stream files hold nothing behind the last recording the tables describe.\n",
                        dir.c_str());
        return kOk;
    }
    return WriteParts(parts, names, dir, directory, force, disc, quiet, Damage::kCopy);
}

// What the command line of `extract` asks for.
struct ExtractOptions {
    std::string disc, map, output;
    std::vector<std::string> dirs, templates;
    long program = 0, playlist = 0, entry = 0;
    int chosen = 0;  // how many of --program, --playlist and --entry
    bool hasOutput = false, all = false, playlists = false, undescribed = false, skipDamaged = false;
    bool force = false, quiet = false;
    Damage mode = Damage::kReport;
};

// Reads extract's options into o; false (with the usage status) when they
// are wrong.
bool ParseExtractOptions(const Args& args, ExtractOptions* o, int* status) {
    std::vector<std::string> words, numbers[3], outputs, all, withPlaylists, force, undescribed, skipDamaged, maps;
    const char* const names[3] = {"--program", "--playlist", "--entry"};
    const char* const kNumber = "a number from 1 to 65535";
    if (!ParseOptions(args,
                      {{names[0], nullptr, kNumber, &numbers[0]},
                       {names[1], nullptr, kNumber, &numbers[1]},
                       {names[2], nullptr, kNumber, &numbers[2]},
                       {"-o", "--output", "a file name (- for standard output)", &outputs},
                       {"--all", nullptr, nullptr, &all},
                       {"--playlists", nullptr, nullptr, &withPlaylists},
                       {"-d", "--directory", "a directory", &o->dirs},
                       {"--name", nullptr, "a name template", &o->templates},
                       {"--undescribed", nullptr, nullptr, &undescribed},
                       {"--skip-damaged", nullptr, nullptr, &skipDamaged},
                       {"--map", nullptr, "a ddrescue map file", &maps},
                       {"--force", nullptr, nullptr, &force}},
                      &words, status))
        return false;
    long parsed[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!numbers[i].empty() && !ParseNumber(numbers[i].back(), 1, 65535, &parsed[i])) {
            return *status = UsageError(args.command, std::string(names[i]) + " needs " + kNumber + "."), false;
        }
    }
    o->program = parsed[0], o->playlist = parsed[1], o->entry = parsed[2];
    o->chosen = (o->program ? 1 : 0) + (o->playlist ? 1 : 0) + (o->entry ? 1 : 0);
    o->mode = skipDamaged.empty() ? Damage::kReport : Damage::kSkip;
    if (words.size() != 1)
        return *status = UsageError(args.command, "expects one disc (a directory, an image or a drive)."), false;
    o->disc = words[0];
    o->map = maps.empty() ? "" : maps.back();
    o->hasOutput = !outputs.empty();
    o->output = o->hasOutput ? outputs.back() : "";
    o->all = !all.empty();
    o->playlists = !withPlaylists.empty();
    o->undescribed = !undescribed.empty();
    o->skipDamaged = !skipDamaged.empty();
    o->force = !force.empty();
    o->quiet = args.quiet;
    return true;
}

// extract --undescribed: what lies behind the last recording the tables
// describe, into -d DIR.
int RunUndescribed(const Args& args, const ExtractOptions& o) {
    if (o.chosen || o.all || o.hasOutput || !o.templates.empty() || o.playlists || o.skipDamaged || o.dirs.empty())
        return UsageError(args.command, "--undescribed takes -d DIR and nothing else but --force.");
    Disc disc;
    if (!disc.Open(o.disc, Access::Read, o.map)) return kFailed;
    if (disc.Source()) {
        return Fail("--undescribed reads a directory; 'vrmangr copy " + o.disc +
                    " DIR' makes one of the image, and 'vrmangr extract DIR --undescribed' then reads it.");
    }
    return ExtractUndescribed(disc.Handle(), o.disc, o.dirs.back(), o.force, o.quiet);
}

// extract --all: every program (and with --playlists every playlist) into
// -d DIR.
int RunAll(const Args& args, const ExtractOptions& o) {
    if (o.chosen) return UsageError(args.command, "--all takes no --program, --playlist or --entry.");
    if (o.hasOutput) return UsageError(args.command, "--all writes into a directory: give -d DIR, not -o.");
    Disc disc;
    if (!disc.Open(o.disc, Access::Read, o.map)) return kFailed;
    return ExtractAll(disc, o.disc, o.playlists, o.dirs.empty() ? "." : o.dirs.back(),
                      o.templates.empty() ? kDefaultTemplate : o.templates.back(), o.force, o.quiet, o.mode);
}

// The program, playlist or entry point the options name, as a part of the
// open disc; kOk, or the failure when it names nothing there.
int ChoosePart(void* h, const ExtractOptions& o, Part* part) {
    const std::string& dir = o.disc;
    const int plCount = fnVR_GetPLCount(h);
    if (o.playlist > plCount) {
        return Fail(dir + " has " + Count(plCount, "playlist", "playlists") + "; there is no playlist " +
                    std::to_string(o.playlist) + ".");
    }
    const int pl = static_cast<int>(o.playlist);
    DVDPGCINFO chain{};
    if (o.program) {
        fnVR_GetOPGCInfo(h, &chain, 2);
        if (static_cast<DWORD>(o.program) > chain.dwCount) {
            return Fail(dir + " has " + Count(chain.dwCount, "program", "programs") + "; there is no program " +
                        std::to_string(o.program) + ".");
        }
        *part = ProgramPart(h, static_cast<int>(o.program));
    } else if (o.entry) {
        const bool ok = pl ? fnVR_GetPLInfo(h, pl, &chain, 0) : fnVR_GetOPGCInfo(h, &chain, 0);
        if (!ok || static_cast<DWORD>(o.entry) > chain.dwCount) {
            return Fail((pl ? "playlist " + std::to_string(pl) : std::string("the original chain")) + " of " + dir +
                        " has " + Count(chain.dwCount, "entry point", "entry points") + ", not " +
                        std::to_string(o.entry) + ".");
        }
        *part = EntryPart(h, pl, static_cast<int>(o.entry));
    } else {
        *part = PlaylistPart(h, pl);
    }
    return kOk;
}

// extract with -o FILE: one program, playlist or entry point.
int ExtractOne(const Args& args, const ExtractOptions& o) {
    if (!o.dirs.empty() || !o.templates.empty() || o.playlists) {
        return UsageError(args.command, "-d, --name and --playlists go with --all.");
    }
    if (!o.hasOutput) return UsageError(args.command, "expects -o FILE (or - for standard output).");
    if (o.chosen == 0 || (o.program && o.chosen > 1)) {
        return UsageError(args.command, "give one of --program, --playlist, --entry (or --playlist with --entry).");
    }
    Disc disc;
    if (!disc.Open(o.disc, Access::Read, o.map)) return kFailed;
    Part part;
    const int chosen = ChoosePart(disc.Handle(), o, &part);
    if (chosen != kOk) return chosen;
    if (part.ranges.empty()) return Fail("nothing to extract: " + part.what + " of " + o.disc + " holds no video.");
    ReadFrom(&part.ranges, disc.Source());
    std::vector<std::string> missing;
    if (!ClipToFiles(&part.ranges, part.what, &missing)) return kFailed;
    bool damaged = false;
    const int written = Write(part, o.output, o.force, DiscFiles(o.disc), o.mode, &damaged);
    if (written == kOk && ReportMissing(missing)) damaged = true;
    return written == kOk && damaged ? kFailed : written;
}

}  // namespace

bool AllFileName(void* h, bool playlist, int n, size_t width, const std::string& pattern, const char* extension,
                 std::string* name, std::string* error) {
    const Part part = playlist ? PlaylistPart(h, n) : ProgramPart(h, n);
    if (!Expand(pattern, part, width, name, error)) return false;
    *name = name->substr(0, name->size() - 4) + extension;
    return true;
}

int RunExtract(const Args& args) {
    ExtractOptions o;
    int status = kOk;
    if (!ParseExtractOptions(args, &o, &status)) return status;
    if (o.undescribed) return RunUndescribed(args, o);
    if (o.all) return RunAll(args, o);
    return ExtractOne(args, o);
}

}  // namespace tool
