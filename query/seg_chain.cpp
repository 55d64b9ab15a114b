// Releasing the continuation records of a segment.
#include "query/records.h"

namespace {

// A segment runs on through at most one record per cell, and a chain holds
// at most 65535 cells.
constexpr DWORD kMaxContinuations = 0xFFFF;

}  // namespace

void fnReleaseSegChain(seg* s) {
    if (!s) return;
    seg* next = s->dwHasNext ? s->pNext : nullptr;
    s->dwHasNext = 0;
    s->dwNextNs = 0;
    s->pNext = nullptr;
    for (DWORD n = 0; next && n < kMaxContinuations; ++n) {
        seg* after = next->dwHasNext ? next->pNext : nullptr;
        delete next;
        next = after;
    }
}
