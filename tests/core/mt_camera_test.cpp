// Camera models: the rotation against a product of elementary turns, the
// analytic derivatives against central differences, recovery of frame
// cameras and line scanners from synthetic points made with an independent
// projection, the DLT start, the iteration's rules and its thread safety.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include <tivra/mt/XCameraModel.h>

using namespace Pelmora::Tivra;

namespace {

using Mat3 = std::array<std::array<double, 3>, 3>;

Mat3 Mul(const Mat3& a, const Mat3& b)
{
    Mat3 c{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
    return c;
}

/// Rx(om) Ry(ph) Rz(ka) from the elementary turns: the reference rotation.
Mat3 ReferenceRotation(double om, double ph, double ka)
{
    const Mat3 rx{{{1, 0, 0}, {0, std::cos(om), -std::sin(om)}, {0, std::sin(om), std::cos(om)}}};
    const Mat3 ry{{{std::cos(ph), 0, std::sin(ph)}, {0, 1, 0}, {-std::sin(ph), 0, std::cos(ph)}}};
    const Mat3 rz{{{std::cos(ka), -std::sin(ka), 0}, {std::sin(ka), std::cos(ka), 0}, {0, 0, 1}}};
    return Mul(Mul(rx, ry), rz);
}

/// Control points of one camera; t of the line scanner is the image y.
struct Scene {
    std::vector<double> truth;
    XVector X, Y, Z, x, y;
    std::vector<int32_t> use;
    int Size() const { return X.GetSize(); }
};

XVector Vec(const std::vector<double>& v)
{
    XVector r(int(v.size()));
    for (size_t i = 0; i < v.size(); ++i) r[int(i)] = v[i];
    return r;
}

const std::vector<double> kFrame = {1500, 512.25, 384.75, 1200, -800, 2500, 0.05, -0.08, 0.6};
const std::vector<double> kLine = {2000, 1000, -500, 3000, 0.02, -0.03, 0.1, 0.05, 0.6, 0.01, 2e-6, -3e-6, 1e-6,
                                   1e-6, -2e-6, 3e-7, 1e-10, 2e-10, -1e-10};

/// A frame camera seeing n ground points on terrain 400 m deep around the
/// height zMid, image points projected with the reference rotation and
/// disturbed by noise of sigma px. The offsets shift the ground coordinates
/// and the camera together.
Scene FrameScene(const std::vector<double>& p, int n, double sigma, unsigned seed, double offsetX = 0,
                 double offsetY = 0, double zMid = 200)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    Scene s{p, XVector(n), XVector(n), XVector(n), XVector(n), XVector(n), std::vector<int32_t>(n, 1)};
    const Mat3 m = ReferenceRotation(p[6], p[7], p[8]);
    for (int i = 0; i < n; ++i) {
        const double G[3] = {p[3] + 1500 * u(rng), p[4] + 1500 * u(rng), zMid + 200 * u(rng)};
        double q[3];
        for (int r = 0; r < 3; ++r) q[r] = m[r][0] * (G[0] - p[3]) + m[r][1] * (G[1] - p[4]) + m[r][2] * (G[2] - p[5]);
        s.X[i] = G[0] + offsetX;
        s.Y[i] = G[1] + offsetY;
        s.Z[i] = G[2];
        s.x[i] = p[1] - p[0] * q[0] / q[2] + (sigma > 0 ? noise(rng) : 0.0);
        s.y[i] = p[2] - p[0] * q[1] / q[2] + (sigma > 0 ? noise(rng) : 0.0);
    }
    s.truth[3] += offsetX;
    s.truth[4] += offsetY;
    return s;
}

/// A line scanner: for a row t and an image x, the ground point where the
/// ray x = -f U / W, V = 0 of that row meets a random terrain height.
Scene LineScene(const std::vector<double>& p, int n, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::normal_distribution<double> noise(0.0, sigma > 0 ? sigma : 1.0);
    Scene s{p, XVector(n), XVector(n), XVector(n), XVector(n), XVector(n), std::vector<int32_t>(n, 1)};
    for (int i = 0; i < n; ++i) {
        const double t = 4000 * u(rng), xi = 3000 * u(rng) - 1500, h = 800 * u(rng);
        double c[6];
        for (int k = 0; k < 6; ++k) c[k] = p[1 + k] + p[7 + k] * t + p[13 + k] * t * t;
        const Mat3 m = ReferenceRotation(c[3], c[4], c[5]);
        const double cam[3] = {xi / p[0], 0.0, -1.0};  // (U, V, W) of the ray
        double d[3];
        for (int r = 0; r < 3; ++r) d[r] = m[0][r] * cam[0] + m[1][r] * cam[1] + m[2][r] * cam[2];
        const double along = (h - c[2]) / d[2];
        s.X[i] = c[0] + along * d[0];
        s.Y[i] = c[1] + along * d[1];
        s.Z[i] = h;
        s.x[i] = xi + (sigma > 0 ? noise(rng) : 0.0);
        s.y[i] = t;
    }
    return s;
}

/// The start: every parameter moved by a relative step plus an absolute one.
XVector Perturbed(const std::vector<double>& p, double relative, const std::vector<double>& absolute)
{
    XVector a = Vec(p);
    for (int j = 0; j < a.GetSize(); ++j) a[j] += relative * a[j] + (j < int(absolute.size()) ? absolute[j] : 0.0);
    return a;
}

/// A difference step that moves the image by about 1e-3 px: 1e-6 of a
/// constant term (at least 1e-6), divided by the largest row (4000) for a
/// linear term and by its square for a quadratic one.
double DiffStep(const XVector& a, int j)
{
    if (a.GetSize() == XCAMERA_FRAME_PARAMS || j < 7) return 1e-6 * std::max(std::fabs(a[j]), 1.0);
    const int constant = 1 + (j - 1) % 6;
    return 1e-6 * std::max(std::fabs(a[constant]), 1.0) / (j < 13 ? 4000.0 : 16e6);
}

int Refine(Scene& s, XVector& a, double tol, int maxIt, tagXCameraFit* fit = nullptr, const uint8_t* pFree = nullptr)
{
    return Xfn::RefineCameraModel(a, pFree, s.X, s.Y, s.Z, s.x, s.y, s.use.data(), tol, maxIt, fit);
}

/// Sum of the squared residuals (observed - model) of the x equations, or of
/// all equations.
double SumSquares(const Scene& s, const XVector& a, bool xOnly)
{
    XMatrix g(s.Size(), 4);
    for (int i = 0; i < s.Size(); ++i) g(i, 0) = s.X[i], g(i, 1) = s.Y[i], g(i, 2) = s.Z[i], g(i, 3) = s.y[i];
    XVector d;
    const bool frame = a.GetSize() == XCAMERA_FRAME_PARAMS;
    double sum = 0;
    for (int k = 0; k < 2 * s.Size(); k += xOnly ? 2 : 1) {
        const double obs = k % 2 == 0 ? s.x[k / 2] : (frame ? s.y[k / 2] : 0.0);
        const double r = obs - Xfn::EvalCollinearity(k, g, a, d);
        sum += r * r;
    }
    return sum;
}

} // namespace

TEST(MtCamera, RotationIsTheProductOfElementaryTurns)
{
    const double angles[][3] = {{0, 0, 0}, {0, 0, 0.7}, {0.3, -1.2, 2.9}, {-2.5, 1.5, -0.4}, {3.1, 0.01, -3.1}};
    for (const auto& a : angles) {
        const XMatrix m = Xfn::BuildRotation(a[0], a[1], a[2]);
        const Mat3 ref = ReferenceRotation(a[0], a[1], a[2]);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(m(i, j), ref[i][j], 1e-15) << a[0] << " " << i << j;
    }
    // Zero angles: the identity; kappa alone turns in the image plane.
    const XMatrix k = Xfn::BuildRotation(0, 0, 0.7);
    EXPECT_EQ(Xfn::BuildRotation(0, 0, 0)(1, 1), 1.0);
    EXPECT_EQ(k(0, 1), -std::sin(0.7));
    EXPECT_EQ(k(1, 0), std::sin(0.7));
    EXPECT_EQ(k(2, 2), 1.0);
    EXPECT_EQ(k(0, 2), 0.0);
}

TEST(MtCamera, DerivativesAgreeWithCentralDifferences)
{
    for (const Scene& s : {FrameScene(kFrame, 4, 0, 1), LineScene(kLine, 4, 0, 2)}) {
        // Off the solution, so that no derivative vanishes by symmetry.
        const XVector a = Perturbed(s.truth, 0.01, {0, 1, 1, 1, 0.01, 0.01, 0.01});
        XMatrix g(s.Size(), 4);
        for (int i = 0; i < s.Size(); ++i) g(i, 0) = s.X[i], g(i, 1) = s.Y[i], g(i, 2) = s.Z[i], g(i, 3) = s.y[i];
        for (int k = 0; k < 2 * s.Size(); ++k) {
            XVector d, unused;
            const double value = Xfn::EvalCollinearity(k, g, a, d);
            ASSERT_EQ(d.GetSize(), a.GetSize());
            for (int j = 0; j < a.GetSize(); ++j) {
                const double h = DiffStep(a, j);
                XVector lo(a), hi(a);
                lo[j] -= h;
                hi[j] += h;
                const double fd = (Xfn::EvalCollinearity(k, g, hi, unused) - Xfn::EvalCollinearity(k, g, lo, unused)) /
                                  (2 * h);
                // Both values carry a rounding of some ulps of the value.
                const double rounding = 1e-15 * (1 + std::fabs(value)) / h;
                EXPECT_NEAR(d[j], fd, 1e-6 * std::max(1.0, std::fabs(fd)) + rounding) << "params " << a.GetSize() << " k " << k
                                                                           << " j " << j;
            }
        }
    }
    // Equations outside the points, or parameter counts of no model, give NaN.
    XMatrix g(2, 4);
    XVector d;
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(4, g, Vec(kFrame), d)));
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(-1, g, Vec(kFrame), d)));
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(0, g, XVector(10), d)));
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(0, XMatrix(2, 3), Vec(kLine), d)));
}

TEST(MtCamera, NoiseFreeCamerasAreRecoveredFromAPerturbedStart)
{
    // The tolerance is near the rounding of the image points: some 1e-13 px,
    // or 1e-9 m of ground coordinates in the millions (about 1e-9 px here).
    struct Case {
        const char* name;
        Scene scene;
        double relative;
        std::vector<double> absolute;
        double tolerance;
    } cases[] = {
        {"frame", FrameScene(kFrame, 40, 0, 3), 0.02, {0, 5, -5, 30, -30, 20, 0.02, -0.02, 0.03}, 1e-20},
        {"frame far from the origin", FrameScene(kFrame, 40, 0, 4, 5e5, 4.2e6), 0,
         {20, 3, -3, 25, 25, -40, -0.01, 0.01, 0.02}, 1e-14},
        {"line scanner", LineScene(kLine, 80, 0, 5), 0.01, {0, 10, -10, 10, 0.002, -0.002, 0.002}, 1e-20},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        XVector a = Perturbed(c.scene.truth, c.relative, c.absolute);
        tagXCameraFit fit;
        ASSERT_EQ(Refine(c.scene, a, c.tolerance, 200, &fit), XCAMERA_CONVERGED);
        EXPECT_LE(fit.m_dChi2, c.tolerance);
        EXPECT_GT(fit.m_nIterations, 1);
        for (int j = 0; j < a.GetSize(); ++j) EXPECT_NEAR(a[j], c.scene.truth[j], 1e-9 * std::fabs(c.scene.truth[j])) << j;
    }
}

TEST(MtCamera, NoisyPointsGiveAnRmsNearSigmaAndTheCovarianceOfTheJacobian)
{
    const double sigma = 0.5;
    for (Scene s : {FrameScene(kFrame, 150, sigma, 6), LineScene(kLine, 150, sigma, 7)}) {
        XVector a = Perturbed(s.truth, 0.001, {});
        const int nP = a.GetSize();
        const bool frame = nP == XCAMERA_FRAME_PARAMS;
        tagXCameraFit fit;
        // Noise keeps chi-square above 0, so the iteration ends when no step lowers it.
        ASSERT_EQ(Refine(s, a, 0.0, 500, &fit), XCAMERA_NOT_CONVERGED);
        EXPECT_GE(fit.m_dLambda, 1e51);
        EXPECT_NEAR(fit.m_dChi2, SumSquares(s, a, false), 1e-9 * fit.m_dChi2);
        // The RMS over the noisy equations (the line scanner's rows are exact)
        // is sigma less what the fitted parameters absorb.
        const int nNoisy = frame ? 2 * s.Size() : s.Size();
        const double rms = std::sqrt(SumSquares(s, a, !frame) / nNoisy);
        EXPECT_NEAR(rms, sigma * std::sqrt(double(nNoisy - nP) / nNoisy), 0.12 * sigma) << nP;

        // Covariance against (J^T J)^-1 from a difference Jacobian inverted
        // column by column with the matrix solver.
        XMatrix g(s.Size(), 4), jtj(nP, nP);
        for (int i = 0; i < s.Size(); ++i) g(i, 0) = s.X[i], g(i, 1) = s.Y[i], g(i, 2) = s.Z[i], g(i, 3) = s.y[i];
        std::vector<std::vector<double>> J(2 * s.Size(), std::vector<double>(nP));
        XVector unused;
        for (int j = 0; j < nP; ++j) {
            const double h = DiffStep(a, j);
            XVector lo(a), hi(a);
            lo[j] -= h;
            hi[j] += h;
            for (int k = 0; k < 2 * s.Size(); ++k)
                J[k][j] = (Xfn::EvalCollinearity(k, g, hi, unused) - Xfn::EvalCollinearity(k, g, lo, unused)) / (2 * h);
        }
        for (int j = 0; j < nP; ++j)
            for (int l = 0; l < nP; ++l) {
                jtj(j, l) = 0;
                for (const auto& row : J) jtj(j, l) += row[j] * row[l];
            }
        ASSERT_EQ(fit.m_Covar.GetRows(), nP);
        for (int l = 0; l < nP; ++l) {
            XVector e(nP), col;
            for (int j = 0; j < nP; ++j) e[j] = j == l ? 1.0 : 0.0;
            ASSERT_TRUE(jtj.Solve(e, col));
            EXPECT_NEAR(fit.m_Covar(l, l), col[l], 1e-4 * col[l]) << nP << " " << l;
            for (int j = 0; j < l; ++j) EXPECT_EQ(fit.m_Covar(l, j), fit.m_Covar(j, l));
        }
    }
}

TEST(MtCamera, DltRecoversANoiseFreeFrameCamera)
{
    struct Case {
        const char* name;
        std::vector<double> camera;
        double offsetX, offsetY, zMid;
    } cases[] = {
        {"local", kFrame, 0, 0, 200},
        {"map projection coordinates", kFrame, 5e5, 4.2e6, 200},
        {"turned and tilted", {800, -20, 35, -300, 450, 1800, -0.4, 0.3, -2.8}, 0, 0, 200},
        // The ground origin lies behind this camera (det A > 0).
        {"origin behind the camera", {1200, 0.5, -0.5, 100, 200, -1200, 0.1, 0.05, 1.0}, 0, 0, -3500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scene s = FrameScene(c.camera, 30, 0, 8, c.offsetX, c.offsetY, c.zMid);
        XVector a(9);
        ASSERT_EQ(Xfn::EstimateCameraByDlt(a, nullptr, s.X, s.Y, s.Z, s.x, s.y, nullptr), XCAMERA_DLT_OK);
        const double tol[9] = {1e-6, 1e-6, 1e-6, 1e-6, 1e-6, 1e-6, 1e-9, 1e-9, 1e-9};
        for (int j = 0; j < 9; ++j) EXPECT_NEAR(a[j], s.truth[j], tol[j] * std::max(1.0, std::fabs(s.truth[j]))) << j;
    }
    // The mask writes only the chosen parameters.
    Scene s = FrameScene(kFrame, 12, 0, 9);
    XVector a(9);
    for (int j = 0; j < 9; ++j) a[j] = -7;
    const uint8_t mask[9] = {1, 0, 0, 0, 0, 0, 0, 0, 1};
    ASSERT_EQ(Xfn::EstimateCameraByDlt(a, mask, s.X, s.Y, s.Z, s.x, s.y, nullptr), XCAMERA_DLT_OK);
    EXPECT_NEAR(a[0], kFrame[0], 1e-6);
    EXPECT_NEAR(a[8], kFrame[8], 1e-9);
    for (int j = 1; j < 8; ++j) EXPECT_EQ(a[j], -7) << j;
}

TEST(MtCamera, IterationLimitHeldParametersAndUnusedPoints)
{
    Scene s = FrameScene(kFrame, 30, 0, 10);
    // One iteration is the evaluation at the start: no step is taken.
    XVector a = Perturbed(kFrame, 0.01, {}), start = a, exact = Vec(kFrame);
    tagXCameraFit fit;
    EXPECT_EQ(Refine(s, a, 1e-20, 1, &fit), XCAMERA_NOT_CONVERGED);
    EXPECT_EQ(fit.m_nIterations, 1);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(a[j], start[j]);
    EXPECT_EQ(Refine(s, exact, 1e-20, 1, &fit), XCAMERA_CONVERGED);  // the start meets the tolerance
    EXPECT_EQ(Refine(s, a, 1e-20, 3, &fit), XCAMERA_NOT_CONVERGED);
    EXPECT_EQ(fit.m_nIterations, 3);

    // Held parameters keep their values and have no covariance; the others
    // are recovered.
    a = Perturbed(kFrame, 0.0, {0, 0, 0, 10, 10, 10, 0.01, 0.01, 0.01});
    const uint8_t free[9] = {0, 0, 0, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(Refine(s, a, 1e-20, 100, &fit, free), XCAMERA_CONVERGED);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(a[j], kFrame[j]);
    for (int j = 3; j < 9; ++j) EXPECT_NEAR(a[j], kFrame[j], 1e-9 * std::fabs(kFrame[j]));
    for (int j = 0; j < 9; ++j) EXPECT_EQ(fit.m_Covar(1, j), 0.0);
    EXPECT_GT(fit.m_Covar(3, 3), 0.0);

    // Points flagged unused change nothing, however wrong they are.
    Scene noisy = FrameScene(kFrame, 30, 0.3, 11), bad = noisy;
    for (int i = 0; i < 5; ++i) {
        bad.x[i] += 500;
        bad.use[i] = 0;
    }
    Scene fewer = FrameScene(kFrame, 0, 0, 11);
    std::vector<double> keep[5];
    for (int i = 5; i < 30; ++i) {
        keep[0].push_back(noisy.X[i]), keep[1].push_back(noisy.Y[i]), keep[2].push_back(noisy.Z[i]);
        keep[3].push_back(noisy.x[i]), keep[4].push_back(noisy.y[i]);
    }
    fewer.X = Vec(keep[0]), fewer.Y = Vec(keep[1]), fewer.Z = Vec(keep[2]), fewer.x = Vec(keep[3]);
    fewer.y = Vec(keep[4]), fewer.use.assign(25, 1);
    XVector p1 = Perturbed(kFrame, 0.001, {}), p2 = p1;
    tagXCameraFit f1, f2;
    EXPECT_EQ(Refine(bad, p1, 0, 300, &f1), Refine(fewer, p2, 0, 300, &f2));
    for (int j = 0; j < 9; ++j) EXPECT_EQ(p1[j], p2[j]) << j;
    EXPECT_EQ(f1.m_dChi2, f2.m_dChi2);
    std::vector<uint8_t> use8(bad.use.begin(), bad.use.end());
    XVector d1(9), d2(9);
    ASSERT_EQ(Xfn::EstimateCameraByDlt(d1, nullptr, bad.X, bad.Y, bad.Z, bad.x, bad.y, use8.data()), XCAMERA_DLT_OK);
    ASSERT_EQ(Xfn::EstimateCameraByDlt(d2, nullptr, fewer.X, fewer.Y, fewer.Z, fewer.x, fewer.y, nullptr), 1);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(d1[j], d2[j]) << j;
}

TEST(MtCamera, SingularSystemsAndBadArguments)
{
    // A line scanner whose points all lie on row 0 cannot see its linear and
    // quadratic terms.
    Scene line = LineScene(kLine, 40, 0, 12);
    for (int i = 0; i < line.Size(); ++i) line.y[i] = 0;
    XVector a = Vec(kLine);
    EXPECT_EQ(Refine(line, a, 1e-20, 50), XCAMERA_SINGULAR);
    // Four points cannot fix nine parameters; nor can no point at all.
    Scene frame = FrameScene(kFrame, 10, 0, 13);
    for (int i = 4; i < 10; ++i) frame.use[i] = 0;
    a = Perturbed(kFrame, 0.01, {});
    tagXCameraFit fit;
    EXPECT_EQ(Refine(frame, a, 0, 50, &fit), XCAMERA_SINGULAR);
    EXPECT_EQ(fit.m_Covar.GetRows(), 0);
    frame.use.assign(10, 0);
    EXPECT_EQ(Refine(frame, a, 0, 50), XCAMERA_SINGULAR);
    // The DLT needs 6 points off one plane; on failure it writes nothing.
    Scene flat = FrameScene(kFrame, 20, 0, 14), five = FrameScene(kFrame, 5, 0, 15);
    for (int i = 0; i < flat.Size(); ++i) flat.Z[i] = 120;
    Scene tilted = FrameScene(kFrame, 20, 0, 17);
    for (int i = 0; i < tilted.Size(); ++i) tilted.Z[i] = 0.3 * tilted.X[i] - 0.2 * tilted.Y[i] + 35;
    XVector d = Vec(kFrame);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(d, nullptr, flat.X, flat.Y, flat.Z, flat.x, flat.y, nullptr), -1);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(d, nullptr, tilted.X, tilted.Y, tilted.Z, tilted.x, tilted.y, nullptr), -1);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(d, nullptr, five.X, five.Y, five.Z, five.x, five.y, nullptr), -1);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(d[j], kFrame[j]);

    // Arguments that fit no call change nothing.
    XVector ten(10), shortX(3);
    Scene s = FrameScene(kFrame, 8, 0, 16);
    a = Vec(kFrame);
    EXPECT_EQ(Refine(s, ten, 0, 10), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Refine(s, a, NAN, 10), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Refine(s, a, 0, 0), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Xfn::RefineCameraModel(a, nullptr, shortX, s.Y, s.Z, s.x, s.y, nullptr, 0, 10), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(ten, nullptr, s.X, s.Y, s.Z, s.x, s.y, nullptr), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(a, nullptr, s.X, shortX, s.Z, s.x, s.y, nullptr), XCAMERA_BAD_ARGUMENTS);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(a[j], kFrame[j]);
}

TEST(MtCamera, ConcurrentRefinementsEqualSequentialOnes)
{
    Scene scenes[4] = {FrameScene(kFrame, 60, 0.4, 20), LineScene(kLine, 60, 0.4, 21), FrameScene(kFrame, 45, 1.0, 22),
                       LineScene(kLine, 90, 0.2, 23)};
    struct Run {
        XVector a;
        tagXCameraFit fit;
        int result = 99;
    } sequential[4], concurrent[4];
    for (int i = 0; i < 4; ++i) {
        sequential[i].a = concurrent[i].a = Perturbed(scenes[i].truth, 0.002, {});
        sequential[i].result = Refine(scenes[i], sequential[i].a, 0, 300, &sequential[i].fit);
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] { concurrent[i].result = Refine(scenes[i], concurrent[i].a, 0, 300, &concurrent[i].fit); });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(concurrent[i].result, sequential[i].result);
        EXPECT_EQ(concurrent[i].fit.m_dChi2, sequential[i].fit.m_dChi2);
        EXPECT_EQ(concurrent[i].fit.m_nIterations, sequential[i].fit.m_nIterations);
        for (int j = 0; j < concurrent[i].a.GetSize(); ++j) EXPECT_EQ(concurrent[i].a[j], sequential[i].a[j]);
        const int n = sequential[i].fit.m_Covar.GetRows();
        ASSERT_EQ(concurrent[i].fit.m_Covar.GetRows(), n);
        for (int k = 0; k < n * n; ++k)
            EXPECT_EQ(concurrent[i].fit.m_Covar.GetData()[k], sequential[i].fit.m_Covar.GetData()[k]);
    }
}
