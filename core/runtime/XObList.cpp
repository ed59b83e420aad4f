#include <tivra/runtime/XObList.h>

#include <tivra/runtime/XArchive.h>

namespace Pelmora::Tivra {

XIMPLEMENT_SERIAL(XObList, XObject, 1)

XObList::XObList(int nBlockSize)
    : m_pNodeHead(nullptr),
      m_pNodeTail(nullptr),
      m_nCount(0),
      m_pNodeFree(nullptr),
      m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize < 1 ? 1 : nBlockSize)
{
}

XObList::~XObList() { RemoveAll(); }

void XObList::Serialize(XArchive& ar)
{
    XObject::Serialize(ar);
    if (ar.IsStoring()) {
        ar << uint32_t(m_nCount);
        for (const XNode* p = m_pNodeHead; p != nullptr; p = p->pNext) ar.WriteObject(p->data);
        return;
    }
    uint32_t nCount = 0;
    ar >> nCount;
    ar.EnsureRemaining(nCount);  // a tag byte per element at least
    for (uint32_t i = 0; i < nCount; ++i) AddTail(ar.ReadObject(nullptr));
}

void XObList::RemoveAll()
{
    m_pNodeHead = m_pNodeTail = nullptr;
    m_nCount = 0;
    m_pNodeFree = nullptr;
    if (m_pBlocks != nullptr) m_pBlocks->FreeDataChain();
    m_pBlocks = nullptr;
}

XObList::XNode* XObList::NewNode(XNode* pPrev, XNode* pNext)
{
    if (m_pNodeFree == nullptr) {
        // A new block goes onto the free list back to front, so that its
        // nodes are handed out in address order, the first one first.
        MemBlock* pBlock = MemBlock::Create(m_pBlocks, uint32_t(m_nBlockSize), sizeof(XNode));
        XNode* pNode = static_cast<XNode*>(pBlock->data()) + m_nBlockSize - 1;
        for (int i = m_nBlockSize - 1; i >= 0; --i, --pNode) {
            pNode->pNext = m_pNodeFree;
            m_pNodeFree = pNode;
        }
    }
    XNode* pNode = m_pNodeFree;
    m_pNodeFree = m_pNodeFree->pNext;
    pNode->pPrev = pPrev;
    pNode->pNext = pNext;
    pNode->data = nullptr;
    ++m_nCount;
    return pNode;
}

void XObList::FreeNode(XNode* pNode)
{
    pNode->pNext = m_pNodeFree;
    m_pNodeFree = pNode;
    if (--m_nCount == 0) RemoveAll();
}

// ---- head and tail --------------------------------------------------------------------

XObject*& XObList::GetHead() { return m_pNodeHead->data; }
XObject* XObList::GetHead() const { return m_pNodeHead->data; }
XObject*& XObList::GetTail() { return m_pNodeTail->data; }
XObject* XObList::GetTail() const { return m_pNodeTail->data; }

XPOSITION XObList::AddHead(XObject* newElement)
{
    XNode* pNode = NewNode(nullptr, m_pNodeHead);
    pNode->data = newElement;
    if (m_pNodeHead != nullptr)
        m_pNodeHead->pPrev = pNode;
    else
        m_pNodeTail = pNode;
    m_pNodeHead = pNode;
    return PositionOf(pNode);
}

XPOSITION XObList::AddTail(XObject* newElement)
{
    XNode* pNode = NewNode(m_pNodeTail, nullptr);
    pNode->data = newElement;
    if (m_pNodeTail != nullptr)
        m_pNodeTail->pNext = pNode;
    else
        m_pNodeHead = pNode;
    m_pNodeTail = pNode;
    return PositionOf(pNode);
}

// Both take the count first: when newList is this list, the walk must stop
// after the elements that were there before it started.

void XObList::AddHead(const XObList& newList)
{
    const XNode* pNode = newList.m_pNodeTail;
    for (int n = newList.m_nCount; n > 0; --n, pNode = pNode->pPrev) AddHead(pNode->data);
}

void XObList::AddTail(const XObList& newList)
{
    const XNode* pNode = newList.m_pNodeHead;
    for (int n = newList.m_nCount; n > 0; --n, pNode = pNode->pNext) AddTail(pNode->data);
}

XObject* XObList::RemoveHead()
{
    XNode* pOld = m_pNodeHead;
    XObject* pData = pOld->data;
    m_pNodeHead = pOld->pNext;
    if (m_pNodeHead != nullptr)
        m_pNodeHead->pPrev = nullptr;
    else
        m_pNodeTail = nullptr;
    FreeNode(pOld);
    return pData;
}

XObject* XObList::RemoveTail()
{
    XNode* pOld = m_pNodeTail;
    XObject* pData = pOld->data;
    m_pNodeTail = pOld->pPrev;
    if (m_pNodeTail != nullptr)
        m_pNodeTail->pNext = nullptr;
    else
        m_pNodeHead = nullptr;
    FreeNode(pOld);
    return pData;
}

// ---- positions ------------------------------------------------------------------------

XPOSITION XObList::GetHeadPosition() const { return PositionOf(m_pNodeHead); }
XPOSITION XObList::GetTailPosition() const { return PositionOf(m_pNodeTail); }

XObject*& XObList::GetNext(XPOSITION& rPos)
{
    XNode* pNode = NodeAt(rPos);
    rPos = PositionOf(pNode->pNext);
    return pNode->data;
}

XObject* XObList::GetNext(XPOSITION& rPos) const
{
    const XNode* pNode = NodeAt(rPos);
    rPos = PositionOf(pNode->pNext);
    return pNode->data;
}

XObject*& XObList::GetPrev(XPOSITION& rPos)
{
    XNode* pNode = NodeAt(rPos);
    rPos = PositionOf(pNode->pPrev);
    return pNode->data;
}

XObject* XObList::GetPrev(XPOSITION& rPos) const
{
    const XNode* pNode = NodeAt(rPos);
    rPos = PositionOf(pNode->pPrev);
    return pNode->data;
}

XObject*& XObList::GetAt(XPOSITION pos) { return NodeAt(pos)->data; }
XObject* XObList::GetAt(XPOSITION pos) const { return NodeAt(pos)->data; }
void XObList::SetAt(XPOSITION pos, XObject* newElement) { NodeAt(pos)->data = newElement; }

void XObList::RemoveAt(XPOSITION pos)
{
    XNode* pOld = NodeAt(pos);
    if (pOld == m_pNodeHead)
        m_pNodeHead = pOld->pNext;
    else
        pOld->pPrev->pNext = pOld->pNext;
    if (pOld == m_pNodeTail)
        m_pNodeTail = pOld->pPrev;
    else
        pOld->pNext->pPrev = pOld->pPrev;
    FreeNode(pOld);
}

XPOSITION XObList::InsertBefore(XPOSITION pos, XObject* newElement)
{
    if (pos == nullptr) return AddHead(newElement);
    XNode* pOld = NodeAt(pos);
    XNode* pNew = NewNode(pOld->pPrev, pOld);
    pNew->data = newElement;
    if (pOld->pPrev != nullptr)
        pOld->pPrev->pNext = pNew;
    else
        m_pNodeHead = pNew;
    pOld->pPrev = pNew;
    return PositionOf(pNew);
}

XPOSITION XObList::InsertAfter(XPOSITION pos, XObject* newElement)
{
    if (pos == nullptr) return AddTail(newElement);
    XNode* pOld = NodeAt(pos);
    XNode* pNew = NewNode(pOld, pOld->pNext);
    pNew->data = newElement;
    if (pOld->pNext != nullptr)
        pOld->pNext->pPrev = pNew;
    else
        m_pNodeTail = pNew;
    pOld->pNext = pNew;
    return PositionOf(pNew);
}

XPOSITION XObList::Find(const XObject* searchValue, XPOSITION startAfter) const
{
    const XNode* pNode = startAfter == nullptr ? m_pNodeHead : NodeAt(startAfter)->pNext;
    for (; pNode != nullptr; pNode = pNode->pNext)
        if (pNode->data == searchValue) return PositionOf(pNode);
    return nullptr;
}

XPOSITION XObList::FindIndex(int nIndex) const
{
    if (nIndex < 0 || nIndex >= m_nCount) return nullptr;
    const XNode* pNode = m_pNodeHead;
    while (nIndex-- > 0) pNode = pNode->pNext;
    return PositionOf(pNode);
}

} // namespace Pelmora::Tivra
