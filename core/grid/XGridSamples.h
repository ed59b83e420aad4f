// Per-type sample codecs of the raster grid (internal).
//
// Each sample type has one small struct with the same shape:
//   kCode, kSize, kChannels
//   Get(p, v): decodes the sample at p into v[0..kChannels-1]; the caller has
//              set v[0..3] to NAN_REAL64, so channels the type lacks keep it.
//   Put(p, v): stores v[0..3], already completed and clamped (PrepareForStore).
// DispatchSampleType calls a generic lambda once with the codec of a type
// code, so loops over samples are compiled once per type and the switch on
// the type code runs once per call, not once per sample.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra::GridSamples {

/// 2^63, the top bit of a 64-bit word as a double.
inline constexpr double kTwo63 = 9223372036854775808.0;

// Clamping ranges of SetValue, indexed by type code. Types without a range of
// their own take the widest one, which in practice means no clamping.
inline constexpr double kRangeMin[34] = {
    MIN_REAL64,
    MIN_UINT08, MIN_SINT08, MIN_UINT16, MIN_SINT16, MIN_UINT32, MIN_SINT32,
    MIN_REAL64, MIN_REAL64, MIN_REAL32, MIN_REAL64,
    MIN_UINT08, MIN_SINT08, MIN_UINT16, MIN_SINT16, MIN_UINT32, MIN_SINT32,
    MIN_REAL64, MIN_REAL64, MIN_REAL32, MIN_REAL64,
    MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64,
    MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64, MIN_REAL64};
inline constexpr double kRangeMax[34] = {
    MAX_REAL64,
    MAX_UINT08, MAX_SINT08, MAX_UINT16, MAX_SINT16, MAX_UINT32, MAX_SINT32,
    MAX_REAL64, MAX_REAL64, MAX_REAL32, MAX_REAL64,
    MAX_UINT08, MAX_SINT08, MAX_UINT16, MAX_SINT16, MAX_UINT32, MAX_SINT32,
    MAX_REAL64, MAX_REAL64, MAX_REAL32, MAX_REAL64,
    MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64,
    MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64, MAX_REAL64};

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
    static void Get(const uint8_t* p, double* v) { v[0] = Component<C>::Get(p); }
    static void Put(uint8_t* p, const double* v) { Component<C>::Put(p, v[0]); }
};

/// Complex types 11..20: real part (a) before imaginary part (b).
template <int Code, class C> struct ComplexSample {
    static constexpr int kCode = Code, kSize = 2 * sizeof(C), kChannels = 2;
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
    const double lo = kRangeMin[type], hi = kRangeMax[type];
    for (int i = 0; i < 4; ++i) {
        if (v[i] < lo) v[i] = lo;
        else if (v[i] > hi) v[i] = hi;
    }
}

/// Calls f.template operator()<Codec>() with the codec of a type code; false
/// (f not called) for a code outside 1..33.
template <class F>
inline bool DispatchSampleType(int type, F&& f)
{
    switch (type) {
    case XDT_UINT08: f.template operator()<ScalarSample<1, uint8_t>>(); return true;
    case XDT_SINT08: f.template operator()<ScalarSample<2, int8_t>>(); return true;
    case XDT_UINT16: f.template operator()<ScalarSample<3, uint16_t>>(); return true;
    case XDT_SINT16: f.template operator()<ScalarSample<4, int16_t>>(); return true;
    case XDT_UINT32: f.template operator()<ScalarSample<5, uint32_t>>(); return true;
    case XDT_SINT32: f.template operator()<ScalarSample<6, int32_t>>(); return true;
    case XDT_UINT64: f.template operator()<ScalarSample<7, uint64_t>>(); return true;
    case XDT_SINT64: f.template operator()<ScalarSample<8, int64_t>>(); return true;
    case XDT_REAL32: f.template operator()<ScalarSample<9, float>>(); return true;
    case XDT_REAL64: f.template operator()<ScalarSample<10, double>>(); return true;
    case XDT_UINT08C: f.template operator()<ComplexSample<11, uint8_t>>(); return true;
    case XDT_SINT08C: f.template operator()<ComplexSample<12, int8_t>>(); return true;
    case XDT_UINT16C: f.template operator()<ComplexSample<13, uint16_t>>(); return true;
    case XDT_SINT16C: f.template operator()<ComplexSample<14, int16_t>>(); return true;
    case XDT_UINT32C: f.template operator()<ComplexSample<15, uint32_t>>(); return true;
    case XDT_SINT32C: f.template operator()<ComplexSample<16, int32_t>>(); return true;
    case XDT_UINT64C: f.template operator()<ComplexSample<17, uint64_t>>(); return true;
    case XDT_SINT64C: f.template operator()<ComplexSample<18, int64_t>>(); return true;
    case XDT_REAL32C: f.template operator()<ComplexSample<19, float>>(); return true;
    case XDT_REAL64C: f.template operator()<ComplexSample<20, double>>(); return true;
    case XDT_GRAY: f.template operator()<ByteSample<21, 1>>(); return true;
    case XDT_RGB: f.template operator()<ByteSample<22, 3>>(); return true;
    case XDT_BGR: f.template operator()<ByteSample<23, 3>>(); return true;
    case XDT_RGBA: f.template operator()<ByteSample<24, 4>>(); return true;
    case XDT_BGRA: f.template operator()<ByteSample<25, 4>>(); return true;
    case XDT_ARGB: f.template operator()<ByteSample<26, 4>>(); return true;
    case XDT_ABGR: f.template operator()<ByteSample<27, 4>>(); return true;
    case XDT_RGB565: f.template operator()<Packed565Sample<28>>(); return true;
    case XDT_BGR565: f.template operator()<Packed565Sample<29>>(); return true;
    case XDT_RGBA5551: f.template operator()<Packed5551Sample<30>>(); return true;
    case XDT_BGRA5551: f.template operator()<Packed5551Sample<31>>(); return true;
    case XDT_ARGB1555: f.template operator()<Packed1555Sample<32>>(); return true;
    case XDT_ABGR1555: f.template operator()<Packed1555Sample<33>>(); return true;
    default: return false;
    }
}

} // namespace Pelmora::Tivra::GridSamples
