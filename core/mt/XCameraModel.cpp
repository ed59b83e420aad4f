#include <tivra/mt/XCameraModel.h>

#include <cmath>
#include <limits>
#include <vector>

namespace Pelmora::Tivra {

namespace {

/// Damping of the first Levenberg-Marquardt step, and its factors after an
/// accepted (down) or a rejected (up) step.
constexpr double kLambdaStart = 0.001;
constexpr double kLambdaDown = 0.1;
constexpr double kLambdaUp = 10.0;
/// A pivot of the Gauss-Jordan elimination is taken as zero when it is at or
/// below this fraction of the diagonal element it started as: that column
/// is then a combination of the eliminated ones to within rounding (about
/// 1e-16), so the system is singular. Damped systems never come near it,
/// since damping keeps every pivot above lambda / (1 + lambda) of its start.
constexpr double kSingularRatio = 1e-14;
/// The DLT has 11 unknowns and each point gives 2 equations.
constexpr int kDltMinPoints = 6;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

/// M(omega, phi, kappa) and its partial derivatives with respect to the three
/// angles, each row by row.
struct Rotation {
    double m[3][3];
    double d[3][3][3];  // d[a] = dM / d(angle a), a = omega, phi, kappa
};

void FillRotation(double om, double ph, double ka, Rotation& r)
{
    const double co = std::cos(om), so = std::sin(om);
    const double cp = std::cos(ph), sp = std::sin(ph);
    const double ck = std::cos(ka), sk = std::sin(ka);
    double(&m)[3][3] = r.m;
    m[0][0] = cp * ck;
    m[0][1] = -cp * sk;
    m[0][2] = sp;
    m[1][0] = co * sk + so * sp * ck;
    m[1][1] = co * ck - so * sp * sk;
    m[1][2] = -so * cp;
    m[2][0] = so * sk - co * sp * ck;
    m[2][1] = so * ck + co * sp * sk;
    m[2][2] = co * cp;

    double(&dO)[3][3] = r.d[0];
    dO[0][0] = 0.0;
    dO[0][1] = 0.0;
    dO[0][2] = 0.0;
    dO[1][0] = -so * sk + co * sp * ck;
    dO[1][1] = -so * ck - co * sp * sk;
    dO[1][2] = -co * cp;
    dO[2][0] = co * sk + so * sp * ck;
    dO[2][1] = co * ck - so * sp * sk;
    dO[2][2] = -so * cp;

    double(&dP)[3][3] = r.d[1];
    dP[0][0] = -sp * ck;
    dP[0][1] = sp * sk;
    dP[0][2] = cp;
    dP[1][0] = so * cp * ck;
    dP[1][1] = -so * cp * sk;
    dP[1][2] = so * sp;
    dP[2][0] = -co * cp * ck;
    dP[2][1] = co * cp * sk;
    dP[2][2] = -co * sp;

    double(&dK)[3][3] = r.d[2];
    dK[0][0] = -cp * sk;
    dK[0][1] = -cp * ck;
    dK[0][2] = 0.0;
    dK[1][0] = co * ck - so * sp * sk;
    dK[1][1] = -co * sk - so * sp * ck;
    dK[1][2] = 0.0;
    dK[2][0] = so * ck + co * sp * sk;
    dK[2][1] = -so * sk + co * sp * ck;
    dK[2][2] = 0.0;
}

double Dot(const double (&row)[3], double dX, double dY, double dZ) { return row[0] * dX + row[1] * dY + row[2] * dZ; }

/// The derivative of -f q / W from the derivatives dq and dW of its parts.
double QuotientDerivative(double f, double q, double W, double dq, double dW)
{
    return -f * (dq * W - q * dW) / (W * W);
}

/// Both equations of one point: value[e] and deriv[e][j] for the x (e = 0)
/// and y (e = 1) equation. deriv has room for the line scanner's 19
/// parameters; the frame camera fills the first 9. t is the point's image
/// row, used by the line scanner only.
void EvalPoint(const double* p, int nParams, double X, double Y, double Z, double t, double value[2],
               double deriv[2][XCAMERA_LINE_PARAMS])
{
    const bool frame = nParams == XCAMERA_FRAME_PARAMS;
    const double f = p[0];
    // Exterior orientation: constant terms, or the polynomials of the row.
    double pos[3], ang[3];
    const double t2 = t * t;
    for (int i = 0; i < 3; ++i) {
        if (frame) {
            pos[i] = p[3 + i];
            ang[i] = p[6 + i];
        } else {
            pos[i] = p[1 + i] + p[7 + i] * t + p[13 + i] * t2;
            ang[i] = p[4 + i] + p[10 + i] * t + p[16 + i] * t2;
        }
    }
    Rotation r;
    FillRotation(ang[0], ang[1], ang[2], r);
    const double dX = X - pos[0], dY = Y - pos[1], dZ = Z - pos[2];
    const double U = Dot(r.m[0], dX, dY, dZ);
    const double V = Dot(r.m[1], dX, dY, dZ);
    const double W = Dot(r.m[2], dX, dY, dZ);
    const double q[2] = {U, V};

    // Derivatives by the exterior values: a move of the centre along ground
    // axis j changes (U, V, W) by -(column j of M); an angle changes them by
    // its derivative matrix applied to the ground difference.
    double dExt[2][6];
    for (int e = 0; e < 2; ++e) {
        for (int j = 0; j < 3; ++j) dExt[e][j] = QuotientDerivative(f, q[e], W, -r.m[e][j], -r.m[2][j]);
        for (int a = 0; a < 3; ++a)
            dExt[e][3 + a] =
                QuotientDerivative(f, q[e], W, Dot(r.d[a][e], dX, dY, dZ), Dot(r.d[a][2], dX, dY, dZ));
    }

    for (int e = 0; e < 2; ++e) {
        double* d = deriv[e];
        d[0] = -q[e] / W;
        if (frame) {
            value[e] = (e == 0 ? p[1] : p[2]) - f * q[e] / W;
            d[1] = e == 0 ? 1.0 : 0.0;
            d[2] = e == 0 ? 0.0 : 1.0;
            for (int j = 0; j < 6; ++j) d[3 + j] = dExt[e][j];
        } else {
            value[e] = -f * q[e] / W;
            for (int j = 0; j < 6; ++j) {
                d[1 + j] = dExt[e][j];
                d[7 + j] = dExt[e][j] * t;
                d[13 + j] = dExt[e][j] * t2;
            }
        }
    }
}

bool IsModelSize(int n) { return n == XCAMERA_FRAME_PARAMS || n == XCAMERA_LINE_PARAMS; }

bool SameSizes(const XVector& X, const XVector& Y, const XVector& Z, const XVector& x, const XVector& y)
{
    const int n = X.GetSize();
    return Y.GetSize() == n && Z.GetSize() == n && x.GetSize() == n && y.GetSize() == n;
}

/// Solves a x = b for the symmetric matrix a (n x n) by Gauss-Jordan
/// elimination in place: a becomes its inverse and b the solution. The
/// pivots are taken on the diagonal, each time the one largest relative to
/// its starting value, which for the positive (semi-)definite normal
/// equations is the best conditioned choice and needs no row exchanges.
/// False when a pivot is zero to within kSingularRatio (or not a number).
bool GaussJordan(XMatrix& a, XVector& b)
{
    const int n = a.GetRows();
    std::vector<double> start(static_cast<size_t>(n));
    std::vector<bool> done(static_cast<size_t>(n), false);
    for (int i = 0; i < n; ++i) start[i] = a(i, i);
    for (int pass = 0; pass < n; ++pass) {
        int p = -1;
        double best = 0.0;
        for (int i = 0; i < n; ++i) {
            if (done[i] || !(start[i] > 0.0)) continue;
            const double ratio = a(i, i) / start[i];
            if (p < 0 || ratio > best) {
                p = i;
                best = ratio;
            }
        }
        if (p < 0 || !(best > kSingularRatio)) return false;
        done[p] = true;
        const double inv = 1.0 / a(p, p);
        a(p, p) = 1.0;
        for (int k = 0; k < n; ++k) a(p, k) *= inv;
        b[p] *= inv;
        for (int i = 0; i < n; ++i) {
            if (i == p) continue;
            const double g = a(i, p);
            if (g == 0.0) continue;
            a(i, p) = 0.0;
            for (int k = 0; k < n; ++k) a(i, k) -= g * a(p, k);
            b[i] -= g * b[p];
        }
    }
    return true;
}

/// The used points of a refinement: their ground coordinates with the image
/// row (one row each, for EvalPoint) and their observed values.
struct Observations {
    XMatrix ground;  // m x 4: X, Y, Z, t
    XVector obs;     // 2m: observed x, then observed y (0 for the line scanner)
};

/// alpha = J^T J and beta = J^T r over the free parameters, and chi-square.
struct NormalEquations {
    XMatrix alpha;
    XVector beta;
    double chi2 = 0.0;
};

bool Evaluate(const XVector& params, const std::vector<int>& free, const Observations& o, NormalEquations& ne)
{
    const int nF = int(free.size()), m = o.ground.GetRows();
    if (!ne.alpha.Resize(nF, nF) || !ne.beta.Resize(nF)) return false;
    for (int i = 0; i < nF * nF; ++i) ne.alpha.GetData()[i] = 0.0;
    for (int i = 0; i < nF; ++i) ne.beta[i] = 0.0;
    ne.chi2 = 0.0;
    double value[2], deriv[2][XCAMERA_LINE_PARAMS];
    for (int i = 0; i < m; ++i) {
        EvalPoint(params.GetData(), params.GetSize(), o.ground(i, 0), o.ground(i, 1), o.ground(i, 2),
                  o.ground(i, 3), value, deriv);
        for (int e = 0; e < 2; ++e) {
            const double r = o.obs[2 * i + e] - value[e];
            ne.chi2 += r * r;
            for (int j = 0; j < nF; ++j) {
                const double dj = deriv[e][free[j]];
                for (int k = 0; k <= j; ++k) ne.alpha(j, k) += dj * deriv[e][free[k]];
                ne.beta[j] += dj * r;
            }
        }
    }
    for (int j = 0; j < nF; ++j)
        for (int k = 0; k < j; ++k) ne.alpha(k, j) = ne.alpha(j, k);
    return true;
}

/// The step of one damped iteration: delta solving alpha' delta = beta,
/// alpha' being alpha with its diagonal multiplied by 1 + lambda.
bool Step(const NormalEquations& ne, double lambda, XVector& delta)
{
    XMatrix a(ne.alpha);
    delta = ne.beta;
    const int n = a.GetRows();
    if (a.GetRows() != ne.alpha.GetRows() || delta.GetSize() != n) return false;
    for (int j = 0; j < n; ++j) a(j, j) *= 1.0 + lambda;
    return GaussJordan(a, delta);
}

/// (J^T J)^-1 over the free parameters, spread into nParams x nParams with
/// zero rows and columns for the held parameters.
bool Covariance(const NormalEquations& ne, const std::vector<int>& free, int nParams, XMatrix& covar)
{
    const int nF = int(free.size());
    XMatrix inv(ne.alpha);
    XVector rhs(ne.beta);
    if (inv.GetRows() != nF || rhs.GetSize() != nF) return false;
    if (!GaussJordan(inv, rhs)) return false;
    if (!covar.Resize(nParams, nParams)) return false;
    for (int i = 0; i < nParams * nParams; ++i) covar.GetData()[i] = 0.0;
    // Elimination leaves the inverse symmetric only to rounding; a covariance
    // is symmetric, so the two halves are averaged.
    for (int j = 0; j < nF; ++j)
        for (int k = 0; k <= j; ++k) covar(free[j], free[k]) = covar(free[k], free[j]) = (inv(j, k) + inv(k, j)) / 2.0;
    return true;
}

/// The centroid of points and the scale that brings their root-mean-square
/// distance from it to sqrt(dims), so each normalised coordinate has a spread
/// near 1. False when all points coincide.
bool Normalisation(const std::vector<const double*>& axes, const std::vector<int>& used, double* centre,
                   double& scale)
{
    const int dims = int(axes.size()), m = int(used.size());
    double sum2 = 0.0;
    for (int a = 0; a < dims; ++a) {
        double s = 0.0;
        for (int i : used) s += axes[a][i];
        centre[a] = s / m;
    }
    for (int i : used)
        for (int a = 0; a < dims; ++a) {
            const double d = axes[a][i] - centre[a];
            sum2 += d * d;
        }
    if (!(sum2 > 0.0)) return false;
    scale = std::sqrt(dims / (sum2 / m));
    return std::isfinite(scale);
}

/// Solves the eleven DLT coefficients in normalised coordinates and rewrites
/// them as the 3 x 4 matrix P of the raw coordinates, P(2, 3) not yet 1.
bool SolveDlt(const XVector& X, const XVector& Y, const XVector& Z, const XVector& x, const XVector& y,
              const std::vector<int>& used, double P[3][4])
{
    double cg[3], sg, ci[2], si;
    if (!Normalisation({X.GetData(), Y.GetData(), Z.GetData()}, used, cg, sg)) return false;
    if (!Normalisation({x.GetData(), y.GetData()}, used, ci, si)) return false;

    XMatrix n(11, 11);
    XVector l(11);
    if (n.GetRows() != 11 || l.GetSize() != 11) return false;
    for (int i = 0; i < 121; ++i) n.GetData()[i] = 0.0;
    for (int i = 0; i < 11; ++i) l[i] = 0.0;
    for (int i : used) {
        const double Xn = (X[i] - cg[0]) * sg, Yn = (Y[i] - cg[1]) * sg, Zn = (Z[i] - cg[2]) * sg;
        const double xn = (x[i] - ci[0]) * si, yn = (y[i] - ci[1]) * si;
        const double rows[2][11] = {{Xn, Yn, Zn, 1.0, 0.0, 0.0, 0.0, 0.0, -xn * Xn, -xn * Yn, -xn * Zn},
                                    {0.0, 0.0, 0.0, 0.0, Xn, Yn, Zn, 1.0, -yn * Xn, -yn * Yn, -yn * Zn}};
        const double obs[2] = {xn, yn};
        for (int e = 0; e < 2; ++e)
            for (int j = 0; j < 11; ++j) {
                for (int k = 0; k < 11; ++k) n(j, k) += rows[e][j] * rows[e][k];
                l[j] += rows[e][j] * obs[e];
            }
    }
    // Gauss-Jordan with its relative pivot test: points on a tilted plane
    // make the system exactly singular, yet rounding leaves small positive
    // pivots that a plain Cholesky factorisation would accept.
    if (!GaussJordan(n, l)) return false;

    // Normalised rows (L'1..L'4), (L'5..L'8), (L'9, L'10, L'11, 1); ground
    // normalisation undone first (X' = sg (X - cg)), then the image one
    // (x = ci + x' / si).
    const double Pn[3][4] = {{l[0], l[1], l[2], l[3]}, {l[4], l[5], l[6], l[7]}, {l[8], l[9], l[10], 1.0}};
    double Q[3][4];
    for (int r = 0; r < 3; ++r) {
        Q[r][3] = Pn[r][3];
        for (int a = 0; a < 3; ++a) {
            Q[r][a] = Pn[r][a] * sg;
            Q[r][3] -= Pn[r][a] * sg * cg[a];
        }
    }
    for (int k = 0; k < 4; ++k) {
        P[0][k] = Q[0][k] / si + ci[0] * Q[2][k];
        P[1][k] = Q[1][k] / si + ci[1] * Q[2][k];
        P[2][k] = Q[2][k];
    }
    return true;
}

double Det3(const double a[3][3])
{
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
}

} // namespace

namespace Xfn {

XMatrix BuildRotation(double omega, double phi, double kappa)
{
    Rotation r;
    FillRotation(omega, phi, kappa, r);
    XMatrix m(3, 3);
    if (m.GetRows() == 3)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) m(i, j) = r.m[i][j];
    return m;
}

double EvalCollinearity(int k, const XMatrix& ground, const XVector& params, XVector& dyda)
{
    const int nParams = params.GetSize();
    if (!IsModelSize(nParams) || k < 0 || k >= 2 * ground.GetRows()) return kNaN;
    const bool frame = nParams == XCAMERA_FRAME_PARAMS;
    if (ground.GetCols() < (frame ? 3 : 4)) return kNaN;
    if (!dyda.Resize(nParams)) return kNaN;
    const int i = k / 2, e = k % 2;
    const double t = frame ? 0.0 : ground(i, 3);
    double value[2], deriv[2][XCAMERA_LINE_PARAMS];
    EvalPoint(params.GetData(), nParams, ground(i, 0), ground(i, 1), ground(i, 2), t, value, deriv);
    for (int j = 0; j < nParams; ++j) dyda[j] = deriv[e][j];
    return value[e];
}

int RefineCameraModel(XVector& params, const uint8_t* pFree, const XVector& X, const XVector& Y, const XVector& Z,
                      const XVector& x, const XVector& y, const int32_t* pUse, double tolerance, int maxIterations,
                      tagXCameraFit* pFit)
{
    const int nParams = params.GetSize(), n = X.GetSize();
    if (!IsModelSize(nParams) || !SameSizes(X, Y, Z, x, y) || std::isnan(tolerance) || maxIterations < 1)
        return XCAMERA_BAD_ARGUMENTS;
    const bool frame = nParams == XCAMERA_FRAME_PARAMS;

    std::vector<int> free;
    for (int j = 0; j < nParams; ++j)
        if (!pFree || pFree[j]) free.push_back(j);
    int m = 0;
    for (int i = 0; i < n; ++i)
        if (!pUse || pUse[i]) ++m;
    Observations o;
    if (!o.ground.Resize(m, 4) || !o.obs.Resize(2 * m)) return XCAMERA_SINGULAR;
    for (int i = 0, r = 0; i < n; ++i) {
        if (pUse && !pUse[i]) continue;
        o.ground(r, 0) = X[i];
        o.ground(r, 1) = Y[i];
        o.ground(r, 2) = Z[i];
        o.ground(r, 3) = y[i];
        o.obs[2 * r] = x[i];
        o.obs[2 * r + 1] = frame ? y[i] : 0.0;
        ++r;
    }

    NormalEquations cur, trial;
    XVector a(params), delta;
    if (a.GetSize() != nParams || !Evaluate(a, free, o, cur)) return XCAMERA_SINGULAR;
    int iterations = 1;
    double lambda = kLambdaStart;
    int result = XCAMERA_NOT_CONVERGED;
    while (!(cur.chi2 <= tolerance) && iterations < maxIterations && lambda < XCAMERA_LAMBDA_LIMIT) {
        if (!Step(cur, lambda, delta)) {
            result = XCAMERA_SINGULAR;
            break;
        }
        XVector at(a);
        for (size_t j = 0; j < free.size(); ++j) at[free[j]] += delta[int(j)];
        ++iterations;
        if (!Evaluate(at, free, o, trial)) {
            result = XCAMERA_SINGULAR;
            break;
        }
        if (trial.chi2 < cur.chi2) {
            a = at;
            std::swap(cur, trial);
            lambda *= kLambdaDown;
        } else {
            lambda *= kLambdaUp;
        }
    }
    if (result != XCAMERA_SINGULAR && cur.chi2 <= tolerance) result = XCAMERA_CONVERGED;

    params = a;
    XMatrix covar;
    if (result != XCAMERA_SINGULAR && !Covariance(cur, free, nParams, covar)) result = XCAMERA_SINGULAR;
    if (pFit) {
        pFit->m_dChi2 = cur.chi2;
        pFit->m_nIterations = iterations;
        pFit->m_dLambda = lambda;
        if (result == XCAMERA_SINGULAR) pFit->m_Covar.Free();
        else pFit->m_Covar = covar;
    }
    return result;
}

int EstimateCameraByDlt(XVector& params, const uint8_t* pMask, const XVector& X, const XVector& Y, const XVector& Z,
                        const XVector& x, const XVector& y, const uint8_t* pUse)
{
    if (params.GetSize() != XCAMERA_FRAME_PARAMS || !SameSizes(X, Y, Z, x, y)) return XCAMERA_BAD_ARGUMENTS;
    std::vector<int> used;
    for (int i = 0; i < X.GetSize(); ++i)
        if (!pUse || pUse[i]) used.push_back(i);
    if (int(used.size()) < kDltMinPoints) return XCAMERA_SINGULAR;

    double P[3][4];
    if (!SolveDlt(X, Y, Z, x, y, used, P)) return XCAMERA_SINGULAR;
    if (P[2][3] == 0.0 || !std::isfinite(P[2][3])) return XCAMERA_SINGULAR;
    double L[12];  // L[1] .. L[11] are L1 .. L11; L[0] is not used
    for (int r = 0, j = 1; r < 3; ++r)
        for (int k = 0; k < 4 && j <= 11; ++k, ++j) L[j] = P[r][k] / P[2][3];

    const double Ls = -1.0 / std::sqrt(L[9] * L[9] + L[10] * L[10] + L[11] * L[11]);
    const double x0 = (L[1] * L[9] + L[2] * L[10] + L[3] * L[11]) * (Ls * Ls);
    const double y0 = (L[5] * L[9] + L[6] * L[10] + L[7] * L[11]) * (Ls * Ls);
    const double fx2 = (L[1] * L[1] + L[2] * L[2] + L[3] * L[3]) * (Ls * Ls) - x0 * x0;
    const double fy2 = (L[5] * L[5] + L[6] * L[6] + L[7] * L[7]) * (Ls * Ls) - y0 * y0;
    const double f2 = (fx2 + fy2) / 2.0;
    if (!(f2 > 0.0) || !std::isfinite(f2)) return XCAMERA_SINGULAR;
    const double f = std::sqrt(f2);

    // Projection centre X0 = -A^-1 (L4, L8, 1) by Cramer's rule.
    const double A[3][3] = {{L[1], L[2], L[3]}, {L[5], L[6], L[7]}, {L[9], L[10], L[11]}};
    const double det = Det3(A);
    if (det == 0.0 || !std::isfinite(det)) return XCAMERA_SINGULAR;
    const double b[3] = {-L[4], -L[8], -1.0};
    double centre[3];
    for (int c = 0; c < 3; ++c) {
        double Ac[3][3];
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) Ac[r][k] = k == c ? b[r] : A[r][k];
        centre[c] = Det3(Ac) / det;
    }

    // Rows of M: m3 = (L9, L10, L11) / c with 1 / c = -sign(det A) L, then
    // m1 and m2 from r1 = (L1, L2, L3) / c and r2 = (L5, L6, L7) / c.
    const double invC = (det > 0.0 ? -1.0 : 1.0) * Ls;
    double m1[3], m2[3], m3[3];
    for (int k = 0; k < 3; ++k) {
        m3[k] = invC * A[2][k];
        m1[k] = (x0 * m3[k] - invC * A[0][k]) / f;
        m2[k] = (y0 * m3[k] - invC * A[1][k]) / f;
    }
    const double phi = std::atan2(m1[2], std::sqrt(m1[0] * m1[0] + m1[1] * m1[1]));
    const double omega = std::atan2(-m2[2], m3[2]);
    const double kappa = std::atan2(-m1[1], m1[0]);

    const double estimate[XCAMERA_FRAME_PARAMS] = {f, x0, y0, centre[0], centre[1], centre[2], omega, phi, kappa};
    for (int j = 0; j < XCAMERA_FRAME_PARAMS; ++j)
        if (!pMask || pMask[j]) params[j] = estimate[j];
    return XCAMERA_DLT_OK;
}

} // namespace Xfn
} // namespace Pelmora::Tivra
