// Per-type sample codecs of the raster grid (internal).
//
// Each sample type has one small struct with the same shape:
//   kCode, kSize, kChannels
//   Element:   the type of one stored number (a byte or a packed word for the
//              colour types)
//   Get(p, v): decodes the sample at p into v[0..kChannels-1]; the caller has
//              set v[0..3] to NAN_REAL64, so channels the type lacks keep it.
//   Put(p, v): stores v[0..3], already completed and clamped (PrepareForStore).
// SampleCodecs lists them in code order; the checks after it tie each one to
// its row of DATATYPE_TABLE. DispatchSampleType calls a generic lambda once
// with the codec of a type code, so loops over samples are compiled once per
// type and the choice of the type runs once per call, not once per sample.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra::GridSamples {

/// 2^63, the top bit of a 64-bit word as a double.
inline constexpr double kTwo63 = 9223372036854775808.0;

/// Truncates toward zero into a 64-bit integer. Out-of-range values saturate
/// and NaN gives 0, so no input reaches an undefined conversion.
inline int64_t TruncToInt64(double v)
{
    if (!(v == v)) return 0;
    if (v >= kTwo63) return std::numeric_limits<int64_t>::max();
    if (v < -kTwo63) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

/// Truncates toward zero into an unsigned 64-bit word: values from 2^63 up
/// keep their top bit, negative ones wrap as their signed form does.
inline uint64_t TruncToUInt64(double v)
{
    if (v >= kTwo63) {
        if (v >= 2.0 * kTwo63) return std::numeric_limits<uint64_t>::max();
        return static_cast<uint64_t>(v);
    }
    return static_cast<uint64_t>(TruncToInt64(v));
}

/// An unsigned 64-bit word as a double: the low 63 bits converted, plus 2^63
/// when the top bit is set.
inline double UInt64ToDouble(uint64_t v)
{
    return static_cast<double>(static_cast<int64_t>(v & 0x7FFFFFFFFFFFFFFFull)) +
           ((v >> 63) ? kTwo63 : 0.0);
}

/// v rounded to the nearest integer, halves away from zero (2.5 gives 3,
/// -0.5 gives -1). Integral values, the NAN_REAL64 marker among them,
/// infinities and non-numbers pass unchanged, so rounding before a store
/// into an integer type changes nothing but the truncation that follows.
/// Vector copy: RoundHalfAway in mt/XResampleRowsSimd.h.
inline double RoundForStore(double v) { return std::round(v); }

/// True when a type stores its channels as integers (every type but the
/// real and real complex ones); rounding matters only for these.
constexpr bool StoresIntegers(int type)
{
    return type >= XDT_FIRST && type <= XDT_LAST && type != XDT_REAL32 && type != XDT_REAL64 && type != XDT_REAL32C &&
           type != XDT_REAL64C;
}

/// v rounded to single precision and widened back, for comparing values in
/// the precision of float samples. Magnitudes beyond the float range stay as
/// they are (no float sample lies there), so nothing is converted out of
/// range.
inline double RoundToFloat(double v)
{
    return std::fabs(v) <= double(std::numeric_limits<float>::max()) ? double(static_cast<float>(v)) : v;
}

/// A colour channel: its truncated integer reduced to the low 8 bits.
inline uint32_t ToByte(double v) { return static_cast<uint32_t>(TruncToInt64(v)) & 0xFFu; }

template <class C>
inline C Load(const uint8_t* p)
{
    C v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class C>
inline void Store(uint8_t* p, C v) { std::memcpy(p, &v, sizeof v); }

/// One numeric component: decode to double and encode from a clamped double.
/// Integers of up to 16 bits and signed 32 bits go through a 32-bit integer,
/// unsigned 32 bits through a 64-bit one (so 4294967295 survives), 64-bit
/// types through a 64-bit integer; floats round to nearest.
template <class C> struct Component;
template <> struct Component<uint8_t> {
    static double Get(const uint8_t* p) { return *p; }
    static void Put(uint8_t* p, double v) { *p = static_cast<uint8_t>(static_cast<int32_t>(TruncToInt64(v))); }
};
template <> struct Component<int8_t> {
    static double Get(const uint8_t* p) { return static_cast<int8_t>(*p); }
    static void Put(uint8_t* p, double v) { *p = static_cast<uint8_t>(static_cast<int32_t>(TruncToInt64(v))); }
};
template <> struct Component<uint16_t> {
    static double Get(const uint8_t* p) { return Load<uint16_t>(p); }
    static void Put(uint8_t* p, double v) { Store(p, static_cast<uint16_t>(static_cast<int32_t>(TruncToInt64(v)))); }
};
template <> struct Component<int16_t> {
    static double Get(const uint8_t* p) { return Load<int16_t>(p); }
    static void Put(uint8_t* p, double v) { Store(p, static_cast<int16_t>(static_cast<int32_t>(TruncToInt64(v)))); }
};
template <> struct Component<uint32_t> {
    static double Get(const uint8_t* p) { return Load<uint32_t>(p); }
    static void Put(uint8_t* p, double v) { Store(p, static_cast<uint32_t>(TruncToInt64(v))); }
};
template <> struct Component<int32_t> {
    static double Get(const uint8_t* p) { return Load<int32_t>(p); }
    static void Put(uint8_t* p, double v) { Store(p, static_cast<int32_t>(TruncToInt64(v))); }
};
template <> struct Component<uint64_t> {
    static double Get(const uint8_t* p) { return UInt64ToDouble(Load<uint64_t>(p)); }
    static void Put(uint8_t* p, double v) { Store(p, TruncToUInt64(v)); }
};
template <> struct Component<int64_t> {
    static double Get(const uint8_t* p) { return static_cast<double>(Load<int64_t>(p)); }
    static void Put(uint8_t* p, double v) { Store(p, TruncToInt64(v)); }
};
template <> struct Component<float> {
    static double Get(const uint8_t* p) { return Load<float>(p); }
    static void Put(uint8_t* p, double v) { Store(p, static_cast<float>(v)); }
};
template <> struct Component<double> {
    static double Get(const uint8_t* p) { return Load<double>(p); }
    static void Put(uint8_t* p, double v) { Store(p, v); }
};

/// Scalar types 1..10.
template <int Code, class C> struct ScalarSample {
    static constexpr int kCode = Code, kSize = sizeof(C), kChannels = 1;
    using Element = C;
    static void Get(const uint8_t* p, double* v) { v[0] = Component<C>::Get(p); }
    static void Put(uint8_t* p, const double* v) { Component<C>::Put(p, v[0]); }
};

/// Complex types 11..20: real part (a) before imaginary part (b).
template <int Code, class C> struct ComplexSample {
    static constexpr int kCode = Code, kSize = 2 * sizeof(C), kChannels = 2;
    using Element = C;
    static void Get(const uint8_t* p, double* v)
    {
        v[0] = Component<C>::Get(p);
        v[1] = Component<C>::Get(p + sizeof(C));
    }
    static void Put(uint8_t* p, const double* v)
    {
        Component<C>::Put(p, v[0]);
        Component<C>::Put(p + sizeof(C), v[1]);
    }
};

/// Grey and byte-per-channel colour types (21..27): channels in memory order.
template <int Code, int N> struct ByteSample {
    static constexpr int kCode = Code, kSize = N, kChannels = N;
    using Element = uint8_t;
    static void Get(const uint8_t* p, double* v)
    {
        for (int i = 0; i < N; ++i) v[i] = p[i];
    }
    static void Put(uint8_t* p, const double* v)
    {
        for (int i = 0; i < N; ++i) p[i] = static_cast<uint8_t>(ToByte(v[i]));
    }
};

/// 5-6-5 packed words (28, 29): fields from the most significant down,
/// scaled to 8 bits by a left shift.
template <int Code> struct Packed565Sample {
    static constexpr int kCode = Code, kSize = 2, kChannels = 3;
    using Element = uint16_t;  // the packed word
    static void Get(const uint8_t* p, double* v)
    {
        const uint32_t w = Load<uint16_t>(p);
        v[0] = (w >> 8) & 0xF8;
        v[1] = (w >> 3) & 0xFC;
        v[2] = (w & 0x1F) << 3;
    }
    static void Put(uint8_t* p, const double* v)
    {
        const uint32_t a = ToByte(v[0]), b = ToByte(v[1]), c = ToByte(v[2]);
        Store(p, static_cast<uint16_t>(((a & 0xF8) << 8) | ((b & 0xFC) << 3) | (c >> 3)));
    }
};

/// 5-5-5-1 packed words (30, 31): three colour fields and a one-bit alpha last.
template <int Code> struct Packed5551Sample {
    static constexpr int kCode = Code, kSize = 2, kChannels = 4;
    using Element = uint16_t;  // the packed word
    static void Get(const uint8_t* p, double* v)
    {
        const uint32_t w = Load<uint16_t>(p);
        v[0] = (w >> 8) & 0xF8;
        v[1] = (w >> 3) & 0xF8;
        v[2] = (w & 0x3E) << 2;
        v[3] = w & 1;
    }
    static void Put(uint8_t* p, const double* v)
    {
        const uint32_t a = ToByte(v[0]), b = ToByte(v[1]), c = ToByte(v[2]), d = ToByte(v[3]);
        Store(p, static_cast<uint16_t>(((a & 0xF8) << 8) | ((b & 0xF8) << 3) | ((c >> 3) << 1) |
                                       (d != 0 ? 1u : 0u)));
    }
};

/// 1-5-5-5 packed words (32, 33): a one-bit alpha first, then three fields.
template <int Code> struct Packed1555Sample {
    static constexpr int kCode = Code, kSize = 2, kChannels = 4;
    using Element = uint16_t;  // the packed word
    static void Get(const uint8_t* p, double* v)
    {
        const uint32_t w = Load<uint16_t>(p);
        v[0] = w >> 15;
        v[1] = (w >> 7) & 0xF8;
        v[2] = (w >> 2) & 0xF8;
        v[3] = (w & 0x1F) << 3;
    }
    static void Put(uint8_t* p, const double* v)
    {
        const uint32_t a = ToByte(v[0]), b = ToByte(v[1]), c = ToByte(v[2]), d = ToByte(v[3]);
        Store(p, static_cast<uint16_t>(((a != 0 ? 1u : 0u) << 15) | ((b & 0xF8) << 7) |
                                       ((c & 0xF8) << 2) | (d >> 3)));
    }
};

/// Completes missing channels (NAN_REAL64 takes the previous channel, so a
/// lone value fills all four) and clamps every channel to the type's range.
inline void PrepareForStore(int type, double* v)
{
    if (v[1] == NAN_REAL64) v[1] = v[0];
    if (v[2] == NAN_REAL64) v[2] = v[1];
    if (v[3] == NAN_REAL64) v[3] = v[2];
    const double lo = DATATYPE_TABLE[type].rangeMin, hi = DATATYPE_TABLE[type].rangeMax;
    for (int i = 0; i < 4; ++i) {
        if (v[i] < lo) v[i] = lo;
        else if (v[i] > hi) v[i] = hi;
    }
}

/// A list of codecs.
template <class... S> struct SampleCodecList {};

/// The codec of every type code from XDT_FIRST, in code order.
using SampleCodecs = SampleCodecList<
    ScalarSample<XDT_UINT08, uint8_t>, ScalarSample<XDT_SINT08, int8_t>,
    ScalarSample<XDT_UINT16, uint16_t>, ScalarSample<XDT_SINT16, int16_t>,
    ScalarSample<XDT_UINT32, uint32_t>, ScalarSample<XDT_SINT32, int32_t>,
    ScalarSample<XDT_UINT64, uint64_t>, ScalarSample<XDT_SINT64, int64_t>,
    ScalarSample<XDT_REAL32, float>, ScalarSample<XDT_REAL64, double>,
    ComplexSample<XDT_UINT08C, uint8_t>, ComplexSample<XDT_SINT08C, int8_t>,
    ComplexSample<XDT_UINT16C, uint16_t>, ComplexSample<XDT_SINT16C, int16_t>,
    ComplexSample<XDT_UINT32C, uint32_t>, ComplexSample<XDT_SINT32C, int32_t>,
    ComplexSample<XDT_UINT64C, uint64_t>, ComplexSample<XDT_SINT64C, int64_t>,
    ComplexSample<XDT_REAL32C, float>, ComplexSample<XDT_REAL64C, double>,
    ByteSample<XDT_GRAY, 1>, ByteSample<XDT_RGB, 3>, ByteSample<XDT_BGR, 3>,
    ByteSample<XDT_RGBA, 4>, ByteSample<XDT_BGRA, 4>, ByteSample<XDT_ARGB, 4>, ByteSample<XDT_ABGR, 4>,
    Packed565Sample<XDT_RGB565>, Packed565Sample<XDT_BGR565>,
    Packed5551Sample<XDT_RGBA5551>, Packed5551Sample<XDT_BGRA5551>,
    Packed1555Sample<XDT_ARGB1555>, Packed1555Sample<XDT_ABGR1555>>;

/// A codec agrees with the row of the code it stands at.
template <class S, int Code>
constexpr bool AgreesWithRow()
{
    static_assert(S::kCode == Code, "SampleCodecs lists one codec per code, in code order");
    static_assert(S::kSize == DATATYPE_TABLE[Code].size, "a codec's size differs from its DATATYPE_TABLE row");
    static_assert(S::kChannels == DATATYPE_TABLE[Code].channels,
                  "a codec's channel count differs from its DATATYPE_TABLE row");
    return true;
}

template <class... S, int... I>
constexpr bool AgreeWithRows(SampleCodecList<S...>, std::integer_sequence<int, I...>)
{
    return (AgreesWithRow<S, XDT_FIRST + I>() && ...);
}

/// Every codec agrees with its row, and every row has a codec.
template <class... S>
constexpr bool AgreeWithTable(SampleCodecList<S...> codecs)
{
    static_assert(sizeof...(S) == XDT_LAST, "SampleCodecs needs one codec per code of DATATYPE_TABLE");
    return AgreeWithRows(codecs, std::make_integer_sequence<int, sizeof...(S)>{});
}

static_assert(AgreeWithTable(SampleCodecs{}));

template <class F, class... S>
inline bool DispatchIn(SampleCodecList<S...>, int type, F& f)
{
    // One comparison per codec; the compiler turns the chain into a jump table.
    return ((type == S::kCode && (f.template operator()<S>(), true)) || ...);
}

/// Calls f.template operator()<Codec>() with the codec of a type code; false
/// (f not called) for a code outside XDT_FIRST..XDT_LAST.
template <class F>
inline bool DispatchSampleType(int type, F&& f)
{
    return DispatchIn(SampleCodecs{}, type, f);
}

/// DispatchSampleType restricted at compile time: f is called, and
/// instantiated, only for the codecs S with Filter::template kKeep<S>; false
/// for every other type.
template <class Filter, class F>
inline bool DispatchSampleTypeIf(int type, F&& f)
{
    bool kept = false;
    DispatchSampleType(type, [&]<class S>() {
        if constexpr (Filter::template kKeep<S>) {
            f.template operator()<S>();
            kept = true;
        }
    });
    return kept;
}

} // namespace Pelmora::Tivra::GridSamples
