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
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

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
    double background = 0;      ///< default: the source no-data value, else 0
    bool hasSrcNoData = false;  ///< otherwise each source band's own no-data value
    double srcNoData = 0;       ///< may be NaN
    bool rounding = true;       ///< integer outputs rounded to nearest; false truncates
    int width = 0, height = 0;  ///< output size; 0 derives it
    double pixelSize = 0;       ///< output pixel size; 0 derives it
    bool hasExtent = false;     ///< otherwise the extent of the mapped image
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    bool hasWindow = false;     ///< compute only this window of the output grid
    IO::XWindow window;
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
/// Parses an interpolation name into an _XINTERPOLATION value: nearest,
/// bilinear, cubic (the separable cubic convolution, a = -0.5) or radial
/// (the radial cubic kernel); false for any other.
bool ParseInterpolation(const std::string& name, int& interpolation);
const char* InterpolationName(int interpolation);
/// True for the sample types that can hold NaN (the real types and their
/// complex pairs); the others are integers, stored by the rounding rule.
bool IsRealSampleType(int type);
/// True when a sample of the type holds v exactly: an integer within the
/// range of an integer type, a value within the float range (or NaN or an
/// infinity) for the 32-bit reals, any value for the 64-bit reals.
bool SampleTypeHolds(int type, double v);
/// The no-data value of source band b: the one given for all bands, else
/// the band's own.
std::optional<double> SourceNoData(const Raster& in, const WarpOptions& options, int b);
/// The value written where no valid source sample reaches, and declared the
/// output's no-data: the one given, else the source no-data, else 0 (also
/// for a NaN source no-data on an integer output, which cannot hold NaN).
double Background(const Raster& in, const WarpOptions& options, int b);

/// True when an output grid of width x height pixels is within the
/// program's limits: at most 65536 pixels a side and 1e9 in all (computed in
/// doubles, which hold every product of two ints).
bool OutputSizeFits(double width, double height);

/// Used control points the method needs at least.
int WarpPointsNeeded(int method);

struct WarpMapping;

/// Everything a warp decides before it reads a pixel: the fitted mapping,
/// the output grid, the window of it to compute and the source window that
/// window needs.
struct WarpPlan {
    WarpPlan();
    ~WarpPlan();
    std::unique_ptr<WarpMapping> mapping;
    int width = 0, height = 0;          ///< the whole output grid
    double left = 0, top = 0, colSpacing = 1, rowSpacing = 1;
    IO::XWindow outWindow;              ///< the part computed (the whole grid by default)
    IO::XWindow srcWindow;              ///< the source samples it reads
    bool touchesSource = true;          ///< false when no output pixel maps into the source
};

/// Fits the mapping and plans the output grid from the source's header (no
/// pixels needed). gcps give image positions (pixel edges, (0, 0) the outer
/// upper-left corner) and reference positions.
bool PlanWarp(const Raster& header, const std::vector<tagXGCP>& gcps, const WarpOptions& options, WarpPlan& plan,
              WarpResult& result, std::string& error);

/// Writes what PlanWarp decided, in full precision, to path (atomically): the
/// method, the interpolation (the nearest-neighbour fit is shifted half a
/// pixel), the fitted coefficients and any cell grid, the output grid, the
/// source size and the residuals' summary. Every window run loading it maps
/// with exactly these numbers, whatever machine it runs on.
bool SaveWarpFit(const std::string& path, const Raster& header, const WarpOptions& options, const WarpPlan& plan,
                 const WarpResult& result, int nPoints, std::string& error);

/// Reads a file of SaveWarpFit into plan (and the method, cells and
/// interpolation into options, the residuals' summary into result), then
/// plans options' window as PlanWarp does. The source must have the size
/// the fit was made for. nPoints receives the number of control points.
bool LoadWarpFit(const std::string& path, const Raster& header, WarpOptions& options, WarpPlan& plan,
                 WarpResult& result, int& nPoints, std::string& error);

/// Resamples every band of in (the plan's source window of the source) into
/// out, the plan's output window, band by band on every core.
bool ResampleWarp(const Raster& in, const WarpPlan& plan, const WarpOptions& options, Raster& out,
                  WarpResult& result, std::string& error, const ProgressSpan& progress = {});

/// PlanWarp, then ResampleWarp of the whole of in.
bool WarpRaster(const Raster& in, const std::vector<tagXGCP>& gcps, const WarpOptions& options, Raster& out,
                WarpResult& result, std::string& error, const ProgressSpan& progress = {});

} // namespace Pelmora::Tivra::Tool
