// The native side of the .NET boundary benchmark (bench/dotnet): the very
// requests that Pelmora.Ostrel.Benchmarks makes from C#, made here directly,
// so that the two reports give the cost of crossing into the core from .NET.
// Keep the data, mapping and arguments of the two files equal.
#include <benchmark/benchmark.h>

#include <cstdint>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XResamplePixels.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

constexpr int kSide = 4096;

/// UINT08 samples (31 r + 17 c) mod 256: cheap to make the same way in C#.
const XGrid& Source()
{
    static XGrid* g = nullptr;
    if (!g) {
        g = new XGrid(kSide, kSide, XDT_UINT08);
        uint8_t* p = g->GetData();
        for (int r = 0; r < kSide; ++r)
            for (int c = 0; c < kSide; ++c) p[int64_t(r) * kSide + c] = uint8_t((31 * r + 17 * c) & 255);
    }
    return *g;
}

/// Bilinear through a 5 degree rotation about the centre; range(0) workers (0: one per processor).
void BM_BoundaryResampleByWarp(benchmark::State& state)
{
    const XGrid& src = Source();
    XGrid dst(kSide, kSide, XDT_UINT08);
    XWarpCoeff warp;
    warp.CreateRotation(5, kSide / 2.0, kSide / 2.0);
    XResamplePixels engine;
    if (state.range(0) > 0) engine.SetNumberOfThreads(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(engine.ResampleByWarp(&src, &dst, &warp, XINTERP_BILINEAR, 0));
    state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
}

void BM_BoundaryStatistics(benchmark::State& state)
{
    const XGrid& src = Source();
    for (auto _ : state) {
        uint64_t count = 0;
        double mn, mx, mean, sd;
        Xfn::GetStatistics(src, 0, -1, 0, -1, NAN_REAL64, count, mn, mx, mean, sd, nullptr);
        benchmark::DoNotOptimize(mean);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kSide) * kSide);
}

} // namespace

BENCHMARK(BM_BoundaryResampleByWarp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BoundaryStatistics)->Unit(benchmark::kMillisecond);
