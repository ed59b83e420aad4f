// Platform attitude and sensor pointing through the C surface. The core
// functions called here allocate nothing and cannot throw, so the entries
// need no guard (see Guarded in ostrel_internal.h).
#include "ostrel_sensor.h"
#include "ostrel_vertex.h"

#include <tivra/geo/XGeoPoint.h>
#include <tivra/geo/XSensor.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Ostrel::Native;

extern "C" {

int32_t ostrel_sensor_frame(const ostrel_vec3* pos, const ostrel_vec3* vel, int32_t frame, ostrel_vec3* x,
                            ostrel_vec3* y, ostrel_vec3* z)
{
    XVertex3d X, Y, Z;
    if (!Xfn::GetSensorFrame(V(pos), V(vel), frame, X, Y, Z)) return 0;
    Put(X, x);
    Put(Y, y);
    Put(Z, z);
    return 1;
}

void ostrel_sensor_pointing_vector(const ostrel_vec3* xsf, const ostrel_vec3* ysf, const ostrel_vec3* zsf,
                                   double yaw, double pitch, double roll, ostrel_vec3* out)
{
    Put(Xfn::GetSensorPointingVector(V(xsf), V(ysf), V(zsf), XAngle(yaw), XAngle(pitch), XAngle(roll)), out);
}

void ostrel_sensor_global_attitude(const ostrel_vec3* pos, double yaw_platform, double pitch_platform,
                                   double roll_platform, double azimuth, double elev, double top_to_heading,
                                   double* yaw, double* pitch, double* roll, ostrel_vec3* out)
{
    // Only the ecr position of the point is read; FromEcr keeps it exactly.
    XAngle y, p, r;
    Put(Xfn::CalcGlobalSensorAttitudeInPlatform(XGeoPoint::FromEcr(V(pos)), XAngle(yaw_platform),
                                                XAngle(pitch_platform), XAngle(roll_platform), XAngle(azimuth),
                                                XAngle(elev), XAngle(top_to_heading), y, p, r),
        out);
    *yaw = y.rad();
    *pitch = p.rad();
    *roll = r.rad();
}

void ostrel_sensor_global_attitude_uas(const ostrel_vec3* pos, double yaw_platform, double pitch_platform,
                                       double roll_platform, double azimuth_relative, double elev_relative,
                                       double roll_relative, double* yaw, double* pitch, double* roll,
                                       ostrel_vec3* out)
{
    XAngle y, p, r;
    Put(Xfn::CalcGlobalSensorAttitudeInPlatformUAS(
            XGeoPoint::FromEcr(V(pos)), XAngle(yaw_platform), XAngle(pitch_platform), XAngle(roll_platform),
            XAngle(azimuth_relative), XAngle(elev_relative), XAngle(roll_relative), y, p, r),
        out);
    *yaw = y.rad();
    *pitch = p.rad();
    *roll = r.rad();
}

int32_t ostrel_sensor_target_on_earth(const ostrel_vec3* pos, const ostrel_vec3* vel, double dist, ostrel_vec3* tar,
                                      double* incidence, int32_t llh_out, int32_t frame)
{
    XVertex3d t = V(tar);
    XAngle inc(*incidence);
    const bool ok = Xfn::GetSensorPointingTargetOnEarth(V(pos), V(vel), dist, t, inc, llh_out != 0, frame);
    Put(t, tar);
    if (ok) *incidence = inc.rad();
    return ok ? 1 : 0;
}

} // extern "C"
