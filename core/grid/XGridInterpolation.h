// Interpolation of the raster grid at fractional positions (internal):
// nearest sample, bilinear, radial cubic and separable cubic, written once
// against the sample
// readers of grid/XGridReaders.h. GetValueInterpolated and the resampler's
// scalar row kernels compile these templates; the resampler's vector row
// kernels (mt/XResampleRowsSimd.h) repeat each formula lane by lane, as
// named at each formula below, and the test
// MtResample.RowKernelsMatchTheGeneralPathBitForBit keeps them identical.
#pragma once

#include <algorithm>
#include <cmath>

#include <tivra/grid/XGrid.h>

#include "grid/XGridReaders.h"

namespace Pelmora::Tivra::GridSamples {

/// True when (y, x) truncates toward zero to a cell of the grid: -1 < y < rows
/// and -1 < x < cols. Also false for non-numbers, before any conversion.
inline bool InsideForInterpolation(double y, double x, int rows, int cols)
{
    return y > -1.0 && y < rows && x > -1.0 && x < cols;
}

/// Weight of the cubic kernel at distance d: 1.5d^3 - 2.5d^2 + 1 below 1,
/// -0.5d^3 + 2.5d^2 - 4d + 2 below 2, else 0. Both pieces are evaluated and
/// one is selected, so loops over weights compile without branches.
/// Vector copy: CubicWeight in mt/XResampleRowsSimd.h.
inline double CubicWeight(double d)
{
    const double inner = 1.5 * d * d * d - 2.5 * d * d + 1.0;
    const double outer = -0.5 * d * d * d + 2.5 * d * d - 4.0 * d + 2.0;
    return d < 1.0 ? inner : (d < 2.0 ? outer : 0.0);
}

/// The separable cubic's weights of the taps at offsets -1, 1 and 2 from the
/// truncated position along one axis, in w[0], w[2] and w[3], t the fraction
/// along it; the tap at offset 0 takes what they leave of one, which
/// SeparableCubicSum never needs. Within the grid, 0 <= t < 1, they are the
/// kernel's pieces at the distances 1 + t, 1 - t and 2 - t multiplied out,
/// -0.5t^3 + t^2 - 0.5t, -1.5t^3 + 2t^2 + 0.5t and 0.5t^3 - 0.5t^2, each
/// exactly 0 at t = 0; before the first row or column (-1 < t < 0) the
/// distances fall into other pieces, and CubicWeight picks them.
/// Vector copy: SeparableWeights in mt/XResampleRowsSimd.h (0 <= t < 1).
inline void SeparableCubicWeights(double t, double* w)
{
    if (t >= 0.0) {
        w[0] = t * (t * (1.0 - 0.5 * t) - 0.5);
        w[2] = t * (0.5 + t * (2.0 - 1.5 * t));
        w[3] = (t * t) * (0.5 * t - 0.5);
    } else {
        w[0] = CubicWeight(std::fabs(t + 1.0));
        w[2] = CubicWeight(std::fabs(t - 1.0));
        w[3] = CubicWeight(std::fabs(t - 2.0));
    }
}

/// The four taps s[0..3] weighted by the kernel. Its weights sum to one, so
/// the sum is formed about the tap at offset 0, s1 + w0 (s0 - s1) +
/// w2 (s2 - s1) + w3 (s3 - s1): equal taps give their value exactly, and so
/// do whole positions (w0, w2 and w3 are then exactly 0), which a plain sum
/// of rounded products would miss by a unit in the last place now and then.
/// Before the first row or column the fifth tap in reach is the edge sample,
/// the tap at offset 0, so its weight goes there too.
/// Vector copy: Combine in mt/XResampleRowsSimd.h.
inline double SeparableCubicSum(const double* w, double s0, double s1, double s2, double s3)
{
    return s1 + w[0] * (s0 - s1) + w[2] * (s2 - s1) + w[3] * (s3 - s1);
}

/// Accepts every sample: interpolation as GetValueInterpolated does it.
struct AllValid {
    static constexpr bool kChecks = false;
    bool operator()(const double*) const { return true; }
};

/// Rejects the no-data samples of a source: those whose channels all equal
/// the no-data value as the source's own type holds it, and those with a
/// non-number in any channel.
struct NoDataTest {
    static constexpr bool kChecks = true;
    double key;   ///< NoDataKey of the source type and the value
    int channels; ///< channels of the source type
    bool operator()(const double* v) const
    {
        bool all = true;
        for (int k = 0; k < channels; ++k) {
            if (v[k] != v[k]) return false;
            all = all && v[k] == key;
        }
        return !all;
    }
};

/// The no-data value as a sample of a type holds it, so that an exact
/// comparison with the decoded sample finds it: single-precision types
/// round it to float (a REAL32 no-data of 0.1 is the float nearest 0.1,
/// -3.4e38 the float -3.4e38; a finite value beyond the float range matches
/// no sample); every other type compares the value itself (integer samples
/// decode exactly, so a fractional value matches none).
inline double NoDataKey(int type, double value)
{
    return type == XDT_REAL32 || type == XDT_REAL32C ? RoundToFloat(value) : value;
}

/// The smallest share of its weight that a kernel must place on valid
/// samples for the pixel to get a value. A position that close to the
/// centre of a no-data sample is that sample, and taking the value of a
/// neighbour of negligible weight would grow the data into the hole.
inline constexpr double kMinValidWeight = 1e-6;

/// Bilinear interpolation over the valid ones of the four samples s (s00,
/// s01, s10, s11; ok[i] true for a valid one): the bilinear weights of the
/// valid samples, divided by their sum. False when that sum is below
/// kMinValidWeight.
template <int NC>
bool BilinearOfValid(const double* const* s, const bool* ok, double dy, double dx, double* out)
{
    const double w[4] = {(1 - dx) * (1 - dy), dx * (1 - dy), (1 - dx) * dy, dx * dy};
    double wsum = 0.0;
    for (int i = 0; i < 4; ++i)
        if (ok[i]) wsum += w[i];
    if (!(wsum >= kMinValidWeight)) return false;
    for (int k = 0; k < 4; ++k) {
        double sum = 0.0;
        bool missing = k >= NC;
        for (int i = 0; i < 4 && !missing; ++i) {
            if (!ok[i]) continue;
            missing = k > 0 && s[i][k] == NAN_REAL64;
            sum += w[i] * s[i][k];
        }
        out[k] = missing ? NAN_REAL64 : sum / wsum;
    }
    return true;
}

/// With a validity test that checks: the samples of the 4 x 4 window about
/// (r0, c0), indices clamped, hold an invalid one. Then the cubic methods
/// fall back to the bilinear rule over the window's middle four (positive
/// weights only; renormalising a cubic's negative lobes over a few valid
/// samples would amplify them without bound). Reads fail: false with
/// readOk false.
template <class Reader, class Valid>
bool CubicWindowHasInvalid(const Reader& read, const Valid& valid, int rows, int cols, int r0, int c0, bool& readOk)
{
    readOk = true;
    double v[4];
    for (int i = -1; i <= 2; ++i)
        for (int j = -1; j <= 2; ++j) {
            if (!read(std::clamp(r0 + i, 0, rows - 1), std::clamp(c0 + j, 0, cols - 1), v)) {
                readOk = false;
                return false;
            }
            if (!valid(v)) return true;
        }
    return false;
}

/// Interpolation at (y, x), r0 and c0 its truncation, known to lie inside
/// the grid. Channel a is always interpolated; b, c and d become NAN_REAL64
/// when any sample of the window lacks them. Only the reader's channels are
/// computed; the others are NAN_REAL64 as every sample reports them.
///
/// With a validity test that checks (NoDataTest), invalid samples never
/// contribute: the nearest sample invalid gives false; bilinear takes the
/// valid samples with their weights renormalised (BilinearOfValid), false
/// when they carry almost none; the cubic methods use the bilinear rule
/// when any sample of their window is invalid. A window of valid samples
/// gives exactly what the interpolation without the test gives. False
/// always means: no value for this pixel.
template <int Method, class Reader, class Valid = AllValid>
bool InterpolateAt(const Reader& read, int rows, int cols, double y, double x, int r0, int c0, double* out,
                   const Valid& valid = Valid{})
{
    constexpr int NC = ReaderChannels<Reader>::value;
    if constexpr (Valid::kChecks && (Method == XINTERP_CUBIC || Method == XINTERP_CUBIC_SEPARABLE)) {
        bool readOk = true;
        if (CubicWindowHasInvalid(read, valid, rows, cols, r0, c0, readOk))
            return InterpolateAt<XINTERP_BILINEAR>(read, rows, cols, y, x, r0, c0, out, valid);
        if (!readOk) return false;
    }
    if constexpr (Method == XINTERP_NEAREST) {
        // Vector copy: the nearest-sample case of VectorRow in
        // mt/XResampleRowsSimd.h (a plain copy of the sample for integer
        // types).
        return read(r0, c0, out) && valid(out);
    } else if constexpr (Method == XINTERP_BILINEAR) {
        const double dy = y - r0, dx = x - c0;
        const int r1 = std::min(r0 + 1, rows - 1), c1 = std::min(c0 + 1, cols - 1);
        double s00[4], s01[4], s10[4], s11[4];
        if (!read(r0, c0, s00) || !read(r0, c1, s01) || !read(r1, c0, s10) || !read(r1, c1, s11))
            return false;
        if constexpr (Valid::kChecks) {
            const bool ok[4] = {valid(s00), valid(s01), valid(s10), valid(s11)};
            if (!(ok[0] && ok[1] && ok[2] && ok[3])) {
                const double* const s[4] = {s00, s01, s10, s11};
                return BilinearOfValid<NC>(s, ok, dy, dx, out);
            }
        }
        for (int k = 0; k < 4; ++k) {
            if (k >= NC || (k > 0 && (s00[k] == NAN_REAL64 || s01[k] == NAN_REAL64 || s10[k] == NAN_REAL64 ||
                                      s11[k] == NAN_REAL64))) {
                out[k] = NAN_REAL64;
                continue;
            }
            // Vector copy: Bilinear in mt/XResampleRowsSimd.h.
            out[k] = s00[k] + (s01[k] - s00[k]) * dx + (s10[k] - s00[k]) * dy +
                     (s00[k] - s01[k] - s10[k] + s11[k]) * dx * dy;
        }
        return true;
    } else if constexpr (Method == XINTERP_CUBIC_SEPARABLE) {
        // Vector copy: Separable in mt/XResampleRowsSimd.h: each window row
        // combined along x, then the four row values along y.
        double wx[4], wy[4];
        SeparableCubicWeights(x - c0, wx);
        SeparableCubicWeights(y - r0, wy);
        double across[4][4]; // per window row, per channel
        bool missing[4] = {false, false, false, false};
        for (int i = 0; i < 4; ++i) {
            const int r = std::clamp(r0 + i - 1, 0, rows - 1);
            double s[4][4];
            for (int j = 0; j < 4; ++j) {
                if (!read(r, std::clamp(c0 + j - 1, 0, cols - 1), s[j])) return false;
                for (int k = 1; k < NC; ++k) missing[k] = missing[k] || s[j][k] == NAN_REAL64;
            }
            for (int k = 0; k < NC; ++k) across[i][k] = SeparableCubicSum(wx, s[0][k], s[1][k], s[2][k], s[3][k]);
        }
        for (int k = 0; k < 4; ++k)
            out[k] = (k >= NC || missing[k])
                         ? NAN_REAL64
                         : SeparableCubicSum(wy, across[0][k], across[1][k], across[2][k], across[3][k]);
        return true;
    } else {
        static_assert(Method == XINTERP_CUBIC);
        // Vector copy: Cubic in mt/XResampleRowsSimd.h, which forms the
        // same distances, weights and sums in the same order.
        const double dy = y - r0, dx = x - c0;
        // The sixteen weights first (independent of the samples), then the
        // sums in window order.
        double weight[16];
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                const double ex = dx - (j - 1), ey = dy - (i - 1);
                weight[i * 4 + j] = CubicWeight(std::sqrt(ex * ex + ey * ey));
            }
        double sum[4] = {0, 0, 0, 0};
        bool missing[4] = {false, false, false, false};
        double wsum = 0.0;
        double v[4];
        for (int i = -1; i <= 2; ++i) {
            const int r = std::clamp(r0 + i, 0, rows - 1);
            for (int j = -1; j <= 2; ++j) {
                const int c = std::clamp(c0 + j, 0, cols - 1);
                if (!read(r, c, v)) return false;
                const double w = weight[(i + 1) * 4 + (j + 1)];
                wsum += w;
                for (int k = 0; k < NC; ++k) {
                    if (k > 0 && v[k] == NAN_REAL64) missing[k] = true;
                    sum[k] += w * v[k];
                }
            }
        }
        for (int k = 0; k < 4; ++k) out[k] = (k >= NC || missing[k]) ? NAN_REAL64 : sum[k] / wsum;
        return true;
    }
}

/// InterpolateAt with the method chosen at run time; an unknown method
/// returns true and leaves out as it was.
template <class Reader, class Valid = AllValid>
bool Interpolate(const Reader& read, int rows, int cols, double y, double x, int r0, int c0, int method, double* out,
                 const Valid& valid = Valid{})
{
    switch (method) {
    case XINTERP_NEAREST: return InterpolateAt<XINTERP_NEAREST>(read, rows, cols, y, x, r0, c0, out, valid);
    case XINTERP_BILINEAR: return InterpolateAt<XINTERP_BILINEAR>(read, rows, cols, y, x, r0, c0, out, valid);
    case XINTERP_CUBIC: return InterpolateAt<XINTERP_CUBIC>(read, rows, cols, y, x, r0, c0, out, valid);
    case XINTERP_CUBIC_SEPARABLE:
        return InterpolateAt<XINTERP_CUBIC_SEPARABLE>(read, rows, cols, y, x, r0, c0, out, valid);
    default: return true;
    }
}

} // namespace Pelmora::Tivra::GridSamples
