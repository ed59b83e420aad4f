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
#include <fstream>
#include <limits>
#include <sstream>
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

/// Largest count a partial file may give: counts are read as doubles, which
/// hold every whole number up to 2^53 exactly.
constexpr double kMaxExactCount = 9007199254740992.0;

/// Relative slack of the consistency checks below: the sums of real samples
/// carry the rounding of one addition per sample.
constexpr double kSumSlack = 1e-6;

/// Why a band's sums cannot come from any samples (empty when they can): the
/// minimum above the maximum, a negative sum of squares, or a mean outside
/// the extremes. A record of no samples holds nothing to check.
std::string ImpossibleSums(const XStatAccum& a)
{
    if (a.count == 0) return std::string();
    if (!(a.min0 <= a.max0)) return "the minimum " + FormatNumber(a.min0) + " is above the maximum " + FormatNumber(a.max0);
    if (a.sumSq0 < 0) return "the sum of squares " + FormatNumber(a.sumSq0) + " is negative";
    const double mean = a.sum0 / static_cast<double>(a.count);
    const double slack = kSumSlack * std::max(std::fabs(a.min0), std::fabs(a.max0));
    if (mean < a.min0 - slack || mean > a.max0 + slack)
        return "the mean " + FormatNumber(mean) + " of the sums lies outside the extremes";
    return std::string();
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

    const double hi = stats.max > stats.min ? stats.max : stats.min + 1;
    stats.hasHistogram = std::isfinite(hi - stats.min);
    if (!stats.hasHistogram) {
        stats.stretchLow = stats.min;
        stats.stretchHigh = stats.max;
        return true;
    }
    // The histogram over the data's own range, one row at a time, of the
    // same samples.
    XHistAccum hist{};
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

bool MergePartialFile(const std::string& path, std::vector<XStatAccum>& acc, std::string& type, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string line;
    int lineNo = 0;
    auto bad = [&](const std::string& why) {
        error = path + ":" + std::to_string(lineNo) + ": " + why;
        return false;
    };
    std::vector<XStatAccum> parts;
    std::string fileType;
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo == 1) {
            if (line != kPartialMagic) return bad("not the partial sums of tivra stats --partial");
            continue;
        }
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "type") words >> fileType;
        else if (key == "window") continue;
        else if (key == "band") {
            std::string f[6];
            for (std::string& w : f) words >> w;
            int band = 0;
            double count = 0;
            XStatAccum a{};
            if (!ParseInt(f[0], band) || band != static_cast<int>(parts.size()) + 1 || !ParseDouble(f[1], count) ||
                !(count >= 0) || !ParseNumberOrNan(f[2], a.min0) || !ParseNumberOrNan(f[3], a.max0) ||
                !ParseNumberOrNan(f[4], a.sum0) || !ParseNumberOrNan(f[5], a.sumSq0))
                return bad("expected band B COUNT MIN MAX SUM SUMSQ, bands in order");
            if (!(count <= kMaxExactCount) || count != std::floor(count))
                return bad("the count " + f[1] + " is not a whole number of samples");
            a.count = static_cast<uint64_t>(count);
            if (const std::string why = ImpossibleSums(a); !why.empty()) return bad(why);
            parts.push_back(a);
        } else if (!key.empty()) return bad("unknown line '" + line + "'");
    }
    if (lineNo == 0) return bad("empty file");
    if (parts.empty() || fileType.empty()) return bad("no type or no bands");
    if (acc.empty()) {
        acc.assign(parts.size(), XStatAccum{});
        type = fileType;
    }
    if (parts.size() != acc.size() || fileType != type)
        return bad("holds " + std::to_string(parts.size()) + " band(s) of " + fileType + ", the first file " +
                   std::to_string(acc.size()) + " of " + type);
    for (size_t b = 0; b < acc.size(); ++b) Xfn::MergeStatistics(acc[b], parts[b]);
    return true;
}

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
    out.rotated = in.rotated;
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
