// The flat functions of disc facts and playlist titles (api/flat_disc.cpp),
// on a disc of the committed samples: one movie recording, one still file.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "api/vrmangr_c.h"
#include "support/TempDir.h"

namespace {

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

struct Saved {
    TempDir dir;
    void* h = fnVR_MANGRBegin();
    Saved() {
        EXPECT_TRUE(fnVR_MANGRNew(h, dir.Path().c_str()) &&
                    fnVR_AddMpegFile(h, Sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr) &&
                    fnVR_AddStillFile(h, Sample("still_pal_2pictures.vob").c_str()) && fnVR_MANGRSave(h, nullptr));
    }
    ~Saved() { fnVR_MANGREnd(h); }
    DWORD Code() const {
        VR_STATUS s{};
        fnVR_MANGRGetLastStatus(h, &s);
        return s.dwCode;
    }
};

}  // namespace

TEST(FlatDisc, FactsPlacesStreamsAndUnitsOfASavedDisc) {
    Saved d;
    VR_DISC_FACTS facts{};
    ASSERT_TRUE(fnVR_GetDiscFacts(d.h, &facts));
    EXPECT_STREQ(facts.szIdentifier, "DVD_RTR_VMG0");
    // The tables lie in file order, apart, RTR_VMGI as long as VMGI_EA says.
    DWORD end = 0;
    for (int t = 0; t < VR_TABLE_COUNT; ++t) {
        VR_TABLE_PLACE place{};
        ASSERT_TRUE(fnVR_GetTablePlace(d.h, t, &place));
        if (t == 0) {
            EXPECT_TRUE(std::strcmp(place.szName, "RTR_VMGI") == 0 && place.dwSize == facts.dwVmgiEnd + 1);
        }
        if (place.dwSize == 0) continue;
        EXPECT_GE(place.dwStart, end) << place.szName;
        end = place.dwStart + place.dwSize;
    }
    EXPECT_LE(end, facts.dwManagementEnd + 1);

    for (int still = 0; still < 2; ++still) {
        VR_STREAM_USE use{};
        VR_STREAM_EXTENT extent{};
        ASSERT_TRUE(fnVR_GetStreamUse(d.h, still, &use, &extent, 1, nullptr, 0, nullptr, 0));
        EXPECT_TRUE(use.dwExtents == 1 && use.dwOverlaps == 0 && use.dwGaps == 0 && use.dwFilePresent == 1 &&
                    use.llMissingBytes == 0 && use.llTrailingBytes == 0 && extent.wNumber == 1);
        EXPECT_EQ(uint64_t{use.dwRecordedEnd} * 2048, static_cast<uint64_t>(use.llFileBytes));
        // Units begin at the recording's start and rise inside it; a short
        // array gets the first ones and the count of all.
        const DWORD count = fnVR_GetUnitStarts(d.h, still, 1, nullptr, 0);
        ASSERT_EQ(count, still ? 2u : 4u);
        std::vector<__int64> starts(count + 1, -1);
        EXPECT_EQ(fnVR_GetUnitStarts(d.h, still, 1, starts.data(), count - 1), count);
        EXPECT_EQ(starts[0], extent.dwStart);
        EXPECT_EQ(starts[count - 1], -1);
        fnVR_GetUnitStarts(d.h, still, 1, starts.data(), count);
        for (DWORD i = 1; i < count; ++i) EXPECT_LT(starts[i - 1], starts[i]);
        EXPECT_LT(starts[count - 1], __int64{use.dwRecordedEnd});
        if (still) continue;
        // Each VOBU's playing time in fields: together the recording's
        // frames, twice.
        std::vector<DWORD> fields(count + 1, 0);
        ASSERT_EQ(fnVR_GetUnitFields(d.h, 1, fields.data(), count), count);
        EXPECT_EQ(fields[count], 0u);
        DVDPGINFO program{};
        ASSERT_TRUE(fnVR_GetOPGCPGInfo(d.h, 1, &program, 0));
        EXPECT_EQ(std::accumulate(fields.begin(), fields.end(), DWORD{0}), 2 * program.EntrySeg.dwFrameNs);
        EXPECT_EQ(fnVR_GetUnitFields(d.h, 2, fields.data(), count), 0u);
    }
}

TEST(FlatDisc, PlaylistTextAndType) {
    Saved d;
    ASSERT_TRUE(fnVR_AddPL(d.h) && fnVR_AddPLEntryPt(d.h, 1, 0, 1));
    DVDPGCINFO info{};
    ASSERT_TRUE(fnVR_SetPLText(d.h, 1, "Holiday") && fnVR_GetPLInfo(d.h, 1, &info, 0));
    EXPECT_STREQ(info.szPrmText, "Holiday");
    EXPECT_STREQ(info.szPrmText + 64, "Holiday");
    EXPECT_FALSE(fnVR_SetPLText(d.h, 1, std::string(64, 'x').c_str()));
    EXPECT_EQ(d.Code(), VRO_ERR_BAD_ARGUMENT);
    EXPECT_EQ(info.dwContentTy, 0u) << "the add typed the playlist by its movie cell";
    ASSERT_TRUE(fnVR_SetPLTypeFromCells(d.h, 1) && fnVR_GetPLInfo(d.h, 1, &info, 0));
    EXPECT_EQ(info.dwContentTy, 0u) << "its one cell is a movie cell";
    EXPECT_STREQ(info.szPrmText, "Holiday");
}

namespace {

// A disc's four files handed over by name, as an image reader does: read
// from a directory here, with reads of one file failing when asked.
struct CallerFiles {
    std::string dir;
    std::string unreadable;  // a file whose reads fail
    int reads = 0;
    static __int64 Size(void* c, const char* name) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(static_cast<CallerFiles*>(c)->dir + "/" + name, ec);
        return ec ? -1 : static_cast<__int64>(size);
    }
    static __int64 Read(void* c, const char* name, uint64_t offset, void* data, DWORD n) {
        auto* self = static_cast<CallerFiles*>(c);
        ++self->reads;
        if (self->unreadable == "throw") throw std::runtime_error("the drive went away");
        if (self->unreadable == name) return -1;
        FILE* f = std::fopen((self->dir + "/" + name).c_str(), "rb");
        if (!f) return -1;
        std::fseek(f, static_cast<long>(offset), SEEK_SET);
        const size_t got = std::fread(data, 1, n, f);
        std::fclose(f);
        return static_cast<__int64>(got);
    }
    VR_DISC_FILES Files() { return VR_DISC_FILES{this, &Size, &Read}; }
};

}  // namespace

TEST(FlatDisc, OpenFromCallerFilesReadsThroughThemAndNeverWrites) {
    Saved d;
    CallerFiles files{d.dir.Path().string(), "", 0};
    const VR_DISC_FILES through = files.Files();
    void* h = fnVR_MANGRBegin();
    ASSERT_TRUE(fnVR_MANGROpenFiles(h, &through, "disc.iso:/DVD_RTAV"));
    EXPECT_GT(files.reads, 0);
    DVDPGCINFO chain{};
    ASSERT_TRUE(fnVR_GetOPGCInfo(h, &chain, 2));
    EXPECT_EQ(chain.dwCount, 1u);  // the movie recording and its still file: one program
    // Segments name the stream file by the location given.
    seg s{};
    ASSERT_TRUE(fnVR_GetOPGCCellInfo(h, 1, 1, &s, 0, 0));
    EXPECT_STREQ(s.szFileName, "disc.iso:/DVD_RTAV/VR_MOVIE.VRO");
    VR_STREAM_USE use{};
    ASSERT_TRUE(fnVR_GetStreamUse(h, 0, &use, nullptr, 0, nullptr, 0, nullptr, 0));
    EXPECT_TRUE(use.dwFilePresent == 1 && use.llMissingBytes == 0);
    // Read only: no add, no save.
    EXPECT_FALSE(fnVR_AddMpegFile(h, Sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr));
    EXPECT_FALSE(fnVR_MANGRSave(h, nullptr));
    VR_STATUS status{};
    fnVR_MANGRGetLastStatus(h, &status);
    EXPECT_EQ(status.dwCode, static_cast<DWORD>(VRO_ERR_READ_ONLY));
    fnVR_MANGREnd(h);

    // An IFO that cannot be read is a damaged copy: the BUP serves.
    files.unreadable = "VR_MANGR.IFO";
    h = fnVR_MANGRBegin();
    ASSERT_TRUE(fnVR_MANGROpenFiles(h, &through, "disc.iso:/DVD_RTAV"));
    VR_OPEN_STATE state{};
    ASSERT_TRUE(fnVR_GetOpenState(h, &state));
    EXPECT_TRUE(state.dwOpenedCopy == 1 && state.dwOtherCopy == VR_COPY_DAMAGED);
    fnVR_MANGREnd(h);
    // Neither readable: refused, with a reason; no files: a bad argument.
    files.unreadable = "";
    CallerFiles none{d.dir.Path().string() + "/nothing", "", 0};
    const VR_DISC_FILES empty = none.Files();
    h = fnVR_MANGRBegin();
    EXPECT_FALSE(fnVR_MANGROpenFiles(h, &empty, "empty.iso"));
    EXPECT_FALSE(fnVR_MANGROpenFiles(h, nullptr, "x"));
    fnVR_MANGRGetLastStatus(h, &status);
    EXPECT_EQ(status.dwCode, static_cast<DWORD>(VRO_ERR_BAD_ARGUMENT));
    // A reader that throws ends the call as a failure that says so, in C
    // as in C++: nothing crosses the interface.
    files.unreadable = "throw";
    EXPECT_FALSE(fnVR_MANGROpenFiles(h, &through, "disc.iso"));
    fnVR_MANGRGetLastStatus(h, &status);
    EXPECT_EQ(status.dwCode, static_cast<DWORD>(VRO_ERR_INTERNAL));
    EXPECT_STREQ(status.szText, "The library failed in a way it does not foresee: the drive went away.");
    vrm_disc_files c{};
    std::memcpy(&c, &through, sizeof c);
    status = VR_STATUS{};
    EXPECT_FALSE(vrm_MANGROpenFiles(h, &c, "disc.iso"));
    fnVR_MANGRGetLastStatus(h, &status);
    EXPECT_EQ(status.dwCode, static_cast<DWORD>(VRO_ERR_INTERNAL));
    fnVR_MANGREnd(h);
}
