#include <tivra/mt/XMatrix.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <Eigen/SVD>

namespace Pelmora::Tivra {

namespace {

/// A pivot or diagonal element is taken as zero when it is below this fraction
/// of its column's norm: far above rounding noise (about 1e-16), far below the
/// conditioning of sound polynomial fits, so exactly collinear control points
/// are reported as a failed solve instead of yielding a silent wrong answer.
constexpr double kSingularRatio = 1e-14;

/// Makes room for nNeed elements in the storage (pData, nCapacity) that
/// currently holds nInUse elements. Owned storage is reused when large
/// enough, borrowed storage (capacity 0) only within its elements in use.
bool Reserve(double*& pData, int& nCapacity, int nInUse, int64_t nNeed)
{
    if (nNeed < 0 || nNeed > INT32_MAX) return false;
    if (nCapacity > 0 && nNeed <= nCapacity) return true;
    if (nCapacity == 0 && pData) return nNeed <= nInUse;  // borrowed: never replaced
    double* p = new (std::nothrow) double[size_t(nNeed ? nNeed : 1)];
    if (!p) return false;
    if (nCapacity > 0) delete[] pData;
    pData = p;
    nCapacity = int(nNeed ? nNeed : 1);
    return true;
}

void Release(double*& pData, int& nCapacity)
{
    if (nCapacity > 0) delete[] pData;
    pData = nullptr;
    nCapacity = 0;
}

double ColumnNorm(const XMatrix& a, int c)
{
    double s = 0.0;
    for (int r = 0; r < a.GetRows(); ++r) s += a(r, c) * a(r, c);
    return std::sqrt(s);
}

bool IsZeroPivot(double pivot, double colNorm) { return std::fabs(pivot) <= kSingularRatio * colNorm; }

/// Least squares by Householder reflections: each column from the diagonal
/// down is reflected onto the diagonal, the same reflection is applied to b,
/// and back substitution on the upper square part of R gives x.
bool SolveQR(const XMatrix& a, const XVector& b, XVector& x)
{
    const int m = a.GetRows(), n = a.GetCols();
    if (n > m) return false;
    XMatrix r(a);
    std::vector<double> y(b.GetData(), b.GetData() + m), v(static_cast<size_t>(m)), norms(static_cast<size_t>(n));
    if (r.GetRows() != m) return false;
    for (int j = 0; j < n; ++j) norms[j] = ColumnNorm(a, j);

    for (int j = 0; j < n; ++j) {
        double sigma = 0.0;
        for (int i = j; i < m; ++i) sigma += r(i, j) * r(i, j);
        sigma = std::sqrt(sigma);
        if (!(sigma > 0.0)) continue;
        // Reflect onto -sign(x0) * sigma to avoid cancellation; v(j) = 1.
        const double x0 = r(j, j);
        const double alpha = x0 > 0.0 ? -sigma : sigma;
        const double u0 = x0 - alpha;
        double vv = 1.0;
        v[j] = 1.0;
        for (int i = j + 1; i < m; ++i) {
            v[i] = r(i, j) / u0;
            vv += v[i] * v[i];
        }
        const double tau = 2.0 / vv;
        for (int k = j; k < n; ++k) {
            double s = 0.0;
            for (int i = j; i < m; ++i) s += v[i] * r(i, k);
            s *= tau;
            for (int i = j; i < m; ++i) r(i, k) -= s * v[i];
        }
        double s = 0.0;
        for (int i = j; i < m; ++i) s += v[i] * y[i];
        s *= tau;
        for (int i = j; i < m; ++i) y[i] -= s * v[i];
    }

    if (!x.Resize(n)) return false;
    for (int j = n - 1; j >= 0; --j) {
        if (IsZeroPivot(r(j, j), norms[j])) return false;
        double s = y[j];
        for (int k = j + 1; k < n; ++k) s -= r(j, k) * x[k];
        x[j] = s / r(j, j);
    }
    return true;
}

bool ForwardSubstitution(const XMatrix& l, const double* b, double* x, const std::vector<double>& norms)
{
    const int n = l.GetRows();
    for (int i = 0; i < n; ++i) {
        if (IsZeroPivot(l(i, i), norms[i])) return false;
        double s = b[i];
        for (int k = 0; k < i; ++k) s -= l(i, k) * x[k];
        x[i] = s / l(i, i);
    }
    return true;
}

bool BackSubstitution(const XMatrix& u, const double* b, double* x, const std::vector<double>& norms)
{
    const int n = u.GetRows();
    for (int i = n - 1; i >= 0; --i) {
        if (IsZeroPivot(u(i, i), norms[i])) return false;
        double s = b[i];
        for (int k = i + 1; k < n; ++k) s -= u(i, k) * x[k];
        x[i] = s / u(i, i);
    }
    return true;
}

/// Cholesky A = L L^T; false when A is not positive definite.
bool SolveCholesky(const XMatrix& a, const XVector& b, XVector& x)
{
    const int n = a.GetRows();
    XMatrix l(n, n);
    if (l.GetRows() != n) return false;
    std::memset(l.GetData(), 0, sizeof(double) * size_t(n) * size_t(n));
    for (int j = 0; j < n; ++j) {
        double d = a(j, j);
        for (int k = 0; k < j; ++k) d -= l(j, k) * l(j, k);
        if (!(d > 0.0)) return false;
        l(j, j) = std::sqrt(d);
        for (int i = j + 1; i < n; ++i) {
            double s = a(i, j);
            for (int k = 0; k < j; ++k) s -= l(i, k) * l(j, k);
            l(i, j) = s / l(j, j);
        }
    }
    // L y = b, then L^T x = y.
    std::vector<double> y(static_cast<size_t>(n)), ones(static_cast<size_t>(n), 0.0);
    if (!ForwardSubstitution(l, b.GetData(), y.data(), ones)) return false;
    for (int i = n - 1; i >= 0; --i) {
        double s = y[i];
        for (int k = i + 1; k < n; ++k) s -= l(k, i) * x[k];
        x[i] = s / l(i, i);
    }
    return true;
}

/// LU decomposition with partial (row) pivoting, then the two triangular solves.
bool SolveLU(const XMatrix& a, const XVector& b, XVector& x, const std::vector<double>& norms)
{
    const int n = a.GetRows();
    XMatrix lu(a);
    if (lu.GetRows() != n) return false;
    std::vector<double> y(b.GetData(), b.GetData() + n);
    for (int j = 0; j < n; ++j) {
        int p = j;
        for (int i = j + 1; i < n; ++i)
            if (std::fabs(lu(i, j)) > std::fabs(lu(p, j))) p = i;
        if (IsZeroPivot(lu(p, j), norms[j])) return false;
        if (p != j) {
            for (int k = 0; k < n; ++k) std::swap(lu(p, k), lu(j, k));
            std::swap(y[p], y[j]);
        }
        for (int i = j + 1; i < n; ++i) {
            const double f = lu(i, j) / lu(j, j);
            lu(i, j) = f;
            for (int k = j + 1; k < n; ++k) lu(i, k) -= f * lu(j, k);
            y[i] -= f * y[j];
        }
    }
    return BackSubstitution(lu, y.data(), x.GetData(), norms);
}

} // namespace

// ---- XMatrix -------------------------------------------------------------------

XMatrix::XMatrix() : m_pData(nullptr), m_nRows(0), m_nCols(0), m_nCapacity(0) {}

XMatrix::XMatrix(int nRows, int nCols) : XMatrix() { Resize(nRows, nCols); }

XMatrix::XMatrix(double* pData, int nRows, int nCols) : XMatrix()
{
    if (!pData || nRows < 0 || nCols < 0) return;
    m_pData = pData;
    m_nRows = nRows;
    m_nCols = nCols;
}

XMatrix::XMatrix(const XMatrix& src) : XMatrix() { *this = src; }

XMatrix& XMatrix::operator=(const XMatrix& src)
{
    if (this != &src && Resize(src.m_nRows, src.m_nCols) && src.m_pData)
        std::memcpy(m_pData, src.m_pData, sizeof(double) * size_t(m_nRows) * size_t(m_nCols));
    return *this;
}

XMatrix::~XMatrix() { Release(m_pData, m_nCapacity); }

bool XMatrix::Resize(int nRows, int nCols)
{
    if (nRows < 0 || nCols < 0) return false;
    if (!Reserve(m_pData, m_nCapacity, m_nRows * m_nCols, int64_t(nRows) * nCols)) return false;
    m_nRows = nRows;
    m_nCols = nCols;
    return true;
}

void XMatrix::Free()
{
    Release(m_pData, m_nCapacity);
    m_nRows = m_nCols = 0;
}

bool XMatrix::Solve(const XVector& b, XVector& x) const
{
    const int m = m_nRows, n = m_nCols;
    if (m < 1 || n < 1 || b.GetSize() != m || !m_pData) return false;
    if (m != n) return SolveQR(*this, b, x);

    if (!x.Resize(n)) return false;
    std::vector<double> norms(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) norms[j] = ColumnNorm(*this, j);
    bool lower = true, upper = true, symmetric = true;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            if (j > i && (*this)(i, j) != 0.0) lower = false;
            if (j < i && (*this)(i, j) != 0.0) upper = false;
            if ((*this)(i, j) != (*this)(j, i)) symmetric = false;
        }
    if (lower) return ForwardSubstitution(*this, b.GetData(), x.GetData(), norms);
    if (upper) return BackSubstitution(*this, b.GetData(), x.GetData(), norms);
    if (symmetric && SolveCholesky(*this, b, x)) return true;
    return SolveLU(*this, b, x, norms);
}

bool XMatrix::NullVector(XVector& h) const
{
    const int m = m_nRows, n = m_nCols;
    if (m < 1 || n < 1 || !m_pData) return false;
    try {
        using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;
        const Eigen::Map<const RowMajor> a(m_pData, m, n);
        // Two-sided Jacobi rather than divide and conquer: the projective fit's
        // design matrices are 2n x 9, and Jacobi (after the column-pivoting QR
        // that brings a tall matrix down to 9 x 9) computes even the smallest
        // singular value and its vector to high relative accuracy, which is the
        // one vector wanted here. Divide and conquer pays off only for large
        // square matrices and hands matrices this small to Jacobi anyway. The
        // full V gives the null vector also when there are fewer rows than
        // columns.
        const Eigen::JacobiSVD<RowMajor> svd(a, Eigen::ComputeFullV);
        if (svd.info() != Eigen::Success) return false;  // NaN or infinite elements
        if (!h.Resize(n)) return false;
        // Singular values come in descending order: the last column of V. Its
        // sign is free; the one taken makes the element of largest magnitude
        // (the first of equal ones) positive, so the result does not depend on
        // how the decomposition happens to orient its vectors.
        const auto v = svd.matrixV().col(n - 1);
        int big = 0;
        for (int j = 1; j < n; ++j)
            if (std::fabs(v(j)) > std::fabs(v(big))) big = j;
        const double sign = v(big) < 0.0 ? -1.0 : 1.0;
        for (int j = 0; j < n; ++j) h[j] = sign * v(j);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ---- XVector -------------------------------------------------------------------

XVector::XVector() : m_pData(nullptr), m_nSize(0), m_nCapacity(0) {}

XVector::XVector(int nSize) : XVector() { Resize(nSize); }

XVector::XVector(double* pData, int nSize) : XVector()
{
    if (!pData || nSize < 0) return;
    m_pData = pData;
    m_nSize = nSize;
}

XVector::XVector(const XVector& src) : XVector() { *this = src; }

XVector& XVector::operator=(const XVector& src)
{
    if (this != &src && Resize(src.m_nSize) && src.m_pData)
        std::memcpy(m_pData, src.m_pData, sizeof(double) * size_t(m_nSize));
    return *this;
}

XVector::~XVector() { Release(m_pData, m_nCapacity); }

bool XVector::Resize(int nSize)
{
    if (!Reserve(m_pData, m_nCapacity, m_nSize, nSize)) return false;
    m_nSize = nSize;
    return true;
}

void XVector::Free()
{
    Release(m_pData, m_nCapacity);
    m_nSize = 0;
}

} // namespace Pelmora::Tivra
