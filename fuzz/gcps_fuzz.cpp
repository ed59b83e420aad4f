// libFuzzer target for the tivra program's control-point CSV reader.
#include "ToolFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadGcpsInput(pData, nSize);
    return 0;
}
