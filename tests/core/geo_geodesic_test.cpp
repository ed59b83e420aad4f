// Geodesics on the ellipsoid against reference solutions of an independent
// geodesic library (tests/core/data, see the README there), and the azimuth
// and elevation of targets around an oriented platform.
#include <gtest/gtest.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XGeodesic.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
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

// One solved pair; the azimuths are the forward ones at both points, NaN
// where the shortest geodesic is not unique.
struct RefRow { double lat1, lon1, lat2, lon2, azi1, azi2, s12; };

std::vector<RefRow> LoadReference(const std::string& name)
{
    std::vector<RefRow> rows;
    std::ifstream in(std::string(TIVRA_SOURCE_DIR) + "/tests/core/data/" + name);
    RefRow r;
    for (std::string line; std::getline(in, line);)
        if (line[0] != '#' && std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf,%lf,%lf,%lf", &r.lat1, &r.lon1, &r.lat2,
                                          &r.lon2, &r.azi1, &r.azi2, &r.s12) == 7)
            rows.push_back(r);
    return rows;
}

// Worst deviations of one inverse solver from the reference.
struct Worst {
    double dist = 0, azimuth = 0, roundTrip = 0;
};

// Checks one solution (dist, fwd, rev) of the row r: the distance, the
// azimuths at both ends where they are unique, and that the direct problem
// along fwd for dist lands on point 2 (and arrives with the reference
// azimuth).
void Compare(const RefRow& r, double dist, const XAngle& fwd, const XAngle& rev, Worst& w)
{
    ASSERT_TRUE(fwd.rad() >= 0 && fwd.rad() < 2 * kPi && rev.rad() >= 0 && rev.rad() < 2 * kPi);
    XAngle lon2, lat2;
    const XAngle arrive = Xfn::CalcPosByBearingAndDist(Deg(r.lon1), Deg(r.lat1), fwd, dist, lon2, lat2);
    w.roundTrip = std::max(w.roundTrip, Miss(lon2, lat2, r.lon2, r.lat2));
    w.dist = std::max(w.dist, std::fabs(dist - r.s12));
    if (std::isnan(r.azi1)) return;
    // The reference gives the forward azimuth at point 2; rev points back.
    w.azimuth = std::max({w.azimuth, AngleDiff(fwd.rad(), r.azi1 * D2R), AngleDiff(rev.rad(), r.azi2 * D2R + kPi)});
    // Arriving at a pole, the azimuth depends on the meridian it is read
    // against, and the direct problem picks its own.
    if (std::fabs(r.lat2) != 90) w.azimuth = std::max(w.azimuth, AngleDiff(arrive.rad(), r.azi2 * D2R));
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

TEST(GeoGeodesic, InversesAgreeWithIndependentReferenceAtRandomAndNearTheAntipode)
{
    // [0]: 10 000 random pairs; [1]: 2 000 pairs within one degree of
    // antipodal. Near the antipode lat2 = -lat1 puts point 2 on or beside
    // the segment of the antipodal parallel where two geodesics of equal
    // length meet (or on the antipode itself): the reference azimuths are
    // then one solution of several, and only the distance and the landing
    // point are checked.
    std::vector<RefRow> sets[2] = {LoadReference("geodesic_reference.csv"), LoadReference("geodesic_antipodal.csv")};
    ASSERT_EQ(sets[0].size(), 10000u);
    ASSERT_EQ(sets[1].size(), 2000u);
    Worst plain[2], robust[2];
    int plainFailures[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        for (RefRow& r : sets[k]) {
            if (k == 1 && r.lat1 + r.lat2 == 0) r.azi1 = r.azi2 = std::nan("");
            const XAngle lon1 = Deg(r.lon1), lat1 = Deg(r.lat1), lon2 = Deg(r.lon2), lat2 = Deg(r.lat2);
            double dist;
            XAngle fwd, rev;
            ASSERT_TRUE(Xfn::CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, dist, fwd, rev));
            Compare(r, dist, fwd, rev, robust[k]);

            double plainDist;
            XAngle plainFwd, plainRev;
            if (!Xfn::CalArcDistAndAngle(lon1, lat1, lon2, lat2, plainDist, plainFwd, plainRev)) {
                ++plainFailures[k];
                continue;
            }
            Compare(r, plainDist, plainFwd, plainRev, plain[k]);
            // Away from the antipode the robust inverse is Vincenty's, bit for bit.
            if (k == 0) {
                EXPECT_EQ(std::make_tuple(dist, fwd.rad(), rev.rad()),
                          std::make_tuple(plainDist, plainFwd.rad(), plainRev.rad()));
            }
        }
    // Vincenty's iteration fails on most nearly antipodal pairs; where it
    // converges there its azimuths are off by up to a few 1e-9 rad.
    EXPECT_EQ(plainFailures[0], 0);
    EXPECT_GT(plainFailures[1], 1000);
    for (int k = 0; k < 2; ++k) {
        EXPECT_LT(robust[k].dist, 1e-4) << k;
        EXPECT_LT(robust[k].azimuth, 1e-9) << k;
        EXPECT_LT(robust[k].roundTrip, 1e-3) << k;
        EXPECT_LT(plain[k].dist, 1e-4) << k;
        EXPECT_LT(plain[k].azimuth, 1e-8) << k;
        EXPECT_LT(plain[k].roundTrip, 1e-3) << k;
    }
}

TEST(GeoGeodesic, RobustInverseOnPolesCoincidentPointsAndBadArguments)
{
    // Pairs the random and antipodal sets do not hold, with reference values
    // from the same independent library (azimuths in degrees, forward at both
    // points; NaN where they are not unique). Longitudes beyond +-180 and
    // the cos(sigma) = 0 pair on which Vincenty's iteration fails are
    // included.
    const double kAny = std::nan("");
    const struct { XAngle lat1, lon1, lat2, lon2; double azi1, azi2, s12; } cases[] = {
        {Deg(0), Deg(0), Deg(0), Deg(179.5), kAny, kAny, 19980861.90887},
        {Deg(90), Deg(0), Deg(-89.5), Deg(179.5), 0.5, 180.0, 19948084.48311},
        {Deg(89.5), Deg(0), Deg(-90), Deg(179.5), 180.0, 0.5, 19948084.48311},
        {Deg(20), Deg(-700), Deg(-19.7), Deg(919.6), 25.8099671929, 154.2420408988, 19961425.13520},
        {XAngle(0.45353283085035745), XAngle(0.0), XAngle(-1.0980617550978533), XAngle(0.32793961535266214),
         171.5266997002, 163.1233993997, 9993946.36663}};
    for (const auto& c : cases) {
        double dist;
        XAngle fwd, rev;
        ASSERT_TRUE(Xfn::CalArcDistAndAngleRobust(c.lon1, c.lat1, c.lon2, c.lat2, dist, fwd, rev));
        Worst w;
        Compare({c.lat1.deg(), c.lon1.deg(), c.lat2.deg(), c.lon2.deg(), c.azi1, c.azi2, c.s12}, dist, fwd, rev, w);
        EXPECT_LT(w.dist, 1e-4) << c.lat1.deg() << " " << c.lon1.deg();
        EXPECT_LT(w.azimuth, 1e-9) << c.lat1.deg() << " " << c.lon1.deg();
        EXPECT_LT(w.roundTrip, 1e-3) << c.lat1.deg() << " " << c.lon1.deg();
    }

    // Coincident points: distance 0, reported as heading north.
    double dist = -1;
    XAngle fwd(-1), rev(-1);
    ASSERT_TRUE(Xfn::CalArcDistAndAngleRobust(Deg(12.5), Deg(-33), Deg(12.5), Deg(-33), dist, fwd, rev));
    EXPECT_EQ(std::make_tuple(dist, fwd.rad(), rev.rad()), std::make_tuple(0.0, 0.0, kPi));

    // Only a longitude that is not finite, or a latitude that is not a number
    // or lies beyond a pole, fails; the outputs stay untouched.
    const double nan = std::nan(""), inf = INFINITY, beyondPole = std::nextafter(kPi / 2, 4.0);
    const XAngle bad[][4] = {{XAngle(nan), Deg(10), Deg(20), Deg(30)},
                             {Deg(0), Deg(10), XAngle(-inf), Deg(30)},
                             {Deg(0), XAngle(nan), Deg(20), Deg(30)},
                             {Deg(0), Deg(10), Deg(20), XAngle(beyondPole)},
                             {Deg(0), XAngle(-beyondPole), Deg(180), Deg(-5)}};
    for (const auto& b : bad) {
        dist = -123.0;
        fwd = rev = XAngle(-123.0);
        EXPECT_FALSE(Xfn::CalArcDistAndAngleRobust(b[0], b[1], b[2], b[3], dist, fwd, rev));
        EXPECT_EQ(std::make_tuple(dist, fwd.rad(), rev.rad()), std::make_tuple(-123.0, -123.0, -123.0));
    }
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

TEST(GeoGeodesic, DirectWrapsLongitudeForLongDistancesAndNegativeAngles)
{
    // Along the equator the destination's longitude is known exactly:
    // lon1 +- dist / a. Elsewhere, starting whole turns further east or west
    // must not change it. Every longitude must lie in [-pi, pi).
    const double a = Xfn::m_earth.GetA();
    const auto wrap = [](double x) {  // into [-pi, pi) by a shifted fmod
        const double r = std::fmod(x + kPi, 2 * kPi);
        return (r < 0 ? r + 2 * kPi : r) - kPi;
    };
    // east: +1 or -1 along the equator, 0 elsewhere.
    const struct { double lon1, lat1, az, dist, east; } cases[] = {
        {0, 0, 90, 4e10, 1},    {-1000, 0, 90, 1e6, 1},    {-170, 0, -270, 1e8, 1}, {170, 0, -90, 4e10, -1},
        {0, 0, 45, 4e10, 0},    {-179.9, 60, -300, 5e9, 0}, {10, -45, 120, 1e9, 0},  {-135, 30, -45, 2.5e7, 0}};
    for (const auto& c : cases) {
        XAngle lon2, lat2;
        Xfn::CalcPosByBearingAndDist(Deg(c.lon1), Deg(c.lat1), Deg(c.az), c.dist, lon2, lat2);
        EXPECT_TRUE(lon2.rad() >= -kPi && lon2.rad() < kPi) << c.lon1 << " " << c.dist << ": " << lon2.rad();
        if (c.east != 0) {
            EXPECT_NEAR(lon2.rad(), wrap(c.lon1 * D2R + c.east * c.dist / a), 1e-9) << c.lon1 << " " << c.dist;
        }
        for (int turns : {-3, 2}) {
            XAngle shifted, lat;
            Xfn::CalcPosByBearingAndDist(XAngle(c.lon1 * D2R + turns * 2 * kPi), Deg(c.lat1), Deg(c.az), c.dist,
                                         shifted, lat);
            EXPECT_NEAR(shifted.rad(), lon2.rad(), 1e-9) << c.lon1 << " " << c.dist << " " << turns;
        }
    }
}

TEST(GeoGeodesic, DirectLandsOnTheIndependentReferenceAndBatchesEqualSingleCalls)
{
    // From point 1 along the reference's azimuth for its distance. The
    // reference's rounding (1e-10 degree, 1e-5 m) alone moves the end by up
    // to about 2e-5 m over half the earth, and the arriving azimuth by a few
    // 1e-11 rad near the antipode (Vincenty's direct misses by 1.1e-4 m and
    // 7e-10 rad). Rows where two geodesics meet carry no unique azimuth and
    // are left out.
    std::vector<RefRow> rows = LoadReference("geodesic_reference.csv");
    for (const RefRow& r : LoadReference("geodesic_antipodal.csv"))
        if (r.lat1 + r.lat2 != 0) rows.push_back(r);
    double worstPos = 0, worstAz = 0;
    std::vector<double> cols[4], inv[4];
    for (const RefRow& r : rows) {
        XAngle lon2, lat2;
        const XAngle az2 = Xfn::CalcPosByBearingAndDist(Deg(r.lon1), Deg(r.lat1), Deg(r.azi1), r.s12, lon2, lat2);
        worstPos = std::max(worstPos, Miss(lon2, lat2, r.lon2, r.lat2));
        if (std::fabs(r.lat2) != 90) worstAz = std::max(worstAz, AngleDiff(az2.rad(), r.azi2 * D2R));
        const double c[4] = {r.lon1, r.lat1, r.azi1, r.s12}, p[4] = {r.lon1, r.lat1, r.lon2, r.lat2};
        for (int k = 0; k < 4; ++k) {
            cols[k].push_back(k < 3 ? c[k] * D2R : c[k]);
            inv[k].push_back(p[k] * D2R);
        }
    }
    EXPECT_LT(worstPos, 3e-5);
    EXPECT_LT(worstAz, 1e-10);

    // The batches give every element bit for bit as the single calls do, on
    // any worker count and length (shorter than the worker count, empty);
    // a pair the robust inverse refuses comes back as NaN.
    inv[1][7] = std::nan("");
    inv[3][11] = 2.0;
    const size_t n = rows.size();
    for (int workers : {1, 2, 0})
        for (size_t len : {n, size_t(1), size_t(0)}) {
            std::vector<double> out[3], one[3];
            for (auto& v : out) v.assign(n, -1.0);
            for (auto& v : one) v.assign(n, -1.0);
            Xfn::CalcPosByBearingAndDist(cols[0].data(), cols[1].data(), cols[2].data(), cols[3].data(), len,
                                         out[0].data(), out[1].data(), out[2].data(), workers);
            for (size_t i = 0; i < len; ++i) {
                XAngle lo, la;
                one[2][i] = Xfn::CalcPosByBearingAndDist(XAngle(cols[0][i]), XAngle(cols[1][i]), XAngle(cols[2][i]),
                                                         cols[3][i], lo, la)
                                .rad();
                one[0][i] = lo.rad();
                one[1][i] = la.rad();
            }
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(std::memcmp(out[k].data(), one[k].data(), n * sizeof(double)), 0) << workers << " " << len;

            const size_t solved = Xfn::CalArcDistAndAngleRobust(inv[0].data(), inv[1].data(), inv[2].data(),
                                                                inv[3].data(), len, out[0].data(), out[1].data(),
                                                                out[2].data(), workers);
            size_t expected = 0;
            for (size_t i = 0; i < len; ++i) {
                XAngle f, r;
                double d;
                if (Xfn::CalArcDistAndAngleRobust(XAngle(inv[0][i]), XAngle(inv[1][i]), XAngle(inv[2][i]),
                                                  XAngle(inv[3][i]), d, f, r)) {
                    one[0][i] = d;
                    one[1][i] = f.rad();
                    one[2][i] = r.rad();
                    ++expected;
                } else {
                    one[0][i] = one[1][i] = one[2][i] = std::nan("");
                }
            }
            EXPECT_EQ(solved, expected);
            if (len == n) {
                EXPECT_EQ(solved, n - 2);
            }
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(std::memcmp(out[k].data(), one[k].data(), n * sizeof(double)), 0) << workers << " " << len;
        }
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
