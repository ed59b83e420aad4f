/* The C surface: the XObject protocol of the public layer's native-object
 * registries.
 *
 * Objects of the VC, FT and Generic registries are XObjects made by other
 * modules: the registries read their reference count and destroy them
 * through these two functions. (Objects of the SC registry follow a protocol
 * of their own that the public layer reads from the object itself.) */
#ifndef OSTREL_REGISTRY_H
#define OSTREL_REGISTRY_H

#include "ostrel_base.h"

OSTREL_EXTERN_C_BEGIN

/* The XObject's reference count (GetReferCount); 0 for a null pointer. */
OSTREL_API int32_t ostrel_object_get_refer_count(void* pObject);

/* Destroys the XObject through its virtual destructor, which frees it,
 * whatever its reference count; a null pointer is ignored. */
OSTREL_API void ostrel_object_delete(void* pObject);

OSTREL_EXTERN_C_END

#endif /* OSTREL_REGISTRY_H */
