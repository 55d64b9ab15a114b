// Record layouts of the management file, each declared once.
//
// A record (a table header, a search pointer, an array entry) is declared as
// an X-macro that lists its fields in disc order:
//
//   #define VRM_FIELDS_M_AVFIT_HEADER(F, C)  (each line but the last ends
//       F(C, RSV, reserved0, 0, 2, _, _)    in a backslash)
//       F(C, U8, M_AVFI_Ns, 2, 1, fnGet_c1_M_AVFI_Ns, fnSet_c1_M_AVFI_Ns)
//       ...
//
// with, for each field, its kind (RSV reserved, U8 / U16 / U32 / U40
// big-endian numbers, BYTES an array; the same with _RO for fields that are
// read only), its name as the format gives it, its offset and width in
// bytes, and the getter and setter names of its accessor. From that one list
// come:
//  - the layout type (VRM_LAYOUT): the field descriptions for dumps and
//    tests, the record's size, named offsets (Layout::At::M_AVFI_Ns), and a
//    compile-time check that the fields tile the record: each begins where
//    the one before ends, the last ends at the record's size, and each
//    number's width fits its kind;
//  - the accessors in a table class (VRM_ACCESSORS over a block,
//    VRM_ENTRY_ACCESSORS over entry i of an array).
//
// Records are kept as their bytes on disc. An accessor finds the bytes of
// its record through a "base" member function that returns a pointer to the
// record's first byte, or nullptr when there is none (no record bound, an
// entry index outside the array). Every accessor behaves alike:
//  - with no base, getters return 0 and setters return 0 and write nothing;
//  - numbers are big-endian on disc and host values in the interface;
//  - byte-array getters copy the whole field and return 1 (0 for a null
//    destination); byte-array setters take (source, length), refuse a null
//    source or a length above the field's width with 0, else copy `length`
//    bytes to the start of the field and return 1.
#ifndef VRMANGR_IO_FIELDS_H
#define VRMANGR_IO_FIELDS_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "io/be.h"
#include "platform/types.h"

namespace vrm {

enum class FieldKind : uint8_t { RSV, U8, U16, U32, U40, BYTES };

struct FieldDesc {
    const char* name;
    uint32_t offset;
    uint32_t width;
    FieldKind kind;
};

// True when the fields lie back to back from offset 0 to `size` and each
// number is as wide as its kind.
template <size_t N>
constexpr bool FieldsTile(const FieldDesc (&fields)[N], uint32_t size) {
    uint32_t at = 0;
    for (size_t i = 0; i < N; ++i) {
        const FieldDesc& f = fields[i];
        if (f.offset != at || f.width == 0) return false;
        const uint32_t numberWidth = f.kind == FieldKind::U8    ? 1
                                     : f.kind == FieldKind::U16 ? 2
                                     : f.kind == FieldKind::U32 ? 4
                                     : f.kind == FieldKind::U40 ? 5
                                                                : 0;
        if (numberWidth != 0 && numberWidth != f.width) return false;
        at += f.width;
    }
    return at == size;
}

// Appends one line per field that is not reserved, "<indent>NAME = value":
// numbers in decimal, byte arrays in hexadecimal (trailing zero bytes of a
// long array shown as "..."). `record` holds at least the record's size.
void DumpFields(const FieldDesc* fields, size_t count, const BYTE* record, const std::string& indent, std::string& out);

template <class Layout>
void DumpRecord(const BYTE* record, const std::string& indent, std::string& out) {
    DumpFields(Layout::kFields, sizeof Layout::kFields / sizeof Layout::kFields[0], record, indent, out);
}

// "<indent>NAME n:", the heading of entry n of an array.
inline void DumpHeading(const char* name, size_t number, const std::string& indent, std::string& out) {
    out += indent + name + " " + std::to_string(number) + ":\n";
}

// Entry n of an array under its heading, its fields two spaces further in;
// an entry the array lacks (nullptr) shows as the zeros it is written as.
template <class Layout>
void DumpEntry(const char* name, size_t number, const BYTE* record, const std::string& indent, std::string& out) {
    static const BYTE kZero[Layout::kSize] = {};
    DumpHeading(name, number, indent, out);
    DumpRecord<Layout>(record ? record : kZero, indent + "  ", out);
}

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

// Removes entry i of such an array, the entries behind it moving up one
// place; false, changing nothing, when the array does not hold it.
inline bool EraseEntry(std::vector<BYTE>& entries, size_t entrySize, size_t i) {
    BYTE* entry = EntryAt(entries, entrySize, i);
    if (!entry) return false;
    const auto at = entries.begin() + (entry - entries.data());
    entries.erase(at, at + static_cast<std::ptrdiff_t>(entrySize));
    return true;
}

}  // namespace vrm

// ---- The layout type of a field list ----

#define VRM_FIELD_DESC(C, Kind, Name, Offset, Width, Get, Set) \
    vrm::FieldDesc{#Name, Offset, Width, vrm::FieldKind::VRM_KIND_##Kind},
#define VRM_KIND_RSV RSV
#define VRM_KIND_U8 U8
#define VRM_KIND_U16 U16
#define VRM_KIND_U32 U32
#define VRM_KIND_U40 U40
#define VRM_KIND_BYTES BYTES
#define VRM_KIND_U8_RO U8
#define VRM_KIND_U16_RO U16
#define VRM_KIND_U32_RO U32
#define VRM_KIND_BYTES_RO BYTES

#define VRM_FIELD_AT(C, Kind, Name, Offset, Width, Get, Set) static constexpr uint32_t Name = Offset;

// struct Name { kFields, kSize, At::<field> } for the list, with the check
// that its fields tile Size bytes.
#define VRM_LAYOUT(Name, List, Size)                                           \
    struct Name {                                                              \
        static constexpr vrm::FieldDesc kFields[] = {List(VRM_FIELD_DESC, ~)}; \
        static constexpr uint32_t kSize = Size;                                \
        struct At {                                                            \
            List(VRM_FIELD_AT, ~)                                              \
        };                                                                     \
    };                                                                         \
    static_assert(vrm::FieldsTile(Name::kFields, Name::kSize),                 \
                  #Name ": the fields must lie back to back and fill the record")

// ---- Accessors over one block: Base() returns the record or nullptr ----

#define VRM_ACCESSORS(List, Base) List(VRM_ACC, Base)
#define VRM_ACC(Base, Kind, Name, Offset, Width, Get, Set) VRM_ACC_##Kind(Base, Offset, Width, Get, Set)
#define VRM_ACC_RSV(Base, Offset, Width, Get, Set)
#define VRM_ACC_U8(Base, Offset, Width, Get, Set) VRM_SCALAR_FIELD(BYTE, Get, Set, Base, Offset)
#define VRM_ACC_U16(Base, Offset, Width, Get, Set) VRM_SCALAR_FIELD(WORD, Get, Set, Base, Offset)
#define VRM_ACC_U32(Base, Offset, Width, Get, Set) VRM_SCALAR_FIELD(DWORD, Get, Set, Base, Offset)
#define VRM_ACC_U40(Base, Offset, Width, Get, Set) VRM_BYTES_FIELD(Get, Set, Base, Offset, Width)
#define VRM_ACC_BYTES(Base, Offset, Width, Get, Set) VRM_BYTES_FIELD(Get, Set, Base, Offset, Width)
#define VRM_ACC_U8_RO(Base, Offset, Width, Get, Set) VRM_SCALAR_GETTER(BYTE, Get, Base, Offset)
#define VRM_ACC_U16_RO(Base, Offset, Width, Get, Set) VRM_SCALAR_GETTER(WORD, Get, Base, Offset)
#define VRM_ACC_U32_RO(Base, Offset, Width, Get, Set) VRM_SCALAR_GETTER(DWORD, Get, Base, Offset)
#define VRM_ACC_BYTES_RO(Base, Offset, Width, Get, Set) VRM_BYTES_GETTER(Get, Base, Offset, Width)

// ---- Accessors over entry i: GetBase(i) and SetBase(i) return the entry ----
// (separate bases for tables whose getters answer a narrower index range
// than the entries that exist; pass the same function twice otherwise).

#define VRM_ENTRY_ACCESSORS(List, Index, GetBase, SetBase) List(VRM_EACC, (Index, GetBase, SetBase))
#define VRM_EXPAND(...) __VA_ARGS__
#define VRM_APPLY(M, ...) M(__VA_ARGS__)
#define VRM_EACC(Ctx, Kind, Name, Offset, Width, Get, Set) \
    VRM_APPLY(VRM_EACC_##Kind, VRM_EXPAND Ctx, Offset, Width, Get, Set)
#define VRM_EACC_RSV(Index, GetBase, SetBase, Offset, Width, Get, Set)
#define VRM_EACC_U8(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    VRM_ENTRY_SCALAR_FIELD_GS(BYTE, Index, Get, Set, GetBase, SetBase, Offset)
#define VRM_EACC_U16(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    VRM_ENTRY_SCALAR_FIELD_GS(WORD, Index, Get, Set, GetBase, SetBase, Offset)
#define VRM_EACC_U32(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    VRM_ENTRY_SCALAR_FIELD_GS(DWORD, Index, Get, Set, GetBase, SetBase, Offset)
#define VRM_EACC_U40(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    VRM_ENTRY_BYTES_FIELD_GS(Index, Get, Set, GetBase, SetBase, Offset, Width)
#define VRM_EACC_BYTES(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    VRM_ENTRY_BYTES_FIELD_GS(Index, Get, Set, GetBase, SetBase, Offset, Width)
#define VRM_EACC_U8_RO(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    BYTE Get(Index i) const { return vrm::GetField<BYTE>(GetBase(i), Offset); }
#define VRM_EACC_U16_RO(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    WORD Get(Index i) const { return vrm::GetField<WORD>(GetBase(i), Offset); }
#define VRM_EACC_U32_RO(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    DWORD Get(Index i) const { return vrm::GetField<DWORD>(GetBase(i), Offset); }
#define VRM_EACC_BYTES_RO(Index, GetBase, SetBase, Offset, Width, Get, Set) \
    int Get(Index i, BYTE* out) const { return vrm::GetFieldBytes(GetBase(i), Offset, Width, out); }

// Accessors of a field list whose fields do not all share one base: the
// accessor of field Name is whatever Prefix##Name(Kind, Name, Offset, Width,
// Get, Set) expands to: VRM_ACC(Base, ...) or VRM_EACC((Index, GetBase,
// SetBase), ...) with the field's own bases, or nothing for a field whose
// accessor another list already makes.
#define VRM_ACCESSORS_BY_NAME(List, Prefix) List(VRM_ACC_BY_NAME, Prefix)
#define VRM_ACC_BY_NAME(Prefix, Kind, Name, Offset, Width, Get, Set) Prefix##Name(Kind, Name, Offset, Width, Get, Set)

// ---- The single accessor forms the lists expand to ----

#define VRM_SCALAR_FIELD(T, Get, Set, Base, Offset)            \
    T Get() const { return vrm::GetField<T>(Base(), Offset); } \
    int Set(T value) { return vrm::SetField<T>(Base(), Offset, value); }
#define VRM_BYTES_FIELD(Get, Set, Base, Offset, Width)                                  \
    int Get(BYTE* out) const { return vrm::GetFieldBytes(Base(), Offset, Width, out); } \
    int Set(const BYTE* src, DWORD length) { return vrm::SetFieldBytes(Base(), Offset, Width, src, length); }
#define VRM_ENTRY_SCALAR_FIELD_GS(T, Index, Get, Set, GetBase, SetBase, Offset) \
    T Get(Index i) const { return vrm::GetField<T>(GetBase(i), Offset); }       \
    int Set(Index i, T value) { return vrm::SetField<T>(SetBase(i), Offset, value); }
#define VRM_ENTRY_BYTES_FIELD_GS(Index, Get, Set, GetBase, SetBase, Offset, Width)                   \
    int Get(Index i, BYTE* out) const { return vrm::GetFieldBytes(GetBase(i), Offset, Width, out); } \
    int Set(Index i, const BYTE* src, DWORD length) {                                                \
        return vrm::SetFieldBytes(SetBase(i), Offset, Width, src, length);                           \
    }
#define VRM_SCALAR_GETTER(T, Get, Base, Offset) \
    T Get() const { return vrm::GetField<T>(Base(), Offset); }
#define VRM_BYTES_GETTER(Get, Base, Offset, Width) \
    int Get(BYTE* out) const { return vrm::GetFieldBytes(Base(), Offset, Width, out); }

#endif
