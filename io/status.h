// Why an operation failed: a code, where the fault lies, and one sentence
// for a person. Every layer that refuses something fills one in; the
// manager keeps the last one for its caller (fnVR_MANGRGetLastStatus).
#ifndef VRMANGR_IO_STATUS_H
#define VRMANGR_IO_STATUS_H

#include <cstdint>
#include <string>

#include "platform/types.h"

namespace vrm {

struct Status {
    // What `at` counts.
    enum Where : DWORD {
        kNowhere = 0,
        kByteOffset = 1,  // a byte offset in the file the sentence names
        kItem = 2,  // the number of the item (program, playlist, entry point, recording) the sentence names
    };

    DWORD code = 0;  // one of the VRO_ERR_* codes (io/errors.h); 0 for none
    DWORD where = kNowhere;
    uint64_t at = 0;
    std::string text;

    bool Failed() const { return code != 0; }
    void Clear() { *this = Status{}; }
    void Set(DWORD c, std::string sentence, DWORD w = kNowhere, uint64_t a = 0) {
        code = c;
        text = std::move(sentence);
        where = w;
        at = a;
    }
};

}  // namespace vrm

#endif
