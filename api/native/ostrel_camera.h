/* The C surface: camera models fitted to ground control points.
 *
 * Parameter vectors hold 9 doubles (frame camera: f, x0, y0, X0, Y0, Z0,
 * omega, phi, kappa) or 19 (line scanner; see XCameraModel.h for the order).
 * Points come as parallel arrays of n entries: ground X, Y, Z and image x, y.
 * Angles are radians. Nothing is allocated for the caller; no function keeps
 * state between calls, so fits may run on several threads at once. */
#ifndef OSTREL_CAMERA_H
#define OSTREL_CAMERA_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* Result codes of ostrel_camera_refine and ostrel_camera_estimate_dlt. */
#define OSTREL_CAMERA_CONVERGED 0
#define OSTREL_CAMERA_NOT_CONVERGED 1
#define OSTREL_CAMERA_DLT_OK 1
#define OSTREL_CAMERA_SINGULAR (-1)
#define OSTREL_CAMERA_BAD_ARGUMENTS (-2)

/* The rotation M(omega, phi, kappa), 9 doubles row by row, into m. */
OSTREL_API void ostrel_camera_build_rotation(double omega, double phi, double kappa, double* m);

/* The model value of equation k (point k / 2; its y equation when k is odd)
 * over the n points, and its n_params partial derivatives into dyda. The
 * line scanner takes the row t of a point from its image y. NaN, with dyda
 * untouched, for an equation outside the points or a parameter count other
 * than 9 or 19. */
OSTREL_API double ostrel_camera_eval_collinearity(int32_t k, int32_t n, const double* X, const double* Y,
                                                  const double* Z, const double* y, const double* params,
                                                  int32_t n_params, double* dyda);

/* Levenberg-Marquardt refinement of params (n_params doubles, in and out).
 * free_mask: n_params bytes, non-zero for fitted parameters (null: all);
 * use: n flags, non-zero for used points (null: all). Outputs, each may be
 * null: chi2, iterations, lambda (the final damping) and covar (n_params *
 * n_params doubles, row by row: (J^T J)^-1 of the free parameters, zero for
 * held ones; left untouched unless the result is 0 or 1). Returns 0
 * converged, 1 not converged, -1 singular (also when memory runs out), -2
 * bad arguments (params untouched). */
OSTREL_API int32_t ostrel_camera_refine(double* params, int32_t n_params, const uint8_t* free_mask, int32_t n,
                                        const double* X, const double* Y, const double* Z, const double* x,
                                        const double* y, const int32_t* use, double tolerance,
                                        int32_t max_iterations, double* chi2, int32_t* iterations, double* lambda,
                                        double* covar);

/* A frame camera (9 doubles in params) from the direct linear
 * transformation over the points whose use byte is non-zero (use null: all);
 * only parameters whose mask byte is non-zero are written (mask null: all).
 * Returns 1 on success, -1 when the system is singular (nothing written),
 * -2 bad arguments. */
OSTREL_API int32_t ostrel_camera_estimate_dlt(double* params, const uint8_t* mask, int32_t n, const double* X,
                                              const double* Y, const double* Z, const double* x, const double* y,
                                              const uint8_t* use);

OSTREL_EXTERN_C_END

#endif /* OSTREL_CAMERA_H */
