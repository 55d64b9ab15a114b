// Discs as recorders of other makers leave them (support/Conventions.h):
// each opens with nothing found wrong, a save without an edit writes every
// byte back, and a save after an edit keeps the changed fields. (What the
// queries answer on them, and the bytes each program extracts, is the tool
// test's golden/conventions.txt.)
#include <gtest/gtest.h>

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

INSTANTIATE_TEST_SUITE_P(Recorders, Conventions, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<Fixture>& param) {
                             std::string name = param.param.name;
                             for (char& c : name) c = c == '-' ? '_' : c;
                             return name;
                         });

}  // namespace
