// Interpolation of the raster grid at fractional positions (internal):
// nearest sample, bilinear, radial cubic and separable cubic, written once
// against the sample
// readers of grid/XGridReaders.h. GetValueInterpolated and the resampler's
// scalar row kernels compile these templates; the resampler's vector row
// kernels (mt/XResampleRowsAvx2.cpp) repeat each formula lane by lane, as
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
/// Vector copy: CubicWeight4 in mt/XResampleRowsAvx2.cpp.
inline double CubicWeight(double d)
{
    const double inner = 1.5 * d * d * d - 2.5 * d * d + 1.0;
    const double outer = -0.5 * d * d * d + 2.5 * d * d - 4.0 * d + 2.0;
    return d < 1.0 ? inner : (d < 2.0 ? outer : 0.0);
}

/// The separable cubic's weights of the four taps at offsets -1, 0, 1, 2 from
/// the truncated position along one axis, t the fraction along it: the cubic
/// of CubicWeight at each tap's distance |t - offset|.
/// Vector copy: SeparableWeights4 in mt/XResampleRowsAvx2.cpp.
inline void SeparableCubicWeights(double t, double* w)
{
    for (int k = 0; k < 4; ++k) w[k] = CubicWeight(std::fabs(t - (k - 1)));
}

/// The four taps s[0..3] weighted by w[0..3]. The weights sum to one, so the
/// sum is formed about the tap at offset 0, s1 + w0 (s0 - s1) + w2 (s2 - s1)
/// + w3 (s3 - s1): equal taps give their value exactly, and so do whole
/// positions (w0, w2 and w3 are then exactly 0), which a plain sum of
/// rounded products would miss by a unit in the last place now and then.
/// Vector copy: Combine4 in mt/XResampleRowsAvx2.cpp.
inline double SeparableCubicSum(const double* w, double s0, double s1, double s2, double s3)
{
    return s1 + w[0] * (s0 - s1) + w[2] * (s2 - s1) + w[3] * (s3 - s1);
}

/// Interpolation at (y, x), r0 and c0 its truncation, known to lie inside
/// the grid. Channel a is always interpolated; b, c and d become NAN_REAL64
/// when any sample of the window lacks them. Only the reader's channels are
/// computed; the others are NAN_REAL64 as every sample reports them.
template <int Method, class Reader>
bool InterpolateAt(const Reader& read, int rows, int cols, double y, double x, int r0, int c0, double* out)
{
    constexpr int NC = ReaderChannels<Reader>::value;
    if constexpr (Method == XINTERP_NEAREST) {
        // Vector copy: Gather4 in mt/XResampleRowsAvx2.cpp (a plain copy of
        // the sample for integer types).
        return read(r0, c0, out);
    } else if constexpr (Method == XINTERP_BILINEAR) {
        const double dy = y - r0, dx = x - c0;
        const int r1 = std::min(r0 + 1, rows - 1), c1 = std::min(c0 + 1, cols - 1);
        double s00[4], s01[4], s10[4], s11[4];
        if (!read(r0, c0, s00) || !read(r0, c1, s01) || !read(r1, c0, s10) || !read(r1, c1, s11))
            return false;
        for (int k = 0; k < 4; ++k) {
            if (k >= NC || (k > 0 && (s00[k] == NAN_REAL64 || s01[k] == NAN_REAL64 || s10[k] == NAN_REAL64 ||
                                      s11[k] == NAN_REAL64))) {
                out[k] = NAN_REAL64;
                continue;
            }
            // Vector copy: Bilinear4 in mt/XResampleRowsAvx2.cpp.
            out[k] = s00[k] + (s01[k] - s00[k]) * dx + (s10[k] - s00[k]) * dy +
                     (s00[k] - s01[k] - s10[k] + s11[k]) * dx * dy;
        }
        return true;
    } else if constexpr (Method == XINTERP_CUBIC_SEPARABLE) {
        // Vector copy: Separable4 in mt/XResampleRowsAvx2.cpp: each window row
        // combined along x, then the four row values along y.
        double wx[4], wy[4];
        SeparableCubicWeights(x - c0, wx);
        SeparableCubicWeights(y - r0, wy);
        double across[4][4];  // per window row, per channel
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
        // Vector copy: Cubic4 in mt/XResampleRowsAvx2.cpp, which forms the
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
template <class Reader>
bool Interpolate(const Reader& read, int rows, int cols, double y, double x, int r0, int c0, int method,
                 double* out)
{
    switch (method) {
    case XINTERP_NEAREST: return InterpolateAt<XINTERP_NEAREST>(read, rows, cols, y, x, r0, c0, out);
    case XINTERP_BILINEAR: return InterpolateAt<XINTERP_BILINEAR>(read, rows, cols, y, x, r0, c0, out);
    case XINTERP_CUBIC: return InterpolateAt<XINTERP_CUBIC>(read, rows, cols, y, x, r0, c0, out);
    case XINTERP_CUBIC_SEPARABLE:
        return InterpolateAt<XINTERP_CUBIC_SEPARABLE>(read, rows, cols, y, x, r0, c0, out);
    default: return true;
    }
}

} // namespace Pelmora::Tivra::GridSamples
