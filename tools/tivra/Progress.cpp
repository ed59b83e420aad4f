#include "Progress.h"

#include <tivra/runtime/XParallelProcess.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <future>
#include <thread>
#include <unistd.h>

namespace Pelmora::Tivra::Tool {

ProgressBar::ProgressBar(std::string label) : m_label(std::move(label)), m_enabled(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar()
{
    Finish();
}

void ProgressBar::Update(double fraction)
{
    if (!m_enabled || m_finished) return;
    const int percent = fraction <= 0 ? 0 : fraction >= 1 ? 100 : static_cast<int>(fraction * 100);
    if (percent <= m_last) return;
    m_last = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%-12s [%.*s%*s] %3d%%", m_label.c_str(), filled,
                 "========================================", kWidth - filled, "", percent);
    std::fflush(stderr);
}

void ProgressBar::Finish()
{
    if (!m_enabled || m_finished) return;
    if (m_last >= 0) {
        Update(1.0);
        std::fputc('\n', stderr);
    }
    m_finished = true;
}

bool RunWithProgress(XParallelProcess& pool, const std::function<bool()>& job, const ProgressSpan& span)
{
    if (!span.bar || !span.bar->Enabled()) return job();
    for (int i = 0; i < std::max(1, pool.GetNumberOfThreads()); ++i) pool.OnMessagePercent(i, 0);
    std::packaged_task<bool()> task(job);
    std::future<bool> done = task.get_future();
    std::thread worker(std::move(task));
    // Wakes as soon as the job ends, else every 50 ms to redraw.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        span.Update(pool.GetPercent() / 100.0);
    worker.join();
    span.Update(1.0);
    return done.get();
}

} // namespace Pelmora::Tivra::Tool
