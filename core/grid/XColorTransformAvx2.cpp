// AVX2 kernels of the interleaved colour transforms (called by
// ColorTransform::Pixels8 and Pixels16 at CpuLevel::Avx2), for pixels of
// stride 3 and 4. Every
// lane computes the integers of the per-pixel kernels Forward8, Inverse8,
// Forward16 and Inverse16 of XColorTransform.cpp, rewritten for 16-bit lanes
// as explained at each copy; the test GridColour.VectorKernelsMatchTheScalarLoop
// compares them over every 8-bit pixel and over extreme 16-bit ones.
//
// 8-bit: each 128-bit half of a register holds four pixels, at bytes 4j .. 4j+3
// (stride 4) or 3j .. 3j+2 (stride 3, four pixels fetched into the low twelve
// bytes of each half). Byte shuffles widen two components of every pixel to a
// pair of 16-bit lanes, the formulas run on those pairs, a saturating pack
// narrows them again and a last shuffle puts each result byte in its place.
// 16-bit: the components are separated into one register per role (pixels in
// the same, if permuted, order in each), the formulas run on whole registers
// and the inverse shuffles put the pixels back.
#include <cstdint>

#include "grid/XColorTransformKernels.h"
#include "platform/XCpu.h"

#ifdef TIVRA_CPU_X86
#include <immintrin.h>

namespace Pelmora::Tivra::ColorTransform {
namespace {

// Everything up to the matching pop is compiled for AVX2; the entry points
// below stay baseline, so nothing runs on a processor without AVX2 before
// the level is checked.
#pragma GCC push_options
#pragma GCC target("avx2")

// ---- 8-bit ----------------------------------------------------------------

/// Byte shuffle widening, in each half, components `first` and `second` of
/// pixels j = 0..3 (step bytes apart) to the 16-bit lanes 2j and 2j + 1.
__m256i WidenPairs(int step, int first, int second)
{
    alignas(32) int8_t m[32];
    for (int h = 0; h < 32; h += 16)
        for (int j = 0; j < 4; ++j) {
            m[h + 4 * j] = int8_t(step * j + first);
            m[h + 4 * j + 2] = int8_t(step * j + second);
            m[h + 4 * j + 1] = m[h + 4 * j + 3] = -128;  // a set top bit writes zero
        }
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

/// What the lane kernels return: in each half the pair of pixel j at bytes 2j
/// and 2j + 1 and its single value at byte 8 + 2j (a pack of the pair lanes
/// with the single lanes). The byte shuffle placing, for components 0..2 of
/// pixel j (step bytes apart), the pair's first (0), second (1) or the single
/// value (2) as `from` says; bytes between pixels are zeroed.
__m256i PlaceResults(int step, const int (&from)[3])
{
    alignas(32) int8_t m[32];
    for (auto& b : m) b = -128;
    for (int h = 0; h < 32; h += 16)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 3; ++k) m[h + step * j + k] = int8_t(from[k] == 2 ? 8 + 2 * j : 2 * j + from[k]);
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(m));
}

/// The four shuffles of one form at one stride.
struct Shuffles8 {
    __m256i pair, swapped, single, place;
};

/// Vector copy of Forward8: pixels (p, c, q) widened to the pairs (p, q),
/// (q, p) and (c, c); returns the pairs (D1, D2) and the singles Y.
inline __m256i Forward8Lanes(__m256i v, const Shuffles8& s)
{
    const __m256i a = _mm256_shuffle_epi8(v, s.pair);
    const __m256i t = _mm256_add_epi16(a, _mm256_shuffle_epi8(v, s.swapped));        // p + q
    const __m256i c2 = _mm256_slli_epi16(_mm256_shuffle_epi8(v, s.single), 1);       // 2c
    // R8(x) = (x + 4) >> 3: with x = 8k + r, 0 <= r < 8, both are k + (r >= 4).
    // Y = R8(2 (p + 2c + q)) = (p + 2c + q + 2) >> 2, at most 255.
    const __m256i y = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(t, c2), _mm256_set1_epi16(2)), 2);
    // D1 = R8(3p - 2c - q + 1024) = (4p - (p + q) - 2c + 1028) >> 3, with the
    // sum in 263..1793 (D2 the same in the other lane of the pair).
    const __m256i d = _mm256_srli_epi16(
        _mm256_add_epi16(_mm256_sub_epi16(_mm256_sub_epi16(_mm256_slli_epi16(a, 2), t), c2), _mm256_set1_epi16(1028)),
        3);
    return _mm256_packus_epi16(d, y);  // both within 0..255: the pack only narrows
}

/// Vector copy of Inverse8: pixels widened to the pairs (D1, D2), (D2, D1) and
/// (Y, Y); returns the pairs (p, q) and the singles c.
inline __m256i Inverse8Lanes(__m256i v, const Shuffles8& s)
{
    const __m256i d = _mm256_shuffle_epi8(v, s.pair);
    const __m256i y = _mm256_shuffle_epi8(v, s.single);
    // p = Y + 2 (D1 - 128) in -256..509; c = Y - (D1 - 128) - (D2 - 128) in -510..511.
    const __m256i pq = _mm256_sub_epi16(_mm256_add_epi16(y, _mm256_add_epi16(d, d)), _mm256_set1_epi16(256));
    const __m256i c = _mm256_add_epi16(_mm256_sub_epi16(_mm256_sub_epi16(y, d), _mm256_shuffle_epi8(v, s.swapped)),
                                       _mm256_set1_epi16(256));
    return _mm256_packus_epi16(pq, c);  // the signed-to-unsigned saturation is Clamp8
}

template <bool kDecode>
inline __m256i Lanes8(__m256i v, const Shuffles8& s)
{
    return kDecode ? Inverse8Lanes(v, s) : Forward8Lanes(v, s);
}

/// Stride 4: eight pixels a vector; the fourth byte of each pixel is written
/// back as read. It may lie beyond the buffer for the last pixel, so that one
/// is always left to the scalar loop.
template <bool kDecode>
int64_t Stride4(uint8_t* pPixels, int64_t nCount, const Shuffles8& s)
{
    const __m256i fourth = _mm256_set1_epi32(int32_t(0xFF000000u));
    int64_t i = 0;
    for (; i + 8 < nCount; i += 8) {
        auto* at = reinterpret_cast<__m256i*>(pPixels + 4 * i);
        const __m256i v = _mm256_loadu_si256(at);
        const __m256i r = _mm256_shuffle_epi8(Lanes8<kDecode>(v, s), s.place);
        _mm256_storeu_si256(at, _mm256_or_si256(r, _mm256_and_si256(v, fourth)));
    }
    return i;
}

/// Stride 3: 32 pixels (three vectors) at a time. Counting in dwords, the
/// pixels 4g .. 4g+3 fill dwords 3g .. 3g+2; dword permutes give every half
/// four pixels in its dwords 0..2 and, after the kernel, gather them back.
template <bool kDecode>
int64_t Stride3(uint8_t* pPixels, int64_t nCount, const Shuffles8& s)
{
    // Fetch: dwords 0..5 of the first vector; 6, 7 of the first and 0..3 of
    // the second; 4..7 of the second and 0, 1 of the third; 2..7 of the third.
    const __m256i in0 = _mm256_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0), in1 = _mm256_setr_epi32(6, 7, 0, 0, 1, 2, 3, 0);
    const __m256i in2 = _mm256_setr_epi32(4, 5, 6, 0, 7, 0, 1, 0), in3 = _mm256_setr_epi32(2, 3, 4, 0, 5, 6, 7, 0);
    // Put back: the inverse placements, merged by dword blends.
    const __m256i out0 = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 0, 0), out1 = _mm256_setr_epi32(2, 4, 5, 6, 0, 0, 0, 1);
    const __m256i out2 = _mm256_setr_epi32(5, 6, 0, 0, 0, 1, 2, 4), out3 = _mm256_setr_epi32(0, 0, 0, 1, 2, 4, 5, 6);
    int64_t i = 0;
    for (; i + 32 <= nCount; i += 32) {
        auto* at = reinterpret_cast<__m256i*>(pPixels + 3 * i);
        const __m256i a = _mm256_loadu_si256(at), b = _mm256_loadu_si256(at + 1), c = _mm256_loadu_si256(at + 2);
        const __m256i v0 = _mm256_permutevar8x32_epi32(a, in0);
        const __m256i v1 = _mm256_permutevar8x32_epi32(_mm256_blend_epi32(a, b, 0x0F), in1);
        const __m256i v2 = _mm256_permutevar8x32_epi32(_mm256_blend_epi32(b, c, 0x03), in2);
        const __m256i v3 = _mm256_permutevar8x32_epi32(c, in3);
        auto result = [&s](__m256i v, __m256i out) {
            return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(Lanes8<kDecode>(v, s), s.place), out);
        };
        const __m256i r0 = result(v0, out0), r1 = result(v1, out1), r2 = result(v2, out2), r3 = result(v3, out3);
        _mm256_storeu_si256(at, _mm256_blend_epi32(r0, r1, 0xC0));
        _mm256_storeu_si256(at + 1, _mm256_blend_epi32(r1, r2, 0xF0));
        _mm256_storeu_si256(at + 2, _mm256_blend_epi32(r2, r3, 0xFC));
    }
    return i;
}

template <bool kDecode>
int64_t Strided8(uint8_t* pPixels, int64_t nCount, int nStride, const int (&pair)[2], const int (&swapped)[2],
                 int single, const int (&place)[3])
{
    const Shuffles8 s{WidenPairs(nStride, pair[0], pair[1]), WidenPairs(nStride, swapped[0], swapped[1]),
                      WidenPairs(nStride, single, single), PlaceResults(nStride, place)};
    return nStride == 4 ? Stride4<kDecode>(pPixels, nCount, s) : Stride3<kDecode>(pPixels, nCount, s);
}

// ---- 16-bit ---------------------------------------------------------------

/// Vector copy of Forward16. The 16-bit lanes wrap exactly as Low16 truncates
/// the 32-bit sums.
inline void Forward16Lanes(__m256i& p, __m256i& c, __m256i& q)
{
    const __m256i c2 = _mm256_add_epi16(c, c);
    const __m256i s = _mm256_slli_epi16(_mm256_add_epi16(_mm256_add_epi16(p, q), c2), 1);
    const __m256i e1 = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_add_epi16(p, _mm256_add_epi16(p, p)), c2), q);
    const __m256i e2 = _mm256_sub_epi16(_mm256_sub_epi16(_mm256_add_epi16(q, _mm256_add_epi16(q, q)), c2), p);
    p = s, c = e1, q = e2;
}

/// Vector copy of Inverse16. The sums need up to 18 bits, so each value is
/// split as v = 8 (v >> 3) + (v & 7) (or 4 (v >> 2) + (v & 3)) and the whole
/// parts added apart from the remainders:
///   (s + 2 e1) >> 3    = (s >> 3) + (e1 >> 2) + (((s & 7) + 2 (e1 & 3)) >> 3), remainders 0..13;
///   (s - e1 - e2) >> 3 = (s >> 3) - (e1 >> 3) - (e2 >> 3) + (((s & 7) - (e1 & 7) - (e2 & 7)) >> 3),
///                        remainders -14..7.
/// Every term and result lies within 16 bits (the results within +-12290).
inline void Inverse16Lanes(__m256i& s, __m256i& e1, __m256i& e2)
{
    const __m256i seven = _mm256_set1_epi16(7), three = _mm256_set1_epi16(3);
    const __m256i sHigh = _mm256_srai_epi16(s, 3), sLow = _mm256_and_si256(s, seven);
    auto outer = [&](__m256i e) {
        const __m256i low = _mm256_add_epi16(sLow, _mm256_slli_epi16(_mm256_and_si256(e, three), 1));
        return _mm256_add_epi16(_mm256_add_epi16(sHigh, _mm256_srai_epi16(e, 2)), _mm256_srli_epi16(low, 3));
    };
    const __m256i low = _mm256_sub_epi16(_mm256_sub_epi16(sLow, _mm256_and_si256(e1, seven)), _mm256_and_si256(e2, seven));
    const __m256i c = _mm256_add_epi16(
        _mm256_sub_epi16(_mm256_sub_epi16(sHigh, _mm256_srai_epi16(e1, 3)), _mm256_srai_epi16(e2, 3)),
        _mm256_srai_epi16(low, 3));
    const __m256i p = outer(e1), q = outer(e2);
    s = p, e1 = c, e2 = q;
}

template <bool kDecode>
inline void Lanes16(__m256i& a, __m256i& b, __m256i& c)
{
    if constexpr (kDecode) Inverse16Lanes(a, b, c);
    else Forward16Lanes(a, b, c);
}

/// Stride 3: sixteen pixels (three vectors) at a time. Lane swaps give each
/// half 24 consecutive elements (eight pixels) spread over three registers
/// x, y, z; in each half, element 3k + r of those 24 sits in x, y or z at
/// positions that word blends collect into one register per component r,
/// and two rotations bring the three into the same pixel order. The way back
/// retraces these steps.
template <bool kDecode>
int64_t Stride3(int16_t* pPixels, int64_t nCount)
{
    // Word positions {0, 3, 6}, {1, 4, 7} and {2, 5} of each half.
    constexpr int k0 = 0x49, k1 = 0x92, k2 = 0x24;
    int64_t i = 0;
    for (; i + 16 <= nCount; i += 16) {
        auto* at = reinterpret_cast<__m256i*>(pPixels + 3 * i);
        const __m256i a = _mm256_loadu_si256(at), b = _mm256_loadu_si256(at + 1), c = _mm256_loadu_si256(at + 2);
        const __m256i x = _mm256_permute2x128_si256(a, b, 0x30);  // halves: elements 0..7, 24..31
        const __m256i y = _mm256_permute2x128_si256(a, c, 0x21);  // 8..15, 32..39
        const __m256i z = _mm256_permute2x128_si256(b, c, 0x30);  // 16..23, 40..47
        // Pixels in the order 0, 3, 6, 1, 4, 7, 2, 5 of each half; the second
        // component starts one word later and the third two, rotated back.
        __m256i u = _mm256_blend_epi16(_mm256_blend_epi16(x, y, k1), z, k2);
        __m256i v = _mm256_blend_epi16(_mm256_blend_epi16(x, y, k2), z, k0);
        __m256i w = _mm256_blend_epi16(_mm256_blend_epi16(x, y, k0), z, k1);
        v = _mm256_alignr_epi8(v, v, 2);
        w = _mm256_alignr_epi8(w, w, 4);
        Lanes16<kDecode>(u, v, w);
        v = _mm256_alignr_epi8(v, v, 14);
        w = _mm256_alignr_epi8(w, w, 12);
        const __m256i xo = _mm256_blend_epi16(_mm256_blend_epi16(u, v, k1), w, k2);
        const __m256i yo = _mm256_blend_epi16(_mm256_blend_epi16(u, v, k2), w, k0);
        const __m256i zo = _mm256_blend_epi16(_mm256_blend_epi16(u, v, k0), w, k1);
        _mm256_storeu_si256(at, _mm256_permute2x128_si256(xo, yo, 0x20));
        _mm256_storeu_si256(at + 1, _mm256_permute2x128_si256(zo, xo, 0x30));
        _mm256_storeu_si256(at + 2, _mm256_permute2x128_si256(yo, zo, 0x31));
    }
    return i;
}

/// Stride 4: sixteen pixels (four vectors) at a time, separated by a cascade
/// of 16-, 32- and 64-bit unpacks into components 0..3 (the fourth written
/// back as read) and interleaved again by the opposite cascade. The fourth
/// element of the last pixel may lie beyond the buffer, so that pixel is
/// always left to the scalar loop.
template <bool kDecode>
int64_t Stride4(int16_t* pPixels, int64_t nCount)
{
    int64_t i = 0;
    for (; i + 16 < nCount; i += 16) {
        auto* at = reinterpret_cast<__m256i*>(pPixels + 4 * i);
        const __m256i a = _mm256_loadu_si256(at), b = _mm256_loadu_si256(at + 1);
        const __m256i c = _mm256_loadu_si256(at + 2), d = _mm256_loadu_si256(at + 3);
        const __m256i t0 = _mm256_unpacklo_epi16(a, b), t1 = _mm256_unpackhi_epi16(a, b);
        const __m256i t2 = _mm256_unpacklo_epi16(c, d), t3 = _mm256_unpackhi_epi16(c, d);
        const __m256i u0 = _mm256_unpacklo_epi32(t0, t1), u1 = _mm256_unpackhi_epi32(t0, t1);
        const __m256i u2 = _mm256_unpacklo_epi32(t2, t3), u3 = _mm256_unpackhi_epi32(t2, t3);
        __m256i k0 = _mm256_unpacklo_epi64(u0, u2), k1 = _mm256_unpackhi_epi64(u0, u2);
        __m256i k2 = _mm256_unpacklo_epi64(u1, u3);
        const __m256i k3 = _mm256_unpackhi_epi64(u1, u3);
        Lanes16<kDecode>(k0, k1, k2);
        const __m256i lo01 = _mm256_unpacklo_epi16(k0, k1), lo23 = _mm256_unpacklo_epi16(k2, k3);
        const __m256i hi01 = _mm256_unpackhi_epi16(k0, k1), hi23 = _mm256_unpackhi_epi16(k2, k3);
        const __m256i ab0 = _mm256_unpacklo_epi32(lo01, lo23), ab1 = _mm256_unpackhi_epi32(lo01, lo23);
        const __m256i cd0 = _mm256_unpacklo_epi32(hi01, hi23), cd1 = _mm256_unpackhi_epi32(hi01, hi23);
        _mm256_storeu_si256(at, _mm256_unpacklo_epi64(ab0, ab1));
        _mm256_storeu_si256(at + 1, _mm256_unpackhi_epi64(ab0, ab1));
        _mm256_storeu_si256(at + 2, _mm256_unpacklo_epi64(cd0, cd1));
        _mm256_storeu_si256(at + 3, _mm256_unpackhi_epi64(cd0, cd1));
    }
    return i;
}

#pragma GCC pop_options

} // namespace

int64_t Pixels8Avx2(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride)
{
    if (nStride != 3 && nStride != 4) return 0;
    // Components read as pairs (and the single one), and where the results
    // go: encoding reads (p, c, q) and yields the pairs (D1, D2) and Y;
    // decoding reads (Y, D1, D2) or (D1, D2, Y) and yields (p, q) and c.
    switch (form) {
    case Form8::Encode: return Strided8<false>(pPixels, nCount, nStride, {0, 2}, {2, 0}, 1, {2, 0, 1});
    case Form8::EncodeYLast: return Strided8<false>(pPixels, nCount, nStride, {0, 2}, {2, 0}, 1, {0, 1, 2});
    case Form8::Decode: return Strided8<true>(pPixels, nCount, nStride, {1, 2}, {2, 1}, 0, {0, 2, 1});
    case Form8::DecodeYLast: return Strided8<true>(pPixels, nCount, nStride, {0, 1}, {1, 0}, 2, {0, 2, 1});
    }
    return 0;
}

int64_t Pixels16Avx2(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride)
{
    if (nStride == 3) return bDecode ? Stride3<true>(pPixels, nCount) : Stride3<false>(pPixels, nCount);
    if (nStride == 4) return bDecode ? Stride4<true>(pPixels, nCount) : Stride4<false>(pPixels, nCount);
    return 0;
}

} // namespace Pelmora::Tivra::ColorTransform
#endif
