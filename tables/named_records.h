// Attribute records that other records name by a 1-based number: the
// M_VOB_STI a VOB names, the S_VOB_STI a VOG names, the S_AA_STI an
// additional-audio group names. Each kind lies in an array of fixed-size
// records with one spare slot behind them (the scratch record in which new
// attributes are built and compared).
#ifndef VRMANGR_TABLES_NAMED_RECORDS_H
#define VRMANGR_TABLES_NAMED_RECORDS_H

#include <cstddef>
#include <vector>

#include "platform/types.h"

namespace vrm {

// Removes record `number` of the array (`size` bytes a record) whose
// one-byte count field `count` says how many records it holds, unless one
// of the one-byte number fields in `names` names it. The records behind it
// move up, the spare slot stays behind the last one, and the count goes
// down by one; names of later records are lowered by one, while a name
// beyond the count named no record and stays as it is. false, changing
// nothing, for a number outside 1..count, a record the array lacks, or a
// number still named.
bool RemoveNamedRecord(std::vector<BYTE>& records, size_t size, BYTE* count, BYTE number,
                       const std::vector<BYTE*>& names);

}  // namespace vrm

#endif
