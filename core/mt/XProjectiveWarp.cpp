#include <tivra/mt/XProjectiveWarp.h>

#include <cmath>
#include <cstring>

#include <tivra/grid/XDataType.h>

namespace Pelmora::Tivra::MT {

namespace {

/// c = a * b for 3 x 3 row-major arrays.
void Multiply3(const double* a, const double* b, double* c)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) c[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
}

} // namespace

XProjectiveWarp::XProjectiveWarp() : m_H(3, 3), m_dMeanSqrX(0.0), m_dMeanSqrY(0.0)
{
    if (m_H.GetData()) std::memset(m_H.GetData(), 0, 9 * sizeof(double));
}

bool XProjectiveWarp::Fit(const XVertex2<double>* pSrc, const XVertex2<double>* pDst, int n, double cx, double cy,
                          double s, double cx2, double cy2, double s2, const uint8_t* pMask)
{
    if (s == 0.0 || s2 == 0.0 || n < 1 || !pSrc || !pDst || m_H.GetRows() != 3) return false;
    int used = 0;
    for (int i = 0; i < n; ++i) used += (!pMask || pMask[i]) ? 1 : 0;
    if (used < 4) return false;

    XMatrix a;
    if (!a.Resize(2 * used, 9)) return false;
    for (int i = 0, r = 0; i < n; ++i) {
        if (pMask && !pMask[i]) continue;
        const double u = (pSrc[i].x - cx) * s, v = (pSrc[i].y - cy) * s;
        const double U = (pDst[i].x - cx2) * s2, V = (pDst[i].y - cy2) * s2;
        const double row1[9] = {u, v, 1, 0, 0, 0, -U * u, -U * v, -U};
        const double row2[9] = {0, 0, 0, u, v, 1, -V * u, -V * v, -V};
        std::memcpy(a.GetData() + 9 * r++, row1, sizeof row1);
        std::memcpy(a.GetData() + 9 * r++, row2, sizeof row2);
    }
    XVector h;
    if (!a.NullVector(h)) return false;

    // H = T2^-1 * Hn * T with T = ((s, 0, -s cx), (0, s, -s cy), (0, 0, 1)).
    const double t[9] = {s, 0, -s * cx, 0, s, -s * cy, 0, 0, 1};
    const double t2inv[9] = {1 / s2, 0, cx2, 0, 1 / s2, cy2, 0, 0, 1};
    double hnT[9];
    Multiply3(h.GetData(), t, hnT);
    Multiply3(t2inv, hnT, m_H.GetData());

    double sumX = 0.0, sumY = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (pMask && !pMask[i]) continue;
        double x = pSrc[i].x, y = pSrc[i].y;
        if (!Apply(m_H.GetData(), x, y)) continue;
        sumX += (pDst[i].x - x) * (pDst[i].x - x);
        sumY += (pDst[i].y - y) * (pDst[i].y - y);
        ++count;
    }
    m_dMeanSqrX = count ? sumX / count : NAN_REAL64;
    m_dMeanSqrY = count ? sumY / count : NAN_REAL64;
    return true;
}

bool XProjectiveWarp::WarpPoint(double& x, double& y) const
{
    return m_H.GetRows() == 3 && m_H.GetCols() == 3 && Apply(m_H.GetData(), x, y);
}

void XProjectiveWarp::GetNormalization(const XVertex2<double>* p, int n, const uint8_t* pMask, double& cx,
                                       double& cy, double& s)
{
    cx = cy = s = 0.0;
    int count = 0;
    for (int i = 0; i < n; ++i)
        if (!pMask || pMask[i]) {
            cx += p[i].x;
            cy += p[i].y;
            ++count;
        }
    if (count == 0) return;
    cx /= count;
    cy /= count;
    double mean = 0.0;
    for (int i = 0; i < n; ++i)
        if (!pMask || pMask[i]) mean += std::hypot(p[i].x - cx, p[i].y - cy);
    mean /= count;
    s = mean > 0.0 ? std::sqrt(2.0) / mean : 0.0;
}

} // namespace Pelmora::Tivra::MT
