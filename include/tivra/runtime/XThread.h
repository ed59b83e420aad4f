// One long-lived worker thread that runs Process() each time it is told to.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include <tivra/runtime/XCriticalSection.h>

namespace Pelmora::Tivra {

/// A worker thread that executes the overridable Process() once per Run(),
/// with a progress value in percent, a percent range and a priority.
///
/// Create() starts the thread (idle, or suspended until the first Run() or
/// Kill()); Run() has it execute Process() once; Kill() ends it. Run() calls
/// made while Process() executes collapse into at most one further
/// execution. Kill() is seen only between executions, so Kill() and the
/// destructor wait for a running Process() to return: a long Process() polls
/// IsStopping() and returns early when it is true. Stop() never interrupts
/// Process(); it only raises the flag that IsStopping() reports.
///
/// A derived class must call Kill() in its own destructor: by the time this
/// base destructor runs, the derived part that Process() uses is gone.
///
/// Create(), Run() and Kill() are called from one controlling thread (not
/// from Process()); the queries, Stop() and the percent members may be called
/// from any thread. The percent is a plain progress value: the worker writes
/// it, others read it without a lock and may see a slightly stale value.
class XThread {
public:
    XThread();
    virtual ~XThread();
    XThread(const XThread&) = delete;
    XThread& operator=(const XThread&) = delete;

    // Virtual operations in slot order (after the destructor).
    virtual void Process() = 0;
    /// Stores the percent truncated toward zero (saturating at the 32-bit
    /// limits; NaN stores 0).
    virtual void OnMessagePercent(double dPercent);
    /// Stores the percent as given, without clamping.
    virtual void OnMessagePercent(int nPercent);
    virtual int GetPercent();
    virtual void GetPercentRange(int& nMin, int& nMax);

    /// Ends any previous thread with Kill(), then starts a new one with the
    /// given priority (see SetPriority). A suspended thread executes nothing
    /// until Run() or Kill() resumes it. Clears the stop and kill flags.
    /// Returns the new thread, owned by this object (never join or detach
    /// it), or null when no thread could be started.
    std::thread* Create(bool bSuspended = false, int nPriority = 0);
    /// Resumes the thread and has it execute Process() once more. Clears the
    /// stop and kill flags. False when no thread exists.
    bool Run();
    /// Raises the stop flag that IsStopping() reports; always true.
    bool Stop();
    /// Ends the thread: raises the stop and kill flags, waits (without a
    /// time-out) until a running Process() has returned and the thread has
    /// ended, releases it and clears both flags. False when no thread
    /// exists. Called from Process() itself it cannot wait for its own
    /// thread: it raises the flags and the kill signal, so that the thread
    /// ends once Process() returns, and returns false; a later Kill() from
    /// another thread (or the destructor) releases the ended thread.
    bool Kill();

    /// Stores n (the -3..3 scale of the public priority type), whatever its
    /// value, and applies it to the thread: -3..3 become the nice values 19,
    /// 10, 5, 0, -5, -10, -20 of that thread, any other value 0. False when no
    /// thread exists or the system refused; a refusal leaves the thread's
    /// priority as it was.
    ///
    /// On Linux an unprivileged process can lower a thread's priority (raise
    /// its nice value) but not raise it again, not even back to where it was:
    /// lowering a nice value needs the CAP_SYS_NICE capability or a
    /// RLIMIT_NICE resource limit that allows it. So SetPriority(-3) followed
    /// by SetPriority(0) leaves such a thread idle, and the second call
    /// returns false.
    bool SetPriority(int n);
    /// The value last given to SetPriority, applied or not.
    int GetPriority() const { return m_nPriority.load(std::memory_order_relaxed); }

    /// True while a thread exists (between Create and Kill).
    bool IsValid() const;
    /// True while Process() executes.
    bool IsRunning() const;
    void SetRunning(bool bRunning);
    /// True while Process() executes and a stop or kill has been asked for.
    bool IsStopping() const;
    /// True when a thread exists, Process() does not execute and Stop() has
    /// been called since the last Run().
    bool IsStopped() const;
    /// The system's identifier of the thread (its Linux thread id), 0 when
    /// there is none.
    uint32_t GetThreadID() const;

    /// Stores the range a Process() that is one stage of a larger job scales
    /// its progress into. The class applies no mapping with it.
    void SetPercentRange(int nMin, int nMax);

protected:
    /// Run, kill and resume signals and the thread's start-up hand-over. The
    /// run signal stands in for an auto-reset event (one Process() per
    /// signal, cleared when taken), the kill signal for a manual-reset event
    /// (stays set), the resume flag for a suspended start.
    struct Signals;

    std::thread* m_hThread;
    uint32_t m_dwThreadID;
    std::atomic<bool> m_bKill;
    std::atomic<bool> m_bStop;
    std::atomic<int32_t> m_nPercent;
    std::atomic<int32_t> m_nMin;
    std::atomic<int32_t> m_nMax;
    std::atomic<int32_t> m_nPriority;
    bool m_bRunning;
    /// Guards m_bRunning, m_hThread, m_dwThreadID and m_pSignals.
    mutable XCriticalSection m_cs;
    Signals* m_pSignals;

private:
    static void ThreadProc(XThread* pThread, Signals* pSignals);
};

} // namespace Pelmora::Tivra
