// Geographic points: the three representations kept in step, and the
// equidistant-cylindrical coordinates.
#include <gtest/gtest.h>

#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XGeoPoint.h>

#include <cmath>
#include <limits>

using namespace Pelmora::Tivra;

namespace {

constexpr double kA = 6378137.0;
constexpr double kB = 6356752.3142;

void ExpectInStep(const XGeoPoint& p)
{
    const XVertex3d ecr = Xfn::GeoToEcr(p.lond(), p.latd(), p.hgt());
    EXPECT_EQ(p.ecr(), ecr);
    double x, y, z;
    Xfn::GeoToEec(p.lond(), p.latd(), p.hgt(), x, y, z);
    EXPECT_EQ(p.eec(), XVertex3d(x, y, z));
}

} // namespace

TEST(GeoPoint, DefaultConstructionAndSettersKeepRepresentationsInStep)
{
    const XGeoPoint o;
    EXPECT_EQ(o.ecr(), XVertex3d(kA, 0, 0));
    EXPECT_EQ(o.eec(), XVertex3d(0, 0, 0));

    XGeoPoint p = XGeoPoint::FromDegree(12.5, -33.25, 850.0);
    EXPECT_EQ(p.lonr(), 12.5 * 0.017453292519943295);
    ExpectInStep(p);

    const XVertex3d before = p.ecr();
    p.lond(127.0);
    EXPECT_DOUBLE_EQ(p.latd(), -33.25);
    EXPECT_EQ(p.hgt(), 850.0);
    EXPECT_NE(p.ecr(), before);
    ExpectInStep(p);

    p.latr(0.5);
    p.hgt(-20.0);
    EXPECT_DOUBLE_EQ(p.lond(), 127.0);
    ExpectInStep(p);
    p.lat(XAngle::FromDegree(45));
    p.lon(XAngle(-1.0));
    EXPECT_DOUBLE_EQ(p.latd(), 45.0);
    EXPECT_EQ(p.lonr(), -1.0);
    ExpectInStep(p);

    const XGeoPoint q = XGeoPoint(XAngle(-1.0), XAngle::FromDegree(45), -20.0);
    EXPECT_TRUE(p == q);
    EXPECT_FALSE(p == XGeoPoint::FromRadian(-1.0, 0.25 * 3.141592653589793, -19.999));
    const XGeoPoint nan = XGeoPoint::FromRadian(std::nan(""), 0, 0);
    EXPECT_FALSE(nan == nan);
}

TEST(GeoPoint, FromEcrKeepsEcrAndMatchesReference)
{
    // Reference geodetic coordinates from an independent implementation.
    const XVertex3d ecr(-2694045.0, -4293642.0, 3857878.0);
    const XGeoPoint p = XGeoPoint::FromEcr(ecr);
    EXPECT_EQ(p.ecr(), ecr);
    EXPECT_NEAR(p.lond(), -122.10620920760212, 1e-11);
    EXPECT_NEAR(p.latd(), 37.460237130918294, 1e-11);
    EXPECT_NEAR(p.hgt(), -302.49552769157629, 1e-6);
    double x, y, z;
    Xfn::GeoToEec(p.lond(), p.latd(), p.hgt(), x, y, z);
    EXPECT_EQ(p.eec(), XVertex3d(x, y, z));
}

TEST(GeoPoint, EecFormulaAndTwoPassInverse)
{
    double x, y, z;
    Xfn::GeoToEec(90.0, 45.0, 0.0, x, y, z);
    EXPECT_DOUBLE_EQ(x, 0.5 * 3.141592653589793 * kA);
    EXPECT_DOUBLE_EQ(y, 0.25 * 3.141592653589793 * kB);
    EXPECT_EQ(z, 0.0);

    // Height scaled by the radius of the parallel over a: at 60 degrees the
    // parallel's radius is N cos(lat).
    Xfn::GeoToEec(0.0, 60.0, kA, x, y, z);
    const double s = std::sin(60.0 * 0.017453292519943295);
    const double N = kA / std::sqrt(1 - 0.006694380004260827 * s * s);
    EXPECT_NEAR(z, N * std::cos(60.0 * 0.017453292519943295), 1e-6);

    // At the pole the radius comes out 0 and is replaced by 1.
    Xfn::GeoToEec(0.0, 90.0, 100.0, x, y, z);
    EXPECT_EQ(z, 100.0 / kA);

    // The inverse reads the latitude held in its output: from latitude 0 the
    // height is off, a second pass fixes it.
    Xfn::GeoToEec(12.0, 60.0, 1234.5, x, y, z);
    double lon = 0, lat = 0, hgt = 0;
    Xfn::EecToGeo(x, y, z, lon, lat, hgt);
    EXPECT_NEAR(lat, 60.0, 1e-12);
    EXPECT_GT(std::fabs(hgt - 1234.5), 100.0);
    Xfn::EecToGeo(x, y, z, lon, lat, hgt);
    EXPECT_NEAR(hgt, 1234.5, 1e-9);

    for (double la : {-89.0, -45.0, 0.0, 30.0, 75.0}) {
        const XGeoPoint src = XGeoPoint::FromDegree(-100.0, la, 4321.0);
        const XGeoPoint p = XGeoPoint::FromEec(src.eec());
        EXPECT_EQ(p.eec(), src.eec());
        EXPECT_NEAR(p.lond(), -100.0, 1e-12);
        EXPECT_NEAR(p.latd(), la, 1e-12);
        EXPECT_NEAR(p.hgt(), 4321.0, 1e-8);
        EXPECT_NEAR((p.ecr() - src.ecr()).Norm(), 0.0, 1e-6);
    }
}
