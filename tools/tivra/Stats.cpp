#include "Stats.h"

#include "Cli.h"
#include "Progress.h"

#include <tivra/grid/XColorize.h>
#include <tivra/grid/XStatistics.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace Pelmora::Tivra::Tool {

namespace {

/// The samples of a row of a real band that the statistics leave in (no
/// NaN, no sample equal to the no-data value in the band's precision),
/// copied into scratch; the row itself when nothing is left out. n becomes
/// the count kept.
template <class T>
const uint8_t* ValidSamples(const uint8_t* row, int& n, double noData, std::vector<T>& scratch)
{
    const T* p = reinterpret_cast<const T*>(row);
    // The no-data value as a sample of this type holds it; NAN_REAL64 (none)
    // and values beyond the type's range match nothing.
    const bool hasKey = noData != NAN_REAL64 && std::fabs(noData) <= std::numeric_limits<T>::max();
    const T key = hasKey ? static_cast<T>(noData) : T(0);
    scratch.clear();
    for (int i = 0; i < n; ++i)
        if (!std::isnan(p[i]) && !(hasKey && p[i] == key)) scratch.push_back(p[i]);
    if (static_cast<int>(scratch.size()) == n) return row;
    n = static_cast<int>(scratch.size());
    return reinterpret_cast<const uint8_t*>(scratch.data());
}

} // namespace

bool ComputeBandStats(const XGrid& band, double noData, BandStats& stats, const ProgressSpan& progress)
{
    const int rows = band.GetRSize(), cols = band.GetCSize(), type = band.GetDataType();
    const size_t rowBytes = static_cast<size_t>(cols) * DATASIZE[type];
    // The library's figures, with NaN samples left out and the no-data value
    // compared in the band's own precision (a Float32 band's 0.1 is the float
    // nearest 0.1): the numbers GetStatistics gives every caller.
    stats = BandStats();
    uint64_t count = 0;
    Xfn::GetStatistics(band, 1, 0, 1, 0, noData, XSTAT_ALL, count, stats.min, stats.max, stats.mean, stats.stdDev);
    stats.count = count;
    progress.Update(0.5);
    if (count == 0) return false;
    if (count == 1) stats.stdDev = 0;

    // The histogram over the data's own range, one row at a time, of the
    // same samples.
    XHistAccum hist{};
    const double hi = stats.max > stats.min ? stats.max : stats.min + 1;
    std::vector<float> floats;
    std::vector<double> doubles;
    for (int r = 0; r < rows; ++r) {
        const uint8_t* row = band.GetData() + r * rowBytes;
        int n = cols;
        if (type == XDT_REAL32) row = ValidSamples(row, n, noData, floats);
        else if (type == XDT_REAL64) row = ValidSamples(row, n, noData, doubles);
        if (n > 0) Xfn::AccumulateHistogram(row, n, hist, type, noData, stats.min, hi);
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
    // No-data is compared in the band's own precision: a Float32 band holds
    // the float nearest the value its file names (0.1, -3.4e38), which the
    // double itself never equals.
    std::optional<double> noData = in.NoData(0);
    if (noData && band.GetDataType() == XDT_REAL32) noData = static_cast<double>(static_cast<float>(*noData));
    XGrid rgb;
    if (!Xfn::Colorize(band, palette, low, high, noData.value_or(NAN_REAL64), rgb)) {
        error = "cannot colour a raster of " + std::to_string(band.GetRSize()) + " x " +
                std::to_string(band.GetCSize()) + " samples";
        return false;
    }
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
    // The interleaved red, green and blue samples into one band each.
    const unsigned char* px = rgb.GetData();
    const size_t count = static_cast<size_t>(rows) * cols;
    for (int ch = 0; ch < 3; ++ch) {
        unsigned char* dst = out.bands[ch].GetData();
        for (size_t i = 0; i < count; ++i) dst[i] = px[3 * i + ch];
    }
    return true;
}

} // namespace Pelmora::Tivra::Tool
