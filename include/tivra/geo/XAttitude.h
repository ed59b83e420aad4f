// Attitude with unit quaternions.
//
// A quaternion is held vector part first (x, y, z) and scalar part last (w).
// The attitude convention of the library is yaw about the local down axis,
// then pitch about the yawed east axis, then roll about the resulting north
// (forward) axis; a frame is turned by composing the three axis-angle pairs
// into one unit quaternion and rotating each axis with it.
#pragma once

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra {

struct XQuaternion {
    double x;
    double y;
    double z;
    double w;

    /// The identity rotation (0, 0, 0, 1).
    constexpr XQuaternion() : x(0), y(0), z(0), w(1) {}
    constexpr XQuaternion(double vx, double vy, double vz, double vw) : x(vx), y(vy), z(vz), w(vw) {}

    /// (axis sin(angle/2), cos(angle/2)). The axis is taken as given, not
    /// normalised: a caller passes unit axes or normalises the product.
    static XQuaternion FromAxisAngle(const XVertex3<double>& axis, double angle);

    /// Divides all four components by the length; a quaternion of length
    /// exactly 0 becomes the identity.
    XQuaternion& Normalize();

    /// Hamilton product this (x) q: vector part w q.v + q.w v + v x q.v,
    /// scalar part w q.w - v . q.v.
    XQuaternion operator*(const XQuaternion& q) const;

    /// The rotation matrix of a unit quaternion, row-major.
    void GetMatrix(double m[3][3]) const;

    /// v turned by the rotation of this unit quaternion (matrix times v).
    XVertex3<double> Rotate(const XVertex3<double>& v) const;
};

namespace Xfn {

/// normalise(q(axis1, angle1) (x) q(axis2, angle2) (x) q(axis3, angle3)): the
/// rotation about axis3 is applied first, the one about axis1 last, all
/// about fixed axes.
XQuaternion ComposeRotation(const XVertex3<double>& axis1, double angle1, const XVertex3<double>& axis2,
                            double angle2, const XVertex3<double>& axis3, double angle3);

/// Turns the frame (A, B, C) in place: q = compose((C, angle1), (B, angle2),
/// (A, angle3)) and each axis is replaced by its rotation by q. With (N, E, D)
/// and (yaw, pitch, roll) this yields the body axes (forward, right, down) of
/// the aerospace sequence.
void RotateFrame(XVertex3<double>& A, XVertex3<double>& B, XVertex3<double>& C, double angle1, double angle2,
                 double angle3);

/// Yaw, pitch and roll of the frame (X, Y, Z) relative to (N, E, D):
/// yaw = atan2(X.E, X.N), pitch = -asin(X.D), roll = atan2(Y.D, Z.D). For a
/// frame pitched by +-pi/2 (up to rounding): the sine of the pitch is clamped
/// to [-1, 1] so that rounding of X.D cannot give a non-number; and when both
/// X.E and X.N are rounding noise (below 1e-14), where yaw and roll are not
/// separately defined, yaw is 0 and roll is taken from Y so that the three
/// angles rebuild the frame.
void GetEulerAngles(const XVertex3<double>& X, const XVertex3<double>& Y, const XVertex3<double>& Z,
                    const XVertex3<double>& N, const XVertex3<double>& E, const XVertex3<double>& D, XAngle& yaw,
                    XAngle& pitch, XAngle& roll);

} // namespace Xfn
} // namespace Pelmora::Tivra
