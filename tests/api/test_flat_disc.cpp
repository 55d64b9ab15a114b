// The flat functions of disc facts and playlist titles (api/flat_disc.cpp),
// on a disc of the committed samples: one movie recording, one still file.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
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

TEST(FlatDisc, RefusesANullHandleAndNumbersThatNameNothing) {
    VR_OPEN_STATE state{};
    VR_OPEN_FINDING finding{};
    VR_DISC_FACTS facts{};
    VR_TABLE_PLACE place{};
    VR_STREAM_USE use{};
    EXPECT_FALSE(fnVR_GetOpenState(nullptr, &state) || fnVR_GetOpenFinding(nullptr, 0, &finding) ||
                 fnVR_GetDiscFacts(nullptr, &facts) || fnVR_GetTablePlace(nullptr, 0, &place) ||
                 fnVR_GetStreamUse(nullptr, 0, &use, nullptr, 0, nullptr, 0, nullptr, 0) ||
                 fnVR_GetUnitStarts(nullptr, 0, 1, nullptr, 0) || fnVR_SetPLText(nullptr, 1, "x") ||
                 fnVR_SetPLTypeFromCells(nullptr, 1) || fnVR_MANGRGetLastError(nullptr));
    fnVR_MANGREnd(nullptr);
    Saved d;
    EXPECT_FALSE(fnVR_GetTablePlace(d.h, -1, &place) || fnVR_GetTablePlace(d.h, VR_TABLE_COUNT, &place) ||
                 fnVR_GetOpenFinding(d.h, 0, &finding) || fnVR_GetUnitStarts(d.h, 0, 2, nullptr, 0) ||
                 fnVR_GetUnitStarts(d.h, 1, 0, nullptr, 0) ||
                 fnVR_GetStreamUse(d.h, 0, nullptr, nullptr, 0, nullptr, 0, nullptr, 0));
    EXPECT_FALSE(fnVR_SetPLText(d.h, 1, "x"));
    EXPECT_EQ(d.Code(), VRO_ERR_NO_SUCH_ITEM);
}

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
    EXPECT_EQ(info.dwContentTy, 1u) << "a new playlist is typed as empty";
    ASSERT_TRUE(fnVR_SetPLTypeFromCells(d.h, 1) && fnVR_GetPLInfo(d.h, 1, &info, 0));
    EXPECT_EQ(info.dwContentTy, 0u) << "its one cell is a movie cell";
    EXPECT_STREQ(info.szPrmText, "Holiday");
}

// Which copy Open used and what it found of the other; with both damaged,
// the findings name each copy with its kind.
TEST(FlatDisc, WhatOpenFoundOfTheCopies) {
    Saved d;
    const std::string dir = d.dir.Path().string(), ifo = d.dir.File("VR_MANGR.IFO"), bup = d.dir.File("VR_MANGR.BUP");
    VR_OPEN_STATE state{};
    ASSERT_TRUE(fnVR_MANGROpen(d.h, dir.c_str()) && fnVR_GetOpenState(d.h, &state));
    EXPECT_TRUE(state.dwOpenedCopy == 0 && state.dwOtherCopy == VR_COPY_SAME && state.dwFindings == 0);
    const auto good = ReadWholeFile(ifo);
    std::filesystem::remove(ifo);
    ASSERT_TRUE(fnVR_MANGROpen(d.h, dir.c_str()) && fnVR_GetOpenState(d.h, &state));
    EXPECT_TRUE(state.dwOpenedCopy == 1 && state.dwOtherCopy == VR_COPY_MISSING);
    // The IFO's first program counts 0x8000 cells; the BUP's M_AVFIT_SA
    // points outside the file.
    std::vector<unsigned char> bad = good;
    const size_t cells = size_t{good[304]} << 24 | size_t{good[305]} << 16 | size_t{good[306]} << 8 | good[307];
    bad[cells + 6] = 0x80, bad[cells + 7] = 0;
    WriteWholeFile(ifo, bad);
    bad = good;
    bad[256] = 0x7F, bad[257] = bad[258] = 0xFF, bad[259] = 0;
    WriteWholeFile(bup, bad);
    EXPECT_FALSE(fnVR_MANGROpen(d.h, dir.c_str()));
    ASSERT_TRUE(fnVR_GetOpenState(d.h, &state));
    bool tables = false, copy = false;
    for (DWORD i = 0; i < state.dwFindings; ++i) {
        VR_OPEN_FINDING f{};
        ASSERT_TRUE(fnVR_GetOpenFinding(d.h, i, &f));
        tables |= f.dwCopy == 0 && f.dwKind == VR_FINDING_TABLES && std::strncmp(f.szText, "ORG_PGCI", 8) == 0;
        copy |= f.dwCopy == 1 && f.dwKind == VR_FINDING_COPY && std::strncmp(f.szText, "does not load", 13) == 0;
    }
    EXPECT_TRUE(tables && copy) << state.dwFindings << " findings";
}
