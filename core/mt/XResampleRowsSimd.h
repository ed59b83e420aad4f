// Vector row kernels of the resampler, written once over a lane type V (the
// four-lane AVX2 one below, or the eight-lane AVX-512 one of
// XResampleRowsAvx512.cpp). Each lane performs the scalar kernel's operations
// in the scalar kernel's order; vector multiplication, addition, division and
// square root round each lane exactly as the scalar instructions round, and
// no multiply-add is fused (the library builds with -ffp-contract=off), so
// every pixel comes out bit for bit as the general path computes it. A group
// whose interpolation windows do not all lie wholly inside the source (near
// an edge, outside it or marked), or, with source no-data on, read a no-data
// sample, goes through the scalar per-pixel code, which also takes the pixels
// left over at the end of a row.
//
// The formulas here are lane-by-lane copies of those in
// grid/XGridInterpolation.h and grid/XGridReaders.h, each named at its copy;
// the test MtResample.RowKernelsMatchTheGeneralPathBitForBit keeps them
// identical.
//
// Internal, and unusual in one respect: a source file includes this header
// after switching its code generation to an instruction set (#pragma GCC
// target), having included every other header before the switch. Everything
// here has internal linkage, so each such file gets its own copy compiled for
// its own instructions, and no copy can stand in for another at link time.
#pragma once

#include <cstdint>
#include <type_traits>

#include <immintrin.h>

#include "mt/XResampleRows.h"

namespace Pelmora::Tivra::MT::ResampleRows {
namespace {

static_assert(sizeof(XVertex2<double>) == 2 * sizeof(double), "a coordinate map cell is x then y");

/// Four lanes in 256-bit registers (AVX2). Also the building blocks of wider
/// lane types, which work on groups of four.
struct Lanes4 {
    static constexpr int N = 4;
    using D = __m256d;    ///< four doubles
    using Mask = __m256d; ///< per lane all ones or all zeros
    using I = __m128i;    ///< four 32-bit integers

    static D Set(double v) { return _mm256_set1_pd(v); }
    static D Zero() { return _mm256_setzero_pd(); }
    static D Load(const double* p) { return _mm256_loadu_pd(p); }
    static void Store(double* p, D v) { _mm256_storeu_pd(p, v); }
    static D Add(D a, D b) { return _mm256_add_pd(a, b); }
    static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
    static D Mul(D a, D b) { return _mm256_mul_pd(a, b); }
    static D Div(D a, D b) { return _mm256_div_pd(a, b); }
    static D Sqrt(D a) { return _mm256_sqrt_pd(a); }
    /// MAXPD and MINPD return their second operand when either is a
    /// non-number, as the scalar comparisons of the store's clamp pass it.
    static D Max(D a, D b) { return _mm256_max_pd(a, b); }
    static D Min(D a, D b) { return _mm256_min_pd(a, b); }
    static D Truncate(D a) { return _mm256_round_pd(a, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC); }
    static D Abs(D a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
    /// 1 with the sign of a.
    static D SignedOne(D a) { return _mm256_or_pd(_mm256_and_pd(a, _mm256_set1_pd(-0.0)), _mm256_set1_pd(1.0)); }

    static Mask Less(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
    static Mask NotLess(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
    static Mask Equal(D a, D b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
    static Mask NonNumber(D a) { return _mm256_cmp_pd(a, a, _CMP_UNORD_Q); }
    static Mask NoLane() { return _mm256_setzero_pd(); }
    static Mask Either(Mask a, Mask b) { return _mm256_or_pd(a, b); }
    static bool Any(Mask m) { return _mm256_movemask_pd(m) != 0; }
    static bool AllSet(Mask m) { return _mm256_movemask_pd(m) == 0xF; }
    /// m ? a : b in each lane.
    static D Select(Mask m, D a, D b) { return _mm256_blendv_pd(b, a, m); }
    static D ZeroWhere(Mask m, D a) { return _mm256_andnot_pd(m, a); }

    /// Truncation toward zero; non-numbers and values beyond the 32-bit
    /// range give INT32_MIN.
    static I ToInt(D a) { return _mm256_cvttpd_epi32(a); }
    static D FromInt(I a) { return _mm256_cvtepi32_pd(a); }
    /// c, c + 1, ... as doubles.
    static D Columns(int c) { return FromInt(_mm_add_epi32(_mm_set1_epi32(c), _mm_setr_epi32(0, 1, 2, 3))); }
    /// True when low < a < high in every lane.
    static bool AllBetween(I a, int low, int high)
    {
        const __m128i in =
            _mm_and_si128(_mm_cmpgt_epi32(a, _mm_set1_epi32(low)), _mm_cmpgt_epi32(_mm_set1_epi32(high), a));
        return _mm_movemask_ps(_mm_castsi128_ps(in)) == 0xF;
    }
    /// r * stride + c in each lane, into o.
    static void Offsets(I r, I c, int stride, int32_t* o)
    {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_add_epi32(_mm_mullo_epi32(r, _mm_set1_epi32(stride)), c));
    }

    /// The coordinate map's four cells from p, x and y separated.
    static void Cells(const double* p, D& x, D& y)
    {
        const __m256d lo = _mm256_loadu_pd(p), hi = _mm256_loadu_pd(p + 4); // x0 y0 x1 y1, x2 y2 x3 y3
        x = _mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8);        // x0 x2 x1 x3 -> x0 x1 x2 x3
        y = _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8);
    }

    /// Four samples of component type C at element offsets o[k] + d,
    /// converted to double exactly as the scalar codec converts them.
    template <class C>
    [[gnu::always_inline]] static D Gather(const uint8_t* p, const int32_t* o, int d)
    {
        auto at = [p, o, d](int k) {
            return GridSamples::Load<C>(p + (std::ptrdiff_t(o[k]) + d) * std::ptrdiff_t(sizeof(C)));
        };
        if constexpr (std::is_same_v<C, double>) return _mm256_setr_pd(at(0), at(1), at(2), at(3));
        else if constexpr (std::is_same_v<C, float>) return _mm256_cvtps_pd(_mm_setr_ps(at(0), at(1), at(2), at(3)));
        else return _mm256_cvtepi32_pd(_mm_setr_epi32(at(0), at(1), at(2), at(3)));
    }

    /// The samples at element offsets o[k] + d (into a) and o[k] + d + 1
    /// (into b) of each lane, converted exactly as the scalar codec converts
    /// them: one load per lane for both.
    template <class C>
    [[gnu::always_inline]] static void Pairs(const uint8_t* p, const int32_t* o, int d, D& a, D& b)
    {
        auto at = [p, o, d](int k) { return p + (std::ptrdiff_t(o[k]) + d) * std::ptrdiff_t(sizeof(C)); };
        if constexpr (std::is_same_v<C, double>) {
            const __m256d l01 =
                _mm256_loadu2_m128d(reinterpret_cast<const double*>(at(1)), reinterpret_cast<const double*>(at(0)));
            const __m256d l23 =
                _mm256_loadu2_m128d(reinterpret_cast<const double*>(at(3)), reinterpret_cast<const double*>(at(2)));
            a = _mm256_permute4x64_pd(_mm256_unpacklo_pd(l01, l23), 0xD8); // a0 a2 a1 a3 -> a0 a1 a2 a3
            b = _mm256_permute4x64_pd(_mm256_unpackhi_pd(l01, l23), 0xD8);
        } else if constexpr (std::is_same_v<C, float>) {
            const __m256i l = _mm256_setr_epi64x(GridSamples::Load<int64_t>(at(0)), GridSamples::Load<int64_t>(at(1)),
                                                 GridSamples::Load<int64_t>(at(2)), GridSamples::Load<int64_t>(at(3)));
            const __m256 ab =
                _mm256_permutevar8x32_ps(_mm256_castsi256_ps(l), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
            a = _mm256_cvtps_pd(_mm256_castps256_ps128(ab));
            b = _mm256_cvtps_pd(_mm256_extractf128_ps(ab, 1));
        } else {
            // Both samples in one 32-bit lane, the first in the low bits
            // (little-endian); shifts pull each out, sign-extended for the
            // signed types.
            static_assert(sizeof(C) <= 2);
            using Pair = std::conditional_t<sizeof(C) == 1, uint16_t, uint32_t>;
            constexpr int bits = 8 * sizeof(C);
            const __m128i l = _mm_setr_epi32(GridSamples::Load<Pair>(at(0)), GridSamples::Load<Pair>(at(1)),
                                             GridSamples::Load<Pair>(at(2)), GridSamples::Load<Pair>(at(3)));
            __m128i lo, hi;
            if constexpr (std::is_signed_v<C>) {
                lo = _mm_srai_epi32(_mm_slli_epi32(l, 32 - bits), 32 - bits);
                hi = _mm_srai_epi32(_mm_slli_epi32(l, 32 - 2 * bits), 32 - bits);
            } else {
                lo = _mm_and_si128(l, _mm_set1_epi32((1 << bits) - 1));
                hi = _mm_srli_epi32(l, bits);
            }
            a = _mm256_cvtepi32_pd(lo);
            b = _mm256_cvtepi32_pd(hi);
        }
    }

    /// The four consecutive samples from element offset o + d - 1 on, as
    /// doubles converted exactly as the scalar codec converts them.
    template <class C>
    static D Run(const uint8_t* p, int32_t o, int d)
    {
        const uint8_t* q = p + (std::ptrdiff_t(o) + d - 1) * std::ptrdiff_t(sizeof(C));
        if constexpr (std::is_same_v<C, double>) {
            return _mm256_loadu_pd(reinterpret_cast<const double*>(q));
        } else if constexpr (std::is_same_v<C, float>) {
            return _mm256_cvtps_pd(_mm_loadu_ps(reinterpret_cast<const float*>(q)));
        } else if constexpr (sizeof(C) == 1) {
            const __m128i b = _mm_cvtsi32_si128(GridSamples::Load<int32_t>(q));
            return _mm256_cvtepi32_pd(std::is_signed_v<C> ? _mm_cvtepi8_epi32(b) : _mm_cvtepu8_epi32(b));
        } else {
            static_assert(sizeof(C) == 2);
            const __m128i h = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q));
            return _mm256_cvtepi32_pd(std::is_signed_v<C> ? _mm_cvtepi16_epi32(h) : _mm_cvtepu16_epi32(h));
        }
    }

    /// The four bytes of a one-byte run from element offset o + d - 1 on.
    static int32_t RunBits(const uint8_t* p, int32_t o, int d)
    {
        return GridSamples::Load<int32_t>(p + std::ptrdiff_t(o) + d - 1);
    }
    /// Byte k of each 32-bit lane as a sample of one-byte type C,
    /// sign-extended for a signed type; on 128 and on 256 bits.
    template <class C>
    static __m128i ByteOf(__m128i l, int k)
    {
        if constexpr (std::is_signed_v<C>) return _mm_srai_epi32(_mm_slli_epi32(l, 24 - 8 * k), 24);
        else return _mm_and_si128(_mm_srli_epi32(l, 8 * k), _mm_set1_epi32(0xFF));
    }
    template <class C>
    static __m256i ByteOf(__m256i l, int k)
    {
        if constexpr (std::is_signed_v<C>) return _mm256_srai_epi32(_mm256_slli_epi32(l, 24 - 8 * k), 24);
        else return _mm256_and_si256(_mm256_srli_epi32(l, 8 * k), _mm256_set1_epi32(0xFF));
    }

    /// The window row at element offset d from each lane's (r0, c0): taps at
    /// columns c0 - 1 .. c0 + 2, tap k of the four lanes in s[k]. Each lane's
    /// run is loaded whole and the 4 x 4 block transposed.
    template <class C>
    [[gnu::always_inline]] static void Taps(const uint8_t* p, const int32_t* o, int d, D* s)
    {
        if constexpr (sizeof(C) == 1) {
            // One 32-bit load per lane holds the whole run; tap k is byte k.
            const __m128i l =
                _mm_setr_epi32(RunBits(p, o[0], d), RunBits(p, o[1], d), RunBits(p, o[2], d), RunBits(p, o[3], d));
            for (int k = 0; k < 4; ++k) s[k] = FromInt(ByteOf<C>(l, k));
            return;
        }
        const __m256d l0 = Run<C>(p, o[0], d), l1 = Run<C>(p, o[1], d);
        const __m256d l2 = Run<C>(p, o[2], d), l3 = Run<C>(p, o[3], d);
        const __m256d t0 = _mm256_unpacklo_pd(l0, l1), t1 = _mm256_unpackhi_pd(l0, l1); // 00 10 02 12, 01 11 03 13
        const __m256d t2 = _mm256_unpacklo_pd(l2, l3), t3 = _mm256_unpackhi_pd(l2, l3); // 20 30 22 32, 21 31 23 33
        s[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        s[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        s[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        s[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }

    /// Four clamped values stored at p as component type C: a float rounded
    /// to nearest, a double as it is, an integer type truncated (a
    /// non-number gives 0; clamped into the type's range the truncation fits
    /// 32 bits).
    template <class C>
    static void StoreAs(uint8_t* p, D v)
    {
        if constexpr (std::is_same_v<C, double>) {
            _mm256_storeu_pd(reinterpret_cast<double*>(p), v);
        } else if constexpr (std::is_same_v<C, float>) {
            _mm_storeu_ps(reinterpret_cast<float*>(p), _mm256_cvtpd_ps(v));
        } else {
            // Clamped into the type's range, the truncated values pass the
            // saturating packs unchanged.
            const __m128i t = _mm256_cvttpd_epi32(ZeroWhere(NonNumber(v), v));
            if constexpr (std::is_same_v<C, uint8_t>) {
                const __m128i b = _mm_packus_epi16(_mm_packus_epi32(t, t), _mm_setzero_si128());
                GridSamples::Store(p, static_cast<uint32_t>(_mm_cvtsi128_si32(b)));
            } else if constexpr (std::is_same_v<C, uint16_t> || std::is_same_v<C, int16_t>) {
                const __m128i h = std::is_signed_v<C> ? _mm_packs_epi32(t, t) : _mm_packus_epi32(t, t);
                _mm_storel_epi64(reinterpret_cast<__m128i*>(p), h);
            } else {
                alignas(16) int32_t w[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(w), t);
                for (int k = 0; k < 4; ++k) GridSamples::Store(p + k * sizeof(C), static_cast<C>(w[k]));
            }
        }
    }
};

/// Looks at every sample a vector kernel reads. With kNoData it marks the
/// lanes that read a sample the scalar NoDataTest rejects (equal to the key,
/// or a non-number); such a group is then computed pixel by pixel by the
/// scalar code, which applies the no-data rule. Without, it compiles away.
template <class V, bool kNoData>
struct Screen {
    typename V::D key;
    typename V::Mask bad;
    explicit Screen(double k) : key(V::Set(k)), bad(V::NoLane()) {}
    typename V::D operator()(typename V::D s)
    {
        if constexpr (kNoData) bad = V::Either(bad, V::Either(V::Equal(s, key), V::NonNumber(s)));
        return s;
    }
    bool Any() const
    {
        if constexpr (kNoData) return V::Any(bad);
        else return false;
    }
};

/// h[0] x + h[1] y + h[2], left to right.
template <class V>
[[gnu::always_inline]] inline typename V::D Linear3(const double* h, typename V::D x, typename V::D y)
{
    return V::Add(V::Add(V::Mul(V::Set(h[0]), x), V::Mul(V::Set(h[1]), y)), V::Set(h[2]));
}

/// Source positions of destination pixels (r, c) .. (r, c + N - 1): the
/// coordinate map's cells, the affine or the projective mapping computed in
/// the lanes (the projective one keeps a pixel's own position where w = 0),
/// any other mapper one pixel at a time.
template <class V, class Mapper>
[[gnu::always_inline]] inline void MapLanes(const Mapper& map, int r, int c, typename V::D& x, typename V::D& y)
{
    using D = typename V::D;
    if constexpr (std::is_same_v<Mapper, CoordMapMapper>) {
        const double* cells =
            reinterpret_cast<const double*>(map.pMap->m_pData + std::ptrdiff_t(r) * map.pMap->m_nCols + c);
        // The same cells one block further on, which this row reads when the
        // band's next block of columns comes round: the map is read once,
        // block by block, and a request that far ahead hides the memory's
        // latency, which the processor's own prefetcher does not (it follows
        // the block's many rows poorly).
        const double* ahead = cells + 2 * kBlockCols;
        _mm_prefetch(reinterpret_cast<const char*>(ahead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(ahead + 2 * V::N - 1), _MM_HINT_T0);
        V::Cells(cells, x, y);
    } else if constexpr (std::is_same_v<Mapper, AffineMapper>) {
        const D xi = V::Columns(c), yi = V::Set(r);
        x = Linear3<V>(map.a, xi, yi);
        y = Linear3<V>(map.b, xi, yi);
    } else if constexpr (std::is_same_v<Mapper, ProjectiveMapper>) {
        const D xi = V::Columns(c), yi = V::Set(r);
        const D w = Linear3<V>(map.pH + 6, xi, yi);
        const typename V::Mask zero = V::Equal(w, V::Zero());
        x = V::Select(zero, xi, V::Div(Linear3<V>(map.pH, xi, yi), w));
        y = V::Select(zero, yi, V::Div(Linear3<V>(map.pH + 3, xi, yi), w));
    } else {
        alignas(64) double xs[V::N], ys[V::N];
        for (int k = 0; k < V::N; ++k) map(r, c + k, xs[k], ys[k]);
        x = V::Load(xs);
        y = V::Load(ys);
    }
}

/// s00 + (s01 - s00) dx + (s10 - s00) dy + (s00 - s01 - s10 + s11) dx dy,
/// evaluated left to right as the bilinear case of GridSamples::InterpolateAt
/// does.
template <class V, class C, class Scr>
[[gnu::always_inline]] inline typename V::D Bilinear(const uint8_t* p, const int32_t* o, int cols, typename V::D dy,
                                                     typename V::D dx, Scr& screen)
{
    using D = typename V::D;
    D s00, s01, s10, s11;
    V::template Pairs<C>(p, o, 0, s00, s01);
    V::template Pairs<C>(p, o, cols, s10, s11);
    screen(s00), screen(s01), screen(s10), screen(s11);
    D v = V::Add(s00, V::Mul(V::Sub(s01, s00), dx));
    v = V::Add(v, V::Mul(V::Sub(s10, s00), dy));
    const D cross = V::Add(V::Sub(V::Sub(s00, s01), s10), s11);
    return V::Add(v, V::Mul(V::Mul(cross, dx), dy));
}

/// GridSamples::CubicWeight in each lane for the window's taps. A lane on the
/// vector path has 0 <= dx, dy < 1, so each offset along an axis is below 1
/// in size for the two middle taps and at least 1 for the two outer ones.
/// Hence the four middle taps of the window lie at d < sqrt 2 < 2, and every
/// other tap at d >= 1: the middle taps never need the zero, the others never
/// the inner piece. Leaving out a piece that is never selected changes no
/// weight.
template <class V, bool kMiddle>
[[gnu::always_inline]] inline typename V::D CubicWeight(typename V::D d)
{
    using D = typename V::D;
    const D d2 = V::Mul(V::Mul(V::Set(2.5), d), d); // 2.5 d^2, in both pieces
    const D e3 = V::Mul(V::Mul(V::Mul(V::Set(-0.5), d), d), d);
    const D outer = V::Add(V::Sub(V::Add(e3, d2), V::Mul(V::Set(4.0), d)), V::Set(2.0));
    if constexpr (kMiddle) {
        const D d3 = V::Mul(V::Mul(V::Mul(V::Set(1.5), d), d), d);
        const D inner = V::Add(V::Sub(d3, d2), V::Set(1.0));
        return V::Select(V::Less(d, V::Set(1.0)), inner, outer);
    } else {
        return V::Select(V::Less(d, V::Set(2.0)), outer, V::Zero());
    }
}

/// The weighted mean over the 4 x 4 window about (r0, c0), weights and sums
/// in window order, as the cubic case of GridSamples::InterpolateAt forms it.
template <class V, class C, class Scr>
[[gnu::always_inline]] inline typename V::D Cubic(const uint8_t* p, const int32_t* o, int cols, typename V::D dy,
                                                  typename V::D dx, Scr& screen)
{
    using D = typename V::D;
    // The squared offsets do not depend on the other axis; each is the same
    // product the scalar loop forms sixteen times.
    D ex2[4], ey2[4];
    for (int k = 0; k < 4; ++k) {
        const D ex = V::Sub(dx, V::Set(k - 1)), ey = V::Sub(dy, V::Set(k - 1));
        ex2[k] = V::Mul(ex, ex);
        ey2[k] = V::Mul(ey, ey);
    }
    D sum = V::Zero(), wsum = V::Zero();
    for (int i = 0; i < 4; ++i) {
        D s[4];
        V::template Taps<C>(p, o, (i - 1) * cols, s);
        for (int j = 0; j < 4; ++j) {
            const D d2 = V::Add(ex2[j], ey2[i]);
            const bool middle = (i == 1 || i == 2) && (j == 1 || j == 2);
            // An outer tap at d^2 >= 4 has d >= 2 (the rounded square root
            // keeps the order) and so the weight 0; where that holds in every
            // lane, which it does for most corner taps, the square root and
            // the weight are left out and 0 is added as the scalar code adds
            // it.
            const D w = middle                                   ? CubicWeight<V, true>(V::Sqrt(d2))
                        : V::AllSet(V::NotLess(d2, V::Set(4.0))) ? V::Zero()
                                                                 : CubicWeight<V, false>(V::Sqrt(d2));
            wsum = V::Add(wsum, w);
            sum = V::Add(sum, V::Mul(w, screen(s[j])));
        }
    }
    return V::Div(sum, wsum);
}

/// GridSamples::RoundForStore in each lane: the truncation t, plus one step
/// away from zero when the part cut off, v - t (exact), is at least a half.
/// Non-numbers compare false and pass; an infinity gives inf - inf, a
/// non-number, and so passes too.
template <class V>
[[gnu::always_inline]] inline typename V::D RoundHalfAway(typename V::D v)
{
    const typename V::D t = V::Truncate(v);
    const typename V::Mask half = V::NotLess(V::Abs(V::Sub(v, t)), V::Set(0.5));
    return V::Add(t, V::Select(half, V::SignedOne(v), V::Zero()));
}

/// GridSamples::SeparableCubicWeights in each lane for 0 <= t < 1, the
/// vector path's fractions: w[0], w[2] and w[3], in the same order of
/// operations.
template <class V>
[[gnu::always_inline]] inline void SeparableWeights(typename V::D t, typename V::D* w)
{
    const typename V::D half = V::Set(0.5);
    w[0] = V::Mul(t, V::Sub(V::Mul(t, V::Sub(V::Set(1.0), V::Mul(half, t))), half));
    w[2] = V::Mul(t, V::Add(half, V::Mul(t, V::Sub(V::Set(2.0), V::Mul(V::Set(1.5), t)))));
    w[3] = V::Mul(V::Mul(t, t), V::Sub(V::Mul(half, t), half));
}

/// GridSamples::SeparableCubicSum in each lane.
template <class V>
[[gnu::always_inline]] inline typename V::D Combine(const typename V::D* w, typename V::D s0, typename V::D s1,
                                                    typename V::D s2, typename V::D s3)
{
    typename V::D v = V::Add(s1, V::Mul(w[0], V::Sub(s0, s1)));
    v = V::Add(v, V::Mul(w[2], V::Sub(s2, s1)));
    return V::Add(v, V::Mul(w[3], V::Sub(s3, s1)));
}

/// The separable cubic over the 4 x 4 window about (r0, c0), as the
/// separable case of GridSamples::InterpolateAt forms it: each window row
/// along x, then the rows along y.
template <class V, class C, class Scr>
[[gnu::always_inline]] inline typename V::D Separable(const uint8_t* p, const int32_t* o, int cols, typename V::D dy,
                                                      typename V::D dx, Scr& screen)
{
    using D = typename V::D;
    D wx[4], wy[4], across[4];
    SeparableWeights<V>(dx, wx);
    SeparableWeights<V>(dy, wy);
    for (int i = 0; i < 4; ++i) {
        D s[4];
        V::template Taps<C>(p, o, (i - 1) * cols, s);
        across[i] = Combine<V>(wx, screen(s[0]), screen(s[1]), screen(s[2]), screen(s[3]));
    }
    return Combine<V>(wy, across[0], across[1], across[2], across[3]);
}

/// Stores the lanes at p as GridSamples::TypedWriter does: each rounded when
/// kRound, clamped to the type's range, a non-number passing the clamp, then
/// converted.
template <class V, class S, class C, bool kRound>
[[gnu::always_inline]] inline void StoreLanes(uint8_t* p, typename V::D v)
{
    if constexpr (kRound) v = RoundHalfAway<V>(v);
    v = V::Max(V::Set(DATATYPE_TABLE[S::kCode].rangeMin), v);
    v = V::Min(V::Set(DATATYPE_TABLE[S::kCode].rangeMax), v);
    V::template StoreAs<C>(p, v);
}

/// Columns c0 .. c1 - 1 of a destination row for source and destination
/// type S, method M, the store rule kRound and the no-data screen kNoData,
/// V::N pixels at a time.
template <class V, class S, int M, bool kRound, bool kNoData, class Mapper>
void VectorRow(const XGrid& src, XGrid& dst, const Mapper& map, const RowRule& rule, int r, int c0, int c1)
{
    using C = typename S::Element;
    using D = typename V::D;
    constexpr int N = V::N;
    const TypedPixel<S, S, M, kRound, kNoData> pixel(src, dst, rule);
    const uint8_t* base = src.GetData();
    const int rows = pixel.rows, cols = pixel.cols;
    // The window reaches rows r0 - before .. r0 + after of the truncated
    // position, likewise columns; a lane is inside when all of them exist.
    constexpr bool cubic = M == XINTERP_CUBIC || M == XINTERP_CUBIC_SEPARABLE;
    constexpr int before = cubic ? 1 : 0;
    constexpr int after = cubic ? 2 : (M == XINTERP_BILINEAR ? 1 : 0);
    uint8_t* dstRow = dst.GetData() + std::ptrdiff_t(r) * dst.GetCSize() * std::ptrdiff_t(sizeof(C));
    int c = c0;
    for (; c + N <= c1; c += N) {
        D x, y;
        MapLanes<V>(map, r, c, x, y);
        // Truncation toward zero, as int(y); marked, non-numeric and huge
        // positions give INT32_MIN and fall outside.
        const typename V::I r0 = V::ToInt(y), cc0 = V::ToInt(x);
        // The group pixel by pixel through the scalar code.
        auto perPixel = [&] {
            alignas(64) double xs[N], ys[N];
            V::Store(xs, x);
            V::Store(ys, y);
            for (int k = 0; k < N; ++k) pixel(r, c + k, xs[k], ys[k]);
        };
        if (!V::AllBetween(r0, before - 1, rows - after) || !V::AllBetween(cc0, before - 1, cols - after)) {
            perPixel();
            continue;
        }
        // Element offsets of the windows' (r0, c0); the grid holds fewer than
        // 2^31 samples, so they fit.
        alignas(64) int32_t o[N];
        V::Offsets(r0, cc0, cols, o);
        // The source two rows further down, where the block's rows after the
        // next one read when a destination row steps about one source row
        // (rectifying rotations and scales near 1); requested now, the line
        // is there when they come. For other mappings it is one wasted
        // request per group.
        _mm_prefetch(reinterpret_cast<const char*>(base + (std::ptrdiff_t(o[0]) + 2 * std::ptrdiff_t(cols)) *
                                                              std::ptrdiff_t(sizeof(C))),
                     _MM_HINT_T0);
        uint8_t* out = dstRow + std::ptrdiff_t(c) * std::ptrdiff_t(sizeof(C));
        Screen<V, kNoData> screen(rule.noDataKey);
        if constexpr (M == XINTERP_NEAREST && std::is_integral_v<C>) {
            // An integer sample read into a double and stored back as its
            // own type is the sample itself. (Floating samples are not: the
            // store clamps infinities.)
            if constexpr (kNoData) {
                screen(V::template Gather<C>(base, o, 0));
                if (screen.Any()) {
                    perPixel();
                    continue;
                }
            }
            for (int k = 0; k < N; ++k)
                GridSamples::Store(out + k * sizeof(C), GridSamples::Load<C>(base + std::ptrdiff_t(o[k]) * sizeof(C)));
            continue;
        }
        const D dy = V::Sub(y, V::FromInt(r0)), dx = V::Sub(x, V::FromInt(cc0));
        D v;
        if constexpr (M == XINTERP_NEAREST) v = screen(V::template Gather<C>(base, o, 0));
        else if constexpr (M == XINTERP_BILINEAR) v = Bilinear<V, C>(base, o, cols, dy, dx, screen);
        else if constexpr (M == XINTERP_CUBIC) v = Cubic<V, C>(base, o, cols, dy, dx, screen);
        else v = Separable<V, C>(base, o, cols, dy, dx, screen);
        if (screen.Any()) perPixel();
        else StoreLanes<V, S, C, kRound>(out, v);
    }
    for (; c < c1; ++c) {
        double x, y;
        map(r, c, x, y);
        pixel(r, c, x, y);
    }
}

/// The vector row kernel on lanes V for a source type, a method and a rule.
template <class V, class Mapper>
RowKernel<Mapper> FindRowKernelOn(int type, int method, const RowRule& rule)
{
    RowKernel<Mapper> kernel = nullptr;
    DispatchCommonType(type, [&]<class S>() {
        DispatchKernelChoice<S>(method, rule, [&]<int M, bool kRound, bool kNoData>() {
            kernel = &VectorRow<V, S, M, kRound, kNoData, Mapper>;
        });
    });
    return kernel;
}

} // namespace
} // namespace Pelmora::Tivra::MT::ResampleRows
