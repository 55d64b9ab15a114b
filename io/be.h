// Big-endian loads and stores. Every multi-byte value of the management file
// is big-endian and the model keeps the file's bytes as they are, so all
// field access goes through this one pair of templates.
#ifndef VRMANGR_IO_BE_H
#define VRMANGR_IO_BE_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vrm {

// Reads sizeof(T) bytes at p, most significant byte first.
template <class T>
inline T be_load(const uint8_t* p) {
    static_assert(std::is_unsigned<T>::value, "be_load reads unsigned values");
    T v = 0;
    for (size_t i = 0; i < sizeof(T); ++i) v = static_cast<T>((v << 8) | p[i]);
    return v;
}

template <>
inline uint8_t be_load<uint8_t>(const uint8_t* p) {
    return p[0];
}

// Writes v as sizeof(T) bytes at p, most significant byte first.
template <class T>
inline void be_store(uint8_t* p, T v) {
    static_assert(std::is_unsigned<T>::value, "be_store writes unsigned values");
    // Composed in a local array and copied in one piece: byte-wise stores
    // through p draw false out-of-bounds warnings from some compilers.
    uint8_t bytes[sizeof(T)];
    for (size_t i = sizeof(T); i-- > 0;) {
        bytes[i] = static_cast<uint8_t>(v & 0xFF);
        v = static_cast<T>(v >> 4 >> 4);  // two steps: no full-width shift for 8-bit T
    }
    std::memcpy(p, bytes, sizeof(T));
}

// The same for widths that are not a power of two (the 3-byte VOBU entry
// fields, the 6-byte PTM): n bytes, 1 <= n <= 8.
inline uint64_t be_load_n(const uint8_t* p, size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

inline void be_store_n(uint8_t* p, size_t n, uint64_t v) {
    for (size_t i = n; i-- > 0;) {
        p[i] = static_cast<uint8_t>(v & 0xFF);
        v >>= 8;
    }
}

}  // namespace vrm

#endif
