// Sensor pointing over the default earth: sensor frames built from a position
// and a velocity, the pointing vector of a sensor in its own frame, the
// global attitude of a sensor mounted on a platform (a down-looking mount
// steered by azimuth and elevation, and a forward-looking gimbal), and the
// point on the ellipsoid seen by a side-looking sensor at a given incidence
// angle. Positions and vectors are ecr metres, angles radians, the earth is
// Xfn::m_earth.
#pragma once

#include <cstdint>

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XGeoPoint.h>
#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra {

/// How the sensor frame is built from the sensor's position and velocity.
/// In every frame X points against the direction of flight, Y to the right
/// of the ground track and Z downward.
enum _XEARTH_SENSOR_FRAME : int32_t {
    /// Z toward the point of height 0 below the sensor (the geodetic nadir).
    _XEARTH_SENSOR_FRAME_GEODETIC = 0,
    /// Z toward the earth's centre.
    _XEARTH_SENSOR_FRAME_GEOCENTRIC = 1,
    /// X against the velocity, Y across it and the geocentric radius.
    _XEARTH_SENSOR_FRAME_VELX = 2,
};

/// The no-value marker written into a target that could not be found.
inline constexpr double XSENSOR_NO_TARGET = 1.7e308;

namespace Xfn {

/// The sensor frame (X, Y, Z) of the position pos and velocity vel. Axes of
/// length exactly 0 (degenerate input) are left unnormalised. False, with the
/// axes untouched, for an unknown frame type.
bool GetSensorFrame(const XVertex3<double>& pos, const XVertex3<double>& vel, int32_t frameType,
                    XVertex3<double>& X, XVertex3<double>& Y, XVertex3<double>& Z);

/// vZsf turned by compose((vZsf, yaw), (vXsf, pitch), (-vYsf, roll)): the
/// line of sight of a sensor looking along its Z axis after it has been
/// steered by roll, pitch and yaw about its own axes.
XVertex3<double> GetSensorPointingVector(const XVertex3<double>& vXsf, const XVertex3<double>& vYsf,
                                         const XVertex3<double>& vZsf, const XAngle& yaw, const XAngle& pitch,
                                         const XAngle& roll);

/// A sensor looking along its down axis, mounted on a platform at ptPos with
/// the attitude (yawPlatform, pitchPlatform, rollPlatform), turned by
/// angSensorTopToHeading about the platform's down axis and steered by
/// azimuth and elev. Writes the sensor's attitude relative to the local
/// north-east-down frame and returns its down axis.
/// Two shortcuts come first: with azimuth, elev and angSensorTopToHeading all
/// 0 the platform attitude is returned with the local down vector (not the
/// platform's rotated down axis); with rollPlatform, azimuth and
/// angSensorTopToHeading all 0 the elevation is added to the pitch.
XVertex3<double> CalcGlobalSensorAttitudeInPlatform(const XGeoPoint& ptPos, const XAngle& yawPlatform,
                                                    const XAngle& pitchPlatform, const XAngle& rollPlatform,
                                                    const XAngle& azimuth, const XAngle& elev,
                                                    const XAngle& angSensorTopToHeading, XAngle& yaw, XAngle& pitch,
                                                    XAngle& roll);

/// A sensor looking along its forward axis on a gimbal of the platform at
/// ptPos, steered by (azimuthRelative, elevRelative, rollRelative) as an
/// attitude rotation of the platform's body frame. Writes the attitude of a
/// camera frame whose down axis is the line of sight and whose forward axis
/// is the platform's up direction; returns the line of sight.
XVertex3<double> CalcGlobalSensorAttitudeInPlatformUAS(const XGeoPoint& ptPos, const XAngle& yawPlatform,
                                                       const XAngle& pitchPlatform, const XAngle& rollPlatform,
                                                       const XAngle& azimuthRelative, const XAngle& elevRelative,
                                                       const XAngle& rollRelative, XAngle& yaw, XAngle& pitch,
                                                       XAngle& roll);

/// The point on the ellipsoid seen from pos (moving with vel) in the plane
/// perpendicular to the frame's X axis, at the incidence angle |angIncidence|
/// at the target (the angle between the line of sight back to the sensor and
/// the target's geocentric radius vector): on the right of the ground track
/// for a positive angle, on the left otherwise. The line of sight is swept
/// from the frame's Z axis toward that side; each look angle is met with the
/// ellipsoid in closed form, and the look angle of the requested incidence is
/// found by bisection. On success tar is the target (or, with bLLHOut, its
/// longitude, latitude in degrees and height in metres), angIncidence the
/// incidence measured at it (within 1e-9 rad of the request; the target lies
/// within 1 mm of the ellipsoid) and the result true. False, with tar holding
/// XSENSOR_NO_TARGET in all three components and angIncidence untouched,
/// when no line of sight on that side reaches the incidence: beyond the
/// horizon, below the least incidence of a plane that passes off the earth's
/// centre (tiny angles), a sensor not above the ellipsoid, an unknown frame
/// type or non-numbers. dist is accepted for compatibility and not used.
bool GetSensorPointingTargetOnEarth(const XVertex3<double>& pos, const XVertex3<double>& vel, double dist,
                                    XVertex3<double>& tar, XAngle& angIncidence, bool bLLHOut, int32_t frameType);

/// The linear map sending a to A and b to B: value = sf0 + sf1 x. With a == b
/// exactly, sf0 = A and sf1 = 0.
void GetScaleFactor(double a, double b, double A, double B, double& sf0, double& sf1);
/// The same computed in double and stored as float.
void GetScaleFactor(float a, float b, float A, float B, float& sf0, float& sf1);

/// x1 x2 + y1 y2 + z1 z2.
double DotProduct(const XVertex3<double>& v1, const XVertex3<double>& v2);

} // namespace Xfn
} // namespace Pelmora::Tivra
