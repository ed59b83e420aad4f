// Throughput of the geodesic problems on the default earth: the inverse
// problem (distance and azimuths) and the direct problem (destination) over
// 1e6 seeded random point pairs, in calls per second (items_per_second).
// Built with TIVRA_BENCH_GEOGRAPHICLIB=1 and linked against GeographicLib,
// the same pairs also run through GeographicLib's Geodesic::Inverse and
// Direct on the same ellipsoid for comparison.
#include <benchmark/benchmark.h>

#include <tivra/geo/XGeodesic.h>

#include <cmath>
#include <random>
#include <vector>

#if TIVRA_BENCH_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#endif

using namespace Pelmora::Tivra;

namespace {

constexpr int kPairs = 1000000;
constexpr double D2R = 0.017453292519943295;

struct Pair {
    double lon1, lat1, lon2, lat2;  // degrees
    double az, dist;                // for the direct problem (degrees, metres)
};

// Latitudes -89..89, all longitudes; pairs within a degree of the antipode
// are left out so that every inverse call converges.
const std::vector<Pair>& Pairs()
{
    static const std::vector<Pair> v = [] {
        std::mt19937_64 rng(20240611);
        std::uniform_real_distribution<double> lon(-180, 180), lat(-89, 89), az(0, 360), dist(1, 1.9e7);
        std::vector<Pair> r;
        r.reserve(kPairs);
        while (static_cast<int>(r.size()) < kPairs) {
            Pair p{lon(rng), lat(rng), lon(rng), lat(rng), az(rng), dist(rng)};
            double dl = std::fabs(std::remainder(p.lon2 - p.lon1, 360.0));
            if (dl > 179.0 && std::fabs(p.lat1 + p.lat2) < 1.0) continue;
            r.push_back(p);
        }
        return r;
    }();
    return v;
}

void BM_Inverse(benchmark::State& state)
{
    const auto& pairs = Pairs();
    for (auto _ : state) {
        double acc = 0;
        for (const Pair& p : pairs) {
            double d;
            XAngle f, r;
            if (Xfn::CalArcDistAndAngle(XAngle(p.lon1 * D2R), XAngle(p.lat1 * D2R), XAngle(p.lon2 * D2R),
                                        XAngle(p.lat2 * D2R), d, f, r))
                acc += d + f.rad();
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
BENCHMARK(BM_Inverse)->Unit(benchmark::kMillisecond);

void BM_Direct(benchmark::State& state)
{
    const auto& pairs = Pairs();
    for (auto _ : state) {
        double acc = 0;
        for (const Pair& p : pairs) {
            XAngle lon2, lat2;
            acc += Xfn::CalcPosByBearingAndDist(XAngle(p.lon1 * D2R), XAngle(p.lat1 * D2R), XAngle(p.az * D2R),
                                                p.dist, lon2, lat2)
                       .rad() +
                   lon2.rad() + lat2.rad();
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
BENCHMARK(BM_Direct)->Unit(benchmark::kMillisecond);

#if TIVRA_BENCH_GEOGRAPHICLIB
const GeographicLib::Geodesic& PeerEarth()
{
    static const GeographicLib::Geodesic g(Xfn::m_earth.GetA(), Xfn::m_earth.GetF());
    return g;
}

void BM_PeerInverse(benchmark::State& state)
{
    const auto& pairs = Pairs();
    const auto& g = PeerEarth();
    for (auto _ : state) {
        double acc = 0;
        for (const Pair& p : pairs) {
            double s12, azi1, azi2;
            g.Inverse(p.lat1, p.lon1, p.lat2, p.lon2, s12, azi1, azi2);
            acc += s12 + azi1;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
BENCHMARK(BM_PeerInverse)->Unit(benchmark::kMillisecond);

void BM_PeerDirect(benchmark::State& state)
{
    const auto& pairs = Pairs();
    const auto& g = PeerEarth();
    for (auto _ : state) {
        double acc = 0;
        for (const Pair& p : pairs) {
            double lat2, lon2, azi2;
            g.Direct(p.lat1, p.lon1, p.az, p.dist, lat2, lon2, azi2);
            acc += lat2 + lon2 + azi2;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
BENCHMARK(BM_PeerDirect)->Unit(benchmark::kMillisecond);
#endif

} // namespace
