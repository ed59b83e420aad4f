// tivra warp IN OUT --gcps FILE [options]: rectifies a raster onto a north-up
// grid in the control points' reference system and prints the fit's
// residuals.
#include "Cli.h"
#include "Commands.h"
#include "Gcps.h"
#include "Progress.h"
#include "Warp.h"

#include <chrono>
#include <cstdio>
#include <cstring>

namespace Pelmora::Tivra::Tool {

namespace {

constexpr const char* kWarpUsage =
    "usage: tivra warp IN OUT --gcps FILE [--method linear|affine|pseudoaffine|second|third|projective]\n"
    "                  [--cells CxR] [--interp nearest|bilinear|cubic] [--background V]\n"
    "                  [--size WxH | --pixel-size S] [--extent XMIN,YMIN,XMAX,YMAX] [--quiet]\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "tivra warp: %s\n%s", message.c_str(), kWarpUsage);
    return 2;
}

double Since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

} // namespace

int RunWarp(int argc, char** argv)
{
    std::vector<std::string> positional;
    std::string gcpPath;
    WarpOptions options;
    bool quiet = false;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) return false;
            v = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--gcps") {
            if (!value(gcpPath)) return UsageError("--gcps needs a file");
        } else if (arg == "--method") {
            if (!value(v) || !ParseWarpMethod(v, options.method)) return UsageError("unknown method '" + v + "'");
        } else if (arg == "--cells") {
            if (!value(v) || !ParseIntPair(v, 'x', options.cellCols, options.cellRows) || options.cellCols < 1 ||
                options.cellRows < 1 || options.cellCols > 64 || options.cellRows > 64)
                return UsageError("--cells takes CxR, e.g. 4x4");
        } else if (arg == "--interp") {
            if (!value(v)) return UsageError("--interp needs a method");
            if (v == "nearest") options.interpolation = XINTERP_NEAREST;
            else if (v == "bilinear") options.interpolation = XINTERP_BILINEAR;
            else if (v == "cubic") options.interpolation = XINTERP_CUBIC;
            else return UsageError("unknown interpolation '" + v + "'");
        } else if (arg == "--background") {
            if (!value(v) || !ParseDouble(v, options.background)) return UsageError("--background takes a number");
            options.hasBackground = true;
        } else if (arg == "--size") {
            if (!value(v) || !ParseIntPair(v, 'x', options.width, options.height) || options.width < 1 ||
                options.height < 1)
                return UsageError("--size takes WxH, e.g. 800x600");
        } else if (arg == "--pixel-size") {
            if (!value(v) || !ParseDouble(v, options.pixelSize) || options.pixelSize <= 0)
                return UsageError("--pixel-size takes a positive number");
        } else if (arg == "--extent") {
            double a, b, c, d;
            if (!value(v)) return UsageError("--extent takes XMIN,YMIN,XMAX,YMAX");
            const size_t at = v.find(',', v.find(',') + 1);
            if (at == std::string::npos || !ParseDoublePair(v.substr(0, at), a, b) ||
                !ParseDoublePair(v.substr(at + 1), c, d) || !(c > a) || !(d > b))
                return UsageError("--extent takes XMIN,YMIN,XMAX,YMAX");
            options.hasExtent = true;
            options.xmin = a;
            options.ymin = b;
            options.xmax = c;
            options.ymax = d;
        } else if (arg == "--quiet" || arg == "-q") {
            quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return UsageError("expected IN and OUT");
    if (gcpPath.empty()) return UsageError("--gcps FILE is required");
    if (options.width > 0 && options.pixelSize > 0) return UsageError("give --size or --pixel-size, not both");
    const std::string& inPath = positional[0];
    const std::string& outPath = positional[1];
    std::string error;
    if (!IsWritableFormat(outPath, error)) return Fail(error);

    const auto readStart = std::chrono::steady_clock::now();
    Raster in;
    if (!ReadRaster(inPath, in, error)) return Fail(error);
    std::vector<tagXGCP> gcps;
    if (!ReadGcps(gcpPath, gcps, error)) return Fail(error);
    const double readSeconds = Since(readStart);

    ProgressBar bar("resampling");
    Raster out;
    WarpResult result;
    if (!WarpRaster(in, gcps, options, out, result, error, &bar)) return Fail(error);
    bar.Finish();

    const auto writeStart = std::chrono::steady_clock::now();
    if (!WriteRasterAtomic(outPath, out, error)) return Fail(error);
    const double writeSeconds = Since(writeStart);

    const char* interp[] = {"nearest", "bilinear", "cubic"};
    std::printf("%s: %d x %d, %zu band(s) %s -> %s\n", inPath.c_str(), in.Cols(), in.Rows(), in.bands.size(),
                SampleTypeName(in.DataType()), outPath.c_str());
    std::printf("method %s, %d of %zu control points used, cells %d x %d, %s interpolation\n",
                WarpMethodName(options.method), result.used, gcps.size(), options.cellCols, options.cellRows,
                interp[options.interpolation]);
    std::printf("output %d x %d pixels of %.6g x %.6g, upper left (%.6f, %.6f)", out.Cols(), out.Rows(),
                out.colSpacing, out.rowSpacing, out.left, out.top);
    if (out.epsg) std::printf(", EPSG:%d", out.epsg);
    std::printf(", background %g\n", out.noData);
    std::printf("RMS residual: x %.4f px, y %.4f px (source pixels, used points)\n", result.rmsX, result.rmsY);
    if (!quiet) {
        std::printf("%6s %5s %10s %10s\n", "id", "used", "dx px", "dy px");
        for (const PointResidual& r : result.residuals)
            std::printf("%6d %5s %10.4f %10.4f\n", r.id, r.used ? "yes" : "check", r.dx, r.dy);
    }
    const double total = readSeconds + result.fitSeconds + result.resampleSeconds + writeSeconds;
    std::printf("time %.3f s: read %.3f, fit %.3f, resample %.3f, write %.3f\n", total, readSeconds,
                result.fitSeconds, result.resampleSeconds, writeSeconds);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
