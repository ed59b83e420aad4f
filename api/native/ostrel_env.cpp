// The environment of the shared record through the C surface.
#include "ostrel_env.h"

#include <tivra/env/XGlobal.h>
#include <tivra/env/XMemoryStatus.h>
#include <tivra/env/XPaths.h>

#include <cstring>

using namespace Pelmora::Tivra;

namespace {

/// Copies a path into the caller's buffer as ostrel_env_get_*_path describe.
int32_t CopyPath(XString (*pfnGet)(), char* buf, int32_t size)
{
    try {
        const XString str = pfnGet();
        const int32_t length = str.GetLength();
        if (buf != nullptr && size > 0) {
            const int32_t n = length < size ? length : size - 1;
            std::memcpy(buf, static_cast<const char*>(str), static_cast<size_t>(n));
            buf[n] = '\0';
        }
        return length;
    } catch (...) {
        return OSTREL_NATIVE_EXCEPTION;
    }
}

} // namespace

extern "C" {

int32_t ostrel_env_has_global(void)
{
    try {
        return Xfn::GetGlobal() != nullptr ? 1 : 0;
    } catch (...) {
        return OSTREL_NATIVE_EXCEPTION;
    }
}

int32_t ostrel_env_set_config_path(const char* pszPath)
{
    try {
        return Xfn::SetConfigPath(XString(pszPath != nullptr ? pszPath : "")) ? 1 : 0;
    } catch (...) {
        return OSTREL_NATIVE_EXCEPTION;
    }
}

int32_t ostrel_env_get_resource_path(char* buf, int32_t size) { return CopyPath(Xfn::GetResourcePath, buf, size); }

int32_t ostrel_env_get_temporary_path(char* buf, int32_t size) { return CopyPath(Xfn::GetTemporaryPath, buf, size); }

int32_t ostrel_env_uninitialize(void)
{
    try {
        Xfn::Uninitialize();
        return 1;
    } catch (...) {
        return OSTREL_NATIVE_EXCEPTION;
    }
}

uint64_t ostrel_env_get_process_private_memory(void)
{
    try {
        return Xfn::GetProcessPrivateMemory();
    } catch (...) {
        return 0;
    }
}

} // extern "C"
