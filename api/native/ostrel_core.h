/* The C surface: diagnostics and sample types. */
#ifndef OSTREL_CORE_H
#define OSTREL_CORE_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* ---- diagnostics ---------------------------------------------------------- */

/* Number of native objects created through this surface and not yet deleted. */
OSTREL_API int64_t ostrel_live_objects(void);

/* ---- sample types --------------------------------------------------------- */

OSTREL_API const char* ostrel_datatype_string(int32_t type);
OSTREL_API int32_t ostrel_datatype_size(int32_t type);

OSTREL_EXTERN_C_END

#endif /* OSTREL_CORE_H */
