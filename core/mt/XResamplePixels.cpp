#include <tivra/mt/XResamplePixels.h>

#include <tivra/grid/XGridFile.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>
#include <typeinfo>

#include "grid/XGridFileTiles.h"
#include "mt/XResampleRows.h"

namespace Pelmora::Tivra::MT {

using namespace ResampleRows;

namespace {

/// One destination row r through the grids' own virtual operations, stored
/// in row dr of dst: GetValueInterpolated, or with no-data the same
/// interpolation over the source's GetValue with the no-data samples
/// screened out, then SetValue. With rule.round (only set for a destination
/// that stores integers) each channel is rounded before SetValue clamps and
/// truncates it.
void GeneralRow(const XGrid& src, XGrid& dst, const PixelMapper& map, int method, const RowRule& rule, int r, int dr)
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
        dst.SetValue(dr, c, v[0], v[1], v[2], v[3]);
    }
}

/// One destination row r from a grid-file source read through a tile cache,
/// stored in row dr of dst: the general path's tests, interpolation, no-data
/// screen and rounding, on the same sample values. A destination of the
/// source's type held in memory is written by the typed writer, which stores
/// what SetValue stores (a rounded value is whole, so truncating it keeps
/// it).
template <class S, int M, class Mapper>
void TileRow(GridSamples::GridFileTiles& tiles, int rows, int cols, XGrid& dst, const Mapper& map,
             const RowRule& rule, int r, int dr)
{
    const GridSamples::TileReader<S> read{&tiles};
    const GridSamples::NoDataTest valid{rule.noDataKey, S::kChannels};
    const bool typed = dst.GetDataType() == S::kCode && dst.HasDirectSampleAccess();
    const GridSamples::TypedWriter<S> write{dst.GetData(), dst.GetCSize()};
    const int dstCols = dst.GetCSize();
    for (int c = 0; c < dstCols; ++c) {
        double x, y;
        map(r, c, x, y);
        if (x == NAN_REAL64 || y == NAN_REAL64) continue;
        if (!GridSamples::InsideForInterpolation(y, x, rows, cols)) continue;
        double out[4];
        const bool ok = rule.noData ? GridSamples::InterpolateAt<M>(read, rows, cols, y, x, int(y), int(x), out, valid)
                                    : GridSamples::InterpolateAt<M>(read, rows, cols, y, x, int(y), int(x), out);
        if (!ok) continue;
        if (rule.round)
            for (int k = 0; k < S::kChannels; ++k) out[k] = GridSamples::RoundForStore(out[k]);
        if (typed) write(dr, c, out);
        else dst.SetValue(dr, c, out[0], out[1], out[2], out[3]);
    }
}

template <class Mapper>
using TileRowFn = void (*)(GridSamples::GridFileTiles&, int, int, XGrid&, const Mapper&, const RowRule&, int, int);

/// The tile row for a source type and method: every type with the general
/// mapping, the types of the row kernels with the inlined ones.
template <class Mapper>
TileRowFn<Mapper> FindTileRow(int type, int method)
{
    TileRowFn<Mapper> fn = nullptr;
    auto pick = [&]<class S>() {
        switch (method) {
        case XINTERP_NEAREST: fn = &TileRow<S, XINTERP_NEAREST, Mapper>; break;
        case XINTERP_BILINEAR: fn = &TileRow<S, XINTERP_BILINEAR, Mapper>; break;
        case XINTERP_CUBIC: fn = &TileRow<S, XINTERP_CUBIC, Mapper>; break;
        case XINTERP_CUBIC_SEPARABLE: fn = &TileRow<S, XINTERP_CUBIC_SEPARABLE, Mapper>; break;
        default: break;
        }
    };
    if constexpr (std::is_same_v<Mapper, PixelMapper>) GridSamples::DispatchSampleType(type, pick);
    else DispatchCommonType(type, pick);
    return fn;
}

/// The grids one worker reads and writes. A grid file moves a single window
/// even to read, so it cannot serve several workers at once: each worker
/// gets views of its own over the same scratch file (the destination's
/// writable; workers write disjoint rows). A destination grid file is
/// written a row at a time: the row (holding the background) is read into
/// memory, computed there through the general path and written back, which
/// stores the same bytes as SetValue on the file would.
struct WorkerGrids {
    const XGrid* pSrc = nullptr;
    XGrid* pDst = nullptr;
    XGridFile srcView, dstView;
    XGridFile* pDstFile = nullptr;  ///< the destination's view when rows go through memory
    XGrid row;                      ///< one destination row in memory
    /// Tiles of a grid-file source, read by the interpolation in place of
    /// one seek and copy per sample.
    std::unique_ptr<GridSamples::GridFileTiles> pTiles;
    /// A grid file that fits one window of its view, as an in-memory grid
    /// over the mapped bytes, for the row kernels: the source is read only
    /// inside the view's fault guard (see RunBand); a destination file is
    /// written there too.
    XGrid mappedSrc, mappedDst;

    /// False when a grid file could not be opened for this worker.
    bool Open(const XGrid* pSource, XGrid* pDest)
    {
        pSrc = pSource;
        pDst = pDest;
        if (const XGridFile* f = XGridFile::AsRowGrid(pSource)) {
            if (!f->OpenView(srcView, false)) return false;
            pSrc = &srcView;
            pTiles = std::make_unique<GridSamples::GridFileTiles>(srcView);
        }
        if (XGridFile* f = XGridFile::AsRowGrid(pDest)) {
            if (!f->OpenView(dstView, true) || !row.Alloc(1, f->GetCSize(), f->GetDataType())) return false;
            pDst = pDstFile = &dstView;
        }
        if (pTiles) MapWhole(srcView, mappedSrc);
        if (pDstFile && mappedSrc.IsValid()) MapWhole(dstView, mappedDst);
        return true;
    }

    /// Attaches grid to the bytes of a view whose whole file lies in one
    /// window; leaves it empty otherwise.
    static void MapWhole(XGridFile& view, XGrid& grid)
    {
        XMMFile* file = view.GetMMFile();
        const uint64_t bytes = file->GetLength();
        uint32_t available = 0;
        uint8_t* p = bytes <= XMMFile::kMaxWindow ? file->GetPointer(0, available) : nullptr;
        if (p && available >= bytes) grid.Attach(p, view.GetRSize(), view.GetCSize(), view.GetDataType());
    }

    /// The grids the row kernels read and write: the mapped ones where
    /// there are such.
    const XGrid& KernelSrc() const { return mappedSrc.IsValid() ? mappedSrc : *pSrc; }
    XGrid& KernelDst() { return mappedDst.IsValid() ? mappedDst : *pDst; }
    /// Where this worker writes the background of its rows.
    XGrid* FillTarget() { return mappedDst.IsValid() ? &mappedDst : pDst; }

    /// After a page fault the view is reopened at a new address: the mapped
    /// grids follow it. False when either can no longer be mapped.
    bool Remap()
    {
        const bool dst = mappedDst.IsValid();
        mappedSrc.Free();
        mappedDst.Free();
        MapWhole(srcView, mappedSrc);
        if (dst) MapWhole(dstView, mappedDst);
        return mappedSrc.IsValid() && mappedDst.IsValid() == dst;
    }
};

/// One band of destination rows [r0, r1) by a row kernel, block by block.
template <class Mapper>
struct Band {
    RowKernel<Mapper> kernel;
    const XGrid* src;
    XGrid* dst;
    const Mapper* map;
    const RowRule* rule;
    int r0, r1;

    void Run() const
    {
        const int cols = dst->GetCSize();
        for (int c0 = 0; c0 < cols; c0 += kBlockCols)
            for (int r = r0; r < r1; ++r) kernel(*src, *dst, *map, *rule, r, c0, std::min(cols, c0 + kBlockCols));
    }
};

/// Runs a band on a mapped grid-file source inside the view's fault guard;
/// false when a page fault ended it.
template <class Mapper>
bool RunBand(WorkerGrids& grids, const Band<Mapper>& band)
{
    if (!grids.mappedSrc.IsValid()) {
        band.Run();
        return true;
    }
    XMMFile* file = grids.srcView.GetMMFile();
    return file->Visit(0, uint32_t(file->GetLength()),
                       [](const uint8_t*, uint32_t, void* p) { static_cast<const Band<Mapper>*>(p)->Run(); },
                       const_cast<Band<Mapper>*>(&band), nullptr);
}

/// True for a grid file whose class has its own accessors: it has no views,
/// so only one worker may use it.
bool IsSharedGridFile(const XGrid* pGrid)
{
    return dynamic_cast<const XGridFile*>(pGrid) && !XGridFile::AsRowGrid(pGrid);
}

/// Columns c0 .. c1 - 1 of a destination row on raw typed samples, pixel by
/// pixel.
template <class S, class D, int M, bool kRound, bool kNoData, class Mapper>
void TypedRow(const XGrid& src, XGrid& dst, const Mapper& map, const RowRule& rule, int r, int c0, int c1)
{
    const TypedPixel<S, D, M, kRound, kNoData> pixel(src, dst, rule);
    for (int c = c0; c < c1; ++c) {
        double x, y;
        map(r, c, x, y);
        pixel(r, c, x, y);
    }
}

/// The row kernel for a source type, destination type and method, or null
/// when the combination has none: a vector kernel where the processor has one
/// and the choice allows it, else the scalar one. Kernels exist for a
/// destination of the source's own type, the usual case; other pairs take the
/// general path, which keeps the number of compiled kernels (and the build)
/// small.
template <class Mapper>
RowKernel<Mapper> FindRowKernel(int srcType, int dstType, int method, const RowRule& rule,
                                XResamplePixels::eKernels kernels)
{
    RowKernel<Mapper> kernel = nullptr;
    if (srcType != dstType) return kernel;
    const bool vector = kernels == XResamplePixels::KERNELS_VECTOR || kernels == XResamplePixels::KERNELS_VECTOR4;
    if (vector && (kernel = FindVectorRowKernel<Mapper>(srcType, method, rule,
                                                        kernels == XResamplePixels::KERNELS_VECTOR)))
        return kernel;
    DispatchCommonType(srcType, [&]<class S>() {
        DispatchKernelChoice<S>(method, rule, [&]<int M, bool kRound, bool kNoData>() {
            kernel = &TypedRow<S, S, M, kRound, kNoData, Mapper>;
        });
    });
    return kernel;
}

/// Resamples the destination with a row kernel for the mapper when the grids
/// have one and the kernels allow it (bands nIndex, nIndex + n, ... of
/// blocks), else through the general path (rows nIndex, nIndex + n, ...);
/// reports progress. Where the workers fill the background, the general path
/// fills each row just before it computes it, and row kernels write the
/// background themselves. A stop request ends the loop between
/// bands or rows, so every row is either resampled or holds the background.
template <class Mapper>
void ProcessRows(XResamplePixels& job, WorkerGrids& grids, const Mapper& map, XResamplePixels::eKernels kernels,
                 int nIndex, int n)
{
    const XGrid& src = *grids.pSrc;
    XGrid& dst = *grids.pDst;
    const PixelMapper general{job.m_pCoordMap, job.m_pProjective, job.m_pWarp};
    double noData = 0.0;
    const bool screen = job.GetSourceNoData(noData);
    // The background as one destination sample stores it, for the row
    // kernels, which write it themselves.
    XGrid background(1, 1, dst.GetDataType());
    background.SetSubset(job.GetBackground(), NAN_REAL64, NAN_REAL64, NAN_REAL64, 0, 0, 0, 0);
    const RowRule rule{job.GetRounding() && GridSamples::StoresIntegers(dst.GetDataType()), screen,
                       GridSamples::NoDataKey(src.GetDataType(), noData), background.GetData()};
    const RowKernel<Mapper> kernel =
        kernels == XResamplePixels::KERNELS_GENERAL
            ? nullptr
            : FindRowKernel<Mapper>(src.GetDataType(), dst.GetDataType(), job.m_nInterpolation, rule, kernels);
    // A grid-file destination takes the kernels only where it is mapped.
    const bool kernelDst = !grids.pDstFile || grids.mappedDst.IsValid();
    const int rows = dst.GetRSize();
    // Rows not computed after a stop get their background all the same.
    const bool fill = job.WorkersFillBackground();
    if (kernel && kernelDst) {
        const int bands = (rows + kBandRows - 1) / kBandRows;
        const int mine = nIndex < bands ? (bands - nIndex + n - 1) / n : 0;
        int done = 0, b = nIndex;
        for (; b < bands && !job.IsStopping(); b += n) {
            const int r0 = b * kBandRows, r1 = std::min(rows, r0 + kBandRows);
            const Band<Mapper> band{kernel, &grids.KernelSrc(), &grids.KernelDst(), &map, &rule, r0, r1};
            // A band a page fault cut short holds the background instead; the
            // rows after it too when the file cannot be mapped again.
            if (!RunBand(grids, band)) {
                const bool mapped = grids.Remap();
                if (fill) job.FillBackground(r0, r1, grids.FillTarget());
                if (!mapped) break;
            }
            job.OnMessagePercent(nIndex, 100.0 * ++done / mine);
        }
        for (; b < bands && fill; b += n)
            job.FillBackground(b * kBandRows, std::min(rows, (b + 1) * kBandRows), grids.FillTarget());
        if (mine == 0) job.OnMessagePercent(nIndex, 100);
        return;
    }
    const TileRowFn<Mapper> tileRow = grids.pTiles ? FindTileRow<Mapper>(src.GetDataType(), job.m_nInterpolation) : nullptr;
    const int mine = nIndex < rows ? (rows - nIndex + n - 1) / n : 0;
    int done = 0, r = nIndex;
    for (; r < rows && !job.IsStopping(); r += n) {
        if (fill) job.FillBackground(r, r + 1, grids.FillTarget());
        XGrid& target = grids.pDstFile ? grids.row : dst;
        const int dr = grids.pDstFile ? 0 : r;
        if (!grids.pDstFile || grids.pDstFile->ReadRow(r, 0, target.GetCSize(), target.GetData())) {
            if (tileRow) tileRow(*grids.pTiles, src.GetRSize(), src.GetCSize(), target, map, rule, r, dr);
            else GeneralRow(src, target, general, job.m_nInterpolation, rule, r, dr);
            if (grids.pDstFile) grids.pDstFile->WriteRow(r, 0, target.GetCSize(), target.GetData());
        }
        job.OnMessagePercent(nIndex, 100.0 * ++done / mine);
    }
    for (; r < rows && fill; r += n) job.FillBackground(r, r + 1, grids.FillTarget());
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
      m_nInterpolation(XINTERP_NEAREST), m_nKernels(KERNELS_VECTOR), m_bWorkersFill(false), m_dBackground(0.0),
      m_bRounding(false), m_bSrcNoData(false), m_dSrcNoData(0.0)
{
}

XResamplePixels::~XResamplePixels() { CloseThreads(); }

void XResamplePixels::Process(int nIndex)
{
    int n = m_nThreads > 0 ? m_nThreads : 1;
    WorkerGrids grids;
    if (IsSharedGridFile(m_pSrc) || IsSharedGridFile(m_pDst) || !grids.Open(m_pSrc, m_pDst)) {
        // Grid files without views of their own: worker 0 does every row on
        // the grids themselves, the others have nothing to do.
        if (nIndex != 0) return OnMessagePercent(nIndex, 100);
        grids.pTiles.reset();
        grids.mappedSrc.Free();
        grids.mappedDst.Free();
        grids.srcView.Free();
        grids.dstView.Free();
        grids.pDstFile = nullptr;
        grids.pSrc = m_pSrc;
        grids.pDst = m_pDst;
        n = 1;
    }
    // Row kernels read and write the sample blocks; grids without direct
    // sample access take the general path, or the tile rows for a grid-file
    // source, which take the inlined mappers too.
    const bool bDirect = grids.KernelSrc().HasDirectSampleAccess() && grids.KernelDst().HasDirectSampleAccess();
    const eKernels kernels = bDirect ? m_nKernels : KERNELS_GENERAL;
    const int set = (m_pCoordMap ? 1 : 0) + (m_pProjective ? 1 : 0) + (m_pWarp ? 1 : 0);
    if (m_nKernels != KERNELS_GENERAL && (bDirect || grids.pTiles) && set == 1) {
        // One mapping alone gets a mapper inlined into the row kernel; a warp
        // only when it is a plain affine XWarpCoeff (derived warps override
        // the evaluation, other forms keep the virtual call).
        if (m_pCoordMap) return ProcessRows(*this, grids, CoordMapMapper{m_pCoordMap}, kernels, nIndex, n);
        if (m_pProjective && m_pProjective->m_H.GetRows() == 3 && m_pProjective->m_H.GetCols() == 3)
            return ProcessRows(*this, grids, ProjectiveMapper{m_pProjective->m_H.GetData()}, kernels, nIndex, n);
        if (m_pWarp && typeid(*m_pWarp) == typeid(XWarpCoeff) && m_pWarp->m_nMethod == XWARP_AFFINE)
            return ProcessRows(*this, grids, AffineMapper{m_pWarp->m_CoeffX, m_pWarp->m_CoeffY}, kernels, nIndex, n);
    }
    ProcessRows(*this, grids, PixelMapper{m_pCoordMap, m_pProjective, m_pWarp}, kernels, nIndex, n);
}

void XResamplePixels::FillBackground(int nFirstRow, int nEndRow, XGrid* pDst)
{
    XGrid& dst = pDst ? *pDst : *m_pDst;
    const int cols = dst.GetCSize();
    if (nFirstRow >= nEndRow || cols < 1) return;
    // A zero background on a one-channel type is what cleared bytes read as.
    double a, b, c, d;
    if (dst.HasDirectSampleAccess() && m_dBackground == 0.0 && dst.ConvToFourValues(0.0, a, b, c, d) &&
        b == NAN_REAL64) {
        const size_t rowBytes = size_t(cols) * size_t(dst.GetDataSize());
        std::memset(dst.GetData() + size_t(nFirstRow) * rowBytes, 0, size_t(nEndRow - nFirstRow) * rowBytes);
    } else {
        dst.SetSubset(m_dBackground, NAN_REAL64, NAN_REAL64, NAN_REAL64, nFirstRow, nEndRow - 1, 0, cols - 1);
    }
}

bool XResamplePixels::Start(double dBackground)
{
    m_dBackground = dBackground;
    // A destination in memory or a grid file gets its background from the
    // workers, each filling the rows it is about to compute (a grid file
    // through the worker's own view): in parallel, and while the rows are in
    // cache; the row kernels write it themselves. Other destinations (grids
    // with accessors of their own) are filled here, whole.
    m_bWorkersFill = (m_pDst->HasDirectSampleAccess() && !dynamic_cast<const XGridFile*>(m_pDst)) ||
                     XGridFile::AsRowGrid(m_pDst);
    if (!m_bWorkersFill) FillBackground(0, m_pDst->GetRSize());
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
