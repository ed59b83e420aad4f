// Resampling and convolution throughput, beside OpenCV's warpAffine, remap
// and filter2D when OpenCV is available. Figures are output pixels per second;
// at the end a table gives each of our cases as a ratio of its OpenCV peer.
// The Scaling/ cases run the same work with a set number of workers, for
// tools/bench-scaling.sh; they also report the bytes each pass must move.
#include <benchmark/benchmark.h>

#include "BenchRatioReporter.h"

#include <sched.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XResamplePixels.h>

#ifdef TIVRA_BENCH_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

constexpr int kSize = 4096;

/// A random-textured source of a type, made once.
const XGrid& Source(int type)
{
    static std::map<int, std::unique_ptr<XGrid>> cache;
    auto& g = cache[type];
    if (!g) {
        g = std::make_unique<XGrid>(kSize, kSize, type);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> u(0, 255);
        for (int r = 0; r < kSize; ++r)
            for (int c = 0; c < kSize; ++c) g->SetValue(r, c, u(rng), NAN_REAL64, NAN_REAL64, NAN_REAL64);
    }
    return *g;
}

/// Destination-to-source mapping: a 5 degree rotation about the centre with scale 1.01.
XWarpCoeff BenchWarp()
{
    XWarpCoeff w;
    const double c = kSize / 2.0;
    w.CreateRotation(5, c, c);
    // Scale the linear part and keep the centre fixed.
    for (double* a : {w.m_CoeffX, w.m_CoeffY}) {
        a[0] *= 1.01;
        a[1] *= 1.01;
        a[2] = c - (a[0] * c + a[1] * c);
    }
    return w;
}

const XCoordMap& BenchMap()
{
    static std::vector<XVertex2<double>> cells;
    static XCoordMap map;
    if (cells.empty()) {
        XWarpCoeff w = BenchWarp();
        cells.resize(size_t(kSize) * kSize);
        for (int r = 0; r < kSize; ++r)
            for (int c = 0; c < kSize; ++c) {
                double x = c, y = r;
                w.WarpPoint(x, y);
                cells[size_t(r) * kSize + c] = XVertex2<double>(x, y);
            }
        map = XCoordMap{cells.data(), kSize, kSize};
    }
    return map;
}

/// Items (output pixels) per pass, and the bytes a pass cannot avoid moving:
/// the source read once and the destination written once (the workers write
/// each destination row whole, background included). Cache-line reads for
/// ownership of the written lines are not counted.
void SetPassSizes(benchmark::State& state, int srcType, int dstType)
{
    const int64_t pixels = int64_t(kSize) * kSize;
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetBytesProcessed(state.iterations() * pixels * (Xfn::GetDataSize(srcType) + Xfn::GetDataSize(dstType)));
}

/// workers 0 leaves the engine's pool at one worker per processor. With
/// warmUp one pass runs before the timed ones, so that the destination's
/// first-touch page faults (paid again on every call, as each call allocates
/// it anew) stay out of the figures; short runs have few passes to spread
/// them over.
void Resample(benchmark::State& state, int type, int method, int workers, bool byMap, bool warmUp)
{
    const XGrid& src = Source(type);
    XGrid dst(kSize, kSize, type);
    XWarpCoeff warp = BenchWarp();
    const XCoordMap* map = byMap ? &BenchMap() : nullptr;
    XResamplePixels engine;
    if (workers > 0) engine.SetNumberOfThreads(workers);
    auto pass = [&] {
        return byMap ? engine.ResampleByCoordMap(&src, &dst, map, method, 0)
                     : engine.ResampleByWarp(&src, &dst, &warp, method, 0);
    };
    if (warmUp) pass();
    for (auto _ : state) benchmark::DoNotOptimize(pass());
    SetPassSizes(state, type, type);
    state.counters["workers"] = engine.GetNumberOfThreads();
}

/// Convolve makes a pool of one worker per processor that the calling thread
/// may run on, and has no worker count of its own; this narrows the calling
/// thread's processors to the first n of its set while it lives, which sets
/// the pool's size without touching the library (the calling thread only
/// waits while the workers run). The old set comes back at the end. A set of
/// n processors or fewer is left as it is.
class ProcessorLimit {
public:
    explicit ProcessorLimit(int n)
    {
        CPU_ZERO(&m_old);
        m_bNarrowed = n > 0 && sched_getaffinity(0, sizeof m_old, &m_old) == 0 && CPU_COUNT(&m_old) > n;
        if (!m_bNarrowed) return;
        cpu_set_t set;
        CPU_ZERO(&set);
        for (int cpu = 0, kept = 0; cpu < CPU_SETSIZE && kept < n; ++cpu)
            if (CPU_ISSET(cpu, &m_old)) {
                CPU_SET(cpu, &set);
                ++kept;
            }
        m_bNarrowed = sched_setaffinity(0, sizeof set, &set) == 0;
    }
    ~ProcessorLimit()
    {
        if (m_bNarrowed) sched_setaffinity(0, sizeof m_old, &m_old);
    }
    ProcessorLimit(const ProcessorLimit&) = delete;
    ProcessorLimit& operator=(const ProcessorLimit&) = delete;

private:
    cpu_set_t m_old;
    bool m_bNarrowed;
};

/// workers 0 leaves Convolve one worker per processor; warmUp as for Resample.
void ConvolveBench(benchmark::State& state, int ksize, int edge, int workers, bool warmUp)
{
    const XGrid& src = Source(XDT_UINT08);
    XMatrix k(ksize, ksize);
    for (int i = 0; i < ksize * ksize; ++i) k.GetData()[i] = 1.0 / (ksize * ksize);
    XGrid dst;
    const ProcessorLimit limit(workers);
    if (warmUp) Convolve(&src, &k, &dst, edge, XDT_REAL32);
    for (auto _ : state) benchmark::DoNotOptimize(Convolve(&src, &k, &dst, edge, XDT_REAL32));
    SetPassSizes(state, XDT_UINT08, XDT_REAL32);
    state.counters["workers"] = GetNumberOfProcessors();
}

const char* kMethodNames[] = {"nearest", "bilinear", "cubic", "cubic_separable"};

/// OpenCV's interpolation for each of our methods; its INTER_CUBIC is a
/// separable cubic convolution (with a = -0.75), the peer of both our cubics.

#ifdef TIVRA_BENCH_OPENCV
cv::Mat AsMat(const XGrid& g, int cvType) { return cv::Mat(g.GetRSize(), g.GetCSize(), cvType, g.GetData()); }

void CvWarpAffine(benchmark::State& state, int type, int method)
{
    const XGrid& src = Source(type);
    const int cvType = type == XDT_UINT08 ? CV_8UC1 : CV_32FC1;
    cv::Mat s = AsMat(src, cvType), d;
    XWarpCoeff w = BenchWarp();
    cv::Mat m = (cv::Mat_<double>(2, 3) << w.m_CoeffX[0], w.m_CoeffX[1], w.m_CoeffX[2], w.m_CoeffY[0],
                 w.m_CoeffY[1], w.m_CoeffY[2]);
    const int interp[] = {cv::INTER_NEAREST, cv::INTER_LINEAR, cv::INTER_CUBIC, cv::INTER_CUBIC};
    for (auto _ : state)
        cv::warpAffine(s, d, m, cv::Size(kSize, kSize), interp[method] | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT);
    state.SetItemsProcessed(state.iterations() * int64_t(kSize) * kSize);
}

void CvRemap(benchmark::State& state, int type, int method)
{
    const XGrid& src = Source(type);
    const int cvType = type == XDT_UINT08 ? CV_8UC1 : CV_32FC1;
    cv::Mat s = AsMat(src, cvType), d;
    static cv::Mat mx, my;
    if (mx.empty()) {
        const XCoordMap& map = BenchMap();
        mx.create(kSize, kSize, CV_32FC1);
        my.create(kSize, kSize, CV_32FC1);
        for (int i = 0; i < kSize * kSize; ++i) {
            mx.ptr<float>()[i] = float(map.m_pData[i].x);
            my.ptr<float>()[i] = float(map.m_pData[i].y);
        }
    }
    const int interp[] = {cv::INTER_NEAREST, cv::INTER_LINEAR, cv::INTER_CUBIC, cv::INTER_CUBIC};
    for (auto _ : state) cv::remap(s, d, mx, my, interp[method], cv::BORDER_CONSTANT);
    state.SetItemsProcessed(state.iterations() * int64_t(kSize) * kSize);
}

void CvFilter2D(benchmark::State& state, int ksize, int edge)
{
    cv::Mat s = AsMat(Source(XDT_UINT08), CV_8UC1), d;
    cv::Mat k(ksize, ksize, CV_32FC1, cv::Scalar(1.0 / (ksize * ksize)));
    const int border = edge == XCONV_EDGE_CLAMP ? cv::BORDER_REPLICATE : cv::BORDER_CONSTANT;
    for (auto _ : state) cv::filter2D(s, d, CV_32F, k, cv::Point(-1, -1), 0, border);
    state.SetItemsProcessed(state.iterations() * int64_t(kSize) * kSize);
}
#endif

/// Pairs of (our case, OpenCV case) whose throughputs the closing table compares.
std::vector<std::pair<std::string, std::string>> g_pairs;

void RegisterAll()
{
    for (int type : {XDT_UINT08, XDT_REAL32}) {
        const std::string tname = type == XDT_UINT08 ? "UINT08" : "REAL32";
        for (int method = 0; method < 4; ++method) {
            const std::string suffix = tname + "/" + kMethodNames[method];
            for (bool all : {false, true}) {
                const std::string name = "Resample/affine/" + suffix + (all ? "/all_cores" : "/1_thread");
                benchmark::RegisterBenchmark(name.c_str(), Resample, type, method, all ? 0 : 1, false, false)
                    ->Unit(benchmark::kMillisecond)->UseRealTime();
            }
            const std::string mapName = "Resample/coord_map/" + suffix + "/all_cores";
            benchmark::RegisterBenchmark(mapName.c_str(), Resample, type, method, 0, true, false)
                ->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef TIVRA_BENCH_OPENCV
            const std::string cvAffine = "OpenCV/warpAffine/" + suffix, cvRemap = "OpenCV/remap/" + suffix;
            benchmark::RegisterBenchmark(cvAffine.c_str(), CvWarpAffine, type, method)
                ->Unit(benchmark::kMillisecond)->UseRealTime();
            benchmark::RegisterBenchmark(cvRemap.c_str(), CvRemap, type, method)
                ->Unit(benchmark::kMillisecond)->UseRealTime();
            g_pairs.emplace_back("Resample/affine/" + suffix + "/all_cores", cvAffine);
            g_pairs.emplace_back(mapName, cvRemap);
#endif
        }
    }
    for (int ksize : {3, 7})
        for (int edge : {XCONV_EDGE_SKIP, XCONV_EDGE_CLAMP}) {
            const std::string suffix = std::to_string(ksize) + "x" + std::to_string(ksize) + "/UINT08_to_REAL32/" +
                                       (edge == XCONV_EDGE_CLAMP ? "clamp" : "skip");
            const std::string name = "Convolve/" + suffix;
            benchmark::RegisterBenchmark(name.c_str(), ConvolveBench, ksize, edge, 0, false)
                ->Unit(benchmark::kMillisecond)->UseRealTime();
#ifdef TIVRA_BENCH_OPENCV
            const std::string cv = "OpenCV/filter2D/" + suffix;
            benchmark::RegisterBenchmark(cv.c_str(), CvFilter2D, ksize, edge)->Unit(benchmark::kMillisecond)->UseRealTime();
            g_pairs.emplace_back(name, cv);
#endif
        }
    // The scaling cases: affine resampling by the three common methods and
    // the clamped convolutions, each with one worker and with two.
    for (int workers : {1, 2}) {
        const std::string w = "/workers:" + std::to_string(workers);
        for (int type : {XDT_UINT08, XDT_REAL32})
            for (int method : {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC}) {
                const std::string name = std::string("Scaling/Resample/affine/") +
                                         (type == XDT_UINT08 ? "UINT08/" : "REAL32/") + kMethodNames[method] + w;
                benchmark::RegisterBenchmark(name.c_str(), Resample, type, method, workers, false, true)
                    ->Unit(benchmark::kMillisecond)->UseRealTime();
            }
        for (int ksize : {3, 7}) {
            const std::string name = "Scaling/Convolve/" + std::to_string(ksize) + "x" + std::to_string(ksize) +
                                     "/UINT08_to_REAL32/clamp" + w;
            benchmark::RegisterBenchmark(name.c_str(), ConvolveBench, ksize, XCONV_EDGE_CLAMP, workers, true)
                ->Unit(benchmark::kMillisecond)->UseRealTime();
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter("items_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-58s %12s %12s %7s\n", "case (all cores)", "ours Mpx/s", "OpenCV Mpx/s", "ratio");
    for (const auto& [ours, peer] : g_pairs) {
        const auto a = reporter.m_rates.find(ours + "/real_time"), b = reporter.m_rates.find(peer + "/real_time");
        const auto a2 = a != reporter.m_rates.end() ? a : reporter.m_rates.find(ours);
        const auto b2 = b != reporter.m_rates.end() ? b : reporter.m_rates.find(peer);
        if (a2 == reporter.m_rates.end() || b2 == reporter.m_rates.end()) continue;
        std::printf("%-58s %12.1f %12.1f %7.2f\n", ours.c_str(), a2->second / 1e6, b2->second / 1e6,
                    a2->second / b2->second);
    }
    benchmark::Shutdown();
    return 0;
}
