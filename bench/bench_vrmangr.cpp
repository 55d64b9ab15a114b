// The library's speed and memory against what the machine can do, in one
// run (see docs/PERFORMANCE.md):
//   - movie analysis (CVR_MOVIE::fnCheckAppendVOB) against a sequential
//     read of the same cached file, in the analyser's block size;
//   - the append of a queued recording to VR_MOVIE.VRO against a plain
//     read/write copy of the same bytes (all forced to disk), and the same
//     copy through copy_file_range for reference;
//   - `vrmangr extract` of a recording against `cp` of the same bytes, both
//     from the page cache, each a process of its own;
//   - Open and Save of a disc with every table at or near its largest;
//   - peak memory of an analysis, for a small and a multi-GB recording.
//
//   bench_vrmangr [--gigabytes=N] [google benchmark flags]
//
// The input files are built in the temporary directory by repeating the
// committed PAL sample, and removed at the end.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/ps_reader.h"
#include "support/Discs.h"
#include "support/Restamp.h"
#include "tables/CUD_PGCIT.h"

namespace fs = std::filesystem;

namespace {

const fs::path& Work() {
    static const fs::path dir = fs::temp_directory_path() / ("vrmangr-bench-" + std::to_string(getpid()));
    return dir;
}

// A recording of about `megabytes` MB made of copies of the PAL sample (2 s
// each), its clock running on from copy to copy.
fs::path MakeRecording(const std::string& name, uint64_t megabytes) {
    const fs::path sample = fs::path(VRMANGR_SOURCE_DIR) / "tests" / "data" / "pal_mpeg2_mp2_4x3.vob";
    std::ifstream in(sample, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int perBlock = int((8u << 20) / bytes.size()) + 1;
    const int64_t twoSeconds = 2 * 90000;
    const fs::path path = Work() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block = ps::Restamped(bytes, perBlock, twoSeconds);
    for (uint64_t written = 0; written < megabytes << 20; written += block.size()) {
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
        ps::MoveClock(block, int64_t(perBlock) * twoSeconds);  // the next block follows this one
    }
    return path;
}

fs::path g_recording;  // the 256 MB input of the throughput benchmarks

void SequentialRead(benchmark::State& state) {
    std::unique_ptr<BYTE[]> block(new BYTE[vrm::PackReader::kBlock]);
    for (auto _ : state) {
        vrm::File file;
        file.Open(g_recording.c_str(), vrm::File::Mode::ReadExisting);
        unsigned sum = 0;
        for (uint64_t at = 0;;) {
            const int64_t got = file.ReadAt(at, block.get(), vrm::PackReader::kBlock);
            if (got <= 0) break;
            for (int64_t i = 0; i < got; i += 2048) sum += block[static_cast<size_t>(i)];
            at += static_cast<uint64_t>(got);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
}

void MovieAnalysis(benchmark::State& state) {
    for (auto _ : state) {
        CVR_MOVIE movie;
        if (!movie.fnCheckAppendVOB(g_recording.c_str(), nullptr, 0)) state.SkipWithError("analysis failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
}

void PlainCopy(benchmark::State& state) {
    const fs::path target = Work() / "copy.bin";
    std::unique_ptr<char[]> block(new char[2u << 20]);
    for (auto _ : state) {
        // Like the append, into a file that does not exist yet.
        state.PauseTiming();
        fs::remove(target);
        state.ResumeTiming();
        const int in = open(g_recording.c_str(), O_RDONLY);
        const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n;
        while ((n = read(in, block.get(), 2u << 20)) > 0)
            if (write(out, block.get(), static_cast<size_t>(n)) != n) state.SkipWithError("write failed");
        fsync(out);
        close(out);
        close(in);
    }
    fs::remove(target);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
}

// The same copy offloaded to the kernel (copy_file_range), as the append
// does it where the file system allows: the bytes never pass through user
// space.
void KernelCopy(benchmark::State& state) {
    const fs::path target = Work() / "copy.bin";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(target);
        state.ResumeTiming();
        const int in = open(g_recording.c_str(), O_RDONLY);
        const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n;
        while ((n = copy_file_range(in, nullptr, out, nullptr, 64u << 20, 0)) > 0) {
        }
        if (n < 0) state.SkipWithError("copy_file_range failed");
        fsync(out);
        close(out);
        close(in);
    }
    fs::remove(target);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
}

void Append(benchmark::State& state) {
    const fs::path dir = Work() / "append";
    fs::create_directories(dir);
    CVR_MOVIE analysed;
    if (!analysed.fnCheckAppendVOB(g_recording.c_str(), nullptr, 0)) state.SkipWithError("analysis failed");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(dir / "VR_MOVIE.VRO");
        CVR_MOVIE stream;
        stream.fnInit(dir.c_str(), VRO_INIT_NEW);
        stream.fnSetAnalysedFileName(g_recording.c_str());
        stream.fnAddVOBToList(&analysed.m_MpegFileInfo);
        state.ResumeTiming();
        if (!stream.fnAppendVOBListToVRO(nullptr)) state.SkipWithError("append failed");
    }
    fs::remove_all(dir);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
}

// Runs a command (found on PATH) to its end; false unless it exits with 0.
bool Run(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

fs::path g_disc;  // a disc holding g_recording as program 1

// Times each iteration's `timed` command, paired with an untimed run of
// `reference` just before it; the counter `name` is the median of the
// pairs' time ratios reference/timed: the timed command's throughput as a
// share of the reference's, steady where the machine's speed drifts between
// separate benchmarks.
void Paired(benchmark::State& state, const std::vector<std::string>& reference, const std::vector<std::string>& timed,
            const char* name) {
    const auto seconds = [](const std::vector<std::string>& command, bool* ok) {
        const auto start = std::chrono::steady_clock::now();
        *ok = Run(command);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<double> shares;
    for (auto _ : state) {
        bool ok = false;
        state.PauseTiming();
        const double before = seconds(reference, &ok);
        if (!ok) state.SkipWithError((reference[0] + " failed").c_str());
        state.ResumeTiming();
        const double after = seconds(timed, &ok);
        if (!ok) state.SkipWithError((timed[0] + " failed").c_str());
        shares.push_back(before / after);
    }
    std::sort(shares.begin(), shares.end());
    if (!shares.empty()) state.counters[name] = shares[shares.size() / 2];
}

// Extraction of the whole program (the recording's bytes, in the page
// cache) by the tool, against cp of the stream file that holds the same
// bytes: both copy through the kernel where the file system lets them. Each
// extraction is paired with a cp run just before it (untimed), and the
// counter cp_share is the median of the pairs' time ratios cp/extract: the
// tool's throughput as a share of cp's, steady where the machine's speed
// drifts between separate benchmarks.
void ExtractProgram(benchmark::State& state) {
    const fs::path out = Work() / "extracted.mpg";
    const fs::path copy = Work() / "paired-copy.mpg";
    const fs::path stream = g_disc / "VR_MOVIE.VRO";
    Paired(state, {"cp", stream.string(), copy.string()},
           {VRMANGR_TOOL, "extract", g_disc.string(), "--program", "1", "-o", out.string(), "--force"}, "cp_share");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(out)));
    fs::remove(out);
    fs::remove(copy);
}

// The same disc as a UDF image (genisoimage; made once), for the commands
// that read images; empty when it cannot be made.
fs::path DiscImage() {
    static fs::path image;
    if (!image.empty()) return image;
    const fs::path made = Work() / "disc.iso";
    if (Run({"genisoimage", "-quiet", "-udf", "-o", made.string(), "-graft-points", "DVD_RTAV/=" + g_disc.string()}))
        image = made;
    return image;
}

// A command on the image against the same command on the directory: each
// run on the image is paired with one on the directory just before it
// (untimed), and the counter dir_share is the median of the pairs' time
// ratios directory/image: the image's throughput as a share of the
// directory's.
void FromImage(benchmark::State& state, const std::vector<std::string>& tail) {
    const fs::path image = DiscImage();
    if (image.empty()) {
        state.SkipWithError("genisoimage is not installed, or the tool reads no images");
        return;
    }
    // Through a shell only to send what it prints nowhere (both sides
    // alike).
    const auto command = [&](const fs::path& disc) {
        std::string line = std::string("exec '") + VRMANGR_TOOL + "' " + tail[0] + " '" + disc.string() + "'";
        for (size_t i = 1; i < tail.size(); ++i) line += " '" + tail[i] + "'";
        return std::vector<std::string>{"sh", "-c", line + " >/dev/null"};
    };
    Paired(state, command(g_disc), command(image), "dir_share");
}

void ExtractFromImage(benchmark::State& state) {
    const fs::path out = Work() / "from-image.mpg";
    FromImage(state, {"extract", "--program", "1", "-o", out.string(), "--force", "--quiet"});
    if (fs::exists(out)) state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(out)));
    fs::remove(out);
}

void InfoFromImage(benchmark::State& state) { FromImage(state, {"info"}); }

// A raw dump holding the recording at an odd byte offset between stretches
// of noise (made once), for the recovery scan.
fs::path Dump() {
    static fs::path dump;
    if (!dump.empty()) return dump;
    dump = Work() / "dump.bin";
    std::ofstream out(dump, std::ios::binary);
    std::vector<char> noise(1 << 20);
    unsigned x = 12345;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    out.write(noise.data(), 1001);
    std::ifstream in(g_recording, std::ios::binary);
    out << in.rdbuf();
    out.write(noise.data(), static_cast<std::streamsize>(noise.size()));
    return dump;
}

// The recovery's scan of the dump (recover --dry-run: scan and assembly,
// nothing written) against dd bs=1M of the same bytes to /dev/null, each
// scan paired with a dd run just before it: dd_share is the scan's
// throughput as a share of dd's.
void RecoverScan(benchmark::State& state) {
    const fs::path dump = Dump();
    const fs::path out = Work() / "recovered";
    Paired(state, {"dd", "if=" + dump.string(), "of=/dev/null", "bs=1M", "status=none"},
           {"sh", "-c",
            std::string("exec '") + VRMANGR_TOOL + "' recover '" + dump.string() + "' -d '" + out.string() +
                "' --dry-run >/dev/null"},
           "dd_share");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(dump)));
}

// The peak resident memory (KB) of a whole command, or -1.
long CommandPeakKb(std::vector<std::string> command) {
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    struct rusage usage {};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return usage.ru_maxrss;
}

void CpSameBytes(benchmark::State& state) {
    const fs::path out = Work() / "copied.mpg";
    const fs::path stream = g_disc / "VR_MOVIE.VRO";
    for (auto _ : state) {
        if (!Run({"cp", stream.string(), out.string()})) state.SkipWithError("cp failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(out)));
    fs::remove(out);
}

// Export of the whole program to MKV by the tool (remultiplexed through
// FFmpeg's libraries), against the ffmpeg program's stream copy of the same
// recording into MKV. Each is skipped when the tool was built without
// export, or the ffmpeg program is not installed.
void ExportProgramMkv(benchmark::State& state) {
    const fs::path out = Work() / "exported.mkv";
    for (auto _ : state) {
        if (!Run({VRMANGR_TOOL, "export", g_disc.string(), "--program", "1", "-o", out.string(), "--force",
                  "--quiet"})) {
            state.SkipWithError("vrmangr export failed (built without FFmpeg's libraries?)");
            break;
        }
    }
    if (fs::exists(out)) state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
    fs::remove(out);
}

void FfmpegCopyMkv(benchmark::State& state) {
    const fs::path out = Work() / "ffmpeg.mkv";
    if (!Run({"sh", "-c", "command -v ffmpeg >/dev/null"})) {
        state.SkipWithError("the ffmpeg program is not installed");
        return;
    }
    for (auto _ : state) {
        if (!Run({"ffmpeg", "-loglevel", "error", "-y", "-i", g_recording.string(), "-c", "copy", out.string()})) {
            state.SkipWithError("ffmpeg failed");
            break;
        }
    }
    if (fs::exists(out)) state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(g_recording)));
    fs::remove(out);
}

// The largest disc the tables hold: 99 recordings made on different days
// (99 programs), the original chain filled to its 2000 cells with 32 or 33
// entry points each (about 64,000), 100 playlists whose chains hold 20
// cells with an entry point each, item texts and manufacturer information.
fs::path MakeLargestDisc() {
    const fs::path dir = Work() / "largest";
    fs::create_directories(dir);
    void* h = fnVR_MANGRBegin();
    auto* m = static_cast<CVR_MANGR*>(h);
    bool ok = fnVR_MANGRNew(h, dir.c_str()) && FillEveryTable(*m);
    VMG_MODEL& model = *m->m_pModel;
    for (WORD day = 2; ok && day <= 99; ++day) {
        SYSTEMTIME t{};
        t.wYear = WORD(2020 + day / 28);
        t.wMonth = WORD(1 + day % 12);
        t.wDay = WORD(1 + day % 28);
        vrm::ScopedTestClock daily(t, 0);
        Recording r = UniformRecording(30, 100, 27000000);
        ok = m->m_pM_AVFIT->fnADD_Program(&r.info) &&
             m->m_pORG_PGCI->fnADD_Movie_Program(&model.pM_AVFIT->pM_AVFI->vobi.back(), day);
    }
    // More cells of VOB 1, up to a chain's limit, all in the last program
    // (which must count them: Save refuses programs that do not count the
    // chain's cells).
    M_VOBI& vob = model.pM_AVFIT->pM_AVFI->vobi[0];
    WORD added = 0;
    while (ok && m->m_pORG_PGCI->fnGet_wCI_SRP_Ns() < CPGCI::kMaxCells) {
        ok = m->m_pORG_PGCI->fnADD_UD_Movie_Cell(&vob, 1, -1);
        ++added;
    }
    const BYTE last = static_cast<BYTE>(m->m_pORG_PGCI->fnGet_c1_PG_Ns() - 1);
    m->m_pORG_PGCI->fnSet_wC_Ns(last, static_cast<WORD>(m->m_pORG_PGCI->fnGet_wC_Ns(last) + added));
    // Entry points: 32 more in every cell of the original chain, up to the
    // 65535 a chain's entry-point numbers reach.
    for (WORD cell = 1; ok && cell <= CPGCI::kMaxCells; ++cell)
        for (int i = 0; i < 32 && m->m_pORG_PGCI->fnGetTotalEntryPointNs(0, 0, 0) < 0xFFFF; ++i)
            m->fnADD_ORG_Cell_EntryPoint(cell, 0, 27000000, nullptr);
    while (ok && fnVR_GetPLCount(h) < 100) {
        ok = fnVR_AddPL(h);
        const int pl = fnVR_GetPLCount(h);
        for (int ep = 1; ok && ep <= 20; ++ep) ok = fnVR_AddPLEntryPt(h, pl, ep - 1, ep);
    }
    ok = ok && fnVR_MANGRSave(h, nullptr);
    VR_STATUS status{};
    fnVR_MANGRGetLastStatus(h, &status);
    fnVR_MANGREnd(h);
    if (!ok) std::fprintf(stderr, "bench: the largest disc could not be built: %s\n", status.szText);
    // The tables describe stream data that was never written.
    fs::resize_file(dir / "VR_MOVIE.VRO", uint64_t{99 * 30 * 100 + 400 - 30 * 100} * 2048);
    return dir;
}

fs::path g_largest;

void OpenLargestDisc(benchmark::State& state) {
    for (auto _ : state) {
        void* h = fnVR_MANGRBegin();
        if (!fnVR_MANGROpen(h, g_largest.c_str())) state.SkipWithError("open failed");
        fnVR_MANGREnd(h);
    }
    // What the disc holds, to be read next to the time.
    void* h = fnVR_MANGRBegin();
    fnVR_MANGROpen(h, g_largest.c_str());
    DVDPGCINFO info{};
    fnVR_GetOPGCInfo(h, &info, 2);
    state.counters["programs"] = info.dwCount;
    fnVR_GetOPGCInfo(h, &info, 1);
    state.counters["cells"] = info.dwCount;
    fnVR_GetOPGCInfo(h, &info, 0);
    state.counters["entry points"] = info.dwCount;
    state.counters["playlists"] = fnVR_GetPLCount(h);
    fnVR_MANGREnd(h);
    state.counters["IFO bytes"] = double(fs::file_size(g_largest / "VR_MANGR.IFO"));
}

// The cross-table check that every Open and every Save runs, alone.
void CheckLargestDisc(benchmark::State& state) {
    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, g_largest.c_str())) state.SkipWithError("open failed");
    auto* m = static_cast<CVR_MANGR*>(h);
    for (auto _ : state)
        if (!m->fnCheckConsistency(nullptr)) state.SkipWithError("the tables contradict each other");
    fnVR_MANGREnd(h);
}

void SaveLargestDisc(benchmark::State& state) {
    void* h = fnVR_MANGRBegin();
    if (!fnVR_MANGROpen(h, g_largest.c_str())) state.SkipWithError("open failed");
    for (auto _ : state)
        if (!fnVR_MANGRSave(h, nullptr)) state.SkipWithError("save failed");
    fnVR_MANGREnd(h);
}

// Peak resident memory in KB of analysing the file (none for an empty
// name), measured in a fresh process of this program that does nothing
// else: a forked child would count the pages it shares with this one.
long AnalysisPeakKb(const fs::path& file, DWORD* vobus) {
    int pipeFd[2];
    if (pipe(pipeFd) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFd[1], STDOUT_FILENO);
        close(pipeFd[0]);
        execl("/proc/self/exe", "bench_vrmangr", "--peak-memory-of", file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFd[1]);
    char text[64] = {};
    const ssize_t got = read(pipeFd[0], text, sizeof text - 1);
    close(pipeFd[0]);
    int status = 0;
    waitpid(child, &status, 0);
    unsigned n = 0;
    long kb = -1;
    if (got <= 0 || std::sscanf(text, "%u %ld", &n, &kb) != 2) return -1;
    *vobus = n;
    return kb;
}

// The child's side: analyses the file and prints its VOBU count and the
// process's peak resident memory in KB.
int PeakMemoryOf(const char* file) {
    DWORD n = 0;
    if (*file) {
        CVR_MOVIE movie;
        n = movie.fnCheckAppendVOB(file, nullptr, 0) ? movie.m_MpegFileInfo.dwVOBUNs : 0;
    }
    // The high-water mark of this process image (VmHWM): unlike ru_maxrss
    // it does not carry over the size of the process before exec.
    long kb = -1;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, 6, "VmHWM:") == 0) kb = std::strtol(line.c_str() + 6, nullptr, 10);
    std::printf("%u %ld\n", n, kb);
    return 0;
}

}  // namespace

// Rates against wall-clock time: the copies wait for the disk.
BENCHMARK(SequentialRead)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(MovieAnalysis)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(KernelCopy)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(Append)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(ExtractProgram)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(CpSameBytes)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(ExtractFromImage)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(RecoverScan)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(InfoFromImage)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();
BENCHMARK(ExportProgramMkv)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(FfmpegCopyMkv)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(OpenLargestDisc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CheckLargestDisc)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveLargestDisc)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak-memory-of") == 0) return PeakMemoryOf(argv[2]);
    uint64_t gigabytes = 3;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--gigabytes=", 12) == 0) {
            gigabytes = std::strtoull(argv[i] + 12, nullptr, 10);
        } else {
            args.push_back(argv[i]);
        }
    }
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    fs::create_directories(Work());
    g_recording = MakeRecording("recording.vob", 256);
    g_largest = MakeLargestDisc();
    g_disc = Work() / "disc";
    if (!Run({VRMANGR_TOOL, "create", g_disc.string(), g_recording.string(), "--quiet"})) {
        std::fprintf(stderr, "bench_vrmangr: the disc for the extraction could not be made\n");
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();

    // Peak memory against the recording's size, and of a process that
    // analyses nothing.
    DWORD vobus = 0;
    std::printf("peak memory without analysis:          %6ld KB\n", AnalysisPeakKb("", &vobus));
    const long small = AnalysisPeakKb(g_recording, &vobus);
    std::printf("peak memory analysing %6.0f MB: %6ld KB (%u VOBUs)\n", double(fs::file_size(g_recording)) / 1048576.0,
                small, vobus);
    const auto scanPeak = [](const fs::path& dump) {
        std::printf(
            "peak memory of recover --dry-run on a %6.0f MB dump: %6ld KB\n", double(fs::file_size(dump)) / 1048576.0,
            CommandPeakKb({VRMANGR_TOOL, "recover", dump.string(), "-d", (Work() / "none").string(), "--dry-run"}));
    };
    scanPeak(Dump());
    fs::remove(g_recording);
    if (gigabytes) {
        const fs::path large = MakeRecording("large.vob", gigabytes << 10);
        const long big = AnalysisPeakKb(large, &vobus);
        std::printf("peak memory analysing %6.0f MB: %6ld KB (%u VOBUs)\n", double(fs::file_size(large)) / 1048576.0,
                    big, vobus);
        scanPeak(large);
    }
    fs::remove_all(Work());
    benchmark::Shutdown();
    return 0;
}
