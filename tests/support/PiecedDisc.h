// A disc whose VR_MOVIE.VRO is laid out by the test: pieces of bytes back to
// back, the recordings among them registered where they lie (as a recovery
// registers them), the rest unused sectors between them (zeros, as sectors
// given back or never written read, or other data).
#ifndef VRMANGR_TESTS_PIECEDDISC_H
#define VRMANGR_TESTS_PIECEDDISC_H

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/vrmangr.h"
#include "support/TempDir.h"

// A committed sample of tests/data: its path, and its bytes.
inline std::string SamplePath(const char* name) {
    return (std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / name).string();
}
inline std::string SampleBytes(const char* name) {
    const std::vector<unsigned char> bytes = ReadWholeFile(SamplePath(name));
    return std::string(bytes.begin(), bytes.end());
}

struct StreamPiece {
    std::string bytes;  // whole sectors
    bool recording;
};

struct PiecedDisc {
    TempDir dir;
    std::string stream;  // VR_MOVIE.VRO as written
    std::vector<DWORD> starts;  // each recording's first sector, in order

    explicit PiecedDisc(const std::vector<StreamPiece>& pieces) {
        for (const StreamPiece& p : pieces) {
            if (p.recording) starts.push_back(static_cast<DWORD>(stream.size() / 2048));
            stream += p.bytes;
        }
        WriteWholeFile(Path("VR_MOVIE.VRO"), std::vector<unsigned char>(stream.begin(), stream.end()));
        void* h = fnVR_MANGRBegin();
        EXPECT_EQ(fnVR_MANGRNew(h, dir.Path().c_str()), 1);
        size_t i = 0;
        for (const StreamPiece& p : pieces) {
            if (!p.recording) continue;
            fnVR_StartNewProgram(h);
            EXPECT_EQ(fnVR_AddRecordedRange(h, starts[i++], static_cast<DWORD>(p.bytes.size() / 2048), nullptr), 1);
        }
        EXPECT_EQ(fnVR_MANGRSave(h, nullptr), 1);
        fnVR_MANGREnd(h);
    }
    std::string Path(const char* name) const { return dir.File(name); }
    std::string Stream() const {
        const std::vector<unsigned char> bytes = ReadWholeFile(Path("VR_MOVIE.VRO"));
        return std::string(bytes.begin(), bytes.end());
    }
    std::vector<unsigned char> Ifo() const { return ReadWholeFile(Path("VR_MANGR.IFO")); }
};

// The first sector of VOB `number` of the disc open in h (its ADR_OFS).
inline long long VobStart(void* h, int number) {
    __int64 start = -1;
    return fnVR_GetUnitStarts(h, 0, number, &start, 1) ? start : -1;
}

#endif
