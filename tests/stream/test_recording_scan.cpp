// The scan that divides a stream file without tables into recordings and
// damaged stretches, and the registration of a recording where it lies.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "fixtures.h"
#include "stream/recording_scan.h"
#include "support/Ints.h"
#include "support/Restamp.h"

namespace {

std::string Read(const char* sample) {
    std::ifstream in(Sample(sample), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

struct Piece {
    DWORD kind;
    uint64_t first, sectors;
    bool operator==(const Piece& o) const { return kind == o.kind && first == o.first && sectors == o.sectors; }
};
std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << (p.kind == VR_FOUND_RECORDING ? "recording "
                  : p.kind == VR_FOUND_UNUSED  ? "unused "
                                               : "damaged ")
              << p.first << "+" << p.sectors;
}

std::vector<Piece> Split(const std::string& path, uint64_t first, std::vector<std::string>* texts = nullptr) {
    const uint64_t packs = std::filesystem::file_size(path) / kSector - first;
    std::vector<vrm::ScanPiece> pieces;
    vrm::AnalysisError error;
    EXPECT_TRUE(vrm::SplitMovieStream(path.c_str(), first, packs, nullptr, nullptr, &pieces, &error)) << error.reason;
    std::vector<Piece> out;
    for (const vrm::ScanPiece& p : pieces) {
        out.push_back({p.kind, p.first, p.sectors});
        if (texts) texts->push_back(p.text);
    }
    return out;
}

constexpr DWORD R = VR_FOUND_RECORDING, D = VR_FOUND_DAMAGED, U = VR_FOUND_UNUSED;
const std::string kPal = Read("pal_mpeg2_mp2_4x3.vob");  // 149 sectors
const std::string kLpcm = Read("pal_mpeg2_lpcm_16x9.vob");  // 312 sectors, VOBUs at 0, 34, 111, 201

TEST(RecordingScan, SplitsWhereTheClockJumpsAndNotWhereItRunsOn) {
    TempDir dir;
    const std::string joined = dir.File("joined.vro"), restamped = dir.File("restamped.vro");
    Write(joined, kPal + kLpcm + kPal);
    Write(restamped, ps::Restamped(kPal, 3, 50 * 3600));
    std::vector<std::string> why;
    EXPECT_EQ(Split(joined, 0, &why), (std::vector<Piece>{{R, 0, 149}, {R, 149, 312}, {R, 461, 149}}));
    EXPECT_NE(why[0].find("system clock jumps back"), std::string::npos) << why[0];
    EXPECT_EQ(why[2], "the end of the stream");
    // One recording whose clock runs on across the joints.
    EXPECT_EQ(Split(restamped, 0), (std::vector<Piece>{{R, 0, 447}}));
    // From a sector on, as check scans what lies behind the tables.
    EXPECT_EQ(Split(joined, 149), (std::vector<Piece>{{R, 149, 312}, {R, 461, 149}}));
    // A program end code at the end of the first copy's last pack (in place
    // of the last 4 bytes of its padding packet) ends a recording whose
    // clock runs on.
    std::string ended = ps::Restamped(kPal, 2, 50 * 3600);
    ASSERT_EQ(ended.substr(148 * kSector + 1967, 6), std::string("\0\0\1\xBE\0\x4B", 6));
    ended[148 * kSector + 1972] = 0x47;
    ended.replace(149 * kSector - 4, 4, std::string("\0\0\1\xB9", 4));
    Write(restamped, ended);
    EXPECT_EQ(Split(restamped, 0, &why), (std::vector<Piece>{{R, 0, 149}, {R, 149, 149}}));
    EXPECT_EQ(why[3], "a program end code");
}

TEST(RecordingScan, SplitsAtAFormatChangeWithARunningClock) {
    // The LPCM sample moved on to where the first ends: only its aspect
    // ratio and audio tell it from the first.
    TempDir dir;
    std::string lpcm = kLpcm;
    ps::MoveClock(lpcm, 50 * 3600);
    const std::string path = dir.File("formats.vro");
    Write(path, kPal + lpcm);
    std::vector<std::string> why;
    const std::vector<Piece> pieces = Split(path, 0, &why);
    ASSERT_EQ(pieces.size(), 2u) << why[0];
    EXPECT_EQ(pieces[0], (Piece{R, 0, 149}));
    EXPECT_TRUE(why[0] == "the aspect ratio changes" || why[0] == "the audio stream changes") << why[0];
}

TEST(RecordingScan, SkipsDamageToTheNextVobuAndFindsNoRecordingInNoise) {
    TempDir dir;
    std::string bytes = kPal + kLpcm + kPal;
    // Garbage over 10 sectors inside the VOBU at 149 + 111: that VOBU goes,
    // up to the next one at 149 + 201.
    for (size_t i = 0; i < 20000; ++i) bytes[(149 + 150) * kSector + 100 + i] = char(0xA5 ^ (i * 7));
    const std::string damaged = dir.File("damaged.vro"), noise = dir.File("noise.vro");
    Write(damaged, bytes);
    std::vector<std::string> why;
    EXPECT_EQ(Split(damaged, 0, &why),
              (std::vector<Piece>{{R, 0, 149}, {R, 149, 111}, {D, 260, 90}, {R, 350, 111}, {R, 461, 149}}));
    EXPECT_EQ(why[1], "damaged data");
    EXPECT_NE(why[2].find("does not parse"), std::string::npos) << why[2];
    Write(noise, std::string(5 * kSector + 100, 'Z'));
    EXPECT_EQ(Split(noise, 0), (std::vector<Piece>{{D, 0, 5}}));

    // The whole scan analyses the recordings and keeps the partial sector.
    std::vector<VR_FOUND_STRETCH> found;
    vrm::AnalysisError error;
    ASSERT_TRUE(vrm::ScanMovieStream(noise.c_str(), 0, nullptr, nullptr, &found, &error));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].llFirstByte, 5 * 2048);
    EXPECT_EQ(found[1].llBytes, 100);
    ASSERT_TRUE(vrm::ScanMovieStream(damaged.c_str(), 0, nullptr, nullptr, &found, &error));
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[3].dwAspectRatio, 3u);
    EXPECT_EQ(found[3].dwAudioCodingBits, 0x800000u);
    EXPECT_EQ(found[4].dwFrames, 50u);
}

// Sectors of zeros (given back, or never written) between recordings, and
// zeros over the last VOBU of one, end the recording in front of them with
// every VOBU it has whole: unused, not damage, and the scan goes on with
// the next recording.
TEST(RecordingScan, ZeroedSectorsAreUnusedAndEndTheRecordingInFrontWhole) {
    TempDir dir;
    const std::string path = dir.File("holes.vro");
    const std::string zeros(200 * kSector, '\0');
    std::string bytes = kPal + zeros + kLpcm + zeros.substr(0, 5 * kSector);
    Write(path, bytes);
    std::vector<std::string> why;
    EXPECT_EQ(Split(path, 0, &why), (std::vector<Piece>{{R, 0, 149}, {U, 149, 200}, {R, 349, 312}, {U, 661, 5}}));
    EXPECT_EQ(why[0], "unused sectors");
    // The LPCM recording's last VOBU (from 201) zeroed from sector 250 on:
    // the recording keeps the part of it in front of the zeros.
    bytes.replace((349 + 250) * kSector, 62 * kSector, 62 * kSector, '\0');
    Write(path, bytes);
    EXPECT_EQ(Split(path, 0), (std::vector<Piece>{{R, 0, 149}, {U, 149, 200}, {R, 349, 250}, {U, 599, 67}}));
    std::vector<VR_FOUND_STRETCH> found;
    vrm::AnalysisError error;
    ASSERT_TRUE(vrm::ScanMovieStream(path.c_str(), 0, nullptr, nullptr, &found, &error));
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(std::vector<DWORD>({found[0].dwKind, found[1].dwKind, found[2].dwKind, found[3].dwKind}),
              std::vector<DWORD>({R, U, R, U}));
    EXPECT_EQ(Ints({found[2].dwFrames, found[3].llBytes}), Ints({50, 67 * kSector}));
}

TEST(RecordingScan, RegistersARecordingWhereItLies) {
    TempDir dir;
    Write(dir.File("VR_MOVIE.VRO"), kPal + kLpcm);
    void* h = fnVR_MANGRBegin();
    ASSERT_TRUE(fnVR_MANGRNew(h, dir.Path().c_str()));
    // The second recording first: the first can then no longer go in front.
    ASSERT_TRUE(fnVR_AddRecordedRange(h, 149, 312, nullptr));
    EXPECT_FALSE(fnVR_AddRecordedRange(h, 0, 149, nullptr));
    VR_STATUS status{};
    fnVR_MANGRGetLastStatus(h, &status);
    EXPECT_EQ(status.dwCode, DWORD{VRO_ERR_OVERLAP}) << status.szText;
    // Past the end of the stream file.
    EXPECT_FALSE(fnVR_AddRecordedRange(h, 461, 10, nullptr));
    ASSERT_TRUE(fnVR_MANGRSave(h, nullptr));
    fnVR_MANGREnd(h);
    EXPECT_EQ(std::filesystem::file_size(dir.File("VR_MOVIE.VRO")), (149 + 312) * kSector);

    h = fnVR_MANGRBegin();
    ASSERT_TRUE(fnVR_MANGROpen(h, dir.Path().c_str()));
    __int64 starts[8] = {};
    ASSERT_EQ(fnVR_GetUnitStarts(h, 0, 1, starts, 8), 4u);
    EXPECT_EQ(starts[0], 149);
    EXPECT_EQ(starts[3], 149 + 201);
    fnVR_MANGREnd(h);
}

}  // namespace
