// Degree/minute/second functions, angles and vertices.
#include <gtest/gtest.h>

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Pelmora::Tivra;

namespace {

struct Dms { int d; int m; double s; };

Dms Split(double deg)
{
    Dms r{-99, -99, -99};
    Xfn::DegToDms(deg, r.d, r.m, r.s);
    return r;
}

double Join(int d, int m, double s)
{
    double deg = -99;
    Xfn::DmsToDeg(d, m, s, deg);
    return deg;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST(GeoDms, SignGoesOnTheFirstNonZeroPart)
{
    Dms r = Split(-0.25);
    EXPECT_EQ(r.d, 0);
    EXPECT_EQ(r.m, -15);
    EXPECT_EQ(r.s, 0.0);

    r = Split(-10.5);
    EXPECT_EQ(r.d, -10);
    EXPECT_EQ(r.m, 30);
    EXPECT_EQ(r.s, 0.0);

    // Below one minute the seconds carry the sign.
    r = Split(-0.5 / 3600.0);
    EXPECT_EQ(r.d, 0);
    EXPECT_EQ(r.m, 0);
    EXPECT_NEAR(r.s, -0.5, 1e-9);

    r = Split(0.0);
    EXPECT_EQ(r.d, 0);
    EXPECT_EQ(r.m, 0);
    EXPECT_EQ(r.s, 0.0);
    EXPECT_FALSE(std::signbit(r.s));

    // Seconds are never carried into a further minute.
    r = Split(10.0 + 59.0 / 60.0 + 59.9999999 / 3600.0);
    EXPECT_EQ(r.d, 10);
    EXPECT_EQ(r.m, 59);
    EXPECT_NEAR(r.s, 59.9999999, 1e-6);

    r = Split(kNaN);
    EXPECT_EQ(r.d, 0);
    EXPECT_EQ(r.m, 0);
    EXPECT_TRUE(std::isnan(r.s));
    r = Split(1e300);  // saturates instead of overflowing
    EXPECT_EQ(r.d, INT_MAX);

    EXPECT_EQ(Join(0, -15, 0), -0.25);
    EXPECT_EQ(Join(-10, 30, 0), -10.5);
    EXPECT_EQ(Join(10, -30, 0), -10.5);
    EXPECT_EQ(Join(0, 0, -36), -0.01);
    EXPECT_DOUBLE_EQ(Join(12, 30, 36), 12.51);
    EXPECT_EQ(Join(INT_MIN, 0, 0), -2147483648.0);
}

TEST(GeoDms, PackedFormAndRoundTrips)
{
    EXPECT_NEAR(Xfn::DegToPackedDms(12.0 + 34.0 / 60.0 + 56.0 / 3600.0), 12.3456, 1e-12);
    EXPECT_NEAR(Xfn::DegToPackedDms(-0.2), -0.12, 1e-12);
    EXPECT_NEAR(Xfn::PackedDmsToDeg(12.3456), 12.0 + 34.0 / 60.0 + 56.0 / 3600.0, 1e-12);
    // The sign of a small packed value lands on the seconds.
    EXPECT_NEAR(Xfn::PackedDmsToDeg(-0.0030), -30.0 / 3600.0, 1e-12);
    EXPECT_NEAR(Xfn::PackedDmsToDeg(-0.12), -0.2, 1e-12);

    for (double deg = -359.0; deg <= 359.0; deg += 0.7303) {
        EXPECT_NEAR(Xfn::PackedDmsToDeg(Xfn::DegToPackedDms(deg)), deg, 1e-9) << deg;
        const Dms r = Split(deg);
        EXPECT_NEAR(Join(r.d, r.m, r.s), deg, 1e-12) << deg;
    }
}

TEST(GeoAngle, UnitsDmsAndText)
{
    EXPECT_EQ(XAngle::FromDegree(180).rad(), 3.141592653589793);
    EXPECT_EQ(XAngle(1.0).deg(), 57.29577951308232);
    XAngle a;
    a.deg(90);
    EXPECT_EQ(a.rad(), 90 * 0.017453292519943295);

    EXPECT_NEAR(XAngle::FromDms(-10, 30, 0).deg(), -10.5, 1e-12);
    EXPECT_NEAR(XAngle::FromDms(0, -30, 0).deg(), -0.5, 1e-12);
    int d, m;
    double s;
    XAngle::FromDegree(-0.5).GetDms(d, m, s);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(m, -30);

    EXPECT_STREQ(XAngle::FromDms(37, 30, 15).GetDmsString(), "37.30.15.000000");
    EXPECT_STREQ(XAngle(0).GetDmsString(), "0.0.0.000000");
    EXPECT_STREQ(XAngle::FromDegree(-0.5).GetDmsString(), "0.-30.0.000000");

    EXPECT_EQ(XAngle(-2.5).Abs().rad(), 2.5);
    EXPECT_TRUE(XAngle(1) < XAngle(2));
    EXPECT_FALSE(XAngle(kNaN) < XAngle(2));
    EXPECT_FALSE(XAngle(kNaN) == XAngle(kNaN));
    EXPECT_EQ((2.0 * XAngle(1.5) - XAngle(0.5)).rad(), 2.5);
}

TEST(GeoAngle, NormalizeRemovesWholeTurnsKeepingTheSign)
{
    const double twoPi = 6.283185307179586;
    EXPECT_EQ(XAngle(7.0).Normalize().rad(), 7.0 - twoPi);
    EXPECT_EQ(XAngle(-7.0).Normalize().rad(), -7.0 + twoPi);
    EXPECT_EQ(XAngle(twoPi).Normalize().rad(), twoPi);
    // All whole turns, not just one.
    EXPECT_EQ(XAngle(13.0).Normalize().rad(), 13.0 - 2 * twoPi);
    EXPECT_EQ(XAngle(-20.0).Normalize().rad(), -20.0 + 3 * twoPi);
    EXPECT_EQ(XAngle(1.0).Normalize().rad(), 1.0);
    EXPECT_TRUE(std::isnan(XAngle(kNaN).Normalize().rad()));

    // Beyond a 32-bit turn count: still inside the open interval, same sign.
    for (double v : {1e12, -1e12, 1e300}) {
        const double r = XAngle(v).Normalize().rad();
        EXPECT_LT(std::fabs(r), twoPi) << v;
        EXPECT_EQ(std::signbit(r), std::signbit(v)) << v;
    }
    EXPECT_TRUE(std::isnan(XAngle(std::numeric_limits<double>::infinity()).Normalize().rad()));
}

TEST(GeoVertex, ArithmeticProductsAndNorms)
{
    const XVertex3d x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(x.Cross(y), XVertex3d(0, 0, 1));
    EXPECT_EQ(y.Cross(x), XVertex3d(0, 0, -1));
    EXPECT_EQ(XVertex3d(1, 2, 3).Dot(XVertex3d(4, -5, 6)), 12.0);
    EXPECT_EQ(XVertex3d(2, 3, 6).Norm(), 7.0);
    EXPECT_EQ(XVertex3d(2, 3, 6).Normalize(), XVertex3d(2.0 / 7, 3.0 / 7, 6.0 / 7));
    XVertex3d zero;
    EXPECT_EQ(zero.Normalize(), XVertex3d(0, 0, 0));
    EXPECT_EQ(2.0 * XVertex3d(1, 2, 3) - XVertex3d(1, 1, 1) / 2.0, XVertex3d(1.5, 3.5, 5.5));
    EXPECT_EQ(-XVertex3d(1, -2, 3), XVertex3d(-1, 2, -3));
    EXPECT_FALSE(XVertex3d(kNaN, 0, 0) == XVertex3d(kNaN, 0, 0));

    EXPECT_EQ(XVertex2i(3, 4).Norm(), 5.0);
    EXPECT_EQ(XVertex2i(3, 4).Dot(XVertex2i(-1, 2)), 5);
    EXPECT_EQ(XVertex2i(7, -7) / 2, XVertex2i(3, -3));
    EXPECT_EQ(XVertex2d(3, 4).Norm2(), 25.0);
    EXPECT_EQ(XVertex4d(1, 1, 1, 1).Norm(), 2.0);
    EXPECT_EQ(XVertex4d(1, 2, 3, 4) + XVertex4d(1, 1, 1, 1), XVertex4d(2, 3, 4, 5));

    // Plain values: components in order, nothing else.
    static_assert(sizeof(XVertex3d) == 3 * sizeof(double));
    static_assert(sizeof(XVertex4d) == 4 * sizeof(double));
    static_assert(sizeof(XVertex2i) == 2 * sizeof(int));
}
