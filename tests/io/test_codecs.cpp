#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "support/Ints.h"
#include "support/Time.h"

TEST(Codecs, RecordingAndPresentationTime) {
    // A date, and the extremes of every field, pack and come back.
    const struct {
        SYSTEMTIME time;
        std::vector<BYTE> packed;
    } cases[] = {
        {MakeTime(2003, 7, 4, 15, 9, 30), {0x1F, 0x4D, 0xC8, 0xF2, 0x5E}},
        {MakeTime(16383, 12, 31, 23, 59, 59), {0xFF, 0xFF, 0x3F, 0x7E, 0xFB}},
    };
    for (const auto& c : cases) {
        BYTE out[5] = {};
        ASSERT_EQ(PackRecTm(&c.time, out), 1);
        EXPECT_EQ(std::vector<BYTE>(out, out + 5), c.packed);
        DWORD parts[6] = {};
        ASSERT_EQ(UnpackRecTm(out, parts), 1);
        const SYSTEMTIME& t = c.time;
        EXPECT_EQ(std::vector<DWORD>(parts, parts + 6),
                  (std::vector<DWORD>{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond}));
    }
    BYTE ptm[6];
    ASSERT_EQ(PtmFrom27MHz(27000301, ptm), 1);
    EXPECT_EQ(std::vector<BYTE>(ptm, ptm + 6), (std::vector<BYTE>{0x00, 0x01, 0x5F, 0x91, 0x00, 0x01}));
    // The largest base with the largest extension does not overflow.
    const BYTE top[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x2B};
    EXPECT_EQ(PtmTo27MHz(top), 0xFFFFFFFFull * 300 + 299);
}
