// Field accessors of the management tables, generated from one declaration
// per field.
//
// Model records keep their bytes exactly as on disc. An accessor class finds
// the bytes of a field through a "base" member function that returns a
// pointer to the start of the record, header or entry the field lies in, or
// nullptr when there is none (no record bound, an entry index outside the
// array). The macros below turn one line per field (names, base, offset,
// width) into the getter and setter pair, so every accessor behaves alike:
//
//  - with no base, getters return 0 and setters return 0 and write nothing;
//  - numeric fields are big-endian on disc and host values in the interface;
//  - byte-array getters copy the whole field and return 1 (0 for a null
//    destination); byte-array setters take (source, length), refuse a null
//    source or a length above the field's width with 0, else copy `length`
//    bytes to the start of the field and return 1.
//
// Each table lists its fields in an X-macro, so the same list also serves
// dumps and tests.
#ifndef VRMANGR_IO_FIELDS_H
#define VRMANGR_IO_FIELDS_H

#include <cstddef>
#include <cstring>
#include <vector>

#include "io/be.h"
#include "platform/types.h"

namespace vrm {

template <class T>
inline T GetField(const BYTE* base, size_t offset) {
    return base ? be_load<T>(base + offset) : T{0};
}

template <class T>
inline int SetField(BYTE* base, size_t offset, T value) {
    if (!base) return 0;
    be_store<T>(base + offset, value);
    return 1;
}

inline int GetFieldBytes(const BYTE* base, size_t offset, size_t width, BYTE* out) {
    if (!base || !out) return 0;
    std::memcpy(out, base + offset, width);
    return 1;
}

inline int SetFieldBytes(BYTE* base, size_t offset, size_t width, const BYTE* src, DWORD length) {
    if (!base || !src || length > width) return 0;
    std::memcpy(base + offset, src, length);
    return 1;
}

// Entry i of an array of fixed-size records kept as bytes, or nullptr when
// the array does not hold it.
inline BYTE* EntryAt(std::vector<BYTE>& entries, size_t entrySize, size_t i) {
    if (entrySize == 0 || i >= entries.size() / entrySize) return nullptr;
    return entries.data() + entrySize * i;
}

}  // namespace vrm

// A numeric field (BYTE, WORD or DWORD) of the block that Base() returns.
#define VRM_SCALAR_FIELD(T, Get, Set, Base, Offset)            \
    T Get() const { return vrm::GetField<T>(Base(), Offset); } \
    int Set(T value) { return vrm::SetField<T>(Base(), Offset, value); }

// A numeric field of entry i; Base(i) returns the entry or nullptr.
#define VRM_ENTRY_SCALAR_FIELD(T, Index, Get, Set, Base, Offset)       \
    T Get(Index i) const { return vrm::GetField<T>(Base(i), Offset); } \
    int Set(Index i, T value) { return vrm::SetField<T>(Base(i), Offset, value); }

// A byte array of Width bytes.
#define VRM_BYTES_FIELD(Get, Set, Base, Offset, Width)                                  \
    int Get(BYTE* out) const { return vrm::GetFieldBytes(Base(), Offset, Width, out); } \
    int Set(const BYTE* src, DWORD length) { return vrm::SetFieldBytes(Base(), Offset, Width, src, length); }

// A byte array of Width bytes in entry i.
#define VRM_ENTRY_BYTES_FIELD(Index, Get, Set, Base, Offset, Width)                               \
    int Get(Index i, BYTE* out) const { return vrm::GetFieldBytes(Base(i), Offset, Width, out); } \
    int Set(Index i, const BYTE* src, DWORD length) { return vrm::SetFieldBytes(Base(i), Offset, Width, src, length); }

// The same two forms with separate bases for reading and writing, for tables
// whose getters answer a narrower index range than the entries that exist.
#define VRM_ENTRY_SCALAR_FIELD_GS(T, Index, Get, Set, GetBase, SetBase, Offset) \
    T Get(Index i) const { return vrm::GetField<T>(GetBase(i), Offset); }       \
    int Set(Index i, T value) { return vrm::SetField<T>(SetBase(i), Offset, value); }
#define VRM_ENTRY_BYTES_FIELD_GS(Index, Get, Set, GetBase, SetBase, Offset, Width)                   \
    int Get(Index i, BYTE* out) const { return vrm::GetFieldBytes(GetBase(i), Offset, Width, out); } \
    int Set(Index i, const BYTE* src, DWORD length) {                                                \
        return vrm::SetFieldBytes(SetBase(i), Offset, Width, src, length);                           \
    }

// Read-only forms, for sub-fields that the format edits only as a whole.
#define VRM_SCALAR_GETTER(T, Get, Base, Offset) \
    T Get() const { return vrm::GetField<T>(Base(), Offset); }
#define VRM_BYTES_GETTER(Get, Base, Offset, Width) \
    int Get(BYTE* out) const { return vrm::GetFieldBytes(Base(), Offset, Width, out); }

#endif
