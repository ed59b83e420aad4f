#include "Warp.h"

#include "Progress.h"

#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarp2D.h>

#include <cmath>
#include <memory>

namespace Pelmora::Tivra::Tool {

namespace {

/// Points taken along each side of the image outline when it is mapped into
/// reference coordinates to find the output extent. A polynomial of up to
/// third order, or a projective mapping, bends a side into a smooth curve;
/// 64 steps follow it to well under a pixel, while the extent costs only
/// 4 x 65 mappings.
constexpr int kOutlineSteps = 64;

/// Largest output side in pixels. A larger grid almost always comes from a
/// pixel size in the wrong unit (degrees given for metres), so it is refused
/// with a hint before any memory is asked for.
constexpr double kMaxOutputSide = 65536;

/// Largest output grid in pixels. A grid's block holds at most 2^31 - 1
/// bytes, about 1e9 samples of 16 bits, so a larger band could not be
/// allocated for any type but bytes; refusing it here gives a message that
/// names the options that shrink it.
constexpr double kMaxOutputPixels = 1.0e9;

// The names of the warp methods and of the interpolations, as the command
// line gives them and the report prints them.
struct Named {
    int code;
    const char* name;
};
constexpr Named kWarpMethods[] = {
    {XWARP_LINEAR, "linear"},      {XWARP_AFFINE, "affine"},    {XWARP_PSEUDOAFFINE, "pseudoaffine"},
    {XWARP_SECONDORDER, "second"}, {XWARP_THIRDORDER, "third"}, {kWarpProjective, "projective"}};
constexpr Named kInterpolations[] = {
    {XINTERP_NEAREST, "nearest"}, {XINTERP_BILINEAR, "bilinear"}, {XINTERP_CUBIC, "cubic"}};

template <size_t N>
bool ParseName(const Named (&table)[N], const std::string& name, int& code)
{
    for (const Named& n : table)
        if (name == n.name) {
            code = n.code;
            return true;
        }
    return false;
}

template <size_t N>
const char* NameOf(const Named (&table)[N], int code)
{
    for (const Named& n : table)
        if (n.code == code) return n.name;
    return "unknown";
}

// A fitted mapping of either kind behind one call.
struct Mapping {
    bool projective = false;
    MT::XWarp2D poly;
    MT::XProjectiveWarp proj;

    bool Map(double& x, double& y)
    {
        return projective ? proj.WarpPoint(x, y) : poly.WarpPoint(x, y);
    }
};

bool FitMapping(Mapping& m, int method, const std::vector<XVertex2<double>>& src,
                const std::vector<XVertex2<double>>& dst, const std::vector<uint8_t>& mask, int cellCols,
                int cellRows)
{
    const int n = static_cast<int>(src.size());
    if (method == kWarpProjective) {
        m.projective = true;
        double cx, cy, s, cx2, cy2, s2;
        MT::XProjectiveWarp::GetNormalization(src.data(), n, mask.data(), cx, cy, s);
        MT::XProjectiveWarp::GetNormalization(dst.data(), n, mask.data(), cx2, cy2, s2);
        return m.proj.Fit(src.data(), dst.data(), n, cx, cy, s, cx2, cy2, s2, mask.data());
    }
    return m.poly.Fit(method, n, src.data(), dst.data(), mask.data(), cellCols, cellRows);
}

/// The control points of a run: the used-point mask, the image positions as
/// sample coordinates and the reference positions.
struct Points {
    std::vector<uint8_t> mask;
    int used = 0;
    std::vector<XVertex2<double>> img, ref;
};

/// Step 1: the points, refused when fewer are used than the method needs.
bool TakePoints(const std::vector<tagXGCP>& gcps, int method, Points& pts, std::string& error)
{
    const int n = static_cast<int>(gcps.size());
    pts.mask.resize(n);
    pts.used = 0;
    for (int i = 0; i < n; ++i) {
        pts.mask[i] = gcps[i].Used ? 1 : 0;
        pts.used += pts.mask[i];
    }
    const int needed = WarpPointsNeeded(method);
    if (pts.used < needed) {
        error = std::string("method ") + WarpMethodName(method) + " needs at least " + std::to_string(needed) +
                " used control points, found " + std::to_string(pts.used);
        return false;
    }
    // Image positions as sample coordinates: sample (c, r) covers the pixel
    // whose edges are c..c+1, so its centre is at edge position c + 0.5.
    pts.img.resize(n);
    pts.ref.resize(n);
    for (int i = 0; i < n; ++i) {
        pts.img[i] = XVertex2<double>(gcps[i].imgCoord.x - 0.5, gcps[i].imgCoord.y - 0.5);
        pts.ref[i] = XVertex2<double>(gcps[i].refCoord.x, gcps[i].refCoord.y);
    }
    return true;
}

struct Extent {
    double xmin, ymin, xmax, ymax;
};

/// Step 2: the output extent, as given or the image outline mapped forward.
bool FindExtent(const Raster& in, const Points& pts, const WarpOptions& options, Extent& e, std::string& error)
{
    e = {options.xmin, options.ymin, options.xmax, options.ymax};
    if (!options.hasExtent) {
        auto forward = std::make_unique<Mapping>();
        if (!FitMapping(*forward, options.method, pts.img, pts.ref, pts.mask, 1, 1)) {
            error = std::string("the ") + WarpMethodName(options.method) +
                    " fit from image to reference failed (control points degenerate?)";
            return false;
        }
        e.xmin = e.ymin = HUGE_VAL;
        e.xmax = e.ymax = -HUGE_VAL;
        const double cols = in.Cols(), rows = in.Rows();
        for (int side = 0; side < 4; ++side)
            for (int k = 0; k <= kOutlineSteps; ++k) {
                const double t = static_cast<double>(k) / kOutlineSteps;
                double x = side == 0 ? t * cols : side == 1 ? cols : side == 2 ? (1 - t) * cols : 0;
                double y = side == 0 ? 0 : side == 1 ? t * rows : side == 2 ? rows : (1 - t) * rows;
                x -= 0.5;
                y -= 0.5;
                if (!forward->Map(x, y) || !std::isfinite(x) || !std::isfinite(y)) continue;
                e.xmin = std::min(e.xmin, x);
                e.xmax = std::max(e.xmax, x);
                e.ymin = std::min(e.ymin, y);
                e.ymax = std::max(e.ymax, y);
            }
    }
    if (!(e.xmax > e.xmin) || !(e.ymax > e.ymin)) {
        error = "the output extent is empty";
        return false;
    }
    return true;
}

struct OutputGrid {
    double colSpacing, rowSpacing;
    double width, height;
};

/// Step 3: the output grid over the extent: a given size, a given pixel size,
/// or square pixels that keep the image's diagonal in pixels.
bool PlanOutputGrid(const Raster& in, const Extent& e, const WarpOptions& options, OutputGrid& g, std::string& error)
{
    const double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
    if (options.width > 0) {
        g.width = options.width;
        g.height = options.height;
        g.colSpacing = w / g.width;
        g.rowSpacing = h / g.height;
    } else {
        const double s = options.pixelSize > 0
                             ? options.pixelSize
                             : std::hypot(w, h) / std::hypot(static_cast<double>(in.Cols()), static_cast<double>(in.Rows()));
        g.colSpacing = g.rowSpacing = s;
        g.width = std::ceil(w / s - 1e-6);
        g.height = std::ceil(h / s - 1e-6);
    }
    if (!(g.width >= 1 && g.height >= 1 && g.width <= kMaxOutputSide && g.height <= kMaxOutputSide &&
          g.width * g.height <= kMaxOutputPixels)) {
        error = "output grid of " + std::to_string(g.width) + " x " + std::to_string(g.height) +
                " pixels is out of range; give --size or --pixel-size";
        return false;
    }
    return true;
}

/// Step 4: the mapping the resampler needs, output sample position -> source
/// sample position, fitted to the points, with each point's residual and the
/// RMS over the used ones.
bool FitOutputToSource(const std::vector<tagXGCP>& gcps, const Points& pts, const Extent& e, const OutputGrid& g,
                       const WarpOptions& options, Mapping& mapping, WarpResult& result, std::string& error)
{
    const int n = static_cast<int>(gcps.size());
    std::vector<XVertex2<double>> dst(n);
    for (int i = 0; i < n; ++i)
        dst[i] = XVertex2<double>((pts.ref[i].x - e.xmin) / g.colSpacing - 0.5,
                                  (e.ymax - pts.ref[i].y) / g.rowSpacing - 0.5);
    // Nearest-neighbour reading takes the sample at the truncated position,
    // so that method gets positions half a pixel on, where truncation
    // rounds to the nearest sample centre.
    const double shift = options.interpolation == XINTERP_NEAREST ? 0.5 : 0.0;
    std::vector<XVertex2<double>> target(n);
    for (int i = 0; i < n; ++i) target[i] = XVertex2<double>(pts.img[i].x + shift, pts.img[i].y + shift);
    if (!FitMapping(mapping, options.method, dst, target, pts.mask, options.cellCols, options.cellRows)) {
        error = std::string("the ") + WarpMethodName(options.method) +
                " fit failed (control points degenerate for this method?)";
        return false;
    }
    result.residuals.clear();
    double sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) {
        double x = dst[i].x, y = dst[i].y;
        if (!mapping.Map(x, y)) x = y = NAN;
        const PointResidual r{gcps[i].ID, gcps[i].Used, x - target[i].x, y - target[i].y};
        result.residuals.push_back(r);
        if (r.used) {
            sx += r.dx * r.dx;
            sy += r.dy * r.dy;
        }
    }
    if (mapping.projective) {
        result.rmsX = std::sqrt(sx / result.used);
        result.rmsY = std::sqrt(sy / result.used);
    } else {
        MT::XWarp2D::CalcRms(mapping.poly, n, dst.data(), target.data(), pts.mask.data(), result.rmsX, result.rmsY);
    }
    return true;
}

/// Step 5: the output raster, filled band by band on every core.
bool ResampleBands(const Raster& in, Mapping& mapping, const Extent& e, const OutputGrid& g, const WarpOptions& options,
                   Raster& out, std::string& error, ProgressBar* bar)
{
    out = Raster();
    out.hasGeo = true;
    out.left = e.xmin;
    out.top = e.ymax;
    out.colSpacing = g.colSpacing;
    out.rowSpacing = g.rowSpacing;
    out.epsg = in.epsg;
    out.geographic = in.geographic;
    const double background = options.hasBackground ? options.background : in.hasNoData ? in.noData : 0.0;
    out.hasNoData = true;
    out.noData = background;
    const int nb = static_cast<int>(in.bands.size());
    out.bands.resize(nb);
    for (auto& band : out.bands)
        if (!band.AllocExact(static_cast<int>(g.height), static_cast<int>(g.width), in.DataType())) {
            error = "out of memory for the output grid";
            return false;
        }
    out.ApplyGeo();
    MT::XResamplePixels resampler;
    for (int b = 0; b < nb; ++b) {
        auto job = [&] {
            return mapping.projective ? resampler.ResampleByProjective(&in.bands[b], &out.bands[b], &mapping.proj,
                                                                       options.interpolation, background)
                                      : resampler.ResampleByWarp(&in.bands[b], &out.bands[b], &mapping.poly,
                                                                 options.interpolation, background);
        };
        const bool ok = bar ? RunWithProgress(resampler, job, *bar, static_cast<double>(b) / nb, 1.0 / nb) : job();
        if (!ok) {
            error = "resampling failed";
            return false;
        }
    }
    return true;
}

} // namespace

bool ParseWarpMethod(const std::string& name, int& method) { return ParseName(kWarpMethods, name, method); }

const char* WarpMethodName(int method) { return NameOf(kWarpMethods, method); }

bool ParseInterpolation(const std::string& name, int& interpolation)
{
    return ParseName(kInterpolations, name, interpolation);
}

const char* InterpolationName(int interpolation) { return NameOf(kInterpolations, interpolation); }

int WarpPointsNeeded(int method) { return method == kWarpProjective ? 4 : GetWarpTermCount(method); }

bool WarpRaster(const Raster& in, const std::vector<tagXGCP>& gcps, const WarpOptions& options, Raster& out,
                WarpResult& result, std::string& error, ProgressBar* bar)
{
    const Stopwatch fitTime;
    Points pts;
    const bool taken = TakePoints(gcps, options.method, pts, error);
    result.used = pts.used;
    if (!taken) return false;
    Extent extent;
    OutputGrid grid;
    if (!FindExtent(in, pts, options, extent, error) || !PlanOutputGrid(in, extent, options, grid, error)) return false;
    auto mapping = std::make_unique<Mapping>();
    if (!FitOutputToSource(gcps, pts, extent, grid, options, *mapping, result, error)) return false;
    result.fitSeconds = fitTime.Seconds();

    const Stopwatch resampleTime;
    if (!ResampleBands(in, *mapping, extent, grid, options, out, error, bar)) return false;
    result.resampleSeconds = resampleTime.Seconds();
    return true;
}

} // namespace Pelmora::Tivra::Tool
