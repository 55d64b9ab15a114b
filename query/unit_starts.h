// Where the units of a recording begin in its stream file, in sectors: the
// VOBUs of a VOB by its time map, the pictures of a still VOG.
#ifndef VRMANGR_QUERY_UNIT_STARTS_H
#define VRMANGR_QUERY_UNIT_STARTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

struct VMG_MODEL;

namespace vrm {

// The first sector of each unit of VOB n (still false; from 0: its VOBUs,
// ADR_OFS, then behind each VOBU_SZ) or of VOG n (still true: its pictures,
// S_VOG_SA, then behind each picture's video and original audio part), in
// order. Empty when there is no such recording, or it has no time map or no
// picture.
std::vector<uint64_t> UnitStarts(const VMG_MODEL& model, bool still, size_t n);

}  // namespace vrm

#endif
