// XAngle: an angle held in radians. Degrees are derived on demand.
#pragma once

#include <tivra/geo/XDms.h>
#include <tivra/geo/XGeoConstants.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

class XAngle {
public:
    constexpr XAngle() : m_dRad(0.0) {}
    constexpr explicit XAngle(double dRad) : m_dRad(dRad) {}

    static constexpr XAngle FromRadian(double dRad) { return XAngle(dRad); }
    static constexpr XAngle FromDegree(double dDeg) { return XAngle(dDeg * XGEO_DEG2RAD); }
    /// From degrees, minutes, seconds with the sign rule of Xfn::DmsToDeg:
    /// negative when any part is negative.
    static XAngle FromDms(int d, int m, double s);

    constexpr double rad() const { return m_dRad; }
    constexpr double deg() const { return m_dRad * XGEO_RAD2DEG; }
    void rad(double dRad) { m_dRad = dRad; }
    void deg(double dDeg) { m_dRad = dDeg * XGEO_DEG2RAD; }

    /// The parts of Xfn::DegToDms of the angle in degrees.
    void GetDms(int& d, int& m, double& s) const;
    /// "%d.%d.%lf" of the DegToDms parts: 37 degrees 30 minutes 15 seconds
    /// reads 37.30.15.000000.
    XString GetDmsString() const;

    /// Removes whole turns: rad - k * 2pi with k = rad / 2pi truncated toward
    /// zero, so the result keeps the input's sign and lies between -2pi and
    /// 2pi. Exactly 2pi and non-numbers are left unchanged. When rad / 2pi
    /// does not fit a 32-bit integer the exact remainder std::fmod(rad, 2pi)
    /// is taken instead (the same value the formula would aim for, computed
    /// without an integer overflow); an infinity becomes a non-number.
    XAngle& Normalize();
    XAngle Abs() const;

    constexpr XAngle operator+(const XAngle& a) const { return XAngle(m_dRad + a.m_dRad); }
    constexpr XAngle operator-(const XAngle& a) const { return XAngle(m_dRad - a.m_dRad); }
    constexpr XAngle operator*(const XAngle& a) const { return XAngle(m_dRad * a.m_dRad); }
    constexpr XAngle operator/(const XAngle& a) const { return XAngle(m_dRad / a.m_dRad); }
    /// A double operand is radians.
    constexpr XAngle operator+(double v) const { return XAngle(m_dRad + v); }
    constexpr XAngle operator-(double v) const { return XAngle(m_dRad - v); }
    constexpr XAngle operator*(double v) const { return XAngle(m_dRad * v); }
    constexpr XAngle operator/(double v) const { return XAngle(m_dRad / v); }
    constexpr XAngle operator-() const { return XAngle(-m_dRad); }
    XAngle& operator+=(const XAngle& a) { m_dRad += a.m_dRad; return *this; }
    XAngle& operator-=(const XAngle& a) { m_dRad -= a.m_dRad; return *this; }

    /// Exact comparisons of the radians (false when either is a non-number).
    constexpr bool operator==(const XAngle& a) const { return m_dRad == a.m_dRad; }
    constexpr bool operator!=(const XAngle& a) const { return !(*this == a); }
    constexpr bool operator<(const XAngle& a) const { return m_dRad < a.m_dRad; }
    constexpr bool operator>(const XAngle& a) const { return m_dRad > a.m_dRad; }
    constexpr bool operator<=(const XAngle& a) const { return m_dRad <= a.m_dRad; }
    constexpr bool operator>=(const XAngle& a) const { return m_dRad >= a.m_dRad; }

private:
    double m_dRad;
};

constexpr XAngle operator+(double v, const XAngle& a) { return XAngle(v + a.rad()); }
constexpr XAngle operator-(double v, const XAngle& a) { return XAngle(v - a.rad()); }
constexpr XAngle operator*(double v, const XAngle& a) { return XAngle(v * a.rad()); }
constexpr XAngle operator/(double v, const XAngle& a) { return XAngle(v / a.rad()); }

} // namespace Pelmora::Tivra
