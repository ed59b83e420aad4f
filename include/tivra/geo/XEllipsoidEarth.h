// XEllipsoidEarth: the earth as an ellipsoid of revolution. A catalogue of 25
// reference ellipsoids selectable by two-letter code or numeric identifier,
// geodetic <-> earth-centred rotating cartesian (ecr) conversion, local
// north-east-down and east-north-up frames, radii of curvature, point and line
// tests against the surface, the Greenwich mean sidereal angle and the
// rotations between the inertial and the earth-fixed frame.
//
// ecr: earth-fixed, metres, x toward longitude 0 on the equator, z toward the
// north pole. Angles are degrees at this interface unless a name says
// otherwise.
#pragma once

#include <cstdint>

#include <tivra/geo/XAngle.h>
#include <tivra/geo/XVertex.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

/// One row of the ellipsoid catalogue.
struct tagXEllipsoidDef {
    const char* code;
    const char* name;
    int32_t id;
    double a;
    double b;
};

class XEllipsoidEarth {
public:
    /// WGS 84 ("WGS 84", "WE", 7030).
    XEllipsoidEarth();
    /// The catalogue row with this identifier, searched from "AA" to "PV"
    /// without "SA" (so 7003 is "Australian National"); any other id,
    /// 0 included, gives WGS 84.
    explicit XEllipsoidEarth(int nId);
    /// The first catalogue row whose code equals strCode exactly
    /// (case-sensitive); no match gives WGS 84 with code "WE".
    explicit XEllipsoidEarth(const XString& strCode);
    /// A custom ellipsoid: empty name and code, id 0.
    XEllipsoidEarth(double dA, double dB);

    const XString& GetName() const { return m_strName; }
    const XString& GetCode() const { return m_strCode; }
    int GetId() const { return m_nId; }
    double GetA() const { return m_dA; }
    double GetB() const { return m_dB; }
    /// Flattening (a - b) / a.
    double GetF() const { return m_dF; }
    /// First eccentricity sqrt(a^2 - b^2) / a.
    double GetE() const { return m_dE; }
    /// Squared eccentricity (a^2 - b^2) / a^2.
    double GetE2() const { return m_dE2; }

    /// The 25 rows of the catalogue in table order.
    static int GetCatalogSize();
    /// Row i (0-based) of the catalogue; null outside 0..GetCatalogSize()-1.
    static const tagXEllipsoidDef* GetCatalogEntry(int i);

    // --- geodetic and ecr ------------------------------------------------------

    void GeoToEcr(double lon, double lat, double hgt, double& x, double& y, double& z) const;
    /// Fixed-point iteration on the latitude (at most 10 passes). The height
    /// is measured along the surface normal at that latitude, a form that
    /// stays exact close to the polar axis. A point on the polar axis returns
    /// latitude +-90, longitude atan2(y, x) and the height above the pole; the
    /// origin returns non-numbers for latitude and height.
    void EcrToGeo(double x, double y, double z, double& lon, double& lat, double& hgt) const;

    /// Unit north, east and down vectors (in ecr) at the ecr position pos,
    /// built by finite differences on the default earth Xfn::m_earth whatever
    /// instance it is called on.
    void GetFrameNED(const XVertex3<double>& pos, XVertex3<double>& N, XVertex3<double>& E,
                     XVertex3<double>& D) const;
    /// The same frame as east, north, up (U = -D).
    void GetFrameENU(const XVertex3<double>& pos, XVertex3<double>& E, XVertex3<double>& N,
                     XVertex3<double>& U) const;

    /// Meridian radius of curvature a(1 - e2) / (1 - e2 sin^2 lat)^(3/2) at
    /// the latitude of an ecr position.
    double GetMeridianRadius(const XVertex3<double>& pos) const;
    /// Prime-vertical radius of curvature a / sqrt(1 - e2 sin^2 lat).
    double GetPrimeVerticalRadius(const XVertex3<double>& pos) const;

    // With q = (x^2 + y^2)/a^2 + z^2/b^2: inside q < 1, outside q > 1, on the
    // surface q == 1 exactly.
    bool IsInside(const XVertex3<double>& pos) const;
    bool IsOutside(const XVertex3<double>& pos) const;
    bool IsOnSurface(const XVertex3<double>& pos) const;

    /// Meets the line through P0 and P1 (points P0 + t (P1 - P0)) with the
    /// surface. True with both intersections, t1 <= t2; false when P0 equals
    /// P1 or the line misses. Every output starts at 1.7e308 and keeps that
    /// value on failure.
    bool IntersectLine(const XVertex3<double>& P0, const XVertex3<double>& P1, XVertex3<double>& hit1,
                       XVertex3<double>& hit2, double& t1, double& t2) const;
    /// The surface point on the ray from the earth's centre through pos.
    /// False (surf 1.7e308) for pos at the centre.
    bool GetSurfacePoint(const XVertex3<double>& pos, XVertex3<double>& surf) const;

    // --- time and inertial frame ---------------------------------------------

    /// Greenwich mean sidereal angle of a Julian date, radians in [0, 2pi).
    static double GetSiderealAngle(double dJD);

    /// Inertial to ecr at a Julian date (rotation by the sidereal angle).
    static void EciToEcr(double dJD, const XVertex3<double>& posEci, XVertex3<double>& posEcr);
    /// The same with a velocity; the earth's rotation is taken out of it.
    static void EciToEcr(double dJD, const XVertex3<double>& posEci, const XVertex3<double>& velEci,
                         XVertex3<double>& posEcr, XVertex3<double>& velEcr);
    static void EcrToEci(double dJD, const XVertex3<double>& posEcr, XVertex3<double>& posEci);
    static void EcrToEci(double dJD, const XVertex3<double>& posEcr, const XVertex3<double>& velEcr,
                         XVertex3<double>& posEci, XVertex3<double>& velEci);

    /// Inertial cartesian to geodetic at a Julian date (degrees, metres).
    void EciToGeo(double dJD, double x, double y, double z, double& lon, double& lat, double& hgt) const;
    /// Geodetic (degrees, metres) to inertial cartesian at a Julian date.
    void GeoToEci(double dJD, double lon, double lat, double hgt, double& x, double& y, double& z) const;

    /// Angular rate of the earth, radians per second.
    static constexpr double OMEGA = 7.292115e-05;

    // --- geodesics (defined in XGeodesic.cpp) ----------------------------------
    // Angles in radians, distances in metres. b is taken as a (1 - f).

    /// Inverse problem: the geodesic distance between two points and the
    /// azimuths at both ends, fwdAz at point 1 toward point 2 and revAz at
    /// point 2 back toward point 1, both in [0, 2pi). False, with the outputs
    /// untouched, for coincident points, for cos(sigma) exactly 0 and when the
    /// longitude iteration has not converged after 1000 passes (nearly
    /// antipodal points; CalArcDistAndAngleRobust solves those).
    bool CalArcDistAndAngle(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                            double& dist, XAngle& fwdAz, XAngle& revAz) const;
    /// Inverse problem that succeeds for every pair of points, nearly
    /// antipodal ones included.
    /// Arguments: longitudes any finite value, latitudes in [-pi/2, pi/2],
    /// radians. Results: dist, the length of the shortest geodesic in
    /// metres; fwdAz at point 1 toward point 2 and revAz at point 2 back
    /// toward point 1, radians clockwise from north, both in [0, 2pi) (the
    /// geodesic arrives at point 2 heading revAz - pi).
    /// Method: CalArcDistAndAngle's result wherever its iteration converges,
    /// except within one degree of the antipode (|lat1 + lat2| and
    /// pi - |lon2 - lon1| both at most 1 degree), where its azimuths lose
    /// accuracy. There, and wherever it fails, Newton's method on the
    /// starting azimuth over the auxiliary sphere, with series exact to
    /// round-off (Karney 2013) and, near the antipode, a start from the
    /// astroid solution. Either way the results agree with an independent
    /// geodesic library to 0.1 mm and 1e-9 rad.
    /// Where two or more shortest geodesics exist (exactly antipodal points,
    /// points on the antipodal parallel near the antipodal meridian,
    /// equatorial points more than (1 - f) pi apart) one of them is returned.
    /// Coincident points give dist 0 with fwdAz 0 and revAz pi, except the
    /// same pole given with two longitudes, which Vincenty's iteration
    /// solves with azimuths of no meaning. At a pole, azimuths are those of
    /// the limit approached along the given longitude.
    /// False, with the outputs untouched, only for a longitude that is not
    /// finite or a latitude that is not a number or lies outside
    /// [-pi/2, pi/2].
    bool CalArcDistAndAngleRobust(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                                  double& dist, XAngle& fwdAz, XAngle& revAz) const;
    /// Direct problem: the point reached from (lon1, lat1) along the azimuth
    /// bearing after dist metres, longitude wrapped into [-pi, pi) for every
    /// finite lon1 and dist. Returns the forward azimuth of the geodesic at
    /// the destination. Method: the geodesic on the auxiliary sphere with
    /// series exact to round-off (Karney 2013), without iteration; the
    /// results agree with an independent geodesic library to 2e-8 m and
    /// 1e-12 rad.
    XAngle CalcPosByBearingAndDist(const XAngle& lon1, const XAngle& lat1, const XAngle& bearing, double dist,
                                   XAngle& lon2, XAngle& lat2) const;
    /// Azimuth (from the platform's forward axis toward its right axis, in
    /// [0, 2pi)) and elevation (in the forward-down plane, positive above the
    /// platform's forward-right plane, in [-pi, pi]) of the ecr target vTarget
    /// seen from the ecr position vPos with the attitude (yaw, pitch, roll).
    void CalcAzimuthElevationOfTarget(const XVertex3<double>& vPos, const XAngle& yaw, const XAngle& pitch,
                                      const XAngle& roll, const XVertex3<double>& vTarget, XAngle& azimuth,
                                      XAngle& elev) const;

private:
    void SetRow(const tagXEllipsoidDef& row);
    void SetWGS84();
    /// f, e and e2 from a and b.
    void Derive();

    XString m_strName;
    XString m_strCode;
    int32_t m_nId;
    double m_dA;
    double m_dB;
    double m_dF;
    double m_dE;
    double m_dE2;
};

namespace Xfn {

/// The default earth, WGS 84, built when the library is loaded. XGeoPoint and
/// the library-wide geodesy functions use it.
extern XEllipsoidEarth m_earth;

/// GeoToEcr on the default earth (degrees, metres).
XVertex3<double> GeoToEcr(double lon, double lat, double hgt);
/// EcrToGeo on the default earth (degrees, metres).
void EcrToGeo(double x, double y, double z, double& lon, double& lat, double& hgt);

} // namespace Xfn
} // namespace Pelmora::Tivra
