// Geodesics on the ellipsoid: the inverse and direct problems against
// reference solutions of an independent geodesic library (embedded in
// tests/core/data/geodesic_reference.csv), their failure cases, meridional,
// equatorial and antimeridian geodesics, and the azimuth and elevation of
// targets around an oriented platform.
#include <gtest/gtest.h>

#include <tivra/geo/XGeodesic.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double D2R = 0.017453292519943295;

XAngle Deg(double d) { return XAngle(d * D2R); }

// |a - b| folded into [0, pi].
double AngleDiff(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * kPi)); }

XVertex3d Ecr(double lonRad, double latRad) { return Xfn::GeoToEcr(lonRad / D2R, latRad / D2R, 0.0); }

struct RefRow {
    double lat1, lon1, lat2, lon2, azi1, azi2, s12;
};

std::vector<RefRow> LoadReference()
{
    std::vector<RefRow> rows;
    std::ifstream in(std::string(TIVRA_SOURCE_DIR) + "/tests/core/data/geodesic_reference.csv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        RefRow r;
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf,%lf", &r.lat1, &r.lon1, &r.lat2, &r.lon2, &r.azi1,
                        &r.azi2, &r.s12) == 7)
            rows.push_back(r);
    }
    return rows;
}

} // namespace

TEST(GeoGeodesic, InverseKnownValuesAndFailures)
{
    double dist = 0;
    XAngle fwd, rev;
    ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(0), Deg(0), Deg(0), Deg(1), dist, fwd, rev));  // meridian
    EXPECT_NEAR(dist, 110574.389, 5e-4);
    EXPECT_EQ(fwd.rad(), 0.0);
    EXPECT_NEAR(rev.rad(), kPi, 1e-15);
    ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(0), Deg(0), Deg(1), Deg(0), dist, fwd, rev));  // equator
    EXPECT_NEAR(dist, 111319.491, 5e-4);
    EXPECT_NEAR(fwd.rad(), kPi / 2, 1e-15);
    EXPECT_NEAR(rev.rad(), 3 * kPi / 2, 1e-15);
    // Southward and westward give azimuths in [0, 2pi), not negative ones.
    ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(10), Deg(20), Deg(9), Deg(19), dist, fwd, rev));
    EXPECT_GT(fwd.rad(), kPi);
    EXPECT_LT(fwd.rad(), 1.5 * kPi);
    EXPECT_GT(rev.rad(), 0.0);
    EXPECT_LT(rev.rad(), 0.5 * kPi);
    // Across the antimeridian the short way: 2 degrees of longitude on the equator.
    ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(179), Deg(0), Deg(-179), Deg(0), dist, fwd, rev));
    EXPECT_NEAR(dist, 2 * 111319.491, 2e-3);
    EXPECT_NEAR(fwd.rad(), kPi / 2, 1e-12);

    // Failures leave every output untouched.
    const double kSentinel = -123.0;
    auto untouched = [&](bool ok) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(dist, kSentinel);
        EXPECT_EQ(fwd.rad(), kSentinel);
        EXPECT_EQ(rev.rad(), kSentinel);
    };
    auto reset = [&] { dist = kSentinel; fwd = rev = XAngle(kSentinel); };
    reset();
    untouched(Xfn::CalArcDistAndAngle(Deg(12.5), Deg(-33), Deg(12.5), Deg(-33), dist, fwd, rev));
    // Points whose first-pass cos(sigma) rounds to exactly 0 (found by a search
    // over latitude pairs and the longitude difference of a quarter circle).
    reset();
    untouched(Xfn::CalArcDistAndAngle(XAngle(0.0), XAngle(0.45353283085035745), XAngle(0.32793961535266214),
                                      XAngle(-1.0980617550978533), dist, fwd, rev));
    // Nearly antipodal on the equator: the longitude iteration does not settle.
    reset();
    untouched(Xfn::CalArcDistAndAngle(Deg(0), Deg(0), Deg(179.7), Deg(0.5), dist, fwd, rev));
}

TEST(GeoGeodesic, AgreesWithIndependentReference)
{
    const std::vector<RefRow> rows = LoadReference();
    ASSERT_GE(rows.size(), 10000u);
    double worstDist = 0, worstFwd = 0, worstRev = 0, worstRoundTrip = 0;
    int failures = 0;
    for (const RefRow& r : rows) {
        double dist;
        XAngle fwd, rev, lon2, lat2;
        if (!Xfn::CalArcDistAndAngle(Deg(r.lon1), Deg(r.lat1), Deg(r.lon2), Deg(r.lat2), dist, fwd, rev)) {
            ++failures;
            continue;
        }
        worstDist = std::max(worstDist, std::fabs(dist - r.s12));
        worstFwd = std::max(worstFwd, AngleDiff(fwd.rad(), r.azi1 * D2R));
        // The reference gives the forward azimuth at point 2; ours points back.
        worstRev = std::max(worstRev, AngleDiff(rev.rad(), r.azi2 * D2R + kPi));
        ASSERT_TRUE(fwd.rad() >= 0 && fwd.rad() < 2 * kPi && rev.rad() >= 0 && rev.rad() < 2 * kPi);

        // Direct problem with our own distance and azimuth back to point 2.
        Xfn::CalcPosByBearingAndDist(Deg(r.lon1), Deg(r.lat1), fwd, dist, lon2, lat2);
        ASSERT_TRUE(lon2.rad() >= -kPi && lon2.rad() < kPi);
        const XVertex3d miss = Ecr(lon2.rad(), lat2.rad()) - Ecr(r.lon2 * D2R, r.lat2 * D2R);
        worstRoundTrip = std::max(worstRoundTrip, miss.Norm());
    }
    EXPECT_EQ(failures, 0);
    EXPECT_LT(worstDist, 1e-3);
    EXPECT_LT(worstFwd, 1e-8);
    EXPECT_LT(worstRev, 1e-8);
    EXPECT_LT(worstRoundTrip, 1e-3);

    // Near the antipode the iteration may run out of passes; those that
    // converge still give a geodesic whose direct problem lands on point 2.
    std::mt19937_64 rng(6053);
    std::uniform_real_distribution<double> lat(-89, 89), lon(-180, 180), off(-0.5, 0.5);
    int antipodalFailures = 0;
    double worstAntipodalRoundTrip = 0;
    for (int i = 0; i < 2000; ++i) {
        const double la1 = lat(rng), lo1 = lon(rng);
        const double la2 = -la1 + off(rng), lo2 = lo1 + 180 + off(rng);
        double dist;
        XAngle fwd, rev, lon2, lat2;
        if (!Xfn::CalArcDistAndAngle(Deg(lo1), Deg(la1), Deg(lo2), Deg(la2), dist, fwd, rev)) {
            ++antipodalFailures;
            continue;
        }
        Xfn::CalcPosByBearingAndDist(Deg(lo1), Deg(la1), fwd, dist, lon2, lat2);
        const XVertex3d miss = Ecr(lon2.rad(), lat2.rad()) - Ecr(lo2 * D2R, la2 * D2R);
        worstAntipodalRoundTrip = std::max(worstAntipodalRoundTrip, miss.Norm());
    }
    EXPECT_GT(antipodalFailures, 0);
    EXPECT_LT(antipodalFailures, 2000);
    EXPECT_LT(worstAntipodalRoundTrip, 1e-3);
}

TEST(GeoGeodesic, DirectAlongMeridianEquatorAndAcrossTheAntimeridian)
{
    // {lon1, lat1, azimuth, distance, lon2, lat2 (deg), arriving azimuth}: north
    // and east for one degree, and distance 0 staying put.
    const struct { double lo1, la1, az, s, lo2, la2, az2; } cases[] = {
        {0, 0, 0, 110574.388556, 0, 1, 0}, {0, 0, kPi / 2, 111319.490793, 1, 0, kPi / 2},
        {-71, 42, 33 * D2R, 0, -71, 42, 33 * D2R}};
    XAngle lon2, lat2, az;
    for (const auto& c : cases) {
        az = Xfn::CalcPosByBearingAndDist(Deg(c.lo1), Deg(c.la1), XAngle(c.az), c.s, lon2, lat2);
        EXPECT_NEAR(lon2.rad(), c.lo2 * D2R, 1e-12) << c.s;
        EXPECT_NEAR(lat2.rad(), c.la2 * D2R, 1e-12) << c.s;
        EXPECT_NEAR(az.rad(), c.az2, 1e-15) << c.s;
    }
    // Southward along the meridian: the arriving azimuth is pi.
    az = Xfn::CalcPosByBearingAndDist(Deg(30), Deg(45), XAngle(kPi), 1e6, lon2, lat2);
    EXPECT_NEAR(lon2.rad(), 30 * D2R, 1e-12);
    EXPECT_LT(lat2.rad(), 45 * D2R);
    EXPECT_NEAR(std::fabs(az.rad()), kPi, 1e-12);

    // Eastward from 179.5 E for 200 km ends west of the antimeridian, and the
    // inverse problem agrees about the distance.
    Xfn::CalcPosByBearingAndDist(Deg(179.5), Deg(10), XAngle(kPi / 2), 2e5, lon2, lat2);
    EXPECT_GE(lon2.rad(), -kPi);
    EXPECT_LT(lon2.rad(), -178 * D2R);
    double dist;
    XAngle fwd, rev;
    ASSERT_TRUE(Xfn::CalArcDistAndAngle(Deg(179.5), Deg(10), lon2, lat2, dist, fwd, rev));
    EXPECT_NEAR(dist, 2e5, 1e-6);
    EXPECT_NEAR(fwd.rad(), kPi / 2, 1e-12);
    // Westward from 179.5 W likewise lands east of it.
    Xfn::CalcPosByBearingAndDist(Deg(-179.5), Deg(-10), XAngle(-kPi / 2), 2e5, lon2, lat2);
    EXPECT_GT(lon2.rad(), 178 * D2R);
    EXPECT_LT(lon2.rad(), kPi);

    // Another ellipsoid's members use its own axes: a sphere's quarter meridian.
    const XEllipsoidEarth sphere(6371000.0, 6371000.0);
    ASSERT_TRUE(sphere.CalArcDistAndAngle(Deg(0), Deg(0), Deg(0), Deg(89.999999), dist, fwd, rev));
    EXPECT_NEAR(dist, 6371000.0 * 89.999999 * D2R, 1e-6);
}

TEST(GeoGeodesic, AzimuthElevationAroundAnOrientedPlatform)
{
    const XVertex3d pos = Xfn::GeoToEcr(23.5, 47.25, 3000.0);
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(pos, N, E, D);
    const double y = 30 * D2R, p = 10 * D2R, r = 5 * D2R;
    // Body axes from the direction-cosine matrix, independent of the quaternions.
    const double cy = std::cos(y), sy = std::sin(y), cp = std::cos(p), sp = std::sin(p), cr = std::cos(r),
                 sr = std::sin(r);
    const XVertex3d X = N * (cp * cy) + E * (cp * sy) + D * (-sp);
    const XVertex3d Y = N * (sr * sp * cy - cr * sy) + E * (sr * sp * sy + cr * cy) + D * (sr * cp);
    const XVertex3d Z = N * (cr * sp * cy + sr * sy) + E * (cr * sp * sy - sr * cy) + D * (cr * cp);

    // Along an axis the other projection is rounding noise: its angle is NaN, unchecked.
    const double kAny = std::nan("");
    const struct Case { XVertex3d dir; double az, el; } cases[] = {
        {X, 0.0, 0.0},                       // ahead
        {Y, kPi / 2, kAny},                  // right
        {-X, kPi, kPi},                      // behind
        {-Z, kAny, kPi / 2},                 // above
        {Z, kAny, -kPi / 2},                 // straight down
        {X + Y, kPi / 4, 0.0},               // ahead right
        {X - Y, 7 * kPi / 4, 0.0},           // ahead left
        {X - Y * 0.5, 2 * kPi - std::atan(0.5), 0.0},
        {X - Z * std::tan(0.2), 0.0, 0.2},   // ahead, 0.2 rad up
        {X + Z * std::tan(0.3), 0.0, -0.3},  // ahead, 0.3 rad down
        {-X - Z, kPi, 3 * kPi / 4},          // behind and above
    };
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
    EXPECT_EQ(az.rad(), kPi / 2);
    EXPECT_EQ(el.rad(), kPi / 2);
}
