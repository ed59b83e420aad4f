// Throughput of the geodesic problems on the default earth: the inverse
// problem (distance and azimuths, Vincenty's and the robust one) and the
// direct problem (destination) over 1e6 seeded random cases, and the robust
// inverse over 1e5 nearly antipodal pairs, in calls per second
// (items_per_second). Built with TIVRA_BENCH_GEOGRAPHICLIB=1 and linked
// against GeographicLib, the same cases also run through GeographicLib's
// Geodesic::Inverse and Direct on the same ellipsoid; before the timings the
// program prints the worst deviation of our results from GeographicLib's,
// (unless --skip_accuracy is given), and after them a table of each case
// as a ratio of its peer. The batch cases run over every core;
// GeographicLib runs on one.
#include <benchmark/benchmark.h>

#include "BenchRatioReporter.h"

#include <tivra/geo/XGeodesic.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#if TIVRA_BENCH_GEOGRAPHICLIB
#include <GeographicLib/Geodesic.hpp>
#endif

using namespace Pelmora::Tivra;

namespace {

constexpr int kPairs = 1000000;
constexpr int kAntipodalPairs = 100000;
constexpr double D2R = 0.017453292519943295;

struct Pair {
    double lon1, lat1, lon2, lat2;  // degrees
    double az, dist;                // for the direct problem (degrees, metres)
};

// Latitudes -89..89, all longitudes; pairs within a degree of the antipode
// are left out so that every call of Vincenty's inverse converges.
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

// Point 2 within one degree of point 1's antipode in latitude and longitude.
const std::vector<Pair>& AntipodalPairs()
{
    static const std::vector<Pair> v = [] {
        std::mt19937_64 rng(20261207);
        std::uniform_real_distribution<double> lon(-180, 180), lat(-89, 89), off(-1, 1);
        std::vector<Pair> r(kAntipodalPairs);
        for (Pair& p : r) {
            p.lon1 = lon(rng);
            p.lat1 = lat(rng);
            p.lon2 = std::remainder(p.lon1 + 180 + off(rng), 360.0);
            p.lat2 = std::clamp(-p.lat1 + off(rng), -90.0, 90.0);
            p.az = p.dist = 0;
        }
        return r;
    }();
    return v;
}

// The cases as the batch calls take them, in radians.
struct Columns {
    std::vector<double> lon1, lat1, lon2, lat2, az, dist;
};

const Columns& PairColumns()
{
    static const Columns c = [] {
        Columns r;
        for (const Pair& p : Pairs()) {
            r.lon1.push_back(p.lon1 * D2R);
            r.lat1.push_back(p.lat1 * D2R);
            r.lon2.push_back(p.lon2 * D2R);
            r.lat2.push_back(p.lat2 * D2R);
            r.az.push_back(p.az * D2R);
            r.dist.push_back(p.dist);
        }
        return r;
    }();
    return c;
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

void RobustInverse(benchmark::State& state, const std::vector<Pair>& pairs)
{
    for (auto _ : state) {
        double acc = 0;
        for (const Pair& p : pairs) {
            double d;
            XAngle f, r;
            Xfn::CalArcDistAndAngleRobust(XAngle(p.lon1 * D2R), XAngle(p.lat1 * D2R), XAngle(p.lon2 * D2R),
                                          XAngle(p.lat2 * D2R), d, f, r);
            acc += d + f.rad();
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pairs.size()));
}
void BM_RobustInverse(benchmark::State& state) { RobustInverse(state, Pairs()); }
BENCHMARK(BM_RobustInverse)->Unit(benchmark::kMillisecond);
void BM_RobustInverseAntipodal(benchmark::State& state) { RobustInverse(state, AntipodalPairs()); }
BENCHMARK(BM_RobustInverseAntipodal)->Unit(benchmark::kMillisecond);

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

// The batch calls over the same cases with 1 and 2 workers (real time).
void BM_RobustInverseBatch(benchmark::State& state)
{
    const Columns& c = PairColumns();
    std::vector<double> dist(c.lon1.size()), fwd(dist.size()), rev(dist.size());
    for (auto _ : state)
        benchmark::DoNotOptimize(Xfn::CalArcDistAndAngleRobust(c.lon1.data(), c.lat1.data(), c.lon2.data(),
                                                               c.lat2.data(), dist.size(), dist.data(), fwd.data(),
                                                               rev.data(), int(state.range(0))));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(dist.size()));
}
BENCHMARK(BM_RobustInverseBatch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DirectBatch(benchmark::State& state)
{
    const Columns& c = PairColumns();
    std::vector<double> lon2(c.lon1.size()), lat2(lon2.size()), az2(lon2.size());
    for (auto _ : state) {
        Xfn::CalcPosByBearingAndDist(c.lon1.data(), c.lat1.data(), c.az.data(), c.dist.data(), lon2.size(),
                                     lon2.data(), lat2.data(), az2.data(), int(state.range(0)));
        benchmark::DoNotOptimize(lon2.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(lon2.size()));
}
BENCHMARK(BM_DirectBatch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

#if TIVRA_BENCH_GEOGRAPHICLIB
const GeographicLib::Geodesic& PeerEarth()
{
    static const GeographicLib::Geodesic g(Xfn::m_earth.GetA(), Xfn::m_earth.GetF());
    return g;
}

void PeerInverse(benchmark::State& state, const std::vector<Pair>& pairs)
{
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
void BM_PeerInverse(benchmark::State& state) { PeerInverse(state, Pairs()); }
BENCHMARK(BM_PeerInverse)->Unit(benchmark::kMillisecond);
void BM_PeerInverseAntipodal(benchmark::State& state) { PeerInverse(state, AntipodalPairs()); }
BENCHMARK(BM_PeerInverseAntipodal)->Unit(benchmark::kMillisecond);

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

// |a - b| of two angles in radians, folded into [0, pi].
double AngleDiff(double a, double b) { return std::fabs(std::remainder(a - b, 2 * M_PI)); }

// Worst deviations from GeographicLib over the benchmark's cases: the
// direct problem's destination (metres on the surface) and arriving
// azimuth; the robust inverse's distance and both azimuths.
void PrintAccuracy()
{
    const auto& g = PeerEarth();
    double worstPos = 0, worstAz = 0;
    for (const Pair& p : Pairs()) {
        double lat2, lon2, azi2;
        g.Direct(p.lat1, p.lon1, p.az, p.dist, lat2, lon2, azi2);
        XAngle oLon, oLat;
        const XAngle oAz =
            Xfn::CalcPosByBearingAndDist(XAngle(p.lon1 * D2R), XAngle(p.lat1 * D2R), XAngle(p.az * D2R), p.dist,
                                         oLon, oLat);
        worstPos = std::max(worstPos, (Xfn::GeoToEcr(oLon.deg(), oLat.deg(), 0) - Xfn::GeoToEcr(lon2, lat2, 0)).Norm());
        worstAz = std::max(worstAz, AngleDiff(oAz.rad(), azi2 * D2R));
    }
    std::printf("accuracy against GeographicLib (worst of each set)\n");
    std::printf("  direct, %d cases: position %.3e m, arriving azimuth %.3e rad\n", kPairs, worstPos, worstAz);
    for (const auto* set : {&Pairs(), &AntipodalPairs()}) {
        double worstDist = 0, worstAz1 = 0;
        for (const Pair& p : *set) {
            double s12, azi1, azi2, dist;
            g.Inverse(p.lat1, p.lon1, p.lat2, p.lon2, s12, azi1, azi2);
            XAngle f, r;
            Xfn::CalArcDistAndAngleRobust(XAngle(p.lon1 * D2R), XAngle(p.lat1 * D2R), XAngle(p.lon2 * D2R),
                                          XAngle(p.lat2 * D2R), dist, f, r);
            worstDist = std::max(worstDist, std::fabs(dist - s12));
            // Where two shortest geodesics meet, the azimuths are one choice of several.
            if (std::fabs(p.lat1 + p.lat2) > 1e-9)
                worstAz1 = std::max({worstAz1, AngleDiff(f.rad(), azi1 * D2R), AngleDiff(r.rad(), azi2 * D2R + M_PI)});
        }
        std::printf("  robust inverse, %zu %s pairs: distance %.3e m, azimuths %.3e rad\n", set->size(),
                    set == &Pairs() ? "random" : "nearly antipodal", worstDist, worstAz1);
    }
    std::printf("\n");
}
#endif

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
#if TIVRA_BENCH_GEOGRAPHICLIB
    // --skip_accuracy leaves the accuracy table out (for profiling runs).
    if (!(argc > 1 && std::string(argv[1]) == "--skip_accuracy")) PrintAccuracy();
#endif
    RatioReporter reporter("items_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Each of our cases against its peer, and the batches against one worker
    // and (all cores against one) against the peer.
    const char* const pairs[][2] = {{"BM_Direct", "BM_PeerDirect"},
                                    {"BM_Inverse", "BM_PeerInverse"},
                                    {"BM_RobustInverse", "BM_PeerInverse"},
                                    {"BM_RobustInverseAntipodal", "BM_PeerInverseAntipodal"},
                                    {"BM_DirectBatch/2/real_time", "BM_DirectBatch/1/real_time"},
                                    {"BM_RobustInverseBatch/2/real_time", "BM_RobustInverseBatch/1/real_time"},
                                    {"BM_DirectBatch/2/real_time", "BM_PeerDirect"},
                                    {"BM_RobustInverseBatch/2/real_time", "BM_PeerInverse"}};
    std::printf("\n%-40s %-28s %10s %10s %7s\n", "case", "against", "ours M/s", "peer M/s", "ratio");
    for (const auto& [ours, peer] : pairs) {
        const auto a = reporter.m_rates.find(ours), b = reporter.m_rates.find(peer);
        if (a == reporter.m_rates.end() || b == reporter.m_rates.end()) continue;
        std::printf("%-40s %-28s %10.3f %10.3f %7.2f\n", ours, peer, a->second / 1e6, b->second / 1e6,
                    a->second / b->second);
    }
    benchmark::Shutdown();
    return 0;
}
