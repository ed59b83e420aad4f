// Sample statistics and histograms: every type against a two-pass long double
// computation, integer fast paths against the plain sequential loop, pairing,
// histogram edges and rebinning, stretch ranges and grid rectangles.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>

#include "../../core/grid/XByteSums.h"
#include "../../core/platform/XCpu.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <random>
#include <tuple>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

const int kStatTypes[] = {1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 21};

template <class T> double Get(const uint8_t* p) { T v; std::memcpy(&v, p, sizeof v); return double(v); }

/// The value a sample contributes, decoded independently of the library.
double SampleValue(int type, const uint8_t* p)
{
    auto comp = [&](int off) -> double {
        switch (type) {
        case 1: case 11: case 21: return p[off];
        case 2: case 12: return static_cast<int8_t>(p[off]);
        case 3: case 13: return Get<uint16_t>(p + off);
        case 4: case 14: return Get<int16_t>(p + off);
        case 5: case 15: return Get<uint32_t>(p + off);
        case 6: case 16: return Get<int32_t>(p + off);
        case 9: case 19: return Get<float>(p + off);
        default: return Get<double>(p + off);
        }
    };
    if (type < 11 || type == 21) return comp(0);
    return std::hypot(comp(0), comp(DATASIZE[type] / 2));
}

/// Integers over their whole range, reals in [-1000, 1000].
std::vector<uint8_t> RandomSamples(int type, int n, std::mt19937_64& rng)
{
    std::vector<uint8_t> buf(size_t(n) * DATASIZE[type]);
    const bool single = type == 9 || type == 19, dbl = type == 10 || type == 20;
    std::uniform_real_distribution<double> u(-1000, 1000);
    for (size_t off = 0; off < buf.size(); off += single ? 4 : dbl ? 8 : 1) {
        if (single) { float v = float(u(rng)); std::memcpy(&buf[off], &v, 4); }
        else if (dbl) { double v = u(rng); std::memcpy(&buf[off], &v, 8); }
        else buf[off] = uint8_t(rng());
    }
    return buf;
}

/// The accumulation as the plain sequential loop does it.
void Sequential(XStatAccum& a, int type, const std::vector<uint8_t>& buf, double nd)
{
    if (a.count == 0) a = {0, 1.7e308, -1.7e308, 0, 0, 1.7e308, -1.7e308, 0, 0, 0};
    for (size_t off = 0; off < buf.size(); off += DATASIZE[type]) {
        const double x = SampleValue(type, &buf[off]);
        if (x == nd) continue;
        a.min0 = std::min(a.min0, x);
        a.max0 = std::max(a.max0, x);
        a.sum0 += x;
        a.sumSq0 += x * x;
        a.count += 1;
    }
}

auto Key(const XStatAccum& a) { return std::make_tuple(a.count, a.min0, a.max0, a.sum0, a.sumSq0); }

/// A grid without a sample block of its own: every read is virtual.
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

/// The whole grid unless a rectangle is given; without options the form
/// that takes none.
GridStats Stats(const XGrid& g, double nd, int options = -1, std::array<int, 4> rc = {1, 0, 1, 0})
{
    GridStats s{};
    if (options < 0) Xfn::GetStatistics(g, rc[0], rc[1], rc[2], rc[3], nd, s.n, s.mn, s.mx, s.mean, s.sd, s.hist);
    else Xfn::GetStatistics(g, rc[0], rc[1], rc[2], rc[3], nd, options, s.n, s.mn, s.mx, s.mean, s.sd, s.hist);
    return s;
}

uint64_t HistTotal(const GridStats& s) { return std::accumulate(std::begin(s.hist), std::end(s.hist), uint64_t(0)); }

} // namespace

TEST(GridStatistics, EveryTypeAgreesWithTwoPassLongDoubleAndTheSequentialLoop)
{
    std::mt19937_64 rng(42);
    for (int type : kStatTypes) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        const int n = 1003;  // not a multiple of the unrolling
        const auto buf = RandomSamples(type, n, rng);
        const double nd = SampleValue(type, &buf[5 * DATASIZE[type]]);  // occurs in the data
        std::vector<long double> v;
        for (size_t off = 0; off < buf.size(); off += DATASIZE[type])
            if (const double x = SampleValue(type, &buf[off]); x != nd) v.push_back(x);
        long double mean = 0, ss = 0;
        for (long double x : v) mean += x;
        mean /= v.size();
        for (long double x : v) ss += (x - mean) * (x - mean);
        const double refSd = double(std::sqrt(ss / (v.size() - 1)));

        XStatAccum acc{}, seq{};
        Xfn::AccumulateRowStatistics(acc, n, type, buf.data(), nd);
        EXPECT_LT(v.size(), size_t(n));
        EXPECT_EQ(acc.count, v.size());
        EXPECT_EQ(acc.min0, double(*std::min_element(v.begin(), v.end())));
        EXPECT_EQ(acc.max0, double(*std::max_element(v.begin(), v.end())));
        double mx, mn, m, sd;
        Xfn::FinishStatistics(acc, mx, mn, m, sd);
        EXPECT_NEAR(m, double(mean), 1e-12 * (std::fabs(double(mean)) + refSd));
        EXPECT_NEAR(sd, refSd, 1e-9 * refSd);
        // Fast paths give the bits of the sequential loop, also when the record
        // already holds sums that rule out the integer path.
        Sequential(seq, type, buf, nd);
        EXPECT_EQ(Key(acc), Key(seq));
        XStatAccum pre{}, preSeq{};
        const double half = 0.5;
        Xfn::AccumulateRowStatistics(pre, 1, XDT_REAL64, &half, NAN_REAL64);
        Xfn::AccumulateRowStatistics(preSeq, 1, XDT_REAL64, &half, NAN_REAL64);
        Xfn::AccumulateRowStatistics(pre, n, type, buf.data(), nd);
        Sequential(preSeq, type, buf, nd);
        EXPECT_EQ(Key(pre), Key(preSeq));
        // Splitting keeps the order of additions, so real sums agree bit for bit.
        XStatAccum parts{};
        for (int start = 0, len = 1; start < n; start += len, len = len * 3 + 1)
            Xfn::AccumulateRowStatistics(parts, std::min(len, n - start), type, &buf[size_t(start) * DATASIZE[type]], nd);
        EXPECT_EQ(Key(parts), Key(acc));
    }
    // Types without a worker, and a null buffer, leave the record as it was.
    const uint8_t raw[64] = {1, 2, 3};
    for (int type : {0, 7, 8, 17, 18, 22, 25, 28, 33, 34, -1, int(XDT_UINT08)}) {
        XStatAccum acc{};
        acc.min0 = 7;
        Xfn::AccumulateRowStatistics(acc, 2, type, type == XDT_UINT08 ? nullptr : raw, NAN_REAL64);
        EXPECT_EQ(acc.count, 0u);
        EXPECT_EQ(acc.min0, 7) << type;
        EXPECT_EQ(Xfn::IsStatisticsType(type), type == XDT_UINT08);
    }
}

TEST(GridStatistics, NoDataOnlyAndSingleSample)
{
    // All noData: initialised, nothing counted, mean NaN; one sample: sd NaN.
    const uint8_t u8[] = {1, 0};
    XStatAccum none{};
    double mx, mn, mean, sd;
    Xfn::AccumulateRowStatistics(none, 1, XDT_UINT08, u8 + 1, 0);
    EXPECT_EQ(std::make_tuple(none.count, none.min0, none.max0), std::make_tuple(uint64_t(0), 1.7e308, -1.7e308));
    Xfn::FinishStatistics(none, mx, mn, mean, sd);
    EXPECT_TRUE(std::isnan(mean));
    Xfn::AccumulateRowStatistics(none, 1, XDT_UINT08, u8, 0);
    Xfn::FinishStatistics(none, mx, mn, mean, sd);
    EXPECT_EQ(std::make_tuple(mean, mn, mx), std::make_tuple(1.0, 1.0, 1.0));
    EXPECT_TRUE(std::isnan(sd));
}

TEST(GridStatistics, PairedChannelsCovarianceAndCorrelation)
{
    // Two 6 x 4 planes; the offset counts samples, so one offset pairs the
    // planes for a one-byte and an eight-byte type.
    const int w = 6, h = 4, n = w * h;
    std::mt19937_64 rng(3);
    std::normal_distribution<double> g(0, 10);
    std::vector<uint8_t> u8(2 * n);
    for (int i = 0; i < n; ++i) {
        const double x = std::round(g(rng)) + 50;
        u8[i] = uint8_t(std::clamp(x, 0.0, 255.0));
        u8[n + i] = uint8_t(std::clamp(std::round(0.5 * x + g(rng)) + 60, 0.0, 255.0));  // correlated
    }
    u8[3] = u8[n + 7] = 0;  // noData in x, in y: both pairs skipped
    const std::vector<double> d(u8.begin(), u8.end());

    long double sx = 0, sy = 0, m = 0, cxy = 0, cxx = 0, cyy = 0;
    auto both = [&](int i) { return d[i] != 0 && d[n + i] != 0; };
    for (int i = 0; i < n; ++i)
        if (both(i)) { sx += d[i]; sy += d[n + i]; ++m; }
    for (int i = 0; i < n; ++i)
        if (both(i)) {
            cxy += (d[i] - sx / m) * (d[n + i] - sy / m);
            cxx += (d[i] - sx / m) * (d[i] - sx / m);
            cyy += (d[n + i] - sy / m) * (d[n + i] - sy / m);
        }
    const double cov = double(cxy / (m - 1)), cor = double(cxy / std::sqrt(cxx * cyy));
    EXPECT_GT(cor, 0.2);

    XStatAccum a8{}, a64{};
    Xfn::AccumulateStatistics(a8, u8.data(), n, XDT_UINT08, 0, w, h);
    Xfn::AccumulateStatistics(a64, d.data(), n, XDT_REAL64, 0, w, h);
    for (const XStatAccum* a : {&a8, &a64}) {
        EXPECT_EQ(a->count, uint64_t(m));
        EXPECT_NEAR(Xfn::CalcCovariance(*a), cov, 1e-9 * std::fabs(cov));
        EXPECT_NEAR(Xfn::CalcCorrelation(*a), cor, 1e-9);
        EXPECT_EQ(a->sum1, double(sy));
    }

    // Offset 1 pairs each sample with its right-hand neighbour (one extra
    // sample in the buffer); a constant x gives correlation 0.
    const int16_t s16[] = {5, 5, 5, 5, -7};
    XStatAccum flat{};
    Xfn::AccumulateStatistics(flat, s16, 1, XDT_SINT16, NAN_REAL64, 4, 1);
    EXPECT_EQ(std::make_tuple(flat.count, flat.sum1, flat.min1, flat.sumProd),
              std::make_tuple(uint64_t(4), 8.0, -7.0, 40.0));
    EXPECT_EQ(Xfn::CalcCorrelation(flat), 0);
    // Offset 0 is the single-channel accumulation of the whole buffer.
    XStatAccum single{}, row{};
    Xfn::AccumulateStatistics(single, d.data(), 0, XDT_REAL64, 0, w, h);
    Xfn::AccumulateRowStatistics(row, n, XDT_REAL64, d.data(), 0);
    EXPECT_EQ(Key(single), Key(row));
    EXPECT_EQ(single.count, uint64_t(n - 1));
}

TEST(GridStatistics, HistogramBinEdgesRangesAndRebinning)
{
    auto bins = [](const XHistAccum& a, std::initializer_list<int> ks) {
        std::vector<uint64_t> v;
        for (int k : ks) v.push_back(a.bins[k]);
        return v;
    };
    using V = std::vector<uint64_t>;
    // No range on bytes: bins are the byte values.
    const uint8_t u8[] = {0, 1, 50, 100, 200, 255, 255};
    XHistAccum h{}, r{}, b{};
    Xfn::AccumulateRowHistogram(h, 7, XDT_UINT08, u8, NAN_REAL64);
    EXPECT_EQ(std::make_tuple(h.total, h.lo, h.hi), std::make_tuple(uint64_t(7), 0.0, 255.0));
    EXPECT_EQ(bins(h, {0, 1, 50, 100, 200, 255}), (V{1, 1, 1, 1, 1, 2}));
    // Range [0, 100], 200 is noData: 100 and above in bin 255, below lo in 0.
    Xfn::AccumulateHistogram(u8, 7, r, XDT_UINT08, 200, 0, 100);
    EXPECT_EQ(r.total, 6u);
    EXPECT_EQ(bins(r, {0, 2, 128, 255}), (V{1, 1, 1, 3}));
    const double below[] = {-5, 10, 9.99};
    Xfn::AccumulateHistogram(below, 3, b, XDT_REAL64, NAN_REAL64, 0, 10);
    EXPECT_EQ(bins(b, {0, 255}), (V{1, 2}));

    // {1, 2} sets [1, 2]; {3, 4} widens to [1, 4] and moves old counts by
    // their bin centres (bin 0 stays, bin 255 moves to 85).
    const double d[] = {1, 2, 3, 4};
    XHistAccum w{};
    Xfn::AccumulateRowHistogram(w, 2, XDT_REAL64, d, NAN_REAL64);
    EXPECT_EQ(std::make_tuple(w.lo, w.hi, w.bins[255]), std::make_tuple(1.0, 2.0, uint64_t(1)));
    Xfn::AccumulateRowHistogram(w, 2, XDT_REAL64, d + 2, NAN_REAL64);
    EXPECT_EQ(std::make_tuple(w.lo, w.hi, w.total), std::make_tuple(1.0, 4.0, uint64_t(4)));
    EXPECT_EQ(bins(w, {0, 85, 170, 255}), (V{1, 1, 1, 1}));

    // Rebinning over many growing chunks keeps the total equal to the
    // accepted samples (sample 3 is noData).
    std::mt19937_64 rng(11);
    XHistAccum g{};
    for (int k = 1; k <= 40; ++k) {
        std::uniform_real_distribution<float> u(-float(k * k), float(k));
        std::vector<float> v(97);
        for (auto& x : v) x = u(rng);
        v[3] = 0.5f;
        Xfn::AccumulateRowHistogram(g, 97, XDT_REAL32, v.data(), 0.5);
        uint64_t sum = 0;
        for (uint64_t c : g.bins) sum += c;
        ASSERT_EQ(sum, g.total);
    }
    EXPECT_EQ(g.total, 40u * 96);
    EXPECT_LE(g.lo, -1000.0);

    // All equal: lo = hi, all in bin 0. All noData: empty range, none counted.
    const int32_t same[] = {9, 9, 9};
    XHistAccum e{}, z{};
    Xfn::AccumulateRowHistogram(e, 3, XDT_SINT32, same, NAN_REAL64);
    EXPECT_EQ(std::make_tuple(e.bins[0], e.lo), std::make_tuple(uint64_t(3), 9.0));
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
    EXPECT_EQ(std::make_tuple(cs.bins[133], cs.bins[255]), std::make_tuple(uint64_t(1), uint64_t(1)));
}

TEST(GridStatistics, StretchRangesOnSkewedHistograms)
{
    uint64_t bins[256] = {}, one[256] = {};
    bins[0] = bins[255] = 100000;  // ignored
    for (int i = 90; i <= 99; ++i) bins[i] = 10;
    bins[100] = 100;  // the median bin
    for (int j = 101; j <= 150; ++j) bins[j] = 2;
    one[60] = 1000;  // all in one bin: neither side reaches the threshold
    // {second form?, histogram, histogram range, mean, K, expected lo, hi}
    const struct { bool two; const uint64_t* h; double lo, hi, mean, k, elo, ehi; } cases[] = {
        {false, bins, 0, 255, 100, 100, 90.5, 148.5},
        {true, bins, 0, 255, 100, 100, 90.2, 149.0},
        {false, bins, -10, 500, 100, 1000, -10 + 90.5 / 255 * 510, -10 + 148.5 / 255 * 510},
        {false, bins, 0, 255, 120, 5, 110, 130},  // limited by mean -+ K sigma
        {true, bins, 0, 255, 120, 5, 105, 135},
        {false, one, 0, 255, 60, 1000, 0, 255},
        {true, one, 0, 255, 60, 4, 48, 72},
    };
    for (const auto& c : cases) {
        double lo, hi;
        (c.two ? Xfn::GetStretchRange2 : Xfn::GetStretchRange)(c.h, c.lo, c.hi, c.mean, c.k, lo, hi);
        EXPECT_DOUBLE_EQ(lo, c.elo) << c.two << " " << c.mean << " " << c.k;
        EXPECT_DOUBLE_EQ(hi, c.ehi) << c.two << " " << c.mean << " " << c.k;
    }
}

TEST(GridStatistics, GridRectanglesAndInPlaceReadsEqualTheCopyPath)
{
    std::mt19937_64 rng(9);
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_REAL32, XDT_REAL64C, XDT_UINT32C, XDT_GRAY}) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        XGrid g(7, 9, type);
        const auto buf = RandomSamples(type, 63, rng);
        std::memcpy(g.GetData(), buf.data(), buf.size());
        if (type == XDT_REAL32) {  // finite values a copy through SetValue clamps
            const float extreme[] = {FLT_MAX, -FLT_MAX, 3.4e38f};
            std::memcpy(g.GetData() + 4 * 10, extreme, sizeof extreme);
        }
        const SamplesElsewhere e(g);
        const double nd = g.GetAsREAL64(2, 2);
        const std::array<int, 4> rects[] = {{1, 0, 5, 2}, {-3, 4, 2, 100}, {2, 2, 0, 8}, {6, 20, -1, -1}, {8, 9, 0, 3}};
        for (const auto& rc : rects) {
            const GridStats a = Stats(g, nd, -1, rc), b = Stats(e, nd, -1, rc);
            EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
            // The same rectangle by hand: clipped, R1 > R2 meaning all rows.
            const int r1 = rc[0] > rc[1] ? 0 : std::max(rc[0], 0), r2 = rc[0] > rc[1] ? 6 : std::min(rc[1], 6);
            const int c1 = rc[2] > rc[3] ? 0 : std::max(rc[2], 0), c2 = rc[2] > rc[3] ? 8 : std::min(rc[3], 8);
            XStatAccum acc{0, 1.7e308, -1.7e308};
            XGrid row;
            for (int r = r1; r <= r2 && c1 <= c2; ++r) {
                ASSERT_TRUE(g.GetSubset(&row, r, r, c1, c2));
                Xfn::AccumulateRowStatistics(acc, c2 - c1 + 1, type, row.GetData(), nd);
            }
            EXPECT_EQ(std::make_tuple(a.n, a.mn, a.mx), std::make_tuple(acc.count, acc.min0, acc.max0));
            if (acc.count > 1) {
                EXPECT_EQ(a.mean, acc.sum0 / double(acc.count));
            }
        }
    }
    // Infinite samples read in place are the extremes, not the type's bounds;
    // equal samples deviate by exactly 0, whatever the sums' rounding.
    XGrid inf(1, 3, XDT_REAL32), flat(7, 3, XDT_REAL64);
    const float iv[] = {1.0f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    std::memcpy(inf.GetData(), iv, sizeof iv);
    const std::vector<double> tenths(21, 0.1);
    std::memcpy(flat.GetData(), tenths.data(), 21 * sizeof(double));
    const GridStats si = Stats(inf, 0), sf = Stats(flat, 0);
    EXPECT_EQ(std::make_tuple(si.mn, si.mx, sf.sd), std::make_tuple(-HUGE_VAL, HUGE_VAL, 0.0));
    // UINT08: histogram counts are the byte values, noData excluded.
    XGrid u(2, 3, XDT_UINT08);
    const uint8_t px[] = {4, 4, 9, 0, 255, 4};
    std::memcpy(u.GetData(), px, 6);
    const GridStats s = Stats(u, 0);
    EXPECT_EQ(std::make_tuple(s.n, s.hist[4], s.hist[0], s.hist[255], s.mn, s.mx),
              std::make_tuple(uint64_t(5), uint64_t(3), uint64_t(0), uint64_t(1), 4.0, 255.0));
    // An empty grid, a rectangle outside, or an unsupported type accept nothing.
    const GridStats none = Stats(XGrid(), 0);
    EXPECT_EQ(std::make_tuple(none.n, none.mn, none.mx), std::make_tuple(uint64_t(0), 1.7e308, -1.7e308));
    EXPECT_TRUE(std::isnan(none.mean) && std::isnan(none.sd));
    EXPECT_EQ(Stats(u, NAN_REAL64, -1, {5, 9, 0, 2}).n, 0u);
    EXPECT_EQ(Stats(XGrid(2, 2, XDT_UINT64), NAN_REAL64).n, 0u);
}

TEST(GridStatistics, RectangleRecordsMergeIntoTheWholeGrid)
{
    // The merged records of the parts are the whole grid's record, exactly
    // for integers (exact sums), to rounding for reals.
    std::mt19937_64 rng(21);
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_REAL32, XDT_REAL64}) {
        SCOPED_TRACE(::testing::Message() << "type " << type);
        XGrid g(37, 23, type);
        const auto buf = RandomSamples(type, 37 * 23, rng);
        std::memcpy(g.GetData(), buf.data(), buf.size());
        if (type == XDT_REAL32) {  // a NaN, left out with XSTAT_SKIP_NAN
            const float nan = std::numeric_limits<float>::quiet_NaN();
            std::memcpy(g.GetData() + 4 * 40, &nan, 4);
        }
        const double nd = g.GetAsREAL64(5, 5);
        XStatAccum whole{}, merged{};
        Xfn::AccumulateGridStatistics(whole, g, 1, 0, 1, 0, nd, XSTAT_ALL);
        const int cuts[][4] = {{0, 15, 0, 9}, {0, 15, 10, 22}, {16, 36, 0, 22}};
        for (const auto& c : cuts) {
            XStatAccum part{};
            Xfn::AccumulateGridStatistics(part, g, c[0], c[1], c[2], c[3], nd, XSTAT_ALL);
            EXPECT_GT(part.count, 0u);
            Xfn::MergeStatistics(merged, part);
        }
        const GridStats s = Stats(g, nd, XSTAT_ALL);
        EXPECT_EQ(std::make_tuple(whole.count, whole.min0, whole.max0), std::make_tuple(s.n, s.mn, s.mx));
        EXPECT_EQ(std::make_tuple(merged.count, merged.min0, merged.max0), std::make_tuple(s.n, s.mn, s.mx));
        EXPECT_LT(s.n, 37u * 23u);  // the no-data sample (and the NaN) left out
        if (type == XDT_UINT08 || type == XDT_SINT16) {
            EXPECT_EQ(std::make_tuple(merged.sum0, merged.sumSq0), std::make_tuple(whole.sum0, whole.sumSq0));
        } else {
            EXPECT_NEAR(merged.sum0, whole.sum0, 1e-12 * std::fabs(whole.sumSq0));
            EXPECT_NEAR(merged.sumSq0, whole.sumSq0, 1e-12 * whole.sumSq0);
        }
    }
    // Empty records change nothing, on either side; the paired channel
    // merges like the first.
    XStatAccum a{}, empty{};
    const double xy[] = {1, 2, 3, 10, 20, 30};
    Xfn::AccumulateStatistics(a, xy, 3, XDT_REAL64, NAN_REAL64, 3, 1);
    XStatAccum b = a;
    Xfn::MergeStatistics(b, empty);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    XStatAccum c{};
    Xfn::MergeStatistics(c, a);
    EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);
    Xfn::MergeStatistics(c, a);
    EXPECT_EQ(std::make_tuple(c.count, c.min1, c.max1, c.sum1, c.sumProd),
              std::make_tuple(uint64_t(6), 10.0, 30.0, 120.0, 2 * (10.0 + 40 + 90)));
}

TEST(GridStatistics, ByteSumsAgreeOnEveryVectorUnit)
{
    // Lengths across the vector widths and 255-vector blocks, unaligned
    // starts, skipped values that occur, that do not, and none; each vector
    // level against the plain loop.
    using XPlatform::CpuLevel;
    const CpuLevel widest = XPlatform::GetCpuLevel();
    std::mt19937_64 rng(13);
    std::vector<uint8_t> buf(20000);
    for (auto& b : buf) b = uint8_t(rng());
    std::fill(buf.begin() + 100, buf.begin() + 9000, uint8_t(200));  // long runs fill whole lanes
    auto key = [](const auto& s) { return std::make_tuple(s.sum, s.sumSq, s.skipped, s.min, s.max); };
    auto sum = [&](CpuLevel level, int64_t n, int start, int skip) {
        XPlatform::CpuLevelLimit limit(level);
        return key(ByteSums::Sum(buf.data() + start, n, skip));
    };
    for (int64_t n : {0, 1, 15, 16, 31, 33, 255 * 16 + 7, 255 * 32 + 1, 19990})
        for (int start : {0, 1, 5})
            for (int skip : {-1, 200, 0, 77}) {
                const auto ref = sum(CpuLevel::Plain, n, start, skip);
                for (CpuLevel level : {CpuLevel::Sse2, CpuLevel::Avx2, CpuLevel::Avx512})
                    EXPECT_EQ(sum(level, n, start, skip), ref)
                        << n << " " << start << " " << skip << " level " << int(level);
            }
    std::vector<uint8_t> all200(5000, 200);  // every byte skipped: neutral extremes
    const auto none = ByteSums::Sum(all200.data(), 5000, 200);
    EXPECT_EQ(std::make_tuple(none.skipped, int(none.min), int(none.max)), std::make_tuple(uint64_t(5000), 255, 0));
    // Each limit ended, the widest level is back (every x86-64 processor has
    // SSE2), or later code would quietly run narrower kernels.
    EXPECT_EQ(XPlatform::GetCpuLevel(), widest);
#ifdef __x86_64__
    EXPECT_GE(widest, CpuLevel::Sse2);
#endif
}

TEST(GridStatistics, OptionsSkipNaNAndCompareNoDataInTheSamplesPrecision)
{
    // REAL32 by hand. Without options a NaN sample is counted (the mean
    // becomes NaN) and a no-data of 0.1 or -3.4e38 misses the float samples
    // nearest it, as the double never equals them. The histogram leaves out
    // the same samples as the statistics.
    const float f01 = 0.1f, fMin = -3.4e38f;
    const float row[] = {1, 2, NAN, f01, 3, fMin, f01, 6};
    XGrid g(1, 8, XDT_REAL32);
    std::memcpy(g.GetData(), row, sizeof row);
    GridStats s = Stats(g, 0.1);
    EXPECT_EQ(s.n, 8u);
    EXPECT_TRUE(std::isnan(s.mean));
    s = Stats(g, 0.1, XSTAT_SKIP_NAN);
    EXPECT_EQ(std::make_tuple(s.n, s.mn), std::make_tuple(uint64_t(7), double(fMin)));  // 0.1f still counted
    s = Stats(g, 0.1, XSTAT_ALL);
    EXPECT_EQ(std::make_tuple(s.n, HistTotal(s), s.mn, s.mx), std::make_tuple(uint64_t(5), uint64_t(5), double(fMin), 6.0));
    EXPECT_DOUBLE_EQ(s.mean, (1 + 2 + 3 + double(fMin) + 6) / 5);
    s = Stats(g, -3.4e38, XSTAT_ALL);  // excludes the float -3.4e38; 0.1f is counted again
    EXPECT_EQ(std::make_tuple(s.n, s.mn), std::make_tuple(uint64_t(6), double(f01)));
    EXPECT_DOUBLE_EQ(s.mean, (1 + 2 + 3 + 6 + 2 * double(f01)) / 6);
    // The lowest float as GDAL writes it, -3.4028234663852886e38, compared
    // before the in-place read clamps it to -3.4e38. (SetValue would clamp
    // it too, so it is placed directly.)
    const float lowest = -FLT_MAX;
    std::memcpy(g.GetData() + 5 * 4, &lowest, 4);
    EXPECT_EQ(Stats(g, -3.4028234663852886e38, XSTAT_NODATA_IN_SAMPLE_PRECISION).n, 7u);  // NaN counted
    EXPECT_EQ(Stats(g, -3.4028234663852886e38).n, 8u);  // clamped first, which the double no-data misses

    // REAL64: the double 0.1 is the sample's own precision, so the float 0.1
    // is not no-data there. Range [-2, 4] from the kept samples: -2 in bin 0,
    // 4 in bin 255, 0.1f at 2.1 / (6 / 256) = 89.6 in bin 89; nothing else.
    XGrid d(2, 3, XDT_REAL64);
    const double dv[] = {0.1, double(f01), NAN, 4, 0.1, -2};
    std::memcpy(d.GetData(), dv, sizeof dv);
    s = Stats(d, 0.1, XSTAT_ALL);
    EXPECT_EQ(std::make_tuple(s.n, s.hist[0], s.hist[89], s.hist[255], HistTotal(s)),
              std::make_tuple(uint64_t(3), uint64_t(1), uint64_t(1), uint64_t(1), uint64_t(3)));
    EXPECT_DOUBLE_EQ(s.mean, (double(f01) + 4 - 2) / 3);

    // REAL32C contributes magnitudes: a NaN part makes the sample NaN, and
    // (0.1f, 0) has the magnitude 0.1f, which the float no-data finds.
    XGrid c(1, 4, XDT_REAL32C);
    const float cv[] = {3, 4, NAN, 1, f01, 0, 6, 8};
    std::memcpy(c.GetData(), cv, sizeof cv);
    s = Stats(c, 0.1, XSTAT_ALL);
    EXPECT_EQ(std::make_tuple(s.n, s.mean), std::make_tuple(uint64_t(2), 7.5));
    EXPECT_EQ(Stats(c, 0.1).n, 4u);

    // Integer samples are compared exactly whatever the options, and the
    // options change nothing else.
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_UINT16}) {
        XGrid ig(3, 5, type);
        for (int i = 0; i < 15; ++i) ig.SetFromREAL64(i / 5, i % 5, i % 4 == 0 ? 7 : i * 3);
        const GridStats ref = Stats(ig, 7), all = Stats(ig, 7, XSTAT_ALL);
        EXPECT_EQ(ref.n, 11u) << type;
        EXPECT_EQ(std::memcmp(&ref, &all, sizeof ref), 0) << type;
    }
}
