// The byte sums' vector kernel, written once over a lane type V (the 16-byte
// SSE2 one of XByteSumsSse2.cpp, the 32-byte AVX2 one of XByteSumsAvx2.cpp).
// Every lane type gives the integers of the plain loop in XByteSums.cpp.
//
// Per vector: the sum comes from the sum of absolute differences against
// zero (64-bit lanes); the squares from a 16-bit multiply-add of the widened
// bytes (32-bit lanes, each taking at most four squares of 65025 per step);
// the skipped-byte count from subtracting the compare mask in byte lanes. The
// 32-bit and byte lanes are folded into 64-bit totals every kBlock vectors,
// before either can overflow.
//
// Internal, and included the way mt/XResampleRowsSimd.h is: after the
// including file has switched its code generation to an instruction set
// (#pragma GCC target), having included every other header before. Everything
// here has internal linkage, so each such file compiles its own copy.
#pragma once

#include <algorithm>
#include <cstdint>

#include <immintrin.h>

#include "grid/XByteSums.h"

namespace Pelmora::Tivra::ByteSums {
namespace {

/// Vectors per block: the byte-lane counters hold at most 255.
constexpr int64_t kBlock = 255;

/// Whole vectors of n bytes from p, added into r; returns the bytes taken.
/// V provides, on a register B of V::kBytes bytes: Zero, Bytes (one byte in
/// every lane), Load, Store, the byte operations Equal, Sub, Min, Max (both
/// unsigned), Or and AndNot, the 32- and 64-bit Add32 and Add64, and:
/// SumBytes (each group of eight bytes summed into its 64-bit lane),
/// SumSquares (the squares of every byte, added in pairs into 32-bit lanes)
/// and Widen32 (the 32-bit lanes added in pairs into 64-bit lanes).
template <class V>
int64_t SumVectors(const uint8_t* p, int64_t n, int skip, Result& r)
{
    using B = typename V::B;
    constexpr int kBytes = V::kBytes;
    const B zero = V::Zero();
    const B skipv = V::Bytes(static_cast<uint8_t>(skip));
    const bool hasSkip = skip >= 0;
    B sum64 = zero, sq64 = zero, cnt64 = zero;
    B mn = V::Bytes(255), mx = zero;
    const int64_t vectors = n / kBytes;
    for (int64_t start = 0; start < vectors; start += kBlock) {
        const int64_t end = std::min(vectors, start + kBlock);
        B sq32 = zero, cnt8 = zero;
        for (int64_t i = start; i < end; ++i) {
            const B v = V::Load(p + kBytes * i);
            sum64 = V::Add64(sum64, V::SumBytes(v));
            sq32 = V::Add32(sq32, V::SumSquares(v));
            if (hasSkip) {
                // The mask is all ones (-1) in the lanes of skipped bytes:
                // subtracting counts them, and it turns them into 255 for the
                // minimum and 0 for the maximum, which change neither.
                const B m = V::Equal(v, skipv);
                cnt8 = V::Sub(cnt8, m);
                mn = V::Min(mn, V::Or(v, m));
                mx = V::Max(mx, V::AndNot(m, v));
            } else {
                mn = V::Min(mn, v);
                mx = V::Max(mx, v);
            }
        }
        sq64 = V::Add64(sq64, V::Widen32(sq32));
        cnt64 = V::Add64(cnt64, V::SumBytes(cnt8));
    }
    alignas(64) uint64_t s[kBytes / 8], q[kBytes / 8], c[kBytes / 8];
    alignas(64) uint8_t a[kBytes], b[kBytes];
    V::Store(s, sum64);
    V::Store(q, sq64);
    V::Store(c, cnt64);
    V::Store(a, mn);
    V::Store(b, mx);
    for (int k = 0; k < kBytes / 8; ++k) {
        r.sum += s[k];
        r.sumSq += q[k];
        r.skipped += c[k];
    }
    // Lanes that only ever saw skipped bytes hold 255 and 0: neutral.
    for (int k = 0; k < kBytes; ++k) {
        r.min = std::min(r.min, a[k]);
        r.max = std::max(r.max, b[k]);
    }
    return vectors * kBytes;
}

} // namespace
} // namespace Pelmora::Tivra::ByteSums
