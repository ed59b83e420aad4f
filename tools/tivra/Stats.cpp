#include "Stats.h"

#include "Cli.h"
#include "Progress.h"

#include <tivra/grid/XStatistics.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstdio>

namespace Pelmora::Tivra::Tool {

bool ComputeBandStats(const XGrid& band, double noData, BandStats& stats, const ProgressSpan& progress)
{
    const int rows = band.GetRSize(), cols = band.GetCSize(), type = band.GetDataType();
    const size_t rowBytes = static_cast<size_t>(cols) * DATASIZE[type];
    XStatAccum acc{};
    for (int r = 0; r < rows; ++r) {
        Xfn::AccumulateRowStatistics(acc, cols, type, band.GetData() + r * rowBytes, noData);
        if ((r & 63) == 0) progress.Update(0.5 * r / rows);
    }
    stats = BandStats();
    stats.count = acc.count;
    if (acc.count == 0) return false;
    Xfn::FinishStatistics(acc, stats.max, stats.min, stats.mean, stats.stdDev);
    if (acc.count == 1) stats.stdDev = 0;

    // The histogram over the data's own range, one row at a time.
    XHistAccum hist{};
    const double hi = stats.max > stats.min ? stats.max : stats.min + 1;
    for (int r = 0; r < rows; ++r) {
        Xfn::AccumulateHistogram(band.GetData() + r * rowBytes, cols, hist, type, noData, stats.min, hi);
        if ((r & 63) == 0) progress.Update(0.5 + 0.5 * r / rows);
    }
    std::copy(hist.bins, hist.bins + 256, stats.bins);
    Xfn::GetStretchRange(stats.bins, stats.min, hi, stats.mean, stats.stdDev, stats.stretchLow, stats.stretchHigh);
    // A range the histogram cannot narrow (constant or two-valued data)
    // falls back to the extremes.
    if (!(stats.stretchHigh > stats.stretchLow)) {
        stats.stretchLow = stats.min;
        stats.stretchHigh = hi;
    }
    return true;
}

void PrintBandStats(const BandStats& s, bool histogram, const char* in)
{
    std::printf("%scount    %llu\n", in, static_cast<unsigned long long>(s.count));
    std::printf("%sminimum  %s\n%smaximum  %s\n", in, FormatNumber(s.min).c_str(), in, FormatNumber(s.max).c_str());
    std::printf("%smean     %s\n%sstd dev  %s\n", in, FormatNumber(s.mean).c_str(), in, FormatNumber(s.stdDev).c_str());
    std::printf("%sstretch  %s to %s\n", in, FormatNumber(s.stretchLow).c_str(), FormatNumber(s.stretchHigh).c_str());
    if (!histogram) return;
    // 16 lines of 16 bins each, bars scaled to the fullest line.
    uint64_t lines[16] = {}, most = 0;
    for (int k = 0; k < 256; ++k) lines[k / 16] += s.bins[k];
    for (uint64_t v : lines) most = std::max(most, v);
    const double hi = s.max > s.min ? s.max : s.min + 1;
    const double width = (hi - s.min) / 16;
    std::printf("%shistogram (16 classes of 16 bins)\n", in);
    for (int i = 0; i < 16; ++i) {
        const int len = most ? static_cast<int>(std::lround(50.0 * lines[i] / most)) : 0;
        std::printf("%s%12.6g .. %-12.6g %10llu |%.*s\n", in, s.min + i * width, s.min + (i + 1) * width,
                    static_cast<unsigned long long>(lines[i]), len,
                    "##################################################");
    }
}

namespace {

std::string Squash(const std::string& s)
{
    std::string out;
    for (char ch : s)
        if (std::isalnum(static_cast<unsigned char>(ch))) out += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return out;
}

} // namespace

bool FindPalette(const std::string& text, _XCOLORTABLE& palette)
{
    const int count = Xfn::GetNumberOfPalette();
    char* end = nullptr;
    const long k = std::strtol(text.c_str(), &end, 10);
    if (!text.empty() && *end == '\0') {
        if (k < 1 || k > count) return false;
        palette = static_cast<_XCOLORTABLE>(k);
        return true;
    }
    const std::string want = Squash(text);
    if (want.empty()) return false;
    for (int i = 1; i <= count; ++i) {
        const _XCOLORTABLE p = static_cast<_XCOLORTABLE>(i);
        if (Squash(static_cast<const char*>(Xfn::GetPaletteName(p))) == want) {
            palette = p;
            return true;
        }
    }
    return false;
}

bool Colorize(const Raster& in, _XCOLORTABLE palette, double low, double high, Raster& out, std::string& error)
{
    if (in.BandCount() != 1) {
        error = "colorize takes a single-band raster; this one has " + std::to_string(in.bands.size()) + " bands";
        return false;
    }
    unsigned char lut[3][256];
    if (!Xfn::GetPalette(palette, lut[0], lut[1], lut[2])) {
        error = "palette " + std::to_string(static_cast<int>(palette)) + " has no table";
        return false;
    }
    const XGrid& band = in.bands[0];
    const int rows = band.GetRSize(), cols = band.GetCSize();
    out = Raster();
    out.hasGeo = in.hasGeo;
    out.top = in.top;
    out.left = in.left;
    out.rowSpacing = in.rowSpacing;
    out.colSpacing = in.colSpacing;
    out.crs = in.crs;
    out.bands.resize(3);
    out.noData.resize(3);
    for (auto& b : out.bands) b.AllocExact(rows, cols, XDT_UINT08);
    out.ApplyGeo();
    const double scale = high > low ? 255.0 / (high - low) : 0.0;
    // No-data is compared in the band's own precision: a Float32 band holds
    // the float nearest the value its file names (0.1, -3.4e38), which the
    // double itself never equals.
    std::optional<double> noData = in.NoData(0);
    if (noData && band.GetDataType() == XDT_REAL32) noData = static_cast<double>(static_cast<float>(*noData));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const double v = band.GetAsREAL64(r, c);
            const size_t at = static_cast<size_t>(r) * cols + c;
            if ((noData && v == *noData) || std::isnan(v)) {
                for (auto& b : out.bands) b.GetData()[at] = 0;
                continue;
            }
            const double t = std::clamp((v - low) * scale, 0.0, 255.0);
            const int k = static_cast<int>(std::lround(t));
            for (int ch = 0; ch < 3; ++ch) out.bands[ch].GetData()[at] = lut[ch][k];
        }
    return true;
}

} // namespace Pelmora::Tivra::Tool
