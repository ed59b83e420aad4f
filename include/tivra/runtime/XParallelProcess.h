// A pool of one worker thread per processor running a per-index Process().
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

namespace Pelmora::Tivra {

/// The number of processors this process may run on.
int GetNumberOfProcessors();

/// A pool of worker threads, one per processor, each pinned to its own
/// processor and created once, at construction. Run() has every worker
/// execute Process(index) with its own index and blocks until all are done;
/// how the work is divided is the subclass's decision (Process reads
/// m_nThreads, treating 0 as 1). Each worker reports its progress with
/// OnMessagePercent(index, ...) and GetPercent() reads the mean.
///
/// Run() is not re-entrant: one pass at a time, from one controlling thread.
/// The percent queries may be called from any thread during a pass.
class XParallelProcess {
public:
    XParallelProcess();
    virtual ~XParallelProcess();
    XParallelProcess(const XParallelProcess&) = delete;
    XParallelProcess& operator=(const XParallelProcess&) = delete;

    // Virtual operations in slot order (after the destructor).
    virtual void Process(int nIndex) = 0;
    virtual void OnMessagePercent(int nIndex, double dPercent);
    virtual void OnMessagePercent(int nIndex, int nPercent);
    /// The mean percent of the workers, truncated toward zero; 0 without workers.
    virtual int GetPercent();
    /// One worker's percent; 0 for an index at or beyond the worker count.
    virtual int GetPercent(int nIndex);

    /// Recreates the pool with n workers; n outside 0..processors means one
    /// per processor. The same count as now changes nothing. Returns the count.
    int SetNumberOfThreads(int n);
    int GetNumberOfThreads() const { return m_nThreads; }
    /// Runs Process(index) on every worker (on the calling thread as index 0
    /// when there are no workers) and waits for all. False when a worker does
    /// not exist or the pass was stopped or killed.
    bool Run();
    /// Asks the running pass to stop (Process implementations poll IsStopping)
    /// and waits until every worker is idle.
    bool Stop();
    /// Ends and joins every worker; the pool then has none.
    bool CloseThreads();
    bool IsValid(int nIndex) const;
    /// True while a stop or the pool's shut-down has been requested.
    bool IsStopping() const { return m_bStop.load(std::memory_order_relaxed) || m_bKill.load(std::memory_order_relaxed); }

protected:
    /// Start signal, quit signal and done state of one worker; they stand in
    /// for its start (auto-reset), quit (auto-reset) and done (manual-reset,
    /// initially set) events.
    struct WorkerSignals;
    struct Context {
        XParallelProcess* pOwner;
        int32_t nIndex;
    };

    std::thread* m_phThreads;
    std::atomic<uint32_t>* m_pdwThreadIDs;
    Context* m_pContexts;
    std::atomic<bool> m_bKill;
    std::atomic<bool> m_bStop;
    std::atomic<int32_t>* m_pnPercent;
    int32_t m_nThreads;
    int32_t m_nProcessors;
    WorkerSignals* m_pSignals;

private:
    static void WorkerProc(Context* pContext);
};

} // namespace Pelmora::Tivra
