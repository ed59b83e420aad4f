// Throughput of the default earth's conversions: geodetic to ecr, ecr to
// geodetic (the latitude iteration), the local north-east-down frame (one
// inverse and two forward conversions), and native point construction.
// Items are conversions, so items_per_second reads as calls per second.
#include <benchmark/benchmark.h>

#include <tivra/geo/XEllipsoidEarth.h>
#include <tivra/geo/XGeoPoint.h>

#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr int kPoints = 4096;

struct Llh { double lon, lat, hgt; };

// Positions spread over the globe and from below sea level to low orbit.
const std::vector<Llh>& Positions()
{
    static const std::vector<Llh> v = [] {
        std::mt19937_64 rng(20240605);
        std::uniform_real_distribution<double> lon(-180, 180), lat(-89.9, 89.9), hgt(-1000, 1e6);
        std::vector<Llh> r(kPoints);
        for (auto& p : r) p = {lon(rng), lat(rng), hgt(rng)};
        return r;
    }();
    return v;
}

const std::vector<XVertex3d>& EcrPositions()
{
    static const std::vector<XVertex3d> v = [] {
        std::vector<XVertex3d> r;
        for (const Llh& p : Positions()) r.push_back(Xfn::GeoToEcr(p.lon, p.lat, p.hgt));
        return r;
    }();
    return v;
}

void BM_GeoToEcr(benchmark::State& state)
{
    const auto& pts = Positions();
    for (auto _ : state) {
        double acc = 0;
        for (const Llh& p : pts) {
            double x, y, z;
            Xfn::m_earth.GeoToEcr(p.lon, p.lat, p.hgt, x, y, z);
            acc += x + y + z;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_GeoToEcr);

void BM_EcrToGeo(benchmark::State& state)
{
    const auto& pts = EcrPositions();
    for (auto _ : state) {
        double acc = 0;
        for (const XVertex3d& p : pts) {
            double lon, lat, hgt;
            Xfn::m_earth.EcrToGeo(p.x, p.y, p.z, lon, lat, hgt);
            acc += lon + lat + hgt;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_EcrToGeo);

void BM_GetFrameNED(benchmark::State& state)
{
    const auto& pts = EcrPositions();
    for (auto _ : state) {
        double acc = 0;
        for (const XVertex3d& p : pts) {
            XVertex3d n, e, d;
            Xfn::m_earth.GetFrameNED(p, n, e, d);
            acc += n.x + e.y + d.z;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_GetFrameNED);

void BM_GeoPointFromDegree(benchmark::State& state)
{
    const auto& pts = Positions();
    for (auto _ : state) {
        double acc = 0;
        for (const Llh& p : pts) {
            const XGeoPoint g = XGeoPoint::FromDegree(p.lon, p.lat, p.hgt);
            acc += g.ecr().x + g.eec().z;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}
BENCHMARK(BM_GeoPointFromDegree);

} // namespace
