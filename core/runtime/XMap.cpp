#include <tivra/runtime/XMap.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_set>
#include <vector>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XException.h>

namespace Pelmora::Tivra {

// ---- hash functions ----------------------------------------------------------------

uint32_t XPtrKey::Hash(void* key)
{
    // Park-Miller: 16807 k mod (2^31 - 1). Schrage's decomposition splits
    // the modulus as 16807 q + r (q = 127773, r = 2836), so that
    // 16807 (k mod q) - 2836 (k / q) stays within 32 bits and needs at most
    // one correction to land in 0 .. 2^31 - 2.
    const int32_t k = int32_t(uint32_t(reinterpret_cast<uintptr_t>(key)));
    const std::ldiv_t d = std::ldiv(k, 127773);
    long h = 16807 * d.rem - 2836 * d.quot;
    if (h < 0) h += 2147483647;
    return uint32_t(h);
}

uint32_t XStringKey::Hash(const char* key)
{
    uint32_t h = 0;
    if (key == nullptr) return h;
    // The bytes count as signed, so bytes of 128 and above subtract; the sum
    // wraps at 32 bits (unsigned arithmetic, where wrapping is defined).
    for (const char* p = key; *p != '\0'; ++p) h = h * 33 + uint32_t(int32_t(static_cast<signed char>(*p)));
    return h;
}

bool XStringKey::Equal(const XString& stored, const char* key)
{
    return std::strcmp(stored, key != nullptr ? key : "") == 0;
}

// ---- XMapImpl -----------------------------------------------------------------------

template <class KEYKIND, class VALUE>
XMapImpl<KEYKIND, VALUE>::XMapImpl(int nBlockSize)
    : m_pHashTable(nullptr),
      m_nHashTableSize(DEFAULT_HASH_SIZE),
      m_nCount(0),
      m_pFreeList(nullptr),
      m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize < 1 ? 1 : nBlockSize)
{
}

template <class KEYKIND, class VALUE>
XMapImpl<KEYKIND, VALUE>::~XMapImpl()
{
    RemoveAll();
}

template <class KEYKIND, class VALUE>
void XMapImpl<KEYKIND, VALUE>::InitHashTable(uint32_t nHashSize)
{
    if (nHashSize == 0) return; // a table without buckets could hold nothing
    if (m_nCount > 0) RemoveAll();
    // The new table is made before the old one goes, so that a memory
    // failure leaves the map as it was.
    XAssoc** pTable = nullptr;
    try {
        pTable = new XAssoc*[nHashSize](); // value-initialised: all buckets empty
    } catch (const std::bad_alloc&) {
        throw XMemoryException();
    }
    delete[] m_pHashTable;
    m_pHashTable = pTable;
    m_nHashTableSize = nHashSize;
}

template <class KEYKIND, class VALUE>
void XMapImpl<KEYKIND, VALUE>::RemoveAll()
{
    if (m_pHashTable != nullptr) {
        // Only nodes in use hold a constructed key.
        for (uint32_t nBucket = 0; nBucket < m_nHashTableSize; ++nBucket)
            for (XAssoc* p = m_pHashTable[nBucket]; p != nullptr; p = p->pNext) std::destroy_at(&p->key);
        delete[] m_pHashTable;
        m_pHashTable = nullptr;
    }
    m_nCount = 0;
    m_pFreeList = nullptr;
    if (m_pBlocks != nullptr) m_pBlocks->FreeDataChain();
    m_pBlocks = nullptr;
}

template <class KEYKIND, class VALUE>
typename XMapImpl<KEYKIND, VALUE>::XAssoc* XMapImpl<KEYKIND, VALUE>::GetAssocAt(ARG_KEY key,
                                                                                uint32_t& nBucket) const
{
    nBucket = KEYKIND::Hash(key) % m_nHashTableSize;
    if (m_pHashTable == nullptr) return nullptr;
    for (XAssoc* p = m_pHashTable[nBucket]; p != nullptr; p = p->pNext)
        if (KEYKIND::Equal(p->key, key)) return p;
    return nullptr;
}

template <class KEYKIND, class VALUE>
typename XMapImpl<KEYKIND, VALUE>::XAssoc* XMapImpl<KEYKIND, VALUE>::NewAssoc(ARG_KEY key)
{
    if (m_pFreeList == nullptr) {
        // A new block goes onto the free list back to front, so that its
        // nodes are handed out in address order, the first one first.
        MemBlock* pBlock = MemBlock::Create(m_pBlocks, uint32_t(m_nBlockSize), sizeof(XAssoc));
        XAssoc* pAssoc = static_cast<XAssoc*>(pBlock->data()) + m_nBlockSize - 1;
        for (int i = m_nBlockSize - 1; i >= 0; --i, --pAssoc) {
            pAssoc->pNext = m_pFreeList;
            m_pFreeList = pAssoc;
        }
    }
    XAssoc* pAssoc = m_pFreeList;
    // The key is built before the node leaves the free list: if building it
    // fails, the list is still intact.
    std::construct_at(&pAssoc->key, key);
    m_pFreeList = pAssoc->pNext;
    return pAssoc;
}

template <class KEYKIND, class VALUE>
void XMapImpl<KEYKIND, VALUE>::FreeAssoc(XAssoc* pAssoc)
{
    std::destroy_at(&pAssoc->key);
    pAssoc->pNext = m_pFreeList;
    m_pFreeList = pAssoc;
    if (--m_nCount == 0) RemoveAll();
}

template <class KEYKIND, class VALUE>
bool XMapImpl<KEYKIND, VALUE>::Lookup(ARG_KEY key, VALUE& rValue) const
{
    uint32_t nBucket;
    const XAssoc* pAssoc = GetAssocAt(key, nBucket);
    if (pAssoc == nullptr) return false;
    rValue = pAssoc->value;
    return true;
}

template <class KEYKIND, class VALUE>
VALUE& XMapImpl<KEYKIND, VALUE>::operator[](ARG_KEY key)
{
    uint32_t nBucket;
    XAssoc* pAssoc = GetAssocAt(key, nBucket);
    if (pAssoc == nullptr) {
        if (m_pHashTable == nullptr) InitHashTable(m_nHashTableSize);
        pAssoc = NewAssoc(key);
        pAssoc->nBucket = nBucket;
        pAssoc->value = nullptr;
        pAssoc->pNext = m_pHashTable[nBucket];
        m_pHashTable[nBucket] = pAssoc;
        ++m_nCount;
    }
    return pAssoc->value;
}

template <class KEYKIND, class VALUE>
bool XMapImpl<KEYKIND, VALUE>::RemoveKey(ARG_KEY key)
{
    if (m_pHashTable == nullptr) return false;
    XAssoc** ppPrev = &m_pHashTable[KEYKIND::Hash(key) % m_nHashTableSize];
    for (XAssoc* p = *ppPrev; p != nullptr; ppPrev = &p->pNext, p = p->pNext) {
        if (KEYKIND::Equal(p->key, key)) {
            *ppPrev = p->pNext;
            FreeAssoc(p);
            return true;
        }
    }
    return false;
}

template <class KEYKIND, class VALUE>
XPOSITION XMapImpl<KEYKIND, VALUE>::GetStartPosition() const
{
    if (m_pHashTable == nullptr) return nullptr;
    for (uint32_t nBucket = 0; nBucket < m_nHashTableSize; ++nBucket)
        if (m_pHashTable[nBucket] != nullptr) return reinterpret_cast<XPOSITION>(m_pHashTable[nBucket]);
    return nullptr;
}

template <class KEYKIND, class VALUE>
void XMapImpl<KEYKIND, VALUE>::GetNextAssoc(XPOSITION& rPos, KEY& rKey, VALUE& rValue) const
{
    const XAssoc* pAssoc = reinterpret_cast<const XAssoc*>(rPos);
    if (pAssoc == nullptr) return;
    rKey = pAssoc->key;
    rValue = pAssoc->value;

    // The rest of this bucket's chain, else the head of the next bucket in
    // use.
    const XAssoc* pNext = pAssoc->pNext;
    for (uint32_t nBucket = pAssoc->nBucket + 1; pNext == nullptr && nBucket < m_nHashTableSize; ++nBucket)
        pNext = m_pHashTable[nBucket];
    rPos = reinterpret_cast<XPOSITION>(const_cast<XAssoc*>(pNext));
}

template class XMapImpl<XPtrKey, void*>;
template class XMapImpl<XStringKey, void*>;
template class XMapImpl<XStringKey, XObject*>;
template class XMapImpl<XWordKey, XObject*>;

// ---- the maps ----------------------------------------------------------------------

XIMPLEMENT_SERIAL(XMapPtrToPtr, XObject, 1)
XIMPLEMENT_SERIAL(XMapStringToPtr, XObject, 1)
XIMPLEMENT_SERIAL(XMapStringToOb, XObject, 1)
XIMPLEMENT_SERIAL(XMapWordToOb, XObject, 1)

// Stored form of the object maps: the class chain, the count (32 bits), then
// per entry the key (a string, or 16 bits) and the object. Entries come back
// in the order they were written; the walk order of the map read may differ,
// since it depends on insertion order within a bucket.
//
// A key the map held before loading gets the value read, as SetAt would
// give it (the map does not own its values: the old one stays the
// caller's). A key named twice in one stream is refused: a stream written
// from a map names each key once, and replacing the value read first would
// leave that object held by nobody.

namespace {

void RefuseRepeatedKey(const XArchive& ar, bool bNew)
{
    if (!bNew) throw XArchiveException(XArchiveException::badIndex, ar.GetFileName());
}

} // namespace

void XMapStringToOb::Serialize(XArchive& ar)
{
    XObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << uint32_t(GetCount());
        for (XPOSITION pos = GetStartPosition(); pos != nullptr;) {
            XString strKey;
            XObject* pValue = nullptr;
            GetNextAssoc(pos, strKey, pValue);
            ar << strKey;
            ar.WriteObject(pValue);
        }
        return;
    }
    uint32_t nCount = 0;
    ar >> nCount;
    ar.EnsureRemaining(uint64_t(nCount) * 2);  // a key's length byte and a tag at least
    std::unordered_set<std::string> read;
    for (uint32_t i = 0; i < nCount; ++i) {
        XString strKey;
        ar >> strKey;
        RefuseRepeatedKey(ar, read.emplace(static_cast<const char*>(strKey), size_t(strKey.GetLength())).second);
        SetAt(strKey, ar.ReadObject(nullptr));
    }
}

void XMapWordToOb::Serialize(XArchive& ar)
{
    XObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << uint32_t(GetCount());
        for (XPOSITION pos = GetStartPosition(); pos != nullptr;) {
            uint16_t wKey = 0;
            XObject* pValue = nullptr;
            GetNextAssoc(pos, wKey, pValue);
            ar << wKey;
            ar.WriteObject(pValue);
        }
        return;
    }
    uint32_t nCount = 0;
    ar >> nCount;
    ar.EnsureRemaining(uint64_t(nCount) * 3);  // a 16-bit key and a tag at least
    std::vector<bool> read(size_t(UINT16_MAX) + 1);
    for (uint32_t i = 0; i < nCount; ++i) {
        uint16_t wKey = 0;
        ar >> wKey;
        RefuseRepeatedKey(ar, !read[wKey]);
        read[wKey] = true;
        SetAt(wKey, ar.ReadObject(nullptr));
    }
}

} // namespace Pelmora::Tivra
