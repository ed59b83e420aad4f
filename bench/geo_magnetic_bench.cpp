// Throughput of the magnetic declination in calls per second
// (items_per_second): with the parsed coefficient file kept between calls,
// with the file read on every call (a scan of the whole file, then one more
// opening per coefficient set), and each of them from two threads at once
// (every iteration runs a batch of calls on each of two threads; the rate is
// that of both together against the wall clock, and the CPU time that of the
// whole process, so CPU time / (2 x batch) is the cost of one call with two
// threads at work). The points sweep latitudes
// -60..60 and all longitudes at one date. The coefficient file is the build
// tree's Resource/WMM.cof, found through the installation home like any
// program's.
#include <benchmark/benchmark.h>

#include <tivra/geo/XGeomagnetism.h>

#include <cstdlib>
#include <functional>
#include <thread>

using namespace Pelmora::Tivra;

namespace {

// One call before any benchmark runs: the shared record is made on one
// thread before others use it, and a missing file stops the run at once.
[[maybe_unused]] const bool kModelFound = [] {
    double decl = 0, ddot = 0;
    if (!Xfn::CalcMagneticDeclination(45.0, 10.0, 0.0, 2026.5, decl, ddot)) std::abort();
    return true;
}();

/// Walks the points; false when a call fails.
struct Sweep {
    double lat, lon;

    bool Next(_XMAGNETIC_READ eRead)
    {
        double decl = 0, ddot = 0;
        const bool ok = Xfn::CalcMagneticDeclination(lat, lon, 0.0, 2026.5, decl, ddot, eRead);
        benchmark::DoNotOptimize(decl);
        benchmark::DoNotOptimize(ddot);
        lat = lat > 60.0 ? -60.0 : lat + 0.731;
        lon = lon > 180.0 ? -180.0 : lon + 2.377;
        return ok;
    }
};

void OneThread(benchmark::State& state, _XMAGNETIC_READ eRead)
{
    Sweep sweep{-60.0, -180.0};
    for (auto _ : state)
        if (!sweep.Next(eRead)) state.SkipWithError("failed");
    state.SetItemsProcessed(state.iterations());
}

void TwoThreads(benchmark::State& state, _XMAGNETIC_READ eRead)
{
    // About 10 ms of work per thread and iteration, far above the cost of
    // starting the threads.
    const int nBatch = eRead == _XMAGNETIC_READ_CACHED ? 2000 : 80;
    bool ok = true;
    const auto batch = [&](double lon0, bool& okThread) {
        Sweep sweep{-60.0, lon0};
        for (int k = 0; k < nBatch; ++k) okThread = sweep.Next(eRead) && okThread;
    };
    for (auto _ : state) {
        bool ok1 = true, ok2 = true;
        std::thread t1(batch, -180.0, std::ref(ok1)), t2(batch, -173.0, std::ref(ok2));
        t1.join();
        t2.join();
        ok = ok && ok1 && ok2;
    }
    if (!ok) state.SkipWithError("failed");
    state.SetItemsProcessed(state.iterations() * 2 * nBatch);
}

} // namespace

BENCHMARK_CAPTURE(OneThread, kept_parse, _XMAGNETIC_READ_CACHED);
BENCHMARK_CAPTURE(OneThread, read_each_call, _XMAGNETIC_READ_EACH_CALL);
BENCHMARK_CAPTURE(TwoThreads, kept_parse, _XMAGNETIC_READ_CACHED)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TwoThreads, read_each_call, _XMAGNETIC_READ_EACH_CALL)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
