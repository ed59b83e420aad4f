// libFuzzer target for XString::Format's directive scanner: any format must
// give an output no longer than the estimate, without a sanitizer report.
#include "FormatFuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    TivraFuzz::ReadFormatInput(pData, nSize);
    return 0;
}
