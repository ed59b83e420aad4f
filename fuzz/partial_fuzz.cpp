// libFuzzer target for the partial statistics files of tivra stats --merge.
#include "ToolFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadPartialInput(pData, nSize);
    return 0;
}
