// Band statistics and pseudo-colouring, shared by `tivra stats`,
// `tivra colorize` and the demo.
#pragma once

#include "RasterIO.h"

#include <tivra/grid/XPalette.h>
#include <tivra/grid/XStatistics.h>

#include <cstdint>
#include <string>
#include <vector>

namespace Pelmora::Tivra::Tool {

struct BandStats {
    uint64_t count = 0;
    double min = 0, max = 0, mean = 0, stdDev = 0;
    double stretchLow = 0, stretchHigh = 0;  ///< automatic display range
    uint64_t bins[256] = {};                 ///< histogram over [min, max]
    /// False when max - min is not a finite number (infinite samples, or
    /// extremes near the ends of the doubles): no bin width exists, the
    /// bins stay empty and the stretch is the extremes.
    bool hasHistogram = false;
};

/// Statistics of one band, leaving out NaN samples and those equal to noData
/// in the band's precision (pass NAN_REAL64 for none). Rows are fed one at a time, so a bar can follow
/// large rasters. False when no sample is valid.
bool ComputeBandStats(const XGrid& band, double noData, BandStats& stats, const ProgressSpan& progress = {});

/// First line of the partial sums, naming the layout that follows:
/// "type NAME", "window XOFF YOFF XSIZE YSIZE", then per band
/// "band B COUNT MIN MAX SUM SUMSQ" with every number in its shortest exact
/// text, so the sums reach the merge unrounded.
inline constexpr const char* kPartialMagic = "tivra-stats-partial 1";

/// Reads one file of tivra stats --partial and merges each band's sums into
/// acc (sized on the first file); type is the sample type name, the same in
/// every file. False with "PATH:LINE: why" for a file that is not one, or
/// whose sums no samples can have (the minimum above the maximum, a negative
/// sum of squares, a mean outside the extremes, a count that is no whole
/// number).
bool MergePartialFile(const std::string& path, std::vector<XStatAccum>& acc, std::string& type, std::string& error);

/// Prints the figures, each in the shortest text that reads back as the
/// same double (and with histogram the 16-line text histogram).
void PrintBandStats(const BandStats& stats, bool histogram, const char* indent = "  ");

/// A palette by 1-based index or by name, ignoring case, spaces and
/// punctuation ("elevation", "yellow-blue"). False for any other.
bool FindPalette(const std::string& text, _XCOLORTABLE& palette);

/// An RGB raster (three UInt8 bands, same geo-reference) of a single band:
/// values map linearly from [low, high] to palette entries 0..255, clamped;
/// no-data samples become black.
bool Colorize(const Raster& in, _XCOLORTABLE palette, double low, double high, Raster& out, std::string& error);

} // namespace Pelmora::Tivra::Tool
