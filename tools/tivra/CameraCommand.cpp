// tivra camera GCPS.csv [--max-iterations N] [--quiet]: fits a frame camera
// (principal distance, principal point, projection centre and three angles)
// to control points with ground heights, starting from the direct linear
// transformation and refining by Levenberg-Marquardt, and prints the
// parameters, their standard deviations and every point's residuals.
#include "Cli.h"
#include "Commands.h"
#include "Gcps.h"

#include <tivra/mt/XCameraModel.h>

#include <cmath>
#include <cstdio>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

/// The DLT has 11 unknowns and each point gives two equations.
constexpr int kMinPoints = 6;
/// The refinement runs until no step lowers chi-square; with noise that
/// takes a few dozen iterations after the last improvement, since the
/// damping must grow from about 1e-10 to 1e51 by factors of 10.
constexpr int kDefaultIterations = 500;
constexpr double kRadToDeg = 57.29577951308232;

int UsageError(const std::string& message) { return Tool::UsageError("camera", message); }

struct ParameterRow {
    const char* name;
    const char* unit;
    double scale;  // from the library's unit to the printed one
};

const ParameterRow kRows[XCAMERA_FRAME_PARAMS] = {
    {"f", "px", 1.0},      {"x0", "px", 1.0},          {"y0", "px", 1.0},
    {"X0", "", 1.0},       {"Y0", "", 1.0},            {"Z0", "", 1.0},
    {"omega", "deg", kRadToDeg}, {"phi", "deg", kRadToDeg}, {"kappa", "deg", kRadToDeg},
};

} // namespace

int RunCamera(int argc, char** argv)
{
    std::vector<std::string> positional;
    int maxIterations = kDefaultIterations;
    bool quiet = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--max-iterations") {
            if (i + 1 >= argc || !ParseInt(argv[++i], maxIterations) || maxIterations < 1)
                return UsageError("--max-iterations takes a positive integer");
        } else if (arg == "--quiet" || arg == "-q") {
            quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 1) return UsageError("expected one control point file");
    const std::string& path = positional[0];

    std::string error;
    std::vector<tagXGCP> gcps;
    if (!ReadGcps(path, gcps, error)) return Fail(error);
    const int n = int(gcps.size());
    XVector X(n), Y(n), Z(n), x(n), y(n);
    std::vector<int32_t> use(n);
    std::vector<uint8_t> use8(n);
    int used = 0;
    for (int i = 0; i < n; ++i) {
        const tagXGCP& p = gcps[i];
        X[i] = p.refCoord.x;
        Y[i] = p.refCoord.y;
        Z[i] = p.refCoord.z;
        x[i] = p.imgCoord.x;
        y[i] = p.imgCoord.y;
        use[i] = use8[i] = p.Used ? 1 : 0;
        used += p.Used ? 1 : 0;
    }
    if (used < kMinPoints)
        return Fail("a frame camera needs at least " + std::to_string(kMinPoints) + " used control points, found " +
                    std::to_string(used));

    XVector a(XCAMERA_FRAME_PARAMS);
    for (int j = 0; j < XCAMERA_FRAME_PARAMS; ++j) a[j] = 0.0;
    if (Xfn::EstimateCameraByDlt(a, nullptr, X, Y, Z, x, y, use8.data()) != XCAMERA_DLT_OK)
        return Fail(path + ": the used ground points lie in one plane or do not determine a camera (the fit needs "
                           "points at different heights, with ref_z)");
    tagXCameraFit fit;
    const int result = Xfn::RefineCameraModel(a, nullptr, X, Y, Z, x, y, use.data(), 0.0, maxIterations, &fit);
    if (result == XCAMERA_SINGULAR)
        return Fail(path + ": the control points do not determine all nine camera parameters");

    // The a-posteriori variance of an image coordinate scales the covariance.
    const int dof = 2 * used - XCAMERA_FRAME_PARAMS;
    const double variance = dof > 0 ? fit.m_dChi2 / dof : 0.0;
    std::printf("%s: %d control points, %d used\n", path.c_str(), n, used);
    std::printf("frame camera from a direct linear start, refined in %d iterations (%s)\n", fit.m_nIterations,
                result == XCAMERA_CONVERGED || fit.m_dLambda >= XCAMERA_LAMBDA_LIMIT ? "converged" : "iteration limit reached");
    std::printf("sigma0 %.4f px (%d degrees of freedom)\n", std::sqrt(variance), dof);
    std::printf("%-6s %18s %14s\n", "", "value", "std dev");
    for (int j = 0; j < XCAMERA_FRAME_PARAMS; ++j) {
        const ParameterRow& r = kRows[j];
        const double sd = std::sqrt(fit.m_Covar(j, j) * variance) * r.scale;
        std::printf("%-6s %18.6f %14.6f%s%s\n", r.name, a[j] * r.scale, sd, *r.unit ? " " : "", r.unit);
    }

    // Residuals: the projected position minus the point's own, for check
    // points too.
    XMatrix ground(1, 4);
    XVector d;
    double sx = 0, sy = 0;
    std::vector<std::pair<double, double>> res(n);
    for (int i = 0; i < n; ++i) {
        ground(0, 0) = X[i], ground(0, 1) = Y[i], ground(0, 2) = Z[i], ground(0, 3) = y[i];
        res[i] = {Xfn::EvalCollinearity(0, ground, a, d) - x[i], Xfn::EvalCollinearity(1, ground, a, d) - y[i]};
        if (use[i]) sx += res[i].first * res[i].first, sy += res[i].second * res[i].second;
    }
    std::printf("RMS residual: x %.4f px, y %.4f px (used points)\n", std::sqrt(sx / used), std::sqrt(sy / used));
    if (!quiet) {
        std::printf("%6s %5s %10s %10s\n", "id", "used", "dx px", "dy px");
        for (int i = 0; i < n; ++i)
            std::printf("%6d %5s %10.4f %10.4f\n", gcps[i].ID, use[i] ? "yes" : "check", res[i].first, res[i].second);
    }
    if (result == XCAMERA_NOT_CONVERGED && fit.m_dLambda < XCAMERA_LAMBDA_LIMIT)
        std::fprintf(stderr, "tivra camera: warning: stopped after %d iterations before chi-square settled\n",
                     fit.m_nIterations);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
