#include <tivra/grid/XGrid.h>

#include <tivra/grid/XGridFile.h>

#include <algorithm>
#include <utility>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <typeinfo>
#include <vector>

#include "grid/XGridInterpolation.h"
#include "grid/XGridReaders.h"
#include "grid/XGridSamples.h"

namespace Pelmora::Tivra {

using namespace GridSamples;

namespace {

bool IsKnownType(int type) { return type >= XDT_FIRST && type <= XDT_LAST; }

/// Bytes of a rows x columns block of a type, or -1 when the block is empty,
/// negative, of an unknown type or too large for the 32-bit size field.
/// Each product is checked, so a size beyond 2^31 - 1 bytes is refused
/// however far it overflows, rather than wrapped around to a small block.
int32_t BlockBytes(int rows, int cols, int type)
{
    if (!IsKnownType(type) || rows <= 0 || cols <= 0) return -1;
    int32_t samples = 0, bytes = 0;
    if (__builtin_mul_overflow(rows, cols, &samples) || __builtin_mul_overflow(samples, DATASIZE[type], &bytes))
        return -1;
    return bytes;
}

/// Per-channel mean of the rectangle's cells inside [0, rows) x [0, cols),
/// leaving out values equal to noData or NAN_REAL64.
template <class Reader>
void WindowMean(const Reader& read, int rows, int cols, int R1, int R2, int C1, int C2, double dNoData,
                double* out)
{
    double sum[4] = {0, 0, 0, 0};
    int count[4] = {0, 0, 0, 0};
    const int r1 = std::max(R1, 0), r2 = std::min(R2, rows - 1);
    const int c1 = std::max(C1, 0), c2 = std::min(C2, cols - 1);
    double v[4];
    for (int r = r1; r <= r2; ++r)
        for (int c = c1; c <= c2; ++c) {
            if (!read(r, c, v)) continue;
            for (int k = 0; k < 4; ++k)
                if (v[k] != dNoData && v[k] != NAN_REAL64) {
                    sum[k] += v[k];
                    ++count[k];
                }
        }
    for (int k = 0; k < 4; ++k) out[k] = count[k] ? sum[k] / count[k] : NAN_REAL64;
}

template <class Reader, class Writer>
void HalfSize(const Reader& read, const Writer& write, int rows, int cols, int dstRows, int dstCols)
{
    double m[4];
    for (int i = 0; i < dstRows; ++i)
        for (int j = 0; j < dstCols; ++j) {
            WindowMean(read, rows, cols, 2 * i, std::min(2 * i + 1, rows - 1), 2 * j,
                       std::min(2 * j + 1, cols - 1), NAN_REAL64, m);
            write(i, j, m);
        }
}

/// Copies a rectangle cell by cell through the double channels; map(r, c)
/// gives the destination cell of source cell (r, c). False at the first cell
/// that cannot be read (a grid file's page fault), whose copy is incomplete.
template <class Reader, class Writer, class Map>
bool CopyCells(const Reader& read, const Writer& write, int R1, int R2, int C1, int C2, Map map)
{
    double v[4];
    for (int r = R1; r <= R2; ++r)
        for (int c = C1; c <= C2; ++c) {
            if (!read(r, c, v)) return false;
            const auto [dr, dc] = map(r, c);
            write(dr, dc, v);
        }
    return true;
}

/// The magnitude of a sample's channels by type family.
double Magnitude(int type, double a, double b, double c, double d)
{
    switch (Xfn::GetDataTypeFamily(type)) {
    case XSF_SCALAR:
    case XSF_GRAY: return a;
    case XSF_COMPLEX: return std::sqrt(a * a + b * b);
    case XSF_COLOR: return std::sqrt(a * a + b * b + c * c);
    case XSF_ALPHA_COLOR: return std::sqrt(b * b + c * c + d * d);  // the first channel is alpha
    default: return NAN_REAL64;
    }
}

/// Row spans of a grid to read: in place for samples in memory, copied
/// through the window for a grid file (the row path), null for any other
/// grid, whose samples only its own GetValue knows.
class RowSource {
public:
    explicit RowSource(const XGrid& g)
        : m_grid(g), m_pFile(XGridFile::AsRowGrid(&g)), m_bDirect(g.HasDirectSampleAccess())
    {
    }
    bool Available() const { return m_bDirect || m_pFile; }
    /// Samples c .. c + n - 1 of row r, as stored; null when the file cannot
    /// be read.
    const uint8_t* Read(int r, int c, int n)
    {
        const int size = m_grid.GetDataSize();
        if (m_bDirect) return m_grid.GetData() + (std::ptrdiff_t(r) * m_grid.GetCSize() + c) * size;
        m_buffer.resize(size_t(n) * size_t(size));
        return m_pFile->ReadRow(r, c, n, m_buffer.data()) ? m_buffer.data() : nullptr;
    }

private:
    const XGrid& m_grid;
    const XGridFile* m_pFile;
    bool m_bDirect;
    std::vector<uint8_t> m_buffer;
};

/// Reads a grid file's samples through row spans: columns [c1, c2] of up to
/// four rows (slot r & 3) are copied in by one ReadRow each and decoded as
/// the typed reader decodes an in-memory block, which gives what GetValue
/// gives. Samples outside the span, and rows that cannot be read, go
/// through GetValue, as on the per-sample path.
template <class S>
class SpanReader {
public:
    SpanReader(const XGridFile& file, int c1, int c2)
        : m_file(file), m_nFirst(c1), m_nCount(std::max(0, c2 - c1 + 1)),
          m_bytes(size_t(kSlots) * size_t(m_nCount) * S::kSize)
    {
        std::fill(m_rows, m_rows + kSlots, -1);
    }

    bool operator()(int r, int c, double* v) const
    {
        if (c < m_nFirst || c >= m_nFirst + m_nCount) return VirtualReader{&m_file}(r, c, v);
        const int slot = r & (kSlots - 1);
        uint8_t* row = m_bytes.data() + size_t(slot) * size_t(m_nCount) * S::kSize;
        if (m_rows[slot] != r) {
            m_rows[slot] = -1;
            if (!m_file.ReadRow(r, m_nFirst, m_nCount, row)) return VirtualReader{&m_file}(r, c, v);
            m_rows[slot] = r;
        }
        return TypedReader<S>{row, m_nCount}(0, c - m_nFirst, v);
    }

private:
    /// Rows held: the four of a cubic window, the two of a half-size step.
    static constexpr int kSlots = 4;
    const XGridFile& m_file;
    int m_nFirst, m_nCount;
    mutable int m_rows[kSlots];
    mutable std::vector<uint8_t> m_bytes;
};

/// Row spans of a grid to write: Begin gives the span (in place, or a buffer
/// whose old bytes are unspecified), Commit stores a buffer through the
/// window.
class RowTarget {
public:
    explicit RowTarget(XGrid& g) : m_grid(g), m_pFile(XGridFile::AsRowGrid(&g)), m_bDirect(g.HasDirectSampleAccess()) {}
    bool Available() const { return m_bDirect || m_pFile; }
    uint8_t* Begin(int r, int c, int n)
    {
        const int size = m_grid.GetDataSize();
        if (m_bDirect) return m_grid.GetData() + (std::ptrdiff_t(r) * m_grid.GetCSize() + c) * size;
        m_buffer.resize(size_t(n) * size_t(size));
        return m_buffer.data();
    }
    /// False when a grid file could not store the span.
    bool Commit(int r, int c, int n) { return !m_pFile || m_pFile->WriteRow(r, c, n, m_buffer.data()); }

private:
    XGrid& m_grid;
    XGridFile* m_pFile;
    bool m_bDirect;
    std::vector<uint8_t> m_buffer;
};

/// Copies n samples of type S through the double channels, exactly as
/// GetValue and SetValue copy them; reversed, sample j goes to n - 1 - j.
template <class S>
void CopySpan(const uint8_t* pFrom, uint8_t* pTo, int n, bool bReverse)
{
    const TypedReader<S> read{pFrom, n};
    const TypedWriter<S> write{pTo, n};
    double v[4];
    for (int j = 0; j < n; ++j) {
        read(0, j, v);
        write(0, bReverse ? n - 1 - j : j, v);
    }
}

/// How a copy by rows went.
enum class RowCopy {
    kNoRowPath,  ///< either grid has no row spans: nothing was copied
    kDone,
    kFailed,     ///< a grid file could not read or store a row: the copy stopped there
};

/// Copies rows R1..R2, columns C1..C2 of src row by row into dst, which has
/// src's type: source row r to destination row rowMap(r), columns from 0
/// (reversed when bReverse).
template <class RowMap>
RowCopy CopyRows(const XGrid& src, XGrid& dst, int R1, int R2, int C1, int C2, RowMap rowMap, bool bReverse)
{
    RowSource from(src);
    RowTarget to(dst);
    if (!from.Available() || !to.Available() || src.GetDataType() != dst.GetDataType()) return RowCopy::kNoRowPath;
    const int n = C2 - C1 + 1;
    RowCopy result = RowCopy::kDone;
    DispatchSampleType(src.GetDataType(), [&]<class S>() {
        for (int r = R1; r <= R2; ++r) {
            const uint8_t* pFrom = from.Read(r, C1, n);
            const int dr = rowMap(r);
            if (pFrom) CopySpan<S>(pFrom, to.Begin(dr, 0, n), n, bReverse);
            if (!pFrom || !to.Commit(dr, 0, n)) {
                result = RowCopy::kFailed;
                return;
            }
        }
    });
    return result;
}

/// CopyRows, or cell by cell through the accessors when there are no row
/// spans; false when a sample could not be read or stored.
template <class RowMap, class CellMap>
bool CopyRect(const XGrid& src, XGrid& dst, int R1, int R2, int C1, int C2, RowMap rowMap, bool bReverse,
              CellMap cellMap)
{
    switch (CopyRows(src, dst, R1, R2, C1, C2, rowMap, bReverse)) {
    case RowCopy::kDone: return true;
    case RowCopy::kFailed: return false;
    case RowCopy::kNoRowPath: break;
    }
    return CopyCells(VirtualReader{&src}, VirtualWriter{&dst}, R1, R2, C1, C2, cellMap);
}

} // namespace

// ---- construction and storage ----------------------------------------------

XGrid::XGrid()
    : m_pData(nullptr), m_nRSize(0), m_nCSize(0), m_nDataType(XDT_NONE), m_nAllocSize(0),
      m_dTop(0.0), m_dLeft(0.0), m_dRowSpacing(1.0), m_dColSpacing(1.0)
{
}

XGrid::XGrid(int nRows, int nCols, int nDataType) : XGrid() { XGrid::Alloc(nRows, nCols, nDataType); }

XGrid::XGrid(const XGrid& src) : XGrid()
{
    if (XGrid::Alloc(src.m_nRSize, src.m_nCSize, src.m_nDataType) && !CopySamplesFrom(src)) XGrid::Free();
}

// A null pData leaves the grid empty rather than wrapping or copying nothing.
XGrid::XGrid(void* pData, int nRows, int nCols, int nDataType, bool bCopy) : XGrid()
{
    if (!pData) return;
    if (!bCopy) {
        Attach(pData, nRows, nCols, nDataType);
        return;
    }
    if (XGrid::Alloc(nRows, nCols, nDataType))
        std::memcpy(m_pData, pData, size_t(BlockBytes(nRows, nCols, nDataType)));
}

XGrid::~XGrid()
{
    if (m_nAllocSize > 0) std::free(m_pData);
}

bool XGrid::IsValid() const { return m_nRSize >= 1 && m_nCSize >= 1 && m_pData != nullptr; }

bool XGrid::Alloc(int nRows, int nCols, int nDataType)
{
    const int32_t need = BlockBytes(nRows, nCols, nDataType);
    if (need <= 0) return false;

    if (m_nAllocSize == 0 && m_nRSize > 0 && m_nCSize > 0) {
        // Wrapping caller memory: reshape within the wrapped bytes only
        // (their count passed BlockBytes when they were attached).
        if (BlockBytes(m_nRSize, m_nCSize, m_nDataType) < need) return false;
    } else if (m_nAllocSize < need) {
        Free();
        void* p = std::malloc(size_t(need));
        if (!p) return false;
        m_pData = static_cast<uint8_t*>(p);
        m_nAllocSize = need;
    }
    m_nRSize = nRows;
    m_nCSize = nCols;
    m_nDataType = nDataType;
    ResetGeoReference();
    return true;
}

bool XGrid::AllocExact(int nRows, int nCols, int nDataType)
{
    Free();
    return Alloc(nRows, nCols, nDataType);
}

void XGrid::Free()
{
    if (m_nAllocSize > 0) std::free(m_pData);
    m_pData = nullptr;
    m_nRSize = m_nCSize = 0;
    m_nDataType = XDT_NONE;
    m_nAllocSize = 0;
    ResetGeoReference();
}

// A null pData leaves the grid empty: a shape over no memory would let the
// unchecked accessors write through a null pointer.
void XGrid::Attach(void* pData, int nRows, int nCols, int nDataType)
{
    Free();
    if (!pData || BlockBytes(nRows, nCols, nDataType) <= 0) return;
    m_pData = static_cast<uint8_t*>(pData);
    m_nRSize = nRows;
    m_nCSize = nCols;
    m_nDataType = nDataType;
}

// Negative shapes are refused as well, so no loop ever sees one.
bool XGrid::Reform(int nRows, int nCols)
{
    if (nRows < 0 || nCols < 0) return false;
    if (int64_t(m_nRSize) * m_nCSize < int64_t(nRows) * nCols) return false;
    m_nRSize = nRows;
    m_nCSize = nCols;
    ResetGeoReference();
    return true;
}

XGrid& XGrid::operator=(const XGrid& src)
{
    if (this == &src) return *this;
    // A source whose samples cannot all be read leaves this grid empty
    // rather than partly copied.
    if (Alloc(src.m_nRSize, src.m_nCSize, src.m_nDataType) && !CopySamplesFrom(src)) Free();
    m_dTop = src.m_dTop;
    m_dLeft = src.m_dLeft;
    m_dRowSpacing = src.m_dRowSpacing;
    m_dColSpacing = src.m_dColSpacing;
    return *this;
}

bool XGrid::CopySamplesFrom(const XGrid& src)
{
    if (src.m_pData) {
        std::memcpy(m_pData, src.m_pData, size_t(BlockBytes(m_nRSize, m_nCSize, m_nDataType)));
        return true;
    }
    // Samples kept elsewhere (a grid file) are copied through the source's
    // accessors; this grid already has the source's shape and type.
    if (!m_pData || !src.IsValid()) return true;
    if (const RowCopy rows = CopyRows(src, *this, 0, m_nRSize - 1, 0, m_nCSize - 1, [](int r) { return r; }, false);
        rows != RowCopy::kNoRowPath)
        return rows == RowCopy::kDone;
    return CopyCells(VirtualReader{&src},
                     [this](int r, int c, const double* v) { XGrid::SetValue(r, c, v[0], v[1], v[2], v[3]); }, 0,
                     m_nRSize - 1, 0, m_nCSize - 1, [](int r, int c) { return std::pair{r, c}; });
}

int XGrid::GetDataSize() const { return Xfn::GetDataSize(m_nDataType); }

void XGrid::ResetGeoReference()
{
    m_dTop = 0.0;
    m_dLeft = 0.0;
    m_dRowSpacing = 1.0;
    m_dColSpacing = 1.0;
}

// ---- sample access -----------------------------------------------------------

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
#endif
bool XGrid::HasDirectSampleAccess() const
{
    if (m_pData == nullptr) return false;
    if (typeid(*this) == typeid(XGrid)) return true;
#if defined(__GNUC__) && !defined(__clang__)
    // GCC turns a virtual member bound to an object into the address of the
    // function that object's class calls, so an override of either accessor
    // is seen exactly, and a derived class that keeps both keeps the fast
    // paths. The comparison is with the same binding on a plain grid.
    using Get = bool (XGrid::*)(int, int, double&, double&, double&, double&) const;
    using Set = void (XGrid::*)(int, int, double, double, double, double);
    using GetFn = bool (*)(const XGrid*, int, int, double&, double&, double&, double&);
    using SetFn = void (*)(XGrid*, int, int, double, double, double, double);
    const Get pGet = &XGrid::GetValue;
    const Set pSet = &XGrid::SetValue;
    XGrid* const self = const_cast<XGrid*>(this);
    const XGrid plain;
    XGrid& rPlain = const_cast<XGrid&>(plain);
    return (GetFn)(this->*pGet) == (GetFn)(plain.*pGet) && (SetFn)(self->*pSet) == (SetFn)(rPlain.*pSet);
#else
    // Other compilers cannot tell an override apart: derived classes take
    // the virtual accessors, which is always correct.
    return false;
#endif
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool XGrid::GetValue(int nRow, int nCol, double& a, double& b, double& c, double& d) const
{
    double v[4] = {NAN_REAL64, NAN_REAL64, NAN_REAL64, NAN_REAL64};
    const uint8_t* p = m_pData;
    const std::ptrdiff_t index = std::ptrdiff_t(nRow) * m_nCSize + nCol;
    const bool ok = DispatchSampleType(m_nDataType, [&]<class S>() { S::Get(p + index * S::kSize, v); });
    a = v[0];
    b = v[1];
    c = v[2];
    d = v[3];
    return ok;
}

void XGrid::SetValue(int nRow, int nCol, double a, double b, double c, double d)
{
    if (!IsKnownType(m_nDataType)) return;
    double v[4] = {a, b, c, d};
    PrepareForStore(m_nDataType, v);
    uint8_t* p = m_pData;
    const std::ptrdiff_t index = std::ptrdiff_t(nRow) * m_nCSize + nCol;
    DispatchSampleType(m_nDataType, [&]<class S>() { S::Put(p + index * S::kSize, v); });
}

bool XGrid::GetValue(int nRow, int nCol, double& a) const
{
    double b, c, d;
    return GetValue(nRow, nCol, a, b, c, d);
}

bool XGrid::GetValue(int nRow, int nCol, double& a, double& b) const
{
    double c, d;
    return GetValue(nRow, nCol, a, b, c, d);
}

bool XGrid::GetValue(int nRow, int nCol, double& a, double& b, double& c) const
{
    double d;
    return GetValue(nRow, nCol, a, b, c, d);
}

double XGrid::GetAsREAL64(int nRow, int nCol) const
{
    double a;
    return GetValue(nRow, nCol, a) ? a : NAN_REAL64;
}

float XGrid::GetAsREAL32(int nRow, int nCol) const
{
    double a;
    return GetValue(nRow, nCol, a) ? static_cast<float>(a) : NAN_REAL32;
}

void XGrid::SetFromREAL64(int nRow, int nCol, double v) { SetValue(nRow, nCol, v, NAN_REAL64, NAN_REAL64, NAN_REAL64); }

void XGrid::SetFromREAL32(int nRow, int nCol, float v) { SetFromREAL64(nRow, nCol, v); }

bool XGrid::ConvToFourValues(double v, double& a, double& b, double& c, double& d) const
{
    a = b = c = d = NAN_REAL64;
    const int n = IsKnownType(m_nDataType) ? Xfn::GetChannelCount(m_nDataType) : 0;
    if (n == 0) return false;
    double* out[4] = {&a, &b, &c, &d};
    for (int k = 0; k < n; ++k) *out[k] = v;
    return true;
}

bool XGrid::IsSameValue(double v, double a, double b, double c, double d) const
{
    double sa, sb, sc, sd;
    ConvToFourValues(v, sa, sb, sc, sd);
    return a == sa && b == sb && c == sc && d == sd;
}

// ---- whole-grid and rectangle operations ----------------------------------------

void XGrid::Zerorize()
{
    if (m_pData && m_nAllocSize > 0) std::memset(m_pData, 0, size_t(m_nAllocSize));
}

void XGrid::Fill(double a, double b, double c, double d)
{
    if (IsSameValue(0.0, a, b, c, d) && HasDirectSampleAccess()) {
        Zerorize();
        return;
    }
    SetSubset(a, b, c, d, 0, m_nRSize - 1, 0, m_nCSize - 1);
}

bool XGrid::SetSubset(double a, double b, double c, double d, int R1, int R2, int C1, int C2)
{
    if (R1 < 0 || R1 > R2 || R2 >= m_nRSize || C1 < 0 || C1 > C2 || C2 >= m_nCSize) return false;
    RowTarget to(*this);
    if (to.Available() && IsKnownType(m_nDataType)) {
        // Every cell receives the same value: encode it once and copy its bytes.
        double v[4] = {a, b, c, d};
        PrepareForStore(m_nDataType, v);
        uint8_t sample[16];
        DispatchSampleType(m_nDataType, [&]<class S>() { S::Put(sample, v); });
        const int size = DATASIZE[m_nDataType], n = C2 - C1 + 1;
        for (int r = R1; r <= R2; ++r) {
            uint8_t* p = to.Begin(r, C1, n);
            for (int col = 0; col < n; ++col, p += size) std::memcpy(p, sample, size_t(size));
            if (!to.Commit(r, C1, n)) return false;
        }
        return true;
    }
    for (int r = R1; r <= R2; ++r)
        for (int col = C1; col <= C2; ++col) SetValue(r, col, a, b, c, d);
    return true;
}

bool XGrid::SetSubset(const void* pSrc, int nDataType, int R1, int R2, int C1, int C2, double dNoData)
{
    if (!pSrc || R1 < 0 || R1 > R2 || R2 >= m_nRSize || C1 < 0 || C1 > C2 || C2 >= m_nCSize) return false;
    const int rows = R2 - R1 + 1, cols = C2 - C1 + 1;
    XGrid src;
    src.Attach(const_cast<void*>(pSrc), rows, cols, nDataType);
    if (!src.IsValid()) return true;  // an unknown source type has no cells to read
    VirtualWriter write{this};
    DispatchSampleType(nDataType, [&]<class S>() {
        TypedReader<S> read{src.m_pData, cols};
        double v[4];
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                read(i, j, v);
                if (!src.IsSameValue(dNoData, v[0], v[1], v[2], v[3])) write(R1 + i, C1 + j, v);
            }
    });
    return true;
}

bool XGrid::GetSubset(XGrid* pDst, int R1, int R2, int C1, int C2) const
{
    if (!pDst || pDst == this) return false;
    if (R1 < 0 || R1 > R2 || R2 >= m_nRSize || C1 < 0 || C1 > C2 || C2 >= m_nCSize) return false;
    if (!pDst->Alloc(R2 - R1 + 1, C2 - C1 + 1, m_nDataType)) return false;
    if (!CopyRect(*this, *pDst, R1, R2, C1, C2, [R1](int r) { return r - R1; }, false,
                  [&](int r, int c) { return std::pair{r - R1, c - C1}; }))
        return false;
    pDst->m_dTop = m_dTop - R1 * m_dRowSpacing;
    pDst->m_dLeft = m_dLeft + C1 * m_dColSpacing;
    pDst->m_dRowSpacing = m_dRowSpacing;
    pDst->m_dColSpacing = m_dColSpacing;
    return true;
}

bool XGrid::FlipVert(XGrid* pDst) const
{
    if (!pDst || pDst == this || !pDst->Alloc(m_nRSize, m_nCSize, m_nDataType)) return false;
    const int last = m_nRSize - 1;
    return CopyRect(*this, *pDst, 0, last, 0, m_nCSize - 1, [last](int r) { return last - r; }, false,
                    [last](int r, int c) { return std::pair{last - r, c}; });
}

bool XGrid::FlipHorz(XGrid* pDst) const
{
    if (!pDst || pDst == this || !pDst->Alloc(m_nRSize, m_nCSize, m_nDataType)) return false;
    const int last = m_nCSize - 1;
    return CopyRect(*this, *pDst, 0, m_nRSize - 1, 0, last, [](int r) { return r; }, true,
                    [last](int r, int c) { return std::pair{r, last - c}; });
}

// ---- geo-reference ----------------------------------------------------------------

XGrid& XGrid::SetGeoOrigin(double dTop, double dLeft)
{
    m_dTop = dTop;
    m_dLeft = dLeft;
    return *this;
}

XGrid& XGrid::SetGeoSpacing(double dRowSpacing, double dColSpacing)
{
    m_dRowSpacing = dRowSpacing;
    m_dColSpacing = dColSpacing;
    return *this;
}

void XGrid::GetExtent(double& dRight, double& dLeft, double& dBottom, double& dTop) const
{
    dLeft = m_dLeft;
    dRight = m_nCSize * m_dColSpacing + m_dLeft;
    dTop = m_dTop;
    dBottom = m_dTop - m_nRSize * m_dRowSpacing;
}

double XGrid::ColFromX(double x) const { return (x - m_dLeft) / m_dColSpacing; }
double XGrid::RowFromY(double y) const { return (m_dTop - y) / m_dRowSpacing; }
double XGrid::XFromCol(double col) const { return m_dColSpacing * col + m_dLeft; }
double XGrid::YFromRow(double row) const { return m_dTop - m_dRowSpacing * row; }

// ---- derived values -------------------------------------------------------------------

double XGrid::GetMagnitude(int nRow, int nCol) const
{
    double a, b, c, d;
    if (!GetValue(nRow, nCol, a, b, c, d)) return NAN_REAL64;
    return Magnitude(m_nDataType, a, b, c, d);
}

bool XGrid::GetValueInterpolated(double y, double x, int nMethod, double& a, double& b, double& c,
                                 double& d) const
{
    // The truncated position must lie inside the grid: -1 < y < rows and
    // -1 < x < columns (also rejects NaN before any conversion).
    if (!InsideForInterpolation(y, x, m_nRSize, m_nCSize)) return false;
    const int r0 = static_cast<int>(y), c0 = static_cast<int>(x);
    double out[4] = {a, b, c, d};
    bool ok = false;
    if (HasDirectSampleAccess()) {
        if (!DispatchSampleType(m_nDataType, [&]<class S>() {
                ok = Interpolate(TypedReader<S>{m_pData, m_nCSize}, m_nRSize, m_nCSize, y, x, r0, c0, nMethod, out);
            }))
            return false;
    } else if (const XGridFile* file = XGridFile::AsRowGrid(this)) {
        // The window of a cubic reaches one sample before and two after.
        DispatchSampleType(m_nDataType, [&]<class S>() {
            ok = Interpolate(SpanReader<S>(*file, std::max(0, c0 - 1), std::min(m_nCSize - 1, c0 + 2)), m_nRSize,
                             m_nCSize, y, x, r0, c0, nMethod, out);
        });
    } else {
        ok = Interpolate(VirtualReader{this}, m_nRSize, m_nCSize, y, x, r0, c0, nMethod, out);
    }
    if (!ok) return false;
    a = out[0];
    b = out[1];
    c = out[2];
    d = out[3];
    return true;
}

double XGrid::GetMagnitudeInterpolated(double y, double x, int nMethod) const
{
    double a = NAN_REAL64, b = NAN_REAL64, c = NAN_REAL64, d = NAN_REAL64;
    if (!GetValueInterpolated(y, x, nMethod, a, b, c, d)) return NAN_REAL64;
    return Magnitude(m_nDataType, a, b, c, d);
}

void XGrid::GetWindowMean(int R1, int R2, int C1, int C2, double dNoData, double& a, double& b, double& c,
                          double& d) const
{
    double m[4];
    if (HasDirectSampleAccess() && IsKnownType(m_nDataType)) {
        DispatchSampleType(m_nDataType, [&]<class S>() {
            WindowMean(TypedReader<S>{m_pData, m_nCSize}, m_nRSize, m_nCSize, R1, R2, C1, C2, dNoData, m);
        });
    } else if (const XGridFile* file = XGridFile::AsRowGrid(this)) {
        DispatchSampleType(m_nDataType, [&]<class S>() {
            WindowMean(SpanReader<S>(*file, std::max(C1, 0), std::min(C2, m_nCSize - 1)), m_nRSize, m_nCSize, R1,
                       R2, C1, C2, dNoData, m);
        });
    } else {
        WindowMean(VirtualReader{this}, m_nRSize, m_nCSize, R1, R2, C1, C2, dNoData, m);
    }
    a = m[0];
    b = m[1];
    c = m[2];
    d = m[3];
}

bool XGrid::GetHalfSize(XGrid* pDst) const
{
    if (!pDst || pDst == this) return false;
    // Rounded up without m_nRSize + 1, which overflows for 2^31 - 1 rows.
    const int dstRows = m_nRSize / 2 + m_nRSize % 2, dstCols = m_nCSize / 2 + m_nCSize % 2;
    if (!pDst->Alloc(dstRows, dstCols, m_nDataType)) return false;
    if (HasDirectSampleAccess() && pDst->HasDirectSampleAccess()) {
        DispatchSampleType(m_nDataType, [&]<class S>() {
            HalfSize(TypedReader<S>{m_pData, m_nCSize}, TypedWriter<S>{pDst->m_pData, pDst->m_nCSize}, m_nRSize,
                     m_nCSize, dstRows, dstCols);
        });
    } else if (const XGridFile* file = XGridFile::AsRowGrid(this)) {
        DispatchSampleType(m_nDataType, [&]<class S>() {
            const SpanReader<S> read(*file, 0, m_nCSize - 1);
            if (pDst->HasDirectSampleAccess())
                HalfSize(read, TypedWriter<S>{pDst->m_pData, pDst->m_nCSize}, m_nRSize, m_nCSize, dstRows, dstCols);
            else
                HalfSize(read, VirtualWriter{pDst}, m_nRSize, m_nCSize, dstRows, dstCols);
        });
    } else {
        HalfSize(VirtualReader{this}, VirtualWriter{pDst}, m_nRSize, m_nCSize, dstRows, dstCols);
    }
    return true;
}

} // namespace Pelmora::Tivra
