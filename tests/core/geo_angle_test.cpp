// Degree/minute/second functions, angles and vertices.
#include <gtest/gtest.h>

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>

#include <climits>
#include <cmath>
#include <limits>

using namespace Pelmora::Tivra;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoPi = 6.283185307179586;

double Join(int d, int m, double s)
{
    double deg = -99;
    Xfn::DmsToDeg(d, m, s, deg);
    return deg;
}

} // namespace

TEST(GeoDms, SplitJoinAndPackedFormPutTheSignOnTheFirstNonZeroPart)
{
    // Seconds below one minute carry the sign; seconds never carry into a
    // further minute; a non-number splits into (0, 0, NaN). tol 0 is exact.
    const struct { double deg; int d, m; double s, tol; } split[] = {
        {-0.25, 0, -15, 0.0, 0},   {-10.5, -10, 30, 0.0, 0}, {-0.5 / 3600.0, 0, 0, -0.5, 1e-9},
        {0.0, 0, 0, 0.0, 0},       {10.0 + 59.0 / 60.0 + 59.9999999 / 3600.0, 10, 59, 59.9999999, 1e-6},
        {kNaN, 0, 0, kNaN, 0}};
    for (const auto& c : split) {
        int d = -99, m = -99;
        double s = -99;
        Xfn::DegToDms(c.deg, d, m, s);
        EXPECT_EQ(std::make_pair(d, m), std::make_pair(c.d, c.m)) << c.deg;
        EXPECT_NEAR(std::isnan(c.s) ? 0.0 : s, std::isnan(c.s) ? 0.0 : c.s, c.tol) << c.deg;
        EXPECT_EQ(std::isnan(s), std::isnan(c.s));
        EXPECT_TRUE(std::isnan(c.s) || std::signbit(s) == std::signbit(c.s)) << c.deg;  // zero stays +0
    }
    int d, m;
    double s;
    Xfn::DegToDms(1e300, d, m, s);  // saturates instead of overflowing
    EXPECT_EQ(d, INT_MAX);

    // Any negative part makes the whole angle negative; INT_MIN has a magnitude.
    EXPECT_EQ(Join(0, -15, 0), -0.25);
    EXPECT_EQ(Join(-10, 30, 0), -10.5);
    EXPECT_EQ(Join(10, -30, 0), -10.5);
    EXPECT_EQ(Join(0, 0, -36), -0.01);
    EXPECT_EQ(Join(INT_MIN, 0, 0), -2147483648.0);

    // Packed ddd.mmss both ways; a small negative value signs the seconds.
    const struct { double deg, packed; } packed[] = {
        {12.0 + 34.0 / 60.0 + 56.0 / 3600.0, 12.3456}, {-0.2, -0.12}, {-30.0 / 3600.0, -0.0030}};
    for (const auto& c : packed) {
        EXPECT_NEAR(Xfn::DegToPackedDms(c.deg), c.packed, 1e-12) << c.deg;
        EXPECT_NEAR(Xfn::PackedDmsToDeg(c.packed), c.deg, 1e-12) << c.packed;
    }
    for (double deg = -359.0; deg <= 359.0; deg += 0.7303) {
        EXPECT_NEAR(Xfn::PackedDmsToDeg(Xfn::DegToPackedDms(deg)), deg, 1e-9) << deg;
        Xfn::DegToDms(deg, d, m, s);
        EXPECT_NEAR(Join(d, m, s), deg, 1e-12) << deg;
    }
}

TEST(GeoAngle, DmsTextNormalizeAndOperators)
{
    EXPECT_NEAR(XAngle::FromDms(0, -30, 0).deg(), -0.5, 1e-12);
    EXPECT_STREQ(XAngle::FromDms(37, 30, 15).GetDmsString(), "37.30.15.000000");
    EXPECT_STREQ(XAngle(0).GetDmsString(), "0.0.0.000000");
    EXPECT_STREQ(XAngle::FromDegree(-0.5).GetDmsString(), "0.-30.0.000000");

    // All whole turns go, the sign stays; exactly 2pi is left alone.
    const struct { double in, out; } turns[] = {{7.0, 7.0 - kTwoPi}, {-7.0, -7.0 + kTwoPi}, {kTwoPi, kTwoPi},
                                                {13.0, 13.0 - 2 * kTwoPi}, {-20.0, -20.0 + 3 * kTwoPi}};
    for (const auto& t : turns) EXPECT_EQ(XAngle(t.in).Normalize().rad(), t.out) << t.in;
    // Beyond a 32-bit turn count: still inside the open interval, same sign.
    for (double v : {1e12, -1e12, 1e300}) {
        const double r = XAngle(v).Normalize().rad();
        EXPECT_LT(std::fabs(r), kTwoPi) << v;
        EXPECT_EQ(std::signbit(r), std::signbit(v)) << v;
    }
    EXPECT_TRUE(std::isnan(XAngle(kNaN).Normalize().rad()));
    EXPECT_TRUE(std::isnan(XAngle(std::numeric_limits<double>::infinity()).Normalize().rad()));

    EXPECT_EQ((2.0 * XAngle(1.5) - XAngle(-0.5).Abs()).rad(), 2.5);
    EXPECT_TRUE(XAngle(1) < XAngle(2));
    EXPECT_FALSE(XAngle(kNaN) < XAngle(2) || XAngle(kNaN) == XAngle(kNaN));
}

TEST(GeoVertex, ArithmeticProductsAndNorms)
{
    const XVertex3d x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(std::make_pair(x.Cross(y), y.Cross(x)), std::make_pair(XVertex3d(0, 0, 1), XVertex3d(0, 0, -1)));
    EXPECT_EQ(XVertex3d(1, 2, 3).Dot(XVertex3d(4, -5, 6)), 12.0);
    EXPECT_EQ(XVertex3d(2, 3, 6).Normalize(), XVertex3d(2.0 / 7, 3.0 / 7, 6.0 / 7));
    XVertex3d zero;
    EXPECT_EQ(zero.Normalize(), XVertex3d(0, 0, 0));  // stays zero, no non-numbers
    EXPECT_EQ(2.0 * XVertex3d(1, 2, 3) - XVertex3d(1, 1, 1) / 2.0, XVertex3d(1.5, 3.5, 5.5));
    EXPECT_EQ(-XVertex3d(1, -2, 3), XVertex3d(-1, 2, -3));
    EXPECT_FALSE(XVertex3d(kNaN, 0, 0) == XVertex3d(kNaN, 0, 0));

    EXPECT_EQ(XVertex2i(3, 4).Norm(), 5.0);
    EXPECT_EQ(XVertex2i(7, -7) / 2, XVertex2i(3, -3));
    EXPECT_EQ(XVertex4d(1, 1, 1, 1).Norm(), 2.0);

    // Plain values: components in order, nothing else (arrays of vertices are
    // arrays of components).
    static_assert(sizeof(XVertex3d) == 3 * sizeof(double) && sizeof(XVertex4d) == 4 * sizeof(double));
    static_assert(sizeof(XVertex2i) == 2 * sizeof(int));
}
