// What the MPEG analysers share: the reason an analysis failed and the
// progress reports they make while reading a file.
#ifndef VRMANGR_STREAM_ANALYSIS_H
#define VRMANGR_STREAM_ANALYSIS_H

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace vrm {

// Why a file cannot be recorded: a VRO_ERROR code and the reason as the end
// of a sentence that begins with the file's name ("is not a program
// stream ...").
struct AnalysisError {
    DWORD code = 0;
    std::string reason;
};

// Reports analysis progress through the callback contract of the stream
// objects (phase VRO_PROGRESS_ANALYSE, sectors done, sectors in all, file 1):
// at the start, at least every 1% and every 64 MB, and at the end.
class AnalysisProgress {
public:
    AnalysisProgress(ProgressCallback cb, void* context, uint64_t totalSectors);
    // Reports when due; false when the callback asked to cancel.
    bool Advance(uint64_t doneSectors) {
        if (!m_cb || doneSectors < m_next) return true;
        return Report(doneSectors);
    }
    // The last report (done = total); false when the callback cancels.
    bool Finish() { return !m_cb || Report(m_total); }

private:
    bool Report(uint64_t done);
    ProgressCallback m_cb;
    void* m_context;
    uint64_t m_total;
    uint64_t m_step;
    uint64_t m_next = 0;
};

}  // namespace vrm

#endif
