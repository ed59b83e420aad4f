// The ellipsoid earth: catalogue look-ups, geodetic <-> ecr against
// independent reference values, local frames, surface and line tests,
// sidereal time and the inertial frame.
#include <gtest/gtest.h>

#include <tivra/geo/XEllipsoidEarth.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace Pelmora::Tivra;

namespace {

// Code, name, id and the ecr of (lon 151.2153, lat -33.8568, hgt 512.25),
// computed with an independent geodesy library from the tabled axes: they pin
// both the axes of every row and GeoToEcr.
struct Row { const char *code, *name; int id; double x, y, z; };
const Row kRows[] = {
    {"AA", "Airy", 7001, -4646906.3215526054, 2553042.6834394406, -3533306.4494165909},
    {"AM", "Modified Airy", 7002, -4646743.6984365601, 2552953.3371673515, -3533182.7982361801},
    {"AN", "Australian National", 7003, -4647358.3376800446, 2553291.0242466573, -3533564.7659615511},
    {"BR", "Bessel 1841", 7004, -4646787.9714992614, 2552977.6610962152, -3533202.8317427039},
    {"BN", "Bessel 1841(Namibia)", 7006, -4646851.1463119388, 2553012.3697781046, -3533250.8667601906},
    {"CC", "Clarke 1866", 7008, -4647445.7065700982, 2553339.0253230887, -3533367.5531293303},
    {"CD", "Clarke 1880", 7012, -4647502.0387812369, 2553369.9746320564, -3533286.4017571965},
    {"CE", "Clarke 1880 (IGN)EPSG 7011", 7011, -4647502.0618728111, 2553369.9873187281, -3533286.5028921855},
    {"EA", "Everest", 7015, -4646673.5604947545, 2552914.802893844, -3533245.7443883889},
    {"EB", "Everest (E. Malasia; Brunei)", 7016, -4646689.74282894, 2552923.6935809017, -3533258.0489546782},
    {"EC", "Everest 1956 (India)", 7044, -4646691.7005152917, 2552924.7691474124, -3533259.5374681335},
    {"ED", "Everest 1969 (West Malasia)", 7056, -4646687.6357135335, 2552922.5359170283, -3533256.4471722171},
    {"EE", "Everest 1948(W.Mals. & Sing.)", 7018, -4646693.7550017731, 2552925.8978965883, -3533261.1000781283},
    {"RF", "GRS 80", 7019, -4647341.4634059276, 2553281.7534029833, -3533552.511631202},
    {"HE", "Helmert 1906", 7020, -4647386.6710980786, 2553306.5908237738, -3533590.2943567471},
    {"HO", "Hough", 7053, -4647458.8091913853, 2553346.2239944404, -3533541.1013401868},
    {"ID", "Indonesian 1974", 7021, -4647358.3862374276, 2553291.0509244213, -3533564.5638751262},
    {"IN", "International 1924", 7022, -4647544.7816736763, 2553393.4578747265, -3533606.4679696257},
    {"KA", "Krassovsky", 7024, -4647419.4571242509, 2553324.6036947994, -3533615.2226830334},
    {"SA", "South American 1969", 7003, -4647358.3376800446, 2553291.0242466573, -3533564.7659615511},
    {"WD", "WGS 72", 7043, -4647339.9612627374, 2553280.9281150578, -3533551.5909305764},
    {"WE", "WGS 84", 7030, -4647341.4633833431, 2553281.7533905753, -3533552.5117251957},
    {"PV", "Popular Visualization Sphere", 7059, -4642511.1864525825, 2550627.9656178658, -3553667.5589025309},
    {"EF", "Everest (Pakistan)", 0, -4646697.5726221204, 2552927.9953237842, -3533265.1151062632},
    {"FA", "Mod. Fischer 1960(South Asia)", 0, -4647353.8852977538, 2553288.5780768306, -3533565.3650905252},
};

constexpr double kD2R = 0.017453292519943295;

} // namespace

TEST(GeoEarth, CatalogueRowsAndLookUps)
{
    ASSERT_EQ(XEllipsoidEarth::GetCatalogSize(), 25);
    EXPECT_EQ(XEllipsoidEarth::GetCatalogEntry(25), nullptr);
    EXPECT_EQ(XEllipsoidEarth::GetCatalogEntry(-1), nullptr);
    for (int i = 0; i < 25; ++i) {
        const Row& r = kRows[i];
        const XEllipsoidEarth e{XString(r.code)};
        double x, y, z;
        e.GeoToEcr(151.2153, -33.8568, 512.25, x, y, z);
        EXPECT_STREQ(XEllipsoidEarth::GetCatalogEntry(i)->code, r.code);
        EXPECT_EQ(std::make_tuple(XString(e.GetName()), e.GetId()), std::make_tuple(XString(r.name), r.id)) << r.code;
        EXPECT_NEAR((XVertex3d(x, y, z) - XVertex3d(r.x, r.y, r.z)).Norm(), 0.0, 1e-6) << r.code;
        // By id: "SA" (row 19) shares 7003 with "AN", which the look-up finds first.
        EXPECT_TRUE(r.id == 0 || i == 19 || XEllipsoidEarth(r.id).GetCode() == r.code) << r.code;
    }
    // Unknown ids and codes (codes are case-sensitive) fall back to WGS 84.
    for (const XEllipsoidEarth& e : {XEllipsoidEarth(0), XEllipsoidEarth(4326), XEllipsoidEarth(XString("XX")),
                                     XEllipsoidEarth(XString("aa")), XEllipsoidEarth(XString("")), XEllipsoidEarth()})
        EXPECT_EQ(std::make_tuple(XString(e.GetCode()), e.GetId(), e.GetA(), e.GetB()),
                  std::make_tuple(XString("WE"), 7030, 6378137.0, 6356752.3142));
    // A custom ellipsoid has no name or id; its derived terms in exact arithmetic.
    const XEllipsoidEarth custom(2.0, 1.0);
    EXPECT_EQ(std::make_tuple(XString(custom.GetName()), custom.GetId(), custom.GetF(), custom.GetE2(), custom.GetE()),
              std::make_tuple(XString(""), 0, 0.5, 0.75, std::sqrt(3.0) / 2));
}

TEST(GeoEarth, EcrToGeoAgainstReferenceOnTheEquatorAxisAndCentreAndRoundTrip)
{
    // Reference points (lat and lon to 1e-11, height to 1e-6), then the
    // equatorial plane (no iteration, latitude exactly 0) and the polar axis
    // (latitude exactly -90, height over the pole), to 1e-8.
    const struct { double x, y, z, lon, lat, hgt, latTol, hgtTol; } ref[] = {
        {6798137, 100000, -200000, 0.84275511756873611, -1.6956013273566799, 423695.0585044871, 1e-11, 1e-6},
        {1000, -2000, -6356000, -63.43494882292201, -89.979978054398615, -751.92350427750296, 1e-11, 1e-6},
        {-7000000, -50, 10, -179.99959074443206, 8.2353442206396272e-05, 621863.00018576055, 1e-11, 1e-6},
        {3000000, 6000000, 0, 63.43494882292201, 0.0, std::sqrt(4.5e13) - 6378137.0, 0, 1e-8},
        {0, 0, -6356852.3142, 0.0, -90.0, 100.0, 0, 1e-8}};
    double lon, lat, hgt;
    for (const auto& r : ref) {
        Xfn::EcrToGeo(r.x, r.y, r.z, lon, lat, hgt);
        EXPECT_NEAR(lon, r.lon, 1e-11) << r.x;
        EXPECT_NEAR(lat, r.lat, r.latTol) << r.x;
        EXPECT_NEAR(hgt, r.hgt, r.hgtTol) << r.x;
    }
    Xfn::EcrToGeo(0.0, 0.0, 0.0, lon, lat, hgt);  // the centre has no answer
    EXPECT_TRUE(std::isnan(lat) && std::isnan(hgt));

    double worstLat = 0, worstLon = 0, worstHgt = 0;
    for (int i = -899; i <= 899; i += 3)
        for (double lo = -180.0; lo <= 180.0; lo += 22.5)
            for (double h : {-1000.0, 0.0, 0.5, 8848.0, 400e3, 1e6}) {
                const XVertex3d v = Xfn::GeoToEcr(lo, i / 10.0, h);
                Xfn::EcrToGeo(v.x, v.y, v.z, lon, lat, hgt);
                worstLon = std::fmax(worstLon, std::fabs(std::remainder(lon - lo, 360.0)));
                worstLat = std::fmax(worstLat, std::fabs(lat - i / 10.0));
                worstHgt = std::fmax(worstHgt, std::fabs(hgt - h));
            }
    EXPECT_LT(std::max(worstLat, worstLon), 1e-11);
    EXPECT_LT(worstHgt, 1e-4);
}

TEST(GeoEarth, HeightStaysExactNearThePolarAxis)
{
    // Points d metres from the axis over both poles, heights from -10 km to
    // 40 000 km. A point (d cos lon, d sin lon, +-(b + h)) lies h above the
    // pole to within d^2 / (2 (a^2 / b)) < 1e-7 m: an independent reference.
    // The geodetic form puts the point d from the axis through the colatitude
    // d / (a^2 / b + h). Both must survive the round trip to 0.1 mm.
    const double a = 6378137.0, b = 6356752.3142, poleRadius = a * a / b;
    double lon, lat, hgt;
    for (double d : {0.0, 1e-4, 1e-3, 1e-2, 1.0})
        for (double pole : {1.0, -1.0})
            for (double h : {-10e3, 0.0, 8848.0, 700e3, 36e6, 40e6})
                for (double lo : {0.0, 33.0, -120.0}) {
                    const XVertex3d p(d * std::cos(lo * kD2R), d * std::sin(lo * kD2R), pole * (b + h));
                    Xfn::EcrToGeo(p.x, p.y, p.z, lon, lat, hgt);
                    const double ecrMiss = (Xfn::GeoToEcr(lon, lat, hgt) - p).Norm();
                    EXPECT_LT(std::fmax(std::fabs(hgt - h), ecrMiss), 1e-4) << d << " " << pole << " " << h;
                    // The inertial frame turns about the same axis: the same height.
                    Xfn::m_earth.EciToGeo(2451545.0, p.x, p.y, p.z, lon, lat, hgt);
                    EXPECT_NEAR(hgt, h, 1e-4) << "inertial " << d << " " << pole << " " << h;

                    const double la = pole * (90.0 - d / (poleRadius + h) / kD2R);
                    const XVertex3d q = Xfn::GeoToEcr(lo, la, h);
                    Xfn::EcrToGeo(q.x, q.y, q.z, lon, lat, hgt);
                    EXPECT_NEAR(hgt, h, 1e-4) << d << " " << pole << " " << h;
                    EXPECT_NEAR(lat, la, 1e-11) << d << " " << pole << " " << h;
                }
}

TEST(GeoEarth, LocalFramesAreOrthonormalEverywhereAndBuiltOnTheDefaultEarth)
{
    XVertex3d E, N, U, D;
    Xfn::m_earth.GetFrameENU(XVertex3d(6378137.0, 0, 0), E, N, U);
    EXPECT_NEAR((E - XVertex3d(0, 1, 0)).Norm() + (N - XVertex3d(0, 0, 1)).Norm() + (U - XVertex3d(1, 0, 0)).Norm(),
                0, 1e-9);

    for (double la : {-90.0, -89.99, -45.0, 0.0, 30.0, 89.99, 89.9999, 90.0})
        for (double lo : {-135.0, 0.0, 60.0}) {
            const XVertex3d pos = Xfn::GeoToEcr(lo, la, 2500.0);
            Xfn::m_earth.GetFrameNED(pos, N, E, D);
            for (const XVertex3d* v : {&N, &E, &D}) EXPECT_NEAR(v->Norm(), 1.0, 1e-12) << la;
            EXPECT_NEAR(std::fabs(N.Dot(E)) + std::fabs(N.Dot(D)) + std::fabs(E.Dot(D)), 0.0, 1e-12) << la;
            EXPECT_NEAR((N.Cross(E) - D).Norm(), 0.0, 1e-12) << la;  // right-handed
            // Down is the inward ellipsoid normal; north points along increasing latitude.
            const XVertex3d normal(-std::cos(la * kD2R) * std::cos(lo * kD2R),
                                   -std::cos(la * kD2R) * std::sin(lo * kD2R), -std::sin(la * kD2R));
            EXPECT_NEAR((D - normal).Norm(), 0.0, 1e-6) << la << " " << lo;
            EXPECT_GT(N.Dot(Xfn::GeoToEcr(lo, la + 0.001, 2500.0) - pos), 0.0) << la;
        }

    // Another ellipsoid builds the same frame as the default earth.
    const XVertex3d pos = Xfn::GeoToEcr(10, 45, 0);
    XVertex3d N2, E2, D2;
    XEllipsoidEarth(XString("PV")).GetFrameNED(pos, N2, E2, D2);
    Xfn::m_earth.GetFrameNED(pos, N, E, D);
    EXPECT_EQ(std::make_pair(N2, D2), std::make_pair(N, D));
}

TEST(GeoEarth, RadiiSurfaceTestsAndLineIntersection)
{
    const XEllipsoidEarth& w = Xfn::m_earth;
    const double a = w.GetA(), b = w.GetB(), e2 = w.GetE2();
    EXPECT_NEAR(w.GetMeridianRadius(XVertex3d(a, 0, 0)), a * (1 - e2), 1e-6);
    EXPECT_NEAR(w.GetPrimeVerticalRadius(XVertex3d(a, 0, 0)), a, 1e-6);
    EXPECT_NEAR(w.GetMeridianRadius(XVertex3d(0, 0, b)), a * a / b, 1e-5);
    EXPECT_NEAR(w.GetPrimeVerticalRadius(XVertex3d(0, 0, b)), a * a / b, 1e-5);

    // {inside, on, outside} for points inside, on, outside and NaN.
    const struct { XVertex3d p; int in, on, out; } pts[] = {
        {{a - 1, 0, 0}, 1, 0, 0}, {{a, 0, 0}, 0, 1, 0}, {{0, 0, -b}, 0, 1, 0},
        {{0, 0, b + 1}, 0, 0, 1}, {{std::nan(""), 0, 0}, 0, 0, 0}};
    for (const auto& t : pts)
        EXPECT_EQ(std::make_tuple(w.IsInside(t.p), w.IsOnSurface(t.p), w.IsOutside(t.p)),
                  std::make_tuple(t.in == 1, t.on == 1, t.out == 1)) << t.p.x << " " << t.p.z;

    // Exact arithmetic on an ellipsoid with a = 2, b = 1: through the centre,
    // tangent (one double root), missing, and a line of two equal points;
    // on failure every output keeps 1.7e308.
    const XEllipsoidEarth small(2.0, 1.0);
    const XVertex3d kNo(1.7e308, 1.7e308, 1.7e308);
    const struct { XVertex3d p0, p1; bool ok; double t1, t2; XVertex3d h1, h2; } lines[] = {
        {{4, 0, 0}, {0, 0, 0}, true, 0.5, 1.5, {2, 0, 0}, {-2, 0, 0}},
        {{2, -1, 0}, {2, 1, 0}, true, 0.5, 0.5, {2, 0, 0}, {2, 0, 0}},
        {{2.5, -1, 0}, {2.5, 1, 0}, false, 1.7e308, 1.7e308, kNo, kNo},
        {{1, 1, 1}, {1, 1, 1}, false, 1.7e308, 1.7e308, kNo, kNo}};
    for (const auto& l : lines) {
        XVertex3d h1, h2;
        double t1, t2;
        EXPECT_EQ(small.IntersectLine(l.p0, l.p1, h1, h2, t1, t2), l.ok);
        EXPECT_EQ(std::make_tuple(t1, t2, h1, h2), std::make_tuple(l.t1, l.t2, l.h1, l.h2)) << l.p0.x;
    }

    // Surface point below a point: on the ray, on the surface.
    const XVertex3d p = Xfn::GeoToEcr(33, 45, 1e5);
    XVertex3d s;
    ASSERT_TRUE(w.GetSurfacePoint(p, s));
    EXPECT_NEAR(s.Cross(p).Norm() / (s.Norm() * p.Norm()), 0.0, 1e-15);
    EXPECT_GT(s.Dot(p), 0.0);
    EXPECT_NEAR((s.x * s.x + s.y * s.y) / (a * a) + s.z * s.z / (b * b), 1.0, 1e-15);
    EXPECT_FALSE(w.GetSurfacePoint(XVertex3d(0, 0, 0), s));
}

TEST(GeoEarth, SiderealAngleAndInertialFrame)
{
    // Published values of the mean sidereal time (degrees): J2000.0, and
    // 1987-04-10 at 0h and 19h21m UT.
    const struct { double jd, deg, tol; } gmst[] = {
        {2451545.0, 280.46061837504, 1e-8}, {2446895.5, 197.693195, 1e-6}, {2446896.30625, 128.7378734, 1e-6}};
    for (const auto& g : gmst) EXPECT_NEAR(XEllipsoidEarth::GetSiderealAngle(g.jd) / kD2R, g.deg, g.tol) << g.jd;
    for (double jd = -1e6; jd < 5e6; jd += 1234.56789) {
        const double g = XEllipsoidEarth::GetSiderealAngle(jd);
        ASSERT_TRUE(g >= 0.0 && g < 6.283185307179586) << jd;
    }

    const double jd = 2458849.5 + 0.3141;
    const XVertex3d r(7000e3, -1200e3, 300e3), v(1000.0, 7000.0, -200.0);
    XVertex3d re, ve, ri, vi, rOnly;
    XEllipsoidEarth::EciToEcr(jd, r, v, re, ve);
    XEllipsoidEarth::EcrToEci(jd, re, ve, ri, vi);
    EXPECT_NEAR((ri - r).Norm(), 0.0, 1e-8);
    EXPECT_NEAR((vi - v).Norm(), 0.0, 1e-11);
    XEllipsoidEarth::EciToEcr(jd, r, rOnly);
    EXPECT_EQ(rOnly, re);
    EXPECT_EQ(re.z, r.z);  // a rotation about z
    EXPECT_NEAR(re.Norm(), r.Norm(), 1e-8);

    // A point at rest on the earth moves with omega x r in the inertial frame.
    XEllipsoidEarth::EcrToEci(jd, Xfn::GeoToEcr(20, 10, 0), XVertex3d(0, 0, 0), ri, vi);
    EXPECT_NEAR((vi - XVertex3d(0, 0, XEllipsoidEarth::OMEGA).Cross(ri)).Norm(), 0.0, 1e-12);

    // Geodetic <-> inertial agree with the ecr route and invert each other.
    for (double lo : {-179.0, -20.0, 100.0})
        for (double la : {-60.0, 0.5, 45.0}) {
            double x, y, z, lon, lat, hgt;
            Xfn::m_earth.GeoToEci(jd, lo, la, 1000.0, x, y, z);
            XEllipsoidEarth::EcrToEci(jd, Xfn::GeoToEcr(lo, la, 1000.0), ri);
            EXPECT_NEAR((ri - XVertex3d(x, y, z)).Norm(), 0.0, 1e-6);
            Xfn::m_earth.EciToGeo(jd, x, y, z, lon, lat, hgt);
            EXPECT_NEAR(std::fabs(lon - lo) + std::fabs(lat - la), 0.0, 1e-9);
            EXPECT_NEAR(hgt, 1000.0, 1e-5);
        }
}
