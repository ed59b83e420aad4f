#include <gtest/gtest.h>

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
        p.sx.push_back(x);
        p.sy.push_back(y);
        p.tx.push_back(xo);
        p.ty.push_back(yo);
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

TEST(MtWarpCoeff, EvaluationFormsAndStates)
{
    XWarpCoeff w;
    EXPECT_TRUE(w.IsUnchanged());
    double x = 3, y = 4, xo = 0, yo = 0;
    EXPECT_FALSE(w.WarpPoint(x, y));
    EXPECT_EQ(x, 3);
    EXPECT_FALSE(w.WarpPoint(3, 4, xo, yo));
    EXPECT_EQ(xo, 3);
    EXPECT_EQ(yo, 4);

    w.m_nMethod = XWARP_LINEAR;
    w.m_CoeffX[0] = 2; w.m_CoeffX[1] = 1;
    w.m_CoeffY[0] = 3; w.m_CoeffY[1] = -1;
    ASSERT_TRUE(w.WarpPoint(1, 10, xo, yo));
    EXPECT_EQ(xo, 3);
    EXPECT_EQ(yo, 29);

    w.m_nMethod = 6;  // unknown methods map nothing
    EXPECT_FALSE(w.WarpPoint(x, y));
    w.m_nMethod = XWARP_NOCHANGE;
    EXPECT_TRUE(w.WarpPoint(x, y));
    EXPECT_TRUE(w.IsUnchanged());

    for (int method = XWARP_LINEAR; method <= XWARP_THIRDORDER; ++method) {
        XWarpCoeff p;
        p.m_nMethod = method;
        MethodCoeffs(method, p.m_CoeffX, p.m_CoeffY);
        double rx, ry;
        Reference(method, p.m_CoeffX, p.m_CoeffY, 37.5, -12.25, rx, ry);
        XVertex2<double> v(37.5, -12.25), out;
        ASSERT_TRUE(p.WarpPoint(v, out));
        EXPECT_NEAR(out.x, rx, 1e-12 * std::fabs(rx)) << method;
        EXPECT_NEAR(out.y, ry, 1e-12 * std::fabs(ry)) << method;
    }
}

TEST(MtWarpCoeff, RotationArraysCopiesAndReset)
{
    XWarpCoeff r;
    r.m_RmsX = 5;
    r.CreateRotation(90, 0, 0);
    double x = 1, y = 0;
    ASSERT_TRUE(r.WarpPoint(x, y));
    EXPECT_NEAR(x, 0, 1e-15);
    EXPECT_NEAR(y, 1, 1e-15);
    EXPECT_EQ(r.m_RmsX, 0);

    r.CreateRotation(0, 5, 5);
    EXPECT_FALSE(r.IsUnchanged());
    r.CreateRotation(33, -7.5, 12);
    x = -7.5, y = 12;
    r.WarpPoint(x, y);
    EXPECT_NEAR(x, -7.5, 1e-13);
    EXPECT_NEAR(y, 12, 1e-13);

    XWarpCoeff empty;
    std::vector<XVertex2<double>> pts = {{1, 2}, {3, 4}};
    EXPECT_TRUE(empty.WarpPoints(pts.data(), 0));
    EXPECT_FALSE(empty.WarpPoints(pts.data(), 2));
    // A derived mapping that fails for one element: the others are mapped.
    struct FailsAtTwo : XWarpCoeff {
        bool WarpPoint(double& x, double& y) override
        {
            if (x == 2) return false;
            x += 10;
            return true;
        }
        using XWarpCoeff::WarpPoint;
    } f;
    double xs[3] = {1, 2, 3}, ys[3] = {0, 0, 0};
    EXPECT_FALSE(f.WarpPoints(xs, ys, 3));
    EXPECT_EQ(xs[0], 11);
    EXPECT_EQ(xs[1], 2);
    EXPECT_EQ(xs[2], 13);

    r.m_RmsX = 1.5;
    r.m_RmsY = 2.5;
    XWarpCoeff c(r), d;
    d = r;
    EXPECT_EQ(c.m_RmsY, 2.5);
    EXPECT_EQ(d.m_CoeffX[2], r.m_CoeffX[2]);
    d.Reset();
    EXPECT_EQ(d.m_nMethod, XWARP_NULL);
    EXPECT_EQ(d.m_CoeffX[0], 0);
    EXPECT_EQ(d.m_RmsX, 1.5);
}

TEST(MtWarpFit, EveryMethodRecoversItsPolynomial)
{
    for (int method = XWARP_LINEAR; method <= XWARP_THIRDORDER; ++method) {
        double a[10] = {}, b[10] = {};
        MethodCoeffs(method, a, b);
        const Points p = Sample(method, a, b, 40, 100 + method);
        XWarp2D w;
        ASSERT_TRUE(w.Fit(method, 40, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1)) << method;
        EXPECT_EQ(w.m_nMethod, method);
        EXPECT_EQ(w.GetCellRows(), 0);
        EXPECT_LT(w.m_RmsX, 1e-9);
        EXPECT_LT(w.m_RmsY, 1e-9);
        for (int t = 0; t < GetWarpTermCount(method); ++t) {
            EXPECT_NEAR(w.m_CoeffX[t], a[t], 1e-9 * std::max(1.0, std::fabs(a[t]))) << method << " term " << t;
            EXPECT_NEAR(w.m_CoeffY[t], b[t], 1e-9 * std::max(1.0, std::fabs(b[t]))) << method << " term " << t;
        }
    }
}

TEST(MtWarpFit, PointCountsMasksAndResiduals)
{
    double a[10] = {}, b[10] = {};
    MethodCoeffs(XWARP_AFFINE, a, b);
    Points p = Sample(XWARP_AFFINE, a, b, 3, 1);
    XWarp2D w;
    ASSERT_TRUE(w.Fit(XWARP_AFFINE, 3, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));
    EXPECT_LT(w.m_RmsX, 1e-12);
    EXPECT_FALSE(w.Fit(XWARP_AFFINE, 2, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));
    EXPECT_EQ(w.m_nMethod, XWARP_NULL);

    MethodCoeffs(XWARP_THIRDORDER, a, b);
    p = Sample(XWARP_THIRDORDER, a, b, 10, 2);
    EXPECT_FALSE(w.Fit(XWARP_THIRDORDER, 9, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));
    EXPECT_TRUE(w.Fit(XWARP_THIRDORDER, 10, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));

    // Three collinear points cannot carry an affine fit.
    const double cx[3] = {0, 1, 2}, cy[3] = {0, 1, 2}, t[3] = {5, 6, 7};
    EXPECT_FALSE(w.Fit(XWARP_AFFINE, 3, cx, cy, t, t, nullptr, 1, 1));

    // A gross outlier masked out takes part neither in the fit nor in the residuals.
    MethodCoeffs(XWARP_AFFINE, a, b);
    p = Sample(XWARP_AFFINE, a, b, 12, 3);
    p.tx[5] += 1000;
    std::vector<uint8_t> mask(12, 1);
    mask[5] = 0;
    ASSERT_TRUE(w.Fit(XWARP_AFFINE, 12, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), mask.data(), 1, 1));
    EXPECT_LT(w.m_RmsX, 1e-10);
    ASSERT_TRUE(w.Fit(XWARP_AFFINE, 12, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));
    EXPECT_GT(w.m_RmsX, 100);
    double rx, ry;
    XWarp2D::CalcRms(w, 0, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, rx, ry);
    EXPECT_EQ(rx, NAN_REAL64);

    XWarp2D none;
    EXPECT_TRUE(none.Fit(XWARP_NOCHANGE, 12, p.sx.data(), p.sy.data(), p.tx.data(), p.ty.data(), nullptr, 1, 1));
    EXPECT_EQ(none.m_nMethod, XWARP_NULL);
}

TEST(MtWarp2D, CellGridEdgesOutsidePointsAndNullCells)
{
    // A 3 x 3 lattice over [0, 2]^2 mapped by x' = 10x, y' = 10y, except
    // that every target right of x = 1 moves by +100 in x.
    std::vector<double> sx, sy, tx, ty;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            sx.push_back(i);
            sy.push_back(j);
            tx.push_back(10.0 * i + (i > 1 ? 100 : 0));
            ty.push_back(10.0 * j);
        }
    XWarp2D w;
    ASSERT_TRUE(w.Fit(XWARP_AFFINE, 9, sx.data(), sy.data(), tx.data(), ty.data(), nullptr, 2, 2));
    ASSERT_EQ(w.GetCellRows(), 2);
    ASSERT_EQ(w.GetCellCols(), 2);
    EXPECT_EQ(w.m_Bound[2], 2.0);
    // The left cells fit their six points exactly, so the shared column x = 1
    // (in both cells) maps to 10 from the left; the right cells see a jump.
    double x = 0.5, y = 0.5;
    ASSERT_TRUE(w.WarpPoint(x, y));
    EXPECT_NEAR(x, 5, 1e-12);
    EXPECT_NEAR(w.GetCell(0, 1).m_RmsX, 0, 1e-12);  // 1 -> 10 and 2 -> 120 both fit a line
    // A point far outside maps through the nearest corner cell.
    x = 50, y = -30;
    ASSERT_TRUE(w.WarpPoint(x, y));
    double cx = 50, cy = -30;
    w.GetCell(0, 1).Evaluate(cx, cy);
    EXPECT_EQ(x, cx);
    EXPECT_EQ(y, cy);
    EXPECT_FALSE(w.IsUnchanged());

    // Copies own their grid.
    XWarp2D copy(w);
    ASSERT_EQ(copy.GetCellCols(), 2);
    EXPECT_NE(copy.m_Cells.m_pData, w.m_Cells.m_pData);
    EXPECT_EQ(copy.GetCell(1, 1).m_CoeffX[0], w.GetCell(1, 1).m_CoeffX[0]);

    // With only three points per cell on a 3 x 1 grid the middle cell
    // gets two points, fails its own fit and defers to the global set.
    std::vector<double> lx = {0, 0.2, 0.4, 1.5, 2.6, 2.8, 3}, ly = {0, 3, 1, 2, 0, 3, 1};
    std::vector<double> lt(lx.size());
    for (size_t i = 0; i < lx.size(); ++i) lt[i] = 2 * lx[i] + ly[i];
    XWarp2D g;
    ASSERT_TRUE(g.Fit(XWARP_AFFINE, int(lx.size()), lx.data(), ly.data(), lt.data(), ly.data(), nullptr, 3, 1));
    EXPECT_EQ(g.GetCell(0, 1).m_nMethod, XWARP_NULL);
    EXPECT_EQ(g.GetCell(0, 1).m_RmsX, NAN_REAL64);
    x = 1.5, y = 2;
    ASSERT_TRUE(g.WarpPoint(x, y));
    EXPECT_NEAR(x, 5, 1e-12);

    g.CreateRotation(10, 0, 0);  // drops the grid through the virtual Reset
    EXPECT_EQ(g.GetCellRows(), 0);
    EXPECT_EQ(g.m_nMethod, XWARP_AFFINE);
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
    x = 3;
    y = -2;
    EXPECT_FALSE(q.WarpPoint(x, y));
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, -2);

    std::vector<uint8_t> mask(25, 0);
    mask[0] = mask[1] = mask[2] = 1;
    EXPECT_FALSE(p.Fit(src.data(), dst.data(), 25, cx, cy, s, cx2, cy2, s2, mask.data()));
    EXPECT_FALSE(p.Fit(src.data(), dst.data(), 25, cx, cy, 0, cx2, cy2, s2));
}
