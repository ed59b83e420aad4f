// Helpers shared by the translation units of libostrel.so.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>

namespace Pelmora::Ostrel::Native {

/// Counts native objects handed out through the C surface and not yet
/// deleted; lets the .NET tests observe finalisation.
extern std::atomic<int64_t> g_nLiveObjects;

/// Creates an object with nothrow new and counts it; null on failure.
template <class T, class... Args>
T* NewCounted(Args&&... args) noexcept
{
    T* p = nullptr;
    try {
        p = new (std::nothrow) T(std::forward<Args>(args)...);
    } catch (...) {
        p = nullptr;
    }
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
