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
/// skip^2). Uses the widest vector kernel XPlatform::GetCpuLevel() allows;
/// every kernel gives the same integers as the plain loop.
Result Sum(const uint8_t* p, int64_t n, int skip);

/// The vector kernels (XByteSumsSse2.cpp, XByteSumsAvx2.cpp, x86 only): add
/// the leading bytes that fill whole vectors into r and return how many they
/// took. Call only at the level each is named for.
int64_t SumVectorsSse2(const uint8_t* p, int64_t n, int skip, Result& r);
int64_t SumVectorsAvx2(const uint8_t* p, int64_t n, int skip, Result& r);

} // namespace Pelmora::Tivra::ByteSums
