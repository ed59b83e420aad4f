// Sample types of the raster grid: codes, the table of their facts (size,
// channels, name, clamping range, family) and the no-value markers.
//
// Adding a type touches three places: its code in _XDATATYPE (before
// XDT_COUNT), its row in DATATYPE_TABLE, and its codec in the list of
// grid/XGridSamples.h. The static_asserts here and there refuse to compile
// until the three agree.
#pragma once

#include <array>
#include <cstdint>
#include <iterator>

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
    /// The number of codes, 0 included: one more than the last. Not a type;
    /// new codes go before it, so that it grows with them.
    XDT_COUNT
};

/// Lowest and highest valid sample-type codes.
inline constexpr int32_t XDT_FIRST = 1;
inline constexpr int32_t XDT_LAST = XDT_COUNT - 1;

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

/// How the channels of a sample type combine into one value (the magnitude,
/// the statistics).
enum _XSAMPLEFAMILY : int32_t {
    XSF_NONE = 0,     ///< the empty type
    XSF_SCALAR,       ///< one number (types 1..10)
    XSF_COMPLEX,      ///< a real and an imaginary part (11..20)
    XSF_GRAY,         ///< one grey byte
    XSF_COLOR,        ///< three colour channels, then alpha if the type has one
    XSF_ALPHA_COLOR,  ///< alpha first, then three colour channels
};

/// The facts of one sample type.
struct tagXDataType {
    int32_t code;      ///< the _XDATATYPE code, also the row's index
    int32_t size;      ///< bytes per sample
    int32_t channels;  ///< channels a.. that a sample has (1..4; 0 for none)
    const char* name;  ///< the descriptive name; "" where the type has none
    double rangeMin;   ///< the clamping range that SetValue applies; types
    double rangeMax;   ///< without one of their own take the widest
    int32_t family;    ///< an _XSAMPLEFAMILY value
};

/// One row per code, in code order. The 64-bit integer types have no name,
/// and they, the doubles, the colour types and the empty type take the
/// widest range, which in practice means no clamping. The single-precision
/// bounds are the float 3.4e+38 widened to double.
inline constexpr tagXDataType DATATYPE_TABLE[] = {
    {XDT_NONE, 0, 0, "", MIN_REAL64, MAX_REAL64, XSF_NONE},
    {XDT_UINT08, 1, 1, "Unsigned 8-bit integer", MIN_UINT08, MAX_UINT08, XSF_SCALAR},
    {XDT_SINT08, 1, 1, "Signed 8-bit integer", MIN_SINT08, MAX_SINT08, XSF_SCALAR},
    {XDT_UINT16, 2, 1, "Unsigned 16-bit integer", MIN_UINT16, MAX_UINT16, XSF_SCALAR},
    {XDT_SINT16, 2, 1, "Signed 16-bit integer", MIN_SINT16, MAX_SINT16, XSF_SCALAR},
    {XDT_UINT32, 4, 1, "Unsigned 32-bit integer", MIN_UINT32, MAX_UINT32, XSF_SCALAR},
    {XDT_SINT32, 4, 1, "Signed 32-bit integer", MIN_SINT32, MAX_SINT32, XSF_SCALAR},
    {XDT_UINT64, 8, 1, "", MIN_REAL64, MAX_REAL64, XSF_SCALAR},
    {XDT_SINT64, 8, 1, "", MIN_REAL64, MAX_REAL64, XSF_SCALAR},
    {XDT_REAL32, 4, 1, "32-bit real number", MIN_REAL32, MAX_REAL32, XSF_SCALAR},
    {XDT_REAL64, 8, 1, "64-bit real number", MIN_REAL64, MAX_REAL64, XSF_SCALAR},
    {XDT_UINT08C, 2, 2, "Unsigned 8-bit complex", MIN_UINT08, MAX_UINT08, XSF_COMPLEX},
    {XDT_SINT08C, 2, 2, "Signed 8-bit complex", MIN_SINT08, MAX_SINT08, XSF_COMPLEX},
    {XDT_UINT16C, 4, 2, "Unsigned 16-bit complex", MIN_UINT16, MAX_UINT16, XSF_COMPLEX},
    {XDT_SINT16C, 4, 2, "Signed 16-bit complex", MIN_SINT16, MAX_SINT16, XSF_COMPLEX},
    {XDT_UINT32C, 8, 2, "Unsigned 32-bit complex", MIN_UINT32, MAX_UINT32, XSF_COMPLEX},
    {XDT_SINT32C, 8, 2, "Signed 32-bit complex", MIN_SINT32, MAX_SINT32, XSF_COMPLEX},
    {XDT_UINT64C, 16, 2, "", MIN_REAL64, MAX_REAL64, XSF_COMPLEX},
    {XDT_SINT64C, 16, 2, "", MIN_REAL64, MAX_REAL64, XSF_COMPLEX},
    {XDT_REAL32C, 8, 2, "32-bit real complex", MIN_REAL32, MAX_REAL32, XSF_COMPLEX},
    {XDT_REAL64C, 16, 2, "64-bit real complex", MIN_REAL64, MAX_REAL64, XSF_COMPLEX},
    {XDT_GRAY, 1, 1, "Datatype for gray image", MIN_REAL64, MAX_REAL64, XSF_GRAY},
    {XDT_RGB, 3, 3, "Datatype for RGB image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_BGR, 3, 3, "Datatype for BGR image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_RGBA, 4, 4, "Datatype for RGBA image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_BGRA, 4, 4, "Datatype for BGRA image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_ARGB, 4, 4, "Datatype for ARGB image", MIN_REAL64, MAX_REAL64, XSF_ALPHA_COLOR},
    {XDT_ABGR, 4, 4, "Datatype for ABGR image", MIN_REAL64, MAX_REAL64, XSF_ALPHA_COLOR},
    {XDT_RGB565, 2, 3, "Datatype for RGB565 image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_BGR565, 2, 3, "Datatype for BGR565 image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_RGBA5551, 2, 4, "Datatype for RGBA5551 image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_BGRA5551, 2, 4, "Datatype for BGRA5551 image", MIN_REAL64, MAX_REAL64, XSF_COLOR},
    {XDT_ARGB1555, 2, 4, "Datatype for ARGB1555 image", MIN_REAL64, MAX_REAL64, XSF_ALPHA_COLOR},
    {XDT_ABGR1555, 2, 4, "Datatype for ABGR1555 image", MIN_REAL64, MAX_REAL64, XSF_ALPHA_COLOR},
};

static_assert(std::size(DATATYPE_TABLE) == XDT_COUNT, "DATATYPE_TABLE needs one row per _XDATATYPE code");
static_assert(
    [] {
        for (int32_t i = 0; i < XDT_COUNT; ++i)
            if (DATATYPE_TABLE[i].code != i) return false;
        return true;
    }(),
    "DATATYPE_TABLE lists the codes in order");

/// Bytes per sample, indexed by type code (entry 0 is the empty type).
inline constexpr std::array<int32_t, XDT_COUNT> DATASIZE = [] {
    std::array<int32_t, XDT_COUNT> sizes{};
    for (int32_t i = 0; i < XDT_COUNT; ++i) sizes[i] = DATATYPE_TABLE[i].size;
    return sizes;
}();

namespace Xfn {

/// The row of a type code; the empty type's row for a code outside
/// 0..XDT_LAST.
constexpr const tagXDataType& GetDataTypeRow(int type)
{
    return DATATYPE_TABLE[type >= 0 && type <= XDT_LAST ? type : XDT_NONE];
}

/// The _XSAMPLEFAMILY of a type code; XSF_NONE for an unknown code.
constexpr int GetDataTypeFamily(int type) { return GetDataTypeRow(type).family; }

/// Bytes per sample of a type code; 0 for a code outside 0..XDT_LAST.
int GetDataSize(int type);

/// Channels per sample (1..4) of a type code; 0 for a code outside
/// XDT_FIRST..XDT_LAST.
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
