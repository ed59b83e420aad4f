// Geographic points and the equidistant-cylindrical (eec) coordinates.
#include <tivra/geo/XGeoPoint.h>

#include <tivra/geo/XEllipsoidEarth.h>

#include <cmath>

namespace Pelmora::Tivra {

namespace {

// Radius of the parallel at a latitude in degrees on the default earth: the
// distance from the polar axis of the surface point at that latitude, found
// from its polar coordinate Z. Not positive (exactly at a pole) gives 1.0; a
// non-number from a slightly negative radicand stays a non-number.
double ParallelRadius(const XEllipsoidEarth& g, double lat)
{
    const double a = g.GetA(), b = g.GetB(), e2 = g.GetE2();
    const double phi = lat * XGEO_DEG2RAD;
    const double s = std::sin(phi);
    const double N = a / std::sqrt(1.0 - e2 * (s * s));
    const double Z = N * (1.0 - e2) * s;
    double rho = std::sqrt((1.0 - Z * Z / (b * b)) * (a * a));
    if (rho <= 0.0) rho = 1.0;
    return rho;
}

} // namespace

namespace Xfn {

void GeoToEec(double lon, double lat, double hgt, double& x, double& y, double& z)
{
    const XEllipsoidEarth& g = m_earth;
    const double rho = ParallelRadius(g, lat);
    x = lon * XGEO_DEG2RAD * g.GetA();
    y = lat * XGEO_DEG2RAD * g.GetB();
    z = hgt * rho / g.GetA();
}

void EecToGeo(double x, double y, double z, double& lon, double& lat, double& hgt)
{
    const XEllipsoidEarth& g = m_earth;
    const double rho = ParallelRadius(g, lat);
    lon = x / (g.GetA() * XGEO_DEG2RAD);
    lat = y / (XGEO_DEG2RAD * g.GetB());
    hgt = z * g.GetA() / rho;
}

} // namespace Xfn

XGeoPoint::XGeoPoint() : m_lon(0.0), m_lat(0.0), m_hgt(0.0) { Update(); }

XGeoPoint::XGeoPoint(const XAngle& lon, const XAngle& lat, double hgt) : m_lon(lon.rad()), m_lat(lat.rad()), m_hgt(hgt)
{
    Update();
}

XGeoPoint XGeoPoint::FromRadian(double lon, double lat, double hgt) { return XGeoPoint(XAngle(lon), XAngle(lat), hgt); }

XGeoPoint XGeoPoint::FromDegree(double lon, double lat, double hgt)
{
    return XGeoPoint(XAngle::FromDegree(lon), XAngle::FromDegree(lat), hgt);
}

XGeoPoint XGeoPoint::FromEcr(const XVertex3<double>& ecr)
{
    XGeoPoint p;
    p.m_ecr = ecr;
    double lon, lat, hgt;
    Xfn::m_earth.EcrToGeo(ecr.x, ecr.y, ecr.z, lon, lat, hgt);
    p.m_lon = XAngle::FromDegree(lon).rad();
    p.m_lat = XAngle::FromDegree(lat).rad();
    p.m_hgt = hgt;
    Xfn::GeoToEec(p.m_lon * XGEO_RAD2DEG, p.m_lat * XGEO_RAD2DEG, p.m_hgt, p.m_eec.x, p.m_eec.y, p.m_eec.z);
    return p;
}

XGeoPoint XGeoPoint::FromEec(const XVertex3<double>& eec)
{
    XGeoPoint p;
    p.m_eec = eec;
    // The first pass works with the radius of the parallel at latitude 0 and
    // settles the latitude; the second recomputes the height with the radius
    // at that latitude.
    double lon = 0.0, lat = 0.0, hgt = 0.0;
    Xfn::EecToGeo(eec.x, eec.y, eec.z, lon, lat, hgt);
    Xfn::EecToGeo(eec.x, eec.y, eec.z, lon, lat, hgt);
    p.m_lon = XAngle::FromDegree(lon).rad();
    p.m_lat = XAngle::FromDegree(lat).rad();
    p.m_hgt = hgt;
    Xfn::m_earth.GeoToEcr(p.m_lon * XGEO_RAD2DEG, p.m_lat * XGEO_RAD2DEG, p.m_hgt, p.m_ecr.x, p.m_ecr.y, p.m_ecr.z);
    return p;
}

void XGeoPoint::lon(const XAngle& a) { lonr(a.rad()); }
void XGeoPoint::lat(const XAngle& a) { latr(a.rad()); }

void XGeoPoint::lonr(double dRad)
{
    m_lon = dRad;
    Update();
}

void XGeoPoint::latr(double dRad)
{
    m_lat = dRad;
    Update();
}

void XGeoPoint::lond(double dDeg) { lonr(XAngle::FromDegree(dDeg).rad()); }
void XGeoPoint::latd(double dDeg) { latr(XAngle::FromDegree(dDeg).rad()); }

void XGeoPoint::hgt(double dHgt)
{
    m_hgt = dHgt;
    Update();
}

void XGeoPoint::Update()
{
    const double lonDeg = m_lon * XGEO_RAD2DEG;
    const double latDeg = m_lat * XGEO_RAD2DEG;
    Xfn::m_earth.GeoToEcr(lonDeg, latDeg, m_hgt, m_ecr.x, m_ecr.y, m_ecr.z);
    Xfn::GeoToEec(lonDeg, latDeg, m_hgt, m_eec.x, m_eec.y, m_eec.z);
}

} // namespace Pelmora::Tivra
