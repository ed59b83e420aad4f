// The byte sums' kernel on 16-byte SSE2 registers.
#include "grid/XByteSums.h"

#include <algorithm>
#include <cstdint>

#include "platform/XCpu.h"

#ifdef TIVRA_CPU_X86
#include <immintrin.h>

// Everything up to the matching pop is compiled for SSE2 (which x86-64
// always has; 32-bit x86 may not, and calls in only at that level).
#pragma GCC push_options
#pragma GCC target("sse2")
#include "grid/XByteSumsSimd.h"

namespace Pelmora::Tivra::ByteSums {
namespace {

struct Bytes16 {
    static constexpr int kBytes = 16;
    using B = __m128i;

    static B Zero() { return _mm_setzero_si128(); }
    static B Bytes(uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static B Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const B*>(p)); }
    static void Store(void* p, B v) { _mm_store_si128(static_cast<B*>(p), v); }
    static B Equal(B a, B b) { return _mm_cmpeq_epi8(a, b); }
    static B Sub(B a, B b) { return _mm_sub_epi8(a, b); }
    static B Min(B a, B b) { return _mm_min_epu8(a, b); }
    static B Max(B a, B b) { return _mm_max_epu8(a, b); }
    static B Or(B a, B b) { return _mm_or_si128(a, b); }
    static B AndNot(B a, B b) { return _mm_andnot_si128(a, b); }
    static B Add32(B a, B b) { return _mm_add_epi32(a, b); }
    static B Add64(B a, B b) { return _mm_add_epi64(a, b); }
    static B SumBytes(B v) { return _mm_sad_epu8(v, Zero()); }
    static B SumSquares(B v)
    {
        const B lo = _mm_unpacklo_epi8(v, Zero()), hi = _mm_unpackhi_epi8(v, Zero());
        return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
    }
    static B Widen32(B v) { return _mm_add_epi64(_mm_unpacklo_epi32(v, Zero()), _mm_unpackhi_epi32(v, Zero())); }
};

} // namespace

int64_t SumVectorsSse2(const uint8_t* p, int64_t n, int skip, Result& r)
{
    return SumVectors<Bytes16>(p, n, skip, r);
}

} // namespace Pelmora::Tivra::ByteSums
#pragma GCC pop_options
#endif
