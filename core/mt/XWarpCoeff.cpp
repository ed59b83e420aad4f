#include <tivra/mt/XWarpCoeff.h>

#include <cmath>

namespace Pelmora::Tivra {

/// Degrees to radians.
static constexpr double kDegToRad = 0.017453292519943295;

int GetWarpTermCount(int nMethod)
{
    switch (nMethod) {
    case XWARP_LINEAR: return 2;
    case XWARP_AFFINE: return 3;
    case XWARP_PSEUDOAFFINE: return 4;
    case XWARP_SECONDORDER: return 6;
    case XWARP_THIRDORDER: return 10;
    default: return 0;
    }
}

XWarpCoeff::XWarpCoeff() : m_nMethod(XWARP_NULL), m_CoeffX{}, m_CoeffY{}, m_RmsX(0.0), m_RmsY(0.0) {}

XWarpCoeff& XWarpCoeff::operator=(XWarpCoeff src)
{
    m_nMethod = src.m_nMethod;
    for (int i = 0; i < 10; ++i) {
        m_CoeffX[i] = src.m_CoeffX[i];
        m_CoeffY[i] = src.m_CoeffY[i];
    }
    m_RmsX = src.m_RmsX;
    m_RmsY = src.m_RmsY;
    return *this;
}

XWarpCoeff::~XWarpCoeff()
{
    m_nMethod = XWARP_NULL;
    for (int i = 0; i < 10; ++i) m_CoeffX[i] = m_CoeffY[i] = 0.0;
}

void XWarpCoeff::Reset()
{
    m_nMethod = XWARP_NULL;
    for (int i = 0; i < 10; ++i) m_CoeffX[i] = m_CoeffY[i] = 0.0;
}

bool XWarpCoeff::WarpPoints(XVertex2<double>* pPoints, int nCount)
{
    bool ok = true;
    for (int i = 0; i < nCount; ++i)
        if (!WarpPoint(pPoints[i])) ok = false;
    return ok;
}

bool XWarpCoeff::WarpPoint(XVertex2<double> in, XVertex2<double>& out)
{
    out = in;
    return WarpPoint(out);
}

bool XWarpCoeff::WarpPoint(XVertex2<double>& p) { return WarpPoint(p.x, p.y); }

bool XWarpCoeff::WarpPoints(double* pXs, double* pYs, int nCount)
{
    bool ok = true;
    for (int i = 0; i < nCount; ++i)
        if (!WarpPoint(pXs[i], pYs[i])) ok = false;
    return ok;
}

bool XWarpCoeff::WarpPoint(double x, double y, double& xo, double& yo)
{
    xo = x;
    yo = y;
    return WarpPoint(xo, yo);
}

bool XWarpCoeff::WarpPoint(double& x, double& y) { return Evaluate(x, y); }

bool XWarpCoeff::IsUnchanged() const { return m_nMethod < XWARP_LINEAR; }

// Sums run in the term order of the coefficient arrays, left to right.
bool XWarpCoeff::Evaluate(double& x, double& y) const
{
    const double* a = m_CoeffX;
    const double* b = m_CoeffY;
    double xo, yo;
    switch (m_nMethod) {
    case XWARP_NOCHANGE:
        return true;
    case XWARP_LINEAR:
        xo = a[0] * x + a[1];
        yo = b[0] * y + b[1];
        break;
    case XWARP_AFFINE:
        xo = a[0] * x + a[1] * y + a[2];
        yo = b[0] * x + b[1] * y + b[2];
        break;
    case XWARP_PSEUDOAFFINE: {
        const double xy = x * y;
        xo = a[0] * x + a[1] * y + a[2] * xy + a[3];
        yo = b[0] * x + b[1] * y + b[2] * xy + b[3];
        break;
    }
    case XWARP_SECONDORDER: {
        const double xx = x * x, yy = y * y, xy = x * y;
        xo = a[0] * xx + a[1] * yy + a[2] * xy + a[3] * x + a[4] * y + a[5];
        yo = b[0] * xx + b[1] * yy + b[2] * xy + b[3] * x + b[4] * y + b[5];
        break;
    }
    case XWARP_THIRDORDER: {
        const double xx = x * x, yy = y * y, xy = x * y;
        const double xxx = xx * x, yyy = yy * y, xxy = xx * y, xyy = x * yy;
        xo = a[0] * xxx + a[1] * yyy + a[2] * xxy + a[3] * xyy + a[4] * xx + a[5] * yy + a[6] * xy + a[7] * x +
             a[8] * y + a[9];
        yo = b[0] * xxx + b[1] * yyy + b[2] * xxy + b[3] * xyy + b[4] * xx + b[5] * yy + b[6] * xy + b[7] * x +
             b[8] * y + b[9];
        break;
    }
    default:
        return false;  // Null or an unknown method: no mapping
    }
    x = xo;
    y = yo;
    return true;
}

void XWarpCoeff::CreateRotation(double dAngle, double dCenterX, double dCenterY)
{
    Reset();
    const double r = dAngle * kDegToRad;
    const double s = std::sin(r), c = std::cos(r);
    const double cx = dCenterX, cy = dCenterY;
    m_nMethod = XWARP_AFFINE;
    m_CoeffX[0] = c;
    m_CoeffX[1] = -s;
    m_CoeffX[2] = (s * cy - c * cx) + cx;
    m_CoeffY[0] = s;
    m_CoeffY[1] = c;
    m_CoeffY[2] = cy - (s * cx + c * cy);
    m_RmsX = m_RmsY = 0.0;
}

} // namespace Pelmora::Tivra
