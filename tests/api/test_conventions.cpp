// Discs as recorders of other makers leave them (support/Conventions.h):
// each opens with nothing found wrong, the queries answer what its changed
// fields say, a save without an edit writes every byte back, a save after
// an edit keeps the changed fields, and each program's cell covers its
// sample's bytes in the stream file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "support/Conventions.h"

namespace conventions {
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }
}  // namespace conventions

namespace {

using namespace conventions;

std::string DataDir() { return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string(); }

std::string Text(DWORD (*get)(void*, int, char*, DWORD), void* h, int n) {
    char text[256] = {};
    return get(h, n, text, sizeof text) ? text : "<none>";
}

int Programs(void* h) {
    DVDPGCINFO chain{};
    EXPECT_TRUE(fnVR_GetOPGCInfo(h, &chain, 2));
    return static_cast<int>(chain.dwCount);
}

DWORD PlaylistCells(void* h) {
    DVDPGCINFO list{};
    EXPECT_TRUE(fnVR_GetPLInfo(h, 1, &list, 1));
    return list.dwCount;
}

seg Cell(void* h, int pg) {
    seg s{};
    EXPECT_TRUE(fnVR_GetOPGCCellInfo(h, pg, 1, &s, 0, 0)) << "program " << pg;
    return s;
}

// Picture size, channels and audio mode of program pg's cell.
void ExpectCell(void* h, int pg, DWORD width, DWORD height, DWORD channels, DWORD mode) {
    const seg s = Cell(h, pg);
    EXPECT_EQ(std::vector<DWORD>({s.dwWidth, s.dwHeight, s.dwChannels, s.dwAudioMode}),
              std::vector<DWORD>({width, height, channels, mode}))
        << "program " << pg;
}

VR_PROTECTION Protection(void* h, int pg) {
    VR_PROTECTION p{};
    EXPECT_TRUE(fnVR_GetProtection(h, pg, &p)) << "program " << pg;
    return p;
}

void TwoProgramsAndAPlaylist(void* h) {
    EXPECT_EQ(Programs(h), 2);
    EXPECT_EQ(PlaylistCells(h), 1u);
}

// What the queries must answer on each fixture.
const std::map<std::string, std::function<void(void*)>> kAnswers = {
    {"first-program-0", TwoProgramsAndAPlaylist},
    {"first-program-ffff", TwoProgramsAndAPlaylist},
    {"texts",
     [](void* h) {
         EXPECT_EQ(Text(fnVR_GetProgramLabel, h, 1), "");
         EXPECT_EQ(Text(fnVR_GetProgramTitle, h, 1), std::string(60, 'T') + "ITLE");
         EXPECT_EQ(Text(fnVR_GetProgramLabel, h, 2), "");
         EXPECT_EQ(Text(fnVR_GetProgramTitle, h, 2), "NEWS");
         EXPECT_EQ(Text(fnVR_GetPLLabel, h, 1), std::string(59, 'L') + "ABEL!");
         EXPECT_EQ(Text(fnVR_GetPLTitle, h, 1), "");
     }},
    {"formatted",
     [](void* h) {
         EXPECT_EQ(Programs(h), 0);
         DVDPGINFO program{};
         EXPECT_FALSE(fnVR_GetOPGCPGInfo(h, 1, &program, 0));
         EXPECT_EQ(Protection(h, 0).cProtected, 0);
     }},
    {"attributes-625",
     [](void* h) {
         ExpectCell(h, 1, 544, 576, 2, 0);
         ExpectCell(h, 2, 480, 576, 2, 2);
         ExpectCell(h, 3, 544, 576, 2, 0);
         EXPECT_EQ(Cell(h, 2).dwAudioCoding, 4u) << "LPCM, from its own attribute record";
     }},
    {"attributes-525",
     [](void* h) {
         ExpectCell(h, 1, 480, 480, 2, 2);
         ExpectCell(h, 2, 544, 480, 2, 0);
         EXPECT_EQ(Cell(h, 1).dwAudioCoding, 0u) << "AC-3";
     }},
    {"cprm",
     [](void* h) {
         const VR_PROTECTION disc = Protection(h, 0);
         EXPECT_EQ(std::vector<DWORD>({disc.cProtected, disc.wCPSI, disc.cTitleKey, disc.dwPrograms}),
                   std::vector<DWORD>({1, 0x0101, 1, 1}));
         EXPECT_EQ(
             std::vector<int>({Protection(h, 1).cProtected, Protection(h, 2).cProtected, Protection(h, 3).cProtected}),
             std::vector<int>({0, 1, 0}));
         VR_PROTECTION none{};
         EXPECT_FALSE(fnVR_GetProtection(h, 4, &none) || fnVR_GetProtection(h, -1, &none) ||
                      fnVR_GetProtection(h, 1, nullptr) || fnVR_GetProtection(nullptr, 0, &none));
     }},
};

struct Handle {
    void* h = fnVR_MANGRBegin();
    ~Handle() { fnVR_MANGREnd(h); }
};

class Conventions : public testing::TestWithParam<Fixture> {};

TEST_P(Conventions, OpenQuerySaveEditAndExtract) {
    const Fixture& fixture = GetParam();
    TempDir dir;
    const std::string disc = dir.Path().string();
    const ManagementFile patched = Build(fixture, DataDir(), disc);
    ASSERT_FALSE(patched.bytes.empty());
    const auto open = [&](Handle& handle) {
        ASSERT_TRUE(fnVR_MANGROpen(handle.h, disc.c_str()));
        VR_OPEN_STATE state{};
        ASSERT_TRUE(fnVR_GetOpenState(handle.h, &state));
        EXPECT_EQ(std::vector<DWORD>({state.dwOpenedCopy, state.dwOtherCopy, state.dwFindings}),
                  std::vector<DWORD>({0, VR_COPY_SAME, 0}));
        kAnswers.at(fixture.name)(handle.h);
    };
    Handle first;
    open(first);

    // Each program's cell: its sample's bytes, where extract takes them.
    const Bytes movie = ReadWholeFile(disc + "/VR_MOVIE.VRO");
    for (size_t pg = 1; pg <= fixture.samples.size(); ++pg) {
        const seg s = Cell(first.h, static_cast<int>(pg));
        ASSERT_TRUE(s.llStartPos >= 0 && s.llStartPos <= s.llEndPos && size_t(s.llEndPos) <= movie.size());
        Bytes sample = ReadWholeFile(DataDir() + "/" + fixture.samples[pg - 1]);
        if (int(pg) == fixture.scrambled) conventions::Scramble(sample, 0, sample.size());
        EXPECT_EQ(Bytes(movie.begin() + s.llStartPos, movie.begin() + s.llEndPos), sample) << "program " << pg;
    }

    // Saved without an edit: every byte of both files.
    ASSERT_TRUE(fnVR_MANGRSave(first.h, nullptr));
    for (const char* name : {"/VR_MANGR.IFO", "/VR_MANGR.BUP"}) EXPECT_EQ(ReadWholeFile(disc + name), patched.bytes);

    // An edit elsewhere (a playlist more, which moves every table behind
    // RTR_VMGI, and a divided entry point) keeps every changed field.
    ASSERT_TRUE(fnVR_AddPL(first.h));
    if (!fixture.samples.empty()) {
        ASSERT_TRUE(fnVR_DevideOPGCEntryPt(first.h, 1, 25));
    }
    ASSERT_TRUE(fnVR_MANGRSave(first.h, nullptr));
    ManagementFile edited;
    edited.bytes = ReadWholeFile(disc + "/VR_MANGR.IFO");
    EXPECT_NE(edited.bytes, patched.bytes);
    for (const Field& f : patched.changed) {
        EXPECT_EQ(edited.Get(f), patched.Get(f))
            << "record " << static_cast<int>(f.record) << " " << f.index << ", field at " << f.offset;
    }
    Handle again;
    open(again);
}

INSTANTIATE_TEST_SUITE_P(Recorders, Conventions, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<Fixture>& param) {
                             std::string name = param.param.name;
                             for (char& c : name) c = c == '-' ? '_' : c;
                             return name;
                         });

}  // namespace
