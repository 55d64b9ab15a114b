// Internal invariants: conditions that only a fault in this library can
// break (a table that writes other than the size it declared). Builds made
// for tests and fuzzing (VRMANGR_INVARIANTS) stop at once with the place and
// the condition; other builds carry on, and the caller fails the operation.
#ifndef VRMANGR_IO_INVARIANT_H
#define VRMANGR_IO_INVARIANT_H

#include <cstdio>
#include <cstdlib>

namespace vrm {

[[noreturn]] inline void InvariantFailed(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: internal invariant broken: %s\n", file, line, what);
    std::abort();
}

}  // namespace vrm

#if defined(VRMANGR_INVARIANTS)
#define VRM_INVARIANT(cond, what) ((cond) ? (void)0 : vrm::InvariantFailed(__FILE__, __LINE__, what))
#else
#define VRM_INVARIANT(cond, what) ((void)0)
#endif

#endif
