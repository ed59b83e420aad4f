// Projective fits on 1000 seeded random point sets against the mappings stored
// in data/projective_reference.txt, which were written by the earlier singular
// value decomposition. Each set's mapping must agree within 1e-12 relative, or,
// where the two decompositions part, lie closer to a long double reference.
//
// With TIVRA_WRITE_PROJECTIVE_REFERENCE=FILE the test writes the mappings of
// the current build to FILE instead (how the stored file was made).
#include <gtest/gtest.h>

#include <Eigen/SVD>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <tivra/mt/XProjectiveWarp.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

constexpr int kSets = 1000;
constexpr double kTolerance = 1e-12;

/// mt19937_64's output sequence is fixed by the C++ standard, unlike the
/// standard distributions, so the sets are the same with every library.
struct Random {
    std::mt19937_64 engine{20261207};
    double Unit() { return double(engine() >> 11) * 0x1p-53; }  // [0, 1) from the top 53 bits
    double In(double lo, double hi) { return lo + (hi - lo) * Unit(); }
};

struct PointSet {
    std::vector<XVertex2<double>> src, dst;
};

XVertex2<double> Map(const double* h, XVertex2<double> p)
{
    const double w = h[6] * p.x + h[7] * p.y + h[8];
    return {(h[0] * p.x + h[1] * p.y + h[2]) / w, (h[3] * p.x + h[4] * p.y + h[5]) / w};
}

/// Set i: 4 to 12 points of one of six kinds, from well conditioned (points
/// spread over an image, exact or with half a pixel of noise) to badly
/// conditioned (nearly collinear points, a far offset with a tiny spread,
/// strong perspective, targets unrelated to the sources).
PointSet MakeSet(int i, Random& r)
{
    const int n = 4 + i % 9, kind = i % 6;
    const double h[9] = {r.In(0.5, 2), r.In(-0.3, 0.3), r.In(-500, 500), r.In(-0.3, 0.3), r.In(0.5, 2),
                         r.In(-500, 500), r.In(-2e-4, 2e-4) * (kind == 4 ? 20 : 1),
                         r.In(-2e-4, 2e-4) * (kind == 4 ? 20 : 1), 1};
    PointSet s;
    for (int k = 0; k < n; ++k) {
        XVertex2<double> p(r.In(0, 4000), r.In(0, 4000));
        if (kind == 2) {  // along a line, 1e-6 of its length off it
            const double t = r.In(0, 4000);
            p = XVertex2<double>(100 + 0.8 * t + r.In(-2e-3, 2e-3), 50 + 0.6 * t + r.In(-2e-3, 2e-3));
        } else if (kind == 3) {  // a metre-wide cluster a thousand kilometres out
            p = XVertex2<double>(1e6 + r.In(0, 1), -2e6 + r.In(0, 1));
        }
        XVertex2<double> q = kind == 5 ? XVertex2<double>(r.In(0, 4000), r.In(0, 4000)) : Map(h, p);
        if (kind == 0) q = XVertex2<double>(q.x + r.In(-0.5, 0.5), q.y + r.In(-0.5, 0.5));
        s.src.push_back(p);
        s.dst.push_back(q);
    }
    return s;
}

bool Fit(const PointSet& s, XProjectiveWarp& w)
{
    const int n = int(s.src.size());
    double cx, cy, sc, cx2, cy2, sc2;
    XProjectiveWarp::GetNormalization(s.src.data(), n, nullptr, cx, cy, sc);
    XProjectiveWarp::GetNormalization(s.dst.data(), n, nullptr, cx2, cy2, sc2);
    return w.Fit(s.src.data(), s.dst.data(), n, cx, cy, sc, cx2, cy2, sc2);
}

/// The same normalised fit in long double precision through a two-sided
/// Jacobi decomposition, an independent reference for the double results.
std::array<long double, 9> LongDoubleFit(const PointSet& s)
{
    const int n = int(s.src.size());
    double cx, cy, sc, cx2, cy2, sc2;
    XProjectiveWarp::GetNormalization(s.src.data(), n, nullptr, cx, cy, sc);
    XProjectiveWarp::GetNormalization(s.dst.data(), n, nullptr, cx2, cy2, sc2);
    using Matrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
    Matrix a = Matrix::Zero(std::max(2 * n, 9), 9);
    for (int k = 0; k < n; ++k) {
        const long double u = (s.src[k].x - (long double)cx) * sc, v = (s.src[k].y - (long double)cy) * sc;
        const long double U = (s.dst[k].x - (long double)cx2) * sc2, V = (s.dst[k].y - (long double)cy2) * sc2;
        a.row(2 * k) << u, v, 1, 0, 0, 0, -U * u, -U * v, -U;
        a.row(2 * k + 1) << 0, 0, 0, u, v, 1, -V * u, -V * v, -V;
    }
    Eigen::JacobiSVD<Matrix> svd(a, Eigen::ComputeFullV);
    const auto h = svd.matrixV().col(8);
    Eigen::Matrix<long double, 3, 3> hn, t, t2inv;
    hn << h(0), h(1), h(2), h(3), h(4), h(5), h(6), h(7), h(8);
    t << sc, 0, -sc * (long double)cx, 0, sc, -sc * (long double)cy, 0, 0, 1;
    t2inv << 1 / (long double)sc2, 0, cx2, 0, 1 / (long double)sc2, cy2, 0, 0, 1;
    const Eigen::Matrix<long double, 3, 3, Eigen::RowMajor> H = t2inv * hn * t;
    std::array<long double, 9> out;
    std::copy(H.data(), H.data() + 9, out.begin());
    return out;
}

/// How far two mappings part over a set: the largest distance between the
/// images of its points, relative to the largest image coordinate. Elements
/// of H that the points hardly determine (the perspective terms of a small
/// cluster, everything off the line of nearly collinear points) may differ far
/// more without changing the mapping where the points lie.
template <class A, class B> double Distance(const PointSet& s, const A* a, const B* b)
{
    long double diff = 0, big = 0;
    for (const auto& p : s.src) {
        auto map = [&](const auto* h, int row) {
            const long double x = p.x, y = p.y;
            return (h[3 * row] * x + h[3 * row + 1] * y + h[3 * row + 2]) / (h[6] * x + h[7] * y + h[8]);
        };
        for (int row : {0, 1}) {
            diff = std::max(diff, std::fabs(map(a, row) - map(b, row)));
            big = std::max(big, std::fabs(map(b, row)));
        }
    }
    return double(diff / big);
}

} // namespace

TEST(MtProjectiveReference, ThousandRandomSetsGiveTheStoredMappings)
{
    Random r;
    std::vector<PointSet> sets;
    for (int i = 0; i < kSets; ++i) sets.push_back(MakeSet(i, r));

    if (const char* out = std::getenv("TIVRA_WRITE_PROJECTIVE_REFERENCE")) {
        FILE* f = std::fopen(out, "w");
        ASSERT_NE(f, nullptr);
        std::fprintf(f, "# set h00 h01 h02 h10 h11 h12 h20 h21 h22\n");
        for (int i = 0; i < kSets; ++i) {
            XProjectiveWarp w;
            ASSERT_TRUE(Fit(sets[i], w)) << i;
            std::fprintf(f, "%d", i);
            for (int k = 0; k < 9; ++k) std::fprintf(f, " %.17g", w.m_H.GetData()[k]);
            std::fprintf(f, "\n");
        }
        std::fclose(f);
        return;
    }

    std::ifstream in(std::string(TIVRA_SOURCE_DIR) + "/tests/core/data/projective_reference.txt");
    ASSERT_TRUE(in.is_open());
    std::string line;
    int checked = 0, nearer = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int i;
        double stored[9];
        fields >> i;
        for (double& v : stored) fields >> v;
        ASSERT_TRUE(fields && i >= 0 && i < kSets) << line;
        XProjectiveWarp w;
        ASSERT_TRUE(Fit(sets[i], w)) << i;
        ++checked;
        const double d = Distance(sets[i], w.m_H.GetData(), stored);
        if (d <= kTolerance) continue;
        // The two decompositions part: the new mapping must be the nearer one.
        const std::array<long double, 9> ref = LongDoubleFit(sets[i]);
        const double dNew = Distance(sets[i], w.m_H.GetData(), ref.data()), dOld = Distance(sets[i], stored, ref.data());
        EXPECT_LE(dNew, dOld) << "set " << i << " (kind " << i % 6 << "): " << d << " from the stored mapping, "
                              << dNew << " and " << dOld << " from the reference";
        ++nearer;
    }
    EXPECT_EQ(checked, kSets);
    std::printf("%d of %d sets within %g of the stored mappings, %d nearer the long double reference\n",
                checked - nearer, checked, kTolerance, nearer);
}
