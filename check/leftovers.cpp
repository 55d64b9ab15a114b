// The check's warnings about leftovers of interrupted saves (data behind the
// last recording, temporary files) and about dates that name no moment.
#include <cstdio>

#include "check/check.h"
#include "check/disc_state.h"
#include "check/plan.h"

namespace vrm {
namespace {

void Warn(CheckReport& report, FindingKind kind, const std::string& file, uint64_t start, uint64_t end,
          std::string text) {
    CheckFinding f;
    f.severity = Severity::kWarning;
    f.kind = kind;
    f.file = file;
    f.hasRange = end > start;
    f.start = f.hasRange ? start : 0;
    f.end = f.hasRange ? end : 0;
    f.text = std::move(text);
    report.findings.push_back(std::move(f));
}

// What one stretch behind the last described recording holds.
std::string StretchText(const DiscState& d, const VR_FOUND_STRETCH& s) {
    if (s.dwKind == VR_FOUND_RECORDING) {
        return FoundWhat(s) + " at " + FoundSpan(s) + " that the tables do not describe: 'vrmangr adopt " + d.dir +
               "' registers it";
    }
    if (s.dwKind == VR_FOUND_STILLS) {
        return FoundWhat(s) + " at " + FoundSpan(s) + " that the tables do not describe: 'vrmangr adopt " + d.dir +
               "' registers them";
    }
    return FoundSpan(s) + " hold no recording (" + std::string(s.szText) + ")";
}

// The stretches a scan found behind the described end (and the part an
// interrupted save wrote), each a warning: a recording stays, data behind
// the last one is a leftover.
void ReportFound(const DiscState& d, const std::string& name, const Undescribed& u, CheckReport& r) {
    const uint64_t keep = u.KeepEnd();
    if (u.explainedEnd > u.start) {
        Warn(r, FindingKind::kTrailing, name, u.start, u.explainedEnd,
             name + ": " + ByteSpan(u.start, u.explainedEnd) + " are the part an interrupted save wrote (" +
                 u.explainedBy + " describes it)" +
                 (keep > u.explainedEnd ? "; kept while recordings follow." : ": a leftover."));
        if (keep <= u.explainedEnd) r.leftovers = true;
    }
    for (const VR_FOUND_STRETCH& s : u.found) {
        const uint64_t first = static_cast<uint64_t>(s.llFirstByte), last = first + static_cast<uint64_t>(s.llBytes);
        const bool behind = first >= keep;
        if (!HoldsRecording(s) && behind) r.leftovers = true;
        Warn(r, HoldsRecording(s) ? FindingKind::kUndescribed : FindingKind::kTrailing, name, first, last,
             name + ": " + StretchText(d, s) +
                 (HoldsRecording(s) ? "."
                  : behind          ? ": a leftover."
                                    : "; kept while recordings follow."));
    }
}

// The data behind the last recording of one stream. False when progress
// cancelled the scan.
bool ReportTrailing(const DiscState& d, const CopyVerdict* kept, bool still, CheckReport& r) {
    const uint64_t trailing = d.TrailingBytes(still);
    if (trailing == 0) return true;
    const std::string name = d.File(still).name;
    const uint64_t start = d.DescribedEndBytes(still), end = start + trailing;
    const std::string head = name + " holds " + Count(static_cast<long long>(trailing), "byte", "bytes") +
                             " behind its last recording (which ends at byte " + std::to_string(start) + ")";
    std::string why;
    if (!TrailingRemovable(d, kept, still, &why)) {
        Warn(r, FindingKind::kTrailing, name, start, end, head + "; " + why + ".");
        return true;
    }
    const Undescribed u = FindUndescribed(d, still);
    if (u.cancelled) return false;
    if (!u.scanned) {
        Warn(r, FindingKind::kTrailing, name, start, end,
             head + "; it could not be read to tell whether it holds recordings, so repair keeps it.");
    } else if (u.misaligned) {
        Warn(r, FindingKind::kUndescribed, name, start, end,
             head + ": MPEG packs that begin " + std::to_string(u.misaligned) +
                 " bytes into their sectors (a recording whose first bytes are missing?); kept, and 'vrmangr "
                 "extract " +
                 d.dir + " --undescribed -d DIR' writes it out.");
    } else if (u.explainedEnd == u.start && u.KeepEnd() == u.start) {
        // Nothing in it is a recording.
        r.leftovers = true;
        Warn(r, FindingKind::kTrailing, name, start, end, head + ": a leftover of an interrupted save.");
    } else {
        ReportFound(d, name, u, r);
    }
    return true;
}

// A recording (or creation) time that names no moment: a month, day, hour,
// minute or second out of range. All zeros is no time at all, as some
// recorders leave it.
bool NamesNoMoment(DWORD year, DWORD month, DWORD day, DWORD hour, DWORD minute, DWORD second) {
    if (year == 0 && month == 0 && day == 0 && hour == 0 && minute == 0 && second == 0) return false;
    static const DWORD kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return true;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day > (month == 2 && !leap ? 28 : kDays[month - 1]);
}

}  // namespace

bool ReportLeftovers(const DiscState& d, const CopyVerdict* kept, CheckReport& report) {
    for (bool still : {false, true}) {
        if (!ReportTrailing(d, kept, still, report)) return false;
    }
    for (const TempFile& t : d.tempFiles) {
        report.leftovers = true;
        Warn(report, FindingKind::kTempFile, t.name, 0, t.bytes,
             t.name + " (" + Count(static_cast<long long>(t.bytes), "byte", "bytes") +
                 ") is a leftover of an interrupted save.");
    }
    return true;
}

// The recording times of the programs and the creation times of the
// playlists that are no dates: info shows them as the disc holds them, and
// a program that sorts or names files by them goes wrong.
void ReportDates(const CopyVerdict& copy, CheckReport& report) {
    CVR_MANGR* m = copy.Tables();
    if (!m) return;
    const auto check = [&report](const std::string& what, const auto& i) {
        if (!NamesNoMoment(i.dwYear, i.dwMonth, i.dwDay, i.dwHour, i.dwMinute, i.dwSecond)) return;
        char text[64];
        std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(i.dwYear), unsigned(i.dwMonth),
                      unsigned(i.dwDay), unsigned(i.dwHour), unsigned(i.dwMinute), unsigned(i.dwSecond));
        Warn(report, FindingKind::kDate, "", 0, 0, what + text + " is not a date.");
    };
    DVDPGCINFO chain{};
    m->fnGetOPGCInfo(&chain, 2);
    for (DWORD p = 1; p <= chain.dwCount; ++p) {
        DVDPGINFO info{};
        if (m->fnGetOPGCPGInfo(static_cast<int>(p), &info, 0))
            check("program " + std::to_string(p) + ": its recording time ", info);
    }
    const int playlists = m->fnGetPLCount();
    for (int pl = 1; pl <= playlists; ++pl) {
        DVDPGCINFO info{};
        if (m->fnGetPLInfo(pl, &info, 0)) check("playlist " + std::to_string(pl) + ": its creation time ", info);
    }
}

}  // namespace vrm
