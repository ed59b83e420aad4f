// Unit quaternions and the attitude rotation of a frame.
#include <tivra/geo/XAttitude.h>

#include <algorithm>
#include <cmath>

namespace Pelmora::Tivra {

XQuaternion XQuaternion::FromAxisAngle(const XVertex3<double>& axis, double angle)
{
    const double s = std::sin(angle / 2.0);
    return XQuaternion(axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2.0));
}

XQuaternion& XQuaternion::Normalize()
{
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    if (n == 0.0) {
        x = y = z = 0.0;
        w = 1.0;
    } else {
        x /= n;
        y /= n;
        z /= n;
        w /= n;
    }
    return *this;
}

XQuaternion XQuaternion::operator*(const XQuaternion& q) const
{
    // Vector part: w q.v + q.w v + v x q.v; scalar part: w q.w - v . q.v.
    const XVertex3<double> a(x, y, z), b(q.x, q.y, q.z);
    const XVertex3<double> v = b * w + a * q.w + a.Cross(b);
    return XQuaternion(v.x, v.y, v.z, w * q.w - a.Dot(b));
}

void XQuaternion::GetMatrix(double m[3][3]) const
{
    m[0][0] = 1.0 - 2.0 * (y * y + z * z);
    m[0][1] = 2.0 * (x * y - z * w);
    m[0][2] = 2.0 * (x * z + y * w);
    m[1][0] = 2.0 * (x * y + z * w);
    m[1][1] = 1.0 - 2.0 * (x * x + z * z);
    m[1][2] = 2.0 * (y * z - x * w);
    m[2][0] = 2.0 * (x * z - y * w);
    m[2][1] = 2.0 * (y * z + x * w);
    m[2][2] = 1.0 - 2.0 * (x * x + y * y);
}

XVertex3<double> XQuaternion::Rotate(const XVertex3<double>& v) const
{
    double m[3][3];
    GetMatrix(m);
    return XVertex3<double>(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
}

namespace {

// Below this both components of the heading of X are rounding noise of
// unit-vector dot products: the frame is pitched by +-pi/2 (gimbal lock).
constexpr double kGimbalLock = 1e-14;

} // namespace

namespace Xfn {

XQuaternion ComposeRotation(const XVertex3<double>& axis1, double angle1, const XVertex3<double>& axis2,
                            double angle2, const XVertex3<double>& axis3, double angle3)
{
    XQuaternion q = XQuaternion::FromAxisAngle(axis1, angle1) * XQuaternion::FromAxisAngle(axis2, angle2) *
                    XQuaternion::FromAxisAngle(axis3, angle3);
    return q.Normalize();
}

void RotateFrame(XVertex3<double>& A, XVertex3<double>& B, XVertex3<double>& C, double angle1, double angle2,
                 double angle3)
{
    const XQuaternion q = ComposeRotation(C, angle1, B, angle2, A, angle3);
    A = q.Rotate(A);
    B = q.Rotate(B);
    C = q.Rotate(C);
}

void GetEulerAngles(const XVertex3<double>& X, const XVertex3<double>& Y, const XVertex3<double>& Z,
                    const XVertex3<double>& N, const XVertex3<double>& E, const XVertex3<double>& D, XAngle& yaw,
                    XAngle& pitch, XAngle& roll)
{
    const double xe = X.Dot(E), xn = X.Dot(N), xd = X.Dot(D);
    pitch = XAngle(-std::asin(std::clamp(xd, -1.0, 1.0)));
    if (std::fabs(xe) < kGimbalLock && std::fabs(xn) < kGimbalLock) {
        // Pitched by +-pi/2: yaw and roll turn about the same axis and only
        // their difference (nose up) or sum (nose down) is defined; the
        // general formulas would return angles of rounding noise. Yaw is
        // taken as 0 and roll from the right axis, Y = N sin(s roll) +
        // E cos(roll) with s = sin(pitch) = -X.D, so the angles rebuild the
        // frame.
        yaw = XAngle(0.0);
        roll = XAngle(std::atan2(-xd * Y.Dot(N), Y.Dot(E)));
        return;
    }
    yaw = XAngle(std::atan2(xe, xn));
    roll = XAngle(std::atan2(Y.Dot(D), Z.Dot(D)));
}

} // namespace Xfn
} // namespace Pelmora::Tivra
