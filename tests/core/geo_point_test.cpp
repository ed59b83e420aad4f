// Geographic points: the three representations kept in step, and the
// equidistant-cylindrical (eec) coordinates.
#include <gtest/gtest.h>

#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XGeoPoint.h>

#include <cmath>
#include <functional>

using namespace Pelmora::Tivra;

namespace {

constexpr double kA = 6378137.0;
constexpr double kB = 6356752.3142;
constexpr double kD2R = 0.017453292519943295;

XVertex3d Eec(double lon, double lat, double hgt)
{
    XVertex3d v;
    Xfn::GeoToEec(lon, lat, hgt, v.x, v.y, v.z);
    return v;
}

} // namespace

TEST(GeoPoint, EverySetterChangesOneComponentAndKeepsRepresentationsInStep)
{
    const XGeoPoint o;
    EXPECT_EQ(o.ecr(), XVertex3d(kA, 0, 0));
    EXPECT_EQ(o.eec(), XVertex3d(0, 0, 0));

    XGeoPoint p = XGeoPoint::FromDegree(12.5, -33.25, 850.0);
    // Each step and the longitude, latitude (degrees) and height after it.
    const struct { std::function<void(XGeoPoint&)> set; double lon, lat, hgt; } steps[] = {
        {[](XGeoPoint&) {}, 12.5, -33.25, 850.0},
        {[](XGeoPoint& q) { q.lond(127.0); }, 127.0, -33.25, 850.0},
        {[](XGeoPoint& q) { q.latr(0.5); }, 127.0, 0.5 / kD2R, 850.0},
        {[](XGeoPoint& q) { q.hgt(-20.0); }, 127.0, 0.5 / kD2R, -20.0},
        {[](XGeoPoint& q) { q.latd(-60.0); }, 127.0, -60.0, -20.0},
        {[](XGeoPoint& q) { q.lonr(0.25); }, 0.25 / kD2R, -60.0, -20.0},
        {[](XGeoPoint& q) { q.lat(XAngle::FromDegree(45)); }, 0.25 / kD2R, 45.0, -20.0},
        {[](XGeoPoint& q) { q.lon(XAngle(-1.0)); }, -1.0 / kD2R, 45.0, -20.0},
    };
    for (const auto& s : steps) {
        s.set(p);
        EXPECT_DOUBLE_EQ(p.lond(), s.lon);
        EXPECT_DOUBLE_EQ(p.latd(), s.lat);
        EXPECT_EQ(p.hgt(), s.hgt);
        EXPECT_EQ(p.ecr(), Xfn::GeoToEcr(p.lond(), p.latd(), p.hgt())) << s.lon << " " << s.lat;
        EXPECT_EQ(p.eec(), Eec(p.lond(), p.latd(), p.hgt())) << s.lon << " " << s.lat;
    }

    EXPECT_TRUE(p == XGeoPoint(XAngle(-1.0), XAngle::FromDegree(45), -20.0));
    EXPECT_FALSE(p == XGeoPoint::FromRadian(-1.0, 0.25 * 3.141592653589793, -19.999));
    const XGeoPoint nan = XGeoPoint::FromRadian(std::nan(""), 0, 0);
    EXPECT_FALSE(nan == nan);

    // From ecr: the ecr kept as given, geodetic values against an independent
    // implementation, eec derived from them.
    const XVertex3d ecr(-2694045.0, -4293642.0, 3857878.0);
    const XGeoPoint e = XGeoPoint::FromEcr(ecr);
    EXPECT_EQ(e.ecr(), ecr);
    EXPECT_NEAR(e.lond(), -122.10620920760212, 1e-11);
    EXPECT_NEAR(e.latd(), 37.460237130918294, 1e-11);
    EXPECT_NEAR(e.hgt(), -302.49552769157629, 1e-6);
    EXPECT_EQ(e.eec(), Eec(e.lond(), e.latd(), e.hgt()));
}

TEST(GeoPoint, EecFormulaAndTwoPassInverse)
{
    EXPECT_EQ(Eec(90.0, 45.0, 0.0), XVertex3d(0.5 * 3.141592653589793 * kA, 0.25 * 3.141592653589793 * kB, 0.0));
    // Height scaled by the radius of the parallel over a: at 60 degrees the
    // parallel's radius is N cos(lat). At the pole it is 0 and replaced by 1.
    const double s = std::sin(60.0 * kD2R), N = kA / std::sqrt(1 - 0.006694380004260827 * s * s);
    EXPECT_NEAR(Eec(0.0, 60.0, kA).z, N * std::cos(60.0 * kD2R), 1e-6);
    EXPECT_EQ(Eec(0.0, 90.0, 100.0).z, 100.0 / kA);

    // The inverse reads the latitude held in its output: from latitude 0 the
    // height is off, a second pass fixes it.
    const XVertex3d v = Eec(12.0, 60.0, 1234.5);
    double lon = 0, lat = 0, hgt = 0;
    Xfn::EecToGeo(v.x, v.y, v.z, lon, lat, hgt);
    EXPECT_NEAR(lat, 60.0, 1e-12);
    EXPECT_GT(std::fabs(hgt - 1234.5), 100.0);
    Xfn::EecToGeo(v.x, v.y, v.z, lon, lat, hgt);
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
