// Exact sums over a run of unsigned bytes (internal), the inner loop of the
// statistics of 8-bit samples.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra::ByteSums {

struct Result {
    uint64_t sum;      ///< sum of every byte
    uint64_t sumSq;    ///< sum of the squares of every byte
    uint64_t skipped;  ///< bytes equal to the skipped value
    uint8_t min, max;  ///< extremes of the other bytes (255 and 0 when none)
};

/// Sums, squares and extremes of n bytes. skip is a byte value to leave out
/// of the extremes and to count, or -1 for none; the sums include every byte
/// (the caller takes the skipped ones off: skipped * skip and skipped *
/// skip^2). Uses the widest vector unit the processor offers.
Result Sum(const uint8_t* p, int64_t n, int skip);

/// Sum restricted to a vector unit, so that each one can be checked against
/// the plain loop: 0 the plain loop, 1 at most SSE2, 2 the widest available.
Result SumWith(const uint8_t* p, int64_t n, int skip, int nLevel);

} // namespace Pelmora::Tivra::ByteSums
