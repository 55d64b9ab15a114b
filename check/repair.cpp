// The repair of a recording directory: the copy of the management file
// that should be kept restored over the other, the data behind the last
// recording that holds none cut off, the temporary files of interrupted
// saves removed. A recording is never cut unless the caller asks.
#include <sys/stat.h>

#include "check/check.h"
#include "check/disc_state.h"
#include "check/plan.h"
#include "io/errors.h"
#include "platform/file.h"

namespace vrm {

bool RepairReport::Changed() const {
    for (const RepairAction& a : actions) {
        if (a.kind == RepairKind::kRestore || a.kind == RepairKind::kTrim || a.kind == RepairKind::kRemove) return true;
    }
    return false;
}

namespace {

std::string Bytes(uint64_t n) { return Count(static_cast<long long>(n), "byte", "bytes"); }

// Writes bytes as path: a unique temporary file beside it, forced to disc
// and renamed over it, so a crash leaves the old or the new file. The file
// keeps the mode of the one it replaces.
bool WriteFileSafely(const std::string& path, const std::vector<char>& bytes) {
    File file;
    std::string temp;
    if (!file.CreateBeside(path, &temp)) return false;
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    const bool ok = ::fchmod(file.Descriptor(), mode) == 0 &&
                    file.WriteAt(0, bytes.data(), bytes.size()) == bytes.size() && file.Sync();
    file.Close();
    if (!ok || !ReplaceFile(temp.c_str(), path.c_str())) {
        RemoveFile(temp.c_str());
        return false;
    }
    return true;
}

// Cuts the stream file to `length` bytes and forces the cut to disc.
bool CutStream(const std::string& path, uint64_t length) {
    File file;
    return file.Open(path.c_str(), File::Mode::ReadWriteAlways) && file.Truncate(length) && file.Sync();
}

// One repair of the disc as read into d: what it does, or with a dry run
// would do.
struct Repair {
    const DiscState& d;
    const RepairOptions& options;
    RepairReport& report;
    Status* status;

    std::string Said(const std::string& done, const std::string& would) const { return options.dryRun ? would : done; }
    RepairAction& Add(RepairKind kind, const std::string& file, std::string text) {
        RepairAction a;
        a.kind = kind;
        a.done = !options.dryRun &&
                 (kind == RepairKind::kRestore || kind == RepairKind::kTrim || kind == RepairKind::kRemove);
        a.file = file;
        a.text = std::move(text);
        report.actions.push_back(std::move(a));
        return report.actions.back();
    }
    void AddRanged(RepairKind kind, const std::string& file, uint64_t start, uint64_t end, std::string text) {
        RepairAction& a = Add(kind, file, std::move(text));
        a.hasRange = true;
        a.start = start;
        a.end = end;
    }
    bool Fail(DWORD code, const std::string& text) {
        status->Set(code, text);
        return false;
    }
};

// Writes the good copy of the tables over the other. What only the replaced
// copy described stays in the streams, for now: each stream behind what the
// good copy describes is named.
bool RestoreCopy(Repair& r, const TablePlan& plan) {
    const std::string target = r.d.PathOf(plan.to->name);
    if (!r.options.dryRun && !WriteFileSafely(target, plan.from->bytes))
        return r.Fail(VRO_ERR_WRITE, target + " could not be written.");
    r.Add(RepairKind::kRestore, plan.to->name,
          plan.to->name + " " + r.Said("restored", "would be restored") + " from " + plan.from->name + " (" + plan.why +
              ").");
    for (bool still : {false, true}) {
        const uint64_t keptEnd = plan.from->View(still).RecordedEndBytes();
        const StreamFile& file = r.d.File(still);
        if (!plan.to->loads || plan.to->View(still).RecordedEndBytes() <= keptEnd || file.bytes <= keptEnd) continue;
        r.AddRanged(RepairKind::kKept, file.name, keptEnd, file.bytes,
                    "the recordings only " + plan.to->name + " described stay in " + file.name + " behind byte " +
                        std::to_string(keptEnd) + "; 'vrmangr adopt " + r.d.dir +
                        "' registers them again, 'vrmangr repair " + r.d.dir + " --discard-undescribed' removes them.");
    }
    return true;
}

// Says why the trailing bytes of the stream (or some of them) stay.
void SayTrailingKept(Repair& r, const StreamFile& file, uint64_t trailing, const Undescribed& u, uint64_t end) {
    const long recordings = u.Recordings();
    const std::string behind = "behind the last recording of " + std::string(file.name);
    if (u.misaligned && !r.options.discardUndescribed) {
        r.AddRanged(RepairKind::kKept, file.name, u.start, u.end,
                    "the " + Bytes(trailing) + " " + behind + " are kept: they hold MPEG packs that begin " +
                        std::to_string(u.misaligned) + " bytes into their sectors.");
    } else if (!u.scanned) {
        r.AddRanged(RepairKind::kKept, file.name, u.start, u.end,
                    "the " + Bytes(trailing) + " " + behind +
                        " are kept: they could not be read to tell whether they hold recordings.");
    } else if (recordings && !r.options.discardUndescribed) {
        r.AddRanged(RepairKind::kKept, file.name, u.start, end,
                    Count(recordings, "recording", "recordings") + " " + behind + " that the tables do not describe " +
                        (recordings == 1 ? "is" : "are") + " kept (" + ByteSpan(u.start, end) + "); 'vrmangr adopt " +
                        r.d.dir + "' registers them, 'vrmangr repair " + r.d.dir +
                        " --discard-undescribed' removes them.");
    }
}

// Data behind the last recording that either copy describes belongs to
// none: what holds no recording goes, a recording stays unless the caller
// asks for it to go.
bool TrimTrailing(Repair& r, const CopyVerdict* kept, bool still) {
    const uint64_t trailing = r.d.TrailingBytes(still);
    if (trailing == 0) return true;
    const StreamFile& file = r.d.File(still);
    const std::string path = r.d.PathOf(file.name);
    std::string why;
    if (!TrailingRemovable(r.d, kept, still, &why)) {
        const uint64_t start = r.d.DescribedEndBytes(still);
        r.AddRanged(
            RepairKind::kKept, file.name, start, start + trailing,
            "the " + Bytes(trailing) + " behind the last recording of " + file.name + " are kept: " + why + ".");
        return true;
    }
    const Undescribed u = FindUndescribed(r.d, still);
    if (u.cancelled) return r.Fail(VRO_ERR_CANCELLED, "cancelled while reading " + path + "; nothing was changed.");
    const long recordings = u.Recordings();
    const uint64_t end = r.options.discardUndescribed && u.scanned ? u.start : u.KeepEnd();
    if (end < file.bytes) {
        if (!r.options.dryRun && !CutStream(path, end)) return r.Fail(VRO_ERR_TRUNCATE, path + " could not be cut.");
        r.AddRanged(RepairKind::kTrim, file.name, end, file.bytes,
                    r.Said("removed", "would remove") + " the " + Bytes(file.bytes - end) + " behind " +
                        (end == u.start ? "the last recording" : "the last recording the tables do not describe") +
                        " of " + file.name + " (it " + r.Said("now ends", "would end") + " at byte " +
                        std::to_string(end) + ")" +
                        (r.options.discardUndescribed && recordings
                             ? ", with " + Count(recordings, "recording", "recordings") +
                                   " the tables did not describe, as --discard-undescribed asks"
                             : std::string()) +
                        ".");
    }
    SayTrailingKept(r, file, trailing, u, end);
    return true;
}

// Removes the leftovers of interrupted saves.
bool RemoveTempFiles(Repair& r) {
    for (const TempFile& t : r.d.tempFiles) {
        const std::string path = r.d.PathOf(t.name);
        if (!r.options.dryRun && !RemoveFile(path.c_str()))
            return r.Fail(VRO_ERR_WRITE, path + " could not be removed.");
        r.Add(RepairKind::kRemove, t.name,
              r.Said("removed", "would remove") + " " + t.name + ", a leftover of an interrupted save.");
    }
    return true;
}

// The repair of the disc read into d, under the writer's lock.
bool RepairRead(const DiscState& d, const RepairOptions& options, RepairReport* out, Status* status) {
    Repair r{d, options, *out, status};
    const CopyVerdict* forced = options.from == kIfoCopy ? &d.ifo : options.from == kBupCopy ? &d.bup : nullptr;
    const TablePlan plan = PlanTables(d, forced);
    if (plan.cancelled)
        return r.Fail(VRO_ERR_CANCELLED,
                      "cancelled while reading the stream files of " + d.dir + "; nothing was changed.");
    // What no copy of the tables can mend is refused before anything is
    // changed: a repair either leaves a sound disc or the disc as it was.
    if (!plan.refusal.empty()) {
        for (const std::string& line : plan.differences) r.Add(RepairKind::kDifference, "", line);
        return r.Fail(plan.refusalCode, plan.refusal);
    }
    const CopyVerdict* kept = plan.from ? plan.from : d.Current();
    if (kept && !kept->Holds()) {
        return r.Fail(kept->movie.Fits() && kept->still.Fits() ? VRO_ERR_OVERLAP : VRO_ERR_STREAM_SHORT,
                      "what is wrong with " + d.dir +
                          " (recorded data missing from a stream file, or recordings that share sectors) is beyond "
                          "repair; 'vrmangr check " +
                          d.dir + "' lists it.");
    }
    if (plan.from && !RestoreCopy(r, plan)) return false;
    for (bool still : {false, true}) {
        if (!TrimTrailing(r, kept, still)) return false;
    }
    if (!RemoveTempFiles(r)) return false;
    if (!out->Changed()) {
        r.Add(RepairKind::kNothing, "",
              std::string(kIfoName) + " and " + kBupName + " are valid and identical; nothing to repair.");
    }
    return true;
}

}  // namespace

bool RepairDisc(const std::string& dir, const RepairOptions& options, ProgressCallback progress, void* context,
                RepairReport* out, Status* status) {
    *out = RepairReport{};
    // The writer's lock from before the directory is read until the end: no
    // save runs meanwhile, and no temporary file removed is still in use. A
    // directory that offers no locks is repaired without.
    CVR_MANGR lock;
    if (!lock.fnLockDirectory(dir.c_str(), 1, options.lockWaitMs) && lock.fnGetLastStatus().code == VRO_ERR_LOCKED) {
        status->Set(VRO_ERR_LOCKED,
                    dir + " is being changed by another vrmangr process; try again when it has finished.");
        return false;
    }
    DiscState d;
    d.progress = progress;
    d.context = context;
    return ReadDisc(dir, &d, status) && RepairRead(d, options, out, status);
}

}  // namespace vrm
