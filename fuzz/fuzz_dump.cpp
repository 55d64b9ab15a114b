// The dump scanner and the assembly on arbitrary bytes: every run found
// lies inside the dump and starts with a pack header, runs do not overlap,
// and the assembly puts every run that is no duplicate into exactly one
// recording. The bytes are read through a reader that refuses any read
// past the dump's end, and a stretch of them reads as a medium error.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "stream/pack_check.h"
#include "tools/dump_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte places an unreadable stretch (0: none).
    const uint64_t bad = size > 0 ? uint64_t{data[0]} * 4096 : 0;
    const tool::DumpReader read = [&](uint64_t offset, void* buf, size_t n) -> int64_t {
        if (offset > size || n > size - offset) n = offset > size ? 0 : size - static_cast<size_t>(offset);
        if (bad && offset < bad + 4096 && offset + n > bad) return -1;
        std::memcpy(buf, data + offset, n);
        return static_cast<int64_t>(n);
    };
    std::vector<tool::PackRun> runs;
    std::vector<uint64_t> management;
    uint64_t unreadable = 0;
    uint64_t last = 0;
    const bool done = tool::ScanDump(
        read, size,
        [&](uint64_t at, uint64_t total) {
            if (at < last || total != size) abort();
            last = at;
            return true;
        },
        &runs, &unreadable, &management);
    if (!done) abort();
    uint64_t end = 0;
    for (const tool::PackRun& r : runs) {
        if (r.packs == 0 || r.at < end || r.End() > size) abort();
        if (!vrm::IsPackHeader(data + r.at, 2048)) abort();
        end = r.End();
    }
    for (uint64_t at : management)
        if (at % 2048 != 0 || at + 12 > size || std::memcmp(data + at, "DVD_RTR_VMG0", 12) != 0) abort();
    const tool::Assembly a = tool::AssembleRuns(runs);
    std::vector<int> seen(runs.size(), 0);
    for (const auto& chain : a.chains) {
        if (chain.empty()) abort();
        for (size_t r : chain) {
            if (r >= runs.size()) abort();
            ++seen[r];
        }
    }
    for (const auto& d : a.duplicates) {
        if (d.first >= runs.size() || d.second >= d.first) abort();
        ++seen[d.first];
    }
    for (int n : seen)
        if (n != 1) abort();
    return 0;
}
