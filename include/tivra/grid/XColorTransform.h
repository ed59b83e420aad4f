// Pixel-level functions for image coding and device-independent bitmaps:
// a reversible colour transform, bit access in packed 1-bit rows, bitmap row
// and palette sizes, and repeated halving. Everything works in place on the
// caller's buffers and allocates nothing.
//
// Colour transform. Of the three components of a pixel, c is the centre one
// (weight 2 in the sum) and p, q the outer ones (weight 1). The transform
// gives one weighted-sum channel and two difference channels:
//   8-bit:  Y  = R8(2p + 4c + 2q)               (p + 2c + q) / 4, rounded
//           D1 = R8(3p - 2c - q + 1024)         about (p - Y) / 2 + 128
//           D2 = R8(3q - 2c - p + 1024)         about (q - Y) / 2 + 128
//           with R8(x) = (x >> 3) + ((x >> 2) & 1), x / 8 rounded half up;
//           inverse p = Y + 2 (D1 - 128), q = Y + 2 (D2 - 128),
//           c = Y - (D1 - 128) - (D2 - 128), each clamped to 0..255, so a
//           round trip may be off by one.
//   16-bit: S = 2p + 4c + 2q, E1 = 3p - 2c - q, E2 = 3q - 2c - p (not
//           divided); inverse p = (S + 2 E1) >> 3, q = (S + 2 E2) >> 3,
//           c = (S - E1 - E2) >> 3 with arithmetic shifts: exact whenever S,
//           E1 and E2 fit in 16 signed bits (results are stored truncated).
//
// Parameter order of every function: the buffers first (planar forms: one
// plane per role, in the order of the roles named below), then the number of
// pixels, then the stride. Interleaved pixels hold p, c, q as components 0,
// 1, 2 and may carry more components (which keep their values; at stride 4
// the vector code reads them and writes them back unchanged, except in the
// last pixel, so no other thread may write them meanwhile); the stride is
// the distance between pixels in bytes for the 8-bit forms and in 16-bit
// elements for the 16-bit forms. A null buffer or a count below 1 does
// nothing.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra {

/// The 40-byte information header of a device-independent bitmap, the
/// fields in file order (little-endian on disk).
struct tagXBitmapInfoHeader {
    uint32_t nSize;           ///< bytes of this header (40)
    int32_t nWidth;           ///< pixels per row
    int32_t nHeight;          ///< rows; negative for top-down bitmaps
    uint16_t nPlanes;         ///< always 1
    uint16_t nBitCount;       ///< bits per pixel: 1, 4, 8, 16, 24 or 32
    uint32_t nCompression;
    uint32_t nSizeImage;
    int32_t nXPelsPerMeter;
    int32_t nYPelsPerMeter;
    uint32_t nClrUsed;        ///< palette entries used; 0 means "all the depth allows"
    uint32_t nClrImportant;
};

namespace Xfn {

// ---- 8-bit colour transform ---------------------------------------------------

/// Planes in roles (c, p, q); afterwards the q plane holds Y, the p plane D1
/// and the c plane D2.
void EncodeColorPlanar8(uint8_t* pC, uint8_t* pP, uint8_t* pQ, int64_t nCount);
/// Planes holding (Y, D1, D2); afterwards the Y plane holds p, the D1 plane c
/// and the D2 plane q.
void DecodeColorPlanar8(uint8_t* pY, uint8_t* pD1, uint8_t* pD2, int64_t nCount);
/// Components 0, 1, 2 = (p, c, q) become (Y, D1, D2).
void EncodeColorPixels8(uint8_t* pPixels, int64_t nCount, int nStride);
/// Components 0, 1, 2 = (Y, D1, D2) become (p, c, q).
void DecodeColorPixels8(uint8_t* pPixels, int64_t nCount, int nStride);
/// Components 0, 1, 2 = (p, c, q) become (D1, D2, Y).
void EncodeColorPixels8YLast(uint8_t* pPixels, int64_t nCount, int nStride);
/// Components 0, 1, 2 = (D1, D2, Y) become (p, c, q).
void DecodeColorPixels8YLast(uint8_t* pPixels, int64_t nCount, int nStride);

// ---- 16-bit colour transform --------------------------------------------------

/// Planes in roles (c, p, q); afterwards the q plane holds S, the p plane E1
/// and the c plane E2.
void EncodeColorPlanar16(int16_t* pC, int16_t* pP, int16_t* pQ, int64_t nCount);
/// Planes holding (S, E1, E2); afterwards the S plane holds p, the E1 plane c
/// and the E2 plane q.
void DecodeColorPlanar16(int16_t* pS, int16_t* pE1, int16_t* pE2, int64_t nCount);
/// Components 0, 1, 2 = (p, c, q) become (S, E1, E2); stride in elements.
void EncodeColorPixels16(int16_t* pPixels, int64_t nCount, int nStride);
/// Components 0, 1, 2 = (S, E1, E2) become (p, c, q); stride in elements.
void DecodeColorPixels16(int16_t* pPixels, int64_t nCount, int nStride);

// ---- bitmaps ------------------------------------------------------------------------

/// Sets (value non-zero) or clears bit i of a packed 1-bit row, the most
/// significant bit of each byte first: byte i >> 3, mask 0x80 >> (i & 7).
void SetBit(uint8_t* pRow, int64_t i, int nValue);
/// 1 when bit i of the row is set, else 0.
int GetBit(const uint8_t* pRow, int64_t i);

/// Bytes of one bitmap row, padded to a multiple of 4: ceil(width / 8) at 1
/// bit per pixel, ceil(width / 2) at 4 bits, (bits / 8) * width otherwise.
/// 0 for a negative width.
int GetBitmapRowBytes(int nBitCount, int nWidth);
/// The same for a bitmap header's bit count and width.
int GetBitmapRowBytes(const tagXBitmapInfoHeader& header);
/// Palette entries of a bitmap: the low 16 bits of the colours-used count
/// when they are non-zero, else 2, 16 or 256 for 1, 4 or 8 bits per pixel and
/// 0 for any other depth.
int GetPaletteEntryCount(const tagXBitmapInfoHeader& header);

/// x multiplied by 0.5, n times; x itself when n < 1.
double HalvePower(double x, int n);

} // namespace Xfn
} // namespace Pelmora::Tivra
