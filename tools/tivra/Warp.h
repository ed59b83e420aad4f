// Rectification of a raster from ground control points: the output grid in
// reference coordinates, the fitted mapping from output pixels to source
// pixels, and the resampling of every band. Shared by `tivra warp` and the
// demo.
#pragma once

#include "RasterIO.h"

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XGCP.h>
#include <tivra/mt/XWarpCoeff.h>

#include <chrono>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

class ProgressBar;

/// Seconds since construction on the monotonic clock: the timer of every
/// phase of a warp run.
class Stopwatch {
public:
    Stopwatch() : m_start(std::chrono::steady_clock::now()) {}
    double Seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(); }

private:
    std::chrono::steady_clock::time_point m_start;
};

/// Method code for the projective mapping, beside the polynomial ones.
inline constexpr int kWarpProjective = 100;

struct WarpOptions {
    int method = XWARP_AFFINE;  ///< an _XWARPMETHOD value or kWarpProjective
    int cellCols = 1, cellRows = 1;
    int interpolation = XINTERP_BILINEAR;
    bool hasBackground = false;
    double background = 0;
    int width = 0, height = 0;  ///< output size; 0 derives it
    double pixelSize = 0;       ///< output pixel size; 0 derives it
    bool hasExtent = false;     ///< otherwise the extent of the mapped image
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
};

/// One control point's residual: the fitted mapping's source position minus
/// the point's own, in source pixels.
struct PointResidual {
    int id;
    bool used;
    double dx, dy;
};

struct WarpResult {
    int used = 0;
    double rmsX = 0, rmsY = 0;  ///< over the used points, source pixels
    std::vector<PointResidual> residuals;
    double fitSeconds = 0, resampleSeconds = 0;
};

/// Parses a method name (linear, affine, pseudoaffine, second, third,
/// projective); false for any other.
bool ParseWarpMethod(const std::string& name, int& method);
const char* WarpMethodName(int method);
/// Parses an interpolation name (nearest, bilinear, cubic) into an
/// _XINTERPOLATION value; false for any other.
bool ParseInterpolation(const std::string& name, int& interpolation);
const char* InterpolationName(int interpolation);
/// Used control points the method needs at least.
int WarpPointsNeeded(int method);

/// Rectifies in onto a north-up grid. gcps give image positions (pixel
/// edges, (0, 0) the outer upper-left corner) and reference positions.
bool WarpRaster(const Raster& in, const std::vector<tagXGCP>& gcps, const WarpOptions& options, Raster& out,
                WarpResult& result, std::string& error, ProgressBar* bar);

} // namespace Pelmora::Tivra::Tool
