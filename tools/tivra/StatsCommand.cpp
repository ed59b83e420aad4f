// tivra stats IN [--nodata V] [--histogram] [--json]: per-band statistics.
// With --window and --partial it prints the mergeable sums of one window
// instead, and --merge turns such sums, from any number of windows or
// processes, into the figures of the whole.
#include "Cli.h"
#include "Commands.h"
#include "Progress.h"
#include "Stats.h"

#include <tivra/grid/XStatistics.h>

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
               const std::vector<BandStats>& all, bool histogram, bool stretch = true)
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
            std::printf(", \"minimum\": %s, \"maximum\": %s, \"mean\": %s, \"std_dev\": %s",
                        JsonNumber(s.min).c_str(), JsonNumber(s.max).c_str(), JsonNumber(s.mean).c_str(),
                        JsonNumber(s.stdDev).c_str());
        if (s.count && stretch)
            std::printf(", \"stretch\": [%s, %s]", JsonNumber(s.stretchLow).c_str(), JsonNumber(s.stretchHigh).c_str());
        if (s.count && histogram) {
            std::printf(", \"histogram\": [");
            for (int k = 0; k < 256; ++k) std::printf("%s%llu", k ? ", " : "", static_cast<unsigned long long>(s.bins[k]));
            std::printf("]");
        }
        std::printf("}");
    }
    std::printf("\n]}\n");
}

void PrintPartial(const Raster& header, const IO::XWindow& w, const std::vector<XStatAccum>& acc)
{
    std::printf("%s\ntype %s\nwindow %d %d %d %d\n", kPartialMagic, SampleTypeName(header.DataType()), w.xOff, w.yOff,
                w.xSize, w.ySize);
    for (size_t b = 0; b < acc.size(); ++b)
        std::printf("band %zu %llu %s %s %s %s\n", b + 1, static_cast<unsigned long long>(acc[b].count),
                    FormatNumber(acc[b].min0).c_str(), FormatNumber(acc[b].max0).c_str(),
                    FormatNumber(acc[b].sum0).c_str(), FormatNumber(acc[b].sumSq0).c_str());
}

/// tivra stats --merge PARTIAL...: the figures of the merged sums (no
/// stretch or histogram: those need every sample's bin).
int RunMerge(const std::vector<std::string>& paths, bool json)
{
    std::vector<XStatAccum> acc;
    std::string type, error;
    for (const std::string& p : paths)
        if (!MergePartialFile(p, acc, type, error)) return Fail(error);
    std::vector<BandStats> stats(acc.size());
    for (size_t b = 0; b < acc.size(); ++b) {
        BandStats& s = stats[b];
        s.count = acc[b].count;
        if (!s.count) continue;
        Xfn::FinishStatistics(acc[b], s.max, s.min, s.mean, s.stdDev);
        if (s.count == 1) s.stdDev = 0;
    }
    if (json) {
        std::printf("{\"merged\": %zu, \"type\": \"%s\", \"bands\": [", paths.size(), type.c_str());
        for (size_t b = 0; b < stats.size(); ++b) {
            const BandStats& s = stats[b];
            std::printf("%s\n  {\"band\": %zu, \"count\": %llu", b ? "," : "", b + 1,
                        static_cast<unsigned long long>(s.count));
            if (s.count)
                std::printf(", \"minimum\": %s, \"maximum\": %s, \"mean\": %s, \"std_dev\": %s",
                            JsonNumber(s.min).c_str(), JsonNumber(s.max).c_str(), JsonNumber(s.mean).c_str(),
                            JsonNumber(s.stdDev).c_str());
            std::printf("}");
        }
        std::printf("\n]}\n");
        return 0;
    }
    std::printf("merged %zu partial file(s), %zu band(s) %s\n", paths.size(), stats.size(), type.c_str());
    for (size_t b = 0; b < stats.size(); ++b) {
        const BandStats& s = stats[b];
        std::printf("band %zu\n", b + 1);
        if (!s.count) {
            std::printf("  count    0 (no valid samples)\n");
            continue;
        }
        std::printf("  count    %llu\n", static_cast<unsigned long long>(s.count));
        std::printf("  minimum  %s\n  maximum  %s\n", FormatNumber(s.min).c_str(), FormatNumber(s.max).c_str());
        std::printf("  mean     %s\n  std dev  %s\n", FormatNumber(s.mean).c_str(), FormatNumber(s.stdDev).c_str());
    }
    return 0;
}

} // namespace

int RunStats(int argc, char** argv)
{
    std::string path;
    std::vector<std::string> mergePaths;
    bool histogram = false, json = false, hasNoData = false, partial = false, merge = false, hasWindow = false;
    double noData = 0;
    IO::XWindow window;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--histogram") histogram = true;
        else if (arg == "--json") json = true;
        else if (arg == "--partial") partial = true;
        else if (arg == "--merge") merge = true;
        else if (arg == "--window") {
            if (i + 1 >= argc || !ParseWindow(argv[++i], window))
                return UsageError("stats", "--window takes XOFF,YOFF,XSIZE,YSIZE (offsets from 0, sizes from 1, offset + size at most 2147483647)");
            hasWindow = true;
        }
        else if (arg == "--nodata") {
            if (i + 1 >= argc || !ParseNumberOrNan(argv[++i], noData))
                return UsageError("stats", "--nodata takes a number or nan");
            hasNoData = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("stats", "unknown option " + arg);
        } else if (merge) mergePaths.push_back(arg);
        else if (path.empty()) path = arg;
        else return UsageError("stats", "one input only");
    }
    if (merge) {
        if (partial || hasWindow || histogram || hasNoData || !path.empty())
            return UsageError("stats", "--merge takes partial files and --json only");
        if (mergePaths.empty()) return UsageError("stats", "--merge needs at least one partial file");
        return RunMerge(mergePaths, json);
    }
    if (path.empty()) return UsageError("stats", "expected IN");
    if (partial && (histogram || json)) return UsageError("stats", "--partial prints sums only: no --histogram or --json");
    RasterReader reader;
    std::string error;
    if (!reader.Open(path, error)) return Fail(error);
    const Raster& header = reader.Header();
    const int nb = header.BandCount();
    // Each band's own no-data value applies unless one is given for all.
    std::vector<std::optional<double>> bandNoData(nb);
    for (int b = 0; b < nb; ++b) bandNoData[b] = hasNoData ? std::optional<double>(noData) : header.NoData(b);
    if (hasWindow && !window.Inside(header.Cols(), header.Rows()))
        return Fail("--window " + std::to_string(window.xOff) + "," + std::to_string(window.yOff) + "," +
                    std::to_string(window.xSize) + "," + std::to_string(window.ySize) + " is not inside the " +
                    std::to_string(header.Cols()) + " x " + std::to_string(header.Rows()) + " raster");
    if (partial) {
        // The sums of the window (the whole raster without one), with the
        // leaving-out rules of the figures below.
        const IO::XWindow w = hasWindow ? window : IO::XWindow{0, 0, header.Cols(), header.Rows()};
        Raster part;
        if (!reader.Read(part, error, &w)) return Fail(error);
        std::vector<XStatAccum> acc(nb, XStatAccum{});
        for (int b = 0; b < nb; ++b)
            Xfn::AccumulateGridStatistics(acc[b], part.bands[b], 1, 0, 1, 0, bandNoData[b] ? *bandNoData[b] : NAN_REAL64,
                                          XSTAT_ALL);
        PrintPartial(header, w, acc);
        return 0;
    }
    if (hasWindow) return UsageError("stats", "--window goes with --partial");
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
    for (int b = 0; b < nb; ++b)
        if (histogram && stats[b].count && !stats[b].hasHistogram)
            return Fail(path + " band " + std::to_string(b + 1) + ": no histogram over " + FormatNumber(stats[b].min) +
                        " .. " + FormatNumber(stats[b].max) + ": the width of that range overflows a double");
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
