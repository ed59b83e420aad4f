// libFuzzer target for the problems tivra geodesic - reads from standard input.
#include "ToolFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::SolveGeodesicInput(pData, nSize);
    return 0;
}
