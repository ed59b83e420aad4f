// Sample statistics and histograms.
//
// Every entry point resolves the sample type once (DispatchStatType) and runs
// a worker compiled for that element type, so the inner loops read the
// native element directly. Two fast paths give results identical to the
// plain sequential double loops:
//  - 8- and 16-bit integer samples are summed in integers and the sums
//    converted once. While every partial sum stays below 2^53, each step of
//    the sequential double loop is exact too, so both yield the same bits;
//    the fast path is taken only when that bound is guaranteed up front.
//  - 8-bit histograms over their full range count the byte values directly.
// Floating-point samples keep the sequential order of the additions.
#include <tivra/grid/XStatistics.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XGridFile.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "grid/XByteSums.h"
#include "grid/XGridSamples.h"

namespace Pelmora::Tivra {

namespace {

using GridSamples::Load;

/// Extremes of a record that holds no sample yet: the largest double the
/// types use (MAX_REAL64) as the minimum and its negative as the maximum, so
/// that the first sample replaces both.
constexpr double kEmptyMin = 1.7e+308;
constexpr double kEmptyMax = -1.7e+308;
/// Width of a histogram bin as a fraction of the range: 1 / 256 for the 256
/// bins, a power of two, so that range times kBinScale is exact.
constexpr double kBinScale = 0.00390625;
/// Partial sums up to this magnitude are exact integers in a double (with a
/// factor two of headroom below 2^53 for the rounding of the bound itself).
constexpr double kExactBound = 4503599627370496.0;  // 2^52

// ---- element readers -----------------------------------------------------------

/// A scalar sample: the element converted to double.
template <class T>
struct ScalarElem {
    using Type = T;
    static constexpr int kSize = sizeof(T);
    static constexpr bool kComplex = false;
    static double Value(const uint8_t* p) { return static_cast<double>(Load<T>(p)); }
};

/// A complex sample: the magnitude of the (real, imaginary) pair.
template <class T>
struct ComplexElem {
    using Type = T;
    static constexpr int kSize = 2 * sizeof(T);
    static constexpr bool kComplex = true;
    static double Value(const uint8_t* p)
    {
        const double re = static_cast<double>(Load<T>(p));
        const double im = static_cast<double>(Load<T>(p + sizeof(T)));
        return std::sqrt(re * re + im * im);
    }
};

/// The types with statistics: the scalars, the complex pairs (by magnitude)
/// and grey, except the 64-bit integers.
struct StatisticsTypes {
    template <class S>
    static constexpr int kFamily = DATATYPE_TABLE[S::kCode].family;
    template <class S>
    static constexpr bool kKeep = (kFamily<S> == XSF_SCALAR || kFamily<S> == XSF_COMPLEX || kFamily<S> == XSF_GRAY) &&
                                  !(std::is_integral_v<typename S::Element> && sizeof(typename S::Element) == 8);
};

/// The element reader of a codec with statistics.
template <class S>
using ElemOf = std::conditional_t<DATATYPE_TABLE[S::kCode].family == XSF_COMPLEX, ComplexElem<typename S::Element>,
                                  ScalarElem<typename S::Element>>;

/// Calls f.template operator()<Elem>() for a supported type code; false (f
/// not called) for the 64-bit integers, the colour types and unknown codes.
template <class F>
bool DispatchStatType(int type, F&& f)
{
    return GridSamples::DispatchSampleTypeIf<StatisticsTypes>(
        type, [&]<class S>() { f.template operator()<ElemOf<S>>(); });
}

// ---- statistics workers -----------------------------------------------------------

void StartIfEmpty(XStatAccum& acc)
{
    if (acc.count != 0) return;
    acc.min0 = acc.min1 = kEmptyMin;
    acc.max0 = acc.max1 = kEmptyMax;
    acc.sum0 = acc.sumSq0 = acc.sum1 = acc.sumSq1 = acc.sumProd = 0.0;
}

/// The first-channel part of a record, carried from row to row.
struct Running {
    double mn, mx, s, q;
    uint64_t n;
    explicit Running(const XStatAccum& a) : mn(a.min0), mx(a.max0), s(a.sum0), q(a.sumSq0), n(a.count) {}
    void Store(XStatAccum& a) const
    {
        a.min0 = mn;
        a.max0 = mx;
        a.sum0 = s;
        a.sumSq0 = q;
        a.count = n;
    }
};

/// The sequential loop: samples in order, unrolled by four. The record's
/// fields are separate locals for the loop: through the reference every
/// addition went to memory and back, and as a copied structure the compiler
/// paired the fields in vector registers, whose shuffles lengthened the two
/// chains of additions that bound the loop.
template <class E>
void RowStatsSequential(Running& r, const uint8_t* p, int64_t n, double nd)
{
    constexpr int S = E::kSize;
    double mn = r.mn, mx = r.mx, sum = r.s, sumSq = r.q;
    uint64_t count = r.n;
    auto add = [&](double x) {
        if (x == nd) return;
        mn = x < mn ? x : mn;
        mx = x > mx ? x : mx;
        sum += x;
        sumSq += x * x;
        ++count;
    };
    int64_t i = 0;
    for (; i + 4 <= n; i += 4, p += 4 * S) {
        const double x0 = E::Value(p), x1 = E::Value(p + S), x2 = E::Value(p + 2 * S), x3 = E::Value(p + 3 * S);
        add(x0);
        add(x1);
        add(x2);
        add(x3);
    }
    for (; i < n; ++i, p += S) add(E::Value(p));
    r.mn = mn;
    r.mx = mx;
    r.s = sum;
    r.q = sumSq;
    r.n = count;
}

template <class T>
constexpr bool kExactIntElem = std::is_integral_v<T> && sizeof(T) <= 2;

/// True (with v set) when nd equals some value of T, so that comparing the
/// element with v is the same as comparing its double with nd.
template <class T>
bool NoDataAsElement(double nd, T& v)
{
    if (!(nd >= double(std::numeric_limits<T>::min()) && nd <= double(std::numeric_limits<T>::max()))) return false;
    if (std::floor(nd) != nd) return false;
    v = static_cast<T>(nd);
    return true;
}

/// Integer sums of 8- and 16-bit samples. Returns false, touching nothing,
/// when the record's sums or the size of the row could take a partial sum of
/// the sequential loop past the exact range; the caller then runs that loop.
template <class T>
bool RowStatsExact(Running& r, const uint8_t* p, int64_t n, double nd)
{
    constexpr double kMaxAbs = std::max(-double(std::numeric_limits<T>::min()), double(std::numeric_limits<T>::max()));
    const double dn = static_cast<double>(n);
    if (!(std::floor(r.s) == r.s && std::fabs(r.s) + dn * kMaxAbs <= kExactBound)) return false;
    if (!(std::floor(r.q) == r.q && r.q + dn * (kMaxAbs * kMaxAbs) <= kExactBound)) return false;

    if constexpr (std::is_same_v<T, uint8_t>) {
        uint8_t ndv = 0;
        const bool hasNd = NoDataAsElement(nd, ndv);
        const ByteSums::Result b = ByteSums::Sum(p, n, hasNd ? ndv : -1);
        const uint64_t nd1 = hasNd ? ndv : 0;
        const uint64_t accepted = uint64_t(n) - b.skipped;
        if (accepted == 0) return true;
        if (double(b.min) < r.mn) r.mn = b.min;
        if (double(b.max) > r.mx) r.mx = b.max;
        r.s += static_cast<double>(b.sum - nd1 * b.skipped);
        r.q += static_cast<double>(b.sumSq - nd1 * nd1 * b.skipped);
        r.n += accepted;
        return true;
    }

    using Sum = std::conditional_t<std::is_signed_v<T>, int32_t, uint32_t>;
    using Sq = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;
    // Chunks short enough that the 32-bit chunk sums cannot overflow.
    constexpr int64_t kChunk = 16384;
    T ndv{};
    const bool hasNd = NoDataAsElement(nd, ndv);

    int64_t total = 0;
    uint64_t sumSq = 0;
    int64_t accepted = 0;
    T mn = std::numeric_limits<T>::max(), mx = std::numeric_limits<T>::min();
    for (int64_t start = 0; start < n; start += kChunk) {
        const int len = static_cast<int>(std::min<int64_t>(kChunk, n - start));
        const uint8_t* q = p + start * int64_t(sizeof(T));
        Sum s = 0;
        Sq sq = 0;
        for (int j = 0; j < len; ++j) {
            const int32_t x = Load<T>(q + j * sizeof(T));
            s += static_cast<Sum>(x);
            sq += static_cast<Sq>(static_cast<uint32_t>(x) * static_cast<uint32_t>(x));
        }
        int skipped = 0;
        if (hasNd) {
            const T hi = std::numeric_limits<T>::max(), lo = std::numeric_limits<T>::min();
            for (int j = 0; j < len; ++j) {
                const T x = Load<T>(q + j * sizeof(T));
                const bool skip = x == ndv;
                skipped += skip;
                mn = std::min(mn, skip ? hi : x);
                mx = std::max(mx, skip ? lo : x);
            }
        } else {
            for (int j = 0; j < len; ++j) {
                const T x = Load<T>(q + j * sizeof(T));
                mn = std::min(mn, x);
                mx = std::max(mx, x);
            }
        }
        const int64_t ndi = hasNd ? int64_t(ndv) : 0;
        total += int64_t(s) - ndi * skipped;
        sumSq += uint64_t(sq) - uint64_t(ndi * ndi) * uint64_t(skipped);
        accepted += len - skipped;
    }
    if (accepted == 0) return true;
    if (double(mn) < r.mn) r.mn = double(mn);
    if (double(mx) > r.mx) r.mx = double(mx);
    r.s += static_cast<double>(total);
    r.q += static_cast<double>(sumSq);
    r.n += static_cast<uint64_t>(accepted);
    return true;
}

template <class E>
void RowStats(Running& r, const uint8_t* p, int64_t n, double nd)
{
    if constexpr (!E::kComplex && kExactIntElem<typename E::Type>) {
        if (RowStatsExact<typename E::Type>(r, p, n, nd)) return;
    }
    RowStatsSequential<E>(r, p, n, nd);
}

/// Paired statistics of one row: x at p, y at p + offset samples. The
/// record is worked on in a local copy, as in the sequential loop.
template <class E>
void RowStatsPaired(XStatAccum& record, const uint8_t* p, int64_t n, std::ptrdiff_t yOffsetBytes, double nd)
{
    constexpr int S = E::kSize;
    XStatAccum a = record;
    auto add = [&](const uint8_t* px) {
        const double x = E::Value(px);
        if (x == nd) return;
        const double y = E::Value(px + yOffsetBytes);
        if (y == nd) return;
        if (x < a.min0) a.min0 = x;
        if (x > a.max0) a.max0 = x;
        a.sum0 += x;
        a.sumSq0 += x * x;
        if (y < a.min1) a.min1 = y;
        if (y > a.max1) a.max1 = y;
        a.sum1 += y;
        a.sumSq1 += y * y;
        a.count += 1;
        a.sumProd += x * y;
    };
    int64_t i = 0;
    for (; i + 4 <= n; i += 4, p += 4 * S) {
        add(p);
        add(p + S);
        add(p + 2 * S);
        add(p + 3 * S);
    }
    for (; i < n; ++i, p += S) add(p);
    record = a;
}

/// Statistics of columns x1..x2 of rows y1..y2 of a buffer of rows of width
/// samples, already clipped to the buffer.
template <class E>
void StatsRect(XStatAccum& acc, const uint8_t* base, int64_t nOffset, double nd, int width, int x1, int x2, int y1,
               int y2)
{
    StartIfEmpty(acc);
    if (x1 > x2) return;
    const int64_t n = int64_t(x2) - x1 + 1;
    if (nOffset == 0) {
        Running r(acc);
        for (int y = y1; y <= y2; ++y) RowStats<E>(r, base + (int64_t(y) * width + x1) * E::kSize, n, nd);
        r.Store(acc);
    } else {
        const std::ptrdiff_t yBytes = static_cast<std::ptrdiff_t>(nOffset * E::kSize);
        for (int y = y1; y <= y2; ++y)
            RowStatsPaired<E>(acc, base + (int64_t(y) * width + x1) * E::kSize, n, yBytes, nd);
    }
}

/// Extremes of the samples other than nd, as the statistics loop finds them.
template <class E>
void RowMinMax(const uint8_t* p, int64_t n, double nd, double& mn, double& mx)
{
    mn = kEmptyMin;
    mx = kEmptyMax;
    for (int64_t i = 0; i < n; ++i, p += E::kSize) {
        const double x = E::Value(p);
        if (x == nd) continue;
        if (x < mn) mn = x;
        if (x > mx) mx = x;
    }
}

// ---- histogram workers ---------------------------------------------------------------

/// A fractional bin position truncated toward zero and limited to 0..255;
/// NaN goes to bin 0.
inline int TruncBin(double t)
{
    if (t >= 256.0) return 255;
    if (t >= 0.0) return static_cast<int>(t);
    return 0;
}

/// Widens the record's range to [lo, hi] and moves every old count to the
/// new bin holding its old bin's centre. The total is unchanged.
void Rebin(XHistAccum& acc, double lo, double hi)
{
    uint64_t old[256];
    std::memcpy(old, acc.bins, sizeof old);
    std::memset(acc.bins, 0, sizeof acc.bins);
    const double oldW = (acc.hi - acc.lo) * kBinScale;
    const double newW = (hi - lo) * kBinScale;
    for (int k = 0; k < 256; ++k) {
        if (old[k] == 0) continue;
        int bin = 0;
        if (newW > 0.0) {
            const double c = acc.lo + (k + 0.5) * oldW;
            bin = std::min(TruncBin((c - lo) / newW), 255);
        }
        acc.bins[bin] += old[k];
    }
    acc.lo = lo;
    acc.hi = hi;
}

/// Counts bytes with four interleaved partial histograms (so consecutive
/// equal bytes do not wait on each other's increment), then drops the
/// no-data byte. key maps a byte to its bin.
template <class Key>
void CountBytes(XHistAccum& acc, const uint8_t* p, int64_t n, bool hasNd, uint8_t ndByte, Key key)
{
    uint64_t local[256] = {};
    if (n >= 1024) {
        // Four partial tables, so that runs of equal bytes do not wait on
        // one counter's store; 32-bit counters keep the tables in 4 KiB, and
        // are emptied into the 64-bit ones before they could overflow. Eight
        // bytes are loaded at once and taken apart in registers.
        constexpr int64_t kChunk = int64_t(1) << 30; // at most 2^28 counts per counter
        int64_t i = 0;
        while (i < n) {
            uint32_t part[4][256] = {};
            const int64_t end = std::min(n, i + kChunk);
            for (; i + 8 <= end; i += 8) {
                uint64_t w;
                std::memcpy(&w, p + i, 8);
                ++part[0][w & 0xFF];
                ++part[1][(w >> 8) & 0xFF];
                ++part[2][(w >> 16) & 0xFF];
                ++part[3][(w >> 24) & 0xFF];
                ++part[0][(w >> 32) & 0xFF];
                ++part[1][(w >> 40) & 0xFF];
                ++part[2][(w >> 48) & 0xFF];
                ++part[3][w >> 56];
            }
            for (; i < end; ++i) ++part[0][p[i]];
            for (int v = 0; v < 256; ++v) local[v] += uint64_t(part[0][v]) + part[1][v] + part[2][v] + part[3][v];
        }
    } else {
        for (int64_t i = 0; i < n; ++i) ++local[p[i]];
    }
    if (hasNd) local[ndByte] = 0;
    for (int v = 0; v < 256; ++v) {
        acc.bins[key(v)] += local[v];
        acc.total += local[v];
    }
}

/// Counts the samples into the record's current range.
template <class E>
void CountSamples(XHistAccum& acc, const uint8_t* p, int64_t n, double nd, int type)
{
    using T = typename E::Type;
    constexpr int S = E::kSize;
    if (acc.lo == acc.hi) {
        for (int64_t i = 0; i < n; ++i, p += S)
            if (E::Value(p) != nd) {
                ++acc.bins[0];
                ++acc.total;
            }
        return;
    }
    constexpr bool kByte = sizeof(T) == 1;
    const bool fullU8 = kByte && !std::is_signed_v<T> && acc.lo == 0.0 && acc.hi == 255.0;
    const bool fullS8 = kByte && std::is_signed_v<T> && acc.lo == -128.0 && acc.hi == 127.0;
    if constexpr (kByte) {
        if (fullU8 || fullS8) {
            const int shift = fullS8 ? 128 : 0;
            if constexpr (!E::kComplex) {
                // The bin is the value itself (shifted by 128 for signed bytes).
                T ndv{};
                const bool hasNd = NoDataAsElement(nd, ndv);
                const uint8_t ndByte = static_cast<uint8_t>(ndv);
                if (fullS8)
                    CountBytes(acc, p, n, hasNd, ndByte, [](int v) { return v ^ 0x80; });
                else
                    CountBytes(acc, p, n, hasNd, ndByte, [](int v) { return v; });
            } else {
                // The value of a complex sample is its magnitude, which may
                // exceed the range: it is truncated like any bin position and
                // at or above the top it counts in the last bin.
                for (int64_t i = 0; i < n; ++i, p += S) {
                    const double x = E::Value(p);
                    if (x == nd) continue;
                    ++acc.bins[std::min(static_cast<int>(x) + shift, 255)];
                    ++acc.total;
                }
            }
            return;
        }
    }
    const double lo = acc.lo, w = (acc.hi - acc.lo) * kBinScale;
    auto count = [&](double x) {
        if (x == nd) return;
        ++acc.bins[TruncBin((x - lo) / w)];
        ++acc.total;
    };
    int64_t i = 0;
    for (; i + 4 <= n; i += 4, p += 4 * S) {
        count(E::Value(p));
        count(E::Value(p + S));
        count(E::Value(p + 2 * S));
        count(E::Value(p + 3 * S));
    }
    for (; i < n; ++i, p += S) count(E::Value(p));
}

template <class E>
void HistRow(XHistAccum& acc, const uint8_t* p, int64_t n, double nd, double lo, double hi, int type)
{
    if (lo == NAN_REAL64 || hi == NAN_REAL64 || !(lo < hi)) RowMinMax<E>(p, n, nd, lo, hi);
    if (acc.total == 0) {
        std::memset(acc.bins, 0, sizeof acc.bins);
        acc.lo = lo;
        acc.hi = hi;
    } else {
        lo = lo < acc.lo ? lo : acc.lo;
        hi = hi > acc.hi ? hi : acc.hi;
        if (lo != acc.lo || hi != acc.hi) Rebin(acc, lo, hi);
    }
    CountSamples<E>(acc, p, n, nd, type);
}

/// The default range of the 8-bit types when the caller's is missing or not
/// increasing; other types keep it (and take the data's).
void DefaultHistogramRange(int type, double& lo, double& hi)
{
    if (lo != NAN_REAL64 && hi != NAN_REAL64 && lo < hi) return;
    if (type == XDT_UINT08 || type == XDT_UINT08C || type == XDT_GRAY) {
        lo = 0.0;
        hi = 255.0;
    } else if (type == XDT_SINT08 || type == XDT_SINT08C) {
        lo = -128.0;
        hi = 127.0;
    }
}

void StretchRange(const uint64_t* bins, double hlo, double hhi, double mean, double sd, double T, double K,
                  double& dLow, double& dHigh)
{
    uint64_t total = 0;
    for (int k = 1; k <= 254; ++k) total += bins[k];
    const uint64_t half = total / 2;
    int m = 254;
    uint64_t run = 0;
    for (int k = 1; k <= 254; ++k) {
        run += bins[k];
        if (run >= half) {
            m = k;
            break;
        }
    }
    uint64_t below = 0, above = 0;
    for (int k = 1; k < m; ++k) below += bins[k];
    for (int k = m + 1; k <= 254; ++k) above += bins[k];

    double lowPos = 0.0;
    {
        uint64_t s = 0;
        double fprev = 0.0;
        for (int i = m - 1; i >= 1; --i) {
            s += bins[i];
            const double f = double(s) / double(below);
            if (f >= T) {
                lowPos = f == fprev ? double(i) : i + (f - T) / (f - fprev);
                break;
            }
            fprev = f;
        }
    }
    double highPos = 255.0;
    {
        uint64_t s = 0;
        double fprev = 0.0;
        for (int j = m + 1; j <= 254; ++j) {
            s += bins[j];
            const double f = double(s) / double(above);
            if (f >= T) {
                highPos = f == fprev ? double(j) : j + (f - T) / (f - fprev);
                break;
            }
            fprev = f;
        }
    }
    dLow = hlo + lowPos / 255.0 * (hhi - hlo);
    dHigh = hlo + highPos / 255.0 * (hhi - hlo);
    if (mean - K * sd > dLow) dLow = mean - K * sd;
    if (dHigh > mean + K * sd) dHigh = mean + K * sd;
}

/// For the real types, the value the row would have after a copy through
/// SetValue: finite samples beyond the type's range are clamped to its
/// bounds. Infinities stay infinite: they are what the raster holds, and a
/// minimum of -3.4e38 for a -inf sample would be a wrong answer. Returns the
/// row to read: the original when nothing needs clamping, else a clamped
/// copy in scratch.
template <class C>
const uint8_t* ClampRealRow(const uint8_t* p, int64_t nComponents, std::vector<uint8_t>& scratch)
{
    constexpr C hi = std::is_same_v<C, float> ? MAX_REAL32 : C(MAX_REAL64);
    constexpr C lo = std::is_same_v<C, float> ? MIN_REAL32 : C(MIN_REAL64);
    constexpr C inf = std::numeric_limits<C>::infinity();
    bool outside = false;
    for (int64_t i = 0; i < nComponents; ++i) {
        const C v = Load<C>(p + i * sizeof(C));
        outside |= (v > hi && v < inf) | (v < lo && v > -inf);
    }
    if (!outside) return p;
    scratch.resize(size_t(nComponents) * sizeof(C));
    for (int64_t i = 0; i < nComponents; ++i) {
        C v = Load<C>(p + i * sizeof(C));
        if (v < lo && v > -inf) v = lo;
        else if (v > hi && v < inf) v = hi;
        GridSamples::Store(scratch.data() + i * sizeof(C), v);
    }
    return scratch.data();
}

/// The samples of a row of a real type that the statistics options leave
/// in, copied in order into scratch: without the NaN samples (skipNaN) and
/// without those equal to the no-data value in the sample's precision
/// (inPrecision: for float components the value, a complex pair's magnitude,
/// and nd both rounded to float). Returns the row to read and sets n to its
/// length; the original row when nothing is left out.
template <class C, bool kComplex>
const uint8_t* KeepSamples(const uint8_t* p, int64_t& n, bool skipNaN, bool inPrecision, double nd,
                           std::vector<uint8_t>& scratch)
{
    using E = std::conditional_t<kComplex, ComplexElem<C>, ScalarElem<C>>;
    constexpr int S = E::kSize;
    constexpr bool kFloat = std::is_same_v<C, float>;
    const double key = kFloat ? GridSamples::RoundToFloat(nd) : nd;
    auto drop = [&](const uint8_t* q) {
        const double v = E::Value(q);
        return (skipNaN && v != v) || (inPrecision && (kFloat ? GridSamples::RoundToFloat(v) : v) == key);
    };
    int64_t first = 0;
    while (first < n && !drop(p + first * S)) ++first;
    if (first == n) return p;
    scratch.resize(size_t(n) * S);
    std::memcpy(scratch.data(), p, size_t(first) * S);
    int64_t kept = first;
    for (int64_t i = first + 1; i < n; ++i)
        if (!drop(p + i * S)) std::memcpy(scratch.data() + kept++ * S, p + i * S, S);
    n = kept;
    return scratch.data();
}

} // namespace

namespace Xfn {

bool IsStatisticsType(int type)
{
    return DispatchStatType(type, []<class E>() {});
}

void AccumulateStatistics(XStatAccum& acc, const void* pData, int64_t nOffset, int type, double dNoData, int nWidth,
                          int nHeight)
{
    if (!pData) return;
    const auto* base = static_cast<const uint8_t*>(pData);
    // The whole buffer: first indices clamped up to 0, last ones down to
    // width - 1 and height - 1.
    const int x1 = 0, y1 = 0;
    const int x2 = std::max(nWidth, 0) - 1, y2 = std::max(nHeight, 0) - 1;
    DispatchStatType(type, [&]<class E>() { StatsRect<E>(acc, base, nOffset, dNoData, nWidth, x1, x2, y1, y2); });
}

void AccumulateRowStatistics(XStatAccum& acc, int64_t n, int type, const void* pData, double dNoData)
{
    if (!pData) return;
    const auto* p = static_cast<const uint8_t*>(pData);
    DispatchStatType(type, [&]<class E>() {
        StartIfEmpty(acc);
        Running r(acc);
        RowStats<E>(r, p, std::max<int64_t>(n, 0), dNoData);
        r.Store(acc);
    });
}

void AccumulateHistogram(const void* pData, int64_t n, XHistAccum& acc, int type, double dNoData, double dLo,
                         double dHi)
{
    if (!pData) return;
    const auto* p = static_cast<const uint8_t*>(pData);
    DefaultHistogramRange(type, dLo, dHi);
    DispatchStatType(type,
                     [&]<class E>() { HistRow<E>(acc, p, std::max<int64_t>(n, 0), dNoData, dLo, dHi, type); });
}

void AccumulateRowHistogram(XHistAccum& acc, int64_t n, int type, const void* pData, double dNoData)
{
    AccumulateHistogram(pData, n, acc, type, dNoData, NAN_REAL64, NAN_REAL64);
}

void FinishStatistics(const XStatAccum& acc, double& dMax, double& dMin, double& dMean, double& dStdDev)
{
    const double n = static_cast<double>(acc.count);
    dMin = acc.min0;
    dMax = acc.max0;
    dMean = acc.sum0 / n;
    const double variance = (acc.sumSq0 - n * (dMean * dMean)) / (n - 1.0);
    dStdDev = std::sqrt(variance);
    // Equal samples deviate by nothing, though the sums' rounding can leave
    // a tiny positive or negative remainder; a remainder below zero is that
    // rounding as well. (Sums that overflowed are left as they come out.)
    if (acc.count > 1 && std::isfinite(acc.sumSq0) && std::isfinite(dMean) && (acc.min0 == acc.max0 || variance < 0))
        dStdDev = 0.0;
}

void MergeStatistics(XStatAccum& acc, const XStatAccum& from)
{
    if (from.count == 0) return;
    if (acc.count == 0) {
        acc = from;
        return;
    }
    acc.count += from.count;
    acc.min0 = std::min(acc.min0, from.min0);
    acc.max0 = std::max(acc.max0, from.max0);
    acc.sum0 += from.sum0;
    acc.sumSq0 += from.sumSq0;
    acc.min1 = std::min(acc.min1, from.min1);
    acc.max1 = std::max(acc.max1, from.max1);
    acc.sum1 += from.sum1;
    acc.sumSq1 += from.sumSq1;
    acc.sumProd += from.sumProd;
}

double CalcCovariance(const XStatAccum& acc)
{
    const double n = static_cast<double>(acc.count);
    return (acc.sumProd - acc.sum1 * acc.sum0 / n) / (n - 1.0);
}

double CalcCorrelation(const XStatAccum& acc)
{
    const double n = static_cast<double>(acc.count);
    const double varX = (acc.sumSq0 - acc.sum0 * acc.sum0 / n) / (n - 1.0);
    if (varX <= 0.0) return 0.0;
    const double varY = (acc.sumSq1 - acc.sum1 * acc.sum1 / n) / (n - 1.0);
    if (!(varY > 0.0)) return 0.0;
    const double cov = (acc.sumProd - acc.sum1 * acc.sum0 / n) / (n - 1.0);
    return cov / std::sqrt(varX) / std::sqrt(varY);
}

void GetStretchRange(const uint64_t pBins[256], double dHistLo, double dHistHi, double dMean, double dStdDev,
                     double& dLow, double& dHigh)
{
    StretchRange(pBins, dHistLo, dHistHi, dMean, dStdDev, 0.95, 2.0, dLow, dHigh);
}

void GetStretchRange2(const uint64_t pBins[256], double dHistLo, double dHistHi, double dMean, double dStdDev,
                      double& dLow, double& dHigh)
{
    StretchRange(pBins, dHistLo, dHistHi, dMean, dStdDev, 0.98, 3.0, dLow, dHigh);
}

bool GetStatistics(const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData, uint64_t& nCount,
                   double& dMin, double& dMax, double& dMean, double& dStdDev, uint64_t* pHistogram)
{
    return GetStatistics(grid, R1, R2, C1, C2, dNoData, XSTAT_DEFAULT, nCount, dMin, dMax, dMean, dStdDev, pHistogram);
}

namespace {

/// The statistics (into st) and optionally the histogram of a rectangle of
/// a grid with _XSTATOPTION options; false, with the pass stopped, at the
/// first row that cannot be read.
bool GridRect(XStatAccum& st, XHistAccum* pHist, const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData,
              int nOptions)
{
    const int rows = grid.GetRSize(), cols = grid.GetCSize(), type = grid.GetDataType();
    if (R1 > R2) {
        R1 = 0;
        R2 = rows - 1;
    } else {
        R1 = std::max(R1, 0);
        R2 = std::min(R2, rows - 1);
    }
    if (C1 > C2) {
        C1 = 0;
        C2 = cols - 1;
    } else {
        C1 = std::max(C1, 0);
        C2 = std::min(C2, cols - 1);
    }

    StartIfEmpty(st);

    // Unsupported types accumulate nothing, so their rows are not even read.
    if (R1 <= R2 && C1 <= C2 && IsStatisticsType(type) && grid.IsValid()) {
        const int64_t width = int64_t(C2) - C1 + 1;
        // The options act on the real types only: their rows first lose the
        // samples left out (KeepSamples); when that took the no-data samples
        // out in their own precision, the rest is compared with a NaN, which
        // equals nothing, so that a sample clamped into the no-data value
        // afterwards still counts.
        const bool skipNaN = (nOptions & XSTAT_SKIP_NAN) != 0;
        const bool inPrecision = (nOptions & XSTAT_NODATA_IN_SAMPLE_PRECISION) != 0;
        const bool real = type == XDT_REAL32 || type == XDT_REAL64 || type == XDT_REAL32C || type == XDT_REAL64C;
        const bool keep = real && (skipNaN || inPrecision);
        const double compareWith = keep && inPrecision ? std::numeric_limits<double>::quiet_NaN() : dNoData;
        std::vector<uint8_t> kept, clamped;
        const int size = DATASIZE[type];
        // A row of n samples, clamped when read in place (see below).
        auto feed = [&](const uint8_t* row, bool inPlace) {
            int64_t n = width;
            switch (keep ? type : XDT_NONE) {
            case XDT_REAL32: row = KeepSamples<float, false>(row, n, skipNaN, inPrecision, dNoData, kept); break;
            case XDT_REAL64: row = KeepSamples<double, false>(row, n, skipNaN, inPrecision, dNoData, kept); break;
            case XDT_REAL32C: row = KeepSamples<float, true>(row, n, skipNaN, inPrecision, dNoData, kept); break;
            case XDT_REAL64C: row = KeepSamples<double, true>(row, n, skipNaN, inPrecision, dNoData, kept); break;
            default: break;
            }
            if (inPlace && (type == XDT_REAL32 || type == XDT_REAL32C))
                row = ClampRealRow<float>(row, n * (size / 4), clamped);
            else if (inPlace && (type == XDT_REAL64 || type == XDT_REAL64C))
                row = ClampRealRow<double>(row, n * (size / 8), clamped);
            AccumulateRowStatistics(st, n, type, row, compareWith);
            if (pHist) AccumulateRowHistogram(*pHist, n, type, row, compareWith);
        };
        const XGridFile* pFile = XGridFile::AsRowGrid(&grid);
        if (grid.HasDirectSampleAccess()) {
            // Samples held in memory: read each row in place. A copy through
            // GetSubset would give the same values; only real samples beyond
            // the type's range (infinities, the largest floats) change in
            // such a copy, so those rows are clamped the same way first.
            const uint8_t* const data = grid.GetData();
            for (int r = R1; r <= R2; ++r) feed(data + (int64_t(r) * cols + C1) * size, true);
        } else if (pFile) {
            // A grid file: each row in place in the window, under the fault
            // guard, which leaves the row by a jump: so nothing may allocate
            // while a row is fed, and the row buffers are sized before. Rows
            // that cross windows come as copies.
            std::vector<uint8_t> copy(size_t(width) * size_t(size));
            kept.reserve(copy.size());
            clamped.reserve(copy.size());
            const XMMFile::XVisitFn visit = [](const uint8_t* p, uint32_t, void* pFeed) {
                (*static_cast<decltype(feed)*>(pFeed))(p, true);
            };
            // A row longer than one visit is copied whole instead.
            const bool visitable = uint64_t(width) * uint64_t(size) <= XGridFile::kMaxVisitBytes;
            for (int r = R1; r <= R2; ++r) {
                if (visitable) {
                    if (!pFile->VisitRow(r, C1, int(width), visit, &feed, copy.data())) return false;
                } else {
                    if (!pFile->ReadRow(r, C1, int(width), copy.data())) return false;
                    feed(copy.data(), true);
                }
            }
        } else {
            XGrid row;
            for (int r = R1; r <= R2; ++r) {
                if (!grid.GetSubset(&row, r, r, C1, C2)) return false;
                feed(row.GetData(), false);
            }
        }
    }
    return true;
}

} // namespace

bool AccumulateGridStatistics(XStatAccum& acc, const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData,
                              int nOptions)
{
    XStatAccum part{};
    if (!GridRect(part, nullptr, grid, R1, R2, C1, C2, dNoData, nOptions)) return false;
    MergeStatistics(acc, part);
    return true;
}

bool GetStatistics(const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData, int nOptions, uint64_t& nCount,
                   double& dMin, double& dMax, double& dMean, double& dStdDev, uint64_t* pHistogram)
{
    XStatAccum st{};
    XHistAccum hist{};
    // Rows that could not be read would give a smaller count and other
    // extremes: the results are those of no sample instead.
    const bool ok = GridRect(st, pHistogram ? &hist : nullptr, grid, R1, R2, C1, C2, dNoData, nOptions);
    if (!ok) {
        st = XStatAccum{};
        StartIfEmpty(st);
        hist = XHistAccum{};
    }
    nCount = st.count;
    FinishStatistics(st, dMax, dMin, dMean, dStdDev);
    if (pHistogram) std::memcpy(pHistogram, hist.bins, sizeof hist.bins);
    return ok;
}

} // namespace Xfn
} // namespace Pelmora::Tivra
