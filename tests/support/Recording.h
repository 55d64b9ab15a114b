// An analysed movie recording as the stream library hands it over: the
// record and the VOBU table it points to.
#ifndef VRMANGR_TESTS_RECORDING_H
#define VRMANGR_TESTS_RECORDING_H

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "stream/VR_MPEGFILE_INFO.h"
#include "stream/recording_scan.h"

// 27 MHz ticks per frame at 625/50 and 525/60.
constexpr __int64 kFrame625 = 1080000;
constexpr __int64 kFrame525 = 900900;

struct Recording {
    VR_MPEGFILE_INFO info{};
    std::vector<VR_VOBU_ELEMENT> table;
};

// VOBUs of the given (frames, sectors), back to back from sector 0, plus the
// closing element. The streams are MPEG-2 video 720 wide, 4:3, with MPEG-1
// stereo audio at 224 kbit/s; the video runs from startPts for the frames
// given.
inline Recording MakeRecording(const std::vector<std::pair<BYTE, DWORD>>& vobus, DWORD frameRate = 25000,
                               DWORD startSector = 0, __int64 startPts = 0) {
    Recording r;
    DWORD addr = 0;
    for (const auto& v : vobus) {
        VR_VOBU_ELEMENT e{};
        e.dwVOBUAddr = addr;
        e.b1stRefSz = static_cast<BYTE>(addr & 0x7F);
        e.bVOBUFrames = v.first;
        r.table.push_back(e);
        addr += v.second;
        r.info.dwFrameNs += v.first;
    }
    VR_VOBU_ELEMENT closing{};
    closing.dwVOBUAddr = addr;
    r.table.push_back(closing);
    VR_MPEGFILE_INFO& info = r.info;
    info.dwFrameRate = frameRate;
    info.dwWidth = 720;
    info.dwHeight = frameRate == 25000 ? 576 : 480;
    info.dwSampleRate = 48000;
    info.dwAudioMode = 0;
    info.dwAudioBitrate = 224;
    info.dwMpeg2 = 1;
    info.bAspectRatio = 2;
    info.pVOBUTable = r.table.data();
    info.dwVOBUNs = static_cast<DWORD>(vobus.size());
    info.llVideoStartPTS = startPts;
    info.llVideoEndPTS = startPts + info.dwFrameNs * (frameRate == 25000 ? kFrame625 : kFrame525);
    info.dwAudioCodingBits = 0x400000;
    info.dwVOBStartAddr = startSector;
    return r;
}

// Two still pictures (MPEG-2, 720 x 576, 16:9, 25 frames/s) as the still
// analyser reports them: the first with 1 sector of MPEG-1 audio at 192
// kbit/s, 100 audio frames.
inline Recording TwoStillPictures() {
    Recording r;
    r.table = {{0, 2, 0, 1, 100}, {3, 2, 0, 0, 0}, {6, 0, 0, 0, 0}};
    VR_MPEGFILE_INFO& still = r.info;
    still.dwFrameRate = 25000;
    still.dwWidth = 720;
    still.dwHeight = 576;
    still.dwMpeg2 = 1;
    still.bAspectRatio = 3;
    still.dwSampleRate = 48000;
    still.dwAudioBitrate = 192;
    still.dwAudioCodingBits = 0x400000;
    still.dwFrameNs = 2;
    still.pVOBUTable = r.table.data();
    return r;
}

// A committed sample of tests/data as the stream library analyses it when
// it is added; no VOBUs (dwVOBUNs 0, an empty table) when the analysis
// fails.
inline Recording SampleRecording(const char* name) {
    const std::filesystem::path path = std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name;
    Recording r;
    vrm::AnalysisError error;
    std::error_code failed;
    const uintmax_t bytes = std::filesystem::file_size(path, failed);
    if (failed ||
        !vrm::AnalyseMovieRange(path.string().c_str(), 0, bytes / 2048, nullptr, nullptr, &r.info, &r.table, &error)) {
        return Recording{};
    }
    r.info.pVOBUTable = r.table.data();
    return r;
}

// n VOBUs of 12 frames and `sectors` sectors each.
inline Recording UniformRecording(DWORD n = 4, DWORD sectors = 100, __int64 startPts = 0) {
    return MakeRecording(std::vector<std::pair<BYTE, DWORD>>(n, {BYTE{12}, sectors}), 25000, 0, startPts);
}

#endif
