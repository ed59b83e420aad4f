// Sensor frames, sensor attitude on a platform and the target search on the
// ellipsoid.
#include <tivra/geo/XSensor.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XDms.h>
#include <tivra/geo/XEllipsoidEarth.h>

#include <cmath>

namespace Pelmora::Tivra {

namespace {

using V3 = XVertex3<double>;

V3 Unit(V3 v) { return v.Normalize(); }

const V3 kNoTarget(XSENSOR_NO_TARGET, XSENSOR_NO_TARGET, XSENSOR_NO_TARGET);

// The most Newton updates of the target search.
constexpr int kMaxUpdates = 200;
// A Newton step shorter than this (metres) ends the search.
constexpr double kStepDone = 1e-8;

// The unit direction u perpendicular to n (within rounding: u.n = cos(pi/2))
// with u.Z = c, on the side of Y chosen by side. y and z of u are expressed
// through x by the two linear conditions and |u| = 1 gives a quadratic in x.
// The marker when the two conditions are dependent or the cone u.Z = c does
// not meet the plane.
V3 StartDirection(const V3& n, const V3& Y, const V3& Z, double c, bool side)
{
    const double k = std::cos(XGEO_PI / 2.0 - 0.0);
    const double det = n.y * Z.z - n.z * Z.y;
    if (det == 0.0) return kNoTarget;
    // y = ay + by x, z = az + bz x
    const double ay = (k * Z.z - n.z * c) / det, by = (-n.x * Z.z + n.z * Z.x) / det;
    const double az = (n.y * c - Z.y * k) / det, bz = (-n.y * Z.x + Z.y * n.x) / det;
    const double qa = 1.0 + by * by + bz * bz;
    const double qb = 2.0 * (ay * by + az * bz);
    const double qc = ay * ay + az * az - 1.0;
    const double disc = qb * qb - 4.0 * qa * qc;
    if (disc < 0.0) return kNoTarget;
    const double r = std::sqrt(disc);
    const double x1 = (-qb + r) / (2.0 * qa), x2 = (-qb - r) / (2.0 * qa);
    const V3 u1(x1, ay + by * x1, az + bz * x1);
    if ((u1.Dot(Y) > 0.0) == side) return u1;
    return V3(x2, ay + by * x2, az + bz * x2);
}

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
    // the plane through pos perpendicular to X. (A non-zero distance would
    // subtract a multiple of |d|^2 from f2 and turn that plane into a cone
    // about X; no caller has asked for that, so the plane is kept.)
    (void)dist;

    V3 X, Y, Z;
    if (!GetSensorFrame(pos, vel, frameType, X, Y, Z)) {
        tar = kNoTarget;
        return false;
    }
    const double theta = angIncidence.rad();
    const bool side = theta > 0.0;
    const double c = std::cos(theta), s2 = 1.0 - c * c;
    const V3 n = -X;
    const double a = m_earth.GetA(), b = m_earth.GetB();
    const double a2 = a * a, b2 = b * b;
    const double P2 = pos.Norm2();

    // Start on the line of sight at angle theta from Z in the plane, where it
    // meets the ellipsoid; if it misses, at the distance of the surface below
    // the sensor stretched by 1 / cos(theta).
    const V3 u = StartDirection(n, Y, Z, c, side);
    if (u == kNoTarget) {
        // A marker direction can only lead to non-numbers and the update
        // limit; stop here with the same outcome.
        tar = kNoTarget;
        return false;
    }
    V3 d;
    V3 hit1, hit2, surf;
    double t1, t2;
    if (m_earth.IntersectLine(pos, pos + u, hit1, hit2, t1, t2)) {
        d = hit1 - pos;
    } else {
        m_earth.GetSurfacePoint(pos, surf);
        d = u * ((pos - surf).Norm() / c);
    }

    bool found = false;
    for (int update = 0; update < kMaxUpdates; ++update) {
        const V3 t = pos + d;
        const double p = pos.Dot(d), m = d.Norm2(), nd = n.Dot(d);
        // f1: the angle between the line of sight and the target's radius
        //     vector is theta (or pi - theta);
        // f2: the target lies in the plane through pos perpendicular to X;
        // f3: the target lies on the ellipsoid.
        const double f1 = p * p - c * c * P2 * m + 2.0 * s2 * p * m + s2 * m * m;
        const double f2 = nd * nd;
        const double f3 = (t.x * t.x + t.y * t.y) / a2 + t.z * t.z / b2 - 1.0;
        // Rows of the Jacobian: the gradients of f1, f2, f3 in d.
        const V3 r1 = pos * (2.0 * p + 2.0 * s2 * m) + d * (-2.0 * c * c * P2 + 4.0 * s2 * p + 4.0 * s2 * m);
        const V3 r2 = n * (2.0 * nd);
        const V3 r3(2.0 * t.x / a2, 2.0 * t.y / a2, 2.0 * t.z / b2);
        // Cramer's rule through the cofactor rows: scale-free per row, which
        // matters because the three rows differ by some 25 orders of
        // magnitude.
        const V3 c23 = r2.Cross(r3), c31 = r3.Cross(r1), c12 = r1.Cross(r2);
        const double det = r1.Dot(c23);
        if (det == 0.0) {
            found = true;
            break;
        }
        const V3 step = (c23 * -f1 + c31 * -f2 + c12 * -f3) / det;
        if (step.Norm() < kStepDone) {
            found = true;
            break;
        }
        d += step;
    }
    if (!found) {
        tar = kNoTarget;
        return false;
    }

    const V3 target = pos + d;
    const V3 back = pos - target;
    angIncidence = XAngle(std::acos(back.Dot(target) / (target.Norm() * back.Norm())));
    if (bLLHOut) {
        V3 llh;
        m_earth.EcrToGeo(target.x, target.y, target.z, llh.x, llh.y, llh.z);
        tar = llh;
    } else {
        tar = target;
    }
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
