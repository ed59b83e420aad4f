// Sample types of the raster grid: codes, sizes, channel counts, value ranges
// and the no-value markers.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra {

/// Sample-type codes. Code 0 is "no type" (an empty grid); the public layer's
/// eDataType uses the same numbers.
enum _XDATATYPE : int32_t {
    XDT_NONE = 0,
    XDT_UINT08 = 1, XDT_SINT08 = 2, XDT_UINT16 = 3, XDT_SINT16 = 4,
    XDT_UINT32 = 5, XDT_SINT32 = 6, XDT_UINT64 = 7, XDT_SINT64 = 8,
    XDT_REAL32 = 9, XDT_REAL64 = 10,
    XDT_UINT08C = 11, XDT_SINT08C = 12, XDT_UINT16C = 13, XDT_SINT16C = 14,
    XDT_UINT32C = 15, XDT_SINT32C = 16, XDT_UINT64C = 17, XDT_SINT64C = 18,
    XDT_REAL32C = 19, XDT_REAL64C = 20,
    XDT_GRAY = 21, XDT_RGB = 22, XDT_BGR = 23,
    XDT_RGBA = 24, XDT_BGRA = 25, XDT_ARGB = 26, XDT_ABGR = 27,
    XDT_RGB565 = 28, XDT_BGR565 = 29,
    XDT_RGBA5551 = 30, XDT_BGRA5551 = 31, XDT_ARGB1555 = 32, XDT_ABGR1555 = 33,
};

/// Lowest and highest valid sample-type codes.
inline constexpr int32_t XDT_FIRST = 1;
inline constexpr int32_t XDT_LAST = 33;

/// Bytes per sample, indexed by type code (entry 0 is the empty type).
inline constexpr int32_t DATASIZE[34] = {
    0,
    1, 1, 2, 2, 4, 4, 8, 8, 4, 8,         // scalars
    2, 2, 4, 4, 8, 8, 16, 16, 8, 16,      // complex pairs
    1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2 // grey and packed colour
};

// Value limits of the component types.
inline constexpr uint8_t MIN_UINT08 = 0;
inline constexpr uint8_t MAX_UINT08 = 255;
inline constexpr int8_t MIN_SINT08 = -128;
inline constexpr int8_t MAX_SINT08 = 127;
inline constexpr uint16_t MIN_UINT16 = 0;
inline constexpr uint16_t MAX_UINT16 = 65535;
inline constexpr int16_t MIN_SINT16 = -32768;
inline constexpr int16_t MAX_SINT16 = 32767;
inline constexpr uint32_t MIN_UINT32 = 0;
inline constexpr uint32_t MAX_UINT32 = 4294967295u;
inline constexpr int32_t MIN_SINT32 = -2147483647 - 1;
inline constexpr int32_t MAX_SINT32 = 2147483647;
inline constexpr float MIN_REAL32 = -3.4e+38f;
inline constexpr float MAX_REAL32 = 3.4e+38f;
inline constexpr double MIN_REAL64 = -1.7e+308;
inline constexpr double MAX_REAL64 = 1.7e+308;
/// Smallest magnitudes treated as non-zero.
inline constexpr float SML_REAL32 = 1e-37f;
inline constexpr double SML_REAL64 = 1e-307;

/// No-value markers. They are ordinary finite numbers (the largest values of
/// their types), not IEEE NaNs, and are always compared by exact equality.
/// NAN_REAL64 marks a channel without a value.
inline constexpr double NAN_REAL64 = 1.7e+308;
inline constexpr float NAN_REAL32 = 3.4e+38f;

namespace Xfn {

/// Bytes per sample of a type code; 0 for a code outside 0..33.
int GetDataSize(int type);

/// Channels per sample (1..4) of a type code; 0 for a code outside 1..33.
int GetChannelCount(int type);

/// The clamping range that SetValue applies for a type code. Codes without a
/// range of their own (64-bit integers, doubles, colour types, unknown codes)
/// get -1.7e+308 .. 1.7e+308.
void GetDataRange(int type, double& dMin, double& dMax);

/// The descriptive name of a type code ("Unsigned 8-bit integer", ...); ""
/// for the 64-bit integer types, the empty type and unknown codes.
const char* GetDataTypeString(int type);

} // namespace Xfn
} // namespace Pelmora::Tivra
