// A critical section and a scoped lock on it.
#pragma once

#include <mutex>

namespace Pelmora::Tivra {

/// A lock that one thread at a time holds. The object itself is the lock:
/// it cannot be copied or moved.
///
/// The section is re-entrant: a thread that holds it may enter it again and
/// must leave it as often as it entered. Objects that guard their state with
/// one section (XObject embeds one) can then call their own locked members
/// from inside a locked member. Lock() waits by blocking, never by spinning.
///
/// Besides Lock()/Unlock() it offers lock()/unlock()/try_lock(), so that it
/// can be used with std::unique_lock and std::condition_variable_any.
class XCriticalSection {
public:
    XCriticalSection() = default;
    ~XCriticalSection() = default;
    XCriticalSection(const XCriticalSection&) = delete;
    XCriticalSection& operator=(const XCriticalSection&) = delete;

    /// Enters the section, waiting while another thread holds it.
    void Lock() { m_cs.lock(); }
    /// Leaves the section once.
    void Unlock() { m_cs.unlock(); }
    /// Enters the section when that is possible without waiting.
    bool TryLock() { return m_cs.try_lock(); }

    void lock() { m_cs.lock(); }
    void unlock() { m_cs.unlock(); }
    bool try_lock() { return m_cs.try_lock(); }

private:
    std::recursive_mutex m_cs;
};

/// Holds a critical section for the lifetime of the object: the constructor
/// enters it, the destructor leaves it. A null section is allowed and makes
/// the lock do nothing.
class XLock {
public:
    explicit XLock(XCriticalSection* pCS);
    ~XLock();
    XLock(const XLock&) = delete;
    XLock& operator=(const XLock&) = delete;

private:
    XCriticalSection* m_pCS;
};

} // namespace Pelmora::Tivra
