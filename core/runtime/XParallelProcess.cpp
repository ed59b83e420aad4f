#include <tivra/runtime/XParallelProcess.h>

#include <condition_variable>
#include <mutex>
#include <system_error>

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

namespace Pelmora::Tivra {

int GetNumberOfProcessors()
{
    // The processors this process may run on, which is what the pool can use.
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return n;
    }
    const long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? int(n) : 1;
}

struct XParallelProcess::WorkerSignals {
    std::mutex mutex;
    std::condition_variable wake;  // start or quit for the worker
    std::condition_variable idle;  // done for the controller
    bool bStart = false;
    bool bQuit = false;
    bool bDone = true;
};

namespace {

/// The index-th processor of the process's affinity set, or -1.
int NthAllowedCpu(int index)
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return -1;
    for (int cpu = 0, seen = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set) && seen++ == index) return cpu;
    return -1;
}

} // namespace

XParallelProcess::XParallelProcess()
    : m_phThreads(nullptr), m_pdwThreadIDs(nullptr), m_pContexts(nullptr), m_bKill(false), m_bStop(false),
      m_pnPercent(nullptr), m_nThreads(0), m_nProcessors(GetNumberOfProcessors()), m_pSignals(nullptr)
{
    const int n = m_nProcessors;
    m_phThreads = new std::thread[n];
    m_pdwThreadIDs = new std::atomic<uint32_t>[n];
    m_pContexts = new Context[n]{};
    m_pnPercent = new std::atomic<int32_t>[n];
    m_pSignals = new WorkerSignals[n];
    for (int i = 0; i < n; ++i) {
        m_pdwThreadIDs[i] = 0;
        m_pnPercent[i] = 0;
    }
    SetNumberOfThreads(m_nProcessors);
}

XParallelProcess::~XParallelProcess()
{
    CloseThreads();
    delete[] m_phThreads;
    delete[] m_pdwThreadIDs;
    delete[] m_pContexts;
    delete[] m_pnPercent;
    delete[] m_pSignals;
}

void XParallelProcess::WorkerProc(Context* pContext)
{
    XParallelProcess* owner = pContext->pOwner;
    const int index = pContext->nIndex;
    owner->m_pdwThreadIDs[index] = static_cast<uint32_t>(gettid());
    WorkerSignals& s = owner->m_pSignals[index];
    for (;;) {
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&] { return s.bStart || s.bQuit; });
            if (s.bStart) {
                s.bStart = false;  // auto-reset
            } else {
                s.bQuit = false;
                return;
            }
        }
        owner->Process(index);
        {
            std::lock_guard lock(s.mutex);
            s.bDone = true;
        }
        s.idle.notify_all();
    }
}

int XParallelProcess::SetNumberOfThreads(int n)
{
    if (n < 0 || n > m_nProcessors) n = m_nProcessors;
    if (n == m_nThreads) return n;
    CloseThreads();
    for (int i = 0; i < n; ++i) {
        WorkerSignals& s = m_pSignals[i];
        s.bStart = s.bQuit = false;
        s.bDone = true;
    }
    for (int i = 0; i < n; ++i) {
        m_pContexts[i] = Context{this, i};
        try {
            m_phThreads[i] = std::thread(&XParallelProcess::WorkerProc, &m_pContexts[i]);
        } catch (const std::system_error&) {
            continue;  // the worker stays absent; Run() reports it
        }
        const int cpu = NthAllowedCpu(i);
        if (cpu >= 0) {
            cpu_set_t set;
            CPU_ZERO(&set);
            CPU_SET(cpu, &set);
            pthread_setaffinity_np(m_phThreads[i].native_handle(), sizeof set, &set);
        }
        m_pnPercent[i] = 0;
    }
    m_nThreads = n;
    m_bKill = false;
    m_bStop = false;
    return n;
}

bool XParallelProcess::Run()
{
    m_bKill = false;
    m_bStop = false;
    if (m_nThreads == 0) {
        Process(0);
        return true;
    }
    for (int i = 0; i < m_nThreads; ++i) {
        if (!m_phThreads[i].joinable()) return false;
        WorkerSignals& s = m_pSignals[i];
        {
            std::lock_guard lock(s.mutex);
            s.bDone = false;
            s.bStart = true;
        }
        s.wake.notify_one();
    }
    for (int i = 0; i < m_nThreads; ++i) {
        WorkerSignals& s = m_pSignals[i];
        std::unique_lock lock(s.mutex);
        s.idle.wait(lock, [&] { return s.bDone; });
    }
    return !m_bStop && !m_bKill;
}

bool XParallelProcess::Stop()
{
    m_bStop = true;
    for (int i = 0; i < m_nThreads; ++i) {
        WorkerSignals& s = m_pSignals[i];
        std::unique_lock lock(s.mutex);
        s.idle.wait(lock, [&] { return s.bDone; });
    }
    return true;
}

bool XParallelProcess::CloseThreads()
{
    m_bKill = true;
    m_bStop = true;
    for (int i = 0; i < m_nThreads; ++i) {
        if (!m_phThreads[i].joinable()) continue;
        WorkerSignals& s = m_pSignals[i];
        {
            std::lock_guard lock(s.mutex);
            s.bQuit = true;
        }
        s.wake.notify_one();
        m_phThreads[i].join();
        m_pdwThreadIDs[i] = 0;
        m_pnPercent[i] = 0;
        s.bStart = s.bQuit = false;
        s.bDone = true;
    }
    m_bKill = false;
    m_bStop = false;
    m_nThreads = 0;
    return true;
}

bool XParallelProcess::IsValid(int nIndex) const
{
    return nIndex >= 0 && nIndex < m_nThreads && m_phThreads[nIndex].joinable();
}

void XParallelProcess::OnMessagePercent(int nIndex, double dPercent)
{
    if (nIndex < 0 || nIndex >= m_nThreads) return;
    // Truncated toward zero; values beyond the 32-bit range saturate, NaN reads 0.
    const int32_t v = dPercent >= 2147483647.0 ? INT32_MAX
                      : dPercent <= -2147483648.0 ? INT32_MIN
                      : dPercent == dPercent ? int32_t(dPercent) : 0;
    m_pnPercent[nIndex].store(v, std::memory_order_relaxed);
}

void XParallelProcess::OnMessagePercent(int nIndex, int nPercent)
{
    if (nIndex >= 0 && nIndex < m_nThreads) m_pnPercent[nIndex].store(nPercent, std::memory_order_relaxed);
}

int XParallelProcess::GetPercent()
{
    if (m_nThreads < 1) return 0;
    double sum = 0.0;
    for (int i = 0; i < m_nThreads; ++i) sum += m_pnPercent[i].load(std::memory_order_relaxed);
    return int(sum / (m_nThreads * 100.0) * 100.0);
}

int XParallelProcess::GetPercent(int nIndex)
{
    return nIndex >= 0 && nIndex < m_nThreads ? m_pnPercent[nIndex].load(std::memory_order_relaxed) : 0;
}

} // namespace Pelmora::Tivra
