// Reading a grid between sample centres: nearest, bilinear and cubic, checked
// against a straightforward reference computation on a snapshot of the samples.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr double N = NAN_REAL64;
using Cell = std::array<double, 4>;

// The samples of a grid as GetValue reports them, read with clamped indices.
struct Snapshot {
    int rows, cols;
    std::vector<Cell> cells;
    explicit Snapshot(const XGrid& g) : rows(g.GetRSize()), cols(g.GetCSize()), cells(rows * cols)
    {
        for (int i = 0; i < rows * cols; ++i) {
            Cell& v = cells[i];
            EXPECT_TRUE(g.GetValue(i / cols, i % cols, v[0], v[1], v[2], v[3]));
        }
    }
    const Cell& At(int r, int c) const { return cells[std::clamp(r, 0, rows - 1) * cols + std::clamp(c, 0, cols - 1)]; }
};

double CubicWeight(double d)
{
    return d < 1 ? 1.5 * d * d * d - 2.5 * d * d + 1 : d < 2 ? -0.5 * d * d * d + 2.5 * d * d - 4 * d + 2 : 0;
}

// Channel a is always computed; b, c, d become the marker when any sample of the window carries it.
Cell Reference(const Snapshot& s, double y, double x, int method)
{
    const int r0 = int(y), c0 = int(x);  // truncation toward zero
    if (method == XINTERP_NEAREST) return s.At(r0, c0);
    const double dy = y - r0, dx = x - c0;
    Cell out{};
    for (int k = 0; k < 4; ++k) {
        bool marked = false;
        if (method == XINTERP_BILINEAR) {
            const double s00 = s.At(r0, c0)[k], s01 = s.At(r0, c0 + 1)[k], s10 = s.At(r0 + 1, c0)[k],
                         s11 = s.At(r0 + 1, c0 + 1)[k];
            marked = s00 == N || s01 == N || s10 == N || s11 == N;
            out[k] = s00 + (s01 - s00) * dx + (s10 - s00) * dy + (s00 - s01 - s10 + s11) * dx * dy;
        } else {
            double sum = 0, wsum = 0;
            for (int i = -1; i <= 2; ++i)
                for (int j = -1; j <= 2; ++j) {
                    const double v = s.At(r0 + i, c0 + j)[k], w = CubicWeight(std::hypot(dx - j, dy - i));
                    marked = marked || v == N;
                    sum += w * v;
                    wsum += w;
                }
            out[k] = sum / wsum;
        }
        if (k > 0 && marked) out[k] = N;
    }
    return out;
}

Cell Interp(const XGrid& g, double y, double x, int method, bool expectOk = true)
{
    Cell v{-9, -9, -9, -9};
    EXPECT_EQ(g.GetValueInterpolated(y, x, method, v[0], v[1], v[2], v[3]), expectOk)
        << "at (" << y << ", " << x << ") method " << method;
    return v;
}

XGrid FromValues(int rows, int cols, int type, const std::vector<double>& v)
{
    XGrid g(rows, cols, type);
    for (int i = 0; i < rows * cols; ++i) g.SetFromREAL64(i / cols, i % cols, v[i]);
    return g;
}

} // namespace

TEST(GridInterpolation, RandomPositionsMatchReferenceOnEveryTypeFamily)
{
    std::mt19937 rng(0x5EED);
    const struct { int type; double lo, hi; } types[] = {{XDT_UINT08, 0, 255},   {XDT_SINT16, -32768, 32767},
                                                         {XDT_REAL32, -1e3, 1e3}, {XDT_REAL64, -1e6, 1e6},
                                                         {XDT_RGB, 0, 255},      {XDT_REAL64C, -5, 5}};
    const int shapes[][2] = {{1, 1}, {1, 7}, {6, 1}, {5, 6}, {9, 4}};
    for (const auto& t : types)
        for (const auto& [rows, cols] : shapes) {
            XGrid g(rows, cols, t.type);
            std::uniform_real_distribution<double> val(t.lo, t.hi), py(-0.999, rows - 1e-9), px(-0.999, cols - 1e-9);
            for (int i = 0; i < rows * cols; ++i) g.SetValue(i / cols, i % cols, val(rng), val(rng), val(rng), val(rng));
            const Snapshot snap(g);
            const double tol = 1e-12 * std::max(std::abs(t.lo), std::abs(t.hi));
            std::vector<std::pair<double, double>> pos = {
                {0, 0}, {rows - 1, cols - 1}, {-0.5, -0.5}, {-0.999, cols - 1e-9}, {rows - 1e-9, 0.25}};
            for (int k = 0; k < 60; ++k) pos.emplace_back(py(rng), px(rng));
            for (int method : {0, 1, 2})
                for (const auto& [y, x] : pos) {
                    const Cell want = Reference(snap, y, x, method), got = Interp(g, y, x, method);
                    for (int ch = 0; ch < 4; ++ch)  // a marker must come back exactly
                        EXPECT_NEAR(got[ch], want[ch], want[ch] == N ? 0 : tol) << "channel " << ch;
                    if (HasFailure()) FAIL() << "type " << t.type << " " << rows << "x" << cols << " method "
                                             << method << " at (" << y << ", " << x << ")";
                }
        }
}

TEST(GridInterpolation, OutsideRefusedNegativeFractionsTruncateToRowZero)
{
    const XGrid g = FromValues(2, 2, XDT_REAL64, {0, 2, 4, 6});
    // The position check comes before the method, so it refuses for every method.
    const double outside[][2] = {{-1, 0}, {-1.5, 0.5}, {0, -1}, {0.5, -1.01}, {2, 0}, {0, 2}, {2.5, 2.5}};
    for (int method : {0, 1, 2, 7})
        for (const auto& p : outside) Interp(g, p[0], p[1], method, false);
    // Hand values that pin the reference: row 0 with dy = -0.5, and the last
    // row standing in for the one below.
    EXPECT_EQ(Interp(g, -0.5, 0.5, XINTERP_BILINEAR)[0], -1.0);
    EXPECT_EQ(Interp(g, 1.5, 0.5, XINTERP_BILINEAR)[0], 5.0);
    EXPECT_EQ(Interp(g, 0.9, 1.2, XINTERP_NEAREST), (Cell{2, N, N, N}));
    for (int method : {3, -1, 100}) EXPECT_EQ(Interp(g, 0.5, 0.5, method), (Cell{-9, -9, -9, -9}));
}

TEST(GridInterpolation, CubicUsesRadialDistanceAndNormalisedWeights)
{
    // Only the diagonal neighbours of (1, 1) are non-zero. Over the radial
    // distance they weigh 7 - 5 * sqrt(2) each, even at the sample centre.
    const XGrid g = FromValues(4, 4, XDT_REAL64, {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0});
    const double w = 7 - 5 * std::sqrt(2.0);
    EXPECT_NEAR(Interp(g, 1, 1, XINTERP_CUBIC)[0], 4 * w / (1 + 4 * w), 1e-14);
    const XGrid flat = FromValues(5, 5, XDT_SINT16, std::vector<double>(25, -321));
    const double at[][2] = {{0, 0}, {2.3, 1.7}, {4.9, 4.9}, {-0.4, 3.5}};
    for (const auto& p : at) EXPECT_NEAR(Interp(flat, p[0], p[1], XINTERP_CUBIC)[0], -321.0, 1e-11);
}

TEST(GridInterpolation, MarkedChannelsPropagateOnlyInsideTheWindow)
{
    XGrid g(6, 6, XDT_REAL64C);
    for (int i = 0; i < 36; ++i) g.SetValue(i / 6, i % 6, i, 1, N, N);
    // SetValue would replace a marker, so place it in channel b of (2, 2) directly.
    std::memcpy(g.GetData() + (2 * 6 + 2) * 16 + 8, &N, sizeof N);
    const Snapshot snap(g);
    const struct { double y, x; int method; bool marked; } cases[] = {
        {2.3, 2.7, 0, true},  {2.3, 3.1, 0, false}, {1.5, 1.5, 1, true},  {0.5, 0.5, 1, false}, {2.5, 2.5, 1, true},
        {2.5, 3.0, 1, false}, {0.5, 0.5, 2, true},  {4.5, 4.5, 2, false}, {3.9, 0.2, 2, true},  {1.2, 4.0, 2, false}};
    for (const auto& t : cases) {
        const Cell v = Interp(g, t.y, t.x, t.method);
        EXPECT_NEAR(v[0], Reference(snap, t.y, t.x, t.method)[0], 1e-12 * 36);  // channel a regardless
        EXPECT_NEAR(v[1], t.marked ? N : 1.0, 1e-12) << "(" << t.y << ", " << t.x << ") method " << t.method;
        EXPECT_TRUE(v[2] == N && v[3] == N);
    }
    // A marker in channel a is an ordinary number to the interpolation.
    EXPECT_DOUBLE_EQ(Interp(FromValues(2, 2, XDT_REAL64, {0, N, 0, 0}), 0, 0.5, XINTERP_BILINEAR)[0], 0.5 * N);
}

TEST(GridInterpolation, MagnitudeOfTheInterpolatedSample)
{
    XGrid cx(2, 2, XDT_REAL64C), argb(3, 3, XDT_ARGB);
    for (int i = 0; i < 4; ++i) cx.SetValue(i / 2, i % 2, 3 * (1 + i / 2), 4 * (1 + i / 2), N, N);
    EXPECT_DOUBLE_EQ(cx.GetMagnitudeInterpolated(0.5, 0.3, XINTERP_BILINEAR), 7.5);
    EXPECT_DOUBLE_EQ(cx.GetMagnitudeInterpolated(1.2, 0.3, XINTERP_NEAREST), 10.0);
    EXPECT_EQ(cx.GetMagnitudeInterpolated(-1, 0, XINTERP_BILINEAR), N);
    argb.Fill(255, 3, 4, 0);  // the first channel is alpha and does not count
    EXPECT_NEAR(argb.GetMagnitudeInterpolated(1.4, 1.6, XINTERP_CUBIC), 5.0, 1e-12);
    EXPECT_DOUBLE_EQ(FromValues(1, 2, XDT_SINT16, {-7, -9}).GetMagnitudeInterpolated(0, 0.5, XINTERP_BILINEAR), -8.0);
    EXPECT_EQ(XGrid().GetMagnitudeInterpolated(0, 0, XINTERP_NEAREST), N);
}
