// Throughput of the raster grid's sample paths: per-type access, the three
// interpolation methods and half-size reduction. Items are samples, so the
// items_per_second column reads as samples per second.
#include <benchmark/benchmark.h>

#include <tivra/grid/XGrid.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr int kAccessSide = 256;  // 64 Ki samples per pass for the accessor runs
constexpr int kLargeSide = 2048;

const char* const kTypeNames[] = {
    "NONE",    "UINT08",  "SINT08",  "UINT16",   "SINT16",   "UINT32",   "SINT32",   "UINT64",  "SINT64",
    "REAL32",  "REAL64",  "UINT08C", "SINT08C",  "UINT16C",  "SINT16C",  "UINT32C",  "SINT32C", "UINT64C",
    "SINT64C", "REAL32C", "REAL64C", "GRAY",     "RGB",      "BGR",      "RGBA",     "BGRA",    "ARGB",
    "ABGR",    "RGB565",  "BGR565",  "RGBA5551", "BGRA5551", "ARGB1555", "ABGR1555"};

/// The enumerator's name of a type code; its number for a code the list does
/// not name, so that a new type is measured before it gets a label here.
std::string TypeLabel(int type)
{
    return type < static_cast<int>(std::size(kTypeNames)) ? kTypeNames[type] : "type " + std::to_string(type);
}

void BM_GetValue(benchmark::State& state)
{
    const int type = static_cast<int>(state.range(0));
    XGrid g(kAccessSide, kAccessSide, type);
    g.Fill(17, 34, 51, 68);
    for (auto _ : state) {
        double acc = 0;
        for (int r = 0; r < kAccessSide; ++r)
            for (int c = 0; c < kAccessSide; ++c) {
                double a, b, cc, d;
                g.GetValue(r, c, a, b, cc, d);
                acc += a + b;
            }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * kAccessSide * kAccessSide);
    state.SetLabel(TypeLabel(type));
}

void BM_SetValue(benchmark::State& state)
{
    const int type = static_cast<int>(state.range(0));
    XGrid g(kAccessSide, kAccessSide, type);
    for (auto _ : state) {
        for (int r = 0; r < kAccessSide; ++r)
            for (int c = 0; c < kAccessSide; ++c) g.SetValue(r, c, c & 255, r & 255, 7.5, NAN_REAL64);
        benchmark::DoNotOptimize(g.GetData());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kAccessSide * kAccessSide);
    state.SetLabel(TypeLabel(type));
}

// A 2048 x 2048 grid of random samples and two sets of 64 Ki positions:
// scattered over the whole grid (cache-unfriendly), and a row-order scan of
// the first 32 rows at a fixed fractional offset (what a resampler does).
struct LargeCase {
    XGrid grid;
    std::vector<std::pair<double, double>> positions[2];
    explicit LargeCase(int type) : grid(kLargeSide, kLargeSide, type)
    {
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> val(0, 255), pos(0, kLargeSide - 1e-6);
        for (int r = 0; r < kLargeSide; ++r)
            for (int c = 0; c < kLargeSide; ++c) grid.SetFromREAL64(r, c, val(rng));
        for (int i = 0; i < (1 << 16); ++i) {
            positions[0].emplace_back(pos(rng), pos(rng));
            positions[1].emplace_back(i / kLargeSide + 0.37, i % kLargeSide + 0.61);
        }
    }
};

const LargeCase& Large(int type)
{
    static const LargeCase u8(XDT_UINT08), r32(XDT_REAL32);
    return type == XDT_UINT08 ? u8 : r32;
}

void BM_GetValueInterpolated(benchmark::State& state)
{
    const int type = static_cast<int>(state.range(0));
    const int method = static_cast<int>(state.range(1));
    const bool scan = state.range(2) != 0;
    const auto& positions = Large(type).positions[scan];
    const XGrid& grid = Large(type).grid;
    for (auto _ : state) {
        double acc = 0;
        for (const auto& [y, x] : positions) {
            double a, b, c, d;
            grid.GetValueInterpolated(y, x, method, a, b, c, d);
            acc += a;
        }
        benchmark::DoNotOptimize(acc);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(positions.size()));
    static const char* const kMethods[] = {"nearest", "bilinear", "cubic"};
    state.SetLabel(TypeLabel(type) + " " + kMethods[method] + (scan ? " scan" : " scattered"));
}

void BM_GetHalfSize(benchmark::State& state)
{
    const int type = static_cast<int>(state.range(0));
    const LargeCase& lc = Large(type);
    XGrid dst;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lc.grid.GetHalfSize(&dst));
        benchmark::ClobberMemory();
    }
    // Source samples read per second.
    state.SetItemsProcessed(state.iterations() * int64_t(kLargeSide) * kLargeSide);
    state.SetLabel(TypeLabel(type));
}

} // namespace

BENCHMARK(BM_GetValue)->DenseRange(XDT_FIRST, XDT_LAST);
BENCHMARK(BM_SetValue)->DenseRange(XDT_FIRST, XDT_LAST);
BENCHMARK(BM_GetValueInterpolated)
    ->ArgsProduct({{XDT_UINT08, XDT_REAL32},
                   {XINTERP_NEAREST, XINTERP_BILINEAR, XINTERP_CUBIC, XINTERP_CUBIC_SEPARABLE},
                   {0, 1}});
BENCHMARK(BM_GetHalfSize)->Arg(XDT_UINT08)->Arg(XDT_REAL32)->Unit(benchmark::kMillisecond);
