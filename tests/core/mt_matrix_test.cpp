// Dense solvers: every square path, least squares against the normal
// equations in long double, the null vector, and owned or borrowed storage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <tivra/mt/XMatrix.h>

using namespace Pelmora::Tivra;

namespace {

XMatrix Make(int rows, int cols, std::initializer_list<double> v)
{
    XMatrix m(rows, cols);
    std::copy(v.begin(), v.end(), m.GetData());
    return m;
}

XVector MakeV(std::initializer_list<double> v)
{
    XVector x(int(v.size()));
    std::copy(v.begin(), v.end(), x.GetData());
    return x;
}

/// Least squares through the normal equations, eliminated in long double:
/// an independent reference for the Householder solution.
std::vector<long double> NormalEquations(const XMatrix& a, const XVector& b)
{
    const int m = a.GetRows(), n = a.GetCols();
    std::vector<std::vector<long double>> g(n, std::vector<long double>(n + 1, 0.0L));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            for (int r = 0; r < m; ++r) g[i][j] += (long double)a(r, i) * a(r, j);
        for (int r = 0; r < m; ++r) g[i][n] += (long double)a(r, i) * b[r];
    }
    for (int j = 0; j < n; ++j)
        for (int i = j + 1; i < n; ++i) {
            const long double f = g[i][j] / g[j][j];
            for (int k = j; k <= n; ++k) g[i][k] -= f * g[j][k];
        }
    std::vector<long double> x(n);
    for (int i = n - 1; i >= 0; --i) {
        long double s = g[i][n];
        for (int k = i + 1; k < n; ++k) s -= g[i][k] * x[k];
        x[i] = s / g[i][i];
    }
    return x;
}

void ExpectSolves(const XMatrix& a, const XVector& b, const XVector& x, double tol)
{
    for (int r = 0; r < a.GetRows(); ++r) {
        double s = 0;
        for (int c = 0; c < a.GetCols(); ++c) s += a(r, c) * x[c];
        EXPECT_NEAR(s, b[r], tol) << "row " << r;
    }
}

} // namespace

TEST(MtMatrix, SquareSystemsTakeEveryPathAndSingularOnesAreRefused)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-10, 10);
    XMatrix general(6, 6);
    XVector gb(6), x;
    for (int i = 0; i < 36; ++i) general.GetData()[i] = u(rng);
    for (int i = 0; i < 6; ++i) gb[i] = u(rng);
    const XVector b = MakeV({2, 7, 9});
    const struct { const char* path; XMatrix a; XVector b; double tol; } cases[] = {
        {"lower", Make(3, 3, {2, 0, 0, 1, 3, 0, -1, 2, 4}), b, 1e-14},
        {"upper", Make(3, 3, {2, 1, -1, 0, 3, 2, 0, 0, 4}), b, 1e-14},
        {"Cholesky", Make(3, 3, {4, 1, 2, 1, 5, 1, 2, 1, 6}), b, 1e-13},
        {"indefinite: Cholesky fails, LU", Make(3, 3, {0, 1, 2, 1, 0, 3, 2, 3, 0}), b, 1e-13},
        {"LU", general, gb, 1e-11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(c.a.Solve(c.b, x));
        ExpectSolves(c.a, c.b, x, c.tol);
    }
    // Singular systems are refused, also when rounding leaves a tiny pivot.
    EXPECT_FALSE(Make(2, 2, {1, 2, 2, 4}).Solve(MakeV({1, 2}), x));
    EXPECT_FALSE(Make(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}).Solve(b, x));
    EXPECT_FALSE(Make(2, 2, {1, 0, 3, 0}).Solve(MakeV({1, 2}), x));  // lower with a zero diagonal
    EXPECT_FALSE(Make(2, 2, {1, 2, 3, 4}).Solve(MakeV({1, 2, 3}), x));
}

TEST(MtMatrix, LeastSquaresMatchesTheNormalEquations)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-5, 5);
    for (int trial = 0; trial < 20; ++trial) {
        const int m = 5 + trial, n = 1 + trial % 5;
        XMatrix a(m, n);
        XVector b(m), x;
        for (int i = 0; i < m * n; ++i) a.GetData()[i] = u(rng);
        for (int i = 0; i < m; ++i) b[i] = u(rng);
        ASSERT_TRUE(a.Solve(b, x));
        const auto ref = NormalEquations(a, b);
        for (int j = 0; j < n; ++j) EXPECT_NEAR(x[j], (double)ref[j], 1e-10) << trial;
    }
    XVector x;
    EXPECT_FALSE(Make(2, 3, {1, 2, 3, 4, 5, 6}).Solve(MakeV({1, 2}), x));                  // fewer rows than columns
    EXPECT_FALSE(Make(3, 2, {1, 2, 2, 4, 3, 6}).Solve(MakeV({1, 2, 3}), x));               // dependent columns
    EXPECT_FALSE(XMatrix().Solve(XVector(), x));
}

TEST(MtMatrix, NullVectorIsTheSmallestSingularDirection)
{
    // Rows orthogonal to (2, -6, 3) / 7: A h = 0 exactly. Of the two unit
    // vectors the one whose largest element is positive comes back.
    const XMatrix a = Make(4, 3, {3, 1, 0, 0, 1, 2, 3, 0, -2, 3, 2, 2});
    XVector h;
    ASSERT_TRUE(a.NullVector(h));
    ASSERT_EQ(h.GetSize(), 3);
    const double want[3] = {-2.0 / 7, 6.0 / 7, -3.0 / 7};
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(h[j], want[j], 1e-12) << j;
    // Fewer rows than columns still gives a unit vector of the null space.
    const XMatrix wide = Make(1, 3, {1, 1, 1});
    ASSERT_TRUE(wide.NullVector(h));
    EXPECT_NEAR(h[0] + h[1] + h[2], 0.0, 1e-12);
    EXPECT_NEAR(h[0] * h[0] + h[1] * h[1] + h[2] * h[2], 1.0, 1e-12);
    EXPECT_FALSE(XMatrix().NullVector(h));
    EXPECT_FALSE(Make(2, 2, {1, NAN, 0, 1}).NullVector(h));
}

TEST(MtMatrix, StorageIsOwnedOrBorrowed)
{
    double buffer[6] = {1, 2, 3, 4, 5, 6};
    XMatrix borrowed(buffer, 2, 3), owned(4, 4);
    EXPECT_EQ(borrowed(1, 0), 4.0);
    EXPECT_TRUE(borrowed.Resize(3, 2) && borrowed.GetData() == buffer);  // within the borrowed elements
    EXPECT_FALSE(borrowed.Resize(3, 3));                                 // borrowed and too small
    EXPECT_EQ(borrowed.GetRows(), 3);
    double* p = owned.GetData();
    EXPECT_TRUE(owned.Resize(2, 8) && owned.GetData() == p);  // capacity suffices: reused
    EXPECT_TRUE(owned.Resize(5, 5));
    EXPECT_FALSE(owned.Resize(-1, 2));
    const XMatrix copy(borrowed);  // a copy owns its elements
    EXPECT_TRUE(copy.GetData() != buffer && copy(2, 1) == 6.0);

    XVector v(buffer, 6), w;
    EXPECT_TRUE(v.Resize(4) && !v.Resize(7) && w.Resize(3));
}
