// `vrmangr extract`: the MPEG bytes of a program, a playlist or an entry
// point's segment, found through the query functions (the file and the byte
// range each cell or segment reports).
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"

namespace tool {
namespace {

struct Range {
    std::string file;
    long long start;
    long long end;
};

Range RangeOf(const seg& s) { return Range{s.szFileName, s.llStartPos, s.llEndPos}; }

// The ranges of a segment and of the continuation records chained behind it.
void AddSegment(const seg& first, std::vector<Range>& ranges) {
    for (const seg* s = &first; s; s = s->dwHasNext ? s->pNext : nullptr) ranges.push_back(RangeOf(*s));
}

bool CopyRanges(const std::vector<Range>& ranges, const std::string& output) {
    const std::string temp = output + ".part";
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return Fail(output + " cannot be created."), false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (const Range& r : ranges) {
        if (r.file.empty() || r.start < 0 || r.end < r.start) {
            ok = Fail("the disc reports no valid byte range for a cell (" + r.file + "); nothing was written.");
            break;
        }
        std::FILE* in = std::fopen(r.file.c_str(), "rb");
        if (!in) {
            ok = Fail(r.file + " cannot be opened.");
            break;
        }
        long long left = r.end - r.start;
        if (fseeko(in, static_cast<off_t>(r.start), SEEK_SET) != 0) left = -1;
        while (ok && left > 0) {
            const size_t want =
                left < static_cast<long long>(buffer.size()) ? static_cast<size_t>(left) : buffer.size();
            const size_t got = std::fread(buffer.data(), 1, want, in);
            if (got != want) {
                ok = Fail(r.file + " ends before byte " + std::to_string(r.end) + " of the range to extract.");
            } else if (std::fwrite(buffer.data(), 1, got, out) != got) {
                ok = Fail(output + " could not be written.");
            }
            left -= static_cast<long long>(got);
        }
        if (left < 0) ok = Fail(r.file + " cannot be read from byte " + std::to_string(r.start) + ".");
        std::fclose(in);
        if (!ok) break;
    }
    if (std::fclose(out) != 0 && ok) ok = Fail(output + " could not be written.");
    if (ok && std::rename(temp.c_str(), output.c_str()) != 0) ok = Fail(output + " could not be written.");
    if (!ok) std::remove(temp.c_str());
    return ok;
}

}  // namespace

int RunExtract(const Args& args) {
    std::vector<std::string> words, numbers[3], outputs;
    const char* const names[3] = {"--program", "--playlist", "--entry"};
    const char* const kNumber = "a number from 1 to 65535";
    int status = kOk;
    if (!ParseOptions(args,
                      {{names[0], nullptr, kNumber, &numbers[0]},
                       {names[1], nullptr, kNumber, &numbers[1]},
                       {names[2], nullptr, kNumber, &numbers[2]},
                       {"-o", "--output", "a file name", &outputs}},
                      &words, &status))
        return status;
    long parsed[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        if (!numbers[i].empty() && !ParseNumber(numbers[i].back(), 1, 65535, &parsed[i])) {
            return UsageError(args.command, std::string(names[i]) + " needs " + kNumber + ".");
        }
    }
    const long program = parsed[0], playlist = parsed[1], entry = parsed[2];
    if (words.size() != 1) return UsageError(args.command, "expects one directory.");
    const std::string& dir = words[0];
    if (outputs.empty()) return UsageError(args.command, "expects -o FILE.");
    const std::string& output = outputs.back();
    const int chosen = (program ? 1 : 0) + (playlist ? 1 : 0) + (entry ? 1 : 0);
    if (chosen == 0 || (program && chosen > 1)) {
        return UsageError(args.command, "give one of --program, --playlist, --entry (or --playlist with --entry).");
    }

    Disc disc;
    if (!disc.Open(dir, Access::Read)) return kFailed;
    void* h = disc.Handle();
    std::vector<Range> ranges;
    const int plCount = fnVR_GetPLCount(h);
    if (playlist > plCount) {
        return Fail(dir + " has " + Count(plCount, "playlist", "playlists") + "; there is no playlist " +
                    std::to_string(playlist) + ".");
    }
    const int pl = static_cast<int>(playlist);
    const int ep = static_cast<int>(entry);
    if (program) {
        DVDPGCINFO chain{};
        fnVR_GetOPGCInfo(h, &chain, 2);
        if (static_cast<DWORD>(program) > chain.dwCount) {
            return Fail(dir + " has " + Count(chain.dwCount, "program", "programs") + "; there is no program " +
                        std::to_string(program) + ".");
        }
        DVDPGINFO info{};
        fnVR_GetOPGCPGInfo(h, static_cast<int>(program), &info, 1);
        for (DWORD c = 1; c <= info.dwCount; ++c) {
            seg s{};
            if (fnVR_GetOPGCCellInfo(h, static_cast<int>(program), static_cast<int>(c), &s, 0, 0))
                ranges.push_back(RangeOf(s));
        }
    } else if (entry) {
        DVDPGCINFO chain{};
        const bool ok = pl ? fnVR_GetPLInfo(h, pl, &chain, 0) : fnVR_GetOPGCInfo(h, &chain, 0);
        if (!ok || static_cast<DWORD>(entry) > chain.dwCount) {
            return Fail((pl ? "playlist " + std::to_string(pl) : std::string("the original chain")) + " of " + dir +
                        " has " + Count(chain.dwCount, "entry point", "entry points") + ", not " +
                        std::to_string(entry) + ".");
        }
        // One record per cell the segment spans, chained for the query to fill.
        const DWORD cells = pl ? fnVR_GetPLCellNsofEntryPt(h, pl, ep) : fnVR_GetOPGCCellNsofEntryPt(h, ep);
        std::vector<seg> records(cells ? cells : 1);
        for (size_t i = 0; i + 1 < records.size(); ++i) records[i].pNext = &records[i + 1];
        const int found =
            pl ? fnVR_GetPLEntryPtInfo(h, pl, ep, &records[0], 1) : fnVR_GetOPGCEntryPtInfo(h, ep, &records[0], 1);
        if (found) AddSegment(records[0], ranges);
    } else {
        DVDPGCINFO info{};
        fnVR_GetPLInfo(h, pl, &info, 1);
        for (DWORD c = 1; c <= info.dwCount; ++c) {
            seg s{};
            if (fnVR_GetPLCellInfo(h, pl, static_cast<int>(c), &s, 0, 0)) ranges.push_back(RangeOf(s));
        }
    }
    if (ranges.empty()) return Fail("nothing to extract: the chosen part of " + dir + " holds no video.");
    return CopyRanges(ranges, output) ? kOk : kFailed;
}

}  // namespace tool
