// The machine's memory bandwidth, with one worker and with two, measured in
// the same run as the library's cases (tools/bench-scaling.sh) so that one can
// tell a case held back by memory from one held back by arithmetic. The
// buffers are 256 MiB, far beyond any cache, and the workers are the
// library's own pool (one per processor, each pinned to its own), as in the
// resampling and convolution.
//
// Bytes per second count what a pass must move: memcpy reads the source and
// writes the destination (2 x 256 MiB); the read pass sums the source
// (256 MiB). Reads for ownership of the written lines are not counted
// (large copies store past the cache, where there are none).
#include <benchmark/benchmark.h>

#include <tivra/runtime/XParallelProcess.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr size_t kBytes = size_t(256) << 20;
constexpr size_t kWords = kBytes / sizeof(uint64_t);

/// Source and destination, allocated and written once, so no pass pays for
/// first-touch page faults.
uint64_t* Buffer(int which)
{
    static std::unique_ptr<uint64_t[]> buffers[2];
    if (!buffers[which]) {
        buffers[which].reset(new uint64_t[kWords]);
        for (size_t i = 0; i < kWords; ++i) buffers[which][i] = i * 0x9E3779B97F4A7C15ull;
    }
    return buffers[which].get();
}

/// Each worker copies or sums its contiguous share of the buffer.
class BandwidthPass : public XParallelProcess {
public:
    explicit BandwidthPass(bool copy) : m_bCopy(copy), m_sums(size_t(m_nProcessors)) {}
    ~BandwidthPass() override { CloseThreads(); }

    void Process(int nIndex) override
    {
        const int n = m_nThreads > 0 ? m_nThreads : 1;
        const size_t w0 = kWords * size_t(nIndex) / size_t(n), w1 = kWords * size_t(nIndex + 1) / size_t(n);
        const uint64_t* src = Buffer(0);
        if (m_bCopy) {
            std::memcpy(Buffer(1) + w0, src + w0, (w1 - w0) * sizeof(uint64_t));
            return;
        }
        // Four independent sums, so the adds never wait on one another and
        // the loads alone set the pace.
        uint64_t s0 = 0, s1 = 0, s2 = 0, s3 = 0;
        size_t i = w0;
        for (; i + 4 <= w1; i += 4) {
            s0 += src[i];
            s1 += src[i + 1];
            s2 += src[i + 2];
            s3 += src[i + 3];
        }
        for (; i < w1; ++i) s0 += src[i];
        m_sums[size_t(nIndex)] = s0 + s1 + s2 + s3;
    }

    uint64_t Sum() const
    {
        uint64_t s = 0;
        for (uint64_t v : m_sums) s += v;
        return s;
    }

private:
    bool m_bCopy;
    std::vector<uint64_t> m_sums;
};

void Pass(benchmark::State& state, bool copy)
{
    Buffer(0);
    Buffer(1);
    BandwidthPass pass(copy);
    pass.SetNumberOfThreads(int(state.range(0)));
    for (auto _ : state) {
        pass.Run();
        benchmark::DoNotOptimize(pass.Sum());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(kBytes) * (copy ? 2 : 1));
    state.counters["workers"] = pass.GetNumberOfThreads();
}

void BM_MemcpyBandwidth(benchmark::State& state) { Pass(state, true); }
void BM_ReadBandwidth(benchmark::State& state) { Pass(state, false); }

} // namespace

BENCHMARK(BM_MemcpyBandwidth)->ArgName("workers")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadBandwidth)->ArgName("workers")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
