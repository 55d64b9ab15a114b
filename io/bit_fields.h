// Values packed of bit fields (the attributes of the management file): each
// declared once as an X-list of its fields,
//
//   #define VRM_BITS_V_ATR(F)  F(compression, 14, 2) F(tvSystem, 12, 2) ...
//
// one F(member, lowest bit, width) per field, from which unpacking, packing
// and a compile-time check that the fields fill the value, each bit once,
// all follow.
#ifndef VRMANGR_IO_BIT_FIELDS_H
#define VRMANGR_IO_BIT_FIELDS_H

#include <cstdint>

namespace vrm {

constexpr uint64_t BitMask(unsigned shift, unsigned width) { return ((uint64_t{1} << width) - 1) << shift; }

}  // namespace vrm

// Statements of an unpacking: out.member from the value v.
#define VRM_BITS_UNPACK(member, shift, width) \
    out.member = static_cast<decltype(out.member)>(v >> (shift) & ((uint32_t{1} << (width)) - 1));
// Terms of a packing (after a 0): each member of `in` at its place; bits
// beyond a field's width are dropped.
#define VRM_BITS_PACK(member, shift, width) \
    | (static_cast<uint32_t>(in.member) & ((uint32_t{1} << (width)) - 1)) << (shift)
#define VRM_BITS_MASK(member, shift, width) | ::vrm::BitMask(shift, width)
#define VRM_BITS_WIDTH(member, shift, width) +(width)
// The fields of LIST fill a value of `bits` bits, each bit once.
#define VRM_BITS_CHECK(LIST, bits)                                                                                    \
    static_assert((uint64_t{0} LIST(VRM_BITS_MASK)) == ::vrm::BitMask(0, bits) && (0 LIST(VRM_BITS_WIDTH)) == (bits), \
                  #LIST " does not fill " #bits " bits, each once")

#endif
