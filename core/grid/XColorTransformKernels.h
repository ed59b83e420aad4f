// Interleaved colour transforms (internal): the loops behind the public
// Xfn::EncodeColorPixels8 ... DecodeColorPixels16, with the vector unit
// selectable so that each vector kernel can be checked against the scalar
// loop.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra::ColorTransform {

/// The four interleaved 8-bit transforms.
enum class Form8 { Encode, Decode, EncodeYLast, DecodeYLast };

/// The widest vector level: 0 is the scalar loop, 1 the AVX2 kernels (taken
/// only when the processor has AVX2, else level 1 is the scalar loop too).
constexpr int kWidestLevel = 1;

/// One interleaved 8-bit form over nCount pixels nStride bytes apart, using
/// vector kernels up to nLevel. A null buffer or a count below 1 does nothing.
void Pixels8(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride, int nLevel);
/// The 16-bit encode (bDecode false) or decode, strides in elements.
void Pixels16(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride, int nLevel);

/// True when the processor has AVX2 (always false off x86).
bool HaveAvx2();

/// AVX2 kernels: they transform the leading pixels that fill whole vectors,
/// for strides 3 and 4, and return how many (0 for any other stride); the
/// caller transforms the rest with the scalar loop. Call only when HaveAvx2().
/// Bytes of a pixel beyond its third component may be read and written back
/// unchanged, except those of the last pixel, which are never accessed.
int64_t Pixels8Avx2(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride);
int64_t Pixels16Avx2(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride);

} // namespace Pelmora::Tivra::ColorTransform
