/* The C surface: geodesics on the default earth (WGS 84).
 *
 * Angles are radians, distances metres, positions ecr metres. Plain values
 * and caller-owned arrays; only the batch calls allocate (their workers). */
#ifndef OSTREL_GEODESIC_H
#define OSTREL_GEODESIC_H

#include "ostrel_base.h"
#include "ostrel_geo.h"

OSTREL_EXTERN_C_BEGIN

/* Inverse problem: 1 with the distance and the azimuths at both ends (fwd at
 * point 1 toward point 2, rev at point 2 back toward point 1, in [0, 2pi));
 * 0 with the outputs untouched for coincident points, cos(sigma) exactly 0
 * or no convergence within 1000 passes (nearly antipodal points, which
 * ostrel_geodesic_inverse_robust solves). */
OSTREL_API int32_t ostrel_geodesic_inverse(double lon1, double lat1, double lon2, double lat2, double* dist,
                                           double* fwd_az, double* rev_az);

/* Inverse problem that also solves nearly antipodal points: the arguments
 * and results of ostrel_geodesic_inverse, and the same values wherever that
 * converges away from the antipode; within one degree of the antipode, and
 * wherever that fails, a second method (Newton's method on the starting
 * azimuth over the auxiliary sphere). Coincident points give dist 0,
 * fwd_az 0, rev_az pi. 1 on success; 0, with the outputs untouched, only
 * for a longitude that is not finite or a latitude that is not a number or
 * lies outside [-pi/2, pi/2]. */
OSTREL_API int32_t ostrel_geodesic_inverse_robust(double lon1, double lat1, double lon2, double lat2, double* dist,
                                                  double* fwd_az, double* rev_az);

/* Direct problem: the destination (longitude in [-pi, pi)) reached from
 * (lon1, lat1) along bearing after dist metres; returns the azimuth of the
 * geodesic at the destination. */
OSTREL_API double ostrel_geodesic_direct(double lon1, double lat1, double bearing, double dist, double* lon2,
                                         double* lat2);

/* ostrel_geodesic_inverse_robust over n pairs given as arrays, spread over
 * workers threads (outside 1..processors: one per processor). Element i of
 * dist, fwd_az and rev_az is bit for bit what the single call gives for
 * element i of the inputs; a pair it refuses gets NaN in all three. Returns
 * the number of pairs solved; -1, with nothing written, for n < 0, a null
 * array when n > 0, or no memory for the workers. Arrays must not overlap. */
OSTREL_API int64_t ostrel_geodesic_inverse_robust_batch(const double* lon1, const double* lat1, const double* lon2,
                                                        const double* lat2, int64_t n, double* dist, double* fwd_az,
                                                        double* rev_az, int32_t workers);

/* ostrel_geodesic_direct over n cases given as arrays, spread over workers
 * as above: element i of lon2, lat2 and the arriving azimuth az2 is bit for
 * bit what the single call gives. Returns n; -1, with nothing written, for
 * the failures of ostrel_geodesic_inverse_robust_batch. */
OSTREL_API int64_t ostrel_geodesic_direct_batch(const double* lon1, const double* lat1, const double* bearing,
                                                const double* dist, int64_t n, double* lon2, double* lat2,
                                                double* az2, int32_t workers);

/* Azimuth in [0, 2pi) and elevation in [-pi, pi] of the target seen from pos
 * with the attitude (yaw, pitch, roll). */
OSTREL_API void ostrel_geodesic_azimuth_elevation(const ostrel_vec3* pos, double yaw, double pitch, double roll,
                                                  const ostrel_vec3* target, double* azimuth, double* elev);

OSTREL_EXTERN_C_END

#endif /* OSTREL_GEODESIC_H */
