// The scan that finds the still pictures of a still stream file without
// tables and groups them: where a group ends, and what is damaged.
#include <string>
#include <vector>

#include "fixtures.h"
#include "stream/still_scan.h"

namespace {

using ps::Bytes;

struct Found {
    DWORD kind;
    DWORD first, sectors, pictures;
    std::string text;
    bool operator==(const Found& o) const {
        return kind == o.kind && first == o.first && sectors == o.sectors && pictures == o.pictures &&
               (o.text.empty() || text.find(o.text) != std::string::npos);
    }
};
std::ostream& operator<<(std::ostream& os, const Found& f) {
    return os << (f.kind == VR_FOUND_STILLS ? "stills " : "damaged ") << f.first << "+" << f.sectors << " ("
              << f.pictures << ") " << f.text;
}

// One picture: a navigation pack (unless nav is false), its headers and
// intra picture, then its audio (MPEG audio of kbps, none for 0). Returns
// the sectors it took.
DWORD Picture(ps::Muxer& m, const ps::VideoParams& v, unsigned kbps, bool nav = true) {
    m.FlushVideo();
    const size_t first = m.Packs();
    if (nav) m.NavPack();
    m.Video(ps::Cat({ps::SequenceHeaders(v), ps::GroupHeader(), ps::Picture(ps::I, 0, 3000)}), kPts0);
    m.FlushVideo();
    if (kbps) m.Audio(0xC0, ps::Cat({ps::Mp2Frame(kbps), ps::Mp2Frame(kbps)}), kPts0);
    return DWORD(m.Packs() - first);
}

}  // namespace

TEST(StillScan, GroupsNeighboursOfTheSameAttributesAndSkipsWhatCannotLieInPlace) {
    TempDir dir;
    ps::VideoParams wide;
    wide.aspect = 3;
    ps::Muxer m;
    std::vector<DWORD> at{0};
    auto picture = [&](const ps::VideoParams& v, unsigned kbps, bool nav = true) {
        at.push_back(at.back() + Picture(m, v, kbps, nav));
    };
    const ps::VideoParams pal;
    picture(pal, 224);  // 0: group 1
    picture(pal, 0);  // 1: without audio, it fits
    picture(wide, 0);  // 2: another aspect ratio opens group 2
    picture(wide, 0, false);  // 3: no navigation pack: its sequence header begins it
    picture(wide, 192);  // 4: the group's first audio
    picture(wide, 224);  // 5: other audio opens group 3
    picture(wide, 0);  // 6: a padding pack inside: it cannot be registered where it lies
    m.Padding();
    ++at.back();
    picture(wide, 0);  // 7: group 4
    const std::string path = WriteStream(dir, "VR_STILL.VRO", m.Out());

    std::vector<VR_FOUND_STRETCH> found;
    vrm::AnalysisError error;
    ASSERT_TRUE(vrm::ScanStillStream(path.c_str(), 0, nullptr, nullptr, &found, &error)) << error.reason;
    std::vector<Found> got;
    for (const VR_FOUND_STRETCH& s : found)
        got.push_back({s.dwKind, s.dwFirstSector, s.dwSectors, s.dwFrames, s.szText});
    const DWORD S = VR_FOUND_STILLS, D = VR_FOUND_DAMAGED;
    EXPECT_EQ(got, (std::vector<Found>{{S, at[0], at[2] - at[0], 2, "the aspect ratio changes"},
                                       {S, at[2], at[5] - at[2], 3, "the audio changes"},
                                       {S, at[5], at[6] - at[5], 1, "damaged data"},
                                       {D, at[6], at[7] - at[6], 0, "no part of a still picture"},
                                       {S, at[7], at[8] - at[7], 1, "the end of the stream"}}));
    EXPECT_EQ(found[1].dwAudioBitrate, 192u) << "a group's audio is its first picture's with audio";
    EXPECT_EQ(found[1].dwAspectRatio, 3u);

    // A group is registered where it lies: its table counts from its start.
    vrm::StillRange group;
    ASSERT_TRUE(vrm::AnalyseStillRange(path.c_str(), at[2], at[5] - at[2], nullptr, nullptr, &group, &error))
        << error.reason;
    ASSERT_EQ(group.table.size(), 4u);
    EXPECT_EQ(group.table[1].dwVOBUAddr, at[3] - at[2]);
    EXPECT_EQ(group.table[3].dwVOBUAddr, at[5] - at[2]);

    // Zeros between two pictures (a group given back, or never written)
    // are unused sectors that end the group in front of them.
    Bytes holed = m.Out();
    holed.insert(holed.begin() + at[2] * kSector, 10 * kSector, 0);
    const std::string holes = WriteStream(dir, "holes.vro", holed);
    ASSERT_TRUE(vrm::ScanStillStream(holes.c_str(), 0, nullptr, nullptr, &found, &error)) << error.reason;
    ASSERT_GE(found.size(), 3u);
    got.clear();
    for (size_t i = 0; i < 2; ++i)
        got.push_back(
            {found[i].dwKind, found[i].dwFirstSector, found[i].dwSectors, found[i].dwFrames, found[i].szText});
    EXPECT_EQ(got, (std::vector<Found>{{S, at[0], at[2] - at[0], 2, "unused sectors"},
                                       {VR_FOUND_UNUSED, at[2], 10, 0, "nothing but zero bytes"}}));
    EXPECT_EQ(found[2].dwKind, S);
    EXPECT_EQ(found[2].dwFirstSector, at[2] + 10);
}
