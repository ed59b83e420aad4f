// Growable arrays of pointers: XArray<void*> and XObArray (elements XObject*).
// Both hold their pointers without owning the pointees.
#pragma once

#include <cstdint>

#include <tivra/runtime/XObject.h>

namespace Pelmora::Tivra {

/// The array operations, written once for the element types of XArray<void*>
/// and XObArray; use those two classes.
///
/// The elements sit in one heap array of m_nMaxSize pointers, of which the
/// first m_nSize are in use. Growth beyond the capacity adds m_nGrowBy
/// elements, or with m_nGrowBy 0 one eighth of the current size, at least 4
/// and at most 1024, so that appends cost amortised constant time without
/// over-allocating large arrays. Indices are not checked: keeping them in
/// range is the caller's business. Memory failure throws XMemoryException and
/// leaves the array unchanged.
template <class TYPE>
class XArrayImpl : public XObject {
public:
    int GetSize() const { return m_nSize; }
    int GetUpperBound() const { return m_nSize - 1; }
    /// The capacity: the number of elements the current storage holds.
    int GetMaxSize() const { return m_nMaxSize; }
    int GetGrowBy() const { return m_nGrowBy; }

    /// Sets the number of elements in use (nNewSize >= 0); nGrowBy other than
    /// -1 replaces the growth step (0 = automatic). Size 0 frees the storage;
    /// on an array without storage exactly nNewSize elements are allocated;
    /// elements that come into use are null.
    void SetSize(int nNewSize, int nGrowBy = -1);
    /// Frees the storage.
    void RemoveAll() { SetSize(0); }

    TYPE GetAt(int nIndex) const { return m_pData[nIndex]; }
    void SetAt(int nIndex, TYPE newElement) { m_pData[nIndex] = newElement; }
    TYPE& ElementAt(int nIndex) { return m_pData[nIndex]; }
    TYPE operator[](int nIndex) const { return m_pData[nIndex]; }
    TYPE& operator[](int nIndex) { return m_pData[nIndex]; }
    const TYPE* GetData() const { return m_pData; }
    TYPE* GetData() { return m_pData; }

    /// Sets the element, first growing the array to nIndex + 1 elements when
    /// the index is at or beyond the size.
    void SetAtGrow(int nIndex, TYPE newElement);
    /// Appends the element; returns its index.
    int Add(TYPE newElement);
    /// Appends the elements of src (which may be this array); returns the
    /// index of the first one, the old size.
    int Append(const XArrayImpl& src);

    /// Inserts nCount copies of the element before nIndex. An index at or
    /// beyond the size first grows the array to nIndex elements (the new ones
    /// null), so the copies land at nIndex.
    void InsertAt(int nIndex, TYPE newElement, int nCount = 1);
    /// Removes nCount elements from nIndex on; the storage is kept.
    void RemoveAt(int nIndex, int nCount = 1);

protected:
    XArrayImpl() : m_pData(nullptr), m_nSize(0), m_nMaxSize(0), m_nGrowBy(0) {}
    ~XArrayImpl() override;

private:
    TYPE* m_pData;
    int32_t m_nSize;
    int32_t m_nMaxSize;
    int32_t m_nGrowBy;
};

extern template class XArrayImpl<void*>;
extern template class XArrayImpl<XObject*>;

/// Only the pointer array below exists.
template <class TYPE>
class XArray;

/// A growable array of untyped pointers.
template <>
class XArray<void*> : public XArrayImpl<void*> {
    XDECLARE_SERIAL(XArray)
public:
    XArray() = default;
    // Stored form: the class chain only (XObject::Serialize); addresses mean
    // nothing in a file.
};

/// The name under which XArray<void*> is registered as a runtime class.
using XPtrArray = XArray<void*>;

/// A growable array of object pointers.
class XObArray : public XArrayImpl<XObject*> {
    XDECLARE_SERIAL(XObArray)
public:
    XObArray() = default;
    /// Stored form: the class chain, the count (32 bits), then each element
    /// through XArchive::WriteObject. Loading sets the size to the count
    /// first and replaces the elements.
    void Serialize(XArchive& ar) override;
};

} // namespace Pelmora::Tivra
