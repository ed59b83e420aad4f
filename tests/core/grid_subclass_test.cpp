// Derived grids: every operation that reads or writes samples sees a derived
// class's GetValue and SetValue, and a derived class that keeps them keeps the
// typed fast paths.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarpCoeff.h>

#include <atomic>
#include <tuple>
#include <vector>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

constexpr double N = NAN_REAL64;

/// Channel a reads as twice what is stored and is stored as half of what is
/// written; writes are counted. An operation that bypasses the accessors sees
/// the stored values, or leaves the count short.
class ScaledGrid : public XGrid {
public:
    using XGrid::XGrid;
    ScaledGrid(const ScaledGrid& src) : XGrid(src), m_nWrites(src.m_nWrites.load()) {}
    bool GetValue(int r, int c, double& a, double& b, double& cc, double& d) const override
    {
        const bool ok = XGrid::GetValue(r, c, a, b, cc, d);
        a *= 2;
        return ok;
    }
    void SetValue(int r, int c, double a, double b, double cc, double d) override
    {
        ++m_nWrites;
        XGrid::SetValue(r, c, a / 2, b, cc, d);
    }
    std::atomic<int> m_nWrites{0};  // the resampler writes from several workers
};

/// Adds a member, keeps sample access.
class TaggedGrid : public XGrid {
public:
    using XGrid::XGrid;
    int m_nTag = 7;
};

/// A 2 x 2 REAL64 grid storing 1, 2 / 3, 4, so it reads 2, 4 / 6, 8.
ScaledGrid Scaled()
{
    ScaledGrid g(2, 2, XDT_REAL64);
    const double stored[4] = {1, 2, 3, 4};
    for (int i = 0; i < 4; ++i) g.XGrid::SetValue(i / 2, i % 2, stored[i], N, N, N);
    return g;
}

/// A plain grid holding what Scaled() reads as.
XGrid Twin()
{
    XGrid g(2, 2, XDT_REAL64);
    for (int i = 0; i < 4; ++i) g.SetValue(i / 2, i % 2, 2.0 * (i + 1), N, N, N);
    return g;
}

std::vector<double> Values(const XGrid& g)
{
    std::vector<double> v;
    for (int r = 0; r < g.GetRSize(); ++r)
        for (int c = 0; c < g.GetCSize(); ++c) v.push_back(g.GetAsREAL64(r, c));
    return v;
}

} // namespace

TEST(GridSubclass, GridOperationsGoThroughTheOverrides)
{
    // Direct access only when the accessors are the grid's own and samples are in memory.
    EXPECT_TRUE(XGrid(2, 2, XDT_UINT08).HasDirectSampleAccess() && TaggedGrid(2, 2, XDT_UINT08).HasDirectSampleAccess());
    EXPECT_FALSE(ScaledGrid(2, 2, XDT_UINT08).HasDirectSampleAccess() || XGrid().HasDirectSampleAccess());

    const ScaledGrid src = Scaled();
    const std::vector<double> kRead{2, 4, 6, 8};
    XGrid plain;
    ASSERT_TRUE(src.GetSubset(&plain, 0, 1, 0, 1));
    EXPECT_EQ(Values(plain), kRead);
    ASSERT_TRUE(src.FlipVert(&plain));
    EXPECT_EQ(Values(plain), (std::vector<double>{6, 8, 2, 4}));
    ASSERT_TRUE(src.FlipHorz(&plain));
    EXPECT_EQ(Values(plain), (std::vector<double>{4, 2, 8, 6}));
    ASSERT_TRUE(src.GetHalfSize(&plain));
    EXPECT_EQ(Values(plain), std::vector<double>{5});

    double a = 0, b = 0, c = 0, d = 0;
    src.GetWindowMean(0, 1, 0, 1, -1, a, b, c, d);
    EXPECT_EQ(a, 5);
    const XGrid twin = Twin();
    for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE})
        for (double y : {0.0, 0.25, 1.0})
            for (double x : {0.0, 0.5, 0.75}) {
                double ta = 0;
                ASSERT_TRUE(src.GetValueInterpolated(y, x, method, a, b, c, d));
                ASSERT_TRUE(twin.GetValueInterpolated(y, x, method, ta, b, c, d));
                EXPECT_EQ(a, ta) << method << " at " << y << "," << x;
            }

    uint64_t nCount = 0;
    double dMax = 0, dMin = 0, dMean = 0, dStdDev = 0;
    Xfn::GetStatistics(src, 0, 1, 0, 1, N, nCount, dMin, dMax, dMean, dStdDev);
    EXPECT_EQ(std::make_tuple(nCount, dMean, dMax), std::make_tuple(uint64_t(4), 5.0, 8.0));

    // Writes: each cell written once through SetValue, and reads back as written.
    ScaledGrid dst(2, 2, XDT_REAL64);
    dst.Fill(0, N, N, N);
    EXPECT_EQ(dst.m_nWrites, 4);
    dst.Fill(6, N, N, N);
    EXPECT_EQ(Values(dst), std::vector<double>(4, 6));
    ASSERT_TRUE(dst.SetSubset(10, N, N, N, 0, 0, 0, 1));
    const double block[2] = {20, 30};
    ASSERT_TRUE(dst.SetSubset(block, XDT_REAL64, 1, 1, 0, 1, N));
    EXPECT_EQ(Values(dst), (std::vector<double>{10, 10, 20, 30}));
    EXPECT_EQ(dst.m_nWrites, 12);
    ASSERT_TRUE(XGrid(src).GetSubset(&dst, 0, 1, 0, 1));  // a plain source of the stored 1..4
    EXPECT_EQ(Values(dst), (std::vector<double>{1, 2, 3, 4}));
    EXPECT_EQ(dst.m_nWrites, 16);
}

TEST(GridSubclass, ResamplingAndConvolutionGoThroughTheOverrides)
{
    const ScaledGrid src = Scaled();
    XWarpCoeff identity;
    identity.m_nMethod = XWARP_NOCHANGE;
    const XGrid twin = Twin();
    for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE}) {
        XGrid plain(2, 2, XDT_REAL64), fromTwin(2, 2, XDT_REAL64);
        ASSERT_TRUE(ResampleByWarp(&src, &plain, &identity, method, 0));
        ASSERT_TRUE(ResampleByWarp(&twin, &fromTwin, &identity, method, 0));
        EXPECT_EQ(Values(plain), Values(fromTwin)) << method;
        ScaledGrid dst(2, 2, XDT_REAL64);
        ASSERT_TRUE(ResampleByWarp(&twin, &dst, &identity, method, 0));
        EXPECT_EQ(Values(dst), Values(fromTwin)) << method;
    }

    XMatrix one;
    ASSERT_TRUE(one.Resize(1, 1));
    one(0, 0) = 1;
    XGrid out;
    ASSERT_TRUE(Convolve(&src, &one, &out, XCONV_EDGE_SKIP, XDT_REAL64));
    EXPECT_EQ(Values(out), (std::vector<double>{2, 4, 6, 8}));
    ScaledGrid scaledOut;
    ASSERT_TRUE(Convolve(&out, &one, &scaledOut, XCONV_EDGE_SKIP, XDT_REAL64));
    EXPECT_EQ(Values(scaledOut), (std::vector<double>{2, 4, 6, 8}));
}
