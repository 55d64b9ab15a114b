#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "io/codecs.h"
#include "support/Time.h"

namespace {

std::string Text(const char* buf, size_t from, size_t n) { return std::string(buf + from, n); }

}  // namespace

TEST(Codecs, Swaps) {
    EXPECT_EQ(Swap16(0x1234), 0x3412);
    EXPECT_EQ(Swap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(Swap32(Swap32(0xCAFEBABEu)), 0xCAFEBABEu);
}

TEST(Codecs, BitFieldsCountFromTheMostSignificantBit) {
    EXPECT_EQ(GetBits8(0xB4, 0, 8), 0xB4);
    EXPECT_EQ(GetBits8(0xB4, 2, 3), 0x06);  // 1011 0100 -> bits 2..4 = 110
    EXPECT_EQ(GetBits8(0xB4, 7, 1), 0);
    EXPECT_EQ(GetBits8(0xB4, 6, 3), 0) << "does not fit";
    EXPECT_EQ(GetBits8(0xFF, 0xFFFFFFFFu, 2), 0) << "an offset that wraps the sum still does not fit";

    const BYTE mem[2] = {0x12, 0x34};
    WORD w;
    std::memcpy(&w, mem, 2);
    EXPECT_EQ(GetBits16(w, 0, 16), 0x1234);
    EXPECT_EQ(GetBits16(w, 4, 8), 0x23);
    EXPECT_EQ(GetBits16(w, 9, 8), 0);

    const BYTE mem4[4] = {0x12, 0x34, 0x56, 0x78};
    DWORD d;
    std::memcpy(&d, mem4, 4);
    EXPECT_EQ(GetBits32(d, 0, 32), 0x12345678u);
    EXPECT_EQ(GetBits32(d, 4, 16), 0x2345u);
    EXPECT_EQ(GetBits32(d, 0, 0), 0u);
    EXPECT_EQ(GetBits32(d, 1, 32), 0u);

    EXPECT_EQ(PutBits8(0x3, 1, 2), 0x60);
    EXPECT_EQ(PutBits8(0xFF, 5, 3), 0x07) << "only the low c bits are placed";
    EXPECT_EQ(PutBits8(0x1, 0, 1), 0x80);
    EXPECT_EQ(PutBits8(0x1, 8, 1), 0);
    // Put then get is the identity on the field.
    for (DWORD o = 0; o < 8; ++o)
        for (DWORD c = 1; o + c <= 8; ++c) EXPECT_EQ(GetBits8(PutBits8(0x5A, o, c), o, c), 0x5A & ((1u << c) - 1));
}

TEST(Codecs, RecordingTime) {
    const SYSTEMTIME t = MakeTime(2003, 7, 4, 15, 9, 30);
    BYTE out[5] = {};
    ASSERT_EQ(PackRecTm(&t, out), 1);
    const BYTE expected[5] = {0x1F, 0x4D, 0xC8, 0xF2, 0x5E};
    EXPECT_EQ(std::memcmp(out, expected, 5), 0);

    DWORD parts[6] = {};
    ASSERT_EQ(UnpackRecTm(out, parts), 1);
    const DWORD back[6] = {2003, 7, 4, 15, 9, 30};
    EXPECT_EQ(std::memcmp(parts, back, sizeof back), 0);

    // Extremes of every field survive the round trip.
    const SYSTEMTIME hi = MakeTime(16383, 12, 31, 23, 59, 59);
    ASSERT_EQ(PackRecTm(&hi, out), 1);
    UnpackRecTm(out, parts);
    const DWORD hiBack[6] = {16383, 12, 31, 23, 59, 59};
    EXPECT_EQ(std::memcmp(parts, hiBack, sizeof hiBack), 0);
}

TEST(Codecs, PresentationTime) {
    BYTE out[6];
    ASSERT_EQ(PtmFrom27MHz(27000000, out), 1);
    const BYTE one_second[6] = {0x00, 0x01, 0x5F, 0x90, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(out, one_second, 6), 0);
    EXPECT_EQ(PtmTo27MHz(out), 27000000u);

    ASSERT_EQ(PtmFrom27MHz(301, out), 1);
    const BYTE b301[6] = {0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
    EXPECT_EQ(std::memcmp(out, b301, 6), 0);
    EXPECT_EQ(PtmTo27MHz(out), 301u);

    // The largest base with the largest extension does not overflow.
    const BYTE top[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x2B};
    EXPECT_EQ(PtmTo27MHz(top), 0xFFFFFFFFull * 300 + 299);
}

TEST(Codecs, DateTextWithTime) {
    char buf[128] = {};
    const SYSTEMTIME afternoon = MakeTime(2003, 7, 4, 15, 9);
    ASSERT_EQ(FormatDateText(&afternoon, buf, 1), 1);
    EXPECT_EQ(Text(buf, 0, 11), std::string("2003/ 7/ 4\0", 11));
    EXPECT_EQ(Text(buf, 11, 2), "PM");
    EXPECT_EQ(buf[13], '\0') << "offset 13 is not written";
    EXPECT_EQ(Text(buf, 14, 4), std::string("3:9\0", 4));
    EXPECT_EQ(std::memcmp(buf, buf + 64, 64), 0) << "both halves carry the text";

    char noon[128] = {};
    const SYSTEMTIME christmas = MakeTime(2003, 12, 25, 12, 30);
    FormatDateText(&christmas, noon, 1);
    EXPECT_EQ(Text(noon, 0, 11), std::string("2003/12/25\0", 11));
    EXPECT_EQ(Text(noon, 11, 2), "AM");
    EXPECT_EQ(Text(noon, 14, 6), std::string("12:30\0", 6));

    char morning[128] = {};
    const SYSTEMTIME early = MakeTime(2003, 1, 2, 9, 5);
    FormatDateText(&early, morning, 1);
    EXPECT_EQ(Text(morning, 11, 2), "AM");
    EXPECT_EQ(Text(morning, 14, 4), std::string("9:5\0", 4));
}

TEST(Codecs, DateTextWithoutTime) {
    char buf[128] = {};
    const SYSTEMTIME t = MakeTime(2026, 12, 6, 23, 59);
    ASSERT_EQ(FormatDateText(&t, buf, 0), 1);
    EXPECT_STREQ(buf, "2026/12/ 6");
    for (int i = 11; i < 64; ++i) EXPECT_EQ(buf[i], '\0') << "offset " << i;
    EXPECT_STREQ(buf + 64, "2026/12/ 6");
}

TEST(Codecs, DateTextMatching) {
    const SYSTEMTIME july4 = MakeTime(2003, 7, 4);
    EXPECT_EQ(DateTextMatches("2003/ 7/ 4", &july4), 1);
    EXPECT_EQ(DateTextMatches("2003/07/04", &july4), 1);
    EXPECT_EQ(DateTextMatches("2003/ 7/ 5", &july4), 0);
    EXPECT_EQ(DateTextMatches("2004/ 7/ 4", &july4), 0);
    EXPECT_EQ(DateTextMatches(nullptr, &july4), 0);

    // A text that ends before the day is no match, and nothing past its end
    // (or past the size given) is read.
    EXPECT_EQ(DateTextMatches("2003/ 7", &july4), 0);
    const char unterminated[9] = {'2', '0', '0', '3', '/', ' ', '7', '/', ' '};
    EXPECT_EQ(DateTextMatches(unterminated, &july4, sizeof unterminated), 0);

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
