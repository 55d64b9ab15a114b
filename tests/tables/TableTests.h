// Shorthands shared by the table tests.
#ifndef VRMANGR_TESTS_TABLES_TABLETESTS_H
#define VRMANGR_TESTS_TABLES_TABLETESTS_H

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/Ints.h"
#include "support/TableIO.h"

inline std::vector<BYTE> Bytes(const BYTE* p, size_t n) { return std::vector<BYTE>(p, p + n); }

// The first n of `bytes`.
inline std::vector<BYTE> Head(const std::vector<BYTE>& bytes, size_t n) { return Bytes(bytes.data(), n); }

// `bytes` with `value` stored big-endian in the `width` bytes at `at`.
inline std::vector<BYTE> With(std::vector<BYTE> bytes, size_t at, uint64_t value, size_t width = 1) {
    for (size_t i = width; i-- > 0; value >>= 8) bytes.at(at + i) = static_cast<BYTE>(value);
    return bytes;
}

// `head`, n big-endian 32-bit search pointers that all name `to`, then `tail`.
inline std::vector<BYTE> SamePointers(std::vector<BYTE> head, size_t n, DWORD to, const std::vector<BYTE>& tail) {
    for (size_t i = 0; i < n; ++i) {
        const size_t at = head.size();
        head.resize(at + 4);
        head = With(std::move(head), at, to, 4);
    }
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// Expects load(buffer) to refuse `bytes` placed `lead` bytes into a file:
// it returns 0 and marks the buffer's read failure.
template <class Load>
void ExpectRefused(const std::vector<BYTE>& bytes, Load load, size_t lead = 0) {
    BytesFile file(bytes, lead);
    EXPECT_EQ(load(&file.buffer), 0u);
    EXPECT_TRUE(file.buffer.ReadFailed());
}

// Expects load(buffer) to take all of `bytes`, placed `lead` bytes into a
// file, without a read failure.
template <class Load>
void ExpectLoads(const std::vector<BYTE>& bytes, Load load, size_t lead = 0) {
    BytesFile file(bytes, lead);
    EXPECT_EQ(load(&file.buffer), bytes.size());
    EXPECT_FALSE(file.buffer.ReadFailed());
}

#endif
