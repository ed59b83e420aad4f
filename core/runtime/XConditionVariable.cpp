#include <tivra/runtime/XConditionVariable.h>

#include <chrono>
#include <mutex>

namespace Pelmora::Tivra {

XConditionVariable::XConditionVariable(bool bSignaled, bool bManualReset)
    : XConditionVariable(nullptr, bSignaled, bManualReset)
{
}

XConditionVariable::XConditionVariable(XCriticalSection* pCS, bool bSignaled, bool bManualReset)
    : m_pCS(pCS ? pCS : new XCriticalSection), m_bExternalLock(pCS != nullptr), m_bManualReset(bManualReset),
      m_bSignaled(bSignaled), m_bAborted(false)
{
}

XConditionVariable::~XConditionVariable()
{
    {
        std::lock_guard lock(*m_pCS);
        m_bAborted = true;
        WakeEverySleeper();
    }
    m_cv.notify_all();
    if (!m_bExternalLock) delete m_pCS;
}

void XConditionVariable::Enqueue(Sleeper* p)
{
    p->pPrev = m_pLast;
    p->pNext = nullptr;
    if (m_pLast) m_pLast->pNext = p;
    else m_pFirst = p;
    m_pLast = p;
}

void XConditionVariable::Unlink(Sleeper* p)
{
    if (p->pPrev) p->pPrev->pNext = p->pNext;
    else m_pFirst = p->pNext;
    if (p->pNext) p->pNext->pPrev = p->pPrev;
    else m_pLast = p->pPrev;
    p->pPrev = p->pNext = nullptr;
}

void XConditionVariable::WakeFirst()
{
    if (Sleeper* p = m_pFirst) {
        Unlink(p);
        p->bWoken = true;
    }
}

void XConditionVariable::WakeEverySleeper()
{
    while (m_pFirst) WakeFirst();
}

int XConditionVariable::Wait(uint32_t timeoutMs)
{
    m_pCS->Lock();
    if (m_bSignaled) return 1;
    if (m_bAborted) return -1;
    m_bAborted = false;

    // Sleep until a Signal, SignalAll or Abort picks this sleeper. The
    // predicate makes spurious wake-ups of the standard variable invisible.
    Sleeper self;
    Enqueue(&self);
    const auto woken = [&self] { return self.bWoken; };
    if (timeoutMs == XINFINITE) {
        m_cv.wait(*m_pCS, woken);
    } else if (!m_cv.wait_for(*m_pCS, std::chrono::milliseconds(timeoutMs), woken)) {
        Unlink(&self);
        return 0;
    }
    // A wake-up is reported by the abort state as it is now, not by the
    // signal: a Reset() between Abort() and the wake-up reads as signalled.
    return m_bAborted ? -1 : 1;
}

void XConditionVariable::Signal()
{
    {
        std::lock_guard lock(*m_pCS);
        if (m_bManualReset) m_bSignaled = true;
        WakeFirst();
    }
    // Every sleeper re-checks its own flag; only the one picked returns.
    m_cv.notify_all();
}

void XConditionVariable::SignalAll()
{
    {
        std::lock_guard lock(*m_pCS);
        if (m_bManualReset) m_bSignaled = true;
        WakeEverySleeper();
    }
    m_cv.notify_all();
}

void XConditionVariable::Abort()
{
    {
        std::lock_guard lock(*m_pCS);
        m_bAborted = true;
        WakeEverySleeper();
    }
    m_cv.notify_all();
}

int XConditionVariable::GetWaiterCount() const
{
    std::lock_guard lock(*m_pCS);
    int n = 0;
    for (const Sleeper* p = m_pFirst; p; p = p->pNext) ++n;
    return n;
}

void XConditionVariable::Reset()
{
    std::lock_guard lock(*m_pCS);
    m_bSignaled = false;
    m_bAborted = false;
}

} // namespace Pelmora::Tivra
