// XParallelProcess: worker count bounds, one execution per index and pass on
// its own pinned worker, mean percent, stop and shut-down. Waits are bounded.
#include <tivra/runtime/XParallelProcess.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include <sched.h>
#include <unistd.h>

using namespace Pelmora::Tivra;
using namespace std::chrono_literals;

namespace {

/// Polls a state that nothing notifies, for at most 10 s (reached only by a fault).
template <class Pred>
bool PollUntil(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (; !pred(); std::this_thread::sleep_for(1ms))
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

/// Process(index) runs a function the test sets between passes.
class Pool : public XParallelProcess {
public:
    void Process(int nIndex) override { m_body(nIndex); }
    uint32_t ThreadID(int i) const { return m_pdwThreadIDs[i]; }
    int Threads() const { return m_nThreads; }
    std::function<void(int)> m_body = [](int) {};
};

/// What the executions of Process(index) saw.
struct Visit {
    std::atomic<int> count{0};
    std::thread::id thread;
    uint32_t tid = 0;
    int threadsSeen = -1;
    int cpu = -1;  // the processor the thread is bound to; -1 if not bound to one
};

void Record(Pool& pool, std::vector<Visit>& visits)
{
    pool.m_body = [&pool, &visits](int i) {
        Visit& v = visits.at(i);
        v.count.fetch_add(1);
        v.thread = std::this_thread::get_id();
        v.tid = static_cast<uint32_t>(gettid());
        v.threadsSeen = pool.Threads();
        cpu_set_t set;
        CPU_ZERO(&set);
        sched_getaffinity(0, sizeof set, &set);
        for (int c = 0; c < CPU_SETSIZE && CPU_COUNT(&set) == 1; ++c)
            if (CPU_ISSET(c, &set)) v.cpu = c;
    };
}

} // namespace

TEST(RuntimeParallelProcess, WorkerCountIsBoundedAndClosingFallsBackToTheCaller)
{
    const int n = GetNumberOfProcessors();
    ASSERT_GE(n, 1);
    Pool pool;
    EXPECT_EQ(pool.GetNumberOfThreads(), n);
    EXPECT_TRUE(pool.IsValid(n - 1));
    EXPECT_FALSE(pool.IsValid(n));

    std::vector<Visit> visits(n + 1);
    Record(pool, visits);
    ASSERT_TRUE(pool.Run());  // a pass publishes the workers' ids
    std::vector<uint32_t> ids;
    for (int i = 0; i < n; ++i) ids.push_back(pool.ThreadID(i));

    // Out-of-range counts mean one worker per processor; the count the pool
    // already has keeps the very same workers.
    for (int count : {n, -1, n + 5}) EXPECT_EQ(pool.SetNumberOfThreads(count), n) << count;
    for (int i = 0; i < n; ++i) EXPECT_EQ(pool.ThreadID(i), ids[i]) << i;

    EXPECT_TRUE(pool.CloseThreads());
    EXPECT_EQ(pool.GetNumberOfThreads(), 0);
    for (int i = 0; i < n; ++i) EXPECT_TRUE(!pool.IsValid(i) && pool.ThreadID(i) == 0u) << i;

    // Without workers, Run() executes Process(0) once on the calling thread.
    for (auto& v : visits) v.count = 0;
    EXPECT_TRUE(pool.Run());
    EXPECT_EQ(visits[0].count, 1);
    EXPECT_EQ(visits[0].thread, std::this_thread::get_id());
    EXPECT_EQ(visits[0].threadsSeen, 0);

    EXPECT_EQ(pool.SetNumberOfThreads(1), 1);
    EXPECT_TRUE(pool.Run());
    EXPECT_EQ(visits[0].count, 2);
    EXPECT_NE(visits[0].thread, std::this_thread::get_id());
    EXPECT_EQ(visits[1].count, 0);
    EXPECT_EQ(pool.SetNumberOfThreads(0), 0);
    EXPECT_FALSE(pool.IsValid(0));
    EXPECT_EQ(pool.SetNumberOfThreads(-1), n);
}

TEST(RuntimeParallelProcess, EveryIndexRunsOncePerPassOnItsOwnPinnedWorker)
{
    const int n = GetNumberOfProcessors();
    Pool pool;
    std::vector<Visit> visits(n);
    Record(pool, visits);
    const auto threads = [&] {
        std::vector<std::thread::id> ids;
        for (const auto& v : visits) ids.push_back(v.thread);
        return ids;
    };

    ASSERT_TRUE(pool.Run());
    const auto first = threads();
    const std::set<std::thread::id> distinct(first.begin(), first.end());
    EXPECT_EQ(int(distinct.size()), n);
    EXPECT_EQ(distinct.count(std::this_thread::get_id()), 0u);
    std::set<int> cpus;
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(visits[i].threadsSeen, n);
        EXPECT_EQ(visits[i].tid, pool.ThreadID(i));
        EXPECT_NE(visits[i].cpu, -1) << "worker " << i << " is not bound to one processor";
        cpus.insert(visits[i].cpu);
    }
    EXPECT_EQ(int(cpus.size()), n);  // each worker on a processor of its own

    // Run() returns only when every worker is done: after each pass every
    // index has run once per pass, on the same worker each time.
    for (int pass = 2; pass <= 40; ++pass) {
        ASSERT_TRUE(pool.Run());
        for (int i = 0; i < n; ++i) ASSERT_EQ(visits[i].count, pass) << "index " << i;
        ASSERT_EQ(threads(), first);
    }
}

TEST(RuntimeParallelProcess, MeanPercentOfTheWorkersTruncatesTowardZero)
{
    const int n = GetNumberOfProcessors();
    Pool pool;
    // A mean of 37.5 from four workers, from two, or a lone worker's own value.
    const std::vector<int> percents = n >= 4   ? std::vector<int>{100, 50, 0, 0}
                                      : n >= 2 ? std::vector<int>{75, 0}
                                               : std::vector<int>{37};
    const int count = int(percents.size());
    ASSERT_EQ(pool.SetNumberOfThreads(count), count);
    pool.m_body = [&](int i) { pool.OnMessagePercent(i, percents[i]); };
    ASSERT_TRUE(pool.Run());
    EXPECT_EQ(pool.GetPercent(), 37);
    for (int i = 0; i < count; ++i) EXPECT_EQ(pool.GetPercent(i), percents[i]);

    // Truncation toward zero of each value and of the mean (-37.5 gives -37).
    pool.m_body = [&](int i) { pool.OnMessagePercent(i, i == 0 ? -75.9 : 0.4); };
    ASSERT_TRUE(pool.Run());
    for (int i = 0; i < count; ++i) EXPECT_EQ(pool.GetPercent(i), i == 0 ? -75 : 0);
    EXPECT_EQ(pool.GetPercent(), -75 / count);

    // Indices outside the workers are ignored and read as 0.
    for (int i : {-1, count}) {
        pool.OnMessagePercent(i, 80);
        pool.OnMessagePercent(i, 80.0);
        EXPECT_EQ(pool.GetPercent(i), 0);
    }
    pool.CloseThreads();
    EXPECT_EQ(pool.GetPercent(), 0);

    // A recreated worker starts at 0; the mean is over the workers, not the processors.
    ASSERT_EQ(pool.SetNumberOfThreads(1), 1);
    EXPECT_EQ(pool.GetPercent(0), 0);
    pool.m_body = [&](int i) { pool.OnMessagePercent(i, 50); };
    ASSERT_TRUE(pool.Run());
    EXPECT_EQ(pool.GetPercent(), 50);
}

TEST(RuntimeParallelProcess, StopEndsThePassAndTheNextRunStartsClean)
{
    const int n = GetNumberOfProcessors();
    Pool pool;
    std::atomic<int> entered{0}, left{0};
    pool.m_body = [&](int) {  // a long job that polls for the stop request
        ++entered;
        PollUntil([&] { return pool.IsStopping(); });
        ++left;
    };
    std::atomic<int> runResult{-1};
    std::thread controller([&] { runResult = pool.Run(); });
    ASSERT_TRUE(PollUntil([&] { return entered == n; }));
    EXPECT_TRUE(pool.Stop());
    EXPECT_EQ(left, n);  // Stop() returns only once every worker is idle
    controller.join();
    EXPECT_EQ(runResult, 0);  // the stopped pass reports failure

    // The next pass clears the request, also one asked for between passes.
    pool.m_body = [&](int) { ++entered; };
    EXPECT_TRUE(pool.Run());
    EXPECT_TRUE(pool.Stop());
    EXPECT_TRUE(pool.IsStopping());
    EXPECT_TRUE(pool.Run());
    EXPECT_FALSE(pool.IsStopping());
    EXPECT_EQ(entered, 3 * n);
}
