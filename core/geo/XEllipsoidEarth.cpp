// The ellipsoid earth: catalogue, geodetic <-> ecr, local frames, surface
// tests, sidereal time and the inertial frame.
#include <tivra/geo/XEllipsoidEarth.h>

#include <tivra/geo/XGeoConstants.h>

#include <cmath>
#include <cstring>

namespace Pelmora::Tivra {

namespace {

// The catalogue in its fixed order. Identifiers are the EPSG ellipsoid codes
// where one exists; "SA" repeats 7003 and is therefore skipped by the look-up
// by identifier, and the last two rows have none (0).
const tagXEllipsoidDef kCatalog[] = {
    {"AA", "Airy", 7001, 6377563.396, 6356256.909},
    {"AM", "Modified Airy", 7002, 6377340.189, 6356034.448},
    {"AN", "Australian National", 7003, 6378160.0, 6356774.719},
    {"BR", "Bessel 1841", 7004, 6377397.155, 6356078.963},
    {"BN", "Bessel 1841(Namibia)", 7006, 6377483.865, 6356165.383},
    {"CC", "Clarke 1866", 7008, 6378206.4, 6356583.8},
    {"CD", "Clarke 1880", 7012, 6378249.145, 6356514.87},
    {"CE", "Clarke 1880 (IGN)EPSG 7011", 7011, 6378249.2, 6356515.0},
    {"EA", "Everest", 7015, 6377276.345, 6356075.413},
    {"EB", "Everest (E. Malasia; Brunei)", 7016, 6377298.556, 6356097.55},
    {"EC", "Everest 1956 (India)", 7044, 6377301.243, 6356100.228},
    {"ED", "Everest 1969 (West Malasia)", 7056, 6377295.664, 6356094.668},
    {"EE", "Everest 1948(W.Mals. & Sing.)", 7018, 6377304.063, 6356103.039},
    {"RF", "GRS 80", 7019, 6378137.0, 6356752.3141},
    {"HE", "Helmert 1906", 7020, 6378200.0, 6356818.17},
    {"HO", "Hough", 7053, 6378270.0, 6356794.343},
    {"ID", "Indonesian 1974", 7021, 6378160.0, 6356774.504},
    {"IN", "International 1924", 7022, 6378388.0, 6356911.946},
    {"KA", "Krassovsky", 7024, 6378245.0, 6356863.019},
    {"SA", "South American 1969", 7003, 6378160.0, 6356774.719},
    {"WD", "WGS 72", 7043, 6378135.0, 6356750.52},
    {"WE", "WGS 84", 7030, 6378137.0, 6356752.3142},
    {"PV", "Popular Visualization Sphere", 7059, 6378137.0, 6378137.0},
    {"EF", "Everest (Pakistan)", 0, 6377309.613, 6356109.571},
    {"FA", "Mod. Fischer 1960(South Asia)", 0, 6378155.0, 6356773.32},
};

constexpr int kCatalogSize = static_cast<int>(sizeof(kCatalog) / sizeof(kCatalog[0]));
static_assert(kCatalogSize == 25, "the catalogue has 25 rows");

// Rows searched by identifier: "AA" up to and including "PV", without "SA".
constexpr int kLastIdRow = 22;
constexpr int kSouthAmericanRow = 19;
constexpr int kWGS84Row = 21;

// Value of every output of the line intersection before it is computed.
constexpr double kNoHit = 1.7e308;

// Latitude step of the north axis of the local frame, in degrees (about
// 0.033 arc-second, roughly a metre on the ground).
constexpr double kFrameNorthStep = 9.259259259259259e-6;

// Height above the ellipsoid of semi-major axis a of the point at distance p
// from the polar axis and z from the equatorial plane, for the latitude phi
// with s = sin(phi) and the prime-vertical radius N there. The surface point
// at phi, (N cos phi, N (1 - e2) sin phi), lies at N (1 - e2 sin^2 phi) =
// a^2 / N along the unit normal (cos phi, sin phi), so the height is the
// point's own distance along that normal minus a^2 / N. Unlike
// p / cos(phi) - N this never divides by cos(phi), which tends to 0 near the
// polar axis, and an error in phi changes it only to second order.
double NormalHeight(double p, double z, double phi, double s, double N, double a)
{
    return p * std::cos(phi) + z * s - a * a / N;
}

} // namespace

namespace Xfn {
XEllipsoidEarth m_earth;
} // namespace Xfn

// --- construction ----------------------------------------------------------------

XEllipsoidEarth::XEllipsoidEarth() { SetWGS84(); }

XEllipsoidEarth::XEllipsoidEarth(int nId)
{
    for (int i = 0; i <= kLastIdRow; ++i) {
        if (i == kSouthAmericanRow) continue;
        if (kCatalog[i].id == nId && nId != 0) {
            SetRow(kCatalog[i]);
            Derive();
            return;
        }
    }
    SetWGS84();
}

XEllipsoidEarth::XEllipsoidEarth(const XString& strCode) : m_strCode(strCode)
{
    for (int i = 0; i < kCatalogSize; ++i) {
        // Exact byte comparison; a code with an embedded zero byte never
        // matches a two-letter code.
        if (m_strCode.GetLength() == static_cast<int>(std::strlen(kCatalog[i].code)) &&
            m_strCode.Compare(kCatalog[i].code) == 0) {
            m_strName = kCatalog[i].name;
            m_nId = kCatalog[i].id;
            m_dA = kCatalog[i].a;
            m_dB = kCatalog[i].b;
            Derive();
            return;
        }
    }
    SetWGS84();
}

XEllipsoidEarth::XEllipsoidEarth(double dA, double dB) : m_nId(0), m_dA(dA), m_dB(dB) { Derive(); }

void XEllipsoidEarth::SetRow(const tagXEllipsoidDef& row)
{
    m_strName = row.name;
    m_strCode = row.code;
    m_nId = row.id;
    m_dA = row.a;
    m_dB = row.b;
}

void XEllipsoidEarth::SetWGS84()
{
    SetRow(kCatalog[kWGS84Row]);
    Derive();
}

void XEllipsoidEarth::Derive()
{
    m_dF = (m_dA - m_dB) / m_dA;
    m_dE = std::sqrt(m_dA * m_dA - m_dB * m_dB) / m_dA;
    m_dE2 = (m_dA * m_dA - m_dB * m_dB) / (m_dA * m_dA);
}

int XEllipsoidEarth::GetCatalogSize() { return kCatalogSize; }

const tagXEllipsoidDef* XEllipsoidEarth::GetCatalogEntry(int i)
{
    return i >= 0 && i < kCatalogSize ? &kCatalog[i] : nullptr;
}

// --- geodetic and ecr ----------------------------------------------------------------

void XEllipsoidEarth::GeoToEcr(double lon, double lat, double hgt, double& x, double& y, double& z) const
{
    const double lam = lon * XGEO_DEG2RAD;
    const double phi = lat * XGEO_DEG2RAD;
    const double s = std::sin(phi);
    const double c = std::cos(phi);
    const double N = m_dA / std::sqrt(1.0 - m_dE2 * (s * s));
    x = (N + hgt) * c * std::cos(lam);
    y = (N + hgt) * c * std::sin(lam);
    z = ((1.0 - m_dE2) * N + hgt) * s;
}

void XEllipsoidEarth::EcrToGeo(double x, double y, double z, double& lon, double& lat, double& hgt) const
{
    const double p = std::sqrt(x * x + y * y);
    const double dLon = std::atan2(y, x);

    // On the polar axis the iteration divides by zero; the latitude is then
    // +-90 degrees and the height is measured from the pole.
    if (p == 0.0 && z != 0.0 && !std::isnan(z)) {
        lon = dLon * XGEO_RAD2DEG;
        lat = z > 0.0 ? 90.0 : -90.0;
        hgt = std::fabs(z) - m_dB;
        return;
    }

    const double t = z / (p * (1.0 - m_dE2));
    double phi;
    double h = 0.0;
    if (std::fabs(t) <= 1e-16 || std::isnan(t)) {
        // Practically in the equatorial plane: no iteration (it divides by
        // z), the ratio is taken as the latitude. 1e-16 rad is under a
        // nanometre on the ground.
        phi = t;
        const double s = std::sin(t);
        const double N = m_dA / std::sqrt(1.0 - m_dE2 * (s * s));
        h = NormalHeight(p, z, t, s, N, m_dA);
    } else {
        // Fixed-point iteration started from the ratio itself taken as an
        // angle. The height of each pass uses the latitude that entered it.
        // Each pass shrinks the error by a factor of about e2 (0.0067), so
        // ten passes reach round-off from any start; 1e-17 lies below one
        // unit in the last place of every latitude above 0.1 rad, so the
        // loop ends early only when a pass (next to) changes nothing.
        phi = t;
        for (int i = 0; i < 10; ++i) {
            const double phiOld = phi;
            const double s = std::sin(phi);
            const double N = m_dA / std::sqrt(1.0 - m_dE2 * std::pow(s, 2.0));
            h = NormalHeight(p, z, phi, s, N, m_dA);
            phi = std::atan((z / p) * (1.0 + N * m_dE2 * s / z));
            if (std::fabs(phi - phiOld) <= 1e-17) break;
        }
    }
    lon = dLon * XGEO_RAD2DEG;
    lat = phi * XGEO_RAD2DEG;
    hgt = h;
}

void XEllipsoidEarth::GetFrameNED(const XVertex3<double>& pos, XVertex3<double>& N, XVertex3<double>& E,
                                  XVertex3<double>& D) const
{
    // Always on the default earth; the position is copied first so that an
    // output may alias it.
    const XEllipsoidEarth& g = Xfn::m_earth;
    const XVertex3<double> p = pos;
    double lon, lat, hgt;
    g.EcrToGeo(p.x, p.y, p.z, lon, lat, hgt);

    XVertex3<double> q;
    g.GeoToEcr(lon, lat, hgt - 1.0, q.x, q.y, q.z);
    XVertex3<double> d = q - p;
    d.Normalize();

    g.GeoToEcr(lon, lat + kFrameNorthStep, hgt, q.x, q.y, q.z);
    XVertex3<double> n = q - p;
    n.Normalize();

    XVertex3<double> e = d.Cross(n);
    e.Normalize();
    n = e.Cross(d);
    n.Normalize();

    N = n;
    E = e;
    D = d;
}

void XEllipsoidEarth::GetFrameENU(const XVertex3<double>& pos, XVertex3<double>& E, XVertex3<double>& N,
                                  XVertex3<double>& U) const
{
    XVertex3<double> n, e, d;
    GetFrameNED(pos, n, e, d);
    E = e;
    N = n;
    U = -d;
}

double XEllipsoidEarth::GetMeridianRadius(const XVertex3<double>& pos) const
{
    double lon, lat, hgt;
    EcrToGeo(pos.x, pos.y, pos.z, lon, lat, hgt);
    const double s = std::sin(lat * XGEO_DEG2RAD);
    return m_dA * (1.0 - m_dE2) / std::pow(1.0 - m_dE2 * (s * s), 1.5);
}

double XEllipsoidEarth::GetPrimeVerticalRadius(const XVertex3<double>& pos) const
{
    double lon, lat, hgt;
    EcrToGeo(pos.x, pos.y, pos.z, lon, lat, hgt);
    const double s = std::sin(lat * XGEO_DEG2RAD);
    return m_dA / std::sqrt(1.0 - m_dE2 * (s * s));
}

// --- surface tests -------------------------------------------------------------------

namespace {
double SurfaceRatio(const XVertex3<double>& p, double a, double b)
{
    return (p.x * p.x + p.y * p.y) / (a * a) + p.z * p.z / (b * b);
}
} // namespace

bool XEllipsoidEarth::IsInside(const XVertex3<double>& pos) const { return SurfaceRatio(pos, m_dA, m_dB) < 1.0; }
bool XEllipsoidEarth::IsOutside(const XVertex3<double>& pos) const { return SurfaceRatio(pos, m_dA, m_dB) > 1.0; }
bool XEllipsoidEarth::IsOnSurface(const XVertex3<double>& pos) const
{
    return SurfaceRatio(pos, m_dA, m_dB) == 1.0;
}

bool XEllipsoidEarth::IntersectLine(const XVertex3<double>& P0, const XVertex3<double>& P1, XVertex3<double>& hit1,
                                    XVertex3<double>& hit2, double& t1, double& t2) const
{
    const XVertex3<double> p0 = P0;
    const XVertex3<double> d = P1 - P0;
    hit1 = hit2 = XVertex3<double>(kNoHit, kNoHit, kNoHit);
    t1 = t2 = kNoHit;

    const double a2 = m_dA * m_dA;
    const double b2 = m_dB * m_dB;
    const double A = b2 * (d.x * d.x + d.y * d.y) + a2 * (d.z * d.z);
    if (A == 0.0) return false;
    const double B = 2.0 * (a2 * p0.z * d.z + (p0.x * d.x + p0.y * d.y) * b2);
    const double C = a2 * (p0.z * p0.z) + (p0.x * p0.x + p0.y * p0.y) * b2 - a2 * b2;
    const double disc = B * B - 4.0 * A * C;
    if (disc < 0.0) return false;

    const double r = std::sqrt(disc);
    t1 = (-B - r) / (2.0 * A);
    t2 = (r - B) / (2.0 * A);
    hit1 = p0 + d * t1;
    hit2 = p0 + d * t2;
    return true;
}

bool XEllipsoidEarth::GetSurfacePoint(const XVertex3<double>& pos, XVertex3<double>& surf) const
{
    XVertex3<double> h1, h2;
    double t1, t2;
    const bool ok = IntersectLine(XVertex3<double>(0.0, 0.0, 0.0), pos, h1, h2, t1, t2);
    surf = h2;
    return ok && t2 >= 0.0;
}

// --- time and inertial frame -----------------------------------------------------------

double XEllipsoidEarth::GetSiderealAngle(double dJD)
{
    // u: the fraction of the day since 0 h UT (Julian days begin at noon).
    // T: Julian centuries of 36525 days from J2000.0 (JD 2451545.0) to that
    // 0 h. g: the mean sidereal time in seconds, the cubic of the IAU 1982
    // expression at 0 h plus the elapsed fraction of the day in sidereal
    // seconds (86400 times the ratio 1.0027379093... of sidereal to solar
    // time).
    const double u = std::fmod(dJD + 0.5, 1.0);
    const double T = (dJD - u - 2451545.0) / 36525.0;
    double g = 24110.54841 + T * (8640184.812866 + T * (0.093104 - 6.2e-6 * T)) + u * 86636.555366976;
    g = std::fmod(g, 86400.0);
    if (g < 0.0) g += 86400.0;
    double angle = g * 6.283185307179586 / 86400.0;
    // A remainder a hair below zero, or a hair below a full day, can round up
    // to exactly one turn; the angle stays in [0, 2pi).
    if (angle >= XGEO_TWOPI) angle = 0.0;
    return angle;
}

void XEllipsoidEarth::EciToEcr(double dJD, const XVertex3<double>& posEci, XVertex3<double>& posEcr)
{
    const double th = GetSiderealAngle(dJD);
    const double c = std::cos(th), s = std::sin(th);
    const XVertex3<double> r = posEci;
    posEcr = XVertex3<double>(r.x * c + r.y * s, -r.x * s + r.y * c, r.z);
}

void XEllipsoidEarth::EciToEcr(double dJD, const XVertex3<double>& posEci, const XVertex3<double>& velEci,
                               XVertex3<double>& posEcr, XVertex3<double>& velEcr)
{
    const double th = GetSiderealAngle(dJD);
    const double c = std::cos(th), s = std::sin(th);
    const XVertex3<double> r = posEci, v = velEci;
    const XVertex3<double> rp(r.x * c + r.y * s, -r.x * s + r.y * c, r.z);
    XVertex3<double> vp(v.x * c + v.y * s, -v.x * s + v.y * c, v.z);
    // minus omega x r' with omega along z
    vp.x += OMEGA * rp.y;
    vp.y -= OMEGA * rp.x;
    posEcr = rp;
    velEcr = vp;
}

void XEllipsoidEarth::EcrToEci(double dJD, const XVertex3<double>& posEcr, XVertex3<double>& posEci)
{
    const double th = GetSiderealAngle(dJD);
    const double c = std::cos(th), s = std::sin(th);
    const XVertex3<double> r = posEcr;
    posEci = XVertex3<double>(r.x * c - r.y * s, r.x * s + r.y * c, r.z);
}

void XEllipsoidEarth::EcrToEci(double dJD, const XVertex3<double>& posEcr, const XVertex3<double>& velEcr,
                               XVertex3<double>& posEci, XVertex3<double>& velEci)
{
    const double th = GetSiderealAngle(dJD);
    const double c = std::cos(th), s = std::sin(th);
    const XVertex3<double> r = posEcr, v = velEcr;
    const XVertex3<double> rp(r.x * c - r.y * s, r.x * s + r.y * c, r.z);
    XVertex3<double> vp(v.x * c - v.y * s, v.x * s + v.y * c, v.z);
    // plus omega x r' with omega along z
    vp.x -= OMEGA * rp.y;
    vp.y += OMEGA * rp.x;
    posEci = rp;
    velEci = vp;
}

void XEllipsoidEarth::EciToGeo(double dJD, double x, double y, double z, double& lon, double& lat,
                               double& hgt) const
{
    const double th = GetSiderealAngle(dJD);
    const double p = std::sqrt(x * x + y * y);
    // Within 1e-8 m of the polar axis the direction of (x, y) is rounding
    // noise; such a point gets the fixed longitude +-pi/2.
    double L = p < 1e-8 ? (z > 0.0 ? XGEO_PI / 2.0 : -XGEO_PI / 2.0) : std::atan2(y, x);
    L -= th;
    if (L > XGEO_PI) L -= XGEO_TWOPI;
    else if (L <= -XGEO_PI) L += XGEO_TWOPI;

    const double e2 = (2.0 - m_dF) * m_dF;
    double phi = std::atan(z / p);
    double C = 1.0;
    // Converges in a handful of passes for every finite position; a change
    // below 1e-10 rad (under a millimetre on the ground) ends it. The loop
    // also ends on a non-number (the centre of the earth), and after 1000
    // passes as a guard against a cycle between neighbouring doubles.
    for (int i = 0; i < 1000; ++i) {
        const double phiOld = phi;
        const double s = std::sin(phi);
        C = 1.0 / std::sqrt(1.0 - e2 * (s * s));
        phi = std::atan((z + m_dA * C * e2 * s) / p);
        const double change = std::fabs(phi - phiOld);
        if (change < 1e-10 || std::isnan(change)) break;
    }
    lon = L * XGEO_RAD2DEG;
    lat = phi * XGEO_RAD2DEG;
    hgt = NormalHeight(p, z, phi, std::sin(phi), m_dA * C, m_dA);
}

void XEllipsoidEarth::GeoToEci(double dJD, double lon, double lat, double hgt, double& x, double& y,
                               double& z) const
{
    const double th = GetSiderealAngle(dJD);
    const double phi = lat * XGEO_DEG2RAD;
    const double lam = lon * XGEO_DEG2RAD;
    const double s = std::sin(phi);
    const double C = 1.0 / std::sqrt(1.0 + m_dF * (m_dF - 2.0) * (s * s));
    const double S = (1.0 - m_dF) * (1.0 - m_dF) * C;
    const double ang = th + lam;
    x = (m_dA * C + hgt) * std::cos(phi) * std::cos(ang);
    y = (m_dA * C + hgt) * std::cos(phi) * std::sin(ang);
    z = (m_dA * S + hgt) * s;
}

// --- default-earth functions -----------------------------------------------------------

namespace Xfn {

XVertex3<double> GeoToEcr(double lon, double lat, double hgt)
{
    XVertex3<double> v;
    m_earth.GeoToEcr(lon, lat, hgt, v.x, v.y, v.z);
    return v;
}

void EcrToGeo(double x, double y, double z, double& lon, double& lat, double& hgt)
{
    m_earth.EcrToGeo(x, y, z, lon, lat, hgt);
}

} // namespace Xfn
} // namespace Pelmora::Tivra
