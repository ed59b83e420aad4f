// Exact byte sums with SSE2 (every x86-64 processor) or AVX2 (chosen at run
// time), and a plain loop elsewhere. All three give the same integers.
//
// Per vector: the sum comes from the sum-of-absolute-differences against
// zero (64-bit lanes); the squares from a 16-bit multiply-add of the widened
// bytes (32-bit lanes, each taking at most four squares of 65025 per step);
// the skipped-byte count from subtracting the compare mask in byte lanes. The
// 32-bit and byte lanes are folded into 64-bit totals every kBlock vectors,
// before either can overflow.
#include "grid/XByteSums.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TIVRA_BYTESUMS_X86 1
#endif

namespace Pelmora::Tivra::ByteSums {

namespace {

/// Vectors per block: the byte-lane counters hold at most 255.
constexpr int64_t kBlock = 255;

void Scalar(const uint8_t* p, int64_t n, int skip, Result& r)
{
    for (int64_t i = 0; i < n; ++i) {
        const uint32_t x = p[i];
        r.sum += x;
        r.sumSq += x * x;
        if (int(x) == skip) {
            ++r.skipped;
            continue;
        }
        r.min = std::min<uint8_t>(r.min, uint8_t(x));
        r.max = std::max<uint8_t>(r.max, uint8_t(x));
    }
}

#ifdef TIVRA_BYTESUMS_X86

/// Horizontal minimum and maximum of byte lanes, folded into r.
void FoldExtremes(const uint8_t* mn, const uint8_t* mx, int lanes, Result& r)
{
    for (int k = 0; k < lanes; ++k) {
        r.min = std::min(r.min, mn[k]);
        r.max = std::max(r.max, mx[k]);
    }
}

int64_t Sse2(const uint8_t* p, int64_t n, int skip, Result& r)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i skipv = _mm_set1_epi8(static_cast<char>(skip));
    const bool hasSkip = skip >= 0;
    __m128i sum64 = zero, sq64 = zero, cnt64 = zero;
    __m128i mn = _mm_set1_epi8(char(-1)), mx = zero;
    const int64_t vectors = n / 16;
    for (int64_t start = 0; start < vectors; start += kBlock) {
        const int64_t end = std::min(vectors, start + kBlock);
        __m128i sq32 = zero, cnt8 = zero;
        for (int64_t i = start; i < end; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            sum64 = _mm_add_epi64(sum64, _mm_sad_epu8(v, zero));
            const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
            sq32 = _mm_add_epi32(sq32, _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi)));
            if (hasSkip) {
                const __m128i m = _mm_cmpeq_epi8(v, skipv);
                cnt8 = _mm_sub_epi8(cnt8, m);
                mn = _mm_min_epu8(mn, _mm_or_si128(v, m));
                mx = _mm_max_epu8(mx, _mm_andnot_si128(m, v));
            } else {
                mn = _mm_min_epu8(mn, v);
                mx = _mm_max_epu8(mx, v);
            }
        }
        sq64 = _mm_add_epi64(sq64, _mm_add_epi64(_mm_unpacklo_epi32(sq32, zero), _mm_unpackhi_epi32(sq32, zero)));
        cnt64 = _mm_add_epi64(cnt64, _mm_sad_epu8(cnt8, zero));
    }
    alignas(16) uint64_t s[2], q[2], c[2];
    alignas(16) uint8_t a[16], b[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(s), sum64);
    _mm_store_si128(reinterpret_cast<__m128i*>(q), sq64);
    _mm_store_si128(reinterpret_cast<__m128i*>(c), cnt64);
    _mm_store_si128(reinterpret_cast<__m128i*>(a), mn);
    _mm_store_si128(reinterpret_cast<__m128i*>(b), mx);
    r.sum += s[0] + s[1];
    r.sumSq += q[0] + q[1];
    r.skipped += c[0] + c[1];
    // Lanes that only ever saw skipped bytes hold 255 and 0: neutral.
    FoldExtremes(a, b, 16, r);
    return vectors * 16;
}

__attribute__((target("avx2"))) int64_t Avx2(const uint8_t* p, int64_t n, int skip, Result& r)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i skipv = _mm256_set1_epi8(static_cast<char>(skip));
    const bool hasSkip = skip >= 0;
    __m256i sum64 = zero, sq64 = zero, cnt64 = zero;
    __m256i mn = _mm256_set1_epi8(char(-1)), mx = zero;
    const int64_t vectors = n / 32;
    for (int64_t start = 0; start < vectors; start += kBlock) {
        const int64_t end = std::min(vectors, start + kBlock);
        __m256i sq32 = zero, cnt8 = zero;
        for (int64_t i = start; i < end; ++i) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32 * i));
            sum64 = _mm256_add_epi64(sum64, _mm256_sad_epu8(v, zero));
            const __m256i lo = _mm256_unpacklo_epi8(v, zero), hi = _mm256_unpackhi_epi8(v, zero);
            sq32 = _mm256_add_epi32(sq32, _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi)));
            if (hasSkip) {
                const __m256i m = _mm256_cmpeq_epi8(v, skipv);
                cnt8 = _mm256_sub_epi8(cnt8, m);
                mn = _mm256_min_epu8(mn, _mm256_or_si256(v, m));
                mx = _mm256_max_epu8(mx, _mm256_andnot_si256(m, v));
            } else {
                mn = _mm256_min_epu8(mn, v);
                mx = _mm256_max_epu8(mx, v);
            }
        }
        sq64 = _mm256_add_epi64(sq64, _mm256_add_epi64(_mm256_unpacklo_epi32(sq32, zero),
                                                       _mm256_unpackhi_epi32(sq32, zero)));
        cnt64 = _mm256_add_epi64(cnt64, _mm256_sad_epu8(cnt8, zero));
    }
    alignas(32) uint64_t s[4], q[4], c[4];
    alignas(32) uint8_t a[32], b[32];
    _mm256_store_si256(reinterpret_cast<__m256i*>(s), sum64);
    _mm256_store_si256(reinterpret_cast<__m256i*>(q), sq64);
    _mm256_store_si256(reinterpret_cast<__m256i*>(c), cnt64);
    _mm256_store_si256(reinterpret_cast<__m256i*>(a), mn);
    _mm256_store_si256(reinterpret_cast<__m256i*>(b), mx);
    r.sum += s[0] + s[1] + s[2] + s[3];
    r.sumSq += q[0] + q[1] + q[2] + q[3];
    r.skipped += c[0] + c[1] + c[2] + c[3];
    FoldExtremes(a, b, 32, r);
    return vectors * 32;
}

bool HasAvx2()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

#endif

} // namespace

Result SumWith(const uint8_t* p, int64_t n, int skip, int nLevel)
{
    Result r{0, 0, 0, 255, 0};
    int64_t done = 0;
#ifdef TIVRA_BYTESUMS_X86
    if (nLevel >= 2 && HasAvx2()) done = Avx2(p, n, skip, r);
    else if (nLevel >= 1) done = Sse2(p, n, skip, r);
#endif
    Scalar(p + done, n - done, skip, r);
    return r;
}

Result Sum(const uint8_t* p, int64_t n, int skip) { return SumWith(p, n, skip, 2); }

} // namespace Pelmora::Tivra::ByteSums
