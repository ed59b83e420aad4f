// XThread, XCriticalSection/XLock and XConditionVariable. Events are ordered
// by observable states, never by fixed sleeps; every wait is bounded so that
// a fault fails the test instead of hanging it.
#include <tivra/runtime/XConditionVariable.h>
#include <tivra/runtime/XCriticalSection.h>
#include <tivra/runtime/XThread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include <sys/resource.h>

using namespace Pelmora::Tivra;
using namespace std::chrono_literals;

namespace {

constexpr auto kLimit = 10s;  // reached only by a fault

/// Polls a state until it holds; false once kLimit has passed.
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

/// Process() counts its entry (and whether a stop was already raised then),
/// then waits until the test releases that execution: m_nReleased >= n.
class GatedThread : public XThread {
public:
    ~GatedThread() override { Kill(); }

    void Process() override
    {
        const int n = ++m_nEntered;
        if (IsStopping()) ++m_nStoppingAtEntry;
        PollUntil([&] { return m_nReleased >= n; });
        if (m_onLeave) m_onLeave(n);
        ++m_nLeft;
    }
    bool WaitEntered(int n) { return PollUntil([&] { return m_nEntered >= n; }); }
    bool WaitLeft(int n) { return PollUntil([&] { return m_nLeft >= n; }); }

    std::atomic<int> m_nEntered{0}, m_nLeft{0}, m_nReleased{0}, m_nStoppingAtEntry{0};
    std::function<void(int)> m_onLeave;  // runs on the worker at the end of execution n
};

} // namespace

TEST(RuntimeThread, PercentTruncatesTowardZeroWithoutClampingAndSaturates)
{
    GatedThread t;
    EXPECT_EQ(t.GetPercent(), 0);
    for (auto [in, out] : {std::pair{99.9, 99}, {-0.5, 0}, {-7.9, -7}, {250.0, 250}, {1e12, INT_MAX}, {-1e12, INT_MIN},
                           {std::nan(""), 0}}) {
        t.OnMessagePercent(in);
        EXPECT_EQ(t.GetPercent(), out) << in;
    }
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
    t.m_nReleased = 2;
    ASSERT_TRUE(t.WaitLeft(2));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_TRUE(t.IsStopped());  // stopped during the pass, no Run() since

    // A fence: one more Run() clears the flag and gives exactly one execution.
    ASSERT_TRUE(t.Run());
    EXPECT_FALSE(t.IsStopped());
    t.m_nReleased = 3;
    ASSERT_TRUE(t.WaitLeft(3));

    // Stop() from outside shows in IsStopping() only while Process() executes.
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(4));
    EXPECT_FALSE(t.IsStopping());
    t.Stop();
    EXPECT_TRUE(t.IsStopping());
    t.m_nReleased = 4;
    ASSERT_TRUE(t.WaitLeft(4));
    ASSERT_TRUE(PollUntil([&] { return !t.IsRunning(); }));
    EXPECT_FALSE(t.IsStopping());
    EXPECT_TRUE(t.IsStopped());
    EXPECT_EQ(t.m_nStoppingAtEntry, 0);
}

TEST(RuntimeThread, KillWaitsForRunningProcessAndBeatsPendingRun)
{
    GatedThread t;
    ASSERT_NE(t.Create(), nullptr);
    ASSERT_TRUE(t.Run());
    ASSERT_TRUE(t.WaitEntered(1));
    EXPECT_TRUE(t.Run());  // pending while Process() runs

    std::atomic<bool> killed{false};
    std::thread killer([&] { killed = t.Kill(); });
    // Kill() has raised its flags and now waits for Process() to return.
    ASSERT_TRUE(PollUntil([&] { return t.IsStopping(); }));
    EXPECT_FALSE(killed);
    t.m_nReleased = 1;
    killer.join();
    EXPECT_TRUE(killed);
    EXPECT_EQ(t.m_nEntered, 1);  // the kill wins over the pending run

    // Without a thread only Stop() succeeds, and it does not read as stopped.
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.GetThreadID(), 0u);
    EXPECT_FALSE(t.Run());
    EXPECT_FALSE(t.Kill());
    EXPECT_FALSE(t.SetPriority(2));
    EXPECT_EQ(t.GetPriority(), 2);  // stored all the same
    EXPECT_TRUE(t.Stop());
    EXPECT_FALSE(t.IsStopped());

    // Suspended and killed before any Run(): no execution at all.
    ASSERT_NE(t.Create(true, 0), nullptr);
    EXPECT_TRUE(t.Kill());
    EXPECT_EQ(t.m_nEntered, 1);

    // Suspended, Run() resumes it for one execution.
    ASSERT_NE(t.Create(true, 0), nullptr);
    ASSERT_TRUE(t.Run());
    t.m_nReleased = 2;
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
    t.m_nReleased = 4;
    ASSERT_TRUE(t.WaitLeft(3));
    EXPECT_EQ(selfKill, 0);
    EXPECT_TRUE(t.Kill());  // releases the ended thread
    EXPECT_FALSE(t.IsValid());
    EXPECT_EQ(t.m_nEntered, 3);
}

TEST(RuntimeThread, PriorityMapsToNiceValuesOfTheWorkerThread)
{
    GatedThread t;
    ASSERT_NE(t.Create(false, 0), nullptr);
    const auto nice = [&t] { return getpriority(PRIO_PROCESS, static_cast<id_t>(t.GetThreadID())); };
    const int processNice = getpriority(PRIO_PROCESS, 0);
    EXPECT_TRUE(nice() == 0 || nice() == processNice) << nice();  // lowering to 0 may be refused

    // Levels by rising nice value; an unknown level means normal. Raising the
    // nice value is never refused, lowering it needs a privilege, and a
    // refusal leaves the thread where it was.
    const std::pair<int, int> levels[] = {{3, -20}, {2, -10}, {1, -5},  {0, 0},  {7, 0},
                                          {-4, 0},  {-1, 5},  {-2, 10}, {-3, 19}};
    for (auto [level, expected] : levels) {
        const int before = nice();
        const bool ok = t.SetPriority(level);
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
        { XLock inner(&cs); }
        EXPECT_TRUE(HeldElsewhere(cs));  // still held once
    }
    EXPECT_FALSE(HeldElsewhere(cs));
    { XLock none(nullptr); }  // a null section makes the lock do nothing

    // A contended XLock must wait: the read, yield and write of a plain
    // counter lose increments when two threads interleave.
    long counter = 0;
    auto add = [&] {
        for (int i = 0; i < 20000; ++i) {
            XLock lock(&cs);
            const long n = counter;
            std::this_thread::yield();
            counter = n + 1;
        }
    };
    std::thread a(add), b(add);
    a.join();
    b.join();
    EXPECT_EQ(counter, 40000);
}

TEST(RuntimeConditionVariable, LatchedAbortedAndLostSignalsWithoutSleepers)
{
    // Calls in order: S Signal, A SignalAll, R Reset, X Abort; 0, 1 and - are
    // what the next Wait returns (-1 for -). Only a 0 may time out: a latched
    // signal or the abort state returns at once.
    const struct { bool bSignaled, bManualReset; const char* pszCalls; } cases[] = {
        {false, true, "0S11R0A1RX-S1R0"},  // manual reset: the signal latches; it is reported before the abort
        {false, false, "SA0X-R0"},         // auto reset: a signal nobody waits for is lost
        {true, false, "11R0"},             // constructed signalled: latched whatever the reset mode
    };
    for (const auto& c : cases) {
        XConditionVariable cv(c.bSignaled, c.bManualReset);
        for (const char* p = c.pszCalls; *p != '\0'; ++p) {
            switch (*p) {
            case 'S': cv.Signal(); break;
            case 'A': cv.SignalAll(); break;
            case 'R': cv.Reset(); break;
            case 'X': cv.Abort(); break;
            default:
                // Wait returns holding the section, entered once.
                EXPECT_EQ(cv.Wait(*p == '0' ? 0 : 10000), *p == '-' ? -1 : *p - '0')
                    << c.pszCalls << " at " << p - c.pszCalls;
                EXPECT_TRUE(HeldElsewhere(*cv.GetLock()));
                cv.Unlock();
                EXPECT_FALSE(HeldElsewhere(*cv.GetLock()));
            }
        }
    }

    // With the caller's section, Wait returns holding that section.
    XCriticalSection cs;
    XConditionVariable external(&cs, true, true);
    EXPECT_EQ(external.Wait(0), 1);
    EXPECT_TRUE(HeldElsewhere(cs));
    cs.Unlock();
}

TEST(RuntimeConditionVariable, WakeUpsGoToTheSleepersChosenByTheCall)
{
    XConditionVariable cv(false, false);
    EXPECT_EQ(cv.Wait(20), 0);
    cv.Unlock();
    EXPECT_EQ(cv.GetWaiterCount(), 0);  // the timed-out sleeper has left the queue
    auto first = Sleeper(cv, 60000);    // a finite wait signalled in time returns 1
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    auto second = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 2; }));

    // Signal wakes the longest sleeper. Holding the section keeps it from
    // returning: the wake-up is already assigned to it and a Wait begun now
    // does not take it (a zero time-out never sleeps, so waiting while held
    // is fine).
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

    // SignalAll and Abort wake every sleeper, with 1 and -1.
    for (auto [wake, expected] : {std::pair{&XConditionVariable::SignalAll, 1}, {&XConditionVariable::Abort, -1}}) {
        std::vector<std::future<int>> all;
        for (int i = 0; i < 3; ++i) all.push_back(Sleeper(cv));
        ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 3; }));
        (cv.*wake)();
        for (auto& f : all) EXPECT_EQ(f.get(), expected);
    }

    // A woken sleeper reads the abort state when it gets the section back:
    // a Reset() in between turns its wake-up into 1.
    cv.Reset();
    auto late = Sleeper(cv);
    ASSERT_TRUE(PollUntil([&] { return cv.GetWaiterCount() == 1; }));
    cv.Lock();
    cv.Abort();
    cv.Reset();
    cv.Unlock();
    EXPECT_EQ(late.get(), 1);
}
