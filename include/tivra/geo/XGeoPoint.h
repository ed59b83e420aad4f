// XGeoPoint: one position held in three equivalent representations that are
// kept in step on the default earth (Xfn::m_earth, WGS 84):
//   - longitude, geodetic latitude (radians) and height above the ellipsoid
//     (metres);
//   - ecr: earth-centred rotating cartesian x, y, z in metres;
//   - eec: earth equidistant-cylindrical coordinates, that is longitude and
//     latitude as arcs scaled by the semi-major and semi-minor axes, and the
//     height scaled by the ratio of the parallel's radius to the equatorial
//     radius (see Xfn::GeoToEec).
// Every constructor and setter leaves the three describing the same point.
#pragma once

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>

namespace Pelmora::Tivra {

class XGeoPoint {
public:
    /// Longitude, latitude and height 0: ecr (6378137, 0, 0), eec (0, 0, 0).
    XGeoPoint();
    XGeoPoint(const XAngle& lon, const XAngle& lat, double hgt);

    static XGeoPoint FromRadian(double lon, double lat, double hgt);
    static XGeoPoint FromDegree(double lon, double lat, double hgt);
    /// ecr kept exactly as given; the rest derived from it.
    static XGeoPoint FromEcr(const XVertex3<double>& ecr);
    /// eec kept exactly as given; the rest derived from it with two passes of
    /// Xfn::EecToGeo (the first settles the latitude, the second the height).
    static XGeoPoint FromEec(const XVertex3<double>& eec);

    XAngle lon() const { return XAngle(m_lon); }
    XAngle lat() const { return XAngle(m_lat); }
    double lonr() const { return m_lon; }
    double latr() const { return m_lat; }
    double lond() const { return m_lon * XGEO_RAD2DEG; }
    double latd() const { return m_lat * XGEO_RAD2DEG; }
    double hgt() const { return m_hgt; }
    const XVertex3<double>& ecr() const { return m_ecr; }
    const XVertex3<double>& eec() const { return m_eec; }

    // Each setter replaces one component, keeps the other two and recomputes
    // ecr and eec.
    void lon(const XAngle& a);
    void lat(const XAngle& a);
    void lonr(double dRad);
    void latr(double dRad);
    void lond(double dDeg);
    void latd(double dDeg);
    void hgt(double dHgt);

    /// True when the two ecr positions are exactly equal.
    bool operator==(const XGeoPoint& p) const { return m_ecr == p.m_ecr; }
    bool operator!=(const XGeoPoint& p) const { return !(*this == p); }

private:
    /// ecr and eec from the current longitude, latitude and height.
    void Update();

    double m_lon;
    double m_lat;
    double m_hgt;
    XVertex3<double> m_ecr;
    XVertex3<double> m_eec;
};

namespace Xfn {

/// Geodetic (degrees, metres) to eec on the default earth:
/// x = lon * a and y = lat * b with the angles in radians, z = hgt * rho / a,
/// rho being the radius of the parallel at lat (1.0 where it is not positive).
void GeoToEec(double lon, double lat, double hgt, double& x, double& y, double& z);

/// Inverse of GeoToEec. The radius of the parallel is taken at the latitude
/// that lat holds on entry, so a caller runs it twice when starting from an
/// unknown latitude.
void EecToGeo(double x, double y, double z, double& lon, double& lat, double& hgt);

} // namespace Xfn
} // namespace Pelmora::Tivra
