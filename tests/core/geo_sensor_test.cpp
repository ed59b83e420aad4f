// Sensor geometry: frames, pointing, platform and gimbal attitudes, and the
// target search against an independent intersection of the line of sight.
#include <gtest/gtest.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XSensor.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>

using namespace Pelmora::Tivra;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double D2R = 0.017453292519943295;
constexpr int32_t kFrameTypes[] = {_XEARTH_SENSOR_FRAME_GEODETIC, _XEARTH_SENSOR_FRAME_GEOCENTRIC,
                                   _XEARTH_SENSOR_FRAME_VELX};

#define ExpectVec(a, b, tol) EXPECT_LE(((a) - (b)).Norm(), 1.8 * (tol)) << #a

// A satellite at 700 km over (lon 37.3, lat 21.7) flying roughly north-north-east.
struct Orbit { XVertex3d pos, vel; };

Orbit MakeOrbit(double lon = 37.3, double lat = 21.7, double hgt = 7e5)
{
    Orbit o;
    o.pos = Xfn::GeoToEcr(lon, lat, hgt);
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(o.pos, N, E, D);
    o.vel = (N * 0.95 + E * 0.31 + D * 0.01) * 7500.0;
    return o;
}

// The local frame turned by (yaw, pitch, roll), as a rebuilt attitude is checked.
XVertex3d RotatedDown(const XVertex3d& N, const XVertex3d& E, const XVertex3d& D, const XAngle& y, const XAngle& p,
                      const XAngle& r)
{
    XVertex3d X = N, Y = E, Z = D;
    Xfn::RotateFrame(X, Y, Z, y.rad(), p.rad(), r.rad());
    return Z;
}

// --- an independent reference for the target search ---------------------------
// Lines of sight are met with the ellipsoid by bisection in coordinates where
// it is the unit sphere, and the incidence is measured at the hit.

constexpr double kA = 6378137.0, kB = 6356752.3142;

XVertex3d Scaled(const XVertex3d& v) { return XVertex3d(v.x / kA, v.y / kA, v.z / kB); }

// The first point where the ray from pos along u meets the ellipsoid. Between
// the sensor and the ray's closest approach to the centre the squared scaled
// radius falls monotonically, so bisection on that stretch finds the entry.
bool RayHit(const XVertex3d& pos, const XVertex3d& u, XVertex3d& hit)
{
    const XVertex3d P = Scaled(pos), U = Scaled(u);
    double inside = -P.Dot(U) / U.Norm2(), outside = 0.0;
    if (!(inside > 0.0) || (P + U * inside).Norm2() >= 1.0) return false;
    for (double mid = inside / 2; mid != outside && mid != inside; mid = outside + (inside - outside) / 2) {
        if ((P + U * mid).Norm2() > 1.0)
            outside = mid;
        else
            inside = mid;
    }
    hit = pos + u * inside;
    return true;
}

// The angle at hit between the way back to the sensor and hit's radius vector.
double Incidence(const XVertex3d& pos, const XVertex3d& hit)
{
    const XVertex3d back = pos - hit;
    return std::atan2(back.Cross(hit).Norm(), back.Dot(hit));
}

// Whether some line of sight from pos in the plane of Z and W, on the side of
// W, meets the ellipsoid at the incidence inc, leaving out the band within
// 1e-7 rad of the incidence at the horizon. The look angle from Z toward W
// runs over [0, pi] in 180 steps; the lowest incidence found is refined by a
// golden-section search between its neighbours, the horizon by bisection
// between the last hit and the first miss.
bool ReachesIncidence(const XVertex3d& pos, const XVertex3d& Z, const XVertex3d& W, double inc)
{
    const auto look = [&](double t, double& g) {
        XVertex3d hit;
        const bool ok = RayHit(pos, Z * std::cos(t) + W * std::sin(t), hit);
        if (ok) g = Incidence(pos, hit);
        return ok;
    };
    constexpr int kSteps = 180;
    double gLow = 1e300, gHigh = -1e300, g = 0.0;
    int iLow = -1;
    bool hitBefore = false;
    for (int i = 0; i <= kSteps; ++i) {
        const double t = kPi * i / kSteps;
        const bool hit = look(t, g);
        if (hit) {
            if (g < gLow) gLow = g, iLow = i;
            gHigh = std::fmax(gHigh, g);
        }
        if (i > 0 && hit != hitBefore) {
            double in = kPi * (hit ? i : i - 1) / kSteps, out = kPi * (hit ? i - 1 : i) / kSteps;
            for (double mid = (in + out) / 2; mid != in && mid != out; mid = (in + out) / 2) {
                if (look(mid, g))
                    in = mid;
                else
                    out = mid;
            }
            look(in, g);
            gHigh = std::fmax(gHigh, g);
        }
        hitBefore = hit;
    }
    if (iLow < 0) return false;
    double lo = kPi * std::max(iLow - 1, 0) / kSteps, hi = kPi * std::min(iLow + 1, kSteps) / kSteps;
    for (int k = 0; k < 80; ++k) {  // 0.618^80 of a 1-degree bracket: below 1e-18 rad
        const double t1 = hi - 0.6180339887498949 * (hi - lo), t2 = lo + 0.6180339887498949 * (hi - lo);
        double g1 = 1e300, g2 = 1e300;
        look(t1, g1);
        look(t2, g2);
        if (g1 <= g2)
            hi = t2;
        else
            lo = t1;
        gLow = std::fmin(gLow, std::fmin(g1, g2));
    }
    return gLow <= inc + 1e-10 && inc <= gHigh - 1e-7;
}

// Uniform numbers in [0, 1) from a fixed 64-bit linear congruential sequence,
// the same on every platform.
struct Uniform {
    uint64_t s;
    double operator()()
    {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(s >> 11) * 0x1.0p-53;
    }
};

// Case i: a sensor 200 to 1000 km over a random point, flying level in a
// random direction (every other case also climbing or sinking by up to
// 150 m/s, which tilts the plane across the track off the earth's centre),
// frame type i mod 3, and an incidence from five bands in turn: anywhere in
// (-90, 90) degrees, within 0.01 degree of 0 (every fourth exactly 0),
// 60 to 80, 80 to 90, and 90.5 to 180 degrees (beyond the horizon).
struct SensorCase { XVertex3d pos, vel; int32_t type; double theta; };

SensorCase MakeSensorCase(int i, Uniform& rnd)
{
    SensorCase c;
    const double lon = 360.0 * rnd() - 180.0, lat = std::asin(2.0 * rnd() - 1.0) / D2R, hgt = 2e5 + 8e5 * rnd();
    c.pos = Xfn::GeoToEcr(lon, lat, hgt);
    const XVertex3d up = c.pos / c.pos.Norm();
    const XVertex3d level = up.Cross(XVertex3d(rnd() - 0.5, rnd() - 0.5, rnd() - 0.5));
    c.vel = level * (7500.0 / level.Norm()) + up * (i % 2 == 1 ? 300.0 * rnd() - 150.0 : 0.0);
    c.type = kFrameTypes[i % 3];
    const double sign = rnd() < 0.5 ? -1.0 : 1.0, r = rnd();
    const double bands[] = {(2.0 * r - 1.0) * 90.0, (i / 30) % 4 == 0 ? 0.0 : sign * 0.01 * r,
                            sign * (60.0 + 20.0 * r), sign * (80.0 + 10.0 * r), sign * (90.5 + 89.5 * r)};
    c.theta = bands[(i / 6) % 5] * D2R;
    return c;
}

} // namespace

TEST(GeoSensor, FramesAreOrthonormalPointBackRightAndDown)
{
    const Orbit o = MakeOrbit();
    XVertex3d N, E, D, X, Y, Z;
    Xfn::m_earth.GetFrameNED(o.pos, N, E, D);
    // Each type pins one axis: down along the ellipsoid normal, down toward
    // the centre, back against the velocity.
    const struct { int32_t type; const XVertex3d* axis; XVertex3d expected; double tol; } frames[] = {
        {_XEARTH_SENSOR_FRAME_GEODETIC, &Z, D, 1e-9},
        {_XEARTH_SENSOR_FRAME_GEOCENTRIC, &Z, o.pos / -o.pos.Norm(), 1e-15},
        {_XEARTH_SENSOR_FRAME_VELX, &X, o.vel / -o.vel.Norm(), 1e-15}};
    for (const auto& f : frames) {
        ASSERT_TRUE(Xfn::GetSensorFrame(o.pos, o.vel, f.type, X, Y, Z));
        for (const XVertex3d* v : {&X, &Y, &Z}) EXPECT_NEAR(v->Norm(), 1.0, 1e-15);
        EXPECT_NEAR(std::fabs(X.Dot(Y)) + std::fabs(Y.Dot(Z)) + std::fabs(Z.Dot(X)), 0.0, 1e-15);
        ExpectVec(X.Cross(Y), -Z, 1e-15);  // built as (back, right, down)
        EXPECT_LT(X.Dot(o.vel), -0.99 * o.vel.Norm());
        EXPECT_TRUE(Y.Dot(E) > 0.9 && Z.Dot(D) > 0.99) << f.type;
        ExpectVec(*f.axis, f.expected, f.tol);
    }

    const XVertex3d keep(9, 9, 9);
    X = Y = Z = keep;
    EXPECT_FALSE(Xfn::GetSensorFrame(o.pos, o.vel, 3, X, Y, Z));
    EXPECT_EQ(X, keep);
    // A zero velocity leaves the cross-product axes at zero instead of non-numbers.
    ASSERT_TRUE(Xfn::GetSensorFrame(o.pos, XVertex3d(), _XEARTH_SENSOR_FRAME_GEOCENTRIC, X, Y, Z));
    EXPECT_EQ(Y, XVertex3d());
}

TEST(GeoSensor, PointingVectorAndPlatformAttitude)
{
    // Yaw turns the line of sight about itself; pitch tilts it toward -Y,
    // roll toward -X.
    const XVertex3d x(1, 0, 0), y(0, 1, 0), z(0, 0, 1);
    ExpectVec(Xfn::GetSensorPointingVector(x, y, z, XAngle(0.7), XAngle(0), XAngle(0)), z, 1e-15);
    ExpectVec(Xfn::GetSensorPointingVector(x, y, z, XAngle(0), XAngle(0.3), XAngle(0)),
              XVertex3d(0, -std::sin(0.3), std::cos(0.3)), 1e-15);
    ExpectVec(Xfn::GetSensorPointingVector(x, y, z, XAngle(0), XAngle(0), XAngle(0.2)),
              XVertex3d(-std::sin(0.2), 0, std::cos(0.2)), 1e-15);

    const XGeoPoint pt = XGeoPoint::FromDegree(-12.4, 51.3, 2500.0);
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(pt.ecr(), N, E, D);
    const XAngle yP(0.4), pP(0.1), rP(-0.05), zero(0);
    XAngle yaw, pitch, roll, gy, gp, gr;

    // Shortcut 1: the platform's angles and the local down vector, even with
    // a rolled and pitched platform.
    ExpectVec(Xfn::CalcGlobalSensorAttitudeInPlatform(pt, yP, pP, rP, zero, zero, zero, yaw, pitch, roll), D, 0);
    EXPECT_EQ(std::make_tuple(yaw.rad(), pitch.rad(), roll.rad()), std::make_tuple(0.4, 0.1, -0.05));

    // The general path: the platform's down axis turned by the mount angle
    // plus the azimuth and tilted by the elevation (direction-cosine form in
    // the platform frame); the angles written back rebuild it.
    XVertex3d X = N, Y = E, Z = D;
    Xfn::RotateFrame(X, Y, Z, 0.4, 0.1, -0.05);
    const double h = 0.2 + 0.6, el = -0.3;
    XVertex3d v = Xfn::CalcGlobalSensorAttitudeInPlatform(pt, yP, pP, rP, XAngle(0.2), XAngle(el), XAngle(0.6), yaw,
                                                          pitch, roll);
    ExpectVec(v, X * (std::sin(el) * std::cos(h)) + Y * (std::sin(el) * std::sin(h)) + Z * std::cos(el), 1e-14);
    ExpectVec(RotatedDown(N, E, D, yaw, pitch, roll), v, 1e-12);

    // Shortcut 2 (level in roll, elevation only) agrees with the general path,
    // forced by a roll of 1e-300.
    v = Xfn::CalcGlobalSensorAttitudeInPlatform(pt, yP, pP, zero, zero, XAngle(0.25), zero, yaw, pitch, roll);
    const XVertex3d g =
        Xfn::CalcGlobalSensorAttitudeInPlatform(pt, yP, pP, XAngle(1e-300), zero, XAngle(0.25), zero, gy, gp, gr);
    ExpectVec(v, g, 1e-14);
    EXPECT_EQ(std::make_pair(pitch.rad(), roll.rad()), std::make_pair(0.1 + 0.25, 0.0));
    EXPECT_NEAR(gp.rad(), pitch.rad(), 1e-12);
    EXPECT_NEAR(gy.rad(), yaw.rad(), 1e-12);
}

TEST(GeoSensor, GimbalAttitude)
{
    const XGeoPoint pt = XGeoPoint::FromDegree(100.5, -8.25, 1200.0);
    XVertex3d N, E, D;
    Xfn::m_earth.GetFrameNED(pt.ecr(), N, E, D);
    const XAngle zero(0);
    XAngle yaw, pitch, roll;
    // Level platform, gimbal straight: the camera looks north, its forward axis is up.
    ExpectVec(Xfn::CalcGlobalSensorAttitudeInPlatformUAS(pt, zero, zero, zero, zero, zero, zero, yaw, pitch, roll), N,
              1e-15);
    EXPECT_NEAR(std::fabs(yaw.rad()) + std::fabs(roll.rad()), 0.0, 1e-12);
    EXPECT_NEAR(pitch.rad(), kPi / 2, 1e-7);

    // Gimbal turned right by 30 degrees and down by 50 on a yawed platform:
    // the line of sight from the direction-cosine matrix, and the returned
    // angles rebuild a camera frame whose down axis is that line of sight.
    const double yp = 1.1, az = 30 * D2R, el = -50 * D2R, h = yp + az;
    const XVertex3d los = Xfn::CalcGlobalSensorAttitudeInPlatformUAS(pt, XAngle(yp), zero, zero, XAngle(az),
                                                                     XAngle(el), zero, yaw, pitch, roll);
    ExpectVec(los, N * (std::cos(el) * std::cos(h)) + E * (std::cos(el) * std::sin(h)) + D * (-std::sin(el)), 1e-14);
    ExpectVec(RotatedDown(N, E, D, yaw, pitch, roll), los, 1e-12);
}

TEST(GeoSensor, TargetSearchAgainstAnIndependentIntersection)
{
    // Every target found lies where the line of sight first meets the
    // ellipsoid (to 1 mm), in the plane across the track on the requested
    // side, at the requested incidence (to 1e-9 rad, also the angle written
    // back); every failure is a case where no line of sight reaches that
    // incidence on that side (beyond the horizon, or a plane off the earth's
    // centre whose least incidence exceeds a tiny request).
    Uniform rnd{20240611};
    for (int i = 0; i < 9000; ++i) {
        const SensorCase c = MakeSensorCase(i, rnd);
        XVertex3d X, Y, Z, tar;
        ASSERT_TRUE(Xfn::GetSensorFrame(c.pos, c.vel, c.type, X, Y, Z));
        const XVertex3d W = c.theta > 0.0 ? Y : -Y;
        XAngle inc(c.theta);
        if (!Xfn::GetSensorPointingTargetOnEarth(c.pos, c.vel, 0.0, tar, inc, false, c.type)) {
            EXPECT_FALSE(ReachesIncidence(c.pos, Z, W, std::fabs(c.theta))) << "case " << i;
            EXPECT_EQ(std::make_pair(tar.x, inc.rad()), std::make_pair(XSENSOR_NO_TARGET, c.theta));
            continue;
        }
        const XVertex3d los = (tar - c.pos) / (tar - c.pos).Norm();
        XVertex3d hit;
        EXPECT_TRUE(RayHit(c.pos, los, hit) && (hit - tar).Norm() < 1e-3) << "case " << i;
        EXPECT_NEAR(Incidence(c.pos, tar), std::fabs(c.theta), 1e-9) << "case " << i;
        EXPECT_NEAR(inc.rad(), std::fabs(c.theta), 1e-9) << "case " << i;
        EXPECT_NEAR(los.Dot(X), 0.0, 1e-9) << "case " << i;
        EXPECT_GT(los.Dot(W), -1e-9) << "case " << i;

        // The distance argument changes nothing; the geodetic output is the same point.
        XVertex3d tar2, llh;
        XAngle inc2(c.theta), inc3(c.theta);
        ASSERT_TRUE(Xfn::GetSensorPointingTargetOnEarth(c.pos, c.vel, 4.2e5, tar2, inc2, false, c.type));
        EXPECT_EQ(std::make_pair(tar2, inc2.rad()), std::make_pair(tar, inc.rad())) << "case " << i;
        ASSERT_TRUE(Xfn::GetSensorPointingTargetOnEarth(c.pos, c.vel, 0.0, llh, inc3, true, c.type));
        EXPECT_LT((Xfn::GeoToEcr(llh.x, llh.y, llh.z) - tar).Norm(), 1e-6) << "case " << i;
        EXPECT_NEAR(llh.z, 0.0, 1e-6) << "case " << i;
    }

    // Failure (a sensor at the earth's centre, an unknown frame type): the
    // marker is written, the angle kept.
    const Orbit o = MakeOrbit();
    const XVertex3d kNoTarget(XSENSOR_NO_TARGET, XSENSOR_NO_TARGET, XSENSOR_NO_TARGET);
    const struct { XVertex3d pos; int32_t type; bool llh; } failing[] = {
        {XVertex3d(), _XEARTH_SENSOR_FRAME_GEOCENTRIC, false}, {o.pos, 7, true}};
    for (const auto& f : failing) {
        XVertex3d tar(1, 2, 3);
        XAngle inc(0.3);
        EXPECT_FALSE(Xfn::GetSensorPointingTargetOnEarth(f.pos, o.vel, 0.0, tar, inc, f.llh, f.type)) << f.type;
        EXPECT_EQ(std::make_pair(tar, inc.rad()), std::make_pair(kNoTarget, 0.3));
    }
}

TEST(GeoSensor, ScaleFactorAndDotProduct)
{
    // The map sends a to A and b to B; equal ends give the constant A.
    const struct { double a, b, A, B, s0, s1; } maps[] = {
        {0.0, 10.0, 100.0, 200.0, 100.0, 10.0}, {3.0, -5.0, 7.0, 23.0, 13.0, -2.0}, {4.0, 4.0, 9.0, 11.0, 9.0, 0.0}};
    for (const auto& m : maps) {
        double s0, s1;
        Xfn::GetScaleFactor(m.a, m.b, m.A, m.B, s0, s1);
        EXPECT_EQ(std::make_pair(s0, s1), std::make_pair(m.s0, m.s1)) << m.a << " " << m.b;
    }
    // The float form computes in double: inputs 1e-8 apart in float still resolve.
    float f0, f1;
    Xfn::GetScaleFactor(1.0f, 3.0f, 0.1f, 0.3f, f0, f1);
    EXPECT_FLOAT_EQ(f1, 0.1f);
    EXPECT_EQ(Xfn::DotProduct(XVertex3d(1, 2, 3), XVertex3d(-4, 5, 0.5)), 7.5);
}
