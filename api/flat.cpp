// The flat handle interface: thin forwarders to CVR_MANGR.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "api/flat_call.h"
#include "api/vrmangr.h"
#include "platform/disc_files.h"

using vrm::FlatCall;
using vrm::Manager;

void* fnVR_MANGRBegin(void) { return new (std::nothrow) CVR_MANGR(); }

void fnVR_MANGREnd(void* handle) { delete Manager(handle); }

DWORD fnVR_MANGRGetLastError(void* handle) {
    if (!handle) return 0;
    return Manager(handle)->m_dwLastError;
}

int fnVR_MANGRGetLastStatus(void* handle, VR_STATUS* out) {
    if (!handle || !out) return 0;
    const vrm::Status& status = Manager(handle)->fnGetLastStatus();
    *out = VR_STATUS{};
    out->dwCode = status.code;
    out->dwWhere = status.where;
    out->llAt = static_cast<__int64>(status.at);
    // Cut at a character boundary of the UTF-8 text when it does not fit.
    size_t n = std::min(status.text.size(), sizeof out->szText - 1);
    if (n < status.text.size()) {
        while (n > 0 && (static_cast<unsigned char>(status.text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(out->szText, status.text.data(), n);
    out->szText[n] = '\0';
    return 1;
}

int fnVR_MANGRNew(void* handle, const char* dir) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT,
                    std::string("A new disc cannot be started in ") + (dir ? dir : "(none)") + ".",
                    [&](CVR_MANGR& m) { return m.fnRTR_VMG_New(dir); });
}

int fnVR_MANGROpen(void* handle, const char* dir) {
    return FlatCall(handle, VRO_ERR_DAMAGED, std::string(dir ? dir : "(none)") + " holds no disc that can be opened.",
                    [&](CVR_MANGR& m) { return m.fnRTR_VMG_Open(dir); });
}

namespace {

// The caller's files, through its two functions.
class CallerFiles final : public vrm::DiscFiles {
public:
    CallerFiles(const VR_DISC_FILES& files, std::string location) : m_files(files), m_location(std::move(location)) {}
    int64_t Size(const char* name) const override {
        const __int64 size = m_files.pfnSize(m_files.pContext, name);
        return size < 0 ? kMissing : size;
    }
    int64_t ReadAt(const char* name, uint64_t offset, void* data, size_t n) const override {
        // The caller reads at most a DWORD's worth per call.
        size_t done = 0;
        while (done < n) {
            const DWORD want = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
            const __int64 got =
                m_files.pfnRead(m_files.pContext, name, offset + done, static_cast<char*>(data) + done, want);
            if (got < 0 || static_cast<uint64_t>(got) > want) return -1;
            if (got == 0) break;
            done += static_cast<size_t>(got);
        }
        return static_cast<int64_t>(done);
    }
    std::string PathOf(const char* name) const override { return m_location + "/" + name; }

private:
    VR_DISC_FILES m_files;
    std::string m_location;
};

}  // namespace

int fnVR_MANGROpenFiles(void* handle, const VR_DISC_FILES* files, const char* location) {
    const std::string where = location ? location : "(none)";
    return FlatCall(handle, VRO_ERR_DAMAGED, where + " holds no disc that can be opened.", [&](CVR_MANGR& m) {
        if (!files || !files->pfnSize || !files->pfnRead || !location || !*location)
            return m.fnFail(VRO_ERR_BAD_ARGUMENT, "No disc files were given.");
        return m.fnOpenFiles(std::make_shared<CallerFiles>(*files, location), location);
    });
}

int fnVR_MANGRSave(void* handle, ProgressCallback cb) {
    return FlatCall(handle, VRO_ERR_WRITE, "VR_MANGR.IFO and VR_MANGR.BUP could not be written.",
                    [&](CVR_MANGR& m) { return m.fnRTR_VMG_Save(cb); });
}

int fnVR_MANGRLock(void* handle, const char* dir, int exclusive, DWORD waitMs) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "The directory cannot be locked.",
                    [&](CVR_MANGR& m) { return m.fnLockDirectory(dir, exclusive, waitMs); });
}

int fnVR_MANGRUnlock(void* handle) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT, "", [&](CVR_MANGR& m) {
        m.fnUnlockDirectory();
        return 1;
    });
}

int fnVR_AddMpegFile(void* handle, const char* fileName, ProgressCallback progress) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT,
                    std::string(fileName ? fileName : "(none)") + " could not be added as a recording.",
                    [&](CVR_MANGR& m) { return m.fnADD_Movie_Program(fileName, progress); });
}

int fnVR_StartNewProgram(void* handle) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.",
                    [&](CVR_MANGR& m) { return m.fnStartNewProgram(); });
}

int fnVR_SetRecordingTime(void* handle, const SYSTEMTIME* utc) {
    return FlatCall(handle, VRO_ERR_NOT_INITIALISED, "No disc is open.",
                    [&](CVR_MANGR& m) { return m.fnSetRecordingTime(utc); });
}

int fnVR_AddStillFile(void* handle, const char* fileName) {
    return FlatCall(handle, VRO_ERR_BAD_ARGUMENT,
                    std::string(fileName ? fileName : "(none)") + " could not be added as still pictures.",
                    [&](CVR_MANGR& m) { return m.fnADD_Still_Pic_Program(fileName); });
}
