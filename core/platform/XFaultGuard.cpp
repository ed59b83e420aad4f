#include "platform/XFaultGuard.h"

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace Pelmora::Tivra::XPlatform {

namespace {

/// The jump target of the copy in progress on this thread, null between
/// copies.
thread_local sigjmp_buf* volatile t_pTarget = nullptr;

/// The SIGBUS disposition found when ours was installed.
struct sigaction g_previous;

void ChainToPrevious(int nSignal, siginfo_t* pInfo, void* pContext)
{
    if (g_previous.sa_flags & SA_SIGINFO) {
        if (g_previous.sa_sigaction) g_previous.sa_sigaction(nSignal, pInfo, pContext);
        return;
    }
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(nSignal);
        return;
    }
    // Default (or ignored, which cannot stop a fault from recurring): restore
    // the default action; returning re-executes the faulting access, which
    // then ends the process as it would have without us.
    signal(nSignal, SIG_DFL);
}

void OnSigBus(int nSignal, siginfo_t* pInfo, void* pContext)
{
    if (sigjmp_buf* pTarget = t_pTarget) {
        t_pTarget = nullptr;
        siglongjmp(*pTarget, 1);
    }
    ChainToPrevious(nSignal, pInfo, pContext);
}

void InstallOnce()
{
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = OnSigBus;
        sigemptyset(&sa.sa_mask);
        // SA_NODEFER keeps SIGBUS unblocked while the handler runs, so the
        // jump out of it (which does not restore a signal mask: the targets
        // are armed without saving it, to keep a copy free of system calls)
        // leaves the thread's mask as it was.
        sa.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
        sigaction(SIGBUS, &sa, &g_previous);
    });
}

} // namespace

bool GuardedCopy(void* pDst, const void* pSrc, size_t nBytes)
{
    InstallOnce();
    sigjmp_buf target;
    if (sigsetjmp(target, 0) != 0) return false;  // arrived from the handler: t_pTarget already cleared
    t_pTarget = &target;
    // The fences keep the compiler from moving the copy outside the armed
    // span; the handler runs on this thread, so no hardware fence is needed.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(pDst, pSrc, nBytes);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_pTarget = nullptr;
    return true;
}

bool GuardedCall(void (*pfn)(void*), void* pContext)
{
    InstallOnce();
    sigjmp_buf target;
    if (sigsetjmp(target, 0) != 0) return false;
    t_pTarget = &target;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    pfn(pContext);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_pTarget = nullptr;
    return true;
}

} // namespace Pelmora::Tivra::XPlatform
