// Library-wide entry points of the C surface: diagnostics and sample types.
#include "ostrel_core.h"
#include "ostrel_internal.h"

#include <tivra/grid/XDataType.h>

namespace Pelmora::Ostrel::Native {
std::atomic<int64_t> g_nLiveObjects{0};
}

using namespace Pelmora::Tivra;

extern "C" {

int64_t ostrel_live_objects(void)
{
    return Pelmora::Ostrel::Native::g_nLiveObjects.load(std::memory_order_relaxed);
}

const char* ostrel_datatype_string(int32_t type) { return Xfn::GetDataTypeString(type); }

int32_t ostrel_datatype_size(int32_t type) { return Xfn::GetDataSize(type); }

} // extern "C"
