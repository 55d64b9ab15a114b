// Texts in the disc's character set: decoding fields as recorders leave
// them (no NUL, padding, bytes of no character) and encoding titles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/TextCodec.h"

using vrm::DecodeText;
using vrm::EncodeText;

namespace {

std::vector<BYTE> Bytes(const std::string& s, size_t size = 0) {
    std::vector<BYTE> b(s.begin(), s.end());
    if (size > b.size()) b.resize(size, 0);
    return b;
}

std::string Decoded(BYTE chrs, const std::string& field) {
    const std::vector<BYTE> b = Bytes(field);
    return DecodeText(chrs, b.data(), b.size()).utf8;
}

// Well-formed UTF-8 (lead and continuation bytes only; the codec's own
// strictness is tested through EncodeText).
bool Utf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

const std::string kTestSjis = "\x83\x65\x83\x58\x83\x67";  // テスト in Shift-JIS
const std::string kTestUtf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";
const std::string kReplacement = "\xEF\xBF\xBD";

}  // namespace

TEST(TextCodec, DecodesEachSetUpToTheNulOrTheFieldsEndWithoutPadding) {
    EXPECT_EQ(Decoded(vrm::kChrsShiftJis, kTestSjis + std::string(58, '\0')), kTestUtf8);
    // Code page 932 keeps backslash and tilde, and has half-width kana.
    EXPECT_EQ(Decoded(vrm::kChrsShiftJis, "a\\b~\xB1"), "a\\b~\xEF\xBD\xB1");
    EXPECT_EQ(Decoded(vrm::kChrsLatin1, std::string("Caf\xE9\0junk", 9)), "Caf\xC3\xA9");
    EXPECT_EQ(Decoded(vrm::kChrsAscii, "TEST1   "), "TEST1");
    // A field filled to its end has no NUL: all 64 bytes are the text.
    const std::string full(64, 'x');
    EXPECT_EQ(Decoded(vrm::kChrsAscii, full), full);
    // A label of spaces, or zeros, is no label.
    EXPECT_EQ(Decoded(vrm::kChrsShiftJis, std::string(64, ' ')), "");
    EXPECT_EQ(Decoded(vrm::kChrsShiftJis, std::string(64, '\0')), "");
}

TEST(TextCodec, BytesOfNoCharacterBecomeReplacementsAndUnknownSetsReadAsLatin1) {
    // A stray trail byte, then a lead byte cut off by the field's end.
    const std::vector<BYTE> sjis = Bytes(
        "A\x80"
        "B\x83");
    const vrm::DecodedText t = DecodeText(vrm::kChrsShiftJis, sjis.data(), sjis.size());
    EXPECT_EQ(t.utf8, "A" + kReplacement + "B" + kReplacement);
    EXPECT_TRUE(t.replaced);
    EXPECT_FALSE(t.unknownSet);
    EXPECT_EQ(Decoded(vrm::kChrsAscii,
                      "a\xFF"
                      "b"),
              "a" + kReplacement + "b");
    // Every pair of byte values decodes to UTF-8 (U+FFFD where the set has
    // no character), read inside the field only.
    for (int b = 1; b < 256; ++b) {
        for (BYTE chrs : {vrm::kChrsAscii, vrm::kChrsShiftJis}) {
            const BYTE field[3] = {static_cast<BYTE>(b), static_cast<BYTE>(b), 0x40};
            EXPECT_TRUE(Utf8(DecodeText(chrs, field, 2).utf8)) << b;
        }
    }
    const std::vector<BYTE> odd = Bytes("Caf\xE9");
    const vrm::DecodedText u = DecodeText(0x42, odd.data(), odd.size());
    EXPECT_TRUE(u.unknownSet);
    EXPECT_EQ(u.utf8, "Caf\xC3\xA9");
    EXPECT_EQ(vrm::CharacterSetName(0x42), nullptr);
}

TEST(TextCodec, EncodesTitlesAndRefusesWhatTheSetCannotHold) {
    std::string out, why;
    ASSERT_TRUE(EncodeText(vrm::kChrsShiftJis, kTestUtf8 + "1", 63, &out, &why)) << why;
    EXPECT_EQ(out, kTestSjis + "1");
    ASSERT_TRUE(EncodeText(vrm::kChrsLatin1, "Caf\xC3\xA9", 63, &out, &why));
    EXPECT_EQ(out, "Caf\xE9");

    const struct {
        BYTE chrs;
        std::string text;
        const char* says;
    } refused[] = {
        {vrm::kChrsShiftJis, "Caf\xC3\xA9", "'\xC3\xA9' (U+00E9) cannot be written in Shift-JIS"},
        {vrm::kChrsAscii, "Caf\xC3\xA9", "in ASCII"},
        {vrm::kChrsLatin1, kTestUtf8, "(U+30C6)"},
        {vrm::kChrsLatin1, "ab\xC3", "not valid UTF-8"},
        {vrm::kChrsLatin1, "\xC0\xAF", "not valid UTF-8"},  // an overlong '/'
        {vrm::kChrsLatin1, "\xED\xA0\x80", "not valid UTF-8"},  // a surrogate
        {vrm::kChrsLatin1, "a\nb", "control character (U+000A)"},
        {vrm::kChrsLatin1, std::string(64, 'x'), "takes 64 bytes in ISO 8859-1; at most 63 fit"},
        // 22 Japanese characters: 66 bytes of UTF-8 would fit no better,
        // but 44 of Shift-JIS do; 32 take 64.
        {vrm::kChrsShiftJis,
         [] {
             std::string s;
             for (int i = 0; i < 32; ++i) s += "\xE3\x83\x86";
             return s;
         }(),
         "takes 64 bytes in Shift-JIS"},
        {0x42, "a", "CHRS 0x42"},
    };
    for (const auto& r : refused) {
        out = "kept";
        EXPECT_FALSE(EncodeText(r.chrs, r.text, 63, &out, &why)) << r.says;
        EXPECT_NE(why.find(r.says), std::string::npos) << why;
        EXPECT_EQ(out, "kept");
    }
    std::string japanese;
    for (int i = 0; i < 22; ++i) japanese += "\xE3\x83\x86";
    EXPECT_TRUE(EncodeText(vrm::kChrsShiftJis, japanese, 63, &out, &why));
    EXPECT_EQ(out.size(), 44u);
    // The ASCII label beside a title: '?' for what ASCII lacks, cut at the
    // bytes given.
    EXPECT_EQ(vrm::AsciiLabel("Tokyo " + kTestUtf8, 63), "Tokyo ???");
    EXPECT_EQ(vrm::AsciiLabel(std::string(70, 'a'), 63), std::string(63, 'a'));
}
