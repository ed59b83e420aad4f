// Stopping a resampling run between rows.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XResamplePixels.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Tivra::MT;

namespace {

/// Asks the pool to stop once progress has been reported a given number of
/// times (a worker reports after each share of rows it finishes).
class StoppingResampler : public XResamplePixels {
public:
    explicit StoppingResampler(int nStopAfter) : m_nStopAfter(nStopAfter) {}

    void OnMessagePercent(int nIndex, double dPercent) override
    {
        XResamplePixels::OnMessagePercent(nIndex, dPercent);
        if (++m_nRows >= m_nStopAfter) m_bStop = true;
    }

private:
    const int m_nStopAfter;
    std::atomic<int> m_nRows{0};
};

} // namespace

TEST(MtResampleStop, AStopEndsTheRunBetweenRowsAndLeavesEachRowWholeOrBackground)
{
    constexpr int kSide = 512, kBackground = 7;
    XGrid src(kSide, kSide, XDT_REAL32);
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) src.SetFromREAL64(r, c, r * 0.5 + c * 2.0 + 10);
    XWarpCoeff warp;
    warp.CreateRotation(5, kSide / 2.0, kSide / 2.0);

    XGrid full(kSide, kSide, XDT_REAL32);
    ASSERT_TRUE(ResampleByWarp(&src, &full, &warp, XINTERP_BILINEAR, kBackground));

    for (int threads : {0, 1, 2}) {
        StoppingResampler job(3);
        job.SetNumberOfThreads(threads);
        XGrid dst(kSide, kSide, XDT_REAL32);
        dst.SetSubset(-1.0, NAN_REAL64, NAN_REAL64, NAN_REAL64, 0, kSide - 1, 0, kSide - 1);
        const bool done = job.ResampleByWarp(&src, &dst, &warp, XINTERP_BILINEAR, kBackground);
        // Without workers the pass runs on the calling thread and reports no stop.
        if (threads > 0) {
            EXPECT_FALSE(done) << threads;
        }
        int whole = 0;
        const size_t rowBytes = kSide * sizeof(float);
        for (int r = 0; r < kSide; ++r) {
            const float* row = reinterpret_cast<const float*>(dst.GetData()) + size_t(r) * kSide;
            const bool same = std::memcmp(row, reinterpret_cast<const float*>(full.GetData()) + size_t(r) * kSide,
                                          rowBytes) == 0;
            bool background = true;
            for (int c = 0; c < kSide; ++c) background = background && row[c] == kBackground;
            EXPECT_TRUE(same || background) << "threads " << threads << ", row " << r;
            whole += same ? 1 : 0;
        }
        // Each worker finishes the rows it is on when another one asks to
        // stop, and starts no more.
        EXPECT_GT(whole, 0) << threads;
        EXPECT_LT(whole, kSide / 2) << threads;
    }
}
