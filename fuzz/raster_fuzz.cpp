// libFuzzer target for the tivra program's raster input through GDAL.
#include "ToolFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadRasterInput(pData, nSize);
    return 0;
}
