// Shorthands shared by the table tests, and the one load-and-write-back
// harness every table's fixture list runs through.
#ifndef VRMANGR_TESTS_TABLES_TABLETESTS_H
#define VRMANGR_TESTS_TABLES_TABLETESTS_H

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
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

// What a loader made of a table at a file offset: what it returned, the
// loaded record written again, and whether the record holds nothing (not
// known for loaders that leave a refused record as far as they got).
struct Loaded {
    DWORD n = 0;
    std::vector<BYTE> written;
    std::optional<bool> empty;
};
using LoadAt = std::function<Loaded(CBuffer*, DWORD at)>;

// The loader of a table whose accessor is built as Table(buffer, &record,
// at) to load and Table(&record) to write; `empty` tells a record that
// holds nothing.
template <class Record, class Table>
LoadAt Loader(DWORD (Table::*load)(), std::function<bool(Record&)> empty = nullptr) {
    return [load, empty](CBuffer* buffer, DWORD at) {
        Record record{};
        Loaded l;
        l.n = (Table(buffer, &record, at).*load)();
        l.written = Serialise(Table(&record));
        if (empty) l.empty = empty(record);
        return l;
    };
}

// The bytes the table writes, checked to load back into a table that
// writes them again.
template <class Record, class Table>
std::vector<BYTE> RoundTrip(Record& record, DWORD (Table::*load)()) {
    const std::vector<BYTE> bytes = Serialise(Table(&record));
    BytesFile file(bytes);
    const LoadAt loader = Loader<Record, Table>(load);
    EXPECT_EQ(loader(&file.buffer, 0).written, bytes) << "loaded back and written again";
    return bytes;
}

// One row of a fixture list: `bytes` lie `at` bytes into a file, behind
// filler that must never be taken for data and with `tail` filler bytes
// behind them. A table that loads returns its size without a read failure
// and writes back `writes` (`bytes` when empty); a refused one returns 0,
// marks the read failure and, where the loader says, leaves its record
// empty.
struct Row {
    std::string what;
    LoadAt load;
    std::vector<BYTE> bytes;
    bool loads = true;
    DWORD at = 0;
    size_t tail = 0;
    std::vector<BYTE> writes = {};
};

inline void ExpectRows(const std::vector<Row>& rows) {
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<BYTE> file(r.at, 0xEE);
        file.insert(file.end(), r.bytes.begin(), r.bytes.end());
        file.resize(file.size() + r.tail, 0xEE);
        BytesFile f(file);
        const Loaded l = r.load(&f.buffer, r.at);
        EXPECT_EQ(f.buffer.ReadFailed(), !r.loads);
        EXPECT_EQ(l.n, r.loads ? r.bytes.size() : 0u);
        if (r.loads) {
            EXPECT_EQ(l.written, r.writes.empty() ? r.bytes : r.writes);
        } else if (l.empty) {
            EXPECT_TRUE(*l.empty) << "the refused record keeps what was loaded";
        }
    }
}

#endif
