// libFuzzer target for the magnetic coefficient file reader: any file must
// give a field or a clean failure, the same both ways of reading.
#include "MagneticFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadMagneticInput(pData, nSize);
    return 0;
}
