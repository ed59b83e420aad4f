// Mappings and per-pixel work shared by the resampler's row kernels
// (internal). The scalar kernels and the vector ones include this file, so a
// pixel that one of them computes is computed by exactly the same code.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include <tivra/mt/XResamplePixels.h>

#include "grid/XGridInterpolation.h"
#include "grid/XGridReaders.h"

namespace Pelmora::Tivra::MT::ResampleRows {

/// Maps destination pixel (c, r) to its source position: the coordinate map's
/// element, then the projective and the polynomial mapping. A mapping that
/// fails leaves the position as it was.
struct PixelMapper {
    const XCoordMap* pMap;
    const XProjectiveWarp* pProjective;
    XWarpCoeff* pWarp;

    void operator()(int r, int c, double& x, double& y) const
    {
        x = c;
        y = r;
        if (pMap) {
            const XVertex2<double>& p = pMap->m_pData[std::ptrdiff_t(r) * pMap->m_nCols + c];
            x = p.x;
            y = p.y;
        }
        if (pProjective) pProjective->WarpPoint(x, y);
        if (pWarp) pWarp->WarpPoint(x, y);
    }
};

// Mappers for one mapping alone, inlined into the row kernels. Each computes
// exactly what PixelMapper computes for that mapping.

struct CoordMapMapper {
    const XCoordMap* pMap;
    void operator()(int r, int c, double& x, double& y) const
    {
        const XVertex2<double>& p = pMap->m_pData[std::ptrdiff_t(r) * pMap->m_nCols + c];
        x = p.x;
        y = p.y;
    }
};

struct ProjectiveMapper {
    const double* pH;
    void operator()(int r, int c, double& x, double& y) const
    {
        x = c;
        y = r;
        XProjectiveWarp::Apply(pH, x, y);
    }
};

/// The affine form of XWarpCoeff's evaluation, term for term.
struct AffineMapper {
    const double* a;
    const double* b;
    void operator()(int r, int c, double& x, double& y) const
    {
        const double xi = c, yi = r;
        x = a[0] * xi + a[1] * yi + a[2];
        y = b[0] * xi + b[1] * yi + b[2];
    }
};

/// What a row kernel is compiled for beyond the types and the method: the
/// store rule (round to nearest before the store) and whether source
/// no-data samples are screened out.
struct RowRule {
    bool round;
    bool noData;
    double noDataKey;           ///< GridSamples::NoDataKey of the source, when noData
    const uint8_t* pBackground; ///< the background as one destination sample stores it
};

/// Part of one destination row for a kernel: source, destination, mapping,
/// rule, row r and columns c0 up to but not including c1.
template <class Mapper>
using RowKernel = void (*)(const XGrid&, XGrid&, const Mapper&, const RowRule&, int r, int c0, int c1);

// Row kernels work through the destination in blocks: bands of kBandRows
// rows dealt out to the workers in turn, each band walked in column chunks of
// kBlockCols. Under a rotation or a scale, one destination row reads a thin
// slanted line across many source rows, whose lines the next row needs again
// only after the whole row is done; a block reads a compact source window,
// each line of which the block's next rows read again while it is still in
// cache, and whose few rows the processor's prefetcher can follow. Every
// pixel is computed on its own, so the order changes no value.
constexpr int kBandRows = 32;
constexpr int kBlockCols = 256;

/// One destination pixel on raw typed samples: the same tests, interpolation
/// and store as the general path (GeneralRow in mt/XResamplePixels.cpp),
/// compiled for source type S, destination type D, method M, the store rule
/// kRound and the no-data screen kNoData.
template <class S, class D, int M, bool kRound, bool kNoData>
struct TypedPixel {
    using Valid = std::conditional_t<kNoData, GridSamples::NoDataTest, GridSamples::AllValid>;
    GridSamples::TypedReader<S> read;
    GridSamples::TypedWriter<D, kRound> write;
    int rows, cols;
    Valid valid;
    const uint8_t* background;

    TypedPixel(const XGrid& src, XGrid& dst, const RowRule& rule)
        : read{src.GetData(), src.GetCSize()}, write{dst.GetData(), dst.GetCSize()}, rows(src.GetRSize()),
          cols(src.GetCSize()), valid(MakeValid(rule)), background(rule.pBackground)
    {
    }

    static Valid MakeValid(const RowRule& rule)
    {
        if constexpr (kNoData) return Valid{rule.noDataKey, S::kChannels};
        else return Valid{};
    }

    /// Destination (r, c) from source position (x, y), or the background
    /// where the position gives no value: row kernels write every pixel they
    /// are given, so their rows need no filling beforehand.
    void operator()(int r, int c, double x, double y) const
    {
        double out[4];
        if (x != NAN_REAL64 && y != NAN_REAL64 && GridSamples::InsideForInterpolation(y, x, rows, cols) &&
            GridSamples::InterpolateAt<M>(read, rows, cols, y, x, int(y), int(x), out, valid))
            write(r, c, out);
        else
            std::memcpy(write.pBase + (std::ptrdiff_t(r) * write.nCols + c) * D::kSize, background, D::kSize);
    }
};

/// The one-channel types that have row kernels.
struct CommonTypes {
    template <class S>
    static constexpr bool kKeep = S::kCode == XDT_UINT08 || S::kCode == XDT_UINT16 || S::kCode == XDT_SINT16 ||
                                  S::kCode == XDT_REAL32 || S::kCode == XDT_REAL64;
};

/// Calls f.template operator()<Codec>() for the types that have row kernels;
/// false for every other type. Only those types instantiate f.
template <class F>
bool DispatchCommonType(int type, F&& f)
{
    return GridSamples::DispatchSampleTypeIf<CommonTypes>(type, f);
}

/// Calls f.template operator()<M, kRound, kNoData>() for a method and a
/// rule, for source and destination type S. Rounding is compiled in only
/// where it can change a sample: an integer type and a method that computes
/// new values (the nearest sample of an integer type is stored as it was
/// read). Nothing is called for an unknown method.
template <class S, class F>
void DispatchKernelChoice(int method, const RowRule& rule, F&& f)
{
    auto withNoData = [&]<int M, bool kRound>() {
        if (rule.noData) f.template operator()<M, kRound, true>();
        else f.template operator()<M, kRound, false>();
    };
    auto withRule = [&]<int M>() {
        if constexpr (M != XINTERP_NEAREST && GridSamples::StoresIntegers(S::kCode)) {
            if (rule.round) return withNoData.template operator()<M, true>();
        }
        withNoData.template operator()<M, false>();
    };
    switch (method) {
    case XINTERP_NEAREST: withRule.template operator()<XINTERP_NEAREST>(); break;
    case XINTERP_BILINEAR: withRule.template operator()<XINTERP_BILINEAR>(); break;
    case XINTERP_CUBIC: withRule.template operator()<XINTERP_CUBIC>(); break;
    case XINTERP_CUBIC_SEPARABLE: withRule.template operator()<XINTERP_CUBIC_SEPARABLE>(); break;
    default: break;
    }
}

/// The vector row kernel for a source type (the destination of the same
/// type), a method and a rule, or null when XPlatform::GetCpuLevel() or the
/// combination has none: with bWidest on the widest lanes the level allows
/// (eight with AVX-512), else on four (AVX2). Defined for the four mappers
/// above.
template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int type, int method, const RowRule& rule, bool bWidest);

/// The same on eight lanes (XResampleRowsAvx512.cpp, x86 only); call only at
/// CpuLevel::Avx512.
template <class Mapper>
RowKernel<Mapper> FindVector8RowKernel(int type, int method, const RowRule& rule);

} // namespace Pelmora::Tivra::MT::ResampleRows
