// Load: threads at once resample, compute statistics, format strings and fill
// maps and arrays; every round must equal what a single thread computed. The
// sanitizer builds watch what the threads share: the allocators, the class
// registry, the worker pools and the read-only source grid.
#include <gtest/gtest.h>

#include <tivra/grid/XGrid.h>
#include <tivra/grid/XStatistics.h>
#include <tivra/mt/XResamplePixels.h>
#include <tivra/mt/XWarpCoeff.h>
#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XString.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace Pelmora::Tivra;

namespace {

/// What one round computes. The statistics are compared by their bits: the
/// same computation gives the same bits.
struct RoundResult {
    std::vector<uint8_t> resampled;
    uint64_t nCount = 0;
    double stats[4] = {};  // min, max, mean, deviation
    std::string strText;
    uintptr_t uMapSum = 0, uArraySum = 0;

    bool operator==(const RoundResult& o) const
    {
        return resampled == o.resampled && nCount == o.nCount && std::memcmp(stats, o.stats, sizeof stats) == 0 &&
               strText == o.strText && uMapSum == o.uMapSum && uArraySum == o.uArraySum;
    }
};

XGrid SourceGrid()
{
    XGrid g(128, 128, XDT_SINT16);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> u(-3000, 9000);
    for (int r = 0; r < g.GetRSize(); ++r)
        for (int c = 0; c < g.GetCSize(); ++c) g.SetValue(r, c, double(u(rng)), 0, 0, 0);
    return g;
}

/// One round: angle, method and sizes depend on the round.
RoundResult OneRound(const XGrid& src, int nRound)
{
    RoundResult res;
    XWarpCoeff w;
    w.CreateRotation(nRound * 37 % 360, 64.0, 64.0);
    XGrid dst(96, 96, XDT_SINT16);
    if (!MT::ResampleByWarp(&src, &dst, &w, nRound % 3, -1)) return res;
    const auto* p = static_cast<const uint8_t*>(dst.GetData());
    res.resampled.assign(p, p + size_t(96) * 96 * dst.GetDataSize());
    double* st = res.stats;
    Xfn::GetStatistics(dst, 0, 95, 0, 95, -1, res.nCount, st[0], st[1], st[2], st[3]);

    XString s;
    s.Format("%d|%.17g|%-12s|%08.3f|%x", nRound, st[2], "load", st[3], unsigned(res.nCount));
    res.strText = static_cast<const char*>(s);

    XMapStringToPtr map;
    XArray<void*> arr;
    const int n = 100 + nRound * 13;
    for (int i = 0; i < n; ++i) {
        XString key;
        key.Format("key-%d-%d", nRound, i);
        map.SetAt(key, reinterpret_cast<void*>(uintptr_t(i + 1)));
        arr.Add(reinterpret_cast<void*>(uintptr_t(i * 3)));
    }
    for (int i = 0; i < n; i += 3) {
        XString key;
        key.Format("key-%d-%d", nRound, i);
        void* v = nullptr;
        if (map.Lookup(key, v)) res.uMapSum += reinterpret_cast<uintptr_t>(v);
    }
    for (int i = 0; i < arr.GetSize(); ++i) res.uArraySum += reinterpret_cast<uintptr_t>(arr.GetAt(i));
    return res;
}

} // namespace

TEST(Load, ManyThreadsAtOnceGiveTheSingleThreadedResults)
{
    constexpr int kThreads = 8, kRounds = 24;
    const XGrid src = SourceGrid();
    std::vector<RoundResult> expected;
    for (int r = 0; r < kRounds; ++r) {
        expected.push_back(OneRound(src, r));
        ASSERT_FALSE(expected.back().resampled.empty()) << r;
    }

    // Each thread starts at another round, so that different work overlaps.
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const int r = (i + t) % kRounds;
                if (!(OneRound(src, r) == expected[r])) ++mismatches[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}
