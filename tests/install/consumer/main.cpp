// A client of the installed library: it sees only the installed headers.
#include <vrmangr/vrmangr.h>

#include <cstdio>

int main() {
    void* handle = fnVR_MANGRBegin();
    if (!handle) return 1;
    const DWORD error = fnVR_MANGRGetLastError(handle);
    fnVR_MANGREnd(handle);
    if (error != 0) return 2;
    std::printf("handle ok\n");
    return 0;
}
