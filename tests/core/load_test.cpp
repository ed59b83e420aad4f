// Load: several threads at once, each resampling on a worker pool of its
// own, computing statistics, formatting strings and filling maps and arrays,
// for a bounded number of rounds; every round's result must equal the one a
// single thread computed first. The sanitizer builds of the suite run it
// too, where AddressSanitizer and ThreadSanitizer watch what the threads
// share: the allocators, the class registry, the worker pools and the
// read-only source grid.
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

/// What one round computes, compared field by field.
struct RoundResult {
    std::vector<uint8_t> resampled;
    uint64_t nCount = 0;
    double dMin = 0, dMax = 0, dMean = 0, dStdDev = 0;
    std::string strText;
    uintptr_t uMapSum = 0;
    uintptr_t uArraySum = 0;

    bool operator==(const RoundResult& o) const
    {
        // Doubles compared by their bits: the same computation gives the same bits.
        return resampled == o.resampled && nCount == o.nCount && std::memcmp(&dMin, &o.dMin, sizeof dMin) == 0 &&
               std::memcmp(&dMax, &o.dMax, sizeof dMax) == 0 && std::memcmp(&dMean, &o.dMean, sizeof dMean) == 0 &&
               std::memcmp(&dStdDev, &o.dStdDev, sizeof dStdDev) == 0 && strText == o.strText &&
               uMapSum == o.uMapSum && uArraySum == o.uArraySum;
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

/// One round: a rotation of the source by a round-dependent angle with a
/// round-dependent method, its statistics, a formatted text, and a map and
/// an array of a round-dependent size.
RoundResult OneRound(const XGrid& src, int nRound)
{
    RoundResult res;
    XWarpCoeff w;
    w.CreateRotation(nRound * 37 % 360, 64.0, 64.0);
    XGrid dst(96, 96, XDT_SINT16);
    if (!MT::ResampleByWarp(&src, &dst, &w, nRound % 3, -1)) return res;
    const auto* p = static_cast<const uint8_t*>(dst.GetData());
    res.resampled.assign(p, p + size_t(96) * 96 * dst.GetDataSize());
    Xfn::GetStatistics(dst, 0, 95, 0, 95, -1, res.nCount, res.dMin, res.dMax, res.dMean, res.dStdDev);

    XString s;
    s.Format("%d|%.17g|%-12s|%08.3f|%x", nRound, res.dMean, "load", res.dStdDev, unsigned(res.nCount));
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

    // Every thread runs every round, each starting at another round, so
    // that different kinds of work overlap.
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
