// Helpers shared by the translation units of libostrel.so.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>

namespace Pelmora::Ostrel::Native {

/// Counts native objects handed out through the C surface and not yet
/// deleted; lets the .NET tests observe finalisation.
extern std::atomic<int64_t> g_nLiveObjects;

/// Returns what body returns or, when body throws, what onFailure returns.
///
/// No C++ exception may leave the C surface: one that reached a .NET caller
/// through P/Invoke would end the process. The entries that can throw are
/// those whose core code allocates through the C++ library or XString, which
/// report exhaustion by std::bad_alloc: the statistics (scratch rows), the
/// palette names (an XString), the camera model's refinement and DLT start
/// (index lists and the elimination's work arrays), the magnetic model (the
/// coefficient file's path and parse), the warp fits and the copy of a fitted
/// warp's cells (least-squares matrices, the cell array), the projective fit
/// (point arrays), the resampling runs and the convolution (the pool's and the
/// filter's work buffers), the geodesic batches (their pool), and object
/// creation (a constructor; see NewCounted). Each of them runs its work through this guard. The other
/// entries cannot throw: the grid, the warp coefficients
/// and the camera's matrices take their memory from malloc or nothrow new
/// and report failure by their results, the progress holder only stores
/// values (atomically or under its lock), and the single geodesic, sensor,
/// angle and point functions allocate nothing.
template <class Body, class OnFailure>
auto Guarded(Body&& body, OnFailure&& onFailure) noexcept -> decltype(body())
{
    try {
        return body();
    } catch (...) {
        return onFailure();
    }
}

/// Creates an object with nothrow new and counts it; null on failure,
/// including a constructor that throws.
template <class T, class... Args>
T* NewCounted(Args&&... args) noexcept
{
    T* p = Guarded([&] { return new (std::nothrow) T(std::forward<Args>(args)...); },
                   [] { return static_cast<T*>(nullptr); });
    if (p) g_nLiveObjects.fetch_add(1, std::memory_order_relaxed);
    return p;
}

/// Destroys an object made by NewCounted; null is ignored.
template <class T>
void DeleteCounted(T* p) noexcept
{
    if (!p) return;
    delete p;
    g_nLiveObjects.fetch_sub(1, std::memory_order_relaxed);
}

} // namespace Pelmora::Ostrel::Native
