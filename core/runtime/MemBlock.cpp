#include <tivra/runtime/MemBlock.h>

#include <cstddef>
#include <new>

#include <tivra/runtime/XException.h>

namespace Pelmora::Tivra {

// Blocks are byte arrays from new[] and go back through delete[] of the same
// type. The link sits first, so the elements start at sizeof(MemBlock) bytes,
// a multiple of the pointer alignment that every node type needs.

MemBlock* MemBlock::Create(MemBlock*& pHead, uint32_t nMax, uint32_t cbElement)
{
    const size_t cbBlock = sizeof(MemBlock) + size_t(nMax) * size_t(cbElement);
    MemBlock* p = nullptr;
    try {
        p = reinterpret_cast<MemBlock*>(new uint8_t[cbBlock]);
    } catch (const std::bad_alloc&) {
        throw XMemoryException();
    }
    p->pNext = pHead;
    pHead = p;
    return p;
}

void MemBlock::FreeDataChain()
{
    MemBlock* p = this;
    while (p != nullptr) {
        MemBlock* pNext = p->pNext;
        delete[] reinterpret_cast<uint8_t*>(p);
        p = pNext;
    }
}

} // namespace Pelmora::Tivra
