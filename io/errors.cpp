#include "io/errors.h"

namespace vrm {

const char* ErrorText(DWORD code) {
    switch (code) {
#define VRM_ERROR_SENTENCE(name, number, sentence) \
    case VRO_##name: return sentence;
        VRM_ERROR_CODES(VRM_ERROR_SENTENCE)
#undef VRM_ERROR_SENTENCE
        default: return "Unknown error.";
    }
}

}  // namespace vrm
