// Vector row kernels of the resampler: four destination pixels at a time, one
// in each lane of a 256-bit register, for processors with AVX2 (chosen at run
// time). Each lane performs the scalar kernel's operations in the scalar
// kernel's order; vector multiplication, addition, division and square root
// round each lane exactly as the scalar instructions round, and no
// multiply-add is fused (the library builds with -ffp-contract=off), so every
// pixel comes out bit for bit as the general path computes it. A
// group of four whose interpolation windows do not all lie wholly inside the
// source (near an edge, outside it or marked), or, with source no-data on,
// read a no-data sample, goes through the scalar per-pixel code, which also
// takes the pixels left over at the end of a row.
// Other processors have no vector kernels and take the scalar ones.
//
// The formulas here are lane-by-lane copies of those in
// grid/XGridInterpolation.h and grid/XGridReaders.h, each named at its copy;
// the test MtResample.RowKernelsMatchTheGeneralPathBitForBit keeps them
// identical.
#include <cstdint>
#include <type_traits>

#include "mt/XResampleRows.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TIVRA_RESAMPLE_X86 1
#endif

namespace Pelmora::Tivra::MT::ResampleRows {

#ifdef TIVRA_RESAMPLE_X86
namespace {

static_assert(sizeof(XVertex2<double>) == 2 * sizeof(double), "a coordinate map cell is x then y");

// Everything up to the matching pop is compiled for AVX2; the functions above
// and FindVectorRowKernel below stay baseline, so nothing runs on a processor
// without AVX2 before the run-time check.
#pragma GCC push_options
#pragma GCC target("avx2")

/// Four samples of component type C at element offsets o[k] + d, converted to
/// double exactly as the scalar codec converts them: the nearest-sample read
/// of GridSamples::InterpolateAt, and the samples of the other methods.
template <class C>
__m256d Gather4(const uint8_t* p, const int32_t* o, int d)
{
    auto at = [p, o, d](int k) {
        return GridSamples::Load<C>(p + (std::ptrdiff_t(o[k]) + d) * std::ptrdiff_t(sizeof(C)));
    };
    if constexpr (std::is_same_v<C, double>) return _mm256_setr_pd(at(0), at(1), at(2), at(3));
    else if constexpr (std::is_same_v<C, float>) return _mm256_cvtps_pd(_mm_setr_ps(at(0), at(1), at(2), at(3)));
    else return _mm256_cvtepi32_pd(_mm_setr_epi32(at(0), at(1), at(2), at(3)));
}

/// Looks at every sample a vector kernel reads. With kNoData it marks the
/// lanes that read a sample the scalar NoDataTest rejects (equal to the key,
/// or a non-number); such a group is then computed pixel by pixel by the
/// scalar code, which applies the no-data rule. Without, it compiles away.
template <bool kNoData>
struct Screen4 {
    __m256d key, bad;
    explicit Screen4(double k) : key(_mm256_set1_pd(k)), bad(_mm256_setzero_pd()) {}
    __m256d operator()(__m256d s)
    {
        if constexpr (kNoData)
            bad = _mm256_or_pd(bad, _mm256_or_pd(_mm256_cmp_pd(s, key, _CMP_EQ_OQ), _mm256_cmp_pd(s, s, _CMP_UNORD_Q)));
        return s;
    }
    bool Any() const
    {
        if constexpr (kNoData) return _mm256_movemask_pd(bad) != 0;
        else return false;
    }
};

/// Source positions of destination pixels (r, c) .. (r, c + 3): any mapper,
/// one pixel at a time.
template <class Mapper>
void Map4(const Mapper& map, int r, int c, __m256d& x, __m256d& y)
{
    alignas(32) double xs[4], ys[4];
    for (int k = 0; k < 4; ++k) map(r, c + k, xs[k], ys[k]);
    x = _mm256_load_pd(xs);
    y = _mm256_load_pd(ys);
}

/// The coordinate map's four cells, x and y separated.
void Map4(const CoordMapMapper& map, int r, int c, __m256d& x, __m256d& y)
{
    const double* p = reinterpret_cast<const double*>(map.pMap->m_pData + std::ptrdiff_t(r) * map.pMap->m_nCols + c);
    const __m256d lo = _mm256_loadu_pd(p), hi = _mm256_loadu_pd(p + 4);  // x0 y0 x1 y1, x2 y2 x3 y3
    x = _mm256_permute4x64_pd(_mm256_unpacklo_pd(lo, hi), 0xD8);        // x0 x2 x1 x3 -> x0 x1 x2 x3
    y = _mm256_permute4x64_pd(_mm256_unpackhi_pd(lo, hi), 0xD8);
}

/// Destination columns c .. c + 3 and row r as doubles.
void Pixel4(int r, int c, __m256d& xi, __m256d& yi)
{
    xi = _mm256_cvtepi32_pd(_mm_add_epi32(_mm_set1_epi32(c), _mm_setr_epi32(0, 1, 2, 3)));
    yi = _mm256_set1_pd(r);
}

/// h[0] x + h[1] y + h[2], left to right.
__m256d Linear3(const double* h, __m256d x, __m256d y)
{
    return _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(h[0]), x), _mm256_mul_pd(_mm256_set1_pd(h[1]), y)),
                         _mm256_set1_pd(h[2]));
}

void Map4(const AffineMapper& map, int r, int c, __m256d& x, __m256d& y)
{
    __m256d xi, yi;
    Pixel4(r, c, xi, yi);
    x = Linear3(map.a, xi, yi);
    y = Linear3(map.b, xi, yi);
}

/// The projective mapping; lanes with w = 0 keep the pixel's own position.
void Map4(const ProjectiveMapper& map, int r, int c, __m256d& x, __m256d& y)
{
    __m256d xi, yi;
    Pixel4(r, c, xi, yi);
    const __m256d w = Linear3(map.pH + 6, xi, yi);
    const __m256d zero = _mm256_cmp_pd(w, _mm256_setzero_pd(), _CMP_EQ_OQ);
    x = _mm256_blendv_pd(_mm256_div_pd(Linear3(map.pH, xi, yi), w), xi, zero);
    y = _mm256_blendv_pd(_mm256_div_pd(Linear3(map.pH + 3, xi, yi), w), yi, zero);
}

/// s00 + (s01 - s00) dx + (s10 - s00) dy + (s00 - s01 - s10 + s11) dx dy,
/// evaluated left to right as the bilinear case of GridSamples::InterpolateAt
/// does.
template <class C, class Screen>
__m256d Bilinear4(const uint8_t* p, const int32_t* o, int cols, __m256d dy, __m256d dx, Screen& screen)
{
    const __m256d s00 = screen(Gather4<C>(p, o, 0)), s01 = screen(Gather4<C>(p, o, 1));
    const __m256d s10 = screen(Gather4<C>(p, o, cols)), s11 = screen(Gather4<C>(p, o, cols + 1));
    __m256d v = _mm256_add_pd(s00, _mm256_mul_pd(_mm256_sub_pd(s01, s00), dx));
    v = _mm256_add_pd(v, _mm256_mul_pd(_mm256_sub_pd(s10, s00), dy));
    const __m256d cross = _mm256_add_pd(_mm256_sub_pd(_mm256_sub_pd(s00, s01), s10), s11);
    return _mm256_add_pd(v, _mm256_mul_pd(_mm256_mul_pd(cross, dx), dy));
}

/// GridSamples::CubicWeight in each lane for the window's taps. A lane on the
/// vector path has 0 <= dx, dy < 1, so each offset along an axis is below 1
/// in size for the two middle taps and at least 1 for the two outer ones.
/// Hence the four middle taps of the window lie at d < sqrt 2 < 2, and every
/// other tap at d >= 1: the middle taps never need the zero, the others never
/// the inner piece. Leaving out a piece that is never selected changes no
/// weight.
template <bool kMiddle>
__m256d CubicWeight4(__m256d d)
{
    const __m256d d2 = _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(2.5), d), d);  // 2.5 d^2, in both pieces
    const __m256d e3 = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(-0.5), d), d), d);
    const __m256d outer = _mm256_add_pd(
        _mm256_sub_pd(_mm256_add_pd(e3, d2), _mm256_mul_pd(_mm256_set1_pd(4.0), d)), _mm256_set1_pd(2.0));
    if constexpr (kMiddle) {
        const __m256d d3 = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(1.5), d), d), d);
        const __m256d inner = _mm256_add_pd(_mm256_sub_pd(d3, d2), _mm256_set1_pd(1.0));
        return _mm256_blendv_pd(outer, inner, _mm256_cmp_pd(d, _mm256_set1_pd(1.0), _CMP_LT_OQ));
    } else {
        return _mm256_blendv_pd(_mm256_setzero_pd(), outer, _mm256_cmp_pd(d, _mm256_set1_pd(2.0), _CMP_LT_OQ));
    }
}

/// The weighted mean over the 4 x 4 window about (r0, c0), weights and sums
/// in window order, as the cubic case of GridSamples::InterpolateAt forms it.
template <class C, class Screen>
__m256d Cubic4(const uint8_t* p, const int32_t* o, int cols, __m256d dy, __m256d dx, Screen& screen)
{
    // The squared offsets do not depend on the other axis; each is the same
    // product the scalar loop forms sixteen times.
    __m256d ex2[4], ey2[4];
    for (int k = 0; k < 4; ++k) {
        const __m256d ex = _mm256_sub_pd(dx, _mm256_set1_pd(k - 1)), ey = _mm256_sub_pd(dy, _mm256_set1_pd(k - 1));
        ex2[k] = _mm256_mul_pd(ex, ex);
        ey2[k] = _mm256_mul_pd(ey, ey);
    }
    __m256d sum = _mm256_setzero_pd(), wsum = _mm256_setzero_pd();
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const __m256d d = _mm256_sqrt_pd(_mm256_add_pd(ex2[j], ey2[i]));
            const bool middle = (i == 1 || i == 2) && (j == 1 || j == 2);
            const __m256d w = middle ? CubicWeight4<true>(d) : CubicWeight4<false>(d);
            wsum = _mm256_add_pd(wsum, w);
            sum = _mm256_add_pd(sum, _mm256_mul_pd(w, screen(Gather4<C>(p, o, (i - 1) * cols + (j - 1)))));
        }
    return _mm256_div_pd(sum, wsum);
}

/// GridSamples::RoundForStore in each lane: the truncation t, plus one step
/// away from zero when the part cut off, v - t (exact), is at least a half.
/// Non-numbers compare false and pass; an infinity gives inf - inf, a
/// non-number, and so passes too.
__m256d Round4(__m256d v)
{
    const __m256d t = _mm256_round_pd(v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    const __m256d sign = _mm256_and_pd(v, _mm256_set1_pd(-0.0));
    const __m256d cut = _mm256_andnot_pd(_mm256_set1_pd(-0.0), _mm256_sub_pd(v, t)); // |v - t|
    const __m256d half = _mm256_cmp_pd(cut, _mm256_set1_pd(0.5), _CMP_GE_OQ);
    return _mm256_add_pd(t, _mm256_and_pd(half, _mm256_or_pd(sign, _mm256_set1_pd(1.0))));
}

/// GridSamples::SeparableCubicWeights in each lane for 0 <= t < 1, the
/// vector path's fractions: w[0], w[2] and w[3], in the same order of
/// operations.
void SeparableWeights4(__m256d t, __m256d* w)
{
    const __m256d half = _mm256_set1_pd(0.5);
    w[0] = _mm256_mul_pd(t, _mm256_sub_pd(_mm256_mul_pd(t, _mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_mul_pd(half, t))),
                                          half));
    w[2] = _mm256_mul_pd(
        t, _mm256_add_pd(half, _mm256_mul_pd(t, _mm256_sub_pd(_mm256_set1_pd(2.0),
                                                              _mm256_mul_pd(_mm256_set1_pd(1.5), t)))));
    w[3] = _mm256_mul_pd(_mm256_mul_pd(t, t), _mm256_sub_pd(_mm256_mul_pd(half, t), half));
}

/// GridSamples::SeparableCubicSum in each lane.
__m256d Combine4(const __m256d* w, __m256d s0, __m256d s1, __m256d s2, __m256d s3)
{
    __m256d v = _mm256_add_pd(s1, _mm256_mul_pd(w[0], _mm256_sub_pd(s0, s1)));
    v = _mm256_add_pd(v, _mm256_mul_pd(w[2], _mm256_sub_pd(s2, s1)));
    return _mm256_add_pd(v, _mm256_mul_pd(w[3], _mm256_sub_pd(s3, s1)));
}

/// The four consecutive samples of component type C from element offset
/// o + d - 1 on, as doubles, converted exactly as the scalar codec converts
/// them: one load per lane instead of four.
template <class C>
__m256d Run4(const uint8_t* p, int32_t o, int d)
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

/// The window row at element offset d from each lane's (r0, c0): taps at
/// columns c0 - 1 .. c0 + 2, tap k of the four lanes in s[k]. Each lane's run
/// is loaded whole and the 4 x 4 block transposed.
template <class C>
void Taps4(const uint8_t* p, const int32_t* o, int d, __m256d* s)
{
    const __m256d l0 = Run4<C>(p, o[0], d), l1 = Run4<C>(p, o[1], d);
    const __m256d l2 = Run4<C>(p, o[2], d), l3 = Run4<C>(p, o[3], d);
    const __m256d t0 = _mm256_unpacklo_pd(l0, l1), t1 = _mm256_unpackhi_pd(l0, l1); // 00 10 02 12, 01 11 03 13
    const __m256d t2 = _mm256_unpacklo_pd(l2, l3), t3 = _mm256_unpackhi_pd(l2, l3); // 20 30 22 32, 21 31 23 33
    s[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    s[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    s[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    s[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}

/// The separable cubic over the 4 x 4 window about (r0, c0), as the
/// separable case of GridSamples::InterpolateAt forms it: each window row
/// along x, then the rows along y.
template <class C, class Screen>
__m256d Separable4(const uint8_t* p, const int32_t* o, int cols, __m256d dy, __m256d dx, Screen& screen)
{
    __m256d wx[4], wy[4], across[4];
    SeparableWeights4(dx, wx);
    SeparableWeights4(dy, wy);
    for (int i = 0; i < 4; ++i) {
        __m256d s[4];
        Taps4<C>(p, o, (i - 1) * cols, s);
        across[i] = Combine4(wx, screen(s[0]), screen(s[1]), screen(s[2]), screen(s[3]));
    }
    return Combine4(wy, across[0], across[1], across[2], across[3]);
}

/// Stores four values at p as GridSamples::TypedWriter does: each rounded
/// when kRound, clamped to the type's range, a non-number passing the clamp,
/// then converted (a non-number to an integer type gives 0).
template <class S, class C, bool kRound>
void Store4(uint8_t* p, __m256d v)
{
    if constexpr (kRound) v = Round4(v);
    // MAXPD and MINPD return their second operand when either is a
    // non-number, so such lanes pass as they pass the scalar comparisons.
    v = _mm256_max_pd(_mm256_set1_pd(DATATYPE_TABLE[S::kCode].rangeMin), v);
    v = _mm256_min_pd(_mm256_set1_pd(DATATYPE_TABLE[S::kCode].rangeMax), v);
    if constexpr (std::is_same_v<C, double>) {
        _mm256_storeu_pd(reinterpret_cast<double*>(p), v);
    } else if constexpr (std::is_same_v<C, float>) {
        _mm_storeu_ps(reinterpret_cast<float*>(p), _mm256_cvtpd_ps(v));
    } else {
        // Clamped into an integer type's range the truncation fits 32 bits.
        v = _mm256_andnot_pd(_mm256_cmp_pd(v, v, _CMP_UNORD_Q), v);
        alignas(16) int32_t t[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(t), _mm256_cvttpd_epi32(v));
        for (int k = 0; k < 4; ++k) GridSamples::Store(p + k * sizeof(C), static_cast<C>(t[k]));
    }
}

/// One destination row for source and destination type S, method M, the
/// store rule kRound and the no-data screen kNoData.
template <class S, int M, bool kRound, bool kNoData, class Mapper>
void VectorRow(const XGrid& src, XGrid& dst, const Mapper& map, const RowRule& rule, int r)
{
    using C = typename S::Element;
    const TypedPixel<S, S, M, kRound, kNoData> pixel(src, dst, rule);
    const uint8_t* base = src.GetData();
    const int rows = pixel.rows, cols = pixel.cols, dstCols = dst.GetCSize();
    // The window reaches rows r0 - before .. r0 + after of the truncated
    // position, likewise columns; a lane is inside when all of them exist.
    constexpr bool cubic = M == XINTERP_CUBIC || M == XINTERP_CUBIC_SEPARABLE;
    constexpr int before = cubic ? 1 : 0;
    constexpr int after = cubic ? 2 : (M == XINTERP_BILINEAR ? 1 : 0);
    const __m128i rLow = _mm_set1_epi32(before - 1), rHigh = _mm_set1_epi32(rows - after);
    const __m128i cLow = _mm_set1_epi32(before - 1), cHigh = _mm_set1_epi32(cols - after);
    const __m128i stride = _mm_set1_epi32(cols);
    uint8_t* dstRow = dst.GetData() + std::ptrdiff_t(r) * dstCols * std::ptrdiff_t(sizeof(C));
    int c = 0;
    for (; c + 4 <= dstCols; c += 4) {
        __m256d x, y;
        Map4(map, r, c, x, y);
        // Truncation toward zero, as int(y); marked, non-numeric and huge
        // positions give INT32_MIN and fall outside.
        const __m128i r0 = _mm256_cvttpd_epi32(y), c0 = _mm256_cvttpd_epi32(x);
        const __m128i inside = _mm_and_si128(_mm_and_si128(_mm_cmpgt_epi32(r0, rLow), _mm_cmpgt_epi32(rHigh, r0)),
                                             _mm_and_si128(_mm_cmpgt_epi32(c0, cLow), _mm_cmpgt_epi32(cHigh, c0)));
        // The group pixel by pixel through the scalar code.
        auto perPixel = [&] {
            alignas(32) double xs[4], ys[4];
            _mm256_store_pd(xs, x);
            _mm256_store_pd(ys, y);
            for (int k = 0; k < 4; ++k) pixel(r, c + k, xs[k], ys[k]);
        };
        if (_mm_movemask_ps(_mm_castsi128_ps(inside)) != 0xF) {
            perPixel();
            continue;
        }
        // Element offsets of the windows' (r0, c0); the grid holds fewer than
        // 2^31 samples, so they fit.
        alignas(16) int32_t o[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(o), _mm_add_epi32(_mm_mullo_epi32(r0, stride), c0));
        uint8_t* out = dstRow + std::ptrdiff_t(c) * std::ptrdiff_t(sizeof(C));
        Screen4<kNoData> screen(rule.noDataKey);
        if constexpr (M == XINTERP_NEAREST && std::is_integral_v<C>) {
            // An integer sample read into a double and stored back as its
            // own type is the sample itself. (Floating samples are not: the
            // store clamps infinities.)
            if constexpr (kNoData) {
                screen(Gather4<C>(base, o, 0));
                if (screen.Any()) {
                    perPixel();
                    continue;
                }
            }
            for (int k = 0; k < 4; ++k)
                GridSamples::Store(out + k * sizeof(C), GridSamples::Load<C>(base + std::ptrdiff_t(o[k]) * sizeof(C)));
            continue;
        }
        const __m256d dy = _mm256_sub_pd(y, _mm256_cvtepi32_pd(r0)), dx = _mm256_sub_pd(x, _mm256_cvtepi32_pd(c0));
        __m256d v;
        if constexpr (M == XINTERP_NEAREST) v = screen(Gather4<C>(base, o, 0));
        else if constexpr (M == XINTERP_BILINEAR) v = Bilinear4<C>(base, o, cols, dy, dx, screen);
        else if constexpr (M == XINTERP_CUBIC) v = Cubic4<C>(base, o, cols, dy, dx, screen);
        else v = Separable4<C>(base, o, cols, dy, dx, screen);
        if (screen.Any()) perPixel();
        else Store4<S, C, kRound>(out, v);
    }
    for (; c < dstCols; ++c) {
        double x, y;
        map(r, c, x, y);
        pixel(r, c, x, y);
    }
}

#pragma GCC pop_options

} // namespace

template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int type, int method, const RowRule& rule)
{
    static const bool available = __builtin_cpu_supports("avx2");
    RowKernel<Mapper> kernel = nullptr;
    if (!available) return kernel;
    DispatchCommonType(type, [&]<class S>() {
        DispatchKernelChoice<S>(method, rule, [&]<int M, bool kRound, bool kNoData>() {
            kernel = &VectorRow<S, M, kRound, kNoData, Mapper>;
        });
    });
    return kernel;
}
#else
template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int, int, const RowRule&)
{
    return nullptr;
}
#endif

template RowKernel<PixelMapper> FindVectorRowKernel<PixelMapper>(int, int, const RowRule&);
template RowKernel<CoordMapMapper> FindVectorRowKernel<CoordMapMapper>(int, int, const RowRule&);
template RowKernel<ProjectiveMapper> FindVectorRowKernel<ProjectiveMapper>(int, int, const RowRule&);
template RowKernel<AffineMapper> FindVectorRowKernel<AffineMapper>(int, int, const RowRule&);

} // namespace Pelmora::Tivra::MT::ResampleRows
