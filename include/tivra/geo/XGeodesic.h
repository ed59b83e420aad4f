// Geodesics on the default earth: the inverse problem after Vincenty's
// formulae, an inverse problem that also solves nearly antipodal points, the
// direct problem, the robust inverse and the direct problem over arrays on
// every core, and the azimuth and elevation of a target seen from an
// oriented platform. Each single call forwards to the member of the same
// name of Xfn::m_earth (see XEllipsoidEarth.h for the conventions).
#pragma once

#include <cstddef>

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
/// CalArcDistAndAngleRobust over n pairs given as arrays of radians, the
/// work dealt out in contiguous parts to nWorkers threads of a pool (outside
/// 1..processors: one per processor). Element i of dist, fwdAz and revAz is
/// bit for bit what the single call gives for element i of the inputs; a
/// pair it refuses gets NaN in all three. Returns the number of pairs
/// solved. Inputs and outputs must not overlap.
size_t CalArcDistAndAngleRobust(const double* lon1, const double* lat1, const double* lon2, const double* lat2,
                                size_t n, double* dist, double* fwdAz, double* revAz, int nWorkers);
/// CalcPosByBearingAndDist over n cases given as arrays (radians, metres),
/// dealt out as above: element i of lon2, lat2 and the arriving azimuth az2
/// is bit for bit what the single call gives for element i of the inputs.
void CalcPosByBearingAndDist(const double* lon1, const double* lat1, const double* bearing, const double* dist,
                             size_t n, double* lon2, double* lat2, double* az2, int nWorkers);
/// XEllipsoidEarth::CalcAzimuthElevationOfTarget on the default earth.
void CalcAzimuthElevationOfTarget(const XVertex3<double>& vPos, const XAngle& yaw, const XAngle& pitch,
                                  const XAngle& roll, const XVertex3<double>& vTarget, XAngle& azimuth,
                                  XAngle& elev);

} // namespace Pelmora::Tivra::Xfn
