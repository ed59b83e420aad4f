// XString against its standard-library counterparts: substring search on a
// 1 MiB text, formatting of a typical message, one-character appends and
// case-insensitive comparison.
#include <benchmark/benchmark.h>

#include <tivra/runtime/XString.h>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

using namespace Pelmora::Tivra;

namespace {

constexpr int kTextBytes = 1 << 20;

/// 1 MiB of random lower-case letters with the pattern only at the very end,
/// so every search reads the whole text.
struct SearchCase {
    std::string strText;
    std::string strPattern;
    XString sText;

    explicit SearchCase(int nPattern)
    {
        std::mt19937 rng(42);
        strPattern.resize(size_t(nPattern));
        for (char& c : strPattern) c = char('a' + rng() % 26);
        strText.resize(size_t(kTextBytes - nPattern));
        for (char& c : strText) c = char('a' + rng() % 26);
        strText += strPattern;
        sText = XString(strText.c_str(), int(strText.size()));
    }
};

const SearchCase& Case(int nPattern)
{
    static const SearchCase s_short(6), s_long(64);
    return nPattern == 6 ? s_short : s_long;
}

void BM_Find_XString(benchmark::State& state)
{
    const SearchCase& c = Case(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(c.sText.Find(c.strPattern.c_str()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kTextBytes);
}

void BM_Find_StringView(benchmark::State& state)
{
    const SearchCase& c = Case(int(state.range(0)));
    const std::string_view text(c.strText), pattern(c.strPattern);
    for (auto _ : state) benchmark::DoNotOptimize(text.find(pattern));
    state.SetBytesProcessed(int64_t(state.iterations()) * kTextBytes);
}

void BM_Find_Memmem(benchmark::State& state)
{
    const SearchCase& c = Case(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(memmem(c.strText.data(), c.strText.size(), c.strPattern.data(), c.strPattern.size()));
    state.SetBytesProcessed(int64_t(state.iterations()) * kTextBytes);
}

BENCHMARK(BM_Find_XString)->Arg(6)->Arg(64);
BENCHMARK(BM_Find_StringView)->Arg(6)->Arg(64);
BENCHMARK(BM_Find_Memmem)->Arg(6)->Arg(64);

// A typical diagnostic message.
constexpr const char* kMessage = "Grid %s: %d x %d samples of type %d, mean %.3f, file %s";

void BM_Format_XString(benchmark::State& state)
{
    XString s;
    for (auto _ : state) {
        s.Format(kMessage, "elevation", 4096, 2048, 10, 1234.5678, "/data/tiles/n45e007.tvg");
        benchmark::DoNotOptimize(static_cast<const char*>(s));
    }
}

void BM_Format_Snprintf(benchmark::State& state)
{
    char aBuffer[256];
    for (auto _ : state) {
        std::snprintf(aBuffer, sizeof(aBuffer), kMessage, "elevation", 4096, 2048, 10, 1234.5678, "/data/tiles/n45e007.tvg");
        benchmark::DoNotOptimize(aBuffer);
    }
}

void BM_Format_XStringI64(benchmark::State& state)
{
    XString s;
    for (auto _ : state) {
        s.Format("offset %I64d of %I64u bytes", int64_t(1) << 40, uint64_t(3) << 41);
        benchmark::DoNotOptimize(static_cast<const char*>(s));
    }
}

BENCHMARK(BM_Format_XString);
BENCHMARK(BM_Format_Snprintf);
BENCHMARK(BM_Format_XStringI64);

// 1e6 appends of one character to an empty string. Past 512 characters the
// capacity class is the length + 1, so every append replaces the block.
constexpr int kAppends = 1000000;

void BM_Append_XString(benchmark::State& state)
{
    for (auto _ : state) {
        XString s;
        for (int i = 0; i < kAppends; ++i) s += char('a' + (i & 15));
        benchmark::DoNotOptimize(static_cast<const char*>(s));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kAppends);
}

void BM_Append_StdString(benchmark::State& state)
{
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kAppends; ++i) s += char('a' + (i & 15));
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kAppends);
}

BENCHMARK(BM_Append_XString)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Append_StdString)->Unit(benchmark::kMillisecond);

// Case-insensitive comparison of two 40-byte names that differ only in case.
constexpr const char* kName1 = "WGS84 Ellipsoid / World Geodetic System";
constexpr const char* kName2 = "wgs84 ellipsoid / world geodetic system";

void BM_CompareNoCase_XString(benchmark::State& state)
{
    const XString s(kName1);
    for (auto _ : state) benchmark::DoNotOptimize(s.CompareNoCase(kName2));
}

void BM_CompareNoCase_Strcasecmp(benchmark::State& state)
{
    const std::string s(kName1);
    for (auto _ : state) benchmark::DoNotOptimize(strcasecmp(s.c_str(), kName2));
}

/// The locale rule done naively: setlocale(LC_ALL, "") before every
/// comparison, for scale against XString's check.
void BM_CompareNoCase_SetlocaleEveryCall(benchmark::State& state)
{
    const std::string s(kName1);
    for (auto _ : state) {
        std::setlocale(LC_ALL, "");
        benchmark::DoNotOptimize(strcasecmp(s.c_str(), kName2));
    }
}

void BM_Equal_XString(benchmark::State& state)
{
    const XString s(kName1);
    for (auto _ : state) benchmark::DoNotOptimize(s == kName1);
}

void BM_Equal_Strcmp(benchmark::State& state)
{
    const std::string s(kName1);
    for (auto _ : state) benchmark::DoNotOptimize(std::strcmp(s.c_str(), kName1) == 0);
}

BENCHMARK(BM_CompareNoCase_XString);
BENCHMARK(BM_CompareNoCase_Strcasecmp);
BENCHMARK(BM_CompareNoCase_SetlocaleEveryCall);
BENCHMARK(BM_Equal_XString);
BENCHMARK(BM_Equal_Strcmp);

} // namespace
