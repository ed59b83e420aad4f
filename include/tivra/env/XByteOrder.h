// Byte-order reversal of buffers and values, for files written on machines of
// the other byte order.
#pragma once

#include <cstdint>

namespace Pelmora::Tivra::Xfn {

/// Reverses the bytes of each of nCount elements of nElementSize bytes in
/// place, for element sizes 2, 4 and 8; other sizes leave the buffer alone.
void SwapBytes(int nElementSize, void* pBuffer, int64_t nCount);

uint16_t SwapValue(uint16_t v);
int16_t SwapValue(int16_t v);
uint32_t SwapValue(uint32_t v);
int32_t SwapValue(int32_t v);
float SwapValue(float v);
uint64_t SwapValue(uint64_t v);
int64_t SwapValue(int64_t v);
double SwapValue(double v);

} // namespace Pelmora::Tivra::Xfn
