// Throughput of the grid statistics and histograms on 8192 x 8192 grids of
// UINT08 and REAL32 samples. Items are samples, so items_per_second reads as
// samples per second. When OpenCV is found at configure time
// (TIVRA_BENCH_OPENCV), its meanStdDev and calcHist run on the same samples
// in the same process for comparison, limited to one thread like ours.
// BM_ScalingStatistics splits the statistics over a set number of workers,
// for tools/bench-scaling.sh.
#include <benchmark/benchmark.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/runtime/XParallelProcess.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#ifdef TIVRA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace Pelmora::Tivra;

namespace {

constexpr int kSide = 8192;
constexpr int64_t kSamples = int64_t(kSide) * kSide;

/// One shared grid per type, filled once with reproducible random samples
/// (bytes uniform over 0..255, reals normal around 100).
const XGrid& TestGrid(int type)
{
    static XGrid* grids[XDT_LAST + 1] = {};
    if (!grids[type]) {
        auto* g = new XGrid(kSide, kSide, type);
        std::mt19937_64 rng(type);
        if (type == XDT_UINT08) {
            uint8_t* p = g->GetData();
            for (int64_t i = 0; i < kSamples; i += 8) {
                const uint64_t v = rng();
                std::memcpy(p + i, &v, 8);
            }
        } else {
            std::normal_distribution<float> d(100.0f, 30.0f);
            auto* p = reinterpret_cast<float*>(g->GetData());
            for (int64_t i = 0; i < kSamples; ++i) p[i] = d(rng);
        }
        grids[type] = g;
    }
    return *grids[type];
}

const char* Name(int type) { return type == XDT_UINT08 ? "UINT08" : "REAL32"; }

void BM_GetStatistics(benchmark::State& state)
{
    const int type = int(state.range(0));
    const bool withHist = state.range(1) != 0;
    const XGrid& g = TestGrid(type);
    uint64_t hist[256];
    for (auto _ : state) {
        uint64_t n;
        double mn, mx, mean, sd;
        Xfn::GetStatistics(g, 1, 0, 1, 0, NAN_REAL64, n, mn, mx, mean, sd, withHist ? hist : nullptr);
        benchmark::DoNotOptimize(mean);
        benchmark::DoNotOptimize(sd);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetLabel(std::string(Name(type)) + (withHist ? " statistics + histogram" : " statistics"));
}

/// The row loop through a GetSubset copy of every row, as a grid whose
/// samples are not in memory is read: the cost that reading in place saves.
void BM_GetStatisticsRowCopies(benchmark::State& state)
{
    const int type = int(state.range(0));
    const XGrid& g = TestGrid(type);
    XGrid row;
    for (auto _ : state) {
        XStatAccum acc{};
        for (int r = 0; r < kSide; ++r) {
            g.GetSubset(&row, r, r, 0, kSide - 1);
            Xfn::AccumulateRowStatistics(acc, kSide, type, row.GetData(), NAN_REAL64);
        }
        benchmark::DoNotOptimize(acc.sum0);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetLabel(std::string(Name(type)) + " statistics through row copies");
}

void BM_AccumulateHistogram(benchmark::State& state)
{
    const int type = int(state.range(0));
    const XGrid& g = TestGrid(type);
    for (auto _ : state) {
        XHistAccum h{};
        Xfn::AccumulateRowHistogram(h, kSamples, type, g.GetData(), NAN_REAL64);
        benchmark::DoNotOptimize(h.total);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetLabel(std::string(Name(type)) + " histogram of the whole buffer");
}

/// GetStatistics runs on the calling thread alone. A caller that wants more
/// workers gives each a band of rows to accumulate with
/// AccumulateGridStatistics and merges the records; this is that caller, on
/// the library's own pool (one worker per processor, each pinned to its own).
class BandStatistics : public XParallelProcess {
public:
    explicit BandStatistics(const XGrid& grid) : m_grid(grid), m_parts(size_t(m_nProcessors)) {}
    ~BandStatistics() override { CloseThreads(); }

    void Process(int nIndex) override
    {
        const int n = m_nThreads > 0 ? m_nThreads : 1, rows = m_grid.GetRSize();
        const int r0 = int(int64_t(rows) * nIndex / n), r1 = int(int64_t(rows) * (nIndex + 1) / n) - 1;
        XStatAccum acc{};
        if (r0 <= r1) Xfn::AccumulateGridStatistics(acc, m_grid, r0, r1, 0, m_grid.GetCSize() - 1, NAN_REAL64, 0);
        m_parts[size_t(nIndex)] = acc;
    }

    /// One pass over the grid: the merged record of every band.
    XStatAccum Accumulate()
    {
        Run();
        XStatAccum all{};
        for (int i = 0; i < std::max(m_nThreads, 1); ++i) Xfn::MergeStatistics(all, m_parts[size_t(i)]);
        return all;
    }

private:
    const XGrid& m_grid;
    std::vector<XStatAccum> m_parts;
};

void BM_ScalingStatistics(benchmark::State& state)
{
    const int type = int(state.range(0));
    const XGrid& g = TestGrid(type);
    BandStatistics bands(g);
    bands.SetNumberOfThreads(int(state.range(1)));
    for (auto _ : state) {
        double mn, mx, mean, sd;
        Xfn::FinishStatistics(bands.Accumulate(), mx, mn, mean, sd);
        benchmark::DoNotOptimize(mean);
        benchmark::DoNotOptimize(sd);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetBytesProcessed(state.iterations() * kSamples * Xfn::GetDataSize(type));
    state.counters["workers"] = bands.GetNumberOfThreads();
    state.SetLabel(std::string(Name(type)) + " statistics in bands");
}

#ifdef TIVRA_BENCH_OPENCV
cv::Mat AsMat(const XGrid& g)
{
    return cv::Mat(g.GetRSize(), g.GetCSize(), g.GetDataType() == XDT_UINT08 ? CV_8UC1 : CV_32FC1, g.GetData());
}

void BM_OpenCV_meanStdDev(benchmark::State& state)
{
    cv::setNumThreads(1);
    const int type = int(state.range(0));
    const cv::Mat m = AsMat(TestGrid(type));
    for (auto _ : state) {
        cv::Scalar mean, sd;
        cv::meanStdDev(m, mean, sd);
        benchmark::DoNotOptimize(mean[0]);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetLabel(std::string(Name(type)) + " cv::meanStdDev");
}

void BM_OpenCV_calcHist(benchmark::State& state)
{
    cv::setNumThreads(1);
    const int type = int(state.range(0));
    const cv::Mat m = AsMat(TestGrid(type));
    double lo = 0, hi = 256;
    if (type != XDT_UINT08) cv::minMaxLoc(m, &lo, &hi);
    const int channels[] = {0}, size[] = {256};
    const float range[] = {float(lo), float(hi)};
    const float* ranges[] = {range};
    for (auto _ : state) {
        cv::Mat hist;
        cv::calcHist(&m, 1, channels, cv::Mat(), hist, 1, size, ranges);
        benchmark::DoNotOptimize(hist.data);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.SetLabel(std::string(Name(type)) + " cv::calcHist (range known)");
}
#endif

} // namespace

BENCHMARK(BM_GetStatistics)
    ->Args({XDT_UINT08, 0})->Args({XDT_UINT08, 1})->Args({XDT_REAL32, 0})->Args({XDT_REAL32, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetStatisticsRowCopies)->Arg(XDT_UINT08)->Arg(XDT_REAL32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AccumulateHistogram)->Arg(XDT_UINT08)->Arg(XDT_REAL32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScalingStatistics)
    ->ArgNames({"type", "workers"})->ArgsProduct({{XDT_UINT08, XDT_REAL32}, {1, 2}})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef TIVRA_BENCH_OPENCV
BENCHMARK(BM_OpenCV_meanStdDev)->Arg(XDT_UINT08)->Arg(XDT_REAL32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCV_calcHist)->Arg(XDT_UINT08)->Arg(XDT_REAL32)->Unit(benchmark::kMillisecond);
#endif
