// Resampling and convolution through the C surface.
#include "ostrel_resample.h"
#include "ostrel_internal.h"

#include <atomic>
#include <cstddef>
#include <mutex>

#include <tivra/grid/XGrid.h>
#include <tivra/mt/XConvolve.h>
#include <tivra/mt/XMatrix.h>
#include <tivra/mt/XResamplePixels.h>

using namespace Pelmora::Tivra;
using namespace Pelmora::Ostrel::Native;
using MT::XCoordMap;
using MT::XProjectiveWarp;

// A coordinate map arrives as interleaved (x, y) doubles.
static_assert(sizeof(XVertex2<double>) == 2 * sizeof(double) && offsetof(XVertex2<double>, y) == sizeof(double));

namespace {

/// The resampler of the C surface: the core's, plus a cancel request that
/// outlives the pool's own stop flag (which every run clears as it starts) and
/// a progress callback fed from the workers' percent reports.
class Resampler final : public MT::XResamplePixels {
public:
    void Process(int nIndex) override
    {
        // The percents of the previous run are reset before the workers
        // start; from here on they count this run's rows.
        m_bReporting.store(true, std::memory_order_relaxed);
        PassOnCancel();
        XResamplePixels::Process(nIndex);
    }

    void OnMessagePercent(int nIndex, double dPercent) override
    {
        XResamplePixels::OnMessagePercent(nIndex, dPercent);
        Report(dPercent);
    }

    void OnMessagePercent(int nIndex, int nPercent) override
    {
        XResamplePixels::OnMessagePercent(nIndex, nPercent);
        Report(nPercent);
    }

    void SetCancel(bool bCancel)
    {
        m_bCancel.store(bCancel, std::memory_order_relaxed);
        PassOnCancel();
    }

    /// Runs one resampling with the callback attached; the callback sees each
    /// percent at most once and in rising order.
    template <class Run>
    bool RunWith(ostrel_progress_fn fn, void* user, Run run)
    {
        m_pfnProgress = fn;
        m_pUser = user;
        m_nReported = -1;
        m_bReporting = false;
        const bool ok = Guarded([&] { return run(); }, [] { return false; });
        m_bReporting = false;
        m_pfnProgress = nullptr;
        return ok && !m_bCancel.load(std::memory_order_relaxed);
    }

private:
    void PassOnCancel()
    {
        if (m_bCancel.load(std::memory_order_relaxed)) m_bStop = true;
    }

    void Report(double dPercent)
    {
        PassOnCancel();
        if (!m_pfnProgress || !m_bReporting.load(std::memory_order_relaxed)) return;
        // Without workers the pool keeps no percent; the caller's own value is the whole job's.
        const int percent = m_nThreads > 0 ? GetPercent() : static_cast<int>(dPercent);
        if (percent <= m_nReported.load(std::memory_order_relaxed)) return;
        std::lock_guard lock(m_mutex);
        if (percent <= m_nReported.load(std::memory_order_relaxed)) return;
        m_nReported.store(percent, std::memory_order_relaxed);
        m_pfnProgress(m_pUser, percent);
    }

    std::atomic<bool> m_bCancel{false};
    std::atomic<bool> m_bReporting{false};
    std::atomic<int> m_nReported{-1};
    std::mutex m_mutex;
    ostrel_progress_fn m_pfnProgress = nullptr;
    void* m_pUser = nullptr;
};

Resampler* R(ostrel_resampler* p) { return reinterpret_cast<Resampler*>(p); }
const Resampler* R(const ostrel_resampler* p) { return reinterpret_cast<const Resampler*>(p); }
const XGrid* G(const ostrel_grid* p) { return reinterpret_cast<const XGrid*>(p); }
XGrid* G(ostrel_grid* p) { return reinterpret_cast<XGrid*>(p); }

} // namespace

extern "C" {

ostrel_resampler* ostrel_resampler_new(void) { return reinterpret_cast<ostrel_resampler*>(NewCounted<Resampler>()); }

void ostrel_resampler_delete(ostrel_resampler* resampler) { DeleteCounted(R(resampler)); }

int32_t ostrel_resampler_set_threads(ostrel_resampler* resampler, int32_t n)
{
    // Creating a worker that the system refuses is reported by the pool, not thrown.
    return R(resampler)->SetNumberOfThreads(n);
}

int32_t ostrel_resampler_threads(const ostrel_resampler* resampler) { return R(resampler)->GetNumberOfThreads(); }

void ostrel_resampler_set_rounding(ostrel_resampler* resampler, int32_t round)
{
    R(resampler)->SetRounding(round != 0);
}

int32_t ostrel_resampler_rounding(const ostrel_resampler* resampler) { return R(resampler)->GetRounding() ? 1 : 0; }

void ostrel_resampler_set_source_nodata(ostrel_resampler* resampler, int32_t enable, double value)
{
    R(resampler)->SetSourceNoData(enable != 0, value);
}

int32_t ostrel_resampler_source_nodata(const ostrel_resampler* resampler, double* value)
{
    double v = 0;
    const bool on = R(resampler)->GetSourceNoData(v);
    if (on && value) *value = v;
    return on ? 1 : 0;
}

void ostrel_resampler_cancel(ostrel_resampler* resampler, int32_t cancel) { R(resampler)->SetCancel(cancel != 0); }

int32_t ostrel_resampler_by_warp(ostrel_resampler* resampler, const ostrel_grid* src, ostrel_grid* dst,
                                 ostrel_warp* warp, int32_t method, double background, ostrel_progress_fn progress,
                                 void* user)
{
    XWarpCoeff* w = reinterpret_cast<XWarpCoeff*>(warp);
    Resampler& r = *R(resampler);
    return r.RunWith(progress, user, [&] { return r.ResampleByWarp(G(src), G(dst), w, method, background); });
}

int32_t ostrel_resampler_by_projective(ostrel_resampler* resampler, const ostrel_grid* src, ostrel_grid* dst,
                                       const ostrel_projective* warp, int32_t method, double background,
                                       ostrel_progress_fn progress, void* user)
{
    const XProjectiveWarp* w = reinterpret_cast<const XProjectiveWarp*>(warp);
    Resampler& r = *R(resampler);
    return r.RunWith(progress, user, [&] { return r.ResampleByProjective(G(src), G(dst), w, method, background); });
}

int32_t ostrel_resampler_by_coord_map(ostrel_resampler* resampler, const ostrel_grid* src, ostrel_grid* dst,
                                      const double* map, int32_t rows, int32_t cols, int32_t method,
                                      double background, ostrel_progress_fn progress, void* user)
{
    const XCoordMap coords{reinterpret_cast<const XVertex2<double>*>(map), rows, cols};
    Resampler& r = *R(resampler);
    return r.RunWith(progress, user,
                     [&] { return r.ResampleByCoordMap(G(src), G(dst), &coords, method, background); });
}

int32_t ostrel_convolve(const ostrel_grid* src, const double* kernel, int32_t kernel_rows, int32_t kernel_cols,
                        ostrel_grid* dst, int32_t edge_mode, int32_t output_type)
{
    if (!kernel || kernel_rows < 1 || kernel_cols < 1) return 0;
    if (edge_mode != MT::XCONV_EDGE_SKIP && edge_mode != MT::XCONV_EDGE_CLAMP) return 0;
    // The kernel is borrowed, not copied; the filter's row buffers may run out of memory.
    return Guarded(
        [&]() -> int32_t {
            const XMatrix k(const_cast<double*>(kernel), kernel_rows, kernel_cols);
            return MT::Convolve(G(src), &k, G(dst), edge_mode, output_type) ? 1 : 0;
        },
        [] { return int32_t(0); });
}

} // extern "C"
