// libtivra_test_doubles.so: native objects for the .NET tests of the
// public layer's registries, built with the tests only.
//
// Two classes, one per registry protocol:
//   SCDouble      an SC object: virtual slots 0 (add a reference), 2 (class
//                 name) and 3 (release a reference), its reference count in
//                 its fourth 32-bit word; it deletes itself when the count
//                 falls to zero.
//   ObjectDouble  an XObject, destroyed by the registries through its
//                 virtual destructor.
// Both count their construction, reference changes and destruction, record
// each destruction's tag in an event log, and count the faults a registry
// could commit: an object used or destroyed after its destruction, and an
// XObject destroyed while someone besides its creator still references it.
//
// So that a use after destruction is seen and not merely undefined, the
// memory of destroyed objects is kept (and the objects marked dead) until
// DoublesReset. Under AddressSanitizer it is freed at once instead, and the
// sanitizer reports such a use.
//
// The library also acts as a sibling module of the shared record: it reads
// the record through libXGlobal.so by its fixed layout and installs
// shut-down hooks there.
#include <dlfcn.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <new>
#include <stdexcept>
#include <unordered_set>
#include <vector>

#include <tivra/env/XGlobal.h>
#include <tivra/runtime/XObject.h>

using Pelmora::Tivra::tagTivraGlobal;
using Pelmora::Tivra::XObject;

namespace {

/// Marks of a live and a destroyed double, chosen so that neither is a
/// plausible count or pointer half.
constexpr int32_t kAlive = 0x5C0B1EC7;
constexpr int32_t kDead = -0x0DEAD0BB;

/// What the tests read through DoublesGetCounters; the field order is the
/// C# mirror's.
struct DoublesCounters {
    int64_t nSCCreated;
    int64_t nSCDestroyed;
    int64_t nSCRefsAdded;     ///< slot-0 calls
    int64_t nSCRefsReleased;  ///< slot-3 calls
    int64_t nObjectsCreated;
    int64_t nObjectsDestroyed;
    int64_t nDestroyedWhileReferenced;
    int64_t nUsedAfterDestruction;
};

std::atomic<int64_t> g_nSCCreated{0}, g_nSCDestroyed{0}, g_nSCRefsAdded{0}, g_nSCRefsReleased{0};
std::atomic<int64_t> g_nObjectsCreated{0}, g_nObjectsDestroyed{0};
std::atomic<int64_t> g_nDestroyedWhileReferenced{0}, g_nUsedAfterDestruction{0};

/// Destruction tags and hook numbers (negated), in the order they happened.
std::mutex g_mutexEvents;
std::vector<int32_t> g_events;

/// Memory of destroyed doubles, freed by DoublesReset; a set, since an object
/// destroyed twice (a fault the counters report) is handed back twice.
std::mutex g_mutexRetired;
std::unordered_set<void*> g_retired;

void Record(int32_t nEvent)
{
    std::lock_guard<std::mutex> lock(g_mutexEvents);
    g_events.push_back(nEvent);
}

void Retire(void* p)
{
#if defined(__SANITIZE_ADDRESS__)
    ::operator delete(p);
#else
    std::lock_guard<std::mutex> lock(g_mutexRetired);
    g_retired.insert(p);
#endif
}

/// Counts a use of a destroyed double; true when the double is alive.
bool CheckAlive(int32_t nMagic)
{
    if (nMagic == kAlive) return true;
    g_nUsedAfterDestruction.fetch_add(1);
    return false;
}

class SCDouble final {
public:
    SCDouble(bool bScene, int32_t nTag) : m_nMagic(kAlive), m_nRefer(1), m_nTag(nTag), m_bScene(bScene)
    {
        g_nSCCreated.fetch_add(1);
    }

    // The four virtual slots, in this order, are the protocol's.
    virtual void AddRef()
    {
        if (!CheckAlive(m_nMagic)) return;
        g_nSCRefsAdded.fetch_add(1);
        m_nRefer.fetch_add(1);
    }

    /// Slot 1 is not part of the protocol.
    virtual int32_t GetTag() const { return m_nTag; }

    virtual const char* GetClassName() const
    {
        CheckAlive(m_nMagic);
        return m_bScene ? "XScene" : "XSceneLayer";
    }

    virtual void Release()
    {
        if (!CheckAlive(m_nMagic)) return;
        g_nSCRefsReleased.fetch_add(1);
        if (m_nRefer.fetch_sub(1) == 1) delete this;
    }

    int32_t GetReferCount() const
    {
        CheckAlive(m_nMagic);
        return m_nRefer.load();
    }

    static void operator delete(void* p) { Retire(p); }

    // The layout is the protocol's, so it is public for the check below.
    std::atomic<int32_t> m_nMagic;  ///< third 32-bit word
    std::atomic<int32_t> m_nRefer;  ///< fourth 32-bit word: the count the registries read
    int32_t m_nTag;
    bool m_bScene;

private:
    /// Only Release ends an SC double.
    ~SCDouble()
    {
        m_nMagic = kDead;
        g_nSCDestroyed.fetch_add(1);
        Record(m_nTag);
    }
};

// The registries read the count at byte 12: after the 8-byte virtual table
// pointer and one 32-bit word.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
static_assert(sizeof(std::atomic<int32_t>) == 4);
static_assert(offsetof(SCDouble, m_nRefer) == 12);
#pragma GCC diagnostic pop

class ObjectDouble final : public XObject {
public:
    /// Starts with one reference, the creator's.
    explicit ObjectDouble(int32_t nTag) : m_nMagic(kAlive), m_nTag(nTag)
    {
        Ref();
        g_nObjectsCreated.fetch_add(1);
    }

    ~ObjectDouble() override
    {
        if (!CheckAlive(m_nMagic)) return;
        m_nMagic = kDead;
        // One reference, the creator's, is what the registries destroy at;
        // zero is a creator's last Unref.
        if (GetReferCount() > 1) g_nDestroyedWhileReferenced.fetch_add(1);
        g_nObjectsDestroyed.fetch_add(1);
        Record(m_nTag);
    }

    bool IsAlive() const { return CheckAlive(m_nMagic); }

    static void operator delete(void* p) { Retire(p); }

private:
    int32_t m_nMagic;
    int32_t m_nTag;
};

/// The shared record as any module of the process sees it: through the
/// libXGlobal.so instance the core loaded.
tagTivraGlobal* SharedRecord()
{
    void* h = dlopen("libXGlobal.so", RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) return nullptr;
    auto pfn = reinterpret_cast<void* (*)()>(dlsym(h, "GetGlobalTivra"));
    void* p = pfn ? pfn() : nullptr;
    dlclose(h);
    return static_cast<tagTivraGlobal*>(p);
}

template <int N>
void RecordingHook()
{
    Record(-N);
}

template <int N>
void ThrowingHook()
{
    Record(-N);
    throw std::runtime_error("shut-down hook failed");
}

constexpr void (*kRecordingHooks[10])() = {RecordingHook<1>, RecordingHook<2>, RecordingHook<3>, RecordingHook<4>,
                                           RecordingHook<5>, RecordingHook<6>, RecordingHook<7>, RecordingHook<8>,
                                           RecordingHook<9>, RecordingHook<10>};
constexpr void (*kThrowingHooks[10])() = {ThrowingHook<1>, ThrowingHook<2>, ThrowingHook<3>, ThrowingHook<4>,
                                          ThrowingHook<5>, ThrowingHook<6>, ThrowingHook<7>, ThrowingHook<8>,
                                          ThrowingHook<9>, ThrowingHook<10>};

} // namespace

extern "C" {

/// Zeroes the counters and the event log and frees the kept memory of
/// destroyed doubles. No double may be in use.
void DoublesReset()
{
    for (auto* p : {&g_nSCCreated, &g_nSCDestroyed, &g_nSCRefsAdded, &g_nSCRefsReleased, &g_nObjectsCreated,
                    &g_nObjectsDestroyed, &g_nDestroyedWhileReferenced, &g_nUsedAfterDestruction})
        p->store(0);
    {
        std::lock_guard<std::mutex> lock(g_mutexEvents);
        g_events.clear();
    }
    std::lock_guard<std::mutex> lock(g_mutexRetired);
    for (void* p : g_retired) ::operator delete(p);
    g_retired.clear();
}

void DoublesGetCounters(DoublesCounters* pCounters)
{
    *pCounters = DoublesCounters{g_nSCCreated.load(),      g_nSCDestroyed.load(),
                                 g_nSCRefsAdded.load(),    g_nSCRefsReleased.load(),
                                 g_nObjectsCreated.load(), g_nObjectsDestroyed.load(),
                                 g_nDestroyedWhileReferenced.load(), g_nUsedAfterDestruction.load()};
}

/// Copies up to size events into buf; returns how many there are.
int32_t DoublesEvents(int32_t* buf, int32_t size)
{
    std::lock_guard<std::mutex> lock(g_mutexEvents);
    const auto n = static_cast<int32_t>(g_events.size());
    for (int32_t i = 0; i < n && i < size; ++i) buf[i] = g_events[static_cast<size_t>(i)];
    return n;
}

/// An SC double with one reference, the creator's; its class name is
/// "XScene" when bScene is non-zero.
void* DoublesNewSC(int32_t bScene, int32_t nTag) { return new SCDouble(bScene != 0, nTag); }

/// Slot 0 and slot 3, called as any holder of the object would.
void DoublesSCAddRef(void* p) { static_cast<SCDouble*>(p)->AddRef(); }
void DoublesSCRelease(void* p) { static_cast<SCDouble*>(p)->Release(); }
int32_t DoublesSCReferCount(void* p) { return static_cast<SCDouble*>(p)->GetReferCount(); }

/// An XObject double with one reference, the creator's.
void* DoublesNewObject(int32_t nTag) { return static_cast<XObject*>(new ObjectDouble(nTag)); }

void DoublesObjectRef(void* p)
{
    auto* pObject = static_cast<ObjectDouble*>(static_cast<XObject*>(p));
    if (pObject->IsAlive()) pObject->Ref();
}

void DoublesObjectUnref(void* p)
{
    auto* pObject = static_cast<ObjectDouble*>(static_cast<XObject*>(p));
    if (pObject->IsAlive()) pObject->Unref();
}

int32_t DoublesObjectReferCount(void* p)
{
    auto* pObject = static_cast<ObjectDouble*>(static_cast<XObject*>(p));
    pObject->IsAlive();
    return pObject->GetReferCount();
}

/// Installs shut-down hook nHook (1..10) in the shared record; it records
/// -nHook when called and then, if bThrow, throws a C++ exception. False
/// without a record or for another number.
int32_t DoublesInstallHook(int32_t nHook, int32_t bThrow)
{
    tagTivraGlobal* g = SharedRecord();
    if (g == nullptr || nHook < 1 || nHook > 10) return 0;
    g->m_pfnHook[nHook - 1] = (bThrow ? kThrowingHooks : kRecordingHooks)[nHook - 1];
    return 1;
}

/// Removes every shut-down hook from the shared record, if there is one.
void DoublesClearHooks()
{
    if (tagTivraGlobal* g = SharedRecord())
        for (auto& pfn : g->m_pfnHook) pfn = nullptr;
}

/// The configuration path of the shared record as this module reads it, or
/// null without a record.
const char* DoublesConfigPath()
{
    const tagTivraGlobal* g = SharedRecord();
    return g == nullptr ? nullptr : static_cast<const char*>(g->m_strConfigPath);
}

} // extern "C"
