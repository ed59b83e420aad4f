#include <tivra/runtime/XArray.h>

#include <algorithm>
#include <cstring>
#include <new>

#include <tivra/runtime/XArchive.h>
#include <tivra/runtime/XException.h>

namespace Pelmora::Tivra {

// Storage is an array from new TYPE[] and goes back through delete[].

namespace {

/// n value-initialised elements; a memory failure becomes the core's
/// exception.
template <class TYPE>
TYPE* NewArray(size_t n)
{
    try {
        return new TYPE[n]();
    } catch (const std::bad_alloc&) {
        throw XMemoryException();
    }
}

} // namespace

template <class TYPE>
XArrayImpl<TYPE>::~XArrayImpl()
{
    delete[] m_pData;
}

template <class TYPE>
void XArrayImpl<TYPE>::SetSize(int nNewSize, int nGrowBy)
{
    if (nGrowBy != -1) m_nGrowBy = nGrowBy;

    if (nNewSize == 0) {
        delete[] m_pData;
        m_pData = nullptr;
        m_nSize = m_nMaxSize = 0;
        return;
    }
    if (m_pData == nullptr) {
        m_pData = NewArray<TYPE>(size_t(nNewSize)); // value-initialised: null
        m_nSize = m_nMaxSize = nNewSize;
        return;
    }
    if (nNewSize <= m_nMaxSize) {
        if (nNewSize > m_nSize) std::fill(m_pData + m_nSize, m_pData + nNewSize, nullptr);
        m_nSize = nNewSize;
        return;
    }

    // Growth step: the fixed one, or an eighth of the size, kept within
    // 4..1024 so that small arrays do not regrow at every append and large
    // ones do not reserve megabytes ahead.
    int nStep = m_nGrowBy;
    if (nStep == 0) nStep = std::clamp(m_nSize / 8, 4, 1024);
    // Widened, so that a capacity near the 32-bit limit reports a memory
    // failure rather than wrapping.
    const int64_t nNewMax = std::max(int64_t(m_nMaxSize) + nStep, int64_t(nNewSize));
    if (nNewMax > INT32_MAX) throw XMemoryException();

    TYPE* pNewData = NewArray<TYPE>(size_t(nNewMax)); // the part beyond the old size stays null
    std::memcpy(pNewData, m_pData, size_t(m_nSize) * sizeof(TYPE));
    delete[] m_pData;
    m_pData = pNewData;
    m_nSize = nNewSize;
    m_nMaxSize = int32_t(nNewMax);
}

template <class TYPE>
void XArrayImpl<TYPE>::SetAtGrow(int nIndex, TYPE newElement)
{
    if (nIndex >= m_nSize) SetSize(nIndex + 1);
    m_pData[nIndex] = newElement;
}

template <class TYPE>
int XArrayImpl<TYPE>::Add(TYPE newElement)
{
    const int nIndex = m_nSize;
    SetAtGrow(nIndex, newElement);
    return nIndex;
}

template <class TYPE>
int XArrayImpl<TYPE>::Append(const XArrayImpl& src)
{
    // The source's count is taken first: when src is this array, SetSize
    // changes it (and may move the data, which src.m_pData then follows).
    const int nOldSize = m_nSize;
    const int nSrcSize = src.m_nSize;
    if (nSrcSize == 0) return nOldSize;
    SetSize(nOldSize + nSrcSize);
    std::memcpy(m_pData + nOldSize, src.m_pData, size_t(nSrcSize) * sizeof(TYPE));
    return nOldSize;
}

template <class TYPE>
void XArrayImpl<TYPE>::InsertAt(int nIndex, TYPE newElement, int nCount)
{
    if (nCount <= 0) return;
    if (nIndex >= m_nSize) {
        SetSize(nIndex + nCount);
    } else {
        const int nOldSize = m_nSize;
        SetSize(m_nSize + nCount);
        std::memmove(m_pData + nIndex + nCount, m_pData + nIndex, size_t(nOldSize - nIndex) * sizeof(TYPE));
    }
    std::fill(m_pData + nIndex, m_pData + nIndex + nCount, newElement);
}

template <class TYPE>
void XArrayImpl<TYPE>::RemoveAt(int nIndex, int nCount)
{
    const int nMoveCount = m_nSize - (nIndex + nCount);
    if (nMoveCount > 0) std::memmove(m_pData + nIndex, m_pData + nIndex + nCount, size_t(nMoveCount) * sizeof(TYPE));
    m_nSize -= nCount;
}

template class XArrayImpl<void*>;
template class XArrayImpl<XObject*>;

XIMPLEMENT_SERIAL(XPtrArray, XObject, 1)
XIMPLEMENT_SERIAL(XObArray, XObject, 1)

void XObArray::Serialize(XArchive& ar)
{
    XObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << uint32_t(GetSize());
        for (int i = 0; i < GetSize(); ++i) ar.WriteObject(GetAt(i));
        return;
    }
    uint32_t nCount = 0;
    ar >> nCount;
    // Every element takes at least its tag byte: a count beyond the bytes
    // left is a damaged stream, found before the array is sized for it
    // where the file can tell.
    ar.EnsureRemaining(nCount);
    if (nCount > uint32_t(INT32_MAX)) throw XMemoryException();
    // Sized in doubling pieces as elements arrive (where the file cannot
    // tell, the count may lie), to the count in the end.
    constexpr int kFirstPiece = 1024;
    SetSize(std::min(int(nCount), kFirstPiece));
    for (int i = 0; i < int(nCount); ++i) {
        if (i == GetSize()) SetSize(int(std::min<int64_t>(nCount, 2 * int64_t(i))));
        SetAt(i, ar.ReadObject(nullptr));
    }
}

} // namespace Pelmora::Tivra
