#include <tivra/env/XByteOrder.h>

#include <bit>
#include <cstring>

namespace Pelmora::Tivra::Xfn {

namespace {

uint16_t Reverse(uint16_t v) { return __builtin_bswap16(v); }
uint32_t Reverse(uint32_t v) { return __builtin_bswap32(v); }
uint64_t Reverse(uint64_t v) { return __builtin_bswap64(v); }

template <class U>
void SwapElements(uint8_t* p, int64_t nCount)
{
    for (int64_t i = 0; i < nCount; ++i, p += sizeof(U)) {
        U v;
        std::memcpy(&v, p, sizeof v);  // elements need not be aligned
        v = Reverse(v);
        std::memcpy(p, &v, sizeof v);
    }
}

/// A floating value's bytes reversed, through its bit pattern.
template <class F, class U>
F SwapFloat(F v)
{
    return std::bit_cast<F>(Reverse(std::bit_cast<U>(v)));
}

} // namespace

void SwapBytes(int nElementSize, void* pBuffer, int64_t nCount)
{
    auto* p = static_cast<uint8_t*>(pBuffer);
    if (p == nullptr || nCount <= 0) return;
    switch (nElementSize) {
    case 2: SwapElements<uint16_t>(p, nCount); break;
    case 4: SwapElements<uint32_t>(p, nCount); break;
    case 8: SwapElements<uint64_t>(p, nCount); break;
    default: break;
    }
}

uint16_t SwapValue(uint16_t v) { return Reverse(v); }
int16_t SwapValue(int16_t v) { return int16_t(Reverse(uint16_t(v))); }
uint32_t SwapValue(uint32_t v) { return Reverse(v); }
int32_t SwapValue(int32_t v) { return int32_t(Reverse(uint32_t(v))); }
float SwapValue(float v) { return SwapFloat<float, uint32_t>(v); }
uint64_t SwapValue(uint64_t v) { return Reverse(v); }
int64_t SwapValue(int64_t v) { return int64_t(Reverse(uint64_t(v))); }
double SwapValue(double v) { return SwapFloat<double, uint64_t>(v); }

} // namespace Pelmora::Tivra::Xfn
