// Throughput of the colour transforms on 4096 x 4096 pixels. Items are
// pixels, so items_per_second reads as pixels per second.
#include <benchmark/benchmark.h>

#include <tivra/grid/XColorTransform.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr int64_t kPixels = int64_t(4096) * 4096;

template <class T>
std::vector<T> RandomComponents(int64_t n, int lo, int hi)
{
    std::vector<T> v(static_cast<size_t>(n));
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> d(lo, hi);
    for (auto& x : v) x = static_cast<T>(d(rng));
    return v;
}

void BM_ColorPixels8(benchmark::State& state)
{
    const int stride = int(state.range(0));
    auto px = RandomComponents<uint8_t>(kPixels * stride, 0, 255);
    for (auto _ : state) {
        Xfn::EncodeColorPixels8(px.data(), kPixels, stride);
        Xfn::DecodeColorPixels8(px.data(), kPixels, stride);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("8-bit interleaved, encode + decode");
}

void BM_ColorPixels8YLast(benchmark::State& state)
{
    auto px = RandomComponents<uint8_t>(kPixels * 3, 0, 255);
    for (auto _ : state) {
        Xfn::EncodeColorPixels8YLast(px.data(), kPixels, 3);
        Xfn::DecodeColorPixels8YLast(px.data(), kPixels, 3);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("8-bit interleaved, Y last, encode + decode");
}

void BM_ColorPlanar8(benchmark::State& state)
{
    auto c = RandomComponents<uint8_t>(kPixels, 0, 255), p = c, q = c;
    for (auto _ : state) {
        Xfn::EncodeColorPlanar8(c.data(), p.data(), q.data(), kPixels);
        Xfn::DecodeColorPlanar8(q.data(), p.data(), c.data(), kPixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("8-bit planar, encode + decode");
}

void BM_ColorPixels16(benchmark::State& state)
{
    auto px = RandomComponents<int16_t>(kPixels * 3, -4096, 4095);
    for (auto _ : state) {
        Xfn::EncodeColorPixels16(px.data(), kPixels, 3);
        Xfn::DecodeColorPixels16(px.data(), kPixels, 3);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("16-bit interleaved, encode + decode");
}

void BM_ColorPlanar16(benchmark::State& state)
{
    auto c = RandomComponents<int16_t>(kPixels, -4096, 4095), p = c, q = c;
    for (auto _ : state) {
        Xfn::EncodeColorPlanar16(c.data(), p.data(), q.data(), kPixels);
        Xfn::DecodeColorPlanar16(q.data(), p.data(), c.data(), kPixels);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("16-bit planar, encode + decode");
}

/// The memory traffic floor of the interleaved forms: the same bytes copied
/// to a second buffer and back, counted as the transforms count pixels (two
/// passes per iteration). The argument is bytes per pixel.
void BM_CopyReference(benchmark::State& state)
{
    const int64_t bytes = kPixels * state.range(0);
    auto a = RandomComponents<uint8_t>(bytes, 0, 255), b = a;
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), size_t(bytes));
        std::memcpy(a.data(), b.data(), size_t(bytes));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kPixels * 2);
    state.SetLabel("memcpy of the same bytes, there and back");
}

} // namespace

BENCHMARK(BM_CopyReference)->Arg(3)->Arg(4)->Arg(6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPixels8)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPixels8YLast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPlanar8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPixels16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColorPlanar16)->Unit(benchmark::kMillisecond);
