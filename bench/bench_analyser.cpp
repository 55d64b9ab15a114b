// Measures how fast CVR_MOVIE::fnCheckAppendVOB analyses a program stream,
// against a plain sequential read of the same file with the same block size
// while the file is in the page cache.
//
//   bench_analyser [file.vob] [megabytes]
//
// Without a file it builds one of the given size (default 256 MB) in the
// temporary directory by repeating the committed PAL sample.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"
#include "stream/CVRO_DATA.h"
#include "stream/ps_reader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Reads the whole file in the analyser's block size; returns a checksum so
// the reads cannot be optimised away.
unsigned ReadAll(const std::string& path) {
    vrm::File file;
    if (!file.Open(path.c_str(), vrm::File::Mode::ReadExisting)) return 0;
    std::unique_ptr<BYTE[]> block(new BYTE[vrm::PackReader::kBlock]);
    unsigned sum = 0;
    for (uint64_t at = 0;;) {
        const int64_t got = file.ReadAt(at, block.get(), vrm::PackReader::kBlock);
        if (got <= 0) break;
        for (int64_t i = 0; i < got; i += 2048) sum += block[static_cast<size_t>(i)];
        at += static_cast<uint64_t>(got);
    }
    return sum;
}

std::string MakeFile(uint64_t megabytes) {
    const std::string sample =
        (std::filesystem::path(VRMANGR_SOURCE_DIR) / "tests" / "data" / "pal_mpeg2_mp2_4x3.vob").string();
    std::ifstream in(sample, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return {};
    const std::string path = (std::filesystem::temp_directory_path() / "vrmangr_bench.vob").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (uint64_t written = 0; written < megabytes << 20; written += bytes.size()) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    return out ? path : std::string();
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 256;
    const bool made = argc < 2 || std::string(argv[1]).empty();
    const std::string path = made ? MakeFile(megabytes) : std::string(argv[1]);
    if (path.empty()) {
        std::fprintf(stderr, "cannot make or find the input file\n");
        return 1;
    }
    const double mb = double(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    ReadAll(path);  // into the page cache

    double bestRead = 1e9, bestAnalyse = 1e9;
    unsigned sum = 0;
    for (int run = 0; run < 3; ++run) {
        auto t = Clock::now();
        sum += ReadAll(path);
        bestRead = std::min(bestRead, Seconds(t));
        CVR_MOVIE movie;
        t = Clock::now();
        if (!movie.fnCheckAppendVOB(path.c_str(), nullptr, 0)) {
            std::fprintf(stderr, "analysis failed: %s\n", movie.fnGetLastErrorDetail());
            return 1;
        }
        bestAnalyse = std::min(bestAnalyse, Seconds(t));
        if (run == 0) {
            std::printf("%s: %.1f MB, %u VOBUs, %u frames\n", path.c_str(), mb, movie.m_MpegFileInfo.dwVOBUNs,
                        movie.m_MpegFileInfo.dwFrameNs);
        }
    }
    std::printf("sequential read: %8.1f MB/s\n", mb / bestRead);
    std::printf("analysis:        %8.1f MB/s (%.0f%% of the read)\n", mb / bestAnalyse, 100.0 * bestRead / bestAnalyse);
    if (made) std::filesystem::remove(path);
    return sum == 0xFFFFFFFFu ? 2 : 0;
}
