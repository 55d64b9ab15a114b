// `vrmangr check` and `vrmangr repair` of a directory: the library checks
// and repairs (fnVR_CheckDisc, fnVR_RepairDisc); this prints what it found
// or did. check prints the damage (exit 1) before the warnings (exit 0),
// and what a repair would do; with --deep the library also reads every
// sector of every recording (VR_CHECK_DEEP) and names the damaged runs. A
// disc image or a drive is checked by check_image.cpp.
#include <cstdio>
#include <string>
#include <vector>

#include "check_disc.h"
#include "cli.h"

namespace tool {
namespace {

const char* CopyName(DWORD copy) { return copy == 0 ? kIfo : kBup; }

bool ParseDir(const Args& args, const std::vector<std::string>& words, std::string* dir, int* status) {
    if (words.size() != 1) {
        *status = UsageError(args.command, "expects one directory.");
        return false;
    }
    *dir = words[0];
    if (!IsDirectory(*dir)) {
        *status = Fail(*dir + " is not a directory.");
        return false;
    }
    return true;
}

// A handle of its own for one check or repair.
class Handle {
public:
    Handle() : m_h(fnVR_MANGRBegin()) {}
    ~Handle() { fnVR_MANGREnd(m_h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void* Get() const { return m_h; }

private:
    void* m_h;
};

// The check's findings by severity: damage and warnings as sentences, the
// notes as they are.
struct Printed {
    std::vector<std::string> problems, warnings;
    std::vector<VR_CHECK_FINDING> notes;
};

Printed Sort(void* h) {
    Printed p;
    for (DWORD i = 0; i < fnVR_GetCheckFindingCount(h); ++i) {
        VR_CHECK_FINDING f{};
        if (!fnVR_GetCheckFinding(h, i, &f)) continue;
        if (f.dwSeverity == VR_CHECK_DAMAGE) p.problems.push_back(f.szText);
        if (f.dwSeverity == VR_CHECK_WARNING) p.warnings.push_back(f.szText);
        if (f.dwSeverity == VR_CHECK_NOTE) p.notes.push_back(f);
    }
    return p;
}

// What a repair would do, after the findings.
void PrintPlan(const std::string& dir, const VR_CHECK_SUMMARY& s, const Printed& p) {
    if (s.dwRestoreFrom < 2) {
        std::printf("'vrmangr repair %s' restores %s from %s (%s).\n", dir.c_str(), CopyName(1 - s.dwRestoreFrom),
                    CopyName(s.dwRestoreFrom), s.szRestoreWhy);
    }
    for (const VR_CHECK_FINDING& f : p.notes) {
        if (f.dwKind == VR_CHECK_DIFFERENCE) std::printf("  %s\n", f.szText);
        if (f.dwKind == VR_CHECK_REFUSAL) std::printf("%s\n", f.szText);
    }
    if (s.dwLeftovers) std::printf("'vrmangr repair %s' removes the leftovers.\n", dir.c_str());
}

int CheckDirectory(const std::string& dir, bool deep) {
    Handle h;
    if (!h.Get()) return Fail("out of memory.");
    if (deep) ProgressLabel("reading the streams of " + dir);
    const int ran = fnVR_CheckDisc(h.Get(), dir.c_str(), deep ? VR_CHECK_EVERY_UNIT | VR_CHECK_DEEP : 0, Progress);
    ProgressDone();
    if (!ran) return Fail(Reason(h.Get(), dir + " could not be checked."));
    VR_CHECK_SUMMARY summary{};
    fnVR_GetCheckSummary(h.Get(), &summary);
    const Printed p = Sort(h.Get());

    if (p.problems.empty() && p.warnings.empty()) {
        const uint64_t freeBytes = static_cast<uint64_t>(summary.llFreeBytes);
        const std::string free = freeBytes ? ", " + HumanBytes(freeBytes) + " free between recordings" : "";
        std::printf("%s: no problems found (%s and %s valid and identical, %s, stream files complete%s%s).\n",
                    dir.c_str(), kIfo, kBup, Count(summary.dwCells, "cell", "cells").c_str(), free.c_str(),
                    deep ? ", every sector of every recording read where its tables place it" : "");
        return kOk;
    }
    if (p.problems.empty()) {
        std::printf("%s: %s:\n", dir.c_str(),
                    Count(static_cast<long>(p.warnings.size()), "warning", "warnings").c_str());
    } else {
        std::printf("%s: %s found:\n", dir.c_str(),
                    Count(static_cast<long>(p.problems.size()), "problem", "problems").c_str());
    }
    for (const std::string& problem : p.problems) std::printf("  - %s\n", problem.c_str());
    for (const std::string& warning : p.warnings) std::printf("  - warning: %s\n", warning.c_str());
    PrintPlan(dir, summary, p);
    if (p.problems.empty()) return kOk;
    return Fail(dir + " failed the check.");
}

}  // namespace

int RunCheck(const Args& args) {
    std::vector<std::string> words, deepOption, maps;
    std::string dir;
    int status = kOk;
    if (!ParseOptions(args,
                      {{"--deep", nullptr, nullptr, &deepOption}, {"--map", nullptr, "a ddrescue map file", &maps}},
                      &words, &status))
        return status;
    const bool deep = !deepOption.empty();
    // A disc image or a drive (or an image with its map) is read through
    // its UDF file system.
    if (words.size() == 1 && (!maps.empty() || (Exists(words[0]) && !IsDirectory(words[0]))))
        return CheckImage(words[0], maps.empty() ? "" : maps.back(), deep);
    if (!ParseDir(args, words, &dir, &status)) return status;
    return CheckDirectory(dir, deep);
}

int RunRepair(const Args& args) {
    std::vector<std::string> words, fromOption, discardOption, dryOption;
    std::string dir;
    int status = kOk;
    if (!ParseOptions(args,
                      {{"--from", nullptr, "ifo or bup", &fromOption},
                       {"--discard-undescribed", nullptr, nullptr, &discardOption},
                       {"--dry-run", nullptr, nullptr, &dryOption}},
                      &words, &status))
        return status;
    const std::string from = fromOption.empty() ? "" : fromOption.back();
    if (!fromOption.empty() && from != "ifo" && from != "bup") {
        return UsageError(args.command, "--from takes ifo or bup, not '" + from + "'.");
    }
    if (!ParseDir(args, words, &dir, &status)) return status;
    const DWORD flags = (dryOption.empty() ? 0 : VR_REPAIR_DRY_RUN) |
                        (discardOption.empty() ? 0 : VR_REPAIR_DISCARD_UNDESCRIBED) |
                        (from == "ifo"   ? VR_REPAIR_FROM_IFO
                         : from == "bup" ? VR_REPAIR_FROM_BUP
                                         : 0);
    Handle h;
    if (!h.Get()) return Fail("out of memory.");
    const int repaired = fnVR_RepairDisc(h.Get(), dir.c_str(), flags, Progress);
    // (Every call clears the status: the reason is read first.)
    const std::string why = repaired ? "" : Reason(h.Get(), dir + " could not be repaired.");
    for (DWORD i = 0; i < fnVR_GetRepairActionCount(h.Get()); ++i) {
        VR_REPAIR_ACTION a{};
        if (fnVR_GetRepairAction(h.Get(), i, &a)) std::printf("%s: %s\n", dir.c_str(), a.szText);
    }
    return repaired ? kOk : Fail(why);
}

}  // namespace tool
