// Mappings and per-pixel work shared by the resampler's row kernels
// (internal). The scalar kernels and the vector ones include this file, so a
// pixel that one of them computes is computed by exactly the same code.
#pragma once

#include <cstddef>

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

/// One destination row of a kernel: source, destination, mapping, row.
template <class Mapper>
using RowKernel = void (*)(const XGrid&, XGrid&, const Mapper&, int);

/// One destination pixel on raw typed samples: the same tests, interpolation
/// and store as the general path through GetValueInterpolated and SetValue,
/// compiled for source type S, destination type D, method M and the store
/// rule (kRound: round to nearest before the store).
template <class S, class D, int M, bool kRound>
struct TypedPixel {
    GridSamples::TypedReader<S> read;
    GridSamples::TypedWriter<D, kRound> write;
    int rows, cols;

    TypedPixel(const XGrid& src, XGrid& dst)
        : read{src.GetData(), src.GetCSize()}, write{dst.GetData(), dst.GetCSize()}, rows(src.GetRSize()),
          cols(src.GetCSize())
    {
    }

    /// Destination (r, c) from source position (x, y).
    void operator()(int r, int c, double x, double y) const
    {
        if (x == NAN_REAL64 || y == NAN_REAL64) return;
        if (!GridSamples::InsideForInterpolation(y, x, rows, cols)) return;
        double out[4];
        if (GridSamples::InterpolateAt<M>(read, rows, cols, y, x, int(y), int(x), out)) write(r, c, out);
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

/// Calls f.template operator()<M, kRound>() for a method and a store rule,
/// for source and destination type S. Rounding is compiled in only where it
/// can change a sample: an integer type and a method that computes new
/// values (the nearest sample of an integer type is stored as it was read).
/// Nothing is called for an unknown method.
template <class S, class F>
void DispatchKernelChoice(int method, bool round, F&& f)
{
    auto withRule = [&]<int M>() {
        if constexpr (M != XINTERP_NEAREST && GridSamples::StoresIntegers(S::kCode)) {
            if (round) return f.template operator()<M, true>();
        }
        f.template operator()<M, false>();
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
/// type), a method and a store rule, or null when the processor or the
/// combination has none. Defined for the four mappers above.
template <class Mapper>
RowKernel<Mapper> FindVectorRowKernel(int type, int method, bool round);

} // namespace Pelmora::Tivra::MT::ResampleRows
