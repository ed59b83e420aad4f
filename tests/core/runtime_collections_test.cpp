#include <gtest/gtest.h>

#include <tivra/runtime/XArray.h>
#include <tivra/runtime/XMap.h>
#include <tivra/runtime/XObList.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <list>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

using namespace Pelmora::Tivra;

// The global operator new and delete are replaced for this test program so
// that the tests see when a container allocates and whether it frees it all.
// Each replacement forwards to the definition it hides (the C++ library's, or
// the address sanitizer's, whose checks then still apply) and counts on a
// thread while an AllocationCounter lives there; only the outermost call
// counts, as the array forms call the single-object ones.

namespace {

struct AllocationLog {
    bool bOn = false;
    int nCount = 0;    // allocations while on
    int nLive = 0;     // allocations minus frees while on
    size_t aBytes[64]; // sizes of the first 64 allocations
};
thread_local AllocationLog t_log;
thread_local int t_nDepth = 0; // replaced operators running on this thread

/// The definition of an operator that this program's replacement hides.
template <class FN>
FN Hidden(const char* pszMangled) { return reinterpret_cast<FN>(dlsym(RTLD_NEXT, pszMangled)); }

/// Calls a hidden definition with the depth raised, so that what it calls
/// back is not counted again.
template <class FN, class... A>
auto Forward(FN pfn, A... args)
{
    struct Depth {
        Depth() { ++t_nDepth; }
        ~Depth() { --t_nDepth; }
    } depth;
    return pfn(args...);
}

void* Counted(void* p, size_t cb)
{
    if (t_log.bOn && t_nDepth == 0) {
        if (t_log.nCount < 64) t_log.aBytes[t_log.nCount] = cb;
        ++t_log.nCount;
        ++t_log.nLive;
    }
    return p;
}

void* Uncounted(void* p) { if (p != nullptr && t_log.bOn && t_nDepth == 0) --t_log.nLive; return p; }

/// Counts on this thread from construction to destruction.
struct AllocationCounter {
    AllocationCounter() { t_log = AllocationLog{true}; }
    ~AllocationCounter() { t_log.bOn = false; }
    int Count() const { return t_log.nCount; }
    int Live() const { return t_log.nLive; }
    size_t Bytes(int i) const { return t_log.aBytes[i]; }
};

/// Leaves the test's own allocations out of the count while it lives.
struct CountingPaused {
    const bool bWasOn = t_log.bOn;
    CountingPaused() { t_log.bOn = false; }
    ~CountingPaused() { t_log.bOn = bWasOn; }
};

using NewFn = void* (*)(size_t);
using DelFn = void (*)(void*);
using SizedDelFn = void (*)(void*, size_t);

} // namespace

void* operator new(size_t cb) { static const auto f = Hidden<NewFn>("_Znwm"); return Counted(Forward(f, cb), cb); }
void* operator new[](size_t cb) { static const auto f = Hidden<NewFn>("_Znam"); return Counted(Forward(f, cb), cb); }
void operator delete(void* p) noexcept { static const auto f = Hidden<DelFn>("_ZdlPv"); Forward(f, Uncounted(p)); }
void operator delete[](void* p) noexcept { static const auto f = Hidden<DelFn>("_ZdaPv"); Forward(f, Uncounted(p)); }
void operator delete(void* p, size_t cb) noexcept
{
    static const auto f = Hidden<SizedDelFn>("_ZdlPvm");
    Forward(f, Uncounted(p), cb);
}
void operator delete[](void* p, size_t cb) noexcept
{
    static const auto f = Hidden<SizedDelFn>("_ZdaPvm");
    Forward(f, Uncounted(p), cb);
}

namespace {

void* P(uintptr_t n) { return reinterpret_cast<void*>(n); }

std::vector<void*> Items(const XArray<void*>& a) { return {a.GetData(), a.GetData() + a.GetSize()}; }

/// The keys of a map in walk order, each with the position it was read at.
template <class VALUE, class MAP>
std::vector<std::pair<typename MAP::KEY, XPOSITION>> Walk(const MAP& map)
{
    std::vector<std::pair<typename MAP::KEY, XPOSITION>> entries;
    for (XPOSITION pos = map.GetStartPosition(); pos != nullptr;) {
        const XPOSITION posEntry = pos;
        typename MAP::KEY key{};
        VALUE value{};
        map.GetNextAssoc(pos, key, value);
        entries.emplace_back(key, posEntry);
    }
    return entries;
}

template <class VALUE, class MAP>
std::vector<typename MAP::KEY> Keys(const MAP& map)
{
    std::vector<typename MAP::KEY> keys;
    for (const auto& entry : Walk<VALUE>(map)) keys.push_back(entry.first);
    return keys;
}

/// The list's elements walked forward, checked against a walk backward.
std::vector<XObject*> Elements(const XObList& list)
{
    std::vector<XObject*> forward, backward;
    for (XPOSITION pos = list.GetHeadPosition(); pos != nullptr;) forward.push_back(list.GetNext(pos));
    for (XPOSITION pos = list.GetTailPosition(); pos != nullptr;) backward.insert(backward.begin(), list.GetPrev(pos));
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(int(forward.size()), list.GetCount());
    return forward;
}

} // namespace

// ---- arrays -----------------------------------------------------------------------------

TEST(RuntimeCollections, ArrayGrowth)
{
    // An array of size and capacity nFrom, grown to nTo.
    const struct {
        int nFrom, nGrowBy, nTo, nMaxSize;
    } rows[] = {
        {100, 0, 101, 112},       // step 100 / 8 = 12
        {8, 0, 9, 12},            // 8 / 8 = 1, raised to 4
        {20000, 0, 20001, 21024}, // 2500, cut to 1024
        {8, 0, 100, 100},         // the size asked for beats capacity + step
        {5, 10, 6, 15},           // fixed step
        {5, 10, 40, 40},
    };
    for (const auto& r : rows) {
        AllocationCounter counter;
        XArray<void*> a;
        a.SetSize(r.nFrom, r.nGrowBy);
        // The first storage holds exactly the size asked for, all null.
        EXPECT_EQ(counter.Bytes(0), size_t(r.nFrom) * sizeof(void*));
        EXPECT_EQ(a.GetMaxSize(), r.nFrom);
        for (int i = 0; i < r.nFrom; ++i) {
            ASSERT_EQ(a[i], nullptr);
            a[i] = P(i + 1);
        }
        a.SetSize(r.nTo); // -1 keeps the step
        EXPECT_EQ(a.GetMaxSize(), r.nMaxSize) << r.nFrom << " -> " << r.nTo;
        EXPECT_EQ(counter.Bytes(1), size_t(r.nMaxSize) * sizeof(void*));
        EXPECT_EQ(a.GetSize(), r.nTo);
        EXPECT_EQ(a[r.nFrom - 1], P(r.nFrom));
        EXPECT_EQ(a[r.nTo - 1], nullptr);
        a.SetSize(0);
        EXPECT_EQ(a.GetData(), nullptr);
        EXPECT_EQ(a.GetMaxSize(), 0);
        EXPECT_EQ(counter.Live(), 0);
    }

    // Capacities met while adding one element at a time from empty.
    XArray<void*> a;
    std::vector<int> capacities;
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(a.Add(P(i + 1)), i);
        if (capacities.empty() || capacities.back() != a.GetMaxSize()) capacities.push_back(a.GetMaxSize());
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51}));

    // Shrinking keeps the storage; growing back within it brings nulls, not
    // the old elements.
    void* const* pData = a.GetData();
    a.SetSize(3);
    a.SetSize(5);
    EXPECT_EQ(a.GetData(), pData);
    EXPECT_EQ(Items(a), (std::vector<void*>{P(1), P(2), P(3), nullptr, nullptr}));
}

TEST(RuntimeCollections, ArrayEditsAgainstVector)
{
    std::mt19937 rng(7);
    auto Rand = [&](int n) { return int(rng() % uint32_t(n)); };
    XArray<void*> a;
    std::vector<void*> model;
    for (int nStep = 0; nStep < 3000; ++nStep) {
        const int nSize = int(model.size()), nIndex = Rand(nSize + 4); // also at and beyond the end
        void* v = P(uintptr_t(nStep) + 1);
        switch (Rand(6)) {
        case 0: {
            const int nCount = 1 + Rand(3);
            a.InsertAt(nIndex, v, nCount);
            model.resize(std::max(model.size(), size_t(nIndex)));
            model.insert(model.begin() + nIndex, size_t(nCount), v);
            break;
        }
        case 1:
            if (nIndex < nSize) {
                const int nCount = 1 + Rand(nSize - nIndex);
                a.RemoveAt(nIndex, nCount);
                model.erase(model.begin() + nIndex, model.begin() + nIndex + nCount);
            }
            break;
        case 2:
            a.SetAtGrow(nIndex, v);
            model.resize(std::max(model.size(), size_t(nIndex) + 1));
            model[size_t(nIndex)] = v;
            break;
        case 3: {
            XArray<void*> other;
            for (int i = Rand(4); i > 0; --i) other.Add(P(uintptr_t(i)));
            ASSERT_EQ(a.Append(other), nSize);
            model.insert(model.end(), other.GetData(), other.GetData() + other.GetSize());
            break;
        }
        case 4: // onto itself, which may move the data being copied
            if (nSize < 200) {
                ASSERT_EQ(a.Append(a), nSize);
                model.insert(model.end(), model.begin(), model.end());
            }
            break;
        case 5: { // shrink, or grow by up to 16
            const int nNew = nIndex + Rand(13);
            a.SetSize(nNew);
            model.resize(size_t(nNew));
            break;
        }
        }
        ASSERT_EQ(Items(a), model) << "step " << nStep;
    }

    // The object array is the same code over object pointers.
    XObject ob1, ob2;
    XObArray obs;
    obs.InsertAt(1, &ob2);
    obs.SetAt(0, &ob1);
    EXPECT_EQ(std::vector<XObject*>(obs.GetData(), obs.GetData() + obs.GetSize()), (std::vector<XObject*>{&ob1, &ob2}));
}

// ---- maps ---------------------------------------------------------------------------------

TEST(RuntimeCollections, HashFunctions)
{
    const std::pair<uint64_t, uint32_t> pointers[] = {
        {1, 16807},
        {127773, 2147480811},     // 16807 x 127773 mod (2^31 - 1)
        {0, 0},
        {2147483647, 0},          // the modulus itself
        {0xFFFFFFFF, 2147466840}, // -1: 2^31 - 1 - 16807
        {0x80000000, 2147466840}, // -2^31 = -1 mod (2^31 - 1)
        {0x100000001, 16807},     // only the low 32 bits count
    };
    for (auto [nKey, nHash] : pointers) EXPECT_EQ(XMapPtrToPtr::HashKey(P(uintptr_t(nKey))), nHash) << nKey;
    // Against 16807 k mod (2^31 - 1) in 64-bit arithmetic.
    std::mt19937 rng(3);
    for (int i = 0; i < 10000; ++i) {
        const uint32_t k = rng();
        const int64_t nExpected = ((int64_t(16807) * int32_t(k)) % 2147483647 + 2147483647) % 2147483647;
        ASSERT_EQ(XMapPtrToPtr::HashKey(P(k)), uint32_t(nExpected)) << k;
    }

    const std::pair<const char*, uint32_t> strings[] = {
        {"ab", 3299}, // 97 x 33 + 98
        {"", 0},
        {nullptr, 0},
        {"\xff", 4294967295},       // byte -1
        {"a\x80", 3073},            // 97 x 33 - 128
        {"abcdefghij", 2179095703}, // wraps at 32 bits
    };
    for (auto [psz, nHash] : strings) {
        EXPECT_EQ(XMapStringToPtr::HashKey(psz), nHash);
        EXPECT_EQ(XMapStringToOb::HashKey(psz), nHash);
    }

    for (auto [nKey, nHash] : {std::pair<uint16_t, uint32_t>{0x1234, 0x123}, {0xFFFF, 0xFFF}, {15, 0}, {16, 1}})
        EXPECT_EQ(XMapWordToOb::HashKey(nKey), nHash);
}

TEST(RuntimeCollections, MapWalkOrder)
{
    // Buckets in index order, the newest key of a bucket first. Buckets are
    // the hashes above modulo the table size, worked out by hand.
    {
        // Pointer keys, 5 buckets: 1 -> 2, 2 -> 4, 3 -> 1, 4 -> 3, 5 -> 0,
        // 6 -> 2, 127773 -> 1; 0x100000001 hashes like 1 but is another key.
        XMapPtrToPtr map;
        map.InitHashTable(5);
        for (uintptr_t k : {1, 2, 3, 4, 5, 6, 127773}) map[P(k)] = P(k);
        EXPECT_EQ(Keys<void*>(map), (std::vector<void*>{P(5), P(127773), P(3), P(6), P(1), P(4), P(2)}));
        map.RemoveKey(P(3));
        map.RemoveKey(P(5));
        map[P(0x100000001)] = nullptr;
        EXPECT_EQ(Keys<void*>(map), (std::vector<void*>{P(127773), P(0x100000001), P(6), P(1), P(4), P(2)}));
    }
    {
        // String keys, 3 buckets: "a" -> 1, "b" -> 2, "ab" -> 2, "ba" -> 1,
        // "c" -> 0, "\xff" -> 0 (hash 2^32 - 1, taken unsigned), "\x80" -> 2.
        XMapStringToPtr map;
        map.InitHashTable(3);
        for (const char* psz : {"a", "b", "ab", "ba", "c", "\xff"}) map[psz] = nullptr;
        EXPECT_EQ(Keys<void*>(map), (std::vector<XString>{"\xff", "c", "ba", "a", "ab", "b"}));
        map.RemoveKey("c");
        map.RemoveKey("ba");
        map["\x80"] = nullptr;
        EXPECT_EQ(Keys<void*>(map), (std::vector<XString>{"\xff", "a", "\x80", "ab", "b"}));
    }
    {
        // Word keys, 7 buckets: 0x10 -> 1, 0x80 -> 1, 0x20 -> 2, 0x00 -> 0,
        // 0x70 -> 0, 0x35 -> 3, 0x90 -> 2.
        XMapWordToOb map;
        map.InitHashTable(7);
        for (uint16_t k : {0x10, 0x80, 0x20, 0x00, 0x70, 0x35}) map[k] = nullptr;
        EXPECT_EQ(Keys<XObject*>(map), (std::vector<uint16_t>{0x70, 0x00, 0x80, 0x10, 0x20, 0x35}));
        map.RemoveKey(0x80);
        map.RemoveKey(0x20);
        map[0x90] = nullptr;
        EXPECT_EQ(Keys<XObject*>(map), (std::vector<uint16_t>{0x70, 0x00, 0x10, 0x90, 0x35}));
    }
}

TEST(RuntimeCollections, MapInsertLookupRemove)
{
    XMapStringToPtr map;
    EXPECT_EQ(map.GetHashTableSize(), 17u);
    void* v = P(99);
    EXPECT_FALSE(map.Lookup("x", v));
    EXPECT_EQ(v, P(99)); // untouched
    EXPECT_EQ(map["x"], nullptr); // a missing key comes in with a null value
    EXPECT_EQ(map.GetCount(), 1);
    EXPECT_TRUE(map.Lookup("x", v) && v == nullptr);
    map.SetAt("x", P(6));
    EXPECT_EQ(map.GetCount(), 1);

    // The map keeps its own copy of the key; a null key is the empty text.
    char aKey[] = "key";
    map.SetAt(aKey, P(1));
    aKey[0] = 'K';
    EXPECT_TRUE(map.Lookup("key", v) && v == P(1));
    EXPECT_FALSE(map.Lookup("Key", v));
    map.SetAt(nullptr, P(2));
    EXPECT_TRUE(map.Lookup("", v) && v == P(2));
    EXPECT_FALSE(map.RemoveKey("absent"));
    EXPECT_TRUE(map.RemoveKey(nullptr));
    EXPECT_EQ(map.GetCount(), 2);

    // Against std::map, with 3 buckets so that chains are long; the walk
    // meets every key once.
    std::mt19937 rng(11);
    XMapStringToOb obs;
    obs.InitHashTable(3);
    std::map<std::string, XObject*> model, walked;
    XObject aObjects[4];
    for (int nStep = 0; nStep < 4000; ++nStep) {
        const std::string key = std::to_string(rng() % 40);
        XObject* pOb = &aObjects[rng() % 4];
        if (rng() % 3 == 0) {
            ASSERT_EQ(obs.RemoveKey(key.c_str()), model.erase(key) == 1);
        } else {
            obs[key.c_str()] = pOb;
            model[key] = pOb;
        }
        ASSERT_EQ(obs.GetCount(), int(model.size()));
    }
    for (XPOSITION pos = obs.GetStartPosition(); pos != nullptr;) {
        XString key;
        XObject* pOb = nullptr;
        obs.GetNextAssoc(pos, key, pOb);
        ASSERT_TRUE(walked.emplace(std::string(key), pOb).second);
    }
    EXPECT_EQ(walked, model);
}

TEST(RuntimeCollections, MapNodeBlocksAndTableRelease)
{
    AllocationCounter counter;
    {
        XMapPtrToPtr map; // 10 nodes per block
        auto NodeOf = [&](uintptr_t k) {
            const CountingPaused paused;
            for (const auto& [key, pos] : Walk<void*>(map))
                if (key == P(k)) return reinterpret_cast<uintptr_t>(pos);
            return uintptr_t(0);
        };
        for (uintptr_t k = 1; k <= 10; ++k) map[P(k)] = nullptr;
        EXPECT_EQ(counter.Count(), 2); // the table and one block
        // A block hands out its nodes first to last.
        ASSERT_LT(NodeOf(1), NodeOf(2));
        const uintptr_t nFirst = NodeOf(1), nStride = NodeOf(2) - NodeOf(1);
        for (uintptr_t k = 1; k <= 10; ++k) EXPECT_EQ(NodeOf(k), nFirst + (k - 1) * nStride) << k;

        // Removed nodes come back last in, first out; a new block only when
        // the free list is empty.
        const uintptr_t nNode3 = NodeOf(3), nNode7 = NodeOf(7);
        map.RemoveKey(P(3));
        map.RemoveKey(P(7));
        map[P(11)] = nullptr;
        map[P(12)] = nullptr;
        EXPECT_EQ(NodeOf(11), nNode7);
        EXPECT_EQ(NodeOf(12), nNode3);
        EXPECT_EQ(counter.Count(), 2);
        map[P(13)] = nullptr;
        EXPECT_EQ(counter.Count(), 3);
        EXPECT_TRUE(NodeOf(13) < nFirst || NodeOf(13) > nFirst + 9 * nStride);
        map.RemoveAll();
        EXPECT_EQ(counter.Live(), 0);
    }

    // Removing the last key releases the table and the blocks; the next
    // insertion builds a table of the size set before.
    XMapStringToPtr map;
    map.InitHashTable(137);
    EXPECT_EQ(counter.Bytes(counter.Count() - 1), 137 * sizeof(void*));
    map["a"] = P(1);
    map["b"] = P(2);
    EXPECT_TRUE(map.RemoveKey("a"));
    EXPECT_TRUE(map.RemoveKey("b"));
    EXPECT_EQ(counter.Live(), 0);
    const int nBefore = counter.Count();
    map["c"] = nullptr;
    EXPECT_EQ(counter.Count(), nBefore + 2);
    EXPECT_EQ(counter.Bytes(nBefore), 137 * sizeof(void*));
    EXPECT_EQ(map.GetHashTableSize(), 137u);

    // A new table size on a map in use drops the entries with their nodes.
    map.InitHashTable(5);
    EXPECT_EQ(map.GetStartPosition(), nullptr);
    EXPECT_EQ(map.GetCount(), 0);
    EXPECT_EQ(counter.Live(), 1); // the new table
}

// ---- object list -------------------------------------------------------------------------

TEST(RuntimeCollections, ListEditsAgainstStdList)
{
    XObject aObjects[8];
    std::mt19937 rng(5);
    XObList list(3);
    std::list<XObject*> model;
    for (int nStep = 0; nStep < 3000; ++nStep) {
        XObject* pOb = &aObjects[rng() % 8];
        // A position and its model iterator, chosen at random (null = end).
        const int nIndex = int(rng() % uint32_t(model.size() + 1));
        const XPOSITION pos = list.FindIndex(nIndex);
        const auto it = std::next(model.begin(), nIndex);
        switch (rng() % 6) {
        case 0: // null: before the head
            ASSERT_EQ(list.GetAt(list.InsertBefore(pos, pOb)), pOb);
            model.insert(pos != nullptr ? it : model.begin(), pOb);
            break;
        case 1: // null: after the tail
            ASSERT_EQ(list.GetAt(list.InsertAfter(pos, pOb)), pOb);
            model.insert(pos != nullptr ? std::next(it) : model.end(), pOb);
            break;
        case 2:
            if (pos == nullptr) break;
            list.RemoveAt(pos);
            model.erase(it);
            break;
        case 3:
            if (model.empty()) break;
            ASSERT_EQ(list.RemoveHead(), model.front());
            model.pop_front();
            break;
        case 4:
            if (model.empty()) break;
            ASSERT_EQ(list.RemoveTail(), model.back());
            model.pop_back();
            break;
        case 5: // whole lists, this one among them
            if (model.size() < 100) {
                const bool bSelf = rng() % 2 == 0;
                XObList other;
                other.AddTail(pOb);
                other.AddHead(&aObjects[0]);
                const std::list<XObject*> added = bSelf ? model : std::list<XObject*>{&aObjects[0], pOb};
                if (rng() % 2) {
                    list.AddHead(bSelf ? list : other);
                    model.insert(model.begin(), added.begin(), added.end());
                } else {
                    list.AddTail(bSelf ? list : other);
                    model.insert(model.end(), added.begin(), added.end());
                }
            }
            break;
        }
        ASSERT_EQ(Elements(list), std::vector<XObject*>(model.begin(), model.end())) << "step " << nStep;
        ASSERT_TRUE(model.empty() || (list.GetHead() == model.front() && list.GetTail() == model.back()));
    }

    // Find walks from the head, or on from a position.
    list.RemoveAll();
    const XPOSITION pos1 = list.AddTail(&aObjects[1]);
    list.AddTail(&aObjects[2]);
    const XPOSITION pos3 = list.AddTail(&aObjects[1]);
    EXPECT_EQ(list.Find(&aObjects[1]), pos1);
    EXPECT_EQ(list.Find(&aObjects[1], pos1), pos3);
    EXPECT_EQ(list.Find(&aObjects[1], pos3), nullptr);
    EXPECT_EQ(list.FindIndex(3), nullptr);
}

TEST(RuntimeCollections, ListNodeBlocks)
{
    XObject ob;
    uintptr_t aNodes[4];
    AllocationCounter counter;
    XObList list(4);
    for (uintptr_t& n : aNodes) n = reinterpret_cast<uintptr_t>(list.AddTail(&ob));
    EXPECT_EQ(counter.Count(), 1);
    // A block hands out its nodes first to last.
    EXPECT_LT(aNodes[0], aNodes[1]);
    EXPECT_TRUE(aNodes[2] - aNodes[1] == aNodes[1] - aNodes[0] && aNodes[3] - aNodes[2] == aNodes[1] - aNodes[0]);

    // Freed nodes are reused, the last freed first, before a new block.
    list.RemoveAt(reinterpret_cast<XPOSITION>(aNodes[1]));
    list.RemoveTail();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.AddHead(&ob)), aNodes[3]);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.AddHead(&ob)), aNodes[1]);
    EXPECT_EQ(counter.Count(), 1);
    list.AddHead(&ob);
    EXPECT_EQ(counter.Count(), 2);

    // Emptying the list, one element at a time, releases the blocks.
    while (!list.IsEmpty()) list.RemoveHead();
    EXPECT_EQ(counter.Live(), 0);
}
