// Hash maps: XMap<void*,void*> (pointer keys), XMap<XString,void*> (string
// keys), XMapStringToOb and XMapWordToOb (object values under string and
// 16-bit keys). They hold their values without owning the pointees.
#pragma once

#include <cstdint>

#include <tivra/runtime/MemBlock.h>
#include <tivra/runtime/XObject.h>
#include <tivra/runtime/XString.h>

namespace Pelmora::Tivra {

// ---- key kinds -------------------------------------------------------------------
//
// Each kind gives the type a node stores (KEY), the type callers pass
// (ARG_KEY), the hash and the key comparison.

/// Pointer keys. The hash takes the key as a signed 32-bit number k (the low
/// 32 bits of the pointer) and returns 16807 k mod 2147483647, the
/// Park-Miller minimal standard step, computed with Schrage's decomposition
/// so that no intermediate leaves 32 bits.
struct XPtrKey {
    using KEY = void*;
    using ARG_KEY = void*;
    static uint32_t Hash(void* key);
    static bool Equal(void* stored, void* key) { return stored == key; }
};

/// String keys: h = h x 33 + c over the bytes c taken as signed 8-bit values,
/// wrapping at 32 bits. A null text is taken as the empty one.
struct XStringKey {
    using KEY = XString;
    using ARG_KEY = const char*;
    static uint32_t Hash(const char* key);
    static bool Equal(const XString& stored, const char* key);
};

/// 16-bit keys: the key shifted right by 4, since word keys are often
/// multiples of 16 whose low bits carry nothing.
struct XWordKey {
    using KEY = uint16_t;
    using ARG_KEY = uint16_t;
    static uint32_t Hash(uint16_t key) { return uint32_t(key) >> 4; }
    static bool Equal(uint16_t stored, uint16_t key) { return stored == key; }
};

/// The map operations, written once for the key kinds above; use the named
/// maps below.
///
/// A map is an array of m_nHashTableSize bucket chains; a key lives in
/// bucket Hash(key) modulo the table size (unsigned), at the head of the
/// chain when it is inserted. Nodes come from MemBlock chains of
/// m_nBlockSize nodes through a free list, so inserting allocates only when
/// the free list is empty. The table is created by the first insertion and,
/// with the blocks, released when the count falls back to 0; the table size
/// stays, so the next insertion builds a table of the same size.
///
/// Walking with GetStartPosition/GetNextAssoc visits the buckets in index
/// order and, within a bucket, the most recently inserted key first.
/// Inserting or removing during a walk invalidates it.
///
/// Memory failure throws XMemoryException and leaves the map unchanged.
template <class KEYKIND, class VALUE>
class XMapImpl : public XObject {
public:
    using KEY = typename KEYKIND::KEY;
    using ARG_KEY = typename KEYKIND::ARG_KEY;

    /// Table size of a new map (a prime: the string hash spreads better).
    static constexpr uint32_t DEFAULT_HASH_SIZE = 17;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    /// Copies the value of the key into rValue; false, with rValue
    /// unchanged, when the key is absent.
    bool Lookup(ARG_KEY key, VALUE& rValue) const;
    /// The value of the key, inserted with a null value when absent.
    VALUE& operator[](ARG_KEY key);
    void SetAt(ARG_KEY key, VALUE newValue) { (*this)[key] = newValue; }
    /// Removes the key; false when it was absent. Removing the last key
    /// releases the table and the node blocks.
    bool RemoveKey(ARG_KEY key);
    /// Removes every key and releases the table and the node blocks; the
    /// table size is kept.
    void RemoveAll();

    /// Position of the first entry of a walk, null for an empty map.
    XPOSITION GetStartPosition() const;
    /// Copies the entry at rPos and moves rPos to the next one (null after
    /// the last). A null rPos copies nothing.
    void GetNextAssoc(XPOSITION& rPos, KEY& rKey, VALUE& rValue) const;

    /// Sets the number of buckets (nHashSize > 0; 0 is ignored) and allocates
    /// an empty table of that size in place of the old one. Meant for an
    /// empty map, before the first insertion; entries present are removed
    /// first.
    void InitHashTable(uint32_t nHashSize);
    uint32_t GetHashTableSize() const { return m_nHashTableSize; }

    /// The hash of a key, before the modulo by the table size.
    static uint32_t HashKey(ARG_KEY key) { return KEYKIND::Hash(key); }

protected:
    /// nBlockSize: nodes per block (values below 1 are taken as 1).
    explicit XMapImpl(int nBlockSize);
    ~XMapImpl() override;

private:
    struct XAssoc {
        XAssoc* pNext;    // next node of the bucket, or of the free list
        uint32_t nBucket; // the bucket, where a walk goes on after this chain
        KEY key;          // constructed only while the node is in use
        VALUE value;
    };

    XAssoc* GetAssocAt(ARG_KEY key, uint32_t& nBucket) const;
    XAssoc* NewAssoc(ARG_KEY key);
    void FreeAssoc(XAssoc* pAssoc);

    XAssoc** m_pHashTable;
    uint32_t m_nHashTableSize;
    int32_t m_nCount;
    XAssoc* m_pFreeList;
    MemBlock* m_pBlocks;
    int32_t m_nBlockSize;
};

extern template class XMapImpl<XPtrKey, void*>;
extern template class XMapImpl<XStringKey, void*>;
extern template class XMapImpl<XStringKey, XObject*>;
extern template class XMapImpl<XWordKey, XObject*>;

// ---- the maps --------------------------------------------------------------------

/// Only the two maps below exist.
template <class KEY, class VALUE>
class XMap;

/// Pointer to pointer.
template <>
class XMap<void*, void*> : public XMapImpl<XPtrKey, void*> {
    XDECLARE_SERIAL(XMap)
public:
    explicit XMap(int nBlockSize = 10) : XMapImpl(nBlockSize) {}
    // Stored form: the class chain only (XObject::Serialize); pointer values
    // mean nothing in a file.
};

/// String to pointer: the shape of the shared record's named-block map.
template <>
class XMap<XString, void*> : public XMapImpl<XStringKey, void*> {
    XDECLARE_SERIAL(XMap)
public:
    explicit XMap(int nBlockSize = 10) : XMapImpl(nBlockSize) {}
    // Stored form: the class chain only (XObject::Serialize); pointer values
    // mean nothing in a file.
};

/// The names under which the two maps are registered as runtime classes.
using XMapPtrToPtr = XMap<void*, void*>;
using XMapStringToPtr = XMap<XString, void*>;

/// String to object.
class XMapStringToOb : public XMapImpl<XStringKey, XObject*> {
    XDECLARE_SERIAL(XMapStringToOb)
public:
    explicit XMapStringToOb(int nBlockSize = 10) : XMapImpl(nBlockSize) {}
    /// Stored form: the class chain, the count (32 bits), then per entry the
    /// key as an archive string and the object through WriteObject. Loading
    /// adds the entries to those present, replacing the value of a key the
    /// map already held (as SetAt does; the old value stays the caller's); a
    /// key named twice in the stream throws XArchiveException badIndex, as
    /// the first object read for it would be left held by nobody.
    void Serialize(XArchive& ar) override;
};

/// 16-bit word to object.
class XMapWordToOb : public XMapImpl<XWordKey, XObject*> {
    XDECLARE_SERIAL(XMapWordToOb)
public:
    explicit XMapWordToOb(int nBlockSize = 10) : XMapImpl(nBlockSize) {}
    /// Stored form: the class chain, the count (32 bits), then per entry the
    /// key (16 bits) and the object through WriteObject. Loading adds the
    /// entries to those present, replacing the value of a key the map
    /// already held; a key named twice in the stream throws
    /// XArchiveException badIndex (as for XMapStringToOb).
    void Serialize(XArchive& ar) override;
};

} // namespace Pelmora::Tivra
