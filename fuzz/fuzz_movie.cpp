// The movie analyser on arbitrary bytes: CVR_MOVIE::fnCheckAppendVOB either
// refuses the file (leaving the object as it was) or describes a VOB that
// the stream library accepts and copies: VOBUs from sector 0, rising, within
// the time map's limits, and an append that writes exactly the sectors the
// record names, byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzScratch.h"
#include "stream/CVRO_DATA.h"

namespace {

// The progress reports of the current input (the callback's context is the
// stream object, so the harness keeps its own state here).
struct Progress {
    DWORD last = 0;
    DWORD total = 0;
    bool started = false;
} g_progress;

int CheckProgress(void*, DWORD phase, DWORD done, DWORD total, DWORD file) {
    if (phase != VRO_PROGRESS_ANALYSE || file != 1 || done > total) abort();
    if (g_progress.started && (done < g_progress.last || total != g_progress.total)) abort();
    g_progress = {done, total, true};
    return 1;
}

void CheckRecord(const VR_MPEGFILE_INFO& info, size_t size) {
    const DWORD n = info.dwVOBUNs;
    if (n < 1 || n > 65535 || !info.pVOBUTable) abort();
    const VR_VOBU_ELEMENT* t = info.pVOBUTable;
    if (t[0].dwVOBUAddr != 0) abort();
    DWORD frames = 0;
    for (DWORD i = 0; i < n; ++i) {
        if (t[i + 1].dwVOBUAddr <= t[i].dwVOBUAddr) abort();
        const DWORD span = t[i + 1].dwVOBUAddr - t[i].dwVOBUAddr;
        if (span > 1023 || t[i].bVOBUFrames > 31 || t[i].b1stRefSz > span) abort();
        frames += t[i].bVOBUFrames;
    }
    if (uint64_t{t[n].dwVOBUAddr} * 2048 > size) abort();
    if (frames != info.dwFrameNs) abort();
    if (info.dwFrameRate != 25000 && info.dwFrameRate != 29970) abort();
    if (info.llVideoEndPTS <= info.llVideoStartPTS) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size);
    if (!file.Ok()) return 0;

    // The quick check reads only the first sequence header.
    {
        CVR_MOVIE quick;
        if (quick.fnCheckAppendVOB(file.Path(), nullptr, 1)) {
            const DWORD rate = quick.m_MpegFileInfo.dwFrameRate;
            if (rate != 25000 && rate != 29970) abort();
        } else if (quick.m_dwLastError == VRO_OK) {
            abort();
        }
    }

    g_progress = {};
    CVR_MOVIE movie;
    const VR_MPEGFILE_INFO before = movie.m_MpegFileInfo;
    if (!movie.fnCheckAppendVOB(file.Path(), CheckProgress, 0)) {
        // A refusal names a reason and changes nothing else.
        if (movie.m_dwLastError == VRO_OK || *movie.fnGetLastErrorDetail() == 0) abort();
        if (std::memcmp(&before, &movie.m_MpegFileInfo, sizeof before) != 0) abort();
        return 0;
    }
    CheckRecord(movie.m_MpegFileInfo, size);

    // The stream library takes the record as it is and copies its sectors.
    const std::filesystem::path dir = FuzzScratch("movie");
    std::error_code ec;
    std::filesystem::remove(dir / "VR_MOVIE.VRO", ec);
    CVR_MOVIE stream;
    if (!stream.fnInit(dir.c_str(), VRO_INIT_NEW)) abort();
    stream.fnSetAnalysedFileName(file.Path());
    if (!stream.fnAddVOBToList(&movie.m_MpegFileInfo)) abort();
    if (!stream.fnAppendVOBListToVRO(nullptr)) abort();
    const size_t bytes = size_t{movie.m_MpegFileInfo.pVOBUTable[movie.m_MpegFileInfo.dwVOBUNs].dwVOBUAddr} * 2048;
    std::ifstream in(dir / "VR_MOVIE.VRO", std::ios::binary);
    const std::vector<char> written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (written.size() != bytes || std::memcmp(written.data(), data, bytes) != 0) abort();
    return 0;
}
