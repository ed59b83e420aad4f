/* The C surface: platform attitude and sensor pointing on the default earth
 * (WGS 84).
 *
 * Angles are radians, positions and vectors ecr metres. Plain values only:
 * nothing is allocated. Frame types are the values of eEarthSensorFrame
 * (0 geodetic, 1 geocentric, 2 velocity-aligned). */
#ifndef OSTREL_SENSOR_H
#define OSTREL_SENSOR_H

#include "ostrel_base.h"
#include "ostrel_geo.h"

OSTREL_EXTERN_C_BEGIN

/* The sensor frame of a position and velocity; 0 with the axes untouched for
 * an unknown frame type. */
OSTREL_API int32_t ostrel_sensor_frame(const ostrel_vec3* pos, const ostrel_vec3* vel, int32_t frame,
                                       ostrel_vec3* x, ostrel_vec3* y, ostrel_vec3* z);

/* zsf turned by yaw about zsf, pitch about xsf and roll about -ysf. */
OSTREL_API void ostrel_sensor_pointing_vector(const ostrel_vec3* xsf, const ostrel_vec3* ysf,
                                              const ostrel_vec3* zsf, double yaw, double pitch, double roll,
                                              ostrel_vec3* out);

/* Attitude of a down-looking sensor on a platform at the ecr position pos;
 * yaw, pitch and roll receive the sensor's attitude, out its down axis. */
OSTREL_API void ostrel_sensor_global_attitude(const ostrel_vec3* pos, double yaw_platform, double pitch_platform,
                                              double roll_platform, double azimuth, double elev,
                                              double top_to_heading, double* yaw, double* pitch, double* roll,
                                              ostrel_vec3* out);

/* Attitude of a forward-looking sensor on a gimbal; out receives the line of
 * sight. */
OSTREL_API void ostrel_sensor_global_attitude_uas(const ostrel_vec3* pos, double yaw_platform,
                                                  double pitch_platform, double roll_platform,
                                                  double azimuth_relative, double elev_relative,
                                                  double roll_relative, double* yaw, double* pitch, double* roll,
                                                  ostrel_vec3* out);

/* The target on the ellipsoid at the incidence angle *incidence (sign: side
 * of the ground track). 1: *tar is the target (longitude, latitude in
 * degrees and height when llh_out is non-zero) and *incidence the measured
 * incidence angle. 0: *tar holds 1.7e308 in every component and *incidence
 * is untouched. dist has no effect. */
OSTREL_API int32_t ostrel_sensor_target_on_earth(const ostrel_vec3* pos, const ostrel_vec3* vel, double dist,
                                                 ostrel_vec3* tar, double* incidence, int32_t llh_out,
                                                 int32_t frame);

OSTREL_EXTERN_C_END

#endif /* OSTREL_SENSOR_H */
