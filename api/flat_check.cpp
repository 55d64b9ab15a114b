// The flat interface of the check and the repair of a recording directory:
// the check floor's reports kept in the handle as the interface's records,
// and read back one by one.
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "check/check.h"
#include "check/disc_state.h"

using vrm::CopyText;
using vrm::FlatCall;

namespace {

// The records carry the check floor's values as they are.
static_assert(static_cast<int>(vrm::Severity::kNote) == VR_CHECK_NOTE &&
                  static_cast<int>(vrm::FindingKind::kRefusal) == VR_CHECK_REFUSAL &&
                  static_cast<int>(vrm::FindingKind::kTempFile) == VR_CHECK_TEMP_FILE &&
                  static_cast<int>(vrm::FindingKind::kDamagedSectors) == VR_CHECK_DAMAGED_SECTORS &&
                  static_cast<int>(vrm::RepairKind::kNothing) == VR_REPAIR_NOTHING &&
                  static_cast<int>(vrm::RepairKind::kKept) == VR_REPAIR_KEPT,
              "check and repair kinds");

// A finding or an action as its record: the fields both have in common.
template <class Record, class Item>
Record ToRecord(const Item& item) {
    Record r{};
    r.dwKind = static_cast<DWORD>(item.kind);
    r.dwHasRange = item.hasRange ? 1 : 0;
    r.llStart = static_cast<__int64>(item.start);
    r.llEnd = static_cast<__int64>(item.end);
    CopyText(item.file, r.szFile, sizeof r.szFile);
    CopyText(item.text, r.szText, sizeof r.szText);
    return r;
}

DWORD CopyOf(int copy) { return copy == vrm::kNoCopy ? 2 : static_cast<DWORD>(copy); }

// Keeps the report in the handle, as fnVR_GetCheckSummary and
// fnVR_GetCheckFinding give it.
void Keep(CVR_MANGR& m, const vrm::CheckReport& report) {
    VR_CHECK_SUMMARY& s = m.m_CheckSummary;
    s.dwFindings = static_cast<DWORD>(report.findings.size());
    s.dwDamage = static_cast<DWORD>(report.Count(vrm::Severity::kDamage));
    s.dwWarnings = static_cast<DWORD>(report.Count(vrm::Severity::kWarning));
    s.dwReadFrom = CopyOf(report.readFrom);
    s.dwIdentical = report.identical ? 1 : 0;
    s.dwCells = static_cast<DWORD>(report.cells);
    s.dwLeftovers = report.leftovers ? 1 : 0;
    s.dwRestoreFrom = CopyOf(report.restoreFrom);
    s.llFreeBytes = static_cast<__int64>(report.freeBytes);
    CopyText(report.restoreWhy, s.szRestoreWhy, sizeof s.szRestoreWhy);
    for (const vrm::CheckFinding& f : report.findings) {
        VR_CHECK_FINDING r = ToRecord<VR_CHECK_FINDING>(f);
        r.dwSeverity = static_cast<DWORD>(f.severity);
        m.m_CheckFindings.push_back(r);
    }
    for (int still : {0, 1}) m.m_CheckExtents[still] = report.extents[still];
}

void ForgetCheck(CVR_MANGR& m) {
    m.m_CheckSummary = VR_CHECK_SUMMARY{};
    m.m_CheckSummary.dwReadFrom = m.m_CheckSummary.dwRestoreFrom = 2;
    m.m_CheckFindings.clear();
    for (auto& extents : m.m_CheckExtents) extents.clear();
}

}  // namespace

int fnVR_CheckDisc(void* handle, const char* dir, DWORD flags, ProgressCallback progress) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No directory was named.", [&](CVR_MANGR& m) {
        ForgetCheck(m);
        if (!dir || !*dir) return 0;
        vrm::CheckOptions options;
        options.everyUnit = (flags & VR_CHECK_EVERY_UNIT) != 0;
        options.deep = (flags & VR_CHECK_DEEP) != 0;
        vrm::CheckReport report;
        vrm::Status status;
        if (!vrm::CheckDisc(dir, options, progress, handle, &report, &status))
            return m.fnFail(status.code, status.text);
        Keep(m, report);
        return 1;
    });
}

int fnVR_GetCheckSummary(void* handle, VR_CHECK_SUMMARY* out) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No record to fill was given.", [&](CVR_MANGR& m) {
        if (!out) return 0;
        *out = m.m_CheckSummary;
        return 1;
    });
}

DWORD fnVR_GetCheckFindingCount(void* handle) {
    if (!handle) return 0;
    return static_cast<DWORD>(vrm::Manager(handle)->m_CheckFindings.size());
}

int fnVR_GetCheckFinding(void* handle, DWORD index, VR_CHECK_FINDING* out) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM,
                    "There is no finding " + std::to_string(index) + " of the last check.", [&](CVR_MANGR& m) {
                        if (!out || index >= m.m_CheckFindings.size()) return 0;
                        *out = m.m_CheckFindings[index];
                        return 1;
                    });
}

DWORD fnVR_GetCheckExtents(void* handle, int still, VR_STREAM_EXTENT* out, DWORD max) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "A record to fill is missing.", [&](CVR_MANGR& m) -> DWORD {
        if (max && !out) return 0;
        const std::vector<VR_STREAM_EXTENT>& extents = m.m_CheckExtents[still ? 1 : 0];
        for (size_t i = 0; i < extents.size() && i < max; ++i) out[i] = extents[i];
        return static_cast<DWORD>(extents.size());
    });
}

int fnVR_RepairDisc(void* handle, const char* dir, DWORD flags, ProgressCallback progress) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "No directory was named.", [&](CVR_MANGR& m) {
        m.m_RepairActions.clear();
        if (!dir || !*dir) return 0;
        if ((flags & VR_REPAIR_FROM_IFO) && (flags & VR_REPAIR_FROM_BUP))
            return m.fnFail(VRO_ERR_BAD_ARGUMENT, "A repair keeps VR_MANGR.IFO or VR_MANGR.BUP, not both.");
        vrm::RepairOptions options;
        options.dryRun = (flags & VR_REPAIR_DRY_RUN) != 0;
        options.discardUndescribed = (flags & VR_REPAIR_DISCARD_UNDESCRIBED) != 0;
        options.from = (flags & VR_REPAIR_FROM_IFO)   ? vrm::kIfoCopy
                       : (flags & VR_REPAIR_FROM_BUP) ? vrm::kBupCopy
                                                      : vrm::kNoCopy;
        vrm::RepairReport report;
        vrm::Status status;
        const bool repaired = vrm::RepairDisc(dir, options, progress, handle, &report, &status);
        for (const vrm::RepairAction& a : report.actions) {
            VR_REPAIR_ACTION r = ToRecord<VR_REPAIR_ACTION>(a);
            r.dwDone = a.done ? 1 : 0;
            m.m_RepairActions.push_back(r);
        }
        return repaired ? 1 : m.fnFail(status.code, status.text);
    });
}

DWORD fnVR_GetRepairActionCount(void* handle) {
    if (!handle) return 0;
    return static_cast<DWORD>(vrm::Manager(handle)->m_RepairActions.size());
}

int fnVR_GetRepairAction(void* handle, DWORD index, VR_REPAIR_ACTION* out) {
    return FlatCall(handle, VRO_ERR_NO_SUCH_ITEM,
                    "There is no action " + std::to_string(index) + " of the last repair.", [&](CVR_MANGR& m) {
                        if (!out || index >= m.m_RepairActions.size()) return 0;
                        *out = m.m_RepairActions[index];
                        return 1;
                    });
}

DWORD fnVR_FindMisalignedPacks(void* handle, const char* path, __int64 from, __int64 to) {
    return FlatCall(handle, VRO_OK, "", [&](CVR_MANGR&) -> DWORD {
        if (!path || from < 0 || to < from) return 0;
        return static_cast<DWORD>(vrm::MisalignedPacks(path, static_cast<uint64_t>(from), static_cast<uint64_t>(to)));
    });
}
