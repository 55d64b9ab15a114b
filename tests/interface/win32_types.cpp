// A C++ caller with Win32-style names of its own includes both public
// headers: they compile, and the caller's names mean what they meant.
#include <type_traits>

typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned long DWORD;
typedef long long __int64;
typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME;
#define __stdcall

#define VRMANGR_NO_WIN32_TYPES
#include <vrmangr/vrmangr.h>
#include <vrmangr/vrmangr_c.h>

static_assert(std::is_same<DWORD, unsigned long>::value, "the caller's DWORD");
static_assert(std::is_same<__int64, long long>::value, "the caller's __int64");
static_assert(sizeof(SYSTEMTIME) == 16 && std::is_same<decltype(SYSTEMTIME::wYear), unsigned short>::value,
              "the caller's SYSTEMTIME");

int main() {
    void* h = fnVR_MANGRBegin();
    const DWORD error = fnVR_MANGRGetLastError(h) + vrm_MANGRGetLastError(h);
    VR_STATUS status{};
    const int refused = fnVR_GetPLCount(h) == 0 && fnVR_MANGRGetLastStatus(h, &status) == 1;
    fnVR_MANGREnd(h);
    return error == 0 && refused ? 0 : 1;
}
