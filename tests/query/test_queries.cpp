// The query functions: summaries of the original chain, its programs and
// the playlists; cells and entry-point segments with their stream
// attributes, frame windows, where the bytes are (queued source file or
// stream file) and continuation records; and numbers that name nothing.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "io/codecs.h"
#include "manager/coverage.h"
#include "platform/clock.h"
#include "support/Disc.h"
#include "support/Time.h"

namespace {

constexpr __int64 kVobu = 12 * kFrame625;  // one VOBU of UniformRecording
constexpr __int64 kStart = 27000000;  // video start of the recordings

// Three cells over one VOB of eight VOBUs from kStart: A (VOBUs 0-2, entry
// point at its start), B (VOBUs 3-4, none: a continuation cell) and C (VOBUs
// 5-7, entry point at VOBU 7: a continuation cell, since that lies more than
// half a second after its start). Entry point 1 runs from A through B into
// C's first part; entry point 2 is C's last VOBU.
void AddContinuationCells(PGCI* chain) {
    ASSERT_TRUE(AppendCell(*chain, 1, kStart, kStart + 3 * kVobu, {kStart}) &&
                AppendCell(*chain, 1, kStart + 3 * kVobu, kStart + 5 * kVobu, {}) &&
                AppendCell(*chain, 1, kStart + 5 * kVobu, kStart + 8 * kVobu, {kStart + 7 * kVobu}));
}

template <class T>
T Filled() {
    T v;
    std::memset(&v, 0xAB, sizeof v);
    return v;
}

// Two recordings on different days (two programs) and a still group on the
// second day.
class TwoDays : public ::testing::Test {
protected:
    void SetUp() override {
        {
            vrm::ScopedTestClock clock(day1, 0);
            disc.AddMovie(first);
        }
        vrm::ScopedTestClock clock(day2, 0);
        disc.AddMovie(second);
        disc.AddStill({2});
    }
    SYSTEMTIME day1 = MakeTime(2021, 3, 4, 5, 6, 7);
    SYSTEMTIME day2 = MakeTime(2021, 3, 5, 23, 58, 59);
    Disc disc;
    Recording first = UniformRecording(4, 100, kStart);  // 48 frames, 1920 ms
    Recording second = UniformRecording(2, 100, kStart);  // 24 frames, 960 ms
};

TEST_F(TwoDays, ProgramsWithTheirTextDateAndFirstSegment) {
    DVDPGINFO info = Filled<DVDPGINFO>();
    // Program 2: the recording's and the still group's entry points; its
    // segment record is its own first entry point's, zeroed first.
    ASSERT_EQ(fnVR_GetOPGCPGInfo(disc.m, 2, &info, 0), 1);
    EXPECT_EQ(Int(info.dwCount), 2);
    EXPECT_EQ(Int(info.dwDuration), 960 + 3000);
    EXPECT_EQ(Int(info.dwContentTy), 2);
    EXPECT_EQ(Int(info.dwDay), 5);
    EXPECT_EQ(Int(info.dwHour), 23);
    EXPECT_EQ(Int(info.dwSecond), 59);
    EXPECT_EQ(Int(info.EntrySeg.dwSRPN), 2);
    EXPECT_EQ(Int(info.EntrySeg.dwFrameNs), 24);
    EXPECT_EQ(Int(info.EntrySeg.reserved_tail[0]), 0);
    char text[128] = {};
    FormatDateText(&day2, text, 0);
    EXPECT_STREQ(info.szPrmText, text);
    ASSERT_EQ(disc.m->fnGetOPGCPGInfo(1, &info, 1), 1);  // counting cells
    EXPECT_EQ(Ints({info.dwCount, info.dwContentTy, info.EntrySeg.dwSRPN, info.dwDay}), Ints({1, 0, 1, 4}));
    EXPECT_EQ(Ints({disc.m->fnGetOPGCPGInfo(3, &info, 0), disc.m->fnGetOPGCPGInfo(0, &info, 0),
                    disc.m->fnGetOPGCPGInfo(257, &info, 0)}),
              Ints(3, 0));
}

// A recording and one playlist over its VOB, made on a fixed day.
class OnePlaylist : public ::testing::Test {
protected:
    void SetUp() override {
        vrm::ScopedTestClock clock(MakeTime(2022, 11, 12, 13, 14, 15), 0);
        disc.AddMovie(recording);
        chain = disc.AddPlaylist();
        AddContinuationCells(chain);
    }
    Disc disc;
    Recording recording = UniformRecording(8, 10, kStart);
    PGCI* chain = nullptr;
};

TEST_F(OnePlaylist, PlaylistInformationCellsAndSegments) {
    EXPECT_EQ(fnVR_GetPLCount(disc.m), 1);
    DVDPGCINFO info = Filled<DVDPGCINFO>();
    // Two entry points, covering the whole chain.
    ASSERT_EQ(fnVR_GetPLInfo(disc.m, 1, &info, 0), 1);
    EXPECT_EQ(Int(info.dwCount), 2);
    EXPECT_EQ(Int(info.dwDuration), 3840);
    EXPECT_EQ(Int(info.dwYear), 2022);
    EXPECT_EQ(Int(info.dwMonth), 11);
    EXPECT_EQ(Int(info.dwSecond), 15);
    EXPECT_EQ(Int(info.reserved_164[0]), 0xAB);
    BYTE text[128];
    disc.Playlists().fnGet_c128_PRM_TXTI(0, text);
    EXPECT_EQ(std::memcmp(info.szPrmText, text, 128), 0);
    ASSERT_EQ(disc.m->fnGetPLInfo(1, &info, 1), 1);  // counting cells
    EXPECT_EQ(Ints({info.dwCount, info.dwDuration}), Ints({3, 3840}));

    seg s{};
    ASSERT_EQ(fnVR_GetPLCellInfo(disc.m, 1, 2, &s, 0, 0), 1);
    // B starts on a VOBU boundary: read from the VOBU that holds its first
    // frame, not the one before.
    EXPECT_EQ(Ints({s.dwEntryPtNs, s.dwFrameNs, s.llEndPos - s.llStartPos}), Ints({0, 24, 20 * 2048}));
    EXPECT_EQ(Ints({fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1), fnVR_GetPLCellNsofEntryPt(disc.m, 1, 1, 1),
                    fnVR_GetPLCellNsofEntryPt(disc.m, 1, 3, 1)}),
              Ints({3, 3, 1}));
    ASSERT_EQ(fnVR_GetPLEntryPtInfo(disc.m, 1, 2, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    ASSERT_EQ(fnVR_GetPLEntryPtInfo(disc.m, 1, 3, 0, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 24u);
}

TEST(CellQuery, QueuedDataIsInTheSourceFileAndSavedDataInTheStreamFile) {
    Disc disc;
    Recording first = UniformRecording(4, 100, kStart);
    Recording second = MakeRecording({{12, 50}, {12, 50}, {12, 50}}, 25000, 0, kStart);
    disc.AddMovie(first);
    const std::string source = disc.AddMovie(second, true, 20000);

    seg s{};
    // The bytes: the second file from its first byte.
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_EQ(Int(s.dwSRPN), 2);
    EXPECT_EQ(Int(s.dwCellType), 0);
    EXPECT_EQ(Int(s.dwEntryPtNs), 1);
    EXPECT_EQ(Int(s.dwFrameNs), 36);
    EXPECT_EQ(Int(s.dwDuration), 1440);
    EXPECT_EQ(Int(s.dwFrameRate), 25000);
    EXPECT_EQ(Int(s.dwVideoBitrate), 8000000);
    EXPECT_EQ(Int(s.llStartPos), 0);
    EXPECT_EQ(Int(s.llEndPos), 150 * 2048);
    EXPECT_EQ(Int(s.dwHasNext), 0);
    EXPECT_STREQ(s.szFileName, source.c_str());
    // Saved: the stream file, behind the first recording's 400 sectors.
    ASSERT_EQ(fnVR_MANGRSave(disc.m, nullptr), 1);
    s = seg{};
    ASSERT_EQ(disc.m->fnGetOPGCCellInfo(1, 2, &s, 0, 0), 1);
    EXPECT_STREQ(s.szFileName, disc.m->m_pMovie->fnGetStreamPath());
    EXPECT_EQ(Ints({s.llStartPos, s.llEndPos, s.dwVideoBitrate}), Ints({400 * 2048, 550 * 2048, 8000000}));
    // A frame window narrows the cell; the bytes are those of the stream
    // range the table finds.
    seg raw{};
    ASSERT_EQ(fnVR_GetOPGCCellInfo(disc.m, 1, 1, &s, 10, 40), 1);
    ASSERT_EQ(CM_AVFIT(disc.Model().pM_AVFIT).fnGet_iTH_VOBI_Info(1, &raw, kStart, kStart + 4 * kVobu, 10, 40), 1);
    EXPECT_EQ(Ints({s.dwFrameNs, s.dwDuration, s.llEndPos - s.llStartPos, s.dwVideoBitrate}),
              Ints({30, 1200, raw.llEndPos - raw.llStartPos, 6000000}));
    EXPECT_GT(raw.llEndPos, raw.llStartPos);
}

// The original chain made of the three cells A, B, C of
// AddContinuationCells, in one program.
class ContinuationChain : public ::testing::Test {
protected:
    void SetUp() override {
        disc.AddMovie(recording, false);
        AddContinuationCells(disc.Original());
        CPGCI chain(disc.Original());
        disc.Model().pORG_PGCI->pgi.assign(PGCI::kPGISize, 0);
        chain.fnSet_c1_PG_Ns(1);
        chain.fnSet_wC_Ns(0, 3);
    }
    Disc disc;
    Recording recording = UniformRecording(8, 10, kStart);
};

// The records a segment fills: the caller's chain as far as it reaches,
// allocated ones (released by the caller), or without follow only the head,
// whose pointer is left alone.
TEST_F(ContinuationChain, ContinuationRecords) {
    seg head{}, second{}, third{};
    head.pNext = &second;
    second.pNext = &third;
    second.dwHasNext = 7;  // left over from an earlier query
    ASSERT_EQ(fnVR_GetOPGCEntryPtInfo(disc.m, 1, &head, 1), 1);
    // {has next, next count, frames, start, end, skipped frames} of A, B and
    // C up to its entry point. VOBUs of 10 sectors: a piece that starts on a
    // VOBU boundary is read from that VOBU, skipping nothing. The head's
    // frames are the whole segment's (36 + 24 + 24).
    auto of = [](const seg& x) {
        return Ints({x.dwHasNext, x.dwNextNs, x.dwFrameNs, x.llStartPos / 2048, x.llEndPos / 2048, x.dwSkipFrames});
    };
    EXPECT_EQ(of(head), Ints({1, 2, 84, 0, 30, 0}));
    EXPECT_EQ(of(second), Ints({1, 1, 24, 30, 50, 0}));
    EXPECT_EQ(of(third), Ints({0, 0, 24, 50, 70, 0}));

    // One record behind the head: it is filled and says the segment goes on.
    seg only{}, next{};
    only.pNext = &next;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 1, 1, &only, 1), 1);
    EXPECT_EQ(Ints({only.dwNextNs, next.dwHasNext, next.dwNextNs}), Ints({1, 1, 0}));

    seg s{};
    ASSERT_EQ(disc.m->fnGetEntryPtInfo(disc.Original(), -1, -1, 1, &s, 1, 1), 1);
    ASSERT_TRUE(s.pNext && s.pNext->pNext);
    EXPECT_EQ(Ints({s.dwNextNs, s.pNext->pNext->dwHasNext, s.pNext->pNext->llEndPos}), Ints({2, 0, 70 * 2048}));
    fnReleaseSegChain(&s);  // the sanitizer run reports anything left
    EXPECT_TRUE(s.pNext == nullptr && s.dwHasNext == 0);

    seg* const untouched = &head;
    s.pNext = untouched;
    s.dwNextNs = 5;
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, &s, 0), 1);
    EXPECT_EQ(s.pNext, untouched);
    EXPECT_EQ(Ints({s.dwHasNext, s.dwNextNs, s.dwFrameNs}), Ints({0, 0, 84}));
}

TEST_F(ContinuationChain, AddressesThatNameNoCellOrSegmentGiveZero) {
    seg s{};
    // One program of three cells: neither program 257 (mod 256) nor cell
    // 65537 (mod 65536) is one of them.
    for (const auto& [pg, cell] : {std::pair{0, 1}, {1, 0}, {1, 4}, {2, 1}, {257, 1}, {1, 65537}, {-1, 1}}) {
        EXPECT_EQ(disc.m->fnGetOPGCCellInfo(pg, cell, &s, 0, 0), 0) << pg << " " << cell;
    }
    EXPECT_EQ(Ints({disc.m->fnGetOPGCCellInfo(1, 1, nullptr, 0, 0), disc.m->fnGetCellInfo(nullptr, 1, 1, &s, 0, 0)}),
              Ints(2, 0));
    // Two entry points, not 3 nor 65537 (mod 65536 it is 1).
    EXPECT_EQ(Ints({disc.m->fnGetOPGCEntryPtInfo(3, &s, 0), disc.m->fnGetOPGCEntryPtInfo(65537, &s, 0),
                    disc.m->fnGetOPGCEntryPtInfo(-2, &s, 0)}),
              Ints(3, 0));
    // A has one entry point, there is no cell 4 and no program 2.
    for (const auto& [pg, cell, ep] : {std::array{1, 1, 2}, {1, 4, 0}, {-1, 1, 1}, {2, -1, 1}, {1, -1, 3}, {0, 1, 1}}) {
        EXPECT_EQ(disc.m->fnGetOPGCEntryPtInfo(pg, cell, ep, &s, 0), 0) << pg << " " << cell << " " << ep;
    }
    // Program-relative and cell-relative forms of the same segment.
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, -1, 2, &s, 0), 1);
    EXPECT_EQ(s.dwFrameNs, 12u);
    ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(1, 3, 1, &s, 0), 1);
    EXPECT_EQ(Ints({s.dwFrameNs, s.llStartPos, s.llEndPos}), Ints({12, 70 * 2048, 80 * 2048}));
}

// Positions past 4 GB are exact, also where VOBU boundaries 4 GB apart
// share their low 32 bits.
TEST(EntryPointQuery, PositionsBeyondFourGigabytes) {
    const struct {
        const char* what;
        DWORD vobus, sectors, secondEntry;  // VOBUs of `sectors`; the second entry point at that VOBU
        int query;
        Ints expected;  // start, skipped frames, end, frames
        bool named;
    } cases[] = {
        // 4.5 GB, no two VOBU boundaries 4 GB apart; the entry point starts
        // its VOBU.
        {"kept", 2200, 1000, 2150, 2, {2150LL * 1000 * 2048, 0, 2200LL * 1000 * 2048, 50 * 12}, true},
        // Boundaries 4096 VOBUs apart share their low 32 bits: the segment
        // is VOBUs 0 and 1, not 4096 and 4097.
        {"alike", 4100, 512, 2, 1, {0, 0, 2 * 512 * 2048, 24}, true},
        // The second entry point's segment lies past 4 GB.
        {"far", 4100, 512, 4098, 2, {4098LL * 512 * 2048, 0, 4100LL * 512 * 2048, 2 * 12}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Disc disc;
        Recording r =
            MakeRecording(std::vector<std::pair<BYTE, DWORD>>(c.vobus, {BYTE{12}, c.sectors}), 25000, 0, kStart);
        ASSERT_EQ(disc.m->m_pM_AVFIT->fnADD_Program(&r.info), 1);
        ASSERT_TRUE(AppendCell(*disc.Original(), 1, kStart, kStart + c.vobus * kVobu,
                               {kStart, kStart + c.secondEntry * kVobu}));
        disc.m->m_pMovie->m_dwVROSize = c.vobus * c.sectors;  // as if saved
        seg s{};
        ASSERT_EQ(disc.m->fnGetOPGCEntryPtInfo(c.query, &s, 0), 1);
        EXPECT_STREQ(s.szFileName, c.named ? disc.m->m_pMovie->fnGetStreamPath() : "");
        EXPECT_EQ(Ints({s.llStartPos, s.dwSkipFrames, s.llEndPos, s.dwFrameNs}), c.expected);
        EXPECT_EQ(s.dwHeadSize == 0, !c.named);
    }
}

}  // namespace

namespace {

// Runs as flat numbers: start, count, start, count, ...
std::vector<long long> Flat(const std::vector<VR_SECTOR_RUN>& runs) {
    std::vector<long long> out;
    for (const VR_SECTOR_RUN& r : runs) out.insert(out.end(), {r.dwStart, r.dwSectors});
    return out;
}

}  // namespace

// What runs leave uncovered: runs given in any order, overlapping or
// touching each other, cut by runs of the other list that meet them at
// either end, in the middle or whole; empty runs and runs up to the last
// sector address count as runs.
TEST(StreamRuns, SubtractingRunsLeavesWhatNoneOfTheOthersCovers) {
    EXPECT_EQ(Flat(vrm::SubtractRuns({{200, 2248}, {2400, 50}}, {{0, 312}, {2360, 149}})),
              std::vector<long long>({312, 2048}));
    EXPECT_EQ(Flat(vrm::SubtractRuns({{50, 10}, {0, 20}, {20, 10}, {100, 0}}, {{5, 2}, {25, 30}})),
              std::vector<long long>({0, 5, 7, 18, 55, 5}));
    EXPECT_EQ(Flat(vrm::SubtractRuns({{10, 100}}, {{0, 10}, {110, 5}, {40, 0}, {200, 1}})),
              std::vector<long long>({10, 100}));
    EXPECT_EQ(Flat(vrm::SubtractRuns({{0xFFFFFF00u, 0xFF}}, {{0xFFFFFF10u, 0x10}})),
              std::vector<long long>({0xFFFFFF00u, 0x10, 0xFFFFFF20u, 0xDF}));
}
