// tivra stats IN [--nodata V] [--histogram]: per-band statistics.
#include "Cli.h"
#include "Commands.h"
#include "Progress.h"
#include "Stats.h"

#include <cstdio>

namespace Pelmora::Tivra::Tool {

int RunStats(int argc, char** argv)
{
    constexpr const char* kUsage = "usage: tivra stats IN [--nodata V] [--histogram]\n";
    std::string path;
    bool histogram = false, hasNoData = false;
    double noData = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--histogram") histogram = true;
        else if (arg == "--nodata") {
            if (i + 1 >= argc || !ParseDouble(argv[++i], noData)) {
                std::fprintf(stderr, "tivra stats: --nodata takes a number\n%s", kUsage);
                return 2;
            }
            hasNoData = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "tivra stats: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else if (path.empty()) path = arg;
        else {
            std::fprintf(stderr, "tivra stats: one input only\n%s", kUsage);
            return 2;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    Raster raster;
    std::string error;
    if (!ReadRaster(path, raster, error)) return Fail(error);
    // The file's own no-data value applies unless one is given.
    if (!hasNoData && raster.hasNoData) {
        hasNoData = true;
        noData = raster.noData;
    }
    std::printf("%s: %d x %d, %zu band(s) %s", path.c_str(), raster.Cols(), raster.Rows(), raster.bands.size(),
                SampleTypeName(raster.DataType()));
    if (raster.hasGeo) {
        std::printf(", pixel %.6g x %.6g, upper left (%.6f, %.6f)", raster.colSpacing, raster.rowSpacing, raster.left,
                    raster.top);
        if (raster.epsg) std::printf(", EPSG:%d", raster.epsg);
    }
    std::printf("\n");
    if (hasNoData) std::printf("no-data %.10g\n", noData);
    ProgressBar bar("statistics");
    const int nb = static_cast<int>(raster.bands.size());
    // Only large rasters show the bar; small ones finish before it matters.
    const bool showBar = static_cast<double>(raster.Rows()) * raster.Cols() * nb >= 16e6;
    std::vector<BandStats> all(nb);
    for (int b = 0; b < nb; ++b)
        ComputeBandStats(raster.bands[b], hasNoData ? noData : NAN_REAL64, all[b], showBar ? &bar : nullptr,
                         static_cast<double>(b) / nb, 1.0 / nb);
    bar.Finish();
    for (int b = 0; b < nb; ++b) {
        std::printf("band %d\n", b + 1);
        if (all[b].count == 0) std::printf("  count    0 (no valid samples)\n");
        else PrintBandStats(all[b], histogram);
    }
    return 0;
}

} // namespace Pelmora::Tivra::Tool
