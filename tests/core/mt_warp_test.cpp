#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <tivra/grid/XDataType.h>
#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XWarp2D.h>
#include <tivra/mt/XWarpCoeff.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

/// Direct evaluation of every form from its written formula, independent of
/// the library's term loops.
void Reference(int method, const double* a, const double* b, double x, double y, double& xo, double& yo)
{
    auto poly = [&](const double* c, bool forX) {
        switch (method) {
        case XWARP_LINEAR: return forX ? c[0] * x + c[1] : c[0] * y + c[1];
        case XWARP_AFFINE: return c[0] * x + c[1] * y + c[2];
        case XWARP_PSEUDOAFFINE: return c[0] * x + c[1] * y + c[2] * x * y + c[3];
        case XWARP_SECONDORDER: return c[0] * x * x + c[1] * y * y + c[2] * x * y + c[3] * x + c[4] * y + c[5];
        default:
            return c[0] * std::pow(x, 3) + c[1] * std::pow(y, 3) + c[2] * x * x * y + c[3] * x * y * y +
                   c[4] * x * x + c[5] * y * y + c[6] * x * y + c[7] * x + c[8] * y + c[9];
        }
    };
    xo = poly(a, true);
    yo = poly(b, false);
}

struct Points {
    std::vector<double> sx, sy, tx, ty;
    /// Fits w to the points (the first n) with an optional mask and cell grid.
    bool FitTo(XWarp2D& w, int method, int n, const uint8_t* mask = nullptr, int cols = 1, int rows = 1) const
    {
        return w.Fit(method, n, sx.data(), sy.data(), tx.data(), ty.data(), mask, cols, rows);
    }
};

/// n random source points in [0, 100]^2 mapped through a known polynomial.
Points Sample(int method, const double* a, const double* b, int n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 100);
    Points p;
    for (int i = 0; i < n; ++i) {
        const double x = u(rng), y = u(rng);
        double xo, yo;
        Reference(method, a, b, x, y, xo, yo);
        p.sx.push_back(x), p.sy.push_back(y), p.tx.push_back(xo), p.ty.push_back(yo);
    }
    return p;
}

const double kA[10] = {1e-5, -2e-5, 3e-5, 1e-5, 2e-3, -1e-3, 4e-3, 1.5, 0.25, 10};
const double kB[10] = {-1e-5, 1e-5, 2e-5, -3e-5, -1e-3, 2e-3, 1e-3, -0.5, 2.0, -7};

/// The coefficients of kA/kB that a method uses: its own last k terms.
void MethodCoeffs(int method, double* a, double* b)
{
    const int k = GetWarpTermCount(method);
    for (int t = 0; t < k; ++t) {
        a[t] = kA[10 - k + t];
        b[t] = kB[10 - k + t];
    }
}

} // namespace

TEST(MtWarpCoeff, NullNoChangeRotationArraysCopiesAndReset)
{
    XWarpCoeff w;  // Null maps nothing; the form with outputs passes the point on
    double x = 3, y = 4, xo = 0, yo = 0;
    EXPECT_TRUE(w.IsUnchanged());
    EXPECT_FALSE(w.WarpPoint(x, y) || w.WarpPoint(3, 4, xo, yo));
    EXPECT_EQ((std::vector<double>{x, y, xo, yo}), (std::vector<double>{3, 4, 3, 4}));
    w.m_nMethod = 6;  // unknown methods map nothing
    EXPECT_FALSE(w.WarpPoint(x, y));
    w.m_nMethod = XWARP_NOCHANGE;
    EXPECT_TRUE(w.WarpPoint(x, y) && w.IsUnchanged());

    XWarpCoeff r;
    r.m_RmsX = 5;
    r.CreateRotation(90, 1, 2);  // counter-clockwise about (1, 2), residuals cleared
    x = 2, y = 2;
    ASSERT_TRUE(r.WarpPoint(x, y));
    EXPECT_NEAR(x, 1, 1e-14);
    EXPECT_NEAR(y, 3, 1e-14);
    EXPECT_EQ(r.m_RmsX, 0);
    r.CreateRotation(0, 5, 5);  // an identity still counts as a mapping
    EXPECT_FALSE(r.IsUnchanged());

    XWarpCoeff empty;
    std::vector<XVertex2<double>> pts = {{1, 2}, {3, 4}};
    EXPECT_TRUE(empty.WarpPoints(pts.data(), 0));
    EXPECT_FALSE(empty.WarpPoints(pts.data(), 2));
    // A derived mapping that fails for one element: the others are mapped.
    struct FailsAtTwo : XWarpCoeff {
        bool WarpPoint(double& x, double& y) override { return x != 2 && (x += 10, true); }
        using XWarpCoeff::WarpPoint;
    } f;
    double xs[3] = {1, 2, 3}, ys[3] = {0, 0, 0};
    EXPECT_FALSE(f.WarpPoints(xs, ys, 3));
    EXPECT_EQ((std::vector<double>(xs, xs + 3)), (std::vector<double>{11, 2, 13}));

    // Assignment copies every field; Reset keeps the residuals.
    r.CreateRotation(33, 4, 5);
    r.m_RmsX = 1.5, r.m_RmsY = 2.5;
    XWarpCoeff d;
    d = r;
    EXPECT_TRUE(d.m_nMethod == XWARP_AFFINE && std::equal(r.m_CoeffX, r.m_CoeffX + 10, d.m_CoeffX) &&
                std::equal(r.m_CoeffY, r.m_CoeffY + 10, d.m_CoeffY) && d.m_RmsX == 1.5 && d.m_RmsY == 2.5);
    d.Reset();
    EXPECT_TRUE(d.m_nMethod == XWARP_NULL && d.m_CoeffX[2] == 0 && d.m_CoeffY[2] == 0 && d.m_RmsX == 1.5);
}

TEST(MtWarpFit, EveryMethodRecoversItsPolynomial)
{
    for (int method = XWARP_LINEAR; method <= XWARP_THIRDORDER; ++method) {
        double a[10] = {}, b[10] = {};
        MethodCoeffs(method, a, b);
        const Points p = Sample(method, a, b, 40, 100 + method);
        XWarp2D w;
        ASSERT_TRUE(p.FitTo(w, method, 40)) << method;
        EXPECT_EQ(w.m_nMethod, method);
        EXPECT_EQ(w.GetCellRows(), 0);
        EXPECT_LT(std::max(w.m_RmsX, w.m_RmsY), 1e-9);  // the residuals go through the evaluation
        XVertex2<double> out;  // the vertex form reaches the same evaluation
        ASSERT_TRUE(w.WarpPoint(XVertex2<double>(p.sx[7], p.sy[7]), out));
        EXPECT_LT(std::max(std::fabs(out.x - p.tx[7]), std::fabs(out.y - p.ty[7])), 1e-8);
        for (int t = 0; t < GetWarpTermCount(method); ++t) {
            EXPECT_NEAR(w.m_CoeffX[t], a[t], 1e-9 * std::max(1.0, std::fabs(a[t]))) << method << " term " << t;
            EXPECT_NEAR(w.m_CoeffY[t], b[t], 1e-9 * std::max(1.0, std::fabs(b[t]))) << method << " term " << t;
        }
    }
}

TEST(MtWarpFit, PointCountsMasksAndResiduals)
{
    // As many points as terms suffice, one fewer fails and leaves the set Null.
    XWarp2D w;
    for (int method : {XWARP_AFFINE, XWARP_THIRDORDER}) {
        double a[10] = {}, b[10] = {};
        MethodCoeffs(method, a, b);
        const Points p = Sample(method, a, b, 10, unsigned(method));
        const int k = GetWarpTermCount(method);
        EXPECT_FALSE(p.FitTo(w, method, k - 1)) << method;
        EXPECT_EQ(w.m_nMethod, XWARP_NULL);
        ASSERT_TRUE(p.FitTo(w, method, k)) << method;
        EXPECT_LT(w.m_RmsX, method == XWARP_AFFINE ? 1e-12 : 1e-6);
    }
    // Three collinear points cannot carry an affine fit.
    const double cx[3] = {0, 1, 2}, cy[3] = {0, 1, 2}, t[3] = {5, 6, 7};
    EXPECT_FALSE(w.Fit(XWARP_AFFINE, 3, cx, cy, t, t, nullptr, 1, 1));

    // A gross outlier masked out takes part neither in the fit nor in the residuals.
    double a[10] = {}, b[10] = {};
    MethodCoeffs(XWARP_AFFINE, a, b);
    Points p = Sample(XWARP_AFFINE, a, b, 12, 3);
    p.tx[5] += 1000;
    std::vector<uint8_t> mask(12, 1);
    mask[5] = 0;
    ASSERT_TRUE(p.FitTo(w, XWARP_AFFINE, 12, mask.data()));
    EXPECT_LT(w.m_RmsX, 1e-10);
    ASSERT_TRUE(p.FitTo(w, XWARP_AFFINE, 12));
    EXPECT_GT(w.m_RmsX, 100);
    double rx, ry;
    XWarp2D::CalcRms(w, 0, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, rx, ry);
    EXPECT_EQ(rx, NAN_REAL64);

    XWarp2D none;
    EXPECT_TRUE(p.FitTo(none, XWARP_NOCHANGE, 12));
    EXPECT_EQ(none.m_nMethod, XWARP_NULL);
}

TEST(MtWarp2D, CellGridEdgesOutsidePointsAndNullCells)
{
    // A 3 x 3 lattice over [0, 2]^2 mapped by x' = 10x, y' = 10y, except
    // that every target right of x = 1 moves by +100 in x.
    Points p;
    for (int i = 0; i < 9; ++i) {
        p.sx.push_back(i % 3), p.sy.push_back(i / 3);
        p.tx.push_back(10.0 * (i % 3) + (i % 3 > 1 ? 100 : 0)), p.ty.push_back(10.0 * (i / 3));
    }
    XWarp2D w;
    ASSERT_TRUE(p.FitTo(w, XWARP_AFFINE, 9, nullptr, 2, 2));
    ASSERT_TRUE(w.GetCellRows() == 2 && w.GetCellCols() == 2);
    EXPECT_EQ(w.m_Bound[2], 2.0);
    EXPECT_FALSE(w.IsUnchanged());
    // The left cells fit their six points exactly, so the shared column x = 1
    // (in both cells) maps to 10 from the left; the right cells see a jump.
    double x = 0.5, y = 0.5;
    ASSERT_TRUE(w.WarpPoint(x, y));
    EXPECT_NEAR(x, 5, 1e-12);
    EXPECT_NEAR(w.GetCell(0, 1).m_RmsX, 0, 1e-12);  // 1 -> 10 and 2 -> 120 both fit a line
    // A point far outside maps through the nearest corner cell, also in a
    // copy, which owns its grid.
    XWarp2D copy(w);
    EXPECT_NE(copy.m_Cells.m_pData, w.m_Cells.m_pData);
    for (XWarp2D* m : {&w, &copy}) {
        double cx = 50, cy = -30;
        x = 50, y = -30;
        ASSERT_TRUE(m->WarpPoint(x, y));
        w.GetCell(0, 1).Evaluate(cx, cy);
        EXPECT_TRUE(x == cx && y == cy) << (m == &w ? "original" : "copy");
    }

    // With only three points per cell on a 3 x 1 grid the middle cell
    // gets two points, fails its own fit and defers to the global set.
    std::vector<double> lx = {0, 0.2, 0.4, 1.5, 2.6, 2.8, 3}, ly = {0, 3, 1, 2, 0, 3, 1};
    std::vector<double> lt(lx.size());
    for (size_t i = 0; i < lx.size(); ++i) lt[i] = 2 * lx[i] + ly[i];
    XWarp2D g;
    ASSERT_TRUE(g.Fit(XWARP_AFFINE, int(lx.size()), lx.data(), ly.data(), lt.data(), ly.data(), nullptr, 3, 1));
    EXPECT_TRUE(g.GetCell(0, 1).m_nMethod == XWARP_NULL && g.GetCell(0, 1).m_RmsX == NAN_REAL64);
    x = 1.5, y = 2;
    ASSERT_TRUE(g.WarpPoint(x, y));
    EXPECT_NEAR(x, 5, 1e-12);

    g.CreateRotation(10, 0, 0);  // drops the grid through the virtual Reset
    EXPECT_TRUE(g.GetCellRows() == 0 && g.m_nMethod == XWARP_AFFINE);
}

TEST(MtProjectiveWarp, RecoversAHomographyAndRefusesBadInput)
{
    const double h[9] = {1.2, 0.1, 30, -0.05, 0.9, 12, 1e-4, 2e-4, 1};
    auto map = [&](double x, double y) {
        const double w = h[6] * x + h[7] * y + h[8];
        return XVertex2<double>((h[0] * x + h[1] * y + h[2]) / w, (h[3] * x + h[4] * y + h[5]) / w);
    };
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0, 1000);
    std::vector<XVertex2<double>> src, dst;
    for (int i = 0; i < 25; ++i) {
        src.emplace_back(u(rng), u(rng));
        dst.push_back(map(src.back().x, src.back().y));
    }
    double cx, cy, s, cx2, cy2, s2;
    XProjectiveWarp::GetNormalization(src.data(), 25, nullptr, cx, cy, s);
    XProjectiveWarp::GetNormalization(dst.data(), 25, nullptr, cx2, cy2, s2);
    XProjectiveWarp p;
    double x = 5, y = 5;
    EXPECT_FALSE(p.WarpPoint(x, y));  // unfitted
    for (int n : {4, 25}) {
        ASSERT_TRUE(p.Fit(src.data(), dst.data(), n, cx, cy, s, cx2, cy2, s2)) << n;
        x = 640, y = 480;
        ASSERT_TRUE(p.WarpPoint(x, y));
        const XVertex2<double> ref = map(640, 480);
        EXPECT_NEAR(x, ref.x, 1e-7);
        EXPECT_NEAR(y, ref.y, 1e-7);
        EXPECT_LT(p.m_dMeanSqrX, 1e-14);
    }
    // On the line where w = 0 nothing is mapped.
    XProjectiveWarp q;
    const double hq[9] = {1, 0, 0, 0, 1, 0, 0, 0.5, 1};
    std::copy(hq, hq + 9, q.m_H.GetData());
    x = 3, y = -2;
    EXPECT_FALSE(q.WarpPoint(x, y));
    EXPECT_TRUE(x == 3 && y == -2);

    std::vector<uint8_t> mask(25, 0);
    mask[0] = mask[1] = mask[2] = 1;
    EXPECT_FALSE(p.Fit(src.data(), dst.data(), 25, cx, cy, s, cx2, cy2, s2, mask.data()));
    EXPECT_FALSE(p.Fit(src.data(), dst.data(), 25, cx, cy, 0, cx2, cy2, s2));
}

namespace {

/// Independent reference: least squares through the normal equations in long
/// double, on source coordinates standardised by mean and deviation, with the
/// terms as plain powers. Returns the residuals' RMS per axis and the
/// reference mapping of every point.
void NormalisedReference(int method, const Points& p, double& rmsX, double& rmsY, std::vector<long double>& fx,
                         std::vector<long double>& fy)
{
    const int n = int(p.sx.size());
    long double mx = 0, my = 0, sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) mx += p.sx[i], my += p.sy[i];
    mx /= n, my /= n;
    for (int i = 0; i < n; ++i) sx += (p.sx[i] - mx) * (p.sx[i] - mx), sy += (p.sy[i] - my) * (p.sy[i] - my);
    sx = std::sqrt(sx / n), sy = std::sqrt(sy / n);
    const int deg = method == XWARP_SECONDORDER ? 2 : 3;
    std::vector<std::vector<long double>> rows(n);
    for (int i = 0; i < n; ++i) {
        const long double u = (p.sx[i] - mx) / sx, v = (p.sy[i] - my) / sy;
        for (int a = 0; a <= deg; ++a)
            for (int b = 0; a + b <= deg; ++b) rows[i].push_back(std::pow(u, a) * std::pow(v, b));
    }
    const int k = int(rows[0].size());
    auto solve = [&](const std::vector<double>& t, std::vector<long double>& fit) {
        std::vector<std::vector<long double>> g(k, std::vector<long double>(k + 1, 0.0L));
        for (int i = 0; i < n; ++i)
            for (int r = 0; r < k; ++r) {
                for (int c = 0; c < k; ++c) g[r][c] += rows[i][r] * rows[i][c];
                g[r][k] += rows[i][r] * t[i];
            }
        for (int j = 0; j < k; ++j)
            for (int r = j + 1; r < k; ++r) {
                const long double f = g[r][j] / g[j][j];
                for (int c = j; c <= k; ++c) g[r][c] -= f * g[j][c];
            }
        std::vector<long double> x(k);
        for (int j = k - 1; j >= 0; --j) {
            long double s = g[j][k];
            for (int c = j + 1; c < k; ++c) s -= g[j][c] * x[c];
            x[j] = s / g[j][j];
        }
        fit.assign(n, 0.0L);
        long double ss = 0;
        for (int i = 0; i < n; ++i) {
            for (int c = 0; c < k; ++c) fit[i] += rows[i][c] * x[c];
            ss += (t[i] - fit[i]) * (t[i] - fit[i]);
        }
        return double(std::sqrt(ss / n));
    };
    rmsX = solve(p.tx, fx);
    rmsY = solve(p.ty, fy);
}

} // namespace

TEST(MtWarpFit, SmallFootprintsFarFromTheOriginFitLikeANormalisedReference)
{
    // Inverse mappings (map coordinates to pixels) of a small footprint: 100
    // points with 0.1-pixel noise on a 1000 x 1000 pixel mapping with a few
    // pixels of second- and third-order distortion.
    const struct { const char* name; double x0, y0, w, h; } cases[] = {
        {"lon/lat", -118.25, 34.1, 0.01, 0.005},
        {"UTM metres", 5e5, 4.2e6, 200, 200},
        {"state-plane feet", 6.5e6, 1.9e6, 2000, 2000},
    };
    for (const auto& k : cases)
        for (int method : {XWARP_SECONDORDER, XWARP_THIRDORDER}) {
            std::mt19937 rng(7);
            std::uniform_real_distribution<double> unit(0, 1);
            std::normal_distribution<double> noise(0, 0.1);
            Points p;
            for (int i = 0; i < 100; ++i) {
                const double u = unit(rng), v = unit(rng);
                p.sx.push_back(k.x0 + u * k.w), p.sy.push_back(k.y0 + v * k.h);
                p.tx.push_back(1000 * u + 3 * u * v - 2 * v * v * v + noise(rng));
                p.ty.push_back(1000 * (1 - v) + 4 * u * u + 1.5 * u * u * v + noise(rng));
            }
            double refX, refY;
            std::vector<long double> fx, fy;
            NormalisedReference(method, p, refX, refY, fx, fy);
            XWarp2D w;
            ASSERT_TRUE(p.FitTo(w, method, 100)) << k.name << " " << method;
            EXPECT_NEAR(w.m_RmsX, refX, 0.01 * refX) << k.name << " " << method;
            EXPECT_NEAR(w.m_RmsY, refY, 0.01 * refY) << k.name << " " << method;
            // What evaluating the raw coefficients loses against the reference mapping.
            double loss = 0;
            for (int i = 0; i < 100; ++i) {
                double x = p.sx[i], y = p.sy[i];
                ASSERT_TRUE(w.WarpPoint(x, y));
                loss = std::max({loss, double(std::fabs(x - fx[i])), double(std::fabs(y - fy[i]))});
            }
            EXPECT_LT(loss, 0.05) << k.name << " " << method;
        }

    // Points that do not determine the polynomial still fail at any offset:
    // all on one line, or ten points at only nine places.
    for (double x0 : {0.0, 5e5}) {
        Points line, nine;
        for (int i = 0; i < 30; ++i) {
            line.sx.push_back(x0 + i), line.sy.push_back(2 * x0 + 2 * i);
            line.tx.push_back(i), line.ty.push_back(i * i);
        }
        for (int i = 0; i < 10; ++i) {
            const int at = i % 9;
            nine.sx.push_back(x0 + at % 3 * 10), nine.sy.push_back(x0 + at / 3 * 10 + (at % 3) * (at % 3));
            nine.tx.push_back(at), nine.ty.push_back(at);
        }
        XWarp2D w;
        for (int method : {XWARP_AFFINE, XWARP_SECONDORDER, XWARP_THIRDORDER})
            EXPECT_FALSE(line.FitTo(w, method, 30)) << x0 << " line " << method;
        EXPECT_FALSE(nine.FitTo(w, XWARP_THIRDORDER, 10)) << x0;
        EXPECT_EQ(w.m_nMethod, XWARP_NULL);
    }
}
