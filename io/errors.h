// The error codes of the library and their sentences, on the byte floor
// beside the status that carries them (io/status.h), so that every floor
// names its failures the same way.
#ifndef VRMANGR_IO_ERRORS_H
#define VRMANGR_IO_ERRORS_H

#include "platform/error_codes.h"
#include "platform/types.h"

// Why something failed, as a number: the code of a vrm::Status, of the
// stream objects' m_dwLastError and of fnVR_MANGRGetLastError, the same on
// every floor (platform/error_codes.h lists them); ErrorText gives a
// sentence for each.
enum VRO_ERROR : DWORD {
#define VRM_CXX_ERROR_CODE(name, number, sentence) VRO_##name = number,
    VRM_ERROR_CODES(VRM_CXX_ERROR_CODE)
#undef VRM_CXX_ERROR_CODE
};

namespace vrm {

// A sentence for a code; never null ("Unknown error." for a code not
// listed).
const char* ErrorText(DWORD code);

}  // namespace vrm

#endif
