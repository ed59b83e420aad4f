// The one place that decides which vector code runs (internal).
//
// Vector kernels are written once over a lane type and compiled once per
// instruction set, each copy in a file of its own (named for the set) under
// `#pragma GCC target`. Such a file may only be entered on a processor that
// runs its instructions, so the plain code that calls into it first asks
// GetCpuLevel(). The level is found once; tests lower it with CpuLevelLimit
// to run each kernel, and the plain loops, on the same input.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
/// Defined where the vector kernels are compiled at all: on x86.
#define TIVRA_CPU_X86 1
#endif

namespace Pelmora::Tivra::XPlatform {

/// The instruction sets vector kernels are written for, each including the
/// ones before it.
enum class CpuLevel {
    Plain,  ///< no vector kernels: the plain loops (every processor that is not x86)
    Sse2,   ///< SSE2, which every x86-64 processor has
    Avx2,   ///< AVX2
    Avx512, ///< AVX-512 F, with AVX2
};

/// The widest level this processor runs (found on the first call), or less
/// while a CpuLevelLimit is in force.
CpuLevel GetCpuLevel();

/// For tests: while it lives, GetCpuLevel() reports at most the given level,
/// in every thread, so that the kernels chosen meanwhile are those of that
/// level (a level the processor lacks gives the widest it has). Limits nest;
/// each restores the one before it when it ends.
class CpuLevelLimit {
public:
    explicit CpuLevelLimit(CpuLevel level);
    ~CpuLevelLimit();
    CpuLevelLimit(const CpuLevelLimit&) = delete;
    CpuLevelLimit& operator=(const CpuLevelLimit&) = delete;

private:
    CpuLevel m_previous;
};

} // namespace Pelmora::Tivra::XPlatform
