// Geodesics on the default earth through the C surface. The core functions
// called here allocate nothing and cannot throw, so the entries need no
// guard (see Guarded in ostrel_internal.h).
#include "ostrel_geodesic.h"

#include <tivra/geo/XGeodesic.h>

using namespace Pelmora::Tivra;

extern "C" {

int32_t ostrel_geodesic_inverse(double lon1, double lat1, double lon2, double lat2, double* dist, double* fwd_az,
                                double* rev_az)
{
    double d;
    XAngle fwd, rev;
    if (!Xfn::CalArcDistAndAngle(XAngle(lon1), XAngle(lat1), XAngle(lon2), XAngle(lat2), d, fwd, rev)) return 0;
    *dist = d;
    *fwd_az = fwd.rad();
    *rev_az = rev.rad();
    return 1;
}

int32_t ostrel_geodesic_inverse_robust(double lon1, double lat1, double lon2, double lat2, double* dist,
                                       double* fwd_az, double* rev_az)
{
    double d;
    XAngle fwd, rev;
    if (!Xfn::CalArcDistAndAngleRobust(XAngle(lon1), XAngle(lat1), XAngle(lon2), XAngle(lat2), d, fwd, rev)) return 0;
    *dist = d;
    *fwd_az = fwd.rad();
    *rev_az = rev.rad();
    return 1;
}

double ostrel_geodesic_direct(double lon1, double lat1, double bearing, double dist, double* lon2, double* lat2)
{
    XAngle lo, la;
    const XAngle az = Xfn::CalcPosByBearingAndDist(XAngle(lon1), XAngle(lat1), XAngle(bearing), dist, lo, la);
    *lon2 = lo.rad();
    *lat2 = la.rad();
    return az.rad();
}

void ostrel_geodesic_azimuth_elevation(const ostrel_vec3* pos, double yaw, double pitch, double roll,
                                       const ostrel_vec3* target, double* azimuth, double* elev)
{
    XAngle az, el;
    Xfn::CalcAzimuthElevationOfTarget(XVertex3d(pos->x, pos->y, pos->z), XAngle(yaw), XAngle(pitch), XAngle(roll),
                                      XVertex3d(target->x, target->y, target->z), az, el);
    *azimuth = az.rad();
    *elev = el.rad();
}

} // extern "C"
