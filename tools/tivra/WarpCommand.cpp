// tivra warp IN OUT --gcps FILE [options]: rectifies a raster onto a north-up
// grid in the control points' reference system and prints the fit's
// residuals. The summary (input, fit, output grid) is printed from the
// header and the control points alone, before any pixel is read; one
// progress bar then follows the read, the resampling and the write.
// --save-fit writes the fit and the output grid to a file and --load-fit
// takes them from one instead of the control points, so that windows
// computed by separate processes share one mapping.
#include "Cli.h"
#include "Commands.h"
#include "Gcps.h"
#include "Progress.h"
#include "Warp.h"

#include <ogr_spatialref.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace Pelmora::Tivra::Tool {

namespace {

/// Most cells of local fits along each axis. A cell has a fit of its own
/// only with as many used points inside as the method has terms (3 for
/// affine), so 64 x 64 cells would already need over 12 000 well-spread
/// points; control point files are far smaller, and further cells would
/// only fall back to the global fit.
constexpr int kMaxCellsPerAxis = 64;

/// Shares of the progress bar: reading and writing move every byte once
/// each, resampling computes every output sample; on the bundled data and on
/// large rasters the three take time in about these proportions.
constexpr double kReadShare = 0.25, kResampleShare = 0.5;

/// What the command line asks for.
struct WarpArguments {
    std::string inPath, outPath, gcpPath;
    std::string assignedSrs;  ///< --a-srs, as the user gave it
    std::string saveFit, loadFit;  ///< --save-fit, --load-fit
    std::string fitOption;         ///< an option the fit decides, as given (refused with --load-fit)
    WarpOptions options;
    WriteOptions write;
    bool quiet = false;
};

/// Reads the command line into args; on a usage error, its message in
/// message and false.
bool ParseArguments(int argc, char** argv, WarpArguments& args, std::string& message)
{
    std::vector<std::string> positional;
    WarpOptions& options = args.options;
    message.clear();
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
        } else if (arg == "--save-fit") {
            if (!value(args.saveFit)) return refuse("--save-fit needs a file");
        } else if (arg == "--load-fit") {
            if (!value(args.loadFit)) return refuse("--load-fit needs a file");
        } else if (arg == "--method") {
            args.fitOption = arg;
            if (!value(v) || !ParseWarpMethod(v, options.method)) return refuse("unknown method '" + v + "'");
        } else if (arg == "--cells") {
            args.fitOption = arg;
            if (!value(v) || !ParseIntPair(v, 'x', options.cellCols, options.cellRows) || options.cellCols < 1 ||
                options.cellRows < 1 || options.cellCols > kMaxCellsPerAxis || options.cellRows > kMaxCellsPerAxis)
                return refuse("--cells takes CxR, e.g. 4x4");
        } else if (arg == "--interp") {
            args.fitOption = arg;
            if (!value(v)) return refuse("--interp needs a method");
            if (!ParseInterpolation(v, options.interpolation)) return refuse("unknown interpolation '" + v + "'");
        } else if (arg == "--background") {
            if (!value(v) || !ParseNumberOrNan(v, options.background)) return refuse("--background takes a number");
            options.hasBackground = true;
        } else if (arg == "--srcnodata") {
            if (!value(v) || !ParseNumberOrNan(v, options.srcNoData)) return refuse("--srcnodata takes a number or nan");
            options.hasSrcNoData = true;
        } else if (arg == "--truncate") {
            options.rounding = false;
        } else if (arg == "--size") {
            args.fitOption = arg;
            if (!value(v) || !ParseIntPair(v, 'x', options.width, options.height) || options.width < 1 ||
                options.height < 1)
                return refuse("--size takes WxH, e.g. 800x600");
            if (!OutputSizeFits(options.width, options.height))
                return refuse("--size " + v + " is beyond the output limits (at most 65536 pixels a side, 1e9 in all)");
        } else if (arg == "--pixel-size") {
            args.fitOption = arg;
            if (!value(v) || !ParseDouble(v, options.pixelSize) || options.pixelSize <= 0)
                return refuse("--pixel-size takes a positive number");
        } else if (arg == "--extent") {
            args.fitOption = arg;
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
        } else if (arg == "--window") {
            if (!value(v) || !ParseWindow(v, options.window))
                return refuse("--window takes XOFF,YOFF,XSIZE,YSIZE (offsets from 0, sizes from 1, offset + size at most 2147483647)");
            options.hasWindow = true;
        } else if (arg == "--a-srs") {
            if (!value(args.assignedSrs)) return refuse("--a-srs needs a reference system, e.g. EPSG:32618");
        } else if (TakeWriteOption(argc, argv, i, args.write, message)) {
            if (!message.empty()) return false;
        } else if (arg == "--quiet" || arg == "-q") {
            args.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return refuse("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    // With --save-fit alone the run ends once the fit is written.
    if (positional.size() != 2 && !(positional.size() == 1 && !args.saveFit.empty()))
        return refuse("expected IN and OUT");
    if (!args.loadFit.empty()) {
        if (!args.gcpPath.empty()) return refuse("--load-fit replaces --gcps: give one of them");
        if (!args.saveFit.empty()) return refuse("give --load-fit or --save-fit, not both");
        if (!args.fitOption.empty()) return refuse(args.fitOption + " is fixed by the fit file of --load-fit");
    } else if (args.gcpPath.empty()) return refuse("--gcps FILE is required");
    if (options.width > 0 && options.pixelSize > 0) return refuse("give --size or --pixel-size, not both");
    args.inPath = positional[0];
    if (positional.size() == 2) args.outPath = positional[1];
    return true;
}

/// The summary: input, fit, residuals and the output grid, all known before
/// the first pixel is read.
void PrintSummary(const WarpArguments& args, const Raster& in, size_t nGcps, const WarpPlan& plan,
                  const WarpResult& result)
{
    const WarpOptions& options = args.options;
    std::printf("%s: %d x %d, %d band(s) %s -> %s\n", args.inPath.c_str(), in.Cols(), in.Rows(), in.BandCount(),
                SampleTypeName(in.DataType()), args.outPath.empty() ? args.saveFit.c_str() : args.outPath.c_str());
    if (!args.loadFit.empty()) std::printf("fit loaded from %s\n", args.loadFit.c_str());
    std::printf("method %s, %d of %zu control points used, cells %d x %d, %s interpolation\n",
                WarpMethodName(options.method), result.used, nGcps, options.cellCols, options.cellRows,
                InterpolationName(options.interpolation));
    std::printf("output %d x %d pixels of %.6g x %.6g, upper left (%.6f, %.6f)", plan.width, plan.height,
                plan.colSpacing, plan.rowSpacing, plan.left, plan.top);
    const std::string crs = in.CrsName();
    if (!crs.empty()) std::printf(", %s", crs.c_str());
    std::printf(", background %s", FormatNumber(Background(in, options, 0)).c_str());
    if (!options.hasBackground && SourceNoData(in, options, 0)) std::printf(" (the source no-data)");
    std::printf("\n");
    if (const auto v = SourceNoData(in, options, 0))
        std::printf("source no-data %s: left out of every interpolated value\n", FormatNumber(*v).c_str());
    if (!IsRealSampleType(in.DataType()))
        std::printf("integer samples %s\n", options.rounding ? "rounded to nearest" : "truncated toward zero");
    if (options.hasWindow) {
        const IO::XWindow &w = plan.outWindow, &s = plan.srcWindow;
        std::printf("window %d,%d,%d,%d of the output", w.xOff, w.yOff, w.xSize, w.ySize);
        if (plan.touchesSource) std::printf(", reading source window %d,%d,%d,%d\n", s.xOff, s.yOff, s.xSize, s.ySize);
        else std::printf(", outside the source: all background\n");
    }
    std::printf("RMS residual: x %.4f px, y %.4f px (source pixels, used points)\n", result.rmsX, result.rmsY);
    if (!args.quiet && !result.residuals.empty()) {
        std::printf("%6s %5s %10s %10s\n", "id", "used", "dx px", "dy px");
        for (const PointResidual& r : result.residuals)
            std::printf("%6d %5s %10.4f %10.4f\n", r.id, r.used ? "yes" : "check", r.dx, r.dy);
    }
    // Shown now, before the long phases, even when standard output is a file.
    std::fflush(stdout);
}

} // namespace

int RunWarp(int argc, char** argv)
{
    WarpArguments args;
    std::string error;
    if (!ParseArguments(argc, argv, args, error)) return UsageError("warp", error);
    if (!args.outPath.empty() && !CheckOutput(args.outPath, args.write, XDT_NONE, error)) return Fail(error);

    const Stopwatch openTime;
    RasterReader reader;
    if (!reader.Open(args.inPath, error)) return Fail(error);
    Raster header = reader.Header();
    if (!args.assignedSrs.empty()) {
        OGRSpatialReference srs;
        char* wkt = nullptr;
        const char* options[] = {"FORMAT=WKT2", nullptr};
        if (srs.SetFromUserInput(args.assignedSrs.c_str()) != OGRERR_NONE || srs.exportToWkt(&wkt, options) != OGRERR_NONE)
            return UsageError("warp", "--a-srs: '" + args.assignedSrs + "' is not a reference system GDAL knows (" +
                                          IO::LastGdalError("no reason given") + ")");
        header.crs = wkt;
        CPLFree(wkt);
    }
    if (!args.outPath.empty() && !CheckOutput(args.outPath, args.write, header.DataType(), error)) return Fail(error);
    // The background is also the output's no-data tag, so it must be a value
    // the samples hold: otherwise the tag would name a value no sample has.
    if (args.options.hasBackground && !SampleTypeHolds(header.DataType(), args.options.background))
        return UsageError("warp", "--background " + FormatNumber(args.options.background) + ": " +
                                      SampleTypeName(header.DataType()) + " samples cannot hold that value");
    WarpPlan plan;
    WarpResult result;
    int nPoints = 0;
    if (!args.loadFit.empty()) {
        if (!LoadWarpFit(args.loadFit, header, args.options, plan, result, nPoints, error)) return Fail(error);
    } else {
        std::vector<tagXGCP> gcps;
        if (!ReadGcps(args.gcpPath, gcps, error)) return Fail(error);
        if (!PlanWarp(header, gcps, args.options, plan, result, error)) return Fail(error);
        nPoints = static_cast<int>(gcps.size());
        if (!args.saveFit.empty() && !SaveWarpFit(args.saveFit, header, args.options, plan, result, nPoints, error))
            return Fail(error);
    }
    const double openSeconds = openTime.Seconds();
    PrintSummary(args, header, static_cast<size_t>(nPoints), plan, result);
    if (args.outPath.empty()) return 0;

    ProgressBar bar("warp");
    const ProgressSpan all = bar.All();
    const Stopwatch readTime;
    Raster in;
    if (!reader.Read(in, error, &plan.srcWindow, all.Part(0, kReadShare))) return Fail(error);
    in.crs = header.crs;
    const double readSeconds = openSeconds - result.fitSeconds + readTime.Seconds();
    Raster out;
    if (!ResampleWarp(in, plan, args.options, out, result, error, all.Part(kReadShare, kReadShare + kResampleShare)))
        return Fail(error);
    const Stopwatch writeTime;
    if (!WriteRaster(args.outPath, out, args.write, error, all.Part(kReadShare + kResampleShare, 1.0))) return Fail(error);
    const double writeSeconds = writeTime.Seconds();
    bar.Finish();

    const double total = readSeconds + result.fitSeconds + result.resampleSeconds + writeSeconds;
    std::printf("time %.3f s: read %.3f, fit %.3f, resample %.3f, write %.3f\n", total, readSeconds, result.fitSeconds,
                result.resampleSeconds, writeSeconds);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
