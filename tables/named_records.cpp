#include "tables/named_records.h"

#include "io/fields.h"

namespace vrm {

bool RemoveNamedRecord(std::vector<BYTE>& records, size_t size, BYTE* count, BYTE number,
                       const std::vector<BYTE*>& names) {
    const BYTE n = *count;
    if (number == 0 || number > n || !EntryAt(records, size, number - 1u)) return false;
    for (const BYTE* name : names) {
        if (*name == number) return false;
    }
    records.reserve(size * n);  // the records left and the spare slot: nothing below allocates
    EraseEntry(records, size, number - 1u);
    records.resize(size * n, 0);
    for (BYTE* name : names) {
        if (*name > number && *name <= n) --*name;
    }
    --*count;
    return true;
}

}  // namespace vrm
