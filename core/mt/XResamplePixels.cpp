#include <tivra/mt/XResamplePixels.h>

#include <cstring>
#include <typeinfo>

#include "mt/XResampleRows.h"

namespace Pelmora::Tivra::MT {

using namespace ResampleRows;

namespace {

/// One destination row through the grids' own virtual operations:
/// GetValueInterpolated, or with no-data the same interpolation over the
/// source's GetValue with the no-data samples screened out, then SetValue.
/// With rule.round (only set for a destination that stores integers) each
/// channel is rounded before SetValue clamps and truncates it.
void GeneralRow(const XGrid& src, XGrid& dst, const PixelMapper& map, int method, const RowRule& rule, int r)
{
    const int cols = dst.GetCSize(), srcRows = src.GetRSize(), srcCols = src.GetCSize();
    const GridSamples::NoDataTest valid{rule.noDataKey, Xfn::GetChannelCount(src.GetDataType())};
    for (int c = 0; c < cols; ++c) {
        double x, y;
        map(r, c, x, y);
        if (x == NAN_REAL64 || y == NAN_REAL64) continue;
        double v[4] = {NAN_REAL64, NAN_REAL64, NAN_REAL64, NAN_REAL64};
        if (!rule.noData) {
            if (!src.GetValueInterpolated(y, x, method, v[0], v[1], v[2], v[3])) continue;
        } else {
            if (!GridSamples::InsideForInterpolation(y, x, srcRows, srcCols)) continue;
            if (!GridSamples::Interpolate(GridSamples::VirtualReader{&src}, srcRows, srcCols, y, x, int(y), int(x),
                                          method, v, valid))
                continue;
        }
        if (rule.round)
            for (double& channel : v) channel = GridSamples::RoundForStore(channel);
        dst.SetValue(r, c, v[0], v[1], v[2], v[3]);
    }
}

/// One destination row on raw typed samples, pixel by pixel.
template <class S, class D, int M, bool kRound, bool kNoData, class Mapper>
void TypedRow(const XGrid& src, XGrid& dst, const Mapper& map, const RowRule& rule, int r)
{
    const TypedPixel<S, D, M, kRound, kNoData> pixel(src, dst, rule);
    const int cols = dst.GetCSize();
    for (int c = 0; c < cols; ++c) {
        double x, y;
        map(r, c, x, y);
        pixel(r, c, x, y);
    }
}

/// The row kernel for a source type, destination type and method, or null
/// when the combination has none: the vector kernel where the processor has
/// one, else the scalar one. Kernels exist for a destination of the
/// source's own type, the usual case; other pairs take the general path, which
/// keeps the number of compiled kernels (and the build) small.
template <class Mapper>
RowKernel<Mapper> FindRowKernel(int srcType, int dstType, int method, const RowRule& rule, bool bVector)
{
    RowKernel<Mapper> kernel = nullptr;
    if (srcType != dstType) return kernel;
    if (bVector && (kernel = FindVectorRowKernel<Mapper>(srcType, method, rule))) return kernel;
    DispatchCommonType(srcType, [&]<class S>() {
        DispatchKernelChoice<S>(method, rule, [&]<int M, bool kRound, bool kNoData>() {
            kernel = &TypedRow<S, S, M, kRound, kNoData, Mapper>;
        });
    });
    return kernel;
}

/// Runs rows nIndex, nIndex + n, ... with a row kernel for the mapper when
/// the grids have one and the kernels allow it, else through the general
/// path; reports progress. A stop request ends the loop between rows, so every
/// row is either resampled or still holds the background.
template <class Mapper>
void ProcessRows(XResamplePixels& job, const Mapper& map, XResamplePixels::eKernels kernels, int nIndex, int n)
{
    const XGrid& src = *job.m_pSrc;
    XGrid& dst = *job.m_pDst;
    const PixelMapper general{job.m_pCoordMap, job.m_pProjective, job.m_pWarp};
    double noData = 0.0;
    const bool screen = job.GetSourceNoData(noData);
    const RowRule rule{job.GetRounding() && GridSamples::StoresIntegers(dst.GetDataType()), screen,
                       GridSamples::NoDataKey(src.GetDataType(), noData)};
    const RowKernel<Mapper> kernel =
        kernels == XResamplePixels::KERNELS_GENERAL
            ? nullptr
            : FindRowKernel<Mapper>(src.GetDataType(), dst.GetDataType(), job.m_nInterpolation, rule,
                                    kernels == XResamplePixels::KERNELS_VECTOR);
    const int rows = dst.GetRSize();
    const int mine = nIndex < rows ? (rows - nIndex + n - 1) / n : 0;
    int done = 0;
    for (int r = nIndex; r < rows && !job.IsStopping(); r += n) {
        if (kernel) kernel(src, dst, map, rule, r);
        else GeneralRow(src, dst, general, job.m_nInterpolation, rule, r);
        job.OnMessagePercent(nIndex, 100.0 * ++done / mine);
    }
    if (mine == 0) job.OnMessagePercent(nIndex, 100);
}

bool IsMethod(int method) { return method >= XINTERP_NEAREST && method <= XINTERP_CUBIC_SEPARABLE; }

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
      m_nInterpolation(XINTERP_NEAREST), m_nKernels(KERNELS_VECTOR), m_bRounding(false), m_bSrcNoData(false),
      m_dSrcNoData(0.0)
{
}

XResamplePixels::~XResamplePixels() { CloseThreads(); }

void XResamplePixels::Process(int nIndex)
{
    const int n = m_nThreads > 0 ? m_nThreads : 1;
    // Row kernels read and write the sample blocks; grids without direct
    // sample access take the general path.
    const eKernels kernels =
        m_pSrc->HasDirectSampleAccess() && m_pDst->HasDirectSampleAccess() ? m_nKernels : KERNELS_GENERAL;
    const int set = (m_pCoordMap ? 1 : 0) + (m_pProjective ? 1 : 0) + (m_pWarp ? 1 : 0);
    if (kernels != KERNELS_GENERAL && set == 1) {
        // One mapping alone gets a mapper inlined into the row kernel; a warp
        // only when it is a plain affine XWarpCoeff (derived warps override
        // the evaluation, other forms keep the virtual call).
        if (m_pCoordMap) return ProcessRows(*this, CoordMapMapper{m_pCoordMap}, kernels, nIndex, n);
        if (m_pProjective && m_pProjective->m_H.GetRows() == 3 && m_pProjective->m_H.GetCols() == 3)
            return ProcessRows(*this, ProjectiveMapper{m_pProjective->m_H.GetData()}, kernels, nIndex, n);
        if (m_pWarp && typeid(*m_pWarp) == typeid(XWarpCoeff) && m_pWarp->m_nMethod == XWARP_AFFINE)
            return ProcessRows(*this, AffineMapper{m_pWarp->m_CoeffX, m_pWarp->m_CoeffY}, kernels, nIndex, n);
    }
    ProcessRows(*this, PixelMapper{m_pCoordMap, m_pProjective, m_pWarp}, kernels, nIndex, n);
}

bool XResamplePixels::Start(double dBackground)
{
    XGrid& dst = *m_pDst;
    const int rows = dst.GetRSize(), cols = dst.GetCSize();
    // A zero background on a one-channel type is what cleared bytes read as.
    double a, b, c, d;
    if (dst.ConvToFourValues(0.0, a, b, c, d) && b == NAN_REAL64 && dBackground == 0.0) {
        if (dst.HasDirectSampleAccess() && rows > 0 && cols > 0)
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
