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

TEST(Codecs, DateTextAndItsMatching) {
    // With the time: the date, then "AM"/"PM" at 11 (noon is AM), offset 13
    // not written, the 12-hour time at 14; both halves carry the text.
    const struct {
        SYSTEMTIME time;
        std::string text;
    } cases[] = {
        {MakeTime(2003, 7, 4, 15, 9), std::string("2003/ 7/ 4\0PM\0003:9\0", 18)},
        {MakeTime(2003, 12, 25, 12, 30), std::string("2003/12/25\0AM\00012:30\0", 20)},
    };
    for (const auto& c : cases) {
        char buf[128] = {};
        ASSERT_EQ(FormatDateText(&c.time, buf, 1), 1);
        EXPECT_EQ(std::string(buf, c.text.size()), c.text);
        EXPECT_EQ(std::memcmp(buf, buf + 64, 64), 0);
        EXPECT_EQ(Ints({DateTextMatches(buf, &c.time), DateTextMatches(buf + 64, &c.time, 64)}), Ints({1, 1}));
    }
    // A text that ends before the day is no match, and nothing past its end
    // (or past the size given) is read.
    const SYSTEMTIME july4 = MakeTime(2003, 7, 4);
    const char unterminated[9] = {'2', '0', '0', '3', '/', ' ', '7', '/', ' '};
    EXPECT_EQ(Ints({DateTextMatches("2003/07/04", &july4), DateTextMatches("2003/ 7/ 5", &july4),
                    DateTextMatches("2004/ 7/ 4", &july4), DateTextMatches(nullptr, &july4),
                    DateTextMatches("2003/ 7", &july4), DateTextMatches(unterminated, &july4, sizeof unterminated)}),
              Ints({1, 0, 0, 0, 0, 0}));
}
