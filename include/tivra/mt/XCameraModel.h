// Physical camera models fitted to ground control points: the collinearity
// equations of a central projection for a frame camera (9 parameters) and a
// line scanner (19 parameters), their refinement by Levenberg-Marquardt with
// analytic derivatives, and a start for the frame camera from the
// eleven-parameter direct linear transformation (DLT).
//
// Conventions. Angles are radians. The rotation M(omega, phi, kappa) =
// Rx(omega) Ry(phi) Rz(kappa) takes ground differences into the camera frame:
//
//     (U, V, W) = M (X - X0, Y - Y0, Z - Z0)
//
// and the frame camera's collinearity equations are
//
//     x = x0 - f U / W,    y = y0 - f V / W.
//
// With f > 0 the camera looks along its -W axis: points in front of it have
// W < 0. M(0, 0, 0) is the identity, so a camera with zero angles looks
// straight down -Z with image x along +X and image y along +Y.
//
// Frame camera, 9 parameters in this order:
//     0 f, 1 x0, 2 y0, 3 X0, 4 Y0, 5 Z0, 6 omega, 7 phi, 8 kappa.
// Line scanner, 19 parameters in this order: 0 f; 1..3 X0, Y0, Z0 and 4..6
// omega, phi, kappa (constant terms); 7..9 and 10..12 their linear terms;
// 13..15 and 16..18 their quadratic terms. Each of the six exterior values
// at image row t is q(t) = constant + linear t + quadratic t^2, t being the
// observed image y of the point. The scanner images one row at a time, so
// its x equation is x = -f U / W against the observed x and its y equation
// is 0 = -f V / W (the point lies on the scan line of its row).
//
// Equations: each used point contributes two, in point order, the x equation
// first; equation k belongs to point k / 2 and is its y equation when k is
// odd.
#pragma once

#include <cstdint>

#include <tivra/mt/XMatrix.h>

namespace Pelmora::Tivra {

/// Parameter count of the frame camera.
inline constexpr int XCAMERA_FRAME_PARAMS = 9;
/// Parameter count of the line scanner.
inline constexpr int XCAMERA_LINE_PARAMS = 19;

/// Results of RefineCameraModel (and the failures of EstimateCameraByDlt).
inline constexpr int XCAMERA_CONVERGED = 0;
inline constexpr int XCAMERA_NOT_CONVERGED = 1;
inline constexpr int XCAMERA_SINGULAR = -1;
inline constexpr int XCAMERA_BAD_ARGUMENTS = -2;
/// Success of EstimateCameraByDlt.
inline constexpr int XCAMERA_DLT_OK = 1;

/// The damping at which RefineCameraModel gives up: its increments are then
/// some 1e-51 of a Gauss-Newton step, below the rounding of any parameter, so
/// no further step can lower chi-square.
inline constexpr double XCAMERA_LAMBDA_LIMIT = 1e51;

/// What RefineCameraModel reports besides its result.
struct tagXCameraFit {
    /// Sum of the squared residuals (observed - model) at the returned
    /// parameters, in pixels squared.
    double m_dChi2 = 0.0;
    /// Iterations counted, the evaluation at the start being the first.
    int32_t m_nIterations = 0;
    /// The damping when the iteration stopped; at or above
    /// XCAMERA_LAMBDA_LIMIT it stopped because no step lowered chi-square any
    /// more (its minimum, in practice, for data with noise).
    double m_dLambda = 0.0;
    /// nParams x nParams: (J^T J)^-1 over the free parameters at the returned
    /// parameters, J the derivatives of the used equations, made exactly
    /// symmetric; the rows and columns of held parameters are 0. It is the covariance for image
    /// errors of unit variance: multiply by chi2 / (equations - free
    /// parameters) for the a-posteriori covariance. Empty when the fit ends
    /// singular or with bad arguments.
    XMatrix m_Covar;
};

namespace Xfn {

/// The 3 x 3 rotation M(omega, phi, kappa) = Rx(omega) Ry(phi) Rz(kappa),
/// row by row (c = cos, s = sin):
///     c(phi)c(kappa)                        -c(phi)s(kappa)                         s(phi)
///     c(om)s(kappa) + s(om)s(phi)c(kappa)    c(om)c(kappa) - s(om)s(phi)s(kappa)   -s(om)c(phi)
///     s(om)s(kappa) - c(om)s(phi)c(kappa)    s(om)c(kappa) + c(om)s(phi)s(kappa)    c(om)c(phi)
XMatrix BuildRotation(double omega, double phi, double kappa);

/// The model value of equation k and, in dyda (resized to the parameter
/// count), its partial derivatives with respect to every parameter. The
/// model is the frame camera for 9 parameters and the line scanner for 19.
/// ground holds one row per point: X, Y, Z and, for the line scanner, the
/// observed image y (the row t) in a fourth column. The value is the right
/// side of the equation: x0 - f U / W or y0 - f V / W for the frame camera,
/// -f U / W or -f V / W for the line scanner. NaN, with dyda untouched, when
/// k is outside 0 .. 2 * rows - 1, the parameter count is neither 9 nor 19,
/// or ground has too few columns; a point in the camera's principal plane
/// (W = 0) gives non-finite values.
double EvalCollinearity(int k, const XMatrix& ground, const XVector& params, XVector& dyda);

/// Refines params (9 or 19) by Levenberg-Marquardt least squares, all weights
/// 1, over the points whose use flag is non-zero (all when pUse is null).
/// pFree holds one byte per parameter, non-zero for a parameter that is
/// fitted (all free when null); held parameters keep their values. X, Y, Z,
/// x and y are parallel, one entry per point.
///
/// The iteration: lambda starts at 0.001; each step solves (alpha with its
/// diagonal multiplied by 1 + lambda) delta = beta by Gauss-Jordan
/// elimination, alpha = J^T J and beta = J^T r over the free parameters (r =
/// observed - model), and accepts the trial parameters when their chi-square
/// is lower (lambda *= 0.1), else keeps the old ones (lambda *= 10). The
/// evaluation at the start is iteration 1 and every step one more. It stops
/// when chi-square is at or below tolerance, when lambda reaches 1e51 or when
/// maxIterations iterations are done. A last pass inverts alpha (lambda = 0)
/// at the final parameters for the covariance.
///
/// Returns XCAMERA_CONVERGED (0) when chi-square reached the tolerance within
/// maxIterations iterations, so a maximum of 1 converges only when the start
/// already meets it; XCAMERA_NOT_CONVERGED (1) otherwise; XCAMERA_SINGULAR
/// (-1) when a system of normal equations is singular (a free parameter
/// without effect, too few used points, or a start at which the model
/// cannot be evaluated), params then holding the last accepted values;
/// XCAMERA_BAD_ARGUMENTS (-2), nothing changed, when the parameter count is
/// neither 9 nor 19, the point arrays differ in size, tolerance is NaN or
/// maxIterations is below 1. The fit keeps all its working state in the
/// call, so refinements may run concurrently on different threads. pFit,
/// when given, receives chi-square, the iteration count, the final lambda
/// and the covariance.
int RefineCameraModel(XVector& params, const uint8_t* pFree, const XVector& X, const XVector& Y, const XVector& Z,
                      const XVector& x, const XVector& y, const int32_t* pUse, double tolerance, int maxIterations,
                      tagXCameraFit* pFit = nullptr);

/// A frame camera from the eleven-parameter DLT over the points whose use
/// byte is non-zero (all when pUse is null):
///
///     x = (L1 X + L2 Y + L3 Z + L4) / (L9 X + L10 Y + L11 Z + 1)
///     y = (L5 X + L6 Y + L7 Z + L8) / (L9 X + L10 Y + L11 Z + 1)
///
/// Each used point gives the rows (X, Y, Z, 1, 0, 0, 0, 0, -xX, -xY, -xZ) = x
/// and (0, 0, 0, 0, X, Y, Z, 1, -yX, -yY, -yZ) = y, solved by least squares
/// through the normal equations (Gauss-Jordan with the pivot test of the
/// refinement, so ground points on any plane, level or tilted, are refused
/// rather than giving a wrong camera). The rows are formed in coordinates centred
/// on the used points and scaled to unit spread (ground and image apart), and
/// the solution is rewritten for the raw coordinates, so ground coordinates
/// far from the origin (map projections) fit as well as local ones; without
/// noise the result is the same.
///
/// Decomposition. The model is, in homogeneous form,
///     (x, y, 1) ~ K M (X - X0),   K = ((-f, 0, x0), (0, -f, y0), (0, 0, 1)),
/// so the DLT matrix P = ((L1 L2 L3 L4), (L5 L6 L7 L8), (L9 L10 L11 1)) is
/// c K M [I | -X0] for a scale c. With A the left 3 x 3 part and r1, r2, r3
/// its rows divided by c:
///     r3 = m3,   r1 = -f m1 + x0 m3,   r2 = -f m2 + y0 m3
/// (m1, m2, m3 the rows of M, orthonormal). Hence |c| = |(L9, L10, L11)| and,
/// with L = -1 / |c| so that L^2 = 1 / c^2,
///     x0 = (L1 L9 + L2 L10 + L3 L11) L^2,  y0 = (L5 L9 + L6 L10 + L7 L11) L^2,
///     f^2 = (L1^2 + L2^2 + L3^2) L^2 - x0^2 = (L5^2 + L6^2 + L7^2) L^2 - y0^2;
/// f is the square root of the mean of these two values. The last column of P
/// is -A X0, so X0 = -A^-1 (L4, L8, 1). det A = c^3 f^2 det M with det M = 1,
/// so the sign of c is the sign of det A; 1 / c = -sign(det A) L gives
///     m3 = -sign(det A) L (L9, L10, L11),  m1 = (x0 m3 - r1) / f,
///     m2 = (y0 m3 - r2) / f,
/// a proper rotation with f > 0. From the table of BuildRotation:
///     phi = atan2(M13, sqrt(M11^2 + M12^2)),  omega = atan2(-M23, M33),
///     kappa = atan2(-M12, M11),
/// with phi in [-pi/2, pi/2] and omega, kappa in (-pi, pi].
///
/// Only the parameters whose mask byte is non-zero are written (all when
/// pMask is null; pMask has 9 bytes). Returns XCAMERA_DLT_OK (1) on success;
/// XCAMERA_SINGULAR (-1), writing nothing, when fewer than 6 points are used,
/// the ground points lie in one plane or the image points coincide (the
/// normal equations are singular), det A = 0, the raw form cannot express the
/// solution (the ground origin lies in the camera's principal plane) or f^2
/// is not positive; XCAMERA_BAD_ARGUMENTS (-2) when params does not have 9
/// entries or the point arrays differ in size.
int EstimateCameraByDlt(XVector& params, const uint8_t* pMask, const XVector& X, const XVector& Y, const XVector& Z,
                        const XVector& x, const XVector& y, const uint8_t* pUse);

} // namespace Xfn
} // namespace Pelmora::Tivra
