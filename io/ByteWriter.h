// Bounds-checked big-endian writer over a caller's byte buffer: the
// counterpart of ByteReader for serialisers. A write that would leave the
// buffer writes nothing and marks the writer failed (sticky, with the offset
// of the first failing write).
#ifndef VRMANGR_IO_BYTEWRITER_H
#define VRMANGR_IO_BYTEWRITER_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/be.h"
#include "io/invariant.h"

namespace vrm {

class ByteWriter {
public:
    ByteWriter(uint8_t* data, uint64_t capacity) : m_data(data), m_capacity(data ? capacity : 0) {}

    uint64_t Capacity() const { return m_capacity; }
    bool Has(uint64_t offset, uint64_t n) const { return offset <= m_capacity && n <= m_capacity - offset; }

    bool U8(uint64_t offset, uint8_t v) { return Store(offset, v); }
    bool U16(uint64_t offset, uint16_t v) { return Store(offset, v); }
    bool U32(uint64_t offset, uint32_t v) { return Store(offset, v); }
    bool U64(uint64_t offset, uint64_t v) { return Store(offset, v); }

    bool Bytes(uint64_t offset, const void* src, uint64_t n) {
        if (!Require(offset, n)) return false;
        if (n) std::memcpy(m_data + offset, src, static_cast<size_t>(n));
        return true;
    }

    // Writes n bytes from `bytes` (which holds `have` of them) at offset:
    // what it holds, then zeros for the rest. Arrays whose count was raised
    // by hand beyond the records held are written this way, so that the
    // length written always matches the count. Returns n.
    uint64_t BytesOrZeros(uint64_t offset, const std::vector<uint8_t>& bytes, uint64_t n) {
        const uint64_t have = n < bytes.size() ? n : bytes.size();
        Bytes(offset, bytes.data(), have);
        Fill(offset + have, 0, n - have);
        return n;
    }

    bool Fill(uint64_t offset, uint8_t value, uint64_t n) {
        if (!Require(offset, n)) return false;
        if (n) std::memset(m_data + offset, value, static_cast<size_t>(n));
        return true;
    }

    bool Ok() const { return !m_failed; }
    uint64_t FailOffset() const { return m_failOffset; }
    // The end of the furthest write so far.
    uint64_t End() const { return m_end; }

private:
    bool Require(uint64_t offset, uint64_t n) {
        if (Has(offset, n)) {
            if (offset + n > m_end) m_end = offset + n;
            return true;
        }
        if (!m_failed) {
            m_failed = true;
            m_failOffset = offset;
        }
        return false;
    }

    template <class T>
    bool Store(uint64_t offset, T v) {
        if (!Require(offset, sizeof(T))) return false;
        be_store<T>(m_data + offset, v);
        return true;
    }

    uint8_t* m_data;
    uint64_t m_capacity;
    bool m_failed = false;
    uint64_t m_failOffset = 0;
    uint64_t m_end = 0;
};

// Serialises a record of `size` bytes into `out` through a checked writer:
// write(writer) writes it from offset 0. Returns size, or 0 for a null out
// and when the record wrote other than exactly its size (an internal fault,
// an invariant failure in test builds).
template <class Write>
uint32_t WriteExactly(uint8_t* out, uint32_t size, Write&& write) {
    if (!out) return 0;
    ByteWriter writer(out, size);
    write(writer);
    const bool exact = writer.Ok() && writer.End() == size;
    VRM_INVARIANT(exact, "a table wrote other than its declared size");
    return exact ? size : 0;
}

}  // namespace vrm

#endif
