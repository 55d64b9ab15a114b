// Discs as recorders of other makers leave them (support/Conventions.h):
// each opens with nothing found wrong, a save without an edit writes every
// byte back, and a save after an edit keeps the changed fields. (What the
// queries answer on them, and the bytes each program extracts, is the tool
// test's golden/conventions.txt.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/Conventions.h"

namespace conventions {
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.name; }
}  // namespace conventions

namespace {

using namespace conventions;

std::string DataDir() { return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data").string(); }

struct Handle {
    void* h = fnVR_MANGRBegin();
    ~Handle() { fnVR_MANGREnd(h); }
};

class Conventions : public testing::TestWithParam<Fixture> {};

TEST_P(Conventions, OpenSaveAndEditKeepTheChangedFields) {
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
    };
    Handle first;
    open(first);
    // Protection of no program: one behind the last, a negative number, no
    // record or no handle.
    VR_PROTECTION p{};
    const int beyond = static_cast<int>(fixture.samples.size()) + 1;
    EXPECT_FALSE(fnVR_GetProtection(first.h, beyond, &p) || fnVR_GetProtection(first.h, -1, &p) ||
                 fnVR_GetProtection(first.h, 1, nullptr) || fnVR_GetProtection(nullptr, 0, &p));

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

// The tables of a saved management file, by their places; VMGI_MAT with
// the start and end addresses (which follow the sizes of the tables) blanked.
std::vector<Bytes> Tables(void* h, const Bytes& file) {
    std::vector<Bytes> tables;
    for (int t = 0; t < VR_TABLE_COUNT; ++t) {
        VR_TABLE_PLACE place{};
        EXPECT_TRUE(fnVR_GetTablePlace(h, t, &place));
        const size_t end = std::min<size_t>(file.size(), size_t{place.dwStart} + place.dwSize);
        tables.emplace_back(file.begin() + std::min<size_t>(place.dwStart, end), file.begin() + static_cast<long>(end));
    }
    for (uint32_t at :
         {VMGI_MAT_LAYOUT::At::RTR_VMG_EA, VMGI_MAT_LAYOUT::At::VMGI_EA, VMGI_MAT_LAYOUT::At::M_AVFIT_SA,
          VMGI_MAT_LAYOUT::At::S_AVFIT_SA, VMGI_MAT_LAYOUT::At::ORG_PGCI_SA, VMGI_MAT_LAYOUT::At::UD_PGCIT_SA,
          VMGI_MAT_LAYOUT::At::TXTDT_MG_SA, VMGI_MAT_LAYOUT::At::MNFIT_SA}) {
        if (tables[0].size() >= at + 4u) std::fill(tables[0].begin() + at, tables[0].begin() + at + 4, 0);
    }
    return tables;
}

// Each edit of a program changes the tables it must and leaves every other
// table byte for byte as the recorder wrote it: divide and combine only the
// original chain; erase and delete also the movie table and the chains
// whose cells name VOBs that moved. The fields the fixture set stay.
TEST_P(Conventions, ProgramEditsLeaveTheOtherTablesAsTheyWere) {
    const Fixture& fixture = GetParam();
    if (fixture.samples.size() < 2) GTEST_SKIP() << "no two programs to edit";
    struct Edit {
        const char* name;
        int (*run)(void*);
        std::vector<int> changes;  // tables (by VR_TABLE_PLACE number) that may change
        int newNumber;  // what a later program's number becomes: + 1, - 1
    };
    const Edit edits[] = {
        {"divide", [](void* h) { return fnVR_DevideProgram(h, 1, 27000000, nullptr); }, {3}, 1},
        {"combine", [](void* h) { return fnVR_CombineProgram(h, 1, nullptr); }, {3}, -1},
        {"erase", [](void* h) { return fnVR_EraseProgramPart(h, 1, 13500000, 40500000, nullptr); }, {1, 3, 4}, 0},
        {"delete", [](void* h) { return fnVR_DelProgram(h, 1, nullptr); }, {1, 3, 4}, -1},
    };
    for (const Edit& edit : edits) {
        TempDir dir;
        const std::string disc = dir.Path().string();
        const ManagementFile patched = Build(fixture, DataDir(), disc);
        ASSERT_FALSE(patched.bytes.empty());
        Handle h;
        ASSERT_TRUE(fnVR_MANGROpen(h.h, disc.c_str()));
        const std::vector<Bytes> before = Tables(h.h, patched.bytes);
        ASSERT_EQ(edit.run(h.h), 1) << edit.name;
        ASSERT_TRUE(fnVR_MANGRSave(h.h, nullptr)) << edit.name;
        ManagementFile edited;
        edited.bytes = ReadWholeFile(disc + "/VR_MANGR.IFO");
        const std::vector<Bytes> after = Tables(h.h, edited.bytes);
        for (int t = 0; t < VR_TABLE_COUNT; ++t) {
            const bool may = std::find(edit.changes.begin(), edit.changes.end(), t) != edit.changes.end();
            if (may) continue;
            EXPECT_EQ(after[static_cast<size_t>(t)], before[static_cast<size_t>(t)]) << edit.name << ": table " << t;
        }
        EXPECT_NE(after[3], before[3]) << edit.name;
        // The fields the fixture set, of the disc and the playlist; of a
        // program not edited, in its record under its new number.
        for (const Field& f : patched.changed) {
            Field now = f;
            if (f.record == Record::kStreamAttributes && edit.changes.size() > 1) continue;  // renumbered
            if (f.record == Record::kProgram) {
                if (f.index == 0 || (f.index == 1 && edit.run == edits[1].run)) continue;  // the programs edited
                now.index = f.index + edit.newNumber;
            }
            EXPECT_EQ(edited.Get(now), patched.Get(f)) << edit.name << ": record " << static_cast<int>(f.record) << " "
                                                       << f.index << ", field at " << f.offset;
        }
        Handle again;
        ASSERT_TRUE(fnVR_MANGROpen(again.h, disc.c_str())) << edit.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Recorders, Conventions, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<Fixture>& param) {
                             std::string name = param.param.name;
                             for (char& c : name) c = c == '-' ? '_' : c;
                             return name;
                         });

}  // namespace
