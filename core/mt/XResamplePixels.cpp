#include <tivra/mt/XResamplePixels.h>

#include <cstring>
#include <typeinfo>

#include "grid/XGridAccess.h"

namespace Pelmora::Tivra::MT {

using namespace GridSamples;

namespace {

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

/// One destination row through the grids' own virtual operations.
void GeneralRow(const XGrid& src, XGrid& dst, const PixelMapper& map, int method, int r)
{
    const int cols = dst.GetCSize();
    for (int c = 0; c < cols; ++c) {
        double x, y;
        map(r, c, x, y);
        if (x == NAN_REAL64 || y == NAN_REAL64) continue;
        double a, b, cc, d;
        if (src.GetValueInterpolated(y, x, method, a, b, cc, d)) dst.SetValue(r, c, a, b, cc, d);
    }
}

/// One destination row on raw typed samples: the same reads, interpolation
/// and stores as GeneralRow, compiled for one source type S, destination
/// type D, method M and mapper.
template <class S, class D, int M, class Mapper>
void TypedRow(const XGrid& src, XGrid& dst, const Mapper& map, int r)
{
    const TypedReader<S> read{src.GetData(), src.GetCSize()};
    const TypedWriter<D> write{dst.GetData(), dst.GetCSize()};
    const int rows = src.GetRSize(), cols = src.GetCSize(), dstCols = dst.GetCSize();
    double out[4];
    for (int c = 0; c < dstCols; ++c) {
        double x, y;
        map(r, c, x, y);
        if (x == NAN_REAL64 || y == NAN_REAL64) continue;
        if (!InsideForInterpolation(y, x, rows, cols)) continue;
        if (InterpolateAt<M>(read, rows, cols, y, x, int(y), int(x), out)) write(r, c, out);
    }
}

template <class Mapper>
using RowKernel = void (*)(const XGrid&, XGrid&, const Mapper&, int);

/// Calls f.template operator()<Codec>() for the one-channel types that have
/// row kernels; false for every other type.
template <class F>
bool DispatchCommonType(int type, F&& f)
{
    switch (type) {
    case XDT_UINT08: case XDT_UINT16: case XDT_SINT16: case XDT_REAL32: case XDT_REAL64:
        return DispatchSampleType(type, f);
    default:
        return false;
    }
}

/// The row kernel for a source type, destination type and method, or null
/// when the combination has none. Kernels exist for a destination of the
/// source's own type, the usual case; other pairs take the general path, which
/// keeps the number of compiled kernels (and the build) small.
template <class Mapper>
RowKernel<Mapper> FindRowKernel(int srcType, int dstType, int method)
{
    RowKernel<Mapper> kernel = nullptr;
    if (srcType != dstType) return kernel;
    DispatchCommonType(srcType, [&]<class S>() {
        switch (method) {
        case XINTERP_NEAREST: kernel = &TypedRow<S, S, XINTERP_NEAREST, Mapper>; break;
        case XINTERP_BILINEAR: kernel = &TypedRow<S, S, XINTERP_BILINEAR, Mapper>; break;
        case XINTERP_CUBIC: kernel = &TypedRow<S, S, XINTERP_CUBIC, Mapper>; break;
        default: break;
        }
    });
    return kernel;
}

/// Runs rows nIndex, nIndex + n, ... with a row kernel for the mapper when
/// the grids have one, else through the general path; reports progress.
template <class Mapper>
void ProcessRows(XResamplePixels& job, const Mapper& map, bool bTyped, int nIndex, int n)
{
    const XGrid& src = *job.m_pSrc;
    XGrid& dst = *job.m_pDst;
    const PixelMapper general{job.m_pCoordMap, job.m_pProjective, job.m_pWarp};
    const RowKernel<Mapper> kernel =
        bTyped ? FindRowKernel<Mapper>(src.GetDataType(), dst.GetDataType(), job.m_nInterpolation) : nullptr;
    const int rows = dst.GetRSize();
    const int mine = nIndex < rows ? (rows - nIndex + n - 1) / n : 0;
    int done = 0;
    for (int r = nIndex; r < rows; r += n) {
        if (kernel) kernel(src, dst, map, r);
        else GeneralRow(src, dst, general, job.m_nInterpolation, r);
        job.OnMessagePercent(nIndex, 100.0 * ++done / mine);
    }
    if (mine == 0) job.OnMessagePercent(nIndex, 100);
}

bool IsMethod(int method) { return method >= XINTERP_NEAREST && method <= XINTERP_CUBIC; }

/// Runs fn with a REAL64 grid over the matrix's storage.
template <class Fn>
bool WithMatrixGrid(XMatrix* pDst, Fn fn)
{
    if (!pDst) return false;
    XGrid view;
    view.Attach(pDst->GetData(), pDst->GetRows(), pDst->GetCols(), XDT_REAL64);
    return fn(&view);
}

} // namespace

XResamplePixels::XResamplePixels()
    : m_pSrc(nullptr), m_pDst(nullptr), m_pCoordMap(nullptr), m_pProjective(nullptr), m_pWarp(nullptr),
      m_nInterpolation(XINTERP_NEAREST), m_bGeneralOnly(false)
{
}

XResamplePixels::~XResamplePixels() { CloseThreads(); }

void XResamplePixels::Process(int nIndex)
{
    const int n = m_nThreads > 0 ? m_nThreads : 1;
    const bool typed = !m_bGeneralOnly && m_pSrc->GetData() && m_pDst->GetData();
    const int set = (m_pCoordMap ? 1 : 0) + (m_pProjective ? 1 : 0) + (m_pWarp ? 1 : 0);
    if (typed && set == 1) {
        // One mapping alone gets a mapper inlined into the row kernel; a warp
        // only when it is a plain affine XWarpCoeff (derived warps override
        // the evaluation, other forms keep the virtual call).
        if (m_pCoordMap) return ProcessRows(*this, CoordMapMapper{m_pCoordMap}, true, nIndex, n);
        if (m_pProjective && m_pProjective->m_H.GetRows() == 3 && m_pProjective->m_H.GetCols() == 3)
            return ProcessRows(*this, ProjectiveMapper{m_pProjective->m_H.GetData()}, true, nIndex, n);
        if (m_pWarp && typeid(*m_pWarp) == typeid(XWarpCoeff) && m_pWarp->m_nMethod == XWARP_AFFINE)
            return ProcessRows(*this, AffineMapper{m_pWarp->m_CoeffX, m_pWarp->m_CoeffY}, true, nIndex, n);
    }
    ProcessRows(*this, PixelMapper{m_pCoordMap, m_pProjective, m_pWarp}, typed, nIndex, n);
}

bool XResamplePixels::Start(double dBackground)
{
    XGrid& dst = *m_pDst;
    const int rows = dst.GetRSize(), cols = dst.GetCSize();
    // A zero background on a one-channel type is what cleared bytes read as.
    double a, b, c, d;
    if (dst.ConvToFourValues(0.0, a, b, c, d) && b == NAN_REAL64 && dBackground == 0.0) {
        if (dst.GetData() && rows > 0 && cols > 0)
            std::memset(dst.GetData(), 0, size_t(rows) * size_t(cols) * size_t(dst.GetDataSize()));
        else
            dst.SetSubset(0.0, NAN_REAL64, NAN_REAL64, NAN_REAL64, 0, rows - 1, 0, cols - 1);
    } else if (rows >= 1 && cols >= 1) {
        dst.SetSubset(dBackground, NAN_REAL64, NAN_REAL64, NAN_REAL64, 0, rows - 1, 0, cols - 1);
    }
    for (int i = 0; i < m_nThreads; ++i) OnMessagePercent(i, 0);
    return Run();
}

bool XResamplePixels::Begin(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap,
                            const XProjectiveWarp* pProjective, XWarpCoeff* pWarp, int nInterpolation,
                            double dBackground)
{
    if (!pSrc || !pDst || !(pMap || pProjective || pWarp) || !IsMethod(nInterpolation)) return false;
    m_pSrc = pSrc;
    m_pDst = pDst;
    m_pCoordMap = pMap;
    m_pProjective = pProjective;
    m_pWarp = pWarp;
    m_nInterpolation = nInterpolation;
    return Start(dBackground);
}

bool XResamplePixels::ResampleByCoordMap(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, int nInterpolation,
                                         double dBackground)
{
    if (!pMap || !pDst) return false;
    if (!pMap->m_pData || pMap->m_nRows != pDst->GetRSize() || pMap->m_nCols != pDst->GetCSize()) return false;
    return Begin(pSrc, pDst, pMap, nullptr, nullptr, nInterpolation, dBackground);
}

bool XResamplePixels::ResampleByProjective(const XGrid* pSrc, XGrid* pDst, const XProjectiveWarp* pWarp,
                                           int nInterpolation, double dBackground)
{
    return pWarp && Begin(pSrc, pDst, nullptr, pWarp, nullptr, nInterpolation, dBackground);
}

bool XResamplePixels::ResampleByWarp(const XGrid* pSrc, XGrid* pDst, XWarpCoeff* pWarp, int nInterpolation,
                                     double dBackground)
{
    return pWarp && Begin(pSrc, pDst, nullptr, nullptr, pWarp, nInterpolation, dBackground);
}

bool ResampleByCoordMap(const XGrid* pSrc, XGrid* pDst, const XCoordMap* pMap, int nInterpolation,
                        double dBackground)
{
    XResamplePixels engine;
    return engine.ResampleByCoordMap(pSrc, pDst, pMap, nInterpolation, dBackground);
}

bool ResampleByCoordMap(const XGrid* pSrc, XMatrix* pDst, const XCoordMap* pMap, int nInterpolation,
                        double dBackground)
{
    return WithMatrixGrid(pDst, [&](XGrid* g) { return ResampleByCoordMap(pSrc, g, pMap, nInterpolation, dBackground); });
}

bool ResampleByProjective(const XGrid* pSrc, XGrid* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                          double dBackground)
{
    XResamplePixels engine;
    return engine.ResampleByProjective(pSrc, pDst, pWarp, nInterpolation, dBackground);
}

bool ResampleByProjective(const XGrid* pSrc, XMatrix* pDst, const XProjectiveWarp* pWarp, int nInterpolation,
                          double dBackground)
{
    return WithMatrixGrid(pDst,
                          [&](XGrid* g) { return ResampleByProjective(pSrc, g, pWarp, nInterpolation, dBackground); });
}

bool ResampleByWarp(const XGrid* pSrc, XGrid* pDst, XWarpCoeff* pWarp, int nInterpolation, double dBackground)
{
    XResamplePixels engine;
    return engine.ResampleByWarp(pSrc, pDst, pWarp, nInterpolation, dBackground);
}

bool ResampleByWarp(const XGrid* pSrc, XMatrix* pDst, XWarpCoeff* pWarp, int nInterpolation, double dBackground)
{
    return WithMatrixGrid(pDst, [&](XGrid* g) { return ResampleByWarp(pSrc, g, pWarp, nInterpolation, dBackground); });
}

} // namespace Pelmora::Tivra::MT
