// XObList: a doubly linked list of object pointers, walked by position.
#pragma once

#include <cstdint>

#include <tivra/runtime/MemBlock.h>
#include <tivra/runtime/XObject.h>

namespace Pelmora::Tivra {

/// A doubly linked list of object pointers, held without owning the
/// pointees. Nodes come from MemBlock chains of m_nBlockSize nodes through a
/// free list, so adding allocates only when the free list is empty; when the
/// count falls to 0 the blocks are released.
///
/// A position (XPOSITION) stands on a node and stays valid until that node
/// is removed. Head, tail and positions passed in are not checked: asking an
/// empty list for its head, or passing a null or foreign position, is the
/// caller's error. Memory failure throws XMemoryException and leaves the list
/// unchanged.
class XObList : public XObject {
    XDECLARE_SERIAL(XObList)
public:
    /// nBlockSize: nodes per block (values below 1 are taken as 1).
    explicit XObList(int nBlockSize = 10);
    ~XObList() override;

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

    XObject*& GetHead();
    XObject* GetHead() const;
    XObject*& GetTail();
    XObject* GetTail() const;

    /// Unlinks the first (last) element and returns it.
    XObject* RemoveHead();
    XObject* RemoveTail();

    /// Adds one element; returns its position.
    XPOSITION AddHead(XObject* newElement);
    XPOSITION AddTail(XObject* newElement);
    /// Adds the elements of another list (which may be this one) in their
    /// order, in front of the first element or after the last.
    void AddHead(const XObList& newList);
    void AddTail(const XObList& newList);

    /// Removes every element and releases the node blocks.
    void RemoveAll();

    /// Positions of the first and last element, null for an empty list.
    XPOSITION GetHeadPosition() const;
    XPOSITION GetTailPosition() const;
    /// The element at rPos; rPos moves to the next (previous) one, null past
    /// the end.
    XObject*& GetNext(XPOSITION& rPos);
    XObject* GetNext(XPOSITION& rPos) const;
    XObject*& GetPrev(XPOSITION& rPos);
    XObject* GetPrev(XPOSITION& rPos) const;

    XObject*& GetAt(XPOSITION pos);
    XObject* GetAt(XPOSITION pos) const;
    void SetAt(XPOSITION pos, XObject* newElement);
    /// Unlinks the element at the position; the position becomes invalid.
    void RemoveAt(XPOSITION pos);

    /// Inserts before (after) the element at pos; a null pos means before
    /// the head (after the tail). Returns the new element's position.
    XPOSITION InsertBefore(XPOSITION pos, XObject* newElement);
    XPOSITION InsertAfter(XPOSITION pos, XObject* newElement);

    /// Position of the first element equal to searchValue after startAfter
    /// (from the head when null); null when there is none.
    XPOSITION Find(const XObject* searchValue, XPOSITION startAfter = nullptr) const;
    /// Position of the element with that zero-based index; null when the
    /// index is out of range.
    XPOSITION FindIndex(int nIndex) const;

    /// Stored form: the class chain, the count (32 bits), then each element
    /// from head to tail through XArchive::WriteObject. Loading appends the
    /// elements at the tail.
    void Serialize(XArchive& ar) override;

private:
    struct XNode {
        XNode* pNext; // also the link of the free list
        XNode* pPrev;
        XObject* data;
    };

    // A position is the node pointer itself.
    static XNode* NodeAt(XPOSITION pos) { return reinterpret_cast<XNode*>(pos); }
    static XPOSITION PositionOf(const XNode* pNode) { return reinterpret_cast<XPOSITION>(const_cast<XNode*>(pNode)); }

    XNode* NewNode(XNode* pPrev, XNode* pNext);
    void FreeNode(XNode* pNode);

    XNode* m_pNodeHead;
    XNode* m_pNodeTail;
    int32_t m_nCount;
    XNode* m_pNodeFree;
    MemBlock* m_pBlocks;
    int32_t m_nBlockSize;
};

} // namespace Pelmora::Tivra
