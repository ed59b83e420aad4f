// The raster grid: a two-dimensional array of samples of one type with an
// optional geo-reference mapping rows and columns to map coordinates.
#pragma once

#include <cstdint>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra {

/// Interpolation methods of GetValueInterpolated.
///
/// XINTERP_CUBIC is a radial kernel: each of the 4 x 4 samples about the
/// position is weighted by the cubic w(d) of its Euclidean distance d, and
/// the weighted sum is divided by the sum of the weights.
///
/// XINTERP_CUBIC_SEPARABLE is the separable cubic convolution with a = -0.5
/// (the Catmull-Rom spline, what most imaging tools call "cubic"): the same
/// 4 x 4 samples weighted by w(dx - j) * w(dy - i), one cubic per axis, with
/// w(s) = 1.5|s|^3 - 2.5|s|^2 + 1 below 1, -0.5|s|^3 + 2.5|s|^2 - 4|s| + 2
/// below 2, else 0, and the edge samples repeated outward (before the first
/// row or column, -1 < y < 0, the kernel reaches one sample further out,
/// which is the edge sample again). The weights of each axis sum to one, so
/// the sum needs no division: flat areas and samples at whole positions come
/// back exactly, and quadratic surfaces are reproduced. A single bright
/// sample keeps its value at its own position, where the radial kernel
/// blends in the diagonal neighbours and gives about 1.397 times it.
enum _XINTERPOLATION : int32_t {
    XINTERP_NEAREST = 0,
    XINTERP_BILINEAR = 1,
    XINTERP_CUBIC = 2,
    XINTERP_CUBIC_SEPARABLE = 3,
};

/// A raster grid. Every sample is seen through GetValue and SetValue as up to
/// four double channels (a, b, c, d); channels a type lacks read as
/// NAN_REAL64. Samples are stored row after row without padding; sample
/// (r, c) starts at byte (r * columns + c) * DATASIZE[type].
///
/// A grid either owns its block (m_nAllocSize > 0, possibly larger than the
/// part in use), wraps caller memory (m_nAllocSize 0 with a shape), or is
/// empty. Row and column arguments of the sample accessors are not checked.
/// Concurrent readers are allowed; writers need exclusive access.
class XGrid {
public:
    XGrid();
    XGrid(int nRows, int nCols, int nDataType);
    XGrid(const XGrid& src);
    /// Copies (bCopy true) or wraps (bCopy false) a densely packed block.
    XGrid(void* pData, int nRows, int nCols, int nDataType, bool bCopy);
    virtual ~XGrid();

    // Virtual operations in slot order (after the destructor).
    virtual bool IsValid() const;
    virtual bool Alloc(int nRows, int nCols, int nDataType);
    virtual void Free();
    virtual bool GetValue(int nRow, int nCol, double& a, double& b, double& c, double& d) const;
    virtual void SetValue(int nRow, int nCol, double a, double b, double c, double d);
    virtual XGrid& operator=(const XGrid& src);

    /// Frees first, so the owned block has exactly the needed size.
    bool AllocExact(int nRows, int nCols, int nDataType);
    /// Wraps caller memory without owning it; the geo-reference is reset.
    void Attach(void* pData, int nRows, int nCols, int nDataType);
    /// New shape over the same block and type; false when it needs more samples.
    bool Reform(int nRows, int nCols);

    int GetRSize() const { return m_nRSize; }
    int GetCSize() const { return m_nCSize; }
    int GetDataType() const { return m_nDataType; }
    uint8_t* GetData() const { return m_pData; }
    int GetDataSize() const;
    /// Bytes of the block the grid owns; 0 when it owns none.
    int GetAllocSize() const { return m_nAllocSize; }

    bool GetValue(int nRow, int nCol, double& a) const;
    bool GetValue(int nRow, int nCol, double& a, double& b) const;
    bool GetValue(int nRow, int nCol, double& a, double& b, double& c) const;
    double GetAsREAL64(int nRow, int nCol) const;
    float GetAsREAL32(int nRow, int nCol) const;
    void SetFromREAL64(int nRow, int nCol, double v);
    void SetFromREAL32(int nRow, int nCol, float v);

    /// Spreads v over the channels the type has; the others get NAN_REAL64.
    bool ConvToFourValues(double v, double& a, double& b, double& c, double& d) const;
    /// True when (a, b, c, d) equals v spread by ConvToFourValues.
    bool IsSameValue(double v, double a, double b, double c, double d) const;

    /// Clears the whole owned block to zero bytes.
    void Zerorize();
    void Fill(double a, double b, double c, double d);

    /// The rectangle operations and the flips return false for a rectangle
    /// outside the grid, and also when a sample of a grid file could not be
    /// read or stored (its mapped file's message says why); the destination
    /// then holds a partial copy.
    bool GetSubset(XGrid* pDst, int R1, int R2, int C1, int C2) const;
    bool SetSubset(const void* pSrc, int nDataType, int R1, int R2, int C1, int C2, double dNoData);
    bool SetSubset(double a, double b, double c, double d, int R1, int R2, int C1, int C2);
    bool FlipVert(XGrid* pDst) const;
    bool FlipHorz(XGrid* pDst) const;

    // Geo-reference: column c spans map X from left + c * colSpacing; row r
    // spans map Y from top - r * rowSpacing downward. No half-pixel offset.
    XGrid& SetGeoOrigin(double dTop, double dLeft);
    XGrid& SetGeoSpacing(double dRowSpacing, double dColSpacing);
    double GetGeoTop() const { return m_dTop; }
    double GetGeoLeft() const { return m_dLeft; }
    double GetRowSpacing() const { return m_dRowSpacing; }
    double GetColSpacing() const { return m_dColSpacing; }
    void GetExtent(double& dRight, double& dLeft, double& dBottom, double& dTop) const;
    double ColFromX(double x) const;
    double RowFromY(double y) const;
    double XFromCol(double col) const;
    double YFromRow(double row) const;

    double GetMagnitude(int nRow, int nCol) const;
    /// Reads at a fractional position (y a row, x a column) with one of the
    /// _XINTERPOLATION methods. False outside the grid. An unknown method
    /// returns true and leaves the outputs untouched.
    bool GetValueInterpolated(double y, double x, int nMethod,
                              double& a, double& b, double& c, double& d) const;
    double GetMagnitudeInterpolated(double y, double x, int nMethod) const;
    /// Per-channel mean over the part of the rectangle inside the grid,
    /// skipping noData and NAN_REAL64; NAN_REAL64 for an empty channel.
    void GetWindowMean(int R1, int R2, int C1, int C2, double dNoData,
                       double& a, double& b, double& c, double& d) const;
    /// 2 x 2 block means into a grid of half the size (rounded up).
    bool GetHalfSize(XGrid* pDst) const;

    /// True when the samples may be read and written in m_pData directly.
    ///
    /// Every operation that reads or writes samples (subsets, Fill, the flips,
    /// GetHalfSize, GetWindowMean, GetValueInterpolated, the statistics, the
    /// resampler and the convolution) has a typed fast path over m_pData that
    /// gives exactly what the virtual GetValue and SetValue of this class give.
    /// A derived class that overrides either of them changes what a sample
    /// reads or writes as (a grid file keeps its samples elsewhere; another
    /// class may scale or mask values), so those operations must call the
    /// overrides instead. The fast paths are therefore taken only when the
    /// samples are in memory and the object's GetValue and SetValue are this
    /// class's own; a derived class that adds members but keeps sample access
    /// keeps the fast paths.
    bool HasDirectSampleAccess() const;

protected:
    void ResetGeoReference();
    /// Copies the samples of src, whose shape and type this grid (holding
    /// its samples in memory) already has: bytes from memory, through the
    /// source's accessors from anywhere else. False when a source sample
    /// could not be read.
    bool CopySamplesFrom(const XGrid& src);

    uint8_t* m_pData;
    int32_t m_nRSize;
    int32_t m_nCSize;
    int32_t m_nDataType;
    int32_t m_nAllocSize;
    double m_dTop;
    double m_dLeft;
    double m_dRowSpacing;
    double m_dColSpacing;
};

} // namespace Pelmora::Tivra
