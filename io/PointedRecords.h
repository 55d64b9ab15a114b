// Tables made of a header, `count` 4-byte search pointers right behind it,
// and the records those pointers address (each pointer a byte offset from a
// base the table names). The load and the write of such a table are the
// same whatever the records are; the record's own accessor does its part
// through the callbacks.
#ifndef VRMANGR_IO_POINTEDRECORDS_H
#define VRMANGR_IO_POINTEDRECORDS_H

#include <algorithm>
#include <vector>

#include "io/ByteWriter.h"
#include "io/CBuffer.h"
#include "io/be.h"

namespace vrm {

constexpr DWORD kPointerSize = 4;

// Loads the search pointers behind the header at `at` into srp, and each
// record through load(record, fileOffset), which returns the bytes it
// consumed (0 on failure). At least minRecord bytes must lie in the file at
// each address. Returns the bytes loaded (header, pointers and records), or
// 0 after marking the buffer's read failure.
template <class Record, class Load>
uint64_t LoadPointedRecords(CBuffer& buffer, uint64_t at, uint64_t headerSize, WORD count, uint64_t base,
                            uint64_t minRecord, std::vector<BYTE>& srp, std::vector<Record>& records, Load load) {
    ByteReader& reader = buffer.Reader();
    const uint64_t pointerBytes = uint64_t{kPointerSize} * count;
    const BYTE* pointers = reader.Span(at + headerSize, pointerBytes);
    if (!pointers) return 0;
    srp.assign(pointers, pointers + pointerBytes);
    uint64_t size = headerSize + pointerBytes;
    records.clear();
    records.resize(count);
    for (WORD i = 0; i < count; ++i) {
        const uint64_t recordAt = base + be_load<uint32_t>(pointers + size_t{kPointerSize} * i);
        if (recordAt > 0xFFFFFFFFu) {
            reader.Fail(recordAt);
            return 0;
        }
        if (!reader.Require(recordAt, minRecord)) return 0;
        const DWORD consumed = load(records[i], static_cast<DWORD>(recordAt));
        size += consumed;
        // Records may share bytes on a damaged disc; what one table loads
        // can never exceed the file itself.
        if (!consumed || size > reader.Size()) {
            reader.Fail(recordAt);
            return 0;
        }
    }
    return size;
}

// Writes the records back to back behind the header and the pointers of
// the table that starts at `at` in the writer, sets each search pointer to
// base + the record's offset in the table and writes the pointers behind
// the header; records the array lacks (a count raised by hand) are written
// as emptySize zero bytes. write(record, writer, offset) writes a record
// and returns its length. Returns the table's length.
template <class Record, class Write>
DWORD WritePointedRecords(ByteWriter& w, uint64_t at, DWORD headerSize, WORD count, DWORD base, DWORD emptySize,
                          std::vector<BYTE>& srp, std::vector<Record>& records, Write write) {
    if (srp.size() < size_t{kPointerSize} * count) srp.resize(size_t{kPointerSize} * count, 0);
    DWORD pos = headerSize + kPointerSize * DWORD{count};
    for (WORD i = 0; i < count; ++i) {
        be_store<uint32_t>(srp.data() + size_t{kPointerSize} * i, base + pos);
        if (i < records.size()) {
            pos += write(records[i], w, at + pos);
        } else {
            w.Fill(at + pos, 0, emptySize);
            pos += emptySize;
        }
    }
    w.Bytes(at + headerSize, srp.data(), size_t{kPointerSize} * count);
    return pos;
}

// The size WritePointedRecords gives; size(record) is a record's own.
template <class Record, class Size>
DWORD PointedRecordsSize(DWORD headerSize, WORD count, DWORD emptySize, const std::vector<Record>& records, Size size) {
    DWORD total = headerSize + kPointerSize * DWORD{count};
    for (WORD i = 0; i < count; ++i) total += i < records.size() ? size(records[i]) : emptySize;
    return total;
}

// Removes record i and one search pointer; the pointers are recomputed by
// the next write. false, changing nothing, when there is no record i. The
// caller lowers the table's count.
template <class Record>
bool ErasePointedRecord(std::vector<BYTE>& srp, std::vector<Record>& records, size_t i) {
    if (i >= records.size()) return false;
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(i));
    srp.resize(std::min(srp.size(), size_t{kPointerSize} * records.size()));
    return true;
}

}  // namespace vrm

#endif
