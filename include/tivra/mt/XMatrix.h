// Dense double matrices and vectors with the solvers behind the warp fits.
#pragma once

namespace Pelmora::Tivra {

class XVector;

/// A dense matrix of doubles stored row by row: element (r, c) at r * cols + c.
/// The storage is owned (capacity > 0, the number of elements owned) or
/// borrowed from the caller (capacity 0), who keeps it alive.
class XMatrix {
public:
    XMatrix();
    XMatrix(int nRows, int nCols);
    /// Borrows nRows * nCols elements from pData without owning them.
    XMatrix(double* pData, int nRows, int nCols);
    XMatrix(const XMatrix& src);
    XMatrix& operator=(const XMatrix& src);
    ~XMatrix();

    /// New shape; reuses the storage when its capacity suffices, fails when the
    /// storage is borrowed and too small, otherwise allocates fresh storage
    /// (contents undefined). False on a negative shape or allocation failure.
    bool Resize(int nRows, int nCols);
    void Free();

    int GetRows() const { return m_nRows; }
    int GetCols() const { return m_nCols; }
    double* GetData() const { return m_pData; }
    double& operator()(int r, int c) { return m_pData[r * m_nCols + c]; }
    double operator()(int r, int c) const { return m_pData[r * m_nCols + c]; }

    /// Solves A x = b for this matrix A: the exact solution of a square system
    /// (triangular substitution, Cholesky for symmetric matrices, else LU with
    /// row pivoting) or the least-squares solution by Householder QR when A has
    /// more rows than columns. False when A has fewer rows than columns, b does
    /// not match, or the system is singular (rank deficient).
    bool Solve(const XVector& b, XVector& x) const;

    /// The unit vector h minimising |A h|: the right singular vector of the
    /// smallest singular value, signed so that its element of largest
    /// magnitude (the first of equal ones) is positive. False on an empty
    /// matrix, non-finite elements or a failed decomposition.
    bool NullVector(XVector& h) const;

private:
    double* m_pData;
    int m_nRows;
    int m_nCols;
    int m_nCapacity;
};

/// A dense vector of doubles, owned (capacity > 0) or borrowed (capacity 0).
class XVector {
public:
    XVector();
    explicit XVector(int nSize);
    /// Borrows nSize elements from pData without owning them.
    XVector(double* pData, int nSize);
    XVector(const XVector& src);
    XVector& operator=(const XVector& src);
    ~XVector();

    /// Same storage rules as XMatrix::Resize.
    bool Resize(int nSize);
    void Free();

    int GetSize() const { return m_nSize; }
    double* GetData() const { return m_pData; }
    double& operator[](int i) { return m_pData[i]; }
    double operator[](int i) const { return m_pData[i]; }

private:
    double* m_pData;
    int m_nSize;
    int m_nCapacity;
};

} // namespace Pelmora::Tivra
