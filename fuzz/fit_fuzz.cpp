// libFuzzer target for the fit file of tivra warp --load-fit.
#include "ToolFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadFitInput(pData, nSize);
    return 0;
}
