// Sensor frames, sensor attitude on a platform and the target search on the
// ellipsoid.
#include <tivra/geo/XSensor.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XGeoConstants.h>
#include <tivra/geo/XEllipsoidEarth.h>

#include <cmath>

namespace Pelmora::Tivra {

namespace {

using V3 = XVertex3<double>;

V3 Unit(V3 v) { return v.Normalize(); }

const V3 kNoTarget(XSENSOR_NO_TARGET, XSENSOR_NO_TARGET, XSENSOR_NO_TARGET);

// A target is accepted when it lies within this height of the ellipsoid
// (metres) and its incidence within this angle of the requested one (radians).
constexpr double kTargetHeightTol = 1e-3;
constexpr double kTargetIncidenceTol = 1e-9;
// Steps of the golden-section search: 0.618^80 shrinks a bracket of pi
// below 1e-16 rad, under the spacing of doubles near 1.
constexpr int kGoldenSteps = 80;
// (sqrt(5) - 1) / 2, the golden-section ratio.
constexpr double kGolden = 0.6180339887498949;

// The lines of sight from pos in the plane across the track, on one side: the
// direction at look angle t is Z cos t + W sin t (t = 0 along the frame's Z
// axis, t = pi/2 along W). The ellipsoid is x M x = 1 with
// M = diag(1/a^2, 1/a^2, 1/b^2).
struct LookPlane {
    V3 pos, Z, W;
    double a2, b2;

    V3 M(const V3& v) const { return V3(v.x / a2, v.y / a2, v.z / b2); }
    V3 Direction(double t) const { return Z * std::cos(t) + W * std::sin(t); }

    // The first point where the line of sight at t meets the ellipsoid: the
    // smaller root of A r^2 + 2 B r + C = 0 along the unit direction u, in the
    // form C / (-B + sqrt(B^2 - A C)), which has no cancellation. Only called
    // for look angles that hit, where B < 0; a discriminant that rounding has
    // made negative at a tangent end is taken as 0.
    V3 FirstHit(double t) const
    {
        const V3 u = Direction(t);
        const V3 Mpos = M(pos);
        const double A = u.Dot(M(u)), B = u.Dot(Mpos), C = pos.Dot(Mpos) - 1.0;
        const double disc = std::fmax(B * B - A * C, 0.0);
        return pos + u * (C / (std::sqrt(disc) - B));
    }

    double IncidenceAt(double t) const { return Incidence(pos, FirstHit(t)); }

    // The angle at tar between the way back to the sensor and tar's radius
    // vector. atan2 keeps full precision near 0, where acos of the cosine
    // would lose half the digits.
    static double Incidence(const V3& pos, const V3& tar)
    {
        const V3 back = pos - tar;
        return std::atan2(back.Cross(tar).Norm(), back.Dot(tar));
    }

    // The look angles in [0, pi] whose lines of sight hit the ellipsoid, as
    // [lo, hi]. Along u(t) the line meets the ellipsoid when
    // (u M pos)^2 - (u M u)(pos M pos - 1) >= 0, a quadratic form in (cos t,
    // sin t) that equals m + R cos(2 (t - c)); it is non-negative within
    // acos(-m / R) / 2 of c or c + pi, and the lines of sight (not their
    // backward halves) are the copy where u M pos < 0. That arc is shorter
    // than pi, so it meets [0, pi] in one piece at most. False when the sensor
    // is not above the ellipsoid or no line of sight on this side hits.
    bool HitArc(double& lo, double& hi) const
    {
        const V3 Mpos = M(pos), MZ = M(Z), MW = M(W);
        const double C = pos.Dot(Mpos) - 1.0;
        if (!(C > 0.0)) return false;
        const double bz = Z.Dot(Mpos), bw = W.Dot(Mpos);
        const double g11 = bz * bz - C * Z.Dot(MZ), g12 = bz * bw - C * Z.Dot(MW), g22 = bw * bw - C * W.Dot(MW);
        const double m = (g11 + g22) / 2.0, R = std::hypot((g11 - g22) / 2.0, g12);
        if (!(m + R > 0.0)) return false;
        const double halfWidth = m >= R ? XGEO_PI / 2.0 : std::acos(-m / R) / 2.0;
        // atan2 / 2 lies in [-pi/2, pi/2]; the forward copy then lies in
        // [-pi/2, 3pi/2], where no other copy can reach [0, pi].
        double c = std::atan2(g12, (g11 - g22) / 2.0) / 2.0;
        if (bz * std::cos(c) + bw * std::sin(c) >= 0.0) c += XGEO_PI;
        lo = std::fmax(c - halfWidth, 0.0);
        hi = std::fmin(c + halfWidth, XGEO_PI);
        return lo <= hi;
    }

    // The look angle of least incidence in [lo, hi], by golden-section search.
    // Along the side the incidence falls (if at all) to one minimum and then
    // rises toward the horizon.
    double LeastIncidenceAngle(double lo, double hi) const
    {
        double t1 = hi - kGolden * (hi - lo), t2 = lo + kGolden * (hi - lo);
        double g1 = IncidenceAt(t1), g2 = IncidenceAt(t2);
        for (int step = 0; step < kGoldenSteps; ++step) {
            if (g1 <= g2) {
                hi = t2;
                t2 = t1;
                g2 = g1;
                t1 = hi - kGolden * (hi - lo);
                g1 = IncidenceAt(t1);
            } else {
                lo = t1;
                t1 = t2;
                g1 = g2;
                t2 = lo + kGolden * (hi - lo);
                g2 = IncidenceAt(t2);
            }
        }
        return g1 <= g2 ? t1 : t2;
    }

    // The look angle in [lo, hi] where the incidence, rising from lo to hi,
    // reaches inc: bisection down to adjacent doubles. hi when the incidence
    // stays below inc (beyond the horizon).
    double RisingToIncidence(double lo, double hi, double inc) const
    {
        for (double mid = lo + (hi - lo) / 2.0; mid != lo && mid != hi; mid = lo + (hi - lo) / 2.0) {
            if (IncidenceAt(mid) < inc)
                lo = mid;
            else
                hi = mid;
        }
        return hi;
    }
};

} // namespace

namespace Xfn {

bool GetSensorFrame(const V3& pos, const V3& vel, int32_t frameType, V3& X, V3& Y, V3& Z)
{
    V3 x, y, z;
    switch (frameType) {
    case _XEARTH_SENSOR_FRAME_GEODETIC: {
        double lon, lat, hgt;
        m_earth.EcrToGeo(pos.x, pos.y, pos.z, lon, lat, hgt);
        V3 ground;
        m_earth.GeoToEcr(lon, lat, 0.0, ground.x, ground.y, ground.z);
        z = Unit(ground - pos);
        y = Unit(z.Cross(vel));
        x = Unit(z.Cross(y));
        break;
    }
    case _XEARTH_SENSOR_FRAME_GEOCENTRIC:
        z = Unit(-pos);
        y = Unit(z.Cross(vel));
        x = Unit(z.Cross(y));
        break;
    case _XEARTH_SENSOR_FRAME_VELX:
        x = Unit(-vel);
        y = Unit(x.Cross(Unit(-pos)));
        z = Unit(y.Cross(x));
        break;
    default:
        return false;
    }
    X = x;
    Y = y;
    Z = z;
    return true;
}

V3 GetSensorPointingVector(const V3& vXsf, const V3& vYsf, const V3& vZsf, const XAngle& yaw, const XAngle& pitch,
                           const XAngle& roll)
{
    const XQuaternion q = ComposeRotation(vZsf, yaw.rad(), vXsf, pitch.rad(), -vYsf, roll.rad());
    return q.Rotate(vZsf);
}

V3 CalcGlobalSensorAttitudeInPlatform(const XGeoPoint& ptPos, const XAngle& yawPlatform, const XAngle& pitchPlatform,
                                      const XAngle& rollPlatform, const XAngle& azimuth, const XAngle& elev,
                                      const XAngle& angSensorTopToHeading, XAngle& yaw, XAngle& pitch, XAngle& roll)
{
    V3 N, E, D;
    m_earth.GetFrameNED(ptPos.ecr(), N, E, D);

    // A sensor aligned with the platform: the platform's attitude, and the
    // local down vector as the line of sight. The general path below would
    // return the platform's rotated down axis instead; callers of this
    // function have always received the local vertical here, so it stays.
    if (azimuth.rad() == 0.0 && elev.rad() == 0.0 && angSensorTopToHeading.rad() == 0.0) {
        yaw = yawPlatform;
        pitch = pitchPlatform;
        roll = rollPlatform;
        return D;
    }
    // A level platform with the sensor only tilted in elevation: the
    // elevation adds to the pitch.
    if (rollPlatform.rad() == 0.0 && azimuth.rad() == 0.0 && angSensorTopToHeading.rad() == 0.0) {
        const XAngle y = yawPlatform, p = pitchPlatform + elev, r = rollPlatform;
        V3 X = N, Y = E, Z = D;
        RotateFrame(X, Y, Z, y.rad(), p.rad(), r.rad());
        yaw = y;
        pitch = p;
        roll = r;
        return Z;
    }

    V3 X = N, Y = E, Z = D;
    RotateFrame(X, Y, Z, yawPlatform.rad(), pitchPlatform.rad(), rollPlatform.rad());
    if (angSensorTopToHeading.rad() != 0.0) RotateFrame(X, Y, Z, angSensorTopToHeading.rad(), 0.0, 0.0);
    RotateFrame(X, Y, Z, azimuth.rad(), elev.rad(), 0.0);
    GetEulerAngles(X, Y, Z, N, E, D, yaw, pitch, roll);
    return Z;
}

V3 CalcGlobalSensorAttitudeInPlatformUAS(const XGeoPoint& ptPos, const XAngle& yawPlatform,
                                         const XAngle& pitchPlatform, const XAngle& rollPlatform,
                                         const XAngle& azimuthRelative, const XAngle& elevRelative,
                                         const XAngle& rollRelative, XAngle& yaw, XAngle& pitch, XAngle& roll)
{
    V3 N, E, D;
    m_earth.GetFrameNED(ptPos.ecr(), N, E, D);
    V3 X = N, Y = E, Z = D;
    RotateFrame(X, Y, Z, yawPlatform.rad(), pitchPlatform.rad(), rollPlatform.rad());
    if (!(azimuthRelative.rad() == 0.0 && elevRelative.rad() == 0.0 && rollRelative.rad() == 0.0))
        RotateFrame(X, Y, Z, azimuthRelative.rad(), elevRelative.rad(), rollRelative.rad());
    // The camera frame: forward = platform up (-Z), right = Y, down = the
    // line of sight X.
    GetEulerAngles(-Z, Y, X, N, E, D, yaw, pitch, roll);
    return X;
}

bool GetSensorPointingTargetOnEarth(const V3& pos, const V3& vel, double dist, V3& tar, XAngle& angIncidence,
                                    bool bLLHOut, int32_t frameType)
{
    // The distance does not enter the search: the target is constrained to
    // the plane through pos perpendicular to X. (A non-zero distance could
    // turn that plane into a cone about X; no caller has asked for that, so
    // the plane is kept.)
    (void)dist;

    V3 X, Y, Z;
    const double theta = angIncidence.rad();
    if (!GetSensorFrame(pos, vel, frameType, X, Y, Z) || !std::isfinite(theta)) {
        tar = kNoTarget;
        return false;
    }
    // The line of sight sweeps the plane of Z and Y from Z toward the right
    // of the track (+Y) for a positive angle, toward the left otherwise. Along
    // the sweep the incidence rises to about pi/2 at the horizon; where the
    // plane passes off the earth's centre it first dips to a least value
    // above 0. The target is where the rising part reaches |theta|.
    const double a = m_earth.GetA(), b = m_earth.GetB();
    const LookPlane plane{pos, Z, theta > 0.0 ? Y : -Y, a * a, b * b};
    const double inc = std::fabs(theta);
    double lo, hi;
    if (!plane.HitArc(lo, hi)) {
        tar = kNoTarget;
        return false;
    }
    // Below |theta| at the start of the sweep, the incidence crosses it once
    // on the way to the horizon. Otherwise only a dip can bring it down, and
    // the rising part starts at the dip's bottom.
    const double start = plane.IncidenceAt(lo) < inc ? lo : plane.LeastIncidenceAngle(lo, hi);
    const double t = plane.IncidenceAt(start) < inc ? plane.RisingToIncidence(start, hi, inc) : start;

    // The sweep ends at the least incidence or at the horizon when |theta| is
    // out of reach; only a target on the ellipsoid at the requested incidence
    // is returned.
    const V3 target = plane.FirstHit(t);
    const double measured = LookPlane::Incidence(pos, target);
    double llh[3];
    m_earth.EcrToGeo(target.x, target.y, target.z, llh[0], llh[1], llh[2]);
    if (!(std::fabs(llh[2]) <= kTargetHeightTol && std::fabs(measured - inc) <= kTargetIncidenceTol)) {
        tar = kNoTarget;
        return false;
    }
    angIncidence = XAngle(measured);
    tar = bLLHOut ? V3(llh[0], llh[1], llh[2]) : target;
    return true;
}

void GetScaleFactor(double a, double b, double A, double B, double& sf0, double& sf1)
{
    if (a != b) {
        sf0 = (a * B - b * A) / (a - b);
        sf1 = (A - B) / (a - b);
    } else {
        sf0 = A;
        sf1 = 0.0;
    }
}

void GetScaleFactor(float a, float b, float A, float B, float& sf0, float& sf1)
{
    double d0, d1;
    GetScaleFactor(static_cast<double>(a), static_cast<double>(b), static_cast<double>(A), static_cast<double>(B),
                   d0, d1);
    sf0 = static_cast<float>(d0);
    sf1 = static_cast<float>(d1);
}

double DotProduct(const V3& v1, const V3& v2) { return v1.x * v2.x + v1.y * v2.y + v1.z * v2.z; }

} // namespace Xfn
} // namespace Pelmora::Tivra
