#include <tivra/runtime/XThread.h>

#include <condition_variable>
#include <mutex>
#include <new>

#include <sys/resource.h>
#include <unistd.h>

namespace Pelmora::Tivra {

struct XThread::Signals {
    std::mutex mutex;
    std::condition_variable cv;
    bool bRun = false;      // auto-reset: taken (cleared) by the thread loop
    bool bKill = false;     // manual-reset: stays set until the thread ends
    bool bResumed = false;  // false while the thread is held suspended
    bool bStarted = false;  // the thread has published its id
    uint32_t tid = 0;
};

namespace {

/// The nice value that stands for a priority of the -3..3 scale.
int NiceOf(int n)
{
    static constexpr int kNice[7] = {19, 10, 5, 0, -5, -10, -20};
    return n >= -3 && n <= 3 ? kNice[n + 3] : 0;
}

int32_t TruncatedPercent(double d)
{
    return d >= 2147483647.0 ? INT32_MAX : d <= -2147483648.0 ? INT32_MIN : d == d ? int32_t(d) : 0;
}

} // namespace

XThread::XThread()
    : m_hThread(nullptr), m_dwThreadID(0), m_bKill(false), m_bStop(false), m_nPercent(0), m_nMin(0), m_nMax(100),
      m_nPriority(0), m_bRunning(false), m_pSignals(nullptr)
{
}

XThread::~XThread() { Kill(); }

void XThread::ThreadProc(XThread* p, Signals* s)
{
    {
        std::lock_guard lock(s->mutex);
        s->tid = static_cast<uint32_t>(gettid());
        s->bStarted = true;
    }
    s->cv.notify_all();
    {
        // A thread created suspended executes nothing before it is resumed.
        std::unique_lock lock(s->mutex);
        s->cv.wait(lock, [s] { return s->bResumed; });
    }
    p->SetRunning(false);
    for (;;) {
        {
            std::unique_lock lock(s->mutex);
            s->cv.wait(lock, [s] { return s->bKill || s->bRun; });
            // The kill signal wins when both are set, and is never cleared.
            if (s->bKill) return;
            s->bRun = false;
        }
        p->SetRunning(true);
        p->Process();
        p->SetRunning(false);
    }
}

std::thread* XThread::Create(bool bSuspended, int nPriority)
{
    Kill();
    Signals* s = new (std::nothrow) Signals;
    if (!s) return nullptr;
    s->bResumed = !bSuspended;
    std::thread* t = nullptr;
    try {
        t = new std::thread(&XThread::ThreadProc, this, s);
    } catch (...) {  // std::system_error or std::bad_alloc: no thread
        delete s;
        return nullptr;
    }
    {
        // Wait for the thread's id, which SetPriority needs; a suspended
        // thread publishes it before it stops at the resume gate.
        std::unique_lock lock(s->mutex);
        s->cv.wait(lock, [s] { return s->bStarted; });
    }
    {
        XLock lock(&m_cs);
        m_hThread = t;
        m_pSignals = s;
        m_dwThreadID = s->tid;
    }
    SetPriority(nPriority);
    m_bKill = false;
    m_bStop = false;
    return t;
}

bool XThread::Run()
{
    XLock lock(&m_cs);
    if (!m_hThread) return false;
    m_bKill = false;
    m_bStop = false;
    {
        std::lock_guard guard(m_pSignals->mutex);
        m_pSignals->bResumed = true;
        m_pSignals->bRun = true;
    }
    m_pSignals->cv.notify_all();
    return true;
}

bool XThread::Stop()
{
    m_bStop = true;
    return true;
}

bool XThread::Kill()
{
    std::thread* t;
    Signals* s;
    {
        XLock lock(&m_cs);
        t = m_hThread;
        s = m_pSignals;
    }
    if (!t) return false;
    m_bKill = true;
    m_bStop = true;
    {
        std::lock_guard guard(s->mutex);
        s->bResumed = true;
        s->bKill = true;
    }
    s->cv.notify_all();
    // From Process() itself the thread cannot be joined; it leaves its loop
    // once Process() returns, and the next Kill() elsewhere releases it.
    if (t->get_id() == std::this_thread::get_id()) return false;
    // The thread sees the kill signal only between two Process() calls, so
    // this waits for a running Process() to return. The thread ends by
    // itself, so there is nothing to terminate by force.
    t->join();
    {
        XLock lock(&m_cs);
        m_hThread = nullptr;
        m_pSignals = nullptr;
        m_dwThreadID = 0;
    }
    delete t;
    delete s;
    m_bKill = false;
    m_bStop = false;
    return true;
}

bool XThread::SetPriority(int n)
{
    m_nPriority = n;
    XLock lock(&m_cs);
    if (!m_hThread) return false;
    // On Linux a thread id given to PRIO_PROCESS addresses that one thread.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(m_dwThreadID), NiceOf(n)) == 0;
}

bool XThread::IsValid() const
{
    XLock lock(&m_cs);
    return m_hThread != nullptr;
}

bool XThread::IsRunning() const
{
    XLock lock(&m_cs);
    return m_bRunning;
}

void XThread::SetRunning(bool bRunning)
{
    XLock lock(&m_cs);
    m_bRunning = bRunning;
}

bool XThread::IsStopping() const
{
    XLock lock(&m_cs);
    return m_bRunning && (m_bKill || m_bStop);
}

bool XThread::IsStopped() const
{
    XLock lock(&m_cs);
    return m_hThread != nullptr && !m_bRunning && m_bStop;
}

uint32_t XThread::GetThreadID() const
{
    XLock lock(&m_cs);
    return m_dwThreadID;
}

void XThread::OnMessagePercent(double dPercent) { m_nPercent.store(TruncatedPercent(dPercent), std::memory_order_relaxed); }

void XThread::OnMessagePercent(int nPercent) { m_nPercent.store(nPercent, std::memory_order_relaxed); }

int XThread::GetPercent() { return m_nPercent.load(std::memory_order_relaxed); }

void XThread::SetPercentRange(int nMin, int nMax)
{
    m_nMin.store(nMin, std::memory_order_relaxed);
    m_nMax.store(nMax, std::memory_order_relaxed);
}

void XThread::GetPercentRange(int& nMin, int& nMax)
{
    nMin = m_nMin.load(std::memory_order_relaxed);
    nMax = m_nMax.load(std::memory_order_relaxed);
}

} // namespace Pelmora::Tivra
