// The still analyser on arbitrary bytes: CVR_STILL::fnCheckAppendVOB either
// refuses the file (leaving the object as it was) or describes a still VOG
// of 1 to 255 pictures whose parts add up, which the stream library queues
// and writes at exactly the size the record names.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzScratch.h"
#include "stream/CVRO_DATA.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size);
    if (!file.Ok()) return 0;
    CVR_STILL still;
    const VR_MPEGFILE_INFO before = still.m_MpegFileInfo;
    if (!still.fnCheckAppendVOB(file.Path())) {
        if (still.m_dwLastError == VRO_OK || *still.fnGetLastErrorDetail() == 0) abort();
        if (std::memcmp(&before, &still.m_MpegFileInfo, sizeof before) != 0) abort();
        return 0;
    }
    const VR_MPEGFILE_INFO& info = still.m_MpegFileInfo;
    const DWORD n = info.dwFrameNs;
    if (n < 1 || n > 255 || !info.pVOBUTable || info.pVOBUTable[0].dwVOBUAddr != 0) abort();
    for (DWORD i = 0; i < n; ++i) {
        const VR_VOBU_ELEMENT& e = info.pVOBUTable[i];
        if (e.b1stRefSz == 0 || e.dwAudioPartSz > 65535) abort();
        if (info.pVOBUTable[i + 1].dwVOBUAddr != e.dwVOBUAddr + e.b1stRefSz + e.dwAudioPartSz) abort();
    }
    const uint64_t bytes = uint64_t{info.pVOBUTable[n].dwVOBUAddr} * 2048;
    if (bytes > size) abort();

    // Queued with its own record, the VOG is written in its still layout.
    const std::filesystem::path dir = FuzzScratch("still");
    std::error_code ec;
    std::filesystem::remove(dir / "VR_STILL.VRO", ec);
    if (!still.fnInit(dir.c_str(), VRO_INIT_NEW)) abort();
    if (!still.fnAddVOBToList(&still.m_MpegFileInfo)) abort();
    if (still.m_MpegFileInfo.dwVOBStartAddr != 0) abort();
    if (!still.fnAppendVOBListToVRO(nullptr)) abort();
    if (std::filesystem::file_size(dir / "VR_STILL.VRO", ec) != bytes || ec) abort();
    return 0;
}
