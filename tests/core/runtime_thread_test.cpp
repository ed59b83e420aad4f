// XThread, XCriticalSection/XLock and XConditionVariable. Events are ordered
// with condition variables and observable states, never with sleeps; every
// wait is bounded so that a fault fails the test instead of hanging it.
#include <tivra/runtime/XConditionVariable.h>
#include <tivra/runtime/XCriticalSection.h>
#include <tivra/runtime/XThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/resource.h>

using namespace Pelmora::Tivra;
using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 10s;  // upper bound of every wait; reached only by a fault

/// Re-checks pred until it holds or the limit passes; for states that
/// nothing notifies (flags of the classes under test).
template <class Pred>
bool PollUntil(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

/// True when another thread cannot enter cs right now (the section is
/// re-entrant, so the holder itself cannot tell).
bool HeldElsewhere(XCriticalSection& cs)
{
    return std::async(std::launch::async, [&cs] {
               if (!cs.TryLock()) return true;
               cs.Unlock();
               return false;
           }).get() == true;
}

/// A thread whose Process() records its entry and then blocks until the test
/// releases that execution (or, when asked, until a stop is requested).
class GatedThread : public XThread {
public:
    ~GatedThread() override { Kill(); }

    void Process() override
    {
        std::unique_lock lock(m_m);
        const int n = ++m_nEntered;
        m_stoppingAtEntry.push_back(IsStopping());
        m_cv.notify_all();
        m_cv.wait_for(lock, kLimit, [&] { return m_nReleased >= n || (m_bLeaveOnStop && IsStopping()); });
        if (m_onLeave) m_onLeave(n);
        ++m_nLeft;
        m_cv.notify_all();
    }

    bool WaitEntered(int n) { return WaitFor([&] { return m_nEntered >= n; }); }
    bool WaitLeft(int n) { return WaitFor([&] { return m_nLeft >= n; }); }
    void Release(int n)
    {
        {
            std::lock_guard lock(m_m);
            m_nReleased = n;
        }
        m_cv.notify_all();
    }
    /// Stop() and a nudge for a Process() that waits for it.
    void StopAndNotify()
    {
        Stop();
        std::lock_guard lock(m_m);
        m_cv.notify_all();
    }
    int Entered()
    {
        std::lock_guard lock(m_m);
        return m_nEntered;
    }
    std::vector<bool> StoppingAtEntry()
    {
        std::lock_guard lock(m_m);
        return m_stoppingAtEntry;
    }

    bool m_bLeaveOnStop = false;
    std::function<void(int)> m_onLeave;  // runs on the worker at the end of execution n

private:
    template <class Pred>
    bool WaitFor(Pred pred)
    {
        std::unique_lock lock(m_m);
        return m_cv.wait_for(lock, kLimit, pred);
    }

    std::mutex m_m;
    std::condition_variable m_cv;
    int m_nEntered = 0, m_nLeft = 0, m_nReleased = 0;
    std::vector<bool> m_stoppingAtEntry;
};

} // namespace

TEST(RuntimeThread, NewObjectHoldsDefaultsAndRefusesWithoutThread)
{
    GatedThread t;
    int lo = -1, hi = -1;
    t.GetPercentRange(lo, hi);
    EXPECT_EQ((std::pair{lo, hi}), (std::pair{0, 100}));
    EXPECT_EQ(t.GetPercent(), 0);
    EXPECT_EQ(t.GetPriority(), 0);
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.GetThreadID(), 0u);

    EXPECT_FALSE(t.Run());
    EXPECT_FALSE(t.Kill());
    EXPECT_FALSE(t.SetPriority(2));
    EXPECT_EQ(t.GetPriority(), 2);  // stored even without a thread
    EXPECT_TRUE(t.Stop());
    EXPECT_FALSE(t.IsStopped());  // no thread, so not stopped
    EXPECT_FALSE(t.IsStopping());
    EXPECT_EQ(t.Entered(), 0);

    t.OnMessagePercent(99.9);
    EXPECT_EQ(t.GetPercent(), 99);
    t.OnMessagePercent(-0.5);
    EXPECT_EQ(t.GetPercent(), 0);
    t.OnMessagePercent(-7.9);
    EXPECT_EQ(t.GetPercent(), -7);
    t.OnMessagePercent(250);  // no clamping
    EXPECT_EQ(t.GetPercent(), 250);
    t.OnMessagePercent(1e12);
    EXPECT_EQ(t.GetPercent(), INT32_MAX);

    t.SetPercentRange(30, 10);  // stored as given, no validation
    t.GetPercentRange(lo, hi);
    EXPECT_EQ((std::pair{lo, hi}), (std::pair{30, 10}));
}

TEST(RuntimeThread, RunCallsDuringProcessCollapseIntoOneMoreExecution)
{
    GatedThread t;
    // The second execution raises the stop flag as its last act, so that an
    // execution started without a new Run() (a run signal that counted
    // instead of collapsing) would see IsStopping() true at its entry.
    t.m_onLeave = [&t](int n) {
        if (n == 2) t.Stop();
    };
    ASSERT_NE(t.Create(), nullptr);
    EXPECT_TRUE(t.IsValid());
    EXPECT_NE(t.GetThreadID(), 0u);

    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(1));
    EXPECT_TRUE(t.IsRunning());
    EXPECT_TRUE(t.Run());
    EXPECT_TRUE(t.Run());
    EXPECT_TRUE(t.Run());
    t.Release(1);
    ASSERT_TRUE(t.WaitEntered(2));
    t.Release(2);
    ASSERT_TRUE(t.WaitLeft(2));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_TRUE(t.IsStopped());  // stopped during the pass, no Run() since

    // A fence: one more Run() gives exactly one more execution, which starts
    // with the stop flag cleared by that Run().
    ASSERT_TRUE(t.Run());
    EXPECT_FALSE(t.IsStopped());
    ASSERT_TRUE(t.WaitEntered(3));
    t.Release(3);
    ASSERT_TRUE(t.WaitLeft(3));
    EXPECT_TRUE(t.Kill());
    EXPECT_EQ(t.Entered(), 3);
    EXPECT_EQ(t.StoppingAtEntry(), (std::vector<bool>{false, false, false}));
}

TEST(RuntimeThread, StopIsSeenByProcessAndLeavesTheThreadStoppedUntilNextRun)
{
    GatedThread t;
    t.m_bLeaveOnStop = true;
    ASSERT_NE(t.Create(), nullptr);
    EXPECT_FALSE(t.IsStopped());  // idle, never stopped

    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(1));
    EXPECT_FALSE(t.IsStopping());
    t.StopAndNotify();
    // Process() was not interrupted: it saw the request and left by itself.
    ASSERT_TRUE(t.WaitLeft(1));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_FALSE(t.IsStopping());  // only while Process() executes
    EXPECT_TRUE(t.IsStopped());
    EXPECT_TRUE(t.IsValid());

    // Run() clears the request: the next execution runs to its release.
    ASSERT_TRUE(t.Run());
    EXPECT_FALSE(t.IsStopped());
    ASSERT_TRUE(t.WaitEntered(2));
    EXPECT_FALSE(t.IsStopping());
    t.Release(2);
    ASSERT_TRUE(t.WaitLeft(2));
    EXPECT_EQ(t.StoppingAtEntry(), (std::vector<bool>{false, false}));
}

TEST(RuntimeThread, KillWaitsForRunningProcessAndBeatsPendingRun)
{
    GatedThread t;
    ASSERT_NE(t.Create(), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(1));
    EXPECT_TRUE(t.Run());  // pending while Process() runs

    std::atomic<bool> killed{false};
    std::thread killer([&] {
        EXPECT_TRUE(t.Kill());
        killed = true;
    });
    // Kill() has raised its flags and now waits for Process() to return.
    ASSERT_TRUE(PollUntil([&] { return t.IsStopping(); }));
    EXPECT_FALSE(killed);
    t.Release(1);
    killer.join();
    EXPECT_TRUE(killed);
    // The kill signal wins over the pending run: no second execution.
    EXPECT_EQ(t.Entered(), 1);
    EXPECT_FALSE(t.IsValid());
    EXPECT_FALSE(t.IsStopping());
    EXPECT_FALSE(t.IsStopped());  // no thread any more
    EXPECT_FALSE(t.Run());
    EXPECT_FALSE(t.Kill());

    // A suspended thread executes nothing; killed before any Run() it ends
    // without a single execution.
    ASSERT_NE(t.Create(true, 0), nullptr);
    EXPECT_TRUE(t.IsValid());
    EXPECT_TRUE(t.Kill());
    EXPECT_EQ(t.Entered(), 1);

    // Created suspended, Run() resumes it and has it execute once.
    ASSERT_NE(t.Create(true, 0), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(2));
    t.Release(2);
    ASSERT_TRUE(t.WaitLeft(2));

    // Create() on a live thread first ends it; the new one works.
    ASSERT_NE(t.Create(), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(3));

    // Kill() from Process() itself cannot wait for its own thread: it
    // reports false, and the thread ends once Process() returns.
    std::atomic<int> selfKill{-1};
    t.m_onLeave = [&](int n) {
        if (n == 3) selfKill = t.Kill();
    };
    t.Release(4);
    ASSERT_TRUE(t.WaitLeft(3));
    EXPECT_EQ(selfKill, 0);
    EXPECT_TRUE(t.Kill());  // releases the ended thread
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.Entered(), 3);
}

TEST(RuntimeThread, PriorityMapsToNiceValuesOfTheWorkerThread)
{
    GatedThread t;
    ASSERT_NE(t.Create(false, 0), nullptr);
    const auto nice = [&t] {
        errno = 0;
        return getpriority(PRIO_PROCESS, static_cast<id_t>(t.GetThreadID()));
    };
    const int processNice = getpriority(PRIO_PROCESS, 0);
    EXPECT_EQ(nice(), processNice);

    // Levels in order of rising nice value. Each either applies its nice
    // value to the worker thread or is refused and leaves it where it was;
    // raising the nice value (or keeping it) is never refused, lowering it
    // needs a privilege. An unknown level means normal (0).
    const std::pair<int, int> levels[] = {{3, -20}, {2, -10}, {1, -5}, {0, 0},  {7, 0},
                                          {-4, 0},  {-1, 5},  {-2, 10}, {-3, 19}};
    for (auto [level, expected] : levels) {
        const int before = nice();
        const bool ok = t.SetPriority(level);
        EXPECT_EQ(t.GetPriority(), level);
        EXPECT_EQ(nice(), ok ? expected : before) << "level " << level;
        if (expected >= before) {
            EXPECT_TRUE(ok) << "level " << level;
        }
    }
    EXPECT_EQ(nice(), 19);
    // Only the worker thread changed, not the caller.
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), processNice);

    // Create() applies its priority to the new thread.
    ASSERT_NE(t.Create(false, -2), nullptr);
    EXPECT_EQ(t.GetPriority(), -2);
    if (processNice <= 10) {
        EXPECT_EQ(nice(), 10);
    }

    t.Kill();
    EXPECT_FALSE(t.SetPriority(1));
    EXPECT_EQ(t.GetPriority(), 1);
}

TEST(RuntimeLock, CriticalSectionExcludesOtherThreadsAndIsReentrant)
{
    XCriticalSection cs;
    {
        XLock outer(&cs);
        XLock inner(&cs);  // re-entry by the holder
        EXPECT_TRUE(HeldElsewhere(cs));
    }
    EXPECT_FALSE(HeldElsewhere(cs));
    {
        XLock outer(&cs);
        {
            XLock inner(&cs);
        }
        EXPECT_TRUE(HeldElsewhere(cs));  // still held once
    }
    EXPECT_FALSE(HeldElsewhere(cs));
    {
        XLock none(nullptr);  // a null section makes the lock do nothing
    }

    // A non-atomic counter under the lock loses no increment.
    long counter = 0;
    auto add = [&] {
        for (int i = 0; i < 20000; ++i) {
            XLock lock(&cs);
            ++counter;
        }
    };
    std::thread a(add), b(add);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(RuntimeConditionVariable, LatchedSignalLostSignalAndInitialState)
{
    XConditionVariable manual(false, true);
    EXPECT_TRUE(manual.IsManualReset());
    EXPECT_EQ(manual.Wait(0), 0);
    EXPECT_TRUE(HeldElsewhere(*manual.GetLock()));  // held after a time-out too
    manual.Unlock();
    manual.Signal();  // nobody waits: it latches
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(manual.Wait(0), 1);
        EXPECT_TRUE(HeldElsewhere(*manual.GetLock()));
        manual.Unlock();
    }
    EXPECT_EQ(manual.Wait(XINFINITE), 1);  // returns at once while latched
    manual.Unlock();
    manual.Reset();
    EXPECT_EQ(manual.Wait(0), 0);
    manual.Unlock();
    manual.SignalAll();
    EXPECT_EQ(manual.Wait(0), 1);
    manual.Unlock();

    XConditionVariable autoReset(false, false);
    autoReset.Signal();  // nobody waits: lost
    EXPECT_EQ(autoReset.Wait(0), 0);
    autoReset.Unlock();
    autoReset.SignalAll();
    EXPECT_EQ(autoReset.Wait(0), 0);
    autoReset.Unlock();

    // Constructed signalled, the state latches whatever the reset mode.
    XConditionVariable initially(true, false);
    EXPECT_EQ(initially.Wait(0), 1);
    initially.Unlock();
    EXPECT_EQ(initially.Wait(0), 1);
    initially.Unlock();
    initially.Reset();
    EXPECT_EQ(initially.Wait(0), 0);
    initially.Unlock();

    // With the caller's section, Wait returns holding that section.
    XCriticalSection cs;
    XConditionVariable external(&cs, true, true);
    EXPECT_EQ(external.GetLock(), &cs);
    EXPECT_EQ(external.Wait(0), 1);
    EXPECT_TRUE(HeldElsewhere(cs));
    cs.Unlock();
    EXPECT_FALSE(HeldElsewhere(cs));
}

TEST(RuntimeConditionVariable, SignalWakesTheLongestSleeperAndIsNotStolen)
{
    XConditionVariable cv(false, false);
    std::atomic<int> first{99}, second{99};
    std::atomic<bool> firstHeld{false};
    std::thread a([&] {
        first = cv.Wait(XINFINITE);
        firstHeld = true;
        cv.Unlock();
    });
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    std::thread b([&] {
        second = cv.Wait(XINFINITE);
        cv.Unlock();
    });
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 2; }));

    // Hold the section so that the woken thread cannot return yet: the
    // wake-up is already assigned to the first sleeper, and a Wait begun now
    // does not take it. (Waiting while holding the section is fine only for
    // a zero time-out, which never sleeps.)
    cv.Lock();
    cv.Signal();
    EXPECT_EQ(cv.GetWaiterCount(), 1);
    EXPECT_EQ(cv.Wait(0), 0);
    cv.Unlock();
    cv.Unlock();
    ASSERT_TRUE(PollUntil([&] { return firstHeld.load(); }));
    a.join();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 99);  // still asleep
    EXPECT_EQ(cv.GetWaiterCount(), 1);

    cv.Signal();
    b.join();
    EXPECT_EQ(second, 1);
    EXPECT_EQ(cv.GetWaiterCount(), 0);

    // SignalAll wakes every sleeper, each with 1.
    std::vector<std::future<int>> all;
    for (int i = 0; i < 3; ++i)
        all.push_back(std::async(std::launch::async, [&] {
            const int r = cv.Wait(XINFINITE);
            cv.Unlock();
            return r;
        }));
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 3; }));
    cv.SignalAll();
    for (auto& f : all) EXPECT_EQ(f.get(), 1);
}

TEST(RuntimeConditionVariable, AbortWakesEverySleeperAndHoldsUntilReset)
{
    XConditionVariable cv(false, true);
    std::vector<std::future<std::pair<int, bool>>> sleepers;
    for (int i = 0; i < 2; ++i)
        sleepers.push_back(std::async(std::launch::async, [&] {
            const int r = cv.Wait(XINFINITE);
            const bool held = HeldElsewhere(*cv.GetLock());
            cv.Unlock();
            return std::pair{r, held};
        }));
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 2; }));
    cv.Abort();
    for (auto& f : sleepers) EXPECT_EQ(f.get(), (std::pair{-1, true}));

    // A Wait begun after Abort() returns -1 at once, even without a time-out.
    EXPECT_EQ(cv.Wait(XINFINITE), -1);
    cv.Unlock();
    // A latched signal is reported before the abort state.
    cv.Signal();
    EXPECT_EQ(cv.Wait(0), 1);
    cv.Unlock();
    cv.Reset();
    EXPECT_EQ(cv.Wait(0), 0);
    cv.Unlock();

    // A sleeper woken by Abort() reads the abort state as it is when it gets
    // the section back: a Reset() in between turns its wake-up into 1.
    auto late = std::async(std::launch::async, [&] {
        const int r = cv.Wait(XINFINITE);
        cv.Unlock();
        return r;
    });
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Lock();
    cv.Abort();
    cv.Reset();
    cv.Unlock();
    EXPECT_EQ(late.get(), 1);
}

TEST(RuntimeConditionVariable, TimeOutReturnsZeroAndLeavesNoSleeperBehind)
{
    XConditionVariable cv(false, false);
    EXPECT_EQ(cv.Wait(20), 0);
    EXPECT_TRUE(HeldElsewhere(*cv.GetLock()));
    cv.Unlock();
    EXPECT_EQ(cv.GetWaiterCount(), 0);

    // A sleeper that timed out must not absorb the next signal.
    auto r = std::async(std::launch::async, [&] {
        const int v = cv.Wait(XINFINITE);
        cv.Unlock();
        return v;
    });
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Signal();
    ASSERT_EQ(r.wait_for(kLimit), std::future_status::ready);
    EXPECT_EQ(r.get(), 1);

    // A finite wait that is signalled in time returns 1, not 0.
    auto timed = std::async(std::launch::async, [&] {
        const int v = cv.Wait(60000);
        cv.Unlock();
        return v;
    });
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Signal();
    EXPECT_EQ(timed.get(), 1);
}
