// Angles and the degree/minute/second functions.
#include <tivra/geo/XAngle.h>

#include <climits>
#include <cmath>

namespace Pelmora::Tivra {

namespace {

// Truncation toward zero into an int without undefined behaviour: a
// non-number gives 0 and magnitudes beyond the 32-bit range saturate.
int TruncToInt(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

// Puts the sign of a negative angle on the first non-zero part; an angle of
// exactly zero stays zero.
void SignOnFirstNonZero(int& d, int& m, double& s)
{
    if (d != 0) d = -d;
    else if (m != 0) m = -m;
    else if (s != 0) s = -s;
}

bool AnyNegative(int d, int m, double s) { return d < 0 || m < 0 || s < 0; }

} // namespace

namespace Xfn {

void DmsToDeg(int d, int m, double s, double& deg)
{
    // The parts go through double before taking magnitudes, so INT_MIN is
    // safe.
    deg = std::fabs(static_cast<double>(d)) + std::fabs(static_cast<double>(m)) / 60.0 + std::fabs(s) / 3600.0;
    if (AnyNegative(d, m, s)) deg = -deg;
}

void DegToDms(double deg, int& d, int& m, double& s)
{
    const double a = std::fabs(deg);
    d = TruncToInt(a);
    const double f = (a - d) * 60.0;
    m = TruncToInt(f);
    s = (f - m) * 60.0;
    if (deg >= 0 || std::isnan(deg)) return;
    SignOnFirstNonZero(d, m, s);
}

double DegToPackedDms(double deg)
{
    int d, m;
    double s;
    DegToDms(deg, d, m, s);
    double v = std::fabs(static_cast<double>(d)) + std::fabs(static_cast<double>(m)) / 100.0 + std::fabs(s) / 10000.0;
    return AnyNegative(d, m, s) ? -v : v;
}

double PackedDmsToDeg(double v)
{
    const double a = std::fabs(v);
    int d = TruncToInt(a);
    const double f = (a - d) * 100.0;
    int m = TruncToInt(f);
    double s = (f - m) * 100.0;
    if (v < 0) SignOnFirstNonZero(d, m, s);
    double deg;
    DmsToDeg(d, m, s, deg);
    return deg;
}

} // namespace Xfn

XAngle XAngle::FromDms(int d, int m, double s)
{
    double deg;
    Xfn::DmsToDeg(d, m, s, deg);
    return XAngle(deg * XGEO_DEG2RAD);
}

void XAngle::GetDms(int& d, int& m, double& s) const { Xfn::DegToDms(m_dRad * XGEO_RAD2DEG, d, m, s); }

XString XAngle::GetDmsString() const
{
    int d, m;
    double s;
    GetDms(d, m, s);
    XString str;
    str.Format("%d.%d.%lf", d, m, s);
    return str;
}

XAngle& XAngle::Normalize()
{
    if (m_dRad == XGEO_TWOPI || std::isnan(m_dRad)) return *this;
    const double q = m_dRad / XGEO_TWOPI;
    if (q > -2147483649.0 && q < 2147483648.0) {
        const int k = static_cast<int>(q);
        m_dRad = m_dRad - k * XGEO_TWOPI;
    } else {
        // Whole turns beyond the 32-bit count: the exact remainder, which has
        // the same sign and bounds as the formula above.
        m_dRad = std::fmod(m_dRad, XGEO_TWOPI);
    }
    return *this;
}

XAngle XAngle::Abs() const { return XAngle(std::fabs(m_dRad)); }

} // namespace Pelmora::Tivra
