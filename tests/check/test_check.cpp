// The check and the repair of a directory as data: each finding's severity,
// kind, file, byte range and sentence; each action of a repair, what a dry
// run leaves alone, and what a refusal says. (What the tool prints of them
// is tests/tools/check.cmake's.)
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "check/check.h"
#include "io/errors.h"
#include "support/PiecedDisc.h"

namespace {

const char kMp2[] = "pal_mpeg2_mp2_4x3.vob";  // 149 sectors
const char kLpcm[] = "pal_mpeg2_lpcm_16x9.vob";  // 312 sectors
const uint64_t kSector = 2048;

vrm::CheckReport Check(const TempDir& dir, bool everyUnit = false, bool deep = false) {
    vrm::CheckOptions options;
    options.everyUnit = everyUnit;
    options.deep = deep;
    vrm::CheckReport report;
    vrm::Status status;
    EXPECT_TRUE(vrm::CheckDisc(dir.Path().string(), options, nullptr, nullptr, &report, &status)) << status.text;
    return report;
}

// The findings of one severity as (kind, file, start, end, sentence).
std::vector<std::string> Of(const vrm::CheckReport& r, vrm::Severity severity) {
    std::vector<std::string> out;
    for (const vrm::CheckFinding& f : r.findings) {
        if (f.severity != severity) continue;
        out.push_back(std::to_string(static_cast<int>(f.kind)) + " " + f.file + " " +
                      (f.hasRange ? std::to_string(f.start) + ".." + std::to_string(f.end) : "-") + " " + f.text);
    }
    return out;
}

void AppendBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_TRUE(f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A disc of the given recordings made through the flat interface.
void MakeDisc(const TempDir& dir, const std::vector<const char*>& recordings) {
    void* h = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGRNew(h, dir.Path().c_str()), 1);
    for (const char* r : recordings) ASSERT_EQ(fnVR_AddMpegFile(h, SamplePath(r).c_str(), nullptr), 1);
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    fnVR_MANGREnd(h);
}

}  // namespace

// Data between the recordings, data behind the last one and a temporary
// file: three warnings, each naming its file and bytes; a dry run lists
// what the repair does and changes nothing, the repair cuts exactly the
// trailing bytes and removes the file, and leaves the data between the
// recordings.
TEST(Check, LeftoversAreWarningsWithTheirBytesAndRepairRemovesOnlyThem) {
    PiecedDisc disc(
        {{SampleBytes(kLpcm), true}, {std::string(2048 * kSector, '\xA5'), false}, {SampleBytes(kMp2), true}});
    const uint64_t end = disc.stream.size();
    AppendBytes(disc.Path("VR_MOVIE.VRO"), std::string(4100, '\x5A'));
    WriteWholeFile(disc.Path("VR_MANGR.BUP.tmp-Ab12Cd"), {'h', 'a', 'l', 'f'});

    const vrm::CheckReport r = Check(disc.dir);
    EXPECT_EQ(Of(r, vrm::Severity::kDamage), std::vector<std::string>{});
    EXPECT_EQ(Of(r, vrm::Severity::kWarning),
              (std::vector<std::string>{
                  "5 VR_MOVIE.VRO 638976..4833280 VR_MOVIE.VRO: sectors 312 to 2359 (2048 sectors) lie before the "
                  "last recording but belong to none.",
                  "8 VR_MOVIE.VRO " + std::to_string(end) + ".." + std::to_string(end + 4100) +
                      " VR_MOVIE.VRO holds 4100 bytes behind its last recording (which ends at byte " +
                      std::to_string(end) + "): a leftover of an interrupted save.",
                  "10 VR_MANGR.BUP.tmp-Ab12Cd 0..4 VR_MANGR.BUP.tmp-Ab12Cd (4 bytes) is a leftover of an "
                  "interrupted save."}));
    EXPECT_EQ(std::vector<int>({r.readFrom, r.identical, int(r.cells), r.leftovers, r.restoreFrom}),
              std::vector<int>({vrm::kIfoCopy, 1, 2, 1, vrm::kNoCopy}));
    ASSERT_EQ(r.extents[0].size(), 2u);
    EXPECT_EQ(std::vector<DWORD>({r.extents[0][1].wNumber, r.extents[0][1].dwStart, r.extents[0][1].dwSectors}),
              std::vector<DWORD>({2, 2360, 149}));

    const std::string before = disc.Stream();
    for (bool dry : {true, false}) {
        vrm::RepairOptions options;
        options.dryRun = dry;
        vrm::RepairReport report;
        vrm::Status status;
        ASSERT_TRUE(vrm::RepairDisc(disc.dir.Path().string(), options, nullptr, nullptr, &report, &status));
        ASSERT_EQ(report.actions.size(), 2u);
        const vrm::RepairAction& trim = report.actions[0];
        EXPECT_EQ(std::vector<uint64_t>({uint64_t(trim.kind), trim.done, trim.start, trim.end}),
                  std::vector<uint64_t>({uint64_t(vrm::RepairKind::kTrim), !dry, end, end + 4100}));
        EXPECT_EQ(trim.text, std::string(dry ? "would remove" : "removed") +
                                 " the 4100 bytes behind the last recording of VR_MOVIE.VRO (it " +
                                 (dry ? "would end" : "now ends") + " at byte " + std::to_string(end) + ").");
        EXPECT_EQ(report.actions[1].kind, vrm::RepairKind::kRemove);
        EXPECT_EQ(report.actions[1].file, "VR_MANGR.BUP.tmp-Ab12Cd");
        EXPECT_EQ(std::filesystem::exists(disc.Path("VR_MANGR.BUP.tmp-Ab12Cd")), dry);
        EXPECT_EQ(disc.Stream(), dry ? before : before.substr(0, end));
    }
    const vrm::CheckReport after = Check(disc.dir);
    EXPECT_EQ(after.findings.size(), 1u);
    EXPECT_FALSE(after.leftovers);
}

// A BUP left behind by a save that stopped between the copies: the copies
// differ (damage), the repair would restore the BUP from the IFO, which
// describes more recorded data, and does so byte for byte.
TEST(Check, AStaleBupIsDamageAndIsRestoredFromTheIfo) {
    TempDir dir;
    MakeDisc(dir, {kMp2});
    const std::vector<unsigned char> stale = ReadWholeFile(dir.File("VR_MANGR.BUP"));
    void* h = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGROpen(h, dir.Path().c_str()), 1);
    ASSERT_EQ(fnVR_AddMpegFile(h, SamplePath(kLpcm).c_str(), nullptr), 1);
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    fnVR_MANGREnd(h);
    WriteWholeFile(dir.File("VR_MANGR.BUP"), stale);

    const vrm::CheckReport r = Check(dir);
    ASSERT_EQ(r.Count(vrm::Severity::kDamage), 1u);
    EXPECT_EQ(r.findings[0].kind, vrm::FindingKind::kCopiesDiffer);
    EXPECT_EQ(r.findings[0].text,
              "VR_MANGR.IFO and VR_MANGR.BUP both load but differ (IFO / BUP): recordings 2 / 1 and recorded sectors "
              "461 / 149; programs 1, playlists 0 and file size 131072 agree. VR_MANGR.IFO describes more recorded "
              "data; the disc is read from VR_MANGR.IFO.");
    EXPECT_EQ(r.restoreFrom, vrm::kIfoCopy);
    EXPECT_EQ(r.restoreWhy, "VR_MANGR.IFO describes more recorded data: 461 sectors of recordings against 149");

    vrm::RepairReport report;
    vrm::Status status;
    ASSERT_TRUE(vrm::RepairDisc(dir.Path().string(), vrm::RepairOptions{}, nullptr, nullptr, &report, &status));
    ASSERT_EQ(report.actions.size(), 1u);
    EXPECT_EQ(report.actions[0].file, "VR_MANGR.BUP");
    EXPECT_TRUE(report.actions[0].done);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MANGR.BUP")), ReadWholeFile(dir.File("VR_MANGR.IFO")));
    EXPECT_EQ(Check(dir).findings.size(), 0u);
}

// A VOB whose first sector was zeroed: damage naming that sector's bytes,
// found by the sampled reads as by the reads of every unit.
TEST(Check, ARecordingThatDoesNotBeginWhereItsTablesSayIsDamageAtThatSector) {
    PiecedDisc disc({{SampleBytes(kMp2), true}, {SampleBytes(kMp2), true}});
    std::vector<unsigned char> stream = ReadWholeFile(disc.Path("VR_MOVIE.VRO"));
    std::fill(stream.begin() + 149 * kSector, stream.begin() + 150 * kSector, 0);
    WriteWholeFile(disc.Path("VR_MOVIE.VRO"), stream);
    for (bool everyUnit : {false, true}) {
        EXPECT_EQ(Of(Check(disc.dir, everyUnit), vrm::Severity::kDamage),
                  std::vector<std::string>{"6 VR_MOVIE.VRO 305152..307200 VR_MOVIE.VRO: VOB 2 does not begin with an "
                                           "MPEG pack header at its start sector 149 (ADR_OFS of its time map)."});
    }
}

// The deep check reads every sector of every recording: a sound disc has
// no finding; zeroed sectors, noise and a sector of an earlier moment
// written over recorded ones are each a run of damaged sectors, named by
// its bytes and how far into its recording it lies (three per recording,
// then a count). A cancel during the deep read ends the check as any
// cancel does.
TEST(Check, TheDeepCheckNamesEachDamagedRunByItsBytes) {
    PiecedDisc disc({{SampleBytes(kMp2), true}, {SampleBytes(kMp2), true}});
    EXPECT_EQ(Check(disc.dir, false, true).findings.size(), 0u);

    std::vector<unsigned char> stream = ReadWholeFile(disc.Path("VR_MOVIE.VRO"));
    std::fill(stream.begin() + 10 * kSector, stream.begin() + 13 * kSector, 0);  // VOB 1, inside a VOBU
    for (uint64_t sector : {20, 30, 40}) std::fill_n(stream.begin() + sector * kSector, kSector, 0xA5);
    // VOB 2's sector 60 becomes its sector 5 (of a clock 55 packs earlier).
    std::copy_n(stream.begin() + (149 + 5) * kSector, kSector, stream.begin() + (149 + 60) * kSector);
    WriteWholeFile(disc.Path("VR_MOVIE.VRO"), stream);
    vrm::CheckReport report = Check(disc.dir, false, true);
    const std::string damaged = " of VR_MOVIE.VRO (about 0:00:00.";
    const std::string noHeader = " into it) are damaged: no MPEG pack header where one belongs.";
    EXPECT_EQ(Of(report, vrm::Severity::kDamage),
              (std::vector<std::string>{
                  "14 VR_MOVIE.VRO 20480..26624 VR_MOVIE.VRO: VOB 1: bytes 20480..26624" + damaged + "0" + noHeader,
                  "14 VR_MOVIE.VRO 40960..43008 VR_MOVIE.VRO: VOB 1: bytes 40960..43008" + damaged + "0" + noHeader,
                  "14 VR_MOVIE.VRO 61440..63488 VR_MOVIE.VRO: VOB 1: bytes 61440..63488" + damaged + "5" + noHeader,
                  "14 VR_MOVIE.VRO - VR_MOVIE.VRO: VOB 1: and 1 more place where it does not hold what its tables say.",
                  "14 VR_MOVIE.VRO 428032..430080 VR_MOVIE.VRO: VOB 2: bytes 428032..430080" + damaged +
                      "5 into it) are damaged: the system clock runs back."}));
    EXPECT_EQ(report.Count(vrm::Severity::kWarning), 0u);

    // The sampled placement check reads three units of each VOB, then the
    // deep read begins: cancelled there.
    vrm::CheckOptions options;
    options.deep = true;
    vrm::Status status;
    int calls = 0;
    const ProgressCallback cancelDeep = [](void* context, DWORD, DWORD, DWORD, DWORD) {
        return ++*static_cast<int*>(context) <= 6 ? 1 : 0;
    };
    EXPECT_FALSE(vrm::CheckDisc(disc.dir.Path().string(), options, cancelDeep, &calls, &report, &status));
    EXPECT_EQ(calls, 7);
    EXPECT_EQ(status.code, DWORD{VRO_ERR_CANCELLED});
}

int Cancel(void*, DWORD, DWORD, DWORD, DWORD) { return 0; }

// What cannot be checked or repaired is one sentence and changes nothing:
// no directory, no disc, a check cancelled, two whole copies that differ
// where the stream cannot tell (the differing field listed before the
// refusal).
TEST(Check, RefusalsAreOneSentenceAndChangeNothing) {
    TempDir dir;
    vrm::CheckReport report;
    vrm::Status status;
    const std::string path = dir.Path().string();
    EXPECT_FALSE(vrm::CheckDisc(dir.File("none"), {}, nullptr, nullptr, &report, &status));
    EXPECT_EQ(std::make_pair(status.code, status.text),
              std::make_pair(DWORD{VRO_ERR_BAD_ARGUMENT}, dir.File("none") + " is not a directory."));
    status.Clear();
    EXPECT_FALSE(vrm::CheckDisc(path, {}, nullptr, nullptr, &report, &status));
    EXPECT_EQ(status.text, path + " holds no DVD-VR disc: VR_MANGR.IFO and VR_MANGR.BUP are missing.");

    MakeDisc(dir, {kMp2});
    status.Clear();
    EXPECT_FALSE(vrm::CheckDisc(path, {}, Cancel, nullptr, &report, &status));
    EXPECT_EQ(std::make_pair(status.code, status.text),
              std::make_pair(DWORD{VRO_ERR_CANCELLED},
                             "cancelled while reading the stream files of " + path + "; nothing was changed."));

    const std::vector<unsigned char> bup = ReadWholeFile(dir.File("VR_MANGR.BUP"));
    void* h = fnVR_MANGRBegin();
    ASSERT_EQ(fnVR_MANGROpen(h, path.c_str()), 1);
    ASSERT_EQ(fnVR_SetProgramTitle(h, 1, "Holiday"), 1);
    ASSERT_EQ(fnVR_MANGRSave(h, nullptr), 1);
    fnVR_MANGREnd(h);
    WriteWholeFile(dir.File("VR_MANGR.BUP"), bup);
    const std::vector<unsigned char> ifo = ReadWholeFile(dir.File("VR_MANGR.IFO"));

    vrm::RepairReport repair;
    status.Clear();
    EXPECT_FALSE(vrm::RepairDisc(path, {}, nullptr, nullptr, &repair, &status));
    EXPECT_EQ(status.code, DWORD{VRO_ERR_COPIES_DIFFER});
    EXPECT_EQ(status.text,
              "VR_MANGR.IFO and VR_MANGR.BUP are both whole and describe the same recorded data, but "
              "differ where the stream files cannot tell which is right; 'vrmangr repair " +
                  path + " --from ifo' (or --from bup) keeps the one you choose.");
    ASSERT_FALSE(repair.actions.empty());
    EXPECT_EQ(repair.actions[0].kind, vrm::RepairKind::kDifference);
    EXPECT_EQ(repair.actions[0].text.rfind("ORG_PGCI / PGI 1 / PRM_TXTI: VR_MANGR.IFO 48 6F 6C 69 64 61 79", 0), 0u);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MANGR.IFO")), ifo);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MANGR.BUP")), bup);
    // The check lists the same, as notes behind the damage.
    const vrm::CheckReport r = Check(dir);
    ASSERT_EQ(r.findings.size(), repair.actions.size() + 2);
    EXPECT_EQ(r.findings.back().kind, vrm::FindingKind::kRefusal);
    EXPECT_EQ(r.findings.back().text, status.text);
    EXPECT_EQ(r.restoreFrom, vrm::kNoCopy);
}
