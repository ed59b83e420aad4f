#include "Warp.h"

#include "AtomicFile.h"
#include "Cli.h"
#include "Progress.h"

#include <tivra/mt/XProjectiveWarp.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarp2D.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

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
    {XINTERP_NEAREST, "nearest"},
    {XINTERP_BILINEAR, "bilinear"},
    {XINTERP_CUBIC_SEPARABLE, "cubic"},
    {XINTERP_CUBIC, "radial"}};

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

} // namespace

// A fitted mapping of either kind behind one call.
struct WarpMapping {
    bool projective = false;
    MT::XWarp2D poly;
    MT::XProjectiveWarp proj;

    bool Map(double& x, double& y)
    {
        return projective ? proj.WarpPoint(x, y) : poly.WarpPoint(x, y);
    }
};

namespace {

using Mapping = WarpMapping;

/// The whole mapping seen from a window: output window pixel (c, r) is
/// mapped as the whole grid's pixel (c + xOff, r + yOff), and the source
/// position found is shifted into the source window. Both shifts are exact
/// in double arithmetic (integers added to integers; an integer subtracted
/// from a position at least as large), so every sample is interpolated from
/// exactly the weights of the whole-image run, and windows mosaic into the
/// whole image bit for bit.
class WindowWarp : public XWarpCoeff {
public:
    WindowWarp(WarpMapping& mapping, const IO::XWindow& out, const IO::XWindow& src)
        : m_mapping(mapping), m_out(out), m_src(src)
    {
        m_nMethod = XWARP_AFFINE;  // anything but Null: the resampler maps through WarpPoint
    }
    using XWarpCoeff::WarpPoint;
    bool WarpPoint(double& x, double& y) override
    {
        x += m_out.xOff;
        y += m_out.yOff;
        const bool ok = m_mapping.Map(x, y);
        x -= m_src.xOff;
        y -= m_src.yOff;
        return ok;
    }

private:
    WarpMapping& m_mapping;
    IO::XWindow m_out, m_src;
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
    if (!OutputSizeFits(g.width, g.height)) {
        char size[96];
        std::snprintf(size, sizeof size, "%.6g x %.6g", g.width, g.height);
        char limits[128];
        std::snprintf(limits, sizeof limits, "(at least 1 and at most %.0f pixels a side, %.0e in all)", kMaxOutputSide,
                      kMaxOutputPixels);
        if (options.width > 0)
            error = std::string("--size gives an output grid of ") + size + " pixels " + limits;
        else if (options.pixelSize > 0)
            error = std::string("--pixel-size ") + FormatNumber(options.pixelSize) + " gives an output grid of " +
                    size + " pixels over an extent of " + FormatNumber(w) + " x " + FormatNumber(h) + " " + limits +
                    "; choose a pixel size " + (g.width < 1 || g.height < 1 ? "smaller" : "larger") +
                    " than that, in the units of the reference system";
        else
            error = std::string("the derived output grid of ") + size + " pixels is out of range " + limits +
                    "; give --size or --pixel-size";
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

/// Spacing in output pixels of the interior positions mapped to find the
/// source window of an output window (every border pixel is mapped too).
/// The mappings are smooth (at most third-order polynomials, or projective
/// away from their horizon), so between positions 4 pixels apart the source
/// position strays from the straight line between them by far less than
/// the margin below.
constexpr int kWindowProbeStep = 4;

/// Source samples added on each side of the mapped positions' bounds: the
/// cubic kernels read from floor(x) - 1 to floor(x) + 2, and one more sample
/// covers positions between the probes.
constexpr int kWindowMargin = 3;

/// The source window the output window reads: the bounds of the mapped
/// positions of its border and of an interior lattice, widened by the
/// kernel's reach and clipped to the source. False when no position falls
/// near the source.
bool FindSourceWindow(Mapping& mapping, const IO::XWindow& out, int srcCols, int srcRows, IO::XWindow& src)
{
    double xmin = HUGE_VAL, ymin = HUGE_VAL, xmax = -HUGE_VAL, ymax = -HUGE_VAL;
    auto probe = [&](int c, int r) {
        double x = c, y = r;
        if (!mapping.Map(x, y) || !std::isfinite(x) || !std::isfinite(y)) return;
        xmin = std::min(xmin, x);
        xmax = std::max(xmax, x);
        ymin = std::min(ymin, y);
        ymax = std::max(ymax, y);
    };
    const int c0 = out.xOff, r0 = out.yOff, c1 = out.xOff + out.xSize - 1, r1 = out.yOff + out.ySize - 1;
    for (int c = c0; c <= c1; ++c) {
        probe(c, r0);
        probe(c, r1);
    }
    for (int r = r0; r <= r1; ++r) {
        probe(c0, r);
        probe(c1, r);
    }
    for (int r = r0; r <= r1; r += kWindowProbeStep)
        for (int c = c0; c <= c1; c += kWindowProbeStep) probe(c, r);
    if (!(xmax >= xmin)) return false;
    const double x0 = std::max(0.0, std::floor(xmin) - kWindowMargin);
    const double y0 = std::max(0.0, std::floor(ymin) - kWindowMargin);
    const double x1 = std::min(static_cast<double>(srcCols), std::floor(xmax) + kWindowMargin + 1);
    const double y1 = std::min(static_cast<double>(srcRows), std::floor(ymax) + kWindowMargin + 1);
    if (!(x1 > x0 && y1 > y0)) return false;
    src = {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
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

bool IsRealSampleType(int type)
{
    return type == XDT_REAL32 || type == XDT_REAL64 || type == XDT_REAL32C || type == XDT_REAL64C;
}

bool SampleTypeHolds(int type, double v)
{
    auto within = [v](auto lowest, auto highest) {
        return v >= static_cast<double>(lowest) && v <= static_cast<double>(highest) && v == std::trunc(v);
    };
    switch (type) {
    case XDT_UINT08: return within(0, 255);
    case XDT_SINT08: return within(-128, 127);
    case XDT_UINT16: return within(0, 65535);
    case XDT_SINT16:
    case XDT_SINT16C: return within(-32768, 32767);
    case XDT_UINT32: return within(0u, 4294967295u);
    case XDT_SINT32:
    case XDT_SINT32C: return within(-2147483648.0, 2147483647.0);
    case XDT_REAL32:
    case XDT_REAL32C: return !std::isfinite(v) || std::fabs(v) <= std::numeric_limits<float>::max();
    default: return true;
    }
}

std::optional<double> SourceNoData(const Raster& in, const WarpOptions& options, int b)
{
    return options.hasSrcNoData ? std::optional<double>(options.srcNoData) : in.NoData(b);
}

double Background(const Raster& in, const WarpOptions& options, int b)
{
    if (options.hasBackground) return options.background;
    const std::optional<double> v = SourceNoData(in, options, b);
    return v && (!std::isnan(*v) || IsRealSampleType(in.DataType())) ? *v : 0.0;
}

bool OutputSizeFits(double width, double height)
{
    return width >= 1 && height >= 1 && width <= kMaxOutputSide && height <= kMaxOutputSide &&
           width * height <= kMaxOutputPixels;
}

int WarpPointsNeeded(int method) { return method == kWarpProjective ? 4 : GetWarpTermCount(method); }

WarpPlan::WarpPlan() = default;
WarpPlan::~WarpPlan() = default;

namespace {
bool PlanWindow(const Raster& header, const WarpOptions& options, WarpPlan& plan, std::string& error);
} // namespace

bool PlanWarp(const Raster& header, const std::vector<tagXGCP>& gcps, const WarpOptions& options, WarpPlan& plan,
              WarpResult& result, std::string& error)
{
    const Stopwatch fitTime;
    Points pts;
    const bool taken = TakePoints(gcps, options.method, pts, error);
    result.used = pts.used;
    if (!taken) return false;
    Extent extent;
    OutputGrid grid;
    if (!FindExtent(header, pts, options, extent, error) || !PlanOutputGrid(header, extent, options, grid, error))
        return false;
    plan.mapping = std::make_unique<Mapping>();
    if (!FitOutputToSource(gcps, pts, extent, grid, options, *plan.mapping, result, error)) return false;
    plan.width = static_cast<int>(grid.width);
    plan.height = static_cast<int>(grid.height);
    plan.left = extent.xmin;
    plan.top = extent.ymax;
    plan.colSpacing = grid.colSpacing;
    plan.rowSpacing = grid.rowSpacing;
    if (!PlanWindow(header, options, plan, error)) return false;
    result.fitSeconds = fitTime.Seconds();
    return true;
}

namespace {

/// The output window of the run (the whole grid without --window) and the
/// source window it reads.
bool PlanWindow(const Raster& header, const WarpOptions& options, WarpPlan& plan, std::string& error)
{
    plan.outWindow = {0, 0, plan.width, plan.height};
    plan.srcWindow = {0, 0, header.Cols(), header.Rows()};
    plan.touchesSource = true;
    if (options.hasWindow) {
        const IO::XWindow& w = options.window;
        if (!w.Inside(plan.width, plan.height)) {
            error = "--window " + std::to_string(w.xOff) + "," + std::to_string(w.yOff) + "," +
                    std::to_string(w.xSize) + "," + std::to_string(w.ySize) + " is not inside the output grid of " +
                    std::to_string(plan.width) + " x " + std::to_string(plan.height) + " pixels";
            return false;
        }
        plan.outWindow = w;
        plan.touchesSource = FindSourceWindow(*plan.mapping, w, header.Cols(), header.Rows(), plan.srcWindow);
        if (!plan.touchesSource) plan.srcWindow = {0, 0, 1, 1};
    }
    return true;
}

/// First line of a fit file; the version changes with the layout.
constexpr const char* kFitMagic = "tivra-warp-fit 1";

/// "METHOD X0..X9 Y0..Y9" of one polynomial set.
std::string CoeffText(const XWarpCoeff& c)
{
    std::string t = std::to_string(c.m_nMethod);
    for (double v : c.m_CoeffX) t += " " + FormatNumber(v);
    for (double v : c.m_CoeffY) t += " " + FormatNumber(v);
    return t;
}

bool ReadCoeff(std::istringstream& words, XWarpCoeff& c)
{
    std::string w;
    // A cell without a fit of its own holds XWARP_NULL; any other code must
    // be a polynomial the mapping knows.
    if (!(words >> w) || !ParseInt(w, c.m_nMethod) || c.m_nMethod < XWARP_NULL || c.m_nMethod > XWARP_THIRDORDER)
        return false;
    for (double& v : c.m_CoeffX)
        if (!(words >> w) || !ParseDouble(w, v)) return false;
    for (double& v : c.m_CoeffY)
        if (!(words >> w) || !ParseDouble(w, v)) return false;
    return true;
}

/// Reads count finite numbers from words into v (a residual summary may
/// also be NaN: orNan).
bool ReadNumbers(std::istringstream& words, double* v, int count, bool orNan = false)
{
    std::string w;
    for (int k = 0; k < count; ++k)
        if (!(words >> w) || !(orNan ? ParseNumberOrNan(w, v[k]) : ParseDouble(w, v[k]))) return false;
    return true;
}

} // namespace

bool SaveWarpFit(const std::string& path, const Raster& header, const WarpOptions& options, const WarpPlan& plan,
                 const WarpResult& result, int nPoints, std::string& error)
{
    std::ostringstream t;
    const WarpMapping& m = *plan.mapping;
    t << kFitMagic << "\n";
    t << "source " << header.Cols() << " " << header.Rows() << "\n";
    t << "method " << WarpMethodName(options.method) << "\n";
    t << "interpolation " << InterpolationName(options.interpolation) << "\n";
    t << "points " << result.used << " " << nPoints << "\n";
    t << "rms " << FormatNumber(result.rmsX) << " " << FormatNumber(result.rmsY) << "\n";
    t << "grid " << plan.width << " " << plan.height << " " << FormatNumber(plan.left) << " " << FormatNumber(plan.top)
      << " " << FormatNumber(plan.colSpacing) << " " << FormatNumber(plan.rowSpacing) << "\n";
    if (m.projective) {
        t << "projective";
        for (int k = 0; k < 9; ++k) t << " " << FormatNumber(m.proj.m_H.GetData()[k]);
        t << "\n";
    } else {
        t << "global " << CoeffText(m.poly) << "\n";
        const int rows = m.poly.GetCellRows(), cols = m.poly.GetCellCols();
        if (rows > 0 && cols > 0 && m.poly.m_Cells.m_pData) {
            t << "cells " << rows << " " << cols;
            for (double b : m.poly.m_Bound) t << " " << FormatNumber(b);
            t << "\n";
            for (int j = 0; j < rows; ++j)
                for (int i = 0; i < cols; ++i) t << "cell " << j << " " << i << " " << CoeffText(m.poly.GetCell(j, i)) << "\n";
        }
    }
    if (!AtomicFile::CheckTarget(path, error)) return false;
    AtomicFile file(path);
    {
        std::ofstream out(file.TempPath());
        out << t.str();
        out.close();
        if (!out) {
            error = "cannot write the fit to " + path;
            return false;
        }
    }
    return file.Commit(error);
}

bool LoadWarpFit(const std::string& path, const Raster& header, WarpOptions& options, WarpPlan& plan,
                 WarpResult& result, int& nPoints, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the fit file " + path;
        return false;
    }
    auto mapping = std::make_unique<WarpMapping>();
    MT::XWarp2D& poly = mapping->poly;
    // The cells are read into storage of their own and copied into the
    // mapping at the end (a grid with capacity 0 is borrowed, not owned).
    std::vector<XWarpCoeff> cells;
    int cellRows = 0, cellCols = 0;
    double bound[4] = {};
    bool haveGrid = false, haveMap = false;
    int srcCols = -1, srcRows = -1;
    std::string line;
    int lineNo = 0;
    auto bad = [&](const std::string& why) {
        error = path + ":" + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo == 1) {
            if (line != kFitMagic) return bad("not a fit file of tivra warp --save-fit");
            continue;
        }
        std::istringstream words(line);
        std::string key, w, w2;
        words >> key;
        bool ok = true;
        if (key == "source") ok = (words >> w >> w2) && ParseInt(w, srcCols) && ParseInt(w2, srcRows);
        else if (key == "method") ok = (words >> w) && ParseWarpMethod(w, options.method);
        else if (key == "interpolation") ok = (words >> w) && ParseInterpolation(w, options.interpolation);
        else if (key == "points") ok = (words >> w >> w2) && ParseInt(w, result.used) && ParseInt(w2, nPoints);
        else if (key == "rms") {
            double v[2];
            ok = ReadNumbers(words, v, 2, true);
            result.rmsX = v[0];
            result.rmsY = v[1];
        } else if (key == "grid") {
            double v[4];
            ok = (words >> w >> w2) && ParseInt(w, plan.width) && ParseInt(w2, plan.height) &&
                 ReadNumbers(words, v, 4);
            if (ok && !OutputSizeFits(plan.width, plan.height))
                return bad("a grid of " + std::to_string(plan.width) + " x " + std::to_string(plan.height) +
                           " pixels is outside the limits of an output grid");
            if (ok && !(v[2] > 0 && v[3] > 0)) return bad("the pixel size must be positive");
            plan.left = v[0];
            plan.top = v[1];
            plan.colSpacing = v[2];
            plan.rowSpacing = v[3];
            haveGrid = ok;
        } else if (key == "projective") {
            mapping->projective = true;
            ok = ReadNumbers(words, mapping->proj.m_H.GetData(), 9);
            haveMap = ok;
        } else if (key == "global") {
            ok = ReadCoeff(words, poly);
            haveMap = ok;
        } else if (key == "cells") {
            ok = (words >> w >> w2) && ParseInt(w, cellRows) && ParseInt(w2, cellCols) && cellRows > 0 &&
                 cellCols > 0 && cellRows <= 64 && cellCols <= 64 && ReadNumbers(words, bound, 4);
            if (ok) cells.assign(static_cast<size_t>(cellRows) * cellCols, XWarpCoeff());
        } else if (key == "cell") {
            int j = -1, i = -1;
            ok = (words >> w >> w2) && ParseInt(w, j) && ParseInt(w2, i) && j >= 0 && j < cellRows && i >= 0 &&
                 i < cellCols && ReadCoeff(words, cells[static_cast<size_t>(j) * cellCols + i]);
        } else if (!key.empty()) return bad("unknown line '" + key + "'");
        if (!ok) return bad("malformed '" + key + "' line");
    }
    if (lineNo == 0) return bad("empty file");
    if (!haveGrid || !haveMap) return bad("no grid or no mapping");
    if ((options.method == kWarpProjective) != mapping->projective)
        return bad(std::string("the method ") + WarpMethodName(options.method) + " does not match the mapping");
    if (result.used < 0 || result.used > nPoints) return bad("more used points than points");
    if (srcCols != header.Cols() || srcRows != header.Rows())
        return bad("the fit is for a source of " + std::to_string(srcCols) + " x " + std::to_string(srcRows) +
                   " pixels, this one has " + std::to_string(header.Cols()) + " x " + std::to_string(header.Rows()));
    if (!cells.empty()) {
        MT::XWarp2D view;
        view.m_nMethod = poly.m_nMethod;
        std::copy(poly.m_CoeffX, poly.m_CoeffX + 10, view.m_CoeffX);
        std::copy(poly.m_CoeffY, poly.m_CoeffY + 10, view.m_CoeffY);
        view.m_Cells = {cells.data(), cellRows, cellCols, 0};
        std::copy(bound, bound + 4, view.m_Bound);
        poly = view;
        view.m_Cells = {};
    }
    options.cellRows = cellRows > 0 ? cellRows : 1;
    options.cellCols = cellCols > 0 ? cellCols : 1;
    plan.mapping = std::move(mapping);
    return PlanWindow(header, options, plan, error);
}

bool ResampleWarp(const Raster& in, const WarpPlan& plan, const WarpOptions& options, Raster& out,
                  WarpResult& result, std::string& error, const ProgressSpan& progress)
{
    const Stopwatch resampleTime;
    const IO::XWindow& w = plan.outWindow;
    out = Raster();
    out.hasGeo = true;
    out.left = plan.left + w.xOff * plan.colSpacing;
    out.top = plan.top - w.yOff * plan.rowSpacing;
    out.colSpacing = plan.colSpacing;
    out.rowSpacing = plan.rowSpacing;
    out.crs = in.crs;
    const int nb = in.BandCount();
    out.bands.resize(nb);
    for (int b = 0; b < nb; ++b) {
        out.noData.push_back(Background(in, options, b));
        if (!out.bands[b].AllocExact(w.ySize, w.xSize, in.DataType())) {
            error = "out of memory for the output grid";
            return false;
        }
    }
    out.ApplyGeo();
    MT::XResamplePixels resampler;
    resampler.SetRounding(options.rounding);
    WindowWarp window(*plan.mapping, w, plan.srcWindow);
    const bool whole = w.xOff == 0 && w.yOff == 0 && w.xSize == plan.width && w.ySize == plan.height &&
                       plan.srcWindow.xOff == 0 && plan.srcWindow.yOff == 0;
    WarpMapping& mapping = *plan.mapping;
    for (int b = 0; b < nb; ++b) {
        const double background = *out.noData[b];
        // Source no-data never enters an interpolated value; in a real band
        // without one, NaN samples are kept out all the same.
        const std::optional<double> srcNoData = SourceNoData(in, options, b);
        if (srcNoData) resampler.SetSourceNoData(true, *srcNoData);
        else resampler.SetSourceNoData(IsRealSampleType(in.DataType()), NAN_REAL64);
        auto job = [&] {
            // The whole grid maps directly, so the resampler can take its
            // mapping-specific kernels; a window maps through the shift.
            if (!whole) return resampler.ResampleByWarp(&in.bands[b], &out.bands[b], &window, options.interpolation,
                                                        background);
            return mapping.projective ? resampler.ResampleByProjective(&in.bands[b], &out.bands[b], &mapping.proj,
                                                                       options.interpolation, background)
                                      : resampler.ResampleByWarp(&in.bands[b], &out.bands[b], &mapping.poly,
                                                                 options.interpolation, background);
        };
        const ProgressSpan part = progress.Part(static_cast<double>(b) / nb, static_cast<double>(b + 1) / nb);
        if (!RunWithProgress(resampler, job, part)) {
            error = "resampling failed";
            return false;
        }
    }
    result.resampleSeconds = resampleTime.Seconds();
    return true;
}

bool WarpRaster(const Raster& in, const std::vector<tagXGCP>& gcps, const WarpOptions& options, Raster& out,
                WarpResult& result, std::string& error, const ProgressSpan& progress)
{
    WarpPlan plan;
    if (!PlanWarp(in, gcps, options, plan, result, error)) return false;
    return ResampleWarp(in, plan, options, out, result, error, progress);
}

} // namespace Pelmora::Tivra::Tool
