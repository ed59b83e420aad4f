// Quaternions and the attitude rotation: the Hamilton product, the rotation
// matrix against the sandwich product, the aerospace yaw-pitch-roll sequence
// against an independently written direction-cosine matrix, and the Euler
// extraction round trip including gimbal lock.
#include <gtest/gtest.h>

#include <tivra/geo/XAttitude.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

using namespace Pelmora::Tivra;

namespace {

constexpr double kPi = 3.141592653589793;

double MaxAbs(const XVertex3d& v) { return std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)}); }
#define ExpectVec(a, b, tol) EXPECT_LE(MaxAbs((a) - (b)), (tol)) << #a

// A right-handed local frame that is not axis-aligned, standing in for
// north, east and down somewhere on the globe.
void TiltedFrame(XVertex3d& N, XVertex3d& E, XVertex3d& D)
{
    N = XVertex3d(-0.3, 0.4, 0.8).Normalize();
    E = XVertex3d(0.1, 0.9, -0.4);
    E = (E - N * E.Dot(N)).Normalize();
    D = N.Cross(E);
}

} // namespace

TEST(GeoAttitude, QuaternionAlgebra)
{
    const XQuaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0);
    // i j = k, j i = -k, i i = -1, j k = i.
    EXPECT_EQ(std::make_tuple((i * j).z, (j * i).z, (i * i).w, (j * k).x), std::make_tuple(1.0, -1.0, -1.0, 1.0));

    XQuaternion zero(0, 0, 0, 0);
    EXPECT_EQ(zero.Normalize().w, 1.0);  // length 0 becomes the identity

    // The matrix of a normalised quaternion is a proper rotation and equals
    // the sandwich q v q*.
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int n = 0; n < 200; ++n) {
        XQuaternion r(u(rng), u(rng), u(rng), u(rng));
        r.Normalize();
        double m[3][3];
        r.GetMatrix(m);
        const XVertex3d c0(m[0][0], m[1][0], m[2][0]), c1(m[0][1], m[1][1], m[2][1]), c2(m[0][2], m[1][2], m[2][2]);
        EXPECT_LE(std::max({std::fabs(c0.Dot(c1)), std::fabs(c1.Dot(c2)), std::fabs(c0.Norm() - 1)}), 1e-14);
        EXPECT_NEAR(c0.Cross(c1).Dot(c2), 1.0, 1e-14);  // det +1

        const XVertex3d v(u(rng), u(rng), u(rng));
        const XQuaternion sandwich = r * XQuaternion(v.x, v.y, v.z, 0) * XQuaternion(-r.x, -r.y, -r.z, r.w);
        ExpectVec(r.Rotate(v), XVertex3d(sandwich.x, sandwich.y, sandwich.z), 1e-14);
        EXPECT_NEAR(sandwich.w, 0.0, 1e-15);
    }

    // Composition applies the third pair first: the quarter turn about x takes
    // y to z, which the following turn about z keeps; x is kept by the first
    // turn and taken to y by the second.
    const XQuaternion c = Xfn::ComposeRotation(XVertex3d(0, 0, 1), kPi / 2, XVertex3d(0, 1, 0), 0.0,
                                               XVertex3d(1, 0, 0), kPi / 2);
    ExpectVec(c.Rotate(XVertex3d(0, 1, 0)), XVertex3d(0, 0, 1), 1e-15);
    ExpectVec(c.Rotate(XVertex3d(1, 0, 0)), XVertex3d(0, 1, 0), 1e-15);
    // Zero axes contribute no rotation and the normalised product stays unit.
    const XQuaternion z = Xfn::ComposeRotation(XVertex3d(), 1.0, XVertex3d(), 2.0, XVertex3d(), 3.0);
    EXPECT_NEAR(z.w * z.w, 1.0, 1e-15);
}

TEST(GeoAttitude, FrameRotationMatchesAerospaceSequenceAndEulerAnglesRebuildIt)
{
    XVertex3d N, E, D;
    TiltedFrame(N, E, D);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> yawD(-kPi, kPi), pitchD(-1.55, 1.55), rollD(-kPi, kPi);
    for (int n = 0; n < 500; ++n) {
        const double y = yawD(rng), p = pitchD(rng), r = rollD(rng);
        XVertex3d X = N, Y = E, Z = D;
        Xfn::RotateFrame(X, Y, Z, y, p, r);
        // Body axes in local coordinates from the direction-cosine matrix.
        const double cy = std::cos(y), sy = std::sin(y), cp = std::cos(p), sp = std::sin(p), cr = std::cos(r),
                     sr = std::sin(r);
        ExpectVec(X, N * (cp * cy) + E * (cp * sy) + D * (-sp), 1e-14);
        ExpectVec(Y, N * (sr * sp * cy - cr * sy) + E * (sr * sp * sy + cr * cy) + D * (sr * cp), 1e-14);
        ExpectVec(Z, N * (cr * sp * cy + sr * sy) + E * (cr * sp * sy - sr * cy) + D * (cr * cp), 1e-14);

        XAngle ey, ep, er;
        Xfn::GetEulerAngles(X, Y, Z, N, E, D, ey, ep, er);
        EXPECT_LE(MaxAbs(XVertex3d(ey.rad() - y, ep.rad() - p, er.rad() - r)), 1e-11);
    }

    // Pitched by exactly +-pi/2 (gimbal lock): the pitch stays a number, yaw
    // is 0 and the roll takes up the heading, so the angles rebuild the frame.
    for (double p : {kPi / 2, -kPi / 2})
        for (double y : {0.0, 0.3, -2.9}) {
            XVertex3d X = N, Y = E, Z = D;
            Xfn::RotateFrame(X, Y, Z, y, p, 0.4);
            XAngle ey, ep, er;
            Xfn::GetEulerAngles(X, Y, Z, N, E, D, ey, ep, er);
            EXPECT_NEAR(ep.rad(), p, 1e-7);
            EXPECT_EQ(ey.rad(), 0.0);
            XVertex3d X2 = N, Y2 = E, Z2 = D;
            Xfn::RotateFrame(X2, Y2, Z2, ey.rad(), ep.rad(), er.rad());
            EXPECT_LE(std::max({MaxAbs(X2 - X), MaxAbs(Y2 - Y), MaxAbs(Z2 - Z)}), 1e-7);
        }
}
