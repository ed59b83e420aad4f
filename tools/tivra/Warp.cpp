#include "Warp.h"

#include "Progress.h"

#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarp2D.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace Pelmora::Tivra::Tool {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
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

} // namespace

bool ParseWarpMethod(const std::string& name, int& method)
{
    if (name == "linear") method = XWARP_LINEAR;
    else if (name == "affine") method = XWARP_AFFINE;
    else if (name == "pseudoaffine") method = XWARP_PSEUDOAFFINE;
    else if (name == "second") method = XWARP_SECONDORDER;
    else if (name == "third") method = XWARP_THIRDORDER;
    else if (name == "projective") method = kWarpProjective;
    else return false;
    return true;
}

const char* WarpMethodName(int method)
{
    switch (method) {
    case XWARP_LINEAR: return "linear";
    case XWARP_AFFINE: return "affine";
    case XWARP_PSEUDOAFFINE: return "pseudoaffine";
    case XWARP_SECONDORDER: return "second";
    case XWARP_THIRDORDER: return "third";
    case kWarpProjective: return "projective";
    default: return "unknown";
    }
}

int WarpPointsNeeded(int method)
{
    return method == kWarpProjective ? 4 : GetWarpTermCount(method);
}

bool WarpRaster(const Raster& in, const std::vector<tagXGCP>& gcps, const WarpOptions& options, Raster& out,
                WarpResult& result, std::string& error, ProgressBar* bar)
{
    const auto fitStart = Clock::now();
    const int n = static_cast<int>(gcps.size());
    std::vector<uint8_t> mask(n);
    result.used = 0;
    for (int i = 0; i < n; ++i) {
        mask[i] = gcps[i].Used ? 1 : 0;
        result.used += mask[i];
    }
    const int needed = WarpPointsNeeded(options.method);
    if (result.used < needed) {
        error = std::string("method ") + WarpMethodName(options.method) + " needs at least " + std::to_string(needed) +
                " used control points, found " + std::to_string(result.used);
        return false;
    }

    // Image positions as sample coordinates: sample (c, r) covers the pixel
    // whose edges are c..c+1, so its centre is at edge position c + 0.5.
    std::vector<XVertex2<double>> img(n), ref(n);
    for (int i = 0; i < n; ++i) {
        img[i] = XVertex2<double>(gcps[i].imgCoord.x - 0.5, gcps[i].imgCoord.y - 0.5);
        ref[i] = XVertex2<double>(gcps[i].refCoord.x, gcps[i].refCoord.y);
    }

    // The output extent: the image outline mapped forward, unless given.
    double xmin = options.xmin, ymin = options.ymin, xmax = options.xmax, ymax = options.ymax;
    if (!options.hasExtent) {
        auto forward = std::make_unique<Mapping>();
        if (!FitMapping(*forward, options.method, img, ref, mask, 1, 1)) {
            error = std::string("the ") + WarpMethodName(options.method) +
                    " fit from image to reference failed (control points degenerate?)";
            return false;
        }
        xmin = ymin = HUGE_VAL;
        xmax = ymax = -HUGE_VAL;
        const int steps = 64;
        const double cols = in.Cols(), rows = in.Rows();
        for (int side = 0; side < 4; ++side)
            for (int k = 0; k <= steps; ++k) {
                const double t = static_cast<double>(k) / steps;
                double x = side == 0 ? t * cols : side == 1 ? cols : side == 2 ? (1 - t) * cols : 0;
                double y = side == 0 ? 0 : side == 1 ? t * rows : side == 2 ? rows : (1 - t) * rows;
                x -= 0.5;
                y -= 0.5;
                if (!forward->Map(x, y) || !std::isfinite(x) || !std::isfinite(y)) continue;
                xmin = std::min(xmin, x);
                xmax = std::max(xmax, x);
                ymin = std::min(ymin, y);
                ymax = std::max(ymax, y);
            }
    }
    if (!(xmax > xmin) || !(ymax > ymin)) {
        error = "the output extent is empty";
        return false;
    }

    // The output grid: a given size, a given pixel size, or square pixels
    // that keep the image's diagonal in pixels.
    const double w = xmax - xmin, h = ymax - ymin;
    double colSpacing, rowSpacing;
    double width, height;
    if (options.width > 0) {
        width = options.width;
        height = options.height;
        colSpacing = w / width;
        rowSpacing = h / height;
    } else {
        const double s = options.pixelSize > 0
                             ? options.pixelSize
                             : std::hypot(w, h) / std::hypot(static_cast<double>(in.Cols()), static_cast<double>(in.Rows()));
        colSpacing = rowSpacing = s;
        width = std::ceil(w / s - 1e-6);
        height = std::ceil(h / s - 1e-6);
    }
    if (!(width >= 1 && height >= 1 && width <= 65536 && height <= 65536 && width * height <= 1.0e9)) {
        error = "output grid of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels is out of range; give --size or --pixel-size";
        return false;
    }

    // The mapping the resampler needs: output sample position -> source
    // sample position.
    std::vector<XVertex2<double>> dst(n);
    for (int i = 0; i < n; ++i)
        dst[i] = XVertex2<double>((ref[i].x - xmin) / colSpacing - 0.5, (ymax - ref[i].y) / rowSpacing - 0.5);
    // Nearest-neighbour reading takes the sample at the truncated position,
    // so that method gets positions half a pixel on, where truncation
    // rounds to the nearest sample centre.
    const double shift = options.interpolation == XINTERP_NEAREST ? 0.5 : 0.0;
    std::vector<XVertex2<double>> target(n);
    for (int i = 0; i < n; ++i) target[i] = XVertex2<double>(img[i].x + shift, img[i].y + shift);
    auto mapping = std::make_unique<Mapping>();
    if (!FitMapping(*mapping, options.method, dst, target, mask, options.cellCols, options.cellRows)) {
        error = std::string("the ") + WarpMethodName(options.method) +
                " fit failed (control points degenerate for this method?)";
        return false;
    }
    result.residuals.clear();
    double sx = 0, sy = 0;
    for (int i = 0; i < n; ++i) {
        double x = dst[i].x, y = dst[i].y;
        if (!mapping->Map(x, y)) x = y = NAN;
        const PointResidual r{gcps[i].ID, gcps[i].Used, x - target[i].x, y - target[i].y};
        result.residuals.push_back(r);
        if (r.used) {
            sx += r.dx * r.dx;
            sy += r.dy * r.dy;
        }
    }
    if (mapping->projective) {
        result.rmsX = std::sqrt(sx / result.used);
        result.rmsY = std::sqrt(sy / result.used);
    } else {
        MT::XWarp2D::CalcRms(mapping->poly, n, dst.data(), target.data(), mask.data(), result.rmsX, result.rmsY);
    }
    result.fitSeconds = Seconds(fitStart);

    // The output raster, filled band by band on every core.
    const auto resampleStart = Clock::now();
    out = Raster();
    out.hasGeo = true;
    out.left = xmin;
    out.top = ymax;
    out.colSpacing = colSpacing;
    out.rowSpacing = rowSpacing;
    out.epsg = in.epsg;
    out.geographic = in.geographic;
    const double background = options.hasBackground ? options.background : in.hasNoData ? in.noData : 0.0;
    out.hasNoData = true;
    out.noData = background;
    const int nb = static_cast<int>(in.bands.size());
    out.bands.resize(nb);
    for (auto& band : out.bands)
        if (!band.AllocExact(static_cast<int>(height), static_cast<int>(width), in.DataType())) {
            error = "out of memory for the output grid";
            return false;
        }
    out.ApplyGeo();
    MT::XResamplePixels resampler;
    for (int b = 0; b < nb; ++b) {
        auto job = [&] {
            return mapping->projective
                       ? resampler.ResampleByProjective(&in.bands[b], &out.bands[b], &mapping->proj,
                                                        options.interpolation, background)
                       : resampler.ResampleByWarp(&in.bands[b], &out.bands[b], &mapping->poly, options.interpolation,
                                                  background);
        };
        const bool ok = bar ? RunWithProgress(resampler, job, *bar, static_cast<double>(b) / nb, 1.0 / nb) : job();
        if (!ok) {
            error = "resampling failed";
            return false;
        }
    }
    result.resampleSeconds = Seconds(resampleStart);
    return true;
}

} // namespace Pelmora::Tivra::Tool
