// Interleaved colour transforms (internal): the loops behind the public
// Xfn::EncodeColorPixels8 ... DecodeColorPixels16, by form, and their vector
// kernels.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra::ColorTransform {

/// The four interleaved 8-bit transforms.
enum class Form8 { Encode, Decode, EncodeYLast, DecodeYLast };

/// One interleaved 8-bit form over nCount pixels nStride bytes apart, with
/// the vector kernels XPlatform::GetCpuLevel() allows. A null buffer or a
/// count below 1 does nothing.
void Pixels8(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride);
/// The 16-bit encode (bDecode false) or decode, strides in elements.
void Pixels16(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride);

/// AVX2 kernels (XColorTransformAvx2.cpp, x86 only): they transform the
/// leading pixels that fill whole vectors, for strides 3 and 4, and return
/// how many (0 for any other stride); the caller transforms the rest with the
/// scalar loop. Call only at CpuLevel::Avx2 or above. Bytes of a pixel beyond
/// its third component may be read and written back unchanged, except those
/// of the last pixel, which are never accessed.
int64_t Pixels8Avx2(Form8 form, uint8_t* pPixels, int64_t nCount, int nStride);
int64_t Pixels16Avx2(bool bDecode, int16_t* pPixels, int64_t nCount, int nStride);

} // namespace Pelmora::Tivra::ColorTransform
