// The stream objects' file side: binding to a directory, the queue, the
// append and its failures, and mapping stream positions to files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "platform/file.h"

namespace fs = std::filesystem;

namespace {

using ps::Bytes;
using ps::Cat;
using Parts = std::vector<std::pair<DWORD, DWORD>>;

// A file whose sector i reads "<tag>#<i>;" then the tag's letter repeated.
Bytes TaggedFile(char tag, size_t sectors) {
    Bytes bytes(sectors * kSector, static_cast<unsigned char>(tag));
    for (size_t i = 0; i < sectors; ++i) {
        const std::string head = std::string(1, tag) + "#" + std::to_string(i) + ";";
        std::memcpy(bytes.data() + i * kSector, head.data(), head.size());
    }
    return bytes;
}

// A record as an analyser hands it over, the closing element behind the
// last entry: movie VOBUs of {sectors, 0}, or still pictures of {video,
// audio} sectors.
struct Record {
    std::vector<VR_VOBU_ELEMENT> table;
    VR_MPEGFILE_INFO info{};
    explicit Record(const Parts& parts) {
        DWORD addr = 0;
        for (const auto& [video, audio] : parts) {
            table.push_back(VR_VOBU_ELEMENT{addr, BYTE(audio ? video : 0), 0, audio, audio ? 38u : 0u});
            addr += video + audio;
        }
        table.push_back(VR_VOBU_ELEMENT{addr, 0, 0, 0, 0});
        info.dwFrameRate = 25000;
        info.dwVOBUNs = info.dwFrameNs = DWORD(parts.size());
        info.pVOBUTable = table.data();
        info.dwVOBStartAddr = 0xDEADBEEF;  // the manager sets a movie VOB's start
    }
};

// A tagged source file of the given number of sectors.
struct Source {
    std::string path;
    Bytes bytes;
    Source(const TempDir& dir, char tag, size_t sectors)
        : path(dir.File(std::string("src_") + tag + ".mpg")), bytes(TaggedFile(tag, sectors)) {
        WriteWholeFile(path, bytes);
    }
};

// Queues a source as one VOB (of 1-sector VOBUs or pictures), by default whole.
int Queue(CVRO_DATA& vro, const Source& src, size_t sectors = 0) {
    Record rec(Parts(sectors ? sectors : src.bytes.size() / kSector, {1, 0}));
    vro.fnSetAnalysedFileName(src.path.c_str());
    return vro.fnAddVOBToList(&rec.info);
}

// A movie object that records the progress reports it receives (the
// callback's context is the stream object doing the work).
struct ProbedMovie : CVR_MOVIE {
    std::vector<std::vector<DWORD>> seen;  // {phase, done, total, file}
};

int __stdcall Report(void* context, DWORD phase, DWORD done, DWORD total, DWORD file) {
    static_cast<ProbedMovie*>(static_cast<CVRO_DATA*>(context))->seen.push_back({phase, done, total, file});
    return 1;
}

// A stream of 3 sectors with two files queued behind it, the second of
// several copy blocks.
struct TwoQueued {
    TempDir dir;
    const Bytes old = TaggedFile('o', 3);
    Source a{dir, 'a', 2}, b{dir, 'b', 2500};
    ProbedMovie movie;
    bool ready = false;
    TwoQueued() {
        WriteWholeFile(dir.File("VR_MOVIE.VRO"), old);
        ready = movie.fnInit(dir.Path().c_str(), VRO_INIT_OPEN) == 1 && Queue(movie, a) == 1 && Queue(movie, b) == 1;
    }
    Bytes Stream() const { return ReadWholeFile(dir.File("VR_MOVIE.VRO")); }
};

}  // namespace

TEST(VroInit, ModesAndRefusals) {
    TempDir dir;
    CVR_MOVIE movie;
    EXPECT_EQ(After(movie, movie.fnInit(dir.Path().c_str(), 0x12345678)), Ints({0, VRO_ERR_BAD_ARGUMENT}));
    EXPECT_EQ(After(movie, movie.fnInit(dir.Path().c_str(), VRO_INIT_OPEN)), Ints({0, VRO_ERR_STREAM_MISSING}));
    EXPECT_FALSE(fs::exists(dir.File("VR_MOVIE.VRO"))) << "Open creates nothing";

    ASSERT_EQ(movie.fnInit((dir.Path().string() + "//").c_str(), VRO_INIT_NEW), 1);
    EXPECT_EQ(std::string(movie.fnGetStreamPath()), dir.File("VR_MOVIE.VRO")) << "trailing slashes dropped";
    EXPECT_EQ(fs::file_size(dir.File("VR_MOVIE.VRO")), 0u);

    // Open counts whole sectors; an append with nothing queued touches
    // nothing, and the recorded end never passes the file's data.
    Bytes data = TaggedFile('o', 5);
    data.resize(data.size() + 100, 0);
    WriteWholeFile(dir.File("VR_MOVIE.VRO"), data);
    ASSERT_EQ(movie.fnInit(dir.Path().c_str(), VRO_INIT_OPEN), 1);
    EXPECT_EQ(movie.m_dwVROSize, 5u);
    ASSERT_EQ(movie.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MOVIE.VRO")), data);
    EXPECT_EQ(After(movie, movie.fnSetRecordedEnd(6)), Ints({0, VRO_ERR_STREAM_SHORT}));
    EXPECT_EQ(movie.m_dwVROSize, 5u);
    // Whole sectors behind the recorded end are neither written over nor
    // appended behind; a partial sector holds no recording and is written over.
    Source a(dir, 'a', 2);
    ASSERT_EQ(movie.fnSetRecordedEnd(3), 1);
    ASSERT_EQ(Queue(movie, a), 1);
    EXPECT_EQ(After(movie, movie.fnAppendVOBListToVRO(nullptr)), Ints({0, VRO_ERR_TRAILING_DATA}));
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MOVIE.VRO")), data);
    ASSERT_EQ(movie.fnRemoveLastVOBFromList(), 1);
    ASSERT_EQ(movie.fnSetRecordedEnd(5), 1);
    ASSERT_EQ(Queue(movie, a), 1);
    ASSERT_EQ(movie.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_MOVIE.VRO")), Cat({TaggedFile('o', 5), a.bytes}));

    CVR_STILL still;
    EXPECT_EQ(After(still, still.fnInit(dir.File("no/such").c_str(), VRO_INIT_NEW)), Ints({0, VRO_ERR_STREAM_CREATE}));
    // Open without the file fails but binds: a disc without still pictures
    // saves, and its first file creates the stream.
    EXPECT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_OPEN), 0);
    EXPECT_EQ(still.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_FALSE(fs::exists(dir.File("VR_STILL.VRO")));
    Source s(dir, 's', 2);
    ASSERT_EQ(Queue(still, s), 1);
    ASSERT_EQ(still.fnAppendVOBListToVRO(nullptr), 1);
    EXPECT_EQ(ReadWholeFile(dir.File("VR_STILL.VRO")), s.bytes);
    fs::remove(dir.File("VR_STILL.VRO"));
    fs::create_directory(dir.File("VR_STILL.VRO"));
    EXPECT_EQ(still.fnInit(dir.Path().c_str(), VRO_INIT_NEW), 0) << "a directory is not a stream file";
}

// The kernel copy, and the copy through memory where the kernel cannot
// copy, land the queued files back to back behind the recorded data and
// report progress once per block.
TEST(VroAppend, QueuedFilesLandBehindTheRecordedDataWithOrWithoutTheKernelCopy) {
    for (int refusal : {0, EXDEV, EOPNOTSUPP, ENOSYS, EIO}) {
        SCOPED_TRACE(refusal);
        TwoQueued q;
        ASSERT_TRUE(q.ready);
        EXPECT_EQ(Ints({q.movie.fnGetQueuedEnd(), q.movie.m_dwVROSize}), Ints({2505, 3})) << "nothing moves before";
        // The first write of the file system fails with the errno (as where
        // the kernel cannot copy between two files); all else goes through.
        int error = refusal;
        vrm::SetFaultHook(
            [](void* context, const char* operation) {
                return std::strcmp(operation, "write") != 0 ? 0 : std::exchange(*static_cast<int*>(context), 0);
            },
            &error);
        const int appended = q.movie.fnAppendVOBListToVRO(Report);
        vrm::SetFaultHook(nullptr, nullptr);
        ASSERT_EQ(appended, 1) << q.movie.fnGetLastErrorDetail();
        EXPECT_EQ(error, 0) << "the kernel copy was tried";
        EXPECT_EQ(q.Stream(), Cat({q.old, q.a.bytes, q.b.bytes}));
        EXPECT_EQ(Ints({q.movie.m_dwVROSize, q.movie.fnGetQueuedFileNs()}), Ints({2505, 0}));
        const auto& seen = q.movie.seen;
        ASSERT_GE(seen.size(), 3u);
        EXPECT_LE(seen.size(), 8u) << "one report per block, not per sector";
        EXPECT_EQ(seen.front(), (std::vector<DWORD>{VRO_PROGRESS_APPEND, 0, 2502, 1}));
        EXPECT_EQ(seen.back(), (std::vector<DWORD>{VRO_PROGRESS_APPEND, 2502, 2502, 2}));
        for (size_t i = 1; i < seen.size(); ++i) EXPECT_GT(seen[i][1], seen[i - 1][1]);
    }
}

// Positions map to the stream file or a queued file, and the video bit rate
// is read there: in the recorded data up to its end, or in the queued file.
TEST(VroMapping, PositionsAndBitRatesInTheStreamOrTheQueuedFile) {
    TempDir dir;
    ps::VideoParams mpeg1, mpeg2;  // 1150000 and 9800000 bit/s
    mpeg1.bitRate400 = 2875;
    mpeg2.bitRate400 = 24500;
    const Bytes header = ps::SequenceHeader(mpeg1), headers = ps::SequenceHeaders(mpeg2);
    WriteWholeFile(dir.File("VR_MOVIE.VRO"), Cat({Bytes(kSector, 0), header, Bytes(2 * kSector - header.size(), 0)}));
    WriteWholeFile(dir.File("a.mpg"), Cat({headers, Bytes(2 * kSector - headers.size(), 0)}));
    CVR_MOVIE movie;
    ASSERT_EQ(movie.fnInit(dir.Path().c_str(), VRO_INIT_OPEN), 1);
    Record two({{2, 0}}), four({{1, 0}, {3, 0}}), one({{1, 0}});
    movie.fnSetAnalysedFileName(dir.File("a.mpg").c_str());
    ASSERT_EQ(movie.fnAddVOBToList(&two.info), 1);
    movie.fnSetAnalysedFileName(dir.File("b.mpg").c_str());  // a name only; no file needed
    ASSERT_EQ(movie.fnAddVOBToList(&four.info), 1);
    EXPECT_EQ(two.info.dwVOBStartAddr, 0xDEADBEEFu) << "the manager sets a movie VOB's start";
    Ints rates;
    for (__int64 sector : {0, 2, 3, 4, -1}) rates.push_back(movie.fnGetVideoBitrate(sector * kSector, nullptr));
    EXPECT_EQ(rates, Ints({1150000, 0, 9800000, 0, 0}));

    char name[260];
    const __int64 S = kSector;
    const std::string stream = dir.File("VR_MOVIE.VRO"), a = dir.File("a.mpg"), b = dir.File("b.mpg");
    const std::pair<__int64, std::pair<__int64, std::string>> cases[] = {
        {0, {0, stream}},        {3 * S - 1, {3 * S - 1, stream}}, {3 * S, {0, a}},
        {5 * S + 100, {100, b}}, {9 * S - 1, {4 * S - 1, b}},      {9 * S, {-1, ""}},
        {-1, {-1, ""}},
    };
    for (const auto& [pos, expected] : cases) {
        const __int64 at = movie.fnGetAppendedFileNameAndAddress(pos, name, nullptr);
        EXPECT_EQ(std::make_pair(at, std::string(name)), expected) << pos;
    }
    EXPECT_EQ(movie.fnGetAppendedFileNameAndAddress(5 * S, nullptr, nullptr), 0);

    // A name that does not fit the caller's 260 bytes, with a two-byte
    // character across the cut, is cut before that character.
    std::string longName = dir.Path().string() + "/";
    longName += std::string(258 - longName.size(), 'n') + "\xC3\xA9" + std::string(60, 'm') + ".mpg";
    movie.fnSetAnalysedFileName(longName.c_str());
    ASSERT_EQ(movie.fnAddVOBToList(&one.info), 1);
    char buffer[400];
    std::memset(buffer, 0x5A, sizeof buffer);
    EXPECT_EQ(movie.fnGetAppendedFileNameAndAddress(9 * S + 10, buffer, nullptr), 10);
    EXPECT_EQ(std::string(buffer), longName.substr(0, 258));
    for (size_t i = 260; i < sizeof buffer; ++i) ASSERT_EQ(buffer[i], 0x5A) << "wrote past 260 bytes at " << i;
}
