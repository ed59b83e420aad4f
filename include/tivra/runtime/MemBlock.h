// MemBlock, the node blocks behind the maps and the object list, and
// XPOSITION, the handle with which those containers are walked.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra {

/// A position in a map or list: an opaque pointer-sized handle (the node it
/// stands on), null when the walk is at its end.
struct XPositionTag;
using XPOSITION = XPositionTag*;

/// A heap block holding the link to the next block followed by room for a
/// fixed number of elements. Maps and lists take their nodes from chains of
/// such blocks, so that an insertion does not allocate per node and the whole
/// chain is freed at once. A block is raw memory: it runs no constructors or
/// destructors of the elements, which is the owner's business.
struct MemBlock {
    MemBlock* pNext;

    /// The first element, right after the link.
    void* data() { return this + 1; }

    /// Allocates a block with room for nMax elements of cbElement bytes each,
    /// links it in front of pHead, makes it the new head and returns it.
    /// Memory failure throws XMemoryException and leaves the chain
    /// unchanged.
    static MemBlock* Create(MemBlock*& pHead, uint32_t nMax, uint32_t cbElement);

    /// Frees this block and every block after it.
    void FreeDataChain();
};

} // namespace Pelmora::Tivra
