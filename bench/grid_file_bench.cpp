// Grid files against in-memory grids: a sequential statistics pass over a
// 4 GiB UINT08 grid file (65536 x 65536) beside the same pass over the largest
// in-memory grid (32767 x 65536, just under 2 GiB, the in-memory limit) and
// beside the machine's read bandwidth (memcpy of 4 GiB, the in-memory block
// read twice into a small buffer); and an affine resample of a 16384 x 16384
// UINT08 grid, nearest and bilinear on every processor, from a grid file
// into memory, from a grid file into a grid file, and all in memory.
// bytes_per_second is the rate at which samples are read (statistics,
// memcpy) or written (resampling), so the ratios read directly; the program
// ends with a table of each grid-file resample against the in-memory one. The grid files live in the
// temporary directory of the installation home (build/Temp in the build
// tree); the passes run after one warm-up, so their pages are cached.
#include <benchmark/benchmark.h>

#include "BenchRatioReporter.h"

#include <tivra/grid/XGridFile.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarpCoeff.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <random>
#include <type_traits>
#include <vector>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

constexpr int kFileSide = 65536;   // 4 GiB of UINT08
constexpr int kMemRows = 32767;    // 32767 x 65536 bytes, below the 2^31 bytes of an in-memory grid
constexpr int kWarpSide = 16384;   // the resample's source and destination

/// Reproducible random bytes for row r.
void FillRow(uint8_t* p, int n, int r)
{
    std::mt19937_64 rng(uint64_t(r) * 7919u + 1u);
    for (int i = 0; i < n; i += 8) {
        const uint64_t v = rng();
        std::memcpy(p + i, &v, size_t(std::min(8, n - i)));
    }
}

/// Grids live until the program ends, so that a grid file's destructor
/// removes its scratch file.
template <class G>
std::unique_ptr<G> Filled(int rows, int cols)
{
    auto g = std::make_unique<G>(rows, cols, XDT_UINT08);
    std::vector<uint8_t> row(size_t(cols), 0);
    for (int r = 0; r < rows; ++r) {
        FillRow(row.data(), cols, r);
        if constexpr (std::is_same_v<G, XGridFile>) g->WriteRow(r, 0, cols, row.data());
        else std::memcpy(g->GetData() + size_t(r) * size_t(cols), row.data(), row.size());
    }
    return g;
}

const XGrid& MemGrid()
{
    static const std::unique_ptr<XGrid> g = Filled<XGrid>(kMemRows, kFileSide);
    return *g;
}

const XGridFile& FileGrid()
{
    static const std::unique_ptr<XGridFile> g = Filled<XGridFile>(kFileSide, kFileSide);
    return *g;
}

void Statistics(benchmark::State& state, const XGrid& g)
{
    uint64_t n = 0;
    double mn, mx, mean, sd;
    Xfn::GetStatistics(g, 1, 0, 1, 0, NAN_REAL64, n, mn, mx, mean, sd);  // warm-up: pages cached
    for (auto _ : state) {
        Xfn::GetStatistics(g, 1, 0, 1, 0, NAN_REAL64, n, mn, mx, mean, sd);
        benchmark::DoNotOptimize(mean);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(g.GetRSize()) * g.GetCSize());
}

void BM_StatisticsInMemory(benchmark::State& state) { Statistics(state, MemGrid()); }
void BM_StatisticsGridFile(benchmark::State& state) { Statistics(state, FileGrid()); }

void BM_MemcpyRead(benchmark::State& state)
{
    const XGrid& g = MemGrid();
    const size_t block = size_t(g.GetRSize()) * size_t(g.GetCSize());
    const size_t total = size_t(kFileSide) * size_t(kFileSide);
    std::vector<uint8_t> sink(1 << 16);
    for (auto _ : state) {
        for (size_t done = 0; done < total; done += sink.size()) {
            const size_t at = done % (block - sink.size());
            std::memcpy(sink.data(), g.GetData() + at, sink.size());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(total));
}

/// Rotation by 10 degrees about the centre.
XWarpCoeff Warp()
{
    XWarpCoeff w;
    w.CreateRotation(10, kWarpSide / 2.0, kWarpSide / 2.0);
    return w;
}

template <class S, class D>
void Resample(benchmark::State& state)
{
    static const std::unique_ptr<S> pSrc = Filled<S>(kWarpSide, kWarpSide);
    const XGrid* src = pSrc.get();
    D dst(kWarpSide, kWarpSide, XDT_UINT08);
    XWarpCoeff w = Warp();
    const int method = int(state.range(0));
    ResampleByWarp(src, &dst, &w, method, 0);  // warm-up
    for (auto _ : state) benchmark::DoNotOptimize(ResampleByWarp(src, &dst, &w, method, 0));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kWarpSide) * kWarpSide);
}

void BM_ResampleInMemory(benchmark::State& state) { Resample<XGrid, XGrid>(state); }
void BM_ResampleFileToMemory(benchmark::State& state) { Resample<XGridFile, XGrid>(state); }
void BM_ResampleFileToFile(benchmark::State& state) { Resample<XGridFile, XGridFile>(state); }

} // namespace

BENCHMARK(BM_MemcpyRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StatisticsInMemory)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StatisticsGridFile)->Unit(benchmark::kMillisecond)->Iterations(3);
// Argument: the method (XINTERP_NEAREST, XINTERP_BILINEAR).
BENCHMARK(BM_ResampleInMemory)->Arg(XINTERP_NEAREST)->Arg(XINTERP_BILINEAR)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);
BENCHMARK(BM_ResampleFileToMemory)->Arg(XINTERP_NEAREST)->Arg(XINTERP_BILINEAR)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);
BENCHMARK(BM_ResampleFileToFile)->Arg(XINTERP_NEAREST)->Arg(XINTERP_BILINEAR)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter("bytes_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Time of each grid-file case over the in-memory time of its method.
    std::printf("\n%-44s %12s %12s %12s\n", "case", "ours MB/s", "memory MB/s", "time ratio");
    const struct { const char* name; int method; } methods[] = {{"nearest", XINTERP_NEAREST},
                                                                {"bilinear", XINTERP_BILINEAR}};
    const std::string tail = "/iterations:3/real_time";
    for (const auto& m : methods)
        for (const char* run : {"BM_ResampleFileToMemory/", "BM_ResampleFileToFile/"}) {
            const std::string arg = std::to_string(m.method);
            const auto a = reporter.m_rates.find(run + arg + tail);
            const auto b = reporter.m_rates.find("BM_ResampleInMemory/" + arg + tail);
            if (a == reporter.m_rates.end() || b == reporter.m_rates.end()) continue;
            std::printf("%-44s %12.1f %12.1f %12.2f\n", (std::string(run) + m.name).c_str(), a->second / 1e6,
                        b->second / 1e6, b->second / a->second);
        }
    benchmark::Shutdown();
    return 0;
}
