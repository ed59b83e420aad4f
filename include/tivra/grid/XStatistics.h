// Sample statistics and 256-bin histograms over raw sample buffers and over
// rectangles of a grid, with mean, standard deviation, covariance,
// correlation and an automatic display range derived from them.
//
// Supported sample types: the scalar integers of up to 32 bits, the reals,
// their complex pairs (which contribute the magnitude sqrt(re^2 + im^2)) and
// GRAY (read as an unsigned byte). The 64-bit integer types and the colour
// types 22..33 accumulate nothing. Every value is handled as a double, and a
// value equal to the no-data value (exact comparison) is left out everywhere.
// Infinite samples count as infinities: a grid read in place reports them
// as its extremes (a grid read through GetSubset, whose copy clamps them,
// reports the type's bounds).
#pragma once

#include <cstdint>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra {

class XGrid;

/// Statistics accumulator. Set count to 0 for an empty record; the first
/// accumulation then sets the extremes to +-1.7e+308 and the sums to 0, and
/// every later call merges into what is there.
struct XStatAccum {
    uint64_t count;  ///< samples (or sample pairs) accepted
    double min0, max0;
    double sum0, sumSq0;
    double min1, max1;
    double sum1, sumSq1;
    double sumProd;  ///< sum of x * y over accepted pairs
};

/// Histogram accumulator of 256 bins over [lo, hi]. Bin k covers
/// [lo + k w, lo + (k + 1) w) with w = (hi - lo) / 256; values below lo count
/// in bin 0, values at or above hi in bin 255. Set total to 0 for an empty
/// record; the first accumulation clears the bins and sets the range, later
/// ones widen the range when needed and move the old counts (rebinning).
struct XHistAccum {
    uint64_t total;
    uint64_t bins[256];
    double lo, hi;
};

/// Options of GetStatistics, combined with |.
enum _XSTATOPTION : int32_t {
    XSTAT_DEFAULT = 0,
    /// Leave out the samples that hold a non-number (NaN); a complex sample
    /// whose magnitude is NaN (a NaN part) too. Without it a NaN sample is
    /// counted and makes the mean and deviation NaN.
    XSTAT_SKIP_NAN = 1,
    /// Compare each sample with the no-data value in the sample's own
    /// precision, before anything else happens to it: REAL32 samples (and the
    /// magnitudes of REAL32C ones) as floats, so a no-data of 0.1 or -3.4e38
    /// leaves out the samples holding the float nearest it; other types as
    /// their decoded values, exactly. Without it the double value is
    /// compared, which such a float never equals.
    XSTAT_NODATA_IN_SAMPLE_PRECISION = 2,
    /// Every option; other bits are ignored.
    XSTAT_ALL = XSTAT_SKIP_NAN | XSTAT_NODATA_IN_SAMPLE_PRECISION,
};

namespace Xfn {

/// True when the statistics and histogram functions accept the type code.
bool IsStatisticsType(int type);

/// Statistics of a width x height buffer of samples, rows of width samples.
///
/// With nOffset 0 only the first channel is accumulated. With a non-zero
/// nOffset every sample x is paired with the sample y that lies nOffset
/// samples after it (before it when negative), and a pair is accepted only
/// when neither equals dNoData. The offset counts samples of the buffer's
/// type - one scalar, or one complex pair - not bytes, so the same offset
/// addresses the same pairing for every type: y sits at byte
/// (index + nOffset) * DATASIZE[type]. Typical uses are two band-sequential
/// planes (nOffset = width * height) or neighbouring samples (nOffset = 1).
/// The caller's buffer must hold the paired samples as well.
void AccumulateStatistics(XStatAccum& acc, const void* pData, int64_t nOffset, int type, double dNoData,
                          int nWidth, int nHeight);

/// Single-channel statistics of n consecutive samples.
void AccumulateRowStatistics(XStatAccum& acc, int64_t n, int type, const void* pData, double dNoData);

/// Histogram of n consecutive samples over [dLo, dHi]. A missing range
/// (either bound NAN_REAL64) or one that is not increasing becomes [0, 255]
/// for UINT08, UINT08C and GRAY, [-128, 127] for SINT08 and SINT08C, and the
/// data's own extremes for every other type.
void AccumulateHistogram(const void* pData, int64_t n, XHistAccum& acc, int type, double dNoData, double dLo,
                         double dHi);

/// Histogram of n consecutive samples with no caller range (the defaults of
/// AccumulateHistogram).
void AccumulateRowHistogram(XHistAccum& acc, int64_t n, int type, const void* pData, double dNoData);

/// Extremes, mean = sum0 / count and the sample standard deviation
/// sqrt((sumSq0 - count * mean^2) / (count - 1)) of the first channel. A
/// count of 0 gives a mean of NaN, a count of 1 a deviation of NaN. Equal
/// samples, and a variance the sums' rounding leaves below zero, give a
/// deviation of exactly 0 (for a finite mean).
void FinishStatistics(const XStatAccum& acc, double& dMax, double& dMin, double& dMean, double& dStdDev);

/// Merges the record from into acc, as if acc had accumulated from's samples
/// as well: counts and sums add, extremes widen. An empty from (count 0)
/// leaves acc as it is; an empty acc becomes a copy of from. Sums of integer
/// samples stay exact while they stay below 2^53, so records of parts of a
/// raster merge into the whole raster's record exactly; sums of real samples
/// agree to the rounding of the additions.
void MergeStatistics(XStatAccum& acc, const XStatAccum& from);

/// (sumProd - sum1 * sum0 / count) / (count - 1).
double CalcCovariance(const XStatAccum& acc);

/// Pearson correlation of the paired channels; 0 when the variance of x is
/// not positive or the variance of y is not positive (or NaN).
double CalcCorrelation(const XStatAccum& acc);

/// A display range from a histogram of range [dHistLo, dHistHi]: the
/// positions below and above the median bin that enclose 95 % of the counts
/// on each side (bins 0 and 255 ignored), mapped to values and limited to
/// mean -+ 2 standard deviations.
void GetStretchRange(const uint64_t pBins[256], double dHistLo, double dHistHi, double dMean, double dStdDev,
                     double& dLow, double& dHigh);

/// The wider variant of GetStretchRange: 98 % of each side, limited to mean
/// -+ 3 standard deviations.
void GetStretchRange2(const uint64_t pBins[256], double dHistLo, double dHistHi, double dMean, double dStdDev,
                      double& dLow, double& dHigh);

/// Statistics, and optionally the 256 histogram counts, of a rectangle of a
/// grid, fed to AccumulateRowStatistics and AccumulateRowHistogram one row at
/// a time. R1 > R2 selects every row and C1 > C2 every column; otherwise the
/// rectangle is clipped to the grid. pHistogram, when not null, receives 256
/// counts (the histogram's range is not reported). When no sample is
/// accepted the count is 0, the extremes are 1.7e+308 and -1.7e+308 and the
/// mean and deviation are NaN.
///
/// This is the grid's statistics operation; it reads the samples of a grid
/// with direct sample access (XGrid::HasDirectSampleAccess) in place, those
/// of a grid file a row at a time through its window, and goes through
/// GetSubset, and so the grid's own GetValue, for any other grid.
///
/// False when a row cannot be read (a grid file whose scratch file was cut
/// short, or whose sparse pages cannot be filled on a full disk; the mapped
/// file's message says why): the results are then those of no sample and
/// the histogram is all zeros, never those of the rows that could be read.
bool GetStatistics(const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData, uint64_t& nCount,
                   double& dMin, double& dMax, double& dMean, double& dStdDev, uint64_t* pHistogram = nullptr);

/// The first-channel record of a rectangle of a grid (the rectangle rules
/// and _XSTATOPTION options of GetStatistics), merged into acc: the
/// accumulation GetStatistics finishes, for callers that merge the records of
/// several rectangles or rasters. False, with acc unchanged, when a row
/// cannot be read.
bool AccumulateGridStatistics(XStatAccum& acc, const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData,
                              int nOptions);

/// GetStatistics with _XSTATOPTION options. With XSTAT_DEFAULT it is the
/// operation above. The options concern the real types (REAL32, REAL64 and
/// their complex pairs), whose samples can be NaN or lie between two
/// doubles; integer samples are compared exactly either way. The samples an
/// option leaves out count nowhere: neither in the statistics nor in the
/// histogram or its range. False as above.
bool GetStatistics(const XGrid& grid, int R1, int R2, int C1, int C2, double dNoData, int nOptions, uint64_t& nCount,
                   double& dMin, double& dMax, double& dMean, double& dStdDev, uint64_t* pHistogram = nullptr);

} // namespace Xfn
} // namespace Pelmora::Tivra
