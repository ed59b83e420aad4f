// The resampler's vector row kernels on eight lanes, for processors with
// AVX-512 (chosen by FindVectorRowKernel at CpuLevel::Avx512). Eight lanes pay where
// the processor runs a 512-bit operation in about the time of a 256-bit one:
// the square roots and divisions of the radial cubic and of the projective
// mapping, and the arithmetic of the other methods. Gathers, sample pairs and
// the transposed window rows of samples wider than a byte are built from the
// four-lane ones.
#include "mt/XResampleRows.h"

#include "platform/XCpu.h"

#ifdef TIVRA_CPU_X86
#include <immintrin.h>

// GCC 12's AVX-512 intrinsics start many results from a deliberately
// undefined register that the compiler then reports as used uninitialised
// wherever they are inlined; the reports say nothing about this file's code.
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC push_options
#pragma GCC target("avx2,avx512f")
#include "mt/XResampleRowsSimd.h"

namespace Pelmora::Tivra::MT::ResampleRows {
namespace {

/// Eight lanes in 512-bit registers (AVX-512 F).
struct Lanes8 {
    static constexpr int N = 8;
    using D = __m512d;     ///< eight doubles
    using Mask = __mmask8; ///< one bit per lane
    using I = __m256i;     ///< eight 32-bit integers

    static D Set(double v) { return _mm512_set1_pd(v); }
    static D Zero() { return _mm512_setzero_pd(); }
    static D Load(const double* p) { return _mm512_loadu_pd(p); }
    static void Store(double* p, D v) { _mm512_storeu_pd(p, v); }
    static D Add(D a, D b) { return _mm512_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm512_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm512_mul_pd(a, b); }
    static D Div(D a, D b) { return _mm512_div_pd(a, b); }
    static D Sqrt(D a) { return _mm512_sqrt_pd(a); }
    /// VMAXPD and VMINPD return their second operand when either is a
    /// non-number, as the four-lane forms do.
    static D Max(D a, D b) { return _mm512_max_pd(a, b); }
    static D Min(D a, D b) { return _mm512_min_pd(a, b); }
    static D Truncate(D a) { return _mm512_roundscale_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D Abs(D a) { return Bits(_mm512_andnot_si512(Bits(_mm512_set1_pd(-0.0)), Bits(a))); }
    /// 1 with the sign of a.
    static D SignedOne(D a)
    {
        return Bits(_mm512_or_si512(_mm512_and_si512(Bits(a), Bits(_mm512_set1_pd(-0.0))), Bits(_mm512_set1_pd(1.0))));
    }

    static Mask Less(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
    static Mask NotLess(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
    static Mask Equal(D a, D b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
    static Mask NonNumber(D a) { return _mm512_cmp_pd_mask(a, a, _CMP_UNORD_Q); }
    static Mask NoLane() { return 0; }
    static Mask Either(Mask a, Mask b) { return Mask(a | b); }
    static bool Any(Mask m) { return m != 0; }
    static bool AllSet(Mask m) { return m == 0xFF; }
    /// m ? a : b in each lane.
    static D Select(Mask m, D a, D b) { return _mm512_mask_blend_pd(m, b, a); }
    static D ZeroWhere(Mask m, D a) { return _mm512_maskz_mov_pd(Mask(~m), a); }

    /// Truncation toward zero; non-numbers and values beyond the 32-bit
    /// range give INT32_MIN, as in four lanes.
    static I ToInt(D a) { return _mm512_cvttpd_epi32(a); }
    static D FromInt(I a) { return _mm512_cvtepi32_pd(a); }
    static D Columns(int c)
    {
        return FromInt(_mm256_add_epi32(_mm256_set1_epi32(c), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
    }
    static bool AllBetween(I a, int low, int high)
    {
        const __m256i in = _mm256_and_si256(_mm256_cmpgt_epi32(a, _mm256_set1_epi32(low)),
                                            _mm256_cmpgt_epi32(_mm256_set1_epi32(high), a));
        return _mm256_movemask_ps(_mm256_castsi256_ps(in)) == 0xFF;
    }
    static void Offsets(I r, I c, int stride, int32_t* o)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(o),
                            _mm256_add_epi32(_mm256_mullo_epi32(r, _mm256_set1_epi32(stride)), c));
    }

    static void Cells(const double* p, D& x, D& y)
    {
        const __m512d lo = _mm512_loadu_pd(p), hi = _mm512_loadu_pd(p + 8);
        x = _mm512_permutex2var_pd(lo, _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), hi);
        y = _mm512_permutex2var_pd(lo, _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15), hi);
    }

    template <class C>
    [[gnu::always_inline]] static D Gather(const uint8_t* p, const int32_t* o, int d)
    {
        return Join(Lanes4::Gather<C>(p, o, d), Lanes4::Gather<C>(p, o + 4, d));
    }

    template <class C>
    [[gnu::always_inline]] static void Pairs(const uint8_t* p, const int32_t* o, int d, D& a, D& b)
    {
        __m256d alo, blo, ahi, bhi;
        Lanes4::Pairs<C>(p, o, d, alo, blo);
        Lanes4::Pairs<C>(p, o + 4, d, ahi, bhi);
        a = Join(alo, ahi);
        b = Join(blo, bhi);
    }

    template <class C>
    [[gnu::always_inline]] static void Taps(const uint8_t* p, const int32_t* o, int d, D* s)
    {
        if constexpr (sizeof(C) == 1) {
            // One 32-bit load per lane holds the whole run; tap k is byte k.
            const __m256i l =
                _mm256_setr_epi32(Lanes4::RunBits(p, o[0], d), Lanes4::RunBits(p, o[1], d), Lanes4::RunBits(p, o[2], d),
                                  Lanes4::RunBits(p, o[3], d), Lanes4::RunBits(p, o[4], d), Lanes4::RunBits(p, o[5], d),
                                  Lanes4::RunBits(p, o[6], d), Lanes4::RunBits(p, o[7], d));
            for (int k = 0; k < 4; ++k) s[k] = FromInt(Lanes4::ByteOf<C>(l, k));
            return;
        }
        __m256d lo[4], hi[4];
        Lanes4::Taps<C>(p, o, d, lo);
        Lanes4::Taps<C>(p, o + 4, d, hi);
        for (int k = 0; k < 4; ++k) s[k] = Join(lo[k], hi[k]);
    }

    template <class C>
    static void StoreAs(uint8_t* p, D v)
    {
        if constexpr (std::is_same_v<C, double>) {
            _mm512_storeu_pd(reinterpret_cast<double*>(p), v);
        } else if constexpr (std::is_same_v<C, float>) {
            _mm256_storeu_ps(reinterpret_cast<float*>(p), _mm512_cvtpd_ps(v));
        } else {
            // Clamped into the type's range, the truncated values keep their
            // value when narrowed.
            const __m512i t = _mm512_zextsi256_si512(_mm512_cvttpd_epi32(ZeroWhere(NonNumber(v), v)));
            if constexpr (sizeof(C) == 1) {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm512_cvtepi32_epi8(t));
            } else if constexpr (sizeof(C) == 2) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(_mm512_cvtepi32_epi16(t)));
            } else {
                alignas(32) int32_t w[8];
                _mm256_store_si256(reinterpret_cast<__m256i*>(w), _mm512_castsi512_si256(t));
                for (int k = 0; k < 8; ++k) GridSamples::Store(p + k * sizeof(C), static_cast<C>(w[k]));
            }
        }
    }

private:
    static __m512i Bits(D a) { return _mm512_castpd_si512(a); }
    static D Bits(__m512i a) { return _mm512_castsi512_pd(a); }
    static D Join(__m256d lo, __m256d hi) { return _mm512_insertf64x4(_mm512_castpd256_pd512(lo), hi, 1); }
};

} // namespace
} // namespace Pelmora::Tivra::MT::ResampleRows
#pragma GCC pop_options

namespace Pelmora::Tivra::MT::ResampleRows {

template <class Mapper>
RowKernel<Mapper> FindVector8RowKernel(int type, int method, const RowRule& rule)
{
    return FindRowKernelOn<Lanes8, Mapper>(type, method, rule);
}

template RowKernel<PixelMapper> FindVector8RowKernel<PixelMapper>(int, int, const RowRule&);
template RowKernel<CoordMapMapper> FindVector8RowKernel<CoordMapMapper>(int, int, const RowRule&);
template RowKernel<ProjectiveMapper> FindVector8RowKernel<ProjectiveMapper>(int, int, const RowRule&);
template RowKernel<AffineMapper> FindVector8RowKernel<AffineMapper>(int, int, const RowRule&);

} // namespace Pelmora::Tivra::MT::ResampleRows
#endif
