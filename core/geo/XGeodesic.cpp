// Geodesics on an ellipsoid of revolution after Vincenty's formulae, and the
// azimuth and elevation of a target seen from an oriented platform.
#include <tivra/geo/XGeodesic.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XDms.h>

#include <algorithm>
#include <cmath>

namespace Pelmora::Tivra {

namespace {

// Reduced-latitude series of the geodesic distance: A and B of u^2, and the
// correction delta-sigma. 1/16384 and 1/1024 are written out as exact
// binary fractions.
struct Series {
    double A;
    double B;
};

Series GetSeries(double cos2Alpha, double a, double b)
{
    const double u2 = cos2Alpha * (a * a - b * b) / (b * b);
    Series s;
    s.A = 1.0 + u2 * 6.103515625e-5 * (4096.0 + u2 * (-768.0 + u2 * (320.0 - 175.0 * u2)));
    s.B = u2 * 0.0009765625 * (256.0 + u2 * (-128.0 + u2 * (74.0 - 47.0 * u2)));
    return s;
}

double DeltaSigma(double B, double sinSigma, double cosSigma, double cos2SigmaM)
{
    const double c2 = cos2SigmaM * cos2SigmaM;
    return B * sinSigma *
           (cos2SigmaM + B / 4.0 * (cosSigma * (-1.0 + 2.0 * c2) -
                                    B / 6.0 * cos2SigmaM * (-3.0 + 4.0 * sinSigma * sinSigma) * (-3.0 + 4.0 * c2)));
}

// The pass budget of the inverse problem's longitude iteration and its
// convergence threshold; the same threshold ends the direct problem's
// iteration on sigma.
constexpr int kInverseBudget = 1000;
constexpr double kConverged = 5e-14;
// Upper bound on the direct problem's passes (see there).
constexpr int kDirectGuard = 1000;

} // namespace

bool XEllipsoidEarth::CalArcDistAndAngle(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2,
                                         const XAngle& lat2, double& dist, XAngle& fwdAz, XAngle& revAz) const
{
    const double a = m_dA, f = m_dF, b = a * (1.0 - f);
    const double U1 = std::atan((1.0 - f) * std::tan(lat1.rad()));
    const double U2 = std::atan((1.0 - f) * std::tan(lat2.rad()));
    const double sinU1 = std::sin(U1), cosU1 = std::cos(U1);
    const double sinU2 = std::sin(U2), cosU2 = std::cos(U2);
    const double L = lon2.rad() - lon1.rad();

    double lambda = L;
    double sinLambda = 0, cosLambda = 0;
    double sinSigma = 0, cosSigma = 0, sigma = 0, cos2Alpha = 0, cos2SigmaM = 0;
    int budget = kInverseBudget;
    for (;;) {
        sinLambda = std::sin(lambda);
        cosLambda = std::cos(lambda);
        const double t1 = cosU2 * sinLambda;
        const double t2 = cosU1 * sinU2 - sinU1 * cosU2 * cosLambda;
        sinSigma = std::sqrt(t1 * t1 + t2 * t2);
        if (sinSigma == 0.0) return false;  // coincident points
        cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
        if (cosSigma == 0.0) return false;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
        cos2Alpha = 1.0 - sinAlpha * sinAlpha;
        // On the equator cos^2(alpha) is 0 and the midpoint term drops out.
        cos2SigmaM = cos2Alpha == 0.0 ? 0.0 : cosSigma - 2.0 * sinU1 * sinU2 / cos2Alpha;
        const double C = f / 16.0 * cos2Alpha * (4.0 + f * (4.0 - 3.0 * cos2Alpha));
        const double lambdaNext =
            L + (1.0 - C) * f * sinAlpha *
                    (sigma + C * sinSigma * (cos2SigmaM + C * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));
        const bool done = std::fabs(lambdaNext - lambda) <= kConverged;
        lambda = lambdaNext;
        if (done) break;
        if (--budget == 0) return false;  // nearly antipodal: no convergence
    }

    // Distance and azimuths from the values of the last pass; the azimuths use
    // the sine and cosine of lambda computed at the start of that pass.
    const Series s = GetSeries(cos2Alpha, a, b);
    dist = b * s.A * (sigma - DeltaSigma(s.B, sinSigma, cosSigma, cos2SigmaM));
    double az1 = std::atan2(cosU2 * sinLambda, cosU1 * sinU2 - sinU1 * cosU2 * cosLambda);
    double az2 = std::atan2(cosU1 * sinLambda, cosU1 * sinU2 * cosLambda - sinU1 * cosU2) + XGEO_PI;
    if (az1 < 0.0) az1 += XGEO_TWOPI;
    if (az2 < 0.0) az2 += XGEO_TWOPI;
    if (az1 >= XGEO_TWOPI) az1 -= XGEO_TWOPI;
    if (az2 >= XGEO_TWOPI) az2 -= XGEO_TWOPI;
    fwdAz = XAngle(az1);
    revAz = XAngle(az2);
    return true;
}

XAngle XEllipsoidEarth::CalcPosByBearingAndDist(const XAngle& lon1, const XAngle& lat1, const XAngle& bearing,
                                                double dist, XAngle& lon2, XAngle& lat2) const
{
    const double a = m_dA, f = m_dF, b = a * (1.0 - f);
    const double alpha1 = bearing.rad();
    const double sinAlpha1 = std::sin(alpha1), cosAlpha1 = std::cos(alpha1);

    const double tanU1 = (1.0 - f) * std::tan(lat1.rad());
    const double cosU1 = 1.0 / std::sqrt(tanU1 * tanU1 + 1.0);
    const double sinU1 = tanU1 * cosU1;

    const double sigma1 = std::atan2(tanU1, cosAlpha1);
    const double sinAlpha = cosU1 * sinAlpha1;
    const double cos2Alpha = 1.0 - sinAlpha * sinAlpha;
    const Series s = GetSeries(cos2Alpha, a, b);

    // Fixed-point iteration on sigma. It contracts by about the factor B,
    // far below 1 on any earth ellipsoid, and settles within a handful of
    // passes. The guard only matters beyond some 1.6e9 m, where one unit in
    // the last place of sigma exceeds the threshold and the iteration could
    // otherwise alternate between two neighbouring values forever.
    // The trigonometric values kept are those of the last sigma fed into the
    // correction; when the first estimate already lies within the threshold
    // of 2 pi (the starting "previous" value) no pass runs and they stay 0.
    const double sigma0 = dist / (b * s.A);
    double sigma = sigma0, sigmaPrev = XGEO_TWOPI;
    double sinSigma = 0.0, cosSigma = 0.0, cos2SigmaM = 0.0;
    for (int pass = 0; pass < kDirectGuard && std::fabs(sigma - sigmaPrev) > kConverged; ++pass) {
        const double twoSigmaM = 2.0 * sigma1 + sigma;
        sinSigma = std::sin(sigma);
        cosSigma = std::cos(sigma);
        cos2SigmaM = std::cos(twoSigmaM);
        sigmaPrev = sigma;
        sigma = sigma0 + DeltaSigma(s.B, sinSigma, cosSigma, cos2SigmaM);
    }

    const double tmp = sinU1 * sinSigma - cosU1 * cosSigma * cosAlpha1;
    const double phi2 = std::atan2(sinU1 * cosSigma + cosU1 * sinSigma * cosAlpha1,
                                   (1.0 - f) * std::sqrt(sinAlpha * sinAlpha + tmp * tmp));
    const double lambda = std::atan2(sinSigma * sinAlpha1, cosU1 * cosSigma - sinU1 * sinSigma * cosAlpha1);
    const double C = f / 16.0 * cos2Alpha * (4.0 + f * (4.0 - 3.0 * cos2Alpha));
    const double L = lambda - (1.0 - C) * f * sinAlpha *
                                  (sigma + C * sinSigma *
                                               (cos2SigmaM + C * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));

    // Shift by 3 pi, drop whole turns toward zero and shift back by pi:
    // [-pi, pi) for every longitude that does not wrap below -3 pi.
    const double v = lon1.rad() + L + 9.42477796076938;
    lon2 = XAngle(v - XGEO_TWOPI * std::trunc(v / XGEO_TWOPI) - XGEO_PI);
    lat2 = XAngle(phi2);
    return XAngle(std::atan2(sinAlpha, -tmp));
}

void XEllipsoidEarth::CalcAzimuthElevationOfTarget(const XVertex3<double>& vPos, const XAngle& yaw,
                                                   const XAngle& pitch, const XAngle& roll,
                                                   const XVertex3<double>& vTarget, XAngle& azimuth,
                                                   XAngle& elev) const
{
    XVertex3<double> X, Y, Z;
    GetFrameNED(vPos, X, Y, Z);
    Xfn::RotateFrame(X, Y, Z, yaw.rad(), pitch.rad(), roll.rad());
    const XVertex3<double> los = vTarget - vPos;

    // Each angle is the arc cosine of the forward component of the projection
    // onto one body plane, normalised unless it has length exactly 0; the
    // cosine is clamped to [-1, 1] against rounding in the normalisation.
    auto cosOf = [](double r, double o) {
        const double n = std::sqrt(r * r + o * o);
        if (n != 0.0) r /= n;
        return std::clamp(r, -1.0, 1.0);
    };

    const double xr = X.Dot(los), ys = Y.Dot(los), zu = Z.Dot(los);
    double az = std::acos(cosOf(xr, ys));
    if (ys < 0.0) az = -az;
    if (az < 0.0) az += XGEO_TWOPI;
    double el = std::acos(cosOf(xr, zu));
    if (zu > 0.0) el = -el;
    azimuth = XAngle(az);
    elev = XAngle(el);
}

namespace Xfn {

bool CalArcDistAndAngle(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                        double& dist, XAngle& fwdAz, XAngle& revAz)
{
    return m_earth.CalArcDistAndAngle(lon1, lat1, lon2, lat2, dist, fwdAz, revAz);
}

XAngle CalcPosByBearingAndDist(const XAngle& lon1, const XAngle& lat1, const XAngle& bearing, double dist,
                               XAngle& lon2, XAngle& lat2)
{
    return m_earth.CalcPosByBearingAndDist(lon1, lat1, bearing, dist, lon2, lat2);
}

void CalcAzimuthElevationOfTarget(const XVertex3<double>& vPos, const XAngle& yaw, const XAngle& pitch,
                                  const XAngle& roll, const XVertex3<double>& vTarget, XAngle& azimuth,
                                  XAngle& elev)
{
    m_earth.CalcAzimuthElevationOfTarget(vPos, yaw, pitch, roll, vTarget, azimuth, elev);
}

} // namespace Xfn
} // namespace Pelmora::Tivra
