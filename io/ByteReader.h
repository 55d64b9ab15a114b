// Bounds-checked big-endian reader over a block of bytes (a mapped file or a
// part of it). Table loaders read every field through it at absolute offsets.
//
// A read that would leave the block returns 0 (or copies nothing) and marks
// the reader failed; the mark is sticky and remembers the offset of the first
// failing read, so a loader reads its fields and checks Ok() once at the end.
#ifndef VRMANGR_IO_BYTEREADER_H
#define VRMANGR_IO_BYTEREADER_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "io/be.h"

namespace vrm {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, uint64_t size) : m_data(data), m_size(data ? size : 0) {}

    uint64_t Size() const { return m_size; }
    const uint8_t* Data() const { return m_data; }

    // True when [offset, offset + n) lies inside the block (checked in
    // 64-bit arithmetic, so huge counts cannot wrap around).
    bool Has(uint64_t offset, uint64_t n) const { return offset <= m_size && n <= m_size - offset; }

    // Like Has, but a miss marks the reader failed.
    bool Require(uint64_t offset, uint64_t n) {
        if (Has(offset, n)) return true;
        Fail(offset);
        return false;
    }

    uint8_t U8(uint64_t offset) { return Load<uint8_t>(offset); }
    uint16_t U16(uint64_t offset) { return Load<uint16_t>(offset); }
    uint32_t U32(uint64_t offset) { return Load<uint32_t>(offset); }
    uint64_t U64(uint64_t offset) { return Load<uint64_t>(offset); }

    // Copies n bytes; on a miss copies nothing.
    bool Bytes(uint64_t offset, void* dst, uint64_t n) {
        if (!Require(offset, n)) return false;
        if (n) std::memcpy(dst, m_data + offset, static_cast<size_t>(n));
        return true;
    }

    // A pointer to n bytes inside the block, or nullptr (and failed) on a miss.
    const uint8_t* Span(uint64_t offset, uint64_t n) {
        if (!Require(offset, n)) return nullptr;
        return m_data + offset;
    }

    // Points the reader at another block; the failure mark stays.
    void Rebind(const uint8_t* data, uint64_t size) {
        m_data = data;
        m_size = data ? size : 0;
    }

    bool Ok() const { return !m_failed; }
    uint64_t FailOffset() const { return m_failOffset; }
    void ClearFailure() {
        m_failed = false;
        m_failOffset = 0;
    }
    void Fail(uint64_t offset) {
        if (!m_failed) {
            m_failed = true;
            m_failOffset = offset;
        }
    }

private:
    template <class T>
    T Load(uint64_t offset) {
        if (!Require(offset, sizeof(T))) return 0;
        return be_load<T>(m_data + offset);
    }

    const uint8_t* m_data = nullptr;
    uint64_t m_size = 0;
    bool m_failed = false;
    uint64_t m_failOffset = 0;
};

}  // namespace vrm

#endif
