// Camera model fits through the C surface. The caller's arrays are wrapped
// as borrowed XVectors (no copy); only the parameters are copied, so that a
// failed fit leaves the caller's array as the core leaves its vector. The
// refinement and the DLT start allocate work arrays through the C++ library
// and run under the guard; the rotation and the collinearity equations use
// matrices, which report a failed allocation by their size.
#include "ostrel_camera.h"
#include "ostrel_internal.h"

#include <tivra/mt/XCameraModel.h>

#include <cstring>
#include <limits>

using namespace Pelmora::Tivra;
using Pelmora::Ostrel::Native::Guarded;

static_assert(OSTREL_CAMERA_CONVERGED == XCAMERA_CONVERGED && OSTREL_CAMERA_NOT_CONVERGED == XCAMERA_NOT_CONVERGED &&
              OSTREL_CAMERA_DLT_OK == XCAMERA_DLT_OK && OSTREL_CAMERA_SINGULAR == XCAMERA_SINGULAR &&
              OSTREL_CAMERA_BAD_ARGUMENTS == XCAMERA_BAD_ARGUMENTS);

namespace {

/// A borrowed vector over n caller elements; empty for n = 0.
XVector Borrow(const double* p, int32_t n) { return XVector(const_cast<double*>(p), n); }

bool Valid(const double* p, int32_t n) { return n == 0 || p != nullptr; }

} // namespace

extern "C" {

void ostrel_camera_build_rotation(double omega, double phi, double kappa, double* m)
{
    const XMatrix r = Xfn::BuildRotation(omega, phi, kappa);
    if (r.GetRows() == 3) std::memcpy(m, r.GetData(), sizeof(double) * 9);
}

double ostrel_camera_eval_collinearity(int32_t k, int32_t n, const double* X, const double* Y, const double* Z,
                                       const double* y, const double* params, int32_t n_params, double* dyda)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (n < 0 || k < 0 || k >= 2 * int64_t(n) || !params || !dyda || !X || !Y || !Z || !y) return nan;
    if (n_params != XCAMERA_FRAME_PARAMS && n_params != XCAMERA_LINE_PARAMS) return nan;
    // Only the point of equation k is needed.
    const int i = k / 2;
    XMatrix ground(1, 4);
    if (ground.GetRows() != 1) return nan;
    ground(0, 0) = X[i];
    ground(0, 1) = Y[i];
    ground(0, 2) = Z[i];
    ground(0, 3) = y[i];
    XVector d;
    const double v = Xfn::EvalCollinearity(k % 2, ground, Borrow(params, n_params), d);
    if (d.GetSize() == n_params) std::memcpy(dyda, d.GetData(), sizeof(double) * size_t(n_params));
    return v;
}

int32_t ostrel_camera_refine(double* params, int32_t n_params, const uint8_t* free_mask, int32_t n, const double* X,
                             const double* Y, const double* Z, const double* x, const double* y, const int32_t* use,
                             double tolerance, int32_t max_iterations, double* chi2, int32_t* iterations,
                             double* lambda, double* covar)
{
    if (!params || n < 0 || !Valid(X, n) || !Valid(Y, n) || !Valid(Z, n) || !Valid(x, n) || !Valid(y, n))
        return XCAMERA_BAD_ARGUMENTS;
    if (n_params != XCAMERA_FRAME_PARAMS && n_params != XCAMERA_LINE_PARAMS) return XCAMERA_BAD_ARGUMENTS;
    return Guarded(
        [&]() -> int32_t {
            XVector a(n_params);
            if (a.GetSize() != n_params) return XCAMERA_SINGULAR;
            std::memcpy(a.GetData(), params, sizeof(double) * size_t(n_params));
            tagXCameraFit fit;
            const int r = Xfn::RefineCameraModel(a, free_mask, Borrow(X, n), Borrow(Y, n), Borrow(Z, n), Borrow(x, n),
                                                 Borrow(y, n), use, tolerance, max_iterations, &fit);
            if (r == XCAMERA_BAD_ARGUMENTS) return r;
            std::memcpy(params, a.GetData(), sizeof(double) * size_t(n_params));
            if (chi2) *chi2 = fit.m_dChi2;
            if (iterations) *iterations = fit.m_nIterations;
            if (lambda) *lambda = fit.m_dLambda;
            if (covar && fit.m_Covar.GetRows() == n_params)
                std::memcpy(covar, fit.m_Covar.GetData(), sizeof(double) * size_t(n_params) * size_t(n_params));
            return r;
        },
        [] { return int32_t(XCAMERA_SINGULAR); });
}

int32_t ostrel_camera_estimate_dlt(double* params, const uint8_t* mask, int32_t n, const double* X, const double* Y,
                                   const double* Z, const double* x, const double* y, const uint8_t* use)
{
    if (!params || n < 0 || !Valid(X, n) || !Valid(Y, n) || !Valid(Z, n) || !Valid(x, n) || !Valid(y, n))
        return XCAMERA_BAD_ARGUMENTS;
    return Guarded(
        [&]() -> int32_t {
            XVector a(params, XCAMERA_FRAME_PARAMS);
            return Xfn::EstimateCameraByDlt(a, mask, Borrow(X, n), Borrow(Y, n), Borrow(Z, n), Borrow(x, n),
                                            Borrow(y, n), use);
        },
        [] { return int32_t(XCAMERA_SINGULAR); });
}

} // extern "C"
