// Geodesics on the default earth through the C surface. The single calls
// allocate nothing and cannot throw, so they need no guard; the batch calls
// start workers and are guarded (see Guarded in ostrel_internal.h).
#include "ostrel_geodesic.h"

#include "ostrel_internal.h"

#include <tivra/geo/XGeodesic.h>

#include <initializer_list>

using namespace Pelmora::Tivra;
using Pelmora::Ostrel::Native::Guarded;

namespace {

// True when n is a count the batch calls take with these arrays.
bool BatchArguments(int64_t n, std::initializer_list<const void*> arrays)
{
    if (n < 0) return false;
    if (n == 0) return true;
    for (const void* p : arrays)
        if (!p) return false;
    return true;
}

} // namespace

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

int64_t ostrel_geodesic_inverse_robust_batch(const double* lon1, const double* lat1, const double* lon2,
                                             const double* lat2, int64_t n, double* dist, double* fwd_az,
                                             double* rev_az, int32_t workers)
{
    if (!BatchArguments(n, {lon1, lat1, lon2, lat2, dist, fwd_az, rev_az})) return -1;
    return Guarded(
        [&] {
            return int64_t(Xfn::CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, size_t(n), dist, fwd_az, rev_az,
                                                         workers));
        },
        [] { return int64_t(-1); });
}

int64_t ostrel_geodesic_direct_batch(const double* lon1, const double* lat1, const double* bearing,
                                     const double* dist, int64_t n, double* lon2, double* lat2, double* az2,
                                     int32_t workers)
{
    if (!BatchArguments(n, {lon1, lat1, bearing, dist, lon2, lat2, az2})) return -1;
    return Guarded(
        [&] {
            Xfn::CalcPosByBearingAndDist(lon1, lat1, bearing, dist, size_t(n), lon2, lat2, az2, workers);
            return n;
        },
        [] { return int64_t(-1); });
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
