// A condition variable with a latched signal and an abort state.
#pragma once

#include <condition_variable>
#include <cstdint>

#include <tivra/runtime/XCriticalSection.h>

namespace Pelmora::Tivra {

/// The time-out of XConditionVariable::Wait that never expires.
inline constexpr uint32_t XINFINITE = 0xFFFFFFFFu;

/// A condition variable bound to a critical section (its own or the
/// caller's), with two states of its own:
///
/// - signalled: with bManualReset true a signal latches, and every Wait
///   returns 1 at once until Reset(); with bManualReset false a signal only
///   wakes threads asleep in Wait and is lost when none is;
/// - aborted: Abort() wakes every sleeper with -1 and makes every later Wait
///   return -1 at once until Reset(); destruction aborts too.
///
/// Wait enters the critical section itself and returns with it held in every
/// case (signalled, aborted or timed out); the caller leaves it with Unlock().
/// The section is re-entrant, but a thread must not hold it when it calls
/// Wait: asleep, Wait leaves the section once, so a section entered twice
/// would stay held and nobody could signal.
///
/// Signal() wakes the thread that has slept longest; threads woken by
/// Signal, SignalAll or Abort are chosen when the call is made, so a thread
/// that starts waiting afterwards never takes a wake-up meant for another,
/// and no wake-up happens without a call (no spurious returns).
///
/// Every waiter must have left Wait before the object is destroyed.
class XConditionVariable {
public:
    /// Uses a critical section of its own.
    XConditionVariable(bool bSignaled = false, bool bManualReset = false);
    /// Uses the caller's critical section, which must outlive this object;
    /// a null pointer means a section of its own.
    XConditionVariable(XCriticalSection* pCS, bool bSignaled, bool bManualReset);
    ~XConditionVariable();
    XConditionVariable(const XConditionVariable&) = delete;
    XConditionVariable& operator=(const XConditionVariable&) = delete;

    /// Waits for a signal for at most timeoutMs milliseconds (XINFINITE: for
    /// ever). Returns 1 when signalled (at once while a latched signal is
    /// set), -1 when aborted (at once while the abort state is set), 0 on
    /// time-out. The critical section is held on return in all three cases.
    int Wait(uint32_t timeoutMs = XINFINITE);
    /// Latches the signal when the variable is manual-reset, then wakes the
    /// longest sleeper, if any.
    void Signal();
    /// Latches the signal when the variable is manual-reset, then wakes every
    /// sleeper.
    void SignalAll();
    /// Sets the abort state and wakes every sleeper.
    void Abort();
    /// Clears the latched signal and the abort state.
    void Reset();

    /// The critical section the variable is bound to.
    XCriticalSection* GetLock() const { return m_pCS; }
    /// Enters the critical section.
    void Lock() { m_pCS->Lock(); }
    /// Leaves the critical section, as the caller does after Wait returns.
    void Unlock() { m_pCS->Unlock(); }

    bool IsManualReset() const { return m_bManualReset; }
    /// The number of threads asleep in Wait that no call has woken yet.
    int GetWaiterCount() const;

private:
    /// One thread asleep in Wait; lives on that thread's stack and is linked
    /// into the queue of sleepers, in the order they began to sleep.
    struct Sleeper {
        Sleeper* pPrev = nullptr;
        Sleeper* pNext = nullptr;
        bool bWoken = false;
    };

    void Enqueue(Sleeper* p);
    void Unlink(Sleeper* p);
    void WakeFirst();
    void WakeEverySleeper();

    XCriticalSection* m_pCS;
    bool m_bExternalLock;
    bool m_bManualReset;
    bool m_bSignaled;
    bool m_bAborted;
    std::condition_variable_any m_cv;
    Sleeper* m_pFirst = nullptr;
    Sleeper* m_pLast = nullptr;
};

} // namespace Pelmora::Tivra
