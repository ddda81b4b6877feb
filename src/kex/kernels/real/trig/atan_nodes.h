// The arctangent nodes, shared by every kernel that reduces an arctangent
// argument t in [0, 1] around a nearby node.
//
// The nodes are c = 2^e (1 + k/32) for e = -8..-1 and k = 0..31, and c = 1:
// 257 numbers, increasing, every one of them 6 significant bits long. A t in
// [2^-8, 1] rounded to 6 significant bits (round_to_node) is a node, and its
// row in kTable is row_of(c) = (bits(c) - bits(2^-8)) >> 47. A row holds
// atan(c) rounded to double and the rest, atan(c) - high, rounded to double
// (tools/kex_tables/atan_nodes.cc, MPFR).
//
// With c the rounded t, |t - c| <= 2^-6 t, so the remainder
// r = (t - c) / (1 + t c) of atan(t) = atan(c) + atan(r) is below 2^-7; since
// c has 6 bits, c times a 26-bit half of a double is exact, which is what
// lets a caller form t - c from a quotient y/x without rounding.
#pragma once

#include <bit>
#include <cstdint>

namespace kex {
namespace atan_nodes {

inline constexpr int kRows = 257;
inline constexpr double kFirst = 0x1p-8;                  // the smallest node
inline constexpr uint64_t kFirstBits = 0x3F70000000000000u;  // its bit pattern
inline constexpr uint64_t kRoundHalf = uint64_t{1} << 46;  // half a unit of the 6th bit
inline constexpr uint64_t kNodeMask = ~((uint64_t{1} << 47) - 1);  // sign, exponent, 5 bits

// {atan(c) high, atan(c) low} of the nodes, in increasing order of c.
alignas(64) inline constexpr double kTable[kRows][2] = {
#include "kex/kernels/real/trig/atan_table.inc"
};

// t rounded to 6 significant bits (a node when 2^-8 <= t <= 1).
inline double round_to_node(double t) {
    return std::bit_cast<double>((std::bit_cast<uint64_t>(t) + kRoundHalf) & kNodeMask);
}
// The row of a node c.
inline uint32_t row_of(double c) { return static_cast<uint32_t>((std::bit_cast<uint64_t>(c) - kFirstBits) >> 47); }

}  // namespace atan_nodes
}  // namespace kex
