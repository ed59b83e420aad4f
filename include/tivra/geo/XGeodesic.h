// Geodesics on the default earth: the inverse and direct problems after
// Vincenty's formulae, an inverse problem that also solves nearly antipodal
// points, and the azimuth and elevation of a target seen from an
// oriented platform. Each forwards to the member of the same name of
// Xfn::m_earth (see XEllipsoidEarth.h for the conventions).
#pragma once

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra::Xfn {

/// XEllipsoidEarth::CalArcDistAndAngle on the default earth.
bool CalArcDistAndAngle(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                        double& dist, XAngle& fwdAz, XAngle& revAz);
/// XEllipsoidEarth::CalArcDistAndAngleRobust on the default earth.
bool CalArcDistAndAngleRobust(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                              double& dist, XAngle& fwdAz, XAngle& revAz);
/// XEllipsoidEarth::CalcPosByBearingAndDist on the default earth.
XAngle CalcPosByBearingAndDist(const XAngle& lon1, const XAngle& lat1, const XAngle& bearing, double dist,
                               XAngle& lon2, XAngle& lat2);
/// XEllipsoidEarth::CalcAzimuthElevationOfTarget on the default earth.
void CalcAzimuthElevationOfTarget(const XVertex3<double>& vPos, const XAngle& yaw, const XAngle& pitch,
                                  const XAngle& roll, const XVertex3<double>& vTarget, XAngle& azimuth,
                                  XAngle& elev);

} // namespace Pelmora::Tivra::Xfn
