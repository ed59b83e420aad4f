// libFuzzer target for the archive reader: every input must read, or throw
// one of the core's exceptions, without a sanitizer report, a hang or a leak.
#include <cstddef>
#include <cstdint>

#include "ArchiveFuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    TivraFuzz::RegisterClasses();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    try {
        TivraFuzz::ReadInput(pData, nSize);
    } catch (const Pelmora::Tivra::XException&) {
        // a damaged stream, reported as it should be
    }
    return 0;
}
