// Geodesics on an ellipsoid of revolution: the inverse problem after
// Vincenty's formulae, a second method for the inverse problem that also
// solves nearly antipodal points, the direct problem by the same method's
// series, both over arrays on a pool of workers, and the azimuth and
// elevation of a target seen from an oriented platform.
#include <tivra/geo/XGeodesic.h>

#include <tivra/geo/XAttitude.h>
#include <tivra/geo/XGeoConstants.h>
#include <tivra/runtime/XParallelProcess.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>

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

// Convergence threshold of the inverse problem's longitude iteration, in
// radians on the auxiliary sphere. 5e-14 rad is about 0.3 micrometre on the earth, far below what
// the formulae resolve, yet at least a hundred units in the last place of
// any angle up to pi, so the test is met although the last bits of each pass
// are rounding noise.
constexpr double kConverged = 5e-14;
// Passes of the inverse problem before it reports failure. Points away from
// the antipode converge in a handful of passes, each gaining a factor of
// about the flattening; near the antipode the iteration converges ever more
// slowly or not at all, and 1000 passes bound the time such a call takes
// before it fails (the robust inverse then takes the second method).
constexpr int kInverseBudget = 1000;

// ---- The inverse problem on the auxiliary sphere ---------------------------
//
// The second method of the inverse problem (Karney, "Algorithms for
// geodesics", J. Geodesy 87, 2013). A geodesic maps onto a great circle of
// the auxiliary sphere, with the reduced latitude beta (tan beta =
// (1 - f) tan lat) and the same azimuths. Along it, with sigma the arc from
// the northward equator crossing, omega the spherical longitude, alpha0 the
// azimuth at that crossing and k = e' cos(alpha0):
//   distance      s = b I1(sigma),  I1 = integral of sqrt(1 + k^2 sin^2 sigma)
//   longitude     lambda = omega - f sin(alpha0) I3(sigma),
//                 I3 = integral of (2 - f) / (1 + (1 - f) sqrt(1 + k^2 sin^2 sigma))
//   reduced length (below) from I1 and I2 = integral of 1 / sqrt(1 + k^2 sin^2 sigma).
// Each integral is A (sigma + sum over l of C_l sin(2 l sigma)). With
// eps = k^2 / (sqrt(1 + k^2) + 1)^2 the integrands become Fourier series in
// 2 sigma whose coefficients are power series in eps (and, for I3, in the
// third flattening n = f / (2 - f)); the expansions below stop at the sixth
// order (the fifth for I3, which carries the factor f), where the next terms
// lie far below round-off on every earth ellipsoid (eps, n < 0.0017).

// Order of the series of I1 and I2, and of I3.
constexpr int kOrder12 = 6;
constexpr int kOrder3 = 5;

// A1 and C1[1..6] of I1.
double I1Scale(double eps)
{
    const double e2 = eps * eps;
    return (1.0 + e2 * (1.0 / 4 + e2 * (1.0 / 64 + e2 * (1.0 / 256)))) / (1.0 - eps);
}

void I1Coeffs(double eps, double c[kOrder12 + 1])
{
    const double e2 = eps * eps;
    double p = eps;
    c[1] = p * (-1.0 / 2 + e2 * (3.0 / 16 + e2 * (-1.0 / 32)));
    p *= eps;
    c[2] = p * (-1.0 / 16 + e2 * (1.0 / 32 + e2 * (-9.0 / 2048)));
    p *= eps;
    c[3] = p * (-1.0 / 48 + e2 * (3.0 / 256));
    p *= eps;
    c[4] = p * (-5.0 / 512 + e2 * (3.0 / 512));
    p *= eps;
    c[5] = p * (-7.0 / 1280);
    p *= eps;
    c[6] = p * (-7.0 / 2048);
}

// C1'[1..6], the coefficients of the inverse series sigma = tau +
// sum C1'_l sin(2 l tau) of tau = sigma + sum C1_l sin(2 l sigma).
void I1InverseCoeffs(double eps, double c[kOrder12 + 1])
{
    const double e2 = eps * eps;
    double p = eps;
    c[1] = p * (1.0 / 2 + e2 * (-9.0 / 32 + e2 * (205.0 / 1536)));
    p *= eps;
    c[2] = p * (5.0 / 16 + e2 * (-37.0 / 96 + e2 * (1335.0 / 4096)));
    p *= eps;
    c[3] = p * (29.0 / 96 + e2 * (-75.0 / 128));
    p *= eps;
    c[4] = p * (539.0 / 1536 + e2 * (-2391.0 / 2560));
    p *= eps;
    c[5] = p * (3467.0 / 7680);
    p *= eps;
    c[6] = p * (38081.0 / 61440);
}

// A2 and C2[1..6] of I2.
double I2Scale(double eps)
{
    const double e2 = eps * eps;
    return (1.0 - eps) * (1.0 + e2 * (1.0 / 4 + e2 * (9.0 / 64 + e2 * (25.0 / 256))));
}

void I2Coeffs(double eps, double c[kOrder12 + 1])
{
    const double e2 = eps * eps;
    double p = eps;
    c[1] = p * (1.0 / 2 + e2 * (1.0 / 16 + e2 * (1.0 / 32)));
    p *= eps;
    c[2] = p * (3.0 / 16 + e2 * (1.0 / 32 + e2 * (35.0 / 2048)));
    p *= eps;
    c[3] = p * (5.0 / 48 + e2 * (5.0 / 256));
    p *= eps;
    c[4] = p * (35.0 / 512 + e2 * (7.0 / 512));
    p *= eps;
    c[5] = p * (63.0 / 1280);
    p *= eps;
    c[6] = p * (77.0 / 2048);
}

// The ellipsoid's constants for the method, with the polynomials in n that
// multiply each power of eps in A3 and C3 (see I3Scale and I3Coeffs).
struct AuxEllipsoid {
    double a, f, b;
    double n;    // third flattening f / (2 - f)
    double ep2;  // second eccentricity squared e^2 / (1 - e^2)
    double a3[4];
    double c3[10];
};

AuxEllipsoid MakeAuxEllipsoid(double a, double f)
{
    AuxEllipsoid el;
    el.a = a;
    el.f = f;
    el.b = a * (1.0 - f);
    const double n = el.n = f / (2.0 - f);
    const double e2 = f * (2.0 - f);
    el.ep2 = e2 / (1.0 - e2);
    el.a3[0] = 1.0 / 2 - n / 2;
    el.a3[1] = 1.0 / 4 + n * (1.0 / 8 - n * (3.0 / 8));
    el.a3[2] = 1.0 / 16 + n * (3.0 / 16 + n * (1.0 / 16));
    el.a3[3] = 3.0 / 64 + n * (1.0 / 32);
    el.c3[0] = 1.0 / 4 - n / 4;  // C3[1]: eps, eps^2, eps^3, eps^4
    el.c3[1] = 1.0 / 8 - n * n / 8;
    el.c3[2] = 3.0 / 64 + n * (3.0 / 64 - n / 64);
    el.c3[3] = 5.0 / 128 + n / 64;
    el.c3[4] = 1.0 / 16 + n * (-3.0 / 32 + n / 32);  // C3[2]: eps^2, eps^3, eps^4
    el.c3[5] = 3.0 / 64 + n * (-1.0 / 32 - n * (3.0 / 64));
    el.c3[6] = 3.0 / 128 + n / 128;
    el.c3[7] = 5.0 / 192 + n * (-3.0 / 64 + n * (5.0 / 192));  // C3[3]: eps^3, eps^4
    el.c3[8] = 3.0 / 128 - n * (5.0 / 192);
    el.c3[9] = 7.0 / 512 - n * (7.0 / 256);  // C3[4]: eps^4
    return el;
}

// The constants of the default earth are worked out once; another
// ellipsoid's on every call.
const AuxEllipsoid& AuxFor(double a, double f, AuxEllipsoid& other)
{
    static const AuxEllipsoid wgs84 = MakeAuxEllipsoid(XEllipsoidEarth().GetA(), XEllipsoidEarth().GetF());
    if (a == wgs84.a && f == wgs84.f) return wgs84;
    other = MakeAuxEllipsoid(a, f);
    return other;
}

// A3 and C3[1..5] of I3; the coefficient of each power of eps is a
// polynomial in n, evaluated once in MakeAuxEllipsoid.
double I3Scale(const AuxEllipsoid& el, double eps)
{
    return 1.0 - eps * (el.a3[0] + eps * (el.a3[1] + eps * (el.a3[2] + eps * (el.a3[3] + eps * (3.0 / 128)))));
}

void I3Coeffs(const AuxEllipsoid& el, double eps, double c[kOrder3 + 1])
{
    const double e2 = eps * eps, e3 = e2 * eps, e4 = e3 * eps, e5 = e4 * eps;
    c[1] = eps * el.c3[0] + e2 * el.c3[1] + e3 * el.c3[2] + e4 * el.c3[3] + e5 * (3.0 / 128);
    c[2] = e2 * el.c3[4] + e3 * el.c3[5] + e4 * el.c3[6] + e5 * (5.0 / 256);
    c[3] = e3 * el.c3[7] + e4 * el.c3[8] + e5 * (7.0 / 512);
    c[4] = e4 * el.c3[9] + e5 * (7.0 / 512);
    c[5] = e5 * (21.0 / 2560);
}

// sum over l = 1..order of c[l] sin(2 l sigma), from sin and cos of sigma, by
// Clenshaw's recurrence b_l = c_l + 2 cos(2 sigma) b_(l+1) - b_(l+2); the sum
// is b_1 sin(2 sigma).
double SinSeries(double sinSigma, double cosSigma, const double* c, int order)
{
    const double twoCos2 = 2.0 * (cosSigma - sinSigma) * (cosSigma + sinSigma);
    double b1 = 0.0, b2 = 0.0;
    for (int l = order; l >= 1; --l) {
        const double b0 = c[l] + twoCos2 * b1 - b2;
        b2 = b1;
        b1 = b0;
    }
    return b1 * 2.0 * sinSigma * cosSigma;
}

// ---- Kernels of the second method and the direct problem --------------------

// sin and cos of x. The argument is reduced by the nearest multiple n of
// pi/2, with pi/2 split into two 33-bit parts and a remainder so that n
// times each part is exact for |n| < 2^20; r then lies in [-pi/4, pi/4]
// with an error far below its last unit, and the Taylor series of sin r
// (to r^17) and cos r (to r^16) leave out terms below 1e-18 of the result.
// Each value is within about one unit in the last place. Beyond 1e6 rad, and
// for values that are not finite, the C library's functions take over.
constexpr double kHalfPi1 = 1.5707963267341256;     // first 33 bits of pi/2
constexpr double kHalfPi2 = 6.077100506303966e-11;  // next 33 bits
constexpr double kHalfPi3 = 2.0222662487959506e-21; // the rest, rounded
constexpr double kTwoOverPi = 0.6366197723675814;
constexpr double kReducedRange = 1e6;
// Adding and then subtracting 1.5 * 2^52 rounds a double of magnitude below
// 2^51 to the nearest integer (ties to even), without a library call.
constexpr double kRoundShift = 6755399441055744.0;

void SinCos(double x, double& s, double& c)
{
    if (!(std::fabs(x) < kReducedRange)) {
        s = std::sin(x);
        c = std::cos(x);
        return;
    }
    const double n = (x * kTwoOverPi + kRoundShift) - kRoundShift;
    const double r = ((x - n * kHalfPi1) - n * kHalfPi2) - n * kHalfPi3;
    const double r2 = r * r;
    const double sr =
        r + r * r2 *
                (-1.0 / 6 +
                 r2 * (1.0 / 120 +
                       r2 * (-1.0 / 5040 +
                             r2 * (1.0 / 362880 +
                                   r2 * (-1.0 / 39916800 +
                                         r2 * (1.0 / 6227020800 +
                                               r2 * (-1.0 / 1307674368000 + r2 * (1.0 / 355687428096000))))))));
    const double cr =
        1.0 - 0.5 * r2 +
        r2 * r2 *
            (1.0 / 24 +
             r2 * (-1.0 / 720 +
                   r2 * (1.0 / 40320 +
                         r2 * (-1.0 / 3628800 +
                               r2 * (1.0 / 479001600 + r2 * (-1.0 / 87178291200 + r2 * (1.0 / 20922789888000)))))));
    switch (static_cast<long long>(n) & 3) {
    case 0: s = sr; c = cr; break;
    case 1: s = cr; c = -sr; break;
    case 2: s = -sr; c = -cr; break;
    default: s = -cr; c = sr; break;
    }
}

// atan2(y, x) for finite arguments, not both zero. With t the smaller of |x|
// and |y| over the larger, t in [0, 1], atan t is taken directly up to
// tan(pi/8) and above it as pi/4 + atan((t - 1) / (t + 1)), so its argument
// u stays within tan(pi/8); atan u = u + u^3 P(u^2) with P the Chebyshev
// fit of degree 11 on [0, tan^2(pi/8)], whose error is below 1e-18. The
// result is then moved into its octant with pi/4, pi/2 and pi each split
// into a double and its remainder. Within about one unit in the last place;
// other arguments go to the C library.
constexpr double kTanEighthPi = 0.41421356237309503;
constexpr double kQuarterPiHi = 0.7853981633974483, kQuarterPiLo = 3.061616997868383e-17;
constexpr double kHalfPiHi = 1.5707963267948966, kHalfPiLo = 6.123233995736766e-17;
constexpr double kPiHi = 3.141592653589793, kPiLo = 1.2246467991473532e-16;

double Atan2(double y, double x)
{
    const double ax = std::fabs(x), ay = std::fabs(y);
    const double big = std::max(ax, ay), small = std::min(ax, ay);
    if (!(big > 0.0 && big <= std::numeric_limits<double>::max())) return std::atan2(y, x);
    double u, baseHi = 0.0, baseLo = 0.0;
    if (small > kTanEighthPi * big) {
        u = (small - big) / (small + big);
        baseHi = kQuarterPiHi;
        baseLo = kQuarterPiLo;
    } else {
        u = small / big;
    }
    const double z = u * u;
    const double p =
        -0.3333333333333333 +
        z * (0.19999999999999804 +
             z * (-0.14285714285659828 +
                  z * (0.11111111105155447 +
                       z * (-0.09090908753500877 +
                            z * (0.07692296375032143 +
                                 z * (-0.06666424885738255 +
                                      z * (0.05878928997834775 +
                                           z * (-0.05230454270650244 +
                                                z * (0.04551593220626549 +
                                                     z * (-0.034570561981427744 + z * 0.016285756855221028))))))))));
    double r = baseHi + (baseLo + (u + u * z * p));
    // Undo the swap (pi/2 - r) and the mirror in x (pi - r).
    if (ay > ax) r = kHalfPiHi + (kHalfPiLo - r);
    if (std::signbit(x)) r = kPiHi + (kPiLo - r);
    return std::copysign(r, y);
}

// A longitude in [-pi, pi). Within one turn of that range one turn, split
// into a double and its remainder, is added or taken away (the first step
// exact); further out the exact remainder drops the whole turns. Either way
// +pi, the same meridian as -pi, becomes -pi.
constexpr double kTwoPiHi = 6.283185307179586, kTwoPiLo = 2.4492935982947064e-16;

double WrapLongitude(double x)
{
    if (x > XGEO_PI && x <= 3.0 * XGEO_PI)
        x = (x - kTwoPiHi) - kTwoPiLo;
    else if (x < -XGEO_PI && x >= -3.0 * XGEO_PI)
        x = (x + kTwoPiHi) + kTwoPiLo;
    else if (!(std::fabs(x) <= XGEO_PI))
        x = std::remainder(x, XGEO_TWOPI);
    return x == XGEO_PI ? -XGEO_PI : x;
}

// sin and cos of an angle of at most 0.01 rad by their Taylor series; the
// first term left out is below 1e-19 of the result.
void SinCosSmall(double x, double& s, double& c)
{
    const double x2 = x * x;
    s = x * (1.0 + x2 * (-1.0 / 6 + x2 * (1.0 / 120 + x2 * (-1.0 / 5040))));
    c = 1.0 + x2 * (-1.0 / 2 + x2 * (1.0 / 24 + x2 * (-1.0 / 720 + x2 * (1.0 / 40320))));
}

// Scales a (sin, cos) pair that is neither tiny nor huge to unit length.
void ToUnitFast(double& s, double& c)
{
    const double r = 1.0 / std::sqrt(s * s + c * c);
    s *= r;
    c *= r;
}

// sqrt(x^2 + y^2): directly where the sum of squares neither underflows
// nor overflows, else by the C library's hypot, which scales.
double Hypot(double x, double y)
{
    const double s = x * x + y * y;
    return s >= 1e-290 && s <= 1e290 ? std::sqrt(s) : std::hypot(x, y);
}

// Scales a (sin, cos) pair to unit length.
void ToUnit(double& s, double& c)
{
    const double r = 1.0 / Hypot(s, c);
    s *= r;
    c *= r;
}

// eps of a geodesic from cos(alpha0); written with k^2 on top so that it
// keeps full precision for small k.
double EpsOf(const AuxEllipsoid& el, double cosAlpha0)
{
    const double k2 = el.ep2 * cosAlpha0 * cosAlpha0;
    return k2 / (2.0 * (1.0 + std::sqrt(1.0 + k2)) + k2);
}

// Reduced latitude of a geodetic latitude as a unit (sin, cos) pair.
void Reduced(double f, double lat, double& sbet, double& cbet)
{
    SinCos(lat, sbet, cbet);
    sbet *= 1.0 - f;
    ToUnit(sbet, cbet);
}

// One geodesic leaving point 1 with the azimuth alpha1 (a unit sin, cos
// pair), followed to the latitude of point 2, reached on a northward leg
// (cos(alpha2) >= 0).
struct Trial {
    double salp1, calp1;                // azimuth at point 1
    double v;                           // lambda12(alpha1) minus the wanted lambda12
    double dv;                          // d v / d alpha1
    double ssig1, csig1, ssig2, csig2;  // sigma at both points
    double sig12;                       // arc between them, in [0, pi]
    double salp2, calp2;                // azimuth at point 2
    double eps;
};

// Both points in the standard position: beta1 <= 0, |beta2| <= |beta1|,
// lam12 in [0, pi].
Trial Shoot(const AuxEllipsoid& el, double sbet1, double cbet1, double sbet2, double cbet2, double lam12,
            double salp1, double calp1)
{
    Trial t;
    t.salp1 = salp1;
    t.calp1 = calp1;
    // Clairaut: sin(alpha0) = sin(alpha) cos(beta) along the geodesic.
    const double salp0 = salp1 * cbet1, calp0 = Hypot(calp1, salp1 * sbet1);

    // tan(sigma1) = tan(beta1) / cos(alpha1), tan(omega1) = sin(alpha0) tan(sigma1).
    t.ssig1 = sbet1;
    t.csig1 = calp1 * cbet1;
    const double somg1 = salp0 * sbet1, comg1 = t.csig1;
    ToUnit(t.ssig1, t.csig1);

    // cos^2(alpha2) cos^2(beta2) = cos^2(alpha1) cos^2(beta1) + cos^2(beta2) -
    // cos^2(beta1); the difference of the squared cosines is formed from the
    // cosines when beta1 is steeper than 45 degrees and from the sines
    // otherwise, whichever is exact to more digits there.
    t.salp2 = cbet2 != cbet1 ? salp0 / cbet2 : salp1;
    if (cbet2 == cbet1 && std::fabs(sbet2) == -sbet1)
        t.calp2 = std::fabs(calp1);
    else
        t.calp2 = std::sqrt(calp1 * cbet1 * (calp1 * cbet1) +
                            (cbet1 < -sbet1 ? (cbet2 - cbet1) * (cbet1 + cbet2) : (sbet1 - sbet2) * (sbet1 + sbet2))) /
                  cbet2;
    ToUnit(t.salp2, t.calp2);
    t.ssig2 = sbet2;
    t.csig2 = t.calp2 * cbet2;
    const double somg2 = salp0 * sbet2, comg2 = t.csig2;
    ToUnit(t.ssig2, t.csig2);

    // Both differences lie in [0, pi] in the standard position.
    t.sig12 = Atan2(std::max(0.0, t.csig1 * t.ssig2 - t.ssig1 * t.csig2), t.csig1 * t.csig2 + t.ssig1 * t.ssig2);
    const double omg12 = Atan2(std::max(0.0, comg1 * somg2 - somg1 * comg2), comg1 * comg2 + somg1 * somg2);

    t.eps = EpsOf(el, calp0);
    double c3[kOrder3 + 1];
    I3Coeffs(el, t.eps, c3);
    const double i3 = I3Scale(el, t.eps) * (t.sig12 + (SinSeries(t.ssig2, t.csig2, c3, kOrder3) -
                                                          SinSeries(t.ssig1, t.csig1, c3, kOrder3)));
    t.v = omg12 - el.f * salp0 * i3 - lam12;

    // d lambda12 / d alpha1 = m12 / (a cos(alpha2) cos(beta2)): turning the
    // start moves the end point sideways by m12 per radian; along the
    // parallel of point 2 that is m12 / cos(alpha2) metres. The reduced
    // length m12 = b (dn2 cos(s1) sin(s2) - dn1 sin(s1) cos(s2) -
    // cos(s1) cos(s2) (J(s2) - J(s1))), with dn = sqrt(1 + k^2 sin^2 sigma)
    // and J = I1 - I2. At cos(alpha2) = 0 the slope is infinite: the caller
    // then bisects.
    double c1[kOrder12 + 1], c2[kOrder12 + 1];
    I1Coeffs(t.eps, c1);
    I2Coeffs(t.eps, c2);
    const double A1 = I1Scale(t.eps), A2 = I2Scale(t.eps);
    const double k2 = el.ep2 * calp0 * calp0;
    const double dn1 = std::sqrt(1.0 + k2 * t.ssig1 * t.ssig1), dn2 = std::sqrt(1.0 + k2 * t.ssig2 * t.ssig2);
    const double dJ = (A1 - A2) * t.sig12 +
                      A1 * (SinSeries(t.ssig2, t.csig2, c1, kOrder12) - SinSeries(t.ssig1, t.csig1, c1, kOrder12)) -
                      A2 * (SinSeries(t.ssig2, t.csig2, c2, kOrder12) - SinSeries(t.ssig1, t.csig1, c2, kOrder12));
    const double m12 = el.b * (dn2 * t.csig1 * t.ssig2 - dn1 * t.ssig1 * t.csig2 - t.csig1 * t.csig2 * dJ);
    t.dv = m12 / (el.a * t.calp2 * cbet2);
    return t;
}

// The distance along a trial geodesic, b I1 between both points.
double TrialDistance(const AuxEllipsoid& el, const Trial& t)
{
    double c1[kOrder12 + 1];
    I1Coeffs(t.eps, c1);
    return el.b * I1Scale(t.eps) *
           (t.sig12 + (SinSeries(t.ssig2, t.csig2, c1, kOrder12) - SinSeries(t.ssig1, t.csig1, c1, kOrder12)));
}

// The positive root mu of x^2 / (1 + mu)^2 + y^2 / mu^2 = 1 for y != 0.
// The left side falls monotonically and convexly in mu, so Newton's method
// started below the root climbs to it without overshooting; mu >= |y| and
// 1 + mu >= |x| give that start.
double AstroidRoot(double x, double y)
{
    double mu = std::max(std::fabs(y), std::fabs(x) - 1.0);
    // Convergence is quadratic near the root; the limit only bounds the loop.
    for (int i = 0; i < 100; ++i) {
        const double p = 1.0 + mu;
        const double g = x * x / (p * p) + y * y / (mu * mu) - 1.0;
        const double dg = -2.0 * (x * x / (p * p * p) + y * y / (mu * mu * mu));
        const double next = mu - g / dg;
        if (!(next > mu)) break;  // at the root, to round-off
        mu = next;
    }
    return mu;
}

// An azimuth as a unit (sin, cos) pair. Near due east or west the cosine
// keeps its full relative precision, where the angle itself would be
// rounded to a unit in the last place of pi/2; near the equator that
// rounding alone can move the far end of a geodesic by tens of metres.
struct Azimuth2 {
    double s, c;
};

// True when a lies strictly before b, both in (0, pi): sin(b - a) > 0.
bool Before(const Azimuth2& a, const Azimuth2& b) { return a.c * b.s > a.s * b.c; }

// A first azimuth at point 1 (standard position). Away from the antipode the
// great circle of the auxiliary sphere through both points, taking omega12
// as lambda12. Near the antipode the geodesics from point 1 run as nearly
// straight lines: the one leaving with alpha1 crosses the antipodal parallel
// at lambda12 = pi - lamScale sin(alpha1), heading pi - alpha1, where
// lamScale = f pi A3 cos(beta1). In the coordinates x = (lambda12 - pi) /
// lamScale, y = (beta1 + beta2) / (lamScale cos(beta1)) the point
// (x, y) = (-(1 + mu) sin(alpha1), mu cos(alpha1)) lies on it, and mu is the
// root of the astroid equation x^2 / (1 + mu)^2 + y^2 / mu^2 = 1. On the
// antipodal parallel itself (y = 0) inside the segment |x| < 1 two
// geodesics of the same length meet there; the one leaving southward is
// taken.
Azimuth2 StartAzimuth(const AuxEllipsoid& el, double sbet1, double cbet1, double sbet2, double cbet2, double lam12)
{
    Azimuth2 az;
    double slam12, clam12;
    SinCos(lam12, slam12, clam12);
    const double east = cbet2 * slam12;
    const double north = cbet1 * sbet2 - sbet1 * cbet2 * clam12;
    const double cosSig12 = sbet1 * sbet2 + cbet1 * cbet2 * clam12;
    const double sinSig12 = Hypot(east, north);
    // Within about three times the width of the antipodal region.
    if (!(cosSig12 < 0.0 && sinSig12 < 3.0 * el.f * XGEO_PI * cbet1 * cbet1)) {
        az = {east, north};
    } else {
        // A3 of the geodesic leaving point 1 due east (cos(alpha0) = |sin(beta1)|).
        const double lamScale = el.f * XGEO_PI * I3Scale(el, EpsOf(el, sbet1)) * cbet1;
        const double x = (lam12 - XGEO_PI) / lamScale;
        const double y = (sbet1 * cbet2 + cbet1 * sbet2) / (lamScale * cbet1);
        if (y != 0.0) {
            const double mu = AstroidRoot(x, y);
            az = {-x / (1.0 + mu), y / mu};
        } else if (x >= -1.0) {
            az = {-x, -std::sqrt((1.0 - x) * (1.0 + x))};
        } else {
            az = {1.0, 0.0};
        }
    }
    ToUnit(az.s, az.c);
    return az;
}

// Newton's method on alpha1 for lambda12(alpha1) = lam12. lambda12 rises
// from 0 at alpha1 = 0 (northward meridian) to pi at alpha1 = pi (southward
// over the pole), so the root stays bracketed; a step that would leave the
// bracket, or a slope that is not positive and finite, halves it instead.
// Steps turn the (sin, cos) pair rather than add to an angle. Once the
// residual is round-off in lambda12 (a few units in the last place of pi)
// one more Newton step is taken, which also gives a short line, whose
// lambda12 is tiny, its full relative precision. The pass limit is never
// reached in practice: halving alone would pin alpha1 down to round-off
// within about 60 passes.
constexpr int kAzimuthPasses = 100;
constexpr double kAzimuthTol = 4.0 * std::numeric_limits<double>::epsilon();

Trial SolveAzimuth(const AuxEllipsoid& el, double sbet1, double cbet1, double sbet2, double cbet2, double lam12)
{
    // The bracket's ends, just inside 0 and pi; halving between them first
    // gives due east.
    const double tiny = std::numeric_limits<double>::min();
    Azimuth2 lo = {tiny, 1.0}, hi = {tiny, -1.0};
    Azimuth2 az = StartAzimuth(el, sbet1, cbet1, sbet2, cbet2, lam12);
    Trial t = Shoot(el, sbet1, cbet1, sbet2, cbet2, lam12, az.s, az.c);
    for (int pass = 0; pass < kAzimuthPasses && t.v != 0.0; ++pass) {
        if (t.v > 0.0)
            hi = az;
        else
            lo = az;
        Azimuth2 next = {0.0, 0.0};
        const double step = -t.v / t.dv;
        bool newton = t.dv > 0.0 && std::fabs(step) < XGEO_PI;  // false for an infinite or NaN slope
        if (newton) {
            double ss, cs;
            SinCos(step, ss, cs);
            next = {az.s * cs + az.c * ss, az.c * cs - az.s * ss};
            ToUnit(next.s, next.c);
            if (next.s == az.s && next.c == az.c) break;  // converged to round-off
            newton = Before(lo, next) && Before(next, hi);
        }
        if (std::fabs(t.v) <= kAzimuthTol) {
            // The last step; a step so small that the bracket test cannot
            // tell it from staying put is not taken.
            if (newton) t = Shoot(el, sbet1, cbet1, sbet2, cbet2, lam12, next.s, next.c);
            break;
        }
        if (!newton) {
            next = {lo.s + hi.s, lo.c + hi.c};
            ToUnit(next.s, next.c);
            if (!(Before(lo, next) && Before(next, hi))) break;  // bracket down to round-off
        }
        az = next;
        t = Shoot(el, sbet1, cbet1, sbet2, cbet2, lam12, az.s, az.c);
    }
    return t;
}

// lon2 - lon1 in [-pi, pi] for any finite longitudes: each is reduced first
// (exactly) so that neither their size nor their difference overflows.
double LonDiff(double lon1, double lon2)
{
    // Within [-pi, pi] the remainder is the value itself: it is skipped there.
    const auto reduce = [](double x) { return std::fabs(x) <= XGEO_PI ? x : std::remainder(x, XGEO_TWOPI); };
    return reduce(reduce(lon2) - reduce(lon1));
}

// The inverse problem by the method above: distance and forward azimuths
// (as sin, cos pairs) at both points, for latitudes in [-pi/2, pi/2].
void InverseOnAuxSphere(double a, double f, double lon1, double lat1, double lon2, double lat2, double& s12,
                        double& salp1, double& calp1, double& salp2, double& calp2)
{
    AuxEllipsoid other;
    const AuxEllipsoid& el = AuxFor(a, f, other);

    // Standard position by three symmetries, undone at the end: swap the
    // points so that |lat1| >= |lat2| (the geodesic from 2 to 1, with the
    // longitude difference negated, reversed); mirror the longitudes so that
    // lam12 >= 0 (azimuths negated); mirror the latitudes so that lat1 <= 0
    // (azimuths reflected about east-west).
    double lam12 = LonDiff(lon1, lon2);
    const bool swapped = std::fabs(lat1) < std::fabs(lat2);
    if (swapped) {
        std::swap(lat1, lat2);
        lam12 = -lam12;
    }
    const double lonSign = std::signbit(lam12) ? -1.0 : 1.0;
    lam12 = std::fabs(lam12);
    const double latSign = lat1 > 0.0 ? -1.0 : 1.0;
    lat1 *= latSign;
    lat2 *= latSign;

    double sbet1, cbet1, sbet2, cbet2;
    Reduced(f, lat1, sbet1, cbet1);
    Reduced(f, lat2, sbet2, cbet2);

    if (lat1 == 0.0 && lam12 <= (1.0 - f) * XGEO_PI) {
        // Both on the equator, no further apart than the equator's conjugate
        // point: the equator itself is the shortest line.
        s12 = a * lam12;
        salp1 = salp2 = 1.0;
        calp1 = calp2 = 0.0;
    } else {
        // On one meridian, or from a pole, the meridian is the shortest line
        // and alpha1 = lam12; otherwise solve for alpha1.
        const bool meridian = lam12 == 0.0 || lat1 <= -XGEO_PI / 2;
        const auto alongMeridian = [&] {
            double slam12, clam12;
            SinCos(lam12, slam12, clam12);
            return Shoot(el, sbet1, cbet1, sbet2, cbet2, lam12, slam12, clam12);
        };
        const Trial t = meridian ? alongMeridian() : SolveAzimuth(el, sbet1, cbet1, sbet2, cbet2, lam12);
        s12 = TrialDistance(el, t);
        salp1 = t.salp1;
        calp1 = t.calp1;
        salp2 = t.salp2;
        calp2 = t.calp2;
    }

    salp1 *= lonSign;
    salp2 *= lonSign;
    calp1 *= latSign;
    calp2 *= latSign;
    if (swapped) {
        const double s = salp1, c = calp1;
        salp1 = -salp2;
        calp1 = -calp2;
        salp2 = -s;
        calp2 = -c;
    }
}

// Within one degree of the antipode of point 1 in latitude and in longitude.
// Vincenty's iteration fails on most such pairs and, where it converges,
// its azimuths can be off by a few 1e-9 rad (the error grows like the
// inverse of the distance from the antipode); the other method takes over
// there.
constexpr double kAntipodalBox = XGEO_DEG2RAD;

bool NearlyAntipodal(double lon1, double lat1, double lon2, double lat2)
{
    return std::fabs(lat1 + lat2) <= kAntipodalBox &&
           XGEO_PI - std::fabs(LonDiff(lon1, lon2)) <= kAntipodalBox;
}

// An azimuth from its (sin, cos) pair, in [0, 2 pi).
double Azimuth(double s, double c)
{
    double az = Atan2(s, c);
    if (az < 0.0) az += XGEO_TWOPI;
    if (az >= XGEO_TWOPI) az -= XGEO_TWOPI;
    return az;
}

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

bool XEllipsoidEarth::CalArcDistAndAngleRobust(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2,
                                               const XAngle& lat2, double& dist, XAngle& fwdAz, XAngle& revAz) const
{
    const double lo1 = lon1.rad(), la1 = lat1.rad(), lo2 = lon2.rad(), la2 = lat2.rad();
    const auto isLat = [](double lat) { return std::fabs(lat) <= XGEO_PI / 2; };  // false for NaN
    if (!std::isfinite(lo1) || !std::isfinite(lo2) || !isLat(la1) || !isLat(la2)) return false;
    if (!NearlyAntipodal(lo1, la1, lo2, la2) && CalArcDistAndAngle(lon1, lat1, lon2, lat2, dist, fwdAz, revAz))
        return true;

    double s12, salp1, calp1, salp2, calp2;
    InverseOnAuxSphere(m_dA, m_dF, lo1, la1, lo2, la2, s12, salp1, calp1, salp2, calp2);
    if (s12 == 0.0) {
        // Coincident points have no direction between them; report north.
        salp1 = salp2 = 0.0;
        calp1 = calp2 = 1.0;
    }
    dist = s12;
    fwdAz = XAngle(Azimuth(salp1, calp1));
    // At point 2 back toward point 1: the forward azimuth there turned by pi.
    revAz = XAngle(Azimuth(-salp2, -calp2));
    return true;
}

XAngle XEllipsoidEarth::CalcPosByBearingAndDist(const XAngle& lon1, const XAngle& lat1, const XAngle& bearing,
                                                double dist, XAngle& lon2, XAngle& lat2) const
{
    AuxEllipsoid other;
    const AuxEllipsoid& el = AuxFor(m_dA, m_dF, other);
    double salp1, calp1, sbet1, cbet1;
    SinCos(bearing.rad(), salp1, calp1);
    SinCos(lat1.rad(), sbet1, cbet1);
    sbet1 *= 1.0 - el.f;
    ToUnitFast(sbet1, cbet1);

    // Clairaut: sin(alpha0) = sin(alpha) cos(beta) along the geodesic;
    // sigma1 and omega1 from the northward equator crossing as in Shoot.
    const double salp0 = salp1 * cbet1, calp0 = std::sqrt(calp1 * calp1 + salp1 * sbet1 * (salp1 * sbet1));
    double ssig1 = sbet1, csig1 = sbet1 != 0.0 || calp1 != 0.0 ? calp1 * cbet1 : 1.0;
    const double somg1 = salp0 * sbet1, comg1 = csig1;
    ToUnitFast(ssig1, csig1);

    const double eps = EpsOf(el, calp0);
    double c1[kOrder12 + 1], c1p[kOrder12 + 1], c3[kOrder3 + 1];
    I1Coeffs(eps, c1);
    I1InverseCoeffs(eps, c1p);
    I3Coeffs(el, eps, c3);

    // tau, the distance scaled to the auxiliary sphere, is sigma + B1(sigma)
    // with B1 the sine series of I1; the inverse series gives sigma from tau.
    // tau2 = tau1 + tau12 is reached by turning sigma1's (sin, cos) pair by
    // B1(sigma1) + tau12, and sigma2 by turning tau2's pair by the small
    // angle B1'(tau2).
    const double tau12 = dist / (el.b * I1Scale(eps));
    const double b11 = SinSeries(ssig1, csig1, c1, kOrder12);
    double sr, cr;
    SinCos(tau12 + b11, sr, cr);
    const double stau2 = ssig1 * cr + csig1 * sr, ctau2 = csig1 * cr - ssig1 * sr;
    const double b12p = SinSeries(stau2, ctau2, c1p, kOrder12);
    const double sig12 = tau12 + b11 + b12p;
    double sd, cd;
    SinCosSmall(b12p, sd, cd);
    const double ssig2 = stau2 * cd + ctau2 * sd, csig2 = ctau2 * cd - stau2 * sd;

    // Point 2: sin(beta2) = cos(alpha0) sin(sigma2); the azimuth there has
    // sin(alpha2) cos(beta2) = sin(alpha0) and cos(alpha2) cos(beta2) =
    // cos(alpha0) cos(sigma2); tan(lat2) = tan(beta2) / (1 - f).
    const double sbet2 = calp0 * ssig2, cbet2 = std::sqrt(salp0 * salp0 + calp0 * csig2 * (calp0 * csig2));
    const double calp2 = calp0 * csig2;
    const double phi2 = Atan2(sbet2, (1.0 - el.f) * cbet2);

    // The longitude from omega12 on the sphere and the series of I3; omega12
    // is only needed modulo 2 pi, sigma12 in full.
    const double somg2 = salp0 * ssig2, comg2 = csig2;
    const double omg12 = Atan2(somg2 * comg1 - comg2 * somg1, comg2 * comg1 + somg2 * somg1);
    const double i3 = I3Scale(el, eps) * (sig12 + (SinSeries(ssig2, csig2, c3, kOrder3) -
                                                     SinSeries(ssig1, csig1, c3, kOrder3)));
    const double L = omg12 - el.f * salp0 * i3;

    lon2 = XAngle(WrapLongitude(lon1.rad() + L));
    lat2 = XAngle(phi2);
    return XAngle(Atan2(salp0, calp2));
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

bool CalArcDistAndAngleRobust(const XAngle& lon1, const XAngle& lat1, const XAngle& lon2, const XAngle& lat2,
                              double& dist, XAngle& fwdAz, XAngle& revAz)
{
    return m_earth.CalArcDistAndAngleRobust(lon1, lat1, lon2, lat2, dist, fwdAz, revAz);
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

namespace {

/// Runs body(begin, end) on contiguous parts of [0, n), one per worker.
template <class Body>
class GeodesicBatch : public XParallelProcess {
public:
    GeodesicBatch(size_t n, Body& body) : m_n(n), m_body(body) {}
    ~GeodesicBatch() override { CloseThreads(); }
    void Process(int nIndex) override
    {
        const size_t parts = m_nThreads > 0 ? size_t(m_nThreads) : 1;
        m_body(m_n * size_t(nIndex) / parts, m_n * size_t(nIndex + 1) / parts);
    }

private:
    size_t m_n;
    Body& m_body;
};

template <class Body>
void RunBatch(size_t n, int nWorkers, Body body)
{
    GeodesicBatch<Body> batch(n, body);
    const int workers = batch.SetNumberOfThreads(nWorkers >= 1 ? nWorkers : -1);
    // A worker the system would not start: the calling thread does it all.
    for (int i = 0; i < workers; ++i)
        if (!batch.IsValid(i)) {
            batch.SetNumberOfThreads(0);
            break;
        }
    batch.Run();
}

} // namespace

size_t CalArcDistAndAngleRobust(const double* lon1, const double* lat1, const double* lon2, const double* lat2,
                                size_t n, double* dist, double* fwdAz, double* revAz, int nWorkers)
{
    std::atomic<size_t> solved{0};
    RunBatch(n, nWorkers, [&](size_t begin, size_t end) {
        size_t ok = 0;
        for (size_t i = begin; i < end; ++i) {
            XAngle f, r;
            if (m_earth.CalArcDistAndAngleRobust(XAngle(lon1[i]), XAngle(lat1[i]), XAngle(lon2[i]), XAngle(lat2[i]),
                                                 dist[i], f, r)) {
                fwdAz[i] = f.rad();
                revAz[i] = r.rad();
                ++ok;
            } else {
                dist[i] = fwdAz[i] = revAz[i] = std::numeric_limits<double>::quiet_NaN();
            }
        }
        solved += ok;
    });
    return solved;
}

void CalcPosByBearingAndDist(const double* lon1, const double* lat1, const double* bearing, const double* dist,
                             size_t n, double* lon2, double* lat2, double* az2, int nWorkers)
{
    RunBatch(n, nWorkers, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            XAngle lo, la;
            az2[i] = m_earth.CalcPosByBearingAndDist(XAngle(lon1[i]), XAngle(lat1[i]), XAngle(bearing[i]), dist[i],
                                                     lo, la)
                         .rad();
            lon2[i] = lo.rad();
            lat2[i] = la.rad();
        }
    });
}

} // namespace Xfn
} // namespace Pelmora::Tivra
