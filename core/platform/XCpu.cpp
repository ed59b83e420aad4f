// The processor's vector level, found once, and the limit tests put on it.
#include "platform/XCpu.h"

#include <algorithm>
#include <atomic>

namespace Pelmora::Tivra::XPlatform {

namespace {

CpuLevel Detect()
{
#ifdef TIVRA_CPU_X86
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f")) return CpuLevel::Avx512;
    if (__builtin_cpu_supports("avx2")) return CpuLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return CpuLevel::Sse2;
#endif
    return CpuLevel::Plain;
}

/// The level GetCpuLevel reports at most; the widest unless a test limits it.
std::atomic<CpuLevel> g_limit{CpuLevel::Avx512};

} // namespace

CpuLevel GetCpuLevel()
{
    static const CpuLevel detected = Detect();
    return std::min(detected, g_limit.load(std::memory_order_relaxed));
}

CpuLevelLimit::CpuLevelLimit(CpuLevel level) : m_previous(g_limit.exchange(level)) {}

CpuLevelLimit::~CpuLevelLimit() { g_limit.store(m_previous); }

} // namespace Pelmora::Tivra::XPlatform
