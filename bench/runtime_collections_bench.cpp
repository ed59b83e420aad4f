// The collections against their standard-library counterparts: map insertion
// and look-up of 1e6 pointer keys and 1e5 string keys (std::unordered_map),
// and array growth by appends (std::vector). Every map gets a table sized for
// its keys up front: XMap through InitHashTable with a prime near the key
// count, std::unordered_map through reserve. Insertion runs include building
// and destroying the map.
#include <benchmark/benchmark.h>

#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XMap.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

constexpr int kPointerKeys = 1000000;
constexpr uint32_t kPointerTable = 1000003; // prime
constexpr int kStringKeys = 100000;
constexpr uint32_t kStringTable = 100003; // prime

/// Keys that look like real object pointers: the addresses of consecutive
/// 16-byte records.
const std::vector<void*>& PointerKeys()
{
    static std::vector<char> s_records(size_t(kPointerKeys) * 16);
    static const std::vector<void*> s_keys = [] {
        std::vector<void*> keys(kPointerKeys);
        for (int i = 0; i < kPointerKeys; ++i) keys[size_t(i)] = &s_records[size_t(i) * 16];
        return keys;
    }();
    return s_keys;
}

/// Names in the manner of class and block names: a prefix and a number.
const std::vector<std::string>& StringKeys()
{
    static const std::vector<std::string> s_keys = [] {
        std::vector<std::string> keys(kStringKeys);
        char aName[32];
        for (int i = 0; i < kStringKeys; ++i) {
            std::snprintf(aName, sizeof(aName), "XBlock_%d_%s", i, i % 3 == 0 ? "Data" : "Index");
            keys[size_t(i)] = aName;
        }
        return keys;
    }();
    return s_keys;
}

// ---- pointer keys -----------------------------------------------------------------

void BM_PointerInsert_XMap(benchmark::State& state)
{
    const std::vector<void*>& keys = PointerKeys();
    for (auto _ : state) {
        XMap<void*, void*> map;
        map.InitHashTable(kPointerTable);
        for (void* k : keys) map.SetAt(k, k);
        benchmark::DoNotOptimize(map.GetCount());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kPointerKeys);
}

void BM_PointerInsert_StdUnorderedMap(benchmark::State& state)
{
    const std::vector<void*>& keys = PointerKeys();
    for (auto _ : state) {
        std::unordered_map<void*, void*> map;
        map.reserve(kPointerKeys);
        for (void* k : keys) map[k] = k;
        benchmark::DoNotOptimize(map.size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kPointerKeys);
}

void BM_PointerLookup_XMap(benchmark::State& state)
{
    const std::vector<void*>& keys = PointerKeys();
    XMap<void*, void*> map;
    map.InitHashTable(kPointerTable);
    for (void* k : keys) map.SetAt(k, k);
    for (auto _ : state) {
        void* v = nullptr;
        for (void* k : keys) {
            map.Lookup(k, v);
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kPointerKeys);
}

void BM_PointerLookup_StdUnorderedMap(benchmark::State& state)
{
    const std::vector<void*>& keys = PointerKeys();
    std::unordered_map<void*, void*> map;
    map.reserve(kPointerKeys);
    for (void* k : keys) map[k] = k;
    for (auto _ : state)
        for (void* k : keys) benchmark::DoNotOptimize(map.find(k));
    state.SetItemsProcessed(int64_t(state.iterations()) * kPointerKeys);
}

BENCHMARK(BM_PointerInsert_XMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerInsert_StdUnorderedMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerLookup_XMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointerLookup_StdUnorderedMap)->Unit(benchmark::kMillisecond);

// ---- string keys --------------------------------------------------------------------

void BM_StringInsert_XMap(benchmark::State& state)
{
    const std::vector<std::string>& keys = StringKeys();
    for (auto _ : state) {
        XMap<XString, void*> map;
        map.InitHashTable(kStringTable);
        for (const std::string& k : keys) map.SetAt(k.c_str(), nullptr);
        benchmark::DoNotOptimize(map.GetCount());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kStringKeys);
}

void BM_StringInsert_StdUnorderedMap(benchmark::State& state)
{
    const std::vector<std::string>& keys = StringKeys();
    for (auto _ : state) {
        std::unordered_map<std::string, void*> map;
        map.reserve(kStringKeys);
        for (const std::string& k : keys) map[k] = nullptr;
        benchmark::DoNotOptimize(map.size());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kStringKeys);
}

void BM_StringLookup_XMap(benchmark::State& state)
{
    const std::vector<std::string>& keys = StringKeys();
    XMap<XString, void*> map;
    map.InitHashTable(kStringTable);
    for (const std::string& k : keys) map.SetAt(k.c_str(), nullptr);
    for (auto _ : state) {
        void* v = nullptr;
        for (const std::string& k : keys) benchmark::DoNotOptimize(map.Lookup(k.c_str(), v));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kStringKeys);
}

void BM_StringLookup_StdUnorderedMap(benchmark::State& state)
{
    const std::vector<std::string>& keys = StringKeys();
    std::unordered_map<std::string, void*> map;
    map.reserve(kStringKeys);
    for (const std::string& k : keys) map[k] = nullptr;
    for (auto _ : state)
        for (const std::string& k : keys) benchmark::DoNotOptimize(map.find(k));
    state.SetItemsProcessed(int64_t(state.iterations()) * kStringKeys);
}

BENCHMARK(BM_StringInsert_XMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringInsert_StdUnorderedMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringLookup_XMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StringLookup_StdUnorderedMap)->Unit(benchmark::kMillisecond);

// ---- array growth by appends ---------------------------------------------------------

void BM_Append_XArray(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        XArray<void*> a;
        for (int i = 0; i < n; ++i) a.Add(&a);
        benchmark::DoNotOptimize(a.GetData());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
}

void BM_Append_StdVector(benchmark::State& state)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        std::vector<void*> a;
        for (int i = 0; i < n; ++i) a.push_back(&a);
        benchmark::DoNotOptimize(a.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * n);
}

BENCHMARK(BM_Append_XArray)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Append_StdVector)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace
