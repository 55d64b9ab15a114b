// Titles of programs and playlists through the flat interface: written in
// the disc's character set, saved, read back after a new Open.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "api/vrmangr.h"
#include "support/TempDir.h"
#include "tables/CRTR_VMGI.h"
#include "tables/CVMGI_MAT.h"

namespace {

std::string Sample(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}

std::string Text(DWORD (*get)(void*, int, char*, DWORD), void* h, int n) {
    const DWORD size = get(h, n, nullptr, 0);
    if (size == 0) return "(none)";
    std::string text(size, '\0');
    EXPECT_EQ(get(h, n, &text[0], size), size);
    text.pop_back();
    return text;
}

std::string Why(void* h) {
    VR_STATUS s{};
    fnVR_MANGRGetLastStatus(h, &s);
    return s.szText;
}

// A saved disc of one recording (program 1) and one empty playlist, its
// texts in character set chrs.
struct TitledDisc {
    TempDir dir;
    void* h = fnVR_MANGRBegin();
    explicit TitledDisc(BYTE chrs) {
        EXPECT_TRUE(fnVR_MANGRNew(h, dir.Path().c_str()));
        CVMGI_MAT(static_cast<CVR_MANGR*>(h)->m_pModel->pRTR_VMGI->pVMGI_MAT.get()).fnSet_c1_CHRS(chrs);
        EXPECT_TRUE(fnVR_AddMpegFile(h, Sample("pal_mpeg2_mp2_4x3.vob").c_str(), nullptr) && fnVR_AddPL(h) &&
                    fnVR_MANGRSave(h, nullptr));
    }
    ~TitledDisc() { fnVR_MANGREnd(h); }
    void Reopen() {
        EXPECT_TRUE(fnVR_MANGRSave(h, nullptr));
        fnVR_MANGREnd(h);
        h = fnVR_MANGRBegin();
        EXPECT_TRUE(fnVR_MANGROpen(h, dir.Path().c_str()));
    }
};

const char kJapanese[] = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 1";  // テスト 1
const char kFrench[] = "\xC3\x89t\xC3\xA9 \xC3\xA0 Paris";  // Été à Paris

}  // namespace

TEST(Titles, RoundTripInShiftJisAndLatin1) {
    const struct {
        BYTE chrs;
        const char* title;
        const char* label;
    } cases[] = {{0x12, kJapanese, "??? 1"}, {0x11, kFrench, "Ete a Paris"}};
    for (const auto& c : cases) {
        TitledDisc d(c.chrs);
        ASSERT_TRUE(fnVR_SetProgramTitle(d.h, 1, c.title)) << Why(d.h);
        ASSERT_TRUE(fnVR_SetPLTitle(d.h, 1, c.title)) << Why(d.h);
        d.Reopen();
        EXPECT_EQ(Text(fnVR_GetProgramTitle, d.h, 1), c.title);
        EXPECT_EQ(Text(fnVR_GetPLTitle, d.h, 1), c.title);
        EXPECT_EQ(Text(fnVR_GetProgramLabel, d.h, 1), c.label);
        EXPECT_EQ(Text(fnVR_GetPLLabel, d.h, 1), c.label);
        VR_CHARACTER_SET set{};
        ASSERT_TRUE(fnVR_GetCharacterSet(d.h, &set));
        EXPECT_EQ(set.cCode, c.chrs);
        EXPECT_EQ(set.cKnown, 1);
        // The bytes on disc: the title in the set, behind the label's half.
        DVDPGCINFO pl{};
        ASSERT_TRUE(fnVR_GetPLInfo(d.h, 1, &pl, 0));
        const std::string second(pl.szPrmText + 64, 12);
        EXPECT_EQ(second, c.chrs == 0x12 ? std::string("\x83\x65\x83\x58\x83\x67 1\0\0\0\0", 12)
                                         : std::string("\xC9t\xE9 \xE0 Paris\0", 12));
    }
}

TEST(Titles, RefusalsChangeNothingAndSaySo) {
    TitledDisc d(0x12);
    DVDPGINFO before{}, after{};
    ASSERT_TRUE(fnVR_GetOPGCPGInfo(d.h, 1, &before, 0));
    EXPECT_FALSE(fnVR_SetProgramTitle(d.h, 1, kFrench));
    EXPECT_NE(Why(d.h).find("cannot be written in Shift-JIS"), std::string::npos) << Why(d.h);
    EXPECT_FALSE(fnVR_SetPLTitle(d.h, 1, std::string(64, 'x').c_str()));
    EXPECT_NE(Why(d.h).find("at most 63"), std::string::npos) << Why(d.h);
    ASSERT_TRUE(fnVR_GetOPGCPGInfo(d.h, 1, &after, 0));
    EXPECT_EQ(std::string(before.szPrmText, 128), std::string(after.szPrmText, 128));

    EXPECT_FALSE(fnVR_SetProgramTitle(d.h, 2, "x") || fnVR_SetPLTitle(d.h, 0, "x") ||
                 fnVR_SetProgramTitle(d.h, 1, nullptr));
    EXPECT_EQ(fnVR_GetProgramTitle(d.h, 2, nullptr, 0) + fnVR_GetPLLabel(d.h, 2, nullptr, 0), 0u);
    EXPECT_EQ(Why(d.h), "There is no playlist 2.");
    EXPECT_FALSE(fnVR_SetProgramTitle(nullptr, 1, "x") || fnVR_GetProgramTitle(nullptr, 1, nullptr, 0) ||
                 fnVR_GetCharacterSet(nullptr, nullptr));

    // A buffer too small gets nothing; "" clears both halves.
    ASSERT_TRUE(fnVR_SetProgramTitle(d.h, 1, "TEST1"));
    char small[5] = "keep";
    EXPECT_EQ(fnVR_GetProgramTitle(d.h, 1, small, sizeof small), 6u);
    EXPECT_STREQ(small, "keep");
    ASSERT_TRUE(fnVR_SetProgramTitle(d.h, 1, ""));
    ASSERT_TRUE(fnVR_GetOPGCPGInfo(d.h, 1, &after, 0));
    EXPECT_EQ(std::string(after.szPrmText, 128), std::string(128, '\0'));

    // A set the library does not know: texts read as Latin-1, none written.
    CVMGI_MAT(static_cast<CVR_MANGR*>(d.h)->m_pModel->pRTR_VMGI->pVMGI_MAT.get()).fnSet_c1_CHRS(0x42);
    VR_CHARACTER_SET set{};
    ASSERT_TRUE(fnVR_GetCharacterSet(d.h, &set));
    EXPECT_EQ(set.cKnown, 0);
    EXPECT_STREQ(set.szName, "unknown");
    EXPECT_FALSE(fnVR_SetPLTitle(d.h, 1, "x"));
    EXPECT_NE(Why(d.h).find("CHRS 0x42"), std::string::npos) << Why(d.h);
}
