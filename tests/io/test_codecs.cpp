#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "support/Ints.h"
#include "support/Time.h"

TEST(Codecs, SwapsAndBitFieldsCountingFromTheMostSignificantBit) {
    EXPECT_EQ(Ints({Swap16(0x1234), Swap32(0x12345678u), Swap32(Swap32(0xCAFEBABEu))}),
              Ints({0x3412, 0x78563412, 0xCAFEBABE}));
    // 1011 0100: bits 2..4 are 110; 3 bits from 6 do not fit, nor does an
    // offset that wraps the sum.
    EXPECT_EQ(Ints({GetBits8(0xB4, 0, 8), GetBits8(0xB4, 2, 3), GetBits8(0xB4, 7, 1), GetBits8(0xB4, 6, 3),
                    GetBits8(0xFF, 0xFFFFFFFFu, 2)}),
              Ints({0xB4, 0x06, 0, 0, 0}));

    const BYTE mem[4] = {0x12, 0x34, 0x56, 0x78};
    WORD w;
    DWORD d;
    std::memcpy(&w, mem, 2);
    std::memcpy(&d, mem, 4);
    EXPECT_EQ(Ints({GetBits16(w, 0, 16), GetBits16(w, 4, 8), GetBits16(w, 9, 8), GetBits32(d, 0, 32),
                    GetBits32(d, 4, 16), GetBits32(d, 0, 0), GetBits32(d, 1, 32)}),
              Ints({0x1234, 0x23, 0, 0x12345678, 0x2345, 0, 0}));
    // Only the low c bits are placed.
    EXPECT_EQ(Ints({PutBits8(0x3, 1, 2), PutBits8(0xFF, 5, 3), PutBits8(0x1, 0, 1), PutBits8(0x1, 8, 1)}),
              Ints({0x60, 0x07, 0x80, 0}));
    // Put then get is the identity on the field.
    for (DWORD o = 0; o < 8; ++o)
        for (DWORD c = 1; o + c <= 8; ++c) EXPECT_EQ(GetBits8(PutBits8(0x5A, o, c), o, c), 0x5A & ((1u << c) - 1));
}

TEST(Codecs, RecordingTime) {
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
}

TEST(Codecs, PresentationTime) {
    const struct {
        uint64_t count;
        std::vector<BYTE> ptm;
    } cases[] = {{27000000, {0x00, 0x01, 0x5F, 0x90, 0x00, 0x00}}, {301, {0x00, 0x00, 0x00, 0x01, 0x00, 0x01}}};
    for (const auto& c : cases) {
        BYTE out[6];
        ASSERT_EQ(PtmFrom27MHz(static_cast<__int64>(c.count), out), 1);
        EXPECT_EQ(std::vector<BYTE>(out, out + 6), c.ptm);
        EXPECT_EQ(PtmTo27MHz(out), c.count);
    }
    // The largest base with the largest extension does not overflow.
    const BYTE top[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x2B};
    EXPECT_EQ(PtmTo27MHz(top), 0xFFFFFFFFull * 300 + 299);
}

TEST(Codecs, DateText) {
    // With the time: the date, then "AM"/"PM" at 11, offset 13 not written,
    // the 12-hour time at 14; both halves carry the text.
    const struct {
        SYSTEMTIME time;
        std::string date, half, clock;
    } cases[] = {
        {MakeTime(2003, 7, 4, 15, 9), std::string("2003/ 7/ 4\0", 11), "PM", std::string("3:9\0", 4)},
        {MakeTime(2003, 12, 25, 12, 30), std::string("2003/12/25\0", 11), "AM", std::string("12:30\0", 6)},
        {MakeTime(2003, 1, 2, 9, 5), std::string("2003/ 1/ 2\0", 11), "AM", std::string("9:5\0", 4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        char buf[128] = {};
        ASSERT_EQ(FormatDateText(&c.time, buf, 1), 1);
        EXPECT_EQ(std::string(buf, 14 + c.clock.size()), c.date + c.half + std::string(1, '\0') + c.clock);
        EXPECT_EQ(std::memcmp(buf, buf + 64, 64), 0);
    }
    // Without it, the date alone, zeros behind it.
    char buf[128] = {};
    const SYSTEMTIME t = MakeTime(2026, 12, 6, 23, 59);
    ASSERT_EQ(FormatDateText(&t, buf, 0), 1);
    EXPECT_STREQ(buf, "2026/12/ 6");
    for (int i = 11; i < 64; ++i) EXPECT_EQ(buf[i], '\0') << "offset " << i;
    EXPECT_STREQ(buf + 64, "2026/12/ 6");
}

TEST(Codecs, DateTextMatching) {
    const SYSTEMTIME july4 = MakeTime(2003, 7, 4);
    // A text that ends before the day is no match, and nothing past its end
    // (or past the size given) is read.
    const char unterminated[9] = {'2', '0', '0', '3', '/', ' ', '7', '/', ' '};
    EXPECT_EQ(Ints({DateTextMatches("2003/ 7/ 4", &july4), DateTextMatches("2003/07/04", &july4),
                    DateTextMatches("2003/ 7/ 5", &july4), DateTextMatches("2004/ 7/ 4", &july4),
                    DateTextMatches(nullptr, &july4), DateTextMatches("2003/ 7", &july4),
                    DateTextMatches(unterminated, &july4, sizeof unterminated)}),
              Ints({1, 1, 0, 0, 0, 0, 0}));

    // Every date written by FormatDateText matches itself.
    for (WORD month = 1; month <= 12; ++month) {
        for (WORD day : {WORD{1}, WORD{9}, WORD{10}, WORD{28}, WORD{31}}) {
            char buf[128] = {};
            const SYSTEMTIME t = MakeTime(1999, month, day, 13, 45);
            FormatDateText(&t, buf, 1);
            EXPECT_EQ(DateTextMatches(buf, &t), 1) << month << "/" << day;
            EXPECT_EQ(DateTextMatches(buf + 64, &t, 64), 1);
        }
    }
}
