/* The C surface: the environment of the shared record (paths, shut-down) and
 * the process memory figure that the registries' cleaning threads watch. */
#ifndef OSTREL_ENV_H
#define OSTREL_ENV_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* Result of a call that a C++ exception ended; the exception was caught here. */
#define OSTREL_NATIVE_EXCEPTION (-2)

/* 1 when the shared record exists (it is built and published on first use),
 * 0 when it cannot be (no usable libXGlobal.so), OSTREL_NATIVE_EXCEPTION. */
OSTREL_API int32_t ostrel_env_has_global(void);

/* Replaces the record's configuration path with the zero-terminated text
 * (null is the empty path): 1, 0 without a record, OSTREL_NATIVE_EXCEPTION. */
OSTREL_API int32_t ostrel_env_set_config_path(const char* pszPath);

/* The resource path and the temporary path (whose directory is created
 * first): the text's length in bytes without its terminator, or
 * OSTREL_NATIVE_EXCEPTION. At most size - 1 bytes and a terminator are
 * copied into buf; a length of size or more means buf was too small. Both
 * are empty without a record. */
OSTREL_API int32_t ostrel_env_get_resource_path(char* buf, int32_t size);
OSTREL_API int32_t ostrel_env_get_temporary_path(char* buf, int32_t size);

/* Tears the shared record down (named blocks, sibling hooks, log driver,
 * record, libXGlobal.so): 1, or OSTREL_NATIVE_EXCEPTION when a sibling hook
 * or the log driver threw; the teardown then stops where it was. */
OSTREL_API int32_t ostrel_env_uninitialize(void);

/* The process's private memory in bytes (RssAnon); 0 when it cannot be read. */
OSTREL_API uint64_t ostrel_env_get_process_private_memory(void);

OSTREL_EXTERN_C_END

#endif /* OSTREL_ENV_H */
