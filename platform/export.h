// Symbol visibility of the shared library: only what carries VRMANGR_API is
// exported; everything else (the byte buffer, the codecs, the platform layer)
// stays internal.
#ifndef VRMANGR_PLATFORM_EXPORT_H
#define VRMANGR_PLATFORM_EXPORT_H

#if defined(_WIN32)
#define VRMANGR_API
#else
#define VRMANGR_API __attribute__((visibility("default")))
#endif

#endif
