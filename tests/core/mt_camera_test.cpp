// Camera models against an independent projection: rotation, derivatives,
// recovery of frame cameras and line scanners, the DLT start, the iteration.
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

/// Rx(om) Ry(ph) Rz(ka) multiplied out from the elementary turns.
Mat3 ReferenceRotation(double om, double ph, double ka)
{
    const Mat3 t[3] = {{{{1, 0, 0}, {0, std::cos(om), -std::sin(om)}, {0, std::sin(om), std::cos(om)}}},
                       {{{std::cos(ph), 0, std::sin(ph)}, {0, 1, 0}, {-std::sin(ph), 0, std::cos(ph)}}},
                       {{{std::cos(ka), -std::sin(ka), 0}, {std::sin(ka), std::cos(ka), 0}, {0, 0, 1}}}};
    Mat3 m = t[0];
    for (int n = 1; n < 3; ++n) {
        Mat3 c{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) c[i][j] += m[i][k] * t[n][k][j];
        m = c;
    }
    return m;
}

XVector Vec(const std::vector<double>& v)
{
    XVector r(int(v.size()));
    for (size_t i = 0; i < v.size(); ++i) r[int(i)] = v[i];
    return r;
}

const std::vector<double> kFrame = {1500, 512.25, 384.75, 1200, -800, 2500, 0.05, -0.08, 0.6};
const std::vector<double> kLine = {2000, 1000, -500, 3000, 0.02, -0.03, 0.1, 0.05, 0.6, 0.01, 2e-6, -3e-6, 1e-6,
                                   1e-6, -2e-6, 3e-7, 1e-10, 2e-10, -1e-10};

/// Control points of one camera (the line scanner's row t is the image y).
struct Scene {
    std::vector<double> truth;
    XVector X, Y, Z, x, y;
    std::vector<int32_t> use;

    Scene(const std::vector<double>& p, int n) : truth(p), X(n), Y(n), Z(n), x(n), y(n), use(n, 1) {}
    int Size() const { return X.GetSize(); }
    /// The rows X, Y, Z, t that EvalCollinearity takes.
    XMatrix Ground() const
    {
        XMatrix g(Size(), 4);
        for (int i = 0; i < Size(); ++i) g(i, 0) = X[i], g(i, 1) = Y[i], g(i, 2) = Z[i], g(i, 3) = y[i];
        return g;
    }
};

/// A frame camera over terrain 400 m deep around zMid, image points from the
/// reference rotation with noise of sigma px; the offsets move ground and
/// camera together.
Scene FrameScene(std::vector<double> p, int n, double sigma, unsigned seed, double offX = 0, double offY = 0,
                 double zMid = 200)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::normal_distribution<double> noise(0.0, 1.0);
    const Mat3 m = ReferenceRotation(p[6], p[7], p[8]);
    Scene s(p, n);
    for (int i = 0; i < n; ++i) {
        const double d[3] = {1500 * u(rng), 1500 * u(rng), zMid + 200 * u(rng) - p[5]};
        double q[3];
        for (int r = 0; r < 3; ++r) q[r] = m[r][0] * d[0] + m[r][1] * d[1] + m[r][2] * d[2];
        s.X[i] = p[3] + d[0] + offX, s.Y[i] = p[4] + d[1] + offY, s.Z[i] = p[5] + d[2];
        s.x[i] = p[1] - p[0] * q[0] / q[2] + sigma * noise(rng);
        s.y[i] = p[2] - p[0] * q[1] / q[2] + sigma * noise(rng);
    }
    s.truth[3] += offX, s.truth[4] += offY;
    return s;
}

/// A line scanner: for a row t and an image x, the ground point where the
/// ray x = -f U / W, V = 0 of that row meets a random terrain height.
Scene LineScene(const std::vector<double>& p, int n, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    std::normal_distribution<double> noise(0.0, 1.0);
    Scene s(p, n);
    for (int i = 0; i < n; ++i) {
        const double t = 4000 * u(rng), xi = 3000 * u(rng) - 1500, h = 800 * u(rng);
        double c[6], d[3];
        for (int k = 0; k < 6; ++k) c[k] = p[1 + k] + p[7 + k] * t + p[13 + k] * t * t;
        const Mat3 m = ReferenceRotation(c[3], c[4], c[5]);
        for (int r = 0; r < 3; ++r) d[r] = m[0][r] * xi / p[0] - m[2][r];  // M^T (x / f, 0, -1)
        const double along = (h - c[2]) / d[2];
        s.X[i] = c[0] + along * d[0], s.Y[i] = c[1] + along * d[1], s.Z[i] = h;
        s.x[i] = xi + sigma * noise(rng);
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

/// The central difference of equation k by parameter j, with a step that
/// moves the image by about 1e-3 px: 1e-6 of a constant term (at least 1e-6),
/// divided by the largest row (4000) for a linear term, by its square for a
/// quadratic one. h receives the step.
double Difference(int k, const XMatrix& g, const XVector& a, int j, double& h)
{
    const int constant = a.GetSize() == XCAMERA_FRAME_PARAMS || j < 7 ? j : 1 + (j - 1) % 6;
    h = 1e-6 * std::max(std::fabs(a[constant]), 1.0) / (j == constant ? 1.0 : j < 13 ? 4000.0 : 16e6);
    XVector lo(a), hi(a), unused;
    lo[j] -= h;
    hi[j] += h;
    return (Xfn::EvalCollinearity(k, g, hi, unused) - Xfn::EvalCollinearity(k, g, lo, unused)) / (2 * h);
}

int Refine(Scene& s, XVector& a, double tol, int maxIt, tagXCameraFit* fit = nullptr, const uint8_t* pFree = nullptr)
{
    return Xfn::RefineCameraModel(a, pFree, s.X, s.Y, s.Z, s.x, s.y, s.use.data(), tol, maxIt, fit);
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
}

TEST(MtCamera, DerivativesAgreeWithCentralDifferences)
{
    for (const Scene& s : {FrameScene(kFrame, 4, 0, 1), LineScene(kLine, 4, 0, 2)}) {
        // Off the solution, so that no derivative vanishes by symmetry.
        const XVector a = Perturbed(s.truth, 0.01, {0, 1, 1, 1, 0.01, 0.01, 0.01});
        const XMatrix g = s.Ground();
        for (int k = 0; k < 2 * s.Size(); ++k) {
            XVector d;
            const double value = Xfn::EvalCollinearity(k, g, a, d);
            ASSERT_EQ(d.GetSize(), a.GetSize());
            for (int j = 0; j < a.GetSize(); ++j) {
                double h;
                const double fd = Difference(k, g, a, j, h);
                // Both values of the difference carry a rounding of some ulps.
                const double rounding = 1e-15 * (1 + std::fabs(value)) / h;
                EXPECT_NEAR(d[j], fd, 1e-6 * std::max(1.0, std::fabs(fd)) + rounding) << a.GetSize() << " " << k
                                                                                      << " " << j;
            }
        }
    }
    // Equations outside the points, or parameter counts of no model, give NaN.
    XVector d;
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(4, XMatrix(2, 4), Vec(kFrame), d)));
    EXPECT_TRUE(std::isnan(Xfn::EvalCollinearity(0, XMatrix(2, 4), XVector(10), d)));
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
        const int nP = a.GetSize(), nEq = 2 * s.Size();
        tagXCameraFit fit;
        // Noise keeps chi-square above 0, so the iteration ends when no step lowers it.
        ASSERT_EQ(Refine(s, a, 0.0, 500, &fit), XCAMERA_NOT_CONVERGED);
        EXPECT_GE(fit.m_dLambda, XCAMERA_LAMBDA_LIMIT);

        // Residuals and a difference Jacobian at the solution.
        const XMatrix g = s.Ground();
        std::vector<std::vector<double>> J(nEq, std::vector<double>(nP));
        double chi2 = 0, noisy = 0, h;
        XVector d;
        for (int k = 0; k < nEq; ++k) {
            const double obs = k % 2 == 0 ? s.x[k / 2] : nP == XCAMERA_FRAME_PARAMS ? s.y[k / 2] : 0.0;
            const double r = obs - Xfn::EvalCollinearity(k, g, a, d);
            chi2 += r * r;
            if (k % 2 == 0 || nP == XCAMERA_FRAME_PARAMS) noisy += r * r;  // the scanner's rows are exact
            for (int j = 0; j < nP; ++j) J[k][j] = Difference(k, g, a, j, h);
        }
        EXPECT_NEAR(fit.m_dChi2, chi2, 1e-9 * chi2);
        // RMS over the noisy equations: sigma less what the parameters absorb.
        const int nNoisy = nP == XCAMERA_FRAME_PARAMS ? nEq : nEq / 2;
        EXPECT_NEAR(std::sqrt(noisy / nNoisy), sigma * std::sqrt(double(nNoisy - nP) / nNoisy), 0.12 * sigma);

        // The covariance against (J^T J)^-1 solved column by column.
        XMatrix jtj(nP, nP);
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
        double offX, offY, zMid;
    } cases[] = {
        {"local", kFrame, 0, 0, 200},
        {"map projection coordinates", kFrame, 5e5, 4.2e6, 200},
        {"turned and tilted", {800, -20, 35, -300, 450, 1800, -0.4, 0.3, -2.8}, 0, 0, 200},
        // The ground origin lies behind this camera (det A > 0).
        {"origin behind the camera", {1200, 0.5, -0.5, 100, 200, -1200, 0.1, 0.05, 1.0}, 0, 0, -3500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scene s = FrameScene(c.camera, 30, 0, 8, c.offX, c.offY, c.zMid);
        XVector a(9);
        ASSERT_EQ(Xfn::EstimateCameraByDlt(a, nullptr, s.X, s.Y, s.Z, s.x, s.y, nullptr), XCAMERA_DLT_OK);
        for (int j = 0; j < 9; ++j)
            EXPECT_NEAR(a[j], s.truth[j], (j < 6 ? 1e-6 : 1e-9) * std::max(1.0, std::fabs(s.truth[j]))) << j;
    }
    // The mask writes only the chosen parameters.
    const Scene s = FrameScene(kFrame, 12, 0, 9);
    XVector a = Vec(std::vector<double>(9, -7.0));
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

    // Held parameters keep their values and have no covariance.
    a = Perturbed(kFrame, 0.0, {0, 0, 0, 10, 10, 10, 0.01, 0.01, 0.01});
    const uint8_t free[9] = {0, 0, 0, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(Refine(s, a, 1e-20, 100, &fit, free), XCAMERA_CONVERGED);
    for (int j = 0; j < 9; ++j) EXPECT_NEAR(a[j], kFrame[j], j < 3 ? 0.0 : 1e-9 * std::fabs(kFrame[j]));
    for (int j = 0; j < 9; ++j) EXPECT_EQ(fit.m_Covar(1, j), 0.0);
    EXPECT_GT(fit.m_Covar(3, 3), 0.0);

    // Points flagged unused change nothing, whatever their values.
    Scene noisy = FrameScene(kFrame, 30, 0.3, 11), other = noisy;
    for (int i = 0; i < 5; ++i) {
        noisy.use[i] = other.use[i] = 0;
        noisy.x[i] += 500;
        other.Z[i] = -1e6;
    }
    XVector p1 = Perturbed(kFrame, 0.001, {}), p2 = p1, d1(9), d2(9);
    tagXCameraFit f1, f2;
    EXPECT_EQ(Refine(noisy, p1, 0, 300, &f1), Refine(other, p2, 0, 300, &f2));
    EXPECT_EQ(f1.m_dChi2, f2.m_dChi2);
    std::vector<uint8_t> use8(noisy.use.begin(), noisy.use.end());
    EXPECT_EQ(Xfn::EstimateCameraByDlt(d1, nullptr, noisy.X, noisy.Y, noisy.Z, noisy.x, noisy.y, use8.data()), 1);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(d2, nullptr, other.X, other.Y, other.Z, other.x, other.y, use8.data()), 1);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(p1[j], p2[j]) << j;
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
    std::fill(frame.use.begin() + 4, frame.use.end(), 0);
    a = Perturbed(kFrame, 0.01, {});
    tagXCameraFit fit;
    EXPECT_EQ(Refine(frame, a, 0, 50, &fit), XCAMERA_SINGULAR);
    EXPECT_EQ(fit.m_Covar.GetRows(), 0);
    frame.use.assign(10, 0);
    EXPECT_EQ(Refine(frame, a, 0, 50), XCAMERA_SINGULAR);
    // The DLT needs 6 points off any plane, level or tilted; on failure it
    // writes nothing.
    Scene flat = FrameScene(kFrame, 20, 0, 14), tilted = flat, five = FrameScene(kFrame, 5, 0, 15);
    for (int i = 0; i < flat.Size(); ++i) flat.Z[i] = 120, tilted.Z[i] = 0.3 * tilted.X[i] - 0.2 * tilted.Y[i] + 35;
    XVector d = Vec(kFrame);
    for (const Scene* p : {&flat, &tilted, &five})
        EXPECT_EQ(Xfn::EstimateCameraByDlt(d, nullptr, p->X, p->Y, p->Z, p->x, p->y, nullptr), XCAMERA_SINGULAR);
    for (int j = 0; j < 9; ++j) EXPECT_EQ(d[j], kFrame[j]);

    // Arguments that fit no call change nothing.
    XVector ten(10), shortX(3);
    a = Vec(kFrame);
    EXPECT_EQ(Refine(five, ten, 0, 10), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Refine(five, a, NAN, 10), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Refine(five, a, 0, 0), XCAMERA_BAD_ARGUMENTS);
    EXPECT_EQ(Xfn::EstimateCameraByDlt(a, nullptr, shortX, five.Y, five.Z, five.x, five.y, nullptr), -2);
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
        const XMatrix &c = concurrent[i].fit.m_Covar, &q = sequential[i].fit.m_Covar;
        const int nP = concurrent[i].a.GetSize();
        EXPECT_TRUE(std::equal(c.GetData(), c.GetData() + nP * nP, q.GetData()) && c.GetRows() == nP);
        EXPECT_TRUE(std::equal(concurrent[i].a.GetData(), concurrent[i].a.GetData() + nP, sequential[i].a.GetData()));
    }
}
