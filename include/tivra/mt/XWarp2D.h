// Warps fitted to control points: a global polynomial with an optional grid
// of local polynomials.
#pragma once

#include <cstdint>

#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XWarpCoeff.h>

namespace Pelmora::Tivra::MT {

/// Storage of the cell grid of XWarp2D: rows along y, columns along x,
/// row-major; capacity is the number of sets owned.
struct XWarpCellGrid {
    XWarpCoeff* m_pData = nullptr;
    int32_t m_nRows = 0;
    int32_t m_nCols = 0;
    int32_t m_nCapacity = 0;
};

/// A polynomial mapping fitted by least squares to control points: the base
/// part holds the global fit and its residuals; an optional grid of cells
/// over the source plane holds one local fit per cell. A point maps through
/// the cell it falls in (points outside the covered rectangle through the
/// nearest edge cell); a cell without a fit of its own (too few points)
/// defers to the global polynomial.
class XWarp2D : public XWarpCoeff {
public:
    XWarp2D();
    XWarp2D(const XWarp2D& src);
    XWarp2D& operator=(const XWarp2D& src);
    ~XWarp2D() override;

    // The other mapping forms of the base class reach this in-place
    // WarpPoint through the virtual table, so they need no override.
    using XWarpCoeff::WarpPoint;
    /// Method Null, no grid, the unbounded rectangle; residuals kept.
    void Reset() override;
    bool WarpPoint(double& x, double& y) override;
    /// True when neither the global set nor any cell maps anything.
    bool IsUnchanged() const override;

    /// Fits one set by least squares from n = sx.GetSize() point pairs. The
    /// design matrix has one column per term in coefficient order, in source
    /// coordinates centred and scaled to [-1, 1] per axis; the solution is
    /// then rewritten for the raw coordinates, so the set maps raw source
    /// points as before. Source points far from the origin relative to their
    /// spread (a small footprint in map units) therefore fit as well as any
    /// others, while exactly collinear or repeated points still fail. The raw
    /// form itself cancels when evaluated far from the origin: its terms grow
    /// as (offset / half-span)^order, so a third-order mapping over 200 m at a
    /// UTM northing of 4.2e6 m with a few pixels of cubic distortion maps
    /// about 0.02 pixel off its normalised fit (1e-3 pixel over 0.01 degree of
    /// longitude, under 1e-6 pixel for second order at those offsets). Null and
    /// NoChange leave the set Null and succeed. False (the set Null) when
    /// storage cannot be had or a solve fails, for instance with fewer points
    /// than terms. The residuals are the RMS differences of the mapped source
    /// points, or 1.7e308 when none maps.
    static bool FitCoeff(XWarpCoeff& target, int nMethod, const XVector& sx, const XVector& sy,
                         const XVector& tx, const XVector& ty);

    /// Fits the global set over the points whose mask byte is non-zero (all
    /// when pMask is null) and, when nCols x nRows >= 2, a grid of local sets
    /// over the bounding box of those points. Cells are closed rectangles, so
    /// a point on a shared edge takes part in both cells' fits. A cell whose
    /// fit fails stays Null with residuals 1.7e308. The global residuals are
    /// then those of the whole piecewise mapping. False only when the global
    /// fit fails.
    bool Fit(int nMethod, int n, const double* pSrcX, const double* pSrcY, const double* pDstX,
             const double* pDstY, const uint8_t* pMask, int nCols, int nRows);
    bool Fit(int nMethod, int n, const XVertex2<double>* pSrc, const XVertex2<double>* pDst, const uint8_t* pMask,
             int nCols, int nRows);

    /// RMS differences between the targets and the mapped sources over the
    /// points whose mask byte is non-zero; (1.7e308, 1.7e308) when n < 1 or no
    /// point maps.
    static void CalcRms(XWarpCoeff& mapping, int n, const double* pSrcX, const double* pSrcY, const double* pDstX,
                        const double* pDstY, const uint8_t* pMask, double& dRmsX, double& dRmsY);
    static void CalcRms(XWarpCoeff& mapping, int n, const XVertex2<double>* pSrc, const XVertex2<double>* pDst,
                        const uint8_t* pMask, double& dRmsX, double& dRmsY);

    int GetCellRows() const { return m_Cells.m_nRows; }
    int GetCellCols() const { return m_Cells.m_nCols; }
    /// Cell (j, i): row j along y, column i along x; no range check.
    const XWarpCoeff& GetCell(int j, int i) const { return m_Cells.m_pData[j * m_Cells.m_nCols + i]; }

    XWarpCellGrid m_Cells;
    /// minX, minY, maxX, maxY of the rectangle the grid covers.
    double m_Bound[4];

private:
    /// New grid shape; reuses owned storage that is large enough.
    bool ResizeCells(int nRows, int nCols);
    void FreeCells();
};

} // namespace Pelmora::Tivra::MT
