// The byte sums' kernel on 32-byte AVX2 registers.
#include "grid/XByteSums.h"

#include <algorithm>
#include <cstdint>

#include "platform/XCpu.h"

#ifdef TIVRA_CPU_X86
#include <immintrin.h>

// Everything up to the matching pop is compiled for AVX2; XByteSums.cpp
// calls in only at that level.
#pragma GCC push_options
#pragma GCC target("avx2")
#include "grid/XByteSumsSimd.h"

namespace Pelmora::Tivra::ByteSums {
namespace {

/// The operations of Bytes16 (XByteSumsSse2.cpp) on 32 bytes; those that
/// pair neighbouring lanes do so within each 16-byte half, which changes no
/// total.
struct Bytes32 {
    static constexpr int kBytes = 32;
    using B = __m256i;

    static B Zero() { return _mm256_setzero_si256(); }
    static B Bytes(uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static B Load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const B*>(p)); }
    static void Store(void* p, B v) { _mm256_store_si256(static_cast<B*>(p), v); }
    static B Equal(B a, B b) { return _mm256_cmpeq_epi8(a, b); }
    static B Sub(B a, B b) { return _mm256_sub_epi8(a, b); }
    static B Min(B a, B b) { return _mm256_min_epu8(a, b); }
    static B Max(B a, B b) { return _mm256_max_epu8(a, b); }
    static B Or(B a, B b) { return _mm256_or_si256(a, b); }
    static B AndNot(B a, B b) { return _mm256_andnot_si256(a, b); }
    static B Add32(B a, B b) { return _mm256_add_epi32(a, b); }
    static B Add64(B a, B b) { return _mm256_add_epi64(a, b); }
    static B SumBytes(B v) { return _mm256_sad_epu8(v, Zero()); }
    static B SumSquares(B v)
    {
        const B lo = _mm256_unpacklo_epi8(v, Zero()), hi = _mm256_unpackhi_epi8(v, Zero());
        return _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi));
    }
    static B Widen32(B v)
    {
        return _mm256_add_epi64(_mm256_unpacklo_epi32(v, Zero()), _mm256_unpackhi_epi32(v, Zero()));
    }
};

} // namespace

int64_t SumVectorsAvx2(const uint8_t* p, int64_t n, int skip, Result& r)
{
    return SumVectors<Bytes32>(p, n, skip, r);
}

} // namespace Pelmora::Tivra::ByteSums
#pragma GCC pop_options
#endif
