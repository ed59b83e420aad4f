// Colour transforms and bitmap helpers. All arithmetic of the transforms is in
// 32-bit signed integers; the per-pixel kernels are shared by the planar and
// interleaved forms so that both give the same values. The interleaved forms
// hand whole vectors of pixels with strides 3 and 4 to the AVX2 kernels
// (XColorTransformAvx2.cpp, which repeat the per-pixel kernels lane by lane)
// and finish with the scalar loop.
#include <tivra/grid/XColorTransform.h>

#include "grid/XColorTransformKernels.h"

#include <algorithm>

#include "platform/XCpu.h"

namespace Pelmora::Tivra {

namespace {

/// x / 8 rounded half up, for x >= 0.
inline int32_t R8(int32_t x) { return (x >> 3) + ((x >> 2) & 1); }

inline uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

struct Triple { int32_t a, b, c; };

/// (p, c, q) -> (Y, D1, D2). Vector copy: Forward8Lanes in grid/XColorTransformAvx2.cpp.
inline Triple Forward8(int32_t p, int32_t c, int32_t q)
{
    return {R8(2 * p + 4 * c + 2 * q), R8(3 * p - 2 * c - q + 1024), R8(3 * q - 2 * c - p + 1024)};
}

/// (Y, D1, D2) -> (p, c, q), clamped. Vector copy: Inverse8Lanes in grid/XColorTransformAvx2.cpp.
inline Triple Inverse8(int32_t y, int32_t d1, int32_t d2)
{
    const int32_t e1 = d1 - 128, e2 = d2 - 128;
    return {Clamp8(y + 2 * e1), Clamp8(y - e1 - e2), Clamp8(y + 2 * e2)};
}

/// (p, c, q) -> (S, E1, E2). Vector copy: Forward16Lanes in grid/XColorTransformAvx2.cpp.
inline Triple Forward16(int32_t p, int32_t c, int32_t q)
{
    return {2 * p + 4 * c + 2 * q, 3 * p - 2 * c - q, 3 * q - 2 * c - p};
}

/// (S, E1, E2) -> (p, c, q). Vector copy: Inverse16Lanes in grid/XColorTransformAvx2.cpp.
inline Triple Inverse16(int32_t s, int32_t e1, int32_t e2)
{
    return {(s + 2 * e1) >> 3, (s - e1 - e2) >> 3, (s + 2 * e2) >> 3};
}

inline int16_t Low16(int32_t v) { return static_cast<int16_t>(static_cast<uint16_t>(v)); }

bool Usable(const void* p, int64_t n) { return p != nullptr && n > 0; }

/// One pixel of an interleaved 8-bit form.
template <ColorTransform::Form8 F>
inline void Pixel8(uint8_t* px)
{
    using enum ColorTransform::Form8;
    Triple t;
    if constexpr (F == Encode || F == EncodeYLast) t = Forward8(px[0], px[1], px[2]);
    else if constexpr (F == Decode) t = Inverse8(px[0], px[1], px[2]);
    else t = Inverse8(px[2], px[0], px[1]);
    if constexpr (F == EncodeYLast) t = {t.b, t.c, t.a};
    px[0] = static_cast<uint8_t>(t.a);
    px[1] = static_cast<uint8_t>(t.b);
    px[2] = static_cast<uint8_t>(t.c);
}

/// Pixels iFirst .. nCount - 1 of an interleaved 8-bit form.
template <ColorTransform::Form8 F>
void Loop8(uint8_t* pPixels, int64_t iFirst, int64_t nCount, int nStride)
{
    for (int64_t i = iFirst; i < nCount; ++i) Pixel8<F>(pPixels + i * nStride);
}

/// Pixels iFirst .. nCount - 1 of the interleaved 16-bit encode or decode.
template <bool kDecode>
void Loop16(int16_t* pPixels, int64_t iFirst, int64_t nCount, int nStride)
{
    for (int64_t i = iFirst; i < nCount; ++i) {
        int16_t* px = pPixels + i * nStride;
        const Triple t = kDecode ? Inverse16(px[0], px[1], px[2]) : Forward16(px[0], px[1], px[2]);
        px[0] = Low16(t.a);
        px[1] = Low16(t.b);
        px[2] = Low16(t.c);
    }
}

} // namespace

namespace ColorTransform {

namespace {

/// The leading pixels the vector kernels the level allows transform; 0
/// without one.
int64_t VectorPixels8(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride)
{
#ifdef TIVRA_CPU_X86
    if (XPlatform::GetCpuLevel() >= XPlatform::CpuLevel::Avx2) return Pixels8Avx2(form, pPixels, nCount, nStride);
#endif
    return 0;
}

int64_t VectorPixels16(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride)
{
#ifdef TIVRA_CPU_X86
    if (XPlatform::GetCpuLevel() >= XPlatform::CpuLevel::Avx2) return Pixels16Avx2(bDecode, pPixels, nCount, nStride);
#endif
    return 0;
}

} // namespace

void Pixels8(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride)
{
    if (!Usable(pPixels, nCount)) return;
    const int64_t done = VectorPixels8(form, pPixels, nCount, nStride);
    switch (form) {
    case Form8::Encode: Loop8<Form8::Encode>(pPixels, done, nCount, nStride); break;
    case Form8::Decode: Loop8<Form8::Decode>(pPixels, done, nCount, nStride); break;
    case Form8::EncodeYLast: Loop8<Form8::EncodeYLast>(pPixels, done, nCount, nStride); break;
    case Form8::DecodeYLast: Loop8<Form8::DecodeYLast>(pPixels, done, nCount, nStride); break;
    }
}

void Pixels16(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride)
{
    if (!Usable(pPixels, nCount)) return;
    const int64_t done = VectorPixels16(bDecode, pPixels, nCount, nStride);
    if (bDecode) Loop16<true>(pPixels, done, nCount, nStride);
    else Loop16<false>(pPixels, done, nCount, nStride);
}

} // namespace ColorTransform

namespace Xfn {

void EncodeColorPlanar8(uint8_t* pC, uint8_t* pP, uint8_t* pQ, int64_t nCount)
{
    if (!Usable(pC, nCount) || !pP || !pQ) return;
    for (int64_t i = 0; i < nCount; ++i) {
        const Triple t = Forward8(pP[i], pC[i], pQ[i]);
        pQ[i] = static_cast<uint8_t>(t.a);
        pP[i] = static_cast<uint8_t>(t.b);
        pC[i] = static_cast<uint8_t>(t.c);
    }
}

void DecodeColorPlanar8(uint8_t* pY, uint8_t* pD1, uint8_t* pD2, int64_t nCount)
{
    if (!Usable(pY, nCount) || !pD1 || !pD2) return;
    for (int64_t i = 0; i < nCount; ++i) {
        const Triple t = Inverse8(pY[i], pD1[i], pD2[i]);
        pY[i] = static_cast<uint8_t>(t.a);
        pD1[i] = static_cast<uint8_t>(t.b);
        pD2[i] = static_cast<uint8_t>(t.c);
    }
}

void EncodeColorPlanar16(int16_t* pC, int16_t* pP, int16_t* pQ, int64_t nCount)
{
    if (!Usable(pC, nCount) || !pP || !pQ) return;
    for (int64_t i = 0; i < nCount; ++i) {
        const Triple t = Forward16(pP[i], pC[i], pQ[i]);
        pQ[i] = Low16(t.a);
        pP[i] = Low16(t.b);
        pC[i] = Low16(t.c);
    }
}

void DecodeColorPlanar16(int16_t* pS, int16_t* pE1, int16_t* pE2, int64_t nCount)
{
    if (!Usable(pS, nCount) || !pE1 || !pE2) return;
    for (int64_t i = 0; i < nCount; ++i) {
        const Triple t = Inverse16(pS[i], pE1[i], pE2[i]);
        pS[i] = Low16(t.a);
        pE1[i] = Low16(t.b);
        pE2[i] = Low16(t.c);
    }
}

void EncodeColorPixels8(uint8_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels8(ColorTransform::Form8::Encode, pPixels, nCount, nStride);
}

void DecodeColorPixels8(uint8_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels8(ColorTransform::Form8::Decode, pPixels, nCount, nStride);
}

void EncodeColorPixels8YLast(uint8_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels8(ColorTransform::Form8::EncodeYLast, pPixels, nCount, nStride);
}

void DecodeColorPixels8YLast(uint8_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels8(ColorTransform::Form8::DecodeYLast, pPixels, nCount, nStride);
}

void EncodeColorPixels16(int16_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels16(false, pPixels, nCount, nStride);
}

void DecodeColorPixels16(int16_t* pPixels, int64_t nCount, int nStride)
{
    ColorTransform::Pixels16(true, pPixels, nCount, nStride);
}

void SetBit(uint8_t* pRow, int64_t i, int nValue)
{
    const uint8_t mask = static_cast<uint8_t>(0x80u >> (i & 7));
    if (nValue) pRow[i >> 3] |= mask;
    else pRow[i >> 3] &= static_cast<uint8_t>(~mask);
}

int GetBit(const uint8_t* pRow, int64_t i) { return (pRow[i >> 3] & (0x80u >> (i & 7))) ? 1 : 0; }

int GetBitmapRowBytes(int nBitCount, int nWidth)
{
    if (nWidth < 0) return 0;
    int64_t bytes;
    if (nBitCount == 1) bytes = (int64_t(nWidth) + 7) / 8;
    else if (nBitCount == 4) bytes = (int64_t(nWidth) + 1) / 2;
    else bytes = int64_t(nBitCount / 8) * nWidth;
    return static_cast<int>((bytes + 3) & ~int64_t(3));
}

int GetBitmapRowBytes(const tagXBitmapInfoHeader& header)
{
    return GetBitmapRowBytes(header.nBitCount, header.nWidth);
}

int GetPaletteEntryCount(const tagXBitmapInfoHeader& header)
{
    const int used = static_cast<int>(header.nClrUsed & 0xFFFFu);
    if (used != 0) return used;
    switch (header.nBitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

double HalvePower(double x, int n)
{
    // After 2100 halvings every finite double is zero and infinities and NaN
    // stay what they are, so stopping there gives the same result as n steps.
    const int steps = std::min(n, 2100);
    for (int k = 0; k < steps; ++k) x *= 0.5;
    return x;
}

} // namespace Xfn
} // namespace Pelmora::Tivra
