// Shrinking, splitting and removing the VOBs of the movie table M_AVFIT and
// removing its attribute records.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "manager/VMG_MODEL.h"
#include "manager/consistency.h"
#include "manager/coverage.h"
#include "support/Recording.h"
#include "support/Time.h"
#include "tables/CM_AVFIT.h"
#include "tables/TableTests.h"

namespace {

const SYSTEMTIME kRecorded = MakeTime(2011, 3, 4, 5, 6, 7);

// Recordings registered back to back from sector 0, all recorded at once.
struct Movies {
    M_AVFIT record;
    CM_AVFIT table{&record};
    explicit Movies(const std::vector<Recording*>& recordings) {
        table.fnNew();
        for (Recording* r : recordings) EXPECT_EQ(table.fnADD_Program(&r->info, &kRecorded), 1);
    }
    M_VOBI& Vob(size_t n) { return record.pM_AVFI->vobi.at(n - 1); }
    CTMAPI Map(size_t n) { return CTMAPI(Vob(n).pTMAPI.get()); }
    std::vector<BYTE> Entries(size_t n) { return Head(Vob(n).pTMAPI->vobuEntries, 3 * Map(n).fnGet_wVOBU_ENT_Ns()); }
    // The table's bytes, checked to load back into the same bytes and to
    // pass the disc's consistency checks.
    std::vector<BYTE> Saved() {
        const std::vector<BYTE> bytes = RoundTrip(record, &CM_AVFIT::fndwLoad_M_AVFIT_From_File);
        std::vector<std::string> findings;
        EXPECT_TRUE(
            vrm::CheckConsistency(VMG_MODEL{nullptr, &record, nullptr, nullptr, nullptr, nullptr, nullptr}, &findings))
            << findings.front();
        return bytes;
    }
};

// VOBUs first .. first + count - 1 of r as a recording of their own that
// starts at `sector`; its video starts where theirs does.
Recording Part(const Recording& r, DWORD first, DWORD count, DWORD sector) {
    Recording p;
    p.info = r.info;
    const __int64 frame = r.info.dwFrameRate == 25000 ? kFrame625 : kFrame525;
    for (DWORD i = 0; i < first; ++i) p.info.llVideoStartPTS += r.table[i].bVOBUFrames * frame;
    p.info.dwFrameNs = 0;
    for (DWORD i = first; i <= first + count; ++i) {
        p.table.push_back(r.table[i]);
        p.table.back().dwVOBUAddr -= r.table[first].dwVOBUAddr;
        if (i < first + count) p.info.dwFrameNs += r.table[i].bVOBUFrames;
    }
    p.info.llVideoEndPTS = p.info.llVideoStartPTS + p.info.dwFrameNs * frame;
    p.info.pVOBUTable = p.table.data();
    p.info.dwVOBUNs = count;
    p.info.dwVOBStartAddr = sector;
    return p;
}

// The VOB fnADD_VOBI makes of a recording.
std::vector<BYTE> NewVob(BYTE stin, const Recording& r) {
    M_VOBI vob;
    CM_VOBI(&vob).fnADD_VOBI(stin, &r.info, &kRecorded);
    return Serialise(CM_VOBI(&vob));
}

}  // namespace

TEST(MovieEdit, TrimmedVOBIsTheVOBOfARecordingOfTheKeptVOBUs) {
    Recording pal = SampleRecording("pal_mpeg2_mp2_4x3.vob"), ntsc = SampleRecording("ntsc_mpeg2_ac3_16x9.vob");
    ASSERT_EQ(Ints({pal.info.dwVOBUNs, ntsc.info.dwVOBUNs}), Ints({4, 4}));
    Movies m({&pal, &ntsc});
    const std::vector<BYTE> whole = m.Saved(), entries = m.Entries(1);
    for (WORD n = 1; n <= 2; ++n) EXPECT_EQ(m.table.fnTrim_VOB(n, 0, 4), 1);
    EXPECT_EQ(m.Saved(), whole) << "all VOBUs kept: not a byte changes";
    // VOBUs 2 and 3 of 4 (34, 39, 40, 36 sectors; 30, 30, 30, 10 fields).
    ASSERT_EQ(m.table.fnTrim_VOB(1, 1, 2), 1);
    const CM_VOBI vob(&m.Vob(1));
    EXPECT_EQ(Ints({m.Map(1).fnGet_dwADR_OFS(), m.Map(1).fnGet_wTM_ENT_Ns(), vob.fnGet_ll_VOB_V_S_PTS(),
                    vob.fnGet_ll_VOB_V_E_PTS()}),
              Ints({34, 1, 14580000 + 15 * kFrame625, 14580000 + 45 * kFrame625}));
    EXPECT_EQ(m.Entries(1), std::vector<BYTE>(entries.begin() + 3, entries.begin() + 9));
    EXPECT_EQ(Serialise(vob), NewVob(1, Part(pal, 1, 2, 34)));
    // At 525/60 a field is 450450 ticks: the head alone, then the tail alone.
    ASSERT_EQ(m.table.fnTrim_VOB(2, 1, 3) + m.table.fnTrim_VOB(2, 0, 2), 2);
    EXPECT_EQ(Serialise(CM_VOBI(&m.Vob(2))), NewVob(2, Part(ntsc, 1, 2, 149 + ntsc.table[1].dwVOBUAddr)));
    // Refusals: no such VOB, no VOBU, a range past the last VOBU.
    const std::vector<BYTE> before = m.Saved();
    EXPECT_EQ(Ints({m.table.fnTrim_VOB(0, 0, 1), m.table.fnTrim_VOB(3, 0, 1), m.table.fnTrim_VOB(1, 0, 0),
                    m.table.fnTrim_VOB(1, 1, 2), m.table.fnTrim_VOB(1, 2, 1)}),
              Ints(5, 0));
    EXPECT_EQ(m.Saved(), before);
}

TEST(MovieEdit, TimeEntriesOfATrimmedVOBAreThoseOfANewRecording) {
    for (DWORD rate : {25000u, 29970u}) {
        std::vector<std::pair<BYTE, DWORD>> vobus;
        for (DWORD i = 0; i < 150; ++i) vobus.push_back({static_cast<BYTE>(10 + i * 7 % 6), 50 + i * 37 % 200});
        Recording r = MakeRecording(vobus, rate, 0, 5 * 27000000);
        // 1875 frames: 7 or 8 time entries.
        const struct { DWORD first, count; } ranges[] = {{0, 150}, {0, 97}, {23, 127}, {23, 90}, {149, 1}};
        for (const auto& k : ranges) {
            SCOPED_TRACE(std::to_string(rate) + " " + std::to_string(k.first) + "+" + std::to_string(k.count));
            Movies m({&r});
            ASSERT_EQ(m.table.fnTrim_VOB(1, k.first, k.count), 1);
            EXPECT_EQ(Serialise(CM_VOBI(&m.Vob(1))), NewVob(1, Part(r, k.first, k.count, r.table[k.first].dwVOBUAddr)));
            m.Saved();
        }
    }
}

TEST(MovieEdit, SeamlessAndAudioGapInformationGoWithTheVOBUsTheyDescribe) {
    Recording r = UniformRecording(4, 100, 27000000);  // 24 fields each
    Movies m({&r, &r});
    for (size_t n = 1; n <= 2; ++n) {
        CM_VOBI vob(&m.Vob(n));
        vob.fnSet_wVOB_TY(0x0088);  // SMLI and AGAPI
        vob.fnSet_c6_VOB_FIRST_SCR(Ptm(123).data(), 6);
        vob.fnSet_c12_VOB_A_STP_PTM(Ptm(27000000 + 40 * kFrame625).data(), 6);  // in VOBU 4
        vob.fnSet_wVOB_A_GAP_LEN2(77);
    }
    const std::vector<BYTE> vob2 = Serialise(CM_VOBI(&m.Vob(2)));
    auto types = [&] { return Ints({CM_VOBI(&m.Vob(1)).fnGet_wVOB_TY(), CM_VOBI(&m.Vob(2)).fnGet_wVOB_TY()}); };
    ASSERT_EQ(m.table.fnTrim_VOB(2, 0, 4), 1);
    EXPECT_EQ(Serialise(CM_VOBI(&m.Vob(2))), vob2) << "nothing dropped: both blocks stay as they were";
    ASSERT_EQ(m.table.fnTrim_VOB(1, 0, 4), 1);
    EXPECT_EQ(types(), Ints({0x88, 0x88}));
    // VOBU 4 goes: the audio stop lies behind the video now, and VOB 2's
    // SMLI named the last SCR of VOB 1.
    ASSERT_EQ(m.table.fnTrim_VOB(1, 0, 3), 1);
    EXPECT_EQ(types(), Ints({0x80, 0x08}));
    ASSERT_EQ(m.table.fnTrim_VOB(2, 1, 3), 1);
    EXPECT_EQ(types(), Ints({0x80, 0}));
    EXPECT_EQ(Serialise(CM_VOBI(&m.Vob(2))).size(), 23u + 10 + 7 + 3 * 3) << "both blocks gone from the disc";
    m.Saved();
}

TEST(MovieEdit, SplitGivesTwoAdjacentVOBsAndLaterOnesMoveUp) {
    Recording pal = SampleRecording("pal_mpeg2_mp2_4x3.vob"), ntsc = SampleRecording("ntsc_mpeg2_ac3_16x9.vob");
    Movies m({&pal, &ntsc, &pal});
    CM_VOBI(&m.Vob(3)).fnSet_wVOB_TY(0x0080);
    const std::vector<BYTE> entries = m.Entries(2), vob3 = Serialise(CM_VOBI(&m.Vob(3)));
    const __int64 start = CM_VOBI(&m.Vob(2)).fnGet_ll_VOB_V_S_PTS(), end = CM_VOBI(&m.Vob(2)).fnGet_ll_VOB_V_E_PTS();
    const std::vector<BYTE> before = m.Saved();
    EXPECT_EQ(Ints({m.table.fnSplit_VOB(2, 0), m.table.fnSplit_VOB(2, 4), m.table.fnSplit_VOB(0, 1),
                    m.table.fnSplit_VOB(4, 1)}),
              Ints(4, 0));
    EXPECT_EQ(m.Saved(), before);

    ASSERT_EQ(m.table.fnSplit_VOB(2, 1), 1);
    std::vector<BYTE> joined = m.Entries(2), second = m.Entries(3);
    joined.insert(joined.end(), second.begin(), second.end());
    EXPECT_EQ(joined, entries);
    const CM_VOBI a(&m.Vob(2)), b(&m.Vob(3));
    EXPECT_EQ(
        Ints({CM_AVFI(m.record.pM_AVFI.get(), 0).fnGet_wM_VOBI_SRP_Ns(), m.Map(3).fnGet_dwADR_OFS(),
              a.fnGet_ll_VOB_V_S_PTS(), a.fnGet_ll_VOB_V_E_PTS(), b.fnGet_ll_VOB_V_E_PTS(), b.fnGet_c1_M_VOB_STIN()}),
        Ints({4, m.Map(2).fnGet_dwADR_OFS() + m.Map(2).fnGet_dwTotal_VOBU_ENT_Size(), start, b.fnGet_ll_VOB_V_S_PTS(),
              end, 2}));
    EXPECT_EQ(Bytes(m.Vob(3).bytes + 2, 7), Bytes(m.Vob(2).bytes + 2, 7)) << "VOB_REC_TM, _SUB and M_VOB_STIN";
    EXPECT_EQ(Serialise(CM_VOBI(&m.Vob(4))), vob3) << "the VOB behind moved up, its SMLI still true";
    m.Saved();

    // A table of the most VOBs takes no more.
    for (DWORD n = 5; n <= CM_AVFI::kMaxVOBs; ++n) {
        m.record.pM_AVFI->vobi.emplace_back();
        std::memcpy(m.record.pM_AVFI->vobi.back().bytes, m.Vob(1).bytes, M_VOBI::kSize);
        m.record.pM_AVFI->vobi.back().pTMAPI = std::make_unique<TMAPI>(*m.Vob(1).pTMAPI);
    }
    CM_AVFI(m.record.pM_AVFI.get(), 0).fnSet_wM_VOBI_SRP_Ns(0xFFFF);
    const std::vector<BYTE> full = Serialise(CM_AVFIT(&m.record));
    EXPECT_EQ(m.table.fnSplit_VOB(1, 1), 0);
    EXPECT_EQ(Serialise(CM_AVFIT(&m.record)), full);
}

TEST(MovieEdit, RemovalsRenumberAndTheLastVOBLeavesTheEmptyTable) {
    Recording pal = SampleRecording("pal_mpeg2_mp2_4x3.vob"), ntsc = SampleRecording("ntsc_mpeg2_ac3_16x9.vob");
    Movies m({&pal, &pal, &ntsc});  // attribute records 1, 1, 2
    CM_VOBI(&m.Vob(3)).fnSet_wVOB_TY(0x0080);
    const std::vector<BYTE> vob1 = Serialise(CM_VOBI(&m.Vob(1))), entries3 = m.Entries(3);
    const std::vector<BYTE> sti2 = Bytes(m.table.fnGet_iTH_M_VOB_STI_Address(1), 60);
    std::vector<BYTE> before = m.Saved();
    EXPECT_EQ(Ints({m.table.fnDEL_VOB(0), m.table.fnDEL_VOB(4), m.table.fnDEL_M_VOB_STI(0), m.table.fnDEL_M_VOB_STI(1),
                    m.table.fnDEL_M_VOB_STI(2), m.table.fnDEL_M_VOB_STI(3)}),
              Ints(6, 0))
        << "no such VOB or record, or a record still named";
    EXPECT_EQ(m.Saved(), before);

    ASSERT_EQ(m.table.fnDEL_VOB(2), 1);
    EXPECT_EQ(Ints({CM_AVFI(m.record.pM_AVFI.get(), 0).fnGet_wM_VOBI_SRP_Ns(), CM_VOBI(&m.Vob(2)).fnGet_wVOB_TY()}),
              Ints({2, 0}))
        << "the VOB behind lost its SMLI with the VOB before it";
    EXPECT_EQ(Ints({m.Entries(2) == entries3, Serialise(CM_VOBI(&m.Vob(1))) == vob1}), Ints({1, 1}));
    m.Saved();
    ASSERT_EQ(m.table.fnDEL_VOB(1) + m.table.fnDEL_M_VOB_STI(1), 2);
    EXPECT_EQ(Ints({m.table.fnGet_c1_M_VOB_STI_Ns(), CM_VOBI(&m.Vob(1)).fnGet_c1_M_VOB_STIN(),
                    static_cast<long long>(m.record.sti.size())}),
              Ints({1, 1, 2 * 60}))
        << "the record behind moved down, the spare slot behind it";
    EXPECT_EQ(Bytes(m.table.fnGet_iTH_M_VOB_STI_Address(0), 60), sti2);
    m.Saved();

    ASSERT_EQ(m.table.fnDEL_VOB(1), 1);
    Movies empty(std::vector<Recording*>{});
    EXPECT_EQ(m.Saved(), empty.Saved());
    EXPECT_EQ(m.Saved(), std::vector<BYTE>({0, 0, 0, 0, 0, 0, 0, 7}));
    // It takes a recording as a new table does.
    ASSERT_EQ(m.table.fnADD_Program(&ntsc.info, &kRecorded) + empty.table.fnADD_Program(&ntsc.info, &kRecorded), 2);
    EXPECT_EQ(m.Saved(), empty.Saved());
}
