// tivra colorize IN OUT [--palette NAME|INDEX] [--stretch auto|MIN,MAX]
// [--nodata V] [--of FORMAT] [--co NAME=VALUE]: a single-band raster through
// a stretch and a palette.
#include "Cli.h"
#include "Commands.h"
#include "Stats.h"

#include <cstdio>

namespace Pelmora::Tivra::Tool {

int RunColorize(int argc, char** argv)
{
    std::vector<std::string> positional;
    std::string paletteText = "Grey", stretchText = "auto";
    bool hasNoData = false;
    double noData = 0;
    WriteOptions write;
    std::string message;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--palette" || arg == "--stretch" || arg == "--nodata";
        if (takesValue && i + 1 >= argc) return UsageError("colorize", arg + " needs a value");
        if (arg == "--palette") paletteText = argv[++i];
        else if (arg == "--stretch") stretchText = argv[++i];
        else if (arg == "--nodata") {
            if (!ParseDouble(argv[++i], noData)) return UsageError("colorize", "--nodata takes a number");
            hasNoData = true;
        } else if (TakeWriteOption(argc, argv, i, write, message)) {
            if (!message.empty()) return UsageError("colorize", message);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("colorize", "unknown option " + arg);
        } else positional.push_back(arg);
    }
    if (positional.size() != 2) return UsageError("colorize", "expected IN and OUT");
    _XCOLORTABLE palette;
    if (!FindPalette(paletteText, palette))
        return Fail("unknown palette '" + paletteText + "' (see tivra palettes: names or 1.." +
                    std::to_string(Xfn::GetNumberOfPalette()) + ")");
    double low = 0, high = 0;
    const bool autoStretch = stretchText == "auto";
    if (!autoStretch && (!ParseDoublePair(stretchText, low, high) || !(high > low)))
        return UsageError("colorize", "--stretch takes auto or MIN,MAX with MIN < MAX, not '" + stretchText + "'");
    std::string error;
    if (!CheckOutput(positional[1], write, XDT_UINT08, error)) return Fail(error);

    RasterReader reader;
    if (!reader.Open(positional[0], error)) return Fail(error);
    if (reader.Header().BandCount() != 1)
        return Fail(positional[0] + ": colorize takes a single-band raster; this one has " +
                    std::to_string(reader.Header().BandCount()) + " bands");
    Raster in;
    if (!reader.Read(in, error)) return Fail(error);
    if (hasNoData) in.noData.assign(1, noData);
    if (autoStretch) {
        BandStats stats;
        const std::optional<double> v = in.NoData(0);
        if (!ComputeBandStats(in.bands[0], v ? *v : NAN_REAL64, stats))
            return Fail(positional[0] + ": no valid samples to stretch");
        low = stats.stretchLow;
        high = stats.stretchHigh;
        if (!stats.hasHistogram)
            return Fail(positional[0] + ": the samples span " + FormatNumber(stats.min) + " .. " +
                        FormatNumber(stats.max) + ", too wide a range to stretch; give --stretch MIN,MAX");
    }
    Raster out;
    if (!Colorize(in, palette, low, high, out, error)) return Fail(error);
    if (!WriteRaster(positional[1], out, write, error)) return Fail(error);
    std::printf("wrote %s: %d x %d, palette %d %s, stretch %.6g to %.6g\n", positional[1].c_str(), out.Cols(),
                out.Rows(), static_cast<int>(palette), static_cast<const char*>(Xfn::GetPaletteName(palette)), low,
                high);
    return 0;
}

} // namespace Pelmora::Tivra::Tool
