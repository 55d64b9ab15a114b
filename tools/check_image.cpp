// `vrmangr check` of a disc image or a drive: the management files as Open
// judged them, and every block of the disc's four files read, each range
// the medium cannot give named with the programs it hits and where in them
// (with --deep, every recording's sectors checked for damage as well).
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "check_disc.h"
#include "cli.h"
#include "disc_source.h"
#include "info.h"
#include "output.h"

namespace tool {
namespace {

// Reads every block of the named file; the ranges it cannot give join *bad.
// False on Ctrl-C.
bool ReadWhole(DiscSource& source, const char* name, uint64_t* done, uint64_t total, std::vector<Unreadable>* bad) {
    const int64_t size = source.Size(name);
    std::vector<char> buffer(1 << 20);
    for (uint64_t at = 0; size > 0 && at < static_cast<uint64_t>(size);) {
        if (Interrupted()) return false;
        const int64_t got = source.ReadAt(name, at, buffer.data(), buffer.size(), bad);
        if (got <= 0) break;
        at += static_cast<uint64_t>(got);
        *done += static_cast<uint64_t>(got);
        Progress(nullptr, 0, static_cast<DWORD>(*done >> 10), static_cast<DWORD>(total >> 10), 0);
    }
    return true;
}

bool Meets(const Cell& c, const Unreadable& u) {
    return BaseName(c.s.szFileName) == u.file &&
           static_cast<uint64_t>(c.s.llStartPos)<u.end&& static_cast<uint64_t>(c.s.llEndPos)> u.start;
}

std::string Range(const Unreadable& u) {
    return "bytes " + std::to_string(u.start) + ".." + std::to_string(u.end) + " of " + u.file;
}

// What Open found of the two management files.
void AddOpenProblems(void* h, std::vector<std::string>* problems) {
    VR_OPEN_STATE state{};
    fnVR_GetOpenState(h, &state);
    for (DWORD i = 0; i < state.dwFindings; ++i) {
        VR_OPEN_FINDING f{};
        if (fnVR_GetOpenFinding(h, i, &f))
            problems->push_back(std::string(f.dwCopy == 0 ? kIfo : kBup) +
                                (f.dwKind == VR_FINDING_TABLES ? ": " : " ") + f.szText);
    }
    if (state.dwOtherCopy == VR_COPY_MISSING)
        problems->push_back(std::string(state.dwOpenedCopy == 0 ? kBup : kIfo) + " is missing.");
    if (state.dwOtherCopy == VR_COPY_DIFFERS)
        problems->push_back(std::string(kIfo) + " and " + kBup + " describe different states of the disc.");
}

// Reads every block of the disc's files, gathering what cannot be read;
// false when cancelled.
bool ReadAllFiles(DiscSource& source, const std::string& path, std::vector<Unreadable>* bad) {
    uint64_t total = 0, done = 0;
    for (const char* name : kDiscFiles) total += static_cast<uint64_t>(std::max<int64_t>(0, source.Size(name)));
    ProgressLabel("reading " + path);
    for (const char* name : kDiscFiles) {
        if (!ReadWhole(source, name, &done, total, bad)) {
            ProgressDone();
            return false;
        }
    }
    ProgressDone();
    return true;
}

// The unreadable range u as it hits program p (whose cells it meets): where
// in the program, by the damage check of those cells read again. False
// when the check cannot run.
bool AddHitProgram(void* h, DiscSource& source, const Program& p, const Unreadable& u,
                   std::vector<std::string>* problems) {
    std::vector<ByteRange> ranges;
    for (const Cell& c : p.cells)
        if (Meets(c, u)) ranges.push_back(RangeOf(h, c.s));
    ReadFrom(&ranges, &source);
    std::vector<vrm::DamagedRun> runs;
    if (!FindDamage(ranges, &runs)) return false;
    bool named = false;
    for (const vrm::DamagedRun& run : runs) {
        if (!run.unreadable || run.start >= u.end || run.end <= u.start) continue;
        problems->push_back("program " + std::to_string(p.number) + ": " + vrm::DamageText(run) + ".");
        named = true;
    }
    if (!named) problems->push_back(Range(u) + " could not be read (program " + std::to_string(p.number) + ").");
    return true;
}

// Each unreadable range of a stream file, with the recordings it hits and
// where in them. False when a damage check cannot run.
bool AddUnreadable(void* h, DiscSource& source, const DiscInfo& d, const std::vector<Unreadable>& bad,
                   std::vector<std::string>* problems) {
    for (const Unreadable& u : bad) {
        const bool management = u.file == kIfo || u.file == kBup;
        bool hit = false;
        for (const Program& p : d.programs) {
            if (!std::any_of(p.cells.begin(), p.cells.end(), [&](const Cell& c) { return Meets(c, u); })) continue;
            hit = true;
            if (!AddHitProgram(h, source, p, u, problems)) return false;
        }
        if (!hit)
            problems->push_back(Range(u) + " could not be read (" +
                                (management ? std::string("the copy is damaged") : std::string("no recording")) + ").");
    }
    return true;
}

// --deep: every sector of every program checked. kOk, or the failure.
int AddDeepDamage(void* h, DiscSource& source, const DiscInfo& d, const std::string& path,
                  std::vector<std::string>* problems) {
    for (const Program& p : d.programs) {
        std::vector<ByteRange> ranges;
        for (const Cell& c : p.cells) ranges.push_back(RangeOf(h, c.s));
        ReadFrom(&ranges, &source);
        std::vector<vrm::DamagedRun> runs;
        ProgressLabel("checking program " + std::to_string(p.number));
        const bool read = FindDamage(ranges, &runs);
        ProgressDone();
        if (!read) return kFailed;
        if (Interrupted()) return Fail("cancelled while reading " + path + "; nothing was changed.");
        for (const vrm::DamagedRun& run : runs)
            if (!run.unreadable)
                problems->push_back("program " + std::to_string(p.number) + ": " + vrm::DamageText(run) + ".");
    }
    return kOk;
}

}  // namespace

int CheckImage(const std::string& path, const std::string& map, bool deep) {
    Disc disc;
    if (!disc.Open(path, Access::Read, map)) return kFailed;
    DiscSource& source = *disc.Source();
    void* h = disc.Handle();
    std::vector<std::string> problems;
    AddOpenProblems(h, &problems);
    std::vector<Unreadable> bad;
    if (!ReadAllFiles(source, path, &bad)) return Fail("cancelled while reading " + path + "; nothing was changed.");
    const DiscInfo d = Describe(disc);
    if (!AddUnreadable(h, source, d, bad, &problems)) return kFailed;
    if (deep) {
        const int status = AddDeepDamage(h, source, d, path, &problems);
        if (status != kOk) return status;
    }
    if (problems.empty()) {
        long cells = 0;
        for (const Program& p : d.programs) cells += static_cast<long>(p.cells.size());
        std::printf(
            "%s: no problems found (%s and %s valid and identical, %s, every block of the disc's files read%s).\n",
            path.c_str(), kIfo, kBup, Count(cells, "cell", "cells").c_str(),
            deep ? ", every sector of every recording checked" : "");
        return kOk;
    }
    std::printf("%s: %s found:\n", path.c_str(),
                Count(static_cast<long>(problems.size()), "problem", "problems").c_str());
    for (const std::string& p : problems) std::printf("  - %s\n", p.c_str());
    return Fail(path + " failed the check.");
}

}  // namespace tool
