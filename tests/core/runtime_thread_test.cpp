// XThread, XCriticalSection/XLock and XConditionVariable. Events are ordered
// by condition variables and observable states, never by sleeps; every wait
// is bounded so that a fault fails the test instead of hanging it.
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

constexpr auto kLimit = 10s;  // reached only by a fault

/// Polls a state that nothing notifies (flags of the classes under test).
template <class Pred>
bool PollUntil(Pred pred)
{
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    for (; !pred(); std::this_thread::sleep_for(1ms))
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

/// Whether another thread is kept out of cs (the holder cannot tell: re-entrant).
bool HeldElsewhere(XCriticalSection& cs)
{
    return std::async(std::launch::async, [&cs] { return !cs.TryLock() || (cs.Unlock(), false); }).get();
}

/// cv.Wait(ms) on another thread; the result, or -99 if Wait returned
/// without holding the section.
std::future<int> Sleeper(XConditionVariable& cv, uint32_t ms = XINFINITE)
{
    return std::async(std::launch::async, [&cv, ms] {
        const int r = cv.Wait(ms);
        const bool held = HeldElsewhere(*cv.GetLock());
        cv.Unlock();
        return held ? r : -99;
    });
}

/// Process() records its entry, then blocks until the test releases that
/// execution (or, with m_bLeaveOnStop, until a stop is requested).
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
    void Release(int n) { Locked([&] { m_nReleased = n; }); }
    void StopAndNotify() { Stop(), Locked([] { return 0; }); }
    int Entered() { return Locked([&] { return m_nEntered; }); }
    std::vector<bool> StoppingAtEntry() { return Locked([&] { return m_stoppingAtEntry; }); }

    bool m_bLeaveOnStop = false;
    std::function<void(int)> m_onLeave;  // runs on the worker at the end of execution n

private:
    template <class F>
    std::invoke_result_t<F> Locked(F f)
    {
        std::lock_guard lock(m_m);
        m_cv.notify_all();
        return f();
    }
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
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.GetThreadID(), 0u);

    EXPECT_FALSE(t.Run());
    EXPECT_FALSE(t.Kill());
    EXPECT_FALSE(t.SetPriority(2));
    EXPECT_EQ(t.GetPriority(), 2);  // stored even without a thread
    EXPECT_TRUE(t.Stop());
    EXPECT_FALSE(t.IsStopped());  // no thread, so not stopped
    EXPECT_FALSE(t.IsStopping());

    // Truncation toward zero, no clamping, saturation at the int range.
    for (auto [in, out] : {std::pair{99.9, 99}, {-0.5, 0}, {-7.9, -7}, {250.0, 250}, {1e12, INT32_MAX}}) {
        t.OnMessagePercent(in);
        EXPECT_EQ(t.GetPercent(), out) << in;
    }
    t.SetPercentRange(30, 10);  // stored as given, no validation
    t.GetPercentRange(lo, hi);
    EXPECT_EQ((std::pair{lo, hi}), (std::pair{30, 10}));
}

TEST(RuntimeThread, RunCollapsesAndStopLastsUntilTheNextRun)
{
    GatedThread t;
    // Execution 2 raises the stop flag as its last act: an execution started
    // by a run signal that counted instead of collapsing would see it set.
    t.m_onLeave = [&t](int n) {
        if (n == 2) t.Stop();
    };
    ASSERT_NE(t.Create(), nullptr);
    EXPECT_NE(t.GetThreadID(), 0u);

    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(1));
    EXPECT_TRUE(t.IsRunning());
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(t.Run());
    t.Release(1);
    ASSERT_TRUE(t.WaitEntered(2));
    t.Release(2);
    ASSERT_TRUE(t.WaitLeft(2));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_TRUE(t.IsStopped());  // stopped during the pass, no Run() since

    // A fence: one more Run() clears the flag and gives exactly one execution.
    ASSERT_TRUE(t.Run());
    EXPECT_FALSE(t.IsStopped());
    ASSERT_TRUE(t.WaitEntered(3));
    t.Release(3);
    ASSERT_TRUE(t.WaitLeft(3));

    // Stop() from outside is seen by Process(), which leaves by itself.
    t.m_bLeaveOnStop = true;
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(4));
    t.StopAndNotify();
    ASSERT_TRUE(t.WaitLeft(4));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_FALSE(t.IsStopping());  // only while Process() executes
    EXPECT_TRUE(t.IsStopped());
    EXPECT_TRUE(t.Kill());
    EXPECT_EQ(t.StoppingAtEntry(), (std::vector<bool>{false, false, false, false}));
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
    EXPECT_EQ(t.Entered(), 1);  // the kill wins over the pending run
    EXPECT_FALSE(t.IsValid());
    EXPECT_FALSE(t.IsStopping());
    EXPECT_FALSE(t.IsStopped());
    EXPECT_FALSE(t.Run());

    // Suspended and killed before any Run(): no execution at all.
    ASSERT_NE(t.Create(true, 0), nullptr);
    EXPECT_TRUE(t.Kill());
    EXPECT_EQ(t.Entered(), 1);

    // Suspended, Run() resumes it for one execution.
    ASSERT_NE(t.Create(true, 0), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(2));
    t.Release(2);
    ASSERT_TRUE(t.WaitLeft(2));

    // Create() on a live thread first ends it; the new one works.
    ASSERT_NE(t.Create(), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(3));

    // Kill() from Process() cannot wait for its own thread: false, and the
    // thread ends once Process() returns.
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

    // Levels by rising nice value; an unknown level means normal. Raising the
    // nice value is never refused, lowering it needs a privilege, and a
    // refusal leaves the thread where it was.
    const std::pair<int, int> levels[] = {{3, -20}, {2, -10}, {1, -5},  {0, 0},  {7, 0},
                                          {-4, 0},  {-1, 5},  {-2, 10}, {-3, 19}};
    for (auto [level, expected] : levels) {
        const int before = nice();
        const bool ok = t.SetPriority(level);
        EXPECT_EQ(t.GetPriority(), level);
        EXPECT_EQ(nice(), ok ? expected : before) << "level " << level;
        EXPECT_TRUE(ok || expected < before) << "level " << level;
    }
    EXPECT_EQ(nice(), 19);
    EXPECT_EQ(getpriority(PRIO_PROCESS, 0), processNice);  // the caller is untouched

    ASSERT_NE(t.Create(false, -2), nullptr);  // Create() applies its priority
    EXPECT_TRUE(processNice > 10 || nice() == 10) << nice();
}

TEST(RuntimeLock, CriticalSectionExcludesOtherThreadsAndIsReentrant)
{
    XCriticalSection cs;
    {
        XLock outer(&cs);
        {
            XLock inner(&cs);
            EXPECT_TRUE(HeldElsewhere(cs));
        }
        EXPECT_TRUE(HeldElsewhere(cs));  // still held once
    }
    EXPECT_FALSE(HeldElsewhere(cs));
    { XLock none(nullptr); }  // a null section makes the lock do nothing

    long counter = 0;  // non-atomic: the lock must lose no increment
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
    // Each Wait(0) returns with the section held; every check leaves it again.
    const auto wait0 = [](XConditionVariable& cv, uint32_t ms = 0) {
        const int r = cv.Wait(ms);
        EXPECT_TRUE(HeldElsewhere(*cv.GetLock()));
        cv.Unlock();
        return r;
    };
    XConditionVariable manual(false, true);
    EXPECT_TRUE(manual.IsManualReset());
    EXPECT_EQ(wait0(manual), 0);
    manual.Signal();  // nobody waits: it latches
    EXPECT_EQ(wait0(manual), 1);
    EXPECT_EQ(wait0(manual, XINFINITE), 1);  // returns at once while latched
    manual.Reset();
    EXPECT_EQ(wait0(manual), 0);
    manual.SignalAll();
    EXPECT_EQ(wait0(manual), 1);

    XConditionVariable autoReset(false, false);
    autoReset.Signal();  // nobody waits: lost
    EXPECT_EQ(wait0(autoReset), 0);
    autoReset.SignalAll();
    EXPECT_EQ(wait0(autoReset), 0);

    // Constructed signalled, the state latches whatever the reset mode.
    XConditionVariable initially(true, false);
    EXPECT_EQ(wait0(initially), 1);
    EXPECT_EQ(wait0(initially), 1);
    initially.Reset();
    EXPECT_EQ(wait0(initially), 0);

    // With the caller's section, Wait returns holding that section.
    XCriticalSection cs;
    XConditionVariable external(&cs, true, true);
    EXPECT_EQ(external.GetLock(), &cs);
    EXPECT_EQ(wait0(external), 1);
    EXPECT_FALSE(HeldElsewhere(cs));
}

TEST(RuntimeConditionVariable, SignalWakesTheLongestSleeperAndIsNotStolen)
{
    XConditionVariable cv(false, false);
    auto first = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    auto second = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 2; }));

    // Holding the section keeps the woken thread from returning: the wake-up
    // is already assigned to the first sleeper and a Wait begun now does not
    // take it (a zero time-out never sleeps, so waiting while held is fine).
    cv.Lock();
    cv.Signal();
    EXPECT_EQ(cv.GetWaiterCount(), 1);
    EXPECT_EQ(cv.Wait(0), 0);
    cv.Unlock();
    cv.Unlock();
    ASSERT_EQ(first.wait_for(kLimit), std::future_status::ready);
    EXPECT_EQ(first.get(), 1);
    EXPECT_EQ(second.wait_for(0s), std::future_status::timeout);  // still asleep
    EXPECT_EQ(cv.GetWaiterCount(), 1);
    cv.Signal();
    EXPECT_EQ(second.get(), 1);

    std::vector<std::future<int>> all;
    for (int i = 0; i < 3; ++i) all.push_back(Sleeper(cv));
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 3; }));
    cv.SignalAll();
    for (auto& f : all) EXPECT_EQ(f.get(), 1);
}

TEST(RuntimeConditionVariable, AbortWakesEverySleeperAndHoldsUntilReset)
{
    XConditionVariable cv(false, true);
    auto a = Sleeper(cv), b = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 2; }));
    cv.Abort();
    EXPECT_EQ(a.get(), -1);
    EXPECT_EQ(b.get(), -1);

    EXPECT_EQ(cv.Wait(XINFINITE), -1);  // at once after Abort()
    cv.Unlock();
    cv.Signal();  // a latched signal is reported before the abort state
    EXPECT_EQ(cv.Wait(0), 1);
    cv.Unlock();
    cv.Reset();
    EXPECT_EQ(cv.Wait(0), 0);
    cv.Unlock();

    // A woken sleeper reads the abort state when it gets the section back:
    // a Reset() in between turns its wake-up into 1.
    auto late = Sleeper(cv);
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

    // The timed-out sleeper must not absorb the next signal.
    auto r = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Signal();
    ASSERT_EQ(r.wait_for(kLimit), std::future_status::ready);
    EXPECT_EQ(r.get(), 1);

    // A finite wait signalled in time returns 1, not 0.
    auto timed = Sleeper(cv, 60000);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Signal();
    EXPECT_EQ(timed.get(), 1);
}
