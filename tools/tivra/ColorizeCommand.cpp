// tivra colorize IN OUT [--palette NAME|INDEX] [--stretch auto|MIN,MAX]
// [--nodata V]: a single-band raster through a stretch and a palette.
#include "Cli.h"
#include "Commands.h"
#include "Stats.h"

#include <cstdio>

namespace Pelmora::Tivra::Tool {

int RunColorize(int argc, char** argv)
{
    constexpr const char* kUsage =
        "usage: tivra colorize IN OUT.png [--palette NAME|INDEX] [--stretch auto|MIN,MAX] [--nodata V]\n";
    std::vector<std::string> positional;
    std::string paletteText = "Grey", stretchText = "auto";
    bool hasNoData = false;
    double noData = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--palette" || arg == "--stretch" || arg == "--nodata";
        if (takesValue && i + 1 >= argc) {
            std::fprintf(stderr, "tivra colorize: %s needs a value\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (arg == "--palette") paletteText = argv[++i];
        else if (arg == "--stretch") stretchText = argv[++i];
        else if (arg == "--nodata") {
            if (!ParseDouble(argv[++i], noData)) {
                std::fprintf(stderr, "tivra colorize: --nodata takes a number\n%s", kUsage);
                return 2;
            }
            hasNoData = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "tivra colorize: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else positional.push_back(arg);
    }
    if (positional.size() != 2) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    _XCOLORTABLE palette;
    if (!FindPalette(paletteText, palette))
        return Fail("unknown palette '" + paletteText + "' (see tivra palettes: names or 1.." +
                    std::to_string(Xfn::GetNumberOfPalette()) + ")");
    double low = 0, high = 0;
    const bool autoStretch = stretchText == "auto";
    if (!autoStretch && (!ParseDoublePair(stretchText, low, high) || !(high > low)))
        return Fail("--stretch takes auto or MIN,MAX with MIN < MAX, not '" + stretchText + "'");
    std::string error;
    if (!IsWritableFormat(positional[1], error)) return Fail(error);

    Raster in;
    if (!ReadRaster(positional[0], in, error)) return Fail(error);
    if (hasNoData) {
        in.hasNoData = true;
        in.noData = noData;
    }
    if (in.bands.size() != 1)
        return Fail(positional[0] + ": colorize takes a single-band raster; this one has " +
                    std::to_string(in.bands.size()) + " bands");
    if (autoStretch) {
        BandStats stats;
        if (!ComputeBandStats(in.bands[0], in.hasNoData ? in.noData : NAN_REAL64, stats))
            return Fail(positional[0] + ": no valid samples to stretch");
        low = stats.stretchLow;
        high = stats.stretchHigh;
    }
    Raster out;
    if (!Colorize(in, palette, low, high, out, error)) return Fail(error);
    if (!WriteRasterAtomic(positional[1], out, error)) return Fail(error);
    std::printf("wrote %s: %d x %d, palette %d %s, stretch %.6g to %.6g\n", positional[1].c_str(), out.Cols(),
                out.Rows(), static_cast<int>(palette), static_cast<const char*>(Xfn::GetPaletteName(palette)), low,
                high);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
