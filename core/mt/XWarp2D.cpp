#include <tivra/mt/XWarp2D.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra::MT {

namespace {

/// Fills row i of the design matrix with the terms of the method in
/// coefficient order. For Linear only (v, 1) is written, v being x or y.
void FillDesignRow(XMatrix& a, int i, int nMethod, double x, double y)
{
    double* r = a.GetData() + i * a.GetCols();
    switch (nMethod) {
    case XWARP_LINEAR: r[0] = x; r[1] = 1.0; break;
    case XWARP_AFFINE: r[0] = x; r[1] = y; r[2] = 1.0; break;
    case XWARP_PSEUDOAFFINE: r[0] = x; r[1] = y; r[2] = x * y; r[3] = 1.0; break;
    case XWARP_SECONDORDER:
        r[0] = x * x; r[1] = y * y; r[2] = x * y; r[3] = x; r[4] = y; r[5] = 1.0;
        break;
    case XWARP_THIRDORDER:
        r[0] = x * x * x; r[1] = y * y * y; r[2] = x * x * y; r[3] = x * y * y;
        r[4] = x * x; r[5] = y * y; r[6] = x * y; r[7] = x; r[8] = y; r[9] = 1.0;
        break;
    default: break;
    }
}

/// Exponents of x and y of each term, in coefficient order. Linear's y
/// mapping depends on y alone, so its y terms differ from its x terms. Every
/// list is closed under lowering an exponent, so a polynomial in shifted and
/// scaled coordinates has raw coefficients for exactly the same terms.
struct XTerm {
    int px, py;
};
const XTerm kLinearX[] = {{1, 0}, {0, 0}};
const XTerm kLinearY[] = {{0, 1}, {0, 0}};
const XTerm kAffine[] = {{1, 0}, {0, 1}, {0, 0}};
const XTerm kPseudoAffine[] = {{1, 0}, {0, 1}, {1, 1}, {0, 0}};
const XTerm kSecondOrder[] = {{2, 0}, {0, 2}, {1, 1}, {1, 0}, {0, 1}, {0, 0}};
const XTerm kThirdOrder[] = {{3, 0}, {0, 3}, {2, 1}, {1, 2}, {2, 0}, {0, 2}, {1, 1}, {1, 0}, {0, 1}, {0, 0}};

const XTerm* Terms(int nMethod, bool bForY)
{
    switch (nMethod) {
    case XWARP_LINEAR: return bForY ? kLinearY : kLinearX;
    case XWARP_AFFINE: return kAffine;
    case XWARP_PSEUDOAFFINE: return kPseudoAffine;
    case XWARP_SECONDORDER: return kSecondOrder;
    case XWARP_THIRDORDER: return kThirdOrder;
    default: return nullptr;
    }
}

/// The centre and half-width of a coordinate's range: u = (x - centre) / scale
/// lies in [-1, 1]. A range of one value keeps scale 1, so its column stays
/// constant and the solve reports it as undetermined.
struct XAxisNorm {
    double centre = 0.0, scale = 1.0;
};
XAxisNorm AxisNorm(const XVector& v)
{
    const int n = v.GetSize();
    if (n < 1) return {};
    double lo = v[0], hi = v[0];
    for (int i = 1; i < n; ++i) {
        lo = std::min(lo, v[i]);
        hi = std::max(hi, v[i]);
    }
    XAxisNorm a;
    a.centre = lo + (hi - lo) / 2;
    if (hi > lo) a.scale = (hi - lo) / 2;
    return a;
}

/// Rewrites the coefficients c of a polynomial in u = (x - cx) / sx and
/// v = (y - cy) / sy as coefficients of the same terms in x and y: each
/// u^i v^j = (x/sx - cx/sx)^i (y/sy - cy/sy)^j is expanded binomially. The
/// sums run in long double, whose 11 further bits absorb most of the
/// cancellation that large offsets bring.
void ToRawTerms(const XTerm* terms, int k, const double* c, const XAxisNorm& nx, const XAxisNorm& ny, double* raw)
{
    static const long double kBinomial[4][4] = {{1, 0, 0, 0}, {1, 1, 0, 0}, {1, 2, 1, 0}, {1, 3, 3, 1}};
    const long double ax = 1.0L / nx.scale, bx = -(long double)nx.centre / nx.scale;
    const long double ay = 1.0L / ny.scale, by = -(long double)ny.centre / ny.scale;
    long double pax[4] = {1, ax, ax * ax, ax * ax * ax}, pbx[4] = {1, bx, bx * bx, bx * bx * bx};
    long double pay[4] = {1, ay, ay * ay, ay * ay * ay}, pby[4] = {1, by, by * by, by * by * by};
    long double sum[10] = {};
    for (int t = 0; t < k; ++t) {
        const int i = terms[t].px, j = terms[t].py;
        for (int a = 0; a <= i; ++a)
            for (int b = 0; b <= j; ++b) {
                const long double f = kBinomial[i][a] * pax[a] * pbx[i - a] * kBinomial[j][b] * pay[b] * pby[j - b];
                int dst = 0;
                while (terms[dst].px != a || terms[dst].py != b) ++dst;
                sum[dst] += f * c[t];
            }
    }
    for (int t = 0; t < k; ++t) raw[t] = double(sum[t]);
}

/// Least squares of one coordinate: the design in normalised coordinates,
/// solved, and the coefficients rewritten for raw coordinates.
bool SolveNormalised(XMatrix& a, int nMethod, bool bForY, const XVector& sx, const XVector& sy,
                     const XAxisNorm& nx, const XAxisNorm& ny, const XVector& t, double* raw)
{
    const int n = sx.GetSize(), k = a.GetCols();
    for (int i = 0; i < n; ++i) {
        const double u = (sx[i] - nx.centre) / nx.scale, v = (sy[i] - ny.centre) / ny.scale;
        if (nMethod == XWARP_LINEAR)
            FillDesignRow(a, i, nMethod, bForY ? v : u, v);
        else
            FillDesignRow(a, i, nMethod, u, v);
    }
    XVector c;
    if (!a.Solve(t, c)) return false;
    ToRawTerms(Terms(nMethod, bForY), k, c.GetData(), nx, ny, raw);
    return true;
}

/// Copies the entries of the selected points into a vector.
bool Gather(const double* p, int n, const std::vector<uint8_t>& sel, int nSel, XVector& out)
{
    if (!out.Resize(nSel)) return false;
    for (int i = 0, k = 0; i < n; ++i)
        if (sel[i]) out[k++] = p[i];
    return true;
}

void SplitVertices(const XVertex2<double>* p, int n, std::vector<double>& xs, std::vector<double>& ys)
{
    xs.resize(size_t(n));
    ys.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        xs[i] = p[i].x;
        ys[i] = p[i].y;
    }
}

} // namespace

XWarp2D::XWarp2D() : m_Bound{-NAN_REAL64, -NAN_REAL64, NAN_REAL64, NAN_REAL64} {}

XWarp2D::XWarp2D(const XWarp2D& src) : XWarpCoeff(src), m_Bound{}
{
    *this = src;
}

XWarp2D& XWarp2D::operator=(const XWarp2D& src)
{
    if (this == &src) return *this;
    XWarpCoeff::operator=(src);
    FreeCells();
    if (src.m_Cells.m_pData && ResizeCells(src.m_Cells.m_nRows, src.m_Cells.m_nCols))
        std::copy(src.m_Cells.m_pData, src.m_Cells.m_pData + src.m_Cells.m_nRows * src.m_Cells.m_nCols,
                  m_Cells.m_pData);
    std::copy(src.m_Bound, src.m_Bound + 4, m_Bound);
    return *this;
}

XWarp2D::~XWarp2D() { XWarp2D::Reset(); }

void XWarp2D::Reset()
{
    XWarpCoeff::Reset();
    FreeCells();
    m_Bound[0] = m_Bound[1] = -NAN_REAL64;
    m_Bound[2] = m_Bound[3] = NAN_REAL64;
}

void XWarp2D::FreeCells()
{
    if (m_Cells.m_nCapacity > 0) delete[] m_Cells.m_pData;
    m_Cells = XWarpCellGrid{};
}

bool XWarp2D::ResizeCells(int nRows, int nCols)
{
    if (nRows < 0 || nCols < 0) return false;
    const int64_t need = int64_t(nRows) * nCols;
    if (need > INT32_MAX) return false;
    const bool owned = m_Cells.m_nCapacity > 0;
    if (owned ? need > m_Cells.m_nCapacity : need > int64_t(m_Cells.m_nRows) * m_Cells.m_nCols) {
        if (!owned && m_Cells.m_pData) return false;  // borrowed and too small
        XWarpCoeff* p = new (std::nothrow) XWarpCoeff[size_t(std::max<int64_t>(need, 1))];
        if (!p) return false;
        FreeCells();
        m_Cells.m_pData = p;
        m_Cells.m_nCapacity = int32_t(std::max<int64_t>(need, 1));
    }
    m_Cells.m_nRows = nRows;
    m_Cells.m_nCols = nCols;
    return true;
}

bool XWarp2D::WarpPoint(double& x, double& y)
{
    const int rows = m_Cells.m_nRows, cols = m_Cells.m_nCols;
    if (rows >= 1 && cols >= 1 && m_Cells.m_pData) {
        const double cw = (m_Bound[2] - m_Bound[0]) / cols, ch = (m_Bound[3] - m_Bound[1]) / rows;
        // Truncate toward zero, then clamp into the grid; a non-number (a
        // collapsed rectangle) lands in the first cell.
        const double qi = (x - m_Bound[0]) / cw, qj = (y - m_Bound[1]) / ch;
        const int i = qi >= cols - 1 ? cols - 1 : (qi > 0.0 ? int(qi) : 0);
        const int j = qj >= rows - 1 ? rows - 1 : (qj > 0.0 ? int(qj) : 0);
        if (m_Cells.m_pData[j * cols + i].Evaluate(x, y)) return true;
    }
    return Evaluate(x, y);
}

bool XWarp2D::IsUnchanged() const
{
    if (m_nMethod > XWARP_NOCHANGE) return false;
    const int n = m_Cells.m_pData ? m_Cells.m_nRows * m_Cells.m_nCols : 0;
    for (int k = 0; k < n; ++k)
        if (m_Cells.m_pData[k].m_nMethod > XWARP_NOCHANGE) return false;
    return true;
}

bool XWarp2D::FitCoeff(XWarpCoeff& target, int nMethod, const XVector& sx, const XVector& sy, const XVector& tx,
                       const XVector& ty)
{
    target.Reset();
    if (nMethod == XWARP_NULL || nMethod == XWARP_NOCHANGE) return true;
    const int k = GetWarpTermCount(nMethod);
    const int n = sx.GetSize();
    if (k == 0 || sy.GetSize() != n || tx.GetSize() != n || ty.GetSize() != n) return false;

    // Coordinates far from their origin relative to their spread (map
    // coordinates of a small footprint) make the raw power columns nearly
    // parallel; centred and scaled to [-1, 1] they are as independent as the
    // points allow, so the solve fails only when the points do not determine
    // the polynomial (too few, collinear, duplicated).
    XMatrix a;
    if (!a.Resize(n, k)) return false;
    const XAxisNorm nx = AxisNorm(sx), ny = AxisNorm(sy);
    if (!SolveNormalised(a, nMethod, false, sx, sy, nx, ny, tx, target.m_CoeffX) ||
        !SolveNormalised(a, nMethod, true, sx, sy, nx, ny, ty, target.m_CoeffY)) {
        target.Reset();
        return false;
    }
    target.m_nMethod = nMethod;

    double sumX = 0.0, sumY = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        double xo, yo;
        if (!target.WarpPoint(sx[i], sy[i], xo, yo)) continue;
        sumX += (tx[i] - xo) * (tx[i] - xo);
        sumY += (ty[i] - yo) * (ty[i] - yo);
        ++count;
    }
    target.m_RmsX = count ? std::sqrt(sumX / count) : NAN_REAL64;
    target.m_RmsY = count ? std::sqrt(sumY / count) : NAN_REAL64;
    return true;
}

bool XWarp2D::Fit(int nMethod, int n, const double* pSrcX, const double* pSrcY, const double* pDstX,
                  const double* pDstY, const uint8_t* pMask, int nCols, int nRows)
{
    Reset();
    if (n < 0 || (n > 0 && (!pSrcX || !pSrcY || !pDstX || !pDstY))) return false;

    std::vector<uint8_t> used(static_cast<size_t>(n)), sel(static_cast<size_t>(n));
    int nUsed = 0;
    for (int i = 0; i < n; ++i) nUsed += (used[i] = (!pMask || pMask[i]) ? 1 : 0);

    XVector sx, sy, tx, ty;
    if (!Gather(pSrcX, n, used, nUsed, sx) || !Gather(pSrcY, n, used, nUsed, sy) ||
        !Gather(pDstX, n, used, nUsed, tx) || !Gather(pDstY, n, used, nUsed, ty))
        return false;
    if (!FitCoeff(*this, nMethod, sx, sy, tx, ty)) return false;
    if (nCols < 1 || nRows < 1 || int64_t(nCols) * nRows < 2) return true;

    double minX = NAN_REAL64, minY = NAN_REAL64, maxX = -NAN_REAL64, maxY = -NAN_REAL64;
    for (int i = 0; i < n; ++i) {
        if (!used[i]) continue;
        minX = std::min(minX, pSrcX[i]);
        maxX = std::max(maxX, pSrcX[i]);
        minY = std::min(minY, pSrcY[i]);
        maxY = std::max(maxY, pSrcY[i]);
    }
    if (maxX < minX || maxY < minY) return true;
    if (!ResizeCells(nRows, nCols)) return true;

    const double cw = (maxX - minX) / nCols, ch = (maxY - minY) / nRows;
    XWarpCoeff cell;
    for (int j = 0; j < nRows; ++j)
        for (int i = 0; i < nCols; ++i) {
            const double x0 = i * cw + minX, x1 = x0 + cw;
            const double y0 = j * ch + minY, y1 = y0 + ch;
            int nSel = 0;
            for (int p = 0; p < n; ++p) {
                const bool in = used[p] && x0 <= pSrcX[p] && pSrcX[p] <= x1 && y0 <= pSrcY[p] && pSrcY[p] <= y1;
                nSel += (sel[p] = in ? 1 : 0);
            }
            XVector cx, cy, ctx, cty;
            const bool ok = Gather(pSrcX, n, sel, nSel, cx) && Gather(pSrcY, n, sel, nSel, cy) &&
                            Gather(pDstX, n, sel, nSel, ctx) && Gather(pDstY, n, sel, nSel, cty) &&
                            FitCoeff(cell, nMethod, cx, cy, ctx, cty);
            if (!ok) {
                // A cell without a fit of its own defers to the global set;
                // its residuals say that nothing was fitted.
                cell.Reset();
                cell.m_RmsX = cell.m_RmsY = NAN_REAL64;
            }
            m_Cells.m_pData[j * nCols + i] = cell;
        }
    m_Bound[0] = minX;
    m_Bound[1] = minY;
    m_Bound[2] = maxX;
    m_Bound[3] = maxY;
    CalcRms(*this, n, pSrcX, pSrcY, pDstX, pDstY, pMask, m_RmsX, m_RmsY);
    return true;
}

bool XWarp2D::Fit(int nMethod, int n, const XVertex2<double>* pSrc, const XVertex2<double>* pDst,
                  const uint8_t* pMask, int nCols, int nRows)
{
    if (n < 0 || (n > 0 && (!pSrc || !pDst))) {
        Reset();
        return false;
    }
    std::vector<double> sx, sy, tx, ty;
    SplitVertices(pSrc, n, sx, sy);
    SplitVertices(pDst, n, tx, ty);
    return Fit(nMethod, n, sx.data(), sy.data(), tx.data(), ty.data(), pMask, nCols, nRows);
}

void XWarp2D::CalcRms(XWarpCoeff& mapping, int n, const double* pSrcX, const double* pSrcY, const double* pDstX,
                      const double* pDstY, const uint8_t* pMask, double& dRmsX, double& dRmsY)
{
    double sumX = 0.0, sumY = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (pMask && !pMask[i]) continue;
        double xo, yo;
        if (!mapping.WarpPoint(pSrcX[i], pSrcY[i], xo, yo)) continue;
        sumX += (pDstX[i] - xo) * (pDstX[i] - xo);
        sumY += (pDstY[i] - yo) * (pDstY[i] - yo);
        ++count;
    }
    dRmsX = count ? std::sqrt(sumX / count) : NAN_REAL64;
    dRmsY = count ? std::sqrt(sumY / count) : NAN_REAL64;
}

void XWarp2D::CalcRms(XWarpCoeff& mapping, int n, const XVertex2<double>* pSrc, const XVertex2<double>* pDst,
                      const uint8_t* pMask, double& dRmsX, double& dRmsY)
{
    std::vector<double> sx, sy, tx, ty;
    SplitVertices(pSrc, std::max(n, 0), sx, sy);
    SplitVertices(pDst, std::max(n, 0), tx, ty);
    CalcRms(mapping, n, sx.data(), sy.data(), tx.data(), ty.data(), pMask, dRmsX, dRmsY);
}

} // namespace Pelmora::Tivra::MT
