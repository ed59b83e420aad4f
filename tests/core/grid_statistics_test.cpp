// Sample statistics and histograms: every supported type against a direct
// two-pass computation in long double, the integer fast paths against the
// plain sequential loop, pairing, histogram edges, rebinning, stretch ranges
// and the grid's rectangle statistics.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>

#include "../../core/grid/XByteSums.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

const int kStatTypes[] = {1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 21};

/// The value a sample contributes, decoded independently of the library.
double SampleValue(int type, const uint8_t* p)
{
    auto comp = [&](int off) -> double {
        switch (type) {
        case 1: case 11: case 21: return p[off];
        case 2: case 12: return static_cast<int8_t>(p[off]);
        case 3: case 13: { uint16_t v; std::memcpy(&v, p + off, 2); return v; }
        case 4: case 14: { int16_t v; std::memcpy(&v, p + off, 2); return v; }
        case 5: case 15: { uint32_t v; std::memcpy(&v, p + off, 4); return v; }
        case 6: case 16: { int32_t v; std::memcpy(&v, p + off, 4); return v; }
        case 9: case 19: { float v; std::memcpy(&v, p + off, 4); return v; }
        default: { double v; std::memcpy(&v, p + off, 8); return v; }
        }
    };
    if (type < 11 || type == 21) return comp(0);
    const int half = DATASIZE[type] / 2;
    const double re = comp(0), im = comp(half);
    return std::sqrt(re * re + im * im);
}

/// Random samples of a type: integers over their whole range, reals in
/// [-1000, 1000].
std::vector<uint8_t> RandomSamples(int type, int n, std::mt19937_64& rng)
{
    std::vector<uint8_t> buf(size_t(n) * DATASIZE[type]);
    const bool real = type == 9 || type == 10 || type == 19 || type == 20;
    if (!real) {
        for (auto& b : buf) b = static_cast<uint8_t>(rng());
        return buf;
    }
    std::uniform_real_distribution<double> u(-1000, 1000);
    const bool single = type == 9 || type == 19;
    for (size_t off = 0; off < buf.size(); off += single ? 4 : 8) {
        if (single) { float v = float(u(rng)); std::memcpy(&buf[off], &v, 4); }
        else { double v = u(rng); std::memcpy(&buf[off], &v, 8); }
    }
    return buf;
}

struct Ref { uint64_t n = 0; double mn = 1.7e308, mx = -1.7e308; long double mean = 0, sd = 0; };

Ref TwoPass(int type, const std::vector<uint8_t>& buf, double nd)
{
    Ref r;
    std::vector<long double> v;
    for (size_t off = 0; off < buf.size(); off += DATASIZE[type]) {
        const double x = SampleValue(type, &buf[off]);
        if (x == nd) continue;
        v.push_back(x);
        r.mn = std::min(r.mn, x);
        r.mx = std::max(r.mx, x);
    }
    r.n = v.size();
    for (long double x : v) r.mean += x;
    r.mean /= v.size();
    long double ss = 0;
    for (long double x : v) ss += (x - r.mean) * (x - r.mean);
    r.sd = std::sqrt(ss / (v.size() - 1));
    return r;
}

/// The accumulation as the plain sequential loop does it.
void Sequential(XStatAccum& a, int type, const std::vector<uint8_t>& buf, double nd)
{
    if (a.count == 0) a = {0, 1.7e308, -1.7e308, 0, 0, 1.7e308, -1.7e308, 0, 0, 0};
    for (size_t off = 0; off < buf.size(); off += DATASIZE[type]) {
        const double x = SampleValue(type, &buf[off]);
        if (x == nd) continue;
        if (x < a.min0) a.min0 = x;
        if (x > a.max0) a.max0 = x;
        a.sum0 += x;
        a.sumSq0 += x * x;
        a.count += 1;
    }
}

void ExpectSameRecord(const XStatAccum& a, const XStatAccum& b)
{
    EXPECT_EQ(a.count, b.count);
    EXPECT_EQ(a.min0, b.min0);
    EXPECT_EQ(a.max0, b.max0);
    EXPECT_EQ(a.sum0, b.sum0);
    EXPECT_EQ(a.sumSq0, b.sumSq0);
}

/// A grid whose samples live in another grid, so that it has no sample block
/// of its own and every read goes through the virtual accessors.
class SamplesElsewhere : public XGrid {
public:
    explicit SamplesElsewhere(const XGrid& src) : m_inner(src)
    {
        m_nRSize = src.GetRSize();
        m_nCSize = src.GetCSize();
        m_nDataType = src.GetDataType();
    }
    bool IsValid() const override { return m_nRSize > 0 && m_nCSize > 0; }
    bool GetValue(int r, int c, double& a, double& b, double& cc, double& d) const override
    {
        return m_inner.GetValue(r, c, a, b, cc, d);
    }
private:
    XGrid m_inner;
};

struct GridStats { uint64_t n; double mn, mx, mean, sd; uint64_t hist[256]; };

GridStats Stats(const XGrid& g, int R1, int R2, int C1, int C2, double nd)
{
    GridStats s{};
    Xfn::GetStatistics(g, R1, R2, C1, C2, nd, s.n, s.mn, s.mx, s.mean, s.sd, s.hist);
    return s;
}

} // namespace

TEST(GridStatistics, EveryTypeAgreesWithTwoPassLongDoubleAndTheSequentialLoop)
{
    std::mt19937_64 rng(42);
    for (int type : kStatTypes) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        const int n = 1003;  // not a multiple of the unrolling
        const auto buf = RandomSamples(type, n, rng);
        // noData taken from the data, so that samples really are skipped.
        const double nd = SampleValue(type, &buf[5 * DATASIZE[type]]);
        XStatAccum acc{};
        Xfn::AccumulateRowStatistics(acc, n, type, buf.data(), nd);
        const Ref ref = TwoPass(type, buf, nd);
        EXPECT_LT(acc.count, uint64_t(n));
        EXPECT_EQ(acc.count, ref.n);
        EXPECT_EQ(acc.min0, ref.mn);
        EXPECT_EQ(acc.max0, ref.mx);
        double mx, mn, mean, sd;
        Xfn::FinishStatistics(acc, mx, mn, mean, sd);
        EXPECT_NEAR(mean, double(ref.mean), 1e-12 * (std::fabs(double(ref.mean)) + double(ref.sd)));
        EXPECT_NEAR(sd, double(ref.sd), 1e-9 * double(ref.sd));
        // Fast paths must give the bits of the sequential loop, also when the
        // record already holds sums that rule out the integer path.
        XStatAccum seq{};
        Sequential(seq, type, buf, nd);
        ExpectSameRecord(acc, seq);
        XStatAccum pre{}, preSeq{};
        const double half = 0.5;
        Xfn::AccumulateRowStatistics(pre, 1, XDT_REAL64, &half, NAN_REAL64);
        Xfn::AccumulateRowStatistics(preSeq, 1, XDT_REAL64, &half, NAN_REAL64);
        Xfn::AccumulateRowStatistics(pre, n, type, buf.data(), nd);
        Sequential(preSeq, type, buf, nd);
        ExpectSameRecord(pre, preSeq);
    }
    // Types without a worker, and a null buffer, leave the record as it was.
    const uint8_t raw[64] = {1, 2, 3};
    for (int type : {0, 7, 8, 17, 18, 22, 25, 28, 33, 34, -1}) {
        XStatAccum acc{};
        acc.min0 = 7;
        Xfn::AccumulateRowStatistics(acc, 2, type, raw, NAN_REAL64);
        EXPECT_EQ(acc.count, 0u);
        EXPECT_EQ(acc.min0, 7) << type;
        EXPECT_FALSE(Xfn::IsStatisticsType(type));
    }
    XStatAccum acc{};
    acc.min0 = 7;
    Xfn::AccumulateRowStatistics(acc, 2, XDT_UINT08, nullptr, NAN_REAL64);
    EXPECT_EQ(acc.min0, 7);
}

TEST(GridStatistics, IncrementalAccumulationNoDataAndSmallCounts)
{
    const uint8_t u8[] = {1, 2, 3, 0};
    XStatAccum one{}, two{};
    Xfn::AccumulateRowStatistics(one, 4, XDT_UINT08, u8, 0);
    EXPECT_EQ(one.count, 3u);
    double mx, mn, mean, sd;
    Xfn::FinishStatistics(one, mx, mn, mean, sd);
    EXPECT_EQ(mn, 1);
    EXPECT_EQ(mx, 3);
    EXPECT_EQ(mean, 2);
    EXPECT_EQ(sd, 1);
    Xfn::AccumulateRowStatistics(two, 2, XDT_UINT08, u8, 0);
    Xfn::AccumulateRowStatistics(two, 2, XDT_UINT08, u8 + 2, 0);
    ExpectSameRecord(one, two);

    // Splitting keeps the order of additions, so real sums agree bit for bit.
    std::mt19937_64 rng(7);
    for (int type : {XDT_REAL32, XDT_UINT16, XDT_SINT08C}) {
        const auto buf = RandomSamples(type, 777, rng);
        XStatAccum whole{}, parts{};
        Xfn::AccumulateRowStatistics(whole, 777, type, buf.data(), NAN_REAL64);
        for (int start = 0, len = 1; start < 777; start += len, len = len * 3 + 1)
            Xfn::AccumulateRowStatistics(parts, std::min(len, 777 - start), type,
                                         buf.data() + size_t(start) * DATASIZE[type], NAN_REAL64);
        ExpectSameRecord(whole, parts);
    }

    // A complex pair contributes its magnitude.
    const float c32[] = {3, 4, -6, 8};
    const int8_t c8[] = {-3, -4};
    XStatAccum c{};
    Xfn::AccumulateRowStatistics(c, 2, XDT_REAL32C, c32, NAN_REAL64);
    Xfn::AccumulateRowStatistics(c, 1, XDT_SINT08C, c8, NAN_REAL64);
    EXPECT_EQ(c.count, 3u);
    EXPECT_EQ(c.sum0, 20);
    EXPECT_EQ(c.max0, 10);
    EXPECT_EQ(c.min0, 5);

    // All samples noData: the record is initialised but counts nothing; one
    // sample gives a deviation of NaN, none a mean of NaN.
    XStatAccum none{};
    Xfn::AccumulateRowStatistics(none, 1, XDT_UINT08, u8 + 3, 0);
    EXPECT_EQ(none.count, 0u);
    EXPECT_EQ(none.min0, 1.7e308);
    EXPECT_EQ(none.max0, -1.7e308);
    Xfn::FinishStatistics(none, mx, mn, mean, sd);
    EXPECT_TRUE(std::isnan(mean));
    Xfn::AccumulateRowStatistics(none, 1, XDT_UINT08, u8, 0);
    Xfn::FinishStatistics(none, mx, mn, mean, sd);
    EXPECT_EQ(mean, 1);
    EXPECT_TRUE(std::isnan(sd));
}

TEST(GridStatistics, PairedChannelsCovarianceAndCorrelation)
{
    // Two planes of 6 x 4 samples; the offset counts samples, so the same
    // offset pairs the planes for a one-byte and an eight-byte type.
    const int w = 6, h = 4, n = w * h;
    std::mt19937_64 rng(3);
    std::normal_distribution<double> g(0, 10);
    std::vector<double> xs(2 * n);
    for (int i = 0; i < n; ++i) {
        xs[i] = std::round(g(rng)) + 50;
        xs[n + i] = std::round(0.5 * xs[i] + g(rng)) + 60;  // correlated with x
    }
    xs[3] = 0;       // x is noData: pair skipped
    xs[n + 7] = 0;   // y is noData: pair skipped
    std::vector<uint8_t> u8(2 * n);
    for (int i = 0; i < 2 * n; ++i) u8[i] = uint8_t(std::clamp(xs[i], 0.0, 255.0));
    std::vector<double> d(u8.begin(), u8.end());

    long double sx = 0, sy = 0, m = 0;
    for (int i = 0; i < n; ++i)
        if (d[i] != 0 && d[n + i] != 0) { sx += d[i]; sy += d[n + i]; ++m; }
    const long double mx = sx / m, my = sy / m;
    long double cxy = 0, cxx = 0, cyy = 0;
    for (int i = 0; i < n; ++i)
        if (d[i] != 0 && d[n + i] != 0) {
            cxy += (d[i] - mx) * (d[n + i] - my);
            cxx += (d[i] - mx) * (d[i] - mx);
            cyy += (d[n + i] - my) * (d[n + i] - my);
        }
    const double cov = double(cxy / (m - 1)), cor = double(cxy / std::sqrt(cxx * cyy));

    XStatAccum a8{}, a64{};
    Xfn::AccumulateStatistics(a8, u8.data(), n, XDT_UINT08, 0, w, h);
    Xfn::AccumulateStatistics(a64, d.data(), n, XDT_REAL64, 0, w, h);
    for (const XStatAccum* a : {&a8, &a64}) {
        EXPECT_EQ(a->count, uint64_t(m));
        EXPECT_NEAR(Xfn::CalcCovariance(*a), cov, 1e-9 * std::fabs(cov));
        EXPECT_NEAR(Xfn::CalcCorrelation(*a), cor, 1e-9);
        EXPECT_NEAR(a->sum1, double(sy), 0);
    }
    EXPECT_GT(Xfn::CalcCorrelation(a8), 0.2);

    // Offset 1 pairs each sample with its right-hand neighbour (the buffer
    // holds one extra sample); a constant x gives correlation 0.
    const int16_t s16[] = {5, 5, 5, 5, -7};
    XStatAccum flat{};
    Xfn::AccumulateStatistics(flat, s16, 1, XDT_SINT16, NAN_REAL64, 4, 1);
    EXPECT_EQ(flat.count, 4u);
    EXPECT_EQ(flat.sum1, 8);
    EXPECT_EQ(flat.min1, -7);
    EXPECT_EQ(flat.sumProd, 40);
    EXPECT_EQ(Xfn::CalcCorrelation(flat), 0);
    // Offset 0 is the single-channel accumulation of the whole buffer.
    XStatAccum single{}, row{};
    Xfn::AccumulateStatistics(single, d.data(), 0, XDT_REAL64, 0, w, h);
    Xfn::AccumulateRowStatistics(row, n, XDT_REAL64, d.data(), 0);
    ExpectSameRecord(single, row);
    EXPECT_EQ(single.count, uint64_t(n - 1));
}

TEST(GridStatistics, HistogramBinEdgesRangesAndRebinning)
{
    // Missing range on bytes: bins are the byte values.
    const uint8_t u8[] = {0, 1, 50, 100, 200, 255, 255};
    XHistAccum h{};
    Xfn::AccumulateRowHistogram(h, 7, XDT_UINT08, u8, NAN_REAL64);
    EXPECT_EQ(h.total, 7u);
    EXPECT_EQ((h.lo), 0);
    EXPECT_EQ((h.hi), 255);
    EXPECT_EQ(h.bins[0] + h.bins[1] + h.bins[50] + h.bins[100] + h.bins[200], 5u);
    EXPECT_EQ(h.bins[255], 2u);
    // Range [0, 100]: 100 and above in bin 255, 50 in bin 128, 1 in bin 2.
    XHistAccum r{};
    Xfn::AccumulateHistogram(u8, 7, r, XDT_UINT08, 200, 0, 100);
    EXPECT_EQ(r.total, 6u);
    EXPECT_EQ(r.bins[0], 1u);
    EXPECT_EQ(r.bins[2], 1u);
    EXPECT_EQ(r.bins[128], 1u);
    EXPECT_EQ(r.bins[255], 3u);
    // Values below lo count in bin 0.
    const double below[] = {-5, 10, 9.99};
    XHistAccum b{};
    Xfn::AccumulateHistogram(below, 3, b, XDT_REAL64, NAN_REAL64, 0, 10);
    EXPECT_EQ(b.bins[0], 1u);
    EXPECT_EQ(b.bins[255], 2u);

    // {1, 2} sets [1, 2]; {3, 4} widens to [1, 4] and moves the old counts by
    // their bin centres (bin 0 stays 0, bin 255 moves to 85).
    const double d[] = {1, 2, 3, 4};
    XHistAccum w{};
    Xfn::AccumulateRowHistogram(w, 2, XDT_REAL64, d, NAN_REAL64);
    EXPECT_EQ((w.lo), 1);
    EXPECT_EQ((w.hi), 2);
    EXPECT_EQ(w.bins[255], 1u);
    Xfn::AccumulateRowHistogram(w, 2, XDT_REAL64, d + 2, NAN_REAL64);
    EXPECT_EQ((w.lo), 1);
    EXPECT_EQ((w.hi), 4);
    EXPECT_EQ(w.total, 4u);
    EXPECT_EQ(w.bins[0], 1u);
    EXPECT_EQ(w.bins[85], 1u);
    EXPECT_EQ(w.bins[170], 1u);
    EXPECT_EQ(w.bins[255], 1u);

    // Rebinning over many growing chunks keeps the total equal to the
    // accepted samples.
    std::mt19937_64 rng(11);
    XHistAccum g{};
    uint64_t accepted = 0;
    for (int k = 1; k <= 40; ++k) {
        std::uniform_real_distribution<float> u(-float(k * k), float(k));
        std::vector<float> v(97);
        for (auto& x : v) x = u(rng);
        v[3] = 0.5f;
        accepted += 96;  // sample 3 is noData
        Xfn::AccumulateRowHistogram(g, 97, XDT_REAL32, v.data(), 0.5);
        uint64_t sum = 0;
        for (uint64_t c : g.bins) sum += c;
        ASSERT_EQ(sum, g.total);
    }
    EXPECT_EQ(g.total, accepted);
    EXPECT_LE(g.lo, -1000.0);

    // All samples equal: lo = hi and every sample counts in bin 0. All noData:
    // the empty range, nothing counted.
    const int32_t same[] = {9, 9, 9};
    XHistAccum e{};
    Xfn::AccumulateRowHistogram(e, 3, XDT_SINT32, same, NAN_REAL64);
    EXPECT_EQ(e.bins[0], 3u);
    EXPECT_EQ((e.lo), 9);
    XHistAccum z{};
    Xfn::AccumulateRowHistogram(z, 3, XDT_SINT32, same, 9);
    EXPECT_EQ(z.total, 0u);
    EXPECT_GT(z.lo, z.hi);
}

TEST(GridStatistics, EightBitFastPathsMatchTheGeneralPath)
{
    std::mt19937_64 rng(5);
    std::vector<uint8_t> bytes(3001);
    for (auto& v : bytes) v = uint8_t(rng());
    std::vector<double> asU(bytes.begin(), bytes.end()), asS;
    for (uint8_t v : bytes) asS.push_back(int8_t(v));
    for (double nd : {NAN_REAL64, 17.0, -3.0}) {
        XHistAccum fast{}, gray{}, general{}, sfast{}, sgeneral{};
        Xfn::AccumulateRowHistogram(fast, 3001, XDT_UINT08, bytes.data(), nd);
        Xfn::AccumulateRowHistogram(gray, 3001, XDT_GRAY, bytes.data(), nd);
        Xfn::AccumulateHistogram(asU.data(), 3001, general, XDT_REAL64, nd, 0, 255);
        Xfn::AccumulateRowHistogram(sfast, 3001, XDT_SINT08, bytes.data(), nd);
        Xfn::AccumulateHistogram(asS.data(), 3001, sgeneral, XDT_REAL64, nd, -128, 127);
        EXPECT_EQ(fast.total, general.total);
        EXPECT_EQ(sfast.total, sgeneral.total);
        for (int k = 0; k < 256; ++k) {
            ASSERT_EQ(fast.bins[k], general.bins[k]) << k;
            ASSERT_EQ(gray.bins[k], general.bins[k]) << k;
            ASSERT_EQ(sfast.bins[k], sgeneral.bins[k]) << k;
        }
    }
    // Complex bytes count their magnitude truncated, at or above the top in 255.
    const uint8_t uc[] = {3, 4, 200, 200, 0, 1};
    const int8_t sc[] = {-3, 4, -128, -128};
    XHistAccum cu{}, cs{};
    Xfn::AccumulateRowHistogram(cu, 3, XDT_UINT08C, uc, NAN_REAL64);
    EXPECT_EQ(cu.bins[5] + cu.bins[255] + cu.bins[1], 3u);
    Xfn::AccumulateRowHistogram(cs, 2, XDT_SINT08C, sc, NAN_REAL64);
    EXPECT_EQ(cs.bins[133], 1u);
    EXPECT_EQ(cs.bins[255], 1u);
}

TEST(GridStatistics, StretchRangesOnSkewedHistograms)
{
    uint64_t bins[256] = {};
    bins[0] = bins[255] = 100000;  // ignored
    for (int i = 90; i <= 99; ++i) bins[i] = 10;
    bins[100] = 100;  // the median bin
    for (int j = 101; j <= 150; ++j) bins[j] = 2;
    double lo, hi;
    Xfn::GetStretchRange(bins, 0, 255, 100, 100, lo, hi);
    EXPECT_DOUBLE_EQ(lo, 90.5);
    EXPECT_DOUBLE_EQ(hi, 148.5);
    Xfn::GetStretchRange2(bins, 0, 255, 100, 100, lo, hi);
    EXPECT_DOUBLE_EQ(lo, 90.2);
    EXPECT_DOUBLE_EQ(hi, 149.0);
    // Positions map onto the histogram's range.
    Xfn::GetStretchRange(bins, -10, 500, 100, 1000, lo, hi);
    EXPECT_DOUBLE_EQ(lo, -10 + 90.5 / 255 * 510);
    EXPECT_DOUBLE_EQ(hi, -10 + 148.5 / 255 * 510);
    // Limited by mean -+ K sigma.
    Xfn::GetStretchRange(bins, 0, 255, 120, 5, lo, hi);
    EXPECT_EQ(lo, 110);
    EXPECT_EQ(hi, 130);
    Xfn::GetStretchRange2(bins, 0, 255, 120, 5, lo, hi);
    EXPECT_EQ(lo, 105);
    EXPECT_EQ(hi, 135);
    // All counts in one bin: neither side reaches the threshold.
    uint64_t one[256] = {};
    one[60] = 1000;
    Xfn::GetStretchRange(one, 0, 255, 60, 1000, lo, hi);
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 255);
    Xfn::GetStretchRange2(one, 0, 255, 60, 4, lo, hi);
    EXPECT_EQ(lo, 48);
    EXPECT_EQ(hi, 72);
}

TEST(GridStatistics, GridRectanglesAndInPlaceReadsEqualTheCopyPath)
{
    std::mt19937_64 rng(9);
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_REAL32, XDT_REAL64C, XDT_UINT32C, XDT_GRAY}) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        XGrid g(7, 9, type);
        const auto buf = RandomSamples(type, 63, rng);
        std::memcpy(g.GetData(), buf.data(), buf.size());
        if (type == XDT_REAL32) {  // values a copy through SetValue clamps
            const float extreme[] = {FLT_MAX, -std::numeric_limits<float>::infinity(), 3.4e38f};
            std::memcpy(g.GetData() + 4 * 10, extreme, sizeof extreme);
        }
        const SamplesElsewhere e(g);
        const double nd = g.GetAsREAL64(2, 2);
        const int rects[][4] = {{1, 0, 5, 2}, {-3, 4, 2, 100}, {2, 2, 0, 8}, {6, 20, -1, -1}, {8, 9, 0, 3}};
        for (const auto& rc : rects) {
            const GridStats a = Stats(g, rc[0], rc[1], rc[2], rc[3], nd);
            const GridStats b = Stats(e, rc[0], rc[1], rc[2], rc[3], nd);
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
            // The same rectangle by hand: clipped, R1 > R2 meaning all rows.
            const int r1 = rc[0] > rc[1] ? 0 : std::max(rc[0], 0), r2 = rc[0] > rc[1] ? 6 : std::min(rc[1], 6);
            const int c1 = rc[2] > rc[3] ? 0 : std::max(rc[2], 0), c2 = rc[2] > rc[3] ? 8 : std::min(rc[3], 8);
            XStatAccum acc{};
            acc.min0 = 1.7e308;
            acc.max0 = -1.7e308;
            XGrid row;
            for (int r = r1; r <= r2 && c1 <= c2; ++r) {
                ASSERT_TRUE(g.GetSubset(&row, r, r, c1, c2));
                Xfn::AccumulateRowStatistics(acc, c2 - c1 + 1, type, row.GetData(), nd);
            }
            EXPECT_EQ(a.n, acc.count);
            EXPECT_EQ(a.mn, acc.min0);
            EXPECT_EQ(a.mx, acc.max0);
            if (acc.count > 1) {
                EXPECT_EQ(a.mean, acc.sum0 / double(acc.count));
            }
        }
    }
    // A UINT08 grid: histogram counts are the byte values, noData excluded.
    XGrid u(2, 3, XDT_UINT08);
    const uint8_t px[] = {4, 4, 9, 0, 255, 4};
    std::memcpy(u.GetData(), px, 6);
    const GridStats s = Stats(u, 1, 0, 1, 0, 0);
    EXPECT_EQ(s.n, 5u);
    EXPECT_EQ(s.hist[4], 3u);
    EXPECT_EQ(s.hist[0], 0u);
    EXPECT_EQ(s.hist[255], 1u);
    EXPECT_EQ(s.mn, 4);
    EXPECT_EQ(s.mx, 255);
    EXPECT_DOUBLE_EQ(s.mean, 276.0 / 5);
    // An empty grid, or a rectangle outside the grid, accepts nothing.
    const GridStats none = Stats(XGrid(), 1, 0, 1, 0, 0);
    EXPECT_EQ(none.n, 0u);
    EXPECT_EQ(none.mn, 1.7e308);
    EXPECT_TRUE(std::isnan(none.mean));
    EXPECT_EQ(Stats(u, 5, 9, 0, 2, NAN_REAL64).n, 0u);
    XGrid c64(2, 2, XDT_UINT64);
    EXPECT_EQ(Stats(c64, 1, 0, 1, 0, NAN_REAL64).n, 0u);
}

TEST(GridStatistics, ByteSumsAgreeOnEveryVectorUnit)
{
    // Lengths across the vector widths and the 255-vector blocks, unaligned
    // starts, and skipped values that occur, that do not, and none.
    std::mt19937_64 rng(13);
    std::vector<uint8_t> buf(20000);
    for (auto& b : buf) b = uint8_t(rng());
    std::fill(buf.begin() + 100, buf.begin() + 9000, uint8_t(200));  // long runs fill whole lanes
    for (int64_t n : {0, 1, 15, 16, 31, 33, 255 * 16 + 7, 255 * 32 + 1, 19990})
        for (int start : {0, 1, 5})
            for (int skip : {-1, 200, 0, 77}) {
                SCOPED_TRACE(::testing::Message() << n << " " << start << " " << skip);
                const auto ref = ByteSums::SumWith(buf.data() + start, n, skip, 0);
                for (int level : {1, 2}) {
                    const auto got = ByteSums::SumWith(buf.data() + start, n, skip, level);
                    EXPECT_EQ(got.sum, ref.sum);
                    EXPECT_EQ(got.sumSq, ref.sumSq);
                    EXPECT_EQ(got.skipped, ref.skipped);
                    EXPECT_EQ(got.min, ref.min);
                    EXPECT_EQ(got.max, ref.max);
                }
            }
    std::vector<uint8_t> all200(5000, 200);  // every byte skipped: neutral extremes
    const auto none = ByteSums::Sum(all200.data(), 5000, 200);
    EXPECT_EQ(none.skipped, 5000u);
    EXPECT_EQ(none.min, 255);
    EXPECT_EQ(none.max, 0);
}
