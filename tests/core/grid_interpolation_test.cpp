// Reading a grid between sample centres: nearest, bilinear, radial and
// separable cubic against a plain reference on a snapshot of the samples.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#ifdef TIVRA_TEST_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

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

// The cubic convolution kernel with parameter a (Keys), in its textbook form.
double Keys(double s, double a)
{
    s = std::abs(s);
    if (s <= 1) return (a + 2) * s * s * s - (a + 3) * s * s + 1;
    if (s < 2) return a * s * s * s - 5 * a * s * s + 8 * a * s - 4 * a;
    return 0;
}

// The separable cubic convolution at (y, x) with the edge samples repeated
// outward: the plain double sum of the products over the kernel's whole
// support (before the first row or column a fifth tap comes into reach).
double SeparableCubic(const Snapshot& s, int k, double y, double x, double a = -0.5)
{
    const int r0 = int(y), c0 = int(x);
    double sum = 0;
    for (int i = -2; i <= 3; ++i)
        for (int j = -2; j <= 3; ++j) sum += Keys(x - c0 - j, a) * Keys(y - r0 - i, a) * s.At(r0 + i, c0 + j)[k];
    return sum;
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
        } else if (method == XINTERP_CUBIC_SEPARABLE) {
            for (int i = -1; i <= 2; ++i)
                for (int j = -1; j <= 2; ++j) marked = marked || s.At(r0 + i, c0 + j)[k] == N;
            out[k] = SeparableCubic(s, k, y, x);
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
            for (int method : {0, 1, 2, 3})
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
    for (int method : {0, 1, 2, 3, 7})
        for (const auto& p : outside) Interp(g, p[0], p[1], method, false);
    // Hand values that pin the reference: row 0 with dy = -0.5, and the last
    // row standing in for the one below.
    EXPECT_EQ(Interp(g, -0.5, 0.5, XINTERP_BILINEAR)[0], -1.0);
    EXPECT_EQ(Interp(g, 1.5, 0.5, XINTERP_BILINEAR)[0], 5.0);
    EXPECT_EQ(Interp(g, 0.9, 1.2, XINTERP_NEAREST), (Cell{2, N, N, N}));
    for (int method : {4, -1, 100}) EXPECT_EQ(Interp(g, 0.5, 0.5, method), (Cell{-9, -9, -9, -9}));
}

TEST(GridInterpolation, CubicUsesRadialDistance)
{
    // Only the diagonal neighbours of (1, 1) are non-zero. Over the radial
    // distance they weigh 7 - 5 * sqrt(2) each, even at the sample centre.
    const XGrid g = FromValues(4, 4, XDT_REAL64, {1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0});
    const double w = 7 - 5 * std::sqrt(2.0);
    EXPECT_NEAR(Interp(g, 1, 1, XINTERP_CUBIC)[0], 4 * w / (1 + 4 * w), 1e-14);
}

TEST(GridInterpolation, SeparableCubicWeightsPerAxisAndReproducesQuadratics)
{
    // A single bright sample: at its own position it comes back alone (the
    // radial kernel gives about 1.397 there); half a pixel off on both axes it
    // weighs w(0.5)^2 = 0.5625^2, half a pixel beyond the next sample
    // w(1.5) w(0.5) = -0.0625 * 0.5625.
    std::vector<double> spike(36, 0.0);
    spike[2 * 6 + 2] = 1;
    const XGrid g = FromValues(6, 6, XDT_REAL64, spike);
    EXPECT_EQ(Interp(g, 2, 2, XINTERP_CUBIC_SEPARABLE)[0], 1.0);
    EXPECT_EQ(Interp(g, 2, 3, XINTERP_CUBIC_SEPARABLE)[0], 0.0);
    EXPECT_EQ(Interp(g, 1, 1, XINTERP_CUBIC_SEPARABLE)[0], 0.0);
    EXPECT_DOUBLE_EQ(Interp(g, 2.5, 2.5, XINTERP_CUBIC_SEPARABLE)[0], 0.31640625);
    EXPECT_DOUBLE_EQ(Interp(g, 1.5, 3.5, XINTERP_CUBIC_SEPARABLE)[0], 0.5625 * -0.0625);

    // Away from the edges a quadratic surface comes back exactly at any
    // interior position (the kernel reproduces polynomials up to degree two).
    const auto f = [](double y, double x) { return 3 * x * x - 2 * x * y + 0.5 * y * y - 7 * x + 4 * y + 11; };
    XGrid quad(9, 11, XDT_REAL64);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 11; ++c) quad.SetFromREAL64(r, c, f(r, c));
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> py(1, 6.999), px(1, 8.999);
    for (int i = 0; i < 200; ++i) {
        const double y = py(rng), x = px(rng);
        EXPECT_NEAR(Interp(quad, y, x, XINTERP_CUBIC_SEPARABLE)[0], f(y, x), 1e-11) << y << ", " << x;
    }

    // Flat areas stay flat to the last bit, also at the clamped edges, in
    // every type (the radial kernel's normalisation does not promise that).
    for (int type : {XDT_UINT08, XDT_SINT16, XDT_UINT16, XDT_REAL32, XDT_REAL64}) {
        const XGrid flat = FromValues(5, 7, type, std::vector<double>(35, 100));
        for (int i = 0; i < 100; ++i) {
            const double y = py(rng) * 5 / 7 - 0.9, x = px(rng) * 7 / 9 - 0.9;
            EXPECT_EQ(Interp(flat, y, x, XINTERP_CUBIC_SEPARABLE)[0], 100.0) << type << " at " << y << ", " << x;
        }
    }
}

#ifdef TIVRA_TEST_OPENCV
// OpenCV's remap with INTER_CUBIC is the separable cubic convolution with
// a = -0.75 (its fixed choice, which unlike a = -0.5 does not even reproduce
// a linear ramp), on positions quantised to 1/32 of a pixel and with
// single-precision weights. On positions on that lattice it agrees with the
// test's reference formula taken with a = -0.75, which shows that the
// reference is the standard convolution with the same pixel convention; the
// library's kernel (a = -0.5) is checked against the same reference.
TEST(GridInterpolation, SeparableCubicAgreesWithOpenCVRemapThroughTheReference)
{
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> lattice(0, 31);
    std::uniform_real_distribution<double> val(-500, 500);
    const int rows = 30, cols = 40, n = 400;
    for (int type : {XDT_REAL32, XDT_REAL64}) {
        XGrid g(rows, cols, type);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) g.SetFromREAL64(r, c, val(rng));
        const Snapshot snap(g);
        // Interior positions (the whole window inside) on the 1/32 lattice.
        cv::Mat mx(1, n, CV_32FC1), my(1, n, CV_32FC1), out;
        std::uniform_int_distribution<int> pr(1, rows - 3), pc(1, cols - 3);
        for (int i = 0; i < n; ++i) {
            mx.at<float>(0, i) = float(pc(rng) + lattice(rng) / 32.0);
            my.at<float>(0, i) = float(pr(rng) + lattice(rng) / 32.0);
        }
        const cv::Mat src(rows, cols, type == XDT_REAL32 ? CV_32FC1 : CV_64FC1, g.GetData());
        cv::remap(src, out, mx, my, cv::INTER_CUBIC, cv::BORDER_REPLICATE);
        out.convertTo(out, CV_64FC1);
        for (int i = 0; i < n; ++i) {
            const double x = mx.at<float>(0, i), y = my.at<float>(0, i);
            // Single-precision weights: about 1e-6 of the magnitudes summed.
            EXPECT_NEAR(out.at<double>(0, i), SeparableCubic(snap, 0, y, x, -0.75), 2e-3) << "at " << y << ", " << x;
            EXPECT_NEAR(Interp(g, y, x, XINTERP_CUBIC_SEPARABLE)[0], SeparableCubic(snap, 0, y, x), 1e-9)
                << "at " << y << ", " << x;
        }
    }
}
#endif

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
