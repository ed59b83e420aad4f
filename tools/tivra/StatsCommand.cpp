// tivra stats IN [--nodata V] [--histogram] [--json]: per-band statistics.
#include "Cli.h"
#include "Commands.h"
#include "Progress.h"
#include "Stats.h"

#include <cmath>
#include <cstdio>

namespace Pelmora::Tivra::Tool {

namespace {

/// Rasters of at least this many samples show the bar; smaller ones finish
/// before it would matter.
constexpr double kBarSamples = 16e6;

std::string JsonNumber(double v) { return std::isfinite(v) ? FormatNumber(v) : "null"; }

std::string JsonString(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

void PrintJson(const std::string& path, const Raster& raster, const std::vector<std::optional<double>>& noData,
               const std::vector<BandStats>& all, bool histogram)
{
    std::printf("{\"file\": %s, \"width\": %d, \"height\": %d, \"type\": \"%s\"", JsonString(path).c_str(),
                raster.Cols(), raster.Rows(), SampleTypeName(raster.DataType()));
    if (raster.hasGeo)
        std::printf(", \"pixel\": [%s, %s], \"upper_left\": [%s, %s]", JsonNumber(raster.colSpacing).c_str(),
                    JsonNumber(raster.rowSpacing).c_str(), JsonNumber(raster.left).c_str(),
                    JsonNumber(raster.top).c_str());
    const std::string crs = raster.CrsName();
    if (!crs.empty()) std::printf(", \"crs\": %s", JsonString(crs).c_str());
    std::printf(", \"bands\": [");
    for (size_t b = 0; b < all.size(); ++b) {
        const BandStats& s = all[b];
        std::printf("%s\n  {\"band\": %zu, \"nodata\": %s, \"count\": %llu", b ? "," : "", b + 1,
                    noData[b] ? JsonNumber(*noData[b]).c_str() : "null", static_cast<unsigned long long>(s.count));
        if (s.count)
            std::printf(", \"minimum\": %s, \"maximum\": %s, \"mean\": %s, \"std_dev\": %s, \"stretch\": [%s, %s]",
                        JsonNumber(s.min).c_str(), JsonNumber(s.max).c_str(), JsonNumber(s.mean).c_str(),
                        JsonNumber(s.stdDev).c_str(), JsonNumber(s.stretchLow).c_str(),
                        JsonNumber(s.stretchHigh).c_str());
        if (s.count && histogram) {
            std::printf(", \"histogram\": [");
            for (int k = 0; k < 256; ++k) std::printf("%s%llu", k ? ", " : "", static_cast<unsigned long long>(s.bins[k]));
            std::printf("]");
        }
        std::printf("}");
    }
    std::printf("\n]}\n");
}

} // namespace

int RunStats(int argc, char** argv)
{
    std::string path;
    bool histogram = false, json = false, hasNoData = false;
    double noData = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--histogram") histogram = true;
        else if (arg == "--json") json = true;
        else if (arg == "--nodata") {
            if (i + 1 >= argc || !ParseNumberOrNan(argv[++i], noData))
                return UsageError("stats", "--nodata takes a number or nan");
            hasNoData = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("stats", "unknown option " + arg);
        } else if (path.empty()) path = arg;
        else return UsageError("stats", "one input only");
    }
    if (path.empty()) return UsageError("stats", "expected IN");
    RasterReader reader;
    std::string error;
    if (!reader.Open(path, error)) return Fail(error);
    const Raster& header = reader.Header();
    const int nb = header.BandCount();
    // Each band's own no-data value applies unless one is given for all.
    std::vector<std::optional<double>> bandNoData(nb);
    for (int b = 0; b < nb; ++b) bandNoData[b] = hasNoData ? std::optional<double>(noData) : header.NoData(b);
    if (!json) {
        std::printf("%s: %d x %d, %d band(s) %s", path.c_str(), header.Cols(), header.Rows(), nb,
                    SampleTypeName(header.DataType()));
        if (header.hasGeo) {
            std::printf(", pixel %.6g x %.6g, upper left (%.6f, %.6f)", header.colSpacing, header.rowSpacing,
                        header.left, header.top);
            const std::string crs = header.CrsName();
            if (!crs.empty()) std::printf(", %s", crs.c_str());
        }
        std::printf("\n");
        if (bandNoData[0]) std::printf("no-data %s\n", FormatNumber(*bandNoData[0]).c_str());
        std::fflush(stdout);
    }
    ProgressBar bar("statistics");
    const bool showBar = static_cast<double>(header.Rows()) * header.Cols() * nb >= kBarSamples;
    const ProgressSpan all = showBar ? bar.All() : ProgressSpan{};
    // The read takes about as long as the two passes over the samples.
    Raster raster;
    if (!reader.Read(raster, error, nullptr, all.Part(0, 0.5))) return Fail(error);
    std::vector<BandStats> stats(nb);
    for (int b = 0; b < nb; ++b)
        ComputeBandStats(raster.bands[b], bandNoData[b] ? *bandNoData[b] : NAN_REAL64, stats[b],
                         all.Part(0.5 + 0.5 * b / nb, 0.5 + 0.5 * (b + 1) / nb));
    bar.Finish();
    if (json) {
        PrintJson(path, raster, bandNoData, stats, histogram);
        return 0;
    }
    for (int b = 0; b < nb; ++b) {
        std::printf("band %d\n", b + 1);
        if (b > 0 && bandNoData[b] != bandNoData[0])
            std::printf("  no-data  %s\n", bandNoData[b] ? FormatNumber(*bandNoData[b]).c_str() : "none");
        if (stats[b].count == 0) std::printf("  count    0 (no valid samples)\n");
        else PrintBandStats(stats[b], histogram);
    }
    return 0;
}

} // namespace Pelmora::Tivra::Tool
