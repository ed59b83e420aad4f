// tivra warp IN OUT --gcps FILE [options]: rectifies a raster onto a north-up
// grid in the control points' reference system and prints the fit's
// residuals.
#include "Cli.h"
#include "Commands.h"
#include "Gcps.h"
#include "Progress.h"
#include "Warp.h"

#include <cstdio>
#include <cstring>

namespace Pelmora::Tivra::Tool {

namespace {

constexpr const char* kWarpUsage =
    "usage: tivra warp IN OUT --gcps FILE [--method linear|affine|pseudoaffine|second|third|projective]\n"
    "                  [--cells CxR] [--interp nearest|bilinear|cubic] [--background V]\n"
    "                  [--size WxH | --pixel-size S] [--extent XMIN,YMIN,XMAX,YMAX] [--quiet]\n";

/// Most cells of local fits along each axis. A cell has a fit of its own
/// only with as many used points inside as the method has terms (3 for
/// affine), so 64 x 64 cells would already need over 12 000 well-spread
/// points; control point files are far smaller, and further cells would
/// only fall back to the global fit.
constexpr int kMaxCellsPerAxis = 64;

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "tivra warp: %s\n%s", message.c_str(), kWarpUsage);
    return 2;
}

/// What the command line asks for.
struct WarpArguments {
    std::string inPath, outPath, gcpPath;
    WarpOptions options;
    bool quiet = false;
};

/// Reads the command line into args; on a usage error, its message in
/// message and false.
bool ParseArguments(int argc, char** argv, WarpArguments& args, std::string& message)
{
    std::vector<std::string> positional;
    WarpOptions& options = args.options;
    auto refuse = [&](const std::string& text) {
        message = text;
        return false;
    };
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--gcps") {
            if (!value(args.gcpPath)) return refuse("--gcps needs a file");
        } else if (arg == "--method") {
            if (!value(v) || !ParseWarpMethod(v, options.method)) return refuse("unknown method '" + v + "'");
        } else if (arg == "--cells") {
            if (!value(v) || !ParseIntPair(v, 'x', options.cellCols, options.cellRows) || options.cellCols < 1 ||
                options.cellRows < 1 || options.cellCols > kMaxCellsPerAxis || options.cellRows > kMaxCellsPerAxis)
                return refuse("--cells takes CxR, e.g. 4x4");
        } else if (arg == "--interp") {
            if (!value(v)) return refuse("--interp needs a method");
            if (!ParseInterpolation(v, options.interpolation)) return refuse("unknown interpolation '" + v + "'");
        } else if (arg == "--background") {
            if (!value(v) || !ParseDouble(v, options.background)) return refuse("--background takes a number");
            options.hasBackground = true;
        } else if (arg == "--size") {
            if (!value(v) || !ParseIntPair(v, 'x', options.width, options.height) || options.width < 1 ||
                options.height < 1)
                return refuse("--size takes WxH, e.g. 800x600");
        } else if (arg == "--pixel-size") {
            if (!value(v) || !ParseDouble(v, options.pixelSize) || options.pixelSize <= 0)
                return refuse("--pixel-size takes a positive number");
        } else if (arg == "--extent") {
            double a, b, c, d;
            if (!value(v)) return refuse("--extent takes XMIN,YMIN,XMAX,YMAX");
            const size_t at = v.find(',', v.find(',') + 1);
            if (at == std::string::npos || !ParseDoublePair(v.substr(0, at), a, b) ||
                !ParseDoublePair(v.substr(at + 1), c, d) || !(c > a) || !(d > b))
                return refuse("--extent takes XMIN,YMIN,XMAX,YMAX");
            options.hasExtent = true;
            options.xmin = a;
            options.ymin = b;
            options.xmax = c;
            options.ymax = d;
        } else if (arg == "--quiet" || arg == "-q") {
            args.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return refuse("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return refuse("expected IN and OUT");
    if (args.gcpPath.empty()) return refuse("--gcps FILE is required");
    if (options.width > 0 && options.pixelSize > 0) return refuse("give --size or --pixel-size, not both");
    args.inPath = positional[0];
    args.outPath = positional[1];
    return true;
}

/// Seconds of the phases that the command times itself.
struct CommandTimes {
    double read = 0, write = 0;
};

void PrintReport(const WarpArguments& args, const Raster& in, size_t nGcps, const Raster& out, const WarpResult& result,
                 const CommandTimes& times)
{
    const WarpOptions& options = args.options;
    std::printf("%s: %d x %d, %zu band(s) %s -> %s\n", args.inPath.c_str(), in.Cols(), in.Rows(), in.bands.size(),
                SampleTypeName(in.DataType()), args.outPath.c_str());
    std::printf("method %s, %d of %zu control points used, cells %d x %d, %s interpolation\n",
                WarpMethodName(options.method), result.used, nGcps, options.cellCols, options.cellRows,
                InterpolationName(options.interpolation));
    std::printf("output %d x %d pixels of %.6g x %.6g, upper left (%.6f, %.6f)", out.Cols(), out.Rows(),
                out.colSpacing, out.rowSpacing, out.left, out.top);
    if (out.epsg) std::printf(", EPSG:%d", out.epsg);
    std::printf(", background %g\n", out.noData);
    std::printf("RMS residual: x %.4f px, y %.4f px (source pixels, used points)\n", result.rmsX, result.rmsY);
    if (!args.quiet) {
        std::printf("%6s %5s %10s %10s\n", "id", "used", "dx px", "dy px");
        for (const PointResidual& r : result.residuals)
            std::printf("%6d %5s %10.4f %10.4f\n", r.id, r.used ? "yes" : "check", r.dx, r.dy);
    }
    const double total = times.read + result.fitSeconds + result.resampleSeconds + times.write;
    std::printf("time %.3f s: read %.3f, fit %.3f, resample %.3f, write %.3f\n", total, times.read, result.fitSeconds,
                result.resampleSeconds, times.write);
}

} // namespace

int RunWarp(int argc, char** argv)
{
    WarpArguments args;
    std::string error;
    if (!ParseArguments(argc, argv, args, error)) return UsageError(error);
    if (!IsWritableFormat(args.outPath, error)) return Fail(error);

    CommandTimes times;
    const Stopwatch readTime;
    Raster in;
    if (!ReadRaster(args.inPath, in, error)) return Fail(error);
    std::vector<tagXGCP> gcps;
    if (!ReadGcps(args.gcpPath, gcps, error)) return Fail(error);
    times.read = readTime.Seconds();

    ProgressBar bar("resampling");
    Raster out;
    WarpResult result;
    if (!WarpRaster(in, gcps, args.options, out, result, error, &bar)) return Fail(error);
    bar.Finish();

    const Stopwatch writeTime;
    if (!WriteRasterAtomic(args.outPath, out, error)) return Fail(error);
    times.write = writeTime.Seconds();

    PrintReport(args, in, gcps.size(), out, result, times);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
