// Geodesics on the ellipsoid: the inverse and direct problems against
// reference solutions of an independent geodesic library (embedded in
// tests/core/data/geodesic_reference.csv), their failure cases, meridional
// and equatorial geodesics, and the azimuth and elevation of targets around
// an oriented platform.
#include <gtest/gtest.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XGeodesic.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double D2R = 0.017453292519943295;

XAngle Deg(double d) { return XAngle(d * D2R); }

// |a - b| folded into [0, pi].
double AngleDiff(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * kPi)); }

// Distance on the surface between two points given in radians and degrees.
double Miss(const XAngle& lon, const XAngle& lat, double lonDeg, double latDeg)
{
    return (Xfn::GeoToEcr(lon.deg(), lat.deg(), 0.0) - Xfn::GeoToEcr(lonDeg, latDeg, 0.0)).Norm();
}

struct RefRow { double lat1, lon1, lat2, lon2, azi1, azi2, s12; };

std::vector<RefRow> LoadReference()
{
    std::vector<RefRow> rows;
    std::ifstream in(std::string(TIVRA_SOURCE_DIR) + "/tests/core/data/geodesic_reference.csv");
    RefRow r;
    for (std::string line; std::getline(in, line);)
        if (line[0] != '#' && std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf,%lf", &r.lat1, &r.lon1, &r.lat2,
                                          &r.lon2, &r.azi1, &r.azi2, &r.s12) == 7)
            rows.push_back(r);
    return rows;
}

} // namespace

TEST(GeoGeodesic, InverseOnMeridianAndEquatorAndItsFailures)
{
    // From (0, 0) one degree north (meridian) and east (equator, where the
    // midpoint term drops out).
    const struct { double lo2, la2, dist, fwd, rev; } known[] = {{0, 1, 110574.389, 0.0, kPi},
                                                                 {1, 0, 111319.491, kPi / 2, 3 * kPi / 2}};
    for (const auto& k : known) {
        double dist = 0;
        XAngle fwd, rev;
        ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(0), Deg(0), Deg(k.lo2), Deg(k.la2), dist, fwd, rev));
        EXPECT_NEAR(dist, k.dist, 5e-4);
        EXPECT_NEAR(fwd.rad(), k.fwd, 1e-15);
        EXPECT_NEAR(rev.rad(), k.rev, 1e-15);
    }

    // Failures leave every output untouched: coincident points; points whose
    // first-pass cos(sigma) rounds to exactly 0 (found by a search over
    // latitude pairs and a longitude difference of a quarter circle); nearly
    // antipodal points on the equator, where the longitude iteration does not
    // settle.
    const XAngle failing[][4] = {
        {Deg(12.5), Deg(-33), Deg(12.5), Deg(-33)},
        {XAngle(0.0), XAngle(0.45353283085035745), XAngle(0.32793961535266214), XAngle(-1.0980617550978533)},
        {Deg(0), Deg(0), Deg(179.7), Deg(0.5)}};
    for (const auto& f : failing) {
        double dist = -123.0;
        XAngle fwd(-123.0), rev(-123.0);
        EXPECT_FALSE(Xfn::CalArcDistAndAngle(f[0], f[1], f[2], f[3], dist, fwd, rev));
        EXPECT_EQ(std::make_tuple(dist, fwd.rad(), rev.rad()), std::make_tuple(-123.0, -123.0, -123.0));
    }
}

TEST(GeoGeodesic, AgreesWithIndependentReferenceAndRoundTripsNearTheAntipode)
{
    std::vector<RefRow> rows = LoadReference();
    const size_t nRef = rows.size();
    ASSERT_GE(nRef, 10000u);
    // Near-antipodal pairs, which the reference leaves out, have no reference
    // values (NaN): the iteration may run out of passes on them; those that
    // converge still give a geodesic whose direct problem lands on point 2.
    std::mt19937_64 rng(6053);
    std::uniform_real_distribution<double> lat(-89, 89), lon(-180, 180), off(-0.5, 0.5);
    for (int i = 0; i < 2000; ++i) {
        const double la1 = lat(rng), lo1 = lon(rng), la2 = -la1 + off(rng), lo2 = lo1 + 180 + off(rng);
        rows.push_back({la1, lo1, la2, lo2, std::nan(""), std::nan(""), std::nan("")});
    }
    double worstDist = 0, worstFwd = 0, worstRev = 0, worstArrive = 0, worstRoundTrip[2] = {0, 0};
    int failures[2] = {0, 0};  // [reference, near-antipodal]
    for (size_t i = 0; i < rows.size(); ++i) {
        const RefRow& r = rows[i];
        const int antipodal = i >= nRef;
        double dist;
        XAngle fwd, rev, lon2, lat2;
        if (!Xfn::CalArcDistAndAngle(Deg(r.lon1), Deg(r.lat1), Deg(r.lon2), Deg(r.lat2), dist, fwd, rev)) {
            ++failures[antipodal];
            continue;
        }
        ASSERT_TRUE(fwd.rad() >= 0 && fwd.rad() < 2 * kPi && rev.rad() >= 0 && rev.rad() < 2 * kPi);
        // Direct problem with our own distance and azimuth: back to point 2
        // (across the antimeridian too).
        const XAngle arrive = Xfn::CalcPosByBearingAndDist(Deg(r.lon1), Deg(r.lat1), fwd, dist, lon2, lat2);
        ASSERT_TRUE(lon2.rad() >= -kPi && lon2.rad() < kPi);
        worstRoundTrip[antipodal] = std::max(worstRoundTrip[antipodal], Miss(lon2, lat2, r.lon2, r.lat2));
        if (antipodal) continue;
        worstDist = std::max(worstDist, std::fabs(dist - r.s12));
        worstFwd = std::max(worstFwd, AngleDiff(fwd.rad(), r.azi1 * D2R));
        // The reference gives the forward azimuth at point 2; ours points back,
        // and the direct problem arrives along it.
        worstRev = std::max(worstRev, AngleDiff(rev.rad(), r.azi2 * D2R + kPi));
        worstArrive = std::max(worstArrive, AngleDiff(arrive.rad(), r.azi2 * D2R));
    }
    EXPECT_EQ(failures[0], 0);
    EXPECT_GT(failures[1], 0);
    EXPECT_LT(failures[1], 2000);
    EXPECT_LT(worstDist, 1e-3);
    EXPECT_LT(std::max({worstFwd, worstRev, worstArrive}), 1e-8);
    EXPECT_LT(std::max(worstRoundTrip[0], worstRoundTrip[1]), 1e-3);
}

TEST(GeoGeodesic, DirectAlongMeridianAndEquator)
{
    // North, south and east for one degree, and distance 0 staying put; the
    // arriving azimuth south is +-pi.
    const struct { double lo1, la1, az, s, lo2, la2, az2; } cases[] = {
        {0, 0, 0, 110574.388556, 0, 1, 0},           {30, 1, kPi, 110574.388556, 30, 0, kPi},
        {0, 0, kPi / 2, 111319.490793, 1, 0, kPi / 2}, {-71, 42, 33 * D2R, 0, -71, 42, 33 * D2R}};
    for (const auto& c : cases) {
        XAngle lon2, lat2;
        const XAngle az = Xfn::CalcPosByBearingAndDist(Deg(c.lo1), Deg(c.la1), XAngle(c.az), c.s, lon2, lat2);
        EXPECT_NEAR(lon2.rad(), c.lo2 * D2R, 1e-12) << c.az;
        EXPECT_NEAR(lat2.rad(), c.la2 * D2R, 1e-12) << c.az;
        EXPECT_NEAR(std::fabs(az.rad()), c.az2, 1e-15) << c.az;
    }

    // Another ellipsoid's members use its own axes: a sphere's quarter meridian.
    double dist;
    XAngle fwd, rev;
    ASSERT_TRUE(XEllipsoidEarth(6371000.0, 6371000.0).CalArcDistAndAngle(Deg(0), Deg(0), Deg(0), Deg(89.999999), dist,
                                                                          fwd, rev));
    EXPECT_NEAR(dist, 6371000.0 * 89.999999 * D2R, 1e-6);
}

TEST(GeoGeodesic, AzimuthElevationAroundAnOrientedPlatform)
{
    const XVertex3d pos = Xfn::GeoToEcr(23.5, 47.25, 3000.0);
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(pos, N, E, D);
    const double y = 30 * D2R, p = 10 * D2R, r = 5 * D2R;
    // Body axes (forward, right, down) by the attitude rotation, which the
    // attitude tests hold against the direction-cosine matrix.
    XVertex3d X = N, Y = E, Z = D;
    Xfn::RotateFrame(X, Y, Z, y, p, r);

    // Along an axis the other projection is rounding noise: its angle is NaN, unchecked.
    const double kAny = std::nan("");
    const struct Case { XVertex3d dir; double az, el; } cases[] = {
        {X, 0.0, 0.0},          {Y, kPi / 2, kAny},         {-X, kPi, kPi},   {-Z, kAny, kPi / 2},
        {Z, kAny, -kPi / 2},    {X + Y, kPi / 4, 0.0},      {X - Y, 7 * kPi / 4, 0.0},
        {X - Y * 0.5, 2 * kPi - std::atan(0.5), 0.0},       {X - Z * std::tan(0.2), 0.0, 0.2},
        {X + Z * std::tan(0.3), 0.0, -0.3},                 {-X - Z, kPi, 3 * kPi / 4}};
    for (const Case& c : cases) {
        XAngle az, el;
        Xfn::CalcAzimuthElevationOfTarget(pos, XAngle(y), XAngle(p), XAngle(r), pos + c.dir * 5000.0, az, el);
        EXPECT_TRUE(az.rad() >= 0 && az.rad() < 2 * kPi && el.rad() >= -kPi && el.rad() <= kPi);
        EXPECT_NEAR(std::isnan(c.az) ? 0 : AngleDiff(az.rad(), c.az), 0.0, 1e-9) << c.az << " " << c.el;
        EXPECT_NEAR(std::isnan(c.el) ? 0 : AngleDiff(el.rad(), c.el), 0.0, 1e-9) << c.az << " " << c.el;
    }
    // A target at the platform itself: both projections are empty.
    XAngle az, el;
    Xfn::CalcAzimuthElevationOfTarget(pos, XAngle(y), XAngle(p), XAngle(r), pos, az, el);
    EXPECT_EQ(std::make_pair(az.rad(), el.rad()), std::make_pair(kPi / 2, kPi / 2));
}
